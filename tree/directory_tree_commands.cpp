// The directory tree box's context menu, its commands and keys, path selection, new folders and
// the favourites commands.
#include <cstring>

#include "platform/file_system.h"
#include "platform/input.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "tree/directory_tree_box.h"
#include "util/component_config.h"
#include "util/files.h"
#include "util/link_opener.h"
#include "util/path_parts.h"
#include "util/text_helpers.h"

namespace {

bool IsDriveIcon(int32_t icon) noexcept { return icon == kDirIconWindowsDrive || icon == kDirIconDrive; }
bool IsFolderIcon(int32_t icon) noexcept { return icon == kDirIconFolder || icon == kDirIconFolderSelected; }
// The roots that stand for no folder.
bool IsGroupRoot(int32_t icon) noexcept {
    return icon == kDirIconFavouritesRoot || icon == kDirIconComputer || icon == kDirIconSystemRoot;
}

// Removes a leading folder path, case ignored; false when the path does not start with it.
bool CutPrefix(CWString& path, const CWString& prefix) {
    if (prefix.empty() || path.size() < prefix.size() || !SamePathText(std::wstring_view(path).substr(0, prefix.size()), prefix))
        return false;
    path.erase(0, prefix.size());
    return true;
}

}  // namespace

CWString rg_DrenvikMuLuShuKuangCaiChanLei::GetDesignText() const {
    struct Row {
        const wchar_t* level;
        const wchar_t* caption;
        int id;
        const wchar_t* key;
        bool ctrl, shift, separator;
    };
    static constexpr Row kRows[] = {
        {L"0", L"顶级菜单", kDirCmdTop, L"", false, false, false},
        {L"1", L"读入", kDirCmdRead, L"F5", false, false, false},
        {L"1", L"打开", kDirCmdOpen, L"F3", false, false, false},
        {L"1", L"", 0, L"", false, false, true},
        {L"1", L"重命名", kDirCmdRename, L"F2", false, false, false},
        {L"1", L"删除", kDirCmdDelete, L"Del", false, false, false},
        {L"1", L"新建", kDirCmdNewFolder, L"", false, false, false},
        {L"1", L"", 0, L"", false, false, true},
        {L"1", L"复制名称", kDirCmdCopyName, L"C", true, true, false},
        {L"1", L"复制路径", kDirCmdCopyPath, L"C", true, false, false},
        {L"1", L"跳转剪贴板路径", kDirCmdJumpToClipboard, L"", false, false, false},
        {L"1", L"", 0, L"", false, false, true},
        {L"1", L"批量选中", kDirCmdBatchCheck, L"", false, false, false},
        {L"1", L"刷新子目录", kDirCmdRefresh, L"", false, false, false},
        {L"1", L"加入收藏夹", kDirCmdAddFavourite, L"F7", false, false, false},
        {L"1", L"", 0, L"", false, false, true},
        {L"1", L"重建目录树", kDirCmdRebuild, L"", false, false, false},
    };
    CWString text = L"1";
    for (const Row& r : kRows) {
        const CWString id = CWString::FromInt(r.id);
        // level, caption, name, id, further text, key name, Ctrl, Shift, separator, checked, greyed
        for (std::wstring_view field : {std::wstring_view(r.level), std::wstring_view(r.caption),
                                        std::wstring_view(r.caption), std::wstring_view(id), std::wstring_view(),
                                        std::wstring_view(r.key), std::wstring_view(r.ctrl ? L"1" : L"0"),
                                        std::wstring_view(r.shift ? L"1" : L"0"),
                                        std::wstring_view(r.separator ? L"1" : L"0"), std::wstring_view(L"0"),
                                        std::wstring_view(L"0")}) {
            text.AppendChar(L'\n');
            text.Append(field);
        }
    }
    return text;
}

// ---- the menu ---------------------------------------------------------------------------------------

int32_t rg_DrenvikMuLuShuKuang1::OnContextMenu() {
    return ShowContextMenuAt(VolGetCursorPos());
}

int32_t rg_DrenvikMuLuShuKuang1::ShowContextMenuAt(POINT screen) {
    UpdateMenuStates();
    std::shared_ptr<CRefVolMenu> menu = ContextMenu.GetBuiltMenu();
    HWND h = GetHwnd();
    if (h && menu && menu->handle) {
        if (HMENU popup = ::GetSubMenu(menu->handle, 0))
            ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, int(screen.x) + 3, int(screen.y) + 3, 0, h, nullptr);
    }
    ContextMenuShown.Raise(this);
    return 0;
}

void rg_DrenvikMuLuShuKuang1::UpdateMenuStates() {
    const int32_t node = Tree.GetSelectedIndex();
    const int32_t icon = node < 0 ? -1 : IconOf(node);
    const bool none = node < 0;
    // The "+" row stands for nothing yet: no command applies to it.
    const bool placeholder = !none && icon == kDirIconPlaceholder;
    const bool real = !none && !placeholder;
    const bool folder = IsFolderIcon(icon);
    const bool favourite = real && icon == kDirIconEntry && IsFavourite(node);
    const bool hasPath = real && !IsGroupRoot(icon);
    ContextMenu.EnableItem(kDirCmdRead, !placeholder);
    ContextMenu.EnableItem(kDirCmdOpen, hasPath);
    ContextMenu.EnableItem(kDirCmdNewFolder, hasPath);
    ContextMenu.EnableItem(kDirCmdDelete, folder || favourite);
    ContextMenu.EnableItem(kDirCmdRename, folder || IsDriveIcon(icon) || favourite);
    ContextMenu.EnableItem(kDirCmdCopyName, !placeholder);
    ContextMenu.EnableItem(kDirCmdCopyPath, hasPath);
    ContextMenu.EnableItem(kDirCmdBatchCheck, !placeholder);
    ContextMenu.EnableItem(kDirCmdRefresh, hasPath);
    ContextMenu.EnableItem(kDirCmdAddFavourite, folder);
}

void rg_DrenvikMuLuShuKuang1::HandleMenuCommand(int32_t commandId) {
    // Nothing may change the tree while a listing pumps messages.
    if (fillBusy_) return;
    HoldScope command(*this, commandBusy_);
    const int32_t node = Tree.GetSelectedIndex();
    switch (commandId) {
    case kDirCmdRead: RaiseIntEvent(0); break;
    case kDirCmdOpen: {
        CWString path = GetSelectedPath();
        if (FileExists(path)) OpenLinkOrPath(path, L"");
        break;
    }
    case kDirCmdRename:
        if (node >= 0) Tree.BeginEditNode(node, -1);
        break;
    case kDirCmdDelete: DeleteSelected(); break;
    case kDirCmdCopyName:
        if (node >= 0) SetClipboardText(TextOf(node));
        break;
    case kDirCmdCopyPath: SetClipboardText(GetSelectedPath()); break;
    case kDirCmdBatchCheck: BatchCheck(); break;
    case kDirCmdRefresh:
        if (node >= 0 && !IsPlaceholder(node)) FillFolderChildren(node);
        break;
    case kDirCmdAddFavourite: AddFavourite(); break;
    case kDirCmdNewFolder: CreateNewFolder(); break;
    case kDirCmdRebuild: {
        const CWString path = GetSelectedPath();
        BuildRoots();
        OpenPath(path);
        break;
    }
    case kDirCmdJumpToClipboard: JumpToClipboardPath(); break;
    default: break;
    }
}

int32_t rg_DrenvikMuLuShuKuang1::HandleShortcutKey(int32_t key, int32_t modifiers) {
    if (Tree.GetSelectedIndex() < 0) return 0;
    int32_t command = 0;
    switch (key) {
    case VK_F5: command = kDirCmdRead; break;
    case VK_F3: command = kDirCmdOpen; break;
    case VK_DELETE: command = kDirCmdDelete; break;
    case VK_F7: command = kDirCmdAddFavourite; break;
    case 'C':
        if ((modifiers & (kModCtrl | kModShift)) == (kModCtrl | kModShift)) command = kDirCmdCopyName;
        else if (modifiers & kModCtrl) command = kDirCmdCopyPath;
        break;
    default: break;
    }
    if (!command) return 0;
    UpdateMenuStates();
    if (ContextMenu.IsItemEnabled(command)) HandleMenuCommand(command);
    return 0;
}

// ---- commands -----------------------------------------------------------------------------------------

bool rg_DrenvikMuLuShuKuang1::IsProtectedFolder(const CWString& path) {
    if (IsDriveRootPath(path)) return true;
    const CWString p = WithTrailingBackslash(TrimmedCopy(path));
    if (SamePathText(p, WithTrailingBackslash(GetSpecialFolderPath(3))) ||
        SamePathText(p, WithTrailingBackslash(GetSpecialFolderPath(1))))
        return true;
    for (const CWString& s : SystemFolderPaths)
        if (!s.empty() && SamePathText(p, WithTrailingBackslash(s))) return true;
    return false;
}

void rg_DrenvikMuLuShuKuang1::DeleteSelected() {
    const int32_t node = Tree.GetSelectedIndex();
    if (node < 0) return;
    // The boxes below run message loops: whatever is read of the node is read now, and the node
    // itself is followed through whatever the loops do to the tree.
    FollowedNode chosen(*this, node);
    const int32_t icon = IconOf(node);
    const CWString path = GetSelectedPath();
    const bool favourite = icon == kDirIconEntry && IsFavourite(node);
    const int32_t id = favourite ? DataOf(node) : 0;
    bool remove = false;
    if (IsFolderIcon(icon)) {
        if (ShowMessageBox(CWString(L"确定要删除到回收站吗？") + path, L"信息:", 0x31) != IDOK) return;
        remove = !IsProtectedFolder(path) && RecycleFolder(path);
    } else if (favourite) {
        const CWString text = CWString(L"确定要删除收藏项吗？") + TextOf(node) +
                              L"\r\n(如果需要连同收藏指向的文件夹一起删除，请按下Ctrl键再点击确定按钮)";
        if (ShowMessageBox(text, L"信息:", 0x31) != IDOK) return;
        // Ctrl as it was at the click on OK, not whatever the keyboard does later.
        const bool withFolder = IsKeyHeldNow(VK_CONTROL);
        if (withFolder && !path.empty() && !IsProtectedFolder(path) &&
            ShowMessageBox(CWString(L"确定要把收藏指向的文件夹也删除到回收站吗？\r\n") + path, L"信息:", 0x31) == IDOK)
            RecycleFolder(path);
        const CWString prefix = FavouriteKeyPrefix(id);
        DeleteConfigEntry(FavouritesSection(), prefix + L"名称");
        DeleteConfigEntry(FavouritesSection(), prefix + L"路径");
        FavouritePaths.erase(id);
        favouriteKeys_.erase(id);
        remove = true;
    }
    if (!remove) return;
    // The folder went as the user confirmed it; a node gone meanwhile (a rebuild) leaves nothing
    // to remove, and another node of the same folder is not this one.
    const int32_t now = chosen.Node();
    if (now < 0) return;
    rg_ZhengShuShuZuLei loc;
    CVolMem nothing;
    {
        FlagScope quiet(quietSelection_);  // the tree box would report the removed node's index
        Tree.InsertNodes(now, 0, nothing, 0, loc);
    }
    if (Tree.selectedNode >= Tree.nodeCount) Tree.selectedNode = -1;
    Tree.RefreshView(-1);
}

bool rg_DrenvikMuLuShuKuang1::RecycleFolder(const CWString& path) {
    const RecycleResult r = DeleteToRecycleBin(path);
    if (r == RecycleResult::NotRecyclable)
        ShowMessageBox(CWString(L"此文件夹无法放入回收站，没有删除：") + path, L"信息:", MB_OK | MB_ICONINFORMATION);
    return r == RecycleResult::Recycled;
}

void rg_DrenvikMuLuShuKuang1::BatchCheck() {
    const int32_t node = Tree.GetSelectedIndex();
    if (node < 0) return;
    rg_ZhengShuShuZuLei children, offsets;
    if (Tree.CollectNodesAtLevel(-1, children, offsets, node) == 0) return;
    const int32_t value = IsKeyHeldNow(VK_CONTROL) ? 0 : 1;
    for (int32_t child : children) {
        rg_ZhengShuShuZuLei loc;
        Tree.SetNodeFields(child, nullptr, 255, value, loc, 1);
    }
    Tree.RefreshView(-1);
}

void rg_DrenvikMuLuShuKuang1::AddFavourite() {
    const int32_t root = Tree.FindFavouritesRoot();
    const int32_t node = Tree.GetSelectedIndex();
    if (root < 0 || node < 0) return;
    const CWString path = GetSelectedPath();
    const CWString name = TextOf(node);
    const int32_t id = NewFavouriteId();
    const CWString prefix = CWString::FromInt(id);
    // Into the favourites section, whichever section another user of the settings chose last.
    gComponentConfig.sectionName = FavouritesSection();
    gComponentConfig.WriteText(prefix + L"名称", name);
    gComponentConfig.WriteText(prefix + L"路径", path);
    FavouritePaths[id] = path;
    favouriteKeys_[id] = prefix;
    rg_ZhengShuShuZuLei loc;
    const int32_t entry = Tree.InsertChildNode(root, name, kDirIconEntry, -1, id, loc, 1);
    if (entry < 0) return;
    if (HasSubfolders(path)) {
        rg_ZhengShuShuZuLei entryLoc;
        Tree.InsertChildNode(entry, L"+", kDirIconPlaceholder, -1, 0, entryLoc, 1);
    }
    rg_ZhengShuShuZuLei entryLoc;
    Tree.ExpandAncestors(entry, entryLoc);
}

void rg_DrenvikMuLuShuKuang1::JumpToClipboardPath() {
    // Read as the folder window reads a pasted path: Explorer's quotes go, and a relative text
    // (".", "..") would name whatever the current folder happens to be.
    const CWString text = GetClipboardText();
    const CWString t = CleanTypedFolderPath(text);
    if (!t.empty() && FileExists(t)) {
        OpenPath(IsExistingFolder(t) ? t : GetParentPath(WithoutTrailingBackslash(t), 0));
        return;
    }
    ShowMessageBox(CWString(L"剪贴板中的路径不存在：") + text, L"信息:", 0);
}

// ---- paths and new folders ----------------------------------------------------------------------------------

int32_t rg_DrenvikMuLuShuKuang1::SelectPath(const CWString& path) {
    if (fillBusy_) return -1;
    CWString p = TrimmedCopy(path);
    if (!FileExists(p)) return -1;
    p = WithTrailingBackslash(p);
    int32_t node = -1;
    const CWString desktop = WithTrailingBackslash(GetSpecialFolderPath(3));
    const CWString documents = WithTrailingBackslash(GetSpecialFolderPath(1));
    auto findRoot = [&](int32_t icon) {
        for (int32_t i = 0; i < Tree.nodeCount; ++i)
            if (LevelOf(i) == 0 && IconOf(i) == icon) return i;
        return -1;
    };
    if (desktop.size() > 1 && CutPrefix(p, desktop)) {
        node = findRoot(kDirIconDesktop);
    } else if (documents.size() > 1 && CutPrefix(p, documents)) {
        node = findRoot(kDirIconDocuments);
    } else {
        p = WithoutTrailingBackslash(p);
        if (p.size() < 2 || p[1] != L':') return -1;
        const wchar_t letter = AsciiUpper(p[0]);
        for (int32_t i = 0; i < Tree.nodeCount && node < 0; ++i)
            if (LevelOf(i) == 1 && IsDriveIcon(IconOf(i)) && DriveLetterOfCaption(TextOf(i)) == letter) node = i;
        p.erase(0, 2);
    }
    if (node < 0) return -1;

    CWStringArray parts;
    SplitTextByAnyChar(p, parts, L"\\", true, true);
    // The way down is listed without drawing each level: the selection draws the end. Only the
    // way down needs listing; the siblings on it are asked about subfolders in the window's idle
    // time, those on screen first.
    const int32_t refreshWas = Tree.autoRefresh;
    FlagScope drawing(Tree.autoRefresh, refreshWas);  // drawn again on every way out
    bool listed = false;
    auto notFound = [&] {
        Tree.autoRefresh = refreshWas;
        if (listed) Tree.RefreshView(-1);
        return -1;
    };
    for (const CWString& part : parts) {
        if (IsPlaceholder(node + 1) || IsCheckPending(node)) {
            // A big folder's listing pumps messages: the node is followed through what they do.
            FollowedNode reached(*this, node);
            Tree.autoRefresh = 0;
            ListFolder(node, 0, false);
            listed = true;
            node = reached.Node();
            if (node < 0) return notFound();
        }
        const int32_t level = LevelOf(node) + 1;
        int32_t child = node + 1;
        if (child >= Tree.nodeCount || LevelOf(child) != level) return notFound();
        // An exact match first; Windows names ignore case, so any spelling finds the folder.
        // Each sibling is found from the one before, not from the first record.
        int32_t exact = -1, loose = -1;
        rg_ZhengShuShuZuLei loc;
        while (child >= 0) {
            const CWString text = Tree.GetNodeText(child, loc);
            if (text == part) {
                exact = child;
                break;
            }
            if (loose < 0 && SamePathText(text, part)) loose = child;
            rg_ZhengShuShuZuLei next;
            const int32_t sibling = Tree.GetNextSibling(child, loc, next, nullptr);
            child = sibling > child ? sibling : -1;
            loc = next;
        }
        node = exact >= 0 ? exact : loose;
        if (node < 0) return notFound();
    }
    Tree.autoRefresh = refreshWas;
    Tree.selectionReason = 0;
    Tree.SelectNode(node);
    if (Tree.surface.IsCreated()) Tree.surface.SetFocus();
    return node;
}

void rg_DrenvikMuLuShuKuang1::CreateNewFolder() {
    if (fillBusy_) return;
    HoldScope command(*this, commandBusy_);  // the folder window's button comes here without the menu
    const int32_t node = Tree.GetSelectedIndex();
    const CWString base = GetSelectedPath();
    if (node < 0 || !FileExists(base)) return;
    const CWString folder = WithTrailingBackslash(base);
    CWString name, p = folder;
    for (int n = 1; FileExists(p); ++n) {
        name = CWString(L"新文件夹") + CWString::FromInt(n);
        p = folder + name;
    }
    if (!CreateFolderPath(p)) {
        ShowMessageBox(CWString(L"创建文件夹失败：") + p, L"信息:", 0);
        return;
    }
    if (IsPlaceholder(node + 1) || IsCheckPending(node)) {
        FillFolderChildren(node);
        OpenPath(p);
    } else {
        rg_ZhengShuShuZuLei loc;
        const int32_t added = Tree.InsertChildNode(node, name, kDirIconFolder, kDirIconFolderSelected, 0, loc);
        if (added >= 0) Tree.SelectNode(added);
    }
    const int32_t selected = Tree.GetSelectedIndex();
    if (selected >= 0 && SamePathText(GetNodePath(selected), WithTrailingBackslash(p))) Tree.BeginEditNode(selected, -1);
}

// The directory tree box: roots, node paths, lazy folder listing, renaming and the check mark.
#include "tree/directory_tree_box.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "ui/svg_icon_cache.h"
#include "util/component_config.h"
#include "util/files.h"
#include "util/path_parts.h"
#include "util/text_helpers.h"

namespace {

struct SystemFolder {
    const wchar_t* caption;
    int kind;
};
constexpr std::array<SystemFolder, 9> kSystemFolders = {{
    {L"我的收藏夹", 2},
    {L"系统字体", 4},
    {L"开始菜单组", 5},
    {L"程序菜单组", 6},
    {L"启动菜单组", 7},
    {L"程序数据目录", 8},
    {L"Windows安装目录", 9},
    {L"Windows系统目录", 10},
    {L"临时文件目录", 11},
}};

// Node images in icon order: resource id, width, height (design units).
struct NodeImage {
    int resource, width, height;
};
constexpr std::array<NodeImage, 12> kNodeImages = {{
    {521, 24, 24}, {522, 24, 24}, {523, 24, 22}, {524, 24, 24}, {525, 24, 24}, {520, 24, 24},
    {526, 24, 24}, {527, 24, 20}, {528, 24, 24}, {529, 22, 24}, {530, 22, 24}, {531, 24, 24},
}};

constexpr uint8_t kSeparator[4] = {1, 2, 3, 4};
constexpr size_t kMaxFolderNameLength = 255;

// The timer that asks pending children for subfolders, on the control's own window.
constexpr UINT_PTR kPlaceholderCheckTimer = 0x4B43;
// One slice of asking: short enough that input waits at most a frame for it.
constexpr int64_t kCheckSliceMicroseconds = 8000;
// Rows taken for one screen when the tree box has not laid out any yet.
constexpr int32_t kScreenRowsBeforeLayout = 40;

// A name whose bytes would hold the tree's record separator (also right after a check byte 1)
// cannot be stored as it is; the node would name a folder that does not exist.
bool IsStorableName(std::wstring_view name) {
    std::vector<uint8_t> bytes{1};
    const auto* p = reinterpret_cast<const uint8_t*>(name.data());
    bytes.insert(bytes.end(), p, p + name.size() * 2);
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(bytes.data() + i, kSeparator, 4) == 0) return false;
    return true;
}

bool IsDriveIcon(int32_t icon) noexcept { return icon == kDirIconWindowsDrive || icon == kDirIconDrive; }
bool IsFolderIcon(int32_t icon) noexcept { return icon == kDirIconFolder || icon == kDirIconFolderSelected; }

}  // namespace

// ---- names -----------------------------------------------------------------------------------------

CWString CheckFolderName(std::wstring_view name) {
    if (name.empty()) return L"名称不能为空";
    if (name == L"." || name == L"..") return L"名称不能是 . 或 ..";
    for (wchar_t c : name) {
        if (c < 32) return L"名称不能包含控制字符";
        if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
            return L"名称不能包含 \\ / : * ? \" < > | 这些字符";
    }
    if (name.back() == L'.' || name.back() == L' ') return L"名称不能以点或空格结尾";
    // One path component holds at most 255 units; a longer name fails only at the move.
    if (name.size() > kMaxFolderNameLength) return L"名称不能超过255个字符";
    // The node would hold another name than the folder's, and its path would name nothing.
    if (!IsStorableName(name)) return L"名称含有目录树无法保存的字符";
    // Device names stay reserved with any extension: "con.txt" is the console too.
    std::wstring_view stem = name.substr(0, std::min(name.find(L'.'), name.size()));
    while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
    static constexpr const wchar_t* kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* d : kDevices)
        if (EqualsNoCase(stem, d)) return L"名称不能是设备名";
    // COM and LPT take a digit, and the superscripts one, two and three count as digits too.
    const auto isPortDigit = [](wchar_t c) { return (c >= L'0' && c <= L'9') || c == 0xB9 || c == 0xB2 || c == 0xB3; };
    if (stem.size() == 4 && (EqualsNoCase(stem.substr(0, 3), L"COM") || EqualsNoCase(stem.substr(0, 3), L"LPT")) &&
        isPortDigit(stem[3]))
        return L"名称不能是设备名";
    return {};
}

wchar_t DriveLetterOfCaption(std::wstring_view caption) noexcept {
    // "label (X:)": read from the end, so a label holding "(" or ":)" cannot mislead.
    const size_t n = caption.size();
    if (n < 4 || caption.substr(n - 2) != L":)" || caption[n - 4] != L'(') return 0;
    const wchar_t c = AsciiUpper(caption[n - 3]);
    return (c >= L'A' && c <= L'Z') ? c : 0;
}

CWString DriveLabelOfCaption(std::wstring_view caption) {
    if (!DriveLetterOfCaption(caption)) return CWString(caption);
    std::wstring_view label = caption.substr(0, caption.size() - 4);
    if (!label.empty() && label.back() == L' ') label.remove_suffix(1);
    return CWString(label);
}

// ---- the control -------------------------------------------------------------------------------------

rg_DrenvikMuLuShuKuang1::rg_DrenvikMuLuShuKuang1() {
    Tree.recordsChanged = [this](int32_t first, int32_t removed, int32_t added) {
        OnRecordsChanged(first, removed, added);
    };
    // The editor held the answers back; they come once it closes, however it closed. It lives in a
    // window, so the timer asks them.
    Tree.editEnded = [this] { ScheduleChecks(false); };
}

rg_DrenvikMuLuShuKuang1::~rg_DrenvikMuLuShuKuang1() {
    flags |= kFlagDestroying;
    Tree.recordsChanged = nullptr;
    Tree.editEnded = nullptr;
    if (HWND h = GetHwnd()) ::KillTimer(h, kPlaceholderCheckTimer);
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikMuLuShuKuang1::BindEvents() {
    VOL_BIND(Shown, &rg_DrenvikMuLuShuKuang1::OnShownEvent);
    VOL_BIND(Hidden, &rg_DrenvikMuLuShuKuang1::OnHiddenEvent);
    VOL_BIND(Resized, &rg_DrenvikMuLuShuKuang1::OnResizedEvent);
    VOL_BIND(WindowMessage, &rg_DrenvikMuLuShuKuang1::OnWindowMessage);
    VOL_BIND(Tree.WindowMessage, &rg_DrenvikMuLuShuKuang1::OnWindowMessage);
    VOL_BIND(Tree.filesDroppedEvent, &rg_DrenvikMuLuShuKuang1::OnTreeFilesDropped);
    VOL_BIND(Tree.editRequestedEvent, &rg_DrenvikMuLuShuKuang1::OnTreeEditRequested);
    VOL_BIND(Tree.editFinishedEvent, &rg_DrenvikMuLuShuKuang1::OnTreeEditFinished);
    VOL_BIND(Tree.selectionChangedEvent, &rg_DrenvikMuLuShuKuang1::OnTreeSelection);
    VOL_BIND(Tree.expandRequestEvent, &rg_DrenvikMuLuShuKuang1::OnTreeExpandRequest);
    VOL_BIND(Tree.checkToggledEvent, &rg_DrenvikMuLuShuKuang1::OnTreeCheckToggled);
    VOL_BIND(Tree.rightClickEvent, &rg_DrenvikMuLuShuKuang1::OnTreeRightClick);
    VOL_BIND(Tree.keyDownEvent, &rg_DrenvikMuLuShuKuang1::OnTreeKeyDown);
    rg_ZuJianBuJuQi::BindEvents();
}

void rg_DrenvikMuLuShuKuang1::CreateChildren() {
    hadWindow_ = true;
    if (!dynamic_cast<CVolWinForm*>(this)) ModifyStyle(0, WS_TABSTOP);
    Tree.fontFace = L"微软雅黑";
    Tree.fontSize = 12;
    Tree.showLines = 1;
    Tree.hotUnderline = 1;
    Tree.clickToRename = 1;
    CreateChild(Tree, 8, 0, 344, 496);
    Tree.ModifyStyle(0, WS_TABSTOP);
    Tree.compactRecords = 1;
    Tree.fixedFieldsLength = 18;
}

int32_t rg_DrenvikMuLuShuKuang1::OnShownEvent(CVolObject*) { return InitialiseTree(); }

int32_t rg_DrenvikMuLuShuKuang1::OnHiddenEvent(CVolObject*) {
    IsShown = 0;
    return 0;
}

int32_t rg_DrenvikMuLuShuKuang1::OnResizedEvent(CVolObject*) {
    if (Tree.IsCreated()) Tree.Move(0, 0, GetClientWidth(), GetClientHeight());
    return 0;
}

int32_t rg_DrenvikMuLuShuKuang1::OnWindowMessage(CVolObject*, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                                 VolMessage* m) {
    if (message == WM_TIMER && wParam == kPlaceholderCheckTimer && hwnd && hwnd == GetHwnd()) {
        OnCheckTimer();
        return 1;
    }
    if (message == WM_COMMAND && lParam == 0 && HIWORD(wParam) <= 1) {
        HandleMenuCommand(int32_t(LOWORD(wParam)));
        return 1;
    }
    // The Menu key and Shift+F10 (position -1, -1) open the menu at the selected row; a mouse
    // right-click has already shown it.
    if (message == WM_CONTEXTMENU && lParam == LPARAM(-1) && Tree.IsCreated()) {
        POINT at{0, 0};
        const int32_t node = Tree.GetSelectedIndex();
        for (size_t r = 0; r < Tree.rowNodes.size(); ++r)
            if (Tree.rowNodes[r] == node) {
                at.x = Tree.rowHitLeft[r] + Tree.iconSize;
                at.y = TreeRowTop(int(r), Tree.gap, Tree.itemHeight, Tree.rowSpacing) + Tree.itemHeight;
                break;
            }
        if (Tree.surface.IsCreated()) ::ClientToScreen(Tree.surface.GetHwnd(), &at);
        ShowContextMenuAt(at);
        if (m) m->result = 0;
        return 1;
    }
    return 0;
}

int32_t rg_DrenvikMuLuShuKuang1::OnTreeFilesDropped(CVolObject* source, const rg_WenBenShuZuLei& paths) {
    if (source == &Tree) FilesDropped.Raise(this, paths);
    return 0;
}

int32_t rg_DrenvikMuLuShuKuang1::RaiseIntEvent(int32_t value) { return NodeSelected.Raise(this, value); }

// ---- node reads ----------------------------------------------------------------------------------------

int32_t rg_DrenvikMuLuShuKuang1::ParentOf(int32_t node) const {
    rg_ZhengShuShuZuLei loc, parentLoc;
    const int32_t p = Tree.GetParentNode(node, loc, parentLoc, nullptr);
    return p < node ? p : -1;  // a parent always comes first; anything else is a broken record
}
bool rg_DrenvikMuLuShuKuang1::IsPlaceholder(int32_t node) const {
    return node >= 0 && node < Tree.nodeCount && IconOf(node) == kDirIconPlaceholder && TextOf(node) == L"+";
}
bool rg_DrenvikMuLuShuKuang1::IsFavourite(int32_t node) const {
    return IconOf(node) == kDirIconEntry && IconOf(ParentOf(node)) == kDirIconFavouritesRoot;
}

// ---- building -----------------------------------------------------------------------------------------

int32_t rg_DrenvikMuLuShuKuang1::InitialiseTree() {
    IsShown = 1;
    if (IsTreeBuilt) {
        if (ChecksUnknown()) RequeueUnlistedFolders();
        ScheduleChecks();  // questions queued while there was no window to wait on
        return 0;
    }
    IsTreeBuilt = 1;
    {
        FlagScope noDrawing(Tree.autoRefresh, 0);
        for (const NodeImage& image : kNodeImages)
            Tree.AddImage(GetSvgIconFromResource(image.resource, image.width, image.height, false));
    }
    BuildRoots();
    return 0;
}

void rg_DrenvikMuLuShuKuang1::EmptyTree() {
    Tree.nodeBuffer.Clear();
    Tree.nodeCount = 0;
    Tree.visibleRowIndexBuiltFor = -1;
    Tree.topNode = 0;
    Tree.selectedNode = -1;
    Tree.verticalBar.SetPosition(0);
    // Every node went with the records; the emptying itself is not reported as an edit.
    Tree.DropFollowedNodes();
    pendingChecks_.clear();
    cursorNode_ = cursorParent_ = -1;
    checksSeenStamp_ = Tree.editStamp.value;
    ScheduleChecks();
}

void rg_DrenvikMuLuShuKuang1::AddPlaceholderIfSubfolders(std::wstring_view path, int32_t level) {
    if (!path.empty() && HasSubfolders(path)) Tree.AddNode(L"+", kDirIconPlaceholder, 0, 0, level);
}

void rg_DrenvikMuLuShuKuang1::BuildRoots() {
    if (fillBusy_) return;  // a listing under way would write into the new tree
    {
        // Drawn once every root is in; drawing comes back however the build ends.
        FlagScope noDrawing(Tree.autoRefresh, 0);
        EmptyTree();
        Tree.AddNode(L"桌面", kDirIconDesktop, 0, 0, 0);
        AddPlaceholderIfSubfolders(GetSpecialFolderPath(3), 1);
        Tree.AddNode(L"我的文档", kDirIconDocuments, 0, 0, 0);
        AddPlaceholderIfSubfolders(GetSpecialFolderPath(1), 1);
        Tree.AddNode(L"我的电脑", kDirIconComputer, 0, 2, 0);

        wchar_t windows[261] = {};
        const UINT n = ::GetWindowsDirectoryW(windows, 260);
        const wchar_t windowsLetter = (n > 0 && n < 260) ? AsciiUpper(windows[0]) : L' ';
        for (const CWString& root : ListLogicalDrives()) {
            if (root.size() < 2 || root[1] != L':') continue;
            const CWString driveRoot = root.substr(0, 2) + L"\\";
            if (!DriveAnswers(driveRoot)) continue;  // an empty drive or a lost network share
            CWString label;
            ReadVolumeLabel(driveRoot, label);
            const CWString caption = label + L" (" + root.substr(0, 2) + L")";
            Tree.AddNode(caption, AsciiUpper(root[0]) == windowsLetter ? kDirIconWindowsDrive : kDirIconDrive, 0, 0, 1);
            AddPlaceholderIfSubfolders(driveRoot, 2);
        }

        Tree.AddNode(L"系统夹", kDirIconSystemRoot, 0, 0, 0);
        SystemFolderPaths.clear();
        for (size_t i = 0; i < kSystemFolders.size(); ++i) {
            const CWString path = GetSpecialFolderPath(kSystemFolders[i].kind);
            Tree.AddNode(kSystemFolders[i].caption, kDirIconEntry, int32_t(i), 0, 1);
            SystemFolderPaths.push_back(path);
            AddPlaceholderIfSubfolders(path, 2);
        }

        Tree.AddNode(L"收藏夹", kDirIconFavouritesRoot, 0, 0, 0);
        ReadFavourites();
    }
    Tree.RefreshView(-1);
}

// ---- paths ---------------------------------------------------------------------------------------------

CWString rg_DrenvikMuLuShuKuang1::GetNodePath(int32_t node) {
    if (node == -1) node = Tree.GetSelectedIndex();
    if (node < 0 || node >= Tree.nodeCount) return {};
    const int32_t icon = IconOf(node);
    switch (icon) {
    case kDirIconDesktop: return GetSpecialFolderPath(3);
    case kDirIconDocuments: return GetSpecialFolderPath(1);
    case kDirIconComputer: return L"我的电脑";
    case kDirIconSystemRoot: return L"系统夹";
    case kDirIconFavouritesRoot: return L"收藏夹";
    case kDirIconWindowsDrive:
    case kDirIconDrive: {
        const wchar_t letter = DriveLetterOfCaption(TextOf(node));
        return letter ? CWString(1, letter) + L":\\" : CWString();
    }
    case kDirIconEntry: {
        if (IconOf(ParentOf(node)) == kDirIconFavouritesRoot) {
            auto it = FavouritePaths.find(DataOf(node));
            return it == FavouritePaths.end() ? CWString() : it->second;
        }
        return SystemFolderPaths.GetAt(DataOf(node));
    }
    case kDirIconFolder:
    case kDirIconFolderSelected: {
        CWString tail;
        int32_t current = node;
        while (current >= 0 && IsFolderIcon(IconOf(current))) {
            tail = TextOf(current) + L"\\" + tail;
            current = ParentOf(current);
        }
        if (current < 0) return {};
        const CWString base = GetNodePath(current);
        return base.empty() ? CWString() : WithTrailingBackslash(base) + tail;
    }
    default: return {};
    }
}

CWString rg_DrenvikMuLuShuKuang1::GetSelectedPath() { return GetNodePath(Tree.GetSelectedIndex()); }

// ---- nodes followed across message loops -----------------------------------------------------------------

rg_DrenvikMuLuShuKuang1::FollowedNode::FollowedNode(rg_DrenvikMuLuShuKuang1& d, int32_t node) : d_(d), node_(node) {
    if (node < 0 || node >= d.Tree.nodeCount) {
        node_ = -1;
        return;
    }
    for (int32_t n = node; n >= 0; n = d.ParentOf(n)) chain_.push_back({d.TextOf(n), d.IconOf(n), d.DataOf(n)});
    std::reverse(chain_.begin(), chain_.end());
}

int32_t rg_DrenvikMuLuShuKuang1::FollowedNode::Node() {
    // Found once, then followed again from there.
    if (node_ < 0 && !chain_.empty()) node_ = d_.FindByChain(chain_);
    return node_;
}

int32_t rg_DrenvikMuLuShuKuang1::FindByChain(const std::vector<FollowedNode::Step>& chain) const {
    // What tells a node from its siblings: a drive by its letter (its label may change), a
    // system folder or a favourite by its data (the position, the id), anything else by its text.
    auto matches = [&](int32_t n, const FollowedNode::Step& step) {
        if (IconOf(n) != step.icon || DataOf(n) != step.data) return false;
        if (IsDriveIcon(step.icon)) return DriveLetterOfCaption(TextOf(n)) == DriveLetterOfCaption(step.text);
        return step.icon == kDirIconEntry || TextOf(n) == step.text;
    };
    int32_t node = -1;
    for (size_t depth = 0; depth < chain.size(); ++depth) {
        int32_t child = node + 1;
        if (child >= Tree.nodeCount || LevelOf(child) != int32_t(depth)) return -1;
        rg_ZhengShuShuZuLei loc;
        while (child >= 0 && !matches(child, chain[depth])) {
            rg_ZhengShuShuZuLei next;
            const int32_t sibling = Tree.GetNextSibling(child, loc, next, nullptr);
            child = sibling > child ? sibling : -1;
            loc = next;
        }
        if (child < 0) return -1;
        node = child;
    }
    return node;
}

void rg_DrenvikMuLuShuKuang1::OpenPath(const CWString& path) {
    if (SelectPath(path) != -1) return;
    if (!FileExists(TrimmedCopy(path))) return;
    BuildRoots();
    SelectPath(path);
}

// ---- listing --------------------------------------------------------------------------------------------

void rg_DrenvikMuLuShuKuang1::FillFolderChildren(int32_t node) { ListFolder(node, ScreenRows(), true); }

void rg_DrenvikMuLuShuKuang1::ListFolder(int32_t node, int32_t askNow, bool refresh) {
    if (node < 0 || node >= Tree.nodeCount || fillBusy_) return;
    const CWString path = GetNodePath(node);
    if (!FileExists(path)) return;
    // Ends with the listing, however it ends; the answers held meanwhile are scheduled then.
    HoldScope busy(*this, fillBusy_);
    FollowedNode listed(*this, node);

    rg_DrenvikWenBenShuZuLei folders;
    ListFiles(path, L"*.*", folders, true);  // pumps messages on huge folders

    // The tree may have changed shape while the listing pumped messages.
    node = listed.Node();
    if (node < 0) return;
    const int32_t level = LevelOf(node);
    CVolMem block;
    int32_t count = 0;
    for (int32_t i = 0; i < folders.GetCount(); ++i) {
        const CWString folder = folders.GetItem(i);  // the full path
        const CWString name = GetPathLeaf(folder, 0);
        if (!IsStorableName(name)) continue;
        Tree.WriteNodeRecord(block, name, kDirIconFolder, kDirIconFolderSelected, level + 1);
        ++count;
    }

    {
        // Drawing comes back on every way out, a throw from the owner's selection handler included.
        FlagScope noDrawing(Tree.autoRefresh, 0);
        const int32_t selected = Tree.GetSelectedIndex();
        rg_ZhengShuShuZuLei loc, range;
        rg_ZhengShuShuZuLei probe;
        const int32_t replaced = Tree.GetSubtreeRange(node, probe, range, 0);
        {
            FlagScope quiet(quietSelection_);
            Tree.InsertNodes(node, 2, block, count, loc);
        }
        // A selection after the replaced rows moves by the real difference; one inside them goes to
        // the refreshed node itself.
        int32_t target = selected;
        if (selected > node + replaced) target = selected + count - replaced;
        else if (selected > node) target = node;
        Tree.selectedNode = (target >= 0 && target < Tree.nodeCount) ? target : -1;
        // The folder is listed now: its own question is answered, and its children's are queued
        // before any handler runs, so they are asked whatever the handler does.
        if (auto it = PendingAtOrAfter(pendingChecks_, node); it != pendingChecks_.end() && it->node == node)
            pendingChecks_.erase(it);
        QueueChildChecks(node, node + 1, count);
        if (selected > node) {
            Tree.RaiseSelectionEvent(Tree.selectedNode, Tree.selectionReason, 0);
            Tree.selectionReason = 0;
            node = listed.Node();  // the handler may have changed the tree
        }
        if (node >= 0) SettleChildren(node, askNow);
    }
    if (refresh) Tree.RefreshView(-1);
}

int32_t rg_DrenvikMuLuShuKuang1::OnNodeExpanding(int32_t node) {
    if (fillBusy_) return 1;  // the listing in progress owns the tree until it ends
    rg_ZhengShuShuZuLei loc;
    // A child not yet asked about subfolders is listed right away, as if it had its "+".
    if (int8_t(uint8_t(Tree.GetNodeState(node, loc))) <= 1 && (IsPlaceholder(node + 1) || IsCheckPending(node))) {
        FlagScope filling(IsFillingFolder);
        FillFolderChildren(node);
    }
    return 0;
}

// ---- placeholder checks -----------------------------------------------------------------------------------

namespace {
int64_t NowMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

bool rg_DrenvikMuLuShuKuang1::IsCheckPending(int32_t node) const {
    auto it = PendingAtOrAfter(pendingChecks_, node);
    return it != pendingChecks_.end() && it->node == node;
}

int32_t rg_DrenvikMuLuShuKuang1::ScreenRows() const {
    return Tree.rowsFit > 0 ? Tree.rowsFit : kScreenRowsBeforeLayout;
}

void rg_DrenvikMuLuShuKuang1::QueueChildChecks(int32_t parent, int32_t firstChild, int32_t count) {
    if (count <= 0) return;
    std::vector<PendingCheck> children;
    children.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) children.push_back({firstChild + i, parent, false});
    pendingChecks_.insert(PendingAtOrAfter(pendingChecks_, firstChild), children.begin(), children.end());
}

void rg_DrenvikMuLuShuKuang1::OnRecordsChanged(int32_t first, int32_t removed, int32_t added) {
    checksSeenStamp_ = Tree.editStamp.value;
    // Whatever lay at or after the edit has moved: the remembered places there are no longer good.
    if (cursorNode_ >= first) cursorNode_ = -1;
    if (cursorParent_ >= first) cursorParent_ = -1;
    if (removed < 0) {
        // Every record was replaced (read from a stream): what this control knew is gone, and
        // every folder not listed is asked again. Queued now, from the records alone; asked once
        // the rest of the control is read too, so never from here. A shown control is shown no
        // second time, so its timer asks them, or the end of whatever holds them now.
        RequeueUnlistedFolders();
        if (HWND h = GetHwnd(); h && !pendingChecks_.empty() && !ChecksHeld())
            ::SetTimer(h, kPlaceholderCheckTimer, 1, nullptr);
        return;
    }
    if (removed == 0 && added == 0) return;
    // Records [first, end) went (a subtree goes whole, children with their parent); later ones moved.
    const int64_t end = int64_t(first) + removed;
    const int32_t shift = added - removed;
    auto from = PendingAtOrAfter(pendingChecks_, first);
    auto to = PendingAtOrAfter(pendingChecks_, end);
    from = pendingChecks_.erase(from, to);
    for (auto it = from; it != pendingChecks_.end(); ++it) {
        it->node += shift;
        if (it->parent >= end) it->parent += shift;
    }
}

void rg_DrenvikMuLuShuKuang1::RequeueUnlistedFolders() {
    checksSeenStamp_ = Tree.editStamp.value;
    pendingChecks_.clear();
    cursorNode_ = cursorParent_ = -1;
    // One walk: a collapsed folder is unlisted when the next record is not its child.
    std::vector<int32_t> lastAtLevel;
    struct Seen {
        int32_t node = -1, parent = -1, level = -1;
        bool candidate = false;
    } previous;
    rg_ZhengShuShuZuLei loc;
    for (int32_t i = 0; i < Tree.nodeCount; ++i) {
        if (!Tree.LocateNodeRecord(i, loc, i - 1) || loc.size() < 3) break;
        const int32_t level = loc[2];
        if (level < 0 || level > int32_t(lastAtLevel.size())) break;  // not a tree shape to walk
        if (previous.candidate && level <= previous.level)
            pendingChecks_.push_back({previous.node, previous.parent, false});
        lastAtLevel.resize(size_t(level) + 1);
        lastAtLevel[size_t(level)] = i;
        rg_ZhengShuShuZuLei probe = loc;
        const bool folder = IsFolderIcon(Tree.GetNodeIcon(i, probe));
        const bool collapsed = int8_t(uint8_t(Tree.GetNodeState(i, probe))) < 2;
        previous = {i, level > 0 ? lastAtLevel[size_t(level) - 1] : -1, level, folder && collapsed && level > 0};
    }
    if (previous.candidate) pendingChecks_.push_back({previous.node, previous.parent, false});
}

rg_DrenvikMuLuShuKuang1::CheckOutcome rg_DrenvikMuLuShuKuang1::SettleCheck(size_t at) {
    const PendingCheck check = pendingChecks_[at];
    pendingChecks_.erase(pendingChecks_.begin() + ptrdiff_t(at));
    const int32_t node = check.node;
    if (node < 0 || node >= Tree.nodeCount) return CheckOutcome::None;
    // Found from the last answer's record when it lies before, so a run of siblings costs one pass.
    rg_ZhengShuShuZuLei loc;
    int32_t from = -1;
    if (cursorNode_ >= 0 && cursorNode_ < node && cursorLocator_.size() == 3) {
        loc = cursorLocator_;
        from = cursorNode_;
    }
    if (!Tree.LocateNodeRecord(node, loc, from) || loc.size() < 3) {
        cursorNode_ = -1;
        return CheckOutcome::None;
    }
    cursorNode_ = node;
    cursorLocator_.assign({loc[0], loc[1], loc[2]});
    const int32_t level = loc[2];
    rg_ZhengShuShuZuLei probe = cursorLocator_;
    if (!IsFolderIcon(Tree.GetNodeIcon(node, probe))) return CheckOutcome::None;
    // Listed meanwhile, or given a child: the question no longer arises.
    rg_ZhengShuShuZuLei next = cursorLocator_;
    if (Tree.LocateNodeRecord(node + 1, next, node) && next.size() >= 3 && next[2] == level + 1)
        return CheckOutcome::None;
    if (int8_t(uint8_t(Tree.GetNodeState(node, probe))) >= 2) {
        // Opened before its answer came: it shows its subfolders, as an expansion lists them.
        FlagScope filling(IsFillingFolder);
        ListFolder(node, 0, true);
        cursorNode_ = -1;
        return CheckOutcome::Listed;
    }
    // The parent's path once for a run of siblings; a child is its parent's path and its own name.
    if (check.parent != cursorParent_) {
        cursorParent_ = -1;
        if (check.parent < 0 || check.parent >= node) return CheckOutcome::None;
        cursorParentPath_ = GetNodePath(check.parent);
        if (cursorParentPath_.empty()) return CheckOutcome::None;
        cursorParentPath_ = WithTrailingBackslash(cursorParentPath_);
        cursorParentLevel_ = LevelOf(check.parent);
        cursorParent_ = check.parent;
    }
    const CWString path =
        level == cursorParentLevel_ + 1 ? cursorParentPath_ + Tree.GetNodeText(node, probe) : GetNodePath(node);
    if (path.empty() || !HasSubfolders(path)) return CheckOutcome::None;
    CVolMem block;
    Tree.WriteNodeRecord(block, L"+", kDirIconPlaceholder, kDirIconPlaceholder, level + 1);
    rg_ZhengShuShuZuLei own = cursorLocator_;
    {
        FlagScope quiet(quietSelection_);
        Tree.InsertNodes(node, 2, block, 1, own);
    }
    // The top row and the row under the pointer stay on their nodes.
    for (int32_t* shown : {&Tree.topNode, &Tree.hotNode, &Tree.lastHotNode})
        if (*shown > node) ++*shown;
    return CheckOutcome::Placeholder;
}

void rg_DrenvikMuLuShuKuang1::SettleChildren(int32_t parent, int32_t limit) {
    // Not held by a command: a listing it makes itself asks its own first rows as one edit.
    if (checksBusy_ || Tree.isEditing || WindowGone()) return;
    FlagScope busy(checksBusy_);
    cursorNode_ = cursorParent_ = -1;
    int64_t after = parent;
    for (int32_t asked = 0; asked < limit; ++asked) {
        auto it = PendingAtOrAfter(pendingChecks_, after + 1);
        if (it == pendingChecks_.end() || it->parent != parent) break;
        after = it->node;
        SettleCheck(size_t(it - pendingChecks_.begin()));
    }
}

void rg_DrenvikMuLuShuKuang1::RunPlaceholderChecks(int64_t budgetMicroseconds) {
    // A listing that pumps messages, an open editor (its rename is dropped if the tree changes
    // shape under it) or a command (it holds record indexes across its boxes) holds the questions back.
    if (ChecksHeld()) return;
    bool changed = false;
    {
        FlagScope busy(checksBusy_);
        if (ChecksUnknown()) RequeueUnlistedFolders();
        if (pendingChecks_.empty()) return;
        const int64_t deadline = NowMicroseconds() + budgetMicroseconds;
        auto expired = [&] { return NowMicroseconds() >= deadline; };
        for (PendingCheck& c : pendingChecks_) c.drawn = false;
        for (int32_t n : Tree.rowNodes) {
            auto it = PendingAtOrAfter(pendingChecks_, n);
            if (it != pendingChecks_.end() && it->node == n) it->drawn = true;
        }
        // Answers below the last row drawn change nothing on screen, not even which node a row
        // shows; only those above it need the rows drawn again.
        const int32_t lastDrawn = Tree.rowNodes.empty() ? -1 : Tree.rowNodes.back();
        auto settle = [&](auto it) {
            const int32_t node = it->node;
            // A listing drew the rows itself, but the last row drawn may be another node now.
            const CheckOutcome outcome = SettleCheck(size_t(it - pendingChecks_.begin()));
            if (outcome == CheckOutcome::Listed || (outcome == CheckOutcome::Placeholder && node <= lastDrawn))
                changed = true;
            return node;
        };
        cursorNode_ = cursorParent_ = -1;
        // The rows on screen first; the flags move with their nodes.
        for (int64_t after = -1; !expired();) {
            auto it = PendingAtOrAfter(pendingChecks_, after + 1);
            while (it != pendingChecks_.end() && !it->drawn) ++it;
            if (it == pendingChecks_.end()) break;
            after = settle(it);
        }
        // Then the rest, from the top row down (where the user looks next), then from the start.
        bool wrapped = false;
        for (int64_t after = int64_t(Tree.topNode) - 1; !pendingChecks_.empty() && !expired();) {
            auto it = PendingAtOrAfter(pendingChecks_, after + 1);
            if (it == pendingChecks_.end()) {
                if (wrapped) break;
                wrapped = true;
                after = -1;
                continue;
            }
            after = settle(it);
        }
    }
    if (changed) Tree.RefreshView(-1);
}

void rg_DrenvikMuLuShuKuang1::ScheduleChecks(bool runWithoutWindow) {
    HWND h = GetHwnd();
    // Held: nothing is armed, or its messages would only find them held again. The hold's end
    // schedules them.
    if (pendingChecks_.empty() || ChecksHeld()) {
        if (h) ::KillTimer(h, kPlaceholderCheckTimer);
        return;
    }
    // A timer message comes only when nothing else waits: the questions take the idle time.
    if (h) {
        ::SetTimer(h, kPlaceholderCheckTimer, 1, nullptr);
    } else if (runWithoutWindow && !WindowGone()) {
        RunPlaceholderChecks(INT64_MAX / 2);  // no window to wait on
    }
}

void rg_DrenvikMuLuShuKuang1::OnCheckTimer() {
    // Slices follow one another while nothing else waits for the thread, so whatever arrives
    // meanwhile waits one slice at most. The timer is off meanwhile: it would count as waiting.
    if (HWND h = GetHwnd()) ::KillTimer(h, kPlaceholderCheckTimer);
    // Scheduled again on every way out, a throw out of a handler an answer raised included.
    struct Reschedule {
        rg_DrenvikMuLuShuKuang1& d;
        ~Reschedule() { d.ScheduleChecks(false); }
    } again{*this};
    do {
        RunPlaceholderChecks(kCheckSliceMicroseconds);
    } while (!pendingChecks_.empty() && !ChecksHeld() && HIWORD(::GetQueueStatus(QS_ALLINPUT)) == 0);
}

// ---- renaming --------------------------------------------------------------------------------------------

int32_t rg_DrenvikMuLuShuKuang1::HandleEditRequest(int32_t node, CWString& editorText) {
    // A listing that pumps writes back the names it read before: no rename starts under it.
    if (fillBusy_) return 1;
    const int32_t icon = IconOf(node);
    if (IsDriveIcon(icon)) {
        // The editor shows the bare label; the node keeps its caption until the edit ends.
        const CWString caption = TextOf(node);
        EditDriveLetter = DriveLetterOfCaption(caption);
        editorText = DriveLabelOfCaption(caption);
        return 0;
    }
    if (icon == kDirIconEntry) return IsFavourite(node) ? 0 : 1;
    return IsFolderIcon(icon) ? 0 : 1;
}

int32_t rg_DrenvikMuLuShuKuang1::RenameNode(int32_t node, const CWString& oldText, const CWString& newText) {
    // An editor opened before a listing began and closed while it pumps: the listing would put the
    // old name back over a renamed folder, so nothing is renamed.
    if (fillBusy_) return 1;
    HoldScope command(*this, commandBusy_);  // a refused name shows a box; the tree box then writes to `node`
    const int32_t icon = IconOf(node);
    if (IsFolderIcon(icon)) return RenameFolder(node, oldText, newText);
    if (IsDriveIcon(icon)) return RelabelDrive(node, oldText, newText);
    if (icon == kDirIconEntry && IsFavourite(node)) {
        if (newText.empty() || newText == oldText) return 1;
        // The tree would store another text than the settings, and show it after every rebuild.
        if (!IsStorableName(newText)) {
            ShowMessageBox(CWString(L"名称含有目录树无法保存的字符：") + newText, L"信息:", MB_OK | MB_ICONINFORMATION);
            return 1;
        }
        gComponentConfig.sectionName = FavouritesSection();
        return gComponentConfig.WriteText(FavouriteKeyPrefix(DataOf(node)) + L"名称", newText) ? 0 : 1;
    }
    return 1;
}

int32_t rg_DrenvikMuLuShuKuang1::RenameFolder(int32_t node, const CWString& oldText, const CWString& newText) {
    if (newText.empty() || newText == oldText) return 1;
    const CWString problem = CheckFolderName(newText);
    if (!problem.empty()) {
        ShowMessageBox(problem + L"：" + newText, L"信息:", MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    const CWString source = WithoutTrailingBackslash(GetNodePath(node));
    if (source.empty()) return 1;
    const CWString target = GetParentPath(source, 0) + L"\\" + newText;
    return ::MoveFileW(source.c_str(), target.c_str()) ? 0 : 1;
}

int32_t rg_DrenvikMuLuShuKuang1::RelabelDrive(int32_t node, const CWString& oldText, const CWString& newText) {
    // The letter is the edited node's own, never a remembered one.
    const wchar_t letter = DriveLetterOfCaption(TextOf(node));
    if (!letter) return 1;
    const CWString suffix = CWString(L" (") + letter + L":)";
    CWString label = oldText;
    if (!newText.empty() && newText != oldText && WriteVolumeLabel(CWString(1, letter) + L":\\", newText))
        label = newText;
    CWString caption = label + suffix;
    rg_ZhengShuShuZuLei loc;
    Tree.SetNodeFields(node, &caption, -1, -1, loc);
    return 1;
}

// ---- selection --------------------------------------------------------------------------------------------

int32_t rg_DrenvikMuLuShuKuang1::HandleSelectionChanged(int32_t node, int32_t reason) {
    if (quietSelection_ || node == -1 || reason == 3) return 0;
    if (SingleCheck) {
        rg_ZhengShuShuZuLei marked;
        Tree.FindCheckedNodes(marked, nullptr, nullptr, nullptr);
        if (marked.size() == 1) {
            rg_ZhengShuShuZuLei loc;
            Tree.SetNodeChecked(marked[0], 0, 0, loc, 1);
        }
        if (marked.size() < 2) {
            // Every selection has just been drawn; the mark itself shows only with check boxes.
            rg_ZhengShuShuZuLei loc;
            Tree.SetNodeChecked(node, 1, 0, loc, Tree.showCheckBoxes ? 0 : 1);
        }
    }
    if (!IsFillingFolder) RaiseIntEvent(reason);
    return 0;
}

// ---- favourites --------------------------------------------------------------------------------------------

CWString rg_DrenvikMuLuShuKuang1::FavouriteKeyPrefix(int32_t id) const {
    auto it = favouriteKeys_.find(id);
    return it != favouriteKeys_.end() ? it->second : CWString::FromInt(id);
}

int32_t rg_DrenvikMuLuShuKuang1::NewFavouriteId() {
    // Seconds since 1970, moved on past any id in use: two favourites added in one second keep
    // their own keys.
    int32_t id = int32_t(DateTimeToUnixTime(GetNowDateTime()));
    const CWString section = FavouritesSection();
    auto taken = [&](int32_t n) {
        const CWString key = CWString::FromInt(n) + L"名称";
        return FavouritePaths.count(n) || favouriteKeys_.count(n) ||
               gComponentConfig.GetValue(section, key, L"\x1F") != L"\x1F";
    };
    while (taken(id)) ++id;
    return id;
}

void rg_DrenvikMuLuShuKuang1::ReadFavourites() {
    const CWString section = FavouritesSection();
    rg_WenBenShuZuLei entries;
    ListConfigEntries(entries, L"", L"", section, L"", L"");
    gComponentConfig.sectionName = section;
    FavouritePaths.clear();
    favouriteKeys_.clear();
    rg_WenBenShuZuLei keys;
    for (const CWString& e : entries)
        if (e.FindText(L"名称") >= 0) keys.push_back(e);
    if (keys.empty()) {
        const int32_t id = NewFavouriteId();
        gComponentConfig.WriteText(CWString::FromInt(id) + L"名称", L"本软件所在目录");
        gComponentConfig.WriteText(CWString::FromInt(id) + L"路径", GetModuleDirectory());
        keys.push_back(CWString::FromInt(id) + L"名称");
    }
    int32_t madeUp = -2;
    for (const CWString& key : keys) {
        const CWString prefix = key.Left(key.FindText(L"名称"));
        // A key that is not a plain number keeps its own text; its node gets an id no key uses.
        int32_t id = int32_t(WideTextToInt(prefix));
        const bool plain = !prefix.empty() && CWString::FromInt(id) == prefix;
        if (!plain || FavouritePaths.count(id)) {
            while (FavouritePaths.count(madeUp)) --madeUp;
            id = madeUp--;
        }
        favouriteKeys_[id] = prefix;
        const CWString name = gComponentConfig.ReadText(key, L"");
        CWString path = gComponentConfig.ReadText(prefix + L"路径", L"");
        if (!path.empty()) path = WithTrailingBackslash(path);
        Tree.AddNode(name, kDirIconEntry, id, 0, 1);
        FavouritePaths[id] = path;
        AddPlaceholderIfSubfolders(path, 2);
    }
}

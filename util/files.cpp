#include "util/files.h"

#include <algorithm>
#include <vector>

#include "platform/dynapi.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "platform/win.h"
#include "util/file_ui_hooks.h"
#include "util/path_parts.h"

namespace {

bool DefaultOpenFileDialog(HWND owner, std::wstring_view title, std::wstring_view filter, CWString& fileName) {
    // "desc|pattern|desc|pattern" becomes the dialog's double-zero-terminated pair list.
    std::wstring filters(filter);
    std::replace(filters.begin(), filters.end(), L'|', L'\0');
    filters.append(2, L'\0');
    std::wstring titleZ(title);
    std::vector<wchar_t> buffer(32768, L'\0');
    std::copy_n(fileName.begin(), std::min(fileName.size(), buffer.size() - 1), buffer.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrTitle = titleZ.empty() ? nullptr : titleZ.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!::GetOpenFileNameW(&ofn)) return false;
    fileName = CWString(buffer.data());
    return true;
}

bool IsVisibleFolder(const WIN32_FIND_DATAW& fd) noexcept {
    // A directory that is neither hidden nor system, and not "." or "..".
    if ((fd.dwFileAttributes & 0x16) != FILE_ATTRIBUTE_DIRECTORY) return false;
    return std::wcscmp(fd.cFileName, L".") != 0 && std::wcscmp(fd.cFileName, L"..") != 0;
}

UniqueFindHandle StartSearch(const CWString& query, bool foldersOnly, WIN32_FIND_DATAW& fd) {
    return UniqueFindHandle(::FindFirstFileExW(query.c_str(), FindExInfoBasic, &fd,
                                               foldersOnly ? FindExSearchLimitToDirectories : FindExSearchNameMatch,
                                               nullptr, FIND_FIRST_EX_LARGE_FETCH));
}

int32_t Collect(std::wstring_view folder, std::wstring_view pattern, rg_DrenvikWenBenShuZuLei& result,
                bool deduplicate, rg_ZiJieJiMoXuHaXiJi& seen, bool folders) {
    result.prefix = WithTrailingBackslash(folder);
    WIN32_FIND_DATAW fd;
    UniqueFindHandle find = StartSearch(result.prefix + CWString(pattern), folders, fd);
    if (!find) return 0;
    int taken = 0;
    do {
        const bool wanted = folders ? IsVisibleFolder(fd) : !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        if (!wanted) continue;
        if (deduplicate && !seen.emplace(fd.cFileName).second) continue;
        result.Append(fd.cFileName);
        if (++taken % 5000 == 0) PumpPendingMessages();  // keep the window alive on huge folders
    } while (::FindNextFileW(find.get(), &fd));
    return result.GetCount();
}

struct DropWalk {
    int32_t& choice;
    CWString& lines;
    std::wstring_view patterns;
    HWND owner;
    bool fileTitles;
};

void HandleDropList(DropWalk& w, const rg_DrenvikWenBenShuZuLei& paths, bool nested) {
    PumpPendingMessages();
    FileUiHooks& hooks = GetFileUiHooks();
    const int32_t count = paths.GetCount();
    for (int32_t i = 0; i < count; ++i) {
        const CWString path = paths.GetItem(i);
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (!w.lines.empty()) w.lines.append(L"\r\n");
            w.lines.append(w.fileTitles ? GetFileTitle(path) : path);
            continue;
        }
        // Links met inside a dropped folder are not followed: one pointing at an ancestor would
        // never end.
        if (nested && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (w.choice == 0) {
            int answer = hooks.showMessageBoxOwned
                             ? hooks.showMessageBoxOwned(w.owner,
                                                         L"你的拖放中存在目录，请选择操作：\r\n\r\n选【是】读取目录下的文件\r\n"
                                                         L"选【否】读取目录及子目录下文件\r\n选【取消】忽略目录",
                                                         L"信息:", 35)
                             : IDCANCEL;
            w.choice = answer == IDYES ? 1 : answer == IDNO ? 2 : 3;
        }
        if (w.choice != 1 && w.choice != 2) continue;

        rg_DrenvikWenBenShuZuLei files;
        ListFiles(path, w.patterns, files, false);
        HandleDropList(w, files, true);
        if (w.choice == 2) {
            if (hooks.setTitleHint) hooks.setTitleHint(CWString(L"正在读取子目录：") + path, L"");
            rg_DrenvikWenBenShuZuLei folders;
            ListFiles(path, L"*.*", folders, true);
            HandleDropList(w, folders, true);
        }
    }
}

}  // namespace

FileUiHooks& GetFileUiHooks() {
    static FileUiHooks hooks{
        nullptr,
        [](HWND owner, std::wstring_view text, std::wstring_view caption, UINT type) {
            return ::MessageBoxW(owner, std::wstring(text).c_str(), std::wstring(caption).c_str(), type);
        },
        DefaultOpenFileDialog,
    };
    return hooks;
}

rg_WenBenShuZuLei ListLogicalDrives() {
    char buffer[256] = {};
    DWORD got = DynamicApiTable.GetLogicalDriveStringsA ? DynamicApiTable.GetLogicalDriveStringsA(256, buffer) : 0;
    const size_t n = std::min<size_t>(got, sizeof buffer);
    rg_WenBenShuZuLei drives;
    size_t from = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i == n || buffer[i] == '\0') {
            drives.push_back(CWString::FromAnsiBytes(buffer + from, i - from));
            from = i + 1;
        }
    }
    return drives;
}

int32_t ListFiles(std::wstring_view folder, std::wstring_view patterns, rg_DrenvikWenBenShuZuLei& result,
                  bool listFolders) {
    const CWString f = WithTrailingBackslash(folder);
    CWStringArray list;
    SplitTextBySeparator(patterns, list, L"|", true, true);
    if (folder.empty()) return 0;
    result.Clear(2000);
    rg_ZiJieJiMoXuHaXiJi seen;
    const bool deduplicate = list.size() >= 2;
    for (const auto& pattern : list) {
        if (listFolders) CollectSubfolders(f, pattern, result, deduplicate, seen);
        else CollectFilesInFolder(f, pattern, result, deduplicate, seen);
    }
    return result.GetCount();
}

int32_t CollectFilesInFolder(std::wstring_view folder, std::wstring_view pattern, rg_DrenvikWenBenShuZuLei& result,
                             bool deduplicate, rg_ZiJieJiMoXuHaXiJi& seen) {
    return Collect(folder, pattern, result, deduplicate, seen, false);
}

int32_t CollectSubfolders(std::wstring_view folder, std::wstring_view pattern, rg_DrenvikWenBenShuZuLei& result,
                          bool deduplicate, rg_ZiJieJiMoXuHaXiJi& seen) {
    return Collect(folder, pattern, result, deduplicate, seen, true);
}

int32_t HasSubfolders(std::wstring_view folder) {
    WIN32_FIND_DATAW fd;
    UniqueFindHandle find = StartSearch(WithTrailingBackslash(folder) + L"*", true, fd);
    if (!find) return 0;
    do {
        if (IsVisibleFolder(fd)) return 1;
    } while (::FindNextFileW(find.get(), &fd));
    return 0;
}

void CollectDroppedFiles(int32_t& choice, const rg_DrenvikWenBenShuZuLei& paths, CWString& lines,
                         std::wstring_view patterns, HWND owner, bool fileTitles) {
    DropWalk walk{choice, lines, patterns, owner, fileTitles};
    HandleDropList(walk, paths, false);
}

CWString WithoutTrailingBackslash(std::wstring_view path) {
    if (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
    return CWString(path);
}

CWString CleanTypedFolderPath(std::wstring_view text) {
    std::wstring_view t = TrimView(text);
    if (t.size() >= 2 && t.front() == L'"' && t.back() == L'"') t = TrimView(t.substr(1, t.size() - 2));
    const bool drive = t.size() >= 3 && t[1] == L':' && t[2] == L'\\' && (t[0] | 0x20) >= L'a' && (t[0] | 0x20) <= L'z';
    const bool unc = t.size() >= 3 && t[0] == L'\\' && t[1] == L'\\' && t[2] != L'\\';
    return drive || unc ? CWString(t) : CWString();
}

CWString FolderWithoutTrailingBackslash(std::wstring_view path) {
    while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
    CWString out(path);
    if (out.size() == 2 && out[1] == L':') out.push_back(L'\\');
    return out;
}

CWString WithTrailingBackslash(std::wstring_view path) {
    CWString out(path);
    if (out.empty() || out.back() != L'\\') out.push_back(L'\\');
    return out;
}

CWString WithTrailingSlash(std::wstring_view address) {
    CWString out(address);
    if (out.empty() || out.back() != L'/') out.push_back(L'/');
    return out;
}

CWString GetProgramFolder() { return WithoutTrailingBackslash(GetModuleDirectory()); }

CWString BrowseFileIntoControl(HWND owner, std::wstring_view title, std::wstring_view filter, HWND control) {
    const bool hasControl = control && ::IsWindow(control);
    CWString start;
    if (hasControl) {
        int n = ::GetWindowTextLengthW(control);
        std::wstring buf(size_t(n) + 1, L'\0');
        buf.resize(size_t(::GetWindowTextW(control, buf.data(), n + 1)));
        start = CWString(std::move(buf));
    }
    CWString fileName = start;
    FileUiHooks& hooks = GetFileUiHooks();
    const bool ok = hooks.openFileDialog &&
                    hooks.openFileDialog(owner && ::IsWindow(owner) ? owner : nullptr, title, filter, fileName);
    if (!ok) return start;
    if (hasControl) ::SetWindowTextW(control, fileName.c_str());
    return fileName;
}

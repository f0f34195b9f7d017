#include "platform/temp_file.h"

#include "platform/win.h"

std::wstring MakeTempFileName(std::wstring_view folderGiven) {
    std::wstring folder(folderGiven);
    if (folder.empty()) {
        folder.assign(MAX_PATH + 1, L'\0');
        DWORD n = ::GetTempPathW(DWORD(folder.size()), folder.data());
        if (n > folder.size()) {
            folder.resize(n);
            n = ::GetTempPathW(DWORD(folder.size()), folder.data());
        }
        if (n == 0 || n >= folder.size()) return {};
        folder.resize(n);
    }
    // GetTempFileNameW takes at most MAX_PATH - 14 characters of folder.
    if (folder.size() > MAX_PATH - 14) return {};
    wchar_t name[MAX_PATH];
    if (!::GetTempFileNameW(folder.c_str(), L"kv", 0, name)) return {};
    return name;
}

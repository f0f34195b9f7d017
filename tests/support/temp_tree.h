// A fresh folder under the temporary folder for a test, removed with everything in it.
#pragma once
#include "platform/win.h"

#include <string>
#include <string_view>

#include "platform/mem.h"

struct TempTree {
    std::wstring root;
    TempTree() {
        wchar_t dir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, dir);
        root = std::wstring(dir) + L"kv_files_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
               std::to_wstring(::GetTickCount64()) + L"_" + std::to_wstring(++made_);
        ::CreateDirectoryW(root.c_str(), nullptr);
    }
    ~TempTree() { Remove(root); }
    std::wstring Folder(const std::wstring& rel, DWORD attributes = 0) const {
        std::wstring p = root + L"\\" + rel;
        ::CreateDirectoryW(p.c_str(), nullptr);
        if (attributes) ::SetFileAttributesW(p.c_str(), attributes);
        return p;
    }
    std::wstring File(const std::wstring& rel) const {
        std::wstring p = root + L"\\" + rel;
        CVolMem(std::string_view("x")).WriteToFile(p);
        return p;
    }
    static inline int made_ = 0;  // two trees in one tick get their own folders

    static void Remove(const std::wstring& dir) {
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring p = dir + L"\\" + name;
                ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    Remove(p);
                else if (!::DeleteFileW(p.c_str()))
                    ::RemoveDirectoryW(p.c_str());
            } while (::FindNextFileW(h, &fd));
            ::FindClose(h);
        }
        ::RemoveDirectoryW(dir.c_str());
    }
};

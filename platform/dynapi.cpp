#include "platform/dynapi.h"

#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/system.h"

DynamicApiTableType DynamicApiTable;

namespace {

#define KV_ROW(dll, fn) DynamicApiRow{dll, #fn, reinterpret_cast<void**>(&DynamicApiTable.fn)}

const DynamicApiRow kRows[] = {
    KV_ROW(L"advapi32.dll", CryptReleaseContext),
    KV_ROW(L"", CryptCreateHash),
    KV_ROW(L"", CryptGetHashParam),
    KV_ROW(L"", CryptDestroyHash),
    KV_ROW(L"", CryptHashData),
    KV_ROW(L"", CryptAcquireContextW),
    KV_ROW(L"kernel32.dll", CloseHandle),
    KV_ROW(L"", GetLogicalDriveStringsA),
    KV_ROW(L"", GetProcAddress),
    KV_ROW(L"", FreeLibrary),
    KV_ROW(L"", LoadLibraryW),
    KV_ROW(L"", CreateThread),
    KV_ROW(L"", IsBadCodePtr),
    KV_ROW(L"", OpenProcess),
    KV_ROW(L"Psapi.dll", GetModuleFileNameExW),
    KV_ROW(L"shell32.dll", DragAcceptFiles),
    KV_ROW(L"", ShellExecuteW),
    KV_ROW(L"User32.dll", KillTimer),
    KV_ROW(L"", ChangeWindowMessageFilter),
    // 32-bit User32 exports only the 32-bit names, which are pointer-sized there.
    DynamicApiRow{L"", sizeof(void*) == 8 ? "GetWindowLongPtrW" : "GetWindowLongW",
                  reinterpret_cast<void**>(&DynamicApiTable.GetWindowLongPtrW)},
    KV_ROW(L"", CallWindowProcW),
    DynamicApiRow{L"", sizeof(void*) == 8 ? "SetWindowLongPtrW" : "SetWindowLongW",
                  reinterpret_cast<void**>(&DynamicApiTable.SetWindowLongPtrW)},
    KV_ROW(L"", SetTimer),
    KV_ROW(L"", GetWindowThreadProcessId),
    KV_ROW(L"", GetAsyncKeyState),
    KV_ROW(L"", ShowWindowAsync),
    KV_ROW(L"", SetForegroundWindow),
};
#undef KV_ROW

std::wstring Widened(const char* text) {
    std::wstring w;
    for (const char* p = text; *p; ++p) w.push_back(wchar_t(static_cast<unsigned char>(*p)));
    return w;
}

struct Loaded {
    std::wstring dll;
    HMODULE module;
};
std::vector<Loaded>& Modules() {
    static std::vector<Loaded> modules;
    return modules;
}

HMODULE LoadPreferringProgramFolder(const wchar_t* dll) {
    for (auto& m : Modules())
        if (_wcsicmp(m.dll.c_str(), dll) == 0) return m.module;
    std::wstring local = GetModuleDirectory() + dll;
    HMODULE h = nullptr;
    if (::GetFileAttributesW(local.c_str()) != INVALID_FILE_ATTRIBUTES)
        h = ::LoadLibraryExW(local.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!h) h = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!h) h = ::LoadLibraryW(dll);
    if (h) Modules().push_back({dll, h});
    return h;
}

}  // namespace

std::span<const DynamicApiRow> DynamicApiRows() { return kRows; }

void BindDynamicApiRows(std::span<const DynamicApiRow> rows) {
    const wchar_t* dll = L"";
    for (const DynamicApiRow& row : rows) {
        if (row.dll && row.dll[0]) dll = row.dll;
        HMODULE h = LoadPreferringProgramFolder(dll);
        if (!h) throw CVolException(-1, L"载入运行时所需要的外部动态链接库文件\"" + std::wstring(dll) + L"\"失败!");
        FARPROC fn = row.name[0] == '@' ? ::GetProcAddress(h, MAKEINTRESOURCEA(std::atoi(row.name + 1)))
                                        : ::GetProcAddress(h, row.name);
        if (!fn)
            throw CVolException(-1, L"在外部动态链接库\"" + std::wstring(dll) + L"\"中未找到所需要的输出函数\"" +
                                        Widened(row.name) + L"\"!");
        *row.slot = reinterpret_cast<void*>(fn);
    }
}

void BindDynamicApiTable() { BindDynamicApiRows(kRows); }

void FreeDynamicApiModules() {
    for (auto& m : Modules()) ::FreeLibrary(m.module);
    Modules().clear();
}

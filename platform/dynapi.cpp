#include "platform/dynapi.h"

#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/system.h"

DynamicApiTableType DynamicApiTable;

namespace {

struct Entry {
    const wchar_t* dll;
    const char* name;
    void** slot;
};

#define KV_ENTRY(dll, fn) Entry{dll, #fn, reinterpret_cast<void**>(&DynamicApiTable.fn)}

std::vector<Entry> Entries() {
    return {
        KV_ENTRY(L"advapi32.dll", CryptAcquireContextW), KV_ENTRY(L"advapi32.dll", CryptCreateHash),
        KV_ENTRY(L"advapi32.dll", CryptHashData),        KV_ENTRY(L"advapi32.dll", CryptGetHashParam),
        KV_ENTRY(L"advapi32.dll", CryptDestroyHash),     KV_ENTRY(L"advapi32.dll", CryptReleaseContext),
        KV_ENTRY(L"kernel32.dll", GetLogicalDriveStringsA), KV_ENTRY(L"user32.dll", GetAsyncKeyState),
        KV_ENTRY(L"kernel32.dll", LoadLibraryW),         KV_ENTRY(L"kernel32.dll", FreeLibrary),
        KV_ENTRY(L"kernel32.dll", GetProcAddress),       KV_ENTRY(L"kernel32.dll", IsBadCodePtr),
        KV_ENTRY(L"shell32.dll", DragAcceptFiles),
        // 32-bit User32 exports only the 32-bit names, which are pointer-sized there.
        Entry{L"user32.dll", sizeof(void*) == 8 ? "GetWindowLongPtrW" : "GetWindowLongW",
              reinterpret_cast<void**>(&DynamicApiTable.GetWindowLongPtrW)},
        Entry{L"user32.dll", sizeof(void*) == 8 ? "SetWindowLongPtrW" : "SetWindowLongW",
              reinterpret_cast<void**>(&DynamicApiTable.SetWindowLongPtrW)},
        KV_ENTRY(L"user32.dll", CallWindowProcW),
        KV_ENTRY(L"user32.dll", ChangeWindowMessageFilter), KV_ENTRY(L"shell32.dll", ShellExecuteW),
        KV_ENTRY(L"user32.dll", SetTimer),               KV_ENTRY(L"user32.dll", KillTimer),
    };
}
#undef KV_ENTRY

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

void BindDynamicApiTable() {
    for (const Entry& e : Entries()) {
        HMODULE h = LoadPreferringProgramFolder(e.dll);
        if (!h) throw CVolException(1, std::wstring(L"无法加载动态链接库: ") + e.dll);
        FARPROC fn = nullptr;
        if (e.name[0] == '@') fn = ::GetProcAddress(h, MAKEINTRESOURCEA(std::atoi(e.name + 1)));
        else fn = ::GetProcAddress(h, e.name);
        if (!fn) {
            std::wstring name;
            for (const char* p = e.name; *p; ++p) name.push_back(wchar_t(*p));
            throw CVolException(2, std::wstring(L"无法找到函数: ") + e.dll + L" -> " + name);
        }
        *e.slot = reinterpret_cast<void*>(fn);
    }
}

void FreeDynamicApiModules() {
    for (auto& m : Modules()) ::FreeLibrary(m.module);
    Modules().clear();
}

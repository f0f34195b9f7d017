// The program's table of Windows functions bound at run time. Start-up binds it before anything
// else runs; tests may replace single entries to fake a function.
#pragma once
#include "platform/win.h"

#include <wincrypt.h>
#include <shellapi.h>

#include <span>

struct DynamicApiTableType {
    // CryptoAPI (SHA-1 of the settings text)
    decltype(&::CryptAcquireContextW) CryptAcquireContextW = nullptr;
    decltype(&::CryptCreateHash) CryptCreateHash = nullptr;
    decltype(&::CryptHashData) CryptHashData = nullptr;
    decltype(&::CryptGetHashParam) CryptGetHashParam = nullptr;
    decltype(&::CryptDestroyHash) CryptDestroyHash = nullptr;
    decltype(&::CryptReleaseContext) CryptReleaseContext = nullptr;
    // Files and input
    decltype(&::GetLogicalDriveStringsA) GetLogicalDriveStringsA = nullptr;
    decltype(&::GetAsyncKeyState) GetAsyncKeyState = nullptr;
    // Modules, window procedures, drag and drop
    decltype(&::LoadLibraryW) LoadLibraryW = nullptr;
    decltype(&::FreeLibrary) FreeLibrary = nullptr;
    decltype(&::GetProcAddress) GetProcAddress = nullptr;
    decltype(&::IsBadCodePtr) IsBadCodePtr = nullptr;
    decltype(&::DragAcceptFiles) DragAcceptFiles = nullptr;
    decltype(&::GetWindowLongPtrW) GetWindowLongPtrW = nullptr;
    decltype(&::SetWindowLongPtrW) SetWindowLongPtrW = nullptr;
    decltype(&::CallWindowProcW) CallWindowProcW = nullptr;
    decltype(&::ChangeWindowMessageFilter) ChangeWindowMessageFilter = nullptr;
    // Shell and timers
    decltype(&::ShellExecuteW) ShellExecuteW = nullptr;
    decltype(&::SetTimer) SetTimer = nullptr;
    decltype(&::KillTimer) KillTimer = nullptr;
    // Bound with the rest; nothing calls them yet.
    decltype(&::CloseHandle) CloseHandle = nullptr;
    decltype(&::CreateThread) CreateThread = nullptr;
    decltype(&::OpenProcess) OpenProcess = nullptr;
    DWORD(WINAPI* GetModuleFileNameExW)(HANDLE, HMODULE, LPWSTR, DWORD) = nullptr;
    decltype(&::GetWindowThreadProcessId) GetWindowThreadProcessId = nullptr;
    decltype(&::ShowWindowAsync) ShowWindowAsync = nullptr;
    decltype(&::SetForegroundWindow) SetForegroundWindow = nullptr;
};

// One row of a run-time function table: an empty DLL name stands for the DLL of the row before.
struct DynamicApiRow {
    const wchar_t* dll;
    const char* name;
    void** slot;
};

// The one table of the program.
extern DynamicApiTableType DynamicApiTable;

// The program's table, in its row order.
std::span<const DynamicApiRow> DynamicApiRows();
// Binds every row, trying each DLL in the program's folder first; a name "@N" is ordinal N. A DLL
// or function that cannot be found throws CVolException (code -1) naming it.
void BindDynamicApiRows(std::span<const DynamicApiRow> rows);
// Binds the program's table.
void BindDynamicApiTable();
// Releases the modules that binding loaded.
void FreeDynamicApiModules();

// The program's table of Windows functions bound at run time. Start-up binds it before anything
// else runs; tests may replace single entries to fake a function.
#pragma once
#include "platform/win.h"

#include <wincrypt.h>
#include <shellapi.h>

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
};

// The one table of the program.
extern DynamicApiTableType DynamicApiTable;

// Binds every entry, trying each DLL in the program's folder first; a name "@N" is ordinal N.
// A DLL or function that cannot be found throws CVolException naming it.
void BindDynamicApiTable();
// Releases the modules that binding loaded.
void FreeDynamicApiModules();

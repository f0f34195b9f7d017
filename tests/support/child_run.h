// Runs this test program again as a child, for the cases that must run in a process of their own
// (disabled there, so they run only when asked for).
#pragma once
#include "platform/win.h"

#include <cstdint>
#include <string>

// The child's exit code, or -1 when it could not start or did not end within `waitMs` (then it is
// ended). `environment` is a Unicode environment block, or null for this process's own.
inline long RunThisProgram(const std::wstring& arguments, wchar_t* environment = nullptr, DWORD waitMs = 60000) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, environment ? CREATE_UNICODE_ENVIRONMENT : 0,
                          environment, nullptr, &si, &pi))
        return -1;
    ::CloseHandle(pi.hThread);
    DWORD code = DWORD(-1);
    if (::WaitForSingleObject(pi.hProcess, waitMs) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &code);
    else ::TerminateProcess(pi.hProcess, code);
    ::CloseHandle(pi.hProcess);
    return long(int32_t(code));
}

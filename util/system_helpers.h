// Small helpers that talk to Windows: persistent user variables, waits that keep handling messages,
// per-thread random seeds, calls into DLLs by name, window procedure replacement and file drops.
#pragma once
#include <cstdint>

#include "platform/boxed.h"
#include "platform/object.h"

// The longest value setx stores whole.
inline constexpr size_t kSetxValueLimit = 1024;
// Sets a persistent user environment variable with "setx NAME "VALUE"" and waits for it without
// handling messages; the system's setx.exe runs, started by its full path. 1 when setx exits with
// 0; 0 when it fails or cannot start, and for a name or value the command line cannot carry (an
// empty name or one with blanks, quotes or a leading "/"; a value with a double quote, a line
// break or a zero character, or longer than setx stores).
int SetUserEnvironmentVariable(std::wstring_view name, std::wstring_view value);
// The command line SetUserEnvironmentVariable runs; empty when it refuses the name or the value.
CWString BuildSetxCommandLine(std::wstring_view name, std::wstring_view value);

// Waits that long, sleeping 10 ms at a time and handling this thread's messages in between.
// 0 or less returns at once. A WM_QUIT ends the wait at once and stays queued for the real loop.
void WaitPumpingMessages(int64_t milliseconds);
// The same, ending early once the flag's value is not 0 (tested before every sleep).
void WaitPumpingMessagesUntilFlag(const rg_LuoJiXingLei& flag, int64_t milliseconds);

// Seeds this thread's rand() with the seconds since 1970 plus the thread id, and marks the
// process's generator as seeded.
void SeedRandomFromTimeAndThread();

// Calls a DLL function by name with up to five pointer-sized arguments. Addresses and handles are
// pointer-sized so 64-bit pointers survive; a function that returns a 32-bit value gives its result
// in the low 32 bits.
class rg_class_DongTaiDiaoYongDLL : public CVolObject {
    VOL_CLASS(rg_class_DongTaiDiaoYongDLL, CVolObject, "drenvik::rg_class_DongTaiDiaoYongDLL")
    VOL_MEMBERS(moduleHandle, functionAddress, dllName, functionName, argumentCount)
    intptr_t moduleHandle = 0;
    intptr_t functionAddress = 0;
    CWString dllName;
    CWString functionName;
    int32_t argumentCount = 0;

    // functionAddress = the named export of moduleHandle (0 when absent); argumentCount = 3.
    void ResolveFunction(std::wstring_view name);
    // Calls the function with the first argumentCount arguments (0 to 5) as a standard call; 0
    // without a call when the address is not code or the count is outside 0 to 5.
    intptr_t Invoke(intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4, intptr_t a5) const;
};

// Replaces a window's procedure through User32's SetWindowLongPtrW, loaded for the call; returns the
// previous procedure, or null when it could not be replaced.
WNDPROC SetWindowProcedure(HWND window, WNDPROC procedure);

// One registered drop target: kept in gDropTargetRegistry for the life of the program.
class rg_DrenvikWenJianTuoFangLeiShuJu : public CVolObject {
    VOL_CLASS(rg_DrenvikWenJianTuoFangLeiShuJu, CVolObject, "drenvik::rg_DrenvikWenJianTuoFangLeiShuJu")
    VOL_MEMBERS(window, previousProcedure, previousExStyle, owner)
    intptr_t window = 0;
    intptr_t previousProcedure = 0;
    int32_t previousExStyle = 0;
    intptr_t owner = 0;  // the registering rg_DrenvikWenJianTuoFangLei, uncounted; 0 once it is gone
};

// Makes a window a target for files dragged from the shell: each dropped file raises FileDropped
// (file count, zero-based index, path, extension from the path's last "." on) on the window's thread.
class rg_DrenvikWenJianTuoFangLei : public CVolObject {
    VOL_CLASS(rg_DrenvikWenJianTuoFangLei, CVolObject, "drenvik::rg_DrenvikWenJianTuoFangLei")
    VOL_MEMBERS(windowHandle)
    intptr_t windowHandle = 0;
    VolEventBinding<int32_t, int32_t, const CWString&, const CWString&> FileDropped;

    ~rg_DrenvikWenJianTuoFangLei() override;
    // Once per window over the whole program; a window registered before (by anyone) is left as it is.
    void Register(HWND window);
};

// Every registered window's record, in registration order; used on the user-interface thread only.
extern CVolObjectArray gDropTargetRegistry;

// The window procedure of every registered window.
LRESULT CALLBACK DropTargetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

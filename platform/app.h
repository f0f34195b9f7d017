// The application object: process set-up (COM, common controls, DPI awareness, the display scale,
// GDI+), the guarded start, and the message loop with its pre-translate and idle hooks.
#pragma once
#include "platform/win.h"

#include <functional>
#include <memory>

#include "platform/gdiplus_session.h"
#include "platform/text.h"

class CVolWinForm;

// max(1, effective DPI / 96); the logical DPI stands in when the effective DPI is unknown (<= 0).
double ComputeDpiScale(int effectiveDpi, int logicalDpi) noexcept;

// The error texts of an exception that escaped the start method.
inline constexpr wchar_t kStartupErrorCaption[] = L"运行时异常";
CWString DescribePlatformException(int code, std::wstring_view description);
inline constexpr wchar_t kUnmanagedExceptionText[] = L"程序在运行时抛出了未被管理的异常";

// Shows a start-up error box without owner.
void ShowStartupErrorBox(const CWString& text);

// Runs `start`; with the guard on, an escaping exception is shown in an error box and gives -1.
// Returns 0 when `start` returned normally.
int RunGuarded(const std::function<void()>& start, bool guard);
// From then on a structured exception nothing handles (an access violation, on any thread) shows
// kUnmanagedExceptionText and ends the process with -1, unless a debugger is attached by then.
void InstallUnhandledExceptionBox();

class CVolMFCApp {
public:
    CVolMFCApp();
    ~CVolMFCApp();
    CVolMFCApp(const CVolMFCApp&) = delete;
    CVolMFCApp& operator=(const CVolMFCApp&) = delete;

    // COM (apartment-threaded), common controls, per-monitor DPI awareness, DpiScale, GDI+.
    bool InitInstance();
    // Binds the run-time function table, runs `start` under the exception guard (only when no
    // debugger is attached), then the message loop. The process's exit code.
    int Run(const std::function<void()>& start);
    // Runs the message loop until WM_QUIT; returns its exit code.
    int RunMessageLoop();

    void SetMainWindow(CVolWinForm* form) noexcept;
    CVolWinForm* GetMainWindow() const noexcept;

    // Hooks: pre-translate (true swallows the message), idle (called with a growing count while the
    // queue is empty; false stops idle calls until the next message), exit (after the loop).
    std::function<bool(MSG&)> preTranslateHook;
    std::function<bool(long)> idleHook;
    std::function<void()> exitHook;

private:
    bool comStarted_ = false;
    bool tableBound_ = false;
    std::unique_ptr<GdiplusSession> gdiplus_;
};

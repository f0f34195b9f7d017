// Helpers for tests that open windows: pumping, driving message boxes, screenshots.
#pragma once
#include "platform/win.h"

#include <string>
#include <thread>

#include "platform/handles.h"
#include "platform/window.h"

// Handles this thread's messages for about `ms` milliseconds.
void PumpMessagesFor(int ms);
// Pumps until `done()` holds or `ms` pass; the final value of `done()`.
template <class F> bool PumpUntil(F done, int ms) {
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (int(::GetTickCount() - start) > ms) return false;
        PumpMessagesFor(5);
    }
    return true;
}

// Captures a window (PrintWindow) and saves it as PNG in %TEMP%; returns the path or an empty text.
// GDI+ must be started.
std::wstring SaveWindowScreenshot(HWND hwnd, const std::wstring& fileName);

// True when the window (its frame included) lies wholly inside the work area of its monitor.
bool LiesInsideWorkArea(HWND hwnd);
// True when top-level window `upper` comes before `lower` in the z-order.
bool LiesAbove(HWND upper, HWND lower);
// Makes a top-level window the foreground one and the first in the z-order, as the user's click on
// it does; false when that did not happen within 5 s.
bool BringToFront(HWND window);
// Waits up to `ms` for `window` to be the foreground window and, with `other`, above it: under
// Wine the activation passed on as a window goes arrives a little later.
bool SettlesInFront(HWND window, HWND other, int ms = 2000);

// The program's SVG icon resources (svg_icons.dll beside the tests) as the resource module while it lives.
class ScopedIconResources {
public:
    ScopedIconResources();
    ~ScopedIconResources();
    ScopedIconResources(const ScopedIconResources&) = delete;
    ScopedIconResources& operator=(const ScopedIconResources&) = delete;
    bool Loaded() const noexcept { return module_ != nullptr; }

private:
    HMODULE module_;
};

// A plain form of a given design size, created hidden: Wine without a window manager takes 2 s to
// hide a shown top-level window, so tests keep their forms hidden unless they look at them.
class HiddenTestForm : public CVolWinForm {
    VOL_CLASS(HiddenTestForm, CVolWinForm, "test::HiddenTestForm")
    VOL_MEMBERS()

public:
    HiddenTestForm() { SetVisible(false); }
    ~HiddenTestForm() override { DestroyOwnWindow(); }
    int GetDesignWidth() const override { return designWidth; }
    int GetDesignHeight() const override { return designHeight; }
    int designWidth = 300;
    int designHeight = 200;
};

// A shown window of another thread, standing for another program's window: made before the test's
// own windows, it lies below them, and Windows activates it when none of ours can take the
// activation.
class ForeignWindow {
public:
    ForeignWindow();
    ~ForeignWindow();
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;
    HWND Hwnd() const noexcept { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
    DWORD threadId_ = 0;
    std::thread thread_;
};

// A shown window of another process (tools/other_program), standing for a program the user looked
// at meanwhile: the foreground rules treat another thread of the same process differently. Placed
// where the test asks and closed with the object.
class OtherProgramWindow {
public:
    OtherProgramWindow(const std::wstring& title, const RECT& place);
    ~OtherProgramWindow();
    OtherProgramWindow(const OtherProgramWindow&) = delete;
    OtherProgramWindow& operator=(const OtherProgramWindow&) = delete;
    // Null when the program did not show its window.
    HWND Hwnd() const noexcept { return hwnd_; }
    // Makes it the foreground window, above this process's windows (as the user's click does).
    bool BringToFront() const;

private:
    UniqueKernelHandle process_;
    HWND hwnd_ = nullptr;
};

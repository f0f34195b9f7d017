// Helpers of the control tests: faked mouse input, a panel to host controls, screenshots, pixel
// reads, and a scroll bar's event recorder.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dynapi.h"
#include "platform/input.h"
#include "platform/painter.h"
#include "platform/system.h"
#include "platform/window.h"
#include "support/ui_helpers.h"
#include "ui/scroll_bar.h"

// The left button's state and the cursor as the controls read them.
struct FakeInput {
    static inline bool leftDown = false;
    static inline bool ctrlDown = false;
    static inline POINT cursor{0, 0};
    static inline decltype(DynamicApiTable.GetAsyncKeyState) saved = nullptr;
    static inline bool installed = false;

    static SHORT WINAPI KeyState(int key) {
        if (key == VK_LBUTTON) return leftDown ? SHORT(0x8000) : 0;
        if (key == VK_CONTROL) return ctrlDown ? SHORT(0x8000) : 0;
        return 0;
    }
    static POINT Cursor() { return cursor; }
    static void Install() {
        if (!installed) saved = DynamicApiTable.GetAsyncKeyState;
        installed = true;
        DynamicApiTable.GetAsyncKeyState = &KeyState;
        SetCursorSourceForTest(&Cursor);
    }
    static void Reset() {
        if (installed) DynamicApiTable.GetAsyncKeyState = saved;
        installed = false;
        SetCursorSourceForTest(nullptr);
        leftDown = ctrlDown = false;
        cursor = POINT{0, 0};
    }
};

// A hidden form of the given client size, made now.
inline void MakeTestForm(HiddenTestForm& form, int width, int height) {
    form.designWidth = width;
    form.designHeight = height;
    form.LoadWindow();
}

// A child panel to host controls inside a form.
class TestPanel : public rg_ZuJianBuJuQi {
public:
    ~TestPanel() override { DestroyOwnWindow(); }
};

// Saves what the screen shows of a window, raised and repainted, as PNG in %TEMP%. GDI+ must be
// started. The path, or an empty text.
inline std::wstring SaveScreenOfWindow(HWND hwnd, const std::wstring& fileName) {
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessagesFor(300);  // the X server shows the picture a little later
    return SaveWindowScreenshot(hwnd, fileName);
}

inline COLORREF PixelAt(const rg_WeiTuDuiXiangLei& picture, int x, int y) {
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, picture.GetHandle());
    COLORREF c = ::GetPixel(dc, x, y);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return c;
}

// Records a scroll bar's events; may answer a position report with a new position once.
class ScrollRecorder : public CVolObject, public VolEventReceiver {
public:
    ScrollRecorder() : VolEventReceiver(this) {}
    ScrollRecorder(const ScrollRecorder&) = delete;
    void Watch(rg_DrenvikGunDongTiao1& bar) {
        bar_ = &bar;
        VOL_BIND(bar.PositionChanged, &ScrollRecorder::OnPosition);
        VOL_BIND(bar.DragEnded, &ScrollRecorder::OnDragEnded);
    }
    void OnPosition(CVolObject*, int p) {
        positions.push_back(p);
        if (nextPosition) bar_->SetPosition(std::exchange(nextPosition, 0));
    }
    void OnDragEnded(CVolObject*) { ++dragEnds; }

    std::vector<int> positions;
    int dragEnds = 0;
    int nextPosition = 0;

private:
    rg_DrenvikGunDongTiao1* bar_ = nullptr;
};

// Runs `step` once from this thread's message loop, such as the wait of a modal window.
class LoopStep {
public:
    explicit LoopStep(std::function<void()> step, UINT delay = 150) {
        Current() = std::move(step);
        id_ = ::SetTimer(nullptr, 0, delay, &Fire);
    }
    ~LoopStep() {
        ::KillTimer(nullptr, id_);
        Current() = nullptr;
    }

private:
    static std::function<void()>& Current() {
        static std::function<void()> f;
        return f;
    }
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        if (auto f = std::exchange(Current(), nullptr)) f();
    }
    UINT_PTR id_;
};

// Runs `open` (which shows a window and waits for it) while `step` acts from its loop. One display
// serves every test program, so another program's window may take the activation and close the
// window before the step could act (`step` answers false then): such an opening is tried again.
// True once the step acted.
inline bool OpenWithStep(const std::function<bool()>& step, const std::function<void()>& open, int attempts = 5) {
    for (int i = 0; i < attempts; ++i) {
        bool acted = false;
        {
            LoopStep s([&] { acted = step(); });
            open();
        }
        if (acted) return true;
    }
    return false;
}

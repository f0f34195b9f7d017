// A Windows timer on a control's own window. Its WM_TIMER arrives in the control's message
// dispatch, so a control handles its ticks where it handles everything else and a tick never
// reaches an object whose window is gone (the timer dies with the window).
#pragma once
#include "platform/win.h"

class CVolWinControl;

class ControlWindowTimer {
public:
    ControlWindowTimer(CVolWinControl& owner, UINT_PTR id) noexcept : owner_(owner), id_(id) {}
    ~ControlWindowTimer();
    ControlWindowTimer(const ControlWindowTimer&) = delete;
    ControlWindowTimer& operator=(const ControlWindowTimer&) = delete;

    // Starts (or restarts) the timer at `ms`; 0 stops it. Without a window only the interval is kept.
    void SetInterval(int ms);
    int GetInterval() const noexcept { return interval_; }
    bool IsRunning() const noexcept { return running_; }
    // True when a WM_TIMER message belongs to this timer.
    bool Matches(UINT message, WPARAM wParam) const noexcept { return message == WM_TIMER && wParam == id_; }

private:
    CVolWinControl& owner_;
    UINT_PTR id_;
    int interval_ = 0;
    bool running_ = false;
};

// Whether the left mouse button is down now, read twice through the run-time function table (the
// first reading may still report a press made since the previous read). Press timers poll it.
bool IsLeftButtonHeld() noexcept;

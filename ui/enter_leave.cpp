#include "ui/enter_leave.h"

#include "platform/input.h"

rg_DrenvikYiRuYiChuShiJianLei::rg_DrenvikYiRuYiChuShiJianLei() : VolEventReceiver(this) {
    VOL_BIND(pollClock.Tick, &rg_DrenvikYiRuYiChuShiJianLei::OnClockTick);
}

rg_DrenvikYiRuYiChuShiJianLei::~rg_DrenvikYiRuYiChuShiJianLei() {
    flags |= kFlagDestroying;
    DetachEvents();
    MouseLeft.Unbind();
    MouseEntered.Unbind();
    // pollClock stops as a member.
}

int rg_DrenvikYiRuYiChuShiJianLei::RaiseLeave(CVolWinControl* control, CVolWinControl* same, int value) {
    return MouseLeft.Raise(this, control, same, value);
}

int rg_DrenvikYiRuYiChuShiJianLei::OnMouseMove(CVolWinControl* control, int x, int y, int) {
    active = 1;
    if (reentryGuard || !control) return 0;
    bool polling = pollClock.IsRunning();
    if (polling && watched == control) {
        int left = control->GetLeft(), top = control->GetTop();
        if (left == watchedLeft && top == watchedTop) return 0;
        // The control moved: take a new reference point.
        watchedLeft = left;
        watchedTop = top;
        moveX = x;
        moveY = y;
        POINT c = VolGetCursorPos();
        cursorX = c.x;
        cursorY = c.y;
        return 0;
    }
    if (polling && !watched) return 0;

    POINT c = VolGetCursorPos();
    cursorX = c.x;
    cursorY = c.y;
    if (watched) {
        reentryGuard = 1;
        RaiseLeave(watched, watched, eventValue);
    }
    watchedLeft = control->GetLeft();
    watchedTop = control->GetTop();
    moveX = x;
    moveY = y;
    eventValue = 0;
    watched = control;
    pollClock.SetInterval(50);
    reentryGuard = 0;
    MouseEntered.Raise(this, control, control, 0);
    return 1;
}

void rg_DrenvikYiRuYiChuShiJianLei::OnClockTick(CVolObject* source) {
    if (source != &pollClock || reentryGuard || !watched) return;
    POINT c = VolGetCursorPos();
    int cx = moveX + (int(c.x) - cursorX);
    int cy = moveY + (int(c.y) - cursorY);
    int width = 0;
    if (HWND h = watched->GetHwnd()) {
        RECT r;
        ::GetWindowRect(h, &r);
        width = int(r.right - r.left);
    }
    int height = watched->GetHeight();
    if (cx >= 0 && cx <= width + widthMargin - 1 && cy >= 0 && cy <= height + heightMargin - 1) return;
    active = 0;
    pollClock.SetInterval(0);
    CVolWinControl* left = watched;
    watched = nullptr;
    RaiseLeave(left, left, eventValue);
}

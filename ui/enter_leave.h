// The mouse enter/leave watcher: fed with the mouse moves of one or more controls, it raises
// MouseEntered when the cursor reaches a control and, polling the cursor every 50 ms with its own
// clock, MouseLeft when the cursor is found outside it, even without a mouse-leave message.
#pragma once
#include "platform/window.h"
#include "ui/clock.h"

// A control reference member: compared and copied as a reference; a stream holds it as 4 bytes,
// and a reference read back from a stream is never trusted (it loads as none).
template <> struct VolMember<CVolWinControl*> {
    static bool Equal(CVolWinControl* a, CVolWinControl* b) { return a == b; }
    static void Copy(CVolWinControl*& d, CVolWinControl* s) { d = s; }
    static void Save(VolDataStream* s, CVolWinControl* v) { s->WriteValue(int32_t(uintptr_t(v))); }
    static void Load(VolDataStream* s, CVolWinControl*& v) {
        int32_t ignored;
        if (s->ReadValue(ignored)) v = nullptr;
    }
};

class rg_DrenvikYiRuYiChuShiJianLei : public CVolObject, public VolEventReceiver {
    VOL_CLASS(rg_DrenvikYiRuYiChuShiJianLei, CVolObject, "rg_DrenvikYiRuYiChuShiJianLei")
    VOL_MEMBERS(moveX, moveY, cursorX, cursorY, pollClock, watched, eventValue, heightMargin, widthMargin,
                watchedLeft, watchedTop, active, reentryGuard)

public:
    rg_DrenvikYiRuYiChuShiJianLei();
    ~rg_DrenvikYiRuYiChuShiJianLei() override;
    // A copy into this watcher first stops its poll clock.
    void PrepareForCopy() override { pollClock.SetInterval(0); }

    // Feeds one mouse move in the control's client coordinates; 1 when the control has just become
    // the watched one (MouseEntered was raised), else 0. The last argument is ignored.
    int OnMouseMove(CVolWinControl* control, int x, int y, int ignored = 0);
    void OnClockTick(CVolObject* source);
    int RaiseLeave(CVolWinControl* control, CVolWinControl* same, int value);

    int32_t moveX = 0;       // client position of the move recorded last
    int32_t moveY = 0;
    int32_t cursorX = 0;     // screen position of the cursor then
    int32_t cursorY = 0;
    rg_DrenvikShiZhongLei pollClock;
    CVolWinControl* watched = nullptr;
    int32_t eventValue = 0;  // last argument of both events; 0 on each entry
    int32_t heightMargin = 0;
    int32_t widthMargin = 0;
    int32_t watchedLeft = 0;
    int32_t watchedTop = 0;
    int32_t active = 0;
    int32_t reentryGuard = 0;

    VolEventBinding<CVolWinControl*, CVolWinControl*, int> MouseLeft;
    VolEventBinding<CVolWinControl*, CVolWinControl*, int> MouseEntered;
};

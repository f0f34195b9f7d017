// The clock: a periodic thread timer that needs no window. Every running clock is found from its
// timer id through gClockTimerMap under gClockTimerMapLock; ticks arrive on the thread that started
// the clock, from its message loop.
#pragma once
#include <cstdint>
#include <map>

#include "platform/object.h"

// The id of a clock's running timer. A copy or a loaded clock owns no timer, so the id does not
// travel with copies (and a stored id is never trusted on loading).
struct VolClockTimerId {
    int32_t value = 0;
};
template <> struct VolMember<VolClockTimerId> {
    static bool Equal(const VolClockTimerId& a, const VolClockTimerId& b) { return a.value == b.value; }
    static void Copy(VolClockTimerId& d, const VolClockTimerId&) { d.value = 0; }
    static void Save(VolDataStream* s, const VolClockTimerId& v) { s->WriteValue(v.value); }
    static void Load(VolDataStream* s, VolClockTimerId&) { int32_t ignored; s->ReadValue(ignored); }
};

class rg_DrenvikShiZhongLei : public CVolObject {
    VOL_CLASS(rg_DrenvikShiZhongLei, CVolObject, "rg_DrenvikShiZhongLei")
    VOL_MEMBERS(timerId, interval, label)

public:
    rg_DrenvikShiZhongLei() = default;
    rg_DrenvikShiZhongLei(const rg_DrenvikShiZhongLei&) = delete;
    ~rg_DrenvikShiZhongLei() override;
    // A copy into this clock first stops this clock's own timer.
    void PrepareForCopy() override { StopTimer(); }

    // Starts, restarts or (below 1) stops the clock. The same interval again changes nothing while
    // the clock has its timer.
    void SetInterval(int milliseconds);
    // Running means holding a timer (a copy keeps the interval but has no timer until started).
    bool IsRunning() const noexcept { return timerId.value != 0; }
    int32_t GetTimerId() const noexcept { return timerId.value; }

    VolClockTimerId timerId;  // 0 when the clock has no timer
    int32_t interval = 0;     // milliseconds; below 1 means stopped
    CWString label;           // carried with the clock; nothing reads it
    VolEventBinding<> Tick;

private:
    void StopTimer() noexcept;
};

// The timer procedure of every clock.
void CALLBACK ClockTimerProc(HWND, UINT, UINT_PTR id, DWORD);

extern std::map<UINT_PTR, rg_DrenvikShiZhongLei*> gClockTimerMap;
extern rg_HuChiSuoLei gClockTimerMapLock;

// The static clock: three integers and a text with no operations.
class rg_DrenvikShiZhongJingTaiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikShiZhongJingTaiLei, CVolObject, "rg_DrenvikShiZhongJingTaiLei")
    VOL_MEMBERS(first, second, third, text)

public:
    int32_t first = 0;
    int32_t second = 0;
    int32_t third = 0;
    CWString text;
};

// Made at start-up; nothing reads them.
extern rg_DrenvikShiZhongJingTaiLei gStaticClockA;
extern rg_DrenvikShiZhongJingTaiLei gStaticClockB;
extern CVolMem gStaticClockBytes;

#include "ui/clock.h"

#include <cstdlib>

#include "platform/system.h"
#include "platform/dynapi.h"

std::map<UINT_PTR, rg_DrenvikShiZhongLei*> gClockTimerMap;
rg_HuChiSuoLei gClockTimerMapLock;
rg_DrenvikShiZhongJingTaiLei gStaticClockA;
rg_DrenvikShiZhongJingTaiLei gStaticClockB;
CVolMem gStaticClockBytes;

rg_DrenvikShiZhongLei::~rg_DrenvikShiZhongLei() {
    flags |= kFlagDestroying;
    StopTimer();
    interval = 0;
}

void rg_DrenvikShiZhongLei::StopTimer() noexcept {
    if (timerId.value == 0) return;
    auto killTimer = DynamicApiTable.KillTimer ? DynamicApiTable.KillTimer : &::KillTimer;
    killTimer(nullptr, UINT_PTR(uint32_t(timerId.value)));
    gClockTimerMapLock.Lock();
    gClockTimerMap.erase(UINT_PTR(uint32_t(timerId.value)));
    gClockTimerMapLock.Unlock();
    timerId.value = 0;
}

void rg_DrenvikShiZhongLei::SetInterval(int milliseconds) {
    if (milliseconds == interval && (milliseconds < 1 || timerId.value != 0)) return;
    StopTimer();
    interval = milliseconds;
    if (milliseconds < 1) return;
    if (RandomSeededFlag().exchange(1) == 0) std::srand(::GetTickCount());
    uint32_t r1 = uint32_t(std::rand()), r2 = uint32_t(std::rand());
    // Only a proposal: Windows assigns the id of a windowless timer itself.
    uint64_t proposed = ((r1 * 65536u) | (r2 & 0xFFFFu)) % 10001u +
                        uint64_t(DateTimeToUnixTime(GetNowDateTime()));
    gClockTimerMapLock.Lock();
    auto setTimer = DynamicApiTable.SetTimer ? DynamicApiTable.SetTimer : &::SetTimer;
    UINT_PTR id = setTimer(nullptr, UINT_PTR(proposed), UINT(milliseconds), ClockTimerProc);
    timerId.value = int32_t(id);
    if (id) gClockTimerMap[id] = this;
    gClockTimerMapLock.Unlock();
}

void CALLBACK ClockTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    gClockTimerMapLock.Lock();
    auto it = gClockTimerMap.find(id);
    rg_DrenvikShiZhongLei* clock = it == gClockTimerMap.end() ? nullptr : it->second;
    gClockTimerMapLock.Unlock();
    if (clock) clock->Tick.Raise(clock);
}

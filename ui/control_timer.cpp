#include "ui/control_timer.h"

#include "platform/dynapi.h"
#include "platform/input.h"
#include "platform/window.h"

namespace {
UINT_PTR StartTimer(HWND h, UINT_PTR id, UINT ms) {
    auto fn = DynamicApiTable.SetTimer;
    return fn ? fn(h, id, ms, nullptr) : ::SetTimer(h, id, ms, nullptr);
}
void StopTimer(HWND h, UINT_PTR id) {
    auto fn = DynamicApiTable.KillTimer;
    if (fn) fn(h, id);
    else ::KillTimer(h, id);
}
}  // namespace

ControlWindowTimer::~ControlWindowTimer() {
    if (running_ && owner_.IsCreated()) StopTimer(owner_.GetHwnd(), id_);
}

void ControlWindowTimer::SetInterval(int ms) {
    interval_ = ms > 0 ? ms : 0;
    HWND h = owner_.GetHwnd();
    if (running_ && h) StopTimer(h, id_);
    running_ = false;
    if (interval_ > 0 && h) running_ = StartTimer(h, id_, UINT(interval_)) != 0;
}

bool IsLeftButtonHeld() noexcept {
    VolGetAsyncKeyState(VK_LBUTTON);
    return (VolGetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
}

#include "platform/input.h"

#include <atomic>

#include "platform/dynapi.h"

namespace {
std::atomic<VolCursorSource> gCursorSource{nullptr};
std::atomic<VolTickSource> gTickSource{nullptr};
}  // namespace

SHORT VolGetAsyncKeyState(int virtualKey) noexcept {
    auto fn = DynamicApiTable.GetAsyncKeyState;
    return fn ? fn(virtualKey) : ::GetAsyncKeyState(virtualKey);
}

POINT VolGetCursorPos() noexcept {
    if (VolCursorSource s = gCursorSource.load()) return s();
    POINT p{0, 0};
    ::GetCursorPos(&p);
    return p;
}

void SetCursorSourceForTest(VolCursorSource source) noexcept { gCursorSource.store(source); }

uint64_t VolTickCount64() noexcept {
    if (VolTickSource s = gTickSource.load()) return s();
    return ::GetTickCount64();
}

void SetTickSourceForTest(VolTickSource source) noexcept { gTickSource.store(source); }

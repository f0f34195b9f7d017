// Input and clock reads that tests must be able to drive: Wine's key state does not follow posted
// messages, and the cursor and tick count cannot be moved at will.
#pragma once
#include "platform/win.h"

#include <cstdint>

// GetAsyncKeyState through the run-time function table (tests replace the table's entry).
SHORT VolGetAsyncKeyState(int virtualKey) noexcept;

// The cursor's screen position; tests may supply their own source (null restores GetCursorPos).
using VolCursorSource = POINT (*)();
POINT VolGetCursorPos() noexcept;
void SetCursorSourceForTest(VolCursorSource source) noexcept;

// The 64-bit millisecond tick count used by clocks and time measurement (null restores GetTickCount64).
using VolTickSource = uint64_t (*)();
uint64_t VolTickCount64() noexcept;
void SetTickSourceForTest(VolTickSource source) noexcept;

// Small process-wide services of the platform.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/win.h"

// Handles every pending message of this thread; a WM_QUIT stays queued for the real loop.
void PumpPendingMessages();
// True while a WM_QUIT waits in this thread's queue; it stays there for the real loop.
bool QuitMessageQueued();
// The program's folder, with a trailing backslash.
std::wstring GetModuleDirectory();

// Set once something has seeded the C runtime's random generator; the random-number helpers seed
// with the tick count on first use only while it is clear. The generator's state is per thread.
std::atomic<int32_t>& RandomSeededFlag() noexcept;

// Now, local time, as days since 1899-12-30 with the time of day as the fraction.
double GetNowDateTime();
// Whole seconds since 1970-01-01 UTC of a local date-time value (corrected by the time-zone bias).
int64_t DateTimeToUnixTime(double localDateTime);
// A SYSTEMTIME as days since 1899-12-30.
double SystemTimeToDateTime(const SYSTEMTIME& t) noexcept;

// The user-interface thread's id, stored by the application object at start-up (0 until then).
extern unsigned long gMainThreadId;

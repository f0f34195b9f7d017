// Small process-wide services of the platform.
#pragma once
#include <string>

// Handles every pending message of this thread; a WM_QUIT stays queued for the real loop.
void PumpPendingMessages();
// The program's folder, with a trailing backslash.
std::wstring GetModuleDirectory();

// The user-interface thread's id, stored by the application object at start-up (0 until then).
extern unsigned long gMainThreadId;

// Small process-wide services of the platform.
#pragma once
#include <string>

// Handles every pending message of this thread; a WM_QUIT stays queued for the real loop.
void PumpPendingMessages();
// The program's folder, with a trailing backslash.
std::wstring GetModuleDirectory();

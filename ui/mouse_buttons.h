// Mouse button state as press timers poll it.
#pragma once

// Whether the left mouse button is down now, read twice through the run-time function table (the
// first reading may still report a press made since the previous read).
bool IsLeftButtonHeld() noexcept;

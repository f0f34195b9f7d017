// Screenshots of a window once it and its children have painted on the (Xvfb) screen.
#pragma once
#include <string>

#include "platform/win.h"

// Raises and repaints the window, lets it paint, then saves it as a PNG in %TEMP%; the path, or
// empty on failure. GDI+ must run.
std::wstring SaveScreenAreaOfWindow(HWND hwnd, const std::wstring& fileName);

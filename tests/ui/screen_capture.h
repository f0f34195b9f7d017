// Screenshots from the screen itself: Wine's PrintWindow leaves child windows such as the rich
// edit out, so the window's area is copied from the (Xvfb) screen after it has painted.
#pragma once
#include <string>

#include "platform/win.h"

// Saves the window's screen area as a PNG in %TEMP%; the path, or empty on failure. GDI+ must run.
std::wstring SaveScreenAreaOfWindow(HWND hwnd, const std::wstring& fileName);

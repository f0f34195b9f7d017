// Mouse and keyboard input as if the user gave it, for driving a page that only takes real input.
// Everything goes through Seams(), so tests record it instead of moving the real cursor.
#pragma once
#include "platform/win.h"

class CWinKeyboardOperateModule {
public:
    enum KeyAction { kKeyDownUp = 0, kKeyDown = 1, kKeyUp = 2 };

    // Puts the cursor at absolute screen pixels.
    static bool MoveMouse(int x, int y);
    // Presses and releases the left button where the cursor is.
    static bool ClickMouse();
    // A key down, up, or both in turn; false when the system refused any of it.
    static bool PressKey(int virtualKey, KeyAction action = kKeyDownUp);
};
using rg_JiTongJianShuCaoZuoLei = CWinKeyboardOperateModule;

#include "platform/input_simulation.h"

#include "platform/seams.h"

bool CWinKeyboardOperateModule::MoveMouse(int x, int y) { return Seams().moveMouse(x, y); }

bool CWinKeyboardOperateModule::ClickMouse() { return Seams().clickMouse(); }

bool CWinKeyboardOperateModule::PressKey(int virtualKey, KeyAction action) {
    bool ok = true;
    if (action != kKeyUp) ok = Seams().pressKey(virtualKey, true);
    if (action != kKeyDown) ok = Seams().pressKey(virtualKey, false) && ok;
    return ok;
}

#include "ui/mouse_buttons.h"

#include "platform/input.h"

bool IsLeftButtonHeld() noexcept {
    VolGetAsyncKeyState(VK_LBUTTON);
    return (VolGetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
}

#include "screen_capture.h"

#include "support/ui_helpers.h"

std::wstring SaveScreenAreaOfWindow(HWND hwnd, const std::wstring& fileName) {
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    PumpMessagesFor(300);
    return SaveWindowScreenshot(hwnd, fileName);
}

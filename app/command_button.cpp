#include "app/command_button.h"

int CommandButton::CreateNativeWindow(VolCreateParams& params) {
    return CreateControlWindow(params, {L"BUTTON", 0, true});
}

LRESULT CommandButton::DefaultWindowProc(VolMessage& m) {
    if (m.message == WM_LBUTTONDOWN) {
        // The press is the click. The system button's own press handling (mouse capture) is left
        // out: a handler may run a modal box, whose loop would hand it the release first.
        Pressed.Raise(this);
        return 0;
    }
    return CVolWinControl::DefaultWindowProc(m);
}

void CommandButton::SetCaption(std::wstring_view text) {
    SetText(text);
    if (HWND h = GetHwnd()) ::UpdateWindow(h);
}

void CommandButton::SetTooltip(std::wstring_view text) {
    tooltipText = CWString(text);
    SetTipText(text);
}

// The main window's command button. The library's owner-drawn button is not part of the build yet;
// until it is, this system push button offers the few operations the window uses, under the same
// names, so the swap is a change of type. Like the owner-drawn button it acts when the left mouse
// button goes down on it.
#pragma once
#include "platform/window.h"

class CommandButton : public CVolWinControl {
    VOL_CLASS(CommandButton, CVolWinControl, "app::CommandButton")
    VOL_MEMBERS(baseColor, tooltipText)

public:
    CommandButton() { ModifyStyle(0, WS_TABSTOP | BS_PUSHBUTTON); }
    ~CommandButton() override { DestroyOwnWindow(); }
    int CreateNativeWindow(VolCreateParams& params) override;
    LRESULT DefaultWindowProc(VolMessage& m) override;

    CWString GetCaption() const { return GetText(); }
    // Painted at once, so a caption set before a blocking command stays visible during it.
    void SetCaption(std::wstring_view text);
    void SetFontText(std::wstring_view fontText) { SetFont(fontText); }
    void SetBaseColor(int color) { baseColor = color; }
    void SetTooltip(std::wstring_view text);
    const CWString& GetTooltip() const noexcept { return tooltipText; }

    int baseColor = -1;
    CWString tooltipText;

    // Raised when the left mouse button goes down on the button.
    VolEventBinding<> Pressed;
};

#include "ui/button.h"

#include "platform/font.h"
#include "platform/input.h"
#include "ui/control_foundation.h"

rg_DrenvikAnNiu1::rg_DrenvikAnNiu1() = default;

rg_DrenvikAnNiu1::~rg_DrenvikAnNiu1() {
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikAnNiu1::BindEvents() {
    VOL_BIND(Shown, &rg_DrenvikAnNiu1::OnShown);
    VOL_BIND(Resized, &rg_DrenvikAnNiu1::OnResized);
    VOL_BIND(Created, &rg_DrenvikAnNiu1::OnCreated);
    for (rg_painter* canvas : {&drawCanvas, &shownCanvas}) {
        VOL_BIND(canvas->LeftButtonDown, &rg_DrenvikAnNiu1::OnLeftDown);
        VOL_BIND(canvas->LeftButtonUp, &rg_DrenvikAnNiu1::OnLeftUp);
        VOL_BIND(canvas->LeftDoubleClick, &rg_DrenvikAnNiu1::OnLeftDoubleClick);
        VOL_BIND(canvas->RightButtonDown, &rg_DrenvikAnNiu1::OnRightDown);
        VOL_BIND(canvas->RightButtonUp, &rg_DrenvikAnNiu1::OnRightUp);
        VOL_BIND(canvas->MouseMove, &rg_DrenvikAnNiu1::OnCanvasMouseMove);
        VOL_BIND(canvas->FocusGained, &rg_DrenvikAnNiu1::OnFocusGained);
        VOL_BIND(canvas->FocusLost, &rg_DrenvikAnNiu1::OnFocusLost);
        VOL_BIND(canvas->KeyDown, &rg_DrenvikAnNiu1::OnKeyDown);
        canvas->AttachEventListener();
    }
    VOL_BIND(hoverTimer.Tick, &rg_DrenvikAnNiu1::OnTimerTick);
    hoverTimer.AttachEventListener();
    rg_ZuJianBuJuQi::BindEvents();
}

void rg_DrenvikAnNiu1::CreateChildren() {
    drawCanvas.SetVisible(false);
    drawCanvas.SetFont(kDefaultFontText);
    CreateChild(drawCanvas, 58, 13, 256, 134);
    CreateChild(hoverTimer, 344, 304, 26, 26);
    CreateChild(shownCanvas, 173, 198, 298, 115);
}

// ---- caption, font, tool tip, colours ------------------------------------------------------------

void rg_DrenvikAnNiu1::SetCaption(std::wstring_view text) {
    multiLine = text.find(L'\n') != std::wstring_view::npos ? 1 : 0;
    drawCanvas.caption = text;  // last: the text may be a view of the caption itself
    Paint();
}

void rg_DrenvikAnNiu1::SetFontText(std::wstring_view text) {
    if (IsCreated()) ApplyFont(CWString(text), false, false);
    else fontText = text;
}

void rg_DrenvikAnNiu1::MeasureLineHeight() {
    lineHeight = MeasureTextHeight(drawCanvas, gLineHeightSample, fontText);
}

void rg_DrenvikAnNiu1::ApplyFont(const CWString& text, bool noPaint, bool forceIcons) {
    if (!text.empty()) {
        drawCanvas.SetFont(text);
        fontText = text;
    }
    MeasureLineHeight();
    if (iconWidth == 0 || iconHeight == 0 || forceIcons) RefreshIcons(true);
    if (!noPaint) Paint();
}

void rg_DrenvikAnNiu1::SetTooltip(std::wstring_view text) {
    shownCanvas.SetTipText(text);
    tooltipText = text;
}

void rg_DrenvikAnNiu1::SetBaseColor(int color) {
    ApplyBaseColor(color);
    Paint();
}

void rg_DrenvikAnNiu1::ApplyBaseColor(int color) {
    ButtonBaseColors c = DeriveButtonBaseColors(color);
    faceColors[kButtonNormal] = c.light;
    faceColors[kButtonHover] = GetCaption().empty() ? 0xFFFFFF : c.light;
    borderColors[kButtonNormal] = color;
    borderColors[kButtonHover] = color;
    textColors[kButtonNormal] = color;
    progressColor = c.dark;
    if (checkMode) faceColors[kButtonPressed] = 0xFFFFFF;
}

// ---- input ---------------------------------------------------------------------------------------

void rg_DrenvikAnNiu1::OnMousePress(int arg) {
    pressTime = int64_t(VolTickCount64());
    pressSeen = 1;
    if (state != kButtonDisabled) state = kButtonPressed;
    if (arg != -1 && state != kButtonDisabled) {
        checked = 1 - checked;  // buttons flip it too; only check boxes draw it
        if (CheckToggled.Raise(this) == 1) {
            checked = 1 - checked;
            state = kButtonNormal;
            Paint();
            return;
        }
    }
    Paint();
    if (arg == -1 || state == kButtonDisabled) return;
    CheckInRadioGroup();
    Clicked.Raise(this);
}

void rg_DrenvikAnNiu1::CheckInRadioGroup() {
    if (!roundMarks || !radioGroup) return;
    ButtonRadioGroup* group = radioGroup;
    int index = -1;
    if (checked == 0) {
        checked = 1;
        Paint();
    }
    for (size_t i = 0; i < group->buttons.size(); ++i) {
        rg_DrenvikAnNiu1* b = group->buttons[i];
        if (!b) continue;
        if (b == this) {
            index = int(i);
            continue;
        }
        if (b->checked != 0) {
            b->checked = 0;
            b->Paint();
        }
    }
    group->Chosen.Raise(this, index);
}

void rg_DrenvikAnNiu1::OnMouseRelease(int arg) {
    // A double-click's second press arrives as a double-click message, never as a press: the release
    // that follows it stands in for it.
    if (pressSeen == 0 && int64_t(VolTickCount64()) - pressTime < 500 && focused == 1) OnMousePress(arg);
    pressSeen = 0;
    if (state != kButtonDisabled) state = kButtonHover;
    Paint();
    if (arg == 0 && state != kButtonDisabled) Released.Raise(this);
}

void rg_DrenvikAnNiu1::OnMouseMove(int x, int y, int modifiers) {
    if (state == kButtonDisabled) return;
    if (hoverTimer.GetInterval() <= 0) {
        enterX = x;
        enterY = y;
        POINT screen = VolGetCursorPos();
        enterScreenX = int32_t(screen.x);
        enterScreenY = int32_t(screen.y);
        hoverTimer.SetInterval(50);
    }
    mouseInside = 1;
    const int64_t now = int64_t(VolTickCount64());
    if (state == kButtonNormal) {
        state = kButtonHover;
        Paint();
        if (hoverDelay < 1) RaiseHover();
        else restStart = 0;
    } else if (hoverDelay > 0 && restStart >= 0) {
        int32_t p = int32_t(uint32_t(y) << 16 | (uint32_t(x) & 0xFFFF));
        if (restStart == 0 || p != restPosition) {
            restPosition = p;
            restStart = now;
        }
        if (restStart > 0 && now - restStart > hoverDelay) {
            restStart = -1;
            RaiseHover();
        }
    }
    RaiseMouseMove(x, y, modifiers);
}

void rg_DrenvikAnNiu1::OnHoverTimer() {
    POINT screen = VolGetCursorPos();
    int x = enterX + (int(screen.x) - enterScreenX);
    int y = enterY + (int(screen.y) - enterScreenY);
    if (x >= 0 && x <= drawCanvas.GetClientWidth() && y >= 0 && y <= drawCanvas.GetClientHeight()) return;
    hoverTimer.SetInterval(0);
    if (state == kButtonDisabled) return;
    mouseInside = 0;
    state = kButtonNormal;
    Paint();
    restStart = -1;
    MouseLeft.Raise(this);
}

// ---- handlers --------------------------------------------------------------------------------------

void rg_DrenvikAnNiu1::OnShown(CVolObject*) {
    if (shown) return;
    shown = 1;
    Paint();
}

void rg_DrenvikAnNiu1::OnResized(CVolObject*) {
    int w = GetClientWidth(), h = GetClientHeight();
    if (w <= 0 || h <= 0) return;
    drawCanvas.Move(0, 0, w, h);
    shownCanvas.Move(0, 0, w, h);
    Paint();
}

void rg_DrenvikAnNiu1::OnCreated(CVolObject*) {
    if (!fontText.empty()) drawCanvas.SetFont(fontText);
    MeasureLineHeight();
    RefreshIcons(true);
    if (noTabStop == 0) shownCanvas.ModifyStyle(0, WS_TABSTOP);
}

int rg_DrenvikAnNiu1::OnLeftDown(CVolObject*, int, int, int) {
    OnMousePress(0);
    return 0;
}

int rg_DrenvikAnNiu1::OnLeftUp(CVolObject*, int, int, int) {
    OnMouseRelease(0);
    return 0;
}

int rg_DrenvikAnNiu1::OnLeftDoubleClick(CVolObject*, int, int, int) {
    if (state != kButtonDisabled) DoubleClicked.Raise(this);
    return 0;
}

int rg_DrenvikAnNiu1::OnRightDown(CVolObject*, int, int, int) {
    pressTime = int64_t(VolTickCount64());
    pressSeen = 1;
    if (state != kButtonDisabled) state = kButtonPressed;
    Paint();
    return 0;
}

int rg_DrenvikAnNiu1::OnRightUp(CVolObject*, int, int, int) {
    OnMouseRelease(-1);
    if (state != kButtonDisabled) RightClicked.Raise(this);
    return 0;
}

int rg_DrenvikAnNiu1::OnCanvasMouseMove(CVolObject*, int x, int y, int modifiers) {
    OnMouseMove(x, y, modifiers);
    return 0;
}

int rg_DrenvikAnNiu1::OnFocusGained(CVolObject* source) {
    if (source == &shownCanvas) focused = 1;
    return 0;
}

int rg_DrenvikAnNiu1::OnFocusLost(CVolObject* source) {
    if (source == &shownCanvas) focused = 0;
    return 0;
}

int rg_DrenvikAnNiu1::OnKeyDown(CVolObject* source, int key, int modifiers) {
    if (source == &shownCanvas) KeyPressed.Raise(this, key, modifiers);
    return 0;
}

void rg_DrenvikAnNiu1::OnTimerTick(CVolObject*) { OnHoverTimer(); }

// ---- the check box -----------------------------------------------------------------------------------

rg_DrenvikXuanZhongKuang1::rg_DrenvikXuanZhongKuang1() {
    checkMode = 1;
    for (int i = 0; i < 4; ++i) {
        faceColors[i] = kButtonColorBack;
        borderColors[i] = kButtonColorBack;
    }
    markStyle = 2;
    centerContent = 0;
    margin = 0;
}

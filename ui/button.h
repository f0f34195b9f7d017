// The owner-drawn button and the check box (the same class with other defaults).
//
// Every picture is drawn on the hidden drawCanvas and copied in one piece to shownCanvas, which
// takes the mouse and the keyboard. Clicked is raised when the left button goes DOWN (after
// CheckToggled, which may veto it), not when it comes up. Hovering is tracked with a 50 ms timer that
// polls the cursor, so leaving is noticed even without a mouse-leave message.
//
// Using it from a form:
//   VOL_BIND(runButton.Clicked, &MainWindow::OnRunClicked);   // in BindEvents, before creation
//   runButton.SetCaption(L"运行");  runButton.SetBaseColor(0x808000);  runButton.SetFontText(...);
//   CreateChild(runButton, x, y, w, h);
//   runButton.SetCaption(caption + L"执行中");  // repaints on screen at once, even before a blocking call
// Icons: put SVG bytes into iconSources[0..3] (normal, hover, pressed, disabled), e.g. with
// CVolAppInstance::LoadResourceData(b.iconSources[0], id, CVolAppInstance::kResourceRcData), and call
// RefreshIcons, or SetIcon(bytes, b.normalIcon) for one; iconWidth/iconHeight give the logical size
// (0: the caption's line height). Disabled: state = kButtonDisabled, then Paint().
#pragma once
#include <cstdint>
#include <vector>

#include "platform/components.h"
#include "platform/painter.h"
#include "platform/picture.h"
#include "platform/window.h"
#include "ui/button_look.h"

class rg_DrenvikAnNiu1;

// A group of round-marked buttons of which one is checked: a press checks its button, unchecks the
// others and raises Chosen (source: the pressed button; argument: its index in `buttons`).
class ButtonRadioGroup {
public:
    std::vector<rg_DrenvikAnNiu1*> buttons;
    VolEventBinding<int> Chosen;
};

// The four SVG sources of the icons: normal, hover, pressed, disabled.
struct ButtonIconSources {
    CVolMem blocks[4];
    CVolMem& operator[](int i) noexcept { return blocks[i & 3]; }
    const CVolMem& operator[](int i) const noexcept { return blocks[i & 3]; }
};

// Member kinds of the button: colour tables and icon sources compare by value and stream entry by
// entry; the radio group is a reference (4 bytes in a stream, never trusted when read back).
template <> struct VolMember<ButtonColorTable> {
    static bool Equal(const ButtonColorTable& a, const ButtonColorTable& b) { return a == b; }
    static void Copy(ButtonColorTable& d, const ButtonColorTable& s) { d = s; }
    static void Save(VolDataStream* s, const ButtonColorTable& v) { for (int32_t c : v.entries) s->WriteValue(c); }
    static void Load(VolDataStream* s, ButtonColorTable& v) { for (int32_t& c : v.entries) s->ReadValue(c); }
};
template <> struct VolMember<ButtonIconSources> {
    static bool Equal(const ButtonIconSources& a, const ButtonIconSources& b) {
        for (int i = 0; i < 4; ++i)
            if (!(a[i] == b[i])) return false;
        return true;
    }
    static void Copy(ButtonIconSources& d, const ButtonIconSources& s) { d = s; }
    static void Save(VolDataStream* s, const ButtonIconSources& v) {
        for (const CVolMem& m : v.blocks) s->WriteBlock(m.GetPtr(), m.GetSize());
    }
    static void Load(VolDataStream* s, ButtonIconSources& v) { for (CVolMem& m : v.blocks) s->ReadBlock(m); }
};
template <> struct VolMember<ButtonRadioGroup*> {
    static bool Equal(ButtonRadioGroup* a, ButtonRadioGroup* b) { return a == b; }
    static void Copy(ButtonRadioGroup*& d, ButtonRadioGroup* s) { d = s; }
    static void Save(VolDataStream* s, ButtonRadioGroup* v) { s->WriteValue(int32_t(uintptr_t(v))); }
    static void Load(VolDataStream* s, ButtonRadioGroup*& v) {
        int32_t ignored;
        if (s->ReadValue(ignored)) v = nullptr;
    }
};

// An embedded object that takes part in copying and streaming but not in comparison (the children
// and the bitmaps of the button).
template <class T> struct ButtonUncompared {
    T* object;
};
template <class T> struct VolMember<ButtonUncompared<T>> {
    using Plain = std::remove_const_t<T>;
    static bool Equal(const ButtonUncompared<T>&, const ButtonUncompared<T>&) { return true; }
    template <class S> static void Copy(const ButtonUncompared<T>& d, const S& s) {
        VolMember<Plain>::Copy(*d.object, *s.object);
    }
    static void Save(VolDataStream* s, const ButtonUncompared<T>& v) { VolMember<Plain>::Save(s, *v.object); }
    static void Load(VolDataStream* s, const ButtonUncompared<T>& v) { VolMember<Plain>::Load(s, *v.object); }
};
template <class T> ButtonUncompared<T> UncomparedPart(T& object) { return {&object}; }
// A member list whose entries are references, or ButtonUncompared values.
template <class... A> std::tuple<A...> TieButtonMembers(A&&... a) { return std::tuple<A...>(std::forward<A>(a)...); }

class rg_DrenvikAnNiu1 : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_DrenvikAnNiu1, rg_ZuJianBuJuQi, "ui::rg_DrenvikAnNiu1")

    // The protocol's member list, as VOL_MEMBERS would give it, but with the children and the
    // bitmaps left out of comparisons.
#define KV_BUTTON_MEMBERS                                                                                      \
    noTabStop, checkMode, progressColor, UncomparedPart(drawCanvas), UncomparedPart(hoverTimer),              \
        UncomparedPart(shownCanvas), state, tooltipText, centerContent, fontText, multiLine, roundMarks,       \
        markStyle, checked, spareFlag, hoverIconTransform, hoverIconBrightness, paintEnabled, progress,        \
        iconByChecked, iconDrawWidth, iconDrawHeight, shown, pressSeen, radioGroup, focused, pressTime,        \
        enterX, enterY, enterScreenX, enterScreenY, hoverDelay, restStart, restPosition, mouseInside,          \
        stretchIcon, iconGap, margin, centerLines, iconTransparentColor, backColor, iconHeight, iconWidth,     \
        iconBackground, lineHeight, iconSources, UncomparedPart(normalIcon), UncomparedPart(hoverIcon),        \
        UncomparedPart(pressedIcon), UncomparedPart(disabledIcon), textColors, faceColors, borderColors
    auto VolTie() { return TieButtonMembers(KV_BUTTON_MEMBERS); }
    auto VolTie() const { return TieButtonMembers(KV_BUTTON_MEMBERS); }
#undef KV_BUTTON_MEMBERS

public:
    rg_DrenvikAnNiu1();
    ~rg_DrenvikAnNiu1() override;
    rg_DrenvikAnNiu1(const rg_DrenvikAnNiu1&) = delete;

    int GetDesignWidth() const override { return ScaleDesignValue(500); }
    int GetDesignHeight() const override { return ScaleDesignValue(350); }
    void BindEvents() override;
    void CreateChildren() override;

    // ---- caption, font, tool tip, colours ----
    // The caption lives in drawCanvas's caption text; a line feed makes it multi-line ("\r\n" splits).
    void SetCaption(std::wstring_view text);
    const CWString& GetCaption() const noexcept { return drawCanvas.caption; }
    void SetFontText(std::wstring_view text);
    void ApplyFont(const CWString& text, bool noPaint, bool forceIcons);
    void SetTooltip(std::wstring_view text);
    const CWString& GetTooltip() const noexcept { return tooltipText; }
    // Faces, borders and the caption from one colour; repaints.
    void SetBaseColor(int color);
    void ApplyBaseColor(int color);

    // ---- painting and icons ----
    void Paint();
    void DrawCheckMark(int x, int y, int size, int checkedFlag, int hover);
    // Renders SVG bytes into one of the four icon bitmaps (at iconWidth x iconHeight, or the line
    // height); bytes that are no SVG leave the bitmap empty.
    void SetIcon(const CVolMem& source, rg_WeiTuDuiXiangLei& target, bool noPaint = false);
    void RefreshIcons(bool noPaint);
    // normalIcon from the program's RCDATA resource of picture bytes (PNG, BMP, ...).
    void SetIconFromResource(int resourceId);
    // The normal icon from the program's RCDATA SVG resource, kept as its source and rendered at a
    // logical size (the height only when none was set); re-rendered at once when the window exists.
    void SetSvgIconFromResource(int resourceId, int width, int height);

    // ---- raising ----
    int RaiseMouseMove(int x, int y, int modifiers) { return MouseMoved.Raise(this, x, y, modifiers); }
    int RaiseHover() { return HoverStarted.Raise(this); }

    // ---- input, also driven directly by tests ----
    void OnMousePress(int arg);    // 0 a left press, -1 a synthesised right-button release
    void OnMouseRelease(int arg);  // 0 the left button, -1 the right
    void OnMouseMove(int x, int y, int modifiers);
    void OnHoverTimer();

    // ---- members, in the order of the object protocol ----
    int32_t noTabStop = 0;
    int32_t checkMode = 0;
    int32_t progressColor = 0xFFFFFF;
    rg_painter drawCanvas;   // child 101, hidden
    rg_timer hoverTimer;     // child 102
    rg_painter shownCanvas;  // child 103
    int32_t state = kButtonNormal;
    CWString tooltipText;
    int32_t centerContent = 1;
    CWString fontText;
    int32_t multiLine = 0;
    int32_t roundMarks = 0;
    int32_t markStyle = 0;  // 0 icons; 1 mark as high as the control less the gap; 2 as the caption
    int32_t checked = 0;
    int32_t spareFlag = 0;
    int32_t hoverIconTransform = 0;
    int32_t hoverIconBrightness = 0;
    int32_t paintEnabled = 1;
    int32_t progress = 0;
    int32_t iconByChecked = 0;
    int32_t iconDrawWidth = 0;
    int32_t iconDrawHeight = 0;
    int32_t shown = 0;
    int32_t pressSeen = 0;
    ButtonRadioGroup* radioGroup = nullptr;
    int32_t focused = 0;
    int64_t pressTime = 0;
    int32_t enterX = 0;
    int32_t enterY = 0;
    int32_t enterScreenX = 0;
    int32_t enterScreenY = 0;
    int32_t hoverDelay = 0;
    int64_t restStart = -1;
    int32_t restPosition = 0;
    int32_t mouseInside = 0;
    int32_t stretchIcon = 0;
    int32_t iconGap = 5;
    int32_t margin = 5;
    int32_t centerLines = 1;
    int32_t iconTransparentColor = 0;
    int32_t backColor = kButtonColorSystemFace;
    int32_t iconHeight = 0;
    int32_t iconWidth = 0;
    int32_t iconBackground = 0;
    int32_t lineHeight = 0;
    ButtonIconSources iconSources;
    rg_WeiTuDuiXiangLei normalIcon, hoverIcon;
    rg_WeiTuDuiXiangLei pressedIcon, disabledIcon;
    ButtonColorTable textColors{{0, 0x0000FF, kButtonColorUseNormal, 0xC0C0C0}};
    ButtonColorTable faceColors{{0xECECEC, 0xFBF1E5, 0xFBF1E5, kButtonColorUseNormal}};
    ButtonColorTable borderColors{{0xC0C0C0, 0xDB8417, kButtonColorUseNormal, kButtonColorUseNormal}};

    // ---- events, in this order; each handler gets (owner, this button, extra) and the arguments ----
    VolEventBinding<int, int, int> MouseMoved;  // x, y, modifier bits
    VolEventBinding<> Clicked;                  // on the left press
    VolEventBinding<> DoubleClicked;
    VolEventBinding<> RightClicked;             // on the right release
    VolEventBinding<> CheckToggled;             // 1 undoes the flip and cancels the press
    VolEventBinding<> HoverStarted;
    VolEventBinding<> MouseLeft;
    VolEventBinding<int, int> KeyPressed;       // key code, modifier bits
    VolEventBinding<> Released;                 // the left button went up over an enabled button

private:
    // Host and canvas handlers; all return 0 so the canvases go on to their default handling.
    void OnShown(CVolObject*);
    void OnResized(CVolObject*);
    void OnCreated(CVolObject*);
    int OnLeftDown(CVolObject*, int, int, int);
    int OnLeftUp(CVolObject*, int, int, int);
    int OnLeftDoubleClick(CVolObject*, int, int, int);
    int OnRightDown(CVolObject*, int, int, int);
    int OnRightUp(CVolObject*, int, int, int);
    int OnCanvasMouseMove(CVolObject* source, int x, int y, int modifiers);
    int OnFocusGained(CVolObject* source);
    int OnFocusLost(CVolObject* source);
    int OnKeyDown(CVolObject* source, int key, int modifiers);
    void OnTimerTick(CVolObject*);

    void MeasureLineHeight();
    void CheckInRadioGroup();
    // The bitmap for an icon state, deriving the hover icon when it is missing.
    const rg_WeiTuDuiXiangLei& ChooseIcon(int iconState);

    bool hoverDerived_ = false;  // hoverIcon was derived from normalIcon, not rendered from a source
};

// The check box: a button with check-box defaults.
class rg_DrenvikXuanZhongKuang1 : public rg_DrenvikAnNiu1 {
    VOL_CLASS(rg_DrenvikXuanZhongKuang1, rg_DrenvikAnNiu1, "ui::rg_DrenvikXuanZhongKuang1")
    VOL_MEMBERS()

public:
    rg_DrenvikXuanZhongKuang1();
    ~rg_DrenvikXuanZhongKuang1() override = default;
};

// Round check marks, shared by every button of the process: four bitmaps (the RCDATA SVGs 516-519:
// off, off under the mouse, on, on under the mouse) per mark size, rendered at the size's first use.
extern CVolObjectArray gCheckMarkBitmaps;
// By mark size in pixels: 0 while not rendered, else 1 + the index of the size's first bitmap.
inline constexpr int kCheckMarkIndexSize = 1000;
extern int32_t gCheckMarkIndex[kCheckMarkIndexSize];
inline constexpr int32_t kCheckMarkResourceFirst = 516;

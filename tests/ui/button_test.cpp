// Buttons and check boxes in a real (hidden) form: events from window messages, hover through the
// timer, and colours read back from the painted buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/app_instance.h"
#include "platform/dpi.h"
#include "platform/input.h"
#include "platform/system.h"
#include "support/ui_helpers.h"
#include "ui/button.h"
#include "ui/control_foundation.h"

namespace {

// A picture of a 16 x 16 icon: red top half, blue bottom half.
const char kTwoToneIcon[] =
    "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 16 16'>"
    "<rect x='0' y='0' width='16' height='8' fill='#ff0000'/>"
    "<rect x='0' y='8' width='16' height='8' fill='#0000ff'/></svg>";

POINT gCursor{0, 0};
POINT FakeCursor() { return gCursor; }
uint64_t gNow = 0;
uint64_t FakeTicks() { return gNow; }

class ButtonForm : public CVolWinForm {
    VOL_CLASS(ButtonForm, CVolWinForm, "test::ButtonForm")
    VOL_MEMBERS()

public:
    ButtonForm() { SetVisible(false); }
    ~ButtonForm() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    int GetDesignWidth() const override { return 300; }
    int GetDesignHeight() const override { return 200; }
    void BindEvents() override {
        CVolWinForm::BindEvents();
        VOL_BIND(button.Clicked, &ButtonForm::OnClicked);
        VOL_BIND(button.CheckToggled, &ButtonForm::OnToggled);
        VOL_BIND(button.DoubleClicked, &ButtonForm::OnDoubleClicked);
        VOL_BIND(button.RightClicked, &ButtonForm::OnRightClicked);
        VOL_BIND(button.HoverStarted, &ButtonForm::OnHover);
        VOL_BIND(button.MouseLeft, &ButtonForm::OnLeft);
        VOL_BIND(button.KeyPressed, &ButtonForm::OnKey);
        VOL_BIND(button.MouseMoved, &ButtonForm::OnMoved);
    }
    void CreateChildren() override {
        button.SetCaption(L"运行");
        CreateChild(button, 10, 10, 120, 40);
        CreateChild(box, 10, 60, 160, 30);
    }
    void OnClicked(CVolObject*) { events.push_back("clicked"); }
    int OnToggled(CVolObject*) {
        events.push_back("toggled");
        return vetoToggle ? 1 : 0;
    }
    void OnDoubleClicked(CVolObject*) { events.push_back("double"); }
    void OnRightClicked(CVolObject*) { events.push_back("right"); }
    void OnHover(CVolObject*) { events.push_back("hover"); }
    void OnLeft(CVolObject*) { events.push_back("left"); }
    void OnKey(CVolObject*, int key, int) { events.push_back("key " + std::to_string(key)); }
    void OnMoved(CVolObject*, int, int, int) { ++moves; }

    rg_DrenvikAnNiu1 button;
    rg_DrenvikXuanZhongKuang1 box;
    std::vector<std::string> events;
    bool vetoToggle = false;
    int moves = 0;
};

using Events = std::vector<std::string>;

class Buttons : public ::testing::Test {
protected:
    void SetUp() override {
        SetDpiFactorsForTest(1.0);
        ASSERT_TRUE(icons.Loaded()) << "svg_icons.dll beside the test";
        ASSERT_TRUE(form.LoadWindow());
        shownHwnd = form.button.shownCanvas.GetHwnd();
        ASSERT_TRUE(shownHwnd);
    }
    void TearDown() override {
        SetCursorSourceForTest(nullptr);
        SetTickSourceForTest(nullptr);
    }
    void Send(UINT message, int x = 10, int y = 10, WPARAM w = 0) {
        ::SendMessageW(shownHwnd, message, w, MAKELPARAM(x, y));
    }
    static COLORREF Pixel(rg_painter& board, int x, int y) { return ::GetPixel(board.GetBufferDC(), x, y); }
    // Whether any pixel of the rectangle is strongly of the colour (text is anti-aliased).
    static bool HasColourNear(rg_painter& board, RECT r, COLORREF c, int tolerance) {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                COLORREF p = Pixel(board, x, y);
                if (std::abs(int(GetRValue(p)) - int(GetRValue(c))) <= tolerance &&
                    std::abs(int(GetGValue(p)) - int(GetGValue(c))) <= tolerance &&
                    std::abs(int(GetBValue(p)) - int(GetBValue(c))) <= tolerance)
                    return true;
            }
        return false;
    }

    ScopedIconResources icons;  // before the form: it outlives the form's icons
    ButtonForm form;
    HWND shownHwnd = nullptr;
};

}  // namespace

TEST_F(Buttons, ChildrenAndFirstPaint) {
    rg_DrenvikAnNiu1& b = form.button;
    EXPECT_EQ(b.drawCanvas.GetControlId(), 101);
    EXPECT_EQ(b.hoverTimer.GetControlId(), 102);
    EXPECT_EQ(b.shownCanvas.GetControlId(), 103);
    EXPECT_FALSE(b.drawCanvas.IsVisible());
    EXPECT_TRUE(b.shownCanvas.GetStyle() & WS_TABSTOP);
    EXPECT_EQ(b.shown, 1);
    EXPECT_GT(b.lineHeight, 0);
    EXPECT_EQ(b.shownCanvas.GetClientWidth(), 120);
    EXPECT_EQ(b.drawCanvas.GetClientHeight(), 40);
    b.SetTooltip(L"刷新模型列表");
    EXPECT_EQ(b.GetTooltip(), L"刷新模型列表");
    EXPECT_EQ(b.shownCanvas.GetWindowObject().tipText, L"刷新模型列表");
}

TEST_F(Buttons, LeftPressTogglesThenClicksWhileDown) {
    rg_DrenvikAnNiu1& b = form.button;
    Send(WM_LBUTTONDOWN);
    EXPECT_EQ(form.events, (Events{"toggled", "clicked"}));
    EXPECT_EQ(b.state, kButtonPressed);
    EXPECT_EQ(b.checked, 1);  // buttons flip it too
    Send(WM_LBUTTONUP);
    EXPECT_EQ(form.events.size(), 2u);  // the release only shows the hover look
    EXPECT_EQ(b.state, kButtonHover);
    EXPECT_EQ(b.pressSeen, 0);
}

TEST_F(Buttons, VetoedToggleKeepsStateAndCancelsClick) {
    form.vetoToggle = true;
    Send(WM_LBUTTONDOWN);
    EXPECT_EQ(form.events, (Events{"toggled"}));
    EXPECT_EQ(form.button.checked, 0);
    EXPECT_EQ(form.button.state, kButtonNormal);
}

TEST_F(Buttons, RightClickNeverClicksOrToggles) {
    rg_DrenvikAnNiu1& b = form.button;
    Send(WM_RBUTTONDOWN);
    EXPECT_EQ(b.state, kButtonPressed);
    EXPECT_EQ(Pixel(b.shownCanvas, 5, 20), 0xFBF1E5u);  // the pressed look is on screen
    Send(WM_RBUTTONUP);
    EXPECT_EQ(form.events, (Events{"right"}));
    EXPECT_EQ(b.checked, 0);
    EXPECT_EQ(b.state, kButtonHover);
}

TEST_F(Buttons, DoubleClickWithFocusClicksTwice) {
    ::SendMessageW(shownHwnd, WM_SETFOCUS, 0, 0);
    ASSERT_EQ(form.button.focused, 1);
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    Send(WM_LBUTTONDBLCLK);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(form.events, (Events{"toggled", "clicked", "double", "toggled", "clicked"}));
    EXPECT_EQ(form.button.checked, 0);

    // Without the focus the release after a double-click is only a release.
    ::SendMessageW(shownHwnd, WM_KILLFOCUS, 0, 0);
    form.events.clear();
    Send(WM_LBUTTONDBLCLK);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(form.events, (Events{"double"}));
}

TEST_F(Buttons, DisabledRaisesOnlyKeys) {
    rg_DrenvikAnNiu1& b = form.button;
    b.state = kButtonDisabled;
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    Send(WM_LBUTTONDBLCLK);
    Send(WM_RBUTTONDOWN);
    Send(WM_RBUTTONUP);
    Send(WM_MOUSEMOVE);
    EXPECT_TRUE(form.events.empty());
    EXPECT_EQ(form.moves, 0);
    EXPECT_EQ(b.state, kButtonDisabled);
    EXPECT_EQ(b.hoverTimer.GetInterval(), 0);
    ::SendMessageW(shownHwnd, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(form.events, (Events{"key 13"}));
}

TEST_F(Buttons, HoverThenLeaveThroughTheTimer) {
    rg_DrenvikAnNiu1& b = form.button;
    gCursor = {500, 400};  // the screen position that goes with client (10, 10)
    SetCursorSourceForTest(&FakeCursor);
    Send(WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(form.events, (Events{"hover"}));
    EXPECT_EQ(form.moves, 1);
    EXPECT_EQ(b.state, kButtonHover);
    EXPECT_EQ(b.hoverTimer.GetInterval(), 50);
    PumpMessagesFor(120);  // the cursor stays inside (on the far edge still counts)
    gCursor = {500 + 110, 400 + 30};
    PumpMessagesFor(120);
    EXPECT_EQ(b.state, kButtonHover);
    EXPECT_EQ(form.events.size(), 1u);

    Send(WM_LBUTTONDOWN);  // leaving while pressed also returns to normal
    form.events.clear();
    gCursor = {500 + 111, 400};
    ASSERT_TRUE(PumpUntil([&] { return !form.events.empty(); }, 2000));
    EXPECT_EQ(form.events, (Events{"left"}));
    EXPECT_EQ(b.state, kButtonNormal);
    EXPECT_EQ(b.mouseInside, 0);
    EXPECT_EQ(b.hoverTimer.GetInterval(), 0);
    EXPECT_EQ(Pixel(b.shownCanvas, 5, 20), 0xECECECu);
}

TEST_F(Buttons, HoverDelayWaitsForTheCursorToRest) {
    rg_DrenvikAnNiu1& b = form.button;
    b.hoverDelay = 500;
    SetTickSourceForTest(&FakeTicks);
    SetCursorSourceForTest(&FakeCursor);
    struct Step {
        uint64_t now;
        int x;
        size_t hovers;
    } steps[] = {
        {1000, 10, 0},  // enters: hover look, no event yet
        {1100, 10, 0},  // comes to rest here
        {1600, 10, 0},  // 500 ms is not more than the delay
        {1650, 12, 0},  // moved: rests anew
        {2151, 12, 1},  // rested long enough
        {3000, 12, 1},  // once only
    };
    for (const Step& s : steps) {
        gNow = s.now;
        Send(WM_MOUSEMOVE, s.x, 10);
        EXPECT_EQ(form.events.size(), s.hovers) << s.now;
    }
    EXPECT_EQ(b.restStart, -1);
}

TEST_F(Buttons, PaintedColoursOfDefaultAndHover) {
    rg_DrenvikAnNiu1& b = form.button;
    const RECT captionArea{30, 8, 90, 32};
    EXPECT_EQ(Pixel(b.shownCanvas, 5, 20), 0xECECECu);  // face
    EXPECT_EQ(Pixel(b.shownCanvas, 0, 0), 0xC0C0C0u);   // border
    EXPECT_EQ(Pixel(b.shownCanvas, 119, 39), 0xC0C0C0u);
    EXPECT_TRUE(HasColourNear(b.shownCanvas, captionArea, 0x000000, 40));
    Send(WM_MOUSEMOVE);
    EXPECT_EQ(Pixel(b.shownCanvas, 5, 20), 0xFBF1E5u);
    EXPECT_EQ(Pixel(b.shownCanvas, 0, 0), 0xDB8417u);
    EXPECT_TRUE(HasColourNear(b.shownCanvas, captionArea, 0x0000FF, 60));
    EXPECT_FALSE(HasColourNear(b.shownCanvas, captionArea, 0x000000, 40));
    b.state = kButtonDisabled;
    b.Paint();
    EXPECT_EQ(Pixel(b.shownCanvas, 5, 20), 0xECECECu);
    EXPECT_TRUE(HasColourNear(b.shownCanvas, captionArea, 0xC0C0C0, 20));
}

TEST_F(Buttons, SetCaptionRepaintsAtOnce) {
    rg_DrenvikAnNiu1& b = form.button;
    const RECT wide{5, 5, 115, 35};
    b.SetCaption(L"");
    EXPECT_FALSE(HasColourNear(b.shownCanvas, wide, 0x000000, 40));
    b.SetCaption(L"运行执行中");
    EXPECT_TRUE(HasColourNear(b.shownCanvas, wide, 0x000000, 40));
    EXPECT_EQ(b.GetCaption(), L"运行执行中");
}

TEST_F(Buttons, ProgressBarFillsItsShare) {
    rg_DrenvikAnNiu1& b = form.button;
    b.Move(kVolDefaultValue, kVolDefaultValue, 102, 40);
    b.SetCaption(L"");
    b.progressColor = 0x00C000;
    b.progress = 50;
    b.Paint();
    EXPECT_EQ(Pixel(b.shownCanvas, 1, 20), 0x00C000u);
    EXPECT_EQ(Pixel(b.shownCanvas, 50, 20), 0x00C000u);
    EXPECT_EQ(Pixel(b.shownCanvas, 51, 20), 0xECECECu);
    EXPECT_EQ(Pixel(b.shownCanvas, 0, 20), 0xC0C0C0u);  // the border stays
}

TEST_F(Buttons, CheckedCheckBoxShowsItsInnerSquare) {
    rg_DrenvikXuanZhongKuang1& box = form.box;
    box.SetCaption(L"自动刷新");
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(Pixel(box.shownCanvas, 100, 2), face);
    const int B = MeasureTextHeight(box.drawCanvas, box.GetCaption(), box.fontText);  // as high as the caption
    const int y = (30 - B) / 2;
    EXPECT_EQ(Pixel(box.shownCanvas, 0, y), 0xAD9EB1u);        // grey outline
    EXPECT_EQ(Pixel(box.shownCanvas, 1, y + 1), 0xFFFFFFu);    // white inside
    ::SendMessageW(box.shownCanvas.GetHwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
    ::SendMessageW(box.shownCanvas.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(box.checked, 1);
    EXPECT_EQ(Pixel(box.shownCanvas, 0, y), 0x6666FFu);        // hovered: red outline
    EXPECT_EQ(Pixel(box.shownCanvas, 1, y + 1), 0xFFFFFFu);    // white ring, 2 pixels at 100 %
    EXPECT_EQ(Pixel(box.shownCanvas, 2, y + 2), face);         // the inset is outlined in the face
    EXPECT_EQ(Pixel(box.shownCanvas, B / 2, y + B / 2), 0x6666FFu);
}

TEST_F(Buttons, RoundMarksRenderOncePerSizeAndStayInsideTheTable) {
    rg_DrenvikXuanZhongKuang1& box = form.box;
    box.roundMarks = 1;
    box.markStyle = 1;  // as high as the control less the gap: 30 - 5
    box.checked = 1;
    box.Paint();
    ASSERT_GT(gCheckMarkIndex[25], 0);
    EXPECT_GE(gCheckMarkBitmaps.GetCount(), gCheckMarkIndex[25] - 1 + 4);
    const int y = (30 - 25) / 2;
    COLORREF dot = Pixel(box.shownCanvas, 12, y + 12);
    EXPECT_GT(int(GetRValue(dot)), 180);
    EXPECT_LT(int(GetGValue(dot)), 120);
    const int count = gCheckMarkBitmaps.GetCount();
    box.Paint();
    EXPECT_EQ(gCheckMarkBitmaps.GetCount(), count);

    // Sizes outside the table: nothing for 0 and below, an uncached mark for 1000 and above.
    for (int size : {0, -7, 1000}) box.DrawCheckMark(0, 0, size, 1, 0);
    EXPECT_EQ(gCheckMarkBitmaps.GetCount(), count);
    box.drawCanvas.SetBackColor(0xFFFFFF);
    box.DrawCheckMark(-490, -490, 1000, 1, 0);  // the red dot's middle lands on (10, 10)
    COLORREF big = Pixel(box.drawCanvas, 10, 10);
    EXPECT_GT(int(GetRValue(big)), 180);
    EXPECT_LT(int(GetGValue(big)), 120);
    box.markStyle = 1;
    box.iconGap = 40;  // a mark size below 1
    box.Paint();
    EXPECT_EQ(gCheckMarkBitmaps.GetCount(), count);
}

TEST_F(Buttons, IconPlacedAndHoverIconDerived) {
    rg_DrenvikAnNiu1& b = form.button;
    b.Move(kVolDefaultValue, kVolDefaultValue, 200, 40);
    b.iconWidth = b.iconHeight = 16;
    b.iconSources[0] = CVolMem(std::string_view(kTwoToneIcon));
    b.hoverIconTransform = 2;
    b.RefreshIcons(false);
    int w = 0, h = 0;
    ASSERT_TRUE(b.normalIcon.GetSize(w, h));
    EXPECT_EQ(w, 16);
    EXPECT_TRUE(b.hoverIcon.IsEmpty());
    // The icon sits left of the caption, the pair centred: x = (200 - 5 - caption - 16) / 2.
    CWString font = b.fontText;
    const int captionW = MeasureTextWidth(b.drawCanvas, b.GetCaption(), font);
    const int x = (200 - 5 - captionW - 16) / 2, y = (40 - 16) / 2;
    EXPECT_EQ(Pixel(b.shownCanvas, x + 8, y + 2), 0x0000FFu);  // red on top
    EXPECT_EQ(Pixel(b.shownCanvas, x + 8, y + 13), 0xFF0000u);
    EXPECT_EQ(Pixel(b.shownCanvas, x - 1, y + 2), 0xECECECu);

    Send(WM_MOUSEMOVE);  // upside down under the mouse, and kept for later
    EXPECT_EQ(Pixel(b.shownCanvas, x + 8, y + 2), 0xFF0000u);
    EXPECT_EQ(Pixel(b.shownCanvas, x + 8, y + 13), 0x0000FFu);
    ASSERT_FALSE(b.hoverIcon.IsEmpty());
    HBITMAP derived = b.hoverIcon.GetHandle();
    b.Paint();
    EXPECT_EQ(b.hoverIcon.GetHandle(), derived);

    b.state = kButtonNormal;
    b.SetIcon(b.iconSources[0], b.normalIcon);  // a new normal icon drops the derived one
    EXPECT_TRUE(b.hoverIcon.IsEmpty());

    CVolMem notSvg(std::string_view("not an svg"));
    b.SetIcon(notSvg, b.normalIcon);
    EXPECT_TRUE(b.normalIcon.IsEmpty());
    b.SetIcon(b.iconSources[0], b.normalIcon);
    b.SetIconFromResource(999);  // no such picture: no icon, the caption starts at the margin
    EXPECT_TRUE(b.normalIcon.IsEmpty());
}

TEST_F(Buttons, MultiLineCaptionCentresEachLine) {
    rg_DrenvikAnNiu1& b = form.button;
    b.Move(kVolDefaultValue, kVolDefaultValue, 120, 50);
    b.SetCaption(L"a\r\nbb");
    const int h = MeasureTextHeight(b.drawCanvas, L"a", b.fontText);
    const int top = (50 - (2 * h + 1)) / 2;
    // Leftmost dark pixel of a band of rows.
    auto leftmost = [&](int y0, int y1) {
        for (int x = 1; x < 119; ++x)
            for (int y = y0; y < y1; ++y)
                if (GetGValue(Pixel(b.shownCanvas, x, y)) < 128) return x;
        return -1;
    };
    int a = leftmost(top, top + h), bb = leftmost(top + h + 1, top + 2 * h + 1);
    ASSERT_GT(a, 0);
    ASSERT_GT(bb, 0);
    EXPECT_GT(a, bb + 2);  // the short line sits in the middle of the long one
    b.centerLines = 0;
    b.Paint();
    a = leftmost(top, top + h);
    bb = leftmost(top + h + 1, top + 2 * h + 1);
    EXPECT_LE(std::abs(a - bb), 1);
}

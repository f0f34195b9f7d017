// The colour picker: its grid and placement arithmetic, the boxes that follow one another, pasting
// and copying colour texts, the mouse on the grid, the cache of drawn grids, and the modal answer.
#include <gtest/gtest.h>

#include "platform/dpi.h"
#include "platform/shell.h"
#include "support/ui_helpers.h"
#include "ui/colour_picker.h"
#include "ui/control_foundation.h"
#include "util/text_helpers.h"
#include "ui_test_support.h"

namespace {

// ---- the arithmetic -------------------------------------------------------------------------------------

TEST(ColourPickerGrid, GeometryMatchesTheDrawing) {
    SpectrumGeometry g = MakeSpectrumGeometry(785, 416, 797 / 200);
    EXPECT_EQ(g.gap, 3);
    EXPECT_NEAR(g.cellWidth, 23.17, 0.01);
    EXPECT_NEAR(g.cellHeight, 10.87, 0.01);
    EXPECT_EQ(SpectrumCellLeft(g, 0), 1);
    EXPECT_EQ(SpectrumCellTop(g, 0), 1);
    EXPECT_EQ(SpectrumCellLeft(g, 1), 27);

    // Every cell's inside hits that cell; gaps hit none.
    for (int i : {0, 7, 29}) {
        for (int j : {0, 13, 29}) {
            int row, column;
            ASSERT_TRUE(SpectrumHitTest(g, SpectrumCellLeft(g, j) + 2, SpectrumCellTop(g, i) + 2, row, column));
            EXPECT_EQ(row, i);
            EXPECT_EQ(column, j);
        }
    }
    int row, column;
    EXPECT_FALSE(SpectrumHitTest(g, SpectrumCellLeft(g, 1) - 1, 5, row, column)) << "the gap before column 1";
    EXPECT_FALSE(SpectrumHitTest(g, 5000, 5, row, column));
    EXPECT_EQ(row, -1);
    // A board too small for its gaps still answers without touching anything.
    SpectrumGeometry tiny = MakeSpectrumGeometry(10, 10, 2);
    EXPECT_FALSE(SpectrumHitTest(tiny, 3, 3, row, column));
}

TEST(ColourPickerGrid, CellColours) {
    for (int j = 0; j < 30; ++j) {
        SpectrumHsl grey = SpectrumCellHsl(29, j, 240);
        EXPECT_EQ(grey.hue, 240) << "row 29 is a grey ramp";
        int c = Hsl240ToRgb(grey.hue, grey.saturation, grey.lightness);
        EXPECT_TRUE((c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == ((c >> 16) & 0xFF)) << j;
        EXPECT_EQ(SpectrumCellHsl(29 - j, j, 240).lightness, 240) << "the diagonal is white";
    }
    EXPECT_EQ(SpectrumCellHsl(0, 0, 240).lightness, 0);
    EXPECT_EQ(SpectrumCellHsl(29, 29, 240).lightness, 0);
    EXPECT_EQ(SpectrumCellHsl(28, 0, 240).hue, 231);
    EXPECT_EQ(SpectrumCellHsl(3, 4, 17).saturation, 17);
}

TEST(ColourPickerGrid, PlacementBesideTheAnchor) {
    struct Case {
        RECT anchor;
        LONG x, y;
    };
    const Case cases[] = {
        {{100, 100, 300, 124}, 100, 124},    // below, left edges aligned
        {{1500, 900, 1700, 924}, 903, 410},  // above, right edges aligned
        {{-50, 10, 20, 30}, 0, 30},          // kept on the screen
        {{1900, 1070, 2000, 1100}, 1123, 580},
    };
    for (const Case& c : cases) {
        POINT p = PlacePickerNear(c.anchor, 797, 490, 1920, 1080);
        EXPECT_EQ(p.x, c.x) << c.anchor.left;
        EXPECT_EQ(p.y, c.y) << c.anchor.left;
    }
}

TEST(ColourPickerGrid, ColourTexts) {
    EXPECT_EQ(SwapRedBlue(0x336699), 0x996633);
    EXPECT_EQ(SwapRedBlue(int(0xFF0000FF)), 0xFF0000) << "the top byte goes";
    EXPECT_EQ(DecimalTextToColour(L"16711680"), 0x0000FF);  // 0xFF0000 written red first
    EXPECT_EQ(DecimalTextToColour(L"  3368601xyz"), 0x996633);
    EXPECT_EQ(DecimalTextToColour(L"-1"), 0xFFFFFF) << "only the low three bytes";
    EXPECT_EQ(DecimalTextToColour(L""), 0);
    EXPECT_EQ(ResolvePickerColour(-1), 0xFFFFFF);
    EXPECT_EQ(ResolvePickerColour(int(0xFF000000)), int(::GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(ResolvePickerColour(0x123456), 0x123456);
}

// ---- the window, without waiting for an answer -----------------------------------------------------------

class PickerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        SetDpiFactorsForTest(1.0);
        FakeInput::Install();
        gSpectrumCache.clear();
        ASSERT_TRUE(picker.LoadWindow());
        ASSERT_TRUE(picker.IsCreated());
    }
    void TearDown() override {
        FakeInput::Reset();
        gSpectrumCache.clear();
    }
    void Start(int colour) {
        rg_ZhengShuShuZuLei none;
        picker.UpdateFields(none, colour, 0);
    }
    CWString Boxes() {
        return CWString::Concat({picker.decimalBox.GetText(), L" ", picker.hexBox.GetText(), L" ", picker.redBox.GetText(),
                                 L",", picker.greenBox.GetText(), L",", picker.blueBox.GetText(), L" ",
                                 picker.hueBox.GetText(), L",", picker.saturationBox.GetText(), L",",
                                 picker.lightnessBox.GetText()});
    }
    // The middle of a grid cell in board coordinates.
    POINT CellCentre(int row, int column) {
        SpectrumGeometry g = MakeSpectrumGeometry(picker.drawBoard.GetClientWidth(), picker.drawBoard.GetClientHeight(),
                                                  picker.cellGap);
        return POINT{SpectrumCellLeft(g, column) + int(g.cellWidth / 2), SpectrumCellTop(g, row) + int(g.cellHeight / 2)};
    }

    rg_DrenvikYanSeXuanZeChuangKouLei picker;
};

TEST_F(PickerWindow, LayoutFollowsTheClientSize) {
    EXPECT_EQ(picker.GetClientWidth(), 797);
    EXPECT_EQ(picker.cellGap, 3);
    EXPECT_EQ(picker.drawBoard.GetClientWidth(), 785);
    EXPECT_EQ(picker.drawBoard.GetClientHeight(), 416);
    EXPECT_EQ(picker.spectrumBoard.GetClientWidth(), 785);
    EXPECT_EQ(picker.statusLabel.GetLeft() + picker.statusLabel.GetWidth(), 6 + 785 - 1);
    EXPECT_EQ(picker.saturationBar.GetWidth(), picker.statusLabel.GetWidth());
    EXPECT_EQ(picker.currentHsl.size(), 3u);
    EXPECT_EQ(picker.redBox.GetControlId(), 101);
    EXPECT_EQ(picker.frameBoard.GetControlId(), 118);
    EXPECT_TRUE(picker.redBox.GetSpinHwnd() != nullptr) << "number boxes have their spin control";
    EXPECT_EQ(::SendMessageW(picker.redBox.GetSpinHwnd(), UDM_GETBUDDY, 0, 0), LRESULT(picker.redBox.GetHwnd()));
    EXPECT_TRUE(picker.hexBox.GetSpinHwnd() == nullptr);
    // The spin stops at 255 and writes its number into the box, which recomputes the colour.
    ::SendMessageW(picker.redBox.GetSpinHwnd(), UDM_SETPOS32, 0, 300);
    EXPECT_EQ(::SendMessageW(picker.redBox.GetSpinHwnd(), UDM_GETPOS32, 0, 0), 255);
    EXPECT_EQ(picker.redBox.GetText(), L"255");
    EXPECT_EQ(picker.hexBox.GetText().Left(3), L"#FF");
    EXPECT_FALSE(picker.frameBoard.GetStyle() & WS_VISIBLE);
    EXPECT_FALSE(picker.drawBoard.GetStyle() & WS_VISIBLE);
    EXPECT_TRUE(picker.spectrumBoard.GetStyle() & WS_VISIBLE);
}

TEST_F(PickerWindow, StartColoursAndTheirSpecialValues) {
    struct Case {
        int colour;
        const wchar_t* boxes;
    };
    const Case cases[] = {
        {-1, L"16777215 #FFFFFF 255,255,255 0,0,240"},
        {0x0000FF, L"16711680 #FF0000 255,0,0 0,240,120"},
        {0x996633, L"3368601 #336699 51,102,153 140,119,96"},
        {0, L"0 #000000 0,0,0 0,0,0"},
    };
    for (const Case& c : cases) {
        Start(c.colour);
        EXPECT_EQ(Boxes().ToUtf8(), CWString(c.boxes).ToUtf8()) << c.colour;
        EXPECT_EQ(picker.statusLabel.backColor, ResolvePickerColour(c.colour));
    }
    int face = int(::GetSysColor(COLOR_BTNFACE));
    Start(int(0xFF000000));
    EXPECT_EQ(picker.hexBox.GetText(), ColorToHexText(face)) << "0xFF000000 is the button face";
    // 0x80000000 takes the colour from the hue/saturation/lightness array, which stays as given.
    rg_ZhengShuShuZuLei hsl{80, 240, 120};
    picker.UpdateFields(hsl, kColourFromHsl, 0);
    EXPECT_EQ(hsl, (rg_ZhengShuShuZuLei{80, 240, 120}));
    EXPECT_EQ(picker.hexBox.GetText(), L"#00FF00");
    rg_ZhengShuShuZuLei empty;  // too short an array reads as zeros instead of running past its end
    picker.UpdateFields(empty, kColourFromHsl, 0);
    EXPECT_EQ(picker.hexBox.GetText(), L"#000000");
}

TEST_F(PickerWindow, TypingInOneBoxRecomputesTheOthers) {
    // RGB -> HSL -> RGB round trips through the boxes.
    for (int colour : {0x0000FF, 0x00FF00, 0xFF0000, 0x996633, 0x808080, 0xFFFFFF, 0x204060}) {
        Start(0);
        picker.redBox.SetText(CWString::FromInt(colour & 0xFF));
        picker.greenBox.SetText(CWString::FromInt((colour >> 8) & 0xFF));
        picker.blueBox.SetText(CWString::FromInt((colour >> 16) & 0xFF));
        EXPECT_EQ(picker.hexBox.GetText(), ColorToHexText(colour));
        rg_ZhengShuShuZuLei hsl = RgbToHsl240(colour);
        EXPECT_EQ(picker.hueBox.GetText(), CWString::FromInt(hsl[0]));
        CWString e = picker.hueBox.GetText(), s = picker.saturationBox.GetText(), l = picker.lightnessBox.GetText();
        Start(0);
        picker.hueBox.SetText(e);
        picker.saturationBox.SetText(s);
        picker.lightnessBox.SetText(l);
        int back = HexTextToColor(picker.hexBox.GetText());
        for (int shift : {0, 8, 16})  // the 0-240 scale loses a little on the way back
            EXPECT_NEAR((back >> shift) & 0xFF, (colour >> shift) & 0xFF, 4) << std::hex << colour;
        EXPECT_EQ(picker.hueBox.GetText(), e) << "the box being typed in is not rewritten";
    }

    picker.decimalBox.SetText(L"16711680");
    EXPECT_EQ(picker.redBox.GetText(), L"255");
    EXPECT_EQ(picker.blueBox.GetText(), L"0");
    picker.hexBox.SetText(L"#336699");
    EXPECT_EQ(picker.decimalBox.GetText(), L"3368601");
    picker.hexBox.SetText(L"#336699FF");  // a fourth byte is no colour
    EXPECT_EQ(picker.decimalBox.GetText(), L"3368601");
    picker.redBox.SetText(L"300");
    EXPECT_EQ(picker.redBox.GetText(), L"300") << "what was typed stays";
    EXPECT_EQ(picker.hexBox.GetText(), L"#2C6699") << "only the low byte counts: 300 is 44";
    picker.hueBox.SetText(L"99999999999999");  // far beyond the scale: a colour, not an overflow
    EXPECT_EQ(picker.hexBox.GetText().GetLength(), 7);
}

TEST_F(PickerWindow, PastingAndCopyingColourTexts) {
    struct Case {
        const wchar_t* clip;
        const wchar_t* rgb;  // red,green,blue after the paste; null: refused
    };
    const Case cases[] = {
        {L"rgb( 10 , 20 , 30 )", L"10,20,30"},
        {L"10,20,30", L"10,20,30"},
        {L"RGB(12px, 7, 8)", L"12,7,8"},
        {L"300,0,0", L"300,0,0"},
        {L"1,2", nullptr},
        {L"", nullptr},
    };
    for (const Case& c : cases) {
        Start(0x010203);
        ASSERT_TRUE(SetClipboardText(c.clip));
        picker.PasteColorText(&picker.rgbLabel);
        CWString rgb = picker.redBox.GetText() + L"," + picker.greenBox.GetText() + L"," + picker.blueBox.GetText();
        SCOPED_TRACE(CWString(c.clip).ToUtf8());
        if (c.rgb) {
            EXPECT_EQ(rgb, c.rgb);
        } else {
            EXPECT_EQ(rgb, L"3,2,1") << "nothing changes";
            EXPECT_EQ(picker.statusLabel.GetText(), L"你粘贴的RGB不合规，格式为 RGB (128,128,128)");
            picker.OnStatusTimer();
        }
    }
    Start(0);
    ASSERT_TRUE(SetClipboardText(L"300,0,0"));
    picker.PasteColorText(&picker.rgbLabel);
    EXPECT_EQ(picker.hexBox.GetText(), L"#2C0000");
    ASSERT_TRUE(SetClipboardText(L"ESL (80,240,120)"));
    picker.PasteColorText(&picker.eslLabel);
    EXPECT_EQ(picker.hexBox.GetText(), L"#00FF00");
    ASSERT_TRUE(SetClipboardText(L"#336699"));
    picker.PasteColorText(&picker.hexLabel);
    EXPECT_EQ(picker.redBox.GetText(), L"51");

    // Copying: the caption's text form, and the platform's order from a double click.
    picker.UpdateStatusText();
    CWString standing = picker.statusLabel.GetText();
    Start(0x1E140A);
    picker.CopyColorText(&picker.rgbLabel);
    EXPECT_EQ(GetClipboardText(), L"RGB (10,20,30)");
    EXPECT_EQ(picker.statusLabel.GetText(), L"已复制");
    picker.CopyColorText(&picker.eslLabel);
    rg_ZhengShuShuZuLei esl = RgbToHsl240(0x1E140A);
    EXPECT_EQ(GetClipboardText(), L"ESL (" + CWString::FromInt(esl[0]) + L"," + CWString::FromInt(esl[1]) + L"," +
                                      CWString::FromInt(esl[2]) + L")");
    picker.hexBox.SetText(L"#336699");
    picker.CopyNumericColor(&picker.hexBox);
    EXPECT_EQ(GetClipboardText(), L"0x996633");
    picker.decimalBox.SetText(L"3368601");
    picker.CopyNumericColor(&picker.decimalBox);
    EXPECT_EQ(GetClipboardText(), L"10053171");
    EXPECT_EQ(picker.statusLabel.GetText(), L"已复制火山颜色：10053171");
    // Three messages within the second: the standing text still comes back afterwards.
    EXPECT_EQ(picker.statusTimer.GetInterval(), 1000);
    picker.OnStatusTimer();
    EXPECT_EQ(picker.statusLabel.GetText(), standing);
    EXPECT_EQ(picker.statusTimer.GetInterval(), 0);
    // A clipboard held elsewhere is no copy.
    ASSERT_TRUE(::OpenClipboard(picker.statusLabel.GetHwnd()));
    picker.CopyColorText(&picker.hexLabel);
    ::CloseClipboard();
    EXPECT_EQ(picker.statusLabel.GetText(), L"复制失败");
    picker.OnStatusTimer();
    picker.CopyColorText(&picker.statusLabel);  // the status line copies nothing
    EXPECT_EQ(GetClipboardText(), L"10053171");
}

TEST_F(PickerWindow, MouseOverTheGridPinningAndSaturation) {
    Start(0);
    POINT red = CellCentre(0, 15);  // hue 0, lightness 124
    picker.DrawSpectrum(int(red.x), int(red.y));
    EXPECT_EQ(picker.litRow, 0);
    EXPECT_EQ(picker.litColumn, 15);
    SpectrumHsl hsl = SpectrumCellHsl(0, 15, 240);
    EXPECT_EQ(picker.hexBox.GetText(), ColorToHexText(Hsl240ToRgb(hsl.hue, hsl.saturation, hsl.lightness)));
    COLORREF shown = PixelAt(picker.spectrumBoard.GetPicture(), int(red.x), int(red.y));
    EXPECT_EQ(int(shown), Hsl240ToRgb(hsl.hue, hsl.saturation, hsl.lightness));

    // Ctrl held: neither the highlight nor the boxes move, and the pointed cell is none.
    FakeInput::ctrlDown = true;
    POINT other = CellCentre(10, 3);
    picker.DrawSpectrum(int(other.x), int(other.y));
    FakeInput::ctrlDown = false;
    EXPECT_EQ(picker.litColumn, 15);
    EXPECT_EQ(picker.pointedRow, -1);
    EXPECT_EQ(picker.hexBox.GetText(), ColorToHexText(Hsl240ToRgb(hsl.hue, hsl.saturation, hsl.lightness)));

    // Pinned: moving lights other cells but the boxes keep the pinned colour.
    picker.DrawSpectrum(int(red.x), int(red.y));
    CWString pinnedHex = picker.hexBox.GetText();
    picker.OnPinCell(&picker.spectrumBoard, int(red.x), int(red.y));
    EXPECT_EQ(picker.pinned, 1);
    EXPECT_EQ(picker.statusLabel.GetText(), L"当前颜色 (已钉.同色右击解钉.不同色右击再钉)");
    picker.DrawSpectrum(int(other.x), int(other.y));
    EXPECT_EQ(picker.litRow, 10);
    EXPECT_EQ(picker.hexBox.GetText(), pinnedHex);
    picker.OnPinCell(&picker.spectrumBoard, int(other.x), int(other.y));  // another colour: the pin moves
    EXPECT_EQ(picker.pinned, 1);
    EXPECT_NE(picker.hexBox.GetText(), pinnedHex);
    picker.OnPinCell(&picker.spectrumBoard, int(other.x), int(other.y));  // the same colour: unpinned
    EXPECT_EQ(picker.pinned, 0);

    picker.saturationBar.SetPosition(241);
    EXPECT_EQ(picker.gridSaturation, 0);
    EXPECT_EQ(picker.statusLabel.GetText(), L"当前颜色 (右击下面色格可钉住数值不动) 饱和度0");
    POINT cell = CellCentre(5, 3);
    COLORREF grey = PixelAt(picker.spectrumBoard.GetPicture(), int(cell.x), int(cell.y));
    EXPECT_TRUE(GetRValue(grey) == GetGValue(grey) && GetGValue(grey) == GetBValue(grey)) << std::hex << grey;
    int key = MakeLongFromWords(797, 490);
    EXPECT_EQ(gSpectrumCache.count(key), 1u);
    picker.DestroyOwnWindow();
}

TEST_F(PickerWindow, LaterOpeningsCopyTheCachedGrid) {
    int key = MakeLongFromWords(picker.GetWidth(), picker.GetHeight());
    ASSERT_EQ(gSpectrumCache.count(key), 1u) << "the first drawing is kept";
    // A marked picture in the cache shows that the next opening draws no cell.
    rg_painter marker;
    marker.Move(0, 0, 785, 416);
    marker.backColor = 0x00FF00FF;
    marker.ClearCanvas();
    gSpectrumCache[key] = marker.GetPicture();
    rg_DrenvikYanSeXuanZeChuangKouLei second;
    ASSERT_TRUE(second.LoadWindow());
    EXPECT_EQ(PixelAt(second.spectrumBoard.GetPicture(), 100, 100), COLORREF(0x00FF00FF));

    // A grid drawn at another saturation does not outlive its window.
    second.saturationBar.SetPosition(100);
    ASSERT_EQ(gSpectrumCache.count(key), 1u);
    ::DestroyWindow(second.GetHwnd());
    EXPECT_EQ(gSpectrumCache.count(key), 0u);
}

// ---- the modal answer ------------------------------------------------------------------------------------

class PickerAnswer : public ::testing::Test {
protected:
    void SetUp() override {
        SetDpiFactorsForTest(1.0);
        FakeInput::Install();
        MakeTestForm(anchor, 200, 40);
    }
    void TearDown() override { FakeInput::Reset(); }
    HiddenTestForm anchor;
};

TEST_F(PickerAnswer, EnterInABoxChoosesTheTypedColour) {
    rg_DrenvikYanSeXuanZeChuangKouLei picker;
    std::wstring shot;
    int chosen = -2;
    ASSERT_TRUE(OpenWithStep(
        [&] {
            if (!picker.IsCreated()) return false;
            EXPECT_TRUE(::IsWindowVisible(picker.GetHwnd()));
            EXPECT_EQ(picker.hexBox.GetText(), L"#336699") << "opened on the start colour";
            SpectrumGeometry g = MakeSpectrumGeometry(785, 416, 3);
            picker.DrawSpectrum(SpectrumCellLeft(g, 12) + 5, SpectrumCellTop(g, 4) + 5);  // a lit cell for the picture
            shot = SaveWindowScreenshot(picker.GetHwnd(), L"kv_colour_picker.png");
            if (!picker.IsCreated()) return false;
            picker.hexBox.SetText(L"#102030");
            ::SendMessageW(picker.hexBox.GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
            return true;
        },
        [&] { chosen = picker.ShowNear(anchor.GetHwnd(), 0x996633); }));
    EXPECT_EQ(chosen, 0x302010);
    EXPECT_FALSE(picker.IsCreated());
    EXPECT_FALSE(shot.empty());
    std::printf("screenshot: %ls\n", shot.c_str());
}

TEST_F(PickerAnswer, ClickingACellOrTheStatusLineChooses) {
    {
        rg_DrenvikYanSeXuanZeChuangKouLei picker;
        int chosen = -2;
        ASSERT_TRUE(OpenWithStep(
            [&] {
                if (!picker.IsCreated()) return false;
                SpectrumGeometry g = MakeSpectrumGeometry(785, 416, 3);
                LPARAM at = MAKELPARAM(SpectrumCellLeft(g, 15) + 5, SpectrumCellTop(g, 0) + 5);
                ::SendMessageW(picker.spectrumBoard.GetHwnd(), WM_MOUSEMOVE, 0, at);
                ::SendMessageW(picker.spectrumBoard.GetHwnd(), WM_LBUTTONUP, 0, at);
                return true;
            },
            [&] { chosen = picker.ShowNear(anchor.GetHwnd(), -1); }));
        SpectrumHsl hsl = SpectrumCellHsl(0, 15, 240);
        EXPECT_EQ(chosen, Hsl240ToRgb(hsl.hue, hsl.saturation, hsl.lightness));
    }
    {
        rg_DrenvikYanSeXuanZeChuangKouLei picker;
        int chosen = -2;
        ASSERT_TRUE(OpenWithStep(
            [&] {
                if (!picker.IsCreated()) return false;
                ::SendMessageW(picker.eslLabel.GetHwnd(), WM_LBUTTONUP, 0, 0);  // other captions choose nothing
                EXPECT_TRUE(picker.IsCreated());
                ::SendMessageW(picker.statusLabel.GetHwnd(), WM_LBUTTONUP, 0, 0);
                return true;
            },
            [&] { chosen = picker.ShowNear(anchor.GetHwnd(), int(0xFF000000)); }));
        EXPECT_EQ(chosen, int(::GetSysColor(COLOR_BTNFACE)));
    }
}

TEST_F(PickerAnswer, LosingActivationCancels) {
    rg_DrenvikYanSeXuanZeChuangKouLei picker;
    HiddenTestForm other;
    int chosen = -2;
    ASSERT_TRUE(OpenWithStep(
        [&] {
            if (!picker.IsCreated()) return false;
            EXPECT_EQ(::GetActiveWindow(), picker.GetHwnd());
            if (!other.IsCreated()) MakeTestForm(other, 100, 50);
            other.SetVisible(true);
            ::SetActiveWindow(other.GetHwnd());
            return true;
        },
        [&] { chosen = picker.ShowNear(anchor.GetHwnd(), 0x123456); }));
    EXPECT_EQ(chosen, -1);
    EXPECT_FALSE(picker.IsCreated());
}

TEST_F(PickerAnswer, ShowingAgainWhileOpenStartsOver) {
    rg_DrenvikYanSeXuanZeChuangKouLei picker;
    int inner = -2, result = -2;
    ASSERT_TRUE(OpenWithStep(
        [&] {
            if (!picker.IsCreated()) return false;
            picker.pinned = 1;
            picker.saturationBar.SetPosition(100);
            EXPECT_TRUE(OpenWithStep(
                [&] {
                    if (!picker.IsCreated()) return false;
                    EXPECT_EQ(picker.pinned, 0);
                    EXPECT_EQ(picker.gridSaturation, 240);
                    EXPECT_EQ(picker.hexBox.GetText(), L"#FF0000");
                    ::SendMessageW(picker.statusLabel.GetHwnd(), WM_LBUTTONUP, 0, 0);
                    return true;
                },
                [&] { inner = picker.ShowNear(anchor.GetHwnd(), 0x0000FF); }));
            return true;
        },
        [&] { result = picker.ShowNear(anchor.GetHwnd(), 0x00FF00); }));
    EXPECT_EQ(inner, 0x0000FF);
    EXPECT_EQ(result, 0x0000FF);
    EXPECT_FALSE(picker.IsCreated());
}

}  // namespace

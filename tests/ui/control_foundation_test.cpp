#include <gtest/gtest.h>

#include "platform/font.h"
#include "platform/seams.h"
#include "support/ui_helpers.h"
#include "ui/control_foundation.h"
#include "util/file_ui_hooks.h"

namespace {

struct DpiRestore {
    ~DpiRestore() { SetDpiFactorsForTest(1.0); }
};

}  // namespace

TEST(RuntimeScaling, TruncatesWhereDesignerRounds) {
    DpiRestore restore;
    DpiScale = 1.5;
    gRuntimeDpiFactor = 0;  // first use copies the display scale
    EXPECT_EQ(ScaleByDpi(5), 7);
    EXPECT_EQ(ScaleByDpi(1), 1);
    EXPECT_EQ(ScaleDesignValue(5), 8);
    DpiScale = 2.0;  // the run-time factor never changes afterwards
    EXPECT_EQ(ScaleByDpi(5), 7);

    DpiScale = 0.8;
    gRuntimeDpiFactor = 0;
    EXPECT_EQ(ScaleByDpi(5), 5);  // never below 1.0
}

TEST(TextMeasure, WidthDefaultsTheFontTextAndCachesBothSizes) {
    rg_painter board;
    board.SetFont(L"Arial, 10, 0, 0, 0, 0, 0");
    CWString font;
    int w = MeasureTextWidth(board, L"cache me", font);
    EXPECT_EQ(font, kDefaultFontText);
    EXPECT_GT(w, 0);

    CWString key = L"test-key, 10";
    int w1 = MeasureTextWidth(board, L"wide text", key);
    board.SetFont(L"Arial, 30, 1, 0, 0, 0, 0");  // a much larger font under the same key
    EXPECT_EQ(MeasureTextWidth(board, L"wide text", key), w1);
    int hCached = MeasureTextHeight(board, L"wide text", key);  // filled by the width miss
    CWString other = L"test-key, 30";
    EXPECT_GT(MeasureTextWidth(board, L"wide text", other), w1);
    EXPECT_GT(MeasureTextHeight(board, L"wide text", other), hCached);
    EXPECT_EQ(gTextWidthCaches.size(), gTextHeightCaches.size());
    EXPECT_EQ(size_t(gTextMeasureIndex[other]), gTextWidthCaches.size() - 1);
}

TEST(TextMeasure, MultilineCountsEmptyLinesAndGaps) {
    rg_painter board;
    board.SetFont(L"Arial, 12, 0, 0, 0, 0, 0");
    CWString font = L"multi, 12";
    rg_WenBenShuZuLei lines;
    CIntArray widths, heights;
    int total = -1;
    int widest = MeasureMultilineText(board, font, lines, widths, heights, total, 4, L"a\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], L"");
    EXPECT_EQ(widths[1], MeasureTextWidth(board, gEmptyLineSample, font));
    EXPECT_EQ(total, heights[0] + 4 + heights[1]);
    EXPECT_EQ(widest, std::max(widths[0], widths[1]));

    // An empty text measures the caller's lines; no lines give 0.
    rg_WenBenShuZuLei given{L"one", L"three"};
    CIntArray w2, h2;
    EXPECT_EQ(MeasureMultilineText(board, font, given, w2, h2, total, 0, L""),
              MeasureTextWidth(board, L"three", font));
    EXPECT_EQ(w2.size(), 2u);
    rg_WenBenShuZuLei none;
    EXPECT_EQ(MeasureMultilineText(board, font, none, w2, h2, total, 5, L""), 0);
    EXPECT_EQ(total, 0);
}

TEST(Colours, HslConversions) {
    EXPECT_EQ(RgbToHsl240(0x0000FF), (rg_ZhengShuShuZuLei{0, 240, 120}));
    EXPECT_EQ(RgbToHsl240(0x808080), (rg_ZhengShuShuZuLei{0, 0, 120}));
    EXPECT_EQ(RgbToHsl240(0x00FF00)[0], 80);  // green
    EXPECT_EQ(RgbToHsl240(0xFF0000)[0], 160);  // blue
    EXPECT_EQ(RgbToHsl240(0xFFFFFF)[2], 240);
    EXPECT_EQ(Hsl240ToRgb(160, 240, 120), 0xFF0000);
    EXPECT_EQ(Hsl240ToRgb(0, 240, 120), 0x0000FF);
    EXPECT_EQ(Hsl240ToRgb(80, 240, 120), 0x00FF00);
    EXPECT_EQ(Hsl240ToRgb(240, 240, 120), 0x7F7F7F);  // beyond the circle: grey of the lightness
    EXPECT_EQ(Hsl240ToRgb(0, 0, 0), 0);
    EXPECT_EQ(DeriveAccentColor(180, 0, 120), Hsl240ToRgb(240, 40, 30));
    EXPECT_EQ(DeriveAccentColor(180, 220, 50), Hsl240ToRgb(240, 20, 200));
    int grey = DeriveAccentColor(180, 240, 210);
    EXPECT_EQ(grey & 0xFF, (grey >> 8) & 0xFF);
    EXPECT_EQ(grey & 0xFF, (grey >> 16) & 0xFF);
}

TEST(Colours, HexTexts) {
    EXPECT_EQ(ColorToHexText(-1), L"");
    EXPECT_EQ(ColorToHexText(int(0xFF000000)), L"#000000");
    EXPECT_EQ(ColorToHexText(0x336699), L"#996633");
    struct Case { const wchar_t* text; int color; } cases[] = {
        {L"#ff8000", 0x0080FF}, {L"ff8000", 0x0080FF}, {L"#F", 0}, {L"#G0", 0xF0}, {L"#0G", 0xFF},
        {L"", 0}, {L"colour 123456", 0x563412}, {L"#11223344", 0x44332211}, {L"x#996633", 0x336699}};
    for (auto& c : cases) EXPECT_EQ(HexTextToColor(c.text), c.color) << c.text;
}

TEST(WindowHelpers, TitlesAndRectangles) {
    HiddenTestForm form;
    form.SetText(L"主窗口 [版本名称]");
    ASSERT_TRUE(form.LoadWindow());
    HWND h = form.GetHwnd();
    SetWindowTitleWithVersion(h);
    EXPECT_EQ(ReadWindowText(h), L"主窗口 1.2.0.0");
    SetWindowTitleWithVersion(h);
    EXPECT_EQ(ReadWindowText(h), L"主窗口 1.2.0.0");

    rg_painter child;
    ASSERT_EQ(child.CreateInParent(form, 7, 9, 50, 40, 101), 1);
    rg_JuXingLei client = GetWindowRectangle(child.GetHwnd(), false, true);
    EXPECT_EQ(client.left, 7);
    EXPECT_EQ(client.top, 9);
    EXPECT_EQ(client.right, 57);
    rg_JuXingLei screen = GetWindowRectangle(child.GetHwnd(), false, false);
    rg_JuXingLei parentClient = GetWindowRectangle(h, false, false);
    EXPECT_EQ(screen.left - parentClient.left, 7);
    rg_JuXingLei top = GetWindowRectangle(h, true, true);  // no parent: screen coordinates
    RECT r;
    ::GetWindowRect(h, &r);
    EXPECT_EQ(top.left, r.left);
}

TEST(WindowHelpers, TitleHints) {
    gMainForm = nullptr;
    CWString boxText, boxCaption;
    {
        ScopedSeam box(&PlatformSeams::messageBox, [&](HWND owner, const CWString& text, const CWString& caption, UINT) {
            EXPECT_EQ(owner, nullptr);
            boxText = text;
            boxCaption = caption;
            return IDOK;
        });
        SetTitleHint(L"x", L"3");
    }
    EXPECT_EQ(boxText, L"还没有设置主窗口指针，无法设置标题提示");
    EXPECT_EQ(boxCaption, L"信息:");
    HiddenTestForm form;
    form.SetText(L"T");
    ASSERT_TRUE(form.LoadWindow());
    gMainForm = &form;
    gSavedTitle.clear();
    struct Case { const wchar_t* hint; const wchar_t* seconds; const wchar_t* title; } cases[] = {
        {L"x", L"3", L"T - 等待 3 秒后，x"}, {L"x", L"0", L"T - x"}, {L"y", L" 2.5s", L"T - 等待  2.5s 秒后，y"},
        {L"z", L"abc", L"T - z"}, {L"", L"9", L"T"}};
    for (auto& c : cases) {
        SetTitleHint(c.hint, c.seconds);
        EXPECT_EQ(form.GetText(), c.title) << c.hint << " " << c.seconds;
    }
    EXPECT_EQ(gSavedTitle, L"T");

    auto saved = GetFileUiHooks().setTitleHint;
    InstallTitleHintHook();
    GetFileUiHooks().setTitleHint(L"读取中", L"");
    EXPECT_EQ(form.GetText(), L"T - 读取中");
    gMainForm = nullptr;
    GetFileUiHooks().setTitleHint(L"no box without a main form", L"");
    GetFileUiHooks().setTitleHint = saved;
}

#include <gtest/gtest.h>

#include "platform/gdiplus_session.h"
#include "screen_capture.h"
#include "ui/control_foundation.h"
#include "ui/label.h"

TEST(LabelText, LoneLineBreaksBecomeCrLf) {
    struct Case { const wchar_t* in; const wchar_t* out; } cases[] = {
        {L"", L""}, {L"a", L"a"}, {L"a\nb", L"a\r\nb"}, {L"a\rb", L"a\r\nb"}, {L"a\r\nb", L"a\r\nb"},
        {L"\n\r", L"\r\n\r\n"}, {L"\r\r\n\n", L"\r\n\r\n\r\n"}, {L"x\r", L"x\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormaliseLineBreaks(c.in), c.out);
        wchar_t* r = DeelxTool_ReplaceBegin(c.in, kLoneLineBreakPattern, L"\r\n", 0, -1, 0);
        ASSERT_NE(r, nullptr);
        EXPECT_STREQ(r, c.out);
        DeelxTool_ReplaceEnd(r);
    }
    EXPECT_EQ(DeelxTool_ReplaceBegin(nullptr, kLoneLineBreakPattern, L"\r\n", 0, -1, 0), nullptr);
    EXPECT_EQ(DeelxTool_ReplaceBegin(L"a\nb", L"\\n", L"\r\n", 0, -1, 0), nullptr);  // only the one request
    EXPECT_EQ(std::wstring_view(kLoneLineBreakPattern).size(), 18u);
}

TEST(LabelText, StripMarkupTable) {
    struct Case {
        const wchar_t* text;
        const wchar_t* remove;
        const wchar_t* keep;
        const wchar_t* elements;
        const wchar_t* replacement;
        const wchar_t* expected;
    } cases[] = {
        {L"a<script>x</script>b", L"", L"", L"script", L"", L"ab"},
        {L"a<script>x</script>b", L"-1", L"", L"script", L"", L"ab"},
        {L"a<script>x</script>b", L"-1", L"", L"", L"", L"a<script>x</script>b"},
        {L"a<SCRIPT>x</Script>b<script>y", L"-1", L"", L" script ,", L"", L"ab<script>y"},
        {L"<b>x</b><i>y</i>", L"b", L"", L"", L"", L"x<i>y</i>"},
        {L"<b>x</b><i>y</i><br/>", L"", L"b", L"", L"", L"<b>x</b>y"},
        {L"<B>x</B>", L"", L"", L"", L"", L"x"},
        {L"a<b<c>d", L"", L"", L"", L"", L"a<bd"},  // the tag starts at the last "<" before ">"
        {L"a < b", L"", L"", L"", L"", L"a < b"},   // no ">" after it
        {L"x > y <p>z", L"", L"", L"", L"", L"x > y z"},
        {L"<p>一</p>二", L"", L"", L"", L"|", L"|一|二"},
        {L"<div><p>x</p></div>", L"", L"", L"p", L" ", L"   "},  // element removed, then the tags around it
        // Units whose bytes hold a "<" or ">" across two characters are not markup.
        {L"\x3C41\x4E00x\x3E41\x4E00", L"", L"", L"", L"", L"\x3C41\x4E00x\x3E41\x4E00"},
        {L"\x3C41\x4E00<b>\x3E41\x4E00", L"", L"", L"", L"", L"\x3C41\x4E00\x3E41\x4E00"},
    };
    for (const Case& c : cases) {
        CWString t = c.text;
        StripMarkup(t, c.remove, c.keep, c.elements, c.replacement);
        EXPECT_EQ(t, c.expected) << CWString(c.text).ToUtf8();
    }
}

TEST(LabelText, FirstPlainLine) {
    EXPECT_EQ(FirstPlainLine(L"\n  \r\n<b>Hi</b> there\rsecond"), L"Hi there");
    EXPECT_EQ(FirstPlainLine(L"<br>"), L"");
    EXPECT_EQ(FirstPlainLine(L"聊天内容"), L"聊天内容");
    EXPECT_EQ(FirstPlainLine(L""), L"");
    EXPECT_EQ(FirstPlainLine(L"<p> </p>\n\x3000第二行\x3000"), L"第二行");
}

TEST(LabelPaint, BandGeometry) {
    struct Case { int lineHeight, barSetting, band, bar, x, y; } cases[] = {
        {20, 0, 24, 4, 8, 2}, {20, -1, 24, 0, 4, 2}, {20, -5, 24, 4, 8, 2}, {20, 7, 24, 7, 11, 2},
        {17, 0, 20, 3, 6, 1}, {0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        LabelBand b = ComputeLabelBand(c.lineHeight, c.barSetting);
        EXPECT_EQ(b.bandHeight, c.band) << c.lineHeight << "/" << c.barSetting;
        EXPECT_EQ(b.barWidth, c.bar) << c.lineHeight << "/" << c.barSetting;
        EXPECT_EQ(b.textX, c.x) << c.lineHeight << "/" << c.barSetting;
        EXPECT_EQ(b.textY, c.y) << c.lineHeight << "/" << c.barSetting;
    }
}

namespace {
class LabelHost : public CVolWinForm {
public:
    LabelHost() { SetVisible(false); }
    int GetDesignWidth() const override { return 300; }
    int GetDesignHeight() const override { return 80; }
};
struct PressLog : CVolObject, VolEventReceiver {
    PressLog() : VolEventReceiver(this) {}
    int OnPressed(CVolObject*, int x, int y) { presses.push_back({x, y}); return 0; }
    std::vector<std::pair<int, int>> presses;
};
}  // namespace

TEST(Label, TextReducedOnlyWithAWindowAndPainted) {
    const wchar_t* marked = L"\n<b>标题</b>\r\n下一行";
    rg_DrenvikBiaoQian label;
    label.SetText(marked);
    EXPECT_EQ(label.text, marked);  // kept whole while there is no window

    LabelHost host;
    ASSERT_TRUE(host.LoadWindow());
    PressLog log;
    label.Pressed.Bind(&VolThunk<&PressLog::OnPressed>::Call, log.GetEventTarget());
    ASSERT_EQ(label.CreateInParent(host, 0, 0, 300, 60, 101), 1);
    EXPECT_GT(label.lineHeight, 0);
    EXPECT_EQ(label.drawCanvas.GetControlId(), 101);
    EXPECT_EQ(label.shownCanvas.GetControlId(), 102);
    EXPECT_FALSE(label.drawCanvas.IsVisible());
    EXPECT_EQ(label.shownCanvas.GetWidth(), 300);  // the canvases cover the client area
    EXPECT_EQ(label.shownCanvas.GetHeight(), 60);

    label.SetText(marked);
    EXPECT_EQ(label.text, L"标题");

    label.SetFontText(L"微软雅黑, 18, 0, 0, 0, 0, 0");
    int tall = label.lineHeight;
    EXPECT_EQ(tall, MeasureTextHeight(label.drawCanvas, gLineHeightSample, label.fontText));
    ::SendMessageW(label.GetHwnd(), WM_SHOWWINDOW, TRUE, 0);
    EXPECT_EQ(label.shown, 1);
    LabelBand band = ComputeLabelBand(tall, label.barWidth);
    HDC dc = label.shownCanvas.GetBufferDC();
    EXPECT_EQ(::GetPixel(dc, 1, 1), COLORREF(label.accentColor));                     // the bar
    EXPECT_EQ(::GetPixel(dc, 200, band.bandHeight), COLORREF(label.accentColor));     // the line under the band
    EXPECT_EQ(::GetPixel(dc, 200, band.bandHeight + 5), COLORREF(label.drawCanvas.backColor));

    ::SendMessageW(label.shownCanvas.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 7));
    ::SendMessageW(label.drawCanvas.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
    EXPECT_EQ(log.presses, (std::vector<std::pair<int, int>>{{12, 7}, {3, 4}}));
}

TEST(Label, Screenshot) {
    GdiplusSession gdiplus;
    class Host : public CVolWinForm {
    public:
        int GetDesignWidth() const override { return 320; }
        int GetDesignHeight() const override { return 140; }
    } host;
    ASSERT_TRUE(host.LoadWindow());
    rg_DrenvikBiaoQian heading, guided;
    ASSERT_EQ(heading.CreateInParent(host, 10, 10, 300, 40, 101), 1);
    heading.SetFontText(L"微软雅黑, 18, 0, 0, 0, 0, 0");
    heading.SetText(L"聊天内容");
    guided.lineStyle = 2;
    guided.topLineToText = 1;
    guided.guideMode = 0;
    guided.guideColor = -2;
    ASSERT_EQ(guided.CreateInParent(host, 10, 60, 300, 70, 102), 1);
    guided.SetText(L"<i>带</i>上下线和引导线");
    EXPECT_FALSE(SaveScreenAreaOfWindow(host.GetHwnd(), L"kelvaro_label.png").empty());
    ::DestroyWindow(host.GetHwnd());
}

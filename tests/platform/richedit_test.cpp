#include <gtest/gtest.h>

#include "platform/richedit.h"

namespace {

class HostForm : public CVolWinForm {
public:
    int GetDesignWidth() const override { return 400; }
    int GetDesignHeight() const override { return 300; }
};

struct RichEditFixture : ::testing::Test {
    void SetUp() override {
        form.SetVisible(false);  // hiding a shown top-level window costs Wine seconds without a window manager
        ASSERT_TRUE(form.LoadWindow());
    }
    void Create() { ASSERT_EQ(box.CreateInParent(form, 0, 0, 380, 280, 101), 1); }

    HostForm form;
    rg_ChaoJiBianJiKuang box;
};

CHARFORMAT2W FormatAt(HWND h, int start, int end) {
    CHARRANGE r{start, end};
    ::SendMessageW(h, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
    CHARFORMAT2W f{};
    f.cbSize = sizeof(f);
    ::SendMessageW(h, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&f));
    return f;
}

}  // namespace

TEST_F(RichEditFixture, TextSurvivesTheWindowAndReadsBackWithCrLf) {
    box.SetText(L"一\n二\r三\r\n四");
    EXPECT_EQ(box.GetText(), L"一\n二\r三\r\n四");  // stored as given while there is no window
    Create();
    EXPECT_EQ(box.GetText(), L"一\r\n二\r\n三\r\n四");
    EXPECT_EQ(box.GetTextLength(), 7);
    box.SetSelection(2, 3);
    EXPECT_EQ(box.GetSelectedText(), L"二\r\n三");

    ::DestroyWindow(form.GetHwnd());
    EXPECT_FALSE(box.IsCreated());
    EXPECT_EQ(box.GetText(), L"一\r\n二\r\n三\r\n四");
    EXPECT_EQ(box.GetSelStart(), 2);
    EXPECT_EQ(box.GetSelLength(), 3);

    ASSERT_TRUE(form.LoadWindow());
    Create();
    EXPECT_EQ(box.GetText(), L"一\r\n二\r\n三\r\n四");
    EXPECT_EQ(box.GetSelStart(), 2);
    EXPECT_EQ(box.GetSelLength(), 3);
}

TEST_F(RichEditFixture, StreamingReplacesAllOrTheSelection) {
    // Without a window the stored selection counts CR LF as one position, as the window does.
    box.SetText(L"ab\r\ncd");
    box.SetSelection(1, 3);
    box.StreamInText(L"X\nY", 1);
    EXPECT_EQ(box.GetText(), L"aX\r\nYd");
    box.SetSelection(0, -1);
    EXPECT_EQ(box.GetSelLength(), 5);

    Create();
    box.SetText(L"hello world");
    box.SetSelection(6, 5);
    box.StreamInText(L"there", 1);
    EXPECT_EQ(box.GetText(), L"hello there");
    box.StreamInText(L"", 0);
    EXPECT_EQ(box.GetText(), L"");
    box.SetReadOnly(true);
    box.SetText(L"read-only boxes still take text from the program");
    EXPECT_EQ(box.GetText(), L"read-only boxes still take text from the program");
}

TEST_F(RichEditFixture, FormattedAppendsReadBack) {
    Create();
    HWND h = box.GetHwnd();
    box.SetReadOnly(true);
    rg_ChaoJiBianJiKuangZiFuGeShi red(L"微软雅黑", 14, rg_ChaoJiBianJiKuangZiFuGeShi::kBold |
                                                     rg_ChaoJiBianJiKuangZiFuGeShi::kUnderline, 0x0000FF);
    rg_ChaoJiBianJiKuangZiFuGeShi plain(L"微软雅黑", 11, 0, rg_ChaoJiBianJiKuangZiFuGeShi::kAutoColor);
    rg_ChaoJiBianJiKuangDuanLaGeShi indent;
    indent.startIndent = 10;
    auto noPara = VolOmitted<rg_ChaoJiBianJiKuangDuanLaGeShi>();

    box.AppendFormattedText(L"粗体", red, noPara);
    box.AppendFormattedText(L"普通\r\n", plain, indent);
    box.AppendFormattedText(L"", red, noPara);  // nothing
    box.AppendFormattedText(L"斜线", rg_ChaoJiBianJiKuangZiFuGeShi(L"", 0, 2 | 8, 0x008000), noPara, 1);
    EXPECT_EQ(box.GetText(), L"粗体普通\r\n斜线");
    EXPECT_EQ(box.GetSelStart(), 7);  // the caret ends at the end
    EXPECT_EQ(box.GetSelLength(), 0);

    CHARFORMAT2W f = FormatAt(h, 0, 2);
    EXPECT_TRUE(f.dwEffects & CFE_BOLD);
    EXPECT_TRUE(f.dwEffects & CFE_UNDERLINE);
    EXPECT_FALSE(f.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(f.crTextColor, 0x0000FFu);
    EXPECT_EQ(f.yHeight, 14 * 20);
    EXPECT_STREQ(f.szFaceName, L"微软雅黑");

    f = FormatAt(h, 2, 4);
    EXPECT_FALSE(f.dwEffects & CFE_BOLD);
    EXPECT_TRUE(f.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(f.yHeight, 11 * 20);

    f = FormatAt(h, 5, 7);  // empty face and size 0 keep what the range had
    EXPECT_TRUE(f.dwEffects & CFE_ITALIC);
    EXPECT_TRUE(f.dwEffects & CFE_STRIKEOUT);
    EXPECT_FALSE(f.dwEffects & CFE_BOLD);
    EXPECT_EQ(f.crTextColor, 0x008000u);

    PARAFORMAT2 p{};
    p.cbSize = sizeof(p);
    CHARRANGE r{2, 3};
    ::SendMessageW(h, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
    ::SendMessageW(h, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&p));
    EXPECT_EQ(p.dxStartIndent, 10 * 20);
}

TEST_F(RichEditFixture, PropertiesReachTheWindow) {
    box.SetPlainText(true);
    box.SetKeepSelection(true);
    box.SetBackColor(0xECECEC);
    box.SetReadOnly(true);
    Create();
    HWND h = box.GetHwnd();
    EXPECT_TRUE(::SendMessageW(h, EM_GETTEXTMODE, 0, 0) & TM_PLAINTEXT);
    EXPECT_TRUE(::SendMessageW(h, EM_GETOPTIONS, 0, 0) & ECO_NOHIDESEL);
    EXPECT_TRUE(::SendMessageW(h, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
    EXPECT_EQ(::SendMessageW(h, EM_SETBKGNDCOLOR, 0, 0xFFFFFF), 0xECECEC);  // answers the previous colour
    box.SetReadOnly(false);
    EXPECT_FALSE(::SendMessageW(h, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
    box.SetKeepSelection(false);
    EXPECT_FALSE(::SendMessageW(h, EM_GETOPTIONS, 0, 0) & ECO_NOHIDESEL);
}

#include <gtest/gtest.h>

#include "platform/font.h"
#include "platform/input.h"
#include <richedit.h>
#include "platform/menu.h"
#include "platform/gdiplus_session.h"
#include "platform/picture.h"
#include "screen_capture.h"
#include "support/ui_helpers.h"
#include "ui/rich_edit_box.h"

namespace {

class HostForm : public CVolWinForm {
public:
    int GetDesignWidth() const override { return 420; }
    int GetDesignHeight() const override { return 260; }
};

void SetClipboard(const wchar_t* text) {
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    if (text) {
        size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
        HGLOBAL g = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
        memcpy(::GlobalLock(g), text, bytes);
        ::GlobalUnlock(g);
        ::SetClipboardData(CF_UNICODETEXT, g);
    }
    ::CloseClipboard();
}

std::wstring ReadClipboard() {
    std::wstring out;
    if (!::OpenClipboard(nullptr)) return out;
    if (HANDLE g = ::GetClipboardData(CF_UNICODETEXT)) {
        out = static_cast<const wchar_t*>(::GlobalLock(g));
        ::GlobalUnlock(g);
    }
    ::CloseClipboard();
    return out;
}

struct RichEditBoxTest : ::testing::Test {
    void SetUp() override {
        form.SetVisible(false);
        ASSERT_TRUE(form.LoadWindow());
    }
    void Create() { ASSERT_EQ(box.CreateInParent(form, 5, 5, 400, 240, 101), 1); }
    // Item states as "undo cut copy paste delete all", 1 enabled, 0 greyed.
    std::string States() {
        std::string s;
        for (int id = kRichEditUndo; id <= kRichEditSelectAll; ++id) s += box.contextMenu.IsItemEnabled(id) ? '1' : '0';
        return s;
    }

    HostForm form;
    rg_DrenvikChaoJiBianJiKuang1 box;
};

}  // namespace

TEST(RichEditMenuText, NineRecordsOfVersionOne) {
    rg_ChaoJiBianJiKuangYouJianCaiChanLei menu;
    CWString text = menu.GetDesignText();
    CWStringArray fields;
    SplitTextBySeparator(text, fields, L"\n");
    ASSERT_EQ(fields.size(), 100u);
    EXPECT_EQ(text.substr(0, 9), L"1\n0\n顶级菜单\n");
    EXPECT_NE(text.back(), L'\n');
    auto def = ParseMenuDefinition(text);
    ASSERT_TRUE(def);
    ASSERT_EQ(def->items.size(), 9u);
    const wchar_t* captions[] = {L"顶级菜单", L"撤销(&U)", L"", L"剪切(&C)", L"复制(&O)", L"粘贴(&P)", L"删除(&D)", L"", L"全选(&A)"};
    const int ids[] = {9000, 9001, 0, 9002, 9003, 9004, 9005, 0, 9006};
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(def->items[i].caption, captions[i]) << i;
        EXPECT_EQ(def->items[i].id, ids[i]) << i;
        EXPECT_EQ(def->items[i].separator, ids[i] == 0) << i;
        EXPECT_EQ(def->items[i].parent, i == 0 ? -1 : 0) << i;
        EXPECT_EQ(def->items[i].key, 0) << i;
    }
    HMENU popup = ::GetSubMenu(menu.GetBuiltMenu()->handle, 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(::GetMenuItemCount(popup), 8);
}

TEST_F(RichEditBoxTest, NewBoxUsesTheDefaultFont) {
    EXPECT_EQ(box.GetWindowObject().fontText, kDefaultFontText);
    Create();
    LOGFONTW lf{};
    ::GetObjectW(box.GetFontHandle(), sizeof(lf), &lf);
    EXPECT_STREQ(lf.lfFaceName, L"微软雅黑");
    HDC dc = ::GetDC(nullptr);
    EXPECT_EQ(lf.lfHeight, -::MulDiv(11, ::GetDeviceCaps(dc, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, dc);
    EXPECT_LE(lf.lfWeight, FW_NORMAL);
    EXPECT_FALSE(lf.lfItalic);
    CHARFORMAT2W f{};
    f.cbSize = sizeof(f);
    ::SendMessageW(box.GetHwnd(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&f));
    EXPECT_STREQ(f.szFaceName, L"微软雅黑");
    EXPECT_NEAR(f.yHeight, 11 * 20, 10);  // 11 points, as whole pixels
    EXPECT_FALSE(f.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT));
}

TEST_F(RichEditBoxTest, MenuStatesFollowTheBox) {
    // Without a window: the stored selection decides; undo and paste need a window.
    SetClipboard(L"剪贴板");
    box.SetText(L"abc");
    box.SetSelection(0, 2);
    box.UpdateMenuStates();
    EXPECT_EQ(States(), "011011");

    Create();
    box.SetSelection(1, 0);
    box.UpdateMenuStates();
    EXPECT_EQ(States(), "000101");  // no selection; paste follows the clipboard

    SetClipboard(nullptr);
    ::SendMessageW(box.GetHwnd(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"x"));  // undoable typing
    box.UpdateMenuStates();
    EXPECT_EQ(States(), "100001");

    box.SetReadOnly(true);
    box.SetSelection(0, 3);
    box.UpdateMenuStates();
    EXPECT_EQ(States(), "101001");  // read-only with a selection: copy (and the undo of the typing)
}

TEST_F(RichEditBoxTest, MenuCommandsFromAnySender) {
    Create();
    HWND h = box.GetHwnd();
    box.SetText(L"一二三四");
    ::SendMessageW(h, WM_COMMAND, kRichEditSelectAll, 0);
    EXPECT_EQ(box.GetSelStart(), 0);
    EXPECT_EQ(box.GetSelLength(), 4);

    box.SetSelection(1, 2);
    ::SendMessageW(h, WM_COMMAND, kRichEditCopy, 0);
    EXPECT_EQ(ReadClipboard(), L"二三");

    SetClipboard(L"unchanged");
    box.SetSelection(0, 1);
    ::SendMessageW(h, WM_COMMAND, kRichEditDelete, 0);
    EXPECT_EQ(box.GetText(), L"二三四");
    EXPECT_EQ(ReadClipboard(), L"unchanged");  // delete does not touch the clipboard

    // An accelerator or a control notification (high word set) is not a menu command here.
    box.SetSelection(0, 1);
    ::SendMessageW(h, WM_COMMAND, MAKEWPARAM(kRichEditDelete, 1), 0);
    EXPECT_EQ(box.GetText(), L"二三四");

    ::SendMessageW(h, WM_COMMAND, kRichEditCut, 0);
    EXPECT_EQ(box.GetText(), L"三四");
    EXPECT_EQ(ReadClipboard(), L"二");
    box.SetSelection(2, 0);
    ::SendMessageW(h, WM_COMMAND, kRichEditPaste, 0);
    EXPECT_EQ(box.GetText(), L"三四二");
    ::SendMessageW(h, WM_COMMAND, kRichEditUndo, 0);
    EXPECT_EQ(box.GetText(), L"三四");
}

namespace {
POINT gTestCursor{200, 150};
POINT TestCursor() { return gTestCursor; }
RECT gPopupRect{};
void CALLBACK CloseMenuSoon(HWND, UINT, UINT_PTR id, DWORD) {
    if (HWND popup = ::FindWindowW(L"#32768", nullptr)) {
        ::GetWindowRect(popup, &gPopupRect);
        ::KillTimer(nullptr, id);
        ::EndMenu();
    }
}
}  // namespace

TEST_F(RichEditBoxTest, RightClickOpensThePopupBesideTheCursor) {
    Create();
    box.SetText(L"abc");
    SetCursorSourceForTest(&TestCursor);
    gPopupRect = RECT{};
    UINT_PTR timer = ::SetTimer(nullptr, 0, 30, &CloseMenuSoon);
    ::SendMessageW(box.GetHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    ::KillTimer(nullptr, timer);
    SetCursorSourceForTest(nullptr);
    EXPECT_EQ(gPopupRect.left, gTestCursor.x + 3);
    EXPECT_EQ(gPopupRect.top, gTestCursor.y + 3);
    EXPECT_EQ(::GetFocus(), box.GetHwnd());
}

TEST(RichEditBoxScreenshot, FormattedText) {
    GdiplusSession gdiplus;
    HostForm form;
    ASSERT_TRUE(form.LoadWindow());
    rg_DrenvikChaoJiBianJiKuang1 box;
    ASSERT_EQ(box.CreateInParent(form, 5, 5, 400, 240, 101), 1);
    using F = rg_ChaoJiBianJiKuangZiFuGeShi;
    auto none = VolOmitted<rg_ChaoJiBianJiKuangDuanLaGeShi>();
    rg_ChaoJiBianJiKuangDuanLaGeShi indent;
    indent.startIndent = 15;
    box.AppendFormattedText(L"你是谁\r\n", F(L"微软雅黑", 13, 0, 0xFF0090), none);
    box.AppendFormattedText(L"(llama3) ", F(L"微软雅黑", 11, 0, 0x008000), none);
    box.AppendFormattedText(L"用时 1.5 秒\r\n", F(L"微软雅黑", 11, 0, 0xC0C0C0), none);
    box.AppendFormattedText(L"加粗的标题\r\n", F(L"微软雅黑", 14, F::kBold, F::kAutoColor), indent);
    box.AppendFormattedText(L"斜体、下划线与删除线\r\n", F(L"微软雅黑", 11, F::kItalic | F::kUnderline, 0x0000FF), indent);
    box.AppendFormattedText(L"int main() { return 0; }\r\n", F(L"Consolas", 11, F::kStrikeOut, 0x804000), indent, 1);
    std::wstring path = SaveScreenAreaOfWindow(form.GetHwnd(), L"kelvaro_rich_edit_box.png");
    EXPECT_FALSE(path.empty());
    ::DestroyWindow(form.GetHwnd());
}

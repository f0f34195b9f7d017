#include <gtest/gtest.h>

#include <string>

#include "platform/components.h"
#include "platform/painter.h"
#include "support/ui_helpers.h"

namespace {

class Host : public CVolWinForm {
    VOL_CLASS(Host, CVolWinForm, "test::Host")
    VOL_MEMBERS()

public:
    Host() { SetVisible(false); }
    ~Host() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    int GetDesignWidth() const override { return 320; }
    int GetDesignHeight() const override { return 200; }
    void BindEvents() override {
        CVolWinForm::BindEvents();
        VOL_BIND(timer.Tick, &Host::OnTick);
        timer.AttachEventListener();
        VOL_BIND(edit.CharInput, &Host::OnChar);
        edit.AttachEventListener();
    }
    void CreateChildren() override {
        timer.SetInterval(15);  // a positive interval starts the timer at creation
        CreateChild(timer, 0, 0, 20, 20);
        CreateChild(edit, 10, 40, 200, 24);
    }
    void OnTick(CVolObject*) { ++ticks; }
    int OnChar(CVolObject*, int ch) { return ch == 'x' ? -1 : ch == 'a' ? 'b' : 0; }

    rg_timer timer;
    rg_edit_box edit;
    int ticks = 0;
};

COLORREF PixelAt(CVWnd_Painter& board, int x, int y) { return ::GetPixel(board.GetBufferDC(), x, y); }

// A 2 x 1 premultiplied bitmap: opaque red, then half-transparent blue.
rg_WeiTuDuiXiangLei AlphaBitmap() {
    void* bits = nullptr;
    HBITMAP h = CreateDib32(2, 1, &bits);
    auto* px = static_cast<uint32_t*>(bits);
    px[0] = 0xFFFF0000;  // ARGB
    px[1] = 0x80000080;
    rg_WeiTuDuiXiangLei b;
    b.Attach(h, true);
    return b;
}

}  // namespace

TEST(Components, TimerTicksAndStops) {
    Host host;
    ASSERT_TRUE(host.LoadWindow());
    EXPECT_TRUE(PumpUntil([&] { return host.ticks >= 2; }, 3000));
    host.timer.SetInterval(0);
    int seen = host.ticks;
    PumpMessagesFor(80);
    EXPECT_EQ(host.ticks, seen);
    EXPECT_FALSE(::IsWindowVisible(host.timer.GetHwnd()));
    host.timer.SetText(L"保存的文字");  // the timer's own text serves as a holder
    EXPECT_EQ(host.timer.GetText(), L"保存的文字");
}

TEST(Components, EditBoxCharInputReplacesOrSwallows) {
    Host host;
    ASSERT_TRUE(host.LoadWindow());
    HWND e = host.edit.GetHwnd();
    for (wchar_t ch : std::wstring(L"axc")) ::SendMessageW(e, WM_CHAR, ch, 1);
    EXPECT_EQ(host.edit.GetText(), L"bc");
    host.edit.AppendText(L"尾");
    EXPECT_EQ(host.edit.GetText(), L"bc尾");
    EXPECT_EQ(host.edit.GetTextLength(), 3);
    EXPECT_TRUE(host.edit.GetStyle() & WS_TABSTOP);
}

TEST(Painter, ShapesColoursAndPictures) {
    rg_painter board;
    board.Move(0, 0, 40, 20);
    board.SetBackColor(0xFFFFFF);
    EXPECT_EQ(PixelAt(board, 5, 5), 0xFFFFFFu);
    board.SetPenColor(0x0000FF);
    board.SetBrushColor(0x00FF00);
    board.DrawRectangle(0, 0, 10, 10);
    EXPECT_EQ(PixelAt(board, 0, 0), 0x0000FFu);  // outline in the pen
    EXPECT_EQ(PixelAt(board, 5, 5), 0x00FF00u);  // filled with the brush
    board.SetBrushStyle(0);
    board.SetPenColor(0x123456);
    board.DrawRectangle(12, 0, 20, 10);
    EXPECT_EQ(PixelAt(board, 16, 5), 0xFFFFFFu);  // hollow
    board.DrawLine(0, 15, 39, 15);
    EXPECT_EQ(PixelAt(board, 20, 15), 0x123456u);

    board.ClearCanvas();
    board.DrawPicture(AlphaBitmap(), 30, 0);
    EXPECT_EQ(PixelAt(board, 30, 0), 0x0000FFu);     // opaque red (0x00BBGGRR)
    COLORREF blended = PixelAt(board, 31, 0);          // half blue over white
    EXPECT_NEAR(int(GetRValue(blended)), 127, 2);
    EXPECT_EQ(int(GetBValue(blended)), 255);
    board.DrawPicture(AlphaBitmap(), 0, 0, 4, 2, -int(0x0000FF));  // red transparent, stretched
    EXPECT_EQ(PixelAt(board, 0, 0), 0xFFFFFFu);

    rg_painter copy;
    copy.Move(0, 0, 40, 20);
    copy.DrawPainter(board);
    EXPECT_EQ(PixelAt(copy, 30, 0), 0x0000FFu);
    rg_WeiTuDuiXiangLei picture = board.GetPicture();
    int w = 0, h = 0;
    ASSERT_TRUE(picture.GetSize(w, h));
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 20);
    rg_WeiTuDuiXiangLei shared = picture;  // copies share the bitmap
    EXPECT_EQ(shared.GetHandle(), picture.GetHandle());

    int tw = 0, th = 0;
    board.SetFont(L"Arial, 20, 0, 0, 0, 0, 0");
    ASSERT_TRUE(board.MeasureText(L"Wide", tw, th));
    int sw = 0, sh = 0;
    board.SetFont(L"Arial, 8, 0, 0, 0, 0, 0");
    board.MeasureText(L"Wide", sw, sh);
    EXPECT_GT(tw, sw);
    EXPECT_GT(th, sh);
}

TEST(Pictures, PngRoundTripThroughGdiplus) {
    rg_painter board;
    board.Move(0, 0, 6, 4);
    board.SetBackColor(0x3366CC);
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"kelvaro_roundtrip.png";
    ASSERT_TRUE(SaveBitmapAsPng(board.GetPicture().GetHandle(), path.c_str()));
    CVolMem bytes = CVolMem::ConstructFromFile(path);
    ::DeleteFileW(path.c_str());
    rg_WeiTuDuiXiangLei decoded;
    ASSERT_TRUE(decoded.LoadFromBytes(bytes));
    int w = 0, h = 0;
    decoded.GetSize(w, h);
    EXPECT_EQ(w, 6);
    EXPECT_EQ(h, 4);
    rg_painter target;
    target.Move(0, 0, 6, 4);
    target.DrawPicture(decoded, 0, 0);
    EXPECT_EQ(PixelAt(target, 2, 2), 0x3366CCu);

    rg_TuBiaoDuiXiangLei icon;
    EXPECT_TRUE(icon.LoadFromBytes(bytes.GetPtr(), bytes.GetSize(), 16, 16));
    EXPECT_FALSE(icon.IsEmpty());
    EXPECT_FALSE(decoded.LoadFromBytes("not a picture", 13));
    EXPECT_FALSE(decoded.IsEmpty());  // a failed decode keeps the old picture
}

namespace {
class TwoItemMenu : public rg_CaiChanLei {
    VOL_CLASS(TwoItemMenu, rg_CaiChanLei, "test::TwoItemMenu")
    VOL_MEMBERS()

public:
    mutable int builds = 0;

protected:
    void BuildMenu(CRefVolMenu& menu, const CWString&) override {
        ++builds;
        menu.handle = ::CreatePopupMenu();
        ::AppendMenuW(menu.handle, MF_STRING, 5, L"五");
        ::AppendMenuW(menu.handle, MF_STRING | MF_GRAYED, 6, L"六");
    }
};
}  // namespace

TEST(Menus, BuiltOnceAndItemsEnabledByCommand) {
    rg_CaiChanLei plain;
    EXPECT_EQ(plain.GetDesignText(), L"");
    EXPECT_FALSE(plain.EnableItem(1, true));  // no definition: no menu, no item

    TwoItemMenu menu;
    EXPECT_TRUE(menu.IsItemEnabled(5));
    EXPECT_FALSE(menu.IsItemEnabled(6));
    EXPECT_TRUE(menu.EnableItem(5, false));
    EXPECT_FALSE(menu.IsItemEnabled(5));
    EXPECT_TRUE(menu.EnableItem(6, true));
    EXPECT_TRUE(menu.IsItemEnabled(6));
    EXPECT_FALSE(menu.EnableItem(99, true));
    EXPECT_EQ(menu.builds, 1);
    EXPECT_EQ(menu.GetBuiltMenu().use_count(), 2);  // the class's reference and ours
}

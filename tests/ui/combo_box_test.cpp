// The combo box on real windows: placement of the open list, the move onto the form, the list's
// scroll bar, the mouse, item icons and fonts, and a screenshot.
#include <gtest/gtest.h>

#include "platform/app_instance.h"
#include "platform/dpi.h"
#include "platform/gdiplus_session.h"
#include "platform/picture.h"
#include "support/ui_helpers.h"
#include "ui/combo_box.h"
#include "ui/control_foundation.h"
#include "ui/svg_icon_cache.h"
#include "ui_test_support.h"

namespace {

constexpr int kRingOff = 516, kRingOn = 518;  // SVG icons of the test resource module

CWString Lines(int count) {
    CWString text;
    for (int i = 0; i < count; ++i) text += (i ? L"\r\n" : L"") + CWString(L"item ") + CWString::FromInt(i);
    return text;
}

class ComboWindow : public ::testing::Test {
protected:
    void SetUp() override {
        SetDpiFactorsForTest(1.0);
        ResetSvgIconCacheForTest(L"Z:\\nonexistent\\drenvik.svgs");
        icons_ = ::LoadLibraryExW((GetModuleDirectory() + L"svg_icons.dll").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_TRUE(icons_) << "svg_icons.dll beside the test";
        CVolAppInstance::SetResourceModule(icons_);
        FakeInput::Install();
        MakeTestForm(form, 400, 400);
        ASSERT_TRUE(form.IsCreated());
    }
    void TearDown() override {
        FakeInput::Reset();
        CVolAppInstance::SetResourceModule(nullptr);
        ::FreeLibrary(icons_);
        SetDpiFactorsForTest(1.0);
    }
    // A combo box of 200 x 30 at (10, top) with `count` items, shown.
    void Place(rg_DrenvikZuGeKuang1& c, CVolWinControl& parent, int x, int top, int count) {
        c.SetListText(Lines(count));
        ASSERT_TRUE(c.CreateInParent(parent, x, top, 200, 30, 101));
        PumpMessagesFor(10);
        ASSERT_EQ(c.shown, 1);
        ASSERT_EQ(c.rowHeight, 30);
        ASSERT_GT(c.textHeight, 0);
    }

    GdiplusSession gdiplus;
    HMODULE icons_ = nullptr;
    HiddenTestForm form;
};

TEST_F(ComboWindow, OpensBelowOrAboveAndCloses) {
    for (int top : {50, 300, 150}) {
        rg_DrenvikZuGeKuang1 combo;
        Place(combo, form, 10, top, 10);
        int pitch = combo.GetRowPitch();
        ComboListPlacement expected = PlaceComboList(400, top, 30, 10, pitch, 5);
        combo.ToggleDropDown();
        SCOPED_TRACE(top);
        EXPECT_EQ(combo.listHeight, expected.listHeight);
        EXPECT_EQ(combo.dropsAbove, expected.above ? 1 : 0);
        EXPECT_EQ(combo.GetHeight(), 30 + expected.listHeight);
        EXPECT_EQ(combo.GetTop(), expected.above ? top - expected.listHeight : top);
        EXPECT_EQ(combo.rowHeight, 30) << "the top row keeps its height while open";
        int rowY = combo.dropsAbove ? combo.GetClientHeight() - 5 : 5;  // on the top row: no item
        combo.OnMouseMove(50, rowY, 0);
        EXPECT_EQ(combo.hotRow, -1);
        combo.OnCanvasLeftDown(50, rowY, 0);
        combo.OnCanvasLeftUp(50, rowY, 0);
        EXPECT_EQ(combo.listOpen, 0);
        EXPECT_EQ(combo.GetSelectedIndex(), -1);
        EXPECT_EQ(combo.GetTop(), top);
        EXPECT_EQ(combo.GetHeight(), 30);
    }
}

TEST_F(ComboWindow, ChoosingARowWithTheMouse) {
    rg_DrenvikZuGeKuang1 combo;
    Place(combo, form, 10, 50, 10);
    combo.numberRows = 1;
    combo.AddItem(L"[-]", L"");  // a separator gets no number
    combo.OnCanvasLeftDown(20, 10, 0);
    combo.OnCanvasLeftUp(20, 10, 0);
    ASSERT_EQ(combo.listOpen, 1);
    EXPECT_EQ(combo.numberedCount, 10);
    int pitch = combo.GetRowPitch();
    combo.OnMouseMove(20, 30 + 2 + 2 * pitch + 1, 0);
    EXPECT_EQ(combo.hotRow, 2);
    combo.OnCanvasLeftDown(20, 30 + 2 + 2 * pitch + 1, 0);
    combo.OnCanvasLeftUp(20, 30 + 2 + 2 * pitch + 1, 0);
    EXPECT_EQ(combo.listOpen, 0);
    EXPECT_EQ(combo.GetCurrentText(), L"item 2");
    EXPECT_FALSE(combo.editField.IsVisible()) << "a drop-down list has no edit field";
}

TEST_F(ComboWindow, OpeningInAChildPanelMovesOntoTheForm) {
    TestPanel panel;
    ASSERT_TRUE(panel.CreateInParent(form, 50, 40, 240, 60, 101));
    rg_DrenvikZuGeKuang1 combo;
    int closedEvents = 0;
    class Counter : public CVolObject, public VolEventReceiver {
    public:
        explicit Counter(int& n) : VolEventReceiver(this), n_(n) {}
        void OnClosed(CVolObject*) { ++n_; }
        int& n_;
    } counter(closedEvents);
    combo.DropDownClosed.Bind(&VolThunk<&Counter::OnClosed>::Call, counter.GetEventTarget());
    Place(combo, panel, 5, 10, 4);
    EXPECT_EQ(combo.topWindow, form.GetHwnd());
    EXPECT_EQ(combo.parentWindow, panel.GetHwnd());

    combo.ToggleDropDown();
    EXPECT_EQ(::GetParent(combo.GetHwnd()), form.GetHwnd());
    EXPECT_EQ(combo.GetLeft(), 55);
    EXPECT_EQ(combo.GetTop(), 50);
    EXPECT_EQ(combo.GetHeight(), 30 + combo.listHeight);
    EXPECT_GT(combo.listHeight, 60) << "the list is not cut off by the panel";
    combo.ToggleDropDown();
    EXPECT_EQ(::GetParent(combo.GetHwnd()), panel.GetHwnd());
    EXPECT_EQ(combo.GetLeft(), 5);
    EXPECT_EQ(combo.GetTop(), 10);
    EXPECT_EQ(combo.GetHeight(), 30);
    EXPECT_EQ(closedEvents, 1);
}

TEST_F(ComboWindow, LongListsScrollAndShowTheCurrentItem) {
    rg_DrenvikZuGeKuang1 combo;
    Place(combo, form, 10, 50, 30);
    combo.SelectIndex(25);
    combo.ToggleDropDown();
    int visible = combo.GetVisibleRowCount();
    ASSERT_LT(visible, 30);
    rg_DrenvikGunDongTiao1* bar = combo.PeekListScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->GetStyle() & WS_VISIBLE);
    EXPECT_EQ(bar->total, 30);
    EXPECT_EQ(bar->maximum, 30 - visible + 1);
    EXPECT_EQ(combo.firstVisibleRow, 25 - visible + 1) << "the current item is the last visible row";

    combo.OnWheelMessage(MAKEWPARAM(0, 120));  // away from the user scrolls up one row
    EXPECT_EQ(combo.firstVisibleRow, 25 - visible);
    EXPECT_EQ(combo.GetSelectedIndex(), 25) << "the open list's wheel scrolls, it does not select";
    // Turned over the bar itself, the bar scrolls once: the message does not reach the control too.
    ::SendMessageW(bar->shownCanvas.GetHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), 0);
    EXPECT_EQ(combo.firstVisibleRow, 25 - visible + 1);

    // A press outside closes the list after the mouse left it; a press on its scroll bar does not.
    combo.OnMouseLeave();
    EXPECT_GT(combo.watchTimer.GetInterval(), 0);
    FakeInput::leftDown = true;
    combo.pressed = 1;  // as the bar's MouseDown sets it
    combo.OnWatchTimer();
    EXPECT_EQ(combo.listOpen, 1);
    combo.pressed = 0;
    combo.OnWatchTimer();
    EXPECT_EQ(combo.listOpen, 0);
    EXPECT_EQ(combo.watchTimer.GetInterval(), 0);
    EXPECT_FALSE(bar->GetStyle() & WS_VISIBLE);
    EXPECT_EQ(combo.GetHeight(), 30);

    // A shorter list that fits shows from its first row, whatever the old scroll position.
    combo.SetListText(Lines(3));
    combo.openBehaviour = 0;  // keep the scroll position on opening
    combo.ToggleDropDown();
    EXPECT_EQ(combo.firstVisibleRow, 0);
}

TEST_F(ComboWindow, EditFieldTextAndFocus) {
    class Counter : public CVolObject, public VolEventReceiver {
    public:
        Counter() : VolEventReceiver(this) {}
        void OnText(CVolObject*) { ++texts; }
        void OnLost(CVolObject*) { ++lost; }
        int texts = 0, lost = 0;
    } counter;
    rg_DrenvikZuGeKuang1 combo;
    combo.style = 1;
    combo.TextChanged.Bind(&VolThunk<&Counter::OnText>::Call, counter.GetEventTarget());
    combo.LostFocus.Bind(&VolThunk<&Counter::OnLost>::Call, counter.GetEventTarget());
    Place(combo, form, 10, 50, 3);
    EXPECT_TRUE(combo.editField.GetStyle() & WS_VISIBLE);
    EXPECT_FALSE(combo.editField.GetStyle() & WS_BORDER);
    // One line high and centred in its row, where the rows draw their text.
    EXPECT_EQ(combo.editField.GetHeight(), combo.textHeight);
    EXPECT_NEAR(combo.editField.GetTop() + combo.editField.GetHeight() / 2.0, combo.rowHeight / 2.0, 1.0);
    combo.editField.SetText(L"typed");
    EXPECT_EQ(counter.texts, 1);
    EXPECT_EQ(combo.GetCurrentText(), L"typed");
    combo.SelectIndex(1);
    EXPECT_EQ(combo.GetCurrentText(), L"item 1");

    combo.OnFocusGained();
    combo.ToggleDropDown();
    ASSERT_EQ(combo.listOpen, 1);
    combo.OnFocusLost();  // closes without a choice
    EXPECT_EQ(combo.listOpen, 0);
    EXPECT_EQ(combo.GetHeight(), 30);
    EXPECT_EQ(combo.GetSelectedIndex(), 1);
    EXPECT_EQ(counter.lost, 1);
}

TEST_F(ComboWindow, ItemIconsFollowTheFont) {
    rg_DrenvikZuGeKuang1 combo;
    combo.SetItemImage(kRingOff, 0);  // before the window: stored, not rendered
    ASSERT_EQ(combo.itemImages.GetCount(), 1);
    EXPECT_FALSE(combo.itemImages.pictureSources[0].IsEmpty());
    EXPECT_EQ(combo.itemImages.GetPicture(0), nullptr);
    Place(combo, form, 10, 50, 3);
    int h = combo.textHeight;
    EXPECT_EQ(combo.itemImages.GetPictureWidth(0), h) << "rendered at creation as a square of the line height";
    EXPECT_EQ(combo.itemImages.GetPictureHeight(0), h);
    EXPECT_EQ(combo.GetRowPitch(), h + 5);

    combo.SetItemImage(kRingOn, 1);  // with the window: from the resource id, at the line height
    EXPECT_EQ(combo.itemImages.GetPictureHeight(1), h);
    combo.SetFontText(L"微软雅黑, 20, 0, 0, 0, 0, 0");
    int h2 = combo.textHeight;
    EXPECT_GT(h2, h);
    EXPECT_EQ(combo.itemImages.GetPictureHeight(0), h2);
    EXPECT_EQ(combo.itemImages.GetPictureHeight(1), h2) << "a picture from a resource id follows the font too";
    EXPECT_EQ(combo.itemImages.tallestPicture, h2);

    combo.SetIconWidth(22);
    EXPECT_EQ(combo.iconHeight, 22);
    EXPECT_EQ(combo.itemImages.GetPictureWidth(1), 22);
    EXPECT_EQ(combo.itemImages.GetPictureHeight(1), 22);
    SetDpiFactorsForTest(1.5);
    combo.SetIconHeight(20);
    EXPECT_EQ(combo.iconWidth, 22);
    EXPECT_EQ(combo.itemImages.GetPictureWidth(0), 33) << "fixed icon sizes are scaled by the DPI factor";
    EXPECT_EQ(combo.itemImages.GetPictureHeight(0), 30);
    SetDpiFactorsForTest(1.0);
    combo.SetFontText(L"微软雅黑, 9, 0, 0, 0, 0, 0");
    EXPECT_EQ(combo.itemImages.GetPictureWidth(0), 33) << "a fixed icon size ignores the font";
}

TEST_F(ComboWindow, ImageGroupStorage) {
    rg_DrenvikTuPianZu group;
    EXPECT_EQ(group.SetItemImage(3, kRingOff, CVolMem(), 16, 0, true, false), 3);
    EXPECT_EQ(group.GetCount(), 4);
    EXPECT_EQ(group.pictureSources.size(), 4u);
    EXPECT_EQ(group.transparentColours.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(group.GetPicture(i), nullptr);
        EXPECT_EQ(group.GetPictureWidth(i), 0);
    }
    EXPECT_EQ(group.GetPictureWidth(3), 16);
    EXPECT_EQ(group.GetPictureHeight(3), 16);
    EXPECT_EQ(group.widestPicture, 16);
    EXPECT_EQ(group.SetItemImage(0, kRingOff, CVolMem(), 0, 0, true, false), -1);
    EXPECT_EQ(group.SetItemImage(-1, kRingOff, CVolMem(), 16, 16, true, false), -1);

    // Bytes that are no picture leave an empty entry; a missing resource gives one too.
    EXPECT_EQ(group.SetItemImage(1, 0, CVolMem(std::string_view("not a picture")), 16, 16, true, false), 1);
    EXPECT_EQ(group.GetPicture(1), nullptr);
    EXPECT_EQ(group.SetItemImage(2, 4242, CVolMem(), 16, 16, true, false), 2);
    EXPECT_EQ(group.GetPicture(2), nullptr);

    group.RenderAll(24, 0, true);
    EXPECT_EQ(group.GetPictureHeight(3), 24);
    group.fixedWidth = 40;
    group.RecomputeSizes();
    EXPECT_EQ(group.widestPicture, 40);
}

TEST_F(ComboWindow, CaptionBesideSingleAndMultiLineEditFields) {
    rg_DrenvikZuGeKuang1 single, multi;
    single.style = multi.style = 1;
    multi.editField.SetMultiLine(true);
    single.caption = multi.caption = L"A\r\nBB";
    Place(single, form, 10, 50, 2);
    Place(multi, form, 10, 150, 2);
    single.Layout();
    multi.Layout();
    EXPECT_EQ(single.captionHeight, 0);
    EXPECT_GT(single.captionWidth, 0);
    int lineHeight = MeasureTextHeight(multi.drawCanvas, L"BB", multi.fontText);
    EXPECT_EQ(multi.captionWidth, MeasureTextWidth(multi.drawCanvas, L"BB", multi.fontText));
    EXPECT_EQ(multi.captionHeight, 2 * lineHeight + 2);
    // The edit field starts after the caption.
    EXPECT_EQ(single.editField.GetLeft(), single.captionWidth + 2 * 5 + 1);
}

TEST_F(ComboWindow, Screenshot) {
    form.SetVisible(true);
    rg_DrenvikZuGeKuang1 editable, list;
    editable.style = 1;
    editable.caption = L"角色";
    editable.SetListText(L"{参数分隔符}|\r\n你是一个乐于助人的助手\r\n翻译成英文|0|1\r\n[-]\r\n"
                         L"以下预设||-1||1\r\n写一首诗");
    editable.SetItemImage(kRingOff, 0);
    editable.SetItemImage(kRingOn, 1);
    list.numberRows = 1;
    list.SetListText(L"deepseek-r1:7b\r\nqwen2.5:14b|0|1\r\n以下DeepSeek||-1||1\r\n[-]\r\nllama3.2:3b\r\ngemma2:9b");
    list.SetItemImage(kRingOff, 0);
    list.SetItemImage(kRingOn, 1);
    ASSERT_TRUE(editable.CreateInParent(form, 20, 20, 300, 32, 101));
    ASSERT_TRUE(list.CreateInParent(form, 20, 80, 300, 32, 102));
    editable.SelectIndex(1);
    list.SelectIndex(1);
    PumpMessagesFor(50);
    std::wstring closed = SaveScreenOfWindow(form.GetHwnd(), L"kv_combo_closed.png");
    EXPECT_FALSE(closed.empty());

    list.ToggleDropDown();
    list.OnMouseMove(40, 32 + 2 + list.GetRowPitch() * 4 + 3, 0);  // over "llama3.2:3b"
    PumpMessagesFor(50);
    std::wstring open = SaveScreenOfWindow(form.GetHwnd(), L"kv_combo_open.png");
    EXPECT_FALSE(open.empty());
    list.ToggleDropDown();
    editable.ToggleDropDown();
    PumpMessagesFor(50);
    std::wstring editableOpen = SaveScreenOfWindow(form.GetHwnd(), L"kv_combo_editable_open.png");
    EXPECT_FALSE(editableOpen.empty());
    editable.ToggleDropDown();

    // A long list with its scroll bar, the current item scrolled into view.
    rg_DrenvikZuGeKuang1 longList;
    longList.SetListText(Lines(40));
    ASSERT_TRUE(longList.CreateInParent(form, 20, 140, 300, 32, 103));
    longList.SelectIndex(30);
    longList.ToggleDropDown();
    std::wstring scrolled = SaveScreenOfWindow(form.GetHwnd(), L"kv_combo_long_open.png");
    EXPECT_FALSE(scrolled.empty());
    std::printf("screenshots: %ls %ls %ls %ls\n", closed.c_str(), open.c_str(), editableOpen.c_str(), scrolled.c_str());
}

}  // namespace

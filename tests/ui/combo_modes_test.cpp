// The combo box's colour list (with the picker for the free colour), date-time editing from the
// keyboard and the wheel, web addresses opened through the shell seam, and the composed tooltip.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "platform/dpi.h"
#include "platform/seams.h"
#include "support/ui_helpers.h"
#include "ui/colour_picker.h"
#include "ui/combo_box.h"
#include "ui/combo_modes.h"
#include "ui_test_support.h"

namespace {

int ThisYear() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return int(t.wYear);
}

// ---- the arithmetic -------------------------------------------------------------------------------------

TEST(ComboModesLogic, DateTimeFields) {
    struct Case {
        const wchar_t* text;
        int caret;
        int start, end, before, low, high, width;
    };
    const int y = ThisYear();
    const Case cases[] = {
        {L"2024/05/06 07:08:09", 0, 0, 4, -1, 1990, y, 4},
        {L"2024/05/06 07:08:09", 6, 5, 7, 4, 1, 12, 2},
        {L"2024/05/06 07:08:09", 9, 8, 10, 7, 1, 31, 2},
        {L"2024/05/06 07:08:09", 12, 11, 13, 10, 0, 23, 2},
        {L"2024/05/06 07:08:09", 14, 14, 16, 13, 0, 59, 2},
        {L"2024/05/06 07:08:09", 19, 17, 19, 16, 0, 59, 2},
        {L"2024-05-06", 6, 5, 7, 4, 1, 12, 2},
        {L"23:59:59", 0, 0, 2, -1, 0, 23, 2},
        {L"23:59:59", 4, 3, 5, 2, 0, 59, 2},
        {L"23:59:59", 7, 6, 8, 5, 0, 59, 2},
        {L"1/2", 2, 2, 3, 1, 0, 0, 2},  // off the layout: 0..0
        {L"", 0, 0, 0, -1, 1990, y, 4},
    };
    for (const Case& c : cases) {
        DateTimeField f = FindDateTimeField(c.text, c.caret, y);
        SCOPED_TRACE(testing::Message() << CWString(c.text).ToUtf8() << " @" << c.caret);
        EXPECT_EQ(f.start, c.start);
        EXPECT_EQ(f.end, c.end);
        EXPECT_EQ(f.before, c.before);
        EXPECT_EQ(f.low, c.low);
        EXPECT_EQ(f.high, c.high);
        EXPECT_EQ(f.width, c.width);
    }
    EXPECT_EQ(StepDateTimeValue(12, 1, 1, 12), 1);
    EXPECT_EQ(StepDateTimeValue(1990, -1, 1990, 2030), 2030);
    EXPECT_EQ(StepDateTimeValue(5, 1, 0, 0), 0) << "a field off the layout steps to 0";
    EXPECT_EQ(StepDateTimeValue(INT_MAX, 1, 0, INT_MAX), 0) << "no overflow past the top";
}

TEST(ComboModesLogic, ColoursAddressesAndTooltip) {
    EXPECT_EQ(ComboSwatchTextColour(0x00FFFF), 0x000000) << "yellow gets black text";
    EXPECT_EQ(ComboSwatchTextColour(0x800000), 0xFFFFFF) << "dark blue gets white text";
    EXPECT_EQ(ResolveComboColour(-2, 0x123456), 0x123456);
    EXPECT_EQ(ResolveComboColour(-2, -1), 0xFFFFFF);
    EXPECT_EQ(ResolveComboColour(-1, 0), 0xFFFFFF);
    EXPECT_EQ(ResolveComboColour(int(0xFF000000), 0), int(::GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(ResolveComboColour(0x0000FF, 0), 0x0000FF);

    struct Case {
        const wchar_t* text;
        int mode;
        const wchar_t* address;
    };
    const Case cases[] = {
        {L"官网 example.com", 2, L"http://www.example.com"},
        {L"官网 example.com", 1, L"http://example.com"},
        {L"官网 WWW.example.com", 2, L"http://WWW.example.com"},
        {L"  example.com  ", 2, L"http://www.example.com"},
        {L"官网 HTTPS://example.com/a", 2, L"HTTPS://example.com/a"},
        {L"官网 http://x.org", 1, L"http://x.org"},
        {L"a b c", 2, L""},
        {L"   ", 1, L""},
        // Text that only starts like a scheme is no web address: it would reach the shell as a file.
        {L"httpcalc.exe", 1, L"http://httpcalc.exe"},
        {L"工具 http:cmd.exe", 2, L"http://www.http:cmd.exe"},
    };
    for (const Case& c : cases) EXPECT_EQ(ComboItemAddress(c.text, c.mode), c.address) << CWString(c.text).ToUtf8();

    EXPECT_EQ(ComposeComboTooltip(L"说明", 1, 1), L"说明（右击可以打开网址）。如果需要定位上次颜色，按住Ctrl键再弹出列表");
    EXPECT_EQ(ComposeComboTooltip(L"", 0, 1), L"如果需要定位上次颜色，按住Ctrl键再弹出列表");
    EXPECT_EQ(ComposeComboTooltip(L"", 2, 0), L"右击可以打开网址");
    EXPECT_EQ(ComposeComboTooltip(L"说明", 0, 0), L"说明");
}

// ---- on a window ------------------------------------------------------------------------------------------

class ComboModes : public ::testing::Test {
protected:
    void SetUp() override {
        SetDpiFactorsForTest(1.0);
        FakeInput::Install();
        MakeTestForm(form, 400, 300);
        ASSERT_TRUE(form.IsCreated());
    }
    void TearDown() override { FakeInput::Reset(); }

    void Create(rg_DrenvikZuGeKuang1& c, int top = 20) {
        ASSERT_TRUE(c.CreateInParent(form, 10, top, 240, 30, 101));
        PumpMessagesFor(10);
    }

    HiddenTestForm form;
};

rg_DrenvikYanSeXuanZeChuangKouLei* FindColourPicker() {
    rg_DrenvikYanSeXuanZeChuangKouLei* found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND h, LPARAM out) -> BOOL {
            if (auto* p = dynamic_cast<rg_DrenvikYanSeXuanZeChuangKouLei*>(VolControlFromHwnd(h))) {
                *reinterpret_cast<rg_DrenvikYanSeXuanZeChuangKouLei**>(out) = p;
                return FALSE;
            }
            return TRUE;
        },
        LPARAM(&found));
    return found;
}

class EventCounter : public CVolObject, public VolEventReceiver {
public:
    explicit EventCounter(rg_DrenvikZuGeKuang1& c) : VolEventReceiver(this) {
        VOL_BIND(c.ColourChanged, &EventCounter::OnColour);
        VOL_BIND(c.ItemChosen, &EventCounter::OnChosen);
        VOL_BIND(c.RightClick, &EventCounter::OnRight);
    }
    EventCounter(const EventCounter&) = delete;
    void OnColour(CVolObject*) { ++colour; }
    void OnChosen(CVolObject*) { ++chosen; }
    void OnRight(CVolObject*) { ++right; }
    int colour = 0, chosen = 0, right = 0;
};

TEST_F(ComboModes, DateTimeFieldsFromTheKeyboard) {
    rg_DrenvikZuGeKuang1 combo;
    combo.style = 1;
    combo.dateTimeMode = 1;
    Create(combo);
    HWND edit = combo.editField.GetHwnd();
    ASSERT_TRUE(edit);
    const CWString year = CWString::FromInt(ThisYear());
    struct Case {
        const wchar_t* text;
        int caret;
        std::vector<int> keys;
        CWString after;
        int selStart, selEnd;
    };
    const Case cases[] = {
        {L"2024/05/06 07:08:09", 6, {VK_UP}, L"2024/06/06 07:08:09", 5, 7},
        {L"2024/12/06 07:08:09", 6, {VK_UP}, L"2024/01/06 07:08:09", 5, 7},
        {L"1990/05/06 07:08:09", 1, {VK_DOWN}, year + L"/05/06 07:08:09", 0, 4},
        {L"2024/05/06 07:08:09", 12, {VK_LEFT}, L"2024/05/06 07:08:09", 8, 10},
        {L"2024/05/06 07:08:09", 12, {VK_RIGHT}, L"2024/05/06 07:08:09", 14, 16},
        {L"2024/05/06 07:08:09", 18, {VK_RIGHT}, L"2024/05/06 07:08:09", 18, 18},
        {L"2024/05/06 07:08:09", 1, {VK_LEFT}, L"2024/05/06 07:08:09", 1, 1},
        {L"23:59:59", 1, {VK_UP}, L"00:59:59", 0, 2},
        {L"23:59:59", 4, {VK_UP}, L"23:00:59", 3, 5},
        {L"2024/05/06 07:08:09", 6, {'1', '2'}, L"2024/12/06 07:08:09", 5, 7},
        {L"2024/05/06 07:08:09", 6, {'1', '5'}, L"2024/05/06 07:08:09", 5, 7},
        {L"2024/05/06 07:08:09", 6, {'1', '5', '1'}, L"2024/01/06 07:08:09", 5, 7},  // 51 is refused: 1 alone
        {L"1999/05/06 07:08:09", 0, {'2', '0', '2', '4'}, L"2024/05/06 07:08:09", 0, 4},
        {L"1999/05/06 07:08:09", 0, {'2', '0'}, L"0020/05/06 07:08:09", 0, 4},
        {L"2024/05/06 07:08:09", 12, {'x', VK_TAB}, L"2024/05/06 07:08:09", 12, 12},
        {L"1/2", 2, {VK_UP, '7'}, L"1/07", 2, 4},  // off the layout: 0..0 and single digits
        {L"hello 07:08", 2, {VK_UP, VK_DOWN}, L"hello 07:08", 2, 2},  // no number: stepping leaves it alone
        {L"2024/ab/06", 6, {VK_UP}, L"2024/ab/06", 6, 6},
        {L"2024/ab/06", 6, {'3'}, L"2024/03/06", 5, 7},  // typing replaces it
    };
    for (const Case& c : cases) {
        combo.editField.SetText(c.text);
        combo.editField.SetSelection(c.caret, c.caret);
        combo.dateDigitCount = 0;
        for (int key : c.keys) ::SendMessageW(edit, WM_KEYDOWN, WPARAM(key), 0);
        DWORD s = 0, e = 0;
        ::SendMessageW(edit, EM_GETSEL, WPARAM(&s), LPARAM(&e));
        SCOPED_TRACE(testing::Message() << CWString(c.text).ToUtf8() << " @" << c.caret);
        EXPECT_EQ(combo.editField.GetText().ToUtf8(), c.after.ToUtf8());
        EXPECT_EQ(int(s), c.selStart);
        EXPECT_EQ(int(e), c.selEnd);
    }
    // After '1', '5' the 5 waits for a second digit.
    combo.editField.SetText(L"2024/05/06 07:08:09");
    combo.editField.SetSelection(6, 6);
    combo.dateDigitCount = 0;
    ::SendMessageW(edit, WM_KEYDOWN, '1', 0);
    ::SendMessageW(edit, WM_KEYDOWN, '5', 0);
    EXPECT_EQ(combo.dateDigitCount, 1);

    // Typed characters never reach the text; the wheel steps the field; a click selects it.
    combo.editField.SetText(L"2024/05/06 07:08:09");
    combo.editField.SetSelection(6, 6);
    ::SendMessageW(edit, WM_CHAR, 'x', 0);
    EXPECT_EQ(combo.editField.GetText(), L"2024/05/06 07:08:09");
    ::SendMessageW(edit, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(combo.editField.GetText(), L"2024/06/06 07:08:09");
    ::SendMessageW(edit, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    ::SendMessageW(edit, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(combo.editField.GetText(), L"2024/04/06 07:08:09");
    combo.editField.SetSelection(15, 15);
    EXPECT_EQ(combo.EditDateTimeField(-1), 0);
    DWORD s = 0, e = 0;
    ::SendMessageW(edit, EM_GETSEL, WPARAM(&s), LPARAM(&e));
    EXPECT_EQ(int(s), 14);
    EXPECT_EQ(int(e), 16);

    // Nor does the edit field's menu open (it would run its own loop here).
    std::atomic<bool> menuShown{false}, sent{false};
    std::thread closer([&] {  // a menu that opened anyway is closed from outside its loop
        while (!sent) {
            if (HWND menu = ::FindWindowW(L"#32768", nullptr); menu && ::IsWindowVisible(menu)) {
                menuShown = true;
                ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            }
            ::Sleep(20);
        }
    });
    ::SendMessageW(edit, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(edit, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    ::SendMessageW(edit, WM_CONTEXTMENU, WPARAM(edit), MAKELPARAM(-1, -1));
    sent = true;
    closer.join();
    EXPECT_FALSE(menuShown);

    // Without the mode the keys and characters are the edit field's own.
    combo.dateTimeMode = 0;
    combo.editField.SetText(L"ab");
    combo.editField.SetSelection(2, 2);
    ::SendMessageW(edit, WM_CHAR, 'x', 0);
    EXPECT_EQ(combo.editField.GetText(), L"abx");
}

TEST_F(ComboModes, ColourListSelectionAndChoosing) {
    rg_DrenvikZuGeKuang1 combo;
    combo.colourMode = 1;
    combo.SetListText(L"自定义|-2\r\n红色|255\r\n绿色|65280");
    EventCounter events(combo);
    Create(combo);
    EXPECT_EQ(combo.GetItemValue(1), 0x0000FF);

    combo.SetColour(0x00FF00);
    EXPECT_EQ(combo.GetSelectedIndex(), 2);
    EXPECT_EQ(combo.GetColour(), 0x00FF00);
    combo.SetColour(0x123456);
    EXPECT_EQ(combo.GetSelectedIndex(), 0) << "no item has it: the free colour";
    EXPECT_EQ(combo.GetColour(), 0x123456);
    EXPECT_EQ(events.colour, 0) << "setting raises nothing";

    // Choosing a fixed colour from the list.
    combo.ToggleDropDown();
    combo.hotRow = 1;
    combo.ToggleDropDown();
    EXPECT_EQ(combo.customColour, 0x0000FF);
    EXPECT_EQ(combo.GetColour(), 0x0000FF);
    EXPECT_EQ(events.colour, 1);
    EXPECT_EQ(events.chosen, 0) << "a colour list reports colours, not items";

    // The free colour asks the picker, which starts from the current colour.
    auto chooseFreeColour = [&] {
        combo.ToggleDropDown();
        combo.hotRow = 0;
        combo.ToggleDropDown();
    };
    CWString startHex;
    ASSERT_TRUE(OpenWithStep(
        [&] {
            rg_DrenvikYanSeXuanZeChuangKouLei* picker = FindColourPicker();
            if (!picker) return false;
            startHex = picker->hexBox.GetText();
            picker->decimalBox.SetText(L"1193046");  // 0x123456 red first
            ::SendMessageW(picker->decimalBox.GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
            return true;
        },
        chooseFreeColour));
    EXPECT_EQ(startHex, L"#FF0000");
    EXPECT_EQ(combo.GetColour(), 0x563412);
    EXPECT_EQ(combo.GetSelectedIndex(), 0);
    EXPECT_EQ(events.colour, 2);

    // Cancelled: the selection goes back to the current colour and nothing is raised.
    combo.SetColour(0x00FF00);
    ASSERT_TRUE(OpenWithStep(
        [&] {
            rg_DrenvikYanSeXuanZeChuangKouLei* picker = FindColourPicker();
            if (!picker) return false;
            ::SendMessageW(picker->GetHwnd(), WM_ACTIVATE, WA_INACTIVE, 0);
            return true;
        },
        chooseFreeColour));
    EXPECT_EQ(combo.GetColour(), 0x00FF00);
    EXPECT_EQ(combo.GetSelectedIndex(), 2);
    EXPECT_EQ(events.colour, 2);
    EXPECT_EQ(combo.listOpen, 0);
}

// The picker's loop handles every message, so the box can be destroyed (its form closed) before
// the picker returns; nothing of the box may be touched after that.
TEST_F(ComboModes, BoxDestroyedWhileItsPickerIsOpen) {
    alignas(rg_DrenvikZuGeKuang1) unsigned char storage[sizeof(rg_DrenvikZuGeKuang1)];
    rg_DrenvikZuGeKuang1* combo = ::new (storage) rg_DrenvikZuGeKuang1;
    combo->colourMode = 1;
    combo->SetListText(L"自定义|-2\r\n红色|255");
    Create(*combo);
    constexpr unsigned char kFreed = 0x5A;
    bool stillThere = true;
    const bool acted = OpenWithStep(
        [&] {
            rg_DrenvikYanSeXuanZeChuangKouLei* picker = FindColourPicker();
            if (!picker) return false;
            const HWND pickerWindow = picker->GetHwnd();
            combo->~rg_DrenvikZuGeKuang1();
            std::memset(storage, kFreed, sizeof storage);  // what a later write would disturb
            if (::IsWindow(pickerWindow)) ::SendMessageW(pickerWindow, WM_ACTIVATE, WA_INACTIVE, 0);
            return true;
        },
        [&] {
            combo->ToggleDropDown();
            combo->hotRow = 0;
            stillThere = combo->ToggleDropDown();
        });
    if (!acted) {
        combo->~rg_DrenvikZuGeKuang1();
        FAIL() << "the picker never showed";
    }
    EXPECT_FALSE(stillThere);
    EXPECT_TRUE(std::all_of(storage, storage + sizeof storage, [&](unsigned char b) { return b == kFreed; }));
}

TEST_F(ComboModes, RightClickOpensTheAddressThroughTheShell) {
    std::vector<CWString> opened;
    ScopedSeam shell(&PlatformSeams::shellOpen, [&](const CWString& file, const CWString&, int) {
        opened.push_back(file);
        return true;
    });
    rg_DrenvikZuGeKuang1 combo;
    combo.urlMode = 2;
    combo.SetListText(L"官网 example.com\r\n三 个 词\r\nhttpcalc.exe");
    EventCounter events(combo);
    Create(combo);
    combo.OnRightClick(5, 5, 0);
    EXPECT_TRUE(opened.empty()) << "nothing selected";
    combo.SelectIndex(0);
    combo.OnRightClick(5, 5, 0);
    combo.urlMode = 1;
    combo.OnRightClick(5, 5, 0);
    combo.SelectIndex(1);
    combo.OnRightClick(5, 5, 0);
    combo.SelectIndex(2);
    combo.OnRightClick(5, 5, 0);
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], L"http://www.example.com");
    EXPECT_EQ(opened[1], L"http://example.com");
    EXPECT_EQ(opened[2], L"http://httpcalc.exe");
    EXPECT_EQ(events.right, 5);

    // The right button on an open list chooses the row under the mouse first.
    combo.ToggleDropDown();
    combo.hotRow = 0;
    ::SendMessageW(combo.shownCanvas.GetHwnd(), WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(combo.listOpen, 0);
    EXPECT_EQ(combo.GetSelectedIndex(), 0);
    EXPECT_EQ(opened.back(), L"http://example.com");
    combo.disabled = 1;
    combo.OnRightClick(5, 5, 0);
    EXPECT_EQ(events.right, 6) << "nothing while disabled";

    // An editable box is emptied instead.
    rg_DrenvikZuGeKuang1 editable;
    editable.style = 1;
    editable.urlMode = 1;
    editable.SetListText(L"a example.com");
    Create(editable, 80);
    editable.SelectIndex(0);
    editable.OnRightClick(5, 5, 0);
    EXPECT_EQ(editable.editField.GetText(), L"");
    EXPECT_EQ(editable.GetSelectedIndex(), -1);
    EXPECT_EQ(opened.size(), 4u);
}

TEST_F(ComboModes, TooltipCarriesTheModesHints) {
    rg_DrenvikZuGeKuang1 colours;
    colours.colourMode = 1;
    colours.tooltipText = L"之前";
    colours.SetListText(L"自定义|-2\r\n红色|255");
    Create(colours);
    EXPECT_EQ(colours.shownCanvas.GetWindowObject().tipText, L"如果需要定位上次颜色，按住Ctrl键再弹出列表")
        << "a colour list starts with its hint alone";
    colours.urlMode = 1;
    colours.SetTooltip(L"说明");
    EXPECT_EQ(colours.tooltipText, L"说明");
    const CWString composed = L"说明（右击可以打开网址）。如果需要定位上次颜色，按住Ctrl键再弹出列表";
    EXPECT_EQ(colours.shownCanvas.GetWindowObject().tipText, composed);
    // Redrawing the rows away from the mouse keeps the composed text.
    colours.ToggleDropDown();
    colours.OnMouseMove(20, 200, 0);
    colours.OnMouseLeave();
    colours.ToggleDropDown();
    EXPECT_EQ(colours.shownCanvas.GetWindowObject().tipText, composed);
}

TEST_F(ComboModes, ColourListScreenshot) {
    form.SetVisible(true);
    rg_DrenvikZuGeKuang1 combo;
    combo.colourMode = 1;
    combo.SetListText(L"自定义颜色|-2\r\n白色|-1\r\n按钮底色|-16777216\r\n红色|255\r\n黄色|65535\r\n深蓝|8388608\r\n"
                      L"绿色|65280\r\n黑色|0");
    ASSERT_TRUE(combo.CreateInParent(form, 20, 20, 260, 32, 101));
    combo.SetColour(0x3399CC);
    PumpMessagesFor(50);
    combo.ToggleDropDown();
    combo.OnMouseMove(60, 32 + 2 + combo.GetRowPitch() * 3 + 3, 0);  // over "红色"
    PumpMessagesFor(50);
    // The free colour's swatch (value -2) shows the current colour; a fixed one its own.
    const int pitch = combo.GetRowPitch(), firstRowMiddle = 32 + 5 + pitch / 2;
    rg_WeiTuDuiXiangLei picture = combo.shownCanvas.GetPicture();
    EXPECT_EQ(PixelAt(picture, 200, firstRowMiddle), COLORREF(0x3399CC));
    EXPECT_EQ(PixelAt(picture, 200, firstRowMiddle + 6 * pitch), COLORREF(0x00FF00));
    std::wstring shot = SaveScreenOfWindow(form.GetHwnd(), L"kv_combo_colour_list.png");
    EXPECT_FALSE(shot.empty());
    std::printf("screenshot: %ls\n", shot.c_str());
    combo.ToggleDropDown();
}

}  // namespace

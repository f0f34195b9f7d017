// The combo box's list, selection and list geometry, driven without a window.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dpi.h"
#include "ui/combo_box.h"

namespace {

// Counts the combo box's events and answers the ones that can refuse.
class ComboRecorder : public CVolObject, public VolEventReceiver {
public:
    explicit ComboRecorder(rg_DrenvikZuGeKuang1& c) : VolEventReceiver(this), combo_(c) {
        VOL_BIND(c.ItemChosen, &ComboRecorder::OnChosen);
        VOL_BIND(c.DropDownOpening, &ComboRecorder::OnOpening);
        VOL_BIND(c.DropDownClosed, &ComboRecorder::OnClosed);
        VOL_BIND(c.ItemClicking, &ComboRecorder::OnClicking);
        VOL_BIND(c.SelectionChanging, &ComboRecorder::OnChanging);
        VOL_BIND(c.EditItemChosen, &ComboRecorder::OnEditChosen);
    }
    ComboRecorder(const ComboRecorder&) = delete;
    void OnChosen(CVolObject*) { ++chosen; }
    int OnOpening(CVolObject*) { return vetoOpening; }
    void OnClosed(CVolObject*) { ++closed; }
    int OnClicking(CVolObject*, int index) {
        clicking.push_back(index);
        return vetoClick;
    }
    int OnChanging(CVolObject*, const CWString& text) {
        changing.push_back(text);
        if (replacement) combo_.SetListText(std::exchange(replacement, nullptr));
        return vetoChange;
    }
    void OnEditChosen(CVolObject*) { ++editChosen; }

    int chosen = 0, closed = 0, editChosen = 0;
    int vetoOpening = 0, vetoClick = 0, vetoChange = 0;
    std::vector<int> clicking;
    std::vector<CWString> changing;
    const wchar_t* replacement = nullptr;  // a list text that the next SelectionChanging puts in

private:
    rg_DrenvikZuGeKuang1& combo_;
};

CWString Texts(const rg_DrenvikZuGeKuang1& c) {
    CWString all;
    for (int i = 0; i < c.GetItemCount(); ++i) all += (i ? L"," : L"") + c.GetItemText(i);
    return all;
}

TEST(ComboListText, FieldsDefaultsAndSeparatorHeader) {
    struct Case {
        const wchar_t* text;
        const wchar_t* texts;  // item texts joined by ","
        int value, icon, spare, kind;  // of the first item
    };
    const Case cases[] = {
        {L"x{124}y|7", L"x|y", 7, 0, -1, 0},
        {L"以下DeepSeek||-1||1", L"以下DeepSeek", 0, -1, -1, 1},
        {L"deepseek-r1:7b", L"deepseek-r1:7b", 0, 0, -1, 0},
        {L"a\r\n\r\nb", L"a,,b", 0, 0, -1, 0},
        {L"a\nb\nc", L"a", 0, 0, -1, 0},  // LF only: pairs, 'b' is a second field, 'c' dropped
        {L"t| 12abc|x|+4|0x5|extra", L"t", 12, 0, 4, 0},
        {L"{参数分隔符};\r\na;1;2;3;4", L"a", 1, 2, 3, 4},
    };
    for (const Case& c : cases) {
        rg_DrenvikZuGeKuang1 combo;
        combo.SetListText(c.text);
        SCOPED_TRACE(testing::Message() << CWString(c.text).ToUtf8());
        EXPECT_EQ(Texts(combo), c.texts);
        const rg_DrenvikXiangMu* first = combo.GetItem(0);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->groupOrValue, c.value);
        EXPECT_EQ(first->iconIndex, c.icon);
        EXPECT_EQ(first->spareValue, c.spare);
        EXPECT_EQ(first->itemKind, c.kind);
    }
}

TEST(ComboListText, HeaderStaysInForceAndEmptyIconSetting) {
    rg_DrenvikZuGeKuang1 combo;
    combo.SetListText(L"{参数分隔符};\r\na;1;2;3;4");
    EXPECT_EQ(combo.fieldSeparator, L";");
    combo.SetListText(L"b|5");
    EXPECT_EQ(Texts(combo), L"b|5");
    combo.SetListText(L"{参数分隔符}##{参数分隔符}\r\nc##6");
    EXPECT_EQ(combo.fieldSeparator, L"##");
    EXPECT_EQ(combo.GetItemValue(0), 6);
    combo.SetListText(L"{参数分隔符}\r\nd|7");  // a bare header: the whole line is the text
    EXPECT_TRUE(combo.fieldSeparator.empty());
    EXPECT_EQ(Texts(combo), L"d|7");
    EXPECT_EQ(combo.GetItemValue(0), 0);
    // A header only counts on the first line.
    combo.fieldSeparator = L"|";
    combo.SetListText(L"e\r\n{参数分隔符};");
    EXPECT_EQ(combo.GetItemCount(), 2);
    EXPECT_EQ(combo.fieldSeparator, L"|");

    combo.emptyIconIsZero = 0;
    combo.SetListText(L"t");
    EXPECT_EQ(combo.GetItem(0)->iconIndex, -1);
    combo.AddItem(L"u", L"");
    EXPECT_EQ(combo.GetItem(1)->iconIndex, -1);

    EXPECT_EQ(combo.PairLinesToRows(L"A\n1\nB\n2"), L"A|1\r\nB|2");
    EXPECT_EQ(combo.PairLinesToRows(L"A\r1\nB"), L"A|1");
    combo.SetListText(L"");
    EXPECT_EQ(combo.GetItemCount(), 0);
}

TEST(ComboSelection, ReplacingTheListKeepsTheIndex) {
    for (int style : {2, 1}) {
        rg_DrenvikZuGeKuang1 combo;
        combo.style = style;
        combo.SetListText(L"a\r\nb\r\nc\r\nd\r\ne");
        combo.SelectIndex(3);
        EXPECT_EQ(combo.GetCurrentText(), L"d");
        combo.SetListText(L"w\r\nx\r\ny\r\nz");
        EXPECT_EQ(combo.GetSelectedIndex(), 3);
        combo.SetListText(L"p\r\nq");
        SCOPED_TRACE(style);
        EXPECT_EQ(combo.GetSelectedIndex(), -1);
        EXPECT_TRUE(combo.editField.GetText().empty());
        EXPECT_TRUE(combo.GetCurrentText().empty());
        // The request survives: a longer list selects index 3 again.
        combo.SetListText(L"1\r\n2\r\n3\r\n4\r\n5");
        EXPECT_EQ(combo.GetSelectedIndex(), 3);
        EXPECT_EQ(combo.editField.GetText(), L"4");
    }
}

TEST(ComboSelection, ByTextAndChangingEvent) {
    rg_DrenvikZuGeKuang1 combo;
    ComboRecorder events(combo);
    combo.SetListText(L"abc\r\nAbc \r\nxyz");
    combo.SelectByText(L"Abc");
    EXPECT_EQ(combo.GetSelectedIndex(), -1) << "case and blanks count";
    EXPECT_TRUE(combo.GetCurrentText().empty()) << "a drop-down list shows only items";
    EXPECT_EQ(combo.editField.GetText(), L"Abc");
    combo.SelectByText(L"xyz");
    EXPECT_EQ(combo.GetSelectedIndex(), 2);
    EXPECT_EQ(combo.GetCurrentText(), L"xyz");

    combo.style = 1;
    combo.SelectByText(L"free text");
    EXPECT_EQ(combo.GetSelectedIndex(), -1);
    EXPECT_EQ(combo.GetCurrentText(), L"free text");

    events.changing.clear();
    combo.SelectIndex(0);
    EXPECT_EQ(events.changing, std::vector<CWString>{L"abc"});
    combo.SelectIndex(0);  // the edit field already holds it
    EXPECT_EQ(events.changing.size(), 1u);
    events.vetoChange = 1;
    combo.SelectIndex(2);
    EXPECT_EQ(combo.GetSelectedIndex(), 2);
    EXPECT_EQ(combo.editField.GetText(), L"abc") << "a refusing handler keeps the edit text";
    EXPECT_EQ(events.chosen, 0) << "selecting from code is not a choice";

    // A handler that replaces the list while the selection changes: the chosen text still arrives.
    events.vetoChange = 0;
    events.replacement = L"p\r\nq\r\nr";
    combo.SelectIndex(1);
    EXPECT_EQ(combo.editField.GetText(), L"Abc ");
    EXPECT_EQ(combo.GetItemText(1), L"q");
    events.replacement = L"s";
    combo.SelectByText(L"r");
    EXPECT_EQ(combo.editField.GetText(), L"r");
}

TEST(ComboSelection, AddInsertDeleteAndGroups) {
    rg_DrenvikZuGeKuang1 combo;
    combo.AddItem(L"1", L"A");
    combo.AddItem(L"2", L"B");
    combo.AddItem(L"3", L"A");
    combo.AddItem(L"4", L"");
    EXPECT_EQ(combo.GetItemValue(0), 0);
    EXPECT_EQ(combo.GetItemValue(1), 1);
    EXPECT_EQ(combo.GetItemValue(2), 0);
    EXPECT_EQ(combo.GetItemValue(3), 0);
    EXPECT_EQ(combo.GetItem(0)->spareValue, -1);
    EXPECT_EQ(combo.FindSeparatorItem(), -1);

    combo.SelectIndex(1);
    combo.InsertItem(L"0", 3, L"C");
    EXPECT_EQ(Texts(combo), L"0,1,2,3,4");
    EXPECT_EQ(combo.GetItem(0)->iconIndex, 3);
    EXPECT_EQ(combo.GetItemValue(0), 2);
    EXPECT_EQ(combo.GetSelectedIndex(), 1) << "the selection stays an index";

    combo.AddItem(L"[-]", L"");
    EXPECT_EQ(combo.FindSeparatorItem(), 5);
    combo.DeleteItem(9);
    combo.DeleteItem(-1);
    EXPECT_EQ(combo.GetItemCount(), 6);
    combo.DeleteItem(0);
    EXPECT_EQ(Texts(combo), L"1,2,3,4,[-]");
    EXPECT_TRUE(combo.GetItemText(7).empty());
    EXPECT_EQ(combo.GetItemValue(-1), 0);
    // A new list forgets the group names.
    combo.SetListText(L"x");
    combo.AddItem(L"y", L"B");
    EXPECT_EQ(combo.GetItemValue(1), 0);
}

TEST(ComboGeometry, PitchPlacementAndVisibleRows) {
    EXPECT_EQ(ComboRowPitch(0, 20, 5), 25);
    EXPECT_EQ(ComboRowPitch(24, 20, 5), 29);
    EXPECT_EQ(ComboRowPitch(0, 0, 0), 1) << "it is divided by";
    EXPECT_EQ(ComboVisibleRows(220, 5, 25), 8);
    EXPECT_EQ(ComboVisibleRows(220, 0, 0), 220);

    struct Case {
        int parent, top, count;
        int height;
        bool above;
    };
    const Case cases[] = {
        {400, 50, 10, 255, false},
        {400, 300, 10, 255, true},
        {400, 150, 10, 220, false},   // room below 250 < 285, but more than above
        {400, 380, 10, 255, true},
        {400, 390, 100, 390, true},   // above, cut to the room
        {20, 0, 10, 0, true},         // no room at all
        {400, 0, 0, 5, false},        // an empty list is the spacing high
    };
    for (const Case& c : cases) {
        ComboListPlacement p = PlaceComboList(c.parent, c.top, 30, c.count, 25, 5);
        SCOPED_TRACE(testing::Message() << c.parent << "/" << c.top << "/" << c.count);
        EXPECT_EQ(p.listHeight, c.height);
        EXPECT_EQ(p.above, c.above);
    }

    EXPECT_EQ(ComboButtonX(200, 30, false), 200 - 3 - 7);
    EXPECT_EQ(ComboButtonX(200, 30, true), 200 + 3 - 1);
    // Rows of an open list below a 30-pixel top row, pitch 25, spacing 5.
    EXPECT_EQ(ComboHotRow(10, 5, 30, false, 220, 25, 0), -1);
    EXPECT_EQ(ComboHotRow(32, 5, 30, false, 220, 25, 0), 0);
    EXPECT_EQ(ComboHotRow(57, 5, 30, false, 220, 25, 2), 3);
    EXPECT_EQ(ComboHotRow(100, 5, 30, true, 220, 25, 0), 3);
    EXPECT_EQ(ComboHotRow(240, 5, 30, true, 220, 25, 0), -1) << "the top row below an upward list";
    EXPECT_EQ(ComboHotRow(40, 0, 30, false, 0, 0, 0), 10) << "a zero pitch counts as 1";
}

TEST(ComboGeometry, WheelStepsAndRowNumbers) {
    struct Case {
        int selected, count, delta, target;
    };
    const Case cases[] = {
        {0, 5, 120, 4},    // away from the user at the first item wraps to the last
        {4, 5, -120, 0},   // toward the user at the last wraps to the first
        {2, 5, 240, 1},    // two notches in one message: one item
        {2, 5, -360, 3},
        {-1, 5, -120, 0},  // no selection: toward the user selects the first
        {7, 5, -120, 0},   // a selection outside the list counts as none
        {-1, 0, 120, -1},  // nothing to select
    };
    for (const Case& c : cases) EXPECT_EQ(ComboWheelTarget(c.selected, c.count, c.delta), c.target) << c.selected;

    EXPECT_EQ(ComboRowNumber(1, 12, true), L"01.");
    EXPECT_EQ(ComboRowNumber(12, 12, true), L"12.");
    EXPECT_EQ(ComboRowNumber(7, 120, true), L"007.");
    EXPECT_EQ(ComboRowNumber(7, 120, false), L"7.");
}

class ComboDropDownLogic : public ::testing::Test {
protected:
    void SetUp() override {
        SetDpiFactorsForTest(1.0);
        combo.SetListText(L"a\r\n以下组||-1||1\r\n[-]\r\nb\r\nc");
    }
    rg_DrenvikZuGeKuang1 combo;
    ComboRecorder events{combo};
};

TEST_F(ComboDropDownLogic, VetoedOpeningLeavesTheListClosed) {
    events.vetoOpening = 1;
    combo.ToggleDropDown();
    EXPECT_EQ(combo.listOpen, 0);
    events.vetoOpening = 0;
    combo.ToggleDropDown();
    EXPECT_EQ(combo.listOpen, 1);
}

TEST_F(ComboDropDownLogic, ClosingChoosesOnlyNormalItems) {
    for (int row : {1, 2, 9, -1}) {  // group header, separator, outside, nothing under the mouse
        combo.ToggleDropDown();
        combo.hotRow = row;
        combo.ToggleDropDown();
        EXPECT_EQ(combo.listOpen, 0);
        EXPECT_EQ(combo.GetSelectedIndex(), -1) << row;
    }
    EXPECT_TRUE(events.clicking.empty());

    events.vetoClick = 1;
    combo.ToggleDropDown();
    combo.hotRow = 3;
    combo.ToggleDropDown();
    EXPECT_EQ(events.clicking, std::vector<int>{3});
    EXPECT_EQ(combo.GetSelectedIndex(), -1);
    EXPECT_EQ(events.chosen, 0);

    events.vetoClick = 0;
    combo.ToggleDropDown();
    combo.ToggleDropDown();  // hotRow is still 3
    EXPECT_EQ(combo.GetSelectedIndex(), 3);
    EXPECT_EQ(events.chosen, 1);

    combo.style = 1;
    combo.ToggleDropDown();
    combo.hotRow = 4;
    combo.ToggleDropDown();
    EXPECT_EQ(combo.GetCurrentText(), L"c");
    EXPECT_EQ(events.editChosen, 1);
    EXPECT_EQ(events.chosen, 1);
}

TEST_F(ComboDropDownLogic, WheelOverTheClosedControl) {
    combo.OnWheelMessage(MAKEWPARAM(0, 120));
    EXPECT_EQ(combo.GetSelectedIndex(), -1) << "only while the mouse is over it";
    combo.OnMouseMove(5, 5, 0);
    EXPECT_EQ(combo.hovered, 1);
    combo.OnWheelMessage(MAKEWPARAM(0, WORD(-240)));
    EXPECT_EQ(combo.GetSelectedIndex(), 0);
    combo.OnWheelMessage(MAKEWPARAM(0, 120));
    EXPECT_EQ(combo.GetSelectedIndex(), 4);
    EXPECT_EQ(events.chosen, 2);
    combo.OnMouseLeave();
    EXPECT_EQ(combo.hovered, 0);
    combo.OnWheelMessage(MAKEWPARAM(0, 120));
    EXPECT_EQ(combo.GetSelectedIndex(), 4);
}

TEST_F(ComboDropDownLogic, ClickOnTheTextAreaAsksFirst) {
    class Refuser : public CVolObject, public VolEventReceiver {
    public:
        Refuser() : VolEventReceiver(this) {}
        int OnText(CVolObject*) { ++asked; return 1; }
        int asked = 0;
    } refuser;
    combo.TextAreaClicked.Bind(&VolThunk<&Refuser::OnText>::Call, refuser.GetEventTarget());
    combo.Move(0, 0, 200, 30);
    combo.rowHeight = 30;
    combo.noDropButton = 1;  // the button x lies beyond the client width: every click is on the text
    combo.OnCanvasLeftDown(190, 5, 0);
    combo.OnCanvasLeftUp(190, 5, 0);
    EXPECT_EQ(refuser.asked, 1);
    EXPECT_EQ(combo.listOpen, 0);
    combo.TextAreaClicked.Unbind();
    combo.OnCanvasLeftDown(190, 5, 0);
    combo.OnCanvasLeftUp(190, 5, 0);
    EXPECT_EQ(combo.listOpen, 1);
    combo.OnCanvasLeftUp(190, 5, 0);  // a release without its press does nothing
    EXPECT_EQ(combo.listOpen, 1);
}

}  // namespace

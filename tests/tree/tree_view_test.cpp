// The tree box in a window: rows, scrolling, mouse, keys, renaming, tool tips, resizing, pixels.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/dpi.h"
#include "platform/gdiplus_session.h"
#include "tree/tree_box.h"
#include "tree_fixture.h"
#include "ui/svg_drawing.h"
#include "ui/svg_icon_cache.h"
#include "ui/ui_test_support.h"

namespace {

// Records the owner events of a tree box in order, and answers the vetoes.
class Recorder : public CVolObject, public VolEventReceiver {
public:
    Recorder() : VolEventReceiver(this) {}
    Recorder(const Recorder&) = delete;

    void Watch(rg_DrenvikShuXingKuang& t) {
        VOL_BIND(t.selectionChangedEvent, &Recorder::OnSelection);
        VOL_BIND(t.rowClickedEvent, &Recorder::OnClicked);
        VOL_BIND(t.rightClickEvent, &Recorder::OnRight);
        VOL_BIND(t.expandRequestEvent, &Recorder::OnExpandRequest);
        VOL_BIND(t.expandToggledEvent, &Recorder::OnExpandToggled);
        VOL_BIND(t.checkRequestEvent, &Recorder::OnCheckRequest);
        VOL_BIND(t.checkToggledEvent, &Recorder::OnCheckToggled);
        VOL_BIND(t.keyDownEvent, &Recorder::OnKey);
        VOL_BIND(t.hoverEvent, &Recorder::OnHover);
        VOL_BIND(t.editRequestedEvent, &Recorder::OnEditRequested);
        VOL_BIND(t.editFinishedEvent, &Recorder::OnEditFinished);
    }
    std::vector<std::string> Take() { return std::exchange(events, {}); }

    std::vector<std::string> events;
    int expandVeto = 0, checkVeto = 0, editVeto = 0, ownerRenames = 0;

private:
    void Log(std::string s) { events.push_back(std::move(s)); }
    static std::string N(int v) { return std::to_string(v); }
    int OnSelection(CVolObject*, int32_t n, int32_t reason, int32_t same) {
        Log("select " + N(n) + " " + N(reason) + " " + N(same));
        return 0;
    }
    int OnClicked(CVolObject*, int32_t n) { Log("click " + N(n)); return 0; }
    int OnRight(CVolObject*) { Log("right"); return 0; }
    int OnExpandRequest(CVolObject*, int32_t n) { Log("may expand " + N(n)); return expandVeto; }
    int OnExpandToggled(CVolObject*, int32_t n) { Log("expanded " + N(n)); return 0; }
    int OnCheckRequest(CVolObject*, int32_t n) { Log("may check " + N(n)); return checkVeto; }
    int OnCheckToggled(CVolObject*, int32_t n) { Log("checked " + N(n)); return 0; }
    int OnKey(CVolObject*, int32_t key, int32_t mods) { Log("key " + N(key) + " " + N(mods)); return 0; }
    int OnHover(CVolObject*, int32_t n) { Log("hover " + N(n)); return 0; }
    int OnEditRequested(CVolObject*, int32_t n, CWString&) { Log("may edit " + N(n)); return editVeto; }
    int OnEditFinished(CVolObject*, int32_t n, const CWString& before, const CWString& after) {
        Log("edited " + N(n) + " " + ToUtf8(before) + " " + ToUtf8(after));
        return ownerRenames;
    }
    static std::string ToUtf8(const CWString& w) { return std::string(w.begin(), w.end()); }
};

using Events = std::vector<std::string>;

// 0 (open) ─ 1 (open) ─ 2, 3 ; 1 ─ 4 (closed) ─ 5 ; 6 (closed) ─ 7 ; 8
const std::vector<int> kLevels = {0, 1, 2, 2, 1, 2, 0, 1, 0};
const std::vector<int> kStates = {2, 2, 0, 0, 0, 0, 0, 0, 0};

class TreeView : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        gdiplus_ = std::make_unique<GdiplusSession>();
    }
    void TearDown() override {
        FakeInput::Reset();
        SetDpiFactorsForTest(1.0);
    }

    // A tree box of w x h inside a hidden form, filled and shown (the shown event draws it).
    void Open(const std::vector<int>& levels, const std::vector<int>& states, int w = 300, int h = 200) {
        MakeTestForm(form, w + 20, h + 20);
        treetest::Fill(tree, levels, states);
        tree.skipIndexJobs = 1;
        tree.ModifyStyle(WS_VISIBLE, 0);
        ASSERT_TRUE(tree.CreateInParent(form, 0, 0, w, h, 101));
        recorder.Watch(tree);
        tree.SetVisible(true);
        ASSERT_EQ(tree.isShown, 1);
    }
    int RowOf(int node) const {
        for (size_t i = 0; i < tree.rowNodes.size(); ++i)
            if (tree.rowNodes[i] == node) return int(i);
        return -1;
    }
    int MidY(int row) const { return TreeRowTop(row, tree.gap, tree.itemHeight, tree.rowSpacing) + tree.itemHeight / 2; }
    int TextX(int row) const { return tree.rowHitRight[size_t(row)] - 2; }
    void ClickText(int node, int button = 1) {
        const int r = RowOf(node);
        ASSERT_GE(r, 0) << node;
        tree.HandleMouseDown(button, TextX(r), MidY(r));
    }
    int State(int node) {
        rg_ZhengShuShuZuLei loc;
        return tree.GetNodeState(node, loc);
    }
    CWString Text(int node) {
        rg_ZhengShuShuZuLei loc;
        return tree.GetNodeText(node, loc);
    }
    bool EditorShown() const { return (tree.editor.GetStyle() & WS_VISIBLE) != 0; }

    static inline std::unique_ptr<GdiplusSession> gdiplus_;
    HiddenTestForm form;
    rg_DrenvikShuXingKuang tree;
    Recorder recorder;
};

std::vector<int> ManyTopLevelNodes(int n) { return std::vector<int>(size_t(n), 0); }

// ---- layout ---------------------------------------------------------------------------------------

TEST_F(TreeView, RowsFollowExpansion) {
    Open(kLevels, kStates);
    EXPECT_EQ(tree.rowNodes, (rg_ZhengShuShuZuLei{0, 1, 2, 3, 4, 6, 8}));
    EXPECT_EQ(tree.rowUnit, 15);
    EXPECT_EQ(tree.itemHeight, std::max(15, tree.textHeight));
    EXPECT_EQ(tree.rowsFit, TreeRowsFit(tree.GetClientHeight(), tree.itemHeight, tree.rowSpacing));
    // Expanders only where there are children; leaves keep the marker.
    const bool hasExpander[] = {true, true, false, false, true, true, false};
    for (size_t r = 0; r < 7; ++r) EXPECT_EQ(tree.rowExpanderX[r] != kTreeNoColumn, hasExpander[r]) << r;
    EXPECT_EQ(tree.rowExpanderX[1] - tree.rowExpanderX[0], tree.rowUnit + tree.gap);  // one indent per level

    rg_ZhengShuShuZuLei loc;
    tree.SetNodeExpanded(1, 0, 0, loc);  // collapse: its children go
    EXPECT_EQ(tree.rowNodes, (rg_ZhengShuShuZuLei{0, 1, 4, 6, 8}));
    loc.clear();
    tree.SetNodeExpanded(6, 1, 0, loc);
    EXPECT_EQ(tree.rowNodes, (rg_ZhengShuShuZuLei{0, 1, 4, 6, 7, 8}));
    EXPECT_EQ(tree.visibleRowCount, 6);
    // The owner empties the tree: no rows, and nothing breaks.
    tree.nodeBuffer.SetSize(0);
    tree.nodeCount = 0;
    tree.visibleRowIndexBuiltFor = -1;
    tree.RefreshView(-1);
    EXPECT_TRUE(tree.rowNodes.empty());
    EXPECT_EQ(tree.visibleRowCount, 0);
    EXPECT_EQ(tree.verticalBarShown, 0);
}

TEST_F(TreeView, RowsPerPageAtAHigherDpi) {
    SetDpiFactorsForTest(1.25);
    tree.itemHeightSetting = 24;
    Open(ManyTopLevelNodes(30), {}, 300, 200);
    EXPECT_EQ(tree.rowUnit, 19);
    EXPECT_EQ(tree.itemHeight, std::max(30, tree.textHeight));
    const int step = tree.itemHeight + tree.rowSpacing;
    EXPECT_EQ(tree.rowsFit, (tree.GetClientHeight() + step - 1) / step);
    EXPECT_EQ(int(tree.rowNodes.size()), tree.rowsFit);
}

TEST_F(TreeView, CountsTextEventAndCheckColumns) {
    tree.countLevel = 0;
    tree.showCheckBoxes = 1;
    tree.levelWithoutCheckBox = 0;
    Open(kLevels, kStates);
    // Top-level rows have no box; deeper ones do, except a node whose check byte is 3.
    EXPECT_EQ(tree.rowCheckBoxX[0], kTreeNoColumn);
    EXPECT_NE(tree.rowCheckBoxX[1], kTreeNoColumn);
    rg_ZhengShuShuZuLei loc;
    tree.SetNodeChecked(2, 3, 0, loc);
    EXPECT_EQ(tree.rowCheckBoxX[2], kTreeNoColumn);
    EXPECT_NE(tree.rowCheckBoxX[3], kTreeNoColumn);
    // " (5)" widens node 0's row; node 8 (no descendants) gets no suffix.
    EXPECT_GT(tree.rowHitRight[0] - tree.rowHitLeft[0], tree.rowHitRight[6] - tree.rowHitLeft[6] + 10);
}

// ---- scrolling ------------------------------------------------------------------------------------

TEST_F(TreeView, WheelAndBarScrollByRowsAndClamp) {
    Open(ManyTopLevelNodes(40), {}, 300, 200);
    ASSERT_EQ(tree.verticalBarShown, 1);
    EXPECT_TRUE(tree.verticalBar.IsVisible() || !tree.IsVisible());
    EXPECT_EQ(tree.verticalBar.maximum, 40 - tree.rowsFit + 2);
    tree.OnWheel(-1);  // one notch towards the user
    EXPECT_EQ(tree.verticalBar.position, 2);
    EXPECT_EQ(tree.topNode, 1);
    ::SendMessageW(tree.surface.GetHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-240)), 0);  // through the window
    EXPECT_EQ(tree.topNode, 3);
    EXPECT_EQ(tree.rowNodes.front(), 3);
    tree.OnWheel(100);
    EXPECT_EQ(tree.verticalBar.position, 1);
    EXPECT_EQ(tree.topNode, 0);
    tree.OnWheel(-1000);
    EXPECT_EQ(tree.verticalBar.position, tree.verticalBar.maximum);
    EXPECT_EQ(tree.topNode, tree.verticalBar.maximum - 1);
    // The bar itself: position p puts visible row p first.
    tree.verticalBar.SetPosition(5);
    EXPECT_EQ(tree.topNode, 4);
}

TEST_F(TreeView, FewRowsHideTheBarAndResetTheTop) {
    Open(ManyTopLevelNodes(3), {}, 300, 200);
    EXPECT_EQ(tree.verticalBarShown, 0);
    EXPECT_EQ(tree.verticalBar.position, 1);
    tree.OnWheel(-3);  // no bar: no scrolling
    EXPECT_EQ(tree.topNode, 0);
    tree.RefreshView(2);  // a top node below the first row goes back to 0 with the bar hidden
    EXPECT_EQ(tree.topNode, 0);
    EXPECT_EQ(tree.rowNodes, (rg_ZhengShuShuZuLei{0, 1, 2}));
}

TEST_F(TreeView, WideRowsShowTheHorizontalBar) {
    std::wstring wide(120, L'w');
    MakeTestForm(form, 240, 220);
    tree.skipIndexJobs = 1;
    tree.AddNode(L"short", 0, 0, 0, 0);
    tree.AddNode(wide, 0, 0, 0, 0);
    tree.ModifyStyle(WS_VISIBLE, 0);
    ASSERT_TRUE(tree.CreateInParent(form, 0, 0, 200, 200, 101));
    recorder.Watch(tree);
    tree.SetVisible(true);
    ASSERT_EQ(tree.horizontalBarShown, 1);
    const int canvasWidth = tree.canvas.GetWidth();
    EXPECT_GT(canvasWidth, tree.GetClientWidth());
    EXPECT_EQ(tree.surface.GetWidth(), canvasWidth);
    EXPECT_EQ(tree.horizontalBar.maximum,
              TreeHorizontalBarMaximum(canvasWidth, 0, tree.GetClientWidth(), tree.textHeight));
    // The cut-off row gets its text as tool tip, the short one none.
    EXPECT_EQ(tree.rowTips[0], L"");
    EXPECT_EQ(tree.rowTips[1], wide);
    tree.TrackHotRow(&tree.surface, TextX(1), MidY(1));
    EXPECT_EQ(tree.surface.GetWindowObject().tipText, wide);
    EXPECT_EQ(recorder.Take(), (Events{"hover 1"}));
    tree.TrackHotRow(&tree.surface, TextX(0), MidY(0));
    EXPECT_EQ(tree.surface.GetWindowObject().tipText, L"");
    // Alt+Right scrolls by one text height and expands nothing.
    tree.selectedNode = 0;
    tree.HandleKeyDown(39, 0x4000);
    EXPECT_EQ(tree.surface.GetLeft(), -tree.textHeight);
    EXPECT_EQ(State(0), 0);
    tree.horizontalBar.SetPosition(tree.horizontalBar.maximum);  // the end aligns the right edges
    EXPECT_EQ(tree.surface.GetLeft() + canvasWidth, tree.GetClientWidth());
    tree.HandleKeyDown(37, 0x4000);
    EXPECT_EQ(tree.horizontalBar.position, tree.horizontalBar.maximum - 1);
}

TEST_F(TreeView, ARangeThatShrinksUnderTheBarMovesTheRows) {
    // Ten top-level nodes, the last with 30 children; scrolled to the end, among the children.
    std::vector<int> levels(10, 0);
    levels.insert(levels.end(), 30, 1);
    std::vector<int> states(10, 0);
    states[9] = 2;
    Open(levels, states, 300, 200);
    tree.OnWheel(-1000);
    ASSERT_EQ(tree.verticalBar.position, tree.verticalBar.maximum);
    ASSERT_GT(tree.topNode, 9);
    rg_ZhengShuShuZuLei loc;
    tree.SetNodeExpanded(9, 0, 0, loc);  // 10 rows left: the bar clamps its position
    EXPECT_EQ(tree.topNode, tree.GetVisibleRowEntry(tree.verticalBar.position));
    EXPECT_LT(tree.topNode, 9);
    EXPECT_EQ(tree.rowNodes.back(), 9);
    // A thumb drag that ended while the range grew at the end goes to the new end.
    tree.verticalBarAtEnd = 1;
    tree.verticalBar.SetPosition(1);
    tree.OnBarDragEnded(&tree.verticalBar);
    EXPECT_EQ(tree.verticalBarAtEnd, 0);
    EXPECT_EQ(tree.verticalBar.position, tree.verticalBar.maximum);
    EXPECT_EQ(tree.topNode, tree.GetVisibleRowEntry(tree.verticalBar.maximum));
}

TEST_F(TreeView, ACanvasBeyondItsLimitEndsThePass) {
    tree.leftOffset = 70000;  // rows far to the right: the canvas stops at 65535 (or where the system stops it)
    Open(kLevels, kStates, 200, 200);
    EXPECT_LE(tree.canvas.GetWidth(), kTreeMaxCanvasWidth);
    EXPECT_EQ(tree.rowNodes.size(), 7u);
    EXPECT_EQ(tree.rowTips[0], L"n0");  // nothing of it is visible
}

TEST_F(TreeView, OwnerHooksAndLooks) {
    struct Hooks : CVolObject, VolEventReceiver {
        Hooks() : VolEventReceiver(this) {}
        int OnRowText(CVolObject*, int32_t n, CWString& text) {
            if (n == 2) text = L"renamed by the owner, and long enough to be cut off in this narrow box";
            return 0;
        }
        int OnHidden(CVolObject*) { ++hidden; return 0; }
        int OnDropped(CVolObject*, const rg_WenBenShuZuLei& files) { dropped = files; return 0; }
        int hidden = 0;
        rg_WenBenShuZuLei dropped;
    } hooks;
    tree.rowTextEvent.Bind(&VolThunk<&Hooks::OnRowText>::Call, hooks.GetEventTarget());
    tree.hiddenEvent.Bind(&VolThunk<&Hooks::OnHidden>::Call, hooks.GetEventTarget());
    tree.filesDroppedEvent.Bind(&VolThunk<&Hooks::OnDropped>::Call, hooks.GetEventTarget());
    tree.raiseRowTextEvent = 1;
    tree.raiseSelectedBackEvent = 1;  // nobody answers: the selected text's background reads 0
    Open(kLevels, kStates, 200, 200);
    EXPECT_EQ(tree.rowTips[size_t(RowOf(2))], L"renamed by the owner, and long enough to be cut off in this narrow box");
    ClickText(3);
    rg_WeiTuDuiXiangLei picture = tree.canvas.GetPicture();
    int r = RowOf(3);
    int y = TreeRowTop(r, tree.gap, tree.itemHeight, tree.rowSpacing) + TreeCentreOffset(tree.itemHeight, tree.textHeight);
    EXPECT_EQ(PixelAt(picture, tree.rowHitLeft[size_t(r)], y), COLORREF(0));
    EXPECT_EQ(PixelAt(picture, tree.rowHitLeft[size_t(r)] - 1, y), COLORREF(0xC06000));
    // The disabled look: grey background, no selection rectangle.
    tree.disabledLook = 1;
    tree.RefreshView(-1);
    picture = tree.canvas.GetPicture();
    EXPECT_EQ(PixelAt(picture, tree.rowHitLeft[size_t(r)] - 1, y), COLORREF(0xECECEC));
    EXPECT_EQ(PixelAt(picture, 2, 2), COLORREF(0xECECEC));
    // Dropped files come as one list after the last.
    tree.dropTarget.FileDropped.Raise(&tree.dropTarget, 2, 0, CWString(L"C:\\a.txt"), CWString(L".txt"));
    EXPECT_TRUE(hooks.dropped.empty());
    tree.dropTarget.FileDropped.Raise(&tree.dropTarget, 2, 1, CWString(L"C:\\b"), CWString());
    EXPECT_EQ(hooks.dropped, (rg_WenBenShuZuLei{L"C:\\a.txt", L"C:\\b"}));
    // Hidden: no drawing until shown again.
    tree.SetVisible(false);
    EXPECT_EQ(tree.isShown, 0);
    EXPECT_EQ(hooks.hidden, 1);
    tree.showCheckBoxes = 1;
    tree.RefreshView(-1);
    EXPECT_EQ(tree.checkBoxSize, 0);
    tree.SetVisible(true);
    EXPECT_EQ(tree.checkBoxSize, tree.rowUnit);
}

// ---- mouse ----------------------------------------------------------------------------------------

TEST_F(TreeView, ClicksSelectAndReport) {
    Open(kLevels, kStates);
    ClickText(2);
    EXPECT_EQ(tree.selectedNode, 2);
    EXPECT_EQ(recorder.Take(), (Events{"select 2 1 0", "click 2"}));
    ClickText(3, -1);
    EXPECT_EQ(recorder.Take(), (Events{"select 3 3 0", "right"}));
    ClickText(3);  // already selected: no selection event
    EXPECT_EQ(recorder.Take(), (Events{"click 3"}));
    tree.reportSameSelection = 1;
    ClickText(3);
    EXPECT_EQ(recorder.Take(), (Events{"select 3 1 1", "click 3"}));
    // Beside every row, below the last one, above the first: only the empty click.
    const int last = int(tree.rowNodes.size());
    tree.HandleMouseDown(1, tree.GetClientWidth() - 2, MidY(0));
    tree.HandleMouseDown(1, TextX(0), MidY(last + 2));
    tree.HandleMouseDown(1, TextX(0), -500);
    EXPECT_EQ(recorder.Take(), (Events{"click -1", "click -1", "click -1"}));
    EXPECT_EQ(tree.selectedNode, 3);
    tree.clearSelectionOnEmptyClick = 1;
    tree.HandleMouseDown(1, tree.GetClientWidth() - 2, MidY(0));
    EXPECT_EQ(recorder.Take(), (Events{"click -1", "select -1 1 0"}));
    EXPECT_EQ(tree.selectedNode, -1);
    // A real press on the surface reaches the same handler.
    const int r = RowOf(8);
    ::SendMessageW(tree.surface.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(TextX(r), MidY(r)));
    EXPECT_EQ(tree.selectedNode, 8);
}

TEST_F(TreeView, ExpanderAndCheckBoxClicks) {
    tree.showCheckBoxes = 1;
    Open(kLevels, kStates);
    const int r = RowOf(4);
    const int ex = tree.rowExpanderX[size_t(r)];
    tree.HandleMouseDown(1, ex, MidY(r));  // the left edge itself is outside
    EXPECT_EQ(State(4), 0);
    recorder.Take();
    recorder.expandVeto = 1;
    tree.HandleMouseDown(1, ex + 1, MidY(r));
    EXPECT_EQ(State(4), 0);
    EXPECT_EQ(recorder.Take(), (Events{"may expand 4"}));
    recorder.expandVeto = 0;
    tree.HandleMouseDown(1, ex + 1, MidY(r));
    EXPECT_EQ(State(4), 2);
    EXPECT_EQ(recorder.Take(), (Events{"may expand 4", "expanded 4"}));
    EXPECT_EQ(tree.rowNodes[size_t(r) + 1], 5);

    const int cx = tree.rowCheckBoxX[size_t(r)];
    ASSERT_NE(cx, kTreeNoColumn);
    rg_ZhengShuShuZuLei loc;
    recorder.checkVeto = 1;
    tree.HandleMouseDown(1, cx + tree.rowUnit / 2, MidY(r));
    EXPECT_EQ(tree.GetNodeCheck(4, loc), 0);
    recorder.checkVeto = 0;
    tree.HandleMouseDown(1, cx + tree.rowUnit / 2, MidY(r));
    loc.clear();
    EXPECT_EQ(tree.GetNodeCheck(4, loc), 1);
    tree.HandleMouseDown(1, cx + tree.rowUnit / 2, MidY(r));
    loc.clear();
    EXPECT_EQ(tree.GetNodeCheck(4, loc), 0);  // check kind 2 cycles 0, 1
    EXPECT_EQ(recorder.Take(), (Events{"may check 4", "may check 4", "checked 4", "may check 4", "checked 4"}));
    EXPECT_EQ(tree.selectedNode, -1);  // none of this selects
}

TEST_F(TreeView, DoubleClickTogglesTheRowUnderThePointer) {
    Open(kLevels, kStates);
    const int r = RowOf(6);
    ::SendMessageW(tree.surface.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(TextX(r), MidY(r)));
    ::SendMessageW(tree.surface.GetHwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(TextX(r), MidY(r)));
    EXPECT_EQ(State(6), 2);
    EXPECT_EQ(tree.rowNodes, (rg_ZhengShuShuZuLei{0, 1, 2, 3, 4, 6, 7, 8}));
    EXPECT_EQ(recorder.Take(), (Events{"select 6 1 0", "click 6", "may expand 6"}));
    // On the expander, outside the text, or while renaming: nothing.
    tree.OnRowTextClick(tree.rowExpanderX[size_t(r)] + 1);
    tree.OnRowTextClick(tree.GetClientWidth() - 1);
    tree.isEditing = 1;
    tree.OnRowTextClick(TextX(r));
    tree.isEditing = 0;
    EXPECT_EQ(State(6), 2);
    recorder.expandVeto = 1;
    tree.OnRowTextClick(TextX(r));
    EXPECT_EQ(State(6), 2);
    // A pointer row past the drawn rows is ignored.
    tree.pointerRow = 99;
    recorder.expandVeto = 0;
    tree.OnRowTextClick(TextX(r));
    EXPECT_EQ(State(6), 2);
}

// ---- keys -----------------------------------------------------------------------------------------

TEST_F(TreeView, ArrowKeysMoveAndWrap) {
    Open(kLevels, kStates);
    tree.HandleKeyDown(40, 0);  // nothing selected: the second visible row
    EXPECT_EQ(tree.selectedNode, 1);
    EXPECT_EQ(recorder.Take(), (Events{"select 1 2 0", "key 40 0"}));
    EXPECT_EQ(tree.selectionReason, 0);
    tree.selectedNode = -1;
    tree.HandleKeyDown(38, 0);
    EXPECT_EQ(tree.selectedNode, 8);  // Up with nothing: the last
    tree.HandleKeyDown(40, 0);
    EXPECT_EQ(tree.selectedNode, 0);  // Down on the last: the first
    tree.HandleKeyDown(38, 0);
    EXPECT_EQ(tree.selectedNode, 8);
    tree.HandleKeyDown(38, 0);
    EXPECT_EQ(tree.selectedNode, 6);  // 7 is hidden under the closed 6
    tree.selectedNode = 77;           // a stale selection reads as none
    tree.HandleKeyDown(40, 0);
    EXPECT_EQ(tree.selectedNode, 1);
    // A move still running drops the next one, without a key event.
    recorder.Take();
    tree.arrowKeysReady = 0;
    tree.HandleKeyDown(40, 0);
    EXPECT_EQ(tree.selectedNode, 1);
    EXPECT_TRUE(recorder.Take().empty());
}

TEST_F(TreeView, LeftRightAndOtherKeys) {
    Open(kLevels, kStates);
    tree.selectedNode = 6;
    tree.HandleKeyDown(39, 0);
    EXPECT_EQ(State(6), 2);
    EXPECT_EQ(RowOf(7), RowOf(6) + 1);
    tree.HandleKeyDown(37, 0);
    EXPECT_EQ(State(6), 0);
    EXPECT_EQ(RowOf(7), -1);
    EXPECT_EQ(recorder.Take(), (Events{"may expand 6", "key 39 0", "may expand 6", "key 37 0"}));  // no toggled event
    tree.selectedNode = 8;  // a leaf still gets its bit
    tree.HandleKeyDown(39, 0);
    EXPECT_EQ(State(8), 2);
    recorder.expandVeto = 1;
    tree.HandleKeyDown(37, 0);
    EXPECT_EQ(State(8), 2);
    recorder.Take();
    // Page, Home, End, Space, Enter, Escape: only the owner hears them.
    for (int key : {33, 34, 35, 36, 32, 13, 27}) tree.HandleKeyDown(key, 0);
    EXPECT_EQ(tree.selectedNode, 8);
    EXPECT_EQ(recorder.Take(), (Events{"key 33 0", "key 34 0", "key 35 0", "key 36 0", "key 32 0", "key 13 0",
                                       "key 27 0"}));
    // A real key on the surface takes the same way.
    ::SendMessageW(tree.surface.GetHwnd(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(tree.selectedNode, 6);
}

TEST_F(TreeView, EmptyTreeTakesKeysAndClicksSafely) {
    Open({}, {});
    EXPECT_TRUE(tree.rowNodes.empty());
    tree.HandleKeyDown(40, 0);  // no rows: no move and no key event
    tree.HandleKeyDown(38, 0);
    EXPECT_TRUE(recorder.Take().empty());
    tree.HandleKeyDown(113, 0);  // F2 without selection
    tree.HandleKeyDown(39, 0);
    EXPECT_EQ(recorder.Take(), (Events{"key 113 0", "key 39 0"}));
    EXPECT_FALSE(EditorShown());
    tree.HandleMouseDown(1, 30, 10);
    tree.OnRowTextClick(30);
    tree.TrackHotRow(&tree.surface, 30, 10);
    EXPECT_EQ(tree.BeginEditNode(0, 0), 0);
    EXPECT_EQ(recorder.Take(), (Events{"click -1"}));
}

// ---- renaming -------------------------------------------------------------------------------------

TEST_F(TreeView, RenameCommittedWithEnter) {
    Open(kLevels, kStates);
    tree.selectedNode = 2;
    tree.HandleKeyDown(113, 0);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(tree.isEditing, 1);
    EXPECT_EQ(tree.editor.GetText(), L"n2");
    EXPECT_EQ(tree.editor.tag, 2);
    EXPECT_EQ(tree.editor.GetTop(), TreeRowTop(RowOf(2), tree.gap, tree.itemHeight, tree.rowSpacing));
    tree.editor.SetText(L"a longer name");
    ::SendMessageW(tree.editor.GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(tree.isEditing, 0);
    EXPECT_EQ(Text(2), L"a longer name");
    EXPECT_EQ(Text(3), L"n3");
    EXPECT_EQ(recorder.Take(), (Events{"may edit 2", "key 113 0", "edited 2 n2 a longer name"}));
    // The owner handled it: the store keeps its text.
    recorder.ownerRenames = 1;
    tree.BeginEditNode(2, -1);
    tree.editor.SetText(L"other");
    tree.EndInPlaceEdit(&tree.editor);
    EXPECT_EQ(Text(2), L"a longer name");
}

TEST_F(TreeView, RenameRefusedOrEscapedOrStale) {
    Open(kLevels, kStates);
    EXPECT_EQ(tree.BeginEditNode(2, 50), 0);  // a row past the drawn ones
    EXPECT_EQ(tree.isEditing, 0);
    EXPECT_FALSE(EditorShown());
    tree.selectedNode = 3;
    recorder.editVeto = 1;
    EXPECT_EQ(tree.BeginEditNode(3, -1), 0);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(tree.isEditing, 0);
    recorder.editVeto = 0;
    // Escape does not cancel: losing the focus commits.
    ASSERT_EQ(tree.BeginEditNode(3, -1), 1);
    tree.editor.SetText(L"kept");
    ::SendMessageW(tree.editor.GetHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(EditorShown());
    tree.surface.SetFocus();
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(Text(3), L"kept");
    // Only the editor's own events end an edit.
    ASSERT_EQ(tree.BeginEditNode(3, -1), 1);
    tree.EndInPlaceEdit(&tree.surface);
    EXPECT_TRUE(EditorShown());
    // The tree changes shape while the editor is open: the rename must not land on another node.
    tree.editor.SetText(L"lost");
    rg_ZhengShuShuZuLei loc;
    tree.InsertNodes(2, 0, CVolMem(), 1, loc);  // node 3 is now what was node 4
    recorder.Take();
    tree.EndInPlaceEdit(&tree.editor);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(tree.isEditing, 0);
    EXPECT_EQ(Text(2), L"kept");
    EXPECT_EQ(Text(3), L"n4");
    EXPECT_TRUE(recorder.Take().empty());
}

TEST_F(TreeView, F2ScrollsAnUnseenNodeIntoViewFirst) {
    Open(ManyTopLevelNodes(40), {}, 300, 200);
    tree.selectedNode = 30;
    tree.HandleKeyDown(113, 0);
    ASSERT_TRUE(EditorShown());
    const int r = RowOf(30);
    ASSERT_GE(r, 0);
    EXPECT_EQ(tree.editor.GetTop(), TreeRowTop(r, tree.gap, tree.itemHeight, tree.rowSpacing));
    EXPECT_LT(tree.editor.GetTop() + tree.editor.GetHeight(), tree.GetClientHeight() + tree.itemHeight);
    EXPECT_EQ(tree.editor.GetText(), L"n30");
    // Scrolling takes the focus from the editor, which commits.
    tree.editor.SetText(L"scrolled");
    tree.OnWheel(1);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(Text(30), L"scrolled");
}

TEST_F(TreeView, ClickToRenameAfterTheDelay) {
    tree.clickToRename = 1;
    Open(kLevels, kStates);
    ClickText(2);
    const int r = RowOf(2);
    tree.HandleMouseUp(TextX(r), MidY(r));
    EXPECT_EQ(tree.renameTimer.GetInterval(), 0);  // first click only selects
    ClickText(2);
    EXPECT_EQ(tree.renamePending, 1);
    tree.HandleMouseUp(TextX(r), MidY(r + 1));  // released on another row: called off
    EXPECT_EQ(tree.renamePending, 0);
    ClickText(2);
    tree.HandleMouseUp(TextX(r), MidY(r));
    EXPECT_EQ(tree.renameTimer.GetInterval(), 200);
    ASSERT_TRUE(PumpUntil([&] { return EditorShown(); }, 2000));
    EXPECT_EQ(tree.editor.tag, 2);
    tree.EndInPlaceEdit(&tree.editor);
    // A double click within the delay toggles instead.
    ClickText(1);
    ClickText(1);
    tree.HandleMouseUp(TextX(RowOf(1)), MidY(RowOf(1)));
    tree.OnRowTextClick(TextX(RowOf(1)));
    EXPECT_EQ(State(1), 0);
    PumpMessagesFor(300);
    EXPECT_FALSE(EditorShown());
}

// ---- resizing -------------------------------------------------------------------------------------

TEST_F(TreeView, ClicksAndRenamingLeaveTheKeysWithTheTree) {
    Open(kLevels, kStates);
    const HWND board = tree.surface.GetHwnd();
    for (int button : {1, -1}) {
        SCOPED_TRACE(button);
        ::SetFocus(tree.verticalBar.GetHwnd());
        ClickText(2, button);
        EXPECT_EQ(::GetFocus(), board);
    }
    tree.HandleKeyDown(113, 0);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(::GetFocus(), tree.editor.GetHwnd());
    tree.editor.SetText(L"renamed");
    ::SendMessageW(tree.editor.GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(Text(2), L"renamed");
    EXPECT_EQ(::GetFocus(), board);
    recorder.Take();
    ::SendMessageW(::GetFocus(), WM_KEYDOWN, VK_F5, 0);
    EXPECT_EQ(recorder.Take(), (Events{"key 116 0"}));
}

// ---- edits under the view -------------------------------------------------------------------------

TEST_F(TreeView, SameLengthReplaceKeepsEveryRowReachable) {
    Open(kLevels, kStates);
    // Nodes 2 and 3 (68 bytes) become one record of the same length: the rows change, the length not.
    CVolMem block;
    tree.WriteNodeRecord(block, std::wstring(19, L'w'), 1, 1, 2);
    const size_t before = tree.nodeBuffer.GetSize();
    rg_ZhengShuShuZuLei loc;
    ASSERT_EQ(tree.InsertNodes(1, 1, block, 1, loc), 2);
    ASSERT_EQ(tree.nodeBuffer.GetSize(), before);
    EXPECT_EQ(tree.visibleRowCount, 6);
    EXPECT_EQ(tree.rowNodes, (rg_ZhengShuShuZuLei{0, 1, 2, 3, 5, 7}));
    std::vector<int> walked;
    tree.selectedNode = 0;
    for (int i = 0; i < 6; ++i) {
        tree.HandleKeyDown(40, 0);
        walked.push_back(tree.selectedNode);
    }
    EXPECT_EQ(walked, (std::vector<int>{1, 2, 3, 5, 7, 0}));
    EXPECT_EQ(tree.GetVisibleRowEntry(6), 7);
}

TEST_F(TreeView, ExpandAncestorsReadsCurrentRows) {
    Open(ManyTopLevelNodes(60), {}, 300, 200);
    // Thirty hidden children under node 0, inserted without a refresh: old node 15 is now 45, on row 16.
    CVolMem block;
    for (int i = 0; i < 30; ++i) tree.WriteNodeRecord(block, L"c" + std::to_wstring(i), 1, 1, 1);
    rg_ZhengShuShuZuLei loc;
    ASSERT_EQ(tree.InsertNodes(0, 1, block, 30, loc), 0);
    loc.clear();
    tree.ExpandAncestors(45, loc);
    EXPECT_GE(RowOf(45), 0);
    EXPECT_EQ(tree.visibleRowCount, 60);
    EXPECT_EQ(tree.GetVisibleRowEntry(tree.verticalBar.position), tree.topNode);  // bar and rows agree
    EXPECT_LE(tree.verticalBar.position, 16);
}

// The rows the view keeps up to date by patching (expand, collapse, replacements) and the rows
// collected through the indexes are always the rows a full scan finds.
TEST_F(TreeView, PatchedRowsMatchAFullScan) {
    std::mt19937 rng(7);
    const std::vector<int> levels = treetest::RandomLevels(rng, 400, 6);
    std::vector<int> states;
    for (size_t i = 0; i < levels.size(); ++i) states.push_back(int(rng() % 4));
    Open(levels, states, 300, 200);
    tree.skipIndexJobs = 0;
    auto scanRows = [&] {
        rg_DrenvikShuXingKuang plain;  // no index: the scan path
        plain.nodeBuffer = tree.nodeBuffer;
        plain.nodeCount = tree.nodeCount;
        CVolMem rows;
        rg_ZhengShuShuZuLei loc;
        plain.CollectVisibleRows(-1, loc, rows);
        return rows;
    };
    for (int step = 0; step < 120; ++step) {
        SCOPED_TRACE(step);
        if (step % 3 == 0) {
            ASSERT_TRUE(treetest::BuildIndexes(tree));
        }
        const int node = int(rng() % unsigned(tree.nodeCount));
        rg_ZhengShuShuZuLei loc;
        switch (rng() % 3) {
        case 0: tree.SetNodeExpanded(node, 0, 1, loc); break;
        default: {
            const int mode = int(rng() % 3);
            const int level = treetest::Level(tree, node) + (mode == 0 ? 0 : 1);
            CVolMem block;
            int prev = level - 1;
            const int count = int(rng() % 5);
            for (int k = 0; k < count; ++k) {
                int l = k == 0 ? level : level + int(rng() % unsigned(prev - level + 2));
                if (step % 17 == 0 && k == 1) l = level - 1;  // now and then a block of another shape
                tree.WriteNodeRecord(block, L"b" + std::to_wstring(k), 1, 1, std::max(0, l));
                prev = std::max(0, l);
            }
            // Some block records expanded, some not.
            for (long long pos = 0; (pos = block.FindBytes("\x01\x02\x03\x04", 4, size_t(pos))) >= 0; pos += 4)
                block.GetPtr()[pos + 20] = uint8_t(rng() % 4);
            if (tree.nodeCount - count < 50 && mode == 0) break;  // keep the tree from running dry
            tree.InsertNodes(node, mode, block, count, loc);
            tree.RefreshView(-1);
            break;
        }
        }
        if (tree.nodeCount == 0) break;
        const CVolMem expected = scanRows();
        EXPECT_TRUE(tree.visibleRowIndex == expected);
        EXPECT_EQ(int64_t(tree.visibleRowCount), (int64_t(expected.GetSize()) - 2) / 6);
        if (treetest::AllIndexesCurrent(tree)) {
            CVolMem indexed;
            tree.CollectVisibleRows(-1, loc, indexed);
            EXPECT_TRUE(indexed == expected);
        }
    }
}

// The selection names the same node after a replacement, and the event reports that index.
TEST(TreeSelection, InsertNodesKeepsTheSelectedNode) {
    struct Case {
        const char* what;
        int selected, node, mode;
        std::vector<int> blockLevels;
        int expected;
        Events events;
    };
    const Case cases[] = {
        {"after the range", 8, 1, 1, {2}, 7, {"select 7 0 0"}},
        {"inside the range", 3, 1, 1, {2}, 1, {"select 1 0 0"}},
        {"inside a replaced node", 5, 4, 0, {1, 2, 2}, 4, {"select 4 0 0"}},
        {"the node deleted", 2, 1, 0, {}, -1, {"select -1 0 0"}},
        {"before the range", 0, 4, 0, {}, 0, {"select 0 0 0"}},
        {"a block after a leaf", 8, 7, 2, {2, 2}, 10, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rg_DrenvikShuXingKuang t;
        Recorder recorder;
        recorder.Watch(t);
        treetest::Fill(t, kLevels, kStates);
        t.selectedNode = c.selected;
        rg_ZhengShuShuZuLei loc;
        const CWString selectedText = t.GetNodeText(c.selected, loc);
        CVolMem block;
        for (int level : c.blockLevels) t.WriteNodeRecord(block, L"x", 1, 1, level);
        loc.clear();
        t.InsertNodes(c.node, c.mode, block, int32_t(c.blockLevels.size()), loc);
        EXPECT_EQ(t.selectedNode, c.expected);
        EXPECT_EQ(recorder.Take(), c.events);
        if (c.expected >= 0 && c.expected != c.node) {
            loc.clear();
            EXPECT_EQ(t.GetNodeText(c.expected, loc), selectedText);
        }
    }
}

TEST_F(TreeView, ResizeWaitsForTheButton) {
    FakeInput::Install();
    Open(ManyTopLevelNodes(40), {}, 300, 120);
    const int before = tree.rowsFit;
    FakeInput::leftDown = true;
    tree.Move(0, 0, 300, 300);
    EXPECT_EQ(tree.rowsFit, before);
    EXPECT_EQ(tree.resizeTimer.GetInterval(), 50);
    EXPECT_EQ(tree.canvas.GetHeight(), tree.GetClientHeight());
    PumpMessagesFor(120);
    EXPECT_EQ(tree.rowsFit, before);  // still held
    FakeInput::leftDown = false;
    ASSERT_TRUE(PumpUntil([&] { return tree.rowsFit != before; }, 2000));
    EXPECT_EQ(tree.resizeTimer.GetInterval(), 0);
    EXPECT_EQ(int(tree.rowNodes.size()), tree.rowsFit);
    tree.Move(0, 0, 300, 150);  // button up: at once
    EXPECT_EQ(tree.rowsFit, TreeRowsFit(tree.GetClientHeight(), tree.itemHeight, tree.rowSpacing));
    tree.Move(0, 0, 0, 0);  // no client area: nothing happens
}

// ---- pixels ---------------------------------------------------------------------------------------

TEST_F(TreeView, SelectionAndExpanderPixels) {
    tree.showCheckBoxes = 1;
    Open(kLevels, kStates);
    rg_ZhengShuShuZuLei loc;
    tree.SetNodeChecked(2, 1, 0, loc);
    ClickText(3);
    const rg_WeiTuDuiXiangLei picture = tree.canvas.GetPicture();
    const int r = RowOf(3);
    const int y = TreeRowTop(r, tree.gap, tree.itemHeight, tree.rowSpacing);
    const int textX = tree.rowHitLeft[size_t(r)];  // no icons: the click area starts at the text
    EXPECT_EQ(PixelAt(picture, textX - 1, y + 1), COLORREF(0xC06000));
    EXPECT_EQ(PixelAt(picture, tree.rowHitRight[size_t(r)], y + 1), COLORREF(0xC06000));
    EXPECT_EQ(PixelAt(picture, tree.rowHitRight[size_t(r)] + 1, y + 1), COLORREF(0xFFFFFF));  // the pen's edge
    EXPECT_EQ(PixelAt(picture, textX - 4, y + 1), COLORREF(0xFFFFFF));
    // Unselected text has no band.
    const int r2 = RowOf(2);
    EXPECT_EQ(PixelAt(picture, tree.rowHitLeft[size_t(r2)] - 1, TreeRowTop(r2, tree.gap, tree.itemHeight, 3) + 1),
              COLORREF(0xFFFFFF));

    const int U = tree.rowUnit, e = (U - 4) / 2 + 2;
    auto box = [&](int row) {
        return std::pair{tree.rowExpanderX[size_t(row)],
                         TreeRowTop(row, tree.gap, tree.itemHeight, tree.rowSpacing) +
                             TreeCentreOffset(tree.itemHeight, U)};
    };
    auto [ox, oy] = box(0);  // open: a minus
    EXPECT_EQ(PixelAt(picture, ox + 2, oy + 2), COLORREF(0xFF8080));
    EXPECT_EQ(PixelAt(picture, ox + 5, oy + e), COLORREF(0));
    EXPECT_EQ(PixelAt(picture, ox + e, oy + 5), COLORREF(0xFFFFFF));
    auto [cx, cy] = box(RowOf(4));  // closed: a plus
    EXPECT_EQ(PixelAt(picture, cx + 5, cy + e), COLORREF(0));
    EXPECT_EQ(PixelAt(picture, cx + e, cy + 5), COLORREF(0));
    // A checked box is filled red inside its blue frame.
    const int bx = tree.rowCheckBoxX[size_t(r2)];
    const int by = TreeRowTop(r2, tree.gap, tree.itemHeight, tree.rowSpacing) + TreeCentreOffset(tree.itemHeight, U);
    EXPECT_EQ(PixelAt(picture, bx, by + U / 2), COLORREF(0xFF0000));
    EXPECT_EQ(PixelAt(picture, bx + U / 2, by + U / 2), COLORREF(0x0000FF));
    // Siblings 2 and 3 are joined by a grey line at x - G, 42 at level 2.
    EXPECT_EQ(PixelAt(picture, 42, MidY(r2) + 3), COLORREF(0xC0C0C0));
    EXPECT_EQ(PixelAt(picture, 43, MidY(r2) + 3), COLORREF(0xFFFFFF));
    // The surface shows the same picture.
    EXPECT_EQ(PixelAt(tree.surface.GetPicture(), textX - 1, y + 1), COLORREF(0xC06000));
    // Full-row selection: the band and the click area span the canvas.
    tree.fullRowSelect = 1;
    tree.RefreshView(-1);
    EXPECT_EQ(tree.rowHitLeft[size_t(r)], 0);
    EXPECT_EQ(tree.rowHitRight[size_t(r)], tree.canvas.GetClientWidth());
    EXPECT_EQ(PixelAt(tree.canvas.GetPicture(), tree.canvas.GetClientWidth() - 2, y + 1), COLORREF(0xC06000));
}

// Whether any pixel of a drawn row's text has the colour.
bool RowTextHas(const rg_DrenvikShuXingKuang& t, const rg_WeiTuDuiXiangLei& picture, int row, COLORREF colour) {
    const int top = TreeRowTop(row, t.gap, t.itemHeight, t.rowSpacing);
    for (int x = t.rowHitLeft[size_t(row)]; x < t.rowHitRight[size_t(row)]; ++x)
        for (int y = top; y < top + t.itemHeight; ++y)
            if (PixelAt(picture, x, y) == colour) return true;
    return false;
}

TEST_F(TreeView, HighlightColourModes) {
    tree.colourMode = 2;
    tree.highlightColour = 0x0000C0;
    Open(kLevels, kStates);
    // No selection: the top-level rows are highlighted, the rest dimmed.
    rg_WeiTuDuiXiangLei picture = tree.canvas.GetPicture();
    EXPECT_TRUE(RowTextHas(tree, picture, RowOf(0), 0x0000C0));
    EXPECT_TRUE(RowTextHas(tree, picture, RowOf(2), 0x808080));
    EXPECT_FALSE(RowTextHas(tree, picture, RowOf(2), 0x0000C0));
    // Node 2 selected: its parent 1 and 1's children are highlighted, node 0 dimmed.
    ClickText(2);
    picture = tree.canvas.GetPicture();
    EXPECT_TRUE(RowTextHas(tree, picture, RowOf(1), 0x0000C0));
    EXPECT_TRUE(RowTextHas(tree, picture, RowOf(3), 0x0000C0));
    EXPECT_TRUE(RowTextHas(tree, picture, RowOf(0), 0x808080));
    EXPECT_FALSE(RowTextHas(tree, picture, RowOf(0), 0x0000C0));
    EXPECT_TRUE(RowTextHas(tree, picture, RowOf(2), 0xFFFFFF));  // the selection: white on blue
}

TEST_F(TreeView, ImagesAreCentredInTheirCell) {
    Open(kLevels, kStates);
    EXPECT_EQ(tree.AddImage(CVolMem()), -1);  // nothing to decode: the list is emptied
    EXPECT_EQ(tree.iconSize, 0);
    CVolMem svg("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 16 16'><rect width='16' height='16' "
                "fill='#00A000'/></svg>");
    const CVolMem png = GetSvgIcon(svg, 0, 16, 16, kSvgImagePng, true, 0);
    ASSERT_FALSE(png.IsEmpty());
    EXPECT_EQ(tree.AddImage(png), 0);
    EXPECT_EQ(tree.iconSize, 16);
    EXPECT_EQ(tree.itemHeight, std::max({15, tree.textHeight, 16}));
    // Node 0 has icon 0 (the fixture's icon is index % 5): its cell sits left of the text.
    const rg_WeiTuDuiXiangLei picture = tree.canvas.GetPicture();
    const int iconX = tree.rowHitLeft[0];
    const int y = tree.gap + TreeCentreOffset(tree.itemHeight, 16);
    EXPECT_EQ(PixelAt(picture, iconX + 8, y + 8), COLORREF(0x00A000));
    EXPECT_EQ(PixelAt(picture, iconX + 8, y + 8 + tree.itemHeight + tree.rowSpacing), COLORREF(0xFFFFFF));  // icon 1
}

// ---- screenshot -----------------------------------------------------------------------------------

TEST_F(TreeView, Screenshot) {
    MakeTestForm(form, 320, 260);
    tree.skipIndexJobs = 0;
    tree.showCheckBoxes = 1;
    tree.levelWithoutCheckBox = 0;
    tree.countLevel = 0;
    const char* shapes[] = {
        "<path d='M1 4h5l2 2h7v8H1z' fill='#E8B030'/>",  // folder
        "<path d='M3 1h7l3 3v11H3z' fill='#4080D0'/>",   // page
    };
    for (const char* shape : shapes) {
        CVolMem svg(std::string("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 16 16'>") + shape + "</svg>");
        tree.AddImage(GetSvgIcon(svg, 0, 16, 16, kSvgImagePng, true, 0));
    }
    struct Node { const wchar_t* text; int icon, level, state; };
    const Node nodes[] = {
        {L"Projects", 0, 0, 2},        {L"kelvaro", 0, 1, 2},       {L"main.cpp", 1, 2, 0},
        {L"tree_box.cpp", 1, 2, 0},    {L"README.md", 1, 2, 0},     {L"archive", 0, 1, 0},
        {L"old.zip", 1, 2, 0},         {L"notes.txt", 1, 1, 0},     {L"Pictures", 0, 0, 0},
        {L"summer", 0, 1, 0},          {L"Music", 0, 0, 2},         {L"playlist.m3u", 1, 1, 0},
    };
    for (const Node& n : nodes) tree.AddNode(n.text, n.icon, 0, n.state, n.level);
    rg_ZhengShuShuZuLei loc;
    tree.SetNodeChecked(2, 1, 0, loc);
    loc.clear();
    tree.SetNodeChecked(4, 2, 0, loc);
    tree.selectedNode = 3;
    ASSERT_TRUE(tree.CreateInParent(form, 10, 10, 300, 240, 101));  // created visible: the shown event draws
    form.SetVisible(true);
    PumpMessagesFor(200);
    EXPECT_EQ(tree.rowNodes, (rg_ZhengShuShuZuLei{0, 1, 2, 3, 4, 5, 7, 8, 10, 11}));
    const std::wstring path = SaveScreenOfWindow(form.GetHwnd(), L"tree_box.png");
    EXPECT_FALSE(path.empty());
}

}  // namespace

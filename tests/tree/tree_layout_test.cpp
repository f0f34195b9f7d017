// Row geometry, hit tests, keys and scroll arithmetic of the tree box, without a window.
#include <gtest/gtest.h>

#include "tree/tree_view_layout.h"

namespace {

TEST(TreeLayout, RowUnitIsOddAndScaled) {
    const struct { double dpi; int unit; } cases[] = {{1.0, 15}, {1.25, 19}, {1.5, 23}, {2.0, 31}};
    for (const auto& c : cases) EXPECT_EQ(TreeRowUnit(c.dpi), c.unit) << c.dpi;
}

TEST(TreeLayout, ItemHeightIsTheLargestOfSettingUnitTextAndIcon) {
    const struct { int setting; double dpi; int unit, text, icon, want; } cases[] = {
        {-1, 1.0, 15, 19, 0, 19},   // no setting: the text height
        {-1, 1.0, 15, 12, 0, 15},   // never below the expander
        {30, 1.0, 15, 19, 0, 30},   // the setting in design units
        {30, 1.25, 19, 23, 0, 37},  // scaled and truncated
        {0, 1.0, 15, 19, 32, 32},   // a large icon wins
    };
    for (const auto& c : cases)
        EXPECT_EQ(TreeItemHeight(c.setting, c.dpi, c.unit, c.text, c.icon), c.want) << c.setting << " " << c.dpi;
}

TEST(TreeLayout, RowsPerPageAndRowUnderPoint) {
    EXPECT_EQ(TreeRowsFit(210, 18, 3), 10);  // whole
    EXPECT_EQ(TreeRowsFit(211, 18, 3), 11);  // a cut last row counts
    EXPECT_EQ(TreeRowsFit(0, 18, 3), 0);
    EXPECT_EQ(TreeRowsFit(100, 0, 0), 0);    // a row of no height: no division by zero
    EXPECT_EQ(TreeRowsFit(100, 10, -12), 0);
    // The top margin belongs to row 0; (y - G) / (H + S) truncated toward zero.
    const struct { int y, row; } rows[] = {{0, 0}, {5, 0}, {6, 0}, {26, 0}, {27, 1}, {48, 2}, {-30, -1}};
    for (const auto& r : rows) EXPECT_EQ(TreeRowAt(r.y, 6, 18, 3), r.row) << r.y;
    EXPECT_EQ(TreeRowAt(50, 6, 0, 0), -1);
    EXPECT_EQ(TreeRowTop(2, 6, 18, 3), 48);
}

TEST(TreeLayout, NearestRoundsHalvesAwayFromZero) {
    EXPECT_EQ(TreeRoundNearest(1.5), 2);
    EXPECT_EQ(TreeRoundNearest(-1.5), -2);
    EXPECT_EQ(TreeRoundNearest(2.4), 2);
    EXPECT_EQ(TreeCentreOffset(20, 15), 3);   // 2.5 -> 3
    EXPECT_EQ(TreeCentreOffset(12, 15), -2);  // -1.5 -> -2
}

TEST(TreeLayout, ColumnsOfARow) {
    TreeColumnSettings s;  // U 15, G 6, no check boxes, no icons
    TreeRowColumns c = ComputeTreeRowColumns(0, s);
    EXPECT_EQ(c.x, 6);
    EXPECT_EQ(c.textX, 6 + 15 + 4);  // E = trunc(6 x 0.8) = 4
    EXPECT_FALSE(c.hasCheckColumn);
    c = ComputeTreeRowColumns(2, s);
    EXPECT_EQ(c.x, 6 + 2 * 21);

    s.checkBoxSize = 15;
    s.iconSize = 16;
    s.levelWithoutCheckBox = 0;
    c = ComputeTreeRowColumns(0, s);  // this level has no box: the icon follows the expander gap
    EXPECT_FALSE(c.hasCheckColumn);
    EXPECT_EQ(c.iconX, 25);
    EXPECT_EQ(c.textX, 25 + 22);
    c = ComputeTreeRowColumns(1, s);
    EXPECT_TRUE(c.hasCheckColumn);
    EXPECT_EQ(c.checkX, 27 + 19);
    EXPECT_EQ(c.iconX, 46 + 21);
    EXPECT_EQ(c.textX, 67 + 22);

    s.leftOffset = 10;
    s.levelOneOffset = 5;
    s.dpi = 1.25;
    EXPECT_EQ(ComputeTreeRowColumns(0, s).x, 6 + 12);
    EXPECT_EQ(ComputeTreeRowColumns(1, s).x, 6 + 21 + 12 + 6);
    EXPECT_EQ(ComputeTreeRowColumns(2, s).x, 6 + 42 + 12);
}

TEST(TreeLayout, HitTestBoundsAreExclusive) {
    const TreeRowHitArea row{10, 30, 50, 120};
    const struct { int x; TreeHit hit; } cases[] = {
        {10, TreeHit::None},      {11, TreeHit::Expander}, {24, TreeHit::Expander}, {25, TreeHit::None},
        {30, TreeHit::None},      {31, TreeHit::CheckBox}, {44, TreeHit::CheckBox}, {50, TreeHit::None},
        {51, TreeHit::Text},      {119, TreeHit::Text},    {120, TreeHit::None},    {-5, TreeHit::None},
    };
    for (const auto& c : cases) EXPECT_EQ(HitTestTreeRow(row, c.x, 15), c.hit) << c.x;
    // Rows without expander or check box: the marker never hits, even at the far right.
    const TreeRowHitArea bare{kTreeNoColumn, kTreeNoColumn, 0, 0x7FFFFFFF};
    EXPECT_EQ(HitTestTreeRow(bare, 0x7FFFFFF0, 15), TreeHit::Text);
    EXPECT_FALSE(TreeHitsBox(bare, 0x7FFFFFF0, 15));
    EXPECT_TRUE(TreeHitsBox(row, 12, 15));
}

TEST(TreeLayout, RowTextLosesLineBreaksAndIsCut) {
    EXPECT_EQ(TreeRowDisplayText(L"a\r\nb\nc\r"), L"abc");
    const std::wstring longText(1001, L'x');
    const CWString shown = TreeRowDisplayText(longText);
    EXPECT_EQ(shown.size(), 1002u);
    EXPECT_EQ(shown.substr(998), L"xx..");
    EXPECT_EQ(TreeRowDisplayText(std::wstring(1000, L'y')).size(), 1000u);
}

TEST(TreeLayout, KeysTheTreeActsOn) {
    const struct { int key, mods; TreeKeyAction action; } cases[] = {
        {37, 0, TreeKeyAction::Collapse},      {39, 0, TreeKeyAction::Expand},
        {37, 0x4000, TreeKeyAction::ScrollLeft}, {39, 0x4000, TreeKeyAction::ScrollRight},
        {39, 0x4000 | 0x8000, TreeKeyAction::Expand},  // only Alt alone scrolls
        {38, 0x2000, TreeKeyAction::Up},       {40, 0, TreeKeyAction::Down},
        {113, 0, TreeKeyAction::Rename},
        // Page, Home, End, Space, Enter and Escape only reach the owner's key event.
        {33, 0, TreeKeyAction::None}, {34, 0, TreeKeyAction::None}, {36, 0, TreeKeyAction::None},
        {35, 0, TreeKeyAction::None}, {32, 0, TreeKeyAction::None}, {13, 0, TreeKeyAction::None},
        {27, 0, TreeKeyAction::None},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyTreeKey(c.key, c.mods), c.action) << c.key << " " << c.mods;
    const struct { uint8_t state; bool expand; uint8_t want; } states[] = {
        {0, true, 2}, {1, true, 3}, {3, true, 3}, {2, true, 2}, {5, true, 2},
        {2, false, 0}, {3, false, 1}, {1, false, 1}, {0, false, 0}, {200, false, 0},
    };
    for (const auto& s : states) EXPECT_EQ(TreeKeyExpandState(s.state, s.expand), s.want) << int(s.state);
}

TEST(TreeLayout, ArrowMovesWrapAtBothEnds) {
    EXPECT_EQ(TreeArrowTargetRow(3, 5, false), 4);
    EXPECT_EQ(TreeArrowTargetRow(3, 5, true), 2);
    EXPECT_EQ(TreeArrowTargetRow(5, 5, false), 1);
    EXPECT_EQ(TreeArrowTargetRow(1, 5, true), 5);
    EXPECT_EQ(TreeArrowTargetRow(1, 1, false), 1);
    EXPECT_EQ(TreeArrowTargetRow(1, 0, false), 0);  // nothing to move to
}

TEST(TreeLayout, ScrollBarRanges) {
    EXPECT_FALSE(TreeVerticalBarNeeded(10, 11));
    EXPECT_TRUE(TreeVerticalBarNeeded(11, 11));  // rows exactly filling the page: the last may be cut
    EXPECT_EQ(TreeVerticalBarMaximum(false, 20, 11), 11);
    EXPECT_EQ(TreeVerticalBarMaximum(true, 20, 11), 12);
    // ceil(overflow / T) + 1
    EXPECT_EQ(TreeHorizontalBarMaximum(500, 17, 300, 20), 12);  // 217 / 20 -> 11
    EXPECT_EQ(TreeHorizontalBarMaximum(483, 17, 300, 20), 11);  // 200 / 20 exactly
    EXPECT_EQ(TreeHorizontalBarMaximum(500, 0, 300, 0), 201);   // no text height: a step of one pixel
    // The surface: one text height per step; the last step aligns its right edge.
    EXPECT_EQ(TreeSurfaceLeft(1, 12, 20, 300, 17, 500), 0);
    EXPECT_EQ(TreeSurfaceLeft(3, 12, 20, 300, 17, 500), -40);
    EXPECT_EQ(TreeSurfaceLeft(12, 12, 20, 300, 17, 500), 300 - 17 - 500);
    EXPECT_EQ(TreeSurfaceLeft(12, 12, 20, 300, 17, -1), 283);
}

TEST(TreeLayout, RowTipsOnlyForCutTexts) {
    EXPECT_TRUE(TreeRowTextVisible(300, 16, 0, 25, 284));
    EXPECT_FALSE(TreeRowTextVisible(300, 16, 0, 25, 285));   // under the vertical bar
    EXPECT_FALSE(TreeRowTextVisible(300, 0, -40, 25, 100));  // scrolled past its start
    EXPECT_TRUE(TreeRowTextVisible(300, 0, -20, 25, 100));
}

TEST(TreeLayout, EditorCoversTheTextAndStaysInside) {
    TreeEditorRect r = ComputeTreeEditorRect(0, 40, 100, 16, 6, 2, 20, 3, 10, 400);
    EXPECT_EQ(r.left, 40 + 16 + 6 - 1);
    EXPECT_EQ(r.top, 6 + 2 * 23);
    EXPECT_EQ(r.width, 100 - 40 - 22 + 6);
    EXPECT_EQ(r.height, 20);
    r = ComputeTreeEditorRect(0, 40, 45, 0, 6, 0, 20, 3, 19, 400);  // short text: three text heights
    EXPECT_EQ(r.width, 57);
    r = ComputeTreeEditorRect(-100, 300, 600, 0, 6, 0, 20, 3, 19, 400);  // cut at the client edge
    EXPECT_EQ(r.left + r.width, 400);
}

TEST(TreeLayout, ConnectorLines) {
    // gap 6, unit 15, item height 20: X = x - 6, M = y + 10.
    auto row = [](int node, int level, int y, bool expander, int prev = -1, int next = -1) {
        return TreeLineRow{node, level, 6 + level * 21, y, expander, prev, next};
    };
    // An only child: no line at all.
    EXPECT_TRUE(ComputeTreeConnectorLines({row(0, 0, 6, true), row(1, 1, 29, false)}, 6, 15, 20, 200).empty());
    // Two siblings: the vertical between their mid-lines and a stub for each; a stub stops at an expander.
    std::vector<TreeLine> lines =
        ComputeTreeConnectorLines({row(0, 0, 6, true), row(1, 1, 29, true, -1, 2), row(2, 1, 52, false, 1)}, 6, 15,
                                  20, 200);
    const std::vector<TreeLine> want = {{21, 39, 21, 62}, {21, 39, 27, 39}, {21, 62, 42, 62}};
    EXPECT_EQ(lines, want);
    // Siblings out of view: lines to the canvas edges.
    lines = ComputeTreeConnectorLines({row(5, 1, 6, false, 2, 9)}, 6, 15, 20, 200);
    const std::vector<TreeLine> edges = {{21, 0, 21, 16}, {21, 16, 42, 16}, {21, 16, 21, 200}, {21, 16, 42, 16}};
    EXPECT_EQ(lines, edges);
    // A shallower row closes the deeper levels: cousins are not joined.
    lines = ComputeTreeConnectorLines(
        {row(0, 0, 6, true), row(1, 1, 29, true), row(2, 2, 52, false), row(3, 0, 75, true), row(4, 1, 98, true),
         row(5, 2, 121, false)},
        6, 15, 20, 200);
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(ComputeTreeConnectorLines({}, 6, 15, 20, 200).empty());
}

}  // namespace

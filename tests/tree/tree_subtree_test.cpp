#include <gtest/gtest.h>

#include "tests/tree/tree_fixture.h"

using treetest::Fill;

namespace {

// 0 A / 1 A1 / 2 A1a / 3 A2 / 4 B / 5 B1 / 6 C
const std::vector<int> kLevels = {0, 1, 2, 1, 0, 1, 0};

std::vector<int> LevelsOf(const rg_DrenvikShuXingKuang& t) {
    std::vector<int> out;
    for (int i = 0; i < t.nodeCount; ++i) out.push_back(treetest::Level(t, i));
    return out;
}

std::vector<CWString> TextsOf(const rg_DrenvikShuXingKuang& t) {
    std::vector<CWString> out;
    rg_ZhengShuShuZuLei loc;
    for (int i = 0; i < t.nodeCount; ++i) {
        t.LocateNodeRecord(i, loc, i - 1);
        rg_ZhengShuShuZuLei copy = loc;
        out.push_back(t.GetNodeText(i, copy));
    }
    return out;
}

TEST(TreeSubtree, StructureByScans) {
    rg_DrenvikShuXingKuang t;
    Fill(t, kLevels);
    ASSERT_FALSE(treetest::AllIndexesCurrent(t));
    treetest::CheckStructure(t, kLevels);
}

TEST(TreeSubtree, StructureByIndexes) {
    rg_DrenvikShuXingKuang t;
    Fill(t, kLevels);
    ASSERT_TRUE(treetest::BuildIndexes(t));
    treetest::CheckStructure(t, kLevels);
    // Sibling answers from the index report -2 for the parent's delimiter.
    rg_ZhengShuShuZuLei loc, out;
    rg_ZhengShuLei box;
    EXPECT_EQ(t.GetNextSibling(0, loc, out, &box), 4);
    EXPECT_EQ(box.value, -2);
}

TEST(TreeSubtree, EdgeCasesOfTheLastAndTopNodes) {
    rg_DrenvikShuXingKuang t;
    Fill(t, kLevels);
    rg_ZhengShuShuZuLei loc, range, out, last;
    t.LocateNodeRecord(6, last);
    EXPECT_EQ(t.GetSubtreeRange(6, loc, range, 0), 0);
    EXPECT_EQ(range[1], -1);
    loc.clear();
    EXPECT_EQ(t.GetSubtreeRange(6, loc, range, 1), 1);
    EXPECT_EQ(range, (rg_ZhengShuShuZuLei{last[0], last[1], 1}));
    // The next sibling of a top-level node skips deeper records; back again gives the first node.
    loc.clear();
    EXPECT_EQ(t.GetNextSibling(0, loc, out, nullptr), 4);
    loc.clear();
    EXPECT_EQ(t.GetPreviousSibling(4, loc, out, nullptr), 0);
    for (int bad : {-1, 7}) {
        loc.clear();
        EXPECT_EQ(t.GetSubtreeRange(bad, loc, range, 0), -1);
        EXPECT_EQ(t.GetParentNode(bad, loc, out, nullptr), -1);
        EXPECT_EQ(t.GetRootNode(bad, loc), -1);
        EXPECT_EQ(t.HasChildren(bad, loc), 0);
        EXPECT_EQ(t.InsertChildNode(bad == -1 ? -2 : bad, L"x", 0, 0, 0, loc), -1);
    }
    EXPECT_EQ(t.CountNodesBetween({5, -1, 0}), 0);
}

TEST(TreeSubtree, InsertNodesTable) {
    struct Case {
        const char* what;
        int node, mode;
        std::vector<int> blockLevels;  // levels of the records in the block (texts "x0", ...)
        int result;
        std::vector<CWString> texts;
        std::vector<int> levels;
    };
    const Case cases[] = {
        {"delete subtree", 1, 0, {}, 2, {L"n0", L"n3", L"n4", L"n5", L"n6"}, {0, 1, 0, 1, 0}},
        {"delete leaf", 6, 0, {}, 1, {L"n0", L"n1", L"n2", L"n3", L"n4", L"n5"}, {0, 1, 2, 1, 0, 1}},
        {"replace node", 4, 0, {0, 1, 1}, 2, {L"n0", L"n1", L"n2", L"n3", L"x0", L"x1", L"x2", L"n6"}, {0, 1, 2, 1, 0, 1, 1, 0}},
        {"replace children", 0, 1, {1}, 3, {L"n0", L"x0", L"n4", L"n5", L"n6"}, {0, 1, 0, 1, 0}},
        {"remove children", 0, 1, {}, 3, {L"n0", L"n4", L"n5", L"n6"}, {0, 0, 1, 0}},
        {"fill a leaf", 6, 2, {1, 2}, 0, {L"n0", L"n1", L"n2", L"n3", L"n4", L"n5", L"n6", L"x0", L"x1"}, {0, 1, 2, 1, 0, 1, 0, 1, 2}},
        {"fill a leaf (mode 1)", 3, 1, {2}, 0, {L"n0", L"n1", L"n2", L"n3", L"x0", L"n4", L"n5", L"n6"}, {0, 1, 2, 1, 2, 0, 1, 0}},
        {"empty block on a leaf", 6, 2, {}, 0, {L"n0", L"n1", L"n2", L"n3", L"n4", L"n5", L"n6"}, kLevels},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rg_DrenvikShuXingKuang t;
        Fill(t, kLevels, {2, 2, 0, 0, 3, 0, 2});
        CVolMem block;
        for (size_t k = 0; k < c.blockLevels.size(); ++k)
            t.WriteNodeRecord(block, L"x" + std::to_wstring(k), 1, 2, c.blockLevels[k]);
        rg_ZhengShuShuZuLei loc;
        const int32_t stateBefore = t.GetNodeState(c.node, loc);
        loc.clear();
        EXPECT_EQ(t.InsertNodes(c.node, c.mode, block, int32_t(c.blockLevels.size()), loc), c.result);
        EXPECT_EQ(TextsOf(t), c.texts);
        EXPECT_EQ(LevelsOf(t), c.levels);
        if (!c.blockLevels.empty()) {
            // The block's first record takes the node's state, except in mode 2.
            int first = 0;
            while (TextsOf(t)[size_t(first)] != L"x0") ++first;
            rg_ZhengShuShuZuLei l;
            EXPECT_EQ(t.GetNodeState(first, l), c.mode == 2 ? 0 : stateBefore);
        }
    }
    rg_DrenvikShuXingKuang t;
    Fill(t, kLevels);
    rg_ZhengShuShuZuLei loc;
    EXPECT_EQ(t.InsertNodes(7, 0, CVolMem(), 0, loc), 0);
    EXPECT_EQ(t.nodeCount, 7);
}

// A locator taken before a structural edit is located again, never used at its old offsets.
TEST(TreeSubtree, StaleLocatorsAreLocatedAgain) {
    using Op = int (*)(rg_DrenvikShuXingKuang&, rg_ZhengShuShuZuLei&);
    struct Case {
        const char* what;
        Op op;  // on node 5, with the stale locator; returns a probe read afterwards
        int probe;
        std::vector<CWString> texts;
        std::vector<int> levels;
    };
    const Case cases[] = {
        {"rename", [](rg_DrenvikShuXingKuang& t, rg_ZhengShuShuZuLei& loc) {
             const CWString name = L"renamed";
             return t.SetNodeFields(5, &name, -1, -1, loc);
         }, 1, {L"n0", L"n1", L"n2", L"n3", L"new", L"renamed", L"n5", L"n6"}, {0, 1, 2, 1, 1, 0, 1, 0}},
        {"check", [](rg_DrenvikShuXingKuang& t, rg_ZhengShuShuZuLei& loc) {
             t.SetNodeChecked(5, 1, 0, loc);
             rg_ZhengShuShuZuLei fresh;
             return t.GetNodeCheck(5, fresh);
         }, 1, {L"n0", L"n1", L"n2", L"n3", L"new", L"n4", L"n5", L"n6"}, {0, 1, 2, 1, 1, 0, 1, 0}},
        {"expand", [](rg_DrenvikShuXingKuang& t, rg_ZhengShuShuZuLei& loc) {
             t.SetNodeExpanded(5, 1, 0, loc);
             rg_ZhengShuShuZuLei fresh;
             return t.GetNodeState(5, fresh);
         }, 2, {L"n0", L"n1", L"n2", L"n3", L"new", L"n4", L"n5", L"n6"}, {0, 1, 2, 1, 1, 0, 1, 0}},
        {"delete", [](rg_DrenvikShuXingKuang& t, rg_ZhengShuShuZuLei& loc) {
             return t.InsertNodes(5, 0, CVolMem(), 0, loc);
         }, 2, {L"n0", L"n1", L"n2", L"n3", L"new", L"n6"}, {0, 1, 2, 1, 1, 0}},
        {"add a child", [](rg_DrenvikShuXingKuang& t, rg_ZhengShuShuZuLei& loc) {
             return t.InsertChildNode(5, L"kid", 1, 1, 0, loc, 1);
         }, 7, {L"n0", L"n1", L"n2", L"n3", L"new", L"n4", L"n5", L"kid", L"n6"}, {0, 1, 2, 1, 1, 0, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rg_DrenvikShuXingKuang t;
        Fill(t, kLevels);
        rg_ZhengShuShuZuLei stale, loc;
        ASSERT_EQ(t.LocateNodeRecord(5, stale), 1);
        ASSERT_EQ(t.InsertChildNode(0, L"new", 1, 1, 0, loc, 1), 4);  // node 5 is now what was node 4
        EXPECT_EQ(c.op(t, stale), c.probe);
        EXPECT_EQ(TextsOf(t), c.texts);
        EXPECT_EQ(LevelsOf(t), c.levels);
    }
}

TEST(TreeSubtree, InsertNodesCountsTheBlockItself) {
    rg_DrenvikShuXingKuang t;
    Fill(t, kLevels);
    CVolMem block;
    t.WriteNodeRecord(block, L"only", 0, 0, 1);
    rg_ZhengShuShuZuLei loc;
    // The caller claims 5 records; the block holds one.
    EXPECT_EQ(t.InsertNodes(0, 1, block, 5, loc), 3);
    EXPECT_EQ(t.nodeCount, 5);
    treetest::CheckStructure(t, {0, 1, 0, 1, 0});
}

TEST(TreeSubtree, InsertChildNodeTable) {
    struct Case { int parent, index, level; };
    const Case cases[] = {{-1, 7, 0}, {0, 4, 1}, {1, 3, 2}, {2, 3, 3}, {4, 6, 1}, {6, 7, 1}};
    for (const Case& c : cases) {
        rg_DrenvikShuXingKuang t;
        Fill(t, kLevels);
        rg_ZhengShuShuZuLei loc;
        ASSERT_EQ(t.InsertChildNode(c.parent, L"new", 3, 4, 77, loc), c.index) << c.parent;
        EXPECT_EQ(t.nodeCount, 8);
        rg_ZhengShuShuZuLei l;
        EXPECT_EQ(t.GetNodeText(c.index, l), L"new");
        EXPECT_EQ(t.GetNodeLevel(c.index, l), c.level);
        EXPECT_EQ(t.GetNodeData(c.index, l), 77);
        EXPECT_EQ(t.GetNodeIcon(c.index, l), 3);
        if (c.parent >= 0) {
            l.clear();
            EXPECT_EQ(t.GetParentNode(c.index, l, loc, nullptr), c.parent);
        }
    }
}

TEST(TreeSubtree, EditsAfterIndexesWereBuiltFallBackToScans) {
    rg_DrenvikShuXingKuang t;
    Fill(t, kLevels);
    ASSERT_TRUE(treetest::BuildIndexes(t));
    // Same byte length, different shape: {1, 2} becomes {1, 1}. Length alone would call the old
    // indexes current.
    CVolMem block;
    t.WriteNodeRecord(block, L"pp", 0, 0, 1);
    t.WriteNodeRecord(block, L"qq", 0, 0, 1);
    const size_t before = t.nodeBuffer.GetSize();
    rg_ZhengShuShuZuLei loc;
    ASSERT_EQ(t.InsertNodes(1, 0, block, 2, loc), 2);
    ASSERT_EQ(t.nodeBuffer.GetSize(), before);
    EXPECT_FALSE(t.IsParentIndexCurrent());
    const std::vector<int> now = {0, 1, 1, 1, 0, 1, 0};
    treetest::CheckStructure(t, now);
    ASSERT_TRUE(treetest::BuildIndexes(t));
    treetest::CheckStructure(t, now);
}

TEST(TreeSubtree, VisibleRowsFollowExpansion) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 2, 1, 0}, {2, 0, 0, 0, 0});
    t.isShown = 1;
    t.skipIndexJobs = 1;
    t.RefreshView(-1);
    EXPECT_EQ(t.visibleRowCount, 4);
    const std::vector<int> rows = {0, 1, 3, 4};
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(t.GetVisibleRowEntry(r), rows[size_t(r - 1)]);
    EXPECT_EQ(t.GetVisibleRowEntry(0), -1);
    EXPECT_EQ(t.GetVisibleRowEntry(5), -1);
    EXPECT_EQ(t.GetVisibleRowEntry(3), 3);
    EXPECT_EQ(t.GetVisibleRowNumber(3), 3);
    EXPECT_EQ(t.GetVisibleRowNumber(2), 1);  // hidden
    rg_ZhengShuShuZuLei loc;
    ASSERT_EQ(t.SetNodeExpanded(1, 1, 0, loc), 1);
    EXPECT_EQ(t.visibleRowCount, 5);
    EXPECT_EQ(t.GetVisibleRowEntry(3), 2);
    loc.clear();
    ASSERT_EQ(t.SetNodeFields(0, nullptr, 254, 255, loc), 1);  // collapse the root
    EXPECT_EQ(t.visibleRowCount, 2);
    EXPECT_EQ(t.GetVisibleRowEntry(2), 4);
    // The patched index matches a full rebuild.
    rg_ZhengShuShuZuLei l;
    CVolMem rebuilt;
    EXPECT_EQ(t.CollectVisibleRows(-1, l, rebuilt), 2);
    EXPECT_EQ(rebuilt, t.visibleRowIndex);
}

TEST(TreeSubtree, ExpandAncestorsOpensEveryClosedAncestor) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 2, 3, 1, 0}, {1, 0, 2, 0, 0, 0});  // node 0 bold and collapsed, node 2 expanded
    t.isShown = 1;
    t.skipIndexJobs = 1;
    t.RefreshView(-1);
    ASSERT_EQ(t.visibleRowCount, 2);
    rg_ZhengShuShuZuLei loc;
    t.ExpandAncestors(3, loc);
    const int want[] = {3, 2, 2, 0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        rg_ZhengShuShuZuLei l;
        EXPECT_EQ(t.GetNodeState(i, l), want[i]) << i;
    }
    EXPECT_EQ(t.visibleRowCount, 6);
    rg_ZhengShuShuZuLei l;
    CVolMem rebuilt;
    EXPECT_EQ(t.CollectVisibleRows(-1, l, rebuilt), 6);
    EXPECT_EQ(rebuilt, t.visibleRowIndex);
    loc.clear();
    t.ExpandAncestors(99, loc);  // out of range: nothing changes
    EXPECT_EQ(t.nodeCount, 6);
}

}  // namespace

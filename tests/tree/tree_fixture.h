// Trees for the tests: built from levels, with answers computed the slow, obvious way.
#pragma once
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tree/tree_box.h"

namespace treetest {

// One node per level; texts "n0", "n1", ... and data = index.
inline void Fill(rg_DrenvikShuXingKuang& t, const std::vector<int>& levels, const std::vector<int>& states = {}) {
    for (size_t i = 0; i < levels.size(); ++i)
        t.AddNode(L"n" + std::to_wstring(i), int32_t(i % 5), int32_t(i), i < states.size() ? states[i] : 0,
                  levels[i]);
}

// A random pre-order tree: each level at most one deeper than the one before.
inline std::vector<int> RandomLevels(std::mt19937& rng, int count, int maxDepth = 12) {
    std::vector<int> levels;
    int prev = -1;
    for (int i = 0; i < count; ++i) {
        int hi = std::min(prev + 1, maxDepth);
        int l = i == 0 ? 0 : std::uniform_int_distribution<int>(0, hi)(rng);
        // Lean towards going deeper so subtrees get some size.
        if (i > 0 && l < prev && rng() % 3 == 0) l = hi;
        levels.push_back(l);
        prev = l;
    }
    return levels;
}

// The answers, from the levels alone.
struct Expected {
    std::vector<int> parent, lastDescendant, previousSibling, nextSibling, descendants;
    explicit Expected(const std::vector<int>& lv) {
        const int n = int(lv.size());
        parent.assign(n, -1);
        lastDescendant.assign(n, 0);
        previousSibling.assign(n, -1);
        nextSibling.assign(n, 0);
        descendants.assign(n, 0);
        for (int i = 0; i < n; ++i) {
            for (int j = i - 1; j >= 0; --j)
                if (lv[j] == lv[i] - 1) { parent[i] = j; break; }
            int end = i;
            while (end + 1 < n && lv[end + 1] > lv[i]) ++end;
            descendants[i] = end - i;
            lastDescendant[i] = end > i ? end : 0;
            for (int j = i - 1; j >= 0 && lv[j] >= lv[i]; --j)
                if (lv[j] == lv[i]) { previousSibling[i] = j; break; }
            for (int j = i + 1; j < n && lv[j] >= lv[i]; ++j)
                if (lv[j] == lv[i]) { nextSibling[i] = j; break; }
        }
    }
};

inline bool AllIndexesCurrent(const rg_DrenvikShuXingKuang& t) {
    return t.IsOffsetIndexCurrent() && t.IsParentIndexCurrent() && t.IsSiblingIndexCurrent() &&
           t.IsLastDescendantIndexCurrent();
}

// Starts the jobs and waits until they are idle; false on time-out.
inline bool BuildIndexes(rg_DrenvikShuXingKuang& t, int ms = 20000) {
    t.StartIndexJobs();
    for (ULONGLONG t0 = ::GetTickCount64(); !(t.IndexJobsIdle() && AllIndexesCurrent(t)); ::Sleep(1))
        if (::GetTickCount64() - t0 > ULONGLONG(ms)) return false;
    return true;
}

inline int Level(const rg_DrenvikShuXingKuang& t, int node) {
    rg_ZhengShuShuZuLei loc;
    return t.GetNodeLevel(node, loc);
}

// Every structural answer of the tree box (through whatever indexes are current) against the
// levels, for every `step`-th node.
inline void CheckStructure(const rg_DrenvikShuXingKuang& t, const std::vector<int>& levels, int step = 1) {
    const Expected e(levels);
    const int n = int(levels.size());
    ASSERT_EQ(t.nodeCount, n);
    // Locators found by walking in order.
    std::vector<rg_ZhengShuShuZuLei> locs(n);
    for (int i = 0; i < n; ++i) {
        if (i > 0) locs[i] = locs[i - 1];
        ASSERT_EQ(t.LocateNodeRecord(i, locs[i], i - 1), 1) << i;
    }
    for (int i = 0; i < n; i += step) {
        SCOPED_TRACE(testing::Message() << "node " << i);
        rg_ZhengShuShuZuLei loc, fresh, range, out;
        ASSERT_EQ(t.LocateNodeRecord(i, fresh), 1);
        EXPECT_EQ(fresh, locs[i]);
        EXPECT_EQ(t.GetSubtreeRange(i, loc, range, 0), e.descendants[i]);
        const int last = i + e.descendants[i];
        EXPECT_EQ(range[1], e.descendants[i] ? locs[last][1] : -1);
        EXPECT_EQ(range[2], levels[i] + 1);
        EXPECT_EQ(t.GetSubtreeRange(i, loc, range, 1), e.descendants[i] + 1);
        EXPECT_EQ(range[0], locs[i][0]);
        EXPECT_EQ(range[1], locs[last][1]);
        EXPECT_EQ(t.CountNodesBetween(range), e.descendants[i] + 1);
        EXPECT_EQ(t.HasChildren(i, loc), e.descendants[i] > 0 ? 1 : 0);

        rg_ZhengShuLei box;
        box.value = 12345;
        EXPECT_EQ(t.GetParentNode(i, loc, out, &box), e.parent[i]);
        if (e.parent[i] >= 0) {
            EXPECT_EQ(out, locs[e.parent[i]]);
            EXPECT_EQ(box.value, locs[e.parent[i]][1] - t.fixedFieldsLength - 3);
        } else {
            EXPECT_EQ(out, (rg_ZhengShuShuZuLei{-1, -1, -1}));
            EXPECT_EQ(box.value, -1);
        }
        int root = -1;
        for (int p = e.parent[i]; p >= 0; p = e.parent[p]) root = p;
        EXPECT_EQ(t.GetRootNode(i, loc), root);
        EXPECT_EQ(loc, locs[i]);

        // The sibling queries report the parent's delimiter, unless they answered from the
        // indexes (-2) or stopped at the record before (nothing reported).
        const int parentDelimiter = e.parent[i] >= 0 ? locs[e.parent[i]][1] - t.fixedFieldsLength - 3 : -1;
        out.clear();
        box.value = 12345;
        const int prev = t.GetPreviousSibling(i, loc, out, &box);
        EXPECT_EQ(prev, e.previousSibling[i]);
        if (prev >= 0) { EXPECT_EQ(out, locs[prev]); }
        if (box.value != 12345 && box.value != -2) { EXPECT_EQ(box.value, parentDelimiter); }
        out.clear();
        box.value = 12345;
        const int next = t.GetNextSibling(i, loc, out, &box);
        EXPECT_EQ(next, e.nextSibling[i] ? e.nextSibling[i] : -1);
        if (next >= 0) { EXPECT_EQ(out, locs[next]); }
        if (box.value != -2) { EXPECT_EQ(box.value, parentDelimiter); }
        out.clear();
        EXPECT_EQ(t.GetNextSibling(i, loc, out, nullptr), next);
    }
}

}  // namespace treetest

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tests/tree/tree_fixture.h"

using treetest::BuildIndexes;
using treetest::Fill;

namespace {

std::vector<int32_t> Ints(const CVolMem& m) {
    std::vector<int32_t> v(m.GetSize() / 4);
    if (!v.empty()) std::memcpy(v.data(), m.GetPtr(), v.size() * 4);
    return v;
}

TEST(TreeIndex, IndexesOfASmallTree) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 2, 1, 0});
    ASSERT_TRUE(BuildIndexes(t));
    EXPECT_EQ(Ints(t.parentIndex), (std::vector<int32_t>{-1, 0, 1, 0, -1}));
    EXPECT_EQ(Ints(t.lastDescendantIndex), (std::vector<int32_t>{3, 2, 0, 0, 0}));
    EXPECT_EQ(Ints(t.previousSiblingIndex), (std::vector<int32_t>{-1, -1, -1, 1, 0}));
    EXPECT_EQ(Ints(t.nextSiblingIndex), (std::vector<int32_t>{4, 3, 0, 0, 0}));
    EXPECT_EQ(t.offsetIndexBuiltFor, int32_t(t.nodeBuffer.GetSize()));
    EXPECT_EQ(t.GetRecordOffsetFromIndex(-1), -1);
    EXPECT_EQ(t.GetRecordOffsetFromIndex(5), -1);
    EXPECT_EQ(t.GetParentFromIndex(5), -1);
    EXPECT_EQ(t.FindNodeIndexByOffset(1, -1, 0), 5);  // byte 1 starts no record
    for (int i = 0; i < 5; ++i) {
        rg_ZhengShuShuZuLei loc;
        const int start = t.GetRecordOffsetFromIndex(i);
        EXPECT_EQ(t.FindNodeIndexByOffset(start, -1, 0), i);
        EXPECT_EQ(t.FindNodeIndexByOffset(start, i, 1), i);
        EXPECT_EQ(t.FindNodeIndexByOffset(start, i + 1, 0), 5);  // forwards from past it
        t.LocateNodeRecord(i, loc);
        EXPECT_EQ(start, loc[0]);
    }
}

TEST(TreeIndex, OffsetIndexLayout) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 1});
    ASSERT_TRUE(BuildIndexes(t));
    const uint8_t want[20] = {3, 4, 0, 0, 0, 0, 3, 4, 34, 0, 0, 0, 3, 4, 68, 0, 0, 0, 3, 4};
    ASSERT_EQ(t.offsetIndex.GetSize(), 20u);
    EXPECT_EQ(std::memcmp(t.offsetIndex.GetPtr(), want, 20), 0);
}

TEST(TreeIndex, StateAndCheckChangesKeepIndexesCurrent) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 1, 0});
    ASSERT_TRUE(BuildIndexes(t));
    rg_ZhengShuShuZuLei loc;
    t.SetNodeFields(1, nullptr, 254, 254, loc);
    const CWString same = L"n9";  // same length
    t.SetNodeFields(2, &same, 255, 255, loc = {});
    EXPECT_TRUE(treetest::AllIndexesCurrent(t));
    t.StartIndexJobs();  // nothing to start
    EXPECT_TRUE(t.IndexJobsIdle());
    EXPECT_TRUE(treetest::AllIndexesCurrent(t));
    // A length change makes every index stale at once.
    t.AddNode(L"x", 0, 0, 0, 1);
    EXPECT_FALSE(t.IsOffsetIndexCurrent());
    EXPECT_FALSE(t.IsParentIndexCurrent());
    EXPECT_FALSE(t.IsSiblingIndexCurrent());
    EXPECT_FALSE(t.IsLastDescendantIndexCurrent());
}

TEST(TreeIndex, RandomTreesMatchBruteForceOnThreadsAndPool) {
    std::mt19937 rng(20261210);
    for (int pool = 0; pool < 2; ++pool) {
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(testing::Message() << "pool " << pool << " round " << round);
            rg_DrenvikShuXingKuang t;
            t.useThreadPool = pool;
            const std::vector<int> levels = treetest::RandomLevels(rng, 2000 + 1000 * round);
            Fill(t, levels);
            ASSERT_TRUE(BuildIndexes(t));
            if (pool) { EXPECT_EQ(t.indexPool.workerTarget, 4); }
            const treetest::Expected e(levels);
            EXPECT_EQ(Ints(t.parentIndex), std::vector<int32_t>(e.parent.begin(), e.parent.end()));
            EXPECT_EQ(Ints(t.lastDescendantIndex), std::vector<int32_t>(e.lastDescendant.begin(), e.lastDescendant.end()));
            EXPECT_EQ(Ints(t.previousSiblingIndex), std::vector<int32_t>(e.previousSibling.begin(), e.previousSibling.end()));
            EXPECT_EQ(Ints(t.nextSiblingIndex), std::vector<int32_t>(e.nextSibling.begin(), e.nextSibling.end()));
            treetest::CheckStructure(t, levels, 7);
        }
    }
}

TEST(TreeIndex, ScansAgreeWithTheSameRandomTree) {
    std::mt19937 rng(7);
    const std::vector<int> levels = treetest::RandomLevels(rng, 1500);
    rg_DrenvikShuXingKuang t;
    Fill(t, levels);
    treetest::CheckStructure(t, levels, 5);
}

TEST(TreeIndex, ACopyAnswersAndBuildsItsOwnIndexes) {
    const std::vector<int> levels = {0, 1, 2, 1, 0, 1};
    rg_DrenvikShuXingKuang t;
    Fill(t, levels);
    ASSERT_TRUE(BuildIndexes(t));
    std::unique_ptr<CVolObject> copy(t.Clone());
    auto& c = *static_cast<rg_DrenvikShuXingKuang*>(copy.get());
    EXPECT_EQ(c.parentIndex, t.parentIndex);
    treetest::CheckStructure(c, levels);
    rg_ZhengShuShuZuLei loc;
    c.InsertChildNode(5, L"x", 0, 0, 0, loc);
    ASSERT_TRUE(BuildIndexes(c));
    treetest::CheckStructure(c, {0, 1, 2, 1, 0, 1, 2});
    treetest::CheckStructure(t, levels);
}

TEST(TreeIndex, PoolDispatchIgnoresForeignPoolsAndUnknownTypes) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1});
    rg_DrenvikXianChengChiLei other;
    const CWString none;
    EXPECT_EQ(t.RunPoolIndexJob(&other, 1, 0, 0, none, none, none), 0);
    EXPECT_EQ(t.RunPoolIndexJob(&t.indexPool, 5, 0, 0, none, none, none), 0);
    EXPECT_EQ(t.offsetIndex.GetSize(), 0u);
    EXPECT_EQ(t.offsetIndexReady, 0);
    // Run on this thread as a worker would: the index is built from the last snapshot handed out.
    t.useThreadPool = 1;
    t.indexPool.workerTarget = 1;  // tasks queue, but nothing takes them
    t.StartIndexJobs();
    EXPECT_EQ(t.indexPool.GetWaitingCount(), 4);
    EXPECT_EQ(t.RunPoolIndexJob(&t.indexPool, 3, 0, 0, none, none, none), 0);
    EXPECT_TRUE(t.IsParentIndexCurrent());
    EXPECT_EQ(Ints(t.parentIndex), (std::vector<int32_t>{-1, 0}));
    t.indexPool.workerTarget = 0;
}

TEST(TreeIndex, MalformedLevelsLeaveIndexesNotReady) {
    const std::vector<std::vector<int>> trees = {{0, 2, 1}, {1, 0}, {0, -1, 0}, {0, 1, 5, 0}};
    for (const auto& levels : trees) {
        rg_DrenvikShuXingKuang t;
        Fill(t, levels);
        t.StartIndexJobs();
        for (ULONGLONG t0 = ::GetTickCount64(); !t.IndexJobsIdle() && ::GetTickCount64() - t0 < 5000;) ::Sleep(1);
        ASSERT_TRUE(t.IndexJobsIdle());
        EXPECT_TRUE(t.IsOffsetIndexCurrent());  // offsets need no levels
        EXPECT_FALSE(t.IsParentIndexCurrent());
        EXPECT_FALSE(t.IsSiblingIndexCurrent());
        EXPECT_FALSE(t.IsLastDescendantIndexCurrent());
        for (int i = 0; i < t.nodeCount; ++i) {  // the scans still answer without reading astray
            rg_ZhengShuShuZuLei loc, out, range;
            t.GetParentNode(i, loc, out, nullptr);
            t.GetSubtreeRange(i, loc, range, 1);
            t.GetPreviousSibling(i, loc, out, nullptr);
            t.GetNextSibling(i, loc, out, nullptr);
            EXPECT_EQ(t.GetRootNode(i, loc) < i, true);
        }
    }
}

TEST(TreeIndex, EmptyTreeLeavesIndexesNotReady) {
    rg_DrenvikShuXingKuang t;
    t.StartIndexJobs();  // built-for -1 differs from length 0: the jobs run and find nothing
    for (ULONGLONG t0 = ::GetTickCount64(); !t.IndexJobsIdle() && ::GetTickCount64() - t0 < 5000;) ::Sleep(1);
    EXPECT_TRUE(t.IndexJobsIdle());
    EXPECT_FALSE(t.IsOffsetIndexCurrent());
    EXPECT_EQ(t.offsetIndexBuiltFor, 0);
}

// Edits on this thread while the jobs run: whenever an index counts as current, its answers are
// right; when the edits stop, every index ends current for the final tree.
TEST(TreeIndex, EditsWhileJobsRun) {
    for (int pool = 0; pool < 2; ++pool) {
        SCOPED_TRACE(pool);
        std::mt19937 rng(99 + pool);
        rg_DrenvikShuXingKuang t;
        t.useThreadPool = pool;
        std::vector<int> levels = treetest::RandomLevels(rng, 3000);
        Fill(t, levels);
        const ULONGLONG t0 = ::GetTickCount64();
        int checks = 0;
        for (int step = 0; step < 400 && ::GetTickCount64() - t0 < 4000; ++step) {
            rg_ZhengShuShuZuLei loc;
            switch (rng() % 3) {
                case 0: {  // append a node under the last one or higher up
                    const int l = int(rng() % (levels.back() + 2));
                    t.AddNode(L"a", 0, 0, 0, l);
                    levels.push_back(l);
                    break;
                }
                case 1: {  // delete a subtree, keeping at least one node
                    const int node = 1 + int(rng() % (levels.size() - 1));
                    const int n = t.InsertNodes(node, 0, CVolMem(), 0, loc);
                    ASSERT_GE(n, 1);
                    levels.erase(levels.begin() + node, levels.begin() + node + n);
                    break;
                }
                default: {  // replace a node's text with one of another length
                    const int node = int(rng() % levels.size());
                    const CWString text(size_t(rng() % 9), L'z');
                    t.SetNodeFields(node, &text, 255, 255, loc);
                    break;
                }
            }
            t.StartIndexJobs();
            if (step % 8 == 0) ::Sleep(3);  // now and then let a job finish
            if (t.IsParentIndexCurrent() || t.IsLastDescendantIndexCurrent() || t.IsSiblingIndexCurrent()) {
                const treetest::Expected e(levels);
                for (int k = 0; k < 20; ++k) {
                    const int node = int(rng() % levels.size());
                    rg_ZhengShuShuZuLei l, out, range;
                    ASSERT_EQ(t.GetParentNode(node, l, out, nullptr), e.parent[node]);
                    ASSERT_EQ(t.GetSubtreeRange(node, l, range, 0), e.descendants[node]);
                    ASSERT_EQ(t.GetNextSibling(node, l, out, nullptr), e.nextSibling[node] ? e.nextSibling[node] : -1);
                }
                ++checks;
            }
        }
        ASSERT_TRUE(BuildIndexes(t));
        treetest::CheckStructure(t, levels, 11);
        std::printf("[          ] pool %d: %d checks against current indexes\n", pool, checks);
    }
}

// Destroying a tree box while its jobs run waits for them; repeated so a run is caught mid-pass.
TEST(TreeIndex, DestructionWhileJobsRun) {
    std::mt19937 rng(5);
    const std::vector<int> levels = treetest::RandomLevels(rng, 60000);
    int caughtBusy = 0;
    for (int round = 0; round < 16; ++round) {
        auto t = std::make_unique<rg_DrenvikShuXingKuang>();
        t->useThreadPool = round % 2;
        Fill(*t, levels);
        t->StartIndexJobs();
        ::Sleep(DWORD(round % 4));
        if (!t->IndexJobsIdle()) ++caughtBusy;
        t.reset();  // must neither hang nor let a job touch freed memory
    }
    EXPECT_GT(caughtBusy, 0);
}

}  // namespace

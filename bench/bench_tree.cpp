// Tree box at 10^4, 10^5 and 10^6 nodes: the index build (wall and calling thread), lookups, the
// visible-row index, and the view's steps in a window, each against the scan-based path (no
// lookup index current) in the same run. The view's steps run with the index jobs on threads of
// their own (the default) and on the tree box's pool. Every node starts expanded, the worst case
// for the rows. Peak heap figures are the most the step held above what was live before it.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "tests/support/ui_helpers.h"
#include "tree/tree_box.h"
#include "peak_heap.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// Ten top-level nodes, each over a tenth of the tree, with random depths below them.
std::vector<int> Levels(int count) {
    std::mt19937 rng(1);
    std::vector<int> levels;
    int prev = -1;
    for (int i = 0; i < count; ++i) {
        int l = i % (count / 10) == 0 ? 0 : std::uniform_int_distribution<int>(1, std::min(prev + 1, 10))(rng);
        levels.push_back(l);
        prev = l;
    }
    return levels;
}

bool AllCurrent(const rg_DrenvikShuXingKuang& t) {
    return t.IsOffsetIndexCurrent() && t.IsParentIndexCurrent() && t.IsSiblingIndexCurrent() &&
           t.IsLastDescendantIndexCurrent();
}

void WaitForIndexes(rg_DrenvikShuXingKuang& t) {
    while (!(t.IndexJobsIdle() && AllCurrent(t))) {
        t.StartIndexJobs();
        ::Sleep(0);
    }
}

long long Lookups(const rg_DrenvikShuXingKuang& t, const std::vector<int>& nodes) {
    long long sum = 0;
    for (int n : nodes) {
        rg_ZhengShuShuZuLei loc, out, range;
        sum += t.GetNodeData(n, loc);
        sum += t.GetParentNode(n, loc, out, nullptr);
        sum += t.GetSubtreeRange(n, loc, range, 0);
        sum += t.GetNextSibling(n, loc, out, nullptr);
    }
    return sum;
}

// The linear search the visible-row lookup is measured against.
int32_t ScanVisibleRow(const CVolMem& index, int32_t node) {
    uint8_t pattern[8] = {3, 4, 0, 0, 0, 0, 3, 4};
    std::memcpy(pattern + 2, &node, 4);
    for (long long pos = 0;;) {
        const long long p = index.FindBytes(pattern, 8, size_t(pos));
        if (p < 0) return -1;
        if (p % 6 == 0) return int32_t(p);
        pos = p + 1;
    }
}

double Mb(size_t bytes) { return double(bytes) / (1024.0 * 1024.0); }

double Ratio(double scan, double indexed) { return scan / (indexed > 1e-4 ? indexed : 1e-4); }

// A figure with its scan-based peer.
void Row(const char* what, double indexed, double scan) {
    std::printf("  %-44s %10.3f ms   scans %10.3f ms   %8.1fx\n", what, indexed, scan, Ratio(scan, indexed));
}

// A view step: index jobs on threads, on the pool, and the scans, with the scans' ratio to each.
void StepRow(const char* what, double threads, double pool, double scan) {
    std::printf("  %-34s threads %8.3f ms  pool %8.3f ms  scans %8.3f ms  %7.1fx %7.1fx\n", what, threads, pool, scan,
                Ratio(scan, threads), Ratio(scan, pool));
}

// The view's steps on one shown tree box; `indexed` keeps the lookup indexes current.
struct Steps {
    double cold = 0, warm = 0, nearEnd = 0, arrow = 0, expand = 0, collapse = 0, insert = 0, insertAgain = 1e30;
    size_t drawn = 0, peak = 0;
    int32_t shown = 0, visible = 0;
    std::vector<int32_t> rows;  // what the view showed, to compare both paths
};

enum class Mode { kThreads, kPool, kScans };

Steps RunSteps(const CVolMem& buffer, int32_t count, Mode mode, const std::vector<int>& levels) {
    Steps s;
    const bool indexed = mode != Mode::kScans;
    HiddenTestForm form;
    form.designWidth = 420;
    form.designHeight = 620;
    form.LoadWindow();
    rg_DrenvikShuXingKuang t;
    t.nodeBuffer = buffer;
    t.nodeCount = count;
    t.skipIndexJobs = indexed ? 0 : 1;
    t.useThreadPool = mode == Mode::kPool ? 1 : 0;
    if (indexed) WaitForIndexes(t);
    t.ModifyStyle(WS_VISIBLE, 0);
    t.CreateInParent(form, 0, 0, 400, 600, 101);
    auto t0 = Clock::now();
    t.SetVisible(true);  // the shown event runs the first, cold pass
    s.cold = Ms(t0);
    s.drawn = t.rowNodes.size();
    s.shown = t.isShown;
    s.visible = t.visibleRowCount;
    if (indexed) WaitForIndexes(t);
    t0 = Clock::now();
    t.RefreshView(-1);
    s.warm = Ms(t0);
    const int32_t last = count - 1;
    t0 = Clock::now();
    t.RefreshView(std::max(0, last - 40));
    s.nearEnd = Ms(t0);
    s.rows.assign(t.rowNodes.begin(), t.rowNodes.end());
    t.selectedNode = std::max(0, last - 20);
    t0 = Clock::now();
    t.HandleKeyDown(40, 0);
    s.arrow = Ms(t0);
    s.rows.push_back(t.selectedNode);
    // The first top-level node, over a tenth of the tree, collapsed and expanded again.
    const int32_t big = 0;
    rg_ZhengShuShuZuLei loc;
    t0 = Clock::now();
    t.SetNodeExpanded(big, 0, 0, loc);
    s.collapse = Ms(t0);
    loc.clear();
    t0 = Clock::now();
    t.SetNodeExpanded(big, 1, 0, loc);
    s.expand = Ms(t0);
    s.rows.push_back(t.visibleRowCount);
    // A node near the middle gets ten new children in place of its own (the view then refreshes).
    // The first time the node buffer grows past what it holds; the best of the next four shows the
    // step itself. Each starts with the indexes current.
    int32_t middle = count / 2;
    while (middle + 1 < count && levels[size_t(middle + 1)] <= levels[size_t(middle)]) ++middle;
    CVolMem block;
    for (int k = 0; k < 10; ++k) t.WriteNodeRecord(block, L"inserted " + std::to_wstring(k), 1, 1, levels[size_t(middle)] + 1);
    for (int k = 0; k < 5; ++k) {
        if (indexed) WaitForIndexes(t);
        loc.clear();
        t0 = Clock::now();
        t.InsertNodes(middle, 1, block, 10, loc);
        const double ms = Ms(t0);
        if (k == 0) s.insert = ms;
        else s.insertAgain = std::min(s.insertAgain, ms);
    }
    s.rows.push_back(t.visibleRowCount);
    s.rows.insert(s.rows.end(), t.rowNodes.begin(), t.rowNodes.end());
    if (indexed) WaitForIndexes(t);  // jobs still running would count against the next step
    return s;
}

Steps MeasuredSteps(const CVolMem& buffer, int32_t count, Mode mode, const std::vector<int>& levels) {
    Steps s;
    const size_t peak = peak_heap::PeakOf([&] { s = RunSteps(buffer, count, mode, levels); });
    s.peak = peak;
    return s;
}

bool RunSize(int count) {
    std::printf("%d nodes\n", count);
    const std::vector<int> levels = Levels(count);
    rg_DrenvikShuXingKuang source;
    auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) source.AddNode(L"folder name " + std::to_wstring(i), 1, i, 2, levels[size_t(i)]);
    std::printf("  add: %.1f ms (%zu bytes)\n", Ms(t0), source.nodeBuffer.GetSize());
    bool same = true;

    for (int pool = 0; pool < 2; ++pool) {
        rg_DrenvikShuXingKuang t;
        t.useThreadPool = pool;
        t.nodeBuffer = source.nodeBuffer;
        t.nodeCount = count;
        if (pool) t.indexPool.StartWorkers(4);
        double calling = 0, wall = 0;
        const size_t peak = peak_heap::PeakOf([&] {
            t0 = Clock::now();
            t.StartIndexJobs();
            calling = Ms(t0);
            WaitForIndexes(t);
            wall = Ms(t0);
        });
        std::printf("  index build (%s): %.1f ms wall, %.2f ms on the calling thread, peak heap +%.1f MB\n",
                    pool ? "pool of 4" : "4 threads", wall, calling, Mb(peak));
    }

    rg_DrenvikShuXingKuang scan, indexed;
    scan.nodeBuffer = indexed.nodeBuffer = source.nodeBuffer;
    scan.nodeCount = indexed.nodeCount = count;
    WaitForIndexes(indexed);
    std::mt19937 rng(2);
    std::vector<int> nodes(200);
    for (int& n : nodes) n = int(rng() % unsigned(count));
    t0 = Clock::now();
    const long long a = Lookups(scan, nodes);
    const double lookScan = Ms(t0);
    t0 = Clock::now();
    const long long b = Lookups(indexed, nodes);
    Row("200 lookups (data, parent, subtree, sibling)", Ms(t0), lookScan);
    same = same && a == b;

    CVolMem rowsScan, rowsIndexed;
    rg_ZhengShuShuZuLei loc;
    t0 = Clock::now();
    const int32_t r1 = scan.CollectVisibleRows(-1, loc, rowsScan);
    const double collectScan = Ms(t0);
    t0 = Clock::now();
    const int32_t r2 = indexed.CollectVisibleRows(-1, loc, rowsIndexed);
    Row("CollectVisibleRows(-1)", Ms(t0), collectScan);
    same = same && r1 == r2 && rowsScan == rowsIndexed;

    indexed.visibleRowIndex = rowsIndexed;
    long long p1 = 0, p2 = 0;
    t0 = Clock::now();
    for (int n : nodes) p1 += ScanVisibleRow(rowsIndexed, n);
    const double findScan = Ms(t0) / double(nodes.size());
    t0 = Clock::now();
    for (int n : nodes) p2 += indexed.FindVisibleRowPosition(n);
    Row("FindVisibleRowPosition (per call)", Ms(t0) / double(nodes.size()), findScan);
    same = same && p1 == p2;

    const Steps st = MeasuredSteps(source.nodeBuffer, count, Mode::kThreads, levels);
    const Steps sp = MeasuredSteps(source.nodeBuffer, count, Mode::kPool, levels);
    const Steps ss = MeasuredSteps(source.nodeBuffer, count, Mode::kScans, levels);
    StepRow("cold RefreshView (first pass)", st.cold, sp.cold, ss.cold);
    StepRow("warm RefreshView", st.warm, sp.warm, ss.warm);
    StepRow("RefreshView 40 rows before the end", st.nearEnd, sp.nearEnd, ss.nearEnd);
    StepRow("arrow key", st.arrow, sp.arrow, ss.arrow);
    StepRow("collapse", st.collapse, sp.collapse, ss.collapse);
    StepRow("expand", st.expand, sp.expand, ss.expand);
    StepRow("InsertNodes + refresh, first", st.insert, sp.insert, ss.insert);
    StepRow("InsertNodes + refresh, again", st.insertAgain, sp.insertAgain, ss.insertAgain);
    same = same && st.rows == ss.rows && sp.rows == ss.rows;
    std::printf("  (view: shown %d, %zu rows drawn, %d visible rows)\n", st.shown, st.drawn, st.visible);
    std::printf("  peak heap of the view's steps: threads +%.1f MB, pool +%.1f MB, scans +%.1f MB (node buffer %.1f MB)%s\n",
                Mb(st.peak), Mb(sp.peak), Mb(ss.peak), Mb(source.nodeBuffer.GetSize()), same ? "" : "  MISMATCH");
    return same;
}

}  // namespace

int main() {
    bool same = true;
    for (int count : {10000, 100000, 1000000}) same = RunSize(count) && same;
    return same ? 0 : 1;
}

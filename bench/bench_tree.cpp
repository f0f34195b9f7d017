// Tree box node store: adding 100,000 nodes, building the four lookup indexes in the background
// (plain threads and the pool), and lookups by byte scans against lookups through the indexes.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "tree/tree_box.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

constexpr int kNodes = 100000;

std::vector<int> Levels() {
    std::mt19937 rng(1);
    std::vector<int> levels;
    int prev = -1;
    for (int i = 0; i < kNodes; ++i) {
        int l = i == 0 ? 0 : std::uniform_int_distribution<int>(0, std::min(prev + 1, 10))(rng);
        levels.push_back(l);
        prev = l;
    }
    return levels;
}

void Fill(rg_DrenvikShuXingKuang& t, const std::vector<int>& levels) {
    for (int i = 0; i < kNodes; ++i) t.AddNode(L"folder name " + std::to_wstring(i), 1, i, 0, levels[size_t(i)]);
}

bool AllCurrent(const rg_DrenvikShuXingKuang& t) {
    return t.IsOffsetIndexCurrent() && t.IsParentIndexCurrent() && t.IsSiblingIndexCurrent() &&
           t.IsLastDescendantIndexCurrent();
}

// Sums the answers so the work is not optimised away; the nodes are spread over the whole tree.
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

}  // namespace

int main() {
    const std::vector<int> levels = Levels();
    {
        auto t0 = Clock::now();
        rg_DrenvikShuXingKuang t;
        Fill(t, levels);
        std::printf("add %d nodes: %.1f ms (%zu bytes)\n", kNodes, Ms(t0), t.nodeBuffer.GetSize());
    }
    for (int pool = 0; pool < 2; ++pool) {
        rg_DrenvikShuXingKuang t;
        t.useThreadPool = pool;
        Fill(t, levels);
        if (pool) t.indexPool.StartWorkers(4);  // workers up before the clock starts
        auto t0 = Clock::now();
        t.StartIndexJobs();
        const double started = Ms(t0);
        while (!AllCurrent(t)) ::Sleep(0);
        std::printf("index build (%s): %.1f ms, of which %.1f ms on the calling thread\n",
                    pool ? "pool of 4" : "4 threads", Ms(t0), started);
    }

    rg_DrenvikShuXingKuang t;
    Fill(t, levels);
    std::mt19937 rng(2);
    std::vector<int> nodes(200);
    for (int& n : nodes) n = int(rng() % kNodes);
    auto t0 = Clock::now();
    long long a = Lookups(t, nodes);
    const double scan = Ms(t0);
    t.StartIndexJobs();
    while (!AllCurrent(t)) ::Sleep(0);
    t0 = Clock::now();
    long long b = Lookups(t, nodes);
    const double indexed = Ms(t0);
    std::printf("%zu lookups (data, parent, subtree, next sibling): scans %.2f ms, indexes %.3f ms, %.0fx%s\n",
                nodes.size(), scan, indexed, scan / (indexed > 0 ? indexed : 1e-3), a == b ? "" : "  MISMATCH");
    return a == b ? 0 : 1;
}

// Directory tree box: expanding a folder of 10,000 subfolders until its rows are drawn, and
// selecting a path six levels deep from freshly built roots. The peer is a plain FindFirstFileW
// listing of the same folders. Each "+" comes later, from the window's idle time: the time until
// every one is settled, and the longest a message posted to the window meanwhile had to wait, are
// shown too.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/seams.h"
#include "platform/window.h"
#include "tree/directory_tree_box.h"
#include "util/component_config.h"
#include "util/files.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

constexpr int kBigFolder = 10000;
constexpr int kDepth = 6;
constexpr int kSiblings = 200;  // per level of the deep path
constexpr int kRuns = 5;
constexpr int kWithSubfolderEvery = 10;  // every tenth child of the big folder gets a "+"

class BenchForm : public CVolWinForm {
public:
    BenchForm() { SetVisible(false); }
    ~BenchForm() override { DestroyOwnWindow(); }
    int GetDesignWidth() const override { return 420; }
    int GetDesignHeight() const override { return 560; }
};

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name != L"." && name != L"..") RemoveTree(dir + L"\\" + name);
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
    }
    ::RemoveDirectoryW(dir.c_str());
}

// The peer: every visible subfolder name of a folder.
size_t ListPlain(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName[0] != L'.') names.emplace_back(fd.cFileName);
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    return names.size();
}

// Another thread posts a message to the window's thread now and then, as input would come; the
// pump notes how long each one waited to be taken.
constexpr UINT kProbe = WM_APP + 23;
class LatencyProbe {
public:
    explicit LatencyProbe(DWORD uiThread)
        : worker_([this, uiThread] {
              while (!stop_.load()) {
                  if (!waiting_.load()) {
                      postedAt_.store(Clock::now().time_since_epoch().count());
                      waiting_.store(true);
                      ::PostThreadMessageW(uiThread, kProbe, 0, 0);
                  }
                  ::Sleep(37);
              }
          }) {}
    ~LatencyProbe() {
        stop_.store(true);
        worker_.join();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, kProbe, kProbe, PM_REMOVE)) {
        }
    }
    // The wait of a probe just taken, in ms.
    double Taken() {
        const Clock::time_point at{Clock::duration(postedAt_.load())};
        waiting_.store(false);
        return std::chrono::duration<double, std::milli>(Clock::now() - at).count();
    }

private:
    std::atomic<bool> stop_{false}, waiting_{false};
    std::atomic<Clock::rep> postedAt_{0};
    std::thread worker_;
};

// Runs the window's messages until every "+" is settled; the longest wait of a probe, in ms.
double PumpUntilSettled(rg_DrenvikMuLuShuKuang1& tree) {
    double longest = 0;
    LatencyProbe probe(::GetCurrentThreadId());
    while (tree.PendingPlaceholderChecks() > 0) {
        MSG msg;
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        if (!msg.hwnd && msg.message == kProbe) {
            longest = std::max(longest, probe.Taken());
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return longest;
}

// The "+" rows in a node's subtree.
int32_t CountPlaceholders(rg_DrenvikMuLuShuKuang1& tree, int32_t node) {
    rg_ZhengShuShuZuLei loc, range;
    const int32_t last = node + tree.Tree.GetSubtreeRange(node, loc, range, 0);
    int32_t n = 0;
    for (int32_t i = node + 1; i <= last; ++i) {
        rg_ZhengShuShuZuLei l;
        if (tree.Tree.GetNodeIcon(i, l) == -1) ++n;
    }
    return n;
}

double Best(const std::vector<double>& runs) {
    double best = runs.front();
    for (double r : runs) best = std::min(best, r);
    return best;
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"kv_bench_dirtree_" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring big = root + L"\\big";
    ::CreateDirectoryW(big.c_str(), nullptr);
    for (int i = 0; i < kBigFolder; ++i) {
        const std::wstring child = big + L"\\folder " + std::to_wstring(i);
        ::CreateDirectoryW(child.c_str(), nullptr);
        if (i % kWithSubfolderEvery == 0) ::CreateDirectoryW((child + L"\\inner").c_str(), nullptr);
    }
    std::wstring deep = root + L"\\deep";
    ::CreateDirectoryW(deep.c_str(), nullptr);
    std::vector<std::wstring> levels;
    for (int level = 0; level < kDepth; ++level) {
        for (int i = 0; i < kSiblings; ++i) ::CreateDirectoryW((deep + L"\\d" + std::to_wstring(i)).c_str(), nullptr);
        levels.push_back(deep);
        deep += L"\\d" + std::to_wstring(kSiblings / 2);
    }

    // The desktop root stands for the benchmark folder, so the paths start there.
    ScopedSeam desktop(&PlatformSeams::specialFolder, [&](int kind) -> CWString {
        return kind == 3 ? CWString(root + L"\\") : CWString();
    });
    BenchForm form;
    form.LoadWindow();

    std::vector<double> expand, expandPeer, select, selectPeer, probes, expandSettled, selectSettled;
    double expandLongest = 0, selectLongest = 0;
    for (int run = 0; run < kRuns; ++run) {
        gComponentConfig.Reset();
        rg_DrenvikMuLuShuKuang1 tree;
        tree.ModifyStyle(WS_VISIBLE, 0);
        tree.CreateInParent(form, 0, 0, 400, 540, 101);
        tree.SetVisible(true);
        // Desktop, then its "big" folder: expanding the desktop lists two folders.
        tree.OnNodeExpanding(0);
        rg_ZhengShuShuZuLei loc;
        tree.Tree.SetNodeExpanded(0, 1, 0, loc);
        int32_t node = -1;
        for (int32_t i = 1; i < tree.Tree.nodeCount && node < 0; ++i) {
            rg_ZhengShuShuZuLei l;
            if (tree.Tree.GetNodeText(i, l) == L"big") node = i;
        }
        auto t0 = Clock::now();
        tree.OnNodeExpanding(node);
        loc.clear();
        tree.Tree.SetNodeExpanded(node, 1, 0, loc);  // refreshes: the first rows of children are drawn
        expand.push_back(Ms(t0));
        expandLongest = std::max(expandLongest, PumpUntilSettled(tree));
        expandSettled.push_back(Ms(t0));
        if (CountPlaceholders(tree, node) != kBigFolder / kWithSubfolderEvery) std::printf("wrong placeholders\n");
        t0 = Clock::now();
        const size_t n = ListPlain(big);
        expandPeer.push_back(Ms(t0));
        if (n != size_t(kBigFolder) || tree.Tree.nodeCount < kBigFolder) std::printf("unexpected listing\n");
        // The share of the expansion that asks each child whether it has subfolders (for its "+").
        t0 = Clock::now();
        for (int i = 0; i < kBigFolder; ++i) HasSubfolders(big + L"\\folder " + std::to_wstring(i));
        probes.push_back(Ms(t0));

        tree.BuildRoots();
        t0 = Clock::now();
        const int32_t found = tree.SelectPath(deep);
        select.push_back(Ms(t0));
        selectLongest = std::max(selectLongest, PumpUntilSettled(tree));
        selectSettled.push_back(Ms(t0));
        t0 = Clock::now();
        size_t listed = 0;
        for (const std::wstring& folder : levels) listed += ListPlain(folder);
        selectPeer.push_back(Ms(t0));
        if (found < 0 || listed != size_t(kDepth * kSiblings)) std::printf("unexpected selection\n");
    }

    std::printf("expand %d subfolders, children drawn: %.1f ms; FindFirstFileW listing: %.1f ms; ratio %.1f\n",
                kBigFolder, Best(expand), Best(expandPeer), Best(expand) / std::max(0.001, Best(expandPeer)));
    std::printf("  every \"+\" settled after %.1f ms, a message posted meanwhile waited %.1f ms at most; "
                "asking all children one after another: %.1f ms\n",
                Best(expandSettled), expandLongest, Best(probes));
    std::printf("SelectPath %d levels deep (%d folders a level): %.1f ms; FindFirstFileW listings: %.1f ms; ratio %.1f\n",
                kDepth, kSiblings, Best(select), Best(selectPeer), Best(select) / std::max(0.001, Best(selectPeer)));
    std::printf("  every \"+\" settled after %.1f ms, a message posted meanwhile waited %.1f ms at most\n",
                Best(selectSettled), selectLongest);
    RemoveTree(root);
    return 0;
}

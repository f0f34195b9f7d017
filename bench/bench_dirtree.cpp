// Directory tree box: expanding a folder of 10,000 subfolders until its rows are drawn, and
// selecting a path six levels deep from freshly built roots. The peer is a plain FindFirstFileW
// listing of the same folders.
#include <chrono>
#include <cstdio>
#include <string>
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
    for (int i = 0; i < kBigFolder; ++i) ::CreateDirectoryW((big + L"\\folder " + std::to_wstring(i)).c_str(), nullptr);
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

    std::vector<double> expand, expandPeer, select, selectPeer, probes;
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
        t0 = Clock::now();
        size_t listed = 0;
        for (const std::wstring& folder : levels) listed += ListPlain(folder);
        selectPeer.push_back(Ms(t0));
        if (found < 0 || listed != size_t(kDepth * kSiblings)) std::printf("unexpected selection\n");
    }

    std::printf("expand %d subfolders, children drawn: %.1f ms; FindFirstFileW listing: %.1f ms; ratio %.1f\n",
                kBigFolder, Best(expand), Best(expandPeer), Best(expand) / std::max(0.001, Best(expandPeer)));
    std::printf("  of which asking each child for subfolders: about %.1f ms\n", Best(probes));
    std::printf("SelectPath %d levels deep (%d folders a level): %.1f ms; FindFirstFileW listings: %.1f ms; ratio %.1f\n",
                kDepth, kSiblings, Best(select), Best(selectPeer), Best(select) / std::max(0.001, Best(selectPeer)));
    RemoveTree(root);
    return 0;
}

// The browse-for-folder window run modally in this process, driven from inside its loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdiplus_session.h"
#include "platform/seams.h"
#include "platform/shell.h"
#include "support/temp_tree.h"
#include "support/ui_helpers.h"
#include "tree/browse_folder_window.h"
#include "util/files.h"

namespace {

// A temporary folder with a subfolder and a file.
struct TempFolder : TempTree {
    std::wstring sub = Folder(L"模型 目录");
    std::wstring file = File(L"model.gguf");
    // Its subfolders' paths.
    std::vector<std::wstring> Folders() const {
        rg_DrenvikWenBenShuZuLei found;
        ListFiles(root, L"*", found, true);
        std::vector<std::wstring> names;
        for (int32_t i = 0; i < found.GetCount(); ++i) names.push_back(found.GetItem(i));
        return names;
    }
};

rg_DrenvikLiuLanWenJianGaLei* gWindow = nullptr;
std::function<void(rg_DrenvikLiuLanWenJianGaLei&)> gStep;

void CALLBACK RunStep(HWND, UINT, UINT_PTR id, DWORD) {
    if (!gWindow || !gWindow->IsCreated() || !::IsWindowVisible(gWindow->GetHwnd())) return;
    ::KillTimer(nullptr, id);
    rg_DrenvikLiuLanWenJianGaLei& w = *gWindow;
    std::exchange(gStep, nullptr)(w);
    // A step that left the window open ends the run here.
    if (w.IsCreated()) ::PostMessageW(w.GetHwnd(), WM_CLOSE, 0, 0);
}

// Runs once in whatever message loop next runs on this thread (a listing's pump).
std::function<void()> gInLoop;
void CALLBACK RunInLoop(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (auto step = std::exchange(gInLoop, nullptr)) step();
}

// A press where the user's lands: on the button's visible canvas.
void Press(rg_DrenvikAnNiu1& button) {
    ::SendMessageW(button.shownCanvas.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ::SendMessageW(button.shownCanvas.GetHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

struct BrowseFolderTest : ::testing::Test {
    void TearDown() override {
        SetDpiFactorsForTest(1.0);
        gWindow = nullptr;
        gStep = nullptr;
    }
    // Runs the window modally; `step` runs inside its loop once it is shown.
    CWString Run(std::function<void(rg_DrenvikLiuLanWenJianGaLei&)> step, std::wstring_view initial = {},
                 HWND owner = nullptr) {
        rg_DrenvikLiuLanWenJianGaLei window;
        gWindow = &window;
        gStep = std::move(step);
        ::SetTimer(nullptr, 0, 20, &RunStep);
        CWString result = window.ShowModal(L"请选择一个新模型目录用于保存下载的模型。", initial, owner);
        gWindow = nullptr;
        return result;
    }
    // Message boxes answered OK and kept as "caption|text".
    std::vector<CWString> boxes;
    ScopedSeam<decltype(PlatformSeams::messageBox)> box{
        &PlatformSeams::messageBox, [this](HWND, const CWString& text, const CWString& caption, UINT) {
            boxes.push_back(caption + L"|" + text);
            return IDOK;
        }};
    ScopedIconResources icons;
    TempFolder temp;
};

}  // namespace

TEST_F(BrowseFolderTest, OkReturnsOnlyAnExistingFolder) {
    // Typed, or pasted with Explorer's quotes: the folder comes back without them.
    for (const std::wstring& typed : {temp.sub, L"  \"" + temp.sub + L"\"  "}) {
        CWString result = Run([&](rg_DrenvikLiuLanWenJianGaLei& w) {
            EXPECT_EQ(w.GetText(), L"选择文件夹");
            EXPECT_EQ(w.hintLabel.GetText(), L"请选择一个新模型目录用于保存下载的模型。");
            w.pathEdit.SetText(typed);
            Press(w.okButton);
        });
        EXPECT_EQ(result, temp.sub);
    }
    EXPECT_TRUE(boxes.empty());

    // A file, a missing folder, a relative path or nothing: the window stays with a hint.
    for (const std::wstring& typed : {temp.file, temp.root + L"\\missing", std::wstring(L"模型 目录"), std::wstring()}) {
        boxes.clear();
        CWString result = Run([&](rg_DrenvikLiuLanWenJianGaLei& w) {
            w.pathEdit.SetText(typed);
            Press(w.okButton);
            PumpMessagesFor(50);
            EXPECT_TRUE(w.IsCreated() && ::IsWindowVisible(w.GetHwnd())) << typed;
            Press(w.cancelButton);
        });
        EXPECT_EQ(result, L"") << typed;
        EXPECT_EQ(boxes, std::vector<CWString>{CWString(L"信息:|") + kNoSuchFolderHint + typed});
    }
}

TEST_F(BrowseFolderTest, CancelAndTheCloseBoxReturnNothing) {
    auto cancel = [](rg_DrenvikLiuLanWenJianGaLei& w) { Press(w.cancelButton); };
    auto closeBox = [](rg_DrenvikLiuLanWenJianGaLei& w) { ::SendMessageW(w.GetHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); };
    for (auto step : {std::function<void(rg_DrenvikLiuLanWenJianGaLei&)>(cancel), {closeBox}}) {
        EXPECT_EQ(Run([&](rg_DrenvikLiuLanWenJianGaLei& w) {
                      w.pathEdit.SetText(temp.sub);
                      step(w);
                  }),
                  L"");
    }
}

TEST_F(BrowseFolderTest, OwnedModalCentredOnTheWorkArea) {
    HiddenTestForm owner;
    ASSERT_TRUE(owner.LoadWindow());
    Run(
        [&](rg_DrenvikLiuLanWenJianGaLei& w) {
            EXPECT_EQ(::GetWindow(w.GetHwnd(), GW_OWNER), owner.GetHwnd());
            EXPECT_FALSE(::IsWindowEnabled(owner.GetHwnd()));
            MONITORINFO mi{};
            mi.cbSize = sizeof(mi);
            ::GetMonitorInfoW(::MonitorFromWindow(w.GetHwnd(), MONITOR_DEFAULTTONEAREST), &mi);
            RECT r;
            ::GetWindowRect(w.GetHwnd(), &r);
            EXPECT_EQ(w.GetClientWidth(), 562);
            EXPECT_EQ(w.GetClientHeight(), 606);
            EXPECT_LE(std::abs((r.left + r.right) - (mi.rcWork.left + mi.rcWork.right)), 1);
            EXPECT_LE(std::abs((r.top + r.bottom) - (mi.rcWork.top + mi.rcWork.bottom)), 1);
        },
        {}, owner.GetHwnd());
    EXPECT_TRUE(::IsWindowEnabled(owner.GetHwnd()));
}

// Another program's window below both, and, as after the user looked at it and came back to the
// folder window, one between the folder window and its owner.
TEST_F(BrowseFolderTest, OwnerIsActiveAgainAfterOkCancelAndTheCloseBox) {
    ForeignWindow other;
    HiddenTestForm owner;
    owner.SetVisible(true);
    ASSERT_TRUE(owner.LoadWindow());
    OtherProgramWindow between(L"another program", RECT{300, 250, 1000, 800});
    ASSERT_TRUE(between.Hwnd());
    struct Case { const char* way; std::function<void(rg_DrenvikLiuLanWenJianGaLei&)> close; } cases[] = {
        {"OK", [](rg_DrenvikLiuLanWenJianGaLei& w) { Press(w.okButton); }},
        {"Cancel", [](rg_DrenvikLiuLanWenJianGaLei& w) { Press(w.cancelButton); }},
        {"close box", [](rg_DrenvikLiuLanWenJianGaLei& w) { ::SendMessageW(w.GetHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (bool otherBetween : {false, true}) {
        for (auto& c : cases) {
            const std::string what = std::string(c.way) + (otherBetween ? ", another program between" : "");
            // One display serves every test program, and Wine delivers another program's focus
            // events late: a run whose windows did not end up in order is tried again. The fault
            // fails every try.
            bool placed = false, inFront = false;
            for (int attempt = 0; attempt < 3 && !inFront; ++attempt) {
                if (!BringToFront(owner.GetHwnd())) continue;
                placed = false;
                Run(
                    [&](rg_DrenvikLiuLanWenJianGaLei& w) {
                        placed = ::GetForegroundWindow() == w.GetHwnd();
                        if (otherBetween) {
                            // The user looks at the other program, then clicks the folder window again.
                            placed = placed && between.BringToFront() && BringToFront(w.GetHwnd()) &&
                                     LiesAbove(w.GetHwnd(), between.Hwnd()) && LiesAbove(between.Hwnd(), owner.GetHwnd());
                        }
                        w.pathEdit.SetText(temp.sub);
                        c.close(w);
                        PumpMessagesFor(50);
                    },
                    {}, owner.GetHwnd());
                inFront = placed && SettlesInFront(owner.GetHwnd(), between.Hwnd());
            }
            EXPECT_TRUE(placed) << what << ": the folder window was in front (another program's window between)";
            EXPECT_TRUE(inFront) << what;
            EXPECT_TRUE(::IsWindowEnabled(owner.GetHwnd())) << what;
            EXPECT_EQ(::GetForegroundWindow(), owner.GetHwnd()) << what;
            EXPECT_EQ(::GetActiveWindow(), owner.GetHwnd()) << what;
            EXPECT_TRUE(LiesAbove(owner.GetHwnd(), between.Hwnd())) << what << ": in front, not only active";
        }
    }
}

TEST_F(BrowseFolderTest, TreeAndPathBoxFollowEachOther) {
    CWString selectedAfterPaste, boxAfterPaste, selectedAfterDrop, boxAfterSelect;
    CWString result = Run(
        [&](rg_DrenvikLiuLanWenJianGaLei& w) {
            // The initial path is open; the path box shows the selection (the tree's folder paths end
            // in a backslash).
            EXPECT_EQ(w.directoryTree.GetSelectedPath(), temp.root + L"\\");
            EXPECT_EQ(w.pathEdit.GetText(), temp.root + L"\\");
            EXPECT_TRUE(w.initialPath.empty());

            SetClipboardText(L"\"" + temp.sub + L"\"");
            Press(w.pasteButton);
            boxAfterPaste = w.pathEdit.GetText();
            selectedAfterPaste = w.directoryTree.GetSelectedPath();

            // A dropped folder opens its parent; only the first of several counts.
            w.directoryTree.FilesDropped.Raise(&w.directoryTree, rg_WenBenShuZuLei{temp.sub, L"C:\\windows\\system32"});
            selectedAfterDrop = w.directoryTree.GetSelectedPath();
            boxAfterSelect = w.pathEdit.GetText();
            Press(w.okButton);
        },
        temp.root);
    EXPECT_EQ(selectedAfterPaste, temp.sub + L"\\");
    EXPECT_EQ(boxAfterPaste, temp.sub + L"\\");
    EXPECT_EQ(selectedAfterDrop, temp.root + L"\\");
    EXPECT_EQ(boxAfterSelect, temp.root + L"\\");
    EXPECT_EQ(result, temp.root + L"\\");
}

TEST_F(BrowseFolderTest, NewMakesANumberedFolderInTheSelectedOne) {
    Run(
        [&](rg_DrenvikLiuLanWenJianGaLei& w) {
            Press(w.newButton);
            PumpMessagesFor(100);
            Press(w.cancelButton);
        },
        temp.root);
    std::vector<std::wstring> folders = temp.Folders(), expected = {temp.root + L"\\新文件夹1", temp.sub};
    std::sort(folders.begin(), folders.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folders, expected);
}

TEST_F(BrowseFolderTest, PathBoxLeavesRoomForThePasteButton) {
    GdiplusSession gdiplus;
    struct Case { double dpi; int pasteWidth, margin; const wchar_t* shot; } cases[] = {
        {1.0, 32, 38, L"kelvaro_browse_folder.png"},
        {1.5, 48, 57, L"kelvaro_browse_folder_150.png"},
    };
    for (const auto& c : cases) {
        SetDpiFactorsForTest(c.dpi);
        Run(
            [&](rg_DrenvikLiuLanWenJianGaLei& w) {
                EXPECT_EQ(w.pasteButton.GetWidth(), c.pasteWidth);
                LRESULT margins = ::SendMessageW(w.pathEdit.GetHwnd(), EM_GETMARGINS, 0, 0);
                EXPECT_EQ(HIWORD(margins), c.margin) << c.dpi;
                // The paste button sits at the box's right end, inside the window.
                EXPECT_LE(w.pasteButton.GetLeft(), w.pathEdit.GetLeft() + w.pathEdit.GetWidth());
                EXPECT_LE(w.pasteButton.GetLeft() + w.pasteButton.GetWidth(), w.GetClientWidth());
                EXPECT_LE(w.okButton.GetTop() + w.okButton.GetHeight(), w.GetClientHeight());
                EXPECT_TRUE(LiesInsideWorkArea(w.GetHwnd())) << c.dpi;
                EXPECT_FALSE(SaveWindowScreenshot(w.GetHwnd(), c.shot).empty());
                Press(w.cancelButton);
            },
            temp.sub);
    }
}

// "取消", "确定" or the close box while a folder of 6,000 subfolders lists after a Right arrow: the
// window goes inside the listing's pump, and the key's call returns without asking any listed
// folder whether it has subfolders, which only a window could show.
TEST_F(BrowseFolderTest, ClosingWhileAFolderListsAsksNothingMore) {
    const std::wstring big = temp.Folder(L"大");
    constexpr int kSubfolders = 6000;
    for (int i = 0; i < kSubfolders; ++i) ::CreateDirectoryW((big + L"\\" + std::to_wstring(i)).c_str(), nullptr);
    const struct {
        const char* way;
        std::function<void(rg_DrenvikLiuLanWenJianGaLei&)> close;
        std::wstring result;
    } ways[] = {
        {"取消", [](rg_DrenvikLiuLanWenJianGaLei& w) { Press(w.cancelButton); }, L""},
        {"确定", [](rg_DrenvikLiuLanWenJianGaLei& w) { Press(w.okButton); }, big + L"\\"},
        {"the close box",
         [](rg_DrenvikLiuLanWenJianGaLei& w) { ::SendMessageW(w.GetHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }, L""},
    };
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) { return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()); };
    for (const auto& c : ways) {
        SCOPED_TRACE(c.way);
        bool gone = false;
        int pending = -1;
        Clock::time_point closedAt, goneAt, returnedAt;
        const CWString result = Run(
            [&](rg_DrenvikLiuLanWenJianGaLei& w) {
                rg_DrenvikMuLuShuKuang1& d = w.directoryTree;
                rg_DrenvikShuXingKuang& t = d.Tree;
                // The initial folder is selected: open it and select its big subfolder.
                t.HandleKeyDown(VK_RIGHT, 0);
                int node = -1;
                for (int i = t.GetSelectedIndex() + 1; i < t.nodeCount && node < 0; ++i)
                    if (d.GetNodePath(i) == big + L"\\") node = i;
                ASSERT_GE(node, 0);
                t.selectionReason = 1;
                t.SelectNode(node);
                ASSERT_TRUE(PumpUntil([&] { return d.PendingPlaceholderChecks() == 0; }, 30000));
                // Inside the listing's pump: the click, and the window's end that it brings.
                gInLoop = [&] {
                    closedAt = Clock::now();
                    c.close(w);
                    gone = PumpUntil([&] { return !w.IsCreated(); }, 10000);
                    goneAt = Clock::now();
                };
                ::SetTimer(nullptr, 0, 10, &RunInLoop);
                ::Sleep(30);  // due at the listing's first pump
                t.HandleKeyDown(VK_RIGHT, 0);
                returnedAt = Clock::now();
                pending = d.PendingPlaceholderChecks();
            },
            temp.root);
        EXPECT_TRUE(gone);
        EXPECT_EQ(pending, kSubfolders) << "every listed folder still unasked";
        EXPECT_EQ(result, c.result);
        // Closing a window under Wine without a window manager waits for the X server itself.
        std::printf("%s while %d subfolders list: the window went %lld ms after it, the key's call returned %lld ms "
                    "after that\n",
                    c.way, kSubfolders, ms(goneAt - closedAt), ms(returnedAt - goneAt));
    }
}

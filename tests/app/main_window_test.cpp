// The main window in this process, kept hidden: its layout at two scales and the refresh's
// reselection, with the command runner replaced.
#include <gtest/gtest.h>

#include <functional>

#include "app/main_window.h"
#include "platform/gdiplus_session.h"
#include "platform/seams.h"
#include "support/fake_setx.h"
#include "support/ui_helpers.h"
#include "ui/input_box.h"
#include "util/component_config.h"

namespace {

struct MainWindowTest : ::testing::Test {
    void TearDown() override { SetDpiFactorsForTest(1.0); }
    static void Open(rg_ZhuChuangKouLei& w) {
        w.SetVisible(false);
        ASSERT_TRUE(w.LoadWindow());
    }
};

}  // namespace

TEST_F(MainWindowTest, ChildrenAtScaleOneAndAHalf) {
    SetDpiFactorsForTest(1.5);
    rg_ZhuChuangKouLei w;
    Open(w);
    // 9 x 1.5 + 0.5 = 14.0; 149 x 1.5 + 0.5 = 224.0
    EXPECT_EQ(w.refreshButton.GetLeft(), 14);
    EXPECT_EQ(w.refreshButton.GetTop(), 224);
    EXPECT_EQ(w.refreshButton.GetWidth(), 360);
    EXPECT_EQ(w.refreshButton.GetHeight(), 56);
    EXPECT_EQ(w.refreshButton.GetControlId(), 114);
    EXPECT_EQ(w.modelNameCombo.GetControlId(), 101);
    EXPECT_EQ(w.modelList.GetControlId(), 113);
    // 1800 x 1025 at 1.5 is more than a 1280 x 1024 screen holds.
    EXPECT_TRUE(LiesInsideWorkArea(w.GetHwnd()));
}

TEST_F(MainWindowTest, ShownAtScaleOneAndAHalfWhollyOnTheScreen) {
    ScopedIconResources icons;
    GdiplusSession gdiplus;
    SetDpiFactorsForTest(1.5);
    rg_ZhuChuangKouLei w;
    w.runCommand = [](const CWString& line) {
        CommandResult r;
        if (line == L"ollama list")
            r.output = L"NAME            ID              SIZE      MODIFIED\n"
                       L"qwen2.5:7b      845dbda0ea48    4.7 GB    2 weeks ago\n";
        return r;
    };
    ASSERT_TRUE(w.LoadWindow());
    PumpUntil([&] { return !w.modelList.GetCurrentText().empty(); }, 3000);
    EXPECT_TRUE(LiesInsideWorkArea(w.GetHwnd()));
    // The button column's left edge, with the first characters of its captions, is on the screen.
    RECT button;
    ::GetWindowRect(w.refreshButton.GetHwnd(), &button);
    EXPECT_GE(button.left, 0);
    EXPECT_FALSE(SaveWindowScreenshot(w.GetHwnd(), L"kelvaro_main_window_150.png").empty());
    w.Close();
    PumpUntil([&] { return !w.IsCreated(); }, 3000);
}

TEST_F(MainWindowTest, ResizeLaysOutBannerListAndChatPanel) {
    rg_ZhuChuangKouLei w;
    Open(w);
    RECT want{0, 0, 1000, 700};
    ::AdjustWindowRectEx(&want, DWORD(::GetWindowLongW(w.GetHwnd(), GWL_STYLE)), FALSE,
                         DWORD(::GetWindowLongW(w.GetHwnd(), GWL_EXSTYLE)));
    w.Move(kVolDefaultValue, kVolDefaultValue, want.right - want.left, want.bottom - want.top);
    ASSERT_EQ(w.GetClientWidth(), 1000);
    EXPECT_EQ(w.banner.GetWidth(), 1000);
    EXPECT_EQ(w.modelList.GetWidth(), 982);
    ASSERT_TRUE(w.chatPanel);
    EXPECT_EQ(w.chatPanel->GetLeft(), 249);
    EXPECT_EQ(w.chatPanel->GetTop(), 149);
    EXPECT_EQ(w.chatPanel->GetWidth(), 751);
    EXPECT_EQ(w.chatPanel->GetHeight(), w.GetClientHeight() - 149);
    EXPECT_EQ(w.chatPanel->contextCountProperty, -1);
    EXPECT_EQ(w.chatPanel->GetControlId(), 0xFFFF);
}

TEST_F(MainWindowTest, RefreshReselectsByWholeItemText) {
    rg_ZhuChuangKouLei w;
    Open(w);
    std::wstring listing = L"NAME    ID    SIZE    MODIFIED\na:1b    1    1 GB    now\nb:2b    2    2 GB    now\n";
    w.runCommand = [&](const CWString&) { return CommandResult{0, CWString(listing), {}}; };
    struct Case { const wchar_t* remembered; const wchar_t* selected; } cases[] = {
        {L"b:2b (2 GB)", L"b:2b (2 GB)"},
        {L"b:2b (3 GB)", L"a:1b (1 GB)"},  // the size changed: not found again, item 0
        {L"", L"a:1b (1 GB)"},
    };
    for (const auto& c : cases) {
        w.modelList.SelectIndex(-1);
        w.rememberedModel = c.remembered;
        w.HandleButtonClick(&w.refreshButton);
        EXPECT_EQ(w.modelList.GetCurrentText(), c.selected) << c.remembered;
        EXPECT_EQ(w.modelList.GetItemCount(), 2);
    }
    // A refresh keeps the list's own selection.
    w.modelList.SelectIndex(1);
    w.HandleButtonClick(&w.refreshButton);
    EXPECT_EQ(w.modelList.GetCurrentText(), L"b:2b (2 GB)");
    EXPECT_EQ(w.refreshButton.GetCaption(), L"刷新模型列表");
}

TEST_F(MainWindowTest, BannerSlotsOpenOllamasPages) {
    rg_ZhuChuangKouLei w;
    std::vector<CWString> opened;
    ScopedSeam shell(&PlatformSeams::shellOpen, [&](const CWString& file, const CWString&, int) {
        opened.push_back(file);
        return true;
    });
    for (int index : {0, 1, 2, 7}) w.HandleBannerButton(&w.banner, index);
    w.HandleBannerButton(&w.modelList, 0);  // only the banner's events count
    EXPECT_EQ(opened, (std::vector<CWString>{L"https://ollama.com", L"https://ollama.com/download/OllamaSetup.exe"}));
}

// What could not run, or ran and failed without a word, ends in the failure box, never in a success
// box or "no running models"; a name the tool would read as an option is refused before anything runs.
TEST_F(MainWindowTest, CommandsThatCouldNotRunOrFailedSilently) {
    rg_ZhuChuangKouLei w;
    Open(w);
    std::vector<std::pair<CWString, CWString>> boxes;  // caption, text
    ScopedSeam seam(&PlatformSeams::messageBox, [&](HWND, const CWString& text, const CWString& caption, UINT) {
        boxes.emplace_back(caption, text);
        return IDOK;
    });
    const CommandResult notStarted{-1, L"", L""}, crashed{-1073741819, L"", L""};
    CommandResult other;
    std::vector<CWString> ran, started;
    w.runCommand = [&](const CWString& line) {
        ran.push_back(line);
        if (line == L"ollama list") return CommandResult{0, L"NAME    ID    SIZE    MODIFIED\na:1b    1    1 GB    now\n", {}};
        return other;
    };
    bool startOk = true;
    w.startVisible = [&](const CWString& line) {
        started.push_back(line);
        return startOk;
    };
    w.HandleButtonClick(&w.refreshButton);

    struct Case {
        rg_DrenvikAnNiu1* button;
        CommandResult result;
        bool startOk;
        const wchar_t* modelName;
        const wchar_t* caption;
        const wchar_t* text;
    } cases[] = {
        {&w.showButton, crashed, true, L"", L"显示当前模型 执行失败：-1073741819", kCommandSilentFailureText},
        {&w.showButton, {1, L"partial\n", L""}, true, L"", L"显示当前模型 执行失败：1", L"partial\n"},
        {&w.stopAllButton, notStarted, true, L"", L"停止所有模型 执行失败：-1", kOllamaNotRunText},
        {&w.stopAllButton, {1, L"", L"Error: could not connect\n"}, true, L"", L"停止所有模型 执行失败：1",
         L"Error: could not connect\n"},
        {&w.downloadButton, {}, false, L"qwen2.5:7b", L"下载指定模型 执行失败：-1", kCmdNotRunText},
        {&w.downloadButton, {}, true, L" -h ", L"信息:", kInvalidModelNameText},
        {&w.downloadButton, {}, true, L"--help", L"信息:", kInvalidModelNameText},
    };
    for (const Case& c : cases) {
        boxes.clear();
        ran.clear();
        started.clear();
        other = c.result;
        startOk = c.startOk;
        w.modelNameCombo.editField.SetText(c.modelName);
        const CWString saved = c.button->GetCaption();
        w.HandleButtonClick(c.button);
        ASSERT_EQ(boxes.size(), 1u) << c.caption;
        EXPECT_EQ(boxes[0].first, c.caption);
        EXPECT_EQ(boxes[0].second, c.text) << c.caption;
        EXPECT_EQ(c.button->GetCaption(), saved);
        if (c.button == &w.downloadButton) {
            EXPECT_EQ(started.size(), c.text == kInvalidModelNameText ? 0u : 1u) << c.caption;
        }
    }
}

// The first refresh runs after the window's layout and first paint, not inside its activation: a
// failure box it shows stands over a whole window.
TEST_F(MainWindowTest, FirstRefreshRunsOnceTheWindowIsLaidOutAndPainted) {
    rg_ZhuChuangKouLei w;
    struct Seen {
        bool panel = false, painted = false;
        int panelWidth = 0;
    };
    std::vector<Seen> refreshes;
    w.runCommand = [&](const CWString& line) {
        if (line == L"ollama list") {
            RECT dirty;
            refreshes.push_back({w.chatPanel != nullptr, !::GetUpdateRect(w.GetHwnd(), &dirty, FALSE),
                                 w.chatPanel ? w.chatPanel->GetWidth() : 0});
        }
        return CommandResult{};
    };
    ASSERT_TRUE(w.LoadWindow());  // shown, so it is activated
    EXPECT_TRUE(refreshes.empty());
    for (int i = 0; i < 200 && refreshes.empty(); ++i) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
    ASSERT_EQ(refreshes.size(), 1u);
    EXPECT_TRUE(refreshes[0].panel);
    EXPECT_TRUE(refreshes[0].painted);
    EXPECT_EQ(refreshes[0].panelWidth, w.GetClientWidth() - 249);
    w.Close();
}

namespace {

// Run from inside the input box's wait, once its window exists.
std::function<void()> gInputBoxStep;

void CALLBACK RunInputBoxStep(HWND, UINT, UINT_PTR id, DWORD) {
    if (!GetInputBox().IsCreated() || !gInputBoxStep) return;
    ::KillTimer(nullptr, id);
    std::exchange(gInputBoxStep, nullptr)();
}

}  // namespace

TEST_F(MainWindowTest, RestoreDefaultNamesTheProfileFolder) {
    ScopedIconResources icons;
    GdiplusSession gdiplus;
    FakeSetxLog setx;
    std::vector<CWString> boxes;
    ScopedSeam box(&PlatformSeams::messageBox, [&](HWND, const CWString& text, const CWString& caption, UINT type) {
        boxes.push_back(caption + L"|" + text + L"|" + CWString::FromInt(type));
        return IDOK;
    });
    // The documents folder moved to another drive: the message still names the profile folder.
    CWString profile = L"C:\\users\\测试用户\\";
    ScopedSeam folders(&PlatformSeams::specialFolder, [&](int kind) {
        return kind == 12 ? profile : kind == 1 ? CWString(L"E:\\资料\\文档") : CWString();
    });
    const CWString head =
        L"已恢复为默认的模型目录，通常位于当前用户文件夹下，如 C:\\Users\\你的用户名\\.ollama\r\n\r\n"
        L"模型目录改变后，如果之前的目录已下载安装了模型，你需要退出Ollama并将目录中的所有文件和文件夹移动到新目录\r\n\r\n"
        L"默认目录：";
    const CWString tail = L"\\.ollama\r\n\r\n重启电脑后新目录才能生效";
    struct Case { double dpi; const wchar_t* profile; const wchar_t* shown; const wchar_t* shot; } cases[] = {
        {1.0, L"C:\\users\\测试用户\\", L"C:\\users\\测试用户", L"kelvaro_model_dir_message.png"},
        // No profile folder known: the documents folder's parent.
        {1.5, L"", L"E:\\资料", L"kelvaro_model_dir_message_150.png"},
    };
    for (const auto& c : cases) {
        SetDpiFactorsForTest(c.dpi);
        profile = c.profile;
        rg_ZhuChuangKouLei w;
        Open(w);
        CWString shown, caption;
        gInputBoxStep = [&] {
            rg_DrenvikShuRuKuangLei& input = GetInputBox();
            shown = input.textBox.GetText();
            caption = w.restoreDirButton.GetCaption();
            // At 1.5 its design size is wider than a 1280 x 1024 screen: it is made to fit, and the
            // text wraps inside it, the first character of every line visible.
            EXPECT_TRUE(LiesInsideWorkArea(input.GetHwnd())) << c.dpi;
            HWND text = input.textBox.GetHwnd();
            RECT client;
            ::GetClientRect(text, &client);
            const LRESULT lines = ::SendMessageW(text, EM_GETLINECOUNT, 0, 0);
            for (LRESULT line = 0; line < lines; ++line) {
                POINTL at{};
                ::SendMessageW(text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at),
                               ::SendMessageW(text, EM_LINEINDEX, WPARAM(line), 0));
                EXPECT_GE(at.x, 0) << line;
                EXPECT_LT(at.x, client.right) << line;
            }
            PumpMessagesFor(200);
            EXPECT_FALSE(SaveWindowScreenshot(input.GetHwnd(), c.shot).empty());
            ::PostMessageW(input.GetHwnd(), WM_CLOSE, 0, 0);
        };
        ::SetTimer(nullptr, 0, 10, &RunInputBoxStep);
        w.HandleButtonClick(&w.restoreDirButton);
        EXPECT_EQ(shown, head + c.shown + tail) << c.dpi;
        EXPECT_EQ(caption, L"恢复默认模型目录") << "restored before the message";
        EXPECT_TRUE(boxes.empty());
    }
    EXPECT_EQ(setx.Lines(), std::vector<CWString>(2, L"setx OLLAMA_MODELS \"\""));

    setx.ExitWith(L"1");
    {
        rg_ZhuChuangKouLei w;
        Open(w);
        w.HandleButtonClick(&w.restoreDirButton);
        EXPECT_EQ(boxes, std::vector<CWString>{L"信息:|恢复默认目录失败！|64"});
        EXPECT_EQ(w.restoreDirButton.GetCaption(), L"恢复默认模型目录");
    }
}

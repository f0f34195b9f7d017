// The real program under Wine with the fake ollama: what the user sees and what runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "support/loopback_server.h"
#include "e2e_driver.h"
#include "app/model_commands.h"
#include "platform/gdiplus_session.h"
#include "platform/shell.h"
#include "support/ui_helpers.h"

namespace {

const std::string kModels =
    "llama3.2:3b|a80c4f17acd5|2.0 GB|2 weeks ago\n"
    "qwen2.5:7b|845dbda0ea48|4.7 GB|3 days ago\n"
    "deepseek-r1:1.5b|a42b25d8c10a|1.1 GB|5 minutes ago\n";

// The chat panel's section as a first run leaves it: all pairs as context, "你是谁" as the question.
constexpr wchar_t kChatSection[] =
    L"[AI聊天界面类]\r\nDrenvik超级编辑框我的提问=你是谁\r\nDrenvik选中框回车键发送=真\r\n"
    L"Drenvik选中框问后清空提问=真\r\n组合框上下文历史数.内容=-1\r\n组合框提问句型.内容=\r\n组合框角色定义.内容=\r\n";

std::wstring Settings(const std::wstring& model, const std::wstring& name = L"deepseek-r1:7b") {
    return kChatSection + (L"[主界面]\r\n模型列表=" + model + L"\r\n组合框模型名称.内容=" + name + L"\r\n");
}

std::string Utf16File(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

// Presses a button, waits for the box titled `caption`, reads it, presses OK.
std::wstring PressAndRead(KelvaroRun& run, int id, const std::wstring& caption) {
    run.Press(id);
    HWND box = run.WaitDialog(caption);
    if (!box) return L"<no box " + caption + L">";
    std::wstring text = run.BoxText(box);
    run.Answer(box, IDOK);
    return text;
}

// A chat server standing in for the local Ollama: the program's Ollama address leads to it, every
// other host to a closed port, so a question routed to a provider never gets an answer.
struct LocalChatServer {
    explicit LocalChatServer(int delayMs = 0)
        : server([delayMs](const SeenRequest&) {
              Reply r;
              r.headers = {"Content-Type: application/json"};
              r.body = "{\"choices\":[{\"message\":{\"role\":\"assistant\",\"content\":\"\u672c\u673a\u56de\u7b54\"}}]}";
              r.delayMs = delayMs;
              return r;
          }) {}
    std::wstring Hosts() const { return L"http://127.0.0.1:11434=" + server.Url(L"") + L"|127.0.0.1:9"; }
    std::vector<SeenRequest> Posts() const {
        std::vector<SeenRequest> posts;
        for (const SeenRequest& r : server.Requests())
            if (r.method == "POST") posts.push_back(r);
        return posts;
    }
    LoopbackServer server;
};

constexpr std::initializer_list<int> kChatSendButton = {0xFFFF, 109, 113};
constexpr std::initializer_list<int> kChatTranscript = {0xFFFF, 101};

template <class F> bool Eventually(F done, int ms = 10000) {
    for (DWORD start = ::GetTickCount(); !done(); ::Sleep(5))
        if (int(::GetTickCount() - start) > ms) return false;
    return true;
}

}  // namespace

// Model names that the provider rules would send away (a slash, "yi-", "minimax") stay with the
// local server, and its answer is shown under the model's name.
TEST(EndToEnd, LoopbackChatKeepsProviderLikeNamesLocal) {
    const struct { const char* name; const char* size; } models[] = {
        {"hf.co/bartowski/Llama-3.2-1B-Instruct-GGUF:Q4_K_M", "807 MB"},
        {"yi-coder:9b", "5.0 GB"},
        {"minimax-m2:cloud", "-"},
    };
    std::string list;
    for (const auto& m : models) list += std::string(m.name) + "|0123456789ab|" + m.size + "|1 day ago\n";
    for (const auto& m : models) {
        LocalChatServer chat;
        const std::wstring name = Utf8ToWide(m.name);
        KelvaroRun run(list, {}, Settings(name + L" (" + Utf8ToWide(m.size) + L")"));
        run.remoteHosts = chat.Hosts();
        ASSERT_TRUE(run.Start()) << m.name;
        run.PressWindow(run.Descendant(kChatSendButton));
        const HWND transcript = run.Descendant(kChatTranscript);
        EXPECT_TRUE(Eventually([&] { return run.EditText(transcript).find(L"本机回答") != std::wstring::npos; }))
            << m.name << "\n" << WideToUtf8(run.EditText(transcript));
        EXPECT_NE(run.EditText(transcript).find(L"(" + name + L") "), std::wstring::npos) << m.name;
        const auto posts = chat.Posts();
        ASSERT_EQ(posts.size(), 1u) << m.name;
        EXPECT_EQ(posts[0].target, "/v1/chat/completions");
        EXPECT_NE(posts[0].body.find("\"model\":\"" + std::string(m.name) + "\""), std::string::npos) << posts[0].body;
        EXPECT_EQ(run.Close(), 0);
    }
}

// Closing while an answer is awaited ends the program as soon as its window is gone, and the
// question is not sent again.
TEST(EndToEnd, ClosingDuringASlowAnswerEndsAtOnce) {
    LocalChatServer chat(30000);
    KelvaroRun run(kModels, {}, Settings(L"qwen2.5:7b (4.7 GB)"));
    run.remoteHosts = chat.Hosts();
    ASSERT_TRUE(run.Start());
    run.PressWindow(run.Descendant(kChatSendButton));
    ASSERT_TRUE(Eventually([&] { return chat.Posts().size() == 1; }));
    EXPECT_EQ(run.Close(), 0);
    EXPECT_LT(run.lingerMs, 1000.0);
    ::Sleep(200);
    EXPECT_EQ(chat.Posts().size(), 1u);
}

TEST(EndToEnd, FirstActivationListsReselectsAndSavesOnClose) {
    KelvaroRun run(kModels, {}, Settings(L"qwen2.5:7b (4.7 GB)", L"gemma2:2b"));
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Log(), std::vector<std::wstring>{L"ollama list"});
    EXPECT_EQ(run.ComboText(kModelListId), L"qwen2.5:7b (4.7 GB)");
    EXPECT_EQ(run.ComboText(kModelNameId), L"gemma2:2b");
    EXPECT_EQ(run.Caption(kDownloadId), L"下载指定模型");
    EXPECT_EQ(run.Text(run.Main()),
              L"Drenvik·Kelvaro v1.2.0.0 - Ollama 原本的命令行管理模式很麻烦吧？本软件可视化管理，操作简单！快速对话。"
              L"比如部署个DeepSeek-R1玩玩？");

    GdiplusSession gdiplus;
    std::wstring shot = SaveWindowScreenshot(run.Main(), L"kelvaro_main_window.png");
    EXPECT_FALSE(shot.empty());
    std::printf("screenshot: %ls\n", shot.c_str());

    run.SetComboText(kModelNameId, L"phi4:latest");
    EXPECT_EQ(run.Close(), 0);
    EXPECT_EQ(run.SettingsBytes(), Utf16File(Settings(L"qwen2.5:7b (4.7 GB)", L"phi4:latest")));
}

TEST(EndToEnd, FirstRunWithoutSettingsSelectsTheFirstModelAndWritesTheFile) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.ComboText(kModelListId), L"llama3.2:3b (2.0 GB)");
    EXPECT_EQ(run.ComboText(kModelNameId), L"deepseek-r1:7b");
    EXPECT_EQ(run.Close(), 0);
    EXPECT_EQ(run.SettingsBytes(), Utf16File(Settings(L"llama3.2:3b (2.0 GB)")));
}

TEST(EndToEnd, ShowReportsWithCaptionsBoxAndClipboard) {
    KelvaroRun run(kModels, {}, Settings(L"qwen2.5:7b (4.7 GB)"));
    ASSERT_TRUE(run.Start());
    run.SetScenario("show qwen2.5:7b\t0\t1500\t  Model\\n    architecture    qwen2    \\n\t\n");
    run.Press(kShowId);
    EXPECT_TRUE(run.WaitCaption(kShowId, L"显示当前模型执行中"));
    HWND box = run.WaitDialog(L"显示当前模型 执行成功：0");
    ASSERT_TRUE(box);
    EXPECT_EQ(run.Caption(kShowId), L"显示当前模型");
    EXPECT_EQ(run.BoxText(box), L"  Model\n    architecture    qwen2    \n");
    EXPECT_EQ(GetClipboardText(), L"  Model\n    architecture    qwen2    \n");
    run.Answer(box, IDOK);
    EXPECT_EQ(run.Log().back(), L"ollama show qwen2.5:7b");
}

TEST(EndToEnd, FailuresGoToTheFailureBox) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    // Only standard error and a non-zero exit code: failure, the error text copied.
    run.SetScenario("show\t1\t0\t\tError: model 'llama3.2:3b' not found\\n\n");
    EXPECT_EQ(PressAndRead(run, kShowId, L"显示当前模型 执行失败：1"), L"Error: model 'llama3.2:3b' not found\n");
    EXPECT_EQ(GetClipboardText(), L"Error: model 'llama3.2:3b' not found\n");
    EXPECT_EQ(run.Caption(kShowId), L"显示当前模型");

    // Ollama missing: the command cannot start, which is a failure with its own text.
    run.RemoveFakeOllama();
    EXPECT_EQ(PressAndRead(run, kShowId, L"显示当前模型 执行失败：-1"), kOllamaNotRunText);
    EXPECT_EQ(GetClipboardText(), kOllamaNotRunText);
    EXPECT_EQ(PressAndRead(run, kRefreshId, L"刷新模型列表 执行失败：-1"), kOllamaNotRunText);
    EXPECT_EQ(run.ComboText(kModelListId), L"llama3.2:3b (2.0 GB)");  // the list stays
}

TEST(EndToEnd, DeleteAsksOwnedAndDeletesTheModelItNamed) {
    KelvaroRun run(kModels, {}, Settings(L"qwen2.5:7b (4.7 GB)"));
    ASSERT_TRUE(run.Start());
    run.Press(kDeleteId);
    HWND ask = run.WaitDialog(L"信息:");
    ASSERT_TRUE(ask);
    EXPECT_EQ(run.BoxText(ask), L"确定要删除当前模型吗？当前模型是：qwen2.5:7b (4.7 GB)");
    // Owned by the window, which is disabled meanwhile: the selection cannot change under it.
    EXPECT_EQ(::GetWindow(ask, GW_OWNER), run.Main());
    EXPECT_FALSE(::IsWindowEnabled(run.Main()));
    run.Answer(ask, IDCANCEL);
    EXPECT_TRUE(run.WaitCaption(kDeleteId, L"删除当前模型"));
    EXPECT_EQ(run.Log().size(), 1u);

    run.Press(kDeleteId);
    ask = run.WaitDialog(L"信息:");
    ASSERT_TRUE(ask);
    run.Answer(ask, IDOK);
    HWND box = run.WaitDialog(L"删除当前模型 执行成功：0");
    ASSERT_TRUE(box);
    EXPECT_EQ(run.BoxText(box), L"deleted 'qwen2.5:7b'\n");
    run.Answer(box, IDOK);
    EXPECT_EQ(run.Log().back(), L"ollama rm qwen2.5:7b");
}

TEST(EndToEnd, CopyPromptsValidatesAndRuns) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    struct Case { const wchar_t* typed; bool ok; const wchar_t* box; } cases[] = {
        {L"whatever", false, nullptr},                       // cancel
        {L"   ", true, nullptr},                             // empty: as cancel
        {L"a&calc", true, L"信息:"},                         // not a valid name: nothing runs
        {L"my copy", true, L"复制当前模型 执行成功：0"},      // blanks removed
    };
    for (const auto& c : cases) {
        run.Press(kCopyId);
        HWND input = run.WaitInputDialog();
        ASSERT_TRUE(input) << c.typed;
        EXPECT_EQ(run.InputText(input), L"");
        run.AnswerInput(input, c.typed, c.ok);
        if (c.box) {
            HWND box = run.WaitDialog(c.box);
            ASSERT_TRUE(box) << c.typed;
            if (std::wstring(c.box) == L"信息:") {
                EXPECT_EQ(run.BoxText(box), kInvalidModelNameText);
            }
            run.Answer(box, IDOK);
        }
        EXPECT_TRUE(run.WaitCaption(kCopyId, L"复制当前模型")) << c.typed;
    }
    auto log = run.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], L"ollama cp llama3.2:3b mycopy");
}

TEST(EndToEnd, RunAndStopReportNothing) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    run.Press(kRunId);
    ASSERT_TRUE(run.WaitLog(2));
    EXPECT_TRUE(run.WaitCaption(kRunId, L"运行当前模型"));
    run.Press(kStopId);
    ASSERT_TRUE(run.WaitLog(3));
    EXPECT_TRUE(run.WaitCaption(kStopId, L"停止当前模型"));
    EXPECT_EQ(run.Log(), (std::vector<std::wstring>{L"ollama list", L"ollama run llama3.2:3b", L"ollama stop llama3.2:3b"}));
    EXPECT_FALSE(run.WaitDialog(L"运行当前模型 执行成功：0", 300));
}

TEST(EndToEnd, StopAllAsksThenStopsEachWithProgress) {
    KelvaroRun run(kModels,
                   "llama3.2:3b|a80c4f17acd5|2.0 GB|100% CPU|4 minutes from now\n"
                   "qwen2.5:7b|845dbda0ea48|4.7 GB|100% GPU|4 minutes from now\n");
    ASSERT_TRUE(run.Start());
    run.Press(kStopAllId);
    HWND ask = run.WaitDialog(L"信息:");
    ASSERT_TRUE(ask);
    EXPECT_EQ(run.BoxText(ask),
              L"确定要停止 2 个已运行模型吗？\r\n\r\n下面是已运行模型列表：\r\nllama3.2:3b (2.0 GB)\r\nqwen2.5:7b (4.7 GB)");
    EXPECT_EQ(run.Caption(kStopAllId), L"停止所有模型执行中");
    run.SetScenario("stop\t0\t1200\t\t\n");
    run.Answer(ask, IDOK);
    EXPECT_TRUE(run.WaitCaption(kStopAllId, L"正在停止 (1/2)"));
    EXPECT_TRUE(run.WaitCaption(kStopAllId, L"正在停止 (2/2)"));
    EXPECT_TRUE(run.WaitCaption(kStopAllId, L"停止所有模型"));
    EXPECT_EQ(run.Log(), (std::vector<std::wstring>{L"ollama list", L"ollama ps", L"ollama stop llama3.2:3b",
                                                    L"ollama stop qwen2.5:7b"}));
    // Cancel runs nothing.
    run.Press(kStopAllId);
    ask = run.WaitDialog(L"信息:");
    ASSERT_TRUE(ask);
    run.Answer(ask, IDCANCEL);
    EXPECT_TRUE(run.WaitCaption(kStopAllId, L"停止所有模型"));
    EXPECT_EQ(run.Log().size(), 5u);
    EXPECT_EQ(run.Close(), 0);
}

TEST(EndToEnd, NoModelsInstalled) {
    KelvaroRun run("", {}, Settings(L"qwen2.5:7b (4.7 GB)"));
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.ComboText(kModelListId), L"");
    EXPECT_EQ(PressAndRead(run, kShowId, L"信息:"), L"还没有下载安装模型");
    EXPECT_TRUE(run.WaitCaption(kShowId, L"显示当前模型"));
    // One refresh was tried before giving up; show itself never ran.
    EXPECT_EQ(run.Log(), (std::vector<std::wstring>{L"ollama list", L"ollama list"}));
    EXPECT_EQ(PressAndRead(run, kStopAllId, L"信息:"), L"没有发现已运行模型！");
    // The list could not be filled: the model remembered from before is kept.
    EXPECT_EQ(run.Close(), 0);
    EXPECT_EQ(run.SettingsBytes(), Utf16File(Settings(L"qwen2.5:7b (4.7 GB)")));
}

TEST(EndToEnd, DownloadChecksTheNameAndStartsAVisibleConsole) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    run.SetComboText(kModelNameId, L"x&echo pwned>pwned.txt");
    EXPECT_EQ(PressAndRead(run, kDownloadId, L"信息:"), kInvalidModelNameText);
    run.SetScenario("run\t0\t0\t\t\n");
    run.SetComboText(kModelNameId, L" tiny llama:1b ");
    run.Press(kDownloadId);
    ASSERT_TRUE(run.WaitLog(2, 20000));
    EXPECT_EQ(run.Log()[1].substr(0, 6), L"ollama");
    EXPECT_NE(run.Log()[1].find(L"run tinyllama:1b"), std::wstring::npos);
    EXPECT_EQ(run.Caption(kDownloadId), L"下载指定模型");
    EXPECT_FALSE(std::filesystem::exists(run.Folder() / L"pwned.txt"));
}

TEST(EndToEnd, CreateFromAModelFile) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    std::ofstream(run.Folder() / L"my model.gguf") << "GGUF";
    const std::wstring file = (run.Folder() / L"my model.gguf").wstring();

    // Cancelling the file dialog runs nothing.
    run.Press(kCreateId);
    HWND dialog = run.WaitDialog(L"两步第一步：选择模型文件");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(run.Caption(kCreateId), L"根据模型文件创建执行中");
    run.Answer(dialog, IDCANCEL);
    EXPECT_TRUE(run.WaitCaption(kCreateId, L"根据模型文件创建"));

    run.Press(kCreateId);
    dialog = run.WaitDialog(L"两步第一步：选择模型文件");
    ASSERT_TRUE(dialog);
    HWND name = ::GetDlgItem(dialog, 0x47C);  // the file name box (cmb13), else edt1
    if (!name) name = ::GetDlgItem(dialog, 0x480);
    ASSERT_TRUE(name);
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    run.Answer(dialog, IDOK);
    HWND input = run.WaitInputDialog();
    ASSERT_TRUE(input);
    EXPECT_EQ(run.InputText(input), L"my model");  // the file's title
    run.AnswerInput(input, L"my model", true);
    // The tool reports only on standard error, with exit code 0: a success, shown without the
    // terminal's control sequences.
    HWND box = run.WaitDialog(L"根据模型文件创建 执行成功：0");
    ASSERT_TRUE(box);
    EXPECT_EQ(run.BoxText(box),
              L"gathering model components\r\npulling 2bada8a74506: 100%\r\nverifying sha256 digest\r\n"
              L"writing manifest\r\nsuccess");
    run.Answer(box, IDOK);
    EXPECT_EQ(run.Log().back(), L"ollama create mymodel -f \"" + file + L"\"");
}

TEST(EndToEnd, UnchangedSettingsAreNotRewritten) {
    KelvaroRun run(kModels, {}, Settings(L"qwen2.5:7b (4.7 GB)"));
    const auto file = run.Folder() / L"软件配置.ini";
    const auto before = std::filesystem::last_write_time(file) - std::chrono::hours(1);
    std::filesystem::last_write_time(file, before);
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Close(), 0);
    EXPECT_EQ(std::filesystem::last_write_time(file), before);
    EXPECT_EQ(run.SettingsBytes(), Utf16File(Settings(L"qwen2.5:7b (4.7 GB)")));
}

namespace {

std::wstring UserProfile() {
    wchar_t buf[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableW(L"USERPROFILE", buf, MAX_PATH);
    std::wstring path(buf, n);
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

// Presses a button and, until a window `found` gives appears, keeps every caption it shows.
template <class Find> HWND PressWatchingCaptions(KelvaroRun& run, int id, Find found, std::vector<std::wstring>& seen) {
    run.Press(id);
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 10000; ::Sleep(2)) {
        std::wstring caption = run.Caption(id);
        if (seen.empty() || seen.back() != caption) seen.push_back(caption);
        if (HWND h = found()) return h;
    }
    return nullptr;
}

}  // namespace

TEST(EndToEnd, RestoreDefaultModelDirectory) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    run.SetSetxScenario(0, 1500);
    std::vector<std::wstring> captions;
    HWND form = PressWatchingCaptions(run, kRestoreDirId, [&] { return run.WaitMessageForm(0); }, captions);
    ASSERT_TRUE(form);
    EXPECT_EQ(run.FormText(form),
              L"已恢复为默认的模型目录，通常位于当前用户文件夹下，如 C:\\Users\\你的用户名\\.ollama\r\n\r\n"
              L"模型目录改变后，如果之前的目录已下载安装了模型，你需要退出Ollama并将目录中的所有文件和文件夹移动到新目录"
              L"\r\n\r\n默认目录：" + UserProfile() + L"\\.ollama\r\n\r\n重启电脑后新目录才能生效");
    // The progress caption while setx ran, the button's own again by the time the message shows.
    EXPECT_NE(std::find(captions.begin(), captions.end(), L"正在修改模型目录.."), captions.end());
    EXPECT_EQ(captions.back(), L"恢复默认模型目录");
    for (const auto& c : captions) EXPECT_EQ(c.find(L"执行中"), std::wstring::npos) << c;
    EXPECT_TRUE(run.CloseForm(form));
    EXPECT_EQ(run.SetxLog(), std::vector<std::wstring>{L"setx OLLAMA_MODELS \"\""});

    run.SetSetxScenario(5, 0);
    EXPECT_EQ(PressAndRead(run, kRestoreDirId, L"信息:"), L"恢复默认目录失败！");
    EXPECT_TRUE(run.WaitCaption(kRestoreDirId, L"恢复默认模型目录"));
    EXPECT_EQ(run.SetxLog().size(), 2u);
    EXPECT_EQ(run.Log(), std::vector<std::wstring>{L"ollama list"});  // no ollama command ran
    EXPECT_EQ(run.Close(), 0);
}

namespace {

// A temporary folder of the run holding a folder "models" and a file.
struct ChangeDirFixture {
    std::wstring models, file;
    explicit ChangeDirFixture(const KelvaroRun& run)
        : models((run.Folder() / L"models").wstring()), file((run.Folder() / L"model.gguf").wstring()) {
        std::filesystem::create_directories(models);
        std::ofstream(run.Folder() / L"model.gguf") << "GGUF";
    }
};

constexpr int kOkId = 103, kCancelId = 104, kPasteId = 106, kPathId = 107;

// Presses "更换模型目录" and waits for the folder window.
HWND OpenFolderWindow(KelvaroRun& run) {
    run.Press(kChangeDirId);
    return run.WaitForm(L"选择文件夹");
}

void TypePath(HWND window, const std::wstring& path) {
    ::SendMessageW(::GetDlgItem(window, kPathId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

std::wstring ChangedText(const std::wstring& folder) {
    return L"已更换为新的模型目录，如果之前的目录已下载安装了模型，你需要退出Ollama并将目录中的所有文件和文件夹移动到新目录"
           L"\r\n\r\n新目录：" + folder + L"\r\n\r\n重启电脑后新目录才能生效";
}

// The user looks at another program and comes back to the folder window: that program's window
// then lies between the folder window and the main window.
void PutBetween(const OtherProgramWindow& other, HWND window, HWND main) {
    EXPECT_TRUE(other.BringToFront());
    EXPECT_TRUE(BringToFront(window));
    EXPECT_TRUE(LiesAbove(window, other.Hwnd()));
    EXPECT_TRUE(LiesAbove(other.Hwnd(), main));
}


// Chooses `typed` in the folder window and reads the message it leads to; the captions seen on the
// way. With `other`, that program's window lies between the folder window and the main window.
std::wstring ChooseAndRead(KelvaroRun& run, const std::wstring& typed, std::vector<std::wstring>& captions,
                           const OtherProgramWindow* other = nullptr) {
    HWND window = OpenFolderWindow(run);
    if (!window) return L"<no folder window>";
    if (other) PutBetween(*other, window, run.Main());
    TypePath(window, typed);
    run.PressIn(window, kOkId);
    if (other) {  // (setx should take long enough for the message to come later)
        EXPECT_TRUE(run.WaitClosed(window));
        EXPECT_TRUE(SettlesInFront(run.Main(), other->Hwnd())) << "after OK";
    }
    HWND form = nullptr, box = nullptr;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 10000 && !form && !box; ::Sleep(2)) {
        std::wstring caption = run.Caption(kChangeDirId);
        if (captions.empty() || captions.back() != caption) captions.push_back(caption);
        form = run.WaitMessageForm(0);
        box = run.WaitDialog(L"信息:", 0);
    }
    std::wstring text = form ? run.FormText(form) : box ? run.BoxText(box) : L"<nothing shown>";
    if (form) run.CloseForm(form);
    if (box) run.Answer(box, IDOK);
    return text;
}

}  // namespace

TEST(EndToEnd, ChangeModelDirectoryRunsNothingWithoutAFolder) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    ChangeDirFixture dirs(run);
    OtherProgramWindow other(L"another program", RECT{250, 200, 1050, 850});
    ASSERT_TRUE(other.Hwnd());
    ASSERT_TRUE(BringToFront(run.Main()));

    // Cancel: owned by the main window, which is disabled meanwhile. Another program's window lies
    // between them, and still the main window is in front again afterwards.
    HWND window = OpenFolderWindow(run);
    ASSERT_TRUE(window);
    EXPECT_EQ(::GetWindow(window, GW_OWNER), run.Main());
    EXPECT_FALSE(::IsWindowEnabled(run.Main()));
    EXPECT_EQ(run.Caption(kChangeDirId), L"更换模型目录");
    PutBetween(other, window, run.Main());
    run.PressIn(window, kCancelId);
    EXPECT_TRUE(run.WaitClosed(window));
    EXPECT_TRUE(::IsWindowEnabled(run.Main()));
    EXPECT_TRUE(SettlesInFront(run.Main(), other.Hwnd())) << "the main window is in front again, not only active";

    // A missing folder, a file, a relative path: a hint, the window stays, nothing runs.
    for (const std::wstring& typed : {dirs.models + L"\\missing", dirs.file, std::wstring(L"models")}) {
        window = OpenFolderWindow(run);
        ASSERT_TRUE(window) << typed;
        TypePath(window, typed);
        run.PressIn(window, kOkId);
        HWND hint = run.WaitDialog(L"信息:");
        ASSERT_TRUE(hint) << typed;
        EXPECT_EQ(::GetWindow(hint, GW_OWNER), window);
        run.Answer(hint, IDOK);
        EXPECT_TRUE(::IsWindowVisible(window));
        PutBetween(other, window, run.Main());
        ::PostMessageW(window, WM_CLOSE, 0, 0);  // the close box
        EXPECT_TRUE(run.WaitClosed(window));
        EXPECT_TRUE(SettlesInFront(run.Main(), other.Hwnd())) << typed;
    }
    EXPECT_TRUE(run.WaitCaption(kChangeDirId, L"更换模型目录"));
    EXPECT_TRUE(run.SetxLog().empty());
    EXPECT_EQ(run.Close(), 0);
}

TEST(EndToEnd, ChangeModelDirectorySetsTheChosenFolder) {
    KelvaroRun run(kModels);
    ASSERT_TRUE(run.Start());
    ChangeDirFixture dirs(run);
    std::vector<std::wstring> captions;

    // A trailing backslash is dropped; setx ran under the progress caption, never "执行中". Another
    // program's window lay between the folder window and the main window: the main window is in
    // front after the folder window and after the message.
    OtherProgramWindow other(L"another program", RECT{250, 200, 1050, 850});
    ASSERT_TRUE(other.Hwnd());
    ASSERT_TRUE(BringToFront(run.Main()));
    run.SetSetxScenario(0, 1500);
    EXPECT_EQ(ChooseAndRead(run, dirs.models + L"\\", captions, &other), ChangedText(dirs.models));
    EXPECT_TRUE(SettlesInFront(run.Main(), other.Hwnd())) << "after the message";
    EXPECT_NE(std::find(captions.begin(), captions.end(), L"正在修改模型目录.."), captions.end());
    EXPECT_EQ(captions.back(), L"更换模型目录");
    for (const auto& c : captions) EXPECT_EQ(c.find(L"执行中"), std::wstring::npos) << c;

    // A drive root keeps its backslash, and setx gets it as "C:\".
    run.SetSetxScenario(0, 0);
    EXPECT_EQ(ChooseAndRead(run, L"C:\\", captions), ChangedText(L"C:\\"));

    // Pasted with Explorer's quotes.
    SetClipboardText(L"\"" + dirs.models + L"\"");
    HWND window = OpenFolderWindow(run);
    ASSERT_TRUE(window);
    run.PressIn(window, kPasteId);
    HWND form = run.WaitMessageForm(500);
    EXPECT_FALSE(form);
    run.PressIn(window, kOkId);
    form = run.WaitMessageForm();
    ASSERT_TRUE(form);
    EXPECT_EQ(run.FormText(form), ChangedText(dirs.models));
    run.CloseForm(form);

    // A folder whose path setx would cut to 1024 characters, and still report as set: refused
    // before setx runs.
    std::wstring deep = dirs.models;
    std::vector<std::wstring> levels;
    while (deep.size() <= 1024) {
        deep += L"\\" + std::wstring(200, L'd');
        levels.push_back(deep);
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr)) << deep.size();
    }
    EXPECT_EQ(ChooseAndRead(run, deep, captions), L"更换新目录失败！");
    EXPECT_TRUE(run.WaitCaption(kChangeDirId, L"更换模型目录"));
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) ::RemoveDirectoryW((L"\\\\?\\" + *it).c_str());

    // A failing setx.
    run.SetSetxScenario(2, 0);
    EXPECT_EQ(ChooseAndRead(run, dirs.models, captions), L"更换新目录失败！");
    EXPECT_TRUE(run.WaitCaption(kChangeDirId, L"更换模型目录"));

    EXPECT_EQ(run.SetxLog(), (std::vector<std::wstring>{L"setx OLLAMA_MODELS \"" + dirs.models + L"\"",
                                                        L"setx OLLAMA_MODELS \"C:\\\\\"",
                                                        L"setx OLLAMA_MODELS \"" + dirs.models + L"\"",
                                                        L"setx OLLAMA_MODELS \"" + dirs.models + L"\""}));
    // setx reads the root with its backslash.
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(run.SetxLog().at(1).c_str(), &argc);
    ASSERT_EQ(argc, 3);
    EXPECT_STREQ(argv[2], L"C:\\");
    ::LocalFree(argv);
    EXPECT_EQ(run.Log(), std::vector<std::wstring>{L"ollama list"});
    EXPECT_EQ(run.Close(), 0);
}

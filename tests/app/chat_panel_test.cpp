// The chat panel: sending through the main window to a loopback stand-in for the Ollama server,
// the rendered transcript read back from the rich edit, context pairs, commands, the Enter key and
// the settings section.
#include <gtest/gtest.h>

#include "support/loopback_server.h"
#include "support/ui_helpers.h"

#include <filesystem>
#include <fstream>
#include <mutex>

#include "app/chat_panel.h"
#include "app/main_window.h"
#include "platform/dynapi.h"
#include "platform/gdiplus_session.h"
#include "platform/seams.h"
#include "platform/shell.h"
#include "util/component_config.h"
#include "util/escape.h"

namespace {

namespace fs = std::filesystem;

// A character range of a rich edit box and what it reads back.
struct RunFormat {
    bool found = false;
    int points = 0;
    COLORREF colour = 0;
    bool bold = false, italic = false;
    int indentPoints = 0;
    std::wstring face;
};

RunFormat FormatOf(rg_ChaoJiBianJiKuang& box, std::wstring_view text, int nth = 0) {
    RunFormat r;
    HWND h = box.GetHwnd();
    std::wstring what(text);
    FINDTEXTEXW ft{};
    ft.chrg = {0, -1};
    ft.lpstrText = what.c_str();
    LONG at = -1;
    for (int k = 0; k <= nth; ++k) {
        at = LONG(::SendMessageW(h, EM_FINDTEXTEXW, FR_DOWN | FR_MATCHCASE, reinterpret_cast<LPARAM>(&ft)));
        if (at < 0) return r;
        ft.chrg.cpMin = ft.chrgText.cpMax;
    }
    r.found = true;
    ::SendMessageW(h, EM_SETSEL, WPARAM(at), LPARAM(at + LONG(what.size())));
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    ::SendMessageW(h, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    r.points = int(cf.yHeight / 20);
    r.colour = cf.crTextColor;
    r.bold = (cf.dwEffects & CFE_BOLD) != 0;
    r.italic = (cf.dwEffects & CFE_ITALIC) != 0;
    r.face = cf.szFaceName;
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof pf;
    ::SendMessageW(h, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    r.indentPoints = int(pf.dxStartIndent / 20);
    return r;
}

std::string Utf8(std::wstring_view w) { return WideToUtf8(w); }

// A JSON string value for a reply body.
std::string JsonText(std::wstring_view text) {
    std::string out;
    for (char c : Utf8(text)) {
        if (c == '\n') out += "\\n";
        else if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

Reply AnswerReply(std::wstring_view content) {
    Reply r;
    r.headers = {"Content-Type: application/json"};
    r.body = "{\"choices\":[{\"index\":0,\"message\":{\"role\":\"assistant\",\"content\":\"" + JsonText(content) + "\"}}]}";
    return r;
}

// The request body with its \uXXXX escapes decoded.
std::wstring DecodedBody(const SeenRequest& rq) {
    CWString body(Utf8ToWide(rq.body));
    DecodeEscapes(body, 0);
    return body;
}

// The global configuration on a file of the test's own, emptied again afterwards.
class ScopedSettingsFile {
public:
    ScopedSettingsFile() {
        dir_ = fs::temp_directory_path() / (L"kv_chat_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                                            std::to_wstring(++counter_));
        fs::create_directories(dir_);
        path_ = dir_ / L"软件配置.ini";
        gComponentConfig.Reset();
        gComponentConfig.LoadFromFile(path_.wstring());
    }
    ~ScopedSettingsFile() {
        gComponentConfig.Reset();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const fs::path& Path() const { return path_; }
    // The file as text (UTF-16LE after its byte-order mark).
    std::wstring Text() const {
        std::ifstream in(path_, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.size() < 2) return {};
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    }

private:
    static inline int counter_ = 0;
    fs::path dir_, path_;
};

// A panel of its own in a hidden form, with a recording ask handler.
struct AskLog : CVolObject, VolEventReceiver {
    AskLog() : VolEventReceiver(this) {}
    int OnAsk(CVolObject*, const CWString& question, CWString* answer, const CWString& role,
              const CMStringArray& hq, const CMStringArray& ha, CWString* error) {
        questions.push_back(question);
        roles.push_back(role);
        lastHq = hq;
        lastHa = ha;
        if (during) during();
        *answer = reply;
        *error = failure;
        return 1;
    }
    int OnModel(CVolObject*, CWString* text) {
        *text = model;
        return 0;
    }
    std::vector<CWString> questions, roles;
    CMStringArray lastHq, lastHa;
    CWString reply = L"fine", failure;
    CWString model = L"m:1b (1 GB)";
    std::function<void()> during;
};

class PanelHost {
public:
    PanelHost() : panel(rg_AILiaoTianJieMianLei::CreateInstance()) {
        form.designWidth = 1200;
        form.designHeight = 629;
        EXPECT_TRUE(form.LoadWindow());
        panel->askEvent.Bind(&VolThunk<&AskLog::OnAsk>::Call, log.GetEventTarget());
        panel->modelTextEvent.Bind(&VolThunk<&AskLog::OnModel>::Call, log.GetEventTarget());
        panel->contextCountProperty = -1;
        EXPECT_EQ(panel->CreateInParent(form, 0, 0, form.GetClientWidth(), form.GetClientHeight(), 0xFFFF), 1);
    }
    void Ask(std::wstring_view question) {
        panel->questionBox.SetText(question);
        panel->HandleButtonClick(&panel->sendButton);
    }
    HiddenTestForm form;
    AskLog log;
    std::unique_ptr<rg_AILiaoTianJieMianLei> panel;
};

// A panel in a hidden form on a settings file of its own.
class ChatPanelTest : public ::testing::Test {
protected:
    ScopedSettingsFile settings;
    PanelHost host;
    rg_AILiaoTianJieMianLei& p = *host.panel;
};

void SeedPairs(rg_AILiaoTianJieMianLei& p, int n) {
    for (int k = 1; k <= n; ++k) {
        p.questionHistory.push_back(L"q" + std::to_wstring(k));
        p.answerHistory.push_back(L"a" + std::to_wstring(k));
    }
}

SHORT WINAPI CtrlDown(int key) { return key == VK_CONTROL ? SHORT(0x8000) : 0; }
SHORT WINAPI CtrlUp(int) { return 0; }

class ScopedKeyState {
public:
    explicit ScopedKeyState(decltype(DynamicApiTable.GetAsyncKeyState) f) : saved_(DynamicApiTable.GetAsyncKeyState) {
        DynamicApiTable.GetAsyncKeyState = f;
    }
    ~ScopedKeyState() { DynamicApiTable.GetAsyncKeyState = saved_; }

private:
    decltype(DynamicApiTable.GetAsyncKeyState) saved_;
};

// ---- end to end through the main window ----------------------------------------------------------

class ChatEndToEnd : public ::testing::Test {
protected:
    ChatEndToEnd()
        : server_([this](const SeenRequest&) {
              std::lock_guard<std::mutex> g(lock_);
              // What the send button says while the answer is awaited (read without a message).
              wchar_t text[64] = {};
              ::InternalGetWindowText(sendHwnd_, text, 64);
              captionsSeen_.push_back(text);
              return reply_;
          }),
          hosts_(&PlatformSeams::remoteHost, [this](const CWString& host) {
              hostsAsked_.push_back(host);
              return CWString(server_.Url(L""));
          }) {}

    void SetUp() override {
        window_.runCommand = [](const CWString&) { return CommandResult{}; };  // no model list from a tool
        window_.SetVisible(false);
        ASSERT_TRUE(window_.LoadWindow());
        panel_ = window_.GetOrCreateChatPanel();
        sendHwnd_ = panel_->sendButton.GetHwnd();
        window_.modelList.AddItem(L"qwen2.5:7b (4.7 GB)", L"");
        window_.modelList.SelectIndex(0);
    }
    void SetReply(Reply r) {
        std::lock_guard<std::mutex> g(lock_);
        reply_ = std::move(r);
    }

    ScopedSettingsFile settings_;
    LoopbackServer server_;
    ScopedSeam<std::function<CWString(const CWString&)>> hosts_;
    std::mutex lock_;
    Reply reply_;
    std::vector<std::wstring> captionsSeen_;
    std::vector<CWString> hostsAsked_;
    HWND sendHwnd_ = nullptr;
    rg_ZhuChuangKouLei window_;
    rg_AILiaoTianJieMianLei* panel_ = nullptr;
};

}  // namespace

TEST_F(ChatEndToEnd, QuestionGoesOutWithRoleAndRecentPairsAndTheAnswerIsStyled) {
    SeedPairs(*panel_, 3);
    panel_->contextCombo.SelectByText(L"2");
    panel_->roleCombo.SelectByText(L"你是一名导游");
    SetReply(AnswerReply(L"<think>\nplan it\n</think>\n\n## 标题\nSee **bold** and `C:\\tmp`:\n```cpp\nint x = 1; // C:\\dir\n```\nend"));
    panel_->questionBox.SetText(L"  去哪里玩？ \r\n");
    panel_->HandleButtonClick(&panel_->sendButton);

    ASSERT_EQ(server_.RequestCount(), 1u);
    EXPECT_EQ(captionsSeen_, std::vector<std::wstring>{L"等待AI回应.."});
    EXPECT_EQ(panel_->sendButton.GetCaption(), L"发送");
    EXPECT_EQ(hostsAsked_, std::vector<CWString>{L"http://127.0.0.1:11434"});
    SeenRequest rq = server_.Requests()[0];
    EXPECT_EQ(rq.target, "/v1/chat/completions");
    std::wstring body = DecodedBody(rq);
    EXPECT_NE(body.find(L"\"model\":\"qwen2.5:7b\""), std::wstring::npos) << Utf8(body);
    // The role as the system message, then the last two pairs oldest first, then the trimmed question.
    size_t system = body.find(L"\"role\":\"system\", \"content\":\"你是一名导游\"");
    size_t q2 = body.find(L"q2"), a2 = body.find(L"a2"), q3 = body.find(L"q3"), a3 = body.find(L"a3");
    size_t asked = body.find(L"\"content\":\"去哪里玩？\"");
    EXPECT_NE(system, std::wstring::npos) << Utf8(body);
    EXPECT_EQ(body.find(L"q1"), std::wstring::npos);
    EXPECT_TRUE(system < q2 && q2 < a2 && a2 < q3 && q3 < a3 && a3 < asked) << Utf8(body);

    // The pair joins the history; the code is kept for "复制代码" with its backslash.
    ASSERT_EQ(panel_->questionHistory.size(), 4u);
    EXPECT_EQ(panel_->questionHistory.back(), L"去哪里玩？");
    EXPECT_EQ(panel_->codeText, L"int x = 1; // C:\\dir\r\n");
    EXPECT_EQ(panel_->questionBox.GetText(), L"");  // "发送清空" is checked

    struct Want {
        const wchar_t* text;
        int points;
        COLORREF colour;
        bool bold, italic;
        int indent;
    } wants[] = {
        {L"我 ", 15, 0x008000, false, false, 5},
        {L"去哪里玩？", 11, 0xFF0090, true, false, 5},
        {L"AI ", 15, 0x008000, false, false, 5},
        {L"(qwen2.5:7b) ", 11, 0x008000, false, false, 5},
        {L"用时 ", 11, 0xC0C0C0, false, false, 5},
        {L"plan it", 11, 0x808080, false, false, 15},
        {L"标题", 12, 0x808000, true, false, 5},
        {L"bold", 11, 0xC06000, true, false, 5},
        {L"C:\\tmp", 11, 0x606060, false, true, 5},
        {L"int x = 1; // C:\\dir", 9, 0x000080, false, false, 15},
        {L"end", 11, 0xC06000, false, false, 5},
    };
    for (const Want& w : wants) {
        RunFormat f = FormatOf(panel_->transcriptBox, w.text);
        ASSERT_TRUE(f.found) << Utf8(w.text) << "\n" << Utf8(panel_->transcriptBox.GetText());
        EXPECT_EQ(f.points, w.points) << Utf8(w.text);
        EXPECT_EQ(f.colour, w.colour) << Utf8(w.text);
        EXPECT_EQ(f.bold, w.bold) << Utf8(w.text);
        EXPECT_EQ(f.italic, w.italic) << Utf8(w.text);
        EXPECT_EQ(f.indentPoints, w.indent) << Utf8(w.text);
        EXPECT_EQ(f.face, L"微软雅黑") << Utf8(w.text);
    }
    EXPECT_TRUE(panel_->transcriptBox.IsReadOnly());
    std::wstring transcript = panel_->transcriptBox.GetText();
    EXPECT_EQ(transcript.substr(transcript.size() - 4), L"\r\n\r\n");
}

TEST_F(ChatEndToEnd, FailuresShowInRedAndJoinNoHistory) {
    struct Case {
        bool selectModel;
        Reply reply;
        const wchar_t* errorStart;
        size_t requests;
    } cases[] = {
        {true, Reply{500, {"Content-Type: application/json"}, "{\"error\":{\"message\":\"boom\"}}"}, L"失败！", 1},
        {false, AnswerReply(L"never"), L"请先刷新模型列表并选择一个模型用于聊天。", 0},
    };
    size_t expectedRequests = 0;
    for (auto& c : cases) {
        if (!c.selectModel) {
            window_.modelList.items.RemoveAll();
            window_.modelList.SelectIndex(-1);
        }
        SetReply(c.reply);
        panel_->questionBox.SetText(L"问题");
        panel_->HandleButtonClick(&panel_->sendButton);
        expectedRequests += c.requests;
        EXPECT_EQ(server_.RequestCount(), expectedRequests);
        std::wstring transcript = panel_->transcriptBox.GetText();
        size_t at = transcript.rfind(c.errorStart);
        ASSERT_NE(at, std::wstring::npos) << Utf8(transcript);
        RunFormat f = FormatOf(panel_->transcriptBox, c.errorStart, c.requests ? 0 : 0);
        EXPECT_EQ(f.colour, COLORREF(0x0000FF));
        EXPECT_EQ(f.points, 11);
        EXPECT_TRUE(panel_->questionHistory.empty());
        EXPECT_TRUE(panel_->answerHistory.empty());
        // "发送清空" is checked: the question comes back to be sent again.
        EXPECT_EQ(panel_->questionBox.GetText(), L"问题");
        EXPECT_EQ(panel_->sendButton.GetCaption(), L"发送");
    }
}

// ---- the panel on its own ------------------------------------------------------------------------

TEST(ChatPanel, RecentHistoryPairs) {
    rg_AILiaoTianJieMianLei p;
    SeedPairs(p, 3);
    struct Case { int count; std::vector<const wchar_t*> questions; } cases[] = {
        {0, {}}, {-1, {L"q1", L"q2", L"q3"}}, {2, {L"q2", L"q3"}}, {5, {L"q1", L"q2", L"q3"}}, {-2, {}},
    };
    for (const auto& c : cases) {
        CMStringArray hq, ha;
        p.GetRecentHistory(c.count, hq, ha);
        ASSERT_EQ(hq.size(), c.questions.size()) << c.count;
        ASSERT_EQ(ha.size(), hq.size());
        for (size_t i = 0; i < hq.size(); ++i) {
            EXPECT_EQ(hq[i], c.questions[i]);
            EXPECT_EQ(ha[i], L"a" + hq[i].substr(1));
        }
    }
}

TEST_F(ChatPanelTest, ContextComboTextPicksThePairsSent) {
    EXPECT_EQ(p.contextCombo.GetCurrentText(), L"-1");  // the owner's count on a first run
    struct Case { const wchar_t* text; int pairs; size_t sent; } cases[] = {
        {L"", 6, 5}, {L"0", 3, 0}, {L"-1", 7, 7}, {L"2", 1, 1}, {L"-2", 3, 0}, {L"abc", 3, 0}, {L"3", 4, 3},
    };
    for (const auto& c : cases) {
        p.questionHistory.clear();
        p.answerHistory.clear();
        SeedPairs(p, c.pairs);
        p.contextCombo.SelectByText(c.text);
        host.Ask(L"q");
        EXPECT_EQ(host.log.lastHq.size(), c.sent) << Utf8(c.text);
        EXPECT_EQ(host.log.lastHa.size(), c.sent) << Utf8(c.text);
        if (c.sent) {
            EXPECT_EQ(host.log.lastHq.back(), L"q" + std::to_wstring(c.pairs));
        }
    }
    // After a failure the next question's context holds only the earlier successful pairs.
    p.questionHistory.clear();
    p.answerHistory.clear();
    p.contextCombo.SelectByText(L"-1");
    host.Ask(L"good");
    host.log.reply = L"";
    host.log.failure = L"失败！x";
    host.Ask(L"bad");
    host.log.reply = L"fine";
    host.Ask(L"next");
    EXPECT_EQ(host.log.lastHq, (CMStringArray{L"good"}));
    EXPECT_EQ(p.questionHistory, (CMStringArray{L"good", L"next"}));
}

TEST_F(ChatPanelTest, RolePresetsAndTemplatesFillTheQuestion) {
    ASSERT_EQ(p.roleCombo.GetItemCount(), 11);
    ASSERT_EQ(p.templateCombo.GetItemCount(), 20);
    EXPECT_EQ(p.roleCombo.GetItemText(6), L"你是一名专业程序员");
    EXPECT_EQ(p.templateCombo.GetItemText(19), L"树上10只鸟 打死一只还有几只");
    EXPECT_EQ(p.questionBox.GetText(), L"你是谁");  // shown with an empty question

    // A template replaces the whole question; role and context items change nothing else.
    p.questionBox.SetText(L"old text");
    p.templateCombo.SelectIndex(2);
    p.templateCombo.ItemChosen.Raise(&p.templateCombo);
    EXPECT_EQ(p.questionBox.GetText(), L"帮我用C++写一段代码，实现XX的功能，请使用中文回答");
    p.roleCombo.SelectIndex(4);
    p.roleCombo.ItemChosen.Raise(&p.roleCombo);
    p.contextCombo.SelectIndex(1);
    p.contextCombo.ItemChosen.Raise(&p.contextCombo);
    EXPECT_EQ(p.questionBox.GetText(), L"帮我用C++写一段代码，实现XX的功能，请使用中文回答");

    // The chosen role is the system text of the next question.
    host.Ask(L"q");
    ASSERT_EQ(host.log.roles.size(), 1u);
    EXPECT_EQ(host.log.roles[0], L"你是一名专业律师");
}

TEST_F(ChatPanelTest, CopyPasteAndNewChat) {
    ASSERT_TRUE(SetClipboardText(L"before"));
    p.HandleButtonClick(&p.copyAnswerButton);  // no answer yet: nothing copied
    EXPECT_EQ(GetClipboardText(), L"before");

    host.log.reply = L"one";
    host.Ask(L"q1");
    host.log.reply = L"two\n```\nC:\\code\\x\n```";
    host.Ask(L"q2");
    p.HandleButtonClick(&p.copyAnswerButton);
    EXPECT_EQ(GetClipboardText(), L"two\n```\nC:\\code\\x\n```");
    p.HandleButtonClick(&p.copyCodeButton);
    EXPECT_EQ(GetClipboardText(), L"C:\\code\\x\n");

    ASSERT_TRUE(SetClipboardText(L"pasted\r\nline"));
    p.HandleButtonClick(&p.pasteButton);
    EXPECT_EQ(p.questionBox.GetText(), L"pasted\r\nline");
    // A clipboard without text leaves the question alone.
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::CloseClipboard();
    p.HandleButtonClick(&p.pasteButton);
    EXPECT_EQ(p.questionBox.GetText(), L"pasted\r\nline");

    // A new chat keeps the code of the last answer, but there is no answer to copy.
    p.HandleButtonClick(&p.newChatButton);
    EXPECT_EQ(p.transcriptBox.GetText(), L"");
    EXPECT_TRUE(p.questionHistory.empty() && p.answerHistory.empty());
    ASSERT_TRUE(SetClipboardText(L"kept"));
    p.HandleButtonClick(&p.copyAnswerButton);
    EXPECT_EQ(GetClipboardText(), L"kept");
    p.HandleButtonClick(&p.copyCodeButton);
    EXPECT_EQ(GetClipboardText(), L"C:\\code\\x\n");
}

TEST(ChatPanel, BusyPanelRefusesASecondSendAndSurvivesItsOwnDestruction) {
    ScopedSettingsFile settings;
    PanelHost host;
    rg_AILiaoTianJieMianLei* p = host.panel.get();
    SeedPairs(*p, 2);
    // While the answer is awaited: another send is refused, and a new chat empties the history,
    // which then holds the late answer alone.
    host.log.during = [&] {
        EXPECT_EQ(p->sendButton.GetCaption(), L"等待AI回应..");
        p->questionBox.SetText(L"again");
        p->HandleButtonClick(&p->sendButton);
        p->HandleButtonClick(&p->newChatButton);
    };
    host.Ask(L"first");
    EXPECT_EQ(host.log.questions.size(), 1u);
    EXPECT_EQ(p->questionHistory, (CMStringArray{L"first"}));
    EXPECT_EQ(p->sendButton.GetCaption(), L"发送");

    // The window goes away while the answer is awaited: the send ends without touching the panel.
    host.log.during = [&] { host.panel.reset(); };
    host.Ask(L"second");
    EXPECT_EQ(host.panel, nullptr);
    EXPECT_EQ(host.log.questions.size(), 2u);
}

// The answer names the model it was asked of, even when the list changes while it is awaited.
TEST_F(ChatPanelTest, AnswerHeaderNamesTheModelAsked) {
    host.log.during = [&] { host.log.model = L"other:7b (4 GB)"; };
    host.Ask(L"q");
    const std::wstring transcript = p.transcriptBox.GetText();
    EXPECT_NE(transcript.find(L"(m:1b) "), std::wstring::npos) << WideToUtf8(transcript);
    EXPECT_EQ(transcript.find(L"other"), std::wstring::npos) << WideToUtf8(transcript);
}

TEST_F(ChatPanelTest, EmptyQuestionShowsTheHintAndSendsNothing) {
    static std::wstring seen;
    static HWND button;
    button = p.sendButton.GetHwnd();
    seen.clear();
    UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
        wchar_t text[64] = {};
        ::InternalGetWindowText(button, text, 64);
        if (seen.empty()) seen = text;
    });
    host.Ask(L"");
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(seen, L"请先输入提问内容！");
    EXPECT_EQ(p.sendButton.GetCaption(), L"发送");
    EXPECT_TRUE(host.log.questions.empty());
    EXPECT_EQ(p.transcriptBox.GetText(), L"");
}

TEST(ChatPanel, RemoveBreakBeforePosition) {
    struct Case { const wchar_t* text; int position; const wchar_t* want; } cases[] = {
        {L"ab\r\ncd", 3, L"abcd"},
        {L"a\r\nb\r\n", 4, L"a\r\nb"},
        {L"a\nb\n", 4, L"a\nb"},
        {L"ab", 2, L"ab"},          // no line break there: nothing typed is lost
        {L"ab\r\n", 1, L"ab\r\n"},
        {L"\r\n", 0, L"\r\n"},
        {L"x", 9, L"x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemoveBreakBeforePosition(c.text, c.position), c.want) << Utf8(c.text) << " @" << c.position;
}

TEST_F(ChatPanelTest, EnterOrCtrlEnterSendsAsTheCheckBoxSays) {
    struct Case { bool enterSends, ctrl, sends; } cases[] = {
        {true, false, true}, {true, true, false}, {false, true, true}, {false, false, false},
    };
    for (const auto& c : cases) {
        ScopedKeyState keys(c.ctrl ? &CtrlDown : &CtrlUp);
        p.enterSendsCheck.checked = c.enterSends ? 1 : 0;
        host.log.questions.clear();
        // An earlier line break stays; the one of this key goes.
        p.questionBox.SetText(L"line1\r\nq\r\n");
        p.questionBox.SetSelection(p.questionBox.GetTextLength(), 0);
        int r = p.HandleQuestionKey(&p.questionBox, 13);
        EXPECT_EQ(r, c.sends ? -1 : 0);
        ASSERT_EQ(host.log.questions.size(), c.sends ? 1u : 0u);
        if (c.sends) {
            EXPECT_EQ(host.log.questions[0], L"line1\r\nq");
        } else {
            EXPECT_EQ(p.questionBox.GetText(), L"line1\r\nq\r\n");
        }
    }
    // Only the question box sends, only for Enter.
    EXPECT_EQ(p.HandleQuestionKey(&p.transcriptBox, 13), 0);
    EXPECT_EQ(p.HandleQuestionKey(&p.questionBox, 'a'), 0);

    // The real key: the box puts the break in on the key press, the character then sends.
    ScopedKeyState keys(&CtrlUp);
    p.enterSendsCheck.checked = 1;
    host.log.questions.clear();
    p.questionBox.SetText(L"typed");
    p.questionBox.SetSelection(5, 0);
    HWND box = p.questionBox.GetHwnd();
    ::SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::SendMessageW(box, WM_CHAR, 13, 0x001C0001);
    ASSERT_EQ(host.log.questions.size(), 1u);
    EXPECT_EQ(host.log.questions[0], L"typed");
}

TEST_F(ChatPanelTest, LayoutFollowsTheClientArea) {
    p.Move(0, 0, 900, 600);
    const int m = 9, t = 5, h = 45;
    const int avail = 600 - 3 * m - 2 * h - t;
    EXPECT_EQ(p.chatBar.GetWidth(), 900 - 2 * m);
    EXPECT_EQ(p.transcriptBox.GetTop(), t + h);
    EXPECT_EQ(p.transcriptBox.GetHeight(), int(avail * 0.8));
    EXPECT_EQ(p.questionBar.GetTop(), t + h + int(avail * 0.8) + 2 * m);
    EXPECT_EQ(p.questionBox.GetTop(), p.questionBar.GetTop() + h);
    EXPECT_EQ(p.questionBox.GetHeight(), int(avail * 0.2));
    EXPECT_EQ(p.questionBox.GetWidth(), 900 - 2 * m);
    EXPECT_EQ(p.roleCombo.GetLeft() + p.roleCombo.GetWidth(), 900 - 2 * m);
    EXPECT_EQ(p.templateCombo.GetLeft() + p.templateCombo.GetWidth(), 900 - 2 * m);
    EXPECT_EQ(p.sendButton.GetControlId(), 113);
    EXPECT_EQ(::GetParent(p.sendButton.GetHwnd()), p.questionBar.GetHwnd());
}

TEST(ChatPanel, SettingsRoundTrip) {
    ScopedSettingsFile settings;
    {
        PanelHost host;
        rg_AILiaoTianJieMianLei& p = *host.panel;
        // A first run: the owner's "-1" and both check boxes checked.
        EXPECT_EQ(p.contextCombo.GetCurrentText(), L"-1");
        EXPECT_EQ(p.clearAfterSendCheck.checked, 1);
        EXPECT_EQ(p.enterSendsCheck.checked, 1);
        p.contextCombo.SelectByText(L"3");  // typed, not listed
        p.roleCombo.SelectByText(L"你是一位诗人");
        p.templateCombo.SelectIndex(5);
        p.questionBox.SetText(L"第一行\r\n第二行");
        p.clearAfterSendCheck.checked = 0;
        host.panel.reset();  // destroying the panel saves its section and writes the file
    }
    std::wstring file = settings.Text();
    EXPECT_NE(file.find(L"[AI聊天界面类]"), std::wstring::npos);
    for (const wchar_t* line : {L"组合框上下文历史数.内容=3", L"组合框角色定义.内容=你是一位诗人",
                                L"组合框提问句型.内容=写一篇XX的文章", L"Drenvik超级编辑框我的提问=第一行\x1e第二行",
                                L"Drenvik选中框问后清空提问=假", L"Drenvik选中框回车键发送=真"})
        EXPECT_NE(file.find(line), std::wstring::npos) << Utf8(line) << "\n" << Utf8(file);

    gComponentConfig.Reset();
    gComponentConfig.LoadFromFile(settings.Path().wstring());
    PanelHost again;
    rg_AILiaoTianJieMianLei& p = *again.panel;
    EXPECT_EQ(p.contextCombo.GetCurrentText(), L"3");
    EXPECT_EQ(p.roleCombo.GetCurrentText(), L"你是一位诗人");
    EXPECT_EQ(p.templateCombo.GetCurrentText(), L"写一篇XX的文章");
    EXPECT_EQ(p.questionBox.GetText(), L"第一行\r\n第二行");
    EXPECT_EQ(p.clearAfterSendCheck.checked, 0);
    EXPECT_EQ(p.enterSendsCheck.checked, 1);

    // Hiding saves as well.
    p.enterSendsCheck.checked = 0;
    p.SetVisible(false);
    EXPECT_NE(settings.Text().find(L"Drenvik选中框回车键发送=假"), std::wstring::npos);
}

TEST(ChatPanel, ScreenshotAfterAStyledAnswer) {
    ScopedSettingsFile settings;
    GdiplusSession gdiplus;
    ScopedIconResources icons;
    HiddenTestForm form;
    form.designWidth = 1000;
    form.designHeight = 640;
    ASSERT_TRUE(form.LoadWindow());
    AskLog log;
    auto panel = rg_AILiaoTianJieMianLei::CreateInstance();
    panel->askEvent.Bind(&VolThunk<&AskLog::OnAsk>::Call, log.GetEventTarget());
    panel->modelTextEvent.Bind(&VolThunk<&AskLog::OnModel>::Call, log.GetEventTarget());
    panel->contextCountProperty = -1;
    ASSERT_EQ(panel->CreateInParent(form, 0, 0, form.GetClientWidth(), form.GetClientHeight(), 0xFFFF), 1);
    log.reply =
        L"<think>\n用户想要一个列出文件的例子。\n</think>\n\n### 列出文件\n可以用 **PowerShell** 或 `dir` 命令：\n"
        L"```powershell\nGet-ChildItem C:\\Users\\me -Filter *.txt\n```\n## 说明\n路径里的反斜杠会原样保留。\n"
        L"### **第二步**：用 `findstr` 过滤\n结果逐行列出。";
    panel->questionBox.SetText(L"怎样列出文件夹里的文本文件？");
    panel->HandleButtonClick(&panel->sendButton);
    panel->questionBox.SetText(L"下一个问题");
    ::ShowWindow(form.GetHwnd(), SW_SHOWNA);
    PumpMessagesFor(300);
    std::wstring path = SaveWindowScreenshot(form.GetHwnd(), L"chat_panel.png");
    EXPECT_FALSE(path.empty());
    panel.reset();
}

TEST_F(ChatPanelTest, ReleasingTheSendButtonScrollsTheTranscriptToItsEnd) {
    host.Ask(L"q");
    const int length = p.transcriptBox.GetTextLength();
    ASSERT_GT(length, 1);
    p.transcriptBox.SetSelection(0, 0);
    p.copyAnswerButton.OnMouseRelease(0);  // other buttons leave it
    EXPECT_EQ(p.transcriptBox.GetSelStart(), 0);
    p.sendButton.OnMouseRelease(0);
    EXPECT_EQ(p.transcriptBox.GetSelStart(), length - 1);
    EXPECT_TRUE(p.transcriptBox.IsReadOnly());
}

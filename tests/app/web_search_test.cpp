#include <gtest/gtest.h>

#include "support/hex.h"
#include "support/ui_helpers.h"

#include <atomic>
#include <map>
#include <set>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/web_search.h"
#include "platform/dpi.h"
#include "platform/input.h"
#include "platform/seams.h"
#include "platform/shell.h"

namespace {

std::string Utf8(std::wstring_view w) { return WideToUtf8(w); }

// The page queries by the names the tests use for them.
const std::map<std::wstring, std::wstring> kScripts = {
    {L"document.querySelector(\"#composition-input\").outerHTML;", L"S1"},
    {L"var jx=document.querySelector(\"#composition-input\").getBoundingClientRect(); "
     L"jx.left+','+jx.top+','+jx.right+','+jx.bottom;",
     L"S2"},
    {L"document.querySelector('#home_chat_btn').click();", L"S3"},
    {L"document.querySelector(\"#composition-input\").value;", L"S4"},
    {L"document.querySelector(\".ant-modal-content\").outerHTML;", L"S5"},
    {L"document.querySelector('.js-article-share-exclude').outerHTML;", L"S6"},
    {L"document.querySelector('.text-opacity-30').outerHTML;", L"S7"},
    {L"document.querySelector(\".message-progress-box\").outerHTML;", L"S8"},
    {L"document.querySelector(\".enhance-container-agent\").outerHTML;", L"S9"},
    {L"document.querySelector('.js-article-content').innerHTML;", L"S10"},
    {L"document.querySelector('.chat-message-item-container').innerHTML;", L"S11"},
};

constexpr wchar_t kInputBox[] = L"<textarea id=\"composition-input\"></textarea>";
constexpr wchar_t kLoginDialog[] = L"<div class=\"ant-modal-content\"><span>立即登录</span></div>";
constexpr wchar_t kCovered[] = L"浏览器输入界面被遮挡\r\n解除遮挡再点击我继续";
constexpr wchar_t kLogin[] = L"登录纳米搜索后\r\n再点击我继续";
constexpr wchar_t kFailure[] = L"失败！www.n.cn 无响应";
constexpr wchar_t kAnswerArea[] =
    L"\"<div class=\\\"markdown-container\\\"><p>答案</p></div><div class=\\\"tail\\\">x</div>\"";
constexpr wchar_t kCleanAnswer[] = L"<div class=\"markdown-container\"><p>答案</p></div>";

std::vector<std::wstring> Times(int n, std::wstring_view text) { return std::vector<std::wstring>(size_t(n), std::wstring(text)); }
std::vector<std::wstring> Then(std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What the page answers: for each query the captions it gives in turn, the last one repeating; a
// query without any gives an empty caption. The defaults make a page that takes the question at
// the first attempt and has its answer ready at the first answer poll.
struct ScriptedPage {
    std::map<std::wstring, std::vector<std::wstring>> captions = {
        {L"S1", {kInputBox}},
        {L"S2", {L"\"10,20,300,60\""}},
        {L"S4", {L"问题"}},
        {L"S6", {L"<div class=\"js-article-share-exclude\">深入回答此问题</div>"}},
        {L"S10", {kAnswerArea}},
    };
    std::wstring status = L"ok";  // the caption op 6 leaves
};

struct Command {
    int32_t op;
    std::wstring text;    // the script's name for op 1
    DWORD senderThread;   // from the record
    DWORD handlingThread;
    uint64_t at;          // the fake clock when it arrived
    bool browserVisible;
    bool browserLockHeld;  // by the sender, seen from another thread
};

// The window's own style bit (its hidden test parent keeps it from being visible), or the mark.
bool Shown(const rg_EdgeLiuLanKuang& browser) {
    HWND h = browser.GetHwnd();
    return h ? (::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0 : browser.IsVisible();
}

// The fake clock: waits move it on at once.
std::atomic<uint64_t> gNow{0};
uint64_t FakeNow() { return gNow.load(); }
POINT FakeCursor() { return POINT{500, 400}; }

// A window of the test that answers browser commands from a scripted page and notes each of them.
class CommandReceiver : public CVolWinControl {
    VOL_CLASS(CommandReceiver, CVolWinControl, "test::CommandReceiver")
    VOL_MEMBERS()

public:
    ~CommandReceiver() override { DestroyOwnWindow(); }
    int CreateNativeWindow(VolCreateParams& p) override {
        p.owner = HWND_MESSAGE;
        return CreateControlWindow(p, {L"TestBrowserCommandReceiver", 0, false, 0, WS_VISIBLE});
    }
    bool Create() {
        VolCreateParams p;
        p.x = p.y = p.width = p.height = 0;
        return CreateNativeWindow(p) != 0;
    }

    LRESULT DefaultWindowProc(VolMessage& m) override {
        if (m.message != kBrowserCommandMessage) return CVolWinControl::DefaultWindowProc(m);
        const auto* record = reinterpret_cast<const rg_LiuLanQiChuanCanCaoZuo*>(m.wParam);
        std::lock_guard<std::mutex> hold(lock);
        rg_EdgeLiuLanKuang* browser = nullptr;
        auto found = client->threadBrowsers.find(record->senderThreadId);
        if (found != client->threadBrowsers.end()) browser = reinterpret_cast<rg_EdgeLiuLanKuang*>(found->second);
        std::wstring text = record->text;
        if (record->op == kBrowserRunScript) {
            auto script = kScripts.find(text);
            if (script == kScripts.end()) ADD_FAILURE() << "unknown script " << Utf8(text);
            else text = script->second;
        }
        bool lockHeld = false;
        if (DWORD(record->senderThreadId) != ::GetCurrentThreadId()) {
            lockHeld = !client->browserLock.TryLock();
            if (!lockHeld) client->browserLock.Unlock();
        }
        commands.push_back({record->op, text, DWORD(record->senderThreadId), ::GetCurrentThreadId(), gNow.load(),
                            browser && Shown(*browser), lockHeld});
        if (onCommand) onCommand(std::to_wstring(record->op) + L":" + text);
        if (!browser) return 0;
        if (record->op == kBrowserRunScript) {
            size_t& n = asked[text];
            const auto& list = page.captions[text];
            browser->caption = list.empty() ? CWString() : CWString(list[std::min(n, list.size() - 1)]);
            ++n;
        } else if (record->op == kBrowserStatus) {
            browser->caption = page.status;
        }
        return 0;
    }

    // Ops in arrival order, each with its text, as "op:text".
    std::vector<std::wstring> Trace() {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<std::wstring> out;
        for (const Command& c : commands) out.push_back(std::to_wstring(c.op) + L":" + c.text);
        return out;
    }
    int Count(int32_t op, std::wstring_view text = {}) {
        std::lock_guard<std::mutex> hold(lock);
        int n = 0;
        for (const Command& c : commands) n += c.op == op && (text.empty() || c.text == text);
        return n;
    }

    std::mutex lock;
    rg_DrenvikWenZhangGaiXieLei* client = nullptr;
    ScriptedPage page;
    std::function<void(const std::wstring& command)> onCommand;  // as "op:text", once noted
    std::map<std::wstring, size_t> asked;
    std::vector<Command> commands;
};

// A client whose notice component is the receiver, with the clock, the waits and every piece of
// simulated input replaced. Input lands in `input` as "move x,y", "click", "key 17 down",
// "clip text" and "beep 0".
class WebSearchTest : public ::testing::Test {
protected:
    WebSearchTest()
        : wait_(&PlatformSeams::wait, [this](int64_t ms) {
              std::lock_guard<std::mutex> hold(inputLock_);
              waits_.push_back(ms);
              gNow += uint64_t(ms);
          }),
          move_(&PlatformSeams::moveMouse, [this](int x, int y) {
              Note(L"move " + std::to_wstring(x) + L"," + std::to_wstring(y));
              return true;
          }),
          click_(&PlatformSeams::clickMouse, [this] {
              Note(L"click");
              return clickSucceeds_;
          }),
          key_(&PlatformSeams::pressKey, [this](int key, bool down) {
              Note(L"key " + std::to_wstring(key) + (down ? L" down" : L" up"));
              return true;
          }),
          clip_(&PlatformSeams::setClipboardText, [this](std::wstring_view text) {
              Note(L"clip " + std::wstring(text));
              return clipboardWorks_;
          }),
          beep_(&PlatformSeams::messageBeep, [this](UINT type) { Note(L"beep " + std::to_wstring(type)); }),
          windowAt_(&PlatformSeams::windowAt, [this](POINT p) {
              std::lock_guard<std::mutex> hold(inputLock_);
              pointsAsked_.push_back(p);
              return windowAtPoint_ ? *windowAtPoint_ : OwnBrowserWindow();
          }) {
        gNow = 1'000'000;
        SetTickSourceForTest(&FakeNow);
        SetCursorSourceForTest(&FakeCursor);
        receiver_.client = &client_;
        EXPECT_TRUE(receiver_.Create());
        client_.browserNoticeComponent = &receiver_;
    }
    ~WebSearchTest() override {
        SetTickSourceForTest(nullptr);
        SetCursorSourceForTest(nullptr);
    }

    void Note(std::wstring what) {
        std::lock_guard<std::mutex> hold(inputLock_);
        input_.push_back(std::move(what));
    }
    std::vector<std::wstring> Input() {
        std::lock_guard<std::mutex> hold(inputLock_);
        return input_;
    }
    int InputCount(std::wstring_view what) {
        int n = 0;
        for (const auto& i : Input()) n += i == what;
        return n;
    }

    // The calling thread's browser gets a window in the form; it lies on top at every point unless
    // windowAtPoint_ says otherwise.
    void GiveBrowserAWindow(HiddenTestForm& form) {
        ASSERT_TRUE(form.LoadWindow());
        ASSERT_TRUE(Browser()->CreateInParent(form, 40, 30, 400, 300, 101));
    }
    HWND OwnBrowserWindow() {
        auto found = client_.threadBrowsers.find(int32_t(::GetCurrentThreadId()));
        return found == client_.threadBrowsers.end() ? nullptr
                                                     : reinterpret_cast<rg_EdgeLiuLanKuang*>(found->second)->GetHwnd();
    }
    // The browser window's client origin on the screen.
    POINT BrowserOrigin() {
        POINT origin{0, 0};
        ::ClientToScreen(Browser()->GetHwnd(), &origin);
        return origin;
    }

    // The default page and nothing noted yet, for the next case of a table.
    void NextCase() {
        receiver_.commands.clear();
        receiver_.asked.clear();
        receiver_.page = ScriptedPage();
        std::lock_guard<std::mutex> hold(inputLock_);
        input_.clear();
        pointsAsked_.clear();
    }

    CWString Search(const wchar_t* question = L"问题") {
        error_.clear();
        return AskWebSearch(client_, question, error_);
    }
    rg_EdgeLiuLanKuang* Browser() { return client_.GetBrowserForThread(); }

    rg_DrenvikWenZhangGaiXieLei client_;
    CommandReceiver receiver_;
    CWString error_;
    bool clickSucceeds_ = true;
    bool clipboardWorks_ = true;
    std::mutex inputLock_;
    std::vector<std::wstring> input_;
    std::vector<int64_t> waits_;
    std::vector<POINT> pointsAsked_;
    std::optional<HWND> windowAtPoint_;  // what lies at every point; unset: the calling thread's browser
    ScopedSeam<std::function<void(int64_t)>> wait_;
    ScopedSeam<std::function<bool(int, int)>> move_;
    ScopedSeam<std::function<bool()>> click_;
    ScopedSeam<std::function<bool(int, bool)>> key_;
    ScopedSeam<std::function<bool(std::wstring_view)>> clip_;
    ScopedSeam<std::function<void(UINT)>> beep_;
    ScopedSeam<std::function<HWND(POINT)>> windowAt_;
};

// ---- the command record and its sending ---------------------------------------------------------

TEST(BrowserCommandRecord, StreamBytesAndEquality) {
    auto record = MakeBrowserOperation(1, L"ab");
    EXPECT_EQ(record->senderThreadId, int32_t(::GetCurrentThreadId()));
    record->senderThreadId = 0x01020304;
    VolMemStream out;
    record->SaveToStream(&out);
    EXPECT_EQ(Hex(out.Data()), "01 00 00 00 06 00 00 00 61 00 62 00 00 00 04 03 02 01");

    rg_LiuLanQiChuanCanCaoZuo loaded;
    VolMemStream in(out.Data());
    loaded.LoadFromStream(&in);
    EXPECT_TRUE(loaded.IsEqual(*record));
    EXPECT_TRUE(std::unique_ptr<CVolObject>(record->Clone())->IsEqual(*record));

    std::unique_ptr<CVolObject> fresh(record->CreateNew());
    const auto& blank = static_cast<const rg_LiuLanQiChuanCanCaoZuo&>(*fresh);
    EXPECT_EQ(blank.op, 0);
    EXPECT_TRUE(blank.text.empty());
    EXPECT_EQ(blank.senderThreadId, 0);

    // Each member, the header word and the empty-object bit take part; other flag bits do not.
    struct {
        const char* what;
        void (*change)(rg_LiuLanQiChuanCanCaoZuo&);
        bool equal;
    } cases[] = {
        {"op", [](rg_LiuLanQiChuanCanCaoZuo& r) { r.op = 2; }, false},
        {"text", [](rg_LiuLanQiChuanCanCaoZuo& r) { r.text = L"aB"; }, false},
        {"thread", [](rg_LiuLanQiChuanCanCaoZuo& r) { r.senderThreadId = 7; }, false},
        {"header word", [](rg_LiuLanQiChuanCanCaoZuo& r) { r.tag = 9; }, false},
        {"empty bit", [](rg_LiuLanQiChuanCanCaoZuo& r) { r.flags |= CVolObject::kFlagEmpty; }, false},
        {"other flag", [](rg_LiuLanQiChuanCanCaoZuo& r) { r.flags |= CVolObject::kFlagDestroying; }, true},
    };
    for (auto& c : cases) {
        rg_LiuLanQiChuanCanCaoZuo other;
        other.CopyFrom(*record);
        c.change(other);
        EXPECT_EQ(other.IsEqual(*record), c.equal) << c.what;
    }
    std::unique_ptr<CVolObject> plain(CVolObject().CreateNew());
    EXPECT_FALSE(record->IsEqual(*plain));
}

TEST(BrowserCommandRecord, SentOnlyToAControlWithAWindow) {
    CommandReceiver receiver;
    rg_DrenvikWenZhangGaiXieLei client;
    receiver.client = &client;
    CVolObject notAControl;
    EXPECT_FALSE(SendBrowserCommand(nullptr, 0, L"x"));
    EXPECT_FALSE(SendBrowserCommand(&notAControl, 0, L"x"));
    EXPECT_FALSE(SendBrowserCommand(&receiver, 0, L"x"));  // no window yet
    EXPECT_TRUE(receiver.commands.empty());

    ASSERT_TRUE(receiver.Create());
    EXPECT_TRUE(SendBrowserCommand(&receiver, 4, L"提示"));
    ASSERT_EQ(receiver.commands.size(), 1u);
    EXPECT_EQ(receiver.commands[0].op, 4);
    EXPECT_EQ(receiver.commands[0].text, L"提示");
    EXPECT_EQ(receiver.commands[0].senderThread, ::GetCurrentThreadId());

    // From another thread the send waits until the window's thread has handled the command.
    std::atomic<bool> sent{false};
    DWORD worker = 0;
    std::thread t([&] {
        worker = ::GetCurrentThreadId();
        SendBrowserCommand(&receiver, 3, L"");
        sent = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return sent.load(); }, 5000));
    t.join();
    ASSERT_EQ(receiver.commands.size(), 2u);
    EXPECT_EQ(receiver.commands[1].senderThread, worker);
    EXPECT_EQ(receiver.commands[1].handlingThread, ::GetCurrentThreadId());
}

// ---- page polling -------------------------------------------------------------------------------

TEST_F(WebSearchTest, PageThatNeverShowsItsInputBox) {
    receiver_.page.captions[L"S1"] = {L""};
    const uint64_t start = gNow;
    EXPECT_EQ(Search(), L"");
    EXPECT_EQ(error_, kFailure);
    EXPECT_EQ(gNow - start, 55u * 500u);

    // The start page, again after poll 20, a restart (not the start page) after poll 40.
    std::vector<std::wstring> expected = {L"0:" + WebSearchStartAddress()};
    for (int poll = 1; poll <= 55; ++poll) {
        expected.push_back(L"1:S1");
        if (poll == 20) expected.push_back(L"0:" + WebSearchStartAddress());
        if (poll == 40) expected.push_back(L"2:");
    }
    expected.push_back(L"6:");
    EXPECT_EQ(receiver_.Trace(), expected);
    EXPECT_TRUE(Input().empty());
    EXPECT_FALSE(Shown(*Browser()));
    EXPECT_TRUE(receiver_.commands.front().browserVisible);
}

TEST_F(WebSearchTest, PageThatShowsItsInputBoxAfterTwentyPolls) {
    HiddenTestForm form;
    GiveBrowserAWindow(form);
    receiver_.page.captions[L"S1"] = Then(Times(20, L""), {kInputBox});
    EXPECT_EQ(Search(), kCleanAnswer);
    EXPECT_EQ(error_, L"");
    EXPECT_EQ(receiver_.asked[L"S1"], 21u);
    EXPECT_EQ(receiver_.Count(0, WebSearchStartAddress()), 2);
    EXPECT_EQ(receiver_.Count(2), 0);
    EXPECT_EQ(InputCount(L"clip 问题"), 1);
}

// A browser that has a window first shows a blank page.
TEST_F(WebSearchTest, BrowserWithAWindowOpensABlankPageFirst) {
    HiddenTestForm form;
    ASSERT_TRUE(form.LoadWindow());
    ASSERT_TRUE(Browser()->CreateInParent(form, 40, 30, 400, 300, 101));
    EXPECT_EQ(Search(), kCleanAnswer);
    auto trace = receiver_.Trace();
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[0], L"0:about:blank");
    EXPECT_EQ(trace[1], L"0:" + WebSearchStartAddress());
    EXPECT_EQ(receiver_.commands[1].at - receiver_.commands[0].at, 200u);
    EXPECT_TRUE(receiver_.commands[0].browserVisible);
    EXPECT_FALSE(Shown(*Browser()));
}

// ---- input attempts -----------------------------------------------------------------------------

TEST_F(WebSearchTest, InputAttempts) {
    const std::wstring shareBar = L"<div class=\"js-article-share-exclude\">深入回答此问题</div>";
    struct {
        const char* what;
        std::vector<std::wstring> s4, s5, s6;
        int attempts;
        std::vector<std::wstring> prompts;
    } cases[] = {
        {"taken at once", {L"问题"}, {L""}, {shareBar}, 1, {}},
        // Empty box, no login dialog: covered. Still empty after the prompt: the next attempt.
        {"covered, fixed by the user", {L"", L"问题"}, {L""}, {shareBar}, 1, {kCovered}},
        {"covered, then taken", {L"", L"", L"问题"}, {L""}, {shareBar}, 2, {kCovered}},
        {"covered every time", {L""}, {L""}, {shareBar}, 10,
         std::vector<std::wstring>(10, kCovered)},
        {"login dialog", {L"问题"}, {kLoginDialog}, {shareBar}, 1, {kLogin}},
        {"login dialog at the second look", {L""}, {L"", kLoginDialog}, {shareBar}, 1, {kLogin}},
        {"send button disabled every time", {L"问题"}, {L""}, {L"<button disabled=\"\">"}, 10, {}},
    };
    HiddenTestForm form;
    GiveBrowserAWindow(form);
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        NextCase();
        receiver_.page.captions[L"S4"] = c.s4;
        receiver_.page.captions[L"S5"] = c.s5;
        receiver_.page.captions[L"S6"] = c.s6;
        Search();

        EXPECT_EQ(int(receiver_.asked[L"S2"]), c.attempts);
        std::vector<std::wstring> prompts;
        for (const Command& cmd : receiver_.commands)
            if (cmd.op == kBrowserAskUser) prompts.push_back(cmd.text);
        EXPECT_EQ(prompts, c.prompts);
        // Every prompt follows a beep, each attempt pastes once and puts the cursor back.
        EXPECT_EQ(InputCount(L"beep 0"), int(c.prompts.size()));
        EXPECT_EQ(InputCount(L"clip 问题"), c.attempts);
        EXPECT_EQ(InputCount(L"move 500,400"), c.attempts);
        // Op 3 opens every attempt and precedes every prompt.
        EXPECT_EQ(receiver_.Count(kBrowserPrepare), c.attempts + int(c.prompts.size()));
    }
}

// The click lands 20 pixels inside the box, whose position the page gives in CSS pixels.
TEST_F(WebSearchTest, ClickPointFollowsTheDpiFactor) {
    HiddenTestForm form;
    GiveBrowserAWindow(form);
    const POINT origin = BrowserOrigin();
    receiver_.page.captions[L"S2"] = {L"\"10.5,20.9,300.25,60.75\""};
    const double savedScale = DpiScale, savedFactor = gRuntimeDpiFactor;
    for (double factor : {1.0, 1.5}) {
        SCOPED_TRACE(factor);
        SetDpiFactorsForTest(factor);
        input_.clear();
        Search();
        const int x = origin.x + int(10 * factor) + 20, y = origin.y + int(20 * factor) + 20;
        const std::vector<std::wstring> expected = {
            L"move " + std::to_wstring(x) + L"," + std::to_wstring(y),
            L"click",
            L"clip 问题",
            L"key 17 down", L"key 86 down", L"key 86 up", L"key 17 up",
            L"move 500,400",
        };
        EXPECT_EQ(Input(), expected);
    }
    DpiScale = savedScale;
    gRuntimeDpiFactor = savedFactor;
}

TEST_F(WebSearchTest, PasteNeedsTheClickAndTheClipboard) {
    HiddenTestForm form;
    GiveBrowserAWindow(form);
    const POINT origin = BrowserOrigin();
    const std::wstring clickPoint = L"move " + std::to_wstring(origin.x + 30) + L"," + std::to_wstring(origin.y + 40);
    clipboardWorks_ = false;
    Search();
    EXPECT_EQ(Input(), (std::vector<std::wstring>{clickPoint, L"click", L"clip 问题", L"move 500,400"}));

    clipboardWorks_ = true;
    clickSucceeds_ = false;
    input_.clear();
    Search();
    EXPECT_EQ(Input(), (std::vector<std::wstring>{clickPoint, L"click", L"move 500,400"}));
}

// The question goes into the browser's own window only. Without one, or with another window on top
// at the click point, nothing is clicked or pasted: the box counts as covered and the user is asked.
TEST_F(WebSearchTest, ClickOnlyWhereTheBrowserIsOnTop) {
    const std::vector<std::wstring> asked = {L"beep 0"};
    auto prompts = [this] {
        std::vector<std::wstring> out;
        for (const Command& c : receiver_.commands)
            if (c.op == kBrowserAskUser) out.push_back(c.text);
        return out;
    };
    EXPECT_EQ(Search(), kCleanAnswer);
    EXPECT_EQ(Input(), asked) << "a browser without a window";
    EXPECT_EQ(prompts(), std::vector<std::wstring>{kCovered});
    EXPECT_EQ(receiver_.asked[L"S3"], 0u);

    HiddenTestForm form;
    GiveBrowserAWindow(form);
    const HWND browser = Browser()->GetHwnd();
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const HWND inner = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 50, 50, browser, nullptr, instance, nullptr);
    const std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&::DestroyWindow)> other(
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, instance, nullptr), &::DestroyWindow);
    const POINT origin = BrowserOrigin();
    const POINT at{origin.x + 30, origin.y + 40};
    const std::wstring clickPoint = L"move " + std::to_wstring(at.x) + L"," + std::to_wstring(at.y);
    const std::vector<std::wstring> pasted = {clickPoint, L"click", L"clip 问题", L"key 17 down", L"key 86 down",
                                              L"key 86 up", L"key 17 up", L"move 500,400"};
    struct {
        const char* what;
        HWND onTop;
        bool clicked;
    } cases[] = {
        {"the browser", browser, true},
        {"a window inside the browser", inner, true},
        {"the form around it", form.GetHwnd(), false},
        {"another window", other.get(), false},
        {"nothing", nullptr, false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        NextCase();
        windowAtPoint_ = c.onTop;
        EXPECT_EQ(Search(), kCleanAnswer);
        EXPECT_EQ(Input(), c.clicked ? pasted : asked);
        EXPECT_EQ(prompts(), c.clicked ? std::vector<std::wstring>{} : std::vector<std::wstring>{kCovered});
        ASSERT_EQ(pointsAsked_.size(), 1u);
        EXPECT_EQ(pointsAsked_[0].x, at.x);
        EXPECT_EQ(pointsAsked_[0].y, at.y);
    }
}

TEST_F(WebSearchTest, ClipboardHoldsTheQuestionAfterwards) {
    HiddenTestForm form;
    GiveBrowserAWindow(form);
    ScopedSeam realClipboard(&PlatformSeams::setClipboardText, nullptr);
    SetClipboardText(L"earlier");
    EXPECT_EQ(Search(L"今天的新闻"), kCleanAnswer);
    EXPECT_EQ(GetClipboardText(), L"今天的新闻");
}

// ---- waiting for the answer and reading it ------------------------------------------------------

TEST_F(WebSearchTest, AnswerWaitExits) {
    const std::wstring plainBar = L"<div class=\"js-article-share-exclude\"></div>";
    struct {
        const char* what;
        std::vector<std::wstring> s4, s6, s7, s8, s9;
        bool answered;
        size_t answerPolls;
    } cases[] = {
        {"deeper answer offered", {L"问题"}, {plainBar, plainBar, L"深入回答此问题"}, {L""}, {L"x"}, {L"x"}, true, 2},
        {"closing remark", {L"问题"}, {plainBar}, {L"", L"以上内容均由AI搜集总结并生成"}, {L"x"}, {L"x"}, true, 2},
        {"other closing remark", {L"问题"}, {plainBar}, {L"以上内容均由ai搜集并总结生成"}, {L"x"}, {L"x"}, true, 1},
        {"box emptied", {L"问题", L"问题", L"问题", L""}, {plainBar}, {L""}, {L"x"}, {L"x"}, false, 2},
        {"progress gone", {L"问题"}, {plainBar}, {L""}, {L"x", L""}, {L"x", L""}, true, 3},
        {"never finishes", {L"问题"}, {plainBar}, {L""}, {L"x"}, {L""}, false, 601},
        // An empty box before the wait means the page already took the question.
        {"no wait", {L"问题", L""}, {plainBar}, {L""}, {L"x"}, {L"x"}, true, 0},
    };
    HiddenTestForm form;
    GiveBrowserAWindow(form);
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        receiver_.asked.clear();
        receiver_.page.captions[L"S4"] = c.s4;
        receiver_.page.captions[L"S6"] = c.s6;
        receiver_.page.captions[L"S7"] = c.s7;
        receiver_.page.captions[L"S8"] = c.s8;
        receiver_.page.captions[L"S9"] = c.s9;
        EXPECT_EQ(Search(), c.answered ? kCleanAnswer : L"");
        EXPECT_EQ(error_, c.answered ? L"" : kFailure);
        // S6 runs once in the attempt, then once per answer poll.
        EXPECT_EQ(receiver_.asked[L"S6"], c.answerPolls + 1);
        EXPECT_EQ(receiver_.asked[L"S10"], c.answered ? 1u : 0u);
    }
}

TEST_F(WebSearchTest, AnswerCleanUp) {
    struct {
        const char* what;
        std::vector<std::wstring> s10, s11;
        const wchar_t* answer;  // empty: none
    } cases[] = {
        {"quoted, escaped quotes", {kAnswerArea}, {}, kCleanAnswer},
        {"links and empty classes go",
         {L"\"<div class=\\\"markdown-container\\\"><p class=\\\"\\\">看 <a href=\\\"u\\\">这里</a>。</p></div>\""},
         {},
         L"<div class=\"markdown-container\"><p>看 。</p></div>"},
        {"single quotes and blanks", {L"'  <div class=\"markdown-container\">\\u597d</div>\\n '"}, {},
         L"<div class=\"markdown-container\">好</div>"},
        {"message area when the article is empty", {L""}, {L"<div class=\"markdown-container\">b</div>"},
         L"<div class=\"markdown-container\">b</div>"},
        {"no markdown block", {L"\"<p>x</p>\""}, {}, L""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        receiver_.page.captions[L"S10"] = c.s10;
        receiver_.page.captions[L"S11"] = c.s11;
        EXPECT_EQ(Search(), c.answer);
        EXPECT_EQ(error_, *c.answer ? L"" : kFailure);
    }
}

// ---- spacing, browsers and the finish -----------------------------------------------------------

TEST_F(WebSearchTest, SearchStartsAreSpaced) {
    struct {
        int64_t sinceLast;
        bool waits;
    } cases[] = {{2000, true}, {6000, false}, {5000, false}, {-3000, true}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.sinceLast);
        client_.lastSearchTick = int64_t(gNow.load()) - c.sinceLast;
        receiver_.commands.clear();
        waits_.clear();
        const uint64_t start = gNow;
        Search();
        ASSERT_FALSE(waits_.empty());
        EXPECT_EQ(waits_[0] == kSearchMinSpacingMs, c.waits);
        const uint64_t begun = start + (c.waits ? kSearchMinSpacingMs : 0);
        EXPECT_EQ(receiver_.commands.front().at, begun);
        EXPECT_EQ(client_.lastSearchTick, int64_t(begun));
    }
}

TEST_F(WebSearchTest, OneBrowserPerThread) {
    Search();
    rg_EdgeLiuLanKuang* mine = Browser();
    Search();
    EXPECT_EQ(Browser(), mine);
    EXPECT_EQ(mine->GetOwnerThreadId(), ::GetCurrentThreadId());

    std::atomic<bool> done{false};
    CWString answer;
    DWORD worker = 0;
    rg_EdgeLiuLanKuang* theirs = nullptr;
    std::thread t([&] {
        worker = ::GetCurrentThreadId();
        CWString error;
        answer = AskWebSearch(client_, L"问题", error);
        theirs = client_.GetBrowserForThread();
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 10000));
    t.join();
    EXPECT_EQ(answer, kCleanAnswer);
    ASSERT_NE(theirs, nullptr);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(theirs->GetOwnerThreadId(), worker);
    EXPECT_EQ(client_.threadBrowsers.size(), 2u);
    EXPECT_EQ(receiver_.commands.back().senderThread, worker);

    // A copy of the client keeps using the thread's browser.
    rg_DrenvikWenZhangGaiXieLei copy;
    copy.CopyFrom(client_);
    EXPECT_EQ(copy.GetBrowserForThread(), mine);
}

// browserLock covers the input attempts alone, the prompt included; polling, the answer wait and
// the finish leave it free for other threads' searches.
TEST_F(WebSearchTest, BrowserLockCoversTheInputAttemptsOnly) {
    receiver_.page.captions[L"S4"] = {L"", L"问题"};
    std::atomic<bool> done{false};
    std::thread t([&] {
        HiddenTestForm form;
        GiveBrowserAWindow(form);
        Search();
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 10000));
    t.join();
    std::vector<std::wstring> seen;
    for (const Command& c : receiver_.commands) seen.push_back(std::to_wstring(c.op) + L":" + c.text + (c.browserLockHeld ? L" held" : L""));
    const std::vector<std::wstring> expected = {
        L"0:about:blank", L"0:" + WebSearchStartAddress(), L"1:S1",
        L"3: held", L"1:S2 held", L"1:S3 held", L"1:S4 held", L"1:S5 held", L"1:S5 held",
        L"3: held", L"4:" + std::wstring(kCovered) + L" held", L"1:S4 held",
        L"1:S4", L"1:S6", L"1:S10", L"6:",
    };
    EXPECT_EQ(seen, expected);
}

// Threads that ask for their browsers at the same moment each get their own.
TEST(WebSearchBrowsers, ConcurrentFirstUse) {
    rg_DrenvikWenZhangGaiXieLei client;
    std::vector<std::thread> threads;
    std::vector<rg_EdgeLiuLanKuang*> got(8);
    std::atomic<int> ready{0};
    for (size_t i = 0; i < got.size(); ++i)
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < int(got.size())) std::this_thread::yield();
            got[i] = client.GetBrowserForThread();
        });
    for (auto& t : threads) t.join();
    std::set<rg_EdgeLiuLanKuang*> distinct(got.begin(), got.end());
    EXPECT_EQ(distinct.size(), got.size());
    EXPECT_EQ(client.threadBrowsers.size(), got.size());
}

TEST_F(WebSearchTest, TroubleReportsRecreateEveryFifthTime) {
    receiver_.page.status = L"status: webhc";
    std::vector<int32_t> counters;
    std::vector<int> recreated;
    for (int search = 1; search <= 10; ++search) {
        Search();
        counters.push_back(client_.threadRecreateCounters[int32_t(::GetCurrentThreadId())]);
        recreated.push_back(receiver_.Count(kBrowserRecreate));
    }
    EXPECT_EQ(counters, (std::vector<int32_t>{1, 2, 3, 4, 0, 1, 2, 3, 4, 0}));
    EXPECT_EQ(recreated, (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1, 1, 2}));
    EXPECT_EQ(receiver_.Trace().back(), L"5:");

    receiver_.page.status = L"ok";
    Search();
    EXPECT_EQ(client_.threadRecreateCounters[int32_t(::GetCurrentThreadId())], 0);
}

// Takes a queued WM_QUIT off the queue; its code, or -1 when none was there.
int TakeQuit() {
    MSG msg;
    return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? int(msg.wParam) : -1;
}

// The program closing during a search (WM_QUIT posted while the receiver handles a command) ends
// the search right there: that command is the last one, the finish sends nothing, no wait and no
// input follow, and WM_QUIT stays queued for the real loop.
TEST_F(WebSearchTest, ClosingTheProgramEndsTheSearchWhereItIs) {
    const std::wstring plainBar = L"<div class=\"js-article-share-exclude\"></div>";
    struct {
        const char* what;
        std::wstring closeAt;  // the command, as "op:text"
        int nth;               // at its nth arrival
        std::map<std::wstring, std::vector<std::wstring>> page;
    } cases[] = {
        {"while the page loads", L"1:S1", 3, {{L"S1", {L"", L"", L"", kInputBox}}}},
        {"when the box is found", L"1:S2", 1, {}},
        {"during the covered prompt", L"4:" + std::wstring(kCovered), 1, {{L"S4", {L""}}}},
        {"during the login prompt", L"4:" + std::wstring(kLogin), 1, {{L"S5", {kLoginDialog}}}},
        {"while the answer is written", L"1:S6", 3, {{L"S6", {plainBar}}, {L"S8", {L"x"}}}},
    };
    HiddenTestForm form;
    GiveBrowserAWindow(form);
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        NextCase();
        for (const auto& [script, captions] : c.page) receiver_.page.captions[script] = captions;
        receiver_.page.status = L"webhc";
        const int32_t counter = client_.threadRecreateCounters[int32_t(::GetCurrentThreadId())];
        int seen = 0;
        uint64_t closedAt = 0;
        size_t inputAtClose = 0;
        receiver_.onCommand = [&](const std::wstring& command) {
            if (command != c.closeAt || ++seen != c.nth) return;
            ::PostQuitMessage(5);
            closedAt = gNow;
            inputAtClose = Input().size();
        };
        EXPECT_EQ(Search(), L"");
        receiver_.onCommand = nullptr;
        EXPECT_EQ(TakeQuit(), 5);
        EXPECT_EQ(error_, kFailure);
        ASSERT_EQ(seen, c.nth);
        EXPECT_EQ(receiver_.Trace().back(), c.closeAt);
        EXPECT_EQ(gNow.load(), closedAt);
        EXPECT_EQ(Input().size(), inputAtClose);
        EXPECT_EQ(client_.threadRecreateCounters[int32_t(::GetCurrentThreadId())], counter);
        EXPECT_FALSE(Shown(*Browser()));
    }
}

// Closed before the search began: nothing is sent, nothing waited for, and the start is not noted.
TEST_F(WebSearchTest, ClosingTheProgramBeforeASearch) {
    client_.lastSearchTick = int64_t(gNow.load()) - 2000;
    ::PostQuitMessage(5);
    EXPECT_EQ(Search(), L"");
    EXPECT_EQ(TakeQuit(), 5);
    EXPECT_EQ(error_, kFailure);
    EXPECT_TRUE(receiver_.commands.empty());
    EXPECT_TRUE(waits_.empty());
    EXPECT_TRUE(Input().empty());
    EXPECT_EQ(client_.lastSearchTick, int64_t(gNow.load()) - 2000);
}

// Through AskChat, with no notice component: nothing is delivered and the polling runs out.
TEST_F(WebSearchTest, PseudoModelWithoutANoticeComponentFails) {
    rg_DrenvikWenZhangGaiXieLei client;
    CWString model = L"www.n.cn (web)", host = L"http://127.0.0.1:1", error;
    const uint64_t start = gNow;
    EXPECT_EQ(client.AskChat(L"问题", model, L"", {}, {}, 3000, L"v1", error, host, L"", L"", 10, 0, 1.0, 1.0, 0.0, 0.0),
              L"");
    EXPECT_EQ(error, kFailure);
    EXPECT_EQ(gNow - start, 55u * 500u);
    EXPECT_TRUE(Input().empty());
    EXPECT_TRUE(receiver_.commands.empty());
}

// A client and its receiver on the real clock, the last search started 2 s ago; simulated input
// goes nowhere.
struct RealClockSearch {
    RealClockSearch() {
        receiver.client = &client;
        EXPECT_TRUE(receiver.Create());
        client.browserNoticeComponent = &receiver;
        client.lastSearchTick = int64_t(::GetTickCount64()) - 2000;
    }
    CommandReceiver receiver;
    rg_DrenvikWenZhangGaiXieLei client;
    ScopedSeam<std::function<bool(int, int)>> move{&PlatformSeams::moveMouse, [](int, int) { return true; }};
    ScopedSeam<std::function<bool()>> click{&PlatformSeams::clickMouse, [] { return false; }};
    ScopedSeam<std::function<void(UINT)>> beep{&PlatformSeams::messageBeep, [](UINT) {}};
};

// The one search on the real clock that runs: 2 s after the previous start it waits the full 5 s.
TEST(WebSearchSpacing, RealWait) {
    RealClockSearch search;
    rg_DrenvikWenZhangGaiXieLei& client = search.client;
    const uint64_t start = ::GetTickCount64();
    CWString error;
    EXPECT_EQ(AskWebSearch(client, L"问题", error), kCleanAnswer);
    ASSERT_FALSE(search.receiver.commands.empty());
    EXPECT_GE(client.lastSearchTick - int64_t(start), 5000);
    EXPECT_LT(client.lastSearchTick - int64_t(start), 5000 + 2000);
}

// On the real clock and through AskChat: once the program is closing, a search that would wait for
// its spacing and then poll a page that never comes up gives the failure text at once.
TEST(WebSearchClosing, AskChatGivesTheFailureAtOnce) {
    RealClockSearch search;
    search.receiver.page.captions[L"S1"] = {L""};
    ::PostQuitMessage(9);
    CWString model = L"www.n.cn (web)", host = L"http://127.0.0.1:1", error;
    const uint64_t start = ::GetTickCount64();
    const CWString answer =
        search.client.AskChat(L"问题", model, L"", {}, {}, 3000, L"v1", error, host, L"", L"", 10, 0, 1.0, 1.0, 0.0, 0.0);
    EXPECT_LT(::GetTickCount64() - start, 1000u);
    EXPECT_EQ(TakeQuit(), 9);
    EXPECT_EQ(answer, L"");
    EXPECT_EQ(error, kFailure);
    EXPECT_TRUE(search.receiver.commands.empty());
}

}  // namespace

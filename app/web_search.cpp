#include "app/web_search.h"

#include "platform/input.h"
#include "platform/input_simulation.h"
#include "platform/seams.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "ui/control_foundation.h"
#include "util/escape.h"
#include "util/html_parser.h"
#include "util/position.h"
#include "util/system_helpers.h"
#include "util/text_helpers.h"

namespace {

// A page query: "document.querySelector(" + quote + selector + quote + ")." + member + ";".
struct PageQuery {
    wchar_t quote;
    const wchar_t* selector;
    const wchar_t* member;
};
constexpr PageQuery kInputOuterHtml{L'"', L"#composition-input", L"outerHTML"};
constexpr PageQuery kInputValue{L'"', L"#composition-input", L"value"};
constexpr PageQuery kModalOuterHtml{L'"', L".ant-modal-content", L"outerHTML"};
constexpr PageQuery kShareBarOuterHtml{L'\'', L".js-article-share-exclude", L"outerHTML"};
constexpr PageQuery kFootnoteOuterHtml{L'\'', L".text-opacity-30", L"outerHTML"};
constexpr PageQuery kProgressOuterHtml{L'"', L".message-progress-box", L"outerHTML"};
constexpr PageQuery kAgentOuterHtml{L'"', L".enhance-container-agent", L"outerHTML"};
constexpr PageQuery kArticleInnerHtml{L'\'', L".js-article-content", L"innerHTML"};
constexpr PageQuery kMessageInnerHtml{L'\'', L".chat-message-item-container", L"innerHTML"};
// The input box's left, top, right and bottom, joined by ",".
constexpr wchar_t kInputRectangle[] =
    L"var jx=document.querySelector(\"#composition-input\").getBoundingClientRect(); "
    L"jx.left+','+jx.top+','+jx.right+','+jx.bottom;";
constexpr wchar_t kClickHomeChat[] = L"document.querySelector('#home_chat_btn').click();";

constexpr int kPagePollMs = 500;
constexpr int kPagePollLimit = 55;
constexpr int kInputAttempts = 10;
constexpr int kAnswerPollMs = 600;
constexpr int kAnswerPollLimit = 600;
// From the input box's top-left corner to the click point, both ways.
constexpr int kClickOffset = 20;

// What the page shows when the user must log in, and the prompts that ask the user for help.
constexpr wchar_t kLoginButton[] = L"span>立即登录";
constexpr wchar_t kCoveredPrompt[] = L"浏览器输入界面被遮挡\r\n解除遮挡再点击我继续";
constexpr wchar_t kLoginPrompt[] = L"登录纳米搜索后\r\n再点击我继续";

bool Contains(std::wstring_view text, std::wstring_view what, bool ignoreCase = false) {
    return FindWText(text, what, 0, ignoreCase) >= 0;
}

// One search on the calling thread, step by step.
class WebSearch {
public:
    WebSearch(rg_DrenvikWenZhangGaiXieLei& client, const CWString& question)
        : client_(client), question_(question), start_(WebSearchStartAddress()) {}

    // The answer, or false when the page gave none.
    bool Run(CWString& answer) {
        if (!KeepSpacing()) return false;
        ShowBrowser();
        OpenStartPage();
        bool answered = WaitForInputBox();
        if (answered) {
            EnterQuestion();
            answered = RunScript(kInputValue).empty() || WaitForAnswer();
            if (answered) answer = ReadAnswer();
        }
        Finish();
        // A page without the answer area gives nothing to show: that is no answer either.
        return answered && !answer.empty();
    }

private:
    // The program is closing (WM_QUIT queued): from then on the search sends nothing, touches no
    // input and waits for nothing, so the thread gets back to its message loop at once.
    bool Ending() {
        quit_ = quit_ || QuitMessageQueued();
        return quit_;
    }

    // False when the program is closing; the wait itself ends at WM_QUIT.
    bool Pause(int64_t milliseconds) {
        WaitPumpingMessages(milliseconds);
        return !Ending();
    }

    void Send(int32_t op, std::wstring_view text = {}) {
        if (!Ending()) SendBrowserCommand(client_.browserNoticeComponent, op, text);
    }

    // Once closing, no page is asked and every query reads as empty.
    const CWString& RunScript(std::wstring_view script) {
        static const CWString kNothing;
        Send(kBrowserRunScript, script);
        return Ending() ? kNothing : browser_->caption;
    }
    const CWString& RunScript(const PageQuery& q) {
        const std::wstring_view quote(&q.quote, 1);
        return RunScript(CWString::Concat({L"document.querySelector(", quote, q.selector, quote, L").", q.member, L";"}));
    }

    // Starts lie at least kSearchMinSpacingMs apart. The wait holds the lock, so later callers
    // queue behind it; a clock that went back counts as too close. False when the program is
    // closing: that search does not start.
    bool KeepSpacing() {
        LockGuard<rg_HuChiSuoLei> hold(client_.searchSpacingLock);
        if (int64_t(VolTickCount64()) - client_.lastSearchTick < kSearchMinSpacingMs)
            WaitPumpingMessages(kSearchMinSpacingMs);
        if (Ending()) return false;
        client_.lastSearchTick = int64_t(VolTickCount64());
        return true;
    }

    void ShowBrowser() {
        LockGuard<rg_HuChiSuoLei> hold(client_.browserLock);
        browser_ = client_.GetBrowserForThread();
        browser_->Show();
        browser_->RaiseWithoutActivating();
    }

    void OpenStartPage() {
        if (browser_->IsCreated()) {
            Send(kBrowserNavigate, L"about:blank");
            Pause(200);
        }
        Send(kBrowserNavigate, start_);
    }

    // Polls until the page shows its input box; false when it never does.
    bool WaitForInputBox() {
        for (int n = 0;;) {
            if (!Pause(kPagePollMs)) return false;
            if (Contains(RunScript(kInputOuterHtml), L"composition-input")) return true;
            ++n;
            if (n % kPagePollLimit == 0) return false;
            if (n % 40 == 0) Send(kBrowserRestart);
            else if (n % 20 == 0) Send(kBrowserNavigate, start_);
        }
    }

    void AskUser(const wchar_t* prompt) {
        if (Ending()) return;
        Send(kBrowserPrepare);
        Seams().messageBeep(0);
        Send(kBrowserAskUser, prompt);
    }

    // Where the click goes: only into the browser's own window when nothing else lies on top of it
    // there. Without a window of its own the browser has no place on the screen, and another
    // window at the point would get the click and the question.
    bool ClickPointIsOnBrowser(POINT at) const {
        const HWND own = browser_->GetHwnd();
        if (!own) return false;
        const HWND hit = Seams().windowAt(at);
        return hit && (hit == own || ::IsChild(own, hit));
    }

    bool LoginDialogShown() { return Contains(RunScript(kModalOuterHtml), kLoginButton); }

    // Clicks into the input box and pastes the question. The real mouse, keyboard and clipboard
    // are in use meanwhile, so the whole phase holds browserLock.
    void EnterQuestion() {
        LockGuard<rg_HuChiSuoLei> hold(client_.browserLock);
        browser_->RaiseWithoutActivating();
        for (int attempt = 0; attempt < kInputAttempts; ++attempt) {
            const POINT cursor = VolGetCursorPos();
            Send(kBrowserPrepare);
            CWString boxText = RunScript(kInputRectangle);
            if (Ending()) return;
            rg_DrenvikWeiZhiLei box;
            ParsePositionText(boxText, box);
            const rg_JuXingLei area = GetWindowRectangle(browser_->GetHwnd(), false, false);
            const POINT at{area.left + box.left + kClickOffset, area.top + box.top + kClickOffset};
            bool covered = !ClickPointIsOnBrowser(at);
            if (!covered) {
                CWinKeyboardOperateModule::MoveMouse(at.x, at.y);
                // Pasting after a failed copy would put whatever the clipboard held into the page.
                if (CWinKeyboardOperateModule::ClickMouse() && Pause(50) && SetClipboardText(question_)) {
                    CWinKeyboardOperateModule::PressKey(VK_CONTROL, CWinKeyboardOperateModule::kKeyDown);
                    CWinKeyboardOperateModule::PressKey('V');
                    CWinKeyboardOperateModule::PressKey(VK_CONTROL, CWinKeyboardOperateModule::kKeyUp);
                }
                CWinKeyboardOperateModule::MoveMouse(cursor.x, cursor.y);
                if (!Pause(100)) return;
                RunScript(kClickHomeChat);
                if (!Pause(500)) return;
                if (RunScript(kInputValue).empty()) {
                    if (!Pause(500)) return;
                    covered = !LoginDialogShown();
                    if (covered) {
                        if (!Pause(1000)) return;
                        covered = !LoginDialogShown();
                    }
                }
            }
            if (covered) {
                AskUser(kCoveredPrompt);
                if (!RunScript(kInputValue).empty() || Ending()) return;
                browser_->RaiseWithoutActivating();
                continue;
            }
            if (!Pause(500)) return;
            if (LoginDialogShown()) {
                AskUser(kLoginPrompt);
                return;
            }
            const CWString& shareBar = RunScript(kShareBarOuterHtml);
            if (shareBar.empty() || !Contains(shareBar, L"disabled=", true)) return;
        }
    }

    // Waits for the page to finish its answer; false when it gives up.
    bool WaitForAnswer() {
        for (int m = 0;;) {
            if (!Pause(kAnswerPollMs)) return false;
            if (Contains(RunScript(kShareBarOuterHtml), L"深入回答此问题", true)) return true;
            int32_t at = 0;
            if (MatchKeywords(RunScript(kFootnoteOuterHtml), L"以上内容均由AI搜集并总结生成|以上内容均由AI搜集总结并生成", 0,
                              L"", L"|", at))
                return true;
            if (RunScript(kInputValue).empty()) return false;
            if (RunScript(kProgressOuterHtml).empty() && RunScript(kAgentOuterHtml).empty()) return true;
            if (++m > kAnswerPollLimit) return false;
        }
    }

    // The answer area's markdown block, without links and empty class attributes.
    CWString ReadAnswer() {
        CWString answer = RunScript(kArticleInnerHtml);
        if (answer.empty()) answer = RunScript(kMessageInnerHtml);
        RemoveLeadingChar(answer, L'"');
        RemoveTrailingChar(answer, L'"');
        RemoveLeadingChar(answer, L'\'');
        RemoveTrailingChar(answer, L'\'');
        TrimSpaces(answer);
        DecodeEscapes(answer, 0);
        rg_DrenvikWangYeJieXiLei parser;
        answer = parser.GetElement(answer, L"div,class=markdown-container", 0, 0, 0);
        parser.RemoveTags(answer, L"a", L"");
        answer.Replace(L" class=\"\"", L"");
        return answer;
    }

    // Hides the browser and asks for its status; every fifth trouble report has it made anew.
    void Finish() {
        browser_->Hide();
        if (Ending()) return;
        Send(kBrowserStatus);
        if (!Contains(browser_->caption, L"Webhc", true)) return;
        bool recreate;
        {
            LockGuard<rg_HuChiSuoLei> hold(client_.recreateCounterLock);
            int32_t& counter = client_.threadRecreateCounters[int32_t(::GetCurrentThreadId())];
            counter = counter + 1 >= 5 ? 0 : counter + 1;
            recreate = counter == 0;
        }
        if (recreate) Send(kBrowserRecreate);
    }

    rg_DrenvikWenZhangGaiXieLei& client_;
    const CWString& question_;
    const CWString start_;
    rg_EdgeLiuLanKuang* browser_ = nullptr;
    bool quit_ = false;
};

}  // namespace

std::unique_ptr<rg_LiuLanQiChuanCanCaoZuo> MakeBrowserOperation(int32_t op, std::wstring_view text) {
    std::unique_ptr<rg_LiuLanQiChuanCanCaoZuo> record(
        static_cast<rg_LiuLanQiChuanCanCaoZuo*>(rg_LiuLanQiChuanCanCaoZuo::StaticClassInfo().create()));
    record->op = op;
    record->text = CWString(text);
    record->senderThreadId = int32_t(::GetCurrentThreadId());
    return record;
}

bool SendBrowserCommand(CVolObject* noticeComponent, int32_t op, std::wstring_view text) {
    if (!noticeComponent || !noticeComponent->IsKindOf(CVolWinControl::StaticClassInfo())) return false;
    HWND target = static_cast<CVolWinControl*>(noticeComponent)->GetHwnd();
    if (!target) return false;
    // SendMessageW returns only once the receiver has handled the command, so the record stays
    // ours: the receiver reads it during the message, keeps nothing of it, and it goes here.
    std::unique_ptr<rg_LiuLanQiChuanCanCaoZuo> record = MakeBrowserOperation(op, text);
    ::SendMessageW(target, kBrowserCommandMessage, reinterpret_cast<WPARAM>(record.get()), 0);
    return true;
}

CWString WebSearchStartAddress() { return CWString::Concat({L"https://", kWebSearchModel, L"/?fr=none"}); }

rg_EdgeLiuLanKuang* rg_DrenvikWenZhangGaiXieLei::GetBrowserForThread() {
    const int32_t thread = int32_t(::GetCurrentThreadId());
    LockGuard<rg_HuChiSuoLei> hold(browserLock);
    auto found = threadBrowsers.find(thread);
    if (found != threadBrowsers.end()) return reinterpret_cast<rg_EdgeLiuLanKuang*>(found->second);
    // Kept for the life of the process: copies of the client and the receiver refer to it.
    auto* browser = static_cast<rg_EdgeLiuLanKuang*>(rg_EdgeLiuLanKuang::StaticClassInfo().create());
    browser->SetOwnerThreadId(DWORD(thread));
    threadBrowsers[thread] = reinterpret_cast<intptr_t>(browser);
    return browser;
}

CWString AskWebSearch(rg_DrenvikWenZhangGaiXieLei& client, const CWString& question, CWString& errorOut) {
    CWString answer;
    if (WebSearch(client, question).Run(answer)) return answer;
    errorOut = CWString::Concat({L"失败！", kWebSearchModel, L" 无响应"});
    return {};
}

// The web-search pseudo-model: the chat client drives a web AI search site's chat page in the calling
// thread's embedded browser. The client never touches the page itself: every browser operation is
// a command record sent to the notice component's window, whose receiver runs it on the sending
// thread's browser and leaves script results in that browser's caption.
#pragma once
#include <cstdint>
#include <memory>

#include "app/ai_chat_client.h"
#include "platform/edge_browser.h"

// Sent to the notice component's window; WPARAM is the command record, LPARAM 0.
inline constexpr UINT kBrowserCommandMessage = 0xA002;
// Search starts on one client lie at least this far apart.
inline constexpr int64_t kSearchMinSpacingMs = 5000;

// Command codes, and what the receiver does with each.
enum BrowserOp : int32_t {
    kBrowserNavigate = 0,    // text: the address to open
    kBrowserRunScript = 1,   // text: a script; its result text goes to the browser's caption
    kBrowserRestart = 2,     // the page has not come up for long
    kBrowserPrepare = 3,     // before each input attempt and each prompt
    kBrowserAskUser = 4,     // text: a prompt; returns once the user has clicked it
    kBrowserRecreate = 5,    // the browser has reported trouble five times
    kBrowserStatus = 6,      // leaves a status text in the caption
};

// One browser command: what to do, its text, and the thread whose browser it is for.
class rg_LiuLanQiChuanCanCaoZuo : public CVolObject {
    VOL_CLASS(rg_LiuLanQiChuanCanCaoZuo, CVolObject, "drenvik::rg_LiuLanQiChuanCanCaoZuo")
    VOL_MEMBERS(op, text, senderThreadId)

public:
    int32_t op = 0;
    CWString text;
    int32_t senderThreadId = 0;
};

// A new record with the code, a copy of the text and the calling thread's id.
std::unique_ptr<rg_LiuLanQiChuanCanCaoZuo> MakeBrowserOperation(int32_t op, std::wstring_view text);
// Sends a new record to the component's window and returns once the receiver has handled it.
// Nothing is sent (false) without a component that is a control with a window.
bool SendBrowserCommand(CVolObject* noticeComponent, int32_t op, std::wstring_view text);

// The search's start address on the site: "https://" + host + "/?fr=none".
CWString WebSearchStartAddress();

// AskChat's path for the pseudo-model: the answer as an HTML fragment, or an empty text with
// "失败！" + the site's domain + " 无响应" in errorOut.
CWString AskWebSearch(rg_DrenvikWenZhangGaiXieLei& client, const CWString& question, CWString& errorOut);

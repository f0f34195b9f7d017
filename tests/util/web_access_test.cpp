#include <gtest/gtest.h>

#include "support/loopback_server.h"

#include <chrono>

#include "platform/system.h"
#include "util/web_access.h"

namespace {

using namespace std::chrono;

Reply Ok(std::string body, std::vector<std::string> headers = {}) {
    Reply r;
    r.body = std::move(body);
    r.headers = std::move(headers);
    return r;
}

// The chat client's call: POST of a JSON body with its own header lines.
CWString Chat(rg_DrenvikWangYeFangWenLei& web, const std::wstring& url, const std::wstring& body,
              std::wstring_view extra = L"Authorization: Bearer k1\r\nContent-Type: application/json") {
    CWString charset;
    return web.VisitAsText(url, CWString(body), L"", L"", L"-1", L"", L"", extra, charset);
}

CVolMem Get(rg_DrenvikWangYeFangWenLei& web, const std::wstring& url, std::wstring_view referer = L"-1",
            std::wstring_view userAgent = L"", std::wstring_view extra = L"", std::wstring_view cookies = L"",
            std::wstring_view proxy = L"") {
    CWString charset;
    return web.Visit(url, std::nullopt, cookies, proxy, referer, L"", userAgent, extra, charset);
}

// Makes the calling thread the user-interface thread for one test.
struct AsUiThread {
    AsUiThread() { gMainThreadId = ::GetCurrentThreadId(); }
    ~AsUiThread() { gMainThreadId = 0; }
};

}  // namespace

TEST(WebUrl, Normalisation) {
    struct { const wchar_t* in; const wchar_t* out; } cases[] = {
        {L"//h/p", L"https://h/p"},
        {L"h/p", L"http://h/p"},
        {L"http://h/p#frag#x", L"http://h/p#"},
        {L"https://h/p?q=1", L"https://h/p?q=1"},
    };
    for (auto& c : cases) EXPECT_EQ(rg_DrenvikWangYeFangWenLei::NormalizeUrl(c.in), c.out) << c.in;
}

TEST(WebObject, StreamsItsMembersAfterTheBase) {
    rg_DrenvikWangYeFangWenLei a;
    a.lastError = L"base text";
    a.receivedCookies = L"c=1";
    a.requestUrl = L"http://h/";
    a.workerHeaders = {L"A: 1"};
    a.workerResponse.body = CVolMem("bytes");
    a.headOnly = 1;
    VolMemStream s;
    a.SaveToStream(&s);
    rg_DrenvikWangYeFangWenLei b;
    VolMemStream in(s.Data());
    b.LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(in.Position(), s.Data().GetSize());
    EXPECT_EQ(b.lastError, L"base text");
    EXPECT_EQ(b.receivedCookies, L"c=1");
    EXPECT_EQ(b.requestUrl, L"http://h/");
    EXPECT_EQ(b.workerHeaders, a.workerHeaders);
    EXPECT_EQ(b.workerResponse.body.View(), "bytes");
    EXPECT_EQ(b.headOnly, 1);
    EXPECT_FALSE(a.IsEqual(b));
    EXPECT_TRUE(a.IsEqual(a));
    std::unique_ptr<CVolObject> copy(a.Clone());
    auto& c = static_cast<rg_DrenvikWangYeFangWenLei&>(*copy);
    EXPECT_TRUE(c.requestLock.SameAs(a.requestLock));
    EXPECT_EQ(c.workerResponse.body.View(), "bytes");
}

TEST(WebCharsetCodes, Names) {
    struct { int code; const wchar_t* name; } cases[] = {{0, L""}, {1, L"GB2312"}, {2, L"UTF-8"}, {3, L"UTF-16"},
                                                         {4, L"GBK"}, {5, L"GB18030"}, {6, L"BIG5"}, {7, L"BIG5-HKSCS"},
                                                         {8, L"BIG5-HKSCS"}, {9, L""}, {-1, L""}};
    for (auto& c : cases) EXPECT_EQ(GetCharsetNameForCode(c.code), c.name) << c.code;
}

TEST(WebProxy, ParsesAddressUserAndPassword) {
    struct { const wchar_t* in; const wchar_t* addr; const wchar_t* user; const wchar_t* pass; } cases[] = {
        {L"", L"", L"", L""},
        {L"10.0.0.1:8080", L"http://10.0.0.1:8080", L"", L""},
        {L"socks5://h:1 , u , p", L"socks5://h:1", L"u", L"p"},
        {L"h:1,,p", L"http://h:1", L"p", L""},  // empty pieces are dropped
    };
    for (auto& c : cases) {
        rg_WenBenShuZuLei items = rg_DrenvikWangYeFangWenLei::ParseProxy(c.in);
        ASSERT_GE(items.size(), 3u) << c.in;
        EXPECT_EQ(items[0], c.addr) << c.in;
        EXPECT_EQ(items[1], c.user) << c.in;
        EXPECT_EQ(items[2], c.pass) << c.in;
    }
}

TEST(WebProxy, InternetSettingsProxyIsUsed) {
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    HKEY h;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
    ::RegDeleteValueW(h, L"ProxyServer");
    EXPECT_EQ(rg_DrenvikWangYeFangWenLei::ParseProxy(L"IE")[0], L"");  // no value: no proxy

    LoopbackServer proxy([](const SeenRequest&) { return Ok("via proxy"); });
    std::wstring value = proxy.HostPort();
    ::RegSetValueExW(h, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD((value.size() + 1) * 2));
    rg_DrenvikWangYeFangWenLei web;
    CVolMem got = Get(web, L"http://kelvaro-proxy-test.invalid/x", L"-1", L"", L"", L"", L"IE");
    ::RegDeleteValueW(h, L"ProxyServer");
    ::RegCloseKey(h);
    EXPECT_EQ(got.View(), "via proxy");
    auto seen = proxy.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "http://kelvaro-proxy-test.invalid/x");
}

TEST(WebProxy, AddressWithCredentialsGoesToTheProxy) {
    LoopbackServer proxy([](const SeenRequest&) { return Ok("p"); });
    rg_DrenvikWangYeFangWenLei web;
    CVolMem got = Get(web, L"http://kelvaro-proxy-test.invalid/a", L"-1", L"", L"", L"", proxy.HostPort() + L",user,secret");
    EXPECT_EQ(got.View(), "p");
    auto seen = proxy.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "http://kelvaro-proxy-test.invalid/a");
    EXPECT_EQ(seen[0].Header("Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");  // user:secret
}

TEST(WebProxy, EnvironmentProxyIsIgnoredWithoutAProxyText) {
    // Wine hands the Linux environment to the program: a stray http_proxy must not take the traffic.
    LoopbackServer server([](const SeenRequest&) { return Ok("direct"); });
    _wputenv(L"http_proxy=http://127.0.0.1:9");
    rg_DrenvikWangYeFangWenLei web;
    CVolMem got = Get(web, server.Url());
    _wputenv(L"http_proxy=");
    EXPECT_EQ(got.View(), "direct");
}

TEST(WebRequest, ChatPostLineHeadersAndBody) {
    LoopbackServer server([](const SeenRequest&) { return Ok("{\"ok\":\"是\"}", {"Content-Type: application/json"}); });
    rg_DrenvikWangYeFangWenLei web;
    CWString answer = Chat(web, server.Url(L"/v1/chat/completions"), L"{\"q\":\"你好\"}");
    EXPECT_EQ(answer, L"{\"ok\":\"是\"}");
    auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    const SeenRequest& r = seen[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.target, "/v1/chat/completions");
    EXPECT_TRUE(r.raw.starts_with("POST /v1/chat/completions HTTP/1.1\r\n")) << r.raw;
    EXPECT_EQ(r.body, "{\"q\":\"\xE4\xBD\xA0\xE5\xA5\xBD\"}");  // UTF-8
    EXPECT_EQ(r.Header("Authorization"), "Bearer k1");
    EXPECT_EQ(r.Header("Content-Type"), "application/json");
    EXPECT_EQ(r.Header("User-Agent"), WideToUtf8(gDefaultUserAgent));
    EXPECT_FALSE(r.HasHeader("Referer"));
    EXPECT_FALSE(r.HasHeader("Expect"));
    int contentTypes = 0;
    for (auto& l : r.lines) contentTypes += _strnicmp(l.c_str(), "Content-Type:", 13) == 0;
    EXPECT_EQ(contentTypes, 1);
    // The caller's lines keep their order, and the defaults follow them.
    std::vector<std::string> names;
    for (auto& l : r.lines) names.push_back(l.substr(0, l.find(':')));
    auto at = [&](const char* n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    EXPECT_LT(at("Authorization"), at("Content-Type"));
    EXPECT_LT(at("Content-Type"), at("User-Agent"));
}

TEST(WebRequest, RefererAndUserAgentRules) {
    LoopbackServer server([](const SeenRequest&) { return Ok("x"); });
    const std::wstring url = server.Url(L"/page#frag");
    const std::string normalised = WideToUtf8(server.Url(L"/page#"));
    struct Case { const wchar_t* referer; const wchar_t* agent; const wchar_t* extra; const char* wantReferer; const char* wantAgent; };
    Case cases[] = {
        {L"-1", L"-1", L"", nullptr, nullptr},
        {L"", L"", L"", normalised.c_str(), "default"},
        {L"http://r/", L"Agent/1", L"", "http://r/", "Agent/1"},
        {L"", L"", L"referer: mine\r\nuser-agent: Mine/2", "mine", "Mine/2"},
    };
    for (const Case& c : cases) {
        rg_DrenvikWangYeFangWenLei web;
        Get(web, url, c.referer, c.agent, c.extra);
    }
    auto seen = server.Requests();
    ASSERT_EQ(seen.size(), std::size(cases));
    for (size_t i = 0; i < seen.size(); ++i) {
        const Case& c = cases[i];
        int referers = 0, agents = 0;
        for (auto& l : seen[i].lines) {
            referers += _strnicmp(l.c_str(), "Referer:", 8) == 0;
            agents += _strnicmp(l.c_str(), "User-Agent:", 11) == 0;
        }
        EXPECT_EQ(referers, c.wantReferer ? 1 : 0) << i;
        EXPECT_EQ(agents, c.wantAgent ? 1 : 0) << i;
        if (c.wantReferer) {
            EXPECT_EQ(seen[i].Header("Referer"), c.wantReferer) << i;
        }
        if (c.wantAgent) {
            std::string want = std::string(c.wantAgent) == "default" ? WideToUtf8(gDefaultUserAgent) : c.wantAgent;
            EXPECT_EQ(seen[i].Header("User-Agent"), want) << i;
        }
        EXPECT_EQ(seen[i].target, "/page") << i;  // the fragment never leaves the client
    }
}

TEST(WebRequest, OmittedBodyIsGetAndEmptyBodyIsPost) {
    LoopbackServer server([](const SeenRequest&) { return Ok("x"); });
    rg_DrenvikWangYeFangWenLei web;
    CWString charset;
    web.VisitAsText(server.Url(), std::nullopt, L"", L"", L"-1", L"", L"", L"", charset);
    web.VisitAsText(server.Url(), CWString(), L"", L"", L"-1", L"", L"", L"", charset);
    web.Visit(server.Url(), CWString(L"a=1"), L"", L"", L"-1", L"text/plain", L"", L"", charset);
    auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[1].method, "POST");
    EXPECT_EQ(seen[1].Header("Content-Length"), "0");
    EXPECT_EQ(seen[2].method, "POST");
    EXPECT_EQ(seen[2].body, "a=1");
    EXPECT_EQ(seen[2].Header("Content-Type"), "text/plain");
    web.VisitAsText(server.Url(), CWString(L"问=1"), L"", L"", L"-1", L"", L"", L"", charset);
    EXPECT_EQ(web.requestText, L"问=1");
}

TEST(WebRequest, CharsetDecodingOfReplies) {
    // "中文" in GBK and in UTF-8
    const std::string gbk = "\xD6\xD0\xCE\xC4", utf8 = "\xE4\xB8\xAD\xE6\x96\x87";
    LoopbackServer server([&](const SeenRequest& r) {
        if (r.target == "/gbk") return Ok("<html><meta charset=\"gbk\">" + gbk + "</html>", {"Content-Type: text/html"});
        if (r.target == "/utf8") return Ok(utf8);
        return Ok("\xFF\xFE" "A\0B\0", {});
    });
    rg_DrenvikWangYeFangWenLei web;
    CWString charset;
    CVolMem raw;
    CVolMem got = web.Request(server.Url(L"/gbk"), std::nullopt, 0, 5000, L"", L"", L"-1", L"", L"", L"", charset, &raw, 0, 0);
    EXPECT_EQ(charset, L"gbk");
    EXPECT_EQ(CWString::FromUtf16Bytes(got.GetPtr(), got.GetSize()), L"<html><meta charset=\"gbk\">中文</html>");
    EXPECT_EQ(raw.View(), "<html><meta charset=\"gbk\">" + gbk + "</html>");

    got = web.Request(server.Url(L"/utf8"), std::nullopt, 0, 5000, L"", L"", L"-1", L"", L"", L"", charset, nullptr, 0, 0);
    EXPECT_EQ(charset, L"UTF-8");
    EXPECT_EQ(CWString::FromUtf16Bytes(got.GetPtr(), got.GetSize()), L"中文");

    // The chat path: UTF-8 always, raw bytes alongside.
    CWString text = web.VisitAsText(server.Url(L"/utf8"), std::nullopt, L"", L"", L"-1", L"", L"", L"", charset, &raw);
    EXPECT_EQ(text, L"中文");
    EXPECT_EQ(raw.View(), utf8);
    // Visit returns the bytes as received, in the result and in the raw argument.
    CVolMem bytes = web.Visit(server.Url(L"/utf8"), std::nullopt, L"", L"", L"-1", L"", L"", L"", charset, &raw);
    EXPECT_EQ(bytes.View(), utf8);
    EXPECT_EQ(raw.View(), utf8);
}

TEST(WebRequest, EmptyReplyIsTriedOnceMore) {
    int calls = 0;
    LoopbackServer server([&](const SeenRequest& r) {
        ++calls;
        if (r.target == "/never") return Ok("");
        return Ok(calls == 1 ? "" : "second");
    });
    rg_DrenvikWangYeFangWenLei web;
    EXPECT_EQ(Get(web, server.Url(L"/once")).View(), "second");
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_TRUE(Get(web, server.Url(L"/never")).IsEmpty());
    EXPECT_EQ(server.RequestCount(), 4u);
}

TEST(WebRequest, CookiesGoOutAndComeBack) {
    LoopbackServer server([](const SeenRequest&) {
        return Ok("c", {"Set-Cookie: a=1; Path=/", "Set-Cookie: b=2"});
    });
    rg_DrenvikWangYeFangWenLei web;
    Get(web, server.Url(), L"-1", L"", L"", L"sid=abc; lang=zh");
    EXPECT_EQ(web.receivedCookies, L"a=1; Path=/; b=2");
    EXPECT_EQ(server.Requests().at(0).Header("Cookie"), "sid=abc; lang=zh");
}

TEST(WebRequest, HttpRedirectsAreFollowed) {
    LoopbackServer server([](const SeenRequest& r) {
        if (r.target == "/a") { Reply x; x.status = 302; x.headers = {"Location: /b", "Set-Cookie: hop=1"}; return x; }
        if (r.target == "/b") { Reply x; x.status = 301; x.headers = {"Location: /c"}; return x; }
        return Ok("end");
    });
    rg_DrenvikWangYeFangWenLei web;
    EXPECT_EQ(Get(web, server.Url(L"/a")).View(), "end");
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_EQ(web.receivedCookies, L"hop=1");  // a cookie set on the way is kept
}

TEST(WebRequest, PageRedirectsFollowHtmlOnlyAndStopBelowDepthFive) {
    LoopbackServer server([](const SeenRequest& r) {
        if (r.target == "/json")
            return Ok("{\"answer\":\"<meta http-equiv=refresh content='0;url=/stolen'>\"}", {"Content-Type: application/json"});
        if (r.target == "/stolen") return Ok("wrong");
        if (r.target == "/html") return Ok("<html><head><meta http-equiv=\"Refresh\" content=\"0; url=next.html\"></head></html>",
                                           {"Content-Type: text/html; charset=utf-8"});
        if (r.target == "/next.html") return Ok("arrived", {"Content-Type: text/html"});
        // /loopN redirects to /loopN+1 forever
        int n = std::atoi(r.target.c_str() + 5);
        return Ok("<meta http-equiv=refresh content=\"0;URL='/loop" + std::to_string(n + 1) + "'\">", {"Content-Type: text/html"});
    });
    rg_DrenvikWangYeFangWenLei web;
    CWString json = Chat(web, server.Url(L"/json"), L"{}");
    EXPECT_EQ(json.FindText(L"answer"), 2);
    EXPECT_EQ(server.RequestCount(), 1u);

    EXPECT_EQ(Chat(web, server.Url(L"/html"), L"{}", L""), L"arrived");
    auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].target, "/next.html");
    EXPECT_EQ(seen[2].method, "POST");  // the whole request is made again

    CWString end = Chat(web, server.Url(L"/loop0"), L"{}", L"");
    EXPECT_NE(end.FindText(L"/loop6"), -1);  // depths 1..5 were requested, the fifth's page is the answer
    EXPECT_EQ(server.RequestCount(), 3u + 6u);
}

TEST(WebRequest, CredentialsNeverFollowAPageRedirectToAnotherHost) {
    LoopbackServer other([](const SeenRequest&) { return Ok("elsewhere"); });
    const std::string target = WideToUtf8(other.Url(L"/x"));
    LoopbackServer server([&](const SeenRequest& r) {
        if (r.target == "/same") return Ok("<meta http-equiv=refresh content=\"0;url=/there\">", {"Content-Type: text/html"});
        if (r.target == "/there") return Ok("here");
        return Ok("<meta http-equiv=refresh content=\"0;url=" + target + "\">", {"Content-Type: text/html"});
    });
    rg_DrenvikWangYeFangWenLei web;
    CWString charset;
    CWString got = web.VisitAsText(server.Url(L"/away"), CWString(L"{}"), L"sid=1", L"", L"-1", L"", L"",
                                   L"Authorization: Bearer secret\r\nContent-Type: application/json\r\nX-Keep: 1", charset);
    EXPECT_EQ(got, L"elsewhere");
    auto seen = other.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(seen[0].HasHeader("Authorization"));
    EXPECT_FALSE(seen[0].HasHeader("Cookie"));
    EXPECT_EQ(seen[0].Header("X-Keep"), "1");
    EXPECT_EQ(seen[0].Header("Content-Type"), "application/json");

    got = web.VisitAsText(server.Url(L"/same"), CWString(L"{}"), L"", L"", L"-1", L"", L"", L"Authorization: Bearer secret", charset);
    EXPECT_EQ(got, L"here");
    EXPECT_EQ(server.Requests().back().Header("Authorization"), "Bearer secret");  // same host keeps them
}

// A transfer that ran out of time is not sent again: the server would do the whole work twice.
TEST(WebRequest, TimeLimitEndsASlowTransferWithoutASecondTry) {
    LoopbackServer server([](const SeenRequest&) { Reply r = Ok("late"); r.delayMs = 3000; return r; });
    rg_DrenvikWangYeFangWenLei web;
    CWString charset;
    auto t0 = steady_clock::now();
    CVolMem got = web.Request(server.Url(), std::nullopt, -1, 300, L"", L"", L"-1", L"", L"", L"", charset, nullptr, 0, 0);
    auto ms = duration_cast<milliseconds>(steady_clock::now() - t0).count();
    EXPECT_TRUE(got.IsEmpty());
    EXPECT_LT(ms, 2500);  // the time limit, not the server's 3 s
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST(WebRequest, ConnectionClosedWithoutAnswerGivesEmpty) {
    LoopbackServer server([](const SeenRequest&) { Reply r; r.closeEarly = true; return r; });
    rg_DrenvikWangYeFangWenLei web;
    EXPECT_TRUE(Get(web, server.Url()).IsEmpty());
    EXPECT_FALSE(web.lastError.empty());
}

TEST(WebRequest, OnlyHttpSchemesAreSpoken) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring file = std::wstring(dir) + L"kelvaro_web_local.txt";
    CVolMem("local secret").WriteToFile(file);
    rg_DrenvikWangYeFangWenLei web;
    EXPECT_TRUE(Get(web, L"file:///" + file).IsEmpty());
    ::DeleteFileW(file.c_str());
}

TEST(WebRequest, FileNameFromReplyHeaders) {
    LoopbackServer server([](const SeenRequest& r) {
        if (r.target == "/cd") return Ok("x", {"Content-Disposition: attachment; filename=\"model file.gguf\""});
        if (r.target == "/loc") { Reply x = Ok("x", {"Location: /files/a%20b%E4%B8%AD.txt"}); x.status = 201; return x; }
        return Ok("x");
    });
    rg_DrenvikWangYeFangWenLei web;
    web.readFileName = 1;
    Get(web, server.Url(L"/cd"));
    EXPECT_EQ(web.fileName, L"model file.gguf");
    Get(web, server.Url(L"/loc"));
    EXPECT_EQ(web.fileName, L"a b中.txt");
    Get(web, server.Url(L"/none"));
    EXPECT_EQ(web.fileName, L"");
}

TEST(WebUiThread, TimerKeepsTickingWhileTheRequestRuns) {
    AsUiThread ui;
    static int ticks;
    ticks = 0;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    LoopbackServer server([](const SeenRequest&) { Reply r = Ok("slow"); r.delayMs = 500; return r; });
    rg_DrenvikWangYeFangWenLei web;
    EXPECT_EQ(Chat(web, server.Url(), L"{}"), L"slow");
    ::KillTimer(nullptr, timer);
    EXPECT_GE(ticks, 3);  // a blocked thread would see none
}

TEST(WebUiThread, RequestRunsHereWhenNoThreadCanBeMade) {
    AsUiThread ui;
    LoopbackServer server([](const SeenRequest&) { return Ok("direct"); });
    rg_DrenvikWangYeFangWenLei web;
    web.startThread = [](LPTHREAD_START_ROUTINE, void*) -> HANDLE { return nullptr; };
    EXPECT_EQ(Chat(web, server.Url(), L"{}"), L"direct");
    EXPECT_EQ(web.transferDone, 1);
}

TEST(WebUiThread, NestedRequestOnTheBusyObjectIsRefused) {
    AsUiThread ui;
    LoopbackServer server([](const SeenRequest&) { Reply r = Ok("outer"); r.delayMs = 200; return r; });
    static rg_DrenvikWangYeFangWenLei* web;
    static CWString nested;
    static bool ran;
    rg_DrenvikWangYeFangWenLei object;
    web = &object;
    ran = false;
    static std::wstring url;
    url = server.Url();
    UINT_PTR timer = ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        if (ran) return;
        ran = true;
        nested = Chat(*web, url, L"{}");
    });
    EXPECT_EQ(Chat(object, server.Url(), L"{}"), L"outer");
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(ran);
    EXPECT_EQ(nested, L"");
    EXPECT_EQ(server.RequestCount(), 1u);
}

// A fast answer comes back whole while the program is ending.
TEST(WebUiThread, QuitMessageStaysQueuedForTheRealLoop) {
    AsUiThread ui;
    LoopbackServer server([](const SeenRequest&) { return Ok("done"); });
    rg_DrenvikWangYeFangWenLei web;
    EXPECT_EQ(Chat(web, server.Url(), L"{}"), L"done");
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

// The program ending (WM_QUIT queued) while an answer is awaited: the transfer stops at once, is not
// sent again, and WM_QUIT stays queued with its code for the real loop.
TEST(WebUiThread, QuitWhileWaitingCancelsTheTransfer) {
    AsUiThread ui;
    LoopbackServer server([](const SeenRequest&) { Reply r = Ok("late"); r.delayMs = 8000; return r; });
    static LoopbackServer* seen;
    seen = &server;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (seen->RequestCount() == 0) return;
        ::KillTimer(nullptr, id);
        ::PostQuitMessage(3);
    });
    rg_DrenvikWangYeFangWenLei web;
    auto t0 = steady_clock::now();
    EXPECT_EQ(Chat(web, server.Url(), L"{}"), L"");
    auto ms = duration_cast<milliseconds>(steady_clock::now() - t0).count();
    ::KillTimer(nullptr, timer);
    EXPECT_LT(ms, 3000);  // not the server's 8 s
    EXPECT_EQ(server.RequestCount(), 1u);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);

    // The next request of the same object runs normally.
    LoopbackServer quick([](const SeenRequest&) { return Ok("again"); });
    EXPECT_EQ(Chat(web, quick.Url(), L"{}"), L"again");
}

TEST(UrlRedirector, HoldsItsOwnWinHttpObject) {
    ASSERT_TRUE(gUrlRedirector.comRequest.IsCreated());
    std::unique_ptr<CVolObject> copy(gUrlRedirector.Clone());
    auto& clone = static_cast<rg_DrenvikWangZhiChongDingXiangLei&>(*copy);
    EXPECT_TRUE(clone.comRequest.SameAs(gUrlRedirector.comRequest));
    EXPECT_FALSE(clone.IsEqual(gUrlRedirector));
    clone.Reset();
    EXPECT_TRUE(clone.comRequest.IsCreated());
    EXPECT_FALSE(clone.comRequest.SameAs(gUrlRedirector.comRequest));
}

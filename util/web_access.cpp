#include "util/web_access.h"

#include <objbase.h>

#include <atomic>

#include "platform/handles.h"
#include "platform/system.h"
#include "util/page_redirect.h"
#include "platform/shell.h"
#include "util/encoding.h"
#include "util/escape.h"
#include "util/path_parts.h"
#include "util/text_helpers.h"

const CWString gDefaultUserAgent =
    L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/106.0.0.0 "
    L"Safari/537.36 Edg/106.0.1370.52";

rg_DrenvikWangZhiChongDingXiangLei gUrlRedirector;

rg_DrenvikWangZhiChongDingXiangLei::rg_DrenvikWangZhiChongDingXiangLei() {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comRequest.CreateInstance(L"WinHttp.WinHttpRequest.5.1");
}

CWString GetCharsetNameForCode(int32_t code) {
    static const wchar_t* const names[] = {L"GB2312", L"UTF-8", L"UTF-16", L"GBK", L"GB18030", L"BIG5", L"BIG5-HKSCS"};
    if (code < 1 || code > 8) return {};
    return names[code == 8 ? 6 : code - 1];
}

namespace {

DWORD WINAPI WebRequestThreadEntry(void* arg) {
    static_cast<rg_DrenvikWangYeFangWenLei*>(arg)->PerformTransfer();
    return 0;
}

bool IsHtmlReply(const rg_WangYeFangWenXiangYingLei& r) {
    CWString type = r.GetHeader(L"Content-Type");
    return type.FindText(L"text/html", 0, true) == 0;
}

// Header lines minus those that carry the user's credentials.
CWString WithoutCredentials(std::wstring_view lines) {
    CWStringArray list;
    SplitTextBySeparator(lines, list, L"\r\n");
    CWString out;
    for (const CWString& line : list) {
        std::wstring_view name = TrimView(std::wstring_view(line).substr(0, std::min(line.find(L':'), line.size())));
        if (EqualsNoCase(name, L"Authorization") || EqualsNoCase(name, L"Cookie")) continue;
        if (!out.empty()) out += L"\r\n";
        out += line;
    }
    return out;
}

CWString FileNameFromHeaders(const rg_WenBenShuZuLei& lines) {
    CWString name;
    for (const CWString& line : lines) {
        if (line.FindText(L"Content-Disposition:", 0, true) < 0) continue;
        int32_t pos = 0;
        name = GetTextBetween(line, L"filename=\"", L"\"", pos, false, true);
        pos = 0;
        if (name.empty()) name = GetTextBetween(line, L"filename='", L"'", pos, false, true);
        break;
    }
    if (!name.empty()) return name;
    for (const CWString& line : lines) {
        int at = line.FindText(L"Location:", 0, true);
        if (at < 0) continue;
        CWString target = line.Mid(at + 9);
        target.TrimAll();
        name = GetPathLeaf(target, 1);
        DecodePercentEscapes(name);
        break;
    }
    return name;
}

// One transfer: GET for an omitted body, else POST; HEAD follows no redirect; every content
// encoding libcurl can decode is offered.
NetworkRequest TransferRequest(const CWString& url, const CVolMem* body, const rg_WenBenShuZuLei& headers,
                               std::wstring_view cookies, const CWString& proxy, const CWString& proxyUser,
                               const CWString& proxyPassword, int32_t timeoutMs, bool headOnly) {
    NetworkRequest rq;
    rq.url = url;
    rq.method = headOnly ? kHttpHead : body ? kHttpPost : kHttpGet;
    if (body) rq.body = *body;
    rq.headers = headers;
    rq.cookies = cookies;
    rq.acceptEncoding = CWString();
    rq.proxy = proxy;
    rq.proxyUser = proxyUser;
    rq.proxyPassword = proxyPassword;
    rq.timeoutMs = timeoutMs;
    rq.redirectLimit = headOnly ? 0 : -1;
    return rq;
}

}  // namespace

HANDLE rg_DrenvikWangYeFangWenLei::StartThread(LPTHREAD_START_ROUTINE entry, void* arg) {
    return ::CreateThread(nullptr, 0, entry, arg, 0, nullptr);
}

std::optional<CVolMem> rg_DrenvikWangYeFangWenLei::EncodeBody(const std::optional<CWString>& body, int32_t code) {
    if (!body) return std::nullopt;
    if (code == 2) return CVolMem(WideToUtf8(*body));
    return CVolMem(TextToAnsiBytes(*body, false));
}

CWString rg_DrenvikWangYeFangWenLei::NormalizeUrl(std::wstring_view url) {
    CWString u(url);
    if (u.starts_with(L"//")) u.insert(0, L"https:");
    if (u.FindText(L"://") < 0) u.insert(0, L"http://");
    int hash = u.FindText(L"#");
    if (hash >= 0) u.resize(size_t(hash + 1));
    return u;
}

rg_WenBenShuZuLei rg_DrenvikWangYeFangWenLei::BuildHeaderLines(std::wstring_view url, std::wstring_view referer,
                                                                std::wstring_view contentType, std::wstring_view userAgent,
                                                                std::wstring_view extraHeaders) {
    CWString text(extraHeaders);
    if (!contentType.empty() && text.FindText(L"Content-Type: ", 0, true) < 0)
        text += CWString::Concat({L"\r\nContent-Type: ", contentType});
    if (text.FindText(L"User-Agent: ", 0, true) < 0 && userAgent != L"-1")
        text += CWString::Concat({L"\r\nUser-Agent: ", userAgent.empty() ? std::wstring_view(gDefaultUserAgent) : userAgent});
    std::wstring_view ref = referer == L"-1" ? std::wstring_view() : referer.empty() ? url : referer;
    if (!ref.empty() && text.FindText(L"Referer: ", 0, true) < 0) text += CWString::Concat({L"\r\nReferer: ", ref});
    rg_WenBenShuZuLei lines;
    SplitTextBySeparator(text, lines, L"\r\n", true, true);
    return lines;
}

rg_WenBenShuZuLei rg_DrenvikWangYeFangWenLei::ParseProxy(std::wstring_view proxy) {
    rg_WenBenShuZuLei items;
    if (proxy == L"IE") {
        items.push_back(ReadUserRegistryText(L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                                    L"ProxyServer"));
    } else {
        SplitTextBySeparator(proxy, items, L",", true, true);
        items.emplace_back();
    }
    items.emplace_back();
    items.emplace_back();
    if (!items[0].empty() && items[0].FindText(L"://") < 0) items[0].insert(0, L"http://");
    return items;
}

void rg_DrenvikWangYeFangWenLei::PerformTransfer() {
    Perform(TransferRequest(workerUrl, workerBodyOmitted_ ? nullptr : &workerBody, workerHeaders, workerCookies, workerProxy,
                            workerProxyUser, workerProxyPassword, workerTimeout, headOnly != 0),
            workerResponse);
    std::atomic_ref<int32_t>(transferDone).store(1, std::memory_order_release);
}

CVolMem rg_DrenvikWangYeFangWenLei::Request(std::wstring_view url, const std::optional<CVolMem>& body, int32_t code,
                                            int32_t timeoutMs, std::wstring_view cookies, std::wstring_view proxy,
                                            std::wstring_view referer, std::wstring_view contentType,
                                            std::wstring_view userAgent, std::wstring_view extraHeaders,
                                            CWString& charset, CVolMem* raw, int32_t followPageRedirects, int32_t depth) {
    // A handler that runs while this object's worker is busy must not reuse the object.
    if (waiting_) return {};
    const CWString target = NormalizeUrl(url);
    requestUrl = target;

    requestText.clear();
    if (body && !body->IsEmpty()) {
        const CVolMem& b = *body;
        switch (code) {
            case 1: requestText = CWString::FromAnsiBytes(b.GetPtr(), b.GetSize()); break;
            case 2: requestText = CWString::FromUtf8Bytes(b.GetPtr(), b.GetSize()); break;
            case 4: {
                CVolMem swapped = b;
                for (size_t i = 0; i + 1 < swapped.GetSize(); i += 2) std::swap(swapped.GetPtr()[i], swapped.GetPtr()[i + 1]);
                requestText = CWString::FromUtf16Bytes(swapped.GetPtr(), swapped.GetSize());
                break;
            }
            default: requestText = CWString::FromUtf16Bytes(b.GetPtr(), b.GetSize()); break;
        }
    }

    const rg_WenBenShuZuLei headers = BuildHeaderLines(target, referer, contentType, userAgent, extraHeaders);
    const rg_WenBenShuZuLei proxyItems = ParseProxy(proxy);
    const bool onUiThread = gMainThreadId != 0 && gMainThreadId == ::GetCurrentThreadId();

    rg_WangYeFangWenXiangYingLei response;
    ClearAbort();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (onUiThread) {
            requestLock.Lock();
            workerUrl = target;
            workerBody = body ? *body : CVolMem();
            workerBodyOmitted_ = !body;
            workerHeaders = headers;
            workerCookies = cookies;
            workerProxy = proxyItems[0];
            workerProxyUser = proxyItems[1];
            workerProxyPassword = proxyItems[2];
            workerTimeout = timeoutMs;
            headOnly = 0;
            std::atomic_ref<int32_t> done(transferDone);
            done.store(0, std::memory_order_release);
            UniqueKernelHandle thread(startThread(&WebRequestThreadEntry, this));
            if (!thread) {
                PerformTransfer();  // no thread to be had: do the transfer here rather than wait forever
            } else {
                waiting_ = true;
                while (!done.load(std::memory_order_acquire)) {
                    MSG msg;
                    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
                        // The program is ending: nobody waits for this answer any more. WM_QUIT
                        // stays queued for the message loop.
                        if (msg.message == WM_QUIT) {
                            if (!AbortRequested()) Abort();
                            break;
                        }
                        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
                        ::TranslateMessage(&msg);
                        ::DispatchMessageW(&msg);
                    }
                    // Wakes as soon as the worker ends or a message arrives; at the latest after 1 ms.
                    HANDLE h = thread.get();
                    ::MsgWaitForMultipleObjectsEx(1, &h, 1, QS_ALLINPUT, 0);
                }
                waiting_ = false;
            }
            response.CopyFrom(workerResponse);
            requestLock.Unlock();
        } else {
            Perform(TransferRequest(target, body ? &*body : nullptr, headers, cookies, proxyItems[0], proxyItems[1],
                                    proxyItems[2], timeoutMs, false),
                    response);
        }
        // One more try only for an empty reply that came in time: a request that ran out of time
        // would make the server do the whole work again, and an aborted one has nobody waiting.
        if (!response.body.IsEmpty() || response.timedOut || AbortRequested()) break;
    }

    receivedCookies = JoinTextArray(response.cookies, L"; ", 1);
    if (raw) *raw = response.body;

    CVolMem data = std::move(response.body);
    if (code != -1) {
        if (code == 0) {
            int32_t bomLength = 0;  // the mark stays in the data and is decoded with it
            charset = DetectTextEncoding(data, 1, bomLength, L"");
        } else {
            charset = GetCharsetNameForCode(code);
        }
        CWString upper = charset;
        upper.MakeUpper();
        if (upper != L"UTF-16" && upper != L"UTF-16LE") {
            CWString target = L"UTF-16";
            ConvertEncoding(data, charset, target, 0, L"");
        }
    }

    // Only an HTML page redirects in its content; a JSON or text answer that happens to hold a
    // meta tag is an answer. Credentials never follow the redirect to another host.
    if (followPageRedirects && depth < 5 && IsHtmlReply(response)) {
        CWString page = code == -1 ? CWString::FromAnsiBytes(data.GetPtr(), data.GetSize())
                                   : CWString::FromUtf16Bytes(data.GetPtr(), data.GetSize());
        CWString next = FindPageRedirect(page, url);
        if (!next.empty()) {
            const bool sameHost = EqualsNoCase(GetUrlHost(NormalizeUrl(next), 1), GetUrlHost(target, 1));
            if (sameHost)
                return Request(next, body, code, timeoutMs, cookies, proxy, referer, contentType, userAgent, extraHeaders,
                               charset, raw, followPageRedirects, depth + 1);
            return Request(next, body, code, timeoutMs, L"", proxy, referer, contentType, userAgent,
                           WithoutCredentials(extraHeaders), charset, raw, followPageRedirects, depth + 1);
        }
    }

    if (readFileName) fileName = FileNameFromHeaders(response.headerLines);
    return data;
}

CWString rg_DrenvikWangYeFangWenLei::VisitAsText(std::wstring_view url, const std::optional<CWString>& body,
                                                 std::wstring_view cookies, std::wstring_view proxy,
                                                 std::wstring_view referer, std::wstring_view contentType,
                                                 std::wstring_view userAgent, std::wstring_view extraHeaders,
                                                 CWString& charset, CVolMem* raw) {
    CVolMem bytes = Request(url, EncodeBody(body, 2), 2, 420000, cookies, proxy, referer, contentType, userAgent,
                            extraHeaders, charset, raw, 1, 0);
    return CWString::FromUtf16Bytes(bytes.GetPtr(), bytes.GetSize());
}

CVolMem rg_DrenvikWangYeFangWenLei::Visit(std::wstring_view url, const std::optional<CWString>& body,
                                          std::wstring_view cookies, std::wstring_view proxy, std::wstring_view referer,
                                          std::wstring_view contentType, std::wstring_view userAgent,
                                          std::wstring_view extraHeaders, CWString& charset, CVolMem* raw) {
    return Request(url, EncodeBody(body, 0), -1, 60000, cookies, proxy, referer, contentType, userAgent, extraHeaders,
                   charset, raw, 0, 0);
}

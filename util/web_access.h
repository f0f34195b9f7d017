// Web page access: one HTTP(S) request per call over the platform's network class, with URL
// normalisation, default headers, proxy choice, one retry on an empty reply that came in time,
// charset decoding and page redirects. On the user-interface thread the transfer runs on a worker
// while the thread keeps handling its messages, and WM_QUIT (the program ending) cancels it.
#pragma once
#include <optional>

#include "platform/com.h"
#include "platform/network.h"

class rg_DrenvikWangYeFangWenLei : public rg_WangLaoFangWenLei {
    VOL_CLASS(rg_DrenvikWangYeFangWenLei, rg_WangLaoFangWenLei, "drenvik::rg_DrenvikWangYeFangWenLei")
    VOL_MEMBERS(receivedCookies, requestUrl, requestText, readFileName, fileName, transferDone, requestLock, workerUrl,
                workerBody, workerHeaders, workerCookies, workerProxy, workerProxyUser, workerProxyPassword,
                workerTimeout, workerResponse, headOnly)
public:
    CWString receivedCookies;  // the last reply's Set-Cookie values joined by "; "
    CWString requestUrl;       // the last normalised URL
    CWString requestText;      // the last body as text
    int32_t readFileName = 0;  // when set, Request fills fileName from the reply's headers
    CWString fileName;
    int32_t transferDone = 0;  // written by the worker, polled by the waiting thread (atomically)
    rg_HuChiSuoLei requestLock;
    CWString workerUrl;
    CVolMem workerBody;
    rg_WenBenShuZuLei workerHeaders;
    CWString workerCookies;
    CWString workerProxy;
    CWString workerProxyUser;
    CWString workerProxyPassword;
    int32_t workerTimeout = 0;
    rg_WangYeFangWenXiangYingLei workerResponse;
    int32_t headOnly = 0;

    // Starts the worker thread; tests replace it to see the fallback when no thread can be made.
    HANDLE (*startThread)(LPTHREAD_START_ROUTINE entry, void* arg) = &StartThread;

    // POST (or GET when body is omitted) with a UTF-8 body, reply decoded as UTF-8, page redirects
    // followed, 420 s limit.
    CWString VisitAsText(std::wstring_view url, const std::optional<CWString>& body, std::wstring_view cookies,
                         std::wstring_view proxy, std::wstring_view referer, std::wstring_view contentType,
                         std::wstring_view userAgent, std::wstring_view extraHeaders, CWString& charset,
                         CVolMem* raw = nullptr);
    // The reply's bytes as received; 60 s limit.
    CVolMem Visit(std::wstring_view url, const std::optional<CWString>& body, std::wstring_view cookies,
                  std::wstring_view proxy, std::wstring_view referer, std::wstring_view contentType,
                  std::wstring_view userAgent, std::wstring_view extraHeaders, CWString& charset, CVolMem* raw = nullptr);
    // Omitted text: omitted body (GET). Code 2: UTF-8, else ANSI.
    static std::optional<CVolMem> EncodeBody(const std::optional<CWString>& body, int32_t code);
    // code: -1 raw, 0 detect, 1..8 a charset (GetCharsetNameForCode); the result is UTF-16LE unless -1.
    CVolMem Request(std::wstring_view url, const std::optional<CVolMem>& body, int32_t code, int32_t timeoutMs,
                    std::wstring_view cookies, std::wstring_view proxy, std::wstring_view referer,
                    std::wstring_view contentType, std::wstring_view userAgent, std::wstring_view extraHeaders,
                    CWString& charset, CVolMem* raw, int32_t followPageRedirects, int32_t depth);

    // The worker's transfer over the worker members.
    void PerformTransfer();
    static HANDLE StartThread(LPTHREAD_START_ROUTINE entry, void* arg);

    // The URL as Request sends it: "https:" before "//", "http://" when there is no "://", and
    // nothing after the first "#".
    static CWString NormalizeUrl(std::wstring_view url);
    // Header lines: the extra lines plus Content-Type, User-Agent and Referer as the rules give them.
    static rg_WenBenShuZuLei BuildHeaderLines(std::wstring_view url, std::wstring_view referer, std::wstring_view contentType,
                                              std::wstring_view userAgent, std::wstring_view extraHeaders);
    // [address, user, password] of a proxy text ("IE": the Windows Internet settings).
    static rg_WenBenShuZuLei ParseProxy(std::wstring_view proxy);

private:
    bool waiting_ = false;            // a worker of this object is running and its thread waits for it
    bool workerBodyOmitted_ = false;  // workerBody stands for an omitted body (a GET)
};

// Charset names of the encoding codes; empty for codes outside 1..8.
CWString GetCharsetNameForCode(int32_t code);

extern const CWString gDefaultUserAgent;

// Holds a "WinHttp.WinHttpRequest.5.1" object and nothing else.
class rg_DrenvikWangZhiChongDingXiangLei : public CVolObject {
    VOL_CLASS(rg_DrenvikWangZhiChongDingXiangLei, CVolObject, "drenvik::rg_DrenvikWangZhiChongDingXiangLei")
    VOL_MEMBERS(comRequest)
public:
    rg_DrenvikWangZhiChongDingXiangLei();
    CVolComObject comRequest;
};

extern rg_DrenvikWangZhiChongDingXiangLei gUrlRedirector;

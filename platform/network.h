// One HTTP(S) transfer with libcurl. Perform blocks its calling thread: callers that must stay
// responsive run it on a thread of their own.
#pragma once
#include "platform/win.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/containers.h"
#include "platform/mem.h"
#include "platform/object.h"
#include "platform/text.h"

// What one transfer brought back.
class rg_WangYeFangWenXiangYingLei : public CVolObject {
    VOL_CLASS(rg_WangYeFangWenXiangYingLei, CVolObject, "platform::rg_WangYeFangWenXiangYingLei")
    VOL_MEMBERS(status, body, headerLines, cookies, errorText, timedOut)
public:
    int32_t status = 0;              // HTTP status of the last response; 0 when none arrived
    CVolMem body;                    // empty after any failure
    rg_WenBenShuZuLei headerLines;   // "Name: value" lines of the last response, in order
    rg_WenBenShuZuLei cookies;       // Set-Cookie values of every response on the way, in order
    CWString errorText;              // why the transfer failed; empty on success
    int32_t timedOut = 0;            // 1 when the transfer ended on its time limit

    // Value of the first header line of that name (ASCII case ignored), trimmed; empty when absent.
    CWString GetHeader(std::wstring_view name) const;
};

// Default options of every transfer of a network object.
class rg_WangLaoChuanShuLei : public CVolObject {
    VOL_CLASS(rg_WangLaoChuanShuLei, CVolObject, "platform::rg_WangLaoChuanShuLei")
    VOL_MEMBERS(connectTimeoutMs, tcpKeepAlive)
public:
    int32_t connectTimeoutMs = 30000;  // 0: libcurl's own
    int32_t tcpKeepAlive = 1;
};

// Methods of Perform.
enum NetworkMethod : int32_t {
    kHttpGet = 0, kHttpPost, kHttpHead, kHttpPut, kHttpOptions, kHttpDelete, kHttpTrace, kHttpConnect, kHttpPatch
};

// One request. A multipart body is given by three parallel arrays: part i is named names[i] and
// carries the file files[i] when that is not empty, else the text texts[i] (as UTF-8).
struct NetworkRequest {
    CWString url;
    int32_t method = kHttpGet;
    CVolMem body;                          // sent with every method but GET and HEAD
    rg_WenBenShuZuLei headers;             // "Name: value" lines
    CWString cookies;                      // the Cookie header's value; empty for none
    std::optional<CWString> acceptEncoding;  // empty text: every encoding libcurl decodes
    CWString proxy, proxyUser, proxyPassword;  // empty proxy: none, whatever the environment says
    int32_t timeoutMs = 0;                 // the whole transfer; 0: no limit
    int32_t redirectLimit = -1;            // -1: follow HTTP redirects without limit; 0: never
    const rg_WenBenShuZuLei* partNames = nullptr;
    const rg_WenBenShuZuLei* partTexts = nullptr;
    const rg_WenBenShuZuLei* partFiles = nullptr;
};

// Lets another thread stop a running transfer at once: its sockets are shut down, so the transfer
// ends without waiting for the server or for its time limit. A copy starts out clear.
class TransferAbort {
public:
    TransferAbort() = default;
    TransferAbort(const TransferAbort&) noexcept {}
    TransferAbort& operator=(const TransferAbort&) noexcept { return *this; }

    void Request() noexcept;
    void Clear() noexcept { requested_.store(false); }
    bool Requested() const noexcept { return requested_.load(); }
    // The transfer's sockets, as it opens and closes them; false when the abort came first.
    bool Opened(uintptr_t socket);
    void Closing(uintptr_t socket);

private:
    std::atomic<bool> requested_{false};
    std::mutex lock_;
    std::vector<uintptr_t> sockets_;
};

// The network class. TLS peers and host names are always verified against the system's store; only
// http and https are spoken, also after a redirect.
class rg_WangLaoFangWenLei : public CVolObject {
    VOL_CLASS(rg_WangLaoFangWenLei, CVolObject, "platform::rg_WangLaoFangWenLei")
    VOL_MEMBERS(transfer, lastError)
public:
    rg_WangLaoChuanShuLei transfer;
    CWString lastError;  // errorText of the last Perform
    // Raised on the transferring thread with (download total, downloaded, upload total, uploaded);
    // a handler that returns non-zero aborts the transfer.
    VolEventBinding<int64_t, int64_t, int64_t, int64_t> Progress;

    // Sends the request and fills the response; true when a response arrived completely.
    bool Perform(const NetworkRequest& request, rg_WangYeFangWenXiangYingLei& response);
    // From any thread: the running Perform, or the next, fails at once until ClearAbort.
    void Abort() noexcept { abort_.Request(); }
    void ClearAbort() noexcept { abort_.Clear(); }
    bool AbortRequested() const noexcept { return abort_.Requested(); }
    // False in a build without libcurl: every Perform then fails with an empty body.
    static bool IsAvailable() noexcept;

private:
    TransferAbort abort_;
};

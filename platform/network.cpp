#if KELVARO_HAVE_CURL
#include <winsock2.h>  // before <windows.h>, as curl's headers want it
#endif
#include "platform/network.h"

#if KELVARO_HAVE_CURL
#include <curl/curl.h>

#include <memory>
#include <mutex>
#endif

CWString rg_WangYeFangWenXiangYingLei::GetHeader(std::wstring_view name) const {
    for (const CWString& line : headerLines) {
        size_t colon = line.find(L':');
        if (colon == std::wstring::npos) continue;
        if (EqualsNoCase(TrimView(std::wstring_view(line).substr(0, colon)), name))
            return CWString(TrimView(std::wstring_view(line).substr(colon + 1)));
    }
    return {};
}

#if KELVARO_HAVE_CURL

namespace {

struct EasyDeleter { void operator()(CURL* c) const noexcept { curl_easy_cleanup(c); } };
struct ListDeleter { void operator()(curl_slist* l) const noexcept { curl_slist_free_all(l); } };
struct MimeDeleter { void operator()(curl_mime* m) const noexcept { curl_mime_free(m); } };
using UniqueEasy = std::unique_ptr<CURL, EasyDeleter>;
using UniqueList = std::unique_ptr<curl_slist, ListDeleter>;
using UniqueMime = std::unique_ptr<curl_mime, MimeDeleter>;

bool GlobalInit() {
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

struct TransferState {
    rg_WangYeFangWenXiangYingLei* response;
    rg_WangLaoFangWenLei* owner;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* st = static_cast<TransferState*>(user);
    st->response->body.Append(data, size * count);
    return size * count;
}

// Lines of every response arrive here, the status line first; a new status line starts a new
// response (a redirect or an interim 1xx), whose lines replace the previous ones.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* st = static_cast<TransferState*>(user);
    size_t n = size * count;
    std::string_view raw(data, n);
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
    if (raw.starts_with("HTTP/")) {
        st->response->headerLines.clear();
        return n;
    }
    if (raw.empty()) return n;
    CWString line = CWString::FromUtf8(raw);
    if (line.FindText(L"Set-Cookie:", 0, true) == 0) st->response->cookies.emplace_back(TrimView(std::wstring_view(line).substr(11)));
    st->response->headerLines.push_back(std::move(line));
    return n;
}

int OnProgress(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow) {
    auto* st = static_cast<TransferState*>(user);
    return st->owner->Progress.Raise(st->owner, int64_t(dltotal), int64_t(dlnow), int64_t(ultotal), int64_t(ulnow));
}

const char* MethodName(int32_t m) {
    switch (m) {
        case kHttpPut: return "PUT";
        case kHttpOptions: return "OPTIONS";
        case kHttpDelete: return "DELETE";
        case kHttpTrace: return "TRACE";
        case kHttpConnect: return "CONNECT";
        case kHttpPatch: return "PATCH";
        default: return nullptr;
    }
}

}  // namespace

bool rg_WangLaoFangWenLei::IsAvailable() noexcept { return GlobalInit(); }

bool rg_WangLaoFangWenLei::Perform(const NetworkRequest& rq, rg_WangYeFangWenXiangYingLei& response) {
    response.Reset();
    auto fail = [&](std::wstring_view why) {
        response.body.Empty();
        response.errorText = why;
        lastError = why;
        return false;
    };
    if (!GlobalInit()) return fail(L"libcurl could not be initialised");
    UniqueEasy easy(curl_easy_init());
    if (!easy) return fail(L"libcurl could not be initialised");
    CURL* c = easy.get();
    char errbuf[CURL_ERROR_SIZE] = {};
    TransferState st{&response, this};

    const std::string url = rq.url.ToAnsi();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    // Certificates are still checked for revocation; only a revocation server that cannot be
    // reached (firewalls, proxies) no longer fails the connection, as it does with Schannel.
    curl_easy_setopt(c, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_REVOKE_BEST_EFFORT));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &st);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &st);
    if (transfer.connectTimeoutMs > 0) curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(transfer.connectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, long(transfer.tcpKeepAlive != 0));
    if (rq.timeoutMs > 0) curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(rq.timeoutMs));
    if (Progress.IsBound()) {
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &st);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    }

    if (rq.redirectLimit == 0) {
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    } else {
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(c, CURLOPT_MAXREDIRS, long(rq.redirectLimit < 0 ? -1 : rq.redirectLimit));
    }

    // An empty proxy text switches off any proxy the environment names.
    const std::string proxy = rq.proxy.ToUtf8(), proxyUser = rq.proxyUser.ToUtf8(), proxyPass = rq.proxyPassword.ToUtf8();
    curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
    if (!rq.proxy.empty() && (!proxyUser.empty() || !proxyPass.empty())) {
        curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, proxyUser.c_str());
        curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, proxyPass.c_str());
    }

    const std::string cookies = rq.cookies.ToUtf8();
    if (!cookies.empty()) curl_easy_setopt(c, CURLOPT_COOKIE, cookies.c_str());
    std::string acceptEncoding;
    if (rq.acceptEncoding) {
        acceptEncoding = rq.acceptEncoding->ToUtf8();
        curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, acceptEncoding.c_str());
    }

    UniqueList headers;
    bool hasExpect = false;
    for (const CWString& h : rq.headers) {
        if (h.FindText(L"Expect:", 0, true) == 0) hasExpect = true;
        curl_slist* next = curl_slist_append(headers.get(), h.ToUtf8().c_str());
        if (!next) return fail(L"out of memory");
        (void)headers.release();
        headers.reset(next);
    }
    // No "Expect: 100-continue" round trip on large bodies unless the caller asks for it.
    if (!hasExpect) {
        curl_slist* next = curl_slist_append(headers.get(), "Expect:");
        if (!next) return fail(L"out of memory");
        (void)headers.release();
        headers.reset(next);
    }
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    UniqueMime mime;
    const bool multipart = rq.partNames && !rq.partNames->empty();
    if (multipart) {
        mime.reset(curl_mime_init(c));
        for (int i = 0; i < rq.partNames->GetCount(); ++i) {
            curl_mimepart* part = curl_mime_addpart(mime.get());
            if (!part) return fail(L"out of memory");
            curl_mime_name(part, rq.partNames->GetAt(i).ToUtf8().c_str());
            const CWString& file = rq.partFiles ? rq.partFiles->GetAt(i) : CWString();
            if (!file.empty()) {
                if (curl_mime_filedata(part, file.ToUtf8().c_str()) != CURLE_OK) return fail(L"part file cannot be read");
            } else {
                std::string text = rq.partTexts ? rq.partTexts->GetAt(i).ToUtf8() : std::string();
                curl_mime_data(part, text.data(), text.size());
            }
        }
    }

    switch (rq.method) {
        case kHttpGet: curl_easy_setopt(c, CURLOPT_HTTPGET, 1L); break;
        case kHttpHead: curl_easy_setopt(c, CURLOPT_NOBODY, 1L); break;
        default:
            if (multipart) {
                curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
            } else {
                curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(rq.body.GetSize()));
                curl_easy_setopt(c, CURLOPT_POSTFIELDS, rq.body.IsEmpty() ? "" : reinterpret_cast<const char*>(rq.body.GetPtr()));
            }
            if (const char* name = MethodName(rq.method)) curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, name);
            break;
    }

    CURLcode rc = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    response.status = int32_t(status);
    if (rc != CURLE_OK) return fail(CWString::FromUtf8(errbuf[0] ? std::string_view(errbuf) : std::string_view(curl_easy_strerror(rc))));
    lastError.clear();
    return true;
}

#else  // a build without libcurl

bool rg_WangLaoFangWenLei::IsAvailable() noexcept { return false; }

bool rg_WangLaoFangWenLei::Perform(const NetworkRequest&, rg_WangYeFangWenXiangYingLei& response) {
    response.Reset();
    response.errorText = lastError = L"this build has no network support";
    return false;
}

#endif

#include <gtest/gtest.h>

#include "support/loopback_server.h"

#include "platform/network.h"

#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>

namespace {

Reply Echo(const SeenRequest& r) {
    Reply x;
    x.status = r.target == "/missing" ? 404 : 200;
    x.headers = {"Content-Type: text/plain", "X-Seen: " + r.method};
    x.body = r.method + " " + r.target + " " + r.body;
    return x;
}

class Aborter : public CVolObject, public VolEventReceiver {
public:
    Aborter() : VolEventReceiver(this) {}
    int calls = 0;
    int OnProgress(CVolObject*, int64_t, int64_t, int64_t, int64_t) { ++calls; return 1; }
};

}  // namespace

TEST(Network, MethodsStatusAndHeaderLines) {
    LoopbackServer server(Echo);
    rg_WangLaoFangWenLei net;
    struct { int32_t method; const char* name; bool sendsBody; } cases[] = {
        {kHttpGet, "GET", false},     {kHttpPost, "POST", true},   {kHttpPut, "PUT", true},
        {kHttpOptions, "OPTIONS", true}, {kHttpDelete, "DELETE", true}, {kHttpPatch, "PATCH", true},
        {kHttpTrace, "TRACE", false},
    };
    for (auto& c : cases) {
        NetworkRequest rq;
        rq.url = server.Url(L"/m");
        rq.method = c.method;
        if (c.sendsBody) rq.body = CVolMem("payload");
        rg_WangYeFangWenXiangYingLei resp;
        ASSERT_TRUE(net.Perform(rq, resp)) << c.name << " " << WideToUtf8(resp.errorText);
        EXPECT_EQ(resp.status, 200);
        EXPECT_EQ(resp.body.View(), std::string(c.name) + " /m " + (c.sendsBody ? "payload" : "")) << c.name;
        EXPECT_EQ(resp.GetHeader(L"x-seen"), CWString::FromUtf8(c.name));
        ASSERT_GE(resp.headerLines.size(), 2u);
        EXPECT_EQ(resp.headerLines[0], L"Content-Type: text/plain");
    }
    NetworkRequest head;
    head.url = server.Url(L"/h");
    head.method = kHttpHead;
    rg_WangYeFangWenXiangYingLei resp;
    EXPECT_TRUE(net.Perform(head, resp));
    EXPECT_TRUE(resp.body.IsEmpty());
    EXPECT_EQ(server.Requests().back().method, "HEAD");

    NetworkRequest missing;
    missing.url = server.Url(L"/missing");
    EXPECT_TRUE(net.Perform(missing, resp));  // an error status is a reply like any other
    EXPECT_EQ(resp.status, 404);
}

TEST(Network, RedirectLimitAndMultipart) {
    LoopbackServer server([](const SeenRequest& r) {
        if (r.target == "/r") { Reply x; x.status = 302; x.headers = {"Location: /m"}; return x; }
        return Echo(r);
    });
    rg_WangLaoFangWenLei net;
    NetworkRequest rq;
    rq.url = server.Url(L"/r");
    rq.redirectLimit = 0;
    rg_WangYeFangWenXiangYingLei resp;
    EXPECT_TRUE(net.Perform(rq, resp));
    EXPECT_EQ(resp.status, 302);
    EXPECT_EQ(resp.GetHeader(L"Location"), L"/m");

    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    const std::wstring file = std::wstring(dir) + L"kelvaro_part.bin";
    ASSERT_TRUE(CVolMem("file bytes").WriteToFile(file));
    rg_WenBenShuZuLei names{L"field", L"note", L"upload"}, texts{L"值", L"n", L""}, files{L"", L"", file};
    rq.partFiles = &files;
    rq.url = server.Url(L"/form");
    rq.method = kHttpPost;
    rq.partNames = &names;
    rq.partTexts = &texts;
    EXPECT_TRUE(net.Perform(rq, resp));
    const SeenRequest last = server.Requests().back();
    EXPECT_NE(last.Header("Content-Type").find("multipart/form-data; boundary="), std::string::npos);
    EXPECT_NE(last.body.find("name=\"field\"\r\n\r\n\xE5\x80\xBC\r\n"), std::string::npos);
    EXPECT_NE(last.body.find("name=\"note\"\r\n\r\nn\r\n"), std::string::npos);
    EXPECT_NE(last.body.find("name=\"upload\"; filename=\"kelvaro_part.bin\""), std::string::npos);
    EXPECT_NE(last.body.find("file bytes"), std::string::npos);
    ::DeleteFileW(file.c_str());
}

TEST(Network, FailuresGiveAnEmptyBodyAndAReason) {
    rg_WangLaoFangWenLei net;
    rg_WangYeFangWenXiangYingLei resp;
    NetworkRequest rq;
    {
        LoopbackServer gone([](const SeenRequest&) { return Reply(); });
        rq.url = gone.Url(L"/");
    }  // nothing listens on that port any more
    EXPECT_FALSE(net.Perform(rq, resp));
    EXPECT_TRUE(resp.body.IsEmpty());
    EXPECT_FALSE(resp.errorText.empty());
    EXPECT_EQ(net.lastError, resp.errorText);

    LoopbackServer slow([](const SeenRequest&) { Reply r; r.body = std::string(100000, 'x'); return r; });
    Aborter aborter;
    net.Progress.Bind(&VolThunk<&Aborter::OnProgress>::Call, aborter.GetEventTarget());
    rq.url = slow.Url(L"/");
    EXPECT_FALSE(net.Perform(rq, resp));  // the handler asked to stop
    EXPECT_GE(aborter.calls, 1);
    EXPECT_TRUE(resp.body.IsEmpty());
    net.Progress.Unbind();
}

namespace {
// The Schannel credentials libcurl asks for, caught in the system's security function table.
DWORD gSeenCredFlags;
int gSeenCreds;
ACQUIRE_CREDENTIALS_HANDLE_FN_W gRealAcquire;
SECURITY_STATUS SEC_ENTRY RecordingAcquire(LPWSTR principal, LPWSTR package, unsigned long use, void* logon, void* auth,
                                           SEC_GET_KEY_FN getKey, void* arg, PCredHandle cred, PTimeStamp expiry) {
    if (auth && static_cast<SCHANNEL_CRED*>(auth)->dwVersion == SCHANNEL_CRED_VERSION) {
        gSeenCredFlags = static_cast<SCHANNEL_CRED*>(auth)->dwFlags;
        ++gSeenCreds;
    }
    return gRealAcquire(principal, package, use, logon, auth, getKey, arg, cred, expiry);
}
}  // namespace

TEST(Network, TlsAsksSchannelToVerifyCertificateHostNameAndRevocation) {
    ASSERT_TRUE(rg_WangLaoFangWenLei::IsAvailable());  // libcurl has taken the table by now
    PSecurityFunctionTableW table = ::InitSecurityInterfaceW();
    ASSERT_TRUE(table);
    DWORD old = 0;
    ASSERT_TRUE(::VirtualProtect(&table->AcquireCredentialsHandleW, sizeof(void*), PAGE_READWRITE, &old));
    gRealAcquire = table->AcquireCredentialsHandleW;
    table->AcquireCredentialsHandleW = &RecordingAcquire;
    gSeenCreds = 0;

    // A plain-text server behind an https address: the handshake fails and nothing counts as a reply.
    LoopbackServer plain([](const SeenRequest&) { Reply r; r.body = "plain"; return r; });
    rg_WangLaoFangWenLei net;
    NetworkRequest rq;
    rq.url = L"https://" + plain.HostPort() + L"/";
    rq.timeoutMs = 1000;
    rg_WangYeFangWenXiangYingLei resp;
    EXPECT_FALSE(net.Perform(rq, resp));
    EXPECT_TRUE(resp.body.IsEmpty());
    table->AcquireCredentialsHandleW = gRealAcquire;
    ::VirtualProtect(&table->AcquireCredentialsHandleW, sizeof(void*), old, &old);

    ASSERT_EQ(gSeenCreds, 1);
    EXPECT_TRUE(gSeenCredFlags & SCH_CRED_AUTO_CRED_VALIDATION);
    EXPECT_FALSE(gSeenCredFlags & SCH_CRED_MANUAL_CRED_VALIDATION);
    EXPECT_FALSE(gSeenCredFlags & SCH_CRED_NO_SERVERNAME_CHECK);
    // revocation checked, but an unreachable revocation server does not fail the handshake
    EXPECT_TRUE(gSeenCredFlags & SCH_CRED_REVOCATION_CHECK_CHAIN);
    EXPECT_TRUE(gSeenCredFlags & SCH_CRED_IGNORE_REVOCATION_OFFLINE);
    EXPECT_TRUE(gSeenCredFlags & SCH_CRED_IGNORE_NO_REVOCATION_CHECK);
}

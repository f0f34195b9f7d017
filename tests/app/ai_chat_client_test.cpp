#include <gtest/gtest.h>

#include "support/loopback_server.h"

#include <cmath>
#include <limits>
#include <mutex>

#include "app/ai_chat_client.h"
#include "platform/seams.h"
#include "platform/system.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text_helpers.h"

namespace {

std::string Utf8(std::wstring_view w) { return WideToUtf8(w); }

Reply Json(std::string body, int status = 200) {
    Reply r;
    r.status = status;
    r.headers = {"Content-Type: application/json"};
    r.body = std::move(body);
    return r;
}

std::string ChoicesReply(std::initializer_list<const char*> contents) {
    std::string body = "{\"id\":\"c1\",\"choices\":[";
    int i = 0;
    for (const char* c : contents) {
        if (i) body += ",";
        body += "{\"index\":" + std::to_string(i++) + ",\"message\":{\"role\":\"assistant\",\"content\":\"" + c + "\"}}";
    }
    return body + "]}";
}

// A chat server on loopback. Every built-in provider host leads to it as well, and each host asked
// for is noted, so no test can reach a real provider.
class ChatClientTest : public ::testing::Test {
protected:
    ChatClientTest()
        : server_([this](const SeenRequest&) {
              std::lock_guard<std::mutex> g(lock_);
              return reply_;
          }),
          hostSeam_(&PlatformSeams::remoteHost, [this](const CWString& host) {
              std::lock_guard<std::mutex> g(lock_);
              hostsAsked_.push_back(host);
              return CWString(server_.Url(L""));
          }) {
        reply_ = Json(ChoicesReply({"ok"}));
    }

    void SetReply(Reply r) {
        std::lock_guard<std::mutex> g(lock_);
        reply_ = std::move(r);
    }
    std::vector<CWString> HostsAsked() {
        std::lock_guard<std::mutex> g(lock_);
        return hostsAsked_;
    }
    SeenRequest OnlyRequest() {
        auto seen = server_.Requests();
        EXPECT_EQ(seen.size(), 1u);
        return seen.empty() ? SeenRequest() : seen.back();
    }

    // The main window's call: local server, "v1", fixed sampling values, no keys.
    struct Call {
        CWString question = L"Hi";
        CWString model = L"qwen2.5:7b (4.7 GB)";
        CWString systemText;
        CMStringArray questions, answers;
        CWString pathPart = L"v1";
        CWString host;  // empty: the loopback server, unless relay is set
        bool relay = false;
        CWString key, defaultKey;
        double temperature = 1.0, topP = 1.0, frequencyPenalty = 0.0, presencePenalty = 0.0;
    };
    CWString Ask(Call c) {
        if (c.host.empty() && !c.relay) c.host = server_.Url(L"");
        error_.clear();
        model_ = c.model;
        host_ = c.host;
        return client_.AskChat(c.question, model_, c.systemText, c.questions, c.answers, 3000, c.pathPart, error_,
                               host_, c.key, c.defaultKey, 10, 0, c.temperature, c.topP, c.frequencyPenalty,
                               c.presencePenalty);
    }

    LoopbackServer server_;
    std::mutex lock_;
    Reply reply_;
    std::vector<CWString> hostsAsked_;
    ScopedSeam<std::function<CWString(const CWString&)>> hostSeam_;
    rg_DrenvikWenZhangGaiXieLei client_;
    CWString error_, model_, host_;
};

}  // namespace

TEST_F(ChatClientTest, RequestLineHeadersAndExactBody) {
    Call c;
    c.systemText = L"S";
    c.questions = {L"Q1", L"Q2"};
    c.answers = {L"A1", L"A2"};
    c.host = server_.Url(L"/");  // the trailing slash goes
    EXPECT_EQ(Ask(c), L"ok");
    EXPECT_EQ(error_, L"");
    EXPECT_EQ(model_, L"qwen2.5:7b");
    EXPECT_EQ(host_, server_.Url(L""));

    SeenRequest rq = OnlyRequest();
    EXPECT_EQ(rq.method, "POST");
    EXPECT_EQ(rq.target, "/v1/chat/completions");
    EXPECT_EQ(rq.Header("Authorization"), "Bearer vostrane");
    EXPECT_EQ(rq.Header("Content-Type"), "application/json");
    EXPECT_FALSE(rq.HasHeader("Referer"));
    EXPECT_EQ(rq.body,
              "{\"model\":\"qwen2.5:7b\", \"messages\":["
              "{\"role\":\"system\", \"content\":\"\\u0053\"}, "
              "{\"role\":\"user\", \"content\":\"\\u0051\\u0031\"}, "
              "{\"role\":\"assistant\", \"content\":\"\\u0041\\u0031\"}, "
              "{\"role\":\"user\", \"content\":\"\\u0051\\u0032\"}, "
              "{\"role\":\"assistant\", \"content\":\"\\u0041\\u0032\"}, "
              "{\"role\":\"user\", \"content\":\"\\u0048\\u0069\"}], "
              "\"temperature\":1, \"max_tokens\":3000, \"top_p\":1, \"frequency_penalty\":0, \"presence_penalty\":0}");
    EXPECT_TRUE(HostsAsked().empty());
}

// Quotes, a key-like text and non-ASCII in the question all travel as \u escapes.
TEST_F(ChatClientTest, QuestionAndModelNeverBreakTheBody) {
    Call c;
    c.question = L"say \"}]\" 你好\r\n";
    c.model = L"x\", \"temperature\":9, \"y\":\"";
    Ask(c);
    SeenRequest rq = OnlyRequest();
    rg_DrenvikJSONLei doc;
    CWString body = CWString::FromUtf8(rq.body);
    doc.Parse(body);
    EXPECT_EQ(doc.GetText(L"temperature"), L"1");
    EXPECT_EQ(doc.GetCount(L""), 7);
    CWString model = doc.GetText(L"model"), content = doc.GetText(L"messages[0].content");
    DecodeEscapes(model, 0);
    DecodeEscapes(content, 0);
    EXPECT_EQ(model, L"x\", \"temperature\":9, \"y\":\"");
    EXPECT_EQ(content, L"say \"}]\" 你好\r\n");
}

TEST_F(ChatClientTest, KeyChoiceAndHeader) {
    struct {
        const wchar_t* key;
        const wchar_t* defaultKey;
        const char* bearer;
    } cases[] = {
        {L"sk-1", L"dk", "Bearer sk-1"},
        {L"", L"dk", "Bearer dk"},
        {L"", L"", "Bearer vostrane"},
        // A line break would forge header lines: such a key counts as none.
        {L"sk-1\r\nX-Forged: 1", L"", "Bearer vostrane"},
    };
    for (auto& k : cases) {
        Call c;
        c.key = k.key;
        c.defaultKey = k.defaultKey;
        EXPECT_EQ(Ask(c), L"ok") << Utf8(k.key);
        SeenRequest rq = server_.Requests().back();
        EXPECT_EQ(rq.Header("Authorization"), k.bearer) << Utf8(k.key);
        EXPECT_FALSE(rq.HasHeader("X-Forged"));
    }
}

// A remote host without a key fails before anything is sent.
TEST_F(ChatClientTest, KeyCheckBeforeSending) {
    struct {
        const wchar_t* host;
        const wchar_t* model;
        const wchar_t* error;
    } cases[] = {
        {L"https://api.example.invalid/", L"m (1 GB)", L"失败！请先到接口按钮设置《GPT》Key。模型：m (1 GB)"},
    };
    for (auto& k : cases) {
        Call c;
        c.host = k.host;
        c.model = k.model;
        EXPECT_EQ(Ask(c), L"") << Utf8(k.host);
        EXPECT_EQ(error_, k.error) << Utf8(k.host);
    }
    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_TRUE(HostsAsked().empty());
}

TEST(ChatRouting, ModelNameTable) {
    using namespace chat_hosts;
    const wchar_t* kGiven = L"https://chat.example.net/";  // the rules are for hosts that are not this computer
    struct {
        const wchar_t* model;
        const wchar_t* host;  // null: unchanged
        const wchar_t* routedModel;
        double floor;
        bool fixedUrl;
    } cases[] = {
        {L"qwen2.5:7b", nullptr, L"qwen2.5:7b", 0, false},
        {L"yi-large", kLingyi, L"yi-large", 0, false},
        {L"yi-deepseek/x", kLingyi, L"yi-deepseek/x", 0, false},  // the first rule wins
        {L"moonshot-v1-8k", kMoonshot, L"moonshot-v1-8k", 0, false},
        {L"MiniMax-Text-01", kMiniMax, L"MiniMax-Text-01", 0, false},
        {L"ABAB6.5", kMiniMax, L"ABAB6.5", 0, false},
        {L"baichuan4-turbo", kBaichuan, L"baichuan4-turbo", 1, false},
        {L"Baichuan4", nullptr, L"Baichuan4", 0, false},
        {L"org/model:q4", kSiliconFlow, L"org/model:q4", 0, false},
        {L"deepseek-r1:7b", nullptr, L"deepseek-r1:7b", 0, false},
        {L"deepseek-r1", nullptr, L"deepseek-r1", 0, false},
        {L"Tencent-DeepSeek-R1", kTencent, L"deepseek-r1", 0, false},
        {L"XunFei-DeepSeek-R1", kXunFei, L"deepseek-r1", 0, false},
        {L"Baidu-DeepSeek-R1", kBaidu, L"deepseek-r1", 0, true},
        {L"Tencent-DeepSeek-R1:7b", nullptr, L"Tencent-DeepSeek-R1:7b", 0, false},
        {L"XunFei-Spark-Max", kXunFei, L"spark-max", 0, false},
        {L"xunfei-Spark", kXunFei, L"xunfei-spark", 0, false},  // found ignoring case, removed only exactly
        {L"Tencent-hunyuan", nullptr, L"Tencent-hunyuan", 0, false},
    };
    // The table names the providers' own hosts; test runs otherwise map them to a closed port.
    ScopedSeam ownNames(&PlatformSeams::remoteHost, [](const CWString& name) { return name; });
    for (auto& k : cases) {
        CWString model(k.model), host(kGiven);
        ChatRoute r = RouteChatModel(model, host);
        EXPECT_EQ(host, k.host ? k.host : kGiven) << Utf8(k.model);
        EXPECT_EQ(model, k.routedModel) << Utf8(k.model);
        EXPECT_EQ(r.frequencyFloor, k.floor) << Utf8(k.model);
        EXPECT_EQ(r.fixedUrl, k.fixedUrl) << Utf8(k.model);
    }
}

// Routed models reach the provider's host (here the loopback server through the host seam). The
// rules apply to a host that is not this computer: the relay service stands for one.
TEST_F(ChatClientTest, ProviderRoutesAndUrls) {
    using namespace chat_hosts;
    struct {
        const wchar_t* model;
        const wchar_t* pathPart;
        bool relay;  // no host given
        const wchar_t* key;
        const wchar_t* hostAsked;  // the last host asked for
        const char* target;
        const wchar_t* sentModel;
    } cases[] = {
        {L"  llama3  ", L"", false, L"", nullptr, "/chat/completions", L"llama3"},
        {L"llama3", L"没有", false, L"", nullptr, "/chat/completions", L"llama3"},
        {L"llama3", L"v1", false, L"", nullptr, "/v1/chat/completions", L"llama3"},
        {L"llama3", L"v1", true, L"k", kRelay, "/v1/chat/completions", L"llama3"},
        {L"org/model:q4 (2 GB)", L"v1", true, L"k", kSiliconFlow, "/v1/chat/completions", L"org/model:q4"},
        {L"Baidu-DeepSeek-R1", L"v3", true, L"k", kBaidu, "/v2/chat/completions", L"deepseek-r1"},
        {L"Tencent-DeepSeek-R1", L"v1", true, L"k", kTencent, "/v1/chat/completions", L"deepseek-r1"},
    };
    for (auto& k : cases) {
        {
            std::lock_guard<std::mutex> g(lock_);
            hostsAsked_.clear();
        }
        Call c;
        c.model = k.model;
        c.pathPart = k.pathPart;
        c.key = k.key;
        c.relay = k.relay;  // an empty host stands for the relay service
        Ask(c);
        SeenRequest rq = server_.Requests().back();
        EXPECT_EQ(rq.target, k.target) << Utf8(k.model);
        std::vector<CWString> asked = HostsAsked();
        if (k.hostAsked) {
            ASSERT_FALSE(asked.empty()) << Utf8(k.model);
            EXPECT_EQ(asked.back(), k.hostAsked) << Utf8(k.model);
        } else {
            EXPECT_TRUE(asked.empty()) << Utf8(k.model);
        }
        rg_DrenvikJSONLei doc;
        CWString body = CWString::FromUtf8(rq.body);
        doc.Parse(body);
        EXPECT_EQ(doc.GetText(L"model"), k.sentModel) << Utf8(k.model);
    }
}

// A question for the local server never leaves this computer, whatever the model's name looks like
// to the provider rules (Hugging Face names hold a slash, "yi-coder" looks like 01.AI's).
TEST_F(ChatClientTest, LoopbackHostKeepsEveryModelLocal) {
    const wchar_t* models[] = {
        L"hf.co/bartowski/Llama-3.2-1B-Instruct-GGUF:Q4_K_M (807 MB)",
        L"yi-coder:9b (5.0 GB)",
        L"minimax-m2:cloud (-)",
        L"Tencent-DeepSeek-R1",
        L"XunFei-Spark",
        L"Baidu-DeepSeek-R1",
        L"baichuan2",
    };
    for (const wchar_t* m : models) {
        for (const CWString host : {server_.Url(L""), CWString(L"http://LocalHost:") + server_.Url(L"").substr(17)}) {
            const size_t before = server_.RequestCount();
            Call c;
            c.model = m;
            c.host = host;
            EXPECT_EQ(Ask(c), L"ok") << Utf8(m) << " " << Utf8(host);
            ASSERT_EQ(server_.RequestCount(), before + 1) << Utf8(m);
            SeenRequest rq = server_.Requests().back();
            EXPECT_EQ(rq.target, "/v1/chat/completions") << Utf8(m);
            EXPECT_EQ(rq.Header("Authorization"), "Bearer vostrane") << Utf8(m);
            CWString name(m);
            RemoveParenthesizedPart(name);
            rg_DrenvikJSONLei doc;
            CWString body = CWString::FromUtf8(rq.body);
            doc.Parse(body);
            EXPECT_EQ(doc.GetText(L"model"), name) << Utf8(m);
            EXPECT_EQ(doc.GetText(L"frequency_penalty"), L"0") << Utf8(m);
        }
    }
    EXPECT_TRUE(HostsAsked().empty());
}

TEST_F(ChatClientTest, CompletionModelSendsAPrompt) {
    SetReply(Json("{\"choices\":[{\"text\":\"done\"}]}"));
    Call c;
    c.model = L"text-davinci-003";
    c.systemText = L"ignored";
    EXPECT_EQ(Ask(c), L"done");
    SeenRequest rq = OnlyRequest();
    EXPECT_EQ(rq.target, "/v1/completions");
    EXPECT_EQ(rq.body,
              "{\"model\":\"text-davinci-003\", \"prompt\":\"\\u0048\\u0069\", \"temperature\":1, "
              "\"max_tokens\":3000, \"top_p\":1, \"frequency_penalty\":0, \"presence_penalty\":0}");
}

// Only whole pairs go: a question without its answer stays out instead of reading past the answers.
TEST_F(ChatClientTest, HistoryOfUnequalLengthSendsWholePairs) {
    Call c;
    c.questions = {L"Q1", L"Q2"};
    c.answers = {L"A1"};
    Ask(c);
    rg_DrenvikJSONLei doc;
    CWString body = CWString::FromUtf8(OnlyRequest().body);
    doc.Parse(body);
    EXPECT_EQ(doc.GetCount(L"messages"), 3);
    EXPECT_EQ(doc.GetText(L"messages[2].content"), L"\\u0048\\u0069");
}

TEST_F(ChatClientTest, SamplingClamps) {
    const double kNotSet = kChatNotSetSentinel, kNaN = std::numeric_limits<double>::quiet_NaN();
    struct {
        const wchar_t* model;
        double t, p, f, pr;
        const char* tail;  // the body after the messages
    } cases[] = {
        {L"m", 2.5, -0.1, 0, 2, "\"temperature\":1, \"max_tokens\":3000, \"top_p\":1, \"frequency_penalty\":0, \"presence_penalty\":2}"},
        {L"m", 0, 1, 2, 0, "\"temperature\":0, \"max_tokens\":3000, \"top_p\":1, \"frequency_penalty\":2, \"presence_penalty\":0}"},
        {L"m", 2, 0, -0.5, 2.1, "\"temperature\":2, \"max_tokens\":3000, \"top_p\":0, \"frequency_penalty\":0, \"presence_penalty\":0}"},
        {L"m", 0.7, 0.95, 1.5, 0.25, "\"temperature\":0.7, \"max_tokens\":3000, \"top_p\":0.95, \"frequency_penalty\":1.5, \"presence_penalty\":0.25}"},
        {L"baichuan2", 1, 1, 0.5, 0, "\"temperature\":1, \"max_tokens\":3000, \"top_p\":1, \"frequency_penalty\":0, \"presence_penalty\":0}"},
        {L"baichuan2", 1, 1, 1, 0, "\"temperature\":1, \"max_tokens\":3000, \"top_p\":1, \"frequency_penalty\":1, \"presence_penalty\":0}"},
        {L"m", kNotSet, kNotSet, kNotSet, kNotSet, "\"max_tokens\":3000}"},
        {L"m", kNaN, kNaN, kNaN, kNaN, "\"temperature\":1, \"max_tokens\":3000, \"top_p\":1, \"frequency_penalty\":0, \"presence_penalty\":0}"},
    };
    for (auto& k : cases) {
        Call c;
        c.model = k.model;
        c.temperature = k.t;
        c.topP = k.p;
        c.relay = true;  // the provider rules (the Baichuan floor) are for remote hosts
        c.key = L"k";
        c.frequencyPenalty = k.f;
        c.presencePenalty = k.pr;
        Ask(c);
        const std::string body = server_.Requests().back().body;
        const size_t at = body.find("}], ");
        ASSERT_NE(at, std::string::npos) << body;
        EXPECT_EQ(body.substr(at + 4), k.tail) << Utf8(k.model) << " " << k.t;
    }
}

TEST_F(ChatClientTest, ReplyParsingAndFailureTexts) {
    Reply emptyBody = Json("");
    Reply closed;
    closed.closeEarly = true;
    struct {
        Reply reply;
        const wchar_t* answer;
        const wchar_t* error;
    } cases[] = {
        {Json(ChoicesReply({"x", "y"})), L"x\r\ny", L""},
        {Json(ChoicesReply({"same", "same"})), L"same", L""},
        {Json(ChoicesReply({"x", "", ""})), L"x\r\n\r\n", L""},  // blank items are never deduplicated
        {Json(ChoicesReply({"line1\\nline2 \\u4f60\\u597d \\\"q\\\""})), L"line1\r\nline2 你好 \"q\"", L""},
        {Json("{\"choices\":[{\"message\":{\"role\":\"user\",\"content\":\"echo\"}},"
              "{\"message\":{\"content\":\"no role\"}}]}"),
         L"no role", L""},
        {Json(ChoicesReply({"status is not read"}), 500), L"status is not read", L""},
        {Json("{\"id\":\"x\",\"choices\":[]}"), L"", L"失败！GPT返回的失败信息：{\"id\":\"x\",\"choices\":[]}"},
        {Json("<html>Bad Gateway</html>", 502), L"", L"失败！GPT返回的失败信息：<html>Bad Gateway</html>"},
        {Json("{\"error\":{\"code\":401,\"message\":\"Incorrect API key provided: sk-x.\"}}", 401), L"",
         L"失败！错误码(401) 消息(提供的API密钥不正确，可能是因为API密钥有误或已撤销。)"},
        {Json("{\"error\":{\"code\":\"429\",\"message\":\"Rate limit reached for requests\"}}", 429), L"",
         L"失败！错误码(429) 消息(请求已达到速率限制，可能是因为请求过于频繁。[消息原文:Rate limit reached for requests])"},
        {Json("{\"error\":{\"code\":\"e1\",\"message\":\"boom\"}}", 400), L"", L"失败！错误码(e1) 消息(boom)"},
        // Texts in the error are decoded before the table; a null is no text.
        {Json("{\"error\":{\"message\":\"model \\\"llama3\\\" not found, try pulling it first\",\"type\":\"api_error\","
              "\"param\":null,\"code\":null}}", 404),
         L"", L"失败！错误码() 消息(model \"llama3\" not found, try pulling it first)"},
        {Json("{\"error\":{\"code\":\"\\u0034\\u0030\\u0031\",\"message\":\"\\u6a21\\u578b\\u4e0d\\u5b58\\u5728\"}}", 400), L"",
         L"失败！错误码(401) 消息(模型不存在)"},
        {Json("{\"error\":{\"code\":\"401\",\"message\":\"Incorrect API key provided: \\u0073k-x\"}}", 401), L"",
         L"失败！错误码(401) 消息(提供的API密钥不正确，可能是因为API密钥有误或已撤销。)"},
        // A null content is no content.
        {Json("{\"choices\":[{\"message\":{\"role\":\"assistant\",\"content\":null}}]}"), L"",
         L"失败！GPT返回的失败信息：{\"choices\":[{\"message\":{\"role\":\"assistant\",\"content\":null}}]}"},
        {Json("{\"choices\":[{\"message\":{\"content\":null}},{\"message\":{\"content\":\"null\"}}]}"), L"null", L""},
        {emptyBody, L"", L"失败！错误码() 消息()"},
        {closed, L"", L"失败！错误码() 消息()"},
    };
    for (auto& k : cases) {
        SetReply(k.reply);
        EXPECT_EQ(Ask(Call{}), k.answer) << k.reply.body;
        EXPECT_EQ(error_, k.error) << k.reply.body;
    }
}

// On the user-interface thread the post runs on a worker while the thread keeps handling messages.
TEST_F(ChatClientTest, UiThreadKeepsPumpingWhileWaiting) {
    Reply slow = Json(ChoicesReply({"late"}));
    slow.delayMs = 400;
    SetReply(slow);
    static int ticks;
    ticks = 0;
    gMainThreadId = ::GetCurrentThreadId();
    UINT_PTR timer = ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    EXPECT_EQ(Ask(Call{}), L"late");
    ::KillTimer(nullptr, timer);
    gMainThreadId = 0;
    EXPECT_GT(ticks, 3);
}

// A remote host with a slash model goes to SiliconFlow, and its authentication error comes back explained.
TEST_F(ChatClientTest, SlashModelGoesToSiliconFlowAndItsErrorIsExplained) {
    SetReply(Json("{\"error\":{\"code\":401,\"message\":\"Invalid Authentication\"}}", 401));
    Call c;
    c.model = L"org/model:q4 (3 GB)";
    c.relay = true;
    c.key = L"sk-1";
    EXPECT_EQ(Ask(c), L"");
    EXPECT_EQ(OnlyRequest().Header("Authorization"), "Bearer sk-1");
    EXPECT_EQ(HostsAsked(), (std::vector<CWString>{chat_hosts::kRelay, chat_hosts::kSiliconFlow}));
    EXPECT_EQ(error_, L"失败！错误码(401) 消息(验证无效，可能是因为提供的API密钥不正确或请求的API密钥不属于请求的组织。"
                      L"[消息原文:Invalid Authentication])");
}

TEST(ChatErrors, TranslationTable) {
    struct {
        const wchar_t* code;
        const wchar_t* message;
        const wchar_t* result;
    } cases[] = {
        {L"401", L"invalid authentication",
         L"验证无效，可能是因为提供的API密钥不正确或请求的API密钥不属于请求的组织。[消息原文:invalid authentication]"},
        {L"401", L"Incorrect API key provided.", L"提供的API密钥不正确，可能是因为API密钥有误或已撤销。"},
        {L"", L"429 please check your plan and billing details", L"超出当前配额，需要检查计划和账单详情。[消息原文:429 please check your plan and billing details]"},
        {L"429", L"please try again later", L"服务器当前过载，请稍后再试。[消息原文:please try again later]"},
        {L"503", L"The engine is currently overloaded, please try again later",
         L"我们的服务器正在经历高流量。请在短暂等待后重试您的请求。。[消息原文:The engine is currently overloaded, please try again later]"},
        {L"503", L"Service Unavailable", L"服务不可用，可能是因为服务器维护或过载。[消息原文:Service Unavailable]"},
        {L"500", L"Internal Server Error", L"内部服务器错误，可能是服务器端的程序错误或服务器内部问题。[消息原文:Internal Server Error]"},
        {L"404", L"Not Found", L"Not Found"},
        {L"", L"", L""},
    };
    for (auto& k : cases) {
        CWString message(k.message);
        rg_DrenvikWenZhangGaiXieLei::TranslateApiError(k.code, message);
        EXPECT_EQ(message, k.result) << Utf8(k.code) << Utf8(k.message);
    }
    EXPECT_EQ(rg_DrenvikWenZhangGaiXieLei::GetServiceName(), L"GPT");
}

TEST(ChatEndpointMap, LinesOfTwoPieces) {
    gEndpointMap.clear();
    rg_DrenvikWenZhangGaiXieLei::LoadEndpointMap(
        L"  Model-A | ep-1 \r\nx||y\nthree|a|b\none\r\n\r\nMODEL-a|ep-2\n|z|");
    EXPECT_EQ(gEndpointMap, (rg_WenBenDaoWenBenHaXiBiao{{L"model-a", L"ep-2"}, {L"x", L"y"}}));
    // Once it has entries the map stays as it is.
    rg_DrenvikWenZhangGaiXieLei::LoadEndpointMap(L"b|2");
    EXPECT_EQ(gEndpointMap.size(), 2u);
    gEndpointMap.clear();
}

// The first client made reads the file beside the program; later clients do not read it again.
TEST(ChatEndpointMap, ReadOnceFromTheProgramFolder) {
    const std::wstring path = GetModuleDirectory() + kEndpointFileName;
    struct Removed {
        std::wstring path;
        ~Removed() { ::DeleteFileW(path.c_str()); }
    } removed{path};
    ASSERT_TRUE(CVolMem(std::string_view("Doubao-Pro|ep-2024\r\nbad line\r\n")).WriteToFile(path));

    gEndpointMap.clear();
    rg_DrenvikWenZhangGaiXieLei first;
    EXPECT_EQ(gEndpointMap, (rg_WenBenDaoWenBenHaXiBiao{{L"doubao-pro", L"ep-2024"}}));
    ASSERT_TRUE(CVolMem(std::string_view("other|ep-9\r\n")).WriteToFile(path));
    rg_DrenvikWenZhangGaiXieLei second;
    EXPECT_EQ(gEndpointMap, (rg_WenBenDaoWenBenHaXiBiao{{L"doubao-pro", L"ep-2024"}}));

    ::DeleteFileW(path.c_str());
    gEndpointMap.clear();
    EXPECT_EQ(rg_DrenvikWenZhangGaiXieLei::ReadEndpointFileText(), L"");
    rg_DrenvikWenZhangGaiXieLei third;
    EXPECT_TRUE(gEndpointMap.empty());
}

TEST(ChatClientObject, CopySharesLocksAndEqualsOnlyItself) {
    rg_DrenvikWenZhangGaiXieLei a;
    a.threadRecreateCounters[7] = 3;
    a.lastSearchTick = 1234;
    std::unique_ptr<CVolObject> copy(a.Clone());
    auto& b = static_cast<rg_DrenvikWenZhangGaiXieLei&>(*copy);
    EXPECT_TRUE(b.browserLock.SameAs(a.browserLock));
    EXPECT_TRUE(b.searchSpacingLock.SameAs(a.searchSpacingLock));
    EXPECT_EQ(b.threadRecreateCounters, a.threadRecreateCounters);
    EXPECT_NE(&b.threadRecreateCounters, &a.threadRecreateCounters);
    EXPECT_EQ(b.lastSearchTick, 1234);
    EXPECT_TRUE(a.IsEqual(a));
    EXPECT_FALSE(a.IsEqual(b));

    VolMemStream out;
    a.SaveToStream(&out);
    rg_DrenvikWenZhangGaiXieLei c;
    VolMemStream in(out.Data());
    c.LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(in.Position(), out.Data().GetSize());
    EXPECT_EQ(c.lastSearchTick, 1234);
}

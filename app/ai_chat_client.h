// The general OpenAI-compatible chat client. One AskChat call sends one question, with an optional
// system text and earlier question/answer pairs, and returns the answer, or an empty text with a
// "失败！" text in errorOut. The model name picks the cloud provider (see RouteChatModel); provider
// error messages are explained in Chinese.
#pragma once
#include <cstdint>
#include <map>
#include <set>

#include "platform/containers.h"
#include "platform/object.h"
#include "platform/sync.h"
#include "platform/text.h"

// Integer-keyed tables and sets of the platform.
using rg_ZhengShuDaoBianZhengShuHaXiBiao = std::map<int32_t, intptr_t>;
using rg_ZhengShuDaoZhengShuHaXiBiao = std::map<int32_t, int32_t>;
using rg_BianZhengShuHaXiJi = std::set<intptr_t>;
using rg_WenBenHaXiJi = CTextSet;

class rg_EdgeLiuLanKuang;

// A component reference goes into streams as a 32-bit word and never comes back from one: a loaded
// address would point nowhere. Copies refer to the same component (it is not owned).
template <> struct VolMember<CVolObject*> {
    static bool Equal(CVolObject* a, CVolObject* b) { return a == b; }
    static void Copy(CVolObject*& d, CVolObject* s) { d = s; }
    static void Save(VolDataStream* s, CVolObject* v) { s->WriteValue(uint32_t(reinterpret_cast<uintptr_t>(v))); }
    static void Load(VolDataStream* s, CVolObject*& v) {
        uint32_t word;
        if (s->ReadValue(word)) v = nullptr;
    }
};

// A sampling argument equal to this is "not set": its field stays out of the request.
inline constexpr double kChatNotSetSentinel = -10086.0;
// "max_tokens" of every request, whatever the caller passes.
inline constexpr int32_t kChatMaxTokens = 3000;
// The bearer key sent to the loopback server when the caller has none.
inline constexpr wchar_t kChatPlaceholderKey[] = L"vostrane";
// The model that completes a prompt instead of a conversation.
inline constexpr wchar_t kChatCompletionModel[] = L"text-davinci-003";
// The web AI search site's domain, which stands for a model that searches through a browser.
inline constexpr wchar_t kWebSearchModel[] = L"www.n.cn";
// In the program's folder: lines of "name|endpoint".
inline constexpr wchar_t kEndpointFileName[] = L"豆包接入点.txt";

// Hosts of the relay service and of each provider's OpenAI-compatible endpoint. Every use goes
// through Seams().remoteHost, so tests can point them at the loopback server.
namespace chat_hosts {
inline constexpr wchar_t kRelay[] = L"api.openai.com";
inline constexpr wchar_t kLingyi[] = L"api.lingyiwanwu.com";
inline constexpr wchar_t kMoonshot[] = L"api.moonshot.cn";
inline constexpr wchar_t kMiniMax[] = L"api.minimax.chat";
inline constexpr wchar_t kBaichuan[] = L"api.baichuan-ai.com";
inline constexpr wchar_t kSiliconFlow[] = L"api.siliconflow.cn";
inline constexpr wchar_t kTencent[] = L"api.lkeap.cloud.tencent.com";
inline constexpr wchar_t kXunFei[] = L"maas-api.cn-huabei-1.xf-yun.com";
inline constexpr wchar_t kBaidu[] = L"qianfan.baidubce.com";
// Hosts that count as this computer: no key is needed there.
inline constexpr wchar_t kLoopbackKeywords[] = L"127.0.0.1|localhost";
}  // namespace chat_hosts

// Endpoint name (ASCII lower case) -> endpoint, from the endpoint file. Loaded, never looked up.
extern rg_WenBenDaoWenBenHaXiBiao gEndpointMap;

// What provider routing decided for a model name.
struct ChatRoute {
    double frequencyFloor = 0;  // the lowest frequency_penalty the provider accepts
    bool fixedUrl = false;      // post to the Baidu address whatever the host and path part
};
// Routes a normalised model name: may replace host (with a provider's host as Seams().remoteHost
// gives it) and rewrite model (provider prefix removed, lower case).
ChatRoute RouteChatModel(CWString& model, CWString& host);
// "https://" + host, unless the host already names a scheme.
CWString WithDefaultScheme(std::wstring_view host);

class rg_DrenvikWenZhangGaiXieLei : public CVolObject {
    VOL_CLASS(rg_DrenvikWenZhangGaiXieLei, CVolObject, "drenvik::rg_DrenvikWenZhangGaiXieLei")
    VOL_MEMBERS(unused1, unused2, unused3, unused4, unused5, unused6, unused7, unused8, unused9, unused10,
                unused11, browserLock, searchSpacingLock, browserNoticeComponent, threadBrowsers,
                threadRecreateCounters, unused17, unused18, recreateCounterLock, lastSearchTick, unused21)

public:
    // Loads the endpoint map from the file while the map is still empty.
    rg_DrenvikWenZhangGaiXieLei();

    // model and host are in-out: the normalised, routed model and the base address are left in
    // them. errorOut is written only on failure. maxTokens, ignoredA and ignoredB are not read.
    // Sampling values equal to kChatNotSetSentinel are left out; others are clamped to their range.
    CWString AskChat(const CWString& question, CWString& model, const CWString& systemText,
                     const CMStringArray& historyQuestions, const CMStringArray& historyAnswers, int32_t maxTokens,
                     const CWString& pathPart, CWString& errorOut, CWString& host, const CWString& key,
                     const CWString& defaultKey, int32_t ignoredA, int32_t ignoredB, double temperature, double topP,
                     double frequencyPenalty, double presencePenalty);

    // Replaces message by its Chinese explanation when code + message matches a known provider error.
    static void TranslateApiError(const CWString& code, CWString& message);
    // The service every "失败！" text names: "GPT".
    static CWString GetServiceName();
    // The endpoint file's text (ANSI code page); empty when the file is missing.
    static CWString ReadEndpointFileText();
    // Fills gEndpointMap from text, or from the file when text is empty; nothing when it has entries.
    static void LoadEndpointMap(std::wstring_view text);
    // The calling thread's browser for the web search, made on first use and kept for the life of
    // the process (copies of this client share it). Takes browserLock for the map.
    rg_EdgeLiuLanKuang* GetBrowserForThread();

    // Members in their stored order; the unused ones keep the stream form.
    rg_HuChiSuoLei unused1;
    CWString unused2;
    int64_t unused3 = 0;
    CWString unused4, unused5, unused6;
    int64_t unused7 = 0;
    CWString unused8, unused9;
    rg_HuChiSuoLei unused10;
    int32_t unused11 = 0;
    // The web search's state (app/web_search.cpp).
    rg_HuChiSuoLei browserLock;
    rg_HuChiSuoLei searchSpacingLock;
    CVolObject* browserNoticeComponent = nullptr;
    rg_ZhengShuDaoBianZhengShuHaXiBiao threadBrowsers;
    rg_ZhengShuDaoZhengShuHaXiBiao threadRecreateCounters;
    int32_t unused17 = 0;
    rg_BianZhengShuHaXiJi unused18;
    // Guards threadRecreateCounters: the end of a search must not wait on browserLock.
    rg_HuChiSuoLei recreateCounterLock;
    int64_t lastSearchTick = 0;
    CWString unused21;
};

#include "app/ai_chat_client.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "app/web_search.h"
#include "platform/seams.h"
#include "platform/system.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text_helpers.h"
#include "util/web_access.h"

rg_WenBenDaoWenBenHaXiBiao gEndpointMap;

namespace {

constexpr wchar_t kFailed[] = L"失败！";

bool Contains(std::wstring_view text, std::wstring_view what, bool ignoreCase = false) {
    return FindWText(text, what, 0, ignoreCase) >= 0;
}

bool AnyKeyword(std::wstring_view text, std::wstring_view keywords) {
    int32_t position = 0;
    return MatchKeywords(text, keywords, 0, L"", L"|", position) != 0;
}

CWString ProviderHost(const wchar_t* host) { return Seams().remoteHost(CWString(host)); }

// Removes every exact-case prefix and lower-cases what is left, as the providers name their models.
void StripProviderPrefix(CWString& model, std::wstring_view prefix) {
    model.Replace(prefix, L"", 0, -1, false);
    model.MakeLower();
}

// A line break in a key would add header lines of its own.
bool HasControlUnit(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 32; });
}

// The model goes into the body as written, so that names reach the server byte for byte. A name
// the document would not write as a plain string (quotes, backslashes, control units, or a
// leading bracket it would parse) is escaped like the messages instead.
CWString ModelValueText(const CWString& model) {
    bool plain = std::none_of(model.begin(), model.end(),
                              [](wchar_t c) { return c < 32 || c == L'"' || c == L'\\'; });
    if (plain && !model.empty()) plain = model[0] != L'[' && model[0] != L'{' && model[0] != L'\'';
    if (plain) return model;
    return CWString::Concat({L"\"", EscapeForJson(model, 1), L"\""});
}

// Keeps a sampling value inside [low, high]; anything else (NaN included) becomes the fallback.
void Clamp(double& value, double low, double high, double fallback) {
    if (value == kChatNotSetSentinel) return;
    if (!(value >= low && value <= high)) value = fallback;
}

void SetSampling(rg_DrenvikJSONLei& doc, const wchar_t* name, double value) {
    if (value != kChatNotSetSentinel) doc.SetNumber(name, value);
}

CWString BuildRequestBody(const CWString& question, const CWString& model, const CWString& systemText,
                          const CMStringArray& historyQuestions, const CMStringArray& historyAnswers,
                          double temperature, double topP, double frequencyPenalty, double presencePenalty) {
    rg_DrenvikJSONLei doc;
    CWString modelText = ModelValueText(model);
    if (rg_DrenvikJSONJieDian* node = doc.ResolvePath(L"model", 1)) node->SetFromText(modelText, 0);
    if (model == kChatCompletionModel) {
        CWString prompt = EscapeForJson(question, 1);
        doc.SetText(L"prompt", prompt);
    } else {
        int n = 0;
        auto add = [&](const wchar_t* role, std::wstring_view content) {
            CWString base = CWString::Concat({L"messages[", CWString::FromInt(n), L"]."});
            CWString roleText(role);
            doc.SetText(base + L"role", roleText);
            CWString contentText = EscapeForJson(content, 1);
            doc.SetText(base + L"content", contentText);
            ++n;
        };
        if (!systemText.empty()) add(L"system", systemText);
        // A question without its answer is no pair: it stays out.
        const size_t pairs = std::min(historyQuestions.size(), historyAnswers.size());
        for (size_t i = 0; i < pairs; ++i) {
            add(L"user", historyQuestions[i]);
            add(L"assistant", historyAnswers[i]);
        }
        add(L"user", question);
    }
    SetSampling(doc, L"temperature", temperature);
    doc.SetNumber(L"max_tokens", kChatMaxTokens);
    SetSampling(doc, L"top_p", topP);
    SetSampling(doc, L"frequency_penalty", frequencyPenalty);
    SetSampling(doc, L"presence_penalty", presencePenalty);
    return doc.GetText(L"");
}

// The answer: the content of every choice that is not the user's own message, each once unless blank.
CWString ReadChoices(rg_DrenvikJSONLei& doc, bool completion) {
    CWString answer;
    rg_WenBenHaXiJi seen;
    const int n = doc.GetCount(L"choices");
    for (int i = 0; i < n; ++i) {
        const CWString at = CWString::Concat({L"choices[", CWString::FromInt(i), L"]."});
        CWString item;
        if (completion) {
            item = doc.GetText(at + L"text");
        } else {
            if (doc.GetText(at + L"message.role") == L"user") continue;
            item = doc.GetText(at + L"message.content");
        }
        if (seen.contains(item) && !TrimmedCopy(item).empty()) continue;
        seen.insert(item);
        if (!answer.empty()) answer += L"\r\n";
        answer += item;
    }
    return answer;
}

struct ApiErrorRow {
    const wchar_t* keywords;
    const wchar_t* otherKeywords;  // a second list that matches as well; may be null
    const wchar_t* explanation;
    bool quoteOriginal;            // the untranslated message follows, closed by "]"
};

const ApiErrorRow kApiErrors[] = {
    {L"401|Invalid Authentication", nullptr,
     L"验证无效，可能是因为提供的API密钥不正确或请求的API密钥不属于请求的组织。[消息原文:", true},
    {L"401|Incorrect API key provided", nullptr, L"提供的API密钥不正确，可能是因为API密钥有误或已撤销。", false},
    {L"401|You must be a member of an organization to use the API", nullptr,
     L"必须是组织的成员才能使用API，可能是因为账户未加入任何组织。[消息原文:", true},
    {L"403|Country, region, or territory not supported", nullptr,
     L"您正在从不受支持的国家、地区或地区访问 API。。[消息原文:", true},
    {L"429|Rate limit reached for requests", nullptr, L"请求已达到速率限制，可能是因为请求过于频繁。[消息原文:", true},
    {L"429|You exceeded your current quota", L"429|please check your plan and billing details",
     L"超出当前配额，需要检查计划和账单详情。[消息原文:", true},
    {L"429|The engine is currently overloaded", L"429|please try again later", L"服务器当前过载，请稍后再试。[消息原文:",
     true},
    {L"500|The server had an error while processing your request", nullptr,
     L"服务器在处理请求时出错，我们的服务器上的问题(就是访问人数太多宕机了)。[消息原文:", true},
    {L"413|Request Entity Too Large", nullptr,
     L"请求实体过大，可能是因为请求的数据量超过了服务器或API的限制。[消息原文:", true},
    {L"403|UNAUTHORIZED", nullptr, L"未授权，可能是因为客户端未经过正确的身份验证以访问服务器或API。[消息原文:", true},
    {L"503|Service Unavailable", nullptr, L"服务不可用，可能是因为服务器维护或过载。[消息原文:", true},
    {L"503|The engine is currently overloaded, please try again later", nullptr,
     L"我们的服务器正在经历高流量。请在短暂等待后重试您的请求。。[消息原文:", true},
    {L"524|A timeout occurred", nullptr, L"超时，可能是服务器无法在规定时间内响应。[消息原文:", true},
    {L"502|Bad Gateway", nullptr, L"坏的网关，可能是反向代理服务器无法访问上游服务器。[消息原文:", true},
    {L"500|Internal Server Error", nullptr, L"内部服务器错误，可能是服务器端的程序错误或服务器内部问题。[消息原文:",
     true},
};

bool AllKeywords(std::wstring_view text, const wchar_t* keywords) {
    int32_t position = 0;
    return keywords && MatchKeywords(text, keywords, 1, L"", L"|", position) != 0;
}

}  // namespace

CWString WithDefaultScheme(std::wstring_view host) {
    if (Contains(host, L"://")) return CWString(host);
    return CWString::Concat({L"https://", host});
}

ChatRoute RouteChatModel(CWString& model, CWString& host) {
    using namespace chat_hosts;
    ChatRoute route;
    if (Contains(model, L"yi-")) {
        host = ProviderHost(kLingyi);
    } else if (Contains(model, L"moonshot-")) {
        host = ProviderHost(kMoonshot);
    } else if (AnyKeyword(model, L"minimax|abab")) {
        host = ProviderHost(kMiniMax);
    } else if (Contains(model, L"baichuan")) {
        host = ProviderHost(kBaichuan);
        route.frequencyFloor = 1;
    } else if (Contains(model, L"/")) {
        host = ProviderHost(kSiliconFlow);
    } else if (Contains(model, L"deepseek", true) && !Contains(model, L":")) {
        // A name with a tag (deepseek-r1:7b) is an Ollama model and keeps its host.
        if (Contains(model, L"Tencent-")) {
            host = ProviderHost(kTencent);
            StripProviderPrefix(model, L"Tencent-");
        } else if (Contains(model, L"XunFei-")) {
            host = ProviderHost(kXunFei);
            StripProviderPrefix(model, L"XunFei-");
        } else if (Contains(model, L"Baidu-")) {
            host = ProviderHost(kBaidu);
            StripProviderPrefix(model, L"Baidu-");
            route.fixedUrl = true;
        }
    } else if (Contains(model, L"XunFei-", true)) {
        host = ProviderHost(kXunFei);
        StripProviderPrefix(model, L"XunFei-");
    }
    return route;
}

rg_DrenvikWenZhangGaiXieLei::rg_DrenvikWenZhangGaiXieLei() { LoadEndpointMap(L""); }

CWString rg_DrenvikWenZhangGaiXieLei::GetServiceName() {
    static const wchar_t* const kServices[] = {
        L"5118一键改写", L"5118一键换词", L"小狗AI仿写", L"5118段落组合", L"15201AI仿写", L"5118智能标题生成",
        L"5118核心词提取", L"讯飞关键词提取", L"5118通顺度智能纠错", L"通义", L"GPT", L"百度词法分析",
        L"GPT拓展标题", L"通义拓展标题", L"混元", L"混元拓展标题", L"豆包", L"豆包拓展标题", L"智谱",
        L"智谱拓展标题", L"深度求索", L"深度求索拓展标题", L"文心", L"文心拓展标题", L"Kimi", L"Kimi拓展标题",
        L"海螺", L"海螺拓展标题", L"零一", L"零一拓展标题", L"百川", L"百川拓展标题", L"硅基", L"硅基拓展标题",
        L"讯飞", L"讯飞标题", L"Ollama", L"Ollama拓展标题", L"本地AI", L"本地AI拓展标题", L"智谱文生图",
        L"通义文生图", L"即梦文生图", L"讯飞文生图", L"GPT文生图",
    };
    static_assert(std::size(kServices) == 45);
    return kServices[10];
}

void rg_DrenvikWenZhangGaiXieLei::TranslateApiError(const CWString& code, CWString& message) {
    const CWString tested = code + message;
    for (const ApiErrorRow& row : kApiErrors) {
        if (!AllKeywords(tested, row.keywords) && !AllKeywords(tested, row.otherKeywords)) continue;
        message = row.quoteOriginal ? CWString::Concat({row.explanation, message, L"]"}) : CWString(row.explanation);
        return;
    }
}

CWString rg_DrenvikWenZhangGaiXieLei::ReadEndpointFileText() {
    const CVolMem bytes = CVolMem::ConstructFromFile(GetModuleDirectory() + kEndpointFileName);
    return CWString::FromAnsiBytes(bytes.GetPtr(), bytes.GetSize());
}

void rg_DrenvikWenZhangGaiXieLei::LoadEndpointMap(std::wstring_view text) {
    if (!gEndpointMap.empty()) return;
    const CWString source = text.empty() ? ReadEndpointFileText() : CWString(text);
    CWStringArray lines, pieces;
    SplitTextByAnyChar(source, lines, L"\r\n", true, true);
    for (const CWString& line : lines) {
        SplitTextByAnyChar(line, pieces, L"|", true, true);
        if (pieces.size() != 2) continue;
        pieces[0].MakeLower();
        gEndpointMap[pieces[0]] = pieces[1];
    }
}

CWString rg_DrenvikWenZhangGaiXieLei::AskChat(const CWString& question, CWString& model, const CWString& systemText,
                                              const CMStringArray& historyQuestions,
                                              const CMStringArray& historyAnswers, int32_t /*maxTokens*/,
                                              const CWString& pathPart, CWString& errorOut, CWString& host,
                                              const CWString& key, const CWString& defaultKey, int32_t /*ignoredA*/,
                                              int32_t /*ignoredB*/, double temperature, double topP,
                                              double frequencyPenalty, double presencePenalty) {
    const CWString service = GetServiceName();

    CWString workingKey = key.empty() ? defaultKey : key;
    if (HasControlUnit(workingKey)) workingKey.clear();
    if (host.empty()) host = ProviderHost(chat_hosts::kRelay);
    if (workingKey.empty()) {
        if (!AnyKeyword(host, chat_hosts::kLoopbackKeywords)) {
            errorOut = CWString::Concat({kFailed, L"请先到接口按钮设置《", service, L"》Key。模型：", model});
            return {};
        }
        workingKey = kChatPlaceholderKey;
    }

    RemoveParenthesizedPart(model);
    const ChatRoute route = RouteChatModel(model, host);
    host = WithDefaultScheme(host);
    if (!host.empty() && host.back() == L'/') host.pop_back();

    Clamp(temperature, 0, 2, 1.0);
    Clamp(topP, 0, 1, 1.0);
    Clamp(frequencyPenalty, route.frequencyFloor, 2, 0.0);
    Clamp(presencePenalty, 0, 2, 0.0);

    if (model == kWebSearchModel) return AskWebSearch(*this, question, errorOut);

    const CWString headers = CWString::Concat({L"Authorization: Bearer ", workingKey, L"\r\nContent-Type: application/json"});
    const bool completion = model == kChatCompletionModel;
    const CWString body = BuildRequestBody(question, model, systemText, historyQuestions, historyAnswers, temperature,
                                           topP, frequencyPenalty, presencePenalty);
    const CWString segment = (pathPart.empty() || pathPart == L"没有") ? CWString() : CWString(L"/" + pathPart);
    CWString url;
    if (completion) url = CWString::Concat({host, segment, L"/completions"});
    else if (route.fixedUrl) url = WithDefaultScheme(ProviderHost(chat_hosts::kBaidu)) + L"/v2/chat/completions";
    else url = CWString::Concat({host, segment, L"/chat/completions"});

    CWString reply;
    {
        rg_DrenvikWangYeFangWenLei web;
        CWString charset;
        reply = web.VisitAsText(url, std::optional<CWString>(body), L"", L"", L"-1", L"", L"", headers, charset);
    }

    // The status line is not looked at: providers put their errors in the body.
    rg_DrenvikJSONLei doc;
    CWString source = reply;
    doc.Parse(source);
    const CWString code = doc.GetText(L"error.code");
    if (code.empty() && !reply.empty()) {
        CWString answer = ReadChoices(doc, completion);
        DecodeEscapes(answer, 0);
        if (!answer.empty()) return answer;
        CWString decoded = reply;
        DecodeEscapes(decoded, 0);
        errorOut = decoded.empty() ? CWString::Concat({kFailed, service, L"返回空内容，网络不通！"})
                                   : CWString::Concat({kFailed, service, L"返回的失败信息：", decoded});
        return {};
    }
    CWString message = doc.GetText(L"error.message");
    TranslateApiError(code, message);
    errorOut = CWString::Concat({kFailed, L"错误码(", code, L") 消息(", message, L")"});
    return {};
}

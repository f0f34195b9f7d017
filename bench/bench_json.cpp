// JSON document against nlohmann/json: parse and serialise a chat-completion reply (~100 KB) and a
// 10 MB document; then the INI configuration's load and save of 10,000 keys against the Windows
// profile functions. Ratios above 1 mean this library is faster. Hostile texts first: their parse and
// write times, the written size, and the peak memory they add to the process.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/dynapi.h"
#include "platform/win.h"

#include <psapi.h>
#include "util/config.h"
#include "util/json.h"
#include "best_time.h"

#include <nlohmann/json.hpp>

namespace {

using Clock = std::chrono::steady_clock;

// A reply as a local chat server sends it: one long assistant message with line breaks, quotes,
// escapes and non-ASCII text, plus the usual envelope.
std::string ChatReply(size_t contentBytes) {
    std::string content;
    const char* pieces[] = {"Here is the plan:\\n\\n1. Read the \\\"config\\\" file.\\n", "2. Call `ollama list` and parse ",
                            "the table; sizes like 4.7 GB go in column three.\\n", "\\u4e2d\\u6587 text follows: ",
                            "\xE4\xB8\xAD\xE6\x96\x87\xE5\x86\x85\xE5\xAE\xB9 ", "```cpp\\nint main() { return 0; }\\n```\\n",
                            "Paths such as C:\\\\Users\\\\me\\\\models stay escaped.\\t(done)\\n"};
    for (size_t i = 0; content.size() < contentBytes; ++i) content += pieces[i % 7];
    return std::string("{\"id\":\"chatcmpl-417\",\"object\":\"chat.completion\",\"created\":1733820000,"
                       "\"model\":\"qwen2.5:7b\",\"system_fingerprint\":\"fp_ollama\",\"choices\":[{\"index\":0,"
                       "\"message\":{\"role\":\"assistant\",\"content\":\"") +
           content +
           "\"},\"finish_reason\":\"stop\"}],\"usage\":{\"prompt_tokens\":812,\"completion_tokens\":20480,"
           "\"total_tokens\":21292}}";
}

// Many small records, as a model list or a long conversation would give.
std::string BigDocument(size_t bytes) {
    std::string s = "{\"models\":[";
    char buf[512];
    for (int i = 0; s.size() < bytes; ++i) {
        std::snprintf(buf, sizeof buf,
                      "%s{\"name\":\"model-%d:latest\",\"size\":%d,\"digest\":\"sha256:%08x%08x\","
                      "\"details\":{\"family\":\"llama\",\"parameter_size\":\"%d.%dB\",\"quantization_level\":"
                      "\"Q4_K_M\",\"families\":[\"llama\",\"clip\"]},\"score\":%d.%03d,\"active\":%s,\"note\":null}",
                      i ? "," : "", i, 1000000 + i * 37, unsigned(i * 2654435761u), unsigned(i * 40503u), i % 70,
                      i % 10, i % 100, i % 1000, (i & 1) ? "true" : "false");
        s += buf;
    }
    return s + "]}";
}

void CompareJson(const char* label, const std::string& utf8, int rounds) {
    const CWString text = CWString::FromUtf8(utf8);
    const double mb = double(utf8.size()) / 1e6;

    rg_DrenvikJSONLei doc;
    volatile size_t sink = 0;
    // Parse changes its argument only when it is empty, so like the peer it reads one text each run.
    CWString source = text;
    double oursParse = BestSeconds(rounds, [&] { sink = sink + size_t(doc.Parse(source)); });
    double peerParse = BestSeconds(rounds, [&] {
        nlohmann::json j = nlohmann::json::parse(utf8);
        sink = sink + j.size();
    });

    nlohmann::json peerDoc = nlohmann::json::parse(utf8);
    CWString src = text;
    doc.Parse(src);
    double oursWrite = BestSeconds(rounds, [&] { sink = sink + doc.GetText(L"").size(); });
    double peerWrite = BestSeconds(rounds, [&] { sink = sink + peerDoc.dump().size(); });

    std::printf("%-22s %7.2f MB  parse: ours %7.1f MB/s  nlohmann %7.1f MB/s  ratio %5.2f\n", label, mb,
                mb / oursParse, mb / peerParse, peerParse / oursParse);
    std::printf("%-22s %7s     write: ours %7.1f MB/s  nlohmann %7.1f MB/s  ratio %5.2f\n", "", "", mb / oursWrite,
                mb / peerWrite, peerWrite / oursWrite);
}

// Committed bytes at the process's peak so far; the peak never falls, so a case is measured by how
// far it raises it, and the cases run before anything large.
size_t PeakCommit() {
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &c, sizeof c);
    return c.PeakPagefileUsage;
}

void ParseWithPeak(const char* label, const CWString& text) {
    const size_t before = PeakCommit();
    rg_DrenvikJSONLei doc;
    CWString src = text;
    const auto t0 = Clock::now();
    const int kind = doc.Parse(src);
    const auto t1 = Clock::now();
    const size_t written = doc.GetText(L"").size();
    const auto t2 = Clock::now();
    std::printf("%-28s %8zu bytes  parse %9.3f ms  kind %d  nodes' text %lld units  write %9.3f ms  %zu units  "
                "peak memory +%.1f MB\n",
                label, text.size() * sizeof(wchar_t), std::chrono::duration<double>(t1 - t0).count() * 1e3, kind,
                (long long)rg_DrenvikJSONLei::MeasureNodeText(doc.root, 0),
                std::chrono::duration<double>(t2 - t1).count() * 1e3, written, double(PeakCommit() - before) / 1e6);
}

// Containers nested depth deep around a run of elements, each closed after a ":" and a complete
// member: a text that once made every level keep the whole text inside it again.
CWString NestedFaults(int depth, int elements) {
    return CWString::Repeat(L"[", depth) + CWString::Repeat(L"1,", elements) +
           CWString::Repeat(L" x : \"a\"\"b\": ,]", depth);
}

void CompareIni(int sectionsCount, int keysPerSection) {
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    const std::wstring ours = std::wstring(tmp) + L"kv_bench_ours.ini";
    const std::wstring peer = std::wstring(tmp) + L"kv_bench_peer.ini";
    ::DeleteFileW(ours.c_str());
    ::DeleteFileW(peer.c_str());

    auto key = [](int k) { return L"key" + std::to_wstring(k); };
    auto value = [](int s, int k) { return L"C:\\Users\\me\\models\\value-" + std::to_wstring(s * 1000 + k); };
    auto section = [](int s) { return L"section" + std::to_wstring(s); };

    // Writing everything and saving.
    double oursSave = BestSeconds(3, [&] {
        ::DeleteFileW(ours.c_str());
        rg_DrenvikNeiCunPeiZhiJiLei set;
        set.LoadFromFile(ours);
        for (int s = 0; s < sectionsCount; ++s)
            for (int k = 0; k < keysPerSection; ++k) set.SetValue(section(s), key(k), value(s, k));
        CWString path;
        set.SaveToFile(path);
    });
    double peerSave = BestSeconds(3, [&] {
        ::DeleteFileW(peer.c_str());
        for (int s = 0; s < sectionsCount; ++s) {
            std::wstring block;  // "k=v\0k=v\0\0"
            for (int k = 0; k < keysPerSection; ++k) block += key(k) + L"=" + value(s, k) + L'\0';
            block += L'\0';
            ::WritePrivateProfileSectionW(section(s).c_str(), block.c_str(), peer.c_str());
        }
        ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, peer.c_str());  // flush the cache
    });

    // Loading everything and reading every value.
    volatile size_t sink = 0;
    double oursLoad = BestSeconds(3, [&] {
        rg_DrenvikNeiCunPeiZhiJiLei set;
        set.LoadFromFile(ours);
        for (int s = 0; s < sectionsCount; ++s)
            for (int k = 0; k < keysPerSection; ++k) sink = sink + set.GetValue(section(s), key(k), L"").size();
    });
    std::vector<wchar_t> buf(1 << 20);
    double peerLoad = BestSeconds(3, [&] {
        for (int s = 0; s < sectionsCount; ++s)
            sink = sink + ::GetPrivateProfileSectionW(section(s).c_str(), buf.data(), DWORD(buf.size()), peer.c_str());
    });

    // An unchanged save: one serialisation and one hash, no write.
    rg_DrenvikNeiCunPeiZhiJiLei loaded;
    loaded.LoadFromFile(ours);
    double unchanged = BestSeconds(5, [&] {
        CWString path;
        loaded.SaveToFile(path);
    });

    std::printf("INI %d keys            fill+save: ours %7.2f ms  profile API %7.2f ms  ratio %5.2f\n",
                sectionsCount * keysPerSection, oursSave * 1e3, peerSave * 1e3, peerSave / oursSave);
    std::printf("                          load+read: ours %7.2f ms  profile API %7.2f ms  ratio %5.2f\n",
                oursLoad * 1e3, peerLoad * 1e3, peerLoad / oursLoad);
    std::printf("                          unchanged save: %.2f ms (no write)\n", unchanged * 1e3);
    ::DeleteFileW(ours.c_str());
    ::DeleteFileW(peer.c_str());
}

}  // namespace

int main() {
    BindDynamicApiTable();
    ParseWithPeak("warm-up (pool, heap)", L"[1]");
    ParseWithPeak("48 unclosed [", CWString::Repeat(L"[", 48));
    ParseWithPeak("1.2 MB nested faults", NestedFaults(32, 300000));
    ParseWithPeak("1 MB array of objects", CWString::FromUtf8(BigDocument(1000 * 1000)));
    CompareJson("chat reply", ChatReply(100 * 1024), 50);
    CompareJson("10 MB document", BigDocument(10 * 1000 * 1000), 5);
    CompareIni(100, 100);
    return 0;
}

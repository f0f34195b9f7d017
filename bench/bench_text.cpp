// Text benchmarks: the fast text search (index + find all) against std::wstring::find and the
// Boyer-Moore-Horspool searcher; ReplaceAllFast against replace loops; UTF-8 decoding against a
// plain MultiByteToWideChar. Two rows time hostile texts at 1x, 4x and 16x the size, with the
// ratios of neighbouring sizes: about 4 means the work grows with the text, about 16 with its square.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/win.h"
#include "util/encoding.h"
#include "util/text_helpers.h"
#include "util/text_search.h"
#include "best_time.h"
#include "scale_table.h"

namespace {

// Chat-answer-like text: words, markdown markers and an occasional think block, lower case so a
// case-sensitive peer finds what the case-folding search finds.
std::wstring MakeText(size_t units, unsigned seed) {
    static const wchar_t* words[] = {L"the", L"model", L"answer", L"token", L"**bold**", L"### ", L"code", L"\r\n",
                                     L"```", L"中文", L"<think>", L"</think>", L"value", L"a", L"list"};
    std::mt19937 rng(seed);
    std::wstring s;
    s.reserve(units + 16);
    while (s.size() < units) {
        s += words[rng() % (sizeof words / sizeof *words)];
        s += L' ';
    }
    s.resize(units);
    return s;
}

size_t d = 0;  // keeps results alive

void SearchBench(size_t units) {
    const std::wstring text = MakeText(units, 1);
    for (std::wstring needle : {L"<think>", L"**", L"answer token"}) {
        size_t hitsFast = 0, hitsFind = 0, hitsBmh = 0;
        double fast = BestSeconds(3, [&] {
            auto s = std::make_unique<rg_DrenvikKuaiSuXinZhaoWenBenLei>();
            s->IndexText(text);
            hitsFast = 0;
            for (int32_t p = s->FindFrom(needle, 0); p != -1; p = s->FindFrom(needle, p + 1)) ++hitsFast;
        });
        double find = BestSeconds(3, [&] {
            hitsFind = 0;
            for (size_t p = text.find(needle); p != std::wstring::npos; p = text.find(needle, p + 1)) ++hitsFind;
        });
        double bmh = BestSeconds(3, [&] {
            std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
            hitsBmh = 0;
            for (auto it = std::search(text.begin(), text.end(), searcher); it != text.end();
                 it = std::search(it + 1, text.end(), searcher))
                ++hitsBmh;
        });
        // One index serving 3 and 10 finds-all of the needle, against as many plain scans.
        size_t hitsMany = 0;
        double many[2] = {};
        const int counts[2] = {3, 10};
        for (int c = 0; c < 2; ++c) {
            many[c] = BestSeconds(3, [&] {
                auto s = std::make_unique<rg_DrenvikKuaiSuXinZhaoWenBenLei>();
                s->IndexText(text);
                hitsMany = 0;
                for (int k = 0; k < counts[c]; ++k)
                    for (int32_t p = s->FindFrom(needle, 0); p != -1; p = s->FindFrom(needle, p + 1)) ++hitsMany;
            });
        }
        // A find-all on an index that earlier searches have used.
        auto warm = std::make_unique<rg_DrenvikKuaiSuXinZhaoWenBenLei>();
        warm->IndexText(text);
        size_t hitsWarm = 0;
        double reused = BestSeconds(3, [&] {
            hitsWarm = 0;
            for (int32_t p = warm->FindFrom(needle, 0); p != -1; p = warm->FindFrom(needle, p + 1)) ++hitsWarm;
        });
        std::printf("search %5.1f M units, needle %-14ls index + 3 finds-all %7.2f ms (ratio find/fast %.2f), "
                    "index + 10 %7.2f ms (ratio %.2f); find-all on a used index %6.2f ms (ratio find/fast %.2f)%s\n",
                    double(units) / (1 << 20), (L"\"" + needle + L"\"").c_str(), many[0] * 1e3, 3 * find / many[0],
                    many[1] * 1e3, 10 * find / many[1], reused * 1e3, find / reused,
                    (hitsMany == 10 * hitsFind && hitsWarm == hitsFind) ? "" : " (MISMATCH)");
        d += hitsFast + hitsFind + hitsBmh;
        std::printf("search %5.1f M units, needle %-14ls hits %7zu%s: fast(index+find all) %8.2f ms, wstring::find %8.2f ms, "
                    "horspool %8.2f ms; ratio fast/find %.2f, fast/horspool %.2f\n",
                    double(units) / (1 << 20), (L"\"" + needle + L"\"").c_str(), hitsFast,
                    (hitsFast == hitsFind && hitsFind == hitsBmh) ? "" : " (MISMATCH)", fast * 1e3, find * 1e3,
                    bmh * 1e3, fast / find, fast / bmh);
    }
    // One index serving three different needles, against a plain scan for each.
    const std::wstring needles[] = {L"<think>", L"**", L"answer token"};
    size_t hitsMixed = 0, hitsMixedFind = 0;
    double mixed = BestSeconds(3, [&] {
        auto s = std::make_unique<rg_DrenvikKuaiSuXinZhaoWenBenLei>();
        s->IndexText(text);
        hitsMixed = 0;
        for (const std::wstring& needle : needles)
            for (int32_t p = s->FindFrom(needle, 0); p != -1; p = s->FindFrom(needle, p + 1)) ++hitsMixed;
    });
    double mixedFind = BestSeconds(3, [&] {
        hitsMixedFind = 0;
        for (const std::wstring& needle : needles)
            for (size_t p = text.find(needle); p != std::wstring::npos; p = text.find(needle, p + 1)) ++hitsMixedFind;
    });
    std::printf("search %5.1f M units, three needles on one index %8.2f ms vs wstring::find %8.2f ms (ratio find/fast %.2f)%s\n",
                double(units) / (1 << 20), mixed * 1e3, mixedFind * 1e3, mixedFind / mixed,
                hitsMixed == hitsMixedFind ? "" : " (MISMATCH)");
    d += hitsMixed;
    // Index once, then many finds: the case the index is built for.
    auto s = std::make_unique<rg_DrenvikKuaiSuXinZhaoWenBenLei>();
    double index = BestSeconds(3, [&] { s->IndexText(text); });
    std::printf("search %5.1f M units: IndexText alone %.2f ms\n", double(units) / (1 << 20), index * 1e3);
}

void ReplaceBench(size_t units) {
    const std::wstring text = MakeText(units, 2);
    struct { const wchar_t *search, *with; } cases[] = {{L"**", L""}, {L"<think>", L"[T]"}, {L"### ", L"#"}};
    for (const auto& c : cases) {
        const std::wstring search = c.search, with = c.with;
        CWString fastOut, inPlace, linear;
        // The text is changed in place: each run gets its own copy, made outside the timing.
        std::vector<CWString> inputs(3, CWString(text));
        size_t run = 0;
        double fast = BestSeconds(3, [&] { ReplaceAllFast(inputs[run++], search, with); });
        fastOut = inputs[0];
        // The everyday loop: find, replace in place, step past the replacement. It moves the tail
        // on every hit, so it is only run on the small text (16 M units take minutes).
        double naive = 0;
        if (units <= (size_t(1) << 20)) {
            naive = BestSeconds(1, [&] {
                inPlace = text;
                for (size_t p = inPlace.find(search); p != std::wstring::npos; p = inPlace.find(search, p + with.size()))
                    inPlace.replace(p, search.size(), with);
            });
        }
        // A find-and-append loop into a new text (a fresh one each run, as ReplaceAllFast makes).
        double copy = BestSeconds(3, [&] {
            CWString fresh;
            fresh.reserve(text.size());
            linear.swap(fresh);
            size_t c0 = 0;
            for (size_t p = text.find(search); p != std::wstring::npos; p = text.find(search, p + search.size())) {
                linear.append(text, c0, p - c0).append(with);
                c0 = p + search.size();
            }
            linear.append(text, c0, std::wstring::npos);
        });
        // The same loop appending into a buffer kept from the run before: no fresh pages to fault in.
        CWString reused;
        double warm = BestSeconds(3, [&] {
            reused.clear();
            reused.reserve(text.size());
            size_t c0 = 0;
            for (size_t p = text.find(search); p != std::wstring::npos; p = text.find(search, p + search.size())) {
                reused.append(text, c0, p - c0).append(with);
                c0 = p + search.size();
            }
            reused.append(text, c0, std::wstring::npos);
        });
        if (naive == 0) inPlace = linear;
        char naiveText[96] = "naive in-place loop not run";
        if (naive > 0)
            std::snprintf(naiveText, sizeof naiveText, "naive in-place loop %9.2f ms (ratio fast/naive %.3f)", naive * 1e3,
                          fast / naive);
        std::printf("replace %5.1f M units, %-10ls -> %-5ls: ReplaceAllFast %8.2f ms, %s, find+append loop %7.2f ms "
                    "(ratio fast/append %.2f), into a reused buffer %7.2f ms (ratio %.2f)%s\n",
                    double(units) / (1 << 20), (L"\"" + search + L"\"").c_str(), (L"\"" + with + L"\"").c_str(),
                    fast * 1e3, naiveText, copy * 1e3, fast / copy, warm * 1e3, fast / warm,
                    (fastOut == inPlace && inPlace == linear && linear == reused) ? "" : " (results differ: overlapping hits)");
    }
}

void DecodeBench(size_t units) {
    const std::string utf8 = WideToUtf8(MakeText(units, 3));
    const double mb = double(utf8.size()) / (1 << 20);
    CVolMem block;
    double ours = 1e30;
    for (int i = 0; i < 5; ++i) {
        block.Assign(utf8.data(), utf8.size());  // the input is consumed in place: refill it untimed
        ours = std::min(ours, BestSeconds(1, [&] { Utf8ToUtf16Bytes(block); }));
    }
    std::wstring out;
    double plain = BestSeconds(5, [&] {
        // A fresh output each time, as a caller converting a reply gets.
        int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
        std::wstring fresh(size_t(n), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), fresh.data(), n);
        out = std::move(fresh);
    });
    d += block.GetSize() + out.size();
    std::printf("utf-8 decode %6.1f MB: Utf8ToUtf16Bytes %7.1f MB/s, MultiByteToWideChar (size, then convert) %7.1f MB/s; "
                "ratio ours/plain %.2f%s\n",
                mb, mb / ours, mb / plain, plain / ours,
                (block.GetSize() == out.size() * 2 && std::memcmp(block.GetPtr(), out.data(), block.GetSize()) == 0)
                    ? ""
                    : " (MISMATCH)");
}

// Two needles whose hits cover the text, asked for in turns: each turn asks for the hit after the
// needle's last one.
void SearchInTurnsBench() {
    const size_t sizes[3] = {37500, 150000, 600000};
    double t[3], peer[3];
    bool same = true;
    for (int i = 0; i < 3; ++i) {
        const std::wstring text(sizes[i], L'*');
        size_t turns = 0, peerTurns = 0;
        t[i] = TimeForScale([&] {
            auto s = std::make_unique<rg_DrenvikKuaiSuXinZhaoWenBenLei>();
            s->IndexText(text);
            int32_t p = s->FindFrom(L"**", 0), q = s->FindFrom(L"***", 0);
            for (turns = 1; p != -1 || q != -1; ++turns) {
                if (p != -1) p = s->FindFrom(L"**", p + 1);
                if (q != -1) q = s->FindFrom(L"***", q + 1);
            }
        });
        peer[i] = TimeForScale([&] {
            size_t p = text.find(L"**"), q = text.find(L"***");
            for (peerTurns = 1; p != std::wstring::npos || q != std::wstring::npos; ++peerTurns) {
                if (p != std::wstring::npos) p = text.find(L"**", p + 1);
                if (q != std::wstring::npos) q = text.find(L"***", q + 1);
            }
        });
        same = same && turns == peerTurns;
    }
    PrintScaleRow("search in turns, \"**\" and \"***\" on \"*\" (units)", t, sizes, "wstring::find", peer, same);
}

// count distinct pieces of the text at random places, 3 to 8 units long: needles that are there.
std::vector<std::wstring> PiecesOf(const std::wstring& text, size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::wstring> pieces;
    while (pieces.size() < count) {
        const size_t m = 3 + rng() % 6;
        std::wstring piece = text.substr(rng() % (text.size() - m), m);
        if (std::find(pieces.begin(), pieces.end(), piece) == pieces.end()) pieces.push_back(piece);
    }
    return pieces;
}

// Needles asked for in turns on one index, each turn the hit after that needle's last one, against
// wstring::find doing the same: more needles than the index keeps hits for must not make every
// search pass over the text. Then needles that cover the text ("*" x 2 .. "*" x (k + 1) on "*"), and
// a new needle for every search.
void ManyNeedlesInTurnsBench() {
    auto findAllsInTurns = [](const std::vector<std::wstring>& needles, auto&& find) {
        std::vector<int32_t> last(needles.size(), -1);
        size_t searches = 0, sum = 0;
        for (bool any = true; any;) {
            any = false;
            for (size_t j = 0; j < needles.size(); ++j) {
                if (last[j] == -2) continue;
                const int32_t p = find(needles[j], last[j] + 1);
                ++searches;
                sum += size_t(p + 1);
                last[j] = p == -1 ? -2 : p;
                any = any || p != -1;
            }
        }
        return searches * 1000003 + sum;
    };
    auto run = [&](const char* what, const size_t (&sizes)[3], auto&& makeText, auto&& makeNeedles) {
        double t[3], peer[3];
        bool same = true;
        size_t searches[3];
        for (int i = 0; i < 3; ++i) {
            const std::wstring text = makeText(sizes[i]);
            const std::vector<std::wstring> needles = makeNeedles(text);
            size_t ours = 0, theirs = 0;
            t[i] = TimeForScale([&] {
                auto s = std::make_unique<rg_DrenvikKuaiSuXinZhaoWenBenLei>();
                s->IndexText(text);
                ours = findAllsInTurns(needles, [&](const std::wstring& n, int32_t from) { return s->FindFrom(n, from); });
            });
            peer[i] = TimeForScale([&] {
                theirs = findAllsInTurns(needles, [&](const std::wstring& n, int32_t from) {
                    const size_t p = text.find(n, size_t(from));
                    return p == std::wstring::npos ? int32_t(-1) : int32_t(p);
                });
            });
            same = same && ours == theirs;
            searches[i] = theirs / 1000003;
        }
        PrintScaleRow(what, t, sizes, "wstring::find", peer, same);
        std::printf("%-62s %7zu / %7zu / %7zu searches\n", "", searches[0], searches[1], searches[2]);
    };
    const size_t sizes[3] = {12500, 50000, 200000};
    for (size_t count : {8, 9, 16, 64, 1000}) {
        char what[80];
        std::snprintf(what, sizeof what, "%zu needles in turns, find-alls on chat text (units)", count);
        run(what, sizes, [](size_t units) { return MakeText(units, 5); },
            // From the 1x text, which the longer ones begin with: the same needles at every size.
            [count, &sizes](const std::wstring& text) { return PiecesOf(text.substr(0, sizes[0]), count, unsigned(count)); });
    }
    const size_t runs[3] = {2000, 8000, 32000};
    for (size_t count : {9, 16}) {
        char what[80];
        std::snprintf(what, sizeof what, "%zu needles \"*\"x2..x%zu in turns on \"*\" (units)", count, count + 1);
        run(what, runs, [](size_t units) { return std::wstring(units, L'*'); }, [count](const std::wstring&) {
            std::vector<std::wstring> needles;
            for (size_t k = 2; k <= count + 1; ++k) needles.push_back(std::wstring(k, L'*'));
            return needles;
        });
    }
    // A new needle for every search, from a random place.
    double t[3], peer[3];
    bool same = true;
    for (int i = 0; i < 3; ++i) {
        const std::wstring text = MakeText(sizes[i], 6);
        const std::vector<std::wstring> needles = PiecesOf(text.substr(0, sizes[0]), 2000, 7);
        std::vector<int32_t> starts(needles.size());
        std::mt19937 rng(8);
        for (auto& p : starts) p = int32_t(rng() % text.size());
        size_t ours = 0, theirs = 0;
        t[i] = TimeForScale([&] {
            auto s = std::make_unique<rg_DrenvikKuaiSuXinZhaoWenBenLei>();
            s->IndexText(text);
            ours = 0;
            for (size_t j = 0; j < needles.size(); ++j) ours = ours * 31 + size_t(s->FindFrom(needles[j], starts[j]) + 1);
        });
        peer[i] = TimeForScale([&] {
            theirs = 0;
            for (size_t j = 0; j < needles.size(); ++j) {
                const size_t p = text.find(needles[j], size_t(starts[j]));
                theirs = theirs * 31 + (p == std::wstring::npos ? 0 : p + 1);
            }
        });
        same = same && ours == theirs;
    }
    PrintScaleRow("2,000 needles, a new one each search, on chat text (units)", t, sizes, "wstring::find", peer, same);
}

// A long search text over a long run of its own prefix: every place is a candidate.
void ReplaceLongNeedleBench() {
    const size_t sizes[3] = {1875, 7500, 30000};
    double t[3], peer[3];
    bool same = true;
    for (int i = 0; i < 3; ++i) {
        const std::wstring search = std::wstring(sizes[i], L'a') + L"b", text(10 * sizes[i], L'a');
        const std::wstring hit = text + L"b";  // one hit at the very end
        CWString out;
        t[i] = TimeForScale([&] {
            out = hit;
            ReplaceAllFast(out, search, L"X");
        });
        size_t at = 0;
        peer[i] = TimeForScale([&] {
            std::boyer_moore_searcher searcher(search.begin(), search.end());
            at = size_t(std::search(hit.begin(), hit.end(), searcher) - hit.begin());
        });
        same = same && out == hit.substr(0, at) + L"X";
    }
    PrintScaleRow("ReplaceAllFast \"a\"xm+\"b\" in \"a\"x10m+\"b\" (m)", t, sizes, "Boyer-Moore find", peer, same);
}

}  // namespace

int main() {
    SearchInTurnsBench();
    ManyNeedlesInTurnsBench();
    ReplaceLongNeedleBench();
    for (size_t units : {size_t(1) << 20, size_t(16) << 20}) SearchBench(units);
    ReplaceBench(size_t(1) << 20);
    ReplaceBench(size_t(16) << 20);
    for (size_t units : {size_t(1) << 20, size_t(16) << 20}) DecodeBench(units);
    return d == 42 ? 1 : 0;
}

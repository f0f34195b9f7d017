#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "util/text_search.h"

namespace {
using Search = rg_DrenvikKuaiSuXinZhaoWenBenLei;
std::unique_ptr<Search> Indexed(std::wstring_view text) {
    auto s = std::make_unique<Search>();
    s->IndexText(text);
    return s;
}
}  // namespace

TEST(FastTextSearch, FindFromCases) {
    struct { const wchar_t *text, *needle; int32_t start, want; } cases[] = {
        {L"Hello HELLO", L"hello", 0, 0},  {L"Hello HELLO", L"hello", 1, 6}, {L"Hello HELLO", L"HELLO", 7, -1},
        {L"aaa", L"aa", 0, 0},             {L"aaa", L"aa", 1, 1},            {L"aaa", L"aa", 2, -1},
        {L"abc", L"", 0, -1},              {L"abc", L"x", 0, -1},            {L"abc", L"c", -5, 2},
        {L"abc", L"a", 1, -1},             {L"ÄÖ", L"ä", 0, -1},             {L"ÄÖ", L"Ä", 0, 0},
        {L"abcabd", L"abd", 0, 3},         {L"abc", L"abcd", 0, -1},         {L"abc", L"c", 3, -1},
        {L"", L"a", 0, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(Indexed(c.text)->FindFrom(c.needle, c.start), c.want) << c.text << "/" << c.needle;
}

TEST(FastTextSearch, IndexLayout) {
    auto s = Indexed(L"bAba");
    EXPECT_EQ(s->indexedLength, 4);
    EXPECT_EQ(s->foldCase, 1);
    // Lists are numbered in first-occurrence order, "A" folded onto "a".
    EXPECT_EQ(s->unitTable.entries[L'b'], 1);
    EXPECT_EQ(s->unitTable.entries[L'a'], 2);
    EXPECT_EQ(s->unitTable.entries[L'A'], 0);
    EXPECT_EQ(s->positionLists.Count(), 3);  // placeholder + two lists
}

TEST(FastTextSearch, AgreesWithPlainSearchOnRandomText) {
    std::mt19937 rng(7);
    std::wstring text(5000, L' ');
    for (auto& c : text) c = L"abAB c"[rng() % 6];
    auto s = Indexed(text);
    std::wstring lower = text;
    for (auto& c : lower) c = AsciiLower(c);
    for (int k = 0; k < 300; ++k) {
        std::wstring needle(1 + rng() % 4, L' ');
        for (auto& c : needle) c = L"abc "[rng() % 4];
        int32_t start = int32_t(rng() % 5000);
        size_t want = lower.find(needle, size_t(start));
        ASSERT_EQ(s->FindFrom(needle, start), want == std::wstring::npos ? -1 : int32_t(want)) << needle << " " << start;
    }
}

TEST(FastTextSearch, RepeatedFindAllsAgreeWithPlainSearch) {
    // Find-alls answered from kept lists, interleaved, more needles than are kept, and needles too
    // long to be answered from the last list alone.
    std::mt19937 rng(3);
    std::wstring text(20000, L' ');
    for (auto& c : text) c = L"abAB c*"[rng() % 7];
    text.replace(100, 40, std::wstring(40, L'a'));
    auto s = Indexed(text);
    std::wstring lower = text;
    for (auto& c : lower) c = AsciiLower(c);
    const std::wstring needles[] = {L"ab", L"**", L"a", L"c a", L"BA", L"b*", L"aaaaaaaaaaaa", std::wstring(35, L'a'),
                                    L"*c", L"aB", L"cc", L"ab*"};
    for (int round = 0; round < 3; ++round) {
        for (const std::wstring& needle : needles) {
            std::vector<int32_t> got, want;
            for (int32_t p = s->FindFrom(needle, 0); p != -1; p = s->FindFrom(needle, p + 1)) got.push_back(p);
            std::wstring key = needle;
            for (auto& c : key) c = AsciiLower(c);
            for (size_t p = lower.find(key); p != std::wstring::npos; p = lower.find(key, p + 1)) want.push_back(int32_t(p));
            ASSERT_EQ(got, want) << needle << " round " << round;
            // Searches from anywhere, behind the last answer too, and one past the end.
            for (int k = 0; k < 20; ++k) {
                const int32_t start = int32_t(rng() % text.size());
                const auto it = std::lower_bound(want.begin(), want.end(), start);
                EXPECT_EQ(s->FindFrom(needle, start), it == want.end() ? -1 : *it) << needle << " from " << start;
            }
            EXPECT_EQ(s->FindFrom(needle, int32_t(text.size())), -1) << needle;
        }
    }
}

// Needles asked for in turns, each turn the hit after that needle's last one: dense hits, more
// needles than are kept, long needles that repeat themselves, and needles whose first unit's list
// was made by an earlier one-unit search.
TEST(FastTextSearch, NeedlesInTurnsAgreeWithPlainSearch) {
    const std::wstring as(2000, L'a');
    std::wstring mixed(3000, L' ');
    std::mt19937 rng(5);
    for (auto& c : mixed) c = L"abA*"[rng() % 4];
    std::wstring abab;
    for (int i = 0; i < 1500; ++i) abab += L"ab";
    const struct { std::wstring text; std::vector<std::wstring> needles; } cases[] = {
        {std::wstring(3000, L'*'), {L"**", L"***"}},
        {std::wstring(3000, L'*'), {L"**", L"***", L"****", L"*****", L"******", L"*******", L"********", L"*********",
                                    L"**********", L"***********"}},
        {as + L"b" + as.substr(0, 500), {std::wstring(300, L'A') + L"b", L"aa", as.substr(0, 50) + L"b" + as.substr(0, 50)}},
        {as + L"b" + as.substr(0, 500), {L"a", std::wstring(300, L'a') + L"b", L"ab", L"b"}},
        {abab + L"c" + abab, {L"abab", L"bab", abab.substr(0, 600) + L"c", L"ABABABABAB", L"a"}},
        {mixed, {L"a", L"ab", L"*a", L"aa", L"A*", L"b**", L"ba", L"**", L"aba", L"*"}},
    };
    for (const auto& c : cases) {
        auto s = Indexed(c.text);
        std::wstring lower = c.text;
        for (auto& u : lower) u = AsciiLower(u);
        std::vector<int32_t> last(c.needles.size(), -1);
        for (bool any = true; any;) {
            any = false;
            for (size_t j = 0; j < c.needles.size(); ++j) {
                if (last[j] == -2) continue;
                std::wstring key = c.needles[j];
                for (auto& u : key) u = AsciiLower(u);
                const size_t want = lower.find(key, size_t(last[j] + 1));
                const int32_t got = s->FindFrom(c.needles[j], last[j] + 1);
                ASSERT_EQ(got, want == std::wstring::npos ? -1 : int32_t(want)) << c.needles[j] << " after " << last[j];
                last[j] = got == -1 ? -2 : got;
                any = any || got != -1;
            }
        }
    }
}

namespace {
std::wstring Lowered(std::wstring s) {
    for (auto& u : s) u = AsciiLower(u);
    return s;
}
int32_t PlainFind(const std::wstring& lower, const std::wstring& needle, int32_t start) {
    if (needle.empty()) return -1;
    const size_t at = lower.find(Lowered(needle), size_t(std::max(start, 0)));
    return at == std::wstring::npos ? -1 : int32_t(at);
}
// Chat-like text: words, markers and line breaks, some in capitals.
std::wstring WordText(size_t units, unsigned seed) {
    static const wchar_t* words[] = {L"the", L"Model", L"answer", L"token", L"**bold**", L"### ", L"code", L"\r\n",
                                     L"```", L"中文", L"<think>", L"</think>", L"value", L"a", L"LIST"};
    std::mt19937 rng(seed);
    std::wstring s;
    while (s.size() < units) s += std::wstring(words[rng() % std::size(words)]) + L" ";
    s.resize(units);
    return s;
}
// count distinct pieces of the text at random places, of lengths lo to hi.
std::vector<std::wstring> PiecesOf(const std::wstring& text, size_t count, size_t lo, size_t hi, std::mt19937& rng) {
    std::vector<std::wstring> pieces;
    while (pieces.size() < count) {
        const size_t m = lo + rng() % (hi - lo + 1);
        std::wstring piece = text.substr(rng() % (text.size() - m), m);
        if (std::find(pieces.begin(), pieces.end(), piece) == pieces.end()) pieces.push_back(piece);
    }
    return pieces;
}
}  // namespace

// Many needles asked for in any order: find-alls interleaved at random, searches from anywhere,
// more needles than can be kept, needles that are not there, and self-similar texts and needles
// ("aaaa..." with "aa...ab", "abab..." with "abab...c"); an index copied half way goes on alike.
TEST(FastTextSearch, ManyNeedlesInAnyOrderAgreeWithPlainSearch) {
    std::mt19937 rng(11);
    std::wstring randomText(4000, L' ');
    for (auto& u : randomText) u = L"abAB c*"[rng() % 7];
    std::wstring abab;
    for (int i = 0; i < 1500; ++i) abab += i % 2 ? L"b" : L"A";
    const std::wstring texts[] = {
        randomText,
        std::wstring(3000, L'a') + L"b" + std::wstring(900, L'A') + L"B",
        abab + L"c" + abab.substr(0, 700) + L"C",
        std::wstring(2500, L'*'),
        WordText(6000, 4),
    };
    for (const std::wstring& text : texts) {
        const std::wstring lower = Lowered(text);
        for (size_t count : {3, 9, 40, 200}) {
            std::vector<std::wstring> needles;
            while (needles.size() < count) {
                std::wstring needle;
                switch (rng() % 6) {
                case 0:
                case 1: {  // a piece of the text, mostly short, sometimes long
                    const size_t m = rng() % 4 ? 1 + rng() % 12 : 40 + rng() % 300;
                    needle = text.substr(rng() % (text.size() - m), m);
                    break;
                }
                case 2:  // a run and one other unit
                    needle = std::wstring(1 + rng() % 400, L'a') + (rng() % 2 ? L"b" : L"B");
                    break;
                case 3:  // a run
                    needle = std::wstring(1 + rng() % 60, rng() % 2 ? L'*' : L'A');
                    break;
                case 4:  // a repeating needle
                    needle = abab.substr(rng() % 2, 2 + rng() % 300) + (rng() % 2 ? L"c" : L"");
                    break;
                default:  // random units, mostly not there
                    needle.resize(2 + rng() % 5);
                    for (auto& u : needle) u = L"abAB c*xq"[rng() % 9];
                }
                needles.push_back(needle);
            }
            auto s = Indexed(text);
            std::unique_ptr<CVolObject> copy;
            std::vector<int32_t> last(count, -1);
            for (int step = 0; step < 3000; ++step) {
                if (step == 1500) {  // go on with a copy of the index as it stands
                    copy.reset(s->Clone());
                    s.reset();
                }
                Search& search = s ? *s : static_cast<Search&>(*copy);
                // A stretch of turns in order now and then, else needles at random.
                const size_t j = (step / 200) % 2 ? step % count : rng() % count;
                const unsigned how = rng() % 10;
                int32_t start = last[j] + 1;  // the next hit of a find-all
                if (how == 8) start = int32_t(rng() % (text.size() + 10)) - 5;
                if (how == 9) start = 0;
                const int32_t got = search.FindFrom(needles[j], start);
                ASSERT_EQ(got, PlainFind(lower, needles[j], start))
                    << "text " << text.substr(0, 20) << ", " << count << " needles, needle " << needles[j].substr(0, 40)
                    << " (" << needles[j].size() << " units) from " << start << " at step " << step;
                last[j] = got;  // -1 starts the find-all again
            }
        }
    }
}

// Needles asked for in turns, more than can be kept at once, and a stream of needles each asked for
// once: a search walks the places of one of the needle's units instead of passing over the whole
// text, so the passes (making a unit's list, keeping a needle's hits) stay few however many
// searches there are.
TEST(FastTextSearch, NeedlesInTurnsDoNotPassOverTheWholeText) {
    const std::wstring text = WordText(40000, 8);
    const std::wstring lower = Lowered(text);
    std::mt19937 rng(9);
    for (size_t count : {9, 16, 100}) {
        const std::vector<std::wstring> needles = PiecesOf(text, count, 3, 8, rng);
        auto s = Indexed(text);
        std::vector<int32_t> last(count, -1);
        size_t searches = 0;
        for (bool any = true; any;) {
            any = false;
            for (size_t j = 0; j < count; ++j) {
                if (last[j] == -2) continue;
                const int32_t got = s->FindFrom(needles[j], last[j] + 1);
                ++searches;
                ASSERT_EQ(got, PlainFind(lower, needles[j], last[j] + 1)) << needles[j];
                last[j] = got == -1 ? -2 : got;
                any = any || got != -1;
            }
        }
        EXPECT_GT(searches, 20 * count);
        // One pass per unit list and per needle at most, and not one per search.
        EXPECT_LE(s->positionLists.textPasses, 30 + count) << count << " needles, " << searches << " searches";
    }
    // A new needle every search, from anywhere.
    auto s = Indexed(text);
    const std::vector<std::wstring> stream = PiecesOf(text, 2000, 3, 10, rng);
    for (const std::wstring& needle : stream) {
        const int32_t start = int32_t(rng() % text.size());
        ASSERT_EQ(s->FindFrom(needle, start), PlainFind(lower, needle, start)) << needle;
    }
    EXPECT_LE(s->positionLists.textPasses, 100u) << stream.size() << " needles";
}

TEST(FastTextSearch, SecondIndexReplacesTheFirst) {
    auto s = Indexed(L"abc");
    s->IndexText(L"xyz");
    EXPECT_EQ(s->FindFrom(L"a", 0), -1);
    EXPECT_EQ(s->FindFrom(L"z", 0), 2);
    EXPECT_EQ(Search().FindFrom(L"a", 0), -1);  // never indexed
}

TEST(FastTextSearch, StreamAndLoadedObject) {
    auto s = Indexed(L"hello world");
    VolMemStream out;
    s->SaveToStream(&out);
    EXPECT_EQ(out.Data().GetSize(), 8u + 262144u);
    EXPECT_FALSE(s->IsEqual(*Indexed(L"hello world")));  // the lists compare by identity

    // The stream carries the table but not the lists: a loaded object must not search lists that
    // are not there, and indexing it again must start from a clean table.
    VolMemStream in(out.Data());
    auto loaded = std::make_unique<Search>();
    loaded->LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(loaded->indexedLength, 11);
    EXPECT_EQ(loaded->FindFrom(L"world", 0), -1);
    loaded->IndexText(L"xxworld");
    EXPECT_EQ(loaded->FindFrom(L"world", 0), 2);
    EXPECT_EQ(loaded->FindFrom(L"h", 0), -1);

    // A table poked to name a list that does not exist finds nothing either.
    auto poked = Indexed(L"ab");
    poked->unitTable.entries[L'q'] = 9;
    EXPECT_EQ(poked->FindFrom(L"q", 0), -1);
}

TEST(FastTextSearch, CloneCopiesTheIndex) {
    auto s = Indexed(L"one two three");
    std::unique_ptr<CVolObject> copy(s->Clone());
    s->IndexText(L"other");
    EXPECT_EQ(static_cast<Search&>(*copy).FindFrom(L"THREE", 0), 8);
}

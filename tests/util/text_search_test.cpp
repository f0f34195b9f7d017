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

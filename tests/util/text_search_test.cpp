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

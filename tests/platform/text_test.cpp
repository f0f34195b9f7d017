#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/containers.h"
#include "platform/mem.h"
#include "platform/text.h"

TEST(CWString, FindText) {
    struct { const wchar_t* text; const wchar_t* what; int start; bool nocase; bool fromEnd; int want; } cases[] = {
        {L"abcabc", L"bc", 0, false, false, 1},
        {L"abcabc", L"bc", 2, false, false, 4},
        {L"abcabc", L"bc", -5, false, false, 1},
        {L"abcabc", L"BC", 0, false, false, -1},
        {L"abcabc", L"BC", 0, true, false, 1},
        {L"abcabc", L"x", 0, false, false, -1},
        {L"abc", L"", 2, false, false, 2},
        {L"abc", L"a", 4, false, false, -1},
        {L"abcabc", L"bc", -1, false, true, 4},
        {L"abcabc", L"bc", 5, false, true, 1},   // wholly inside the first 5 units
        {L"abcabc", L"bc", 6, false, true, 4},
        {L"abcabc", L"bc", 7, false, true, -1},
        {L"ÄäA", L"a", 0, true, false, 2},        // only ASCII letters fold
    };
    for (auto& c : cases)
        EXPECT_EQ(CWString(c.text).FindText(c.what, c.start, c.nocase, c.fromEnd), c.want)
            << c.text << " / " << c.what << " @" << c.start;
}

TEST(CWString, ReplaceDoesNotRescan) {
    struct { const wchar_t* text; const wchar_t* find; const wchar_t* with; int start; int max; bool nocase; const wchar_t* want; int count; } cases[] = {
        {L"aaa", L"a", L"aa", 0, -1, false, L"aaaaaa", 3},
        {L"abab", L"ab", L"b", 0, -1, false, L"bb", 2},
        {L"abab", L"ab", L"x", 1, -1, false, L"abx", 1},
        {L"abab", L"ab", L"x", 0, 1, false, L"xab", 1},
        {L"abab", L"ab", L"x", 0, 0, false, L"abab", 0},
        {L"ABab", L"ab", L"x", 0, -1, true, L"xx", 2},
        {L"ab", L"", L"x", 0, -1, false, L"ab", 0},
        {L"ab", L"abc", L"x", 0, -1, false, L"ab", 0},
    };
    for (auto& c : cases) {
        CWString s(c.text);
        EXPECT_EQ(s.Replace(c.find, c.with, c.start, c.max, c.nocase), c.count) << c.text;
        EXPECT_EQ(s, c.want) << c.text;
    }
}

// Replace copies the text between hits in whole blocks; the result is the unit-by-unit copy's.
TEST(CWString, ReplaceAgreesWithAUnitByUnitCopy) {
    auto unitByUnit = [](const std::wstring& text, const std::wstring& find, const std::wstring& with, int start, int max,
                         bool nocase) {
        if (find.empty() || find.size() > text.size() || max == 0) return std::make_pair(text, 0);
        start = std::max(start, 0);
        if (start >= int(text.size())) return std::make_pair(text, 0);
        std::wstring out = text.substr(0, size_t(start));
        int count = 0;
        for (size_t i = size_t(start); i < text.size();) {
            if ((max < 0 || count < max) && i + find.size() <= text.size() &&
                (nocase ? EqualsNoCase(std::wstring_view(text).substr(i, find.size()), find) : text.compare(i, find.size(), find) == 0)) {
                out += with;
                i += find.size();
                ++count;
            } else {
                out += text[i++];
            }
        }
        return std::make_pair(count ? out : text, count);
    };
    std::mt19937 rng(13);
    const wchar_t* finds[] = {L"a", L"ab", L"aA", L"aaa", L"b", L"Ab"};
    const wchar_t* withs[] = {L"", L"x", L"aa", L"ABAB"};
    for (int k = 0; k < 2000; ++k) {
        std::wstring text(rng() % 30, L' ');
        for (auto& c : text) c = L"aAb"[rng() % 3];
        const std::wstring find = finds[rng() % std::size(finds)], with = withs[rng() % std::size(withs)];
        const int start = int(rng() % 34) - 2, max = int(rng() % 5) - 1;
        const bool nocase = rng() % 2;
        CWString s(text);
        const int count = s.Replace(find, with, start, max, nocase);
        const auto want = unitByUnit(text, find, with, start, max, nocase);
        ASSERT_EQ(std::wstring(s), want.first) << text << " / " << find << " @" << start << " max " << max;
        ASSERT_EQ(count, want.second) << text << " / " << find;
    }
}

TEST(CWString, TrimsSlicesAndNumbers) {
    CWString s(L"\u3000 \t x y \r\n");
    EXPECT_EQ(CWString(s).TrimLeft(), L"x y \r\n");
    EXPECT_EQ(CWString(s).TrimRight(), L"\u3000 \t x y");
    EXPECT_EQ(CWString(L"\u00A0x").TrimAll(), L"\u00A0x") << "no-break space is not a platform blank";
    EXPECT_EQ(CWString(L"abcdef").Mid(2, 3), L"cde");
    EXPECT_EQ(CWString(L"abcdef").Mid(4, 10), L"ef");
    EXPECT_EQ(CWString(L"abcdef").Mid(9, 1), L"");
    EXPECT_EQ(CWString(L"abc").Left(5), L"abc");
    EXPECT_EQ(CWString(L"abc").Right(2), L"bc");
    EXPECT_EQ(CWString(L"AbÄ").MakeLower(), L"abÄ");
    EXPECT_EQ(CWString::Repeat(L"ab", 3), L"ababab");
    EXPECT_EQ(CWString::Repeat(L"ab", -1), L"");
    struct { double v; const wchar_t* want; } nums[] = {
        {0.1, L"0.1"}, {1e20, L"1E+20"}, {-3, L"-3"}, {0.7, L"0.7"}, {123456789012345678.0, L"1.23456789012346E+17"}};
    for (auto& n : nums) EXPECT_EQ(CWString::FromNumber(n.v), n.want);
    EXPECT_EQ(WideTextToInt(L"  -42abc"), -42);
    EXPECT_EQ(WideTextToInt(L"x1"), 0);
}

TEST(CWString, Conversions) {
    const wchar_t* text = L"软件配置 ok \U0001F600";
    std::string utf8 = CWString(text).ToUtf8();
    EXPECT_EQ(CWString::FromUtf8(utf8), text);
    EXPECT_EQ(CWString::FromAnsiBytes("abc", 3), L"abc");
    EXPECT_EQ(CWString::FromUtf16Bytes("a\0b", 3), std::wstring(L"ab"));
}

TEST(Split, SeparatorRules) {
    CWStringArray out;
    SplitTextBySeparator(L"a, b,,c,", out, L",", true, false);
    EXPECT_EQ(out, (CWStringArray{L"a", L"b", L"", L"c", L""}));
    SplitTextBySeparator(L"a, b,,c,", out, L",", true, true);
    EXPECT_EQ(out, (CWStringArray{L"a", L"b", L"c"}));
    SplitTextBySeparator(L"", out, L",", false, false);
    EXPECT_TRUE(out.empty());
    SplitTextByAnyChar(L"a;b c", out, L"; ", false, false);
    EXPECT_EQ(out, (CWStringArray{L"a", L"b", L"c"}));
    SplitTextBySeparator(L"x\r\ny", out, L"\r\n");
    EXPECT_EQ(out, (CWStringArray{L"x", L"y"}));
}

TEST(CVolMem, HashFindMid) {
    EXPECT_EQ(CVolMem().HashCode(), 0);
    EXPECT_EQ(CVolMem("ab", 2).HashCode(), 633);
    CVolMem m("hello world", 11);
    EXPECT_EQ(m.FindBytes("o", 1), 4);
    EXPECT_EQ(m.FindBytes("o", 1, 5), 7);
    EXPECT_EQ(m.FindBytes("z", 1), -1);
    EXPECT_EQ(m.Mid(6, 100).View(), "world");
    EXPECT_TRUE(m.Mid(20, 1).IsEmpty());
}

TEST(CVolMem, FileRoundTrip) {
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    ::GetTempFileNameW(dir, L"kv", 0, path);
    std::string big(200000, 'x');
    big[12345] = 'y';
    ASSERT_TRUE(CVolMem(big).WriteToFile(path));
    EXPECT_EQ(CVolMem::ConstructFromFile(path).View(), big);
    ::DeleteFileW(path);
    EXPECT_TRUE(CVolMem::ConstructFromFile(path).IsEmpty());
}

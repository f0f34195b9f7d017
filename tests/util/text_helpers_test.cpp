#include <gtest/gtest.h>

#include <random>

#include "platform/dynapi.h"
#include "util/path_parts.h"
#include "util/text_helpers.h"

namespace {
CVolMem Bytes(std::string_view s) { return CVolMem(s.data(), s.size()); }
}  // namespace

TEST(GetTextBetween, Cases) {
    struct Case {
        const wchar_t *source, *a, *b;
        int32_t pos;
        bool endFirst, ignoreCase;
        const wchar_t* want;
        int32_t wantPos;
    } cases[] = {
        {L"a[b]c[d]", L"[", L"]", 0, false, false, L"b", 4},
        {L"a[b]c[d]", L"[", L"]", 4, false, false, L"d", 8},
        {L"a[b]c[d]", L"[", L"]", 8, false, false, L"", -2},
        {L"a[b]c[d]", L"[", L"]", -2, false, false, L"b", 4},  // a negative position starts over
        {L"Disk (C:)", L"(", L":)", 0, true, false, L"C", 9},
        {L"()", L"(", L")", 0, true, false, L"", -2},  // end-first needs a unit between the markers
        {L"()", L"(", L")", 0, false, false, L"", 2},
        {L"x<b>y</b>", L"", L"<", 5, false, false, L"x", 2},  // empty start marker ignores the position
        {L"key=value", L"=", L"", 0, false, false, L"value", 9},
        {L"<META>x</meta>", L"<meta>", L"</META>", 0, false, true, L"x", 14},
        {L"<META>x</meta>", L"<meta>", L"</META>", 0, false, false, L"", -2},
        {L"(a)(b)", L"(", L")", 3, true, false, L"b", 6},
        {L"(a) b)", L"(", L")", 1, true, false, L"", -2},  // start marker before the position
        {L"abc", L"a", L"c", 99, false, false, L"", -2},
    };
    for (const auto& c : cases) {
        int32_t pos = c.pos;
        EXPECT_EQ(GetTextBetween(c.source, c.a, c.b, pos, c.endFirst, c.ignoreCase), c.want) << c.source << " " << c.pos;
        EXPECT_EQ(pos, c.wantPos) << c.source << " " << c.pos;
    }
}

TEST(GetTextBetween, WalksAndRecordsStarts) {
    CIntArray starts;
    int32_t pos = 0;
    std::vector<CWString> got;
    for (;;) {
        CWString t = GetTextBetween(L"[1] [22] [333]", L"[", L"]", pos, false, false, &starts);
        if (pos < 0) break;
        got.push_back(t);
    }
    EXPECT_EQ(got, (std::vector<CWString>{L"1", L"22", L"333"}));
    EXPECT_EQ(starts, (CIntArray{0, 4, 9}));
}

TEST(RemoveParenthesizedPart, Cases) {
    struct { const wchar_t *in, *out; } cases[] = {
        {L"qwen2.5:7b (4.7 GB)", L"qwen2.5:7b"},
        {L"llama3 (4.7 GB)", L"llama3"},
        {L"a (x) b (x)", L"a  b"},
        {L"  name  ", L"name"},
        {L"a () b", L"a () b"},
        {L"x (a(b))", L"x )"},
        {L"\u00A0name", L"\u00A0name"},  // platform trim keeps the no-break space
        {L"", L""},
    };
    for (const auto& c : cases) {
        CWString t = c.in;
        CWString copy = RemoveParenthesizedPart(t);
        EXPECT_EQ(t, c.out) << c.in;
        EXPECT_EQ(copy, c.out) << c.in;
    }
}

TEST(TextHelpers, TrimsAndSingleCharacterEdits) {
    CWString t = L"\u00A0\u3000 x y\t\u00A0";
    TrimSpaces(t);
    EXPECT_EQ(t, L"x y");
    t = L" \u00A0 ";
    TrimSpaces(t);
    EXPECT_EQ(t, L"");
    EXPECT_EQ(TrimmedCopy(L"\u00A0a "), L"a");

    EXPECT_EQ(GetFirstChar(L""), 32);
    EXPECT_EQ(GetFirstChar(L"C:\\Windows"), 67);

    t = L"\"";
    EXPECT_EQ(RemoveTrailingChar(t, L'"'), 0);
    EXPECT_EQ(t, L"");
    t = L"ab";
    EXPECT_EQ(RemoveTrailingChar(t, L'x'), 0);
    EXPECT_EQ(t, L"ab");
    t = L"\"ab\"";
    EXPECT_EQ(RemoveLeadingChar(t, L'"'), 1);
    EXPECT_EQ(RemoveTrailingChar(t, L'"'), 1);
    EXPECT_EQ(t, L"ab");

    struct { const wchar_t *text, *prefix, *out; } prefixes[] = {
        {L"**news", L"**", L"news"}, {L"*", L"**", L"*"}, {L"x", L"", L""}, {L"abc", L"", L"c"}, {L"ab", L"xy", L"ab"},
        {L"", L"**", L""},
    };
    for (const auto& c : prefixes) {
        CWString s = c.text;
        RemoveTwoCharPrefix(s, c.prefix);
        EXPECT_EQ(s, c.out) << c.text << " " << c.prefix;
    }
}

TEST(MatchKeywords, Modes) {
    struct Case {
        const wchar_t *text, *keys;
        int32_t mode;
        const wchar_t* combos;
        int32_t want, wantPos;
        const wchar_t* wantMatched;
    } cases[] = {
        {L"Error 401: invalid authentication", L"401|Invalid Authentication", 1, L"", 1, 11, L"Invalid Authentication"},
        {L"Error 401: invalid authentication", L"401|quota", 1, L"", 0, -1, L"401"},
        {L"DeepSeek-R1", L"deepseek", 2, L"", 0, 77, L""},
        {L"DeepSeek-R1", L"deepseek-r1", 2, L"", 1, 77, L"deepseek-r1"},
        {L"DeepSeek-R1", L"deepseek", 0, L"", 1, 0, L"deepseek"},
        {L"DeepSeek-R1", L"gpt|r1", 0, L"", 1, 9, L"r1"},
        {L"DeepSeek-R1", L"gpt|claude", 0, L"", 0, -1, L""},
        {L"DeepSeek-R1", L"gpt|claude", 7, L"", 0, -1, L""},  // unknown modes act as mode 0
        {L"xx by yy", L" a | | b ", 0, L"x|y", 1, 3, L"by"},  // ax, ay, bx, by
        {L"anything", L"", 1, L"", 0, 77, L""},
        {L"anything", L" | ", 0, L"", 0, 77, L""},
    };
    for (const auto& c : cases) {
        int32_t pos = 77;
        CWString matched;
        EXPECT_EQ(MatchKeywords(c.text, c.keys, c.mode, c.combos, L"|", pos, &matched), c.want) << c.text << " " << c.keys;
        EXPECT_EQ(pos, c.wantPos) << c.text << " " << c.keys;
        EXPECT_EQ(matched, c.wantMatched) << c.text << " " << c.keys;
    }
}

TEST(MatchKeywords, CombinationOrderIsKeywordMajor) {
    int32_t pos = 0;
    CWString matched;
    // Only the last combination occurs, so every one before it is tried first.
    EXPECT_EQ(MatchKeywords(L"__by__", L"a|b", 0, L"x|y", L"|", pos, &matched), 1);
    EXPECT_EQ(matched, L"by");
    EXPECT_EQ(MatchKeywords(L"ax ay bx by", L"a|b", 1, L"x|y", L"|", pos, &matched), 1);
    EXPECT_EQ(matched, L"by");
    EXPECT_EQ(pos, 9);
}

TEST(ReplaceText, Cases) {
    EXPECT_EQ(ReplaceText(L"a-b-c-d", L"-", L"+"), L"a+b+c+d");
    EXPECT_EQ(ReplaceText(L"a-b-c-d", L"-", L"+", 2, 1), L"a-b+c-d");
    EXPECT_EQ(ReplaceText(L"aaa", L"a", L"aa"), L"aaaaaa");  // replacements are not rescanned
    EXPECT_EQ(ReplaceText(L"Aa", L"a", L"x"), L"Ax");
    EXPECT_EQ(ReplaceText(L"abc", L"", L"x"), L"abc");
}

TEST(ReplaceAllFast, Cases) {
    struct { const wchar_t *text, *search, *with, *want; } cases[] = {
        {L"aaa", L"aa", L"X", L"XX"},
        {L"***", L"**", L"#", L"##"},
        {L"Hello HELLO", L"hello", L"hi", L"hi hi"},
        {L"<THINK>x</think>", L"<think>", L"", L"x</think>"},
        {L"a**b**c", L"**", L"", L"abc"},
        {L"abc", L"", L"X", L"abc"},
        {L"abc", L"x", L"X", L"abc"},
        {L"", L"a", L"X", L""},
        {L"### title\n### two", L"### ", L"", L"title\ntwo"},
        {L"Ä ä", L"ä", L"-", L"Ä -"},  // only ASCII letters fold
        {L"xaaay", L"aa", L"", L"xy"},
        {L"abcabd", L"abd", L"!", L"abc!"},
        // Overlaps, case and replacements that hold the search text.
        {L"aaaa", L"aa", L"X", L"XXX"},
        {L"aAa", L"AA", L"b", L"bb"},
        {L"abab", L"ab", L"abab", L"abababab"},
        {L"aaa", L"aa", L"aaa", L"aaaaaa"},
        {L"xAbCx", L"abc", L"ABC", L"xABCx"},
        {L"[a]", L"[", L"", L"a]"},
        {L"aa", L"aaa", L"X", L"aa"},
        // Shorter replacements are written over the text itself: what they leave must not be
        // searched again.
        {L"abXab", L"ab", L"a", L"aXa"},
        {L"aab", L"AB", L"b", L"ab"},
        {L"**x**y*", L"**", L"*", L"*x*y*"},
        // Hits rewritten in place before the first overlap, the rest rebuilt after it.
        {L"ab**c***d**", L"**", L"-", L"ab-c--d-"},
        {L"xABAxabababy", L"aba", L"", L"xxby"},
    };
    for (const auto& c : cases) {
        CWString t = c.text;
        ReplaceAllFast(t, c.search, c.with);
        EXPECT_EQ(t, c.want) << c.text << " / " << c.search;
    }
}

TEST(ReplaceAllFast, AgreesWithAPlainLoopOnRandomText) {
    // Every hit, overlapping ones too, is replaced; a hit inside the last one adds its replacement.
    auto plain = [](const std::wstring& text, const std::wstring& search, const std::wstring& with) {
        std::wstring lower = text, key = search, out;
        for (auto& ch : lower) ch = AsciiLower(ch);
        for (auto& ch : key) ch = AsciiLower(ch);
        size_t c = 0;
        for (size_t p = lower.find(key); p != std::wstring::npos; p = lower.find(key, p + 1)) {
            if (p > c) out.append(text, c, p - c);
            out += with;
            c = p + key.size();
        }
        if (c < text.size()) out.append(text, c, std::wstring::npos);
        return out;
    };
    std::mt19937 rng(11);
    const wchar_t* searches[] = {L"a", L"aa", L"*", L"**", L"a*a", L"aBa", L"abab", L"b*"};
    const wchar_t* withs[] = {L"", L"-", L"xy", L"AAA", L"aa"};
    for (int k = 0; k < 400; ++k) {
        std::wstring text(rng() % 40, L' ');
        for (auto& ch : text) ch = L"aAb*"[rng() % 4];
        const std::wstring search = searches[rng() % std::size(searches)], with = withs[rng() % std::size(withs)];
        CWString t = text;
        ReplaceAllFast(t, search, with);
        ASSERT_EQ(std::wstring(t), plain(text, search, with)) << text << " / " << search << " / " << with;
    }
    // Long search texts with borders: overlapping hits, hits that only touch, and runs of a search
    // text's own prefix that fail only at its last unit.
    const std::wstring as(65, L'a'), aba = L"a" + std::wstring(64, L'b') + L"a";
    std::wstring abab, aab;
    for (int i = 0; i < 400; ++i) abab += L"ab", aab += L"aab";
    const struct { std::wstring text, search; } longCases[] = {
        {std::wstring(140, L'a'), as},
        {L"x" + std::wstring(130, L'A') + L"y" + as, as},
        {aba + L"x" + aba, aba},
        {aba + aba.substr(1), aba},
        {std::wstring(3000, L'a'), std::wstring(300, L'a') + L"b"},
        {std::wstring(3000, L'a') + L"b" + std::wstring(400, L'a') + L"b", std::wstring(300, L'A') + L"b"},
        {abab + L"c" + abab + L"abc", abab.substr(0, 150) + L"c"},
        {aab + aab, aab.substr(0, 200)},
        {aab + L"a" + aab, aab.substr(0, 301)},
    };
    for (const auto& c : longCases) {
        for (const std::wstring& with : {std::wstring(L"-"), c.search + L"!"}) {
            CWString t = c.text;
            ReplaceAllFast(t, c.search, with);
            EXPECT_EQ(std::wstring(t), plain(c.text, c.search, with)) << c.text.size() << " " << c.search.size();
        }
    }
}

TEST(JoinTextArray, Modes) {
    rg_WenBenShuZuLei items{L"a", L"", L"b"};
    EXPECT_EQ(JoinTextArray(items, L",", 0), L"a,b");
    EXPECT_EQ(JoinTextArray(items, L",", 1), L"a,,b");
    EXPECT_EQ(JoinTextArray(items, L",", 0, false, nullptr, L"<", L">"), L"<a><>,<b>");
    EXPECT_EQ(JoinTextArray(rg_WenBenShuZuLei{L"", L"a"}, L",", 0), L"a");
    rg_WenBenShuZuLei files{L"C:\\d\\one.txt", L"two.tar.gz"};
    EXPECT_EQ(JoinTextArray(files, L"\r\n", 1, true), L"one\r\ntwo.tar");
    rg_WenBenShuZuLei choices{L";"};
    EXPECT_EQ(JoinTextArray(items, L",", 1, false, &choices), L"a;;b");
    rg_WenBenShuZuLei two{L"+", L"-"};
    CWString mixed = JoinTextArray(rg_WenBenShuZuLei(50, L"x"), L",", 1, false, &two);
    EXPECT_EQ(mixed.size(), 99u);
    EXPECT_EQ(mixed.find(L','), std::wstring::npos);
}

TEST(FormatDuration, Units) {
    struct { int64_t ms; const wchar_t* want; } cases[] = {
        {500, L"500 毫秒"},        {1500, L"1.5 秒"},      {59999, L"60 秒"},          {90000, L"1.5 分"},
        {3600000, L"1 小时"},      {86400000, L"1 天"},    {2592000000LL, L"1 月"},    {31104000000LL, L"1 年"},
        {0, L"0 毫秒"},            {-5, L"-5 毫秒"},       {1234, L"1.23 秒"},         {1235, L"1.24 秒"},
        {62208000000LL, L"2 年"},  {999, L"999 毫秒"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDuration(c.ms), c.want) << c.ms;
}

TEST(TextHelpers, SmallValues) {
    EXPECT_EQ(FormatZeroPadded(7, 2), L"07");
    EXPECT_EQ(FormatZeroPadded(0, 3), L"000");
    EXPECT_EQ(FormatZeroPadded(2024, 2), L"2024");
    EXPECT_EQ(FormatZeroPadded(59, 0), L"59");
    EXPECT_EQ(MakeRecordSeparatorText(), std::wstring(1, wchar_t(30)));
    EXPECT_EQ(uint32_t(MakeLongFromWords(0x12345, 0x6789A)), 0x789A2345u);
    EXPECT_EQ(uint32_t(MakeLongFromWords(-1, 0)), 0xFFFFu);
    EXPECT_DOUBLE_EQ(RoundToDecimals(2.345, 2), 2.35);
    EXPECT_DOUBLE_EQ(RoundToDecimals(-2.5, 0), -3);
    for (int i = 0; i < 200; ++i) {
        int32_t r = RandomInRange(5, 3);
        EXPECT_TRUE(r >= 3 && r <= 5);
    }
}

namespace {
int gKeyCalls = 0;
SHORT WINAPI FakeKeyPressedBetween(int) { return ++gKeyCalls == 2 ? SHORT(1) : SHORT(0); }
SHORT WINAPI FakeKeyPressedEarlier(int) { return ++gKeyCalls == 1 ? SHORT(1) : SHORT(0); }
}  // namespace

TEST(TextHelpers, IsKeyDownUsesTheSecondQuery) {
    auto saved = DynamicApiTable.GetAsyncKeyState;
    gKeyCalls = 0;
    DynamicApiTable.GetAsyncKeyState = FakeKeyPressedBetween;
    EXPECT_EQ(IsKeyDown(VK_CONTROL), 1);
    gKeyCalls = 0;
    DynamicApiTable.GetAsyncKeyState = FakeKeyPressedEarlier;  // a stale press report is used up
    EXPECT_EQ(IsKeyDown(VK_CONTROL), 0);
    EXPECT_EQ(gKeyCalls, 2);
    DynamicApiTable.GetAsyncKeyState = saved;
}

TEST(ByteBlocks, SubBytes) {
    CVolMem ten = Bytes("0123456789");
    struct { int32_t start, count; const char* want; } cases[] = {
        {0, 4, "0123"}, {8, 5, "89"}, {10, 1, ""}, {-1, 2, ""}, {3, -1, ""}, {9, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SubBytes(ten, c.start, c.count).View(), std::string_view(c.want)) << c.start << "," << c.count;
    EXPECT_TRUE(SubBytes(CVolMem(), 0, 1).IsEmpty());
}

TEST(ByteBlocks, FindBytesFrom) {
    CVolMem text = Bytes("abcabc"), bc = Bytes("bc");
    struct { int32_t offset, want; } cases[] = {{6, 4}, {5, 1}, {2, -1}, {3, 1}, {100, 4}, {-1, -1}};
    for (const auto& c : cases) EXPECT_EQ(FindBytesFrom(text, bc, c.offset), c.want) << c.offset;
    EXPECT_EQ(FindBytesFrom(text, CVolMem(), 6), -1);
    EXPECT_EQ(FindBytesFrom(bc, text, 6), -1);
}

TEST(ByteBlocks, HashBytes) {
    struct { std::string_view bytes; int64_t want; } cases[] = {
        {"ab", 7039}, {"ba", 7101}, {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(HashBytes(Bytes(c.bytes)), c.want) << c.bytes;
    // Products of a byte and its position wrap in 32 bits and sign-extend.
    std::string big(70000, '\xFF');
    CVolMem block = Bytes(big);
    uint64_t h = 0;
    for (size_t i = 1; i <= big.size(); ++i) h = h * 31 + uint64_t(int64_t(int32_t(uint32_t(255) * uint32_t(i))));
    EXPECT_EQ(HashBytes(block), int64_t(uint64_t(int64_t(block.HashCode())) + big.size() * h));
    EXPECT_NE(HashBytes(Bytes("abc")), HashBytes(Bytes("acb")));
}

TEST(PathParts, Cases) {
    struct { const wchar_t* path; int32_t slash; const wchar_t *parent, *leaf; } cases[] = {
        {L"C:\\dir\\file.txt", 0, L"C:\\dir", L"file.txt"},
        {L"file.txt", 0, L"", L"file.txt"},
        {L"C:\\dir\\", 0, L"C:\\dir", L""},
        {L"https://host/a/b.svg", 1, L"https://host/a", L"b.svg"},
        {L"https://host/a/b.svg", 0, L"", L"https://host/a/b.svg"},
        {L"", 1, L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetParentPath(c.path, c.slash), c.parent) << c.path;
        EXPECT_EQ(GetPathLeaf(c.path, c.slash), c.leaf) << c.path;
    }
    struct { const wchar_t *path, *title; } titles[] = {
        {L"C:\\d\\a.b.txt", L"a.b"}, {L"C:\\d.x\\readme", L"readme"}, {L"noext", L"noext"}, {L".hidden", L""},
        {L"C:/a/b.txt", L"C:/a/b"},
    };
    for (const auto& c : titles) EXPECT_EQ(GetFileTitle(c.path), c.title) << c.path;
}

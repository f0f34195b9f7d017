#include <gtest/gtest.h>

#include "util/escape.h"
#include "util/html_entities.h"

TEST(Escape, DecodePercent) {
    struct { const wchar_t* in; const wchar_t* want; } cases[] = {
        {L"100%", L"100%"},
        {L"%4", L"%4"},
        {L"%41%42", L"AB"},
        {L"%zz", L"%zz"},
        {L"%E4%B8%AD%41", L"中A"},
        {L"a%20b", L"a b"},
        {L"中%41", L"中A"},
        {L"%e4%b8%ad", L"中"},
        {L"%FF", L"\uFFFD"},
        {L"%E4%B8", L"\uFFFD"},
        {L"\U0001F600%41", L"\U0001F600A"},  // a surrogate pair is one character
        {L"x\xD800y", L"x\uFFFDy"},           // a lone surrogate has no UTF-8 form
        {L"", L""},
    };
    for (auto& c : cases) {
        CWString s(c.in);
        DecodePercentEscapes(s);
        EXPECT_EQ(s, c.want) << c.in;
    }
}

TEST(Escape, ForJson) {
    struct { const wchar_t* in; int all; const wchar_t* want; } cases[] = {
        {L"A", 1, L"\\u0041"},
        {L"\"", 1, L"\\u0022"},
        {L"中", 1, L"\\u4E2D"},
        {L"\r\n", 1, L"\\u000D\\u000A"},
        {L"\"", 0, L"\\\""},
        {L"x/y", 0, L"x\\/y"},
        {L"[1]", 0, L"\\[1\\]"},
        {L"{'a'}\\", 0, L"\\{\\'a\\'\\}\\\\"},
        {L"é", 0, L"\\u00E9"},
        {L"a\r\nb", 0, L"a\\nb"},
        {L"a\rb", 0, L"a\\rb"},
        {L"a\r", 0, L"a\\r"},
        {L"a\nb\tc", 0, L"a\\nb\\tc"},
        {L"\a", 0, L"\a"},
        {L"plain text 123", 0, L"plain text 123"},
        {L"", 1, L""},
    };
    for (auto& c : cases) {
        CWString in(c.in);
        EXPECT_EQ(EscapeForJson(in, c.all), c.want) << c.in << " all=" << c.all;
        EXPECT_EQ(in, c.in) << "the copying form leaves its argument";
        EscapeForJsonInPlace(in, c.all);
        EXPECT_EQ(in, c.want);
    }
}

// Mode 0: backslash escapes; mode 1: HTML references; other modes: numeric references only.
TEST(Escape, DecodeByMode) {
    struct { const wchar_t* in; int mode; const wchar_t* want; } cases[] = {
        {L"a\\nb", 0, L"a\r\nb"},
        {L"\\r\\n", 0, L"\r\n"},
        {L"\\r", 0, L"\r"},
        {L"\\rx", 0, L"\rx"},
        {L"\\t", 0, L"\t"},
        {L"\\u4e2d", 0, L"中"},
        {L"%u4E2D", 0, L"中"},
        {L"\\u0041BC", 0, L"ABC"},
        {L"\\q\\U", 0, L"qU"},
        {L"\\\"\\\\\\/", 0, L"\"\\/"},
        {L"end\\", 0, L"end\\"},
        {L"\\u12", 0, L"\\u12"},
        {L"\\uzzzz", 0, L"\\uzzzz"},  // not hexadecimal: left as written
        {L"100%", 0, L"100%"},
        {L"%41", 0, L"%41"},          // only %u is an escape here
        {L"%", 0, L"%"},
        {L"&amp;", 0, L"&amp;"},
        {L"&amp;", 1, L"&"},
        {L"a &lt;b&gt; &quot;c&quot;", 1, L"a <b> \"c\""},
        {L"&#65;", 1, L"A"},
        {L"&#65", 1, L"A"},
        {L"&#6x;", 1, L"&#6x;"},
        {L"&#;", 1, L"&#;"},
        {L"&#x4E2D;", 1, L"中"},
        {L"&#x41;bc", 1, L"Abc"},       // short hexadecimal references end at their ";"
        {L"&#x41", 1, L"A"},
        {L"&#x1F600;", 1, L"\U0001F600"},
        {L"&#128512;", 1, L"\U0001F600"},
        {L"&#x1234567;", 1, L"&#x1234567;"},
        {L"&#x110000;", 1, L"&#x110000;"},
        {L"&#xZZ;", 1, L"&#xZZ;"},
        {L"&#x;", 1, L"&#x;"},
        {L"&#X41;", 1, L"&#X41;"},
        {L"&nosuch;", 1, L"&nosuch;"},
        {L"&nosuch", 1, L"&nosuch;"},
        {L"& x", 1, L"& x"},
        {L"&", 1, L"&"},
        {L"&;", 1, L"&;"},
        {L"&emsp;&nbsp;&ring;&rdquo;", 1, L"\u3000 \u00C5\u201D"},
        {L"&AMP;", 1, L"&AMP;"},  // names are case-sensitive
        {L"&#65;", 2, L"A"},
        {L"&amp;", 2, L"&amp;"},
        {L"&#x4E2D;", 2, L"中"},
        {L"\\n", 1, L"\\n"},
    };
    for (auto& c : cases) {
        CWString s(c.in);
        DecodeEscapes(s, c.mode);
        EXPECT_EQ(s, c.want) << c.in << " mode " << c.mode;
    }
}

TEST(Escape, EntityTable) {
    EXPECT_EQ(std::count(gHtmlEntityList.begin(), gHtmlEntityList.end(), L'\n'), 101);
    EXPECT_EQ(gHtmlEntityList.find(L"&emsp; &#12288;\r\n"), 0u);
    EXPECT_TRUE(gHtmlEntityList.ends_with(L"&rdquo; &#8221;"));
}

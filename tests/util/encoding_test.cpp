#include <gtest/gtest.h>

#include "platform/win.h"
#include "util/encoding.h"
#include "support/hex.h"

namespace {
CVolMem Bytes(std::string_view s) { return CVolMem(s.data(), s.size()); }
// A literal with its embedded zero bytes.
template <size_t N> CVolMem Lit(const char (&s)[N]) { return CVolMem(s, N - 1); }
CWString SystemAnsiName() { return GetCharsetNameForCodePage(int32_t(::GetACP())); }
CVolMem Utf16(std::wstring_view t) { return CVolMem::ConstructFromText(t); }

struct TempFile {
    std::wstring path;
    TempFile(const wchar_t* name, const CVolMem& content) {
        wchar_t dir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, dir);
        path = std::wstring(dir) + name;
        content.WriteToFile(path);
    }
    ~TempFile() { ::DeleteFileW(path.c_str()); }
};
}  // namespace

TEST(Encoding, CodePageListAndNames) {
    EXPECT_EQ(gCodePageList.substr(0, 2), L"\r\n");
    EXPECT_NE(gCodePageList.find(L"\r\n65001,utf-8,Unicode (UTF-8) \r\n"), std::wstring::npos);
    struct { int32_t cp; const wchar_t* name; } cases[] = {
        {936, L"GBK"}, {65001, L"UTF-8"}, {1252, L"ISO-8859-1"}, {708, L"ASMO-708"}, {437, L""}, {1, L""}, {93, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetCharsetNameForCodePage(c.cp), c.name) << c.cp;

    struct { const wchar_t* name; const char* bom; } boms[] = {
        {L"utf-8", "EF BB BF"}, {L"UTF-16", "FF FE"}, {L"utf-16le", "FF FE"}, {L"UTF-16BE", "FE FF"}, {L"GBK", ""},
    };
    for (const auto& c : boms) EXPECT_EQ(Hex(GetBomBytes(c.name)), c.bom) << c.name;

    EXPECT_EQ(ListContains(L"B", L" a | B ||c", L"|"), 1);
    EXPECT_EQ(ListContains(L"b", L"a|B", L"|"), 0);
    EXPECT_EQ(ListContains(L"", L"a||b", L"|"), 0);
}

TEST(Encoding, LooksLikeUtf8) {
    struct { std::string_view bytes; int32_t want; } cases[] = {
        {"abc", 0},
        {"", 0},
        {"\xE4\xB8\xAD", 1},
        {"\xE4\xB8\xAD\x80", 0},  // one valid, one stray
        {"\xF0\x9F\x98\x80", 0},  // four-byte sequences count as stray bytes
        {"a\xC3\xA9", 1},
        {"\xE4\xB8\xAD\xE6\x96\x87\xFF", 1},
        {"\xC3", 0},  // truncated
        {"\xE9t\xE9", 0},  // Latin-1
    };
    for (const auto& c : cases) EXPECT_EQ(LooksLikeUtf8(Bytes(c.bytes)), c.want) << Hex(Bytes(c.bytes));
}

TEST(Encoding, DetectTextEncoding) {
    const CWString ansi = SystemAnsiName();
    const CWString fallback = ansi.empty() ? CWString(L"GBK") : ansi;
    struct Case {
        std::string_view bytes;
        int32_t isHtml;
        const wchar_t* defaultName;
        CWString want;
        int32_t wantBom;
    } cases[] = {
        {"\xEF\xBB\xBF" "A", 0, L"", L"UTF-8", 3},
        {"\xFF\xFE" "A\0", 0, L"", L"UTF-16", 2},
        {"\xFE\xFF\0A", 0, L"", L"UTF-16BE", 2},
        {std::string_view("A\0B\0", 4), 0, L"", L"UTF-16", -1},
        {std::string_view("\0A", 2), 0, L"", L"UTF-16BE", -1},
        {std::string_view("\0\0", 2), 0, L"", L"UTF-16", -1},  // the second byte is tested first
        {"A", 0, L"", fallback, -1},
        {"A", 0, L"big5", L"big5", -1},
        {"", 0, L"", fallback, -1},
        {"\xE4\xB8\xAD", 0, L"big5", L"UTF-8", -1},
        {"<meta charset=\"GB2312\">\xE4\xB8\xAD", 1, L"", L"UTF-8", -1},
        {"<META CHARSET='gb2312'>\xD6\xD0", 1, L"", L"gb2312", -1},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", 1, L"", L"big5", -1},
        {"<meta charset=\"GB2312\">\xE4\xB8\xAD", 0, L"", L"UTF-8", -1},
    };
    for (const auto& c : cases) {
        int32_t bom = -1;
        EXPECT_EQ(DetectTextEncoding(Bytes(c.bytes), c.isHtml, bom, c.defaultName), c.want) << Hex(Bytes(c.bytes));
        EXPECT_EQ(bom, c.wantBom) << Hex(Bytes(c.bytes));
    }
}

TEST(Encoding, HtmlMetaCharset) {
    struct { const wchar_t *page, *want; } cases[] = {
        {L"<html><meta name=x><META charset=\"utf-8\"></html>", L"utf-8"},
        {L"<meta charset='koi8-r'>", L"koi8-r"},
        {L"<meta content=\"text/html; charset=gbk\">", L"gbk"},
        {L"<meta charset=utf-8>", L""},  // unquoted and no double quote after it
        {L"<p>no meta</p>", L""},
        {L"<meta charset=\"\"><meta charset=\"big5\">", L"big5"},
        {L"<meta", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetHtmlMetaCharset(c.page), c.want) << c.page;
}

TEST(Encoding, InPlaceConverters) {
    struct { void (*fn)(CVolMem&); std::string_view in; const char* out; } cases[] = {
        {SwapUtf16ByteOrder, std::string_view("A\0B", 3), "00 41 00"},
        {SwapUtf16ByteOrder, std::string_view("A\0B\0", 4), "00 41 00 42"},
        {SwapUtf16ByteOrder, "", ""},
        {AnsiToUtf16Bytes, "AB", "41 00 42 00"},
        {AnsiToUtf16Bytes, std::string_view("\0AB", 3), ""},
        {AnsiToUtf16Bytes, std::string_view("A\0B", 3), "41 00"},
        {Utf8ToUtf16Bytes, "\xE4\xB8\xAD" "a", "2D 4E 61 00"},
        {Utf8ToUtf16Bytes, "\xF0\x9F\x98\x80", "3D D8 00 DE"},
        {Utf8ToUtf16Bytes, std::string_view("a\0b", 3), "61 00"},
        {Utf8ToUtf16Bytes, "\xFF", "FD FF"},
        {Utf16ToUtf8Bytes, std::string_view("\x2D\x4E" "a\0", 4), "E4 B8 AD 61"},
        {Utf16ToUtf8Bytes, std::string_view("a\0\0\0b\0", 6), "61"},
        {Utf16ToUtf8Bytes, std::string_view("a", 1), "61"},  // an odd last byte pairs with zero
        {Utf16ToAnsiBytes, std::string_view("A\0B\0", 4), "41 42"},
    };
    for (const auto& c : cases) {
        CVolMem m = Bytes(c.in);
        c.fn(m);
        EXPECT_EQ(Hex(m), c.out) << Hex(Bytes(c.in));
    }
}

TEST(Encoding, ConvertEncoding) {
    const CWString g = SystemAnsiName();
    struct Case {
        std::string_view in;
        const wchar_t *source, *target;
        int32_t skip;
        const wchar_t* ansi;
        const char* out;
        const wchar_t *sourceAfter, *targetAfter;
    } cases[] = {
        {"\xEF\xBB\xBF" "A", L"utf-8", L"UTF-8", 3, L"", "41", L"utf-8", L"UTF-8"},
        {"A", L"UTF8", L"UTF-8", 0, L"", "41", L"UTF-8", L"UTF-8"},
        {"A", L"UTF-8", L"UTF-16BE", 0, L"", "00 41", L"UTF-8", L"UTF-16BE"},
        {std::string_view("\0A", 2), L"UTF-16BE", L"UTF-8", 0, L"", "41", L"UTF-16BE", L"UTF-8"},
        {"\xEF\xBB\xBF\xE4\xB8\xAD", L"UTF-8", L"UTF-16", 3, L"", "2D 4E", L"UTF-8", L"UTF-16"},
        {std::string_view("\xFF\xFE" "A\0", 4), L"UTF-16LE", L"UTF-16", 2, L"", "41 00", L"UTF-16LE", L"UTF-16"},
        // Charsets beyond ANSI and UTF go through their code pages.
        {"\xD6\xD0\xCE\xC4", L"gbk", L"UTF-16", 0, L"", "2D 4E 87 65", L"gbk", L"UTF-16"},
        {"\xD6\xD0", L"GB2312", L"UTF-8", 0, L"", "E4 B8 AD", L"GB2312", L"UTF-8"},
        {"\xA4\xA4", L"big5", L"UTF-16", 0, L"", "2D 4E", L"big5", L"UTF-16"},
        {"\xC1", L"koi8-r", L"UTF-16BE", 0, L"", "04 30", L"koi8-r", L"UTF-16BE"},
        {"xx\xD6\xD0", L"ANSI", L"UTF-16", 2, L"gbk", "2D 4E", L"gbk", L"UTF-16"},
        {std::string_view("\x2D\x4E", 2), L"UTF-16", L"ANSI", 0, L"GBK", "D6 D0", L"UTF-16", L"GBK"},
        // An unknown charset gives an empty result.
        {"abc", L"no-such-charset", L"UTF-16", 0, L"", "", L"no-such-charset", L"UTF-16"},
        {"abc", L"UTF-8", L"x-unknown", 0, L"", "", L"UTF-8", L"x-unknown"},
    };
    for (const auto& c : cases) {
        CVolMem m = Bytes(c.in);
        CWString s = c.source, t = c.target;
        ConvertEncoding(m, s, t, c.skip, c.ansi);
        EXPECT_EQ(Hex(m), c.out) << Hex(Bytes(c.in)) << " " << c.source << "->" << c.target;
        EXPECT_EQ(s, c.sourceAfter);
        EXPECT_EQ(t, c.targetAfter);
    }

    // Wine lacks code page 54936; Windows has it.
    if (::IsValidCodePage(54936)) {
        CVolMem m = Bytes("\xE4\xB8\xAD");
        CWString s = L"UTF-8", t = L"gb18030";
        ConvertEncoding(m, s, t, 0, L"");
        EXPECT_EQ(Hex(m), "D6 D0");
    }

    // "ANSI" without a caller's charset becomes the system's ANSI charset name.
    CVolMem m = Bytes("Ab");
    CWString s = L"ansi", t = L"UTF-16";
    ConvertEncoding(m, s, t, 0, L"");
    EXPECT_EQ(s, g);
    if (!g.empty()) {
        EXPECT_EQ(Hex(m), "41 00 62 00");
    }
}

TEST(Encoding, DecodeFiles) {
    TempFile withMark(L"kv_enc_utf8bom.txt", Bytes("\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87"));
    CWString enc;
    bool had = false;
    CVolMem raw;
    CVolMem data = Bytes("ignored");
    DecodeBytesToUtf16(data, withMark.path, enc, had, &raw, L"系统默认");
    EXPECT_EQ(enc, L"UTF-8");
    EXPECT_TRUE(had);
    EXPECT_EQ(Hex(data), "2D 4E 87 65");
    EXPECT_EQ(raw.GetSize(), 9u);

    struct Case {
        CVolMem content;
        const wchar_t* encoding;
        const wchar_t* ansi;
        const wchar_t* text;
        const wchar_t* encodingAfter;
        bool hadMark;
    } cases[] = {
        {Lit("\xFF\xFE" "a\0b\0"), L"", L"", L"ab", L"UTF-16", true},
        {Lit("\xFE\xFF\0a\0b"), L"", L"", L"ab", L"UTF-16BE", true},
        {Utf16(L"ab中文"), L"", L"", L"ab中文", L"UTF-16", false},
        {Lit("\xFF\xFE" "a\0"), L"utf-16le", L"", L"a", L"utf-16le", true},
        {Bytes("\xEF\xBB\xBF" "a"), L"utf-8", L"", L"a", L"utf-8", true},
        {Bytes("\xD6\xD0\xCE\xC4"), L"", L"gbk", L"中文", L"gbk", false},  // detection falls back to the given charset
        {Bytes("\xD6\xD0\xCE\xC4"), L"gbk", L"默认", L"中文", L"gbk", false},
        {Lit("a\0b"), L"UTF-8", L"", L"a", L"UTF-8", false},
    };
    for (const auto& c : cases) {
        TempFile f(L"kv_enc_case.txt", c.content);
        CWString e = c.encoding;
        bool m = !c.hadMark;
        EXPECT_EQ(DecodeBytesToText(f.path, e, m, c.ansi), c.text) << Hex(c.content);
        EXPECT_EQ(e, c.encodingAfter) << Hex(c.content);
        EXPECT_EQ(m, c.hadMark) << Hex(c.content);
    }

    CWString e;
    bool m = true;
    EXPECT_EQ(DecodeBytesToText(L"C:\\no\\such\\file.txt", e, m, L""), L"");
    EXPECT_FALSE(m);
}

#include "util/encoding.h"

#include <cstring>

#include "platform/win.h"
#include "util/text_helpers.h"

namespace {

struct CodePageEntry {
    int32_t codePage;
    const wchar_t* charset;
    const wchar_t* description;
};

constexpr CodePageEntry kCodePages[] = {
    {708, L"ASMO-708", L"阿拉伯字符 (ASMO 708)"},
    {720, L"DOS-720", L"阿拉伯字符 (DOS)"},
    {28596, L"iso-8859-6", L"阿拉伯字符 (ISO)"},
    {1256, L"windows-1256", L"阿拉伯字符 (Windows)"},
    {1257, L"windows-1257", L"波罗的海字符 (Windows)"},
    {852, L"ibm852", L"中欧字符 (DOS)"},
    {28592, L"iso-8859-2", L"中欧字符 (ISO)"},
    {1250, L"windows-1250", L"中欧字符 (Windows)"},
    {936, L"gbk", L"简体中文 (GB2312)"},
    {950, L"big5", L"繁体中文 (Big5)"},
    {862, L"DOS-862", L"希伯来字符 (DOS)"},
    {866, L"cp866", L"西里尔字符 (DOS)"},
    {874, L"windows-874", L"泰语 (Windows)"},
    {932, L"shift_jis", L"日语 (Shift-JIS)"},
    {949, L"ks_c_5601-1987", L"朝鲜语"},
    {1251, L"windows-1251", L"西里尔字符 (Windows)"},
    {1252, L"iso-8859-1", L"西欧字符"},
    {1253, L"windows-1253", L"希腊字符 (Windows)"},
    {1254, L"iso-8859-9", L"土耳其字符 (Windows)"},
    {1255, L"windows-1255", L"希伯来字符 (Windows)"},
    {1258, L"windows-1258", L"越南字符 (Windows)"},
    {20866, L"koi8-r", L"西里尔字符 (KOI8-R)"},
    {21866, L"koi8-ru", L"西里尔字符 (KOI8-U)"},
    {28595, L"iso-8859-5", L"西里尔字符 (ISO)"},
    {28597, L"iso-8859-7", L"希腊字符 (ISO)"},
    {28598, L"iso-8859-8", L"希伯来字符 (ISO-Visual)"},
    {38598, L"iso-8859-8-i", L"希伯来字符 (ISO-Logical)"},
    {50932, L"_autodetect", L"日语 (自动选择)"},
    {51932, L"euc-jp", L"日语 (EUC)"},
    {52936, L"hz-gb-2312", L"简体中文 (HZ)"},
    {65001, L"utf-8", L"Unicode (UTF-8) "},
};

constexpr int32_t kUtf16Le = 1200, kUtf16Be = 1201;

CWString BuildCodePageList() {
    CWString s = L"\r\n";
    for (const auto& e : kCodePages) {
        s.AppendInt(e.codePage);
        s.append(L",").append(e.charset).append(L",").append(e.description).append(L"\r\n");
    }
    return s;
}

CWString Upper(std::wstring_view s) {
    CWString u(s);
    u.MakeUpper();
    return u;
}

// The ANSI code page's charset name, upper-cased; empty when the list lacks it.
CWString AnsiCharsetName() { return GetCharsetNameForCodePage(int32_t(::GetACP())); }

// The code page of a charset name, for the charsets that the direct converters do not handle;
// 0 when unknown.
UINT CodePageForCharset(std::wstring_view name) {
    if (name.empty()) return 0;
    for (const auto& e : kCodePages)
        if (EqualsNoCase(name, e.charset)) return UINT(e.codePage);
    static constexpr struct { const wchar_t* name; UINT cp; } kMore[] = {
        {L"gb2312", 936}, {L"gb18030", 54936}, {L"utf-16", kUtf16Le}, {L"utf-16le", kUtf16Le}, {L"utf-16be", kUtf16Be},
    };
    for (const auto& e : kMore)
        if (EqualsNoCase(name, e.name)) return e.cp;
    return 0;
}

bool StartsWith(const CVolMem& m, std::string_view prefix) noexcept {
    return m.GetSize() >= prefix.size() && std::memcmp(m.GetPtr(), prefix.data(), prefix.size()) == 0;
}

void DropFront(CVolMem& data, int32_t skip) {
    if (skip > 0) data.Remove(0, size_t(skip));
}

// Multibyte text up to its first zero byte, to UTF-16LE bytes.
void MultiToUtf16InPlace(CVolMem& data, UINT cp) {
    const char* p = reinterpret_cast<const char*>(data.GetPtr());
    const size_t n = data.IsEmpty() ? 0 : strnlen(p, data.GetSize());
    if (n == 0 || n > size_t(INT32_MAX / 2)) {
        data.Empty();
        return;
    }
    // One byte never yields more than one UTF-16 unit, so one call with room for n units suffices.
    CVolMem out;
    out.SetSize(n * 2);
    int got = ::MultiByteToWideChar(cp, 0, p, int(n), reinterpret_cast<wchar_t*>(out.GetPtr()), int(n));
    out.SetSize(size_t(got > 0 ? got : 0) * 2);
    data = std::move(out);
}

// UTF-16LE units up to the first zero unit.
std::wstring_view Utf16UpToZero(const CVolMem& data, std::wstring& holder) {
    holder = CWString::FromUtf16Bytes(data.GetPtr(), data.GetSize());
    size_t z = holder.find(L'\0');
    return std::wstring_view(holder).substr(0, z);
}

void Utf16ToMultiInPlace(CVolMem& data, UINT cp) {
    std::wstring holder;
    std::wstring_view units = Utf16UpToZero(data, holder);
    std::string out = cp == CP_UTF8 ? WideToUtf8(units) : WideToAnsi(units);
    data.Assign(out.data(), out.size());
}

// Conversion between any two charsets with known code pages; an unknown one leaves data empty.
void ConvertByCodePages(CVolMem& data, std::wstring_view source, std::wstring_view target, int32_t skip) {
    DropFront(data, skip);
    const UINT from = CodePageForCharset(source), to = CodePageForCharset(target);
    if (!from || !to || data.IsEmpty() || data.GetSize() > size_t(INT32_MAX)) {
        data.Empty();
        return;
    }
    std::wstring text;
    if (from == kUtf16Le || from == kUtf16Be) {
        text = CWString::FromUtf16Bytes(data.GetPtr(), data.GetSize() & ~size_t(1));
        if (from == kUtf16Be)
            for (auto& u : text) u = wchar_t((u >> 8) | (u << 8));
    } else {
        const char* p = reinterpret_cast<const char*>(data.GetPtr());
        int len = ::MultiByteToWideChar(from, 0, p, int(data.GetSize()), nullptr, 0);
        if (len > 0) {
            text.resize(size_t(len));
            ::MultiByteToWideChar(from, 0, p, int(data.GetSize()), text.data(), len);
        }
    }
    data.Empty();
    if (text.empty()) return;
    if (to == kUtf16Le || to == kUtf16Be) {
        if (to == kUtf16Be)
            for (auto& u : text) u = wchar_t((u >> 8) | (u << 8));
        data.Assign(text.data(), text.size() * 2);
        return;
    }
    int len = ::WideCharToMultiByte(to, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (len <= 0) return;
    std::string out(size_t(len), '\0');
    ::WideCharToMultiByte(to, 0, text.data(), int(text.size()), out.data(), len, nullptr, nullptr);
    data.Assign(out.data(), out.size());
}

void NormaliseName(CWString& name, std::wstring_view ansiCharset, const CWString& systemAnsi) {
    CWString u = Upper(name);
    if (u == L"ANSI") name = ansiCharset.empty() ? systemAnsi : CWString(ansiCharset);
    else if (u == L"UTF8") name = L"UTF-8";
}

}  // namespace

const CWString gCodePageList = BuildCodePageList();

CVolMem GetBomBytes(std::wstring_view name) {
    CWString u = Upper(name);
    if (u == L"UTF-8") return CVolMem("\xEF\xBB\xBF", 3);
    if (u == L"UTF-16" || u == L"UTF-16LE") return CVolMem("\xFF\xFE", 2);
    if (u == L"UTF-16BE") return CVolMem("\xFE\xFF", 2);
    return {};
}

int32_t LooksLikeUtf8(const CVolMem& bytes) noexcept {
    const uint8_t* b = bytes.GetPtr();
    const size_t n = bytes.GetSize();
    size_t ascii = 0, valid = 0, invalid = 0, i = 0;
    auto cont = [&](size_t k) { return (b[k] & 0xC0) == 0x80; };
    while (i < n) {
        if (b[i] < 0x80) {
            ++ascii;
            ++i;
        } else if (i + 1 < n && (b[i] & 0xE0) == 0xC0 && cont(i + 1)) {
            ++valid;
            i += 2;
        } else if (i + 2 < n && (b[i] & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
            ++valid;
            i += 3;
        } else {
            ++invalid;
            ++i;
        }
    }
    return (ascii != n && valid > invalid) ? 1 : 0;
}

CWString GetCharsetNameForCodePage(int32_t codePage) {
    CWString start = L"\r\n";
    start.AppendInt(codePage);
    start.append(L",");
    int32_t pos = 0;
    CWString name = GetTextBetween(gCodePageList, start, L",", pos, false, true);
    name.MakeUpper();
    return name;
}

CWString GetHtmlMetaCharset(std::wstring_view page) {
    static constexpr std::wstring_view kTries[][2] = {
        {L"charset=\"", L"\""}, {L"charset='", L"'"}, {L"charset=", L"\""}};
    int32_t p = 0;
    do {
        CWString tag = GetTextBetween(page, L"<meta", L">", p, false, true);
        if (tag.empty()) continue;
        for (const auto& t : kTries) {
            int32_t q = 0;
            CWString v = GetTextBetween(tag, t[0], t[1], q, false, true);
            if (!v.empty()) return v;
        }
    } while (p >= 0);
    return {};
}

CWString DetectTextEncoding(const CVolMem& bytes, int32_t isHtml, int32_t& bomLength, std::wstring_view defaultName) {
    const size_t n = bytes.GetSize();
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        bomLength = 3;
        return L"UTF-8";
    }
    if (StartsWith(bytes, "\xFF\xFE")) {
        bomLength = 2;
        return L"UTF-16";
    }
    if (StartsWith(bytes, "\xFE\xFF")) {
        bomLength = 2;
        return L"UTF-16BE";
    }
    if (n >= 2 && bytes[1] == 0) return L"UTF-16";
    if (n >= 2 && bytes[0] == 0) return L"UTF-16BE";
    if (isHtml) {
        CWString name = GetHtmlMetaCharset(CWString::FromAnsiBytes(bytes.GetPtr(), n));
        CWString u = Upper(name);
        if ((u == L"GBK" || u == L"GB2312") && LooksLikeUtf8(bytes)) name = L"UTF-8";
        if (!name.empty()) return name;
    }
    if (LooksLikeUtf8(bytes)) return L"UTF-8";
    if (!defaultName.empty()) return CWString(defaultName);
    CWString ansi = AnsiCharsetName();
    return ansi.empty() ? CWString(L"GBK") : ansi;
}

int32_t ListContains(std::wstring_view item, std::wstring_view list, std::wstring_view separators) {
    CWStringArray pieces;
    SplitTextByAnyChar(list, pieces, separators, true, true);
    for (const auto& p : pieces)
        if (p == item) return 1;
    return 0;
}

void SwapUtf16ByteOrder(CVolMem& data) {
    const size_t n = data.GetSize();
    uint8_t* b = data.GetPtr();
    for (size_t i = 0; i + 1 < n; i += 2) std::swap(b[i], b[i + 1]);
    if (n % 2) b[n - 1] = 0;  // the unpaired last byte has no partner to trade places with
}

void AnsiToUtf16Bytes(CVolMem& data) { MultiToUtf16InPlace(data, CP_ACP); }
void Utf8ToUtf16Bytes(CVolMem& data) { MultiToUtf16InPlace(data, CP_UTF8); }
void Utf16ToAnsiBytes(CVolMem& data) { Utf16ToMultiInPlace(data, CP_ACP); }
void Utf16ToUtf8Bytes(CVolMem& data) { Utf16ToMultiInPlace(data, CP_UTF8); }

void ConvertEncoding(CVolMem& data, CWString& source, CWString& target, int32_t skip, std::wstring_view ansiCharset) {
    const CWString g = AnsiCharsetName();
    NormaliseName(source, ansiCharset, g);
    NormaliseName(target, ansiCharset, g);
    const CWString s = Upper(source), t = Upper(target);
    if (s == t) {
        if (skip != 0) DropFront(data, skip);
        return;
    }
    const CWString direct = g + L"|UTF-8|UTF-16|UTF-16LE|UTF-16BE";
    if (ListContains(s, direct, L"|") && ListContains(t, direct, L"|")) {
        DropFront(data, skip);
        if (s == g) AnsiToUtf16Bytes(data);
        else if (s == L"UTF-8") Utf8ToUtf16Bytes(data);
        else if (s == L"UTF-16BE") SwapUtf16ByteOrder(data);
        if (t == g) Utf16ToAnsiBytes(data);
        else if (t == L"UTF-8") Utf16ToUtf8Bytes(data);
        else if (t == L"UTF-16BE") SwapUtf16ByteOrder(data);
        return;
    }
    // Every other charset goes through its Windows code page.
    ConvertByCodePages(data, s, t, skip);
}

void DecodeBytesToUtf16(CVolMem& data, std::wstring_view path, CWString& encoding, bool& hadMark, CVolMem* rawCopy,
                        std::wstring_view ansiCharset) {
    CWString ansi(ansiCharset);
    if (ansi == L"系统默认" || ansi == L"默认") ansi.clear();
    if (!path.empty()) {
        data = CVolMem::ConstructFromFile(path);
        if (rawCopy) *rawCopy = data;
    }
    int32_t mark = 0;
    if (!encoding.empty()) {
        CWString u = Upper(encoding);
        if (u == L"UTF-8" && StartsWith(data, "\xEF\xBB\xBF")) mark = 3;
        else if ((u == L"UTF-16" || u == L"UTF-16LE") && StartsWith(data, "\xFF\xFE")) mark = 2;
        else if (u == L"UTF-16BE" && StartsWith(data, "\xFE\xFF")) mark = 2;
    } else {
        encoding = DetectTextEncoding(data, 0, mark, ansi);
    }
    hadMark = mark != 0;
    CWString target = L"UTF-16";
    ConvertEncoding(data, encoding, target, mark, ansi);
}

CWString DecodeBytesToText(std::wstring_view path, CWString& encoding, bool& hadMark, std::wstring_view ansiCharset) {
    CVolMem data;
    DecodeBytesToUtf16(data, path, encoding, hadMark, nullptr, ansiCharset);
    std::wstring holder;
    return CWString(Utf16UpToZero(data, holder));
}

#include "util/web_text.h"

#include "platform/win.h"

namespace kvweb {

CWString Between(std::wstring_view text, std::wstring_view start, std::wstring_view end, bool ignoreCase) {
    int a = start.empty() ? 0 : FindWText(text, start, 0, ignoreCase);
    if (a < 0) return {};
    int from = a + int(start.size());
    int b = end.empty() ? int(text.size()) : FindWText(text, end, from, ignoreCase);
    if (b < 0) return {};
    return CWString(text.substr(size_t(from), size_t(b - from)));
}

bool ContainsAnyKeyword(std::wstring_view text, std::wstring_view keywords) {
    CWStringArray words;
    SplitTextByAnyChar(keywords, words, L"|", true, true);
    for (const CWString& w : words)
        if (FindWText(text, w, 0, true) >= 0) return true;
    return false;
}

CWString ParentPath(std::wstring_view path, wchar_t separator) {
    size_t p = path.rfind(separator);
    return p == std::wstring_view::npos ? CWString() : CWString(path.substr(0, p));
}

CWString PathLeaf(std::wstring_view path, wchar_t separator) {
    size_t p = path.rfind(separator);
    return CWString(p == std::wstring_view::npos ? path : path.substr(p + 1));
}

CWString WithTrailingSlash(std::wstring_view text) {
    CWString s(text);
    if (s.empty() || s.back() != L'/') s.push_back(L'/');
    return s;
}

namespace {
int HexValue(wchar_t c) noexcept {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}
}  // namespace

void DecodePercentEscapes(CWString& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            bytes.push_back(char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            bytes += WideToUtf8(std::wstring_view(&text[i], 1));
        }
    }
    text = CWString::FromUtf8(bytes);
}

CVolMem SubBytes(const CVolMem& block, long long start, long long count) {
    if (start < 0 || count < 0 || start >= (long long)block.GetSize()) return {};
    return block.Mid(size_t(start), size_t(count));
}

namespace {

bool LooksLikeUtf8(const CVolMem& b) {
    const uint8_t* p = b.GetPtr();
    size_t n = b.GetSize(), i = 0;
    bool multi = false;
    while (i < n) {
        uint8_t c = p[i];
        size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
        if (extra == 9) return false;
        if (extra && i + extra >= n) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((p[i + k] & 0xC0) != 0x80) return false;
        multi |= extra > 0;
        i += extra + 1;
    }
    return multi;
}

CWString MetaCharset(std::wstring_view page) {
    int pos = 0;
    for (;;) {
        int a = FindWText(page, L"<meta", pos, true);
        if (a < 0) return {};
        int b = FindWText(page, L">", a + 5, false);
        if (b < 0) return {};
        std::wstring_view tag = page.substr(size_t(a + 5), size_t(b - a - 5));
        for (auto [open, close] : {std::pair(L"charset=\"", L"\""), std::pair(L"charset='", L"'"), std::pair(L"charset=", L"\"")}) {
            CWString v = Between(tag, open, close, true);
            if (!v.empty()) return v;
        }
        pos = b + 1;
    }
}

UINT CodePageOf(std::wstring_view charset) {
    CWString up(charset);
    up.MakeUpper();
    struct { const wchar_t* name; UINT cp; } table[] = {
        {L"UTF-8", CP_UTF8}, {L"UTF8", CP_UTF8}, {L"GB2312", 936}, {L"GBK", 936}, {L"GB18030", 54936},
        {L"BIG5", 950}, {L"BIG5-HKSCS", 950}, {L"SHIFT_JIS", 932}, {L"EUC-JP", 20932}, {L"EUC-KR", 949},
        {L"ISO-8859-1", 28591}, {L"WINDOWS-1252", 1252}, {L"US-ASCII", 20127}, {L"ANSI", CP_ACP},
    };
    for (auto& e : table)
        if (up == e.name) return e.cp;
    return 0;
}

}  // namespace

CWString DetectCharset(const CVolMem& b) {
    const uint8_t* p = b.GetPtr();
    size_t n = b.GetSize();
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return L"UTF-8";
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return L"UTF-16";
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return L"UTF-16BE";
    if (n >= 2 && p[1] == 0) return L"UTF-16";
    if (n >= 2 && p[0] == 0) return L"UTF-16BE";
    CWString meta = MetaCharset(CWString::FromAnsiBytes(p, n));
    CWString up = meta;
    up.MakeUpper();
    if ((up == L"GBK" || up == L"GB2312") && LooksLikeUtf8(b)) return L"UTF-8";
    if (!meta.empty()) return meta;
    if (LooksLikeUtf8(b)) return L"UTF-8";
    return L"ANSI";
}

bool ConvertToUtf16(CVolMem& bytes, std::wstring_view charset) {
    CWString up(charset);
    up.MakeUpper();
    if (up == L"UTF-16" || up == L"UTF-16LE") return true;
    if (up == L"UTF-16BE") {
        for (size_t i = 0; i + 1 < bytes.GetSize(); i += 2) std::swap(bytes.GetPtr()[i], bytes.GetPtr()[i + 1]);
        return true;
    }
    UINT cp = CodePageOf(charset);
    if (cp == 0 && up != L"ANSI") {
        bytes.Empty();
        return false;
    }
    const char* src = reinterpret_cast<const char*>(bytes.GetPtr());
    int srcLen = int(bytes.GetSize());
    if (srcLen <= 0) { bytes.Empty(); return true; }
    int n = ::MultiByteToWideChar(cp, 0, src, srcLen, nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(cp, 0, src, srcLen, out.data(), n);
    bytes = CVolMem::ConstructFromText(out);
    return n > 0;
}

CWString ReadUserRegistryText(std::wstring_view subkey, std::wstring_view valueName) {
    std::wstring key(subkey), name(valueName);
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(), &size) != ERROR_SUCCESS)
        return {};
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

}  // namespace kvweb

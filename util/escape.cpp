#include "util/escape.h"

#include "util/html_entities.h"

namespace {

constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";

int HexValue(wchar_t c) noexcept {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool IsHigh(wchar_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

void AppendUnitEscape(CWString& out, wchar_t c) {
    const wchar_t e[6] = {L'\\', L'u', kHexDigits[(c >> 12) & 15], kHexDigits[(c >> 8) & 15],
                          kHexDigits[(c >> 4) & 15], kHexDigits[c & 15]};
    out.append(e, 6);
}

// A code point as UTF-16: one unit, or a surrogate pair above the BMP.
void AppendCodePoint(CWString& out, uint32_t cp) {
    if (cp < 0x10000) {
        out.push_back(wchar_t(cp));
    } else {
        cp -= 0x10000;
        out.push_back(wchar_t(0xD800 + (cp >> 10)));
        out.push_back(wchar_t(0xDC00 + (cp & 0x3FF)));
    }
}

// Four hexadecimal digits at text[at..at+3], or -1 when one of them is not a digit.
long FourHex(const CWString& t, size_t at) noexcept {
    long v = 0;
    for (size_t i = at; i < at + 4; ++i) {
        int d = HexValue(t[i]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

// The code of an entity name in the entity table, 0 when the table lacks it.
long long EntityCode(std::wstring_view name) {
    CWString marker = CWString::Concat({L"&", name, L"; &#"});
    int at = gHtmlEntityList.FindText(marker);
    if (at < 0) return 0;
    int from = at + marker.GetLength();
    int end = gHtmlEntityList.FindText(L";", from);
    if (end < 0) return 0;
    return WideTextToInt(std::wstring_view(gHtmlEntityList).substr(size_t(from), size_t(end - from)));
}

// An HTML reference after the "&" at k. Returns the index after it, or 0 when it does not stand.
size_t DecodeHtmlReference(const CWString& t, size_t k, int32_t mode, CWString& out) {
    const size_t n = t.size();
    size_t j = k + 1;
    if (t[j] == L'#') {
        const bool hex = j + 1 < n && t[j + 1] == L'x';
        j += hex ? 2 : 1;
        const size_t first = j;
        uint64_t v = 0;
        for (; j < n && t[j] != L';'; ++j) {
            int d = hex ? HexValue(t[j]) : (t[j] >= L'0' && t[j] <= L'9' ? t[j] - L'0' : -1);
            if (d < 0) return 0;
            if (hex && j - first >= 6) return 0;  // more than six hexadecimal digits
            v = hex ? v * 16 + uint64_t(d) : v;
        }
        if (j == first) return 0;
        if (hex) {
            if (v > 0x10FFFF) return 0;
        } else {
            v = uint64_t(WideTextToInt(std::wstring_view(t).substr(first, j - first)));
            if (v > 0x10FFFF) v &= 0xFFFF;
        }
        AppendCodePoint(out, uint32_t(v));
        return j < n ? j + 1 : j;
    }
    if (mode != 1) return 0;
    const size_t first = j;
    for (; j < n && t[j] != L';'; ++j) {
        wchar_t c = t[j];
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'))) return 0;
    }
    if (j == first) return 0;
    std::wstring_view name = std::wstring_view(t).substr(first, j - first);
    long long code = EntityCode(name);
    if (code != 0) {
        out.push_back(wchar_t(code));
    } else {
        out.push_back(L'&');
        out.append(name);
        out.push_back(L';');
    }
    return j < n ? j + 1 : j;
}

}  // namespace

void DecodePercentEscapes(CWString& text) {
    std::string bytes;
    bytes.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const wchar_t c = text[i];
        if (c == L'%' && i + 2 < n && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            bytes.push_back(char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else if (c < 128) {
            bytes.push_back(char(c));
        } else if (IsHigh(c) && i + 1 < n && IsLow(text[i + 1])) {
            // the two halves of a pair are one character, encoded together
            AppendUtf8(bytes, 0x10000 + ((uint32_t(c) - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else {
            AppendUtf8(bytes, c);
        }
    }
    text = CWString::FromUtf8Bytes(bytes.data(), bytes.size());
}

void EscapeForJsonInPlace(CWString& text, int32_t allUnits) {
    CWString out;
    const size_t n = text.size();
    out.reserve(allUnits ? n * 6 : n + n / 8 + 8);
    for (size_t i = 0; i < n; ++i) {
        const wchar_t c = text[i];
        if (allUnits || c >= 128) {
            AppendUnitEscape(out, c);
            continue;
        }
        switch (c) {
            case L'"': case L'\'': case L'\\': case L'/': case L'{': case L'}': case L'[': case L']':
                out.push_back(L'\\');
                out.push_back(c);
                break;
            case L'\r':
                if (i + 1 < n && text[i + 1] == L'\n') break;  // CR LF gives one "\n"
                out.append(L"\\r");
                break;
            case L'\n': out.append(L"\\n"); break;
            case L'\t': out.append(L"\\t"); break;
            default: out.push_back(c); break;
        }
    }
    text = std::move(out);
}

CWString EscapeForJson(std::wstring_view text, int32_t allUnits) {
    CWString copy(text);
    EscapeForJsonInPlace(copy, allUnits);
    return copy;
}

void DecodeEscapes(CWString& text, int32_t mode) {
    const CWString& t = text;
    const size_t n = t.size();
    CWString out;
    out.reserve(n);
    size_t k = 0;
    while (k < n) {
        const wchar_t c = t[k];
        const bool introducer = mode == 0 ? (c == L'\\' || c == L'%') : c == L'&';
        if (!introducer || k + 1 == n) {
            out.push_back(c);
            ++k;
            continue;
        }
        const wchar_t next = t[k + 1];
        if (mode != 0) {
            size_t after = DecodeHtmlReference(t, k, mode, out);
            if (after) {
                k = after;
            } else {
                out.push_back(c);
                ++k;
            }
            continue;
        }
        if (next == L'u') {
            long v = k + 5 < n ? FourHex(t, k + 2) : -1;
            if (v >= 0) {
                out.push_back(wchar_t(v));
                k += 6;
            } else {  // too short or not hexadecimal: not an escape
                out.push_back(c);
                ++k;
            }
            continue;
        }
        if (c == L'%') {
            out.push_back(c);
            ++k;
            continue;
        }
        switch (next) {
            case L'r':
                if (!(k + 3 < n && t[k + 2] == L'\\' && t[k + 3] == L'n')) out.push_back(L'\r');
                break;
            case L'n': out.append(L"\r\n"); break;
            case L't': out.push_back(L'\t'); break;
            default: out.push_back(next); break;
        }
        k += 2;
    }
    text = std::move(out);
}

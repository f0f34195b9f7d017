#include "platform/text.h"

#include "platform/win.h"

#include <cmath>
#include <cstdio>
#include <cwchar>

namespace {

bool UnitsEqual(const wchar_t* a, const wchar_t* b, size_t n, bool ignoreCase) noexcept {
    if (!ignoreCase) return std::wmemcmp(a, b, n) == 0;
    for (size_t i = 0; i < n; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::wstring MultiToWide(UINT cp, const char* p, size_t n) {
    if (n == 0) return {};
    int len = ::MultiByteToWideChar(cp, 0, p, int(n), nullptr, 0);
    if (len <= 0) return {};
    std::wstring out(size_t(len), L'\0');
    ::MultiByteToWideChar(cp, 0, p, int(n), out.data(), len);
    return out;
}

std::string WideToMulti(UINT cp, std::wstring_view v) {
    if (v.empty()) return {};
    int len = ::WideCharToMultiByte(cp, 0, v.data(), int(v.size()), nullptr, 0, nullptr, nullptr);
    if (len <= 0) return {};
    std::string out(size_t(len), '\0');
    ::WideCharToMultiByte(cp, 0, v.data(), int(v.size()), out.data(), len, nullptr, nullptr);
    return out;
}

}  // namespace

int FindWText(std::wstring_view text, std::wstring_view what, int start, bool ignoreCase, bool fromEnd) noexcept {
    const int len = int(text.size());
    const int n = int(what.size());
    if (!fromEnd) {
        if (start < 0) start = 0;
        if (start > len) return -1;
        if (n == 0) return start;
        for (int i = start; i + n <= len; ++i)
            if (UnitsEqual(text.data() + i, what.data(), size_t(n), ignoreCase)) return i;
        return -1;
    }
    int limit = (start < 0) ? len : start;
    if (limit > len) return -1;
    if (n == 0) return limit;
    for (int i = limit - n; i >= 0; --i)
        if (UnitsEqual(text.data() + i, what.data(), size_t(n), ignoreCase)) return i;
    return -1;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept {
    return a.size() == b.size() && UnitsEqual(a.data(), b.data(), a.size(), true);
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) noexcept {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = AsciiLower(a[i]), y = AsciiLower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::wstring_view TrimView(std::wstring_view v) noexcept {
    size_t b = 0, e = v.size();
    while (b < e && IsPlatformBlank(v[b])) ++b;
    while (e > b && IsPlatformBlank(v[e - 1])) --e;
    return v.substr(b, e - b);
}

int CWString::FindText(std::wstring_view what, int start, bool ignoreCase, bool fromEnd) const {
    return FindWText(*this, what, start, ignoreCase, fromEnd);
}

int CWString::Replace(std::wstring_view find, std::wstring_view with, int start, int maxCount, bool ignoreCase) {
    if (find.empty() || find.size() > size() || maxCount == 0) return 0;
    if (start < 0) start = 0;
    if (start >= GetLength()) return 0;
    const std::wstring_view text(*this);
    const auto next = [&](size_t from) -> size_t {
        if (!ignoreCase) return text.find(find, from);
        const int at = FindWText(text, find, int(from), true);
        return at < 0 ? std::wstring_view::npos : size_t(at);
    };
    size_t hit = next(size_t(start));
    if (hit == std::wstring_view::npos) return 0;
    // The text between hits, and after the last one, goes over in whole blocks.
    std::wstring out;
    out.reserve(size() - find.size() + with.size());
    int count = 0;
    size_t copied = 0;
    do {
        out.append(text.substr(copied, hit - copied)).append(with);
        copied = hit + find.size();
        ++count;
    } while ((maxCount < 0 || count < maxCount) && (hit = next(copied)) != std::wstring_view::npos);
    out.append(text.substr(copied));
    assign(std::move(out));
    return count;
}

CWString CWString::Left(int n) const {
    if (n <= 0) return {};
    return CWString(substr(0, size_t(n)));
}

CWString CWString::Right(int n) const {
    if (n <= 0) return {};
    if (size_t(n) >= size()) return *this;
    return CWString(substr(size() - size_t(n)));
}

CWString CWString::Mid(int start, int count) const {
    if (start < 0) start = 0;
    if (start >= GetLength() || count == 0) return {};
    if (count < 0) return CWString(substr(size_t(start)));
    return CWString(substr(size_t(start), size_t(count)));
}

CWString& CWString::AppendNumber(double v) {
    append(FormatNumber15G(v));
    return *this;
}

CWString& CWString::AppendInt(long long v) {
    append(std::to_wstring(v));
    return *this;
}

void CWString::RemoveAt(int index) {
    if (index >= 0 && index < GetLength()) erase(size_t(index), 1);
}

CWString CWString::Repeat(std::wstring_view v, int count) {
    CWString out;
    if (count <= 0) return out;
    out.reserve(v.size() * size_t(count));
    for (int i = 0; i < count; ++i) out.append(v);
    return out;
}

CWString CWString::Concat(std::initializer_list<std::wstring_view> parts) {
    size_t n = 0;
    for (auto p : parts) n += p.size();
    CWString out;
    out.reserve(n);
    for (auto p : parts) out.append(p);
    return out;
}

CWString& CWString::TrimLeft() {
    size_t b = 0;
    while (b < size() && IsPlatformBlank((*this)[b])) ++b;
    erase(0, b);
    return *this;
}

CWString& CWString::TrimRight() {
    size_t e = size();
    while (e > 0 && IsPlatformBlank((*this)[e - 1])) --e;
    resize(e);
    return *this;
}

CWString& CWString::RemoveAllBlanks() {
    std::erase_if(*this, [](wchar_t c) { return IsPlatformBlank(c); });
    return *this;
}

CWString& CWString::MakeLower() {
    for (auto& c : *this) c = AsciiLower(c);
    return *this;
}

CWString& CWString::MakeUpper() {
    for (auto& c : *this) c = AsciiUpper(c);
    return *this;
}

bool CWString::EqualsText(std::wstring_view v, bool ignoreCase) const noexcept {
    return ignoreCase ? EqualsNoCase(*this, v) : EqualsString(v);
}

int CWString::Compare(std::wstring_view v, bool ignoreCase) const noexcept {
    if (ignoreCase) return CompareNoCase(*this, v);
    int c = std::wstring_view(*this).compare(v);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

CWString CWString::FromUtf8Bytes(const void* bytes, size_t n) {
    return CWString(MultiToWide(CP_UTF8, static_cast<const char*>(bytes), n));
}

CWString CWString::FromAnsiBytes(const void* bytes, size_t n) {
    return CWString(MultiToWide(CP_ACP, static_cast<const char*>(bytes), n));
}

CWString CWString::FromUtf16Bytes(const void* bytes, size_t n) {
    CWString out;
    out.resize((n + 1) / 2);
    if (n) std::memcpy(out.data(), bytes, n);  // a last odd byte pairs with the zero already there
    return out;
}

std::string CWString::ToUtf8() const { return WideToMulti(CP_UTF8, *this); }
std::string CWString::ToAnsi() const { return WideToMulti(CP_ACP, *this); }

std::string WideToUtf8(std::wstring_view v) { return WideToMulti(CP_UTF8, v); }
std::wstring Utf8ToWide(std::string_view v) { return MultiToWide(CP_UTF8, v.data(), v.size()); }
std::string WideToAnsi(std::wstring_view v) { return WideToMulti(CP_ACP, v); }
std::wstring AnsiToWide(std::string_view v) { return MultiToWide(CP_ACP, v.data(), v.size()); }

std::string TextToAnsiBytes(std::wstring_view v, bool withTerminator) {
    std::string s = WideToMulti(CP_ACP, v);
    if (withTerminator) s.push_back('\0');
    return s;
}

long long WideTextToInt(std::wstring_view v) noexcept {
    size_t i = 0;
    while (i < v.size() && IsPlatformBlank(v[i])) ++i;
    bool neg = false;
    if (i < v.size() && (v[i] == L'+' || v[i] == L'-')) neg = v[i++] == L'-';
    unsigned long long r = 0;
    for (; i < v.size() && v[i] >= L'0' && v[i] <= L'9'; ++i) r = r * 10 + unsigned(v[i] - L'0');
    return neg ? -static_cast<long long>(r) : static_cast<long long>(r);
}

double WideTextToDouble(std::wstring_view v) noexcept {
    std::wstring s(TrimView(v).substr(0, 128));
    if (s.empty()) return 0;
    wchar_t* end = nullptr;
    double d = std::wcstod(s.c_str(), &end);
    return end == s.c_str() ? 0 : d;
}

std::wstring FormatNumber15G(double v) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.15G", v);
    return buf;
}

namespace {
template <class Next>
void SplitWith(std::wstring_view text, CWStringArray& out, bool trim, bool skipEmpty, Next next) {
    out.clear();
    if (text.empty()) return;
    size_t pos = 0;
    for (;;) {
        size_t sepLen = 0;
        size_t hit = next(pos, sepLen);
        std::wstring_view piece = text.substr(pos, hit == std::wstring_view::npos ? std::wstring_view::npos : hit - pos);
        if (trim) piece = TrimView(piece);
        if (!(skipEmpty && piece.empty())) out.emplace_back(piece);
        if (hit == std::wstring_view::npos) break;
        pos = hit + sepLen;
    }
}
}  // namespace

void SplitTextByAnyChar(std::wstring_view text, CWStringArray& out, std::wstring_view separators, bool trim,
                        bool skipEmpty) {
    SplitWith(text, out, trim, skipEmpty, [&](size_t pos, size_t& sepLen) {
        sepLen = 1;
        return separators.empty() ? std::wstring_view::npos : text.find_first_of(separators, pos);
    });
}

void SplitTextBySeparator(std::wstring_view text, CWStringArray& out, std::wstring_view separator, bool trim,
                          bool skipEmpty) {
    SplitWith(text, out, trim, skipEmpty, [&](size_t pos, size_t& sepLen) {
        sepLen = separator.size();
        return separator.empty() ? std::wstring_view::npos : text.find(separator, pos);
    });
}

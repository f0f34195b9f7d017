// UTF-16 text of the library and its helpers.
#pragma once
#include <cstdint>
#include <cstring>

#include "platform/win.h"
#include <string>
#include <string_view>
#include <vector>

using CWConstString = std::wstring_view;

// Platform blanks: every code unit below 33, and the ideographic space.
constexpr bool IsPlatformBlank(wchar_t c) noexcept { return c < 33 || c == 0x3000; }
constexpr wchar_t AsciiLower(wchar_t c) noexcept { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }
constexpr wchar_t AsciiUpper(wchar_t c) noexcept { return (c >= L'a' && c <= L'z') ? wchar_t(c - 32) : c; }

class CVolMem;

// Plain std::wstring with the operations the library's code is written against.
// Positions and lengths are int, and a search that finds nothing gives -1.
class CWString : public std::wstring {
public:
    using std::wstring::wstring;
    CWString() = default;
    CWString(const std::wstring& s) : std::wstring(s) {}
    CWString(std::wstring&& s) noexcept : std::wstring(std::move(s)) {}
    CWString(std::wstring_view v) : std::wstring(v) {}

    const wchar_t* GetText() const noexcept { return c_str(); }
    int GetLength() const noexcept { return int(size()); }
    bool IsEmpty() const noexcept { return empty(); }
    wchar_t GetChar(int i) const noexcept { return (i >= 0 && i < GetLength()) ? (*this)[size_t(i)] : 0; }

    // Forward: first match at or after start (start <= 0 searches from 0).
    // From the end: last match lying wholly inside the first start units (start < 0: whole text).
    // A start beyond the length gives -1; an empty pattern gives the start.
    int FindText(std::wstring_view what, int start = 0, bool ignoreCase = false, bool fromEnd = false) const;
    // Replaces left to right from start without rescanning replacements; maxCount < 0 replaces all.
    // Returns the number of replacements.
    int Replace(std::wstring_view find, std::wstring_view with, int start = 0, int maxCount = -1,
                bool ignoreCase = false);

    CWString Left(int n) const;
    CWString Right(int n) const;
    CWString Mid(int start, int count = -1) const;  // start and count clamped to the text
    CWString& Append(std::wstring_view v) { append(v); return *this; }
    CWString& AppendChar(wchar_t c) { push_back(c); return *this; }
    CWString& AppendNumber(double v);      // "%.15G"
    CWString& AppendInt(long long v);
    void RemoveAt(int index);
    static CWString Repeat(std::wstring_view v, int count);
    static CWString Concat(std::initializer_list<std::wstring_view> parts);

    CWString& TrimLeft();
    CWString& TrimRight();
    CWString& TrimAll() { TrimRight(); return TrimLeft(); }
    CWString& RemoveAllBlanks();
    CWString& MakeLower();  // A-Z only
    CWString& MakeUpper();  // a-z only

    bool EqualsString(std::wstring_view v) const noexcept { return std::wstring_view(*this) == v; }
    bool EqualsText(std::wstring_view v, bool ignoreCase = false) const noexcept;
    // Code-unit order; <0, 0, >0.
    int Compare(std::wstring_view v, bool ignoreCase = false) const noexcept;

    static CWString FromUtf8Bytes(const void* bytes, size_t n);
    static CWString FromUtf8(std::string_view s) { return FromUtf8Bytes(s.data(), s.size()); }
    static CWString FromAnsiBytes(const void* bytes, size_t n);
    // A last odd byte is completed with a zero byte.
    static CWString FromUtf16Bytes(const void* bytes, size_t n);
    static CWString FromNumber(double v) { CWString s; s.AppendNumber(v); return s; }
    static CWString FromInt(long long v) { CWString s; s.AppendInt(v); return s; }

    std::string ToUtf8() const;
    std::string ToAnsi() const;
};

// Free helpers over views, shared by the text types above.
int FindWText(std::wstring_view text, std::wstring_view what, int start = 0, bool ignoreCase = false,
              bool fromEnd = false) noexcept;
bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept;
int CompareNoCase(std::wstring_view a, std::wstring_view b) noexcept;
std::wstring_view TrimView(std::wstring_view v) noexcept;

std::string WideToUtf8(std::wstring_view v);
std::wstring Utf8ToWide(std::string_view v);
std::string WideToAnsi(std::wstring_view v);
std::wstring AnsiToWide(std::string_view v);
// The text's bytes in the ANSI code page, with a terminating zero byte when asked.
std::string TextToAnsiBytes(std::wstring_view v, bool withTerminator);

// Base-10 integer from the start of a text: leading blanks and a sign allowed, no digits give 0.
long long WideTextToInt(std::wstring_view v) noexcept;
// A decimal number from the start of a text, 0 when there is none.
double WideTextToDouble(std::wstring_view v) noexcept;
// "%.15G" of a double.
std::wstring FormatNumber15G(double v);

using CWStringArray = std::vector<CWString>;
// Clear the array and split. Trim removes platform blanks from each piece's ends; skipEmpty drops
// empty pieces; an empty text gives no piece.
void SplitTextByAnyChar(std::wstring_view text, CWStringArray& out, std::wstring_view separators,
                        bool trim = false, bool skipEmpty = false);
void SplitTextBySeparator(std::wstring_view text, CWStringArray& out, std::wstring_view separator,
                          bool trim = false, bool skipEmpty = false);

// Free functions on texts, small values and byte blocks. Functions that take a CWString& change
// that text in place.
#pragma once
#include <cstdint>

#include "platform/containers.h"
#include "platform/mem.h"
#include "platform/text.h"

// The text between a start and an end marker, searched from `position`, which moves past the end
// marker; a missing marker gives the empty text and position -2. An empty start marker stands for
// the text's start, an empty end marker for its end. endFirst finds the end marker first and then
// the last start marker before it (at least one unit before it). `starts`, when given, receives
// the start marker's position.
CWString GetTextBetween(std::wstring_view source, std::wstring_view startMarker, std::wstring_view endMarker,
                        int32_t& position, bool endFirst = false, bool ignoreCase = false, CIntArray* starts = nullptr);
// Removes every copy of the first "(...)" part and trims platform blanks; returns a copy.
CWString RemoveParenthesizedPart(CWString& text);

// Trims units 0-32, U+00A0 and U+3000 at both ends.
void TrimSpaces(CWString& text);
CWString TrimmedCopy(std::wstring_view text);
// The first unit, or 32 for an empty text.
int32_t GetFirstChar(std::wstring_view text) noexcept;
// 1 when the unit was removed and text remains, else 0.
int32_t RemoveLeadingChar(CWString& text, wchar_t unit);
int32_t RemoveTrailingChar(CWString& text, wchar_t unit);
// Drops the first two units when they equal the prefix (an empty prefix always drops them).
void RemoveTwoCharPrefix(CWString& text, std::wstring_view prefix);

// Tests keywords split at any of `separators`, each joined with every piece of the "|" combination
// list. Mode 0: any keyword contained; 1: every keyword contained; 2: a keyword equals the text.
// ASCII case is ignored. `position` receives where the last tested keyword was found (or -1).
int32_t MatchKeywords(std::wstring_view text, std::wstring_view keywords, int32_t mode, std::wstring_view combinations,
                      std::wstring_view separators, int32_t& position, CWString* matched = nullptr);

// A copy with up to maxCount occurrences replaced from start (-1: all), case-sensitive.
CWString ReplaceText(std::wstring_view text, std::wstring_view search, std::wstring_view replacement,
                     int32_t start = 0, int32_t maxCount = -1);
// Replaces every occurrence ignoring ASCII case, found through the fast text search; each of two
// overlapping hits yields one replacement.
void ReplaceAllFast(CWString& text, std::wstring_view search, std::wstring_view replacement);
// Mode 0 puts the separator only between two non-empty parts, mode 1 between every two items.
// A non-empty `separatorChoices` gives each item a randomly chosen separator.
CWString JoinTextArray(const rg_WenBenShuZuLei& items, std::wstring_view separator, int32_t separatorMode = 0,
                       bool fileTitles = false, const rg_WenBenShuZuLei* separatorChoices = nullptr,
                       std::wstring_view prefix = {}, std::wstring_view suffix = {});

// "1.5 秒", "2 小时": the span in the largest unit that keeps the value small, two decimals at most.
CWString FormatDuration(int64_t milliseconds);
CWString FormatZeroPadded(int32_t value, int32_t width);
CWString MakeRecordSeparatorText();
int32_t MakeLongFromWords(int32_t low, int32_t high) noexcept;
// 1 when the key is down now or was pressed since the previous query.
int32_t IsKeyDown(int32_t virtualKey);

// Up to count bytes from start; an out-of-range start or a negative count gives an empty block.
CVolMem SubBytes(const CVolMem& block, int32_t start, int32_t count);
// The last occurrence of the pattern that ends at or before offset, or -1.
int32_t FindBytesFrom(const CVolMem& block, const CVolMem& pattern, int32_t offset) noexcept;
// 64-bit hash of the bytes; 0 for an empty block.
int64_t HashBytes(const CVolMem& block) noexcept;

// x rounded half away from zero to n decimals; values within +-1e-6 come back unchanged.
double RoundToDecimals(double x, int32_t decimals) noexcept;
// A random integer between the two bounds inclusive, from the runtime's generator.
int32_t RandomInRange(int32_t a, int32_t b);

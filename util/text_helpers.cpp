#include "util/text_helpers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <memory>
#include <cstdlib>
#include <mutex>

#include "platform/dynapi.h"
#include "util/path_parts.h"
#include "util/text_search.h"

namespace {
constexpr bool IsTrimSpace(wchar_t c) noexcept { return c <= 32 || c == 0x00A0 || c == 0x3000; }
}  // namespace

CWString GetTextBetween(std::wstring_view source, std::wstring_view startMarker, std::wstring_view endMarker,
                        int32_t& position, bool endFirst, bool ignoreCase, CIntArray* starts) {
    const int32_t len = int32_t(source.size());
    const int32_t lenA = int32_t(startMarker.size());
    const int32_t lenB = int32_t(endMarker.size());
    int32_t a = 0, b = 0;
    auto fail = [&] {
        position = -2;
        return CWString();
    };
    if (!endFirst) {
        if (lenA) {
            a = FindWText(source, startMarker, position, ignoreCase);
            if (a < 0) return fail();
        }
        b = lenB ? FindWText(source, endMarker, a + lenA, ignoreCase) : len;
        if (b < 0) return fail();
    } else {
        b = lenB ? FindWText(source, endMarker, position, ignoreCase) : len;
        if (b < 0) return fail();
        if (lenA) {
            // The start marker must end at least one unit before the end marker.
            if (b == 0) return fail();
            a = FindWText(source, startMarker, b - 1, ignoreCase, true);
            if (a < 0) return fail();
        }
        if (a < position) return fail();
    }
    if (starts) starts->push_back(a);
    position = b + lenB;
    const int32_t from = a + lenA;
    return from < b ? CWString(source.substr(size_t(from), size_t(b - from))) : CWString();
}

CWString RemoveParenthesizedPart(CWString& text) {
    int32_t pos = 0;
    CWString inner = GetTextBetween(text, L"(", L")", pos, false, true);
    if (!inner.empty()) text.Replace(CWString::Concat({L"(", inner, L")"}), L"", 0, -1, false);
    text.TrimLeft();
    text.TrimRight();
    return text;
}

void TrimSpaces(CWString& text) {
    size_t b = 0, e = text.size();
    while (b < e && IsTrimSpace(text[b])) ++b;
    while (e > b && IsTrimSpace(text[e - 1])) --e;
    if (b == e) text.clear();
    else if (b != 0 || e != text.size()) text = CWString(text.substr(b, e - b));
}

CWString TrimmedCopy(std::wstring_view text) {
    CWString t(text);
    TrimSpaces(t);
    return t;
}

int32_t GetFirstChar(std::wstring_view text) noexcept { return text.empty() ? 32 : int32_t(text[0]); }

int32_t RemoveLeadingChar(CWString& text, wchar_t unit) {
    if (text.empty() || text.front() != unit) return 0;
    text.erase(0, 1);
    return text.empty() ? 0 : 1;
}

int32_t RemoveTrailingChar(CWString& text, wchar_t unit) {
    if (text.empty() || text.back() != unit) return 0;
    text.pop_back();
    return text.empty() ? 0 : 1;
}

void RemoveTwoCharPrefix(CWString& text, std::wstring_view prefix) {
    if (!prefix.empty() && std::wstring_view(text).substr(0, 2) != prefix) return;
    if (text.size() < 2) text.clear();
    else text.erase(0, 2);
}

int32_t MatchKeywords(std::wstring_view text, std::wstring_view keywords, int32_t mode, std::wstring_view combinations,
                      std::wstring_view separators, int32_t& position, CWString* matched) {
    CWStringArray list;
    SplitTextByAnyChar(keywords, list, separators, true, true);
    if (!combinations.empty() && !list.empty()) {
        CWStringArray pieces, joined;
        SplitTextBySeparator(combinations, pieces, L"|", false, false);
        joined.reserve(list.size() * pieces.size());
        for (const auto& k : list)
            for (const auto& p : pieces) joined.push_back(CWString::Concat({k, p}));
        list = std::move(joined);
    }
    int32_t result = 0;
    for (const auto& k : list) {
        bool hit;
        if (mode == 2) {
            hit = EqualsNoCase(k, text);
        } else {
            position = FindWText(text, k, 0, true);
            hit = position != -1;
        }
        if (hit) {
            if (matched) *matched = k;
            if (mode != 1) return 1;
            result = 1;
        } else {
            if (mode == 1) return 0;
            result = 0;
        }
    }
    return mode == 1 ? result : 0;
}

CWString ReplaceText(std::wstring_view text, std::wstring_view search, std::wstring_view replacement, int32_t start,
                     int32_t maxCount) {
    CWString out(text);
    out.Replace(search, replacement, start, maxCount, false);
    return out;
}

void ReplaceAllFast(CWString& text, std::wstring_view search, std::wstring_view replacement) {
    if (search.empty() || text.size() < search.size()) return;
    // Hits are found as the fast text search finds them (A-Z as a-z, every occurrence counted,
    // overlapping ones too), by one scan: an index pays off only over many searches.
    const size_t m = search.size(), n = text.size();
    const FoldedNeedle needle(search);
    const std::wstring_view key = needle.Text();
    // Calls onHit(p) for every hit at or after `from`, in order, until it returns false.
    const auto eachHit = [&](std::wstring_view in, size_t from, auto&& onHit) { needle.ForEachHit(in, from, onHit); };
    // Appends the text from c with every hit at or after `from` replaced; c is where the text not
    // yet copied starts.
    const auto appendReplaced = [&](CWString& out, std::wstring_view all, size_t c, size_t from) {
        eachHit(all, from, [&](size_t p) {
            if (p > c) out.append(all, c, p - c);
            out.append(replacement);
            c = p + m;
            return true;
        });
        if (c < all.size()) out.append(all, c, std::wstring_view::npos);
    };

    if (replacement.size() > m) {
        size_t hits = 0;
        eachHit(text, 0, [&hits](size_t) { return ++hits, true; });
        if (hits == 0) return;
        CWString out;
        out.reserve(n + hits * (replacement.size() - m));
        appendReplaced(out, text, 0, 0);
        text.swap(out);
        return;
    }

    // A replacement no longer than the search text never writes past what is still to be read, so
    // the text is rewritten where it stands in the same scan that finds the hits. Overlapping hits
    // would read units already rewritten: a hit can only start inside the one before it at a shift
    // where the search text's end repeats its start (a border), so each hit looks there first, and
    // from the first overlap on the rest of the text (still as it was) is rebuilt in a new buffer.
    // Within the hit the shifted search text matches by the border itself: only the units past the
    // hit are compared.
    std::vector<size_t> shifts;  // smallest first
    for (size_t b = needle.Border(m - 1); b > 0; b = needle.Border(b - 1)) shifts.push_back(m - b);
    // Looking at every shift of every hit stays cheap for short search texts; a long one with
    // borders is first scanned once for an overlap instead.
    constexpr size_t kShiftChecksUpTo = 64;
    if (!shifts.empty() && m > kShiftChecksUpTo) {
        size_t end = 0;
        bool overlap = false;
        eachHit(text, 0, [&](size_t p) {
            overlap = p < end;
            end = p + m;
            return !overlap;
        });
        if (end == 0) return;  // no hit
        if (overlap) {
            CWString out;
            out.reserve(n);
            appendReplaced(out, text, 0, 0);
            text.swap(out);
            return;
        }
        shifts.clear();  // no hit overlaps
    }
    wchar_t* s = text.data();
    size_t w = 0, c = 0, overlapAt = std::wstring_view::npos;
    const auto overlaps = [&](size_t p) {
        for (size_t d : shifts) {
            if (p + d + m > n) return false;  // larger shifts do not fit either
            size_t j = m - d;
            while (j < m && AsciiLower(s[p + d + j]) == key[j]) ++j;
            if (j == m) return true;
        }
        return false;
    };
    eachHit(text, 0, [&](size_t p) {
        // Places inside the last hit may already be rewritten (and so seem to match); no hit
        // starts there.
        if (p < c) return true;
        if (overlaps(p)) {
            overlapAt = p;
            return false;
        }
        std::wmemmove(s + w, s + c, p - c);
        w += p - c;
        std::wmemcpy(s + w, replacement.data(), replacement.size());
        w += replacement.size();
        c = p + m;
        return true;
    });
    if (overlapAt != std::wstring_view::npos) {
        CWString out;
        out.reserve(n);
        out.append(s, w);
        appendReplaced(out, text, c, overlapAt);
        text.swap(out);
        return;
    }
    if (c == 0) return;  // no hit
    std::wmemmove(s + w, s + c, n - c);
    text.resize(w + n - c);
}

CWString JoinTextArray(const rg_WenBenShuZuLei& items, std::wstring_view separator, int32_t separatorMode,
                       bool fileTitles, const rg_WenBenShuZuLei* separatorChoices, std::wstring_view prefix,
                       std::wstring_view suffix) {
    CWString r;
    r.reserve(items.size() * 7);
    bool first = true;
    for (const auto& item : items) {
        std::wstring_view sep = separator;
        if (separatorChoices && !separatorChoices->empty())
            sep = (*separatorChoices)[size_t(RandomInRange(0, separatorChoices->GetCount() - 1))];
        CWString title;
        std::wstring_view t = item;
        if (fileTitles) {
            title = GetFileTitle(item);
            t = title;
        }
        if (separatorMode != 0 ? !first : (!r.empty() && !t.empty())) r.append(sep);
        first = false;
        r.append(prefix).append(t).append(suffix);
    }
    return r;
}

CWString FormatDuration(int64_t milliseconds) {
    struct Unit { double divisor, limit; const wchar_t* name; };
    static constexpr Unit units[] = {
        {1, 1000, L" 毫秒"}, {1000, 60, L" 秒"}, {60, 60, L" 分"}, {60, 24, L" 小时"},
        {24, 30, L" 天"},    {30, 12, L" 月"},   {12, 0, L" 年"},
    };
    double x = double(milliseconds);
    const Unit* unit = &units[0];
    for (const Unit& u : units) {
        unit = &u;
        x /= u.divisor;
        if (u.limit == 0 || x < u.limit) break;
    }
    CWString out;
    double v = RoundToDecimals(x, 2);
    if (v > -1e-6 && v < 1e-6) out.append(L"0");
    else out.AppendNumber(v);
    out.append(unit->name);
    return out;
}

CWString FormatZeroPadded(int32_t value, int32_t width) {
    int32_t digits = 1;
    for (int64_t v = value; v >= 10; v /= 10) ++digits;
    CWString out = CWString::Repeat(L"0", width - digits);
    out.AppendInt(value);
    return out;
}

CWString MakeRecordSeparatorText() { return CWString(1, wchar_t(30)); }

int32_t MakeLongFromWords(int32_t low, int32_t high) noexcept {
    return int32_t((uint32_t(low) & 0xFFFFu) | ((uint32_t(high) & 0xFFFFu) << 16));
}

int32_t IsKeyDown(int32_t virtualKey) {
    auto get = DynamicApiTable.GetAsyncKeyState;
    if (!get) return 0;
    get(virtualKey);  // uses up the "pressed since the last query" report
    return get(virtualKey) != 0 ? 1 : 0;
}

CVolMem SubBytes(const CVolMem& block, int32_t start, int32_t count) {
    if (start < 0 || count < 0 || int64_t(start) > int64_t(block.GetSize()) - 1) return {};
    return block.Mid(size_t(start), size_t(count));
}

int32_t FindBytesFrom(const CVolMem& block, const CVolMem& pattern, int32_t offset) noexcept {
    if (offset < 0) return -1;
    const int64_t e = std::min<int64_t>(offset, int64_t(block.GetSize()));
    const int64_t m = int64_t(pattern.GetSize());
    if (m == 0 || e - m < 0) return -1;
    const uint8_t* b = block.GetPtr();
    const uint8_t* p = pattern.GetPtr();
    for (int64_t j = e - m; j >= 0; --j)
        if (b[j] == p[0] && std::memcmp(b + j, p, size_t(m)) == 0) return int32_t(j);
    return -1;
}

int64_t HashBytes(const CVolMem& block) noexcept {
    const size_t n = block.GetSize();
    if (n == 0) return 0;
    const uint8_t* b = block.GetPtr();
    uint64_t h = 0;
    for (size_t i = 1; i <= n; ++i) {
        const int32_t product = int32_t(uint32_t(b[i - 1]) * uint32_t(i));
        h = h * 31u + uint64_t(int64_t(product));
    }
    return int64_t(uint64_t(int64_t(block.HashCode())) + uint64_t(n) * h);
}

double RoundToDecimals(double x, int32_t decimals) noexcept {
    if (x > -1e-6 && x < 1e-6) return x;
    const double p = std::pow(10.0, decimals);
    const double m = std::fabs(x) * p + 1e-6;
    double whole = std::floor(m);
    if (m - whole >= 0.5) whole += 1;
    const double r = whole / p;
    return x < 0 ? -r : r;
}

int32_t RandomInRange(int32_t a, int32_t b) {
    static std::once_flag seeded;
    std::call_once(seeded, [] { std::srand(unsigned(::GetTickCount())); });
    const int64_t lo = std::min(a, b), hi = std::max(a, b);
    const int64_t span = hi - lo + 1;
    // rand() gives 15 bits; combine two draws so wide ranges are reachable.
    const int64_t r = (int64_t(std::rand()) << 15) | int64_t(std::rand());
    return int32_t(lo + r % span);
}

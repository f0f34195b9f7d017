// Fast text search: index a text once, then find needles without scanning it again.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/object.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// One entry per UTF-16 unit value: the number of the unit's position list, 0 when it does not occur.
struct SearchUnitTable {
    static constexpr size_t kSize = 65536;
    std::vector<int32_t> entries = std::vector<int32_t>(kSize, 0);
    void Clear() noexcept { std::fill(entries.begin(), entries.end(), 0); }
};

// Calls visit(position) for every place at or after from where the unit is, A-Z taken as a-z (u is
// given folded), in order, until visit returns false.
template <class Visit> void ForEachFoldedUnit(std::wstring_view text, wchar_t u, size_t from, Visit&& visit) {
    const wchar_t upper = (u >= L'a' && u <= L'z') ? wchar_t(u - 32) : u;
    const wchar_t* s = text.data();
    const size_t n = text.size();
    size_t i = from;
#ifdef __SSE2__
    // Eight units per compare; the mask has two bits for each unit that matches.
    const __m128i a = _mm_set1_epi16(short(u)), b = _mm_set1_epi16(short(upper));
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, a), _mm_cmpeq_epi16(v, b))));
        while (mask) {
            if (!visit(i + size_t(__builtin_ctz(mask)) / 2)) return;
            mask &= mask - 1;
            mask &= mask - 1;
        }
    }
#endif
    for (; i < n; ++i)
        if ((s[i] == u || s[i] == upper) && !visit(i)) return;
}

// The first place at or after from where the unit is, A-Z taken as a-z (u is given folded); npos
// when there is none.
size_t FindFoldedUnit(std::wstring_view text, wchar_t u, size_t from) noexcept;
// Whether the needle stands at `at`, A-Z taken as a-z; the caller makes sure it fits.
inline bool MatchesFolded(const wchar_t* at, std::wstring_view needle) noexcept {
    for (size_t i = 0; i < needle.size(); ++i)
        if (AsciiLower(at[i]) != AsciiLower(needle[i])) return false;
    return true;
}

// The position lists, each made on the first search that needs it: indexing only numbers the units,
// as making every list up front costs many times one plain scan of the text. The lists are read
// from the indexed text, which the index borrows. List 0 is the empty placeholder.
struct SearchPositionLists {
    std::wstring_view text;
    std::vector<std::vector<int32_t>> lists;
    std::vector<uint8_t> made;
    // Where the last hit's list continues, so a search just after it needs no binary search.
    struct Hint {
        int32_t list = 0;
        size_t index = 0;
    } hint;
    int32_t Count() const noexcept { return int32_t(lists.size()); }
    void Clear() noexcept {
        text = {};
        lists.clear();
        lists.shrink_to_fit();
        made.clear();
        made.shrink_to_fit();
        hint = {};
    }
    // List k, the positions of the folded unit u, made now when no search has needed it before.
    const std::vector<int32_t>& ListOf(int32_t k, wchar_t u);
};

// The table streams as its 262,144 raw bytes, with no length in front.
template <> struct VolMember<SearchUnitTable> {
    static bool Equal(const SearchUnitTable& a, const SearchUnitTable& b) { return a.entries == b.entries; }
    static void Copy(SearchUnitTable& d, const SearchUnitTable& s) { d.entries = s.entries; }
    static void Save(VolDataStream* s, const SearchUnitTable& v) {
        s->WriteBytes(v.entries.data(), v.entries.size() * sizeof(int32_t));
    }
    // The stream never carries the position lists, so a loaded table would name lists that are not
    // there: the bytes are consumed and the table comes back empty.
    static void Load(VolDataStream* s, SearchUnitTable& v) {
        std::vector<int32_t> scratch(SearchUnitTable::kSize);
        s->ReadBytes(scratch.data(), scratch.size() * sizeof(int32_t));
        v.Clear();
    }
};
// The lists: compared by identity, copied deeply (the copy borrows the same text), not streamed;
// loading drops them.
template <> struct VolMember<SearchPositionLists> {
    static bool Equal(const SearchPositionLists& a, const SearchPositionLists& b) { return &a == &b; }
    static void Copy(SearchPositionLists& d, const SearchPositionLists& s) { if (&d != &s) d = s; }
    static void Save(VolDataStream*, const SearchPositionLists&) {}
    static void Load(VolDataStream*, SearchPositionLists& v) { v.Clear(); }
};

class rg_DrenvikKuaiSuXinZhaoWenBenLei : public CVolObject {
    VOL_CLASS(rg_DrenvikKuaiSuXinZhaoWenBenLei, CVolObject, "drenvik::rg_DrenvikKuaiSuXinZhaoWenBenLei")
    VOL_MEMBERS(indexedLength, foldCase, unitTable, positionLists)

public:
    // Indexes the text, folding A-Z onto a-z; any earlier index is discarded. The index borrows the
    // text: it must stay alive and unchanged while the index is searched.
    void IndexText(std::wstring_view text);
    // The first occurrence of the needle at or after start, or -1.
    int32_t FindFrom(std::wstring_view needle, int32_t start) const;

    int32_t indexedLength = 0;
    int32_t foldCase = 0;
    SearchUnitTable unitTable;
    mutable SearchPositionLists positionLists;  // lists are made by the searches that need them
};

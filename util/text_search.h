// Fast text search: index a text once, then find needles without scanning it again.
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/object.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// One entry per UTF-16 unit value: the number of the unit's position list, 0 when it does not occur.
// The entries live in pages of 256 made when one of their entries is written; the rest read as 0.
// A text of a few scripts needs a few pages, and a fresh table costs no 256 KB to make and clear.
struct SearchUnitTable {
    static constexpr size_t kSize = 65536;
    static constexpr size_t kPage = 256;
    struct Entries {
        std::vector<std::unique_ptr<int32_t[]>> pages = std::vector<std::unique_ptr<int32_t[]>>(kSize / kPage);
        int32_t At(size_t u) const noexcept {
            const int32_t* page = pages[u / kPage].get();
            return page ? page[u % kPage] : 0;
        }
        // Writable entry; makes its page.
        int32_t& operator[](size_t u) {
            std::unique_ptr<int32_t[]>& page = pages[u / kPage];
            if (!page) page = std::make_unique<int32_t[]>(kPage);
            return page[u % kPage];
        }
        static constexpr size_t size() noexcept { return kSize; }
    } entries;
    void Clear() noexcept {
        for (auto& page : entries.pages) page.reset();
    }
};

// Calls visit(position) for every place at or after from where the unit is, A-Z taken as a-z (u is
// given folded), in order, until visit returns false.
template <class Visit> void ForEachFoldedUnit(std::wstring_view text, wchar_t u, size_t from, Visit&& visit) {
    const wchar_t upper = (u >= L'a' && u <= L'z') ? wchar_t(u - 32) : u;
    const wchar_t* s = text.data();
    const size_t n = text.size();
    size_t i = from;
#ifdef __SSE2__
    // Eight units per compare; the mask has two bits for each unit that matches. A letter and its
    // capital differ only in bit 5, so setting it in the text's units folds exactly those two.
    const __m128i a = _mm_set1_epi16(short(u)), fold = _mm_set1_epi16(u == upper ? 0 : 0x20);
    // Sixteen units a turn while the unit is rare: one test for both halves.
    for (; i + 16 <= n; i += 16) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 8));
        const __m128i m0 = _mm_cmpeq_epi16(_mm_or_si128(v0, fold), a), m1 = _mm_cmpeq_epi16(_mm_or_si128(v1, fold), a);
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_packs_epi16(m0, m1)));
        while (mask) {
            if (!visit(i + size_t(__builtin_ctz(mask)))) return;
            mask &= mask - 1;
        }
    }
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(v, fold), a)));
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

// Calls visit(position) for every place at or after from where the unit u0 is followed by u1, A-Z
// taken as a-z (both given folded), in order, until visit returns false. A needle's first two units
// leave far fewer places to look at than its first alone.
template <class Visit>
void ForEachFoldedPair(std::wstring_view text, wchar_t u0, wchar_t u1, size_t from, Visit&& visit) {
    auto upper = [](wchar_t u) { return (u >= L'a' && u <= L'z') ? wchar_t(u - 32) : u; };
    const wchar_t upper0 = upper(u0), upper1 = upper(u1);
    const wchar_t* s = text.data();
    const size_t n = text.size();
    size_t i = from;
#ifdef __SSE2__
    // Folded as in ForEachFoldedUnit.
    const __m128i a0 = _mm_set1_epi16(short(u0)), fold0 = _mm_set1_epi16(u0 == upper0 ? 0 : 0x20);
    const __m128i a1 = _mm_set1_epi16(short(u1)), fold1 = _mm_set1_epi16(u1 == upper1 ? 0 : 0x20);
    for (; i + 9 <= n; i += 8) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
        const __m128i m0 = _mm_cmpeq_epi16(_mm_or_si128(v0, fold0), a0);
        const __m128i m1 = _mm_cmpeq_epi16(_mm_or_si128(v1, fold1), a1);
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(m0, m1)));
        while (mask) {
            if (!visit(i + size_t(__builtin_ctz(mask)) / 2)) return;
            mask &= mask - 1;
            mask &= mask - 1;
        }
    }
#endif
    for (; i + 1 < n; ++i)
        if ((s[i] == u0 || s[i] == upper0) && (s[i + 1] == u1 || s[i + 1] == upper1) && !visit(i)) return;
}

// Calls visit(position) for every place at or after from where the needle (given folded) stands in
// the text, A-Z taken as a-z, in order, until visit returns false. Candidates come from a scan for
// the needle's first two units; a doubled first unit ("**", "##") filters little beyond the first
// unit, so then only the first is scanned for.
template <class Visit> void ForEachFoldedHit(std::wstring_view text, std::wstring_view folded, size_t from, Visit&& visit) {
    const size_t m = folded.size(), n = text.size();
    if (m == 0 || n < m) return;
    const wchar_t* s = text.data();
    auto restMatches = [&](size_t p, size_t known) {
        for (size_t i = known; i < m; ++i)
            if (AsciiLower(s[p + i]) != folded[i]) return false;
        return true;
    };
    if (m == 1 || folded[0] == folded[1])
        ForEachFoldedUnit(text.substr(0, n - m + 1), folded[0], from, [&](size_t p) { return !restMatches(p, 1) || visit(p); });
    else
        ForEachFoldedPair(text.substr(0, n - m + 2), folded[0], folded[1], from, [&](size_t p) { return !restMatches(p, 2) || visit(p); });
}

// Whether the needle stands at `at`, A-Z taken as a-z; the caller makes sure it fits.
inline bool MatchesFolded(const wchar_t* at, std::wstring_view needle) noexcept {
    for (size_t i = 0; i < needle.size(); ++i)
        if (AsciiLower(at[i]) != AsciiLower(needle[i])) return false;
    return true;
}

// Ascending positions in blocks of 4,096: a long list grows without moving what it holds and is
// never one large allocation (the first block grows as an ordinary vector, so short lists stay small).
class SearchPositionList {
public:
    static constexpr size_t kBlock = 4096;
    size_t size() const noexcept { return count_; }
    int32_t operator[](size_t i) const noexcept { return blocks_[i / kBlock][i % kBlock]; }
    void push_back(int32_t p) {
        if (blocks_.empty() || blocks_.back().size() == kBlock) {
            blocks_.emplace_back();
            if (blocks_.size() > 1) blocks_.back().reserve(kBlock);
        }
        blocks_.back().push_back(p);
        ++count_;
    }
    // The index of the first entry at or after `from` that is >= t; size() when there is none.
    size_t LowerBound(int32_t t, size_t from) const noexcept;
    template <class Visit> void ForEach(Visit&& visit) const {
        for (const auto& block : blocks_)
            for (int32_t p : block)
                if (!visit(p)) return;
    }

private:
    std::vector<std::vector<int32_t>> blocks_;
    size_t count_ = 0;
};

// The position lists, each made on the first search that needs it: indexing only numbers the units,
// as making every list up front costs many times one plain scan of the text. The lists are read
// from the indexed text, which the index borrows. List 0 is the empty placeholder.
// A needle of two or more units gets a list of its own hits on its first search (from its first
// unit's list when that is made, else by one scan), so every later search for it (the next hit of
// a find-all, a search repeated over the same text) is a step in that list. The latest needles' lists are kept, within a budget
// of one entry per indexed unit.
struct SearchPositionLists {
    std::wstring_view text;
    std::vector<SearchPositionList> lists;
    std::vector<uint8_t> made;
    struct NeedleHits {
        std::wstring needle;  // folded
        SearchPositionList hits;
    };
    std::vector<NeedleHits> needles;  // oldest first
    size_t needleEntries = 0;         // hits held by all of them
    // Where the last answer's list continues, and the folded needle it answers (when it is short),
    // so the next search of a find-all is one step in that list.
    struct Hint {
        const SearchPositionList* list = nullptr;
        size_t index = 0;  // the entry after the last answer
        wchar_t needle[8] = {};
        size_t needleSize = 0;  // 0: no needle to answer from here
    } hint;
    static constexpr size_t kMaxNeedles = 8;

    int32_t Count() const noexcept { return int32_t(lists.size()); }
    void Clear() noexcept {
        text = {};
        lists.clear();
        lists.shrink_to_fit();
        made.clear();
        made.shrink_to_fit();
        needles.clear();
        needles.shrink_to_fit();
        needleEntries = 0;
        hint = {};
    }
    // List k, the positions of the folded unit u, made now when no search has needed it before.
    const SearchPositionList& ListOf(int32_t k, wchar_t u);
    // The hits of the folded needle (two units or more), found now when it is not among the kept
    // ones; k is its first unit's list.
    const SearchPositionList& HitsOf(std::wstring_view folded, int32_t k);
    // The first entry at or after start in the list, or -1; the list answers the folded needle.
    int32_t NextAtOrAfter(const SearchPositionList& list, int32_t start, std::wstring_view folded);
};

// The table streams as its 262,144 raw bytes, with no length in front.
template <> struct VolMember<SearchUnitTable> {
    static bool Equal(const SearchUnitTable& a, const SearchUnitTable& b) {
        for (size_t u = 0; u < SearchUnitTable::kSize; ++u)
            if (a.entries.At(u) != b.entries.At(u)) return false;
        return true;
    }
    static void Copy(SearchUnitTable& d, const SearchUnitTable& s) {
        if (&d == &s) return;
        for (size_t i = 0; i < s.entries.pages.size(); ++i) {
            const int32_t* from = s.entries.pages[i].get();
            d.entries.pages[i].reset();
            if (!from) continue;
            d.entries.pages[i] = std::make_unique<int32_t[]>(SearchUnitTable::kPage);
            std::copy(from, from + SearchUnitTable::kPage, d.entries.pages[i].get());
        }
    }
    static void Save(VolDataStream* s, const SearchUnitTable& v) {
        static constexpr int32_t zeros[SearchUnitTable::kPage] = {};
        for (const auto& page : v.entries.pages) s->WriteBytes(page ? page.get() : zeros, sizeof zeros);
    }
    // The stream never carries the position lists, so a loaded table would name lists that are not
    // there: the bytes are consumed and the table comes back empty.
    static void Load(VolDataStream* s, SearchUnitTable& v) {
        int32_t scratch[SearchUnitTable::kPage];
        for (size_t i = 0; i < SearchUnitTable::kSize / SearchUnitTable::kPage; ++i) s->ReadBytes(scratch, sizeof scratch);
        v.Clear();
    }
};
// The lists: compared by identity, copied deeply (the copy borrows the same text), not streamed;
// loading drops them.
template <> struct VolMember<SearchPositionLists> {
    static bool Equal(const SearchPositionLists& a, const SearchPositionLists& b) { return &a == &b; }
    static void Copy(SearchPositionLists& d, const SearchPositionLists& s) {
        if (&d == &s) return;
        d = s;
        d.hint = {};  // it points into the source's lists
    }
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
    int32_t FindFrom(std::wstring_view needle, int32_t start) const {
        // A find-all asks for the hit after the last one: that is the next entry of the last list.
        SearchPositionLists::Hint& h = positionLists.hint;
        if (needle.size() == h.needleSize && h.needleSize != 0) {
            size_t i = 0;
            while (i < needle.size() && (foldCase ? AsciiLower(needle[i]) : needle[i]) == h.needle[i]) ++i;
            const SearchPositionList& list = *h.list;
            if (i == needle.size() && (h.index == 0 || list[h.index - 1] < start)) {
                if (h.index == list.size()) return -1;
                if (list[h.index] >= start) return list[h.index++];
            }
        }
        return FindFromLists(needle, start);
    }

    int32_t indexedLength = 0;
    int32_t foldCase = 0;
    SearchUnitTable unitTable;
    mutable SearchPositionLists positionLists;  // lists are made by the searches that need them

private:
    int32_t FindFromLists(std::wstring_view needle, int32_t start) const;
};

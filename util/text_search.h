// Fast text search: index a text once, then find needles without scanning it again.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
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

// The longest proper border (the longest prefix that is also a suffix) of each prefix of a folded
// needle, into border[0 .. size): where a partial match carries on after a mismatch.
inline void FoldedBorders(std::wstring_view folded, uint32_t* border) noexcept {
    if (folded.empty()) return;
    border[0] = 0;
    for (size_t i = 1, k = 0; i < folded.size(); ++i) {
        while (k > 0 && folded[i] != folded[k]) k = border[k - 1];
        if (folded[i] == folded[k]) ++k;
        border[i] = uint32_t(k);
    }
}

// A folded needle and the border of each of its prefixes, both held elsewhere.
struct FoldedNeedleView {
    std::wstring_view units;
    const uint32_t* border = nullptr;

    // Reads the text from p, where the needle's first `known` units (at least 1) stand, for as long
    // as a partial match lasts, and calls visit for every hit on the way. A mismatch carries on from
    // the border, so each unit is read once however self-similar the needle ("a" x 30,000 + "b" over
    // a run of "a"). Returns where the reading stopped: every hit that starts before it has been
    // visited. npos when visit said to stop or the text left cannot hold a hit.
    template <class Visit> size_t MatchFrom(std::wstring_view text, size_t p, size_t known, Visit&& visit) const {
        const size_t m = units.size(), n = text.size();
        if (n < m || p > n - m || known == 0 || known > m) return std::wstring_view::npos;
        const wchar_t* s = text.data();
        size_t k = known, j = p + known;
        for (;;) {
            if (k == m) {
                if (!visit(j - m)) return std::wstring_view::npos;
                k = border[m - 1];
            }
            if (k == 0) return j;
            if (n - j < m - k) return std::wstring_view::npos;
            const wchar_t c = AsciiLower(s[j++]);
            while (k > 0 && c != units[k]) k = border[k - 1];
            if (c == units[k]) ++k;
        }
    }
};

// A needle with A-Z taken as a-z, and the border of each of its prefixes.
class FoldedNeedle {
public:
    explicit FoldedNeedle(std::wstring_view needle) : text_(needle), border_(needle.size(), 0) {
        for (wchar_t& u : text_) u = AsciiLower(u);
        FoldedBorders(text_, border_.data());
    }
    std::wstring_view Text() const noexcept { return text_; }
    size_t size() const noexcept { return text_.size(); }
    // The longest proper border of the first i + 1 units.
    size_t Border(size_t i) const noexcept { return border_[i]; }

    // Calls visit(position) for every place at or after from where the needle stands in the text,
    // A-Z taken as a-z, in order, until visit returns false. Candidates come from a scan for the
    // needle's first two units; a doubled first unit ("**", "##") filters little beyond the first
    // unit, so then only the first is scanned for. A candidate the matching has already read past
    // is passed over.
    template <class Visit> void ForEachHit(std::wstring_view text, size_t from, Visit&& visit) const {
        const size_t m = text_.size(), n = text.size();
        if (m == 0 || n < m) return;
        const size_t known = m == 1 || text_[0] == text_[1] ? 1 : 2;  // units a candidate has matched
        size_t read = from;  // the matching has read the text up to here
        const FoldedNeedleView view = View();
        const auto candidate = [&](size_t p) {
            if (p < read) return true;
            read = view.MatchFrom(text, p, known, visit);
            return read != std::wstring_view::npos;
        };
        if (known == 1) ForEachFoldedUnit(text.substr(0, n - m + 1), text_[0], from, candidate);
        else ForEachFoldedPair(text.substr(0, n - m + 2), text_[0], text_[1], from, candidate);
    }

    FoldedNeedleView View() const noexcept { return {text_, border_.data()}; }

private:
    std::wstring text_;
    std::vector<uint32_t> border_;
};

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
    // Gives back the room the last block holds beyond its entries.
    void ShrinkToFit() {
        if (!blocks_.empty()) blocks_.back().shrink_to_fit();
    }
    size_t Bytes() const noexcept {
        size_t bytes = blocks_.capacity() * sizeof(blocks_[0]);
        for (const auto& block : blocks_) bytes += block.capacity() * sizeof(int32_t);
        return bytes;
    }

private:
    std::vector<std::vector<int32_t>> blocks_;
    size_t count_ = 0;
};

// The hits of a needle that stands at many places: one bit per text unit, and for each word of 64
// bits the first word at or after it that holds a hit, so any next hit is two steps away.
class SearchHitBits {
public:
    SearchHitBits() = default;
    explicit SearchHitBits(size_t units) : words_((units + 63) / 64, 0) {}
    void Add(int32_t p) {
        words_[size_t(p) / 64] |= uint64_t(1) << (p % 64);
        ++count_;
    }
    // After the last Add.
    void Finish() {
        next_.assign(words_.size() + 1, uint32_t(words_.size()));
        for (size_t w = words_.size(); w-- > 0;) next_[w] = words_[w] ? uint32_t(w) : next_[w + 1];
    }
    size_t size() const noexcept { return count_; }
    size_t Bytes() const noexcept { return words_.size() * sizeof(uint64_t) + next_.size() * sizeof(uint32_t); }
    // The first hit at or after t (t >= 0), or -1.
    int32_t NextAtOrAfter(int32_t t) const noexcept {
        size_t w = size_t(t) / 64;
        if (w >= words_.size()) return -1;
        uint64_t bits = words_[w] & (~uint64_t(0) << (t % 64));
        if (!bits) {
            w = next_[w + 1];
            if (w == words_.size()) return -1;
            bits = words_[w];
        }
        return int32_t(w * 64 + size_t(__builtin_ctzll(bits)));
    }

private:
    std::vector<uint64_t> words_;
    std::vector<uint32_t> next_;  // one more than words_: the last stands for "none"
    size_t count_ = 0;
};

// Hashes a folded needle: kept needles are found by their text, with no copy of the one asked for.
struct SearchNeedleHash {
    using is_transparent = void;
    size_t operator()(std::wstring_view s) const noexcept {
        uint64_t h = 14695981039346656037ull;
        for (wchar_t u : s) h = (h ^ uint64_t(u)) * 1099511628211ull;
        return size_t(h ^ (h >> 32));
    }
};

// The position lists, each made on the first search that needs it: indexing only numbers the units,
// as making every list up front costs many times one plain scan of the text. The lists are read
// from the indexed text, which the index borrows. List 0 is the empty placeholder.
//
// A needle of two or more units is found one of two ways:
// - Walked: the candidates are the places of one of its units (the one with the shortest list made
//   so far), from the start on; each is confirmed by reading the text with the needle's border
//   table, so a search reads no unit twice and costs no more than the candidates and units between
//   its start and its answer, not a pass over the whole text (beyond making a unit's list once).
// - Kept: all its hits found by one pass and kept, so every later search for it (the next hit of a
//   find-all, a search repeated over the same text) is a step among them. The hits are a list while
//   they number at most one per 16 units, else bits: at most about 1/4 byte per indexed unit.
// A pass is spent on a needle only once the walks since the last pass have done as much work as a
// pass (twice that when it may push kept hits out; the first few needles get theirs at once), so
// passes never cost more than the walks they save, whatever the needles asked and in whatever
// turns. Kept hits together stay within about 2 bytes per indexed unit (the text's own size),
// beside the unit lists' 4 bytes per unit; when they would not, the needles that answered least
// make room, so needles asked for in turns keep most of their hits instead of each pushing out
// the one asked for next.
struct SearchPositionLists {
    std::wstring_view text;
    std::vector<SearchPositionList> lists;
    std::vector<uint8_t> made;
    struct NeedleHits {
        bool dense = false;  // the hits are in bits, not in the list
        SearchPositionList hits;
        SearchHitBits bits;
        uint32_t answers = 0;  // searches answered since made, halved whenever a needle makes room
        uint64_t order = 0;    // when made
    };
    std::unordered_map<std::wstring, NeedleHits, SearchNeedleHash, std::equal_to<>> needles;  // by folded needle
    size_t needleBytes = 0;    // what the kept needles hold
    size_t passCredit = 0;     // work the walks have done towards the next pass, in text units
    uint64_t madeNeedles = 0;  // needles kept so far
    size_t textPasses = 0;     // passes over the whole text (or a whole unit's list) so far
    // Where the last answer's hits continue, and the folded needle it answers (when it is short),
    // so the next search of a find-all is one step there.
    struct Hint {
        const SearchPositionList* list = nullptr;
        const SearchHitBits* bits = nullptr;  // instead of the list
        size_t index = 0;  // the list entry after the last answer
        wchar_t needle[8] = {};
        size_t needleSize = 0;  // 0: no needle to answer from here
    } hint;
    // The kept needles answered last, looked at before the map, as most searches ask for one of a
    // few needles; the next to replace is recent[recentNext % 8].
    struct Recent {
        const std::wstring* needle = nullptr;
        NeedleHits* hits = nullptr;
    } recent[8];
    size_t recentNext = 0;
    static constexpr size_t kFreePasses = 8;  // passes the first needles get without walking first
    static constexpr size_t kBytesPerUnit = 2;
    static constexpr size_t kSpareBytes = 1024;      // so a short text still keeps a few needles
    static constexpr size_t kBytesPerNeedle = 96;    // a kept needle's own bookkeeping

    int32_t Count() const noexcept { return int32_t(lists.size()); }
    void Clear() noexcept {
        text = {};
        lists.clear();
        lists.shrink_to_fit();
        made.clear();
        made.shrink_to_fit();
        needles = {};
        needleBytes = 0;
        passCredit = 0;
        madeNeedles = 0;
        textPasses = 0;
        hint = {};
        std::fill(std::begin(recent), std::end(recent), Recent{});
    }
    // List k, the positions of the folded unit u, made now when no search has needed it before.
    const SearchPositionList& ListOf(int32_t k, wchar_t u);
    // The first hit of the folded needle (two units or more, no longer than the text) at or after
    // start (>= 0), or -1; units numbers the lists.
    int32_t FindNeedle(std::wstring_view folded, const SearchUnitTable& units, int32_t start);
    // The first entry at or after start in the list, or -1; the list answers the folded needle.
    int32_t NextAtOrAfter(const SearchPositionList& list, int32_t start, std::wstring_view folded);
    // What a pass over the text costs, in the units of passCredit.
    size_t PassCost() const noexcept { return std::max<size_t>(text.size(), 64); }

private:
    size_t Budget() const noexcept { return kBytesPerUnit * text.size() + kSpareBytes; }
    static size_t BytesOf(std::wstring_view folded, const NeedleHits& hits) noexcept {
        return kBytesPerNeedle + folded.size() * sizeof(wchar_t) + (hits.dense ? hits.bits.Bytes() : hits.hits.Bytes());
    }
    // Finds all hits of the folded needle by one pass (k is its first unit's list) and keeps them.
    NeedleHits& Keep(std::wstring_view folded, int32_t k);
    int32_t Walk(std::wstring_view folded, const int32_t* listOfUnit, int32_t start);
    int32_t NextAtOrAfter(const NeedleHits& hits, std::wstring_view folded, int32_t start);
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
        // They point into the source's lists.
        d.hint = {};
        std::fill(std::begin(d.recent), std::end(d.recent), SearchPositionLists::Recent{});
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
            if (i == needle.size() && h.bits) return h.bits->NextAtOrAfter(start < 0 ? 0 : start);
            if (i == needle.size() && (h.index == 0 || (*h.list)[h.index - 1] < start)) {
                const SearchPositionList& list = *h.list;
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

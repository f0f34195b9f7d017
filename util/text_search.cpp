#include "util/text_search.h"

#include <algorithm>
#include <cstring>

size_t SearchPositionList::LowerBound(int32_t t, size_t from) const noexcept {
    if (from >= count_) return count_;
    // The first block whose last entry reaches t, then the place within it.
    size_t b = from / kBlock;
    auto last = [&](size_t i) { return blocks_[i].back(); };
    if (last(b) < t) {
        size_t lo = b + 1, hi = blocks_.size();
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (last(mid) < t) lo = mid + 1;
            else hi = mid;
        }
        if (lo == blocks_.size()) return count_;
        b = lo;
        from = b * kBlock;
    }
    const std::vector<int32_t>& block = blocks_[b];
    return b * kBlock + size_t(std::lower_bound(block.begin() + ptrdiff_t(from % kBlock), block.end(), t) - block.begin());
}

const SearchPositionList& SearchPositionLists::ListOf(int32_t k, wchar_t u) {
    SearchPositionList& list = lists[size_t(k)];
    if (made[size_t(k)]) return list;
    made[size_t(k)] = 1;
    ForEachFoldedUnit(text, u, 0, [&list](size_t p) {
        list.push_back(int32_t(p));
        return true;
    });
    return list;
}

const SearchPositionLists::NeedleHits& SearchPositionLists::HitsOf(std::wstring_view folded, int32_t k) {
    // Newest first: a find-all asks for the same needle again and again.
    for (size_t i = needles.size(); i-- > 0;) {
        const std::wstring& kept = needles[i].needle;
        if (kept.size() == folded.size() && std::equal(kept.begin(), kept.end(), folded.begin())) return needles[i];
    }

    NeedleHits found;
    found.needle = folded;
    const size_t listAtMost = std::max<size_t>(text.size() / 16, 64);
    auto add = [&](size_t p) {
        if (!found.dense && found.hits.size() == listAtMost) {
            found.dense = true;
            found.bits = SearchHitBits(text.size());
            found.hits.ForEach([&](int32_t q) { return found.bits.Add(q), true; });
            found.hits = {};
        }
        if (found.dense) found.bits.Add(int32_t(p));
        else found.hits.push_back(int32_t(p));
        return true;
    };
    // Candidates are the places of the first unit from its list when a search has made it, else
    // the places found by one scan of the text (a list made now would be read only once).
    const FoldedNeedle needle(folded);
    if (made[size_t(k)]) {
        size_t read = 0;
        lists[size_t(k)].ForEach([&](int32_t p) {
            if (size_t(p) < read) return true;
            read = needle.MatchFrom(text, size_t(p), 1, add);
            return read != std::wstring_view::npos;
        });
    } else {
        needle.ForEachHit(text, 0, add);
    }
    if (found.dense) found.bits.Finish();
    // The oldest needle makes room; the hint may point into any of them.
    hint = {};
    if (needles.size() >= kMaxNeedles) needles.erase(needles.begin());
    needles.push_back(std::move(found));
    return needles.back();
}

int32_t SearchPositionLists::NextAtOrAfter(const SearchPositionList& list, int32_t start, std::wstring_view folded) {
    size_t from = 0;
    if (hint.list == &list && hint.index <= list.size() && (hint.index == 0 || list[hint.index - 1] < start))
        from = hint.index;
    const size_t at = (from == list.size() || list[from] >= start) ? from : list.LowerBound(start, from);
    hint.list = &list;
    hint.bits = nullptr;
    hint.index = at + (at == list.size() ? 0 : 1);
    hint.needleSize = folded.size() <= std::size(hint.needle) ? folded.size() : 0;
    std::copy_n(folded.begin(), hint.needleSize, hint.needle);
    return at == list.size() ? -1 : list[at];
}

int32_t SearchPositionLists::NextAtOrAfter(const NeedleHits& hits, int32_t start) {
    if (!hits.dense) return NextAtOrAfter(hits.hits, start, hits.needle);
    hint = {};
    hint.bits = &hits.bits;
    hint.needleSize = hits.needle.size() <= std::size(hint.needle) ? hits.needle.size() : 0;
    std::copy_n(hits.needle.begin(), hint.needleSize, hint.needle);
    return hits.bits.NextAtOrAfter(start);
}

void rg_DrenvikKuaiSuXinZhaoWenBenLei::IndexText(std::wstring_view text) {
    // Always start from a clean table: a table left by a stream load or a caller names no real lists.
    unitTable.Clear();
    positionLists.Clear();
    foldCase = 1;
    indexedLength = int32_t(text.size());

    // Lists are numbered in the order their unit first occurs; their positions come later. New units
    // are rare, so eight units at a time are folded and checked against a byte per unit value seen,
    // and only a block holding a new one is looked at unit by unit. The bytes live on the stack: a
    // fresh 64 KB heap block costs more page faults than the whole check.
    SearchUnitTable::Entries& table = unitTable.entries;
    uint8_t seen[SearchUnitTable::kSize];
    std::memset(seen, 0, sizeof seen);
    int32_t next = 0;
    auto number = [&](unsigned unit) {
        if (seen[unit]) return;
        seen[unit] = 1;
        table[unit] = ++next;
    };
    const wchar_t* s = text.data();
    const size_t n = text.size();
    size_t i = 0;
#ifdef __SSE2__
    alignas(16) uint16_t u[8];
    const __m128i belowA = _mm_set1_epi16(L'A' - 1), aboveZ = _mm_set1_epi16(L'Z' + 1), case32 = _mm_set1_epi16(32);
    for (; i + 8 <= n; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        // Units from 0x8000 compare as negative, so they are never taken for letters.
        const __m128i letter = _mm_and_si128(_mm_cmpgt_epi16(v, belowA), _mm_cmplt_epi16(v, aboveZ));
        v = _mm_add_epi16(v, _mm_and_si128(letter, case32));
        _mm_store_si128(reinterpret_cast<__m128i*>(u), v);
        if (seen[u[0]] & seen[u[1]] & seen[u[2]] & seen[u[3]] & seen[u[4]] & seen[u[5]] & seen[u[6]] & seen[u[7]])
            continue;
        for (unsigned unit : u) number(unit);
    }
#endif
    for (; i < n; ++i) number(AsciiLower(s[i]));
    positionLists.text = text;
    positionLists.lists.resize(size_t(next) + 1);
    positionLists.made.assign(size_t(next) + 1, 0);
    positionLists.made[0] = 1;
}

int32_t rg_DrenvikKuaiSuXinZhaoWenBenLei::FindFromLists(std::wstring_view needle, int32_t start) const {
    if (needle.empty()) return -1;
    const int32_t lists = positionLists.Count();
    // Needles are short: fold them on the stack.
    wchar_t stackUnits[32];
    std::wstring heapUnits;
    wchar_t* folded = stackUnits;
    if (needle.size() > std::size(stackUnits)) {
        heapUnits.resize(needle.size());
        folded = heapUnits.data();
    }
    for (size_t i = 0; i < needle.size(); ++i) folded[i] = foldCase ? AsciiLower(needle[i]) : needle[i];
    const std::wstring_view n(folded, needle.size());

    // A first unit that never occurs (or names a list that is missing) finds nothing.
    const int32_t k = unitTable.entries.At(n[0]);
    if (k <= 0 || k >= lists) return -1;
    if (n.size() > positionLists.text.size()) return -1;
    if (n.size() == 1) return positionLists.NextAtOrAfter(positionLists.ListOf(k, n[0]), std::max(start, 0), n);
    return positionLists.NextAtOrAfter(positionLists.HitsOf(n, k), std::max(start, 0));
}

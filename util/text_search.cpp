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
    ++textPasses;
    ForEachFoldedUnit(text, u, 0, [&list](size_t p) {
        list.push_back(int32_t(p));
        return true;
    });
    return list;
}

int32_t SearchPositionLists::FindNeedle(std::wstring_view folded, const SearchUnitTable& units, int32_t start) {
    // Newest first: a find-all asks for the same needle again and again.
    for (size_t i = 1; i <= std::size(recent); ++i) {
        const Recent& r = recent[(recentNext - i) % std::size(recent)];
        if (!r.needle || r.needle->size() != folded.size() || !std::equal(folded.begin(), folded.end(), r.needle->begin()))
            continue;
        if (r.hits->answers != UINT32_MAX) ++r.hits->answers;
        return NextAtOrAfter(*r.hits, *r.needle, start);
    }
    const auto kept = needles.find(folded);
    if (kept != needles.end()) {
        recent[recentNext++ % std::size(recent)] = {&kept->first, &kept->second};
        NeedleHits& hits = kept->second;
        if (hits.answers != UINT32_MAX) ++hits.answers;
        return NextAtOrAfter(hits, kept->first, start);
    }
    // Each unit's list; a unit that never occurs (or names a list that is missing) finds nothing.
    int32_t stackLists[32];
    std::vector<int32_t> heapLists;
    int32_t* listOfUnit = stackLists;
    if (folded.size() > std::size(stackLists)) {
        heapLists.resize(folded.size());
        listOfUnit = heapLists.data();
    }
    for (size_t i = 0; i < folded.size(); ++i) {
        listOfUnit[i] = units.entries.At(folded[i]);
        if (listOfUnit[i] <= 0 || listOfUnit[i] >= Count()) return -1;
    }
    // A pass only when the walks have paid for it, and only for hits that can be kept at all (the
    // needle itself and at most 1/4 byte per unit). A pass that may push out kept hits pays for
    // them too: needles asked in turns beyond what fits would otherwise keep trading places.
    const size_t largest = kBytesPerNeedle + folded.size() * sizeof(wchar_t) + text.size() / 4 + 256;
    const size_t cost = (needleBytes + largest > Budget() ? 2 : 1) * PassCost();
    if (passCredit >= cost && largest <= Budget()) {
        passCredit -= cost;
        return NextAtOrAfter(Keep(folded, listOfUnit[0]), folded, start);
    }
    return Walk(folded, listOfUnit, start);
}

SearchPositionLists::NeedleHits& SearchPositionLists::Keep(std::wstring_view folded, int32_t k) {
    NeedleHits found;
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
    ++textPasses;
    const FoldedNeedle needle(folded);
    if (made[size_t(k)]) {
        size_t read = 0;
        const FoldedNeedleView view = needle.View();
        lists[size_t(k)].ForEach([&](int32_t p) {
            if (size_t(p) < read) return true;
            read = view.MatchFrom(text, size_t(p), 1, add);
            return read != std::wstring_view::npos;
        });
    } else {
        needle.ForEachHit(text, 0, add);
    }
    if (found.dense) found.bits.Finish();
    else found.hits.ShrinkToFit();
    found.order = ++madeNeedles;

    // Make room: the needle that answered least goes first (the oldest of those that answered
    // equally), and the rest's counts halve, so needles no longer asked for give way in time while
    // needles asked in turns keep theirs. The hint and the recent ones may point into any of them.
    hint = {};
    const size_t bytes = BytesOf(folded, found);
    while (!needles.empty() && needleBytes + bytes > Budget()) {
        auto victim = needles.begin();
        for (auto it = needles.begin(); it != needles.end(); ++it) {
            const NeedleHits& a = it->second;
            const NeedleHits& b = victim->second;
            if (a.answers < b.answers || (a.answers == b.answers && a.order < b.order)) victim = it;
        }
        needleBytes -= BytesOf(victim->first, victim->second);
        needles.erase(victim);
        std::fill(std::begin(recent), std::end(recent), Recent{});
        for (auto& kept : needles) kept.second.answers /= 2;
    }
    needleBytes += bytes;
    const auto kept = needles.emplace(std::wstring(folded), std::move(found)).first;
    recent[recentNext++ % std::size(recent)] = {&kept->first, &kept->second};
    return kept->second;
}

int32_t SearchPositionLists::Walk(std::wstring_view folded, const int32_t* listOfUnit, int32_t start) {
    const size_t m = folded.size(), n = text.size(), s = size_t(start);
    if (n < m || s > n - m) return -1;
    // The candidates: the places of the unit with the shortest list made so far, or of the first
    // unit when none is made yet (its list is made now, once for every later search).
    size_t at = m;
    for (size_t i = 0; i < m; ++i)
        if (made[size_t(listOfUnit[i])] && (at == m || lists[size_t(listOfUnit[i])].size() < lists[size_t(listOfUnit[at])].size()))
            at = i;
    const size_t j = at == m ? 0 : at;
    const SearchPositionList& list = ListOf(listOfUnit[j], folded[j]);

    // Needles are short: their border tables live on the stack.
    uint32_t stackBorder[64];
    std::vector<uint32_t> heapBorder;
    uint32_t* border = stackBorder;
    if (m > std::size(stackBorder)) {
        heapBorder.resize(m);
        border = heapBorder.data();
    }
    FoldedBorders(folded, border);
    const FoldedNeedleView needle{folded, border};

    // Each candidate c (unit j at c + j) not yet read past is confirmed by reading on from it while
    // a partial match lasts; that reading rules out every hit before where it stops.
    size_t work = m, next = list.LowerBound(int32_t(s + j), 0);
    int32_t found = -1;
    while (next < list.size()) {
        const size_t c = size_t(list[next]) - j;
        if (c > n - m) break;
        ++work;
        if (j != 0 && AsciiLower(text[c]) != folded[0]) {
            ++next;
            continue;
        }
        const size_t stop = needle.MatchFrom(text, c, 1, [&found](size_t h) {
            found = int32_t(h);
            return false;
        });
        if (stop == std::wstring_view::npos) {
            work += found >= 0 ? size_t(found) + m - c : n - c;
            break;
        }
        work += stop - c;
        next = list.LowerBound(int32_t(stop + j), next + 1);
    }
    passCredit = std::min(passCredit + work, kFreePasses * PassCost());
    return found;
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

int32_t SearchPositionLists::NextAtOrAfter(const NeedleHits& hits, std::wstring_view folded, int32_t start) {
    if (!hits.dense) return NextAtOrAfter(hits.hits, start, folded);
    hint = {};
    hint.bits = &hits.bits;
    hint.needleSize = folded.size() <= std::size(hint.needle) ? folded.size() : 0;
    std::copy_n(folded.begin(), hint.needleSize, hint.needle);
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
    positionLists.passCredit = SearchPositionLists::kFreePasses * positionLists.PassCost();
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
    return positionLists.FindNeedle(n, unitTable, std::max(start, 0));
}

#include "util/text_search.h"

#include <algorithm>

size_t FindFoldedUnit(std::wstring_view text, wchar_t u, size_t from) noexcept {
    size_t found = std::wstring_view::npos;
    ForEachFoldedUnit(text, u, from, [&found](size_t p) {
        found = p;
        return false;
    });
    return found;
}

const std::vector<int32_t>& SearchPositionLists::ListOf(int32_t k, wchar_t u) {
    std::vector<int32_t>& list = lists[size_t(k)];
    if (made[size_t(k)]) return list;
    made[size_t(k)] = 1;
    ForEachFoldedUnit(text, u, 0, [&list](size_t p) {
        list.push_back(int32_t(p));
        return true;
    });
    return list;
}

void rg_DrenvikKuaiSuXinZhaoWenBenLei::IndexText(std::wstring_view text) {
    // Always start from a clean table: a table left by a stream load or a caller names no real lists.
    unitTable.Clear();
    positionLists.Clear();
    foldCase = 1;
    indexedLength = int32_t(text.size());

    // Lists are numbered in the order their unit first occurs; their positions come later. The
    // units seen so far are kept as bits, small enough to stay in the cache, not looked up in the
    // table.
    int32_t* __restrict table = unitTable.entries.data();
    uint32_t seen[SearchUnitTable::kSize / 32] = {};
    int32_t next = 0;
    for (wchar_t c : text) {
        const wchar_t u = AsciiLower(c);
        const uint32_t bit = 1u << (u & 31);
        if (seen[u >> 5] & bit) continue;
        seen[u >> 5] |= bit;
        table[u] = ++next;
    }
    positionLists.text = text;
    positionLists.lists.resize(size_t(next) + 1);
    positionLists.made.assign(size_t(next) + 1, 0);
    positionLists.made[0] = 1;
}

int32_t rg_DrenvikKuaiSuXinZhaoWenBenLei::FindFrom(std::wstring_view needle, int32_t start) const {
    if (needle.empty()) return -1;
    const int32_t lists = positionLists.Count();
    const int32_t* table = unitTable.entries.data();
    auto unit = [&](size_t i) { return foldCase ? AsciiLower(needle[i]) : needle[i]; };
    // A first unit that never occurs (or names a list that is missing) finds nothing; any other
    // missing unit fails every candidate below.
    const int32_t k = table[unit(0)];
    if (k <= 0 || k >= lists) return -1;
    const std::wstring_view text = positionLists.text;
    if (needle.size() > text.size()) return -1;
    const int32_t last = int32_t(text.size() - needle.size());  // the last place a hit can start

    // Candidates are the places of the needle's first unit at or after start, in order. Searches
    // for all hits ask again just after the last one: start from there instead of searching the
    // whole list.
    const std::vector<int32_t>& first = positionLists.ListOf(k, unit(0));
    auto from = first.begin();
    SearchPositionLists::Hint& hint = positionLists.hint;
    if (hint.list == k && hint.index <= first.size() && (hint.index == 0 || first[hint.index - 1] < start))
        from += ptrdiff_t(hint.index);
    auto it = (from == first.end() || *from >= start) ? from : std::lower_bound(from, first.end(), start);
    for (; it != first.end() && *it <= last; ++it) {
        if (MatchesFolded(text.data() + *it, needle)) {
            hint = {k, size_t(it - first.begin()) + 1};
            return *it;
        }
    }
    return -1;
}

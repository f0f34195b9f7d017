#include "util/text_search.h"

#include <algorithm>

void rg_DrenvikKuaiSuXinZhaoWenBenLei::IndexText(std::wstring_view text) {
    // Always start from a clean table: a table left by a stream load or a caller names no real lists.
    unitTable.Clear();
    positionLists.Clear();
    foldCase = 1;
    const size_t n = text.size();
    indexedLength = int32_t(n);

    // Counting pass, so every list gets its final place in one buffer.
    std::vector<int32_t> counts(SearchUnitTable::kSize, 0);
    int32_t distinct = 0;
    for (wchar_t c : text)
        if (counts[AsciiLower(c)]++ == 0) ++distinct;

    // Position pass: lists are numbered in the order their unit first occurs.
    positionLists.starts.assign(size_t(distinct) + 2, 0);
    positionLists.positions.resize(n);
    std::vector<int32_t> cursorStore(size_t(distinct) + 1, 0);
    int32_t* __restrict table = unitTable.entries.data();
    int32_t* __restrict cursor = cursorStore.data();
    int32_t* __restrict out = positionLists.positions.data();
    int32_t* __restrict starts = positionLists.starts.data();
    int32_t next = 0, used = 0;
    for (size_t i = 0; i < n; ++i) {
        const wchar_t u = AsciiLower(text[i]);
        int32_t k = table[u];
        if (k == 0) {
            k = table[u] = ++next;
            cursor[k] = starts[k] = used;
            used += counts[u];
        }
        out[cursor[k]++] = int32_t(i);
    }
    starts[distinct + 1] = used;
}

int32_t rg_DrenvikKuaiSuXinZhaoWenBenLei::FindFrom(std::wstring_view needle, int32_t start) const {
    if (needle.empty()) return -1;
    const size_t m = needle.size();
    const int32_t lists = positionLists.Count();
    const int32_t* table = unitTable.entries.data();
    const int32_t* starts = positionLists.starts.data();
    const int32_t* pos = positionLists.positions.data();
    auto unit = [&](size_t i) { return foldCase ? AsciiLower(needle[i]) : needle[i]; };

    size_t i = 0;
    int32_t c = -1;
    for (;;) {
        const int32_t k = table[unit(i)];
        if (k <= 0 || k >= lists) return -1;  // the unit never occurs (or its list is missing)
        const int32_t t = (i == 0) ? start : c + int32_t(i);
        const int32_t* b = pos + starts[k];
        const int32_t* e = pos + starts[k + 1];
        const int32_t* p = std::lower_bound(b, e, t);
        if (p == e) return -1;
        if (i == 0) {
            c = *p;
        } else if (*p != c + int32_t(i)) {
            // The candidate fails. No occurrence of this unit lies between c + i and p, so no start
            // before p - i can succeed either.
            start = *p - int32_t(i);
            i = 0;
            c = -1;
            continue;
        }
        if (++i == m) return c;
    }
}

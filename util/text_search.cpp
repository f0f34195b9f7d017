#include "util/text_search.h"

#include <algorithm>

size_t FindFoldedUnit(std::wstring_view text, wchar_t u, size_t from) noexcept {
    const wchar_t upper = (u >= L'a' && u <= L'z') ? wchar_t(u - 32) : u;
    if (upper == u) return text.find(u, from);  // one value: the library's own scan
    for (size_t i = from; i < text.size(); ++i)
        if (text[i] == u || text[i] == upper) return i;
    return std::wstring_view::npos;
}

const std::vector<int32_t>& SearchPositionLists::ListOf(int32_t k, wchar_t u) {
    std::vector<int32_t>& list = lists[size_t(k)];
    if (made[size_t(k)]) return list;
    made[size_t(k)] = 1;
    for (size_t p = FindFoldedUnit(text, u, 0); p != std::wstring_view::npos; p = FindFoldedUnit(text, u, p + 1))
        list.push_back(int32_t(p));
    return list;
}

void rg_DrenvikKuaiSuXinZhaoWenBenLei::IndexText(std::wstring_view text) {
    // Always start from a clean table: a table left by a stream load or a caller names no real lists.
    unitTable.Clear();
    positionLists.Clear();
    foldCase = 1;
    indexedLength = int32_t(text.size());

    // Lists are numbered in the order their unit first occurs; their positions come later.
    int32_t* __restrict table = unitTable.entries.data();
    int32_t next = 0;
    for (wchar_t c : text) {
        const wchar_t u = AsciiLower(c);
        if (table[u] == 0) table[u] = ++next;
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

    // Candidates are the places of the needle's first unit at or after start, in order.
    const std::vector<int32_t>& first = positionLists.ListOf(k, unit(0));
    for (auto it = std::lower_bound(first.begin(), first.end(), start); it != first.end() && *it <= last; ++it) {
        if (MatchesFolded(text.data() + *it, needle)) return *it;
    }
    return -1;
}

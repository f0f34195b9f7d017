// The packed text array: every item's characters back to back in one text, and per item an
// (offset, length) pair of int32 in a table, with an optional prefix put before every item read.
#pragma once
#include <cstdint>
#include <set>
#include <vector>

#include "platform/object.h"

// Non-repeating random numbers: state only, no operation draws from it.
class rg_DrenvikSuiJiShuBuChongFuLei : public CVolObject {
    VOL_CLASS(rg_DrenvikSuiJiShuBuChongFuLei, CVolObject, "drenvik::rg_DrenvikSuiJiShuBuChongFuLei")
    VOL_MEMBERS(numbers, bound)

public:
    std::vector<int32_t> numbers;
    int32_t bound = -1;
};

class rg_DrenvikWenBenShuZuLei : public CVolObject {
    VOL_CLASS(rg_DrenvikWenBenShuZuLei, CVolObject, "drenvik::rg_DrenvikWenBenShuZuLei")
    VOL_MEMBERS(items, prefix, itemTable, totalLength, lastLength, pickIndex, picker, pickCount, pickedSet)

public:
    // Empties the array; a non-zero n prepares it for about n items. The prefix stays.
    void Clear(int32_t n);
    void Append(std::wstring_view text);
    // The prefix followed by the item; an index outside the array, or a table entry that points
    // outside `items`, reads as the empty item.
    CWString GetItem(int32_t index) const;
    int32_t GetCount() const noexcept { return int32_t(itemTable.GetSize() / 8); }

    CWString items;
    CWString prefix;
    CVolMem itemTable;
    int32_t totalLength = 0;
    int32_t lastLength = 0;
    int32_t pickIndex = -1;
    rg_DrenvikSuiJiShuBuChongFuLei picker;
    int32_t pickCount = 0;
    std::set<int32_t> pickedSet;
};

#include "util/text_array.h"

void rg_DrenvikWenBenShuZuLei::Clear(int32_t n) {
    totalLength = 0;
    itemTable.Empty();  // keeps its storage for reuse
    items = CWString();
    if (n > 0) {
        // Room for n table entries and about 50 units per item, so filling allocates rarely.
        const size_t want = size_t(n) * 8;
        if (itemTable.GetSize() < want) {
            itemTable.SetSize(want);
            itemTable.Empty();
        }
        items.reserve(size_t(n) * 50);
    }
    pickIndex = -1;
    if (!picker.numbers.empty()) std::vector<int32_t>().swap(picker.numbers);
    pickedSet.clear();
}

void rg_DrenvikWenBenShuZuLei::Append(std::wstring_view text) {
    const int32_t len = int32_t(text.size());
    lastLength = len;
    const int32_t entry[2] = {totalLength, len};
    itemTable.Append(entry, sizeof entry);
    items.append(text);
    totalLength += len;
}

CWString rg_DrenvikWenBenShuZuLei::GetItem(int32_t index) const {
    CWString out(prefix);
    if (index < 0 || index >= GetCount()) return out;
    int32_t entry[2];
    std::memcpy(entry, itemTable.GetPtr() + size_t(index) * 8, sizeof entry);
    const int64_t offset = entry[0], length = entry[1];
    // The table may come from a stream: never read outside the characters we hold.
    if (offset < 0 || length <= 0 || offset + length > int64_t(items.size())) return out;
    out.append(items, size_t(offset), size_t(length));
    return out;
}

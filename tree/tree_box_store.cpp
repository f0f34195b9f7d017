// The node store: packed records in pre-order, located by delimiter searches.
#include <algorithm>
#include <cstring>
#include <utility>

#include "tree/tree_box.h"

namespace {

constexpr uint8_t kDelimiter[4] = {1, 2, 3, 4};
constexpr int kLevelAt = 4, kIconAt = 8, kSelectedIconAt = 12, kDataAt = 16, kStateAt = 20, kCheckAt = 21,
              kTextColourAt = 22;

void AppendInt(CVolMem& m, int32_t v) { m.Append(&v, 4); }

// A text as it can be stored: the delimiter bytes may not occur inside it at any alignment, so the
// first unit of every occurrence becomes U+FFFD.
CWString StorableText(std::wstring_view text) {
    CWString s(text);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(s.data());
    const size_t bytes = s.size() * 2;
    for (size_t i = 0; i + 4 <= bytes; ++i)
        if (std::memcmp(b + i, kDelimiter, 4) == 0) {
            s[i / 2] = 0xFFFD;
            b = reinterpret_cast<const uint8_t*>(s.data());
        }
    return s;
}

bool HoldsRecord(const rg_ZhengShuShuZuLei& locator) noexcept { return locator.size() >= 2; }

// Expanded and not expanded swap; the bold bit stays. Other values are left alone.
uint8_t ToggledState(uint8_t state) noexcept {
    switch (state) {
        case 0: return 2;
        case 2: return 0;
        case 1: return 3;
        case 3: return 1;
        default: return state;
    }
}

}  // namespace

// ---- byte searches ---------------------------------------------------------------------------------

int64_t rg_DrenvikShuXingKuang::FindForward(const void* pattern, size_t n, int64_t from) const noexcept {
    const int64_t size = int64_t(nodeBuffer.GetSize());
    if (from < 0) from = 0;
    if (n == 0 || from + int64_t(n) > size) return -1;
    const uint8_t* base = nodeBuffer.GetPtr();
    const uint8_t* p = static_cast<const uint8_t*>(pattern);
    const uint8_t* at = base + from;
    const uint8_t* last = base + size - n;  // last place a match may start
    while (at <= last) {
        at = static_cast<const uint8_t*>(std::memchr(at, p[0], size_t(last - at) + 1));
        if (!at) return -1;
        if (std::memcmp(at, p, n) == 0) return at - base;
        ++at;
    }
    return -1;
}

int64_t rg_DrenvikShuXingKuang::FindBackward(const void* pattern, size_t n, int64_t before) const noexcept {
    const int64_t size = int64_t(nodeBuffer.GetSize());
    if (before > size) before = size;
    const uint8_t* base = nodeBuffer.GetPtr();
    const uint8_t* p = static_cast<const uint8_t*>(pattern);
    for (int64_t at = before - int64_t(n); at >= 0; --at)
        if (base[at] == p[0] && std::memcmp(base + at, p, n) == 0) return at;
    return -1;
}

int64_t rg_DrenvikShuXingKuang::FindLevelForward(int32_t level, int64_t from) const noexcept {
    uint8_t pattern[8];
    std::memcpy(pattern, kDelimiter, 4);
    std::memcpy(pattern + 4, &level, 4);
    return FindForward(pattern, 8, from);
}

int64_t rg_DrenvikShuXingKuang::FindLevelBackward(int32_t level, int64_t before) const noexcept {
    uint8_t pattern[8];
    std::memcpy(pattern, kDelimiter, 4);
    std::memcpy(pattern + 4, &level, 4);
    return FindBackward(pattern, 8, before);
}

int32_t rg_DrenvikShuXingKuang::ReadInt(int64_t at) const noexcept {
    if (at < 0 || at + 4 > int64_t(nodeBuffer.GetSize())) return 0;
    int32_t v;
    std::memcpy(&v, nodeBuffer.GetPtr() + at, 4);
    return v;
}

int32_t rg_DrenvikShuXingKuang::RecordStartBefore(int64_t delimiterPos) const noexcept {
    const int64_t p = FindDelimiterBefore(delimiterPos - 4);
    return p < 0 ? 0 : int32_t(p + RecordTailLength());
}

void rg_DrenvikShuXingKuang::SetLocator(rg_ZhengShuShuZuLei& locator, int64_t first, int64_t last,
                                        int32_t level) const {
    locator.assign({int32_t(first), int32_t(last), level, int32_t(editStamp.value)});
}

void rg_DrenvikShuXingKuang::FillLocatorFromDelimiter(int64_t d, rg_ZhengShuShuZuLei& locator) const {
    SetLocator(locator, RecordStartBefore(d), d + RecordTailLength() - 1, ReadInt(d + kLevelAt));
}

bool rg_DrenvikShuXingKuang::SealRecordStart(int64_t start) {
    const int64_t size = int64_t(nodeBuffer.GetSize());
    if (start <= 0 || start + 2 > size) return false;
    const uint8_t* b = std::as_const(nodeBuffer).GetPtr();  // reading alone keeps lent bytes shared
    for (int64_t at = std::max<int64_t>(0, start - 3); at < start; ++at) {
        if (at + 4 > size || std::memcmp(b + at, kDelimiter, 4) != 0) continue;
        // Only a text unit is replaced, never the record's own delimiter.
        const int64_t own = FindDelimiter(start);
        if (own >= 0 && own < start + 2) return false;
        const uint16_t replacement = 0xFFFD;
        std::memcpy(nodeBuffer.GetPtr() + start, &replacement, 2);
        return true;
    }
    return false;
}

void rg_DrenvikShuXingKuang::SealRecordsFrom(int64_t start, int64_t end) {
    for (int64_t pos = start;;) {
        SealRecordStart(pos);
        if (pos > end) return;
        const int64_t d = FindDelimiter(pos);
        if (d < 0) return;
        pos = d + RecordTailLength();
    }
}

int64_t rg_DrenvikShuXingKuang::DelimiterOf(const rg_ZhengShuShuZuLei& locator) const noexcept {
    if (!HoldsRecord(locator) || locator[0] < 0) return -1;
    const int64_t d = FindDelimiter(locator[0]);
    return (d < 0 || d > locator[1]) ? -1 : d;
}

int32_t rg_DrenvikShuXingKuang::CountRecords(const CVolMem& block) const noexcept {
    int32_t count = 0;
    for (long long pos = 0;;) {
        const long long d = block.FindBytes(kDelimiter, 4, size_t(pos));
        if (d < 0 || d + RecordTailLength() > (long long)block.GetSize()) return count;
        ++count;
        pos = d + RecordTailLength();
    }
}

// ---- locating --------------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::LocateNodeRecord(int32_t node, rg_ZhengShuShuZuLei& locator,
                                                  int32_t locatorNode) const {
    if (node < 0 || node >= nodeCount) return 0;
    int64_t pos = 0;
    int32_t count = -1;
    if (HoldsRecord(locator) && LocatorCurrent(locator) && locatorNode >= 0 && locatorNode < node &&
        locator[1] >= 0) {
        pos = int64_t(locator[1]) + 1;
        count = locatorNode;
    } else if (IsOffsetIndexCurrent()) {
        const int32_t start = GetRecordOffsetFromIndex(node);
        if (start >= 0 && start <= int32_t(nodeBuffer.GetSize())) {
            pos = start;
            count = node - 1;
        }
    }
    int64_t d = -1;
    int64_t recordStart = pos;
    while (count < node) {
        recordStart = pos;
        d = FindDelimiter(pos);
        if (d < 0) return 0;
        ++count;
        pos = d + RecordTailLength();
    }
    SetLocator(locator, recordStart, d + RecordTailLength() - 1, ReadInt(d + kLevelAt));
    return 1;
}

bool rg_DrenvikShuXingKuang::Locate(int32_t node, rg_ZhengShuShuZuLei& locator) const {
    if (node < 0 || node >= nodeCount) return false;
    if (HoldsRecord(locator) && LocatorCurrent(locator)) return true;
    locator.clear();
    return LocateNodeRecord(node, locator) != 0;
}

// ---- getters ---------------------------------------------------------------------------------------

CWString rg_DrenvikShuXingKuang::GetNodeText(int32_t node, rg_ZhengShuShuZuLei& locator) const {
    if (!Locate(node, locator)) return {};
    const int64_t d = DelimiterOf(locator);
    if (d < 0) return {};
    return CWString::FromUtf16Bytes(nodeBuffer.GetPtr() + locator[0], size_t(d - locator[0]));
}

#define TREE_FIELD_GETTER(Name, offset, width, fallback)                                      \
    int32_t rg_DrenvikShuXingKuang::Name(int32_t node, rg_ZhengShuShuZuLei& locator) const {  \
        if (!Locate(node, locator)) return fallback;                                          \
        const int64_t d = DelimiterOf(locator);                                               \
        if (d < 0 || d + (offset) + (width) > int64_t(nodeBuffer.GetSize())) return fallback; \
        if ((width) == 1) return nodeBuffer[size_t(d + (offset))];                            \
        return ReadInt(d + (offset));                                                         \
    }
TREE_FIELD_GETTER(GetNodeLevel, kLevelAt, 4, -1)
TREE_FIELD_GETTER(GetNodeIcon, kIconAt, 4, -1)
TREE_FIELD_GETTER(GetNodeData, kDataAt, 4, 0)
TREE_FIELD_GETTER(GetNodeState, kStateAt, 1, 255)
TREE_FIELD_GETTER(GetNodeCheck, kCheckAt, 1, 255)
TREE_FIELD_GETTER(GetNodeSelectedIcon, kSelectedIconAt, 4, -1)
#undef TREE_FIELD_GETTER

int32_t rg_DrenvikShuXingKuang::GetNodeExtra(int32_t node, rg_ZhengShuShuZuLei& locator) const {
    if (compactRecords) return -1;
    if (!Locate(node, locator)) return -1;
    const int64_t d = DelimiterOf(locator);
    if (d < 0 || d + kTextColourAt + 4 > int64_t(nodeBuffer.GetSize())) return -1;
    return ReadInt(d + kTextColourAt);
}

int32_t rg_DrenvikShuXingKuang::GetNodeBackColour(int32_t node, rg_ZhengShuShuZuLei& locator) const {
    if (compactRecords) return -1;
    if (!Locate(node, locator)) return -1;
    const int64_t d = DelimiterOf(locator);
    if (d < 0 || d + kTextColourAt + 8 > int64_t(nodeBuffer.GetSize())) return -1;
    return ReadInt(d + kTextColourAt + 4);
}

// ---- adding ----------------------------------------------------------------------------------------

void rg_DrenvikShuXingKuang::WriteNodeRecord(CVolMem& target, std::wstring_view text, int32_t icon,
                                             int32_t selectedIcon, int32_t level) const {
    const CWString stored = StorableText(text);
    target.Append(stored.data(), stored.size() * 2);
    target.Append(kDelimiter, 4);
    AppendInt(target, level);
    AppendInt(target, icon);
    AppendInt(target, selectedIcon);
    AppendInt(target, 0);
    target.AppendByte(0);
    target.AppendByte(0);
    if (!compactRecords) {
        AppendInt(target, -1);
        AppendInt(target, -1);
    }
}

void rg_DrenvikShuXingKuang::AddNode(std::wstring_view text, int32_t icon, int32_t data, int32_t state,
                                     int32_t level) {
    CWString stored = StorableText(text);
    const int64_t recordStart = int64_t(nodeBuffer.GetSize());
    nodeBuffer.Append(stored.data(), stored.size() * 2);
    nodeBuffer.Append(kDelimiter, 4);
    AppendInt(nodeBuffer, level);
    AppendInt(nodeBuffer, icon);
    AppendInt(nodeBuffer, -1);
    AppendInt(nodeBuffer, data);
    nodeBuffer.AppendByte(uint8_t(state));
    nodeBuffer.AppendByte(0);
    if (!compactRecords) {
        AppendInt(nodeBuffer, -1);
        AppendInt(nodeBuffer, -1);
    }
    if (SealRecordStart(recordStart)) stored[0] = 0xFFFD;
    ++nodeCount;
    MarkStructureChanged(nodeCount - 1, 0, 1);
    nodeAddedEvent.Raise(this, stored, icon, -1, data, int32_t(uint8_t(state)), 0, -1, -1, level);
}

// ---- changing --------------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::SetNodeFields(int32_t node, const CWString* text, int32_t state, int32_t check,
                                              rg_ZhengShuShuZuLei& locator, int32_t noRefresh) {
    if (!Locate(node, locator)) return 0;
    int64_t d = DelimiterOf(locator);
    if (d < 0 || d + kCheckAt + 1 > int64_t(nodeBuffer.GetSize())) return 0;
    if (text) {
        const CWString stored = StorableText(*text);
        const int64_t first = locator[0];
        const size_t oldBytes = size_t(d - first), newBytes = stored.size() * 2;
        nodeBuffer.Remove(size_t(first), oldBytes);
        nodeBuffer.Insert(size_t(first), stored.data(), newBytes);
        d = first + int64_t(newBytes);
        if (newBytes != oldBytes) MarkStructureChanged(node, 0, 0);
        SealRecordStart(first);
        SetLocator(locator, first, d + RecordTailLength() - 1, ReadInt(d + kLevelAt));
    }
    uint8_t* rec = nodeBuffer.GetPtr() + d;
    const uint8_t oldState = rec[kStateAt];
    const uint8_t stateArg = uint8_t(state), checkArg = uint8_t(check);
    uint8_t newState = oldState;
    if (stateArg == 254) {
        newState = ToggledState(oldState);
    } else if (stateArg != 255) {
        newState = stateArg;
    }
    rec[kStateAt] = newState;
    if (checkArg == 254) {
        const uint8_t c = rec[kCheckAt];
        if (c != 3) rec[kCheckAt] = uint8_t(c + 1 > (checkKind == 2 ? 1 : 2) ? 0 : c + 1);
    } else if (checkArg != 255) {
        rec[kCheckAt] = checkArg;
    }
    SealRecordStart(d + RecordTailLength());
    const bool wasExpanded = int8_t(oldState) >= 2, isExpanded = int8_t(newState) >= 2;
    if (wasExpanded != isExpanded) PatchVisibleRows(node, isExpanded);
    AfterChange(noRefresh);
    return 1;
}

int32_t rg_DrenvikShuXingKuang::SetNodeChecked(int32_t node, int32_t value, int32_t cycle,
                                               rg_ZhengShuShuZuLei& locator, int32_t noRefresh) {
    return SetNodeFields(node, nullptr, 255, cycle ? 254 : value, locator, noRefresh);
}

int32_t rg_DrenvikShuXingKuang::SetNodeExpanded(int32_t node, int32_t expand, int32_t toggle,
                                                rg_ZhengShuShuZuLei& locator) {
    if (!Locate(node, locator)) return 0;
    const int64_t d = DelimiterOf(locator);
    if (d < 0 || d + kStateAt + 1 > int64_t(nodeBuffer.GetSize())) return 0;
    uint8_t& state = nodeBuffer.GetPtr()[d + kStateAt];
    const uint8_t old = state;
    const bool bold = old == 1 || old == 3;
    if (toggle) state = ToggledState(old);
    else state = expand ? (bold ? 3 : 2) : (bold ? 1 : 0);
    SealRecordStart(d + RecordTailLength());
    const bool wasExpanded = int8_t(old) >= 2, isExpanded = int8_t(state) >= 2;
    if (wasExpanded != isExpanded) PatchVisibleRows(node, isExpanded);
    AfterChange(0);
    return 1;
}

// ---- collections -----------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::FindCheckedNodes(rg_ZhengShuShuZuLei& indexes, rg_WenBenShuZuLei* texts,
                                                 rg_ZhengShuShuZuLei* data, rg_ZhengShuShuZuLei* offsets) const {
    indexes.clear();
    if (texts) texts->clear();
    if (data) data->clear();
    if (offsets) offsets->clear();
    int64_t start = 0;
    for (int32_t i = 0; i < nodeCount; ++i) {
        const int64_t d = FindDelimiter(start);
        if (d < 0 || d + kCheckAt + 1 > int64_t(nodeBuffer.GetSize())) break;
        if (nodeBuffer[size_t(d + kCheckAt)] == 1) {
            indexes.push_back(i);
            if (texts) texts->push_back(ReadTextAtOffset(int32_t(start)));
            if (data) data->push_back(ReadInt(d + kDataAt));
            if (offsets) offsets->push_back(int32_t(start));
        }
        start = d + RecordTailLength();
    }
    return int32_t(indexes.size());
}

int32_t rg_DrenvikShuXingKuang::CollectNodesAtLevel(int32_t level, rg_ZhengShuShuZuLei& indexes,
                                                    rg_ZhengShuShuZuLei& offsets, int32_t within) const {
    indexes.clear();
    offsets.clear();
    int32_t i = 0, ownLevel = -1;
    int64_t start = 0;
    if (within >= 0) {
        rg_ZhengShuShuZuLei loc;
        if (!LocateNodeRecord(within, loc)) return 0;
        ownLevel = loc[2];
        i = within + 1;
        start = int64_t(loc[1]) + 1;
    }
    if (level == -1) level = ownLevel + 1;
    for (; i < nodeCount; ++i) {
        const int64_t d = FindDelimiter(start);
        if (d < 0) break;
        const int32_t l = ReadInt(d + kLevelAt);
        if (within >= 0 && l <= ownLevel) break;
        if (l == level) {
            indexes.push_back(i);
            offsets.push_back(int32_t(start));
        }
        start = d + RecordTailLength();
    }
    return int32_t(indexes.size());
}

int32_t rg_DrenvikShuXingKuang::FindFavouritesRoot() const {
    uint8_t pattern[12];
    const int32_t level = 0, icon = 2;
    std::memcpy(pattern, kDelimiter, 4);
    std::memcpy(pattern + 4, &level, 4);
    std::memcpy(pattern + 8, &icon, 4);
    const int64_t d = FindForward(pattern, 12, 0);
    if (d < 0) return -1;
    rg_ZhengShuShuZuLei range{0, int32_t(d + RecordTailLength() - 1), 0};
    return CountNodesBetween(range) - 1;
}

void rg_DrenvikShuXingKuang::MakeLocatorAtOffset(int32_t firstByte, rg_ZhengShuShuZuLei& locator) const {
    const int64_t d = FindDelimiter(firstByte);
    if (d < 0) return;
    SetLocator(locator, firstByte, d + RecordTailLength() - 1, ReadInt(d + kLevelAt));
}

CWString rg_DrenvikShuXingKuang::ReadTextAtOffset(int32_t firstByte) const {
    if (firstByte < 0) return {};
    const int64_t d = FindDelimiter(firstByte);
    if (d < 0) return {};
    return CWString::FromUtf16Bytes(nodeBuffer.GetPtr() + firstByte, size_t(d - firstByte));
}

int32_t rg_DrenvikShuXingKuang::RaiseNodeColourEvent(int32_t node, int32_t colour) {
    return nodeColourEvent.Raise(this, node, colour);
}

// Subtree queries and editing over the packed node store.
#include <cstring>
#include <vector>

#include "tree/tree_box.h"

namespace {

constexpr int kLevelAt = 4, kStateAt = 20;
constexpr uint8_t kDelimiterBytes[4] = {1, 2, 3, 4};

void SetBox(rg_ZhengShuLei* box, int32_t v) noexcept {
    if (VolBoxGiven(box)) box->value = v;
}

}  // namespace

int32_t rg_DrenvikShuXingKuang::IndexOfEarlierRecord(int32_t start, int32_t node,
                                                     const rg_ZhengShuShuZuLei& locator) const {
    if (IsOffsetIndexCurrent()) return FindNodeIndexByOffset(start, node, 1);
    return node - CountNodesBetween({start, locator[1], 0}) + 1;
}

int32_t rg_DrenvikShuXingKuang::GetSubtreeRange(int32_t node, rg_ZhengShuShuZuLei& locator,
                                                rg_ZhengShuShuZuLei& range, int32_t includeNode) const {
    if (!Locate(node, locator) || locator[0] < 0) return -1;
    const int64_t first = int64_t(locator[1]) + 1;
    const int32_t level = locator.size() >= 3 ? locator[2] : GetNodeLevel(node, locator);
    const int64_t size = int64_t(nodeBuffer.GetSize());
    int32_t n = 0;
    int64_t end = -1;
    if (IsLastDescendantIndexCurrent() && IsOffsetIndexCurrent()) {
        const int32_t last = first >= size ? 0 : GetLastDescendantFromIndex(node);
        if (last > node && last < nodeCount) {
            const int64_t d = FindDelimiter(GetRecordOffsetFromIndex(last));
            if (d >= 0) {
                n = last - node;
                end = d + RecordTailLength() - 1;
            }
        }
    } else {
        for (int64_t pos = first;;) {
            const int64_t d = FindDelimiter(pos);
            if (d < 0 || ReadInt(d + kLevelAt) <= level) break;
            ++n;
            end = d + RecordTailLength() - 1;
            pos = end + 1;
        }
    }
    range.assign({int32_t(first), int32_t(end), level + 1});
    if (includeNode) {
        range[0] = locator[0];
        if (end < 0) range[1] = locator[1];
        return n + 1;
    }
    return n;
}

int32_t rg_DrenvikShuXingKuang::CountNodesBetween(const rg_ZhengShuShuZuLei& range) const {
    if (range.size() < 2 || range[1] < 0 || range[0] < 0) return 0;
    if (IsOffsetIndexCurrent()) {
        const int32_t a = FindNodeIndexByOffset(range[0], -1, 0);
        if (a < 0 || a >= nodeCount) return 0;
        const int32_t b = FindNodeIndexByOffset(range[1] + 1, a, 0);
        return b - a;
    }
    int32_t count = 0;
    for (int64_t pos = range[0];;) {
        const int64_t d = FindDelimiter(pos);
        if (d < 0 || d > range[1]) break;
        ++count;
        pos = d + 4;
    }
    return count;
}

int32_t rg_DrenvikShuXingKuang::HasChildren(int32_t node, rg_ZhengShuShuZuLei& locator) const {
    if (!Locate(node, locator)) return 0;
    rg_ZhengShuShuZuLei next = locator;
    if (!LocateNodeRecord(node + 1, next, node)) return 0;
    return next[2] == locator[2] + 1 ? 1 : 0;
}

int32_t rg_DrenvikShuXingKuang::GetParentNode(int32_t node, rg_ZhengShuShuZuLei& locator,
                                              rg_ZhengShuShuZuLei& parentLocator,
                                              rg_ZhengShuLei* parentDelimiter) const {
    if (!Locate(node, locator) || locator.size() < 3) return -1;
    const int32_t level = locator[2];
    auto none = [&] {
        parentLocator.assign({-1, -1, -1});
        SetBox(parentDelimiter, -1);
        return -1;
    };
    if (level <= 0) return none();
    if (IsParentIndexCurrent() && IsOffsetIndexCurrent()) {
        const int32_t p = GetParentFromIndex(node);
        if (p < 0 || p >= node) return none();
        const int32_t start = GetRecordOffsetFromIndex(p);
        const int64_t d = FindDelimiter(start);
        if (d < 0) return none();
        SetBox(parentDelimiter, int32_t(d));
        SetLocator(parentLocator, start, d + RecordTailLength() - 1, level - 1);
        return p;
    }
    const int64_t c = FindLevelBackward(level - 1, locator[0]);
    SetBox(parentDelimiter, int32_t(c));
    if (c < 0) {
        parentLocator.assign({-1, -1, -1});
        return -1;
    }
    const int32_t f = RecordStartBefore(c);
    const int32_t p = IndexOfEarlierRecord(f, node, locator);
    // A parent is always before its child; anything else is a malformed tree, and a walk up the
    // parents must end.
    if (p < 0 || p >= node) return none();
    SetLocator(parentLocator, f, c + RecordTailLength() - 1, level - 1);
    return p;
}

int32_t rg_DrenvikShuXingKuang::FindParentDelimiter(int32_t node, rg_ZhengShuShuZuLei& locator) const {
    if (!Locate(node, locator) || locator.size() < 3 || locator[2] <= 0) return -1;
    if (!(IsParentIndexCurrent() && IsOffsetIndexCurrent())) {
        // The search alone: the parent's index, a count of every record in between, is not asked for.
        return int32_t(FindLevelBackward(locator[2] - 1, locator[0]));
    }
    rg_ZhengShuShuZuLei parent;
    rg_ZhengShuLei delimiterPos;
    delimiterPos.value = -1;
    GetParentNode(node, locator, parent, &delimiterPos);
    return int32_t(delimiterPos.value);
}

int32_t rg_DrenvikShuXingKuang::GetRootNode(int32_t node, rg_ZhengShuShuZuLei& locator) const {
    if (!Locate(node, locator)) return -1;
    int32_t root = -1, current = node;
    rg_ZhengShuShuZuLei loc = locator;
    for (;;) {
        rg_ZhengShuShuZuLei parentLoc;
        const int32_t p = GetParentNode(current, loc, parentLoc, nullptr);
        if (p < 0 || p >= current) break;  // a malformed tree must not loop
        root = current = p;
        loc = parentLoc;
    }
    return root;
}

int32_t rg_DrenvikShuXingKuang::GetPreviousSibling(int32_t node, rg_ZhengShuShuZuLei& locator,
                                                   rg_ZhengShuShuZuLei& siblingLocator,
                                                   rg_ZhengShuLei* parentDelimiter) const {
    if (!Locate(node, locator) || locator.size() < 3 || locator[0] <= 0) return -1;
    const int32_t level = locator[2];
    // The record just before: a parent ends the search.
    const int64_t before = FindDelimiterBefore(locator[0]);
    if (before >= 0 && ReadInt(before + kLevelAt) == level - 1) return -1;
    if (IsSiblingIndexCurrent() && IsOffsetIndexCurrent()) {
        SetBox(parentDelimiter, -2);
        const int32_t s = GetPreviousSiblingFromIndex(node);
        if (s < 0 || s >= node) return -1;
        MakeLocatorAtOffset(GetRecordOffsetFromIndex(s), siblingLocator);
        return s;
    }
    const int64_t found = FindLevelBackward(level, locator[0]);
    rg_ZhengShuShuZuLei own = locator;
    const int32_t parentD = FindParentDelimiter(node, own);
    SetBox(parentDelimiter, parentD);
    if (found < 0 || (parentD >= 0 && found < parentD)) return -1;
    const int32_t start = RecordStartBefore(found);
    const int32_t s = IndexOfEarlierRecord(start, node, locator);
    SetLocator(siblingLocator, start, found + RecordTailLength() - 1, level);
    return s;
}

int32_t rg_DrenvikShuXingKuang::GetNextSibling(int32_t node, rg_ZhengShuShuZuLei& locator,
                                               rg_ZhengShuShuZuLei& siblingLocator,
                                               rg_ZhengShuLei* parentDelimiter) const {
    if (!Locate(node, locator) || locator.size() < 3) return -1;
    const int32_t level = locator[2];
    if (IsSiblingIndexCurrent() && IsOffsetIndexCurrent()) {
        SetBox(parentDelimiter, -2);
        const int32_t s = GetNextSiblingFromIndex(node);
        if (s <= node || s >= nodeCount) return -1;
        MakeLocatorAtOffset(GetRecordOffsetFromIndex(s), siblingLocator);
        return s;
    }
    // The next record of the same level, unless a shallower record (the end of the parent's
    // subtree) comes first.
    int64_t found = -1;
    for (int64_t pos = int64_t(locator[1]) + 1;;) {
        const int64_t d = FindDelimiter(pos);
        if (d < 0) break;
        const int32_t l = ReadInt(d + kLevelAt);
        if (l < level) break;
        if (l == level) {
            found = d;
            break;
        }
        pos = d + RecordTailLength();
    }
    // The parent's delimiter is a search of its own: made only when the caller asks for it.
    if (level > 0 && VolBoxGiven(parentDelimiter)) {
        rg_ZhengShuShuZuLei own = locator;
        SetBox(parentDelimiter, FindParentDelimiter(node, own));
    } else {
        SetBox(parentDelimiter, -1);
    }
    if (found < 0) return -1;
    const int32_t start = RecordStartBefore(found);
    int32_t s;
    if (IsOffsetIndexCurrent()) {
        s = FindNodeIndexByOffset(start, node, 0);
    } else {
        rg_ZhengShuShuZuLei span{locator[0], int32_t(found + RecordTailLength() - 1), 0};
        s = node + CountNodesBetween(span) - 1;
    }
    SetLocator(siblingLocator, start, found + RecordTailLength() - 1, level);
    return s;
}

// ---- editing ---------------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::InsertNodes(int32_t node, int32_t mode, const CVolMem& records, int32_t recordCount,
                                            rg_ZhengShuShuZuLei& locator) {
    if (!Locate(node, locator)) return 0;
    const int64_t ownDelimiter = DelimiterOf(locator);
    if (ownDelimiter < 0) return 0;
    const uint8_t ownState = nodeBuffer[size_t(ownDelimiter + kStateAt)];
    rg_ZhengShuShuZuLei range;
    const int32_t n = GetSubtreeRange(node, locator, range, mode == 0 ? 1 : 0);
    if (n < 0) return 0;
    CVolMem block = records;
    // The block's own records count, not the caller's figure: a wrong count would leave nodeCount
    // naming records that do not exist.
    (void)recordCount;
    const int32_t added = CountRecords(block);
    if (added > 0 && mode != 2) {
        const int64_t d = block.FindBytes(kDelimiterBytes, 4, 0);
        block.GetPtr()[d + kStateAt] = ownState;
    }
    if (n == 0 && block.IsEmpty()) return 0;

    // What the view needs to follow the edit without a full rebuild of its rows.
    const bool rowsCurrent = VisibleRowsCurrent();
    const bool nodeShown = rowsCurrent && FindVisibleRowPosition(node) >= 0;
    const bool topRowKept = firstRowStamp_ == editStamp.value && firstRowLocator.size() >= 2 &&
                            firstRowLocator[1] < (n >= 1 ? range[0] : locator[1] + 1);

    const size_t first = n >= 1 ? size_t(range[0]) : size_t(locator[1]) + 1;
    const size_t removed = n >= 1 ? size_t(range[1]) - first + 1 : 0;
    ReplaceBufferBytes(first, removed, block);
    SealRecordsFrom(int64_t(first), int64_t(first + block.GetSize()) - 1);
    nodeCount += added - n;
    // The selection keeps its node: past the range it moves with the records; inside it, it falls
    // back to the node, or to none when the node itself went.
    const int32_t replacedFirst = mode == 0 ? node : node + 1, replacedLast = replacedFirst + n - 1;
    if (selectedNode > replacedLast) selectedNode += added - n;
    else if (selectedNode >= replacedFirst) selectedNode = (mode == 0 && added == 0) ? -1 : node;
    MarkStructureChanged(replacedFirst, n, added);
    if (rowsCurrent) {
        const bool shown = mode == 0 ? nodeShown : nodeShown && int8_t(ownState) >= 2;
        PatchRowsForReplacement(replacedFirst, replacedLast, block, added, locator[2] + (mode == 0 ? 0 : 1), shown);
    }
    if (topRowKept) {
        firstRowStamp_ = editStamp.value;
        if (firstRowLocator.size() >= 4) firstRowLocator[3] = int32_t(editStamp.value);
    }
    if (n == 0) return 0;
    if (autoRefresh) RefreshView(-1);
    if (selectedNode < nodeCount) RaiseSelectionEvent(selectedNode, 0, 0);
    return n;
}

void rg_DrenvikShuXingKuang::ReplaceBufferBytes(size_t at, size_t count, const CVolMem& bytes) {
    // One move of the bytes after the range, however large the buffer.
    const size_t oldSize = nodeBuffer.GetSize(), put = bytes.GetSize();
    const size_t newSize = oldSize - count + put;
    if (newSize > oldSize) nodeBuffer.SetSize(newSize);
    uint8_t* b = nodeBuffer.GetPtr();
    std::memmove(b + at + put, b + at + count, oldSize - at - count);
    if (put) std::memcpy(b + at, bytes.GetPtr(), put);
    if (newSize < oldSize) nodeBuffer.SetSize(newSize);
}

int32_t rg_DrenvikShuXingKuang::InsertChildNode(int32_t parent, std::wstring_view text, int32_t icon,
                                                int32_t selectedIcon, int32_t data, rg_ZhengShuShuZuLei& locator,
                                                int32_t noRefresh) {
    CVolMem record;
    int32_t index, level;
    size_t at;
    if (parent == -1) {
        index = nodeCount;
        level = 0;
        at = nodeBuffer.GetSize();
    } else {
        rg_ZhengShuShuZuLei range;
        const int32_t n = GetSubtreeRange(parent, locator, range, 0);
        if (n < 0) return -1;
        level = locator[2] + 1;
        at = size_t(range[1] >= 0 ? range[1] : locator[1]) + 1;
        index = parent + n + 1;
    }
    WriteNodeRecord(record, text, icon, selectedIcon, level);
    // The record's data field follows the level, icon and selected icon.
    const int64_t d = record.FindBytes(kDelimiterBytes, 4, 0);
    std::memcpy(record.GetPtr() + d + 16, &data, 4);
    nodeBuffer.Insert(at, record.GetPtr(), record.GetSize());
    SealRecordsFrom(int64_t(at), int64_t(at + record.GetSize()) - 1);
    ++nodeCount;
    if (selectedNode >= index) ++selectedNode;  // the selected node moved down one place
    MarkStructureChanged(index, 0, 1);
    AfterChange(noRefresh);
    return index;
}

void rg_DrenvikShuXingKuang::ExpandAncestors(int32_t node, rg_ZhengShuShuZuLei& locator) {
    if (!Locate(node, locator)) {
        RefreshView(-1);
        return;
    }
    struct Ancestor {
        int32_t index;
        rg_ZhengShuShuZuLei locator;
    };
    std::vector<Ancestor> closed;
    rg_ZhengShuShuZuLei loc = locator;
    for (int32_t current = node;;) {
        rg_ZhengShuShuZuLei parentLoc;
        const int32_t p = GetParentNode(current, loc, parentLoc, nullptr);
        if (p < 0 || p >= current) break;
        rg_ZhengShuShuZuLei probe = parentLoc;
        if (int8_t(GetNodeState(p, probe)) < 2) closed.push_back({p, parentLoc});
        current = p;
        loc = parentLoc;
    }
    // Top level down, so each expansion patches rows that are already listed.
    for (auto it = closed.rbegin(); it != closed.rend(); ++it) SetNodeFields(it->index, nullptr, 254, 255, it->locator, 1);

    // Bring the node into view: the scrolling itself is the view's.
    const int32_t rowHeight = itemHeight + rowSpacing;
    const int32_t h = horizontalBarShown ? (horizontalBar.IsCreated() ? horizontalBar.GetHeight() + 1 : 1) : 0;
    const int32_t perPage = rowHeight > 0 ? (GetClientHeight() - h) / rowHeight : 0;
    // The rows of the last pass name other nodes once the tree changed shape.
    const bool rowsCurrent = firstRowStamp_ == editStamp.value;
    for (int32_t i = 0; rowsCurrent && i < perPage && i < int32_t(rowNodes.size()); ++i)
        if (rowNodes[size_t(i)] == node) {
            RefreshView(-1);
            return;
        }
    EnsureVisibleRows();
    const int32_t position = FindVisibleRowPosition(node);
    const int32_t target = position < 0 ? verticalBar.maximum : (position - 6 * perPage + 6) / 6 + 1;
    if (target >= 1 && target != verticalBar.position) {
        if (target > verticalBar.maximum) RefreshView(-1);
        const int32_t barBefore = horizontalBarShown;
        verticalBar.SetPosition(target);
        if (!barBefore && horizontalBarShown) verticalBar.SetPosition(target + 1);
    } else if (verticalBar.position == 1) {
        RefreshView(-1);
    } else {
        verticalBar.SetPosition(1);
    }
}

#include "tree/tree_view_layout.h"

#include <algorithm>
#include <cmath>
#include <map>

int TreeRowUnit(double dpi) noexcept {
    int u = int(15 * dpi);
    return u % 2 == 0 ? u + 1 : u;
}

int TreeItemHeight(int settingDesign, double dpi, int unit, int textHeight, int iconSize) noexcept {
    int h = settingDesign >= 1 ? int(settingDesign * dpi) : textHeight;
    return std::max({h, unit, textHeight, iconSize});
}

int TreeRowsFit(int clientHeight, int itemHeight, int spacing) noexcept {
    const int step = itemHeight + spacing;
    if (step <= 0 || clientHeight <= 0) return 0;
    return (clientHeight + step - 1) / step;
}

int TreeRowAt(int y, int gap, int itemHeight, int spacing) noexcept {
    const int step = itemHeight + spacing;
    if (step <= 0) return -1;
    return (y - gap) / step;  // C++ division truncates toward zero, as the margin rule wants
}

int TreeRoundNearest(double v) noexcept { return int(v < 0 ? std::ceil(v - 0.5) : std::floor(v + 0.5)); }

TreeRowColumns ComputeTreeRowColumns(int level, const TreeColumnSettings& s) noexcept {
    TreeRowColumns c;
    c.x = s.gap + level * (s.unit + s.gap) + int(s.leftOffset * s.dpi);
    if (level == 1) c.x += int(s.levelOneOffset * s.dpi);
    const int e = int(s.gap * 0.8);
    c.hasCheckColumn = s.checkBoxSize > 0 && level != s.levelWithoutCheckBox;
    const int b = c.hasCheckColumn ? s.checkBoxSize + s.gap : 0;
    const int i = s.iconSize > 0 ? s.iconSize + s.gap : 0;
    c.checkX = c.x + s.unit + e;
    c.iconX = c.checkX + b;
    c.textX = c.iconX + i;
    return c;
}

namespace {
bool Inside(int left, int x, int unit) noexcept {
    return left != kTreeNoColumn && left < x && (long long)x < (long long)left + unit;
}
}  // namespace

TreeHit HitTestTreeRow(const TreeRowHitArea& row, int x, int unit) noexcept {
    if (Inside(row.expanderX, x, unit)) return TreeHit::Expander;
    if (Inside(row.checkBoxX, x, unit)) return TreeHit::CheckBox;
    if (row.hitLeft < x && x < row.hitRight) return TreeHit::Text;
    return TreeHit::None;
}

bool TreeHitsBox(const TreeRowHitArea& row, int x, int unit) noexcept {
    return Inside(row.expanderX, x, unit) || Inside(row.checkBoxX, x, unit);
}

CWString TreeRowDisplayText(std::wstring_view text) {
    CWString out;
    out.reserve(std::min<size_t>(text.size(), kTreeMaxRowText + 2));
    for (wchar_t c : text)
        if (c != L'\n' && c != L'\r') out.push_back(c);
    if (out.size() > size_t(kTreeMaxRowText)) {
        out.resize(kTreeMaxRowText);
        out += L"..";
    }
    return out;
}

TreeKeyAction ClassifyTreeKey(int key, int modifiers) noexcept {
    switch (key) {
    case 37: return modifiers == 0x4000 ? TreeKeyAction::ScrollLeft : TreeKeyAction::Collapse;
    case 39: return modifiers == 0x4000 ? TreeKeyAction::ScrollRight : TreeKeyAction::Expand;
    case 38: return TreeKeyAction::Up;
    case 40: return TreeKeyAction::Down;
    case 113: return TreeKeyAction::Rename;
    default: return TreeKeyAction::None;
    }
}

uint8_t TreeKeyExpandState(uint8_t state, bool expand) noexcept {
    const bool bold = state == 1 || state == 3;
    if (expand) return bold ? 3 : 2;
    return bold ? 1 : 0;
}

int TreeArrowTargetRow(int currentRow, int rowCount, bool up) noexcept {
    if (rowCount <= 0) return 0;
    int r = up ? currentRow - 1 : currentRow + 1;
    if (r < 1) r = rowCount;
    if (r > rowCount) r = 1;
    return r;
}

int TreeHorizontalBarMaximum(int canvasWidth, int vbPart, int clientWidth, int textHeight) noexcept {
    const long long overflow = (long long)canvasWidth + vbPart - clientWidth;
    const long long t = std::max(textHeight, 1);
    const long long steps = overflow > 0 ? (overflow + t - 1) / t : -((-overflow) / t);
    return int(steps + 1);
}

int TreeSurfaceLeft(int position, int maximum, int textHeight, int clientWidth, int vbPart, int surfaceWidth) noexcept {
    if (position >= maximum) return surfaceWidth < 0 ? clientWidth - vbPart : clientWidth - vbPart - surfaceWidth;
    return (1 - position) * textHeight;
}

bool TreeRowTextVisible(int clientWidth, int vb, int surfaceLeft, int textX, int textRight) noexcept {
    return clientWidth - vb >= surfaceLeft + textRight && textX >= -surfaceLeft;
}

TreeEditorRect ComputeTreeEditorRect(int surfaceLeft, int hitLeft, int hitRight, int iconSize, int gap, int row,
                                     int itemHeight, int spacing, int textHeight, int clientWidth) noexcept {
    TreeEditorRect r;
    r.left = surfaceLeft + hitLeft + iconSize + gap - 1;
    r.top = TreeRowTop(row, gap, itemHeight, spacing);
    r.width = std::max(hitRight - hitLeft - iconSize - gap + 6, 3 * textHeight);
    if (r.left + r.width > clientWidth) r.width = clientWidth - r.left;
    r.height = itemHeight;
    return r;
}

std::vector<TreeLine> ComputeTreeConnectorLines(const std::vector<TreeLineRow>& rows, int gap, int unit,
                                                int itemHeight, int canvasHeight) {
    std::vector<TreeLine> lines;
    if (rows.empty()) return lines;
    const int firstNode = rows.front().node, lastNode = rows.back().node;
    auto X = [&](const TreeLineRow& r) { return r.x - gap; };
    auto M = [&](const TreeLineRow& r) { return r.y + itemHeight / 2; };
    auto stub = [&](const TreeLineRow& r) {
        lines.push_back({X(r), M(r), r.x + (r.hasExpander ? 0 : unit), M(r)});
    };
    std::map<int, size_t> lastAtLevel;
    int previousLevel = -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        const TreeLineRow& r = rows[i];
        if (previousLevel >= 0 && r.level < previousLevel)
            lastAtLevel.erase(lastAtLevel.upper_bound(r.level), lastAtLevel.end());
        previousLevel = r.level;
        if (r.level < 1) continue;
        auto q = lastAtLevel.find(r.level);
        if (q != lastAtLevel.end()) {
            const TreeLineRow& p = rows[q->second];
            lines.push_back({X(p), M(p), X(r), M(r)});
            stub(p);
            stub(r);
        } else if (r.previousSibling >= 0 && r.previousSibling < firstNode) {
            lines.push_back({X(r), 0, X(r), M(r)});
            stub(r);
        }
        lastAtLevel[r.level] = i;
        if (r.nextSibling >= 0 && r.nextSibling > lastNode) {
            lines.push_back({X(r), M(r), X(r), canvasHeight});
            stub(r);
        }
    }
    return lines;
}

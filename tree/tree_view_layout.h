// The tree box's row geometry, hit tests, key and scroll arithmetic, apart from any window, so
// they can be tested as plain functions. Pixel values; `dpi` is the cached max(1, scale) factor.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/text.h"

inline constexpr int32_t kTreeNoColumn = 0x7FFFFFFF;  // a row without expander or check box
inline constexpr int kTreeMaxRowText = 1000;          // code units drawn of a row text
inline constexpr int kTreeMaxCanvasWidth = 65535;

// Expander and check-box side: trunc(15 x dpi), made odd so the plus has a middle line.
int TreeRowUnit(double dpi) noexcept;
// Row height: the design setting scaled (below 1: the text height), at least U, T and the icon size.
int TreeItemHeight(int settingDesign, double dpi, int unit, int textHeight, int iconSize) noexcept;
// Rows that fit a client height, the last one possibly cut; 0 when a row takes no room.
int TreeRowsFit(int clientHeight, int itemHeight, int spacing) noexcept;
// The row under y: (y - G) / (H + S) truncated toward zero, so the top margin is row 0; -1 when a
// row takes no room.
int TreeRowAt(int y, int gap, int itemHeight, int spacing) noexcept;
// Top of row i.
inline int TreeRowTop(int row, int gap, int itemHeight, int spacing) noexcept {
    return gap + row * (itemHeight + spacing);
}
// nearest(v) with halves away from zero, and the centring offset of a box of `side` in a row.
int TreeRoundNearest(double v) noexcept;
inline int TreeCentreOffset(int itemHeight, int side) noexcept { return TreeRoundNearest((itemHeight - side) * 0.5); }

// The columns of one row.
struct TreeRowColumns {
    int x = 0;          // expander
    int checkX = 0;     // check box (when hasCheckColumn)
    int iconX = 0;
    int textX = 0;
    bool hasCheckColumn = false;
};
struct TreeColumnSettings {
    int unit = 15;            // U
    int gap = 6;              // G
    int checkBoxSize = 0;     // U with check boxes, else 0
    int iconSize = 0;         // IS
    int leftOffset = 0;       // design units
    int levelOneOffset = 0;   // design units, level 1 only
    int levelWithoutCheckBox = -1;
    double dpi = 1.0;
};
TreeRowColumns ComputeTreeRowColumns(int level, const TreeColumnSettings& s) noexcept;

// What a press at x hits on a drawn row. Every bound is exclusive.
enum class TreeHit { None, Expander, CheckBox, Text };
struct TreeRowHitArea {
    int expanderX = kTreeNoColumn;
    int checkBoxX = kTreeNoColumn;
    int hitLeft = 0;
    int hitRight = 0;
};
TreeHit HitTestTreeRow(const TreeRowHitArea& row, int x, int unit) noexcept;
// Strictly inside the expander or check box (the double click ignores those).
bool TreeHitsBox(const TreeRowHitArea& row, int x, int unit) noexcept;

// The row text as drawn: line breaks removed, cut to 1000 code units plus "..".
CWString TreeRowDisplayText(std::wstring_view text);

// Keys the tree box acts on; everything else only reaches the owner's key event.
enum class TreeKeyAction { None, ScrollLeft, ScrollRight, Collapse, Expand, Up, Down, Rename };
TreeKeyAction ClassifyTreeKey(int key, int modifiers) noexcept;
// State byte after Right (expand) or Left (collapse); the bold bit stays.
uint8_t TreeKeyExpandState(uint8_t state, bool expand) noexcept;
// The 1-based visible row an Up or Down move goes to, wrapping at both ends; 0 when there are none.
int TreeArrowTargetRow(int currentRow, int rowCount, bool up) noexcept;

// ---- viewport ----
inline bool TreeVerticalBarNeeded(int visibleRows, int rowsFit) noexcept { return visibleRows > rowsFit - 1; }
// ceil((canvas + vbPart - client) / T) + 1; T below 1 counts as 1.
int TreeHorizontalBarMaximum(int canvasWidth, int vbPart, int clientWidth, int textHeight) noexcept;
inline int TreeVerticalBarMaximum(bool horizontalShown, int visibleRows, int rowsFit) noexcept {
    return (horizontalShown ? 1 : 0) + visibleRows - rowsFit + 2;
}
// The surface's left edge for a horizontal position; `surfaceWidth` < 0 means the surface has no window.
int TreeSurfaceLeft(int position, int maximum, int textHeight, int clientWidth, int vbPart, int surfaceWidth) noexcept;
bool TreeRowTextVisible(int clientWidth, int vb, int surfaceLeft, int textX, int textRight) noexcept;

// Where the in-place editor goes over row r (tree box coordinates).
struct TreeEditorRect {
    int left, top, width, height;
};
TreeEditorRect ComputeTreeEditorRect(int surfaceLeft, int hitLeft, int hitRight, int iconSize, int gap, int row,
                                     int itemHeight, int spacing, int textHeight, int clientWidth) noexcept;

// ---- connector lines ----
struct TreeLineRow {
    int node = 0;
    int level = 0;
    int x = 0;            // expander column
    int y = 0;            // row top
    bool hasExpander = false;
    int previousSibling = -1;  // -1 none
    int nextSibling = -1;      // -1 none
};
struct TreeLine {
    int x1, y1, x2, y2;
    bool operator==(const TreeLine&) const = default;
};
// Lines between the drawn rows: verticals at x - G between siblings, to the canvas edges for
// siblings out of view, and a stub to each row's expander (or past U when it has none).
std::vector<TreeLine> ComputeTreeConnectorLines(const std::vector<TreeLineRow>& rows, int gap, int unit,
                                                int itemHeight, int canvasHeight);

// The combo box's list items and the computations behind its list, apart from any window: the
// list-text format, row pitch, drop-down placement, the row under the mouse and wheel stepping.
#pragma once
#include <string_view>

#include "platform/object.h"

// One list item. The text "[-]" makes it a separator line.
class rg_DrenvikXiangMu : public CVolObject {
    VOL_CLASS(rg_DrenvikXiangMu, CVolObject, "ui::rg_DrenvikXiangMu")
    VOL_MEMBERS(text, groupOrValue, iconIndex, spareValue, itemKind)

public:
    CWString text;
    int groupOrValue = 0;  // group index, a colour, or a list text's second field
    int iconIndex = 0;     // picture of the item's icon; no picture there draws none
    int spareValue = 0;
    int itemKind = 0;      // 0 normal; 1 grey group header; 2+ the text's colour; not 0: cannot be chosen
};

inline constexpr wchar_t kComboSeparatorHeader[] = L"{参数分隔符}";
inline constexpr wchar_t kComboSeparatorItem[] = L"[-]";
inline constexpr wchar_t kComboBarCode[] = L"{124}";

// ---- list text ------------------------------------------------------------------------------------

// True when the line starts with "{参数分隔符}"; `separator` then receives the line without every
// occurrence of it.
bool ReadSeparatorHeader(std::wstring_view line, CWString& separator);
// One item line: up to five fields split at `separator` (an empty separator keeps the whole line).
rg_DrenvikXiangMu ParseComboItemLine(std::wstring_view line, std::wstring_view separator, bool emptyIconIsZero);
// A text of single lines (split at every CR and LF) taken in pairs, each pair joined by the
// separator, rows joined by CR LF; a last unpaired piece is dropped.
CWString PairComboLinesToRows(std::wstring_view text, std::wstring_view separator);

// ---- geometry ---------------------------------------------------------------------------------------

// Row pitch of the open list: the taller of icon and text plus the spacing, never below 1 (it is
// divided by).
int ComboRowPitch(int tallestIcon, int textHeight, int scaledSpacing) noexcept;
// Rows that fit in the open list.
int ComboVisibleRows(int listHeight, int scaledSpacing, int rowPitch) noexcept;

struct ComboListPlacement {
    int listHeight = 0;
    bool above = false;
};
// Where the list of `itemCount` rows opens for a control whose top lies at `top` in a parent
// `parentHeight` high: below when it fits or when there is more room below, else above.
ComboListPlacement PlaceComboList(int parentHeight, int top, int rowHeight, int itemCount, int rowPitch,
                                  int scaledSpacing) noexcept;
// Left edge of the drop button (beyond the client area without one).
int ComboButtonX(int clientWidth, int rowHeight, bool noDropButton) noexcept;
// The item row under a mouse y in the open list, or -1.
int ComboHotRow(int y, int scaledSpacing, int rowHeight, bool above, int listHeight, int rowPitch,
                int firstVisibleRow) noexcept;
// The item one wheel message selects on a closed list: every message is one step, away from the
// user (delta > 0) going up, wrapping at both ends. -1 for an empty list.
int ComboWheelTarget(int selected, int itemCount, int wheelDelta) noexcept;
// A row number padded with zeros to the width of `count` when asked, then ".".
CWString ComboRowNumber(int number, int count, bool zeroPad);

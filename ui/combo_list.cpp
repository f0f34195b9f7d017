#include "ui/combo_list.h"

#include <algorithm>

namespace {
// Case-sensitive split without trimming; empty pieces stay, and an empty text is one empty piece.
CWStringArray SplitKeepingEmpty(std::wstring_view text, std::wstring_view separator) {
    CWStringArray out;
    if (separator.empty()) {
        out.emplace_back(text);
        return out;
    }
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::wstring_view::npos) break;
        out.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    out.emplace_back(text.substr(start));
    return out;
}
}  // namespace

bool ReadSeparatorHeader(std::wstring_view line, CWString& separator) {
    std::wstring_view header(kComboSeparatorHeader);
    if (line.substr(0, header.size()) != header) return false;
    CWString rest(line);
    rest.Replace(header, L"");
    separator = rest;
    return true;
}

rg_DrenvikXiangMu ParseComboItemLine(std::wstring_view line, std::wstring_view separator, bool emptyIconIsZero) {
    CWStringArray f = SplitKeepingEmpty(line, separator);
    f.resize(5);
    rg_DrenvikXiangMu item;
    item.text = f[0];
    item.text.Replace(kComboBarCode, L"|");
    item.groupOrValue = int(WideTextToInt(f[1]));
    item.iconIndex = f[2].empty() ? (emptyIconIsZero ? 0 : -1) : int(WideTextToInt(f[2]));
    item.spareValue = f[3].empty() ? -1 : int(WideTextToInt(f[3]));
    item.itemKind = int(WideTextToInt(f[4]));
    return item;
}

CWString PairComboLinesToRows(std::wstring_view text, std::wstring_view separator) {
    CWStringArray pieces;
    SplitTextByAnyChar(text, pieces, L"\r\n", false, false);
    CWString rows;
    for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
        if (i) rows.Append(L"\r\n");
        rows.Append(pieces[i]).Append(separator).Append(pieces[i + 1]);
    }
    return rows;
}

int ComboRowPitch(int tallestIcon, int textHeight, int scaledSpacing) noexcept {
    return std::max(1, std::max(tallestIcon, textHeight) + scaledSpacing);
}

int ComboVisibleRows(int listHeight, int scaledSpacing, int rowPitch) noexcept {
    return (listHeight - scaledSpacing / 2) / std::max(1, rowPitch);
}

ComboListPlacement PlaceComboList(int parentHeight, int top, int rowHeight, int itemCount, int rowPitch,
                                  int scaledSpacing) noexcept {
    ComboListPlacement p;
    long long full = (long long)itemCount * rowPitch + scaledSpacing;
    long long below = (long long)parentHeight - top;
    long long height;
    if (rowHeight + full <= below) {
        height = full;
    } else if (below > (long long)rowHeight + top) {
        height = below - rowHeight;
    } else {
        p.above = true;
        height = std::min<long long>(full, top);
    }
    p.listHeight = int(std::clamp<long long>(height, 0, 0x7FFFFFFF));
    return p;
}

int ComboButtonX(int clientWidth, int rowHeight, bool noDropButton) noexcept {
    return noDropButton ? clientWidth + rowHeight / 8 - 1 : clientWidth - rowHeight / 8 - rowHeight / 4;
}

int ComboHotRow(int y, int scaledSpacing, int rowHeight, bool above, int listHeight, int rowPitch,
                int firstVisibleRow) noexcept {
    int p = y - scaledSpacing / 2 - (above ? 0 : rowHeight);
    if (p < 0 || (above && p > listHeight)) return -1;
    return p / std::max(1, rowPitch) + firstVisibleRow;
}

int ComboWheelTarget(int selected, int itemCount, int wheelDelta) noexcept {
    if (itemCount <= 0) return -1;
    if (selected < 0 || selected >= itemCount) selected = -1;
    int i = selected - (wheelDelta > 0 ? 1 : -1);
    if (i < 0) return itemCount - 1;
    if (i >= itemCount) return 0;
    return i;
}

CWString ComboRowNumber(int number, int count, bool zeroPad) {
    CWString digits = CWString::FromInt(number);
    if (zeroPad) {
        int width = CWString::FromInt(count).GetLength();
        if (digits.GetLength() < width) digits.insert(0, size_t(width - digits.GetLength()), L'0');
    }
    return digits + L".";
}

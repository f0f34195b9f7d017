// The combo box's colour list, date-time editing, web addresses and tooltip.
#include "ui/combo_modes.h"

#include <algorithm>
#include <climits>

#include "platform/system.h"
#include "ui/colour_picker.h"
#include "ui/combo_box.h"
#include "util/link_opener.h"
#include "util/text_helpers.h"

namespace {
constexpr int kSwatchPen = 0x999999;
constexpr wchar_t kUrlHint[] = L"右击可以打开网址";
constexpr wchar_t kColourHint[] = L"如果需要定位上次颜色，按住Ctrl键再弹出列表";

// The first unit of `what` at or after `from`, or -1.
int FindFrom(std::wstring_view text, wchar_t what, int from) noexcept {
    size_t at = text.find(what, size_t(std::max(from, 0)));
    return at == std::wstring_view::npos ? -1 : int(at);
}

// The last `what` inside the first `count` units, or -1.
int FindLastWithin(std::wstring_view text, wchar_t what, int count) noexcept {
    if (count <= 0) return -1;
    size_t at = text.substr(0, size_t(std::min<int>(count, int(text.size())))).rfind(what);
    return at == std::wstring_view::npos ? -1 : int(at);
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) noexcept {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

int CurrentLocalYear() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return int(now.wYear);
}

int FieldNumber(std::wstring_view text) noexcept {
    return int(std::clamp<long long>(WideTextToInt(text), INT_MIN / 16, INT_MAX / 16));
}
}  // namespace

// ---- pure helpers -----------------------------------------------------------------------------------

int ResolveComboColour(int value, int freeColour) noexcept {
    if (value == -2) value = freeColour;
    if (value == -1 || value == -2) return 0xFFFFFF;
    if (unsigned(value) == 0xFF000000u) return int(::GetSysColor(COLOR_BTNFACE));
    return value & 0xFFFFFF;
}

int ComboSwatchTextColour(int swatch) noexcept {
    int r = swatch & 0xFF, g = (swatch >> 8) & 0xFF, b = (swatch >> 16) & 0xFF;
    return 0.587 * g + 0.299 * r + 0.114 * b >= 128 ? 0x000000 : 0xFFFFFF;
}

DateTimeField FindDateTimeField(std::wstring_view text, int caret, int currentYear) noexcept {
    DateTimeField f;
    const int length = int(text.size());
    f.end = -1;
    for (wchar_t separator : {L'/', L'-', L' ', L':'})  // the first kind found wins, not the nearest
        if (f.end < 0) f.end = FindFrom(text, separator, caret);
    if (f.end < 0) f.end = length;
    for (wchar_t separator : {L':', L' ', L'-', L'/'})
        if (f.before < 0) f.before = FindLastWithin(text, separator, f.end - 1);
    f.start = f.before + 1;
    const bool hasDate = text.find(L'/') != std::wstring_view::npos || text.find(L'-') != std::wstring_view::npos;
    const bool isTime = !hasDate && text.find(L':') != std::wstring_view::npos;
    auto range = [&](int low, int high) {
        f.low = low;
        f.high = high;
    };
    if (isTime) {
        if (f.start == 0) range(0, 23);
        else if (f.start == 3 || f.start == 6) range(0, 59);
    } else {
        switch (f.start) {
        case 0:
            range(1990, currentYear);
            f.isYear = true;
            f.width = 4;
            break;
        case 5: range(1, 12); break;
        case 8: range(1, 31); break;
        case 11: range(0, 23); break;
        case 14:
        case 17: range(0, 59); break;
        default: break;
        }
    }
    return f;
}

int StepDateTimeValue(int value, int direction, int low, int high) noexcept {
    long long v = (long long)value + direction;
    if (direction > 0 && v > high) return low;
    if (direction < 0 && v < low) return high;
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

CWString ComboItemAddress(std::wstring_view itemText, int urlMode) {
    CWStringArray pieces;
    SplitTextByAnyChar(itemText, pieces, L" \t\u3000", true, true);
    CWString address;
    if (pieces.size() == 2) address = pieces[1];
    else if (pieces.size() == 1) address = pieces[0];
    if (address.empty()) return address;
    // Only a real web scheme passes unchanged: "http" followed by anything else would reach the
    // shell as a file or program name.
    if (StartsWithNoCase(address, L"http://") || StartsWithNoCase(address, L"https://")) return address;
    if (urlMode == 2 && address.FindText(L"www.", 0, true) < 0) address = L"www." + address;
    return L"http://" + address;
}

CWString ComposeComboTooltip(std::wstring_view text, int urlMode, int colourMode) {
    CWString tip(text);
    if (urlMode != 0) tip += text.empty() ? CWString(kUrlHint) : CWString::Concat({L"（", kUrlHint, L"）"});
    if (colourMode >= 1) tip += text.empty() ? CWString(kColourHint) : CWString::Concat({L"。", kColourHint});
    return tip;
}

// ---- colour list ------------------------------------------------------------------------------------

int rg_DrenvikZuGeKuang1::GetColour() const {
    if (selectedIndex == 0) return customColour;
    const rg_DrenvikXiangMu* item = GetItem(selectedIndex);
    return item ? item->groupOrValue : 0;
}

void rg_DrenvikZuGeKuang1::SetColour(int colour) {
    customColour = colour;
    if (colourMode < 1) return;
    selectedIndex = 0;
    for (int i = 1; i < GetItemCount(); ++i) {
        if (GetItem(i)->groupOrValue == colour) {
            selectedIndex = i;
            break;
        }
    }
    Refresh();
}

int rg_DrenvikZuGeKuang1::RaiseColourChanged() { return ColourChanged.Raise(this); }

void rg_DrenvikZuGeKuang1::ChooseColourItem(int index) {
    // Both the picker's loop and the pump below handle any message, one that closes the box too.
    std::shared_ptr<bool> alive = alive_;
    if (index != 0) {
        customColour = GetItemValue(index);
    } else {
        rg_DrenvikYanSeXuanZeChuangKouLei picker;
        int chosen = picker.ShowNear(GetHwnd(), GetColour());
        if (!*alive) return;
        if (chosen == -1) {
            SetColour(customColour);  // back on the current colour; nothing changed
            return;
        }
        SetColour(chosen);
    }
    PumpPendingMessages();
    if (*alive) RaiseColourChanged();
}

void rg_DrenvikZuGeKuang1::PaintColourRow(const rg_DrenvikXiangMu& item, int height, bool hot, int rightMargin) {
    int swatch = ResolveComboColour(item.groupOrValue, customColour);
    drawCanvas.SetPenColor(kSwatchPen);
    drawCanvas.SetBrushColor(swatch);
    int m = rightMargin;
    if (m == 0 && ScrollBarShown()) m = listScrollBar_->GetWidth();
    int y = drawY + (height - textHeight) / 2;
    int k = hot ? ScaleByDpi(3) : 0;
    drawCanvas.DrawRectangle(drawX - k, y - k, drawCanvas.GetClientWidth() - m - ScaleByDpi(5) + k, y + textHeight + k);
    drawCanvas.SetTextColor(ComboSwatchTextColour(swatch));
    drawCanvas.DrawText(item.text, drawX + ScaleByDpi(3), y);
}

// ---- date-time editing ----------------------------------------------------------------------------------

int rg_DrenvikZuGeKuang1::EditDateTimeField(int key) {
    HWND edit = editField.GetHwnd();
    if (!edit) return key == -1 ? 0 : 1;
    const CWString text = editField.GetText();
    DWORD selStart = 0, selEnd = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    const int year = CurrentLocalYear();
    const DateTimeField field = FindDateTimeField(text, int(selStart), year);

    auto select = [&](const DateTimeField& f) {
        if (f.end - f.start < 0) ::SendMessageW(edit, EM_SETSEL, 0, -1);
        else ::SendMessageW(edit, EM_SETSEL, WPARAM(f.start), LPARAM(f.end));
        ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
        dateDigitCount = 0;
    };
    // Replaces the field with a number at `width` digits and selects what was written.
    auto write = [&](long long value, int width) {
        ::SendMessageW(edit, EM_SETSEL, WPARAM(field.start), LPARAM(field.end));
        CWString digits = FormatZeroPadded(int32_t(value), width);
        ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(digits.c_str()));
        ::SendMessageW(edit, EM_SETSEL, WPARAM(field.start), LPARAM(field.start + width));
    };

    const std::wstring_view fieldText = std::wstring_view(text).substr(size_t(field.start), size_t(field.end - field.start));
    const int number = FieldNumber(fieldText);
    // Stepping a field that holds no number would overwrite text that is not a date.
    const bool numeric =
        !fieldText.empty() && std::all_of(fieldText.begin(), fieldText.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    switch (key) {
    case -1: select(field); return 0;
    case VK_LEFT:
        if (field.before >= 0) select(FindDateTimeField(text, field.before, year));
        return 1;
    case VK_RIGHT:
        if (field.end < text.GetLength()) select(FindDateTimeField(text, field.end + 1, year));
        return 1;
    case VK_UP:
    case VK_DOWN:
        if (!numeric) return 1;
        write(StepDateTimeValue(number, key == VK_UP ? 1 : -1, field.low, field.high), field.width);
        dateDigitCount = 0;
        return 1;
    default: break;
    }
    if (key < L'0' || key > L'9') return 1;
    const int digit = key - L'0';
    long long candidate = dateDigitCount == 0 ? digit : (long long)number * 10 + digit;
    if ((candidate >= field.low && candidate <= field.high) || (field.isYear && candidate <= 9999)) {
        write(candidate, field.width);
    } else {
        dateDigitCount = 0;
        write(digit, 2);
        ::SendMessageW(edit, EM_SETSEL, WPARAM(field.start), LPARAM(field.start + field.width));
    }
    if (++dateDigitCount >= field.width) dateDigitCount = 0;
    return 1;
}

int rg_DrenvikZuGeKuang1::OnEditChar(CVolObject*, int) { return dateTimeMode ? -1 : 0; }

int rg_DrenvikZuGeKuang1::OnEditRightDown(CVolObject*, int, int, int) { return dateTimeMode ? 1 : 0; }

// The edit field's own menu would offer cut and paste on a text that only the keys may change.
int rg_DrenvikZuGeKuang1::OnEditMessage(CVolObject*, HWND, UINT message, WPARAM, LPARAM, VolMessage*) {
    return dateTimeMode && message == WM_CONTEXTMENU ? 1 : 0;
}

int rg_DrenvikZuGeKuang1::OnEditWheel(CVolObject*, int notches, int) {
    if (!dateTimeMode) return 0;
    if (notches != 0) EditDateTimeField(notches > 0 ? VK_UP : VK_DOWN);
    return 1;
}

// ---- right click and tooltip ----------------------------------------------------------------------------

void rg_DrenvikZuGeKuang1::OnRightClick(int, int, int) {
    if (disabled) return;
    if (listOpen && !ToggleDropDown()) return;
    if (style == 2) {
        const rg_DrenvikXiangMu* item = GetItem(selectedIndex);
        if (item && urlMode != 0) {
            CWString address = ComboItemAddress(item->text, urlMode);
            if (!address.empty()) OpenLinkOrPath(address, L"");
        }
    } else {
        SelectByText(L"");
    }
    RightClick.Raise(this);
}

CWString rg_DrenvikZuGeKuang1::ComposedTooltip() const { return ComposeComboTooltip(tooltipText, urlMode, colourMode); }

void rg_DrenvikZuGeKuang1::SetTooltip(std::wstring_view text) {
    tooltipText = text;
    SetCanvasTip(ComposedTooltip());
}

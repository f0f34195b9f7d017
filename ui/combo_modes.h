// The combo box's optional modes apart from any window: the colour list's colours, the date-time
// fields of the edit text, the web address an item carries, and the composed tooltip.
#pragma once
#include <string_view>

#include "platform/text.h"

// ---- colour list ------------------------------------------------------------------------------------

// An item's colour: -2 the free colour, -1 white, 0xFF000000 the button face; only the colour bytes.
int ResolveComboColour(int value, int freeColour) noexcept;
// Black or white, whichever reads on the swatch.
int ComboSwatchTextColour(int swatch) noexcept;

// ---- date-time fields ---------------------------------------------------------------------------------

// The field around a caret in a text such as "2024/05/06 07:08:09" or "07:08:09".
struct DateTimeField {
    int start = 0;        // g: the first unit of the field
    int end = 0;          // e: the separator after it, or the text's length
    int before = -1;      // m: the separator before it, -1 for the first field
    int low = 0, high = 0;  // the values the field may take
    int width = 2;        // digits written: 4 for the year, else 2
    bool isYear = false;
};
DateTimeField FindDateTimeField(std::wstring_view text, int caret, int currentYear) noexcept;
// The number one up (+1) or down (-1) step gives, wrapping at the range's ends.
int StepDateTimeValue(int value, int direction, int low, int high) noexcept;

// ---- web addresses and the tooltip ---------------------------------------------------------------------

// The address an item's text carries ("name address" or "address"), with "http://" (and "www." in
// mode 2) put before one that has no scheme; empty when the text carries none.
CWString ComboItemAddress(std::wstring_view itemText, int urlMode);
// The tooltip text plus the hints of the web-address mode and the colour list.
CWString ComposeComboTooltip(std::wstring_view text, int urlMode, int colourMode);

// The position record: a rectangle, or a byte range of the HTML parser.
#pragma once
#include "platform/object.h"

class rg_DrenvikWeiZhiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikWeiZhiLei, CVolObject, "drenvik::rg_DrenvikWeiZhiLei")
    VOL_MEMBERS(deriveSize, left, top, right, bottom, width, height, userValue, nestCount, start, end)
public:
    int32_t deriveSize = 1;  // filling the corners also sets width and height
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t userValue = 0;
    int32_t nestCount = 0;  // parser range: opening tags counted while its end was sought
    int32_t start = 0;      // parser range: first byte
    int32_t end = 0;        // parser range: just past the last byte
};

// Reads a quoted "left,top,right,bottom" text (its quotes are removed in place) into the record,
// scaled by the DPI factor; fewer than four numbers leave the record unchanged.
void ParsePositionText(CWString& text, rg_DrenvikWeiZhiLei& record);

// Rows needed for a text in a width, times the line height. The metrics record's width is the
// character width and its height the line height; an omitted record means 6 and 12.
int32_t EstimateTextHeight(std::wstring_view text, int32_t width, rg_DrenvikWeiZhiLei metrics = VolOmitted<rg_DrenvikWeiZhiLei>());

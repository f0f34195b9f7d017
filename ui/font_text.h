// The font of the owner-drawn controls, convertible to and from the font description text
// ("微软雅黑, 11, 0, 0, 0, 0, 0") that CVolWinControl::SetFont reads.
#pragma once
#include "platform/object.h"

class rg_DrenvikZiTiLei1 : public CVolObject {
    VOL_CLASS(rg_DrenvikZiTiLei1, CVolObject, "rg_DrenvikZiTiLei1")
    VOL_MEMBERS(face, size, bold, italic, underline, strikeOut, angle, fontExtra)

public:
    // Sets every member but fontExtra; a malformed text gives size or angle 0 and false flags.
    void ParseFontText(std::wstring_view text);
    CWString FormatFontText() const;

    CWString face = L"微软雅黑";
    int32_t size = 11;       // points
    int32_t bold = 0;
    int32_t italic = 0;
    int32_t underline = 0;
    int32_t strikeOut = 0;
    int32_t angle = 0;       // tenths of a degree
    int32_t fontExtra = 0;   // carried along; neither parsed nor formatted
};

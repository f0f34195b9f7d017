#include "ui/font_text.h"

#include "platform/font.h"

void rg_DrenvikZiTiLei1::ParseFontText(std::wstring_view text) {
    VolFontSpec s = ParseFontDescription(text);
    face = s.face;
    size = s.size;
    bold = s.bold;
    italic = s.italic;
    underline = s.underline;
    strikeOut = s.strikeOut;
    angle = s.angle;
}

CWString rg_DrenvikZiTiLei1::FormatFontText() const {
    VolFontSpec s;
    s.face = face;
    s.size = size;
    s.bold = bold != 0;
    s.italic = italic != 0;
    s.underline = underline != 0;
    s.strikeOut = strikeOut != 0;
    s.angle = angle;
    return FormatFontDescription(s);
}

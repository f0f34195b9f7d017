#include "platform/font.h"

#include <cwchar>

bool TextToBool(std::wstring_view text) noexcept {
    std::wstring_view t = TrimView(text);
    return t == L"真" || t == L"1" || EqualsNoCase(t, L"true");
}

VolFontSpec ParseFontDescription(std::wstring_view text) {
    CWStringArray parts;
    SplitTextBySeparator(text, parts, L",", true, false);
    parts.resize(7);
    VolFontSpec s;
    s.face = parts[0];
    s.size = int(WideTextToInt(parts[1]));
    s.bold = TextToBool(parts[2]);
    s.italic = TextToBool(parts[3]);
    s.underline = TextToBool(parts[4]);
    s.strikeOut = TextToBool(parts[5]);
    s.angle = int(WideTextToInt(parts[6]));
    return s;
}

CWString FormatFontDescription(const VolFontSpec& s) {
    wchar_t tail[96];
    std::swprintf(tail, 96, L", %d, %d, %d, %d, %d, %d", s.size, s.bold ? 1 : 0, s.italic ? 1 : 0,
                  s.underline ? 1 : 0, s.strikeOut ? 1 : 0, s.angle);
    return s.face + tail;
}

UniqueGdiObject CreateFontFromSpec(const VolFontSpec& s) {
    HDC screen = ::GetDC(nullptr);
    int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(s.size, dpi, 72);
    lf.lfWeight = s.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = s.italic;
    lf.lfUnderline = s.underline;
    lf.lfStrikeOut = s.strikeOut;
    lf.lfEscapement = lf.lfOrientation = s.angle;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy_s(lf.lfFaceName, s.face.c_str(), _TRUNCATE);
    return UniqueGdiObject(::CreateFontIndirectW(&lf));
}

// Font description texts ("微软雅黑, 11, 0, 0, 0, 0, 0": face, points, bold, italic, underline,
// strike-out, angle in tenths of a degree) and the GDI fonts made from them.
#pragma once
#include "platform/win.h"

#include <string_view>

#include "platform/handles.h"
#include "platform/text.h"

inline constexpr wchar_t kDefaultFontText[] = L"微软雅黑, 11, 0, 0, 0, 0, 0";

// 1 when the trimmed text equals "真", "true" or "1" (ASCII case ignored), else 0.
bool TextToBool(std::wstring_view text) noexcept;

struct VolFontSpec {
    CWString face = L"微软雅黑";
    int size = 11;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int angle = 0;
};

// Splits at "," with trimming and reads exactly seven fields; missing fields read as empty, so a
// malformed text gives size or angle 0 and false flags. Never fails.
VolFontSpec ParseFontDescription(std::wstring_view text);
CWString FormatFontDescription(const VolFontSpec& spec);

// A GDI font of the given size in points at the screen's logical DPI.
UniqueGdiObject CreateFontFromSpec(const VolFontSpec& spec);

// What every owner-drawn control leans on: cached text measuring per font, colour conversions on
// the 0-240 hue/saturation/lightness scale, colour texts, and small window helpers.
// Lengths scaled while painting go through ScaleByDpi (platform/dpi.h); designer values through
// ScaleDesignValue.
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/containers.h"
#include "platform/dpi.h"
#include "platform/geometry.h"
#include "platform/painter.h"
#include "platform/window.h"

// ---- text measuring ------------------------------------------------------------------------------

// Font text -> slot number, in the order font texts are first seen. Never cleared.
extern CTextMap<int> gTextMeasureIndex;
// Per slot: 64-bit text key -> width / height in pixels. The two lists grow together.
extern std::vector<std::unordered_map<int64_t, int>> gTextWidthCaches;
extern std::vector<std::unordered_map<int64_t, int>> gTextHeightCaches;

// A CJK ideograph, "a", "A", a CJK ideograph: its height is a font's line height.
extern const CWString gLineHeightSample;
// What an empty line is measured as.
extern const CWString gEmptyLineSample;

// The board must already use the font the font text describes; the text only keys the cache.
// Width: an empty font text is replaced by the default font text in the caller's object.
int MeasureTextWidth(CVWnd_Painter& board, const CWString& text, CWString& fontText);
int MeasureTextHeight(CVWnd_Painter& board, const CWString& text, const CWString& fontText);
// Splits a non-empty text at "\r\n" into `lines` (an empty text keeps the caller's lines), appends
// each line's width and height, sets the total height (lines plus gaps between them) and returns the
// widest width.
int MeasureMultilineText(CVWnd_Painter& board, CWString& fontText, rg_WenBenShuZuLei& lines, CIntArray& widths,
                         CIntArray& heights, int& totalHeight, int lineGap, const CWString& text);

// ---- window helpers ------------------------------------------------------------------------------

CWString ReadWindowText(HWND hwnd);
// The window (whole) or client rectangle in screen coordinates, or relative to the parent's window
// (whole) or client rectangle when asked and the window has a parent.
rg_JuXingLei GetWindowRectangle(HWND hwnd, bool wholeWindow, bool relativeToParent);
// Replaces every "[版本名称]" in the window's title by the version name.
void SetWindowTitleWithVersion(HWND hwnd);

inline constexpr wchar_t kVersionPlaceholder[] = L"[版本名称]";
inline constexpr wchar_t kVersionName[] = L"1.2.0.0";

// The form whose title bar shows hints; nothing in the library sets it.
extern CVolWinForm* gMainForm;
// The main form's title as the first hint found it.
extern CWString gSavedTitle;
// Shows `hint` in the main form's title, with a waiting note when the seconds text reads above 0;
// an empty hint restores the saved title.
void SetTitleHint(const CWString& hint, const CWString& secondsText);

// Routes the utility layer's title hints here; callers skip the hint while there is no main form.
// Called once at start-up.
void InstallTitleHintHook();

// ---- colours -------------------------------------------------------------------------------------

rg_ZhengShuShuZuLei RgbToHsl240(int color);
int Hsl240ToRgb(double hue, double saturation, double lightness);
int DeriveAccentColor(int hue, int saturation, int lightness);
// "#RRGGBB"; -1 (no colour) gives the empty text.
CWString ColorToHexText(int color);
// "#RRGGBB" (or the last six units without "#") to 0x00BBGGRR; never fails.
int HexTextToColor(const CWString& text);

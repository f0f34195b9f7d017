// The owner-drawn caption label: one line of text beside an accent bar, with a line under and/or
// above the text band and an optional guide line. Text given to a label that has a window is
// reduced to its first plain line.
#pragma once
#include "platform/painter.h"
#include "platform/window.h"

// ---- the text reduction --------------------------------------------------------------------------

// The two entry points of the line-break replacement the label was first written against. Only
// the one replacement the label asks for is supported: pattern "\r(?!\n)|(?<!\r)\n" with
// replacement CR LF turns every lone CR and every lone LF into CR LF. Begin returns a new
// zero-terminated text (released with End), or null for a null text or any other request.
wchar_t* DeelxTool_ReplaceBegin(const wchar_t* text, const wchar_t* pattern, const wchar_t* replacement, int start,
                                int count, int flags);
void DeelxTool_ReplaceEnd(wchar_t* result);
inline constexpr wchar_t kLoneLineBreakPattern[] = L"\\r(?!\\n)|(?<!\\r)\\n";
// Every lone CR and every lone LF becomes CR LF.
CWString NormaliseLineBreaks(std::wstring_view text);

// Removes markup from `text` in place. Lists are comma-separated names (trimmed, empty items
// dropped, written in lower case): `removeList` names the tags to remove ("-1" turns the tag pass
// off), `keepList` the tags to keep when the remove list is empty, `elementList` the elements to
// remove whole with their content. Each removed stretch becomes `replacement`. Matches are found
// on whole code units of a lower-cased copy.
void StripMarkup(CWString& text, std::wstring_view removeList, std::wstring_view keepList,
                 std::wstring_view elementList, std::wstring_view replacement, int unused = 0);
// The first line that is not empty once trimmed and stripped of tags, trimmed; empty when none.
CWString FirstPlainLine(std::wstring_view text);

// ---- the label -----------------------------------------------------------------------------------

// Where Paint puts things for a line height and a bar width setting.
struct LabelBand {
    int bandHeight;  // A = L + trunc(0.2 L)
    int barWidth;    // d
    int textX;
    int textY;
};
LabelBand ComputeLabelBand(int lineHeight, int barWidthSetting) noexcept;

class rg_DrenvikBiaoQian : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_DrenvikBiaoQian, rg_ZuJianBuJuQi, "rg_DrenvikBiaoQian")
    VOL_MEMBERS(spareValue, drawCanvas, shownCanvas, lineStyle, spareText, accentColor, textColor, text, barWidth,
                fontText, shown, guideColor, lineHeight, guideMode, topLineToText)

public:
    rg_DrenvikBiaoQian() = default;
    rg_DrenvikBiaoQian(const rg_DrenvikBiaoQian&) = delete;
    ~rg_DrenvikBiaoQian() override;

    int GetDesignWidth() const override { return ScaleDesignValue(468); }
    int GetDesignHeight() const override { return ScaleDesignValue(306); }
    void BindEvents() override;
    void CreateChildren() override;

    // Stores the text; with a window, only its first plain line.
    void SetText(std::wstring_view newText);
    void SetFontText(std::wstring_view font);
    void Paint();

    int32_t spareValue = 0;
    rg_painter drawCanvas;
    rg_painter shownCanvas;
    int32_t lineStyle = 0;  // 0 line under the band, 1 above, 2 both, else none
    CWString spareText;
    int32_t accentColor = 0xBC1D41;
    int32_t textColor = -2;  // -2: the accent colour
    CWString text = L"Drenvik标签";
    int32_t barWidth = 0;  // -1 no bar; 0 or below -1: trunc(0.2 L)
    CWString fontText;
    int32_t shown = 0;
    int32_t guideColor = 0xC0C0C0;  // -2: the accent colour
    int32_t lineHeight = 0;
    int32_t guideMode = -1;  // <0 none, 0 dotted below the bar, >0 solid along the right edge
    int32_t topLineToText = 0;

    VolEventBinding<int, int> Pressed;         // x, y
    VolEventBinding<int, int, int> MovedOver;  // x, y, modifier bits

private:
    void OnResized(CVolObject* source);
    void OnShown(CVolObject* source);
    void OnCreated(CVolObject* source);
    int OnLeftDown(CVolObject* source, int x, int y, int modifiers);
    int OnCanvasMouseMove(CVolObject* source, int x, int y, int modifiers);
};

#include "ui/label.h"

#include <cstring>
#include <new>

#include "platform/font.h"
#include "ui/control_foundation.h"
#include "util/line_reader.h"
#include "util/ranges.h"
#include "util/tag_attributes.h"
#include "util/text_helpers.h"

// ---- line breaks ---------------------------------------------------------------------------------

CWString NormaliseLineBreaks(std::wstring_view text) {
    CWString out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\r') {
            out.append(L"\r\n");
            if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else if (c == L'\n') {
            out.append(L"\r\n");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

wchar_t* DeelxTool_ReplaceBegin(const wchar_t* text, const wchar_t* pattern, const wchar_t* replacement, int start,
                                int count, int flags) {
    if (!text || !pattern || !replacement) return nullptr;
    if (std::wstring_view(pattern) != kLoneLineBreakPattern || std::wstring_view(replacement) != L"\r\n" ||
        start != 0 || count != -1 || flags != 0)
        return nullptr;
    CWString result = NormaliseLineBreaks(text);
    auto* out = new (std::nothrow) wchar_t[result.size() + 1];
    if (!out) return nullptr;
    std::memcpy(out, result.c_str(), (result.size() + 1) * sizeof(wchar_t));
    return out;
}

void DeelxTool_ReplaceEnd(wchar_t* result) { delete[] result; }

// ---- markup --------------------------------------------------------------------------------------

namespace {

CWStringArray SplitList(std::wstring_view list) {
    CWStringArray items;
    SplitTextBySeparator(list, items, L",", /*trim=*/true, /*skipEmpty=*/true);
    return items;
}

bool InList(const CWStringArray& list, const CWString& name) {
    for (const CWString& item : list)
        if (item == name) return true;
    return false;
}

// The text with each range (sorted and merged first) replaced by `replacement`.
CWString ReplaceRanges(const CWString& text, RangeArray& starts, RangeArray& lengths, std::wstring_view replacement) {
    if (starts.empty()) return text;
    SortAndMergeRanges(starts, lengths);
    CWString out;
    out.reserve(text.size());
    int at = 0;
    for (size_t i = 0; i < starts.size(); ++i) {
        out.append(text, size_t(at), size_t(starts[i] - at));
        out.append(replacement);
        at = starts[i] + lengths[i];
    }
    out.append(text, size_t(at), std::wstring::npos);
    return out;
}

}  // namespace

void StripMarkup(CWString& text, std::wstring_view removeList, std::wstring_view keepList,
                 std::wstring_view elementList, std::wstring_view replacement, int) {
    const bool tagPass = removeList != L"-1";
    const CWStringArray elements = SplitList(elementList);
    if (!tagPass && elements.empty()) return;

    CWString work = text;
    if (!elements.empty()) {
        CWString lower = work;
        lower.MakeLower();
        RangeArray starts, lengths;
        for (const CWString& name : elements) {
            const CWString open = L"<" + name;
            const CWString close = L"</" + name + L">";
            int pos = 0;
            for (;;) {
                int o = lower.FindText(open, pos);
                if (o < 0) break;
                int c = lower.FindText(close, o + open.GetLength());
                if (c < 0) break;
                int end = c + close.GetLength();
                starts.push_back(o);
                lengths.push_back(end - o);
                pos = end;
            }
        }
        work = ReplaceRanges(work, starts, lengths, replacement);
    }
    if (tagPass) {
        const CWStringArray removes = SplitList(removeList);
        const CWStringArray keeps = SplitList(keepList);
        CWString lower = work;
        lower.MakeLower();
        RangeArray starts, lengths;
        int pos = 0;
        for (;;) {
            int lt = lower.FindText(L"<", pos);
            if (lt < 0) break;
            int gt = lower.FindText(L">", lt + 1);
            if (gt < 0) break;
            int begin = lower.FindText(L"<", gt, false, /*fromEnd=*/true);  // the last "<" before the ">"
            if (begin < lt) begin = lt;
            CWString name = lower.Mid(begin, gt + 1 - begin);
            ReduceToTagName(name);
            bool remove = !removes.empty() ? InList(removes, name) : !keeps.empty() ? !InList(keeps, name) : true;
            if (remove) {
                starts.push_back(begin);
                lengths.push_back(gt + 1 - begin);
            }
            pos = gt + 1;
        }
        work = ReplaceRanges(work, starts, lengths, replacement);
    }
    text = std::move(work);
}

CWString FirstPlainLine(std::wstring_view text) {
    CWString source(text);
    wchar_t* replaced = DeelxTool_ReplaceBegin(source.c_str(), kLoneLineBreakPattern, L"\r\n", 0, -1, 0);
    if (!replaced) return {};
    rg_DrenvikDouRuYiHangLei reader;
    reader.text = replaced;
    DeelxTool_ReplaceEnd(replaced);
    if (reader.text.empty()) return {};
    reader.BeginLines(L"");
    CWString line;
    while (reader.position <= reader.lastIndex) {
        reader.ReadLine(line);
        TrimSpaces(line);
        if (line.empty()) continue;
        StripMarkup(line, L"", L"", L"", L"");
        TrimSpaces(line);
        if (!line.empty()) return line;
    }
    return {};
}

// ---- the label -----------------------------------------------------------------------------------

LabelBand ComputeLabelBand(int lineHeight, int barWidthSetting) noexcept {
    int fifth = int(0.2 * lineHeight);
    LabelBand b{};
    b.bandHeight = lineHeight + fifth;
    b.barWidth = barWidthSetting >= 1 ? barWidthSetting : barWidthSetting == -1 ? 0 : fifth;
    b.textX = b.barWidth + fifth;
    b.textY = int((b.bandHeight - lineHeight) * 0.5);
    return b;
}

rg_DrenvikBiaoQian::~rg_DrenvikBiaoQian() {
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikBiaoQian::BindEvents() {
    VOL_BIND(Resized, &rg_DrenvikBiaoQian::OnResized);
    VOL_BIND(Shown, &rg_DrenvikBiaoQian::OnShown);
    VOL_BIND(Created, &rg_DrenvikBiaoQian::OnCreated);
    rg_ZuJianBuJuQi::BindEvents();
    for (rg_painter* canvas : {&drawCanvas, &shownCanvas}) {
        VOL_BIND(canvas->LeftButtonDown, &rg_DrenvikBiaoQian::OnLeftDown);
        VOL_BIND(canvas->MouseMove, &rg_DrenvikBiaoQian::OnCanvasMouseMove);
        canvas->AttachEventListener();
    }
}

void rg_DrenvikBiaoQian::CreateChildren() {
    drawCanvas.SetVisible(false);
    drawCanvas.SetFont(kDefaultFontText);
    CreateChild(drawCanvas, 0, 0, 120, 100);
    CreateChild(shownCanvas, 346, 197, 120, 100);
}

void rg_DrenvikBiaoQian::SetText(std::wstring_view newText) {
    text = IsCreated() ? FirstPlainLine(newText) : CWString(newText);
    Paint();
}

void rg_DrenvikBiaoQian::SetFontText(std::wstring_view font) {
    fontText = font;
    if (IsCreated()) {
        drawCanvas.SetFont(fontText);
        lineHeight = MeasureTextHeight(drawCanvas, gLineHeightSample, fontText);
    }
    Paint();
}

void rg_DrenvikBiaoQian::Paint() {
    if (shown != 1 || !IsCreated()) return;
    const int w = drawCanvas.GetClientWidth();
    const int h = drawCanvas.GetClientHeight();
    const int fifth = int(0.2 * lineHeight);
    const LabelBand band = ComputeLabelBand(lineHeight, barWidth);
    drawCanvas.ClearCanvas();
    drawCanvas.penStyle = PS_SOLID;
    drawCanvas.SetPenColor(accentColor);
    drawCanvas.brushStyle = 1;
    drawCanvas.SetBrushColor(accentColor);
    if (barWidth != -1) drawCanvas.DrawRectangle(0, 0, band.barWidth, band.bandHeight);
    if (lineStyle == 0 || lineStyle == 2) drawCanvas.DrawLine(0, band.bandHeight, w, band.bandHeight);
    if (lineStyle == 1 || lineStyle == 2) {
        int right = w;
        if (topLineToText) right = MeasureTextWidth(drawCanvas, text, fontText) + band.barWidth + fifth;
        drawCanvas.DrawLine(0, 0, right, 0);
    }
    drawCanvas.SetTextColor(textColor == -2 ? accentColor : textColor);
    drawCanvas.DrawText(text, band.textX, band.textY);
    if (guideMode >= 0) {
        int guide = guideColor == -2 ? accentColor : guideColor;
        if (guideMode > 0) {
            drawCanvas.SetPenColor(guide);
            drawCanvas.DrawLine(w - 1, band.bandHeight, w - 1, h);
        } else {
            drawCanvas.penStyle = PS_DOT;
            drawCanvas.SetPenColor(guide);
            int x = band.barWidth / 2;
            drawCanvas.DrawLine(x, band.bandHeight + int(0.3 * band.bandHeight), x, h);
            drawCanvas.penStyle = PS_SOLID;
            drawCanvas.CreatePen();
        }
    }
    shownCanvas.DrawPainter(drawCanvas, 0, 0);
}

void rg_DrenvikBiaoQian::OnResized(CVolObject*) {
    int w = GetClientWidth(), h = GetClientHeight();
    if (w <= 0 || h <= 0) return;
    drawCanvas.Move(0, 0, w, h);
    shownCanvas.Move(0, 0, w, h);
    Paint();
}

void rg_DrenvikBiaoQian::OnShown(CVolObject*) {
    if (shown) return;
    shown = 1;
    Paint();
}

void rg_DrenvikBiaoQian::OnCreated(CVolObject*) {
    if (!fontText.empty()) drawCanvas.SetFont(fontText);
    lineHeight = MeasureTextHeight(drawCanvas, gLineHeightSample, fontText);
}

int rg_DrenvikBiaoQian::OnLeftDown(CVolObject*, int x, int y, int) {
    Pressed.Raise(this, x, y);
    return 0;
}

int rg_DrenvikBiaoQian::OnCanvasMouseMove(CVolObject* source, int x, int y, int modifiers) {
    if (source == &shownCanvas) MovedOver.Raise(this, x, y, modifiers);
    return 0;
}

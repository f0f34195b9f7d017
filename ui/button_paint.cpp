// The button's painting, its icons and its check marks.
#include <cstring>
#include <memory>

#include "platform/app_instance.h"
#include "ui/button.h"
#include "ui/control_foundation.h"
#include "ui/svg_drawing.h"
#include "ui/svg_icon_cache.h"

CVolObjectArray gCheckMarkBitmaps;
int32_t gCheckMarkIndex[kCheckMarkIndexSize] = {};

namespace {

// The bitmap's pixels as 32-bit premultiplied B, G, R, A, top-down.
bool ReadPixels(const rg_WeiTuDuiXiangLei& bitmap, ButtonPixels& out) {
    int w = 0, h = 0;
    if (!bitmap.GetSize(w, h) || w <= 0 || h <= 0) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    out.width = w;
    out.height = h;
    out.pixels.assign(size_t(w) * size_t(h), 0);
    HDC screen = ::GetDC(nullptr);
    int rows = ::GetDIBits(screen, bitmap.GetHandle(), 0, UINT(h), out.pixels.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (rows != h) return false;
    if (!bitmap.HasAlpha())
        for (uint32_t& px : out.pixels) px |= 0xFF000000u;  // a plain bitmap is opaque
    return true;
}

rg_WeiTuDuiXiangLei MakeBitmap(const ButtonPixels& p, bool alpha) {
    rg_WeiTuDuiXiangLei b;
    void* bits = nullptr;
    HBITMAP h = CreateDib32(p.width, p.height, &bits);
    if (!h) return b;
    std::memcpy(bits, p.pixels.data(), p.pixels.size() * sizeof(uint32_t));
    b.Attach(h, alpha);
    return b;
}

rg_WeiTuDuiXiangLei BitmapFromImage(const CVolMem& bytes) {
    rg_WeiTuDuiXiangLei b;
    if (!bytes.IsEmpty()) b.LoadFromBytes(bytes);
    return b;
}

// The four round marks of a size, rendered from the resources without further scaling.
void AppendRoundMarks(int size, CVolObjectArray& into) {
    for (int i = 0; i < 4; ++i) {
        CVolMem png = GetSvgIconFromResource(kCheckMarkResourceFirst + i, size, size, true);
        into.Add(std::make_unique<rg_WeiTuDuiXiangLei>(BitmapFromImage(png)));
    }
}

}  // namespace

// ---- icons ---------------------------------------------------------------------------------------------

void rg_DrenvikAnNiu1::SetIcon(const CVolMem& source, rg_WeiTuDuiXiangLei& target, bool noPaint) {
    iconTransparentColor = 0;
    if (IsCreated()) {
        CVolMem svg = source;  // the cache may fill an empty block in place; the caller's stays as it is
        const int32_t format = iconBackground != 0 ? kSvgImageBmp : kSvgImagePng;
        const uint32_t background = uint32_t(iconBackground);
        CVolMem image = iconWidth != 0 && iconHeight != 0
                            ? GetSvgIcon(svg, 0, iconWidth, iconHeight, format, false, background)
                            : GetSvgIcon(svg, 0, lineHeight, lineHeight, format, true, background);
        target = BitmapFromImage(image);
        if (&target == &hoverIcon) {
            hoverDerived_ = false;
        } else if (&target == &normalIcon && hoverDerived_) {
            // A hover icon derived from the old normal icon would show the old picture.
            hoverIcon.Clear();
            hoverDerived_ = false;
        }
    }
    if (!noPaint) Paint();
}

void rg_DrenvikAnNiu1::RefreshIcons(bool noPaint) {
    rg_WeiTuDuiXiangLei* targets[4] = {&normalIcon, &hoverIcon, &pressedIcon, &disabledIcon};
    for (int i = 0; i < 4; ++i)
        if (!iconSources[i].IsEmpty()) SetIcon(iconSources[i], *targets[i], true);
    if (!noPaint) Paint();
}

void rg_DrenvikAnNiu1::SetIconFromResource(int resourceId) {
    CVolMem bytes;
    CVolAppInstance::LoadResourceData(bytes, resourceId, CVolAppInstance::kResourceRcData);
    normalIcon = BitmapFromImage(bytes);
    if (hoverDerived_) {
        hoverIcon.Clear();
        hoverDerived_ = false;
    }
    Paint();
}

void rg_DrenvikAnNiu1::SetSvgIconFromResource(int resourceId, int width, int height) {
    CVolMem svg;
    CVolAppInstance::LoadResourceData(svg, resourceId, CVolAppInstance::kResourceRcData);
    iconSources[0] = svg;
    SetIcon(svg, normalIcon, true);
    iconWidth = width;
    if (iconHeight == 0) iconHeight = height;
    if (IsCreated()) RefreshIcons(false);
}

const rg_WeiTuDuiXiangLei& rg_DrenvikAnNiu1::ChooseIcon(int iconState) {
    const rg_WeiTuDuiXiangLei* chosen = &normalIcon;
    switch (iconState) {
    case kButtonHover:
        if (hoverIcon.IsEmpty() && !normalIcon.IsEmpty() &&
            (hoverIconBrightness != 0 || (hoverIconTransform >= 1 && hoverIconTransform <= 5))) {
            ButtonPixels source, derived;
            if (ReadPixels(normalIcon, source) &&
                DeriveHoverPixels(source, hoverIconBrightness, hoverIconTransform, derived)) {
                hoverIcon = MakeBitmap(derived, normalIcon.HasAlpha());
                hoverDerived_ = !hoverIcon.IsEmpty();
            }
        }
        chosen = &hoverIcon;
        break;
    case kButtonPressed: chosen = &pressedIcon; break;
    case kButtonDisabled: chosen = &disabledIcon; break;
    default: break;
    }
    return chosen->IsEmpty() ? normalIcon : *chosen;
}

// ---- painting ------------------------------------------------------------------------------------------

void rg_DrenvikAnNiu1::Paint() {
    if (!shown || !paintEnabled || !IsCreated() || !drawCanvas.IsCreated()) return;
    const int W = drawCanvas.GetClientWidth(), H = drawCanvas.GetClientHeight();
    const int colorState = ButtonColorState(state, checkMode != 0, checked != 0);
    const bool markHover = state == kButtonHover;

    const ButtonPalette colors = ResolveButtonPalette(faceColors, textColors, borderColors, colorState, progress > 0,
                                                      backColor, int(::GetSysColor(COLOR_BTNFACE)));
    drawCanvas.SetBackColor(colors.face);  // clears the board in the face colour
    drawCanvas.SetTextColor(colors.text);

    const bool markLayout = checkMode != 0 && markStyle != 0;
    const rg_WeiTuDuiXiangLei* icon = nullptr;
    int iconW = 0, iconH = 0;
    if (!markLayout) {
        int iconState = colorState;
        if (checkMode != 0 && iconByChecked != 0) iconState = checked != 0 ? kButtonPressed : kButtonNormal;
        icon = &ChooseIcon(iconState);
        icon->GetSize(iconW, iconH);
        if (iconDrawWidth != 0) iconW = iconDrawWidth;
        if (iconDrawHeight != 0) iconH = iconDrawHeight;
        const int mode = iconTransparentColor != 0 ? -iconTransparentColor : 1;
        if (stretchIcon != 0) {
            drawCanvas.DrawPicture(*icon, 0, 0, W, H, mode);
            shownCanvas.DrawPainter(drawCanvas);
            if (HWND h = shownCanvas.GetHwnd()) ::UpdateWindow(h);
            return;
        }
    }

    drawCanvas.SetPenColor(colors.border);
    drawCanvas.SetBrushStyle(0);
    drawCanvas.DrawRectangle(0, 0, W, H);

    if (progress > 0) {
        drawCanvas.SetBrushColor(progressColor);
        drawCanvas.SetBrushStyle(1);
        drawCanvas.FillRectangle(ProgressFillRight(progress, W), H - 1);
    }

    const CWString& caption = GetCaption();
    rg_WenBenShuZuLei lines;
    CIntArray lineWidths, lineHeights;
    int captionW = 0, captionH = 0;
    if (multiLine != 0) {
        captionW = MeasureMultilineText(drawCanvas, fontText, lines, lineWidths, lineHeights, captionH, ScaleByDpi(1),
                                        caption);
    } else {
        captionW = MeasureTextWidth(drawCanvas, caption, fontText);
        captionH = MeasureTextHeight(drawCanvas, caption, fontText);
    }

    int box = iconW;
    if (markLayout) {
        box = markStyle == 1 ? H - ScaleByDpi(iconGap) : markStyle == 2 ? (captionH != 0 ? captionH : lineHeight) : 0;
    }
    ButtonLayoutInput in;
    in.width = W;
    in.height = H;
    in.captionWidth = captionW;
    in.captionHeight = captionH;
    in.boxWidth = box;
    in.boxHeight = iconH;
    in.centerContent = centerContent != 0;
    in.gap = ScaleByDpi(iconGap);
    in.margin = ScaleByDpi(margin);
    const ButtonLayout at = ComputeButtonLayout(in, markLayout);

    if (box != 0) {
        if (markLayout) {
            DrawCheckMark(at.boxX, at.boxY, box, checked != 0 ? 1 : 0, markHover ? 1 : 0);
        } else {
            drawCanvas.DrawPicture(*icon, at.boxX, at.boxY, iconDrawWidth != 0 ? iconDrawWidth : -1,
                                   iconDrawHeight != 0 ? iconDrawHeight : -1,
                                   iconTransparentColor != 0 ? -iconTransparentColor : 1);
        }
    }

    if (captionW != 0) {
        if (multiLine != 0) {
            int y = at.captionY;
            for (size_t i = 0; i < lines.size(); ++i) {
                int d = centerLines != 0 ? (captionW - lineWidths[i]) / 2 : 0;
                drawCanvas.DrawText(lines[i], at.captionX + d, y);
                y += lineHeights[i] + ScaleByDpi(1);
            }
        } else {
            drawCanvas.DrawText(caption, at.captionX, at.captionY);
        }
    }

    shownCanvas.DrawPainter(drawCanvas);
    // Shown now, not at the next WM_PAINT: owners change the caption right before blocking work.
    if (HWND h = shownCanvas.GetHwnd()) ::UpdateWindow(h);
}

void rg_DrenvikAnNiu1::DrawCheckMark(int x, int y, int size, int checkedFlag, int hover) {
    if (size <= 0) return;  // nothing to draw, and no table entry below 1
    drawCanvas.SetBrushStyle(1);
    drawCanvas.SetPenColor(hover ? 0x6666FF : 0xAD9EB1);
    drawCanvas.SetBrushColor(0xFFFFFF);
    if (roundMarks != 0) {
        const int offset = (hover ? 1 : 0) + (checkedFlag ? 2 : 0);
        if (size >= kCheckMarkIndexSize) {
            // Beyond the table: rendered for this paint only.
            CVolObjectArray marks;
            AppendRoundMarks(size, marks);
            if (auto* b = static_cast<rg_WeiTuDuiXiangLei*>(marks.GetAt(offset))) drawCanvas.DrawPicture(*b, x, y);
            return;
        }
        if (gCheckMarkIndex[size] == 0) {
            gCheckMarkIndex[size] = gCheckMarkBitmaps.GetCount() + 1;
            AppendRoundMarks(size, gCheckMarkBitmaps);
        }
        if (auto* b = static_cast<rg_WeiTuDuiXiangLei*>(gCheckMarkBitmaps.GetAt(gCheckMarkIndex[size] - 1 + offset)))
            drawCanvas.DrawPicture(*b, x, y);
        return;
    }
    drawCanvas.DrawRectangle(x, y, x + size, y + size);
    if (checkedFlag) {
        const int f = ScaleByDpi(2);
        drawCanvas.SetPenColor(drawCanvas.backColor);
        drawCanvas.SetBrushColor(0x6666FF);
        drawCanvas.DrawRectangle(x + f, y + f, x + size - f, y + size - f);
    }
}

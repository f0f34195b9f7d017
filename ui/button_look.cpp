#include "ui/button_look.h"

#include <algorithm>

#include "ui/control_foundation.h"

int ButtonColorState(int state, bool checkMode, bool checked) noexcept {
    if (checkMode && checked && (state == kButtonNormal || state == kButtonHover)) return kButtonPressed;
    return state;
}

int ResolveButtonColor(const ButtonColorTable& table, int colorState, int fallback, int backColor,
                       int systemFace) noexcept {
    int c = table[colorState];
    if (c == kButtonColorUseNormal) c = table[kButtonNormal];
    if (c == kButtonColorUseNormal) return fallback;
    if (c == kButtonColorBack) c = backColor;
    if (c == kButtonColorSystemFace) c = systemFace;
    return c;
}

ButtonPalette ResolveButtonPalette(const ButtonColorTable& faces, const ButtonColorTable& texts,
                                   const ButtonColorTable& borders, int colorState, bool progressShown,
                                   int backColor, int systemFace) noexcept {
    ButtonPalette p;
    p.face = ResolveButtonColor(faces, colorState, 0xECECEC, backColor, systemFace);
    p.text = ResolveButtonColor(texts, progressShown ? int(kButtonNormal) : colorState, 0, backColor, systemFace);
    p.border = ResolveButtonColor(borders, colorState, p.text, backColor, systemFace);
    return p;
}

ButtonBaseColors DeriveButtonBaseColors(int color) {
    rg_ZhengShuShuZuLei hsl = RgbToHsl240(color);
    double h = hsl.size() > 0 ? hsl[0] : 0, s = hsl.size() > 1 ? hsl[1] : 0;
    return {Hsl240ToRgb(h, s, 229), Hsl240ToRgb(h, s, 180)};
}

ButtonLayout ComputeButtonLayout(const ButtonLayoutInput& in, bool markBox) noexcept {
    ButtonLayout out;
    const int B = in.boxWidth;
    if (B != 0) {
        if (in.centerContent) {
            int g = in.captionWidth != 0 ? in.gap : 0;
            out.boxX = std::max((in.width - g - in.captionWidth - B) / 2, in.margin);
        } else {
            out.boxX = in.margin;
        }
        out.boxY = (in.height - (markBox ? B : in.boxHeight)) / 2;
        out.captionX = out.boxX + B + in.gap;
    } else if (in.centerContent) {
        out.captionX = std::max((in.width - in.captionWidth) / 2, in.margin);
    } else {
        out.captionX = in.margin;
    }
    out.captionY = (in.height - in.captionHeight) / 2;
    return out;
}

int ProgressFillRight(int progress, int width) noexcept {
    // Above 100 % the bar would cover the right border.
    return int(std::min<int64_t>(1 + int64_t(progress) * (width - 2) / 100, width - 1));
}

namespace {

inline uint32_t Channel(uint32_t px, int i) noexcept { return (px >> (8 * i)) & 0xFF; }

uint32_t Brighten(uint32_t px, int v) noexcept {
    uint32_t a = Channel(px, 3);
    if (a == 0) return px;
    uint32_t out = a << 24;
    for (int i = 0; i < 3; ++i) {
        // Brightness works on the visible colour, so undo the premultiplication around it.
        int straight = int(Channel(px, i) * 255 + a / 2) / int(a);
        int c = std::clamp(straight + v, 0, 255);
        out |= uint32_t((c * int(a) + 127) / 255) << (8 * i);
    }
    return out;
}

void Rotate(const ButtonPixels& s, int quarterTurns, ButtonPixels& out) {
    const int w = s.width, h = s.height;
    out.width = quarterTurns == 2 ? w : h;
    out.height = quarterTurns == 2 ? h : w;
    out.pixels.assign(s.pixels.size(), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int nx, ny;
            switch (quarterTurns) {
            case 1: nx = h - 1 - y; ny = x; break;          // 90 degrees clockwise
            case 2: nx = w - 1 - x; ny = h - 1 - y; break;
            default: nx = y; ny = w - 1 - x; break;          // 270 degrees
            }
            out.pixels[size_t(ny) * size_t(out.width) + size_t(nx)] = s.pixels[size_t(y) * size_t(w) + size_t(x)];
        }
}

void Filter3x3(const ButtonPixels& s, bool median, ButtonPixels& out) {
    out = s;
    const int w = s.width, h = s.height;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            uint32_t result = 0;
            for (int ch = 0; ch < 4; ++ch) {
                uint32_t v[9];
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        v[n++] = Channel(s.pixels[size_t(y + dy) * size_t(w) + size_t(x + dx)], ch);
                uint32_t c;
                if (median) {
                    std::nth_element(v, v + 4, v + 9);
                    c = v[4];
                } else {
                    uint32_t sum = 0;
                    for (uint32_t e : v) sum += e;
                    c = sum / 9;
                }
                result |= c << (8 * ch);
            }
            out.pixels[size_t(y) * size_t(w) + size_t(x)] = result;
        }
}

}  // namespace

bool DeriveHoverPixels(const ButtonPixels& source, int brightness, int transform, ButtonPixels& out) {
    if (source.width <= 0 || source.height <= 0 ||
        source.pixels.size() != size_t(source.width) * size_t(source.height))
        return false;
    if (brightness != 0) {
        int v = std::clamp(brightness, -255, 255);
        out.width = source.width;
        out.height = source.height;
        out.pixels.resize(source.pixels.size());
        for (size_t i = 0; i < source.pixels.size(); ++i) out.pixels[i] = Brighten(source.pixels[i], v);
        return true;
    }
    switch (transform) {
    case 1:
    case 2:
    case 3: Rotate(source, transform, out); return true;
    case 4: Filter3x3(source, true, out); return true;
    case 5: Filter3x3(source, false, out); return true;
    default: return false;
    }
}

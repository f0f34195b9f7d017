// What a button looks like, worked out without a window: which colour each state paints with, where
// the icon (or check mark) and the caption go, how far the progress bar reaches, and the pixel
// changes that derive a hover icon from the normal one. The button's Paint only draws what these say.
#pragma once
#include <cstdint>
#include <vector>

// States of the button, also the index into each colour table.
enum ButtonState : int32_t { kButtonNormal = 0, kButtonHover = 1, kButtonPressed = 2, kButtonDisabled = 3 };

// Special colour values of the button's tables.
inline constexpr int32_t kButtonColorSystemFace = -1;               // GetSysColor(COLOR_BTNFACE)
inline constexpr int32_t kButtonColorUseNormal = -2;                // the normal state's entry
inline constexpr int32_t kButtonColorBack = int32_t(0xFF000000u);   // the button's backColor

// A colour per state: normal, hover, pressed, disabled.
struct ButtonColorTable {
    int32_t entries[4];
    int32_t& operator[](int state) noexcept { return entries[state & 3]; }
    int32_t operator[](int state) const noexcept { return entries[state & 3]; }
    bool operator==(const ButtonColorTable&) const = default;
};

// The state whose colours paint: a checked check box shows its pressed colours while normal or hovered.
int ButtonColorState(int state, bool checkMode, bool checked) noexcept;

// Resolves one table's entry for a colour state. An entry of -2 takes the normal entry; when that is
// -2 as well, `fallback` is the answer as it stands. 0xFF000000 becomes backColor, and -1 (also when
// backColor is -1) the system button face.
int ResolveButtonColor(const ButtonColorTable& table, int colorState, int fallback, int backColor,
                       int systemFace) noexcept;

struct ButtonPalette {
    int face;
    int text;
    int border;
};
// The three colours of a paint. While a progress bar shows, the caption keeps its normal colour.
// A border left at -2 takes the caption's colour.
ButtonPalette ResolveButtonPalette(const ButtonColorTable& faces, const ButtonColorTable& texts,
                                   const ButtonColorTable& borders, int colorState, bool progressShown,
                                   int backColor, int systemFace) noexcept;

// The tables after SetBaseColor(c): light and dark shades of c on the 0-240 lightness scale.
struct ButtonBaseColors {
    int light;  // lightness 229: the faces
    int dark;   // lightness 180: the progress bar
};
ButtonBaseColors DeriveButtonBaseColors(int color);

// Horizontal and vertical placing of the icon or mark box and of the caption (lengths already scaled).
struct ButtonLayoutInput {
    int width = 0;          // client width W
    int height = 0;         // client height H
    int captionWidth = 0;
    int captionHeight = 0;
    int boxWidth = 0;       // B: icon or mark width; 0 = no box
    int boxHeight = 0;      // the icon's drawn height (the mark uses B)
    bool centerContent = true;
    int gap = 0;            // scaled iconGap
    int margin = 0;         // scaled margin
};
struct ButtonLayout {
    int boxX = 0;
    int boxY = 0;
    int captionX = 0;
    int captionY = 0;
};
ButtonLayout ComputeButtonLayout(const ButtonLayoutInput& in, bool markBox) noexcept;

// Right edge of the progress fill, which starts at x = 1; never past the inner right edge.
int ProgressFillRight(int progress, int width) noexcept;

// A 32-bit picture, premultiplied B, G, R, A, rows top-down without padding.
struct ButtonPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};
// The hover picture derived from the normal one: brightness (clamped to -255 ... 255) when not 0,
// else transform 1-3 rotates clockwise by 90, 180 or 270 degrees, 4 takes the 3 x 3 median and 5 the
// 3 x 3 mean of every inner pixel, channel by channel. False (and nothing derived) for any other
// transform or an empty picture.
bool DeriveHoverPixels(const ButtonPixels& source, int brightness, int transform, ButtonPixels& out);

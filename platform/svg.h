// Our SVG icon renderer: parses the subset of SVG that icons use and draws it with GDI+ (anti-aliased).
// Supported: svg (width, height, viewBox), g, path (full path-data grammar), rect (rx/ry), circle,
// ellipse, line, polyline, polygon; fill, stroke, stroke-width, opacity, fill-opacity, stroke-opacity,
// fill-rule, stroke-linecap, stroke-linejoin, transform, as attributes or in `style`; colours #rgb,
// #rrggbb, rgb(), named colours, none, currentColor (black). Anything else is ignored.
// GDI+ must be running (GdiplusSession) while a document renders.
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// A 32-bit picture, rows top-down without padding. It starts premultiplied in B, G, R, A byte order
// (what the renderer draws); ConvertToRgba turns it into straight R, G, B, A.
class SvgBitmap {
public:
    SvgBitmap() = default;
    SvgBitmap(int width, int height);

    bool IsNull() const noexcept { return data_.empty(); }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    int Stride() const noexcept { return width_ * 4; }
    uint8_t* Data() noexcept { return data_.data(); }
    const uint8_t* Data() const noexcept { return data_.data(); }
    // Un-premultiplies and reorders to R, G, B, A, in place. Call once.
    void ConvertToRgba() noexcept;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> data_;
};

class SvgDocument {
public:
    // Null when the bytes are not a well-formed document whose root is `svg`.
    static std::unique_ptr<SvgDocument> LoadFromData(std::string_view bytes);
    static std::unique_ptr<SvgDocument> LoadFromFile(std::wstring_view path);
    ~SvgDocument();

    // The intrinsic size: width and height, else the viewBox's size, else 0.
    double Width() const noexcept { return width_; }
    double Height() const noexcept { return height_; }

    // Draws the document with its viewBox stretched over width x height (each axis on its own) on
    // a background given as 0xRRGGBBAA (0 is transparent). Null when a size is not positive, is
    // absurdly large, or GDI+ fails.
    SvgBitmap RenderToBitmap(int width, int height, uint32_t backgroundRgba) const;

private:
    struct Shape;
    SvgDocument();
    double width_ = 0, height_ = 0;
    double viewX_ = 0, viewY_ = 0, viewW_ = 0, viewH_ = 0;  // viewW_ 0: user units are pixels
    std::vector<Shape> shapes_;
};

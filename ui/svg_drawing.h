// SVG drawing: load an SVG document, render it to a 32-bit picture at a size and background, and
// encode the picture as PNG, BMP or TGA bytes. All functions work on the module's two globals.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/object.h"
#include "platform/svg.h"

// Image format codes; any other code means PNG written through a file.
constexpr int32_t kSvgImagePng = 0;  // 8-bit RGBA, encoded in memory
constexpr int32_t kSvgImageBmp = 1;  // 24 bits per pixel, no alpha
constexpr int32_t kSvgImageTga = 2;  // uncompressed, 32 bits per pixel with 8 alpha bits

// The picture takes no part in comparisons and is not streamed; copies share it.
template <> struct VolMember<std::shared_ptr<SvgBitmap>> {
    static bool Equal(const std::shared_ptr<SvgBitmap>&, const std::shared_ptr<SvgBitmap>&) { return true; }
    static void Copy(std::shared_ptr<SvgBitmap>& d, const std::shared_ptr<SvgBitmap>& s) { d = s; }
    static void Save(VolDataStream*, const std::shared_ptr<SvgBitmap>&) {}
    static void Load(VolDataStream*, std::shared_ptr<SvgBitmap>&) {}
};

// The drawing object: the document loaded last and the temporary SVG file it was loaded from.
class rg_SVGHuiZhiLei : public CVolObject {
    VOL_CLASS(rg_SVGHuiZhiLei, CVolObject, "ui::rg_SVGHuiZhiLei")
    VOL_MEMBERS(tempFilePath)
public:
    rg_SVGHuiZhiLei() = default;
    // Deletes the temporary file named by tempFilePath.
    ~rg_SVGHuiZhiLei() override;

    std::unique_ptr<SvgDocument> document;  // owned; never copied, compared or streamed
    CWString tempFilePath;
};

// The picture rendered last, shared by reference between copies.
class rg_SVGTuPianLei : public CVolObject {
    VOL_CLASS(rg_SVGTuPianLei, CVolObject, "ui::rg_SVGTuPianLei")
    VOL_MEMBERS(bitmap)
public:
    std::shared_ptr<SvgBitmap> bitmap;
};

extern rg_SVGHuiZhiLei gSvgDrawing;
extern rg_SVGTuPianLei gSvgPicture;

// Writes the bytes to a fresh temporary file (replacing the previous one) and loads the document
// from it. 1 when a document was loaded, else 0.
int LoadSvgDocumentFromText(const CVolMem& svg);
// Replaces the drawing's document with the one in the file. 1 when a document was loaded, else 0.
int LoadSvgDocumentFromFile(const CWString& path);
// Writes the last picture to the file in the format. 1 when the file was written, else 0.
int SaveSvgPictureToFile(const CWString& path, int32_t format);
// The last picture's encoded bytes; empty when there is no picture or encoding fails.
CVolMem EncodeSvgPicture(int32_t format);
// Loads, renders at width x height on the background (0xRRGGBBAA; format 1 with 0 uses opaque
// white) and encodes. Empty when the SVG does not load; the last picture then stays.
CVolMem RenderSvgToImage(const CVolMem& svg, int32_t width, int32_t height, uint32_t background, int32_t format);

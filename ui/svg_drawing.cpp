#include "ui/svg_drawing.h"

#include "platform/image_encode.h"
#include "platform/temp_file.h"

rg_SVGHuiZhiLei gSvgDrawing;
rg_SVGTuPianLei gSvgPicture;

rg_SVGHuiZhiLei::~rg_SVGHuiZhiLei() {
    flags |= kFlagDestroying;
    if (!tempFilePath.empty()) ::DeleteFileW(tempFilePath.c_str());
}

int LoadSvgDocumentFromFile(const CWString& path) {
    gSvgDrawing.document = SvgDocument::LoadFromFile(path);
    return gSvgDrawing.document ? 1 : 0;
}

int LoadSvgDocumentFromText(const CVolMem& svg) {
    // One temporary file at a time: the previous render's goes first. Wide names throughout, so a
    // temporary folder outside the ANSI code page works too.
    if (!gSvgDrawing.tempFilePath.empty()) ::DeleteFileW(gSvgDrawing.tempFilePath.c_str());
    gSvgDrawing.tempFilePath = MakeTempFileName();
    if (!gSvgDrawing.tempFilePath.empty()) svg.WriteToFile(gSvgDrawing.tempFilePath);
    return LoadSvgDocumentFromFile(gSvgDrawing.tempFilePath);
}

int SaveSvgPictureToFile(const CWString& path, int32_t format) {
    const SvgBitmap* bitmap = gSvgPicture.bitmap.get();
    if (path.empty() || !bitmap || bitmap->IsNull()) return 0;
    const uint8_t* rgba = bitmap->Data();
    int w = bitmap->Width(), h = bitmap->Height();
    CVolMem bytes = format == kSvgImageBmp   ? EncodeBmp24(rgba, w, h)
                    : format == kSvgImageTga ? EncodeTga32(rgba, w, h)
                                             : EncodePngRgba(rgba, w, h);
    return !bytes.IsEmpty() && bytes.WriteToFile(path) ? 1 : 0;
}

CVolMem EncodeSvgPicture(int32_t format) {
    if (format == kSvgImagePng) {
        const SvgBitmap* bitmap = gSvgPicture.bitmap.get();
        if (!bitmap || bitmap->IsNull()) return {};
        return EncodePngRgba(bitmap->Data(), bitmap->Width(), bitmap->Height());
    }
    std::wstring file = MakeTempFileName();
    if (file.empty()) return {};
    CVolMem bytes;
    if (SaveSvgPictureToFile(file, format)) bytes.ReadWholeFile(file);
    ::DeleteFileW(file.c_str());
    return bytes;
}

CVolMem RenderSvgToImage(const CVolMem& svg, int32_t width, int32_t height, uint32_t background, int32_t format) {
    if (!LoadSvgDocumentFromText(svg)) return {};
    if (format == kSvgImageBmp && background == 0) background = 0xFFFFFFFF;  // BMP has no alpha
    auto bitmap = std::make_shared<SvgBitmap>(gSvgDrawing.document->RenderToBitmap(width, height, background));
    bitmap->ConvertToRgba();
    gSvgPicture.bitmap = std::move(bitmap);
    return EncodeSvgPicture(format);
}

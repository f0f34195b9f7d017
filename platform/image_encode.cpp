#include "platform/image_encode.h"

#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace {

void AppendToBlock(void* context, void* data, int size) {
    if (size > 0) static_cast<CVolMem*>(context)->Append(data, size_t(size));
}

bool SizeOk(const uint8_t* p, int width, int height) noexcept { return p && width > 0 && height > 0; }

}  // namespace

CVolMem EncodePngRgba(const uint8_t* rgba, int width, int height) {
    CVolMem out;
    if (!SizeOk(rgba, width, height) || !stbi_write_png_to_func(AppendToBlock, &out, width, height, 4, rgba, width * 4))
        return {};
    return out;
}

CVolMem EncodeBmp24(const uint8_t* rgba, int width, int height) {
    if (!SizeOk(rgba, width, height)) return {};
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i) {
        rgb[i * 3] = rgba[i * 4];
        rgb[i * 3 + 1] = rgba[i * 4 + 1];
        rgb[i * 3 + 2] = rgba[i * 4 + 2];
    }
    CVolMem out;
    if (!stbi_write_bmp_to_func(AppendToBlock, &out, width, height, 3, rgb.data())) return {};
    return out;
}

CVolMem EncodeTga32(const uint8_t* rgba, int width, int height) {
    if (!SizeOk(rgba, width, height)) return {};
    stbi_write_tga_with_rle = 0;  // a private copy (STB_IMAGE_WRITE_STATIC): nobody else sets it
    CVolMem out;
    if (!stbi_write_tga_to_func(AppendToBlock, &out, width, height, 4, rgba)) return {};
    return out;
}

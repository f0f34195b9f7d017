// Encodes 8-bit R, G, B, A pixels (rows top-down, no padding) into image file bytes, in memory.
#pragma once
#include <cstdint>

#include "platform/mem.h"

// Each returns empty bytes when the size is not positive or the encoder fails.
CVolMem EncodePngRgba(const uint8_t* rgba, int width, int height);
// 24 bits per pixel; alpha is dropped. Rows are padded to 4 bytes as BMP wants.
CVolMem EncodeBmp24(const uint8_t* rgba, int width, int height);
// Uncompressed (image type 2), 32 bits per pixel with 8 alpha bits.
CVolMem EncodeTga32(const uint8_t* rgba, int width, int height);

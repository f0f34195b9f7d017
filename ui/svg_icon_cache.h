// The SVG icon cache: (SVG bytes, pixel size, image format, background) -> encoded image bytes.
// One process-wide buffer, preloaded once from "drenvik.svgs" in the program's folder and grown by
// one record per miss, in memory only. A record is: int32 L, the key, L image bytes. The key is the
// little-endian int32 values hash of the SVG bytes, width, height, format and, when not 0, the
// background (16 or 20 bytes).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/mem.h"

extern CVolMem gSvgIconCache;
extern int32_t gSvgIconCacheLoaded;

// Encoded image bytes for the SVG (an empty block is first filled, in the caller's block, with the
// program's RCDATA resource of that id), at width x height logical pixels scaled by the DPI factor
// unless noScale, in the image format, on the background (0xRRGGBBAA, 0 transparent).
CVolMem GetSvgIcon(CVolMem& svg, int32_t resourceId, int32_t width, int32_t height, int32_t format, bool noScale,
                   uint32_t background);
// PNG of the program's RCDATA SVG resource of that id, on a transparent background.
CVolMem GetSvgIconFromResource(int32_t resourceId, int32_t width, int32_t height, bool noScale);

// The key bytes of a request.
std::string MakeSvgIconKey(int32_t svgHash, int32_t width, int32_t height, int32_t format, uint32_t background);

// Finds records of a cache buffer by their exact key, so that a key never matches another record's
// longer key or the inside of image bytes.
class SvgIconCacheIndex {
public:
    struct Slot {
        size_t offset;  // of the image bytes
        size_t length;  // cut at the end of the buffer
    };
    // Indexes every record of a buffer in the file's form. A record whose length runs past the end
    // is kept, cut; a buffer that does not parse as records from its start gives no record at all.
    void Rebuild(const CVolMem& buffer);
    // Records the first record of a key; a later one with the same key is never found.
    void Add(std::string_view key, size_t offset, size_t length);
    const Slot* Find(const std::string& key) const;
    void Clear() noexcept { slots_.clear(); }
    size_t Count() const noexcept { return slots_.size(); }

private:
    std::unordered_map<std::string, Slot> slots_;
};

// Tests: forget the buffer and read it again, at the next request, from this file (empty: the
// program's "drenvik.svgs").
void ResetSvgIconCacheForTest(const std::wstring& cacheFile);

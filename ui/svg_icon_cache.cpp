#include "ui/svg_icon_cache.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/app_instance.h"
#include "platform/dpi.h"
#include "platform/system.h"
#include "ui/svg_drawing.h"

CVolMem gSvgIconCache;
int32_t gSvgIconCacheLoaded = 0;

namespace {

// The exact index of gSvgIconCache (it describes every record the buffer holds), and the file
// tests read instead of the program's.
SvgIconCacheIndex gSvgIconCacheIndex;
std::wstring gCacheFileOverride;

constexpr size_t kKeyShort = 16, kKeyLong = 20;

int32_t ReadInt(const uint8_t* p) noexcept {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void AppendInt(std::string& s, int32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }

// Whether image bytes start as the key's format writes them; tells a 16-byte key from a 20-byte one
// where the record chain alone cannot.
bool LooksLikeFormat(const uint8_t* key, const uint8_t* data, size_t available) noexcept {
    int32_t format = ReadInt(key + 12);
    if (format == kSvgImageBmp) return available >= 2 && data[0] == 'B' && data[1] == 'M';
    if (format == kSvgImageTga) return available >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 2;
    return available >= 4 && std::memcmp(data, "\x89PNG", 4) == 0;
}

}  // namespace

std::string MakeSvgIconKey(int32_t svgHash, int32_t width, int32_t height, int32_t format, uint32_t background) {
    std::string key;
    key.reserve(kKeyLong);
    AppendInt(key, svgHash);
    AppendInt(key, width);
    AppendInt(key, height);
    AppendInt(key, format);
    if (background != 0) AppendInt(key, int32_t(background));
    return key;
}

void SvgIconCacheIndex::Add(std::string_view key, size_t offset, size_t length) {
    slots_.try_emplace(std::string(key), Slot{offset, length});
}

const SvgIconCacheIndex::Slot* SvgIconCacheIndex::Find(const std::string& key) const {
    auto it = slots_.find(key);
    return it == slots_.end() ? nullptr : &it->second;
}

void SvgIconCacheIndex::Rebuild(const CVolMem& buffer) {
    slots_.clear();
    const uint8_t* b = buffer.GetPtr();
    const size_t n = buffer.GetSize();
    // A record's key is 16 or 20 bytes and the file does not say which, so find the reading under
    // which records chain from the start to the end. reach[p]: 2 when the records from p end
    // exactly at n, 1 when they end in one record cut short by the end, 0 when they do not chain.
    std::vector<uint8_t> reach(n + 1, 0);
    reach[n] = 2;
    auto after = [&](size_t p, size_t keyLen) -> int {
        if (n - p < 4 + keyLen) return 0;
        int32_t length = ReadInt(b + p);
        if (length < 0) return 0;
        if (keyLen == kKeyLong && ReadInt(b + p + 4 + kKeyShort) == 0) return 0;  // a zero background is never keyed
        uint64_t end = uint64_t(p) + 4 + keyLen + uint64_t(length);
        return end > n ? 1 : reach[size_t(end)];
    };
    for (size_t p = n; p-- > 0;) reach[p] = uint8_t(std::max(after(p, kKeyShort), after(p, kKeyLong)));

    for (size_t p = 0; p < n && reach[p] != 0;) {
        int shortScore = after(p, kKeyShort), longScore = after(p, kKeyLong);
        size_t keyLen = kKeyShort;
        if (longScore > shortScore) {
            keyLen = kKeyLong;
        } else if (longScore == shortScore) {
            const uint8_t* key = b + p + 4;
            bool shortLooks = LooksLikeFormat(key, key + kKeyShort, n - (p + 4 + kKeyShort));
            bool longLooks = LooksLikeFormat(key, key + kKeyLong, n - (p + 4 + kKeyLong));
            if (longLooks && !shortLooks) keyLen = kKeyLong;
        }
        size_t data = p + 4 + keyLen;
        size_t length = std::min(size_t(uint32_t(ReadInt(b + p))), n - data);
        Add(std::string_view(reinterpret_cast<const char*>(b + p + 4), keyLen), data, length);
        p = data + length;
    }
}

namespace {

// The index slot of a key, after making sure the index still describes the buffer (it is a public
// byte block that anyone could have changed).
const SvgIconCacheIndex::Slot* FindRecord(const std::string& key) {
    const SvgIconCacheIndex::Slot* slot = gSvgIconCacheIndex.Find(key);
    auto fits = [&](const SvgIconCacheIndex::Slot* s) {
        return s->offset >= key.size() + 4 && s->offset + s->length <= gSvgIconCache.GetSize() &&
               std::memcmp(gSvgIconCache.GetPtr() + s->offset - key.size(), key.data(), key.size()) == 0;
    };
    if (slot && fits(slot)) return slot;
    if (!slot && gSvgIconCacheIndex.Count() != 0) return nullptr;
    gSvgIconCacheIndex.Rebuild(gSvgIconCache);
    slot = gSvgIconCacheIndex.Find(key);
    return slot && fits(slot) ? slot : nullptr;
}

}  // namespace

CVolMem GetSvgIcon(CVolMem& svg, int32_t resourceId, int32_t width, int32_t height, int32_t format, bool noScale,
                   uint32_t background) {
    if (!gSvgIconCacheLoaded) {
        gSvgIconCacheLoaded = 1;
        std::wstring file = gCacheFileOverride.empty() ? GetModuleDirectory() + L"drenvik.svgs" : gCacheFileOverride;
        gSvgIconCache.ReadWholeFile(file);  // a missing or unreadable file leaves it empty
        gSvgIconCacheIndex.Rebuild(gSvgIconCache);
    }
    if (svg.IsEmpty()) CVolAppInstance::LoadResourceData(svg, resourceId, CVolAppInstance::kResourceRcData);
    if (!noScale) {
        width = ScaleByDpi(width);
        height = ScaleByDpi(height);
    }
    std::string key = MakeSvgIconKey(svg.HashCode(), width, height, format, background);
    if (const SvgIconCacheIndex::Slot* hit = FindRecord(key)) return gSvgIconCache.Mid(hit->offset, hit->length);

    CVolMem image = RenderSvgToImage(svg, width, height, background, format);
    int32_t length = int32_t(image.GetSize());
    gSvgIconCache.Append(&length, 4);
    gSvgIconCache.Append(key.data(), key.size());
    gSvgIconCacheIndex.Add(key, gSvgIconCache.GetSize(), image.GetSize());
    gSvgIconCache.Append(image);
    return image;
}

CVolMem GetSvgIconFromResource(int32_t resourceId, int32_t width, int32_t height, bool noScale) {
    CVolMem svg;
    return GetSvgIcon(svg, resourceId, width, height, kSvgImagePng, noScale, 0);
}

void ResetSvgIconCacheForTest(const std::wstring& cacheFile) {
    gSvgIconCache.Empty();
    gSvgIconCacheLoaded = 0;
    gSvgIconCacheIndex.Clear();
    gCacheFileOverride = cacheFile;
}

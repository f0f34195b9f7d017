// SVG icons: cost of a cache hit with 1,000 records in the buffer (against a raw byte search from
// the buffer's start), and the time to render a typical 24 x 24 icon.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdiplus_session.h"
#include "platform/svg.h"
#include "ui/svg_drawing.h"
#include "ui/svg_icon_cache.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kIcon[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24' viewBox='0 0 24 24'>"
    "<circle cx='12' cy='12' r='10' fill='#2e9d4f'/>"
    "<path d='M7 12.5l3.2 3.2L17 9' fill='none' stroke='#fff' stroke-width='2.4' stroke-linecap='round' "
    "stroke-linejoin='round'/></svg>";

// The icon with a distinct comment, so each variant has its own hash.
std::string Variant(int i) { return std::string(kIcon) + "<!-- " + std::to_string(i) + " -->"; }

template <class F> double MicrosecondsPer(int rounds, F f) {
    auto t0 = Clock::now();
    for (int i = 0; i < rounds; ++i) f(i);
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / rounds;
}

// What a lookup costs without an index: the first occurrence of the key anywhere in the buffer.
CVolMem RawSearch(const CVolMem& buffer, const std::string& key) {
    long long d = buffer.FindBytes(key.data(), key.size(), 0);
    if (d < 4) return {};
    int32_t length;
    std::memcpy(&length, buffer.GetPtr() + d - 4, 4);
    return buffer.Mid(size_t(d) + key.size(), size_t(uint32_t(length)));
}

}  // namespace

int main() {
    GdiplusSession gdiplus;
    const int kRecords = 1000;

    // A cache file of 1,000 rendered icons.
    CVolMem file;
    std::vector<CVolMem> svgs;
    for (int i = 0; i < kRecords; ++i) {
        svgs.emplace_back(Variant(i));
        CVolMem png = RenderSvgToImage(svgs.back(), 24, 24, 0, kSvgImagePng);
        std::string key = MakeSvgIconKey(svgs.back().HashCode(), 24, 24, kSvgImagePng, 0);
        int32_t n = int32_t(png.GetSize());
        file.Append(&n, 4);
        file.Append(key.data(), key.size());
        file.Append(png);
    }
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    std::wstring path = std::wstring(tmp) + L"kv_bench_drenvik.svgs";
    file.WriteToFile(path);
    ResetSvgIconCacheForTest(path);
    CVolMem warm = svgs[0];
    GetSvgIcon(warm, 0, 24, 24, kSvgImagePng, true, 0);  // loads the file

    const int kLookups = 20000;
    size_t sink = 0;
    double hit = MicrosecondsPer(kLookups, [&](int i) {
        CVolMem svg = svgs[size_t(i % kRecords)];
        sink += GetSvgIcon(svg, 0, 24, 24, kSvgImagePng, true, 0).GetSize();
    });
    double raw = MicrosecondsPer(kLookups, [&](int i) {
        CVolMem svg = svgs[size_t(i % kRecords)];
        sink += RawSearch(gSvgIconCache, MakeSvgIconKey(svg.HashCode(), 24, 24, kSvgImagePng, 0)).GetSize();
    });
    std::printf("cache hit, %d records (%zu bytes): indexed %.2f us, raw search %.2f us, ratio(raw/indexed) %.1f\n",
                kRecords, gSvgIconCache.GetSize(), hit, raw, raw / hit);

    const int kRenders = 200;
    double full = MicrosecondsPer(kRenders, [&](int i) {
        sink += RenderSvgToImage(svgs[size_t(i % kRecords)], 24, 24, 0, kSvgImagePng).GetSize();
    });
    double drawOnly = MicrosecondsPer(kRenders, [&](int i) {
        auto doc = SvgDocument::LoadFromData(svgs[size_t(i % kRecords)].View());
        sink += size_t(doc->RenderToBitmap(24, 24, 0).Width());
    });
    std::printf("render 24x24 icon: parse+draw %.0f us, with temporary file and PNG %.0f us, "
                "ratio(render/hit) %.0f\n",
                drawOnly, full, full / hit);
    ResetSvgIconCacheForTest(L"");
    ::DeleteFileW(path.c_str());
    return sink == 0;
}

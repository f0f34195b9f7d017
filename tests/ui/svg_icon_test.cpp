#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/app_instance.h"
#include "platform/dpi.h"
#include "platform/gdiplus_session.h"
#include "platform/image_encode.h"
#include "platform/system.h"
#include "ui/svg_drawing.h"
#include "ui/svg_icon_cache.h"

namespace {

const char kSquare[] =
    "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 16 16'>"
    "<rect x='4' y='4' width='8' height='8' fill='#2060c0'/></svg>";

CVolMem Bytes(std::string_view s) { return CVolMem(s); }
std::string Str(const CVolMem& m) { return std::string(m.View()); }

uint32_t BigEndian(const CVolMem& m, size_t at) {
    return uint32_t(m[at]) << 24 | uint32_t(m[at + 1]) << 16 | uint32_t(m[at + 2]) << 8 | m[at + 3];
}
// Width and height from a PNG's header chunk.
std::pair<uint32_t, uint32_t> PngSize(const CVolMem& png) {
    if (png.GetSize() < 24 || std::memcmp(png.GetPtr(), "\x89PNG", 4) != 0) return {0, 0};
    return {BigEndian(png, 16), BigEndian(png, 20)};
}

// A record of the cache file: int32 length, the key, the image bytes.
std::string Record(const std::string& key, std::string_view image) {
    int32_t n = int32_t(image.size());
    return std::string(reinterpret_cast<const char*>(&n), 4) + key + std::string(image);
}
std::string Key(std::string_view svg, int w, int h, int format = 0, uint32_t background = 0) {
    return MakeSvgIconKey(Bytes(svg).HashCode(), w, h, format, background);
}

class SvgIcons : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t tmp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, tmp);
        static int serial = 0;
        dir_ = std::wstring(tmp) + L"kv_svg_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
               std::to_wstring(++serial) + L"\\";
        ::CreateDirectoryW(dir_.c_str(), nullptr);
        cacheFile_ = dir_ + L"drenvik.svgs";
        ResetSvgIconCacheForTest(cacheFile_);
        SetDpiFactorsForTest(1.0);
        icons_ = ::LoadLibraryExW((GetModuleDirectory() + L"svg_icons.dll").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_TRUE(icons_) << "svg_icons.dll beside the test";
        CVolAppInstance::SetResourceModule(icons_);
    }
    void TearDown() override {
        CVolAppInstance::SetResourceModule(nullptr);
        if (icons_) ::FreeLibrary(icons_);
        ResetSvgIconCacheForTest(L"");
        SetDpiFactorsForTest(1.0);
        ::DeleteFileW(cacheFile_.c_str());
        ::RemoveDirectoryW(dir_.c_str());
    }
    void WriteCacheFile(const std::string& content) { ASSERT_TRUE(Bytes(content).WriteToFile(cacheFile_)); }
    CVolMem Icon(std::string_view svg, int w, int h, int format = 0, bool noScale = false, uint32_t bg = 0) {
        CVolMem block = Bytes(svg);
        return GetSvgIcon(block, 0, w, h, format, noScale, bg);
    }

    GdiplusSession gdiplus_;
    HMODULE icons_ = nullptr;
    std::wstring dir_, cacheFile_;
};

TEST_F(SvgIcons, MissRendersOnceThenTheBufferAnswers) {
    CVolMem first = Icon(kSquare, 16, 16);
    EXPECT_EQ(PngSize(first), std::make_pair(16u, 16u));
    EXPECT_EQ(gSvgIconCacheLoaded, 1);
    ASSERT_EQ(gSvgIconCache.GetSize(), 4 + 16 + first.GetSize());
    EXPECT_EQ(gSvgIconCache.Mid(4, 16).View(), Key(kSquare, 16, 16));

    std::wstring renderedFrom = gSvgDrawing.tempFilePath;
    CVolMem second = Icon(kSquare, 16, 16);
    EXPECT_EQ(second, first);
    EXPECT_EQ(gSvgIconCache.GetSize(), 4 + 16 + first.GetSize());
    EXPECT_EQ(gSvgDrawing.tempFilePath, renderedFrom);  // no render: no new temporary file

    // Another size is another record.
    EXPECT_EQ(PngSize(Icon(kSquare, 20, 12)), std::make_pair(20u, 12u));
}

TEST_F(SvgIcons, PreparedFileAnswersWithoutRendering) {
    WriteCacheFile(Record(Key(kSquare, 16, 16), "RECORDED-16") +                     // plain
                   Record(Key(kSquare, 24, 24), "RECORDED-24") +                     // what 16 at 1.5 keys to
                   Record(Key(kSquare, 16, 16, 0, 0xFF0000FF), "RECORDED-RED") +     // 20-byte key
                   Record(Key(kSquare, 16, 16, 1), "RECORDED-BMP"));
    std::wstring before = gSvgDrawing.tempFilePath;

    EXPECT_EQ(Str(Icon(kSquare, 16, 16)), "RECORDED-16");
    EXPECT_EQ(Str(Icon(kSquare, 16, 16, 0, false, 0xFF0000FF)), "RECORDED-RED");
    EXPECT_EQ(Str(Icon(kSquare, 16, 16, 1)), "RECORDED-BMP");
    SetDpiFactorsForTest(1.5);
    EXPECT_EQ(Str(Icon(kSquare, 16, 16)), "RECORDED-24");
    EXPECT_EQ(Str(Icon(kSquare, 16, 16, 0, true)), "RECORDED-16");  // no-scale flag
    EXPECT_EQ(gSvgDrawing.tempFilePath, before);
    EXPECT_EQ(gSvgIconCache.GetSize(), CVolMem::ConstructFromFile(cacheFile_).GetSize());
}

TEST_F(SvgIcons, DpiFactorScalesKeyAndPicture) {
    SetDpiFactorsForTest(1.5);
    CVolMem scaled = Icon(kSquare, 16, 16);
    EXPECT_EQ(PngSize(scaled), std::make_pair(24u, 24u));
    EXPECT_EQ(gSvgIconCache.Mid(4, 16).View(), Key(kSquare, 24, 24));
    CVolMem plain = Icon(kSquare, 16, 16, 0, true);
    EXPECT_EQ(PngSize(plain), std::make_pair(16u, 16u));
    // 17 * 1.5 = 25.5 truncates.
    EXPECT_EQ(PngSize(Icon(kSquare, 17, 17)), std::make_pair(25u, 25u));
}

TEST_F(SvgIcons, BackgroundMakesTheLongerKey) {
    Icon(kSquare, 16, 16, 0, false, 0);
    size_t afterPlain = gSvgIconCache.GetSize();
    CVolMem onRed = Icon(kSquare, 16, 16, 0, false, 0xFF0000FF);
    ASSERT_EQ(gSvgIconCache.GetSize(), afterPlain + 4 + 20 + onRed.GetSize());
    EXPECT_EQ(gSvgIconCache.Mid(afterPlain + 4, 20).View(), Key(kSquare, 16, 16, 0, 0xFF0000FF));
    EXPECT_EQ(Key(kSquare, 1, 1).size(), 16u);
    EXPECT_EQ(Key(kSquare, 1, 1, 0, 0xFF0000FF).size(), 20u);
}

// A request's 16-byte key is the start of a 20-byte key, and keys can hide inside image bytes:
// neither may answer for another record.
TEST_F(SvgIcons, KeysMatchOnlyWholeRecords) {
    std::string plainKey = Key(kSquare, 16, 16), redKey = Key(kSquare, 16, 16, 0, 0xFF0000FF);
    std::string otherKey = Key(kSquare, 32, 32);
    int32_t negative = -5, huge = 0x7FFFFFF0;
    // Image bytes that look like records of the other two keys, with a bad length before each.
    std::string decoy = "\x89PNG" + std::string(reinterpret_cast<const char*>(&negative), 4) + otherKey + "XX" +
                        std::string(reinterpret_cast<const char*>(&huge), 4) + plainKey;
    WriteCacheFile(Record(redKey, decoy) + Record(otherKey, "\x89PNG-OTHER"));

    EXPECT_EQ(Str(Icon(kSquare, 32, 32)), "\x89PNG-OTHER");
    EXPECT_EQ(Str(Icon(kSquare, 16, 16, 0, false, 0xFF0000FF)), decoy);
    size_t before = gSvgIconCache.GetSize();
    CVolMem plain = Icon(kSquare, 16, 16);  // only a prefix of redKey and a decoy exist: a miss
    EXPECT_EQ(PngSize(plain), std::make_pair(16u, 16u));
    EXPECT_EQ(gSvgIconCache.GetSize(), before + 4 + 16 + plain.GetSize());
    EXPECT_EQ(Icon(kSquare, 16, 16), plain);  // and now a hit on the appended record
}

TEST_F(SvgIcons, DamagedFilesNeverGiveForeignBytes) {
    std::string key = Key(kSquare, 16, 16);
    struct Case {
        const char* what;
        std::string file;
        bool hit;
        std::string expect;
    } cases[] = {
        {"key at offset 0", key + "\x89PNG-TAIL", false, ""},
        {"length past the end", Record(key, "\x89PNG-CUT").substr(0, 4 + 16 + 6), true, "\x89PNG-C"},
        {"negative length", std::string("\xFB\xFF\xFF\xFF", 4) + key + "\x89PNG", false, ""},
        {"garbage", std::string(64, '\x7F'), false, ""},
        {"empty record then one", Record(Key(kSquare, 8, 8), "") + Record(key, "\x89PNG-2"), true, "\x89PNG-2"},
    };
    for (const Case& c : cases) {
        ResetSvgIconCacheForTest(cacheFile_);
        WriteCacheFile(c.file);
        CVolMem got = Icon(kSquare, 16, 16);
        if (c.hit) EXPECT_EQ(Str(got), c.expect) << c.what;
        else EXPECT_EQ(PngSize(got), std::make_pair(16u, 16u)) << c.what;
    }
}

TEST_F(SvgIcons, BmpIsRenderedOnWhite) {
    CVolMem bmp = Icon(kSquare, 16, 16, kSvgImageBmp);
    ASSERT_EQ(bmp.GetSize(), 54u + 16 * 16 * 3);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(bmp[28], 24);
    // Rows bottom-up in B, G, R: the bottom-left corner is background, the middle the square.
    EXPECT_EQ(bmp[54], 255);
    EXPECT_EQ(bmp[55], 255);
    EXPECT_EQ(bmp[56], 255);
    size_t mid = 54 + (8 * 16 + 8) * 3;
    EXPECT_EQ(bmp[mid], 0xC0);
    EXPECT_EQ(bmp[mid + 1], 0x60);
    EXPECT_EQ(bmp[mid + 2], 0x20);
    // An explicit background is used as given.
    CVolMem onRed = Icon(kSquare, 16, 16, kSvgImageBmp, false, 0xFF0000FF);
    ASSERT_GT(onRed.GetSize(), 56u);
    EXPECT_EQ(onRed[54], 0);
    EXPECT_EQ(onRed[56], 255);
}

TEST_F(SvgIcons, TgaIsUncompressedWithAlpha) {
    CVolMem tga = Icon(kSquare, 16, 16, kSvgImageTga);
    ASSERT_GE(tga.GetSize(), 18u + 16 * 16 * 4);
    EXPECT_EQ(tga[2], 2);
    EXPECT_EQ(tga[12] | tga[13] << 8, 16);
    EXPECT_EQ(tga[16], 32);
    EXPECT_EQ(tga[17] & 0x0F, 8);
    EXPECT_EQ(tga[18 + 3], 0);  // a corner: transparent
    size_t mid = 18 + (8 * 16 + 8) * 4;
    EXPECT_EQ(tga[mid], 0xC0);  // B, G, R, A
    EXPECT_EQ(tga[mid + 3], 255);
    // Another format code is PNG.
    EXPECT_EQ(PngSize(Icon(kSquare, 16, 16, 7)), std::make_pair(16u, 16u));
}

TEST_F(SvgIcons, ResourceAndGivenBytesShareARecord) {
    CVolMem fromResource = GetSvgIconFromResource(516, 16, 16, true);
    EXPECT_EQ(PngSize(fromResource), std::make_pair(16u, 16u));
    size_t size = gSvgIconCache.GetSize();

    CVolMem svg;  // filled in place from the resource
    CVolMem again = GetSvgIcon(svg, 516, 16, 16, kSvgImagePng, true, 0);
    EXPECT_FALSE(svg.IsEmpty());
    EXPECT_NE(svg.View().find("<svg"), std::string_view::npos);
    EXPECT_EQ(again, fromResource);
    CVolMem given = svg;
    EXPECT_EQ(GetSvgIcon(given, 0, 16, 16, kSvgImagePng, true, 0), fromResource);
    EXPECT_EQ(gSvgIconCache.GetSize(), size);

    for (int id : {517, 518, 519}) EXPECT_EQ(PngSize(GetSvgIconFromResource(id, 16, 16, true)).first, 16u) << id;
}

TEST_F(SvgIcons, NothingToDrawIsCachedEmpty) {
    CVolMem none;
    EXPECT_TRUE(GetSvgIcon(none, 0, 16, 16, 0, false, 0).IsEmpty());
    ASSERT_EQ(gSvgIconCache.GetSize(), 20u);
    EXPECT_EQ(gSvgIconCache.Mid(0, 20).View(), std::string(4, '\0') + MakeSvgIconKey(0, 16, 16, 0, 0));
    EXPECT_TRUE(GetSvgIcon(none, 0, 16, 16, 0, false, 0).IsEmpty());
    EXPECT_EQ(gSvgIconCache.GetSize(), 20u);
    // A missing resource and bytes that are not SVG: empty, and cached.
    CVolMem missing;
    EXPECT_TRUE(GetSvgIcon(missing, 9999, 16, 16, 0, false, 0).IsEmpty());
    EXPECT_TRUE(Icon("<html/>", 16, 16).IsEmpty());
    EXPECT_EQ(gSvgIconCache.GetSize(), 40u);  // the missing resource shares the empty record
}

TEST(SvgDrawing, RendersThroughATemporaryFolderOutsideTheAnsiCodePage) {
    GdiplusSession gdiplus;
    wchar_t tmp[MAX_PATH], saved[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, tmp);
    DWORD hadTmp = ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    std::wstring odd = std::wstring(tmp) + L"用户 Ærø 临时" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(odd.c_str(), nullptr));
    ::SetEnvironmentVariableW(L"TMP", odd.c_str());

    CVolMem png = RenderSvgToImage(Bytes(kSquare), 16, 16, 0, kSvgImagePng);
    CVolMem bmp = RenderSvgToImage(Bytes(kSquare), 16, 16, 0, kSvgImageBmp);
    std::wstring tempFile = gSvgDrawing.tempFilePath;

    ::SetEnvironmentVariableW(L"TMP", hadTmp ? saved : nullptr);
    EXPECT_EQ(PngSize(png), std::make_pair(16u, 16u));
    EXPECT_EQ(bmp.GetSize(), 54u + 16 * 16 * 3);
    EXPECT_EQ(tempFile.rfind(odd, 0), 0u);
    EXPECT_NE(::GetFileAttributesW(tempFile.c_str()), INVALID_FILE_ATTRIBUTES);
    // The next render, from the usual folder, removes the previous temporary file.
    RenderSvgToImage(Bytes(kSquare), 4, 4, 0, kSvgImagePng);
    EXPECT_EQ(::GetFileAttributesW(tempFile.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(::RemoveDirectoryW(odd.c_str()));  // nothing was left behind
}

TEST(SvgDrawing, FailedLoadKeepsTheLastPicture) {
    GdiplusSession gdiplus;
    ASSERT_FALSE(RenderSvgToImage(Bytes(kSquare), 8, 8, 0, kSvgImagePng).IsEmpty());
    auto picture = gSvgPicture.bitmap;
    ASSERT_TRUE(picture);
    EXPECT_TRUE(RenderSvgToImage(Bytes("<svg"), 8, 8, 0, kSvgImagePng).IsEmpty());
    EXPECT_FALSE(gSvgDrawing.document);
    EXPECT_EQ(gSvgPicture.bitmap, picture);
    EXPECT_EQ(PngSize(EncodeSvgPicture(kSvgImagePng)), std::make_pair(8u, 8u));

    // Saving: every format writes a file; an empty path writes none.
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    std::wstring out = std::wstring(tmp) + L"kv_svg_saved_" + std::to_wstring(::GetCurrentProcessId());
    for (int format : {0, 1, 2, 5}) {
        EXPECT_EQ(SaveSvgPictureToFile(out, format), 1) << format;
        EXPECT_FALSE(CVolMem::ConstructFromFile(out).IsEmpty());
    }
    ::DeleteFileW(out.c_str());
    EXPECT_EQ(SaveSvgPictureToFile(L"", 0), 0);
    EXPECT_EQ(LoadSvgDocumentFromFile(L""), 0);
}

TEST(SvgDrawing, ObjectProtocol) {
    rg_SVGHuiZhiLei drawing;
    drawing.tempFilePath = L"C:\\nowhere\\a.svg";
    drawing.document = SvgDocument::LoadFromData("<svg/>");
    std::unique_ptr<CVolObject> copy(drawing.Clone());
    auto* c = static_cast<rg_SVGHuiZhiLei*>(copy.get());
    EXPECT_EQ(c->tempFilePath, drawing.tempFilePath);
    EXPECT_FALSE(c->document);
    EXPECT_TRUE(drawing.IsEqual(*c));
    c->document = SvgDocument::LoadFromData("<svg/>");
    c->Reset();
    EXPECT_TRUE(c->document);  // the document stays in place
    EXPECT_TRUE(c->tempFilePath.empty());
    c->tempFilePath.clear();

    VolMemStream s;
    drawing.SaveToStream(&s);
    CVolMem expect;
    int32_t n = int32_t((drawing.tempFilePath.size() + 1) * 2);
    expect.Append(&n, 4);
    expect.Append(drawing.tempFilePath.c_str(), size_t(n));
    EXPECT_EQ(s.Data(), expect);
    drawing.tempFilePath.clear();

    rg_SVGTuPianLei a, b;
    a.bitmap = std::make_shared<SvgBitmap>(2, 2);
    EXPECT_TRUE(a.IsEqual(b));  // the picture is not compared
    std::unique_ptr<CVolObject> shared(a.Clone());
    EXPECT_EQ(static_cast<rg_SVGTuPianLei*>(shared.get())->bitmap, a.bitmap);
    b.CopyFrom(a);
    EXPECT_EQ(b.bitmap, a.bitmap);
    b.Reset();
    EXPECT_FALSE(b.bitmap);
    VolMemStream none;
    a.SaveToStream(&none);
    EXPECT_TRUE(none.Data().IsEmpty());
}

TEST(SvgDrawing, DestructionDeletesTheTemporaryFile) {
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    std::wstring file = std::wstring(tmp) + L"kv_svg_owned_" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(Bytes("x").WriteToFile(file));
    {
        rg_SVGHuiZhiLei drawing;
        drawing.tempFilePath = file;
    }
    EXPECT_EQ(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Draws the program's icons and a few test pictures into one strip, bin\svg_icons_preview.png, for a
// person to look at.
TEST_F(SvgIcons, SavesAPreviewStrip) {
    const char* extra[] = {
        kSquare,
        "<svg viewBox='0 0 24 24'><circle cx='12' cy='12' r='10' fill='#2e9d4f'/>"
        "<path d='M7 12.5l3.2 3.2L17 9' fill='none' stroke='#fff' stroke-width='2.4' stroke-linecap='round' "
        "stroke-linejoin='round'/></svg>",
        "<svg viewBox='0 0 24 24'><path fill='#f2b632' d='M3 6a2 2 0 0 1 2-2h4l2 2h8a2 2 0 0 1 2 2v10a2 2 0 0 "
        "1-2 2H5a2 2 0 0 1-2-2z'/><path fill='#ffd36b' d='M3 9h18v9a2 2 0 0 1-2 2H5a2 2 0 0 1-2-2z'/></svg>",
        "<svg viewBox='0 0 24 24'><path fill-rule='evenodd' fill='#7a4fd0' d='M12 2a10 10 0 1 0 0 20a10 10 0 1 "
        "0 0-20zm0 5a5 5 0 1 1 0 10a5 5 0 1 1 0-10z'/><g transform='rotate(45 12 12)'><rect x='11' y='0' "
        "width='2' height='24' fill='#d33' opacity='0.8'/></g></svg>",
    };
    const int side = 48, count = 4 + int(std::size(extra));
    std::vector<uint8_t> strip(size_t(side) * count * side * 4, 255);
    auto place = [&](int slot, const CVolMem& svg) {
        ASSERT_FALSE(RenderSvgToImage(svg, side, side, 0xFFFFFFFF, kSvgImagePng).IsEmpty()) << slot;
        const SvgBitmap& bmp = *gSvgPicture.bitmap;
        for (int y = 0; y < side; ++y)
            std::memcpy(&strip[(size_t(y) * side * count + size_t(slot) * side) * 4], bmp.Data() + y * bmp.Stride(),
                        size_t(side) * 4);
    };
    for (int i = 0; i < 4; ++i) {
        CVolMem svg;
        CVolAppInstance::LoadResourceData(svg, 516 + i, CVolAppInstance::kResourceRcData);
        place(i, svg);
    }
    for (int i = 0; i < int(std::size(extra)); ++i) place(4 + i, Bytes(extra[i]));
    CVolMem png = EncodePngRgba(strip.data(), side * count, side);
    EXPECT_TRUE(png.WriteToFile(GetModuleDirectory() + L"svg_icons_preview.png"));
}

}  // namespace

#include "platform/picture.h"

#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <cstring>
#include <vector>

#include "platform/handles.h"

namespace {

std::unique_ptr<Gdiplus::Bitmap> DecodeWithGdiplus(const void* bytes, size_t size) {
    if (!bytes || size == 0 || size > 0x7FFFFFFF) return nullptr;
    UniqueCom<IStream> stream(::SHCreateMemStream(static_cast<const BYTE*>(bytes), UINT(size)));
    if (!stream) return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> bmp(Gdiplus::Bitmap::FromStream(stream.get()));
    if (!bmp || bmp->GetLastStatus() != Gdiplus::Ok) return nullptr;
    return bmp;
}

bool FindEncoder(const wchar_t* mime, CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i)
        if (std::wcscmp(codecs[i].MimeType, mime) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

}  // namespace

HBITMAP CreateDib32(int width, int height, void** bits) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* dummy = nullptr;
    return ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits ? bits : &dummy, nullptr, 0);
}

HBITMAP LoadPictureFromBytes(const void* bytes, size_t size) {
    auto bmp = DecodeWithGdiplus(bytes, size);
    if (!bmp) return nullptr;
    int w = int(bmp->GetWidth()), h = int(bmp->GetHeight());
    if (w <= 0 || h <= 0) return nullptr;
    Gdiplus::Rect rect(0, 0, w, h);
    Gdiplus::BitmapData data{};
    if (bmp->LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok) return nullptr;
    void* bits = nullptr;
    HBITMAP dib = CreateDib32(w, h, &bits);
    if (dib) {
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<BYTE*>(bits) + size_t(y) * size_t(w) * 4,
                        static_cast<const BYTE*>(data.Scan0) + ptrdiff_t(y) * data.Stride, size_t(w) * 4);
    }
    bmp->UnlockBits(&data);
    return dib;
}

bool SaveBitmapAsPng(HBITMAP bitmap, const wchar_t* path) {
    CLSID png;
    if (!bitmap || !FindEncoder(L"image/png", png)) return false;
    Gdiplus::Bitmap bmp(bitmap, nullptr);
    return bmp.Save(path, &png, nullptr) == Gdiplus::Ok;
}

// ---- bitmaps and icons ---------------------------------------------------------------------------

void rg_WeiTuDuiXiangLei::Attach(HBITMAP bitmap, bool alpha) {
    if (!bitmap) {
        shared_.reset();
        return;
    }
    auto s = std::make_shared<Shared>();
    s->handle.reset(bitmap);
    s->alpha = alpha;
    shared_ = std::move(s);
}

bool rg_WeiTuDuiXiangLei::GetSize(int& width, int& height) const noexcept {
    width = height = 0;
    BITMAP bm{};
    if (IsEmpty() || !::GetObjectW(GetHandle(), sizeof(bm), &bm)) return false;
    width = int(bm.bmWidth);
    height = int(bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight);
    return true;
}

bool rg_WeiTuDuiXiangLei::LoadFromBytes(const void* bytes, size_t size) {
    HBITMAP h = LoadPictureFromBytes(bytes, size);
    if (!h) return false;
    Attach(h, true);
    return true;
}

void rg_TuBiaoDuiXiangLei::Attach(HICON icon) {
    if (icon) shared_ = std::make_shared<UniqueIcon>(icon);
    else shared_.reset();
}

bool rg_TuBiaoDuiXiangLei::LoadFromBytes(const void* bytes, size_t size, int width, int height) {
    auto bmp = DecodeWithGdiplus(bytes, size);
    if (!bmp) return false;
    HICON icon = nullptr;
    if (width > 0 && height > 0 && (int(bmp->GetWidth()) != width || int(bmp->GetHeight()) != height)) {
        Gdiplus::Bitmap scaled(width, height, PixelFormat32bppARGB);
        Gdiplus::Graphics g(&scaled);
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        g.DrawImage(bmp.get(), 0, 0, width, height);
        scaled.GetHICON(&icon);
    } else {
        bmp->GetHICON(&icon);
    }
    if (!icon) return false;
    Attach(icon);
    return true;
}

// Bitmaps and icons of the library and GDI+ decoding of picture bytes (GDI+ must be running:
// GdiplusSession).
#pragma once
#include "platform/win.h"

#include <memory>

#include "platform/handles.h"
#include "platform/mem.h"
#include "platform/object.h"

// A GDI bitmap shared by copies (the handle is reference-counted). `alpha` marks a 32-bit bitmap
// whose pixels carry premultiplied alpha; drawing honours it.
class rg_WeiTuDuiXiangLei : public CVolObject {
    VOL_CLASS(rg_WeiTuDuiXiangLei, CVolObject, "rg_WeiTuDuiXiangLei")
    VOL_MEMBERS(shared_)

public:
    struct Shared {
        UniqueGdiObject handle;
        bool alpha = false;
    };

    bool IsEmpty() const noexcept { return !shared_ || !shared_->handle; }
    HBITMAP GetHandle() const noexcept { return shared_ ? static_cast<HBITMAP>(shared_->handle.get()) : nullptr; }
    bool HasAlpha() const noexcept { return shared_ && shared_->alpha; }
    // Takes ownership of the handle.
    void Attach(HBITMAP bitmap, bool alpha);
    void Clear() noexcept { shared_.reset(); }
    // Pixel size; 0 x 0 when empty.
    bool GetSize(int& width, int& height) const noexcept;
    // Decodes picture bytes (PNG, BMP, JPEG, GIF, ICO) with GDI+ into a 32-bit premultiplied bitmap.
    bool LoadFromBytes(const void* bytes, size_t size);
    bool LoadFromBytes(const CVolMem& bytes) { return LoadFromBytes(bytes.GetPtr(), bytes.GetSize()); }

private:
    std::shared_ptr<Shared> shared_;
};

struct IconHandleTraits {
    static HICON Invalid() noexcept { return nullptr; }
    static void Close(HICON h) noexcept { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueResource<HICON, IconHandleTraits>;

// An icon shared by copies.
class rg_TuBiaoDuiXiangLei : public CVolObject {
    VOL_CLASS(rg_TuBiaoDuiXiangLei, CVolObject, "rg_TuBiaoDuiXiangLei")
    VOL_MEMBERS(shared_)

public:
    bool IsEmpty() const noexcept { return !shared_ || !*shared_; }
    HICON GetHandle() const noexcept { return shared_ ? shared_->get() : nullptr; }
    void Attach(HICON icon);
    void Clear() noexcept { shared_.reset(); }
    // An icon from picture bytes at the given size (0: the picture's own).
    bool LoadFromBytes(const void* bytes, size_t size, int width = 0, int height = 0);

private:
    std::shared_ptr<UniqueIcon> shared_;
};

// 32-bit top-down DIB section; `bits` receives the pixel pointer.
HBITMAP CreateDib32(int width, int height, void** bits);
// Picture bytes to a bitmap handle (premultiplied 32-bit), or null when they do not decode.
HBITMAP LoadPictureFromBytes(const void* bytes, size_t size);
// Saves a bitmap as PNG through the GDI+ encoder (GDI+ must be started).
bool SaveBitmapAsPng(HBITMAP bitmap, const wchar_t* path);

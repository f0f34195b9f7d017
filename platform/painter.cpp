#include "platform/painter.h"

#include <algorithm>

namespace {
constexpr UINT kTextFlags = DT_NOPREFIX | DT_NOCLIP | DT_EXPANDTABS;
}

CVWnd_Painter::CVWnd_Painter() {
    CreatePen();
    CreateBrush();
}

CVWnd_Painter::~CVWnd_Painter() {
    DestroyOwnWindow();
    if (dc_) {
        ::SelectObject(dc_, originalBitmap_);
        ::SelectObject(dc_, originalPen_);
        ::SelectObject(dc_, originalBrush_);
        ::SelectObject(dc_, originalFont_);
        ::DeleteDC(dc_);
    }
}

int CVWnd_Painter::CreateNativeWindow(VolCreateParams& p) {
    if (!CreateControlWindow(p, {L"VolPainter"})) return 0;
    RECT r;
    ::GetClientRect(GetHwnd(), &r);
    ResizeBuffer(int(r.right), int(r.bottom), false);
    return 1;
}

LRESULT CVWnd_Painter::DefaultWindowProc(VolMessage& m) {
    switch (m.message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(m.hwnd, &ps);
        EnsureBuffer();
        const RECT& r = ps.rcPaint;
        ::BitBlt(hdc, r.left, r.top, r.right - r.left, r.bottom - r.top, dc_, r.left, r.top, SRCCOPY);
        ::EndPaint(m.hwnd, &ps);
        return 0;
    }
    case WM_SIZE: {
        int w = LOWORD(m.lParam), h = HIWORD(m.lParam);
        if (w > 0 && h > 0 && (w != bufferWidth_ || h != bufferHeight_)) ResizeBuffer(w, h, true);
        break;
    }
    default: break;
    }
    return CVolWinControl::DefaultWindowProc(m);
}

void CVWnd_Painter::EnsureBuffer() {
    if (dc_) return;
    int w = IsCreated() ? GetClientWidth() : GetWidth();
    int h = IsCreated() ? GetClientHeight() : GetHeight();
    ResizeBuffer(w, h, false);
}

void CVWnd_Painter::ResizeBuffer(int width, int height, bool keepPicture) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    HDC screen = ::GetDC(nullptr);
    if (!dc_) {
        dc_ = ::CreateCompatibleDC(screen);
        originalBitmap_ = ::GetCurrentObject(dc_, OBJ_BITMAP);
        originalPen_ = ::GetCurrentObject(dc_, OBJ_PEN);
        originalBrush_ = ::GetCurrentObject(dc_, OBJ_BRUSH);
        originalFont_ = ::GetCurrentObject(dc_, OBJ_FONT);
    }
    UniqueGdiObject fresh(::CreateCompatibleBitmap(screen, width, height));
    ::ReleaseDC(nullptr, screen);
    if (!fresh) return;
    HDC old = nullptr;
    if (keepPicture && bitmap_) {
        old = ::CreateCompatibleDC(dc_);
        ::SelectObject(dc_, originalBitmap_);
        ::SelectObject(old, bitmap_.get());
    }
    ::SelectObject(dc_, fresh.get());
    int oldW = bufferWidth_, oldH = bufferHeight_;
    bitmap_ = std::move(fresh);  // the old bitmap is no longer selected into dc_
    bufferWidth_ = width;
    bufferHeight_ = height;
    RECT all{0, 0, width, height};
    UniqueGdiObject back(::CreateSolidBrush(COLORREF(backColor)));
    ::FillRect(dc_, &all, static_cast<HBRUSH>(back.get()));
    if (old) {
        ::BitBlt(dc_, 0, 0, oldW, oldH, old, 0, 0, SRCCOPY);
        ::DeleteDC(old);
    }
    SelectTools();
}

void CVWnd_Painter::SelectTools() {
    if (!dc_) return;
    ::SelectObject(dc_, pen_ ? pen_.get() : ::GetStockObject(BLACK_PEN));
    ::SelectObject(dc_, brushStyle == 0 || !brush_ ? ::GetStockObject(NULL_BRUSH) : brush_.get());
    if (HFONT f = GetFontHandle()) ::SelectObject(dc_, f);
}

void CVWnd_Painter::OnFontChanged() { SelectTools(); }

void CVWnd_Painter::CreatePen() {
    UniqueGdiObject pen(::CreatePen(penStyle, penWidth, COLORREF(penColor)));
    if (dc_) ::SelectObject(dc_, pen ? pen.get() : ::GetStockObject(BLACK_PEN));
    pen_ = std::move(pen);
}

void CVWnd_Painter::CreateBrush() {
    UniqueGdiObject brush(::CreateSolidBrush(COLORREF(brushColor)));
    if (dc_) ::SelectObject(dc_, brushStyle == 0 || !brush ? ::GetStockObject(NULL_BRUSH) : brush.get());
    brush_ = std::move(brush);
}

HDC CVWnd_Painter::GetBufferDC() {
    EnsureBuffer();
    return dc_;
}

void CVWnd_Painter::RebuildBuffer() {
    int w = IsCreated() ? GetClientWidth() : GetWidth();
    int h = IsCreated() ? GetClientHeight() : GetHeight();
    ResizeBuffer(w, h, false);
    Changed();
}

void CVWnd_Painter::ClearCanvas() {
    EnsureBuffer();
    RECT all{0, 0, bufferWidth_, bufferHeight_};
    UniqueGdiObject back(::CreateSolidBrush(COLORREF(backColor)));
    ::FillRect(dc_, &all, static_cast<HBRUSH>(back.get()));
    Changed();
}

void CVWnd_Painter::DrawLine(int x1, int y1, int x2, int y2) {
    EnsureBuffer();
    ::MoveToEx(dc_, x1, y1, nullptr);
    ::LineTo(dc_, x2, y2);
    currentX = x2;
    currentY = y2;
    Changed();
}

void CVWnd_Painter::DrawRectangle(int x1, int y1, int x2, int y2) {
    EnsureBuffer();
    ::Rectangle(dc_, x1, y1, x2, y2);
    Changed();
}

void CVWnd_Painter::FillRectangle(int x2, int y2) {
    EnsureBuffer();
    RECT r{1, 1, x2, y2};
    if (brushStyle != 0 && brush_) ::FillRect(dc_, &r, static_cast<HBRUSH>(brush_.get()));
    Changed();
}

void CVWnd_Painter::DrawEllipse(int x1, int y1, int x2, int y2) {
    EnsureBuffer();
    ::Ellipse(dc_, x1, y1, x2, y2);
    Changed();
}

void CVWnd_Painter::DrawPolygon(const POINT* points, int count) {
    if (!points || count < 2) return;
    EnsureBuffer();
    ::Polygon(dc_, points, count);
    Changed();
}

void CVWnd_Painter::DrawText(std::wstring_view text, int x, int y) {
    EnsureBuffer();
    if (x == kVolDefaultValue && y == kVolDefaultValue) {
        x = currentX;
        y = currentY;
    }
    ::SetTextColor(dc_, COLORREF(textColor));
    if (textBackColor == -1) {
        ::SetBkMode(dc_, TRANSPARENT);
    } else {
        ::SetBkMode(dc_, OPAQUE);
        ::SetBkColor(dc_, COLORREF(textBackColor));
    }
    RECT r{x, y, x + 0x7FFF, y + 0x7FFF};
    ::DrawTextW(dc_, text.data(), int(text.size()), &r, kTextFlags);
    Changed();
}

bool CVWnd_Painter::MeasureText(std::wstring_view text, int& width, int& height) {
    width = height = 0;
    EnsureBuffer();
    if (!dc_) return false;
    if (text.empty()) {
        TEXTMETRICW tm{};
        ::GetTextMetricsW(dc_, &tm);
        height = int(tm.tmHeight);
        return true;
    }
    RECT r{0, 0, 0, 0};
    ::DrawTextW(dc_, text.data(), int(text.size()), &r, kTextFlags | DT_CALCRECT);
    width = int(r.right - r.left);
    height = int(r.bottom - r.top);
    return true;
}

void CVWnd_Painter::DrawPicture(const rg_WeiTuDuiXiangLei& picture, int x, int y, int width, int height, int mode) {
    if (picture.IsEmpty()) return;
    EnsureBuffer();
    int bw = 0, bh = 0;
    picture.GetSize(bw, bh);
    if (width < 0) width = bw;
    if (height < 0) height = bh;
    HDC src = ::CreateCompatibleDC(dc_);
    HGDIOBJ old = ::SelectObject(src, picture.GetHandle());
    if (mode < 0) {
        ::TransparentBlt(dc_, x, y, width, height, src, 0, 0, bw, bh, UINT(-mode));
    } else if ((mode == 1 || mode == 0) && picture.HasAlpha()) {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::AlphaBlend(dc_, x, y, width, height, src, 0, 0, bw, bh, blend);
    } else {
        DWORD rop = (mode == 0 || mode == 1) ? SRCCOPY : DWORD(mode);
        ::SetStretchBltMode(dc_, HALFTONE);
        ::StretchBlt(dc_, x, y, width, height, src, 0, 0, bw, bh, rop);
    }
    ::SelectObject(src, old);
    ::DeleteDC(src);
    Changed();
}

void CVWnd_Painter::DrawPainter(CVWnd_Painter& source, int x, int y) {
    EnsureBuffer();
    HDC src = source.GetBufferDC();
    if (!src) return;
    ::BitBlt(dc_, x, y, source.bufferWidth_, source.bufferHeight_, src, 0, 0, SRCCOPY);
    Changed();
}

rg_WeiTuDuiXiangLei CVWnd_Painter::GetPicture() {
    rg_WeiTuDuiXiangLei picture;
    EnsureBuffer();
    if (!dc_) return picture;
    HBITMAP copy = CreateDib32(bufferWidth_, bufferHeight_, nullptr);
    if (!copy) return picture;
    HDC dst = ::CreateCompatibleDC(dc_);
    HGDIOBJ old = ::SelectObject(dst, copy);
    ::BitBlt(dst, 0, 0, bufferWidth_, bufferHeight_, dc_, 0, 0, SRCCOPY);
    ::SelectObject(dst, old);
    ::DeleteDC(dst);
    picture.Attach(copy, false);
    return picture;
}

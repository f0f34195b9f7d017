// The drawing board: a child window that draws everything into an off-screen buffer the size of its
// client area and copies the buffer to the screen on WM_PAINT, so a picture never flickers. Without
// a window it still has a 1 x 1 (or stored-size) buffer, so it can measure text.
//
// Colours are 0x00BBGGRR. Pen and brush fields take effect through CreatePen / CreateBrush (the
// rg_painter setters call them). Coordinates are client pixels.
#pragma once
#include "platform/picture.h"
#include "platform/window.h"

class CVWnd_Painter : public CVolWinControl {
    VOL_CLASS(CVWnd_Painter, CVolWinControl, "CVWnd_Painter")
    VOL_MEMBERS(backColor, penColor, penStyle, penWidth, brushColor, brushStyle, textColor, textBackColor,
                currentX, currentY)

public:
    CVWnd_Painter();
    ~CVWnd_Painter() override;
    CVWnd_Painter(const CVWnd_Painter&) = delete;

    int CreateNativeWindow(VolCreateParams& params) override;
    LRESULT DefaultWindowProc(VolMessage& m) override;
    void OnFontChanged() override;

    int backColor = 0xFFFFFF;
    int penColor = 0;
    int penStyle = PS_SOLID;  // a GDI pen style
    int penWidth = 1;
    int brushColor = 0xFFFFFF;
    int brushStyle = 1;       // 0 hollow, 1 solid
    int textColor = 0;
    int textBackColor = -1;   // -1: text is drawn transparently
    int currentX = 0;         // the current drawing position
    int currentY = 0;

    void CreatePen();
    void CreateBrush();
    // A new buffer at the client size, cleared to the background colour.
    void RebuildBuffer();
    void ClearCanvas();
    void DrawLine(int x1, int y1, int x2, int y2);
    // From two corners, outlined with the pen and filled with the brush.
    void DrawRectangle(int x1, int y1, int x2, int y2);
    // Fills from (1, 1) to the corner with the brush.
    void FillRectangle(int x2, int y2);
    void DrawEllipse(int x1, int y1, int x2, int y2);
    void DrawPolygon(const POINT* points, int count);
    // Draws at (x, y), or at the current position when both are kVolDefaultValue; line breaks
    // start new lines.
    void DrawText(std::wstring_view text, int x = kVolDefaultValue, int y = kVolDefaultValue);
    // Width and height of a text in the board's current font; false when there is nothing to draw on.
    bool MeasureText(std::wstring_view text, int& width, int& height);
    // Width or height below 0: the bitmap's own. Mode 1 copies (with per-pixel alpha for alpha
    // bitmaps), 0 copies too, -c draws with colour c transparent, any other value is a raster
    // operation code (SRCAND, SRCPAINT, ...).
    void DrawPicture(const rg_WeiTuDuiXiangLei& picture, int x, int y, int width = -1, int height = -1, int mode = 1);
    // Copies another board's picture onto this one at (x, y).
    void DrawPainter(CVWnd_Painter& source, int x = 0, int y = 0);
    // A copy of the board's picture.
    rg_WeiTuDuiXiangLei GetPicture();
    // The buffer's device context for direct GDI drawing (call Invalidate() afterwards).
    HDC GetBufferDC();
    int GetBufferWidth() const noexcept { return bufferWidth_; }
    int GetBufferHeight() const noexcept { return bufferHeight_; }

protected:
    void EnsureBuffer();
    void ResizeBuffer(int width, int height, bool keepPicture);
    void SelectTools();
    void Changed() { Invalidate(); }

private:
    HDC dc_ = nullptr;
    UniqueGdiObject bitmap_;
    HGDIOBJ originalBitmap_ = nullptr;
    HGDIOBJ originalPen_ = nullptr;
    HGDIOBJ originalBrush_ = nullptr;
    HGDIOBJ originalFont_ = nullptr;
    UniqueGdiObject pen_;
    UniqueGdiObject brush_;
    int bufferWidth_ = 0;
    int bufferHeight_ = 0;
};

// The drawing board component with its property setters.
class rg_painter : public CVWnd_Painter {
    VOL_CLASS(rg_painter, CVWnd_Painter, "rg_painter")
    VOL_MEMBERS()

public:
    rg_painter() = default;
    rg_painter(const rg_painter&) = delete;

    // Sets the background colour and repaints the buffer with it.
    void SetBackColor(int color) { backColor = color; ClearCanvas(); }
    void SetPenColor(int color) { penColor = color; CreatePen(); }
    void SetBrushColor(int color) { brushColor = color; CreateBrush(); }
    void SetBrushStyle(int style) { brushStyle = style; CreateBrush(); }
    void SetTextColor(int color) { textColor = color; }
    void SetTextBackColor(int color) { textBackColor = color; }
};

// The window onto the canvas: its width, the scroll bars and their fillers, the row tool tips,
// scrolling, the wheel and resizing.
#include <algorithm>

#include "tree/tree_box.h"
#include "ui/mouse_buttons.h"

namespace {
int WindowWidth(const CVolWinControl& c) { return c.IsCreated() ? c.GetWidth() : 0; }
int WindowHeight(const CVolWinControl& c) { return c.IsCreated() ? c.GetHeight() : 0; }

// The bar's position, set under its lock and painted (which reports a change).
void ResetBarPosition(rg_DrenvikGunDongTiao1& bar, int position) {
    bar.positionLock.Lock();
    bar.position = position;
    bar.positionLock.Unlock();
    bar.Paint(0, 0, 0);
}
}  // namespace

int rg_DrenvikShuXingKuang::RunViewportStage(const std::vector<DrawnRow>& drawn, int maxWidth) {
    const int clientWidth = GetClientWidth(), clientHeight = GetClientHeight();
    verticalBarShown = TreeVerticalBarNeeded(visibleRowCount, rowsFit) ? 1 : 0;
    const int vb = verticalBarShown ? WindowWidth(verticalBar) : 0;
    const int vbPart = verticalBarShown ? vb + 1 : 0;

    const int canvasWidth = WindowWidth(canvas);
    const int wanted = std::min(std::max(maxWidth, clientWidth - vbPart), kTreeMaxCanvasWidth);
    if (wanted != canvasWidth) {
        canvas.SetWidth(wanted);
        surface.SetWidth(wanted);
        // A wider canvas needs the rows drawn again; a window that refused to grow ends that here.
        if (wanted > canvasWidth && WindowWidth(canvas) > canvasWidth) {
            ReleaseGate();
            RefreshView(-1);
            return 2;
        }
    }
    const int finalWidth = WindowWidth(canvas);

    rowTips.clear();
    const int surfaceLeft = surface.IsCreated() ? surface.GetLeft() : 0;
    for (size_t r = 0; r < drawn.size(); ++r) {
        if (TreeRowTextVisible(clientWidth, vb, surfaceLeft, drawn[r].textX, drawn[r].textRight))
            rowTips[int32_t(r)] = CWString();
        else
            rowTips[int32_t(r)] = CWString(drawn[r].text.substr(0, kTreeMaxRowText));
    }
    if (RestartRequested()) return 1;

    horizontalBarShown = (!noHorizontalBar && finalWidth > clientWidth - vbPart && !verticalBar.thumbGrabbed) ? 1 : 0;
    horizontalBar.Move(1, clientHeight - WindowHeight(horizontalBar) - 1, clientWidth - vb - 2, -1);
    if (horizontalBarShown)
        horizontalBar.SetMaximum(TreeHorizontalBarMaximum(finalWidth, vbPart, clientWidth, textHeight));
    else
        ResetBarPosition(horizontalBar, 1);

    const int hb = horizontalBarShown ? WindowHeight(horizontalBar) : 0;
    verticalBar.Move(clientWidth - WindowWidth(verticalBar) - 1, 1, -1, clientHeight - hb - 2);
    if (verticalBarShown) {
        const int maximum = TreeVerticalBarMaximum(horizontalBarShown != 0, visibleRowCount, rowsFit);
        if (maximum != verticalBar.maximum) {
            verticalBarAtEnd = (horizontalBarShown && verticalBar.position == verticalBar.maximum) ? 1 : 0;
            verticalBar.SetTotal(visibleRowCount);
            verticalBar.SetMaximum(maximum);
        }
    } else {
        ResetBarPosition(verticalBar, 1);
        if (topNode != 0) {
            ReleaseGate();
            RefreshView(0);
            return 2;
        }
    }

    if (verticalBarShown)
        verticalFiller.Move(verticalBar.GetLeft(), verticalBar.GetTop(), WindowWidth(verticalBar) + 1, clientHeight);
    if (horizontalBarShown)
        horizontalFiller.Move(horizontalBar.GetLeft(), horizontalBar.GetTop(), clientWidth,
                              WindowHeight(horizontalBar) + 1);
    verticalBar.SetVisible(verticalBarShown != 0);
    verticalFiller.SetVisible(verticalBarShown != 0);
    horizontalBar.SetVisible(horizontalBarShown != 0);
    horizontalFiller.SetVisible(horizontalBarShown != 0);

    surface.DrawPainter(canvas);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnBarPositionChanged(CVolObject* bar, int32_t position) {
    if (EditorOpen()) surface.SetFocus();  // the editor commits on losing it
    if (bar == &horizontalBar) {
        const int vbPart = verticalBarShown ? WindowWidth(verticalBar) + 1 : 0;
        surface.SetLeft(TreeSurfaceLeft(position, horizontalBar.maximum, textHeight, GetClientWidth(), vbPart,
                                        surface.IsCreated() ? WindowWidth(surface) : -1));
    } else if (bar == &verticalBar) {
        EnsureVisibleRows();
        RefreshView(GetVisibleRowEntry(position));
    }
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnBarDragEnded(CVolObject* bar) {
    if (bar != &verticalBar) return 0;
    RefreshView(-1);
    if (verticalBarAtEnd) {
        verticalBarAtEnd = 0;
        ResetBarPosition(verticalBar, verticalBar.maximum);
    }
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnWheel(int32_t notches) {
    if (verticalBarShown) verticalBar.OnWheel(notches);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnResize(CVolObject*) {
    if (!IsCreated()) return 0;
    const int height = GetClientHeight();
    if (GetClientWidth() == 0 || height == 0) return 0;
    canvas.SetHeight(height);
    surface.SetHeight(height);
    if (!IsLeftButtonHeld()) RefreshView(-1);
    else if (resizeTimer.GetInterval() == 0) resizeTimer.SetInterval(50);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnResizeTick() {
    if (IsLeftButtonHeld()) return 0;
    resizeTimer.SetInterval(0);
    RefreshView(-1);
    return 0;
}

#include "ui/scroll_bar.h"

#include <climits>
#include <cmath>

#include "platform/dpi.h"
#include "platform/input.h"
#include "ui/mouse_buttons.h"

namespace {
constexpr int kBoxPen = 0xB99D7F;
constexpr int kHotPen = 0x8050FF;
constexpr int kTrackBack = 0xECECEC;
constexpr int kFill = 0xEEF5FF;

int SaturateToInt(double v) noexcept {
    if (std::isnan(v)) return 0;
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(v);
}

}  // namespace

// ---- geometry -----------------------------------------------------------------------------------------

ScrollThumbLayout ComputeScrollThumb(int trackLength, int thickness, int maximum, int total, int scaledStepPixels,
                                     int position) noexcept {
    ScrollThumbLayout t;
    long long available = (long long)trackLength - 2LL * thickness - 2;
    long long length;
    if (total > maximum) length = (long long)(double(available) / total * (double(total) - maximum));
    else length = available - (long long)maximum * scaledStepPixels;
    if (length < thickness) length = thickness;
    t.thumbLength = int(length);
    double pps = double(available - length) / (double(maximum) - 1.0);
    // One position, or a track no longer than its fixed parts, leaves nothing to step over: the
    // thumb stays at its first place and clicks and drags keep the position.
    t.steppable = maximum > 1 && std::isfinite(pps) && pps > 0;
    t.pixelsPerStep = t.steppable ? pps : 0.0;
    double offset = t.steppable ? std::round((double(position) - 1.0) * pps) : 0.0;
    t.thumbStart = SaturateToInt(double(thickness) + 1.0 + offset);
    return t;
}

int RoundUpSteps(double r) noexcept {
    if (std::isnan(r)) return 0;
    if (r == std::trunc(r)) return SaturateToInt(r);
    return SaturateToInt(std::trunc(r + 1.0));
}

int ScrollHitPart(int c, int thickness, int trackLength, int thumbStart, int thumbLength) noexcept {
    if (c < thickness) return 1;
    if (c > trackLength - thickness) return 2;
    if (c >= thumbStart && (long long)c <= (long long)thumbStart + thumbLength) return 3;
    return 0;
}

int TrackClickPosition(int c, int thickness, int thumbStart, int thumbLength, double pixelsPerStep, bool steppable,
                       int current) noexcept {
    if (!steppable) return current;
    long long m = c < thumbStart ? (long long)c - thickness : (long long)c - thickness - thumbLength;
    return RoundUpSteps(double(m - 1) / pixelsPerStep);
}

int DragPosition(int pressPosition, int diff, double pixelsPerStep, bool steppable, int maximum) noexcept {
    if (!steppable) return pressPosition;
    int steps = RoundUpSteps(std::fabs(double(diff)) / pixelsPerStep);
    long long target = diff > 0 ? (long long)pressPosition + steps : (long long)pressPosition - steps;
    if (target < 1) target = 1;
    if (target > maximum) target = maximum;
    return int(target);
}

// ---- the control ----------------------------------------------------------------------------------

rg_DrenvikGunDongTiao1::rg_DrenvikGunDongTiao1() { MeasureTrack(); }

rg_DrenvikGunDongTiao1::~rg_DrenvikGunDongTiao1() {
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikGunDongTiao1::CreateChildren() {
    drawCanvas.ModifyStyle(WS_VISIBLE, 0);
    CreateChild(drawCanvas, 104, 144, 120, 100, kTip);
    CreateChild(pressTimer, 288, 136, 26, 26);
    CreateChild(shownCanvas, 4, 4, 120, 100, kTip);
}

void rg_DrenvikGunDongTiao1::BindEvents() {
    VOL_BIND(Resized, &rg_DrenvikGunDongTiao1::OnResize);
    for (rg_painter* c : {&drawCanvas, &shownCanvas}) {
        VOL_BIND(c->LeftButtonDown, &rg_DrenvikGunDongTiao1::OnCanvasLeftDown);
        VOL_BIND(c->LeftButtonUp, &rg_DrenvikGunDongTiao1::OnCanvasLeftUp);
        VOL_BIND(c->RightButtonDown, &rg_DrenvikGunDongTiao1::OnCanvasRightDown);
        VOL_BIND(c->RightButtonUp, &rg_DrenvikGunDongTiao1::OnCanvasRightUp);
        VOL_BIND(c->MouseWheel, &rg_DrenvikGunDongTiao1::OnCanvasWheel);
        c->AttachEventListener();
    }
    VOL_BIND(pressTimer.Tick, &rg_DrenvikGunDongTiao1::OnTimerTick);
    pressTimer.AttachEventListener();
    rg_ZuJianBuJuQi::BindEvents();
}

void rg_DrenvikGunDongTiao1::SetPosition(int p) {
    positionLock.Lock();
    position = p;
    positionLock.Unlock();
    Paint(0, 0, 0);
}

void rg_DrenvikGunDongTiao1::SetTotal(int t) {
    if (t == total) return;
    total = t;
    Paint(0, 0, 0);
}

void rg_DrenvikGunDongTiao1::SetMaximum(int m) {
    if (m == maximum) return;
    maximum = m;
    Paint(0, 0, 0);
}

void rg_DrenvikGunDongTiao1::MeasureTrack() {
    if (!drawCanvas.IsCreated()) {
        trackLength = thickness = 0;
        return;
    }
    RECT r;
    ::GetWindowRect(drawCanvas.GetHwnd(), &r);
    int w = int(r.right - r.left), h = int(r.bottom - r.top);
    trackLength = vertical ? h : w;
    thickness = vertical ? w : h;
}

void rg_DrenvikGunDongTiao1::OnResize(CVolObject*) {
    int w = GetClientWidth(), h = GetClientHeight();
    if (w == 0 || h == 0) return;
    drawCanvas.Move(0, 0, w, h);
    shownCanvas.Move(0, 0, w, h);
    MeasureTrack();
    Paint(0, 0, 0);
}

// ---- painting -------------------------------------------------------------------------------------

void rg_DrenvikGunDongTiao1::Paint(int hit, int isPressed, int immediate) {
    if (!paintEnabled) return;
    if (immediate) {
        DrawNow(hit, isPressed);
        return;
    }
    queueLock.Lock();
    paintQueue.push_back(ScrollPaintRequest{hit, isPressed});
    bool idle = draining == 0;
    queueLock.Unlock();
    if (idle) DrainPaintQueue();
}

void rg_DrenvikGunDongTiao1::DrainPaintQueue() {
    for (;;) {
        queueLock.Lock();
        if (paintQueue.empty()) {
            queueLock.Unlock();
            return;
        }
        bool busy = draining != 0;
        if (!busy) {
            draining = 1;
            ScrollPaintRequest first = paintQueue.front();
            for (size_t i = paintQueue.size() - 1; i >= 1; --i)
                if (paintQueue[i] == first) paintQueue.erase(paintQueue.begin() + std::ptrdiff_t(i));
            // A PositionChanged handler may queue another request from here (the lock is re-entrant);
            // this loop then draws it.
            Paint(first.hitPart, first.pressed, 1);
            paintQueue.erase(paintQueue.begin());
            draining = 0;
        }
        queueLock.Unlock();
        if (busy) ::SwitchToThread();
    }
}

void rg_DrenvikGunDongTiao1::DrawBox(int x, int y, int width, int height, int inset, bool rounded) {
    if (height == -1) height = width;
    int x1 = x + inset, y1 = y + inset, x2 = x + width - inset, y2 = y + height - inset;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (!rounded) {
        drawCanvas.DrawRectangle(x1, y1, x2, y2);
        return;
    }
    if (!drawCanvas.IsCreated()) return;
    ::RoundRect(drawCanvas.GetBufferDC(), x1, y1, x2, y2, 5, 5);
    drawCanvas.Invalidate();
}

void rg_DrenvikGunDongTiao1::DrawGripLine(int at) {
    if (vertical) drawCanvas.DrawLine(0, at, thickness, at);
    else drawCanvas.DrawLine(at, 0, at, thickness);
}

void rg_DrenvikGunDongTiao1::DrawNow(int hit, int isPressed) {
    if (!paintEnabled) return;
    drawCanvas.SetBackColor(kTrackBack);  // clears the canvas in that colour
    drawCanvas.SetBrushColor(kFill);
    for (int box = 1; box <= 2; ++box) {
        int along = box == 1 ? 0 : trackLength - thickness;
        int x = vertical ? 0 : along, y = vertical ? along : 0;
        drawCanvas.SetPenColor(hit == box ? kHotPen : kBoxPen);
        DrawBox(x, y, thickness, -1, 0, false);
        if (hit == box && isPressed) {
            DrawBox(x, y, thickness, -1, thickness / 8, false);
            DrawBox(x, y, thickness, -1, thickness / 4, false);
            DrawBox(x, y, thickness, -1, int(thickness / 2.66), false);
        } else {
            DrawBox(x, y, thickness, -1, int(thickness / 5.33), false);
        }
    }

    // Clamp under the lock so a position set from another thread meanwhile is not overwritten; the
    // lock is let go before anything is drawn or raised.
    positionLock.Lock();
    int clamped = ClampScrollPosition(position, maximum);
    position = clamped;
    positionLock.Unlock();
    ScrollThumbLayout t = ComputeScrollThumb(trackLength, thickness, maximum, total, ScaleByDpi(stepPixels), clamped);
    thumbLength = t.thumbLength;
    pixelsPerStep = t.pixelsPerStep;
    steppable_ = t.steppable;
    thumbStart = t.thumbStart;

    drawCanvas.SetPenColor(hit == 3 ? kHotPen : kBoxPen);
    if (vertical) DrawBox(0, thumbStart, thickness, thumbLength, 0, true);
    else DrawBox(thumbStart, 0, thumbLength, thickness, 0, true);
    int mid = thumbStart + thumbLength / 2;
    if (thumbLength > 10) {
        for (int d = -4; d <= 4; d += 2) DrawGripLine(mid + d);
    } else {
        DrawGripLine(mid - 1);
        DrawGripLine(mid);
    }
    shownCanvas.DrawPainter(drawCanvas);

    if (clamped != reportedPosition) {
        reportedPosition = clamped;
        PositionChanged.Raise(this, clamped);
    }
}

// ---- input ----------------------------------------------------------------------------------------

void rg_DrenvikGunDongTiao1::StartPressing() {
    pressCoordinate = Along(VolGetCursorPos());
    pressPosition = position;
    pressed = 1;
    pressTimer.SetInterval(30);
}

void rg_DrenvikGunDongTiao1::OnMouseDown(int x, int y, int keys) {
    int c = vertical ? y : x;
    switch (ScrollHitPart(c, thickness, trackLength, thumbStart, thumbLength)) {
    case 1:
        hitPart = 1;
        position -= step;
        Paint(1, 1, 0);
        StartPressing();
        break;
    case 2:
        hitPart = 2;
        position += step;
        Paint(2, 1, 0);
        StartPressing();
        break;
    case 3:
        hitPart = 3;
        thumbGrabbed = 1;
        StartPressing();
        break;
    default:
        hitPart = 0;
        position = TrackClickPosition(c, thickness, thumbStart, thumbLength, pixelsPerStep, steppable_, position);
        Paint(0, 0, 0);
        break;
    }
    MouseDown.Raise(this, x, y, keys);
}

void rg_DrenvikGunDongTiao1::OnTimer() {
    if (!IsLeftButtonHeld()) {
        pressTimer.SetInterval(0);
        pressed = 0;
        if (thumbGrabbed) {
            thumbGrabbed = 0;
            DragEnded.Raise(this);
        }
        hitPart = 0;
        Paint(0, 0, 0);
        return;
    }
    if (!pressed || hitPart != 3) return;
    int c = Along(VolGetCursorPos());
    if (c != dragCoordinate) dragCoordinate = c;
    if (!steppable_) return;
    int target = DragPosition(pressPosition, c - pressCoordinate, pixelsPerStep, steppable_, maximum);
    dragTarget = target;
    if (target != position) {
        position = target;
        Paint(3, 1, 0);
    }
}

void rg_DrenvikGunDongTiao1::OnRightDown(int x, int y, int) {
    int c = vertical ? y : x;
    if (c < thickness) {
        hitPart = 1;
        position = 1;
    } else if (c > trackLength - thickness) {
        hitPart = 2;
        position = maximum;
    }
    Paint(hitPart, 1, 0);
}

void rg_DrenvikGunDongTiao1::OnRightUp() {
    hitPart = 0;
    Paint(0, 0, 0);
}

void rg_DrenvikGunDongTiao1::OnWheel(int notches) {
    positionLock.Lock();
    position -= notches;
    positionLock.Unlock();
    Paint(0, 0, 0);
}

int rg_DrenvikGunDongTiao1::OnCanvasLeftDown(CVolObject*, int x, int y, int keys) {
    OnMouseDown(x, y, keys);
    return 0;
}

int rg_DrenvikGunDongTiao1::OnCanvasLeftUp(CVolObject*, int x, int y, int keys) {
    MouseUp.Raise(this, x, y, keys);
    return 0;
}

int rg_DrenvikGunDongTiao1::OnCanvasRightDown(CVolObject*, int x, int y, int keys) {
    OnRightDown(x, y, keys);
    return 0;
}

int rg_DrenvikGunDongTiao1::OnCanvasRightUp(CVolObject*, int, int, int) {
    OnRightUp();
    return 0;
}

int rg_DrenvikGunDongTiao1::OnCanvasWheel(CVolObject*, int notches, int) {
    OnWheel(notches);
    return 1;  // used here: an owner that also scrolls on the wheel must not see it again
}

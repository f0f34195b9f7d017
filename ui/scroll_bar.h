// The owner-drawn scroll bar: a track with a square box at each end and a rounded thumb with grip
// lines. Positions run from 1 to `maximum`; every change is reported through PositionChanged.
// Paint requests are queued and coalesced under a lock, so positions may be set from any thread.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/painter.h"
#include "platform/window.h"
#include "platform/components.h"

// ---- geometry, apart from any window --------------------------------------------------------------

struct ScrollThumbLayout {
    int thumbLength = 0;
    double pixelsPerStep = 0;  // 0 when the bar cannot step (see `steppable`)
    int thumbStart = 0;        // along the track, first pixel of the thumb
    bool steppable = false;    // more than one position and a positive, finite pixels-per-step
};

// Thumb of a bar whose track is `trackLength` long and `thickness` thick. `scaledStepPixels` is the
// DPI-scaled shrink per position used when `total` is not above `maximum`. `position` must already
// be clamped. A bar that cannot step keeps its thumb at the first place.
ScrollThumbLayout ComputeScrollThumb(int trackLength, int thickness, int maximum, int total, int scaledStepPixels,
                                     int position) noexcept;
// r itself when it is whole, else trunc(r + 1); saturated to the int range, 0 for NaN.
int RoundUpSteps(double r) noexcept;
// Part of the bar under a coordinate along the track: 1 start box, 2 end box, 3 thumb, 0 the track.
int ScrollHitPart(int c, int thickness, int trackLength, int thumbStart, int thumbLength) noexcept;
// The position a click on the empty track gives (before clamping), or `current` when the bar
// cannot step.
int TrackClickPosition(int c, int thickness, int thumbStart, int thumbLength, double pixelsPerStep, bool steppable,
                       int current) noexcept;
// The clamped position a thumb drag gives, `diff` screen pixels from the press.
int DragPosition(int pressPosition, int diff, double pixelsPerStep, bool steppable, int maximum) noexcept;
// 1..maximum, lower bound first (as every paint clamps).
inline int ClampScrollPosition(int position, int maximum) noexcept {
    if (position < 1) position = 1;
    if (position > maximum) position = maximum;
    return position;
}

// One queued paint: the part drawn highlighted and whether it is drawn pressed.
struct ScrollPaintRequest {
    int32_t hitPart = 0;
    int32_t pressed = 0;
    bool operator==(const ScrollPaintRequest&) const = default;
};
using ScrollPaintQueue = std::vector<ScrollPaintRequest>;
template <> struct VolMember<ScrollPaintQueue> {
    static bool Equal(const ScrollPaintQueue& a, const ScrollPaintQueue& b) { return &a == &b; }
    static void Copy(ScrollPaintQueue& d, const ScrollPaintQueue& s) { d = s; }
    static void Save(VolDataStream*, const ScrollPaintQueue&) {}
    static void Load(VolDataStream*, ScrollPaintQueue&) {}
};

// ---- the control ------------------------------------------------------------------------------------

class rg_DrenvikGunDongTiao1 : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_DrenvikGunDongTiao1, rg_ZuJianBuJuQi, "ui::rg_DrenvikGunDongTiao1")
    VOL_MEMBERS(step, drawCanvas, vertical, maximum, position, reportedPosition, dragTarget, pressTimer, shownCanvas,
                pixelsPerStep, pressed, pressCoordinate, pressPosition, thumbLength, thumbStart, hitPart, thickness,
                trackLength, dragCoordinate, thumbGrabbed, positionLock, stepPixels, total, paintQueue, draining,
                queueLock, paintEnabled)

public:
    static constexpr wchar_t kTip[] = L"单击空白处可以定位该位置，右击方框可以定位到开头或末尾";

    rg_DrenvikGunDongTiao1();
    ~rg_DrenvikGunDongTiao1() override;
    // A new bar for an owner that keeps it (the combo box's list).
    static rg_DrenvikGunDongTiao1* CreateForOwner() { return new rg_DrenvikGunDongTiao1(); }

    int GetDesignWidth() const override { return ScaleDesignValue(500); }
    int GetDesignHeight() const override { return ScaleDesignValue(350); }
    void CreateChildren() override;
    void BindEvents() override;

    void SetPosition(int p);
    void SetTotal(int t);
    void SetMaximum(int m);
    void MeasureTrack();
    // immediate 0 queues a request and drains the queue; 1 draws now (the drain's own call).
    void Paint(int hitPart, int pressed, int immediate);
    void DrainPaintQueue();

    // Input, also driven directly by tests. x, y are canvas client coordinates.
    void OnMouseDown(int x, int y, int keys);
    void OnRightDown(int x, int y, int keys);
    void OnRightUp();
    void OnWheel(int notches);
    void OnTimer();

    int step = 1;
    rg_painter drawCanvas;
    int vertical = 0;
    int maximum = 100;
    int position = 1;
    int reportedPosition = 0;
    int dragTarget = 0;
    rg_timer pressTimer;  // runs at 30 ms while the left button is held
    rg_painter shownCanvas;
    double pixelsPerStep = 0;
    int pressed = 0;
    int pressCoordinate = 0;
    int pressPosition = 0;
    int thumbLength = 0;
    int thumbStart = 0;
    int hitPart = 0;
    int thickness = 0;
    int trackLength = 0;
    int dragCoordinate = 0;
    int thumbGrabbed = 0;
    rg_HuChiSuoLei positionLock;
    int stepPixels = 5;
    int total = 0;
    ScrollPaintQueue paintQueue;
    int draining = 0;
    rg_HuChiSuoLei queueLock;
    int paintEnabled = 1;

    VolEventBinding<int> PositionChanged;          // the clamped position
    VolEventBinding<int, int, int> MouseDown;      // x, y, keys
    VolEventBinding<int, int, int> MouseUp;        // x, y, keys
    VolEventBinding<> DragEnded;

private:
    bool steppable_ = false;  // the last paint's layout could step

    void OnResize(CVolObject*);
    void OnTimerTick(CVolObject*) { OnTimer(); }
    int OnCanvasLeftDown(CVolObject* source, int x, int y, int keys);
    int OnCanvasLeftUp(CVolObject* source, int x, int y, int keys);
    int OnCanvasRightDown(CVolObject* source, int x, int y, int keys);
    int OnCanvasRightUp(CVolObject* source, int x, int y, int keys);
    int OnCanvasWheel(CVolObject* source, int notches, int keys);
    void StartPressing();
    int Along(POINT p) const noexcept { return vertical ? int(p.y) : int(p.x); }
    void DrawBox(int x, int y, int width, int height, int inset, bool rounded);
    void DrawGripLine(int at);
    void DrawNow(int hit, int isPressed);
};

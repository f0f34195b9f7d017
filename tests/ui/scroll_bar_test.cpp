#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "platform/dpi.h"
#include "platform/dynapi.h"
#include "platform/input.h"
#include "ui/scroll_bar.h"
#include "ui_test_support.h"

namespace {

TEST(ScrollBarGeometry, ThumbLengthStartAndStep) {
    struct Case {
        int track, thick, max, total, position;
        int length, start;
        bool steppable;
    };
    const Case cases[] = {
        {200, 16, 100, 0, 1, 16, 17, true},     // 166 - 500 is below the thickness
        {200, 16, 100, 0, 100, 16, 167, true},  // ends one pixel before the end box
        {200, 16, 100, 0, 50, 16, 17 + 74, true},
        {200, 16, 100, 120, 1, 27, 17, true},   // trunc(166 / 120 * 20)
        {200, 16, 100, 101, 1, 16, 17, true},   // proportional, but never below the thickness
        {200, 16, 10, 0, 1, 116, 17, true},     // 166 - 10 * 5
        {200, 16, 1, 0, 1, 161, 17, false},     // one position: nothing to step over
        {200, 16, 0, 0, 0, 166, 17, false},
        {50, 16, 100, 0, 80, 16, 17, false},    // the track is exactly the fixed parts
        {20, 16, 100, 0, 80, 16, 17, false},    // shorter than the fixed parts
        {0, 0, 100, 0, 50, 0, 1, false},        // no window measured yet
    };
    for (const Case& c : cases) {
        ScrollThumbLayout t = ComputeScrollThumb(c.track, c.thick, c.max, c.total, 5, c.position);
        SCOPED_TRACE(testing::Message() << c.track << "/" << c.max << "/" << c.position);
        EXPECT_EQ(t.thumbLength, c.length);
        EXPECT_EQ(t.thumbStart, c.start);
        EXPECT_EQ(t.steppable, c.steppable);
        EXPECT_TRUE(std::isfinite(t.pixelsPerStep));
    }
    EXPECT_DOUBLE_EQ(ComputeScrollThumb(200, 16, 100, 0, 5, 1).pixelsPerStep, 150.0 / 99.0);
}

TEST(ScrollBarGeometry, RoundingUpAndHitParts) {
    EXPECT_EQ(RoundUpSteps(2.0), 2);
    EXPECT_EQ(RoundUpSteps(2.1), 3);
    EXPECT_EQ(RoundUpSteps(-0.5), 0);
    EXPECT_EQ(RoundUpSteps(-2.0), -2);
    EXPECT_EQ(RoundUpSteps(std::nan("")), 0);
    EXPECT_EQ(RoundUpSteps(std::numeric_limits<double>::infinity()), INT_MAX);
    EXPECT_EQ(RoundUpSteps(-1e300), INT_MIN);

    // thumb at 17..33 on a 200 x 16 bar
    EXPECT_EQ(ScrollHitPart(15, 16, 200, 17, 16), 1);
    EXPECT_EQ(ScrollHitPart(16, 16, 200, 17, 16), 0);
    EXPECT_EQ(ScrollHitPart(17, 16, 200, 17, 16), 3);
    EXPECT_EQ(ScrollHitPart(33, 16, 200, 17, 16), 3);
    EXPECT_EQ(ScrollHitPart(34, 16, 200, 17, 16), 0);
    EXPECT_EQ(ScrollHitPart(184, 16, 200, 17, 16), 0);
    EXPECT_EQ(ScrollHitPart(185, 16, 200, 17, 16), 2);

    // A click after the thumb puts the thumb's end there; one that cannot step keeps the position.
    EXPECT_EQ(TrackClickPosition(100, 16, 17, 16, 150.0 / 99.0, true, 1), 45);
    EXPECT_EQ(TrackClickPosition(100, 16, 17, 16, 0.0, false, 7), 7);
    EXPECT_EQ(DragPosition(1, 30, 150.0 / 99.0, true, 100), 21);
    EXPECT_EQ(DragPosition(50, -1000, 150.0 / 99.0, true, 100), 1);
    EXPECT_EQ(DragPosition(50, 1000, 150.0 / 99.0, true, 100), 100);
    EXPECT_EQ(DragPosition(5, 30, 0.0, false, 100), 5);
}

// Drives a bar without a window: its track is set as a paint of a 200 x 16 bar would measure it.
class ScrollBarLogic : public ::testing::Test {
protected:
    void SetUp() override {
        SetDpiFactorsForTest(1.0);
        FakeInput::Install();
        bar.trackLength = 200;
        bar.thickness = 16;
        recorder.Watch(bar);
        bar.Paint(0, 0, 0);
        recorder.positions.clear();
    }
    void TearDown() override { FakeInput::Reset(); }

    rg_DrenvikGunDongTiao1 bar;
    ScrollRecorder recorder;
};

TEST_F(ScrollBarLogic, ClampingReportsOnceAndSetterRules) {
    EXPECT_EQ(bar.thumbStart, 17);
    bar.position = 0;
    bar.Paint(0, 0, 0);
    EXPECT_EQ(bar.position, 1);
    EXPECT_TRUE(recorder.positions.empty());  // 1 was reported already

    bar.position = 105;
    bar.Paint(0, 0, 0);
    bar.Paint(0, 0, 0);
    EXPECT_EQ(bar.position, 100);
    EXPECT_EQ(bar.thumbStart, 167);
    EXPECT_EQ(recorder.positions, std::vector<int>{100});

    // Setting the present value does not paint: the unclamped write survives.
    bar.position = 0;
    bar.SetMaximum(100);
    bar.SetTotal(0);
    EXPECT_EQ(bar.position, 0);
    bar.SetMaximum(50);
    EXPECT_EQ(bar.position, 1);
    recorder.positions.clear();
    bar.SetPosition(1);  // paints, reports nothing new
    EXPECT_TRUE(recorder.positions.empty());
    EXPECT_TRUE(bar.paintQueue.empty());

    bar.paintEnabled = 0;
    bar.position = 40;
    bar.Paint(0, 0, 0);
    EXPECT_TRUE(bar.paintQueue.empty());
    EXPECT_TRUE(recorder.positions.empty());
}

TEST_F(ScrollBarLogic, ClicksRightClicksAndWheel) {
    bar.step = 10;
    bar.position = 95;
    bar.Paint(0, 0, 0);
    FakeInput::leftDown = true;
    bar.OnMouseDown(195, 8, 0);  // end box
    EXPECT_EQ(bar.position, 100);
    EXPECT_EQ(bar.pressed, 1);
    EXPECT_EQ(bar.hitPart, 2);
    bar.OnTimer();  // held: no repeat
    EXPECT_EQ(bar.position, 100);
    FakeInput::leftDown = false;
    bar.OnTimer();
    EXPECT_EQ(bar.pressed, 0);
    EXPECT_EQ(bar.hitPart, 0);

    bar.OnMouseDown(5, 8, 0);  // start box
    EXPECT_EQ(bar.position, 90);
    bar.OnTimer();  // released

    bar.OnRightDown(100, 8, 0);  // on the track: nothing moves
    EXPECT_EQ(bar.position, 90);
    bar.OnRightDown(3, 8, 0);
    EXPECT_EQ(bar.position, 1);
    bar.OnRightUp();
    EXPECT_EQ(bar.hitPart, 0);
    bar.OnRightDown(198, 8, 0);
    EXPECT_EQ(bar.position, 100);
    EXPECT_EQ(bar.hitPart, 2);
    bar.OnRightUp();

    bar.OnWheel(1);  // away from the user lowers the position
    EXPECT_EQ(bar.position, 99);
    bar.OnRightDown(3, 8, 0);
    bar.OnWheel(1);
    EXPECT_EQ(bar.position, 1);
    bar.OnWheel(-3);
    EXPECT_EQ(bar.position, 4);

    bar.position = 1;
    bar.Paint(0, 0, 0);
    bar.OnMouseDown(100, 8, 0);  // after the thumb: its end goes to the click
    EXPECT_EQ(bar.position, 45);
    EXPECT_EQ(bar.thumbStart + bar.thumbLength, 100);
    EXPECT_EQ(bar.pressed, 0) << "a track click does not press";
}

TEST_F(ScrollBarLogic, DraggingTheThumbFollowsScreenPixels) {
    FakeInput::cursor = POINT{500, 300};
    FakeInput::leftDown = true;
    bar.OnMouseDown(20, 8, 0);
    EXPECT_EQ(bar.thumbGrabbed, 1);
    EXPECT_EQ(bar.hitPart, 3);
    FakeInput::cursor = POINT{530, 900};  // only the coordinate along the track counts
    bar.OnTimer();
    EXPECT_EQ(bar.position, 21);
    EXPECT_EQ(bar.dragTarget, 21);
    FakeInput::cursor = POINT{0, 300};
    bar.OnTimer();
    EXPECT_EQ(bar.position, 1);
    FakeInput::leftDown = false;
    bar.OnTimer();
    EXPECT_EQ(bar.thumbGrabbed, 0);
    EXPECT_EQ(recorder.dragEnds, 1);
}

TEST_F(ScrollBarLogic, BarsThatCannotStepKeepTheirPosition) {
    for (int track : {200, 50}) {
        bar.trackLength = track;
        bar.maximum = track == 200 ? 1 : 100;
        bar.position = 1;
        bar.Paint(0, 0, 0);
        SCOPED_TRACE(track);
        EXPECT_EQ(bar.thumbStart, 17);
        EXPECT_TRUE(std::isfinite(bar.pixelsPerStep));
        bar.OnMouseDown(bar.thumbStart + bar.thumbLength + 1, 8, 0);  // the track after the thumb
        EXPECT_EQ(bar.position, 1);

        FakeInput::cursor = POINT{100, 0};
        FakeInput::leftDown = true;
        bar.OnMouseDown(18, 8, 0);  // the thumb
        FakeInput::cursor = POINT{160, 0};
        bar.OnTimer();
        EXPECT_EQ(bar.position, 1);
        FakeInput::leftDown = false;
        bar.OnTimer();
    }
}

TEST_F(ScrollBarLogic, HandlerPaintsInsideADrainAreDrawnByIt) {
    // A PositionChanged handler that asks for another position: the running drain draws it.
    recorder.nextPosition = 30;
    bar.SetPosition(10);
    EXPECT_EQ(recorder.positions, (std::vector<int>{10, 30}));
    EXPECT_EQ(bar.position, 30);
    EXPECT_EQ(bar.draining, 0);
    EXPECT_TRUE(bar.paintQueue.empty());
}

TEST_F(ScrollBarLogic, PositionsFromAWorkerThreadWhileTheWheelTurns) {
    std::thread worker([this] {
        for (int i = 0; i < 300; ++i) bar.SetPosition(i % 120);
    });
    for (int i = 0; i < 300; ++i) bar.OnWheel(i % 2 ? 1 : -1);
    worker.join();
    EXPECT_EQ(bar.draining, 0);
    EXPECT_TRUE(bar.paintQueue.empty());
    for (int p : recorder.positions) {
        ASSERT_GE(p, 1);
        ASSERT_LE(p, 100);
    }
    bar.SetPosition(77);
    EXPECT_EQ(bar.position, 77);
    EXPECT_EQ(bar.reportedPosition, 77);
}

TEST(ScrollBarWindow, MeasuresItsCanvasAndDrawsTheThumb) {
    SetDpiFactorsForTest(1.0);
    HiddenTestForm form;
    MakeTestForm(form, 300, 100);
    ASSERT_TRUE(form.IsCreated());
    rg_DrenvikGunDongTiao1 bar;
    ASSERT_TRUE(bar.CreateInParent(form, 10, 10, 200, 16, 101));
    EXPECT_EQ(bar.trackLength, 200);
    EXPECT_EQ(bar.thickness, 16);
    EXPECT_EQ(bar.thumbStart, 17);
    rg_WeiTuDuiXiangLei picture = bar.shownCanvas.GetPicture();
    EXPECT_EQ(PixelAt(picture, 17, 8), COLORREF(0xB99D7F)) << "thumb outline";
    EXPECT_EQ(PixelAt(picture, 0, 0), COLORREF(0xB99D7F)) << "start box outline";
    bar.OnRightDown(198, 8, 0);
    bar.OnRightUp();
    EXPECT_EQ(bar.thumbStart, 167);
    picture = bar.shownCanvas.GetPicture();
    EXPECT_EQ(PixelAt(picture, 17, 8), COLORREF(0xECECEC)) << "the thumb moved away";

    // A vertical bar measures along its height.
    rg_DrenvikGunDongTiao1 upright;
    upright.vertical = 1;
    ASSERT_TRUE(upright.CreateInParent(form, 250, 0, 19, 90, 102));
    EXPECT_EQ(upright.trackLength, 90);
    EXPECT_EQ(upright.thickness, 19);
}

}  // namespace

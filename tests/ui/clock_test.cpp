#include <gtest/gtest.h>

#include <vector>

#include "platform/dynapi.h"
#include "platform/input.h"
#include "platform/painter.h"
#include "support/ui_helpers.h"
#include "ui/clock.h"
#include "ui/enter_leave.h"
#include "ui/font_text.h"
#include "ui/time_measure.h"

namespace {

// Counts the ticks of the clocks bound to it.
class TickCounter : public CVolObject, public VolEventReceiver {
public:
    TickCounter() : VolEventReceiver(this) {}
    void Watch(rg_DrenvikShiZhongLei& clock) { VOL_BIND(clock.Tick, &TickCounter::OnTick); }
    void OnTick(CVolObject*) { ++ticks; }
    int ticks = 0;
};

// Windows timers replaced by a recorder: ids 501, 502, ...
struct FakeTimers {
    static inline int sets = 0, kills = 0;
    static inline UINT_PTR nextId = 500;
    static UINT_PTR WINAPI Set(HWND, UINT_PTR, UINT, TIMERPROC) { ++sets; return ++nextId; }
    static BOOL WINAPI Kill(HWND, UINT_PTR) { ++kills; return TRUE; }
    FakeTimers() : saved(DynamicApiTable) {
        sets = kills = 0;
        DynamicApiTable.SetTimer = &Set;
        DynamicApiTable.KillTimer = &Kill;
    }
    ~FakeTimers() { DynamicApiTable = saved; }
    DynamicApiTableType saved;
};

size_t MapEntriesOf(const rg_DrenvikShiZhongLei* clock) {
    size_t n = 0;
    for (auto& [id, c] : gClockTimerMap) n += c == clock;
    return n;
}

}  // namespace

TEST(Clock, IntervalChangesStartAndStopOneTimer) {
    FakeTimers fake;
    UINT_PTR oldId;
    {
        rg_DrenvikShiZhongLei clock;
        clock.SetInterval(0);  // stopped already: nothing
        EXPECT_EQ(FakeTimers::sets + FakeTimers::kills, 0);
        clock.SetInterval(100);
        clock.SetInterval(100);
        EXPECT_EQ(FakeTimers::sets, 1);
        clock.SetInterval(200);
        EXPECT_EQ(FakeTimers::kills, 1);
        EXPECT_EQ(FakeTimers::sets, 2);
        EXPECT_EQ(MapEntriesOf(&clock), 1u);
        EXPECT_EQ(gClockTimerMap.at(UINT_PTR(clock.GetTimerId())), &clock);
        oldId = UINT_PTR(clock.GetTimerId());
    }
    EXPECT_EQ(FakeTimers::kills, 2);  // destruction stops it
    EXPECT_EQ(gClockTimerMap.count(oldId), 0u);
    ClockTimerProc(nullptr, WM_TIMER, oldId, 0);  // a late tick reaches nothing
}

TEST(Clock, TicksArriveFromTheMessageLoop) {
    TickCounter counter;
    rg_DrenvikShiZhongLei clock;
    counter.Watch(clock);
    clock.SetInterval(20);
    EXPECT_TRUE(PumpUntil([&] { return counter.ticks >= 3; }, 3000));
    clock.SetInterval(0);
    int seen = counter.ticks;
    PumpMessagesFor(100);
    EXPECT_EQ(counter.ticks, seen);
}

TEST(Clock, DestroyingACopyLeavesTheOriginalRunning) {
    TickCounter counter;
    rg_DrenvikShiZhongLei clock;
    counter.Watch(clock);
    clock.label = L"原件";
    clock.SetInterval(20);
    {
        std::unique_ptr<CVolObject> copy(clock.Clone());
        auto* c = static_cast<rg_DrenvikShiZhongLei*>(copy.get());
        EXPECT_EQ(c->GetTimerId(), 0);  // no timer of its own until started
        EXPECT_EQ(c->interval, 20);
        EXPECT_EQ(c->label, L"原件");
    }
    EXPECT_EQ(MapEntriesOf(&clock), 1u);
    EXPECT_TRUE(PumpUntil([&] { return counter.ticks >= 2; }, 3000));

    // A copy starts its own timer when asked.
    rg_DrenvikShiZhongLei copy;
    copy.CopyFrom(clock);
    copy.SetInterval(20);
    EXPECT_NE(copy.GetTimerId(), 0);
    EXPECT_NE(copy.GetTimerId(), clock.GetTimerId());
    // Stream: the timer id travels as 4 bytes but is not taken back.
    VolMemStream s;
    clock.SaveToStream(&s);
    EXPECT_EQ(s.Data().GetSize(), 8u + 4u + (2u + 1u) * 2u);
    VolMemStream in(s.Data());
    rg_DrenvikShiZhongLei loaded;
    loaded.LoadFromStream(&in);
    EXPECT_EQ(loaded.GetTimerId(), 0);
    EXPECT_EQ(loaded.interval, 20);
    EXPECT_EQ(loaded.label, L"原件");
}

namespace {

POINT gCursor{0, 0};
POINT FakeCursor() { return gCursor; }

class WatchForm : public CVolWinForm {
    VOL_CLASS(WatchForm, CVolWinForm, "test::WatchForm")
    VOL_MEMBERS()

public:
    WatchForm() {
        SetVisible(false);
        VOL_BIND(watcher.MouseEntered, &WatchForm::OnEntered);
        VOL_BIND(watcher.MouseLeft, &WatchForm::OnLeft);
    }
    ~WatchForm() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    int GetDesignWidth() const override { return 300; }
    int GetDesignHeight() const override { return 200; }
    void CreateChildren() override {
        CreateChild(a, 10, 10, 50, 30);
        CreateChild(b, 100, 10, 50, 30);
    }
    void OnEntered(CVolObject*, CVolWinControl* c, CVolWinControl*, int) { log.push_back(c == &a ? "enter a" : "enter b"); }
    void OnLeft(CVolObject*, CVolWinControl* c, CVolWinControl*, int) { log.push_back(c == &a ? "leave a" : "leave b"); }

    rg_painter a, b;
    rg_DrenvikYiRuYiChuShiJianLei watcher;
    std::vector<std::string> log;
};

struct CursorFake {
    CursorFake() { SetCursorSourceForTest(&FakeCursor); }
    ~CursorFake() { SetCursorSourceForTest(nullptr); }
};

}  // namespace

TEST(EnterLeave, MovesBetweenControls) {
    CursorFake fake;
    WatchForm form;
    ASSERT_TRUE(form.LoadWindow());
    auto& w = form.watcher;
    gCursor = {500, 500};
    EXPECT_EQ(w.OnMouseMove(&form.a, 5, 5, 0), 1);
    EXPECT_EQ(w.OnMouseMove(&form.a, 6, 6, 0), 0);  // same control, not moved: nothing recorded
    EXPECT_EQ(w.moveX, 5);
    EXPECT_EQ(w.OnMouseMove(&form.b, 1, 2, 0), 1);
    EXPECT_EQ(form.log, (std::vector<std::string>{"enter a", "leave a", "enter b"}));
    EXPECT_TRUE(w.pollClock.IsRunning());

    form.b.Move(120, 10);  // the control moved: the next move takes a new reference point
    gCursor = {600, 600};
    EXPECT_EQ(w.OnMouseMove(&form.b, 9, 8, 0), 0);
    EXPECT_EQ(w.moveX, 9);
    EXPECT_EQ(w.cursorX, 600);
    EXPECT_EQ(w.watchedLeft, 120);
}

TEST(EnterLeave, InsideTestAtTheRightEdge) {
    CursorFake fake;
    WatchForm form;
    ASSERT_TRUE(form.LoadWindow());
    auto& w = form.watcher;
    int width = form.a.GetWidth();
    gCursor = {1000, 1000};
    w.OnMouseMove(&form.a, 0, 5, 0);
    form.log.clear();
    gCursor = {1000 + width - 1, 1000};  // client x = width - 1: inside
    w.OnClockTick(&w.pollClock);
    EXPECT_TRUE(form.log.empty());
    w.OnClockTick(nullptr);  // a tick from another source is ignored
    gCursor = {1000 + width, 1000};  // client x = width: outside
    w.OnClockTick(&w.pollClock);
    EXPECT_EQ(form.log, (std::vector<std::string>{"leave a"}));
    EXPECT_FALSE(w.pollClock.IsRunning());
    EXPECT_EQ(w.watched, nullptr);
    EXPECT_EQ(w.active, 0);

    w.widthMargin = 3;  // margins widen the inside test
    w.OnMouseMove(&form.a, 0, 5, 0);
    form.log.clear();
    gCursor = {1000 + width + 2, 1000};
    w.OnClockTick(&w.pollClock);
    EXPECT_TRUE(form.log.empty());

    // The real poll finds the cursor outside by itself.
    gCursor = {0, 0};
    EXPECT_TRUE(PumpUntil([&] { return !form.log.empty(); }, 2000));
    EXPECT_EQ(form.log.back(), "leave a");
}

TEST(FontText, ParseAndFormat) {
    rg_DrenvikZiTiLei1 font;
    EXPECT_EQ(font.FormatFontText(), L"微软雅黑, 11, 0, 0, 0, 0, 0");
    font.fontExtra = 9;
    font.ParseFontText(L"Arial, 12, true, 0, 1, 假, 900");
    EXPECT_EQ(font.face, L"Arial");
    EXPECT_EQ(font.size, 12);
    EXPECT_EQ(font.bold, 1);
    EXPECT_EQ(font.italic, 0);
    EXPECT_EQ(font.underline, 1);
    EXPECT_EQ(font.strikeOut, 0);
    EXPECT_EQ(font.angle, 900);
    EXPECT_EQ(font.fontExtra, 9);
    font.ParseFontText(L"Arial");
    EXPECT_EQ(font.FormatFontText(), L"Arial, 0, 0, 0, 0, 0, 0");
    font.ParseFontText(L"A, 1, 0, 0, 0, 0, 2, 8, 9");  // parts 8 and 9 are ignored
    EXPECT_EQ(font.angle, 2);
    struct Case { const wchar_t* flag; int bold; } flags[] = {
        {L" TRUE ", 1}, {L"yes", 0}, {L"真", 1}, {L"\u3000真", 1}, {L"1", 1}, {L"false", 0}, {L"", 0}, {L"2", 0}};
    for (auto& c : flags) {
        font.ParseFontText(CWString(L"F, 9, ") + c.flag);
        EXPECT_EQ(font.bold, c.bold) << c.flag;
    }
    font.ParseFontText(L"微软雅黑, 11, 0, 0, 0, 0, 0");
    font.bold = 5;
    EXPECT_EQ(font.FormatFontText(), L"微软雅黑, 11, 1, 0, 0, 0, 0");
}

namespace {
uint64_t gNow = 0;
uint64_t FakeNow() { return gNow; }
}  // namespace

TEST(TimeMeasure, LapsAsTextsAndIntoTheEditBox) {
    gNow = 10000;
    SetTickSourceForTest(&FakeNow);
    rg_DrenvikShiJianCeLiangLei watch;
    gNow += 1500;
    EXPECT_EQ(watch.GetElapsedText(L"x"), L"x用时 1.5 秒");
    EXPECT_EQ(watch.GetElapsedText(L"x"), L"x用时 0 毫秒");  // measured from the first call

    WatchForm form;
    ASSERT_TRUE(form.LoadWindow());
    watch.outputBox.SetMultiLine(true);
    ASSERT_EQ(watch.outputBox.CreateInParent(form, 0, 0, 200, 80, 110), 1);
    watch.outputBox.SetText(L"开始\r\n");
    gNow += 250;
    watch.GetElapsedText(L"第一段");
    gNow += 90000;
    watch.GetElapsedText(L"第二段");
    EXPECT_EQ(watch.outputBox.GetText(), L"开始\r\n第一段用时 250 毫秒\r\n第二段用时 1.5 分\r\n");
    SetTickSourceForTest(nullptr);
}

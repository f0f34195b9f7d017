#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "util/thread_pool.h"

namespace {

ULONGLONG Now() { return ::GetTickCount64(); }

template <class Pred> bool WaitFor(Pred done, int ms = 5000) {
    for (ULONGLONG t0 = Now(); !done(); ::Sleep(1))
        if (Now() - t0 > ULONGLONG(ms)) return false;
    return true;
}

// The pool's owner: records every task it is handed, with the thread and the time.
struct Owner : CVolObject, VolEventReceiver {
    struct Task { int32_t i1, i2, i3; CWString t1, t2, t3; int shape; ULONGLONG at; };
    std::mutex lock;
    std::vector<Task> tasks;
    int delayMs = 0;
    Owner() : VolEventReceiver(this) {}
    ~Owner() override { DetachEvents(); }

    void Record(Task t) {
        if (delayMs) ::Sleep(DWORD(delayMs));
        std::lock_guard g(lock);
        tasks.push_back(std::move(t));
    }
    size_t Count() { std::lock_guard g(lock); return tasks.size(); }
    std::vector<int32_t> Firsts() {
        std::lock_guard g(lock);
        std::vector<int32_t> v;
        for (auto& t : tasks) v.push_back(t.i1);
        return v;
    }

    static int Six(CVolObject* o, CVolObject*, intptr_t, int32_t a, int32_t b, int32_t c, const CWString& x,
                   const CWString& y, const CWString& z) {
        static_cast<Owner*>(o)->Record({a, b, c, x, y, z, 6, Now()});
        return 0;
    }
    static int Two(CVolObject* o, CVolObject*, intptr_t, int32_t a, int32_t b) {
        static_cast<Owner*>(o)->Record({a, b, 0, L"", L"", L"", 2, Now()});
        return 0;
    }
    static int Three(CVolObject* o, CVolObject*, intptr_t, int32_t a, int32_t b, int32_t c) {
        static_cast<Owner*>(o)->Record({a, b, c, L"", L"", L"", 3, Now()});
        return 0;
    }
    void BindAll(rg_DrenvikXianChengChiLei& pool) {
        pool.TaskDue.Bind(&Six, GetEventTarget());
        pool.TaskDue2.Bind(&Two, GetEventTarget());
        pool.TaskDue3.Bind(&Three, GetEventTarget());
    }
};

// A pool with all three task events bound to an owner.
struct BoundPool {
    Owner owner;
    rg_DrenvikXianChengChiLei pool;
    BoundPool() { owner.BindAll(pool); }
};

void StopAndWait(rg_DrenvikXianChengChiLei& pool) {
    pool.StartWorkers(0);
    ASSERT_TRUE(WaitFor([&] { return pool.GetStartedCount() == 0; }));
}

}  // namespace

TEST(ThreadPool, OldestOrNewestFirst) {
    for (int lifo : {0, 1}) {
        BoundPool bound;
        auto& [owner, pool] = bound;
        pool.lifo = lifo;
        for (int32_t i = 1; i <= 5; ++i) pool.AddTask(i, 0, 0, L"", L"", L"");
        pool.StartWorkers(1);
        ASSERT_TRUE(WaitFor([&] { return owner.Count() == 5; }));
        StopAndWait(pool);
        std::vector<int32_t> want = lifo ? std::vector<int32_t>{5, 4, 3, 2, 1} : std::vector<int32_t>{1, 2, 3, 4, 5};
        EXPECT_EQ(owner.Firsts(), want) << "lifo " << lifo;
    }
}

TEST(ThreadPool, ParameterCountChoosesTheEventAndWhatIsKept) {
    struct { int32_t count; int shape; int32_t i2, i3; const wchar_t *t1, *t3; } cases[] = {
        {1, 6, 0, 0, L"", L""},
        {2, 2, 20, 0, L"", L""},
        {3, 3, 20, 30, L"", L""},
        {4, 6, 20, 30, L"甲", L""},
        {6, 6, 20, 30, L"甲", L"丙"},
    };
    for (auto& c : cases) {
        BoundPool bound;
        auto& [owner, pool] = bound;
        pool.paramCount = c.count;
        pool.AddTask(10, 20, 30, L"甲", L"乙", L"丙");
        EXPECT_EQ(pool.taskInts2.size(), c.count >= 2 ? 1u : 0u);
        EXPECT_EQ(pool.taskTexts3.size(), c.count >= 6 ? 1u : 0u);
        pool.StartWorkers(1);
        ASSERT_TRUE(WaitFor([&] { return owner.Count() == 1; })) << c.count;
        StopAndWait(pool);
        auto& t = owner.tasks[0];
        EXPECT_EQ(t.shape, c.shape) << c.count;
        EXPECT_EQ(t.i1, 10);
        EXPECT_EQ(t.i2, c.i2) << c.count;
        EXPECT_EQ(t.i3, c.i3) << c.count;
        EXPECT_EQ(t.t1, c.t1) << c.count;
        EXPECT_EQ(t.t3, c.t3) << c.count;
        EXPECT_TRUE(pool.taskInts1.empty() && pool.taskInts2.empty() && pool.taskTexts1.empty());
    }
}

TEST(ThreadPool, ParameterCountRaisedAfterTasksWereAdded) {
    BoundPool bound;
    auto& [owner, pool] = bound;
    pool.paramCount = 1;
    pool.AddTask(7, 8, 9, L"a", L"b", L"c");
    pool.paramCount = 6;  // the other arrays are short: the task still runs, with defaults
    pool.StartWorkers(1);
    ASSERT_TRUE(WaitFor([&] { return owner.Count() == 1; }));
    StopAndWait(pool);
    EXPECT_EQ(owner.tasks[0].i1, 7);
    EXPECT_EQ(owner.tasks[0].i2, 0);
    EXPECT_EQ(owner.tasks[0].t1, L"");
}

TEST(ThreadPool, LoweringTheTargetEndsTheSurplus) {
    BoundPool bound;
    auto& [owner, pool] = bound;
    pool.StartWorkers(4);
    EXPECT_EQ(pool.GetStartedCount(), 4);
    pool.StartWorkers(2);
    ASSERT_TRUE(WaitFor([&] { return pool.GetStartedCount() == 2; }));
    ::Sleep(50);
    EXPECT_EQ(pool.GetStartedCount(), 2) << "settles at the new target";
    for (int32_t i = 0; i < 20; ++i) pool.AddTask(i, 0, 0, L"", L"", L"");
    ASSERT_TRUE(WaitFor([&] { return owner.Count() == 20; }));
    StopAndWait(pool);
}

TEST(ThreadPool, StartInterval) {
    BoundPool bound;
    auto& [owner, pool] = bound;
    pool.startInterval = 250;
    for (int32_t i = 0; i < 3; ++i) pool.AddTask(i, 0, 0, L"", L"", L"");
    pool.StartWorkers(3);
    ASSERT_TRUE(WaitFor([&] { return owner.Count() == 3; }));
    StopAndWait(pool);
    std::vector<ULONGLONG> at;
    for (auto& t : owner.tasks) at.push_back(t.at);
    std::sort(at.begin(), at.end());
    EXPECT_GE(at[1] - at[0], 245u) << "over all workers";
    EXPECT_GE(at[2] - at[1], 245u);
    EXPECT_LT(at[2] - at[0], 1000u) << "on the 100 ms steps after each interval";
}

TEST(ThreadPool, StoppingEndsAnIntervalWait) {
    BoundPool bound;
    auto& [owner, pool] = bound;
    pool.startInterval = 60000;
    pool.AddTask(1, 0, 0, L"", L"", L"");
    pool.AddTask(2, 0, 0, L"", L"", L"");
    pool.StartWorkers(1);
    ASSERT_TRUE(WaitFor([&] { return owner.Count() == 1 && pool.GetWaitingCount() == 0; }));
    ULONGLONG t0 = Now();
    StopAndWait(pool);
    EXPECT_LT(Now() - t0, 1000u);
}

TEST(ThreadPool, StopFlagDropsTasks) {
    BoundPool bound;
    auto& [owner, pool] = bound;
    volatile int32_t stop = 1;
    pool.stopFlag.p = &stop;
    for (int32_t i = 0; i < 10; ++i) pool.AddTask(i, 0, 0, L"", L"", L"");
    pool.StartWorkers(2);
    ASSERT_TRUE(WaitFor([&] { return pool.GetWaitingCount() == 0; }));
    stop = 0;
    pool.AddTask(99, 0, 0, L"", L"", L"");
    ASSERT_TRUE(WaitFor([&] { return owner.Count() == 1; }));
    StopAndWait(pool);
    EXPECT_EQ(owner.tasks[0].i1, 99);
}

namespace {

// A pool whose second thread cannot be started.
class FlakyPool : public rg_DrenvikXianChengChiLei {
public:
    int launches = 0;

protected:
    bool LaunchWorker() override { return ++launches != 2 && rg_DrenvikXianChengChiLei::LaunchWorker(); }
};

}  // namespace

TEST(ThreadPool, AThreadThatFailsToStartIsNotCounted) {
    FlakyPool pool;
    pool.StartWorkers(3);
    EXPECT_EQ(pool.GetStartedCount(), 1);
    EXPECT_EQ(pool.launches, 2) << "starting stops at the failure";
    StopAndWait(pool);  // with the failed thread counted, this would never reach 0
}

TEST(ThreadPool, DestroyingWaitsForItsWorkers) {
    Owner owner;
    owner.delayMs = 30;
    auto* pool = new rg_DrenvikXianChengChiLei;
    owner.BindAll(*pool);
    for (int32_t i = 0; i < 4; ++i) pool->AddTask(i, 0, 0, L"", L"", L"");
    pool->StartWorkers(4);
    ASSERT_TRUE(WaitFor([&] { return pool->GetWaitingCount() == 0; }));
    delete pool;  // workers are inside their handlers; none may touch the freed pool
    EXPECT_EQ(owner.Count(), 4u);
}

// The threads themselves have ended, not only left the loop: one still on its way out when the
// process ends can crash it.
TEST(ThreadPool, DestroyingWaitsForTheThreadsToEnd) {
    struct Seen : CVolObject, VolEventReceiver {
        std::mutex lock;
        std::vector<HANDLE> threads;
        Seen() : VolEventReceiver(this) {}
        ~Seen() override {
            DetachEvents();
            for (HANDLE h : threads) ::CloseHandle(h);
        }
        static int Two(CVolObject* o, CVolObject*, intptr_t, int32_t, int32_t) {
            auto* self = static_cast<Seen*>(o);
            std::lock_guard g(self->lock);
            self->threads.push_back(::OpenThread(SYNCHRONIZE, FALSE, ::GetCurrentThreadId()));
            ::Sleep(20);
            return 0;
        }
    } seen;
    {
        rg_DrenvikXianChengChiLei pool;
        pool.paramCount = 2;
        pool.TaskDue2.Bind(&Seen::Two, seen.GetEventTarget());
        for (int32_t i = 0; i < 3; ++i) pool.AddTask(i, 0, 0, L"", L"", L"");
        pool.StartWorkers(3);
        ASSERT_TRUE(WaitFor([&] { return pool.GetWaitingCount() == 0; }));
    }
    std::lock_guard g(seen.lock);
    ASSERT_FALSE(seen.threads.empty());
    for (HANDLE h : seen.threads) {
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(::WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    }
}

TEST(ThreadPool, ProtocolCloneStreamAndStopFlag) {
    rg_DrenvikXianChengChiLei pool;
    pool.AddTask(1, 2, 3, L"a", L"b", L"c");
    volatile int32_t flag = 0;
    pool.stopFlag.p = &flag;
    std::unique_ptr<CVolObject> clone(pool.Clone());
    auto& copy = static_cast<rg_DrenvikXianChengChiLei&>(*clone);
    EXPECT_FALSE(pool.IsEqual(copy));
    EXPECT_TRUE(pool.IsEqual(pool));
    EXPECT_TRUE(copy.taskLock.SameAs(pool.taskLock));
    EXPECT_TRUE(copy.intervalLock.SameAs(pool.intervalLock));
    EXPECT_EQ(copy.taskTexts2, pool.taskTexts2);
    EXPECT_FALSE(copy.TaskDue.IsBound());

    VolMemStream out;
    rg_DrenvikXianChengChiLei empty;
    empty.SaveToStream(&out);
    // 2 ints, 3 blocks, 3 text counts, 2 ints, 2 int64s, 3 ints, the flag
    EXPECT_EQ(out.Data().GetSize(), size_t(4 * 2 + 4 * 3 + 4 * 3 + 4 * 2 + 8 * 2 + 4 * 3 + 4));

    VolMemStream full;
    pool.SaveToStream(&full);
    VolMemStream in(full.Data());
    rg_DrenvikXianChengChiLei loaded;
    loaded.LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(loaded.taskTexts3, pool.taskTexts3);
    EXPECT_EQ(loaded.taskInts2, pool.taskInts2);
    EXPECT_EQ(loaded.stopFlag.p, nullptr) << "an address is never read back from a stream";
}

TEST(ThreadPool, CountsFromAStreamAreNotBelieved) {
    rg_DrenvikXianChengChiLei source;
    source.workerTarget = 3;
    source.startedCount = -100000;
    source.runningCount = 7;
    VolMemStream saved;
    source.SaveToStream(&saved);
    source.startedCount = 0;  // it has no threads to wait for

    Owner owner;
    rg_DrenvikXianChengChiLei loaded;
    owner.BindAll(loaded);
    VolMemStream in(saved.Data());
    loaded.LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(loaded.workerTarget, 0);
    EXPECT_EQ(loaded.GetStartedCount(), 0);
    EXPECT_EQ(loaded.runningCount, 0);
    // one worker, not one per "missing" count
    loaded.AddTask(5, 0, 0, L"", L"", L"");
    loaded.StartWorkers(1);
    EXPECT_TRUE(WaitFor([&] { return owner.Count() == 1; }));
    StopAndWait(loaded);
    EXPECT_EQ(loaded.GetStartedCount(), 0);
}

TEST(SingleRunGate, SecondRequestWaits) {
    rg_DrenvikDuiLieWeiYiLei gate;
    EXPECT_EQ(gate.TryEnter(), 1);
    EXPECT_EQ(gate.TryEnter(), 0);
    EXPECT_EQ(gate.pending, 1);
    EXPECT_TRUE(gate.FinishPass()) << "asked for meanwhile: one more pass";
    EXPECT_EQ(gate.busy, 1) << "the extra pass is still guarded";
    EXPECT_EQ(gate.TryEnter(), 0);
    EXPECT_TRUE(gate.TakePending());
    EXPECT_FALSE(gate.TakePending());
    EXPECT_FALSE(gate.FinishPass());
    EXPECT_EQ(gate.busy, 0);
    EXPECT_EQ(gate.TryEnter(), 1);

    std::unique_ptr<CVolObject> clone(gate.Clone());
    EXPECT_FALSE(gate.IsEqual(*clone));
    EXPECT_TRUE(static_cast<rg_DrenvikDuiLieWeiYiLei&>(*clone).gateLock.SameAs(gate.gateLock));
    VolMemStream s;
    gate.SaveToStream(&s);
    EXPECT_EQ(s.Data().GetSize(), 8u);
}

TEST(SingleRunGate, NoOverlapAndNoLostRequestUnderStress) {
    rg_DrenvikDuiLieWeiYiLei gate;
    std::atomic<int> inside{0}, overlaps{0}, passes{0};
    std::atomic<long> requested{0};
    long served = 0;  // written only inside the guarded work
    auto work = [&] {
        if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
        served = requested.load();
        ++passes;
        for (int spin = 0; spin < 200; ++spin) YieldProcessor();
        inside.fetch_sub(1);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 3000; ++i) {
                requested.fetch_add(1);
                gate.Run(work);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(served, requested.load()) << "the last request was served by a pass that started after it";
    EXPECT_LT(passes.load(), 24000) << "bursts fold into one extra pass";
    EXPECT_EQ(gate.busy, 0);
    EXPECT_EQ(gate.pending, 0);
}

TEST(Queue, CopiesItemsAndSharesTheLock) {
    rg_DrenvikDuiLieLei queue;
    queue.queueCounter = 5;
    auto* item = new rg_DrenvikDuiLieWeiYiLei;
    item->pending = 1;
    queue.queueItems.Add(std::unique_ptr<CVolObject>(item));
    std::unique_ptr<CVolObject> clone(queue.Clone());
    auto& copy = static_cast<rg_DrenvikDuiLieLei&>(*clone);
    EXPECT_FALSE(queue.IsEqual(copy));
    EXPECT_TRUE(copy.queueLock.SameAs(queue.queueLock));
    ASSERT_EQ(copy.queueItems.GetCount(), 1);
    EXPECT_NE(copy.queueItems.GetAt(0), item) << "a deep copy";
    EXPECT_EQ(static_cast<rg_DrenvikDuiLieWeiYiLei*>(copy.queueItems.GetAt(0))->pending, 1);
    EXPECT_EQ(copy.queueCounter, 5);

    VolMemStream s;
    queue.SaveToStream(&s);
    EXPECT_EQ(s.Data().GetSize(), 4u) << "the counter only";
}

// The thread pool, the single-run gate and the queue.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/handles.h"
#include "platform/object.h"

// Another object's int32 that stops the pool's tasks while it is not 0. Streams as 4 bytes that are
// never loaded back: an address read from a stream means nothing.
struct VolForeignFlag {
    const volatile int32_t* p = nullptr;
    bool Raised() const noexcept { return p && *p != 0; }
};
template <> struct VolMember<VolForeignFlag> {
    static bool Equal(const VolForeignFlag& a, const VolForeignFlag& b) { return a.p == b.p; }
    static void Copy(VolForeignFlag& d, const VolForeignFlag& s) { d = s; }
    static void Save(VolDataStream* s, const VolForeignFlag& v) { s->WriteValue(int32_t(reinterpret_cast<intptr_t>(v.p))); }
    static void Load(VolDataStream* s, VolForeignFlag& v) { int32_t ignored; s->ReadValue(ignored); v.p = nullptr; }
};

// A count the running pool keeps about its own threads and tasks. It is written to a stream but
// never read back: a loaded count would describe threads this object never started (and a pool
// that believes -100000 workers run starts that many more).
struct VolRuntimeCount {
    int32_t value = 0;
    operator int32_t() const noexcept { return value; }
    VolRuntimeCount& operator=(int32_t v) noexcept { value = v; return *this; }
    VolRuntimeCount& operator++() noexcept { ++value; return *this; }
    VolRuntimeCount& operator--() noexcept { --value; return *this; }
};
template <> struct VolMember<VolRuntimeCount> {
    static bool Equal(const VolRuntimeCount& a, const VolRuntimeCount& b) { return a.value == b.value; }
    static void Copy(VolRuntimeCount& d, const VolRuntimeCount& s) { d = s; }
    static void Save(VolDataStream* s, const VolRuntimeCount& v) { s->WriteValue(v.value); }
    static void Load(VolDataStream* s, VolRuntimeCount&) { int32_t ignored; s->ReadValue(ignored); }
};

// Worker threads that take tasks of up to three integers and three texts, oldest or newest first,
// and hand each to the owner through a task event raised on the worker thread.
class rg_DrenvikXianChengChiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikXianChengChiLei, CVolObject, "drenvik::rg_DrenvikXianChengChiLei")
    VOL_MEMBERS(workerTarget, startedCount, taskInts1, taskInts2, taskInts3, taskTexts1, taskTexts2, taskTexts3,
                runningCount, seedRandom, startInterval, lastStart, lifo, paramCount, noIdleSleep, taskLock,
                stopFlag, intervalLock)

    VolRuntimeCount workerTarget;   // workers wanted
    VolRuntimeCount startedCount;   // workers started and not yet ended
    rg_BianZhengShuShuZuLei taskInts1, taskInts2, taskInts3;
    rg_WenBenShuZuLei taskTexts1, taskTexts2, taskTexts3;
    VolRuntimeCount runningCount;   // tasks taken and not yet finished
    int32_t seedRandom = 1;     // each worker seeds its thread's rand() first
    int64_t startInterval = 0;  // least milliseconds between two task starts over all workers
    int64_t lastStart = 0;      // tick count of the last start after an interval wait
    int32_t lifo = 0;           // take the newest task instead of the oldest
    int32_t paramCount = 6;     // task parameters stored and passed, 1 to 6
    int32_t noIdleSleep = 0;    // idle workers poll again at once instead of sleeping 1 ms
    rg_HuChiSuoLei taskLock;    // the task arrays and every count
    VolForeignFlag stopFlag;    // raised: tasks are taken and dropped
    rg_HuChiSuoLei intervalLock;

    // Raised on a worker thread: TaskDue2 when paramCount is 2, TaskDue3 when it is 3, else TaskDue.
    VolEventBinding<int32_t, int32_t, int32_t, const CWString&, const CWString&, const CWString&> TaskDue;
    VolEventBinding<int32_t, int32_t> TaskDue2;
    VolEventBinding<int32_t, int32_t, int32_t> TaskDue3;

    // Lowers the target to 0 and waits until every worker thread has ended, so none outlives the pool.
    ~rg_DrenvikXianChengChiLei() override;

    void AddTask(int32_t int1, int32_t int2, int32_t int3, std::wstring_view text1, std::wstring_view text2,
                 std::wstring_view text3);
    // Sets the target and starts workers until as many run. A thread that cannot be started is not
    // counted, and starting stops there. n = 0 lets every worker end after its current task.
    void StartWorkers(int32_t n);
    // startedCount and waiting tasks, read under the lock.
    int32_t GetStartedCount() const;
    int32_t GetWaitingCount() const;
    // The body of every worker thread.
    void WorkerLoop();

protected:
    // Starts one thread running WorkerLoop; false when it cannot.
    virtual bool LaunchWorker();

private:
    static DWORD WINAPI ThreadMain(void* pool);
    bool Stopped() const noexcept { return stopFlag.Raised(); }
    int32_t TargetLocked() const;
    // The threads this object started and has not yet seen end, under taskLock; not part of the
    // protocol (a copy has none). The pool goes only once each has ended, its exit included.
    std::vector<UniqueKernelHandle> threads_;
    std::atomic<bool> closing_{false};
};

// A guard for work that many events may ask for: it never runs twice at once, and a request that
// arrives while it runs costs exactly one more pass.
class rg_DrenvikDuiLieWeiYiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikDuiLieWeiYiLei, CVolObject, "drenvik::rg_DrenvikDuiLieWeiYiLei")
    VOL_MEMBERS(gateLock, busy, pending)
    rg_HuChiSuoLei gateLock;
    int32_t busy = 0;
    int32_t pending = 0;

    // 1 and busy when idle; 0 with pending set when busy.
    int32_t TryEnter();
    // During a pass: true (and pending cleared) when the work was asked for again meanwhile.
    bool TakePending();
    // At the end of a pass: true with busy kept when the work was asked for meanwhile, so the caller
    // runs another pass still guarded; otherwise clears busy and gives false.
    bool FinishPass();
    // TryEnter, then passes of the work until no request is left.
    template <class Work> bool Run(Work&& work) {
        if (!TryEnter()) return false;
        do work(); while (FinishPass());
        return true;
    }
};

// An object queue kept with a counter, a lock and an event; the system only copies and streams it.
class rg_DrenvikDuiLieLei : public CVolObject {
    VOL_CLASS(rg_DrenvikDuiLieLei, CVolObject, "drenvik::rg_DrenvikDuiLieLei")
    VOL_MEMBERS(queueItems, queueCounter, queueLock)
    CVolObjectArray queueItems;
    int32_t queueCounter = 0;
    rg_HuChiSuoLei queueLock;
    VolEventBinding<> QueueEvent;
};

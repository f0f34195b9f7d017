#include "util/thread_pool.h"

#include "platform/system.h"
#include "util/system_helpers.h"

namespace {

// Removes and returns entry i of an array in use; an array left short (paramCount raised after
// tasks were added) gives the default instead of reading past its end.
template <class Array>
typename Array::value_type TakeAt(Array& array, size_t i) {
    if (i >= array.size()) return {};
    typename Array::value_type v = std::move(array[i]);
    array.erase(array.begin() + ptrdiff_t(i));
    return v;
}

}  // namespace

rg_DrenvikXianChengChiLei::~rg_DrenvikXianChengChiLei() {
    closing_.store(true);
    std::vector<UniqueKernelHandle> threads;
    {
        LockGuard guard(taskLock);
        workerTarget = 0;
        threads.swap(threads_);
    }
    // Waiting for the threads themselves, not for a count they lower on their way out: a thread
    // still on its way out when the process ends can crash it.
    for (const UniqueKernelHandle& thread : threads) ::WaitForSingleObject(thread.get(), INFINITE);
}

void rg_DrenvikXianChengChiLei::AddTask(int32_t int1, int32_t int2, int32_t int3, std::wstring_view text1,
                                        std::wstring_view text2, std::wstring_view text3) {
    LockGuard guard(taskLock);
    taskInts1.push_back(int1);
    if (paramCount >= 2) taskInts2.push_back(int2);
    if (paramCount >= 3) taskInts3.push_back(int3);
    if (paramCount >= 4) taskTexts1.emplace_back(text1);
    if (paramCount >= 5) taskTexts2.emplace_back(text2);
    if (paramCount >= 6) taskTexts3.emplace_back(text3);
}

void rg_DrenvikXianChengChiLei::StartWorkers(int32_t n) {
    LockGuard guard(taskLock);
    workerTarget = n;
    // Threads that have ended since the last start are done with.
    std::erase_if(threads_, [](const UniqueKernelHandle& t) { return ::WaitForSingleObject(t.get(), 0) == WAIT_OBJECT_0; });
    while (startedCount < workerTarget) {
        ++startedCount;
        if (!LaunchWorker()) {
            // Counting a thread that never ran would keep startedCount above any target for good.
            --startedCount;
            break;
        }
    }
}

bool rg_DrenvikXianChengChiLei::LaunchWorker() {
    HANDLE thread = ::CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr);
    if (!thread) return false;
    threads_.emplace_back(thread);
    return true;
}

DWORD WINAPI rg_DrenvikXianChengChiLei::ThreadMain(void* pool) {
    static_cast<rg_DrenvikXianChengChiLei*>(pool)->WorkerLoop();
    return 0;
}

int32_t rg_DrenvikXianChengChiLei::GetStartedCount() const {
    LockGuard guard(taskLock);
    return startedCount;
}

int32_t rg_DrenvikXianChengChiLei::GetWaitingCount() const {
    LockGuard guard(taskLock);
    return int32_t(taskInts1.size());
}

int32_t rg_DrenvikXianChengChiLei::TargetLocked() const {
    LockGuard guard(taskLock);
    return workerTarget;
}

void rg_DrenvikXianChengChiLei::WorkerLoop() {
    if (seedRandom) SeedRandomFromTimeAndThread();
    taskLock.Lock();
    while (!closing_.load(std::memory_order_relaxed) && workerTarget >= startedCount) {
        if (taskInts1.empty()) {
            taskLock.Unlock();
            if (!noIdleSleep) ::Sleep(1);
            taskLock.Lock();
            continue;
        }
        const size_t i = lifo ? taskInts1.size() - 1 : 0;
        const int32_t count = paramCount;
        int32_t int1 = TakeAt(taskInts1, i), int2 = 0, int3 = 0;
        CWString text1, text2, text3;
        if (count >= 2) int2 = TakeAt(taskInts2, i);
        if (count >= 3) int3 = TakeAt(taskInts3, i);
        if (count >= 4) text1 = TakeAt(taskTexts1, i);
        if (count >= 5) text2 = TakeAt(taskTexts2, i);
        if (count >= 6) text3 = TakeAt(taskTexts3, i);
        ++runningCount;
        taskLock.Unlock();

        if (startInterval > 0) {
            LockGuard wait(intervalLock);
            while (int64_t(::GetTickCount64()) - lastStart < startInterval && TargetLocked() != 0 && !Stopped() &&
                   !closing_.load()) {
                ::Sleep(100);
                MSG msg;
                if (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) PumpPendingMessages();
            }
            lastStart = int64_t(::GetTickCount64());
        }

        if (!Stopped()) {
            if (count == 2) TaskDue2.Raise(this, int1, int2);
            else if (count == 3) TaskDue3.Raise(this, int1, int2, int3);
            else TaskDue.Raise(this, int1, int2, int3, text1, text2, text3);
        }

        taskLock.Lock();
        --runningCount;
    }
    --startedCount;
    taskLock.Unlock();
}

int32_t rg_DrenvikDuiLieWeiYiLei::TryEnter() {
    LockGuard guard(gateLock);
    if (busy) {
        pending = 1;
        return 0;
    }
    busy = 1;
    return 1;
}

bool rg_DrenvikDuiLieWeiYiLei::TakePending() {
    LockGuard guard(gateLock);
    bool was = pending != 0;
    pending = 0;
    return was;
}

bool rg_DrenvikDuiLieWeiYiLei::FinishPass() {
    LockGuard guard(gateLock);
    if (pending) {
        pending = 0;
        return true;
    }
    busy = 0;
    return false;
}

// Locks: a spin-lock word, a critical section, and the shared mutex object.
#pragma once
#include "platform/win.h"

#include <atomic>
#include <memory>

// A word that holds 1 when free: an atomic decrement that finds 1 takes it; storing 1 releases it.
class SpinLockWord {
public:
    void Lock() noexcept {
        for (;;) {
            if (word_.fetch_sub(1, std::memory_order_acquire) == 1) return;
            while (word_.load(std::memory_order_relaxed) < 1) YieldProcessor();
        }
    }
    void Unlock() noexcept { word_.store(1, std::memory_order_release); }

private:
    std::atomic<long> word_{1};
};

class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&cs_); }
    ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Lock() noexcept { ::EnterCriticalSection(&cs_); }
    void Unlock() noexcept { ::LeaveCriticalSection(&cs_); }
    bool TryLock() noexcept { return ::TryEnterCriticalSection(&cs_) != 0; }

private:
    CRITICAL_SECTION cs_;
};

template <class L>
class LockGuard {
public:
    explicit LockGuard(L& l) noexcept : l_(l) { l_.Lock(); }
    ~LockGuard() { l_.Unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    L& l_;
};

// The platform's shared mutex object: copies share one critical section.
class rg_HuChiSuoLei {
public:
    rg_HuChiSuoLei() : cs_(std::make_shared<CriticalSection>()) {}
    void Lock() const noexcept { cs_->Lock(); }
    void Unlock() const noexcept { cs_->Unlock(); }
    bool TryLock() const noexcept { return cs_->TryLock(); }
    bool SameAs(const rg_HuChiSuoLei& o) const noexcept { return cs_ == o.cs_; }

private:
    std::shared_ptr<CriticalSection> cs_;
};

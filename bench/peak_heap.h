// Peak heap use of a piece of work: the program's operator new and delete count live bytes.
// Include in exactly one file of a benchmark program (it replaces the global operators).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace peak_heap {

inline std::atomic<size_t> live{0}, peak{0};
constexpr size_t kHeader = 16;  // keeps the block's alignment

inline void* Take(size_t n) {
    void* p = std::malloc(n + kHeader);
    if (!p) throw std::bad_alloc();
    *static_cast<size_t*>(p) = n;
    size_t now = live.fetch_add(n) + n;
    for (size_t seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {}
    return static_cast<char*>(p) + kHeader;
}

inline void Give(void* q) noexcept {
    if (!q) return;
    void* p = static_cast<char*>(q) - kHeader;
    live.fetch_sub(*static_cast<size_t*>(p));
    std::free(p);
}

// Bytes above what was live before `work`, at its highest.
template <class F> size_t PeakOf(F&& work) {
    const size_t base = live.load();
    peak.store(base);
    work();
    return peak.load() - base;
}

}  // namespace peak_heap

void* operator new(size_t n) { return peak_heap::Take(n); }
void* operator new[](size_t n) { return peak_heap::Take(n); }
void operator delete(void* p) noexcept { peak_heap::Give(p); }
void operator delete[](void* p) noexcept { peak_heap::Give(p); }
void operator delete(void* p, size_t) noexcept { peak_heap::Give(p); }
void operator delete[](void* p, size_t) noexcept { peak_heap::Give(p); }

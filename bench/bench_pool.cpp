// Pooled allocator against the process heap: 256-byte alloc+free pairs, one thread and four.
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/object.h"

namespace {

template <class Alloc, class Free>
double PairsPerSecond(int threads, int pairs, Alloc alloc, Free release) {
    auto run = [&] {
        void* keep[8];
        for (int i = 0; i < pairs; ++i) {
            void* p = alloc(256);
            static_cast<volatile char*>(p)[0] = char(i);
            keep[i & 7] = p;
            if ((i & 7) == 7)
                for (void* q : keep) release(q);
        }
    };
    auto t0 = std::chrono::steady_clock::now();
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back(run);
    for (auto& t : pool) t.join();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return double(pairs) * threads / s;
}

}  // namespace

int main() {
    auto& pool = VolMemManager::Instance();
    HANDLE heap = ::GetProcessHeap();
    const int pairs = 2'000'000;
    for (int threads : {1, 4}) {
        double p = PairsPerSecond(threads, pairs, [&](size_t n) { return pool.Alloc(n); }, [&](void* q) { pool.Free(q); });
        double h = PairsPerSecond(threads, pairs, [&](size_t n) { return ::HeapAlloc(heap, 0, n); },
                                  [&](void* q) { ::HeapFree(heap, 0, q); });
        std::printf("threads=%d pool=%.1f M pairs/s heap=%.1f M pairs/s ratio(pool/heap)=%.2f\n", threads, p / 1e6,
                    h / 1e6, p / h);
    }
    return 0;
}

// Best wall time of several runs, in seconds: the least disturbed run is the one to compare.
#pragma once
#include <algorithm>
#include <chrono>

template <class F> double BestSeconds(int runs, F&& body) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

// Rows of times at 1x, 4x and 16x the size, with the ratios of neighbouring sizes: about 4 means the
// work grows with the input, about 16 with its square.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "best_time.h"

// A long run is timed once; shorter ones take the best of a few, the shortest of ten.
template <class F> double TimeForScale(F&& body) {
    const double first = BestSeconds(1, body);
    return first > 0.5 ? first : std::min(first, BestSeconds(first > 0.01 ? 3 : 10, body));
}

inline void PrintScaleRow(const char* what, const double (&seconds)[3], const size_t (&sizes)[3], const char* peer = "") {
    std::printf("%-62s %7zu / %7zu / %7zu: %8.2f %8.2f %8.2f ms; ratios 4x/1x %5.1f, 16x/4x %5.1f%s\n", what, sizes[0],
                sizes[1], sizes[2], seconds[0] * 1e3, seconds[1] * 1e3, seconds[2] * 1e3, seconds[1] / seconds[0],
                seconds[2] / seconds[1], peer);
}

// With a peer's times at the same sizes, and a warning when its results differ from ours.
inline void PrintScaleRow(const char* what, const double (&seconds)[3], const size_t (&sizes)[3], const char* peerName,
                          const double (&peerSeconds)[3], bool sameResults) {
    char peer[128];
    std::snprintf(peer, sizeof peer, "; %s %.2f %.2f %.2f ms%s", peerName, peerSeconds[0] * 1e3, peerSeconds[1] * 1e3,
                  peerSeconds[2] * 1e3, sameResults ? "" : " (MISMATCH)");
    PrintScaleRow(what, seconds, sizes, peer);
}

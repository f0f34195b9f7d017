// Hostile inputs must return, and in reasonable time: the faults they catch took seconds to
// minutes (or never returned), so the limit is generous and only catches those.
#pragma once
#include <chrono>

#include <gtest/gtest.h>

template <class F>
void ExpectReturnsWithin(double seconds, F&& work, const char* what = "") {
    auto t0 = std::chrono::steady_clock::now();
    work();
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(took, seconds) << what;
}

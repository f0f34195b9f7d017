// A test program that crashes must end with a failing exit code, whatever Wine's debugger does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win.h"
#include "support/child_run.h"

namespace {

int Deeper(int n) {
    volatile char frame[4096];
    std::memset(const_cast<char*>(frame), n, sizeof frame);
    return frame[n % 100] + Deeper(n + 1);
}

long RunChild(const wchar_t* name) {
    return RunThisProgram(std::wstring(L"--gtest_also_run_disabled_tests --gtest_filter=TestProgramCrash.") + name);
}

}  // namespace

TEST(TestProgramCrash, DISABLED_WritesThroughNull) { *static_cast<volatile int*>(nullptr) = 1; }
TEST(TestProgramCrash, DISABLED_OverflowsTheStack) { EXPECT_NE(Deeper(1), 0); }
TEST(TestProgramCrash, DISABLED_Passes) {}

TEST(TestProgramCrash, FailsTheProgram) {
    for (const wchar_t* name : {L"DISABLED_WritesThroughNull", L"DISABLED_OverflowsTheStack"}) {
        const long code = RunChild(name);
        EXPECT_NE(code, 0) << "crashed, yet reported as passed";
        EXPECT_NE(code, -1) << "did not end";
    }
    EXPECT_EQ(RunChild(L"DISABLED_Passes"), 0);
}

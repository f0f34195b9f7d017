// A test program that crashes must end with a failing exit code, whatever Wine's debugger does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win.h"

namespace {

int Deeper(int n) {
    volatile char frame[4096];
    std::memset(const_cast<char*>(frame), n, sizeof frame);
    return frame[n % 100] + Deeper(n + 1);
}

// Runs one disabled case of this program in a child process; its exit code, or -1 when it did not
// end within a minute.
long RunChild(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=TestProgramCrash." + name;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    ::CloseHandle(pi.hThread);
    DWORD code = DWORD(-1);
    if (::WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &code);
    else ::TerminateProcess(pi.hProcess, code);
    ::CloseHandle(pi.hProcess);
    return long(code);
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

// Shared entry point of every test program: COM on the test thread, as the program has it.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/dynapi.h"
#include "platform/win.h"

#include <objbase.h>

namespace {

// A crash must fail the program at once: under Wine an unhandled fault starts the debugger, after
// which the process ends with 0 (CTest would count the test as passed) or waits on it until the
// test's time is up. Written without the C library: the stack may be all but gone.
LONG WINAPI FailOnCrash(EXCEPTION_POINTERS* info) {
    char text[64];
    const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0;
    const int n = ::wsprintfA(text, "unhandled exception 0x%08lX\n", code);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, DWORD(n), &written, nullptr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    ::SetUnhandledExceptionFilter(FailOnCrash);
    ::testing::InitGoogleTest(&argc, argv);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BindDynamicApiTable();
    // Remote host names (cloud providers, the news host) lead to a closed loopback port unless a
    // test maps them itself; programs the tests start inherit this.
    ::SetEnvironmentVariableW(L"KELVARO_REMOTE_HOST", L"127.0.0.1:9");
    int rc = RUN_ALL_TESTS();
    // Leave without DLL detach and static teardown: under Wine an exit-time detach now and then
    // never returns, and CTest would wait on the pipe forever. Teardown is tested inside the tests.
    std::fflush(stdout);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), UINT(rc));
    return rc;
}

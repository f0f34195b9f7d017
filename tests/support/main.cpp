// Shared entry point of every test program: COM on the test thread, as the program has it.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/dynapi.h"
#include "platform/win.h"

#include <objbase.h>

int main(int argc, char** argv) {
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

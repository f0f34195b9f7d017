// Shared entry point of every test program: COM on the test thread, as the program has it.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "platform/dynapi.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BindDynamicApiTable();
    int rc = RUN_ALL_TESTS();
    ::CoUninitialize();
    return rc;
}

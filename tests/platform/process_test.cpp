#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/system.h"

namespace {

CWString Writer(std::wstring_view args) {
    return L"\"" + GetModuleDirectory() + L"console_writer.exe\" " + CWString(args);
}

ULONGLONG Since(ULONGLONG t0) { return ::GetTickCount64() - t0; }

}  // namespace

TEST(RunConsoleCommand, ReadsAMegabyteFromEachStreamWithoutDeadlock) {
    CWString out, err;
    const size_t kSize = 1 << 20;
    int code = RunConsoleCommand(Writer(L"write 1048576 exit 7"), out, err);
    EXPECT_EQ(code, 7);
    ASSERT_EQ(out.size(), kSize);
    ASSERT_EQ(err.size(), kSize);
    for (size_t i = 0; i < kSize; i += 4093) {
        ASSERT_EQ(out[i], wchar_t(L'a' + i % 26)) << i;
        ASSERT_EQ(err[i], wchar_t(L'A' + i % 26)) << i;
    }
}

TEST(RunConsoleCommand, StandardInputIsEmpty) {
    CWString out, err;
    ULONGLONG t0 = ::GetTickCount64();
    EXPECT_EQ(RunConsoleCommand(Writer(L"stdin"), out, err), 0);
    EXPECT_EQ(out, L"read 0");
    EXPECT_LT(Since(t0), 5000u);
}

TEST(RunConsoleCommand, AProgramItStartedDoesNotHoldTheWait) {
    CWString out, err;
    ULONGLONG t0 = ::GetTickCount64();
    EXPECT_EQ(RunConsoleCommand(Writer(L"spawn 4000 bytes 6869 exit 2"), out, err), 2);
    EXPECT_EQ(out, L"hi");
    EXPECT_LT(Since(t0), 2500u) << "the heir keeps the pipes open for 4 s";
}

TEST(RunConsoleCommand, ExitCodes) {
    struct { const wchar_t* command; int code; } cases[] = {
        {L"exit 0", 0},
        {L"exit 3", 3},
        {L"exit -2", -2},
        {L"exit 259", 259},
    };
    for (auto& c : cases) {
        CWString out, err;
        EXPECT_EQ(RunConsoleCommand(Writer(c.command), out, err), c.code) << c.command;
    }
    CWString out = L"old", err = L"old";
    EXPECT_EQ(RunConsoleCommand(L"kelvaro_no_such_program_here.exe", out, err), -1);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(err.empty());
    EXPECT_EQ(RunConsoleCommand(L"", out, err), -1);
}

TEST(RunConsoleCommand, DecodesUtf8OrAnsi) {
    CWString out, err;
    RunConsoleCommand(Writer(L"bytes E4B8ADE69687"), out, err, true);
    EXPECT_EQ(out, L"中文");
    RunConsoleCommand(Writer(L"bytes 636166E9"), out, err, false);
    const char ansi[] = "caf\xE9";
    EXPECT_EQ(out, CWString::FromAnsiBytes(ansi, 4));
    EXPECT_EQ(out.size(), 4u);
}

TEST(RunConsoleCommand, WorkingDirectory) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    CWString tempDir(temp);
    if (tempDir.back() == L'\\') tempDir.pop_back();
    CWString programDir = GetModuleDirectory();
    programDir.pop_back();

    CWString out, err;
    RunConsoleCommand(Writer(L"cwd"), out, err, true, tempDir);
    EXPECT_TRUE(EqualsNoCase(out, tempDir)) << out.ToUtf8();
    RunConsoleCommand(Writer(L"cwd"), out, err, true, L"");
    EXPECT_TRUE(EqualsNoCase(out, programDir)) << out.ToUtf8();

    // A bare program name is found the way CreateProcessW finds it: beside this program first.
    EXPECT_TRUE(EqualsNoCase(CommandProgramFolder(L"console_writer cwd"), GetModuleDirectory()));
    EXPECT_TRUE(CommandProgramFolder(L"kelvaro_no_such_program_here").empty());

    // No folder given: this process's current folder.
    wchar_t current[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, current);
    CWString here(current);
    if (here.size() > 3 && here.back() == L'\\') here.pop_back();
    ConsoleRunOptions options;
    RunConsoleProcessWithProgress(Writer(L"cwd"), options, &out, &err);
    EXPECT_TRUE(EqualsNoCase(out, here)) << out.ToUtf8();
}

// A test program has a console of its own, so it cannot join the child's to send Ctrl+C: the
// runner goes on to termination.
TEST(RunConsoleCommand, TimeLimitStopsTheProgram) {
    ConsoleRunOptions options;
    options.timeLimitMs = 1200;
    CWString out, err;
    ULONGLONG t0 = ::GetTickCount64();
    EXPECT_EQ(RunConsoleProcessWithProgress(Writer(L"ctrl sleep 30000 exit 5"), options, &out, &err), -1);
    ULONGLONG took = Since(t0);
    EXPECT_GE(took, 1200u);
    EXPECT_LT(took, 6000u);

    // Within the limit, the program's own code stands.
    options.timeLimitMs = 10000;
    EXPECT_EQ(RunConsoleProcessWithProgress(Writer(L"sleep 100 exit 5"), options, &out, &err), 5);
}

TEST(StartProcess, StartsOrReportsFailure) {
    ULONGLONG t0 = ::GetTickCount64();
    EXPECT_TRUE(StartProcess(Writer(L"exit 0"), SW_HIDE));
    EXPECT_LT(Since(t0), 3000u);
    EXPECT_FALSE(StartProcess(L"kelvaro_no_such_program_here.exe", SW_SHOWNORMAL));
}

TEST(RunConsoleCommand, TimeLimitSendsCtrlCFirst) {
    // The program is a windowed one without a console; a test program has one, so it lets go of it.
    ::FreeConsole();
    ConsoleRunOptions options;
    options.timeLimitMs = 500;
    CWString out, err;
    ULONGLONG t0 = ::GetTickCount64();
    EXPECT_EQ(RunConsoleProcessWithProgress(Writer(L"ctrl sleep 30000 exit 5"), options, &out, &err), -1);
    EXPECT_EQ(out, L"ctrl-0");
    EXPECT_LT(Since(t0), 2900u);
}

// Running other programs: hidden console commands with their output, and visible programs.
#pragma once
#include <cstdint>
#include <optional>

#include "platform/text.h"

struct ConsoleRunOptions {
    // The program file to start, by full path; empty: the command line's first word, found the way
    // CreateProcessW searches (the calling program's folder, then the current folder, then the system's).
    CWString program;
    // Folder the program runs in: none = this process's current folder; an empty text = the folder
    // of the command's program (the current folder when the program cannot be found).
    std::optional<CWString> workingDirectory;
    bool capture = true;          // read standard output and standard error; else both go to NUL
    bool utf8 = true;             // decode the captured bytes as UTF-8, else in the ANSI code page
    uint32_t timeLimitMs = 0;     // 0 = none; else Ctrl+C, Ctrl+Break, then termination, a second apart
};

// Runs a console program hidden, with standard input from NUL, and waits on the calling thread
// without handling messages. Both streams are read as they come, so no amount of output blocks the
// program. Returns its exit code; -1 when it cannot start or was stopped at the time limit, 0 when
// the code cannot be read.
int RunConsoleProcessWithProgress(std::wstring_view commandLine, const ConsoleRunOptions& options,
                                  CWString* output = nullptr, CWString* errors = nullptr);

// The common case: captured, no time limit; an empty working directory means the program's folder.
int RunConsoleCommand(std::wstring_view commandLine, CWString& output, CWString& errors, bool utf8 = true,
                      std::wstring_view workingDirectory = {});

// Starts a program with a show mode (SW_..., negative = normal) and waits up to half a second for it
// to become idle. False when it cannot start.
bool StartProcess(std::wstring_view commandLine, int showMode);

// The folder of the program a command line starts, found the way CreateProcessW finds it, with a
// trailing backslash; empty when it cannot be found.
CWString CommandProgramFolder(std::wstring_view commandLine);

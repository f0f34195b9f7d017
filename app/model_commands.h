// The ollama command lines of the main window and the reading of what the tool prints: pure text
// work, so every rule is tested without a window or a process.
#pragma once
#include <vector>

#include "platform/text.h"

// Letters, digits and ". _ : / - @" only, not empty, and not starting with "-" (an option). Names go into command lines (one of them
// through cmd, which would run "& | < > ^ %" as commands) and a quote would split arguments.
bool IsValidModelName(std::wstring_view name) noexcept;

// One argument for a CreateProcess command line, in double quotes, with the backslashes before a
// quote (and at the end) doubled so the program reads back exactly `text`.
CWString QuoteCommandArgument(std::wstring_view text);

// cmd /c "ollama run NAME": the download runs in a console the user sees.
CWString BuildDownloadCommand(std::wstring_view name);
// "ollama " + verb + " " + name: show, rm, run, stop.
CWString BuildModelCommand(std::wstring_view verb, std::wstring_view name);
CWString BuildCopyCommand(std::wstring_view name, std::wstring_view newName);
CWString BuildCreateCommand(std::wstring_view newName, std::wstring_view modelFile);

// One row of "ollama list" or "ollama ps": "name (size)".
struct ModelTableRow {
    CWString name;
    CWString size;
    CWString ItemText() const { return name + L" (" + size + L")"; }
};
// Lines split at CR or LF (trimmed, empty ones dropped), columns at four blanks or a tab (trimmed,
// empty ones dropped); lines with fewer than four columns and the "NAME" header are skipped.
std::vector<ModelTableRow> ParseModelTable(std::wstring_view output);
// The name part of a list item: the text up to its first blank (the whole text without one).
CWString ModelNameOfItem(std::wstring_view item);

// What a command printed, as a user should read it: terminal control sequences removed and lines
// the tool redrew (progress) reduced to their last state. Text without either comes back unchanged.
CWString CleanConsoleOutput(std::wstring_view text);

struct CommandResult {
    int exitCode = 0;
    CWString output;
    CWString errors;
};
// A command that could not start: exit code -1 and nothing printed.
bool CommandDidNotStart(const CommandResult& r) noexcept;
// Failed: any exit code but 0 (-1 when it did not start).
bool CommandFailed(const CommandResult& r) noexcept;
// The text shown (and copied) for a failure: standard error, else standard output, else a line
// saying the command ended without a word.
CWString FailureText(const CommandResult& r);

inline constexpr wchar_t kOllamaNotRunText[] =
    L"无法运行 ollama 命令：没有找到 ollama 程序。请先安装 Ollama，并确认 ollama 命令可以在命令行中运行。";
inline constexpr wchar_t kCommandSilentFailureText[] = L"命令异常结束，没有输出任何信息。";
inline constexpr wchar_t kCmdNotRunText[] = L"无法启动 cmd 来运行下载命令。";
inline constexpr wchar_t kInvalidModelNameText[] =
    L"模型名称无效：只能包含英文字母、数字和 . _ : / - @ 这些字符，且不能以 - 开头。";

// "确定要停止 N 个已运行模型吗？..." with the entries one per line.
CWString BuildStopAllQuestion(const std::vector<CWString>& entries);
// "正在停止 (k/N)"
CWString StopProgressCaption(int k, int n);

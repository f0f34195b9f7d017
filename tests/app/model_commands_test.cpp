// The command lines, the reading of "ollama list"/"ollama ps", output cleaning and the report rule.
#include <gtest/gtest.h>

#include "app/model_commands.h"
#include "support/time_limit.h"

namespace {

std::vector<CWString> Items(std::wstring_view output) {
    std::vector<CWString> items;
    for (const auto& row : ParseModelTable(output)) items.push_back(row.ItemText());
    return items;
}

}  // namespace

TEST(ModelNames, OnlyLettersDigitsAndFewMarks) {
    for (const wchar_t* ok : {L"llama3.2:3b", L"deepseek-r1:1.5b", L"hf.co/user/model_x:Q4_K_M", L"a@sha256", L"X"})
        EXPECT_TRUE(IsValidModelName(ok)) << ok;
    for (const wchar_t* bad : {L"", L"a&calc", L"a|b", L"a<b", L"a>b", L"a^b", L"%PATH%", L"a\"b", L"a b", L"名字",
                               L"a\tb", L"a;b"})
        EXPECT_FALSE(IsValidModelName(bad)) << bad;
}

TEST(CommandLines, EachButtonsText) {
    EXPECT_EQ(BuildDownloadCommand(L"qwen2.5:7b"), L"cmd /c \"ollama run qwen2.5:7b\"");
    EXPECT_EQ(BuildModelCommand(L"show", L"a:1b"), L"ollama show a:1b");
    EXPECT_EQ(BuildModelCommand(L"rm", L"a:1b"), L"ollama rm a:1b");
    EXPECT_EQ(BuildCopyCommand(L"a:1b", L"b"), L"ollama cp a:1b b");
    EXPECT_EQ(BuildCreateCommand(L"m", L"C:\\my models\\x.gguf"), L"ollama create m -f \"C:\\my models\\x.gguf\"");
}

TEST(CommandLines, QuotedArgumentsReadBackExactly) {
    struct Case { const wchar_t* in; const wchar_t* quoted; } cases[] = {
        {L"C:\\a b\\f.gguf", L"\"C:\\a b\\f.gguf\""},
        {L"C:\\dir\\", L"\"C:\\dir\\\\\""},          // a trailing backslash must not escape the quote
        {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
        {L"a\\\"b", L"\"a\\\\\\\"b\""},
        {L"", L"\"\""},
    };
    for (const auto& c : cases) EXPECT_EQ(QuoteCommandArgument(c.in), c.quoted) << c.in;
    // And CommandLineToArgvW, which the tools use, gives the text back.
    for (const auto& c : cases) {
        CWString line = L"ollama " + QuoteCommandArgument(c.in);
        int argc = 0;
        wchar_t** argv = ::CommandLineToArgvW(line.c_str(), &argc);
        ASSERT_EQ(argc, 2) << c.in;
        EXPECT_EQ(std::wstring(argv[1]), c.in);
        ::LocalFree(argv);
    }
}

TEST(ModelTable, RowsBecomeNameAndSize) {
    const wchar_t* list =
        L"NAME                ID              SIZE      MODIFIED \r\n"
        L"llama3.2:3b         a80c4f17acd5    2.0 GB    2 weeks ago    \r\n"
        L"qwen2.5:7b          845dbda0ea48    4.7 GB    3 days ago     \r\n";
    EXPECT_EQ(Items(list), (std::vector<CWString>{L"llama3.2:3b (2.0 GB)", L"qwen2.5:7b (4.7 GB)"}));
}

TEST(ModelTable, EdgeLines) {
    struct Case { const wchar_t* output; std::vector<CWString> items; } cases[] = {
        // a fifth piece changes nothing; three pieces and the header add nothing
        {L"a    b    c    d    e", {L"a (c)"}},
        {L"a    b    c", {}},
        {L"NAME    ID    SIZE    MODIFIED", {}},
        {L"name    ID    SIZE    MODIFIED", {L"name (SIZE)"}},
        // lone LF, lone CR, blank lines
        {L"a    b    1 GB    x\n\n  \rc    d    2 GB    y\r", {L"a (1 GB)", L"c (2 GB)"}},
        // older versions: tab-separated columns
        {L"NAME\tID\tSIZE\tMODIFIED\nm:1b\t0123\t1.1 GB\tnow\n", {L"m:1b (1.1 GB)"}},
        {L"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Items(c.output), c.items) << c.output;
}

TEST(ModelTable, NameIsTheItemUpToItsFirstBlank) {
    EXPECT_EQ(ModelNameOfItem(L"llama3.2:3b (2.0 GB)"), L"llama3.2:3b");
    EXPECT_EQ(ModelNameOfItem(L"plain"), L"plain");
    EXPECT_EQ(ModelNameOfItem(L""), L"");
}

TEST(ConsoleOutput, PlainTextIsUnchanged) {
    for (const wchar_t* t : {L"deleted 'a'\r\n", L"  Model\n    arch    llama   \n", L""})
        EXPECT_EQ(CleanConsoleOutput(t), t);
}

TEST(ConsoleOutput, ProgressRedrawsAndControlSequencesGo) {
    // What "ollama create" writes to standard error, as the fake and the real tool do.
    const wchar_t* progress =
        L"\x1b[?25lgathering model components \x1b[K\n"
        L"\x1b[?25lcopying file \x1b[K\r"
        L"\x1b[?25l\x1b[Gpulling 2bada8a74506: 0% \x1b[K"
        L"\x1b[?25l\x1b[Gpulling 2bada8a74506: 42% \x1b[K"
        L"\x1b[?25l\x1b[Gpulling 2bada8a74506: 100% \x1b[K\n"
        L"verifying sha256 digest \x1b[K\nwriting manifest \x1b[K\nsuccess \x1b[K\x1b[?25h\n";
    EXPECT_EQ(CleanConsoleOutput(progress),
              L"gathering model components\r\npulling 2bada8a74506: 100%\r\nverifying sha256 digest\r\n"
              L"writing manifest\r\nsuccess");
    // Cursor-up redraws overwrite the earlier lines; OSC titles vanish.
    EXPECT_EQ(CleanConsoleOutput(L"a 10%\nb 10%\n\x1b[2Aa 99%\nb 99%\n\x1b]0;title\x07"), L"a 99%\r\nb 99%");
}

TEST(ConsoleOutput, HostileInputStaysSmallAndNeverThrows) {
    const CWString wide = CWString(30000, L'x');
    CWString downs;
    for (int i = 0; i < 30000; ++i) downs += L"\x1b[By";
    struct Case { CWString input; const wchar_t* expected; } cases[] = {
        // cursor numbers far past anything the input could fill
        {L"\x1b[1000000000G", L""},
        {L"\x1b[1000000000Gx", L"             x"},  // 14 units: the column stops at 13
        {L"\x1b[1000000000B", L""},
        {L"\x1b[1000000000Bx", nullptr},
        {L"\x1b[99999999999999999999G", L""},
        {L"\x1b[99999999999999999999Ax", L"x"},
        // every move down pads a new line out to the cursor's column
        {wide + downs, nullptr},
        // unterminated sequences, NULs, lone surrogates
        {L"ab\x1b[12", L"ab"},
        {L"ab\x1b]0;title", L"ab"},
        {L"ab\x1b", L"ab"},
        {CWString(L"a\0b\rc", 5), L"cb"},
        {L"\xD800\r\xDC00", L"\xDC00"},
    };
    for (const auto& c : cases) {
        CWString out;
        ExpectReturnsWithin(10, [&] { EXPECT_NO_THROW(out = CleanConsoleOutput(c.input)); });
        if (c.expected) EXPECT_EQ(out, c.expected) << c.input.size();
        // characters, blanks the cursor made and the line breaks together
        EXPECT_LE(out.size(), 4 * c.input.size()) << c.input.size();
    }
    // the wide line itself survives the moves below it
    EXPECT_EQ(CleanConsoleOutput(wide + downs).substr(0, 30000), wide);
}

TEST(ReportRule, SuccessFailureAndNotStarted) {
    struct Case { int code; const wchar_t* out; const wchar_t* err; bool failed; } cases[] = {
        {1, L"", L"Error: model 'x' not found", true},
        {0, L"", L"success", false},             // create: progress on stderr, exit 0
        {1, L"out", L"err", false},              // both: standard output counts
        {0, L"out", L"", false},
        {-1, L"", L"", true},                    // could not start
        {1, L"", L"", false},                    // nothing to show, but it ran
        {-1, L"", L"stopped", true},
    };
    for (const auto& c : cases) {
        CommandResult r{c.code, c.out, c.err};
        EXPECT_EQ(CommandFailed(r), c.failed) << c.code << " " << c.out << " " << c.err;
    }
    EXPECT_EQ(FailureText({-1, L"", L""}), kOllamaNotRunText);
    EXPECT_EQ(FailureText({1, L"", L"Error: x\n"}), L"Error: x\n");
}

TEST(StopAll, QuestionAndProgressTexts) {
    EXPECT_EQ(BuildStopAllQuestion({L"a:1b (1 GB)", L"b (2 GB)"}),
              L"确定要停止 2 个已运行模型吗？\r\n\r\n下面是已运行模型列表：\r\na:1b (1 GB)\r\nb (2 GB)");
    EXPECT_EQ(StopProgressCaption(1, 2), L"正在停止 (1/2)");
}

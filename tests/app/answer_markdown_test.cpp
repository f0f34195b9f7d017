#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

#include "app/answer_markdown.h"

namespace {

using Segments = std::vector<std::pair<std::wstring, int>>;

Segments Split(std::wstring_view answer) {
    CMStringArray texts;
    rg_ZhengShuShuZuLei types;
    SplitMarkdownSegments(answer, texts, types);
    EXPECT_EQ(texts.size(), types.size());
    Segments out;
    for (size_t i = 0; i < texts.size() && i < types.size(); ++i) out.emplace_back(texts[i], types[i]);
    return out;
}

std::string Show(const Segments& s) {
    std::string r;
    for (const auto& [text, type] : s) {
        r.append("[").append(std::to_string(type)).append(":");
        for (wchar_t c : text) {
            if (c < 32) r.append("<").append(std::to_string(int(c))).append(">");
            else r.append(WideToUtf8(std::wstring(1, c)));
        }
        r.append("]");
    }
    return r;
}

struct Case {
    const wchar_t* answer;
    Segments segments;
};

void CheckAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(Show(Split(c.answer)), Show(c.segments)) << WideToUtf8(c.answer);
}

}  // namespace

TEST(AnswerMarkdown, PlainInlineBoldAndHeadings) {
    CheckAll({
        {L"plain text only", {{L"plain text only", kSegmentPlain}}},
        {L"", {}},
        {L"\\", {}},  // empty after the escapes go
        {L"Use `ls -l` and **care**.",
         {{L"Use ", 0}, {L"ls -l", kSegmentInlineCode}, {L" and ", 0}, {L"care", kSegmentBold}, {L".", 0}}},
        {L"### Title\nbody", {{L"", 0}, {L"Title\n", kSegmentHeading3}, {L"body", 0}}},
        {L"## Part\nbody", {{L"", 0}, {L"Part\n", kSegmentHeading2}, {L"body", 0}}},
        {L"#### Four\nx", {{L"#", 0}, {L"Four\n", kSegmentHeading3}, {L"x", 0}}},
        // A line feed with both heading levels open closes the "###" one only.
        {L"## A ### B\nrest", {{L"", 0}, {L"\x01" L"A ", 0}, {L"B\n", kSegmentHeading3}, {L"rest", 0}}},
        // Bold text and inline code inside a heading: the heading goes on after them, whole.
        {L"### **Step 1**: do\nbody",
         {{L"", 0}, {L"", kSegmentHeading3}, {L"Step 1", kSegmentBold}, {L": do\n", kSegmentHeading3}, {L"body", 0}}},
        {L"## Use `ls` now\nx",
         {{L"", 0}, {L"Use ", kSegmentHeading2}, {L"ls", kSegmentInlineCode}, {L" now\n", kSegmentHeading2}, {L"x", 0}}},
    });
}

TEST(AnswerMarkdown, UnterminatedMarkers) {
    CheckAll({
        {L"a **b c", {{L"a ", 0}, {L"\x1f" L"b c", 0}}},
        // A backtick without a partner before the next fence is text, and markers after it still work.
        {L"a `b c", {{L"a `b c", 0}}},
        {L"it`s **b** ```\nx`\n```", {{L"it`s ", 0}, {L"b", kSegmentBold}, {L" ", 0}, {L"x`\n", kSegmentCode}}},
        {L"a **", {{L"a ", 0}}},  // the marker is the last character: nothing follows it
        {L"x\n```sh\nls", {{L"x\n", 0}, {L"\x1d" L"sh\nls", 0}}},
        {L"### no line feed", {{L"", 0}, {L"\x1e" L"no line feed", 0}}},
    });
}

TEST(AnswerMarkdown, CodeBlocks) {
    CheckAll({
        // The language line goes; the line feed before the closing fence stays.
        {L"Run:\n```python\nprint(1)\n```\nDone", {{L"Run:\n", 0}, {L"print(1)\n", kSegmentCode}, {L"\nDone", 0}}},
        {L"```x```\nafter", {{L"", 0}, {L"", kSegmentCode}, {L"\nafter", 0}}},
        {L"```x```", {{L"", 0}, {L"x", kSegmentCode}}},
        // Code keeps what the model wrote: markers, think tags and backticks in it are the code's own.
        {L"```py\ndef f(*args, **kwargs):\n    return a##b ### c ## d `e`\n```",
         {{L"", 0}, {L"def f(*args, **kwargs):\n    return a##b ### c ## d `e`\n", kSegmentCode}}},
        {L"```\nif s == '<think>': x\ny = '</THINK>'\n```",
         {{L"", 0}, {L"if s == '<think>': x\ny = '</THINK>'\n", kSegmentCode}}},
        // Inline code too: what looks like bold, a heading or a think tag in it stays as written.
        {L"call `f(**kw)` or `a##b` or `<think>` now",
         {{L"call ", 0}, {L"f(**kw)", kSegmentInlineCode}, {L" or ", 0}, {L"a##b", kSegmentInlineCode},
          {L" or ", 0}, {L"<think>", kSegmentInlineCode}, {L" now", 0}}},
    });
}

TEST(AnswerMarkdown, ThinkBlocks) {
    CheckAll({
        {L"<think>\nreasoning\n</think>\n\nreply", {{L"reasoning\n\n", kSegmentThink}, {L"reply", 0}}},
        // Text on the tag's own line is not part of the block.
        {L"<think>plan\nsteps\n</think>ok", {{L"steps\n\n", kSegmentThink}, {L"ok", 0}}},
        // Without an opening tag the block starts after the first line feed.
        {L"intro\nmore</think>answer", {{L"more\n\n", kSegmentThink}, {L"answer", 0}}},
        {L"  lead  <think>\nr\n</think>", {{L"lead", 0}, {L"r\n\n", kSegmentThink}}},
        // Fences and markers inside a think block do nothing.
        {L"<think>\n```a** b\n</think>x", {{L"a\x1f b\n\n", kSegmentThink}, {L"x", 0}}},
        {L"<THINK>\nr\n</Think> y", {{L"r\n\n", kSegmentThink}, {L"y", 0}}},
    });
}

TEST(AnswerMarkdown, Backslashes) {
    CheckAll({
        {L"C:\\path\\file and \\\\share \\*x\\*", {{L"C:pathfile and \\\\share *x*", 0}}},
        // Code keeps what it says: paths and regular expressions stay whole, doubled or not.
        {L"```\nC:\\dir\\\\x [2个斜杠]\n```", {{L"", 0}, {L"C:\\dir\\\\x [2个斜杠]\n", kSegmentCode}}},
        {L"run `\\d+\\.txt` in C:\\tmp", {{L"run ", 0}, {L"\\d+\\.txt", kSegmentInlineCode}, {L" in C:tmp", 0}}},
        {L"a\\b ```\nx\\y\n``` c\\d", {{L"ab ", 0}, {L"x\\y\n", kSegmentCode}, {L" cd", 0}}},
        // Backticks inside a fenced block do not end the block's protection.
        {L"```\n`a\\b`\\c\n```", {{L"", 0}, {L"`a\\b`\\c\n", kSegmentCode}}},
        // A think block is no code.
        {L"<think>\nC:\\t\n</think>", {{L"C:t\n\n", kSegmentThink}}},
        {L"a[2个斜杠]b", {{L"a\\\\b", 0}}},
    });
}

TEST(AnswerMarkdown, PrepareSegmentTextTrimsOnce) {
    bool trimNext = true;
    EXPECT_EQ(PrepareSegmentText(trimNext, L" \r\n\x3000text "), L"text ");
    EXPECT_FALSE(trimNext);
    EXPECT_EQ(PrepareSegmentText(trimNext, L"  kept"), L"  kept");
}

TEST(AnswerMarkdown, CodeCollectionAndStyles) {
    CMStringArray texts;
    rg_ZhengShuShuZuLei types;
    SplitMarkdownSegments(L"a\n```c\nx;\n```\nb `i` **c**\n```\ny;\n```", texts, types);
    EXPECT_EQ(CollectCodeText(texts, types), L"x;\n\r\ny;\n");
    EXPECT_EQ(CollectCodeText({}, {}), L"");

    EXPECT_GT(GetAnswerSegmentStyle(kSegmentHeading3).pointSize, GetAnswerSegmentStyle(kSegmentHeading2).pointSize);
    EXPECT_EQ(GetAnswerSegmentStyle(kSegmentInlineCode).styleBits, kSegmentStyleItalic);
    EXPECT_EQ(GetAnswerSegmentStyle(kSegmentCode).indent, 15);
    EXPECT_EQ(GetAnswerSegmentStyle(kSegmentThink).colour, COLORREF(0x808080));
    EXPECT_EQ(GetAnswerSegmentStyle(99).colour, GetAnswerSegmentStyle(kSegmentPlain).colour);
}

TEST(AnswerMarkdown, ControlCharactersTheModelWroteAreText) {
    CheckAll({
        // The units the scan uses for its markers, written by the model itself: plain text.
        {L"a\x02 b\x03 c\x1d d\x1f e\x1e f\x01 g", {{L"a\x02 b\x03 c\x1d d\x1f e\x1e f\x01 g", 0}}},
        {L"x\x1dy\n```\nz\x03\n```", {{L"x\x1dy\n", 0}, {L"z\x03\n", kSegmentCode}}},
        {L"<think>\nr\x1dq\n</think>o\x02k", {{L"r\x1dq\n\n", kSegmentThink}, {L"o\x02k", 0}}},
    });
}

TEST(AnswerMarkdown, HostileAnswersStayLinear) {
    auto repeat = [](std::wstring_view unit, size_t n) {
        std::wstring s;
        s.reserve(unit.size() * n);
        for (size_t i = 0; i < n; ++i) s += unit;
        return s;
    };
    struct Hostile {
        const char* name;
        std::wstring answer;
        size_t segments;         // expected segment count
        size_t codeUnits;        // expected total length of the code and inline-code segments
    };
    const Hostile cases[] = {
        // 4000 fences: every two make an empty code block.
        {"12000 backticks", std::wstring(12000, L'`'), 4000, 0},
        {"2000 inline spans", repeat(L"`x`", 2000), 4000, 2000},
        {"200000 raw think-end units", std::wstring(200000, wchar_t(3)), 1, 0},
        {"50000 think-end tags", repeat(L"</think>", 50000), 0, 0},
        {"30000 fences", repeat(L"```\nx\n", 30000), 30001, 2 * 15000},
        {"100000 bold markers", repeat(L"**", 100000), 100000, 0},
        {"200000 backslashes", std::wstring(200001, L'\\'), 1, 0},
    };
    for (const Hostile& h : cases) {
        const auto start = std::chrono::steady_clock::now();
        CMStringArray texts;
        rg_ZhengShuShuZuLei types;
        SplitMarkdownSegments(h.answer, texts, types);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 5.0) << h.name;
        EXPECT_EQ(texts.size(), h.segments) << h.name;
        size_t code = 0;
        for (size_t i = 0; i < texts.size(); ++i)
            if (types[i] == kSegmentCode || types[i] == kSegmentInlineCode) code += texts[i].size();
        EXPECT_EQ(code, h.codeUnits) << h.name;
    }
}

// Answer markdown: the split of a 100 KB answer with 500 code spans, and of the answers that once
// made it quadratic. Time is the best of several runs; memory is the heap's peak above what was
// live before one run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/answer_markdown.h"
#include "peak_heap.h"

namespace {

size_t segments = 0;  // keeps results alive

void Split(const std::wstring& answer) {
    CMStringArray texts;
    rg_ZhengShuShuZuLei types;
    SplitMarkdownSegments(answer, texts, types);
    segments += texts.size();
}

void Measure(const char* name, const std::wstring& answer) {
    const size_t peak = peak_heap::PeakOf([&] { Split(answer); });
    double best = 1e30;
    for (int i = 0; i < 5; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        Split(answer);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::printf("%-34s %8zu units  %9.3f ms  peak heap %8.1f KB (input %7.1f KB)\n", name, answer.size(), best * 1e3,
                peak / 1024.0, answer.size() * sizeof(wchar_t) / 1024.0);
}

// About 100 KB of answer: prose with bold, headings and 500 inline code spans, and a fenced block
// after every 25 paragraphs.
std::wstring MakeAnswer() {
    std::wstring s = L"<think>\nThe user wants an overview.\n</think>\n\n";
    for (int i = 0; i < 500; ++i) {
        s += L"## Step " + std::to_wstring(i) + L"\n";
        s += L"Call `run_step(" + std::to_wstring(i) + L", **opts)` to go on; it is **safe** and quick. ";
        s += std::wstring(80, L'x') + L" 中文说明 " + std::wstring(60, L'y') + L"\n";
        if (i % 25 == 0) s += L"```python\ndef f(*args, **kwargs):\n    return C:\\\\tmp\n```\n";
    }
    return s;
}

std::wstring Repeat(std::wstring_view unit, size_t n) {
    std::wstring s;
    for (size_t i = 0; i < n; ++i) s += unit;
    return s;
}

}  // namespace

int main() {
    std::printf("answer markdown (SplitMarkdownSegments)\n");
    Measure("100 KB answer, 500 code spans", MakeAnswer());
    Measure("12000 backticks", std::wstring(12000, L'`'));
    Measure("`x` x 2000", Repeat(L"`x`", 2000));
    Measure("U+0003 x 200000", std::wstring(200000, wchar_t(3)));
    Measure("</think> x 50000", Repeat(L"</think>", 50000));
    return segments == 0;
}

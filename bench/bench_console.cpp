// Cleaning what an ollama command printed: 1 MB of progress lines (the way "ollama pull" and
// "ollama create" redraw their bars), and the hostile cursor moves that once padded a line to a
// billion blanks, each with its time and peak heap use.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "app/model_commands.h"
#include "peak_heap.h"

namespace {

using Clock = std::chrono::steady_clock;

double BestSeconds(int runs, const std::function<void()>& body) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

void Measure(const char* label, const CWString& input, int runs) {
    size_t outUnits = 0;
    const size_t peak = peak_heap::PeakOf([&] { outUnits = CleanConsoleOutput(input).size(); });
    const double t = BestSeconds(runs, [&] { CleanConsoleOutput(input); });
    const double mb = double(input.size() * sizeof(wchar_t)) / 1e6;
    std::printf("%-34s in=%8.3f MB out=%8zu units  %9.3f ms  %7.1f MB/s  peak heap=%6.2f MB (%.1fx input)\n", label, mb,
                outUnits, t * 1e3, mb / t, double(peak) / 1e6, double(peak) / double(input.size() * sizeof(wchar_t)));
}

}  // namespace

int main() {
    // Progress bars redrawn in place, several layers at once, the way the tool draws them.
    CWString progress;
    for (int i = 0; progress.size() * sizeof(wchar_t) < 1000000; ++i) {
        const int layer = i / 101, pct = i % 101;
        progress += L"\x1b[?25l\x1b[Gpulling " + CWString(std::to_wstring(0x2bada8a7 + layer)) + L": " +
                    CWString(std::to_wstring(pct)) + L"% \x1b[K";
        if (pct == 100) progress += L"\n";
    }
    Measure("1 MB progress lines", progress, 5);

    CWString carriage;
    while (carriage.size() * sizeof(wchar_t) < 1000000) carriage += L"downloading 42% ▕████████      ▏ 1.2 GB/4.7 GB\r";
    Measure("1 MB carriage-return redraws", carriage, 5);

    CWString wide = CWString(30000, L'x');
    for (int i = 0; i < 30000; ++i) wide += L"\x1b[By";
    Measure("x*30000 + (ESC[By)*30000", wide, 3);
    Measure("ESC[1000000000G x", L"\x1b[1000000000Gx", 5);
    Measure("ESC[1000000000B x", L"\x1b[1000000000Bx", 5);
    Measure("ESC[99999999999999999999G", L"\x1b[99999999999999999999G", 5);
    return 0;
}

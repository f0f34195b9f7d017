// Kelvaro.exe start-up under the fake ollama: process start to the main window shown, and to the
// model list filled by the first refresh, with 3 and with 200 installed models.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_driver.h"

namespace {

std::string Models(int n) {
    std::string lines;
    for (int i = 0; i < n; ++i)
        lines += "model-" + std::to_string(i) + ":7b|0123456789ab|" + std::to_string(1 + i % 9) + ".5 GB|2 days ago\n";
    return lines;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    constexpr int kRuns = 5;
    std::printf("%-22s %14s %14s\n", "models", "window (ms)", "list (ms)");
    for (int models : {3, 200}) {
        std::vector<double> shown, listed;
        for (int i = 0; i < kRuns; ++i) {
            KelvaroRun run(Models(models));
            if (!run.Start()) {
                std::printf("run failed\n");
                return 1;
            }
            shown.push_back(run.windowShownMs);
            listed.push_back(run.firstListMs);
            run.Close();
        }
        std::printf("%-22d %14.1f %14.1f   (median of %d)\n", models, Median(shown), Median(listed), kRuns);
    }
    return 0;
}

#include "ui/util_bridge.h"

#include <cmath>

#include "platform/mem.h"

namespace uibridge {

int64_t HashBytes(const void* bytes, size_t n) noexcept {
    if (n == 0) return 0;
    const auto* b = static_cast<const uint8_t*>(bytes);
    uint64_t h = 0;
    for (size_t i = 0; i < n; ++i) {
        int32_t product = int32_t(uint32_t(b[i]) * uint32_t(i + 1));  // formed in 32 bits
        h = h * 31 + uint64_t(int64_t(product));
    }
    CVolMem block(bytes, n);
    return int64_t(uint64_t(int64_t(block.HashCode())) + uint64_t(n) * h);
}

double RoundToDecimals(double x, int n) noexcept {
    if (x >= -1e-6 && x <= 1e-6) return x;
    double p = std::pow(10.0, n);
    double m = std::fabs(x) * p + 1e-6;
    double whole = std::floor(m);
    if (m - whole >= 0.5) whole += 1;
    double r = whole / p;
    return x < 0 ? -r : r;
}

CWString FormatDuration(int64_t milliseconds) {
    double x = double(milliseconds);
    const wchar_t* unit = L" 毫秒";
    if (x >= 1000) {
        x /= 1000;
        unit = L" 秒";
        if (x >= 60) {
            x /= 60;
            unit = L" 分";
            if (x >= 60) {
                x /= 60;
                unit = L" 小时";
                if (x >= 24) {
                    x /= 24;
                    unit = L" 天";
                    if (x >= 30) {
                        x /= 30;
                        unit = L" 月";
                        if (x >= 12) {
                            x /= 12;
                            unit = L" 年";
                        }
                    }
                }
            }
        }
    }
    x = RoundToDecimals(x, 2);
    CWString text;
    if (x >= -1e-6 && x <= 1e-6) text = L"0";
    else text.AppendNumber(x);
    return text + unit;
}

}  // namespace uibridge

// Utility-layer helpers the controls need before the utility library is merged in. They follow the
// utility library's definitions; when util/ provides them, callers switch to those and this goes.
#pragma once
#include <cstdint>

#include "platform/text.h"

namespace uibridge {

// 64-bit hash of a byte block: CVolMem::HashCode + n * h, with h = h * 31 + byte * position.
int64_t HashBytes(const void* bytes, size_t n) noexcept;
// x rounded to n decimals, halves away from zero; unchanged within +-1e-6.
double RoundToDecimals(double x, int n) noexcept;
// A time span in the largest unit that fits: "500 毫秒", "1.5 秒", "1.5 分", "1 小时", "1 天", "1 月", "1 年".
CWString FormatDuration(int64_t milliseconds);

}  // namespace uibridge

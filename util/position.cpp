#include "util/position.h"

#include <cmath>

#include "platform/dpi.h"
#include "util/text_helpers.h"

void ParsePositionText(CWString& text, rg_DrenvikWeiZhiLei& record) {
    RemoveLeadingChar(text, L'"');
    RemoveTrailingChar(text, L'"');
    CWStringArray parts;
    SplitTextByAnyChar(text, parts, L",", true, true);
    if (parts.size() < 4) return;
    record.left = ScaleByDpi(int(WideTextToInt(parts[0])));
    record.top = ScaleByDpi(int(WideTextToInt(parts[1])));
    record.right = ScaleByDpi(int(WideTextToInt(parts[2])));
    record.bottom = ScaleByDpi(int(WideTextToInt(parts[3])));
    if (record.deriveSize) {
        record.width = record.right - record.left + 1;
        record.height = record.bottom - record.top + 1;
    }
}

int32_t EstimateTextHeight(std::wstring_view text, int32_t width, rg_DrenvikWeiZhiLei metrics) {
    if (metrics.IsEmptyObject()) {
        metrics.width = 6;
        metrics.height = 12;
        if (metrics.deriveSize) {
            metrics.right = metrics.left + 5;
            metrics.bottom = metrics.top + 11;
        }
    }
    // A width narrower than one character still fits one character per row.
    int32_t perRow = metrics.width > 0 ? width / metrics.width : 0;
    if (perRow < 1) perRow = 1;
    CWStringArray lines;
    SplitTextBySeparator(text, lines, L"\r\n");
    if (text.ends_with(L"\r\n")) lines.emplace_back(L"\r\n");
    long long rows = 0;
    for (const CWString& line : lines) {
        size_t bytes = TextToAnsiBytes(line, false).size();
        long long r = (long long)std::ceil(double(bytes + 1) / double(perRow));
        rows += r < 1 ? 1 : r;
    }
    return int32_t(rows * metrics.height);
}

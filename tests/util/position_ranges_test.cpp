#include <gtest/gtest.h>

#include "platform/dpi.h"
#include "util/position.h"
#include "util/ranges.h"

TEST(PositionRecord, DefaultsAndStream) {
    rg_DrenvikWeiZhiLei r;
    EXPECT_EQ(r.deriveSize, 1);
    r.end = 9;
    VolMemStream s;
    r.SaveToStream(&s);
    EXPECT_EQ(s.Data().GetSize(), 11u * 4);
    rg_DrenvikWeiZhiLei back;
    VolMemStream in(s.Data());
    back.LoadFromStream(&in);
    EXPECT_TRUE(back.IsEqual(r));
}

TEST(PositionRecord, ParsePositionText) {
    SetDpiFactorsForTest(1.5);
    CWString text = L"\"10,20.9,110,70\"";
    rg_DrenvikWeiZhiLei r;
    ParsePositionText(text, r);
    EXPECT_EQ(text, L"10,20.9,110,70");
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right, 165);
    EXPECT_EQ(r.bottom, 105);
    EXPECT_EQ(r.width, 151);
    EXPECT_EQ(r.height, 76);

    CWString three = L"\"1,2,3\"";
    rg_DrenvikWeiZhiLei same = r;
    ParsePositionText(three, r);
    EXPECT_EQ(three, L"1,2,3");
    EXPECT_TRUE(r.IsEqual(same));

    rg_DrenvikWeiZhiLei noSize;
    noSize.deriveSize = 0;
    CWString plain = L"1,2,3,4,5";
    ParsePositionText(plain, noSize);
    EXPECT_EQ(noSize.right, 4);  // 3 * 1.5
    EXPECT_EQ(noSize.width, 0);
    SetDpiFactorsForTest(1.0);
}

TEST(PositionRecord, EstimateTextHeight) {
    struct { const wchar_t* text; int width; int want; } cases[] = {
        {L"abc", 120, 12},
        {L"abc\r\n", 120, 36},
        {L"", 120, 0},
        {L"123456789012345678901234567890123456789012345", 120, 36},  // 45 bytes: 46 / 20 rows
        {L"中文", 120, 12},                                          // counted in ANSI bytes
        {L"abc", 0, 48},  // narrower than a character: one character per row, never a division by 0
        {L"abc", -5, 48},
    };
    for (auto& c : cases) EXPECT_EQ(EstimateTextHeight(c.text, c.width), c.want) << c.text << " " << c.width;
    rg_DrenvikWeiZhiLei m;
    m.width = 10;
    m.height = 20;
    EXPECT_EQ(EstimateTextHeight(L"abcdefghij", 50, m), 60);  // 11 / 5 rows
    m.width = 0;
    EXPECT_EQ(EstimateTextHeight(L"ab", 50, m), 60);
}

TEST(Ranges, SortAndMerge) {
    struct Case { RangeArray s, l, ws, wl; } cases[] = {
        {{5, 0, 5, 20}, {3, 2, 6, 1}, {0, 5, 20}, {2, 6, 1}},
        {{0, 2}, {2, 3}, {0}, {5}},
        {{0, 1}, {10, 2}, {0}, {10}},
        {{0, 4}, {2, 3}, {0, 4}, {2, 3}},
        {{}, {}, {}, {}},
        {{7}, {1}, {7}, {1}},
        {{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {0}, {10}},
        {{30, 10, 20}, {5, 5, 5}, {10, 20, 30}, {5, 5, 5}},
    };
    for (auto& c : cases) {
        RangeArray s = c.s, l = c.l;
        SortAndMergeRanges(s, l);
        EXPECT_EQ(s, c.ws);
        EXPECT_EQ(l, c.wl);
    }
    RangeArray s = {3, 3, 0}, l = {4, 4, 1}, comp = {7, 9, 5};
    SortAndMergeRanges(s, l, &comp);
    EXPECT_EQ(s, (RangeArray{0, 3}));
    EXPECT_EQ(l, (RangeArray{1, 4}));
    EXPECT_EQ(comp, (RangeArray{5, 9}));
}

// Sorting a list of text ranges by start and merging those that overlap or touch.
#pragma once
#include <cstdint>
#include <vector>

using RangeArray = std::vector<int32_t>;

// Starts and lengths (parallel) become sorted, with no two ranges overlapping or touching; a
// companion value per range (optional) moves with its range.
void SortAndMergeRanges(RangeArray& starts, RangeArray& lengths, RangeArray* companion = nullptr);
void SortRangesWithCompanion(RangeArray& starts, RangeArray& lengths, RangeArray& companion);
// On ranges sorted by start.
void MergeOverlappingRanges(RangeArray& starts, RangeArray& lengths, RangeArray* companion = nullptr);
// Drops the ranges whose start is -1.
void CompactRanges(int32_t count, int32_t marked, RangeArray& starts, RangeArray& lengths, RangeArray* companion = nullptr);

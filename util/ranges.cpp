#include "util/ranges.h"

#include <algorithm>

namespace {

void ShellSort(RangeArray& starts, RangeArray& lengths, RangeArray* companion) {
    const size_t n = std::min(starts.size(), lengths.size());
    if (n < 2) return;
    for (size_t gap = n / 2;; gap /= 2) {
        for (size_t i = gap; i < n; ++i) {
            int32_t s = starts[i], l = lengths[i], c = companion ? (*companion)[i] : 0;
            size_t j = i;
            for (; j >= gap && starts[j - gap] > s; j -= gap) {
                starts[j] = starts[j - gap];
                lengths[j] = lengths[j - gap];
                if (companion) (*companion)[j] = (*companion)[j - gap];
            }
            starts[j] = s;
            lengths[j] = l;
            if (companion) (*companion)[j] = c;
        }
        if (gap < 2) break;
    }
}

// A companion shorter than the ranges counts as absent.
RangeArray* Usable(RangeArray* companion, const RangeArray& starts) {
    return companion && companion->size() >= starts.size() ? companion : nullptr;
}

}  // namespace

void SortRangesWithCompanion(RangeArray& starts, RangeArray& lengths, RangeArray& companion) {
    ShellSort(starts, lengths, Usable(&companion, starts));
}

void CompactRanges(int32_t count, int32_t marked, RangeArray& starts, RangeArray& lengths, RangeArray* companion) {
    RangeArray s, l, c;
    const size_t keep = size_t(std::max(0, count - marked));
    s.reserve(keep);
    l.reserve(keep);
    if (companion) c.reserve(keep);
    for (size_t i = 0; i < size_t(count) && i < starts.size(); ++i) {
        if (starts[i] == -1) continue;
        s.push_back(starts[i]);
        l.push_back(lengths[i]);
        if (companion) c.push_back((*companion)[i]);
    }
    starts = std::move(s);
    lengths = std::move(l);
    if (companion) *companion = std::move(c);
}

void MergeOverlappingRanges(RangeArray& starts, RangeArray& lengths, RangeArray* companion) {
    companion = Usable(companion, starts);
    const int32_t n = int32_t(std::min(starts.size(), lengths.size()));
    long long end = -1;
    int32_t kept = -1, marked = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (starts[size_t(i)] > end) {
            kept = i;
            end = (long long)starts[size_t(i)] + lengths[size_t(i)];
            continue;
        }
        long long e = (long long)starts[size_t(i)] + lengths[size_t(i)];
        starts[size_t(i)] = -1;
        ++marked;
        if (e > end) {
            lengths[size_t(kept)] = int32_t(e - starts[size_t(kept)]);
            end = e;
        }
    }
    CompactRanges(n, marked, starts, lengths, companion);
}

void SortAndMergeRanges(RangeArray& starts, RangeArray& lengths, RangeArray* companion) {
    companion = Usable(companion, starts);
    ShellSort(starts, lengths, companion);
    const int32_t n = int32_t(std::min(starts.size(), lengths.size()));
    int32_t kept = -1, marked = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (kept < 0 || starts[size_t(i)] != starts[size_t(kept)]) {
            kept = i;
            continue;
        }
        if (lengths[size_t(i)] < lengths[size_t(kept)]) {
            starts[size_t(i)] = -1;
        } else {
            starts[size_t(kept)] = -1;
            kept = i;
        }
        ++marked;
    }
    CompactRanges(n, marked, starts, lengths, companion);
    MergeOverlappingRanges(starts, lengths, companion);
}

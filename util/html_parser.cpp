#include "util/html_parser.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "platform/system.h"

#include <ntsecapi.h>
#include "util/tag_attributes.h"
#include "util/text_helpers.h"

namespace {

CVolMem BytesOf(std::wstring_view text) { return CVolMem::ConstructFromText(text); }

// Whether a byte of the lower-cased page goes on with a tag name: "<div" before it starts a longer name.
constexpr bool ContinuesTagName(unsigned byte) noexcept {
    return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z');
}
// The same for the unit after a name, as the byte search reads it: its low byte, lower-cased.
bool UnitContinuesTagName(wchar_t u) noexcept { return ContinuesTagName(unsigned(AsciiLower(u)) & 0xFF); }

rg_DrenvikWeiZhiLei& RangeAt(const CVolObjectArray& a, int i) { return *static_cast<rg_DrenvikWeiZhiLei*>(a.GetAt(i)); }

bool PairMatches(const rg_DrenvikJianZhiLei& cond, const rg_DrenvikJianZhiLei& attr) {
    return (cond.key.empty() || cond.key == attr.key) && (cond.value.empty() || cond.value == attr.value);
}

bool AnyConditionMatches(const CVolObjectArray& conds, const CVolObjectArray& attrs) {
    for (int i = 0; i < conds.GetCount(); ++i)
        for (int j = 0; j < attrs.GetCount(); ++j)
            if (PairMatches(*static_cast<rg_DrenvikJianZhiLei*>(conds.GetAt(i)), *static_cast<rg_DrenvikJianZhiLei*>(attrs.GetAt(j))))
                return true;
    return false;
}

// Whether each of several start tags that share one ">" matches the conditions. `units` is the text
// from the first of them to that ">" as the tags read it, `starts` where each begins (ascending).
// Read one by one, every tag would read the rest of the text again ("<div class=x" 4,500 times
// before one ">"). Scans that reach the same state read the rest alike, so they are merged, and
// the few states that differ at any unit carry every tag's scan in one pass. A tag matches when a
// matching attribute was read by its own scan or by the merged scan it went on as.
std::vector<char> MatchSharedStartTags(std::wstring_view units, const std::vector<int32_t>& starts,
                                       const CVolObjectArray& conds) {
    struct Live {
        AttributeScanner scan;
        int32_t node;
    };
    std::vector<Live> live;
    std::vector<int32_t> mergedInto;  // per node: the node it went on as, -1 while it has not merged
    std::vector<char> read;           // per node: a matching attribute was read while it was live
    const auto newNode = [&] {
        mergedInto.push_back(-1);
        read.push_back(0);
        return int32_t(mergedInto.size() - 1);
    };
    CVolObjectArray pairs;
    int32_t node = -1;  // the node of the scan being stepped
    const auto onValue = [&](const AttributeScanner& s, int32_t first, int32_t last, int32_t) {
        if (read[size_t(node)]) return true;
        const CWString value = last < first ? CWString() : CWString(units.substr(size_t(first), size_t(last - first + 1)));
        pairs.RemoveAll();
        AppendAttributePairs(s.current, value, pairs);
        if (AnyConditionMatches(conds, pairs)) read[size_t(node)] = 1;
        return true;
    };
    const auto finishAll = [&](int32_t n) {
        for (Live& l : live) {
            node = l.node;
            l.scan.Finish(n, onValue);
        }
        live.clear();
    };
    std::vector<int32_t> nodeOf(starts.size());
    size_t next = 0;
    for (int32_t i = 0; i < int32_t(units.size()); ++i) {
        if (units[size_t(i)] == 0) {  // a tag's text ends at its first zero unit
            finishAll(i);
            continue;
        }
        for (; next < starts.size() && starts[next] == i; ++next) {
            nodeOf[next] = newNode();
            live.push_back({AttributeScanner(), nodeOf[next]});
        }
        for (Live& l : live) {
            node = l.node;
            l.scan.Step(units, i, onValue);
        }
        for (size_t a = 0; a < live.size(); ++a) {
            for (size_t b = a + 1; b < live.size();) {
                if (!live[a].scan.SameState(live[b].scan)) {
                    ++b;
                    continue;
                }
                const int32_t merged = newNode();
                mergedInto[size_t(live[a].node)] = mergedInto[size_t(live[b].node)] = merged;
                live[a].node = merged;
                live.erase(live.begin() + ptrdiff_t(b));
            }
        }
    }
    finishAll(int32_t(units.size()));
    // A merged node is made after the nodes that went on as it.
    std::vector<char> matched(read.size());
    for (size_t k = read.size(); k-- > 0;)
        matched[k] = read[k] || (mergedInto[k] >= 0 && matched[size_t(mergedInto[k])]);
    std::vector<char> result(starts.size());
    for (size_t j = 0; j < starts.size(); ++j) result[j] = matched[size_t(nodeOf[j])];
    return result;
}

// Hashes of stretches of units, two moduli wide, for comparing stretches in constant time. An equal
// hash is a hint only: every use checks the text itself before it relies on it. The bases are drawn
// once per run, so a page cannot be built for two texts with one hash.
std::atomic<uint64_t> gSetBase1{0}, gSetBase2{0};

struct UnitHashing {
    static constexpr uint64_t kMod1 = 2147483647, kMod2 = 1000000007;
    // The key of a stretch from its two hashes; the length is part of it.
    static uint64_t Key(uint64_t h1, uint64_t h2, uint64_t length) noexcept {
        return (h1 << 32 | h2) ^ (length * 0x9E3779B97F4A7C15ull);
    }
    UnitHashing() {
        static const std::pair<uint64_t, uint64_t> drawn = [] {
            uint64_t bits[2] = {0, 0};
            if (!RtlGenRandom(bits, sizeof bits)) {  // not expected; still differs from run to run
                LARGE_INTEGER t;
                ::QueryPerformanceCounter(&t);
                bits[0] = (uint64_t(t.QuadPart) ^ ::GetCurrentProcessId()) * 0x9E3779B97F4A7C15ull;
                bits[1] = (bits[0] ^ ::GetTickCount64()) * 0xBF58476D1CE4E5B9ull;
            }
            return std::pair{256 + bits[0] % (kMod1 - 257), 256 + bits[1] % (kMod2 - 257)};
        }();
        base1 = gSetBase1.load();
        base2 = gSetBase2.load();
        if (base1 == 0 || base2 == 0) std::tie(base1, base2) = drawn;
    }
    uint64_t base1, base2;
};

// The hashes of every stretch of a sequence of units appended one by one.
class StretchHashes : UnitHashing {
public:
    void Append(uint32_t unit) {
        if (h1_.empty()) h1_.push_back(0), h2_.push_back(0), p1_.push_back(1), p2_.push_back(1);
        h1_.push_back(uint32_t((uint64_t(h1_.back()) * base1 + unit + 1) % kMod1));
        h2_.push_back(uint32_t((uint64_t(h2_.back()) * base2 + unit + 1) % kMod2));
        p1_.push_back(uint32_t(uint64_t(p1_.back()) * base1 % kMod1));
        p2_.push_back(uint32_t(uint64_t(p2_.back()) * base2 % kMod2));
    }
    // Of units [from, to) in the order appended, followed by `last` when it is not negative; the
    // length is part of the key.
    uint64_t Of(size_t from, size_t to, int32_t last = -1) const {
        if (to <= from && last < 0) return 0;
        if (to < from) to = from;
        uint64_t a = (h1_[to] + kMod1 - uint64_t(h1_[from]) * p1_[to - from] % kMod1) % kMod1;
        uint64_t b = (h2_[to] + kMod2 - uint64_t(h2_[from]) * p2_[to - from] % kMod2) % kMod2;
        if (last < 0) return Key(a, b, to - from);
        a = (a * base1 + uint64_t(last) + 1) % kMod1;
        b = (b * base2 + uint64_t(last) + 1) % kMod2;
        return Key(a, b, to - from + 1);
    }

private:
    std::vector<uint32_t> h1_, h2_, p1_, p2_;
};

// With no tag name every start tag is closed by "</" + its own name + ">", and the name of a start
// tag sharing one ">" with many others is the rest of them ("<<<<...>"): building the name and a
// nesting index for each costs the page again per tag. Most names have no closing tag at all; this
// tells which, from hashes of the names and of every closing tag's name, both read in the byte
// frame (even or odd offset) of their "<".
class ClosingNames {
public:
    ClosingNames(const CVolMem& page, const CVolMem& lower) {
        const size_t size = lower.GetSize();
        for (int f = 0; f < 2; ++f) {
            Frame& fr = frames_[f];
            const size_t units = size >= size_t(f) ? (size - size_t(f)) / 2 : 0;
            fr.stop.assign(units + 1, int32_t(units));
            fr.kept.assign(units + 1, 0);
            std::vector<int32_t> nextGt(units + 1, int32_t(units));
            StretchHashes lowerUnits;
            // Unit k of a byte block read from byte f on.
            const auto unit = [f](const CVolMem& block, size_t k) {
                return wchar_t(block[size_t(f) + 2 * k] | block[size_t(f) + 2 * k + 1] << 8);
            };
            for (size_t k = 0; k < units; ++k) {
                const wchar_t u = unit(page, k), l = unit(lower, k);
                lowerUnits.Append(l);
                fr.kept[k + 1] = fr.kept[k] + (u != L'/');
                if (u != L'/') fr.name.Append(AsciiLower(u));
            }
            lowerUnits.Append(0);
            if (fr.kept[units] == 0) fr.name.Append(0);
            for (size_t k = units; k-- > 0;) {
                const wchar_t u = unit(page, k), l = unit(lower, k);
                fr.stop[k] = (u == L' ' || u == L'\r' || u == L'\n' || u == L'>') ? int32_t(k) : fr.stop[k + 1];
                nextGt[k] = l == L'>' ? int32_t(k) : nextGt[k + 1];
            }
            // Every "</" of this frame, by the name up to the ">" after it.
            for (size_t k = 0; k + 1 < units; ++k) {
                if (unit(lower, k) != L'<' || unit(lower, k + 1) != L'/' || nextGt[k + 2] == int32_t(units)) continue;
                closings_[lowerUnits.Of(k + 2, size_t(nextGt[k + 2]))].push_back(int32_t(f + 2 * k));
            }
        }
        for (auto& [key, at] : closings_) std::sort(at.begin(), at.end());
    }

    // Whether "</" + the tag name GetTagName reads from the start tag at byte w, whose ">" is the
    // byte pair at g, + ">" may stand at or after byte w + 1 (false only when it surely does not).
    bool MayClose(int32_t w, long long g) const {
        const int f = w & 1;
        const Frame& fr = frames_[f];
        const size_t first = size_t(w - f) / 2 + 1;  // the unit after "<"
        const size_t last = size_t(((g - w) % 2 == 0 ? g : g - 1) - f) / 2;  // the start tag's last unit
        if (first > last) return true;
        const size_t end = std::min(size_t(fr.stop[first]), last + 1);
        const auto it = closings_.find(fr.name.Of(size_t(fr.kept[first]), size_t(fr.kept[end])));
        if (it == closings_.end()) return false;
        return std::upper_bound(it->second.begin(), it->second.end(), w) != it->second.end();
    }

    // The length in units of the name GetTagName reads from that start tag.
    int32_t NameUnits(int32_t w, long long g) const {
        const int f = w & 1;
        const Frame& fr = frames_[f];
        const size_t first = size_t(w - f) / 2 + 1;
        const size_t last = size_t(((g - w) % 2 == 0 ? g : g - 1) - f) / 2;
        if (first > last) return 0;
        return fr.kept[std::min(size_t(fr.stop[first]), last + 1)] - fr.kept[first];
    }

private:
    struct Frame {
        StretchHashes name;          // lower-cased units but "/"
        std::vector<int32_t> kept;   // per unit: how many units before it are not "/"
        std::vector<int32_t> stop;   // per unit: the first blank, line break or ">" at or after it
    };
    Frame frames_[2];
    std::unordered_map<uint64_t, std::vector<int32_t>> closings_;
};

// Shell sort of indexes by key (gaps n/2, n/4, ..., 1), then the records put in that order. They
// are moved, not copied: a copy of each would make as many records again, and past the memory
// pool's blocks every one of them is a heap allocation.
template <class Key>
void SortRanges(CVolObjectArray& ranges, Key key, bool reverse) {
    const int n = ranges.GetCount();
    std::vector<int> order(static_cast<size_t>(n));
    std::vector<long long> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        order[size_t(i)] = i;
        keys[size_t(i)] = key(RangeAt(ranges, i));
    }
    for (int gap = n / 2; gap > 0; gap /= 2)
        for (int i = gap; i < n; ++i)
            for (int j = i; j >= gap && keys[size_t(order[size_t(j)])] < keys[size_t(order[size_t(j - gap)])]; j -= gap)
                std::swap(order[size_t(j)], order[size_t(j - gap)]);
    if (reverse) std::reverse(order.begin(), order.end());
    ranges.Reorder(order);
}

// Where the elements of one tag name end. The end of an element starting at w is the first
// closing tag after w before which the openings and closings after w balance: the first point where
// the running depth falls below its value at w. One pass gives, for every tag, the next tag at which
// the depth is lower, so each element's end is a binary search away, however deep the nesting.
class NestingIndex {
public:
    NestingIndex(std::vector<int32_t> opens, std::vector<int32_t> closes)
        : opens_(std::move(opens)), closes_(std::move(closes)) {
        // A closing and an opening at one offset: the closing is tested before that opening counts.
        positions_.reserve(opens_.size() + closes_.size());
        std::vector<int32_t> depth{0};  // depth[k]: after the first k tags
        depth.reserve(opens_.size() + closes_.size() + 1);
        for (size_t i = 0, j = 0; i < opens_.size() || j < closes_.size();) {
            const bool closing = j < closes_.size() && (i == opens_.size() || closes_[j] <= opens_[i]);
            positions_.push_back(closing ? closes_[j++] : opens_[i++]);
            depth.push_back(depth.back() + (closing ? -1 : 1));
        }
        falls_.assign(depth.size(), -1);
        std::vector<int32_t> later;  // indexes to the right with increasing depth
        for (size_t k = depth.size(); k-- > 0;) {
            while (!later.empty() && depth[size_t(later.back())] >= depth[k]) later.pop_back();
            if (!later.empty()) falls_[k] = later.back();
            later.push_back(int32_t(k));
        }
    }

    // The closing tag that ends the element starting at w, or -1; `counts` gets the openings and
    // closings between w and that closing (or the last closing tested when none balances).
    int32_t EndOf(int32_t w, VolTagCounts& counts) const {
        const size_t before = size_t(std::upper_bound(positions_.begin(), positions_.end(), w) - positions_.begin());
        const int32_t fall = falls_[before];
        const int32_t end = fall < 0 ? -1 : positions_[size_t(fall) - 1];
        int32_t limit = end;
        if (limit < 0) limit = closes_.empty() || closes_.back() <= w ? w + 1 : closes_.back();
        counts.opening = Between(opens_, w, limit);
        counts.closing = Between(closes_, w, limit);
        return end;
    }

private:
    static int32_t Between(const std::vector<int32_t>& sorted, int32_t after, int32_t before) {
        auto from = std::upper_bound(sorted.begin(), sorted.end(), after);
        return int32_t(std::lower_bound(from, sorted.end(), before) - from);
    }
    std::vector<int32_t> opens_, closes_, positions_, falls_;
};

// Whether a recorded range is a non-empty stretch of whole units of a page of n units.
bool OnWholeUnits(const rg_DrenvikWeiZhiLei& r, size_t n) noexcept {
    return r.start >= 0 && r.start < r.end && ((r.start | r.end) & 1) == 0 && size_t(r.end / 2) <= n;
}

}  // namespace

// Taking away every element's own stretch at once gives the text of the element-by-element removal
// when each of those removals meets its own element (or an equal one, or finds it already gone
// with a longer one), which holds when:
// - every tag and ">" lies on a unit boundary (no unit 0x3Cxx or 0x3Exx), and the tag name is
//   plain, so any occurrence of an element's text is itself an element with that text;
// - elements nest and never cross, so a removed stretch never cuts another one short;
// - no removed element stands where a "<" without a ">" after it, which could still begin the
//   tag's start tag or closing tag, comes before it: joining the text around a removed stretch can
//   then never make a new tag;
// - no unclosed element is followed by another removed start tag alone while a closed element
//   starts with the same tag: a start tag taken away can then never close it into a copy of one.
bool RemoveElementsAtOnce(const CWString& page, const CVolObjectArray& ranges, std::wstring_view tagName,
                          std::wstring_view keepKeywords, CWString& out) {
    if (tagName.empty()) return false;
    for (wchar_t u : tagName)
        if (!((u >= L'a' && u <= L'z') || (u >= L'0' && u <= L'9') || u == L'-' || u == L'_' || u == L':' || u == L'.'))
            return false;
    for (wchar_t u : page)
        if ((u >> 8) == 0x3C || (u >> 8) == 0x3E) return false;

    struct Element {
        int32_t start, end, tagEnd;  // units; tagEnd is just past the start tag's ">"
        bool keep;
    };
    // As MatchKeywords in mode 0 reads them, split once for every start tag.
    CWStringArray keepWords;
    SplitTextByAnyChar(keepKeywords, keepWords, L"|", true, true);
    const size_t n = page.size();
    std::vector<Element> elements(size_t(ranges.GetCount()));
    size_t tagUnits = 0;
    size_t greater = 0;  // the first ">" after the last element's start
    for (size_t i = 0; i < elements.size(); ++i) {
        const rg_DrenvikWeiZhiLei& r = RangeAt(ranges, int(i));
        if (!OnWholeUnits(r, n)) return false;
        Element& e = elements[i];
        e.start = r.start / 2;
        e.end = r.end / 2;
        if (i > 0 && e.start <= elements[i - 1].start) return false;
        if (page[size_t(e.start)] != L'<' || !EqualsNoCase(std::wstring_view(page).substr(size_t(e.start) + 1, tagName.size()), tagName))
            return false;
        if (greater <= size_t(e.start)) greater = page.find(L'>', size_t(e.start) + 1);
        if (greater == CWString::npos || int32_t(greater) >= e.end) return false;
        e.tagEnd = int32_t(greater) + 1;
        // Start tags that share one ">" hold one another; reading each for its keep-keywords is
        // left to the element-by-element removal.
        tagUnits += size_t(e.tagEnd - e.start);
        if (tagUnits > 4 * n + 1024) return false;
        const std::wstring_view inside = std::wstring_view(page).substr(size_t(e.start) + 1, size_t(e.tagEnd - e.start - 2));
        e.keep = std::any_of(keepWords.begin(), keepWords.end(),
                             [&](const CWString& word) { return FindWText(inside, word, 0, true) >= 0; });
    }

    // A "<" with no ">" after it, up to where an element is taken away, could start this tag's
    // start tag once joined to the text after the element while it still reads as "<" and the tag
    // name (or a beginning of them), followed by what is no letter or digit. As a text that does
    // not read so cannot come to read so by growing, a stretch taken away after it is safe too.
    const auto couldStartTag = [&](size_t lt, size_t end) {
        const size_t name = 1 + tagName.size();
        for (size_t i = 1; i < std::min(end - lt, name); ++i)
            if (AsciiLower(page[lt + i]) != tagName[i - 1]) return false;
        if (end - lt <= name) return true;
        return !UnitContinuesTagName(page[lt + name]);
    };
    // Nor may it start a closing tag of the tag ("</" and the name, or a beginning of them): joined
    // to a ">" after the element it could close an element before it into a copy of another.
    const auto couldStartClosing = [&](size_t lt, size_t end) {
        if (end - lt == 1) return true;
        if (page[lt + 1] != L'/' || end - lt > 2 + tagName.size()) return false;
        for (size_t i = lt + 2; i < end; ++i)
            if (AsciiLower(page[i]) != tagName[i - lt - 2]) return false;
        return true;
    };
    std::vector<int32_t> open;  // ends of the elements that hold the current one
    size_t scanned = 0;
    size_t lastMark = CWString::npos;  // the last "<" or ">" before the current element
    std::unordered_set<std::wstring_view> closedTags;
    for (const Element& e : elements) {
        while (!open.empty() && open.back() <= e.start) open.pop_back();
        if (!open.empty() && e.end > open.back()) return false;  // crossing
        open.push_back(e.end);
        for (; scanned < size_t(e.start); ++scanned)
            if (page[scanned] == L'<' || page[scanned] == L'>') lastMark = scanned;
        if (e.keep) continue;
        if (lastMark != CWString::npos && page[lastMark] == L'<' &&
            (couldStartTag(lastMark, size_t(e.start)) || couldStartClosing(lastMark, size_t(e.start))))
            return false;
        if (e.end > e.tagEnd) closedTags.insert(std::wstring_view(page).substr(size_t(e.start), size_t(e.tagEnd - e.start)));
    }
    bool unclosedLikeClosed = false;
    for (const Element& e : elements) {
        if (e.keep || e.end > e.tagEnd) continue;
        if (unclosedLikeClosed) return false;
        const std::wstring_view tag = std::wstring_view(page).substr(size_t(e.start), size_t(e.tagEnd - e.start));
        unclosedLikeClosed = !tag.ends_with(L"/>") && closedTags.contains(tag);
    }

    CWString kept;
    kept.reserve(n);
    size_t copied = 0;
    for (const Element& e : elements) {
        if (e.keep || size_t(e.start) < copied) continue;  // kept, or gone with a longer one
        kept.append(page, copied, size_t(e.start) - copied);
        copied = size_t(e.end);
    }
    kept.append(page, copied, CWString::npos);
    out = std::move(kept);
    return true;
}

// Removal of elements one at a time, the first occurrence of each element's text in the page as it
// then is, without searching the page from its start for each. Where an occurrence of an element's
// text X can stand in the page as it is after some removals:
// - X begins with its start tag, "<" and the tag name, so an occurrence begins at a tag start, and
//   the tag starts, closing tags and ">" inside an occurrence are those of X. So X (a closed element)
//   occurs at q only when the element read at q is X, and a start tag alone (unclosed or self-closing)
//   only when the start tag read at q is X. In the page as first given, the occurrences of X are
//   thus the starts of the elements with X's text, or of the tags with X as their start tag (the
//   bytes of an element that reads as units do are the same at every such start, and so is what
//   the search over bytes found there).
// - A stretch of the page untouched by removals reads as it first did. An occurrence that is not such
//   a stretch has a removal point (a join) inside it: the element or start tag read at q holds a join.
//   A removal changes only the elements and start tags that hold its join (tags after it read the
//   same text, tags before it whose element ended before it end there still), so every tag start
//   whose element or start tag holds a join is noted when that join is made, or when a later
//   removal makes its element reach over it, and the noted tags are the only other candidates.
//   They are found by the hash of their start tag and element as the page now reads.
// Elements are tracked by depth: a running count of the tag starts (+1) and closing tags (-1) of the
// tag, each at its "<", in a tree of sums and least prefix sums.
namespace {

// Whether RemoveTags keeps an element: one of the keep-keywords stands in its start tag.
bool KeptByKeywords(std::wstring_view element, std::wstring_view keepKeywords) {
    if (keepKeywords.empty()) return false;
    int32_t pos = 0, hit = 0;
    return MatchKeywords(GetTextBetween(element, L"<", L">", pos, false, true), keepKeywords, 0, L"", L"|", hit);
}

// Next (or previous) index still in use, over removals only.
class Skipper {
public:
    Skipper(size_t n, bool forward) : link_(n + 1), forward_(forward) {
        for (size_t i = 0; i <= n; ++i) link_[i] = int32_t(i);
    }
    // Forward: the first index >= i not removed (n never is). Backward: the last index <= i not
    // removed; callers shift their indexes by one, so that 0 (never removed) stands for none.
    int32_t Find(int32_t i) {
        int32_t r = i;
        while (link_[size_t(r)] != r) r = link_[size_t(r)];
        while (link_[size_t(i)] != r) {
            const int32_t next = link_[size_t(i)];
            link_[size_t(i)] = r;
            i = next;
        }
        return r;
    }
    void Remove(int32_t i) { link_[size_t(i)] = forward_ ? i + 1 : i - 1; }

private:
    std::vector<int32_t> link_;
    bool forward_;
};

class RemovedCounts {  // Fenwick tree of removed units
public:
    explicit RemovedCounts(size_t n) : tree_(n + 1, 0) {}
    void Add(size_t i) {
        for (++i; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
    }
    int32_t Before(size_t i) const {
        int32_t s = 0;
        for (; i > 0; i -= i & (~i + 1)) s += tree_[i];
        return s;
    }
    bool AnyIn(size_t from, size_t to) const { return Before(to) != Before(from); }
    // The index of the k-th unit not removed, counted from 1; n when fewer are left.
    size_t KthKept(int32_t k) const {
        size_t pos = 0, step = 1;
        while (step * 2 < tree_.size()) step *= 2;
        for (; step > 0; step /= 2) {
            if (pos + step >= tree_.size()) continue;
            const int32_t kept = int32_t(step) - tree_[pos + step];
            if (kept < k) {
                pos += step;
                k -= kept;
            }
        }
        return pos;
    }

private:
    std::vector<int32_t> tree_;
};

// Values +1, -1 or 0 at the "<" of the page; sums and least non-empty prefix sums.
class DepthTree {
public:
    explicit DepthTree(size_t n) : n_(n) {
        while (size_ < std::max<size_t>(n, 1)) size_ *= 2;
        sum_.assign(2 * size_, 0);
        least_.assign(2 * size_, kNone);
        for (size_t i = 0; i < n; ++i) least_[size_ + i] = 0;
        for (size_t i = size_; i-- > 1;) Pull(i);
    }
    void Set(size_t i, int v) {
        i += size_;
        sum_[i] = least_[i] = v;
        for (i /= 2; i >= 1; i /= 2) Pull(i);
    }
    int Value(size_t i) const { return sum_[size_ + i]; }
    // Sum of the values before i.
    int Before(size_t i) const {
        int s = 0;
        for (size_t lo = size_, hi = size_ + i; lo < hi; lo /= 2, hi /= 2) {
            if (lo & 1) s += sum_[lo++];
            if (hi & 1) s += sum_[--hi];
        }
        return s;
    }
    // Least sum of the values from i to some index after it (kNone when i is past the last).
    int LeastFrom(size_t i) const { return i >= n_ ? kNone : Least(1, 0, size_, i, 0).first; }
    // The last index z < limit at which the sum of the values up to z, z included, is <= t; -1 none.
    long long LastAtMost(size_t limit, int t) const { return Last(1, 0, size_, limit, 0, t); }
    // The first index z >= from at which the sum of the values up to z, z included, is <= t; -1 none.
    long long FirstAtMost(size_t from, int t) const { return First(1, 0, size_, from, 0, t); }

    static constexpr int kNone = 1 << 29;

private:
    void Pull(size_t i) {
        sum_[i] = sum_[2 * i] + sum_[2 * i + 1];
        least_[i] = std::min(least_[2 * i], least_[2 * i + 1] == kNone ? kNone : sum_[2 * i] + least_[2 * i + 1]);
    }
    // (least prefix of [from, end), sum) within node i covering [lo, hi).
    std::pair<int, int> Least(size_t i, size_t lo, size_t hi, size_t from, int) const {
        if (hi <= from) return {kNone, 0};
        if (lo >= from) return {least_[i], sum_[i]};
        const size_t mid = (lo + hi) / 2;
        const auto l = Least(2 * i, lo, mid, from, 0);
        const auto r = Least(2 * i + 1, mid, hi, from, 0);
        return {std::min(l.first, r.first == kNone ? kNone : l.second + r.first), l.second + r.second};
    }
    long long First(size_t i, size_t lo, size_t hi, size_t from, int before, int t) const {
        if (hi <= from || lo >= n_) return -1;
        if (lo >= from && before + least_[i] > t) return -1;
        if (hi - lo == 1) return (long long)lo;
        const size_t mid = (lo + hi) / 2;
        const long long l = First(2 * i, lo, mid, from, before, t);
        return l >= 0 ? l : First(2 * i + 1, mid, hi, from, before + sum_[2 * i], t);
    }
    long long Last(size_t i, size_t lo, size_t hi, size_t limit, int before, int t) const {
        if (lo >= limit || lo >= n_) return -1;
        if (hi <= limit && before + least_[i] > t) return -1;
        if (hi - lo == 1) return (long long)lo;
        const size_t mid = (lo + hi) / 2;
        const long long r = Last(2 * i + 1, mid, hi, limit, before + sum_[2 * i], t);
        return r >= 0 ? r : Last(2 * i, lo, mid, limit, before, t);
    }
    size_t n_, size_ = 1;
    std::vector<int> sum_, least_;
};

// The hashes StretchHashes gives, of the units of a stretch still in use, as units are removed.
class LiveHashes : UnitHashing {
public:
    explicit LiveHashes(std::wstring_view units) : n_(units.size()) {
        while (size_ < std::max<size_t>(n_, 1)) size_ *= 2;
        nodes_.assign(2 * size_, Node{});
        pow1_.assign(n_ + 1, 1);
        pow2_.assign(n_ + 1, 1);
        for (size_t i = 1; i <= n_; ++i) {
            pow1_[i] = pow1_[i - 1] * base1 % kMod1;
            pow2_[i] = pow2_[i - 1] * base2 % kMod2;
        }
        for (size_t i = 0; i < n_; ++i) nodes_[size_ + i] = Node{1, uint64_t(units[i]) + 1, uint64_t(units[i]) + 1};
        for (size_t i = size_; i-- > 1;) nodes_[i] = Join(nodes_[2 * i], nodes_[2 * i + 1]);
    }
    void Remove(size_t i) {
        i += size_;
        nodes_[i] = Node{};
        for (i /= 2; i >= 1; i /= 2) nodes_[i] = Join(nodes_[2 * i], nodes_[2 * i + 1]);
    }
    // Of the units in use at [from, to), as StretchHashes::Of of them in a row.
    uint64_t Of(size_t from, size_t to) const {
        Node l, r;
        for (size_t lo = from + size_, hi = to + size_; lo < hi; lo /= 2, hi /= 2) {
            if (lo & 1) l = Join(l, nodes_[lo++]);
            if (hi & 1) r = Join(nodes_[--hi], r);
        }
        const Node all = Join(l, r);
        return all.count == 0 ? 0 : Key(all.h1, all.h2, all.count);
    }

private:
    struct Node {
        uint64_t count = 0, h1 = 0, h2 = 0;
    };
    Node Join(const Node& a, const Node& b) const {
        return Node{a.count + b.count, (a.h1 * pow1_[b.count] + b.h1) % kMod1, (a.h2 * pow2_[b.count] + b.h2) % kMod2};
    }
    size_t n_, size_ = 1;
    std::vector<Node> nodes_;
    std::vector<uint64_t> pow1_, pow2_;
};

}  // namespace

bool RemoveElementsInTurn(CWString& page, const CVolObjectArray& ranges, std::wstring_view tagName,
                          std::wstring_view keepKeywords) {
    // A name of "<", ">" or "/" would make tags inside tags, or read a closing tag as a start tag;
    // names come lower-cased.
    if (tagName.empty()) return false;
    for (wchar_t u : tagName)
        if (u == L'<' || u == L'>' || u == L'/' || u == 0 || (u >= L'A' && u <= L'Z')) return false;
    const std::wstring_view P(page);
    const size_t n = P.size();
    const size_t count = size_t(ranges.GetCount());
    // Elements that do not read as the units do (below); they are searched for by their text.
    std::vector<char> odd(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const rg_DrenvikWeiZhiLei& r = RangeAt(ranges, int(i));
        odd[i] = !OnWholeUnits(r, n) || P[size_t(r.start / 2)] != L'<';
    }

    std::vector<int32_t> lts, gts;  // every "<" and ">"
    for (size_t i = 0; i < n; ++i) {
        if (P[i] == L'<') lts.push_back(int32_t(i));
        if (P[i] == L'>') gts.push_back(int32_t(i));
    }
    // The number of the "<" at unit p, or of the first after it.
    const auto ltIndex = [&lts](int32_t p) { return size_t(std::lower_bound(lts.begin(), lts.end(), p) - lts.begin()); };
    Skipper next(n, true), prev(n, false);  // units; prev is shifted by one
    Skipper prevGt(gts.size(), false), prevLt(lts.size(), false);
    RemovedCounts removed(n);
    DepthTree depth(lts.size());
    const int32_t nameLength = int32_t(tagName.size());
    const auto at = [&](int32_t i) { return next.Find(i); };  // the first unit in use at or after i
    // What the "<" at p starts in the page as it now is: a tag start (+1), a closing tag (-1), or neither.
    const auto tagAt = [&](int32_t p) {
        int32_t x = at(p + 1);
        const bool closing = x < int32_t(n) && P[size_t(x)] == L'/';
        if (closing) x = at(x + 1);
        for (int32_t k = 0; k < nameLength; ++k, x = at(x + 1))
            if (x >= int32_t(n) || AsciiLower(P[size_t(x)]) != tagName[size_t(k)]) return 0;
        if (closing) return x < int32_t(n) && P[size_t(x)] == L'>' ? -1 : 0;
        if (x >= int32_t(n)) return 1;
        return UnitContinuesTagName(P[size_t(x)]) ? 0 : 1;
    };
    std::set<size_t> tagStarts;  // the "<" that start the tag, by number
    const auto setDepth = [&](size_t i, int v) {
        depth.Set(i, v);
        if (v == 1) tagStarts.insert(i);
        else tagStarts.erase(i);
    };
    for (size_t i = 0; i < lts.size(); ++i) setDepth(i, tagAt(lts[i]));
    const auto greaterAfter = [&](int32_t p) {
        const auto it = std::upper_bound(gts.begin(), gts.end(), p);
        return it == gts.end() ? -1 : *it;
    };
    // The elements were found over bytes, where a unit 0x3Cxx or 0x3Exx followed by one whose low
    // byte is 0 holds a "<" or ">" half a unit off: a tag or start tag end there, or an element
    // that counted one, is no element of the units. An element reads as units do when it is its
    // start tag alone (up to the first ">"), or the tag start and the closing tag that balances it.
    for (size_t i = 0; i < count; ++i) {
        if (odd[i]) continue;
        const rg_DrenvikWeiZhiLei& r = RangeAt(ranges, int(i));
        const int32_t s = r.start / 2, e = r.end / 2;
        const size_t k = ltIndex(s);
        const int32_t g = greaterAfter(s);
        if (depth.Value(k) != 1) {
            odd[i] = 1;
        } else if (g < 0 || e != g + 1) {
            const long long z = depth.FirstAtMost(k + 1, depth.Before(k));
            odd[i] = z < 0 || depth.Value(size_t(z)) != -1 || lts[size_t(z)] + nameLength + 3 != e;
        }
    }

    // Where each text first stood: the starts of the elements, and of the tags by their start tag,
    // one list per text. Texts are told apart by hash, and by the text itself where hashes meet.
    StretchHashes hashes;
    for (wchar_t u : P) hashes.Append(u);
    hashes.Append(0);
    struct Places {
        std::vector<int32_t> at;
        int32_t length = 0;
        size_t first = 0;  // those before it no longer stand whole
    };
    std::vector<Places> places;
    std::unordered_map<uint64_t, std::vector<size_t>> elementPlaces, startTagPlaces;
    const auto placeOf = [&](std::unordered_map<uint64_t, std::vector<size_t>>& byText, int32_t at, int32_t length) {
        std::vector<size_t>& same = byText[hashes.Of(size_t(at), size_t(at + length))];
        for (size_t j : same) {
            if (places[j].length == length && P.substr(size_t(places[j].at[0]), size_t(length)) == P.substr(size_t(at), size_t(length))) {
                places[j].at.push_back(at);
                return j;
            }
        }
        same.push_back(places.size());
        places.push_back(Places{{at}, length});
        return places.size() - 1;
    };
    std::vector<size_t> placesOf(count, SIZE_MAX);
    for (size_t i = 0; i < count; ++i) {
        const rg_DrenvikWeiZhiLei& r = RangeAt(ranges, int(i));
        const int32_t s = r.start / 2, length = (r.end - r.start) / 2, g = odd[i] ? -1 : greaterAfter(s);
        if (!odd[i] && g + 1 - s != length) placesOf[i] = placeOf(elementPlaces, s, length);
    }
    std::vector<size_t> startTagPlacesOf(lts.size(), SIZE_MAX);
    for (size_t i = 0; i < lts.size(); ++i) {
        const int32_t g = depth.Value(i) == 1 ? greaterAfter(lts[i]) : -1;
        if (g >= 0) startTagPlacesOf[i] = placeOf(startTagPlaces, lts[i], g + 1 - lts[i]);
    }
    for (size_t i = 0; i < count; ++i)
        if (!odd[i] && placesOf[i] == SIZE_MAX) placesOf[i] = startTagPlacesOf[ltIndex(RangeAt(ranges, int(i)).start / 2)];
    for (Places& p : places) std::sort(p.at.begin(), p.at.end());

    // Tag starts whose element or start tag may hold a join, by the hash of that start tag, and of
    // that element when a closing tag closes it; read again whenever a removal changes them.
    LiveHashes live(P);
    Skipper nextGt(gts.size(), true);
    std::unordered_map<uint64_t, std::set<int32_t>> notedByStartTag, notedByElement;
    struct NotedKeys {
        uint64_t startTag = 0, element = 0;  // 0: none
    };
    std::unordered_map<int32_t, NotedKeys> notedKeys;
    const auto forget = [&](int32_t q) {
        const auto it = notedKeys.find(q);
        if (it == notedKeys.end()) return;
        if (it->second.startTag) notedByStartTag[it->second.startTag].erase(q);
        if (it->second.element) notedByElement[it->second.element].erase(q);
        notedKeys.erase(it);
    };
    // Notes q as it now reads; false, noting nothing, when its element is longer than `longest`.
    const auto note = [&](int32_t q, int32_t longest) {
        NotedKeys keys;
        const size_t k = ltIndex(q);
        const long long z = depth.FirstAtMost(k + 1, depth.Before(k));
        if (z >= 0) {
            int32_t x = lts[size_t(z)];
            for (int32_t u = 1; u < nameLength + 3; ++u) x = at(x + 1);
            if (x + 1 - q - (removed.Before(size_t(x) + 1) - removed.Before(size_t(q))) > longest) return false;
            keys.element = live.Of(size_t(q), size_t(x) + 1);
        }
        const int32_t gi = nextGt.Find(int32_t(std::upper_bound(gts.begin(), gts.end(), q) - gts.begin()));
        if (gi < int32_t(gts.size())) keys.startTag = live.Of(size_t(q), size_t(gts[size_t(gi)]) + 1);
        forget(q);
        if (keys.startTag) notedByStartTag[keys.startTag].insert(q);
        if (keys.element) notedByElement[keys.element].insert(q);
        notedKeys[q] = keys;
        return true;
    };
    constexpr int32_t kAnyLength = 0x7FFFFFFF;
    std::vector<size_t> window;  // the "<" read again after a removal
    const auto textAt = [&](int32_t q, int32_t s, int32_t length) {  // the page as it now is, from q
        for (int32_t k = 0, x = q; k < length; ++k, x = at(x + 1))
            if (x >= int32_t(n) || P[size_t(x)] != P[size_t(s + k)]) return false;
        return true;
    };
    std::vector<int32_t> joins;  // where each removal began
    const auto removeAt = [&](int32_t f, int32_t length) {
        joins.push_back(f);
        int32_t x = f;
        for (int32_t k = 0; k < length; ++k) {
            removed.Add(size_t(x));
            live.Remove(size_t(x));
            next.Remove(x);
            prev.Remove(x + 1);
            if (P[size_t(x)] == L'<') {
                const size_t i = ltIndex(x);
                setDepth(i, 0);
                prevLt.Remove(int32_t(i) + 1);
                forget(x);
            } else if (P[size_t(x)] == L'>') {
                const int32_t i = int32_t(std::lower_bound(gts.begin(), gts.end(), x) - gts.begin());
                prevGt.Remove(i + 1);
                nextGt.Remove(i);
            }
            x = at(x + 1);
        }
        // The elements that hold a place: the tag starts still open there that a closing tag
        // further on closes, innermost first. The elements still to remove are no longer than this
        // one; an element longer holds all those outside it, and each of them is noted again if a
        // removal ever takes it down to their length.
        const auto noteHolders = [&](size_t j) {
            const int d = depth.Before(j);
            const int after = depth.LeastFrom(j);
            if (after == DepthTree::kNone || after >= 0) return;
            size_t limit = j;
            for (int level = d - 1; level >= d + after; --level) {
                // The tag start at the last place before the limit where the depth is at most level.
                const long long z = limit > 0 ? depth.LastAtMost(limit - 1, level) : -1;
                const long long y = z >= 0 ? z + 1 : (level >= 0 && limit > 0 ? 0 : -1);
                if (y < 0 || size_t(y) >= limit) break;
                if (depth.Value(size_t(y)) == 1 && !note(lts[size_t(y)], length)) break;
                limit = size_t(y);
            }
        };
        // A "<" just before the join may start another tag now, or none; a closing tag made there
        // closes elements that hold the join.
        window.clear();
        for (int32_t k = 0, y = prev.Find(f) - 1; k < nameLength + 3 && y >= 0; ++k, y = prev.Find(y) - 1) {
            if (P[size_t(y)] != L'<') continue;
            const size_t i = ltIndex(y);
            setDepth(i, tagAt(y));
            window.push_back(i);
        }
        const size_t j = ltIndex(f);
        noteHolders(j);
        for (size_t i : window) noteHolders(i);
        // The start tags that hold the join: those after the last ">" before it.
        const int32_t lastGt = [&] {
            const size_t g = size_t(std::lower_bound(gts.begin(), gts.end(), f) - gts.begin());
            const int32_t k = prevGt.Find(int32_t(g));
            return k == 0 ? -1 : gts[size_t(k - 1)];
        }();
        for (int32_t k = prevLt.Find(int32_t(j)); k > 0 && lts[size_t(k - 1)] > lastGt; k = prevLt.Find(k - 1))
            if (depth.Value(size_t(k - 1)) == 1) note(lts[size_t(k - 1)], kAnyLength);
    };

    // The elements that do not read as units: their text, as GetFoundText reads it from the bytes,
    // is searched for in the page as it now is. An occurrence that starts before where the last
    // search for the text stopped holds a join made since (it would have been found otherwise), and
    // that join came from a removal no shorter than the text: it starts among the units just before
    // the join, as many as the text is long. So each text is searched once through the page, and
    // the units before each join are read once per text. Such a text begins with "<", the name and
    // a unit that ends a tag name as the byte search reads it, so it stands only where the page now
    // starts a tag: those are the places searched.
    const auto byteAt = [&](int32_t b) { return uint32_t(P[size_t(b / 2)] >> (8 * (b & 1))) & 0xFF; };
    const auto oddUnit = [&](const rg_DrenvikWeiZhiLei& r, int32_t k) {
        const int32_t b = r.start + 2 * k;
        return wchar_t(byteAt(b) | (b + 1 < r.end ? byteAt(b + 1) << 8 : 0));
    };
    // The units read from the page's second byte on; a text that holds a unit the page does not
    // can never occur, removals only take units away.
    StretchHashes shifted;
    std::vector<char> present;
    std::vector<int32_t> absentBefore{0};
    if (std::find(odd.begin(), odd.end(), 1) != odd.end()) {
        present.assign(0x10000, 0);
        for (wchar_t u : P) present[u] = 1;
        for (size_t k = 0; k + 1 < n; ++k) {
            const wchar_t u = wchar_t(P[k] >> 8 | (P[k + 1] & 0xFF) << 8);
            shifted.Append(u);
            absentBefore.push_back(absentBefore.back() + !present[u]);
        }
        shifted.Append(0);
    }
    struct OddText {
        const rg_DrenvikWeiZhiLei* r = nullptr;  // an element with this text
        int32_t length = 0;
        uint64_t key = 0;
        bool canOccur = false;
        int kept = -1;
        bool searched = false;
        bool tagLike = false;          // it reads as "<", the name and what ends it: it stands at tag starts only
        std::vector<int32_t> border;   // of each prefix, when it is not tag-like
        int32_t from = 0;              // no occurrence starts before it but those in `found` and over later joins
        size_t joinsSeen = 0;
        std::set<int32_t> found;
    };
    std::vector<OddText> oddTexts;
    std::vector<size_t> oddOf(count, SIZE_MAX);
    {
        std::unordered_map<uint64_t, std::vector<size_t>> byKey;
        for (size_t i = 0; i < count; ++i) {
            if (!odd[i]) continue;
            const rg_DrenvikWeiZhiLei& r = RangeAt(ranges, int(i));
            const int32_t whole = (r.end - r.start) / 2, k = r.start / 2;
            const int32_t last = (r.end - r.start) & 1 ? int32_t(byteAt(r.end - 1)) : -1;
            const uint64_t key = (r.start & 1 ? shifted : hashes).Of(size_t(k), size_t(k + whole), last);
            const int32_t length = whole + (last >= 0);
            std::vector<size_t>& same = byKey[key];
            for (size_t j : same) {
                const OddText& t = oddTexts[j];
                if (t.length != length) continue;
                int32_t u = 0;
                while (u < length && oddUnit(*t.r, u) == oddUnit(r, u)) ++u;
                if (u == length) {
                    oddOf[i] = j;
                    break;
                }
            }
            if (oddOf[i] != SIZE_MAX) continue;
            const bool canOccur = (last < 0 || present[size_t(last)]) && ((r.start & 1) == 0 || absentBefore[size_t(k + whole)] == absentBefore[size_t(k)]);
            oddOf[i] = oddTexts.size();
            same.push_back(oddTexts.size());
            OddText& t = oddTexts.emplace_back();
            t.r = &r;
            t.length = length;
            t.key = key;
            t.canOccur = canOccur;
        }
    }
    // Whether the text stands whole at q in the page as it now is.
    const auto oddAt = [&](const OddText& t, int32_t q) {
        if (at(q) != q) return false;
        for (int32_t k = 0, x = q; k < t.length; ++k, x = at(x + 1))
            if (x >= int32_t(n) || P[size_t(x)] != oddUnit(*t.r, k)) return false;
        return true;
    };
    // Whether the text stands whole at the tag start q: the first units read one by one (most
    // places differ early), the rest by hash, then by the units where the hashes meet.
    const auto oddAtTagStart = [&](const OddText& t, int32_t q) {
        constexpr int32_t kRead = 16;
        int32_t k = 0, x = q;
        for (; k < std::min(t.length, kRead); ++k, x = at(x + 1))
            if (x >= int32_t(n) || P[size_t(x)] != oddUnit(*t.r, k)) return false;
        if (k == t.length) return true;
        const size_t end = removed.KthKept(q - removed.Before(size_t(q)) + t.length) + 1;
        return end <= n && live.Of(size_t(q), end) == t.key && oddAt(t, q);
    };
    const auto findOdd = [&](OddText& t) -> int32_t {
        const auto unit = [&](int32_t k) { return oddUnit(*t.r, k); };
        if (!t.searched) {
            t.searched = true;
            t.tagLike = t.length > nameLength + 1 && unit(0) == L'<';
            for (int32_t k = 0; t.tagLike && k < nameLength; ++k) t.tagLike = AsciiLower(unit(k + 1)) == tagName[size_t(k)];
            t.tagLike = t.tagLike && !UnitContinuesTagName(unit(std::min(nameLength + 1, t.length - 1)));
            if (!t.tagLike) {
                t.border.assign(size_t(t.length), 0);
                for (int32_t k = 1, b = 0; k < t.length; ++k) {
                    while (b > 0 && unit(k) != unit(b)) b = t.border[size_t(b - 1)];
                    if (unit(k) == unit(b)) ++b;
                    t.border[size_t(k)] = b;
                }
            }
            t.joinsSeen = joins.size();
        }
        for (; t.joinsSeen < joins.size(); ++t.joinsSeen) {
            int32_t y = prev.Find(joins[t.joinsSeen]) - 1;  // the last unit in use before the join
            for (int32_t k = 1; k < t.length && y >= 0; ++k, y = prev.Find(y) - 1) {
                if (y >= t.from || P[size_t(y)] != L'<') continue;
                const size_t end = removed.KthKept(y - removed.Before(size_t(y)) + t.length) + 1;
                if (end <= n && live.Of(size_t(y), end) == t.key) t.found.insert(y);
            }
        }
        while (!t.found.empty()) {
            const int32_t q = *t.found.begin();
            t.found.erase(t.found.begin());
            if (oddAt(t, q)) return q;
        }
        if (t.from >= int32_t(n)) return -1;
        if (t.tagLike) {
            for (auto it = tagStarts.lower_bound(ltIndex(t.from)); it != tagStarts.end(); ++it)
                if (oddAtTagStart(t, lts[*it])) return t.from = lts[*it];
            t.from = int32_t(n);
            return -1;
        }
        std::vector<int32_t> ring(size_t(t.length));
        size_t seen = 0;
        int32_t b = 0;
        for (int32_t x = at(t.from); x < int32_t(n); x = at(x + 1)) {
            const wchar_t u = P[size_t(x)];
            while (b > 0 && unit(b) != u) b = t.border[size_t(b - 1)];
            if (unit(b) == u) ++b;
            ring[seen++ % ring.size()] = x;
            if (b == t.length) return t.from = ring[seen % ring.size()];
        }
        t.from = int32_t(n);
        return -1;
    };

    for (size_t i = 0; i < count; ++i) {
        const rg_DrenvikWeiZhiLei& r = RangeAt(ranges, int(i));
        if (odd[i]) {
            OddText& t = oddTexts[oddOf[i]];
            if (t.kept < 0) {
                // Its start tag: up to the first ">" after its "<".
                std::wstring tag;
                for (int32_t k = 0; k < t.length && (tag.empty() || tag.back() != L'>'); ++k) tag += oddUnit(r, k);
                t.kept = KeptByKeywords(tag, keepKeywords);
            }
            if (t.kept || !t.canOccur) continue;
            const int32_t q = findOdd(t);
            if (q >= 0) removeAt(q, t.length);
            continue;
        }
        const int32_t s = r.start / 2, length = (r.end - r.start) / 2;
        if (KeptByKeywords(P.substr(size_t(s), size_t(length)), keepKeywords)) continue;
        const int32_t g = greaterAfter(s);
        const bool startTag = g >= 0 && g + 1 - s == length;
        const uint64_t key = hashes.Of(size_t(s), size_t(s + length));
        Places& own = places[placesOf[i]];
        while (own.first < own.at.size() && removed.AnyIn(size_t(own.at[own.first]), size_t(own.at[own.first] + length)))
            ++own.first;
        int32_t best = own.first < own.at.size() ? own.at[own.first] : int32_t(n);
        // A noted tag whose text has X's hash; one that proves another (its element no longer
        // closed, or two texts with one hash) is read again.
        const std::set<int32_t>& candidates = (startTag ? notedByStartTag : notedByElement)[key];
        for (int32_t from = -1;;) {
            const auto it = candidates.upper_bound(from);
            if (it == candidates.end() || *it >= best) break;
            const int32_t q = from = *it;
            const size_t k = ltIndex(q);
            if (at(q) != q || depth.Value(k) != 1) {
                forget(q);
                continue;
            }
            if (textAt(q, s, length)) {
                best = q;
                break;
            }
            note(q, kAnyLength);
        }
        if (best < int32_t(n)) removeAt(best, length);
    }
    CWString out;
    out.reserve(n - size_t(removed.Before(n)));
    for (int32_t x = at(0); x < int32_t(n); x = at(x + 1)) out += P[size_t(x)];
    page = std::move(out);
    return true;
}

// Pending messages are handled at most once per clock tick: a window stays live during a long page,
// and the searches don't pay a message-queue round trip per tag.
void rg_DrenvikWangYeJieXiLei::PumpNow() {
    const ULONGLONG now = ::GetTickCount64();
    if (now == lastPumpTick_) return;
    lastPumpTick_ = now;
    PumpPendingMessages();
}

long long rg_DrenvikWangYeJieXiLei::FindBytes(const CVolMem& pattern, long long from) const noexcept {
    const size_t n = pattern.GetSize();
    const size_t size = lowerBytes.GetSize();
    if (n == 0 || from < 0 || size_t(from) > size || n > size - size_t(from)) return -1;
    const uint8_t* base = lowerBytes.GetPtr();
    const uint8_t* p = base + from;
    const uint8_t* last = base + (size - n);  // last start at which the pattern still fits
    const uint8_t first = pattern[0];
    while (p <= last) {
        p = static_cast<const uint8_t*>(std::memchr(p, first, size_t(last - p) + 1));
        if (!p) return -1;
        if (std::memcmp(p + 1, pattern.GetPtr() + 1, n - 1) == 0) return p - base;
        ++p;
    }
    return -1;
}

void rg_DrenvikWangYeJieXiLei::FindTagStart(const CVolMem& pattern, int32_t length, int32_t& holder) {
    for (;;) {
        PumpNow();
        if (pattern.IsEmpty()) {
            holder = -1;
            return;
        }
        long long from = std::min<long long>((long long)holder + 1, (long long)lowerBytes.GetSize());
        long long hit = FindBytes(pattern, from);
        holder = int32_t(hit);
        if (hit < 0) return;
        if (length != 2 && holder + length <= lowerLength - 1) {
            if (ContinuesTagName(lowerBytes[size_t(holder + length)])) continue;  // a longer tag name
        }
        return;
    }
}

std::vector<int32_t> rg_DrenvikWangYeJieXiLei::AllTagStarts(const CVolMem& pattern, int32_t length) {
    std::vector<int32_t> starts;
    for (int32_t d = -1;;) {
        FindTagStart(pattern, length, d);
        if (d < 0) return starts;
        starts.push_back(d);
    }
}

std::vector<int32_t> rg_DrenvikWangYeJieXiLei::AllClosings() const {
    std::vector<int32_t> closings;
    for (long long d = FindBytes(closePattern, 0); d >= 0; d = FindBytes(closePattern, d + 1)) closings.push_back(int32_t(d));
    return closings;
}

int32_t rg_DrenvikWangYeJieXiLei::CountNestedTags(const CVolMem& pattern, int32_t length, int32_t start, int32_t end,
                                                  int32_t& holder) {
    int32_t lastOpen = 0, lastClose = 0;
    for (int32_t d = start;;) {
        FindTagStart(pattern, length, d);
        if (d == -1 || d >= end) break;
        lastOpen = d;
        ++tagCounts.opening;
    }
    for (long long d = start;;) {
        PumpNow();
        d = FindBytes(closePattern, d + 1);
        if (d < 0 || d >= end) break;
        lastClose = int32_t(d);
        ++tagCounts.closing;
    }
    holder = lastOpen <= lastClose ? lastClose : lastOpen;
    return tagCounts.opening == tagCounts.closing ? 1 : 0;
}

CWString rg_DrenvikWangYeJieXiLei::GetElement(std::wstring_view page, std::wstring_view spec, int32_t index,
                                              int32_t innerOnly, int32_t append) {
    if (index < 0 && !append) ranges.RemoveAll();
    CVolMem savedPage;
    if (index >= 0) savedPage = std::move(pageBytes);  // a lookup by index leaves the last collection alone
    pageBytes = BytesOf(page);
    CWString lower(page);
    lower.MakeLower();
    lowerBytes = BytesOf(lower);
    lowerLength = int32_t(lowerBytes.GetSize());

    // The element spec: a tag name and conditions as key-value pairs.
    CWString tagName;
    CVolObjectArray conds;
    if (spec.find(L'<') != std::wstring_view::npos) {
        rg_DrenvikWeiZhiLei unused;
        FindAttributeValue(spec, conds, L"", unused);
        tagName = GetTagName(spec);
        tagName.MakeLower();
    } else {
        CWString s(spec);
        s.MakeLower();
        CWStringArray pieces;
        SplitTextBySeparator(s, pieces, L",", true, false);
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i == 0) {
                tagName = pieces[0];
                continue;
            }
            CWStringArray sub;
            SplitTextBySeparator(pieces[i], sub, L"=", true, false);
            if (sub.empty()) continue;
            AppendAttributePairs(sub[0], sub.size() >= 2 ? sub[1] : CWString(), conds);
        }
    }
    if (!tagName.empty()) {
        closePattern = BytesOf(CWString::Concat({L"</", tagName, L">"}));
        closeLength = int32_t(closePattern.GetSize());
    }
    openPattern = BytesOf(CWString::Concat({L"<", tagName}));
    openLength = int32_t(openPattern.GetSize());
    gtPattern = BytesOf(L">");

    // The words the conditions name, when every condition names one.
    std::vector<CVolMem> requiredWords;
    for (int i = 0; i < conds.GetCount(); ++i) {
        const CWString& word = static_cast<rg_DrenvikJianZhiLei*>(conds.GetAt(i))->value;
        if (word.empty()) {
            requiredWords.clear();
            break;
        }
        requiredWords.push_back(BytesOf(word));
    }

    // The candidates before one ">" are matched against the conditions together, when the first
    // of them is met: by start byte, whether it matches.
    std::map<int32_t, bool> sharedMatches;
    long long sharedGreater = -1;
    const auto matchShared = [&](int32_t w, long long g) {
        sharedMatches.clear();
        sharedGreater = g;
        std::vector<int32_t> starts;
        for (int32_t d = w - 1;;) {
            FindTagStart(openPattern, openLength, d);
            if (d < 0 || d >= g) break;
            starts.push_back(d);
        }
        // Every condition names a word: when none stands in the tags' text, ">" included (a quoted
        // value left open runs to it), no tag can match, and no attribute needs reading. Letters
        // compare without case: a tag read half a unit off lower-cases other bytes than the page.
        bool anyWord = requiredWords.empty();
        const auto fold = [](uint8_t b) { return uint8_t(b >= 'A' && b <= 'Z' ? b + 32 : b); };
        for (const CVolMem& word : requiredWords) {
            const uint8_t* from = lowerBytes.GetPtr() + w;
            const uint8_t* to = lowerBytes.GetPtr() + g + 2;  // the ">" unit: gtPattern matched both bytes
            anyWord = anyWord || std::search(from, to, word.GetPtr(), word.GetPtr() + word.GetSize(),
                                             [&](uint8_t a, uint8_t b) { return fold(a) == fold(b); }) != to;
        }
        for (int parity = 0; parity < 2; ++parity) {
            std::vector<int32_t> unitStarts;
            int32_t first = -1;
            for (int32_t d : starts) {
                if ((d & 1) != parity) continue;
                if (first < 0) first = d;
                unitStarts.push_back((d - first) / 2);
            }
            if (first < 0) continue;
            std::vector<char> matched(unitStarts.size(), 0);
            if (anyWord) {
                // The units as the start tags read them: from their first byte, the last odd byte
                // completed with a zero byte, line breaks read as blanks.
                std::wstring units(size_t((g - first) / 2 + 1), L'\0');
                for (size_t k = 0; k < units.size(); ++k) {
                    const size_t at = size_t(first) + 2 * k;
                    wchar_t u = wchar_t(pageBytes[at] | (at + 1 <= size_t(g) ? pageBytes[at + 1] << 8 : 0));
                    units[k] = (u == L'\r' || u == L'\n') ? L' ' : u;
                }
                matched = MatchSharedStartTags(units, unitStarts, conds);
            }
            for (size_t j = 0; j < unitStarts.size(); ++j) sharedMatches[first + 2 * unitStarts[j]] = matched[j] != 0;
        }
    };

    std::map<CWString, NestingIndex> nesting;
    std::optional<ClosingNames> closingNames;  // made once names get long or many
    int32_t unnamedAt = -1, unnamedBytes = 0;  // the last element whose name was not made
    int32_t matches = 0;
    int32_t h = -1;
    long long g = -1;
    for (;;) {
        FindTagStart(openPattern, openLength, h);
        const int32_t w = h;
        if (w == -1) break;
        // Candidates before the same ">" share it; searching again for each would rescan the page.
        if (g < (long long)w + 1) g = FindBytes(gtPattern, (long long)w + 1);
        if (g < 0) break;
        // The start tag's ends are read in place: copying every candidate's tag costs its length
        // each time, and in "<p<p<p...>" every tag runs to the one ">".
        const int32_t tagBytes = int32_t(g - w + 1);
        const int32_t L = tagBytes + (tagBytes & 1);  // whole code units, a last odd byte completed
        auto unitAt = [&](int32_t k) {
            const size_t at = size_t(w) + 2 * size_t(k);
            return wchar_t(pageBytes[at] | (at + 1 <= size_t(g) ? pageBytes[at + 1] << 8 : 0));
        };
        if (openLength == 2 && L >= 4 && unitAt(0) == L'<' && unitAt(1) == L'/') continue;
        const bool selfClosing = L >= 4 && unitAt(L / 2 - 2) == L'/' && unitAt(L / 2 - 1) == L'>';
        if (conds.GetCount() > 0) {
            if (sharedGreater != g || !sharedMatches.contains(w)) matchShared(w, g);
            if (!sharedMatches[w]) continue;
        }
        if (index >= 0 && ++matches != index + 1) continue;

        // Without a tag name, a start tag that is its own element (self-closing, or no closing tag
        // of its name follows) needs no name: it is made only for the patterns the last element
        // leaves behind. Short names of a few kinds are made and indexed as they come.
        bool alone = false;
        int32_t aloneCloseLength = 0;  // of "</" + its name + ">", which is not made
        if (openLength == 2) {
            alone = selfClosing;
            if (!alone && (tagBytes > 512 || nesting.size() >= 32)) {
                if (!closingNames) closingNames.emplace(pageBytes, lowerBytes);
                alone = !closingNames->MayClose(w, g);
                if (alone) aloneCloseLength = 2 * (3 + closingNames->NameUnits(w, g));
            }
        }
        if (alone) {
            unnamedAt = w;
            unnamedBytes = tagBytes;
            if (!selfClosing) tagCounts = VolTagCounts();  // the walk met no closing tag
        } else if (openLength == 2) {
            unnamedAt = -1;
            SetElementPatterns(w, tagBytes);
        } else {
            elementOpenPattern = openPattern;
            elementOpenLength = openLength;
        }

        int32_t E = w + L;
        if (!selfClosing && !alone) {
            // Built once per tag name and search, on first need.
            const CWString key = CWString::FromUtf16Bytes(elementOpenPattern.GetPtr(), elementOpenPattern.GetSize());
            auto it = nesting.find(key);
            if (it == nesting.end())
                it = nesting.emplace(key, NestingIndex(AllTagStarts(elementOpenPattern, elementOpenLength), AllClosings())).first;
            const int32_t c = it->second.EndOf(w, tagCounts);
            if (c >= 0) E = c + closeLength;
        }
        int32_t rangeStart = w, rangeEnd = E;
        if (innerOnly) {
            rangeStart = w + L;
            rangeEnd = selfClosing ? w + L : E - (alone ? aloneCloseLength : closeLength);
            h = w + L;
        }
        if (index < 0) {
            rg_DrenvikWeiZhiLei r;
            r.start = rangeStart;
            r.end = rangeEnd;
            r.nestCount = tagCounts.opening;
            ranges.AddCopy(r);
            continue;
        }
        CVolMem bytes = SubBytes(pageBytes, rangeStart, rangeEnd - rangeStart);
        CWString result = CWString::FromUtf16Bytes(bytes.GetPtr(), bytes.GetSize());
        if (unnamedAt >= 0) SetElementPatterns(unnamedAt, unnamedBytes);
        pageBytes = std::move(savedPage);
        lowerBytes.Empty();
        lastFound = result;
        return result;
    }
    if (unnamedAt >= 0) SetElementPatterns(unnamedAt, unnamedBytes);
    lowerBytes.Empty();
    if (index < 0) return CWString::FromInt(ranges.GetCount());
    pageBytes = std::move(savedPage);
    return {};
}

// The element patterns of a start tag found without a tag name: its own name, lower-cased (the
// page's case would not be found in the lower-cased bytes).
void rg_DrenvikWangYeJieXiLei::SetElementPatterns(int32_t w, int32_t tagBytes) {
    CVolMem startBytes = SubBytes(pageBytes, w, tagBytes);
    CWString name = GetTagName(CWString::FromUtf16Bytes(startBytes.GetPtr(), startBytes.GetSize()));
    name.MakeLower();
    closePattern = BytesOf(CWString::Concat({L"</", name, L">"}));
    closeLength = int32_t(closePattern.GetSize());
    elementOpenPattern = BytesOf(CWString::Concat({L"<", name}));
    elementOpenLength = int32_t(elementOpenPattern.GetSize());
}

CWString rg_DrenvikWangYeJieXiLei::GetFoundText(int32_t index) const {
    if (index < 0 || index >= ranges.GetCount()) return {};
    const rg_DrenvikWeiZhiLei& r = RangeAt(ranges, index);
    CVolMem bytes = SubBytes(pageBytes, r.start, r.end - r.start);
    return CWString::FromUtf16Bytes(bytes.GetPtr(), bytes.GetSize());
}

int32_t rg_DrenvikWangYeJieXiLei::FindTagRanges(std::wstring_view page, std::wstring_view specs) {
    CWStringArray list;
    SplitTextBySeparator(specs, list, L"|", true, true);
    if (list.empty()) list.emplace_back();
    for (size_t j = 0; j < list.size(); ++j) GetElement(page, list[j], -1, 0, j > 0 ? 1 : 0);
    SortPositionsByStart(ranges);
    return ranges.GetCount();
}

void rg_DrenvikWangYeJieXiLei::RemoveTags(CWString& page, std::wstring_view tagNames, std::wstring_view keepKeywords) {
    CWStringArray names;
    SplitTextBySeparator(tagNames, names, L"|", true, true);
    for (const CWString& name : names) {
        FindTagRanges(page, name);
        CWString stripped;
        const CWString tagName = CWString::FromUtf16Bytes(openPattern.GetPtr() + 2, openPattern.GetSize() - 2);
        const bool stripAtOnce = RemoveElementsAtOnce(page, ranges, tagName, keepKeywords, stripped);
        SortPositionsByLength(ranges);
        if (stripAtOnce) {
            page = std::move(stripped);
            continue;
        }
        if (RemoveElementsInTurn(page, ranges, tagName, keepKeywords)) continue;
        for (int i = 0; i < ranges.GetCount(); ++i) {
            const CWString element = GetFoundText(i);
            if (!KeptByKeywords(element, keepKeywords)) page.Replace(element, L"", 0, 1);
        }
    }
}

void SetStretchHashKey(uint64_t base1, uint64_t base2) {
    gSetBase1.store(base1 % UnitHashing::kMod1);
    gSetBase2.store(base2 % UnitHashing::kMod2);
}

void SortPositionsByStart(CVolObjectArray& ranges) {
    SortRanges(ranges, [](const rg_DrenvikWeiZhiLei& r) { return (long long)r.start; }, false);
}

void SortPositionsByLength(CVolObjectArray& ranges) {
    SortRanges(ranges, [](const rg_DrenvikWeiZhiLei& r) { return (long long)r.end - r.start + 1; }, true);
}

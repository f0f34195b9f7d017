#include "util/html_parser.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_set>

#include "platform/system.h"
#include "util/tag_attributes.h"
#include "util/text_helpers.h"

namespace {

CVolMem BytesOf(std::wstring_view text) { return CVolMem::ConstructFromText(text); }

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

}  // namespace

// Taking away every element's own stretch at once gives the text of the element-by-element removal
// when each of those removals meets its own element (or an equal one, or finds it already gone
// with a longer one), which holds when:
// - every tag and ">" lies on a unit boundary (no unit 0x3Cxx or 0x3Exx), and the tag name is
//   plain, so any occurrence of an element's text is itself an element with that text;
// - elements nest and never cross, so a removed stretch never cuts another one short;
// - no removed element stands where a "<" without a ">" after it, which could still begin the
//   tag's start tag, comes before it: joining the text around a removed stretch can then never
//   make a new start tag;
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
        if (r.start < 0 || r.start >= r.end || ((r.start | r.end) & 1) || size_t(r.end / 2) > n) return false;
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
        const unsigned next = unsigned(AsciiLower(page[lt + name])) & 0xFF;  // as the tag search reads it
        return !((next >= '0' && next <= '9') || (next >= 'a' && next <= 'z'));
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
        if (lastMark != CWString::npos && page[lastMark] == L'<' && couldStartTag(lastMark, size_t(e.start))) return false;
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
            uint8_t next = lowerBytes[size_t(holder + length)];
            if ((next >= '0' && next <= '9') || (next >= 'a' && next <= 'z')) continue;  // a longer tag name
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
        // Every condition names a word: when none stands before the ">", no tag can match, and no
        // attribute needs reading.
        bool anyWord = requiredWords.empty();
        for (const CVolMem& word : requiredWords) {
            const uint8_t* from = lowerBytes.GetPtr() + w;
            const uint8_t* to = lowerBytes.GetPtr() + g;
            anyWord = anyWord || std::search(from, to, word.GetPtr(), word.GetPtr() + word.GetSize()) != to;
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

        CWString startTag;
        if (openLength == 2) {
            CVolMem startBytes = SubBytes(pageBytes, w, tagBytes);
            startTag = CWString::FromUtf16Bytes(startBytes.GetPtr(), startBytes.GetSize());
        }
        if (openLength == 2) {
            // The page's own case would not be found in the lower-cased bytes.
            CWString name = GetTagName(startTag);
            name.MakeLower();
            closePattern = BytesOf(CWString::Concat({L"</", name, L">"}));
            closeLength = int32_t(closePattern.GetSize());
            elementOpenPattern = BytesOf(CWString::Concat({L"<", name}));
            elementOpenLength = int32_t(elementOpenPattern.GetSize());
        } else {
            elementOpenPattern = openPattern;
            elementOpenLength = openLength;
        }

        int32_t E = w + L;
        if (!selfClosing) {
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
            rangeEnd = selfClosing ? w + L : E - closeLength;
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
        pageBytes = std::move(savedPage);
        lowerBytes.Empty();
        lastFound = result;
        return result;
    }
    lowerBytes.Empty();
    if (index < 0) return CWString::FromInt(ranges.GetCount());
    pageBytes = std::move(savedPage);
    return {};
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
        for (int i = 0; i < ranges.GetCount(); ++i) {
            CWString element = GetFoundText(i);
            if (!keepKeywords.empty()) {
                int32_t pos = 0, hit = 0;
                CWString startTag = GetTextBetween(element, L"<", L">", pos, false, true);
                if (MatchKeywords(startTag, keepKeywords, 0, L"", L"|", hit)) continue;
            }
            page.Replace(element, L"", 0, 1);
        }
    }
}

void SortPositionsByStart(CVolObjectArray& ranges) {
    SortRanges(ranges, [](const rg_DrenvikWeiZhiLei& r) { return (long long)r.start; }, false);
}

void SortPositionsByLength(CVolObjectArray& ranges) {
    SortRanges(ranges, [](const rg_DrenvikWeiZhiLei& r) { return (long long)r.end - r.start + 1; }, true);
}

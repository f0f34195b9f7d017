#include "util/html_parser.h"

#include <algorithm>
#include <cstring>
#include <map>

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

// Shell sort of indexes by key (gaps n/2, n/4, ..., 1), then the array rebuilt in that order.
template <class Key>
void SortRanges(CVolObjectArray& ranges, Key key, bool reverse) {
    const int n = ranges.GetCount();
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) order[size_t(i)] = i;
    for (int gap = n / 2; gap > 0; gap /= 2)
        for (int i = gap; i < n; ++i)
            for (int j = i; j >= gap && key(RangeAt(ranges, order[size_t(j)])) < key(RangeAt(ranges, order[size_t(j - gap)])); j -= gap)
                std::swap(order[size_t(j)], order[size_t(j - gap)]);
    if (reverse) std::reverse(order.begin(), order.end());
    CVolObjectArray sorted;
    for (int i : order) sorted.AddCopy(RangeAt(ranges, i));
    ranges = std::move(sorted);
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

    // Every condition names a word: a start tag that holds none of them cannot match, and is passed
    // over without reading its attributes.
    std::vector<CVolMem> requiredWords;
    for (int i = 0; i < conds.GetCount(); ++i) {
        const CWString& word = static_cast<rg_DrenvikJianZhiLei*>(conds.GetAt(i))->value;
        if (word.empty()) {
            requiredWords.clear();
            break;
        }
        requiredWords.push_back(BytesOf(word));
    }

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
        if (!requiredWords.empty()) {
            const uint8_t* tag = lowerBytes.GetPtr() + w;
            const uint8_t* tagEnd = lowerBytes.GetPtr() + g;
            bool any = false;
            for (const CVolMem& word : requiredWords)
                any = any || std::search(tag, tagEnd, word.GetPtr(), word.GetPtr() + word.GetSize()) != tagEnd;
            if (!any) continue;
        }
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
        CWString startTag;
        if (conds.GetCount() > 0 || openLength == 2) {
            CVolMem startBytes = SubBytes(pageBytes, w, tagBytes);
            startTag = CWString::FromUtf16Bytes(startBytes.GetPtr(), startBytes.GetSize());
        }
        if (conds.GetCount() > 0) {
            CVolObjectArray attrs;
            rg_DrenvikWeiZhiLei unused;
            FindAttributeValue(startTag, attrs, L"", unused);
            if (!AnyConditionMatches(conds, attrs)) continue;
        }
        if (index >= 0 && ++matches != index + 1) continue;

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
        SortPositionsByLength(ranges);
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

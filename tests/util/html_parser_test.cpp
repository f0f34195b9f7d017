#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <random>

#include "util/html_parser.h"
#include "util/tag_attributes.h"
#include "util/text_helpers.h"
#include "support/time_limit.h"

namespace {

// The attribute scan as first written, kept as the reference the one-unit-at-a-time scanner must
// agree with: every attribute of one start tag as key-value pairs.
CVolObjectArray PairsOfStartTag(std::wstring_view tag) {
    std::wstring x(tag.substr(0, tag.find(L'\0')));
    for (auto& c : x)
        if (c == L'\r' || c == L'\n') c = L' ';
    auto units = [&](int from, int to) { return to < from ? CWString() : CWString(x.substr(size_t(from), size_t(to - from + 1))); };
    CVolObjectArray pairs;
    int mark = -1;
    CWString current;
    bool inQuotes = false;
    wchar_t quote = 0;
    const int n = int(x.size());
    for (int i = 0; i < n; ++i) {
        const wchar_t c = x[size_t(i)];
        if (current.empty()) {
            if (mark == -1) {
                if (c == L' ' || c == L'>') mark = i;
            } else {
                if (c == L'<' || c == L'>') mark = -1;
                if (c == L'=') {
                    current = units(mark + 1, i - 1);
                    current.TrimAll();
                    mark = -1;
                    CWStringArray words;
                    SplitTextBySeparator(current, words, L" ", true, true);
                    if (words.size() > 1) current = words.back();
                }
            }
        } else if (mark == -1) {
            if (c == L'"' || c == L'\'') {
                inQuotes = true;
                quote = c;
                mark = i;
            } else if (c != L' ' && c != L'>') {
                mark = i - 1;
            }
        } else if (!inQuotes) {
            if (c == L' ' || c == L'>' || c == L'<') {
                AppendAttributePairs(current, units(mark + 1, (c == L'>' && i > 0 && x[size_t(i - 1)] == L'/') ? i - 2 : i - 1), pairs);
                current.clear();
                mark = i;
            }
        } else if (c == quote) {
            AppendAttributePairs(current, units(mark + 1, i - 1), pairs);
            inQuotes = false;
            current.clear();
            mark = -1;
        }
    }
    if (mark != -1 && !current.empty()) AppendAttributePairs(current, units(mark + 1, n - 1), pairs);
    return pairs;
}

std::vector<std::pair<CWString, CWString>> PairList(const CVolObjectArray& pairs) {
    std::vector<std::pair<CWString, CWString>> out;
    for (int i = 0; i < pairs.GetCount(); ++i) {
        auto* p = static_cast<rg_DrenvikJianZhiLei*>(pairs.GetAt(i));
        out.emplace_back(p->key, p->value);
    }
    return out;
}

// The parser's lower-cased page, as a search sets it up.
void SetLowerBytes(rg_DrenvikWangYeJieXiLei& p, std::wstring_view page) {
    CWString lower(page);
    lower.MakeLower();
    p.lowerBytes = CVolMem::ConstructFromText(lower);
    p.lowerLength = int32_t(p.lowerBytes.GetSize());
}

// Where GetElement's matches of a comma-form spec with a tag name start (inner starts with the
// inner flag), found by reading each candidate's start tag on its own, as first written.
std::vector<int32_t> MatchStartsOneByOne(std::wstring_view page, std::wstring_view spec, bool inner) {
    CWString lowSpec(spec);
    lowSpec.MakeLower();
    CWStringArray pieces;
    SplitTextBySeparator(lowSpec, pieces, L",", true, false);
    CVolObjectArray conds;
    for (size_t i = 1; i < pieces.size(); ++i) {
        CWStringArray sub;
        SplitTextBySeparator(pieces[i], sub, L"=", true, false);
        if (!sub.empty()) AppendAttributePairs(sub[0], sub.size() >= 2 ? sub[1] : CWString(), conds);
    }
    rg_DrenvikWangYeJieXiLei p;
    SetLowerBytes(p, page);
    const CVolMem bytes = CVolMem::ConstructFromText(page);
    const CVolMem open = CVolMem::ConstructFromText(L"<" + pieces[0]);
    const uint8_t* low = p.lowerBytes.GetPtr();
    const uint8_t* lowEnd = low + p.lowerBytes.GetSize();
    const uint8_t greater[2] = {'>', 0};
    std::vector<int32_t> starts;
    for (int32_t h = -1;;) {
        p.FindTagStart(open, int32_t(open.GetSize()), h);
        if (h < 0) break;
        const uint8_t* g = std::search(low + h + 1, lowEnd, greater, greater + 2);
        if (g == lowEnd) break;
        const CWString tag = CWString::FromUtf16Bytes(bytes.GetPtr() + h, size_t(g - low - h + 1));
        const auto attrs = PairList(PairsOfStartTag(tag));
        bool match = conds.GetCount() == 0;
        for (const auto& [key, value] : PairList(conds))
            for (const auto& a : attrs) match = match || ((key.empty() || key == a.first) && (value.empty() || value == a.second));
        if (!match) continue;
        starts.push_back(inner ? h + 2 * int32_t(tag.size()) : h);
        if (inner) h += 2 * int32_t(tag.size());
    }
    return starts;
}

// GetElement's collection for a tag name without conditions, step by step as first written: every
// candidate's start tag up to the first ">", the element's own name when no tag name is given, and
// the nesting walk from one closing tag to the next; with the inner flag, the range inside the tags
// and the search going on after the start tag. Each record is start, end and nest count; `last`
// gets the closing pattern the last element leaves behind.
std::vector<std::array<int32_t, 3>> CollectByTheWalk(std::wstring_view page, std::wstring_view tag, CVolMem& last,
                                                     bool inner = false) {
    rg_DrenvikWangYeJieXiLei p;
    SetLowerBytes(p, page);
    const CVolMem bytes = CVolMem::ConstructFromText(page);
    const CVolMem open = CVolMem::ConstructFromText(L"<" + std::wstring(tag));
    const auto find = [&](const CVolMem& pattern, long long from) -> long long {
        const uint8_t* low = p.lowerBytes.GetPtr();
        const uint8_t* end = low + p.lowerBytes.GetSize();
        if (pattern.IsEmpty() || from > (long long)p.lowerBytes.GetSize()) return -1;
        const uint8_t* hit = std::search(low + from, end, pattern.GetPtr(), pattern.GetPtr() + pattern.GetSize());
        return hit == end ? -1 : hit - low;
    };
    const CVolMem greater = CVolMem::ConstructFromText(L">");
    std::vector<std::array<int32_t, 3>> out;
    if (!tag.empty()) p.closePattern = CVolMem::ConstructFromText(L"</" + std::wstring(tag) + L">");
    for (int32_t h = -1;;) {
        p.FindTagStart(open, int32_t(open.GetSize()), h);
        if (h < 0) break;
        const long long g = find(greater, h + 1);
        if (g < 0) break;
        const CWString S = CWString::FromUtf16Bytes(bytes.GetPtr() + h, size_t(g - h + 1));
        if (tag.empty() && S.size() >= 2 && S[0] == L'<' && S[1] == L'/') continue;
        const bool selfClosing = S.size() >= 2 && S.ends_with(L"/>");
        CWString name(tag);
        if (tag.empty()) {
            name = GetTagName(S);
            name.MakeLower();
            p.closePattern = CVolMem::ConstructFromText(L"</" + name + L">");
        }
        p.closeLength = int32_t(p.closePattern.GetSize());
        const CVolMem elementOpen = CVolMem::ConstructFromText(L"<" + name);
        int32_t E = h + 2 * int32_t(S.size());
        if (!selfClosing) {
            p.tagCounts = VolTagCounts();
            int32_t q = h;
            for (long long c = h; (c = find(p.closePattern, c + 1)) >= 0;) {
                if (p.CountNestedTags(elementOpen, int32_t(elementOpen.GetSize()), q, int32_t(c), q)) {
                    E = int32_t(c) + p.closeLength;
                    break;
                }
            }
        }
        const int32_t L = 2 * int32_t(S.size());
        if (!inner) {
            out.push_back({h, E, p.tagCounts.opening});
            continue;
        }
        out.push_back({h + L, selfClosing ? h + L : E - p.closeLength, p.tagCounts.opening});
        h += L;
    }
    last = p.closePattern;
    return out;
}

// RemoveTags as first written: for each name, longest element first, the first occurrence of the
// element's text is taken out of the page as it then is.
CWString RemoveOneByOne(CWString page, std::wstring_view names, std::wstring_view keep) {
    CWStringArray list;
    SplitTextBySeparator(names, list, L"|", true, true);
    for (const CWString& name : list) {
        rg_DrenvikWangYeJieXiLei p;
        p.FindTagRanges(page, name);
        SortPositionsByLength(p.ranges);
        for (int i = 0; i < p.ranges.GetCount(); ++i) {
            const std::wstring element = p.GetFoundText(i);
            int32_t pos = 0, hit = 0;
            if (!keep.empty() && MatchKeywords(GetTextBetween(element, L"<", L">", pos, false, true), keep, 0, L"", L"|", hit))
                continue;
            const size_t at = page.find(element);
            if (at != std::wstring::npos) page.erase(at, element.size());
        }
    }
    return page;
}

// The page without the text of any of the ranges (by start).
CWString RemoveEveryElement(const CWString& page, const CVolObjectArray& ranges) {
    CWString out;
    size_t copied = 0;
    for (int i = 0; i < ranges.GetCount(); ++i) {
        const auto& r = *static_cast<rg_DrenvikWeiZhiLei*>(ranges.GetAt(i));
        if (size_t(r.start / 2) > copied) out.append(page, copied, size_t(r.start / 2) - copied);
        copied = std::max(copied, size_t(r.end / 2));
    }
    return out.append(page, std::min(copied, page.size()), CWString::npos);
}

// An ASCII text moved half a unit: its bytes stand at odd offsets of the page.
std::wstring HalfUnitShifted(std::wstring_view ascii) {
    std::wstring s(1, wchar_t((ascii[0] << 8) | 'Q'));
    for (size_t i = 1; i < ascii.size(); ++i) s += wchar_t(ascii[i] << 8);
    return s + L'\x4100';
}

CWString RandomPage(std::mt19937& random, const std::vector<std::wstring>& pieces, int most) {
    CWString page;
    for (int n = int(random() % unsigned(most)); n-- > 0;) page += pieces[random() % pieces.size()];
    return page;
}

// Two stretches of 12 units with one hash under the key set by CollidingKey.
const std::wstring kCollidingFirst = L"\x4ED3\x4ED7\x4ED9\x4EBD\x4EDB\x4ED5\x4ECB\x4ECD\x4ECA\x4ED2\x4EC4\x4EBA";
const std::wstring kCollidingSecond(12, L'\x4EC8');

// Sets the stretch-hash key under which the two stretches above collide, for its lifetime.
struct CollidingKey {
    CollidingKey() { SetStretchHashKey(131071, 131071); }
    ~CollidingKey() { SetStretchHashKey(0, 0); }
    CollidingKey(const CollidingKey&) = delete;
    CollidingKey& operator=(const CollidingKey&) = delete;
};

CWString Repeat(std::wstring_view piece, size_t n) {
    CWString s;
    while (n-- > 0) s += piece;
    return s;
}

// Unclosed start tags, a blank, then as many nested elements.
CWString UnclosedThenNested(size_t n) { return Repeat(L"<a>", n) + L" " + Repeat(L"<a>", n) + Repeat(L"</a>", n); }

// The page above after a "<", then two long elements that end in the colliding stretches.
CWString WithCollidingElements(size_t n, size_t run) {
    const CWString filler(run, L'p');
    return L"<" + UnclosedThenNested(n) + L"<a>" + filler + kCollidingFirst + L"</a><a>" + filler + kCollidingSecond + L"</a>";
}

// A tag read half a unit off in front: U+3C41 U+6100 holds the bytes of "<a" across two units.
CWString HalfOffInFront(size_t n) { return L"\x3C41\x6100\x2000>" + UnclosedThenNested(n); }

std::vector<CWString> Collect(rg_DrenvikWangYeJieXiLei& p, std::wstring_view page, std::wstring_view spec) {
    std::vector<CWString> out;
    int n = int(WideTextToInt(p.GetElement(page, spec, -1, 0, 0)));
    for (int i = 0; i < n; ++i) out.push_back(p.GetFoundText(i));
    return out;
}

}  // namespace

TEST(HtmlParser, LookupsByTagAndAttribute) {
    const wchar_t* page =
        L"<html><head><title>T</title></head><body>"
        L"<DIV Class=\"x Markdown-Container y\"><p>answer</p></DIV>"
        L"<div class=other id=two>second</div>"
        L"<h10>ten</h10><h1 >one</h1><h1>uno</h1>"
        L"<br/><img src=a.png/><divx>no</divx>"
        L"</body></html>";
    struct { const wchar_t* spec; int index; int inner; const wchar_t* want; } cases[] = {
        {L"div,class=markdown-container", 0, 1, L"<p>answer</p>"},
        {L"div,class=markdown-container", 0, 0, L"<DIV Class=\"x Markdown-Container y\"><p>answer</p></DIV>"},
        {L"<div class=\"markdown-container\">", 0, 1, L"<p>answer</p>"},
        {L"div,class=nothing,id=two", 0, 1, L"second"},  // any condition may match
        {L"div", 1, 1, L"second"},
        {L"div", 2, 1, L""},                             // fewer matches
        {L"h1", 0, 1, L"one"},                           // not the h10 element
        {L"h1", 1, 0, L"<h1>uno</h1>"},
        {L"img", 0, 1, L""},                             // self-closing: no inner text
        {L"img,src=a.png", 0, 0, L"<img src=a.png/>"},
        {L"title", 0, 1, L"T"},
        {L"span", 0, 0, L""},
    };
    for (auto& c : cases) {
        rg_DrenvikWangYeJieXiLei p;
        EXPECT_EQ(p.GetElement(page, c.spec, c.index, c.inner, 0), c.want) << c.spec << " " << c.index;
        EXPECT_TRUE(p.lowerBytes.IsEmpty());
    }
}

TEST(HtmlParser, NestingAndRanges) {
    const CWString page = L"<div a=1>x<div a=2>y</div>z</div><div a=3/>";
    rg_DrenvikWangYeJieXiLei p;
    EXPECT_EQ(p.GetElement(page, L"div", 0, 0, 0), L"<div a=1>x<div a=2>y</div>z</div>");
    EXPECT_EQ(p.GetElement(page, L"div", 1, 0, 0), L"<div a=2>y</div>");
    EXPECT_EQ(p.lastFound, L"<div a=2>y</div>");

    auto all = Collect(p, page, L"div");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], L"<div a=1>x<div a=2>y</div>z</div>");
    EXPECT_EQ(all[1], L"<div a=2>y</div>");
    EXPECT_EQ(all[2], L"<div a=3/>");
    auto* r0 = static_cast<rg_DrenvikWeiZhiLei*>(p.ranges.GetAt(0));
    EXPECT_EQ(r0->start, 0);
    EXPECT_EQ(r0->end, 2 * 33);  // byte offsets of the UTF-16LE page
    EXPECT_EQ(r0->nestCount, 1);
    EXPECT_EQ(p.GetFoundText(-1), L"");
    EXPECT_EQ(p.GetFoundText(3), L"");

    // A lookup by index leaves the last collection alone.
    EXPECT_EQ(p.GetElement(L"<b>other</b>", L"b", 0, 0, 0), L"<b>other</b>");
    EXPECT_EQ(p.GetElement(L"<b>other</b>", L"b", 5, 0, 0), L"");
    EXPECT_EQ(p.GetFoundText(1), L"<div a=2>y</div>");
    EXPECT_EQ(p.ranges.GetCount(), 3);

    // Append collects several specs into one list.
    rg_DrenvikWangYeJieXiLei q;
    EXPECT_EQ(q.FindTagRanges(L"<i>1</i><b>2</b><i>3</i>", L"b | i"), 3);
    EXPECT_EQ(q.GetFoundText(0), L"<i>1</i>");
    EXPECT_EQ(q.GetFoundText(1), L"<b>2</b>");
}

TEST(HtmlParser, EmptySpecTakesEveryStartTag) {
    rg_DrenvikWangYeJieXiLei p;
    auto all = Collect(p, L"<P>a<B>b</B></P><br/>", L"");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], L"<P>a<B>b</B></P>");  // closed by its own name, whatever its case
    EXPECT_EQ(all[1], L"<B>b</B>");
    EXPECT_EQ(all[2], L"<br/>");
}

TEST(HtmlParser, OddPages) {
    struct { const wchar_t* page; const wchar_t* spec; int inner; const wchar_t* want; } cases[] = {
        {L"", L"div", 0, L""},
        {L"<div class=a", L"div", 0, L""},                        // no ">": no candidate
        {L"<div>open only", L"div", 0, L"<div>"},                 // no closing tag
        {L"<div>open only", L"div", 1, L""},
        {L"<a title=\"x>y\">t</a>", L"a", 0, L"<a title=\"x>y\">t</a>"},
        {L"<!-- <p>c</p> --><p>d</p>", L"p", 1, L"c"},            // comments are not skipped
        {L"<div disabled class=k>v</div>", L"div,disabled", 1, L""},  // a bare word is no attribute
        {L"<a class=\"x>y</a>", L"a,class=x>", 0, L"<a class=\"x>y</a>"},  // an open quote reaches ">"
        {L"<a class=\"x y>y</a>", L"a,class=y>", 1, L"y"},
        {L"<a class=x>y</a>", L"a,class=x>", 0, L""},
    };
    for (auto& c : cases) {
        rg_DrenvikWangYeJieXiLei p;
        EXPECT_EQ(p.GetElement(c.page, c.spec, 0, c.inner, 0), c.want) << c.page;
    }
}

// The element ends found in one pass agree with the step-by-step nesting walk over the same page.
TEST(HtmlParser, NestingEndsAgreeWithTheWalk) {
    const wchar_t* pieces[] = {L"<a>", L"</a>", L"<ab>", L"<a/>", L"x", L"</A>", L"<A x=1>", L"<a", L"</a"};
    std::mt19937 random(17);
    for (int round = 0; round < 300; ++round) {
        CWString page;
        for (int n = int(random() % 14); n-- > 0;) page += pieces[random() % std::size(pieces)];
        page += L">";
        rg_DrenvikWangYeJieXiLei p;
        const int count = int(WideTextToInt(p.GetElement(page, L"a", -1, 0, 0)));
        // The walk needs the search state GetElement had.
        CWString lower = page;
        lower.MakeLower();
        p.lowerBytes = CVolMem::ConstructFromText(lower);
        p.lowerLength = int32_t(p.lowerBytes.GetSize());
        for (int i = 0; i < count; ++i) {
            const auto& r = *static_cast<rg_DrenvikWeiZhiLei*>(p.ranges.GetAt(i));
            const CWString tag = page.substr(size_t(r.start / 2), page.find(L'>', size_t(r.start / 2)) + 1 - size_t(r.start / 2));
            if (tag.ends_with(L"/>")) continue;
            p.tagCounts = VolTagCounts();
            int32_t q = r.start, end = r.start + 2 * int32_t(tag.size());
            for (size_t c = size_t(r.start / 2); (c = lower.find(L"</a>", c + 1)) != CWString::npos;) {
                if (p.CountNestedTags(p.openPattern, p.openLength, q, int32_t(2 * c), q)) {
                    end = int32_t(2 * c) + p.closeLength;
                    break;
                }
            }
            EXPECT_EQ(r.end, end) << std::wstring(page) << " at " << r.start;
            EXPECT_EQ(r.nestCount, p.tagCounts.opening) << std::wstring(page) << " at " << r.start;
        }
    }
}

TEST(HtmlParser, HostilePagesReturnPromptly) {
    const auto repeat = [](const wchar_t* piece, int n) {
        CWString s;
        while (n-- > 0) s += piece;
        return s;
    };
    // 2000 a elements, each inside the one before
    const CWString nestedA = repeat(L"<a>", 2000) + repeat(L"</a>", 2000);
    // 511 nested divs with text between them, about 110 KB
    const CWString filler = repeat(L"text ", 20);
    const CWString nestedDivs = repeat((L"<div class=x>" + filler).c_str(), 511) + repeat((filler + L"</div>").c_str(), 511);
    // openings that never close, closings that open nothing
    const CWString unclosed = repeat(L"<p>", 20000);
    const CWString stray = repeat(L"</p>", 20000) + L"<p>x</p>";
    // every start tag runs to the one ">" at the end
    const CWString oneGreater = repeat(L"<p", 50000) + L">";

    rg_DrenvikWangYeJieXiLei p;
    ExpectReturnsWithin(10, [&] { EXPECT_EQ(p.GetElement(nestedA, L"a", -1, 0, 0), L"2000"); }, "nested a");
    EXPECT_EQ(p.GetFoundText(0), nestedA);
    EXPECT_EQ(p.GetFoundText(1999), L"<a></a>");
    ExpectReturnsWithin(10, [&] { EXPECT_EQ(p.GetElement(nestedA, L"", -1, 0, 0), L"2000"); }, "nested a, empty spec");
    EXPECT_EQ(p.GetFoundText(1), nestedA.substr(3, nestedA.size() - 7));

    ExpectReturnsWithin(10, [&] { EXPECT_EQ(p.GetElement(nestedDivs, L"div,class=x", -1, 0, 0), L"511"); }, "nested divs");
    EXPECT_EQ(p.GetFoundText(0), nestedDivs);
    ExpectReturnsWithin(10, [&] {
        EXPECT_EQ(p.GetElement(nestedDivs, L"div,class=x", 510, 1, 0), filler + filler);
    }, "innermost div");

    ExpectReturnsWithin(10, [&] { EXPECT_EQ(p.GetElement(unclosed, L"p", -1, 0, 0), L"20000"); }, "unclosed");
    EXPECT_EQ(p.GetFoundText(5), L"<p>");  // no closing tag: the start tag alone
    ExpectReturnsWithin(10, [&] { EXPECT_EQ(p.GetElement(stray, L"p", 0, 1, 0), L"x"); }, "stray closings");
    ExpectReturnsWithin(10, [&] { EXPECT_EQ(p.GetElement(oneGreater, L"p", -1, 0, 0), L"50000"); }, "one >");
    EXPECT_EQ(p.GetFoundText(49999), L"<p>");

    // Without a tag name every "<" is a candidate named by the rest of the run.
    const CWString ltRun = repeat(L"<", 10000) + L">";
    ExpectReturnsWithin(10, [&] { EXPECT_EQ(p.GetElement(ltRun, L"", -1, 0, 0), L"10000"); }, "< run, empty spec");
    EXPECT_EQ(p.GetFoundText(0), ltRun);
    EXPECT_EQ(p.GetFoundText(9999), L"<>");

    // Unclosed start tags before nested elements: not removed in one pass, and each removal used to
    // search the page from its start.
    CWString unclosedThenNested = repeat(L"<a>", 8000) + L" " + repeat(L"<a>", 8000) + repeat(L"</a>", 8000);
    ExpectReturnsWithin(10, [&] { p.RemoveTags(unclosedThenNested, L"a", L""); }, "unclosed then nested");
    EXPECT_EQ(unclosedThenNested, L" ");
    // The same page with one unit whose high byte is that of "<".
    CWString withHighLt = repeat(L"<a>", 8000) + L" " + repeat(L"<a>", 8000) + repeat(L"</a>", 8000) + L"\x3C41";
    ExpectReturnsWithin(10, [&] { p.RemoveTags(withHighLt, L"a", L""); }, "unclosed then nested, unit 0x3C41");
    EXPECT_EQ(withHighLt, L" \x3C41");
    // Joins that make closing tags, again and again.
    const CWString joinsPage = repeat(L"<a></<a></a>a>Q<a></a>", 3000);
    CWString joins = joinsPage;
    ExpectReturnsWithin(10, [&] { p.RemoveTags(joins, L"a", L""); }, "joins");
    EXPECT_EQ(joins, RemoveOneByOne(joinsPage, L"a", L""));

    // Two long elements with one stretch hash, under the key that makes them collide and under the
    // run's own; and an element read half a unit off in front of many.
    for (bool colliding : {true, false}) {
        std::optional<CollidingKey> key;
        if (colliding) key.emplace();
        CWString withCollision = WithCollidingElements(6667, 46679);
        ExpectReturnsWithin(10, [&] { p.RemoveTags(withCollision, L"a", L""); }, "two elements with one hash");
        EXPECT_EQ(withCollision, L"< ");
    }
    CWString halfOff = HalfOffInFront(8000);
    ExpectReturnsWithin(10, [&] { p.RemoveTags(halfOff, L"a", L""); }, "an element half a unit off");
    EXPECT_EQ(halfOff, L"\x3C41\x6100\x2000> ");
}

TEST(HtmlParser, RemoveTags) {
    struct { const wchar_t* page; const wchar_t* names; const wchar_t* keep; const wchar_t* want; } cases[] = {
        {L"x<a href=1>one</a>y<A HREF=2><b>two</b></A>z", L"a", L"", L"xyz"},
        {L"x<a class=Keep>one</a>y<a>two</a>", L"a", L"keep|other", L"x<a class=Keep>one</a>y"},
        {L"<div>a<span>b</span></div>c<span>d</span>", L"div|span", L"", L"c"},
        {L"unchanged <a>x</a>", L"", L"", L"unchanged <a>x</a>"},
        {L"<a>1<a>2</a>3</a>", L"a", L"", L""},
        // Taking the inner element out joins "</" and "a>" into a closing tag: the first element
        // then reads as a copy of the others and goes first.
        {L"<a></<a></a>a>Q<a></a>", L"a", L"", L"Q</a>"},
        // The open quote runs to the ">", so the value holds it.
        {L"<a class=\"x>y</a>z", L"a,class=x>", L"", L"z"},
    };
    for (auto& c : cases) {
        rg_DrenvikWangYeJieXiLei p;
        CWString page = c.page;
        p.RemoveTags(page, c.names, c.keep);
        EXPECT_EQ(page, c.want) << c.page;
    }
}

// Element texts that occur elsewhere, nested and unclosed elements, crossing start tags, a "<"
// left before an element, keep-keywords, bytes that straddle units: the one-pass removal gives
// what removing the elements one by one gives, or leaves the page to that.
TEST(HtmlParser, RemoveTagsAgreesWithRemovingElementsOneByOne) {
    struct { const wchar_t* page; const wchar_t* names; const wchar_t* keep; } cases[] = {
        {L"<div class=\"markdown-container\"><p>x</p><a href=x>y</a><a href=x>y</a><a href=z>y</a></div>", L"a", L""},
        {L"<b title=\"<a>y</a>\"><a>y</a></b>", L"a", L""},           // an element's text inside an attribute
        {L"<A>y</A><a>y</a><a>Y</a>", L"a", L""},
        {L"<a class=keep>1<a>2</a>3</a><a>2</a>", L"a", L"keep"},      // a copy inside a kept element
        {L"<<a>xx</a>a>y</a> <a>y</a>", L"a", L""},                     // joining makes a new element
        {L"<a>x<a zzzzzzzzzz/>y</a>Q<a>xy</a>", L"a", L""},             // removing closes an unclosed one
        {L"<a <a>x</a>", L"a", L""},                                    // start tags that cross
        {L"<a/><a href=x/>t<a>", L"a", L""},
        {L"\x3C41<a>y</a>\x3E41\x4100<a>z</a>", L"a", L""},          // bytes of "<" and ">" astride units
        {L"\x3C41\x6100\x2000>x<a\x3E20", L"a", L""},                  // an element half a unit off, as units elsewhere
        {L"<a>\x3C41</a><a>\x3C41</a>\x3E41<a \x3E41\x0100>", L"a", L""},
        {L"before<div><div>x</div></div>after", L"div", L""},
        {L"<div>a<span>b</span></div>c<span>d</span>", L"div|span", L""},
        {L"<span>d</span><div>a<span>b</span></div>", L"span|div", L""},
        {L"<a class=Keep>1</a><a class=keep>1</a><a>1</a>", L"a", L"KEEP|other"},
        {L"x < y <a>z</a>", L"a", L""},
        {L"<A<a>xx</a> b>y</a> <a b>y</a>", L"a", L""},
        {L"<a<a>xx</a>-b>y</a> <a-b>y</a> <ab<a>xx</a>>", L"a", L""},
        {L"<a></<a></a>a>Q<a></a>", L"a", L""},                         // joining makes a closing tag
        {L"<a></A<a></a>>Q<a></a>", L"a", L""},
        {L"<a>x</<a>y</a>a>Q<a>x</a>", L"a", L""},
        {L"<a></<a></a>a>Q<a></a><a class=keep></<a></a>a>", L"a", L"keep"},
        {L"<a class=\"x></a>y</a>", L"a,class=x>", L""},                  // an open quote reaching ">"
        {L"<a href=\"<a>x</a>\">y</a><a>x</a>", L"a", L""},
    };
    for (const auto& c : cases) {
        rg_DrenvikWangYeJieXiLei p;
        CWString page = c.page;
        p.RemoveTags(page, c.names, c.keep);
        EXPECT_EQ(page, RemoveOneByOne(c.page, c.names, c.keep)) << c.page;
    }

    // Pages that are mostly well formed, and pages that are not.
    const std::vector<std::wstring> tidy = {L"<a>", L"</a>", L"<a href=x>", L"<A HREF=X>", L"y", L"z ", L"<b>", L"</b>",
                                            L"<a class=keep>", L"<a/>", L"<p>", L"</p>"};
    std::vector<std::wstring> wild = tidy;
    for (const wchar_t* piece : {L"<", L">", L"<a", L"</a", L"<ab>", L"\"", L"=", L"\x3C41", L"\x3E41\x4100", L"<a <a>", L"<A", L"<x",
                                 L"-", L"<b", L"</", L"</A", L"a>", L"<<<", L"<a class=\"", L"'", L"/>", L"<a></",
                                 L"\x413C", L"\x3E41", L"\x6100", L"\x0100", L"\x3C41\x6100\x2000", L"\x3E41\x0100",
                                 L"\x3C41\x2F00\x6100\x3E00\x0100", L"<a-b>", L"</a-b>", L"<\x4E2D>", L"</\x4E2D>"})
        wild.push_back(piece);
    const wchar_t* names[] = {L"a", L"b", L"a|b", L"b|a", L"a|p", L"a-b|\x4E2D"};
    const wchar_t* keeps[] = {L"", L"keep", L"KEEP|x=1"};
    std::mt19937 random(23);
    for (int round = 0; round < 3000; ++round) {
        const CWString page = RandomPage(random, round % 2 ? tidy : wild, 16);
        const wchar_t* name = names[random() % std::size(names)];
        const wchar_t* keep = keeps[random() % std::size(keeps)];
        rg_DrenvikWangYeJieXiLei p;
        CWString got = page;
        p.RemoveTags(got, name, keep);
        ASSERT_EQ(got, RemoveOneByOne(page, name, keep)) << std::wstring(page) << " / " << name << " / " << keep;
    }
}

// Removing the elements in turn, each from where it can first stand, gives what removing the
// first occurrence of each element's text in the whole page gives: on pages where joins make new
// tag starts and closing tags (stray "</", "</a", "<" runs, open quotes reaching a ">"), where a
// removed start tag closes an element before it, where copies stand before the element, where units
// hold the byte of "<" or ">", and with keep-keywords and conditions.
TEST(HtmlParser, RemovingInTurnAgreesWithRemovingElementsOneByOne) {
    const auto inTurn = [](const CWString& page, const wchar_t* spec, const wchar_t* keep, CWString& out) {
        rg_DrenvikWangYeJieXiLei p;
        p.FindTagRanges(page, spec);
        SortPositionsByLength(p.ranges);
        CWString name(spec);
        name = name.substr(0, name.find(L','));
        out = page;
        return RemoveElementsInTurn(out, p.ranges, name, keep);
    };
    struct { const wchar_t* page; const wchar_t* spec; const wchar_t* keep; } cases[] = {
        {L"<a></<a></a>a>Q<a></a>", L"a", L""},
        {L"<a>x<a zzzzzzzzzz/>y</a>Q<a>xy</a>", L"a", L""},
        {L"<<a>xx</a>a>y</a> <a>y</a>", L"a", L""},
        {L"<a <a>x</a>", L"a", L""},
        {L"<a></<a></a>a><a></<a></a>a>Q<a></a>Q<a></a>", L"a", L""},
        {L"<a><a></<a></a>a></a>x<a></a></a>", L"a", L""},
        {L"</a></a><a></<a></a>a>x</a>", L"a", L""},
        {L"<a>1<a zzzzzzzzzzz>2</a><a>2</a>", L"a", L""},
        {L"<a x=\"1>2</a><a x=\"1>", L"a,x=1>", L""},
        {L"<a class=k><a></a></<a></a>a></a><a></a>", L"a", L"k"},
        {L"<a a<a>b</a>>c</a>d<a a>c</a>", L"a", L""},
        {L"<a></a<a></a>>", L"a", L""},
    };
    for (const auto& c : cases) {
        CWString got;
        ASSERT_TRUE(inTurn(c.page, c.spec, c.keep, got)) << c.page;
        EXPECT_EQ(got, RemoveOneByOne(c.page, c.spec, c.keep)) << c.page;
    }
    const std::vector<std::wstring> pieces = {L"<a>", L"</a>", L"<a", L"</a", L"</", L"<", L">", L"a>", L"/a>", L"x", L" ",
                                              L"<A>", L"</A>", L"<a/>", L"<a class=k>", L"<a x=\"", L"\"", L"'", L"<<<",
                                              L"<ab>", L"<b>", L"</b>", L"<a></", L"a></a>", L"<a x=1>", L"/", L"-",
                                              L"<ab", L"</ab", L"b>", L"</ab>", L"<AB x=1/>", L"\r\n"};
    // Units with the byte of "<" or ">" high or low, and units with a zero low byte after them: the
    // search over bytes then meets "<a", "</a>" and ">" half a unit off.
    std::vector<std::wstring> astride = pieces;
    for (const wchar_t* piece : {L"\x3C41", L"\x3E41", L"\x3C00", L"\x3E00", L"\x413C", L"\x413E", L"\x6100", L"\x6200",
                                 L"\x2F00", L"\x0100", L"\x2000", L"\x3C41\x6100\x2000", L"\x3E41\x0100",
                                 L"\x3C41\x2F00\x6100\x3E00\x0100", L"\x3C41\x6100\x6200\x3E00",
                                 // tags of names with other characters
                                 L"<a-b>", L"</a-b>", L"<a-b", L"<\x4E2D>", L"</\x4E2D>", L"<\x4E2D", L"<\x3C41>",
                                 L"</\x3C41>", L"<\x3C41", L"<\x413C x=1>", L"</\x413C>", L"<a b>", L"</a b>",
                                 // what elements read half a unit off read as, standing as units
                                 L"<a\x3E20", L"<a\x3E00", L"<a\x3E41", L"<a>\x4100", L"</a>\0"})
        astride.push_back(piece);
    for (const wchar_t* shifted : {L"<a>", L"</a>", L"<a>x</a>", L"<a x=1>", L"<a/>", L"<a><a></a>"})
        astride.push_back(HalfUnitShifted(shifted));
    astride.push_back(std::wstring(1, L'\0'));
    astride.push_back(std::wstring(L"<a>\0", 4));
    // Whether the bytes hold a "<" or ">" half a unit off (a unit 0x3Cxx or 0x3Exx before one
    // whose low byte is 0): only then may an element be found that does not read as units do.
    const auto halfOff = [](std::wstring_view page) {
        for (size_t i = 0; i + 1 < page.size(); ++i)
            if (((page[i] >> 8) == 0x3C || (page[i] >> 8) == 0x3E) && (page[i + 1] & 0xFF) == 0) return true;
        return false;
    };
    const wchar_t* specs[] = {L"a", L"a", L"a,x=1", L"b", L"a,class=k", L"ab"};
    const wchar_t* otherNames[] = {L"a-b", L"\x4E2D", L"\x3C41", L"\x413C", L"\x413C,x=1", L"a b"};
    const wchar_t* keeps[] = {L"", L"", L"k"};
    std::mt19937 random(41);
    int takenAstride = 0, takenHalfOff = 0;
    for (int round = 0; round < 12000; ++round) {
        const CWString page = RandomPage(random, round % 2 ? pieces : astride, round % 3 ? 14 : 40);
        const wchar_t* spec = round % 4 == 2 ? otherNames[random() % std::size(otherNames)] : specs[random() % std::size(specs)];
        const wchar_t* keep = keeps[random() % std::size(keeps)];
        CWString got;
        ASSERT_TRUE(inTurn(page, spec, keep, got)) << std::wstring(page) << " / " << spec;
        takenHalfOff += halfOff(page);
        takenAstride += round % 2 == 0 &&
                        std::any_of(page.begin(), page.end(), [](wchar_t u) { return (u >> 8) == 0x3C || (u >> 8) == 0x3E; });
        ASSERT_EQ(got, RemoveOneByOne(page, spec, keep)) << std::wstring(page) << " / " << spec << " / " << keep;
    }
    EXPECT_GT(takenAstride, 1000);
    EXPECT_GT(takenHalfOff, 1000);
    // Not taken: names that hold "/".
    CWString unused;
    EXPECT_FALSE(inTurn(L"<a/b>x</a/b>", L"a/b", L"", unused));
    // The one element half a unit off finds no copy of its text; then one that does, before and
    // after the others.
    const CWString halfOffPages[] = {HalfOffInFront(3), HalfOffInFront(3) + L"<a\x3E20", L"<a\x3E20" + HalfOffInFront(3),
                                     HalfUnitShifted(L"<a>x</a>") + L"<a><a>x</a></a>" + HalfUnitShifted(L"<a>")};
    for (const CWString& page : halfOffPages) {
        CWString got;
        ASSERT_TRUE(inTurn(page, L"a", L"", got)) << std::wstring(page);
        EXPECT_EQ(got, RemoveOneByOne(page, L"a", L"")) << std::wstring(page);
    }
    EXPECT_EQ(RemoveOneByOne(HalfOffInFront(50), L"a", L""), L"\x3C41\x6100\x2000> ");
    CWString withHigh, otherName;
    EXPECT_TRUE(inTurn(L"<a>x</a>\x3C41<a>", L"a", L"", withHigh));
    EXPECT_EQ(withHigh, L"\x3C41");
    EXPECT_TRUE(inTurn(L"<\x4E2D>x</\x4E2D>y", L"\x4E2D", L"", otherName));
    EXPECT_EQ(otherName, L"y");
}

// Under a key that gives two texts one hash, elements, start tags and noted tags that end in either
// stretch are still told apart: the removal agrees with removing elements one by one.
TEST(HtmlParser, RemovingInTurnTellsTextsWithOneHashApart) {
    const CollidingKey key;
    EXPECT_EQ(RemoveOneByOne(WithCollidingElements(20, 40), L"a", L""), L"< ");
    const std::wstring first = kCollidingFirst, second = kCollidingSecond;
    const std::vector<std::wstring> pieces = {L"<a>", L"</a>", L"<a", L"</", L"<", L">", L"a>", L"x", L" ", L"<a></",
                                              L"<a>" + first + L"</a>", L"<a>" + second + L"</a>", first, second,
                                              L"<a " + first + L">", L"<a " + second + L">", L"<a>" + first,
                                              L"<a>" + second, first + L"</a>", second + L"</a>"};
    const wchar_t* keeps[] = {L"", L"", L"NC8"};
    std::mt19937 random(47);
    for (int round = 0; round < 3000; ++round) {
        const CWString page = RandomPage(random, pieces, round % 3 ? 14 : 40);
        const wchar_t* keep = keeps[random() % std::size(keeps)];
        rg_DrenvikWangYeJieXiLei p;
        p.FindTagRanges(page, L"a");
        SortPositionsByLength(p.ranges);
        CWString got = page;
        ASSERT_TRUE(RemoveElementsInTurn(got, p.ranges, L"a", keep));
        ASSERT_EQ(got, RemoveOneByOne(page, L"a", keep)) << std::wstring(page) << " / " << keep;
        CWString viaRemoveTags = page;
        p.RemoveTags(viaRemoveTags, L"a", keep);
        ASSERT_EQ(viaRemoveTags, got) << std::wstring(page) << " / " << keep;
    }
}

// Where the pages are ordinary the one-pass removal takes them, and gives the same text; where
// removing each element's own stretch would not give the same text it leaves them.
TEST(HtmlParser, RemovesOrdinaryElementsInOnePass) {
    const auto repeat = [](std::wstring_view piece, int n) {
        CWString s;
        while (n-- > 0) s += piece;
        return s;
    };
    struct { CWString page; const wchar_t* name; const wchar_t* keep; bool atOnce; } cases[] = {
        {L"<div class=\"x markdown-container\">" + repeat(L"<a href=x>y</a>", 50) + L"</div>", L"a", L"", true},
        {L"x" + repeat(L"<div>", 40) + repeat(L"</div>", 40) + L"y", L"div", L"", true},
        {L"<p>" + repeat(L"<a class=keep>k</a><a>t</a>", 5) + L"</p>", L"a", L"keep", true},
        {L"<a>1<a>2</a></a><a>2</a><a/><br><a href=\"x>y\">z</a>", L"a", L"", true},
        {L"<noscript><p>n</p></noscript>", L"noscript", L"", true},
        {L"x < y <a href=1>z</a><a href=2>z</a>, a<ab <a>z</a>", L"a", L"", true},
        {L"<<a>xx</a>a>y</a> <a>y</a>", L"a", L"", false},
        {L"<a>x<a zzzzzzzzzz/>y</a>Q<a>xy</a>", L"a", L"", false},
        {L"<a <a>x</a>", L"a", L"", false},
        {L"<a></<a></a>a>Q<a></a>", L"a", L"", false},
    };
    for (const auto& c : cases) {
        rg_DrenvikWangYeJieXiLei p;
        p.FindTagRanges(c.page, c.name);
        CWString once;
        EXPECT_EQ(RemoveElementsAtOnce(c.page, p.ranges, c.name, c.keep, once), c.atOnce) << std::wstring(c.page);
        // Where it declines, removing every element at once would differ.
        if (!c.atOnce) once = RemoveEveryElement(c.page, p.ranges);
        EXPECT_EQ(once == RemoveOneByOne(c.page, c.name, c.keep), c.atOnce) << std::wstring(c.page);
    }
}

// Without a tag name every start tag is a candidate closed by its own name: the collection agrees
// with the walk read step by step, start, end, nest count and the patterns left behind, on pages
// of stray and odd closing tags, "<" runs and bytes astride units.
TEST(HtmlParser, EmptySpecAgreesWithTheWalk) {
    const std::vector<std::wstring> pieces = {L"<", L">", L"</", L"</a>", L"<a>", L"<a", L"<A>", L"</A>", L"<b x=1>", L"</b>",
                                              L"<<", L"/", L" ", L"x", L"</<<>", L"<<>", L"</ab>", L"<ab>", L"/>", L"\r\n",
                                              L"<a/>", L"</ a>", L"< a>", L"</>", L"<>", HalfUnitShifted(L"</a>"),
                                              HalfUnitShifted(L"<a>"), std::wstring(1, L'\0')};
    // Long start tags and many names take another way to the same walk.
    std::vector<std::wstring> more = pieces;
    more.push_back(std::wstring(300, L'<'));
    more.push_back(L" " + std::wstring(300, L'y'));
    for (int k = 0; k < 40; ++k) {
        more.push_back(L"<t" + std::to_wstring(k) + L">");
        more.push_back(L"</t" + std::to_wstring(k) + L">");
    }
    // Names with one stretch hash under the colliding key, long enough to be read by their hash.
    for (const std::wstring& name : {kCollidingFirst, kCollidingSecond}) {
        more.push_back(L"<" + name + std::wstring(250, L'q') + L">");
        more.push_back(L"</" + name + std::wstring(250, L'q') + L">");
    }
    std::mt19937 random(43);
    for (int round = 0; round < 4000; ++round) {
        const CWString page = round % 2 ? RandomPage(random, pieces, 20) : RandomPage(random, more, 120);
        const bool inner = round % 4 >= 2;
        std::optional<CollidingKey> key;
        if (round % 8 == 0) key.emplace();
        rg_DrenvikWangYeJieXiLei p;
        const int count = int(WideTextToInt(p.GetElement(page, L"", -1, inner, 0)));
        std::vector<std::array<int32_t, 3>> got;
        for (int i = 0; i < count; ++i) {
            const auto& r = *static_cast<rg_DrenvikWeiZhiLei*>(p.ranges.GetAt(i));
            got.push_back({r.start, r.end, r.nestCount});
        }
        CVolMem last;
        ASSERT_EQ(got, CollectByTheWalk(page, L"", last, inner)) << std::wstring(page) << " inner " << inner;
        if (count > 0) {
            EXPECT_EQ(std::wstring(CWString::FromUtf16Bytes(p.closePattern.GetPtr(), p.closePattern.GetSize())),
                      std::wstring(CWString::FromUtf16Bytes(last.GetPtr(), last.GetSize())))
                << std::wstring(page);
        }
    }
}

// A start tag taken as its own element, without a closing tag of its name: with the inner flag its
// range ends the length of that closing tag before its end, however long the tag, whatever came
// before.
TEST(HtmlParser, InnerRangeOfAStartTagAlone) {
    const struct { std::wstring page; int32_t start, end; } cases[] = {
        {L"<" + std::wstring(250, L'x') + L">", 504, 504 - 2 * 253},  // the closing tag "</" + 250 x + ">"
        {L"<" + std::wstring(256, L'x') + L">", 516, 516 - 2 * 259},
        {L"<" + std::wstring(600, L'x') + L" y=1>", 1212, 1212 - 2 * 603},
        {L"<a>x</a><b" + std::wstring(300, L'/') + L"c>", 16 + 608, 16 + 608 - 10},  // "/" is no part of the name
    };
    for (const auto& c : cases) {
        for (bool fresh : {true, false}) {
            rg_DrenvikWangYeJieXiLei p;
            if (!fresh) p.GetElement(L"<abcdef>x</abcdef>", L"", -1, 1, 0);  // leaves a longer closing tag behind
            const int count = int(WideTextToInt(p.GetElement(c.page, L"", -1, 1, 0)));
            ASSERT_GE(count, 1) << c.page;
            const auto* last = static_cast<rg_DrenvikWeiZhiLei*>(p.ranges.GetAt(count - 1));
            EXPECT_EQ(last->start, c.start) << c.page;
            EXPECT_EQ(last->end, c.end) << c.page;
        }
    }
}

// Start tags that share one ">", quotes, line breaks, bytes astride units: matching the conditions
// for all candidates at once gives the matches that reading each start tag alone gives.
TEST(HtmlParser, ConditionMatchesAgreeWithReadingEachStartTag) {
    const std::vector<std::wstring> pieces = {
        L"<div", L" class=x", L" class=\"x y\"", L" class='markdown-container'", L" data=\"markdown-container\"",
        L" class=markdown-container", L"=", L"\"", L"'", L" ", L">", L"/>", L"<", L"\r\n", L"text", L"</div>",
        L"<DIV", L" CLASS=X", L"<p", L"\t", L"<divx", std::wstring(1, L'\0'), L"x", L"markdown-container",
        HalfUnitShifted(L"<div class=x>"), HalfUnitShifted(L"<div class=markdown-container"), HalfUnitShifted(L"<div"),
        HalfUnitShifted(L"<div class=X"), L" class=\"x>", L" CLASS=\"MARKDOWN-CONTAINER>"};
    const wchar_t* specs[] = {L"div,class=markdown-container", L"div,class=x", L"div,class=x,data=markdown-container",
                              L"div,class", L"div,data=markdown-container", L"div", L"div,=x", L"div,=markdown-container",
                              L"div,class=x>", L"div,class=markdown-container>"};
    std::mt19937 random(29);
    for (int round = 0; round < 2000; ++round) {
        const CWString page = RandomPage(random, pieces, 24);
        const wchar_t* spec = specs[random() % std::size(specs)];
        for (int inner = 0; inner < 2; ++inner) {
            rg_DrenvikWangYeJieXiLei p;
            const int count = int(WideTextToInt(p.GetElement(page, spec, -1, inner, 0)));
            std::vector<int32_t> starts;
            for (int i = 0; i < count; ++i) starts.push_back(static_cast<rg_DrenvikWeiZhiLei*>(p.ranges.GetAt(i))->start);
            ASSERT_EQ(starts, MatchStartsOneByOne(page, spec, inner)) << std::wstring(page) << " / " << spec << " " << inner;
            // A lookup by index counts the matches without skipping their start tags, as a
            // collection without the inner flag does.
            if (inner) continue;
            const int k = int(random() % unsigned(count + 1));
            rg_DrenvikWangYeJieXiLei q;
            EXPECT_EQ(q.GetElement(page, spec, k, 0, 0), p.GetFoundText(k)) << std::wstring(page) << " / " << spec;
        }
    }
    // Scans that differ only in where their stretch began, in the name they read, or in a quote.
    const struct { std::wstring page; const wchar_t* spec; } crafted[] = {
        {L"<div class=x<div =x>", L"div,div=x"},
        {L"<div class=x<div=x>", L"div,div=x"},
        {L"<div class=x<div=markdown-container>", L"div,=markdown-container"},
        {L"<div class=\"<div class=x>", L"div,class=x"},
        {L"<div a='x<div b=x' c=x>", L"div,b=x"},
        {L"<div class=x" + std::wstring(1, L'\0') + L"<div class=y>", L"div,class=x"},
        {L"<div c=<div c=\"x <div c=x\">", L"div,c=x"},
        {L"<div class=\"x>y</div>", L"div,class=x>"},                // an open quote runs to the ">"
        {L"<div class=\"x<div class=\"y>", L"div,class=y>"},
        {HalfUnitShifted(L"<div class=X>"), L"div,class=x"},            // read half a unit off
        {HalfUnitShifted(L"<div class=\"X>"), L"div,class=x>"},
    };
    for (const auto& c : crafted) {
        for (int inner = 0; inner < 2; ++inner) {
            rg_DrenvikWangYeJieXiLei p;
            const int count = int(WideTextToInt(p.GetElement(c.page, c.spec, -1, inner, 0)));
            std::vector<int32_t> starts;
            for (int i = 0; i < count; ++i) starts.push_back(static_cast<rg_DrenvikWeiZhiLei*>(p.ranges.GetAt(i))->start);
            EXPECT_EQ(starts, MatchStartsOneByOne(c.page, c.spec, inner)) << c.page << " / " << c.spec;
        }
    }
    // Many candidates before one ">": each one's match is its own.
    CWString shared;
    for (int i = 0; i < 300; ++i) shared += i % 7 ? L"<div class=x" : L"<div class='a";
    shared += L" data=\"markdown-container\"><div class=markdown-container>answer</div>";
    for (const wchar_t* spec : specs) {
        rg_DrenvikWangYeJieXiLei p;
        const int count = int(WideTextToInt(p.GetElement(shared, spec, -1, 0, 0)));
        std::vector<int32_t> starts;
        for (int i = 0; i < count; ++i) starts.push_back(static_cast<rg_DrenvikWeiZhiLei*>(p.ranges.GetAt(i))->start);
        EXPECT_EQ(starts, MatchStartsOneByOne(shared, spec, false)) << spec;
    }
}

TEST(HtmlParser, SortsKeepRecordsAndOrder) {
    CVolObjectArray a;
    int spans[][2] = {{10, 12}, {0, 30}, {5, 9}, {10, 40}};
    for (auto& s : spans) {
        rg_DrenvikWeiZhiLei r;
        r.start = s[0];
        r.end = s[1];
        a.AddCopy(r);
    }
    auto starts = [&] {
        std::vector<int> v;
        for (int i = 0; i < a.GetCount(); ++i) v.push_back(static_cast<rg_DrenvikWeiZhiLei*>(a.GetAt(i))->start);
        return v;
    };
    SortPositionsByStart(a);
    EXPECT_EQ(starts(), (std::vector<int>{0, 5, 10, 10}));
    SortPositionsByLength(a);
    EXPECT_EQ(starts(), (std::vector<int>{10, 0, 5, 10}));  // lengths 31, 31, 5, 3; equal ones reversed
}

TEST(TagAttributes, FindValues) {
    struct { const wchar_t* tag; const wchar_t* name; const wchar_t* value; int start; int end; } cases[] = {
        {L"<a ID=\"Main\">", L"id", L"Main", 3, 11},
        {L"<a id='x y'>", L"Id", L"x y", 3, 10},
        {L"<a id=bare>", L"id", L"bare", 3, 9},
        {L"<a href=/p/>", L"href", L"/p", 3, 10},  // the "/" before ">" is not part of the value
        {L"<a  x = 'v'>", L"x", L"v", 3, 10},        // blanks around "="
        {L"<a t=\"a>b\">", L"t", L"a>b", 3, 9},
        {L"<a\r\nk=v>", L"k", L"v", 3, 6},           // a line break separates like a blank
        {L"<a\tk=v>", L"k", L"", -7, -7},             // a tab does not
        {L"<a k=\"open", L"k", L"open", 3, 9},        // unclosed: runs to the end
        {L"<a k=v>", L"", L"", -7, -7},
        {L"<a b=1>", L"c", L"", -7, -7},
    };
    for (auto& c : cases) {
        CVolObjectArray pairs;
        rg_DrenvikWeiZhiLei r;
        r.start = r.end = -7;
        EXPECT_EQ(FindAttributeValue(c.tag, pairs, c.name, r), c.value) << c.tag;
        EXPECT_EQ(r.start, c.start) << c.tag;
        EXPECT_EQ(r.end, c.end) << c.tag;
    }
}

TEST(TagAttributes, PairsAgreeWithTheFirstScan) {
    const std::wstring pieces[] = {L"<div", L" ", L"class", L"=", L"x", L"\"", L"'", L">", L"/", L"<", L"\r\n", L"\t",
                                   L"a b", L"A", std::wstring(1, L'\0'), L"data-x", L"  "};
    std::mt19937 random(31);
    for (int round = 0; round < 3000; ++round) {
        CWString tag;
        for (int n = int(random() % 20); n-- > 0;) tag += pieces[random() % std::size(pieces)];
        CVolObjectArray pairs;
        rg_DrenvikWeiZhiLei r;
        FindAttributeValue(tag, pairs, L"", r);
        ASSERT_EQ(PairList(pairs), PairList(PairsOfStartTag(tag))) << std::wstring(tag);
    }
}

TEST(TagAttributes, PairsOfEveryAttribute) {
    CVolObjectArray pairs;
    rg_DrenvikWeiZhiLei r;
    FindAttributeValue(L"<div disabled Class=\"A  b\" e=\"\" data-x=Y>", pairs, L"", r);
    std::vector<std::pair<CWString, CWString>> got;
    for (int i = 0; i < pairs.GetCount(); ++i) {
        auto* p = static_cast<rg_DrenvikJianZhiLei*>(pairs.GetAt(i));
        got.emplace_back(p->key, p->value);
    }
    std::vector<std::pair<CWString, CWString>> want = {{L"class", L"a"}, {L"class", L"b"}, {L"e", L""}, {L"data-x", L"y"}};
    EXPECT_EQ(got, want);
}

TEST(TagAttributes, GetOrSetAndTagNames) {
    EXPECT_EQ(GetOrSetTagAttribute(L"<meta content=\" 0;url=x \">", L"content"), L"0;url=x");
    EXPECT_EQ(GetOrSetTagAttribute(L"<a href='x'>", L"href", CWString(L"y")), L"<a href=\"y\">");
    EXPECT_EQ(GetOrSetTagAttribute(L"<a disabled class=k>", L"class", CWString(L"n")), L"<a class=\"n\">");
    EXPECT_EQ(GetOrSetTagAttribute(L"<img src=1>", L"alt", CWString(L"t")), L"<img alt=\"t\" src=1>");
    struct { const wchar_t* in; const wchar_t* name; } names[] = {
        {L"<div class=a>", L"div"}, {L"</div>", L"div"}, {L"<br/>", L"br"}, {L" <div>", L""}, {L"<p\r\nx=1>", L"p"}, {L"span", L"span"}};
    for (auto& n : names) {
        EXPECT_EQ(GetTagName(n.in), n.name) << n.in;
        CWString t = n.in;
        ReduceToTagName(t);
        EXPECT_EQ(t, n.name) << n.in;
    }
}

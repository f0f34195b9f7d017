#include <gtest/gtest.h>

#include <random>

#include "util/html_parser.h"
#include "util/tag_attributes.h"
#include "support/time_limit.h"

namespace {

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
}

TEST(HtmlParser, RemoveTags) {
    struct { const wchar_t* page; const wchar_t* names; const wchar_t* keep; const wchar_t* want; } cases[] = {
        {L"x<a href=1>one</a>y<A HREF=2><b>two</b></A>z", L"a", L"", L"xyz"},
        {L"x<a class=Keep>one</a>y<a>two</a>", L"a", L"keep|other", L"x<a class=Keep>one</a>y"},
        {L"<div>a<span>b</span></div>c<span>d</span>", L"div|span", L"", L"c"},
        {L"unchanged <a>x</a>", L"", L"", L"unchanged <a>x</a>"},
        {L"<a>1<a>2</a>3</a>", L"a", L"", L""},
    };
    for (auto& c : cases) {
        rg_DrenvikWangYeJieXiLei p;
        CWString page = c.page;
        p.RemoveTags(page, c.names, c.keep);
        EXPECT_EQ(page, c.want) << c.page;
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

// HTML parser benchmarks: RemoveTags and GetElement on pages of 1x, 4x and 16x the size. Each row
// prints the three times and the ratios of neighbouring sizes: about 4 means the work grows with
// the page, about 16 with its square. Where a plain peer exists (a single strip of the same tags)
// its time is printed beside.
#include <algorithm>
#include <cstdio>
#include <string>

#include "util/html_parser.h"
#include "scale_table.h"

namespace {

size_t d = 0;  // keeps results alive

CWString Repeat(std::wstring_view piece, size_t n) {
    CWString s;
    s.reserve(piece.size() * n);
    while (n-- > 0) s += piece;
    return s;
}

// The markdown block of an answer, as the chat client receives it.
CWString AnswerWithLinks(size_t links) {
    return L"<div class=\"x markdown-container\"><p>Intro</p>" + Repeat(L"<a href=x>y</a>", links) + L"</div>";
}

// The same strip done by hand: every "<a" element up to its "</a>" (the page holds no nesting).
CWString StripLinksByHand(const CWString& page) {
    CWString out;
    out.reserve(page.size());
    size_t c = 0;
    for (size_t p = page.find(L"<a "); p != CWString::npos; p = page.find(L"<a ", c)) {
        const size_t e = page.find(L"</a>", p);
        if (e == CWString::npos) break;
        out.append(page, c, p - c);
        c = e + 4;
    }
    out.append(page, c, CWString::npos);
    return out;
}

void RemoveLinks() {
    const size_t sizes[3] = {1000, 4000, 16000};
    double t[3], peer[3];
    bool same = true;
    for (int i = 0; i < 3; ++i) {
        const CWString page = AnswerWithLinks(sizes[i]);
        CWString out;
        t[i] = TimeForScale([&] {
            out = page;
            rg_DrenvikWangYeJieXiLei p;
            p.RemoveTags(out, L"a", L"");
        });
        CWString byHand;
        peer[i] = TimeForScale([&] { byHand = StripLinksByHand(page); });
        same = same && out == byHand;
        d += out.size();
    }
    PrintScaleRow("RemoveTags a, links in the answer block (links)", t, sizes, "by hand", peer, same);
}

void RemoveNestedDivs() {
    const size_t sizes[3] = {1000, 4000, 16000};
    double t[3];
    bool emptied = true;
    for (int i = 0; i < 3; ++i) {
        const CWString page = L"before" + Repeat(L"<div>", sizes[i]) + Repeat(L"</div>", sizes[i]) + L"after";
        CWString out;
        t[i] = TimeForScale([&] {
            out = page;
            rg_DrenvikWangYeJieXiLei p;
            p.RemoveTags(out, L"div", L"");
        });
        emptied = emptied && out == L"beforeafter";
    }
    PrintScaleRow("RemoveTags div, nested divs (depth)", t, sizes, emptied ? "" : " (MISMATCH)");
}

void RemoveWithKeepWords() {
    const size_t sizes[3] = {1000, 4000, 16000};
    double t[3];
    for (int i = 0; i < 3; ++i) {
        const CWString page = AnswerWithLinks(sizes[i]) + Repeat(L"<a class=keep href=k>z</a>", sizes[i] / 4);
        t[i] = TimeForScale([&] {
            CWString out = page;
            rg_DrenvikWangYeJieXiLei p;
            p.RemoveTags(out, L"a", L"keep");
            d += out.size();
        });
    }
    PrintScaleRow("RemoveTags a keeping \"keep\" (links)", t, sizes);
}

void FindContainerAfterUnclosedTags() {
    const size_t sizes[3] = {500, 2000, 8000};
    double t[3];
    bool found = true;
    for (int i = 0; i < 3; ++i) {
        const CWString page =
            Repeat(L"<div class=x", sizes[i]) + L" data=\"markdown-container\"><div class=markdown-container>answer</div>";
        CWString got;
        t[i] = TimeForScale([&] {
            rg_DrenvikWangYeJieXiLei p;
            got = p.GetElement(page, L"div,class=markdown-container", 0, 1, 0);
        });
        found = found && got == L"answer";
    }
    PrintScaleRow("GetElement div,class=markdown-container, unclosed tags", t, sizes, found ? "" : " (MISMATCH)");
}

// GetElement collecting every match on an ordinary page.
void CollectFromOrdinaryPage(const wchar_t* spec, const char* label) {
    const size_t sizes[3] = {1000, 4000, 16000};
    double t[3];
    for (int i = 0; i < 3; ++i) {
        const CWString page = L"<html><body>" +
                              Repeat(L"<div class=\"row x\"><p id=a>text <b>bold</b></p><a href=\"/x\">link</a></div>\r\n", sizes[i]) +
                              L"</body></html>";
        t[i] = TimeForScale([&] {
            rg_DrenvikWangYeJieXiLei p;
            d += p.GetElement(page, spec, -1, 0, 0).size();
        });
    }
    PrintScaleRow(label, t, sizes);
}

// RemoveTags "a" on pages made for 500, 2000 and 8000; a row whose result `expected` refuses says so.
template <class MakePage, class Expected>
void RemoveTagsRow(const char* label, MakePage page, Expected expected) {
    const size_t sizes[3] = {500, 2000, 8000};
    double t[3];
    bool right = true;
    for (int i = 0; i < 3; ++i) {
        const CWString in = page(sizes[i]);
        CWString out;
        t[i] = TimeForScale([&] {
            out = in;
            rg_DrenvikWangYeJieXiLei p;
            p.RemoveTags(out, L"a", L"");
        });
        d += out.size();
        right = right && expected(out);
    }
    PrintScaleRow(label, t, sizes, right ? "" : " (MISMATCH)");
}

// Pages where the one-pass removal declines, so every element is removed in turn.
void RemoveWhereOnePassDeclines() {
    const auto any = [](const CWString&) { return true; };
    // Unclosed start tags, a blank, then as many nested elements (a start tag alone has the text of
    // a closed element's start tag).
    const auto unclosedThenNested = [](size_t n) {
        return Repeat(L"<a>", n) + L" " + Repeat(L"<a>", n) + Repeat(L"</a>", n);
    };
    RemoveTagsRow("RemoveTags a, unclosed <a> run then nested (tags per run)", unclosedThenNested,
                  [](const CWString& out) { return out == L" "; });
    // The same page with one unit whose high byte is that of "<" (a CJK ideograph U+3Cxx).
    RemoveTagsRow("RemoveTags a, unclosed run, nested, one U+3C41 (tags per run)",
                  [&](size_t n) { return unclosedThenNested(n) + L"\x3C41"; },
                  [](const CWString& out) { return out == L" \x3C41"; });
    // Removals whose joins make closing tags: each removal changes an element before it.
    RemoveTagsRow("RemoveTags a, joins that make closing tags (blocks)",
                  [](size_t n) { return Repeat(L"<a></<a></a>a>Q<a></a>", n); }, any);
    // Unclosed start tags that removals after them close one by one (a self-closing tag still
    // opens): each closed one holds a join, and none is ever removed as a longer text.
    RemoveTagsRow("RemoveTags a, unclosed tags closed by later removals (tags)", [](size_t n) {
        return L"<a></<a></a>a>Q<a></a>" + Repeat(L"<a>", n) + Repeat(L"<a zzzzzzzzzz/></a>", n);
    }, any);
    // A tag read half a unit off: U+3C41 U+6100 holds the bytes of "<a" across two units, so one
    // element is no element of the units.
    RemoveTagsRow("RemoveTags a, tag half a unit off, run, nested (tags per run)",
                  [&](size_t n) { return L"\x3C41\x6100\x2000>" + unclosedThenNested(n); },
                  [](const CWString& out) { return out == L"\x3C41\x6100\x2000> "; });
    // Nested tags whose bytes all stand half a unit off (units 0x3C00, 0x6100, 0x3E00, ...), then a
    // copy as units: every element is read half a unit off, each with a text of its own.
    RemoveTagsRow("RemoveTags a, nested tags half a unit off, a copy (depth)", [&](size_t n) {
        const std::wstring ascii = Repeat(L"<a>", n) + Repeat(L"</a>", n);
        CWString shifted(1, wchar_t(ascii[0] << 8 | 'Q'));
        for (size_t i = 1; i < ascii.size(); ++i) shifted += wchar_t(ascii[i] << 8);
        return shifted + L"\x4100" + ascii;
    }, any);
}

// Two long elements whose last 12 units are two stretches with one hash under the key set here.
void RemoveWithCollidingStretches() {
    SetStretchHashKey(131071, 131071);
    const CWString first = L"\x4ED3\x4ED7\x4ED9\x4EBD\x4EDB\x4ED5\x4ECB\x4ECD\x4ECA\x4ED2\x4EC4\x4EBA";
    const CWString second(12, L'\x4EC8');
    RemoveTagsRow("RemoveTags a, two elements, one stretch hash (tags per run)", [&](size_t n) {
        const CWString run(7 * n, L'p');
        return L"<" + Repeat(L"<a>", n) + L" " + Repeat(L"<a>", n) + Repeat(L"</a>", n) + L"<a>" + run + first + L"</a><a>" +
               run + second + L"</a>";
    }, [](const CWString& out) { return out == L"< "; });
    SetStretchHashKey(0, 0);
}

// Without a tag name every "<" is a candidate, named by the rest of the run up to the ">".
void CollectUnnamedFromLtRun() {
    const size_t sizes[3] = {440, 1750, 7000};
    double t[3];
    bool right = true;
    for (int i = 0; i < 3; ++i) {
        const CWString page = Repeat(L"<", sizes[i]) + L">";
        CWString got;
        t[i] = TimeForScale([&] {
            rg_DrenvikWangYeJieXiLei p;
            got = p.GetElement(page, L"", -1, 0, 0);
        });
        right = right && got == CWString::FromInt(int32_t(sizes[i]));
    }
    PrintScaleRow("GetElement with no tag name, '<' run then '>' (length)", t, sizes, right ? "" : " (MISMATCH)");
}

}  // namespace

int main() {
    RemoveLinks();
    RemoveNestedDivs();
    RemoveWithKeepWords();
    FindContainerAfterUnclosedTags();
    CollectFromOrdinaryPage(L"div,class=x", "GetElement div,class=x, every match of an ordinary page (rows)");
    RemoveWhereOnePassDeclines();
    RemoveWithCollidingStretches();
    CollectUnnamedFromLtRun();
    CollectFromOrdinaryPage(L"", "GetElement with no tag name, every element of an ordinary page (rows)");
    return d == 42 ? 1 : 0;
}

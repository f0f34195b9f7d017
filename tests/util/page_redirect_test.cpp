#include <gtest/gtest.h>

#include "util/page_redirect.h"

TEST(PageRedirect, Targets) {
    const wchar_t* base = L"http://h/dir/page.html";
    struct { const wchar_t* page; const wchar_t* want; } cases[] = {
        {L"<head><meta http-equiv=\"refresh\" content=\"5; url=next.html\"></head>", L"http://h/dir/next.html"},
        {L"<HEAD><META HTTP-EQUIV=Refresh CONTENT=\"0;URL='/root.html'\"></HEAD>", L"http://h/root.html"},
        {L"<meta http-equiv=refresh content='0;Url=\"https://x/y\"'>", L"https://x/y"},
        {L"<head><!-- <meta http-equiv=refresh content=\"0;url=c.html\"> --></head>", L""},
        {L"<head><noscript><meta http-equiv=refresh content=\"0;url=n.html\"></noscript></head>", L""},
        {L"<meta http-equiv=refresh content=\"5\">", L""},
        {L"<script>location.href = 'go.html';</script>", L"http://h/dir/go.html"},
        {L"<script>window.location=\"//cdn/p\"</script>", L"https://cdn/p"},
        {L"<script>window.location.replace('../up.html')</script>", L"http://h/up.html"},
        {L"<script>if (x) location.href='a.html'</script>", L""},
        {L"<script>top.location = '//'</script>", L""},
        {L"<p>nothing here</p>", L""},
        {L"<head><meta http-equiv=refresh content=\"0;url=m.html\"></head><script>location.href='s.html'</script>",
         L"http://h/dir/m.html"},
    };
    for (auto& c : cases) EXPECT_EQ(FindPageRedirect(c.page, base), c.want) << c.page;
}

TEST(PageRedirect, ResolvesLinks) {
    struct { const wchar_t* base; const wchar_t* link; const wchar_t* want; const wchar_t* linkAfter; } cases[] = {
        {L"http://h/a/b/c.html", L"d.html", L"http://h/a/b/d.html", L"d.html"},
        {L"http://h/a/b/c.html", L"./d.html", L"http://h/a/b/d.html", L"d.html"},
        {L"http://h/a/b/c.html", L"../d.html", L"http://h/a/d.html", L"d.html"},
        {L"http://h/a/b/c.html", L"../../d.html", L"http://h/a/d.html", L"d.html"},  // two levels at most
        {L"http://h/a/b/c.html", L"/d.html", L"http://h/d.html", L"/d.html"},
        {L"http://h/a/b/c.html", L" https://o/p#f ", L"https://o/p", L"https://o/p"},
        {L"http://h/a/b/c.html", L"//o/p", L"https://o/p", L"//o/p"},
        {L"http://h/a/b/c.html", L"d.html#top", L"http://h/a/b/d.html", L"d.html"},
        // A base with no "/" after its host keeps its host.
        {L"http://h", L"a.html", L"http://h/a.html", L"a.html"},
        {L"http://h", L"../a.html", L"http://h/a.html", L"a.html"},
        {L"http://h:8080", L"./a.html", L"http://h:8080/a.html", L"a.html"},
        // "://" inside a query does not make a link absolute.
        {L"http://h/a/", L"go?to=http://x", L"http://h/a/go?to=http://x", L"go?to=http://x"},
    };
    for (auto& c : cases) {
        CWString link = c.link;
        EXPECT_EQ(ResolveRelativeUrl(c.base, link), c.want) << c.base << " + " << c.link;
        EXPECT_EQ(link, c.linkAfter) << c.link;
    }
}

TEST(PageRedirect, UrlHost) {
    struct { const wchar_t* url; int scheme; const wchar_t* want; } cases[] = {
        {L"http://h:1/p/q", 1, L"http://h:1"}, {L"http://h:1/p/q", 0, L"h:1"}, {L"h/p", 1, L"h"},
        {L"//h/p", 1, L"h"}, {L"https://h", 1, L"https://h"}, {L"", 0, L""}};
    for (auto& c : cases) EXPECT_EQ(GetUrlHost(c.url, c.scheme), c.want) << c.url;
}

// HTML element lookup on a 1 MB page against a plain linear scan; the deeply nested pages (2000 a
// elements inside each other, 511 nested divs) with time and peak heap use; and the cost of one small request
// on loopback: direct (a worker thread's way) against the user-interface thread's way (a worker per
// attempt while the calling thread pumps messages).
#include <chrono>
#include <cstdio>

#if KELVARO_HAVE_CURL
#include "tests/support/loopback_server.h"
#endif

#include "peak_heap.h"
#include "platform/system.h"
#include "util/html_parser.h"
#include "util/web_access.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class F> double SecondsPerRun(int runs, F f) {
    auto t0 = Clock::now();
    for (int i = 0; i < runs; ++i) f();
    return std::chrono::duration<double>(Clock::now() - t0).count() / runs;
}

// The baseline: the first "<div class=\"target\">" and the next "</div>", no nesting, no case folding.
CWString LinearScan(const CWString& page) {
    size_t a = page.find(L"<div class=\"target\">");
    if (a == std::wstring::npos) return {};
    size_t b = page.find(L"</div>", a);
    return b == std::wstring::npos ? CWString() : CWString(page.substr(a, b + 6 - a));
}

}  // namespace

int main() {
    CWString page = L"<html><head><title>bench</title></head><body>";
    while (page.size() < (1u << 20) / 2)  // 1 MB of UTF-16
        page += L"<div class=\"row\"><span>item</span><a href=\"/x\">link</a></div>\r\n";
    page += L"<div class=\"target\"><p>found</p></div></body></html>";

    rg_DrenvikWangYeJieXiLei parser;
    CWString a = parser.GetElement(page, L"div,class=target", 0, 0, 0);
    CWString b = LinearScan(page);
    if (a != b) std::printf("MISMATCH\n");
    double tParser = SecondsPerRun(5, [&] { parser.GetElement(page, L"div,class=target", 0, 0, 0); });
    double tLinear = SecondsPerRun(50, [&] { LinearScan(page); });
    std::printf("html GetElement 1MB: parser=%.2f ms linear=%.3f ms ratio(parser/linear)=%.1f\n", tParser * 1e3,
                tLinear * 1e3, tParser / tLinear);
    double tAll = SecondsPerRun(1, [&] { parser.GetElement(page, L"a", -1, 0, 0); });
    std::printf("html collect every <a> (%d) 1MB: %.2f ms\n", parser.ranges.GetCount(), tAll * 1e3);

    // Nesting: every element's end used to cost a walk over all the tags inside it.
    auto repeat = [](const CWString& piece, int n) {
        CWString s;
        while (n-- > 0) s += piece;
        return s;
    };
    const CWString filler = repeat(L"text ", 20);
    const struct { const char* label; CWString page; const wchar_t* spec; int index, inner; } nested[] = {
        {"<a>*2000 </a>*2000, collect a", repeat(L"<a>", 2000) + repeat(L"</a>", 2000), L"a", -1, 0},
        {"511 nested div, collect", repeat(L"<div class=x>" + filler, 511) + repeat(filler + L"</div>", 511), L"div,class=x", -1, 0},
        {"511 nested div, innermost", repeat(L"<div class=x>" + filler, 511) + repeat(filler + L"</div>", 511), L"div,class=x", 510, 1},
        {"511 nested div, outermost", repeat(L"<div class=x>" + filler, 511) + repeat(filler + L"</div>", 511), L"div", 0, 0},
    };
    for (const auto& c : nested) {
        rg_DrenvikWangYeJieXiLei p;
        CWString result;
        const size_t peak = peak_heap::PeakOf([&] { result = p.GetElement(c.page, c.spec, c.index, c.inner, 0); });
        const double t = SecondsPerRun(3, [&] { p.GetElement(c.page, c.spec, c.index, c.inner, 0); });
        const double kb = double(c.page.size() * sizeof(wchar_t)) / 1e3;
        std::printf("html %-30s page=%6.1f KB result=%zu units  %8.3f ms  peak heap=%6.2f MB (%.1fx page)\n", c.label,
                    kb, result.size(), t * 1e3, double(peak) / 1e6, double(peak) / (kb * 1e3));
    }

#if KELVARO_HAVE_CURL
    LoopbackServer server([](const SeenRequest&) { Reply r; r.body = "{\"ok\":true}"; return r; });
    const std::wstring url = server.Url(L"/v1/chat/completions");
    auto run = [&](int n) {
        rg_DrenvikWangYeFangWenLei web;
        CWString charset;
        for (int i = 0; i < n; ++i) web.VisitAsText(url, CWString(L"{}"), L"", L"", L"-1", L"", L"", L"", charset);
    };
    const int n = 300;
    run(10);  // warm up
    gMainThreadId = 0;
    double direct = SecondsPerRun(1, [&] { run(n); }) / n;
    gMainThreadId = ::GetCurrentThreadId();
    double ui = SecondsPerRun(1, [&] { run(n); }) / n;
    gMainThreadId = 0;
    std::printf("small request: direct=%.0f req/s ui-thread=%.0f req/s ratio(ui/direct time)=%.2f\n", 1 / direct, 1 / ui,
                ui / direct);
#endif
    return 0;
}

// The brand banner in a hidden form: layout and custom slots, the marquee driven tick by tick,
// clicks reaching the shell seam or the owner, the help window, and the news fetch against a
// loopback server.
#include "support/loopback_server.h"  // winsock2.h before windows.h

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/brand_banner.h"
#include "app/globals.h"
#include "platform/gdiplus_session.h"
#include "platform/seams.h"
#include "platform/system.h"
#include "support/ui_helpers.h"
#include "ui/input_box.h"

#include <commctrl.h>

namespace {

// The owner that a main window would be: counts the banner's events.
class BannerOwner : public HiddenTestForm {
    VOL_CLASS(BannerOwner, HiddenTestForm, "test::BannerOwner")
    VOL_MEMBERS()

public:
    BannerOwner() {
        designWidth = 1203;
        designHeight = 200;
    }
    ~BannerOwner() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    void BindEvents() override {
        VOL_BIND(banner->customButtonEvent, &BannerOwner::OnCustom);
        VOL_BIND(banner->notifyEvent, &BannerOwner::OnNotify);
        VOL_BIND(banner->helpEvent, &BannerOwner::OnHelp);
        VOL_BIND(banner->startEvent, &BannerOwner::OnStart);
        HiddenTestForm::BindEvents();
    }
    int OnCustom(CVolObject*, int index) { customs.push_back(index); return 0; }
    int OnNotify(CVolObject*) { ++notifies; return 0; }
    int OnHelp(CVolObject*) { ++helps; return helpResult; }
    int OnStart(CVolObject*) { startSeen = banner->IsCreated(); return 0; }

    std::unique_ptr<rg_DrenvikPinPaiHengFuLei1> banner = std::make_unique<rg_DrenvikPinPaiHengFuLei1>();
    std::vector<int> customs;
    int notifies = 0, helps = 0, helpResult = 0;
    bool startSeen = false;
};

struct BannerTest : ::testing::Test {
    BannerTest()
        : shell_(&PlatformSeams::shellOpen, [this](const CWString& file, const CWString&, int showMode) {
              opened.push_back(file);
              showModes.push_back(showMode);
              return true;
          }) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    void SetUp() override { gMarqueeRightwards = 1; }
    void TearDown() override { SetDpiFactorsForTest(1.0); }

    // Creates the banner at the main window's place; the news fetch runs only when a test calls it.
    void Open(bool newsTimerOff = true) {
        if (!owner.IsCreated()) {
            ASSERT_TRUE(owner.LoadWindow());
        }
        if (newsTimerOff) banner().newsDelaySeconds = 0;
        ASSERT_TRUE(banner().CreateInParent(owner, 0, 0, 1203, 61, 103));
        banner().marqueeTimer.SetInterval(0);  // ticks come from the tests
    }
    rg_DrenvikPinPaiHengFuLei1& banner() { return *owner.banner; }
    void AddSlots(int count, int width) {
        for (int i = 0; i < count; ++i) {
            rg_DrenvikPinPaiHengFuLei1::SetCustomLinkText(banner().customLinks[i], L"槽" + std::to_wstring(i));
            banner().customPresent[size_t(i)] = 1;
            banner().customWidths[size_t(i)] = width;
        }
    }

    GdiplusSession gdiplus;  // the input box and the icons draw with it, as in the program
    ScopedIconResources icons;
    BannerOwner owner;
    std::vector<CWString> opened;
    std::vector<int> showModes;

private:
    ScopedSeam<decltype(PlatformSeams::shellOpen)> shell_;
};

CWString ReadText(HWND h) {
    wchar_t buffer[4096] = {};
    ::SendMessageW(h, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void PressLeft(HWND h) { ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3)); }
void PressRight(HWND h) { ::SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3)); }
void ClickButton(rg_DrenvikAnNiu1& b) { PressLeft(b.shownCanvas.GetHwnd()); }
void RightClickButton(rg_DrenvikAnNiu1& b) {
    ::SendMessageW(b.shownCanvas.GetHwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
    ::SendMessageW(b.shownCanvas.GetHwnd(), WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
}

}  // namespace

// ---- layout --------------------------------------------------------------------------------------

TEST_F(BannerTest, StartsWithDesignedChildrenAndKeepsItsHeight) {
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    EXPECT_TRUE(owner.startSeen);
    // Every resize puts the client height back to 2 + 91 at factor 1, whatever the owner asked.
    EXPECT_EQ(b.GetClientHeight(), 93);
    b.SetHeight(40);
    EXPECT_EQ(b.GetClientHeight(), 93);
    EXPECT_EQ(b.bottomLine.GetTop(), 91);
    EXPECT_EQ(b.bottomLine.GetWidth(), b.GetClientWidth());
    struct Child { CVolWinControl* c; int id, x, y, w, h; } children[] = {
        {&b.homeLink, 101, 212, 66, 96, 22},  {&b.helpLink, 102, 9, 66, 96, 22},
        {&b.contactLink, 103, 112, 66, 96, 22}, {&b.logoButton, 106, 467, 8, 210, 70},
        {&b.helpButton, 109, 9, 1, 96, 64},  {&b.newsLink, 112, 314, 66, 96, 22},
        {&b.newsButton, 113, 314, 1, 96, 64}, {&b.newsTimer, 114, 736, 37, 17, 17},
    };
    for (const Child& c : children) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(c.c->GetControlId(), c.id);
        EXPECT_EQ(c.c->GetLeft(), c.x);
        EXPECT_EQ(c.c->GetTop(), c.y);
        EXPECT_EQ(c.c->GetWidth(), c.w);
        EXPECT_EQ(c.c->GetHeight(), c.h);
    }
    EXPECT_FALSE(b.marqueeMarker.IsVisible());
    EXPECT_EQ(b.newsLink.GetText(), L"最新推荐");
    EXPECT_EQ(b.newsLink.targetAddress, kMakerNewsPage);
    EXPECT_EQ(b.newsButton.GetTooltip(), L"最新推荐包括官方新出软件、升级记录等信息。");
    EXPECT_FALSE(b.newsButton.normalIcon.IsEmpty());
    DWORD ex = DWORD(::GetWindowLongW(b.bottomLine.GetHwnd(), GWL_EXSTYLE));
    EXPECT_TRUE(ex & WS_EX_STATICEDGE);
    EXPECT_FALSE(ex & WS_EX_CLIENTEDGE);
}

TEST_F(BannerTest, CustomSlotsStandLeftwardsFromTheRightEdge) {
    AddSlots(2, 120);
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    ASSERT_EQ(b.GetClientWidth(), 1203);
    EXPECT_EQ(b.customButtons[0].GetLeft(), 1073);
    EXPECT_EQ(b.customButtons[1].GetLeft(), 953);
    EXPECT_EQ(b.customLinks[1].GetLeft(), 953);
    EXPECT_EQ(b.customLinks[1].GetTop(), b.helpLink.GetTop());
    EXPECT_EQ(b.customButtons[1].GetWidth(), 120);
    EXPECT_EQ(b.customButtons[1].GetHeight(), 64);
    EXPECT_FALSE(b.customButtons[2].IsCreated());
    EXPECT_EQ(b.customLimitSlot, 1);
    EXPECT_EQ(b.lastCustomSlot, 1);
    EXPECT_EQ(b.customRightOffset, 1203 - 953);
    EXPECT_EQ(b.GetMarqueeLimit(), 943);

    // Kept right-aligned on resizes when asked.
    b.keepCustomRightAligned = 1;
    b.SetWidth(1000);
    EXPECT_EQ(b.customButtons[0].GetLeft(), 870);
    EXPECT_EQ(b.customLinks[1].GetLeft(), 750);
}

TEST_F(BannerTest, WithoutCustomSlotsTheMarqueeRunsToTheRightEdge) {
    Open();
    EXPECT_EQ(banner().GetMarqueeLimit(), banner().GetClientWidth() - 10);
}

TEST_F(BannerTest, PictureButtonsTakeTheBitmapOfTheDesignScale) {
    struct Case { double scale; int logoW, logoH, helpSide; } cases[] = {
        {0.9, 209, 70, 52}, {1.0, 209, 70, 52}, {1.25, 262, 87, 64}, {1.3, 318, 105, 80}, {1.75, 368, 122, 96}, {2.0, 422, 140, 112},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scale);
        SetDpiFactorsForTest(c.scale);
        rg_DrenvikPinPaiHengFuLei1 b;
        int w = 0, h = 0;
        ASSERT_TRUE(b.logoButton.normalIcon.GetSize(w, h));
        EXPECT_EQ(w, c.logoW);
        EXPECT_EQ(h, c.logoH);
        ASSERT_TRUE(b.helpButton.normalIcon.GetSize(w, h));
        EXPECT_EQ(w, c.helpSide);
    }
}

TEST_F(BannerTest, HomePageLinkMinusOneHidesTheHomePageAndMovesTheMarker) {
    banner().SetHomePageLink(L"https://www.drenvik.com/kelvaro/");
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    EXPECT_EQ(b.marqueeMarker.GetLeft(), 413);  // set before creation: design place kept
    // The owner form is hidden, so the controls' own visible bits tell.
    EXPECT_TRUE(b.homeLink.GetStyle() & WS_VISIBLE);
    b.SetHomePageLink(L"-1");
    EXPECT_FALSE(b.homeLink.GetStyle() & WS_VISIBLE);
    EXPECT_FALSE(b.homeButton.GetStyle() & WS_VISIBLE);
    EXPECT_EQ(b.marqueeMarker.GetLeft(), b.contactButton.GetLeft() + b.contactButton.GetWidth() + 20);
    EXPECT_EQ(b.homePageLink, L"-1");
}

// ---- marquee -------------------------------------------------------------------------------------

TEST_F(BannerTest, MarqueeStepsOnePixelAndTurnsOnePixelPastEachBound) {
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    const int limit = b.GetMarqueeLimit();
    const int width = b.logoButton.GetWidth();
    b.logoButton.SetLeft(limit - width - 1);
    b.HandleTimer(&b.marqueeTimer);
    EXPECT_EQ(b.logoButton.GetLeft(), limit - width);
    EXPECT_EQ(gMarqueeRightwards, 1);
    b.HandleTimer(&b.marqueeTimer);  // one past the bound: turns
    EXPECT_EQ(b.logoButton.GetLeft() + width, limit + 1);
    EXPECT_EQ(gMarqueeRightwards, 0);
    b.HandleTimer(&b.marqueeTimer);
    EXPECT_EQ(b.logoButton.GetLeft() + width, limit);

    const int marker = b.marqueeMarker.GetLeft();
    b.logoButton.SetLeft(marker);
    b.HandleTimer(&b.marqueeTimer);
    EXPECT_EQ(b.logoButton.GetLeft(), marker - 1);
    EXPECT_EQ(gMarqueeRightwards, 1);
    b.HandleTimer(&b.marqueeTimer);
    EXPECT_EQ(b.logoButton.GetLeft(), marker);
}

TEST_F(BannerTest, RightClicksOnTheLogoStopAndRestartTheMarquee) {
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    b.marqueeTimer.SetInterval(20);
    RightClickButton(b.logoButton);
    EXPECT_EQ(b.marqueeTimer.GetInterval(), 0);
    RightClickButton(b.logoButton);
    EXPECT_EQ(b.marqueeTimer.GetInterval(), 20);
    // The running timer really moves the logo.
    const int left = b.logoButton.GetLeft();
    EXPECT_TRUE(PumpUntil([&] { return b.logoButton.GetLeft() != left; }, 2000));
    b.marqueeTimer.SetInterval(0);

    RightClickButton(b.contactButton);
    EXPECT_EQ(owner.notifies, 1);
    RightClickButton(b.helpButton);
    RightClickButton(b.newsButton);
    EXPECT_EQ(owner.notifies, 1);
    for (HWND link : {b.homeLink.GetHwnd(), b.helpLink.GetHwnd(), b.newsLink.GetHwnd()}) PressRight(link);
    EXPECT_EQ(owner.notifies, 4);
    EXPECT_TRUE(opened.empty());
}

// ---- clicks --------------------------------------------------------------------------------------

TEST_F(BannerTest, ButtonsAndLinksOpenTheirTargetsThroughTheShell) {
    banner().SetHomePageLink(L"https://www.drenvik.com/kelvaro/");
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    struct Case { std::function<void()> press; const wchar_t* target; } cases[] = {
        {[&] { ClickButton(b.logoButton); }, kMakerHomePage},
        {[&] { ClickButton(b.newsButton); }, kMakerNewsPage},
        {[&] { ClickButton(b.contactButton); }, kMakerContactPage},
        {[&] { ClickButton(b.homeButton); }, L"https://www.drenvik.com/kelvaro/"},
        {[&] { PressLeft(b.homeLink.GetHwnd()); }, L"https://www.drenvik.com/kelvaro/"},
        {[&] { PressLeft(b.newsLink.GetHwnd()); }, kMakerNewsPage},
        {[&] { PressLeft(b.contactLink.GetHwnd()); }, kMakerContactPage},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        opened.clear();
        cases[i].press();
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0], cases[i].target);
        EXPECT_EQ(showModes[0], -1);
    }
    EXPECT_EQ(b.newsLink.visited, 1);
    EXPECT_TRUE(owner.customs.empty());
}

TEST_F(BannerTest, CustomSlotsReportTheirIndexAndOpenNothing) {
    AddSlots(4, 96);
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    ClickButton(b.customButtons[2]);
    PressLeft(b.customLinks[3].GetHwnd());
    ClickButton(b.customButtons[0]);
    EXPECT_EQ(owner.customs, (std::vector<int>{2, 3, 0}));
    PressRight(b.customLinks[1].GetHwnd());
    EXPECT_EQ(owner.notifies, 1);
    EXPECT_TRUE(opened.empty());
}

// ---- help ----------------------------------------------------------------------------------------

TEST_F(BannerTest, HelpShowsTheAboutTextUnlessTheOwnerTakesIt) {
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    gAboutText = L"关于本软件\r\n第二行";
    CWString title, content;
    int shown = 0;
    // The box is answered from another thread: found by its title once shown, read, then closed.
    auto answerWhileShown = [&](const std::function<void()>& press) {
        std::thread answerer([&] {
            HWND h = nullptr;
            for (int i = 0; i < 500 && !(h = ::FindWindowW(nullptr, L"疑点说明")); ++i) ::Sleep(10);
            if (!h) return;
            ++shown;
            title = ReadText(h);
            content = ReadText(GetInputBox().textBox.GetHwnd());
            ::PostMessageW(h, WM_CLOSE, 0, 0);
        });
        press();
        answerer.join();
    };
    answerWhileShown([&] { PressLeft(b.helpLink.GetHwnd()); });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(title, L"疑点说明");
    EXPECT_EQ(content, gAboutText);
    answerWhileShown([&] { ClickButton(b.helpButton); });
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(owner.helps, 2);
    EXPECT_TRUE(opened.empty());  // the help link has no target

    owner.helpResult = 1;
    ClickButton(b.helpButton);
    PressLeft(b.helpLink.GetHwnd());
    EXPECT_EQ(owner.helps, 4);
    EXPECT_EQ(shown, 2);
}

// ---- news ----------------------------------------------------------------------------------------

namespace {

constexpr char kRedIcon[] =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"24\" height=\"24\" viewBox=\"0 0 24 24\">"
    "<circle cx=\"12\" cy=\"12\" r=\"10\" fill=\"#d81e06\"/></svg>";

// A news host on loopback: the replies by path, every request recorded.
struct NewsHost {
    explicit NewsHost(std::string icon, std::string text, int delayMs = 0)
        : server([=](const SeenRequest& r) {
              Reply reply;
              reply.delayMs = delayMs;
              if (r.target == "/NewsInfo/icon.svg") reply.body = icon;
              else if (r.target == "/NewsInfo/icon.txt") reply.body = text;
              else reply.status = 404;
              return reply;
          }),
          seam(&PlatformSeams::remoteHost, [this](const CWString& host) {
              asked.push_back(host);
              return CWString(server.HostPort());
          }) {}
    LoopbackServer server;
    std::vector<CWString> asked;
    ScopedSeam<decltype(PlatformSeams::remoteHost)> seam;
};

constexpr wchar_t kDesignedTip[] = L"最新推荐包括官方新出软件、升级记录等信息。";

CWString LinkTip(rg_DrenvikPinPaiHengFuLei1& b) { return b.newsLink.GetWindowObject().tipText; }

// The icon's pixel at its centre, 0x00RRGGBB, or -1 without an icon.
long long CentrePixel(const rg_WeiTuDuiXiangLei& icon) {
    int w = 0, h = 0;
    if (icon.IsEmpty() || !icon.GetSize(w, h)) return -1;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, icon.GetHandle());
    COLORREF c = ::GetPixel(dc, w / 2, h / 2);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return (long long)(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

}  // namespace

TEST_F(BannerTest, NewsFetchAsksTwoPathsOnceWithoutReferer) {
    NewsHost host(kRedIcon, "*新版本已发布");
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    b.HandleTimer(&b.newsTimer);
    auto seen = host.server.Requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, "/NewsInfo/icon.svg");
    EXPECT_EQ(seen[1].target, "/NewsInfo/icon.txt");
    for (const SeenRequest& r : seen) {
        EXPECT_FALSE(r.HasHeader("Referer"));
        EXPECT_FALSE(r.Header("User-Agent").empty());
    }
    EXPECT_EQ(host.asked, (std::vector<CWString>{kNewsHost, kNewsHost}));
    EXPECT_EQ(b.newsTimer.GetInterval(), 0);
    EXPECT_EQ(b.newsButton.GetTooltip(), CWString(kDesignedTip) + L"新版本已发布");
    EXPECT_EQ(LinkTip(b), b.newsButton.GetTooltip());
    EXPECT_EQ(b.newsButton.iconSources[0], CVolMem(kRedIcon, sizeof kRedIcon - 1));
    EXPECT_EQ(CentrePixel(b.newsButton.normalIcon) & 0xFFFFFF, 0xD81E06);
    EXPECT_TRUE(opened.empty());  // the news is shown, never opened
}

TEST_F(BannerTest, NewsTimerFetchesOnceAfterTheDelay) {
    NewsHost host("-", "-");  // an empty reply would be asked for again
    banner().newsDelaySeconds = 1;
    Open(false);
    EXPECT_EQ(banner().newsTimer.GetInterval(), 1000);
    EXPECT_TRUE(PumpUntil([&] { return host.server.RequestCount() == 2; }, 5000));
    PumpMessagesFor(1500);
    EXPECT_EQ(host.server.RequestCount(), 2u);
}

TEST_F(BannerTest, NewsTextDecidesTheTooltip) {
    struct Case { const char* text; CWString tip; } cases[] = {
        {"*追加", CWString(kDesignedTip) + L"追加"},
        {"**替换后的推荐 <b>x</b>", L"替换后的推荐 <b>x</b>"},
        {"**", L""},
        {"*", kDesignedTip},
        {"新闻", kDesignedTip},
        {"", kDesignedTip},
        {"\xEF\xBB", kDesignedTip},  // cut UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        NewsHost host("", c.text);
        owner.banner = std::make_unique<rg_DrenvikPinPaiHengFuLei1>();
        Open();
        rg_DrenvikPinPaiHengFuLei1& b = banner();
        b.HandleTimer(&b.newsTimer);
        EXPECT_EQ(b.newsButton.GetTooltip(), c.tip);
        EXPECT_EQ(LinkTip(b), c.tip);
    }
}

TEST_F(BannerTest, NewsIconIsTakenOnlyWhenItEndsAnSvg) {
    struct Case { std::string body; bool taken; long long centre; } cases[] = {
        // Taken, though the drawing's parser wants the end tag as it was opened: shows nothing.
        {std::string(kRedIcon).replace(std::string(kRedIcon).find("</svg>"), 6, "</SVG>"), true, -1},
        {kRedIcon, true, 0xD81E06},
        {"<html>not an icon</html>", false, -2},
        {"", false, -2},
        {"<svg broken </svg>", true, -1},  // taken, but nothing to draw: shows nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        NewsHost host(c.body, "");
        owner.banner = std::make_unique<rg_DrenvikPinPaiHengFuLei1>();
        Open();
        rg_DrenvikPinPaiHengFuLei1& b = banner();
        const CVolMem designed = b.newsButton.iconSources[0];
        const long long designedCentre = CentrePixel(b.newsButton.normalIcon);
        b.HandleTimer(&b.newsTimer);
        EXPECT_EQ(b.newsButton.iconSources[0] == designed, !c.taken);
        EXPECT_EQ(CentrePixel(b.newsButton.normalIcon), c.centre == -2 ? designedCentre : c.centre);
    }
}

TEST_F(BannerTest, UnreachableNewsHostChangesNothing) {
    NewsHost host("", "");
    ScopedSeam closed(&PlatformSeams::remoteHost, [](const CWString&) { return CWString(L"127.0.0.1:9"); });
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    const CVolMem designed = b.newsButton.iconSources[0];
    b.HandleTimer(&b.newsTimer);
    EXPECT_EQ(b.newsButton.iconSources[0], designed);
    EXPECT_FALSE(b.newsButton.normalIcon.IsEmpty());
    EXPECT_EQ(b.newsButton.GetTooltip(), kDesignedTip);
    EXPECT_EQ(b.newsTimer.GetInterval(), 0);
}

namespace {
struct AsUiThread {
    AsUiThread() { gMainThreadId = ::GetCurrentThreadId(); }
    ~AsUiThread() { gMainThreadId = 0; }
};
std::function<void()> gDuringFetch;
void CALLBACK RunDuringFetch(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    gDuringFetch();
}
}  // namespace

TEST_F(BannerTest, ClosingDuringTheFetchSkipsTheRest) {
    NewsHost host(kRedIcon, "**不该出现", 400);
    AsUiThread ui;  // the requests pump messages while they wait, as in the program
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    // The window goes while the icon request runs: the text is not asked for.
    gDuringFetch = [&] { b.DestroyOwnWindow(); };
    ::SetTimer(nullptr, 0, 100, &RunDuringFetch);
    b.HandleTimer(&b.newsTimer);
    EXPECT_EQ(host.server.RequestCount(), 1u);
    EXPECT_EQ(b.newsButton.GetTooltip(), kDesignedTip);

    // The banner itself goes: the fetch returns without touching it.
    owner.banner = std::make_unique<rg_DrenvikPinPaiHengFuLei1>();
    Open();
    rg_DrenvikPinPaiHengFuLei1* gone = owner.banner.get();
    gDuringFetch = [&] { owner.banner.reset(); };
    ::SetTimer(nullptr, 0, 100, &RunDuringFetch);
    gone->HandleTimer(&gone->newsTimer);
    EXPECT_FALSE(owner.banner);
    EXPECT_EQ(host.server.RequestCount(), 2u);
}

TEST_F(BannerTest, ScreenshotWithCustomSlotsAndFetchedNews) {
    NewsHost host(kRedIcon, "*：Kelvaro 1.2 已发布");
    AddSlots(2, 120);
    rg_DrenvikPinPaiHengFuLei1::SetCustomLinkText(banner().customLinks[0], L"Ollama官网");
    rg_DrenvikPinPaiHengFuLei1::SetCustomLinkText(banner().customLinks[1], L"Ollama下载");
    rg_DrenvikPinPaiHengFuLei1::SetCustomButtonIcon(banner().customButtons[0], 503);
    rg_DrenvikPinPaiHengFuLei1::SetCustomButtonIcon(banner().customButtons[1], 504);
    banner().SetHomePageLink(L"https://www.drenvik.com/kelvaro/");
    owner.SetVisible(true);
    Open();
    rg_DrenvikPinPaiHengFuLei1& b = banner();
    b.HandleTimer(&b.newsTimer);
    EXPECT_FALSE(b.customButtons[0].normalIcon.IsEmpty());
    EXPECT_EQ(b.newsButton.GetTooltip(), CWString(kDesignedTip) + L"：Kelvaro 1.2 已发布");
    PumpMessagesFor(200);
    EXPECT_FALSE(SaveWindowScreenshot(b.GetHwnd(), L"kelvaro_brand_banner.png").empty());
}

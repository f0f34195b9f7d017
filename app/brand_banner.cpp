#include "app/brand_banner.h"

#include <algorithm>
#include <climits>

#include "app/globals.h"
#include "platform/app_instance.h"
#include "platform/seams.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "ui/control_foundation.h"
#include "ui/input_box.h"
#include "util/text_helpers.h"
#include "util/web_access.h"

int32_t gMarqueeRightwards = 1;

namespace {

constexpr wchar_t kLinkFont[] = L"微软雅黑, 12, 0, 0, 0, 0, 0";
constexpr int kWhite = 0xFFFFFF;
constexpr int kNewsIconResource = 534;
constexpr int kCustomWindowId = 65535;

void StyleLink(rg_ChaoJiLianJieKuang& link, int normal, int hover) {
    link.normalColor = normal;
    link.visitedColor = normal;
    link.hoverColor = hover;
    link.backColor = kWhite;
    link.SetFont(kLinkFont);
}

// The news host's address for a path: plain HTTP unless the host mapping gives a scheme.
CWString NewsUrl(const wchar_t* path) {
    CWString host = Seams().remoteHost(kNewsHost);
    if (host.find(L"://") == CWString::npos) host = L"http://" + host;
    return host + path;
}

CVolMem FetchNewsPart(const wchar_t* path) {
    rg_DrenvikWangYeFangWenLei web;
    CWString charset;
    return web.Visit(NewsUrl(path), std::nullopt, L"", L"", L"-1", L"", L"", L"", charset);
}

CWString Utf8Text(const CVolMem& bytes) { return CWString::FromUtf8Bytes(bytes.GetPtr(), bytes.GetSize()); }

}  // namespace

rg_DrenvikPinPaiHengFuLei1::rg_DrenvikPinPaiHengFuLei1() {
    iconResourceIds.resize(20);
    for (int i = 0; i < 20; ++i) iconResourceIds[size_t(i)] = 535 + i;
    marqueeTimer.SetInterval(20);
    marqueeMarker.SetVisible(false);
    SelectIconsForDpi();
}

rg_DrenvikPinPaiHengFuLei1::~rg_DrenvikPinPaiHengFuLei1() {
    *alive_ = false;
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikPinPaiHengFuLei1::SelectIconsForDpi() {
    const int k = DpiScale <= 1 ? 0 : DpiScale <= 1.25 ? 1 : DpiScale <= 1.5 ? 2 : DpiScale <= 1.75 ? 3 : 4;
    logoButton.SetIconFromResource(iconResourceIds[size_t(k)]);
    helpButton.SetIconFromResource(iconResourceIds[size_t(5 + k)]);
    homeButton.SetIconFromResource(iconResourceIds[size_t(10 + k)]);
    contactButton.SetIconFromResource(iconResourceIds[size_t(15 + k)]);
}

void rg_DrenvikPinPaiHengFuLei1::BindEvents() {
    VOL_BIND(Created, &rg_DrenvikPinPaiHengFuLei1::OnCreate);
    VOL_BIND(Resized, &rg_DrenvikPinPaiHengFuLei1::OnResize);
    VOL_BIND(LeftButtonDown, &rg_DrenvikPinPaiHengFuLei1::OnBannerMouseDown);
    for (rg_ChaoJiLianJieKuang* link : {&homeLink, &helpLink, &contactLink, &newsLink}) {
        VOL_BIND(link->LeftButtonDown, &rg_DrenvikPinPaiHengFuLei1::OnLinkClick);
        VOL_BIND(link->RightButtonDown, &rg_DrenvikPinPaiHengFuLei1::OnLinkRightClick);
    }
    for (rg_timer* timer : {&marqueeTimer, &newsTimer}) VOL_BIND(timer->Tick, &rg_DrenvikPinPaiHengFuLei1::OnTimerTick);
    for (rg_DrenvikAnNiu1* b : {&logoButton, &homeButton, &contactButton, &helpButton, &newsButton}) {
        VOL_BIND(b->Clicked, &rg_DrenvikPinPaiHengFuLei1::OnButtonClick);
        VOL_BIND(b->RightClicked, &rg_DrenvikPinPaiHengFuLei1::OnButtonRightClick);
    }
    rg_ZuJianBuJuQi::BindEvents();
    for (CVolWinControl* c : std::initializer_list<CVolWinControl*>{&homeLink, &helpLink, &contactLink, &newsLink,
                                                                    &marqueeTimer, &newsTimer})
        c->AttachEventListener();
}

void rg_DrenvikPinPaiHengFuLei1::SetUpPictureButton(rg_DrenvikAnNiu1& b) {
    b.stretchIcon = 0;
    b.margin = 0;
    for (int state = 0; state < 3; ++state) {
        b.faceColors[state] = kWhite;
        b.borderColors[state] = kWhite;
    }
    b.hoverIconBrightness = 30;
    b.SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    POINT at;
    if (::GetCursorPos(&at)) ::SetCursorPos(at.x, at.y);  // lets the new cursor show at once
}

void rg_DrenvikPinPaiHengFuLei1::CreateChildren() {
    homeLink.SetText(L"软件主页");
    StyleLink(homeLink, 0xFF8800, 0x8050FF);
    CreateChild(homeLink, 212, 66, 96, 22, L"进入软件主页可以查看最新版本");

    helpLink.SetText(L"疑点说明");
    StyleLink(helpLink, 0x00A800, 0xFF2FA7);
    CreateChild(helpLink, 9, 66, 96, 22, L"显示有关软件的使用说明");

    contactLink.SetText(kMakerContactNumber);
    contactLink.targetAddress = kMakerContactPage;
    StyleLink(contactLink, 0xFF8800, 0x8050FF);
    CreateChild(contactLink, 112, 66, 96, 22, L"使用QQ联系客服");

    CreateChild(marqueeTimer, 538, 32, 26, 26);
    CreateChild(marqueeMarker, 413, 0, 13, 96);

    struct Picture {
        rg_DrenvikAnNiu1* button;
        int x, y, w, h;
        const wchar_t* tip;
    };
    for (const Picture& p : {Picture{&logoButton, 467, 8, 210, 70, L"点击进入官网首页"},
                             Picture{&homeButton, 212, 1, 96, 64, L"进入软件主页可以查看最新版本"},
                             Picture{&contactButton, 112, 1, 96, 64, L"使用QQ联系客服"},
                             Picture{&helpButton, 9, 1, 96, 64, L"显示有关软件的使用说明"}}) {
        SetUpPictureButton(*p.button);
        CreateChild(*p.button, p.x, p.y, p.w, p.h);
        p.button->SetTooltip(p.tip);
    }

    bottomLine.SetBackColor(kWhite);
    bottomLine.ModifyStyle(WS_BORDER, 0);
    bottomLine.ModifyExStyle(WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME, WS_EX_STATICEDGE);
    CreateChild(bottomLine, 0, 90, 1677, 2);

    constexpr wchar_t kNewsTip[] = L"最新推荐包括官方新出软件、升级记录等信息。";
    nextChildId_ = 112;
    newsLink.SetText(L"最新推荐");
    newsLink.targetAddress = kMakerNewsPage;
    StyleLink(newsLink, 0xFF8800, 0x8050FF);
    CreateChild(newsLink, 314, 66, 96, 22, kNewsTip);

    SetUpPictureButton(newsButton);
    newsButton.iconWidth = 55;
    if (newsButton.iconHeight == 0) newsButton.iconHeight = 55;
    newsButton.iconBackground = -1;
    CVolAppInstance::LoadResourceData(newsButton.iconSources[0], kNewsIconResource, CVolAppInstance::kResourceRcData);
    CreateChild(newsButton, 314, 1, 96, 64);
    newsButton.SetIcon(newsButton.iconSources[0], newsButton.normalIcon);
    newsButton.SetTooltip(kNewsTip);

    CreateChild(newsTimer, 736, 37, 17, 17);
}

LRESULT rg_DrenvikPinPaiHengFuLei1::DefaultWindowProc(VolMessage& m) {
    if (m.message == WM_ERASEBKGND) {
        RECT r;
        ::GetClientRect(m.hwnd, &r);
        ::FillRect(reinterpret_cast<HDC>(m.wParam), &r, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        return 1;
    }
    return rg_ZuJianBuJuQi::DefaultWindowProc(m);
}

// ---- start and layout ----------------------------------------------------------------------------

int rg_DrenvikPinPaiHengFuLei1::CustomSlotX(int used) const {
    return GetClientWidth() - ScaleByDpi(10) - used;
}

int rg_DrenvikPinPaiHengFuLei1::Start() {
    startEvent.Raise(this);
    SetWindowTitleWithVersion(::GetParent(GetHwnd()));
    bottomLine.SetTop(ScaleByDpi(91));

    const bool noLimitYet = customLimitSlot < 0;
    int used = 0;
    for (int i = 0; i < kCustomSlots; ++i) {
        if (!customPresent[size_t(i)]) continue;
        const int width = ScaleByDpi(customWidths[size_t(i)]);
        used += width;
        const int x = CustomSlotX(used);
        rg_DrenvikAnNiu1& button = customButtons[i];
        button.CreateInParent(*this, x, 1, width, ScaleByDpi(64), kCustomWindowId);
        button.SetVisible(true);
        VOL_BIND(button.Clicked, &rg_DrenvikPinPaiHengFuLei1::OnButtonClick);
        VOL_BIND(button.RightClicked, &rg_DrenvikPinPaiHengFuLei1::OnButtonRightClick);
        customRightOffset = GetClientWidth() - button.GetLeft();
        if (noLimitYet) customLimitSlot = i;
        lastCustomSlot = i;

        rg_ChaoJiLianJieKuang& link = customLinks[i];
        link.CreateInParent(*this, x, helpLink.GetTop(), width, ScaleByDpi(22), kCustomWindowId);
        link.SetVisible(true);
        VOL_BIND(link.LeftButtonDown, &rg_DrenvikPinPaiHengFuLei1::OnLinkClick);
        VOL_BIND(link.RightButtonDown, &rg_DrenvikPinPaiHengFuLei1::OnLinkRightClick);
        link.AttachEventListener();
    }

    // Clamped, so a huge delay setting cannot wrap round to a negative or short interval.
    const int64_t delay = int64_t(newsDelaySeconds) * 1000;
    newsTimer.SetInterval(int(std::clamp<int64_t>(delay, 0, INT_MAX)));
    return 0;
}

int rg_DrenvikPinPaiHengFuLei1::LayoutChildren() {
    bottomLine.SetWidth(GetClientWidth());
    const int height = 2 + ScaleByDpi(91);
    if (GetClientHeight() != height)
        ::SetWindowPos(GetHwnd(), nullptr, 0, 0, GetWidth(), height,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    if (keepCustomRightAligned) {
        int used = 0;
        for (int i = 0; i < kCustomSlots; ++i) {
            if (!customPresent[size_t(i)]) continue;
            used += ScaleByDpi(customWidths[size_t(i)]);
            customButtons[i].SetLeft(CustomSlotX(used));
            customLinks[i].SetLeft(CustomSlotX(used));
        }
    }
    return 0;
}

// ---- owner's settings ----------------------------------------------------------------------------

void rg_DrenvikPinPaiHengFuLei1::SetHomePageLink(std::wstring_view text) {
    const bool shown = text != L"-1";
    homeLink.SetVisible(shown);
    homeButton.SetVisible(shown);
    homeLink.targetAddress = text;
    homePageLink = text;
    const rg_DrenvikAnNiu1& p = shown ? homeButton : contactButton;
    marqueeMarker.SetLeft(p.GetLeft() + p.GetWidth() + 20);
}

void rg_DrenvikPinPaiHengFuLei1::SetCustomLinkText(rg_ChaoJiLianJieKuang& link, std::wstring_view text) {
    link.SetText(text);
    link.normalColor = 0xFF0090;
    link.visitedColor = 0xFF0090;
    link.backColor = kWhite;
    link.SetFont(kLinkFont);
    link.Invalidate();
}

void rg_DrenvikPinPaiHengFuLei1::SetCustomButtonIcon(rg_DrenvikAnNiu1& b, int resourceId) {
    b.paintEnabled = 0;
    b.iconWidth = 52;
    if (b.iconHeight == 0) b.iconHeight = 52;
    b.iconBackground = -1;
    if (b.IsCreated()) b.RefreshIcons(true);
    CVolAppInstance::LoadResourceData(b.iconSources[0], resourceId, CVolAppInstance::kResourceRcData);
    b.SetIcon(b.iconSources[0], b.normalIcon, true);
    b.margin = 0;
    if (!b.hoverIcon.IsEmpty()) b.hoverIcon.Clear();
    b.hoverIconBrightness = 30;
    for (int state = 0; state < 4; ++state) b.faceColors[state] = kWhite;
    b.paintEnabled = 1;
    for (int state = 0; state < 4; ++state) b.borderColors[state] = kWhite;
    b.Paint();
}

// ---- events --------------------------------------------------------------------------------------

int rg_DrenvikPinPaiHengFuLei1::OnBannerMouseDown(CVolObject*, int, int, int) {
    clickEvent.Raise(this);
    return 0;
}

int rg_DrenvikPinPaiHengFuLei1::OnLinkClick(CVolObject* sender, int, int, int) {
    HandleLinkClick(sender);
    return 0;
}

int rg_DrenvikPinPaiHengFuLei1::OnLinkRightClick(CVolObject*, int, int, int) {
    RaiseNotifyEvent();
    return 0;
}

int rg_DrenvikPinPaiHengFuLei1::OnTimerTick(CVolObject* sender) {
    HandleTimer(sender);
    return 0;
}

int rg_DrenvikPinPaiHengFuLei1::OnButtonClick(CVolObject* sender) {
    HandleButtonClick(sender);
    return 0;
}

int rg_DrenvikPinPaiHengFuLei1::OnButtonRightClick(CVolObject* sender) {
    if (sender == &logoButton)
        marqueeTimer.SetInterval(marqueeTimer.GetInterval() == 0 ? 20 : 0);
    else if (sender == &contactButton)
        RaiseNotifyEvent();
    return 0;
}

int rg_DrenvikPinPaiHengFuLei1::RaiseCustomButtonEvent(int index) { return customButtonEvent.Raise(this, index); }

int rg_DrenvikPinPaiHengFuLei1::RaiseNotifyEvent() { return notifyEvent.Raise(this); }

// ---- clicks --------------------------------------------------------------------------------------

int rg_DrenvikPinPaiHengFuLei1::HandleButtonClick(CVolObject* sender) {
    auto open = [](std::wstring_view target) { OpenWithShell(target, -1); };
    if (sender == &logoButton) open(kMakerHomePage);
    else if (sender == &newsButton) open(newsLink.targetAddress);
    else if (sender == &contactButton) open(contactLink.targetAddress);
    else if (sender == &homeButton) open(homeLink.targetAddress);
    else if (sender == &helpButton) HandleLinkClick(&helpLink);
    else
        for (int i = 0; i < kCustomSlots; ++i)
            if (sender == &customButtons[i]) RaiseCustomButtonEvent(i);
    return 0;
}

int rg_DrenvikPinPaiHengFuLei1::HandleLinkClick(CVolObject* sender) {
    if (sender == &helpLink) {
        if (helpEvent.Raise(this) != 0) return 0;
        rg_DrenvikShuRuKuangLei::Show(gAboutText, L"", L"疑点说明");
        return 0;
    }
    for (int i = 0; i < kCustomSlots; ++i)
        if (sender == &customLinks[i]) RaiseCustomButtonEvent(i);
    return 0;
}

// ---- marquee and news ----------------------------------------------------------------------------

int rg_DrenvikPinPaiHengFuLei1::GetMarqueeLimit() const {
    const int slot = customLimitSlot >= 0 ? customLimitSlot : lastCustomSlot;
    const int bound = slot >= 0 && slot < kCustomSlots ? customButtons[slot].GetLeft() : GetClientWidth();
    return bound - ScaleByDpi(10);
}

int rg_DrenvikPinPaiHengFuLei1::HandleTimer(CVolObject* sender) {
    if (sender == &marqueeTimer) MarqueeStep();
    else if (sender == &newsTimer) FetchNews();
    return 0;
}

void rg_DrenvikPinPaiHengFuLei1::MarqueeStep() {
    std::weak_ptr<bool> alive = alive_;
    PumpPendingMessages();
    if (alive.expired() || !*alive.lock()) return;  // a pumped message closed the program
    if (gMarqueeRightwards) {
        logoButton.SetLeft(logoButton.GetLeft() + 1);
        if (logoButton.GetLeft() + logoButton.GetWidth() > GetMarqueeLimit()) gMarqueeRightwards = 0;
    } else {
        logoButton.SetLeft(logoButton.GetLeft() - 1);
        if (logoButton.GetLeft() < marqueeMarker.GetLeft()) gMarqueeRightwards = 1;
    }
}

void rg_DrenvikPinPaiHengFuLei1::FetchNews() {
    if (!IsCreated()) return;
    newsTimer.SetInterval(0);
    // Each request pumps messages: the banner's window, or the banner itself, may be gone after it.
    std::weak_ptr<bool> alive = alive_;
    auto stillHere = [&] {
        auto flag = alive.lock();
        return flag && *flag && IsCreated();
    };

    CVolMem icon = FetchNewsPart(kNewsIconPath);
    if (!stillHere()) return;
    if (FindWText(Utf8Text(icon), L"</svg>", 0, true) >= 0) {
        newsButton.iconSources[0] = icon;
        newsButton.SetIcon(icon, newsButton.normalIcon);
        newsButton.hoverIcon.Clear();
    }

    CWString text = Utf8Text(FetchNewsPart(kNewsTextPath));
    if (!stillHere() || text.size() < 2 || text[0] != L'*') return;
    // Shown as a tooltip only: the text is never opened or run.
    CWString tip;
    if (text[1] == L'*') {
        RemoveTwoCharPrefix(text, L"**");
        tip = text;
    } else {
        RemoveLeadingChar(text, L'*');
        tip = newsButton.GetTooltip() + text;
    }
    newsButton.SetTooltip(tip);
    newsLink.SetTipText(tip);
}

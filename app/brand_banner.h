// The brand banner across the top of the main window: the maker's logo moving slowly back and forth,
// picture buttons with links under them (help, contact, home page, news), a news line fetched once
// shortly after start, and up to four custom slots whose clicks come back to the owner.
//
// The owner configures it before creating its window: SetHomePageLink; for each custom slot i,
// SetCustomLinkText(customLinks[i], ...), SetCustomButtonIcon(customButtons[i], ...), customPresent[i]
// = 1 (and customWidths[i]); binds customButtonEvent; then creates the banner in its client area.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/components.h"
#include "platform/hyperlink_box.h"
#include "ui/button.h"

// The maker's addresses. Only the news host is requested by the program itself; it passes through
// Seams().remoteHost, so tests point it at the loopback server.
inline constexpr wchar_t kMakerHomePage[] = L"http://www.drenvik.com/";
inline constexpr wchar_t kMakerNewsPage[] = L"https://www.drenvik.com/NewsInfo/";
inline constexpr wchar_t kMakerContactPage[] = L"https://www.drenvik.com/contact/qq.html";
inline constexpr wchar_t kMakerContactNumber[] = L"800098306";
inline constexpr wchar_t kNewsHost[] = L"news.drenvik.com";
inline constexpr wchar_t kNewsIconPath[] = L"/NewsInfo/icon.svg";
inline constexpr wchar_t kNewsTextPath[] = L"/NewsInfo/icon.txt";

// The marquee's direction, one for the whole process: 1 rightwards, 0 leftwards.
extern int32_t gMarqueeRightwards;

class rg_DrenvikPinPaiHengFuLei1 : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_DrenvikPinPaiHengFuLei1, rg_ZuJianBuJuQi, "app::rg_DrenvikPinPaiHengFuLei1")
    VOL_MEMBERS(homeLink, helpLink, contactLink, marqueeTimer, marqueeMarker, logoButton, homeButton, contactButton,
                helpButton, bottomLine, newsLink, newsButton, newsTimer, newsDelaySeconds, customLimitSlot,
                iconResourceIds, homePageLink, customWidths, lastCustomSlot, customRightOffset, customButtons[0],
                customButtons[1], customButtons[2], customButtons[3], customLinks[0], customLinks[1], customLinks[2],
                customLinks[3], customPresent, keepCustomRightAligned)

public:
    static constexpr int kCustomSlots = 4;

    rg_DrenvikPinPaiHengFuLei1();
    rg_DrenvikPinPaiHengFuLei1(const rg_DrenvikPinPaiHengFuLei1&) = delete;
    ~rg_DrenvikPinPaiHengFuLei1() override;

    int GetDesignWidth() const override { return ScaleDesignValue(1086); }
    int GetDesignHeight() const override { return ScaleDesignValue(91); }
    void BindEvents() override;
    void CreateChildren() override;
    // Paints the white background (the host's class has none).
    LRESULT DefaultWindowProc(VolMessage& m) override;

    int Start();
    int LayoutChildren();
    void SelectIconsForDpi();
    void SetHomePageLink(std::wstring_view text);
    static void SetCustomLinkText(rg_ChaoJiLianJieKuang& link, std::wstring_view text);
    static void SetCustomButtonIcon(rg_DrenvikAnNiu1& button, int resourceId);
    // A tick of marqueeTimer (one marquee step) or of newsTimer (the news fetch).
    int HandleTimer(CVolObject* sender);
    int GetMarqueeLimit() const;
    int HandleButtonClick(CVolObject* sender);
    int HandleLinkClick(CVolObject* sender);
    int RaiseCustomButtonEvent(int index);
    int RaiseNotifyEvent();

    rg_ChaoJiLianJieKuang homeLink, helpLink, contactLink;
    rg_timer marqueeTimer;
    rg_label marqueeMarker;  // hidden; its left edge is the marquee's left bound
    rg_DrenvikAnNiu1 logoButton, homeButton, contactButton, helpButton;
    rg_label bottomLine;
    rg_ChaoJiLianJieKuang newsLink;
    rg_DrenvikAnNiu1 newsButton;
    rg_timer newsTimer;
    int32_t newsDelaySeconds = 2;
    // Custom buttons are referred to by slot (-1: none), so a copy never points into its source.
    int32_t customLimitSlot = -1;
    std::vector<int32_t> iconResourceIds;
    CWString homePageLink;
    std::vector<int32_t> customWidths{96, 96, 96, 96};
    int32_t lastCustomSlot = -1;
    int32_t customRightOffset = 0;
    rg_DrenvikAnNiu1 customButtons[kCustomSlots];
    rg_ChaoJiLianJieKuang customLinks[kCustomSlots];
    std::vector<int32_t> customPresent{0, 0, 0, 0};
    int32_t keepCustomRightAligned = 0;

    // Raised with the banner as source.
    VolEventBinding<> notifyEvent;            // right press on a link, right click on contactButton
    VolEventBinding<int> customButtonEvent;   // a custom slot's button or link: the slot index 0-3
    VolEventBinding<> helpEvent;              // before the help window; non-zero suppresses it
    VolEventBinding<> clickEvent;             // left press on the banner's own background
    VolEventBinding<> startEvent;             // first step of Start

private:
    void OnCreate(CVolObject*) { Start(); }
    void OnResize(CVolObject*) { LayoutChildren(); }
    int OnBannerMouseDown(CVolObject*, int, int, int);
    int OnLinkClick(CVolObject* sender, int, int, int);
    int OnLinkRightClick(CVolObject*, int, int, int);
    int OnTimerTick(CVolObject* sender);
    int OnButtonClick(CVolObject* sender);
    int OnButtonRightClick(CVolObject* sender);

    void MarqueeStep();
    void FetchNews();
    // The x of custom slot i when the slots up to it take `used` pixels: right-aligned leftwards.
    int CustomSlotX(int used) const;
    static void SetUpPictureButton(rg_DrenvikAnNiu1& button);

    // Cleared when the banner goes away: the news fetch pumps messages and may outlive it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The brand banner across the top of the main window. For now a blank strip that holds its place
// and its custom-button event; its links, news line and buttons come with the banner itself.
#pragma once
#include "platform/window.h"
#include "ui/control_foundation.h"

class rg_DrenvikPinPaiHengFuLei1 : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_DrenvikPinPaiHengFuLei1, rg_ZuJianBuJuQi, "app::rg_DrenvikPinPaiHengFuLei1")
    VOL_MEMBERS()

public:
    ~rg_DrenvikPinPaiHengFuLei1() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    // The banner puts the version name into its window's title as it starts.
    void OnNativeWindowCreated(const VolCreateParams& params) override {
        rg_ZuJianBuJuQi::OnNativeWindowCreated(params);
        SetWindowTitleWithVersion(::GetAncestor(GetHwnd(), GA_ROOT));
    }
    // A custom slot's link or button was clicked: the slot index 0-3.
    VolEventBinding<int> customButtonEvent;
};

// The chat panel right of the button column. For now an empty panel that holds its place; the
// conversation itself comes with the panel.
#pragma once
#include <memory>

#include "platform/window.h"

class rg_AILiaoTianJieMianLei : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_AILiaoTianJieMianLei, rg_ZuJianBuJuQi, "app::rg_AILiaoTianJieMianLei")
    VOL_MEMBERS(contextCountProperty)

public:
    ~rg_AILiaoTianJieMianLei() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    static std::unique_ptr<rg_AILiaoTianJieMianLei> CreateInstance() {
        return std::make_unique<rg_AILiaoTianJieMianLei>();
    }

    int contextCountProperty = int(0x80000000);
    // Asks the owner for the model list's current text.
    VolEventBinding<CWString*> modelTextEvent;
};

// The hyperlink box (window class "VolHyperLink"): a one-line caption drawn in link colours that
// opens its target address when the left button goes down on it. The LeftButtonDown event runs
// first, so an owner sees the press before the target opens.
#pragma once
#include "platform/window.h"

class rg_ChaoJiLianJieKuang : public CVolWinControl {
    VOL_CLASS(rg_ChaoJiLianJieKuang, CVolWinControl, "rg_ChaoJiLianJieKuang")
    VOL_MEMBERS(targetAddress, normalColor, visitedColor, hoverColor, backColor, openTarget, visited)

public:
    static constexpr int32_t kSystemFace = int32_t(0xFF000000);  // backColor: the system button face
    static constexpr int32_t kSystemHighlight = -1;              // hoverColor: the system highlight

    rg_ChaoJiLianJieKuang();
    ~rg_ChaoJiLianJieKuang() override { DestroyOwnWindow(); }
    int CreateNativeWindow(VolCreateParams& params) override;
    LRESULT DefaultWindowProc(VolMessage& m) override;

    // What a press does: opens the target (marking the link visited), or with openTarget 0 mails
    // the caption. An empty target opens nothing.
    void Press();
    // The colour the caption is drawn in now.
    int32_t CurrentColor() const noexcept;

    CWString targetAddress;
    int32_t normalColor = 0xFF0000;
    int32_t visitedColor = 0x800080;
    int32_t hoverColor = kSystemHighlight;
    int32_t backColor = kSystemFace;
    int32_t openTarget = 1;
    int32_t visited = 0;

private:
    bool hover_ = false;
};

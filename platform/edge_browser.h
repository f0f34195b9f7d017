// The embedded browser box as the web-search automation uses it. The page is run by whoever
// receives the browser commands (see the AI chat client); this box is what the client itself
// touches: its caption, which holds what the browser last reported, its visibility and its window.
#pragma once
#include "platform/window.h"

class rg_EdgeLiuLanKuang : public CVolWinControl {
    VOL_CLASS(rg_EdgeLiuLanKuang, CVolWinControl, "rg_EdgeLiuLanKuang")
    VOL_MEMBERS()

public:
    ~rg_EdgeLiuLanKuang() override { DestroyOwnWindow(); }

    // A plain window of its own class: the place the page is shown in.
    int CreateNativeWindow(VolCreateParams& params) override;

    // ShowWindow SW_SHOW or SW_HIDE on the window; without one the visible mark is kept for it.
    void Show();
    void Hide() { SetVisible(false); }
    // To the top of the z-order without being moved, sized or activated.
    void RaiseWithoutActivating();

    // The thread the browser belongs to lives in the spare header word, so copies and equality
    // carry it like the rest of the header.
    DWORD GetOwnerThreadId() const noexcept { return DWORD(uint32_t(tag)); }
    void SetOwnerThreadId(DWORD threadId) noexcept { tag = int32_t(threadId); }
};

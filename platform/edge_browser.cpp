#include "platform/edge_browser.h"

int rg_EdgeLiuLanKuang::CreateNativeWindow(VolCreateParams& params) {
    return CreateControlWindow(params, {L"VolEdgeBrowser", CS_DBLCLKS, false, WS_CLIPCHILDREN,
                                        0, 0, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)});
}

void rg_EdgeLiuLanKuang::Show() {
    GetWindowObject().style |= WS_VISIBLE;
    if (HWND h = GetHwnd()) ::ShowWindow(h, SW_SHOW);
}

void rg_EdgeLiuLanKuang::RaiseWithoutActivating() {
    if (HWND h = GetHwnd()) ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

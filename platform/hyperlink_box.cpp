#include "platform/hyperlink_box.h"

#include "platform/shell.h"

namespace {

COLORREF Resolve(int32_t color, int systemIndex) {
    return color == rg_ChaoJiLianJieKuang::kSystemFace || color == -1 ? ::GetSysColor(systemIndex) : COLORREF(color);
}

}  // namespace

rg_ChaoJiLianJieKuang::rg_ChaoJiLianJieKuang() { SetCursor(::LoadCursorW(nullptr, IDC_HAND)); }

int rg_ChaoJiLianJieKuang::CreateNativeWindow(VolCreateParams& p) {
    return CreateControlWindow(p, {L"VolHyperLink", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS});
}

int32_t rg_ChaoJiLianJieKuang::CurrentColor() const noexcept {
    if (hover_) return int32_t(Resolve(hoverColor, COLOR_HIGHLIGHT));
    return visited ? visitedColor : normalColor;
}

void rg_ChaoJiLianJieKuang::Press() {
    if (openTarget == 0) {
        OpenWithShell(L"mailto:" + GetText(), -1);
        return;
    }
    if (targetAddress.empty()) return;
    if (OpenWithShell(targetAddress, -1)) {
        visited = 1;
        Invalidate();
    }
}

LRESULT rg_ChaoJiLianJieKuang::DefaultWindowProc(VolMessage& m) {
    switch (m.message) {
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: {
        LRESULT r = CVolWinControl::DefaultWindowProc(m);
        Invalidate();
        return r;
    }
    case WM_MOUSEMOVE:
        if (!hover_) {
            hover_ = true;
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, m.hwnd, 0};
            ::TrackMouseEvent(&t);
            Invalidate();
        }
        return 0;
    case WM_MOUSELEAVE:
        hover_ = false;
        Invalidate();
        return 0;
    case WM_LBUTTONDOWN:
        Press();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m.hwnd, &ps);
        RECT r;
        ::GetClientRect(m.hwnd, &r);
        HBRUSH back = ::CreateSolidBrush(Resolve(backColor, COLOR_BTNFACE));
        ::FillRect(dc, &r, back);
        ::DeleteObject(back);
        HGDIOBJ oldFont = ::SelectObject(dc, GetFontHandle());
        ::SetTextColor(dc, COLORREF(CurrentColor()));
        ::SetBkMode(dc, TRANSPARENT);
        CWString text = GetText();
        ::DrawTextW(dc, text.c_str(), int(text.size()), &r, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        ::SelectObject(dc, oldFont);
        ::EndPaint(m.hwnd, &ps);
        return 0;
    }
    default: return CVolWinControl::DefaultWindowProc(m);
    }
}

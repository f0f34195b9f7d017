#include "platform/components.h"

#include "platform/menu.h"

namespace {

COLORREF ResolveFace(int color) noexcept {
    return (color == -1 || color == int(0xFF000000)) ? ::GetSysColor(COLOR_BTNFACE) : COLORREF(color);
}

// Starts a WM_PAINT: the client area filled with the background colour.
HDC BeginPaintWithBackground(HWND h, PAINTSTRUCT& ps, RECT& client, int backColor) {
    HDC dc = ::BeginPaint(h, &ps);
    ::GetClientRect(h, &client);
    UniqueGdiObject back(::CreateSolidBrush(ResolveFace(backColor)));
    ::FillRect(dc, &client, static_cast<HBRUSH>(back.get()));
    return dc;
}

}  // namespace

// ---- timer ---------------------------------------------------------------------------------------

int CVWnd_Timer::CreateNativeWindow(VolCreateParams& p) {
    if (!p.parent) p.owner = HWND_MESSAGE;
    if (!CreateControlWindow(p, {L"VolTimer", 0, false, 0, WS_VISIBLE | WS_TABSTOP})) return 0;
    if (interval_ > 0) ::SetTimer(GetHwnd(), kTimerId, UINT(interval_), nullptr);
    return 1;
}

bool CVWnd_Timer::CreateStandalone() {
    VolCreateParams p;
    p.x = p.y = p.width = p.height = 0;
    return CreateNativeWindow(p) != 0;
}

bool CVWnd_Timer::DispatchWindowMessage(VolMessage& m) {
    if (CVolWinControl::DispatchWindowMessage(m)) return true;
    if (m.message == WM_TIMER && m.wParam == kTimerId) {
        Tick.Raise(this);
        return true;
    }
    return false;
}

void CVWnd_Timer::SetInterval(int milliseconds) {
    interval_ = milliseconds > 0 ? milliseconds : 0;
    HWND h = GetHwnd();
    if (!h) return;
    if (interval_ > 0) ::SetTimer(h, kTimerId, UINT(interval_), nullptr);
    else ::KillTimer(h, kTimerId);
}

// ---- label ---------------------------------------------------------------------------------------

int rg_label::CreateNativeWindow(VolCreateParams& p) {
    return CreateControlWindow(p, {L"VolLabel", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS});
}

LRESULT rg_label::DefaultWindowProc(VolMessage& m) {
    switch (m.message) {
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: {
        LRESULT r = CVolWinControl::DefaultWindowProc(m);
        Invalidate();
        return r;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        RECT r;
        HDC dc = BeginPaintWithBackground(m.hwnd, ps, r, backColor);
        HGDIOBJ oldFont = ::SelectObject(dc, GetFontHandle());
        ::SetTextColor(dc, COLORREF(textColor));
        ::SetBkMode(dc, TRANSPARENT);
        CWString text = GetText();
        UINT format = DT_NOPREFIX | (alignment == 1 ? DT_CENTER : alignment == 2 ? DT_RIGHT : DT_LEFT);
        format |= text.find(L'\n') == CWString::npos ? (DT_SINGLELINE | DT_VCENTER) : DT_WORDBREAK;
        ::DrawTextW(dc, text.c_str(), int(text.size()), &r, format);
        ::SelectObject(dc, oldFont);
        ::EndPaint(m.hwnd, &ps);
        return 0;
    }
    default: return CVolWinControl::DefaultWindowProc(m);
    }
}

// ---- edit box ------------------------------------------------------------------------------------

rg_edit_box::rg_edit_box() {
    ModifyStyle(0, WS_TABSTOP | ES_AUTOHSCROLL);
    ModifyExStyle(0, WS_EX_CLIENTEDGE);
}

rg_edit_box::~rg_edit_box() {
    if (spin_ && ::IsWindow(spin_)) ::DestroyWindow(spin_);
    spin_ = nullptr;
    DestroyOwnWindow();
}

int rg_edit_box::CreateNativeWindow(VolCreateParams& p) {
    return CreateControlWindow(p, {L"EDIT", 0, true});
}

void rg_edit_box::OnNativeWindowCreated(const VolCreateParams& p) {
    CVolWinControl::OnNativeWindowCreated(p);
    HWND h = GetHwnd();
    HWND parent = h ? ::GetParent(h) : nullptr;
    if (!parent || spinHigh < spinLow) return;
    // Outside the box, so its text keeps the whole width; the box's number follows the arrows.
    RECT r;
    ::GetWindowRect(h, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    int width = ::GetSystemMetrics(SM_CXVSCROLL);
    spin_ = ::CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                              WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                              int(r.right), int(r.top), width, int(r.bottom - r.top), parent, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
    if (!spin_) return;
    ::SendMessageW(spin_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(h), 0);
    ::SendMessageW(spin_, UDM_SETRANGE32, WPARAM(spinLow), LPARAM(spinHigh));
}

void rg_edit_box::SetMultiLine(bool on) {
    const DWORD bits = ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    ModifyStyle(on ? ES_AUTOHSCROLL : bits, on ? bits : ES_AUTOHSCROLL);
}

void rg_edit_box::SetReadOnly(bool on) {
    if (HWND h = GetHwnd()) ::SendMessageW(h, EM_SETREADONLY, on, 0);
    else ModifyStyle(on ? 0 : ES_READONLY, on ? ES_READONLY : 0);
}

void rg_edit_box::SetBackColor(int color) {
    backColor = color;
    backBrush_.reset();
    Invalidate();
}

HBRUSH rg_edit_box::OnReflectedColor(HDC dc, UINT) {
    COLORREF back = backColor == -1 ? RGB(255, 255, 255) : ResolveFace(backColor);
    if (!backBrush_) backBrush_.reset(::CreateSolidBrush(back));
    ::SetTextColor(dc, COLORREF(textColor));
    ::SetBkColor(dc, back);
    return static_cast<HBRUSH>(backBrush_.get());
}

int rg_edit_box::GetTextLength() const {
    HWND h = GetHwnd();
    return h ? ::GetWindowTextLengthW(h) : GetText().GetLength();
}

void rg_edit_box::SetSelection(int start, int end) {
    if (HWND h = GetHwnd()) ::SendMessageW(h, EM_SETSEL, WPARAM(start), LPARAM(end));
}

void rg_edit_box::ReplaceSelection(std::wstring_view text) {
    HWND h = GetHwnd();
    if (!h) return;
    std::wstring copy(text);
    ::SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(copy.c_str()));
}

void rg_edit_box::AppendText(std::wstring_view text) {
    HWND h = GetHwnd();
    if (!h) return;
    int end = ::GetWindowTextLengthW(h);
    ::SendMessageW(h, EM_SETSEL, WPARAM(end), LPARAM(end));
    ::SendMessageW(h, EM_SCROLLCARET, 0, 0);
    ReplaceSelection(text);
}

// ---- picture box ---------------------------------------------------------------------------------

int rg_TuPianKuang::CreateNativeWindow(VolCreateParams& p) {
    return CreateControlWindow(p, {L"VolPictureBox", CS_DBLCLKS, false, WS_CLIPCHILDREN, 0, WS_EX_CONTROLPARENT});
}

LRESULT rg_TuPianKuang::DefaultWindowProc(VolMessage& m) {
    switch (m.message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        RECT r;
        HDC dc = BeginPaintWithBackground(m.hwnd, ps, r, backColor);
        int w = 0, h = 0;
        if (picture.GetSize(w, h)) {
            HDC src = ::CreateCompatibleDC(dc);
            HGDIOBJ old = ::SelectObject(src, picture.GetHandle());
            if (picture.HasAlpha()) {
                BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
                ::AlphaBlend(dc, 0, 0, w, h, src, 0, 0, w, h, blend);
            } else {
                ::BitBlt(dc, 0, 0, w, h, src, 0, 0, SRCCOPY);
            }
            ::SelectObject(src, old);
            ::DeleteDC(src);
        }
        ::EndPaint(m.hwnd, &ps);
        return 0;
    }
    default: return CVolWinControl::DefaultWindowProc(m);
    }
}

// ---- menus ---------------------------------------------------------------------------------------

void rg_CaiChanLei::BuildMenu(CRefVolMenu& menu, const CWString& text) {
    BuiltMenu built;
    if (!BuildMenuFromText(text, built)) return;
    menu.handle = built.menu.release();
    menu.accelerators = built.accelerators.release();
}

std::shared_ptr<CRefVolMenu> rg_CaiChanLei::GetBuiltMenu() {
    if (!menu_) {
        menu_ = CreateMenuObject();
        if (menu_) BuildMenu(*menu_, GetDesignText());
    }
    return menu_;
}

bool rg_CaiChanLei::IsItemEnabled(int commandId) {
    auto menu = GetBuiltMenu();
    if (!menu || !menu->handle) return false;
    UINT state = ::GetMenuState(menu->handle, UINT(commandId), MF_BYCOMMAND);
    return state != UINT(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

bool rg_CaiChanLei::EnableItem(int commandId, bool enable) {
    auto menu = GetBuiltMenu();
    if (!menu || !menu->handle) return false;
    UINT state = ::GetMenuState(menu->handle, UINT(commandId), MF_BYCOMMAND);
    if (state == UINT(-1)) return false;
    bool greyed = (state & (MF_GRAYED | MF_DISABLED)) != 0;
    if (greyed == !enable) return true;
    ::EnableMenuItem(menu->handle, UINT(commandId), MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    return true;
}

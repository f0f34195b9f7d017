#include "platform/window.h"

#include <windowsx.h>
#include <shellapi.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/font.h"
#include "platform/input.h"
#include "platform/shell.h"

namespace {

CVolWinForm* gMainWindow = nullptr;

constexpr wchar_t kOwnWindowMark[] = L"VolWindowObject";

// Ties a window to its object: the pointer in GWLP_USERDATA, the mark as a window property.
void MarkOwnWindow(HWND h, CVolWinControl* control) noexcept {
    ::SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    ::SetPropW(h, kOwnWindowMark, reinterpret_cast<HANDLE>(1));
}
void UnmarkOwnWindow(HWND h) noexcept {
    ::RemovePropW(h, kOwnWindowMark);
    ::SetWindowLongPtrW(h, GWLP_USERDATA, 0);
}

HINSTANCE ThisInstance() noexcept { return ::GetModuleHandleW(nullptr); }

POINT MousePoint(LPARAM lp) noexcept { return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

// The window's rectangle in its parent's client coordinates (screen for top-level windows).
RECT RectInParent(HWND h) noexcept {
    RECT r{};
    ::GetWindowRect(h, &r);
    HWND parent = (::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) ? ::GetParent(h) : nullptr;
    if (parent) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

void VolSetMainWindow(CVolWinForm* form) noexcept { gMainWindow = form; }
CVolWinForm* VolGetMainWindow() noexcept { return gMainWindow; }

// ---- helpers -------------------------------------------------------------------------------------

int VolMouseModifiers(WPARAM keyState) noexcept {
    int bits = 0;
    if (keyState & MK_CONTROL) bits |= kModCtrl;
    if (keyState & MK_SHIFT) bits |= kModShift;
    if (VolGetAsyncKeyState(VK_MENU) & 0x8000) bits |= kModAlt;
    return bits;
}

int VolKeyModifiers() noexcept {
    int bits = 0;
    if (::GetKeyState(VK_CONTROL) & 0x8000) bits |= kModCtrl;
    if (::GetKeyState(VK_SHIFT) & 0x8000) bits |= kModShift;
    if (VolGetAsyncKeyState(VK_MENU) & 0x8000) bits |= kModAlt;
    return bits;
}

int VolNormaliseKeyCode(int vk) noexcept {
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return '0' + (vk - VK_NUMPAD0);
    switch (vk) {
    case VK_SUBTRACT: return VK_OEM_MINUS;
    case VK_DECIMAL: return VK_OEM_PERIOD;
    case VK_DIVIDE: return VK_OEM_2;
    default: return vk;
    }
}

rg_WenBenShuZuLei VolReadDroppedFiles(HDROP drop) {
    rg_WenBenShuZuLei files;
    UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Ask for the length first: paths longer than MAX_PATH arrive whole.
        UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(size_t(length) + 1, L'\0');
        UINT got = ::DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(got);
        files.Add(path);
    }
    return files;
}

bool VolRegisterWindowClass(const wchar_t* name, UINT style, HBRUSH background, HCURSOR cursor) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(ThisInstance(), name, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = VolWindowProc;
    wc.hInstance = ThisInstance();
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0;
}

CVolWinControl* VolControlFromHwnd(HWND hwnd) noexcept {
    // Only our windows carry the mark; others may use GWLP_USERDATA for their own ends. (The window
    // procedure is no mark: tooltips subclass the windows they watch.)
    if (!hwnd || !::GetPropW(hwnd, kOwnWindowMark)) return nullptr;
    return reinterpret_cast<CVolWinControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool VolPreTranslateForForms(MSG& msg) {
    if (!msg.hwnd) return false;
    auto* form = dynamic_cast<CVolWinForm*>(VolControlFromHwnd(::GetAncestor(msg.hwnd, GA_ROOT)));
    if (!form || (form->flags & CVolObject::kFlagDestroying)) return false;
    return form->PreTranslateMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam, &msg) == 0;
}

LRESULT CALLBACK VolWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (auto* created = static_cast<CVolWinControl*>(cs->lpCreateParams)) {
            MarkOwnWindow(hwnd, created);
            created->window_->hwnd = hwnd;
            created->window_->owner = created;
        }
    }
    CVolWinControl* control = VolControlFromHwnd(hwnd);
    if (!control) return ::DefWindowProcW(hwnd, message, wParam, lParam);

    VolMessage m{hwnd, message, wParam, lParam};
    bool handled = false;
    if (!(control->flags & CVolObject::kFlagDestroying)) {
        CVolWinControl* listener = control->window_->listener;
        if (listener && !(listener->flags & CVolObject::kFlagDestroying)) handled = listener->DispatchWindowMessage(m);
    }
    // A handler may have destroyed the object: look it up again before default handling.
    control = VolControlFromHwnd(hwnd);
    if (!control) return handled ? m.result : ::DefWindowProcW(hwnd, m.message, m.wParam, m.lParam);
    LRESULT result = handled ? m.result : control->DefaultWindowProc(m);
    if (message == WM_NCDESTROY) {
        control = VolControlFromHwnd(hwnd);
        if (control) {
            UnmarkOwnWindow(hwnd);
            control->window_->hwnd = nullptr;
            control->window_->tooltip = nullptr;
        }
    }
    return result;
}

// ---- CVolWinControl ------------------------------------------------------------------------------

CVolWinControl::CVolWinControl() : window_(std::make_shared<VolWindowObject>()) {}

uint64_t CVolWinControl::NextSerial() noexcept {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

CVolWinControl::~CVolWinControl() {
    DetachEventListener();
    if (window_ && window_->owner == this) DestroyOwnWindow();
}

void CVolWinControl::DestroyOwnWindow() {
    flags |= kFlagDestroying;
    if (!window_ || window_->owner != this) return;
    HWND h = window_->hwnd;
    if (h && ::IsWindow(h)) {
        if (window_->superProc) ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(window_->superProc));
        UnmarkOwnWindow(h);
        ::DestroyWindow(h);
    }
    window_->hwnd = nullptr;
    window_->owner = nullptr;
    window_->tooltip = nullptr;
}

int CVolWinControl::CreateNativeWindow(VolCreateParams&) { return 0; }

void CVolWinControl::EnsureFont() {
    if (window_->font) return;
    // The stock GUI font's face at 9 points.
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    HDC screen = ::GetDC(nullptr);
    lf.lfHeight = -(::GetDeviceCaps(screen, LOGPIXELSY) * 9 / 72);
    ::ReleaseDC(nullptr, screen);
    window_->ownedFont.reset(::CreateFontIndirectW(&lf));
    window_->font = static_cast<HFONT>(window_->ownedFont.get());
}

void CVolWinControl::FillCreateParams(VolCreateParams& p) {
    p.caption = window_->caption;
    p.style = window_->style;
    p.exStyle = window_->exStyle;
    if (p.parent && !(p.style & WS_POPUP)) {
        p.style |= WS_CHILD;
        // A child's birth and death need not reach the parent, which may be tearing down itself.
        p.exStyle |= WS_EX_NOPARENTNOTIFY;
    } else {
        p.style &= ~DWORD(WS_CHILD);
    }
    EnsureFont();
    p.font = window_->font;
}

void CVolWinControl::OnNativeWindowCreated(const VolCreateParams& p) {
    HWND h = GetHwnd();
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(p.font), TRUE);
    if (!(p.style & WS_TABSTOP) && (::SendMessageW(h, WM_GETDLGCODE, 0, 0) & 0x87)) ModifyStyle(0, WS_TABSTOP);
    if (!(p.style & WS_BORDER) && (::GetWindowLongPtrW(h, GWL_STYLE) & WS_BORDER)) ModifyStyle(WS_BORDER, 0);
    if (!window_->tipText.empty()) SetTipText(CWString(window_->tipText));
    if (p.parent && p.parent->IsCreated()) WindowCreated.Raise(this, window_.get(), p.parent, p.id);
}

bool CVolWinControl::DispatchWindowMessage(VolMessage& m) {
    if (WindowMessage.Raise(this, m.hwnd, m.message, m.wParam, m.lParam, &m) != 0) return true;
    auto mouse = [&](MouseEvent& e) {
        POINT pt = MousePoint(m.lParam);
        return e.Raise(this, int(pt.x), int(pt.y), VolMouseModifiers(m.wParam)) != 0;
    };
    switch (m.message) {
    case WM_SETFOCUS: return FocusGained.Raise(this) != 0;
    case WM_KILLFOCUS: return FocusLost.Raise(this) != 0;
    case WM_SETCURSOR:
        if (window_->cursor && LOWORD(m.lParam) == HTCLIENT) {
            ::SetCursor(window_->cursor);
            m.result = TRUE;
            return true;
        }
        return false;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return KeyDown.Raise(this, VolNormaliseKeyCode(int(m.wParam)), VolKeyModifiers()) != 0;
    case WM_KEYUP:
    case WM_SYSKEYUP: return KeyUp.Raise(this, VolNormaliseKeyCode(int(m.wParam)), VolKeyModifiers()) != 0;
    case WM_CHAR: {
        int r = CharInput.Raise(this, int(m.wParam));
        if (r < 0) return true;  // swallowed
        if (r > 0) m.wParam = WPARAM(r);
        return false;
    }
    case WM_LBUTTONDOWN: return mouse(LeftButtonDown);
    case WM_LBUTTONUP: return mouse(LeftButtonUp);
    case WM_LBUTTONDBLCLK: return mouse(LeftDoubleClick);
    case WM_RBUTTONDOWN: return mouse(RightButtonDown);
    case WM_RBUTTONUP: return mouse(RightButtonUp);
    case WM_MBUTTONDOWN: return mouse(MiddleButtonDown);
    case WM_MBUTTONUP: return mouse(MiddleButtonUp);
    case WM_MOUSEMOVE: return mouse(MouseMove);
    case WM_MOUSEWHEEL:
        return MouseWheel.Raise(this, GET_WHEEL_DELTA_WPARAM(m.wParam) / WHEEL_DELTA,
                                VolMouseModifiers(GET_KEYSTATE_WPARAM(m.wParam))) != 0;
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(m.wParam);
        rg_WenBenShuZuLei files = VolReadDroppedFiles(drop);
        ::DragFinish(drop);
        if (!files.empty()) FilesDropped.Raise(this, files);
        return false;
    }
    default: return false;
    }
}

LRESULT CVolWinControl::DefaultWindowProc(VolMessage& m) {
    switch (m.message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        if (CVolWinControl* child = VolControlFromHwnd(reinterpret_cast<HWND>(m.lParam)))
            if (HBRUSH b = child->OnReflectedColor(reinterpret_cast<HDC>(m.wParam), m.message))
                return reinterpret_cast<LRESULT>(b);
        break;
    default: break;
    }
    if (window_->superProc) return ::CallWindowProcW(window_->superProc, m.hwnd, m.message, m.wParam, m.lParam);
    return ::DefWindowProcW(m.hwnd, m.message, m.wParam, m.lParam);
}

void CVolWinControl::AttachEventListener() { window_->listener = this; }

void CVolWinControl::DetachEventListener() {
    if (window_ && window_->listener == this) window_->listener = nullptr;
}

int CVolWinControl::HasEventListener() const { return window_->listener ? 1 : 0; }

int CVolWinControl::CreateInParent(CVolWinControl& parent, int x, int y, int width, int height, int id) {
    if (!parent.IsCreated()) return 0;
    VolCreateParams p;
    p.parent = &parent;
    p.x = x;
    p.y = y;
    p.width = width;
    p.height = height;
    p.id = id;
    return CreateNativeWindow(p);
}

int CVolWinControl::CreateControlWindow(VolCreateParams& p, const WindowClassSpec& spec) {
    if (IsCreated()) return 0;
    FillCreateParams(p);
    ResolveInitialSize(p);
    p.style = (p.style & ~spec.removeStyle) | spec.addStyle;
    p.exStyle |= spec.addExStyle;
    if (!spec.systemClass &&
        !VolRegisterWindowClass(spec.name, spec.classStyle, spec.background, ::LoadCursorW(nullptr, IDC_ARROW)))
        return 0;
    if (!CreateWindowOfClass(p, spec.name)) return 0;
    OnNativeWindowCreated(p);
    return 1;
}

bool CVolWinControl::CreateWindowOfClass(const VolCreateParams& p, const wchar_t* className) {
    HWND parentHwnd = p.parent ? p.parent->GetHwnd() : p.owner;
    HMENU idOrMenu = (p.style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(p.id)) : p.menu;
    parent_ = p.parent;
    HWND h = ::CreateWindowExW(p.exStyle, className, p.caption.c_str(), p.style, p.x, p.y, p.width, p.height,
                               parentHwnd, idOrMenu, ThisInstance(), this);
    if (!h) return false;
    if (!window_->hwnd) {  // a system class: route it through our procedure now
        window_->hwnd = h;
        window_->owner = this;
        SubclassSystemWindow();
    }
    return true;
}

void CVolWinControl::SubclassSystemWindow() {
    HWND h = window_->hwnd;
    MarkOwnWindow(h, this);
    window_->superProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(VolWindowProc)));
}

int CVolWinControl::GetControlId() const noexcept {
    return IsCreated() ? ::GetDlgCtrlID(GetHwnd()) : 0;
}

CWString CVolWinControl::GetText() const {
    HWND h = GetHwnd();
    if (!h) return window_->caption;
    int n = ::GetWindowTextLengthW(h);
    std::wstring text(size_t(n) + 1, L'\0');
    n = ::GetWindowTextW(h, text.data(), n + 1);
    text.resize(size_t(n > 0 ? n : 0));
    return text;
}

void CVolWinControl::SetText(std::wstring_view text) {
    window_->caption = text;
    if (HWND h = GetHwnd()) ::SetWindowTextW(h, window_->caption.c_str());
}

void CVolWinControl::SetFont(std::wstring_view fontText) {
    // The old font stays alive until the window and the subclass have let go of it.
    UniqueGdiObject old = std::move(window_->ownedFont);
    window_->font = nullptr;
    if (!fontText.empty()) {
        window_->ownedFont = CreateFontFromSpec(ParseFontDescription(fontText));
        window_->font = static_cast<HFONT>(window_->ownedFont.get());
    }
    EnsureFont();  // an empty or unusable text gives the default GUI font
    window_->fontText = fontText;
    if (HWND h = GetHwnd()) ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(window_->font), TRUE);
    OnFontChanged();
}

HWND CVolWinControl::GetTooltipControl() {
    HWND h = GetHwnd();
    if (!h) return nullptr;
    HWND root = ::GetAncestor(h, GA_ROOT);
    CVolWinControl* rootControl = VolControlFromHwnd(root);
    VolWindowObject& holder = rootControl ? *rootControl->window_ : *window_;
    if (!holder.tooltip) {
        holder.tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                           WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                           CW_USEDEFAULT, CW_USEDEFAULT, root, nullptr, ThisInstance(), nullptr);
        if (holder.tooltip) ::SendMessageW(holder.tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
    }
    return holder.tooltip;
}

void CVolWinControl::SetTipText(std::wstring_view text) {
    window_->tipText = text;
    HWND h = GetHwnd();
    HWND tip = h ? GetTooltipControl() : nullptr;
    if (!tip) return;  // applied when the window is created
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = ::GetParent(h) ? ::GetParent(h) : h;
    ti.uId = reinterpret_cast<UINT_PTR>(h);
    bool exists = ::SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
    ti.lpszText = window_->tipText.data();
    if (window_->tipText.empty()) {
        if (exists) ::SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    } else {
        ::SendMessageW(tip, exists ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

DWORD CVolWinControl::GetStyle() const noexcept {
    HWND h = GetHwnd();
    return h ? DWORD(::GetWindowLongPtrW(h, GWL_STYLE)) : window_->style;
}

void CVolWinControl::ModifyStyle(DWORD remove, DWORD add) {
    window_->style = (window_->style & ~remove) | add;
    if (HWND h = GetHwnd()) {
        DWORD s = DWORD(::GetWindowLongPtrW(h, GWL_STYLE));
        ::SetWindowLongPtrW(h, GWL_STYLE, LONG_PTR((s & ~remove) | add));
        ::SetWindowPos(h, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void CVolWinControl::ModifyExStyle(DWORD remove, DWORD add) {
    window_->exStyle = (window_->exStyle & ~remove) | add;
    if (HWND h = GetHwnd()) {
        DWORD s = DWORD(::GetWindowLongPtrW(h, GWL_EXSTYLE));
        ::SetWindowLongPtrW(h, GWL_EXSTYLE, LONG_PTR((s & ~remove) | add));
        ::SetWindowPos(h, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

bool CVolWinControl::IsVisible() const noexcept {
    HWND h = GetHwnd();
    return h ? ::IsWindowVisible(h) != 0 : (window_->style & WS_VISIBLE) != 0;
}

void CVolWinControl::SetVisible(bool visible) {
    if (visible) window_->style |= WS_VISIBLE;
    else window_->style &= ~DWORD(WS_VISIBLE);
    if (HWND h = GetHwnd()) ::ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
}

bool CVolWinControl::IsEnabled() const noexcept {
    HWND h = GetHwnd();
    return h ? ::IsWindowEnabled(h) != 0 : !(window_->style & WS_DISABLED);
}

void CVolWinControl::SetEnabled(bool enabled) {
    if (enabled) window_->style &= ~DWORD(WS_DISABLED);
    else window_->style |= WS_DISABLED;
    if (HWND h = GetHwnd()) ::EnableWindow(h, enabled);
}

void CVolWinControl::SetFocus() {
    if (HWND h = GetHwnd()) ::SetFocus(h);
}

namespace {
HWND DialogOwnerFor(HWND h) noexcept {
    if (h) return ::GetAncestor(h, GA_ROOT);
    CVolWinForm* main = VolGetMainWindow();
    return main ? main->GetHwnd() : nullptr;
}
}  // namespace

int CVolWinControl::ShowMessageBox(std::wstring_view text, std::wstring_view caption, UINT type) {
    return ShowMessageBoxOwned(text, type, caption, DialogOwnerFor(GetHwnd()));
}

bool CVolWinControl::ShowInputDialog(std::wstring_view prompt, std::wstring_view title, CWString& text) {
    return ::ShowInputDialog(DialogOwnerFor(GetHwnd()), prompt, title, text);
}

void CVolWinControl::Invalidate() {
    if (HWND h = GetHwnd()) ::InvalidateRect(h, nullptr, FALSE);
}

int CVolWinControl::GetLeft() const { return GetHwnd() ? int(RectInParent(GetHwnd()).left) : int(window_->bounds.left); }
int CVolWinControl::GetTop() const { return GetHwnd() ? int(RectInParent(GetHwnd()).top) : int(window_->bounds.top); }

int CVolWinControl::GetWidth() const {
    if (!GetHwnd()) return int(window_->bounds.right - window_->bounds.left);
    RECT r;
    ::GetWindowRect(GetHwnd(), &r);
    return int(r.right - r.left);
}

int CVolWinControl::GetHeight() const {
    if (!GetHwnd()) return int(window_->bounds.bottom - window_->bounds.top);
    RECT r;
    ::GetWindowRect(GetHwnd(), &r);
    return int(r.bottom - r.top);
}

int CVolWinControl::GetClientWidth() const {
    if (!GetHwnd()) return GetWidth();
    RECT r;
    ::GetClientRect(GetHwnd(), &r);
    return int(r.right);
}

int CVolWinControl::GetClientHeight() const {
    if (!GetHwnd()) return GetHeight();
    RECT r;
    ::GetClientRect(GetHwnd(), &r);
    return int(r.bottom);
}

void CVolWinControl::Move(int x, int y, int width, int height) {
    HWND h = GetHwnd();
    RECT r = h ? RectInParent(h) : window_->bounds;
    int nx = x == kVolDefaultValue ? int(r.left) : x;
    int ny = y == kVolDefaultValue ? int(r.top) : y;
    int nw = width < 0 ? int(r.right - r.left) : width;
    int nh = height < 0 ? int(r.bottom - r.top) : height;
    window_->bounds = RECT{nx, ny, nx + nw, ny + nh};
    if (h) ::SetWindowPos(h, nullptr, nx, ny, nw, nh, SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- containers ----------------------------------------------------------------------------------

void CVolWinContainer::FillCreateParams(VolCreateParams& p) {
    CVolWinControl::FillCreateParams(p);
    p.exStyle |= WS_EX_CONTROLPARENT;
}

void CVolWinContainer::ResolveInitialSize(VolCreateParams& p) {
    if (p.width == kVolDefaultValue || p.height == kVolDefaultValue) {
        int w = GetDesignWidth(), h = GetDesignHeight();
        if (w <= 0 || h <= 0) {
            p.width = p.height = 0;
        } else {
            RECT r{0, 0, w, h};
            ::AdjustWindowRectEx(&r, p.style, (!p.parent && p.menu) ? TRUE : FALSE, p.exStyle);
            p.width = int(r.right - r.left);
            p.height = int(r.bottom - r.top);
        }
    }
    resolvedWidth_ = p.width;
    resolvedHeight_ = p.height;
}

void CVolWinContainer::PrepareChildCreation() {
    if (HWND tip = GetTooltipControl()) {
        int margin = ScaleDesignValue(3);
        RECT r{margin, margin, margin, margin};
        ::SendMessageW(tip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&r));
        ::SendMessageW(tip, TTM_SETTIPTEXTCOLOR, 0x008000, 0);
    }
    nextChildId_ = 101;
    BindEvents();
}

int CVolWinContainer::CreateChild(CVolWinControl& child, int x, int y, int width, int height, std::wstring_view tip) {
    int id = nextChildId_++;
    int ok = child.CreateInParent(*this, ScaleDesignValue(x), ScaleDesignValue(y), ScaleDesignValue(width),
                                  ScaleDesignValue(height), id);
    if (ok && !tip.empty()) child.SetTipText(tip);
    return ok;
}

// ---- the component host --------------------------------------------------------------------------

int rg_ZuJianBuJuQi::CreateNativeWindow(VolCreateParams& p) {
    WindowClassSpec spec{L"VolContainer", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS};
    spec.removeStyle = WS_TABSTOP;
    spec.addExStyle = GetWindowObject().transparent ? WS_EX_TRANSPARENT : 0;
    spec.background = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    return CreateControlWindow(p, spec);
}

void rg_ZuJianBuJuQi::FillCreateParams(VolCreateParams& p) {
    CVolWinContainer::FillCreateParams(p);
    if (!HasEventListener()) AttachEventListener();
}

void rg_ZuJianBuJuQi::RunCreation() {
    PrepareChildCreation();
    CreateChildren();
    Created.Raise(this);
}

bool rg_ZuJianBuJuQi::DispatchContainerMessage(VolMessage& m, bool raiseMenuCommand) {
    switch (m.message) {
    case WM_DESTROY: Destroyed.Raise(this); return false;
    case WM_MOVE: Moved.Raise(this); return false;
    case WM_SIZE: Resized.Raise(this); return false;
    case WM_SHOWWINDOW:
        if (m.wParam) Shown.Raise(this);
        else Hidden.Raise(this);
        return false;
    case WM_COMMAND:
        // From a menu (0) or an accelerator (1), never from a control.
        if (raiseMenuCommand && HIWORD(m.wParam) <= 1 && m.lParam == 0)
            return MenuCommand.Raise(this, int(LOWORD(m.wParam))) != 0;
        return false;
    default: return false;
    }
}

bool rg_ZuJianBuJuQi::DispatchWindowMessage(VolMessage& m) {
    if (CVolWinControl::DispatchWindowMessage(m)) return true;
    if (m.message == WM_CREATE) {
        RunCreation();
        return false;
    }
    return DispatchContainerMessage(m, true);
}

LRESULT rg_ZuJianBuJuQi::DefaultWindowProc(VolMessage& m) {
    LRESULT r = CVolWinControl::DefaultWindowProc(m);
    if (m.message == WM_NCDESTROY && !(flags & kFlagDestroying)) NcDestroyed.Raise(this);
    return r;
}

// ---- forms ---------------------------------------------------------------------------------------

VolFormStyle ComputeFormStyle(int borderStyle, bool controlBox, bool minButton, bool maxButton, bool topMost) noexcept {
    VolFormStyle s{0, 0};
    bool sizable = false;
    switch (borderStyle) {
    case 0: s.style = WS_POPUP; break;
    case 1: sizable = true; break;
    case 3: sizable = true; s.exStyle = WS_EX_TOOLWINDOW; break;
    case 4: s.exStyle = WS_EX_TOOLWINDOW; break;
    case 5: sizable = true; s.exStyle = WS_EX_CLIENTEDGE; break;
    case 6: s.exStyle = WS_EX_CLIENTEDGE; break;
    default: break;  // 2: fixed
    }
    if (borderStyle != 0) {
        s.style |= WS_OVERLAPPED | WS_CAPTION;
        if (sizable) s.style |= WS_THICKFRAME;
        if (controlBox) {
            s.style |= WS_SYSMENU;
            if (minButton) s.style |= WS_MINIMIZEBOX;
            if (maxButton) s.style |= WS_MAXIMIZEBOX;
        }
    }
    if (topMost) s.exStyle |= WS_EX_TOPMOST;
    return s;
}

POINT CentreOnScreen(int screenWidth, int screenHeight, int width, int height) noexcept {
    return POINT{(screenWidth - width) / 2, (screenHeight - height) / 2};
}

RECT FitRectIntoArea(const RECT& window, const RECT& area) noexcept {
    const LONG width = std::min(window.right - window.left, area.right - area.left);
    const LONG height = std::min(window.bottom - window.top, area.bottom - area.top);
    const LONG left = std::max(area.left, std::min(window.left, area.right - width));
    const LONG top = std::max(area.top, std::min(window.top, area.bottom - height));
    return RECT{left, top, left + width, top + height};
}

namespace {

// The work area of the monitor that holds most of the rectangle, or else is nearest to it.
bool WorkAreaNear(const RECT& r, RECT& work) {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (!::GetMonitorInfoW(::MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi)) return false;
    work = mi.rcWork;
    return true;
}

void PlaceInWorkArea(HWND window, bool centre) {
    RECT now, work;
    if (!window || !::GetWindowRect(window, &now) || !WorkAreaNear(now, work)) return;
    RECT r = now;
    if (centre) {
        const int width = int(r.right - r.left), height = int(r.bottom - r.top);
        const POINT at = CentreOnScreen(int(work.right - work.left), int(work.bottom - work.top), width, height);
        r = RECT{work.left + at.x, work.top + at.y, work.left + at.x + width, work.top + at.y + height};
    }
    const RECT fitted = FitRectIntoArea(r, work);
    if (::EqualRect(&fitted, &now)) return;
    ::SetWindowPos(window, nullptr, int(fitted.left), int(fitted.top), int(fitted.right - fitted.left),
                   int(fitted.bottom - fitted.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void FitWindowIntoWorkArea(HWND window) { PlaceInWorkArea(window, false); }

void CentreWindowOnWorkArea(HWND window) { PlaceInWorkArea(window, true); }

void CVolWinForm::FillCreateParams(VolCreateParams& p) {
    rg_ZuJianBuJuQi::FillCreateParams(p);
    VolFormStyle fs = ComputeFormStyle(borderStyle, controlBox, minButton, maxButton, topMost);
    const DWORD kept = WS_VISIBLE | WS_DISABLED | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_CHILD;
    p.style = (p.style & kept) | fs.style;
    if (p.style & WS_CHILD) p.style &= ~DWORD(WS_POPUP);
    p.exStyle |= fs.exStyle;
}

void CVolWinForm::ResolveInitialSize(VolCreateParams& p) {
    bool defaultPosition = p.x == kVolDefaultValue || p.y == kVolDefaultValue;
    CVolWinContainer::ResolveInitialSize(p);
    if (!defaultPosition) return;
    if (p.parent && (p.style & WS_CHILD)) {
        p.x = p.y = 0;
    } else {
        POINT pt = CentreOnScreen(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), p.width, p.height);
        p.x = int(pt.x);
        p.y = int(pt.y);
    }
}

int CVolWinForm::CreateNativeWindow(VolCreateParams& p) {
    if (IsCreated()) return 0;
    bool defaultPosition = p.x == kVolDefaultValue || p.y == kVolDefaultValue;
    FillCreateParams(p);
    ResolveInitialSize(p);
    if (!p.parent || (p.style & WS_POPUP)) {
        // On the monitor of the parent or owner, else of the main window, else the primary screen.
        HWND ref = p.parent ? p.parent->GetHwnd() : p.owner;
        if (!ref && VolGetMainWindow() && VolGetMainWindow() != this) ref = VolGetMainWindow()->GetHwnd();
        HMONITOR mon = ref ? ::MonitorFromWindow(ref, MONITOR_DEFAULTTONEAREST)
                           : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        if (::GetMonitorInfoW(mon, &mi)) {
            const RECT& r = mi.rcMonitor;
            if (defaultPosition) {
                POINT pt = CentreOnScreen(int(r.right - r.left), int(r.bottom - r.top), p.width, p.height);
                p.x = int(r.left + pt.x);
                p.y = int(r.top + pt.y);
            } else {
                p.x += int(r.left);
                p.y += int(r.top);
            }
            // A design size grown by the scale can pass the screen: the whole window stays
            // reachable, the first characters of its lines included.
            const RECT fitted = FitRectIntoArea(RECT{p.x, p.y, p.x + p.width, p.y + p.height}, mi.rcWork);
            p.x = int(fitted.left);
            p.y = int(fitted.top);
            p.width = int(fitted.right - fitted.left);
            p.height = int(fitted.bottom - fitted.top);
        }
    }
    if (!VolRegisterWindowClass(L"VolWinForm", CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                                ::LoadCursorW(nullptr, IDC_ARROW)))
        return 0;
    if (!CreateWindowOfClass(p, L"VolWinForm")) return 0;
    OnNativeWindowCreated(p);
    return 1;
}

bool CVolWinForm::LoadWindow(HWND owner) {
    VolCreateParams p;
    p.owner = owner;
    return CreateNativeWindow(p) != 0;
}

int CVolWinForm::LoadWindowModal(HWND owner) {
    modalResult_ = 0;
    if (owner) ::EnableWindow(owner, FALSE);
    modalOwner_ = owner;
    modalRunning_ = true;
    bool created = LoadWindow(owner);
    HWND h = GetHwnd();
    if (!created || !h) {
        modalRunning_ = false;
        ReleaseModalOwner();
        return -1;
    }
    ::SetForegroundWindow(h);
    ::SetFocus(h);
    ModalShown.Raise(this);
    MSG msg;
    while (::IsWindow(h)) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {  // WM_QUIT: leave it for the outer loop
            ::PostQuitMessage(int(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (VolPreTranslateForForms(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    modalRunning_ = false;
    // Still there after a WM_QUIT: the owner first, so that the activation goes back to it.
    ReleaseModalOwner();
    if (::IsWindow(h)) ::DestroyWindow(h);
    if (owner && ::IsWindow(owner)) {
        ::SetActiveWindow(owner);
        // Windows raises the window it activates; Wine without a window manager leaves the z-order
        // as it was, and the owner would stay behind the window of another program.
        if (::GetForegroundWindow() == owner)
            ::SetWindowPos(owner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return modalResult_;
}

void CVolWinForm::ReleaseModalOwner() {
    HWND owner = std::exchange(modalOwner_, nullptr);
    if (!owner || !::IsWindow(owner)) return;
    ::EnableWindow(owner, TRUE);
    // As a dialog box does: while this window is active, this process still holds the foreground
    // and the owner takes it over. Once this window hides or goes, the system would pick the next
    // window in the z-order, which may be another program's, for an owned window that is no popup.
    HWND self = GetHwnd();
    if (self && ::GetActiveWindow() == self && ::IsWindowVisible(owner)) ::SetActiveWindow(owner);
}

void CVolWinForm::EndModal(int result) {
    modalResult_ = result;
    Close();
}

void CVolWinForm::Close() {
    if (HWND h = GetHwnd()) ::PostMessageW(h, WM_CLOSE, 0, 0);
}

int CVolWinForm::PreTranslateMessage(HWND, UINT message, WPARAM wParam, LPARAM, MSG*) {
    if (escapeCloses && message == WM_KEYDOWN && wParam == VK_ESCAPE) Close();
    return 1;
}

bool CVolWinForm::DispatchWindowMessage(VolMessage& m) {
    if (CVolWinControl::DispatchWindowMessage(m)) return true;
    switch (m.message) {
    case WM_CREATE: RunCreation(); return false;
    case WM_COMMAND:
        if (HIWORD(m.wParam) <= 1 && m.lParam == 0) return FormMenuCommand.Raise(this, int(LOWORD(m.wParam))) != 0;
        return false;
    case WM_MENUSELECT: {
        UINT menuFlags = HIWORD(m.wParam);
        bool none = menuFlags == 0xFFFF || (menuFlags & (MF_POPUP | MF_SYSMENU));
        MenuItemSelected.Raise(this, none ? 0 : int(LOWORD(m.wParam)));
        return false;
    }
    case WM_CLOSE:
        if (Closing.Raise(this) != 0 || CanClose.Raise(this) != 0) return true;  // refused
        return false;
    case WM_WINDOWPOSCHANGING:
        // Windows passes the activation on as the window disappears, to the next window in the
        // z-order: the owner is enabled and activated before. Closing, EndModal and a DestroyWindow
        // from anywhere all hide the window first.
        if (modalRunning_ && (reinterpret_cast<const WINDOWPOS*>(m.lParam)->flags & SWP_HIDEWINDOW))
            ReleaseModalOwner();
        return false;
    case WM_QUERYENDSESSION:
        if (CanClose.Raise(this) != 0) {
            m.result = FALSE;
            return true;
        }
        return false;
    case WM_ACTIVATE:
        if (LOWORD(m.wParam) == WA_INACTIVE) {
            Deactivated.Raise(this);
        } else {
            if (!activatedOnce_) {
                activatedOnce_ = true;
                FirstActivated.Raise(this);
            }
            Activated.Raise(this);
        }
        return false;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(m.lParam);
        MINMAXINFO copy = *info;
        copy.ptMinTrackSize = POINT{1, 1};
        if (GetPositionLimits.Raise(this, &copy) != 0) {
            *info = copy;
            return true;
        }
        return false;
    }
    case kTrayMessage: {
        int kind = 0;
        switch (UINT(m.lParam)) {
        case WM_LBUTTONUP: kind = 1; break;
        case WM_LBUTTONDBLCLK: kind = 2; break;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU: kind = 3; break;
        default: break;
        }
        if (kind) TrayIconNotify.Raise(this, kind);
        return false;
    }
    default: return DispatchContainerMessage(m, false);
    }
}

LRESULT CVolWinForm::DefaultWindowProc(VolMessage& m) {
    LRESULT r = rg_ZuJianBuJuQi::DefaultWindowProc(m);
    if (m.message == WM_NCDESTROY && VolGetMainWindow() == this) {
        VolSetMainWindow(nullptr);
        ::PostQuitMessage(0);
    }
    return r;
}

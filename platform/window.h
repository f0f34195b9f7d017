// The window bases: every control and form is a CVolObject that adds the visual slots below and a
// set of standard events. One window procedure serves every window the library creates; it finds
// the owning object through GWLP_USERDATA (stored at WM_NCCREATE, or when a system control is
// subclassed; a window property marks the window as ours), hands the message to the registered
// listener (slot 22) and then to the object's own default handling (DefaultWindowProc).
// A control raises its events only while a listener is attached (BindEvents attaches it).
//
// Slots appended to CVolObject's 18 (the numbers name them; C++ places them in this order):
//   18 CreateNativeWindow  19 FillCreateParams  20 ResolveInitialSize  21 OnNativeWindowCreated
//   22 DispatchWindowMessage  23 AttachEventListener  24 DetachEventListener  25 HasEventListener
//   26 GetDesignWidth  27 GetDesignHeight  28 CreateChildren  (containers)
//   BindEvents (controls; after it forms have PreTranslateMessage)
//
// Writing a control or form on these bases:
//   - derive from rg_ZuJianBuJuQi (owner-drawn control) or CVolWinForm (top-level window), use
//     VOL_CLASS / VOL_MEMBERS, hold children as members;
//   - override GetDesignWidth/GetDesignHeight with ScaleDesignValue(designer value);
//   - override BindEvents: VOL_BIND(child.LeftButtonDown, &Me::OnDown); ... then call the base (which
//     attaches this object's listener) and child.AttachEventListener() for every child bound;
//   - override CreateChildren: CreateChild(child, x, y, w, h[, tip]) in declaration order (designer
//     values; ids 101, 102, ... follow the order). The host has already run the tooltip set-up and
//     BindEvents when CreateChildren runs, and raises Created after it;
//   - when the class has children or handlers, start its destructor with DetachEvents() and
//     DestroyOwnWindow(), so no message or event reaches a half-destroyed object.
#pragma once
#include "platform/win.h"

#include <commctrl.h>

#include <memory>

#include "platform/containers.h"
#include "platform/dpi.h"
#include "platform/handles.h"
#include "platform/object.h"

class CVolWinControl;
class CVolWinContainer;
class CVolWinForm;

inline constexpr int kVolDefaultValue = int(0x80000000);  // CW_USEDEFAULT: "use the default"

// The creation record slot 18 is given.
struct VolCreateParams {
    CVolWinControl* parent = nullptr;  // none for a top-level window
    int x = kVolDefaultValue;
    int y = kVolDefaultValue;
    int width = kVolDefaultValue;
    int height = kVolDefaultValue;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    CWString caption;
    HFONT font = nullptr;
    HMENU menu = nullptr;
    HWND owner = nullptr;  // owner window of a top-level form
};

// The message record handed to slot 22 and to the WindowMessage event. Handlers that report a
// message as handled may set `result`; a CharInput handler's replacement lands in `wParam`.
struct VolMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
};

// The native side of a control, shared by copies of the control (a copy shares the window).
class VolWindowObject {
public:
    VolWindowObject() = default;
    VolWindowObject(const VolWindowObject&) = delete;
    VolWindowObject& operator=(const VolWindowObject&) = delete;

    HWND hwnd = nullptr;
    CVolWinControl* owner = nullptr;     // the object whose window this is (receives default handling)
    CVolWinControl* listener = nullptr;  // the one registered listener (slot 23), or none
    CWString caption;                    // the text while there is no window
    DWORD style = WS_VISIBLE;
    DWORD exStyle = 0;
    RECT bounds{0, 0, 0, 0};             // geometry while there is no window (parent client coordinates)
    HFONT font = nullptr;                // the font in use (owned or stock)
    UniqueGdiObject ownedFont;
    CWString fontText;
    HCURSOR cursor = nullptr;            // WM_SETCURSOR sets it when not null
    bool transparent = false;            // adds WS_EX_TRANSPARENT at creation
    HWND tooltip = nullptr;              // top-level windows only; owned by the window, dies with it
    CWString tipText;
    WNDPROC superProc = nullptr;         // a subclassed system control's own procedure
};

// A copy of a control shares the window object; it takes no part in equality.
template <> struct VolMember<std::shared_ptr<VolWindowObject>> {
    static bool Equal(const std::shared_ptr<VolWindowObject>&, const std::shared_ptr<VolWindowObject>&) { return true; }
    static void Copy(std::shared_ptr<VolWindowObject>& d, const std::shared_ptr<VolWindowObject>& s) { d = s; }
    static void Save(VolDataStream*, const std::shared_ptr<VolWindowObject>&) {}
    static void Load(VolDataStream*, std::shared_ptr<VolWindowObject>&) {}
};

// Modifier bits of the standard events.
inline constexpr int kModCtrl = 0x2000, kModShift = 0x8000, kModAlt = 0x4000;
// Ctrl and Shift from a mouse message's key-state word, Alt as the key is at dispatch time.
int VolMouseModifiers(WPARAM keyState) noexcept;
// Ctrl and Shift from the thread's key state when the key message was taken, Alt at dispatch time.
int VolKeyModifiers() noexcept;
// Keypad digits, minus, point and slash become the main keyboard's codes.
int VolNormaliseKeyCode(int virtualKey) noexcept;
// Every path of a drop, each read at its full length.
rg_WenBenShuZuLei VolReadDroppedFiles(HDROP drop);

// ---- the control base ----------------------------------------------------------------------------

class CVolWinControl : public CVolObject {
    VOL_CLASS(CVolWinControl, CVolObject, "CVolWinControl")
    VOL_MEMBERS(window_, caption)

public:
    CVolWinControl();
    ~CVolWinControl() override;

    // Slot 17: a copy must not leave this object registered with a window it no longer shares.
    void PrepareForCopy() override { DetachEventListener(); }

    // ---- slots 18-25 ----
    virtual int CreateNativeWindow(VolCreateParams& params);        // 18: 1 when created; the base can't
    virtual void FillCreateParams(VolCreateParams& params);         // 19
    virtual void ResolveInitialSize(VolCreateParams&) {}            // 20
    virtual void OnNativeWindowCreated(const VolCreateParams& params);  // 21
    virtual bool DispatchWindowMessage(VolMessage& m);              // 22: true when handled
    virtual void AttachEventListener();                             // 23
    virtual void DetachEventListener();                             // 24
    virtual int HasEventListener() const;                           // 25

    // The window's own handling after the listener: the class's behaviour, then the default procedure.
    virtual LRESULT DefaultWindowProc(VolMessage& m);
    // A child's WM_CTLCOLOR* reflected from its parent: a brush to paint with, or null for the default.
    virtual HBRUSH OnReflectedColor(HDC, UINT) { return nullptr; }
    // Called after SetFont changed the window object's font.
    virtual void OnFontChanged() {}

    // ---- creation ----
    // Creates the window inside `parent` (which must have a window) at pixel geometry with an id.
    int CreateInParent(CVolWinControl& parent, int x, int y, int width, int height, int id);
    // Marks the object as going away and destroys its window (children with it) while the object
    // is whole; messages that arrive meanwhile get default handling only.
    void DestroyOwnWindow();

    // ---- the window ----
    HWND GetHwnd() const noexcept { return window_ ? window_->hwnd : nullptr; }
    bool IsCreated() const noexcept { return GetHwnd() != nullptr; }
    VolWindowObject& GetWindowObject() const noexcept { return *window_; }
    CVolWinControl* GetParentControl() const noexcept { return parent_; }
    int GetControlId() const noexcept;
    // A number no other control of this process has had; identifies the object where an address
    // could be reused after it is gone.
    uint64_t GetSerial() const noexcept { return serial_; }

    // Text: the window's text, or the stored text while there is no window.
    CWString GetText() const;
    void SetText(std::wstring_view text);
    // Font from a font description text; an empty text means the default GUI font.
    void SetFont(std::wstring_view fontText);
    HFONT GetFontHandle() const noexcept { return window_->font; }
    void SetTipText(std::wstring_view text);
    void SetCursor(HCURSOR cursor) noexcept { window_->cursor = cursor; }
    void SetTransparent(bool on) noexcept { window_->transparent = on; }

    // Styles: stored until creation, applied to the window afterwards.
    DWORD GetStyle() const noexcept;
    void ModifyStyle(DWORD remove, DWORD add);
    void ModifyExStyle(DWORD remove, DWORD add);
    bool IsVisible() const noexcept;
    void SetVisible(bool visible);
    bool IsEnabled() const noexcept;
    void SetEnabled(bool enabled);
    void SetFocus();
    void Invalidate();

    // A message box owned by this control's top-level window (the main window while this control
    // has none); the focus returns afterwards. The button pressed (IDOK, ...).
    int ShowMessageBox(std::wstring_view text, std::wstring_view caption, UINT type);
    // The platform's modal input dialog, owned like ShowMessageBox: true and the text on OK.
    bool ShowInputDialog(std::wstring_view prompt, std::wstring_view title, CWString& text);

    // Geometry in the parent's client coordinates (screen for top-level windows).
    int GetLeft() const;
    int GetTop() const;
    int GetWidth() const;
    int GetHeight() const;
    int GetClientWidth() const;
    int GetClientHeight() const;
    // x or y kVolDefaultValue keeps that coordinate; a width or height below 0 keeps that size.
    void Move(int x, int y, int width = -1, int height = -1);
    void SetLeft(int x) { Move(x, kVolDefaultValue); }
    void SetTop(int y) { Move(kVolDefaultValue, y); }
    void SetWidth(int w) { Move(kVolDefaultValue, kVolDefaultValue, w, -1); }
    void SetHeight(int h) { Move(kVolDefaultValue, kVolDefaultValue, -1, h); }

    // The text member every control keeps; owners use it as they see fit.
    CWString caption;

    // ---- the 17 standard events, in this order ----
    using MouseEvent = VolEventBinding<int, int, int>;  // x, y, modifier bits
    MouseEvent LeftButtonDown, LeftButtonUp, LeftDoubleClick, RightButtonDown, RightButtonUp;
    MouseEvent MiddleButtonDown, MiddleButtonUp, MouseMove;
    VolEventBinding<int, int> MouseWheel;            // notches (delta / 120), modifier bits
    VolEventBinding<int, int> KeyDown, KeyUp;        // key code, modifier bits
    VolEventBinding<> FocusGained, FocusLost;
    VolEventBinding<int> CharInput;                  // <0 swallow, >0 replacement, 0 unchanged
    VolEventBinding<HWND, UINT, WPARAM, LPARAM, VolMessage*> WindowMessage;
    VolEventBinding<VolWindowObject*, CVolWinControl*, int> WindowCreated;  // window, parent, id
    VolEventBinding<const rg_WenBenShuZuLei&> FilesDropped;

protected:
    // Slot 18 of a plain control: slots 19 and 20, the style changes asked for, the window of a
    // library class (registered once, with `classStyle`) or of a system class, then slot 21.
    struct WindowClassSpec {
        const wchar_t* name;
        UINT classStyle = CS_DBLCLKS;
        bool systemClass = false;  // EDIT and friends: not registered here
        DWORD addStyle = 0;
        DWORD removeStyle = 0;
        DWORD addExStyle = 0;
        HBRUSH background = nullptr;
    };
    int CreateControlWindow(VolCreateParams& p, const WindowClassSpec& spec);
    // Creates the window of a registered or system class with the record's values.
    bool CreateWindowOfClass(const VolCreateParams& p, const wchar_t* className);
    // Routes a system control's messages (EDIT, ...) through the library's procedure.
    void SubclassSystemWindow();
    // The nearest top-level window's tooltip control, made on first use once that window exists.
    HWND GetTooltipControl();

    CVolWinControl* parent_ = nullptr;

private:
    friend LRESULT CALLBACK VolWindowProc(HWND, UINT, WPARAM, LPARAM);
    // The default GUI font at 9 points when the window object has none yet.
    void EnsureFont();
    std::shared_ptr<VolWindowObject> window_;
    uint64_t serial_ = NextSerial();
    static uint64_t NextSerial() noexcept;
};

// ---- containers ----------------------------------------------------------------------------------

class CVolWinContainer : public CVolWinControl {
    VOL_CLASS(CVolWinContainer, CVolWinControl, "CVolWinContainer")
    VOL_MEMBERS()

public:
    void FillCreateParams(VolCreateParams& params) override;
    void ResolveInitialSize(VolCreateParams& params) override;
    // ---- slots 26-28 ----
    virtual int GetDesignWidth() const { return 0; }   // ScaleDesignValue(designer width)
    virtual int GetDesignHeight() const { return 0; }
    virtual void CreateChildren() {}                    // once, on WM_CREATE
    // The generated binding slot; the base attaches this object's listener.
    virtual void BindEvents() { AttachEventListener(); }

    int GetResolvedWidth() const noexcept { return resolvedWidth_; }
    int GetResolvedHeight() const noexcept { return resolvedHeight_; }

protected:
    // Steps before the children: tooltip margins and colour, then BindEvents; restarts ids at 101.
    void PrepareChildCreation();
    // Creates the next child at designer geometry scaled by DpiScale, with the next id.
    int CreateChild(CVolWinControl& child, int x, int y, int width, int height, std::wstring_view tip = {});

    int resolvedWidth_ = 0;
    int resolvedHeight_ = 0;
    int nextChildId_ = 101;
};

// The component host (window class "VolContainer"): base of the owner-drawn controls.
class rg_ZuJianBuJuQi : public CVolWinContainer, public VolEventReceiver {
    VOL_CLASS(rg_ZuJianBuJuQi, CVolWinContainer, "rg_ZuJianBuJuQi")
    VOL_MEMBERS()

public:
    rg_ZuJianBuJuQi() : VolEventReceiver(this) {}
    rg_ZuJianBuJuQi(const rg_ZuJianBuJuQi&) = delete;

    int CreateNativeWindow(VolCreateParams& params) override;
    void FillCreateParams(VolCreateParams& params) override;
    bool DispatchWindowMessage(VolMessage& m) override;
    LRESULT DefaultWindowProc(VolMessage& m) override;

    // ---- 8 events, in this order ----
    VolEventBinding<> Created, Destroyed, NcDestroyed, Moved, Resized, Shown, Hidden;
    VolEventBinding<int> MenuCommand;  // command id; non-zero: handled

protected:
    // WM_CREATE: tooltip set-up, BindEvents, CreateChildren, then Created.
    void RunCreation();
    // Container messages other than WM_CREATE; a form handles WM_COMMAND itself.
    bool DispatchContainerMessage(VolMessage& m, bool raiseMenuCommand);
};

// ---- forms ---------------------------------------------------------------------------------------

// Window styles of a form's properties; exposed for tests.
struct VolFormStyle {
    DWORD style;
    DWORD exStyle;
};
VolFormStyle ComputeFormStyle(int borderStyle, bool controlBox, bool minButton, bool maxButton, bool topMost) noexcept;
// Default position of a top-level window: centred, in integer arithmetic.
POINT CentreOnScreen(int screenWidth, int screenHeight, int width, int height) noexcept;
// A window rectangle moved, and shrunk where it is larger, to lie inside an area.
RECT FitRectIntoArea(const RECT& window, const RECT& area) noexcept;
// Moves a top-level window, and shrinks it where it is larger, to lie inside the work area of its
// monitor. Every top-level form is created that way; a window placed afterwards calls this.
void FitWindowIntoWorkArea(HWND window);
// The same, centred on that work area.
void CentreWindowOnWorkArea(HWND window);

class CVolWinForm : public rg_ZuJianBuJuQi {
    VOL_CLASS(CVolWinForm, rg_ZuJianBuJuQi, "CVolWinForm")
    VOL_MEMBERS(borderStyle, controlBox, minButton, maxButton, topMost, escapeCloses)

public:
    // 0 none, 1 sizable, 2 fixed, 3 sizable tool window, 4 fixed tool window,
    // 5 sizable with client edge, 6 fixed with client edge.
    int borderStyle = 2;
    bool controlBox = true;
    bool minButton = true;
    bool maxButton = false;
    bool topMost = false;
    bool escapeCloses = false;  // Escape posts WM_CLOSE

    int CreateNativeWindow(VolCreateParams& params) override;
    void FillCreateParams(VolCreateParams& params) override;
    void ResolveInitialSize(VolCreateParams& params) override;
    bool DispatchWindowMessage(VolMessage& m) override;
    LRESULT DefaultWindowProc(VolMessage& m) override;
    // Asked before a message for this form or its children is translated; 0 swallows it.
    virtual int PreTranslateMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, MSG* msg);

    // A top-level window without owner at the default position and the design size; shown.
    bool LoadWindow(HWND owner = nullptr);
    // Runs the form modally (the owner is disabled meanwhile); the modal result, or -1 when the
    // window could not be created.
    int LoadWindowModal(HWND owner = nullptr);
    // Sets the modal result and closes the form.
    void EndModal(int result);
    int GetModalResult() const noexcept { return modalResult_; }
    // Asks the form to close as the close box does (the close queries may refuse).
    void Close();

    // The notification-area message a form's tray icon reports through (lParam: the mouse message).
    static constexpr UINT kTrayMessage = WM_APP + 0x3A0;

    // ---- 10 further events, in this order ----
    VolEventBinding<int> FormMenuCommand;   // command id; non-zero: handled
    VolEventBinding<int> MenuItemSelected;  // item id, 0 when the menu closes
    VolEventBinding<> CanClose, Closing;    // non-zero refuses; unbound allows
    VolEventBinding<> FirstActivated, Activated, Deactivated;
    VolEventBinding<int> TrayIconNotify;    // 1 left up, 2 left double-click, 3 right up / menu
    VolEventBinding<MINMAXINFO*> GetPositionLimits;  // non-zero writes the copy back
    VolEventBinding<> ModalShown;

private:
    // Enables the owner a modal run disabled, once, and hands it the activation while this window
    // has it.
    void ReleaseModalOwner();

    bool activatedOnce_ = false;
    bool modalRunning_ = false;
    HWND modalOwner_ = nullptr;  // disabled by the modal run until the window goes
    int modalResult_ = 0;
};

// The listener-free procedure every library window class uses.
LRESULT CALLBACK VolWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Registers a window class of the library once per process; false when registration failed.
bool VolRegisterWindowClass(const wchar_t* name, UINT style, HBRUSH background, HCURSOR cursor);
// The control whose window this is, or null.
CVolWinControl* VolControlFromHwnd(HWND hwnd) noexcept;
// Pre-translation of the message loops: the form that owns the message's window may swallow it.
bool VolPreTranslateForForms(MSG& msg);
// The application's main window: its monitor places new forms, and its destruction ends the loop.
void VolSetMainWindow(CVolWinForm* form) noexcept;
CVolWinForm* VolGetMainWindow() noexcept;

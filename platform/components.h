// The platform's simple components: the window timer, the label, the edit box and the picture box,
// and the menu bases. Properties set before creation are kept and applied when the window is made.
#pragma once
#include "platform/picture.h"
#include "platform/window.h"

// ---- timer ---------------------------------------------------------------------------------------

// One window timer, id 1000, on the component's own hidden window. The owner binds Tick and
// attaches the listener like any other event.
class CVWnd_Timer : public CVolWinControl {
    VOL_CLASS(CVWnd_Timer, CVolWinControl, "CVWnd_Timer")
    VOL_MEMBERS(interval_)

public:
    static constexpr UINT_PTR kTimerId = 1000;

    ~CVWnd_Timer() override { DestroyOwnWindow(); }

    int CreateNativeWindow(VolCreateParams& params) override;
    bool DispatchWindowMessage(VolMessage& m) override;
    // A timer without a parent component: its window is a message-only window.
    bool CreateStandalone();

    // 0 stops; a positive interval (re)starts. Before creation it is kept, and a positive one starts
    // the timer when the window is made.
    void SetInterval(int milliseconds);
    int GetInterval() const noexcept { return interval_; }

    VolEventBinding<> Tick;

private:
    int interval_ = 0;
};

class rg_timer : public CVWnd_Timer {
    VOL_CLASS(rg_timer, CVWnd_Timer, "rg_timer")
    VOL_MEMBERS()
};

// ---- label ---------------------------------------------------------------------------------------

// A text painted in the label's font and colours. Background -1 or 0xFF000000: the system
// button-face colour. Alignment 0 left, 1 centre, 2 right; a single line is centred vertically.
class rg_label : public CVolWinControl {
    VOL_CLASS(rg_label, CVolWinControl, "rg_label")
    VOL_MEMBERS(textColor, backColor, alignment)

public:
    ~rg_label() override { DestroyOwnWindow(); }
    int CreateNativeWindow(VolCreateParams& params) override;
    LRESULT DefaultWindowProc(VolMessage& m) override;

    void SetTextColor(int color) { textColor = color; Invalidate(); }
    void SetBackColor(int color) { backColor = color; Invalidate(); }
    void SetAlignment(int value) { alignment = value; Invalidate(); }

    int textColor = 0;
    int backColor = -1;
    int alignment = 0;
};

// ---- edit box ------------------------------------------------------------------------------------

// The system edit control, routed through the library's window procedure. Colours: text 0x00BBGGRR;
// background -1 white, 0xFF000000 the system button-face colour.
class rg_edit_box : public CVolWinControl {
    VOL_CLASS(rg_edit_box, CVolWinControl, "rg_edit_box")
    VOL_MEMBERS(textColor, backColor)

public:
    rg_edit_box();
    ~rg_edit_box() override;
    int CreateNativeWindow(VolCreateParams& params) override;
    void OnNativeWindowCreated(const VolCreateParams& params) override;
    HBRUSH OnReflectedColor(HDC dc, UINT message) override;

    // Style switches: before creation they shape the window; multi-line cannot change afterwards.
    void SetMultiLine(bool on);
    void SetReadOnly(bool on);
    void SetNumbersOnly(bool on) { ModifyStyle(on ? 0 : ES_NUMBER, on ? ES_NUMBER : 0); }
    void SetTextColor(int color) { textColor = color; Invalidate(); }
    void SetBackColor(int color);

    int GetTextLength() const;
    void SetSelection(int start, int end);
    void ReplaceSelection(std::wstring_view text);
    // Moves the caret to the end, scrolls to it and inserts the text there.
    void AppendText(std::wstring_view text);

    // An up-down (spin) control beside the box's right edge, made with the box, stepping its number
    // between low and high. Set before creation; a range with high < low means none. A creation
    // setting only: not part of the stream.
    void SetSpinRange(int low, int high) noexcept { spinLow = low; spinHigh = high; }
    HWND GetSpinHwnd() const noexcept { return spin_; }

    int textColor = 0;
    int backColor = -1;
    int spinLow = 0;
    int spinHigh = -1;

private:
    UniqueGdiObject backBrush_;
    HWND spin_ = nullptr;  // a sibling window: it goes with the parent, or with this box
};

// ---- picture box ---------------------------------------------------------------------------------

// A plain panel with a background colour and an optional picture at its top-left corner; other
// controls may be created inside it.
class rg_TuPianKuang : public CVolWinControl {
    VOL_CLASS(rg_TuPianKuang, CVolWinControl, "rg_TuPianKuang")
    VOL_MEMBERS(backColor, picture)

public:
    ~rg_TuPianKuang() override { DestroyOwnWindow(); }
    int CreateNativeWindow(VolCreateParams& params) override;
    LRESULT DefaultWindowProc(VolMessage& m) override;

    void SetBackColor(int color) { backColor = color; Invalidate(); }
    void SetPicture(const rg_WeiTuDuiXiangLei& p) { picture = p; Invalidate(); }

    int backColor = -1;  // -1 or 0xFF000000: the system button-face colour
    rg_WeiTuDuiXiangLei picture;
};

// ---- menus ---------------------------------------------------------------------------------------

// The counted run-time menu object: a menu handle and the greyed state of its items.
class CRefVolMenu {
public:
    CRefVolMenu() = default;
    ~CRefVolMenu() {
        if (handle) ::DestroyMenu(handle);
        if (accelerators) ::DestroyAcceleratorTable(accelerators);
    }
    CRefVolMenu(const CRefVolMenu&) = delete;
    CRefVolMenu& operator=(const CRefVolMenu&) = delete;
    HMENU handle = nullptr;
    HACCEL accelerators = nullptr;  // one entry per distinct shortcut of the items
};

// Copies of a menu class share the built menu; two are equal when they share it.
template <> struct VolMember<std::shared_ptr<CRefVolMenu>> : VolUnstreamedMember<std::shared_ptr<CRefVolMenu>> {
    static bool Equal(const std::shared_ptr<CRefVolMenu>& a, const std::shared_ptr<CRefVolMenu>& b) { return a == b; }
};

// A designed menu: slot 18 gives its menu-definition text.
class rg_KeSheJiLei : public CVolObject {
    VOL_CLASS(rg_KeSheJiLei, CVolObject, "rg_KeSheJiLei")
    VOL_MEMBERS()

public:
    virtual CWString GetDesignText() const { return {}; }  // slot 18
};

class rg_CaiChanLei : public rg_KeSheJiLei {
    VOL_CLASS(rg_CaiChanLei, rg_KeSheJiLei, "rg_CaiChanLei")
    VOL_MEMBERS(menu_)

public:
    // Slot 19: a new, empty menu object.
    virtual std::shared_ptr<CRefVolMenu> CreateMenuObject() const { return std::make_shared<CRefVolMenu>(); }
    // The menu, made through slot 19 and built from slot 18's text the first time.
    std::shared_ptr<CRefVolMenu> GetBuiltMenu();
    // Enables or greys an item by command id; changes the menu only when the state changes.
    // False when the built menu has no such item.
    bool EnableItem(int commandId, bool enable);
    bool IsItemEnabled(int commandId);

protected:
    // Turns the definition text into the menu handle and accelerators (platform/menu.h); an
    // invalid text leaves the menu empty.
    virtual void BuildMenu(CRefVolMenu& menu, const CWString& text);

private:
    std::shared_ptr<CRefVolMenu> menu_;
};

// The owner-drawn combo box: one row showing the current item (with an optional caption and icon)
// that opens a list of items below or above itself. Style 2 (the default) is a drop-down list whose
// current text is the selected item's; style 1 is editable, with an edit field on the top row.
//
// Everything is drawn on the hidden drawCanvas and copied in one piece to shownCanvas. While the list
// is open the control's own window grows by the list's height (moving up when the list lies above),
// and it is moved onto the first ancestor that is not a child window so the list is not cut off.
#pragma once
#include <memory>

#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/painter.h"
#include "platform/window.h"
#include "ui/combo_list.h"
#include "platform/components.h"
#include "ui/enter_leave.h"
#include "ui/font_text.h"
#include "ui/image_group.h"
#include "ui/scroll_bar.h"

class rg_DrenvikZuGeKuang1 : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_DrenvikZuGeKuang1, rg_ZuJianBuJuQi, "ui::rg_DrenvikZuGeKuang1")
    VOL_MEMBERS(iconDrawWidth, iconDrawHeight, noTabStop, captionWidth, captionHeight, colourMode, customColour,
                editField, drawCanvas, shownCanvas, watchTimer, items, itemImages, rowHeight, textHeight,
                refreshEnabled, shown, font, urlMode, tooltipText, fontText, numberRows, emptyIconIsZero,
                iconHeight, iconWidth, savedRequest, fieldSeparator, selectedIndex, requestedIndex, dateTimeMode,
                listOpen, spacing, frameColour, hoverFrameColour, backColour, hovered, buttonHot,
                enterLeaveWatcher, drawX, drawY, placedOpen, firstVisibleRow, groupNames, zeroPadNumbers,
                dropsAbove, listHeight, captionColour, savedTooltip, customTopColour, numberedCount, noDropButton,
                selfResizing, lastHotRow, hotRow, mouseInside, placedRect, style, disabled, openBehaviour, pressed,
                canvasPressed, openWhenEmpty, pasteWhenEmpty, focused, dateDigitCount)

public:
    rg_DrenvikZuGeKuang1();
    ~rg_DrenvikZuGeKuang1() override;

    int GetDesignWidth() const override { return ScaleDesignValue(636); }
    int GetDesignHeight() const override { return ScaleDesignValue(223); }
    void CreateChildren() override;
    void BindEvents() override;
    bool DispatchWindowMessage(VolMessage& m) override;

    // ---- items and selection ----
    // The caption is the control's `caption` text.
    const CWString& GetCaption() const noexcept { return caption; }
    void SetCaption(std::wstring_view text);
    void SetListText(std::wstring_view text);
    CWString PairLinesToRows(std::wstring_view text) const { return PairComboLinesToRows(text, fieldSeparator); }
    void ParseListText(std::wstring_view text);
    void AddItem(std::wstring_view text, std::wstring_view groupName);
    void InsertItem(std::wstring_view text, int iconIndex, std::wstring_view groupName);
    void DeleteItem(int index);
    int GetItemCount() const noexcept { return items.GetCount(); }
    rg_DrenvikXiangMu* GetItem(int index) const noexcept { return static_cast<rg_DrenvikXiangMu*>(items.GetAt(index)); }
    CWString GetItemText(int index) const;
    int GetItemValue(int index) const;
    int FindSeparatorItem() const;
    void SelectIndex(int index);
    int GetSelectedIndex() const noexcept { return GetItem(selectedIndex) ? selectedIndex : -1; }
    void SelectByText(std::wstring_view text);
    CWString GetCurrentText() const;

    // ---- drawing and the list ----
    void Refresh();
    // False when the box was destroyed meanwhile (a colour list's picker runs a message loop, and
    // the events it raises may close the window): the caller must not touch it then.
    bool ToggleDropDown();
    void PlaceDropDown();
    int GetListHeight(int top = kVolDefaultValue);
    rg_DrenvikGunDongTiao1* GetListScrollBar();
    rg_DrenvikGunDongTiao1* PeekListScrollBar() const noexcept { return listScrollBar_.get(); }
    int GetRowPitch() const noexcept;
    int GetVisibleRowCount() const noexcept;
    int GetButtonX() const;

    // ---- icons and font ----
    void SetItemImage(int resourceId, int index);
    void SetIconWidth(int width);
    void SetIconHeight(int height);
    void SetFontText(std::wstring_view text);
    void ApplyFont(const CWString& text, bool noRefresh, bool reRender);
    void Layout();

    // ---- input, also driven directly by tests (canvas client coordinates) ----
    void OnMouseMove(int x, int y, int keys);
    void OnMouseLeave();
    void OnCanvasLeftDown(int x, int y, int keys);
    void OnCanvasLeftUp(int x, int y, int keys);
    void OnDoubleClick();
    void OnFocusGained();
    void OnFocusLost();
    void OnWatchTimer();
    void OnWheelMessage(WPARAM wParam);

    // ---- colour list, date-time editing, web addresses and tooltip ----
    // customColour when item 0 (the free colour) is selected, else the selected item's value; 0 without one.
    int GetColour() const;
    // Selects the first item from 1 on with this value, else item 0; raises nothing.
    void SetColour(int colour);
    int RaiseColourChanged();
    // Edits the date-time field at the caret: -1 selects it (answer 0); any other key answers 1 (handled).
    int EditDateTimeField(int key);
    // The visible canvas's right button release: closes an open list, opens the selected item's
    // address (web-address mode) or empties an editable box's text, then raises RightClick.
    void OnRightClick(int x, int y, int keys);
    // The tooltip text; the canvas shows it with the hints of the modes.
    void SetTooltip(std::wstring_view text);

    // ---- members, in the order of the object protocol ----
    int iconDrawWidth = 0;
    int iconDrawHeight = 0;
    int noTabStop = 0;
    int captionWidth = 0;
    int captionHeight = 0;
    int colourMode = 0;
    int customColour = 0;
    rg_edit_box editField;
    rg_painter drawCanvas;
    rg_painter shownCanvas;
    rg_timer watchTimer;  // 50 ms after the mouse left the open list
    CVolObjectArray items;
    rg_DrenvikTuPianZu itemImages;
    int rowHeight = 0;
    int textHeight = 0;
    int refreshEnabled = 1;
    int shown = 0;
    rg_DrenvikZiTiLei1 font;  // the parsed font text; its bold flag is switched per row while drawing
    int urlMode = 0;
    CWString tooltipText;
    CWString fontText;
    int numberRows = 0;
    int emptyIconIsZero = 1;
    int iconHeight = 0;
    int iconWidth = 0;
    int savedRequest = 0;
    CWString fieldSeparator = L"|";
    int selectedIndex = -1;
    int requestedIndex = -1;
    int dateTimeMode = 0;
    int listOpen = 0;
    int spacing = 5;
    int frameColour = 0xAD9EB1;
    int hoverFrameColour = 0xFF8800;
    int backColour = 0xECECEC;
    int hovered = 0;
    int buttonHot = 0;
    rg_DrenvikYiRuYiChuShiJianLei enterLeaveWatcher;  // enter and leave of shownCanvas
    int drawX = 0;
    int drawY = 0;
    int placedOpen = 0;
    int firstVisibleRow = 0;
    rg_WenBenShuZuLei groupNames;
    int zeroPadNumbers = 1;
    int dropsAbove = 0;
    int listHeight = 0;
    int captionColour = 0xC06000;
    CWString savedTooltip;
    int customTopColour = 0;
    int numberedCount = 0;
    int noDropButton = 0;
    int selfResizing = 0;
    int lastHotRow = -1;
    int hotRow = -1;
    int mouseInside = 0;
    rg_JuXingLei placedRect;
    int style = 2;
    int disabled = 0;
    int openBehaviour = 1;
    int pressed = 0;
    int canvasPressed = 0;
    int openWhenEmpty = 0;
    int pasteWhenEmpty = 0;
    int focused = 0;
    HWND parentWindow = nullptr;
    HWND topWindow = nullptr;
    int dateDigitCount = 0;

    // ---- events ----
    VolEventBinding<> ItemChosen, TextChanged, DropDownOpening, DropDownClosed;
    VolEventBinding<int, int> EditKeyDown, EditKeyUp;  // key, modifier bits
    VolEventBinding<int> TopRowTextColour;             // colour -> the colour to draw the top row in
    VolEventBinding<int, int, int> MouseMoved;         // x, y, modifier bits
    VolEventBinding<> MouseEnter, MouseLeave;
    VolEventBinding<int, int, int> MousePressed;       // x, y, modifier bits
    VolEventBinding<> TextAreaClicked;                 // 1 keeps the list closed
    VolEventBinding<int> ItemClicking;                 // index; non-zero: nothing is chosen
    VolEventBinding<> EditItemChosen;
    VolEventBinding<const CWString&> SelectionChanging;  // the item's text; non-zero keeps the edit text
    VolEventBinding<> ColourChanged, GotFocus, LostFocus, RightClick, DoubleClick;
    VolEventBinding<CVolWinControl*> EditLostFocus, EditGotFocus;

private:
    std::unique_ptr<rg_DrenvikGunDongTiao1> listScrollBar_;  // made on first use, never shared
    // Cleared by the destructor; code that pumps messages keeps a copy to see it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    CWString shownTip_;            // the tooltip shownCanvas has now
    int fontBold_ = -1;            // bold flag of the font last set on drawCanvas, -1 none

    bool HasWindow() const noexcept { return IsCreated(); }
    int GroupIndex(std::wstring_view groupName);
    std::unique_ptr<rg_DrenvikXiangMu> MakeItem(std::wstring_view text, int iconIndex, std::wstring_view groupName);
    int Spacing() const noexcept { return ScaleByDpi(spacing); }
    bool ScrollBarShown() const;
    int IconColumnWidth() const noexcept;  // e of the layout: icon column plus caption
    void RenderIcons();
    void ChooseHotRow();
    void MoveSelf(int x, int y, int width, int height);
    // A null item is the empty item of the top row without a selection.
    void PaintRow(const rg_DrenvikXiangMu* item, int height, bool hot, bool selected, bool editText, int rightMargin,
                  bool topRow, int number);
    void DrawButton(int topY);
    void SetCanvasTip(const CWString& tip);
    void SetRowFont(bool bold);
    CWString ComposedTooltip() const;
    void ChooseColourItem(int index);
    void PaintColourRow(const rg_DrenvikXiangMu& item, int height, bool hot, int rightMargin);
    int OnEditChar(CVolObject*, int character);
    int OnEditRightDown(CVolObject*, int x, int y, int keys);
    int OnEditWheel(CVolObject*, int notches, int keys);
    int OnEditMessage(CVolObject*, HWND, UINT message, WPARAM, LPARAM, VolMessage*);

    void OnCreated(CVolObject*);
    void OnResized(CVolObject*);
    void OnShown(CVolObject*);
    int OnShownCanvasMove(CVolObject* source, int x, int y, int keys);
    int OnShownCanvasDown(CVolObject* source, int x, int y, int keys);
    int OnShownCanvasUp(CVolObject* source, int x, int y, int keys);
    int OnShownCanvasDouble(CVolObject* source, int x, int y, int keys);
    int OnShownCanvasRightUp(CVolObject* source, int x, int y, int keys);
    int OnShownCanvasFocus(CVolObject* source);
    int OnShownCanvasBlur(CVolObject* source);
    int OnWatcherLeft(CVolObject*, CVolWinControl*, CVolWinControl*, int);
    void OnWatchTick(CVolObject*) { OnWatchTimer(); }
    bool IsMultilineEdit() const noexcept { return (editField.GetStyle() & ES_MULTILINE) != 0; }
    int OnEditDown(CVolObject*, int, int, int);
    int OnEditUp(CVolObject*, int, int, int);
    int OnEditKeyDown(CVolObject*, int key, int mods);
    int OnEditKeyUp(CVolObject*, int key, int mods);
    int OnEditFocus(CVolObject*);
    int OnEditBlur(CVolObject*);
    void OnListScrolled(CVolObject*, int position);
    int OnListBarDown(CVolObject*, int, int, int);
    void OnListBarUp(CVolObject*, int, int, int);
};

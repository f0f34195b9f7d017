#include "ui/combo_box.h"

#include <algorithm>

#include "platform/input.h"
#include "platform/system.h"
#include "ui/control_foundation.h"
#include "ui/mouse_buttons.h"

namespace {
constexpr int kListFrame = 0xC0C0C0;
constexpr int kWhite = 0xFFFFFF;
constexpr int kGreyText = 0x808080;
constexpr int kHotText = 0x0000FF;
constexpr int kButtonPen = 0xAD9EB1, kButtonPenHot = 0xF9B7B7;
constexpr int kButtonFill = 0xFFF2FA, kButtonFillHot = 0x1981F4;
constexpr DWORD kEditFrameExStyles = 0x20201;  // dialog frame, client edge, static edge

// -1 is white and 0xFF000000 the button face in this control's colour members.
int ResolveColour(int c) {
    if (c == -1) return kWhite;
    if (unsigned(c) == 0xFF000000u) return int(::GetSysColor(COLOR_BTNFACE));
    return c;
}

CWString ReadClipboardText() {
    CWString text;
    if (!::OpenClipboard(nullptr)) return text;
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
            text = CWString(p, ::wcsnlen(p, ::GlobalSize(h) / sizeof(wchar_t)));
            ::GlobalUnlock(h);
        }
    }
    ::CloseClipboard();
    return text;
}

bool IsSeparator(const rg_DrenvikXiangMu& item) { return item.text.EqualsString(kComboSeparatorItem); }
}  // namespace

// ---- construction ------------------------------------------------------------------------------------

rg_DrenvikZuGeKuang1::rg_DrenvikZuGeKuang1() {
    font.ParseFontText(kDefaultFontText);
    VOL_BIND(enterLeaveWatcher.MouseLeft, &rg_DrenvikZuGeKuang1::OnWatcherLeft);
    editField.SetFont(kDefaultFontText);
    // Siblings overlap here (the canvases under the edit field and the list's scroll bar, an open
    // list over other controls): each paints only where it is on top.
    editField.ModifyStyle(WS_VISIBLE, ES_NOHIDESEL | WS_CLIPSIBLINGS);
    drawCanvas.SetFont(kDefaultFontText);
    drawCanvas.ModifyStyle(WS_VISIBLE, WS_CLIPSIBLINGS);
    shownCanvas.SetFont(kDefaultFontText);
    shownCanvas.ModifyStyle(0, WS_CLIPSIBLINGS);
    ModifyStyle(0, WS_CLIPSIBLINGS);
}

rg_DrenvikZuGeKuang1::~rg_DrenvikZuGeKuang1() {
    *alive_ = false;
    DetachEvents();
    listScrollBar_.reset();
    DestroyOwnWindow();
}

void rg_DrenvikZuGeKuang1::CreateChildren() {
    CreateChild(editField, 90, 173, 102, 26);
    editField.ModifyStyle(WS_BORDER, 0);
    editField.ModifyExStyle(kEditFrameExStyles, 0);
    CreateChild(drawCanvas, 96, 77, 96, 80);
    CreateChild(shownCanvas, 211, 70, 96, 80);
    CreateChild(watchTimer, 384, 77, 21, 21);
}

void rg_DrenvikZuGeKuang1::BindEvents() {
    VOL_BIND(Created, &rg_DrenvikZuGeKuang1::OnCreated);
    VOL_BIND(Resized, &rg_DrenvikZuGeKuang1::OnResized);
    VOL_BIND(Shown, &rg_DrenvikZuGeKuang1::OnShown);
    // Only the visible canvas takes input; the hidden one never sees the mouse.
    VOL_BIND(shownCanvas.MouseMove, &rg_DrenvikZuGeKuang1::OnShownCanvasMove);
    VOL_BIND(shownCanvas.LeftButtonDown, &rg_DrenvikZuGeKuang1::OnShownCanvasDown);
    VOL_BIND(shownCanvas.LeftButtonUp, &rg_DrenvikZuGeKuang1::OnShownCanvasUp);
    VOL_BIND(shownCanvas.LeftDoubleClick, &rg_DrenvikZuGeKuang1::OnShownCanvasDouble);
    VOL_BIND(shownCanvas.RightButtonUp, &rg_DrenvikZuGeKuang1::OnShownCanvasRightUp);
    VOL_BIND(shownCanvas.FocusGained, &rg_DrenvikZuGeKuang1::OnShownCanvasFocus);
    VOL_BIND(shownCanvas.FocusLost, &rg_DrenvikZuGeKuang1::OnShownCanvasBlur);
    shownCanvas.AttachEventListener();
    VOL_BIND(watchTimer.Tick, &rg_DrenvikZuGeKuang1::OnWatchTick);
    watchTimer.AttachEventListener();
    VOL_BIND(editField.LeftButtonDown, &rg_DrenvikZuGeKuang1::OnEditDown);
    VOL_BIND(editField.LeftButtonUp, &rg_DrenvikZuGeKuang1::OnEditUp);
    VOL_BIND(editField.KeyDown, &rg_DrenvikZuGeKuang1::OnEditKeyDown);
    VOL_BIND(editField.KeyUp, &rg_DrenvikZuGeKuang1::OnEditKeyUp);
    VOL_BIND(editField.FocusGained, &rg_DrenvikZuGeKuang1::OnEditFocus);
    VOL_BIND(editField.FocusLost, &rg_DrenvikZuGeKuang1::OnEditBlur);
    VOL_BIND(editField.CharInput, &rg_DrenvikZuGeKuang1::OnEditChar);
    VOL_BIND(editField.RightButtonDown, &rg_DrenvikZuGeKuang1::OnEditRightDown);
    VOL_BIND(editField.MouseWheel, &rg_DrenvikZuGeKuang1::OnEditWheel);
    VOL_BIND(editField.WindowMessage, &rg_DrenvikZuGeKuang1::OnEditMessage);
    editField.AttachEventListener();
    rg_ZuJianBuJuQi::BindEvents();
}

bool rg_DrenvikZuGeKuang1::DispatchWindowMessage(VolMessage& m) {
    if (m.message == WM_MOUSEWHEEL) OnWheelMessage(m.wParam);  // and it goes on as not handled
    if (m.message == WM_COMMAND && HIWORD(m.wParam) == EN_CHANGE && editField.IsCreated() &&
        reinterpret_cast<HWND>(m.lParam) == editField.GetHwnd() && style == 1 && colourMode == 0)
        TextChanged.Raise(this);
    return rg_ZuJianBuJuQi::DispatchWindowMessage(m);
}

void rg_DrenvikZuGeKuang1::OnCreated(CVolObject*) {
    if (!noTabStop) shownCanvas.ModifyStyle(0, WS_TABSTOP);
    parentWindow = ::GetParent(GetHwnd());
    HWND w = parentWindow;
    while (w && (::GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD)) w = ::GetParent(w);
    topWindow = w == parentWindow ? nullptr : w;
    if (colourMode >= 1) SetTooltip(L"");  // shows the colour list's hint
    ApplyFont(fontText, true, true);
}

void rg_DrenvikZuGeKuang1::OnResized(CVolObject*) {
    int w = GetClientWidth(), h = GetClientHeight();
    if (w > 0 && h > 0) {
        drawCanvas.Move(0, 0, w, h);
        shownCanvas.Move(0, 0, w, h);
        if (!listOpen) rowHeight = h;
    }
    if (!selfResizing) Refresh();
}

void rg_DrenvikZuGeKuang1::OnShown(CVolObject*) {
    if (shown) return;
    shown = 1;
    Refresh();
}

void rg_DrenvikZuGeKuang1::MoveSelf(int x, int y, int width, int height) {
    // The Resized that this move causes must not refresh in the middle of a refresh.
    int was = selfResizing;
    selfResizing = 1;
    Move(x, y, width, height);
    selfResizing = was;
}

// ---- items and selection ------------------------------------------------------------------------------

void rg_DrenvikZuGeKuang1::SetCaption(std::wstring_view text) {
    caption = text;
    if (!HasWindow()) return;
    Layout();
    Refresh();
}

void rg_DrenvikZuGeKuang1::SetListText(std::wstring_view text) {
    savedRequest = requestedIndex;
    CWString rows(text);
    if (rows.FindText(L"\r\n") < 0 && rows.FindText(L"\n") >= 0) rows = PairLinesToRows(rows);
    ParseListText(rows);
    int s = GetSelectedIndex();
    if (s != savedRequest && (!HasWindow() || style != 1)) SelectIndex(savedRequest);
}

void rg_DrenvikZuGeKuang1::ParseListText(std::wstring_view text) {
    CWStringArray lines;
    SplitTextBySeparator(text, lines, L"\r\n", false, false);
    items.RemoveAll();
    groupNames.clear();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 0 && ReadSeparatorHeader(lines[0], fieldSeparator)) continue;
        rg_DrenvikXiangMu item = ParseComboItemLine(lines[i], fieldSeparator, emptyIconIsZero != 0);
        items.Add(std::make_unique<rg_DrenvikXiangMu>(std::move(item)));
    }
}

int rg_DrenvikZuGeKuang1::GroupIndex(std::wstring_view groupName) {
    if (groupName.empty()) return 0;
    auto it = std::find(groupNames.begin(), groupNames.end(), groupName);
    if (it == groupNames.end()) {
        groupNames.Add(groupName);
        return groupNames.GetCount() - 1;
    }
    return int(it - groupNames.begin());
}

std::unique_ptr<rg_DrenvikXiangMu> rg_DrenvikZuGeKuang1::MakeItem(std::wstring_view text, int iconIndex,
                                                                 std::wstring_view groupName) {
    auto item = std::make_unique<rg_DrenvikXiangMu>();
    item->text = text;
    item->groupOrValue = GroupIndex(groupName);
    item->iconIndex = iconIndex;
    item->spareValue = -1;
    return item;
}

void rg_DrenvikZuGeKuang1::AddItem(std::wstring_view text, std::wstring_view groupName) {
    items.Add(MakeItem(text, emptyIconIsZero ? 0 : -1, groupName));
    Refresh();
}

void rg_DrenvikZuGeKuang1::InsertItem(std::wstring_view text, int iconIndex, std::wstring_view groupName) {
    // The object array only appends: rebuild it with the new item first.
    CVolObjectArray rebuilt;
    rebuilt.Add(MakeItem(text, iconIndex, groupName));
    for (int i = 0; i < items.GetCount(); ++i) rebuilt.AddCopy(*items.GetAt(i));
    items = std::move(rebuilt);
    Refresh();
}

void rg_DrenvikZuGeKuang1::DeleteItem(int index) {
    if (!GetItem(index)) return;
    items.RemoveAt(index);
    Refresh();
}

CWString rg_DrenvikZuGeKuang1::GetItemText(int index) const {
    const rg_DrenvikXiangMu* item = GetItem(index);
    return item ? item->text : CWString();
}

int rg_DrenvikZuGeKuang1::GetItemValue(int index) const {
    const rg_DrenvikXiangMu* item = GetItem(index);
    return item ? item->groupOrValue : 0;
}

int rg_DrenvikZuGeKuang1::FindSeparatorItem() const {
    for (int i = 0; i < GetItemCount(); ++i)
        if (IsSeparator(*GetItem(i))) return i;
    return -1;
}

void rg_DrenvikZuGeKuang1::SelectIndex(int index) {
    requestedIndex = index;
    const rg_DrenvikXiangMu* item = GetItem(index);
    if (!item) {
        selectedIndex = -1;
        editField.SetText(L"");
    } else {
        selectedIndex = index;
        CWString itemText = item->text;  // a handler may change the list
        if (!editField.GetText().EqualsString(itemText) && SelectionChanging.Raise(this, itemText) == 0)
            editField.SetText(itemText);
    }
    Refresh();
}

void rg_DrenvikZuGeKuang1::SelectByText(std::wstring_view text) {
    CWString wanted(text);  // the text may live in the list that a handler replaces
    int found = -1;
    for (int i = 0; i < GetItemCount() && found < 0; ++i)
        if (GetItem(i)->text.EqualsString(wanted)) found = i;
    if (found >= 0) {
        SelectIndex(found);
    } else {
        requestedIndex = selectedIndex = -1;
        editField.SetText(L"");
        Refresh();
    }
    editField.SetText(wanted);
}

CWString rg_DrenvikZuGeKuang1::GetCurrentText() const {
    if (style == 2) return GetItemText(selectedIndex);
    return editField.GetText();
}

// ---- geometry -----------------------------------------------------------------------------------------

int rg_DrenvikZuGeKuang1::GetRowPitch() const noexcept {
    return ComboRowPitch(itemImages.tallestPicture, textHeight, Spacing());
}

int rg_DrenvikZuGeKuang1::GetVisibleRowCount() const noexcept {
    return ComboVisibleRows(listHeight, Spacing(), GetRowPitch());
}

int rg_DrenvikZuGeKuang1::GetButtonX() const { return ComboButtonX(GetClientWidth(), rowHeight, noDropButton != 0); }

int rg_DrenvikZuGeKuang1::IconColumnWidth() const noexcept {
    int s = Spacing(), w = itemImages.widestPicture;
    int e = w > 0 ? w + 2 * s : 0;
    if (captionWidth > 0) e += captionWidth + s * (w <= 0 ? 2 : 1);
    return e;
}

bool rg_DrenvikZuGeKuang1::ScrollBarShown() const {
    // Its own visibility: a list inside a hidden form still scrolls.
    return listScrollBar_ && listScrollBar_->IsCreated() && (listScrollBar_->GetStyle() & WS_VISIBLE);
}

int rg_DrenvikZuGeKuang1::GetListHeight(int top) {
    if (top == kVolDefaultValue) top = GetTop();
    RECT parent{0, 0, 0, 0};
    if (HWND p = HasWindow() ? ::GetParent(GetHwnd()) : nullptr) ::GetClientRect(p, &parent);
    ComboListPlacement placement =
        PlaceComboList(int(parent.bottom), top, rowHeight, GetItemCount(), GetRowPitch(), Spacing());
    dropsAbove = placement.above ? 1 : 0;
    listHeight = placement.listHeight;
    return listHeight;
}

// ---- the list -----------------------------------------------------------------------------------------

rg_DrenvikGunDongTiao1* rg_DrenvikZuGeKuang1::GetListScrollBar() {
    if (listScrollBar_ && listScrollBar_->IsCreated()) return listScrollBar_.get();
    if (!listScrollBar_) listScrollBar_.reset(rg_DrenvikGunDongTiao1::CreateForOwner());
    rg_DrenvikGunDongTiao1& bar = *listScrollBar_;
    bar.vertical = 1;
    bar.MeasureTrack();
    bar.Paint(0, 0, 0);
    if (HasWindow()) {
        bar.ModifyStyle(WS_VISIBLE, 0);
        bar.CreateInParent(*this, ScaleByDpi(326), ScaleByDpi(32), ScaleByDpi(19), ScaleByDpi(166), 105);
        VOL_BIND(bar.PositionChanged, &rg_DrenvikZuGeKuang1::OnListScrolled);
        VOL_BIND(bar.MouseDown, &rg_DrenvikZuGeKuang1::OnListBarDown);
        VOL_BIND(bar.MouseUp, &rg_DrenvikZuGeKuang1::OnListBarUp);
        if (bar.IsCreated())
            ::SetWindowPos(bar.GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return &bar;
}

void rg_DrenvikZuGeKuang1::OnListScrolled(CVolObject*, int position) {
    firstVisibleRow = position - 1;
    if (ScrollBarShown()) Refresh();
}

int rg_DrenvikZuGeKuang1::OnListBarDown(CVolObject*, int, int, int) {
    pressed = 1;
    return 0;
}

void rg_DrenvikZuGeKuang1::OnListBarUp(CVolObject*, int, int, int) { pressed = 0; }

void rg_DrenvikZuGeKuang1::PlaceDropDown() {
    if (!HasWindow()) return;
    HWND self = GetHwnd();
    bool opened = listOpen && !placedOpen, closed = !listOpen && placedOpen;
    if (!topWindow) {
        if (opened) {
            GetListHeight(kVolDefaultValue);
            if (dropsAbove) MoveSelf(kVolDefaultValue, GetTop() - listHeight, -1, rowHeight + listHeight);
        } else if (closed && dropsAbove) {
            MoveSelf(kVolDefaultValue, GetTop() + listHeight, -1, rowHeight);
        }
        if (listOpen) ::SetWindowPos(self, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else if (opened) {
        placedRect = rg_JuXingLei(GetLeft(), GetTop(), GetLeft() + GetWidth(), GetTop() + GetHeight());
        ::SetParent(self, topWindow);
        rg_JuXingLei inner = GetWindowRectangle(parentWindow, false, false);
        rg_JuXingLei outer = GetWindowRectangle(topWindow, false, false);
        int dx = inner.left - outer.left, dy = inner.top - outer.top;
        GetListHeight(placedRect.top + dy);
        MoveSelf(placedRect.left + dx, placedRect.top + dy - (dropsAbove ? listHeight : 0), -1, rowHeight + listHeight);
        ::SetWindowPos(self, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else if (closed) {
        ::SetParent(self, parentWindow);
        MoveSelf(placedRect.left, placedRect.top, -1, rowHeight);
        placedOpen = listOpen;
        DropDownClosed.Raise(this);
    }
    placedOpen = listOpen;
}

bool rg_DrenvikZuGeKuang1::ToggleDropDown() {
    std::shared_ptr<bool> alive = alive_;  // the chosen item's events may close the box
    listOpen = !listOpen;
    if (listOpen) {
        if (DropDownOpening.Raise(this) != 0) {
            listOpen = 0;  // vetoed: the next placement must not open the list after all
            return true;
        }
        bool showCurrent, backToTop;
        if (colourMode >= 1) {
            VolGetAsyncKeyState(VK_CONTROL);
            showCurrent = (VolGetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
            backToTop = !showCurrent;
        } else {
            showCurrent = colourMode == 0 && openBehaviour == 1;
            backToTop = colourMode == 0 && openBehaviour == 2;
        }
        if (showCurrent) {
            if (style != 2) {
                CWString current = GetCurrentText();
                for (int i = 0; i < GetItemCount(); ++i) {
                    if (!GetItem(i)->text.EqualsString(current)) continue;
                    if (i != selectedIndex) SelectIndex(i);
                    break;
                }
            }
            int sel = GetSelectedIndex();
            if (sel >= 0) {
                PlaceDropDown();
                int visible = GetVisibleRowCount();
                int wanted = 0;  // the scroll position that brings the selection into view; 0: in view
                if (sel < firstVisibleRow) wanted = sel + 1;
                else if (sel > firstVisibleRow + visible - 1) wanted = sel - visible + 2;
                if (wanted > 0) {
                    rg_DrenvikGunDongTiao1* bar = GetListScrollBar();
                    bar->maximum = std::max(1, GetItemCount() - visible + 1);  // before it clamps the position
                    bar->SetPosition(wanted);
                    firstVisibleRow = bar->position - 1;
                }
            }
        } else if (backToTop) {
            if (listScrollBar_) {
                listScrollBar_->SetPosition(1);
                firstVisibleRow = listScrollBar_->position - 1;
            } else {
                firstVisibleRow = 0;
            }
        }
        Refresh();
    } else {
        int h = hotRow;
        const rg_DrenvikXiangMu* item = GetItem(h);
        if (!item || IsSeparator(*item) || item->itemKind != 0) {
            Refresh();
        } else if (ItemClicking.Raise(this, h) == 0) {
            SelectIndex(h);
            if (colourMode >= 1) {
                ChooseColourItem(h);
            } else if (style == 1) {
                if (dateTimeMode) EditDateTimeField(-1);
                EditItemChosen.Raise(this);
            } else {
                PumpPendingMessages();
                ItemChosen.Raise(this);
            }
        }
    }
    if (!*alive) return false;
    if (focused && !listOpen) shownCanvas.SetFocus();
    return true;
}

// ---- drawing ------------------------------------------------------------------------------------------

void rg_DrenvikZuGeKuang1::SetCanvasTip(const CWString& tip) {
    if (tip == shownTip_) return;
    shownTip_ = tip;
    shownCanvas.SetTipText(tip);
}

void rg_DrenvikZuGeKuang1::SetRowFont(bool bold) {
    if (fontBold_ == int(bold)) return;
    fontBold_ = int(bold);
    font.bold = bold ? 1 : 0;
    drawCanvas.SetFont(font.FormatFontText());
}

void rg_DrenvikZuGeKuang1::Refresh() {
    if (!shown || !refreshEnabled || !HasWindow()) return;
    PlaceDropDown();
    const int s = Spacing();
    const int e = IconColumnWidth();
    const int bx = GetButtonX();
    const int topY = listOpen && dropsAbove ? listHeight : 0;
    if (style == 2) {
        editField.SetVisible(false);
    } else {
        editField.Move(e + 1, topY + 1, bx - rowHeight / 8 - e - 1, rowHeight - 2);
        editField.SetVisible(true);
    }

    if (listOpen) {
        MoveSelf(kVolDefaultValue, kVolDefaultValue, -1, rowHeight + listHeight);
        const int count = GetItemCount();
        const int visible = GetVisibleRowCount();
        const int cw = GetClientWidth(), ch = GetClientHeight();
        if (count > visible) {
            rg_DrenvikGunDongTiao1* bar = GetListScrollBar();
            bar->SetTotal(count);
            bar->SetMaximum(count - visible + 1);
            bar->Move(cw - bar->GetWidth() - 1, dropsAbove ? 0 : rowHeight, -1, ch - rowHeight);
            bar->SetVisible(true);
        } else {
            if (listScrollBar_) listScrollBar_->SetVisible(false);
            firstVisibleRow = 0;  // every row fits: a scroll position left from a longer list would hide them
        }
        drawCanvas.SetPenColor(kListFrame);
        drawCanvas.SetBrushColor(kWhite);
        if (dropsAbove) drawCanvas.DrawRectangle(0, 0, cw, ch - rowHeight);
        else drawCanvas.DrawRectangle(0, rowHeight, cw, ch);

        const int pitch = GetRowPitch();
        drawY = s + (dropsAbove ? 0 : rowHeight);
        int number = 0;
        if (numberRows) {
            numberedCount = 0;
            for (int i = 0; i < count; ++i) {
                if (IsSeparator(*GetItem(i))) continue;
                ++numberedCount;
                if (i < firstVisibleRow) ++number;
            }
        }
        for (int i = firstVisibleRow; i <= firstVisibleRow + visible && i < count; ++i) {
            const rg_DrenvikXiangMu* item = GetItem(i);
            if (!item) continue;
            drawX = s;
            int rowNumber = 0;
            if (numberRows && !IsSeparator(*item)) rowNumber = ++number;
            PaintRow(item, pitch, i == hotRow, i == selectedIndex, false, 0, false, rowNumber);
            drawY += pitch;
        }
    } else {
        if (rowHeight != 0 && rowHeight != drawCanvas.GetClientHeight())
            MoveSelf(kVolDefaultValue, kVolDefaultValue, -1, rowHeight);
        if (listScrollBar_) listScrollBar_->SetVisible(false);
    }

    // The top row.
    const int cw = GetClientWidth();
    drawY = topY;
    drawCanvas.SetPenColor(hovered ? hoverFrameColour : frameColour);
    drawCanvas.SetBrushColor(ResolveColour(backColour));
    drawCanvas.DrawRectangle(0, drawY, cw, drawY + rowHeight);
    if (style != 2) {
        if (e > 0) drawCanvas.DrawLine(e, drawY, e, drawY + rowHeight);
        int editRight = editField.GetLeft() + editField.GetWidth();
        drawCanvas.DrawLine(editRight, drawY, editRight, drawY + rowHeight);
    }
    drawX = s;
    PaintRow(GetItem(selectedIndex), rowHeight, false, false, style != 2, cw - bx, true, 0);
    if (!noDropButton) DrawButton(topY);
    shownCanvas.DrawPainter(drawCanvas);
}

void rg_DrenvikZuGeKuang1::DrawButton(int topY) {
    int m = rowHeight / 4;
    if (m <= 0) return;
    int gap = m / 6;
    bool hot = buttonHot || listOpen;
    drawCanvas.SetPenColor(hot ? kButtonPenHot : kButtonPen);
    drawCanvas.SetBrushColor(hot ? kButtonFillHot : kButtonFill);
    int x = GetButtonX();
    int y = topY + (rowHeight - 3 * m - 2 * gap) / 2;
    for (int k = 0; k < 3; ++k, y += m + gap) drawCanvas.DrawRectangle(x, y, x + m, y + m);
}

void rg_DrenvikZuGeKuang1::PaintRow(const rg_DrenvikXiangMu* item, int height, bool hot, bool selected,
                                    bool editText, int rightMargin, bool topRow, int number) {
    static const rg_DrenvikXiangMu kEmptyItem;
    const rg_DrenvikXiangMu& it = item ? *item : kEmptyItem;
    const int s = Spacing();
    const int cw = drawCanvas.GetClientWidth();
    const int barWidth = ScrollBarShown() ? listScrollBar_->GetWidth() : 0;
    if (height == 0) height = itemImages.tallestPicture;
    if (IsSeparator(it)) {
        drawCanvas.SetPenColor(kListFrame);
        drawCanvas.DrawLine(2 * s, drawY + height / 2, cw - 2 * s - barWidth, drawY + height / 2);
        return;
    }
    const int w = itemImages.widestPicture;
    if (w > 0) {
        if (const rg_WeiTuDuiXiangLei* picture = itemImages.GetPicture(it.iconIndex)) {
            int pw = itemImages.GetPictureWidth(it.iconIndex), ph = itemImages.GetPictureHeight(it.iconIndex);
            int transparent = itemImages.transparentColours[size_t(it.iconIndex)];
            int mode = transparent == 0 || transparent == -1 ? 1 : -transparent;
            drawCanvas.DrawPicture(*picture, drawX + (w - pw) / 2 + 1, drawY + (height - ph) / 2 + 1,
                                   iconDrawWidth ? iconDrawWidth : -1, iconDrawHeight ? iconDrawHeight : -1, mode);
        }
        drawX += s + w;
    }
    SetRowFont(selected);
    if (topRow && captionWidth > 0) {
        int h = captionHeight ? captionHeight + 2 : textHeight;
        drawCanvas.SetTextColor(captionColour);
        drawCanvas.DrawText(caption, drawX, drawY + (height - h) / 2);
        drawX += s + captionWidth;
    }
    if (editText) return;

    int colour = 0;
    if (disabled || it.itemKind == 1) colour = kGreyText;
    else if (it.itemKind >= 2) colour = it.itemKind;
    else if (hot) colour = kHotText;
    if (hot && it.itemKind <= 0) {
        int textWidth = MeasureTextWidth(drawCanvas, it.text, fontText);
        if (cw - barWidth < textWidth + drawX) {
            if (shownTip_ != it.text) savedTooltip = tooltipText;
            SetCanvasTip(it.text);
        } else {
            SetCanvasTip(L"");
        }
    } else if (hot) {
        if (!savedTooltip.empty()) SetCanvasTip(L"");
    } else if (hotRow == -1 && shownTip_ != ComposedTooltip()) {
        // Put the control's own tooltip back once the mouse is off the rows.
        SetCanvasTip(ComposedTooltip());
        savedTooltip.clear();
    }
    if (!item) return;
    if (colourMode >= 1) {
        PaintColourRow(*item, height, hot, rightMargin);
        return;
    }
    if (topRow && customTopColour) colour = TopRowTextColour.Raise(this, colour);
    CWString line = numberRows && number > 0 ? ComboRowNumber(number, numberedCount, zeroPadNumbers != 0) : CWString();
    line += it.text;
    drawCanvas.SetTextColor(colour);
    drawCanvas.DrawText(line, drawX, drawY + (height - textHeight) / 2);
}

// ---- icons and font -------------------------------------------------------------------------------------

void rg_DrenvikZuGeKuang1::RenderIcons() {
    if (iconWidth && iconHeight) itemImages.RenderAll(iconWidth, iconHeight, false);
    else itemImages.RenderAll(textHeight, textHeight, true);  // the text height is already in device pixels
}

void rg_DrenvikZuGeKuang1::SetItemImage(int resourceId, int index) {
    const CVolMem none;
    if (!HasWindow())  // stored; rendered at creation
        itemImages.SetItemImage(index, resourceId, none, -1, 0, false, false);
    else if (iconWidth && iconHeight)
        itemImages.SetItemImage(index, resourceId, none, iconWidth, iconHeight, false, false);
    else
        itemImages.SetItemImage(index, resourceId, none, textHeight, textHeight, true, false);
    Refresh();
}

void rg_DrenvikZuGeKuang1::SetIconWidth(int width) {
    iconWidth = width;
    if (iconHeight == 0) iconHeight = width;
    if (HasWindow()) itemImages.RenderAll(iconWidth, iconHeight, false);
    Refresh();
}

void rg_DrenvikZuGeKuang1::SetIconHeight(int height) {
    iconHeight = height;
    if (iconWidth == 0) iconWidth = height;
    if (HasWindow()) itemImages.RenderAll(iconWidth, iconHeight, false);
    Refresh();
}

void rg_DrenvikZuGeKuang1::SetFontText(std::wstring_view text) {
    fontText = text;
    if (HasWindow()) ApplyFont(fontText, false, false);
}

void rg_DrenvikZuGeKuang1::ApplyFont(const CWString& text, bool noRefresh, bool reRender) {
    CWString applied = text;  // `text` may be fontText itself
    if (!applied.empty()) {
        drawCanvas.SetFont(applied);
        editField.SetFont(applied);
        font.ParseFontText(applied);
        fontBold_ = font.bold ? 1 : 0;
    }
    textHeight = MeasureTextHeight(drawCanvas, gLineHeightSample, applied);
    Layout();
    if ((iconWidth == 0 || iconHeight == 0 || reRender) && HasWindow()) RenderIcons();
    if (!noRefresh) Refresh();
}

void rg_DrenvikZuGeKuang1::Layout() {
    if (caption.empty()) {
        captionWidth = 0;
        return;
    }
    if (!IsMultilineEdit()) {
        captionWidth = MeasureTextWidth(drawCanvas, caption, fontText);
        captionHeight = 0;
        return;
    }
    rg_WenBenShuZuLei lines;
    CIntArray widths, heights;
    int total = 0;
    captionWidth = MeasureMultilineText(drawCanvas, fontText, lines, widths, heights, total, 2, caption);
    captionHeight = total;
}

// ---- input -----------------------------------------------------------------------------------------------

void rg_DrenvikZuGeKuang1::OnMouseMove(int x, int y, int keys) {
    if (disabled) return;
    bool entering = !mouseInside;
    mouseInside = 1;
    hotRow = ComboHotRow(y, Spacing(), rowHeight, dropsAbove != 0, listHeight, GetRowPitch(), firstVisibleRow);
    bool redraw = hotRow != lastHotRow;
    lastHotRow = hotRow;
    if (enterLeaveWatcher.OnMouseMove(&shownCanvas, x, y) == 1) {  // just came over the canvas
        hovered = 1;
        watchTimer.SetInterval(0);
        redraw = true;
    }
    bool onTopRow = dropsAbove ? y > GetClientHeight() - rowHeight : y < rowHeight;
    int hot = x >= GetButtonX() && onTopRow ? 1 : 0;
    if (hot != buttonHot) {
        buttonHot = hot;
        redraw = true;
    }
    if (redraw) Refresh();
    if (entering) MouseEnter.Raise(this);
    MouseMoved.Raise(this, x, y, keys);
}

int rg_DrenvikZuGeKuang1::OnWatcherLeft(CVolObject*, CVolWinControl*, CVolWinControl*, int) {
    OnMouseLeave();
    return 0;
}

void rg_DrenvikZuGeKuang1::OnMouseLeave() {
    mouseInside = hovered = buttonHot = 0;
    hotRow = lastHotRow = -1;
    Refresh();
    if (listOpen) watchTimer.SetInterval(50);
    MouseLeave.Raise(this);
}

void rg_DrenvikZuGeKuang1::OnCanvasLeftDown(int x, int y, int keys) {
    if (disabled) return;
    MousePressed.Raise(this, x, y, keys);
    pressed = 1;
    canvasPressed = 1;
}

void rg_DrenvikZuGeKuang1::OnCanvasLeftUp(int x, int, int) {
    if (disabled) return;
    pressed = 0;
    if (!canvasPressed) return;
    canvasPressed = 0;
    if (listOpen) {
        ToggleDropDown();
        return;
    }
    if (x < GetButtonX() - Spacing()) {
        if (TextAreaClicked.Raise(this) == 1) return;
        if (openWhenEmpty || GetItemCount() > 0) ToggleDropDown();
        else if (pasteWhenEmpty) SelectByText(ReadClipboardText());
    } else {
        ToggleDropDown();
    }
}

void rg_DrenvikZuGeKuang1::OnDoubleClick() {
    if (disabled) return;
    if (listOpen && !ToggleDropDown()) return;
    DoubleClick.Raise(this);
}

void rg_DrenvikZuGeKuang1::OnFocusGained() {
    focused = 1;
    GotFocus.Raise(this);
}

void rg_DrenvikZuGeKuang1::OnFocusLost() {
    focused = 0;
    listOpen = 0;
    Refresh();
    LostFocus.Raise(this);
}

void rg_DrenvikZuGeKuang1::OnWatchTimer() {
    bool down = IsLeftButtonHeld();
    if (down && !pressed) {  // a press outside the control
        watchTimer.SetInterval(0);
        if (listOpen) listOpen = 0;
        if (focused) shownCanvas.SetFocus();
        Refresh();
    } else if (!down) {
        pressed = 0;
    }
}

void rg_DrenvikZuGeKuang1::OnWheelMessage(WPARAM wParam) {
    int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    int count = delta > 0 ? 1 : -1;  // one step per message, whatever its size
    if (ScrollBarShown()) {
        listScrollBar_->SetPosition(listScrollBar_->position - count);
        return;
    }
    if (!hovered || GetItemCount() == 0) return;
    SelectIndex(ComboWheelTarget(GetSelectedIndex(), GetItemCount(), delta));
    ItemChosen.Raise(this);
}

int rg_DrenvikZuGeKuang1::OnShownCanvasMove(CVolObject*, int x, int y, int keys) {
    OnMouseMove(x, y, keys);
    return 0;
}

int rg_DrenvikZuGeKuang1::OnShownCanvasDown(CVolObject*, int x, int y, int keys) {
    OnCanvasLeftDown(x, y, keys);
    return 0;
}

int rg_DrenvikZuGeKuang1::OnShownCanvasUp(CVolObject*, int x, int y, int keys) {
    OnCanvasLeftUp(x, y, keys);
    return 0;
}

int rg_DrenvikZuGeKuang1::OnShownCanvasDouble(CVolObject*, int, int, int) {
    OnDoubleClick();
    return 0;
}

int rg_DrenvikZuGeKuang1::OnShownCanvasRightUp(CVolObject*, int x, int y, int keys) {
    OnRightClick(x, y, keys);
    return 0;
}

int rg_DrenvikZuGeKuang1::OnShownCanvasFocus(CVolObject*) {
    OnFocusGained();
    return 0;
}

int rg_DrenvikZuGeKuang1::OnShownCanvasBlur(CVolObject*) {
    OnFocusLost();
    return 0;
}

int rg_DrenvikZuGeKuang1::OnEditDown(CVolObject*, int, int, int) {
    pressed = 1;
    return 0;
}

int rg_DrenvikZuGeKuang1::OnEditUp(CVolObject*, int, int, int) {
    pressed = 0;
    if (dateTimeMode) EditDateTimeField(-1);
    return 0;
}

int rg_DrenvikZuGeKuang1::OnEditKeyDown(CVolObject*, int key, int mods) {
    EditKeyDown.Raise(this, key, mods);
    return dateTimeMode ? EditDateTimeField(key) : 0;
}

int rg_DrenvikZuGeKuang1::OnEditKeyUp(CVolObject*, int key, int mods) {
    EditKeyUp.Raise(this, key, mods);
    return 0;
}

int rg_DrenvikZuGeKuang1::OnEditFocus(CVolObject*) {
    if (!disabled) EditGotFocus.Raise(this, &editField);
    return 0;
}

int rg_DrenvikZuGeKuang1::OnEditBlur(CVolObject*) {
    if (!disabled) EditLostFocus.Raise(this, &editField);
    return 0;
}

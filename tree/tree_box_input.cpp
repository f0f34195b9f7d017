// Selection, expanding and checking by mouse and keys, hover tracking and in-place renaming. Every
// hit test reads the per-row tables of the last pass.
#include "tree/tree_box.h"
#include "ui/font_text.h"

namespace {
// Clears a flag on every way out of a handler.
struct FlagScope {
    int32_t& flag;
    explicit FlagScope(int32_t& f) : flag(f) { flag = 1; }
    ~FlagScope() { flag = 0; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;
};
}  // namespace

int32_t rg_DrenvikShuXingKuang::GetSelectedIndex() {
    if (selectedNode < -1 || selectedNode >= nodeCount) selectedNode = -1;
    return selectedNode;
}

int32_t rg_DrenvikShuXingKuang::RaiseSelectionEvent(int32_t node, int32_t reason, int32_t sameNode) {
    return selectionChangedEvent.Raise(this, node, reason, sameNode);
}

int32_t rg_DrenvikShuXingKuang::RaiseRowClickedEvent(int32_t node) { return rowClickedEvent.Raise(this, node); }

int32_t rg_DrenvikShuXingKuang::SelectNode(int32_t node) {
    selectedNode = (node >= 0 && node < nodeCount) ? node : -1;
    if (autoRefresh) {
        const int32_t topBefore = topNode;
        rg_ZhengShuShuZuLei loc;
        ExpandAncestors(selectedNode, loc);
        if (topNode < topBefore) {
            loc.clear();
            ExpandAncestors(selectedNode, loc);
        }
    }
    const int32_t result = RaiseSelectionEvent(GetSelectedIndex(), selectionReason, 0);
    selectionReason = 0;
    return result;
}

// ---- mouse ----------------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::HandleMouseDown(int32_t button, int32_t x, int32_t y) {
    if (inMouseDown) return 0;
    FlagScope busy(inMouseDown);
    // As in any tree, a click takes the keyboard: the owner's keys work right after it.
    if (surface.IsCreated()) surface.SetFocus();
    renamePending = 0;
    const bool left = button != -1;
    const int32_t r = RowUnder(y);
    pointerRow = r;
    if (IsRowValid(r)) {
        const size_t i = size_t(r);
        const int32_t n = rowNodes[i];
        const TreeRowHitArea area = RowArea(i);
        const TreeHit hit = HitTestTreeRow(area, x, rowUnit);
        if (left && hit == TreeHit::Expander) {
            int32_t node = n;
            if (RaiseExpandRequest(node) == 0 && node >= 0) {
                rg_ZhengShuShuZuLei loc;
                SetNodeExpanded(node, 1, 1, loc);
                expandToggledEvent.Raise(this, node);
            }
            return 0;
        }
        if (left && hit == TreeHit::CheckBox) {
            if (checkRequestEvent.Raise(this, n) == 0) {
                rg_ZhengShuShuZuLei loc;
                SetNodeChecked(n, 0, 1, loc);
                checkToggledEvent.Raise(this, n);
            }
            return 0;
        }
        // A right press on the expander or check box still selects when it lies in the click area.
        if (area.hitLeft < x && x < area.hitRight) {
            const int32_t old = selectedNode;
            selectedNode = n;
            RefreshView(-1);
            if (n != old || reportSameSelection)
                RaiseSelectionEvent(GetSelectedIndex(), left ? 1 : 3, n == old ? 1 : 0);
            if (n == old && clickToRename && left && x > area.hitLeft + iconSize + gap) {
                renamePending = 1;
                RaiseRowClickedEvent(selectedNode);
                return 0;
            }
            if (left) RaiseRowClickedEvent(selectedNode);
            else rightClickEvent.Raise(this);
            return 0;
        }
    }
    RaiseRowClickedEvent(-1);
    if (clearSelectionOnEmptyClick) {
        selectedNode = -1;
        RefreshView(-1);
        RaiseSelectionEvent(-1, 1, 0);
    }
    return 0;
}

int32_t rg_DrenvikShuXingKuang::HandleMouseUp(int32_t, int32_t y) {
    if (!renamePending) return 0;
    releaseRow = RowUnder(y);
    if (releaseRow != pointerRow || !IsRowValid(pointerRow)) renamePending = 0;
    else renameTimer.SetInterval(200);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnRenameTick() {
    renameTimer.SetInterval(0);
    if (!renamePending) return 0;
    renamePending = 0;
    if (IsRowValid(pointerRow)) BeginEditNode(GetSelectedIndex(), pointerRow);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnRowTextClick(int32_t x) {
    if (isEditing) return 0;
    const int32_t r = pointerRow;
    if (!IsRowValid(r)) return 0;
    const size_t i = size_t(r);
    const TreeRowHitArea area = RowArea(i);
    if (TreeHitsBox(area, x, rowUnit) || !(area.hitLeft < x && x < area.hitRight)) return 0;
    renamePending = 0;
    int32_t n = rowNodes[i];
    if (RaiseExpandRequest(n) != 0 || n < 0) return 0;
    // The row's own node: the hot node may be stale when the pointer has not moved since a refresh.
    rg_ZhengShuShuZuLei loc;
    SetNodeFields(n, nullptr, -2, -1, loc);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::TrackHotRow(CVolObject* source, int32_t x, int32_t y) {
    if (source != &surface) return 0;
    const int32_t r = RowUnder(y);
    pointerRow = r;
    if (IsRowValid(r) && rowHitLeft[size_t(r)] < x && x < rowHitRight[size_t(r)]) {
        hotNode = rowNodes[size_t(r)];
        if (hotNode == lastHotNode) return 0;
        lastHotNode = hotNode;
        if (hotUnderline) RefreshView(-1);
        hoverEvent.Raise(this, hotNode);
        auto tip = rowTips.find(r);
        surface.SetTipText(tip == rowTips.end() ? CWString() : tip->second);
        return 0;
    }
    hotNode = -1;
    surface.SetTipText(L"");
    if (lastHotNode != -1) {
        lastHotNode = -1;
        if (hotUnderline) RefreshView(-1);
    }
    return 0;
}

int32_t rg_DrenvikShuXingKuang::RaiseExpandRequest(int32_t& node) {
    const FollowedIndex follow(*this, node);
    return expandRequestEvent.Raise(this, node);
}

// ---- keys -----------------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::ToggleExpandByKey(bool expand) {
    int32_t node = GetSelectedIndex();
    if (node < 0 || RaiseExpandRequest(node) != 0 || node < 0) return 0;
    rg_ZhengShuShuZuLei loc;
    const int32_t state = GetNodeState(node, loc);
    if (state == 255) return 0;
    // Through the store, so the visible rows follow exactly as for any other expansion.
    SetNodeFields(node, nullptr, TreeKeyExpandState(uint8_t(state), expand), 255, loc);
    return 1;
}

int32_t rg_DrenvikShuXingKuang::MoveByArrow(bool up) {
    EnsureVisibleRows();
    treeLock.Lock();
    if (visibleRowCount == 0 || arrowKeysReady == 0) {
        treeLock.Unlock();
        return 0;
    }
    arrowKeysReady = 0;
    treeLock.Unlock();
    // Ready again on every way out, a throw from a selection handler included.
    struct Ready {
        rg_DrenvikShuXingKuang& t;
        ~Ready() {
            t.selectionReason = 0;
            t.treeLock.Lock();
            t.arrowKeysReady = 1;
            t.treeLock.Unlock();
        }
    } ready{*this};
    const int32_t current = GetVisibleRowNumber(GetSelectedIndex());
    const int32_t target = TreeArrowTargetRow(current, visibleRowCount, up);
    selectionReason = 2;
    const int32_t node = GetVisibleRowEntry(target);
    if (node >= 0) SelectNode(node);
    return 1;
}

int32_t rg_DrenvikShuXingKuang::HandleKeyDown(int32_t key, int32_t modifiers) {
    GetSelectedIndex();
    switch (ClassifyTreeKey(key, modifiers)) {
    case TreeKeyAction::ScrollLeft:
    case TreeKeyAction::ScrollRight:
        if (horizontalBarShown)
            horizontalBar.SetPosition(horizontalBar.position + (key == 37 ? -1 : 1));
        break;
    case TreeKeyAction::Collapse: ToggleExpandByKey(false); break;
    case TreeKeyAction::Expand: ToggleExpandByKey(true); break;
    case TreeKeyAction::Up:
    case TreeKeyAction::Down:
        if (!MoveByArrow(key == 38)) return 0;
        break;
    case TreeKeyAction::Rename:
        if (selectedNode >= 0) BeginEditNode(selectedNode, -1);
        break;
    case TreeKeyAction::None: break;
    }
    keyDownEvent.Raise(this, key, modifiers);
    return 0;
}

// ---- in-place renaming --------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::BeginEditNode(int32_t node, int32_t row) {
    // Only a node of the tree can be renamed; the rename tick may run after the selection went.
    if (node < 0 || node >= nodeCount) return 0;
    rg_ZhengShuShuZuLei loc;
    CWString text = GetNodeText(node, loc);
    if (editRequestedEvent.Raise(this, node, text) != 0) return 0;
    if (row == -1) {
        loc.clear();
        if (node == GetSelectedIndex()) ExpandAncestors(node, loc);
        else SelectNode(node);
    }
    const int32_t selected = GetSelectedIndex();
    int32_t r = -1;
    for (size_t i = 0; i < rowNodes.size(); ++i)
        if (rowNodes[i] == selected) {
            r = int32_t(i);
            break;
        }
    if (r < 0) {
        if (row == -1) return 0;
        r = row;
    }
    // The given row may be gone after a refresh; the editor goes only over a drawn row.
    if (!IsRowValid(r)) return 0;
    isEditing = 1;
    rg_DrenvikZiTiLei1 font;
    font.face = fontFace;
    font.size = fontSize;
    editor.SetFont(font.FormatFontText());
    const TreeEditorRect rect =
        ComputeTreeEditorRect(surface.IsCreated() ? surface.GetLeft() : 0, rowHitLeft[size_t(r)],
                              rowHitRight[size_t(r)], iconSize, gap, r, itemHeight, rowSpacing, textHeight,
                              GetClientWidth());
    editor.Move(rect.left, rect.top, rect.width, rect.height);
    editor.SetText(text);
    editor.caption = editor.GetText();
    editor.SetVisible(true);
    if (HWND h = editor.GetHwnd()) ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    editor.tag = node;
    editStampAtOpen_ = editStamp.value;
    editor.SetSelection(0, -1);
    if (HWND h = editor.GetHwnd()) ::SendMessageW(h, EM_SCROLLCARET, 0, 0);
    editor.SetFocus();
    return 1;
}

int32_t rg_DrenvikShuXingKuang::OnEditorKeyDown(CVolObject* source, int key, int) {
    if (key != 13) return 0;
    EndInPlaceEdit(source);
    // The hidden editor would keep the focus, and the tree's keys would go nowhere.
    if (source == &editor && surface.IsCreated()) surface.SetFocus();
    return 0;
}

int32_t rg_DrenvikShuXingKuang::EndInPlaceEdit(CVolObject* source) {
    if (source != &editor || !EditorOpen()) return 0;
    // The editor is closed on every way out, a throw from the rename's handler included: an open
    // one holds the owner's background work.
    struct Closing {
        rg_DrenvikShuXingKuang& t;
        ~Closing() {
            t.isEditing = 0;
            if (t.editEnded) t.editEnded();
        }
    } closing{*this};
    editor.SetVisible(false);
    const CWString edited = editor.GetText();
    const int32_t node = editor.tag;
    // Nodes added or removed meanwhile may have moved another node to the edited index: the
    // rename is dropped rather than written to the wrong node.
    if (editStamp.value == editStampAtOpen_ && node >= 0 && node < nodeCount &&
        editFinishedEvent.Raise(this, node, editor.caption, edited) == 0) {
        rg_ZhengShuShuZuLei loc;
        SetNodeFields(node, &edited, -1, -1, loc);
    }
    return 0;
}

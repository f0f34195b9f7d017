// Child controls, layout and painting of the tree box: every pass draws the rows that fit on the
// hidden canvas and copies the picture onto the surface once.
#include <algorithm>
#include <utility>

#include "platform/dpi.h"
#include "tree/tree_box.h"
#include "ui/font_text.h"

namespace {
constexpr int kSelectionBack = 0xC06000;
constexpr int kDisabledBack = 0xECECEC;
constexpr int kDisabledText = 0x808080;
constexpr int kLineColour = 0xC0C0C0;
}  // namespace

double rg_DrenvikShuXingKuang::DpiFactor() {
    if (dpiFactor_ == 0) {
        ScaleByDpi(1);  // captures the factor on first use
        dpiFactor_ = std::max(1.0, gRuntimeDpiFactor);
    }
    return dpiFactor_;
}

void rg_DrenvikShuXingKuang::CreateChildren() {
    ModifyStyle(WS_BORDER, 0);
    ModifyExStyle(WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME, WS_EX_STATICEDGE);
    for (CVolWinControl* c : std::initializer_list<CVolWinControl*>{&verticalBar, &horizontalBar, &horizontalFiller,
                                                                    &verticalFiller, &editor, &canvas})
        c->ModifyStyle(WS_VISIBLE, 0);
    verticalBar.vertical = 1;
    CreateChild(verticalBar, 456, 16, 16, 320);
    verticalBar.MeasureTrack();
    verticalBar.Paint(0, 0, 0);
    verticalBar.ModifyStyle(0, WS_TABSTOP);
    CreateChild(horizontalBar, 0, 312, 400, 16);
    horizontalBar.ModifyStyle(0, WS_TABSTOP);
    horizontalFiller.backColor = 0xFFFFFF;
    CreateChild(horizontalFiller, 23, 311, 416, 16);
    verticalFiller.backColor = 0xFFFFFF;
    CreateChild(verticalFiller, 439, 23, 16, 320);
    CreateChild(editor, -218, -282, 80, 24);
    for (rg_painter* board : {&canvas, &surface}) {
        board->backColor = 0xFFFFFF;
        board->textColor = 0;
        board->SetFont(L"微软雅黑, 11, 0, 0, 0, 0, 0");
    }
    CreateChild(canvas, 249, 0, 166, 237);
    canvas.RebuildBuffer();
    CreateChild(surface, 0, 0, 226, 238);
    surface.RebuildBuffer();
    surface.ModifyStyle(0, WS_TABSTOP);
    CreateChild(renameTimer, 172, 262, 21, 21);
    CreateChild(resizeTimer, 294, 262, 21, 21);
    renameTimer.SetInterval(0);
    resizeTimer.SetInterval(0);
}

void rg_DrenvikShuXingKuang::BindEvents() {
    VOL_BIND(Destroyed, &rg_DrenvikShuXingKuang::OnStopPool);
    VOL_BIND(Resized, &rg_DrenvikShuXingKuang::OnResize);
    VOL_BIND(Shown, &rg_DrenvikShuXingKuang::OnShown);
    VOL_BIND(Hidden, &rg_DrenvikShuXingKuang::OnHidden);
    for (rg_DrenvikGunDongTiao1* bar : {&verticalBar, &horizontalBar}) {
        VOL_BIND(bar->PositionChanged, &rg_DrenvikShuXingKuang::OnBarPositionChanged);
        VOL_BIND(bar->DragEnded, &rg_DrenvikShuXingKuang::OnBarDragEnded);
        VOL_BIND(bar->KeyDown, &rg_DrenvikShuXingKuang::OnBoardKeyDown);
        bar->AttachEventListener();
    }
    for (rg_painter* board : {&horizontalFiller, &verticalFiller, &canvas, &surface}) {
        VOL_BIND(board->FocusLost, &rg_DrenvikShuXingKuang::OnBoardLostFocus);
        VOL_BIND(board->KeyDown, &rg_DrenvikShuXingKuang::OnBoardKeyDown);
        VOL_BIND(board->MouseWheel, &rg_DrenvikShuXingKuang::OnBoardWheel);
        VOL_BIND(board->MouseMove, &rg_DrenvikShuXingKuang::OnBoardMouseMove);
        VOL_BIND(board->LeftButtonDown, &rg_DrenvikShuXingKuang::OnBoardLeftDown);
        VOL_BIND(board->LeftButtonUp, &rg_DrenvikShuXingKuang::OnBoardLeftUp);
        VOL_BIND(board->LeftDoubleClick, &rg_DrenvikShuXingKuang::OnBoardDoubleClick);
        VOL_BIND(board->RightButtonDown, &rg_DrenvikShuXingKuang::OnBoardRightDown);
        board->AttachEventListener();
    }
    VOL_BIND(editor.FocusLost, &rg_DrenvikShuXingKuang::EndInPlaceEdit);
    VOL_BIND(editor.KeyDown, &rg_DrenvikShuXingKuang::OnEditorKeyDown);
    editor.AttachEventListener();
    for (rg_timer* timer : {&renameTimer, &resizeTimer}) {
        VOL_BIND(timer->Tick, &rg_DrenvikShuXingKuang::OnTimerTick);
        timer->AttachEventListener();
    }
    rg_ZuJianBuJuQi::BindEvents();
}

int32_t rg_DrenvikShuXingKuang::OnShown(CVolObject*) {
    isShown = 1;
    RefreshView(-1);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnHidden(CVolObject*) {
    isShown = 0;
    hiddenEvent.Raise(this);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnBoardLostFocus(CVolObject* source) {
    if (source == &surface) lostFocusEvent.Raise(this);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnBoardRightDown(CVolObject* source, int x, int y, int) {
    return source == &surface ? HandleMouseDown(-1, x, y) : 0;
}

int32_t rg_DrenvikShuXingKuang::OnTimerTick(CVolObject* source) {
    return source == &resizeTimer ? OnResizeTick() : OnRenameTick();
}

int32_t rg_DrenvikShuXingKuang::OnFileDropped(CVolObject*, int32_t count, int32_t index, const CWString& path,
                                              const CWString&) {
    if (index == 0) droppedFiles.clear();
    droppedFiles.Add(path);
    if (index + 1 == count) filesDroppedEvent.Raise(this, droppedFiles);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::AddImage(const CVolMem& picture) {
    rg_WeiTuDuiXiangLei bitmap;
    if (!picture.IsEmpty()) bitmap.LoadFromBytes(picture);
    images.AddCopy(bitmap);
    imageDrawModes.push_back(-1);
    int w = 0, h = 0;
    bitmap.GetSize(w, h);
    iconSize = std::max(w, h);
    int32_t result = images.GetCount() - 1;
    if (iconSize == 0) {
        images.RemoveAll();
        imageDrawModes.clear();
        result = -1;
    }
    if (autoRefresh) RefreshView(-1);
    return result;
}

// ---- the pass ------------------------------------------------------------------------------------

bool rg_DrenvikShuXingKuang::RestartRequested() { return refreshGate.TakePending(); }

void rg_DrenvikShuXingKuang::ReleaseGate() {
    refreshGate.gateLock.Lock();
    refreshGate.busy = 0;
    refreshGate.pending = 0;
    refreshGate.gateLock.Unlock();
}

void rg_DrenvikShuXingKuang::SetPen(int colour) {
    if (penSet_ && canvas.penColor == colour && canvas.penStyle == PS_SOLID) return;
    canvas.penStyle = PS_SOLID;
    canvas.SetPenColor(colour);
    penSet_ = true;
}

void rg_DrenvikShuXingKuang::SetBrush(int colour) {
    if (brushSet_ && canvas.brushColor == colour) return;
    canvas.SetBrushColor(colour);
    brushSet_ = true;
}

void rg_DrenvikShuXingKuang::ComputeMetrics() {
    const double dpi = DpiFactor();
    rowUnit = TreeRowUnit(dpi);
    rg_DrenvikZiTiLei1 font;
    font.ParseFontText(fontFace + L", " + CWString(std::to_wstring(fontSize)) + L", 0, 0, 0, 0, 0");
    const CWString text = font.FormatFontText();
    if (text != canvas.GetWindowObject().fontText) canvas.SetFont(text);
    int w = 0, t = 0;
    canvas.MeasureText(L"A", w, t);
    textHeight = t;
    itemHeight = TreeItemHeight(itemHeightSetting, dpi, rowUnit, textHeight, iconSize);
    expanderSize = rowUnit;
    checkBoxSize = showCheckBoxes ? rowUnit : 0;
    rowsFit = TreeRowsFit(GetClientHeight(), itemHeight, rowSpacing);
}

void rg_DrenvikShuXingKuang::RefreshView(int32_t start) {
    if (!autoRefresh || isShown != 1) return;
    if (!refreshGate.TryEnter()) {
        // The running pass restarts; a new top row asked for meanwhile (a bar clamped by a
        // new range, say) must not be lost, or the rows and the bar would disagree.
        if (start >= 0) pendingStart_ = start;
        return;
    }
    for (;;) {
        if (pendingStart_ >= 0) start = std::exchange(pendingStart_, -1);
        if (!skipIndexJobs) StartIndexJobs();
        canvas.backColor = disabledLook ? kDisabledBack : backColour;
        if (textBackColour == -1) textBackColour = canvas.backColor;
        if (start >= 0) {
            if (start != topNode) firstRowLocator.clear();
            topNode = start;
        }
        ComputeMetrics();
        canvas.ClearCanvas();
        for (auto* table : {&rowNodes, &rowExpanderX, &rowCheckBoxX, &rowHitLeft, &rowHitRight}) table->clear();
        rowLocators_.clear();
        if (EnsureVisibleRows()) firstRowLocator.clear();
        std::vector<DrawnRow> drawn;
        int maxWidth = 0;
        if (!PaintRows(drawn, maxWidth)) continue;
        if (showLines && !PaintConnectorLines()) continue;
        const int stage = RunViewportStage(drawn, maxWidth);
        if (stage == 1) continue;
        if (stage == 2 || !refreshGate.FinishPass()) return;
    }
}

int32_t rg_DrenvikShuXingKuang::ResolveRowColour(int32_t n, rg_ZhengShuShuZuLei& loc) {
    int32_t colour = -1;
    auto ancestorOfSelection = [&](bool root) {
        const int32_t sel = GetSelectedIndex();
        if (sel < 0) return -1;
        rg_ZhengShuShuZuLei l, pl;
        const int32_t a = root ? GetRootNode(sel, l) : GetParentNode(sel, l, pl, nullptr);
        return a < 0 ? sel : a;
    };
    if (colourMode <= 0 || colourMode > 3) {
        rg_ZhengShuShuZuLei l = loc;
        colour = GetNodeExtra(n, l);
        if (raiseNodeColourEvent) colour = RaiseNodeColourEvent(n, colour);
    } else {
        if (colourMode == 1) {
            colour = dimColour;
        } else {
            const bool root = colourMode == 3;
            const int32_t anchor = ancestorOfSelection(root);
            rg_ZhengShuShuZuLei l = loc, pl;
            const int32_t own = root ? GetRootNode(n, l) : GetParentNode(n, l, pl, nullptr);
            colour = (own == anchor || n == anchor) ? highlightColour : dimColour;
        }
        if (raiseNodeColourEvent && colour == highlightColour) {
            colour = RaiseNodeColourEvent(n, colour);
            if (colour == -1) {
                rg_ZhengShuShuZuLei l = loc;
                colour = GetNodeExtra(n, l);
            }
        }
    }
    return colour == -1 ? textColour : colour;
}

void rg_DrenvikShuXingKuang::DrawExpander(int x, int y, int state) {
    const int u = rowUnit;
    SetPen(0xFF8080);
    SetBrush(0xFFFFFF);
    canvas.DrawRectangle(x + 2, y + 2, x + u - 2, y + u - 2);
    SetPen(0x000000);
    const int e = (u - 4) / 2 + 2;
    canvas.DrawLine(x + 4, y + e, x + u - 4, y + e);
    if (state < 2) canvas.DrawLine(x + e, y + 4, x + e, y + u - 4);
}

void rg_DrenvikShuXingKuang::DrawCheckBox(int x, int y, int check) {
    const int u = rowUnit, f = int(2 * DpiFactor());
    SetPen(0xFF0000);
    SetBrush(0xFFFFFF);
    canvas.DrawRectangle(x, y, x + u, y + u);
    if (check != 1 && check != 2) return;
    SetPen(canvas.backColor);
    SetBrush(0x0000FF);
    if (check == 1) {
        canvas.DrawRectangle(x + f, y + f, x + u - f, y + u - f);
    } else {
        const POINT corners[3] = {{x + f, y + f - 1}, {x + f, y + u - f - 1}, {x + u - f, y + u - f - 1}};
        canvas.DrawPolygon(corners, 3);
    }
}

void rg_DrenvikShuXingKuang::DrawNodeIcon(int cellX, int cellY, int icon) {
    const auto* image = dynamic_cast<const rg_WeiTuDuiXiangLei*>(images.GetAt(icon));
    if (!image) return;
    int w = 0, h = 0;
    image->GetSize(w, h);
    canvas.DrawPicture(*image, cellX + (iconSize - w) / 2, cellY + (iconSize - h) / 2, w, h, 1);
}

TreeColumnSettings rg_DrenvikShuXingKuang::ColumnSettings() {
    TreeColumnSettings c;
    c.unit = rowUnit;
    c.gap = gap;
    c.checkBoxSize = checkBoxSize;
    c.iconSize = iconSize;
    c.leftOffset = leftOffset;
    c.levelOneOffset = levelOneOffset;
    c.levelWithoutCheckBox = levelWithoutCheckBox;
    c.dpi = DpiFactor();
    return c;
}

bool rg_DrenvikShuXingKuang::PaintRows(std::vector<DrawnRow>& drawn, int& maxWidth) {
    const int U = rowUnit, H = itemHeight, G = gap, S = rowSpacing, IS = iconSize;
    const int canvasWidth = canvas.IsCreated() ? canvas.GetClientWidth() : canvas.GetWidth();
    const int32_t selected = GetSelectedIndex();
    const TreeColumnSettings columns = ColumnSettings();
    penSet_ = brushSet_ = false;
    canvas.penStyle = PS_SOLID;
    rg_DrenvikZiTiLei1 font;
    font.ParseFontText(canvas.GetWindowObject().fontText);

    int32_t n = topNode;
    // The cached first-row locator is only trusted for the tree shape it was made for.
    if (firstRowStamp_ != editStamp.value) firstRowLocator.clear();
    rg_ZhengShuShuZuLei loc = firstRowLocator;
    for (int i = 0; i < rowsFit; ++i) {
        if (RestartRequested()) return false;
        const int y = TreeRowTop(i, G, H, S);
        if (n < 0 || n >= nodeCount) break;
        if (loc.size() < 3 && LocateNodeRecord(n, loc) != 1) break;
        if (i == 0) {
            firstRowLocator = loc;
            firstRowStamp_ = editStamp.value;
        }
        rowNodes.push_back(n);
        rowLocators_.push_back(loc);
        if (n == selected && fullRowSelect) {
            SetBrush(kSelectionBack);
            SetPen(canvas.backColor);
            canvas.DrawRectangle(0, y - S / 2, canvasWidth, y + H + S / 2);
        }
        rg_ZhengShuShuZuLei l = loc;
        CWString text = TreeRowDisplayText(GetNodeText(n, l));
        const int state = int(int8_t(GetNodeState(n, l)));
        const int level = GetNodeLevel(n, l);
        rg_ZhengShuShuZuLei range;
        int32_t descendants = -2;  // not yet counted
        auto countDescendants = [&]() {
            if (descendants == -2) {
                rg_ZhengShuShuZuLei dl = loc;
                descendants = GetSubtreeRange(n, dl, range, 0);
            }
            return descendants;
        };
        if (level == countLevel) {
            const int32_t c = countDescendants();
            if (c > 0) text += L" (" + CWString(std::to_wstring(c)) + L")";
        }
        if (raiseRowTextEvent) rowTextEvent.Raise(this, n, text);
        const TreeRowColumns col = ComputeTreeRowColumns(level, columns);

        font.bold = (state == 1 || state == 3) ? 1 : 0;
        font.underline = (n == hotNode && n != selected && hotUnderline) ? 1 : 0;
        const CWString fontText = font.FormatFontText();
        if (fontText != canvas.GetWindowObject().fontText) canvas.SetFont(fontText);

        int textWidth = 0, measuredHeight = 0;
        canvas.MeasureText(text, textWidth, measuredHeight);
        const int textRight = col.textX + textWidth;
        maxWidth = std::max(maxWidth, textRight + G);

        rg_ZhengShuShuZuLei hl = loc;
        if (U > 0 && HasChildren(n, hl)) {
            DrawExpander(col.x, y + TreeCentreOffset(H, U), state);
            rowExpanderX.push_back(col.x);
        } else {
            rowExpanderX.push_back(kTreeNoColumn);
        }
        int32_t checkX = kTreeNoColumn;
        if (col.hasCheckColumn) {
            rg_ZhengShuShuZuLei cl = loc;
            const int check = GetNodeCheck(n, cl);
            if (check <= 2) {
                DrawCheckBox(col.checkX, y + TreeCentreOffset(H, U), check);
                checkX = col.checkX;
            }
        }
        rowCheckBoxX.push_back(checkX);
        if (IS > 0) {
            rg_ZhengShuShuZuLei il = loc;
            int icon = GetNodeIcon(n, il);
            if (n == selected) {
                const int selectedIcon = GetNodeSelectedIcon(n, il);
                if (selectedIcon != -1) icon = selectedIcon;
            }
            DrawNodeIcon(col.iconX, y + TreeCentreOffset(H, IS), icon);
        }
        const int iconColumn = IS > 0 ? IS + G : 0;
        rowHitLeft.push_back(fullRowSelect ? 0 : col.textX - iconColumn);
        rowHitRight.push_back(fullRowSelect ? canvasWidth : textRight);

        int fore, back;
        if (disabledLook) {
            fore = kDisabledText;
            back = -1;
        } else if (n == selected) {
            if (!fullRowSelect) {
                SetBrush(kSelectionBack);
                SetPen(canvas.backColor);
                canvas.DrawRectangle(col.textX - 2, y - S / 2, textRight + 2, y + H + S / 2);
            }
            fore = 0xFFFFFF;
            back = raiseSelectedBackEvent ? selectedBackEvent.Raise(this, n, kSelectionBack) : kSelectionBack;
        } else {
            fore = ResolveRowColour(n, loc);
            rg_ZhengShuShuZuLei bl = loc;
            back = GetNodeBackColour(n, bl);
            if (back == -1) back = textBackColour;
        }
        canvas.SetTextColor(fore);
        canvas.SetTextBackColor(back);
        canvas.DrawText(text, col.textX, y + TreeCentreOffset(H, textHeight));
        drawn.push_back({col.textX, textRight, std::move(text)});

        // The next row: past a collapsed node's subtree in one step.
        rg_ZhengShuShuZuLei next;
        if (state < 2 && countDescendants() > 0) {
            n += descendants + 1;
            if (range.size() >= 2 && range[1] >= 0) MakeLocatorAtOffset(range[1] + 1, next);
        } else {
            n += 1;
            next = loc;
            if (LocateNodeRecord(n, next, n - 1) != 1) next.clear();
        }
        loc = next;
    }
    return true;
}

bool rg_DrenvikShuXingKuang::PaintConnectorLines() {
    if (rowNodes.empty()) return true;
    std::vector<TreeLineRow> rows;
    rows.reserve(rowNodes.size());
    const TreeColumnSettings columns = ColumnSettings();  // only the expander column is read
    for (size_t i = 0; i < rowNodes.size(); ++i) {
        if (RestartRequested()) return false;
        const int32_t n = rowNodes[i];
        rg_ZhengShuShuZuLei loc = i < rowLocators_.size() ? rowLocators_[i] : rg_ZhengShuShuZuLei(), out;
        TreeLineRow r;
        r.node = n;
        r.level = GetNodeLevel(n, loc);
        r.x = ComputeTreeRowColumns(r.level, columns).x;
        r.y = TreeRowTop(int(i), gap, itemHeight, rowSpacing);
        r.hasExpander = rowExpanderX[i] != kTreeNoColumn;
        if (r.level >= 1) {
            r.previousSibling = GetPreviousSibling(n, loc, out, nullptr);
            out.clear();
            r.nextSibling = GetNextSibling(n, loc, out, nullptr);
        }
        rows.push_back(r);
    }
    const int height = canvas.IsCreated() ? canvas.GetClientHeight() : 0;
    SetPen(kLineColour);
    for (const TreeLine& line : ComputeTreeConnectorLines(rows, gap, rowUnit, itemHeight, height))
        canvas.DrawLine(line.x1, line.y1, line.x2, line.y2);
    // Ancestors of the first row whose next sibling lies below the last row.
    if (IsParentIndexCurrent() && IsSiblingIndexCurrent()) {
        const int32_t last = rowNodes.back();
        rg_ZhengShuShuZuLei loc, parentLoc, out;
        for (int32_t a = GetParentNode(rowNodes.front(), loc, parentLoc, nullptr); a >= 0;) {
            rg_ZhengShuShuZuLei al = parentLoc;
            const int level = GetNodeLevel(a, al);
            if (level < 1) break;
            out.clear();
            const int32_t next = GetNextSibling(a, al, out, nullptr);
            if (next > last) {
                const int x = level * (rowUnit + gap);
                canvas.DrawLine(x, 0, x, height);
            }
            rg_ZhengShuShuZuLei upper;
            a = GetParentNode(a, al, upper, nullptr);
            parentLoc = upper;
        }
    }
    return true;
}

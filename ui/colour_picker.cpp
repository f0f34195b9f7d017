#include "ui/colour_picker.h"

#include <algorithm>
#include <cmath>

#include "platform/shell.h"
#include "platform/system.h"
#include "ui/control_foundation.h"
#include "util/text_helpers.h"

std::unordered_map<int32_t, rg_WeiTuDuiXiangLei> gSpectrumCache;

namespace {
constexpr double kSpectrumStep = 8.275862068965518;  // 240 / 29
constexpr int kCellPen = 0x999999;
constexpr wchar_t kBoxFont[] = L"微软雅黑, 11, 0, 0, 0, 0, 0";
constexpr wchar_t kStatusFont[] = L"微软雅黑, 9, 0, 0, 0, 0, 0";
constexpr wchar_t kRgbPasteError[] = L"你粘贴的RGB不合规，格式为 RGB (128,128,128)";
constexpr wchar_t kEslPasteError[] = L"你粘贴的ESL不合规，格式为 ESL (128,240,120)";
// Typed hue/saturation/lightness beyond this would overflow the conversion's integer channels.
constexpr long long kTypedHslLimit = 99999;

int BoxNumber(const CVolWinControl& box) {
    long long v = WideTextToInt(box.GetText());
    return int(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

int TypedHsl(const CVolWinControl& box) {
    return int(std::clamp<long long>(WideTextToInt(box.GetText()), -kTypedHslLimit, kTypedHslLimit));
}

CWString Decimal(long long v) { return CWString::FromInt(v); }
}  // namespace

// ---- the grid and the colour texts --------------------------------------------------------------------

SpectrumGeometry MakeSpectrumGeometry(int boardWidth, int boardHeight, int gap) noexcept {
    SpectrumGeometry g;
    g.gap = gap;
    g.cellWidth = double(boardWidth - kSpectrumCells * gap) / kSpectrumCells;
    g.cellHeight = double(boardHeight - kSpectrumCells * gap) / kSpectrumCells;
    return g;
}

int SpectrumCellLeft(const SpectrumGeometry& g, int column) noexcept {
    return g.gap * column + int(column * g.cellWidth) + g.gap / 2;
}

int SpectrumCellTop(const SpectrumGeometry& g, int row) noexcept {
    return g.gap * row + int(row * g.cellHeight) + g.gap / 2;
}

SpectrumHsl SpectrumCellHsl(int row, int column, int saturation) noexcept {
    int lightness = int((row + column) * kSpectrumStep);
    if (lightness >= 241) lightness = 480 - lightness;
    return {int(row * kSpectrumStep), saturation, lightness};
}

bool SpectrumHitTest(const SpectrumGeometry& g, int x, int y, int& row, int& column) noexcept {
    row = column = -1;
    for (int i = 0; i < kSpectrumCells; ++i) {
        for (int j = 0; j < kSpectrumCells; ++j) {
            int left = SpectrumCellLeft(g, j), top = SpectrumCellTop(g, i);
            if (left < x && x <= left + g.cellWidth && top <= y && y <= top + g.cellHeight) {
                row = i;
                column = j;
            }
        }
    }
    return row >= 0;
}

POINT PlacePickerNear(const RECT& a, int width, int height, int screenWidth, int screenHeight) noexcept {
    int y = a.top > screenHeight - a.bottom ? int(a.top) - height : int(a.bottom);
    int x = a.right > screenWidth - a.left ? int(a.right) - width : int(a.left);
    x = std::max(x, 0);
    if (x + width > screenWidth) x = screenWidth - width;
    y = std::max(y, 0);
    if (y + height > screenHeight) y = screenHeight - height;
    return POINT{x, y};
}

int ResolvePickerColour(int colour) noexcept {
    if (colour == -1) return 0xFFFFFF;
    if (unsigned(colour) == 0xFF000000u) return int(::GetSysColor(COLOR_BTNFACE));
    return colour;
}

int SwapRedBlue(int colour) noexcept {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

int DecimalTextToColour(std::wstring_view text) noexcept {
    return SwapRedBlue(int(WideTextToInt(text) & 0xFFFFFF));
}

// ---- construction -------------------------------------------------------------------------------------

rg_DrenvikYanSeXuanZeChuangKouLei::rg_DrenvikYanSeXuanZeChuangKouLei() {
    borderStyle = 0;
    controlBox = false;
    SetVisible(false);
    for (rg_edit_box* box : EditBoxes()) {
        box->SetFont(kBoxFont);
        if (box == &hexBox || box == &decimalBox) continue;
        box->SetSpinRange(0, 255);  // also for hue, saturation and lightness, whose scale ends at 240
        box->ModifyStyle(0, ES_CENTER);
    }
    HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    for (rg_label* label : {&decimalLabel, &rgbLabel, &eslLabel, &hexLabel}) {
        label->SetFont(kBoxFont);
        label->SetCursor(hand);
    }
    decimalLabel.SetText(L"10进制：");
    rgbLabel.SetText(L"RGB：");
    eslLabel.SetText(L"ESL：");
    hexLabel.SetText(L"16进制：");
    statusLabel.SetFont(kStatusFont);
    statusLabel.SetText(L"当前颜色");
    statusLabel.alignment = 1;
    statusLabel.ModifyStyle(0, WS_BORDER);
    statusLabel.ModifyExStyle(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME, 0);
    drawBoard.SetVisible(false);
    frameBoard.SetVisible(false);
    frameBoard.SetPenColor(0xFF8800);
    frameBoard.SetBrushStyle(0);
    saturationBar.step = 10;
    saturationBar.maximum = 241;
    saturationBar.position = 1;
}

rg_DrenvikYanSeXuanZeChuangKouLei::~rg_DrenvikYanSeXuanZeChuangKouLei() {
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikYanSeXuanZeChuangKouLei::CreateChildren() {
    // The grid's gaps show the window's face, as the highlight's leftovers are painted over with it.
    drawBoard.backColor = int(::GetSysColor(COLOR_BTNFACE));
    CreateChild(redBox, 234, 5, 32, 26, L"R，红色分量，值范围 0-255。手动输入后回车即可完成设置");
    CreateChild(drawBoard, 205, 147, 557, 358);
    CreateChild(hexBox, 73, 5, 90, 26, L"颜色的十六进制。手动输入后回车即可完成设置");
    CreateChild(decimalBox, 73, 37, 90, 26, L"颜色的十进制。手动输入后回车即可完成设置");
    CreateChild(decimalLabel, 6, 37, 70, 26, L"点击粘贴10进制颜色值，右击则复制。");
    CreateChild(rgbLabel, 186, 5, 51, 26, L"点击粘贴 RGB(128,128,128)，右击则复制。");
    CreateChild(blueBox, 337, 5, 32, 26, L"B，蓝色分量，值范围 0-255。手动输入后回车即可完成设置");
    CreateChild(greenBox, 286, 5, 32, 26, L"G，绿色分量，值范围 0-255。手动输入后回车即可完成设置");
    CreateChild(spectrumBoard, 6, 68, 570, 358);
    CreateChild(hueBox, 234, 37, 32, 26, L"E，色调，值范围 0-240。手动输入后回车即可完成设置");
    CreateChild(lightnessBox, 337, 37, 32, 26, L"L，亮度，值范围 0-240。手动输入后回车即可完成设置");
    CreateChild(saturationBox, 286, 37, 32, 26, L"S，饱和度，值范围 0-240。手动输入后回车即可完成设置");
    CreateChild(statusLabel, 407, 37, 382, 26, L"点击完成设置");
    CreateChild(eslLabel, 186, 37, 51, 26, L"点击粘贴ESL (128,240,120)，右击则复制。");
    CreateChild(hexLabel, 6, 5, 70, 26, L"点击粘贴16进制颜色值，右击则复制。");
    CreateChild(saturationBar, 407, 8, 382, 19);
    CreateChild(statusTimer, 672, 218, 21, 21);
    CreateChild(frameBoard, 237, 122, 557, 358);
}

void rg_DrenvikYanSeXuanZeChuangKouLei::BindEvents() {
    VOL_BIND(Created, &rg_DrenvikYanSeXuanZeChuangKouLei::OnCreated);
    VOL_BIND(Resized, &rg_DrenvikYanSeXuanZeChuangKouLei::OnResized);
    VOL_BIND(Destroyed, &rg_DrenvikYanSeXuanZeChuangKouLei::OnDestroyed);
    VOL_BIND(Deactivated, &rg_DrenvikYanSeXuanZeChuangKouLei::OnDeactivated);
    for (rg_edit_box* box : EditBoxes()) {
        VOL_BIND(box->KeyDown, &rg_DrenvikYanSeXuanZeChuangKouLei::OnFieldKeyDown);
        VOL_BIND(box->LeftDoubleClick, &rg_DrenvikYanSeXuanZeChuangKouLei::OnFieldDoubleClick);
        box->AttachEventListener();
    }
    for (rg_label* label : {&decimalLabel, &rgbLabel, &statusLabel, &eslLabel, &hexLabel}) {
        VOL_BIND(label->LeftButtonDown, &rg_DrenvikYanSeXuanZeChuangKouLei::OnLabelDown);
        VOL_BIND(label->RightButtonUp, &rg_DrenvikYanSeXuanZeChuangKouLei::OnLabelRightUp);
        VOL_BIND(label->LeftButtonUp, &rg_DrenvikYanSeXuanZeChuangKouLei::OnStatusClicked);
        label->AttachEventListener();
    }
    for (rg_painter* board : {&drawBoard, &spectrumBoard, &frameBoard}) {
        VOL_BIND(board->MouseMove, &rg_DrenvikYanSeXuanZeChuangKouLei::OnBoardMove);
        VOL_BIND(board->LeftButtonUp, &rg_DrenvikYanSeXuanZeChuangKouLei::OnCellClicked);
        VOL_BIND(board->RightButtonUp, &rg_DrenvikYanSeXuanZeChuangKouLei::OnBoardRightUp);
        board->AttachEventListener();
    }
    VOL_BIND(saturationBar.PositionChanged, &rg_DrenvikYanSeXuanZeChuangKouLei::OnBarMoved);
    VOL_BIND(statusTimer.Tick, &rg_DrenvikYanSeXuanZeChuangKouLei::OnTimerTick);
    statusTimer.AttachEventListener();
    CVolWinForm::BindEvents();
}

bool rg_DrenvikYanSeXuanZeChuangKouLei::DispatchWindowMessage(VolMessage& m) {
    // The boxes report their changes to this window.
    if (m.message == WM_COMMAND && HIWORD(m.wParam) == EN_CHANGE && m.lParam)
        if (rg_edit_box* box = BoxFromHwnd(reinterpret_cast<HWND>(m.lParam))) OnFieldChanged(box);
    return CVolWinForm::DispatchWindowMessage(m);
}

rg_edit_box* rg_DrenvikYanSeXuanZeChuangKouLei::BoxFromHwnd(HWND h) {
    for (rg_edit_box* box : EditBoxes())
        if (box->GetHwnd() == h) return box;
    return nullptr;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::OnCreated(CVolObject*) {
    currentHsl.assign(3, 0);
    hoverHsl.assign(3, 0);
}

void rg_DrenvikYanSeXuanZeChuangKouLei::OnDestroyed(CVolObject*) {
    if (gridSaturation != 240) gSpectrumCache.erase(CacheKey());
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnDeactivated(CVolObject*) {
    if (!closing_ && IsCreated()) {
        closing_ = true;
        ::DestroyWindow(GetHwnd());
    }
    return 0;
}

int rg_DrenvikYanSeXuanZeChuangKouLei::CacheKey() const {
    RECT r{0, 0, 0, 0};
    if (HWND h = GetHwnd()) ::GetWindowRect(h, &r);
    return MakeLongFromWords(int(r.right - r.left), int(r.bottom - r.top));
}

// ---- showing ------------------------------------------------------------------------------------------

int rg_DrenvikYanSeXuanZeChuangKouLei::ShowNear(HWND anchor, int colour) {
    if (IsCreated()) {
        closing_ = true;
        ::DestroyWindow(GetHwnd());
        Reset();
    }
    closing_ = false;
    if (!LoadWindow()) return -1;
    HWND self = GetHwnd();
    rg_JuXingLei a = GetWindowRectangle(anchor, true, false);
    RECT mine;
    ::GetWindowRect(self, &mine);
    int w = int(mine.right - mine.left), h = int(mine.bottom - mine.top);
    POINT at = PlacePickerNear(RECT{a.left, a.top, a.right, a.bottom}, w, h, ::GetSystemMetrics(SM_CXSCREEN),
                               ::GetSystemMetrics(SM_CYSCREEN));
    currentHsl = RgbToHsl240(colour & 0xFFFFFF);
    Move(int(at.x), int(at.y), w, h);
    FitWindowIntoWorkArea(self);  // clear of a taskbar too, not only of the screen's edges
    rg_ZhengShuShuZuLei fresh;
    UpdateFields(fresh, colour, 0);
    UpdateStatusText();
    ::ShowWindow(self, SW_SHOW);
    while (::IsWindow(self)) {
        PumpPendingMessages();
        if (::IsWindow(self)) ::Sleep(10);
    }
    return chosenColor;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::Choose(int colour) {
    chosenColor = colour;
    if (!IsCreated() || closing_) return;
    closing_ = true;
    ::DestroyWindow(GetHwnd());
}

// ---- layout and the grid ------------------------------------------------------------------------------

void rg_DrenvikYanSeXuanZeChuangKouLei::LayoutControls() {
    int cw = GetClientWidth(), ch = GetClientHeight();
    if (!IsCreated() || cw <= 0 || ch <= 0) return;
    cellGap = std::max(cw / 200, 2);
    int left = spectrumBoard.GetLeft(), top = spectrumBoard.GetTop();
    drawBoard.Move(kVolDefaultValue, kVolDefaultValue, cw - 2 * left, ch - top - left);
    spectrumBoard.Move(kVolDefaultValue, kVolDefaultValue, drawBoard.GetClientWidth(), drawBoard.GetClientHeight());
    statusLabel.SetWidth(spectrumBoard.GetWidth() + left - cellGap / 2 - statusLabel.GetLeft());
    saturationBar.SetWidth(statusLabel.GetWidth());
    // Turning redrawing back on would also show the board (WM_SETREDRAW sets WS_VISIBLE): a hidden
    // board is only drawn.
    HWND frame = frameBoard.GetHwnd();
    const bool frameShown = frameBoard.IsVisible();
    if (frameShown) ::SendMessageW(frame, WM_SETREDRAW, FALSE, 0);
    frameBoard.Move(0, 0, cw, ch);
    frameBoard.DrawRectangle(0, 0, cw, ch);
    if (frameShown) {
        ::SendMessageW(frame, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(frame, nullptr, TRUE);
    }
    DrawSpectrum(-1, -1);
}

void rg_DrenvikYanSeXuanZeChuangKouLei::DrawCell(int row, int column, const SpectrumGeometry& g, int inflate,
                                                 int colour) {
    int x = SpectrumCellLeft(g, column), y = SpectrumCellTop(g, row);
    drawBoard.SetPenColor(kCellPen);
    drawBoard.SetBrushColor(colour);
    drawBoard.DrawRectangle(x - inflate, y - inflate, x + int(g.cellWidth) + inflate, y + int(g.cellHeight) + inflate);
}

void rg_DrenvikYanSeXuanZeChuangKouLei::DrawSpectrum(int x, int y) {
    if (chosenColor != -1 || !IsCreated()) return;
    const bool full = x == -1 && y == -1;
    if (full) {
        auto cached = gSpectrumCache.find(CacheKey());
        if (cached != gSpectrumCache.end()) {
            drawBoard.DrawPicture(cached->second, 0, 0, -1, -1, SRCCOPY);
            spectrumBoard.DrawPainter(drawBoard);
            return;
        }
        drawBoard.ClearCanvas();
    }
    const SpectrumGeometry g = MakeSpectrumGeometry(drawBoard.GetClientWidth(), drawBoard.GetClientHeight(), cellGap);
    pointedRow = pointedColumn = -1;
    int oldRow = -1, oldColumn = -1;
    if (!full) {
        if (IsKeyDown(VK_CONTROL)) return;
        SpectrumHitTest(g, x, y, pointedRow, pointedColumn);
        if (pointedRow == litRow && pointedColumn == litColumn) return;
        oldRow = litRow;
        oldColumn = litColumn;
        litRow = pointedRow;
        litColumn = pointedColumn;
        if (oldRow >= 0 && oldColumn >= 0) {
            int face = int(::GetSysColor(COLOR_BTNFACE));
            drawBoard.SetPenColor(face);
            drawBoard.SetBrushColor(face);
            int ox = SpectrumCellLeft(g, oldColumn), oy = SpectrumCellTop(g, oldRow), f = g.gap / 2;
            drawBoard.DrawRectangle(ox - f, oy - f, ox + int(g.cellWidth) + f, oy + int(g.cellHeight) + f);
        }
    }
    for (int i = 0; i < kSpectrumCells; ++i) {
        for (int j = 0; j < kSpectrumCells; ++j) {
            const bool pointed = i == pointedRow && j == pointedColumn;
            if (!full && !pointed && !(i == oldRow && j == oldColumn)) continue;
            SpectrumHsl c = SpectrumCellHsl(i, j, gridSaturation);
            int colour = Hsl240ToRgb(c.hue, c.saturation, c.lightness);
            int inflate = 0;
            if (pointed) {
                hoverHsl = {c.hue, c.saturation, c.lightness};
                if (!pinned) {
                    currentHsl = hoverHsl;
                    UpdateFields(currentHsl, kColourFromHsl, 0);
                }
                inflate = g.gap / 2;
            }
            DrawCell(i, j, g, inflate, colour);
        }
    }
    spectrumBoard.DrawPainter(drawBoard);
    int key = CacheKey();
    if (!gSpectrumCache.count(key)) gSpectrumCache[key] = drawBoard.GetPicture();
}

// ---- the boxes ----------------------------------------------------------------------------------------

void rg_DrenvikYanSeXuanZeChuangKouLei::UpdateFields(rg_ZhengShuShuZuLei& hsl, int colour, int source) {
    if (updating) return;
    updating = 1;
    if (colour == kColourFromHsl) {
        if (hsl.size() < 3) hsl.resize(3, 0);
        colour = Hsl240ToRgb(hsl[0], hsl[1], hsl[2]);
    } else {
        colour = ResolvePickerColour(colour);
        hsl = RgbToHsl240(colour);
    }
    if (source != 2) decimalBox.SetText(Decimal(SwapRedBlue(colour)));
    if (source != 3) hexBox.SetText(ColorToHexText(colour));
    if (source != 1) {
        redBox.SetText(Decimal(colour & 0xFF));
        greenBox.SetText(Decimal((colour >> 8) & 0xFF));
        blueBox.SetText(Decimal((colour >> 16) & 0xFF));
    }
    if (source != 4) {
        hueBox.SetText(Decimal(hsl[0]));
        saturationBox.SetText(Decimal(hsl[1]));
        lightnessBox.SetText(Decimal(hsl[2]));
    }
    rg_ZhengShuShuZuLei swapped = RgbToHsl240(SwapRedBlue(colour));
    statusLabel.backColor = colour;
    statusLabel.SetTextColor(DeriveAccentColor(swapped[0], swapped[1], swapped[2]));
    updating = 0;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::OnFieldChanged(CVolWinControl* source) {
    if (updating) return;
    rg_ZhengShuShuZuLei hsl;
    if (source == &hueBox || source == &saturationBox || source == &lightnessBox) {
        hsl = {TypedHsl(hueBox), TypedHsl(saturationBox), TypedHsl(lightnessBox)};
        UpdateFields(hsl, kColourFromHsl, 4);
    } else if (source == &redBox || source == &greenBox || source == &blueBox) {
        int colour = (BoxNumber(redBox) & 0xFF) | (BoxNumber(greenBox) & 0xFF) << 8 | (BoxNumber(blueBox) & 0xFF) << 16;
        UpdateFields(hsl, colour, 1);
    } else if (source == &decimalBox) {
        UpdateFields(hsl, DecimalTextToColour(decimalBox.GetText()), 2);
    } else if (source == &hexBox) {
        // Only the colour bytes: a fourth byte would turn the text into a special value.
        UpdateFields(hsl, HexTextToColor(hexBox.GetText()) & 0xFFFFFF, 3);
    }
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnFieldKeyDown(CVolObject*, int key, int) {
    if (key == VK_RETURN) Choose(DecimalTextToColour(decimalBox.GetText()));
    return 0;
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnFieldDoubleClick(CVolObject* source, int, int, int) {
    CopyNumericColor(static_cast<CVolWinControl*>(source));
    return 0;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::CopyNumericColor(CVolWinControl* source) {
    CWString text;
    if (source == &decimalBox) {
        text = Decimal(DecimalTextToColour(decimalBox.GetText()));
    } else if (source == &hexBox) {
        int c = HexTextToColor(hexBox.GetText());
        text = ReplaceText(ColorToHexText(SwapRedBlue(c)), L"#", L"0x");
    } else {
        return;
    }
    SetClipboardText(text);
    ShowStatusBriefly(L"已复制火山颜色：" + GetClipboardText());
}

// ---- the captions and the status line -----------------------------------------------------------------

int rg_DrenvikYanSeXuanZeChuangKouLei::OnLabelDown(CVolObject* source, int, int, int) {
    PasteColorText(static_cast<CVolWinControl*>(source));
    return 0;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::PasteColorText(CVolWinControl* source) {
    const bool rgb = source == &rgbLabel;
    if (rgb || source == &eslLabel) {
        CWString clip = GetClipboardText();
        int position = 0;
        CWString inner = GetTextBetween(clip, L"(", L")", position, false, true);
        CWStringArray items;
        SplitTextByAnyChar(inner, items, L",", true, true);
        if (items.empty()) SplitTextByAnyChar(clip, items, L",", true, true);
        if (items.size() != 3) {
            ShowStatusBriefly(rgb ? kRgbPasteError : kEslPasteError);
            return;
        }
        rg_edit_box& first = rgb ? redBox : hueBox;
        rg_edit_box& second = rgb ? greenBox : saturationBox;
        rg_edit_box& third = rgb ? blueBox : lightnessBox;
        updating = 1;
        first.SetText(Decimal(WideTextToInt(items[0])));
        second.SetText(Decimal(WideTextToInt(items[1])));
        updating = 0;
        third.SetText(Decimal(WideTextToInt(items[2])));
        // The box may have held this number already, and then it reports no change.
        OnFieldChanged(&third);
    } else if (source == &decimalLabel) {
        decimalBox.SetText(GetClipboardText());
    } else if (source == &hexLabel) {
        hexBox.SetText(GetClipboardText());
    }
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnLabelRightUp(CVolObject* source, int, int, int) {
    CopyColorText(static_cast<CVolWinControl*>(source));
    return 0;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::CopyColorText(CVolWinControl* source) {
    CWString text;
    if (source == &rgbLabel)
        text = CWString::Concat({L"RGB (", redBox.GetText(), L",", greenBox.GetText(), L",", blueBox.GetText(), L")"});
    else if (source == &eslLabel)
        text = CWString::Concat({L"ESL (", hueBox.GetText(), L",", saturationBox.GetText(), L",", lightnessBox.GetText(), L")"});
    else if (source == &hexLabel)
        text = hexBox.GetText();
    else if (source == &decimalLabel)
        text = decimalBox.GetText();
    else
        return;
    // A clipboard that could not be taken is no copy.
    ShowStatusBriefly(SetClipboardText(text) ? L"已复制" : L"复制失败");
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnStatusClicked(CVolObject* source, int, int, int) {
    if (source == &statusLabel) Choose(DecimalTextToColour(decimalBox.GetText()));
    return 0;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::UpdateStatusText() {
    CWString text = pinned ? L"当前颜色 (已钉.同色右击解钉.不同色右击再钉)" : L"当前颜色 (右击下面色格可钉住数值不动)";
    if (gridSaturation != 240) text += L" 饱和度" + Decimal(gridSaturation);
    statusLabel.SetText(text);
}

void rg_DrenvikYanSeXuanZeChuangKouLei::ShowStatusBriefly(std::wstring_view message) {
    // A second message within the second keeps the standing text saved by the first.
    if (statusTimer.GetInterval() == 0) statusTimer.SetText(statusLabel.GetText());
    statusLabel.SetText(message);
    statusTimer.SetInterval(1000);
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnTimerTick(CVolObject*) {
    OnStatusTimer();
    return 0;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::OnStatusTimer() {
    statusTimer.SetInterval(0);
    if (IsCreated()) statusLabel.SetText(statusTimer.GetText());
}

// ---- the mouse on the grid ----------------------------------------------------------------------------

int rg_DrenvikYanSeXuanZeChuangKouLei::OnBoardMove(CVolObject* source, int x, int y, int) {
    if (source == &spectrumBoard) DrawSpectrum(x, y);
    return 0;
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnCellClicked(CVolObject* source, int, int, int) {
    if (source == &spectrumBoard && pointedRow != -1 && pointedColumn != -1 && hoverHsl.size() >= 3)
        Choose(Hsl240ToRgb(hoverHsl[0], hoverHsl[1], hoverHsl[2]));
    return 0;
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnBoardRightUp(CVolObject* source, int x, int y, int) {
    OnPinCell(static_cast<CVolWinControl*>(source), x, y);
    return 0;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::OnPinCell(CVolWinControl* source, int x, int y) {
    if (source != &spectrumBoard || litRow == -1 || litColumn == -1) return;
    if (pinned == 1 && currentHsl != hoverHsl) {
        currentHsl = hoverHsl;
        UpdateFields(currentHsl, kColourFromHsl, 0);
        return;
    }
    pinned = pinned ? 0 : 1;
    UpdateStatusText();
    if (!pinned) {
        litRow = litColumn = -1;
        DrawSpectrum(x, y);
    }
}

int rg_DrenvikYanSeXuanZeChuangKouLei::OnBarMoved(CVolObject*, int position) {
    OnSaturationChanged(position);
    return 0;
}

void rg_DrenvikYanSeXuanZeChuangKouLei::OnSaturationChanged(int position) {
    if (currentHsl.size() != 3) return;
    gridSaturation = 241 - position;
    currentHsl[1] = gridSaturation;
    UpdateFields(currentHsl, kColourFromHsl, 0);
    UpdateStatusText();
    gSpectrumCache.erase(CacheKey());
    DrawSpectrum(-1, -1);
}

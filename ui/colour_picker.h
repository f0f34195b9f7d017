// The colour picker: a borderless top-level window with a 30 x 30 grid of colours (one hue per row,
// black to white to black along the diagonals, one saturation for all set by a bar), number boxes for
// RGB and hue/saturation/lightness on the 0-240 scale, a decimal and a hexadecimal box, captions that
// paste or copy colour texts, and a status line in the current colour. ShowNear opens it beside a
// window and waits for the answer; losing activation closes it without one.
//
// The grid is drawn on the hidden drawBoard and copied in one block to the visible spectrumBoard;
// finished grids stay in gSpectrumCache, keyed by window size, for the life of the process.
#pragma once
#include <array>
#include <unordered_map>

#include "platform/components.h"
#include "platform/painter.h"
#include "platform/picture.h"
#include "platform/window.h"
#include "ui/scroll_bar.h"

// ---- the grid and the colour texts, apart from any window ---------------------------------------------

inline constexpr int kSpectrumCells = 30;
// The colour argument of UpdateFields that means "take the hue/saturation/lightness array".
inline constexpr int kColourFromHsl = int(0x80000000);

struct SpectrumGeometry {
    int gap = 0;            // cellGap
    double cellWidth = 0;   // (board width - 30 gaps) / 30
    double cellHeight = 0;
};
SpectrumGeometry MakeSpectrumGeometry(int boardWidth, int boardHeight, int gap) noexcept;
int SpectrumCellLeft(const SpectrumGeometry& g, int column) noexcept;
int SpectrumCellTop(const SpectrumGeometry& g, int row) noexcept;
// Hue, saturation and lightness (0-240) of a cell.
struct SpectrumHsl {
    int hue, saturation, lightness;
};
SpectrumHsl SpectrumCellHsl(int row, int column, int saturation) noexcept;
// The cell under a board point; false in the gaps and outside the grid.
bool SpectrumHitTest(const SpectrumGeometry& g, int x, int y, int& row, int& column) noexcept;

// Top-left corner of a W x H picker beside an anchor rectangle (screen coordinates): below or above,
// left or right edges aligned, kept on a CX x CY screen.
POINT PlacePickerNear(const RECT& anchor, int width, int height, int screenWidth, int screenHeight) noexcept;
// -1 is white and 0xFF000000 the system button-face colour; any other value is itself.
int ResolvePickerColour(int colour) noexcept;
// 0x00BBGGRR <-> 0x00RRGGBB: low and third byte exchanged, the top byte dropped.
int SwapRedBlue(int colour) noexcept;
// The colour a decimal box's text stands for: the number written red first, its low three bytes.
int DecimalTextToColour(std::wstring_view text) noexcept;

// ---- the window -------------------------------------------------------------------------------------

// Finished grids per window size (width in the low word, height in the high word).
extern std::unordered_map<int32_t, rg_WeiTuDuiXiangLei> gSpectrumCache;

class rg_DrenvikYanSeXuanZeChuangKouLei : public CVolWinForm {
    VOL_CLASS(rg_DrenvikYanSeXuanZeChuangKouLei, CVolWinForm, "ui::rg_DrenvikYanSeXuanZeChuangKouLei")
    VOL_MEMBERS(chosenColor, redBox, drawBoard, hexBox, decimalBox, decimalLabel, rgbLabel, blueBox, greenBox,
                spectrumBoard, hueBox, lightnessBox, saturationBox, statusLabel, eslLabel, hexLabel, saturationBar,
                statusTimer, frameBoard, pointedRow, pointedColumn, litRow, litColumn, currentHsl, hoverHsl, cellGap,
                updating, pinned, gridSaturation)

public:
    rg_DrenvikYanSeXuanZeChuangKouLei();
    ~rg_DrenvikYanSeXuanZeChuangKouLei() override;

    int GetDesignWidth() const override { return ScaleDesignValue(797); }
    int GetDesignHeight() const override { return ScaleDesignValue(490); }
    void CreateChildren() override;
    void BindEvents() override;
    bool DispatchWindowMessage(VolMessage& m) override;

    // Opens beside `anchor` starting from `colour` and waits until the window is gone: the chosen
    // colour (0x00BBGGRR), or -1 when it closed without a choice.
    int ShowNear(HWND anchor, int colour);

    // ---- the steps behind the window, also driven by tests ----
    void LayoutControls();
    // x = y = -1 draws the whole grid; otherwise a hit test that redraws the cells whose highlight moves.
    void DrawSpectrum(int x, int y);
    // Source: 0 none, 1 the RGB boxes, 2 the decimal box, 3 the hexadecimal box, 4 the HSL boxes; that
    // source is not rewritten.
    void UpdateFields(rg_ZhengShuShuZuLei& hsl, int colour, int source);
    void OnFieldChanged(CVolWinControl* source);
    void PasteColorText(CVolWinControl* source);
    void CopyColorText(CVolWinControl* source);
    void CopyNumericColor(CVolWinControl* source);
    void UpdateStatusText();
    void ShowStatusBriefly(std::wstring_view message);
    void OnStatusTimer();
    void OnPinCell(CVolWinControl* source, int x, int y);
    void OnSaturationChanged(int position);

    // ---- members, in the order of the object protocol ----
    int chosenColor = -1;
    rg_edit_box redBox;
    rg_painter drawBoard;
    rg_edit_box hexBox;
    rg_edit_box decimalBox;
    rg_label decimalLabel;
    rg_label rgbLabel;
    rg_edit_box blueBox;
    rg_edit_box greenBox;
    rg_painter spectrumBoard;
    rg_edit_box hueBox;
    rg_edit_box lightnessBox;
    rg_edit_box saturationBox;
    rg_label statusLabel;
    rg_label eslLabel;
    rg_label hexLabel;
    rg_DrenvikGunDongTiao1 saturationBar;
    rg_timer statusTimer;
    rg_painter frameBoard;
    int pointedRow = -1;
    int pointedColumn = -1;
    int litRow = -1;
    int litColumn = -1;
    rg_ZhengShuShuZuLei currentHsl;
    rg_ZhengShuShuZuLei hoverHsl;
    int cellGap = 0;
    int updating = 0;
    int pinned = 0;
    int gridSaturation = 240;

private:
    bool closing_ = false;  // our own DestroyWindow is under way: deactivation must not repeat it

    int CacheKey() const;
    void Choose(int colour);
    void DrawCell(int row, int column, const SpectrumGeometry& g, int inflate, int colour);
    rg_edit_box* BoxFromHwnd(HWND h);
    std::array<rg_edit_box*, 8> EditBoxes() noexcept {
        return {&redBox, &hexBox, &decimalBox, &blueBox, &greenBox, &hueBox, &lightnessBox, &saturationBox};
    }

    void OnCreated(CVolObject*);
    void OnResized(CVolObject*) { LayoutControls(); }
    void OnDestroyed(CVolObject*);
    int OnDeactivated(CVolObject*);
    int OnFieldKeyDown(CVolObject* source, int key, int modifiers);
    int OnFieldDoubleClick(CVolObject* source, int x, int y, int modifiers);
    int OnLabelDown(CVolObject* source, int x, int y, int modifiers);
    int OnLabelRightUp(CVolObject* source, int x, int y, int modifiers);
    int OnStatusClicked(CVolObject* source, int x, int y, int modifiers);
    int OnBoardMove(CVolObject* source, int x, int y, int modifiers);
    int OnCellClicked(CVolObject* source, int x, int y, int modifiers);
    int OnBoardRightUp(CVolObject* source, int x, int y, int modifiers);
    int OnBarMoved(CVolObject*, int position);
    int OnTimerTick(CVolObject*);
};

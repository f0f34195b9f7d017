#include "ui/control_foundation.h"

#include <cwchar>

#include "platform/font.h"
#include "platform/shell.h"
#include "util/file_ui_hooks.h"
#include "util/text_helpers.h"

CTextMap<int> gTextMeasureIndex;
std::vector<std::unordered_map<int64_t, int>> gTextWidthCaches;
std::vector<std::unordered_map<int64_t, int>> gTextHeightCaches;
const CWString gLineHeightSample = L"中aA国";
const CWString gEmptyLineSample = L"中";
CVolWinForm* gMainForm = nullptr;
CWString gSavedTitle;

namespace {

// Both sizes of a text in a font slot, measured once.
int MeasureCached(CVWnd_Painter& board, const CWString& text, const CWString& fontText, bool wantWidth) {
    auto it = gTextMeasureIndex.find(fontText);
    size_t slot;
    if (it == gTextMeasureIndex.end()) {
        gTextWidthCaches.emplace_back();
        gTextHeightCaches.emplace_back();
        slot = gTextWidthCaches.size() - 1;
        gTextMeasureIndex.emplace(fontText, int(slot));
    } else {
        slot = size_t(it->second);
    }
    int64_t key = HashBytes(CVolMem::ConstructFromText(text));
    auto& cache = wantWidth ? gTextWidthCaches[slot] : gTextHeightCaches[slot];
    if (auto hit = cache.find(key); hit != cache.end()) return hit->second;
    int w = 0, h = 0;
    board.MeasureText(text, w, h);
    gTextWidthCaches[slot][key] = w;
    gTextHeightCaches[slot][key] = h;
    return wantWidth ? w : h;
}

}  // namespace

int MeasureTextWidth(CVWnd_Painter& board, const CWString& text, CWString& fontText) {
    if (fontText.empty()) fontText = kDefaultFontText;
    return MeasureCached(board, text, fontText, true);
}

int MeasureTextHeight(CVWnd_Painter& board, const CWString& text, const CWString& fontText) {
    return MeasureCached(board, text, fontText, false);
}

int MeasureMultilineText(CVWnd_Painter& board, CWString& fontText, rg_WenBenShuZuLei& lines, CIntArray& widths,
                         CIntArray& heights, int& totalHeight, int lineGap, const CWString& text) {
    if (!text.empty()) SplitTextBySeparator(text, lines, L"\r\n", false, false);
    totalHeight = 0;
    int widest = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const CWString& line = lines[i].empty() ? gEmptyLineSample : lines[i];
        int w = MeasureTextWidth(board, line, fontText);
        int h = MeasureTextHeight(board, line, fontText);
        widths.push_back(w);
        if (w > widest) widest = w;
        if (i > 0) totalHeight += lineGap;
        heights.push_back(h);
        totalHeight += h;
    }
    return widest;
}

CWString ReadWindowText(HWND hwnd) {
    int n = ::GetWindowTextLengthW(hwnd);
    std::wstring text(size_t(n) + 1, L'\0');
    int got = ::GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(size_t(got > 0 ? got : 0));
    return text;
}

rg_JuXingLei GetWindowRectangle(HWND hwnd, bool wholeWindow, bool relativeToParent) {
    WINDOWINFO info{};
    info.cbSize = sizeof(info);
    ::GetWindowInfo(hwnd, &info);
    RECT r = wholeWindow ? info.rcWindow : info.rcClient;
    HWND parent = ::GetParent(hwnd);
    if (relativeToParent && parent) {
        WINDOWINFO pi{};
        pi.cbSize = sizeof(pi);
        ::GetWindowInfo(parent, &pi);
        const RECT& base = wholeWindow ? pi.rcWindow : pi.rcClient;
        r.left -= base.left;
        r.right -= base.left;
        r.top -= base.top;
        r.bottom -= base.top;
    }
    return rg_JuXingLei(r.left, r.top, r.right, r.bottom);
}

void SetWindowTitleWithVersion(HWND hwnd) {
    CWString title = ReadWindowText(hwnd);
    if (title.FindText(kVersionPlaceholder) < 0) return;
    title.Replace(kVersionPlaceholder, kVersionName);
    ::SetWindowTextW(hwnd, title.c_str());
}

void SetTitleHint(const CWString& hint, const CWString& secondsText) {
    if (!gMainForm) {
        ShowMessageBoxOwned(L"还没有设置主窗口指针，无法设置标题提示", MB_OK | MB_ICONINFORMATION, L"信息:");
        return;
    }
    if (gSavedTitle.empty()) gSavedTitle = gMainForm->GetText();
    if (hint.empty()) {
        if (!gSavedTitle.empty()) gMainForm->SetText(gSavedTitle);
        return;
    }
    CWString middle;
    if (WideTextToDouble(secondsText) > 0) middle = L"等待 " + secondsText + L" 秒后，";
    gMainForm->SetText(gSavedTitle + L" - " + middle + hint);
}

void InstallTitleHintHook() {
    GetFileUiHooks().setTitleHint = [](std::wstring_view hint, std::wstring_view seconds) {
        if (gMainForm) SetTitleHint(CWString(hint), CWString(seconds));
    };
}

rg_ZhengShuShuZuLei RgbToHsl240(int color) {
    double r = (color & 0xFF) / 255.0, g = ((color >> 8) & 0xFF) / 255.0, b = ((color >> 16) & 0xFF) / 255.0;
    double mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    double mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    double d = mx - mn, l = (mx + mn) * 0.5, h = 0, s = 0;
    if (!(d > -1e-6 && d < 1e-6)) {
        s = l <= 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
        double dr = (mx - r) / d, dg = (mx - g) / d, db = (mx - b) / d;
        if (r == mx) h = db - dg;
        else if (g == mx) h = 2 + dr - db;
        else h = 4 + dg - dr;
        if (h < 0) h += 6;
    }
    return {int(h * 40), int(s * 240), int(l * 240)};
}

int Hsl240ToRgb(double hue, double saturation, double lightness) {
    double h = hue / 240, s = saturation / 240, l = lightness / 240;
    double q = l <= 0.5 ? (s + 1) * l : s + l - s * l;
    double R = l, G = l, B = l;
    if (q > 0) {
        double x = h * 6;
        int sextant = int(x);
        double f = x - sextant, p = 2 * l - q, t = (q - p) / q * q * f;
        double rising = p + t, falling = q - t;
        switch (sextant) {
        case 0: R = q; G = rising; B = p; break;
        case 1: R = falling; G = q; B = p; break;
        case 2: R = p; G = q; B = rising; break;
        case 3: R = p; G = falling; B = q; break;
        case 4: R = rising; G = p; B = q; break;
        case 5: R = q; G = p; B = falling; break;
        default: break;
        }
    }
    auto channel = [](double v) { return int(v * 255) & 0xFF; };
    return channel(R) | channel(G) << 8 | channel(B) << 16;
}

int DeriveAccentColor(int hue, int saturation, int lightness) {
    int h = hue + 60 > 240 ? hue - 180 : hue + 60;
    int s = saturation + 40 > 240 ? saturation - 200 : saturation + 40;
    int l = lightness - 90 < 0 ? lightness + 150 : lightness - 90;
    return Hsl240ToRgb(h, s, l);
}

CWString ColorToHexText(int color) {
    if (color == -1) return {};
    wchar_t buf[8];
    std::swprintf(buf, 8, L"#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    return buf;
}

int HexTextToColor(const CWString& text) {
    int hash = text.FindText(L"#");
    CWString digits = hash >= 0 ? text.Mid(hash + 1) : (text.GetLength() > 6 ? text.Right(6) : text);
    auto value = [](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9') return c - L'0';
        if (c >= L'A' && c <= L'F') return c - L'A' + 10;
        if (c >= L'a' && c <= L'f') return c - L'a' + 10;
        return -1;
    };
    uint8_t bytes[4] = {0, 0, 0, 0};
    size_t count = digits.size() / 2;
    for (size_t i = 0; i < count && i < 4; ++i) {
        int hi = value(digits[2 * i]), lo = value(digits[2 * i + 1]);
        bytes[i] = lo < 0 ? 0xFF : uint8_t(((hi < 0 ? 0xF : hi) << 4) | lo);
    }
    return int(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

#include "platform/svg.h"

#include "platform/win.h"
#include <gdiplus.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/mem.h"
#include "platform/xml_reader.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---- numbers and lengths -------------------------------------------------------------------------

bool IsWsp(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void SkipWsp(std::string_view s, size_t& i) noexcept {
    while (i < s.size() && IsWsp(s[i])) ++i;
}
// Blanks with at most one comma among them.
void SkipCommaWsp(std::string_view s, size_t& i) noexcept {
    SkipWsp(s, i);
    if (i < s.size() && s[i] == ',') { ++i; SkipWsp(s, i); }
}

// A number in SVG's grammar (sign, digits, fraction, exponent), without locale.
bool ParseNumber(std::string_view s, size_t& i, double& out) noexcept {
    size_t p = i;
    bool neg = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
    double v = 0;
    bool digits = false;
    while (p < s.size() && s[p] >= '0' && s[p] <= '9') { v = v * 10 + (s[p++] - '0'); digits = true; }
    if (p < s.size() && s[p] == '.') {
        ++p;
        double scale = 0.1;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9') { v += (s[p++] - '0') * scale; scale *= 0.1; digits = true; }
    }
    if (!digits) return false;
    // An exponent only when digits follow, so "1em" stays a number and a unit.
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        size_t q = p + 1;
        bool eneg = false;
        if (q < s.size() && (s[q] == '+' || s[q] == '-')) eneg = s[q++] == '-';
        if (q < s.size() && s[q] >= '0' && s[q] <= '9') {
            int e = 0;
            while (q < s.size() && s[q] >= '0' && s[q] <= '9') { if (e < 1000) e = e * 10 + (s[q] - '0'); ++q; }
            v *= std::pow(10.0, eneg ? -e : e);
            p = q;
        }
    }
    if (!std::isfinite(v)) return false;
    out = neg ? -v : v;
    i = p;
    return true;
}

enum class Axis { X, Y, Other };

// A length with an optional unit; percentages refer to the viewport. Absent or bad gives fallback.
double ParseLength(const std::string* attr, double fallback, Axis axis, double vw, double vh) noexcept {
    if (!attr) return fallback;
    std::string_view s = *attr;
    size_t i = 0;
    SkipWsp(s, i);
    double v;
    if (!ParseNumber(s, i, v)) return fallback;
    std::string_view unit = s.substr(i);
    while (!unit.empty() && IsWsp(unit.back())) unit.remove_suffix(1);
    if (unit.empty() || unit == "px") return v;
    if (unit == "%") {
        double ref = axis == Axis::X ? vw : axis == Axis::Y ? vh : std::sqrt((vw * vw + vh * vh) / 2);
        return v * ref / 100;
    }
    if (unit == "pt") return v * 96 / 72;
    if (unit == "pc") return v * 16;
    if (unit == "in") return v * 96;
    if (unit == "cm") return v * 96 / 2.54;
    if (unit == "mm") return v * 96 / 25.4;
    if (unit == "em") return v * 16;
    if (unit == "ex") return v * 8;
    return fallback;
}

// ---- transforms ----------------------------------------------------------------------------------

// x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    // this * o: o applies first.
    Affine operator*(const Affine& o) const noexcept {
        return {a * o.a + c * o.b, b * o.a + d * o.b, a * o.c + c * o.d, b * o.c + d * o.d, a * o.e + c * o.f + e,
                b * o.e + d * o.f + f};
    }
    Gdiplus::PointF Apply(double x, double y) const noexcept {
        return {Gdiplus::REAL(a * x + c * y + e), Gdiplus::REAL(b * x + d * y + f)};
    }
};

// GDI+ works in float: a number past float's range (or one that falls to 0 in it where a size must
// be positive) reaches it as infinity or as a division by zero, and it can end the process.
bool InFloatRange(double v) noexcept { return std::isfinite(v) && std::fabs(v) <= FLT_MAX; }
bool InFloatRange(const Affine& m) noexcept {
    return InFloatRange(m.a) && InFloatRange(m.b) && InFloatRange(m.c) && InFloatRange(m.d) && InFloatRange(m.e) &&
           InFloatRange(m.f);
}

// A transform list; parsing stops at the first error and keeps what came before it.
Affine ParseTransform(std::string_view s) {
    Affine m;
    size_t i = 0;
    for (;;) {
        SkipCommaWsp(s, i);
        size_t start = i;
        while (i < s.size() && ((s[i] >= 'a' && s[i] <= 'z') || (s[i] >= 'A' && s[i] <= 'Z'))) ++i;
        std::string_view name = s.substr(start, i - start);
        if (name.empty()) break;
        SkipWsp(s, i);
        if (i >= s.size() || s[i] != '(') break;
        ++i;
        double v[6];
        int n = 0;
        for (;;) {
            SkipCommaWsp(s, i);
            if (n < 6 && ParseNumber(s, i, v[n])) { ++n; continue; }
            break;
        }
        SkipWsp(s, i);
        if (i >= s.size() || s[i] != ')') break;
        ++i;
        Affine t;
        if (name == "matrix" && n == 6) {
            t = {v[0], v[1], v[2], v[3], v[4], v[5]};
        } else if (name == "translate" && (n == 1 || n == 2)) {
            t.e = v[0];
            t.f = n == 2 ? v[1] : 0;
        } else if (name == "scale" && (n == 1 || n == 2)) {
            t.a = v[0];
            t.d = n == 2 ? v[1] : v[0];
        } else if (name == "rotate" && (n == 1 || n == 3)) {
            double r = v[0] * kPi / 180, cs = std::cos(r), sn = std::sin(r);
            t = {cs, sn, -sn, cs, 0, 0};
            if (n == 3) t = Affine{1, 0, 0, 1, v[1], v[2]} * t * Affine{1, 0, 0, 1, -v[1], -v[2]};
        } else if (name == "skewX" && n == 1) {
            t.c = std::tan(v[0] * kPi / 180);
        } else if (name == "skewY" && n == 1) {
            t.b = std::tan(v[0] * kPi / 180);
        } else {
            break;
        }
        m = m * t;
    }
    return m;
}

// ---- colours -------------------------------------------------------------------------------------

struct NamedColour {
    const char* name;
    uint32_t rgb;
};
constexpr NamedColour kNamedColours[] = {
    {"aliceblue", 0xF0F8FF}, {"antiquewhite", 0xFAEBD7}, {"aqua", 0x00FFFF}, {"aquamarine", 0x7FFFD4},
    {"azure", 0xF0FFFF}, {"beige", 0xF5F5DC}, {"bisque", 0xFFE4C4}, {"black", 0x000000},
    {"blanchedalmond", 0xFFEBCD}, {"blue", 0x0000FF}, {"blueviolet", 0x8A2BE2}, {"brown", 0xA52A2A},
    {"burlywood", 0xDEB887}, {"cadetblue", 0x5F9EA0}, {"chartreuse", 0x7FFF00}, {"chocolate", 0xD2691E},
    {"coral", 0xFF7F50}, {"cornflowerblue", 0x6495ED}, {"cornsilk", 0xFFF8DC}, {"crimson", 0xDC143C},
    {"cyan", 0x00FFFF}, {"darkblue", 0x00008B}, {"darkcyan", 0x008B8B}, {"darkgoldenrod", 0xB8860B},
    {"darkgray", 0xA9A9A9}, {"darkgreen", 0x006400}, {"darkgrey", 0xA9A9A9}, {"darkkhaki", 0xBDB76B},
    {"darkmagenta", 0x8B008B}, {"darkolivegreen", 0x556B2F}, {"darkorange", 0xFF8C00}, {"darkorchid", 0x9932CC},
    {"darkred", 0x8B0000}, {"darksalmon", 0xE9967A}, {"darkseagreen", 0x8FBC8F}, {"darkslateblue", 0x483D8B},
    {"darkslategray", 0x2F4F4F}, {"darkslategrey", 0x2F4F4F}, {"darkturquoise", 0x00CED1},
    {"darkviolet", 0x9400D3}, {"deeppink", 0xFF1493}, {"deepskyblue", 0x00BFFF}, {"dimgray", 0x696969},
    {"dimgrey", 0x696969}, {"dodgerblue", 0x1E90FF}, {"firebrick", 0xB22222}, {"floralwhite", 0xFFFAF0},
    {"forestgreen", 0x228B22}, {"fuchsia", 0xFF00FF}, {"gainsboro", 0xDCDCDC}, {"ghostwhite", 0xF8F8FF},
    {"gold", 0xFFD700}, {"goldenrod", 0xDAA520}, {"gray", 0x808080}, {"green", 0x008000},
    {"greenyellow", 0xADFF2F}, {"grey", 0x808080}, {"honeydew", 0xF0FFF0}, {"hotpink", 0xFF69B4},
    {"indianred", 0xCD5C5C}, {"indigo", 0x4B0082}, {"ivory", 0xFFFFF0}, {"khaki", 0xF0E68C},
    {"lavender", 0xE6E6FA}, {"lavenderblush", 0xFFF0F5}, {"lawngreen", 0x7CFC00}, {"lemonchiffon", 0xFFFACD},
    {"lightblue", 0xADD8E6}, {"lightcoral", 0xF08080}, {"lightcyan", 0xE0FFFF},
    {"lightgoldenrodyellow", 0xFAFAD2}, {"lightgray", 0xD3D3D3}, {"lightgreen", 0x90EE90},
    {"lightgrey", 0xD3D3D3}, {"lightpink", 0xFFB6C1}, {"lightsalmon", 0xFFA07A}, {"lightseagreen", 0x20B2AA},
    {"lightskyblue", 0x87CEFA}, {"lightslategray", 0x778899}, {"lightslategrey", 0x778899},
    {"lightsteelblue", 0xB0C4DE}, {"lightyellow", 0xFFFFE0}, {"lime", 0x00FF00}, {"limegreen", 0x32CD32},
    {"linen", 0xFAF0E6}, {"magenta", 0xFF00FF}, {"maroon", 0x800000}, {"mediumaquamarine", 0x66CDAA},
    {"mediumblue", 0x0000CD}, {"mediumorchid", 0xBA55D3}, {"mediumpurple", 0x9370DB},
    {"mediumseagreen", 0x3CB371}, {"mediumslateblue", 0x7B68EE}, {"mediumspringgreen", 0x00FA9A},
    {"mediumturquoise", 0x48D1CC}, {"mediumvioletred", 0xC71585}, {"midnightblue", 0x191970},
    {"mintcream", 0xF5FFFA}, {"mistyrose", 0xFFE4E1}, {"moccasin", 0xFFE4B5}, {"navajowhite", 0xFFDEAD},
    {"navy", 0x000080}, {"oldlace", 0xFDF5E6}, {"olive", 0x808000}, {"olivedrab", 0x6B8E23},
    {"orange", 0xFFA500}, {"orangered", 0xFF4500}, {"orchid", 0xDA70D6}, {"palegoldenrod", 0xEEE8AA},
    {"palegreen", 0x98FB98}, {"paleturquoise", 0xAFEEEE}, {"palevioletred", 0xDB7093}, {"papayawhip", 0xFFEFD5},
    {"peachpuff", 0xFFDAB9}, {"peru", 0xCD853F}, {"pink", 0xFFC0CB}, {"plum", 0xDDA0DD},
    {"powderblue", 0xB0E0E6}, {"purple", 0x800080}, {"red", 0xFF0000}, {"rosybrown", 0xBC8F8F},
    {"royalblue", 0x4169E1}, {"saddlebrown", 0x8B4513}, {"salmon", 0xFA8072}, {"sandybrown", 0xF4A460},
    {"seagreen", 0x2E8B57}, {"seashell", 0xFFF5EE}, {"sienna", 0xA0522D}, {"silver", 0xC0C0C0},
    {"skyblue", 0x87CEEB}, {"slateblue", 0x6A5ACD}, {"slategray", 0x708090}, {"slategrey", 0x708090},
    {"snow", 0xFFFAFA}, {"springgreen", 0x00FF7F}, {"steelblue", 0x4682B4}, {"tan", 0xD2B48C},
    {"teal", 0x008080}, {"thistle", 0xD8BFD8}, {"tomato", 0xFF6347}, {"turquoise", 0x40E0D0},
    {"violet", 0xEE82EE}, {"wheat", 0xF5DEB3}, {"white", 0xFFFFFF}, {"whitesmoke", 0xF5F5F5},
    {"yellow", 0xFFFF00}, {"yellowgreen", 0x9ACD32},
};

std::string_view Trim(std::string_view s) noexcept {
    while (!s.empty() && IsWsp(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsWsp(s.back())) s.remove_suffix(1);
    return s;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x + 32);
        if (y >= 'A' && y <= 'Z') y = char(y + 32);
        if (x != y) return false;
    }
    return true;
}

int HexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct Paint {
    bool none = true;
    uint32_t rgb = 0;  // 0xRRGGBB
};

// A paint value; false when it is not one we understand (the property then stays as inherited).
bool ParsePaint(std::string_view v, Paint& out) {
    v = Trim(v);
    if (v.empty()) return false;
    if (v == "none") { out = Paint{}; return true; }
    if (EqualsNoCaseAscii(v, "currentColor")) { out = Paint{false, 0}; return true; }
    if (v.substr(0, 4) == "url(") {
        // Gradients and patterns are not drawn; a fallback colour after the reference is used.
        size_t close = v.find(')');
        if (close == std::string_view::npos) return false;
        std::string_view rest = Trim(v.substr(close + 1));
        if (!rest.empty() && ParsePaint(rest, out)) return true;
        out = Paint{};
        return true;
    }
    if (v[0] == '#') {
        std::string_view h = v.substr(1);
        uint32_t rgb = 0;
        for (char c : h) {
            if (HexDigit(c) < 0) return false;
        }
        if (h.size() == 3) {
            for (char c : h) rgb = (rgb << 8) | uint32_t(HexDigit(c) * 17);
        } else if (h.size() == 6) {
            for (char c : h) rgb = (rgb << 4) | uint32_t(HexDigit(c));
        } else {
            return false;
        }
        out = Paint{false, rgb};
        return true;
    }
    if (v.size() > 4 && EqualsNoCaseAscii(v.substr(0, 4), "rgb(") && v.back() == ')') {
        std::string_view args = v.substr(4, v.size() - 5);
        size_t i = 0;
        uint32_t rgb = 0;
        for (int k = 0; k < 3; ++k) {
            SkipCommaWsp(args, i);
            double n;
            if (!ParseNumber(args, i, n)) return false;
            if (i < args.size() && args[i] == '%') { n = n * 255 / 100; ++i; }
            n = std::clamp(n, 0.0, 255.0);
            rgb = (rgb << 8) | uint32_t(std::lround(n));
        }
        SkipWsp(args, i);
        if (i != args.size()) return false;
        out = Paint{false, rgb};
        return true;
    }
    for (const auto& c : kNamedColours) {
        if (EqualsNoCaseAscii(v, c.name)) { out = Paint{false, c.rgb}; return true; }
    }
    return false;
}

// ---- path geometry -------------------------------------------------------------------------------

// Points and GDI+ point types of one path, in user units.
struct PathData {
    std::vector<Gdiplus::PointF> points;
    std::vector<BYTE> types;
};

class PathBuilder {
public:
    explicit PathBuilder(PathData& out) : out_(out) {}

    void MoveTo(double x, double y) {
        DropLoneStart();
        figureStart_ = out_.points.size();
        Push(x, y, Gdiplus::PathPointTypeStart);
        cx_ = sx_ = x;
        cy_ = sy_ = y;
        open_ = true;
    }
    void LineTo(double x, double y) {
        EnsureFigure();
        Push(x, y, Gdiplus::PathPointTypeLine);
        cx_ = x;
        cy_ = y;
    }
    void CubicTo(double x1, double y1, double x2, double y2, double x, double y) {
        EnsureFigure();
        Push(x1, y1, Gdiplus::PathPointTypeBezier);
        Push(x2, y2, Gdiplus::PathPointTypeBezier);
        Push(x, y, Gdiplus::PathPointTypeBezier);
        cx_ = x;
        cy_ = y;
    }
    void QuadTo(double x1, double y1, double x, double y) {
        CubicTo(cx_ + 2.0 / 3 * (x1 - cx_), cy_ + 2.0 / 3 * (y1 - cy_), x + 2.0 / 3 * (x1 - x), y + 2.0 / 3 * (y1 - y),
                x, y);
    }
    // An elliptical arc to (x, y), converted to cubic Béziers of at most 90 degrees each.
    void ArcTo(double rx, double ry, double angleDeg, bool largeArc, bool sweep, double x, double y) {
        double x1 = cx_, y1 = cy_;
        if (x1 == x && y1 == y) return;
        rx = std::fabs(rx);
        ry = std::fabs(ry);
        if (rx == 0 || ry == 0) { LineTo(x, y); return; }
        double phi = angleDeg * kPi / 180, cs = std::cos(phi), sn = std::sin(phi);
        double dx2 = (x1 - x) / 2, dy2 = (y1 - y) / 2;
        double x1p = cs * dx2 + sn * dy2, y1p = -sn * dx2 + cs * dy2;
        double lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
        if (lambda > 1) {
            double s = std::sqrt(lambda);
            rx *= s;
            ry *= s;
        }
        double num = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p;
        double den = rx * rx * y1p * y1p + ry * ry * x1p * x1p;
        double coef = den == 0 ? 0 : std::sqrt(std::max(0.0, num / den));
        if (largeArc == sweep) coef = -coef;
        double cxp = coef * rx * y1p / ry, cyp = -coef * ry * x1p / rx;
        double ccx = cs * cxp - sn * cyp + (x1 + x) / 2, ccy = sn * cxp + cs * cyp + (y1 + y) / 2;
        double ux = (x1p - cxp) / rx, uy = (y1p - cyp) / ry, vx = (-x1p - cxp) / rx, vy = (-y1p - cyp) / ry;
        double theta1 = std::atan2(uy, ux);
        double dtheta = std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
        if (!sweep && dtheta > 0) dtheta -= 2 * kPi;
        if (sweep && dtheta < 0) dtheta += 2 * kPi;
        int segments = std::max(1, int(std::ceil(std::fabs(dtheta) / (kPi / 2) - 1e-9)));
        double delta = dtheta / segments, t = 4.0 / 3 * std::tan(delta / 4);
        auto map = [&](double ex, double ey, double& ox, double& oy) {
            ox = ccx + rx * cs * ex - ry * sn * ey;
            oy = ccy + rx * sn * ex + ry * cs * ey;
        };
        double th = theta1;
        for (int k = 0; k < segments; ++k) {
            double th2 = th + delta;
            double c1x, c1y, c2x, c2y, ex, ey;
            map(std::cos(th) - t * std::sin(th), std::sin(th) + t * std::cos(th), c1x, c1y);
            map(std::cos(th2) + t * std::sin(th2), std::sin(th2) - t * std::cos(th2), c2x, c2y);
            if (k == segments - 1) { ex = x; ey = y; }
            else map(std::cos(th2), std::sin(th2), ex, ey);
            CubicTo(c1x, c1y, c2x, c2y, ex, ey);
            th = th2;
        }
    }
    void Close() {
        if (!open_) return;
        if (out_.points.size() - figureStart_ > 1) out_.types.back() |= Gdiplus::PathPointTypeCloseSubpath;
        open_ = false;
        cx_ = sx_;
        cy_ = sy_;
    }
    void Finish() { DropLoneStart(); }

    double X() const noexcept { return cx_; }
    double Y() const noexcept { return cy_; }

private:
    void Push(double x, double y, BYTE type) {
        out_.points.push_back({Gdiplus::REAL(x), Gdiplus::REAL(y)});
        out_.types.push_back(type);
    }
    // A drawing command after a close starts a new figure at the closed figure's start.
    void EnsureFigure() {
        if (open_) return;
        DropLoneStart();
        figureStart_ = out_.points.size();
        Push(cx_, cy_, Gdiplus::PathPointTypeStart);
        open_ = true;
    }
    void DropLoneStart() {
        if (!out_.points.empty() && out_.points.size() - figureStart_ == 1) {
            out_.points.pop_back();
            out_.types.pop_back();
        }
    }

    PathData& out_;
    size_t figureStart_ = 0;
    double cx_ = 0, cy_ = 0, sx_ = 0, sy_ = 0;
    bool open_ = false;
};

bool ParseFlag(std::string_view s, size_t& i, bool& flag) noexcept {
    SkipCommaWsp(s, i);
    if (i < s.size() && (s[i] == '0' || s[i] == '1')) { flag = s[i++] == '1'; return true; }
    return false;
}

// Path data; as SVG asks, everything up to the first error is drawn.
void ParsePathData(std::string_view s, PathData& out) {
    PathBuilder b(out);
    size_t i = 0;
    char cmd = 0;
    double lastCx = 0, lastCy = 0;  // reflected control point for S and T
    char prev = 0;
    bool started = false;
    for (;;) {
        SkipWsp(s, i);
        if (i >= s.size()) break;
        char c = s[i];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            cmd = c;
            ++i;
        } else if (!cmd || cmd == 'z' || cmd == 'Z') {
            break;  // numbers without a command
        }
        if (!started && cmd != 'M' && cmd != 'm') break;  // data must begin with a move
        started = true;
        bool rel = cmd >= 'a' && cmd <= 'z';
        double ox = rel ? b.X() : 0, oy = rel ? b.Y() : 0;
        char up = char(rel ? cmd - 32 : cmd);
        double v[7], x1, y1;
        // The first control point of a smooth curve: the last one mirrored, or the current point.
        auto Reflect = [&](bool follows, double& x, double& y) {
            x = follows ? 2 * b.X() - lastCx : b.X();
            y = follows ? 2 * b.Y() - lastCy : b.Y();
        };
        auto nums = [&](int n) {
            for (int k = 0; k < n; ++k) {
                SkipCommaWsp(s, i);
                if (!ParseNumber(s, i, v[k])) return false;
            }
            return true;
        };
        bool ok = true;
        switch (up) {
            case 'M':
                if (!(ok = nums(2))) break;
                b.MoveTo(ox + v[0], oy + v[1]);
                cmd = rel ? 'l' : 'L';  // further pairs are lines
                break;
            case 'L':
                if (!(ok = nums(2))) break;
                b.LineTo(ox + v[0], oy + v[1]);
                break;
            case 'H':
                if (!(ok = nums(1))) break;
                b.LineTo(ox + v[0], b.Y());
                break;
            case 'V':
                if (!(ok = nums(1))) break;
                b.LineTo(b.X(), oy + v[0]);
                break;
            case 'C':
                if (!(ok = nums(6))) break;
                b.CubicTo(ox + v[0], oy + v[1], ox + v[2], oy + v[3], ox + v[4], oy + v[5]);
                lastCx = ox + v[2];
                lastCy = oy + v[3];
                break;
            case 'S':
                if (!(ok = nums(4))) break;
                Reflect(prev == 'C' || prev == 'S', x1, y1);
                b.CubicTo(x1, y1, ox + v[0], oy + v[1], ox + v[2], oy + v[3]);
                lastCx = ox + v[0];
                lastCy = oy + v[1];
                break;
            case 'Q':
                if (!(ok = nums(4))) break;
                b.QuadTo(ox + v[0], oy + v[1], ox + v[2], oy + v[3]);
                lastCx = ox + v[0];
                lastCy = oy + v[1];
                break;
            case 'T':
                if (!(ok = nums(2))) break;
                Reflect(prev == 'Q' || prev == 'T', x1, y1);
                b.QuadTo(x1, y1, ox + v[0], oy + v[1]);
                lastCx = x1;
                lastCy = y1;
                break;
            case 'A': {
                bool large = false, sweep = false;
                double end[2];
                ok = nums(3) && ParseFlag(s, i, large) && ParseFlag(s, i, sweep);
                for (int k = 0; ok && k < 2; ++k) {
                    SkipCommaWsp(s, i);
                    ok = ParseNumber(s, i, end[k]);
                }
                if (ok) b.ArcTo(v[0], v[1], v[2], large, sweep, ox + end[0], oy + end[1]);
                break;
            }
            case 'Z':
                b.Close();
                break;
            default:
                ok = false;
        }
        if (!ok) break;
        prev = up;
        SkipCommaWsp(s, i);
    }
    b.Finish();
}

// ---- styles --------------------------------------------------------------------------------------

enum class Cap { Butt, Round, Square };
enum class Join { Miter, Round, Bevel };

// Inherited properties, plus the element's own opacity (not inherited: groups draw as layers).
struct Style {
    Paint fill{false, 0};
    Paint stroke;
    double strokeWidth = 1;
    double fillOpacity = 1;
    double strokeOpacity = 1;
    bool evenOdd = false;
    Cap cap = Cap::Butt;
    Join join = Join::Miter;
    double opacity = 1;
};

double ParseOpacity(std::string_view v, double fallback) noexcept {
    size_t i = 0;
    double n;
    SkipWsp(v, i);
    if (!ParseNumber(v, i, n)) return fallback;
    if (i < v.size() && v[i] == '%') n /= 100;
    return std::clamp(n, 0.0, 1.0);
}

// One property, from an attribute or a style declaration; `inherit` and bad values keep the parent's.
void ApplyProperty(Style& st, std::string_view name, std::string_view value) {
    value = Trim(value);
    if (value == "inherit") return;
    if (name == "fill") ParsePaint(value, st.fill);
    else if (name == "stroke") ParsePaint(value, st.stroke);
    else if (name == "stroke-width") {
        std::string v(value);
        double w = ParseLength(&v, -1, Axis::Other, 0, 0);
        if (w >= 0) st.strokeWidth = w;
    } else if (name == "fill-opacity") st.fillOpacity = ParseOpacity(value, st.fillOpacity);
    else if (name == "stroke-opacity") st.strokeOpacity = ParseOpacity(value, st.strokeOpacity);
    else if (name == "opacity") st.opacity = ParseOpacity(value, st.opacity);
    else if (name == "fill-rule") {
        if (value == "evenodd") st.evenOdd = true;
        else if (value == "nonzero") st.evenOdd = false;
    } else if (name == "stroke-linecap") {
        if (value == "butt") st.cap = Cap::Butt;
        else if (value == "round") st.cap = Cap::Round;
        else if (value == "square") st.cap = Cap::Square;
    } else if (name == "stroke-linejoin") {
        if (value == "miter") st.join = Join::Miter;
        else if (value == "round") st.join = Join::Round;
        else if (value == "bevel") st.join = Join::Bevel;
    }
}

// The element's style: the parent's inherited properties, then presentation attributes, then `style`.
Style ResolveStyle(const XmlElement& el, const Style& parent) {
    Style st = parent;
    st.opacity = 1;
    static constexpr std::string_view kProps[] = {"fill", "stroke", "stroke-width", "fill-opacity",
                                                  "stroke-opacity", "opacity", "fill-rule", "stroke-linecap",
                                                  "stroke-linejoin"};
    for (const auto& [name, value] : el.attributes)
        for (std::string_view p : kProps)
            if (name == p) ApplyProperty(st, name, value);
    if (const std::string* style = el.Find("style")) {
        std::string_view rest = *style;
        while (!rest.empty()) {
            size_t semi = rest.find(';');
            std::string_view decl = rest.substr(0, semi);
            rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
            size_t colon = decl.find(':');
            if (colon == std::string_view::npos) continue;
            std::string_view value = Trim(decl.substr(colon + 1));
            size_t bang = value.find("!important");
            if (bang != std::string_view::npos) value = Trim(value.substr(0, bang));
            ApplyProperty(st, Trim(decl.substr(0, colon)), value);
        }
    }
    return st;
}

}  // namespace

// ---- the document --------------------------------------------------------------------------------

// One step of drawing: a shape, or the start or end of a layer that is drawn apart and then laid
// over what is below at the layer's opacity.
struct SvgDocument::Shape {
    enum Kind { Draw, BeginLayer, EndLayer } kind = Draw;
    PathData path;   // user units
    Affine matrix;   // user units to the root's viewBox space
    Style style;     // style.opacity: the shape's own, or the layer's
};

namespace {

constexpr double kKappa = 0.5522847498307936;  // quarter-ellipse Bézier handle length

void AddEllipse(PathBuilder& b, double cx, double cy, double rx, double ry) {
    double kx = rx * kKappa, ky = ry * kKappa;
    b.MoveTo(cx + rx, cy);
    b.CubicTo(cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
    b.CubicTo(cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
    b.CubicTo(cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
    b.CubicTo(cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
    b.Close();
}

void AddPoints(PathBuilder& b, std::string_view s, bool close) {
    size_t i = 0;
    bool first = true;
    for (;;) {
        double x, y;
        SkipCommaWsp(s, i);
        if (!ParseNumber(s, i, x)) break;
        SkipCommaWsp(s, i);
        if (!ParseNumber(s, i, y)) break;  // an odd last number is dropped
        if (first) b.MoveTo(x, y);
        else b.LineTo(x, y);
        first = false;
    }
    if (close) b.Close();
}

// The geometry of a basic shape or path, in user units; false when the element draws nothing.
bool BuildGeometry(const XmlElement& el, std::string_view kind, double vw, double vh, PathData& out) {
    if (kind == "path") {
        if (const std::string* d = el.Find("d")) ParsePathData(*d, out);
        return !out.points.empty();
    }
    PathBuilder b(out);
    auto len = [&](const char* name, Axis axis, double fallback = 0) {
        return ParseLength(el.Find(name), fallback, axis, vw, vh);
    };
    if (kind == "rect") {
        double x = len("x", Axis::X), y = len("y", Axis::Y), w = len("width", Axis::X), h = len("height", Axis::Y);
        if (!(w > 0 && h > 0)) return false;
        double rx = len("rx", Axis::X, -1), ry = len("ry", Axis::Y, -1);
        if (rx < 0 && ry < 0) rx = ry = 0;
        else if (rx < 0) rx = ry;
        else if (ry < 0) ry = rx;
        rx = std::min(rx, w / 2);
        ry = std::min(ry, h / 2);
        if (rx <= 0 || ry <= 0) {
            b.MoveTo(x, y);
            b.LineTo(x + w, y);
            b.LineTo(x + w, y + h);
            b.LineTo(x, y + h);
        } else {
            double kx = rx * kKappa, ky = ry * kKappa;
            b.MoveTo(x + rx, y);
            b.LineTo(x + w - rx, y);
            b.CubicTo(x + w - rx + kx, y, x + w, y + ry - ky, x + w, y + ry);
            b.LineTo(x + w, y + h - ry);
            b.CubicTo(x + w, y + h - ry + ky, x + w - rx + kx, y + h, x + w - rx, y + h);
            b.LineTo(x + rx, y + h);
            b.CubicTo(x + rx - kx, y + h, x, y + h - ry + ky, x, y + h - ry);
            b.LineTo(x, y + ry);
            b.CubicTo(x, y + ry - ky, x + rx - kx, y, x + rx, y);
        }
        b.Close();
    } else if (kind == "circle") {
        double r = len("r", Axis::Other);
        if (!(r > 0)) return false;
        AddEllipse(b, len("cx", Axis::X), len("cy", Axis::Y), r, r);
    } else if (kind == "ellipse") {
        double rx = len("rx", Axis::X, -1), ry = len("ry", Axis::Y, -1);
        if (rx < 0) rx = ry;
        if (ry < 0) ry = rx;
        if (!(rx > 0 && ry > 0)) return false;
        AddEllipse(b, len("cx", Axis::X), len("cy", Axis::Y), rx, ry);
    } else if (kind == "line") {
        b.MoveTo(len("x1", Axis::X), len("y1", Axis::Y));
        b.LineTo(len("x2", Axis::X), len("y2", Axis::Y));
    } else if (kind == "polyline" || kind == "polygon") {
        if (const std::string* pts = el.Find("points")) AddPoints(b, *pts, kind == "polygon");
    } else {
        return false;
    }
    b.Finish();
    return !out.points.empty();
}

// A viewBox of four numbers with a positive size.
bool ParseViewBox(const std::string* attr, double v[4]) noexcept {
    if (!attr) return false;
    size_t i = 0;
    for (int k = 0; k < 4; ++k) {
        SkipCommaWsp(*attr, i);
        if (!ParseNumber(*attr, i, v[k])) return false;
    }
    return v[2] > 0 && v[3] > 0;
}

Gdiplus::Color ToColor(const Paint& p, double alpha) {
    BYTE a = BYTE(std::lround(std::clamp(alpha, 0.0, 1.0) * 255));
    return Gdiplus::Color(a, BYTE(p.rgb >> 16), BYTE(p.rgb >> 8), BYTE(p.rgb));
}

}  // namespace

SvgDocument::SvgDocument() = default;
SvgDocument::~SvgDocument() = default;

std::unique_ptr<SvgDocument> SvgDocument::LoadFromData(std::string_view bytes) {
    std::unique_ptr<XmlElement> root = ParseXmlDocument(bytes);
    if (!root || root->LocalName() != "svg") return nullptr;
    std::unique_ptr<SvgDocument> doc(new SvgDocument());
    double vb[4];
    bool hasViewBox = ParseViewBox(root->Find("viewBox"), vb);
    if (hasViewBox && !(std::all_of(vb, vb + 4, [](double v) { return InFloatRange(v); }) && vb[2] >= FLT_MIN &&
                        vb[3] >= FLT_MIN))
        return nullptr;
    double w = ParseLength(root->Find("width"), -1, Axis::X, hasViewBox ? vb[2] : 0, hasViewBox ? vb[3] : 0);
    double h = ParseLength(root->Find("height"), -1, Axis::Y, hasViewBox ? vb[2] : 0, hasViewBox ? vb[3] : 0);
    if (!InFloatRange(w) || !InFloatRange(h)) return nullptr;
    if (hasViewBox) {
        doc->viewX_ = vb[0];
        doc->viewY_ = vb[1];
        doc->viewW_ = vb[2];
        doc->viewH_ = vb[3];
        if (w <= 0) w = vb[2];
        if (h <= 0) h = vb[3];
    } else if (w > 0 && h > 0) {
        doc->viewW_ = w;
        doc->viewH_ = h;
    }
    doc->width_ = std::max(w, 0.0);
    doc->height_ = std::max(h, 0.0);
    double vw = doc->viewW_ > 0 ? doc->viewW_ : 100, vh = doc->viewH_ > 0 ? doc->viewH_ : 100;

    // Walk the tree without recursion: containers push their children with their style and
    // transform, and a container at partial opacity also pushes the end of its layer.
    struct Item {
        const XmlElement* el;  // null: the end of a layer
        Style style;
        Affine matrix;
    };
    auto marker = [](Shape::Kind kind, double opacity) {
        Shape s;
        s.kind = kind;
        s.style.opacity = opacity;
        return s;
    };
    std::vector<Item> stack{{root.get(), Style{}, Affine{}}};
    while (!stack.empty()) {
        Item item = std::move(stack.back());
        stack.pop_back();
        if (!item.el) {
            doc->shapes_.push_back(marker(Shape::EndLayer, 1));
            continue;
        }
        const XmlElement& el = *item.el;
        std::string_view kind = el.LocalName();
        bool group = kind == "g" || item.el == root.get();
        if (!group && kind != "path" && kind != "rect" && kind != "circle" && kind != "ellipse" && kind != "line" &&
            kind != "polyline" && kind != "polygon")
            continue;  // defs, gradients, text, nested documents...: not drawn
        Style st = ResolveStyle(el, item.style);
        if (st.opacity <= 0) continue;
        Affine m = item.matrix;
        if (const std::string* t = el.Find("transform")) m = m * ParseTransform(*t);
        if (!InFloatRange(m)) return nullptr;
        if (group) {
            if (el.children.empty()) continue;
            if (st.opacity < 1) {
                doc->shapes_.push_back(marker(Shape::BeginLayer, st.opacity));
                stack.push_back({nullptr, st, m});
            }
            for (auto it = el.children.rbegin(); it != el.children.rend(); ++it) stack.push_back({it->get(), st, m});
            continue;
        }
        Shape shape;
        if (!BuildGeometry(el, kind, vw, vh, shape.path)) continue;
        for (const Gdiplus::PointF& p : shape.path.points)
            if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return nullptr;
        shape.matrix = m;
        shape.style = st;
        // A shape with both paints is one picture: the fill must not show through the stroke.
        bool layered = st.opacity < 1 && !st.fill.none && !st.stroke.none && st.strokeWidth > 0;
        if (layered) {
            doc->shapes_.push_back(marker(Shape::BeginLayer, st.opacity));
            shape.style.opacity = 1;
        }
        doc->shapes_.push_back(std::move(shape));
        if (layered) doc->shapes_.push_back(marker(Shape::EndLayer, 1));
    }
    return doc;
}

std::unique_ptr<SvgDocument> SvgDocument::LoadFromFile(std::wstring_view path) {
    CVolMem bytes;
    if (path.empty() || !bytes.ReadWholeFile(path)) return nullptr;
    return LoadFromData(bytes.View());
}

SvgBitmap::SvgBitmap(int width, int height)
    : width_(width), height_(height), data_(size_t(width) * size_t(height) * 4) {}

void SvgBitmap::ConvertToRgba() noexcept {
    uint8_t* p = data_.data();
    for (size_t i = 0, n = data_.size(); i < n; i += 4) {
        uint32_t b = p[i], g = p[i + 1], r = p[i + 2], a = p[i + 3];
        if (a == 0) {
            r = g = b = 0;
        } else if (a != 255) {
            r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
            g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
            b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
        }
        p[i] = uint8_t(r);
        p[i + 1] = uint8_t(g);
        p[i + 2] = uint8_t(b);
    }
}

namespace {

// Side of the sample grid per pixel: 8 x 8 for icons, fewer for large pictures so the canvas stays
// within about 16 MiB.
int SamplesPerSide(int width, int height) noexcept {
    constexpr double kBudget = 4.0 * 1024 * 1024;  // canvas pixels
    double fit = std::sqrt(kBudget / (double(width) * double(height)));
    return std::clamp(int(fit), 1, 8);
}

// Coordinates far outside any canvas are pulled in (and NaN dropped), so absurd numbers in a
// document cannot make the rasteriser work on huge areas.
constexpr double kFar = 1e5;
Gdiplus::PointF Sane(Gdiplus::PointF p) noexcept {
    auto pull = [](Gdiplus::REAL v) { return std::isnan(v) ? 0.0f : std::clamp(v, Gdiplus::REAL(-kFar), Gdiplus::REAL(kFar)); };
    return {pull(p.X), pull(p.Y)};
}

// Box filter of premultiplied pixels: the mean of each s x s block.
void Downsample(const uint8_t* src, int s, SvgBitmap& out) {
    const int w = out.Width(), h = out.Height(), srcStride = w * s * 4, n = s * s;
    std::vector<uint32_t> sums(size_t(w) * 4);
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int sy = 0; sy < s; ++sy) {
            const uint8_t* row = src + size_t(y * s + sy) * size_t(srcStride);
            for (int x = 0; x < w; ++x) {
                uint32_t* acc = &sums[size_t(x) * 4];
                for (int sx = 0; sx < s; ++sx, row += 4) {
                    acc[0] += row[0];
                    acc[1] += row[1];
                    acc[2] += row[2];
                    acc[3] += row[3];
                }
            }
        }
        uint8_t* dst = out.Data() + size_t(y) * size_t(out.Stride());
        for (size_t i = 0; i < sums.size(); ++i) dst[i] = uint8_t((sums[i] + uint32_t(n) / 2) / uint32_t(n));
    }
}

}  // namespace

namespace {

// A drawing surface over our own pixel memory (premultiplied B, G, R, A), so layers can be
// combined directly and the result read without a copy.
struct Canvas {
    std::vector<uint8_t> pixels;
    std::unique_ptr<Gdiplus::Bitmap> bitmap;
    std::unique_ptr<Gdiplus::Graphics> graphics;
    double opacity = 1;

    bool Open(int w, int h) {
        pixels.assign(size_t(w) * size_t(h) * 4, 0);
        bitmap = std::make_unique<Gdiplus::Bitmap>(w, h, w * 4, PixelFormat32bppPARGB, pixels.data());
        if (bitmap->GetLastStatus() != Gdiplus::Ok) return false;
        graphics = std::make_unique<Gdiplus::Graphics>(bitmap.get());
        if (graphics->GetLastStatus() != Gdiplus::Ok) return false;
        graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        graphics->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);  // pixel centres at .5, as SVG has them
        return true;
    }
    // Finishes drawing; the pixels are final afterwards.
    void Close() {
        if (graphics) graphics->Flush(Gdiplus::FlushIntentionSync);
        graphics.reset();
        bitmap.reset();
    }
};

// Source-over of a layer at an opacity, premultiplied.
void Composite(const std::vector<uint8_t>& src, double opacity, std::vector<uint8_t>& dst) {
    const uint32_t o = uint32_t(std::lround(std::clamp(opacity, 0.0, 1.0) * 255));
    for (size_t i = 0; i < dst.size(); i += 4) {
        uint32_t a = (src[i + 3] * o + 127) / 255;
        if (a == 0) continue;
        for (size_t k = 0; k < 4; ++k) {
            uint32_t s = (src[i + k] * o + 127) / 255;
            dst[i + k] = uint8_t(std::min<uint32_t>(255, s + (dst[i + k] * (255 - a) + 127) / 255));
        }
    }
}

}  // namespace

SvgBitmap SvgDocument::RenderToBitmap(int width, int height, uint32_t backgroundRgba) const {
    constexpr int kMaxSide = 16384;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return {};
    // Edges are anti-aliased by drawing on a finer grid and averaging: GDI+ under Wine draws
    // aliased whatever the smoothing mode, and on Windows the grid only refines its own smoothing.
    const int s = SamplesPerSide(width, height), cw = width * s, ch = height * s;
    std::vector<std::unique_ptr<Canvas>> layers;
    layers.push_back(std::make_unique<Canvas>());
    if (!layers.back()->Open(cw, ch)) return {};
    {
        Gdiplus::Graphics& g = *layers.back()->graphics;
        g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        g.Clear(Gdiplus::Color(BYTE(backgroundRgba), BYTE(backgroundRgba >> 24), BYTE(backgroundRgba >> 16),
                               BYTE(backgroundRgba >> 8)));
        g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    }
    Affine view{double(s), 0, 0, double(s), 0, 0};
    if (viewW_ > 0 && viewH_ > 0) {
        view.a = cw / viewW_;
        view.d = ch / viewH_;
        view.e = -viewX_ * view.a;
        view.f = -viewY_ * view.d;
        if (!InFloatRange(view)) return {};
    }
    std::vector<Gdiplus::PointF> pts;
    for (const Shape& shape : shapes_) {
        const Style& st = shape.style;
        if (shape.kind == Shape::BeginLayer) {
            layers.push_back(std::make_unique<Canvas>());
            layers.back()->opacity = st.opacity;
            if (!layers.back()->Open(cw, ch)) return {};
            continue;
        }
        if (shape.kind == Shape::EndLayer) {
            if (layers.size() < 2) continue;
            std::unique_ptr<Canvas> top = std::move(layers.back());
            layers.pop_back();
            top->Close();
            layers.back()->graphics->Flush(Gdiplus::FlushIntentionSync);
            Composite(top->pixels, top->opacity, layers.back()->pixels);
            continue;
        }
        Gdiplus::Graphics& g = *layers.back()->graphics;
        bool fill = !st.fill.none && st.fillOpacity * st.opacity > 0;
        bool stroke = !st.stroke.none && st.strokeWidth > 0 && st.strokeOpacity * st.opacity > 0;
        if (!fill && !stroke) continue;
        // GDI+ draws in user units under the shape's matrix, so strokes widen as SVG has them under
        // uneven scales and skews. Points are bounded in device space first.
        Affine m = view * shape.matrix;
        double det = m.a * m.d - m.b * m.c;
        if (!(std::fabs(det) > 1e-12)) continue;  // flattened to nothing
        Affine inv{m.d / det, -m.b / det, -m.c / det, m.a / det, (m.c * m.f - m.d * m.e) / det,
                   (m.b * m.e - m.a * m.f) / det};
        if (!InFloatRange(m) || !InFloatRange(inv) || !std::isfinite(det)) continue;
        pts.resize(shape.path.points.size());
        bool finite = true;
        for (size_t i = 0; i < pts.size(); ++i) {
            Gdiplus::PointF d = Sane(m.Apply(shape.path.points[i].X, shape.path.points[i].Y));
            pts[i] = inv.Apply(d.X, d.Y);
            finite = finite && std::isfinite(pts[i].X) && std::isfinite(pts[i].Y);
        }
        if (!finite) continue;
        Gdiplus::Matrix transform(Gdiplus::REAL(m.a), Gdiplus::REAL(m.b), Gdiplus::REAL(m.c), Gdiplus::REAL(m.d),
                                  Gdiplus::REAL(m.e), Gdiplus::REAL(m.f));
        g.SetTransform(&transform);
        Gdiplus::GraphicsPath path(pts.data(), shape.path.types.data(), INT(pts.size()),
                                   st.evenOdd ? Gdiplus::FillModeAlternate : Gdiplus::FillModeWinding);
        if (fill) {
            Gdiplus::SolidBrush brush(ToColor(st.fill, st.fillOpacity * st.opacity));
            g.FillPath(&brush, &path);
        }
        if (stroke) {
            Gdiplus::Pen pen(ToColor(st.stroke, st.strokeOpacity * st.opacity),
                             Gdiplus::REAL(std::min(st.strokeWidth, kFar / std::sqrt(std::fabs(det)))));
            Gdiplus::LineCap cap = st.cap == Cap::Round    ? Gdiplus::LineCapRound
                                   : st.cap == Cap::Square ? Gdiplus::LineCapSquare
                                                           : Gdiplus::LineCapFlat;
            pen.SetLineCap(cap, cap, Gdiplus::DashCapFlat);
            pen.SetLineJoin(st.join == Join::Round   ? Gdiplus::LineJoinRound
                            : st.join == Join::Bevel ? Gdiplus::LineJoinBevel
                                                     : Gdiplus::LineJoinMiterClipped);
            pen.SetMiterLimit(4);  // SVG's default
            g.DrawPath(&pen, &path);
        }
    }
    Canvas& base = *layers.front();
    base.Close();
    SvgBitmap out(width, height);
    if (s == 1) std::memcpy(out.Data(), base.pixels.data(), base.pixels.size());
    else Downsample(base.pixels.data(), s, out);
    return out;
}

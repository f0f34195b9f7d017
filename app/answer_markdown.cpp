#include "app/answer_markdown.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// Each marker becomes one unit before the scan, in this order (so "#### " is "#" and a heading).
constexpr wchar_t kFence = 29, kBoldMark = 31, kHeading3Mark = 30, kHeading2Mark = 1, kThinkStart = 2,
                  kThinkEnd = 3;
constexpr wchar_t kDoubleBackslashStandIn[] = L"[2个斜杠]";

const AnswerSegmentStyle kStyles[] = {
    {11, 0xC06000, 0, 5},                   // plain
    {9, 0x000080, 0, 15},                   // code block
    {11, 0x606060, kSegmentStyleItalic, 5}, // inline code
    {11, 0xC06000, kSegmentStyleBold, 5},   // bold
    {13, 0xC06000, kSegmentStyleBold, 5},   // "###" heading
    {12, 0x808000, kSegmentStyleBold, 5},   // "##" heading
    {11, 0x808080, 0, 15},                  // think block
};

wchar_t AsciiLower(wchar_t c) noexcept { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

// The answer as the scan sees it: one unit per character of the answer, except that a marker's
// whole text is one unit. Which units are markers is kept apart from the characters, so control
// characters the model wrote itself are never taken for markers, and code can be cut from the
// answer exactly as written.
struct MarkedText {
    CWString units;
    std::vector<uint8_t> marker;   // 1: units[i] is a marker code
    std::vector<int32_t> source;   // where unit i starts in the answer; one more entry for its end

    explicit MarkedText(std::wstring_view answer) : units(answer), marker(answer.size(), 0), source(answer.size() + 1) {
        for (size_t i = 0; i < source.size(); ++i) source[i] = int32_t(i);
    }
    int Length() const noexcept { return units.GetLength(); }
    bool IsMarker(int i, wchar_t code) const noexcept { return marker[size_t(i)] && units[size_t(i)] == code; }
    bool IsBacktick(int i) const noexcept { return !marker[size_t(i)] && units[size_t(i)] == L'`'; }

    // Every occurrence of text among the answer's own units, left to right and without overlap,
    // ASCII case ignored, becomes one marker unit.
    void Mark(std::wstring_view text, wchar_t code) {
        const size_t n = units.size(), m = text.size();
        auto matchesAt = [&](size_t i) {
            if (i + m > n) return false;
            for (size_t k = 0; k < m; ++k)
                if (marker[i + k] || AsciiLower(units[i + k]) != AsciiLower(text[k])) return false;
            return true;
        };
        size_t i = 0;
        while (i < n && !matchesAt(i)) ++i;
        if (i == n) return;
        CWString u;
        std::vector<uint8_t> mk;
        std::vector<int32_t> src;
        u.reserve(n);
        mk.reserve(n);
        src.reserve(n + 1);
        u.append(units, 0, i);
        mk.assign(marker.begin(), marker.begin() + std::ptrdiff_t(i));
        src.assign(source.begin(), source.begin() + std::ptrdiff_t(i));
        while (i < n) {
            if (matchesAt(i)) {
                u += code;
                mk.push_back(1);
                src.push_back(source[i]);
                i += m;
            } else {
                u += units[i];
                mk.push_back(marker[i]);
                src.push_back(source[i]);
                ++i;
            }
        }
        src.push_back(source[n]);
        units.swap(u);
        marker.swap(mk);
        source.swap(src);
    }
};

// Single backslashes are markdown escapes and go; a doubled one is meant and stays.
CWString DropEscapes(std::wstring_view t) {
    const std::wstring_view standIn = kDoubleBackslashStandIn;
    CWString out;
    out.reserve(t.size());
    size_t i = 0;
    while (i < t.size()) {
        if (t.substr(i, standIn.size()) == standIn) {
            out += L"\\\\";
            i += standIn.size();
        } else if (t[i] == L'\\') {
            size_t k = 0;
            while (i + k < t.size() && t[i + k] == L'\\') ++k;
            out.append(k / 2 * 2, L'\\');
            i += k;
        } else {
            out += t[i++];
        }
    }
    return out;
}

// The last unit that is still there once the escapes go: a final odd backslash goes.
int LastKeptUnit(const CWString& t) {
    int k = 0;
    while (k < t.GetLength() && t[t.size() - 1 - size_t(k)] == L'\\') ++k;
    return t.GetLength() - 1 - (k % 2);
}

// count units from start, both ends clamped to the text; a non-positive count gives nothing.
std::wstring_view Slice(const CWString& t, int start, int count) {
    const int length = t.GetLength();
    int a = std::clamp(start, 0, length);
    int b = count <= 0 ? a : std::clamp(start + count, 0, length);
    return std::wstring_view(t).substr(size_t(a), size_t(b - a));
}

// The first index at or after a query where a condition holds, -1 for none. Queries never go
// back, so a search starts where the last one ended and the whole scan stays linear.
class ForwardSearch {
public:
    template <class Test>
    int Find(int from, int length, Test test) {
        if (from >= from_ && (found_ < 0 || from <= found_) && found_ != kUnset) return found_;
        from_ = from;
        found_ = -1;
        for (int i = from; i < length; ++i)
            if (test(i)) {
                found_ = i;
                break;
            }
        return found_;
    }

private:
    static constexpr int kUnset = -2;
    int from_ = 0;
    int found_ = kUnset;
};

}  // namespace

const AnswerSegmentStyle& GetAnswerSegmentStyle(int32_t type) noexcept {
    return (type >= 0 && type < int32_t(std::size(kStyles))) ? kStyles[type] : kStyles[kSegmentPlain];
}

CWString PrepareSegmentText(bool& trimNext, std::wstring_view text) {
    CWString copy(text);
    if (trimNext) {
        copy.TrimLeft();
        trimNext = false;
    }
    return copy;
}

void SplitMarkdownSegments(std::wstring_view answer, CMStringArray& segmentTexts, rg_ZhengShuShuZuLei& segmentTypes) {
    MarkedText m(answer);
    const struct { const wchar_t* text; wchar_t code; } kMarkers[] = {
        {L"```", kFence},        {L"**", kBoldMark},       {L"### ", kHeading3Mark},  {L"## ", kHeading2Mark},
        {L"###", kHeading3Mark}, {L"##", kHeading2Mark},   {L"<think>", kThinkStart}, {L"</think>", kThinkEnd},
    };
    for (const auto& k : kMarkers) m.Mark(k.text, k.code);

    const CWString& t = m.units;
    const int length = m.Length();
    const int last = LastKeptUnit(t);
    int u = 0;  // start of the pending text
    bool inlineCode = false, bold = false, heading3 = false, heading2 = false, code = false, think = false;
    bool trimNext = false;
    int headingMark = -1;  // where the open heading's marker is
    ForwardSearch lineFeeds, inlineEnds;

    auto emit = [&](const CWString& text, int type) {
        segmentTexts.push_back(PrepareSegmentText(trimNext, text));
        segmentTypes.push_back(type);
    };
    // Code is cut from the answer as written: markers and backslashes in it are the code's own.
    auto written = [&](int start, int count) {
        const std::wstring_view units = Slice(t, start, count);
        if (units.empty()) return CWString();
        const size_t a = size_t(start < 0 ? 0 : start);
        const int32_t from = m.source[a], to = m.source[a + units.size()];
        return CWString(answer.substr(size_t(from), size_t(to - from)));
    };
    auto appendTrimmed = [&](std::wstring_view units, int type, std::wstring_view suffix) {
        CWString text = DropEscapes(units);
        text.TrimAll();
        if (text.empty()) return;
        segmentTexts.push_back(text + CWString(suffix));
        segmentTypes.push_back(type);
    };
    // Where the pending text's first line ends (a fence's language tag, a think tag's line).
    auto firstLineEnd = [&] {
        const int p = lineFeeds.Find(u, length, [&](int i) { return t[size_t(i)] == L'\n'; });
        return p < 0 ? u : p;
    };
    // A backtick opens inline code only when its partner comes before the next fence; a lone one is text.
    auto closesInline = [&](int i) {
        const int p = inlineEnds.Find(i + 1, length, [&](int j) { return m.IsBacktick(j) || m.IsMarker(j, kFence); });
        return p >= 0 && m.IsBacktick(p);
    };
    // The open heading's text before i: it starts after the marker, or where bold text or inline
    // code inside the heading ended.
    auto headingText = [&](int i) {
        const int from = u == headingMark ? u + 1 : u;
        return DropEscapes(Slice(t, from, i - from));
    };
    // Text pending before bold text or inline code: a heading's own, when one is open.
    auto emitBefore = [&](int i) {
        if (heading3 || heading2) emit(headingText(i), heading3 ? kSegmentHeading3 : kSegmentHeading2);
        else emit(DropEscapes(Slice(t, u, i - u)), kSegmentPlain);
    };

    for (int i = 0; i < length; ++i) {
        const wchar_t c = m.marker[size_t(i)] ? t[size_t(i)] : (t[size_t(i)] == L'`' ? L'`' : wchar_t(0xFFFF));
        if (inlineCode && c != L'`') continue;  // inline code is the code's own text up to its closing backtick
        const bool tick = c == L'`';
        const bool toggle = tick || c == kBoldMark;
        const bool heading = c == kHeading3Mark || c == kHeading2Mark;
        // A marker inside a code or think block is only text of that block; think tags inside code
        // too, or the code after them would be lost.
        const bool thinkTag = c == kThinkStart || c == kThinkEnd;
        if (((toggle || heading) && (code || think)) || (thinkTag && code)) {
            inlineCode = bold = heading3 = heading2 = false;
            if (think) code = false;
        } else if (tick && inlineCode) {
            emit(written(u + 1, i - u - 1), kSegmentInlineCode);
            u = i + 1;
            inlineCode = false;
        } else if (tick && closesInline(i)) {
            emitBefore(i);
            u = i;
            inlineCode = true;
        } else if (c == kBoldMark) {
            if (bold) {
                emit(DropEscapes(Slice(t, u + 1, i - u - 1)), kSegmentBold);
                u = i + 1;
            } else {
                emitBefore(i);
                u = i;
            }
            bold = !bold;
        } else if (heading) {
            emit(DropEscapes(Slice(t, u, i - u)), kSegmentPlain);
            u = i;
            headingMark = i;
            (c == kHeading3Mark ? heading3 : heading2) = true;
        } else if (t[size_t(i)] == L'\n' && (heading3 || heading2)) {
            // The heading keeps its line feed; with both open, the "###" one closes.
            emit(headingText(i + 1), heading3 ? kSegmentHeading3 : kSegmentHeading2);
            u = i + 1;
            (heading3 ? heading3 : heading2) = false;
        } else if (c == kFence) {
            if (think) continue;
            if (code) {
                const int p = firstLineEnd();
                emit(written(p + 1, i - p - 1), kSegmentCode);
                u = i + 1;
            } else {
                emit(DropEscapes(Slice(t, u, i - u)), kSegmentPlain);
                u = i;
            }
            code = !code;
        } else if (c == kThinkStart) {
            appendTrimmed(Slice(t, u, i - u), kSegmentPlain, L"");
            u = i;
            think = true;
        } else if (c == kThinkEnd) {
            // The reply after a think block starts with blank lines that are not part of it.
            trimNext = true;
            const int p = firstLineEnd();
            appendTrimmed(Slice(t, p + 1, i - p - 1), kSegmentThink, L"\n\n");
            think = false;
            u = i + 1;
        } else if (i == last && u < length) {
            const std::wstring_view rest = Slice(t, u, length - u);
            emit(code ? CWString(rest) : DropEscapes(rest), kSegmentPlain);
        }
    }
}

CWString CollectCodeText(const CMStringArray& segmentTexts, const rg_ZhengShuShuZuLei& segmentTypes) {
    CWString code;
    bool first = true;
    for (size_t i = 0; i < segmentTexts.size() && i < segmentTypes.size(); ++i) {
        if (segmentTypes[i] != kSegmentCode) continue;
        if (!first) code += L"\r\n";
        code += segmentTexts[i];
        first = false;
    }
    return code;
}

#include "app/answer_markdown.h"

#include <algorithm>
#include <iterator>

#include "util/text_helpers.h"

namespace {

// Each marker becomes one control unit before the scan; longer markers go first.
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

// Single backslashes are markdown escapes and go; a doubled one is meant and stays.
void DropEscapes(CWString& t) {
    ReplaceAllFast(t, L"\\\\", kDoubleBackslashStandIn);
    ReplaceAllFast(t, L"\\", L"");
    ReplaceAllFast(t, kDoubleBackslashStandIn, L"\\\\");
}

// Escapes go outside code only: code blocks and inline code keep their text as written (Windows
// paths, regular expressions). The code and inline-code states follow the scan's rules.
CWString DropEscapesOutsideCode(const CWString& t) {
    CWString out, run;
    bool code = false, inlineCode = false, think = false;
    for (wchar_t c : t) {
        const bool marker = c == L'`' || c == kBoldMark || c == kHeading3Mark || c == kHeading2Mark;
        const bool thinkTag = c == kThinkStart || c == kThinkEnd;
        if ((marker && (code || think)) || (thinkTag && code)) {
            inlineCode = false;
            if (think) code = false;
        } else if (c == L'`') {
            inlineCode = !inlineCode;
        } else if (c == kFence) {
            if (!think) code = !code;
        } else if (thinkTag) {
            think = c == kThinkStart;
        }
        if (code || inlineCode) {
            DropEscapes(run);
            out += run;
            run.clear();
            out += c;
        } else {
            run += c;
        }
    }
    DropEscapes(run);
    return out + run;
}

CWString PrepareMarkers(std::wstring_view answer) {
    CWString t(answer);
    const struct { const wchar_t* marker; wchar_t unit; } kMarkers[] = {
        {L"```", kFence},         {L"**", kBoldMark},        {L"### ", kHeading3Mark}, {L"## ", kHeading2Mark},
        {L"###", kHeading3Mark},  {L"##", kHeading2Mark},    {L"<think>", kThinkStart}, {L"</think>", kThinkEnd},
    };
    for (const auto& m : kMarkers) ReplaceAllFast(t, m.marker, std::wstring_view(&m.unit, 1));
    return DropEscapesOutsideCode(t);
}

// count units from start, both ends clamped to the text; a non-positive count gives nothing.
CWString Slice(const CWString& t, int start, int count) {
    const int length = t.GetLength();
    int a = std::clamp(start, 0, length);
    int b = count <= 0 ? a : std::clamp(start + count, 0, length);
    return b > a ? CWString(t.substr(size_t(a), size_t(b - a))) : CWString();
}

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
    const CWString t = PrepareMarkers(answer);
    const int length = t.GetLength();
    int u = 0;  // start of the pending text
    bool inlineCode = false, bold = false, heading3 = false, heading2 = false, code = false, think = false;
    bool trimNext = false;

    auto emit = [&](const CWString& text, int type) {
        segmentTexts.push_back(PrepareSegmentText(trimNext, text));
        segmentTypes.push_back(type);
    };
    auto appendTrimmed = [&](CWString text, int type, std::wstring_view suffix) {
        text.TrimAll();
        if (text.empty()) return;
        segmentTexts.push_back(text + CWString(suffix));
        segmentTypes.push_back(type);
    };
    // Where the pending text's first line ends (a fence's language tag, a think tag's line).
    auto firstLineEnd = [&] {
        int p = t.FindText(L"\n", u);
        return p < 0 ? u : p;
    };

    for (int i = 0; i < length; ++i) {
        const wchar_t c = t[size_t(i)];
        bool* toggled = c == L'`' ? &inlineCode : c == kBoldMark ? &bold : nullptr;
        const bool heading = c == kHeading3Mark || c == kHeading2Mark;
        // A marker inside a code or think block is only text of that block; think tags inside code
        // too, or the code after them would be lost.
        const bool thinkTag = c == kThinkStart || c == kThinkEnd;
        if (((toggled || heading) && (code || think)) || (thinkTag && code)) {
            inlineCode = bold = heading3 = heading2 = false;
            if (think) code = false;
        } else if (toggled) {
            if (*toggled) {
                emit(Slice(t, u + 1, i - u - 1), c == L'`' ? kSegmentInlineCode : kSegmentBold);
                u = i + 1;
            } else {
                emit(Slice(t, u, i - u), kSegmentPlain);
                u = i;
            }
            *toggled = !*toggled;
        } else if (heading) {
            emit(Slice(t, u, i - u), kSegmentPlain);
            u = i;
            (c == kHeading3Mark ? heading3 : heading2) = true;
        } else if (c == L'\n' && (heading3 || heading2)) {
            // The heading keeps its line feed; with both open, the "###" one closes.
            emit(Slice(t, u + 1, i - u), heading3 ? kSegmentHeading3 : kSegmentHeading2);
            u = i + 1;
            (heading3 ? heading3 : heading2) = false;
        } else if (c == kFence) {
            if (think) continue;
            if (code) {
                const int p = firstLineEnd();
                emit(Slice(t, p + 1, i - p - 1), kSegmentCode);
                u = i + 1;
            } else {
                emit(Slice(t, u, i - u), kSegmentPlain);
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
        } else if (i == length - 1 && u < length) {
            emit(Slice(t, u, length - u), kSegmentPlain);
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

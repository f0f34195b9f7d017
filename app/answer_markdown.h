// A model's answer cut into typed segments for the chat transcript: the small part of markdown that
// answers use (fenced code, inline code, bold, "###" and "##" headings) and the think blocks that
// reasoning models put in front of their answer. Pure text work: no window is touched.
#pragma once
#include <cstdint>

#include "platform/containers.h"
#include "platform/text.h"
#include "platform/win.h"

enum AnswerSegmentType : int32_t {
    kSegmentPlain = 0,
    kSegmentCode = 1,
    kSegmentInlineCode = 2,
    kSegmentBold = 3,
    kSegmentHeading3 = 4,  // written "###": drawn larger than "##"
    kSegmentHeading2 = 5,
    kSegmentThink = 6,
};

inline constexpr int32_t kSegmentStyleBold = 1;
inline constexpr int32_t kSegmentStyleItalic = 2;
inline constexpr wchar_t kAnswerFontFace[] = L"微软雅黑";

// How the transcript shows one segment type. indent is in points before ScaleByDpi.
struct AnswerSegmentStyle {
    int32_t pointSize;
    COLORREF colour;  // 0x00BBGGRR
    int32_t styleBits;
    int32_t indent;
};
// The style of a segment type; plain text's for a type outside the table.
const AnswerSegmentStyle& GetAnswerSegmentStyle(int32_t type) noexcept;

// Appends one (text, type) entry per segment, in the order of the answer. Code blocks and inline
// code keep their text exactly as the answer has it; control characters in the answer are text.
void SplitMarkdownSegments(std::wstring_view answer, CMStringArray& segmentTexts, rg_ZhengShuShuZuLei& segmentTypes);
// A copy of text; when trimNext is set the copy loses its leading blanks and trimNext is cleared.
CWString PrepareSegmentText(bool& trimNext, std::wstring_view text);
// The code blocks among the segments, joined by "\r\n": what "复制代码" copies.
CWString CollectCodeText(const CMStringArray& segmentTexts, const rg_ZhengShuShuZuLei& segmentTypes);

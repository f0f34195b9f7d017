// Walks a text line by line. Set `text`, call BeginLines, then ReadLine while position <= lastIndex.
#pragma once
#include <cstdint>

#include "platform/object.h"

class rg_DrenvikDouRuYiHangLei : public CVolObject {
    VOL_CLASS(rg_DrenvikDouRuYiHangLei, CVolObject, "drenvik::rg_DrenvikDouRuYiHangLei")
    VOL_MEMBERS(position, text, separator, lastIndex, separatorLength, separators, mixedMode, lineEnd, foundAt, spareText)

public:
    // An empty separator or "\r\n" detects the text's own: "\r\n", else "\r", else "\n".
    void BeginLines(std::wstring_view sep);
    // Reads the next line; `found`, when given, receives the separator that ended it (empty at the
    // text's end). Returns the new position.
    int32_t ReadLine(CWString& line, CWString* found = nullptr);

    int32_t position = 0;
    CWString text;
    CWString separator;
    int32_t lastIndex = 0;
    int32_t separatorLength = 0;
    rg_WenBenShuZuLei separators;  // mixed mode: a line ends at the earliest of these
    int32_t mixedMode = 0;
    int32_t lineEnd = 0;
    int32_t foundAt = 0;
    CWString spareText;
};

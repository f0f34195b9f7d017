#include "util/line_reader.h"

#include <algorithm>

void rg_DrenvikDouRuYiHangLei::BeginLines(std::wstring_view sep) {
    if (sep.empty() || sep == L"\r\n") {
        if (text.FindText(L"\r\n") >= 0) separator = L"\r\n";
        else if (text.FindText(L"\r") >= 0) separator = L"\r";
        else separator = L"\n";
    } else {
        separator = CWString(sep);
    }
    separatorLength = separator.GetLength();
    position = 0;
    mixedMode = 0;
    lastIndex = text.GetLength() - 1;
}

int32_t rg_DrenvikDouRuYiHangLei::ReadLine(CWString& line, CWString* found) {
    if (position > lastIndex) {
        line.clear();
        return position;
    }
    // A loaded reader may hold any numbers; it still starts inside its text and moves every time.
    if (position < 0) position = 0;
    int32_t e = -1;
    if (!mixedMode) {
        // The separator's own length, not a stored one: a stored 0 would never move past it.
        separatorLength = separator.GetLength();
        // A separator set directly to empty would match in place forever: treat it as absent.
        if (!separator.empty()) e = text.FindText(separator, position);
        if (found) *found = separator;
    } else {
        e = lastIndex + 1;
        for (const auto& s : separators) {
            if (s.empty()) continue;  // would end every line where it starts
            foundAt = text.FindText(s, position);
            if (foundAt != -1 && foundAt < e) {
                e = foundAt;
                separatorLength = s.GetLength();
                if (found) *found = s;
            }
        }
        if (e == lastIndex + 1) e = -1;
    }
    if (e == -1) {
        e = text.GetLength();
        if (found) found->clear();
    }
    lineEnd = e;
    line = text.Mid(position, e - position);
    // Nothing follows the last line, whatever a loaded lastIndex says.
    position = e == text.GetLength() ? std::max(e + separatorLength, lastIndex + 1) : e + separatorLength;
    return position;
}

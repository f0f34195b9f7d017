// Escape codecs: URL percent escapes, JSON/script string escapes, and backslash or HTML references.
#pragma once
#include <cstdint>

#include "platform/text.h"

// "%XX" escapes to UTF-8 bytes, other units to their own UTF-8, then the whole back to text.
void DecodePercentEscapes(CWString& text);
// With allUnits every unit becomes "\uXXXX"; otherwise quotes, backslash, "/", braces and brackets
// get a backslash, CR/LF/TAB become \r \n \t (CR LF gives one \n), and units >= 128 become "\uXXXX".
void EscapeForJsonInPlace(CWString& text, int32_t allUnits);
CWString EscapeForJson(std::wstring_view text, int32_t allUnits);
// Mode 0: backslash escapes and "\uXXXX"/"%uXXXX". Mode 1: HTML numeric and named references.
// Any other mode: HTML numeric references only.
void DecodeEscapes(CWString& text, int32_t mode);

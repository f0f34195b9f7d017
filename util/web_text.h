// Small text, path and charset helpers that web access, the HTML parser and URL resolution share.
#pragma once
#include "platform/containers.h"
#include "platform/mem.h"
#include "platform/text.h"

namespace kvweb {

// The text between the first start marker (from 0) and the next end marker; an empty end marker
// runs to the end of the text. Empty when a marker is missing.
CWString Between(std::wstring_view text, std::wstring_view start, std::wstring_view end, bool ignoreCase);
// Whether any keyword of a "|" list (trimmed, empty ones dropped) occurs in the text, ASCII case ignored.
bool ContainsAnyKeyword(std::wstring_view text, std::wstring_view keywords);
// Before / after the last separator ('/' or '\\'); the parent is empty and the leaf whole without one.
CWString ParentPath(std::wstring_view path, wchar_t separator);
CWString PathLeaf(std::wstring_view path, wchar_t separator);
// The text with one '/' at its end.
CWString WithTrailingSlash(std::wstring_view text);
// "%hh" escapes to bytes, the bytes read as UTF-8.
void DecodePercentEscapes(CWString& text);
// Bytes [start, start + count) clamped at the end; empty for a negative start or count or a start past the end.
CVolMem SubBytes(const CVolMem& block, long long start, long long count);

// The charset of a reply: byte-order mark, zero bytes, an HTML meta charset, the UTF-8 shape, else
// the ANSI code page's charset.
CWString DetectCharset(const CVolMem& bytes);
// Converts bytes of a charset to UTF-16LE in place; false (and an empty block) for an unknown charset.
bool ConvertToUtf16(CVolMem& bytes, std::wstring_view charset);

// A text value under HKEY_CURRENT_USER; empty when absent.
CWString ReadUserRegistryText(std::wstring_view subkey, std::wstring_view valueName);

}  // namespace kvweb

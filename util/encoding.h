// Naming, detecting and converting the byte encodings of text. Texts stay UTF-16 inside the
// program; these functions sit where bytes come from files and the network or go to them.
// "UTF-16LE bytes" means little-endian code units without terminator or byte-order mark.
#pragma once
#include <cstdint>

#include "platform/mem.h"
#include "platform/text.h"

// "\r\n" and then one "code page,charset,description\r\n" line per known code page.
extern const CWString gCodePageList;

// The byte-order mark of "UTF-8", "UTF-16"/"UTF-16LE" or "UTF-16BE"; empty for other names.
CVolMem GetBomBytes(std::wstring_view name);
// 1 when the bytes are not all ASCII and hold more well-formed 2- and 3-byte sequences than stray bytes.
int32_t LooksLikeUtf8(const CVolMem& bytes) noexcept;
// The listed charset name of a code page, upper-cased; empty when not listed.
CWString GetCharsetNameForCodePage(int32_t codePage);
// The charset declared by the page's first <meta> tag that declares one, as written; empty when none.
CWString GetHtmlMetaCharset(std::wstring_view page);
// The encoding name from the byte-order mark (bomLength then receives 3 or 2), zero bytes, an HTML
// page's meta charset, the UTF-8 heuristic, the default name, the ANSI charset name, or "GBK".
CWString DetectTextEncoding(const CVolMem& bytes, int32_t isHtml, int32_t& bomLength, std::wstring_view defaultName);
// 1 when the item equals one trimmed, non-empty piece of the list.
int32_t ListContains(std::wstring_view item, std::wstring_view list, std::wstring_view separators);

// In-place converters; each stops at the first zero byte or zero unit of its input.
void SwapUtf16ByteOrder(CVolMem& data);
void AnsiToUtf16Bytes(CVolMem& data);
void Utf8ToUtf16Bytes(CVolMem& data);
void Utf16ToAnsiBytes(CVolMem& data);
void Utf16ToUtf8Bytes(CVolMem& data);

// Converts data from `source` to `target` after dropping its first `skip` bytes. "ANSI" names are
// rewritten in place to the charset actually used and "UTF8" to "UTF-8". A charset that cannot be
// converted leaves data empty.
void ConvertEncoding(CVolMem& data, CWString& source, CWString& target, int32_t skip, std::wstring_view ansiCharset);
// Makes data (or the file at `path` when one is given) UTF-16LE bytes. An empty `encoding` is
// detected and written back; `hadMark` tells whether a byte-order mark was dropped; `rawCopy`
// receives the file's bytes.
void DecodeBytesToUtf16(CVolMem& data, std::wstring_view path, CWString& encoding, bool& hadMark,
                        CVolMem* rawCopy, std::wstring_view ansiCharset);
// The text of the file at `path`; empty when it cannot be read.
CWString DecodeBytesToText(std::wstring_view path, CWString& encoding, bool& hadMark, std::wstring_view ansiCharset);

// Taking a path apart: "\" for file paths, "/" for addresses.
#pragma once
#include "platform/text.h"

// The text before the last separator; empty when there is none. slash: 1 for "/", 0 for "\".
CWString GetParentPath(std::wstring_view path, int slash);
// The text after the last separator; the whole path when there is none.
CWString GetPathLeaf(std::wstring_view path, int slash);
// The leaf by "\" without its extension (cut before the last ".").
CWString GetFileTitle(std::wstring_view path);

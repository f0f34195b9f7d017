// Fresh file names in the system's temporary folder.
#pragma once
#include <string>
#include <string_view>

// A new, empty file with a unique name (GetTempFileNameW), so the name is reserved, in a folder or,
// when none is given, the temporary folder; empty when none could be made. Wide throughout, so any
// user name works.
std::wstring MakeTempFileName(std::wstring_view folder = {});

// Fresh file names in the system's temporary folder.
#pragma once
#include <string>

// A new, empty file with a unique name in the temporary folder (GetTempFileNameW), so the name is
// reserved; empty when none could be made. Wide throughout, so any user name works.
std::wstring MakeTempFileName();

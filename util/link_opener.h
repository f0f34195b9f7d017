// Opens what the user clicked: a web address in the browser, anything else through the shell.
#pragma once
#include "platform/text.h"

// 1 when the target was handed to the browser or the shell. On failure the target goes to the
// clipboard and a message tells the user where to paste it; 0. A web address of the search engine
// written with "www." is opened without it (the target is changed in place).
int32_t OpenLinkOrPath(CWString& target, std::wstring_view parameters);

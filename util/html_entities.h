// The HTML entity table: lines "&name; &#code;" joined by CR LF, built at start-up, never written.
#pragma once
#include "platform/text.h"

extern const CWString gHtmlEntityList;

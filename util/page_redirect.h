// Redirect targets written inside a page (meta refresh, location assignments) and URL resolution.
#pragma once
#include "platform/text.h"

// The absolute target a page sends the browser on to, or empty.
CWString FindPageRedirect(std::wstring_view page, std::wstring_view pageUrl);
// Removes every "<!-- ... -->" comment. Text is left as it was when the regex component is missing.
void StripHtmlComments(CWString& text);
// The absolute address of a link found on a page; the link is trimmed and loses its fragment and
// its "./" or "../" parts in place.
CWString ResolveRelativeUrl(std::wstring_view base, CWString& link);
// The host of an address, with its "scheme://" in front when asked for and present.
CWString GetUrlHost(std::wstring_view address, int32_t withScheme);

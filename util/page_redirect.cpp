#include "util/page_redirect.h"

#include "util/html_parser.h"
#include "util/regex.h"
#include "util/tag_attributes.h"
#include "util/files.h"
#include "util/path_parts.h"
#include "util/text_helpers.h"

namespace {

// A link is absolute when it starts with a scheme (a letter, then letters, digits, "+", "-" or ".")
// followed by "://".
bool HasScheme(std::wstring_view link) {
    size_t sep = link.find(L"://");
    if (sep == std::wstring_view::npos || sep == 0) return false;
    for (size_t i = 0; i < sep; ++i) {
        wchar_t c = link[i];
        bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        if (!(letter || (i > 0 && ((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.')))) return false;
    }
    return true;
}

// The parent of a base address by "/", where a base with no "/" after its host counts as host + "/".
CWString BaseFolder(std::wstring_view base) {
    int hostStart = FindWText(base, L"//");
    hostStart = hostStart < 0 ? 0 : hostStart + 2;
    if (FindWText(base, L"/", hostStart) < 0) return CWString(base);
    return GetParentPath(base, 1);
}

CWString Between(std::wstring_view text, std::wstring_view start, std::wstring_view end) {
    int32_t pos = 0;
    return GetTextBetween(text, start, end, pos, false, true);
}

}  // namespace

void StripHtmlComments(CWString& text) {
    if (!gHtmlCommentRegex.created) gHtmlCommentRegex.Compile(LR"(<!--[\s\S]*?-->)");
    text = gHtmlCommentRegex.Replace(text, L"");
}

CWString GetUrlHost(std::wstring_view address, int32_t withScheme) {
    int a = FindWText(address, L"//");
    a = a < 0 ? 0 : a + 2;
    int b = FindWText(address, L"/", a);
    if (b < 0) b = int(address.size());
    CWString host(address.substr(size_t(a), size_t(b - a)));
    int scheme = FindWText(address, L"://");
    if (withScheme && scheme >= 0) host.insert(0, address.substr(0, size_t(scheme + 3)));
    return host;
}

CWString ResolveRelativeUrl(std::wstring_view base, CWString& link) {
    link.TrimAll();
    int hash = link.FindText(L"#");
    if (hash >= 0) link.resize(size_t(hash));
    if (link.starts_with(L"//")) return CWString::Concat({L"https:", link});
    if (HasScheme(link)) return link;
    if (link.starts_with(L"/")) return CWString::Concat({GetUrlHost(base, 1), link});
    if (link.starts_with(L"./")) {
        link.Replace(L"./", L"");
        return CWString::Concat({BaseFolder(base), L"/", link});
    }
    if (link.starts_with(L"../")) {
        link.Replace(L"../", L"");
        CWString up = GetParentPath(BaseFolder(base), 1);
        if (FindWText(up, L"://") >= 0) return CWString::Concat({up, L"/", link});
        return CWString::Concat({WithTrailingSlash(GetUrlHost(base, 1)), link});
    }
    return CWString::Concat({BaseFolder(base), L"/", link});
}

CWString FindPageRedirect(std::wstring_view page, std::wstring_view pageUrl) {
    CWString stripped(page);
    StripHtmlComments(stripped);
    rg_DrenvikWangYeJieXiLei parser;
    CWString withoutNoscript = stripped;
    parser.RemoveTags(withoutNoscript, L"noscript", L"");
    CWString head = parser.GetElement(withoutNoscript, L"head", 0, 0, 0);
    if (head.empty()) head = stripped;
    CWString meta = parser.GetElement(head, L"meta,http-equiv=refresh", 0, 0, 0);
    if (!meta.empty()) {
        CWString content = GetOrSetTagAttribute(meta, L"content");
        CWString target = Between(content, L"URL='", L"'");
        if (target.empty()) target = Between(content, L"URL=\"", L"\"");
        if (target.empty()) target = Between(content, L"URL=", L"");
        if (!target.empty()) return ResolveRelativeUrl(pageUrl, target);
    }
    CWString again = stripped;
    StripHtmlComments(again);
    CWString script = parser.GetElement(again, L"script", 0, 0, 0);
    int32_t hit = 0;
    if (script.empty() || MatchKeywords(script, L"if(|if (", 0, L"", L"|", hit)) return {};
    CWString target;
    for (const wchar_t* name : {L"location.href", L"self.location", L"window.location", L"top.location"}) {
        target = GetOrSetTagAttribute(script, name);
        if (!target.empty()) break;
    }
    if (target.empty()) {
        target = Between(script, L"window.location.replace(", L")");
        target.Replace(L"\"", L"");
        target.Replace(L"'", L"");
    }
    if (target.empty() || target == L"//") return {};
    return ResolveRelativeUrl(pageUrl, target);
}

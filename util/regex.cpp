#include "util/regex.h"

#include <objbase.h>

rg_DrenvikZhengZeBiaoDaShiLei gHtmlCommentRegex;

int32_t rg_DrenvikZhengZeBiaoDaShiLei::Compile(std::wstring_view pattern) {
    regexLock.Lock();
    if (!created) {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        created = regexObject.CreateInstance(L"VBScript.RegExp");
    }
    regexLock.Unlock();
    regexObject.SetProperty(L"IgnoreCase", true);
    regexObject.SetProperty(L"Multiline", true);
    regexObject.SetProperty(L"Global", true);
    regexObject.SetProperty(L"Pattern", pattern);
    return created;
}

bool rg_DrenvikZhengZeBiaoDaShiLei::TryReplace(std::wstring_view subject, std::wstring_view replacement, CWString& out) const {
    VolVariant result;
    if (FAILED(regexObject.Invoke(L"Replace", CVolComObject::kMethod, {subject, replacement}, &result)) ||
        result.Type() != VT_BSTR)
        return false;
    return result.ToText(out);
}

CWString rg_DrenvikZhengZeBiaoDaShiLei::Replace(std::wstring_view subject, std::wstring_view replacement) const {
    CWString out;
    if (!TryReplace(subject, replacement, out)) return CWString(subject);
    return out;
}

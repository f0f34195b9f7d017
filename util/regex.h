// Regular-expression replacement through the scripting component "VBScript.RegExp".
#pragma once
#include "platform/com.h"
#include "platform/object.h"

class rg_DrenvikZhengZeBiaoDaShiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikZhengZeBiaoDaShiLei, CVolObject, "drenvik::rg_DrenvikZhengZeBiaoDaShiLei")
    VOL_MEMBERS(regexObject, spareComObject, regexLock, created)
public:
    CVolComObject regexObject;
    CVolComObject spareComObject;
    rg_HuChiSuoLei regexLock;
    int32_t created = 0;

    // Creates the component once (in this thread's apartment), then sets IgnoreCase, Multiline and
    // Global to true and the pattern. Returns `created`.
    int32_t Compile(std::wstring_view pattern);
    // Every match replaced. When the component is missing or fails (a rejected pattern, no Compile),
    // the subject comes back unchanged, so a caller replacing its own text never loses it.
    CWString Replace(std::wstring_view subject, std::wstring_view replacement) const;
    // As Replace, telling whether the replacement ran.
    bool TryReplace(std::wstring_view subject, std::wstring_view replacement, CWString& out) const;
};

// The comment stripper's instance, compiled on its first use.
extern rg_DrenvikZhengZeBiaoDaShiLei gHtmlCommentRegex;

// Reading and changing the attributes of one HTML start tag, and its tag name.
#pragma once
#include <optional>

#include "platform/object.h"
#include "util/position.h"

// One attribute (or one word of its value) as a pair.
class rg_DrenvikJianZhiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikJianZhiLei, CVolObject, "drenvik::rg_DrenvikJianZhiLei")
    VOL_MEMBERS(key, value)
public:
    CWString key;
    CWString value;
    // Both texts trimmed of platform blanks.
    static rg_DrenvikJianZhiLei ConstructFromPair(std::wstring_view key, std::wstring_view value);
};

// A text held as its code units.
class rg_DrenvikWenBenQuChanZiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikWenBenQuChanZiLei, CVolObject, "drenvik::rg_DrenvikWenBenQuChanZiLei")
    VOL_MEMBERS(units, count)
public:
    std::vector<wchar_t> units;
    int32_t count = 0;
    // Keeps the units up to the first zero unit.
    void SetText(std::wstring_view text);
};

// Scans a start tag once. Returns the value of the attribute `name` (ASCII case ignored) as written,
// and puts the first and last unit of its stretch into range.start/range.end; the pairs of every
// attribute passed before it go to `pairs`. An empty name matches nothing, so all pairs are collected.
CWString FindAttributeValue(std::wstring_view tag, CVolObjectArray& pairs, std::wstring_view name, rg_DrenvikWeiZhiLei& range);
// Appends one pair per lower-cased word of the value; a bare name gives (name, "").
void AppendAttributePairs(std::wstring_view name, std::wstring_view value, CVolObjectArray& pairs);
// Without a value: the attribute's trimmed value. With one: the tag text with the attribute set.
CWString GetOrSetTagAttribute(std::wstring_view tag, std::wstring_view name, std::optional<CWString> value = std::nullopt);
// The tag name of a tag text, in place or as a copy.
void ReduceToTagName(CWString& text);
CWString GetTagName(std::wstring_view text);

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

// The scan of one start tag's attributes, fed one unit at a time. Two scans of one text that are in
// the same state after some unit read the rest alike, whatever they read before (nameStart aside),
// so scans started at different places can be merged once they meet.
struct AttributeScanner {
    int32_t mark = -1;     // the unit before the stretch being read (a name's or a value's), -1 none
    int32_t nameStart = 0;
    CWString current;      // the attribute whose value is being read; empty between attributes
    wchar_t quote = 0;     // the quote the value is in, 0 outside quotes

    bool SameState(const AttributeScanner& o) const noexcept {
        return mark == o.mark && quote == o.quote && current == o.current;
    }
    // Reads units[i]; the units before it are the text the scan has read. When a value ends,
    // onValue(*this, first, last, stretchEnd) gets it as units[first..last] (empty when last <
    // first), the attribute's name being `current`; a false answer stops the scan (Step returns false).
    template <class OnValue> bool Step(std::wstring_view units, int32_t i, OnValue&& onValue) {
        const wchar_t c = units[size_t(i)];
        if (current.empty()) {
            if (mark == -1) {
                if (c == L' ' || c == L'>') mark = i;
            } else {
                if (c == L'<' || c == L'>') mark = -1;
                if (c == L'=') TakeName(units, i);
            }
            return true;
        }
        if (mark == -1) {
            if (c == L'"' || c == L'\'') {
                quote = c;
                mark = i;
            } else if (c != L' ' && c != L'>') {
                mark = i - 1;
            }
            return true;
        }
        if (quote == 0) {
            if (c == L' ' || c == L'>' || c == L'<') {
                const int32_t last = (c == L'>' && i > 0 && units[size_t(i - 1)] == L'/') ? i - 2 : i - 1;
                if (!onValue(*this, mark + 1, last, i - 1)) return false;
                current.clear();
                mark = i;
            }
        } else if (c == quote) {
            if (!onValue(*this, mark + 1, i - 1, i)) return false;
            quote = 0;
            current.clear();
            mark = -1;
        }
        return true;
    }
    // The text ended after n units: a value still open runs to its end.
    template <class OnValue> void Finish(int32_t n, OnValue&& onValue) {
        if (mark != -1 && !current.empty()) onValue(*this, mark + 1, n - 1, n - 1);
    }

private:
    void TakeName(std::wstring_view units, int32_t i);
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

#include "util/tag_attributes.h"

rg_DrenvikJianZhiLei rg_DrenvikJianZhiLei::ConstructFromPair(std::wstring_view key, std::wstring_view value) {
    rg_DrenvikJianZhiLei p;
    p.key = TrimView(key);
    p.value = TrimView(value);
    return p;
}

void rg_DrenvikWenBenQuChanZiLei::SetText(std::wstring_view text) {
    size_t zero = text.find(L'\0');
    if (zero != std::wstring_view::npos) text = text.substr(0, zero);
    units.assign(text.begin(), text.end());
    count = int32_t(units.size());
}

void AppendAttributePairs(std::wstring_view name, std::wstring_view value, CVolObjectArray& pairs) {
    CWString v(value);
    v.MakeLower();
    CWStringArray words;
    SplitTextBySeparator(TrimView(v), words, L" ", true, true);
    CWString key(TrimView(name));
    key.MakeLower();
    if (!words.empty()) {
        for (const CWString& w : words) pairs.AddCopy(rg_DrenvikJianZhiLei::ConstructFromPair(key, w));
    } else if (!key.empty()) {
        pairs.AddCopy(rg_DrenvikJianZhiLei::ConstructFromPair(key, L""));
    }
}

void AttributeScanner::TakeName(std::wstring_view units, int32_t i) {
    // The name is the last word before "=" (a tag name or a bare word may come first).
    current = i - 1 < mark + 1 ? CWString() : CWString(units.substr(size_t(mark + 1), size_t(i - 1 - mark)));
    current.TrimAll();
    nameStart = mark + 1;
    mark = -1;
    CWStringArray words;
    SplitTextBySeparator(current, words, L" ", true, true);
    if (words.size() > 1) current = words.back();
}

CWString FindAttributeValue(std::wstring_view tag, CVolObjectArray& pairs, std::wstring_view name, rg_DrenvikWeiZhiLei& range) {
    CWString x(tag);
    for (wchar_t& c : x)
        if (c == L'\r' || c == L'\n') c = L' ';
    pairs.RemoveAll();
    rg_DrenvikWenBenQuChanZiLei scan;
    scan.SetText(x);
    const std::wstring_view units(scan.units.data(), scan.units.size());
    CWString found;
    auto onValue = [&](const AttributeScanner& s, int32_t first, int32_t last, int32_t stretchEnd) {
        CWString v = last < first ? CWString() : CWString(units.substr(size_t(first), size_t(last - first + 1)));
        if (!name.empty() && EqualsNoCase(s.current, name)) {
            range.start = s.nameStart;
            range.end = stretchEnd;
            found = std::move(v);
            return false;
        }
        AppendAttributePairs(s.current, v, pairs);
        return true;
    };
    AttributeScanner scanner;
    for (int32_t i = 0; i < scan.count; ++i)
        if (!scanner.Step(units, i, onValue)) return found;
    scanner.Finish(scan.count, onValue);
    return found;
}

CWString GetOrSetTagAttribute(std::wstring_view tag, std::wstring_view name, std::optional<CWString> value) {
    rg_DrenvikWeiZhiLei where;
    where.start = -1;
    CVolObjectArray scratch;
    CWString found = FindAttributeValue(tag, scratch, name, where);
    if (!value) return found.TrimAll();
    CWString stretch = CWString::Concat({name, L"=\"", *value, L"\""});
    CWString out(tag);
    if (where.start != -1) {
        CWString old = CWString(tag).Mid(where.start, where.end - where.start + 1);
        out.Replace(old, stretch, where.start, 1);
    } else {
        CWString open = CWString::Concat({L"<", GetTagName(tag)});
        out.Replace(open, CWString::Concat({open, L" ", stretch}), 0, 1);
    }
    return out;
}

void ReduceToTagName(CWString& text) {
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n') c = L' ';
    text.Replace(L"/", L"");
    int a = text.FindText(L"<");
    int b = text.FindText(L" ");
    if (b < 0) b = text.FindText(L">");
    if (b < 0) b = text.GetLength() + 1;
    text = b - a - 1 > 0 ? text.Mid(a + 1, b - a - 1) : CWString();
}

CWString GetTagName(std::wstring_view text) {
    CWString t(text);
    ReduceToTagName(t);
    return t;
}

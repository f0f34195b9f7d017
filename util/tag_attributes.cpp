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

CWString FindAttributeValue(std::wstring_view tag, CVolObjectArray& pairs, std::wstring_view name, rg_DrenvikWeiZhiLei& range) {
    CWString x(tag);
    for (wchar_t& c : x)
        if (c == L'\r' || c == L'\n') c = L' ';
    pairs.RemoveAll();
    rg_DrenvikWenBenQuChanZiLei scan;
    scan.SetText(x);
    const int n = scan.count;
    auto units = [&](int from, int to) {  // units from..to inclusive
        return to < from ? CWString() : CWString(scan.units.data() + from, size_t(to - from + 1));
    };
    auto matches = [&](const CWString& attr) { return !name.empty() && EqualsNoCase(attr, name); };

    int mark = -1, nameStart = 0;
    CWString current;
    bool inQuotes = false;
    wchar_t quote = 0;
    for (int i = 0; i < n; ++i) {
        const wchar_t c = scan.units[size_t(i)];
        if (current.empty()) {
            if (mark == -1) {
                if (c == L' ' || c == L'>') mark = i;
            } else {
                if (c == L'<' || c == L'>') mark = -1;
                if (c == L'=') {
                    current = units(mark + 1, i - 1);
                    current.TrimAll();
                    nameStart = mark + 1;
                    mark = -1;
                    CWStringArray words;
                    SplitTextBySeparator(current, words, L" ", true, true);
                    if (words.size() > 1) current = words.back();
                }
            }
            continue;
        }
        if (mark == -1) {
            if (c == L'"' || c == L'\'') {
                inQuotes = true;
                quote = c;
                mark = i;
            } else if (c != L' ' && c != L'>') {
                mark = i - 1;
            }
        } else if (!inQuotes) {
            if (c == L' ' || c == L'>' || c == L'<') {
                int last = (c == L'>' && i > 0 && scan.units[size_t(i - 1)] == L'/') ? i - 2 : i - 1;
                CWString v = units(mark + 1, last);
                if (matches(current)) {
                    range.start = nameStart;
                    range.end = i - 1;
                    return v;
                }
                AppendAttributePairs(current, v, pairs);
                current.clear();
                mark = i;
            }
        } else if (c == quote) {
            CWString v = units(mark + 1, i - 1);
            if (matches(current)) {
                range.start = nameStart;
                range.end = i;
                return v;
            }
            AppendAttributePairs(current, v, pairs);
            inQuotes = false;
            current.clear();
            mark = -1;
        }
    }
    if (mark != -1 && !current.empty()) {
        CWString v = units(mark + 1, n - 1);
        if (matches(current)) {
            range.start = nameStart;
            range.end = n - 1;
            return v;
        }
        AppendAttributePairs(current, v, pairs);
    }
    return {};
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

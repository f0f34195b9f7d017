// Arrays and tables of the library.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/text.h"

// The text array: streamed as a count and its texts.
class rg_WenBenShuZuLei : public std::vector<CWString> {
public:
    using std::vector<CWString>::vector;
    int GetCount() const noexcept { return int(size()); }
    void Add(std::wstring_view t) { emplace_back(t); }
    void AddTexts(const std::vector<CWString>& more) { insert(end(), more.begin(), more.end()); }
    // The item at i, or the empty text when i is outside the array.
    const CWString& GetAt(int i) const noexcept {
        static const CWString empty;
        return (i >= 0 && i < GetCount()) ? (*this)[size_t(i)] : empty;
    }
};
using CMStringArray = rg_WenBenShuZuLei;

using CIntArray = std::vector<int>;
// The platform's integer array.
using rg_BianZhengShuShuZuLei = std::vector<int32_t>;
using CInt64Array = std::vector<long long>;
using CDoubleArray = std::vector<double>;

// Ordered tables and sets keyed by text, in code-unit order.
template <class V>
using CTextMap = std::map<CWString, V, std::less<>>;
using CTextSet = std::set<CWString, std::less<>>;
using rg_WenBenDaoWenBenHaXiBiao = CTextMap<CWString>;
using rg_WenBenDaoZhengShuHaXiBiao = CTextMap<int>;

// The platform's integer array.
using rg_ZhengShuShuZuLei = CIntArray;

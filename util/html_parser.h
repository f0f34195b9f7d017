// Finds elements in a page by tag name and attribute words. Not a tree builder: it searches the
// page's lower-cased UTF-16LE bytes, so every offset here is a byte offset into the page.
#pragma once
#include <vector>

#include "platform/object.h"
#include "util/position.h"
#include "util/regex.h"

// Opening and closing tags counted while the end of one element is sought.
struct VolTagCounts {
    int32_t opening = 0;
    int32_t closing = 0;
};
template <> struct VolMember<VolTagCounts> {
    static bool Equal(const VolTagCounts& a, const VolTagCounts& b) { return a.opening == b.opening && a.closing == b.closing; }
    static void Copy(VolTagCounts& d, const VolTagCounts& s) { d = s; }
    static void Save(VolDataStream* s, const VolTagCounts& v) { s->WriteValue(v.opening); s->WriteValue(v.closing); }
    static void Load(VolDataStream* s, VolTagCounts& v) { s->ReadValue(v.opening); s->ReadValue(v.closing); }
};

class rg_DrenvikWangYeJieXiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikWangYeJieXiLei, CVolObject, "drenvik::rg_DrenvikWangYeJieXiLei")
    VOL_MEMBERS(tagCounts, ranges, lowerBytes, pageBytes, lastFound, regex, lowerLength, openPattern, openLength,
                gtPattern, elementOpenPattern, elementOpenLength, closePattern, closeLength)
public:
    VolTagCounts tagCounts;
    CVolObjectArray ranges;  // of rg_DrenvikWeiZhiLei: start, end and nestCount of each recorded element
    CVolMem lowerBytes;      // the page lower-cased (A-Z), only while GetElement runs
    CVolMem pageBytes;       // the page of the last collection; `ranges` index it
    CWString lastFound;
    rg_DrenvikZhengZeBiaoDaShiLei regex;
    int32_t lowerLength = 0;
    CVolMem openPattern;
    int32_t openLength = 0;
    CVolMem gtPattern;
    CVolMem elementOpenPattern;
    int32_t elementOpenLength = 0;
    CVolMem closePattern;
    int32_t closeLength = 0;

    // Element spec: "tag" or "tag,attr=word word,attr2=..." (any condition may match), or a start tag
    // "<tag a=...>".
    // index >= 0: that match's text (inner text with innerOnly), or empty. index -1: records every
    // match in `ranges` (kept when append is set) and returns their count as decimal text.
    CWString GetElement(std::wstring_view page, std::wstring_view spec, int32_t index, int32_t innerOnly, int32_t append);
    // The page text over the index-th range; empty outside the list.
    CWString GetFoundText(int32_t index) const;
    // Collects the elements of one or more "|"-separated specs, sorted by start; returns their count.
    int32_t FindTagRanges(std::wstring_view page, std::wstring_view specs);
    // Removes every element of the "|"-separated tag names, keeping those whose start tag holds one
    // of the "|"-separated keep-keywords.
    void RemoveTags(CWString& page, std::wstring_view tagNames, std::wstring_view keepKeywords);

    // Next start of the pattern after `holder` that is not the start of a longer tag name; -1 when none.
    void FindTagStart(const CVolMem& pattern, int32_t length, int32_t& holder);
    // Counts openings and closings strictly between start and end (incrementally over one walk);
    // 1 when they balance. holder receives the last tag counted.
    int32_t CountNestedTags(const CVolMem& pattern, int32_t length, int32_t start, int32_t end, int32_t& holder);

private:
    void SetElementPatterns(int32_t w, int32_t tagBytes);
    void PumpNow();
    unsigned long long lastPumpTick_ = 0;
    long long FindBytes(const CVolMem& pattern, long long from) const noexcept;
    // Every offset FindTagStart would give for the pattern, and every occurrence of closePattern.
    std::vector<int32_t> AllTagStarts(const CVolMem& pattern, int32_t length);
    std::vector<int32_t> AllClosings() const;
};

// Removes from the page, in one pass, every element of `ranges` (all the elements of the tag that
// FindTagRanges found in this page, by start) but those whose start tag holds one of the
// "|"-separated keep-keywords, when that is sure to give the text that RemoveTags' removal of the
// first occurrence of each element's text, longest first, gives; returns false, leaving `out`
// alone, when it is not.
bool RemoveElementsAtOnce(const CWString& page, const CVolObjectArray& ranges, std::wstring_view tagName,
                          std::wstring_view keepKeywords, CWString& out);

// Removes from the page, one element of `ranges` (sorted longest first) at a time, the first
// occurrence of each element's text in the page as it then is, but for the elements whose start tag
// holds one of the keep-keywords: what RemoveTags does, without searching the page from its start
// for each. Returns false, leaving the page alone, for a tag name it does not take (one that holds
// "<", ">", "/", a zero unit or a capital letter).
bool RemoveElementsInTurn(CWString& page, const CVolObjectArray& ranges, std::wstring_view tagName,
                          std::wstring_view keepKeywords);

// Texts of a page are compared by hashes keyed once per run from a random seed, so a page cannot be
// built to give two of its texts one hash. Tests that need such texts set bases of their own (below
// 1000000007); 0, 0 goes back to the run's.
void SetStretchHashKey(uint64_t base1, uint64_t base2);

void SortPositionsByStart(CVolObjectArray& ranges);
// Longest first.
void SortPositionsByLength(CVolObjectArray& ranges);

// The in-memory INI configuration: sections of key=value texts, filed as UTF-16LE with a byte-order
// mark, sections and keys in code-unit order. A SHA-1 of the text decides whether a save must write.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/object.h"

template <> struct VolMember<std::vector<rg_WenBenDaoWenBenHaXiBiao>>
    : VolUnstreamedMember<std::vector<rg_WenBenDaoWenBenHaXiBiao>> {};

class rg_DrenvikNeiCunPeiZhiJiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikNeiCunPeiZhiJiLei, CVolObject, "drenvik::rg_DrenvikNeiCunPeiZhiJiLei")
    VOL_MEMBERS(lastSavedHash, fileName, reservedText, reservedFlag, sections, sectionIndex)

    CWString lastSavedHash;  // lower-case SHA-1 hex of the text last loaded or saved
    CWString fileName;       // the file of the last load
    CWString reservedText;
    int32_t reservedFlag = 0;
    // One table per section in creation order; a deleted section's table stays here, emptied.
    std::vector<rg_WenBenDaoWenBenHaXiBiao> sections;
    rg_WenBenDaoZhengShuHaXiBiao sectionIndex;  // section name -> index in sections

    // Replaces the content by the file's (a missing file loads as empty). Always 1.
    int LoadFromFile(std::wstring_view path);
    // Writes the file when the content changed since the last load or save, or when the file is
    // gone. An empty path means fileName (also in the caller's variable). 1 when nothing needed
    // writing or the file was replaced completely; 0 when it could not be written.
    int SaveToFile(CWString& path);
    void ParseText(std::wstring_view text);
    void SerializeText(CWString& out);
    int SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    CWString GetValue(std::wstring_view section, std::wstring_view key, std::wstring_view def) const;
    void GetValueInto(CWString& out, std::wstring_view section, std::wstring_view key, std::wstring_view def) const;

private:
    rg_WenBenDaoWenBenHaXiBiao& SectionTable(std::wstring_view section);
};

// A configuration with a current section, storing line breaks in values as character 30.
class rg_DrenvikPeiZhiLei : public rg_DrenvikNeiCunPeiZhiJiLei {
    VOL_CLASS(rg_DrenvikPeiZhiLei, rg_DrenvikNeiCunPeiZhiJiLei, "drenvik::rg_DrenvikPeiZhiLei")
    VOL_MEMBERS(sectionName, reservedInt, reservedTable)

    CWString sectionName;  // callers assign it before ReadText and WriteText
    int32_t reservedInt = 0;
    rg_WenBenDaoZhengShuHaXiBiao reservedTable;

    CWString ReadText(std::wstring_view key, std::wstring_view def) const;
    int WriteText(std::wstring_view key, std::wstring_view value);
};

// Keys of the global configuration, sections in name order and keys in key order. An empty filter
// or exclusion is not applied; a non-empty sectionName admits only that section.
int ListConfigEntries(rg_WenBenShuZuLei& out, std::wstring_view keyFilter, std::wstring_view keyExclusion,
                      std::wstring_view sectionName, std::wstring_view sectionFilter,
                      std::wstring_view sectionExclusion);
// Removes a key, or the whole section when key is empty, from the global configuration.
// 0 done, 1 no such section, 2 no such key.
int DeleteConfigEntry(std::wstring_view section, std::wstring_view key);

// Upper-case hex digest through CryptoAPI, or the empty text when hashing fails.
CWString HashBytesToHex(const CVolMem& bytes, uint32_t algorithmId, int digestLength);
// 40 lower-case hex digits of the SHA-1, or the empty text when hashing fails.
CWString Sha1Hex(const CVolMem& bytes);

#include "util/config.h"

#include <algorithm>
#include <utility>

#include "platform/dynapi.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "platform/temp_file.h"
#include "util/component_config.h"

namespace {

constexpr uint8_t kUtf16LeBom[2] = {0xFF, 0xFE};
constexpr wchar_t kRecordSeparator = 30;

bool Contains(std::wstring_view text, std::wstring_view part) noexcept {
    return text.find(part) != std::wstring_view::npos;
}

// Splits with one separator for the whole text: CR LF when it occurs anywhere, else CR, else LF.
template <class F>
void ForEachLine(std::wstring_view text, F&& onLine) {
    std::wstring_view sep = L"\n";
    if (text.find(L"\r\n") != std::wstring_view::npos) sep = L"\r\n";
    else if (text.find(L'\r') != std::wstring_view::npos) sep = L"\r";
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(sep, pos);
        if (end == std::wstring_view::npos) end = text.size();
        onLine(text.substr(pos, end - pos));
        pos = end + sep.size();
    }
}

bool IsFile(const std::wstring& path) {
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteAll(HANDLE f, const uint8_t* p, size_t n) {
    while (n > 0) {
        DWORD chunk = DWORD(std::min<size_t>(n, 1u << 30)), put = 0;
        if (!::WriteFile(f, p, chunk, &put, nullptr) || put == 0) return false;
        p += put;
        n -= put;
    }
    return true;
}

bool WriteFileBytes(HANDLE f, const uint8_t* head, size_t headSize, const CVolMem& body) {
    return WriteAll(f, head, headSize) && WriteAll(f, body.GetPtr(), body.GetSize()) && ::SetEndOfFile(f) &&
           ::FlushFileBuffers(f);
}

// Writes the bytes to a new file beside the target and then moves it over the target in one step,
// so the old file stays whole until the new one is complete. Where no file can be made beside it
// (a folder that refuses new files, a path too long for a temporary name) the target itself is
// rewritten: less safe, but a writable settings file is still saved.
bool ReplaceFileContents(const std::wstring& path, const uint8_t* head, size_t headSize, const CVolMem& body) {
    size_t slash = path.find_last_of(L"\\/");
    std::wstring dir = slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    const std::wstring temp = MakeTempFileName(dir);
    if (temp.empty()) {
        // Opened, not created anew: the file keeps its attributes (hidden, say).
        UniqueHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        return f && WriteFileBytes(f.get(), head, headSize, body);
    }
    bool ok = false;
    {
        UniqueHandle f(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ok = f && WriteFileBytes(f.get(), head, headSize, body);
    }
    ok = ok && ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) ::DeleteFileW(temp.c_str());
    // The new file takes the old one's attributes.
    if (ok && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        ::SetFileAttributesW(path.c_str(), attributes);
    return ok;
}

}  // namespace

// ---- hashing -------------------------------------------------------------------------------------

CWString HashBytesToHex(const CVolMem& bytes, uint32_t algorithmId, int digestLength) {
    const auto& api = DynamicApiTable;
    if (!api.CryptAcquireContextW || digestLength <= 0) return {};
    HCRYPTPROV prov = 0;
    if (!api.CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        !api.CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, 0))
        return {};
    HCRYPTHASH hash = 0;
    if (!api.CryptCreateHash(prov, ALG_ID(algorithmId), 0, 0, &hash)) {
        api.CryptReleaseContext(prov, 0);
        return {};
    }
    bool ok = true;
    // CryptHashData takes a 32-bit length: feed large blocks in pieces.
    for (size_t done = 0; ok && done < bytes.GetSize();) {
        DWORD chunk = DWORD(std::min<size_t>(bytes.GetSize() - done, 1u << 30));
        ok = api.CryptHashData(hash, bytes.GetPtr() + done, chunk, 0) != FALSE;
        done += chunk;
    }
    std::vector<BYTE> digest(size_t(digestLength), 0);
    DWORD len = DWORD(digestLength);
    ok = ok && api.CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &len, 0);
    api.CryptDestroyHash(hash);
    api.CryptReleaseContext(prov, 0);
    if (!ok) return {};
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    CWString out;
    out.reserve(size_t(len) * 2);
    for (DWORD i = 0; i < len && i < digest.size(); ++i) {
        out.push_back(kHex[digest[i] >> 4]);
        out.push_back(kHex[digest[i] & 15]);
    }
    return out;
}

CWString Sha1Hex(const CVolMem& bytes) {
    CWString hex = HashBytesToHex(bytes, CALG_SHA1, 20);
    hex.MakeLower();
    return hex;
}

// ---- configuration set ---------------------------------------------------------------------------

rg_WenBenDaoWenBenHaXiBiao& rg_DrenvikNeiCunPeiZhiJiLei::SectionTable(std::wstring_view section) {
    auto it = sectionIndex.lower_bound(section);
    if (it == sectionIndex.end() || it->first != section) {
        sections.emplace_back();
        it = sectionIndex.emplace_hint(it, CWString(section), int(sections.size() - 1));
    }
    return sections[size_t(it->second)];
}

int rg_DrenvikNeiCunPeiZhiJiLei::LoadFromFile(std::wstring_view path) {
    sectionIndex.clear();
    sections.clear();
    fileName = path;
    CVolMem block = CVolMem::ConstructFromFile(path);
    size_t skip = block.GetSize() >= 2 && block[0] == kUtf16LeBom[0] && block[1] == kUtf16LeBom[1] ? 2 : 0;
    if (skip) block.Remove(0, skip);
    ParseText(CWString::FromUtf16Bytes(block.GetPtr(), block.GetSize()));
    lastSavedHash = Sha1Hex(block);
    return 1;
}

void rg_DrenvikNeiCunPeiZhiJiLei::ParseText(std::wstring_view text) {
    rg_WenBenDaoWenBenHaXiBiao* current = nullptr;  // re-taken at every header, before sections grows again
    ForEachLine(text, [&](std::wstring_view line) {
        if (line.empty()) return;
        if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
            current = &SectionTable(line.substr(1, line.size() - 2));
            return;
        }
        if (!current) return;
        size_t eq = line.find(L'=');
        if (eq == std::wstring_view::npos) return;
        std::wstring_view key = line.substr(0, eq), value = line.substr(eq + 1);
        auto it = current->lower_bound(key);
        if (it != current->end() && it->first == key) it->second = value;
        else current->emplace_hint(it, CWString(key), CWString(value));
    });
}

void rg_DrenvikNeiCunPeiZhiJiLei::SerializeText(CWString& out) {
    out.clear();
    std::vector<std::pair<CWString, int>> order(sectionIndex.begin(), sectionIndex.end());
    size_t units = 0;
    for (const auto& [name, index] : order) {
        units += name.size() + 4;
        for (const auto& [k, v] : sections[size_t(index)]) units += k.size() + v.size() + 3;
    }
    out.reserve(units);
    for (const auto& [name, index] : order) {
        // Handlers may run here and change values; the table is reached by index afterwards.
        PumpPendingMessages();
        const rg_WenBenDaoWenBenHaXiBiao& table = sections[size_t(index)];
        if (table.empty()) continue;
        out.push_back(L'[');
        out.append(name);
        out.append(L"]\r\n");
        for (const auto& [k, v] : table) {
            out.append(k);
            out.push_back(L'=');
            out.append(v);
            out.append(L"\r\n");
        }
    }
}

int rg_DrenvikNeiCunPeiZhiJiLei::SaveToFile(CWString& path) {
    CWString text;
    SerializeText(text);
    CVolMem bytes = CVolMem::ConstructFromText(text);
    CWString hash = Sha1Hex(bytes);
    const CWString& target = path.empty() ? fileName : path;
    // Unchanged content needs no write while its file is in place; a file deleted behind our back is
    // written again, except that no file is created for an empty configuration.
    if (!hash.empty() && hash == lastSavedHash && (text.empty() || IsFile(target))) return 1;
    if (path.empty()) path = fileName;
    if (path.empty()) return 0;
    if (!ReplaceFileContents(path, kUtf16LeBom, sizeof kUtf16LeBom, bytes)) return 0;
    // Recorded only now: after a failed write the next save tries again.
    lastSavedHash = std::move(hash);
    return 1;
}

int rg_DrenvikNeiCunPeiZhiJiLei::SetValue(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    rg_WenBenDaoWenBenHaXiBiao& table = SectionTable(section);
    auto it = table.lower_bound(key);
    if (it != table.end() && it->first == key) it->second = value;
    else table.emplace_hint(it, CWString(key), CWString(value));
    return 0;
}

void rg_DrenvikNeiCunPeiZhiJiLei::GetValueInto(CWString& out, std::wstring_view section, std::wstring_view key,
                                               std::wstring_view def) const {
    auto s = sectionIndex.find(section);
    if (s != sectionIndex.end()) {
        const rg_WenBenDaoWenBenHaXiBiao& table = sections[size_t(s->second)];
        auto it = table.find(key);
        if (it != table.end()) {
            out = it->second;
            return;
        }
    }
    out = def;
}

CWString rg_DrenvikNeiCunPeiZhiJiLei::GetValue(std::wstring_view section, std::wstring_view key,
                                               std::wstring_view def) const {
    CWString out;
    GetValueInto(out, section, key, def);
    return out;
}

CWString rg_DrenvikPeiZhiLei::ReadText(std::wstring_view key, std::wstring_view def) const {
    CWString out;
    GetValueInto(out, sectionName, key, def);
    if (out.find(kRecordSeparator) != CWString::npos) out.Replace(std::wstring_view(&kRecordSeparator, 1), L"\r\n");
    return out;
}

int rg_DrenvikPeiZhiLei::WriteText(std::wstring_view key, std::wstring_view value) {
    CWString stored(value);
    stored.Replace(L"\r\n", std::wstring_view(&kRecordSeparator, 1));
    SetValue(sectionName, key, stored);
    return 1;
}

// ---- the global configuration --------------------------------------------------------------------

int ListConfigEntries(rg_WenBenShuZuLei& out, std::wstring_view keyFilter, std::wstring_view keyExclusion,
                      std::wstring_view sectionName, std::wstring_view sectionFilter,
                      std::wstring_view sectionExclusion) {
    const rg_DrenvikNeiCunPeiZhiJiLei& config = gComponentConfig;
    out.clear();
    for (const auto& [name, index] : config.sectionIndex) {
        if (!sectionName.empty() && name != sectionName) continue;
        if (!sectionFilter.empty() && !Contains(name, sectionFilter)) continue;
        if (!sectionExclusion.empty() && Contains(name, sectionExclusion)) continue;
        for (const auto& entry : config.sections[size_t(index)]) {
            const CWString& key = entry.first;
            if (!keyFilter.empty() && !Contains(key, keyFilter)) continue;
            if (!keyExclusion.empty() && Contains(key, keyExclusion)) continue;
            out.push_back(key);
        }
    }
    return out.GetCount();
}

int DeleteConfigEntry(std::wstring_view section, std::wstring_view key) {
    rg_DrenvikNeiCunPeiZhiJiLei& config = gComponentConfig;
    auto s = config.sectionIndex.find(section);
    if (s == config.sectionIndex.end()) return 1;
    rg_WenBenDaoWenBenHaXiBiao& table = config.sections[size_t(s->second)];
    if (key.empty()) {
        table.clear();  // the emptied table keeps its slot; a later SetValue makes a new one
        config.sectionIndex.erase(s);
        return 0;
    }
    auto it = table.find(key);
    if (it == table.end()) return 2;
    table.erase(it);
    return 0;
}

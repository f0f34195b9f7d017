#include <gtest/gtest.h>

#include "platform/dynapi.h"
#include "platform/handles.h"
#include "platform/temp_file.h"
#include "platform/win.h"
#include "util/component_config.h"
#include "util/config.h"

namespace {

// A fresh folder under the temporary folder, removed with its files afterwards.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        ::GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"kvcfg" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                std::to_wstring(++counter_) + L"\\";
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const auto& f : Files()) {
            std::wstring p = path_ + f;
            ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(p.c_str());
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    std::wstring operator/(std::wstring_view name) const { return path_ + std::wstring(name); }
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> out;
        WIN32_FIND_DATAW d;
        HANDLE h = ::FindFirstFileW((path_ + L"*").c_str(), &d);
        if (h == INVALID_HANDLE_VALUE) return out;
        do {
            if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(d.cFileName);
        } while (::FindNextFileW(h, &d));
        ::FindClose(h);
        return out;
    }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

std::string ReadBytes(const std::wstring& path) {
    CVolMem m = CVolMem::ConstructFromFile(path);
    return std::string(m.View());
}

void WriteBytes(const std::wstring& path, std::string_view bytes) { ASSERT_TRUE(CVolMem(bytes).WriteToFile(path)); }

// The file form of a text: FF FE and its UTF-16LE units.
std::string FileForm(std::wstring_view text) {
    return "\xFF\xFE" + std::string(CVolMem::ConstructFromText(text).View());
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

CWString Serialized(rg_DrenvikNeiCunPeiZhiJiLei& set) {
    CWString s;
    set.SerializeText(s);
    return s;
}

}  // namespace

// Each row: INI text, its serialised form.
TEST(ConfigText, ParseAndSerialize) {
    struct { const wchar_t* in; const wchar_t* out; } cases[] = {
        {L"[a]\r\nx=1\r\n[b]\r\ny=2", L"[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
        {L"[a]\nx=1\n[b]\ny=2\n", L"[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
        {L"[a]\rx=1\r[b]\ry=2\r", L"[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
        {L"[a]\r\nx=1\ny=2", L"[a]\r\nx=1\ny=2\r\n"},  // one separator serves the whole text
        {L"k=v\r\n[a]\r\nk = v", L"[a]\r\nk = v\r\n"},
        {L"[a]\r\nx=1\r\n[b]\r\n[a]\r\nx=2\r\ny=3", L"[a]\r\nx=2\r\ny=3\r\n"},
        {L"[a]\n;x=1", L"[a]\r\n;x=1\r\n"},
        {L"[b]\nz=1\n[a]\nb=2\nB=1\n_=3", L"[a]\r\nB=1\r\n_=3\r\nb=2\r\n[b]\r\nz=1\r\n"},
        {L"[a]\nnoequals\n=v\nk=\nx=a=b", L"[a]\r\n=v\r\nk=\r\nx=a=b\r\n"},
        {L"[]\nk=v", L"[]\r\nk=v\r\n"},
        {L"[a] \nk=v", L""},
        {L"[a]\n[[b]]\nk=v", L"[[b]]\r\nk=v\r\n"},
        {L"[中文]\n键=值", L"[中文]\r\n键=值\r\n"},
        // code-unit order: ASCII, then a surrogate pair (D83D...), then U+FF01
        {L"[s]\n\uFF01=1\n\U0001F600=2\nz=3", L"[s]\r\nz=3\r\n\U0001F600=2\r\n\uFF01=1\r\n"},
        {L"", L""},
    };
    for (auto& c : cases) {
        rg_DrenvikNeiCunPeiZhiJiLei set;
        set.ParseText(c.in);
        EXPECT_EQ(Serialized(set), c.out) << c.in;
    }
    rg_DrenvikNeiCunPeiZhiJiLei set;
    set.ParseText(L"[a]\r\nx=1\ny=2\r\nk = v");
    EXPECT_EQ(set.GetValue(L"a", L"x", L"-"), L"1\ny=2");
    EXPECT_EQ(set.GetValue(L"a", L"k ", L"-"), L" v");
    EXPECT_EQ(set.GetValue(L"a", L"k", L"-"), L"-");
    EXPECT_EQ(set.GetValue(L"b", L"x", L"-"), L"-");
    EXPECT_EQ(set.sectionIndex.size(), 1u) << "lookups create nothing";
}

TEST(ConfigText, ValuesAndLineBreaks) {
    rg_DrenvikPeiZhiLei cfg;
    cfg.sectionName = L"主界面";
    EXPECT_EQ(cfg.WriteText(L"q", L"a\r\nb\nc\rd\r\n"), 1);
    EXPECT_EQ(cfg.GetValue(L"主界面", L"q", L""), L"a\x1E" L"b\nc\rd\x1E");
    EXPECT_EQ(cfg.ReadText(L"q", L""), L"a\r\nb\nc\rd\r\n");
    EXPECT_EQ(cfg.ReadText(L"missing", L"x\x1Ey"), L"x\r\ny") << "a returned default is converted too";
    EXPECT_EQ(Serialized(cfg), L"[主界面]\r\nq=a\x1E" L"b\nc\rd\x1E\r\n");

    EXPECT_EQ(cfg.SetValue(L"s", L"", L"empty key"), 0);
    CWString out = L"old";
    cfg.GetValueInto(out, L"s", L"", L"d");
    EXPECT_EQ(out, L"empty key");
    cfg.GetValueInto(out, L"s", L"none", L"d");
    EXPECT_EQ(out, L"d");
    cfg.SetValue(L"s", L"", L"replaced");
    EXPECT_EQ(cfg.GetValue(L"s", L"", L""), L"replaced");
}

TEST(ConfigHash, Sha1AndDigests) {
    EXPECT_EQ(Sha1Hex(CVolMem()), L"da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Sha1Hex(CVolMem(std::string_view("abc"))), L"a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(HashBytesToHex(CVolMem(std::string_view("abc")), CALG_MD5, 16), L"900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(HashBytesToHex(CVolMem(std::string_view("abc")), 0x1234, 20), L"") << "unknown algorithm";
}

TEST(ConfigFile, LoadAndSave) {
    TempFolder dir;
    const std::wstring file = dir / L"软件配置.ini";

    rg_DrenvikPeiZhiLei cfg;
    EXPECT_EQ(cfg.LoadFromFile(file), 1) << "a missing file loads as empty";
    EXPECT_EQ(cfg.fileName, file);
    EXPECT_EQ(cfg.lastSavedHash, Sha1Hex(CVolMem()));
    CWString path;
    EXPECT_EQ(cfg.SaveToFile(path), 1);
    EXPECT_FALSE(Exists(file)) << "no file for a configuration without keys";
    EXPECT_TRUE(path.empty());

    cfg.sectionName = L"b";
    cfg.WriteText(L"y", L"2");
    cfg.sectionName = L"a";
    cfg.WriteText(L"x", L"1");
    EXPECT_EQ(cfg.SaveToFile(path), 1);
    EXPECT_EQ(path, file) << "an empty path becomes the loaded file's";
    EXPECT_EQ(ReadBytes(file), FileForm(L"[a]\r\nx=1\r\n[b]\r\ny=2\r\n"));
    EXPECT_EQ(dir.Files().size(), 1u) << "no temporary file is left";

    // Unchanged: nothing is written, even over a file changed by someone else.
    WriteBytes(file, "changed outside");
    EXPECT_EQ(cfg.SaveToFile(path), 1);
    EXPECT_EQ(ReadBytes(file), "changed outside");

    // Unchanged but deleted outside: written again so the settings are not lost.
    ::DeleteFileW(file.c_str());
    EXPECT_EQ(cfg.SaveToFile(path), 1);
    EXPECT_EQ(ReadBytes(file), FileForm(L"[a]\r\nx=1\r\n[b]\r\ny=2\r\n"));

    rg_DrenvikPeiZhiLei again;
    again.LoadFromFile(file);
    EXPECT_EQ(Serialized(again), L"[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(again.lastSavedHash, cfg.lastSavedHash);

    // A file without the byte-order mark is read as UTF-16LE all the same.
    WriteBytes(file, std::string(CVolMem::ConstructFromText(L"[s]\r\nk=v").View()));
    again.LoadFromFile(file);
    EXPECT_EQ(again.GetValue(L"s", L"k", L""), L"v");

    // Deleting the last key of a section removes the section from the file.
    gComponentConfig.Reset();
    gComponentConfig.LoadFromFile(file);
    gComponentConfig.SetValue(L"t", L"k", L"v");
    EXPECT_EQ(DeleteConfigEntry(L"s", L""), 0);
    CWString none;
    EXPECT_EQ(gComponentConfig.SaveToFile(none), 1);
    EXPECT_EQ(ReadBytes(file), FileForm(L"[t]\r\nk=v\r\n"));
    gComponentConfig.Reset();
}

TEST(ConfigFile, NoFileNameIsAFailure) {
    rg_DrenvikNeiCunPeiZhiJiLei set;
    set.SetValue(L"a", L"k", L"v");
    CWString path;
    EXPECT_EQ(set.SaveToFile(path), 0);
    EXPECT_TRUE(set.lastSavedHash.empty()) << "nothing was saved";
    EXPECT_EQ(set.SaveToFile(path), 0) << "and the next save still tries";
}

// The target cannot be replaced (another program holds it open without delete sharing): the old
// file stays whole, and the next save writes once it can.
TEST(ConfigFile, FailedSaveKeepsOldFileAndRetries) {
    TempFolder dir;
    const std::wstring file = dir / L"settings.ini";
    rg_DrenvikNeiCunPeiZhiJiLei set;
    set.LoadFromFile(file);
    set.SetValue(L"a", L"k", L"old");
    CWString path;
    ASSERT_EQ(set.SaveToFile(path), 1);
    const std::string before = ReadBytes(file);
    const CWString savedHash = set.lastSavedHash;

    set.SetValue(L"a", L"k", L"new");
    {
        UniqueHandle holder(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(set.SaveToFile(path), 0);
    }
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(set.lastSavedHash, savedHash);
    EXPECT_EQ(dir.Files().size(), 1u) << "the temporary file is removed";

    EXPECT_EQ(set.SaveToFile(path), 1);
    EXPECT_EQ(ReadBytes(file), FileForm(L"[a]\r\nk=new\r\n"));

    // A folder that does not exist: nothing to open, reported as a failure.
    CWString nowhere = dir / L"missing\\x.ini";
    set.SetValue(L"a", L"k", L"newer");
    EXPECT_EQ(set.SaveToFile(nowhere), 0);
}

// Where no temporary file can be made beside the settings file (here a folder whose path leaves no
// room for a temporary name) the file is rewritten in place; either way it keeps its attributes,
// and its hash is recorded once it is written.
TEST(ConfigFile, SaveWithOrWithoutATemporaryFileKeepsAttributes) {
    TempFolder dir;
    const std::wstring top = dir / L"";
    const std::wstring longFolder = top + std::wstring(247 - top.size(), L'f');  // the longest a folder may be
    ASSERT_TRUE(::CreateDirectoryW(longFolder.c_str(), nullptr));
    ASSERT_TRUE(MakeTempFileName(longFolder + L"\\").empty()) << "a temporary file fits there";
    for (const std::wstring& file : {dir / L"settings.ini", longFolder + L"\\s.ini"}) {
        WriteBytes(file, "[a]\r\nk=first and longer\r\n");
        ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
        rg_DrenvikNeiCunPeiZhiJiLei set;
        set.LoadFromFile(file);
        set.SetValue(L"a", L"k", L"2");  // shorter: nothing of the old text may remain
        const CWString loadedHash = set.lastSavedHash;
        CWString path;
        EXPECT_EQ(set.SaveToFile(path), 1);
        EXPECT_NE(set.lastSavedHash, loadedHash);
        EXPECT_EQ(ReadBytes(file), FileForm(L"[a]\r\nk=2\r\n"));
        EXPECT_TRUE(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);  // writing may add the archive bit
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(file.c_str());
    }
    ::RemoveDirectoryW(longFolder.c_str());
}

// Without CryptoAPI every hash is empty: the save must write rather than report a false success.
TEST(ConfigFile, FailedHashStillWrites) {
    TempFolder dir;
    const std::wstring file = dir / L"settings.ini";
    auto saved = DynamicApiTable.CryptCreateHash;
    DynamicApiTable.CryptCreateHash = [](HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*) -> BOOL {
        ::SetLastError(NTE_BAD_ALGID);
        return FALSE;
    };
    rg_DrenvikNeiCunPeiZhiJiLei set;
    set.LoadFromFile(file);
    EXPECT_TRUE(set.lastSavedHash.empty());
    set.SetValue(L"a", L"k", L"v");
    CWString path;
    EXPECT_EQ(set.SaveToFile(path), 1);
    WriteBytes(file, "stale");
    EXPECT_EQ(set.SaveToFile(path), 1);
    DynamicApiTable.CryptCreateHash = saved;
    EXPECT_EQ(ReadBytes(file), FileForm(L"[a]\r\nk=v\r\n"));
}

// Window messages are handled between sections; a handler that adds a section must not upset the save.
TEST(ConfigFile, MessagesHandledDuringSave) {
    static rg_DrenvikNeiCunPeiZhiJiLei* target = nullptr;
    static int handled = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_APP) {
            ++handled;
            for (int i = 0; i < 50; ++i) target->SetValue(L"z" + std::to_wstring(i), L"k", L"v");
            return 0;
        }
        return ::DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KvConfigPumpTest";
    ::RegisterClassW(&wc);
    HWND wnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(wnd, nullptr);

    rg_DrenvikNeiCunPeiZhiJiLei set;
    target = &set;
    set.SetValue(L"a", L"k", L"1");
    set.SetValue(L"b", L"k", L"2");
    ::PostMessageW(wnd, WM_APP, 0, 0);
    EXPECT_EQ(Serialized(set), L"[a]\r\nk=1\r\n[b]\r\nk=2\r\n");
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(set.sectionIndex.size(), 52u);
    ::DestroyWindow(wnd);
    ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST(ConfigGlobal, ListAndDelete) {
    gComponentConfig.Reset();
    gComponentConfig.ParseText(L"[tree_收藏夹]\nC:\\a=1\nD:\\b=2\n=e\n[tree2_收藏夹]\nC:\\c=3\n[other]\nC:\\z=4");
    struct { const wchar_t *kf, *kx, *sn, *sf, *sx, *want; } cases[] = {
        {L"", L"", L"tree_收藏夹", L"", L"", L"|C:\\a|D:\\b"},
        {L"C:", L"", L"", L"", L"", L"C:\\z|C:\\c|C:\\a"},
        {L"", L"", L"", L"_收藏夹", L"", L"C:\\c||C:\\a|D:\\b"},
        {L"", L"b", L"", L"收藏", L"tree2", L"|C:\\a"},
        {L"", L"", L"nosuch", L"", L"", L""},
        {L"c:", L"", L"", L"", L"", L""},  // case-sensitive
    };
    for (auto& c : cases) {
        rg_WenBenShuZuLei out{L"stale"};
        int n = ListConfigEntries(out, c.kf, c.kx, c.sn, c.sf, c.sx);
        CWString joined;
        for (size_t i = 0; i < out.size(); ++i) joined += (i ? L"|" : L"") + out[i];
        EXPECT_EQ(joined, c.want) << c.kf << "," << c.kx << "," << c.sn << "," << c.sf << "," << c.sx;
        EXPECT_EQ(n, out.GetCount());
    }
    EXPECT_EQ(DeleteConfigEntry(L"nosuch", L"k"), 1);
    EXPECT_EQ(DeleteConfigEntry(L"other", L"nokey"), 2);
    EXPECT_EQ(DeleteConfigEntry(L"other", L"C:\\z"), 0);
    EXPECT_EQ(gComponentConfig.GetValue(L"other", L"C:\\z", L"gone"), L"gone");
    EXPECT_EQ(DeleteConfigEntry(L"tree_收藏夹", L""), 0);
    EXPECT_EQ(DeleteConfigEntry(L"tree_收藏夹", L""), 1);
    EXPECT_EQ(gComponentConfig.GetValue(L"tree_收藏夹", L"C:\\a", L"gone"), L"gone");
    gComponentConfig.SetValue(L"tree_收藏夹", L"n", L"1");
    EXPECT_EQ(Serialized(gComponentConfig), L"[tree2_收藏夹]\r\nC:\\c=3\r\n[tree_收藏夹]\r\nn=1\r\n");
    gComponentConfig.Reset();
}

TEST(ConfigObject, StreamAndCopy) {
    rg_DrenvikPeiZhiLei cfg;
    cfg.lastSavedHash = L"h";
    cfg.fileName = L"f";
    cfg.reservedFlag = 7;
    cfg.sectionName = L"s";
    cfg.WriteText(L"k", L"v");
    VolMemStream s;
    cfg.SaveToStream(&s);
    // hash, file name, reserved text (empty), flag, section name, reserved int; no content
    const uint8_t want[] = {4, 0, 0, 0, 'h', 0, 0, 0, 4, 0, 0, 0, 'f', 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0,
                            4, 0, 0, 0, 's', 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(s.Data().GetSize(), sizeof want);
    EXPECT_EQ(std::memcmp(s.Data().GetPtr(), want, sizeof want), 0);

    rg_DrenvikPeiZhiLei copy;
    EXPECT_EQ(copy.CopyFrom(cfg), 1);
    EXPECT_EQ(copy.ReadText(L"k", L""), L"v");
    EXPECT_FALSE(copy.IsEqual(cfg));
    rg_DrenvikMFCZuJianPeiZhiLei derived;
    EXPECT_EQ(copy.CopyFrom(derived), 1);
    // GCC follows the copy that the kind check refuses and warns about reading past `copy`.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    EXPECT_EQ(derived.CopyFrom(copy), 0);
#pragma GCC diagnostic pop
}

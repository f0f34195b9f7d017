#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/dynapi.h"
#include "platform/system.h"
#include "platform/win.h"
#include "util/file_ui_hooks.h"
#include "util/files.h"
#include "util/line_reader.h"
#include "support/temp_tree.h"

namespace {

struct Line {
    std::wstring text, found;
    bool operator==(const Line&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Line& l) {
    return o << '[' << std::string(l.text.begin(), l.text.end()) << '|' << std::string(l.found.begin(), l.found.end()) << ']';
}

std::vector<Line> ReadAll(rg_DrenvikDouRuYiHangLei& r) {
    std::vector<Line> lines;
    while (r.position <= r.lastIndex) {
        CWString line, found = L"?";
        r.ReadLine(line, &found);
        lines.push_back({line, found});
        if (lines.size() > 100) break;  // a reader that stops moving
    }
    return lines;
}

std::vector<CWString> Items(const rg_DrenvikWenBenShuZuLei& a) {
    std::vector<CWString> out;
    for (int32_t i = 0; i < a.GetCount(); ++i) out.push_back(a.GetItem(i));
    return out;
}


// Replaces the window layer's hooks for one test and records what they were asked.
struct FakeUi {
    FileUiHooks saved = GetFileUiHooks();
    int answer = IDCANCEL;
    int questions = 0;
    std::vector<std::wstring> hints;
    explicit FakeUi(int a, bool mainForm = false) : answer(a) {
        auto& h = GetFileUiHooks();
        h.showMessageBoxOwned = [this](HWND, std::wstring_view text, std::wstring_view caption, UINT type) {
            ++questions;
            EXPECT_EQ(caption, L"信息:");
            EXPECT_EQ(type, 35u);
            EXPECT_NE(text.find(L"你的拖放中存在目录"), std::wstring_view::npos);
            return answer;
        };
        h.setTitleHint = nullptr;
        if (mainForm) h.setTitleHint = [this](std::wstring_view hint, std::wstring_view) { hints.emplace_back(hint); };
    }
    ~FakeUi() { GetFileUiHooks() = saved; }
};

rg_DrenvikWenBenShuZuLei Paths(std::initializer_list<std::wstring> paths) {
    rg_DrenvikWenBenShuZuLei a;
    for (const auto& p : paths) a.Append(p);
    return a;
}

std::vector<std::wstring> SortedLines(const CWString& lines) {
    CWStringArray parts;
    SplitTextBySeparator(lines, parts, L"\r\n");
    std::vector<std::wstring> out(parts.begin(), parts.end());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(LineReader, SeparatorRules) {
    struct Case {
        const wchar_t *text, *begin;
        std::vector<Line> lines;
        int32_t endPosition;
    } cases[] = {
        {L"a\r\nb\r\n", L"", {{L"a", L"\r\n"}, {L"b", L"\r\n"}}, 6},
        {L"a\r\n\r\nb", L"", {{L"a", L"\r\n"}, {L"", L"\r\n"}, {L"b", L""}}, 8},
        {L"\r\n", L"", {{L"", L"\r\n"}}, 2},
        {L"", L"", {}, 0},
        {L"abc", L"", {{L"abc", L""}}, 4},  // separator "\n", not found
        {L"a\nb\r\nc", L"", {{L"a\nb", L"\r\n"}, {L"c", L""}}, 8},
        {L"a\nb\r\nc", L"\n", {{L"a", L"\n"}, {L"b\r", L"\n"}, {L"c", L""}}, 7},
        {L"a\nb", L"\r\n", {{L"a", L"\n"}, {L"b", L""}}, 4},
        {L"a\rb\r", L"", {{L"a", L"\r"}, {L"b", L"\r"}}, 4},
        {L"x,y", L",", {{L"x", L","}, {L"y", L""}}, 4},
        {L"x<br>y", L"<br>", {{L"x", L"<br>"}, {L"y", L""}}, 10},
    };
    for (const auto& c : cases) {
        rg_DrenvikDouRuYiHangLei r;
        r.text = c.text;
        r.BeginLines(c.begin);
        EXPECT_EQ(ReadAll(r), c.lines) << std::wstring(c.text).size() << " units, begin " << std::wstring(c.begin).size();
        EXPECT_EQ(r.position, c.endPosition);
    }
}

TEST(LineReader, MixedModeAndRestart) {
    rg_DrenvikDouRuYiHangLei r;
    r.text = L"a;b,c;;d";
    r.BeginLines(L"");
    r.separators = {L",", L"", L";;", L";"};  // the empty one is ignored; ";;" wins over ";" at the same place
    r.mixedMode = 1;
    std::vector<Line> want = {{L"a", L";"}, {L"b", L","}, {L"c", L";;"}, {L"d", L""}};
    std::vector<int32_t> lengths;
    std::vector<Line> got;
    while (r.position <= r.lastIndex) {
        CWString line, found;
        r.ReadLine(line, &found);
        got.push_back({line, found});
        lengths.push_back(r.separatorLength);
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(lengths, (std::vector<int32_t>{1, 1, 2, 2}));

    // Reading past the end changes nothing; BeginLines starts over in single mode.
    CWString line = L"stale";
    int32_t pos = r.position;
    EXPECT_EQ(r.ReadLine(line), pos);
    EXPECT_EQ(line, L"");
    r.BeginLines(L";");
    EXPECT_EQ(r.mixedMode, 0);
    EXPECT_EQ(ReadAll(r).size(), 4u);

    // A single-mode separator emptied by hand must not stall the reader.
    r.BeginLines(L";");
    r.separator.clear();
    EXPECT_EQ(ReadAll(r), (std::vector<Line>{{L"a;b,c;;d", L""}}));
}

TEST(LineReader, ObjectProtocol) {
    rg_DrenvikDouRuYiHangLei r;
    r.text = L"one\ntwo";
    r.BeginLines(L"");
    r.separators = {L"x"};
    VolMemStream out;
    r.SaveToStream(&out);
    VolMemStream in(out.Data());
    rg_DrenvikDouRuYiHangLei back;
    back.LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(back.text, r.text);
    EXPECT_EQ(back.separator, L"\n");
    EXPECT_EQ(back.lastIndex, 6);
    EXPECT_EQ(back.separators, r.separators);
    EXPECT_TRUE(r.IsEqual(r));
    EXPECT_FALSE(back.IsEqual(r));  // separators compare by identity
}

// A reader loaded from a stream holds whatever the stream said; reading it still ends.
TEST(LineReader, LoadedNumbersCannotStallIt) {
    struct Case {
        const wchar_t* separator;
        int32_t separatorLength, position, lastIndex;
        std::vector<Line> lines;
    } cases[] = {
        {L",", 0, 0, 4, {{L"a", L","}, {L"b", L","}, {L"c", L""}}},
        {L",", 7, 0, 4, {{L"a", L","}, {L"b", L","}, {L"c", L""}}},
        {L",", -3, 0, 4, {{L"a", L","}, {L"b", L","}, {L"c", L""}}},
        {L",", 1, -50, 4, {{L"a", L","}, {L"b", L","}, {L"c", L""}}},
        {L",", 1, 0, 1000000, {{L"a", L","}, {L"b", L","}, {L"c", L""}}},
        {L",", 1, 4, 1000000, {{L"c", L""}}},
        {L",", 1, 40, 1000000, {{L"", L""}}},
        {L"", 0, 0, 1000000, {{L"a,b,c", L""}}},
    };
    for (const auto& c : cases) {
        rg_DrenvikDouRuYiHangLei saved;
        saved.text = L"a,b,c";
        saved.separator = c.separator;
        saved.separatorLength = c.separatorLength;
        saved.position = c.position;
        saved.lastIndex = c.lastIndex;
        VolMemStream out;
        saved.SaveToStream(&out);
        VolMemStream in(out.Data());
        rg_DrenvikDouRuYiHangLei r;
        r.LoadFromStream(&in);
        EXPECT_EQ(ReadAll(r), c.lines) << c.separatorLength << " " << c.position << " " << c.lastIndex;
    }
}

TEST(Paths, TrailingSeparators) {
    struct { const wchar_t *in, *without, *with, *slash; } cases[] = {
        {L"C:\\dir", L"C:\\dir", L"C:\\dir\\", L"C:\\dir/"},
        {L"C:\\dir\\", L"C:\\dir", L"C:\\dir\\", L"C:\\dir\\/"},
        {L"C:\\dir\\\\", L"C:\\dir\\", L"C:\\dir\\\\", L"C:\\dir\\\\/"},
        {L"", L"", L"\\", L"/"},
        {L"http://h/", L"http://h/", L"http://h/\\", L"http://h/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithoutTrailingBackslash(c.in), c.without) << c.in;
        EXPECT_EQ(WithTrailingBackslash(c.in), c.with) << c.in;
        EXPECT_EQ(WithTrailingSlash(c.in), c.slash) << c.in;
    }
    CWString folder = GetProgramFolder();
    EXPECT_EQ(folder + L"\\", GetModuleDirectory());
}

TEST(Paths, TypedFolderPaths) {
    struct { const wchar_t *typed, *cleaned; } cases[] = {
        {L"D:\\models", L"D:\\models"},
        {L"  \"D:\\my models\\\"  ", L"D:\\my models\\"},  // Explorer's "copy as path"
        {L"\"d:\\\"", L"d:\\"},
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L"models", L""},          // relative
        {L"..\\models", L""},
        {L"D:models", L""},        // drive-relative
        {L"D:", L""},
        {L"\\models", L""},       // the current drive's root
        {L"\"", L""},
        {L"", L""},
        {L"中:\\x", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(CleanTypedFolderPath(c.typed), c.cleaned) << c.typed;

    struct { const wchar_t *in, *out; } trims[] = {
        {L"D:\\models\\", L"D:\\models"}, {L"D:\\models\\\\", L"D:\\models"}, {L"D:\\models", L"D:\\models"},
        {L"D:\\", L"D:\\"},  // a drive root keeps the backslash it needs
        {L"D:\\\\", L"D:\\"}, {L"\\\\srv\\share\\", L"\\\\srv\\share"},
    };
    for (const auto& c : trims) EXPECT_EQ(FolderWithoutTrailingBackslash(c.in), c.out) << c.in;
}

namespace {
const char kDrives[] = "C:\\\0D:\\\0";
DWORD WINAPI FakeDrives(DWORD size, LPSTR buffer) {
    std::memcpy(buffer, kDrives, std::min<size_t>(size, sizeof kDrives));
    return sizeof kDrives - 1;
}
DWORD WINAPI FailingDrives(DWORD, LPSTR) { return 0; }
}  // namespace

TEST(Files, ListLogicalDrives) {
    auto saved = DynamicApiTable.GetLogicalDriveStringsA;
    DynamicApiTable.GetLogicalDriveStringsA = FakeDrives;
    EXPECT_EQ(ListLogicalDrives(), (rg_WenBenShuZuLei{L"C:\\", L"D:\\", L""}));
    DynamicApiTable.GetLogicalDriveStringsA = FailingDrives;
    EXPECT_EQ(ListLogicalDrives(), (rg_WenBenShuZuLei{L""}));
    DynamicApiTable.GetLogicalDriveStringsA = saved;
    rg_WenBenShuZuLei real = ListLogicalDrives();
    EXPECT_NE(std::find(real.begin(), real.end(), L"C:\\"), real.end());
    EXPECT_EQ(real.back(), L"");
}

TEST(Files, ListFilesWithPatterns) {
    TempTree t;
    t.File(L"a.txt");
    t.File(L"b.htm");
    t.File(L"c.txt");
    t.File(L"d.TXT");
    t.Folder(L"sub.txt");  // folders never appear in a file list

    rg_DrenvikWenBenShuZuLei list;
    ASSERT_EQ(ListFiles(t.root, L"*.txt | *.htm", list, false), 4);
    std::vector<CWString> items = Items(list);
    std::vector<CWString> txt(items.begin(), items.begin() + 3);
    std::sort(txt.begin(), txt.end());
    EXPECT_EQ(txt, (std::vector<CWString>{t.root + L"\\a.txt", t.root + L"\\c.txt", t.root + L"\\d.TXT"}));
    EXPECT_EQ(items[3], t.root + L"\\b.htm");  // pattern by pattern
    EXPECT_EQ(list.prefix, t.root + L"\\");

    // Two patterns that match the same names list each name once.
    EXPECT_EQ(ListFiles(t.root + L"\\", L"*.txt|*.TXT", list, false), 3);
    // One pattern: no de-duplication needed, and an empty pattern is dropped.
    EXPECT_EQ(ListFiles(t.root, L" | a.*", list, false), 1);
    EXPECT_EQ(list.GetItem(0), t.root + L"\\a.txt");

    // An empty folder argument leaves the result as it was.
    EXPECT_EQ(ListFiles(L"", L"*.*", list, false), 0);
    EXPECT_EQ(list.GetCount(), 1);
    // A folder that cannot be searched gives no items.
    EXPECT_EQ(ListFiles(t.root + L"\\missing", L"*.*", list, false), 0);
    EXPECT_EQ(list.prefix, t.root + L"\\missing\\");
}

TEST(Files, ListFoldersSkipsHiddenAndSystem) {
    TempTree t;
    t.Folder(L"visible");
    t.Folder(L"hidden", FILE_ATTRIBUTE_HIDDEN);
    t.Folder(L"system", FILE_ATTRIBUTE_SYSTEM);
    t.File(L"file.txt");
    rg_DrenvikWenBenShuZuLei list;
    EXPECT_EQ(ListFiles(t.root, L"*.*", list, true), 1);
    EXPECT_EQ(list.GetItem(0), t.root + L"\\visible");
    EXPECT_EQ(HasSubfolders(t.root), 1);

    TempTree onlyHidden;
    onlyHidden.Folder(L"h", FILE_ATTRIBUTE_HIDDEN);
    onlyHidden.File(L"f.txt");
    EXPECT_EQ(HasSubfolders(onlyHidden.root), 0);
    EXPECT_EQ(HasSubfolders(onlyHidden.root + L"\\nope"), 0);
}

TEST(Files, DroppedFilesAnsweredCancel) {
    TempTree t;
    std::wstring file = t.File(L"one.txt");
    std::wstring dir1 = t.Folder(L"d1"), dir2 = t.Folder(L"d2");
    t.File(L"d1\\inner.txt");
    FakeUi ui(IDCANCEL);
    int32_t choice = 0;
    CWString lines;
    CollectDroppedFiles(choice, Paths({file, dir1, dir2}), lines, L"*.*", nullptr, false);
    EXPECT_EQ(lines, file);
    EXPECT_EQ(choice, 3);
    EXPECT_EQ(ui.questions, 1);  // one question per drop
}

TEST(Files, DroppedFoldersAnsweredYesAndNo) {
    TempTree t;
    std::wstring top = t.Folder(L"top");
    t.File(L"top\\a.txt");
    t.File(L"top\\b.log");
    t.Folder(L"top\\sub");
    t.File(L"top\\sub\\c.txt");
    t.Folder(L"top\\sub\\deep");
    t.File(L"top\\sub\\deep\\d.txt");
    t.Folder(L"top\\hid", FILE_ATTRIBUTE_HIDDEN);
    t.File(L"top\\hid\\e.txt");

    {
        FakeUi ui(IDYES);
        int32_t choice = 0;
        CWString lines = L"earlier";
        CollectDroppedFiles(choice, Paths({top}), lines, L"*.txt", nullptr, false);
        EXPECT_EQ(lines, L"earlier\r\n" + top + L"\\a.txt");
        EXPECT_EQ(choice, 1);
    }
    {
        FakeUi ui(IDNO, true);
        int32_t choice = 0;
        CWString lines;
        CollectDroppedFiles(choice, Paths({top}), lines, L"*.txt", nullptr, true);
        // Depth first, a folder's own files before its subfolders; hidden folders are not entered.
        EXPECT_EQ(lines, L"a\r\nc\r\nd");
        EXPECT_EQ(choice, 2);
        EXPECT_EQ(ui.hints, (std::vector<std::wstring>{L"正在读取子目录：" + top, L"正在读取子目录：" + top + L"\\sub",
                                                       L"正在读取子目录：" + top + L"\\sub\\deep"}));
    }
    {
        // The caller's earlier answer holds: no question.
        FakeUi ui(IDCANCEL);
        int32_t choice = 2;
        CWString lines;
        CollectDroppedFiles(choice, Paths({top}), lines, L"*.*", nullptr, false);
        EXPECT_EQ(SortedLines(lines).size(), 4u);
        EXPECT_EQ(ui.questions, 0);
    }
}

namespace {
// A directory link. Wine's CreateSymbolicLinkW does nothing, but Wine reports a Unix symbolic link
// as a reparse-point folder, and it runs a Unix program handed to CreateProcessW.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
        ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    using UnixName = char* (*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    auto unixPath = [&](const std::wstring& p) {
        char* n = unixName(p.c_str());
        std::wstring w = n ? Utf8ToWide(n) : std::wstring();
        ::HeapFree(::GetProcessHeap(), 0, n);
        return w;
    };
    std::wstring cmd = L"Z:\\bin\\ln -s \"" + unixPath(target) + L"\" \"" + unixPath(link) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(L"Z:\\bin\\ln", cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    for (int i = 0; i < 50 && ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(10);
    return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}
}  // namespace

TEST(Files, DroppedFolderWithLinkToItsAncestor) {
    TempTree t;
    std::wstring top = t.Folder(L"top");
    t.File(L"top\\a.txt");
    t.Folder(L"top\\sub");
    t.File(L"top\\sub\\b.txt");
    std::wstring link = top + L"\\sub\\back";
    if (!MakeFolderLink(link, top)) GTEST_SKIP() << "no directory links here";
    ASSERT_TRUE(::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    FakeUi ui(IDNO);
    int32_t choice = 0;
    CWString lines;
    // Following the link would read top again below itself, without end.
    CollectDroppedFiles(choice, Paths({top}), lines, L"*.*", nullptr, false);
    EXPECT_EQ(lines, top + L"\\a.txt\r\n" + top + L"\\sub\\b.txt");

    // A link dropped by the user is read; the links found inside it are not followed.
    lines.clear();
    CollectDroppedFiles(choice, Paths({link}), lines, L"*.*", nullptr, false);
    EXPECT_EQ(lines, link + L"\\a.txt\r\n" + link + L"\\sub\\b.txt");
}

TEST(Files, BrowseFileIntoControl) {
    FileUiHooks saved = GetFileUiHooks();
    std::wstring seenStart, seenTitle, seenFilter;
    bool confirm = true;
    GetFileUiHooks().openFileDialog = [&](HWND, std::wstring_view title, std::wstring_view filter, CWString& name) {
        seenStart = name;
        seenTitle = title;
        seenFilter = filter;
        if (!confirm) {
            name = L"should not leak";
            return false;
        }
        name = L"C:\\models\\m.gguf";
        return true;
    };
    EXPECT_EQ(BrowseFileIntoControl(nullptr, L"t", L"f"), L"C:\\models\\m.gguf");
    EXPECT_EQ(seenStart, L"");
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"C:\\start.gguf", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (!edit) {
        GetFileUiHooks() = saved;
        GTEST_SKIP() << "no display for the edit control";
    }
    EXPECT_EQ(BrowseFileIntoControl(nullptr, L"两步第一步：选择模型文件", L"全部文件|*.*|gguf模型|*.gguf", edit),
              L"C:\\models\\m.gguf");
    EXPECT_EQ(seenStart, L"C:\\start.gguf");
    EXPECT_EQ(seenTitle, L"两步第一步：选择模型文件");
    EXPECT_EQ(seenFilter, L"全部文件|*.*|gguf模型|*.gguf");
    wchar_t text[64];
    ::GetWindowTextW(edit, text, 64);
    EXPECT_STREQ(text, L"C:\\models\\m.gguf");

    confirm = false;
    ::SetWindowTextW(edit, L"keep");
    EXPECT_EQ(BrowseFileIntoControl(nullptr, L"t", L"f", edit), L"keep");
    ::GetWindowTextW(edit, text, 64);
    EXPECT_STREQ(text, L"keep");
    EXPECT_EQ(BrowseFileIntoControl(nullptr, L"t", L"f"), L"");
    ::DestroyWindow(edit);
    GetFileUiHooks() = saved;
}

// The directory tree box over real temporary folders: roots, paths, listing, renaming, the
// commands and the favourites. Special folders, drive probes, the recycle bin, message boxes and
// the Ctrl key are faked through the platform's seams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/dpi.h"
#include "platform/dynapi.h"
#include "platform/file_system.h"
#include "platform/gdiplus_session.h"
#include "platform/seams.h"
#include "platform/shell.h"
#include "support/child_run.h"
#include "support/temp_tree.h"
#include "tree/directory_tree_box.h"
#include "ui/ui_test_support.h"
#include "util/component_config.h"
#include "util/files.h"
#include "util/path_parts.h"

namespace {

std::string U8(std::wstring_view w) { return WideToUtf8(w); }

// What the owner of a directory tree hears.
class Owner : public CVolObject, public VolEventReceiver {
public:
    Owner() : VolEventReceiver(this) {}
    Owner(const Owner&) = delete;
    void Watch(rg_DrenvikMuLuShuKuang1& d) {
        VOL_BIND(d.NodeSelected, &Owner::OnSelected);
        VOL_BIND(d.ContextMenuShown, &Owner::OnMenu);
    }
    std::vector<int> selections;
    int menus = 0;
    std::function<void()> whenSelected;

private:
    int OnSelected(CVolObject*, int32_t reason) {
        selections.push_back(reason);
        if (whenSelected) whenSelected();
        return 0;
    }
    int OnMenu(CVolObject*) {
        ++menus;
        return 0;
    }
};

// The Unix path Wine gives a Windows path; empty outside Wine.
std::string UnixPathOf(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unix) return {};
    std::string out = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

std::wstring EnvironmentText(const wchar_t* name) {
    wchar_t value[4096];
    const DWORD n = ::GetEnvironmentVariableW(name, value, DWORD(std::size(value)));
    return n > 0 && n < std::size(value) ? std::wstring(value, n) : std::wstring();
}

constexpr wchar_t kDeleteChildFolder[] = L"KELVARO_TEST_DELETE_FOLDER";
constexpr wchar_t kDeleteChildBoxes[] = L"KELVARO_TEST_DELETE_BOXES";

// Runs DISABLED_DeleteAsAChildProcess of this program with its own trash; its exit code, or -1
// when it did not end within a minute (a box nobody answers).
int RunDeleteChild(const std::wstring& folder, const std::string& dataHome, const std::wstring& boxLog) {
    std::wstring environment;
    wchar_t* inherited = ::GetEnvironmentStringsW();
    for (const wchar_t* e = inherited; *e; e += wcslen(e) + 1)
        if (_wcsnicmp(e, L"XDG_DATA_HOME=", 14) != 0) environment.append(e).push_back(L'\0');
    ::FreeEnvironmentStringsW(inherited);
    for (const std::wstring& e : {L"XDG_DATA_HOME=" + Utf8ToWide(dataHome),
                                  std::wstring(kDeleteChildFolder) + L"=" + folder,
                                  std::wstring(kDeleteChildBoxes) + L"=" + boxLog})
        environment.append(e).push_back(L'\0');
    environment.push_back(L'\0');

    return int(RunThisProgram(L"--gtest_filter=DirectoryTree.DISABLED_DeleteAsAChildProcess --gtest_also_run_disabled_tests",
                              environment.data()));
}

struct Box {
    std::wstring text, caption;
    UINT type;
};

class DirectoryTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        gdiplus_ = std::make_unique<GdiplusSession>();
    }

    void SetUp() override {
        desktop = temp.Folder(L"桌面") + L"\\";
        documents = temp.Folder(L"文档") + L"\\";
        temp.Folder(L"桌面\\项目 (2024)");
        temp.Folder(L"桌面\\项目 (2024)\\子目录");
        temp.Folder(L"桌面\\空的");
        for (int kind = 2; kind <= 11; ++kind) systemPaths[kind] = temp.Folder(L"sys" + std::to_wstring(kind)) + L"\\";
        gComponentConfig.Reset();
    }
    void TearDown() override {
        gComponentConfig.Reset();
        SetDpiFactorsForTest(1.0);
    }

    // Builds the control in a hidden form and shows it, which builds the roots.
    void Open(int w = 320, int h = 480) {
        MakeTestForm(form, w + 20, h + 20);
        tree.ModifyStyle(WS_VISIBLE, 0);
        ASSERT_TRUE(tree.CreateInParent(form, 0, 0, w, h, 101));
        owner.Watch(tree);
        tree.SetVisible(true);
        ASSERT_EQ(tree.IsTreeBuilt, 1);
    }

    int Icon(int n) { rg_ZhengShuShuZuLei l; return tree.Tree.GetNodeIcon(n, l); }
    int Level(int n) { rg_ZhengShuShuZuLei l; return tree.Tree.GetNodeLevel(n, l); }
    int Data(int n) { rg_ZhengShuShuZuLei l; return tree.Tree.GetNodeData(n, l); }
    int Check(int n) { rg_ZhengShuShuZuLei l; return tree.Tree.GetNodeCheck(n, l); }
    CWString Text(int n) { rg_ZhengShuShuZuLei l; return tree.Tree.GetNodeText(n, l); }
    // The first node with this text (and level, when given) after `from`.
    int Find(std::wstring_view text, int level = -1, int from = -1) {
        for (int i = from + 1; i < tree.Tree.nodeCount; ++i)
            if (Text(i) == text && (level < 0 || Level(i) == level)) return i;
        return -1;
    }
    // The texts of a node's children, "+" placeholders included.
    std::vector<std::string> Children(int node) {
        std::vector<std::string> out;
        for (int i = node + 1; i < tree.Tree.nodeCount && Level(i) > Level(node); ++i)
            if (Level(i) == Level(node) + 1) out.push_back(U8(Text(i)));
        return out;
    }
    void Expand(int node) {
        ASSERT_GE(node, 0);
        if (tree.Tree.expandRequestEvent.Raise(&tree.Tree, node) == 0) {
            rg_ZhengShuShuZuLei l;
            tree.Tree.SetNodeExpanded(node, 1, 0, l);
        }
    }
    void Select(int node) {
        tree.Tree.selectionReason = 1;
        tree.Tree.SelectNode(node);
    }
    int Favourites() { return Find(L"收藏夹", 0); }
    int Documents() { return Find(L"我的文档", 0); }
    // The child of `parent` with this text, or -1.
    int ChildNamed(int parent, std::wstring_view name) {
        for (int i = parent + 1; i < tree.Tree.nodeCount && Level(i) > Level(parent); ++i)
            if (Level(i) == Level(parent) + 1 && Text(i) == name) return i;
        return -1;
    }
    // A folder's node reached the other way: 我的电脑, its drive, then folder by folder, each listed
    // on the way; -1 when a step is missing. `listed` false: nothing is listed, only looked for.
    int ThroughDrive(const std::wstring& folder, bool listed = true) {
        int node = -1;
        for (int i = 0; i < tree.Tree.nodeCount && node < 0; ++i)
            if (Level(i) == 1 && DriveLetterOfCaption(Text(i)) == AsciiUpper(folder[0])) node = i;
        CWStringArray parts;
        SplitTextByAnyChar(folder.substr(2), parts, L"\\", true, true);
        for (const CWString& part : parts) {
            if (node < 0) return -1;
            if (listed) Expand(node);
            node = ChildNamed(node, part);
        }
        return node;
    }
    // Writes the whole control to a stream and reads it back into itself.
    void StreamRoundTrip() {
        VolMemStream out;
        tree.SaveToStream(&out);
        VolMemStream in(out.Data());
        tree.LoadFromStream(&in);
        ASSERT_EQ(in.status, VolDataStream::kGood);
    }
    // Runs `step` in whatever message loop next runs on this thread once `afterMs` passed (a box's,
    // a listing's pump), again on every tick until it answers true. A step that runs a loop of its
    // own does not run again inside it.
    void InNextLoop(std::function<bool()> step, UINT afterMs = 10) {
        inLoop_ = std::move(step);
        ::SetTimer(nullptr, 0, afterMs, [](HWND, UINT, UINT_PTR id, DWORD) {
            if (inLoopRunning_) return;
            if (inLoop_) {
                inLoopRunning_ = true;
                const bool done = inLoop_();
                inLoopRunning_ = false;
                if (!done) return;
            }
            ::KillTimer(nullptr, id);
            inLoop_ = nullptr;
        });
    }
    static inline bool inLoopRunning_ = false;
    static inline std::function<bool()> inLoop_;
    // The message box the control has up, when one is.
    static HWND OpenBox() {
        HWND box = ::FindWindowW(L"#32770", L"信息:");
        return box && ::GetWindowThreadProcessId(box, nullptr) == ::GetCurrentThreadId() ? box : nullptr;
    }
    // Counts the timer messages the control's own window takes from the queue.
    struct TimerCount {
        explicit TimerCount(HWND window) {
            target_ = window;
            count_ = 0;
            hook_ = ::SetWindowsHookExW(WH_GETMESSAGE, &Hook, nullptr, ::GetCurrentThreadId());
        }
        ~TimerCount() { ::UnhookWindowsHookEx(hook_); }
        TimerCount(const TimerCount&) = delete;
        int Taken() const { return count_; }

    private:
        static LRESULT CALLBACK Hook(int code, WPARAM removed, LPARAM message) {
            const MSG* m = reinterpret_cast<const MSG*>(message);
            if (code >= 0 && removed == PM_REMOVE && m->message == WM_TIMER && m->hwnd == target_) ++count_;
            return ::CallNextHookEx(nullptr, code, removed, message);
        }
        static inline HWND target_ = nullptr;
        static inline int count_ = 0;
        HHOOK hook_;
    };

    // ---- placeholders asked in the background ----
    static bool HasPlaceholder(const rg_DrenvikShuXingKuang& t, int node) {
        rg_ZhengShuShuZuLei a, b, c;
        return node + 1 < t.nodeCount && t.GetNodeLevel(node + 1, a) == t.GetNodeLevel(node, b) + 1 &&
               t.GetNodeIcon(node + 1, c) == kDirIconPlaceholder;
    }
    bool HasPlaceholder(int node) { return HasPlaceholder(tree.Tree, node); }
    // What a child of a big folder holds, by its number: the kinds a "+" must tell apart.
    enum ChildKind { kNothing, kVisible, kOnlyHidden, kOnlySystem, kHiddenAndVisible, kOnlyAFile, kKinds };
    static ChildKind KindOf(int i) { return ChildKind(i % kKinds); }
    static bool NeedsPlaceholder(ChildKind k) { return k == kVisible || k == kHiddenAndVisible; }
    static std::wstring ChildName(int i) {
        wchar_t name[16];
        swprintf(name, 16, L"子%03d", i);
        return name;
    }
    // A folder on the desktop with `count` children of every kind in turn.
    void MakeBigFolder(const std::wstring& name, int count) {
        temp.Folder(L"桌面\\" + name);
        for (int i = 0; i < count; ++i) {
            const std::wstring child = L"桌面\\" + name + L"\\" + ChildName(i);
            temp.Folder(child);
            const ChildKind k = KindOf(i);
            if (k == kOnlyHidden || k == kHiddenAndVisible) temp.Folder(child + L"\\藏", FILE_ATTRIBUTE_HIDDEN);
            if (k == kOnlySystem) temp.Folder(child + L"\\系统", FILE_ATTRIBUTE_SYSTEM);
            if (k == kVisible || k == kHiddenAndVisible) temp.Folder(child + L"\\里面");
            if (k == kOnlyAFile) temp.File(child + L"\\文件.txt");
        }
    }
    // The last child of this kind that has not been asked yet (it has no "+" so far).
    int LastUnaskedChild(int parent, ChildKind kind) {
        for (int i = tree.Tree.nodeCount - 1; i > parent; --i)
            if (Level(i) == Level(parent) + 1 && Icon(i) == kDirIconFolder && !HasPlaceholder(i) &&
                KindOf(_wtoi(Text(i).c_str() + 1)) == kind)
                return i;
        return -1;
    }
    bool Settle() { return PumpUntil([&] { return tree.PendingPlaceholderChecks() == 0; }, 30000); }
    // The roots built afresh and the desktop's folder `name` opened, its children still being asked
    // about subfolders; its node, or -1.
    int OpenWithChecksPending(const std::wstring& name) {
        tree.BuildRoots();
        Expand(0);
        const int big = Find(name, 1);
        if (big >= 0) Expand(big);
        return big;
    }
    // A case of a table run on a folder opened that way.
    struct BigFolderCase {
        const char* what;
        std::function<void(int big)> run;
    };
    // Whether a folder holds a subfolder that is neither hidden nor system, found on its own.
    static bool HoldsVisibleFolder(const std::wstring& folder) {
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((folder + L"*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return false;
        bool found = false;
        do {
            const std::wstring name = fd.cFileName;
            found = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && name != L"." &&
                    name != L"..";
        } while (!found && ::FindNextFileW(h, &fd));
        ::FindClose(h);
        return found;
    }
    // The folders whose "+" is not what a listing gives: a collapsed folder not listed yet carries
    // one exactly when it holds a visible subfolder, as the only child; an open one never shows it.
    static std::vector<std::string> WrongPlaceholders(rg_DrenvikMuLuShuKuang1& d) {
        const rg_DrenvikShuXingKuang& t = d.Tree;
        auto level = [&](int n) { rg_ZhengShuShuZuLei l; return t.GetNodeLevel(n, l); };
        auto icon = [&](int n) { rg_ZhengShuShuZuLei l; return t.GetNodeIcon(n, l); };
        auto plus = [&](int n) { return HasPlaceholder(t, n); };
        std::vector<std::string> wrong;
        for (int i = 0; i < t.nodeCount; ++i) {
            if (icon(i) == kDirIconPlaceholder) {
                if (i + 1 < t.nodeCount && level(i + 1) >= level(i))
                    wrong.push_back("+ not alone at " + std::to_string(i));
                continue;
            }
            if (icon(i) != kDirIconFolder && icon(i) != kDirIconFolderSelected) continue;
            rg_ZhengShuShuZuLei l;
            const bool open = int8_t(t.GetNodeState(i, l)) >= 2;
            const bool children = i + 1 < t.nodeCount && level(i + 1) == level(i) + 1;
            if (open) {
                if (plus(i)) wrong.push_back("open with +: " + std::to_string(i));
            } else if (!children || plus(i)) {
                const std::wstring path = d.GetNodePath(i);
                if (plus(i) != HoldsVisibleFolder(path)) wrong.push_back(U8(path));
            }
        }
        return wrong;
    }
    std::vector<std::string> WrongPlaceholders() { return WrongPlaceholders(tree); }
    // A big folder on the desktop of `count` empty subfolders, which its listing pumps messages for.
    std::wstring MakeFolderThatPumps(const std::wstring& name, int count) {
        const std::wstring big = temp.Folder(L"桌面\\" + name) + L"\\";
        for (int i = 0; i < count; ++i) ::CreateDirectoryW((big + ChildName(i)).c_str(), nullptr);
        return big;
    }

    static inline std::unique_ptr<GdiplusSession> gdiplus_;
    TempTree temp;
    std::wstring desktop, documents;
    std::map<int, std::wstring> systemPaths;
    int failingFolderKind = -1;  // its lookup throws
    ScopedSeam<std::function<CWString(int)>> folders{&PlatformSeams::specialFolder, [this](int kind) -> CWString {
        if (kind == failingFolderKind) throw std::runtime_error("the lookup failed");
        if (kind == 3) return desktop;
        if (kind == 1) return documents;
        auto it = systemPaths.find(kind);
        return it == systemPaths.end() ? CWString() : CWString(it->second);
    }};
    // The drives answer, C: carries a label; the label writes are recorded.
    std::vector<std::wstring> labelWrites;
    bool labelWriteWorks = true;
    ScopedSeam<std::function<bool(const CWString&)>> answers{&PlatformSeams::driveAnswers,
                                                             [](const CWString&) { return true; }};
    ScopedSeam<std::function<bool(const CWString&, CWString&)>> labels{
        &PlatformSeams::volumeLabel, [](const CWString& root, CWString& label) {
            label = root == L"C:\\" ? L"系统 (盘)" : L"";
            return true;
        }};
    ScopedSeam<std::function<bool(const CWString&, const CWString&)>> relabel{
        &PlatformSeams::setVolumeLabel, [this](const CWString& root, const CWString& label) {
            labelWrites.push_back(root + L"|" + label);
            return labelWriteWorks;
        }};
    // Message boxes answered from a queue (OK when it runs dry), and the Ctrl key. `whileBoxIsUp`
    // stands for the box's own message loop.
    std::vector<Box> boxes;
    std::vector<int> answersToBoxes;
    std::function<void()> whileBoxIsUp;
    ScopedSeam<std::function<int(HWND, const CWString&, const CWString&, UINT)>> messages{
        &PlatformSeams::messageBox, [this](HWND, const CWString& text, const CWString& caption, UINT type) {
            boxes.push_back({text, caption, type});
            if (whileBoxIsUp) whileBoxIsUp();
            if (answersToBoxes.empty()) return IDOK;
            const int a = answersToBoxes.front();
            answersToBoxes.erase(answersToBoxes.begin());
            return a;
        }};
    bool ctrlHeld = false;
    ScopedSeam<std::function<SHORT(int)>> keys{&PlatformSeams::keyState, [this](int vk) -> SHORT {
                                                   return vk == VK_CONTROL && ctrlHeld ? SHORT(0x8000) : SHORT(0);
                                               }};

    HiddenTestForm form;
    rg_DrenvikMuLuShuKuang1 tree;
    Owner owner;
};

// ---- roots and paths --------------------------------------------------------------------------------

TEST_F(DirectoryTree, RootsComeInOrderWithTheirIconsAndPlaceholders) {
    Open();
    EXPECT_EQ(Text(0), L"桌面");
    EXPECT_EQ(Icon(0), kDirIconDesktop);
    EXPECT_EQ(Text(1), L"+");  // the desktop has subfolders
    EXPECT_EQ(Icon(1), kDirIconPlaceholder);
    EXPECT_EQ(Text(2), L"我的文档");  // the documents folder has none: no placeholder
    EXPECT_EQ(Icon(2), kDirIconDocuments);
    EXPECT_EQ(Text(3), L"我的电脑");
    rg_ZhengShuShuZuLei l;
    EXPECT_EQ(tree.Tree.GetNodeState(3, l), 2);

    const int c = Find(L"系统 (盘) (C:)", 1);
    ASSERT_GE(c, 0);
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(Icon(c), AsciiUpper(windows[0]) == L'C' ? kDirIconWindowsDrive : kDirIconDrive);
    EXPECT_GE(Find(L" (Z:)", 1), 0);  // no label: only the part from " (" on

    const int system = Find(L"系统夹", 0);
    ASSERT_GE(system, 0);
    EXPECT_EQ(Icon(system), kDirIconSystemRoot);
    const wchar_t* captions[] = {L"我的收藏夹", L"系统字体", L"开始菜单组", L"程序菜单组", L"启动菜单组",
                                 L"程序数据目录", L"Windows安装目录", L"Windows系统目录", L"临时文件目录"};
    int at = system + 1;
    for (int i = 0; i < 9; ++i, ++at) {
        EXPECT_EQ(Text(at), captions[i]);
        EXPECT_EQ(Icon(at), kDirIconEntry);
        EXPECT_EQ(Data(at), i);
        EXPECT_EQ(Level(at), 1);
    }
    EXPECT_EQ(Text(at), L"收藏夹");
    EXPECT_EQ(Icon(at), kDirIconFavouritesRoot);
    // No favourite stored: the program's folder becomes the first one.
    EXPECT_EQ(Text(at + 1), L"本软件所在目录");
    EXPECT_EQ(tree.GetNodePath(at + 1), GetModuleDirectory());
    EXPECT_EQ(gComponentConfig.sectionName, L"目录树_收藏夹");
    EXPECT_EQ(gComponentConfig.GetValue(L"目录树_收藏夹", CWString::FromInt(Data(at + 1)) + L"名称", L""),
              L"本软件所在目录");
}

TEST_F(DirectoryTree, DriveThatDoesNotAnswerIsLeftOut) {
    ScopedSeam quiet(&PlatformSeams::driveAnswers, [](const CWString& root) { return root != L"Z:\\"; });
    Open();
    EXPECT_EQ(Find(L" (Z:)", 1), -1);
    EXPECT_GE(Find(L"系统 (盘) (C:)", 1), 0);
}

TEST_F(DirectoryTree, EveryNodeKindHasItsPath) {
    Open();
    Expand(0);
    const int project = Find(L"项目 (2024)");
    Expand(project);
    const int c = Find(L"系统 (盘) (C:)", 1);
    const int system = Find(L"系统夹", 0);
    const struct {
        int node;
        std::wstring path;
    } cases[] = {
        {0, desktop},
        {Find(L"我的文档", 0), documents},
        {Find(L"我的电脑", 0), L"我的电脑"},
        {c, L"C:\\"},  // the label's own "(" and ":)" do not mislead
        {system, L"系统夹"},
        {system + 1, systemPaths[2]},
        {system + 9, systemPaths[11]},
        {Favourites(), L"收藏夹"},
        {project, desktop + L"项目 (2024)\\"},
        {Find(L"子目录"), desktop + L"项目 (2024)\\子目录\\"},
        {Find(L"空的"), desktop + L"空的\\"},
        {Find(L"+"), L""},  // a placeholder stands for nothing
        {tree.Tree.nodeCount, L""},
        {-5, L""},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(U8(tree.GetNodePath(k.node)), U8(k.path)) << k.node;
    }
    EXPECT_EQ(tree.GetNodePath(-1), L"");  // nothing selected
    Select(project);
    EXPECT_EQ(tree.GetSelectedPath(), desktop + L"项目 (2024)\\");
}

// ---- listing -----------------------------------------------------------------------------------------

TEST_F(DirectoryTree, ExpandingListsSubfoldersWithPlaceholdersWhereTheyHaveSome) {
    temp.Folder(L"桌面\\隐藏", FILE_ATTRIBUTE_HIDDEN);
    temp.File(L"桌面\\文件.txt");
    Open();
    const int docs = Find(L"我的文档", 0);
    Select(docs);
    owner.selections.clear();
    Expand(0);
    std::vector<std::string> children = Children(0);
    std::sort(children.begin(), children.end());
    EXPECT_EQ(children, (std::vector<std::string>{"空的", "项目 (2024)"}));
    const int project = Find(L"项目 (2024)");
    EXPECT_EQ(Children(project), std::vector<std::string>{"+"});
    EXPECT_EQ(Children(Find(L"空的")), std::vector<std::string>{});
    EXPECT_EQ(Icon(project), kDirIconFolder);
    rg_ZhengShuShuZuLei l;
    EXPECT_EQ(tree.Tree.GetNodeSelectedIcon(project, l), kDirIconFolderSelected);
    // The selection below moved with its node, and the owner was not told.
    EXPECT_EQ(tree.Tree.GetSelectedIndex(), Find(L"我的文档", 0));
    EXPECT_TRUE(owner.selections.empty());

    // Listed once: a folder made later shows only after a refresh.
    temp.Folder(L"桌面\\后来的");
    Expand(0);
    EXPECT_EQ(Find(L"后来的"), -1);
}

TEST_F(DirectoryTree, FolderWhoseSubfoldersWentLosesItsPlaceholder) {
    Open();
    Expand(0);
    const int project = Find(L"项目 (2024)");
    TempTree::Remove(desktop + L"项目 (2024)\\子目录");
    Expand(project);
    EXPECT_EQ(Children(project), std::vector<std::string>{});
}

TEST_F(DirectoryTree, RefreshReplacesChildrenAndKeepsTheSelectionOnItsFolder) {
    Open();
    Expand(0);
    const int project = Find(L"项目 (2024)");
    Expand(project);
    temp.Folder(L"桌面\\项目 (2024)\\新的");
    temp.Folder(L"桌面\\项目 (2024)\\新的\\更深");
    Select(project);
    tree.HandleMenuCommand(kDirCmdRefresh);
    std::vector<std::string> children = Children(project);
    std::sort(children.begin(), children.end());
    EXPECT_EQ(children, (std::vector<std::string>{"子目录", "新的"}));
    EXPECT_EQ(Children(Find(L"新的")), std::vector<std::string>{"+"});
    EXPECT_EQ(tree.Tree.GetSelectedIndex(), project);

    // A selection inside the replaced rows goes to the refreshed folder ...
    Select(Find(L"子目录"));
    temp.Folder(L"桌面\\项目 (2024)\\第三");
    tree.FillFolderChildren(project);
    EXPECT_EQ(tree.Tree.GetSelectedIndex(), project);
    // ... and one after them moves by the real difference.
    Select(Find(L"我的文档", 0));
    temp.Folder(L"桌面\\项目 (2024)\\第四");
    owner.selections.clear();
    tree.FillFolderChildren(project);
    EXPECT_EQ(Text(tree.Tree.GetSelectedIndex()), L"我的文档");
    EXPECT_EQ(Check(tree.Tree.GetSelectedIndex()), 1);
}

TEST_F(DirectoryTree, FolderNamesHoldingTheRecordSeparatorAreSkipped) {
    // U+0201 U+0403 is the separator's byte sequence itself; U+0302 U+0404 forms it after a check byte 1.
    temp.Folder(std::wstring(L"a\x0201\x0403z"));
    temp.Folder(std::wstring(L"\x0302\x0404x"));
    temp.Folder(L"正常");
    desktop = temp.root + L"\\";
    Open();
    Expand(0);
    std::vector<std::string> children = Children(0);
    EXPECT_NE(std::find(children.begin(), children.end(), "正常"), children.end());
    for (int i = 0; i < tree.Tree.nodeCount; ++i) {
        if (Icon(i) != kDirIconFolder) continue;
        EXPECT_TRUE(FileExists(tree.GetNodePath(i))) << U8(tree.GetNodePath(i));
    }
}

TEST_F(DirectoryTree, ListingThatPumpsMessagesIsNotDisturbedByARebuild) {
    // Listing pumps messages every 5,000 entries: a rebuild asked for meanwhile must not run under it.
    const std::wstring big = temp.Folder(L"桌面\\大") + L"\\";
    for (int i = 0; i < 5100; ++i) ::CreateDirectoryW((big + std::to_wstring(i)).c_str(), nullptr);
    Open();
    Expand(0);
    const int node = Find(L"大");
    ASSERT_GE(node, 0);
    ::PostMessageW(tree.GetHwnd(), WM_COMMAND, kDirCmdRebuild, 0);
    Expand(node);
    EXPECT_EQ(Find(L"大"), node);
    EXPECT_EQ(Children(node).size(), 5100u);
    EXPECT_EQ(U8(tree.GetNodePath(node + 1)).rfind(U8(big), 0), 0u);
    EXPECT_GE(Favourites(), node + 5100);
}

// ---- placeholders asked in the background --------------------------------------------------------------

TEST_F(DirectoryTree, PlaceholdersAskedInTheBackgroundEndAsAListingLeavesThem) {
    const int count = 120;  // far more than a screen
    MakeBigFolder(L"大", count);
    Open();
    Expand(0);
    const int big = Find(L"大");
    Select(Find(L"我的文档", 0));  // below the folder: it moves with every "+" written above it
    owner.selections.clear();
    Expand(big);
    ASSERT_GT(tree.PendingPlaceholderChecks(), 0);
    // The rows on screen were asked first: they show their answers already.
    int shown = 0;
    for (int n : tree.Tree.rowNodes)
        if (n > big && Level(n) == Level(big) + 1) {
            ++shown;
            EXPECT_EQ(HasPlaceholder(n), NeedsPlaceholder(KindOf(_wtoi(Text(n).c_str() + 1)))) << U8(Text(n));
        }
    EXPECT_GT(shown, 5);
    // Scrolled to the end, the top row keeps its node while "+" are written above it.
    tree.Tree.verticalBar.SetPosition(tree.Tree.verticalBar.maximum);
    const int top = tree.Tree.topNode;
    ASSERT_GT(top, big + 1);
    const CWString topText = Text(top);

    ASSERT_TRUE(Settle());
    for (int i = 0; i < count; ++i) {
        const int child = Find(ChildName(i), Level(big) + 1, big);
        ASSERT_GT(child, big);
        EXPECT_EQ(HasPlaceholder(child), NeedsPlaceholder(KindOf(i))) << U8(ChildName(i));
    }
    EXPECT_EQ(WrongPlaceholders(), std::vector<std::string>{});
    EXPECT_EQ(Text(tree.Tree.topNode), topText);
    EXPECT_EQ(tree.Tree.rowNodes.empty() ? -1 : tree.Tree.rowNodes[0], tree.Tree.topNode);
    EXPECT_EQ(Text(tree.Tree.GetSelectedIndex()), L"我的文档");
    EXPECT_TRUE(owner.selections.empty());  // no answer reaches the owner
}

TEST_F(DirectoryTree, EditsWhileChecksArePendingLeaveAConsistentTree) {
    // A node goes with its subtree as the delete command takes it out after the recycle bin.
    auto removeNode = [&](int node) {
        rg_ZhengShuShuZuLei l;
        ASSERT_GT(tree.Tree.InsertNodes(node, 0, CVolMem(), 0, l), 0);
    };
    const std::vector<BigFolderCase> edits = {
        {"expanding a child not asked yet lists it at once",
         [&](int big) {
             const int child = LastUnaskedChild(big, kVisible);
             ASSERT_GE(child, 0);
             Expand(child);
             EXPECT_EQ(Children(child), std::vector<std::string>{"里面"});
             const int empty = LastUnaskedChild(big, kOnlyHidden);
             Expand(empty);
             EXPECT_EQ(Children(empty), std::vector<std::string>{});
         }},
        {"collapsing the folder", [&](int big) { Expand(big); }},
        {"removing a child not asked yet",
         [&](int big) {
             const int child = LastUnaskedChild(big, kVisible);
             const CWString name = Text(child);
             removeNode(child);
             EXPECT_EQ(Find(name, -1, big), -1);
         }},
        {"removing the folder",
         [&](int big) {
             removeNode(big);
             EXPECT_EQ(tree.PendingPlaceholderChecks(), 0);
         }},
        {"listing the folder again",
         [&](int big) {
             const std::wstring folder = tree.GetNodePath(big);
             ::CreateDirectoryW((folder + L"新的").c_str(), nullptr);
             ::CreateDirectoryW((folder + L"新的\\更深").c_str(), nullptr);
             Select(big);
             tree.HandleMenuCommand(kDirCmdRefresh);
             ASSERT_TRUE(Settle());
             EXPECT_EQ(Children(Find(L"新的", -1, big)), std::vector<std::string>{"+"});
         }},
        {"renaming the folder, the editor open while checks wait",
         [&](int big) {
             ASSERT_EQ(tree.Tree.BeginEditNode(big, -1), 1);
             const int waiting = tree.PendingPlaceholderChecks();
             PumpMessagesFor(60);
             EXPECT_EQ(tree.PendingPlaceholderChecks(), waiting);  // nothing moves under the editor
             tree.Tree.editor.SetText(L"改名");
             tree.Tree.EndInPlaceEdit(&tree.Tree.editor);
             EXPECT_EQ(Text(big), L"改名");
             EXPECT_TRUE(IsExistingFolder(desktop + L"改名"));
         }},
        {"rebuilding the tree",
         [&](int) {
             tree.BuildRoots();
             EXPECT_EQ(tree.PendingPlaceholderChecks(), 0);
         }},
        {"a new folder in a child not asked yet",
         [&](int big) {
             const int child = LastUnaskedChild(big, kVisible);
             const CWString name = Text(child);
             Select(child);
             tree.CreateNewFolder();
             tree.Tree.EndInPlaceEdit(&tree.Tree.editor);
             // Found again: rows above it may have got their "+" meanwhile.
             std::vector<std::string> names = Children(Find(name, -1, big));
             std::sort(names.begin(), names.end());
             EXPECT_EQ(names, (std::vector<std::string>{"新文件夹1", "里面"}));
         }},
        {"selecting a path through a child not asked yet",
         [&](int big) {
             const int child = LastUnaskedChild(big, kHiddenAndVisible);
             const int found = tree.SelectPath(tree.GetNodePath(child) + L"里面");
             ASSERT_GE(found, 0);
             EXPECT_EQ(Text(found), L"里面");
             EXPECT_EQ(tree.Tree.GetSelectedIndex(), found);
         }},
    };
    for (size_t e = 0; e < edits.size(); ++e) MakeBigFolder(L"大" + std::to_wstring(e), 60);
    Open();
    for (size_t e = 0; e < edits.size(); ++e) {
        SCOPED_TRACE(edits[e].what);
        const int big = OpenWithChecksPending(L"大" + std::to_wstring(e));
        ASSERT_GE(big, 0);
        ASSERT_GT(tree.PendingPlaceholderChecks(), 0);
        edits[e].run(big);
        ASSERT_TRUE(Settle());
        EXPECT_EQ(WrongPlaceholders(), std::vector<std::string>{});
    }
}

TEST_F(DirectoryTree, WithoutAWindowEveryPlaceholderIsWrittenAtOnce) {
    MakeBigFolder(L"大", 60);
    rg_DrenvikMuLuShuKuang1 bare;
    bare.BuildRoots();
    bare.FillFolderChildren(0);
    int big = -1;
    for (int i = 0; i < bare.Tree.nodeCount && big < 0; ++i) {
        rg_ZhengShuShuZuLei l;
        if (bare.Tree.GetNodeText(i, l) == L"大") big = i;
    }
    ASSERT_GT(big, 0);
    bare.FillFolderChildren(big);
    EXPECT_EQ(bare.PendingPlaceholderChecks(), 0);
    EXPECT_EQ(WrongPlaceholders(bare), std::vector<std::string>{});
}

// Read into a control before it is shown, and into one shown already, which sees no shown event
// after the read.
TEST_F(DirectoryTree, TreeReadFromAStreamWithChecksPendingAsksThemAgain) {
    MakeBigFolder(L"大", 300);
    Open();
    Expand(0);
    Expand(Find(L"大"));
    ASSERT_GT(tree.PendingPlaceholderChecks(), 0);
    VolMemStream out;
    tree.SaveToStream(&out);
    for (bool shownFirst : {false, true}) {
        SCOPED_TRACE(shownFirst ? "read while shown" : "read, then shown");
        rg_DrenvikMuLuShuKuang1 back;
        auto show = [&] {
            back.ModifyStyle(WS_VISIBLE, 0);
            ASSERT_TRUE(back.CreateInParent(form, 0, 0, 300, 460, 102));
            back.SetVisible(true);
        };
        if (shownFirst) show();
        VolMemStream in(out.Data());
        back.LoadFromStream(&in);
        ASSERT_EQ(in.status, VolDataStream::kGood);
        if (!shownFirst) show();
        ASSERT_TRUE(PumpUntil([&] { return back.PendingPlaceholderChecks() == 0; }, 30000));
        EXPECT_EQ(WrongPlaceholders(back), std::vector<std::string>{});
    }
}

// A message box runs a message loop of its own, which delivers the control's check timer, and a
// "+" written meanwhile moves every node after it. Each command still acts on the node the user
// chose, and every other node and favourite stays.
TEST_F(DirectoryTree, CommandsActOnTheChosenNodeWhileTheirBoxesRunChecks) {
    std::vector<std::wstring> recycled;
    ScopedSeam recycle(&PlatformSeams::recycle, [&](const CWString& path) {
        recycled.push_back(path);
        PumpMessagesFor(50);  // the shell's progress window runs a loop too
        TempTree::Remove(path);
        return RecycleResult::Recycled;
    });
    const int count = 300;
    MakeBigFolder(L"大", count);
    const std::wstring section = L"目录树_收藏夹";
    const std::wstring favoured = temp.Folder(L"收藏的"), other = temp.Folder(L"另一个");
    // 甲 and 丙 name one folder: only the ids tell them apart.
    const std::vector<std::pair<std::wstring, std::wstring>> favourites = {
        {L"100", L"甲"}, {L"200", L"乙"}, {L"300", L"丙"}, {L"400", L"丁"}};
    auto favouritesLeft = [&] {
        std::vector<std::string> left;
        for (const auto& [id, name] : favourites) {
            const int node = Find(name, 1);
            const bool kept = gComponentConfig.GetValue(section, id + L"名称", L"") == name &&
                              !gComponentConfig.GetValue(section, id + L"路径", L"").empty();
            if (node > Favourites() && kept) left.push_back(U8(name));
            else if (node > Favourites() || kept) left.push_back(U8(name) + " half gone");
        }
        return left;
    };
    auto systemEntriesLeft = [&] {
        int n = 0;
        for (const wchar_t* entry : {L"我的收藏夹", L"开始菜单组", L"临时文件目录"}) n += Find(entry, 1) > 0;
        return n;
    };
    auto childOfBig = [&](int big, int i) { return Find(ChildName(i), Level(big) + 1, big); };
    auto pumpLikeABox = [&] { PumpMessagesFor(400); };

    const std::vector<BigFolderCase> cases = {
        {"deleting a folder",
         [&](int big) {
             Select(childOfBig(big, count - 1));
             whileBoxIsUp = pumpLikeABox;
             tree.HandleMenuCommand(kDirCmdDelete);
             EXPECT_EQ(recycled, std::vector<std::wstring>{desktop + L"大\\" + ChildName(count - 1)});
             EXPECT_EQ(childOfBig(big, count - 1), -1);
             EXPECT_EQ(Children(big).size(), size_t(count - 1));
         }},
        {"deleting a folder under a real message box",
         [&](int big) {
             ScopedSeam real(&PlatformSeams::messageBox,
                             [&](HWND owner, const CWString& text, const CWString& caption, UINT type) {
                                 boxes.push_back({text, caption, type});
                                 return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
                             });
             // Answered half a second after it shows, as a person would.
             std::thread person([] {
                 HWND box = nullptr;
                 for (int i = 0; i < 400 && !box; ++i) {
                     ::Sleep(25);
                     box = ::FindWindowW(L"#32770", L"信息:");
                 }
                 ::Sleep(500);
                 if (box) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
             });
             Select(childOfBig(big, count - 2));
             tree.HandleMenuCommand(kDirCmdDelete);
             person.join();
             ASSERT_EQ(boxes.size(), 1u);
             EXPECT_EQ(recycled, std::vector<std::wstring>{desktop + L"大\\" + ChildName(count - 2)});
             EXPECT_EQ(childOfBig(big, count - 2), -1);
             EXPECT_EQ(Children(big).size(), size_t(count - 1));
         }},
        {"deleting a favourite and its folder",
         [&](int) {
             Select(Find(L"乙", 1));
             ctrlHeld = true;
             answersToBoxes = {IDOK, IDOK};
             whileBoxIsUp = pumpLikeABox;
             tree.HandleMenuCommand(kDirCmdDelete);
             EXPECT_EQ(boxes.size(), 2u);
             EXPECT_EQ(recycled, std::vector<std::wstring>{other});
             EXPECT_EQ(favouritesLeft(), (std::vector<std::string>{"甲", "丙", "丁"}));
         }},
        {"deleting a favourite",
         [&](int) {
             Select(Find(L"丙", 1));
             whileBoxIsUp = pumpLikeABox;
             tree.HandleMenuCommand(kDirCmdDelete);
             EXPECT_EQ(favouritesLeft(), (std::vector<std::string>{"甲", "乙", "丁"}));
         }},
        {"deleting a favourite while the tree changes shape under its box",
         [&](int big) {
             Select(Find(L"丙", 1));
             whileBoxIsUp = [&] { Expand(childOfBig(big, 1)); };  // as the owner might, on a timer of its own
             tree.HandleMenuCommand(kDirCmdDelete);
             EXPECT_EQ(Children(childOfBig(big, 1)), std::vector<std::string>{"里面"});
             EXPECT_EQ(favouritesLeft(), (std::vector<std::string>{"甲", "乙", "丁"}));
         }},
        {"deleting a folder while the tree changes shape under its box",
         [&](int big) {
             Select(childOfBig(big, count - 3));
             whileBoxIsUp = [&] { Expand(childOfBig(big, 1)); };
             tree.HandleMenuCommand(kDirCmdDelete);
             EXPECT_EQ(recycled, std::vector<std::wstring>{desktop + L"大\\" + ChildName(count - 3)});
             EXPECT_EQ(childOfBig(big, count - 3), -1);
             EXPECT_EQ(Children(big).size(), size_t(count - 1));
         }},
        {"renaming a folder to a name that is refused",
         [&](int big) {
             const int child = childOfBig(big, count - 4);
             ASSERT_EQ(tree.Tree.BeginEditNode(child, -1), 1);
             whileBoxIsUp = pumpLikeABox;
             tree.Tree.editor.SetText(L"甲|乙");
             tree.Tree.EndInPlaceEdit(&tree.Tree.editor);
             EXPECT_EQ(boxes.size(), 1u);
             EXPECT_GT(childOfBig(big, count - 4), big);
             EXPECT_EQ(Find(L"甲|乙"), -1);
         }},
        {"jumping to a clipboard path that is not there",
         [&](int big) {
             Select(childOfBig(big, count - 5));
             ASSERT_TRUE(SetClipboardText(desktop + L"没有这个"));
             whileBoxIsUp = pumpLikeABox;
             tree.HandleMenuCommand(kDirCmdJumpToClipboard);
             EXPECT_EQ(boxes.size(), 1u);
             EXPECT_EQ(Text(tree.Tree.GetSelectedIndex()), ChildName(count - 5));
         }},
    };
    Open();
    for (const BigFolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        for (int i = 0; i < count; ++i) temp.Folder(L"桌面\\大\\" + ChildName(i));
        gComponentConfig.Reset();
        for (const auto& [id, name] : favourites) {
            gComponentConfig.SetValue(section, id + L"名称", name);
            gComponentConfig.SetValue(section, id + L"路径", name == L"乙" ? other : favoured);
        }
        temp.Folder(L"另一个");
        boxes.clear();
        recycled.clear();
        answersToBoxes.clear();
        ctrlHeld = false;
        whileBoxIsUp = nullptr;
        const int big = OpenWithChecksPending(L"大");
        ASSERT_GE(big, 0);
        ASSERT_GT(tree.PendingPlaceholderChecks(), count / 2);
        c.run(big);
        whileBoxIsUp = nullptr;
        ASSERT_TRUE(Settle());
        EXPECT_EQ(WrongPlaceholders(), std::vector<std::string>{});
        EXPECT_GE(Favourites(), 0);
        EXPECT_EQ(systemEntriesLeft(), 3);
    }
}

// One folder stands twice: under 我的文档 and, later in the tree, through 我的电脑 > its drive. The
// user deletes the second; while the real box is up, its own loop runs what the owner does to the
// tree. The folder goes to this test's own bin, the chosen node goes, and the first node of the
// same folder stays as it would had nothing happened meanwhile.
TEST_F(DirectoryTree, DeleteTakesTheChosenNodeOfAFolderShownTwiceWhateverHappensUnderItsBox) {
    const std::wstring bin = temp.Folder(L"回收站");
    std::vector<std::wstring> recycled;
    int binned = 0;
    ScopedSeam recycle(&PlatformSeams::recycle, [&](const CWString& path) {
        recycled.push_back(path);
        const std::wstring into = bin + L"\\" + std::to_wstring(++binned);
        return ::MoveFileW(path.c_str(), into.c_str()) ? RecycleResult::Recycled : RecycleResult::Failed;
    });
    ScopedSeam real(&PlatformSeams::messageBox, [&](HWND owner, const CWString& text, const CWString& caption, UINT type) {
        boxes.push_back({text, caption, type});
        return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
    });
    const std::wstring folder = documents + L"删";
    const struct {
        const char* what;
        std::function<void()> meanwhile;
    } cases[] = {
        {"the owner lists another folder", [&] { tree.FillFolderChildren(0); }},
        {"the control is written to a stream and read back", [&] { StreamRoundTrip(); }},
        {"the owner selects another path",
         [&] { EXPECT_GE(tree.SelectPath(desktop + L"项目 (2024)\\子目录"), 0); }},
        {"the tree is rebuilt and the other way listed again",
         [&] {
             tree.BuildRoots();
             Expand(Documents());
         }},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        temp.Folder(L"文档\\删");
        temp.Folder(L"文档\\删\\里面");
        temp.Folder(L"文档\\留");
        boxes.clear();
        recycled.clear();
        tree.BuildRoots();
        Expand(Documents());
        ASSERT_GE(ChildNamed(Documents(), L"删"), 0);
        const int chosen = ThroughDrive(folder);
        ASSERT_GT(chosen, ChildNamed(Documents(), L"删"));
        Expand(chosen);
        Select(chosen);
        bool ran = false;
        InNextLoop([&] {
            HWND box = OpenBox();
            if (!box) return false;
            c.meanwhile();
            ran = true;
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            return true;
        });
        tree.HandleMenuCommand(kDirCmdDelete);
        EXPECT_TRUE(ran);
        ASSERT_EQ(boxes.size(), 1u);
        ASSERT_EQ(recycled.size(), 1u);
        EXPECT_TRUE(SamePathText(recycled[0], folder));
        EXPECT_FALSE(FileExists(folder));
        EXPECT_TRUE(IsExistingFolder(bin + L"\\" + std::to_wstring(binned) + L"\\里面"));
        // The way the user chose shows the folder no more; the other way still does, with its subtree.
        const int parentThroughDrive = ThroughDrive(documents.substr(0, documents.size() - 1), false);
        if (parentThroughDrive >= 0) {
            EXPECT_EQ(ChildNamed(parentThroughDrive, L"删"), -1);
            EXPECT_GE(ChildNamed(parentThroughDrive, L"留"), 0);
        }
        const int other = ChildNamed(Documents(), L"删");
        EXPECT_GE(other, 0);
        EXPECT_GE(ChildNamed(Documents(), L"留"), 0);
        EXPECT_EQ(Find(L"删"), other);
        ASSERT_TRUE(Settle());
    }
}

// A listing of a big folder pumps messages. Whatever the owner does to the tree meanwhile, the
// folder's children land under the very node that was opened (the folder stands twice), and a
// path being selected goes on from the node it reached.
TEST_F(DirectoryTree, ListingThatPumpsKeepsToTheNodeItTook) {
    const std::wstring big = temp.Folder(L"文档\\大") + L"\\";
    for (int i = 0; i < 5100; ++i) ::CreateDirectoryW((big + ChildName(i)).c_str(), nullptr);
    // The tree box opens the node it was asked to once the listing is done, unless every record
    // was replaced meanwhile: then it knows the node no more (the listing still lands under it).
    const struct {
        const char* what;
        std::function<void()> meanwhile;
        bool opened;
    } changes[] = {
        {"the owner adds a node above it",
         [&] {
             rg_ZhengShuShuZuLei l;
             EXPECT_GE(tree.Tree.InsertChildNode(0, L"新", kDirIconFolder, kDirIconFolderSelected, 0, l), 0);
         },
         true},
        {"the control is written to a stream and read back", [&] { StreamRoundTrip(); }, false},
    };
    Open();
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        for (bool selecting : {false, true}) {
            SCOPED_TRACE(selecting ? "selecting a path in it" : "opening it through the drive");
            tree.BuildRoots();
            Expand(Documents());
            const int first = ChildNamed(Documents(), L"大");
            ASSERT_GE(first, 0);
            // Opened the second way, or reached in a path being selected.
            const std::wstring path = big.substr(0, big.size() - 1);
            const int second = selecting ? -1 : ThroughDrive(path);
            if (!selecting) {
                ASSERT_GT(second, first);
            }
            bool ran = false;
            InNextLoop([&] {
                c.meanwhile();
                ran = true;
                return true;
            });
            ::Sleep(30);  // due at the listing's first pump
            if (selecting) {
                const int found = tree.SelectPath(big + ChildName(4321));
                EXPECT_TRUE(ran);
                EXPECT_EQ(tree.Tree.GetSelectedIndex(), found);
                EXPECT_EQ(U8(tree.GetNodePath(found)), U8(big + ChildName(4321) + L"\\"));
                continue;
            }
            // Through the tree box's own key path, which opens the node once the listing is done.
            const auto state = [&](int node) {
                rg_ZhengShuShuZuLei l;
                return int8_t(uint8_t(tree.Tree.GetNodeState(node, l)));
            };
            const std::wstring before = tree.GetNodePath(second - 1);
            const int beforeState = state(second - 1);
            Select(second);
            tree.Tree.HandleKeyDown(39, 0);
            EXPECT_TRUE(ran);
            EXPECT_LE(Children(ChildNamed(Documents(), L"大")).size(), 1u);  // at most its "+"
            const int opened = ThroughDrive(path, false);
            EXPECT_EQ(Children(opened).size(), 5100u);
            EXPECT_EQ(state(opened) >= 2, c.opened);
            EXPECT_EQ(U8(tree.GetNodePath(opened - 1)), U8(before));
            EXPECT_EQ(state(opened - 1), beforeState) << "the node before it is as it was";
        }
    }
}

// ---- renaming ----------------------------------------------------------------------------------------

TEST_F(DirectoryTree, FolderRenameMovesTheFolder) {
    Open();
    Expand(0);
    const int node = Find(L"空的");
    EXPECT_EQ(tree.RenameNode(node, L"空的", L"改名 (1)"), 0);
    EXPECT_TRUE(IsExistingFolder(desktop + L"改名 (1)"));
    EXPECT_FALSE(FileExists(desktop + L"空的"));
    EXPECT_EQ(tree.RenameNode(node, L"空的", L"空的"), 1);  // unchanged
    EXPECT_EQ(tree.RenameNode(node, L"空的", L""), 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DirectoryTree, BadFolderNamesAreRefusedWithABox) {
    Open();
    Expand(0);
    const int node = Find(L"空的");
    const std::wstring bad[] = {
        L"..\\..\\逃出", L"a/b", L"c:d", L"星*", L"问?", L"引\"号", L"<", L">", L"竖|线", L"控\x01制", L".", L"..",
        L"尾点.", L"尾空 ", L"CON", L"nul.txt", L"com1", L"LPT9.log",
        // Units whose bytes hold the tree's record separator, alone or after a check byte.
        L"a\x0201\x0403", L"\x0302\x0404x",
        // Superscript digits make device names too.
        L"COM\xB9", L"com\xB2", L"LPT\xB3.txt", L"lpt\xB9",
        std::wstring(256, L'长'),
    };
    for (const std::wstring& name : bad) {
        boxes.clear();
        EXPECT_EQ(tree.RenameNode(node, L"空的", name), 1) << U8(name);
        ASSERT_EQ(boxes.size(), 1u) << U8(name);
        EXPECT_EQ(boxes[0].caption, L"信息:");
        EXPECT_TRUE(IsExistingFolder(desktop + L"空的")) << U8(name);
    }
    for (const std::wstring& good : {std::wstring(L"console"), std::wstring(L".隐藏"), std::wstring(L"com10"),
                                     std::wstring(L"COM\xB4"), std::wstring(255, L'长')})
        EXPECT_EQ(CheckFolderName(good), L"") << U8(good);
}

TEST_F(DirectoryTree, DriveRelabelKeepsTheCaptionAndUsesTheNodesOwnLetter) {
    Open();
    const int z = Find(L" (Z:)", 1);
    const int c = Find(L"系统 (盘) (C:)", 1);
    CWString editorText = Text(c);
    EXPECT_EQ(tree.HandleEditRequest(c, editorText), 0);
    EXPECT_EQ(editorText, L"系统 (盘)");      // the editor gets the bare label
    EXPECT_EQ(Text(c), L"系统 (盘) (C:)");    // the node keeps its caption meanwhile
    // The edit ends on the Z: node (a remembered letter would relabel C:).
    EXPECT_EQ(tree.RenameNode(z, L"", L"数据"), 1);
    EXPECT_EQ(labelWrites, std::vector<std::wstring>{L"Z:\\|数据"});
    EXPECT_EQ(Text(z), L"数据 (Z:)");
    EXPECT_EQ(tree.GetNodePath(z), L"Z:\\");

    labelWriteWorks = false;
    EXPECT_EQ(tree.RenameNode(c, L"系统 (盘)", L"新"), 1);
    EXPECT_EQ(Text(c), L"系统 (盘) (C:)");
    EXPECT_EQ(tree.RenameNode(c, L"系统 (盘)", L""), 1);
    EXPECT_EQ(Text(c), L"系统 (盘) (C:)");
}

TEST_F(DirectoryTree, EditRequestsFollowTheNodeKind) {
    Open();
    Expand(0);
    const int system = Find(L"系统夹", 0);
    CWString t;
    EXPECT_EQ(tree.HandleEditRequest(Find(L"空的"), t), 0);
    EXPECT_EQ(tree.HandleEditRequest(Favourites() + 1, t), 0);
    for (int refused : {0, system, system + 1, Favourites(), Find(L"我的电脑", 0), Find(L"+")})
        EXPECT_EQ(tree.HandleEditRequest(refused, t), 1) << refused;
}

// F2 on a favourite: the tree and the settings hold one name, now and after a rebuild. A name the
// tree's records cannot hold is refused with a box, as a folder's is.
TEST_F(DirectoryTree, RenamedFavouriteShowsTheNameItStores) {
    const std::wstring section = L"目录树_收藏夹";
    const struct {
        std::wstring typed, kept;
        size_t boxes;
    } cases[] = {
        {L"收藏二", L"收藏二", 0},
        {L"收\x0201\x0403藏", L"收藏", 1},  // bytes 01 02 03 04: the record separator
        {L"\x0302\x0404x", L"收藏", 1},      // the separator right after a check byte 1
        {L"", L"收藏", 0},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.typed));
        gComponentConfig.Reset();
        gComponentConfig.SetValue(section, L"100名称", L"收藏");
        gComponentConfig.SetValue(section, L"100路径", desktop);
        boxes.clear();
        tree.BuildRoots();
        const int node = Find(L"收藏", 1);
        ASSERT_GT(node, Favourites());
        Select(node);
        tree.Tree.HandleKeyDown(VK_F2, 0);
        ASSERT_EQ(tree.Tree.isEditing, 1);
        tree.Tree.editor.SetText(c.typed);
        tree.Tree.EndInPlaceEdit(&tree.Tree.editor);
        EXPECT_EQ(boxes.size(), c.boxes);
        EXPECT_EQ(U8(Text(node)), U8(c.kept));
        EXPECT_EQ(U8(gComponentConfig.GetValue(section, L"100名称", L"")), U8(c.kept));
        tree.BuildRoots();
        EXPECT_EQ(U8(Text(Favourites() + 1)), U8(c.kept));
    }
}

// While a folder lists (the listing pumps messages), the user renames one of its children: with F2,
// with a second click on the selected row's text, or in an editor opened before the listing began.
// Once the listing is done, the tree shows the folder's children as they are on disk.
TEST_F(DirectoryTree, RenameWhileAFolderListsLeavesTheTreeAsTheDiskIs) {
    const std::wstring big = MakeFolderThatPumps(L"大", 5300);
    auto onDisk = [&] {
        rg_DrenvikWenBenShuZuLei found;
        ListFiles(big, L"*", found, true);
        std::vector<std::string> names;
        for (int32_t i = 0; i < found.GetCount(); ++i) names.push_back(U8(GetPathLeaf(found.GetItem(i), 0)));
        std::sort(names.begin(), names.end());
        return names;
    };
    // The names only one side has.
    auto treeAgainstDisk = [&] {
        std::vector<std::string> shown = Children(Find(L"大", 1)), disk = onDisk(), differ;
        std::sort(shown.begin(), shown.end());
        std::set_symmetric_difference(shown.begin(), shown.end(), disk.begin(), disk.end(), std::back_inserter(differ));
        return differ;
    };
    // Types into the editor, when one is open, and presses Enter in it.
    auto typeAndEnter = [&](const wchar_t* name) {
        if (!tree.Tree.isEditing) return;
        tree.Tree.editor.SetText(name);
        ::SendMessageW(tree.Tree.editor.GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
    };
    // A left click on the text of a drawn row.
    auto clickText = [&](int node) {
        const auto& t = tree.Tree;
        for (size_t r = 0; r < t.rowNodes.size(); ++r) {
            if (t.rowNodes[r] != node) continue;
            const int x = (t.rowHitLeft[r] + t.iconSize + t.gap + t.rowHitRight[r]) / 2;
            const int y = TreeRowTop(int(r), t.gap, t.itemHeight, t.rowSpacing) + t.itemHeight / 2;
            tree.Tree.HandleMouseDown(1, x, y);
            tree.Tree.HandleMouseUp(x, y);
            return true;
        }
        return false;
    };
    const struct {
        const char* what;
        int child;  // by number in the folder
        std::function<void(int child)> before, meanwhile;
    } cases[] = {
        {"F2, a name and Enter", 7, nullptr,
         [&](int child) {
             Select(child);
             tree.Tree.HandleKeyDown(VK_F2, 0);
             typeAndEnter(L"改名一");
         }},
        {"a second click on the selected row's text", 8, nullptr,
         [&](int child) {
             EXPECT_TRUE(clickText(child));
             EXPECT_TRUE(clickText(child));
             PumpMessagesFor(400);  // the rename starts on a timer
             typeAndEnter(L"改名二");
         }},
        {"an editor opened before the listing began", 9,
         [&](int child) {
             Select(child);
             ASSERT_EQ(tree.Tree.BeginEditNode(child, -1), 1);
         },
         [&](int) { typeAndEnter(L"改名三"); }},
    };
    Open();
    Expand(0);
    Expand(Find(L"大", 1));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Settle());
        const int node = Find(L"大", 1);
        const int child = ChildNamed(node, ChildName(c.child));
        ASSERT_GT(child, node);
        if (c.before) c.before(child);
        bool ran = false;
        InNextLoop([&] {
            c.meanwhile(ChildNamed(node, ChildName(c.child)));
            ran = true;
            return true;
        });
        ::Sleep(30);  // due at the listing's first pump
        if (c.before) {
            tree.FillFolderChildren(node);  // the owner lists it, the editor open
        } else {
            Select(node);
            tree.HandleMenuCommand(kDirCmdRefresh);
        }
        EXPECT_TRUE(ran);
        EXPECT_EQ(tree.Tree.isEditing, 0);
        EXPECT_EQ(treeAgainstDisk(), std::vector<std::string>{});
    }
}

// ---- what holds the background answers back --------------------------------------------------------------

// Whatever leaves an edit's handler, a throw included, the editor counts as closed and the answers
// held back meanwhile come.
TEST_F(DirectoryTree, ThrowOutOfAnEditsHandlerReleasesTheChecks) {
    MakeBigFolder(L"大", 60);
    gComponentConfig.SetValue(L"目录树_收藏夹", L"100名称", L"收藏");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"100路径", desktop);
    const struct {
        const char* what;
        std::function<int(int big)> node;  // the node renamed
        std::wstring refused;
    } cases[] = {
        {"a folder's refused name", [&](int big) { return Find(ChildName(3), -1, big); }, L"甲|乙"},
        {"a favourite's refused name", [&](int) { return Find(L"收藏", 1); }, L"收\x0201\x0403藏"},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int big = OpenWithChecksPending(L"大");
        ASSERT_GT(tree.PendingPlaceholderChecks(), 0);
        const int node = c.node(big);
        ASSERT_GE(node, 0);
        ASSERT_EQ(tree.Tree.BeginEditNode(node, -1), 1);
        tree.Tree.editor.SetText(c.refused);
        whileBoxIsUp = [] { throw std::runtime_error("the box failed"); };
        EXPECT_THROW(tree.Tree.EndInPlaceEdit(&tree.Tree.editor), std::runtime_error);
        whileBoxIsUp = nullptr;
        EXPECT_EQ(tree.Tree.isEditing, 0);
        ASSERT_TRUE(Settle());
        EXPECT_EQ(WrongPlaceholders(), std::vector<std::string>{});
    }
}

// A throw out of the owner's selection handler, raised as a listing moves the selection onto the
// listed folder, or out of a special folder's lookup in a rebuild: the tree draws again, and every
// listed child with subfolders gets its "+".
TEST_F(DirectoryTree, ThrowWhileTheTreeHoldsItsDrawingLeavesItDrawing) {
    temp.Folder(L"桌面\\深2");
    for (int i = 0; i < 30; ++i) {
        temp.Folder(L"桌面\\深2\\层" + std::to_wstring(i));
        if (i % 2 == 0) temp.Folder(L"桌面\\深2\\层" + std::to_wstring(i) + L"\\里");
    }
    const struct {
        const char* what;
        std::function<void()> run;  // throws
    } cases[] = {
        {"the owner's selection handler in a listing",
         [&] {
             const int deep = Find(L"深2", 1);
             Select(ChildNamed(deep, L"层3"));
             owner.whenSelected = [] { throw std::runtime_error("the owner failed"); };
             tree.FillFolderChildren(deep);
         }},
        {"a special folder's lookup in a rebuild",
         [&] {
             failingFolderKind = 7;
             tree.BuildRoots();
         }},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tree.BuildRoots();
        Expand(0);
        Expand(Find(L"深2", 1));
        ASSERT_TRUE(Settle());
        EXPECT_THROW(c.run(), std::runtime_error);
        owner.whenSelected = nullptr;
        failingFolderKind = -1;
        EXPECT_EQ(tree.Tree.autoRefresh, 1);
        ASSERT_TRUE(Settle());
        EXPECT_EQ(WrongPlaceholders(), std::vector<std::string>{});
    }
}

// Held answers arm nothing: the control's timer stays quiet while the editor is open or a listing
// pumps, and the answers come once the hold ends.
TEST_F(DirectoryTree, HeldChecksLeaveTheTimerQuiet) {
    MakeBigFolder(L"大", 60);
    const std::wstring huge = temp.Folder(L"桌面\\巨") + L"\\";
    for (int i = 0; i < 5100; ++i) ::CreateDirectoryW((huge + std::to_wstring(i)).c_str(), nullptr);
    constexpr int kMilliseconds = 2000;
    // Runs a message loop for kMilliseconds; the timer messages it took, and the answers still held at its end.
    int held = 0;
    auto countTimers = [&] {
        TimerCount timers(tree.GetHwnd());
        PumpMessagesFor(kMilliseconds);
        held = tree.PendingPlaceholderChecks();
        return timers.Taken();
    };
    const struct {
        const char* what;
        std::function<int(int big)> hold;  // the timer messages taken while the hold lasts
    } cases[] = {
        {"the rename editor open",
         [&](int big) {
             EXPECT_EQ(tree.Tree.BeginEditNode(Find(ChildName(2), -1, big), -1), 1);
             const int taken = countTimers();
             tree.Tree.EndInPlaceEdit(&tree.Tree.editor);
             return taken;
         }},
        {"a listing that pumps while the owner's box is up",
         [&](int) {
             int taken = -1;
             InNextLoop([&] {
                 taken = countTimers();
                 return true;
             });
             ::Sleep(30);  // due at the listing's first pump
             Expand(Find(L"巨", 1));
             return taken;
         }},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int big = OpenWithChecksPending(L"大");
        ASSERT_GT(tree.PendingPlaceholderChecks(), 0);
        held = 0;
        const int taken = c.hold(big);
        EXPECT_GT(held, 0);
        EXPECT_GE(taken, 0);
        EXPECT_LE(taken, 2 * kMilliseconds / 1000) << "timer messages in " << kMilliseconds << " ms";
        ASSERT_TRUE(Settle());
        EXPECT_EQ(WrongPlaceholders(), std::vector<std::string>{});
    }
}

// ---- a control whose window went ------------------------------------------------------------------------

// The window goes while a listing pumps (its folder window closed): the listing lands, and no child
// is asked about subfolders for a window that is gone.
TEST_F(DirectoryTree, WindowDestroyedWhileAFolderListsAsksNothingMore) {
    MakeFolderThatPumps(L"大", 5100);
    Open();
    Expand(0);
    ASSERT_TRUE(Settle());
    const int big = Find(L"大", 1);
    ASSERT_GE(big, 0);
    bool destroyed = false;
    InNextLoop([&] {
        destroyed = ::DestroyWindow(tree.GetHwnd()) != FALSE;
        return true;
    });
    ::Sleep(30);  // due at the listing's first pump
    Expand(big);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(tree.IsCreated());
    EXPECT_EQ(Children(big).size(), 5100u);
    EXPECT_EQ(tree.PendingPlaceholderChecks(), 5100);
    PumpMessagesFor(100);
    EXPECT_EQ(tree.PendingPlaceholderChecks(), 5100);
}

// The window goes while "删除"'s box is up: the folder still goes as confirmed, and the questions
// held under the box stay unasked.
TEST_F(DirectoryTree, WindowDestroyedUnderTheDeleteBoxAsksNothingMore) {
    ScopedSeam recycle(&PlatformSeams::recycle, [](const CWString& path) {
        TempTree::Remove(path);
        return RecycleResult::Recycled;
    });
    MakeBigFolder(L"大", 300);
    Open();
    const int big = OpenWithChecksPending(L"大");
    ASSERT_GE(big, 0);
    const int child = LastUnaskedChild(big, kVisible);
    ASSERT_GT(child, big);
    const std::wstring name = Text(child);
    Select(child);
    const int waiting = tree.PendingPlaceholderChecks();
    ASSERT_GT(waiting, 100);
    whileBoxIsUp = [&] { ::DestroyWindow(tree.GetHwnd()); };
    tree.HandleMenuCommand(kDirCmdDelete);
    EXPECT_FALSE(tree.IsCreated());
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(FileExists(desktop + L"大\\" + name));
    EXPECT_EQ(Find(name, -1, big), -1);
    EXPECT_EQ(tree.PendingPlaceholderChecks(), waiting - 1);  // the deleted child's own went with it
}

// ---- selection and check mark --------------------------------------------------------------------------

TEST_F(DirectoryTree, SelectionMovesTheSingleCheckMarkAndReachesTheOwner) {
    Open();
    Select(0);
    Select(2);
    EXPECT_EQ(Check(0), 0);
    EXPECT_EQ(Check(2), 1);
    EXPECT_EQ(owner.selections, (std::vector<int>{1, 1}));
    tree.Tree.selectionReason = 3;  // right click: neither check mark nor owner
    tree.Tree.SelectNode(3);
    EXPECT_EQ(Check(3), 0);
    EXPECT_EQ(owner.selections.size(), 2u);
}

// ---- SelectPath, OpenPath, jumping ------------------------------------------------------------------------

TEST_F(DirectoryTree, SelectPathListsFoldersOnTheWayAndIgnoresCase) {
    temp.Folder(L"桌面\\项目 (2024)\\子目录\\Deep");
    Open();
    const int n = tree.SelectPath(L"  " + desktop + L"项目 (2024)\\子目录\\deep  ");
    ASSERT_GE(n, 0);
    EXPECT_EQ(Text(n), L"Deep");
    EXPECT_EQ(tree.Tree.GetSelectedIndex(), n);
    EXPECT_EQ(owner.selections.back(), 0);
    // Upper-case desktop prefix, through a drive path (C:\...), and misses.
    CWString upper = desktop;
    upper.MakeUpper();
    EXPECT_EQ(tree.SelectPath(upper + L"空的"), Find(L"空的"));
    EXPECT_EQ(tree.SelectPath(desktop + L"不存在"), -1);
    EXPECT_EQ(tree.Tree.GetSelectedIndex(), Find(L"空的"));
    const int viaDrive = tree.SelectPath(systemPaths[5]);
    ASSERT_GE(viaDrive, 0);
    EXPECT_EQ(U8(tree.GetNodePath(viaDrive)), U8(systemPaths[5]));
}

TEST_F(DirectoryTree, JumpToClipboardPath) {
    Open();
    const std::wstring file = temp.File(L"桌面\\空的\\a.txt");
    CWString upper = desktop + L"项目 (2024)";
    upper.MakeUpper();
    // The node the jump lands on; empty: the text names no folder and the box says so.
    const struct {
        std::wstring clipboard, lands;
    } cases[] = {
        {desktop + L"项目 (2024)\\子目录", L"子目录"},
        {file, L"空的"},  // a file: the folder holding it
        {upper, L"项目 (2024)"},
        {L"\"" + desktop + L"项目 (2024)\"", L"项目 (2024)"},  // Explorer's "copy as path"
        {L" \"" + file + L"\"\r\n", L"空的"},
        {L"C:\\没有这个文件夹", L""},
        {L".", L""},  // relative texts name whatever the current folder is
        {L"..", L""},
        {L"\"\"", L""},
    };
    for (const auto& c : cases) {
        boxes.clear();
        Select(0);
        Expand(0);
        const int count = tree.Tree.nodeCount;
        ASSERT_TRUE(SetClipboardText(c.clipboard));
        tree.HandleMenuCommand(kDirCmdJumpToClipboard);
        if (!c.lands.empty()) {
            EXPECT_EQ(U8(Text(tree.Tree.GetSelectedIndex())), U8(c.lands)) << U8(c.clipboard);
            EXPECT_TRUE(boxes.empty()) << U8(c.clipboard);
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u) << U8(c.clipboard);
        EXPECT_EQ(boxes[0].text, L"剪贴板中的路径不存在：" + c.clipboard);
        EXPECT_EQ(boxes[0].caption, L"信息:");
        EXPECT_EQ(boxes[0].type, 0u);
        // Nothing rebuilt: the listed desktop and the selection stay.
        EXPECT_EQ(tree.Tree.nodeCount, count) << U8(c.clipboard);
        EXPECT_EQ(tree.Tree.GetSelectedIndex(), 0) << U8(c.clipboard);
    }
}

// ---- commands ------------------------------------------------------------------------------------------

TEST_F(DirectoryTree, MenuStatesFollowTheSelectedNode) {
    Open();
    Expand(0);
    const int system = Find(L"系统夹", 0);
    const int ids[] = {kDirCmdRead, kDirCmdOpen, kDirCmdRename, kDirCmdDelete, kDirCmdNewFolder, kDirCmdCopyName,
                       kDirCmdCopyPath, kDirCmdBatchCheck, kDirCmdRefresh, kDirCmdAddFavourite};
    auto states = [&](int node) {
        tree.Tree.selectedNode = node;
        tree.UpdateMenuStates();
        std::string s;
        for (int id : ids) s += tree.ContextMenu.IsItemEnabled(id) ? '1' : '0';
        return s;
    };
    Expand(Find(L"项目 (2024)"));
    tree.Tree.selectedNode = -1;
    EXPECT_EQ(states(Find(L"空的")), "1111111111");
    EXPECT_EQ(states(Favourites()), "1000010100");
    EXPECT_EQ(states(Favourites() + 1), "1111111110");
    EXPECT_EQ(states(system + 1), "1100111110");  // a system folder: neither renamed nor deleted
    EXPECT_EQ(states(Find(L"系统 (盘) (C:)", 1)), "1110111110");
    const int placeholder = Find(L"+");
    ASSERT_GE(placeholder, 0);
    EXPECT_EQ(states(placeholder), "0000000000");
}

TEST_F(DirectoryTree, DeleteAsksAndMovesTheFolderToTheRecycleBin) {
    std::vector<std::wstring> recycled;
    RecycleResult shell = RecycleResult::Recycled;
    ScopedSeam recycle(&PlatformSeams::recycle, [&](const CWString& path) {
        recycled.push_back(path);
        if (shell == RecycleResult::Recycled) TempTree::Remove(path);
        return shell;
    });
    Open();
    Expand(0);
    const int count = tree.Tree.nodeCount;
    Select(Find(L"空的"));

    answersToBoxes = {IDCANCEL};
    tree.HandleShortcutKey(VK_DELETE, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"确定要删除到回收站吗？" + desktop + L"空的\\");
    EXPECT_EQ(boxes[0].type, 0x31u);
    EXPECT_TRUE(recycled.empty());

    shell = RecycleResult::Failed;  // the shell fails: nothing changes, nothing is said
    boxes.clear();
    tree.HandleShortcutKey(VK_DELETE, 0);
    EXPECT_EQ(recycled, std::vector<std::wstring>{desktop + L"空的"});  // no trailing "\"
    EXPECT_EQ(tree.Tree.nodeCount, count);
    EXPECT_TRUE(IsExistingFolder(desktop + L"空的"));
    EXPECT_EQ(boxes.size(), 1u);

    shell = RecycleResult::NotRecyclable;  // the bin cannot take it: it stays, and the user is told
    boxes.clear();
    tree.HandleShortcutKey(VK_DELETE, 0);
    EXPECT_EQ(tree.Tree.nodeCount, count);
    EXPECT_TRUE(IsExistingFolder(desktop + L"空的"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, L"此文件夹无法放入回收站，没有删除：" + desktop + L"空的\\");
    EXPECT_EQ(boxes[1].caption, L"信息:");

    shell = RecycleResult::Recycled;
    tree.HandleShortcutKey(VK_DELETE, 0);
    EXPECT_EQ(tree.Tree.nodeCount, count - 1);
    EXPECT_EQ(Find(L"空的"), -1);
    EXPECT_FALSE(FileExists(desktop + L"空的"));
}

TEST_F(DirectoryTree, RecycleThatSucceedsButLeavesTheFolderIsNoDeletion) {
    ScopedSeam recycle(&PlatformSeams::recycle, [](const CWString&) { return RecycleResult::Recycled; });
    EXPECT_EQ(DeleteToRecycleBin(temp.Folder(L"留下") + L"\\"), RecycleResult::Failed);
    EXPECT_EQ(DeleteToRecycleBin(L"C:\\"), RecycleResult::Failed);
    EXPECT_EQ(DeleteToRecycleBin(L""), RecycleResult::Failed);
}

// Wine keeps its trash under $XDG_DATA_HOME, read once when a process starts: each real deletion
// runs in a child process whose trash lies in this test's own folder. The child deletes through the
// tree's command and writes down the boxes it was shown.
TEST_F(DirectoryTree, RealDeleteEndsInTheTestsOwnBinOrNowhere) {
    if (UnixPathOf(temp.root).empty()) GTEST_SKIP() << "the trash is set up for Wine's only";
    const struct {
        const wchar_t *run, *name;
        bool binWorks;  // false: XDG_DATA_HOME names a plain file, so no trash can be made
    } cases[] = {{L"bin", L"回收", true}, {L"nobin", L"留住", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.name));
        const std::wstring run = temp.Folder(c.run);
        temp.Folder(std::wstring(c.run) + L"\\桌面");
        const std::wstring folder = temp.Folder(std::wstring(c.run) + L"\\桌面\\" + c.name);
        temp.Folder(std::wstring(c.run) + L"\\桌面\\" + c.name + L"\\里面");
        temp.File(std::wstring(c.run) + L"\\桌面\\" + c.name + L"\\里面\\内容.txt");
        // An ASCII path: Wine hands it on to the child's Unix environment as it is.
        const std::wstring data = c.binWorks ? temp.Folder(std::wstring(c.run) + L"\\data")
                                             : temp.File(std::wstring(c.run) + L"\\data");
        const std::wstring boxLog = run + L"\\boxes.txt";
        ASSERT_EQ(RunDeleteChild(folder, UnixPathOf(data), boxLog), 0);

        const CVolMem bytes = CVolMem::ConstructFromFile(boxLog);
        CWStringArray shown;
        SplitTextBySeparator(CWString::FromUtf16Bytes(bytes.GetPtr(), bytes.GetSize()), shown, L"\n", false, true);
        ASSERT_GE(shown.size(), 1u);
        EXPECT_EQ(shown[0], L"确定要删除到回收站吗？" + folder + L"\\");
        if (c.binWorks) {
            EXPECT_EQ(shown.size(), 1u);
            EXPECT_FALSE(FileExists(folder));
            EXPECT_TRUE(FileExists(data + L"\\Trash\\files\\" + c.name + L"\\里面\\内容.txt"));
        } else {
            EXPECT_TRUE(FileExists(folder + L"\\里面\\内容.txt"));
            ASSERT_EQ(shown.size(), 2u);
            EXPECT_EQ(shown[1], L"此文件夹无法放入回收站，没有删除：" + folder + L"\\");
        }
    }
}

// Run only as the child of the test above.
TEST_F(DirectoryTree, DISABLED_DeleteAsAChildProcess) {
    const std::wstring folder = EnvironmentText(kDeleteChildFolder), boxLog = EnvironmentText(kDeleteChildBoxes);
    if (folder.empty() || boxLog.empty()) GTEST_SKIP() << "started by RealDeleteEndsInTheTestsOwnBinOrNowhere";
    desktop = folder.substr(0, folder.rfind(L'\\') + 1);
    Open();
    Expand(0);
    Select(Find(folder.substr(desktop.size()), 1));
    ASSERT_GE(tree.Tree.GetSelectedIndex(), 0);
    tree.HandleMenuCommand(kDirCmdDelete);
    CWString text;
    for (const Box& b : boxes) text += b.text + L"\n";
    ASSERT_TRUE(CVolMem::ConstructFromText(text).WriteToFile(boxLog));
}

TEST_F(DirectoryTree, FavouriteDeleteWithCtrlAsksAgainBeforeTheFolderGoes) {
    std::vector<std::wstring> recycled;
    ScopedSeam recycle(&PlatformSeams::recycle, [&](const CWString& path) {
        recycled.push_back(path);
        TempTree::Remove(path);
        return RecycleResult::Recycled;
    });
    const std::wstring target = temp.Folder(L"收藏的");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"100名称", L"甲");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"100路径", target);
    gComponentConfig.SetValue(L"目录树_收藏夹", L"200名称", L"乙");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"200路径", target);
    gComponentConfig.SetValue(L"目录树_收藏夹", L"300名称", L"丙");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"300路径", desktop);
    gComponentConfig.SetValue(L"目录树_收藏夹", L"400名称", L"丁");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"400路径", temp.Folder(L"另一个"));
    Open();
    Select(Find(L"甲"));
    ctrlHeld = true;
    answersToBoxes = {IDOK, IDCANCEL};  // the favourite goes, the folder stays
    tree.HandleMenuCommand(kDirCmdDelete);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"确定要删除收藏项吗？甲\r\n(如果需要连同收藏指向的文件夹一起删除，请按下Ctrl键再点击确定按钮)");
    EXPECT_NE(boxes[1].text.find(target), std::wstring::npos);  // the second question names the folder
    EXPECT_TRUE(recycled.empty());
    EXPECT_EQ(Find(L"甲"), -1);
    EXPECT_EQ(gComponentConfig.GetValue(L"目录树_收藏夹", L"100名称", L"gone"), L"gone");
    EXPECT_EQ(gComponentConfig.GetValue(L"目录树_收藏夹", L"100路径", L"gone"), L"gone");

    boxes.clear();
    Select(Find(L"乙"));
    tree.HandleMenuCommand(kDirCmdDelete);  // both answered OK
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(recycled, std::vector<std::wstring>{target});

    boxes.clear();
    Select(Find(L"丙"));  // it points at the desktop folder, which is never deleted: no second question
    tree.HandleMenuCommand(kDirCmdDelete);
    EXPECT_EQ(Find(L"丙"), -1);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(recycled.size(), 1u);
    EXPECT_TRUE(IsExistingFolder(desktop));

    boxes.clear();
    ctrlHeld = false;
    Select(Find(L"丁"));  // without Ctrl only the favourite goes
    tree.HandleMenuCommand(kDirCmdDelete);
    EXPECT_EQ(Find(L"丁"), -1);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(recycled.size(), 1u);
    EXPECT_TRUE(IsExistingFolder(temp.root + L"\\另一个"));
}

TEST_F(DirectoryTree, NewFolderTakesTheNextFreeNumberAndOpensTheEditor) {
    temp.Folder(L"桌面\\空的\\新文件夹1");
    temp.Folder(L"桌面\\空的\\新文件夹2");
    Open();
    Expand(0);
    Select(Find(L"空的"));  // has never been listed: listed now, with the new folder
    tree.CreateNewFolder();
    EXPECT_TRUE(IsExistingFolder(desktop + L"空的\\新文件夹3"));
    EXPECT_EQ(Text(tree.Tree.GetSelectedIndex()), L"新文件夹3");
    EXPECT_EQ(tree.Tree.isEditing, 1);
    tree.Tree.EndInPlaceEdit(&tree.Tree.editor);

    Select(Find(L"新文件夹3"));  // listed, no children: appended
    tree.CreateNewFolder();
    EXPECT_TRUE(IsExistingFolder(desktop + L"空的\\新文件夹3\\新文件夹1"));
    EXPECT_EQ(U8(tree.GetSelectedPath()), U8(desktop + L"空的\\新文件夹3\\新文件夹1\\"));

    // A favourite stored without the trailing "\" still gets its folder inside, not beside it.
    gComponentConfig.SetValue(L"目录树_收藏夹", L"7名称", L"无斜杠");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"7路径", desktop + L"项目 (2024)");
    tree.BuildRoots();
    Select(Find(L"无斜杠"));
    tree.CreateNewFolder();
    EXPECT_TRUE(IsExistingFolder(desktop + L"项目 (2024)\\新文件夹1"));
}

TEST_F(DirectoryTree, NewFolderFailureShowsTheBox) {
    const std::wstring file = temp.File(L"文件.txt");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"8名称", L"文件");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"8路径", file);
    Open();
    Select(Find(L"文件"));
    tree.CreateNewFolder();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"创建文件夹失败：" + file + L"\\新文件夹1");
    EXPECT_EQ(boxes[0].caption, L"信息:");
}

TEST_F(DirectoryTree, CopyNameAndPathByKeysFireOnce) {
    Open();
    Expand(0);
    Select(Find(L"项目 (2024)"));
    SetClipboardText(L"");
    tree.Tree.HandleKeyDown('C', kModCtrl);
    EXPECT_EQ(GetClipboardText(), desktop + L"项目 (2024)\\");
    tree.Tree.HandleKeyDown('C', kModCtrl | kModShift);
    EXPECT_EQ(GetClipboardText(), L"项目 (2024)");
    owner.selections.clear();
    tree.Tree.HandleKeyDown(VK_F5, 0);
    EXPECT_EQ(owner.selections, std::vector<int>{0});
}

TEST_F(DirectoryTree, BatchCheckSetsOrClearsTheChildren) {
    Open();
    Expand(0);
    Select(0);
    tree.HandleMenuCommand(kDirCmdBatchCheck);
    for (int child : {Find(L"空的"), Find(L"项目 (2024)")}) EXPECT_EQ(Check(child), 1);
    EXPECT_EQ(tree.Tree.GetSelectedIndex(), 0);
    ctrlHeld = true;
    tree.HandleMenuCommand(kDirCmdBatchCheck);
    for (int child : {Find(L"空的"), Find(L"项目 (2024)")}) EXPECT_EQ(Check(child), 0);
}

// ---- favourites ----------------------------------------------------------------------------------------

TEST_F(DirectoryTree, FavouritesAddedInOneSecondKeepTheirOwnKeysInTheFile) {
    Open();
    Expand(0);
    gComponentConfig.sectionName = L"主界面";  // another user of the settings chose its section
    Select(Find(L"空的"));
    tree.HandleShortcutKey(VK_F7, 0);
    Select(Find(L"项目 (2024)"));
    tree.HandleShortcutKey(VK_F7, 0);
    const int root = Favourites();
    std::vector<std::string> names = Children(root);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[1], "空的");
    EXPECT_EQ(names[2], "项目 (2024)");
    const int first = Find(L"空的", 1, root), second = Find(L"项目 (2024)", 1, root);
    EXPECT_NE(Data(first), Data(second));
    EXPECT_EQ(Children(second), std::vector<std::string>{"+"});
    rg_ZhengShuShuZuLei l;
    EXPECT_GE(tree.Tree.GetNodeState(root, l), 2);  // the root opened to show them

    const std::wstring file = temp.root + L"\\软件配置.ini";
    CWString path = file;
    ASSERT_EQ(gComponentConfig.SaveToFile(path), 1);
    CVolMem bytes;
    ASSERT_TRUE(bytes.ReadWholeFile(file));
    const CWString text = CWString::FromUtf16Bytes(bytes.GetPtr() + 2, bytes.GetSize() - 2);
    const int section = text.FindText(L"[目录树_收藏夹]");
    ASSERT_GE(section, 0);
    for (const wchar_t* node : {L"空的", L"项目 (2024)"}) {
        const CWString id = CWString::FromInt(Data(Find(node, 1, root)));
        EXPECT_GT(text.FindText(id + L"名称=" + node), section) << U8(node);
        EXPECT_GT(text.FindText(id + L"路径=" + desktop + node + L"\\"), section) << U8(node);
    }
    EXPECT_EQ(text.FindText(L"[主界面]"), -1);
}

TEST_F(DirectoryTree, OddFavouriteKeysKeepTheirOwnKeys) {
    gComponentConfig.SetValue(L"目录树_收藏夹", L"甲名称", L"第一");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"甲路径", desktop);
    gComponentConfig.SetValue(L"目录树_收藏夹", L"乙名称", L"第二");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"乙路径", documents.substr(0, documents.size() - 1));
    Open();
    const int first = Find(L"第一"), second = Find(L"第二");
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    EXPECT_NE(Data(first), Data(second));
    EXPECT_EQ(tree.GetNodePath(first), desktop);
    EXPECT_EQ(tree.GetNodePath(second), documents);  // the trailing "\" is added on reading
    EXPECT_EQ(tree.RenameNode(second, L"第二", L"第二个"), 0);
    EXPECT_EQ(gComponentConfig.GetValue(L"目录树_收藏夹", L"乙名称", L""), L"第二个");
    EXPECT_EQ(gComponentConfig.GetValue(L"目录树_收藏夹", L"甲名称", L""), L"第一");
}

// ---- keyboard menu --------------------------------------------------------------------------------------

TEST_F(DirectoryTree, MenuKeyOpensTheMenu) {
    Open();
    Select(0);
    // The menu runs its own loop; a thread timer closes it.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        ::EndMenu();
    });
    ::SendMessageW(tree.Tree.surface.GetHwnd(), WM_CONTEXTMENU, WPARAM(tree.Tree.surface.GetHwnd()), LPARAM(-1));
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(owner.menus, 1);
}

// ---- what the user sees -------------------------------------------------------------------------------

class DirectoryTreeLook : public DirectoryTree, public ::testing::WithParamInterface<double> {};

TEST_P(DirectoryTreeLook, Screenshot) {
    const double factor = GetParam();
    SetDpiFactorsForTest(factor);
    ScopedIconResources icons;
    ASSERT_TRUE(icons.Loaded());
    gComponentConfig.SetValue(L"目录树_收藏夹", L"1名称", L"模型目录");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"1路径", desktop + L"项目 (2024)\\");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"2名称", L"下载");
    gComponentConfig.SetValue(L"目录树_收藏夹", L"2路径", documents);
    const int w = int(300 * factor), h = int(620 * factor);
    MakeTestForm(form, w + 20, h + 20);
    ASSERT_TRUE(tree.CreateInParent(form, 10, 10, w, h, 101));  // created visible: the shown event builds
    Expand(0);
    Expand(Find(L"项目 (2024)"));
    Expand(Find(L"系统夹", 0));
    Expand(Favourites());
    Select(Find(L"子目录"));
    form.SetVisible(true);
    PumpMessagesFor(300);
    for (int icon = 2; icon <= 11; ++icon) EXPECT_NE(tree.Tree.images.GetAt(icon), nullptr) << icon;
    const std::wstring name = factor > 1 ? L"directory_tree_150.png" : L"directory_tree_100.png";
    EXPECT_FALSE(SaveScreenOfWindow(form.GetHwnd(), name).empty());
}

INSTANTIATE_TEST_SUITE_P(Dpi, DirectoryTreeLook, ::testing::Values(1.0, 1.5));

}  // namespace

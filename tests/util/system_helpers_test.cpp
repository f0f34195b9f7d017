#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "platform/dynapi.h"  // windows.h and shellapi.h
#include <shlobj.h>  // DROPFILES
#include "platform/seams.h"
#include "platform/system.h"
#include "support/fake_setx.h"
#include "util/system_helpers.h"

namespace {

ULONGLONG Since(ULONGLONG t0) { return ::GetTickCount64() - t0; }

// The arguments setx receives, split the way the C runtime splits them.
std::vector<CWString> Arguments(const CWString& line) {
    int n = 0;
    wchar_t** argv = ::CommandLineToArgvW(line.c_str(), &n);
    std::vector<CWString> args(argv, argv + n);
    ::LocalFree(argv);
    return args;
}

class FakeSetx : public ::testing::Test {
protected:
    std::vector<CWString> Lines() const { return setx_.Lines(); }
    FakeSetxLog setx_;
};

}  // namespace

TEST(SetxCommandLine, QuotesTheValueSoItArrivesWhole) {
    struct { const wchar_t* name; const wchar_t* value; const wchar_t* line; } cases[] = {
        {L"OLLAMA_MODELS", L"D:\\models", L"setx OLLAMA_MODELS \"D:\\models\""},
        {L"OLLAMA_MODELS", L"D:\\models\\", L"setx OLLAMA_MODELS \"D:\\models\\\\\""},
        {L"OLLAMA_MODELS", L"D:\\a\\\\", L"setx OLLAMA_MODELS \"D:\\a\\\\\\\\\""},
        {L"OLLAMA_MODELS", L"D:\\my models\\模型", L"setx OLLAMA_MODELS \"D:\\my models\\模型\""},
        {L"OLLAMA_MODELS", L"\\\\server\\share", L"setx OLLAMA_MODELS \"\\\\server\\share\""},
        {L"X", L"", L"setx X \"\""},
        // refused: no command line can carry these
        {L"X", L"a\"b", L""},
        {L"X", L"a\r\nb", L""},
        {L"X", L"a\nb", L""},
        {L"", L"v", L""},
        {L"A B", L"v", L""},
        {L"/M", L"v", L""},
        {L"A\"B", L"v", L""},
    };
    for (auto& c : cases) {
        CWString line = BuildSetxCommandLine(c.name, c.value);
        EXPECT_EQ(line, c.line) << CWString(c.value).ToUtf8();
        if (!line.empty()) {
            std::vector<CWString> args = Arguments(line);
            ASSERT_EQ(args.size(), 3u) << line.ToUtf8();
            EXPECT_EQ(args[1], c.name);
            EXPECT_EQ(args[2], c.value) << "the value setx sees";
        }
    }
    // setx keeps 1024 characters and cuts a longer value, still reporting success.
    const CWString longest(kSetxValueLimit, L'a');
    EXPECT_EQ(kSetxValueLimit, 1024u);
    EXPECT_EQ(BuildSetxCommandLine(L"X", longest), L"setx X \"" + longest + L"\"");
    EXPECT_EQ(BuildSetxCommandLine(L"X", longest + L"a"), L"");
}

TEST_F(FakeSetx, RunsSetxAndReportsItsExitCode) {
    EXPECT_EQ(SetUserEnvironmentVariable(L"OLLAMA_MODELS", L"D:\\模型\\"), 1);
    std::vector<CWString> lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"setx OLLAMA_MODELS \"D:\\模型\\\\\"");
    std::vector<CWString> args = Arguments(lines[0]);
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[2], L"D:\\模型\\");

    setx_.ExitWith(L"1");
    EXPECT_EQ(SetUserEnvironmentVariable(L"OLLAMA_MODELS", L"D:\\x"), 0) << "setx failed";
    setx_.ExitWith(nullptr);
    EXPECT_EQ(SetUserEnvironmentVariable(L"OLLAMA_MODELS", L"D:\\\"x"), 0) << "refused value";
    EXPECT_EQ(SetUserEnvironmentVariable(L"OLLAMA_MODELS", L"D:\\" + CWString(kSetxValueLimit, L'x')), 0)
        << "a value setx would cut";
    EXPECT_EQ(Lines().size(), 2u) << "a refused value never reaches setx";
}

TEST(SetxProgram, IsTheSystemsOwnByFullPath) {
    wchar_t system[MAX_PATH + 1] = {};
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH + 1);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(Seams().setxProgram(), CWString(system, n) + L"\\setx.exe");
}

TEST_F(FakeSetx, StartsTheProgramItIsGivenNotOneFoundByName) {
    // A setx.exe lies beside this program, first in the search by name; a program named by the
    // hook (here one that is not setx and records nothing) runs instead, with the same command line.
    ASSERT_NE(::GetFileAttributesW((GetModuleDirectory() + L"setx.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    ScopedSeam other(&PlatformSeams::setxProgram, [] { return CWString(GetModuleDirectory() + L"console_writer.exe"); });
    EXPECT_EQ(SetUserEnvironmentVariable(L"OLLAMA_MODELS", L"D:\\models"), 1);
    EXPECT_TRUE(Lines().empty()) << "the setx beside the program ran";
    ScopedSeam none(&PlatformSeams::setxProgram, [] { return CWString(); });
    EXPECT_EQ(SetUserEnvironmentVariable(L"OLLAMA_MODELS", L"D:\\models"), 0);
    EXPECT_TRUE(Lines().empty());
}

namespace {

struct CountingWindow {
    static inline int received = 0;
    static inline rg_LuoJiXingLei* flagToSet = nullptr;
    static inline int quitCode = -1;  // the handler posts WM_QUIT with it when not -1
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_APP + 1) {
            ++received;
            if (flagToSet) flagToSet->Set(1);
            if (quitCode != -1) ::PostQuitMessage(quitCode);
            return 0;
        }
        return ::DefWindowProcW(w, m, wp, lp);
    }
    HWND hwnd = nullptr;
    CountingWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KelvaroCountingWindow";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        received = 0;
        flagToSet = nullptr;
        quitCode = -1;
    }
    ~CountingWindow() { ::DestroyWindow(hwnd); }
};

}  // namespace

TEST(WaitPumpingMessages, WaitsAndHandlesMessages) {
    for (int64_t ms : {0, -5}) {
        ULONGLONG t0 = ::GetTickCount64();
        WaitPumpingMessages(ms);
        EXPECT_LT(Since(t0), 10u) << ms;
    }
    CountingWindow window;
    ::PostMessageW(window.hwnd, WM_APP + 1, 0, 0);
    ULONGLONG t0 = ::GetTickCount64();
    WaitPumpingMessages(30);
    EXPECT_GE(Since(t0), 30u);
    EXPECT_EQ(CountingWindow::received, 1);
}

// The program ending ends both waits at once, whether WM_QUIT was queued before the wait or posted
// by a handler during it; the quit stays queued with its code for the real loop.
TEST(WaitPumpingMessages, QuitEndsTheWait) {
    rg_LuoJiXingLei never;
    const std::function<void()> waits[] = {[] { WaitPumpingMessages(5000); },
                                           [&] { WaitPumpingMessagesUntilFlag(never, 5000); }};
    for (bool postedByHandler : {false, true}) {
        for (size_t w = 0; w < std::size(waits); ++w) {
            SCOPED_TRACE(testing::Message() << "wait " << w << (postedByHandler ? ", posted by a handler" : ""));
            CountingWindow window;
            if (postedByHandler) {
                CountingWindow::quitCode = 3;
                ::PostMessageW(window.hwnd, WM_APP + 1, 0, 0);
            } else {
                ::PostQuitMessage(3);
            }
            const ULONGLONG t0 = ::GetTickCount64();
            waits[w]();
            EXPECT_LT(Since(t0), 1000u);
            MSG msg;
            ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
            EXPECT_EQ(msg.wParam, 3u);
        }
    }

    // A test's stand-in wait is not asked either, so its clock stands still.
    int asked = 0;
    ScopedSeam fake(&PlatformSeams::wait, [&](int64_t) { ++asked; });
    ::PostQuitMessage(3);
    for (const auto& wait : waits) wait();
    EXPECT_EQ(asked, 0);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    for (const auto& wait : waits) wait();
    EXPECT_EQ(asked, 2);
}

TEST(WaitPumpingMessages, FlagEndsTheWait) {
    rg_LuoJiXingLei flag;
    flag.Set(1);
    ULONGLONG t0 = ::GetTickCount64();
    WaitPumpingMessagesUntilFlag(flag, 2000);
    EXPECT_LT(Since(t0), 10u) << "a raised flag ends a positive wait before any sleep";

    flag.Set(0);
    CountingWindow window;
    CountingWindow::flagToSet = &flag;
    ::PostMessageW(window.hwnd, WM_APP + 1, 0, 0);  // its handler raises the flag
    t0 = ::GetTickCount64();
    WaitPumpingMessagesUntilFlag(flag, 5000);
    EXPECT_LT(Since(t0), 500u);

    flag.Set(0);
    std::thread raiser([&] { ::Sleep(50); flag.Set(1); });
    t0 = ::GetTickCount64();
    WaitPumpingMessagesUntilFlag(flag, 5000);
    raiser.join();
    EXPECT_LT(Since(t0), 500u) << "raised from another thread";
}

TEST(SeedRandom, SeedsOnlyTheCallingThread) {
    RandomSeededFlag().store(0);
    std::srand(42);
    int first = std::rand();
    std::srand(42);
    std::thread seeding([] { SeedRandomFromTimeAndThread(); });
    seeding.join();
    EXPECT_EQ(std::rand(), first) << "another thread's seed leaves this thread's sequence alone";
    EXPECT_EQ(RandomSeededFlag().load(), 1);
}

TEST(DynamicDllCall, CallsByNameWithPointerSizedArguments) {
    rg_class_DongTaiDiaoYongDLL call;
    call.moduleHandle = reinterpret_cast<intptr_t>(::GetModuleHandleW(L"kernel32.dll"));
    call.ResolveFunction(L"lstrlenW");
    ASSERT_NE(call.functionAddress, 0);
    EXPECT_EQ(call.argumentCount, 3);
    call.argumentCount = 1;
    const wchar_t* text = L"hello";  // a full 64-bit pointer must arrive intact
    EXPECT_EQ(int32_t(call.Invoke(reinterpret_cast<intptr_t>(text), 0, 0, 0, 0)), 5);

    call.ResolveFunction(L"GetCurrentProcessId");
    call.argumentCount = 0;
    EXPECT_EQ(DWORD(call.Invoke(0, 0, 0, 0, 0)), ::GetCurrentProcessId());
    call.argumentCount = 6;
    EXPECT_EQ(call.Invoke(0, 0, 0, 0, 0), 0) << "no call beyond five arguments";

    call.ResolveFunction(L"NoSuchFunctionAnywhere");
    EXPECT_EQ(call.functionAddress, 0);
    EXPECT_EQ(call.Invoke(1, 2, 3, 4, 5), 0);
}

namespace {

LRESULT CALLBACK Replacement(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP + 7) return 77;
    return ::DefWindowProcW(w, m, wp, lp);
}

struct DropOwner : CVolObject, VolEventReceiver {
    struct Event { int32_t count, index; CWString path, extension; };
    std::vector<Event> events;
    DropOwner() : VolEventReceiver(this) {}
    ~DropOwner() override { DetachEvents(); }
    static int OnDrop(CVolObject* owner, CVolObject*, intptr_t, int32_t count, int32_t index, const CWString& path,
                      const CWString& ext) {
        static_cast<DropOwner*>(owner)->events.push_back({count, index, path, ext});
        return 0;
    }
};

// A shell drop of these files, as the shell hands it over.
HDROP MakeDrop(const std::vector<CWString>& files) {
    std::wstring list;
    for (auto& f : files) { list += f; list.push_back(L'\0'); }
    list.push_back(L'\0');
    HGLOBAL g = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* df = static_cast<DROPFILES*>(::GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    ::GlobalUnlock(g);
    return static_cast<HDROP>(g);
}

LRESULT CALLBACK Original(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP + 9) return LRESULT(wp + lp);
    return ::DefWindowProcW(w, m, wp, lp);
}

HWND MakeWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Original;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvaroDropTest";
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
}

// A window registered as a drop target whose events go to an owner.
struct DropSetup {
    HWND window = MakeWindow();
    DropOwner owner;
    std::unique_ptr<rg_DrenvikWenJianTuoFangLei> dropper = std::make_unique<rg_DrenvikWenJianTuoFangLei>();
    DropSetup() {
        dropper->FileDropped.Bind(&DropOwner::OnDrop, owner.GetEventTarget());
        dropper->Register(window);
    }
    ~DropSetup() { ::DestroyWindow(window); }
    void Drop(const std::vector<CWString>& files) { ::SendMessageW(window, WM_DROPFILES, WPARAM(MakeDrop(files)), 0); }
};

}  // namespace

TEST(WindowProcedure, ReplacedThroughUser32) {
    HWND w = MakeWindow();
    WNDPROC before = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(w, GWLP_WNDPROC));
    WNDPROC previous = SetWindowProcedure(w, Replacement);
    EXPECT_EQ(previous, before);
    EXPECT_EQ(::SendMessageW(w, WM_APP + 7, 0, 0), 77);
    EXPECT_EQ(SetWindowProcedure(w, previous), Replacement);
    EXPECT_EQ(::SendMessageW(w, WM_APP + 9, 2, 3), 5);
    ::DestroyWindow(w);
}

TEST(FileDrop, OneEventPerFileAndOtherMessagesPassOn) {
    DropSetup setup;
    HWND w = setup.window;
    DropOwner& owner = setup.owner;
    EXPECT_EQ(setup.dropper->windowHandle, reinterpret_cast<intptr_t>(w));
    EXPECT_TRUE(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    CWString longPath = L"C:\\" + CWString::Repeat(L"长", 1200) + L".txt";
    setup.Drop({L"C:\\a\\one.txt", L"C:\\b.dir\\noext", L"C:\\c\\plain", longPath});
    ASSERT_EQ(owner.events.size(), 4u);
    const wchar_t* extensions[] = {L".txt", L".dir\\noext", L"", L".txt"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(owner.events[size_t(i)].count, 4);
        EXPECT_EQ(owner.events[size_t(i)].index, i);
        EXPECT_EQ(owner.events[size_t(i)].extension, extensions[i]);
    }
    EXPECT_EQ(owner.events[0].path, L"C:\\a\\one.txt");
    EXPECT_EQ(owner.events[3].path, longPath) << "a long path arrives whole";

    EXPECT_EQ(::SendMessageW(w, WM_APP + 9, 20, 22), 42) << "other messages reach the previous procedure";

    // A second registration, by anyone, changes nothing.
    DropOwner other;
    {
        rg_DrenvikWenJianTuoFangLei second;
        second.FileDropped.Bind(&DropOwner::OnDrop, other.GetEventTarget());
        second.Register(w);
        EXPECT_EQ(second.windowHandle, 0);
        owner.events.clear();
        setup.Drop({L"C:\\x.y"});
        EXPECT_EQ(owner.events.size(), 1u);
        EXPECT_TRUE(other.events.empty());
    }
}

TEST(FileDrop, AWindowOutlivingItsRegistrantDropsNothing) {
    DropSetup setup;
    setup.dropper.reset();
    EXPECT_EQ(::SendMessageW(setup.window, WM_DROPFILES, WPARAM(MakeDrop({L"C:\\a.txt"})), 0), 0);
    EXPECT_TRUE(setup.owner.events.empty());
    EXPECT_EQ(DropTargetWindowProc(reinterpret_cast<HWND>(intptr_t(0x1234)), WM_APP, 0, 0), 1) << "unknown window";
}

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/notice.h"
#include "platform/seams.h"
#include "platform/shell.h"
#include "platform/temp_file.h"

namespace {

bool FileExists(const CWString& p) { return ::GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(Clipboard, RoundTripsChineseText) {
    const CWString text = L"模型目录 D:\\models\r\n第二行 ✓";
    ASSERT_TRUE(SetClipboardText(text));
    EXPECT_EQ(GetClipboardText(), text);
    ASSERT_TRUE(SetClipboardText(L""));
    EXPECT_EQ(GetClipboardText(), L"");

    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::CloseClipboard();
    EXPECT_EQ(GetClipboardText(), L"") << "no text on the clipboard";
}

TEST(MessageBoxSeam, ReplacedByTests) {
    struct Seen { HWND owner; CWString text, caption; UINT type; };
    std::vector<Seen> seen;
    ScopedSeam fake(&PlatformSeams::messageBox, [&](HWND o, const CWString& t, const CWString& c, UINT type) {
        seen.push_back({o, t, c, type});
        return IDNO;
    });
    EXPECT_EQ(ShowMessageBoxOwned(L"确定要删除到回收站吗？", 0x31, L"信息:"), IDNO);
    HWND owner = ::GetDesktopWindow();
    EXPECT_EQ(ShowMessageBoxOwned(L"b", MB_YESNOCANCEL, L"c", owner), IDNO);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].owner, nullptr);
    EXPECT_EQ(seen[0].text, L"确定要删除到回收站吗？");
    EXPECT_EQ(seen[0].caption, L"信息:");
    EXPECT_EQ(seen[0].type, 0x31u);
    EXPECT_EQ(seen[1].owner, owner);
    EXPECT_EQ(seen[1].type, UINT(MB_YESNOCANCEL));
}

TEST(MessageBoxSeam, DefaultShowsTheRealBox) {
    const wchar_t* caption = L"Kelvaro 测试框";
    std::atomic<bool> done{false};
    CWString shown;
    std::thread closer([&] {
        for (int i = 0; i < 500 && !done; ++i) {
            if (HWND box = ::FindWindowW(L"#32770", caption)) {
                wchar_t text[256] = {};
                ::GetDlgItemTextW(box, 0xFFFF, text, 256);
                shown = text;
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(20);
        }
    });
    int r = ShowMessageBoxOwned(L"你好", MB_OK, caption);
    done = true;
    closer.join();
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(shown, L"你好");
}

TEST(InputDialogSeam, AnswersThroughTheHook) {
    CWString text = L"old";
    EXPECT_FALSE(ShowInputDialog(nullptr, L"p", L"t", text)) << "no dialog installed: cancelled";
    EXPECT_TRUE(text.empty());
    ScopedSeam fake(&PlatformSeams::inputDialog, [](HWND, const CWString& prompt, const CWString&, CWString& t) {
        t = prompt + L"!";
        return true;
    });
    EXPECT_TRUE(ShowInputDialog(nullptr, L"模型", L"", text));
    EXPECT_EQ(text, L"模型!");
}

TEST(OpenWithShell, BrowseSelectsAndFallsBackToTheBrowser) {
    struct Call { CWString file, parameters; int show; };
    std::vector<Call> calls;
    bool accept = true;
    ScopedSeam fake(&PlatformSeams::shellOpen, [&](const CWString& f, const CWString& p, int show) {
        calls.push_back({f, p, show});
        return accept;
    });
    EXPECT_EQ(OpenWithShell(L"browse://C:\\a b\\模型.txt", 1), 1);
    EXPECT_EQ(OpenWithShell(L"https://127.0.0.1/x?a=1&b=2"), 1);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].file, L"explorer.exe");
    EXPECT_EQ(calls[0].parameters, L"/select,\"C:\\a b\\模型.txt\"");
    EXPECT_EQ(calls[0].show, 1);
    EXPECT_EQ(calls[1].file, L"https://127.0.0.1/x?a=1&b=2");
    EXPECT_EQ(calls[1].parameters, L"");

    calls.clear();
    accept = false;
    EXPECT_EQ(OpenWithShell(L"C:\\nowhere\\file.unknownext"), 0);
    ASSERT_GE(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, L"C:\\nowhere\\file.unknownext");
    if (calls.size() == 2) {
        EXPECT_EQ(calls[1].parameters, L"\"C:\\nowhere\\file.unknownext\"") << "the .htm program";
    }
}

TEST(SpecialFolders, EveryKindEndsWithABackslash) {
    for (int kind = 1; kind <= 12; ++kind) {
        CWString path = GetSpecialFolderPath(kind);
        ASSERT_FALSE(path.empty()) << kind;
        EXPECT_EQ(path.back(), L'\\') << kind;
    }
    EXPECT_TRUE(GetSpecialFolderPath(0).empty());
    EXPECT_TRUE(GetSpecialFolderPath(13).empty());
    // The profile folder: where the documents folder sits by default, but asked for itself.
    wchar_t profile[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    EXPECT_EQ(GetSpecialFolderPath(12), CWString(profile) + L"\\");

    ScopedSeam fake(&PlatformSeams::specialFolder, [](int kind) {
        return kind == 1 ? CWString(L"C:\\Users\\测试") : kind == 3 ? CWString(L"C:\\Desk\\") : CWString();
    });
    EXPECT_EQ(GetSpecialFolderPath(1), L"C:\\Users\\测试\\");
    EXPECT_EQ(GetSpecialFolderPath(3), L"C:\\Desk\\");
    EXPECT_EQ(GetSpecialFolderPath(2), L"");
}

TEST(TempFiles, FreshNamesInTheFolderAsked) {
    CWString a = MakeTempFileName(), b = MakeTempFileName();
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(FileExists(a) && FileExists(b)) << "the name is taken on the disk";
    EXPECT_EQ(a.find(GetSpecialFolderPath(11)), 0u);
    ::DeleteFileW(a.c_str());
    ::DeleteFileW(b.c_str());

    CWString folder = GetSpecialFolderPath(11) + L"kv-temp-测试";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    CWString c = MakeTempFileName(folder);
    EXPECT_EQ(c.find(folder + L"\\"), 0u) << c.ToUtf8();
    ::DeleteFileW(c.c_str());
    ::RemoveDirectoryW(folder.c_str());
    EXPECT_TRUE(MakeTempFileName(folder + L"\\missing").empty());
}

TEST(Registry, ReadsUserText) {
    const wchar_t* key = L"Software\\KelvaroTest";
    const CWString value = L"127.0.0.1:8080;代理";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key, L"ProxyServer", REG_SZ, value.c_str(),
                                DWORD((value.size() + 1) * 2)), ERROR_SUCCESS);
    DWORD number = 5;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Number", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(ReadUserRegistryText(key, L"ProxyServer"), value);
    EXPECT_EQ(ReadUserRegistryText(key, L"Number"), L"") << "not text";
    EXPECT_EQ(ReadUserRegistryText(key, L"Missing"), L"");
    EXPECT_EQ(ReadUserRegistryText(L"Software\\KelvaroNoSuchKey", L"x"), L"");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

TEST(NoticeReceiver, RunsWorkerCallsOnItsThreadSynchronously) {
    IVolNoticeReceiver receiver;
    ASSERT_NE(receiver.GetWindow(), nullptr);
    wchar_t name[64] = {};
    ::GetClassNameW(receiver.GetWindow(), name, 64);
    EXPECT_STREQ(name, L"_VOL_IVolNoticeReceiver");

    const DWORD uiThread = ::GetCurrentThreadId();
    std::vector<DWORD> ranOn;
    std::atomic<bool> finished{false};
    bool sawResultAtReturn = false;
    std::string error;
    std::thread worker([&] {
        int value = 0;
        receiver.Call([&] { ranOn.push_back(::GetCurrentThreadId()); value = 42; });
        sawResultAtReturn = value == 42;  // set on the other thread before Call returned
        try {
            receiver.Call([] { throw std::runtime_error("from the ui thread"); });
        } catch (const std::runtime_error& e) {
            error = e.what();
        }
        finished = true;
    });
    // The user-interface thread keeps handling messages; the calls arrive inside PeekMessageW.
    MSG msg;
    for (int i = 0; i < 5000 && !finished; ++i) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(1);
    }
    worker.join();
    ASSERT_EQ(ranOn.size(), 1u);
    EXPECT_EQ(ranOn[0], uiThread);
    EXPECT_TRUE(sawResultAtReturn);
    EXPECT_EQ(error, "from the ui thread");

    bool direct = false;
    EXPECT_TRUE(receiver.Call([&] { direct = true; })) << "on its own thread the call runs at once";
    EXPECT_TRUE(direct);
}

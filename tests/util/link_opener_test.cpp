#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/dynapi.h"
#include "util/link_opener.h"

namespace {

struct ShellCall { std::wstring verb, file, params; };
std::vector<ShellCall> gCalls;
INT_PTR gShellResult = 42;

HINSTANCE WINAPI FakeShellExecute(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR params, LPCWSTR, INT) {
    gCalls.push_back({verb ? verb : L"", file ? file : L"", params ? params : L""});
    return reinterpret_cast<HINSTANCE>(gShellResult);
}

// Replaces the shell for one test: nothing is really opened.
struct FakeShell {
    decltype(DynamicApiTable.ShellExecuteW) saved = DynamicApiTable.ShellExecuteW;
    explicit FakeShell(INT_PTR result) {
        gCalls.clear();
        gShellResult = result;
        DynamicApiTable.ShellExecuteW = &FakeShellExecute;
    }
    ~FakeShell() { DynamicApiTable.ShellExecuteW = saved; }
};

// Closes the message box "信息:" once it shows and keeps its text.
struct MessageBoxCloser {
    std::wstring text;
    std::atomic<bool> stop{false};
    std::thread watcher{[this] {
        for (int i = 0; i < 1000 && !stop; ++i) {
            if (HWND box = ::FindWindowW(L"#32770", L"信息:")) {
                wchar_t buf[512] = {};
                ::GetDlgItemTextW(box, 0xFFFF, buf, 512);
                text = buf;
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(10);
        }
    }};
    ~MessageBoxCloser() { stop = true; watcher.join(); }
};

std::wstring ClipboardText() {
    std::wstring s;
    if (!::OpenClipboard(nullptr)) return s;
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
        s = static_cast<const wchar_t*>(::GlobalLock(h));
        ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return s;
}

}  // namespace

TEST(LinkOpener, WebAddressesGoToTheBrowser) {
    FakeShell shell(42);
    struct { const wchar_t* in; const wchar_t* opened; } cases[] = {
        {L"https://www.baidu.com/s?wd=x", L"https://baidu.com/s?wd=x"},
        {L"https://ollama.com/download", L"https://ollama.com/download"},
        {L"https://www.example.com/", L"https://www.example.com/"},
    };
    for (auto& c : cases) {
        CWString target = c.in;
        EXPECT_EQ(OpenLinkOrPath(target, L""), 1);
        EXPECT_EQ(target, c.opened);
        ASSERT_FALSE(gCalls.empty());
        EXPECT_EQ(gCalls.back().verb, L"open");
        EXPECT_EQ(gCalls.back().file, c.opened);
    }
    CWString browse = L"browse://C:\\models\\a.gguf";
    EXPECT_EQ(OpenLinkOrPath(browse, L""), 1);
    EXPECT_EQ(gCalls.back().file, L"explorer.exe");
    EXPECT_EQ(gCalls.back().params, L"/select,\"C:\\models\\a.gguf\"");
}

TEST(LinkOpener, PathsGoToTheShellWithParameters) {
    FakeShell shell(33);
    CWString path = L"C:\\tools\\app.exe";
    EXPECT_EQ(OpenLinkOrPath(path, L"--flag"), 1);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].verb, L"Open");
    EXPECT_EQ(gCalls[0].params, L"--flag");
}

TEST(LinkOpener, FailureCopiesTheTargetAndSaysWhereToPasteIt) {
    FakeShell shell(2);  // SE_ERR_FILENOTFOUND
    struct { const wchar_t* target; const wchar_t* place; } cases[] = {
        {L"C:\\no\\such\\file.txt", L"我的电脑"},
        {L"http://127.0.0.1:9/x", L"浏览器"},
    };
    for (auto& c : cases) {
        MessageBoxCloser closer;
        CWString target = c.target;
        EXPECT_EQ(OpenLinkOrPath(target, L""), 0);
        closer.stop = true;
        EXPECT_EQ(ClipboardText(), c.target);
        EXPECT_EQ(closer.text, std::wstring(L"打开失败：") + c.target + L"\r\n\r\n已将该地址复制，请手动到" + c.place + L"粘贴打开！");
    }
}

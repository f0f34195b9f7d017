#include <gtest/gtest.h>

#include "platform/seams.h"
#include "platform/shell.h"
#include "util/link_opener.h"

namespace {

struct ShellCall { CWString file, params; int show; };

// The shell and the message box replaced for one test: nothing is opened, nothing waits for a user.
struct FakeDesktop {
    std::vector<ShellCall> calls;
    std::vector<std::pair<CWString, CWString>> boxes;  // text, caption
    bool accept;
    ScopedSeam<decltype(PlatformSeams::shellOpen)> shell{&PlatformSeams::shellOpen,
        [this](const CWString& f, const CWString& p, int show) { calls.push_back({f, p, show}); return accept; }};
    ScopedSeam<decltype(PlatformSeams::messageBox)> box{&PlatformSeams::messageBox,
        [this](HWND, const CWString& text, const CWString& caption, UINT type) {
            EXPECT_EQ(type, UINT(MB_ICONINFORMATION));
            boxes.emplace_back(text, caption);
            return IDOK;
        }};
    explicit FakeDesktop(bool accepts) : accept(accepts) {}
};

}  // namespace

TEST(LinkOpener, WebAddressesGoToTheBrowser) {
    FakeDesktop desk(true);
    struct { const wchar_t* in; const wchar_t* opened; } cases[] = {
        {L"https://www.baidu.com/s?wd=x", L"https://baidu.com/s?wd=x"},
        {L"https://ollama.com/download", L"https://ollama.com/download"},
        {L"https://www.example.com/", L"https://www.example.com/"},
    };
    for (auto& c : cases) {
        CWString target = c.in;
        EXPECT_EQ(OpenLinkOrPath(target, L"ignored"), 1);
        EXPECT_EQ(target, c.opened);
        ASSERT_FALSE(desk.calls.empty());
        EXPECT_EQ(desk.calls.back().file, c.opened);
        EXPECT_EQ(desk.calls.back().params, L"");
        EXPECT_EQ(desk.calls.back().show, SW_SHOWNORMAL);
    }
    CWString browse = L"browse://C:\\models\\a.gguf";  // holds "://": a web address to this function
    EXPECT_EQ(OpenLinkOrPath(browse, L""), 1);
    EXPECT_EQ(desk.calls.back().file, L"explorer.exe");
    EXPECT_TRUE(desk.boxes.empty());
}

TEST(LinkOpener, PathsGoToTheShellWithParameters) {
    FakeDesktop desk(true);
    CWString path = L"C:\\tools\\app.exe";
    EXPECT_EQ(OpenLinkOrPath(path, L"--flag"), 1);
    ASSERT_EQ(desk.calls.size(), 1u);
    EXPECT_EQ(desk.calls[0].file, L"C:\\tools\\app.exe");
    EXPECT_EQ(desk.calls[0].params, L"--flag");
}

TEST(LinkOpener, FailureCopiesTheTargetAndSaysWhereToPasteIt) {
    FakeDesktop desk(false);
    struct { const wchar_t* target; const wchar_t* place; } cases[] = {
        {L"C:\\no\\such\\file.txt", L"我的电脑"},
        {L"http://127.0.0.1:9/x", L"浏览器"},
    };
    for (auto& c : cases) {
        // The clipboard is shared with every program on the display: another test program may take
        // it between the two steps, so a mismatch is tried again a few times.
        CWString clipboard;
        for (int attempt = 0; attempt < 5 && clipboard != c.target; ++attempt) {
            CWString target = c.target;
            EXPECT_EQ(OpenLinkOrPath(target, L""), 0);
            clipboard = GetClipboardText();
        }
        EXPECT_EQ(clipboard, c.target);
        ASSERT_FALSE(desk.boxes.empty());
        EXPECT_EQ(desk.boxes.back().second, L"信息:");
        EXPECT_EQ(desk.boxes.back().first,
                  CWString(L"打开失败：") + c.target + L"\r\n\r\n已将该地址复制，请手动到" + c.place + L"粘贴打开！");
    }
}

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "platform/app.h"
#include "platform/system.h"
#include "platform/dpi.h"
#include "platform/exception.h"
#include "platform/dynapi.h"
#include "platform/font.h"
#include "platform/seams.h"
#include "platform/window.h"
#include "support/ui_helpers.h"

namespace {
// Records the boxes shown instead of showing them.
struct BoxRecorder {
    std::vector<std::pair<CWString, CWString>> boxes;  // caption, text
    ScopedSeam<decltype(PlatformSeams::messageBox)> seam{
        &PlatformSeams::messageBox, [this](HWND, const CWString& text, const CWString& caption, UINT) {
            boxes.emplace_back(caption, text);
            return IDOK;
        }};
};
}  // namespace

TEST(StartupGuard, EscapingExceptionsAreShownAndGiveMinusOne) {
    EXPECT_EQ(DescribePlatformException(2, L"无法找到函数: x.dll -> F"),
              L"俘获到异常,代码值为: 2, 描述为: 无法找到函数: x.dll -> F");
    BoxRecorder recorder;
    EXPECT_EQ(RunGuarded([] { throw CVolException(7, L"坏了"); }, true), -1);
    EXPECT_EQ(RunGuarded([] { throw std::runtime_error("x"); }, true), -1);
    ASSERT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(recorder.boxes[0].first, kStartupErrorCaption);
    EXPECT_EQ(recorder.boxes[0].second, L"俘获到异常,代码值为: 7, 描述为: 坏了");
    EXPECT_EQ(recorder.boxes[1].second, kUnmanagedExceptionText);

    int calls = 0;
    EXPECT_EQ(RunGuarded([&] { ++calls; }, true), 0);
    EXPECT_EQ(RunGuarded([&] { ++calls; }, false), 0);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(recorder.boxes.size(), 2u);
}

TEST(FontDescription, RoundTripAndGdiFont) {
    VolFontSpec s = ParseFontDescription(kDefaultFontText);
    EXPECT_EQ(s.face, L"微软雅黑");
    EXPECT_EQ(s.size, 11);
    EXPECT_EQ(FormatFontDescription(s), kDefaultFontText);
    VolFontSpec styled = ParseFontDescription(L" Arial ,12,1,真, TRUE ,0,-900");
    EXPECT_EQ(FormatFontDescription(styled), L"Arial, 12, 1, 1, 1, 0, -900");

    UniqueGdiObject font = CreateFontFromSpec(s);
    LOGFONTW lf{};
    ASSERT_TRUE(::GetObjectW(font.get(), sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"微软雅黑");
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(lf.lfHeight, -::MulDiv(11, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, screen);
}

TEST(MessageLoop, IdleHookAndQuit) {
    CVolMFCApp app;
    int idles = 0;
    app.idleHook = [&](long) {
        if (++idles == 3) ::PostQuitMessage(5);
        return true;
    };
    int swallowed = 0;
    app.preTranslateHook = [&](MSG& m) { return m.message == WM_APP && ++swallowed; };
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_EQ(app.RunMessageLoop(), 5);
    EXPECT_GE(idles, 3);
    EXPECT_EQ(swallowed, 1);
}

TEST(Application, LoopEndsWhenTheMainWindowIsDestroyed) {
    HiddenTestForm form;
    int rc;
    {
        CVolMFCApp app;
        rc = app.Run([&] {
            ASSERT_TRUE(form.LoadWindow());
            app.SetMainWindow(&form);
            form.Close();
        });
        EXPECT_EQ(app.GetMainWindow(), nullptr);
    }
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(form.IsCreated());
    BindDynamicApiTable();  // the application released the table's modules; the tests go on with it
}

TEST(Application, InitialisesTheProcess) {
    CVolMFCApp app;
    DpiScale = 3.0;
    ASSERT_TRUE(app.InitInstance());
    HDC screen = ::GetDC(nullptr);
    double expected = ComputeDpiScale(0, ::GetDeviceCaps(screen, LOGPIXELSX));
    ::ReleaseDC(nullptr, screen);
    EXPECT_DOUBLE_EQ(DpiScale, expected);  // Xvfb: 96 DPI, so 1.0
    EXPECT_EQ(gMainThreadId, ::GetCurrentThreadId());
    gMainThreadId = 0;
    SetDpiFactorsForTest(1.0);
}

// The run-time function table: the program's 27 rows all bind, and what cannot be bound names the
// DLL or the function in the start-up box's words, with code -1.
TEST(StartupGuard, RunTimeFunctionTable) {
    const auto rows = DynamicApiRows();
    ASSERT_EQ(rows.size(), 27u);
    EXPECT_STREQ(rows[0].dll, L"advapi32.dll");
    EXPECT_STREQ(rows[14].dll, L"Psapi.dll");
    EXPECT_STREQ(rows[14].name, "GetModuleFileNameExW");
    BindDynamicApiTable();
    for (const DynamicApiRow& row : rows) EXPECT_NE(*row.slot, nullptr) << row.name;

    void* slot = nullptr;
    struct Case {
        std::vector<DynamicApiRow> rows;
        const wchar_t* text;
    } cases[] = {
        {{{L"kelvaro_missing.dll", "F", &slot}},
         L"俘获到异常,代码值为: -1, 描述为: 载入运行时所需要的外部动态链接库文件\"kelvaro_missing.dll\"失败!"},
        // An empty DLL name is the DLL of the row before.
        {{{L"kernel32.dll", "CloseHandle", &slot}, {L"", "KelvaroNoSuchExport", &slot}},
         L"俘获到异常,代码值为: -1, 描述为: 在外部动态链接库\"kernel32.dll\"中未找到所需要的输出函数\"KelvaroNoSuchExport\"!"},
    };
    BoxRecorder recorder;
    for (const Case& c : cases) {
        EXPECT_EQ(RunGuarded([&] { BindDynamicApiRows(c.rows); }, true), -1);
        ASSERT_FALSE(recorder.boxes.empty());
        EXPECT_EQ(recorder.boxes.back().first, kStartupErrorCaption);
        EXPECT_EQ(recorder.boxes.back().second, c.text);
    }
}

// An access violation that nothing handles shows the box and ends the process with -1.
TEST(StartupGuardDeathTest, UnhandledAccessViolationShowsTheBox) {
    ScopedSeam<decltype(PlatformSeams::messageBox)> seam{
        &PlatformSeams::messageBox, [](HWND, const CWString& text, const CWString& caption, UINT) {
            std::fprintf(stderr, "box %s %s\n", caption == kStartupErrorCaption ? "caption" : "?",
                         text == kUnmanagedExceptionText ? "unmanaged" : "?");
            return IDOK;
        }};
    EXPECT_EXIT(
        {
            InstallUnhandledExceptionBox();
            *static_cast<volatile int*>(nullptr) = 1;
        },
        ::testing::ExitedWithCode(-1), "box caption unmanaged");
}

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/app.h"
#include "platform/exception.h"
#include "platform/dynapi.h"
#include "platform/font.h"
#include "platform/window.h"
#include "support/ui_helpers.h"

TEST(StartupGuard, PlatformExceptionsAreShownWithCodeAndDescription) {
    EXPECT_EQ(DescribePlatformException(2, L"无法找到函数: x.dll -> F"),
              L"俘获到异常,代码值为: 2, 描述为: 无法找到函数: x.dll -> F");
    MessageBoxWatcher box(kStartupErrorCaption);
    int rc = RunGuarded([] { throw CVolException(7, L"坏了"); }, true);
    ASSERT_TRUE(box.Wait());
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(box.Text(), L"俘获到异常,代码值为: 7, 描述为: 坏了");
}

TEST(StartupGuard, OtherExceptionsAreUnmanaged) {
    MessageBoxWatcher box(kStartupErrorCaption);
    EXPECT_EQ(RunGuarded([] { throw std::runtime_error("x"); }, true), -1);
    ASSERT_TRUE(box.Wait());
    EXPECT_EQ(box.Text(), kUnmanagedExceptionText);
    int calls = 0;
    EXPECT_EQ(RunGuarded([&] { ++calls; }, true), 0);
    EXPECT_EQ(RunGuarded([&] { ++calls; }, false), 0);
    EXPECT_EQ(calls, 2);
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

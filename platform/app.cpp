#include "platform/app.h"

#include <commctrl.h>
#include <objbase.h>

#include <cwchar>

#include "platform/dpi.h"
#include "platform/dynapi.h"
#include "platform/exception.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/window.h"

double ComputeDpiScale(int effectiveDpi, int logicalDpi) noexcept {
    int dpi = effectiveDpi > 0 ? effectiveDpi : logicalDpi;
    double scale = dpi > 0 ? dpi / 96.0 : 1.0;
    return scale < 1.0 ? 1.0 : scale;
}

CWString DescribePlatformException(int code, std::wstring_view description) {
    std::wstring d(description);
    int n = std::swprintf(nullptr, 0, L"俘获到异常,代码值为: %d, 描述为: %ls", code, d.c_str());
    std::wstring out(size_t(n > 0 ? n : 0) + 1, L'\0');
    std::swprintf(out.data(), out.size(), L"俘获到异常,代码值为: %d, 描述为: %ls", code, d.c_str());
    out.resize(out.size() - 1);
    return out;
}

void ShowStartupErrorBox(const CWString& text) {
    ShowMessageBoxOwned(text, MB_OK | MB_ICONERROR, kStartupErrorCaption);
}

int RunGuarded(const std::function<void()>& start, bool guard) {
    if (!guard) {
        start();
        return 0;
    }
    try {
        start();
        return 0;
    } catch (const CVolException& e) {
        ShowStartupErrorBox(DescribePlatformException(e.GetCode(), e.GetDescription()));
    } catch (...) {
        ShowStartupErrorBox(kUnmanagedExceptionText);
    }
    return -1;
}

namespace {

LONG WINAPI ShowUnhandledException(EXCEPTION_POINTERS*) {
    if (::IsDebuggerPresent()) return EXCEPTION_CONTINUE_SEARCH;
    ShowStartupErrorBox(kUnmanagedExceptionText);
    ::ExitProcess(UINT(-1));
}

}  // namespace

void InstallUnhandledExceptionBox() { ::SetUnhandledExceptionFilter(&ShowUnhandledException); }

namespace {

// The effective DPI of the primary monitor through SHCore (Windows 8.1 and later), else 0.
int PrimaryMonitorEffectiveDpi() {
    HMODULE shcore = ::LoadLibraryW(L"shcore.dll");
    if (!shcore) return 0;
    using Fn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")));
    UINT x = 0, y = 0;
    HMONITOR primary = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    int dpi = (fn && SUCCEEDED(fn(primary, 0 /* MDT_EFFECTIVE_DPI */, &x, &y))) ? int(x) : 0;
    ::FreeLibrary(shcore);
    return dpi;
}

void EnablePerMonitorDpiAwareness() {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    auto setContext = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    if (setContext && setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) return;
    HMODULE shcore = ::LoadLibraryW(L"shcore.dll");
    if (shcore) {
        using SetAwareness = HRESULT(WINAPI*)(int);
        auto fn = reinterpret_cast<SetAwareness>(
            reinterpret_cast<void*>(::GetProcAddress(shcore, "SetProcessDpiAwareness")));
        bool ok = fn && SUCCEEDED(fn(2 /* PROCESS_PER_MONITOR_DPI_AWARE */));
        ::FreeLibrary(shcore);
        if (ok) return;
    }
    ::SetProcessDPIAware();
}

}  // namespace

CVolMFCApp::CVolMFCApp() = default;

CVolMFCApp::~CVolMFCApp() {
    gdiplus_.reset();
    if (tableBound_) FreeDynamicApiModules();
    if (comStarted_) ::CoUninitialize();
}

bool CVolMFCApp::InitInstance() {
    gMainThreadId = ::GetCurrentThreadId();  // web requests made on this thread run on a worker
    comStarted_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    EnablePerMonitorDpiAwareness();
    HDC screen = ::GetDC(nullptr);
    int logical = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    DpiScale = ComputeDpiScale(PrimaryMonitorEffectiveDpi(), logical);
    gdiplus_ = std::make_unique<GdiplusSession>();
    return gdiplus_->IsRunning();
}

int CVolMFCApp::Run(const std::function<void()>& start) {
    if (!::IsDebuggerPresent()) InstallUnhandledExceptionBox();
    int rc = RunGuarded(
        [&] {
            BindDynamicApiTable();
            tableBound_ = true;
            start();
        },
        !::IsDebuggerPresent());
    if (rc != 0) return -1;
    rc = RunMessageLoop();
    if (exitHook) exitHook();
    return rc;
}

int CVolMFCApp::RunMessageLoop() {
    MSG msg;
    long idleCount = 0;
    bool idle = true;
    for (;;) {
        while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!idleHook || !idleHook(idleCount++)) idle = false;
        }
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return int(msg.wParam);
        if (got < 0) return -1;
        idle = true;
        idleCount = 0;
        if (preTranslateHook && preTranslateHook(msg)) continue;
        if (VolPreTranslateForForms(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void CVolMFCApp::SetMainWindow(CVolWinForm* form) noexcept { VolSetMainWindow(form); }
CVolWinForm* CVolMFCApp::GetMainWindow() const noexcept { return VolGetMainWindow(); }

#include "support/ui_helpers.h"

#include "platform/picture.h"
#include "platform/app_instance.h"
#include "platform/system.h"

void PumpMessagesFor(int ms) {
    DWORD start = ::GetTickCount();
    MSG msg;
    do {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    } while (int(::GetTickCount() - start) < ms);
}

std::wstring SaveWindowScreenshot(HWND hwnd, const std::wstring& fileName) {
    RECT r;
    if (!::GetWindowRect(hwnd, &r)) return {};
    // Only the part on the screen: a copy reaching past its edge fails as a whole.
    const RECT screenRect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (!::IntersectRect(&r, &r, &screenRect)) return {};
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    // What the screen shows of the window, children included (PrintWindow leaves out children that
    // paint only on WM_PAINT).
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessagesFor(100);  // lets the window surface reach the screen
    if (!::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY)) ::PrintWindow(hwnd, mem, 0);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    // Beside the test programs, so the pictures outlive the run's temporary Wine prefix.
    std::wstring dir = GetModuleDirectory() + L"screenshots\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring path = dir + fileName;
    bool ok = SaveBitmapAsPng(bmp, path.c_str());
    ::DeleteObject(bmp);
    return ok ? path : std::wstring();
}

bool LiesInsideWorkArea(HWND hwnd) {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    RECT r, inside;
    if (!::GetWindowRect(hwnd, &r) ||
        !::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi))
        return false;
    ::IntersectRect(&inside, &r, &mi.rcWork);
    return ::EqualRect(&inside, &r) != FALSE;
}

ScopedIconResources::ScopedIconResources()
    : module_(::LoadLibraryExW((GetModuleDirectory() + L"svg_icons.dll").c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {
    CVolAppInstance::SetResourceModule(module_);
}

ScopedIconResources::~ScopedIconResources() {
    CVolAppInstance::SetResourceModule(nullptr);
    if (module_) ::FreeLibrary(module_);
}

ForeignWindow::ForeignWindow() {
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] {
        threadId_ = ::GetCurrentThreadId();
        hwnd_ = ::CreateWindowExW(0, L"STATIC", L"foreign", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200,
                                  nullptr, nullptr, nullptr, nullptr);
        ::SetEvent(ready);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
        ::DestroyWindow(hwnd_);
    });
    ::WaitForSingleObject(ready, 5000);
    ::CloseHandle(ready);
}

ForeignWindow::~ForeignWindow() {
    while (!::PostThreadMessageW(threadId_, WM_QUIT, 0, 0)) ::Sleep(1);
    thread_.join();
}

bool LiesAbove(HWND upper, HWND lower) {
    if (!upper || !lower || upper == lower) return false;
    for (HWND h = ::GetWindow(upper, GW_HWNDNEXT); h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (h == lower) return true;
    return false;
}

OtherProgramWindow::OtherProgramWindow(const std::wstring& title, const RECT& place) {
    std::wstring command = L"\"" + GetModuleDirectory() + L"other_program.exe\" \"" + title + L"\" " +
                           std::to_wstring(place.left) + L" " + std::to_wstring(place.top) + L" " +
                           std::to_wstring(place.right - place.left) + L" " + std::to_wstring(place.bottom - place.top);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    ::CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    PumpUntil([&] {
        HWND h = ::FindWindowW(L"KelvaroOtherProgram", title.c_str());
        if (h && ::IsWindowVisible(h)) hwnd_ = h;
        return hwnd_ != nullptr;
    }, 10000);
    // The program takes the foreground as its window shows; under Wine that arrives a little later
    // and would take it from whatever this test activates meanwhile.
    if (hwnd_) PumpUntil([&] { return ::GetForegroundWindow() == hwnd_; }, 3000);
    PumpMessagesFor(200);
}

OtherProgramWindow::~OtherProgramWindow() {
    if (!process_) return;
    if (hwnd_) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    // Its window may be the foreground one: this thread's windows take the activation meanwhile.
    if (!PumpUntil([&] { return ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }, 5000))
        ::TerminateProcess(process_.get(), 1);
}

bool OtherProgramWindow::BringToFront() const { return hwnd_ && ::BringToFront(hwnd_); }

bool SettlesInFront(HWND window, HWND other, int ms) {
    return PumpUntil([&] { return ::GetForegroundWindow() == window && (!other || LiesAbove(window, other)); }, ms);
}

bool BringToFront(HWND window) {
    // Under Wine a program handles the focus events of its own earlier activation a little later and
    // may take the foreground back meanwhile: tried again until it stays.
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 5000;) {
        ::SetForegroundWindow(window);
        // Windows raises the window it activates; Wine without a window manager does not.
        ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (!PumpUntil([&] { return ::GetForegroundWindow() == window; }, 500)) continue;
        PumpMessagesFor(300);
        if (::GetForegroundWindow() == window) return true;
    }
    return false;
}


#include "support/ui_helpers.h"

#include "platform/picture.h"

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

MessageBoxWatcher::MessageBoxWatcher(std::wstring caption, int timeoutMs) : caption_(std::move(caption)) {
    thread_ = std::thread([this, timeoutMs] {
        DWORD start = ::GetTickCount();
        while (!stop_ && int(::GetTickCount() - start) < timeoutMs) {
            // Only this process's boxes: tests run side by side.
            HWND box = nullptr;
            while ((box = ::FindWindowExW(nullptr, box, L"#32770", caption_.c_str())) != nullptr) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(box, &pid);
                if (pid == ::GetCurrentProcessId()) break;
            }
            if (box) {
                wchar_t buf[1024] = {};
                ::GetDlgItemTextW(box, 0xFFFF, buf, 1024);
                text_ = buf;
                seen_ = true;
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(20);
        }
    });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

bool MessageBoxWatcher::Wait() {
    if (thread_.joinable()) thread_.join();
    return seen_;
}

std::wstring SaveWindowScreenshot(HWND hwnd, const std::wstring& fileName) {
    RECT r;
    if (!::GetWindowRect(hwnd, &r)) return {};
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
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + fileName;
    bool ok = SaveBitmapAsPng(bmp, path.c_str());
    ::DeleteObject(bmp);
    return ok ? path : std::wstring();
}

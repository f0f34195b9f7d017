// Creates and destroys one window: the first window of a Wine session starts the desktop process,
// which must not happen inside a test whose output pipes CTest is waiting on.
#include <windows.h>

int main() {
    HWND w = CreateWindowExW(0, L"STATIC", L"warm-up", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (!w) return 1;
    ShowWindow(w, SW_SHOWNOACTIVATE);
    MSG msg;
    DWORD end = GetTickCount() + 300;
    while (GetTickCount() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    DestroyWindow(w);
    if (OpenClipboard(nullptr)) CloseClipboard();
    return 0;
}

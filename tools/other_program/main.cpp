// other_program TITLE X Y WIDTH HEIGHT: shows one plain window (class "KelvaroOtherProgram") with that
// title and place, in its own process, and ends when the window is closed. Tests put it between
// their windows to stand for a program the user looked at meanwhile.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 6) return 2;
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(RGB(200, 60, 40));  // plain to tell apart on a screenshot
    wc.lpszClassName = L"KelvaroOtherProgram";
    if (!RegisterClassW(&wc)) return 1;
    HWND w = CreateWindowExW(0, wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW, _wtoi(argv[2]), _wtoi(argv[3]),
                             _wtoi(argv[4]), _wtoi(argv[5]), nullptr, nullptr, instance, nullptr);
    LocalFree(argv);
    if (!w) return 1;
    // Lets the test take the foreground back, as the user's click on its window would.
    AllowSetForegroundWindow(ASFW_ANY);
    ShowWindow(w, SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

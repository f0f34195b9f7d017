// Stand-in for setx: appends its whole command line, UTF-8, one line per run, to the file named by
// KELVARO_FAKE_SETX_LOG (else "setx.log" in the current folder), and exits with
// KELVARO_FAKE_SETX_EXIT. A "setx.scenario" file in the current folder ("exitCode delayMs") sets the
// exit code when the variable is not set, and how long to wait before exiting, so a caller's
// progress can be seen. The programs under test start setx by its full path in the system folder:
// the test run puts this program there (see scripts/test), unit tests name it through a seam.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[32768];
    DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH] = {};
    DWORD n = ::GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring path(folder, n < MAX_PATH ? n : 0);
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

}  // namespace

int main() {
    std::wstring log = Env(L"KELVARO_FAKE_SETX_LOG");
    if (log.empty()) log = CurrentFolder() + L"setx.log";
    int exitCode = 0, delayMs = 0;
    if (FILE* f = _wfopen((CurrentFolder() + L"setx.scenario").c_str(), L"r")) {
        if (std::fscanf(f, "%d %d", &exitCode, &delayMs) < 1) exitCode = 0;
        std::fclose(f);
    }
    std::wstring exitText = Env(L"KELVARO_FAKE_SETX_EXIT");
    if (!exitText.empty()) exitCode = _wtoi(exitText.c_str());

    const wchar_t* line = ::GetCommandLineW();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes.data(), n, nullptr, nullptr);
    bytes += "\r\n";
    if (delayMs > 0) ::Sleep(DWORD(delayMs));
    HANDLE f = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        ::WriteFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr);
        ::CloseHandle(f);
    }
    return exitCode;
}

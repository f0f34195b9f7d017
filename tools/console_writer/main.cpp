// Console program driven by its arguments, run in order:
//   write N      N bytes to standard output ('a'..'z' repeating) and N to standard error
//                ('A'..'Z'), interleaved in 4 KiB pieces
//   bytes HEX    the bytes of a hex text to standard output
//   stdin        reads standard input to its end, then writes the byte count to standard output
//   sleep MS     sleeps
//   cwd          writes the current folder (UTF-8) to standard output
//   spawn MS     starts a copy of itself that sleeps MS holding the same standard handles, and goes on
//   ctrl         from now on a console control event writes "ctrl-<event>" and exits with 100 + event
//   exit CODE    exits with that code (the default is 0)
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

void Write(DWORD which, const void* p, size_t n) {
    HANDLE h = ::GetStdHandle(which);
    const char* c = static_cast<const char*>(p);
    while (n > 0) {
        DWORD done = 0;
        if (!::WriteFile(h, c, DWORD(n), &done, nullptr) || done == 0) return;
        c += done;
        n -= done;
    }
}
void Write(DWORD which, const std::string& s) { Write(which, s.data(), s.size()); }

std::string Utf8(const wchar_t* w) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

BOOL WINAPI OnControl(DWORD event) {
    Write(STD_OUTPUT_HANDLE, "ctrl-" + std::to_string(event));
    ::ExitProcess(100 + event);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    for (int i = 1; i < argc; ++i) {
        std::wstring cmd = argv[i];
        const wchar_t* arg = i + 1 < argc ? argv[i + 1] : L"";
        if (cmd == L"write") {
            long long total = wcstoll(arg, nullptr, 10), done = 0;
            std::string out(4096, '\0'), err(4096, '\0');
            while (done < total) {
                size_t n = size_t(std::min<long long>(4096, total - done));
                for (size_t k = 0; k < n; ++k) {
                    out[k] = char('a' + (done + k) % 26);
                    err[k] = char('A' + (done + k) % 26);
                }
                Write(STD_OUTPUT_HANDLE, out.data(), n);
                Write(STD_ERROR_HANDLE, err.data(), n);
                done += n;
            }
            ++i;
        } else if (cmd == L"bytes") {
            std::string bytes;
            for (const wchar_t* p = arg; p[0] && p[1]; p += 2) {
                wchar_t pair[3] = {p[0], p[1], 0};
                bytes.push_back(char(wcstoul(pair, nullptr, 16)));
            }
            Write(STD_OUTPUT_HANDLE, bytes);
            ++i;
        } else if (cmd == L"stdin") {
            char buffer[4096];
            DWORD n = 0;
            unsigned long long total = 0;
            while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, nullptr) && n > 0) total += n;
            Write(STD_OUTPUT_HANDLE, "read " + std::to_string(total));
        } else if (cmd == L"sleep") {
            ::Sleep(DWORD(_wtoi(arg)));
            ++i;
        } else if (cmd == L"spawn") {
            wchar_t self[MAX_PATH] = {};
            ::GetModuleFileNameW(nullptr, self, MAX_PATH);
            std::wstring line = L"\"" + std::wstring(self) + L"\" sleep " + arg;
            STARTUPINFOW si{};
            si.cb = sizeof si;
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
            si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
            si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
            PROCESS_INFORMATION pi{};
            if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
                ::CloseHandle(pi.hThread);
                ::CloseHandle(pi.hProcess);
            }
            ++i;
        } else if (cmd == L"cwd") {
            wchar_t dir[MAX_PATH] = {};
            ::GetCurrentDirectoryW(MAX_PATH, dir);
            Write(STD_OUTPUT_HANDLE, Utf8(dir));
        } else if (cmd == L"ctrl") {
            ::SetConsoleCtrlHandler(nullptr, FALSE);  // take Ctrl+C even when started ignoring it
            ::SetConsoleCtrlHandler(OnControl, TRUE);
        } else if (cmd == L"exit") {
            return _wtoi(arg);
        }
    }
    return 0;
}

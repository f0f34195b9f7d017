#include "e2e_driver.h"

#include <atomic>
#include <fstream>
#include <sstream>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

fs::path TestProgramFolder() {
    wchar_t buf[MAX_PATH * 4];
    DWORD n = ::GetModuleFileNameW(nullptr, buf, DWORD(std::size(buf)));
    return fs::path(std::wstring(buf, n)).parent_path();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

template <class F> bool WaitFor(F done, int ms) {
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (int(::GetTickCount() - start) > ms) return false;
        ::Sleep(2);
    }
    return true;
}

double NowMs() {
    LARGE_INTEGER f, t;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

struct Search {
    DWORD pid;
    const wchar_t* className;
    const std::wstring* caption;
    bool needsEdit;
    HWND found = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    if (pid != s->pid || !::IsWindowVisible(h)) return TRUE;
    wchar_t cls[64] = {};
    ::GetClassNameW(h, cls, 64);
    if (std::wstring(cls) != s->className) return TRUE;
    if (s->caption) {
        wchar_t title[512] = {};
        ::GetWindowTextW(h, title, 512);
        if (*s->caption != title) return TRUE;
    }
    if (s->needsEdit && !::GetDlgItem(h, 101)) return TRUE;
    s->found = h;
    return FALSE;
}

// A visible top-level window of the process, or null after `ms`.
HWND WaitTopLevel(DWORD pid, const wchar_t* className, const std::wstring* caption, bool needsEdit, int ms) {
    HWND found = nullptr;
    WaitFor([&] {
        Search s{pid, className, caption, needsEdit};
        ::EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
        found = s.found;
        return found != nullptr;
    }, ms);
    return found;
}

// The test programs share one desktop and clipboard: one run at a time.
HANDLE RunLock() {
    static HANDLE lock = ::CreateMutexW(nullptr, FALSE, L"Local\\KelvaroEndToEndRun");
    return lock;
}

}  // namespace

KelvaroRun::KelvaroRun(const std::string& models, const std::string& running, const std::wstring& settings) {
    ::WaitForSingleObject(RunLock(), INFINITE);
    static std::atomic<int> counter{0};
    dir_ = fs::temp_directory_path() /
           (L"kelvaro_e2e_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++counter));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::path bin = TestProgramFolder();
    fs::copy_file(bin / L"ollama.exe", dir_ / L"ollama.exe");
    // Beside the program lies a setx.exe that records nothing: only the system's setx, which the
    // test run replaces with the recording fake, may run.
    fs::copy_file(bin / L"console_writer.exe", dir_ / L"setx.exe");
    fs::copy_file(bin.parent_path() / L"app" / L"Kelvaro.exe", dir_ / L"Kelvaro.exe");
    WriteFile(dir_ / L"ollama.models", models);
    if (!running.empty()) WriteFile(dir_ / L"ollama.running", running);
    if (!settings.empty()) {
        std::string bytes = "\xFF\xFE";
        bytes.append(reinterpret_cast<const char*>(settings.data()), settings.size() * sizeof(wchar_t));
        WriteFile(dir_ / L"软件配置.ini", bytes);
    }
}

KelvaroRun::~KelvaroRun() {
    if (process_.hProcess) {
        if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT && Close() == -2) {
            ::TerminateProcess(process_.hProcess, 1);
            ::WaitForSingleObject(process_.hProcess, 5000);
        }
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
    ::ReleaseMutex(RunLock());
}

bool KelvaroRun::Start() {
    std::wstring exe = (dir_ / L"Kelvaro.exe").wstring();
    std::wstring line = L"\"" + exe + L"\"";
    // The program and what it starts get NUL as standard handles: nothing of theirs may hold the
    // test runner's output pipes open, or print into them.
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        ::SetHandleInformation(::GetStdHandle(which), HANDLE_FLAG_INHERIT, 0);
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                               OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    wchar_t ownHosts[1024] = {};
    const DWORD ownLength = ::GetEnvironmentVariableW(L"KELVARO_REMOTE_HOST", ownHosts, 1024);
    if (!remoteHosts.empty()) ::SetEnvironmentVariableW(L"KELVARO_REMOTE_HOST", remoteHosts.c_str());
    const double t0 = NowMs();
    BOOL started = ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, dir_.c_str(), &si,
                                    &process_);
    ::SetEnvironmentVariableW(L"KELVARO_REMOTE_HOST", ownLength ? ownHosts : nullptr);
    ::CloseHandle(nul);
    if (!started) return false;
    bool found = WaitFor([&] {
        Search s{process_.dwProcessId, L"VolWinForm", nullptr, false};
        ::EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
        main_ = s.found;
        return main_ != nullptr && Control(kRefreshId) != nullptr;
    }, 15000);
    windowShownMs = NowMs() - t0;
    // The first activation refreshes the list: the command has run once its caption is back.
    bool listed = found && WaitLog(1) && WaitCaption(kRefreshId, L"刷新模型列表");
    firstListMs = NowMs() - t0;
    return listed;
}

void KelvaroRun::SetScenario(const std::string& lines) { WriteFile(dir_ / L"ollama.scenario", lines); }

void KelvaroRun::RemoveFakeOllama() { fs::remove(dir_ / L"ollama.exe"); }

HWND KelvaroRun::Descendant(std::initializer_list<int> ids) const {
    HWND h = main_;
    for (int id : ids) h = h ? ::GetDlgItem(h, id) : nullptr;
    return h;
}

void KelvaroRun::PressWindow(HWND h) {
    // The window under the button's centre takes the mouse (an owner-drawn button shows its
    // picture in a child window).
    RECT r;
    ::GetClientRect(h, &r);
    POINT centre{r.right / 2, r.bottom / 2};
    while (HWND child = ::RealChildWindowFromPoint(h, centre)) {
        if (child == h) break;
        ::MapWindowPoints(h, child, &centre, 1);
        h = child;
    }
    ::PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
    ::PostMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
}

std::wstring KelvaroRun::Text(HWND h) const {
    wchar_t buf[4096] = {};
    ::GetWindowTextW(h, buf, int(std::size(buf)));
    return buf;
}

bool KelvaroRun::WaitCaption(int id, const std::wstring& caption, int ms) const {
    return WaitFor([&] { return Caption(id) == caption; }, ms);
}

namespace {

BOOL CALLBACK FindEdit(HWND h, LPARAM p) {
    wchar_t cls[16] = {};
    ::GetClassNameW(h, cls, 16);
    if (_wcsicmp(cls, L"Edit") != 0) return TRUE;
    *reinterpret_cast<HWND*>(p) = h;
    return FALSE;
}

// The combo box's edit field, at any depth below it.
HWND ComboEdit(HWND combo) {
    HWND edit = nullptr;
    ::EnumChildWindows(combo, FindEdit, reinterpret_cast<LPARAM>(&edit));
    return edit;
}

}  // namespace

std::wstring KelvaroRun::ComboText(int id) const {
    HWND edit = ComboEdit(Control(id));
    return edit ? EditText(edit) : L"<no edit field>";
}

std::wstring KelvaroRun::EditText(HWND edit) const {
    // An edit box's content is not its window caption: ask the box itself.
    wchar_t buf[4096] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(edit, WM_GETTEXT, std::size(buf), reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000,
                          &copied);
    return buf;
}

void KelvaroRun::SetComboText(int id, const std::wstring& text) {
    ::SendMessageW(ComboEdit(Control(id)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

HWND KelvaroRun::WaitDialog(const std::wstring& caption, int ms) const {
    return WaitTopLevel(process_.dwProcessId, L"#32770", &caption, false, ms);
}

std::wstring KelvaroRun::BoxText(HWND box) const {
    wchar_t buf[8192] = {};
    ::GetDlgItemTextW(box, 0xFFFF, buf, int(std::size(buf)));
    return buf;
}

bool KelvaroRun::Answer(HWND dialog, int command) const {
    ::PostMessageW(dialog, WM_COMMAND, WPARAM(command), 0);
    return WaitClosed(dialog);
}

bool KelvaroRun::WaitClosed(HWND window, int ms) const {
    return WaitFor([&] { return !::IsWindow(window); }, ms);
}

HWND KelvaroRun::WaitInputDialog(int ms) const {
    return WaitTopLevel(process_.dwProcessId, L"#32770", nullptr, true, ms);
}

std::wstring KelvaroRun::InputText(HWND dialog) const { return EditText(::GetDlgItem(dialog, 101)); }

bool KelvaroRun::AnswerInput(HWND dialog, const std::wstring& text, bool ok) const {
    ::SendMessageW(::GetDlgItem(dialog, 101), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return Answer(dialog, ok ? IDOK : IDCANCEL);
}

namespace {

std::vector<std::wstring> ReadLines(const fs::path& file) {
    std::vector<std::wstring> lines;
    std::istringstream in(ReadFile(file));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(Utf8ToWide(line));
    }
    return lines;
}

}  // namespace

std::vector<std::wstring> KelvaroRun::Log() const { return ReadLines(dir_ / L"ollama.log"); }

std::vector<std::wstring> KelvaroRun::SetxLog() const { return ReadLines(dir_ / L"setx.log"); }

void KelvaroRun::SetSetxScenario(int exitCode, int delayMs) {
    WriteFile(dir_ / L"setx.scenario", std::to_string(exitCode) + " " + std::to_string(delayMs) + "\n");
}

HWND KelvaroRun::WaitMessageForm(int ms) const { return WaitForm(L"信息：", ms); }

HWND KelvaroRun::WaitForm(const std::wstring& title, int ms) const {
    return WaitTopLevel(process_.dwProcessId, L"VolWinForm", &title, false, ms);
}

namespace {

BOOL CALLBACK FindRichEdit(HWND h, LPARAM p) {
    wchar_t cls[32] = {};
    ::GetClassNameW(h, cls, 32);
    if (_wcsnicmp(cls, L"RichEdit", 8) != 0) return TRUE;
    *reinterpret_cast<HWND*>(p) = h;
    return FALSE;
}

}  // namespace

std::wstring KelvaroRun::FormText(HWND form) const {
    // The form shows before its text box has been filled.
    std::wstring text = L"<no text box>";
    WaitFor([&] {
        HWND edit = nullptr;
        ::EnumChildWindows(form, FindRichEdit, reinterpret_cast<LPARAM>(&edit));
        if (edit) text = EditText(edit);
        return edit && !text.empty();
    }, 5000);
    return text;
}

bool KelvaroRun::CloseForm(HWND form) const {
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    return WaitClosed(form);
}

bool KelvaroRun::WaitLog(size_t count, int ms) const {
    return WaitFor([&] { return Log().size() >= count; }, ms);
}

int KelvaroRun::Close() {
    // Boxes left open (a failed check) would keep the window from closing.
    for (HWND box; (box = WaitInputDialog(0)) || (box = WaitDialog(L"信息:", 0));) Answer(box, IDCANCEL);
    if (HWND form = WaitMessageForm(0)) CloseForm(form);
    const double t0 = NowMs();
    ::PostMessageW(main_, WM_CLOSE, 0, 0);
    WaitFor([&] { return !::IsWindow(main_); }, 15000);
    const double gone = NowMs();
    const bool ended = ::WaitForSingleObject(process_.hProcess, 15000) == WAIT_OBJECT_0;
    closeMs = NowMs() - t0;
    lingerMs = NowMs() - gone;
    if (!ended) return -2;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return int(code);
}

std::string KelvaroRun::SettingsBytes() const { return ReadFile(dir_ / L"软件配置.ini"); }

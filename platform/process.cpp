#include "platform/process.h"

#include <atomic>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/sync.h"

namespace {

// The server end of a pipe the child writes into, read with overlapped I/O.
struct PipeReader {
    UniqueHandle pipe;
    UniqueKernelHandle event;
    OVERLAPPED ov{};
    std::string bytes;
    std::vector<char> buffer = std::vector<char>(64 * 1024);
    bool open = false;
    bool pending = false;

    // Starts the next read; false once the pipe is done.
    bool Issue() {
        ov = OVERLAPPED{};
        ov.hEvent = event.get();
        if (::ReadFile(pipe.get(), buffer.data(), DWORD(buffer.size()), nullptr, &ov) ||
            ::GetLastError() == ERROR_IO_PENDING) {
            pending = true;
        } else {
            open = false;  // broken pipe: every writer has closed its end
        }
        return open;
    }
    // Takes the finished read's bytes and starts the next one.
    void Complete() {
        DWORD n = 0;
        pending = false;
        if (::GetOverlappedResult(pipe.get(), &ov, &n, FALSE)) {
            bytes.append(buffer.data(), n);
            Issue();
        } else {
            open = false;
        }
    }
    void Cancel() {
        if (!pending) return;
        DWORD n = 0;
        ::CancelIoEx(pipe.get(), &ov);
        if (::GetOverlappedResult(pipe.get(), &ov, &n, TRUE)) bytes.append(buffer.data(), n);
        pending = false;
        open = false;
    }
};

// A fresh named pipe: the overlapped server end for us, an inheritable write end for the child.
bool MakeOutputPipe(PipeReader& reader, UniqueHandle& childEnd) {
    static std::atomic<unsigned> serial{0};
    wchar_t name[96];
    swprintf(name, std::size(name), L"\\\\.\\pipe\\kelvaro-run-%lu-%lu-%u", ::GetCurrentProcessId(),
             ::GetCurrentThreadId(), serial.fetch_add(1));
    reader.pipe.reset(::CreateNamedPipeW(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                         1, 64 * 1024, 64 * 1024, 0, nullptr));
    if (!reader.pipe) return false;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    childEnd.reset(::CreateFileW(name, GENERIC_WRITE, 0, &sa, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    reader.event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    reader.open = childEnd && reader.event;
    return reader.open;
}

UniqueHandle OpenNul(DWORD access) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return UniqueHandle(::CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr));
}

BOOL WINAPI IgnoreConsoleControl(DWORD) { return TRUE; }

// Sends a console control event to a hidden program: join its console for the moment, ignoring the
// event ourselves. A process that has a console of its own cannot join another and sends nothing.
bool SendConsoleControl(DWORD pid, DWORD event) {
    static CriticalSection lock;  // the console is one per process
    LockGuard guard(lock);
    if (!::AttachConsole(pid)) return false;
    static bool ignoring = ::SetConsoleCtrlHandler(IgnoreConsoleControl, TRUE) != FALSE;
    bool sent = ignoring && ::GenerateConsoleCtrlEvent(event, 0) != FALSE;
    ::FreeConsole();
    return sent;
}

std::wstring_view FirstToken(std::wstring_view line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    line.remove_prefix(i);
    if (!line.empty() && line[0] == L'"') {
        size_t end = line.find(L'"', 1);
        return line.substr(1, end == std::wstring_view::npos ? std::wstring_view::npos : end - 1);
    }
    return line.substr(0, line.find_first_of(L" \t"));
}

CWString Decode(const std::string& bytes, bool utf8) {
    return utf8 ? CWString::FromUtf8Bytes(bytes.data(), bytes.size()) : CWString::FromAnsiBytes(bytes.data(), bytes.size());
}

}  // namespace

CWString CommandProgramFolder(std::wstring_view commandLine) {
    std::wstring program(FirstToken(commandLine));
    if (program.empty()) return {};
    std::wstring found(MAX_PATH, L'\0');
    wchar_t* namePart = nullptr;
    for (;;) {
        DWORD n = ::SearchPathW(nullptr, program.c_str(), L".exe", DWORD(found.size()), found.data(), &namePart);
        if (n == 0) return {};
        if (n < found.size()) { found.resize(n); break; }
        found.resize(n + 1);
    }
    size_t slash = found.find_last_of(L"\\/");
    return slash == std::wstring::npos ? CWString() : CWString(found.substr(0, slash + 1));
}

int RunConsoleProcessWithProgress(std::wstring_view commandLine, const ConsoleRunOptions& options, CWString* output,
                                  CWString* errors) {
    if (output) output->clear();
    if (errors) errors->clear();

    PipeReader out, err;
    UniqueHandle childIn = OpenNul(GENERIC_READ), childOut, childErr;
    if (!childIn) return -1;
    if (options.capture) {
        if (!MakeOutputPipe(out, childOut) || !MakeOutputPipe(err, childErr)) return -1;
    } else {
        childOut = OpenNul(GENERIC_WRITE);
        childErr = OpenNul(GENERIC_WRITE);
        if (!childOut || !childErr) return -1;
    }

    // Only the three standard handles reach the child, whatever else of ours is inheritable.
    HANDLE inherit[3] = {childIn.get(), childOut.get(), childErr.get()};
    SIZE_T attrSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &attrSize);
    std::vector<char> attrBuffer(attrSize);
    auto attrs = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attrBuffer.data());
    bool haveList = ::InitializeProcThreadAttributeList(attrs, 1, 0, &attrSize) &&
                    ::UpdateProcThreadAttribute(attrs, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherit, sizeof inherit,
                                                nullptr, nullptr);

    STARTUPINFOEXW si{};
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.StartupInfo.wShowWindow = SW_HIDE;
    si.StartupInfo.hStdInput = childIn.get();
    si.StartupInfo.hStdOutput = childOut.get();
    si.StartupInfo.hStdError = childErr.get();
    si.lpAttributeList = haveList ? attrs : nullptr;

    CWString folder;
    const wchar_t* directory = nullptr;
    if (options.workingDirectory) {
        if (!options.workingDirectory->empty()) folder = *options.workingDirectory;
        else if (options.program.empty()) folder = CommandProgramFolder(commandLine);
        else folder = CWString(std::wstring_view(options.program).substr(0, options.program.find_last_of(L"\\/") + 1));
        if (!folder.empty()) directory = folder.c_str();
    }

    std::wstring line(commandLine);  // CreateProcessW may write into it
    PROCESS_INFORMATION pi{};
    BOOL started = ::CreateProcessW(options.program.empty() ? nullptr : options.program.c_str(), line.data(), nullptr,
                                    nullptr, TRUE,
                                    CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | (haveList ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                    nullptr, directory, &si.StartupInfo, &pi);
    if (haveList) ::DeleteProcThreadAttributeList(attrs);
    if (!started) return -1;
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    // Our copies of the child's ends go, so the pipes break when the child (and its heirs) finish.
    childIn.reset();
    childOut.reset();
    childErr.reset();

    PipeReader* readers[2] = {&out, &err};
    for (PipeReader* r : readers)
        if (r->open) r->Issue();

    const ULONGLONG start = ::GetTickCount64();
    int stopStage = 0;  // 1 Ctrl+C sent, 2 Ctrl+Break sent, 3 terminated
    ULONGLONG stageAt = 0;
    bool exited = false;
    for (;;) {
        HANDLE waits[3];
        PipeReader* owners[3] = {};
        DWORD count = 0;
        for (PipeReader* r : readers)
            if (r->pending) { owners[count] = r; waits[count++] = r->event.get(); }
        if (!exited) waits[count++] = process.get();
        if (count == 0) break;
        // Once the program has ended, its output is already in the pipes; a pipe still silent after
        // a moment is held open by a program it started, and we stop reading it.
        DWORD timeout = exited ? 200 : 1000;
        DWORD r = ::WaitForMultipleObjects(count, waits, FALSE, timeout);
        if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) {
            DWORD i = r - WAIT_OBJECT_0;
            if (owners[i]) owners[i]->Complete();
            else exited = true;
        } else if (r == WAIT_TIMEOUT && exited) {
            for (PipeReader* p : readers) p->Cancel();
            break;
        } else if (r != WAIT_TIMEOUT) {
            for (PipeReader* p : readers) p->Cancel();
            break;
        }
        if (exited || options.timeLimitMs == 0) continue;
        ULONGLONG now = ::GetTickCount64();
        if (now - start < options.timeLimitMs) continue;
        if (stopStage == 0 || now - stageAt >= 1000) {
            ++stopStage;
            stageAt = now;
            if (stopStage == 1) SendConsoleControl(pi.dwProcessId, CTRL_C_EVENT);
            else if (stopStage == 2) SendConsoleControl(pi.dwProcessId, CTRL_BREAK_EVENT);
            else if (stopStage == 3) ::TerminateProcess(process.get(), DWORD(-1));
        }
    }
    if (!exited) ::WaitForSingleObject(process.get(), INFINITE);

    if (output) *output = Decode(out.bytes, options.utf8);
    if (errors) *errors = Decode(err.bytes, options.utf8);
    if (stopStage > 0) return -1;
    DWORD code = 0;
    return ::GetExitCodeProcess(process.get(), &code) ? int(code) : 0;
}

int RunConsoleCommand(std::wstring_view commandLine, CWString& output, CWString& errors, bool utf8,
                      std::wstring_view workingDirectory) {
    ConsoleRunOptions options;
    options.workingDirectory = CWString(workingDirectory);
    options.utf8 = utf8;
    return RunConsoleProcessWithProgress(commandLine, options, &output, &errors);
}

bool StartProcess(std::wstring_view commandLine, int showMode) {
    std::wstring line(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = WORD(showMode < 0 ? SW_SHOWNORMAL : showMode);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr,
                          &si, &pi))
        return false;
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    ::WaitForInputIdle(process.get(), 500);
    return true;
}

#include "util/system_helpers.h"

#include <shellapi.h>

#include <cstdlib>
#include <vector>

#include "platform/dynapi.h"
#include "platform/process.h"
#include "platform/seams.h"
#include "platform/system.h"

CVolObjectArray gDropTargetRegistry;

// ---- setx ----------------------------------------------------------------------------------------

CWString BuildSetxCommandLine(std::wstring_view name, std::wstring_view value) {
    // setx reads its arguments the C runtime's way: a backslash run before a quote escapes it, and a
    // quote inside the value cannot be carried at all. A bare name with a blank or a leading "/"
    // would turn into more arguments or a switch.
    if (name.empty() || name[0] == L'/' || name.find_first_of(L" \t\r\n\"", 0) != std::wstring_view::npos ||
        name.find(L'\0') != std::wstring_view::npos)
        return {};
    if (value.find_first_of(L"\"\r\n") != std::wstring_view::npos || value.find(L'\0') != std::wstring_view::npos)
        return {};
    // setx cuts a longer value and still reports success: the variable would name another path.
    if (value.size() > kSetxValueLimit) return {};
    size_t trailing = 0;
    while (trailing < value.size() && value[value.size() - 1 - trailing] == L'\\') ++trailing;
    CWString line = L"setx ";
    line.append(name).append(L" \"").append(value).append(trailing, L'\\').append(L"\"");
    return line;
}

int SetUserEnvironmentVariable(std::wstring_view name, std::wstring_view value) {
    CWString line = BuildSetxCommandLine(name, value);
    if (line.empty()) return 0;
    ConsoleRunOptions options;
    options.capture = false;
    options.program = Seams().setxProgram();
    if (options.program.empty()) return 0;
    return RunConsoleProcessWithProgress(line, options) == 0 ? 1 : 0;
}

// ---- waits ---------------------------------------------------------------------------------------

namespace {

// Handles waiting messages one by one until the queue is empty or a WM_QUIT is at its head.
void PumpWaitingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        if (msg.message == WM_QUIT) {  // arrived between the two looks: leave it for the real loop
            ::PostQuitMessage(int(msg.wParam));
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// The program is ending (WM_QUIT queued): nobody waits for what comes after the wait any more.
void WaitPumping(const rg_LuoJiXingLei* flag, int64_t milliseconds) {
    if (const auto& wait = Seams().wait) {
        if (milliseconds > 0 && !(flag && flag->Peek() != 0) && !QuitMessageQueued()) wait(milliseconds);
        return;
    }
    const int64_t start = int64_t(::GetTickCount64());
    auto done = [&] { return int64_t(::GetTickCount64()) - start >= milliseconds; };
    if (done()) return;
    for (;;) {
        if ((flag && flag->Peek() != 0) || QuitMessageQueued()) return;
        ::Sleep(10);
        PumpWaitingMessages();
        if (done()) return;
    }
}

}  // namespace

void WaitPumpingMessages(int64_t milliseconds) { WaitPumping(nullptr, milliseconds); }

void WaitPumpingMessagesUntilFlag(const rg_LuoJiXingLei& flag, int64_t milliseconds) { WaitPumping(&flag, milliseconds); }

void SeedRandomFromTimeAndThread() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    uint32_t seed = uint32_t(DateTimeToUnixTime(SystemTimeToDateTime(now))) + uint32_t(::GetCurrentThreadId());
    if (seed == 0) seed = ::GetTickCount();
    RandomSeededFlag().store(1, std::memory_order_relaxed);
    std::srand(seed);
}

// ---- dynamic DLL call ----------------------------------------------------------------------------

void rg_class_DongTaiDiaoYongDLL::ResolveFunction(std::wstring_view name) {
    std::string bytes = TextToAnsiBytes(name, true);
    functionAddress = reinterpret_cast<intptr_t>(
        DynamicApiTable.GetProcAddress(reinterpret_cast<HMODULE>(moduleHandle), bytes.c_str()));
    argumentCount = 3;
}

intptr_t rg_class_DongTaiDiaoYongDLL::Invoke(intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4, intptr_t a5) const {
    if (DynamicApiTable.IsBadCodePtr(reinterpret_cast<FARPROC>(functionAddress))) return 0;
    using F0 = intptr_t(WINAPI*)();
    using F1 = intptr_t(WINAPI*)(intptr_t);
    using F2 = intptr_t(WINAPI*)(intptr_t, intptr_t);
    using F3 = intptr_t(WINAPI*)(intptr_t, intptr_t, intptr_t);
    using F4 = intptr_t(WINAPI*)(intptr_t, intptr_t, intptr_t, intptr_t);
    using F5 = intptr_t(WINAPI*)(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t);
    switch (argumentCount) {
        case 0: return reinterpret_cast<F0>(functionAddress)();
        case 1: return reinterpret_cast<F1>(functionAddress)(a1);
        case 2: return reinterpret_cast<F2>(functionAddress)(a1, a2);
        case 3: return reinterpret_cast<F3>(functionAddress)(a1, a2, a3);
        case 4: return reinterpret_cast<F4>(functionAddress)(a1, a2, a3, a4);
        case 5: return reinterpret_cast<F5>(functionAddress)(a1, a2, a3, a4, a5);
        default: return 0;
    }
}

WNDPROC SetWindowProcedure(HWND window, WNDPROC procedure) {
    rg_class_DongTaiDiaoYongDLL call;
    if (DynamicApiTable.IsBadCodePtr(reinterpret_cast<FARPROC>(call.moduleHandle))) {
        call.dllName = L"User32.dll";
        call.moduleHandle = reinterpret_cast<intptr_t>(DynamicApiTable.LoadLibraryW(call.dllName.c_str()));
    }
    // 32-bit User32 has no SetWindowLongPtrW export: there the 32-bit call is the pointer-sized one.
    call.ResolveFunction(sizeof(void*) == 8 ? L"SetWindowLongPtrW" : L"SetWindowLongW");
    intptr_t previous = call.Invoke(reinterpret_cast<intptr_t>(window), GWLP_WNDPROC,
                                    reinterpret_cast<intptr_t>(procedure), 0, 0);
    if (call.moduleHandle) DynamicApiTable.FreeLibrary(reinterpret_cast<HMODULE>(call.moduleHandle));
    return reinterpret_cast<WNDPROC>(previous);
}

// ---- file drops ----------------------------------------------------------------------------------

namespace {

rg_DrenvikWenJianTuoFangLeiShuJu* FindDropRecord(HWND window) {
    for (int i = 0; i < gDropTargetRegistry.GetCount(); ++i) {
        auto* record = static_cast<rg_DrenvikWenJianTuoFangLeiShuJu*>(gDropTargetRegistry.GetAt(i));
        if (record && record->window == reinterpret_cast<intptr_t>(window)) return record;
    }
    return nullptr;
}

// User Interface Privilege Isolation exists from Windows Vista on.
bool HasMessageFilter() {
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;  // 284 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&v)) return true;
#pragma GCC diagnostic pop
    if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return true;
    bool known = (v.dwMajorVersion == 10 && v.dwMinorVersion == 0) || (v.dwMajorVersion == 6 && v.dwMinorVersion <= 3);
    return known;
}

}  // namespace

rg_DrenvikWenJianTuoFangLei::~rg_DrenvikWenJianTuoFangLei() {
    // A window that outlives its registrant drops files silently instead of calling into freed memory.
    for (int i = 0; i < gDropTargetRegistry.GetCount(); ++i) {
        auto* record = static_cast<rg_DrenvikWenJianTuoFangLeiShuJu*>(gDropTargetRegistry.GetAt(i));
        if (record && record->owner == reinterpret_cast<intptr_t>(this)) record->owner = 0;
    }
}

void rg_DrenvikWenJianTuoFangLei::Register(HWND window) {
    if (FindDropRecord(window)) return;
    DynamicApiTable.DragAcceptFiles(window, TRUE);
    windowHandle = reinterpret_cast<intptr_t>(window);

    rg_DrenvikWenJianTuoFangLeiShuJu record;
    record.window = reinterpret_cast<intptr_t>(window);
    record.owner = reinterpret_cast<intptr_t>(this);
    record.previousExStyle = int32_t(DynamicApiTable.GetWindowLongPtrW(window, GWL_EXSTYLE));
    DynamicApiTable.SetWindowLongPtrW(window, GWL_EXSTYLE, LONG_PTR(uint32_t(record.previousExStyle) | WS_EX_ACCEPTFILES));
    record.previousProcedure = reinterpret_cast<intptr_t>(SetWindowProcedure(window, DropTargetWindowProc));
    gDropTargetRegistry.AddCopy(record);

    if (HasMessageFilter()) {
        for (UINT message : {UINT(WM_DROPFILES), UINT(WM_COPYDATA), UINT(0x0049) /* WM_COPYGLOBALDATA */})
            DynamicApiTable.ChangeWindowMessageFilter(message, MSGFLT_ADD);
    }
}

LRESULT CALLBACK DropTargetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    rg_DrenvikWenJianTuoFangLeiShuJu* record = FindDropRecord(window);
    if (!record) return 1;
    if (message != WM_DROPFILES)
        return DynamicApiTable.CallWindowProcW(reinterpret_cast<WNDPROC>(record->previousProcedure), window, message,
                                               wParam, lParam);
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<wchar_t> buffer;
    for (UINT i = 0; i < count; ++i) {
        // Sized per file, so a long path arrives whole.
        UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        buffer.assign(size_t(length) + 1, L'\0');
        UINT n = length ? ::DragQueryFileW(drop, i, buffer.data(), length + 1) : 0;
        // Read each time: a handler may have destroyed the registrant.
        auto* owner = reinterpret_cast<rg_DrenvikWenJianTuoFangLei*>(record->owner);
        if (n == 0 || !owner) continue;
        CWString path(buffer.data(), n);
        size_t dot = path.rfind(L'.');
        CWString extension = dot == CWString::npos ? CWString() : CWString(path.substr(dot));
        owner->FileDropped.Raise(owner, int32_t(count), int32_t(i), path, extension);
    }
    ::DragFinish(drop);
    return 0;
}

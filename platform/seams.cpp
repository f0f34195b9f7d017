#include "platform/seams.h"

#include <shellapi.h>
#include <shlobj.h>

#include <iterator>
#include <vector>

#include "platform/handles.h"

namespace {

int RealMessageBox(HWND owner, const CWString& text, const CWString& caption, UINT type) {
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

bool RealFileDialog(const FileDialogRequest& r, CWString& path) {
    // "Name|*.ext|..." becomes the double-zero-terminated list the dialog wants.
    std::wstring filter = r.filter;
    for (auto& c : filter) if (c == L'|') c = L'\0';
    filter.append(2, L'\0');
    std::vector<wchar_t> buffer(32768, L'\0');
    std::wstring folder;
    DWORD attrs = r.initialPath.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(r.initialPath.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) folder = r.initialPath;
    else r.initialPath.copy(buffer.data(), std::min(r.initialPath.size(), buffer.size() - 1));

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = r.owner;
    ofn.lpstrFilter = r.filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = r.title.empty() ? nullptr : r.title.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                (r.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    BOOL ok = r.save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
    if (!ok) return false;
    path = buffer.data();
    return true;
}

int CALLBACK SelectInitialFolder(HWND w, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data) ::SendMessageW(w, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

bool RealFolderDialog(HWND owner, const CWString& title, const CWString& initial, CWString& folder) {
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = SelectInitialFolder;
    bi.lParam = initial.empty() ? 0 : LPARAM(initial.c_str());
    PIDLIST_ABSOLUTE pidl = ::SHBrowseForFolderW(&bi);
    if (!pidl) return false;
    wchar_t buffer[MAX_PATH * 4] = {};
    bool ok = ::SHGetPathFromIDListEx(pidl, buffer, DWORD(std::size(buffer)), GPFIDL_DEFAULT) != FALSE;
    ::CoTaskMemFree(pidl);
    if (ok) folder = buffer;
    return ok;
}

bool RealShellOpen(const CWString& file, const CWString& parameters, int showMode) {
    HINSTANCE r = ::ShellExecuteW(nullptr, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                                  nullptr, showMode < 0 ? SW_SHOWNORMAL : showMode);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

CWString RealSpecialFolder(int kind) {
    static const int kCsidl[] = {CSIDL_PERSONAL, CSIDL_FAVORITES, CSIDL_DESKTOPDIRECTORY, CSIDL_FONTS,
                                 CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_APPDATA};
    wchar_t buffer[MAX_PATH + 2] = {};
    UINT n = 0;
    if ((kind >= 1 && kind <= 8) || kind == 12) {
        const int csidl = kind == 12 ? CSIDL_PROFILE : kCsidl[kind - 1];
        if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
        return buffer;
    }
    if (kind == 9) n = ::GetWindowsDirectoryW(buffer, MAX_PATH);
    else if (kind == 10) n = ::GetSystemDirectoryW(buffer, MAX_PATH);
    else if (kind == 11) n = ::GetTempPathW(MAX_PATH + 1, buffer);
    return n > 0 && n <= MAX_PATH + 1 ? CWString(buffer, n) : CWString();
}

// Test runs set KELVARO_REMOTE_HOST (inherited by the programs they start), so that nothing they
// run reaches a remote host, not even a timer's request that no test asked for. Its value is
// "|"-separated entries: "host=address" maps that one host, a plain address every other host.
CWString RealRemoteHost(const CWString& host) {
    wchar_t mapped[1024];
    DWORD n = ::GetEnvironmentVariableW(L"KELVARO_REMOTE_HOST", mapped, DWORD(std::size(mapped)));
    if (n == 0 || n >= std::size(mapped)) return host;
    std::wstring_view rules(mapped, n), fallback;
    while (!rules.empty()) {
        const size_t bar = rules.find(L'|');
        const std::wstring_view entry = rules.substr(0, bar);
        rules = bar == std::wstring_view::npos ? std::wstring_view() : rules.substr(bar + 1);
        const size_t eq = entry.find(L'=');
        if (eq == std::wstring_view::npos) fallback = entry;
        else if (entry.substr(0, eq) == std::wstring_view(host)) return CWString(entry.substr(eq + 1));
    }
    return fallback.empty() ? host : CWString(fallback);
}

bool RealMoveMouse(int x, int y) { return ::SetCursorPos(x, y) != FALSE; }

bool SendInputs(INPUT* inputs, UINT count) { return ::SendInput(count, inputs, sizeof(INPUT)) == count; }

bool RealClickMouse() {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInputs(inputs, 2);
}

bool RealPressKey(int virtualKey, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = WORD(virtualKey);
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return SendInputs(&input, 1);
}

void RealMessageBeep(UINT type) { ::MessageBeep(type); }
// Drive probes must not pop up "no disk in drive" boxes.
class QuietDriveErrors {
public:
    QuietDriveErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &saved_); }
    ~QuietDriveErrors() { ::SetThreadErrorMode(saved_, nullptr); }
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

private:
    DWORD saved_ = 0;
};

// Vetoes every delete that would not go to the recycle bin (a network share, a drive without a
// bin, an item too big for it), which the shell would otherwise carry out for good.
class RecycleOnlySink final : public IFileOperationProgressSink {
public:
    bool vetoed = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IFileOperationProgressSink) {
            *out = static_cast<IFileOperationProgressSink*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the caller's stack for the one operation.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override {
        if (flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) return S_OK;
        vetoed = true;
        return E_ABORT;
    }
    HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT, IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }
};

// False when the system has no working IFileOperation (Wine answers E_NOTIMPL), before anything
// was touched.
bool RecycleWithFileOperation(const CWString& path, RecycleResult& result) {
    IFileOperation* made = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&made)))) return false;
    const UniqueCom<IFileOperation> op(made);
    if (FAILED(op->SetOperationFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_SILENT |
                                     FOF_NOERRORUI)))
        return false;
    result = RecycleResult::Failed;
    IShellItem* found = nullptr;
    if (FAILED(::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&found)))) return true;
    const UniqueCom<IShellItem> item(found);
    RecycleOnlySink sink;
    DWORD cookie = 0;
    if (FAILED(op->Advise(&sink, &cookie))) return true;
    const bool queued = SUCCEEDED(op->DeleteItem(item.get(), nullptr));
    const HRESULT hr = queued ? op->PerformOperations() : E_FAIL;
    op->Unadvise(cookie);
    BOOL aborted = FALSE;
    if (sink.vetoed) result = RecycleResult::NotRecyclable;
    else if (SUCCEEDED(hr) && SUCCEEDED(op->GetAnyOperationsAborted(&aborted)) && !aborted)
        result = RecycleResult::Recycled;
    return true;
}

// With FOF_WANTNUKEWARNING the one box the shell may still show is its question whether to
// delete for good what the bin cannot take; it comes up on this thread and is answered No.
LRESULT CALLBACK DeclineNukeQuestion(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        wchar_t cls[16] = {};
        HWND box = reinterpret_cast<HWND>(wParam);
        if (::GetClassNameW(box, cls, 16) && std::wstring_view(cls) == L"#32770") {
            ::PostMessageW(box, WM_COMMAND, IDNO, 0);
            ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);  // for a box without No
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

RecycleResult RecycleWithShellOperation(const CWString& path) {
    std::wstring from = path;
    from.append(2, L'\0');  // the shell reads a list ending in two zeros
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_SILENT | FOF_NOERRORUI;
    int rc;
    {
        const UniqueHook hook(::SetWindowsHookExW(WH_CBT, DeclineNukeQuestion, nullptr, ::GetCurrentThreadId()));
        if (!hook) return RecycleResult::Failed;  // unguarded, the shell could delete for good
        rc = ::SHFileOperationW(&op);
    }
    // Nothing else can abort: no other question is asked and there is no progress box to cancel.
    if (op.fAnyOperationsAborted) return RecycleResult::NotRecyclable;
    return rc == 0 ? RecycleResult::Recycled : RecycleResult::Failed;
}

RecycleResult RealRecycle(const CWString& path) {
    RecycleResult result = RecycleResult::Failed;
    if (RecycleWithFileOperation(path, result)) return result;
    return RecycleWithShellOperation(path);
}

bool RealVolumeLabel(const CWString& root, CWString& label) {
    QuietDriveErrors quiet;
    wchar_t buffer[512] = {};
    if (!::GetVolumeInformationW(root.c_str(), buffer, 511, nullptr, nullptr, nullptr, nullptr, 0)) return false;
    label = buffer;
    return true;
}

bool RealSetVolumeLabel(const CWString& root, const CWString& label) {
    QuietDriveErrors quiet;
    return ::SetVolumeLabelW(root.c_str(), label.c_str()) != FALSE;
}

bool RealDriveAnswers(const CWString& root) {
    QuietDriveErrors quiet;
    ULARGE_INTEGER available, total, free;
    return ::GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free) != FALSE;
}

SHORT RealKeyState(int virtualKey) { return ::GetKeyState(virtualKey); }

HWND RealWindowAt(POINT screenPoint) { return ::WindowFromPoint(screenPoint); }

CWString RealSetxProgram() {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return {};
    return CWString(folder, n) + L"\\setx.exe";
}

}  // namespace

PlatformSeams& Seams() {
    static PlatformSeams seams{
        RealMessageBox,
        nullptr,
        RealFileDialog,
        RealFolderDialog,
        RealShellOpen,
        RealSpecialFolder,
        RealRemoteHost,
        RealMoveMouse,
        RealClickMouse,
        RealPressKey,
        RealMessageBeep,
        nullptr,
        nullptr,
        RealRecycle,
        RealVolumeLabel,
        RealSetVolumeLabel,
        RealDriveAnswers,
        RealKeyState,
        RealWindowAt,
        RealSetxProgram,
    };
    return seams;
}

// The one place holding the services tests replace: every hook starts out calling the real Windows
// function, and a test swaps a hook for a fake (ScopedSeam puts the old one back).
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "platform/text.h"
#include "platform/win.h"

struct FileDialogRequest {
    HWND owner = nullptr;
    bool save = false;
    CWString title;
    CWString filter;       // "Text|*.txt|All|*.*": pairs split at '|'
    CWString initialPath;  // a file or a folder
};

// What became of a move to the recycle bin.
enum class RecycleResult {
    Recycled,       // the shell moved it and aborted nothing
    NotRecyclable,  // the bin cannot take it; the shell was kept from deleting it for good
    Failed,
};

struct PlatformSeams {
    // MessageBoxW(owner, text, caption, type) -> IDOK, IDYES, ...
    std::function<int(HWND owner, const CWString& text, const CWString& caption, UINT type)> messageBox;
    // The platform's modal input dialog: true and the entered text on OK. Empty: the dialog of the
    // window layer runs.
    std::function<bool(HWND owner, const CWString& prompt, const CWString& title, CWString& text)> inputDialog;
    // Open or save file dialog: true and the chosen path on OK.
    std::function<bool(const FileDialogRequest& request, CWString& path)> fileDialog;
    // Folder dialog: true and the chosen folder on OK.
    std::function<bool(HWND owner, const CWString& title, const CWString& initialFolder, CWString& folder)> folderDialog;
    // ShellExecuteW "open" of a file, folder or address with parameters; true when the shell took it.
    std::function<bool(const CWString& file, const CWString& parameters, int showMode)> shellOpen;
    // A special folder by the platform's kind number (1 documents ... 12 profile), as the
    // system gives it (with or without a trailing backslash); empty for an unknown kind.
    std::function<CWString(int kind)> specialFolder;
    // The host to reach for one of the program's built-in remote host names: the name itself, or
    // what a test maps it to (a loopback address, a scheme allowed). Tests never leave loopback.
    std::function<CWString(const CWString& host)> remoteHost;
    // Simulated input, so that no test moves the real cursor or types into another window. The
    // mouse goes to absolute screen pixels; a click presses and releases the left button where the
    // cursor is. Each gives false when the system refused the input.
    std::function<bool(int x, int y)> moveMouse;
    std::function<bool()> clickMouse;
    std::function<bool(int virtualKey, bool down)> pressKey;
    // MessageBeep(type).
    std::function<void(UINT type)> messageBeep;
    // Writes SetClipboardText's text; false when the clipboard could not be taken. Empty: the
    // real clipboard.
    std::function<bool(std::wstring_view text)> setClipboardText;
    // Stands in for the waits that handle messages meanwhile (WaitPumpingMessages and its flag
    // form), so a test's clock can move on at once. Empty: the real wait.
    std::function<void(int64_t milliseconds)> wait;
    // File-system services a test must be able to make fail without losing a folder. Drive probes
    // never let Windows ask for a missing disk.
    // Moves a path (no trailing backslash) to the recycle bin, never deleting it for good.
    std::function<RecycleResult(const CWString& path)> recycle;
    // The volume label of a drive root such as "C:\"; false when the volume does not answer.
    std::function<bool(const CWString& root, CWString& label)> volumeLabel;
    std::function<bool(const CWString& root, const CWString& label)> setVolumeLabel;
    // True when the drive answers a free-space query (an empty card reader does not).
    std::function<bool(const CWString& root)> driveAnswers;
    // GetKeyState: the key as of the input message being handled (Wine's does not follow posted input).
    std::function<SHORT(int virtualKey)> keyState;
    // WindowFromPoint: the window that would take a click at that screen point.
    std::function<HWND(POINT screenPoint)> windowAt;
    // The setx program to start, by full path: the system's own, never one that a search by name
    // would find first in the program's or the current folder.
    std::function<CWString()> setxProgram;
};

// The hooks of the process, set to the real services on first use.
PlatformSeams& Seams();

// Replaces one hook for a scope: ScopedSeam s(&PlatformSeams::messageBox, fake);
template <class Hook>
class ScopedSeam {
public:
    template <class F>
    ScopedSeam(Hook PlatformSeams::*member, F&& replacement)
        : member_(member), saved_(std::exchange(Seams().*member, Hook(std::forward<F>(replacement)))) {}
    ~ScopedSeam() { Seams().*member_ = std::move(saved_); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

private:
    Hook PlatformSeams::*member_;
    Hook saved_;
};
template <class Hook, class F>
ScopedSeam(Hook PlatformSeams::*, F&&) -> ScopedSeam<Hook>;

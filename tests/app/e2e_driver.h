// Drives the real Kelvaro.exe: each run gets a temporary folder holding a copy of the program, the
// fake ollama.exe and its state files, and optionally a settings file. Buttons are pressed with
// posted mouse messages; message boxes and the input dialog are read and answered by window.
#pragma once
#include "platform/win.h"

#include <filesystem>
#include <string>
#include <vector>

class KelvaroRun {
public:
    // Models: "name|id|size|modified" lines for the fake; running: "name|id|size|processor|until".
    KelvaroRun(const std::string& models, const std::string& running = {}, const std::wstring& settings = {});
    ~KelvaroRun();
    KelvaroRun(const KelvaroRun&) = delete;
    KelvaroRun& operator=(const KelvaroRun&) = delete;

    // Starts the program and waits for its main window and the first list refresh.
    bool Start();
    // Overrides for the fake: "argsPrefix<TAB>exit<TAB>delayMs<TAB>stdout<TAB>stderr" lines.
    void SetScenario(const std::string& lines);
    void RemoveFakeOllama();

    HWND Main() const noexcept { return main_; }
    HWND Control(int id) const { return ::GetDlgItem(main_, id); }
    // A window below the main window by the ids of each level (the chat panel's controls).
    HWND Descendant(std::initializer_list<int> ids) const;
    void Press(int id) { PressWindow(Control(id)); }
    void PressWindow(HWND h);
    // Presses the control with that id in another window of the program (a dialog, a form).
    void PressIn(HWND window, int id) { PressWindow(::GetDlgItem(window, id)); }
    // A window's caption (readable while the program is busy); EditText asks an edit box.
    std::wstring Text(HWND h) const;
    std::wstring EditText(HWND edit) const;
    std::wstring Caption(int id) const { return Text(Control(id)); }
    // Waits until the button shows `caption`; false after `ms`.
    bool WaitCaption(int id, const std::wstring& caption, int ms = 10000) const;
    // The model list's and the model-name box's current text (their edit fields).
    std::wstring ComboText(int id) const;
    void SetComboText(int id, const std::wstring& text);

    // A dialog of this process with the caption, or null after `ms`.
    HWND WaitDialog(const std::wstring& caption, int ms = 10000) const;
    std::wstring BoxText(HWND box) const;
    // Posts the command and waits for the dialog to go.
    bool Answer(HWND dialog, int command) const;
    bool WaitClosed(HWND window, int ms = 10000) const;
    // The input dialog (no caption, an edit box with id 101): sets the text and presses OK or Cancel.
    HWND WaitInputDialog(int ms = 10000) const;
    std::wstring InputText(HWND dialog) const;
    bool AnswerInput(HWND dialog, const std::wstring& text, bool ok) const;

    // The fake's log lines (its command lines), and a wait for at least `count` of them.
    std::vector<std::wstring> Log() const;
    bool WaitLog(size_t count, int ms = 10000) const;
    // The fake setx in the system folder (put there by the test run), logging into the program's
    // folder: its command lines, and its exit code and delay from now on.
    std::vector<std::wstring> SetxLog() const;
    void SetSetxScenario(int exitCode, int delayMs);
    // A form of the program with that title (class "VolWinForm"), or null after `ms`.
    HWND WaitForm(const std::wstring& title, int ms = 10000) const;
    // The input box showing a message (a form titled "信息："), or null after `ms`; its text (once
    // filled); closing it.
    HWND WaitMessageForm(int ms = 10000) const;
    std::wstring FormText(HWND form) const;
    bool CloseForm(HWND form) const;
    // Closes the window and waits for the process; its exit code, or -2 on a time-out.
    int Close();
    // Milliseconds from the last Close's WM_CLOSE to the process's end, and from the window's end
    // to the process's end (Wine without a window manager takes about 2 s to hide a closing window).
    double closeMs = 0;
    double lingerMs = 0;
    // The program's KELVARO_REMOTE_HOST, set before Start ("host=address|address" entries); empty
    // keeps the test's own.
    std::wstring remoteHosts;
    // The settings file's bytes (empty when missing).
    std::string SettingsBytes() const;
    const std::filesystem::path& Folder() const noexcept { return dir_; }

    // Milliseconds from CreateProcess to the main window shown, and to the first list refresh done.
    double windowShownMs = 0;
    double firstListMs = 0;

private:
    std::filesystem::path dir_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

// Control ids of the main window.
enum MainWindowId {
    kModelNameId = 101, kDownloadId, kBannerId, kCreateId, kCopyId, kRestoreDirId, kChangeDirId, kStopAllId,
    kStopId, kRunId, kDeleteId, kShowId, kModelListId, kRefreshId
};

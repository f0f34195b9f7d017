// What the file helpers need from the window layer: the main form's title hint, owned message
// boxes and the file-open dialog. The window layer fills these at start-up; tests replace them.
#pragma once
#include <functional>

#include "platform/text.h"

struct FileUiHooks {
    // Shows a hint in the main form's title bar; empty while there is no main form.
    std::function<void(std::wstring_view hint, std::wstring_view seconds)> setTitleHint;
    // A message box owned by `owner`; returns the button pressed (IDYES, IDNO, ...).
    std::function<int(HWND owner, std::wstring_view text, std::wstring_view caption, UINT type)> showMessageBoxOwned;
    // The file-open dialog: fileName holds the starting name and receives the chosen path.
    // Filter: description and pattern pairs joined by "|". Returns false when cancelled.
    std::function<bool(HWND owner, std::wstring_view title, std::wstring_view filter, CWString& fileName)> openFileDialog;
};

// The hooks in use; starts with plain Windows message boxes and dialogs and no title hint.
FileUiHooks& GetFileUiHooks();

// Desktop services: message boxes, the clipboard, the shell, special folders and the user's
// registry. Those that show something or leave the program go through Seams().
#pragma once
#include "platform/text.h"
#include "platform/win.h"

// A message box owned by a window (null: unowned); gives the focus back to where it was.
// Returns the button pressed (IDOK, IDYES, ...).
int ShowMessageBoxOwned(std::wstring_view text, UINT type, std::wstring_view caption, HWND owner = nullptr);

// The platform's modal input dialog: true and the entered text on OK, false and an empty text
// otherwise (also while no dialog is installed).
bool ShowInputDialog(HWND owner, std::wstring_view prompt, std::wstring_view title, CWString& text);

// Puts a text on the clipboard as Unicode text; false when the clipboard could not be taken.
bool SetClipboardText(std::wstring_view text);
// The clipboard's Unicode text; empty when it holds none.
CWString GetClipboardText();

// Opens a file, folder or address with the shell's "open" verb. "browse://" followed by a path
// opens the file manager with that item selected. When the shell refuses, the program that opens
// ".htm" files is started with the target. Returns 0 when nothing could open the target.
int OpenWithShell(std::wstring_view target, int showMode = -1);

// Kinds: 1 documents, 2 favourites, 3 desktop, 4 fonts, 5 start menu, 6 programs, 7 startup,
// 8 application data, 9 Windows, 10 system, 11 temporary files, 12 the user's profile folder.
// Ends with "\"; empty when unknown.
CWString GetSpecialFolderPath(int kind);

// A text value under HKEY_CURRENT_USER; empty when the key or value is absent or not text.
CWString ReadUserRegistryText(std::wstring_view keyPath, std::wstring_view valueName);

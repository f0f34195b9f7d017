// The platform's modal input dialog, until the window layer brings its own: a small dialog with the
// prompt, one edit line and OK / Cancel, installed into the input-dialog seam when that is empty.
#pragma once
#include "platform/text.h"
#include "platform/win.h"

// Installs the dialog unless another one (or a test's fake) is in place.
void InstallInputPromptIfMissing();
// Runs the dialog: true and the entered text on OK; `text` holds the initial text on entry.
bool RunInputPrompt(HWND owner, const CWString& prompt, const CWString& title, CWString& text);

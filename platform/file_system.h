// Folder operations of the directory tree: existence, creation, deletion to the recycle bin and
// drive volumes. Those a test must be able to make fail go through Seams().
#pragma once
#include "platform/seams.h"
#include "platform/text.h"

// True when the path names an existing file or folder; a trailing "\" is ignored except after a
// drive colon.
bool FileExists(std::wstring_view path);
// True for an existing folder.
bool IsExistingFolder(std::wstring_view path);
// "C:", "C:\" and the like.
bool IsDriveRootPath(std::wstring_view path) noexcept;
// Creates a folder and any missing folders above it; true when it exists afterwards.
bool CreateFolderPath(std::wstring_view path);
// Moves a file or folder to the recycle bin. Recycled only when the shell succeeded, nothing was
// aborted and the path is gone; NotRecyclable when the bin cannot take it, which then stays where
// it is. A drive root or an empty path is never deleted.
RecycleResult DeleteToRecycleBin(std::wstring_view path);

// Volume probes of a drive root ("C:\"); none of them lets Windows ask for a missing disk.
bool DriveAnswers(std::wstring_view root);
bool ReadVolumeLabel(std::wstring_view root, CWString& label);
bool WriteVolumeLabel(std::wstring_view root, std::wstring_view label);

// True while the key is held as of the input message being handled (GetKeyState's high bit).
bool IsKeyHeldNow(int virtualKey);

// Windows path equality: ordinal, ignoring case.
bool SamePathText(std::wstring_view a, std::wstring_view b) noexcept;

// Files, folders, drives and paths.
#pragma once
#include <cstdint>
#include <unordered_set>

#include "platform/containers.h"
#include "util/text_array.h"

// The set of names already taken, keyed by their UTF-16 units (names compare exactly).
using rg_ZiJieJiMoXuHaXiJi = std::unordered_set<std::wstring>;

// The drive roots as Windows reports them, followed by one empty item; one empty item on failure.
rg_WenBenShuZuLei ListLogicalDrives();
// Lists the files (or, with listFolders, the visible subfolders) of a folder matching "|"-separated
// wildcard patterns into result: bare names, with the folder as the array's prefix. An empty folder
// argument returns 0 and leaves result untouched.
int32_t ListFiles(std::wstring_view folder, std::wstring_view patterns, rg_DrenvikWenBenShuZuLei& result,
                  bool listFolders);
int32_t CollectFilesInFolder(std::wstring_view folder, std::wstring_view pattern, rg_DrenvikWenBenShuZuLei& result,
                             bool deduplicate, rg_ZiJieJiMoXuHaXiJi& seen);
int32_t CollectSubfolders(std::wstring_view folder, std::wstring_view pattern, rg_DrenvikWenBenShuZuLei& result,
                          bool deduplicate, rg_ZiJieJiMoXuHaXiJi& seen);
// 1 when the folder has a subfolder that is neither hidden nor system.
int32_t HasSubfolders(std::wstring_view folder);
// Appends one "\r\n"-separated line per dropped file, or per matching file of a dropped folder.
// choice (start it at 0) remembers the answer to the one question about folders: 1 reads each
// folder's own files, 2 also its subfolders', 3 skips folders.
void CollectDroppedFiles(int32_t& choice, const rg_DrenvikWenBenShuZuLei& paths, CWString& lines,
                         std::wstring_view patterns, HWND owner, bool fileTitles);

CWString WithoutTrailingBackslash(std::wstring_view path);
// A folder path as typed or pasted: blanks and one pair of enclosing double quotes (Explorer's
// "copy as path") removed. Empty unless absolute ("X:\..." or "\\server\..."): a relative or
// drive-relative path would name a different folder depending on where it is read.
CWString CleanTypedFolderPath(std::wstring_view text);
// Without trailing backslashes, except the one a drive root needs ("D:\" stays, "D:" would be
// drive-relative).
CWString FolderWithoutTrailingBackslash(std::wstring_view path);
CWString WithTrailingBackslash(std::wstring_view path);
CWString WithTrailingSlash(std::wstring_view address);
// The program's folder, without a trailing "\".
CWString GetProgramFolder();
// Shows the file-open dialog starting at the control's text and puts the chosen path into the
// control; returns the dialog's file name (the starting text when cancelled).
CWString BrowseFileIntoControl(HWND owner, std::wstring_view title, std::wstring_view filter, HWND control = nullptr);

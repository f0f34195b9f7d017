#include "platform/file_system.h"

#include <shlobj.h>

#include "platform/seams.h"

namespace {
CWString WithoutSlash(std::wstring_view path) {
    if (path.size() > 1 && path.back() == L'\\' && !(path.size() == 3 && path[1] == L':')) path.remove_suffix(1);
    return CWString(path);
}
}  // namespace

bool FileExists(std::wstring_view path) {
    if (path.empty()) return false;
    return ::GetFileAttributesW(WithoutSlash(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsExistingFolder(std::wstring_view path) {
    if (path.empty()) return false;
    const DWORD a = ::GetFileAttributesW(WithoutSlash(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDriveRootPath(std::wstring_view path) noexcept {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.remove_suffix(1);
    return path.size() == 2 && path[1] == L':';
}

bool CreateFolderPath(std::wstring_view path) {
    if (path.empty()) return false;
    const CWString p = WithoutSlash(path);
    const int r = ::SHCreateDirectoryExW(nullptr, p.c_str(), nullptr);
    return (r == ERROR_SUCCESS || r == ERROR_ALREADY_EXISTS || r == ERROR_FILE_EXISTS) && IsExistingFolder(p);
}

RecycleResult DeleteToRecycleBin(std::wstring_view path) {
    // The shell answers success for "folder\" and deletes nothing, so the slash goes.
    CWString p(path);
    while (!p.empty() && p.back() == L'\\') p.pop_back();
    if (p.empty() || IsDriveRootPath(p) || !FileExists(p)) return RecycleResult::Failed;
    const RecycleResult r = Seams().recycle(p);
    if (r != RecycleResult::Recycled) return r;
    return FileExists(p) ? RecycleResult::Failed : RecycleResult::Recycled;
}

bool DriveAnswers(std::wstring_view root) { return Seams().driveAnswers(CWString(root)); }

bool ReadVolumeLabel(std::wstring_view root, CWString& label) {
    label.clear();
    return Seams().volumeLabel(CWString(root), label);
}

bool WriteVolumeLabel(std::wstring_view root, std::wstring_view label) {
    return Seams().setVolumeLabel(CWString(root), CWString(label));
}

bool IsKeyHeldNow(int virtualKey) { return (Seams().keyState(virtualKey) & 0x8000) != 0; }

bool SamePathText(std::wstring_view a, std::wstring_view b) noexcept {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return ::CompareStringOrdinal(a.data(), int(a.size()), b.data(), int(b.size()), TRUE) == CSTR_EQUAL;
}

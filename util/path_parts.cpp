#include "util/path_parts.h"

namespace {
int LastSeparator(std::wstring_view path, int slash) noexcept {
    return FindWText(path, slash == 1 ? L"/" : L"\\", -1, false, true);
}
}  // namespace

CWString GetParentPath(std::wstring_view path, int slash) {
    int at = LastSeparator(path, slash);
    return at < 0 ? CWString() : CWString(path.substr(0, size_t(at)));
}

CWString GetPathLeaf(std::wstring_view path, int slash) {
    int at = LastSeparator(path, slash);
    return at < 0 ? CWString(path) : CWString(path.substr(size_t(at) + 1));
}

CWString GetFileTitle(std::wstring_view path) {
    CWString leaf = GetPathLeaf(path, 0);
    int dot = leaf.FindText(L".", -1, false, true);
    return dot < 0 ? leaf : leaf.Left(dot);
}

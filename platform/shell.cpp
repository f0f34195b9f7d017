#include "platform/shell.h"

#include <shlwapi.h>

#include "platform/seams.h"

int ShowMessageBoxOwned(std::wstring_view text, UINT type, std::wstring_view caption, HWND owner) {
    HWND focus = owner ? ::GetFocus() : nullptr;
    int result = Seams().messageBox(owner, CWString(text), CWString(caption), type);
    if (focus && ::IsWindow(focus)) ::SetFocus(focus);
    return result;
}

bool ShowInputDialog(HWND owner, std::wstring_view prompt, std::wstring_view title, CWString& text) {
    auto& dialog = Seams().inputDialog;
    if (dialog && dialog(owner, CWString(prompt), CWString(title), text)) return true;
    text.clear();
    return false;
}

namespace {

// Another program may hold the clipboard for a moment.
bool OpenClipboardPatiently() {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (::OpenClipboard(nullptr)) return true;
        ::Sleep(10);
    }
    return false;
}

struct ClipboardSession {
    bool open = OpenClipboardPatiently();
    ~ClipboardSession() { if (open) ::CloseClipboard(); }
};

}  // namespace

bool SetClipboardText(std::wstring_view text) {
    if (const auto& writer = Seams().setClipboardText) return writer(text);
    ClipboardSession clipboard;
    if (!clipboard.open || !::EmptyClipboard()) return false;
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (!memory) return false;
    if (auto* p = static_cast<wchar_t*>(::GlobalLock(memory))) {
        text.copy(p, text.size());
        p[text.size()] = L'\0';
        ::GlobalUnlock(memory);
        if (::SetClipboardData(CF_UNICODETEXT, memory)) return true;  // the clipboard owns it now
    }
    ::GlobalFree(memory);
    return false;
}

CWString GetClipboardText() {
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT)) return {};
    ClipboardSession clipboard;
    if (!clipboard.open) return {};
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (!data) return {};
    CWString text;
    if (auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
        size_t limit = ::GlobalSize(data) / sizeof(wchar_t);
        text.assign(p, wcsnlen(p, limit));
        ::GlobalUnlock(data);
    }
    return text;
}

int OpenWithShell(std::wstring_view target, int showMode) {
    constexpr std::wstring_view kBrowse = L"browse://";
    auto& open = Seams().shellOpen;
    if (target.substr(0, kBrowse.size()) == kBrowse) {
        CWString item(target.substr(kBrowse.size()));
        return open(L"explorer.exe", L"/select,\"" + item + L"\"", showMode) ? 1 : 0;
    }
    CWString file(target);
    if (open(file, CWString(), showMode)) return 1;
    // The shell knows no handler: hand it to the program that opens web pages.
    wchar_t command[2048] = {};
    DWORD size = DWORD(std::size(command));
    if (FAILED(::AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, L".htm", L"open", command, &size)) || !command[0])
        return 0;
    return open(command, L"\"" + file + L"\"", showMode) ? 1 : 0;
}

CWString GetSpecialFolderPath(int kind) {
    CWString path = Seams().specialFolder(kind);
    if (!path.empty() && path.back() != L'\\') path.push_back(L'\\');
    return path;
}

CWString ReadUserRegistryText(std::wstring_view keyPath, std::wstring_view valueName) {
    CWString key(keyPath), value(valueName);
    DWORD bytes = 0;
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    for (int attempt = 0; attempt < 4; ++attempt) {  // the value may grow between the two calls
        if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), flags, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
            return {};
        std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD got = DWORD(buffer.size() * sizeof(wchar_t));
        LSTATUS r = ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), flags, nullptr, buffer.data(), &got);
        if (r == ERROR_SUCCESS) {
            buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
            return CWString(std::move(buffer));
        }
        if (r != ERROR_MORE_DATA) return {};
    }
    return {};
}

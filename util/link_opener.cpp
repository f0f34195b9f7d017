#include "util/link_opener.h"

#include "platform/dynapi.h"

namespace {

// The search engine whose "www." form is shortened.
constexpr std::wstring_view kSearchHostWithWww = L"://www.baidu.com/";
constexpr std::wstring_view kSearchHost = L"://baidu.com/";

bool ShellOpen(const wchar_t* file, const wchar_t* parameters, int showMode) {
    HINSTANCE r = DynamicApiTable.ShellExecuteW(nullptr, L"open", file, parameters, nullptr, showMode);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

}  // namespace

int32_t OpenWithShell(std::wstring_view target, int32_t showMode) {
    if (!DynamicApiTable.ShellExecuteW) return 0;
    const int show = showMode < 0 ? SW_SHOWDEFAULT : showMode;
    constexpr std::wstring_view browse = L"browse://";
    if (target.starts_with(browse)) {
        std::wstring args = L"/select,\"" + std::wstring(target.substr(browse.size())) + L"\"";
        return ShellOpen(L"explorer.exe", args.c_str(), show) ? 1 : 0;
    }
    return ShellOpen(std::wstring(target).c_str(), nullptr, show) ? 1 : 0;
}

bool SetClipboardText(std::wstring_view text) {
    if (!::OpenClipboard(nullptr)) return false;
    bool ok = false;
    ::EmptyClipboard();
    if (HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
        auto* p = static_cast<wchar_t*>(::GlobalLock(mem));
        text.copy(p, text.size());
        p[text.size()] = L'\0';
        ::GlobalUnlock(mem);
        ok = ::SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
        if (!ok) ::GlobalFree(mem);  // the clipboard took nothing
    }
    ::CloseClipboard();
    return ok;
}

int32_t OpenLinkOrPath(CWString& target, std::wstring_view parameters) {
    const wchar_t* place;
    if (target.FindText(L"://") >= 0) {
        target.Replace(kSearchHostWithWww, kSearchHost);
        if (OpenWithShell(target, SW_SHOWNORMAL)) return 1;
        place = L"浏览器";
    } else {
        std::wstring params(parameters);
        HINSTANCE r = DynamicApiTable.ShellExecuteW
                          ? DynamicApiTable.ShellExecuteW(nullptr, L"Open", target.c_str(), params.c_str(), L"", SW_SHOWNORMAL)
                          : nullptr;
        if (reinterpret_cast<INT_PTR>(r) > 32) return 1;
        place = L"我的电脑";
    }
    SetClipboardText(target);
    CWString text = CWString::Concat({L"打开失败：", target, L"\r\n\r\n已将该地址复制，请手动到", place, L"粘贴打开！"});
    ::MessageBoxW(nullptr, text.c_str(), L"信息:", MB_ICONINFORMATION);
    return 0;
}

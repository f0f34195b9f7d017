#include "util/link_opener.h"

#include "platform/seams.h"
#include "platform/shell.h"

namespace {
// The search engine whose "www." form is shortened.
constexpr std::wstring_view kSearchHostWithWww = L"://www.baidu.com/";
constexpr std::wstring_view kSearchHost = L"://baidu.com/";
}  // namespace

int32_t OpenLinkOrPath(CWString& target, std::wstring_view parameters) {
    const wchar_t* place;
    if (target.FindText(L"://") >= 0) {
        target.Replace(kSearchHostWithWww, kSearchHost);
        if (OpenWithShell(target, SW_SHOWNORMAL)) return 1;
        place = L"浏览器";
    } else {
        if (Seams().shellOpen(target, CWString(parameters), SW_SHOWNORMAL)) return 1;
        place = L"我的电脑";
    }
    SetClipboardText(target);
    ShowMessageBoxOwned(CWString::Concat({L"打开失败：", target, L"\r\n\r\n已将该地址复制，请手动到", place, L"粘贴打开！"}),
                        MB_ICONINFORMATION, L"信息:");
    return 0;
}

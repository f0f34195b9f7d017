#include "platform/notice.h"

#include <exception>

namespace {

struct PendingCall {
    const std::function<void()>* fn;
    std::exception_ptr error;
};

}  // namespace

LRESULT CALLBACK IVolNoticeReceiver::WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMessage && lp == kTag && wp) {
        auto* call = reinterpret_cast<PendingCall*>(wp);
        try {
            (*call->fn)();
        } catch (...) {  // never unwind through the window manager
            call->error = std::current_exception();
        }
        return 1;
    }
    return ::DefWindowProcW(w, msg, wp, lp);
}

IVolNoticeReceiver::IVolNoticeReceiver() : threadId_(::GetCurrentThreadId()) {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (registered)
        window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
}

IVolNoticeReceiver::~IVolNoticeReceiver() {
    if (window_) ::DestroyWindow(window_);
}

bool IVolNoticeReceiver::Call(const std::function<void()>& fn) const {
    if (!window_) return false;
    if (::GetCurrentThreadId() == threadId_) {
        fn();
        return true;
    }
    PendingCall call{&fn, nullptr};
    if (!::SendMessageW(window_, kMessage, reinterpret_cast<WPARAM>(&call), kTag)) return false;
    if (call.error) std::rethrow_exception(call.error);
    return true;
}

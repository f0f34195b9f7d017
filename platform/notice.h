// Synchronous calls from any thread into the thread that owns the receiver, through a hidden
// window of class "_VOL_IVolNoticeReceiver" (message 0x8001, lParam 18, sent with SendMessageW).
#pragma once
#include <functional>

#include "platform/win.h"

class IVolNoticeReceiver {
public:
    static constexpr UINT kMessage = 0x8001;
    static constexpr LPARAM kTag = 18;
    static constexpr const wchar_t* kClassName = L"_VOL_IVolNoticeReceiver";

    // Creates the window on the calling thread, which must handle its messages (any PeekMessageW
    // or GetMessageW delivers the calls). Destroy the receiver on that thread too.
    IVolNoticeReceiver();
    ~IVolNoticeReceiver();
    IVolNoticeReceiver(const IVolNoticeReceiver&) = delete;
    IVolNoticeReceiver& operator=(const IVolNoticeReceiver&) = delete;

    // Runs fn on the owning thread and returns after it has run (at once on the owning thread).
    // An exception fn throws comes back to the caller. False when the window could not be made.
    bool Call(const std::function<void()>& fn) const;

    HWND GetWindow() const noexcept { return window_; }
    DWORD GetOwnerThreadId() const noexcept { return threadId_; }

private:
    static LRESULT CALLBACK WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

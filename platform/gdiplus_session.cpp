#include "platform/gdiplus_session.h"

#include "platform/win.h"
#include <gdiplus.h>

GdiplusSession::GdiplusSession() noexcept {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) token_ = token;
}

GdiplusSession::~GdiplusSession() {
    if (token_) Gdiplus::GdiplusShutdown(token_);
}

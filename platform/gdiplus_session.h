// GDI+ started for as long as the object lives. Sessions nest; the application object holds one for
// the whole run, tests hold their own.
#pragma once
#include <cstdint>

class GdiplusSession {
public:
    GdiplusSession() noexcept;
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    bool IsRunning() const noexcept { return token_ != 0; }

private:
    uintptr_t token_ = 0;
};

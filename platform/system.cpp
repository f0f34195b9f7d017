#include "platform/system.h"

#include "platform/win.h"

#include <cmath>

unsigned long gMainThreadId = 0;

void PumpPendingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {  // the real loop must still see it
            ::PostQuitMessage(int(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool QuitMessageQueued() {
    MSG msg;
    return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

std::wstring GetModuleDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0) return {};
        if (n < path.size()) { path.resize(n); break; }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::atomic<int32_t>& RandomSeededFlag() noexcept {
    static std::atomic<int32_t> seeded{0};
    return seeded;
}

double SystemTimeToDateTime(const SYSTEMTIME& t) noexcept {
    // Days from 1899-12-30 by the civil-from-days count of 1970-01-01 (25569).
    int y = t.wYear, m = t.wMonth, d = t.wDay;
    y -= m <= 2;
    int era = (y >= 0 ? y : y - 399) / 400;
    int yoe = y - era * 400;
    int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long long days = (long long)era * 146097 + doe - 719468;  // since 1970-01-01
    double seconds = t.wHour * 3600.0 + t.wMinute * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
    return double(days + 25569) + seconds / 86400.0;
}

double GetNowDateTime() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return SystemTimeToDateTime(t);
}

int64_t DateTimeToUnixTime(double localDateTime) {
    TIME_ZONE_INFORMATION tz;
    DWORD which = ::GetTimeZoneInformation(&tz);
    long bias = tz.Bias;  // UTC = local + bias, in minutes
    if (which == TIME_ZONE_ID_DAYLIGHT) bias += tz.DaylightBias;
    else if (which == TIME_ZONE_ID_STANDARD) bias += tz.StandardBias;
    double seconds = (localDateTime - 25569.0) * 86400.0;
    return int64_t(std::floor(seconds + 1e-4)) + int64_t(bias) * 60;  // the epsilon absorbs rounding of the fraction
}

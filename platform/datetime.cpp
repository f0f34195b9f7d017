#include "platform/datetime.h"

#include <cmath>

#include "platform/win.h"

int gRandomSeeded = 0;

double GetNowDateTime() noexcept {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    FILETIME ft;
    ::SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER t{};
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    // FILETIME counts 100 ns from 1601-01-01; 1899-12-30 is 109,205 days later.
    constexpr double kTicksPerDay = 864000000000.0;
    return double(t.QuadPart) / kTicksPerDay - 109205.0;
}

int64_t DateTimeToUnixTime(double dateTime) noexcept {
    TIME_ZONE_INFORMATION tz{};
    DWORD mode = ::GetTimeZoneInformation(&tz);
    long bias = tz.Bias + (mode == TIME_ZONE_ID_DAYLIGHT ? tz.DaylightBias : 0);  // UTC = local + bias
    double seconds = (dateTime - 25569.0) * 86400.0;
    return int64_t(std::floor(seconds + 0.5)) + int64_t(bias) * 60;
}

// Local date-time values and the runtime random generator's process-wide seeded flag.
#pragma once
#include <cstdint>

// Now, in local time, as days since 1899-12-30 with the time of day as the fraction.
double GetNowDateTime() noexcept;
// Whole seconds since 1970-01-01 UTC of a local date-time value (corrected by the time-zone bias).
int64_t DateTimeToUnixTime(double dateTime) noexcept;

// Set once the runtime's pseudo-random generator (srand/rand) has been seeded.
extern int gRandomSeeded;

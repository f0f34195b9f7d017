// Local date-time values (declared with the system helpers) and the runtime random generator's
// process-wide seeded flag.
#pragma once
#include <cstdint>

#include "platform/system.h"

// Set once the runtime's pseudo-random generator (srand/rand) has been seeded.
extern int gRandomSeeded;

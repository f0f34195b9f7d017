#include "platform/datetime.h"

int gRandomSeeded = 0;

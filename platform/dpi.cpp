#include "platform/dpi.h"

double DpiScale = 1.0;
double gRuntimeDpiFactor = 0.0;

int ScaleByDpi(int value) noexcept {
    if (gRuntimeDpiFactor == 0.0) gRuntimeDpiFactor = DpiScale < 1.0 ? 1.0 : DpiScale;
    return int(value * gRuntimeDpiFactor);
}

int ScaleDesignValue(int value) noexcept { return int(value * DpiScale + 0.5); }

void SetDpiFactorsForTest(double factor) noexcept {
    DpiScale = factor;
    gRuntimeDpiFactor = factor < 1.0 ? 1.0 : factor;
}

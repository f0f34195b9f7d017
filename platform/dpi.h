// Process-wide display scale.
#pragma once

// The display scale, max(1, DPI / 96), computed once by the application object at start-up.
extern double DpiScale;
// Taken from DpiScale at the first run-time scaling and raised to at least 1.0; 0 until then.
extern double gRuntimeDpiFactor;

// value * gRuntimeDpiFactor, truncated toward zero.
int ScaleByDpi(int value) noexcept;
// Design-time positions and sizes: value * DpiScale + 0.5, truncated.
int ScaleDesignValue(int value) noexcept;
// Tests set both factors directly to run layouts at 1.25 or 1.5.
void SetDpiFactorsForTest(double factor) noexcept;

// Small pieces of arithmetic the engines share.
#pragma once

// The hot row loops' two versions (baseline and AVX2) and their choice.
#include "processing/cpu_dispatch.h"

inline constexpr double kPi = 3.141592653589793;

// v limited to 0..255.
constexpr int ClampToByte(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// The four 3x3 filters: sharpen, soft, colour emboss and a custom kernel.
#pragma once

#include "processing/neighbourhood.h"

constexpr int kFilterSharpen = 8202;
constexpr int kFilterSoft = 8205;
constexpr int kFilterEmboss = 8208;
constexpr int kFilterCustom = 8211;

constexpr int kFilterStrengthMin = 0;
constexpr int kFilterStrengthMax = 10;
constexpr int kKernelValueMin = -9;
constexpr int kKernelValueMax = 9;

struct FilterSettingsRecord {
    int filterKind;
    int sharpenStrength;
    int softStrength;
    int embossStrength;
    int customStrength;
    // Row before (below on screen), own row, row after (above on screen);
    // each left to right: the engine's block order.
    int customKernel[3][3];
};

extern FilterSettingsRecord FilterSettings;

// Per-pixel operators: rewrite the centre's blue, green and red.
void SharpenPixel(PixelBlock3x3* block);
void SoftenPixel(PixelBlock3x3* block);
void EmbossPixel(PixelBlock3x3* block);
void CustomKernelPixel(PixelBlock3x3* block);

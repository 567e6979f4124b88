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

// A filter prepared for whole rows: the kernel in block order and, for
// every possible weighted sum S, the amount the operator adds to the centre
// (soft: S div 9 replaces it).  Built from the per-pixel operators'
// arithmetic, so rows come out exactly as pixel by pixel.
struct FilterRowPlan {
    int kind;
    int kernel[9];
    int centreWeight;     // 1: v = c + delta(S); 0: v = delta(S)
    int sumMin;
    int sumMax;
    short* delta;         // delta[S - sumMin]
    // When delta(S) = sign * (S * multiplier) / divisor (integer division)
    // holds for every S of the range, rows use that instead of the table.
    bool integerForm;
    int sign;
    int multiplier;
    int divisor;          // 30, 10 or 9
};

// Prepares the plan for the current settings; false for a kind that has no
// row form.  The table lives until the next call.
bool PrepareFilterRows(int filterKind, FilterRowPlan* plan);

// Filters one row of pixels: below, own and above each start one pixel
// left of the first output pixel (the padded rows); out receives pixels
// with the own row's 4th bytes.
void FilterRow(const FilterRowPlan& plan, const BYTE* below, const BYTE* own, const BYTE* above, BYTE* out,
               int pixels);

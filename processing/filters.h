// The four 3x3 filters: sharpen, soft, colour emboss and a custom kernel.
#pragma once

#include "processing/neighbourhood.h"
#include "processing/param_range.h"

enum class FilterKind { Sharpen, Soft, Emboss, Custom };

// Sharpen and emboss scale their sums by the strength over 30 and over 10,
// the custom kernel by the strength over 10; soft runs that many passes.
inline constexpr ParamRange kFilterStrength{0, 10, 0};
// Each weight of the custom kernel.
inline constexpr ParamRange kKernelValue{-9, 9, 1};

struct FilterParams {
    FilterKind kind = FilterKind::Sharpen;
    int strength = kFilterStrength.def;
    // The custom kernel: row before (below on screen), own row, row after
    // (above on screen); each left to right: the engine's block order.
    int kernel[3][3] = {{kKernelValue.def, kKernelValue.def, kKernelValue.def},
                        {kKernelValue.def, kKernelValue.def, kKernelValue.def},
                        {kKernelValue.def, kKernelValue.def, kKernelValue.def}};
};

// Per-pixel operators: rewrite the centre's blue, green and red.
void SharpenPixel(const FilterParams& params, PixelBlock3x3* block);
void SoftenPixel(const FilterParams& params, PixelBlock3x3* block);
void EmbossPixel(const FilterParams& params, PixelBlock3x3* block);
void CustomKernelPixel(const FilterParams& params, PixelBlock3x3* block);

// A filter prepared for whole rows: the kernel in block order and, for
// every possible weighted sum S, the amount the operator adds to the centre
// (soft: S div 9 replaces it).  Built from the per-pixel operators'
// arithmetic, so rows come out exactly as pixel by pixel.
struct FilterRowPlan {
    FilterKind kind;
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

// Prepares the plan for the parameters; false for a kind that has no row
// form.  The table lives until the next call.
bool PrepareFilterRows(const FilterParams& params, FilterRowPlan* plan);

// Filters one row of pixels: below, own and above each start one pixel
// left of the first output pixel (the padded rows); out receives pixels
// with the own row's 4th bytes.
void FilterRow(const FilterRowPlan& plan, const BYTE* below, const BYTE* own, const BYTE* above, BYTE* out,
               int pixels);

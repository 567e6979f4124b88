// Point effects: negative, posterize, solarize, binarize and a per-channel
// contrast stretch.  Each works on blue, green and red separately and
// leaves the 4th byte alone.
#pragma once

#include "platform/platform.h"
#include "processing/param_range.h"

enum class EffectKind { Negative, Posterize, Solarize, Contrast, Binarize };

// The band widths posterize, solarize and binarize offer, narrowest first;
// 64 at first.
inline constexpr int kEffectBandWidths[] = {8, 16, 32, 64, 128};
inline constexpr int kEffectBandWidthDefault = 64;

// Each channel's contrast bounds.
inline constexpr ParamRange kEffectLowerBound{0, 255, 0};
inline constexpr ParamRange kEffectUpperBound{0, 255, 255};

struct EffectParams {
    EffectKind kind = EffectKind::Negative;
    // Posterize, solarize and binarize: the band width N (one of
    // kEffectBandWidths; below 2 the picture is left alone).
    int bandWidth = kEffectBandWidthDefault;
    // Contrast: per channel (blue, green, red) the input bounds stretched
    // to 0..255.
    int lowerBound[3] = {kEffectLowerBound.def, kEffectLowerBound.def, kEffectLowerBound.def};
    int upperBound[3] = {kEffectUpperBound.def, kEffectUpperBound.def, kEffectUpperBound.def};
};

// The smallest and largest value of each channel (blue, green, red).
struct ChannelRanges {
    int minimum[3];
    int maximum[3];
};

// Runs the effect over the header's width x height pixels.
void ApplyEffect(const EffectParams& params, BYTE* pixels, const BITMAPINFOHEADER* header);

// The channels' ranges over width x height pixels (255 and 0 for none).
ChannelRanges MeasureChannelRanges(const BYTE* pixels, LONG width, LONG height);

// Luminance / saturation / hue adjustment, and the CMYK round trip.
#pragma once

#include "platform/platform.h"
#include "processing/param_range.h"

// What the adjustment does: the three sliders, or every pixel through CMYK
// and back (the sliders then take no part).
enum class ColourMode { Ysh, Cmyk };

// The sliders' positions: a factor position / 100 for luminance and
// saturation, a rotation of position - 180 degrees for the hue.
inline constexpr ParamRange kYshLuminance{0, 200, 100};
inline constexpr ParamRange kYshSaturation{0, 200, 100};
inline constexpr ParamRange kYshHue{0, 360, 180};

struct YshParams {
    int luminance = kYshLuminance.def;
    int saturation = kYshSaturation.def;
    int hue = kYshHue.def;
    ColourMode mode = ColourMode::Ysh;
};

// Runs YshAdjust or CmykConvertBack as params.mode says.
void ApplyColourAdjust(const YshParams& params, BYTE* pixels, LONG width, LONG height);
void YshAdjust(const YshParams& params, BYTE* pixels, LONG width, LONG height);
void YshPixel(BYTE* r, BYTE* g, BYTE* b, double luminanceFactor, double saturationFactor,
              double hueRotation);
void CmykConvertBack(BYTE* pixels, LONG width, LONG height);

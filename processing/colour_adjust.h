// Luminance / saturation / hue adjustment, and the CMYK round trip.
#pragma once

#include "platform/platform.h"

constexpr int kColourModeYsh = 10000;
constexpr int kColourModeCmyk = 10010;

struct YshSettingsRecord {
    int luminance;   // 0..200, 100 neutral: factor position / 100
    int saturation;  // 0..200, 100 neutral: factor position / 100
    int hue;         // 0..360, 180 neutral: rotation position - 180 degrees
};

extern YshSettingsRecord YshSettings;
extern int ColourAdjustMode;

// Resets the sliders and the mode, as every opening of the dialog does.
void ResetColourAdjust();

// Runs YshAdjust or CmykConvertBack by ColourAdjustMode.
void ApplyColourAdjust(BYTE* pixels, LONG width, LONG height);
void YshAdjust(BYTE* pixels, LONG width, LONG height);
void YshPixel(BYTE* r, BYTE* g, BYTE* b, double luminanceFactor, double saturationFactor,
              double hueRotation);
void CmykConvertBack(BYTE* pixels, LONG width, LONG height);

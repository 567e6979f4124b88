// Point effects: negative, posterize, solarize, binarize and a per-channel
// contrast stretch.  Each works on blue, green and red separately and
// leaves the 4th byte alone.
#pragma once

#include "platform/platform.h"

constexpr int kEffectNegative = 9201;
constexpr int kEffectPosterize = 9202;
constexpr int kEffectSolarize = 9203;
constexpr int kEffectContrast = 9204;
constexpr int kEffectBinarize = 9205;
constexpr int kLevel8 = 9210;
constexpr int kLevel128 = 9214;

struct EffectSettingsRecord {
    int effectKind;
    int levelId;
    int lowerBound[3];  // per channel: blue, green, red
    int upperBound[3];
};

struct ChannelRangeRecord {
    int minimum[3];
    int maximum[3];
};

extern EffectSettingsRecord EffectSettings;
extern ChannelRangeRecord ChannelRange;

// The band width N of a level button 9210..9214 (8..128); 0 for others.
int LevelStep(int levelId);

// Runs the effect over the header's width x height pixels.
void ApplyEffect(BYTE* pixels, const BITMAPINFOHEADER* header, int effectKind, int levelId);

// Sets ChannelRange to the smallest and largest value of each channel.
void MeasureChannelRanges(const BYTE* pixels, LONG width, LONG height);

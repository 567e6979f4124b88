// The program's remembered settings: what each processing dialog shows
// when it opens again and what its command applies after OK.  The engines
// take these as parameter structs; nothing in the core keeps them.
#pragma once

#include "processing/colour_adjust.h"
#include "processing/effects.h"

struct RememberedSettings {
    // The effect, its band width and the contrast bounds (which each
    // opening sets to the picture's measured ranges).
    EffectParams effect;
    // The ranges the effect dialog measured last.
    ChannelRanges channelRanges = {{255, 255, 255}, {0, 0, 0}};

    // The colour adjustment dialog starts from the neutral positions each
    // time it opens.
    YshParams ysh;
};

extern RememberedSettings Remembered;

// Sets every setting to what the program starts with.
void ResetRememberedSettings();

// The program's remembered settings: what each processing dialog shows
// when it opens again and what its command applies after OK.  The engines
// take these as parameter structs; nothing in the core keeps them.
#pragma once

#include "app/batch_arguments.h"
#include "processing/bump.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "processing/filters.h"
#include "text/text_mark_params.h"

#include <windows.h>

#include <string>

// The filter dialog keeps a strength for each kind of filter; the one of
// the kind chosen is applied.
struct FilterChoice {
    FilterKind kind = FilterKind::Sharpen;
    int sharpenStrength = kFilterStrength.def;
    int softStrength = kFilterStrength.def;
    int embossStrength = kFilterStrength.def;
    int customStrength = kFilterStrength.def;
    // In the engine's block order (FilterParams::kernel).
    int customKernel[3][3] = {{kKernelValue.def, kKernelValue.def, kKernelValue.def},
                              {kKernelValue.def, kKernelValue.def, kKernelValue.def},
                              {kKernelValue.def, kKernelValue.def, kKernelValue.def}};
};

// The strength the choice keeps for kind.
int& StrengthOf(FilterChoice& choice, FilterKind kind);
int StrengthOf(const FilterChoice& choice, FilterKind kind);
// The engine's parameters for the chosen filter.
FilterParams FilterParamsOf(const FilterChoice& choice);

// The text watermark dialog's settings.  The face is the font dialog's
// face name (UTF-8), found among the installed fonts when the dialog opens;
// empty: the first of Windows's Japanese fonts the system has.
struct TextMarkChoice {
    std::string text;  // UTF-8, as typed (placeholders unfilled)
    std::string face;
    bool bold = false;    // as the font dialog's style left them
    bool italic = false;
    int height = kTextHeightDefault;
    int soften = kTextSoftenDefault;
    int bevel = kTextBevelDefault;  // or a width in kBevelWidth's range
};

struct RememberedSettings {
    // The light, the relief's strengths and the watermark's placement.
    BumpParams bump;
    // Where the light was last clicked, in the bump dialog's client pixels
    // as a 96-dpi screen has them (the light circle's 96-dpi units): the
    // same light on every screen.
    POINT lightMarker = {75, 65};

    FilterChoice filter;
    // The effect, its band width and the contrast bounds (which each
    // opening sets to the picture's measured ranges).
    EffectParams effect;
    // The ranges the effect dialog measured last.
    ChannelRanges channelRanges = {{255, 255, 255}, {0, 0, 0}};

    // The colour adjustment dialog starts from the neutral positions each
    // time it opens.
    YshParams ysh;

    // The text watermark dialog: what it drew last.
    TextMarkChoice textMark;
    // The batch window's choices (its light and strengths are bump's).
    BatchSettings batch;
};

extern RememberedSettings Remembered;

// Sets every setting to what the program starts with.
void ResetRememberedSettings();

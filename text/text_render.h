// Text drawn as a height field: white anti-aliased letters on black, cut to
// the letters' bounding box plus a small padding.  fontconfig (on Windows
// the system's font list: text/font_lookup.h) finds the font, HarfBuzz
// shapes each line (kerning, ligatures, combining marks,
// right-to-left scripts), FreeType draws the outlines.
//
// The result depends only on the options and the font file: no hinting,
// no embedded bitmaps, no locale, whole-number arithmetic throughout, so
// the same text and font give the same bytes on every run.
#pragma once

#include "text/text_failure.h"
#include "text/text_mark_params.h"

#include <string>
#include <vector>

// The drawn text: width x height levels, top row first, 0 black .. 255
// white.
struct TextField {
    long width = 0;
    long height = 0;
    std::vector<unsigned char> levels;
};

// One glyph as laid out: positions in 1/64 pixel, x from the left of the
// widest line, y down from the first line's baseline.
struct TextGlyph {
    unsigned glyph;    // the font's glyph index
    unsigned cluster;  // index of its first code point in the text
    int line;
    long x;
    long y;
    long advance;      // the font's own advance of the glyph, without kerning
};

struct TextLayout {
    std::string fontName;   // the face's family and style, for messages
    std::string fontFile;
    int fontIndex = 0;
    std::vector<TextGlyph> glyphs;
    std::vector<long> lineWidths;  // 1/64 pixel, the pen's travel over each line
};

// The pixels around the letters on every side: one thirty-second of the
// line height, one more, and one per soften pass so that softening never
// reaches the edge.
int TextPadding(const TextMarkParams& params);

// Finds the font and shapes the text.  The failures: parameters out of
// range, no such font or file, a file that is no font, a character the
// font has no glyph for (named with the font), text that is not valid
// UTF-8.
TextOutcome LayoutText(const TextMarkParams& params, TextLayout* layout);

// Lays out and draws the text.  Besides LayoutText's failures: a text that
// draws nothing (blanks only), and a field larger than 2^26 pixels or a
// side longer than 2^20; *field is then empty.  params.soften is not
// applied here (the program's own filter does it on the picture; see
// text_mark.h), but it widens the padding.
TextOutcome RenderTextField(const TextMarkParams& params, TextField* field);

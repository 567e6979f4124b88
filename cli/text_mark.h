// The text mark as a picture: what text-mark writes and what bump --text
// stamps.
#pragma once

#include "cli/options.h"
#include "cli/text_render.h"
#include "image/image_document.h"

// Makes doc (its block released first) the WorkDib of the field, grey
// (blue = green = red = level), softened by soften passes of the soft 3x3
// filter, with HeightBytes computed as after reading a picture: exactly
// the record reading a 24-bit BMP of the softened mark gives.  The filter
// settings and the processing mode are restored afterwards.  Returns 0, or
// -1 when there is no memory (reported on standard error).
int BuildTextMarkDocument(const TextField& field, int soften, ImageDocument* doc);

// The text-mark command: draws options.text and writes it to options.output
// as a PNG (8-bit RGB) or a 24-bit BMP, white letters on black.  Returns
// the exit status: 0 written, 1 the file could not be written, 2 a problem
// with the text, the font or the output name (reported; nothing is
// written).
int RunTextMark(const CliOptions& options);

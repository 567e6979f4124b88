// The text mark as a picture: what text-mark writes and what bump --text
// stamps.
#pragma once

#include "image/image_document.h"
#include "text/text_mark_params.h"
#include "text/text_render.h"

// Why the field could not be made a picture: no memory for the picture,
// or none to soften it.
enum class TextMarkFailure : unsigned char { None, OutOfMemory, SoftenOutOfMemory };

// Makes doc (its block released first) the WorkDib of the field, grey
// (blue = green = red = level), softened by soften passes of the soft 3x3
// filter, with HeightBytes computed as after reading a picture: exactly
// the record reading a 24-bit BMP of the softened mark gives.  The filter
// settings and the processing mode are restored afterwards.  On a failure
// doc is left released.
TextMarkFailure BuildTextMarkDocument(const TextField& field, int soften, ImageDocument* doc);

// The bevel a text mark of params gets: params.bevel, or for
// kTextBevelDefault DefaultTextBevel(params.textHeight).
int TextMarkBevel(const TextMarkParams& params);

// The text mark as quillvane-cli text-mark writes it and bump --text
// stamps it, and as the program's text watermark dialog must make it from
// the same settings: the field's grey levels bevelled by
// TextMarkBevel(params) pixels (processing/bevel.h), then softened by
// params.soften passes, with HeightBytes from the grey.  The bevel comes
// first so that softening rounds its ridge.  Fails as
// BuildTextMarkDocument (OutOfMemory also when the bevel has no memory).
TextMarkFailure BuildTextMark(const TextField& field, const TextMarkParams& params, ImageDocument* doc);

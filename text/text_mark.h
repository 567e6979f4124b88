// The text mark as a picture: what text-mark writes and what bump --text
// stamps.
#pragma once

#include "image/image_document.h"
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

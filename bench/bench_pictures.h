// The benchmarks' generated pictures: the same pixels on every machine and
// every run, made in memory (no large file in the repository).
#pragma once

#include "image/image_document.h"

// Makes doc hold a width x height WorkDib, as a reader leaves it: its own
// block, bmi on the block's header, luminance not yet computed.  Returns
// 0, or -1 when there is no memory for it.
int AllocateDocument(ImageDocument* doc, LONG width, LONG height);

// A photograph-like picture: soft colour fields, gentle gradients along
// both axes and a fine grain, different in each channel.  0 or -1 (memory).
int GeneratePhoto(ImageDocument* doc, LONG width, LONG height);

// A grey relief of side x side pixels: rounded plateaus with soft slopes
// between them.  0 or -1 (memory).
int GenerateWatermark(ImageDocument* doc, LONG side);

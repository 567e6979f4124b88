// The bilinear resampler that makes a WorkDib of any size from another.
#pragma once

#include "platform/platform.h"

#include <cstddef>

// Resamples the locked WorkDib at source (header, then pixels) to the
// target rectangle's width x height into a new block of w*h*4 + 44 bytes,
// stores its handle in *out, copies its first 44 bytes (header and a zero
// colour slot) into outHeader and leaves the block unlocked.  Returns 0, or
// -1 with *out null when the block cannot be allocated.
int ScaleDib(HGLOBAL* out, const BYTE* source, const RECT* target, BITMAPINFO* outHeader);

// The resampling loop itself: fills a w x h bottom-up pixel array from a
// sw x sh one (both 4 bytes per pixel).
void ScalePixels(BYTE* target, LONG w, LONG h, const BYTE* source, LONG sw, LONG sh);

// The same resampling of the 4th byte (the heights) alone, into w x h
// pixels whose rows lie targetStride bytes apart (bottom row first): the
// other three bytes of each target pixel are left as they are.
void ScaleHeights(BYTE* target, std::size_t targetStride, LONG w, LONG h, const BYTE* source, LONG sw, LONG sh);

// The 3x3 neighbourhood engine shared by the filters and the bump's relief
// shading.  Every pixel is processed once per pass, every operator call
// sees start-of-pass values, and the frame outside the picture repeats the
// nearest edge pixel.
#pragma once

#include "image/failure.h"
#include "platform/platform.h"

struct FilterParams;
struct BumpParams;

// Nine pixels in memory order: the row before (below on screen), the
// current row, the row after (above on screen); left to right in each.
// The centre is pixel 4.  Each pixel is blue, green, red, 4th byte.
struct PixelBlock3x3 {
    BYTE px[9][4];
};
static_assert(sizeof(PixelBlock3x3) == 36);

// Runs the engine in place on the WorkDib held in block, in bands of rows
// on every core; the rows and columns beyond the edges repeat the edge
// pixels.  With filter parameters it filters (soft: strength passes, each
// seeing the one before; a kind without an operator changes nothing); with
// the bump's it shades the relief the HeightBytes give.  Returns
// Failure::None, or Failure::OutOfMemory when a working buffer cannot be
// allocated (the picture is then unchanged).
Failure ApplyNeighbourhoodFilter(const FilterParams& params, HGLOBAL block);
Failure ApplyNeighbourhoodFilter(const BumpParams& light, HGLOBAL block);

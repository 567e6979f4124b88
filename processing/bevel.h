// A bevelled relief for a flat mark: text and most logos are one height
// inside and another outside, so their relief is only a thin outline.  The
// bevel raises each shape from its edge: the height grows with the
// Euclidean distance to the nearest pixel outside the shape, along a
// rounded profile, and is full beyond the bevel's width.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"
#include "processing/param_range.h"

#include <cstdint>

// The bevel's width in the mark's own pixels; 0 leaves the mark as it is.
inline constexpr ParamRange kBevelWidth{0, 500, 0};

struct BevelParams {
    int width = kBevelWidth.def;
};

// The shape is the pixels whose HeightByte is at least this: half of 255,
// rounded up.  An antialiased edge counts by this one threshold; its
// partial coverage is not used, so the result is whole numbers throughout.
inline constexpr unsigned kBevelInside = 128;

// The height at squared distance d2 (a whole number of squared pixels)
// from the nearest outside pixel under a bevel of width w > 0:
// round(255 * sqrt(1 - (1 - t)^2)) with t = min(sqrt(d2), w) / w, the
// quarter circle rising from 0 at the edge to 255 at the width.  Found in
// whole numbers (no floating point), so the same on every processor.
std::uint8_t BevelHeight(std::int64_t d2, int w);

// Bevels the mark in place at its own size: the shape is the pixels whose
// HeightByte is at least kBevelInside; every pixel becomes grey, blue =
// green = red = HeightByte = BevelHeight(d^2, width), d its distance to the
// nearest pixel outside the shape (pixel centres; pixels beyond the mark's
// edges do not count as outside, so a mark with no outside pixel is 255
// everywhere).  The distance comes from the lower envelope of parabolas,
// down the columns then along the rows, in whole numbers: linear in the
// pixels.  A width of 0, or a mark without pixels, changes nothing; a
// width beyond kBevelWidth.max is taken as that.  Returns Failure::None, or Failure::OutOfMemory
// (the mark is then unchanged).
Failure ApplyBevel(const BevelParams& params, ImageDocument* mark);

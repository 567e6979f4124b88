// Resizing a picture to any size, the rules that give the new size, and
// cutting a rectangle out of a picture.
//
// The filters, per direction (each axis on its own, so a picture may shrink
// across and grow down):
//   - shrinking (or keeping the length): area averaging.  Each new pixel is
//     the mean of the source area it covers, source pixels cut by its edges
//     counted by the part inside.  Nothing is lost to aliasing and nothing
//     rings.
//   - growing: bilinear interpolation between pixel centres (the new
//     pixel k of n samples the source at (k + 1/2) m / n - 1/2 of m,
//     clamped to the outer centres).
// The weights are whole numbers (coverage in 1/n of a source pixel, or the
// distance in 1/2n), so every sum is exact and each byte is the weighted
// mean rounded half up: the same bytes on every processor and in every
// split of the work.
//
// Transparency: with an alpha plane that has a byte below 255, blue, green
// and red are averaged weighted by alpha (premultiplied, then divided by
// the new alpha), so the colour of invisible pixels does not bleed into
// visible ones; where every source pixel under a new pixel is fully
// transparent, the colour is the plain mean, which keeps the colour stored
// under transparent areas.  The alpha itself and the 4th byte (height) are
// plain means.
#pragma once

#include "image/failure.h"
#include "image/picture_block.h"
#include "image/picture_size.h"
#include "image/region_swap.h"
#include "platform/platform.h"
#include "processing/param_range.h"

#include <cstdint>
#include <span>
#include <vector>

// ---- The new size ---------------------------------------------------------

// How the new size is asked for.
enum class ResizeRule : unsigned char {
    LongEdge,  // the longer side becomes longEdge pixels
    Percent,   // both sides times percent
    Fit,       // the largest size inside boxWidth x boxHeight, the aspect kept
};

// Per cent in millionths of the whole (50 % = 500000), so that a per cent
// written with up to four decimals is exact: 0.0001 % .. 10000 %, 100 %.
inline constexpr std::int64_t kResizeWhole = 1000000;
inline constexpr ParamRange kResizeMillionths{1, 100000000, 1000000};
// Pixels of a long edge or of a box side: 1 .. the largest picture side.
inline constexpr ParamRange kResizeSide{1, static_cast<int>(kMaxPictureSide), 2048};

struct ResizeRequest {
    ResizeRule rule = ResizeRule::Percent;
    std::int64_t millionths = kResizeMillionths.def;  // Percent
    std::int64_t longEdge = kResizeSide.def;          // LongEdge
    std::int64_t boxWidth = kResizeSide.def;          // Fit
    std::int64_t boxHeight = kResizeSide.def;         // Fit
};

// The new size of a width x height picture (both at least 1): each side
// that is scaled is rounded half up and made at least 1 (the long edge, and
// the box side that limits, are taken as given).  Failure::None, or
// Failure::TooLarge when the new size is beyond the largest picture
// (PictureSizeAllowed), or Failure::BadSize for a request outside the
// ranges above.
Failure ResizedSize(const ResizeRequest& request, LONG width, LONG height, LONG* newWidth, LONG* newHeight);

// ---- The engines -------------------------------------------------------------

// The new size, each side 1 .. kMaxPictureSide and the whole within
// PictureSizeAllowed.
struct ResizeParams {
    LONG width = 1;
    LONG height = 1;
};

// Resizes width x height bottom-up pixels (4 bytes each) and their alpha
// plane (empty, or one byte per pixel in the same order) to params' size,
// with the filters above, the rows spread over the cores.  Fails with
// BadSize (a size outside the range, or an alpha plane of the wrong
// length), TooLarge, or OutOfMemory; the source is never changed.
PictureBlock ResizePicture(const ResizeParams& params, const BYTE* pixels, LONG width, LONG height,
                           std::span<const std::uint8_t> alpha);

// Copies the rectangle rect (screen coordinates, row 0 at the top, both
// ends inclusive) of width x height bottom-up pixels, and of their alpha
// plane when there is one, into a new picture.  Fails with BadSize when
// the rectangle is not wholly inside the picture (left <= right and top <=
// bottom) or the alpha plane has the wrong length, or with OutOfMemory.
PictureBlock CropPicture(const PictureRect& rect, const BYTE* pixels, LONG width, LONG height,
                         std::span<const std::uint8_t> alpha);

// True when rect (inclusive ends) lies wholly inside a width x height
// picture: what CropPicture accepts.
bool CropFits(const PictureRect& rect, LONG width, LONG height);

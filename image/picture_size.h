// The largest picture any reader accepts.  Free of the platform header so
// that the libjpeg code, which cannot include it, checks the same limit.
#pragma once

#include <cstdint>

// 2^28 pixels (a 1 GiB WorkDib) and no side longer than 2^20 pixels.
// Larger claims in a file are hostile or absurd; the block size of anything
// within the limit fits in 32 bits minus the header, so size arithmetic on
// 32-bit builds cannot overflow.
constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;
constexpr std::int64_t kMaxPictureSide = std::int64_t{1} << 20;

// True when width x height is a picture the program can hold.
bool PictureSizeAllowed(std::int64_t width, std::int64_t height);

#ifdef QUILLVANE_FUZZ_MAX_PIXELS
// Fuzz builds only: a header that claims a big picture over a few bytes of
// data would spend each run on zero-filling and converting pixels the input
// never held.  There the readers also refuse pictures of more than
// QUILLVANE_FUZZ_MAX_PIXELS pixels (a build option) and of more than
// `pixels`, which the fuzz target sets from each input's length.
void SetFuzzPictureBudget(std::int64_t pixels);
#endif

// Quick JPEG files for the limit and hostile-file tests, made with libjpeg
// row by row so that very large pictures cost little memory.  Kept apart
// from the platform header, like every libjpeg user in the tests.
#pragma once

#include <string>

namespace qvtest {

// A picture of one colour (top half red-ish, bottom half blue-ish, so that
// orientation shows) at the given quality.  sample444: every component at
// full resolution (otherwise the library's 2x2 chroma subsampling).
bool WriteFlatJpeg(const std::string& path, int width, int height, int quality, bool progressive,
                   bool sample444 = false);

// A small progressive colour picture whose scan script codes every AC
// coefficient of each component in its own scan, refined over levels bits:
// 2 + 3 x 63 x levels scans.
bool WriteManyScanJpeg(const std::string& path, int width, int height, int levels);

}  // namespace qvtest

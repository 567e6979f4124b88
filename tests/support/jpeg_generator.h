// JPEG files for the tests and the fuzz seeds, made with libjpeg row by row
// so that very large pictures cost little memory.  Kept apart from the
// platform header, like every libjpeg user in the tests.
#pragma once

#include <string>

namespace qvtest {

// How the file stores its picture.
enum class JpegStored { kYCbCr, kRgb, kGrey, kCmyk, kYcck, kTwoComponents };

// Everything a file may vary in.  The picture is a gradient, or with flat
// set two colours (top half red-ish, bottom half blue-ish, so that
// orientation shows).
struct JpegRecipe {
    int width = 16;
    int height = 16;
    JpegStored stored = JpegStored::kYCbCr;
    bool adobe = false;         // the Adobe marker (with 4 components: inverted CMYK)
    int quality = 75;
    bool progressive = false;   // the library's own progression
    int manyScanLevels = 0;     // > 0: one scan per coefficient of each component, refined over this many bits
    bool arithmetic = false;
    int restartRows = 0;        // a restart marker every so many MCU rows
    int restartBlocks = 0;      // or every so many MCUs
    int sampling[4][2] = {};    // horizontal and vertical factor of each component; 0: the library's
    bool flat = false;
};

bool WriteJpeg(const std::string& path, const JpegRecipe& recipe);

// A picture of one colour per half (see JpegRecipe::flat) at the given
// quality.  sample444: every component at full resolution (otherwise the
// library's 2x2 chroma subsampling).
bool WriteFlatJpeg(const std::string& path, int width, int height, int quality, bool progressive,
                   bool sample444 = false);

// A small progressive colour picture whose scan script codes every AC
// coefficient of each component in its own scan, refined over levels bits:
// 2 + 3 x 63 x levels scans.
bool WriteManyScanJpeg(const std::string& path, int width, int height, int levels);

}  // namespace qvtest

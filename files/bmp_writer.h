// Writing the picture as a 16-, 24- or 32-bit BMP file.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"

// The depths a BMP file is written at, and the one a new setting starts at.
inline constexpr int kBmpDepths[] = {16, 24, 32};
constexpr int kBmpDepthDefault = 24;

struct BmpWriteSettings {
    int depth = kBmpDepthDefault;  // one of kBmpDepths; any other value writes 24 bits
};

// Writes doc's picture to doc->path at settings.depth bits.  The file is
// written beside the target under a temporary name and put in place only
// once complete, so a failure leaves any existing file untouched.  On
// success doc->fileHeader is the written file's header, and after a 32-bit
// save every HeightByte of the picture is 0.  Fails with NothingLoaded,
// OutOfMemory or CreateFailed.
Outcome WriteBmpFile(ImageDocument* doc, const BmpWriteSettings& settings);

// Writing the picture as a 16-, 24- or 32-bit BMP file (BmpSaveDepth).
#pragma once

#include "image/image_document.h"

// Writes doc's picture to doc->path at BmpSaveDepth bits.  The file is
// written beside the target under a temporary name and put in place only
// once complete, so a failure leaves any existing file untouched.  On
// success doc->fileHeader is the written file's header, and after a 32-bit
// save every HeightByte of the picture is 0.  Failures are reported
// (caption "Error"); returns 0 or -1.
int WriteBmpFile(HWND window, ImageDocument* doc);

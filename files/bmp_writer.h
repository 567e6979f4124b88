// Writing the picture as a 16-, 24- or 32-bit BMP file (BmpSaveDepth).
#pragma once

#include "image/image_document.h"

// Packs the whole file after the 14-byte file header into a new block of
// the size the depth needs, stores its handle in *out and sets bfSize in
// doc->fileHeader.  Returns 0, or -1 with *out null when there is no memory.
int PackBmp16(HGLOBAL* out, ImageDocument* doc);
int PackBmp24(HGLOBAL* out, ImageDocument* doc);
int PackBmp32(HGLOBAL* out, ImageDocument* doc);
int PackBmpPixels(HGLOBAL* out, ImageDocument* doc);

// Writes doc's picture to doc->path at BmpSaveDepth bits.  The file is
// written beside the target under a temporary name and put in place only
// once complete, so a failure leaves any existing file untouched.  After a
// successful 32-bit save every HeightByte of the picture is 0.  Failures are
// reported (caption "Error"); returns 0 or -1.
int WriteBmpFile(HWND window, ImageDocument* doc);

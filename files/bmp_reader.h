// Reading BMP files of 16, 24 and 32 bits per pixel into a WorkDib.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"

// Reads the file named by doc->path.  The whole file is validated and
// decoded into a new block first; only on success does the document give up
// its old block and take the new picture (AdoptWorkDib, and fileHeader).
// A failure leaves the document exactly as it was and says why: OpenFailed,
// NotBitmap, HeaderUnsupported, DepthUnsupported, CompressionUnsupported,
// BadSize, TooLarge, BitmapDamaged or OutOfMemory.  An old block that could
// not be given back is a warning of the successful read.
Outcome ReadBmpFile(ImageDocument* doc);

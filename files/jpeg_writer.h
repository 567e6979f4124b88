// Writing the picture as a JPEG file (JpegQualityStep + 60, JpegProgressive).
#pragma once

#include "image/image_document.h"

// Writes doc's picture to doc->path, under a temporary name beside it that
// replaces the target only when the stream is complete.  Library errors and
// failed writes are reported (caption "Error") and leave any existing file
// untouched.  Returns 0 or -1.
int WriteJpegFile(HWND window, ImageDocument* doc);

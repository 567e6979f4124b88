// Reading JPEG files into a WorkDib.
#pragma once

#include "image/image_document.h"

// Decodes the file named by doc->path into a new block; grayscale and
// CMYK/YCCK files become colour pictures.  Only on success does the
// document give up its old block (bmi then points at the new block's own
// header).  Failures are reported in a message box (caption "Error") and
// leave the document exactly as it was.  Returns 0 or -1.
int ReadJpegFile(HWND window, ImageDocument* doc);

// Reading BMP files of 16, 24 and 32 bits per pixel into a WorkDib.
#pragma once

#include "image/image_document.h"

// Reads the file named by doc->path.  The whole file is validated and
// decoded into a new block first; only on success does the document give up
// its old block and take the new picture (fileHeader, bmi, size, isLoaded).
// Every failure is reported in a message box (caption "Error") and leaves
// the document exactly as it was.  Returns 0 or -1.
int ReadBmpFile(HWND window, ImageDocument* doc);

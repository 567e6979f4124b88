// Reading JPEG files into a WorkDib.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"

// Decodes the file named by doc->path into a new block; grayscale and
// CMYK/YCCK files become colour pictures.  Only on success does the
// document give up its old block (AdoptWorkDib: bmi then points at the new
// block's own header).  A failure leaves the document exactly as it was
// and says why: OpenFailed, OutOfMemory, or JpegUnreadable with its cause.
// An old block that could not be given back is a warning of the
// successful read.
Outcome ReadJpegFile(ImageDocument* doc);

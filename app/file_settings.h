// The file settings the program remembers while it runs: edited by the
// open and save commands and their dialogs, handed to the writers.  They
// start from the writers' defaults at every program start.
#pragma once

#include "files/bmp_writer.h"
#include "files/jpeg_writer.h"

extern int FileTypeIndex;    // 1 = BMP, 2 = JPEG: the type of the last file opened
extern int BmpSaveDepth;     // 16, 24 or 32
extern int JpegQualityStep;  // 0..kJpegQualityStepMax; the JPEG quality is kJpegQualityMin + step
extern int JpegProgressive;  // 0 or 1

// The quality bar's steps, one for each quality the writer takes.
constexpr int kJpegQualityStepMax = kJpegQualityMax - kJpegQualityMin;

// What the writers get from the settings.
BmpWriteSettings RememberedBmpSettings();
JpegWriteSettings RememberedJpegSettings();

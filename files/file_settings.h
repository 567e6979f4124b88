// Program-wide file settings, edited by the save command's dialogs and read
// by the writers.  They start from their defaults at every program start.
#pragma once

extern int FileTypeIndex;    // 1 = BMP, 2 = JPEG: the type of the last file opened
extern int BmpSaveDepth;     // 16, 24 or 32
extern int JpegQualityStep;  // 0..40; the JPEG quality is step + 60
extern int JpegProgressive;  // 0 or 1

constexpr int kJpegQualityBase = 60;
constexpr int kJpegQualityStepMax = 40;

// The file settings the program remembers while it runs: edited by the
// open and save commands and their dialogs, handed to the writers.  They
// start from the writers' defaults at every program start.
#pragma once

#include "files/bmp_writer.h"
#include "files/jpeg_writer.h"
#include "files/metadata_copy.h"
#include "files/picture_io.h"
#include "files/png_file.h"

#include <windows.h>

extern int FileTypeIndex;    // kTypeBmp..kTypeWebp (1 BMP, 2 JPEG, 3 PNG, 4 WebP): the type of the last file opened
extern int BmpSaveDepth;     // 16, 24 or 32
extern int JpegQualityStep;  // 0..kJpegQualityStepMax; the JPEG quality is kJpegQualityMin + step
extern int JpegProgressive;  // 0 or 1

// The quality bar's steps, one for each quality the writer takes.
constexpr int kJpegQualityStepMax = kJpegQualityMax - kJpegQualityMin;

// What the writers get from the settings.
BmpWriteSettings RememberedBmpSettings();
JpegWriteSettings RememberedJpegSettings();

// --- PNG and WebP files, metadata and transparency -----------------------------

// The entries of the file dialogs' lists (1-based, as the dialogs count)
// for each file type.  The open dialog's list starts with every picture
// type at once.
struct FileTypeEntry {
    int type;
    int openEntry;
    int saveEntry;
};
inline constexpr int kOpenAllPicturesEntry = 1;
inline constexpr FileTypeEntry kFileTypeEntries[] = {
    {kTypeBmp, 2, 1},
    {kTypeJpeg, 3, 2},
    {kTypePng, 4, 3},
    {kTypeWebp, 5, 4},
};

// The entry of type (BMP's for any other value) in each list, and the type
// of an entry: 0 for the open dialog's every-picture entry and for entries
// outside the lists.
int OpenEntryOfType(int type);
int SaveEntryOfType(int type);
int TypeOfOpenEntry(int entry);
int TypeOfSaveEntry(int entry);

// The WebP quality bar has the JPEG one's steps: lossy WebP files are
// written at the same qualities (the command-line tool's too).
constexpr int kWebpQualityStepMax = kJpegQualityStepMax;
constexpr int kWebpQualityDefault = kJpegQualityDefault;

extern int PngCompression;         // kPngCompressionMin..kPngCompressionMax
extern int WebpQualityStep;        // 0..kWebpQualityStepMax; the quality is kJpegQualityMin + step
extern int WebpLossless;           // 0 or 1
extern MetadataKeep SaveMetadata;  // what JPEG, PNG and WebP files keep of the opened file's metadata
// The colour a picture with transparency is put over for a BMP or JPEG
// file, and the custom colours of its colour dialog.
extern COLORREF TransparencyBackground;
extern COLORREF BackgroundCustomColours[16];

constexpr COLORREF kTransparencyBackgroundDefault = RGB(255, 255, 255);

PngWriteSettings RememberedPngSettings();
int RememberedWebpQuality();

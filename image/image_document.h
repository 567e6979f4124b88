// The in-memory form of every picture.
//
// A picture is one ImageDocument that owns one WorkDib: a movable,
// zero-filled memory block holding a 40-byte BITMAPINFOHEADER (32 bits per
// pixel, BI_RGB, positive height) followed by width x height pixels of four
// bytes (blue, green, red, HeightByte), rows bottom-up with no gaps.
#pragma once

#include "image/picture_size.h"
#include "platform/file_names.h"
#include "platform/platform.h"

#include <cstdint>

struct Outcome;

struct ImageDocument {
    HGLOBAL hDib;                 // the WorkDib block; 0 while no picture
    BITMAPFILEHEADER fileHeader;  // working copy of a BMP file header
    BITMAPINFO* bmi;              // header used to paint, print and save
    LONG width;
    LONG height;
    // The file's name as UTF-8, at most kMaxPathUnits UTF-16 units: the
    // program converts the wide names of its dialogs, command line and drops
    // into it, and refuses a longer name rather than cut it.
    char path[kMaxPathBytes];
    LONG isLoaded;
    LONG isModified;
    BYTE* dib;                    // locked address of hDib
    LONG bitsOffset;              // offset of the pixels from dib: 40
};

// A WorkDib's header size: the pixels start this far into the block.
constexpr int kWorkDibHeaderBytes = 40;
constexpr int kBytesPerPixel = 4;

// Bytes of a WorkDib block for width x height pixels (header included).
constexpr std::size_t WorkDibBytes(LONG width, LONG height)
{
    return static_cast<std::size_t>(kWorkDibHeaderBytes) +
           static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kBytesPerPixel;
}

// Bytes of a WorkDib block with 4 spare bytes at its end: its first 44
// bytes then always hold a whole BITMAPINFO (the header and one colour
// slot) to hand to StretchDIBits, however small the picture.  Nothing reads
// the spare bytes as pixels.
constexpr std::size_t kWorkDibSpareBytes = sizeof(BITMAPINFO) - sizeof(BITMAPINFOHEADER);
constexpr std::size_t WorkDibBlockBytes(LONG width, LONG height)
{
    return WorkDibBytes(width, height) + kWorkDibSpareBytes;
}

// The pixel array of a locked WorkDib.
inline BYTE* WorkDibPixels(BYTE* dib)
{
    return dib + kWorkDibHeaderBytes;
}
inline const BYTE* WorkDibPixels(const BYTE* dib)
{
    return dib + kWorkDibHeaderBytes;
}

// Writes the WorkDib header of a width x height picture at dib: biSize 40,
// biPlanes 1, biBitCount 32, BI_RGB, everything else 0.
void WriteWorkDibHeader(BYTE* dib, LONG width, LONG height);

extern ImageDocument MainDocument;
extern ImageDocument WatermarkDocument;
extern ImageDocument DisplayCopy;
extern BITMAPINFO displayBmi;  // what DisplayCopy.bmi always points to

// Sets a record to its start state: all zero.
void ResetDocument(ImageDocument* doc);

// Frees the block the record owns (if any) and clears hDib, dib and bmi.
// Used when the program or a batch run is done with a picture.
void ReleaseDocument(ImageDocument* doc);

// Makes block, an unlocked WorkDib block of width x height pixels whose
// header is written, doc's picture: the old block is given back (a failed
// free is added to warnings, when given, as Warning::FreeFailed) and
// hDib, dib (the block locked), bmi (its own header), width, height,
// bitsOffset and isLoaded describe the new one.  fileHeader, path and
// isModified stay as they are.
void AdoptWorkDib(ImageDocument* doc, HGLOBAL block, LONG width, LONG height, Outcome* warnings);

// Fills every pixel's HeightByte with (59 G + 30 R + 11 B) / 100.
void ComputeLuminance(ImageDocument* doc);

// Makes display a private copy of doc (after every open).  Returns 0, or -1
// when the copy's block cannot be allocated: display then holds no picture.
int BuildDisplayCopy(ImageDocument* display, const ImageDocument* doc);

// Copies doc's pixels over the display copy (after every committed command).
void RefreshDisplayCopy(ImageDocument* display, const ImageDocument* doc);

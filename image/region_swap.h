// Confining a command to a rectangle of the picture: RegionSwapExtract
// makes the document describe only that rectangle, RegionSwapCommit pastes
// the processed rectangle back, RegionSwapCancel restores the picture.
#pragma once

#include "image/image_document.h"

// A rectangle of picture pixels counted from the picture's top-left
// corner, every side inclusive (left <= right, top <= bottom).  It may reach
// beyond the picture: the extract clips it.
struct PictureRect {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

// What an extract keeps until the commit or the cancel.
struct RegionSwap {
    bool regionOut = false;  // a region is cut out (else the document stayed whole)
    PictureRect clipped = {};
    ImageDocument savedDocument = {};
    BITMAPINFOHEADER savedBmi = {};
    ImageDocument regionDocument = {};
};

// What an extract did.
enum class RegionCut {
    Ready,        // the region is out, or there is none: the whole picture
    Empty,        // the region holds none of the picture (outside it, no columns or rows, or no picture)
    OutOfMemory,  // no memory for the region
};

// Without a region (null) the document stays whole.  Otherwise the region
// clipped to the picture is cut out; when it is Empty or there is no
// memory for it, everything stays as it was.
RegionCut RegionSwapExtract(RegionSwap* swap, ImageDocument* doc, const PictureRect* region);

// Pastes the region back and frees it.
void RegionSwapCommit(RegionSwap* swap, ImageDocument* doc);

// Restores the picture as it was before the extract.
void RegionSwapCancel(RegionSwap* swap, ImageDocument* doc);

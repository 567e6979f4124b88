// Confining a command to a rectangle of the picture: RegionSwapExtract
// makes the document describe only that rectangle, RegionSwapCommit pastes
// the processed rectangle back, RegionSwapCancel restores the picture.
#pragma once

#include "image/failure.h"
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

// Without a region (null) the document stays whole: Failure::None.
// Otherwise the region clipped to the picture is cut out: Failure::None;
// Failure::RegionEmpty when it holds none of the picture (outside it, no
// columns or rows, or no picture at all) and Failure::OutOfMemory without
// memory for it, both leaving everything as it was.
Failure RegionSwapExtract(RegionSwap* swap, ImageDocument* doc, const PictureRect* region);

// Pastes the region back and frees it.
void RegionSwapCommit(RegionSwap* swap, ImageDocument* doc);

// Restores the picture as it was before the extract.
void RegionSwapCancel(RegionSwap* swap, ImageDocument* doc);

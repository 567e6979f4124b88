// Confining a command to the selection: RegionSwapExtract makes the
// document describe only the selected rectangle, RegionSwapCommit pastes
// the processed rectangle back, RegionSwapCancel restores the picture.
#pragma once

#include "image/image_document.h"

// The rubber-band rectangle in client coordinates; active = 1 confines
// processing to it.  Coordinates are normalised (left <= right, top <= bottom).
struct SelectionRect {
    LONG dragging;
    LONG active;
    LONG mouseX;
    LONG mouseY;
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct RegionSwapStateRecord {
    ImageDocument savedDocument;
    BITMAPINFOHEADER savedBmi;
    ImageDocument regionDocument;
};

extern RegionSwapStateRecord RegionSwapState;

// 0: go on (the region is in place, or there is no selection); -1: abandon
// the command, nothing was changed (selection outside the picture, a region
// with no columns or rows, or no memory for the region, which alone is
// reported to owner: "メモリーが足りません。").
int RegionSwapExtract(HWND owner, ImageDocument* doc, const SelectionRect* sel, LONG scrolledX,
                      LONG scrolledY, LONG imageOffsetX, LONG imageOffsetY);

// Pastes the region back and frees it; returns 0.
int RegionSwapCommit(ImageDocument* doc, const SelectionRect* sel, LONG scrolledX, LONG scrolledY,
                     LONG imageOffsetX, LONG imageOffsetY);

// Restores the picture as it was before the extract; returns 0.
int RegionSwapCancel(ImageDocument* doc, const SelectionRect* sel);

// The 3x3 neighbourhood engine shared by the filters (mode 1) and the bump
// lighting (mode 2).  Every pixel is processed once per pass, every
// operator call sees start-of-pass values, and the frame outside the
// picture repeats the nearest edge pixel.
#pragma once

#include "platform/platform.h"

// 1 = filter operators, 2 = relief shading.  Set by the dialog that opens.
extern int ProcessingMode;

// Nine pixels in memory order: the row before (below on screen), the
// current row, the row after (above on screen); left to right in each.
// The centre is pixel 4.  Each pixel is blue, green, red, 4th byte.
struct PixelBlock3x3 {
    BYTE px[9][4];
};
static_assert(sizeof(PixelBlock3x3) == 36);

// Runs the engine in place on the WorkDib held in block, in bands of rows
// on every core, with the current filter kind; the rows and columns beyond
// the edges repeat the edge pixels.  Returns 0, or -1 when a working
// buffer cannot be allocated (the picture is then unchanged).
int ApplyNeighbourhoodFilter(HWND window, HGLOBAL block);


// Where things go: a rectangle fitted into a box, the bump's watermark over
// a picture (at full size and in a dialog's preview), a watermark sized and
// laid by gravity and margins, and a picture on a printed page.
#pragma once

#include "platform/platform.h"

// ---- Fitting ----------------------------------------------------------------

// Fits the source's extents into box keeping its aspect ratio (1/1024 fixed
// point, never larger than the box) and centres the result in the box.
void FitRect(const RECT* box, const RECT* source, RECT* result);

// ---- The bump's watermark -----------------------------------------------------

// How the watermark is laid over the picture.  Where it fits, it may stay
// at its own size at an offset, or repeat as tiles; otherwise it is
// stretched over the picture, keeping its aspect ratio (at an offset) or
// not.
struct WatermarkLayout {
    bool keepAspect = false;
    bool dontEnlarge = false;
    bool repeatTile = false;
    int offsetX = 0;  // from the picture's top-left corner
    int offsetY = 0;
};

enum class BumpCase { NoEnlarge, Tile, Stretch };

struct BumpPlacement {
    BumpCase placementCase;
    LONG regionLeft;    // from the picture's top-left corner
    LONG regionTop;
    LONG regionWidth;
    LONG regionHeight;
    LONG tileWidth;     // the tile in case Tile; else the region's size
    LONG tileHeight;
    // The room the region leaves for the offsets (0..max); 0 where it
    // cannot move that way.
    LONG offsetMaxX;
    LONG offsetMaxY;
};

// Placement at full size of a ww x wh watermark on a wi x hi picture.
BumpPlacement PlaceWatermark(const WatermarkLayout& layout, LONG wi, LONG hi, LONG ww, LONG wh);

// The same placement converted to a pw x ph preview of the picture (the
// preview's own arithmetic: products truncated by integer division, tiles
// at least one preview pixel).  Stretched with its aspect kept, the room
// is the full-size one wherever the preview leaves some.
BumpPlacement PlaceWatermarkInPreview(const WatermarkLayout& layout, LONG wi, LONG hi, LONG ww, LONG wh, LONG pw,
                                      LONG ph);

// ---- A watermark sized and laid by gravity and margins ------------------------

// A length in pixels or in per cent of a side.
struct PlacementLength {
    double value = 0.0;
    bool percent = false;
};

// round(v) = floor(v + 0.5) in doubles.
LONG RoundHalfUp(double v);

// The length on a side of side pixels: per cent rounded half up, or the
// pixels themselves.
LONG LengthInPixels(const PlacementLength& length, LONG side);

struct SizeAndGravity {
    bool resize = false;       // to width (its height in proportion); else own size
    PlacementLength width;
    // Each direction: -1 from the start (west, north), 0 centred, 1 from
    // the end; the margin counts from the side the watermark keeps to.
    int gravityX = 0;
    int gravityY = 0;
    PlacementLength margin[2];
};

struct SizedPlacement {
    LONG width;    // the resized watermark
    LONG height;
    LONG x;        // its top-left corner in the area, from the top-left
    LONG y;
    LONG marginX;  // the margins in pixels (0 when centred that way)
    LONG marginY;
    bool fits;     // the watermark and its margins lie within the area
};

// The arithmetic for an areaWidth x areaHeight area and a markWidth x
// markHeight watermark.
SizedPlacement PlaceSized(const SizeAndGravity& request, LONG areaWidth, LONG areaHeight, LONG markWidth,
                          LONG markHeight);

// ---- A picture on a printed page -------------------------------------------------

// Where the picture lands on the page: screen pixels scaled to the
// printer's resolution, at the top-left corner or centred.
struct PrintLayout {
    bool exceedsArea;  // larger than the printable area after scaling
    int x, y;          // top-left corner on the page, device pixels
    int width, height; // size on the page, device pixels
};

// width x height picture pixels; screen (sx, sy) and printer (px, py)
// pixels per inch; the printable area hres x vres.
PrintLayout ComputePrintLayout(int width, int height, double sx, double sy, double px, double py, double hres,
                               double vres, bool centred);

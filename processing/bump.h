// The relief watermark: the watermark's HeightBytes, laid over the picture,
// give a surface whose normals are lit by one directional light; each
// pixel's colour is scaled by the lighting and the change of luminance is
// amplified.
#pragma once

#include "image/image_document.h"
#include "processing/neighbourhood.h"

#include <cstddef>

struct BumpSettingsRecord {
    // Direction towards the light as seen on screen: X to the right, Y up,
    // Z towards the viewer.
    double lightX;
    double lightY;
    double lightZ;
    int strength;            // 1..200
    double strengthValue;    // the same, as the engine uses it
    int amplification;       // 0..800
    int ambient;             // 1..100
    int KeepAspect;
    int DontEnlarge;
    int RepeatTile;
    int OffsetX;
    int OffsetY;
};

extern BumpSettingsRecord BumpSettings;

constexpr int kBumpStrengthMin = 1, kBumpStrengthMax = 200;
constexpr int kBumpAmplificationMin = 0, kBumpAmplificationMax = 800;
constexpr int kBumpAmbientMin = 1, kBumpAmbientMax = 100;

// How the watermark is laid over a picture.
enum class BumpCase { NoEnlarge, Tile, Stretch };

struct BumpPlacement {
    BumpCase placementCase;
    LONG regionLeft;    // from the picture's top-left corner
    LONG regionTop;
    LONG regionWidth;
    LONG regionHeight;
    LONG tileWidth;     // the tile in case Tile; else the region's size
    LONG tileHeight;
    // The ranges the position bars allow (0..max), and whether each bar is
    // shown at all.
    LONG offsetMaxX;
    LONG offsetMaxY;
    bool offsetBarX;
    bool offsetBarY;
};

// Placement at full size of a ww x wh watermark on a wi x hi picture under
// the current settings.
BumpPlacement PlaceWatermark(LONG wi, LONG hi, LONG ww, LONG wh);

// The same placement converted to a pw x ph preview of the picture (the
// preview's own arithmetic: products truncated by integer division, tiles
// at least one preview pixel).
BumpPlacement PlaceWatermarkInPreview(LONG wi, LONG hi, LONG ww, LONG wh, LONG pw, LONG ph);

// Lights one pixel: rewrites the centre's blue, green and red from the
// nine HeightBytes; the centre's HeightByte stays.
void BumpPixel(PixelBlock3x3* block);

// Repeats the tile's HeightBytes over a region (both bottom-up pixel
// arrays, the region's rows destinationStride bytes apart; tiles start at
// the region's top-left corner on screen).
void TileHeights(BYTE* destination, std::size_t destinationStride, const BYTE* tile, LONG regionWidth,
                 LONG regionHeight, LONG tileWidth, LONG tileHeight);

// Stamps the watermark into the picture by placement at full size.
// Returns 0, or -1 when a working block cannot be allocated (the picture is
// then unchanged).
int ApplyBump(HWND window, ImageDocument* watermark, ImageDocument* image);

// Stamps the watermark into a preview copy of pw x ph pixels (the picture
// being wi x hi) by the preview placement.  Returns 0 or -1 as ApplyBump.
int RenderBumpPixels(BYTE* previewDib, LONG pw, LONG ph, LONG wi, LONG hi,
                     ImageDocument* watermark);

// How BumpRow finds the perturbed heights: by comparisons, in vector code,
// or pixel by pixel through BumpPixel and its cosine.
enum class BumpRowMethod { Comparisons, PerPixel };

// Comparisons where a check of every (height, sum) pair at first use has
// shown them equal to the cosine on this machine's maths library, else
// pixel by pixel.
BumpRowMethod BumpRowMethodHere();

// Lights a row of count pixels in place exactly as BumpPixel lights each:
// below, own and above hold the HeightBytes of the rows round it, one per
// pixel, starting one pixel left of the first; each pixel's blue, green and
// red are replaced, its HeightByte stays.
void BumpRow(const short* below, const short* own, const short* above, BYTE* pixels, int count,
             BumpRowMethod method = BumpRowMethodHere());

// Relief shading (the lighting of every pixel from the HeightBytes round
// it, the frame beyond the edges repeating the edge pixels) in place, on
// width x height pixels whose rows lie stride bytes apart, bottom row
// first, in bands of rows on every core.  For a caller that must know it
// will not run out of memory before it changes anything:
// AllocateReliefWork gives the working block (null without memory),
// ShadeReliefInPlace uses and frees it.
HGLOBAL AllocateReliefWork(LONG width, LONG height);
void ShadeReliefInPlace(BYTE* pixels, std::size_t stride, LONG width, LONG height, HGLOBAL work);

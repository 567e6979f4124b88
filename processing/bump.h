// The relief watermark: the watermark's HeightBytes, laid over the picture,
// give a surface whose normals are lit by one directional light; each
// pixel's colour is scaled by the lighting and the change of luminance is
// amplified.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"
#include "processing/neighbourhood.h"
#include "processing/param_range.h"
#include "processing/placement.h"

#include <cstddef>

// The relief's strength (the slope of its surface), the amplification of
// the change of luminance, and the ambient light.
inline constexpr ParamRange kBumpStrength{1, 200, 20};
inline constexpr ParamRange kBumpAmplification{0, 800, 200};
inline constexpr ParamRange kBumpAmbient{1, 100, 60};

struct BumpParams {
    // Direction towards the light as seen on screen: X to the right, Y up,
    // Z towards the viewer.  At first from the upper left, 45 degrees
    // above the picture.
    double lightX = -0.5;
    double lightY = 0.5;
    double lightZ = 0.7071067811865476;
    int strength = kBumpStrength.def;
    int amplification = kBumpAmplification.def;
    int ambient = kBumpAmbient.def;
    WatermarkLayout layout;
};

// Lights one pixel: rewrites the centre's blue, green and red from the
// nine HeightBytes; the centre's HeightByte stays.
void BumpPixel(const BumpParams& params, PixelBlock3x3* block);

// Repeats the tile's HeightBytes over a region (both bottom-up pixel
// arrays, the region's rows destinationStride bytes apart; tiles start at
// the region's top-left corner on screen).
void TileHeights(BYTE* destination, std::size_t destinationStride, const BYTE* tile, LONG regionWidth,
                 LONG regionHeight, LONG tileWidth, LONG tileHeight);

// Stamps the watermark into the picture by the placement at full size.
// Returns Failure::None, or Failure::OutOfMemory when a working block
// cannot be allocated or either picture has no pixels (the picture is then
// unchanged).
Failure ApplyBump(const BumpParams& params, ImageDocument* watermark, ImageDocument* image);

// Stamps the watermark into a preview copy of pw x ph pixels (the picture
// being wi x hi) by the preview placement.  Returns as ApplyBump.
Failure RenderBumpPixels(const BumpParams& params, BYTE* previewDib, LONG pw, LONG ph, LONG wi, LONG hi,
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
void BumpRow(const BumpParams& params, const short* below, const short* own, const short* above, BYTE* pixels,
             int count, BumpRowMethod method = BumpRowMethodHere());

// Relief shading (the lighting of every pixel from the HeightBytes round
// it, the frame beyond the edges repeating the edge pixels) in place, on
// width x height pixels whose rows lie stride bytes apart, bottom row
// first, in bands of rows on every core.  For a caller that must know it
// will not run out of memory before it changes anything:
// AllocateReliefWork gives the working block (null without memory),
// ShadeReliefInPlace uses and frees it.
HGLOBAL AllocateReliefWork(LONG width, LONG height);
void ShadeReliefInPlace(const BumpParams& params, BYTE* pixels, std::size_t stride, LONG width, LONG height,
                        HGLOBAL work);

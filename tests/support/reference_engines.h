// Plain, slow re-statements of the image engines, kept deliberately simple
// so that the core's optimised passes can be compared with them to the bit.
// Nothing here shares code with the core (only the names of the kinds of
// effect and filter): pictures are plain vectors, the neighbourhood pass
// reads clamped coordinates instead of a padded copy, and every formula is
// written out term by term in IEEE double.
#pragma once

#include "processing/effects.h"
#include "processing/filters.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ref {

// A picture in WorkDib pixel order: rows bottom-up, 4 bytes per pixel
// (blue, green, red, height), no gaps.  x and y in the accessors are
// screen coordinates: y = 0 is the top row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;

    Picture() = default;
    Picture(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4, 0) {}

    std::uint8_t* At(int x, int y)
    {
        return &bytes[(static_cast<std::size_t>(height - 1 - y) * width + x) * 4];
    }
    const std::uint8_t* At(int x, int y) const
    {
        return &bytes[(static_cast<std::size_t>(height - 1 - y) * width + x) * 4];
    }
};

// Lists the first differing pixels of two pictures ("" when equal).
std::string DescribeDifferences(const Picture& expected, const Picture& actual, int maxReported = 8);

// ---- Rectangle fitting and bilinear resampling ----------------------------

struct Rect64 {
    std::int64_t left, top, right, bottom;
};

// Fits sw x sh into the box with 1/1024 fixed point in 64-bit integers.
Rect64 FitRect(const Rect64& box, std::int64_t sw, std::int64_t sh);

// Bilinear resampling to w x h (sampling positions (sw-1)*k/w, (sh-1)*j/h).
Picture Scale(const Picture& source, int w, int h);

// ---- Resizing -------------------------------------------------------------

// The resize engine's result, pixel by pixel over the whole source: each
// new pixel (x, y) is the sum over every source pixel of wx(x, i) wy(y, j)
// times its bytes, the weights taken from one formula each (shrinking:
// the overlap of [x m, (x + 1) m) with [i n, (i + 1) n); growing: the tent
// 2n - |p - 2n i| around the clamped centre p = (2x + 1) m - n), in 64-bit
// integers, rounded half up.  With an alpha plane holding a byte below
// 255, colour is weighted by alpha (the plain mean where the new alpha sum
// is 0); *alphaOut gets the new plane (255s when alpha has none below 255,
// empty when alpha is empty).
Picture Resize(const Picture& source, const std::vector<std::uint8_t>& alpha, int w, int h,
               std::vector<std::uint8_t>* alphaOut);

// ---- 3x3 neighbourhood operators -----------------------------------------

struct FilterParams {
    FilterKind kind = FilterKind::Sharpen;
    int strength = 0;  // soft: the number of passes
    int customKernel[3][3] = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}};  // block order
};

struct LightParams {
    double x = 0.0, y = 0.0, z = 1.0;  // on screen: right, up, to the viewer
    double strength = 20.0;
    int amplification = 200;
    int ambient = 60;
};

// block[i] is the i-th pixel in memory order (row below on screen first).
void FilterPixel(const std::uint8_t block[9][4], std::uint8_t centreOut[4], const FilterParams& f);
void BumpPixel(const std::uint8_t block[9][4], std::uint8_t centreOut[4], const LightParams& l);

// Runs the whole pass family on a picture: mode 1 filters by f.kind (soft
// repeats), mode 2 lights; any other mode changes nothing.
void NeighbourhoodPass(Picture& picture, int mode, const FilterParams& f, const LightParams& l);

// ---- Watermark placement and relief ---------------------------------------

enum class Case { NoEnlarge, Tile, Stretch };

struct PlaceParams {
    int keepAspect = 0;
    int dontEnlarge = 0;
    int repeatTile = 0;
    int offsetX = 0;
    int offsetY = 0;
};

struct Placement {
    Case placementCase = Case::Stretch;
    std::int64_t left = 0, top = 0, width = 0, height = 0;
    std::int64_t tileWidth = 0, tileHeight = 0;
    std::int64_t offsetMaxX = 0, offsetMaxY = 0;
    bool barX = false, barY = false;
};

Placement Place(std::int64_t wi, std::int64_t hi, std::int64_t ww, std::int64_t wh, const PlaceParams& p);
Placement PlaceInPreview(std::int64_t wi, std::int64_t hi, std::int64_t ww, std::int64_t wh,
                         std::int64_t pw, std::int64_t ph, const PlaceParams& p);

// Repeats the tile's heights over the region from its top-left corner.
void TileHeights(Picture& region, const Picture& tile);

// Full-size relief on image; the preview variant works on a preview of a
// wi x hi picture.
void ApplyBump(Picture& image, const Picture& watermark, const PlaceParams& p, const LightParams& l);
void RenderBumpPreview(Picture& preview, int wi, int hi, const Picture& watermark, const PlaceParams& p,
                       const LightParams& l);

// ---- Point effects ---------------------------------------------------------

// Band width n for posterize, solarize and binarize.
void Effect(Picture& picture, EffectKind kind, int n, const int lower[3], const int upper[3]);
void MeasureRanges(const Picture& picture, int minimum[3], int maximum[3]);

// ---- Colour adjustment ------------------------------------------------------

void YshPixel(std::uint8_t& r, std::uint8_t& g, std::uint8_t& b, double luminanceFactor,
              double saturationFactor, double hueRotation);
void Ysh(Picture& picture, int luminancePos, int saturationPos, int huePos);
void CmykRoundTrip(Picture& picture);

}  // namespace ref

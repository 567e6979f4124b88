#include "processing/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// ---- Fitting ----------------------------------------------------------------

void FitRect(const RECT* box, const RECT* source, RECT* result)
{
    // 1/1024 fixed point, in 64 bits so that extents of 2^21 and more do
    // not overflow; for smaller extents the results equal 32-bit ones.
    const std::int64_t sw = source->right - source->left;
    const std::int64_t sh = source->bottom - source->top;
    const std::int64_t bw = box->right - box->left;
    const std::int64_t bh = box->bottom - box->top;
    std::int64_t width = 0;
    std::int64_t height = 0;
    if (sw > 0 && sh > 0 && bw > 0 && bh > 0) {
        const std::int64_t rs = (sh * 1024) / sw;
        const std::int64_t rb = (bh * 1024) / bw;
        const std::int64_t ri = (sw * 1024) / sh;
        if (rs < rb) {
            width = bw;
            height = (rs * bw) >> 10;
            if (height > bh)
                height = bh;
        } else {
            height = bh;
            width = (ri * bh) >> 10;
            if (width > bw)
                width = bw;
        }
    }
    const std::int64_t dx = (bw - width) >> 1;
    const std::int64_t dy = (bh - height) >> 1;
    result->left = static_cast<LONG>(box->left + dx);
    result->top = static_cast<LONG>(box->top + dy);
    result->right = static_cast<LONG>(box->left + dx + width);
    result->bottom = static_cast<LONG>(box->top + dy + height);
}


// ---- The bump's watermark -----------------------------------------------------

namespace {

LONG ScaleDown(LONG value, LONG numerator, LONG denominator)
{
    if (denominator <= 0)
        return 0;
    return static_cast<LONG>(static_cast<std::int64_t>(value) * numerator / denominator);
}

RECT FittedSize(LONG boxWidth, LONG boxHeight, LONG ww, LONG wh)
{
    const RECT box = {0, 0, boxWidth, boxHeight};
    const RECT source = {0, 0, ww, wh};
    RECT fitted;
    FitRect(&box, &source, &fitted);
    return fitted;
}

}  // namespace

BumpPlacement PlaceWatermark(const WatermarkLayout& layout, LONG wi, LONG hi, LONG ww, LONG wh)
{
    BumpPlacement p = {};
    const bool fits = ww <= wi && wh <= hi;
    const bool exactSize = ww == wi && wh == hi;
    if (fits && layout.dontEnlarge) {
        p.placementCase = BumpCase::NoEnlarge;
        p.regionWidth = ww;
        p.regionHeight = wh;
        p.offsetMaxX = wi - ww;
        p.offsetMaxY = hi - wh;
        p.regionLeft = layout.offsetX;
        p.regionTop = layout.offsetY;
    } else if (fits && layout.repeatTile) {
        p.placementCase = BumpCase::Tile;
        p.regionWidth = wi;
        p.regionHeight = hi;
        p.tileWidth = ww;
        p.tileHeight = wh;
    } else {
        p.placementCase = BumpCase::Stretch;
        p.regionWidth = wi;
        p.regionHeight = hi;
        if (layout.keepAspect) {
            const RECT fitted = FittedSize(wi, hi, ww, wh);
            const LONG fw = fitted.right - fitted.left;
            const LONG fh = fitted.bottom - fitted.top;
            p.regionWidth = fw;
            p.regionHeight = fh;
            p.regionLeft = fw >= wi ? 0 : layout.offsetX;
            p.regionTop = fh >= hi ? 0 : layout.offsetY;
            p.offsetMaxX = !exactSize && fw < wi ? wi - fw : 0;
            p.offsetMaxY = !exactSize && fh < hi ? hi - fh : 0;
        }
    }
    if (p.placementCase != BumpCase::Tile) {
        p.tileWidth = p.regionWidth;
        p.tileHeight = p.regionHeight;
    }
    // Offsets left over from another watermark never push the region out
    // of the picture.
    p.regionLeft = std::clamp(p.regionLeft, LONG{0}, std::max(wi - p.regionWidth, LONG{0}));
    p.regionTop = std::clamp(p.regionTop, LONG{0}, std::max(hi - p.regionHeight, LONG{0}));
    return p;
}

BumpPlacement PlaceWatermarkInPreview(const WatermarkLayout& layout, LONG wi, LONG hi, LONG ww, LONG wh, LONG pw,
                                      LONG ph)
{
    BumpPlacement p = PlaceWatermark(layout, wi, hi, ww, wh);
    const LONG fw = p.regionWidth;   // the full-size fitted size in case C
    const LONG fh = p.regionHeight;
    switch (p.placementCase) {
    case BumpCase::NoEnlarge:
        p.regionWidth = ScaleDown(ww, pw, wi);
        p.regionHeight = ScaleDown(wh, ph, hi);
        p.regionLeft = ScaleDown(layout.offsetX, pw, wi);
        p.regionTop = ScaleDown(layout.offsetY, ph, hi);
        p.tileWidth = p.regionWidth;
        p.tileHeight = p.regionHeight;
        break;
    case BumpCase::Tile:
        p.regionLeft = p.regionTop = 0;
        p.regionWidth = pw;
        p.regionHeight = ph;
        // A tile too small for one preview pixel still shows as one.
        p.tileWidth = std::max(ScaleDown(ww, pw, wi), LONG{1});
        p.tileHeight = std::max(ScaleDown(wh, ph, hi), LONG{1});
        break;
    case BumpCase::Stretch:
        if (!layout.keepAspect || (ww == wi && wh == hi)) {
            p.regionLeft = p.regionTop = 0;
            p.regionWidth = pw;
            p.regionHeight = ph;
            p.offsetMaxX = p.offsetMaxY = 0;
        } else {
            const RECT fitted = FittedSize(pw, ph, ww, wh);
            const LONG pwW = fitted.right - fitted.left;
            const LONG phW = fitted.bottom - fitted.top;
            p.regionWidth = pwW;
            p.regionHeight = phW;
            p.regionLeft = pwW < pw ? ScaleDown(layout.offsetX, pwW, fw) : 0;
            const LONG gap = phW < ph ? ScaleDown(hi - fh - layout.offsetY, phW, fh) : 0;
            p.regionTop = ph - phW - gap;
            // The room follows what the preview shows.
            p.offsetMaxX = pwW < pw ? wi - fw : 0;
            p.offsetMaxY = phW < ph ? hi - fh : 0;
        }
        p.tileWidth = p.regionWidth;
        p.tileHeight = p.regionHeight;
        break;
    }
    p.regionLeft = std::clamp(p.regionLeft, LONG{0}, std::max(pw - p.regionWidth, LONG{0}));
    p.regionTop = std::clamp(p.regionTop, LONG{0}, std::max(ph - p.regionHeight, LONG{0}));
    return p;
}

// ---- A watermark sized and laid by gravity and margins ------------------------

LONG RoundHalfUp(double v)
{
    return static_cast<LONG>(std::floor(v + 0.5));
}

LONG LengthInPixels(const PlacementLength& length, LONG side)
{
    return length.percent ? RoundHalfUp(static_cast<double>(side) * length.value / 100.0)
                          : static_cast<LONG>(length.value);
}

namespace {

// One direction: -1 from the start, 0 centred, 1 from the end.
LONG Position(int gravity, LONG area, LONG mark, LONG margin)
{
    if (gravity < 0)
        return margin;
    if (gravity > 0)
        return area - mark - margin;
    return (area - mark) / 2;
}

}  // namespace

SizedPlacement PlaceSized(const SizeAndGravity& request, LONG areaWidth, LONG areaHeight, LONG markWidth,
                          LONG markHeight)
{
    LONG w = markWidth;
    LONG h = markHeight;
    if (request.resize) {
        w = std::max<LONG>(1, LengthInPixels(request.width, areaWidth));
        h = std::max<LONG>(1, RoundHalfUp(static_cast<double>(markHeight) * static_cast<double>(w) /
                                          static_cast<double>(markWidth)));
    }
    SizedPlacement placement;
    placement.marginX = request.gravityX == 0 ? 0 : LengthInPixels(request.margin[0], areaWidth);
    placement.marginY = request.gravityY == 0 ? 0 : LengthInPixels(request.margin[1], areaHeight);
    placement.width = w;
    placement.height = h;
    placement.x = Position(request.gravityX, areaWidth, w, placement.marginX);
    placement.y = Position(request.gravityY, areaHeight, h, placement.marginY);
    placement.fits = !(static_cast<double>(w) + placement.marginX > areaWidth ||
                       static_cast<double>(h) + placement.marginY > areaHeight);
    return placement;
}

// ---- A picture on a printed page -------------------------------------------------

PrintLayout ComputePrintLayout(int width, int height, double sx, double sy, double px, double py, double hres,
                               double vres, bool centred)
{
    const double scaleX = px / sx;
    const double scaleY = py / sy;
    PrintLayout layout = {};
    layout.exceedsArea = width * scaleX > hres || height * scaleY > vres;
    layout.width = static_cast<int>(width * scaleX);
    layout.height = static_cast<int>(height * scaleY);
    if (centred) {
        // Full width: a picture wider than 32767 device pixels stays where
        // it belongs instead of wrapping around.
        layout.x = static_cast<int>((hres - layout.width) * 0.5);
        layout.y = static_cast<int>((vres - layout.height) * 0.5);
    }
    return layout;
}

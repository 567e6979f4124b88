#include "cli/placement.h"

#include "cli/text.h"
#include "image/blocks.h"
#include "processing/scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

LONG LengthInPixels(const CliLength& length, LONG side)
{
    return length.percent ? RoundHalfUp(static_cast<double>(side) * length.value / 100.0)
                          : static_cast<LONG>(length.value);
}

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

bool UsesSizedPlacement(const CliOptions& options)
{
    return options.sizeGiven || options.gravityGiven || options.marginGiven;
}

LONG RoundHalfUp(double v)
{
    return static_cast<LONG>(std::floor(v + 0.5));
}

int PlaceSizedWatermark(const CliOptions& options, LONG areaWidth, LONG areaHeight, LONG markWidth,
                        LONG markHeight, SizedPlacement* placement, std::string* problem)
{
    LONG w = markWidth;
    LONG h = markHeight;
    if (options.sizeGiven) {
        w = std::max<LONG>(1, LengthInPixels(options.size, areaWidth));
        h = std::max<LONG>(1, RoundHalfUp(static_cast<double>(markHeight) * static_cast<double>(w) /
                                          static_cast<double>(markWidth)));
    }
    const LONG mx = options.gravity.x == 0 ? 0 : LengthInPixels(options.margin[0], areaWidth);
    const LONG my = options.gravity.y == 0 ? 0 : LengthInPixels(options.margin[1], areaHeight);
    placement->width = w;
    placement->height = h;
    placement->x = Position(options.gravity.x, areaWidth, w, mx);
    placement->y = Position(options.gravity.y, areaHeight, h, my);
    if (!options.tile && (static_cast<double>(w) + mx > areaWidth || static_cast<double>(h) + my > areaHeight)) {
        *problem = Format(_("the watermark (%ld x %ld) does not fit with its margins (%ld, %ld) into %ld x %ld"),
                          static_cast<long>(w), static_cast<long>(h), static_cast<long>(mx), static_cast<long>(my),
                          static_cast<long>(areaWidth), static_cast<long>(areaHeight));
        return -1;
    }
    return 0;
}

int ResizeWatermark(const ImageDocument* mark, LONG width, LONG height, ImageDocument* resized)
{
    ResetDocument(resized, false);
    HGLOBAL block = nullptr;
    if (width == mark->width && height == mark->height) {
        const std::size_t bytes = WorkDibBytes(width, height);
        block = AllocateBlock(bytes + 4);
        if (!block)
            return -1;
        std::memcpy(GlobalLock(block), mark->dib, bytes);
        GlobalUnlock(block);
    } else {
        const RECT target = {0, 0, width, height};
        BITMAPINFO header = {};
        if (ScaleDib(&block, mark->dib, &target, &header) != 0)
            return -1;
    }
    resized->hDib = block;
    resized->dib = static_cast<BYTE*>(GlobalLock(block));
    resized->bmi = reinterpret_cast<BITMAPINFO*>(resized->dib);
    resized->width = width;
    resized->height = height;
    resized->isLoaded = 1;
    resized->bitsOffset = kWorkDibHeaderBytes;
    return 0;
}

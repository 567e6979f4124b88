#include "cli/placement.h"

#include "cli/text.h"
#include "image/blocks.h"
#include "processing/scale.h"

#include <cstring>

bool UsesSizedPlacement(const CliOptions& options)
{
    return options.sizeGiven || options.gravityGiven || options.marginGiven;
}

int PlaceSizedWatermark(const CliOptions& options, LONG areaWidth, LONG areaHeight, LONG markWidth,
                        LONG markHeight, SizedPlacement* placement, std::string* problem)
{
    SizeAndGravity request;
    request.resize = options.sizeGiven;
    request.width = options.size;
    request.gravityX = options.gravity.x;
    request.gravityY = options.gravity.y;
    request.margin[0] = options.margin[0];
    request.margin[1] = options.margin[1];
    *placement = PlaceSized(request, areaWidth, areaHeight, markWidth, markHeight);
    if (!options.bump.layout.repeatTile && !placement->fits) {
        *problem = Format(_("the watermark (%ld x %ld) does not fit with its margins (%ld, %ld) into %ld x %ld"),
                          static_cast<long>(placement->width), static_cast<long>(placement->height),
                          static_cast<long>(placement->marginX), static_cast<long>(placement->marginY),
                          static_cast<long>(areaWidth), static_cast<long>(areaHeight));
        return -1;
    }
    return 0;
}

int ResizeWatermark(const ImageDocument* mark, LONG width, LONG height, ImageDocument* resized)
{
    ResetDocument(resized);
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
    AdoptWorkDib(resized, block, width, height, nullptr);
    return 0;
}

#include "image/region_swap.h"

#include "image/blocks.h"
#include "image/messages.h"

#include <algorithm>
#include <cstring>

RegionSwapStateRecord RegionSwapState = {};

namespace {

// The selection in picture coordinates, clipped to the picture.
struct RegionBounds {
    LONG x0, y0, x1, y1;
};

RegionBounds MapSelection(const SelectionRect* sel, LONG width, LONG height, LONG scrolledX, LONG scrolledY,
                          LONG imageOffsetX, LONG imageOffsetY)
{
    const LONG left = sel->left - imageOffsetX + scrolledX;
    const LONG top = sel->top - imageOffsetY + scrolledY;
    const LONG right = sel->right - imageOffsetX + scrolledX;
    const LONG bottom = sel->bottom - imageOffsetY + scrolledY;
    return {std::max(left, LONG{0}), std::max(top, LONG{0}), std::min(right, width - 1),
            std::min(bottom, height - 1)};
}

BITMAPINFOHEADER* HeaderOf(ImageDocument* doc)
{
    return &doc->bmi->bmiHeader;
}

}  // namespace

int RegionSwapExtract(HWND owner, ImageDocument* doc, const SelectionRect* sel, LONG scrolledX,
                      LONG scrolledY, LONG imageOffsetX, LONG imageOffsetY)
{
    if (!sel->active)
        return 0;

    const LONG width = doc->width;
    const LONG height = doc->height;
    const RegionBounds r = MapSelection(sel, width, height, scrolledX, scrolledY, imageOffsetX, imageOffsetY);
    // Outside the picture, or a region with no columns or rows: nothing to do.
    if (r.x0 > r.x1 || r.y0 > r.y1 || !doc->dib || !doc->bmi)
        return -1;

    const LONG cols = r.x1 - r.x0 + 1;
    const LONG rows = r.y1 - r.y0 + 1;
    HGLOBAL block = AllocateBlock(WorkDibBytes(cols, rows));
    if (!block) {
        ReportError(owner, msg::kOutOfMemory);
        return -1;
    }

    RegionSwapState.savedDocument = *doc;
    std::memcpy(&RegionSwapState.savedBmi, HeaderOf(doc), sizeof(BITMAPINFOHEADER));
    RegionSwapState.regionDocument = *doc;

    ImageDocument& region = RegionSwapState.regionDocument;
    region.width = cols;
    region.height = rows;
    region.hDib = block;
    region.dib = static_cast<BYTE*>(GlobalLock(block));

    std::memcpy(region.dib, doc->dib, kWorkDibHeaderBytes);
    auto* regionHeader = reinterpret_cast<BITMAPINFOHEADER*>(region.dib);
    regionHeader->biWidth = cols;
    regionHeader->biHeight = rows;

    const BYTE* source = WorkDibPixels(doc->dib) +
                         (static_cast<std::size_t>(height - 1 - r.y1) * width + r.x0) * kBytesPerPixel;
    BYTE* target = WorkDibPixels(region.dib);
    const std::size_t sourceStride = static_cast<std::size_t>(width) * kBytesPerPixel;
    const std::size_t rowBytes = static_cast<std::size_t>(cols) * kBytesPerPixel;
    for (LONG row = 0; row < rows; ++row, source += sourceStride, target += rowBytes)
        std::memcpy(target, source, rowBytes);

    // The header bmi points to reports the region's size while it is out.
    HeaderOf(doc)->biWidth = cols;
    HeaderOf(doc)->biHeight = rows;
    *doc = region;
    return 0;
}

int RegionSwapCommit(ImageDocument* doc, const SelectionRect* sel, LONG scrolledX, LONG scrolledY,
                     LONG imageOffsetX, LONG imageOffsetY)
{
    if (!sel->active)
        return 0;

    ImageDocument& saved = RegionSwapState.savedDocument;
    ImageDocument& region = RegionSwapState.regionDocument;
    const RegionBounds r =
        MapSelection(sel, saved.width, saved.height, scrolledX, scrolledY, imageOffsetX, imageOffsetY);

    const BYTE* source = WorkDibPixels(region.dib);
    BYTE* target = WorkDibPixels(saved.dib) +
                   (static_cast<std::size_t>(saved.height - 1 - r.y1) * saved.width + r.x0) * kBytesPerPixel;
    const std::size_t targetStride = static_cast<std::size_t>(saved.width) * kBytesPerPixel;
    const std::size_t rowBytes = static_cast<std::size_t>(region.width) * kBytesPerPixel;
    for (LONG row = 0; row < region.height; ++row, source += rowBytes, target += targetStride)
        std::memcpy(target, source, rowBytes);

    return RegionSwapCancel(doc, sel);
}

int RegionSwapCancel(ImageDocument* doc, const SelectionRect* sel)
{
    if (!sel->active)
        return 0;

    ImageDocument& region = RegionSwapState.regionDocument;
    if (region.hDib) {
        GlobalUnlock(region.hDib);
        FreeBlock(region.hDib);
    }
    region.hDib = nullptr;
    region.dib = nullptr;

    *doc = RegionSwapState.savedDocument;
    // Only the 40-byte header: after a JPEG load the colour slot behind it
    // is the picture's first pixel.
    std::memcpy(HeaderOf(doc), &RegionSwapState.savedBmi, sizeof(BITMAPINFOHEADER));
    return 0;
}

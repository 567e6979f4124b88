#include "image/region_swap.h"

#include "image/blocks.h"

#include <algorithm>
#include <cstring>

namespace {

// The region clipped to a width x height picture.
PictureRect Clip(const PictureRect& region, LONG width, LONG height)
{
    return {std::max(region.left, LONG{0}), std::max(region.top, LONG{0}), std::min(region.right, width - 1),
            std::min(region.bottom, height - 1)};
}

BITMAPINFOHEADER* HeaderOf(ImageDocument* doc)
{
    return &doc->bmi->bmiHeader;
}

}  // namespace

RegionCut RegionSwapExtract(RegionSwap* swap, ImageDocument* doc, const PictureRect* region)
{
    swap->regionOut = false;
    if (!region)
        return RegionCut::Ready;

    const LONG width = doc->width;
    const LONG height = doc->height;
    const PictureRect r = Clip(*region, width, height);
    // Outside the picture, or a region with no columns or rows: nothing to do.
    if (r.left > r.right || r.top > r.bottom || !doc->dib || !doc->bmi)
        return RegionCut::Empty;

    const LONG cols = r.right - r.left + 1;
    const LONG rows = r.bottom - r.top + 1;
    HGLOBAL block = AllocateBlock(WorkDibBytes(cols, rows));
    if (!block)
        return RegionCut::OutOfMemory;

    swap->regionOut = true;
    swap->clipped = r;
    swap->savedDocument = *doc;
    std::memcpy(&swap->savedBmi, HeaderOf(doc), sizeof(BITMAPINFOHEADER));
    swap->regionDocument = *doc;

    ImageDocument& out = swap->regionDocument;
    out.width = cols;
    out.height = rows;
    out.hDib = block;
    out.dib = static_cast<BYTE*>(GlobalLock(block));

    std::memcpy(out.dib, doc->dib, kWorkDibHeaderBytes);
    auto* regionHeader = reinterpret_cast<BITMAPINFOHEADER*>(out.dib);
    regionHeader->biWidth = cols;
    regionHeader->biHeight = rows;

    const BYTE* source = WorkDibPixels(doc->dib) +
                         (static_cast<std::size_t>(height - 1 - r.bottom) * width + r.left) * kBytesPerPixel;
    BYTE* target = WorkDibPixels(out.dib);
    const std::size_t sourceStride = static_cast<std::size_t>(width) * kBytesPerPixel;
    const std::size_t rowBytes = static_cast<std::size_t>(cols) * kBytesPerPixel;
    for (LONG row = 0; row < rows; ++row, source += sourceStride, target += rowBytes)
        std::memcpy(target, source, rowBytes);

    // The header bmi points to reports the region's size while it is out.
    HeaderOf(doc)->biWidth = cols;
    HeaderOf(doc)->biHeight = rows;
    *doc = out;
    return RegionCut::Ready;
}

void RegionSwapCommit(RegionSwap* swap, ImageDocument* doc)
{
    if (!swap->regionOut)
        return;

    const ImageDocument& saved = swap->savedDocument;
    const ImageDocument& region = swap->regionDocument;
    const PictureRect& r = swap->clipped;
    const BYTE* source = WorkDibPixels(region.dib);
    BYTE* target = WorkDibPixels(saved.dib) +
                   (static_cast<std::size_t>(saved.height - 1 - r.bottom) * saved.width + r.left) * kBytesPerPixel;
    const std::size_t targetStride = static_cast<std::size_t>(saved.width) * kBytesPerPixel;
    const std::size_t rowBytes = static_cast<std::size_t>(region.width) * kBytesPerPixel;
    for (LONG row = 0; row < region.height; ++row, source += rowBytes, target += targetStride)
        std::memcpy(target, source, rowBytes);

    RegionSwapCancel(swap, doc);
}

void RegionSwapCancel(RegionSwap* swap, ImageDocument* doc)
{
    if (!swap->regionOut)
        return;

    ImageDocument& region = swap->regionDocument;
    if (region.hDib) {
        GlobalUnlock(region.hDib);
        FreeBlock(region.hDib);
    }
    region.hDib = nullptr;
    region.dib = nullptr;

    *doc = swap->savedDocument;
    // Only the 40-byte header: after a JPEG load the colour slot behind it
    // is the picture's first pixel.
    std::memcpy(HeaderOf(doc), &swap->savedBmi, sizeof(BITMAPINFOHEADER));
    swap->regionOut = false;
}

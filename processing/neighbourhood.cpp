#include "processing/neighbourhood.h"

#include "image/image_document.h"
#include "processing/bump.h"
#include "processing/filters.h"

#include <cstring>

int ProcessingMode = 1;

namespace {

using PixelOperator = void (*)(PixelBlock3x3*);

void LeaveUnchanged(PixelBlock3x3*) {}

PixelOperator OperatorFor(int mode, int filterKind)
{
    if (mode == 2)
        return BumpPixel;
    switch (filterKind) {
    case kFilterSharpen:
        return SharpenPixel;
    case kFilterSoft:
        return SoftenPixel;
    case kFilterEmboss:
        return EmbossPixel;
    case kFilterCustom:
        return CustomKernelPixel;
    default:
        return LeaveUnchanged;
    }
}

// One pass over the interior: rows[0..2] hold rows r-1, r, r+1 as they
// were at the start of the pass, so results can go straight back into the
// padded image.
void RunOnePass(BYTE* padded, LONG paddedWidth, LONG paddedHeight, BYTE* rowBuffer, PixelOperator op)
{
    const std::size_t rowBytes = static_cast<std::size_t>(paddedWidth) * 4;
    BYTE* rows[3] = {rowBuffer, rowBuffer + rowBytes, rowBuffer + 2 * rowBytes};
    std::memcpy(rows[0], padded, rowBytes);
    std::memcpy(rows[1], padded + rowBytes, rowBytes);
    for (LONG r = 1; r <= paddedHeight - 2; ++r) {
        std::memcpy(rows[2], padded + (r + 1) * rowBytes, rowBytes);
        BYTE* out = padded + r * rowBytes;
        PixelBlock3x3 block;
        for (LONG c = 1; c <= paddedWidth - 2; ++c) {
            const std::size_t at = static_cast<std::size_t>(c - 1) * 4;
            std::memcpy(block.px[0], rows[0] + at, 12);
            std::memcpy(block.px[3], rows[1] + at, 12);
            std::memcpy(block.px[6], rows[2] + at, 12);
            op(&block);
            std::memcpy(out + static_cast<std::size_t>(c) * 4, block.px[4], 4);
        }
        BYTE* spare = rows[0];
        rows[0] = rows[1];
        rows[1] = rows[2];
        rows[2] = spare;
    }
}

}  // namespace

void PadWithEdgeCopies(const BYTE* pixels, BYTE* padded, LONG paddedWidth, LONG paddedHeight)
{
    const LONG w = paddedWidth - 2;
    const LONG h = paddedHeight - 2;
    const std::size_t rowBytes = static_cast<std::size_t>(paddedWidth) * 4;
    const std::size_t imageRowBytes = static_cast<std::size_t>(w) * 4;
    for (LONG r = 0; r < h; ++r)
        std::memcpy(padded + (r + 1) * rowBytes + 4, pixels + r * imageRowBytes, imageRowBytes);
    std::memcpy(padded + (paddedHeight - 1) * rowBytes + 4, padded + (paddedHeight - 2) * rowBytes + 4,
                imageRowBytes);
    std::memcpy(padded, padded + rowBytes, rowBytes);
    for (LONG r = 0; r < paddedHeight; ++r) {
        BYTE* row = padded + r * rowBytes;
        std::memcpy(row, row + 4, 4);
        std::memcpy(row + (paddedWidth - 1) * 4, row + (paddedWidth - 2) * 4, 4);
    }
}

int RunNeighbourhoodPass(BYTE* padded, LONG paddedWidth, LONG paddedHeight, int filterKind)
{
    if (ProcessingMode != 1 && ProcessingMode != 2)
        return 0;
    int passes = 1;
    if (ProcessingMode == 1 && filterKind == kFilterSoft)
        passes = FilterSettings.softStrength;
    if (passes <= 0)
        return 0;

    HGLOBAL rowBlock = GlobalAlloc(GHND, static_cast<std::size_t>(paddedWidth) * 4 * 3);
    if (!rowBlock)
        return -1;
    auto* rowBuffer = static_cast<BYTE*>(GlobalLock(rowBlock));
    const PixelOperator op = OperatorFor(ProcessingMode, filterKind);
    for (int pass = 0; pass < passes; ++pass)
        RunOnePass(padded, paddedWidth, paddedHeight, rowBuffer, op);
    GlobalUnlock(rowBlock);
    GlobalFree(rowBlock);
    return 0;
}

void CopyInteriorBack(BYTE* pixels, const BYTE* padded, LONG paddedWidth, LONG paddedHeight)
{
    const std::size_t rowBytes = static_cast<std::size_t>(paddedWidth) * 4;
    const std::size_t imageRowBytes = static_cast<std::size_t>(paddedWidth - 2) * 4;
    for (LONG r = 1; r <= paddedHeight - 2; ++r)
        std::memcpy(pixels + (r - 1) * imageRowBytes, padded + r * rowBytes + 4, imageRowBytes);
}

int ApplyNeighbourhoodFilter(HWND window, HGLOBAL block)
{
    (void)window;  // nothing is drawn
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    if (!dib)
        return -1;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    const LONG paddedWidth = header->biWidth + 2;
    const LONG paddedHeight = header->biHeight + 2;
    HGLOBAL paddedBlock =
        GlobalAlloc(GHND, static_cast<std::size_t>(paddedWidth) * static_cast<std::size_t>(paddedHeight) * 4);
    if (!paddedBlock) {
        GlobalUnlock(block);
        return -1;
    }
    auto* padded = static_cast<BYTE*>(GlobalLock(paddedBlock));
    PadWithEdgeCopies(WorkDibPixels(dib), padded, paddedWidth, paddedHeight);
    const int result = RunNeighbourhoodPass(padded, paddedWidth, paddedHeight, FilterSettings.filterKind);
    if (result == 0)
        CopyInteriorBack(WorkDibPixels(dib), padded, paddedWidth, paddedHeight);
    GlobalUnlock(paddedBlock);
    GlobalFree(paddedBlock);
    GlobalUnlock(block);
    return result;
}

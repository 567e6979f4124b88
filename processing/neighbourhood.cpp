#include "processing/neighbourhood.h"

#include "image/image_document.h"
#include "processing/bump.h"
#include "processing/filters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>

int ProcessingMode = 1;

namespace {

// Large pictures are split into bands of rows, one per core.
constexpr int kMaxBands = 16;
constexpr std::int64_t kPixelsPerBand = 1 << 18;

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

// The same pass with a whole-row filter instead of a per-pixel operator.
void RunOnePassByRows(BYTE* padded, LONG paddedWidth, LONG paddedHeight, BYTE* rowBuffer, const FilterRowPlan& plan)
{
    const std::size_t rowBytes = static_cast<std::size_t>(paddedWidth) * 4;
    BYTE* rows[3] = {rowBuffer, rowBuffer + rowBytes, rowBuffer + 2 * rowBytes};
    std::memcpy(rows[0], padded, rowBytes);
    std::memcpy(rows[1], padded + rowBytes, rowBytes);
    for (LONG r = 1; r <= paddedHeight - 2; ++r) {
        std::memcpy(rows[2], padded + (r + 1) * rowBytes, rowBytes);
        FilterRow(plan, rows[0], rows[1], rows[2], padded + r * rowBytes + 4, paddedWidth - 2);
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
    FilterRowPlan plan;
    if (ProcessingMode == 1 && PrepareFilterRows(filterKind, &plan)) {
        for (int pass = 0; pass < passes; ++pass)
            RunOnePassByRows(padded, paddedWidth, paddedHeight, rowBuffer, plan);
    } else {
        const PixelOperator op = OperatorFor(ProcessingMode, filterKind);
        for (int pass = 0; pass < passes; ++pass)
            RunOnePass(padded, paddedWidth, paddedHeight, rowBuffer, op);
    }
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

namespace {

// The work of one pass over a picture held in place: the frame outside the
// picture (as it was before the first pass) and what to run on each row.
struct InPlaceJob {
    BYTE* pixels;
    LONG width;
    LONG height;
    const BYTE* frameBelow;  // padded row under the picture: width + 2 pixels
    const BYTE* frameAbove;  // padded row above it
    const BYTE* frameLeft;   // one pixel per row
    const BYTE* frameRight;
    bool byRows;
    bool bumpRows;
    FilterRowPlan plan;
    PixelOperator op;
};

std::size_t PaddedRowBytes(const InPlaceJob& job)
{
    return (static_cast<std::size_t>(job.width) + 2) * 4;
}

// Padded row r + 1 of the image the pass sees: image row r between its
// frame pixels; -1 and height are the frame rows.
void LoadPaddedRow(const InPlaceJob& job, LONG r, BYTE* out)
{
    const std::size_t rowBytes = static_cast<std::size_t>(job.width) * 4;
    if (r < 0) {
        std::memcpy(out, job.frameBelow, rowBytes + 8);
    } else if (r >= job.height) {
        std::memcpy(out, job.frameAbove, rowBytes + 8);
    } else {
        std::memcpy(out, job.frameLeft + static_cast<std::size_t>(r) * 4, 4);
        std::memcpy(out + 4, job.pixels + static_cast<std::size_t>(r) * rowBytes, rowBytes);
        std::memcpy(out + 4 + rowBytes, job.frameRight + static_cast<std::size_t>(r) * 4, 4);
    }
}

void ProcessRow(const InPlaceJob& job, const BYTE* below, const BYTE* own, const BYTE* above, BYTE* out)
{
    if (job.byRows) {
        FilterRow(job.plan, below, own, above, out, job.width);
        return;
    }
    if (job.bumpRows) {
        BumpRow(below, own, above, out, job.width);
        return;
    }
    PixelBlock3x3 block;
    for (LONG c = 0; c < job.width; ++c) {
        const std::size_t at = static_cast<std::size_t>(c) * 4;
        std::memcpy(block.px[0], below + at, 12);
        std::memcpy(block.px[3], own + at, 12);
        std::memcpy(block.px[6], above + at, 12);
        job.op(&block);
        std::memcpy(out + at, block.px[4], 4);
    }
}

// A band of rows [start, end) and its four padded row buffers: three
// rolling ones and the row after the band, copied before any band writes.
struct Band {
    LONG start;
    LONG end;
    BYTE* buffers;
};

void PreloadBand(const InPlaceJob& job, const Band& band)
{
    const std::size_t rowBytes = PaddedRowBytes(job);
    LoadPaddedRow(job, band.start - 1, band.buffers);
    LoadPaddedRow(job, band.start, band.buffers + rowBytes);
    LoadPaddedRow(job, band.end, band.buffers + 3 * rowBytes);
}

// Every row of the band sees its neighbours as they were at the start of
// the pass: rows of the band are copied before they are written, and the
// rows beyond the band were copied by PreloadBand.
void RunBand(const InPlaceJob& job, const Band& band)
{
    const std::size_t rowBytes = PaddedRowBytes(job);
    BYTE* rows[3] = {band.buffers, band.buffers + rowBytes, band.buffers + 2 * rowBytes};
    BYTE* after = band.buffers + 3 * rowBytes;
    const std::size_t imageRowBytes = static_cast<std::size_t>(job.width) * 4;
    for (LONG r = band.start; r < band.end; ++r) {
        BYTE* above = rows[2];
        if (r + 1 == band.end)
            above = after;
        else
            LoadPaddedRow(job, r + 1, above);
        ProcessRow(job, rows[0], rows[1], above, job.pixels + static_cast<std::size_t>(r) * imageRowBytes);
        BYTE* spare = rows[0];
        rows[0] = rows[1];
        rows[1] = above;
        rows[2] = spare;
    }
}

// Runs one pass: bands on every core for large pictures.  A band whose
// thread cannot be started runs on this thread afterwards.
void RunPassInBands(const InPlaceJob& job, Band* bands, int bandCount)
{
    for (int i = 0; i < bandCount; ++i)
        PreloadBand(job, bands[i]);
    std::thread workers[kMaxBands];
    bool started[kMaxBands] = {};
    for (int i = 1; i < bandCount; ++i) {
        try {
            workers[i] = std::thread(RunBand, std::cref(job), std::cref(bands[i]));
            started[i] = true;
        } catch (...) {
            started[i] = false;
        }
    }
    RunBand(job, bands[0]);
    for (int i = 1; i < bandCount; ++i) {
        if (started[i])
            workers[i].join();
        else
            RunBand(job, bands[i]);
    }
}

int BandCountFor(LONG width, LONG height)
{
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    if (pixels < kPixelsPerBand || height < 2)
        return 1;
    int cores = static_cast<int>(std::thread::hardware_concurrency());
    if (cores < 1)
        cores = 1;
    const std::int64_t byWork = pixels / kPixelsPerBand;
    int bands = static_cast<int>(std::min<std::int64_t>({cores, kMaxBands, byWork, height}));
    return bands < 1 ? 1 : bands;
}

}  // namespace

int ApplyNeighbourhoodFilter(HWND window, HGLOBAL block)
{
    (void)window;  // nothing is drawn
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    if (!dib)
        return -1;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    const LONG width = header->biWidth;
    const LONG height = header->biHeight;
    const int filterKind = FilterSettings.filterKind;
    int passes = 1;
    if (ProcessingMode == 1 && filterKind == kFilterSoft)
        passes = FilterSettings.softStrength;
    if ((ProcessingMode != 1 && ProcessingMode != 2) || passes <= 0 || width <= 0 || height <= 0) {
        GlobalUnlock(block);
        return 0;
    }

    // Working memory: the frame (two padded rows and two columns) and four
    // padded rows per band; no full-size copy of the picture.
    const int bandCount = BandCountFor(width, height);
    const std::size_t paddedRow = (static_cast<std::size_t>(width) + 2) * 4;
    const std::size_t frameBytes = 2 * paddedRow + 2 * static_cast<std::size_t>(height) * 4;
    HGLOBAL work = GlobalAlloc(GHND, frameBytes + static_cast<std::size_t>(bandCount) * 4 * paddedRow);
    if (!work) {
        GlobalUnlock(block);
        return -1;
    }
    auto* memory = static_cast<BYTE*>(GlobalLock(work));

    InPlaceJob job = {};
    job.pixels = WorkDibPixels(dib);
    job.width = width;
    job.height = height;
    BYTE* below = memory;
    BYTE* above = below + paddedRow;
    BYTE* left = above + paddedRow;
    BYTE* right = left + static_cast<std::size_t>(height) * 4;
    const std::size_t imageRow = static_cast<std::size_t>(width) * 4;
    for (LONG r = 0; r < height; ++r) {
        std::memcpy(left + static_cast<std::size_t>(r) * 4, job.pixels + r * imageRow, 4);
        std::memcpy(right + static_cast<std::size_t>(r) * 4, job.pixels + r * imageRow + imageRow - 4, 4);
    }
    // The frame rows repeat the edge rows, corners included.
    std::memcpy(below, left, 4);
    std::memcpy(below + 4, job.pixels, imageRow);
    std::memcpy(below + 4 + imageRow, right, 4);
    std::memcpy(above, left + static_cast<std::size_t>(height - 1) * 4, 4);
    std::memcpy(above + 4, job.pixels + (height - 1) * imageRow, imageRow);
    std::memcpy(above + 4 + imageRow, right + static_cast<std::size_t>(height - 1) * 4, 4);
    job.frameBelow = below;
    job.frameAbove = above;
    job.frameLeft = left;
    job.frameRight = right;
    job.byRows = ProcessingMode == 1 && PrepareFilterRows(filterKind, &job.plan);
    job.bumpRows = ProcessingMode == 2;
    job.op = OperatorFor(ProcessingMode, filterKind);

    Band bands[kMaxBands];
    BYTE* buffers = right + static_cast<std::size_t>(height) * 4;
    for (int i = 0; i < bandCount; ++i) {
        bands[i].start = static_cast<LONG>(static_cast<std::int64_t>(height) * i / bandCount);
        bands[i].end = static_cast<LONG>(static_cast<std::int64_t>(height) * (i + 1) / bandCount);
        bands[i].buffers = buffers + static_cast<std::size_t>(i) * 4 * paddedRow;
    }
    // Later passes (soft) start from the previous pass's result; the frame
    // stays as it was before the first.
    for (int pass = 0; pass < passes; ++pass)
        RunPassInBands(job, bands, bandCount);

    GlobalUnlock(work);
    GlobalFree(work);
    GlobalUnlock(block);
    return 0;
}

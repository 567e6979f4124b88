#include "processing/neighbourhood.h"

#include "image/blocks.h"
#include "image/image_document.h"
#include "platform/parallel.h"
#include "processing/bump.h"
#include "processing/filters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Large pictures are split into bands of rows, one per core.

using PixelOperator = void (*)(const FilterParams&, PixelBlock3x3*);

void LeaveUnchanged(const FilterParams&, PixelBlock3x3*) {}

PixelOperator OperatorFor(FilterKind kind)
{
    switch (kind) {
    case FilterKind::Sharpen:
        return SharpenPixel;
    case FilterKind::Soft:
        return SoftenPixel;
    case FilterKind::Emboss:
        return EmbossPixel;
    case FilterKind::Custom:
        return CustomKernelPixel;
    default:
        return LeaveUnchanged;
    }
}

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
    FilterRowPlan plan;
    const FilterParams* params;  // for op
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
    PixelBlock3x3 block;
    for (LONG c = 0; c < job.width; ++c) {
        const std::size_t at = static_cast<std::size_t>(c) * 4;
        std::memcpy(block.px[0], below + at, 12);
        std::memcpy(block.px[3], own + at, 12);
        std::memcpy(block.px[6], above + at, 12);
        job.op(*job.params, &block);
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

struct Pass {
    const InPlaceJob* job;
    const Band* bands;
};

void RunBandOfPass(void* context, int range, std::int64_t, std::int64_t)
{
    const auto* pass = static_cast<const Pass*>(context);
    RunBand(*pass->job, pass->bands[range]);
}

// Runs one pass: bands on every core for large pictures.  Every band reads
// the rows round it before any band writes.
void RunPassInBands(const InPlaceJob& job, Band* bands, int bandCount)
{
    for (int i = 0; i < bandCount; ++i)
        PreloadBand(job, bands[i]);
    Pass pass{&job, bands};
    ForEachRange(job.height, job.width, &pass, RunBandOfPass);
}

std::size_t WorkBytes(LONG width, LONG height)
{
    const std::size_t paddedRow = (static_cast<std::size_t>(width) + 2) * 4;
    const std::size_t frameBytes = 2 * paddedRow + 2 * static_cast<std::size_t>(height) * 4;
    return frameBytes + static_cast<std::size_t>(RangeCountFor(height, width)) * 4 * paddedRow;
}

// The passes over width x height pixels in place, with working memory of
// WorkBytes(width, height).
void RunPasses(BYTE* pixels, LONG width, LONG height, int passes, const FilterParams& params, BYTE* memory)
{
    // Working memory: the frame (two padded rows and two columns) and four
    // padded rows per band; no full-size copy of the picture.
    // The bands are ForEachRange's ranges of rows, so each range's number
    // picks its band.
    const int bandCount = RangeCountFor(height, width);
    const std::size_t paddedRow = (static_cast<std::size_t>(width) + 2) * 4;

    InPlaceJob job = {};
    job.pixels = pixels;
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
    job.byRows = PrepareFilterRows(params, &job.plan);
    job.params = &params;
    job.op = OperatorFor(params.kind);

    Band bands[kMaxRanges];
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
}

}  // namespace

Failure ApplyNeighbourhoodFilter(const FilterParams& params, HGLOBAL block)
{
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    if (!dib)
        return Failure::OutOfMemory;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    const LONG width = header->biWidth;
    const LONG height = header->biHeight;
    const int passes = params.kind == FilterKind::Soft ? params.strength : 1;
    if (passes <= 0 || width <= 0 || height <= 0) {
        GlobalUnlock(block);
        return Failure::None;
    }
    HGLOBAL work = AllocateBlock(WorkBytes(width, height));
    if (!work) {
        GlobalUnlock(block);
        return Failure::OutOfMemory;
    }
    RunPasses(WorkDibPixels(dib), width, height, passes, params, static_cast<BYTE*>(GlobalLock(work)));
    GlobalUnlock(work);
    FreeBlock(work);
    GlobalUnlock(block);
    return Failure::None;
}

Failure ApplyNeighbourhoodFilter(const BumpParams& light, HGLOBAL block)
{
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    if (!dib)
        return Failure::OutOfMemory;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    const LONG width = header->biWidth;
    const LONG height = header->biHeight;
    if (width <= 0 || height <= 0) {
        GlobalUnlock(block);
        return Failure::None;
    }
    HGLOBAL work = AllocateReliefWork(width, height);
    if (work)
        ShadeReliefInPlace(light, WorkDibPixels(dib), static_cast<std::size_t>(width) * 4, width, height, work);
    GlobalUnlock(block);
    return work ? Failure::None : Failure::OutOfMemory;
}

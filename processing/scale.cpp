#include "processing/scale.h"

#include "image/blocks.h"
#include "image/image_document.h"
#include "platform/parallel.h"
#include "processing/pixel_math.h"

#include <cstdint>
#include <cstring>

namespace {

struct ScaleJob {
    BYTE* target;
    std::size_t targetStride;  // bytes from one target row to the next
    LONG w, h;
    const BYTE* source;
    LONG sw, sh;
    // Per target column, the same for every row, when there was room for
    // it: the left neighbour, the right one (the left one again at the
    // source's edge) and tx.  Null: each row works them out itself.
    const LONG* x0;
    const LONG* x1;
    const double* tx;
    bool heightsOnly;  // only the 4th byte of each target pixel is written
};

inline void ColumnOf(LONG k, LONG w, LONG sw, LONG* x0, LONG* x1, double* tx)
{
    const double fx = (sw - 1) * (static_cast<double>(k) / w);
    *x0 = static_cast<LONG>(fx);
    *x1 = *x0 + 1 < sw ? *x0 + 1 : *x0;
    *tx = fx - *x0;
}

using Lanes4d = double __attribute__((vector_size(32)));
using Lanes4i = int __attribute__((vector_size(16)));
using Lanes4b = unsigned char __attribute__((vector_size(4)));

[[gnu::always_inline]] inline void LoadLanes(const BYTE* p, Lanes4d& lanes)
{
    const Lanes4i bytes = {p[0], p[1], p[2], p[3]};
    lanes = __builtin_convertvector(bytes, Lanes4d);
}

// Two neighbouring source pixels as one little-endian word: the left one's
// height in byte 3, the right one's in byte 7.
[[gnu::always_inline]] inline std::uint64_t PixelPair(const BYTE* row, LONG x)
{
    std::uint64_t pair;
    std::memcpy(&pair, row + static_cast<std::size_t>(x) * 4, 8);
    return pair;
}

// Heights of the four target pixels from column k on (the column table is
// there, and each column's right neighbour is the pixel after its left
// one), as ScaleRowFrom's sums.
[[gnu::always_inline]] inline void ScaleFourHeights(const ScaleJob& job, LONG k, double ty, const BYTE* row0,
                                                    const BYTE* row1, BYTE* out)
{
    const LONG* x0 = job.x0 + k;
    const Lanes4d tx = {job.tx[k], job.tx[k + 1], job.tx[k + 2], job.tx[k + 3]};
    std::uint64_t upper[4], lower[4];
    for (int i = 0; i < 4; ++i) {
        upper[i] = PixelPair(row0, x0[i]);
        lower[i] = PixelPair(row1, x0[i]);
    }
    const auto height = [](std::uint64_t pair, int shift) { return static_cast<int>(pair >> shift & 0xFF); };
    const Lanes4i h00 = {height(upper[0], 24), height(upper[1], 24), height(upper[2], 24), height(upper[3], 24)};
    const Lanes4i h10 = {height(upper[0], 56), height(upper[1], 56), height(upper[2], 56), height(upper[3], 56)};
    const Lanes4i h01 = {height(lower[0], 24), height(lower[1], 24), height(lower[2], 24), height(lower[3], 24)};
    const Lanes4i h11 = {height(lower[0], 56), height(lower[1], 56), height(lower[2], 56), height(lower[3], 56)};
    const Lanes4d w10 = tx * (1 - ty);
    const Lanes4d w00 = (1 - tx) * (1 - ty);
    const Lanes4d w11 = tx * ty;
    const Lanes4d w01 = (1 - tx) * ty;
    const Lanes4d v = w10 * __builtin_convertvector(h10, Lanes4d) + w00 * __builtin_convertvector(h00, Lanes4d) +
                      w11 * __builtin_convertvector(h11, Lanes4d) + w01 * __builtin_convertvector(h01, Lanes4d) + 0.5;
    Lanes4i n = __builtin_convertvector(v, Lanes4i);
    n = n < 0 ? 0 : n;
    n = n > 255 ? 255 : n;
    for (int i = 0; i < 4; ++i)
        out[i * 4 + 3] = static_cast<BYTE>(n[i]);
}

// Target row j (from the top) samples the source at (sw - 1) * (k / w),
// (sh - 1) * (j / h); each byte is the weighted sum of its four neighbours
// plus 0.5, truncated and clamped.  The weights are the products of the
// formula, formed before they multiply the bytes, in the same order.
// First is the first byte of each pixel written: 0 for all four, 3 for the
// heights alone (the same sums for that byte).
template <int First>
QUILLVANE_ROW_BODY void ScaleRowFrom(const ScaleJob& job, LONG j)
{
    const LONG w = job.w, h = job.h, sw = job.sw, sh = job.sh;
    const std::size_t sourceStride = static_cast<std::size_t>(sw) * 4;
    const double fy = (sh - 1) * (static_cast<double>(j) / h);
    const LONG y0 = static_cast<LONG>(fy);
    const double ty = fy - y0;
    // A source one row high has no row below; its weight is 0 then.
    const LONG y1 = y0 + 1 < sh ? y0 + 1 : y0;
    const BYTE* row0 = job.source + static_cast<std::size_t>(sh - 1 - y0) * sourceStride;
    const BYTE* row1 = job.source + static_cast<std::size_t>(sh - 1 - y1) * sourceStride;
    BYTE* out = job.target + static_cast<std::size_t>(h - 1 - j) * job.targetStride;
    LONG k = 0;
    if constexpr (First == 3) {
        // Heights alone: four target pixels side by side, the same sums
        // lane by lane.  The left neighbours grow with the column, so
        // when the last one has a pixel after it, every column's right
        // neighbour is the pixel after its left one.
        if (job.tx && job.x0[w - 1] + 1 < sw)
            for (; k + 4 <= w; k += 4, out += 16)
                ScaleFourHeights(job, k, ty, row0, row1, out);
    }
    for (; k < w; ++k, out += 4) {
        LONG x0, x1;
        double tx;
        if (job.tx) {
            x0 = job.x0[k];
            x1 = job.x1[k];
            tx = job.tx[k];
        } else {
            ColumnOf(k, w, sw, &x0, &x1, &tx);
        }
        const double w10 = tx * (1 - ty);
        const double w00 = (1 - tx) * (1 - ty);
        const double w11 = tx * ty;
        const double w01 = (1 - tx) * ty;
        const BYTE* p00 = row0 + static_cast<std::size_t>(x0) * 4;
        const BYTE* p10 = row0 + static_cast<std::size_t>(x1) * 4;
        const BYTE* p01 = row1 + static_cast<std::size_t>(x0) * 4;
        const BYTE* p11 = row1 + static_cast<std::size_t>(x1) * 4;
        if constexpr (First == 0) {
            // The four bytes of a pixel side by side: the same sums, lane by lane.
            Lanes4d b10, b00, b11, b01;
            LoadLanes(p10, b10);
            LoadLanes(p00, b00);
            LoadLanes(p11, b11);
            LoadLanes(p01, b01);
            const Lanes4d v = w10 * b10 + w00 * b00 + w11 * b11 + w01 * b01 + 0.5;
            Lanes4i n = __builtin_convertvector(v, Lanes4i);
            n = n < 0 ? 0 : n;
            n = n > 255 ? 255 : n;
            const Lanes4b bytes = __builtin_convertvector(n, Lanes4b);
            std::memcpy(out, &bytes, 4);
        } else {
            for (int c = First; c < 4; ++c) {
                const double v = w10 * p10[c] + w00 * p00[c] + w11 * p11[c] + w01 * p01[c] + 0.5;
                const int n = static_cast<int>(v);
                out[c] = static_cast<BYTE>(n < 0 ? 0 : n > 255 ? 255 : n);
            }
        }
    }
}

constexpr RowVersions<ScaleRowFrom<0>> ScaleRow;
constexpr RowVersions<ScaleRowFrom<3>> ScaleHeightsRow;

void ScaleRange(void* context, int, std::int64_t begin, std::int64_t end)
{
    const auto* job = static_cast<const ScaleJob*>(context);
    for (std::int64_t j = begin; j < end; ++j) {
        if (job->heightsOnly)
            ScaleHeightsRow(*job, static_cast<LONG>(j));
        else
            ScaleRow(*job, static_cast<LONG>(j));
    }
}

void Resample(BYTE* target, std::size_t targetStride, LONG w, LONG h, const BYTE* source, LONG sw, LONG sh,
              bool heightsOnly)
{
    if (w <= 0 || h <= 0)
        return;
    ScaleJob job = {target, targetStride, w, h, source, sw, sh, nullptr, nullptr, nullptr, heightsOnly};
    HGLOBAL columns = GlobalAlloc(GHND, static_cast<std::size_t>(w) * (sizeof(double) + 2 * sizeof(LONG)));
    if (columns) {
        auto* memory = static_cast<BYTE*>(GlobalLock(columns));
        auto* txs = reinterpret_cast<double*>(memory);
        auto* x0s = reinterpret_cast<LONG*>(memory + static_cast<std::size_t>(w) * sizeof(double));
        auto* x1s = x0s + w;
        for (LONG k = 0; k < w; ++k)
            ColumnOf(k, w, sw, &x0s[k], &x1s[k], &txs[k]);
        job.x0 = x0s;
        job.x1 = x1s;
        job.tx = txs;
    }
    ForEachRange(h, static_cast<std::int64_t>(w) * 8, &job, ScaleRange);
    if (columns) {
        GlobalUnlock(columns);
        GlobalFree(columns);
    }
}

}  // namespace

void ScalePixels(BYTE* target, LONG w, LONG h, const BYTE* source, LONG sw, LONG sh)
{
    Resample(target, static_cast<std::size_t>(w) * 4, w, h, source, sw, sh, false);
}

void ScaleHeights(BYTE* target, std::size_t targetStride, LONG w, LONG h, const BYTE* source, LONG sw, LONG sh)
{
    Resample(target, targetStride, w, h, source, sw, sh, true);
}

int ScaleDib(HGLOBAL* out, const BYTE* source, const RECT* target, BITMAPINFO* outHeader)
{
    const LONG w = target->right - target->left;
    const LONG h = target->bottom - target->top;
    *out = nullptr;
    if (w < 0 || h < 0)
        return -1;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(source);
    const LONG sw = header->biWidth;
    const LONG sh = header->biHeight;
    // Resampling writes every byte of every pixel, so a block it fills need
    // not be cleared first; an empty source leaves the pixels zero.
    const bool resampled = sw > 0 && sh > 0;
    const std::size_t bytes = WorkDibBlockBytes(w, h);
    HGLOBAL block = resampled ? AllocateBlockToFill(bytes) : AllocateBlock(bytes);
    if (!block)
        return -1;
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    WriteWorkDibHeader(dib, w, h);
    std::memset(dib + WorkDibBytes(w, h), 0, kWorkDibSpareBytes);
    *outHeader = {};
    std::memcpy(outHeader, dib, sizeof(BITMAPINFOHEADER));
    if (resampled)
        ScalePixels(WorkDibPixels(dib), w, h, WorkDibPixels(source), sw, sh);
    GlobalUnlock(block);
    *out = block;
    return 0;
}

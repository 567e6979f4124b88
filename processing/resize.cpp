#include "processing/resize.h"

#include "image/blocks.h"
#include "image/image_document.h"
#include "platform/parallel.h"
#include "processing/cpu_dispatch.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// ---- The new size -------------------------------------------------------------

// n * num / den rounded half up, at least 1 (all positive).
std::int64_t ScaledSide(std::int64_t n, std::int64_t num, std::int64_t den)
{
    return std::max<std::int64_t>(1, (2 * n * num + den) / (2 * den));
}

bool InRange(std::int64_t v, const ParamRange& range)
{
    return v >= range.min && v <= range.max;
}

// ---- The weights of one axis -------------------------------------------------------

// New pixel k of an axis reads source pixels first[k] .. first[k] + count[k]
// - 1 with the weights from weights[start[k]] on; every new pixel's weights
// add up to total.
struct AxisTaps {
    std::vector<std::int32_t> first;
    std::vector<std::int32_t> count;
    std::vector<std::int32_t> start;
    std::vector<std::uint32_t> weights;
    std::uint64_t total = 0;
};

void AddPixel(AxisTaps* taps, std::int64_t first)
{
    taps->first.push_back(static_cast<std::int32_t>(first));
    taps->count.push_back(0);
    taps->start.push_back(static_cast<std::int32_t>(taps->weights.size()));
}

void AddTap(AxisTaps* taps, std::int64_t weight)
{
    taps->weights.push_back(static_cast<std::uint32_t>(weight));
    ++taps->count.back();
}

// m source pixels to n <= m: in units of 1/n source pixel (m/n of which make
// a new pixel), new pixel k covers [k m, (k + 1) m) and source pixel i
// covers [i n, (i + 1) n); the weight is their overlap.
void AreaTaps(std::int64_t m, std::int64_t n, AxisTaps* taps)
{
    taps->total = static_cast<std::uint64_t>(m);
    for (std::int64_t k = 0; k < n; ++k) {
        const std::int64_t lo = k * m;
        const std::int64_t hi = lo + m;
        AddPixel(taps, lo / n);
        for (std::int64_t i = lo / n; i <= (hi - 1) / n; ++i)
            AddTap(taps, std::min((i + 1) * n, hi) - std::max(i * n, lo));
    }
}

// m source pixels to n > m: new pixel k's centre lies at ((2k + 1) m - n) /
// 2n in source pixels (source centres at whole numbers); the weights are
// in units of 1/2n, and positions beyond the outer centres take the outer
// pixel alone.
void BilinearTaps(std::int64_t m, std::int64_t n, AxisTaps* taps)
{
    const std::int64_t den = 2 * n;
    taps->total = static_cast<std::uint64_t>(den);
    for (std::int64_t k = 0; k < n; ++k) {
        const std::int64_t num = (2 * k + 1) * m - n;
        const std::int64_t i = num <= 0 ? 0 : std::min(num / den, m - 1);
        const std::int64_t f = num <= 0 || i == m - 1 ? 0 : num % den;
        AddPixel(taps, i);
        AddTap(taps, den - f);
        if (f != 0)
            AddTap(taps, f);
    }
}

void MakeTaps(std::int64_t m, std::int64_t n, AxisTaps* taps)
{
    taps->first.reserve(static_cast<std::size_t>(n));
    taps->count.reserve(static_cast<std::size_t>(n));
    taps->start.reserve(static_cast<std::size_t>(n));
    taps->weights.reserve(static_cast<std::size_t>(m + 2 * n));
    if (n <= m)
        AreaTaps(m, n, taps);
    else
        BilinearTaps(m, n, taps);
}

// ---- The resampling ------------------------------------------------------------

struct ResizeJob {
    const BYTE* source;
    const std::uint8_t* alpha;  // null: the opaque version
    LONG sw, sh, w, h;
    const AxisTaps* across;
    const AxisTaps* down;
    BYTE* target;
    std::uint8_t* targetAlpha;
    void* scratch;  // per range: two reduced rows and a sum row, w * channels each
};

// Opaque pictures: the four bytes as they are, summed in doubles, which
// hold every sum exactly (at most 255 * 2^21 * 2^21 < 2^53).
struct Opaque {
    using Sum = double;
    static constexpr int kChannels = 4;
};

// Pictures with transparency: alpha, blue, green and red times alpha, blue,
// green and red, and the height, in 64-bit integers (alpha times a colour
// times the weights reaches 2^58).
struct Transparent {
    using Sum = std::uint64_t;
    static constexpr int kChannels = 8;
};

// The sums of source row r (from the top) along the axis, for every new
// column: out[k * channels + c].
template <typename P>
QUILLVANE_ROW_BODY void ReduceRowBody(const ResizeJob& job, LONG r, typename P::Sum* out)
{
    using Sum = typename P::Sum;
    constexpr int C = P::kChannels;
    const std::size_t stored = static_cast<std::size_t>(job.sh - 1 - r);
    const BYTE* row = job.source + stored * static_cast<std::size_t>(job.sw) * 4;
    const std::uint8_t* a = job.alpha ? job.alpha + stored * static_cast<std::size_t>(job.sw) : nullptr;
    const AxisTaps& t = *job.across;
    for (LONG k = 0; k < job.w; ++k, out += C) {
        Sum s[C] = {};
        const std::uint32_t* weight = t.weights.data() + t.start[static_cast<std::size_t>(k)];
        const std::int32_t first = t.first[static_cast<std::size_t>(k)];
        const std::int32_t count = t.count[static_cast<std::size_t>(k)];
        for (std::int32_t n = 0; n < count; ++n) {
            const BYTE* p = row + static_cast<std::size_t>(first + n) * 4;
            const Sum wt = weight[n];
            if constexpr (C == 4) {
                for (int c = 0; c < 4; ++c)
                    s[c] += wt * p[c];
            } else {
                const Sum wa = wt * a[first + n];
                s[0] += wa;
                for (int c = 0; c < 3; ++c) {
                    s[1 + c] += wa * p[c];
                    s[4 + c] += wt * p[c];
                }
                s[7] += wt * p[3];
            }
        }
        for (int c = 0; c < C; ++c)
            out[c] = s[c];
    }
}

// sum[i] (+)= weight * row[i] over a whole row of sums.
template <typename Sum>
QUILLVANE_ROW_BODY void AccumulateBody(Sum* sum, const Sum* row, std::size_t n, Sum weight, bool first)
{
    if (first)
        for (std::size_t i = 0; i < n; ++i)
            sum[i] = weight * row[i];
    else
        for (std::size_t i = 0; i < n; ++i)
            sum[i] += weight * row[i];
}

// n / d rounded half up.
inline std::uint64_t Rounded(std::uint64_t n, std::uint64_t d)
{
    return (2 * n + d) / (2 * d);
}

// One finished row of sums (total: the product of both axes' totals) into
// the new picture's row j from the top.
QUILLVANE_ROW_BODY void FinishOpaqueBody(const ResizeJob& job, LONG j, const double* sum, double total)
{
    BYTE* out = job.target + static_cast<std::size_t>(job.h - 1 - j) * static_cast<std::size_t>(job.w) * 4;
    const std::size_t n = static_cast<std::size_t>(job.w) * 4;
    const double twice = 2 * total;
    // Exact: 2 sum + total is a whole number below 2^53, and a correctly
    // rounded quotient below a whole number stays below it.
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<BYTE>(static_cast<int>((2 * sum[i] + total) / twice));
}

void FinishTransparent(const ResizeJob& job, LONG j, const std::uint64_t* sum, std::uint64_t total)
{
    const std::size_t stored = static_cast<std::size_t>(job.h - 1 - j) * static_cast<std::size_t>(job.w);
    BYTE* out = job.target + stored * 4;
    std::uint8_t* alpha = job.targetAlpha + stored;
    for (LONG k = 0; k < job.w; ++k, sum += 8, out += 4) {
        const std::uint64_t a = sum[0];
        alpha[k] = static_cast<std::uint8_t>(Rounded(a, total));
        for (int c = 0; c < 3; ++c)
            out[c] = static_cast<BYTE>(a > 0 ? Rounded(sum[1 + c], a) : Rounded(sum[4 + c], total));
        out[3] = static_cast<BYTE>(Rounded(sum[7], total));
    }
}

constexpr RowVersions<ReduceRowBody<Opaque>> ReduceOpaqueRow;
constexpr RowVersions<ReduceRowBody<Transparent>> ReduceTransparentRow;
constexpr RowVersions<AccumulateBody<double>> AccumulateOpaque;
constexpr RowVersions<AccumulateBody<std::uint64_t>> AccumulateTransparent;
constexpr RowVersions<FinishOpaqueBody> FinishOpaque;

template <typename P>
void ResizeRows(const ResizeJob& job, int range, std::int64_t begin, std::int64_t end)
{
    using Sum = typename P::Sum;
    constexpr bool opaque = P::kChannels == 4;
    const std::size_t n = static_cast<std::size_t>(job.w) * P::kChannels;
    Sum* rows[2] = {static_cast<Sum*>(job.scratch) + static_cast<std::size_t>(range) * 3 * n, nullptr};
    rows[1] = rows[0] + n;
    Sum* sum = rows[1] + n;
    // The two source rows reduced last (rows go down, so a row shared by
    // two new rows is reduced once).
    LONG held[2] = {-1, -1};
    const AxisTaps& t = *job.down;
    const Sum total = static_cast<Sum>(t.total * job.across->total);
    for (std::int64_t j = begin; j < end; ++j) {
        const std::size_t jj = static_cast<std::size_t>(j);
        const std::uint32_t* weight = t.weights.data() + t.start[jj];
        for (std::int32_t i = 0; i < t.count[jj]; ++i) {
            const LONG r = t.first[jj] + i;
            int slot = held[0] == r ? 0 : held[1] == r ? 1 : -1;
            if (slot < 0) {
                slot = held[0] < held[1] ? 0 : 1;
                held[slot] = r;
                if constexpr (opaque)
                    ReduceOpaqueRow(job, r, rows[slot]);
                else
                    ReduceTransparentRow(job, r, rows[slot]);
            }
            if constexpr (opaque)
                AccumulateOpaque(sum, rows[slot], n, static_cast<Sum>(weight[i]), i == 0);
            else
                AccumulateTransparent(sum, rows[slot], n, static_cast<Sum>(weight[i]), i == 0);
        }
        if constexpr (opaque)
            FinishOpaque(job, static_cast<LONG>(j), sum, total);
        else
            FinishTransparent(job, static_cast<LONG>(j), sum, total);
    }
}

template <typename P>
void ResizeRange(void* context, int range, std::int64_t begin, std::int64_t end)
{
    ResizeRows<P>(*static_cast<const ResizeJob*>(context), range, begin, end);
}

template <typename P>
Failure RunResize(ResizeJob* job, std::int64_t costPerRow)
{
    const int ranges = RangeCountFor(job->h, costPerRow);
    std::vector<typename P::Sum> scratch;
    try {
        scratch.resize(static_cast<std::size_t>(ranges) * 3 * static_cast<std::size_t>(job->w) * P::kChannels);
    } catch (const std::bad_alloc&) {
        return Failure::OutOfMemory;
    }
    job->scratch = scratch.data();
    ForEachRange(job->h, costPerRow, job, ResizeRange<P>);
    return Failure::None;
}

bool HasTransparentByte(std::span<const std::uint8_t> alpha)
{
    return std::any_of(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a != 255; });
}

// A new, unlocked WorkDib block of width x height with its header written
// and the spare bytes cleared; the caller fills the pixels.  Null when
// there is no memory.
HGLOBAL NewPictureBlock(LONG width, LONG height, BYTE** locked)
{
    HGLOBAL block = AllocateBlockToFill(WorkDibBlockBytes(width, height));
    if (!block)
        return nullptr;
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    WriteWorkDibHeader(dib, width, height);
    std::memset(dib + WorkDibBytes(width, height), 0, kWorkDibSpareBytes);
    *locked = dib;
    return block;
}

// An alpha plane of count bytes (all value), or false when there is no
// memory.
bool MakePlane(std::vector<std::uint8_t>* plane, std::size_t count, std::uint8_t value)
{
    try {
        plane->assign(count, value);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

PictureBlock Failed(Failure failure)
{
    PictureBlock result;
    result.failure = failure;
    return result;
}

std::size_t PixelCount(LONG width, LONG height)
{
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

}  // namespace

Failure ResizedSize(const ResizeRequest& request, LONG width, LONG height, LONG* newWidth, LONG* newHeight)
{
    if (width < 1 || height < 1)
        return Failure::BadSize;
    const std::int64_t w = width;
    const std::int64_t h = height;
    std::int64_t nw = 0;
    std::int64_t nh = 0;
    switch (request.rule) {
    case ResizeRule::LongEdge:
        if (!InRange(request.longEdge, kResizeSide))
            return Failure::BadSize;
        nw = w >= h ? request.longEdge : ScaledSide(w, request.longEdge, h);
        nh = w >= h ? ScaledSide(h, request.longEdge, w) : request.longEdge;
        break;
    case ResizeRule::Percent:
        if (!InRange(request.millionths, kResizeMillionths))
            return Failure::BadSize;
        nw = ScaledSide(w, request.millionths, kResizeWhole);
        nh = ScaledSide(h, request.millionths, kResizeWhole);
        break;
    case ResizeRule::Fit:
        if (!InRange(request.boxWidth, kResizeSide) || !InRange(request.boxHeight, kResizeSide))
            return Failure::BadSize;
        // The width limits when boxWidth / w <= boxHeight / h.
        if (request.boxWidth * h <= request.boxHeight * w) {
            nw = request.boxWidth;
            nh = ScaledSide(h, request.boxWidth, w);
        } else {
            nw = ScaledSide(w, request.boxHeight, h);
            nh = request.boxHeight;
        }
        break;
    }
    if (!PictureSizeAllowed(nw, nh))
        return Failure::TooLarge;
    *newWidth = static_cast<LONG>(nw);
    *newHeight = static_cast<LONG>(nh);
    return Failure::None;
}

PictureBlock ResizePicture(const ResizeParams& params, const BYTE* pixels, LONG width, LONG height,
                           std::span<const std::uint8_t> alpha)
{
    const LONG w = params.width;
    const LONG h = params.height;
    if (w < 1 || h < 1 || width < 1 || height < 1 || (!alpha.empty() && alpha.size() != PixelCount(width, height)))
        return Failed(Failure::BadSize);
    if (!PictureSizeAllowed(w, h))
        return Failed(Failure::TooLarge);
    const bool transparent = HasTransparentByte(alpha);
    AxisTaps across, down;
    PictureBlock result;
    try {
        MakeTaps(width, w, &across);
        MakeTaps(height, h, &down);
    } catch (const std::bad_alloc&) {
        return Failed(Failure::OutOfMemory);
    }
    if (!alpha.empty() && !MakePlane(&result.alpha, PixelCount(w, h), 255))
        return Failed(Failure::OutOfMemory);
    BYTE* dib = nullptr;
    result.block = NewPictureBlock(w, h, &dib);
    if (!result.block)
        return Failed(Failure::OutOfMemory);
    ResizeJob job = {pixels, transparent ? alpha.data() : nullptr, width, height, w, h, &across, &down,
                     WorkDibPixels(dib), result.alpha.data(), nullptr};
    // A new row reduces about height / h source rows of width pixels.
    const std::int64_t cost = (static_cast<std::int64_t>(width) + w) * (height / h + 2);
    const Failure failure = transparent ? RunResize<Transparent>(&job, cost) : RunResize<Opaque>(&job, cost);
    GlobalUnlock(result.block);
    if (failure != Failure::None) {
        FreeBlock(result.block);
        return Failed(failure);
    }
    result.width = w;
    result.height = h;
    return result;
}

bool CropFits(const PictureRect& rect, LONG width, LONG height)
{
    return rect.left >= 0 && rect.top >= 0 && rect.left <= rect.right && rect.top <= rect.bottom &&
           rect.right < width && rect.bottom < height;
}

PictureBlock CropPicture(const PictureRect& rect, const BYTE* pixels, LONG width, LONG height,
                         std::span<const std::uint8_t> alpha)
{
    if (!CropFits(rect, width, height) || (!alpha.empty() && alpha.size() != PixelCount(width, height)))
        return Failed(Failure::BadSize);
    const LONG w = rect.right - rect.left + 1;
    const LONG h = rect.bottom - rect.top + 1;
    PictureBlock result;
    if (!alpha.empty() && !MakePlane(&result.alpha, PixelCount(w, h), 0))
        return Failed(Failure::OutOfMemory);
    BYTE* dib = nullptr;
    result.block = NewPictureBlock(w, h, &dib);
    if (!result.block)
        return Failed(Failure::OutOfMemory);
    BYTE* out = WorkDibPixels(dib);
    // Stored row y of the new picture is screen row rect.top + h - 1 - y,
    // stored row height - 1 - (that) of the source.
    for (LONG y = 0; y < h; ++y) {
        const std::size_t from = static_cast<std::size_t>(height - rect.top - h + y) * static_cast<std::size_t>(width) +
                                 static_cast<std::size_t>(rect.left);
        const std::size_t to = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        std::memcpy(out + to * 4, pixels + from * 4, static_cast<std::size_t>(w) * 4);
        if (!alpha.empty())
            std::memcpy(result.alpha.data() + to, alpha.data() + from, static_cast<std::size_t>(w));
    }
    GlobalUnlock(result.block);
    result.width = w;
    result.height = h;
    return result;
}

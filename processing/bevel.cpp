#include "processing/bevel.h"

#include "image/blocks.h"
#include "platform/parallel.h"

#include <algorithm>
#include <cstddef>

namespace {

// A 128-bit product of two 64-bit numbers, compared as (hi, lo): the
// rounding test of the profile needs more than 64 bits, and the 32-bit
// compilers have no 128-bit type.
struct Wide {
    std::uint64_t hi, lo;
    friend bool operator<=(const Wide& a, const Wide& b) { return a.hi < b.hi || (a.hi == b.hi && a.lo <= b.lo); }
};

Wide Multiply(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32;
    const std::uint64_t b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
    const std::uint64_t low = a0 * b0;
    const std::uint64_t mid1 = a1 * b0;
    const std::uint64_t mid2 = a0 * b1;
    const std::uint64_t carry = ((low >> 32) + (mid1 & 0xFFFFFFFFu) + (mid2 & 0xFFFFFFFFu)) >> 32;
    return {a1 * b1 + (mid1 >> 32) + (mid2 >> 32) + carry, a * b};
}

// True when the height h (1..255) is reached at squared distance d2 < w^2:
// h - 1/2 <= 255 s, s^2 = (2 w d - d2) / w^2, d = sqrt(d2).  Multiplied
// out: (2h - 1)^2 w^2 + 4 * 255^2 d2 <= 8 * 255^2 w d, both sides squared.
bool Reaches(int h, std::uint64_t d2, std::uint64_t w)
{
    constexpr std::uint64_t k = 255u * 255u;
    const std::uint64_t odd = static_cast<std::uint64_t>(2 * h - 1);
    const std::uint64_t left = odd * odd * w * w + 4 * k * d2;
    const std::uint64_t scale = 8 * k * w;
    return Multiply(left, left) <= Multiply(scale, scale * d2);
}

constexpr int Clamp(int width)
{
    return std::clamp(width, kBevelWidth.min, kBevelWidth.max);
}

// What a pixel costs in ForEachRange's units: about 2 ns down the
// columns, 10 along the rows.
constexpr std::int64_t kColumnCost = 3;
constexpr std::int64_t kRowCost = 16;

// One row's parabolas: the squared column distances f, the envelope's
// parabolas v (their columns) and where each begins, zn / zd.
struct RowWork {
    std::int64_t* zn;
    std::int64_t* zd;
    std::int32_t* f;
    std::int32_t* v;
};

std::size_t RowWorkBytes(std::size_t width)
{
    return (width + 1) * 16 + width * 8;
}

// The 8-byte fractions first, so that every array is aligned.
RowWork CarveRowWork(BYTE* base, std::size_t width)
{
    RowWork work;
    work.zn = reinterpret_cast<std::int64_t*>(base);
    work.zd = work.zn + width + 1;
    work.f = reinterpret_cast<std::int32_t*>(work.zd + width + 1);
    work.v = work.f + width;
    return work;
}

// One bevel: the mark, the squared distances of every pixel, the heights
// of every squared distance up to the cap, and each range's row work.
struct BevelJob {
    BYTE* pixels;
    std::size_t width;
    std::size_t height;
    std::int32_t w;
    std::int32_t* distance;
    std::uint8_t* heights;
    RowWork rows[kMaxRanges];
};

// The height of every squared distance 0..w^2: it never falls as the
// distance grows, so one sweep finds them all.
void FillHeights(std::uint8_t* heights, int w)
{
    const std::uint64_t cap = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(w);
    int h = 0;
    for (std::uint64_t d2 = 0; d2 < cap; ++d2) {
        while (h < 255 && Reaches(h + 1, d2, static_cast<std::uint64_t>(w)))
            ++h;
        heights[d2] = static_cast<std::uint8_t>(h);
    }
    heights[cap] = 255;
}

// Down the columns begin..end: each pixel's distance to the nearest
// outside pixel in its column, at most w (w^2 is the cap), squared.
void ColumnRange(void* context, int, std::int64_t begin, std::int64_t end)
{
    const auto* job = static_cast<const BevelJob*>(context);
    const std::size_t n = job->width;
    const std::size_t b = static_cast<std::size_t>(begin), e = static_cast<std::size_t>(end);
    const std::int32_t w = job->w;
    for (std::size_t r = 0; r < job->height; ++r) {
        const BYTE* p = job->pixels + r * n * kBytesPerPixel + 3;
        std::int32_t* d = job->distance + r * n;
        for (std::size_t c = b; c < e; ++c) {
            const std::int32_t previous = r > 0 ? d[c - n] : w;
            d[c] = p[4 * c] >= kBevelInside ? std::min(previous + 1, w) : 0;
        }
    }
    for (std::size_t r = job->height; r-- > 0;) {
        std::int32_t* d = job->distance + r * n;
        for (std::size_t c = b; c < e; ++c) {
            const std::int32_t g = r + 1 < job->height ? std::min(d[c], d[c + n] + 1) : d[c];
            d[c] = g;
        }
    }
    for (std::size_t r = 0; r < job->height; ++r) {
        std::int32_t* d = job->distance + r * n;
        for (std::size_t c = b; c < e; ++c)
            d[c] *= d[c];
    }
}

// Along one row: d[x] = min over q of (x - q)^2 + f[q], the lower envelope
// of the parabolas rooted at every column (Felzenszwalb and Huttenlocher),
// their crossings kept as exact fractions zn / zd.
void RowDistances(std::int32_t* d, std::size_t n, const RowWork& work)
{
    std::int32_t* f = work.f;
    std::copy(d, d + n, f);
    std::int32_t* v = work.v;
    std::int64_t* zn = work.zn;
    std::int64_t* zd = work.zd;
    std::size_t k = 0;
    v[0] = 0;
    for (std::size_t q = 1; q < n; ++q) {
        const std::int64_t fq = f[q] + static_cast<std::int64_t>(q) * static_cast<std::int64_t>(q);
        for (;;) {
            const std::int64_t p = v[k];
            const std::int64_t num = fq - (f[p] + p * p);
            const std::int64_t den = 2 * (static_cast<std::int64_t>(q) - p);
            // The new parabola lies below the last one from num / den on;
            // where that is before the last one's own start, the last one
            // is never the lowest.
            if (k > 0 && num * zd[k] <= zn[k] * den) {
                --k;
                continue;
            }
            ++k;
            v[k] = static_cast<std::int32_t>(q);
            zn[k] = num;
            zd[k] = den;
            break;
        }
    }
    std::size_t j = 0;
    for (std::size_t x = 0; x < n; ++x) {
        const std::int64_t xx = static_cast<std::int64_t>(x);
        while (j < k && zn[j + 1] < xx * zd[j + 1])
            ++j;
        const std::int64_t dx = xx - v[j];
        d[x] = static_cast<std::int32_t>(dx * dx + f[v[j]]);
    }
}

// Along the rows begin..end, then each pixel's new height.
void RowRange(void* context, int range, std::int64_t begin, std::int64_t end)
{
    const auto* job = static_cast<const BevelJob*>(context);
    const std::size_t n = job->width;
    const std::int32_t cap = job->w * job->w;
    for (std::size_t r = static_cast<std::size_t>(begin); r < static_cast<std::size_t>(end); ++r) {
        std::int32_t* d = job->distance + r * n;
        // A row whose every column is at the cap stays there.
        if (std::any_of(d, d + n, [cap](std::int32_t x) { return x != cap; }))
            RowDistances(d, n, job->rows[range]);
        BYTE* p = job->pixels + r * n * kBytesPerPixel;
        for (std::size_t c = 0; c < n; ++c, p += kBytesPerPixel)
            p[0] = p[1] = p[2] = p[3] = job->heights[d[c]];
    }
}

}  // namespace

std::uint8_t BevelHeight(std::int64_t d2, int w)
{
    w = Clamp(w);
    const std::int64_t cap = static_cast<std::int64_t>(w) * w;
    if (w == 0 || d2 >= cap)
        return 255;
    if (d2 <= 0)
        return 0;
    int h = 0;
    while (h < 255 && Reaches(h + 1, static_cast<std::uint64_t>(d2), static_cast<std::uint64_t>(w)))
        ++h;
    return static_cast<std::uint8_t>(h);
}

Failure ApplyBevel(const BevelParams& params, ImageDocument* mark)
{
    const int w = Clamp(params.width);
    if (w == 0 || !mark->dib || mark->width <= 0 || mark->height <= 0)
        return Failure::None;
    const std::size_t width = static_cast<std::size_t>(mark->width);
    const std::size_t height = static_cast<std::size_t>(mark->height);
    const std::size_t cap = static_cast<std::size_t>(w) * static_cast<std::size_t>(w);
    const int ranges = RangeCountFor(mark->height, static_cast<std::int64_t>(width) * kRowCost);
    const std::size_t rowBytes = RowWorkBytes(width);
    HGLOBAL block =
        AllocateBlockToFill(rowBytes * static_cast<std::size_t>(ranges) + width * height * 4 + cap + 1);
    if (!block)
        return Failure::OutOfMemory;
    BYTE* base = static_cast<BYTE*>(GlobalLock(block));
    BevelJob job = {WorkDibPixels(mark->dib), width, height, w, nullptr, nullptr, {}};
    for (int r = 0; r < ranges; ++r)
        job.rows[r] = CarveRowWork(base + rowBytes * static_cast<std::size_t>(r), width);
    job.distance = reinterpret_cast<std::int32_t*>(base + rowBytes * static_cast<std::size_t>(ranges));
    job.heights = reinterpret_cast<std::uint8_t*>(job.distance + width * height);
    FillHeights(job.heights, w);
    ForEachRange(mark->width, static_cast<std::int64_t>(height) * kColumnCost, &job, ColumnRange);
    ForEachRange(mark->height, static_cast<std::int64_t>(width) * kRowCost, &job, RowRange);
    GlobalUnlock(block);
    FreeBlock(block);
    return Failure::None;
}

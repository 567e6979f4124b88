#include "processing/bevel.h"

#include "image/blocks.h"

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

// The working memory of one bevel: the squared distances of every pixel,
// the heights of every squared distance up to the width's square, and
// one row's parabolas.
struct Work {
    std::int32_t* distance;  // width x height
    std::uint8_t* heights;   // cap + 1
    std::int32_t* f;         // one row's squared column distances
    std::int32_t* v;         // the envelope's parabolas (their columns)
    std::int64_t* zn;        // where each begins: zn / zd
    std::int64_t* zd;
};

std::size_t WorkBytes(std::size_t pixels, std::size_t cap, std::size_t width)
{
    return (width + 1) * 16 + pixels * 4 + width * 8 + cap + 1;
}

// The 8-byte fractions first, so that every array is aligned.
Work CarveWork(BYTE* base, std::size_t pixels, std::size_t width)
{
    Work work;
    work.zn = reinterpret_cast<std::int64_t*>(base);
    base += (width + 1) * 8;
    work.zd = reinterpret_cast<std::int64_t*>(base);
    base += (width + 1) * 8;
    work.distance = reinterpret_cast<std::int32_t*>(base);
    base += pixels * 4;
    work.f = reinterpret_cast<std::int32_t*>(base);
    base += width * 4;
    work.v = reinterpret_cast<std::int32_t*>(base);
    base += width * 4;
    work.heights = base;
    return work;
}

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

// Down the columns: each pixel's distance to the nearest outside pixel in
// its column, at most w (w^2 is the cap), squared.
void ColumnDistances(const BYTE* pixels, LONG width, LONG height, int w, std::int32_t* distance)
{
    const std::size_t n = static_cast<std::size_t>(width);
    for (LONG r = 0; r < height; ++r) {
        const BYTE* p = pixels + static_cast<std::size_t>(r) * n * kBytesPerPixel + 3;
        std::int32_t* d = distance + static_cast<std::size_t>(r) * n;
        const std::int32_t* before = r > 0 ? d - n : nullptr;
        for (std::size_t c = 0; c < n; ++c) {
            const std::int32_t previous = before ? before[c] : w;
            d[c] = p[4 * c] >= kBevelInside ? std::min(previous + 1, w) : 0;
        }
    }
    for (LONG r = height - 1; r >= 0; --r) {
        std::int32_t* d = distance + static_cast<std::size_t>(r) * n;
        if (r < height - 1)
            for (std::size_t c = 0; c < n; ++c)
                d[c] = std::min(d[c], d[c + n] + 1);
    }
    for (std::size_t i = 0; i < n * static_cast<std::size_t>(height); ++i)
        distance[i] *= distance[i];
}

// Along one row: d[x] = min over q of (x - q)^2 + f[q], the lower envelope
// of the parabolas rooted at every column (Felzenszwalb and Huttenlocher),
// their crossings kept as exact fractions zn / zd.
void RowDistances(std::int32_t* d, std::size_t n, const Work& work)
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
    const std::size_t pixels = width * static_cast<std::size_t>(mark->height);
    const std::size_t cap = static_cast<std::size_t>(w) * static_cast<std::size_t>(w);
    HGLOBAL block = AllocateBlockToFill(WorkBytes(pixels, cap, width));
    if (!block)
        return Failure::OutOfMemory;
    const Work work = CarveWork(static_cast<BYTE*>(GlobalLock(block)), pixels, width);
    BYTE* p = WorkDibPixels(mark->dib);
    FillHeights(work.heights, w);
    ColumnDistances(p, mark->width, mark->height, w, work.distance);
    for (std::size_t r = 0; r < static_cast<std::size_t>(mark->height); ++r) {
        std::int32_t* d = work.distance + r * width;
        // A row whose every column is at the cap stays there.
        if (std::any_of(d, d + width, [&](std::int32_t x) { return x != static_cast<std::int32_t>(cap); }))
            RowDistances(d, width, work);
    }
    for (std::size_t i = 0; i < pixels; ++i, p += kBytesPerPixel)
        p[0] = p[1] = p[2] = p[3] = work.heights[work.distance[i]];
    GlobalUnlock(block);
    FreeBlock(block);
    return Failure::None;
}

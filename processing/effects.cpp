#include "processing/effects.h"

#include "platform/parallel.h"

#include <cstddef>
#include <cstdint>

namespace {

// Every effect is a curve per channel: one table of 256 values for each of
// blue, green and red, then one pass over the pixels.
using Curve = BYTE[3][256];

void BuildCurve(Curve& curve, const EffectParams& params)
{
    const int n = params.bandWidth;
    for (int channel = 0; channel < 3; ++channel) {
        const int lower = params.lowerBound[channel];
        const int upper = params.upperBound[channel];
        for (int v = 0; v < 256; ++v) {
            int out = v;
            switch (params.kind) {
            case EffectKind::Negative:
                out = 255 - v;
                break;
            case EffectKind::Posterize:
                out = (v / n) * n;
                break;
            case EffectKind::Solarize: {
                int m = v % (2 * n);
                if (m >= n)
                    m = 2 * n - 1 - m;
                out = (m * 255) / (n - 1);
                break;
            }
            case EffectKind::Binarize:
                out = v % (2 * n) >= n ? 255 : 0;
                break;
            case EffectKind::Contrast: {
                int c = v < lower ? lower : v;
                if (c > upper)
                    c = upper;
                out = upper != lower ? ((c - lower) * 255) / (upper - lower) : c;
                break;
            }
            }
            curve[channel][v] = static_cast<BYTE>(out < 0 ? 0 : out > 255 ? 255 : out);
        }
    }
}

struct CurveJob {
    BYTE* pixels;
    Curve curve;
};

void CurveRange(void* context, int, std::int64_t begin, std::int64_t end)
{
    auto* job = static_cast<CurveJob*>(context);
    BYTE* p = job->pixels + begin * 4;
    for (std::int64_t i = begin; i < end; ++i, p += 4) {
        p[0] = job->curve[0][p[0]];
        p[1] = job->curve[1][p[1]];
        p[2] = job->curve[2][p[2]];
    }
}

}  // namespace

void ApplyEffect(const EffectParams& params, BYTE* pixels, const BITMAPINFOHEADER* header)
{
    const EffectKind kind = params.kind;
    const bool needsLevels = kind == EffectKind::Posterize || kind == EffectKind::Solarize ||
                             kind == EffectKind::Binarize;
    const bool known = needsLevels || kind == EffectKind::Negative || kind == EffectKind::Contrast;
    if (!known || (needsLevels && params.bandWidth < 2))
        return;

    CurveJob job;
    job.pixels = pixels;
    BuildCurve(job.curve, params);
    ForEachRange(static_cast<std::int64_t>(header->biWidth) * header->biHeight, 2, &job, CurveRange);
}

namespace {

struct RangeJob {
    const BYTE* pixels;
    // One slot per range.
    int lo[kMaxRanges][3];
    int hi[kMaxRanges][3];
    std::int64_t count;
    int ranges;
};

void MeasureRange(void* context, int slot, std::int64_t begin, std::int64_t end)
{
    auto* job = static_cast<RangeJob*>(context);
    int lo[3] = {255, 255, 255};
    int hi[3] = {0, 0, 0};
    const BYTE* p = job->pixels + begin * 4;
    for (std::int64_t i = begin; i < end; ++i, p += 4) {
        for (int c = 0; c < 3; ++c) {
            lo[c] = p[c] < lo[c] ? p[c] : lo[c];
            hi[c] = p[c] > hi[c] ? p[c] : hi[c];
        }
    }
    for (int c = 0; c < 3; ++c) {
        job->lo[slot][c] = lo[c];
        job->hi[slot][c] = hi[c];
    }
}

}  // namespace

ChannelRanges MeasureChannelRanges(const BYTE* pixels, LONG width, LONG height)
{
    ChannelRanges ranges;
    RangeJob job = {};
    job.pixels = pixels;
    job.count = static_cast<std::int64_t>(width) * height;
    job.ranges = RangeCountFor(job.count, 2);
    for (int r = 0; r < kMaxRanges; ++r)
        for (int c = 0; c < 3; ++c) {
            job.lo[r][c] = 255;
            job.hi[r][c] = 0;
        }
    ForEachRange(job.count, 2, &job, MeasureRange);
    for (int c = 0; c < 3; ++c) {
        int lo = 255;
        int hi = 0;
        for (int r = 0; r < job.ranges; ++r) {
            lo = job.lo[r][c] < lo ? job.lo[r][c] : lo;
            hi = job.hi[r][c] > hi ? job.hi[r][c] : hi;
        }
        ranges.minimum[c] = lo;
        ranges.maximum[c] = hi;
    }
    return ranges;
}

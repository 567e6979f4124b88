#include "processing/effects.h"

#include "platform/parallel.h"

#include <cstddef>
#include <cstdint>

EffectSettingsRecord EffectSettings = {kEffectNegative, 9213, {0, 0, 0}, {255, 255, 255}};
ChannelRangeRecord ChannelRange = {{255, 255, 255}, {0, 0, 0}};

int LevelStep(int levelId)
{
    switch (levelId) {
    case 9210:
        return 8;
    case 9211:
        return 16;
    case 9212:
        return 32;
    case 9213:
        return 64;
    case 9214:
        return 128;
    default:
        return 0;
    }
}

namespace {

// Every effect is a curve per channel: one table of 256 values for each of
// blue, green and red, then one pass over the pixels.
using Curve = BYTE[3][256];

void BuildCurve(Curve& curve, int effectKind, int n)
{
    for (int channel = 0; channel < 3; ++channel) {
        const int lower = EffectSettings.lowerBound[channel];
        const int upper = EffectSettings.upperBound[channel];
        for (int v = 0; v < 256; ++v) {
            int out = v;
            switch (effectKind) {
            case kEffectNegative:
                out = 255 - v;
                break;
            case kEffectPosterize:
                out = (v / n) * n;
                break;
            case kEffectSolarize: {
                int m = v % (2 * n);
                if (m >= n)
                    m = 2 * n - 1 - m;
                out = (m * 255) / (n - 1);
                break;
            }
            case kEffectBinarize:
                out = v % (2 * n) >= n ? 255 : 0;
                break;
            case kEffectContrast: {
                int c = v < lower ? lower : v;
                if (c > upper)
                    c = upper;
                out = upper != lower ? ((c - lower) * 255) / (upper - lower) : c;
                break;
            }
            default:
                break;
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

void ApplyEffect(BYTE* pixels, const BITMAPINFOHEADER* header, int effectKind, int levelId)
{
    const int n = LevelStep(levelId);
    const bool needsLevels = effectKind == kEffectPosterize || effectKind == kEffectSolarize ||
                             effectKind == kEffectBinarize;
    const bool known = needsLevels || effectKind == kEffectNegative || effectKind == kEffectContrast;
    if (!known || (needsLevels && n < 2))
        return;

    CurveJob job;
    job.pixels = pixels;
    BuildCurve(job.curve, effectKind, n);
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

void MeasureChannelRanges(const BYTE* pixels, LONG width, LONG height)
{
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
        ChannelRange.minimum[c] = lo;
        ChannelRange.maximum[c] = hi;
    }
}

#include "processing/colour_adjust.h"

#include "platform/parallel.h"
#include "processing/pixel_math.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRedOverGreen = 0.5084745762711864;   // 0.30 / 0.59
constexpr double kBlueOverGreen = 0.1864406779661017;  // 0.11 / 0.59

BYTE ToByte(int v)
{
    return static_cast<BYTE>(ClampToByte(v));
}


BYTE CmykRoundTrip(double channel, double k)
{
    const double ink = (1 - channel - k) / (1 - k);
    const double back = 1 - std::min(ink * (1 - k) + k, 1.0);
    return ToByte(static_cast<int>(back * 255));
}

}  // namespace

void YshPixel(BYTE* r, BYTE* g, BYTE* b, double luminanceFactor, double saturationFactor, double hueRotation)
{
    const int R = *r, G = *g, B = *b;
    const double Y = 0.59 * G + 0.30 * R + 0.11 * B;
    const double Cr = R - Y;
    const double Cb = B - Y;
    const double S = std::sqrt(Cb * Cb + Cr * Cr);
    double H = 0;
    if (S > 0) {
        H = std::atan2(Cr, Cb) * kDegreesPerRadian;
        if (H < 0)
            H += 360;
    }
    const double Y2 = Y * luminanceFactor;
    const double S2 = S * saturationFactor;
    double H2 = H + hueRotation;
    if (H2 > 360)
        H2 -= 360;
    if (H2 < 0)
        H2 += 360;
    const double theta = H2 * kPi / 180;
    const double sinT = std::sin(theta);
    const double cosT = std::cos(theta);
    *r = ToByte(static_cast<int>(Y2 + S2 * sinT));
    *b = ToByte(static_cast<int>(Y2 + S2 * cosT));
    *g = ToByte(static_cast<int>(Y2 - kRedOverGreen * S2 * sinT - kBlueOverGreen * S2 * cosT));
}

namespace {

struct YshJob {
    BYTE* pixels;
    double luminanceFactor;
    double saturationFactor;
    double hueRotation;
    // The rotation by hueRotation degrees, as a cosine and a sine.
    double cosRotation;
    double sinRotation;
};

// A pixel's new channels without the angle: turning the hue by the
// rotation turns (Cb, Cr) = S (cos H, sin H) by it, so
// S sin(H + rotation) = Cr cos rotation + Cb sin rotation, and likewise
// for the cosine.  YshPixel reaches the same values through atan2, sin and
// cos; both are within 1e-10 of the exact ones for every colour and
// setting (a few units in the last place of values below 1000), so where
// a value lies farther than kYshMargin from a whole number both truncate
// it alike.  Pixels with a value nearer than that (whole numbers come out
// of a rotation by 0, for one) go through YshPixel.
constexpr double kYshMargin = 1e-7;
constexpr int kYshChunk = 256;

QUILLVANE_ROW_BODY void YshChunkByRotationBody(const YshJob& job, const BYTE* p, int count, BYTE* out,
                                                BYTE* sure)
{
    const double lf = job.luminanceFactor;
    const double sf = job.saturationFactor;
    const double c = job.cosRotation;
    const double s = job.sinRotation;
    for (int i = 0; i < count; ++i) {
        const int B = p[i * 4], G = p[i * 4 + 1], R = p[i * 4 + 2];
        const double Y = 0.59 * G + 0.30 * R + 0.11 * B;
        const double Cr = R - Y;
        const double Cb = B - Y;
        const double Y2 = Y * lf;
        const double sinPart = sf * (Cr * c + Cb * s);
        const double cosPart = sf * (Cb * c - Cr * s);
        const double r = Y2 + sinPart;
        const double b = Y2 + cosPart;
        const double g = Y2 - kRedOverGreen * sinPart - kBlueOverGreen * cosPart;
        const double fr = r - std::nearbyint(r);
        const double fg = g - std::nearbyint(g);
        const double fb = b - std::nearbyint(b);
        sure[i] = (fr > kYshMargin || fr < -kYshMargin) & (fg > kYshMargin || fg < -kYshMargin) &
                  (fb > kYshMargin || fb < -kYshMargin);
        int ri = static_cast<int>(r), gi = static_cast<int>(g), bi = static_cast<int>(b);
        ri = ri < 0 ? 0 : ri > 255 ? 255 : ri;
        gi = gi < 0 ? 0 : gi > 255 ? 255 : gi;
        bi = bi < 0 ? 0 : bi > 255 ? 255 : bi;
        out[i * 4] = static_cast<BYTE>(bi);
        out[i * 4 + 1] = static_cast<BYTE>(gi);
        out[i * 4 + 2] = static_cast<BYTE>(ri);
    }
}

constexpr RowVersions<YshChunkByRotationBody> YshChunkByRotation;

// Pixels are independent: ranges of them run on every core.  A pixel's
// result depends only on its colour, and neighbouring pixels often share
// one, so each range remembers its recent colours for those that go
// through YshPixel.
void YshRange(void* context, int, std::int64_t begin, std::int64_t end)
{
    const auto* job = static_cast<const YshJob*>(context);
    constexpr int kCacheBits = 12;
    constexpr int kCacheSize = 1 << kCacheBits;
    // Fibonacci hashing: the colour times 2^32 / golden ratio, whose top
    // kCacheBits bits (of 32) spread neighbouring colours over the cache.
    constexpr std::uint32_t kGoldenRatioMultiplier = 2654435761u;
    // Entry: colour in the low 24 bits, result above, bit 63 set once used.
    static thread_local std::uint64_t cache[kCacheSize];
    for (std::uint64_t& entry : cache)
        entry = 0;
    BYTE rotated[kYshChunk * 4];
    BYTE sure[kYshChunk];
    for (std::int64_t first = begin; first < end; first += kYshChunk) {
        const int count = static_cast<int>(std::min<std::int64_t>(end - first, kYshChunk));
        BYTE* chunk = job->pixels + first * 4;
        YshChunkByRotation(*job, chunk, count, rotated, sure);
        for (int i = 0; i < count; ++i) {
            BYTE* p = chunk + i * 4;
            if (sure[i]) {
                p[0] = rotated[i * 4];
                p[1] = rotated[i * 4 + 1];
                p[2] = rotated[i * 4 + 2];
                continue;
            }
            const std::uint32_t colour = static_cast<std::uint32_t>(p[0]) |
                                         static_cast<std::uint32_t>(p[1]) << 8 |
                                         static_cast<std::uint32_t>(p[2]) << 16;
            std::uint64_t& entry = cache[(colour * kGoldenRatioMultiplier) >> (32 - kCacheBits)];
            if ((entry >> 63) && static_cast<std::uint32_t>(entry & 0xFFFFFF) == colour) {
                p[0] = static_cast<BYTE>(entry >> 24);
                p[1] = static_cast<BYTE>(entry >> 32);
                p[2] = static_cast<BYTE>(entry >> 40);
                continue;
            }
            YshPixel(&p[2], &p[1], &p[0], job->luminanceFactor, job->saturationFactor, job->hueRotation);
            entry = std::uint64_t{1} << 63 | static_cast<std::uint64_t>(p[2]) << 40 |
                    static_cast<std::uint64_t>(p[1]) << 32 | static_cast<std::uint64_t>(p[0]) << 24 | colour;
        }
    }
}

// Every channel comes back through the black of its pixel, and that black
// is 1 - (the largest channel) / 255: so a channel's result is a function
// of its own value and the pixel's largest, a table of 256 x 256.
struct CmykJob {
    BYTE* pixels;
    BYTE table[256][256];  // [largest][value]
};

void BuildCmykTable(CmykJob* job)
{
    for (int largest = 0; largest < 256; ++largest)
        for (int value = 0; value <= largest; ++value) {
            const double channel = value / 255.0;
            const double k = 1 - largest / 255.0;
            job->table[largest][value] = k == 1 ? 0 : CmykRoundTrip(channel, k);
        }
}

void CmykRange(void* context, int, std::int64_t begin, std::int64_t end)
{
    auto* job = static_cast<CmykJob*>(context);
    BYTE* p = job->pixels + begin * 4;
    for (std::int64_t i = begin; i < end; ++i, p += 4) {
        const int largest = std::max(std::max(p[0], p[1]), p[2]);
        const BYTE* row = job->table[largest];
        p[0] = row[p[0]];
        p[1] = row[p[1]];
        p[2] = row[p[2]];
    }
}

}  // namespace

void YshAdjust(const YshParams& params, BYTE* pixels, LONG width, LONG height)
{
    const double rotation = params.hue - 180;
    YshJob job = {pixels,
                  params.luminance / 100.0,
                  params.saturation / 100.0,
                  rotation,
                  std::cos(rotation * kPi / 180),
                  std::sin(rotation * kPi / 180)};
    // About 3.5 ns a pixel on one core, 6 of the units the other engines
    // give (an effect's lookup is 2): a dialog's preview runs on one thread.
    ForEachRange(static_cast<std::int64_t>(width) * height, 6, &job, YshRange);
}

void CmykConvertBack(BYTE* pixels, LONG width, LONG height)
{
    static CmykJob job;  // 64 KB: not on the stack
    job.pixels = pixels;
    BuildCmykTable(&job);
    ForEachRange(static_cast<std::int64_t>(width) * height, 2, &job, CmykRange);
}

void ApplyColourAdjust(const YshParams& params, BYTE* pixels, LONG width, LONG height)
{
    switch (params.mode) {
    case ColourMode::Ysh:
        YshAdjust(params, pixels, width, height);
        break;
    case ColourMode::Cmyk:
        CmykConvertBack(pixels, width, height);
        break;
    }
}

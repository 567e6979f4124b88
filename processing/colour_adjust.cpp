#include "processing/colour_adjust.h"

#include "processing/parallel.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

YshSettingsRecord YshSettings = {100, 100, 180};
int ColourAdjustMode = kColourModeYsh;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRedOverGreen = 0.5084745762711864;   // 0.30 / 0.59
constexpr double kBlueOverGreen = 0.1864406779661017;  // 0.11 / 0.59

BYTE ToByte(int v)
{
    return static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
}


BYTE CmykRoundTrip(double channel, double k)
{
    const double ink = (1 - channel - k) / (1 - k);
    const double back = 1 - std::min(ink * (1 - k) + k, 1.0);
    return ToByte(static_cast<int>(back * 255));
}

}  // namespace

void ResetColourAdjust()
{
    YshSettings = {100, 100, 180};
    ColourAdjustMode = kColourModeYsh;
}

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
};

// Pixels are independent: ranges of them run on every core.
void YshRange(void* context, std::int64_t begin, std::int64_t end)
{
    const auto* job = static_cast<const YshJob*>(context);
    BYTE* p = job->pixels + begin * 4;
    for (std::int64_t i = begin; i < end; ++i, p += 4)
        YshPixel(&p[2], &p[1], &p[0], job->luminanceFactor, job->saturationFactor, job->hueRotation);
}

void CmykRange(void* context, std::int64_t begin, std::int64_t end)
{
    BYTE* p = static_cast<BYTE*>(context) + begin * 4;
    for (std::int64_t i = begin; i < end; ++i, p += 4) {
        const double r = p[2] / 255.0;
        const double g = p[1] / 255.0;
        const double b = p[0] / 255.0;
        const double k = std::min(std::min(1 - r, 1 - b), 1 - g);
        if (k == 1) {
            p[0] = p[1] = p[2] = 0;
            continue;
        }
        p[2] = CmykRoundTrip(r, k);
        p[1] = CmykRoundTrip(g, k);
        p[0] = CmykRoundTrip(b, k);
    }
}

}  // namespace

void YshAdjust(BYTE* pixels, LONG width, LONG height)
{
    YshJob job = {pixels, YshSettings.luminance / 100.0, YshSettings.saturation / 100.0,
                  static_cast<double>(YshSettings.hue - 180)};
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ForEachRange(static_cast<std::int64_t>(width) * height, 64, &job, YshRange);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void CmykConvertBack(BYTE* pixels, LONG width, LONG height)
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ForEachRange(static_cast<std::int64_t>(width) * height, 16, pixels, CmykRange);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void ApplyColourAdjust(BYTE* pixels, LONG width, LONG height)
{
    if (ColourAdjustMode == kColourModeYsh)
        YshAdjust(pixels, width, height);
    else if (ColourAdjustMode == kColourModeCmyk)
        CmykConvertBack(pixels, width, height);
}

#include "processing/filters.h"

FilterSettingsRecord FilterSettings = {kFilterSharpen, 0, 0, 0, 0, {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}};

namespace {

using Kernel = int[9];  // in block order: row before, own row, row after

constexpr Kernel kSharpenKernel = {1, 1, 1, 1, -8, 1, 1, 1, 1};
// -1 -1 0 / -1 0 1 / 0 1 1 from the top row on screen; the block starts
// with the row below.
constexpr Kernel kEmbossKernel = {0, 1, 1, -1, 0, 1, -1, -1, 0};

int Clamp255(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

int WeightedSum(const PixelBlock3x3* block, const int* kernel, int channel)
{
    int sum = 0;
    for (int i = 0; i < 9; ++i)
        sum += kernel[i] * block->px[i][channel];
    return sum;
}

// v = c + sign * trunc(S * factor), clamped, for blue, green and red.
void ApplyWeighted(PixelBlock3x3* block, const int* kernel, double factor, int sign)
{
    for (int channel = 0; channel < 3; ++channel) {
        const int sum = WeightedSum(block, kernel, channel);
        const int t = static_cast<int>(sum * factor);
        block->px[4][channel] = static_cast<BYTE>(Clamp255(block->px[4][channel] + sign * t));
    }
}

}  // namespace

void SharpenPixel(PixelBlock3x3* block)
{
    ApplyWeighted(block, kSharpenKernel, FilterSettings.sharpenStrength / 30.0, -1);
}

void EmbossPixel(PixelBlock3x3* block)
{
    ApplyWeighted(block, kEmbossKernel, FilterSettings.embossStrength / 10.0, 1);
}

void CustomKernelPixel(PixelBlock3x3* block)
{
    ApplyWeighted(block, &FilterSettings.customKernel[0][0], FilterSettings.customStrength / 10.0, 1);
}

void SoftenPixel(PixelBlock3x3* block)
{
    for (int channel = 0; channel < 3; ++channel) {
        int sum = 0;
        for (int i = 0; i < 9; ++i)
            sum += block->px[i][channel];
        block->px[4][channel] = static_cast<BYTE>(Clamp255(sum / 9));
    }
}

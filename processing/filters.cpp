#include "processing/filters.h"

#include "processing/pixel_math.h"

namespace {

using Kernel = int[9];  // in block order: row before, own row, row after

constexpr Kernel kSharpenKernel = {1, 1, 1, 1, -8, 1, 1, 1, 1};
// -1 -1 0 / -1 0 1 / 0 1 1 from the top row on screen; the block starts
// with the row below.
constexpr Kernel kEmbossKernel = {0, 1, 1, -1, 0, 1, -1, -1, 0};

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
        block->px[4][channel] = static_cast<BYTE>(ClampToByte(block->px[4][channel] + sign * t));
    }
}

}  // namespace

void SharpenPixel(const FilterParams& params, PixelBlock3x3* block)
{
    ApplyWeighted(block, kSharpenKernel, params.strength / 30.0, -1);
}

void EmbossPixel(const FilterParams& params, PixelBlock3x3* block)
{
    ApplyWeighted(block, kEmbossKernel, params.strength / 10.0, 1);
}

void CustomKernelPixel(const FilterParams& params, PixelBlock3x3* block)
{
    ApplyWeighted(block, &params.kernel[0][0], params.strength / 10.0, 1);
}

void SoftenPixel(const FilterParams&, PixelBlock3x3* block)
{
    for (int channel = 0; channel < 3; ++channel) {
        int sum = 0;
        for (int i = 0; i < 9; ++i)
            sum += block->px[i][channel];
        block->px[4][channel] = static_cast<BYTE>(ClampToByte(sum / 9));
    }
}

namespace {

// One table for the process: the largest sum range is the custom kernel's.
constexpr int kMaxSum = 9 * 9 * 255;
short DeltaTable[2 * kMaxSum + 1];

}  // namespace

bool PrepareFilterRows(const FilterParams& params, FilterRowPlan* plan)
{
    const FilterKind kind = params.kind;
    const int* kernel = nullptr;
    int sign = 1;
    double factor = 0;
    switch (kind) {
    case FilterKind::Sharpen:
        kernel = kSharpenKernel;
        sign = -1;
        factor = params.strength / 30.0;
        break;
    case FilterKind::Emboss:
        kernel = kEmbossKernel;
        factor = params.strength / 10.0;
        break;
    case FilterKind::Custom:
        kernel = &params.kernel[0][0];
        factor = params.strength / 10.0;
        break;
    case FilterKind::Soft:
        break;
    default:
        return false;
    }
    plan->kind = kind;
    plan->delta = DeltaTable;
    if (kind == FilterKind::Soft) {
        for (int i = 0; i < 9; ++i)
            plan->kernel[i] = 1;
        plan->centreWeight = 0;
        plan->sumMin = 0;
        plan->sumMax = 9 * 255;
        for (int s = 0; s <= plan->sumMax; ++s)
            DeltaTable[s] = static_cast<short>(s / 9);
        plan->integerForm = true;
        plan->sign = 1;
        plan->multiplier = 1;
        plan->divisor = 9;
        return true;
    }
    int lo = 0;
    int hi = 0;
    for (int i = 0; i < 9; ++i) {
        plan->kernel[i] = kernel[i];
        (kernel[i] < 0 ? lo : hi) += kernel[i] * 255;
    }
    plan->centreWeight = 1;
    plan->sumMin = lo;
    plan->sumMax = hi;
    // The same conversion as the per-pixel operators: trunc(S * factor).
    for (int s = lo; s <= hi; ++s)
        DeltaTable[s - lo] = static_cast<short>(sign * static_cast<int>(s * factor));

    // The strength over 30 or 10 rounded to a double and multiplied by S
    // usually truncates like the integer quotient; where it does for every
    // sum of the range, rows may use the quotient.
    const int strength = params.strength;
    plan->sign = sign;
    plan->multiplier = strength;
    plan->divisor = kind == FilterKind::Sharpen ? 30 : 10;
    plan->integerForm = lo * strength >= -32768 && hi * strength <= 32767;
    for (int s = lo; s <= hi && plan->integerForm; ++s)
        plan->integerForm = DeltaTable[s - lo] == sign * ((s * strength) / plan->divisor);
    return true;
}


namespace {

// v = centreWeight * c + sign * (S * multiplier) / D on every byte lane,
// clamped; then the 4th bytes are put back.  Vector code throughout.
template <int D>
QUILLVANE_ROW_BODY void ApplyQuotients(const FilterRowPlan& plan, const short* sums, const BYTE* centre, BYTE* d, int lanes)
{
    const int weight = plan.centreWeight;
    const int sign = plan.sign;
    const int multiplier = plan.multiplier;
    for (int i = 0; i < lanes; ++i) {
        // Every product fits 16 bits (the plan checks the range), which
        // keeps the vector lanes narrow.
        const short product = static_cast<short>(sums[i] * multiplier);
        const short quotient = static_cast<short>(product / D);
        const short v = static_cast<short>(weight * centre[i] + sign * quotient);
        d[i] = static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    for (int i = 3; i < lanes; i += 4)
        d[i] = centre[i];
}

QUILLVANE_ROW_BODY void FilterRowBody(const FilterRowPlan& plan, const BYTE* below, const BYTE* own,
                                      const BYTE* above, BYTE* out, int pixels)
{
    // Weighted sums of all four bytes of each pixel (the 4th is put back
    // afterwards): a plain loop over byte lanes that the compiler turns into
    // vector code.
    constexpr int kChunk = 512;
    short sums[kChunk * 4];
    const int* k = plan.kernel;
    for (int first = 0; first < pixels; first += kChunk) {
        const int count = pixels - first < kChunk ? pixels - first : kChunk;
        const int lanes = count * 4;
        const BYTE* b = below + first * 4;
        const BYTE* o = own + first * 4;
        const BYTE* a = above + first * 4;
        for (int i = 0; i < lanes; ++i)
            sums[i] = static_cast<short>(k[0] * b[i] + k[1] * b[i + 4] + k[2] * b[i + 8] + k[3] * o[i] +
                                         k[4] * o[i + 4] + k[5] * o[i + 8] + k[6] * a[i] + k[7] * a[i + 4] +
                                         k[8] * a[i + 8]);
        BYTE* d = out + first * 4;
        const short* delta = plan.delta - plan.sumMin;
        const BYTE* centre = o + 4;
        if (plan.integerForm) {
            switch (plan.divisor) {
            case 30:
                ApplyQuotients<30>(plan, sums, centre, d, lanes);
                continue;
            case 10:
                ApplyQuotients<10>(plan, sums, centre, d, lanes);
                continue;
            case 9:
                ApplyQuotients<9>(plan, sums, centre, d, lanes);
                continue;
            default:
                break;
            }
        }
        for (int i = 0; i < lanes; i += 4) {
            for (int c = 0; c < 3; ++c) {
                const int v = plan.centreWeight * centre[i + c] + delta[sums[i + c]];
                d[i + c] = static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
            d[i + 3] = centre[i + 3];
        }
    }
}

constexpr RowVersions<FilterRowBody> FilterRowVersions;

}  // namespace

void FilterRow(const FilterRowPlan& plan, const BYTE* below, const BYTE* own, const BYTE* above, BYTE* out,
               int pixels)
{
    FilterRowVersions(plan, below, own, above, out, pixels);
}

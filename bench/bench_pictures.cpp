#include "bench/bench_pictures.h"

#include "image/blocks.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr double kPi = 3.141592653589793;


std::uint32_t NextRandom(std::uint32_t* state)
{
    // xorshift32: the same picture on every machine and every run.
    std::uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

// A coarse grid of random values, read back with smooth interpolation:
// large soft blobs of colour like out-of-focus landscape.
struct SmoothNoise {
    LONG columns;
    LONG rows;
    LONG cell;
    BYTE* values;
};

int MakeSmoothNoise(SmoothNoise* noise, LONG width, LONG height, LONG cell, std::uint32_t* seed)
{
    noise->cell = cell;
    noise->columns = width / cell + 2;
    noise->rows = height / cell + 2;
    const std::size_t count = static_cast<std::size_t>(noise->columns) * noise->rows;
    noise->values = static_cast<BYTE*>(std::malloc(count));
    if (!noise->values)
        return -1;
    for (std::size_t i = 0; i < count; ++i)
        noise->values[i] = static_cast<BYTE>(NextRandom(seed) >> 24);
    return 0;
}

double SmoothStep(double t)
{
    return t * t * (3.0 - 2.0 * t);
}

double SampleSmoothNoise(const SmoothNoise* noise, LONG x, LONG y)
{
    const LONG gx = x / noise->cell;
    const LONG gy = y / noise->cell;
    const double tx = SmoothStep(static_cast<double>(x % noise->cell) / noise->cell);
    const double ty = SmoothStep(static_cast<double>(y % noise->cell) / noise->cell);
    const BYTE* top = noise->values + static_cast<std::size_t>(gy) * noise->columns + gx;
    const BYTE* bottom = top + noise->columns;
    const double upper = top[0] + (top[1] - top[0]) * tx;
    const double lower = bottom[0] + (bottom[1] - bottom[0]) * tx;
    return upper + (lower - upper) * ty;
}

BYTE ClampByte(double value)
{
    if (value < 0.0)
        return 0;
    if (value > 255.0)
        return 255;
    return static_cast<BYTE>(value);
}

}  // namespace

int AllocateDocument(ImageDocument* doc, LONG width, LONG height)
{
    HGLOBAL block = AllocateBlock(WorkDibBytes(width, height));
    if (!block)
        return -1;
    AdoptWorkDib(doc, block, width, height, nullptr);
    WriteWorkDibHeader(doc->dib, width, height);
    doc->isModified = 0;
    return 0;
}

int GeneratePhoto(ImageDocument* doc, LONG width, LONG height)
{
    std::uint32_t seed = 0x51ee7a11u;
    SmoothNoise fields[3] = {};
    int result = -1;
    double* sweep = static_cast<double*>(std::malloc(sizeof(double) * width));
    if (!sweep)
        return -1;
    for (LONG x = 0; x < width; ++x)
        sweep[x] = 25.0 * std::sin(2.0 * kPi * x / width);
    for (int c = 0; c < 3; ++c)
        if (MakeSmoothNoise(&fields[c], width, height, 160 + 40 * c, &seed) != 0)
            goto done;
    if (AllocateDocument(doc, width, height) != 0)
        goto done;
    {
        BYTE* row = WorkDibPixels(doc->dib);
        for (LONG memoryRow = 0; memoryRow < height; ++memoryRow, row += width * kBytesPerPixel) {
            const LONG y = height - 1 - memoryRow;
            const double sky = 60.0 * std::cos(kPi * y / height);  // bright above, dark below
            BYTE* p = row;
            for (LONG x = 0; x < width; ++x, p += kBytesPerPixel) {
                const double grain = static_cast<double>(NextRandom(&seed) >> 28) - 7.5;
                for (int c = 0; c < 3; ++c) {
                    const double field = SampleSmoothNoise(&fields[c], x, y);
                    p[c] = ClampByte(0.7 * field + 40.0 + sky * (c == 0 ? 1.0 : 0.5) + sweep[x] + grain);
                }
            }
        }
    }
    result = 0;
done:
    for (SmoothNoise& field : fields)
        std::free(field.values);
    std::free(sweep);
    return result;
}

int GenerateWatermark(ImageDocument* doc, LONG side)
{
    std::uint32_t seed = 0x0b5e55edu;
    SmoothNoise heights = {};
    if (MakeSmoothNoise(&heights, side, side, 90, &seed) != 0)
        return -1;
    if (AllocateDocument(doc, side, side) != 0) {
        std::free(heights.values);
        return -1;
    }
    BYTE* p = WorkDibPixels(doc->dib);
    for (LONG memoryRow = 0; memoryRow < side; ++memoryRow) {
        for (LONG x = 0; x < side; ++x, p += kBytesPerPixel) {
            const double h = SampleSmoothNoise(&heights, x, side - 1 - memoryRow);
            p[0] = p[1] = p[2] = ClampByte((h - 128.0) * 3.0 + 128.0);
        }
    }
    std::free(heights.values);
    return 0;
}

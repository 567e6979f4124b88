#include "processing/bump.h"

#include "image/blocks.h"
#include "platform/parallel.h"
#include "processing/neighbourhood.h"
#include "processing/pixel_math.h"
#include "processing/placement.h"
#include "processing/scale.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>

namespace {

int Truncate(double v)
{
    return static_cast<int>(v);
}

// The relief height after the perturbation that adds up to 2 away from
// the local mean.
int PerturbedHeight(int h, double mean)
{
    return ClampToByte(Truncate(h + 1 - std::cos(kPi * (h - mean) / 64)));
}

}  // namespace

void BumpPixel(const BumpParams& params, PixelBlock3x3* block)
{
    BYTE* centre = block->px[4];
    const int B = centre[0];
    const int G = centre[1];
    const int R = centre[2];

    // 1. Centre luminance.
    const int L0 = Truncate(0.59 * G + 0.30 * R + 0.11 * B);

    // 2. Heights, perturbed around their mean.  Named by screen position:
    // a b c the upper row (the block's last), g h i the lower (its first).
    int sum = 0;
    for (int k = 0; k < 9; ++k)
        sum += block->px[k][3];
    const double mean = sum / 9.0;
    int ht[9];
    for (int k = 0; k < 9; ++k)
        ht[k] = PerturbedHeight(block->px[k][3], mean);
    const int g = ht[0], h = ht[1], i = ht[2];
    const int d = ht[3], f = ht[5];
    const int a = ht[6], b = ht[7], c = ht[8];

    // 3. Surface normal.
    const double k = static_cast<double>(params.strength) / 2000;
    const int sx = (a + 2 * d + g) - (c + 2 * f + i);
    const int sy = (g + 2 * h + i) - (a + 2 * b + c);
    const double nx0 = k * sx / 8;
    const double ny0 = k * sy / 8;
    const double nz0 = 1;
    double length = std::sqrt(nx0 * nx0 + ny0 * ny0 + nz0 * nz0);
    if (length <= 0.001)
        length = 1;
    const double nx = nx0 / length;
    const double ny = ny0 / length;
    const double nz = nz0 / length;

    // 4. Diffuse cosine and the reflection towards the viewer.
    const double D = params.lightX * nx + params.lightY * ny + params.lightZ * nz;
    const double Rz = 2 * D * nz - params.lightZ;
    const double specular = std::max(Rz, 0.0);

    // 5. Intensity.
    double I = std::max(30 * (0.15 * D + 0.8 * specular), 0.0);
    I = std::max(I + 0.15 * params.ambient, 0.0);

    // 6. Lit colour.
    const int R1 = std::min(Truncate(R * I / 30), 255);
    const int G1 = std::min(Truncate(G * I / 30), 255);
    const int B1 = std::min(Truncate(B * I / 30), 255);

    // 7. Its luminance.
    const int L1 = Truncate(0.30 * R1 + 0.59 * G1 + 0.11 * B1);

    // 8. Amplify the change of luminance.  Without light (L1 = 0) or
    // without a luminance to compare with (L0 = 0) the lit colour stands.
    int R2 = R1, G2 = G1, B2 = B1;
    if (L1 != 0 && L0 != 0) {
        const int T = Truncate(static_cast<double>(L1 - L0) / L0 * L1 * (params.amplification + 300) / 300);
        const int Lt = L0 + T;
        R2 = ClampToByte(Truncate(static_cast<double>(Lt * R1) / L1));
        G2 = ClampToByte(Truncate(static_cast<double>(Lt * G1) / L1));
        B2 = ClampToByte(Truncate(static_cast<double>(Lt * B1) / L1));
    }

    // 9. The HeightByte stays.
    centre[0] = static_cast<BYTE>(B2);
    centre[1] = static_cast<BYTE>(G2);
    centre[2] = static_cast<BYTE>(R2);
}

namespace {

// The perturbation adds 0, 1 or 2 to a height, and which one depends on
// d = 9h - (sum of the nine heights), an integer in -2040..2040: where the
// cosine of pi d / 576 lies below 0 one is added, at -1 two; at d = -288
// and -1440 the cosine is a hair above 0 and only heights from 1 and 4 on
// are raised.  Comparisons say this without a cosine, so rows can be
// vectorised; they are used only once a check of every (height, sum) pair
// has shown them equal to PerturbedHeight on this machine's maths library.
constexpr int kMaxD = 8 * 255;

inline int PerturbationByComparisons(int d, int h)
{
    const int e = d < 0 ? -d : d;
    int added = ((e >= 288 && e <= 864) || (e >= 1440 && e <= 2016)) ? 1 : 0;
    added += (e == 576 || e == 1728) ? 1 : 0;
    added -= (d == -288 && h < 1) || (d == -1440 && h < 4) ? 1 : 0;
    return added;
}

bool ComparisonsMatchTheCosine()
{
    for (int h = 0; h <= 255; ++h)
        for (int others = 0; others <= kMaxD; ++others) {
            const int sum = h + others;
            const int byComparisons = std::min(h + PerturbationByComparisons(9 * h - sum, h), 255);
            if (byComparisons != PerturbedHeight(h, sum / 9.0))
                return false;
        }
    return true;
}

constexpr int kBumpChunk = 256;

// The light and the settings as the lighting uses them.
struct LightTerms {
    double k;  // the strength's scale of a gradient
    double X, Y, Z;
    double ambient;
    int gain;  // amplification + 300
};

LightTerms LightTermsOf(const BumpParams& params)
{
    return {static_cast<double>(params.strength) / 2000, params.lightX, params.lightY, params.lightZ,
            0.15 * params.ambient, params.amplification + 300};
}

// Steps 3 to 5 of BumpPixel: the intensity of the light on a surface with
// gradients sx, sy, in the same arithmetic.
[[gnu::always_inline]] inline double Intensity(int sx, int sy, const LightTerms& t)
{
    const double nx0 = t.k * sx / 8;
    const double ny0 = t.k * sy / 8;
    const double nz0 = 1;
    double length = std::sqrt(nx0 * nx0 + ny0 * ny0 + nz0 * nz0);
    length = length <= 0.001 ? 1 : length;
    const double nx = nx0 / length;
    const double ny = ny0 / length;
    const double nz = nz0 / length;
    const double D = t.X * nx + t.Y * ny + t.Z * nz;
    const double Rz = 2 * D * nz - t.Z;
    const double specular = Rz < 0.0 ? 0.0 : Rz;
    double I = 30 * (0.15 * D + 0.8 * specular);
    I = I < 0.0 ? 0.0 : I;
    I = I + t.ambient;
    return I < 0.0 ? 0.0 : I;
}

// The intensities of a chunk of pixels from their gradients.
QUILLVANE_ROW_BODY void IntensityChunkBody(const LightTerms& terms, const int* __restrict sx,
                                            const int* __restrict sy, double* __restrict I, int count)
{
    const LightTerms t = terms;
    for (int i = 0; i < count; ++i)
        I[i] = Intensity(sx[i], sy[i], t);
}

// Steps 1 and 6 to 8 of BumpPixel on a chunk of pixels lit with
// intensities I, in the order of its arithmetic, as a loop the compiler
// vectorises: each pixel's blue, green and red are replaced, its
// HeightByte stays.  The whole numbers are kept as doubles (truncating a
// double that fits an int, or multiplying two such numbers, gives the
// same value either way) so that the loop need not convert back and forth.
QUILLVANE_ROW_BODY void ColourChunkBody(int amplification, const double* __restrict I, BYTE* __restrict pixels,
                                         int count)
{
    const double gain = amplification + 300;
    for (int i = 0; i < count; ++i) {
        // The pixel as one little-endian word: blue in the low byte.
        std::uint32_t word;
        std::memcpy(&word, pixels + i * 4, 4);
        const double B = static_cast<int>(word & 0xFF);
        const double G = static_cast<int>(word >> 8 & 0xFF);
        const double R = static_cast<int>(word >> 16 & 0xFF);
        const double L0 = std::trunc(0.59 * G + 0.30 * R + 0.11 * B);
        const double R1 = std::min(std::trunc(R * I[i] / 30), 255.0);
        const double G1 = std::min(std::trunc(G * I[i] / 30), 255.0);
        const double B1 = std::min(std::trunc(B * I[i] / 30), 255.0);
        const double L1 = std::trunc(0.30 * R1 + 0.59 * G1 + 0.11 * B1);
        // Both luminances are non-zero in the amplified branch; elsewhere
        // the quotients are computed with stand-ins and not used.
        const bool amplify = (L1 != 0) & (L0 != 0);
        const double safeL0 = amplify ? L0 : 1.0;
        const double safeL1 = amplify ? L1 : 1.0;
        const double T = std::trunc((L1 - L0) / safeL0 * L1 * gain / 300);
        const double Lt = L0 + T;
        const double R2 = std::clamp(std::trunc(Lt * R1 / safeL1), 0.0, 255.0);
        const double G2 = std::clamp(std::trunc(Lt * G1 / safeL1), 0.0, 255.0);
        const double B2 = std::clamp(std::trunc(Lt * B1 / safeL1), 0.0, 255.0);
        const auto r = static_cast<std::uint32_t>(static_cast<int>(amplify ? R2 : R1));
        const auto g = static_cast<std::uint32_t>(static_cast<int>(amplify ? G2 : G1));
        const auto b = static_cast<std::uint32_t>(static_cast<int>(amplify ? B2 : B1));
        word = (word & 0xFF000000u) | r << 16 | g << 8 | b;
        std::memcpy(pixels + i * 4, &word, 4);
    }
}

// A height raised by its perturbation, by comparisons, in 16-bit lanes.
inline short Perturbed(short h, short sum)
{
    const short d = static_cast<short>(9 * h - sum);
    const short e = d < 0 ? static_cast<short>(-d) : d;
    short v = static_cast<short>(h + (((e >= 288) & (e <= 864)) | ((e >= 1440) & (e <= 2016))));
    v = static_cast<short>(v + ((e == 576) | (e == 1728)));
    v = static_cast<short>(v - (((d == -288) & (h < 1)) | ((d == -1440) & (h < 4))));
    return v > 255 ? static_cast<short>(255) : v;
}

// The gradients of a chunk from the perturbed heights.  Each row holds a
// height per pixel starting one pixel left of the chunk's first.
QUILLVANE_ROW_BODY void GradientChunkBody(const short* below, const short* own, const short* above, int* sx, int* sy,
                                           int count)
{
    for (int i = 0; i < count; ++i) {
        const short sum = static_cast<short>(below[i] + below[i + 1] + below[i + 2] + own[i] + own[i + 1] +
                                             own[i + 2] + above[i] + above[i + 1] + above[i + 2]);
        // Named by screen position: a b c the upper row, g h i the lower;
        // the centre's height counts only in the sum.
        const short g = Perturbed(below[i], sum), h = Perturbed(below[i + 1], sum), j = Perturbed(below[i + 2], sum);
        const short d = Perturbed(own[i], sum), f = Perturbed(own[i + 2], sum);
        const short a = Perturbed(above[i], sum), b = Perturbed(above[i + 1], sum), c = Perturbed(above[i + 2], sum);
        sx[i] = (a + 2 * d + g) - (c + 2 * f + j);
        sy[i] = (g + 2 * h + j) - (a + 2 * b + c);
    }
}

constexpr RowVersions<GradientChunkBody> GradientChunk;
constexpr RowVersions<IntensityChunkBody> IntensityChunk;
constexpr RowVersions<ColourChunkBody> ColourChunk;


}  // namespace

BumpRowMethod BumpRowMethodHere()
{
    static const BumpRowMethod method =
        ComparisonsMatchTheCosine() ? BumpRowMethod::Comparisons : BumpRowMethod::PerPixel;
    return method;
}

void BumpRow(const BumpParams& params, const short* below, const short* own, const short* above, BYTE* pixels,
             int count, BumpRowMethod method)
{
    if (method == BumpRowMethod::PerPixel) {
        PixelBlock3x3 block = {};
        const short* rows[3] = {below, own, above};
        for (int c = 0; c < count; ++c) {
            for (int k = 0; k < 9; ++k)
                block.px[k][3] = static_cast<BYTE>(rows[k / 3][c + k % 3]);
            std::memcpy(block.px[4], pixels + c * 4, 3);
            BumpPixel(params, &block);
            std::memcpy(pixels + c * 4, block.px[4], 3);
        }
        return;
    }
    const LightTerms terms = LightTermsOf(params);
    int sx[kBumpChunk];
    int sy[kBumpChunk];
    double I[kBumpChunk];
    for (int first = 0; first < count; first += kBumpChunk) {
        const int n = std::min(count - first, kBumpChunk);
        GradientChunk(below + first, own + first, above + first, sx, sy, n);
        IntensityChunk(terms, sx, sy, I, n);
        ColourChunk(params.amplification, I, pixels + first * 4, n);
    }
}

namespace {

// Relief shading in bands of rows, one per core.  Heights never change and
// each pixel's colour is read only by its own lighting, so the bands need
// no copies of their neighbours' rows: each band keeps the HeightBytes of
// three rows, with the frame pixel at each end, as 16-bit numbers.
struct ReliefJob {
    const BumpParams* params;
    BYTE* pixels;
    std::size_t stride;
    LONG width;
    LONG height;
    short* rows;  // three rows of width + 2 per band
};

std::size_t ReliefRowCount(LONG width)
{
    return static_cast<std::size_t>(width) + 2;
}

// Row r's heights, r clamped to the picture: the frame repeats the edges.
void LoadHeights(const ReliefJob& job, LONG r, short* out)
{
    r = std::clamp(r, LONG{0}, job.height - 1);
    const BYTE* row = job.pixels + static_cast<std::size_t>(r) * job.stride;
    for (LONG x = 0; x < job.width; ++x)
        out[x + 1] = row[static_cast<std::size_t>(x) * 4 + 3];
    out[0] = out[1];
    out[job.width + 1] = out[job.width];
}

void ShadeBand(void* context, int range, std::int64_t begin, std::int64_t end)
{
    const auto* job = static_cast<const ReliefJob*>(context);
    const std::size_t n = ReliefRowCount(job->width);
    short* rows[3] = {job->rows + 3 * n * range, job->rows + (3 * range + 1) * n, job->rows + (3 * range + 2) * n};
    LoadHeights(*job, static_cast<LONG>(begin) - 1, rows[0]);
    LoadHeights(*job, static_cast<LONG>(begin), rows[1]);
    for (std::int64_t r = begin; r < end; ++r) {
        LoadHeights(*job, static_cast<LONG>(r) + 1, rows[2]);
        BumpRow(*job->params, rows[0], rows[1], rows[2], job->pixels + static_cast<std::size_t>(r) * job->stride,
                job->width);
        short* spare = rows[0];
        rows[0] = rows[1];
        rows[1] = rows[2];
        rows[2] = spare;
    }
}

}  // namespace

HGLOBAL AllocateReliefWork(LONG width, LONG height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    const std::size_t bands = static_cast<std::size_t>(RangeCountFor(height, width));
    return GlobalAlloc(GMEM_MOVEABLE, bands * 3 * ReliefRowCount(width) * sizeof(short));
}

void ShadeReliefInPlace(const BumpParams& params, BYTE* pixels, std::size_t stride, LONG width, LONG height,
                        HGLOBAL work)
{
    ReliefJob job = {&params, pixels, stride, width, height, static_cast<short*>(GlobalLock(work))};
    ForEachRange(height, width, &job, ShadeBand);
    GlobalUnlock(work);
    GlobalFree(work);
}

namespace {

struct TileJob {
    BYTE* destination;
    std::size_t destinationStride;
    const BYTE* tile;
    LONG regionHeight;
    LONG regionWidth;
    LONG tileWidth;
    LONG tileHeight;
};

// Rows [begin, end) from the top of the region, a tile's width at a time.
void TileRows(void* context, int, std::int64_t begin, std::int64_t end)
{
    const auto* job = static_cast<const TileJob*>(context);
    for (std::int64_t y = begin; y < end; ++y) {
        BYTE* d = job->destination + static_cast<std::size_t>(job->regionHeight - 1 - y) * job->destinationStride;
        const BYTE* t =
            job->tile + static_cast<std::size_t>(job->tileHeight - 1 - y % job->tileHeight) * job->tileWidth * 4;
        for (LONG x0 = 0; x0 < job->regionWidth; x0 += job->tileWidth) {
            const LONG n = std::min(job->tileWidth, job->regionWidth - x0);
            BYTE* span = d + static_cast<std::size_t>(x0) * 4;
            for (LONG x = 0; x < n; ++x)
                span[static_cast<std::size_t>(x) * 4 + 3] = t[static_cast<std::size_t>(x) * 4 + 3];
        }
    }
}

}  // namespace

void TileHeights(BYTE* destination, std::size_t destinationStride, const BYTE* tile, LONG regionWidth,
                 LONG regionHeight, LONG tileWidth, LONG tileHeight)
{
    if (tileWidth <= 0 || tileHeight <= 0)
        return;
    TileJob job = {destination, destinationStride, tile, regionHeight, regionWidth, tileWidth, tileHeight};
    ForEachRange(regionHeight, regionWidth, &job, TileRows);
}

namespace {

// Lays the watermark's heights over the placement's region of a picture
// (header at dib), into the 4th bytes of the picture's own pixels, and
// lights the region where it lies; the frame round the region repeats the
// region's edges.  Every block is taken before the first byte changes:
// Failure::OutOfMemory leaves the picture untouched.
Failure StampRegion(const BumpParams& params, BYTE* dib, LONG imageWidth, LONG imageHeight, const BumpPlacement& p,
                    const BYTE* watermarkDib)
{
    const LONG rw = std::min(p.regionWidth, imageWidth);
    const LONG rh = std::min(p.regionHeight, imageHeight);
    if (rw <= 0 || rh <= 0)
        return Failure::None;
    HGLOBAL work = AllocateReliefWork(rw, rh);
    if (!work)
        return Failure::OutOfMemory;
    HGLOBAL tileBlock = nullptr;
    if (p.placementCase == BumpCase::Tile) {
        BITMAPINFO tileHeader;
        const RECT tileRect = {0, 0, p.tileWidth, p.tileHeight};
        if (ScaleDib(&tileBlock, watermarkDib, &tileRect, &tileHeader) != 0) {
            GlobalFree(work);
            return Failure::OutOfMemory;
        }
    }

    const std::size_t stride = static_cast<std::size_t>(imageWidth) * 4;
    const LONG bottomRow = imageHeight - p.regionTop - rh;  // the region's, in memory order
    BYTE* region = WorkDibPixels(dib) + static_cast<std::size_t>(bottomRow) * stride +
                   static_cast<std::size_t>(p.regionLeft) * 4;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(watermarkDib);
    if (tileBlock) {
        const auto* tile = static_cast<const BYTE*>(GlobalLock(tileBlock));
        TileHeights(region, stride, WorkDibPixels(tile), rw, rh, p.tileWidth, p.tileHeight);
        GlobalUnlock(tileBlock);
        FreeBlock(tileBlock);
    } else if (header->biWidth > 0 && header->biHeight > 0) {
        ScaleHeights(region, stride, rw, rh, WorkDibPixels(watermarkDib), header->biWidth, header->biHeight);
    } else {
        // An empty watermark resamples to zero heights.
        for (LONG r = 0; r < rh; ++r)
            for (LONG x = 0; x < rw; ++x)
                region[static_cast<std::size_t>(r) * stride + static_cast<std::size_t>(x) * 4 + 3] = 0;
    }
    ShadeReliefInPlace(params, region, stride, rw, rh, work);
    return Failure::None;
}

}  // namespace

Failure ApplyBump(const BumpParams& params, ImageDocument* watermark, ImageDocument* image)
{
    if (!watermark->dib || !image->dib)
        return Failure::OutOfMemory;
    const BumpPlacement p =
        PlaceWatermark(params.layout, image->width, image->height, watermark->width, watermark->height);
    return StampRegion(params, image->dib, image->width, image->height, p, watermark->dib);
}

Failure RenderBumpPixels(const BumpParams& params, BYTE* previewDib, LONG pw, LONG ph, LONG wi, LONG hi,
                         ImageDocument* watermark)
{
    if (!watermark->dib)
        return Failure::OutOfMemory;
    const BumpPlacement p =
        PlaceWatermarkInPreview(params.layout, wi, hi, watermark->width, watermark->height, pw, ph);
    return StampRegion(params, previewDib, pw, ph, p, watermark->dib);
}

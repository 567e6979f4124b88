#include "processing/bump.h"

#include "processing/neighbourhood.h"
#include "processing/pixel_math.h"
#include "processing/scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Initially lit from the upper left, 45 degrees above the picture.
BumpSettingsRecord BumpSettings = {-0.5, 0.5, 0.7071067811865476, 20, 20.0, 200, 60, 0, 0, 0, 0, 0};

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

LONG ScaleDown(LONG value, LONG numerator, LONG denominator)
{
    if (denominator <= 0)
        return 0;
    return static_cast<LONG>(static_cast<std::int64_t>(value) * numerator / denominator);
}

RECT FittedSize(LONG boxWidth, LONG boxHeight, LONG ww, LONG wh)
{
    const RECT box = {0, 0, boxWidth, boxHeight};
    const RECT source = {0, 0, ww, wh};
    RECT fitted;
    FitRect(&box, &source, &fitted);
    return fitted;
}

}  // namespace

void BumpPixel(PixelBlock3x3* block)
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
    const double k = BumpSettings.strengthValue / 2000;
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
    const double D = BumpSettings.lightX * nx + BumpSettings.lightY * ny + BumpSettings.lightZ * nz;
    const double Rz = 2 * D * nz - BumpSettings.lightZ;
    const double specular = std::max(Rz, 0.0);

    // 5. Intensity.
    double I = std::max(30 * (0.15 * D + 0.8 * specular), 0.0);
    I = std::max(I + 0.15 * BumpSettings.ambient, 0.0);

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
        const int T = Truncate(static_cast<double>(L1 - L0) / L0 * L1 * (BumpSettings.amplification + 300) / 300);
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

// The lighting of a chunk of pixels from their gradients, in the order of
// BumpPixel's arithmetic, as loops over arrays the compiler vectorises.
QUILLVANE_ROW_BODY void LightChunkBody(const int* sx, const int* sy, const BYTE* own, BYTE* out, int count)
{
    const double k = BumpSettings.strengthValue / 2000;
    const double X = BumpSettings.lightX;
    const double Y = BumpSettings.lightY;
    const double Z = BumpSettings.lightZ;
    const double ambient = 0.15 * BumpSettings.ambient;
    const int gain = BumpSettings.amplification + 300;
    for (int i = 0; i < count; ++i) {
        const double nx0 = k * sx[i] / 8;
        const double ny0 = k * sy[i] / 8;
        const double nz0 = 1;
        double length = std::sqrt(nx0 * nx0 + ny0 * ny0 + nz0 * nz0);
        length = length <= 0.001 ? 1 : length;
        const double nx = nx0 / length;
        const double ny = ny0 / length;
        const double nz = nz0 / length;
        const double D = X * nx + Y * ny + Z * nz;
        const double Rz = 2 * D * nz - Z;
        const double specular = Rz < 0.0 ? 0.0 : Rz;
        double I = 30 * (0.15 * D + 0.8 * specular);
        I = I < 0.0 ? 0.0 : I;
        I = I + ambient;
        I = I < 0.0 ? 0.0 : I;

        const BYTE* p = own + (i + 1) * 4;
        const int B = p[0], G = p[1], R = p[2];
        const int L0 = static_cast<int>(0.59 * G + 0.30 * R + 0.11 * B);
        int R1 = static_cast<int>(R * I / 30);
        int G1 = static_cast<int>(G * I / 30);
        int B1 = static_cast<int>(B * I / 30);
        R1 = R1 > 255 ? 255 : R1;
        G1 = G1 > 255 ? 255 : G1;
        B1 = B1 > 255 ? 255 : B1;
        const int L1 = static_cast<int>(0.30 * R1 + 0.59 * G1 + 0.11 * B1);
        // Both luminances are non-zero in the amplified branch; elsewhere
        // the quotients are computed with harmless stand-ins and not used.
        // (Selections written as arithmetic keep the loop free of branches.)
        const int amplify = (L1 != 0) & (L0 != 0);
        const int safeL0 = L0 + (1 - amplify) * (1 - L0);
        const int safeL1 = L1 + (1 - amplify) * (1 - L1);
        const int T = static_cast<int>(static_cast<double>(L1 - L0) / safeL0 * L1 * gain / 300);
        const int Lt = L0 + T;
        int R2 = static_cast<int>(static_cast<double>(Lt * R1) / safeL1);
        int G2 = static_cast<int>(static_cast<double>(Lt * G1) / safeL1);
        int B2 = static_cast<int>(static_cast<double>(Lt * B1) / safeL1);
        R2 = R2 < 0 ? 0 : R2;
        G2 = G2 < 0 ? 0 : G2;
        B2 = B2 < 0 ? 0 : B2;
        R2 = R2 > 255 ? 255 : R2;
        G2 = G2 > 255 ? 255 : G2;
        B2 = B2 > 255 ? 255 : B2;
        BYTE* o = out + i * 4;
        o[0] = static_cast<BYTE>(amplify * B2 + (1 - amplify) * B1);
        o[1] = static_cast<BYTE>(amplify * G2 + (1 - amplify) * G1);
        o[2] = static_cast<BYTE>(amplify * R2 + (1 - amplify) * R1);
        o[3] = p[3];
    }
}

// The gradients of a chunk from the perturbed heights, by comparisons.
QUILLVANE_ROW_BODY void GradientChunkBody(const BYTE* below, const BYTE* own, const BYTE* above, int* sx, int* sy,
                                          int count)
{
    for (int i = 0; i < count; ++i) {
        const int at = i * 4 + 3;
        int h[9] = {below[at], below[at + 4], below[at + 8], own[at], own[at + 4], own[at + 8],
                    above[at], above[at + 4], above[at + 8]};
        int sum = 0;
        for (int j = 0; j < 9; ++j)
            sum += h[j];
        for (int j = 0; j < 9; ++j) {
            const int v = h[j] + PerturbationByComparisons(9 * h[j] - sum, h[j]);
            h[j] = v > 255 ? 255 : v;
        }
        sx[i] = (h[6] + 2 * h[3] + h[0]) - (h[8] + 2 * h[5] + h[2]);
        sy[i] = (h[0] + 2 * h[1] + h[2]) - (h[6] + 2 * h[7] + h[8]);
    }
}

constexpr RowVersions<LightChunkBody> LightChunk;
constexpr RowVersions<GradientChunkBody> GradientChunk;

}  // namespace

BumpRowMethod BumpRowMethodHere()
{
    static const BumpRowMethod method =
        ComparisonsMatchTheCosine() ? BumpRowMethod::Comparisons : BumpRowMethod::PerPixel;
    return method;
}

void BumpRow(const BYTE* below, const BYTE* own, const BYTE* above, BYTE* out, int pixels, BumpRowMethod method)
{
    if (method == BumpRowMethod::PerPixel) {
        PixelBlock3x3 block;
        for (int c = 0; c < pixels; ++c) {
            std::memcpy(block.px[0], below + c * 4, 12);
            std::memcpy(block.px[3], own + c * 4, 12);
            std::memcpy(block.px[6], above + c * 4, 12);
            BumpPixel(&block);
            std::memcpy(out + c * 4, block.px[4], 4);
        }
        return;
    }
    int sx[kBumpChunk];
    int sy[kBumpChunk];
    for (int first = 0; first < pixels; first += kBumpChunk) {
        const int count = std::min(pixels - first, kBumpChunk);
        const int at = first * 4;
        GradientChunk(below + at, own + at, above + at, sx, sy, count);
        LightChunk(sx, sy, own + at, out + at, count);
    }
}

void TileHeights(BYTE* destination, const BYTE* tile, LONG regionWidth, LONG regionHeight, LONG tileWidth,
                 LONG tileHeight)
{
    if (tileWidth <= 0 || tileHeight <= 0)
        return;
    for (LONG y = 0; y < regionHeight; ++y) {
        BYTE* d = destination + static_cast<std::size_t>(regionHeight - 1 - y) * regionWidth * 4;
        const BYTE* t = tile + static_cast<std::size_t>(tileHeight - 1 - y % tileHeight) * tileWidth * 4;
        for (LONG x = 0; x < regionWidth; ++x)
            d[static_cast<std::size_t>(x) * 4 + 3] = t[static_cast<std::size_t>(x % tileWidth) * 4 + 3];
    }
}

BumpPlacement PlaceWatermark(LONG wi, LONG hi, LONG ww, LONG wh)
{
    BumpPlacement p = {};
    const bool fits = ww <= wi && wh <= hi;
    const bool exactSize = ww == wi && wh == hi;
    if (fits && BumpSettings.DontEnlarge == 1) {
        p.placementCase = BumpCase::NoEnlarge;
        p.regionWidth = ww;
        p.regionHeight = wh;
        p.offsetMaxX = wi - ww;
        p.offsetMaxY = hi - wh;
        p.offsetBarX = ww != wi;
        p.offsetBarY = wh != hi;
        p.regionLeft = BumpSettings.OffsetX;
        p.regionTop = BumpSettings.OffsetY;
    } else if (fits && BumpSettings.RepeatTile == 1) {
        p.placementCase = BumpCase::Tile;
        p.regionWidth = wi;
        p.regionHeight = hi;
        p.tileWidth = ww;
        p.tileHeight = wh;
    } else {
        p.placementCase = BumpCase::Stretch;
        p.regionWidth = wi;
        p.regionHeight = hi;
        if (BumpSettings.KeepAspect == 1) {
            const RECT fitted = FittedSize(wi, hi, ww, wh);
            const LONG fw = fitted.right - fitted.left;
            const LONG fh = fitted.bottom - fitted.top;
            p.regionWidth = fw;
            p.regionHeight = fh;
            p.regionLeft = fw >= wi ? 0 : BumpSettings.OffsetX;
            p.regionTop = fh >= hi ? 0 : BumpSettings.OffsetY;
            p.offsetBarX = !exactSize && fw < wi;
            p.offsetBarY = !exactSize && fh < hi;
            p.offsetMaxX = p.offsetBarX ? wi - fw : 0;
            p.offsetMaxY = p.offsetBarY ? hi - fh : 0;
        }
    }
    if (p.placementCase != BumpCase::Tile) {
        p.tileWidth = p.regionWidth;
        p.tileHeight = p.regionHeight;
    }
    // Offsets left over from another watermark never push the region out
    // of the picture.
    p.regionLeft = std::clamp(p.regionLeft, LONG{0}, std::max(wi - p.regionWidth, LONG{0}));
    p.regionTop = std::clamp(p.regionTop, LONG{0}, std::max(hi - p.regionHeight, LONG{0}));
    return p;
}

BumpPlacement PlaceWatermarkInPreview(LONG wi, LONG hi, LONG ww, LONG wh, LONG pw, LONG ph)
{
    BumpPlacement p = PlaceWatermark(wi, hi, ww, wh);
    const LONG fw = p.regionWidth;   // the full-size fitted size in case C
    const LONG fh = p.regionHeight;
    switch (p.placementCase) {
    case BumpCase::NoEnlarge:
        p.regionWidth = ScaleDown(ww, pw, wi);
        p.regionHeight = ScaleDown(wh, ph, hi);
        p.regionLeft = ScaleDown(BumpSettings.OffsetX, pw, wi);
        p.regionTop = ScaleDown(BumpSettings.OffsetY, ph, hi);
        p.tileWidth = p.regionWidth;
        p.tileHeight = p.regionHeight;
        break;
    case BumpCase::Tile:
        p.regionLeft = p.regionTop = 0;
        p.regionWidth = pw;
        p.regionHeight = ph;
        // A tile too small for one preview pixel still shows as one.
        p.tileWidth = std::max(ScaleDown(ww, pw, wi), LONG{1});
        p.tileHeight = std::max(ScaleDown(wh, ph, hi), LONG{1});
        break;
    case BumpCase::Stretch:
        if (BumpSettings.KeepAspect != 1 || (ww == wi && wh == hi)) {
            p.regionLeft = p.regionTop = 0;
            p.regionWidth = pw;
            p.regionHeight = ph;
            p.offsetBarX = p.offsetBarY = false;
            p.offsetMaxX = p.offsetMaxY = 0;
        } else {
            const RECT fitted = FittedSize(pw, ph, ww, wh);
            const LONG pwW = fitted.right - fitted.left;
            const LONG phW = fitted.bottom - fitted.top;
            p.regionWidth = pwW;
            p.regionHeight = phW;
            p.regionLeft = pwW < pw ? ScaleDown(BumpSettings.OffsetX, pwW, fw) : 0;
            const LONG gap = phW < ph ? ScaleDown(hi - fh - BumpSettings.OffsetY, phW, fh) : 0;
            p.regionTop = ph - phW - gap;
            // The bars follow what the preview shows.
            p.offsetBarX = pwW < pw;
            p.offsetBarY = phW < ph;
            p.offsetMaxX = p.offsetBarX ? wi - fw : 0;
            p.offsetMaxY = p.offsetBarY ? hi - fh : 0;
        }
        p.tileWidth = p.regionWidth;
        p.tileHeight = p.regionHeight;
        break;
    }
    p.regionLeft = std::clamp(p.regionLeft, LONG{0}, std::max(pw - p.regionWidth, LONG{0}));
    p.regionTop = std::clamp(p.regionTop, LONG{0}, std::max(ph - p.regionHeight, LONG{0}));
    return p;
}

namespace {

// A region that is the whole picture: the heights go straight into the
// picture's 4th bytes and the picture is lit where it lies, which is what
// lighting a copy and copying it back comes to, without the copy.  Every
// block is taken before the first byte changes.
int StampWholePicture(BYTE* pixels, LONG width, LONG height, const BumpPlacement& p, const BYTE* watermarkDib)
{
    HGLOBAL work = AllocateReliefWork(width, height);
    if (!work)
        return -1;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(watermarkDib);
    if (p.placementCase == BumpCase::Tile) {
        HGLOBAL tileBlock = nullptr;
        BITMAPINFO tileHeader;
        const RECT tileRect = {0, 0, p.tileWidth, p.tileHeight};
        if (ScaleDib(&tileBlock, watermarkDib, &tileRect, &tileHeader) != 0) {
            GlobalFree(work);
            return -1;
        }
        const auto* tile = static_cast<const BYTE*>(GlobalLock(tileBlock));
        TileHeights(pixels, WorkDibPixels(tile), width, height, p.tileWidth, p.tileHeight);
        GlobalUnlock(tileBlock);
        GlobalFree(tileBlock);
    } else if (header->biWidth > 0 && header->biHeight > 0) {
        ScaleHeights(pixels, width, height, WorkDibPixels(watermarkDib), header->biWidth, header->biHeight);
    } else {
        // An empty watermark resamples to zero heights.
        for (std::size_t i = 3; i < static_cast<std::size_t>(width) * height * 4; i += 4)
            pixels[i] = 0;
    }
    ShadeReliefInPlace(pixels, width, height, work);
    return 0;
}

// Lays the watermark over the placement's region of a picture (header at
// dib) and lights it.  Returns -1 with the picture untouched when a
// working block cannot be allocated.
int StampRegion(BYTE* dib, LONG imageWidth, LONG imageHeight, const BumpPlacement& p, const BYTE* watermarkDib)
{
    const LONG rw = std::min(p.regionWidth, imageWidth);
    const LONG rh = std::min(p.regionHeight, imageHeight);
    if (rw <= 0 || rh <= 0)
        return 0;
    if (rw == imageWidth && rh == imageHeight && p.regionLeft == 0 && p.regionTop == 0)
        return StampWholePicture(WorkDibPixels(dib), imageWidth, imageHeight, p, watermarkDib);

    // The heights: the watermark resampled to the region, or to one tile
    // repeated over it.
    HGLOBAL regionBlock = nullptr;
    HGLOBAL tileBlock = nullptr;
    BITMAPINFO header;
    const RECT regionRect = {0, 0, rw, rh};
    if (p.placementCase == BumpCase::Tile) {
        const RECT tileRect = {0, 0, p.tileWidth, p.tileHeight};
        if (ScaleDib(&tileBlock, watermarkDib, &tileRect, &header) != 0)
            return -1;
        regionBlock = GlobalAlloc(GHND, WorkDibBlockBytes(rw, rh));
        if (!regionBlock) {
            GlobalFree(tileBlock);
            return -1;
        }
        auto* region = static_cast<BYTE*>(GlobalLock(regionBlock));
        WriteWorkDibHeader(region, rw, rh);
        const auto* tile = static_cast<const BYTE*>(GlobalLock(tileBlock));
        TileHeights(WorkDibPixels(region), WorkDibPixels(tile), rw, rh, p.tileWidth, p.tileHeight);
        GlobalUnlock(tileBlock);
        GlobalFree(tileBlock);
        GlobalUnlock(regionBlock);
    } else if (ScaleDib(&regionBlock, watermarkDib, &regionRect, &header) != 0) {
        return -1;
    }

    // The picture's colours under the heights.
    auto* region = static_cast<BYTE*>(GlobalLock(regionBlock));
    BYTE* regionPixels = WorkDibPixels(region);
    BYTE* imagePixels = WorkDibPixels(dib);
    const std::size_t imageStride = static_cast<std::size_t>(imageWidth) * 4;
    const std::size_t regionStride = static_cast<std::size_t>(rw) * 4;
    const LONG firstImageRow = imageHeight - p.regionTop - rh;  // region's bottom row, in memory order
    for (LONG r = 0; r < rh; ++r) {
        const BYTE* s = imagePixels + (firstImageRow + r) * imageStride + static_cast<std::size_t>(p.regionLeft) * 4;
        BYTE* d = regionPixels + r * regionStride;
        for (LONG x = 0; x < rw; ++x, s += 4, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }

    // Light it, always as relief shading.
    const int savedMode = ProcessingMode;
    ProcessingMode = 2;
    const int lit = ApplyNeighbourhoodFilter(nullptr, regionBlock);
    ProcessingMode = savedMode;

    if (lit == 0) {
        for (LONG r = 0; r < rh; ++r)
            std::memcpy(imagePixels + (firstImageRow + r) * imageStride + static_cast<std::size_t>(p.regionLeft) * 4,
                        regionPixels + r * regionStride, regionStride);
    }
    GlobalUnlock(regionBlock);
    GlobalFree(regionBlock);
    return lit;
}

}  // namespace

int ApplyBump(HWND window, ImageDocument* watermark, ImageDocument* image)
{
    (void)window;
    if (!watermark->dib || !image->dib)
        return -1;
    const BumpPlacement p = PlaceWatermark(image->width, image->height, watermark->width, watermark->height);
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const int result = StampRegion(image->dib, image->width, image->height, p, watermark->dib);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return result;
}

int RenderBumpPixels(BYTE* previewDib, LONG pw, LONG ph, LONG wi, LONG hi, ImageDocument* watermark)
{
    if (!watermark->dib)
        return -1;
    const BumpPlacement p = PlaceWatermarkInPreview(wi, hi, watermark->width, watermark->height, pw, ph);
    return StampRegion(previewDib, pw, ph, p, watermark->dib);
}

#include "support/reference_engines.h"

#include <algorithm>
#include <utility>
#include <vector>
#include <cmath>
#include <cstdio>

namespace ref {

namespace {

constexpr double kPi = 3.141592653589793;

int Clamp255(long long v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
}

int ClampIndex(int v, int n)
{
    return v < 0 ? 0 : (v >= n ? n - 1 : v);
}

}  // namespace

std::string DescribeDifferences(const Picture& expected, const Picture& actual, int maxReported)
{
    if (expected.width != actual.width || expected.height != actual.height) {
        char line[96];
        std::snprintf(line, sizeof line, "size %dx%d expected, %dx%d found\n", expected.width,
                      expected.height, actual.width, actual.height);
        return line;
    }
    std::string report;
    int reported = 0;
    int total = 0;
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            const std::uint8_t* e = expected.At(x, y);
            const std::uint8_t* a = actual.At(x, y);
            if (std::equal(e, e + 4, a))
                continue;
            ++total;
            if (reported < maxReported) {
                char line[160];
                std::snprintf(line, sizeof line,
                              "  (%d,%d) from top-left: expected B,G,R,h = %d,%d,%d,%d, got %d,%d,%d,%d\n", x,
                              y, e[0], e[1], e[2], e[3], a[0], a[1], a[2], a[3]);
                report += line;
                ++reported;
            }
        }
    }
    if (total > reported)
        report += "  ... " + std::to_string(total - reported) + " more differing pixels\n";
    return report;
}

// ---- Rectangle fitting and bilinear resampling ----------------------------

Rect64 FitRect(const Rect64& box, std::int64_t sw, std::int64_t sh)
{
    const std::int64_t bw = box.right - box.left;
    const std::int64_t bh = box.bottom - box.top;
    const std::int64_t rs = (sh * 1024) / sw;
    const std::int64_t rb = (bh * 1024) / bw;
    const std::int64_t ri = (sw * 1024) / sh;
    std::int64_t width;
    std::int64_t height;
    if (rs < rb) {
        width = bw;
        height = (rs * bw) >> 10;
        if (height > bh)
            height = bh;
    } else {
        height = bh;
        width = (ri * bh) >> 10;
        if (width > bw)
            width = bw;
    }
    const std::int64_t dx = (bw - width) >> 1;
    const std::int64_t dy = (bh - height) >> 1;
    return Rect64{box.left + dx, box.top + dy, box.left + dx + width, box.top + dy + height};
}

Picture Scale(const Picture& source, int w, int h)
{
    Picture out(w, h);
    const int sw = source.width;
    const int sh = source.height;
    for (int j = 0; j < h; ++j) {
        for (int k = 0; k < w; ++k) {
            const double fx = (sw - 1) * (static_cast<double>(k) / static_cast<double>(w));
            const double fy = (sh - 1) * (static_cast<double>(j) / static_cast<double>(h));
            const int x0 = static_cast<int>(fx);
            const int y0 = static_cast<int>(fy);
            const double tx = fx - x0;
            const double ty = fy - y0;
            // Neighbours past the last column or row only ever carry weight 0.
            const int x1 = std::min(x0 + 1, sw - 1);
            const int y1 = std::min(y0 + 1, sh - 1);
            const std::uint8_t* p00 = source.At(x0, y0);
            const std::uint8_t* p10 = source.At(x1, y0);
            const std::uint8_t* p01 = source.At(x0, y1);
            const std::uint8_t* p11 = source.At(x1, y1);
            std::uint8_t* t = out.At(k, j);
            for (int c = 0; c < 4; ++c) {
                double v = tx * (1 - ty) * p10[c];
                v = v + (1 - tx) * (1 - ty) * p00[c];
                v = v + tx * ty * p11[c];
                v = v + (1 - tx) * ty * p01[c];
                v = v + 0.5;
                t[c] = static_cast<std::uint8_t>(Clamp255(static_cast<long long>(v)));
            }
        }
    }
    return out;
}

namespace {

// The weights of one axis, m source pixels to n, found by trying every
// source pixel: (index, weight) pairs per new pixel, and their total.
std::vector<std::vector<std::pair<int, std::int64_t>>> AxisWeights(std::int64_t m, std::int64_t n,
                                                                   std::int64_t* total)
{
    std::vector<std::vector<std::pair<int, std::int64_t>>> taps(static_cast<std::size_t>(n));
    *total = n <= m ? m : 2 * n;
    for (std::int64_t x = 0; x < n; ++x) {
        const std::int64_t centre = std::clamp((2 * x + 1) * m - n, std::int64_t{0}, 2 * n * (m - 1));
        for (std::int64_t i = 0; i < m; ++i) {
            const std::int64_t weight =
                n <= m ? std::min((i + 1) * n, (x + 1) * m) - std::max(i * n, x * m)
                       : 2 * n - (centre > 2 * n * i ? centre - 2 * n * i : 2 * n * i - centre);
            if (weight > 0)
                taps[static_cast<std::size_t>(x)].emplace_back(static_cast<int>(i), weight);
        }
    }
    return taps;
}

std::uint64_t HalfUp(std::uint64_t n, std::uint64_t d)
{
    return (2 * n + d) / (2 * d);
}

}  // namespace

Picture Resize(const Picture& source, const std::vector<std::uint8_t>& alpha, int w, int h,
               std::vector<std::uint8_t>* alphaOut)
{
    std::int64_t tx = 0, ty = 0;
    const auto across = AxisWeights(source.width, w, &tx);
    const auto down = AxisWeights(source.height, h, &ty);
    const std::uint64_t total = static_cast<std::uint64_t>(tx * ty);
    const bool weighted = std::any_of(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a != 255; });
    Picture out(w, h);
    alphaOut->assign(alpha.empty() ? 0 : static_cast<std::size_t>(w) * h, 255);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint64_t plain[4] = {}, premultiplied[3] = {}, alphaSum = 0;
            for (const auto& [j, wy] : down[static_cast<std::size_t>(y)]) {
                for (const auto& [i, wx] : across[static_cast<std::size_t>(x)]) {
                    const std::uint64_t weight = static_cast<std::uint64_t>(wx * wy);
                    const std::uint8_t* p = source.At(i, j);
                    // The plane is in stored order: row 0 at the bottom.
                    const std::uint64_t a =
                        weighted ? alpha[static_cast<std::size_t>(source.height - 1 - j) * source.width + i] : 255;
                    alphaSum += weight * a;
                    for (int c = 0; c < 4; ++c)
                        plain[c] += weight * p[c];
                    for (int c = 0; c < 3; ++c)
                        premultiplied[c] += weight * a * p[c];
                }
            }
            std::uint8_t* t = out.At(x, y);
            for (int c = 0; c < 4; ++c)
                t[c] = static_cast<std::uint8_t>(HalfUp(plain[c], total));
            if (weighted) {
                for (int c = 0; c < 3; ++c)
                    if (alphaSum > 0)
                        t[c] = static_cast<std::uint8_t>(HalfUp(premultiplied[c], alphaSum));
                (*alphaOut)[static_cast<std::size_t>(h - 1 - y) * w + x] =
                    static_cast<std::uint8_t>(HalfUp(alphaSum, total));
            }
        }
    }
    return out;
}

// ---- 3x3 neighbourhood operators -----------------------------------------

void FilterPixel(const std::uint8_t block[9][4], std::uint8_t centreOut[4], const FilterParams& f)
{
    // Kernels in block order: row below on screen first.
    static const int sharpen[9] = {1, 1, 1, 1, -8, 1, 1, 1, 1};
    static const int emboss[9] = {0, 1, 1, -1, 0, 1, -1, -1, 0};
    for (int c = 0; c < 3; ++c) {
        const int centre = block[4][c];
        long long v = centre;
        switch (f.kind) {
        case FilterKind::Sharpen: {
            int s = 0;
            for (int i = 0; i < 9; ++i)
                s += sharpen[i] * block[i][c];
            const double factor = static_cast<double>(f.strength) / 30.0;
            const double product = s * factor;
            v = centre - static_cast<long long>(product);
            break;
        }
        case FilterKind::Soft: {
            int s = 0;
            for (int i = 0; i < 9; ++i)
                s += block[i][c];
            v = s / 9;
            break;
        }
        case FilterKind::Emboss: {
            int s = 0;
            for (int i = 0; i < 9; ++i)
                s += emboss[i] * block[i][c];
            const double factor = static_cast<double>(f.strength) / 10.0;
            const double product = s * factor;
            v = centre + static_cast<long long>(product);
            break;
        }
        case FilterKind::Custom: {
            int s = 0;
            for (int i = 0; i < 9; ++i)
                s += f.customKernel[i / 3][i % 3] * block[i][c];
            const double factor = static_cast<double>(f.strength) / 10.0;
            const double product = s * factor;
            v = centre + static_cast<long long>(product);
            break;
        }
        default:
            break;
        }
        centreOut[c] = static_cast<std::uint8_t>(Clamp255(v));
    }
}

void BumpPixel(const std::uint8_t block[9][4], std::uint8_t centreOut[4], const LightParams& l)
{
    const double B = block[4][0];
    const double G = block[4][1];
    const double R = block[4][2];

    const long long L0 = static_cast<long long>(0.59 * G + 0.30 * R + 0.11 * B);

    int sum = 0;
    for (int i = 0; i < 9; ++i)
        sum += block[i][3];
    const double mean = sum / 9.0;
    int hp[9];
    for (int i = 0; i < 9; ++i) {
        const double h = block[i][3];
        const double angle = kPi * (h - mean) / 64;
        const double raised = h + 1 - std::cos(angle);
        hp[i] = Clamp255(static_cast<long long>(raised));
    }
    // Screen names: a b c on the upper row (block row 2), d e f centre,
    // g h i lower row (block row 0).
    const int a = hp[6], b = hp[7], c = hp[8];
    const int d = hp[3], f = hp[5];
    const int g = hp[0], hh = hp[1], i = hp[2];
    const int sx = (a + 2 * d + g) - (c + 2 * f + i);
    const int sy = (g + 2 * hh + i) - (a + 2 * b + c);
    const double k = l.strength / 2000;
    double nx = k * sx / 8;
    double ny = k * sy / 8;
    double nz = 1;
    double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length <= 0.001)
        length = 1;
    nx = nx / length;
    ny = ny / length;
    nz = nz / length;

    const double D = l.x * nx + l.y * ny + l.z * nz;
    const double rz = 2 * D * nz - l.z;
    const double specular = rz > 0 ? rz : 0;
    double intensity = 30 * (0.15 * D + 0.8 * specular);
    if (intensity < 0)
        intensity = 0;
    intensity = intensity + 0.15 * l.ambient;
    if (intensity < 0)
        intensity = 0;

    const long long r1 = std::min<long long>(static_cast<long long>(R * intensity / 30), 255);
    const long long g1 = std::min<long long>(static_cast<long long>(G * intensity / 30), 255);
    const long long b1 = std::min<long long>(static_cast<long long>(B * intensity / 30), 255);
    const long long L1 = static_cast<long long>(0.30 * static_cast<double>(r1) + 0.59 * static_cast<double>(g1) +
                                                0.11 * static_cast<double>(b1));

    long long r2 = r1, g2 = g1, b2 = b1;
    if (L1 != 0 && L0 != 0) {
        const double t = static_cast<double>(L1 - L0) / static_cast<double>(L0) * static_cast<double>(L1) *
                         static_cast<double>(l.amplification + 300) / 300;
        const long long lt = L0 + static_cast<long long>(t);
        r2 = static_cast<long long>(static_cast<double>(lt) * static_cast<double>(r1) / static_cast<double>(L1));
        g2 = static_cast<long long>(static_cast<double>(lt) * static_cast<double>(g1) / static_cast<double>(L1));
        b2 = static_cast<long long>(static_cast<double>(lt) * static_cast<double>(b1) / static_cast<double>(L1));
    }
    centreOut[0] = static_cast<std::uint8_t>(Clamp255(b2));
    centreOut[1] = static_cast<std::uint8_t>(Clamp255(g2));
    centreOut[2] = static_cast<std::uint8_t>(Clamp255(r2));
}

void NeighbourhoodPass(Picture& picture, int mode, const FilterParams& f, const LightParams& l)
{
    if (mode != 1 && mode != 2)
        return;
    const int passes = (mode == 1 && f.kind == FilterKind::Soft) ? f.strength : 1;
    const Picture original = picture;
    for (int pass = 0; pass < passes; ++pass) {
        const Picture previous = picture;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                std::uint8_t block[9][4];
                for (int row = 0; row < 3; ++row) {
                    const int ny = y + 1 - row;  // block row 0 is the row below on screen
                    for (int col = 0; col < 3; ++col) {
                        const int nx = x + col - 1;
                        const bool inside = nx >= 0 && nx < picture.width && ny >= 0 && ny < picture.height;
                        // Outside the picture the neighbour is the nearest
                        // edge pixel as it was before the first pass.
                        const std::uint8_t* p = inside ? previous.At(nx, ny)
                                                       : original.At(ClampIndex(nx, picture.width),
                                                                     ClampIndex(ny, picture.height));
                        std::copy(p, p + 4, block[row * 3 + col]);
                    }
                }
                std::uint8_t out[4];
                std::copy(block[4], block[4] + 4, out);
                if (mode == 1)
                    FilterPixel(block, out, f);
                else
                    BumpPixel(block, out, l);
                std::copy(out, out + 4, picture.At(x, y));
            }
        }
    }
}

// ---- Watermark placement and relief ---------------------------------------

Placement Place(std::int64_t wi, std::int64_t hi, std::int64_t ww, std::int64_t wh, const PlaceParams& p)
{
    Placement pl;
    const bool fits = ww <= wi && wh <= hi;
    if (fits && p.dontEnlarge == 1) {
        pl.placementCase = Case::NoEnlarge;
        pl.left = p.offsetX;
        pl.top = p.offsetY;
        pl.width = ww;
        pl.height = wh;
        pl.tileWidth = ww;
        pl.tileHeight = wh;
        pl.offsetMaxX = wi - ww;
        pl.offsetMaxY = hi - wh;
        pl.barX = ww != wi;
        pl.barY = wh != hi;
        return pl;
    }
    if (fits && p.repeatTile == 1) {
        pl.placementCase = Case::Tile;
        pl.width = wi;
        pl.height = hi;
        pl.tileWidth = ww;
        pl.tileHeight = wh;
        return pl;
    }
    pl.placementCase = Case::Stretch;
    if (p.keepAspect != 1) {
        pl.width = wi;
        pl.height = hi;
        pl.tileWidth = wi;
        pl.tileHeight = hi;
        return pl;
    }
    const Rect64 fit = FitRect(Rect64{0, 0, wi, hi}, ww, wh);
    const std::int64_t fw = fit.right - fit.left;
    const std::int64_t fh = fit.bottom - fit.top;
    pl.width = fw;
    pl.height = fh;
    pl.tileWidth = fw;
    pl.tileHeight = fh;
    pl.left = fw >= wi ? 0 : p.offsetX;
    pl.top = fh >= hi ? 0 : p.offsetY;
    if (!(ww == wi && wh == hi)) {
        pl.barX = fw < wi;
        pl.barY = fh < hi;
        pl.offsetMaxX = wi - fw;
        pl.offsetMaxY = hi - fh;
    }
    return pl;
}

Placement PlaceInPreview(std::int64_t wi, std::int64_t hi, std::int64_t ww, std::int64_t wh, std::int64_t pw,
                         std::int64_t ph, const PlaceParams& p)
{
    const Placement full = Place(wi, hi, ww, wh, p);
    Placement pl = full;
    switch (full.placementCase) {
    case Case::NoEnlarge:
        pl.width = ww * pw / wi;
        pl.height = wh * ph / hi;
        pl.left = p.offsetX * pw / wi;
        pl.top = p.offsetY * ph / hi;
        pl.tileWidth = pl.width;
        pl.tileHeight = pl.height;
        return pl;
    case Case::Tile:
        pl.left = 0;
        pl.top = 0;
        pl.width = pw;
        pl.height = ph;
        pl.tileWidth = std::max<std::int64_t>(1, ww * pw / wi);
        pl.tileHeight = std::max<std::int64_t>(1, wh * ph / hi);
        return pl;
    case Case::Stretch:
        break;
    }
    if (p.keepAspect != 1 || (ww == wi && wh == hi)) {
        pl.left = 0;
        pl.top = 0;
        pl.width = pw;
        pl.height = ph;
        pl.tileWidth = pw;
        pl.tileHeight = ph;
        pl.barX = pl.barY = false;
        pl.offsetMaxX = pl.offsetMaxY = 0;
        return pl;
    }
    const Rect64 fitPreview = FitRect(Rect64{0, 0, pw, ph}, ww, wh);
    const std::int64_t pwW = fitPreview.right - fitPreview.left;
    const std::int64_t phW = fitPreview.bottom - fitPreview.top;
    const std::int64_t fw = full.width;
    const std::int64_t fh = full.height;
    pl.width = pwW;
    pl.height = phW;
    pl.tileWidth = pwW;
    pl.tileHeight = phW;
    pl.left = pwW < pw ? p.offsetX * pwW / fw : 0;
    const std::int64_t gap = phW < ph ? (hi - fh - p.offsetY) * phW / fh : 0;
    pl.top = ph - phW - gap;
    // Rounding of the two fits can push the region a pixel past the
    // preview's edge; it is kept inside the preview.
    pl.left = std::clamp<std::int64_t>(pl.left, 0, std::max<std::int64_t>(pw - pwW, 0));
    pl.top = std::clamp<std::int64_t>(pl.top, 0, std::max<std::int64_t>(ph - phW, 0));
    pl.barX = pwW < pw;
    pl.barY = phW < ph;
    pl.offsetMaxX = pl.barX ? wi - fw : 0;
    pl.offsetMaxY = pl.barY ? hi - fh : 0;
    return pl;
}

void TileHeights(Picture& region, const Picture& tile)
{
    for (int y = 0; y < region.height; ++y)
        for (int x = 0; x < region.width; ++x)
            region.At(x, y)[3] = tile.At(x % tile.width, y % tile.height)[3];
}

namespace {

void Relief(Picture& image, const Picture& watermark, const Placement& pl, const LightParams& l)
{
    if (pl.width <= 0 || pl.height <= 0)
        return;
    Picture region;
    if (pl.placementCase == Case::Tile) {
        region = Picture(static_cast<int>(pl.width), static_cast<int>(pl.height));
        const Picture tile = Scale(watermark, static_cast<int>(pl.tileWidth), static_cast<int>(pl.tileHeight));
        TileHeights(region, tile);
    } else {
        region = Scale(watermark, static_cast<int>(pl.width), static_cast<int>(pl.height));
    }
    const int left = static_cast<int>(pl.left);
    const int top = static_cast<int>(pl.top);
    for (int y = 0; y < region.height; ++y)
        for (int x = 0; x < region.width; ++x)
            std::copy(image.At(left + x, top + y), image.At(left + x, top + y) + 3, region.At(x, y));
    NeighbourhoodPass(region, 2, FilterParams{}, l);
    for (int y = 0; y < region.height; ++y)
        for (int x = 0; x < region.width; ++x)
            std::copy(region.At(x, y), region.At(x, y) + 4, image.At(left + x, top + y));
}

}  // namespace

void ApplyBump(Picture& image, const Picture& watermark, const PlaceParams& p, const LightParams& l)
{
    const Placement pl = Place(image.width, image.height, watermark.width, watermark.height, p);
    Relief(image, watermark, pl, l);
}

void RenderBumpPreview(Picture& preview, int wi, int hi, const Picture& watermark, const PlaceParams& p,
                       const LightParams& l)
{
    const Placement pl =
        PlaceInPreview(wi, hi, watermark.width, watermark.height, preview.width, preview.height, p);
    Relief(preview, watermark, pl, l);
}

// ---- Point effects ---------------------------------------------------------

void Effect(Picture& picture, EffectKind kind, int n, const int lower[3], const int upper[3])
{
    for (std::size_t i = 0; i < picture.bytes.size(); i += 4) {
        for (int c = 0; c < 3; ++c) {
            int v = picture.bytes[i + c];
            switch (kind) {
            case EffectKind::Negative:
                v = 255 - v;
                break;
            case EffectKind::Posterize:
                v = (v / n) * n;
                break;
            case EffectKind::Solarize: {
                int m = v % (2 * n);
                if (m >= n)
                    m = 2 * n - 1 - m;
                v = (m * 255) / (n - 1);
                break;
            }
            case EffectKind::Binarize:
                v = (v % (2 * n)) >= n ? 255 : 0;
                break;
            case EffectKind::Contrast: {
                const int lo = lower[c];
                const int hi = upper[c];
                if (v < lo)
                    v = lo;
                if (v > hi)
                    v = hi;
                v = hi != lo ? ((v - lo) * 255) / (hi - lo) : lo;
                break;
            }
            default:
                break;
            }
            picture.bytes[i + c] = static_cast<std::uint8_t>(Clamp255(v));
        }
    }
}

void MeasureRanges(const Picture& picture, int minimum[3], int maximum[3])
{
    for (int c = 0; c < 3; ++c) {
        minimum[c] = 255;
        maximum[c] = 0;
    }
    for (std::size_t i = 0; i < picture.bytes.size(); i += 4) {
        for (int c = 0; c < 3; ++c) {
            minimum[c] = std::min<int>(minimum[c], picture.bytes[i + c]);
            maximum[c] = std::max<int>(maximum[c], picture.bytes[i + c]);
        }
    }
}

// ---- Colour adjustment ------------------------------------------------------

void YshPixel(std::uint8_t& r, std::uint8_t& g, std::uint8_t& b, double luminanceFactor, double saturationFactor,
              double hueRotation)
{
    const double R = r, G = g, B = b;
    const double Y = 0.59 * G + 0.30 * R + 0.11 * B;
    const double cr = R - Y;
    const double cb = B - Y;
    const double S = std::sqrt(cb * cb + cr * cr);
    double H = 0;
    if (S > 0) {
        H = std::atan2(cr, cb) * 57.29577951308232;
        if (H < 0)
            H = H + 360;
    }
    const double Y2 = Y * luminanceFactor;
    const double S2 = S * saturationFactor;
    double H2 = H + hueRotation;
    if (H2 > 360)
        H2 = H2 - 360;
    if (H2 < 0)
        H2 = H2 + 360;
    const double theta = H2 * kPi / 180;
    const double s = std::sin(theta);
    const double c = std::cos(theta);
    const long long r2 = static_cast<long long>(Y2 + S2 * s);
    const long long b2 = static_cast<long long>(Y2 + S2 * c);
    const long long g2 = static_cast<long long>(Y2 - 0.5084745762711864 * S2 * s - 0.1864406779661017 * S2 * c);
    r = static_cast<std::uint8_t>(Clamp255(r2));
    g = static_cast<std::uint8_t>(Clamp255(g2));
    b = static_cast<std::uint8_t>(Clamp255(b2));
}

void Ysh(Picture& picture, int luminancePos, int saturationPos, int huePos)
{
    const double lf = luminancePos / 100.0;
    const double sf = saturationPos / 100.0;
    const double rot = huePos - 180.0;
    for (std::size_t i = 0; i < picture.bytes.size(); i += 4)
        YshPixel(picture.bytes[i + 2], picture.bytes[i + 1], picture.bytes[i], lf, sf, rot);
}

void CmykRoundTrip(Picture& picture)
{
    for (std::size_t i = 0; i < picture.bytes.size(); i += 4) {
        const double r = picture.bytes[i + 2] / 255.0;
        const double g = picture.bytes[i + 1] / 255.0;
        const double b = picture.bytes[i] / 255.0;
        const double k = std::min(std::min(1 - r, 1 - b), 1 - g);
        if (k == 1) {
            picture.bytes[i] = picture.bytes[i + 1] = picture.bytes[i + 2] = 0;
            continue;
        }
        const double cyan = (1 - r - k) / (1 - k);
        const double magenta = (1 - g - k) / (1 - k);
        const double yellow = (1 - b - k) / (1 - k);
        const double r2 = 1 - std::min(cyan * (1 - k) + k, 1.0);
        const double g2 = 1 - std::min(magenta * (1 - k) + k, 1.0);
        const double b2 = 1 - std::min(yellow * (1 - k) + k, 1.0);
        picture.bytes[i + 2] = static_cast<std::uint8_t>(Clamp255(static_cast<long long>(r2 * 255)));
        picture.bytes[i + 1] = static_cast<std::uint8_t>(Clamp255(static_cast<long long>(g2 * 255)));
        picture.bytes[i] = static_cast<std::uint8_t>(Clamp255(static_cast<long long>(b2 * 255)));
    }
}

}  // namespace ref

// The relief watermark: BumpPixel figures, TileHeights, the placement cases
// at full size and in the preview, and the whole apply compared with the
// reference on random pictures, watermarks, lights and settings.

#include "app/offset_bars.h"
#include "processing/bump.h"
#include "processing/neighbourhood.h"
#include "processing/placement.h"
#include "processing/scale.h"
#include "support/processing_support.h"
#include "support/reference_engines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

namespace {

using proc_test::FlatPicture;
using proc_test::RandomPicture;

class BumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StandInFailNthAllocation(0);
        bump = BumpParams{};
        bump.lightX = 0.0;
        bump.lightY = 0.0;
        bump.lightZ = 1.0;
        SetStrength(20);
        bump.amplification = 200;
        bump.ambient = 60;
        blocksBefore = StandInLiveBlocks();
    }
    void TearDown() override
    {
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(blocksBefore) << "a block was leaked";
    }

    void SetStrength(int s) { bump.strength = s; }

    ref::LightParams Light() const
    {
        ref::LightParams l;
        l.x = bump.lightX;
        l.y = bump.lightY;
        l.z = bump.lightZ;
        l.strength = bump.strength;
        l.amplification = bump.amplification;
        l.ambient = bump.ambient;
        return l;
    }

    ref::PlaceParams Place() const
    {
        ref::PlaceParams p;
        p.keepAspect = bump.layout.keepAspect;
        p.dontEnlarge = bump.layout.dontEnlarge;
        p.repeatTile = bump.layout.repeatTile;
        p.offsetX = bump.layout.offsetX;
        p.offsetY = bump.layout.offsetY;
        return p;
    }

    // The three placement boxes from bits 0 (keep aspect), 1 (no
    // enlargement) and 2 (tiles).
    void SetFlags(int flags)
    {
        bump.layout.keepAspect = flags & 1;
        bump.layout.dontEnlarge = (flags >> 1) & 1;
        bump.layout.repeatTile = (flags >> 2) & 1;
    }

    void RandomLight(std::mt19937& rng)
    {
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        double x, y, z, len;
        do {
            x = unit(rng);
            y = unit(rng);
            z = std::fabs(unit(rng));
            len = std::sqrt(x * x + y * y + z * z);
        } while (len < 0.1 || len > 1.0);
        bump.lightX = x / len;
        bump.lightY = y / len;
        bump.lightZ = z / len;
        SetStrength(std::uniform_int_distribution<int>(1, 200)(rng));
        bump.amplification = std::uniform_int_distribution<int>(0, 800)(rng);
        bump.ambient = std::uniform_int_distribution<int>(1, 100)(rng);
    }

    std::string SettingsText() const
    {
        std::ostringstream s;
        s.precision(17);
        s << " light (" << bump.lightX << ", " << bump.lightY << ", " << bump.lightZ << ") strength "
          << bump.strength << " amplification " << bump.amplification << " ambient " << bump.ambient
          << " KeepAspect " << bump.layout.keepAspect << " DontEnlarge " << bump.layout.dontEnlarge
          << " RepeatTile " << bump.layout.repeatTile << " offset " << bump.layout.offsetX << ","
          << bump.layout.offsetY;
        return s.str();
    }

    // Lights one flat block: all nine pixels the same colour and height.
    void LightFlat(int r, int g, int b, int height, int out[3]) const
    {
        PixelBlock3x3 block;
        for (auto& px : block.px) {
            px[0] = static_cast<BYTE>(b);
            px[1] = static_cast<BYTE>(g);
            px[2] = static_cast<BYTE>(r);
            px[3] = static_cast<BYTE>(height);
        }
        BumpPixel(bump, &block);
        EXPECT_EQ(block.px[4][3], height) << "height byte changed";
        out[0] = block.px[4][2];
        out[1] = block.px[4][1];
        out[2] = block.px[4][0];
    }

    // Runs ApplyBump on copies of the two pictures; returns the image.
    ref::Picture CoreApply(const ref::Picture& image, const ref::Picture& watermark) const
    {
        ImageDocument imageDoc, watermarkDoc;
        proc_test::MakeDocument(&imageDoc, image);
        proc_test::MakeDocument(&watermarkDoc, watermark);
        EXPECT_EQ(ApplyBump(bump, &watermarkDoc, &imageDoc), Failure::None);
        ref::Picture out = proc_test::ReadDocument(imageDoc);
        EXPECT_EQ(ref::DescribeDifferences(watermark, proc_test::ReadDocument(watermarkDoc)), "")
            << "the watermark was changed";
        proc_test::ReleaseDocument(&imageDoc);
        proc_test::ReleaseDocument(&watermarkDoc);
        return out;
    }

    ref::Picture CoreRender(const ref::Picture& preview, int wi, int hi, const ref::Picture& watermark) const
    {
        std::vector<BYTE> dib = proc_test::DibBytes(preview);
        ImageDocument watermarkDoc;
        proc_test::MakeDocument(&watermarkDoc, watermark);
        EXPECT_EQ(RenderBumpPixels(bump, dib.data(), preview.width, preview.height, wi, hi, &watermarkDoc),
                  Failure::None);
        proc_test::ReleaseDocument(&watermarkDoc);
        return proc_test::ReadDib(dib.data());
    }

    // Offsets anywhere within the bars' ranges (0 when a bar is hidden).
    void RandomOffsets(std::mt19937& rng, LONG wi, LONG hi, LONG ww, LONG wh)
    {
        bump.layout.offsetX = bump.layout.offsetY = 0;
        const ref::Placement pl = ref::Place(wi, hi, ww, wh, Place());
        if (pl.barX)
            bump.layout.offsetX = std::uniform_int_distribution<int>(0, static_cast<int>(pl.offsetMaxX))(rng);
        if (pl.barY)
            bump.layout.offsetY = std::uniform_int_distribution<int>(0, static_cast<int>(pl.offsetMaxY))(rng);
    }

    BumpParams bump;
    long blocksBefore = 0;
};

const char* CaseName(BumpCase c)
{
    return c == BumpCase::NoEnlarge ? "A" : (c == BumpCase::Tile ? "B" : "C");
}

BumpCase ToCore(ref::Case c)
{
    return c == ref::Case::NoEnlarge ? BumpCase::NoEnlarge
                                     : (c == ref::Case::Tile ? BumpCase::Tile : BumpCase::Stretch);
}

// Compares a placement field by field; bar ranges only matter for bars
// shown.  At full size a bar is shown where the watermark leaves room; in
// the preview, where the dialog shows one.
std::string PlacementDifferences(const ref::Placement& e, const BumpPlacement& a, OffsetBars bars)
{
    std::ostringstream s;
    if (ToCore(e.placementCase) != a.placementCase)
        s << " case " << CaseName(ToCore(e.placementCase)) << "/" << CaseName(a.placementCase);
    if (e.left != a.regionLeft || e.top != a.regionTop || e.width != a.regionWidth || e.height != a.regionHeight)
        s << " region (" << e.left << "," << e.top << " " << e.width << "x" << e.height << ")/(" << a.regionLeft
          << "," << a.regionTop << " " << a.regionWidth << "x" << a.regionHeight << ")";
    if (e.tileWidth != a.tileWidth || e.tileHeight != a.tileHeight)
        s << " tile " << e.tileWidth << "x" << e.tileHeight << "/" << a.tileWidth << "x" << a.tileHeight;
    if (e.barX != bars.x || e.barY != bars.y)
        s << " bars " << e.barX << e.barY << "/" << bars.x << bars.y;
    if (e.barX && bars.x && e.offsetMaxX != a.offsetMaxX)
        s << " x range 0.." << e.offsetMaxX << "/0.." << a.offsetMaxX;
    if (e.barY && bars.y && e.offsetMaxY != a.offsetMaxY)
        s << " y range 0.." << e.offsetMaxY << "/0.." << a.offsetMaxY;
    const std::string text = s.str();
    return text.empty() ? "" : "expected/actual:" + text;
}

// ---- BumpPixel -----------------------------------------------------------------

TEST_F(BumpTest, FlatSurfaceFigures)
{
    int out[3];
    bump.amplification = 0;  // L0 124, factor 1.25, L1 155, T 38
    LightFlat(200, 100, 50, 77, out);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], 130);
    EXPECT_EQ(out[2], 64);
    bump.amplification = 200;  // T 64
    LightFlat(200, 100, 50, 77, out);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], 151);
    EXPECT_EQ(out[2], 75);
}

TEST_F(BumpTest, BlackStaysBlackAndBrightClampsAt255)
{
    int out[3];
    bump.amplification = 800;
    LightFlat(0, 0, 0, 200, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
    bump.ambient = 100;
    LightFlat(255, 255, 255, 10, out);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], 255);
    EXPECT_EQ(out[2], 255);
}

TEST_F(BumpTest, DarkPixelWithZeroInputLuminanceKeepsLitColour)
{
    // B = 9: L0 = trunc(0.99) = 0; lit by 1.25, B1 = 11, L1 = 1: the lit
    // colour comes back unamplified instead of dividing by L0.
    int out[3];
    bump.amplification = 800;
    LightFlat(0, 0, 9, 50, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 11);
    LightFlat(1, 1, 0, 50, out);  // L0 = trunc(0.89) = 0, lit 1, 1, 0, L1 = trunc(0.89) = 0
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[2], 0);
}

TEST_F(BumpTest, OnePixelPictureIsLitAsFlat)
{
    // Every neighbour is the pixel itself, so the normal is (0, 0, 1)
    // whatever the light and height.
    std::mt19937 rng(11);
    for (int i = 0; i < 50; ++i) {
        RandomLight(rng);
        const ref::Picture p = RandomPicture(rng, 1, 1);
        HGLOBAL block = proc_test::MakeBlock(p);
        ASSERT_EQ(ApplyNeighbourhoodFilter(bump, block), Failure::None);
        const ref::Picture out = proc_test::ReadBlock(block);
        proc_test::FreeBlock(block);
        int flat[3];
        const std::uint8_t* px = p.At(0, 0);
        LightFlat(px[2], px[1], px[0], 128, flat);
        EXPECT_EQ(out.At(0, 0)[2], flat[0]) << SettingsText();
        EXPECT_EQ(out.At(0, 0)[1], flat[1]) << SettingsText();
        EXPECT_EQ(out.At(0, 0)[0], flat[2]) << SettingsText();
        EXPECT_EQ(out.At(0, 0)[3], px[3]);
    }
}

TEST_F(BumpTest, LightFromTheLeftBrightensSlopesFacingLeft)
{
    // Heights rising to the right make a surface that faces left, so a
    // light from the left is brighter on it than one from the right; a
    // lower row higher than the upper one faces up, towards a light from
    // above.  This pins the screen orientation of the block's rows.
    auto lit = [this](int heightLeft, int heightRight, int heightBelow, int heightAbove, double lx, double ly) {
        bump.lightX = lx;
        bump.lightY = ly;
        bump.lightZ = std::sqrt(1 - lx * lx - ly * ly);
        PixelBlock3x3 block;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) {
                BYTE* px = block.px[row * 3 + col];
                px[0] = px[1] = px[2] = 100;
                int h = 128;
                if (col == 0)
                    h = heightLeft;
                if (col == 2)
                    h = heightRight;
                if (row == 0)
                    h += heightBelow;  // memory row before = below on screen
                if (row == 2)
                    h += heightAbove;
                px[3] = static_cast<BYTE>(h);
            }
        BumpPixel(bump, &block);
        return static_cast<int>(block.px[4][1]);
    };
    // A gentle slope (strength 20): with amplification the result is not
    // monotonic in the lit luminance once that falls below half the input.
    bump.amplification = 0;
    EXPECT_GT(lit(60, 200, 0, 0, -0.7, 0.0), lit(60, 200, 0, 0, 0.7, 0.0));
    EXPECT_GT(lit(128, 128, 60, -60, 0.0, 0.7), lit(128, 128, 60, -60, 0.0, -0.7));
}

TEST_F(BumpTest, BumpPixelMatchesReferenceOnRandomBlocks)
{
    std::mt19937 rng(12);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 30000; ++i) {
        if (i % 16 == 0)
            RandomLight(rng);
        PixelBlock3x3 block;
        const int base = byte(rng);
        const int spread = (i % 3 == 0) ? 255 : 40;
        for (auto& px : block.px) {
            px[0] = static_cast<BYTE>(byte(rng));
            px[1] = static_cast<BYTE>(byte(rng));
            px[2] = static_cast<BYTE>(byte(rng));
            px[3] = static_cast<BYTE>(std::clamp(base + byte(rng) % (spread + 1) - spread / 2, 0, 255));
        }
        if (i % 7 == 0)  // dark centres exercise the zero-luminance branches
            for (int c = 0; c < 3; ++c)
                block.px[4][c] = static_cast<BYTE>(byte(rng) % 12);
        std::uint8_t expected[4];
        std::memcpy(expected, block.px[4], 4);
        ref::BumpPixel(block.px, expected, Light());
        const PixelBlock3x3 before = block;
        BumpPixel(bump, &block);
        ASSERT_EQ(std::memcmp(block.px[4], expected, 4), 0)
            << "centre B,G,R " << int(before.px[4][0]) << "," << int(before.px[4][1]) << ","
            << int(before.px[4][2]) << " expected " << int(expected[0]) << "," << int(expected[1]) << ","
            << int(expected[2]) << " got " << int(block.px[4][0]) << "," << int(block.px[4][1]) << ","
            << int(block.px[4][2]) << SettingsText();
    }
}

// Both row forms of the lighting must give every pixel exactly what the
// per-pixel operator gives it, for any settings and neighbourhoods; the
// comparisons are also the form this machine uses.
TEST_F(BumpTest, RowLightingEqualsPixelLighting)
{
    EXPECT_EQ(BumpRowMethodHere(), BumpRowMethod::Comparisons) << "the comparisons disagree with the cosine here";
    std::mt19937 rng(14);
    std::uniform_int_distribution<int> byte(0, 255);
    constexpr int kPixels = 301;
    std::vector<short> heights[3];
    for (auto& row : heights)
        row.resize(kPixels + 2);
    std::vector<BYTE> colours(kPixels * 4);
    for (int round = 0; round < 400; ++round) {
        RandomLight(rng);
        const int spread = round % 4 == 0 ? 255 : 1 + round % 60;
        const int base = byte(rng);
        for (auto& row : heights)
            for (short& h : row)
                h = static_cast<short>(std::clamp(base + byte(rng) % (spread + 1) - spread / 2, 0, 255));
        for (std::size_t i = 0; i < colours.size(); i += 4) {
            const bool dark = byte(rng) < 20;
            colours[i] = static_cast<BYTE>(dark ? byte(rng) % 12 : byte(rng));
            colours[i + 1] = static_cast<BYTE>(dark ? 0 : byte(rng));
            colours[i + 2] = static_cast<BYTE>(dark ? 0 : byte(rng));
            colours[i + 3] = static_cast<BYTE>(byte(rng));
        }
        for (BumpRowMethod method : {BumpRowMethod::Comparisons, BumpRowMethod::PerPixel}) {
            std::vector<BYTE> out = colours;
            BumpRow(bump, heights[0].data(), heights[1].data(), heights[2].data(), out.data(), kPixels, method);
            for (int c = 0; c < kPixels; ++c) {
                PixelBlock3x3 block = {};
                for (int k = 0; k < 9; ++k)
                    block.px[k][3] = static_cast<BYTE>(heights[k / 3][c + k % 3]);
                std::memcpy(block.px[4], &colours[c * 4], 3);
                BumpPixel(bump, &block);
                ASSERT_EQ(std::memcmp(block.px[4], &out[c * 4], 3), 0)
                    << "pixel " << c << (method == BumpRowMethod::PerPixel ? " pixel by pixel" : " by comparisons")
                    << SettingsText();
                ASSERT_EQ(out[c * 4 + 3], colours[c * 4 + 3]) << "pixel " << c << ": its 4th byte changed";
            }
        }
    }
}

TEST_F(BumpTest, LightingPassMatchesReference)
{
    std::mt19937 rng(13);
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 5}, {35, 17}};
    for (const auto& s : sizes) {
        for (int round = 0; round < 4; ++round) {
            RandomLight(rng);
            const ref::Picture p = RandomPicture(rng, s[0], s[1]);
            ref::Picture expected = p;
            ref::NeighbourhoodPass(expected, 2, ref::FilterParams{}, Light());
            HGLOBAL block = proc_test::MakeBlock(p);
            ASSERT_EQ(ApplyNeighbourhoodFilter(bump, block), Failure::None);
            const ref::Picture out = proc_test::ReadBlock(block);
            proc_test::FreeBlock(block);
            EXPECT_EQ(ref::DescribeDifferences(expected, out), "") << s[0] << "x" << s[1] << SettingsText();
        }
    }
}

// ---- TileHeights ------------------------------------------------------------------

TEST_F(BumpTest, TileHeightsRepeatsFromTopLeftAndWritesOnlyHeights)
{
    std::mt19937 rng(14);
    const int regions[][2] = {{1, 1}, {7, 1}, {1, 7}, {5, 5}, {35, 17}};
    const int tiles[][2] = {{1, 1}, {2, 3}, {5, 5}, {4, 7}, {35, 17}};
    for (const auto& r : regions)
        for (const auto& t : tiles) {
            if (t[0] > r[0] || t[1] > r[1])
                continue;
            const ref::Picture region = RandomPicture(rng, r[0], r[1]);
            const ref::Picture tile = RandomPicture(rng, t[0], t[1]);
            ref::Picture expected = region;
            ref::TileHeights(expected, tile);
            ref::Picture out = region;
            TileHeights(out.bytes.data(), static_cast<std::size_t>(r[0]) * 4, tile.bytes.data(), r[0], r[1], t[0], t[1]);
            EXPECT_EQ(ref::DescribeDifferences(expected, out), "")
                << "region " << r[0] << "x" << r[1] << " tile " << t[0] << "x" << t[1];
        }
    // A 2 x 2 tile over 3 x 3: the top-left on screen is the tile's top-left.
    ref::Picture tile(2, 2);
    tile.At(0, 0)[3] = 1;
    tile.At(1, 0)[3] = 2;
    tile.At(0, 1)[3] = 3;
    tile.At(1, 1)[3] = 4;
    ref::Picture region(3, 3);
    TileHeights(region.bytes.data(), 12, tile.bytes.data(), 3, 3, 2, 2);
    const int expected[3][3] = {{1, 2, 1}, {3, 4, 3}, {1, 2, 1}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(region.At(x, y)[3], expected[y][x]) << "(" << x << "," << y << ")";
}

// ---- Placement -------------------------------------------------------------------------

TEST_F(BumpTest, PlacementFigures)
{
    // Larger than the picture in either direction: case C whatever the boxes say.
    bump.layout.dontEnlarge = true;
    bump.layout.repeatTile = true;
    EXPECT_EQ(PlaceWatermark(bump.layout, 50, 40, 51, 10).placementCase, BumpCase::Stretch);
    EXPECT_EQ(PlaceWatermark(bump.layout, 50, 40, 10, 41).placementCase, BumpCase::Stretch);

    // Case B with a watermark of the picture's size: one tile covers it.
    bump.layout.dontEnlarge = false;
    BumpPlacement b = PlaceWatermark(bump.layout, 50, 40, 50, 40);
    EXPECT_EQ(b.placementCase, BumpCase::Tile);
    EXPECT_EQ(b.regionWidth, 50);
    EXPECT_EQ(b.regionHeight, 40);
    EXPECT_EQ(b.tileWidth, 50);
    EXPECT_EQ(b.tileHeight, 40);
    EXPECT_EQ(b.offsetMaxX, 0);
    EXPECT_EQ(b.offsetMaxY, 0);

    // Case A with the picture's width: the horizontal bar is hidden.
    bump.layout.dontEnlarge = true;
    bump.layout.repeatTile = false;
    bump.layout.offsetY = 5;
    BumpPlacement a = PlaceWatermark(bump.layout, 50, 40, 50, 30);
    EXPECT_EQ(a.placementCase, BumpCase::NoEnlarge);
    EXPECT_EQ(a.regionTop, 5);
    EXPECT_EQ(a.offsetMaxX, 0);
    EXPECT_EQ(a.offsetMaxY, 10);

    // Keep aspect, a 2:1 watermark on a square picture: full width, half
    // the height, moved by OffsetY only.
    bump.layout.dontEnlarge = false;
    bump.layout.keepAspect = true;
    bump.layout.offsetX = 7;
    bump.layout.offsetY = 13;
    BumpPlacement c = PlaceWatermark(bump.layout, 100, 100, 40, 20);
    EXPECT_EQ(c.placementCase, BumpCase::Stretch);
    EXPECT_EQ(c.regionLeft, 0);
    EXPECT_EQ(c.regionTop, 13);
    EXPECT_EQ(c.regionWidth, 100);
    EXPECT_EQ(c.regionHeight, 50);
    EXPECT_EQ(c.offsetMaxX, 0);
    EXPECT_EQ(c.offsetMaxY, 50);
}

TEST_F(BumpTest, PlacementMatchesReferenceInEveryCase)
{
    std::mt19937 rng(15);
    const int extents[] = {1, 2, 3, 5, 17, 35, 70, 1000};
    int seen[3] = {0, 0, 0};
    for (int wi : extents)
        for (int hi : extents)
            for (int ww : extents)
                for (int wh : extents)
                    for (int flags = 0; flags < 8; ++flags) {
                        SetFlags(flags);
                        RandomOffsets(rng, wi, hi, ww, wh);
                        const ref::Placement e = ref::Place(wi, hi, ww, wh, Place());
                        const BumpPlacement a = PlaceWatermark(bump.layout, wi, hi, ww, wh);
                        ++seen[static_cast<int>(e.placementCase)];
                        const OffsetBars bars = {a.offsetMaxX > 0, a.offsetMaxY > 0};
                        ASSERT_EQ(PlacementDifferences(e, a, bars), "")
                            << "picture " << wi << "x" << hi << " watermark " << ww << "x" << wh << SettingsText();
                    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

TEST_F(BumpTest, PreviewPlacementMatchesReferenceInEveryCase)
{
    std::mt19937 rng(16);
    const int pictures[][2] = {{300, 200}, {200, 300}, {120, 120}, {35, 17}, {1000, 37}};
    const int watermarks[][2] = {{300, 200}, {150, 100}, {40, 20}, {20, 40}, {299, 200}, {400, 90}, {7, 7}};
    for (const auto& pic : pictures) {
        // The preview is the picture fitted into a 120 x 120 box.
        const ref::Rect64 fit = ref::FitRect(ref::Rect64{0, 0, 120, 120}, pic[0], pic[1]);
        const LONG pw = static_cast<LONG>(fit.right - fit.left), ph = static_cast<LONG>(fit.bottom - fit.top);
        for (const auto& wm : watermarks)
            for (int flags = 0; flags < 8; ++flags) {
                SetFlags(flags);
                RandomOffsets(rng, pic[0], pic[1], wm[0], wm[1]);
                const ref::Placement e = ref::PlaceInPreview(pic[0], pic[1], wm[0], wm[1], pw, ph, Place());
                const BumpPlacement a = PlaceWatermarkInPreview(bump.layout, pic[0], pic[1], wm[0], wm[1], pw, ph);
                EXPECT_EQ(PlacementDifferences(e, a, OffsetBarsShown(a, pw, ph)), "")
                    << "picture " << pic[0] << "x" << pic[1] << " preview "
                                                          << pw << "x" << ph << " watermark " << wm[0] << "x"
                                                          << wm[1] << SettingsText();
            }
    }
}

// ---- The whole apply ------------------------------------------------------------------

TEST_F(BumpTest, ApplyMatchesReferenceInEveryCase)
{
    std::mt19937 rng(17);
    const int pictures[][2] = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {3, 5}, {35, 17}, {17, 35}};
    const int watermarks[][2] = {{1, 1}, {1, 5}, {5, 1}, {2, 2}, {3, 5}, {35, 17}, {12, 9}, {40, 10}};
    int seen[3] = {0, 0, 0};
    for (const auto& pic : pictures)
        for (const auto& wm : watermarks)
            for (int flags = 0; flags < 8; ++flags) {
                RandomLight(rng);
                SetFlags(flags);
                RandomOffsets(rng, pic[0], pic[1], wm[0], wm[1]);
                const ref::Picture image = RandomPicture(rng, pic[0], pic[1]);
                const ref::Picture watermark = RandomPicture(rng, wm[0], wm[1]);
                ref::Picture expected = image;
                ref::ApplyBump(expected, watermark, Place(), Light());
                ++seen[static_cast<int>(ref::Place(pic[0], pic[1], wm[0], wm[1], Place()).placementCase)];
                EXPECT_EQ(ref::DescribeDifferences(expected, CoreApply(image, watermark)), "")
                    << "picture " << pic[0] << "x" << pic[1] << " watermark " << wm[0] << "x" << wm[1]
                    << SettingsText();
            }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

// On a picture that splits into bands, the apply equals the reference in
// every placement case; offsets left over from a smaller watermark are
// clamped into the room the new one leaves.
TEST_F(BumpTest, ApplyOnAPictureInBandsMatchesReference)
{
    std::mt19937 rng(31);
    const ref::Picture image = RandomPicture(rng, proc_test::kBandedWidth, proc_test::kBandedHeight);
    const ref::Picture watermark = RandomPicture(rng, 301, 137);
    const LONG roomX = proc_test::kBandedWidth - 301;
    const LONG roomY = proc_test::kBandedHeight - 137;
    struct Case {
        int keepAspect, dontEnlarge, tile;
        LONG offsetX, offsetY;
    };
    const Case cases[] = {{0, 0, 0, 0, 0},          {1, 0, 0, 0, 0}, {0, 1, 0, 517, 211},
                          {0, 1, 0, roomX + 90, 4000}, {0, 0, 1, 0, 0}};
    for (const Case& c : cases) {
        RandomLight(rng);
        bump.layout.keepAspect = c.keepAspect;
        bump.layout.dontEnlarge = c.dontEnlarge;
        bump.layout.repeatTile = c.tile;
        bump.layout.offsetX = c.offsetX;
        bump.layout.offsetY = c.offsetY;
        ref::PlaceParams place = Place();
        place.offsetX = std::min(c.offsetX, roomX);
        place.offsetY = std::min(c.offsetY, roomY);
        ref::Picture expected = image;
        ref::ApplyBump(expected, watermark, place, Light());
        EXPECT_EQ(ref::DescribeDifferences(expected, CoreApply(image, watermark)), "") << SettingsText();
    }
}

TEST_F(BumpTest, ApplyWritesWatermarkHeightsIntoTheRegionOnly)
{
    // Case A at an offset: outside the region nothing changes; inside,
    // the height bytes are the (resampled) watermark's.
    std::mt19937 rng(18);
    const ref::Picture image = RandomPicture(rng, 20, 15);
    const ref::Picture watermark = RandomPicture(rng, 6, 4);
    bump.layout.dontEnlarge = true;
    bump.layout.offsetX = 9;
    bump.layout.offsetY = 3;
    const ref::Picture out = CoreApply(image, watermark);
    const ref::Picture heights = ref::Scale(watermark, 6, 4);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 9 && x < 15 && y >= 3 && y < 7;
            if (inside)
                EXPECT_EQ(out.At(x, y)[3], heights.At(x - 9, y - 3)[3]) << "(" << x << "," << y << ")";
            else
                EXPECT_EQ(std::memcmp(out.At(x, y), image.At(x, y), 4), 0) << "(" << x << "," << y << ")";
        }
}

TEST_F(BumpTest, PreviewRenderMatchesReferenceInEveryCase)
{
    std::mt19937 rng(19);
    const int pictures[][2] = {{300, 200}, {90, 160}, {64, 64}};
    const int watermarks[][2] = {{300, 200}, {150, 100}, {40, 20}, {20, 40}, {400, 90}, {33, 33}};
    for (const auto& pic : pictures) {
        const ref::Rect64 fit = ref::FitRect(ref::Rect64{0, 0, 60, 60}, pic[0], pic[1]);
        const int pw = static_cast<int>(fit.right - fit.left), ph = static_cast<int>(fit.bottom - fit.top);
        for (const auto& wm : watermarks)
            for (int flags = 0; flags < 8; ++flags) {
                RandomLight(rng);
                SetFlags(flags);
                RandomOffsets(rng, pic[0], pic[1], wm[0], wm[1]);
                const ref::Placement pl = ref::PlaceInPreview(pic[0], pic[1], wm[0], wm[1], pw, ph, Place());
                ASSERT_TRUE(pl.left >= 0 && pl.top >= 0 && pl.left + pl.width <= pw && pl.top + pl.height <= ph)
                    << "preview region outside the preview: picture " << pic[0] << "x" << pic[1] << " watermark "
                    << wm[0] << "x" << wm[1] << SettingsText();
                const ref::Picture preview = RandomPicture(rng, pw, ph);
                const ref::Picture watermark = RandomPicture(rng, wm[0], wm[1]);
                ref::Picture expected = preview;
                ref::RenderBumpPreview(expected, pic[0], pic[1], watermark, Place(), Light());
                EXPECT_EQ(ref::DescribeDifferences(expected, CoreRender(preview, pic[0], pic[1], watermark)), "")
                    << "picture " << pic[0] << "x" << pic[1] << " preview " << pw << "x" << ph << " watermark "
                    << wm[0] << "x" << wm[1] << SettingsText();
            }
    }
}

TEST_F(BumpTest, FailedAllocationLeavesPictureIntact)
{
    QV_NEEDS_STAND_IN();
    std::mt19937 rng(20);
    const ref::Picture image = RandomPicture(rng, 17, 13);
    const ref::Picture watermark = RandomPicture(rng, 5, 4);
    for (int flags : {0, 1, 2, 4}) {  // stretch, keep aspect, no enlargement, tiles
        SetFlags(flags);
        ref::Picture expected = image;
        ref::ApplyBump(expected, watermark, Place(), Light());
        bool succeeded = false;
        for (long n = 1; n <= 10 && !succeeded; ++n) {
            ImageDocument imageDoc, watermarkDoc;
            proc_test::MakeDocument(&imageDoc, image);
            proc_test::MakeDocument(&watermarkDoc, watermark);
            const long live = StandInLiveBlocks();
            StandInFailNthAllocation(n);
            const Failure result = ApplyBump(bump, &watermarkDoc, &imageDoc);
            StandInFailNthAllocation(0);
            EXPECT_LIVE_BLOCKS(live) << "allocation " << n << " failing, flags " << flags;
            const ref::Picture out = proc_test::ReadDocument(imageDoc);
            if (result == Failure::OutOfMemory) {
                EXPECT_EQ(ref::DescribeDifferences(image, out), "")
                    << "allocation " << n << " failing, flags " << flags;
            } else {
                EXPECT_EQ(result, Failure::None);
                EXPECT_EQ(ref::DescribeDifferences(expected, out), "") << "flags " << flags;
                EXPECT_GT(n, 1) << "the apply allocated nothing from the block allocator";
                succeeded = true;
            }
            EXPECT_EQ(imageDoc.width, 17);
            EXPECT_EQ(imageDoc.height, 13);
            proc_test::ReleaseDocument(&imageDoc);
            proc_test::ReleaseDocument(&watermarkDoc);
        }
        EXPECT_TRUE(succeeded) << "flags " << flags;
    }
}

TEST_F(BumpTest, FailedAllocationLeavesPreviewIntact)
{
    QV_NEEDS_STAND_IN();
    std::mt19937 rng(21);
    const ref::Picture preview = RandomPicture(rng, 40, 30);
    const ref::Picture watermark = RandomPicture(rng, 50, 20);
    bump.layout.repeatTile = true;
    ref::Picture expected = preview;
    ref::RenderBumpPreview(expected, 80, 60, watermark, Place(), Light());
    bool succeeded = false;
    for (long n = 1; n <= 10 && !succeeded; ++n) {
        std::vector<BYTE> dib = proc_test::DibBytes(preview);
        ImageDocument watermarkDoc;
        proc_test::MakeDocument(&watermarkDoc, watermark);
        const long live = StandInLiveBlocks();
        StandInFailNthAllocation(n);
        const Failure result = RenderBumpPixels(bump, dib.data(), 40, 30, 80, 60, &watermarkDoc);
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(live) << "allocation " << n << " failing";
        const ref::Picture out = proc_test::ReadDib(dib.data());
        if (result == Failure::OutOfMemory) {
            EXPECT_EQ(ref::DescribeDifferences(preview, out), "") << "allocation " << n << " failing";
        } else {
            EXPECT_EQ(ref::DescribeDifferences(expected, out), "");
            succeeded = true;
        }
        proc_test::ReleaseDocument(&watermarkDoc);
    }
    EXPECT_TRUE(succeeded);
}

}  // namespace

// Luminance / saturation / hue adjustment and the CMYK round trip:
// hand-worked figures, invariants, and agreement with the reference.

#include "processing/colour_adjust.h"
#include "support/processing_support.h"
#include "support/reference_engines.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace {

using proc_test::FlatPicture;
using proc_test::RandomPicture;

class ColourTest : public ::testing::Test {
protected:
    // Adjusts one pixel through the whole-picture entry point.
    void Adjust(int r, int g, int b, int out[3]) const
    {
        ref::Picture p = FlatPicture(1, 1, b, g, r, 42);
        ApplyColourAdjust(ysh, p.bytes.data(), 1, 1);
        EXPECT_EQ(p.bytes[3], 42) << "height byte changed";
        out[0] = p.bytes[2];
        out[1] = p.bytes[1];
        out[2] = p.bytes[0];
    }

    void ExpectAdjusted(int r, int g, int b, int er, int eg, int eb) const
    {
        int out[3];
        Adjust(r, g, b, out);
        EXPECT_EQ(out[0], er) << "red of (" << r << "," << g << "," << b << ")";
        EXPECT_EQ(out[1], eg) << "green of (" << r << "," << g << "," << b << ")";
        EXPECT_EQ(out[2], eb) << "blue of (" << r << "," << g << "," << b << ")";
    }

    YshParams ysh;
};

TEST_F(ColourTest, DefaultsAreNeutralPositionsAndAdjustmentMode)
{
    ysh = YshParams{3, 4, 5, ColourMode::Cmyk};
    ysh = YshParams{};
    EXPECT_EQ(ysh.luminance, 100);
    EXPECT_EQ(ysh.saturation, 100);
    EXPECT_EQ(ysh.hue, 180);
    EXPECT_EQ(ysh.mode, ColourMode::Ysh);
}

TEST_F(ColourTest, YshFigures)
{
    ysh.saturation = 0;  // Y = 124.5
    ExpectAdjusted(200, 100, 50, 124, 124, 124);
    ysh = YshParams{};
    ysh.luminance = 150;
    ExpectAdjusted(200, 100, 50, 255, 162, 112);
    ysh = YshParams{};
    ysh.hue = 300;  // +120 degrees
    ExpectAdjusted(255, 0, 0, 0, 177, 0);
    ysh = YshParams{};
    ysh.luminance = 0;
    ExpectAdjusted(200, 100, 50, 75, 0, 0);
}

TEST_F(ColourTest, GreyStaysNearlyGreyUnderHueChanges)
{
    // The weighted sum of a grey level rounds a few ulps off the level, so
    // the chroma is not exactly 0 and a channel may come out one lower;
    // never further off, whatever the hue rotation.
    for (int hue : {0, 45, 180, 300, 360})
        for (int v = 0; v < 256; ++v) {
            ysh.hue = hue;
            int out[3];
            Adjust(v, v, v, out);
            for (int c = 0; c < 3; ++c)
                EXPECT_TRUE(out[c] == v || out[c] == v - 1) << "grey " << v << " hue " << hue << " channel " << c
                                                            << " gave " << out[c];
            std::uint8_t r = static_cast<std::uint8_t>(v), g = r, b = r;
            ref::YshPixel(r, g, b, 1.0, 1.0, hue - 180.0);
            EXPECT_EQ(out[0], r) << "grey " << v << " hue " << hue;
            EXPECT_EQ(out[1], g) << "grey " << v << " hue " << hue;
            EXPECT_EQ(out[2], b) << "grey " << v << " hue " << hue;
        }
}

TEST_F(ColourTest, NeutralPositionsGiveInputOrOneLower)
{
    std::mt19937 rng(41);
    ref::Picture p = RandomPicture(rng, 200, 100);
    const ref::Picture before = p;
    ApplyColourAdjust(ysh, p.bytes.data(), p.width, p.height);
    for (std::size_t i = 0; i < p.bytes.size(); i += 4) {
        for (int c = 0; c < 3; ++c)
            ASSERT_TRUE(p.bytes[i + c] == before.bytes[i + c] || p.bytes[i + c] + 1 == before.bytes[i + c])
                << "pixel " << i / 4 << " channel " << c << ": " << int(before.bytes[i + c]) << " -> "
                << int(p.bytes[i + c]);
        ASSERT_EQ(p.bytes[i + 3], before.bytes[i + 3]);
    }
}

TEST_F(ColourTest, CmykRoundTripGivesInputOrOneLowerAndBlackStaysBlack)
{
    ysh.mode = ColourMode::Cmyk;
    ysh.hue = 0;  // the sliders take no part
    ExpectAdjusted(0, 0, 0, 0, 0, 0);
    ExpectAdjusted(255, 255, 255, 255, 255, 255);
    std::mt19937 rng(42);
    ref::Picture p = RandomPicture(rng, 200, 100);
    const ref::Picture before = p;
    ApplyColourAdjust(ysh, p.bytes.data(), p.width, p.height);
    for (std::size_t i = 0; i < p.bytes.size(); i += 4) {
        for (int c = 0; c < 3; ++c)
            ASSERT_TRUE(p.bytes[i + c] == before.bytes[i + c] || p.bytes[i + c] + 1 == before.bytes[i + c])
                << "pixel " << i / 4 << " channel " << c;
        ASSERT_EQ(p.bytes[i + 3], before.bytes[i + 3]);
    }
    ref::Picture expected = before;
    ref::CmykRoundTrip(expected);
    EXPECT_EQ(ref::DescribeDifferences(expected, p), "");
}

// The round trip is computed through tables and remembered colours: every
// one of the 2^24 colours must still come out as the plain formula gives it.
TEST_F(ColourTest, EveryColourMatchesTheReference)
{
    ref::Picture all(4096, 4096);
    for (std::size_t i = 0; i < all.bytes.size() / 4; ++i) {
        all.bytes[i * 4] = static_cast<std::uint8_t>(i);
        all.bytes[i * 4 + 1] = static_cast<std::uint8_t>(i >> 8);
        all.bytes[i * 4 + 2] = static_cast<std::uint8_t>(i >> 16);
        all.bytes[i * 4 + 3] = static_cast<std::uint8_t>(i * 7);
    }
    ysh.mode = ColourMode::Cmyk;
    ref::Picture expected = all;
    ref::CmykRoundTrip(expected);
    ref::Picture p = all;
    ApplyColourAdjust(ysh, p.bytes.data(), p.width, p.height);
    EXPECT_EQ(p.bytes, expected.bytes) << ref::DescribeDifferences(expected, p);
}

TEST_F(ColourTest, OtherModesChangeNothing)
{
    std::mt19937 rng(43);
    const ref::Picture before = RandomPicture(rng, 7, 5);
    ysh.saturation = 0;
    for (int mode : {2, 3, 255}) {
        ysh.mode = static_cast<ColourMode>(mode);
        ref::Picture p = before;
        ApplyColourAdjust(ysh, p.bytes.data(), p.width, p.height);
        EXPECT_EQ(ref::DescribeDifferences(before, p), "") << "mode " << mode;
    }
}

TEST_F(ColourTest, YshMatchesReferenceOnRandomPicturesAndPositions)
{
    std::mt19937 rng(44);
    std::uniform_int_distribution<int> position(0, 200);
    std::uniform_int_distribution<int> hue(0, 360);
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {3, 5}, {35, 17}, {64, 64}};
    for (const auto& s : sizes)
        for (int round = 0; round < 12; ++round) {
            ysh.luminance = position(rng);
            ysh.saturation = position(rng);
            ysh.hue = round == 0 ? 0 : (round == 1 ? 360 : hue(rng));
            const ref::Picture before = RandomPicture(rng, s[0], s[1]);
            ref::Picture expected = before;
            ref::Ysh(expected, ysh.luminance, ysh.saturation, ysh.hue);
            ref::Picture p = before;
            ApplyColourAdjust(ysh, p.bytes.data(), p.width, p.height);
            EXPECT_EQ(ref::DescribeDifferences(expected, p), "")
                << s[0] << "x" << s[1] << " positions " << ysh.luminance << "/" << ysh.saturation
                << "/" << ysh.hue;
        }
}

// On a picture that splits into ranges, whose colours repeat (each range
// remembers its recent colours), YSH and the CMYK round trip equal the
// reference.
TEST_F(ColourTest, PictureInRangesWithRepeatedColoursMatchesReference)
{
    std::mt19937 rng(46);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::array<std::uint8_t, 4>> palette(300);
    for (auto& colour : palette)
        for (std::uint8_t& b : colour)
            b = static_cast<std::uint8_t>(byte(rng));
    std::uniform_int_distribution<std::size_t> pick(0, palette.size() - 1);
    ref::Picture before(proc_test::kBandedWidth, proc_test::kBandedHeight);
    for (std::size_t i = 0; i < before.bytes.size(); i += 4)
        std::memcpy(&before.bytes[i], palette[pick(rng)].data(), 4);
    ysh = YshParams{137, 61, 250};
    for (ColourMode mode : {ColourMode::Ysh, ColourMode::Cmyk}) {
        ysh.mode = mode;
        ref::Picture expected = before;
        if (mode == ColourMode::Ysh)
            ref::Ysh(expected, ysh.luminance, ysh.saturation, ysh.hue);
        else
            ref::CmykRoundTrip(expected);
        ref::Picture p = before;
        ApplyColourAdjust(ysh, p.bytes.data(), p.width, p.height);
        EXPECT_EQ(ref::DescribeDifferences(expected, p), "") << "mode " << static_cast<int>(mode);
    }
}

// The whole-picture adjustment finds most pixels without the angle; on
// a picture of every colour, under settings that keep values whole (no
// rotation, neutral factors), that reach the clamps, and ordinary ones,
// it equals YshPixel on every pixel.
TEST_F(ColourTest, YshOnEveryColourEqualsThePixelFormula)
{
    const YshParams settings[] = {{100, 100, 180}, {110, 130, 210}, {0, 200, 0},
                                          {200, 200, 360}, {57, 13, 91}};
    ref::Picture every(4096, 4096);
    for (std::size_t i = 0; i < every.bytes.size() / 4; ++i) {
        every.bytes[i * 4] = static_cast<std::uint8_t>(i);
        every.bytes[i * 4 + 1] = static_cast<std::uint8_t>(i >> 8);
        every.bytes[i * 4 + 2] = static_cast<std::uint8_t>(i >> 16);
        every.bytes[i * 4 + 3] = 7;
    }
    for (const YshParams& s : settings) {
        ysh = s;
        ref::Picture p = every;
        ApplyColourAdjust(ysh, p.bytes.data(), p.width, p.height);
        const double rotation = s.hue - 180;
        long wrong = 0;
        for (std::size_t i = 0; i < p.bytes.size(); i += 4) {
            BYTE r = every.bytes[i + 2], g = every.bytes[i + 1], b = every.bytes[i];
            YshPixel(&r, &g, &b, s.luminance / 100.0, s.saturation / 100.0, rotation);
            if (p.bytes[i] != b || p.bytes[i + 1] != g || p.bytes[i + 2] != r || p.bytes[i + 3] != 7) {
                if (++wrong <= 3)
                    ADD_FAILURE() << "settings " << s.luminance << "/" << s.saturation << "/" << s.hue << " colour "
                                  << int(every.bytes[i + 2]) << "," << int(every.bytes[i + 1]) << ","
                                  << int(every.bytes[i]) << ": expected " << int(r) << "," << int(g) << ","
                                  << int(b) << " got " << int(p.bytes[i + 2]) << "," << int(p.bytes[i + 1])
                                  << "," << int(p.bytes[i]);
            }
        }
        EXPECT_EQ(wrong, 0) << "settings " << s.luminance << "/" << s.saturation << "/" << s.hue;
    }
}

TEST_F(ColourTest, YshPixelMatchesReferenceOnAllFactors)
{
    std::mt19937 rng(45);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> position(0, 200);
    std::uniform_int_distribution<int> hue(-180, 180);
    for (int i = 0; i < 50000; ++i) {
        const int r = byte(rng), g = byte(rng), b = byte(rng);
        const double lf = position(rng) / 100.0, sf = position(rng) / 100.0;
        const double rot = hue(rng);
        BYTE cr = static_cast<BYTE>(r), cg = static_cast<BYTE>(g), cb = static_cast<BYTE>(b);
        std::uint8_t er = cr, eg = cg, eb = cb;
        YshPixel(&cr, &cg, &cb, lf, sf, rot);
        ref::YshPixel(er, eg, eb, lf, sf, rot);
        ASSERT_TRUE(cr == er && cg == eg && cb == eb)
            << "(" << r << "," << g << "," << b << ") factors " << lf << "/" << sf << "/" << rot << ": expected ("
            << int(er) << "," << int(eg) << "," << int(eb) << ") got (" << int(cr) << "," << int(cg) << ","
            << int(cb) << ")";
    }
}

}  // namespace

// Point effects: the curves at every input value, channel measurement and
// the contrast stretch, and agreement with the reference on random pictures.

#include "processing/effects.h"
#include "support/processing_support.h"
#include "support/reference_engines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

using proc_test::RandomPicture;

constexpr int kLevels[] = {8, 16, 32, 64, 128};
constexpr EffectKind kNegative = EffectKind::Negative;
constexpr EffectKind kPosterize = EffectKind::Posterize;
constexpr EffectKind kSolarize = EffectKind::Solarize;
constexpr EffectKind kContrast = EffectKind::Contrast;
constexpr EffectKind kBinarize = EffectKind::Binarize;

int Number(EffectKind kind)
{
    return static_cast<int>(kind);
}

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        effect = EffectParams{};
        effect.kind = kNegative;
        effect.bandWidth = 64;
        for (int c = 0; c < 3; ++c) {
            effect.lowerBound[c] = 0;
            effect.upperBound[c] = 255;
        }
    }

    ref::Picture CoreEffect(const ref::Picture& p, EffectKind kind, int bandWidth)
    {
        ref::Picture out = p;
        BITMAPINFOHEADER header{};
        header.biSize = 40;
        header.biWidth = p.width;
        header.biHeight = p.height;
        header.biPlanes = 1;
        header.biBitCount = 32;
        effect.kind = kind;
        effect.bandWidth = bandWidth;
        ApplyEffect(effect, out.bytes.data(), &header);
        return out;
    }

    // Pixel i holds i in blue, i + 85 in green and i + 170 in red (mod 256),
    // so every channel meets every value once; height bytes are 255 - i.
    static ref::Picture AllValues()
    {
        ref::Picture p(256, 1);
        for (int i = 0; i < 256; ++i) {
            std::uint8_t* px = p.At(i, 0);
            px[0] = static_cast<std::uint8_t>(i);
            px[1] = static_cast<std::uint8_t>((i + 85) % 256);
            px[2] = static_cast<std::uint8_t>((i + 170) % 256);
            px[3] = static_cast<std::uint8_t>(255 - i);
        }
        return p;
    }

    // The output for input value v in channel c of AllValues().
    static int OutputFor(const ref::Picture& out, int c, int v)
    {
        const int offset[3] = {0, 85, 170};
        return out.At((v - offset[c] + 256) % 256, 0)[c];
    }

    void ExpectCurve(EffectKind kind, int bandWidth, const std::vector<std::pair<int, int>>& figures)
    {
        const ref::Picture out = CoreEffect(AllValues(), kind, bandWidth);
        for (const auto& [in, expected] : figures)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(OutputFor(out, c, in), expected)
                    << "effect " << Number(kind) << " band width " << bandWidth << " channel " << c << " input "
                    << in;
    }

    EffectParams effect;
};

TEST_F(EffectTest, NegativeTwiceRestoresAndHeightsNeverChange)
{
    std::mt19937 rng(31);
    const ref::Picture p = RandomPicture(rng, 35, 17);
    const ref::Picture once = CoreEffect(p, kNegative, 64);
    EXPECT_EQ(once.At(3, 4)[1], 255 - p.At(3, 4)[1]);
    EXPECT_EQ(ref::DescribeDifferences(p, CoreEffect(once, kNegative, 64)), "");
    for (EffectKind kind : {kNegative, kPosterize, kSolarize, kBinarize, kContrast}) {
        const ref::Picture out = CoreEffect(p, kind, 8);
        for (std::size_t i = 3; i < p.bytes.size(); i += 4)
            ASSERT_EQ(out.bytes[i], p.bytes[i]) << "effect " << Number(kind);
    }
}

TEST_F(EffectTest, PosterizeFigures)
{
    ExpectCurve(kPosterize, 64,
                {{0, 0}, {63, 0}, {64, 64}, {127, 64}, {128, 128}, {191, 128}, {192, 192}, {255, 192}});
    const ref::Picture out = CoreEffect(AllValues(), kPosterize, 64);
    for (std::size_t i = 0; i < out.bytes.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            EXPECT_NE(out.bytes[i + c], 255);
    ExpectCurve(kPosterize, 8, {{7, 0}, {8, 8}, {255, 248}});
}

TEST_F(EffectTest, SolarizeFigures)
{
    ExpectCurve(kSolarize, 128, {{0, 0}, {127, 255}, {128, 255}, {200, 110}, {255, 0}});
    ExpectCurve(kSolarize, 8, {{7, 255}, {8, 255}, {15, 0}, {16, 0}, {17, 36}});
}

TEST_F(EffectTest, BinarizeFigures)
{
    ExpectCurve(kBinarize, 128, {{0, 0}, {127, 0}, {128, 255}, {255, 255}});
    std::vector<std::pair<int, int>> n64;
    for (int v = 0; v < 256; ++v)
        n64.push_back({v, ((v >= 64 && v <= 127) || v >= 192) ? 255 : 0});
    ExpectCurve(kBinarize, 64, n64);
}

TEST_F(EffectTest, UnknownEffectChangesNothing)
{
    std::mt19937 rng(32);
    const ref::Picture p = RandomPicture(rng, 9, 5);
    for (int kind : {5, 6, 255, -1})
        EXPECT_EQ(ref::DescribeDifferences(p, CoreEffect(p, static_cast<EffectKind>(kind), 64)), "")
            << "effect " << kind;
    // A band width below 2 gives no bands; the banded effects must then
    // leave the picture alone rather than divide by 0.
    for (EffectKind kind : {kPosterize, kSolarize, kBinarize})
        for (int width : {0, 1, -8})
            EXPECT_EQ(ref::DescribeDifferences(p, CoreEffect(p, kind, width)), "")
                << "effect " << Number(kind) << " band width " << width;
}

TEST_F(EffectTest, ContrastStretchWithMeasuredBounds)
{
    // Red spans 50..150, green is 77 throughout, blue spans 0..255.
    ref::Picture p(3, 2);
    const int reds[6] = {50, 100, 150, 60, 70, 80};
    for (int i = 0; i < 6; ++i) {
        std::uint8_t* px = &p.bytes[i * 4];
        px[0] = static_cast<std::uint8_t>(i == 0 ? 0 : (i == 5 ? 255 : 40 * i));
        px[1] = 77;
        px[2] = static_cast<std::uint8_t>(reds[i]);
        px[3] = 9;
    }
    const ChannelRanges ranges = MeasureChannelRanges(p.bytes.data(), p.width, p.height);
    EXPECT_EQ(ranges.minimum[2], 50);
    EXPECT_EQ(ranges.maximum[2], 150);
    EXPECT_EQ(ranges.minimum[1], 77);
    EXPECT_EQ(ranges.maximum[1], 77);
    EXPECT_EQ(ranges.minimum[0], 0);
    EXPECT_EQ(ranges.maximum[0], 255);
    for (int c = 0; c < 3; ++c) {
        effect.lowerBound[c] = ranges.minimum[c];
        effect.upperBound[c] = ranges.maximum[c];
    }
    const ref::Picture out = CoreEffect(p, kContrast, 64);
    EXPECT_EQ(out.bytes[0 * 4 + 2], 0);
    EXPECT_EQ(out.bytes[1 * 4 + 2], 127);
    EXPECT_EQ(out.bytes[2 * 4 + 2], 255);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(out.bytes[i * 4 + 1], 77) << "a single-valued channel keeps its value";
        EXPECT_EQ(out.bytes[i * 4], p.bytes[i * 4]) << "a full-range channel is unchanged";
    }
}

TEST_F(EffectTest, ContrastBoundsClipBothEnds)
{
    // Blue 100..200, green equal bounds at 30, red 0..255.
    effect.lowerBound[0] = 100;
    effect.upperBound[0] = 200;
    effect.lowerBound[1] = effect.upperBound[1] = 30;
    const ref::Picture out = CoreEffect(AllValues(), kContrast, 64);
    EXPECT_EQ(OutputFor(out, 0, 50), 0);
    EXPECT_EQ(OutputFor(out, 0, 150), 127);
    EXPECT_EQ(OutputFor(out, 0, 250), 255);
    EXPECT_EQ(OutputFor(out, 1, 0), 30);
    EXPECT_EQ(OutputFor(out, 1, 255), 30);
    EXPECT_EQ(OutputFor(out, 2, 123), 123);
}

// On a picture that splits into ranges, the channel ranges (each channel's
// extremes placed in a different range) and every effect equal the
// reference.
TEST_F(EffectTest, PictureInRangesMatchesReference)
{
    std::mt19937 rng(34);
    ref::Picture p(proc_test::kBandedWidth, proc_test::kBandedHeight);
    std::uniform_int_distribution<int> middle(40, 200);
    for (std::uint8_t& b : p.bytes)
        b = static_cast<std::uint8_t>(middle(rng));
    p.At(0, 0)[2] = 251;
    p.At(proc_test::kBandedWidth - 1, proc_test::kBandedHeight - 1)[0] = 3;
    p.At(proc_test::kBandedWidth / 2, proc_test::kBandedHeight / 2)[1] = 1;
    int minimum[3], maximum[3];
    ref::MeasureRanges(p, minimum, maximum);
    const ChannelRanges ranges = MeasureChannelRanges(p.bytes.data(), p.width, p.height);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(ranges.minimum[c], minimum[c]) << "channel " << c;
        EXPECT_EQ(ranges.maximum[c], maximum[c]) << "channel " << c;
        effect.lowerBound[c] = ranges.minimum[c];
        effect.upperBound[c] = ranges.maximum[c];
    }
    for (EffectKind kind : {kNegative, kPosterize, kSolarize, kBinarize, kContrast}) {
        ref::Picture expected = p;
        ref::Effect(expected, kind, 32, effect.lowerBound, effect.upperBound);
        EXPECT_EQ(ref::DescribeDifferences(expected, CoreEffect(p, kind, 32)), "") << "effect " << Number(kind);
    }
}

TEST_F(EffectTest, MatchesReferenceOnRandomPicturesAndSettings)
{
    std::mt19937 rng(33);
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 5}, {35, 17}};
    for (const auto& s : sizes) {
        const ref::Picture p = RandomPicture(rng, s[0], s[1]);
        int minimum[3], maximum[3];
        ref::MeasureRanges(p, minimum, maximum);
        const ChannelRanges ranges = MeasureChannelRanges(p.bytes.data(), s[0], s[1]);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(ranges.minimum[c], minimum[c]) << s[0] << "x" << s[1] << " channel " << c;
            EXPECT_EQ(ranges.maximum[c], maximum[c]) << s[0] << "x" << s[1] << " channel " << c;
        }
        for (EffectKind kind : {kNegative, kPosterize, kSolarize, kBinarize, kContrast})
            for (int level : kLevels) {
                for (int c = 0; c < 3; ++c) {
                    int a = std::uniform_int_distribution<int>(0, 255)(rng);
                    int b = std::uniform_int_distribution<int>(0, 255)(rng);
                    effect.lowerBound[c] = std::min(a, b);
                    effect.upperBound[c] = std::max(a, b);
                }
                ref::Picture expected = p;
                ref::Effect(expected, kind, level, effect.lowerBound, effect.upperBound);
                EXPECT_EQ(ref::DescribeDifferences(expected, CoreEffect(p, kind, level)), "")
                    << s[0] << "x" << s[1] << " effect " << Number(kind) << " band width " << level;
            }
    }
    for (std::size_t i = 0; i < std::size(kLevels); ++i)
        EXPECT_EQ(kEffectBandWidths[i], kLevels[i]);
}

}  // namespace

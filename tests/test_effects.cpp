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

constexpr int kLevels[] = {9210, 9211, 9212, 9213, 9214};

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EffectSettings = EffectSettingsRecord{};
        EffectSettings.effectKind = kEffectNegative;
        EffectSettings.levelId = 9213;
        for (int c = 0; c < 3; ++c) {
            EffectSettings.lowerBound[c] = 0;
            EffectSettings.upperBound[c] = 255;
        }
        ChannelRange = ChannelRangeRecord{};
    }

    static ref::Picture CoreEffect(const ref::Picture& p, int kind, int levelId)
    {
        ref::Picture out = p;
        BITMAPINFOHEADER header{};
        header.biSize = 40;
        header.biWidth = p.width;
        header.biHeight = p.height;
        header.biPlanes = 1;
        header.biBitCount = 32;
        ApplyEffect(out.bytes.data(), &header, kind, levelId);
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

    static void ExpectCurve(int kind, int levelId, const std::vector<std::pair<int, int>>& figures)
    {
        const ref::Picture out = CoreEffect(AllValues(), kind, levelId);
        for (const auto& [in, expected] : figures)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(OutputFor(out, c, in), expected)
                    << "effect " << kind << " level " << levelId << " channel " << c << " input " << in;
    }
};

TEST_F(EffectTest, NegativeTwiceRestoresAndHeightsNeverChange)
{
    std::mt19937 rng(31);
    const ref::Picture p = RandomPicture(rng, 35, 17);
    const ref::Picture once = CoreEffect(p, kEffectNegative, 9213);
    EXPECT_EQ(once.At(3, 4)[1], 255 - p.At(3, 4)[1]);
    EXPECT_EQ(ref::DescribeDifferences(p, CoreEffect(once, kEffectNegative, 9213)), "");
    for (int kind : {kEffectNegative, kEffectPosterize, kEffectSolarize, kEffectBinarize, kEffectContrast}) {
        const ref::Picture out = CoreEffect(p, kind, 9210);
        for (std::size_t i = 3; i < p.bytes.size(); i += 4)
            ASSERT_EQ(out.bytes[i], p.bytes[i]) << "effect " << kind;
    }
}

TEST_F(EffectTest, PosterizeFigures)
{
    ExpectCurve(kEffectPosterize, 9213,
                {{0, 0}, {63, 0}, {64, 64}, {127, 64}, {128, 128}, {191, 128}, {192, 192}, {255, 192}});
    const ref::Picture out = CoreEffect(AllValues(), kEffectPosterize, 9213);
    for (std::size_t i = 0; i < out.bytes.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            EXPECT_NE(out.bytes[i + c], 255);
    ExpectCurve(kEffectPosterize, 9210, {{7, 0}, {8, 8}, {255, 248}});
}

TEST_F(EffectTest, SolarizeFigures)
{
    ExpectCurve(kEffectSolarize, 9214, {{0, 0}, {127, 255}, {128, 255}, {200, 110}, {255, 0}});
    ExpectCurve(kEffectSolarize, 9210, {{7, 255}, {8, 255}, {15, 0}, {16, 0}, {17, 36}});
}

TEST_F(EffectTest, BinarizeFigures)
{
    ExpectCurve(kEffectBinarize, 9214, {{0, 0}, {127, 0}, {128, 255}, {255, 255}});
    std::vector<std::pair<int, int>> n64;
    for (int v = 0; v < 256; ++v)
        n64.push_back({v, ((v >= 64 && v <= 127) || v >= 192) ? 255 : 0});
    ExpectCurve(kEffectBinarize, 9213, n64);
}

TEST_F(EffectTest, UnknownEffectChangesNothing)
{
    std::mt19937 rng(32);
    const ref::Picture p = RandomPicture(rng, 9, 5);
    for (int kind : {0, 9200, 9206, 9210})
        EXPECT_EQ(ref::DescribeDifferences(p, CoreEffect(p, kind, 9213)), "") << "effect " << kind;
    // A level id outside 9210..9214 gives no band width; the banded
    // effects must then leave the picture alone rather than divide by 0.
    for (int kind : {kEffectPosterize, kEffectSolarize, kEffectBinarize})
        for (int level : {0, 9209, 9215})
            EXPECT_EQ(ref::DescribeDifferences(p, CoreEffect(p, kind, level)), "")
                << "effect " << kind << " level " << level;
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
    MeasureChannelRanges(p.bytes.data(), p.width, p.height);
    EXPECT_EQ(ChannelRange.minimum[2], 50);
    EXPECT_EQ(ChannelRange.maximum[2], 150);
    EXPECT_EQ(ChannelRange.minimum[1], 77);
    EXPECT_EQ(ChannelRange.maximum[1], 77);
    EXPECT_EQ(ChannelRange.minimum[0], 0);
    EXPECT_EQ(ChannelRange.maximum[0], 255);
    for (int c = 0; c < 3; ++c) {
        EffectSettings.lowerBound[c] = ChannelRange.minimum[c];
        EffectSettings.upperBound[c] = ChannelRange.maximum[c];
    }
    const ref::Picture out = CoreEffect(p, kEffectContrast, 9213);
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
    EffectSettings.lowerBound[0] = 100;
    EffectSettings.upperBound[0] = 200;
    EffectSettings.lowerBound[1] = EffectSettings.upperBound[1] = 30;
    const ref::Picture out = CoreEffect(AllValues(), kEffectContrast, 9213);
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
    MeasureChannelRanges(p.bytes.data(), p.width, p.height);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(ChannelRange.minimum[c], minimum[c]) << "channel " << c;
        EXPECT_EQ(ChannelRange.maximum[c], maximum[c]) << "channel " << c;
        EffectSettings.lowerBound[c] = ChannelRange.minimum[c];
        EffectSettings.upperBound[c] = ChannelRange.maximum[c];
    }
    for (int kind : {kEffectNegative, kEffectPosterize, kEffectSolarize, kEffectBinarize, kEffectContrast}) {
        ref::Picture expected = p;
        ref::Effect(expected, kind, 9212, EffectSettings.lowerBound, EffectSettings.upperBound);
        EXPECT_EQ(ref::DescribeDifferences(expected, CoreEffect(p, kind, 9212)), "") << "effect " << kind;
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
        MeasureChannelRanges(p.bytes.data(), s[0], s[1]);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(ChannelRange.minimum[c], minimum[c]) << s[0] << "x" << s[1] << " channel " << c;
            EXPECT_EQ(ChannelRange.maximum[c], maximum[c]) << s[0] << "x" << s[1] << " channel " << c;
        }
        for (int kind : {kEffectNegative, kEffectPosterize, kEffectSolarize, kEffectBinarize, kEffectContrast})
            for (int level : kLevels) {
                for (int c = 0; c < 3; ++c) {
                    int a = std::uniform_int_distribution<int>(0, 255)(rng);
                    int b = std::uniform_int_distribution<int>(0, 255)(rng);
                    EffectSettings.lowerBound[c] = std::min(a, b);
                    EffectSettings.upperBound[c] = std::max(a, b);
                }
                ref::Picture expected = p;
                ref::Effect(expected, kind, level, EffectSettings.lowerBound, EffectSettings.upperBound);
                EXPECT_EQ(ref::DescribeDifferences(expected, CoreEffect(p, kind, level)), "")
                    << s[0] << "x" << s[1] << " effect " << kind << " level " << level;
            }
    }
    for (int level : kLevels)
        EXPECT_EQ(LevelStep(level), 8 << (level - 9210));
}

}  // namespace

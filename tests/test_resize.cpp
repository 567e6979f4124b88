// The resize engine against the plain per-pixel reference, the size rules
// as --resize reads them, and the crop.

#include "cli/option_values.h"
#include "image/blocks.h"
#include "image/image_document.h"
#include "processing/cpu_dispatch.h"
#include "processing/resize.h"
#include "support/processing_support.h"
#include "support/reference_engines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <string>
#include <vector>

namespace {

using proc_test::RandomPicture;

// An alpha plane: transparent and opaque patches among random bytes.
std::vector<std::uint8_t> PatchyAlpha(std::mt19937& rng, int w, int h)
{
    std::vector<std::uint8_t> alpha(static_cast<std::size_t>(w) * h);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int patch = (x / 5 + y / 3) % 3;  // 0 clear, 1 opaque, 2 random
            alpha[static_cast<std::size_t>(y) * w + x] =
                static_cast<std::uint8_t>(patch == 0 ? 0 : patch == 1 ? 255 : byte(rng));
        }
    return alpha;
}

struct Resized {
    ref::Picture picture;
    std::vector<std::uint8_t> alpha;
};

Resized EngineResize(const ref::Picture& source, const std::vector<std::uint8_t>& alpha, int w, int h)
{
    PictureBlock out = ResizePicture(ResizeParams{w, h}, source.bytes.data(), source.width, source.height, alpha);
    EXPECT_EQ(out.failure, Failure::None);
    if (!out.block)
        return {};
    EXPECT_EQ(out.width, w);
    EXPECT_EQ(out.height, h);
    EXPECT_EQ(GlobalSize(out.block), WorkDibBlockBytes(w, h));
    Resized result{proc_test::ReadBlock(out.block), std::move(out.alpha)};
    FreeBlock(out.block);
    return result;
}

// Every pixel and alpha byte equal to the reference's, over shrinking,
// growing, both at once, odd sides, one-pixel results, extreme ratios and
// a picture large enough to be split over the cores; with no alpha, with
// transparency, and with an alpha plane that is opaque everywhere.
TEST(Resize, EqualsTheReferenceEverywhere)
{
    struct Case {
        int sw, sh, w, h;
    };
    const Case cases[] = {
        {7, 5, 7, 5},     {7, 5, 3, 2},     {7, 5, 1, 1},      {1, 1, 1, 1},      {1, 1, 9, 4},
        {13, 11, 5, 9},   {13, 11, 29, 4},  {5, 3, 17, 13},    {997, 3, 1, 1},    {997, 3, 2, 7},
        {3, 997, 5, 1},   {2, 2, 613, 401}, {640, 1, 7, 1},    {1, 640, 1, 639},  {31, 17, 30, 16},
        {31, 17, 32, 18}, {1031, 523, 517, 262}, {1031, 523, 1100, 600},
    };
    std::mt19937 rng(424242);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " + std::to_string(c.w) + "x" +
                     std::to_string(c.h));
        const ref::Picture source = RandomPicture(rng, c.sw, c.sh);
        const std::vector<std::vector<std::uint8_t>> planes = {
            {}, PatchyAlpha(rng, c.sw, c.sh), std::vector<std::uint8_t>(static_cast<std::size_t>(c.sw) * c.sh, 255)};
        for (const auto& alpha : planes) {
            const bool opaque = !alpha.empty() && std::all_of(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a == 255; });
            SCOPED_TRACE(alpha.empty() ? "no alpha" : opaque ? "opaque alpha" : "alpha");
            std::vector<std::uint8_t> expectedAlpha;
            const ref::Picture expected = ref::Resize(source, alpha, c.w, c.h, &expectedAlpha);
            const Resized actual = EngineResize(source, alpha, c.w, c.h);
            EXPECT_EQ(ref::DescribeDifferences(expected, actual.picture), "");
            EXPECT_EQ(actual.alpha, expectedAlpha);
            if (c.sw == c.w && c.sh == c.h) {
                EXPECT_EQ(actual.picture.bytes, source.bytes) << "the same size must change nothing";
            }
        }
    }
}

// The wider instruction sets give the baseline's bytes.
TEST(Resize, EveryVectorLevelGivesTheSameBytes)
{
    const VectorLevel before = ActiveVectorLevel();
    std::mt19937 rng(77);
    const ref::Picture source = RandomPicture(rng, 211, 97);
    const std::vector<std::uint8_t> alpha = PatchyAlpha(rng, 211, 97);
    ASSERT_EQ(SetVectorLevel(VectorLevel::Baseline), 0);
    const Resized down = EngineResize(source, {}, 67, 31);
    const Resized up = EngineResize(source, alpha, 400, 150);
    for (VectorLevel level : {VectorLevel::Avx2, VectorLevel::Avx512}) {
        if (SetVectorLevel(level) != 0)
            continue;
        EXPECT_EQ(EngineResize(source, {}, 67, 31).picture.bytes, down.picture.bytes);
        const Resized again = EngineResize(source, alpha, 400, 150);
        EXPECT_EQ(again.picture.bytes, up.picture.bytes);
        EXPECT_EQ(again.alpha, up.alpha);
    }
    SetVectorLevel(before);
}

TEST(Resize, RefusesImpossibleSizes)
{
    const ref::Picture source(4, 3);
    const std::vector<std::uint8_t> shortPlane(11, 255);
    EXPECT_EQ(ResizePicture({0, 3}, source.bytes.data(), 4, 3, {}).failure, Failure::BadSize);
    EXPECT_EQ(ResizePicture({4, -1}, source.bytes.data(), 4, 3, {}).failure, Failure::BadSize);
    EXPECT_EQ(ResizePicture({4, 3}, source.bytes.data(), 4, 3, shortPlane).failure, Failure::BadSize);
    EXPECT_EQ(ResizePicture({1 << 15, 1 << 14}, source.bytes.data(), 4, 3, {}).failure, Failure::TooLarge);
}

// The size rules as --resize reads them: long edge, per cent and box,
// rounded half up and at least 1; and the texts it refuses.
TEST(Resize, SizeRulesFromTheOption)
{
    struct Case {
        const char* text;
        LONG w, h;                // the picture
        LONG newWidth, newHeight;  // 0: the option is refused
    };
    const Case cases[] = {
        {"2048px", 6000, 4000, 2048, 1365},  // 1365.33
        {"2048px", 4000, 6000, 1365, 2048},
        {"2048px", 3000, 3000, 2048, 2048},
        {"3px", 4, 2, 3, 2},                 // 1.5 rounds up
        {"1px", 1000, 3, 1, 1},              // never below 1
        {"9000px", 300, 200, 9000, 6000},    // growing
        {"50%", 3, 5, 2, 3},                 // 1.5 and 2.5 round up
        {"50%", 1, 1, 1, 1},
        {"33.3333%", 300, 30, 100, 10},      // 99.9999 and 9.99999
        {"0.0001%", 5000, 20, 1, 1},
        {"200%", 7, 9, 14, 18},
        {"12.5%", 12, 4, 2, 1},              // 1.5 and 0.5
        {"1920x1080", 6000, 4000, 1620, 1080},  // the height limits
        {"1920x1080", 4000, 1000, 1920, 480},   // the width limits
        {"1920X1080", 4000, 2250, 1920, 1080},  // both exactly
        {"100x100", 3, 2, 100, 67},             // 66.67, growing
        {"10x10", 1000, 1, 10, 1},
        {"0px", 10, 10, 0, 0},
        {"0%", 10, 10, 0, 0},
        {"10000.0001%", 10, 10, 0, 0},
        {"1.00001%", 10, 10, 0, 0},
        {"50", 10, 10, 0, 0},
        {"-50%", 10, 10, 0, 0},
        {"12x", 10, 10, 0, 0},
        {"0x5", 10, 10, 0, 0},
        {"1048577px", 10, 10, 0, 0},
        {"99999999999px", 10, 10, 0, 0},
        {"px", 10, 10, 0, 0},
        {"%", 10, 10, 0, 0},
        {"5.%", 10, 10, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ResizeRequest request;
        std::string error;
        const int parsed = ParseResize("--resize", c.text, &request, &error);
        if (c.newWidth == 0) {
            EXPECT_EQ(parsed, -1);
            EXPECT_NE(error.find("--resize"), std::string::npos) << error;
            continue;
        }
        ASSERT_EQ(parsed, 0) << error;
        LONG w = 0, h = 0;
        ASSERT_EQ(ResizedSize(request, c.w, c.h, &w, &h), Failure::None);
        EXPECT_EQ(w, c.newWidth);
        EXPECT_EQ(h, c.newHeight);
    }
    // A rule that would pass the largest picture is refused.
    ResizeRequest huge;
    ASSERT_EQ(ParseResize("--resize", "10000%", &huge, nullptr), 0);
    LONG w = 0, h = 0;
    EXPECT_EQ(ResizedSize(huge, 6000, 4000, &w, &h), Failure::TooLarge);
    EXPECT_EQ(w, 0);
}

// The crop copies the rectangle, pixels and alpha, and refuses any
// rectangle that is not wholly inside.
TEST(Resize, CropCopiesTheRectangleAndRefusesOutside)
{
    std::mt19937 rng(5);
    const ref::Picture source = RandomPicture(rng, 9, 7);
    const std::vector<std::uint8_t> alpha = PatchyAlpha(rng, 9, 7);
    const PictureRect inside[] = {{0, 0, 8, 6}, {2, 1, 5, 4}, {8, 6, 8, 6}, {0, 3, 8, 3}, {4, 0, 4, 6}};
    for (const PictureRect& r : inside) {
        SCOPED_TRACE(std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                     std::to_string(r.bottom));
        PictureBlock cut = CropPicture(r, source.bytes.data(), 9, 7, alpha);
        ASSERT_EQ(cut.failure, Failure::None);
        const ref::Picture got = proc_test::ReadBlock(cut.block);
        FreeBlock(cut.block);
        ASSERT_EQ(got.width, r.right - r.left + 1);
        ASSERT_EQ(got.height, r.bottom - r.top + 1);
        for (int y = 0; y < got.height; ++y)
            for (int x = 0; x < got.width; ++x) {
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(got.At(x, y)[c], source.At(r.left + x, r.top + y)[c]) << x << "," << y;
                ASSERT_EQ(cut.alpha[static_cast<std::size_t>(got.height - 1 - y) * got.width + x],
                          alpha[static_cast<std::size_t>(6 - r.top - y) * 9 + r.left + x]);
            }
    }
    const PictureRect outside[] = {{-1, 0, 3, 3}, {0, -1, 3, 3}, {0, 0, 9, 3}, {0, 0, 3, 7}, {4, 2, 3, 5}, {20, 20, 30, 30}};
    for (const PictureRect& r : outside) {
        EXPECT_FALSE(CropFits(r, 9, 7));
        const PictureBlock cut = CropPicture(r, source.bytes.data(), 9, 7, alpha);
        EXPECT_EQ(cut.failure, Failure::BadSize);
        EXPECT_EQ(cut.block, nullptr);
    }
}

}  // namespace

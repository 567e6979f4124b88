// The bevel: every pixel's height against a brute-force reference (each
// pixel measured to every outside pixel, the profile in floating point)
// on random shapes and the edge cases, bit for bit; the profile itself
// against floating point for every width; and a refused allocation.
#include "platform/failure_hooks.h"
#include "processing/bevel.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace qvtest;

namespace {

// round(255 * sqrt(1 - (1 - t)^2)), t = min(sqrt(d2), w) / w, in long
// double; false in *clear when the value lies too near a half to tell.
int ProfileReference(std::int64_t d2, int w, bool* clear)
{
    const long double t = std::min(std::sqrt(static_cast<long double>(d2)), static_cast<long double>(w)) / w;
    const long double v = 255.0L * std::sqrt(1.0L - (1.0L - t) * (1.0L - t));
    *clear = std::fabs(v - std::floor(v) - 0.5L) > 1e-9L;
    return static_cast<int>(std::floor(v + 0.5L));
}

// Every pixel's expected height: the squared distance to the nearest
// outside pixel (none: beyond every width), by trying them all.
std::vector<int> BruteForce(const std::vector<int>& heights, int width, int height, int w)
{
    std::vector<int> out(heights.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::int64_t best = std::numeric_limits<std::int64_t>::max();
            for (int qy = 0; qy < height; ++qy)
                for (int qx = 0; qx < width; ++qx)
                    if (heights[static_cast<std::size_t>(qy * width + qx)] < 128) {
                        const std::int64_t dx = x - qx, dy = y - qy;
                        best = std::min(best, dx * dx + dy * dy);
                    }
            bool clear = true;
            const std::int64_t d2 = std::min<std::int64_t>(best, std::int64_t{w} * w);
            const int expected = ProfileReference(d2, w, &clear);
            out[static_cast<std::size_t>(y * width + x)] = clear ? expected : BevelHeight(d2, w);
        }
    return out;
}

// The bevel of a mark whose pixels have the given heights (grey, rows
// top-down), checked pixel by pixel against the brute force.
::testing::AssertionResult BevelMatches(const std::vector<int>& heights, int width, int height, int w)
{
    ImageDocument mark = MakeDocument(width, height, [&](int x, int y) {
        const int h = heights[static_cast<std::size_t>(y * width + x)];
        return Rgbh(h, h, h, h);
    });
    const Failure failure = ApplyBevel(BevelParams{w}, &mark);
    const std::vector<int> expected = BruteForce(heights, width, height, w);
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    if (failure != Failure::None)
        result = ::testing::AssertionFailure() << "the bevel failed";
    for (int y = 0; y < height && result; ++y)
        for (int x = 0; x < width && result; ++x) {
            const int h = expected[static_cast<std::size_t>(y * width + x)];
            const Pixel got = GetPixel(mark, x, y);
            if (!(got == Rgbh(h, h, h, h)))
                result = ::testing::AssertionFailure() << width << " x " << height << ", width " << w << ": at (" << x
                                                       << "," << y << ") " << Describe(got) << ", expected " << h;
        }
    ReleaseDocument(&mark);
    return result;
}

std::vector<int> Shape(int width, int height, const std::function<bool(int, int)>& inside)
{
    std::vector<int> heights(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            heights[static_cast<std::size_t>(y * width + x)] = inside(x, y) ? 255 : 0;
    return heights;
}

TEST(Bevel, ProfileIsTheRoundedQuarterCircleForEveryWidth)
{
    for (int w = 1; w <= kBevelWidth.max; w += (w < 40 ? 1 : 37)) {
        EXPECT_EQ(BevelHeight(0, w), 0);
        EXPECT_EQ(BevelHeight(std::int64_t{w} * w, w), 255);
        EXPECT_EQ(BevelHeight(std::int64_t{w} * w * 4 + 9, w), 255);
        for (std::int64_t d2 = 1; d2 < std::int64_t{w} * w; d2 += 1 + d2 / 50) {
            bool clear = true;
            const int expected = ProfileReference(d2, w, &clear);
            if (clear) {
                ASSERT_EQ(BevelHeight(d2, w), expected) << "d2 " << d2 << ", width " << w;
            }
        }
    }
    // Widths beyond the range are taken as its end.
    EXPECT_EQ(BevelHeight(1000, kBevelWidth.max + 50), BevelHeight(1000, kBevelWidth.max));
}

TEST(Bevel, EdgeCasesMatchTheBruteForce)
{
    struct Case {
        const char* name;
        int width, height, bevel;
        std::function<bool(int, int)> inside;
    };
    const Case cases[] = {
        {"empty mark", 9, 7, 3, [](int, int) { return false; }},
        {"full mark", 9, 7, 3, [](int, int) { return true; }},
        {"one pixel", 7, 7, 4, [](int x, int y) { return x == 3 && y == 3; }},
        {"one pixel, whole mark", 1, 1, 5, [](int, int) { return true; }},
        {"one-pixel-wide row", 12, 5, 3, [](int, int y) { return y == 2; }},
        {"one-pixel-wide column", 5, 12, 3, [](int x, int) { return x == 2; }},
        {"one-pixel-wide diagonal", 10, 10, 3, [](int x, int y) { return x == y; }},
        {"bevel wider than the shape", 20, 16, 60, [](int x, int y) { return x > 2 && x < 17 && y > 3 && y < 13; }},
        {"hole in a full mark", 15, 11, 8, [](int x, int y) { return !(x == 11 && y == 2); }},
        {"one row, no outside", 17, 1, 4, [](int, int) { return true; }},
        {"one column", 1, 13, 4, [](int, int y) { return y % 5 != 0; }},
        {"bevel of one pixel", 11, 9, 1, [](int x, int y) { return (x * 3 + y * 5) % 7 < 4; }},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(BevelMatches(Shape(c.width, c.height, c.inside), c.width, c.height, c.bevel)) << c.name;
}

TEST(Bevel, RandomShapesAndAntialiasedEdgesMatchTheBruteForce)
{
    std::mt19937 random(20261209);
    for (int trial = 0; trial < 60; ++trial) {
        const int width = 1 + static_cast<int>(random() % 40);
        const int height = 1 + static_cast<int>(random() % 30);
        const int w = 1 + static_cast<int>(random() % (trial % 3 == 0 ? 60 : 12));
        // Blobs of random heights: levels round the threshold (127, 128)
        // and antialiased greys are all met.
        const int density = static_cast<int>(random() % 100);
        std::vector<int> heights(static_cast<std::size_t>(width * height));
        for (int& h : heights) {
            const int r = static_cast<int>(random() % 100);
            h = r < density ? static_cast<int>(128 + random() % 128) : static_cast<int>(random() % 128);
        }
        ASSERT_TRUE(BevelMatches(heights, width, height, w)) << "trial " << trial;
    }
}

TEST(Bevel, WidthZeroAndARefusedAllocationLeaveTheMarkAsItWas)
{
    ImageDocument mark = MakeDocument(30, 20, [](int x, int y) {
        const int h = (x * 7 + y * 13) % 256;
        return Rgbh(h / 2, h, 255 - h, h);
    });
    const DocumentSnapshot before = Snapshot(mark);
    EXPECT_EQ(ApplyBevel(BevelParams{0}, &mark), Failure::None);
    EXPECT_TRUE(Unchanged(mark, before));
    StandInFailNthAllocation(1);
    EXPECT_EQ(ApplyBevel(BevelParams{5}, &mark), Failure::OutOfMemory);
    StandInFailNthAllocation(0);
    EXPECT_TRUE(Unchanged(mark, before));
    const long live = StandInLiveBlocks();
    EXPECT_EQ(ApplyBevel(BevelParams{5}, &mark), Failure::None);
    EXPECT_EQ(StandInLiveBlocks(), live);  // the working block is given back
    ReleaseDocument(&mark);
}

}  // namespace

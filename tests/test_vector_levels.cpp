// The hot row loops run in a baseline, an AVX2 and an AVX-512 version
// (processing/cpu_dispatch.h): on a photograph-sized picture with odd sides
// every engine that uses them gives the same bytes in each.  The engine
// tests compare whichever version this processor runs with the reference;
// this one pins the others to it.

#include "processing/bump.h"
#include "processing/colour_adjust.h"
#include "processing/cpu_dispatch.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"
#include "processing/scale.h"
#include "support/processing_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Six megapixels: every row loop meets full vectors, tails of every
// length below one, and the engines' bands.
constexpr int kWidth = 3001;
constexpr int kHeight = 2003;

struct EngineCase {
    const char* name;
    std::function<std::vector<BYTE>(const ref::Picture&, const ref::Picture&)> run;
};

// The light and strengths every bump case runs with.
BumpParams TestLight()
{
    BumpParams bump;
    bump.lightX = -0.5;
    bump.lightY = 0.5;
    bump.lightZ = 0.7071067811865476;
    bump.strength = 37;
    bump.amplification = 400;
    bump.ambient = 45;
    return bump;
}

std::vector<BYTE> Bump(const ref::Picture& image, const ref::Picture& mark, int dontEnlarge, int tile, int keepAspect)
{
    BumpParams bump = TestLight();
    bump.layout.dontEnlarge = dontEnlarge;
    bump.layout.repeatTile = tile;
    bump.layout.keepAspect = keepAspect;
    bump.layout.offsetX = dontEnlarge ? 517 : 0;
    bump.layout.offsetY = dontEnlarge ? 211 : 0;
    ImageDocument doc = {}, watermark = {};
    proc_test::MakeDocument(&doc, image);
    proc_test::MakeDocument(&watermark, mark);
    std::vector<BYTE> out;
    if (ApplyBump(bump, &watermark, &doc) == Failure::None)
        out.assign(doc.dib + doc.bitsOffset, doc.dib + doc.bitsOffset + image.bytes.size());
    proc_test::ReleaseDocument(&doc);
    proc_test::ReleaseDocument(&watermark);
    return out;
}

std::vector<BYTE> Filter(const ref::Picture& image, FilterKind kind, int strength)
{
    FilterParams filter;
    filter.kind = kind;
    filter.strength = strength;
    const int kernel[3][3] = {{1, -2, 0}, {-3, 9, -1}, {0, -2, 1}};
    std::memcpy(filter.kernel, kernel, sizeof kernel);
    HGLOBAL block = proc_test::MakeBlock(image);
    std::vector<BYTE> out;
    if (ApplyNeighbourhoodFilter(filter, block) == Failure::None)
        out = proc_test::ReadBlock(block).bytes;
    proc_test::FreeBlock(block);
    return out;
}

std::vector<BYTE> Scale(const ref::Picture& image, LONG w, LONG h, bool heightsOnly)
{
    const std::vector<BYTE> source = proc_test::DibBytes(image);
    std::vector<BYTE> target(static_cast<std::size_t>(w) * h * 4, 0x5a);
    if (heightsOnly)
        ScaleHeights(target.data(), static_cast<std::size_t>(w) * 4, w, h, WorkDibPixels(source.data()), image.width,
                     image.height);
    else
        ScalePixels(target.data(), w, h, WorkDibPixels(source.data()), image.width, image.height);
    return target;
}

std::vector<BYTE> Ysh(const ref::Picture& image, int luminance, int saturation, int hue)
{
    const YshParams ysh{luminance, saturation, hue, ColourMode::Ysh};
    std::vector<BYTE> pixels = image.bytes;
    ApplyColourAdjust(ysh, pixels.data(), image.width, image.height);
    return pixels;
}

std::string FirstDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b, const char* level)
{
    if (a.size() != b.size())
        return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) {
            std::ostringstream s;
            s << "pixel " << i / 4 % kWidth << "," << i / 4 / kWidth << " byte " << i % 4 << ": baseline "
              << int{a[i]} << ", " << level << " " << int{b[i]};
            return s.str();
        }
    return "";
}

class VectorLevelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        before = ActiveVectorLevel();
    }
    void TearDown() override { SetVectorLevel(before); }
    VectorLevel before = VectorLevel::Baseline;
};

TEST_F(VectorLevelsTest, EveryLevelGivesTheBaselineBytes)
{
    if (SupportedVectorLevel() == VectorLevel::Baseline)
        GTEST_SKIP() << "this processor runs only the baseline loops";
    std::mt19937 rng(2026);
    const ref::Picture image = proc_test::RandomPicture(rng, kWidth, kHeight);
    const ref::Picture mark = proc_test::RandomPicture(rng, 1201, 799);
    const EngineCase cases[] = {
        {"bump NoEnlarge", [](auto& i, auto& m) { return Bump(i, m, 1, 0, 0); }},
        {"bump Tile", [](auto& i, auto& m) { return Bump(i, m, 0, 1, 0); }},
        {"bump Stretch", [](auto& i, auto& m) { return Bump(i, m, 0, 0, 0); }},
        {"bump Stretch, aspect kept", [](auto& i, auto& m) { return Bump(i, m, 0, 0, 1); }},
        {"sharpen 5", [](auto& i, auto&) { return Filter(i, FilterKind::Sharpen, 5); }},
        {"sharpen 10", [](auto& i, auto&) { return Filter(i, FilterKind::Sharpen, 10); }},
        {"soft 2", [](auto& i, auto&) { return Filter(i, FilterKind::Soft, 2); }},
        {"emboss 3", [](auto& i, auto&) { return Filter(i, FilterKind::Emboss, 3); }},
        {"custom 1", [](auto& i, auto&) { return Filter(i, FilterKind::Custom, 1); }},
        {"custom 7", [](auto& i, auto&) { return Filter(i, FilterKind::Custom, 7); }},
        {"scale down", [](auto& i, auto&) { return Scale(i, 1999, 1333, false); }},
        {"scale up", [](auto& i, auto&) { return Scale(i, 4003, 2671, false); }},
        {"scale heights", [](auto& i, auto&) { return Scale(i, 2501, 1667, true); }},
        {"luminance, saturation, hue", [](auto& i, auto&) { return Ysh(i, 110, 130, 210); }},
    };
    const struct {
        VectorLevel level;
        const char* name;
    } wider[] = {{VectorLevel::Avx2, "AVX2"}, {VectorLevel::Avx512, "AVX-512"}};
    for (const EngineCase& c : cases) {
        ASSERT_EQ(SetVectorLevel(VectorLevel::Baseline), 0);
        const std::vector<BYTE> baseline = c.run(image, mark);
        ASSERT_FALSE(baseline.empty()) << c.name << ": the engine failed";
        for (const auto& w : wider) {
            if (SetVectorLevel(w.level) != 0)
                continue;  // beyond this processor
            EXPECT_EQ(FirstDifference(baseline, c.run(image, mark), w.name), "") << c.name;
        }
    }
}

}  // namespace

// The 3x3 neighbourhood engine and the four filters: hand-worked figures,
// the engine's guarantees, and bit-exact agreement with the reference pass
// on random pictures and settings.

#include "processing/filters.h"
#include "processing/neighbourhood.h"
#include "support/processing_support.h"
#include "support/reference_engines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

using proc_test::FlatPicture;
using proc_test::RandomPicture;

class FilterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StandInFailNthAllocation(0);
        filter = FilterParams{};
        filter.kind = FilterKind::Sharpen;
        for (auto& row : filter.kernel)
            for (int& k : row)
                k = 1;
        blocksBefore = StandInLiveBlocks();
    }
    void TearDown() override
    {
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(blocksBefore) << "a block was leaked";
    }

    // Runs the engine on a block holding the picture; returns the result.
    ref::Picture CoreFilter(const ref::Picture& p, Failure expectedResult = Failure::None) const
    {
        HGLOBAL block = proc_test::MakeBlock(p);
        EXPECT_EQ(ApplyNeighbourhoodFilter(filter, block), expectedResult);
        ref::Picture out = proc_test::ReadBlock(block);
        proc_test::FreeBlock(block);
        return out;
    }

    ref::FilterParams Params() const
    {
        ref::FilterParams f;
        f.kind = filter.kind;
        f.strength = filter.strength;
        std::memcpy(f.customKernel, filter.kernel, sizeof f.customKernel);
        return f;
    }

    ref::Picture RefFilter(ref::Picture p) const
    {
        ref::NeighbourhoodPass(p, 1, Params(), ref::LightParams{});
        return p;
    }

    // The strength each kind gets in a test that tries several kinds.
    void SetKind(FilterKind kind, int sharpen, int soft, int emboss, int custom)
    {
        filter.kind = kind;
        const int strengths[] = {sharpen, soft, emboss, custom};
        filter.strength = strengths[static_cast<int>(kind)];
    }

    // A picture of one grey value (all three channels) and height byte 7.
    static ref::Picture Grey(int w, int h, int v) { return FlatPicture(w, h, v, v, v, 7); }
    static void SetGrey(ref::Picture& p, int x, int y, int v) { std::memset(p.At(x, y), v, 3); }

    FilterParams filter;
    long blocksBefore = 0;
};

int Number(FilterKind kind)
{
    return static_cast<int>(kind);
}

constexpr FilterKind kSharpen = FilterKind::Sharpen;
constexpr FilterKind kSoft = FilterKind::Soft;
constexpr FilterKind kEmboss = FilterKind::Emboss;
constexpr FilterKind kCustom = FilterKind::Custom;

// ---- Figures -------------------------------------------------------------------

TEST_F(FilterTest, StartUpSettingsChangeNothing)
{
    std::mt19937 rng(1);
    const ref::Picture p = RandomPicture(rng, 35, 17);
    EXPECT_EQ(ref::DescribeDifferences(p, CoreFilter(p)), "");
}

TEST_F(FilterTest, SharpenFigures)
{
    filter.kind = kSharpen;
    filter.strength = 10;
    ref::Picture p = Grey(3, 3, 100);
    SetGrey(p, 1, 1, 200);  // S = -800, t = -266, 466 clamps to 255
    EXPECT_EQ(CoreFilter(p).At(1, 1)[1], 255);

    filter.strength = 3;
    SetGrey(p, 1, 1, 50);  // S = 400, t = 40
    const ref::Picture out = CoreFilter(p);
    EXPECT_EQ(out.At(1, 1)[0], 10);
    EXPECT_EQ(out.At(1, 1)[1], 10);
    EXPECT_EQ(out.At(1, 1)[2], 10);
    EXPECT_EQ(out.At(1, 1)[3], 7);
}

TEST_F(FilterTest, EmbossFiguresDependOnScreenDirection)
{
    filter.kind = kEmboss;
    filter.strength = 10;
    ref::Picture below = Grey(3, 3, 0);
    for (int x = 0; x < 3; ++x)
        SetGrey(below, x, 2, 100);  // the row below the centre on screen
    EXPECT_EQ(CoreFilter(below).At(1, 1)[2], 200);

    ref::Picture above = Grey(3, 3, 0);
    for (int x = 0; x < 3; ++x)
        SetGrey(above, x, 0, 100);
    EXPECT_EQ(CoreFilter(above).At(1, 1)[2], 0);

    // A vertical step 0 | 200: both pixels beside it get S = 400 and
    // saturate; the others keep their value.  Had the pass used values it
    // had already written, the right-hand pixel would see 255 on its left.
    ref::Picture step = Grey(6, 3, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 3; x < 6; ++x)
            SetGrey(step, x, y, 200);
    const ref::Picture out = CoreFilter(step);
    const int expected[6] = {0, 0, 255, 255, 200, 200};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(out.At(x, y)[0], expected[x]) << "(" << x << "," << y << ")";
}

TEST_F(FilterTest, CustomKernelFiguresAndRowOrder)
{
    filter.kind = kCustom;
    filter.strength = 1;
    EXPECT_EQ(CoreFilter(Grey(4, 3, 10)).At(2, 1)[0], 19);
    filter.strength = 10;
    EXPECT_EQ(CoreFilter(Grey(4, 3, 10)).At(2, 1)[0], 100);

    // customKernel[0] is the row below on screen, [2] the row above.
    ref::Picture column = Grey(1, 3, 0);
    SetGrey(column, 0, 0, 10);
    SetGrey(column, 0, 1, 20);
    SetGrey(column, 0, 2, 30);
    std::memset(filter.kernel, 0, sizeof filter.kernel);
    filter.kernel[0][1] = 1;
    EXPECT_EQ(CoreFilter(column).At(0, 1)[1], 20 + 30);
    filter.kernel[0][1] = 0;
    filter.kernel[2][1] = 1;
    EXPECT_EQ(CoreFilter(column).At(0, 1)[1], 20 + 10);
    // Negative sums clamp at 0.
    filter.kernel[2][1] = -9;
    EXPECT_EQ(CoreFilter(column).At(0, 1)[1], 0);
}

TEST_F(FilterTest, SoftFigures)
{
    filter.kind = kSoft;
    filter.strength = 1;
    ref::Picture p = Grey(5, 5, 0);
    SetGrey(p, 2, 2, 90);
    const ref::Picture out = CoreFilter(p);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool besideCentre = x >= 1 && x <= 3 && y >= 1 && y <= 3;
            EXPECT_EQ(out.At(x, y)[1], besideCentre ? 10 : 0) << "(" << x << "," << y << ")";
        }
}

TEST_F(FilterTest, SoftStrengthZeroLeavesEveryByte)
{
    filter.kind = kSoft;
    filter.strength = 0;
    std::mt19937 rng(2);
    const ref::Picture p = RandomPicture(rng, 35, 17);
    EXPECT_EQ(ref::DescribeDifferences(p, CoreFilter(p)), "");
}

TEST_F(FilterTest, SoftLaterPassesSeeTheOriginalFrame)
{
    // One row 90, 0, 0.  Pass 1 gives 60, 30, 0.  In pass 2 the rows above
    // and below (frame) and the cell left of the picture still hold the
    // values from before pass 1: 60, 30, 3 (a refreshed frame would give
    // 50 for the first pixel).
    filter.kind = kSoft;
    filter.strength = 2;
    ref::Picture row = Grey(3, 1, 0);
    SetGrey(row, 0, 0, 90);
    const ref::Picture out = CoreFilter(row);
    EXPECT_EQ(out.At(0, 0)[0], 60);
    EXPECT_EQ(out.At(1, 0)[0], 30);
    EXPECT_EQ(out.At(2, 0)[0], 3);
}

// ---- Engine guarantees ------------------------------------------------------------

TEST_F(FilterTest, OnePixelPictureSeesItselfAllAround)
{
    const ref::Picture p = FlatPicture(1, 1, 10, 20, 30, 99);
    for (FilterKind kind : {kSharpen, kEmboss, kSoft}) {
        SetKind(kind, 10, 3, 10, 1);
        EXPECT_EQ(ref::DescribeDifferences(p, CoreFilter(p)), "") << "kind " << Number(kind);
    }
    SetKind(kCustom, 10, 3, 10, 1);  // all-ones kernel: c + trunc(9c * 0.1)
    const ref::Picture out = CoreFilter(p);
    EXPECT_EQ(out.At(0, 0)[0], 19);
    EXPECT_EQ(out.At(0, 0)[1], 38);
    EXPECT_EQ(out.At(0, 0)[2], 57);
    EXPECT_EQ(out.At(0, 0)[3], 99);
}

TEST_F(FilterTest, UnknownFilterKindChangesNothing)
{
    std::mt19937 rng(3);
    const ref::Picture p = RandomPicture(rng, 9, 4);
    filter.strength = 10;
    for (int kind : {4, 5, 100, -1}) {
        filter.kind = static_cast<FilterKind>(kind);
        EXPECT_EQ(ref::DescribeDifferences(p, CoreFilter(p)), "") << "kind " << kind;
    }
}

TEST_F(FilterTest, FourthByteNeverChanges)
{
    std::mt19937 rng(4);
    const ref::Picture p = RandomPicture(rng, 35, 17);
    filter.strength = 10;
    for (FilterKind kind : {kSharpen, kSoft, kEmboss, kCustom}) {
        filter.kind = kind;
        const ref::Picture out = CoreFilter(p);
        for (std::size_t i = 3; i < p.bytes.size(); i += 4)
            ASSERT_EQ(out.bytes[i], p.bytes[i]) << "kind " << Number(kind) << " pixel " << i / 4;
    }
}

TEST_F(FilterTest, MatchesReferenceOnRandomPicturesAndSettings)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> strength(0, 10);
    std::uniform_int_distribution<int> kernel(-9, 9);
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 5}, {35, 17}, {17, 35}};
    const FilterKind kinds[] = {kSharpen, kSoft, kEmboss, kCustom};
    for (const auto& s : sizes) {
        for (FilterKind kind : kinds) {
            for (int round = 0; round < 4; ++round) {
                const ref::Picture p = RandomPicture(rng, s[0], s[1]);
                const int sharpen = strength(rng);
                const int soft = strength(rng) % 4;  // several passes, kept quick
                const int emboss = strength(rng);
                const int custom = strength(rng);
                SetKind(kind, sharpen, soft, emboss, custom);
                for (auto& row : filter.kernel)
                    for (int& k : row)
                        k = kernel(rng);
                EXPECT_EQ(ref::DescribeDifferences(RefFilter(p), CoreFilter(p)), "")
                    << s[0] << "x" << s[1] << " kind " << Number(kind) << " strength " << filter.strength;
            }
        }
    }
}

// On a picture that splits into bands, every filter equals the reference
// pass; soft runs three passes, each seeing the one before.
TEST_F(FilterTest, PictureInBandsMatchesReferenceForEveryKind)
{
    std::mt19937 rng(32);
    const ref::Picture p = RandomPicture(rng, proc_test::kBandedWidth, proc_test::kBandedHeight);
    filter.kernel[0][0] = -7;
    filter.kernel[1][1] = 9;
    filter.kernel[2][2] = -3;
    for (FilterKind kind : {kSharpen, kSoft, kEmboss, kCustom}) {
        SetKind(kind, 7, 3, 4, 6);
        EXPECT_EQ(ref::DescribeDifferences(RefFilter(p), CoreFilter(p)), "") << "kind " << Number(kind);
    }
}

TEST_F(FilterTest, OperatorsMatchReferenceOnRandomBlocks)
{
    std::mt19937 rng(6);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> strength(0, 10);
    std::uniform_int_distribution<int> kernel(-9, 9);
    void (*const ops[])(const FilterParams&, PixelBlock3x3*) = {SharpenPixel, SoftenPixel, EmbossPixel,
                                                                  CustomKernelPixel};
    const FilterKind kinds[] = {kSharpen, kSoft, kEmboss, kCustom};
    for (int i = 0; i < 20000; ++i) {
        const int op = i % 4;
        PixelBlock3x3 block;
        for (auto& px : block.px)
            for (BYTE& b : px)
                b = static_cast<BYTE>(byte(rng));
        const int sharpen = strength(rng);
        const int emboss = strength(rng);
        const int custom = strength(rng);
        SetKind(kinds[op], sharpen, 0, emboss, custom);
        for (auto& row : filter.kernel)
            for (int& k : row)
                k = kernel(rng);
        std::uint8_t expected[4];
        std::memcpy(expected, block.px[4], 4);
        ref::FilterPixel(block.px, expected, Params());
        PixelBlock3x3 before = block;
        ops[op](filter, &block);
        ASSERT_EQ(std::memcmp(block.px[4], expected, 4), 0)
            << "operator " << Number(kinds[op]) << " centre " << int(block.px[4][0]) << "," << int(block.px[4][1]) << ","
            << int(block.px[4][2]) << " expected " << int(expected[0]) << "," << int(expected[1]) << ","
            << int(expected[2]);
        ASSERT_EQ(std::memcmp(block.px, before.px, 16), 0) << "a neighbour was written";
    }
}

// Rows are filtered through the integer quotient where the plan proves it
// exact, through the table of amounts otherwise.  Both forms, forced for
// every kind and strength (and random kernels), give each pixel what the
// per-pixel operator gives it.
TEST_F(FilterTest, BothRowFormsEqualThePixelOperatorForEverySetting)
{
    std::mt19937 rng(21);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> weight(kKernelValue.min, kKernelValue.max);
    constexpr int kPixels = 203;
    std::vector<BYTE> rows[3];
    for (auto& row : rows) {
        row.resize((kPixels + 2) * 4);
        for (BYTE& b : row)
            b = static_cast<BYTE>(byte(rng));
    }
    // Extremes too: the largest and smallest sums a kernel can reach.
    for (int i = 0; i < 12; ++i)
        rows[i % 3][i * 4] = rows[i % 3][i * 4 + 1] = rows[i % 3][i * 4 + 2] = i % 2 ? 255 : 0;
    struct Operator {
        FilterKind kind;
        void (*pixel)(const FilterParams&, PixelBlock3x3*);
    };
    const Operator operators[] = {{kSharpen, SharpenPixel},
                                  {kSoft, SoftenPixel},
                                  {kEmboss, EmbossPixel},
                                  {kCustom, CustomKernelPixel}};
    std::vector<BYTE> out(kPixels * 4);
    int integerPlans = 0;
    for (const Operator& op : operators)
        for (int strength = kFilterStrength.min; strength <= kFilterStrength.max; ++strength)
            for (int kernel = 0; kernel < (op.kind == kCustom ? 6 : 1); ++kernel) {
                for (auto& row : filter.kernel)
                    for (int& k : row)
                        k = kernel == 0 ? kKernelValue.max : weight(rng);
                filter.kind = op.kind;
                filter.strength = strength;
                FilterRowPlan plan;
                ASSERT_TRUE(PrepareFilterRows(filter, &plan));
                integerPlans += plan.integerForm ? 1 : 0;
                for (bool integerForm : {plan.integerForm, false}) {
                    plan.integerForm = integerForm;
                    FilterRow(plan, rows[0].data(), rows[1].data(), rows[2].data(), out.data(), kPixels);
                    for (int c = 0; c < kPixels; ++c) {
                        PixelBlock3x3 block;
                        std::memcpy(block.px[0], &rows[0][c * 4], 12);
                        std::memcpy(block.px[3], &rows[1][c * 4], 12);
                        std::memcpy(block.px[6], &rows[2][c * 4], 12);
                        op.pixel(filter, &block);
                        ASSERT_EQ(std::memcmp(block.px[4], &out[c * 4], 4), 0)
                            << "kind " << Number(op.kind) << " strength " << strength << " kernel " << kernel << " pixel "
                            << c << (integerForm ? " by quotients" : " by the table");
                    }
                }
            }
    EXPECT_GT(integerPlans, 20) << "the quotient form is proven for most settings";
}

TEST_F(FilterTest, FailedAllocationLeavesPictureUnchanged)
{
    QV_NEEDS_STAND_IN();
    std::mt19937 rng(8);
    const ref::Picture p = RandomPicture(rng, 35, 17);
    filter.kind = kSoft;
    filter.strength = 3;
    const ref::Picture expected = RefFilter(p);
    bool sawFailure = false;
    for (long n = 1; n <= 4; ++n) {
        HGLOBAL block = proc_test::MakeBlock(p);
        const long live = StandInLiveBlocks();
        StandInFailNthAllocation(n);
        const Failure result = ApplyNeighbourhoodFilter(filter, block);
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(live) << "allocation " << n << " failing";
        const ref::Picture out = proc_test::ReadBlock(block);
        proc_test::FreeBlock(block);
        if (result == Failure::OutOfMemory) {
            sawFailure = true;
            EXPECT_EQ(ref::DescribeDifferences(p, out), "") << "allocation " << n << " failing";
        } else {
            EXPECT_EQ(result, Failure::None);
            EXPECT_EQ(ref::DescribeDifferences(expected, out), "") << "allocation " << n << " failing";
        }
    }
    EXPECT_TRUE(sawFailure) << "no working buffer came from the block allocator";
}

}  // namespace

// The in-memory picture: luminance bytes, confining a command to the
// selection (extract / commit / cancel), adopting a decoded block and the
// display copy.

#include "image/blocks.h"
#include "image/failure.h"
#include "image/image_document.h"
#include "image/region_swap.h"
#include "platform/parallel.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace qvtest;

namespace {

// ---- Copying over the cores ------------------------------------------------------

// Every byte arrives, whether the copy is split into pages over threads
// or not, and nothing beyond the end is written.
TEST(CopyOnCores, CopiesEveryByteAndNothingPastTheEnd)
{
    constexpr std::size_t kSizes[] = {0, 1, 4095, 4096, 4097, (1u << 20) + 17, (8u << 20) + 4096 * 3 + 5};
    std::vector<unsigned char> source((8u << 20) + 4096 * 4);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<unsigned char>(i * 131 + (i >> 12));
    for (const std::size_t bytes : kSizes) {
        std::vector<unsigned char> target(bytes + 64, 0xA5);
        CopyOnCores(target.data(), source.data(), bytes);
        EXPECT_TRUE(std::equal(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(bytes), target.begin()))
            << bytes << " bytes";
        EXPECT_TRUE(std::all_of(target.begin() + static_cast<std::ptrdiff_t>(bytes), target.end(),
                                [](unsigned char b) { return b == 0xA5; }))
            << bytes << " bytes";
    }
}

// ---- Blocks -------------------------------------------------------------------

// Every block comes zero-filled at a locked address that stays put, however
// the blocks before it of the same and other sizes were written and freed
// (large ones may be handed out again from memory already used).
TEST(Blocks, EveryBlockIsZeroFilledAndStaysPutAfterOthersWereFreed)
{
    constexpr SIZE_T kMiB = SIZE_T{1} << 20;
    const SIZE_T sizes[] = {1, 4000, 2 * kMiB - 1, 2 * kMiB, 2 * kMiB + 1, 24 * kMiB + 44, 7 * kMiB, 24 * kMiB + 44,
                            30 * kMiB, 5 * kMiB, 2 * kMiB};
    const long live = StandInLiveBlocks();
    HGLOBAL held = nullptr;  // one block stays alive across the next allocation
    for (int round = 0; round < 2; ++round)
        for (SIZE_T bytes : sizes) {
            HGLOBAL block = GlobalAlloc(GHND, bytes);
            ASSERT_NE(block, nullptr) << bytes << " bytes";
            EXPECT_EQ(GlobalSize(block), bytes);
            auto* data = static_cast<BYTE*>(GlobalLock(block));
            ASSERT_NE(data, nullptr);
            SIZE_T nonZero = 0;
            for (SIZE_T i = 0; i < bytes; ++i)
                nonZero += data[i] != 0;
            EXPECT_EQ(nonZero, 0u) << bytes << " bytes, round " << round;
            std::memset(data, 0xA5, bytes);
            EXPECT_EQ(GlobalLock(block), data) << "a second lock gives the same address";
            GlobalUnlock(block);
            GlobalUnlock(block);
            if (held) {
                GlobalFree(held);
                held = nullptr;
            }
            if (bytes % 2 == 0)
                held = block;
            else
                GlobalFree(block);
        }
    if (held)
        GlobalFree(held);
    EXPECT_LIVE_BLOCKS(live);
}

// True when every byte of the block is zero.
bool AllZero(HGLOBAL block)
{
    const auto* data = static_cast<const BYTE*>(GlobalLock(block));
    const SIZE_T bytes = GlobalSize(block);
    SIZE_T nonZero = 0;
    for (SIZE_T i = 0; i < bytes; ++i)
        nonZero += data[i] != 0;
    GlobalUnlock(block);
    return nonZero == 0;
}

void Dirty(HGLOBAL block)
{
    std::memset(GlobalLock(block), 0xA5, GlobalSize(block));
    GlobalUnlock(block);
}

// A freed large block is kept and handed out again to a request it holds
// (not one less than half its size), zero-filled and sized as asked, with a
// lock left on it gone; the failure hooks count the program's blocks and
// requests, kept blocks or not, and can refuse a request a kept block
// would answer.
TEST(Blocks, AFreedLargeBlockComesBackZeroFilledAtTheSizeAsked)
{
    constexpr SIZE_T kMiB = SIZE_T{1} << 20;
    ReleaseKeptBlocks();
    const long live = StandInLiveBlocks();

    struct Step {
        SIZE_T bytes;
        bool fromKept;  // answered by the block freed in the step before
    };
    const Step steps[] = {
        {24 * kMiB + 44, false}, {24 * kMiB + 40, true}, {20 * kMiB, true},  {24 * kMiB + 44, false},
        {9 * kMiB, false},       {9 * kMiB, true},      {kMiB - 1, false}, {3 * kMiB, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::to_string(step.bytes) + " bytes");
        const int keptBefore = KeptBlockCount();
        const long made = StandInAllocationsMade();
        HGLOBAL block = AllocateBlock(step.bytes);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(StandInAllocationsMade(), made + 1) << "one request, one allocation";
        EXPECT_EQ(KeptBlockCount(), keptBefore - (step.fromKept ? 1 : 0));
        EXPECT_EQ(GlobalSize(block), step.bytes);
        EXPECT_TRUE(AllZero(block));
        EXPECT_LIVE_BLOCKS(live + 1);
        Dirty(block);
        GlobalLock(block);  // left locked: freeing it takes the lock off
        EXPECT_EQ(FreeBlock(block), nullptr);
        EXPECT_LIVE_BLOCKS(live) << "a kept block is not the program's";
        EXPECT_EQ(KeptBlockCount(), std::min(keptBefore - (step.fromKept ? 1 : 0) + (step.bytes >= kMiB ? 1 : 0), 3));
        if (step.bytes >= kMiB) {
            block = AllocateBlock(step.bytes);
            ASSERT_NE(block, nullptr);
            EXPECT_TRUE(AllZero(block));
            EXPECT_EQ(GlobalLock(block), GlobalLock(block));
            GlobalUnlock(block);
            EXPECT_FALSE(GlobalUnlock(block)) << "only this test's own locks";
            EXPECT_EQ(FreeBlock(block), nullptr);
        }
    }

    // A request that a kept block would answer can fail like any other.
    ASSERT_GT(KeptBlockCount(), 0);
    const int kept = KeptBlockCount();
    StandInFailNthAllocation(1);
    EXPECT_EQ(AllocateBlock(3 * kMiB), nullptr);
    StandInFailNthAllocation(0);
    EXPECT_EQ(KeptBlockCount(), kept);
    ReleaseKeptBlocks();
    EXPECT_EQ(KeptBlockCount(), 0);
    EXPECT_EQ(KeptBlockBytes(), 0u);
    EXPECT_LIVE_BLOCKS(live);
}

// When the memory cannot hold a fresh block beside the kept ones, they are
// given back and the request granted; without kept blocks to give back the
// request fails.
TEST(Blocks, KeptBlocksAreGivenBackWhenTheMemoryCannotHoldAFreshOne)
{
    QV_NEEDS_STAND_IN();
    constexpr SIZE_T kMiB = SIZE_T{1} << 20;
    ReleaseKeptBlocks();
    const long live = StandInLiveBlocks();
    const SIZE_T base = StandInMemoryInUse();

    HGLOBAL first = AllocateBlock(40 * kMiB);
    ASSERT_NE(first, nullptr);
    Dirty(first);
    FreeBlock(first);
    ASSERT_EQ(KeptBlockCount(), 1);
    EXPECT_EQ(StandInMemoryInUse(), base + 40 * kMiB) << "a kept block holds its memory";

    StandInSetMemoryLimit(base + 64 * kMiB);
    HGLOBAL larger = AllocateBlock(48 * kMiB);
    ASSERT_NE(larger, nullptr) << "granted once the kept block was given back";
    EXPECT_EQ(KeptBlockCount(), 0);
    EXPECT_EQ(GlobalSize(larger), 48 * kMiB);
    EXPECT_TRUE(AllZero(larger));
    EXPECT_EQ(StandInMemoryInUse(), base + 48 * kMiB);

    EXPECT_EQ(AllocateBlock(32 * kMiB), nullptr) << "nothing kept to give back";
    StandInSetMemoryLimit(0);
    EXPECT_LIVE_BLOCKS(live + 1);
    GlobalFree(larger);
    EXPECT_LIVE_BLOCKS(live);
    EXPECT_EQ(StandInMemoryInUse(), base);
}

// ---- Luminance --------------------------------------------------------------

TEST(Luminance, WeightsGreenRedBlueAndTruncates)
{
    struct Case {
        Pixel colour;
        int expected;
    };
    // Hand-worked values of (59 G + 30 R + 11 B) / 100; red alone (76.5)
    // and 100/200/50 (153.5) show truncation, not rounding.
    const std::vector<Case> cases = {
        {Rgbh(0, 0, 255, 99), 28},   {Rgbh(0, 255, 0, 99), 150},   {Rgbh(255, 0, 0, 99), 76},
        {Rgbh(255, 255, 255, 0), 255}, {Rgbh(0, 0, 0, 200), 0},     {Rgbh(3, 2, 1, 7), 2},
        {Rgbh(100, 200, 50, 1), 153}, {Rgbh(254, 254, 254, 0), 254}, {Rgbh(1, 1, 1, 0), 1},
    };
    // An odd width and more rows than one: every pixel of the block is visited.
    const int w = 5, h = 4;
    auto colourAt = [&](int x, int y) { return cases[(x + y * w) % cases.size()].colour; };
    ImageDocument doc = MakeDocument(w, h, colourAt);

    ComputeLuminance(&doc);

    EXPECT_TRUE(PixelsMatch(doc, w, h, [&](int x, int y) {
        const Case& c = cases[(x + y * w) % cases.size()];
        Pixel p = c.colour;
        p.height = static_cast<std::uint8_t>(c.expected);
        return p;
    }, true));
    ReleaseDocument(&doc);
}

// ---- RegionSwap ----------------------------------------------------------------

constexpr int kW = 7;
constexpr int kH = 5;

// Every byte distinct per pixel, the HeightByte included.
Pixel Original(int x, int y)
{
    return Rgbh(10 * x + y, 100 + x * 3 + y, 200 + y * 7 + x, 1 + x + y * kW);
}

// What the "command" writes into the region: unlike any original pixel.
Pixel Processed(int i, int j)
{
    return Rgbh(255 - i, 254 - j, 3 + i + j, 250 - i - j);
}

// A region in picture coordinates (the main window maps its selection
// from the view: tests/windows/test_scrolling.cpp).
PictureRect PictureSelection(LONG l, LONG t, LONG r, LONG b)
{
    return PictureRect{l, t, r, b};
}

class RegionSwapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        blocksBefore = StandInLiveBlocks();
        doc = MakeDocument(kW, kH, Original);
        std::memcpy(doc.path, "photo.bmp", 10);
        doc.fileHeader.bfType = 0x4D42;
        doc.fileHeader.bfSize = 1234;
        doc.fileHeader.bfOffBits = 54;
        doc.isModified = 1;
        // Fields the loader leaves in the header must survive the swap.
        doc.bmi->bmiHeader.biXPelsPerMeter = 2835;
        doc.bmi->bmiHeader.biSizeImage = 140;
    }
    void TearDown() override
    {
        ReleaseDocument(&doc);
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(blocksBefore) << "blocks leaked";
    }

    // Switches the document to a header in storage of its own, as a
    // loader that keeps one apart from the pixel block would leave it.
    void UseSeparateHeader()
    {
        std::memcpy(&separate, doc.dib, sizeof(BITMAPINFOHEADER));
        separate.bmiColors[0] = RGBQUAD{1, 2, 3, 4};
        doc.bmi = &separate;
    }

    long blocksBefore = 0;
    ImageDocument doc{};
    BITMAPINFO separate{};
};

TEST_F(RegionSwapTest, WithoutARegionExtractCommitAndCancelChangeNothing)
{
    const DocumentSnapshot before = Snapshot(doc);

    RegionSwap swap;
    EXPECT_EQ(RegionSwapExtract(&swap, &doc, nullptr), RegionCut::Ready);
    EXPECT_TRUE(Unchanged(doc, before));
    EXPECT_LIVE_BLOCKS(blocksBefore + 1);
    RegionSwapCommit(&swap, &doc);
    EXPECT_TRUE(Unchanged(doc, before));
    RegionSwapCancel(&swap, &doc);
    EXPECT_TRUE(Unchanged(doc, before));
}

struct RegionCase {
    const char* name;
    LONG l, t, r, b;  // selection in picture coordinates
    int x0, y0, cols, rows;
};

// W = 7, H = 5.  Inclusive ends: the region is one larger than the outline.
const RegionCase kRegionCases[] = {
    {"inside", 2, 1, 4, 3, 2, 1, 3, 3},
    {"beyond right and bottom", 4, 2, 100, 100, 4, 2, 3, 3},
    {"starts left of and above", -5, -3, 1, 2, 0, 0, 2, 3},
    {"right edge on column 0", -4, 0, 0, 4, 0, 0, 1, 5},
    {"bottom edge on row 0", 1, -9, 5, 0, 1, 0, 5, 1},
    {"covers everything", -1, -1, kW, kH, 0, 0, kW, kH},
    {"last column and row only", kW - 1, kH - 1, kW + 3, kH + 3, kW - 1, kH - 1, 1, 1},
    {"single pixel inside", 3, 2, 3, 2, 3, 2, 1, 1},
};

void CheckRegionExtracted(const ImageDocument& doc, const RegionCase& c, const DocumentSnapshot& before,
                          const BITMAPINFO* bmi)
{
    EXPECT_EQ(doc.width, c.cols);
    EXPECT_EQ(doc.height, c.rows);
    ASSERT_NE(doc.hDib, nullptr);
    EXPECT_NE(doc.hDib, before.record.hDib);
    EXPECT_NE(doc.dib, before.record.dib);
    EXPECT_EQ(doc.bmi, bmi) << "bmi must stay the same pointer";
    EXPECT_EQ(doc.bmi->bmiHeader.biWidth, c.cols);
    EXPECT_EQ(doc.bmi->bmiHeader.biHeight, c.rows);
    EXPECT_GE(GlobalSize(doc.hDib), WorkDibBytes(c.cols, c.rows));

    const BITMAPINFOHEADER own = BlockHeader(doc);
    EXPECT_EQ(own.biSize, 40u);
    EXPECT_EQ(own.biWidth, c.cols);
    EXPECT_EQ(own.biHeight, c.rows);
    EXPECT_EQ(own.biBitCount, 32);
    EXPECT_EQ(own.biCompression, BI_RGB);
    EXPECT_EQ(own.biXPelsPerMeter, 2835) << "the block header is copied from the picture's";

    // Everything but the block and the size stays as it was.
    EXPECT_EQ(std::memcmp(&doc.fileHeader, &before.record.fileHeader, sizeof doc.fileHeader), 0);
    EXPECT_STREQ(doc.path, before.record.path);
    EXPECT_EQ(doc.isLoaded, before.record.isLoaded);
    EXPECT_EQ(doc.isModified, before.record.isModified);
    EXPECT_EQ(doc.bitsOffset, before.record.bitsOffset);

    EXPECT_TRUE(PixelsMatch(doc, c.cols, c.rows, [&](int i, int j) { return Original(c.x0 + i, c.y0 + j); }, true));
}

TEST_F(RegionSwapTest, ExtractCutsOutTheMappedClippedRectangleAndCommitPastesItBack)
{
    for (bool separateHeader : {false, true}) {
        for (const RegionCase& c : kRegionCases) {
            SCOPED_TRACE(std::string(c.name) + (separateHeader ? ", header apart" : ", header in block"));
            ReleaseDocument(&doc);
            SetUp();
            if (separateHeader)
                UseSeparateHeader();
            const BITMAPINFO* bmi = doc.bmi;
            const DocumentSnapshot before = Snapshot(doc);
            const PictureRect sel = PictureSelection(c.l, c.t, c.r, c.b);

            RegionSwap swap;
            ASSERT_EQ(RegionSwapExtract(&swap, &doc, &sel), RegionCut::Ready);
            EXPECT_LIVE_BLOCKS(blocksBefore + 2);
            CheckRegionExtracted(doc, c, before, bmi);
            if (doc.width != c.cols || doc.height != c.rows)
                continue;  // already reported; the paste below would only add noise

            for (int j = 0; j < c.rows; ++j)
                for (int i = 0; i < c.cols; ++i)
                    SetPixel(doc, i, j, Processed(i, j));
            RegionSwapCommit(&swap, &doc);

            EXPECT_LIVE_BLOCKS(blocksBefore + 1) << "the region block is released";
            EXPECT_EQ(doc.hDib, before.record.hDib);
            EXPECT_EQ(doc.dib, before.record.dib);
            EXPECT_EQ(doc.bmi, bmi);
            EXPECT_EQ(doc.width, kW);
            EXPECT_EQ(doc.height, kH);
            EXPECT_EQ(doc.bmi->bmiHeader.biWidth, kW);
            EXPECT_EQ(doc.bmi->bmiHeader.biHeight, kH);
            EXPECT_EQ(std::memcmp(doc.bmi, before.bmiBytes.data(), 40), 0) << "header restored";
            if (separateHeader) {
                EXPECT_EQ(separate.bmiColors[0].rgbBlue, 1);
                EXPECT_EQ(separate.bmiColors[0].rgbReserved, 4);
            }
            // Only the region's pixels differ, and they carry what the
            // command left, HeightByte included.
            EXPECT_TRUE(PixelsMatch(doc, kW, kH, [&](int x, int y) {
                const bool inside = x >= c.x0 && x < c.x0 + c.cols && y >= c.y0 && y < c.y0 + c.rows;
                return inside ? Processed(x - c.x0, y - c.y0) : Original(x, y);
            }, true));
        }
    }
}

TEST_F(RegionSwapTest, CancelRestoresRecordHeaderAndEveryByte)
{
    for (bool separateHeader : {false, true}) {
        SCOPED_TRACE(separateHeader ? "header apart" : "header in block");
        ReleaseDocument(&doc);
        SetUp();
        if (separateHeader)
            UseSeparateHeader();
        const DocumentSnapshot before = Snapshot(doc);
        const PictureRect sel = PictureSelection(-2, 1, 4, 9);

        RegionSwap swap;
        ASSERT_EQ(RegionSwapExtract(&swap, &doc, &sel), RegionCut::Ready);
        // The command scribbles over its whole region before being cancelled.
        std::memset(WorkDibPixels(doc.dib), 0xA5, static_cast<std::size_t>(doc.width) * doc.height * 4);
        RegionSwapCancel(&swap, &doc);

        EXPECT_TRUE(Unchanged(doc, before));
        EXPECT_LIVE_BLOCKS(blocksBefore + 1) << "the region block is released";
    }
}

TEST_F(RegionSwapTest, ExtractRefusesSelectionsWithNothingOfThePicture)
{
    struct Outside {
        const char* name;
        LONG l, t, r, b;
    };
    const Outside cases[] = {
        {"wholly left (R < 0)", -6, 0, -1, 3},
        {"wholly above (B < 0)", 0, -6, 3, -1},
        {"starts beyond the right edge (L > W)", kW + 1, 0, kW + 5, 3},
        {"starts below the bottom edge (T > H)", 0, kH + 1, 3, kH + 4},
        {"left edge on column W: no columns", kW, 0, kW + 5, 3},
        {"top edge on row H: no rows", 0, kH, 3, kH + 4},
        {"far away", -100000, -100000, -90000, -90000},
    };
    for (bool separateHeader : {false, true}) {
        if (separateHeader)
            UseSeparateHeader();
        for (const Outside& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (separateHeader ? ", header apart" : ", header in block"));
            const DocumentSnapshot before = Snapshot(doc);
            const PictureRect sel = PictureSelection(c.l, c.t, c.r, c.b);
            MessageCapture messages;
            RegionSwap swap;
            EXPECT_EQ(RegionSwapExtract(&swap, &doc, &sel), RegionCut::Empty);
            EXPECT_EQ(messages.Count(), 0u) << "nothing to process is said nothing: " << messages.Joined();
            EXPECT_TRUE(Unchanged(doc, before));
            EXPECT_LIVE_BLOCKS(blocksBefore + 1);
        }
    }
}

TEST_F(RegionSwapTest, ExtractWithoutMemoryForTheRegionChangesNothing)
{
    QV_NEEDS_STAND_IN();
    for (bool separateHeader : {false, true}) {
        SCOPED_TRACE(separateHeader ? "header apart" : "header in block");
        if (separateHeader)
            UseSeparateHeader();
        const DocumentSnapshot before = Snapshot(doc);
        const PictureRect sel = PictureSelection(1, 1, 3, 3);
        MessageCapture messages;
        StandInFailNthAllocation(1);
        RegionSwap swap;
        EXPECT_EQ(RegionSwapExtract(&swap, &doc, &sel), RegionCut::OutOfMemory);
        StandInFailNthAllocation(0);
        // The front end says "メモリーが足りません。" (tests/test_failure_injection.cpp
        // and the main window's failure walks); the core shows nothing.
        EXPECT_EQ(messages.Count(), 0u) << messages.Joined();
        EXPECT_TRUE(Unchanged(doc, before)) << "the header's size must be put back too";
        EXPECT_LIVE_BLOCKS(blocksBefore + 1);
    }
}

// A picture read from a JPEG has its header at the start of its own block,
// so the colour slot after the header is the bottom-left pixel.  Putting
// the header back after a commit must not undo that pixel's processing.
TEST_F(RegionSwapTest, CommitKeepsProcessedBottomLeftPixelWhenHeaderSharesTheBlock)
{
    ASSERT_EQ(reinterpret_cast<BYTE*>(doc.bmi), doc.dib);
    const PictureRect sel = PictureSelection(-3, 2, 1, kH + 2);  // columns 0..1, rows 2..4
    RegionSwap swap;
    ASSERT_EQ(RegionSwapExtract(&swap, &doc, &sel), RegionCut::Ready);
    ASSERT_EQ(doc.width, 2);
    ASSERT_EQ(doc.height, 3);
    SetPixel(doc, 0, 2, Rgbh(9, 8, 7, 6));  // the picture's bottom-left pixel
    RegionSwapCommit(&swap, &doc);

    EXPECT_EQ(GetPixel(doc, 0, kH - 1), Rgbh(9, 8, 7, 6));
    EXPECT_EQ(doc.bmi->bmiHeader.biWidth, kW);
    EXPECT_EQ(doc.bmi->bmiHeader.biHeight, kH);
}

// ---- Adopting a decoded block ------------------------------------------------------

// A reader's new block becomes the picture: the old block is given back and
// every field that describes the block follows the new one; the file header,
// name and modified flag are the document's own.
TEST(AdoptWorkDib, TheDocumentTakesTheBlockAndGivesBackItsOld)
{
    const long live = StandInLiveBlocks();
    ImageDocument doc = MakeDocument(3, 2, Original);
    SetPath(&doc, "/pictures/old.bmp");
    doc.fileHeader.bfReserved1 = 7;
    doc.isModified = 1;
    doc.bitsOffset = 0;
    const ImageDocument before = doc;

    HGLOBAL block = GlobalAlloc(GHND, WorkDibBytes(5, 4));
    ASSERT_NE(block, nullptr);
    WriteWorkDibHeader(static_cast<BYTE*>(GlobalLock(block)), 5, 4);
    GlobalUnlock(block);
    Outcome warnings;
    AdoptWorkDib(&doc, block, 5, 4, &warnings);

    EXPECT_TRUE(warnings.ok());
    EXPECT_TRUE(warnings.warnings.empty());
    EXPECT_LIVE_BLOCKS(live + 1) << "the old block was given back";
    EXPECT_EQ(doc.hDib, block);
    EXPECT_EQ(doc.dib, static_cast<BYTE*>(GlobalLock(block)));
    GlobalUnlock(block);
    EXPECT_EQ(reinterpret_cast<BYTE*>(doc.bmi), doc.dib) << "the block's own header";
    EXPECT_EQ(doc.bmi->bmiHeader.biWidth, 5);
    EXPECT_EQ(doc.width, 5);
    EXPECT_EQ(doc.height, 4);
    EXPECT_EQ(doc.bitsOffset, kWorkDibHeaderBytes);
    EXPECT_EQ(doc.isLoaded, 1);
    EXPECT_EQ(doc.isModified, 1);
    EXPECT_STREQ(doc.path, before.path);
    EXPECT_EQ(doc.fileHeader.bfReserved1, 7);
    ReleaseDocument(&doc);
    EXPECT_LIVE_BLOCKS(live);
}

// ---- Display copy ----------------------------------------------------------------

class DisplayCopyTest : public ::testing::Test {
protected:
    void SetUp() override { blocksBefore = StandInLiveBlocks(); }
    void TearDown() override
    {
        ReleaseDocument(&display);
        ReleaseDocument(&doc);
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(blocksBefore) << "blocks leaked";
    }
    long blocksBefore = 0;
    ImageDocument doc{};
    ImageDocument display{};
};

TEST_F(DisplayCopyTest, BuildMakesAPrivateCopyWithItsOwnHeader)
{
    doc = MakeDocument(5, 3, Original);
    SetPath(&doc, "/pictures/cat.jpg");
    doc.bmi->bmiHeader.biYPelsPerMeter = 3780;

    ASSERT_EQ(BuildDisplayCopy(&display, &doc), 0);

    ASSERT_NE(display.hDib, nullptr);
    EXPECT_NE(display.hDib, doc.hDib);
    EXPECT_NE(display.dib, doc.dib);
    EXPECT_EQ(display.bmi, &displayBmi);
    EXPECT_EQ(std::memcmp(&displayBmi.bmiHeader, &doc.bmi->bmiHeader, 40), 0);
    EXPECT_EQ(display.width, 5);
    EXPECT_EQ(display.height, 3);
    EXPECT_STREQ(display.path, "/pictures/cat.jpg");
    EXPECT_EQ(display.isLoaded, 1);
    const std::size_t bytes = WorkDibBytes(5, 3);
    ASSERT_GE(GlobalSize(display.hDib), bytes);
    EXPECT_EQ(std::memcmp(display.dib, doc.dib, bytes), 0) << "header and pixels copied whole";

    // Changes to the picture do not show until the copy is refreshed.
    SetPixel(doc, 4, 0, Rgbh(1, 2, 3, 4));
    doc.bmi->bmiHeader.biWidth = 99;
    EXPECT_EQ(GetPixel(display, 4, 0), Original(4, 0));
    EXPECT_EQ(displayBmi.bmiHeader.biWidth, 5);
}

TEST_F(DisplayCopyTest, RebuildReleasesThePreviousCopy)
{
    doc = MakeDocument(5, 3, Original);
    ASSERT_EQ(BuildDisplayCopy(&display, &doc), 0);
    ReleaseDocument(&doc);
    doc = MakeDocument(2, 9, Processed);
    ASSERT_EQ(BuildDisplayCopy(&display, &doc), 0);

    EXPECT_LIVE_BLOCKS(blocksBefore + 2);
    EXPECT_TRUE(SamePixels(display, doc, true));
    EXPECT_EQ(displayBmi.bmiHeader.biWidth, 2);
    EXPECT_EQ(displayBmi.bmiHeader.biHeight, 9);
}

TEST_F(DisplayCopyTest, RefreshCopiesTheCommittedPixels)
{
    doc = MakeDocument(3, 5, Original);
    ASSERT_EQ(BuildDisplayCopy(&display, &doc), 0);
    const HGLOBAL block = display.hDib;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            SetPixel(doc, x, y, Processed(x, y));

    RefreshDisplayCopy(&display, &doc);

    EXPECT_EQ(display.hDib, block);
    EXPECT_TRUE(SamePixels(display, doc, true));
}

TEST_F(DisplayCopyTest, BuildWithoutMemoryLeavesNoPictureAndNoSharedBlock)
{
    QV_NEEDS_STAND_IN();
    doc = MakeDocument(5, 3, Original);
    ASSERT_EQ(BuildDisplayCopy(&display, &doc), 0);
    const DocumentSnapshot before = Snapshot(doc);

    StandInFailNthAllocation(1);
    EXPECT_EQ(BuildDisplayCopy(&display, &doc), -1);
    StandInFailNthAllocation(0);

    EXPECT_EQ(display.hDib, nullptr) << "the copy must never share (and later free) the picture's block";
    EXPECT_TRUE(Unchanged(doc, before));
    EXPECT_LIVE_BLOCKS(blocksBefore + 1) << "the old copy is released";
}

}  // namespace

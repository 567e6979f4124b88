// FitRect and ScaleDib against hand-worked figures and the plain reference
// resampler.

#include "image/blocks.h"
#include "image/image_document.h"
#include "processing/placement.h"
#include "processing/scale.h"
#include "support/processing_support.h"
#include "support/reference_engines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

using proc_test::DibBytes;
using proc_test::RandomPicture;

RECT Fit(RECT box, LONG sw, LONG sh)
{
    const RECT source{0, 0, sw, sh};
    RECT result{-1, -1, -1, -1};
    FitRect(&box, &source, &result);
    return result;
}

void ExpectRect(const RECT& r, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

class ScaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StandInFailNthAllocation(0);
        blocksBefore = StandInLiveBlocks();
    }
    void TearDown() override
    {
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(blocksBefore) << "a block was leaked";
    }

    // Scales through the core and returns the result; checks the block's
    // size and the header handed back on the way.
    static ref::Picture CoreScale(const BYTE* sourceDib, int w, int h)
    {
        HGLOBAL out = nullptr;
        const RECT target{3, 5, 3 + w, 5 + h};  // only the extents matter
        BITMAPINFO header;
        std::memset(&header, 0xAB, sizeof header);
        EXPECT_EQ(ScaleDib(&out, sourceDib, &target, &header), 0);
        if (!out)
            return ref::Picture();
        EXPECT_EQ(GlobalSize(out), static_cast<SIZE_T>(w) * h * 4 + 44);
        EXPECT_EQ(header.bmiHeader.biSize, 40u);
        EXPECT_EQ(header.bmiHeader.biWidth, w);
        EXPECT_EQ(header.bmiHeader.biHeight, h);
        EXPECT_EQ(header.bmiHeader.biPlanes, 1);
        EXPECT_EQ(header.bmiHeader.biBitCount, 32);
        EXPECT_EQ(header.bmiHeader.biCompression, BI_RGB);
        EXPECT_EQ(header.bmiHeader.biSizeImage, 0u);
        EXPECT_EQ(header.bmiHeader.biClrUsed, 0u);
        const BYTE* dib = static_cast<const BYTE*>(GlobalLock(out));
        // The colour slot of the copy is taken before the pixels are filled
        // (in the block those 4 bytes are the first pixel).
        EXPECT_EQ(std::memcmp(dib, &header, 40), 0) << "header copy differs from the block's header";
        const RGBQUAD zero{};
        EXPECT_EQ(std::memcmp(&header.bmiColors[0], &zero, 4), 0) << "colour slot of the header copy not zero";
        ref::Picture result = proc_test::ReadDib(dib);
        GlobalUnlock(out);
        GlobalFree(out);
        return result;
    }

    long blocksBefore = 0;
};

// ---- FitRect ---------------------------------------------------------------

TEST_F(ScaleTest, FitRectWideImageFillsWidthAndCentresVertically)
{
    ExpectRect(Fit(RECT{0, 0, 200, 200}, 400, 200), 0, 50, 200, 150);
    ExpectRect(Fit(RECT{12, 30, 212, 230}, 400, 200), 12, 80, 212, 180);
}

TEST_F(ScaleTest, FitRectSquareImageInNonSquareBoxFitsShorterSide)
{
    ExpectRect(Fit(RECT{10, 20, 210, 120}, 50, 50), 60, 20, 160, 120);
    ExpectRect(Fit(RECT{0, 0, 100, 300}, 7, 7), 0, 100, 100, 200);
}

TEST_F(ScaleTest, FitRectFixedPointCanFallOnePixelShort)
{
    // 3 x 7 into its own size: ri = 3072 / 7 = 438, 438 * 7 >> 10 = 2.
    ExpectRect(Fit(RECT{7, 3, 10, 10}, 3, 7), 7, 3, 9, 10);
}

TEST_F(ScaleTest, FitRectHandlesExtentsBeyondTwoToTheTwentyOne)
{
    // sh * 1024 = 3 072 000 000 does not fit in 32 bits.
    ExpectRect(Fit(RECT{0, 0, 5000000, 5000000}, 4000000, 3000000), 0, 625000, 5000000, 4375000);
    ExpectRect(Fit(RECT{0, 0, 3000000, 2500000}, 4194304, 2097152), 0, 500000, 3000000, 2000000);
}

TEST_F(ScaleTest, FitRectMatchesReferenceAndStaysInsideBox)
{
    std::mt19937 rng(1234);
    for (int i = 0; i < 4000; ++i) {
        const LONG limit = (i % 2 == 0) ? 5000 : 0x3FFFFFFF;
        std::uniform_int_distribution<LONG> extent(1, limit);
        std::uniform_int_distribution<LONG> origin(-1000, 1000);
        const LONG bl = origin(rng), bt = origin(rng);
        const LONG bw = extent(rng), bh = extent(rng), sw = extent(rng), sh = extent(rng);
        const RECT r = Fit(RECT{bl, bt, bl + bw, bt + bh}, sw, sh);
        const ref::Rect64 e = ref::FitRect(ref::Rect64{bl, bt, std::int64_t{bl} + bw, std::int64_t{bt} + bh}, sw, sh);
        ASSERT_EQ(r.left, e.left) << "box " << bw << "x" << bh << " source " << sw << "x" << sh;
        ASSERT_EQ(r.top, e.top) << "box " << bw << "x" << bh << " source " << sw << "x" << sh;
        ASSERT_EQ(r.right, e.right) << "box " << bw << "x" << bh << " source " << sw << "x" << sh;
        ASSERT_EQ(r.bottom, e.bottom) << "box " << bw << "x" << bh << " source " << sw << "x" << sh;
        ASSERT_GE(r.left, bl);
        ASSERT_GE(r.top, bt);
        ASSERT_LE(std::int64_t{r.right}, std::int64_t{bl} + bw);
        ASSERT_LE(std::int64_t{r.bottom}, std::int64_t{bt} + bh);
    }
}

// ---- ScaleDib -----------------------------------------------------------------

TEST_F(ScaleTest, TwoByTwoToFourByFourFigures)
{
    // Every byte of a pixel holds the same value, so the height byte is
    // checked to be interpolated like the colours.
    ref::Picture src(2, 2);
    const int values[2][2] = {{0, 101}, {200, 51}};  // [y][x], y from the top
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            std::memset(src.At(x, y), values[y][x], 4);
    const std::vector<BYTE> dib = DibBytes(src);
    const ref::Picture out = CoreScale(dib.data(), 4, 4);
    ASSERT_EQ(out.width, 4);
    // Column 2 samples x = 0.5 and row 0 the top row exactly; 0.5 is added
    // before truncating (50.5 + 0.5 -> 51).
    const int expected[4][4] = {{0, 25, 51, 76}, {50, 60, 69, 79}, {100, 94, 88, 82}, {150, 128, 107, 85}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(out.At(x, y)[c], expected[y][x]) << "pixel (" << x << "," << y << ") byte " << c;
}

TEST_F(ScaleTest, OwnSizeShiftsSamplingTowardsTopLeft)
{
    // A horizontal ramp 0, 50, 100, 150, 200: the last column samples
    // x = 16/5 = 3.2, i.e. 150 + 0.2 * 50 = 160.
    ref::Picture src(5, 1);
    for (int x = 0; x < 5; ++x)
        std::memset(src.At(x, 0), x * 50, 4);
    const std::vector<BYTE> dib = DibBytes(src);
    const ref::Picture out = CoreScale(dib.data(), 5, 1);
    const int expected[5] = {0, 40, 80, 120, 160};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(out.At(x, 0)[2], expected[x]) << "column " << x;
}

TEST_F(ScaleTest, MatchesReferenceOnOddSizes)
{
    std::mt19937 rng(77);
    const int sources[][2] = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {3, 5}, {35, 17}, {17, 35}, {64, 3}};
    const int targets[][2] = {{1, 1}, {1, 9}, {9, 1}, {4, 4}, {5, 3}, {35, 17}, {70, 34}, {13, 100}, {2, 2}};
    for (const auto& s : sources) {
        const ref::Picture src = RandomPicture(rng, s[0], s[1]);
        const std::vector<BYTE> dib = DibBytes(src);
        for (const auto& t : targets) {
            const ref::Picture out = CoreScale(dib.data(), t[0], t[1]);
            const ref::Picture expected = ref::Scale(src, t[0], t[1]);
            EXPECT_EQ(ref::DescribeDifferences(expected, out), "")
                << s[0] << "x" << s[1] << " -> " << t[0] << "x" << t[1];
        }
    }
}

// Copies a WorkDib next to an inaccessible page, either right after its
// last byte or right before its first, so that a read past either end
// faults at once, with or without the address sanitizer.
const BYTE* GuardedCopy(const std::vector<BYTE>& dib, bool guardAfter)
{
#ifdef _WIN32
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t pages = (dib.size() + page - 1) / page;
    void* base = VirtualAlloc(nullptr, (pages + 1) * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!base)
        return nullptr;
    const auto protectNothing = [page](void* at) {
        DWORD old;
        VirtualProtect(at, page, PAGE_NOACCESS, &old);
    };
#else
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t pages = (dib.size() + page - 1) / page;
    void* base = mmap(nullptr, (pages + 1) * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    const auto protectNothing = [page](void* at) { mprotect(at, page, PROT_NONE); };
#endif
    BYTE* start;
    if (guardAfter) {
        BYTE* guard = static_cast<BYTE*>(base) + pages * page;
        protectNothing(guard);
        start = guard - dib.size();
    } else {
        protectNothing(base);
        start = static_cast<BYTE*>(base) + page;
    }
    std::memcpy(start, dib.data(), dib.size());
    return start;
}

// Child side of the guarded test: exits 0 when the result is right, 5 when
// it is wrong; a read outside the source ends it with a signal instead.
[[noreturn]] void ScaleGuardedAndExit(const std::vector<BYTE>& dib, bool guardAfter, LONG w, LONG h,
                                      const ref::Picture& expected)
{
    const BYTE* guarded = GuardedCopy(dib, guardAfter);
    if (!guarded)
        std::_Exit(3);
    HGLOBAL out = nullptr;
    const RECT target{0, 0, w, h};
    BITMAPINFO header;
    if (ScaleDib(&out, guarded, &target, &header) != 0)
        std::_Exit(4);
    const BYTE* dibOut = static_cast<const BYTE*>(GlobalLock(out));
    const bool same = std::memcmp(dibOut + 40, expected.bytes.data(), expected.bytes.size()) == 0;
    std::_Exit(same ? 0 : 5);
}

// Targets large enough to be resampled in ranges on every core, down and
// up, equal the reference.
TEST_F(ScaleTest, TargetsInRangesMatchReference)
{
    std::mt19937 rng(35);
    const ref::Picture src = RandomPicture(rng, proc_test::kBandedWidth, proc_test::kBandedHeight);
    const std::vector<BYTE> dib = DibBytes(src);
    const ref::Picture small = RandomPicture(rng, 401, 203);
    const std::vector<BYTE> smallDib = DibBytes(small);
    EXPECT_EQ(ref::DescribeDifferences(ref::Scale(src, 733, 389), CoreScale(dib.data(), 733, 389)), "");
    EXPECT_EQ(ref::DescribeDifferences(ref::Scale(small, 1031, 523), CoreScale(smallDib.data(), 1031, 523)), "");
}

TEST_F(ScaleTest, OnePixelWideOrHighSourceIsNeverReadOutside)
{
    // The column right of a one-pixel-wide source's top row lies past the
    // block's end; the row above a one-row source's only row lies before
    // the pixels (before the block itself when the row is over 40 bytes).
    const int shapes[][4] = {{1, 6, 5, 9}, {16, 1, 9, 5}, {1, 1, 4, 4}, {1, 3, 1, 3}, {24, 1, 24, 1}, {6, 1, 9, 5}};
    for (const auto& s : shapes) {
        std::mt19937 rng(5);
        const ref::Picture src = RandomPicture(rng, s[0], s[1]);
        const std::vector<BYTE> dib = DibBytes(src);
        const ref::Picture expected = ref::Scale(src, s[2], s[3]);
        for (bool guardAfter : {true, false})
            EXPECT_EXIT(ScaleGuardedAndExit(dib, guardAfter, s[2], s[3], expected), ::testing::ExitedWithCode(0), "")
                << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3] << (guardAfter ? " guard after" : " guard before")
                << " (a signal means a read outside the source; code 5 a wrong result)";
    }
}

TEST_F(ScaleTest, FailedAllocationReturnsMinusOneAndWritesNothing)
{
    QV_NEEDS_STAND_IN();
    std::mt19937 rng(9);
    const std::vector<BYTE> dib = DibBytes(RandomPicture(rng, 3, 5));
    HGLOBAL out = reinterpret_cast<HGLOBAL>(&rng);  // must be replaced by null
    const RECT target{0, 0, 8, 8};
    BITMAPINFO header;
    std::memset(&header, 0xAB, sizeof header);
    BITMAPINFO untouched;
    std::memset(&untouched, 0xAB, sizeof untouched);
    StandInFailNthAllocation(1);
    EXPECT_EQ(ScaleDib(&out, dib.data(), &target, &header), -1);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(std::memcmp(&header, &untouched, sizeof header), 0);
}


// The resampled block may be a kept one handed over uncleared: every byte
// of it must still be written, the pixels by the resampler, the header and
// the spare bytes by ScaleDib, and an empty source must leave zero pixels.
TEST_F(ScaleTest, AKeptDirtyBlockIsWrittenWhole)
{
    constexpr LONG w = 613, h = 509;  // over a megabyte: kept when freed
    std::mt19937 rng(41);
    const ref::Picture src = RandomPicture(rng, 97, 89);
    std::vector<BYTE> empty = DibBytes(src);
    reinterpret_cast<BITMAPINFOHEADER*>(empty.data())->biWidth = 0;
    ref::Picture zeros = ref::Scale(src, w, h);
    std::fill(zeros.bytes.begin(), zeros.bytes.end(), BYTE{0});
    const struct {
        std::vector<BYTE> dib;
        ref::Picture expected;
    } cases[] = {{DibBytes(src), ref::Scale(src, w, h)}, {empty, zeros}};
    for (const auto& c : cases) {
        ReleaseKeptBlocks();
        HGLOBAL dirty = AllocateBlock(WorkDibBlockBytes(w, h));
        ASSERT_NE(dirty, nullptr);
        std::memset(GlobalLock(dirty), 0xCD, WorkDibBlockBytes(w, h));
        GlobalUnlock(dirty);
        FreeBlock(dirty);
        ASSERT_EQ(KeptBlockCount(), 1);
        HGLOBAL out = nullptr;
        const RECT target{0, 0, w, h};
        BITMAPINFO header;
        ASSERT_EQ(ScaleDib(&out, c.dib.data(), &target, &header), 0);
        EXPECT_EQ(KeptBlockCount(), 0) << "the kept block was not the one used";
        const BYTE* dib = static_cast<const BYTE*>(GlobalLock(out));
        EXPECT_EQ(ref::DescribeDifferences(c.expected, proc_test::ReadDib(dib)), "");
        const BYTE spare[kWorkDibSpareBytes] = {};
        EXPECT_EQ(std::memcmp(dib + WorkDibBytes(w, h), spare, sizeof spare), 0) << "spare bytes left dirty";
        EXPECT_EQ(header.bmiColors[0].rgbBlue | header.bmiColors[0].rgbGreen | header.bmiColors[0].rgbRed |
                      header.bmiColors[0].rgbReserved,
                  0);
        GlobalUnlock(out);
        GlobalFree(out);
    }
    ReleaseKeptBlocks();
}

}  // namespace

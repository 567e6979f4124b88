// Pictures at and beyond the sizes the program holds, and hostile JPEG
// files: each is read correctly or refused with a message, never a crash,
// never a picture damaged, never memory exhausted.
#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "support/jpeg_generator.h"
#include "support/shown.h"
#include "support/test_support.h"

#include <sys/resource.h>

#include <algorithm>
#include <string>

using namespace qvtest;

namespace {

// A BMP file: headers for width x height at bits, then only the rows given.
std::vector<std::uint8_t> BmpFile(std::int32_t width, std::int32_t height, int bits,
                                  const std::vector<std::uint8_t>& rows)
{
    ByteBuilder b;
    b.Text("BM").U32(static_cast<std::uint32_t>(54 + rows.size())).U16(0).U16(0).U32(54);
    b.U32(40).I32(width).I32(height).U16(1).U16(static_cast<unsigned>(bits)).U32(0).U32(0).I32(0).I32(0).U32(0).U32(0);
    b.Append(rows);
    return b.Bytes();
}

// The offset of the frame header's height field (SOF0/1/2: FF C0..C2).
std::size_t FrameSizeOffset(const std::vector<std::uint8_t>& f)
{
    for (std::size_t i = 2; i + 9 < f.size(); ++i)
        if (f[i] == 0xFF && f[i + 1] >= 0xC0 && f[i + 1] <= 0xC2)
            return i + 5;
    return 0;
}

void SetFrameSize(std::vector<std::uint8_t>* f, unsigned width, unsigned height)
{
    const std::size_t at = FrameSizeOffset(*f);
    ASSERT_NE(at, 0u);
    (*f)[at] = static_cast<std::uint8_t>(height >> 8);
    (*f)[at + 1] = static_cast<std::uint8_t>(height & 0xFF);
    (*f)[at + 2] = static_cast<std::uint8_t>(width >> 8);
    (*f)[at + 3] = static_cast<std::uint8_t>(width & 0xFF);
}

long MaxResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

class LimitsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc = MakeDocument(3, 2, [](int x, int y) { return Rgbh(x * 50, y * 90, 7, 33); });
    }
    void TearDown() override { ReleaseDocument(&doc); }

    // Reads path into doc; on failure checks that doc is exactly as before
    // and that one message was shown.  Returns the reader's result.
    int Read(const std::string& path, bool jpeg, std::string* shown = nullptr)
    {
        SetPath(&doc, path);
        const DocumentSnapshot before = Snapshot(doc);
        MessageCapture messages;
        const int rc = jpeg ? Shown(ReadJpegFile(&doc)) : Shown(ReadBmpFile(&doc));
        if (rc != 0) {
            EXPECT_TRUE(Unchanged(doc, before));
            EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
        } else {
            EXPECT_EQ(messages.Count(), 0u) << messages.Joined();
        }
        if (shown)
            *shown = messages.Joined();
        return rc;
    }

    TempDir dir;
    ImageDocument doc{};
};

TEST_F(LimitsTest, BmpHeadersBeyondTheLimitsAreRefusedBeforeAnythingIsAllocated)
{
    struct Case {
        const char* name;
        std::int32_t width, height;
        int bits;
    };
    // Every one of these either overflows 32-bit size arithmetic or asks
    // for more than 2^28 pixels or a side over 2^20.
    const Case cases[] = {
        {"65535 x 65535, 24 bits", 65535, 65535, 24},
        {"65535 x -65535 (top-down), 32 bits", 65535, -65535, 32},
        {"32768 x 32768, 32 bits: 4 GiB of pixels", 32768, 32768, 32},
        {"46341 x 46341: width x height x 4 wraps 32 bits", 46341, 46341, 16},
        {"2^31-1 x 1", 0x7FFFFFFF, 1, 24},
        {"1 x 2^31-1", 1, 0x7FFFFFFF, 24},
        {"2^20+1 x 1: one side too long", (1 << 20) + 1, 1, 24},
        {"16385 x 16385: just over 2^28 pixels", 16385, 16385, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("big.bmp");
        ASSERT_TRUE(WriteBytes(path, BmpFile(c.width, c.height, c.bits, std::vector<std::uint8_t>(64, 0x5A))));
        const long live = StandInLiveBlocks();
        const long made = StandInAllocationsMade();
        std::string shown;
        EXPECT_EQ(Read(path, false, &shown), -1);
        EXPECT_NE(shown.find(msg::kTooLarge), std::string::npos) << shown;
        EXPECT_EQ(StandInAllocationsMade(), made) << "refused from the header alone";
        EXPECT_EQ(StandInLiveBlocks(), live);
    }
}

TEST_F(LimitsTest, OnePixelWideAndOnePixelHighBmpsOf100000PixelsReadCorrectly)
{
    for (int bits : {16, 24, 32}) {
        for (bool tall : {true, false}) {
            SCOPED_TRACE(std::to_string(bits) + (tall ? " bits, 1 x 100000" : " bits, 100000 x 1"));
            const int w = tall ? 1 : 100000;
            const int h = tall ? 100000 : 1;
            // Write with the program's own writer, read back.
            ImageDocument source = MakeDocument(w, h, [](int x, int y) { return Rgbh((x + y) % 256, (x + y) / 256 % 256, 77); });
            const std::string path = dir.File("line.bmp");
            SetPath(&source, path);
            {
                MessageCapture quiet;
                ASSERT_EQ(Shown(WriteBmpFile(&source, BmpWriteSettings{bits})), 0) << quiet.Joined();
            }
            ASSERT_EQ(Read(path, false), 0);
            EXPECT_EQ(doc.width, w);
            EXPECT_EQ(doc.height, h);
            if (bits != 16) {
                EXPECT_TRUE(SamePixels(doc, source, false));
            }
            ReleaseDocument(&source);
        }
    }
}

TEST_F(LimitsTest, JpegsAtTheFormatsLongestSidesReadCorrectly)
{
    // JPEG frames hold sides up to 65535 and libjpeg accepts 65500; 100000
    // pixels in one row or column cannot be a JPEG at all.
    for (bool tall : {true, false}) {
        SCOPED_TRACE(tall ? "1 x 65500" : "65500 x 1");
        const std::string path = dir.File("line.jpg");
        ASSERT_TRUE(WriteFlatJpeg(path, tall ? 1 : 65500, tall ? 65500 : 1, 50, false));
        ASSERT_EQ(Read(path, true), 0);
        EXPECT_EQ(doc.width, tall ? 1 : 65500);
        EXPECT_EQ(doc.height, tall ? 65500 : 1);
        if (tall) {
            // Red-ish top half, blue-ish bottom half, bottom-up rows.
            EXPECT_GT(GetPixel(doc, 0, 0).red, 150);
            EXPECT_GT(GetPixel(doc, 0, 65499).blue, 150);
        }
    }
    const std::string path = dir.File("wide.jpg");
    ASSERT_TRUE(WriteFlatJpeg(path, 8, 8, 50, false));
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    SetFrameSize(&bytes, 100000 & 0xFFFF, 65535);  // what a 16-bit field can say
    ASSERT_TRUE(WriteBytes(path, bytes));
    std::string shown;
    EXPECT_EQ(Read(path, true, &shown), -1);
    EXPECT_NE(shown.find(msg::kJpegUnreadable), std::string::npos) << shown;
}

TEST_F(LimitsTest, AHundredMegapixelJpegIsReadWhole)
{
    const std::string path = dir.File("100mp.jpg");
    ASSERT_TRUE(WriteFlatJpeg(path, 10000, 10000, 10, false));
    ASSERT_EQ(Read(path, true), 0);
    EXPECT_EQ(doc.width, 10000);
    EXPECT_EQ(doc.height, 10000);
    EXPECT_EQ(GlobalSize(doc.hDib), WorkDibBytes(10000, 10000) + 4);
    EXPECT_GT(GetPixel(doc, 9999, 0).red, 150);
    EXPECT_GT(GetPixel(doc, 0, 9999).blue, 150);
}

// ---- Hostile JPEGs --------------------------------------------------------

TEST_F(LimitsTest, JpegsDeclaringHugeSizesOverLittleDataAreRefusedWithoutExhaustingMemory)
{
    const std::string path = dir.File("huge.jpg");
    ASSERT_TRUE(WriteFlatJpeg(path, 16, 16, 75, false));
    const std::vector<std::uint8_t> small = ReadBytes(path);
    const long rssBefore = MaxResidentMegabytes();
    for (auto [w, h] : {std::pair{65500u, 65500u}, {65535u, 65535u}, {20000u, 20000u}, {16385u, 16385u}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        std::vector<std::uint8_t> bytes = small;
        SetFrameSize(&bytes, w, h);
        ASSERT_TRUE(WriteBytes(path, bytes));
        const long made = StandInAllocationsMade();
        std::string shown;
        EXPECT_EQ(Read(path, true, &shown), -1);
        EXPECT_NE(shown.find(msg::kJpegUnreadable), std::string::npos) << shown;
        EXPECT_EQ(StandInAllocationsMade(), made) << "no picture block is asked for";
    }
    EXPECT_LT(MaxResidentMegabytes() - rssBefore, 256) << "memory grew while refusing";
}

TEST_F(LimitsTest, LibrarysMemoryLimitStopsAProgressiveFileWhoseCoefficientsWouldNotFit)
{
    // 16384 x 16384 is the largest square the program holds (2^28 pixels).
    // Progressive with full-resolution chroma, its coefficients need 1.5 GiB,
    // over the library's 1 GiB allowance: refused at the start, with the
    // picture block given back, and nothing touched.
    const std::string path = dir.File("coefficients.jpg");
    ASSERT_TRUE(WriteFlatJpeg(path, 16, 16, 75, true, true));
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    SetFrameSize(&bytes, 16384, 16384);
    ASSERT_TRUE(WriteBytes(path, bytes));
    const long rssBefore = MaxResidentMegabytes();
    const long live = StandInLiveBlocks();
    std::string shown;
    EXPECT_EQ(Read(path, true, &shown), -1);
    EXPECT_NE(shown.find(msg::kJpegUnreadable), std::string::npos) << shown;
    EXPECT_NE(shown.find("画像が大きすぎてメモリーが足りません。"), std::string::npos)
        << "the reason in the user's words: " << shown;
    EXPECT_EQ(StandInLiveBlocks(), live);
    EXPECT_LT(MaxResidentMegabytes() - rssBefore, 256) << "the coefficient buffer was not bounded";
}

TEST_F(LimitsTest, ProgressiveFilesWithAbsurdScanScriptsAreRefused)
{
    const std::string path = dir.File("scans.jpg");
    ASSERT_TRUE(WriteManyScanJpeg(path, 16, 16, 2));  // 2 + 378 scans: within the limit
    ASSERT_EQ(Read(path, true), 0);
    EXPECT_EQ(doc.width, 16);
    ASSERT_TRUE(WriteManyScanJpeg(path, 16, 16, 3));  // 2 + 567 scans
    std::string shown;
    EXPECT_EQ(Read(path, true, &shown), -1);
    EXPECT_NE(shown.find("500"), std::string::npos) << shown;
}

TEST_F(LimitsTest, TruncatedAndDamagedJpegsAreReadAsFarAsTheyGoOrRefused)
{
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const std::string source = dir.File("source.jpg");
        ImageDocument picture = MakeDocument(40, 24, [](int x, int y) { return Rgbh(x * 6, y * 10, (x ^ y) * 8); });
        SetPath(&picture, source);
        {
            MessageCapture quiet;
            ASSERT_EQ(Shown(WriteJpegFile(&picture, JpegWriteSettings{kJpegQualityDefault, progressive})), 0);
        }
        ReleaseDocument(&picture);
        const std::vector<std::uint8_t> good = ReadBytes(source);
        const std::string path = dir.File("bad.jpg");
        int read = 0, refused = 0;
        for (std::size_t n = 0; n < good.size(); n += 7) {
            SCOPED_TRACE("cut at " + std::to_string(n));
            ASSERT_TRUE(WriteBytes(path, std::vector<std::uint8_t>(good.begin(), good.begin() + n)));
            if (Read(path, true) == 0) {
                ++read;
                EXPECT_EQ(doc.width, 40);
                EXPECT_EQ(doc.height, 24);
            } else {
                ++refused;
            }
        }
        EXPECT_GT(read, 0) << "a file cut inside the scan data still gives a picture";
        EXPECT_GT(refused, 0) << "a file cut inside the headers is refused";
        // Damaged entropy data: bytes after the first scan header changed.
        std::size_t sos = 0;
        for (std::size_t i = 0; i + 1 < good.size(); ++i)
            if (good[i] == 0xFF && good[i + 1] == 0xDA) {
                sos = i;
                break;
            }
        ASSERT_GT(sos, 0u);
        for (unsigned seed = 1; seed <= 40; ++seed) {
            std::vector<std::uint8_t> bytes = good;
            for (unsigned k = 0; k < seed % 5 + 1; ++k) {
                const std::size_t at = sos + 14 + (seed * 7919u + k * 104729u) % (good.size() - sos - 16);
                bytes[at] = static_cast<std::uint8_t>(seed * 37 + k * 101);
            }
            ASSERT_TRUE(WriteBytes(path, bytes));
            if (Read(path, true) == 0) {
                EXPECT_GT(doc.width, 0);
                EXPECT_EQ(GlobalSize(doc.hDib), WorkDibBytes(doc.width, doc.height) + 4);
            }
        }
    }
}

}  // namespace

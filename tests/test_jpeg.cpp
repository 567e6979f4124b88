// JPEG reading and writing, checked against the library used directly.

#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "support/jpeg_reference.h"
#include "support/shown.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace qvtest;

namespace {

// The picture as the library takes it: top row first, red, green, blue.
std::vector<std::uint8_t> RgbSamples(const ImageDocument& doc)
{
    std::vector<std::uint8_t> samples;
    for (int y = 0; y < doc.height; ++y) {
        for (int x = 0; x < doc.width; ++x) {
            const Pixel p = GetPixel(doc, x, y);
            samples.insert(samples.end(), {p.red, p.green, p.blue});
        }
    }
    return samples;
}

// The start-of-frame marker of a JPEG file (0xC0 baseline, 0xC1 extended
// sequential, 0xC2 progressive, ...), found by walking the marker
// segments; -1 when there is none.
int FrameMarker(const std::vector<std::uint8_t>& f)
{
    if (f.size() < 4 || f[0] != 0xFF || f[1] != 0xD8)
        return -1;
    std::size_t i = 2;
    while (i + 4 <= f.size()) {
        if (f[i] != 0xFF)
            return -1;
        const int m = f[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC)
            return m;
        i += 2 + ((f[i + 2] << 8) | f[i + 3]);
    }
    return -1;
}

Pixel Colourful(int x, int y)
{
    return Rgbh(23 * x + 5 * y + 10, 90 + 7 * y - 3 * x, 240 - 11 * x - 9 * y, (x * 31 + y) & 0xFF);
}

// Red on top, blue at the bottom, 16 x 32: the edge lies between whole
// 16 x 16 units, so subsampled colour does not blur across it.
constexpr int kRbWidth = 16;
constexpr int kRbHeight = 32;
Pixel RedOverBlue(int, int y)
{
    return y < kRbHeight / 2 ? Rgbh(255, 0, 0) : Rgbh(0, 0, 255);
}

class JpegTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        blocksBefore = StandInLiveBlocks();
    }
    void TearDown() override
    {
        ReleaseDocument(&doc);
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(blocksBefore) << "blocks leaked";
    }

    // Quality kJpegQualityMin + step, as the quality bar's steps give it.
    int Write(const ImageDocument& source, const std::string& path, int step, bool progressive)
    {
        ImageDocument copy = source;
        SetPath(&copy, path);
        return Shown(WriteJpegFile(&copy, JpegWriteSettings{kJpegQualityMin + step, progressive}));
    }

    int Read(ImageDocument* target, const std::string& path)
    {
        SetPath(target, path);
        return Shown(ReadJpegFile(target));
    }

    // A file that must not be read: -1, the picture as it was, no block
    // lost, one message with the caption "Error".
    void ExpectUnreadable(const std::string& path)
    {
        if (!doc.hDib)
            doc = MakeDocument(3, 2, Colourful);
        SetPath(&doc, path);
        const DocumentSnapshot before = Snapshot(doc);
        const long blocks = StandInLiveBlocks();
        MessageCapture messages;
        EXPECT_EQ(Shown(ReadJpegFile(&doc)), -1);
        EXPECT_TRUE(Unchanged(doc, before));
        EXPECT_LIVE_BLOCKS(blocks);
        EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
        EXPECT_EQ(messages.CountCaption("Error"), messages.Count()) << messages.Joined();
    }

    TempDir dir;
    ImageDocument doc{};
    long blocksBefore = 0;
};

// ---- Writing ------------------------------------------------------------------------

TEST_F(JpegTest, WritesExactlyWhatTheLibraryWritesAtTheChosenQualityAndMode)
{
    doc = MakeDocument(13, 7, Colourful);
    const std::vector<std::uint8_t> samples = RgbSamples(doc);
    for (int step : {0, 20, 33, 40}) {
        for (bool progressive : {false, true}) {
            SCOPED_TRACE("quality " + std::to_string(step + 60) + (progressive ? ", progressive" : ", sequential"));
            const std::string ours = dir.File("ours.jpg");
            const std::string theirs = dir.File("theirs.jpg");
            MessageCapture messages;
            ASSERT_EQ(Write(doc, ours, step, progressive), 0) << messages.Joined();
            std::string error;
            ASSERT_TRUE(WriteReferenceJpeg(theirs, 13, 7, JpegInput::Rgb, samples, step + 60, progressive, &error))
                << error;
            EXPECT_TRUE(SameBytes(ReadBytes(ours), ReadBytes(theirs)));
            EXPECT_EQ(messages.Count(), 0u) << messages.Joined();
        }
    }
}

TEST_F(JpegTest, ProgressiveSettingChoosesTheFrameType)
{
    doc = MakeDocument(kRbWidth, kRbHeight, RedOverBlue);
    const std::string path = dir.File("frame.jpg");
    ASSERT_EQ(Write(doc, path, 20, false), 0);
    EXPECT_EQ(FrameMarker(ReadBytes(path)), 0xC0) << "baseline sequential";
    ASSERT_EQ(Write(doc, path, 20, true), 0);
    EXPECT_EQ(FrameMarker(ReadBytes(path)), 0xC2) << "progressive";
    ASSERT_EQ(Write(doc, path, 40, false), 0);
    EXPECT_EQ(FrameMarker(ReadBytes(path)), 0xC0) << "quality 100 stays baseline";
}

TEST_F(JpegTest, StartsWithSequentialQuality80)
{
    const JpegWriteSettings fresh;
    EXPECT_EQ(fresh.quality - kJpegQualityMin, 20);
    EXPECT_EQ(fresh.progressive, false);
    EXPECT_EQ(fresh.quality, 80);
}

TEST_F(JpegTest, HeightBytesDoNotReachTheFile)
{
    doc = MakeDocument(9, 5, Colourful);
    ImageDocument other = MakeDocument(9, 5, [](int x, int y) {
        Pixel p = Colourful(x, y);
        p.height = static_cast<std::uint8_t>(255 - p.height);
        return p;
    });
    const std::string a = dir.File("a.jpg");
    const std::string b = dir.File("b.jpg");
    ASSERT_EQ(Write(doc, a, 20, false), 0);
    ASSERT_EQ(Write(other, b, 20, false), 0);
    EXPECT_TRUE(SameBytes(ReadBytes(a), ReadBytes(b)));
    ReleaseDocument(&other);
}

TEST_F(JpegTest, TopOfThePictureIsTheTopOfTheFile)
{
    doc = MakeDocument(kRbWidth, kRbHeight, RedOverBlue);
    const std::string path = dir.File("redblue.jpg");
    ASSERT_EQ(Write(doc, path, 40, false), 0);

    ReferenceImage ref;
    std::string error;
    ASSERT_TRUE(DecodeReferenceJpeg(path, &ref, &error)) << error;
    ASSERT_EQ(ref.width, kRbWidth);
    ASSERT_EQ(ref.height, kRbHeight);
    ASSERT_EQ(ref.components, 3);
    const std::uint8_t* top = &ref.samples[0];
    const std::uint8_t* bottom = &ref.samples[(kRbHeight - 1) * kRbWidth * 3];
    EXPECT_GT(top[0], 230);
    EXPECT_LT(top[2], 30);
    EXPECT_LT(bottom[0], 30);
    EXPECT_GT(bottom[2], 230);

    // And read back by the program: red in the last row of the block.
    ImageDocument back{};
    ASSERT_EQ(Read(&back, path), 0);
    // The rows either side of the edge share upsampled colour; the rest
    // must be clean.
    EXPECT_TRUE(PixelsMatch(back, kRbWidth, kRbHeight, [&](int x, int y) {
        const bool nearEdge = y == kRbHeight / 2 - 1 || y == kRbHeight / 2;
        return nearEdge ? GetPixel(back, x, y) : RedOverBlue(x, y);
    }, false, 24));
    const BYTE* lastRow = back.dib + 40 + (kRbHeight - 1) * kRbWidth * 4;
    EXPECT_GT(lastRow[2], 230) << "the top row lies last in a bottom-up block";
    EXPECT_LT(lastRow[0], 30);
    ReleaseDocument(&back);
}

TEST_F(JpegTest, OnePixelPicturesRoundTrip)
{
    doc = MakeDocument(1, 1, [](int, int) { return Rgbh(200, 100, 50, 9); });
    const std::string path = dir.File("one.jpg");
    ASSERT_EQ(Write(doc, path, 40, false), 0);
    ImageDocument back{};
    ASSERT_EQ(Read(&back, path), 0);
    EXPECT_EQ(back.width, 1);
    EXPECT_EQ(back.height, 1);
    EXPECT_TRUE(PixelsMatch(back, 1, 1, [](int, int) { return Rgbh(200, 100, 50); }, false, 6));
    ReleaseDocument(&back);
}

// ---- Failed writes ----------------------------------------------------------------------

TEST_F(JpegTest, WritingWhereNoFileCanBeMadeIsReported)
{
    doc = MakeDocument(4, 4, Colourful);
    std::filesystem::create_directory(dir.File("folder"));
    const std::vector<std::string> namesBefore = dir.Names();
    for (const std::string& target : {dir.File("missing-folder/out.jpg"), dir.File("folder"), dir.File("")}) {
        SCOPED_TRACE(target);
        const DocumentSnapshot before = Snapshot(doc);
        MessageCapture messages;
        EXPECT_EQ(Write(doc, target, 20, false), -1);
        EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
        EXPECT_EQ(messages.CountCaption("Error"), messages.Count()) << messages.Joined();
        EXPECT_EQ(dir.Names(), namesBefore) << "no temporary file may be left behind";
        EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));
        EXPECT_TRUE(Unchanged(doc, before));
    }
}


TEST_F(JpegTest, AFailedWriteLeavesTheExistingFileUntouched)
{
    QV_NEEDS_STAND_IN();
    // Noise compresses badly: far more than the limit below.
    doc = MakeDocument(64, 64, [](int x, int y) {
        const unsigned v = (x * 7919u + y * 104729u) * 2654435761u;
        return Rgbh(v >> 24, v >> 16, v >> 8);
    });
    const std::string path = dir.File("precious.jpg");
    const std::vector<std::uint8_t> old = {0xFF, 0xD8, 'o', 'l', 'd'};
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "sequential");
        ASSERT_TRUE(WriteBytes(path, old));
        MessageCapture messages;
        int rc = 0;
        {
            FileSizeLimit limit(2000);
            ASSERT_TRUE(limit.Active());
            rc = Write(doc, path, 40, progressive);
        }
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
        EXPECT_EQ(messages.CountCaption("Error"), messages.Count()) << messages.Joined();
        EXPECT_EQ(ReadBytes(path), old);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"precious.jpg"}) << "no temporary file left behind";
    }
}

TEST_F(JpegTest, EveryFailedAllocationWhileWritingLeavesTheExistingFileUntouched)
{
    QV_NEEDS_STAND_IN();
    doc = MakeDocument(5, 3, Colourful);
    const std::string path = dir.File("keep.jpg");
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    bool succeeded = false;
    for (long n = 1; n <= 20 && !succeeded; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
        ASSERT_TRUE(WriteBytes(path, old));
        const long blocks = StandInLiveBlocks();
        MessageCapture messages;
        StandInFailNthAllocation(n);
        const int rc = Write(doc, path, 20, false);
        StandInFailNthAllocation(0);
        EXPECT_LIVE_BLOCKS(blocks);
        if (rc == 0) {
            succeeded = true;
            EXPECT_EQ(FrameMarker(ReadBytes(path)), 0xC0);
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ReadBytes(path), old);
            EXPECT_LE(messages.Count(), 1u) << messages.Joined();
            EXPECT_EQ(messages.CountCaption("Error"), messages.Count()) << messages.Joined();
            EXPECT_EQ(dir.Names(), std::vector<std::string>{"keep.jpg"});
        }
    }
    EXPECT_TRUE(succeeded);
}

TEST_F(JpegTest, ASuccessfulWriteReplacesTheOldFile)
{
    doc = MakeDocument(8, 8, Colourful);
    const std::string path = dir.File("replace.jpg");
    ASSERT_TRUE(WriteBytes(path, std::vector<std::uint8_t>(100000, 0xAB)));
    ASSERT_EQ(Write(doc, path, 20, false), 0);
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_LT(bytes.size(), 100000u);
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9) << "the file ends with the end-of-image marker";
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"replace.jpg"});
}

// ---- Reading ------------------------------------------------------------------------------

TEST_F(JpegTest, ReadGivesTheLibrarysPixelsBottomUpWithTheHeaderInTheBlock)
{
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const int w = 11, h = 6;
        std::vector<std::uint8_t> samples;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Pixel p = Colourful(x, y);
                samples.insert(samples.end(), {p.red, p.green, p.blue});
            }
        const std::string path = dir.File("ref.jpg");
        std::string error;
        ASSERT_TRUE(WriteReferenceJpeg(path, w, h, JpegInput::Rgb, samples, 75, progressive, &error)) << error;
        ReferenceImage ref;
        ASSERT_TRUE(DecodeReferenceJpeg(path, &ref, &error)) << error;
        ASSERT_EQ(ref.components, 3);

        ReleaseDocument(&doc);
        doc = MakeDocument(2, 2, Colourful);  // a picture to be replaced
        doc.fileHeader.bfSize = 4321;
        doc.isModified = 1;
        MessageCapture messages;
        ASSERT_EQ(Read(&doc, path), 0) << messages.Joined();
        EXPECT_EQ(messages.Count(), 0u) << messages.Joined();

        EXPECT_LIVE_BLOCKS(blocksBefore + 1) << "the old block is released";
        EXPECT_EQ(doc.isLoaded, 1);
        EXPECT_EQ(+doc.fileHeader.bfSize, 4321u) << "fileHeader is not touched";
        EXPECT_EQ(doc.isModified, 1);
        EXPECT_STREQ(doc.path, path.c_str());
        ASSERT_NE(doc.dib, nullptr);
        EXPECT_GE(GlobalSize(doc.hDib), WorkDibBytes(w, h));
        EXPECT_EQ(reinterpret_cast<BYTE*>(doc.bmi), doc.dib);
        const BITMAPINFOHEADER hdr = BlockHeader(doc);
        EXPECT_EQ(hdr.biSize, 40u);
        EXPECT_EQ(hdr.biWidth, w);
        EXPECT_EQ(hdr.biHeight, h);
        EXPECT_EQ(hdr.biPlanes, 1);
        EXPECT_EQ(hdr.biBitCount, 32);
        EXPECT_EQ(hdr.biCompression, BI_RGB);
        EXPECT_EQ(hdr.biSizeImage, 0u);
        EXPECT_EQ(hdr.biXPelsPerMeter, 0);
        EXPECT_EQ(hdr.biClrUsed, 0u);
        EXPECT_TRUE(PixelsMatch(doc, w, h, [&](int x, int y) {
            const std::uint8_t* s = &ref.samples[(static_cast<std::size_t>(y) * w + x) * 3];
            return Rgbh(s[0], s[1], s[2], 0);
        }, true));
    }
}

TEST_F(JpegTest, GrayscaleFilesBecomeGreyColourPictures)
{
    const int w = 9, h = 5;
    std::vector<std::uint8_t> grey;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            grey.push_back(static_cast<std::uint8_t>(20 * x + 15 * y));
    const std::string path = dir.File("grey.jpg");
    std::string error;
    ASSERT_TRUE(WriteReferenceJpeg(path, w, h, JpegInput::Gray, grey, 90, false, &error)) << error;
    ReferenceImage ref;
    ASSERT_TRUE(DecodeReferenceJpeg(path, &ref, &error)) << error;
    ASSERT_EQ(ref.components, 1);

    MessageCapture messages;
    ASSERT_EQ(Read(&doc, path), 0) << messages.Joined();
    EXPECT_TRUE(PixelsMatch(doc, w, h, [&](int x, int y) {
        const int v = ref.samples[static_cast<std::size_t>(y) * w + x];
        return Rgbh(v, v, v);
    }, false));
}

// Four 16 x 16 quadrants of flat colour (whole blocks, so the coding
// barely touches them): no ink, cyan, magenta + yellow, black.
struct Ink {
    int c, m, y, k;
    Pixel rgb;
};
const Ink kQuadrants[4] = {
    {0, 0, 0, 0, Rgbh(255, 255, 255)},
    {255, 0, 0, 0, Rgbh(0, 255, 255)},
    {0, 255, 255, 0, Rgbh(255, 0, 0)},
    {0, 0, 0, 255, Rgbh(0, 0, 0)},
};

int Quadrant(int x, int y)
{
    return (x >= 16 ? 1 : 0) + (y >= 16 ? 2 : 0);
}

TEST_F(JpegTest, CmykAndYcckFilesBecomeColourPictures)
{
    const struct {
        const char* name;
        JpegInput input;
        bool inverted;  // Adobe's convention: stored value = 255 - ink
    } kinds[] = {
        {"Adobe CMYK", JpegInput::CmykAdobe, true},
        {"Adobe YCCK", JpegInput::Ycck, true},
        {"plain CMYK, no Adobe marker", JpegInput::CmykPlain, false},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const int w = 32, h = 32;
        std::vector<std::uint8_t> samples;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Ink& ink = kQuadrants[Quadrant(x, y)];
                for (int v : {ink.c, ink.m, ink.y, ink.k})
                    samples.push_back(static_cast<std::uint8_t>(kind.inverted ? 255 - v : v));
            }
        const std::string path = dir.File("cmyk.jpg");
        std::string error;
        ASSERT_TRUE(WriteReferenceJpeg(path, w, h, kind.input, samples, 100, false, &error)) << error;
        ReferenceImage ref;
        ASSERT_TRUE(DecodeReferenceJpeg(path, &ref, &error)) << error;
        ASSERT_EQ(ref.components, 4);
        ASSERT_EQ(ref.adobeMarker, kind.inverted);

        ReleaseDocument(&doc);
        MessageCapture messages;
        ASSERT_EQ(Read(&doc, path), 0) << messages.Joined();
        ASSERT_EQ(doc.width, w);
        ASSERT_EQ(doc.height, h);
        // Away from the quadrant edges, where subsampled chroma may blur.
        std::string wrong;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (x % 16 < 3 || x % 16 > 12 || y % 16 < 3 || y % 16 > 12)
                    continue;
                const Pixel got = GetPixel(doc, x, y);
                const Pixel want = kQuadrants[Quadrant(x, y)].rgb;
                if (std::abs(got.red - want.red) > 16 || std::abs(got.green - want.green) > 16 ||
                    std::abs(got.blue - want.blue) > 16) {
                    if (wrong.size() < 400)
                        wrong += " (" + std::to_string(x) + "," + std::to_string(y) + ") got " + Describe(got) +
                                 " expected " + Describe(want);
                }
            }
        EXPECT_TRUE(wrong.empty()) << wrong;
    }
}

TEST_F(JpegTest, UnreadableFilesAreReportedAndChangeNothing)
{
    doc = MakeDocument(3, 2, Colourful);
    // A valid file to cut short.
    std::vector<std::uint8_t> grey(64 * 64, 128);
    const std::string good = dir.File("good.jpg");
    ASSERT_TRUE(WriteReferenceJpeg(good, 64, 64, JpegInput::Gray, grey, 80, false));
    const std::vector<std::uint8_t> whole = ReadBytes(good);
    ASSERT_GT(whole.size(), 200u);

    struct Bad {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Bad> bad = {
        {"a BMP file", {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0}},
        {"empty", {}},
        {"start of image only", {0xFF, 0xD8}},
        {"text", {'h', 'e', 'l', 'l', 'o', '\n'}},
        {"cut inside the tables", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 30)},
        {"zero width frame", {}},
    };
    // A frame header claiming 0 x 0 pixels.
    {
        std::vector<std::uint8_t> f = whole;
        for (std::size_t i = 2; i + 9 < f.size(); ++i)
            if (f[i] == 0xFF && f[i + 1] == 0xC0) {
                f[i + 5] = f[i + 6] = f[i + 7] = f[i + 8] = 0;
                break;
            }
        bad.back().bytes = f;
    }
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        const std::string path = dir.File("bad.jpg");
        ASSERT_TRUE(WriteBytes(path, b.bytes));
        ExpectUnreadable(path);
    }
    SCOPED_TRACE("missing file / a directory");
    ExpectUnreadable(dir.File("no-such.jpg"));
    ExpectUnreadable(dir.Path());
}

// A file that ends inside its scan data: the library fills in the rest,
// or the reader gives up; either way the record describes one valid
// picture.
TEST_F(JpegTest, FilesEndingInTheScanDataLeaveAConsistentPicture)
{
    std::vector<std::uint8_t> samples;
    for (int i = 0; i < 48 * 40; ++i)
        samples.insert(samples.end(), {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 3), 77});
    const std::string good = dir.File("good.jpg");
    ASSERT_TRUE(WriteReferenceJpeg(good, 48, 40, JpegInput::Rgb, samples, 90, false));
    const std::vector<std::uint8_t> whole = ReadBytes(good);
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        ASSERT_TRUE(WriteReferenceJpeg(good, 48, 40, JpegInput::Rgb, samples, 90, progressive));
        const std::vector<std::uint8_t> bytes = ReadBytes(good);
        const std::string path = dir.File("cut.jpg");
        ASSERT_TRUE(WriteBytes(path, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() * 2 / 3)));
        ReleaseDocument(&doc);
        doc = MakeDocument(3, 2, Colourful);
        SetPath(&doc, path);
        const DocumentSnapshot before = Snapshot(doc);
        MessageCapture messages;
        const int rc = Shown(ReadJpegFile(&doc));
        if (rc == 0) {
            EXPECT_EQ(doc.width, 48);
            EXPECT_EQ(doc.height, 40);
            EXPECT_GE(GlobalSize(doc.hDib), WorkDibBytes(48, 40));
            EXPECT_LIVE_BLOCKS(blocksBefore + 1);
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_TRUE(Unchanged(doc, before));
            EXPECT_EQ(messages.CountCaption("Error"), 1u) << messages.Joined();
        }
    }
    (void)whole;
}

// Files cut anywhere, and segments that claim more bytes than the file
// has left: the reader's own source hands the library the same bytes and
// end marker as the library's stdio source, so the picture (or the
// refusal) is the library's own.
TEST_F(JpegTest, CutFilesAndOverlongSegmentsReadAsTheLibraryDecodesThem)
{
    std::vector<std::uint8_t> samples;
    for (int i = 0; i < 48 * 40; ++i)
        samples.insert(samples.end(), {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 3), 77});
    const std::string good = dir.File("good.jpg");
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    for (bool progressive : {false, true}) {
        ASSERT_TRUE(WriteReferenceJpeg(good, 48, 40, JpegInput::Rgb, samples, 90, progressive));
        const std::vector<std::uint8_t> whole = ReadBytes(good);
        const std::string kind = progressive ? "progressive" : "baseline";
        for (std::size_t cut : {whole.size() / 3, whole.size() / 2, whole.size() * 2 / 3, whole.size() - 2})
            cases.push_back({kind + " cut at " + std::to_string(cut),
                             std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut))});
        // An application segment of 9000 bytes after the start marker,
        // whole and cut inside it, 5000 bytes on: more than a buffer.
        std::vector<std::uint8_t> segment = {0xFF, 0xE9, 9002 >> 8, 9002 & 0xFF};
        segment.resize(9004, 'q');
        std::vector<std::uint8_t> longer = whole;
        longer.insert(longer.begin() + 2, segment.begin(), segment.end());
        cases.push_back({kind + " with a long segment", longer});
        cases.push_back({kind + " cut inside a long segment",
                         std::vector<std::uint8_t>(longer.begin(), longer.begin() + 5000)});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("case.jpg");
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        ReferenceImage ref;
        const bool decoded = DecodeReferenceJpeg(path, &ref);
        ImageDocument back{};
        MessageCapture messages;
        if (!decoded) {
            EXPECT_EQ(Read(&back, path), -1);
            continue;
        }
        ASSERT_EQ(Read(&back, path), 0) << messages.Joined();
        ASSERT_EQ(back.width, ref.width);
        ASSERT_EQ(back.height, ref.height);
        ASSERT_EQ(ref.components, 3);
        bool same = true;
        for (int y = 0; y < ref.height && same; ++y)
            for (int x = 0; x < ref.width && same; ++x) {
                const std::uint8_t* r = &ref.samples[(static_cast<std::size_t>(y) * ref.width + x) * 3];
                const BYTE* p = back.dib + 40 + (static_cast<std::size_t>(ref.height - 1 - y) * ref.width + x) * 4;
                same = p[0] == r[2] && p[1] == r[1] && p[2] == r[0];
            }
        EXPECT_TRUE(same);
        ReleaseDocument(&back);
    }
}

TEST_F(JpegTest, EveryFailedAllocationWhileReadingLeavesThePictureIntact)
{
    QV_NEEDS_STAND_IN();
    const std::string path = dir.File("alloc.jpg");
    std::vector<std::uint8_t> samples(7 * 5 * 3, 90);
    ASSERT_TRUE(WriteReferenceJpeg(path, 7, 5, JpegInput::Rgb, samples, 80, false));
    bool succeeded = false;
    for (long n = 1; n <= 20 && !succeeded; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
        ReleaseDocument(&doc);
        doc = MakeDocument(2, 2, Colourful);
        SetPath(&doc, path);
        const DocumentSnapshot before = Snapshot(doc);
        MessageCapture messages;
        StandInFailNthAllocation(n);
        const int rc = Shown(ReadJpegFile(&doc));
        StandInFailNthAllocation(0);
        if (rc == 0) {
            succeeded = true;
            EXPECT_EQ(doc.width, 7);
            EXPECT_LIVE_BLOCKS(blocksBefore + 1);
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_TRUE(Unchanged(doc, before));
            EXPECT_LIVE_BLOCKS(blocksBefore + 1);
            EXPECT_LE(messages.Count(), 1u) << messages.Joined();
            EXPECT_EQ(messages.CountCaption("Error"), messages.Count()) << messages.Joined();
        }
    }
    EXPECT_TRUE(succeeded);
}

}  // namespace

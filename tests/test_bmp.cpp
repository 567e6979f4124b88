// BMP reading and writing, on hand-built file bytes.

#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "platform/file_names.h"
#include "support/shown.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace qvtest;

namespace {

const char kOpenFailed[] = " ファイルのオープンに失敗しました";
const char kNotBitmap[] = "ビットマップではありません";
const char kDepthOnly[] = " 16、24、32ビットカラーのみ対応です。";
const char kNothingLoaded[] = "画像が読み込まれていません。";
const char kCreateFailed[] = "ファイル作成に失敗しました";

// ---- Building files -----------------------------------------------------------

// Pixel rows as a file stores them: rowCount rows of width values of
// bytesPerPixel bytes each (little-endian), each row padded to 4 bytes
// with junk, so that padding read as pixels shows up.
std::vector<std::uint8_t> StoredRows(int bytesPerPixel, int width, int rowCount,
                                     const std::function<std::uint32_t(int x, int storedRow)>& value,
                                     unsigned padByte = 0xEE)
{
    ByteBuilder b;
    const int rowBytes = bytesPerPixel * width;
    const int pad = (4 - rowBytes % 4) % 4;
    for (int r = 0; r < rowCount; ++r) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, r);
            for (int i = 0; i < bytesPerPixel; ++i)
                b.U8((v >> (8 * i)) & 0xFF);
        }
        b.Fill(pad, padByte);
    }
    return b.Bytes();
}

// Stored row r of a bottom-up file is picture row height - 1 - r.
std::function<std::uint32_t(int, int)> BottomUp(int height, const std::function<std::uint32_t(int, int)>& fn)
{
    return [=](int x, int r) { return fn(x, height - 1 - r); };
}

std::uint32_t AsBgr(const Pixel& p)
{
    return p.blue | (p.green << 8) | (p.red << 16);
}

struct BmpFile {
    LONG width = 1;
    LONG height = 1;  // as stored: negative for top-down files
    WORD bitCount = 24;
    DWORD compression = BI_RGB;
    DWORD headerSize = 40;
    // Written after a 40-byte header, or at the start of a longer header's
    // extra fields (where V2..V5 headers keep them).
    std::vector<std::uint32_t> masks;
    int paletteEntries = 0;  // junk 4-byte entries after the header
    int gap = 0;             // junk bytes between them and the rows
    std::vector<std::uint8_t> rows;
    std::optional<std::uint32_t> bfSize;
    std::optional<std::uint32_t> bfOffBits;
    WORD reserved1 = 0;
    WORD reserved2 = 0;
    LONG xPelsPerMeter = 2835;
    LONG yPelsPerMeter = 3780;
    DWORD clrImportant = 0;
    WORD planes = 1;
};

std::vector<std::uint8_t> Build(const BmpFile& f)
{
    ByteBuilder b;
    const bool masksAfterHeader = f.headerSize == 40 && !f.masks.empty();
    const std::uint32_t offBits = 14 + f.headerSize + (masksAfterHeader ? 4 * f.masks.size() : 0) +
                                  4 * f.paletteEntries + f.gap;
    b.Text("BM").U32(0).U16(f.reserved1).U16(f.reserved2).U32(f.bfOffBits.value_or(offBits));
    b.U32(f.headerSize).I32(f.width).I32(f.height).U16(f.planes).U16(f.bitCount).U32(f.compression);
    b.U32(static_cast<std::uint32_t>(f.rows.size())).I32(f.xPelsPerMeter).I32(f.yPelsPerMeter);
    b.U32(f.paletteEntries).U32(f.clrImportant);
    if (f.headerSize > 40 && f.headerSize <= 1024) {
        std::size_t extra = f.headerSize - 40;
        for (std::size_t i = 0; i < f.masks.size() && extra >= 4; ++i, extra -= 4)
            b.U32(f.masks[i]);
        b.Fill(extra, 0);
    }
    if (masksAfterHeader)
        for (std::uint32_t m : f.masks)
            b.U32(m);
    b.Fill(4 * f.paletteEntries, 0x77);
    b.Fill(f.gap, 0x99);
    b.Append(f.rows);
    std::vector<std::uint8_t> bytes = b.Bytes();
    const std::uint32_t size = f.bfSize.value_or(static_cast<std::uint32_t>(bytes.size()));
    for (int i = 0; i < 4; ++i)
        bytes[2 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return bytes;
}

// A colourful picture with different values in every channel.
Pixel Colourful(int x, int y)
{
    return Rgbh(17 * x + 3 * y + 1, 40 + 11 * y + 5 * x, 200 - 13 * x - 7 * y);
}

// ---- Test fixture ----------------------------------------------------------------

class BmpTest : public ::testing::Test {
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

    // Writes bytes to a file and reads it into doc (fresh, or the picture
    // it already holds).
    int Read(const std::vector<std::uint8_t>& bytes, const std::string& name = "in.bmp")
    {
        const std::string path = dir.File(name);
        EXPECT_TRUE(WriteBytes(path, bytes));
        SetPath(&doc, path);
        return Shown(ReadBmpFile(&doc));
    }

    int ReadBmp(const BmpFile& f) { return Read(Build(f)); }

    // Reads a file that must be refused: -1, the picture as it was, no
    // block lost, exactly one message (caption "Error").  Returns the message.
    std::string ExpectRefused(const std::vector<std::uint8_t>& bytes)
    {
        if (!doc.hDib)
            doc = MakeDocument(2, 2, Colourful);
        const std::string path = dir.File("refused.bmp");
        EXPECT_TRUE(WriteBytes(path, bytes));
        SetPath(&doc, path);
        const DocumentSnapshot before = Snapshot(doc);
        const long blocks = StandInLiveBlocks();
        MessageCapture messages;
        EXPECT_EQ(Shown(ReadBmpFile(&doc)), -1);
        EXPECT_TRUE(Unchanged(doc, before));
        EXPECT_LIVE_BLOCKS(blocks);
        EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
        EXPECT_EQ(messages.CountCaption("Error"), messages.Count()) << messages.Joined();
        return messages.Entries().empty() ? std::string() : messages.Entries().front();
    }

    int Write(int depth, const std::string& path)
    {
        SetPath(&doc, path);
        return Shown(WriteBmpFile(&doc, BmpWriteSettings{depth}));
    }

    TempDir dir;
    ImageDocument doc{};
    long blocksBefore = 0;
};

// ---- Reading: the three depths ------------------------------------------------------

TEST_F(BmpTest, Reads24BitRowsOfEveryPaddingWidth)
{
    for (int w : {1, 2, 3, 4, 5, 35}) {
        SCOPED_TRACE("width " + std::to_string(w));
        const int h = 3;
        BmpFile f;
        f.width = w;
        f.height = h;
        f.rows = StoredRows(3, w, h, BottomUp(h, [](int x, int y) { return AsBgr(Colourful(x, y)); }));
        MessageCapture messages;
        ASSERT_EQ(ReadBmp(f), 0) << messages.Joined();
        // The reader leaves the fourth byte 0: the luminance is the open
        // command's business.
        EXPECT_TRUE(PixelsMatch(doc, w, h, Colourful, true));
        EXPECT_EQ(messages.Count(), 0u) << messages.Joined();
    }
}

TEST_F(BmpTest, ReadFillsTheRecordAndAWorkDibHeaderInsideTheBlock)
{
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.reserved1 = 0x1234;
    f.reserved2 = 0xABCD;
    f.xPelsPerMeter = 2835;
    f.yPelsPerMeter = 3780;
    f.clrImportant = 0;
    f.rows = StoredRows(3, 3, 2, BottomUp(2, [](int x, int y) { return AsBgr(Colourful(x, y)); }));
    const std::vector<std::uint8_t> bytes = Build(f);
    doc.isModified = 1;

    ASSERT_EQ(Read(bytes), 0);

    EXPECT_EQ(doc.isLoaded, 1);
    EXPECT_EQ(doc.isModified, 1);
    EXPECT_EQ(doc.width, 3);
    EXPECT_EQ(doc.height, 2);
    ASSERT_NE(doc.hDib, nullptr);
    ASSERT_NE(doc.dib, nullptr);
    EXPECT_GE(GlobalSize(doc.hDib), WorkDibBytes(3, 2));
    EXPECT_EQ(std::memcmp(&doc.fileHeader, bytes.data(), 14), 0) << "fileHeader holds the file's 14 bytes";
    EXPECT_EQ(reinterpret_cast<BYTE*>(doc.bmi), doc.dib) << "bmi points at the block's own header";

    const BITMAPINFOHEADER h = BlockHeader(doc);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 3);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(h.biSizeImage, f.rows.size()) << "other fields as in the file";
    EXPECT_EQ(h.biXPelsPerMeter, 2835);
    EXPECT_EQ(h.biYPelsPerMeter, 3780);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_TRUE(PixelsMatch(doc, 3, 2, Colourful, false));
}

TEST_F(BmpTest, ReplacingAPictureReleasesItsBlock)
{
    doc = MakeDocument(4, 4, Colourful);
    BmpFile f;
    f.width = 2;
    f.height = 1;
    f.rows = StoredRows(3, 2, 1, [](int x, int) { return AsBgr(Rgbh(x, 2, 3)); });
    ASSERT_EQ(ReadBmp(f), 0);
    EXPECT_LIVE_BLOCKS(blocksBefore + 1) << "one block per picture, nothing else kept";
    EXPECT_TRUE(PixelsMatch(doc, 2, 1, [](int x, int) { return Rgbh(x, 2, 3); }, false));
}

struct Value16 {
    std::uint16_t value;
    Pixel expected;
};

TEST_F(BmpTest, Reads16Bit555WithPlainMultiplication)
{
    const std::vector<Value16> values = {
        {0x7FFF, Rgbh(248, 248, 248)}, {0x0000, Rgbh(0, 0, 0)},     {0x001F, Rgbh(0, 0, 248)},
        {0x03E0, Rgbh(0, 248, 0)},     {0x7C00, Rgbh(248, 0, 0)},   {0x4210, Rgbh(128, 128, 128)},
        {0x8000, Rgbh(0, 0, 0)},       {0x0421, Rgbh(8, 8, 8)},     {0x2D6B, Rgbh(88, 88, 88)},
    };
    for (int w : {1, 2, 3, 5}) {
        SCOPED_TRACE("width " + std::to_string(w));
        const int h = 2;
        auto index = [&](int x, int y) { return (x + 3 * y) % values.size(); };
        BmpFile f;
        f.width = w;
        f.height = h;
        f.bitCount = 16;
        f.rows = StoredRows(2, w, h, BottomUp(h, [&](int x, int y) { return values[index(x, y)].value; }));
        ASSERT_EQ(ReadBmp(f), 0);
        EXPECT_TRUE(PixelsMatch(doc, w, h, [&](int x, int y) { return values[index(x, y)].expected; }, true));
    }
}

struct MaskCase {
    const char* name;
    WORD bitCount;
    DWORD headerSize;
    std::vector<std::uint32_t> masks;  // red, green, blue[, alpha]
    std::vector<std::pair<std::uint32_t, Pixel>> values;
};

// Bit-field files go through their masks: each field is shifted down and
// widened by multiplication (5 bits x8, 6 bits x4, 4 bits x16, 3 bits
// x32, 2 bits x64); fields wider than 8 bits keep their top 8.
TEST_F(BmpTest, ReadsBitFieldFilesThroughTheirMasks)
{
    const std::vector<MaskCase> cases = {
        {"16-bit 5-6-5", 16, 40, {0xF800, 0x07E0, 0x001F},
         {{0xFFFF, Rgbh(248, 252, 248)}, {0xF800, Rgbh(248, 0, 0)}, {0x07E0, Rgbh(0, 252, 0)},
          {0x001F, Rgbh(0, 0, 248)}, {0x8410, Rgbh(128, 128, 128)}, {0x0000, Rgbh(0, 0, 0)}}},
        {"16-bit 4-4-4", 16, 40, {0x0F00, 0x00F0, 0x000F},
         {{0x0FFF, Rgbh(240, 240, 240)}, {0x0123, Rgbh(16, 32, 48)}, {0xF000, Rgbh(0, 0, 0)}}},
        {"16-bit 5-5-5 as bit fields", 16, 40, {0x7C00, 0x03E0, 0x001F},
         {{0x7FFF, Rgbh(248, 248, 248)}, {0x4210, Rgbh(128, 128, 128)}, {0x8000, Rgbh(0, 0, 0)},
          {0x7C00, Rgbh(248, 0, 0)}}},
        {"16-bit 1-5-5-5 with an alpha mask", 16, 40, {0x7C00, 0x03E0, 0x001F, 0x8000},
         {{0xFFFF, Rgbh(248, 248, 248)}, {0x03E0, Rgbh(0, 248, 0)}}},
        {"16-bit blue on top, red at the bottom", 16, 40, {0x001F, 0x07E0, 0xF800},
         {{0x001F, Rgbh(248, 0, 0)}, {0xF800, Rgbh(0, 0, 248)}, {0x07E0, Rgbh(0, 252, 0)}}},
        {"16-bit 3-3-2", 16, 40, {0x00E0, 0x001C, 0x0003},
         {{0x00FF, Rgbh(224, 224, 192)}, {0x0020, Rgbh(32, 0, 0)}, {0xFF00, Rgbh(0, 0, 0)}}},
        {"16-bit 5-6-5 in a V4 header", 16, 108, {0xF800, 0x07E0, 0x001F, 0},
         {{0xFFFF, Rgbh(248, 252, 248)}, {0x8410, Rgbh(128, 128, 128)}}},
        {"32-bit blue-green-red-unused as bit fields", 32, 40, {0x00FF0000, 0x0000FF00, 0x000000FF},
         {{0x00112233, Rgbh(0x11, 0x22, 0x33)}, {0xFF000000, Rgbh(0, 0, 0)}}},
        {"32-bit own layout (56-byte header)", 32, 56, {0xFF000000, 0x00FF0000, 0x0000FF00, 0},
         {{0x112233FF, Rgbh(0x11, 0x22, 0x33)}, {0xFFFFFF00, Rgbh(255, 255, 255)}, {0x000000FF, Rgbh(0, 0, 0)}}},
        {"32-bit 10-10-10", 32, 40, {0x3FF00000, 0x000FFC00, 0x000003FF},
         {{0x3FF80004, Rgbh(255, 128, 1)}, {0x00000C00, Rgbh(0, 0, 0)}, {0x00001000, Rgbh(0, 1, 0)}}},
        {"32-bit 5-5-5", 32, 40, {0x7C00, 0x03E0, 0x001F},
         {{0x00007FFF, Rgbh(248, 248, 248)}, {0xFFFF8000, Rgbh(0, 0, 0)}}},
        {"32-bit in a V5 header", 32, 124, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
         {{0x80332211, Rgbh(0x11, 0x22, 0x33)}}},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (int w : {1, 3}) {
            SCOPED_TRACE("width " + std::to_string(w));
            const int h = static_cast<int>(c.values.size());
            BmpFile f;
            f.width = w;
            f.height = h;  // picture row y holds value y
            f.bitCount = c.bitCount;
            f.compression = BI_BITFIELDS;
            f.headerSize = c.headerSize;
            f.masks = c.masks;
            f.rows = StoredRows(c.bitCount / 8, w, h, BottomUp(h, [&](int, int y) { return c.values[y].first; }));
            MessageCapture messages;
            ASSERT_EQ(ReadBmp(f), 0) << messages.Joined();
            EXPECT_TRUE(PixelsMatch(doc, w, h, [&](int, int y) { return c.values[y].second; }, false));
        }
    }
}

TEST_F(BmpTest, Reads32BitPlainFilesAsBlueGreenRedUnused)
{
    const int w = 3, h = 2;
    BmpFile f;
    f.width = w;
    f.height = h;
    f.bitCount = 32;
    f.rows = StoredRows(4, w, h, BottomUp(h, [](int x, int y) { return AsBgr(Colourful(x, y)) | 0x5A000000u; }));
    ASSERT_EQ(ReadBmp(f), 0);
    EXPECT_TRUE(PixelsMatch(doc, w, h, Colourful, false));
}

TEST_F(BmpTest, ReadsTopDownFilesTheRightWayUp)
{
    struct Depth {
        WORD bits;
        DWORD compression;
        std::vector<std::uint32_t> masks;
        std::function<std::uint32_t(const Pixel&)> encode;
        std::function<Pixel(const Pixel&)> decoded;
    };
    // Colours every depth holds exactly.
    auto colour = [](int x, int y) { return Rgbh(8 * (x + 1), 8 * (3 * y + 2), 8 * (x + y + 20)); };
    const std::vector<Depth> depths = {
        {24, BI_RGB, {}, [](const Pixel& p) { return AsBgr(p); }, [](const Pixel& p) { return p; }},
        {32, BI_RGB, {}, [](const Pixel& p) { return AsBgr(p); }, [](const Pixel& p) { return p; }},
        {16, BI_RGB, {}, [](const Pixel& p) {
             return std::uint32_t((p.red / 8) << 10 | (p.green / 8) << 5 | (p.blue / 8));
         }, [](const Pixel& p) { return p; }},
        {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, [](const Pixel& p) {
             return std::uint32_t((p.red / 8) << 11 | (p.green / 4) << 5 | (p.blue / 8));
         }, [](const Pixel& p) { return p; }},
        {32, BI_BITFIELDS, {0xFF000000, 0x00FF0000, 0x0000FF00}, [](const Pixel& p) { return AsBgr(p) << 8; },
         [](const Pixel& p) { return p; }},
    };
    for (const Depth& d : depths) {
        SCOPED_TRACE(std::to_string(d.bits) + " bits, compression " + std::to_string(d.compression));
        const int w = 3, h = 4;
        BmpFile f;
        f.width = w;
        f.height = -h;
        f.bitCount = d.bits;
        f.compression = d.compression;
        f.masks = d.masks;
        f.rows = StoredRows(d.bits / 8, w, h, [&](int x, int r) { return d.encode(colour(x, r)); });
        ASSERT_EQ(ReadBmp(f), 0);
        EXPECT_TRUE(PixelsMatch(doc, w, h, colour, false));
        EXPECT_EQ(BlockHeader(doc).biHeight, h) << "the WorkDib is always bottom-up";
        EXPECT_EQ(doc.bmi->bmiHeader.biHeight, h);
    }
}

// ---- Reading: where the rows are, and how much of them -------------------------------

TEST_F(BmpTest, RowsStartAtTheOffsetTheFileGives)
{
    struct Layout {
        const char* name;
        WORD bits;
        DWORD compression;
        DWORD headerSize;
        int palette;
        int gap;
        std::vector<std::uint32_t> masks;
    };
    const std::vector<Layout> layouts = {
        {"24-bit after a palette", 24, BI_RGB, 40, 2, 0, {}},
        {"24-bit after a V4 header", 24, BI_RGB, 108, 0, 0, {}},
        {"24-bit after a V5 header and a gap", 24, BI_RGB, 124, 0, 20, {}},
        {"16-bit after a gap", 16, BI_RGB, 40, 0, 6, {}},
        {"16-bit after a palette", 16, BI_RGB, 40, 3, 0, {}},
        {"16-bit bit fields after a gap", 16, BI_BITFIELDS, 40, 0, 2, {0x7C00, 0x03E0, 0x001F}},
        {"32-bit after a gap", 32, BI_RGB, 40, 0, 8, {}},
        {"32-bit bit fields in a V5 header", 32, BI_BITFIELDS, 124, 0, 4, {0x00FF0000, 0x0000FF00, 0x000000FF, 0}},
    };
    auto colour = [](int x, int y) { return Rgbh(8 * (x + 2), 8 * (y + 5), 8 * (x + y + 9)); };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const int w = 3, h = 2;
        BmpFile f;
        f.width = w;
        f.height = h;
        f.bitCount = l.bits;
        f.compression = l.compression;
        f.headerSize = l.headerSize;
        f.paletteEntries = l.palette;
        f.gap = l.gap;
        f.masks = l.masks;
        auto encode = [&](const Pixel& p) -> std::uint32_t {
            if (l.bits == 16)
                return (p.red / 8) << 10 | (p.green / 8) << 5 | (p.blue / 8);
            return AsBgr(p);
        };
        f.rows = StoredRows(l.bits / 8, w, h, BottomUp(h, [&](int x, int y) { return encode(colour(x, y)); }));
        ASSERT_EQ(ReadBmp(f), 0);
        EXPECT_TRUE(PixelsMatch(doc, w, h, colour, false));
        EXPECT_EQ(BlockHeader(doc).biSize, 40u);
        EXPECT_EQ(doc.bmi->bmiHeader.biSize, 40u);
    }
}

TEST_F(BmpTest, ShortFilesReadAsFarAsTheyGoWithTheRestZero)
{
    const int w = 3, h = 3;  // rows of 9 bytes + 3 padding
    BmpFile f;
    f.width = w;
    f.height = h;
    f.rows = StoredRows(3, w, h, BottomUp(h, [](int x, int y) { return AsBgr(Colourful(x, y)); }));
    std::vector<std::uint8_t> bytes = Build(f);
    // Keep the bottom row, its padding and the first pixel and a half of
    // the middle row; bfSize still claims the whole file.
    bytes.resize(54 + 12 + 4);
    ASSERT_EQ(Read(bytes), 0);
    EXPECT_TRUE(PixelsMatch(doc, w, h, [](int x, int y) {
        if (y == 2)
            return Colourful(x, y);
        if (y == 1 && x == 0)
            return Colourful(0, 1);
        if (y == 1 && x == 1) {
            Pixel p = Colourful(1, 1);
            p.green = p.red = 0;
            return p;
        }
        return Rgbh(0, 0, 0);
    }, false));
}

// Pictures of many buffer fulls (the reader passes rows through a buffer
// of about 256 KB), whole and cut short inside a later buffer full, at a
// buffer's edge and inside a row: every pixel the file holds is read, the
// rest is black.
TEST_F(BmpTest, PicturesOfManyBufferFullsReadWholeOrAsFarAsTheFileGoes)
{
    struct Case {
        WORD bitCount;
        int width, height;
        bool topDown;
        int cutRow, cutPixel;  // the file ends before this pixel of this stored row; cutRow -1: whole
    };
    const Case cases[] = {
        {24, 1001, 700, false, -1, 0},
        {24, 1001, 700, true, 261, 0},  // 87 rows of 3004 bytes to a buffer: the end of the third
        {32, 777, 500, false, 333, 123},
        {16, 1003, 640, true, 500, 7},
        {16, 1003, 640, false, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bitCount) + " bits, " + std::to_string(c.width) + " x " +
                     std::to_string(c.height) + (c.topDown ? " top-down" : " bottom-up") + ", cut at row " +
                     std::to_string(c.cutRow) + " pixel " + std::to_string(c.cutPixel));
        const int bytesPerPixel = c.bitCount / 8;
        // Stored values: BGR(A) bytes, or 5-5-5 values for 16 bits.
        auto stored = [&](int x, int r) -> std::uint32_t {
            if (c.bitCount == 16)
                return static_cast<std::uint32_t>(x * 31 + r * 17) & 0x7FFF;
            return static_cast<std::uint32_t>((x * 7 + r * 13) & 0xFF) | ((x * 3 ^ r * 5) & 0xFF) << 8 |
                   ((x + 2 * r * r) & 0xFF) << 16 | 0xC5000000u;
        };
        BmpFile f;
        f.width = c.width;
        f.height = c.topDown ? -c.height : c.height;
        f.bitCount = c.bitCount;
        f.rows = StoredRows(bytesPerPixel, c.width, c.height, stored);
        std::vector<std::uint8_t> bytes = Build(f);
        const std::size_t rowBytes = (static_cast<std::size_t>(c.width) * bytesPerPixel + 3) / 4 * 4;
        if (c.cutRow >= 0)
            bytes.resize(54 + rowBytes * c.cutRow + static_cast<std::size_t>(c.cutPixel) * bytesPerPixel);
        ASSERT_EQ(Read(bytes), 0);
        EXPECT_TRUE(PixelsMatch(doc, c.width, c.height, [&](int x, int y) {
            const int r = c.topDown ? y : c.height - 1 - y;
            if (c.cutRow >= 0 && (r > c.cutRow || (r == c.cutRow && x >= c.cutPixel)))
                return Rgbh(0, 0, 0);
            const std::uint32_t v = stored(x, r);
            if (c.bitCount == 16)
                return Rgbh((v >> 10 & 31) << 3, (v >> 5 & 31) << 3, (v & 31) << 3);
            return Rgbh(v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF);
        }, true));
    }
}

TEST_F(BmpTest, WrongFileSizeInTheHeaderDoesNotMatter)
{
    for (std::uint32_t size : {0u, 20u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
        SCOPED_TRACE("bfSize " + std::to_string(size));
        for (WORD bits : {16, 24, 32}) {
            SCOPED_TRACE(std::to_string(bits) + " bits");
            const int w = 3, h = 2;
            auto colour = [](int x, int y) { return Rgbh(8 * (x + 1), 8 * (y + 4), 8 * (x + 7)); };
            BmpFile f;
            f.width = w;
            f.height = h;
            f.bitCount = bits;
            f.bfSize = size;
            f.rows = StoredRows(bits / 8, w, h, BottomUp(h, [&](int x, int y) {
                const Pixel p = colour(x, y);
                return bits == 16 ? std::uint32_t((p.red / 8) << 10 | (p.green / 8) << 5 | (p.blue / 8)) : AsBgr(p);
            }));
            ASSERT_EQ(ReadBmp(f), 0);
            EXPECT_TRUE(PixelsMatch(doc, w, h, colour, false));
        }
    }
}

// A file another reader holds open (a viewer, another worker of the tool
// reading the same watermark) is read all the same.
TEST_F(BmpTest, ReadsAFileAnotherReaderHoldsOpen)
{
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.rows = StoredRows(3, 3, 2, BottomUp(2, [](int x, int y) { return AsBgr(Colourful(x, y)); }));
    const std::string path = dir.File("shared.bmp");
    ASSERT_TRUE(WriteBytes(path, Build(f)));
    const HANDLE other = CreateFileUtf8(path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    SetPath(&doc, path);
    EXPECT_EQ(Shown(ReadBmpFile(&doc)), 0);
    EXPECT_TRUE(PixelsMatch(doc, 3, 2, Colourful, true));
    CloseHandle(other);
}

// ---- Reading: refusals ----------------------------------------------------------------

TEST_F(BmpTest, MissingFileIsReportedAndChangesNothing)
{
    doc = MakeDocument(2, 2, Colourful);
    SetPath(&doc, dir.File("no-such-file.bmp"));
    const DocumentSnapshot before = Snapshot(doc);
    MessageCapture messages;
    EXPECT_EQ(Shown(ReadBmpFile(&doc)), -1);
    EXPECT_TRUE(Unchanged(doc, before));
    EXPECT_TRUE(messages.Has("Error", kOpenFailed)) << messages.Joined();
    EXPECT_EQ(messages.Count(), 1u);

    // A fresh record stays a fresh record, too.
    ReleaseDocument(&doc);
    ImageDocument fresh{};
    SetPath(&fresh, dir.File("no-such-file.bmp"));
    EXPECT_EQ(Shown(ReadBmpFile(&fresh)), -1);
    EXPECT_EQ(fresh.hDib, nullptr);
    EXPECT_EQ(fresh.isLoaded, 0);
    EXPECT_EQ(+fresh.fileHeader.bfType, 0);
}

TEST_F(BmpTest, FilesThatAreNotBitmapsAreRefused)
{
    BmpFile f;
    f.rows = StoredRows(3, 1, 1, [](int, int) { return 0x112233u; });
    std::vector<std::uint8_t> swapped = Build(f);
    std::swap(swapped[0], swapped[1]);  // "MB"
    const std::vector<std::vector<std::uint8_t>> files = {
        {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0},  // a JPEG's start
        swapped,
        {'B'},
        {},
        {'b', 'm', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0},
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE("file " + std::to_string(i));
        EXPECT_EQ(ExpectRefused(files[i]), std::string("Error|") + kNotBitmap);
    }
}

TEST_F(BmpTest, DepthsOtherThan16_24_32AreRefused)
{
    for (WORD bits : {0, 1, 4, 8, 15, 48, 64}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        BmpFile f;
        f.width = 4;
        f.height = 2;
        f.bitCount = bits;
        f.paletteEntries = bits <= 8 ? 2 : 0;
        f.rows.assign(64, 0x11);
        EXPECT_EQ(ExpectRefused(Build(f)), std::string("Error|") + kDepthOnly);
    }
}

TEST_F(BmpTest, CompressedFilesAreRefusedNotReadAsRawPixels)
{
    struct Case {
        WORD bits;
        DWORD compression;
    };
    for (const Case& c : {Case{8, BI_RLE8}, Case{4, BI_RLE4}, Case{24, BI_RLE8}, Case{16, BI_RLE4},
                          Case{24, BI_JPEG}, Case{24, BI_PNG}, Case{32, BI_JPEG}, Case{32, 6u}, Case{24, 0x7FFFFFFFu}}) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, compression " + std::to_string(c.compression));
        BmpFile f;
        f.width = 2;
        f.height = 2;
        f.bitCount = c.bits;
        f.compression = c.compression;
        f.paletteEntries = c.bits <= 8 ? 2 : 0;
        f.rows.assign(32, 0x42);
        const std::string message = ExpectRefused(Build(f));
        EXPECT_FALSE(message.empty());
    }
}

TEST_F(BmpTest, HostileSizesAreRefusedWithoutTouchingMemory)
{
    struct Size {
        LONG width;
        LONG height;
    };
    const Size sizes[] = {
        {0, 4},          {4, 0},          {-3, 2},          {INT_MIN, 1},       {1, INT_MIN},
        {100000, 100000}, {65536, 65536},  {INT_MAX, INT_MAX}, {INT_MAX, 1},       {1, INT_MAX},
        {(1 << 20) + 1, 1}, {1, -((1 << 20) + 1)}, {46341, 46341},  {INT_MAX, -2},
    };
    for (WORD bits : {16, 24, 32}) {
        for (const Size& s : sizes) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(s.width) + " x " + std::to_string(s.height));
            BmpFile f;
            f.width = s.width;
            f.height = s.height;
            f.bitCount = bits;
            f.rows.assign(64, 0x33);
            ExpectRefused(Build(f));
        }
    }
}

// Files whose parts lie where they cannot: either refused cleanly or read
// as far as the file goes; never a half-replaced picture.
TEST_F(BmpTest, OffsetsAndMasksPointingNowhereAreHandledSafely)
{
    struct Odd {
        const char* name;
        BmpFile file;
    };
    std::vector<Odd> odd;
    {
        BmpFile f;
        f.width = 3;
        f.height = 2;
        f.rows = StoredRows(3, 3, 2, [](int, int) { return 0x808080u; });
        f.bfOffBits = 100000;
        odd.push_back({"rows beyond the end", f});
        f.bfOffBits = 0xFFFFFFFFu;
        odd.push_back({"offset 0xFFFFFFFF", f});
        f.bfOffBits = 0x80000000u;
        odd.push_back({"offset 2^31", f});
        f.bfOffBits = 3;
        odd.push_back({"offset inside the file header", f});
    }
    {
        BmpFile f;
        f.width = 2;
        f.height = 2;
        f.bitCount = 16;
        f.compression = BI_BITFIELDS;
        f.masks = {0, 0, 0};
        f.rows = StoredRows(2, 2, 2, [](int, int) { return 0xFFFFu; });
        odd.push_back({"all masks zero", f});
        f.masks = {0xFFFF, 0xFFFF, 0xFFFF};
        odd.push_back({"overlapping 16-bit masks", f});
        f.bitCount = 32;
        f.masks = {0xFFFFFFFF, 0x80000001, 0x00FF00FF};
        f.rows = StoredRows(4, 2, 2, [](int, int) { return 0xDEADBEEFu; });
        odd.push_back({"full-width and gapped 32-bit masks", f});
    }
    {
        BmpFile f;
        f.width = 2;
        f.height = 2;
        f.headerSize = 0xFFFFFFF0u;
        f.bfOffBits = 54;
        f.rows = StoredRows(3, 2, 2, [](int, int) { return 0x102030u; });
        odd.push_back({"absurd header size", f});
        f.headerSize = 12;
        odd.push_back({"core header size", f});
    }
    for (const Odd& o : odd) {
        SCOPED_TRACE(o.name);
        ReleaseDocument(&doc);
        doc = MakeDocument(2, 2, Colourful);
        const std::string path = dir.File("odd.bmp");
        ASSERT_TRUE(WriteBytes(path, Build(o.file)));
        SetPath(&doc, path);
        const DocumentSnapshot before = Snapshot(doc);
        MessageCapture messages;
        const int rc = Shown(ReadBmpFile(&doc));
        if (rc == 0) {
            ASSERT_NE(doc.dib, nullptr);
            EXPECT_GT(doc.width, 0);
            EXPECT_GT(doc.height, 0);
            EXPECT_GE(GlobalSize(doc.hDib), WorkDibBytes(doc.width, doc.height));
            EXPECT_EQ(reinterpret_cast<BYTE*>(doc.bmi), doc.dib);
            EXPECT_LIVE_BLOCKS(blocksBefore + 1);
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_TRUE(Unchanged(doc, before));
            EXPECT_EQ(messages.CountCaption("Error"), 1u) << messages.Joined();
        }
    }
}

TEST_F(BmpTest, RowsBeyondTheEndReadAsBlackWhenAccepted)
{
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.rows = StoredRows(3, 3, 2, [](int, int) { return 0x808080u; });
    f.bfOffBits = 5000;
    MessageCapture messages;
    if (ReadBmp(f) == 0)
        EXPECT_TRUE(PixelsMatch(doc, 3, 2, [](int, int) { return Rgbh(0, 0, 0); }, true));
    else
        EXPECT_EQ(messages.CountCaption("Error"), 1u) << messages.Joined();
}

TEST_F(BmpTest, EveryFailedAllocationWhileReadingLeavesThePictureIntact)
{
    QV_NEEDS_STAND_IN();
    BmpFile f;
    f.width = 5;
    f.height = 3;
    f.bitCount = 16;
    f.compression = BI_BITFIELDS;
    f.masks = {0xF800, 0x07E0, 0x001F};
    f.rows = StoredRows(2, 5, 3, [](int x, int r) { return std::uint32_t(0x1234 + x * 77 + r * 1000); });
    const std::string path = dir.File("alloc.bmp");
    ASSERT_TRUE(WriteBytes(path, Build(f)));

    bool succeeded = false;
    for (long n = 1; n <= 30 && !succeeded; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
        ReleaseDocument(&doc);
        doc = MakeDocument(2, 2, Colourful);
        SetPath(&doc, path);
        const DocumentSnapshot before = Snapshot(doc);
        MessageCapture messages;
        StandInFailNthAllocation(n);
        const int rc = Shown(ReadBmpFile(&doc));
        StandInFailNthAllocation(0);
        if (rc == 0) {
            succeeded = true;  // n is past the reader's last allocation
            EXPECT_EQ(doc.width, 5);
            EXPECT_LIVE_BLOCKS(blocksBefore + 1);
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_TRUE(Unchanged(doc, before));
            EXPECT_LIVE_BLOCKS(blocksBefore + 1) << "blocks leaked by the failed read";
            EXPECT_LE(messages.Count(), 1u) << messages.Joined();
            EXPECT_EQ(messages.CountCaption("Error"), messages.Count()) << messages.Joined();
        }
    }
    EXPECT_TRUE(succeeded);
}

// ---- Writing: exact files ------------------------------------------------------------

TEST_F(BmpTest, Writes16BitFileByteForByte)
{
    // 3 x 2: rows of 6 pixel bytes and 2 padding bytes, 70 bytes in all.
    // The 5-bit values come from (10 (v + 4)) / 82: 4 -> 0, 5 -> 1,
    // 12 -> 1, 13 -> 2, 128 -> 16, 241 -> 29, 242 -> 30, 250 -> 30,
    // 251 -> 31, 255 -> 31.
    const Pixel pixels[2][3] = {
        {Rgbh(255, 255, 255, 11), Rgbh(128, 128, 128, 12), Rgbh(0, 0, 0, 13)},
        {Rgbh(5, 4, 13, 14), Rgbh(250, 251, 242, 15), Rgbh(12, 241, 255, 16)},
    };
    doc = MakeDocument(3, 2, [&](int x, int y) { return pixels[y][x]; });
    doc.fileHeader.bfReserved1 = 0x1234;
    doc.fileHeader.bfReserved2 = 0xABCD;
    doc.bmi->bmiHeader.biXPelsPerMeter = 2835;
    doc.bmi->bmiHeader.biYPelsPerMeter = 3780;
    const std::string path = dir.File("out16.bmp");
    MessageCapture messages;
    ASSERT_EQ(Write(16, path), 0) << messages.Joined();

    ByteBuilder e;
    e.Text("BM").U32(70).U16(0x1234).U16(0xABCD).U32(54);
    e.U32(40).I32(3).I32(2).U16(1).U16(16).U32(BI_RGB).U32(0).I32(2835).I32(3780).U32(0).U32(0);
    e.U16(0x0402).U16(0x7BFE).U16(0x07BF).U16(0);  // bottom row first
    e.U16(0x7FFF).U16(0x4210).U16(0x0000).U16(0);
    EXPECT_TRUE(SameBytes(ReadBytes(path), e.Bytes()));

    EXPECT_EQ(+doc.fileHeader.bfType, 0x4D42);
    EXPECT_EQ(+doc.fileHeader.bfSize, 70u);
    EXPECT_EQ(+doc.fileHeader.bfOffBits, 54u);
    EXPECT_EQ(+doc.fileHeader.bfReserved1, 0x1234);
    EXPECT_TRUE(PixelsMatch(doc, 3, 2, [&](int x, int y) { return pixels[y][x]; }, true))
        << "a 16-bit save leaves the picture and its HeightBytes alone";
    EXPECT_EQ(messages.Count(), 0u) << messages.Joined();
}

TEST_F(BmpTest, Writes24BitFileByteForByte)
{
    doc = MakeDocument(1, 1, [](int, int) { return Rgbh(0x11, 0x22, 0x33, 0x99); });
    const std::string path = dir.File("out24.bmp");
    ASSERT_EQ(Write(24, path), 0);

    ByteBuilder e;
    e.Text("BM").U32(58).U16(0).U16(0).U32(54);
    e.U32(40).I32(1).I32(1).U16(1).U16(24).U32(BI_RGB).U32(0).I32(0).I32(0).U32(0).U32(0);
    e.U8(0x33).U8(0x22).U8(0x11).U8(0);  // the HeightByte is never written
    EXPECT_TRUE(SameBytes(ReadBytes(path), e.Bytes()));
    EXPECT_EQ(GetPixel(doc, 0, 0), Rgbh(0x11, 0x22, 0x33, 0x99));
}

TEST_F(BmpTest, Writes32BitBitFieldFileByteForByteAndClearsHeightBytes)
{
    doc = MakeDocument(2, 1, [](int x, int) {
        return x == 0 ? Rgbh(0x10, 0x20, 0x30, 0x99) : Rgbh(0xAA, 0xBB, 0xCC, 0x55);
    });
    const std::string path = dir.File("out32.bmp");
    ASSERT_EQ(Write(32, path), 0);

    ByteBuilder e;
    e.Text("BM").U32(78).U16(0).U16(0).U32(70);
    e.U32(56).I32(2).I32(1).U16(1).U16(32).U32(BI_BITFIELDS).U32(0).I32(0).I32(0).U32(0).U32(0);
    e.U32(0xFF000000).U32(0x00FF0000).U32(0x0000FF00).U32(0);
    e.U8(0).U8(0x30).U8(0x20).U8(0x10).U8(0).U8(0xCC).U8(0xBB).U8(0xAA);
    EXPECT_TRUE(SameBytes(ReadBytes(path), e.Bytes()));
    EXPECT_EQ(+doc.fileHeader.bfOffBits, 70u);
    EXPECT_EQ(+doc.fileHeader.bfSize, 78u);
    EXPECT_TRUE(PixelsMatch(doc, 2, 1, [](int x, int) {
        return x == 0 ? Rgbh(0x10, 0x20, 0x30, 0) : Rgbh(0xAA, 0xBB, 0xCC, 0);
    }, true));
}

TEST_F(BmpTest, WrittenHeaderKeepsTheWorkDibHeaderFields)
{
    for (int depth : {16, 24, 32}) {
        SCOPED_TRACE(std::to_string(depth) + " bits");
        ReleaseDocument(&doc);
        doc = MakeDocument(2, 3, Colourful);
        BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(doc.dib);
        h->biXPelsPerMeter = 1111;
        h->biYPelsPerMeter = 2222;
        h->biClrImportant = 0;
        const std::string path = dir.File("fields.bmp");
        ASSERT_EQ(Write(depth, path), 0);
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(LoadU32(bytes, 18), 2u);  // biWidth
        EXPECT_EQ(LoadU32(bytes, 22), 3u);  // biHeight, positive
        EXPECT_EQ(LoadU16(bytes, 26), 1u);  // biPlanes
        EXPECT_EQ(LoadU16(bytes, 28), depth);
        EXPECT_EQ(LoadU32(bytes, 38), 1111u);
        EXPECT_EQ(LoadU32(bytes, 42), 2222u);
        EXPECT_EQ(LoadU32(bytes, 2), bytes.size()) << "bfSize is the file's size";
    }
}

// Pictures of many buffer fulls (the writer packs rows through a buffer of
// about 256 KB): the file is the header and then every row in the file's
// form, bottom row first, padded with zeros, at every depth.
TEST_F(BmpTest, PicturesOfManyBufferFullsAreWrittenRowForRowAtEveryDepth)
{
    const int w = 1001, h = 700;
    auto colour = [](int x, int y) {
        return Rgbh((x + 2 * y * y) & 0xFF, (x * 3 ^ y * 5) & 0xFF, (x * 7 + y * 13) & 0xFF, 77);
    };
    for (int depth : {16, 24, 32}) {
        SCOPED_TRACE(std::to_string(depth) + " bits");
        ReleaseDocument(&doc);
        doc = MakeDocument(w, h, colour);
        const std::string path = dir.File("large.bmp");
        ASSERT_EQ(Write(depth, path), 0);

        const std::size_t offBits = depth == 32 ? 70 : 54;
        const std::size_t rowBytes = (static_cast<std::size_t>(w) * (depth / 8) + 3) / 4 * 4;
        ByteBuilder e;
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x) {
                const Pixel p = colour(x, y);
                if (depth == 16) {
                    auto five = [](int v) { return (10 * (v + 4)) / 82; };
                    e.U16(five(p.red) << 10 | five(p.green) << 5 | five(p.blue));
                } else if (depth == 32) {
                    e.U8(0).U8(p.blue).U8(p.green).U8(p.red);
                } else {
                    e.U8(p.blue).U8(p.green).U8(p.red);
                }
            }
            e.Fill(rowBytes - static_cast<std::size_t>(w) * (depth / 8), 0);
        }
        const std::vector<std::uint8_t> file = ReadBytes(path);
        ASSERT_EQ(file.size(), offBits + rowBytes * h);
        EXPECT_EQ(+doc.fileHeader.bfSize, file.size());
        EXPECT_EQ(+doc.fileHeader.bfOffBits, offBits);
        EXPECT_TRUE(SameBytes(std::vector<std::uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(offBits), file.end()),
                              e.Bytes()));
    }
}

// ---- Writing and reading back ---------------------------------------------------------

TEST_F(BmpTest, RoundTrips24And32BitExactlyAtEveryPaddingWidth)
{
    for (int depth : {24, 32}) {
        for (int w : {1, 2, 3, 5, 35}) {
            SCOPED_TRACE(std::to_string(depth) + " bits, width " + std::to_string(w));
            const int h = 3;
            ReleaseDocument(&doc);
            doc = MakeDocument(w, h, [](int x, int y) {
                Pixel p = Colourful(x, y);
                p.height = 77;
                return p;
            });
            doc.bmi->bmiHeader.biXPelsPerMeter = 3937;
            const std::string path = dir.File("round.bmp");
            ASSERT_EQ(Write(depth, path), 0);
            ImageDocument back{};
            SetPath(&back, path);
            ASSERT_EQ(Shown(ReadBmpFile(&back)), 0);
            EXPECT_TRUE(SamePixels(back, doc, false));
            EXPECT_EQ(back.bmi->bmiHeader.biXPelsPerMeter, 3937);
            EXPECT_EQ(back.bmi->bmiHeader.biBitCount, 32);
            EXPECT_EQ(back.bmi->bmiHeader.biCompression, BI_RGB);
            EXPECT_EQ(back.bmi->bmiHeader.biSize, 40u);
            EXPECT_TRUE(PixelsMatch(doc, w, h, [&](int x, int y) {
                Pixel p = Colourful(x, y);
                p.height = depth == 32 ? 0 : 77;
                return p;
            }, true)) << "only a 32-bit save clears the HeightBytes";
            ReleaseDocument(&back);
        }
    }
}

TEST_F(BmpTest, RoundTrips16BitThroughFiveBitSteps)
{
    // value written -> value read back (5-bit step times 8)
    const std::vector<std::pair<int, int>> steps = {
        {0, 0},     {4, 0},     {5, 8},     {12, 8},    {13, 16},   {128, 128},
        {241, 232}, {242, 240}, {250, 240}, {251, 248}, {255, 248}, {100, 96},
    };
    const int n = static_cast<int>(steps.size());
    for (int w : {1, 2, 3, 5}) {
        SCOPED_TRACE("width " + std::to_string(w));
        const int h = 3;
        auto written = [&](int x, int y) {
            return Rgbh(steps[(x + y) % n].first, steps[(x + y + 1) % n].first, steps[(x + 2 * y + 2) % n].first);
        };
        auto readBack = [&](int x, int y) {
            return Rgbh(steps[(x + y) % n].second, steps[(x + y + 1) % n].second, steps[(x + 2 * y + 2) % n].second);
        };
        ReleaseDocument(&doc);
        doc = MakeDocument(w, h, written);
        const std::string path = dir.File("round16.bmp");
        ASSERT_EQ(Write(16, path), 0);
        EXPECT_EQ(ReadBytes(path).size(), 54u + (2u * w + (w % 2 ? 2 : 0)) * h);
        ImageDocument back{};
        SetPath(&back, path);
        ASSERT_EQ(Shown(ReadBmpFile(&back)), 0);
        EXPECT_TRUE(PixelsMatch(back, w, h, readBack, false));
        ReleaseDocument(&back);
    }
}

// ---- Writing: failures ---------------------------------------------------------------

TEST_F(BmpTest, SavingWithNothingLoadedIsRefused)
{
    const std::string path = dir.File("empty.bmp");
    SetPath(&doc, path);
    MessageCapture messages;
    EXPECT_EQ(Shown(WriteBmpFile(&doc, BmpWriteSettings{})), -1);
    EXPECT_TRUE(messages.Has("Error", kNothingLoaded)) << messages.Joined();
    EXPECT_FALSE(FileExists(path));
}

TEST_F(BmpTest, SavingWhereNoFileCanBeMadeIsReportedAndLeavesNothing)
{
    doc = MakeDocument(3, 2, [](int x, int y) { return Rgbh(x, y, 9, 123); });
    std::filesystem::create_directory(dir.File("folder"));
    ASSERT_TRUE(WriteBytes(dir.File("folder/keep.txt"), {'k'}));
    const std::vector<std::string> namesBefore = dir.Names();
    const std::string targets[] = {
        dir.File("missing-folder/out.bmp"),
        dir.File("folder"),  // the target is a directory
        dir.File("") ,       // the scratch directory itself
    };
    for (const std::string& target : targets) {
        for (int depth : {16, 24, 32}) {
            SCOPED_TRACE(target + " at " + std::to_string(depth) + " bits");
            const DocumentSnapshot before = Snapshot(doc);
            MessageCapture messages;
            EXPECT_EQ(Write(depth, target), -1);
            EXPECT_TRUE(messages.Has("Error", kCreateFailed)) << messages.Joined();
            EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
            EXPECT_EQ(dir.Names(), namesBefore) << "no temporary file may be left behind";
            EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));
            EXPECT_EQ(ReadBytes(dir.File("folder/keep.txt")), std::vector<std::uint8_t>{'k'});
            EXPECT_TRUE(PixelsMatch(doc, 3, 2, [](int x, int y) { return Rgbh(x, y, 9, 123); }, true))
                << "HeightBytes are cleared only by a 32-bit save that succeeded";
            (void)before;
        }
    }
}


TEST_F(BmpTest, AFailedWriteLeavesTheExistingFileUntouched)
{
    QV_NEEDS_STAND_IN();
    doc = MakeDocument(40, 30, [](int x, int y) { return Rgbh(x, y, x + y, 200); });
    const std::string path = dir.File("precious.bmp");
    const std::vector<std::uint8_t> old = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
    for (int depth : {16, 24, 32}) {
        SCOPED_TRACE(std::to_string(depth) + " bits");
        ASSERT_TRUE(WriteBytes(path, old));
        MessageCapture messages;
        int rc = 0;
        {
            FileSizeLimit limit(1000);  // the picture needs well over 3000 bytes
            ASSERT_TRUE(limit.Active());
            rc = Write(depth, path);
        }
        EXPECT_EQ(rc, -1);
        EXPECT_TRUE(messages.Has("Error", kCreateFailed)) << messages.Joined();
        EXPECT_EQ(ReadBytes(path), old);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"precious.bmp"}) << "no temporary file left behind";
        EXPECT_EQ(GetPixel(doc, 5, 5).height, 200) << "HeightBytes are cleared only by a save that succeeded";
    }
}

TEST_F(BmpTest, EveryFailedAllocationWhileWritingLeavesTheExistingFileUntouched)
{
    QV_NEEDS_STAND_IN();
    doc = MakeDocument(5, 3, [](int x, int y) { return Rgbh(x, y, 7, 99); });
    const std::string path = dir.File("keep.bmp");
    const std::vector<std::uint8_t> old = {'B', 'M', 'o', 'l', 'd'};
    for (int depth : {16, 24, 32}) {
        bool succeeded = false;
        for (long n = 1; n <= 20 && !succeeded; ++n) {
            SCOPED_TRACE(std::to_string(depth) + " bits, allocation " + std::to_string(n) + " fails");
            ASSERT_TRUE(WriteBytes(path, old));
            const long blocks = StandInLiveBlocks();
            MessageCapture messages;
            StandInFailNthAllocation(n);
            const int rc = Write(depth, path);
            StandInFailNthAllocation(0);
            EXPECT_LIVE_BLOCKS(blocks);
            if (rc == 0) {
                succeeded = true;
                EXPECT_EQ(ReadBytes(path).size(), depth == 32 ? 70u + 60u : depth == 24 ? 54u + 48u : 54u + 36u);
            } else {
                EXPECT_EQ(rc, -1);
                EXPECT_EQ(ReadBytes(path), old);
                EXPECT_EQ(messages.CountCaption("Error"), 1u) << messages.Joined();
                EXPECT_EQ(GetPixel(doc, 1, 1).height, 99);
                EXPECT_EQ(dir.Names(), std::vector<std::string>{"keep.bmp"});
            }
        }
        EXPECT_TRUE(succeeded);
    }
}

TEST_F(BmpTest, ASuccessfulSaveReplacesTheOldFileAndLeavesNoTemporary)
{
    doc = MakeDocument(2, 2, Colourful);
    const std::string path = dir.File("replace.bmp");
    ASSERT_TRUE(WriteBytes(path, std::vector<std::uint8_t>(5000, 0xAB)));
    ASSERT_EQ(Write(24, path), 0);
    EXPECT_EQ(ReadBytes(path).size(), 54u + 16u) << "the longer old file is gone, not overwritten in part";
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"replace.bmp"});
}

}  // namespace

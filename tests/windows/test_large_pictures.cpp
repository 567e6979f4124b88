// Large pictures in the Windows programs: read whole, or refused with a
// message, never a crash; the picture held before is kept when refused.
#include "support/jpeg_generator.h"
#include "support/shown.h"
#include "support/win_test_support.h"

#include "files/jpeg_reader.h"
#include "image/image_document.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace wintest;

namespace {

void SetPath(ImageDocument* doc, const std::string& path)
{
    std::memset(doc->path, 0, sizeof doc->path);
    std::memcpy(doc->path, path.data(), path.size());
}

// The generator's picture: the top half red-ish, the bottom half blue-ish
// (within JPEG's rounding).  (x, y) from the top-left.
void ExpectGeneratedPixel(const ImageDocument& doc, int x, int y)
{
    const BYTE* p = WorkDibPixels(doc.dib) + (static_cast<std::size_t>(doc.height - 1 - y) * doc.width + x) * 4;
    const bool top = y < doc.height / 2;
    EXPECT_NEAR(p[2], top ? 200 : 20, 8) << x << "," << y;
    EXPECT_NEAR(p[1], top ? 40 : 50, 8) << x << "," << y;
    EXPECT_NEAR(p[0], top ? 30 : 210, 8) << x << "," << y;
}

}  // namespace

TEST(LargePictures, HundredMegapixelJpegIsReadWhole)
{
    TempDir dir;
    const std::string path = dir.File("big.jpg");
    ASSERT_TRUE(qvtest::WriteFlatJpeg(path, 10000, 10000, 50, false));

    ImageDocument doc = {};
    SetPath(&doc, path);
    DialogDriver driver;  // any message box would be recorded (and fail below)
    const int result = Shown(ReadJpegFile(&doc));
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(result, 0) << "a 100-megapixel picture fits the large-address-aware program";
    EXPECT_EQ(doc.width, 10000);
    EXPECT_EQ(doc.height, 10000);
    ExpectGeneratedPixel(doc, 0, 0);
    ExpectGeneratedPixel(doc, 9999, 100);
    ExpectGeneratedPixel(doc, 5000, 9999);
    ReleaseDocument(&doc);
}

// The largest picture the program accepts (16384 x 16384, 2^28 pixels, a
// 1 GiB block) needs more address space than a 32-bit process has left
// beside the program and its display copy; the 64-bit program reads it.
TEST(LargePictures, LargestAllowedPictureIsReadWholeByThe64BitProgram)
{
    if (sizeof(void*) == 4) GTEST_SKIP() << "the 32-bit program reads 100 megapixels (above)";
    TempDir dir;
    const std::string path = dir.File("largest.jpg");
    ASSERT_TRUE(qvtest::WriteFlatJpeg(path, 16384, 16384, 50, false));

    ImageDocument doc = {};
    SetPath(&doc, path);
    DialogDriver driver;
    ASSERT_EQ(Shown(ReadJpegFile(&doc)), 0);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_EQ(doc.width, 16384);
    EXPECT_EQ(doc.height, 16384);
    ExpectGeneratedPixel(doc, 0, 0);
    ExpectGeneratedPixel(doc, 16383, 4000);
    ExpectGeneratedPixel(doc, 8000, 16383);
    ImageDocument display = {};
    EXPECT_EQ(BuildDisplayCopy(&display, &doc), 0) << "the display copy fits beside it";
    ReleaseDocument(&display);
    ReleaseDocument(&doc);
}

TEST(LargePictures, PictureBeyondTheLimitIsRefusedAndThePictureKept)
{
    TempDir dir;
    const std::string small = dir.File("small.jpg");
    const std::string huge = dir.File("huge.jpg");
    ASSERT_TRUE(qvtest::WriteFlatJpeg(small, 64, 48, 80, false));
    // 60000 x 5000 = 300 megapixels: more than a picture may have.
    ASSERT_TRUE(qvtest::WriteFlatJpeg(huge, 60000, 5000, 50, false));

    ImageDocument doc = {};
    SetPath(&doc, small);
    ASSERT_EQ(Shown(ReadJpegFile(&doc)), 0);
    const HGLOBAL block = doc.hDib;

    SetPath(&doc, huge);
    DialogDriver driver;
    driver.AnswerMessageBox(IDOK);
    EXPECT_EQ(Shown(ReadJpegFile(&doc)), -1);
    ASSERT_EQ(driver.MessageBoxes().size(), 1u);
    EXPECT_EQ(driver.MessageBoxes()[0].caption, "Error");
    EXPECT_NE(driver.MessageBoxes()[0].text.find(U8(u8"JPEGファイルを読み込めませんでした。")), std::string::npos);
    EXPECT_EQ(doc.hDib, block);
    EXPECT_EQ(doc.width, 64);
    EXPECT_EQ(doc.height, 48);
    ReleaseDocument(&doc);
}

// Large pictures in the 32-bit program: read whole, or refused with a
// message, never a crash; the picture held before is kept when refused.
#include "support/big_jpeg.h"
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

// The gradient the generator wrote, at (x, y) from the top-left: blue
// 128, green by row, red by column (within JPEG's rounding).
void ExpectGradientPixel(const ImageDocument& doc, int x, int y)
{
    const BYTE* p = WorkDibPixels(doc.dib) + (static_cast<std::size_t>(doc.height - 1 - y) * doc.width + x) * 4;
    EXPECT_NEAR(p[0], 128, 12) << x << "," << y;
    EXPECT_NEAR(p[1], y * 255 / doc.height, 12) << x << "," << y;
    EXPECT_NEAR(p[2], x * 255 / doc.width, 12) << x << "," << y;
}

}  // namespace

TEST(LargePictures, HundredMegapixelJpegIsReadWhole)
{
    TempDir dir;
    const std::string path = dir.File("big.jpg");
    ASSERT_TRUE(WriteGradientJpeg(path.c_str(), 10000, 10000));

    ImageDocument doc = {};
    SetPath(&doc, path);
    DialogDriver driver;  // any message box would be recorded (and fail below)
    const int result = ReadJpegFile(nullptr, &doc);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(result, 0) << "a 100-megapixel picture fits the large-address-aware program";
    EXPECT_EQ(doc.width, 10000);
    EXPECT_EQ(doc.height, 10000);
    ExpectGradientPixel(doc, 0, 0);
    ExpectGradientPixel(doc, 9999, 0);
    ExpectGradientPixel(doc, 5000, 9999);
    ReleaseDocument(&doc);
}

TEST(LargePictures, PictureBeyondTheLimitIsRefusedAndThePictureKept)
{
    TempDir dir;
    const std::string small = dir.File("small.jpg");
    const std::string huge = dir.File("huge.jpg");
    ASSERT_TRUE(WriteGradientJpeg(small.c_str(), 64, 48));
    // 60000 x 5000 = 300 megapixels: more than a picture may have.
    ASSERT_TRUE(WriteGradientJpeg(huge.c_str(), 60000, 5000));

    ImageDocument doc = {};
    SetPath(&doc, small);
    ASSERT_EQ(ReadJpegFile(nullptr, &doc), 0);
    const HGLOBAL block = doc.hDib;

    SetPath(&doc, huge);
    DialogDriver driver;
    driver.AnswerMessageBox(IDOK);
    EXPECT_EQ(ReadJpegFile(nullptr, &doc), -1);
    ASSERT_EQ(driver.MessageBoxes().size(), 1u);
    EXPECT_EQ(driver.MessageBoxes()[0].caption, "Error");
    EXPECT_NE(driver.MessageBoxes()[0].text.find(U8(u8"JPEGファイルを読み込めませんでした。")), std::string::npos);
    EXPECT_EQ(doc.hDib, block);
    EXPECT_EQ(doc.width, 64);
    EXPECT_EQ(doc.height, 48);
    ReleaseDocument(&doc);
}

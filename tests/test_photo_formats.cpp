// PNG and WebP files and the metadata carried between pictures, through the
// libraries the build links (natively Debian's, on Windows the static ones
// of scripts/build-windows-deps.sh); the metadata is written and read back
// with Exiv2 used directly.

#include "files/jpeg_writer.h"
#include "files/metadata_copy.h"
#include "files/png_file.h"
#include "files/webp_file.h"
#include "support/jpeg_generator.h"
#include "support/test_support.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace qvtest;

namespace {

constexpr int kWidth = 23;
constexpr int kHeight = 17;

// The failure and the library's words, for assertion messages.
std::string Said(const Outcome& outcome)
{
    return "failure " + std::to_string(static_cast<int>(outcome.failure)) + ": " + outcome.detail;
}

Pixel Colourful(int x, int y)
{
    return Rgbh(x * 11 % 256, y * 15 % 256, (x * y * 7 + 3) % 256);
}

// One alpha byte per pixel in the WorkDib's order (rows bottom-up), every
// value from 0 to 255 somewhere.
std::vector<std::uint8_t> AlphaPlane()
{
    std::vector<std::uint8_t> alpha(kWidth * kHeight);
    for (std::size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = static_cast<std::uint8_t>(i * 37 % 256);
    return alpha;
}

class PhotoFormatsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        blocksBefore = StandInLiveBlocks();
        picture = MakeDocument(kWidth, kHeight, Colourful);
    }
    void TearDown() override
    {
        ReleaseDocument(&picture);
        ReleaseDocument(&readBack);
        EXPECT_LIVE_BLOCKS(blocksBefore) << "blocks leaked";
    }

    TempDir dir;
    ImageDocument picture{};
    ImageDocument readBack{};
    long blocksBefore = 0;
};

// ---- Pixels ----------------------------------------------------------------------

TEST_F(PhotoFormatsTest, PngAndLosslessWebpGiveBackEveryPixelAndAlphaByte)
{
    struct Case {
        const char* name;
        bool webp;
        bool withAlpha;
    };
    const std::vector<std::uint8_t> plane = AlphaPlane();
    for (const Case& c : {Case{"opaque.png", false, false}, Case{"alpha.png", false, true},
                          Case{"opaque.webp", true, false}, Case{"alpha.webp", true, true}}) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        const std::uint8_t* alpha = c.withAlpha ? plane.data() : nullptr;
        const Outcome written = c.webp ? WriteWebpFile(path.c_str(), &picture, alpha, 80, true)
                                       : WritePngFile(path.c_str(), &picture, alpha);
        ASSERT_TRUE(written.ok()) << Said(written);
        std::vector<std::uint8_t> readAlpha;
        ReleaseDocument(&readBack);
        const Outcome read = c.webp ? ReadWebpFile(path.c_str(), &readBack, &readAlpha)
                                    : ReadPngFile(path.c_str(), &readBack, &readAlpha);
        ASSERT_TRUE(read.ok()) << Said(read);
        EXPECT_TRUE(PixelsMatch(readBack, kWidth, kHeight, Colourful, false));
        if (c.withAlpha)
            EXPECT_EQ(readAlpha, plane);
        else
            EXPECT_TRUE(readAlpha.empty());
    }
}

TEST_F(PhotoFormatsTest, LossyWebpKeepsTheSizeAndEveryAlphaByte)
{
    const std::vector<std::uint8_t> plane = AlphaPlane();
    const std::string path = dir.File("lossy.webp");
    const Outcome written = WriteWebpFile(path.c_str(), &picture, plane.data(), 90, false);
    ASSERT_TRUE(written.ok()) << Said(written);
    std::vector<std::uint8_t> readAlpha;
    const Outcome read = ReadWebpFile(path.c_str(), &readBack, &readAlpha);
    ASSERT_TRUE(read.ok()) << Said(read);
    EXPECT_EQ(readBack.width, kWidth);
    EXPECT_EQ(readBack.height, kHeight);
    EXPECT_EQ(readAlpha, plane);
}

// ---- Metadata ----------------------------------------------------------------------

constexpr long kSourceWidth = 40;
constexpr long kSourceHeight = 30;

// A small ICC profile: its header gives its own length, as a profile's must.
Exiv2::DataBuf Profile()
{
    Exiv2::DataBuf profile(132);
    for (long i = 0; i < profile.size_; ++i)
        profile.pData_[i] = static_cast<Exiv2::byte>(i * 7);
    const Exiv2::byte head[] = {0, 0, 0, 132};
    std::copy(std::begin(head), std::end(head), profile.pData_);
    std::copy_n("acsp", 4, profile.pData_ + 36);
    return profile;
}

// A JPEG photograph with EXIF (turned a quarter, a thumbnail, dimensions of
// the camera's picture), XMP, IPTC and an ICC profile, written with Exiv2.
void WritePhotograph(const TempDir& dir, const std::string& path)
{
    const std::string thumbnail = dir.File("thumbnail.jpg");
    ASSERT_TRUE(WriteFlatJpeg(thumbnail, 16, 12, 75, false));
    ASSERT_TRUE(WriteFlatJpeg(path, kSourceWidth, kSourceHeight, 90, false));
    std::unique_ptr<Exiv2::Image> image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Quillvane Test";
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(6);
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(4000);
    exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(3000);
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail);
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.creator"] = "Tester";
    xmp["Xmp.tiff.Orientation"] = "6";
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Caption"] = "A caption";
    image->setExifData(exif);
    image->setXmpData(xmp);
    image->setIptcData(iptc);
    Exiv2::DataBuf profile = Profile();
    image->setIccProfile(profile, true);
    image->writeMetadata();
}

std::string Value(const Exiv2::ExifData& exif, const char* key)
{
    auto found = exif.findKey(Exiv2::ExifKey(key));
    return found == exif.end() ? "(none)" : found->toString();
}

std::string Value(const Exiv2::XmpData& xmp, const char* key)
{
    auto found = xmp.findKey(Exiv2::XmpKey(key));
    return found == xmp.end() ? "(none)" : found->toString();
}

// Every target type gets the source's EXIF, XMP, IPTC (WebP: in XMP) and
// ICC profile, without the thumbnail, with its own dimensions and, the
// picture having been turned upright, orientation 1.  The source's name is
// not ASCII, which the Windows build must open in the ANSI code page.
TEST_F(PhotoFormatsTest, MetadataIsCarriedIntoEachTypeOfFile)
{
    const std::string made = dir.File("made.jpg");
    WritePhotograph(dir, made);
    if (HasFatalFailure())
        return;
    const std::string source = dir.File("写真.jpg");
    ASSERT_TRUE(WriteBytes(source, ReadBytes(made)));

    int orientation = 0;
    const Outcome read = ReadOrientation(source.c_str(), &orientation);
    ASSERT_TRUE(read.ok()) << Said(read);
    EXPECT_EQ(orientation, 6);

    enum class Type { jpeg, png, webp };
    struct Target {
        const char* name;
        Type type;
    };
    for (const Target& t : {Target{"target.jpg", Type::jpeg}, Target{"target.png", Type::png},
                            Target{"target.webp", Type::webp}}) {
        SCOPED_TRACE(t.name);
        const std::string target = dir.File(t.name);
        Outcome written;
        if (t.type == Type::jpeg) {
            ImageDocument copy = picture;
            SetPath(&copy, target);
            written = WriteJpegFile(&copy, JpegWriteSettings{});
        } else if (t.type == Type::png) {
            written = WritePngFile(target.c_str(), &picture, nullptr);
        } else {
            written = WriteWebpFile(target.c_str(), &picture, nullptr, 80, false);
        }
        ASSERT_TRUE(written.ok()) << Said(written);
        const Outcome copied = CopyMetadata(source.c_str(), target.c_str(), kWidth, kHeight, true);
        ASSERT_TRUE(copied.ok()) << Said(copied);

        std::unique_ptr<Exiv2::Image> carried = Exiv2::ImageFactory::open(target);
        carried->readMetadata();
        const Exiv2::ExifData& exif = carried->exifData();
        EXPECT_EQ(Value(exif, "Exif.Image.Make"), "Quillvane Test");
        EXPECT_EQ(Value(exif, "Exif.Image.Orientation"), "1");
        EXPECT_EQ(Value(exif, "Exif.Photo.PixelXDimension"), std::to_string(kWidth));
        EXPECT_EQ(Value(exif, "Exif.Photo.PixelYDimension"), std::to_string(kHeight));
        EXPECT_EQ(Value(exif, "Exif.Thumbnail.JPEGInterchangeFormat"), "(none)") << "the thumbnail was kept";
        const Exiv2::XmpData& xmp = carried->xmpData();
        EXPECT_EQ(Value(xmp, "Xmp.dc.creator"), "Tester");
        EXPECT_EQ(Value(xmp, "Xmp.tiff.Orientation"), "1");
        if (t.type == Type::webp) {
            EXPECT_EQ(Value(xmp, "Xmp.dc.description"), "lang=\"x-default\" A caption");
        } else {
            auto caption = carried->iptcData().findKey(Exiv2::IptcKey("Iptc.Application2.Caption"));
            ASSERT_NE(caption, carried->iptcData().end());
            EXPECT_EQ(caption->toString(), "A caption");
        }
        ASSERT_TRUE(carried->iccProfileDefined());
        const Exiv2::DataBuf expected = Profile();
        const Exiv2::DataBuf* profile = carried->iccProfile();
        EXPECT_EQ(std::vector<Exiv2::byte>(profile->pData_, profile->pData_ + profile->size_),
                  std::vector<Exiv2::byte>(expected.pData_, expected.pData_ + expected.size_));

        // The file is still a picture of the size written.
        ReleaseDocument(&readBack);
        std::vector<std::uint8_t> alpha;
        if (t.type == Type::png) {
            EXPECT_TRUE(ReadPngFile(target.c_str(), &readBack, &alpha).ok());
        } else if (t.type == Type::webp) {
            EXPECT_TRUE(ReadWebpFile(target.c_str(), &readBack, &alpha).ok());
        }
    }
}

// A PNG's iCCP chunk whose profile does not decompress: Exiv2 0.27 reads it
// as a profile of uninitialised bytes, which must not reach the file
// written; the metadata is unreadable instead, and the target untouched.
TEST_F(PhotoFormatsTest, PngProfileThatDoesNotDecompressIsRefused)
{
    const std::string png = dir.File("source.png");
    ASSERT_TRUE(WritePngFile(png.c_str(), &picture, nullptr).ok());
    std::vector<std::uint8_t> bytes = ReadBytes(png);
    ASSERT_GT(bytes.size(), 33u);
    // An iCCP chunk after IHDR (8 + 25 bytes): name, method 0, bad data.
    const std::string data = std::string("profile") + '\0' + '\0' + "not a zlib stream at all";
    std::vector<std::uint8_t> chunk = {0, 0, 0, static_cast<std::uint8_t>(data.size()), 'i', 'C', 'C', 'P'};
    chunk.insert(chunk.end(), data.begin(), data.end());
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 4; i < chunk.size(); ++i) {
        crc ^= chunk[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.push_back(static_cast<std::uint8_t>(crc >> shift));
    bytes.insert(bytes.begin() + 33, chunk.begin(), chunk.end());
    ASSERT_TRUE(WriteBytes(png, bytes));

    const std::string target = dir.File("target.png");
    ASSERT_TRUE(WritePngFile(target.c_str(), &picture, nullptr).ok());
    const std::vector<std::uint8_t> before = ReadBytes(target);
    EXPECT_EQ(CopyMetadata(png.c_str(), target.c_str(), kWidth, kHeight, false).failure,
              Failure::MetadataUnreadable);
    EXPECT_TRUE(SameBytes(ReadBytes(target), before));
}

}  // namespace

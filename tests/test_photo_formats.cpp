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

enum class Type { jpeg, png, webp };

// Writes picture to target as type with metadata (none when null), as the
// command-line tool does: a JPEG file gets the metadata's segments.
Outcome WriteWithMetadata(Type type, const std::string& target, const ImageDocument& picture,
                          const PhotoMetadata* metadata)
{
    if (type == Type::png)
        return WritePngFile(target.c_str(), &picture, nullptr, metadata);
    if (type == Type::webp)
        return WriteWebpFile(target.c_str(), &picture, nullptr, 80, false, metadata);
    std::vector<JpegSegment> segments;
    if (metadata)
        if (Outcome packed = JpegMetadataSegments(*metadata, &segments); !packed.ok())
            return packed;
    ImageDocument copy = picture;
    SetPath(&copy, target);
    return WriteJpegFile(&copy, JpegWriteSettings{kJpegQualityDefault, false, segments});
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

    PhotoMetadata metadata;
    // Read as it is, the metadata in memory says the same orientation.
    ASSERT_TRUE(ReadPhotoMetadata(source.c_str(), MetadataSettings{MetadataKeep::All, kWidth, kHeight, false},
                                  &metadata)
                    .ok());
    EXPECT_EQ(PhotoOrientation(metadata), 6);
    EXPECT_EQ(PhotoOrientation(PhotoMetadata{}), 1);
    const Outcome taken = ReadPhotoMetadata(source.c_str(), MetadataSettings{MetadataKeep::All, kWidth, kHeight, true},
                                            &metadata);
    ASSERT_TRUE(taken.ok()) << Said(taken);
    EXPECT_EQ(PhotoOrientation(metadata), 1) << "turned upright";

    struct Target {
        const char* name;
        Type type;
    };
    for (const Target& t : {Target{"target.jpg", Type::jpeg}, Target{"target.png", Type::png},
                            Target{"target.webp", Type::webp}}) {
        SCOPED_TRACE(t.name);
        const std::string target = dir.File(t.name);
        const Outcome written = WriteWithMetadata(t.type, target, picture, &metadata);
        ASSERT_TRUE(written.ok()) << Said(written);

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
// written; the metadata is unreadable instead, none is given, and the
// target is untouched.
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
    PhotoMetadata metadata;
    metadata.xmp = "left from before";
    EXPECT_EQ(ReadPhotoMetadata(png.c_str(), MetadataSettings{MetadataKeep::All, kWidth, kHeight, false}, &metadata)
                  .failure,
              Failure::MetadataUnreadable);
    EXPECT_TRUE(metadata.empty());
    EXPECT_TRUE(SameBytes(ReadBytes(target), before));
}

// The bytes of a file that hold the picture itself, without the metadata's
// segments or chunks: for JPEG everything from the first segment that is
// not an application segment (tables, frame, scans); for PNG the IHDR,
// IDAT and IEND chunks; for WebP the VP8, VP8L and ALPH chunks.
std::vector<std::uint8_t> PictureBytes(Type type, const std::vector<std::uint8_t>& file)
{
    auto big = [&](std::size_t at) { return (std::uint32_t{file[at]} << 8) | file[at + 1]; };
    std::vector<std::uint8_t> kept;
    if (type == Type::jpeg) {
        std::size_t at = 2;
        while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] >= 0xE0 && file[at + 1] <= 0xEF)
            at += 2 + big(at + 2);
        kept.assign(file.begin() + static_cast<std::ptrdiff_t>(std::min(at, file.size())), file.end());
        return kept;
    }
    const bool png = type == Type::png;
    std::size_t at = png ? 8 : 12;
    while (at + 8 <= file.size()) {
        const std::string kind(file.begin() + static_cast<std::ptrdiff_t>(at + (png ? 4 : 0)),
                               file.begin() + static_cast<std::ptrdiff_t>(at + (png ? 8 : 4)));
        const std::size_t length = png ? (big(at) << 16 | big(at + 2))
                                       : (file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16 | std::size_t{file[at + 7]} << 24);
        const std::size_t end = std::min(file.size(), at + 8 + length + (png ? 4 : length % 2));
        const bool picture = png ? kind == "IHDR" || kind == "IDAT" || kind == "IEND"
                                 : kind == "VP8 " || kind == "VP8L" || kind == "ALPH";
        if (picture)
            kept.insert(kept.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                        file.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
    }
    return kept;
}

// The metadata goes into the file as it is written and leaves the picture's
// own bytes as they are without it, for each type of file; a JPEG file
// keeps its JFIF header first; an ICC profile larger than one JPEG segment
// is split and comes back whole.
TEST_F(PhotoFormatsTest, MetadataLeavesThePictureBytesAsTheyAre)
{
    const std::string source = dir.File("photograph.jpg");
    WritePhotograph(dir, source);
    if (HasFatalFailure())
        return;
    PhotoMetadata metadata;
    const Outcome taken = ReadPhotoMetadata(source.c_str(), MetadataSettings{MetadataKeep::All, kWidth, kHeight, false},
                                            &metadata);
    ASSERT_TRUE(taken.ok()) << Said(taken);
    ASSERT_FALSE(metadata.exif.empty() || metadata.xmp.empty() || metadata.iptc.empty());
    // A profile of 150000 bytes: three APP2 segments in a JPEG file.
    metadata.icc.assign(150000, 0);
    for (std::size_t i = 0; i < metadata.icc.size(); ++i)
        metadata.icc[i] = static_cast<std::uint8_t>(i * 13 % 251);
    const std::uint8_t head[] = {0x00, 0x02, 0x49, 0xF0};  // 150000
    std::copy(std::begin(head), std::end(head), metadata.icc.begin());
    std::copy_n("acsp", 4, metadata.icc.begin() + 36);

    for (const auto& [type, name] : {std::pair{Type::jpeg, "jpg"}, std::pair{Type::png, "png"},
                                     std::pair{Type::webp, "webp"}}) {
        SCOPED_TRACE(name);
        const std::string bare = dir.File(std::string("bare.") + name);
        const std::string carrying = dir.File(std::string("carrying.") + name);
        ASSERT_TRUE(WriteWithMetadata(type, bare, picture, nullptr).ok());
        const Outcome written = WriteWithMetadata(type, carrying, picture, &metadata);
        ASSERT_TRUE(written.ok()) << Said(written);
        const std::vector<std::uint8_t> bareBytes = ReadBytes(bare);
        const std::vector<std::uint8_t> carryingBytes = ReadBytes(carrying);
        EXPECT_GT(carryingBytes.size(), bareBytes.size());
        EXPECT_FALSE(PictureBytes(type, bareBytes).empty());
        EXPECT_TRUE(SameBytes(PictureBytes(type, carryingBytes), PictureBytes(type, bareBytes)));
        if (type == Type::jpeg) {
            ASSERT_GT(carryingBytes.size(), 12u);
            EXPECT_EQ(std::string(carryingBytes.begin() + 2, carryingBytes.begin() + 4), "\xFF\xE0");
            EXPECT_EQ(std::string(carryingBytes.begin() + 6, carryingBytes.begin() + 11), std::string("JFIF\0", 5));
        }

        std::unique_ptr<Exiv2::Image> carried = Exiv2::ImageFactory::open(carrying);
        carried->readMetadata();
        EXPECT_EQ(Value(carried->exifData(), "Exif.Image.Make"), "Quillvane Test");
        ASSERT_TRUE(carried->iccProfileDefined());
        const Exiv2::DataBuf* profile = carried->iccProfile();
        EXPECT_EQ(std::vector<std::uint8_t>(profile->pData_, profile->pData_ + profile->size_), metadata.icc);
        PhotoMetadata again;  // through the reader of the metadata too (a JPEG head of 150 KB)
        const Outcome reread = ReadPhotoMetadata(
            carrying.c_str(), MetadataSettings{MetadataKeep::All, kWidth, kHeight, false}, &again);
        EXPECT_TRUE(reread.ok()) << Said(reread);
        EXPECT_EQ(again.icc, metadata.icc);
        EXPECT_EQ(again.exif, metadata.exif);
        ReleaseDocument(&readBack);
        std::vector<std::uint8_t> alpha;
        const Outcome read = type == Type::png    ? ReadPngFile(carrying.c_str(), &readBack, &alpha)
                             : type == Type::webp ? ReadWebpFile(carrying.c_str(), &readBack, &alpha)
                                                  : Outcome{};
        EXPECT_TRUE(read.ok()) << Said(read);
    }
}

// What each way of keeping the metadata keeps of a photograph that says
// where it was taken (GPS tags, XMP and IPTC place names), read back from
// the JPEG file written.
TEST_F(PhotoFormatsTest, KeepingAllButTheLocationRemovesEveryPlace)
{
    const std::string source = dir.File("located.jpg");
    WritePhotograph(dir, source);
    if (HasFatalFailure())
        return;
    {
        std::unique_ptr<Exiv2::Image> image = Exiv2::ImageFactory::open(source);
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.GPSInfo.GPSLatitude"] = "35/1 40/1 0/1";
        Exiv2::XmpData& xmp = image->xmpData();
        xmp["Xmp.exif.GPSLatitude"] = "35,40.0N";
        xmp["Xmp.photoshop.City"] = "Kyoto";
        xmp["Xmp.photoshop.Country"] = "Japan";
        xmp["Xmp.iptc.Location"] = "Gion";
        Exiv2::IptcData& iptc = image->iptcData();
        iptc["Iptc.Application2.City"] = "Kyoto";
        iptc["Iptc.Application2.SubLocation"] = "Gion";
        image->writeMetadata();
    }
    const char* const places[] = {"Exif.GPSInfo.GPSLatitude", "Xmp.exif.GPSLatitude", "Xmp.photoshop.City",
                                  "Xmp.photoshop.Country",    "Xmp.iptc.Location",    "Iptc.Application2.City",
                                  "Iptc.Application2.SubLocation"};
    const char* const others[] = {"Exif.Image.Make", "Xmp.dc.creator", "Iptc.Application2.Caption"};
    struct Case {
        MetadataKeep keep;
        bool places;
        bool others;
    };
    for (const Case& c : {Case{MetadataKeep::All, true, true}, Case{MetadataKeep::AllButLocation, false, true},
                          Case{MetadataKeep::None, false, false}}) {
        SCOPED_TRACE(static_cast<int>(c.keep));
        PhotoMetadata metadata;
        const Outcome taken =
            ReadPhotoMetadata(source.c_str(), MetadataSettings{c.keep, kWidth, kHeight, false}, &metadata);
        ASSERT_TRUE(taken.ok()) << Said(taken);
        EXPECT_EQ(metadata.empty(), !c.others);
        const std::string target = dir.File("kept.jpg");
        ASSERT_TRUE(WriteWithMetadata(Type::jpeg, target, picture, &metadata).ok());
        std::unique_ptr<Exiv2::Image> carried = Exiv2::ImageFactory::open(target);
        carried->readMetadata();
        auto has = [&](const std::string& key) {
            if (key.rfind("Exif.", 0) == 0)
                return carried->exifData().findKey(Exiv2::ExifKey(key)) != carried->exifData().end();
            if (key.rfind("Xmp.", 0) == 0)
                return carried->xmpData().findKey(Exiv2::XmpKey(key)) != carried->xmpData().end();
            return carried->iptcData().findKey(Exiv2::IptcKey(key)) != carried->iptcData().end();
        };
        for (const char* key : places)
            EXPECT_EQ(has(key), c.places) << key;
        for (const char* key : others)
            EXPECT_EQ(has(key), c.others) << key;
        EXPECT_EQ(carried->iccProfileDefined(), c.others);
    }
}

// Metadata a JPEG segment cannot hold (an XMP packet over 64 KB) is
// refused before anything is written; PNG and WebP files hold it.
TEST_F(PhotoFormatsTest, MetadataTooLargeForAJpegSegmentIsRefused)
{
    PhotoMetadata metadata;
    metadata.xmp = "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>" + std::string(70000, ' ') +
                   "<?xpacket end=\"w\"?>";
    std::vector<JpegSegment> segments;
    EXPECT_EQ(JpegMetadataSegments(metadata, &segments).failure, Failure::MetadataUnwritable);
    EXPECT_TRUE(segments.empty());
    const std::string jpeg = dir.File("refused.jpg");
    EXPECT_EQ(WriteWithMetadata(Type::jpeg, jpeg, picture, &metadata).failure, Failure::MetadataUnwritable);
    EXPECT_TRUE(ReadBytes(jpeg).empty()) << "a file was written";
    for (const char* name : {"held.png", "held.webp"}) {
        const std::string path = dir.File(name);
        const Outcome written = WriteWithMetadata(name[5] == 'p' ? Type::png : Type::webp, path, picture, &metadata);
        EXPECT_TRUE(written.ok()) << name << ": " << Said(written);
    }
}

}  // namespace

#include "files/metadata_copy.h"

#include "platform/file_names.h"
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace std::string_literals;

namespace {

// Exiv2's warnings go to standard error by default; a batch reports each
// file's problems itself, once.
void PrepareExiv2()
{
    static const bool prepared = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        return true;
    }();
    (void)prepared;
}

// Where a JPEG file's metadata ends: just past the header of its first
// scan, before which lie all the segments Exiv2 reads.  0 when bytes do not
// reach that far yet, kNotJpegHead when they are no JPEG file's head.
constexpr std::size_t kNotJpegHead = ~std::size_t{0};

std::size_t JpegHeadEnd(const std::vector<Exiv2::byte>& bytes)
{
    if (bytes.size() < 2)
        return 0;
    if (bytes[0] != 0xFF || bytes[1] != 0xD8)
        return kNotJpegHead;
    std::size_t at = 2;
    while (at + 2 <= bytes.size()) {
        if (bytes[at] != 0xFF)
            return kNotJpegHead;
        const Exiv2::byte marker = bytes[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9)  // the end, with no scan
            return at + 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            at += 2;
            continue;
        }
        if (at + 4 > bytes.size())
            return 0;
        const std::size_t end = at + 2 + (std::size_t{bytes[at + 2]} << 8 | bytes[at + 3]);
        if (marker == 0xDA)
            return end <= bytes.size() ? end : 0;
        at = end;
    }
    return 0;
}

// Exiv2 is given files in memory, read here: Exiv2 0.27 opens files only
// by narrow path.  With headOnly a JPEG file is read only as far as its
// metadata goes (*whole tells whether all of it was read).  Failing to open
// or read a file is reported in Exiv2's own words, as when it opened the
// file itself.
std::vector<Exiv2::byte> ReadFileBytes(const char* path, bool headOnly, bool* whole)
{
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (!file)
        throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, path, Exiv2::strError());
    std::vector<Exiv2::byte> bytes;
    *whole = true;
    std::size_t got = 0;
    do {
        const std::size_t have = bytes.size();
        const std::size_t chunk = headOnly ? std::size_t{1} << 16 : std::size_t{1} << 20;
        bytes.resize(have + chunk);
        got = std::fread(bytes.data() + have, 1, chunk, file);
        bytes.resize(have + got);
        const std::size_t headEnd = headOnly && got > 0 ? JpegHeadEnd(bytes) : 0;
        if (headEnd == kNotJpegHead) {
            headOnly = false;
        } else if (headEnd != 0) {
            bytes.resize(headEnd);
            *whole = false;
            break;
        }
    } while (got > 0);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        throw Exiv2::Error(Exiv2::kerInputDataReadFailed);
    return bytes;
}

// The picture in bytes (which must outlive it), its metadata read; path
// names it in errors.
std::unique_ptr<Exiv2::Image> OpenWithMetadata(const std::vector<Exiv2::byte>& bytes, const char* path)
{
    Exiv2::BasicIo::AutoPtr io(new Exiv2::MemIo(bytes.data(), static_cast<long>(bytes.size())));
    std::unique_ptr<Exiv2::Image> image = Exiv2::ImageFactory::open(io);
    if (!image.get())
        throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType, path);
    image->readMetadata();
    return image;
}

// The file at path with its metadata read from *bytes, which it fills: a
// JPEG file's head only, unless Exiv2 finds fault with that, when it reads
// the whole file and has the last word.
std::unique_ptr<Exiv2::Image> OpenFileWithMetadata(const char* path, std::vector<Exiv2::byte>* bytes)
{
    bool whole = true;
    *bytes = ReadFileBytes(path, true, &whole);
    if (!whole) {
        try {
            return OpenWithMetadata(*bytes, path);
        } catch (const std::exception&) {
        }
        *bytes = ReadFileBytes(path, false, &whole);
    }
    return OpenWithMetadata(*bytes, path);
}

// Exiv2 0.27 reads a PNG's iCCP chunk that does not decompress as a profile
// of uninitialised bytes.  A PNG's profile is copied only when it passes
// Exiv2's own check of a profile (its header gives its length).
void RefuseBrokenPngProfile(Exiv2::Image& image)
{
    if (image.imageType() != Exiv2::ImageType::png || !image.iccProfileDefined())
        return;
    const Exiv2::DataBuf& profile = *image.iccProfile();
    if (profile.size_ < 4 ||
        Exiv2::getULong(profile.pData_, Exiv2::bigEndian) != static_cast<std::uint32_t>(profile.size_))
        throw Exiv2::Error(Exiv2::kerInvalidIccProfile);
}

void SetIfPresent(Exiv2::ExifData& exif, const char* key, std::uint32_t value)
{
    if (exif.findKey(Exiv2::ExifKey(key)) != exif.end())
        exif[key] = value;
}

void SetXmpIfPresent(Exiv2::XmpData& xmp, const char* key, const std::string& value)
{
    if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end())
        xmp[key] = value;
}

void EraseXmpFamily(Exiv2::XmpData& xmp, const char* key)
{
    // An array and its items share the key as a prefix.
    const std::string prefix = key;
    for (auto it = xmp.begin(); it != xmp.end();) {
        if (it->key().compare(0, prefix.size(), prefix) == 0)
            it = xmp.erase(it);
        else
            ++it;
    }
}

// The XMP properties that name a place, each with its items and fields.
constexpr const char* kXmpLocationKeys[] = {
    "Xmp.exif.GPS",          "Xmp.photoshop.City",          "Xmp.photoshop.State",
    "Xmp.photoshop.Country", "Xmp.iptc.Location",           "Xmp.iptc.CountryCode",
    "Xmp.iptcExt.LocationCreated", "Xmp.iptcExt.LocationShown",
};

// The IPTC data sets that name a place.
constexpr const char* kIptcLocationKeys[] = {
    "Iptc.Application2.City",        "Iptc.Application2.SubLocation",  "Iptc.Application2.ProvinceState",
    "Iptc.Application2.CountryCode", "Iptc.Application2.CountryName",  "Iptc.Application2.LocationCode",
    "Iptc.Application2.LocationName",
};

// Removes where the picture was taken: the GPS tags, and the place names of
// XMP and IPTC.
void EraseLocation(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, Exiv2::IptcData& iptc)
{
    for (auto it = exif.begin(); it != exif.end();) {
        if (it->groupName() == "GPSInfo" || it->key() == "Exif.Image.GPSTag")
            it = exif.erase(it);
        else
            ++it;
    }
    for (const char* key : kXmpLocationKeys)
        EraseXmpFamily(xmp, key);
    for (auto it = iptc.begin(); it != iptc.end();) {
        const std::string key = it->key();
        bool place = false;
        for (const char* location : kIptcLocationKeys)
            place = place || key == location;
        it = place ? iptc.erase(it) : it + 1;
    }
}

// The thumbnail goes, the dimension tags that exist take the size written,
// and the orientation tags that exist become 1 once the picture is upright.
void FitToWrittenPicture(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, const MetadataSettings& settings)
{
    Exiv2::ExifThumb(exif).erase();
    EraseXmpFamily(xmp, "Xmp.xmp.Thumbnails");
    const auto w = static_cast<std::uint32_t>(settings.width);
    const auto h = static_cast<std::uint32_t>(settings.height);
    SetIfPresent(exif, "Exif.Photo.PixelXDimension", w);
    SetIfPresent(exif, "Exif.Photo.PixelYDimension", h);
    SetIfPresent(exif, "Exif.Image.ImageWidth", w);
    SetIfPresent(exif, "Exif.Image.ImageLength", h);
    SetXmpIfPresent(xmp, "Xmp.exif.PixelXDimension", std::to_string(w));
    SetXmpIfPresent(xmp, "Xmp.exif.PixelYDimension", std::to_string(h));
    SetXmpIfPresent(xmp, "Xmp.tiff.ImageWidth", std::to_string(w));
    SetXmpIfPresent(xmp, "Xmp.tiff.ImageLength", std::to_string(h));
    if (settings.orientationApplied) {
        if (exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation")) != exif.end())
            exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
        SetXmpIfPresent(xmp, "Xmp.tiff.Orientation", "1");
    }
}

std::string EncodeXmp(const Exiv2::XmpData& xmp)
{
    std::string packet;
    if (!xmp.empty() && Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::useCompactFormat) != 0)
        throw Exiv2::Error(Exiv2::kerErrorMessage, "the XMP packet cannot be made");
    return packet;
}

// Encodes what settings keep of exif, xmp, iptc and the ICC profile icc
// into *metadata: the one place where metadata is filtered, whether it
// comes from a file or from memory.
void EncodeKept(Exiv2::ExifData exif, Exiv2::XmpData xmp, Exiv2::IptcData iptc, const std::uint8_t* icc,
                std::size_t iccBytes, const MetadataSettings& settings, PhotoMetadata* metadata)
{
    if (settings.keep == MetadataKeep::AllButLocation)
        EraseLocation(exif, xmp, iptc);
    FitToWrittenPicture(exif, xmp, settings);

    if (!exif.empty()) {
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
        metadata->exif.assign(blob.begin(), blob.end());
    }
    metadata->xmp = EncodeXmp(xmp);
    if (!iptc.empty()) {
        const Exiv2::DataBuf encoded = Exiv2::IptcParser::encode(iptc);
        metadata->iptc.assign(encoded.pData_, encoded.pData_ + encoded.size_);
    }
    metadata->icc.assign(icc, icc + iccBytes);
}

// Encodes what is kept of image's metadata into *metadata.
void EncodeMetadata(Exiv2::Image& image, const MetadataSettings& settings, PhotoMetadata* metadata)
{
    const Exiv2::DataBuf* profile = image.iccProfileDefined() ? image.iccProfile() : nullptr;
    EncodeKept(image.exifData(), image.xmpData(), image.iptcData(), profile ? profile->pData_ : nullptr,
               profile ? static_cast<std::size_t>(profile->size_) : 0, settings, metadata);
}

// Decodes metadata encoded by EncodeKept and encodes what settings keep.
void FilterEncoded(const PhotoMetadata& read, const MetadataSettings& settings, PhotoMetadata* metadata)
{
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
    if (!read.exif.empty())
        Exiv2::ExifParser::decode(exif, read.exif.data(), static_cast<std::uint32_t>(read.exif.size()));
    if (!read.xmp.empty() && Exiv2::XmpParser::decode(xmp, read.xmp) != 0)
        throw Exiv2::Error(Exiv2::kerErrorMessage, "the XMP packet cannot be read");
    if (!read.iptc.empty() &&
        Exiv2::IptcParser::decode(iptc, read.iptc.data(), static_cast<std::uint32_t>(read.iptc.size())) != 0)
        throw Exiv2::Error(Exiv2::kerErrorMessage, "the IPTC data cannot be read");
    EncodeKept(std::move(exif), std::move(xmp), std::move(iptc), read.icc.data(), read.icc.size(), settings,
               metadata);
}

// A Photoshop image resource block holding the IPTC data (resource 0x0404,
// no name), as JPEG's APP13 and PNG's raw profile carry it.
std::vector<std::uint8_t> IptcResourceBlock(const std::vector<std::uint8_t>& iptc)
{
    std::vector<std::uint8_t> block = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0};
    const auto size = static_cast<std::uint32_t>(iptc.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        block.push_back(static_cast<std::uint8_t>(size >> shift));
    block.insert(block.end(), iptc.begin(), iptc.end());
    if (iptc.size() % 2 != 0)
        block.push_back(0);
    return block;
}

JpegSegment Segment(std::uint8_t marker, std::string_view header, const std::uint8_t* data, std::size_t size)
{
    JpegSegment segment;
    segment.marker = marker;
    segment.payload.reserve(header.size() + size);
    segment.payload.insert(segment.payload.end(), header.begin(), header.end());
    segment.payload.insert(segment.payload.end(), data, data + size);
    return segment;
}

// JPEG carries an ICC profile in APP2 segments of at most this many bytes
// of it, numbered from 1, at most 255 of them.
constexpr std::size_t kIccChunkBytes = 65519;
constexpr std::size_t kIccChunksMax = 255;

// Runs work (which returns an Outcome) and turns whatever the library
// throws into failure, with the library's words where it gives some.
template <class Work>
Outcome Guarded(Failure failure, Work work)
{
    try {
        return work();
    } catch (const Exiv2::AnyError& error) {
        return LibraryFailure(failure, error.what());
    } catch (const std::exception& error) {
        return LibraryFailure(failure, error.what());
    } catch (...) {
        return Fail(failure);
    }
}

}  // namespace

std::unique_ptr<Exiv2::Image> OpenPhotoMetadata(const char* path, std::vector<std::uint8_t>* bytes)
{
    PrepareExiv2();
    return OpenFileWithMetadata(path, bytes);
}

namespace {

// The EXIF orientation, 1 to 8; 1 when there is none or it is out of range.
int OrientationIn(Exiv2::ExifData& exif)
{
    auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (found == exif.end() || found->count() == 0)
        return 1;
    const long value = found->toLong();
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

}  // namespace

Outcome ReadOrientation(const char* path, int* orientation)
{
    *orientation = 1;
    return Guarded(Failure::MetadataUnreadable, [&]() -> Outcome {
        PrepareExiv2();
        std::vector<Exiv2::byte> bytes;
        std::unique_ptr<Exiv2::Image> image = OpenFileWithMetadata(path, &bytes);
        *orientation = OrientationIn(image->exifData());
        return {};
    });
}

int PhotoOrientation(const PhotoMetadata& metadata)
{
    if (metadata.exif.empty())
        return 1;
    int orientation = 1;
    Guarded(Failure::MetadataUnreadable, [&]() -> Outcome {
        PrepareExiv2();
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, metadata.exif.data(), static_cast<std::uint32_t>(metadata.exif.size()));
        orientation = OrientationIn(exif);
        return {};
    });
    return orientation;
}

Outcome ReadPhotoMetadata(const char* source, const MetadataSettings& settings, PhotoMetadata* metadata)
{
    *metadata = {};
    if (settings.keep == MetadataKeep::None)
        return {};
    std::vector<Exiv2::byte> sourceBytes;
    std::unique_ptr<Exiv2::Image> from;
    const Outcome read = Guarded(Failure::MetadataUnreadable, [&]() -> Outcome {
        PrepareExiv2();
        from = OpenFileWithMetadata(source, &sourceBytes);
        RefuseBrokenPngProfile(*from);
        return {};
    });
    if (!read.ok())
        return read;
    const Outcome outcome = Guarded(Failure::MetadataUnwritable, [&]() -> Outcome {
        EncodeMetadata(*from, settings, metadata);
        return {};
    });
    if (!outcome.ok())
        *metadata = {};
    return outcome;
}

Outcome FilterPhotoMetadata(const PhotoMetadata& read, const MetadataSettings& settings, PhotoMetadata* metadata)
{
    *metadata = {};
    if (settings.keep == MetadataKeep::None || read.empty())
        return {};
    const Outcome outcome = Guarded(Failure::MetadataUnwritable, [&]() -> Outcome {
        PrepareExiv2();
        FilterEncoded(read, settings, metadata);
        return {};
    });
    if (!outcome.ok())
        *metadata = {};
    return outcome;
}

Outcome JpegMetadataSegments(const PhotoMetadata& metadata, std::vector<JpegSegment>* segments)
{
    using namespace std::string_view_literals;
    segments->clear();
    try {
        if (!metadata.exif.empty())
            segments->push_back(Segment(0xE1, "Exif\0\0"sv, metadata.exif.data(), metadata.exif.size()));
        if (!metadata.xmp.empty())
            segments->push_back(Segment(0xE1, "http://ns.adobe.com/xap/1.0/\0"sv,
                                        reinterpret_cast<const std::uint8_t*>(metadata.xmp.data()),
                                        metadata.xmp.size()));
        const std::size_t chunks = (metadata.icc.size() + kIccChunkBytes - 1) / kIccChunkBytes;
        if (chunks > kIccChunksMax)
            return LibraryFailure(Failure::MetadataUnwritable, "the ICC profile is too large for a JPEG file");
        for (std::size_t i = 0; i < chunks; ++i) {
            const std::size_t offset = i * kIccChunkBytes;
            std::string header = "ICC_PROFILE"s + '\0';
            header += static_cast<char>(i + 1);
            header += static_cast<char>(chunks);
            segments->push_back(Segment(0xE2, header, metadata.icc.data() + offset,
                                        std::min(kIccChunkBytes, metadata.icc.size() - offset)));
        }
        if (!metadata.iptc.empty()) {
            const std::vector<std::uint8_t> block = IptcResourceBlock(metadata.iptc);
            segments->push_back(Segment(0xED, "Photoshop 3.0\0"sv, block.data(), block.size()));
        }
    } catch (const std::bad_alloc&) {
        segments->clear();
        return Fail(Failure::MetadataUnwritable);
    }
    for (const JpegSegment& segment : *segments)
        if (segment.payload.size() > kJpegSegmentPayloadMax) {
            segments->clear();
            return LibraryFailure(Failure::MetadataUnwritable, "the metadata is too large for a JPEG segment");
        }
    return {};
}

Outcome XmpWithIptc(const PhotoMetadata& metadata, std::string* packet)
{
    *packet = metadata.xmp;
    if (metadata.iptc.empty())
        return {};
    return Guarded(Failure::MetadataUnwritable, [&]() -> Outcome {
        PrepareExiv2();
        Exiv2::XmpData xmp;
        Exiv2::IptcData iptc;
        if ((!metadata.xmp.empty() && Exiv2::XmpParser::decode(xmp, metadata.xmp) != 0) ||
            Exiv2::IptcParser::decode(iptc, metadata.iptc.data(), static_cast<std::uint32_t>(metadata.iptc.size())) != 0)
            return LibraryFailure(Failure::MetadataUnwritable, "XMP");
        Exiv2::copyIptcToXmp(iptc, xmp);
        *packet = EncodeXmp(xmp);
        return {};
    });
}

std::string IptcRawProfile(const std::vector<std::uint8_t>& iptc)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const std::vector<std::uint8_t> block = IptcResourceBlock(iptc);
    char size[16];
    std::snprintf(size, sizeof size, "%8u", static_cast<unsigned>(block.size()));
    std::string text = "\niptc\n"s + size;
    text.reserve(text.size() + block.size() * 2 + block.size() / 36 + 2);
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (i % 36 == 0)
            text += '\n';
        text += kHex[block[i] >> 4];
        text += kHex[block[i] & 15];
    }
    text += '\n';
    return text;
}

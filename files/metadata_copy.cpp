#include "files/metadata_copy.h"

#include "platform/file_names.h"
#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>
#include <webp/mux.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

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

// Exiv2 is given whole files in memory, read and written here: Exiv2 0.27
// opens files only by narrow path.  Failing to open or read a file is
// reported in Exiv2's own words, as when it opened the file itself.
std::vector<Exiv2::byte> ReadWholeFile(const char* path)
{
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (!file)
        throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, path, Exiv2::strError());
    std::vector<Exiv2::byte> bytes;
    Exiv2::byte buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        throw Exiv2::Error(Exiv2::kerInputDataReadFailed);
    return bytes;
}

enum class WriteResult { written, notOpened, notWritten };

WriteResult WriteWholeFile(const char* path, const Exiv2::byte* bytes, std::size_t size)
{
    std::FILE* file = OpenFileUtf8(path, "wb");
    if (!file)
        return WriteResult::notOpened;
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written ? WriteResult::written : WriteResult::notWritten;
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

struct MuxDelete {
    void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

// WebP files get their EXIF, XMP and ICC chunks through libwebp's muxer:
// Exiv2 0.27 writes an ICC profile into a WebP file under the wrong chunk
// name, which leaves the file unreadable.  file is target's content.
Outcome WriteWebpChunks(const char* target, const std::vector<Exiv2::byte>& file, const Exiv2::ExifData& exif,
                        const Exiv2::XmpData& xmp, const Exiv2::DataBuf* profile)
{
    Exiv2::Blob exifBlob;
    if (!exif.empty())
        Exiv2::ExifParser::encode(exifBlob, Exiv2::littleEndian, exif);
    std::string xmpPacket;
    if (!xmp.empty() && Exiv2::XmpParser::encode(xmpPacket, xmp, Exiv2::XmpParser::useCompactFormat) != 0)
        return LibraryFailure(Failure::MetadataUnwritable, "XMP");

    const WebPData bitstream = {file.data(), file.size()};
    std::unique_ptr<WebPMux, MuxDelete> mux(WebPMuxCreate(&bitstream, 0));
    if (!mux)
        return LibraryFailure(Failure::MetadataUnwritable, "WebP");
    auto set = [&](const char* fourcc, const void* bytes, std::size_t size) {
        const WebPData chunk = {static_cast<const std::uint8_t*>(bytes), size};
        return size == 0 || WebPMuxSetChunk(mux.get(), fourcc, &chunk, 1) == WEBP_MUX_OK;
    };
    if (!set("ICCP", profile ? profile->pData_ : nullptr, profile ? static_cast<std::size_t>(profile->size_) : 0) ||
        !set("EXIF", exifBlob.data(), exifBlob.size()) || !set("XMP ", xmpPacket.data(), xmpPacket.size()))
        return LibraryFailure(Failure::MetadataUnwritable, "WebP");
    WebPData assembled = {nullptr, 0};
    if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK)
        return LibraryFailure(Failure::MetadataUnwritable, "WebP");
    const WriteResult written = WriteWholeFile(target, assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    if (written != WriteResult::written)
        return LibraryFailure(Failure::MetadataUnwritable, "WebP");
    return {};
}

// Writes the metadata set on image (opened from target's content) and puts
// the result in target, failing in Exiv2's words as when it wrote the file.
void WriteImage(Exiv2::Image& image, const char* target)
{
    image.writeMetadata();
    Exiv2::BasicIo& io = image.io();
    if (io.open() != 0)
        throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, io.path(), Exiv2::strError());
    const std::size_t size = io.size();
    const Exiv2::byte* bytes = size > 0 ? io.mmap() : nullptr;
    const WriteResult written = WriteWholeFile(target, bytes, size);
    io.close();
    if (written == WriteResult::notOpened)
        throw Exiv2::Error(Exiv2::kerFileOpenFailed, target, "w+b", Exiv2::strError());
    if (written == WriteResult::notWritten)
        throw Exiv2::Error(Exiv2::kerTransferFailed, target, Exiv2::strError());
}

}  // namespace

Outcome ReadOrientation(const char* path, int* orientation)
{
    *orientation = 1;
    try {
        PrepareExiv2();
        const std::vector<Exiv2::byte> bytes = ReadWholeFile(path);
        std::unique_ptr<Exiv2::Image> image = OpenWithMetadata(bytes, path);
        Exiv2::ExifData& exif = image->exifData();
        auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found != exif.end() && found->count() > 0) {
            const long value = found->toLong();
            if (value >= 1 && value <= 8)
                *orientation = static_cast<int>(value);
        }
        return {};
    } catch (const Exiv2::AnyError& error) {
        return LibraryFailure(Failure::MetadataUnreadable, error.what());
    } catch (const std::exception& error) {
        return LibraryFailure(Failure::MetadataUnreadable, error.what());
    } catch (...) {
        return Fail(Failure::MetadataUnreadable);
    }
}

Outcome CopyMetadata(const char* source, const char* target, LONG width, LONG height, bool orientationApplied)
{
    std::vector<Exiv2::byte> sourceBytes;
    std::unique_ptr<Exiv2::Image> from;
    try {
        PrepareExiv2();
        sourceBytes = ReadWholeFile(source);
        from = OpenWithMetadata(sourceBytes, source);
        RefuseBrokenPngProfile(*from);
    } catch (const Exiv2::AnyError& error) {
        return LibraryFailure(Failure::MetadataUnreadable, error.what());
    } catch (const std::exception& error) {
        return LibraryFailure(Failure::MetadataUnreadable, error.what());
    } catch (...) {
        return Fail(Failure::MetadataUnreadable);
    }
    try {
        Exiv2::ExifData exif = from->exifData();
        Exiv2::XmpData xmp = from->xmpData();
        const Exiv2::IptcData& iptc = from->iptcData();

        Exiv2::ExifThumb(exif).erase();
        EraseXmpFamily(xmp, "Xmp.xmp.Thumbnails");
        const auto w = static_cast<std::uint32_t>(width);
        const auto h = static_cast<std::uint32_t>(height);
        SetIfPresent(exif, "Exif.Photo.PixelXDimension", w);
        SetIfPresent(exif, "Exif.Photo.PixelYDimension", h);
        SetIfPresent(exif, "Exif.Image.ImageWidth", w);
        SetIfPresent(exif, "Exif.Image.ImageLength", h);
        SetXmpIfPresent(xmp, "Xmp.exif.PixelXDimension", std::to_string(w));
        SetXmpIfPresent(xmp, "Xmp.exif.PixelYDimension", std::to_string(h));
        SetXmpIfPresent(xmp, "Xmp.tiff.ImageWidth", std::to_string(w));
        SetXmpIfPresent(xmp, "Xmp.tiff.ImageLength", std::to_string(h));
        if (orientationApplied) {
            if (exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation")) != exif.end())
                exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
            SetXmpIfPresent(xmp, "Xmp.tiff.Orientation", "1");
        }
        const Exiv2::DataBuf* profile = from->iccProfileDefined() ? from->iccProfile() : nullptr;

        const std::vector<Exiv2::byte> file = ReadWholeFile(target);
        if (Exiv2::ImageFactory::getType(file.data(), static_cast<long>(file.size())) == Exiv2::ImageType::webp) {
            // WebP has no IPTC block: IPTC goes into XMP.
            if (!iptc.empty())
                Exiv2::copyIptcToXmp(iptc, xmp);
            return WriteWebpChunks(target, file, exif, xmp, profile);
        }
        std::unique_ptr<Exiv2::Image> to = OpenWithMetadata(file, target);
        to->setIptcData(iptc);
        to->setExifData(exif);
        to->setXmpData(xmp);
        if (profile) {
            Exiv2::DataBuf copy(profile->pData_, profile->size_);
            to->setIccProfile(copy, false);
        }
        WriteImage(*to, target);
        return {};
    } catch (const Exiv2::AnyError& error) {
        return LibraryFailure(Failure::MetadataUnwritable, error.what());
    } catch (const std::exception& error) {
        return LibraryFailure(Failure::MetadataUnwritable, error.what());
    } catch (...) {
        return Fail(Failure::MetadataUnwritable);
    }
}

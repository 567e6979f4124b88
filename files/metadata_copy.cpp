#include "files/metadata_copy.h"

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

std::unique_ptr<Exiv2::Image> OpenWithMetadata(const char* path)
{
    std::unique_ptr<Exiv2::Image> image = Exiv2::ImageFactory::open(path);
    if (!image.get())
        throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType, path);
    image->readMetadata();
    return image;
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
// name, which leaves the file unreadable.
Outcome WriteWebpChunks(const char* target, const Exiv2::ExifData& exif, const Exiv2::XmpData& xmp,
                        const Exiv2::DataBuf* profile)
{
    Exiv2::Blob exifBlob;
    if (!exif.empty())
        Exiv2::ExifParser::encode(exifBlob, Exiv2::littleEndian, exif);
    std::string xmpPacket;
    if (!xmp.empty() && Exiv2::XmpParser::encode(xmpPacket, xmp, Exiv2::XmpParser::useCompactFormat) != 0)
        return LibraryFailure(Failure::MetadataUnwritable, "XMP");

    std::vector<std::uint8_t> file;
    if (std::FILE* in = std::fopen(target, "rb")) {
        std::uint8_t buffer[65536];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
            file.insert(file.end(), buffer, buffer + got);
        std::fclose(in);
    }
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
    bool written = true;
    std::FILE* out = std::fopen(target, "wb");
    if (!out || std::fwrite(assembled.bytes, 1, assembled.size, out) != assembled.size)
        written = false;
    if (out && std::fclose(out) != 0)
        written = false;
    WebPDataClear(&assembled);
    if (!written)
        return LibraryFailure(Failure::MetadataUnwritable, "WebP");
    return {};
}

}  // namespace

Outcome ReadOrientation(const char* path, int* orientation)
{
    *orientation = 1;
    try {
        PrepareExiv2();
        std::unique_ptr<Exiv2::Image> image = OpenWithMetadata(path);
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
    std::unique_ptr<Exiv2::Image> from;
    try {
        PrepareExiv2();
        from = OpenWithMetadata(source);
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

        if (Exiv2::ImageFactory::getType(target) == Exiv2::ImageType::webp) {
            // WebP has no IPTC block: IPTC goes into XMP.
            if (!iptc.empty())
                Exiv2::copyIptcToXmp(iptc, xmp);
            return WriteWebpChunks(target, exif, xmp, profile);
        }
        std::unique_ptr<Exiv2::Image> to = Exiv2::ImageFactory::open(target);
        if (!to.get())
            return Fail(Failure::MetadataUnwritable);
        to->readMetadata();
        to->setIptcData(iptc);
        to->setExifData(exif);
        to->setXmpData(xmp);
        if (profile) {
            Exiv2::DataBuf copy(profile->pData_, profile->size_);
            to->setIccProfile(copy, false);
        }
        to->writeMetadata();
        return {};
    } catch (const Exiv2::AnyError& error) {
        return LibraryFailure(Failure::MetadataUnwritable, error.what());
    } catch (const std::exception& error) {
        return LibraryFailure(Failure::MetadataUnwritable, error.what());
    } catch (...) {
        return Fail(Failure::MetadataUnwritable);
    }
}

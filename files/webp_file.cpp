#include "files/webp_file.h"

#include "platform/file_names.h"
#include "files/safe_replace.h"

#include <webp/decode.h>
#include <webp/encode.h>

#include <cstdio>
#include <memory>
#include <new>

namespace {

// WebP's own format limit: 14-bit sides.
constexpr int kMaxWebpSide = 16383;

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

const char* StatusText(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
    case VP8_STATUS_INVALID_PARAM: return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR: return "bitstream error";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "unsupported feature";
    case VP8_STATUS_NOT_ENOUGH_DATA: return "truncated";
    default: return "decoding error";
    }
}

const char* EncodeErrorText(WebPEncodingError error)
{
    switch (error) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY: return "out of memory";
    case VP8_ENC_ERROR_BAD_DIMENSION: return "the picture is too large for WebP";
    case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
    case VP8_ENC_ERROR_PARTITION_OVERFLOW: return "partition overflow";
    case VP8_ENC_ERROR_FILE_TOO_BIG: return "file too big";
    default: return "encoder error";
    }
}

}  // namespace

Outcome DecodeWebpMemory(const std::uint8_t* data, std::size_t size, ImageDocument* doc,
                         std::vector<std::uint8_t>* alpha)
{
    WebPBitstreamFeatures features = {};
    VP8StatusCode status = WebPGetFeatures(data, size, &features);
    if (status != VP8_STATUS_OK)
        return LibraryFailure(Failure::WebpUnreadable, StatusText(status));
    if (features.has_animation)
        return Fail(Failure::WebpAnimated);
    if (features.width <= 0 || features.height <= 0 || !PictureSizeAllowed(features.width, features.height))
        return Fail(Failure::TooLarge);

    const std::size_t bytes = static_cast<std::size_t>(features.width) * static_cast<std::size_t>(features.height) * 4;
    std::unique_ptr<std::uint8_t[]> rgba(new (std::nothrow) std::uint8_t[bytes]);
    if (!rgba)
        return Fail(Failure::PictureOutOfMemory);
    if (!WebPDecodeRGBAInto(data, size, rgba.get(), bytes, features.width * 4))
        return Fail(Failure::WebpDamaged);
    return AdoptRgbaRows(rgba.get(), features.width, features.height, features.has_alpha != 0, doc, alpha);
}

Outcome ReadWebpFile(const char* path, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    File file(OpenFileUtf8(path, "rb"));
    if (!file)
        return Fail(Failure::OpenFailed);
    // A WebP file holds at most one picture of 16383 x 16383 pixels; a file
    // far larger than any such picture's stream is not read into memory.
    constexpr long kMaxFileBytes = 1L << 30;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return Fail(Failure::ReadFailed);
    const long size = std::ftell(file.get());
    if (size < 0 || size > kMaxFileBytes || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return Fail(size > kMaxFileBytes ? Failure::TooLarge : Failure::ReadFailed);
    std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size) + 1]);
    if (!data)
        return Fail(Failure::PictureOutOfMemory);
    if (std::fread(data.get(), 1, static_cast<std::size_t>(size), file.get()) != static_cast<std::size_t>(size))
        return Fail(Failure::ReadFailed);
    return DecodeWebpMemory(data.get(), static_cast<std::size_t>(size), doc, alpha);
}

namespace {

struct PictureFree {
    void operator()(WebPPicture* picture) const { WebPPictureFree(picture); }
};

Outcome Encode(const ImageDocument* doc, const std::uint8_t* alpha, int quality, bool lossless,
               WebPMemoryWriter* writer)
{
    if (doc->width > kMaxWebpSide || doc->height > kMaxWebpSide)
        return Fail(Failure::WebpTooLarge);
    WebPConfig config;
    if (!WebPConfigInit(&config))
        return LibraryFailure(Failure::WebpWriteFailed, "library version mismatch");
    config.lossless = lossless ? 1 : 0;
    config.quality = static_cast<float>(quality);
    config.exact = lossless ? 1 : 0;
    if (lossless)
        config.method = 4;

    WebPPicture picture;
    if (!WebPPictureInit(&picture))
        return LibraryFailure(Failure::WebpWriteFailed, "library version mismatch");
    picture.use_argb = lossless ? 1 : 0;
    picture.width = doc->width;
    picture.height = doc->height;
    std::unique_ptr<WebPPicture, PictureFree> owner(&picture);

    // One top-down RGB(A) copy of the picture for the importer.
    const int channels = alpha ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(doc->width) * channels;
    std::unique_ptr<std::uint8_t[]> rows(new (std::nothrow) std::uint8_t[rowBytes * doc->height]);
    if (!rows)
        return Fail(Failure::PictureOutOfMemory);
    for (LONG y = 0; y < doc->height; ++y)
        WorkDibRowToRgba(doc, alpha, y, rows.get() + rowBytes * y);
    const int imported = alpha ? WebPPictureImportRGBA(&picture, rows.get(), static_cast<int>(rowBytes))
                               : WebPPictureImportRGB(&picture, rows.get(), static_cast<int>(rowBytes));
    rows.reset();
    if (!imported)
        return Fail(Failure::PictureOutOfMemory);

    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = writer;
    if (!WebPEncode(&config, &picture))
        return LibraryFailure(Failure::WebpWriteFailed, EncodeErrorText(picture.error_code));
    return {};
}

}  // namespace

Outcome WriteWebpFile(const char* path, const ImageDocument* doc, const std::uint8_t* alpha, int quality,
                      bool lossless)
{
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    Outcome outcome = Encode(doc, alpha, quality, lossless, &writer);
    char temporary[kTempPathBytes];
    if (outcome.ok() && MakeTemporaryPath(path, temporary) != 0)
        outcome = Fail(Failure::NameTooLong);
    std::FILE* file = nullptr;
    if (outcome.ok()) {
        file = OpenFileUtf8(temporary, "wb");
        if (!file)
            outcome = Fail(Failure::CreateFailed);
    }
    if (file) {
        if (std::fwrite(writer.mem, 1, writer.size, file) != writer.size || std::fflush(file) != 0)
            outcome = Fail(Failure::WriteIncomplete);
        if (std::fclose(file) != 0 && outcome.ok())
            outcome = Fail(Failure::WriteIncomplete);
        if (!outcome.ok())
            DiscardTemporary(temporary);
    }
    WebPMemoryWriterClear(&writer);
    if (!outcome.ok())
        return outcome;
    if (ReplaceWithTemporary(temporary, path) != 0)
        return Fail(Failure::ReplaceFailed);
    return {};
}

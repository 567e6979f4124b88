#include "files/webp_file.h"

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

int DecodeWebpMemory(const std::uint8_t* data, std::size_t size, ImageDocument* doc,
                     std::vector<std::uint8_t>* alpha, FileProblem* problem)
{
    WebPBitstreamFeatures features = {};
    VP8StatusCode status = WebPGetFeatures(data, size, &features);
    if (status != VP8_STATUS_OK)
        return Fail(problem, "not a WebP file the program can read", StatusText(status));
    if (features.has_animation)
        return Fail(problem, "animated WebP files are not supported");
    if (features.width <= 0 || features.height <= 0 || !PictureSizeAllowed(features.width, features.height))
        return Fail(problem, "the picture is too large to read");

    const std::size_t bytes = static_cast<std::size_t>(features.width) * static_cast<std::size_t>(features.height) * 4;
    std::unique_ptr<std::uint8_t[]> rgba(new (std::nothrow) std::uint8_t[bytes]);
    if (!rgba)
        return Fail(problem, kProblemNoMemory);
    if (!WebPDecodeRGBAInto(data, size, rgba.get(), bytes, features.width * 4))
        return Fail(problem, "the WebP file is damaged");
    return AdoptRgbaRows(rgba.get(), features.width, features.height, features.has_alpha != 0, doc, alpha, problem);
}

int ReadWebpFile(const char* path, ImageDocument* doc, std::vector<std::uint8_t>* alpha, FileProblem* problem)
{
    File file(std::fopen(path, "rb"));
    if (!file)
        return Fail(problem, "the file cannot be opened");
    // A WebP file holds at most one picture of 16383 x 16383 pixels; a file
    // far larger than any such picture's stream is not read into memory.
    constexpr long kMaxFileBytes = 1L << 30;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return Fail(problem, "the file cannot be read");
    const long size = std::ftell(file.get());
    if (size < 0 || size > kMaxFileBytes || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return Fail(problem, size > kMaxFileBytes ? "the picture is too large to read" : "the file cannot be read");
    std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size) + 1]);
    if (!data)
        return Fail(problem, kProblemNoMemory);
    if (std::fread(data.get(), 1, static_cast<std::size_t>(size), file.get()) != static_cast<std::size_t>(size))
        return Fail(problem, "the file cannot be read");
    return DecodeWebpMemory(data.get(), static_cast<std::size_t>(size), doc, alpha, problem);
}

namespace {

struct PictureFree {
    void operator()(WebPPicture* picture) const { WebPPictureFree(picture); }
};

int Encode(const ImageDocument* doc, const std::uint8_t* alpha, int quality, bool lossless, WebPMemoryWriter* writer,
           FileProblem* problem)
{
    if (doc->width > kMaxWebpSide || doc->height > kMaxWebpSide)
        return Fail(problem, "the picture is too large for a WebP file (at most 16383 pixels a side)");
    WebPConfig config;
    if (!WebPConfigInit(&config))
        return Fail(problem, "the WebP file cannot be written", "library version mismatch");
    config.lossless = lossless ? 1 : 0;
    config.quality = static_cast<float>(quality);
    config.exact = lossless ? 1 : 0;
    if (lossless)
        config.method = 4;

    WebPPicture picture;
    if (!WebPPictureInit(&picture))
        return Fail(problem, "the WebP file cannot be written", "library version mismatch");
    picture.use_argb = lossless ? 1 : 0;
    picture.width = doc->width;
    picture.height = doc->height;
    std::unique_ptr<WebPPicture, PictureFree> owner(&picture);

    // One top-down RGB(A) copy of the picture for the importer.
    const int channels = alpha ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(doc->width) * channels;
    std::unique_ptr<std::uint8_t[]> rows(new (std::nothrow) std::uint8_t[rowBytes * doc->height]);
    if (!rows)
        return Fail(problem, kProblemNoMemory);
    for (LONG y = 0; y < doc->height; ++y)
        WorkDibRowToRgba(doc, alpha, y, rows.get() + rowBytes * y);
    const int imported = alpha ? WebPPictureImportRGBA(&picture, rows.get(), static_cast<int>(rowBytes))
                               : WebPPictureImportRGB(&picture, rows.get(), static_cast<int>(rowBytes));
    rows.reset();
    if (!imported)
        return Fail(problem, kProblemNoMemory);

    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = writer;
    if (!WebPEncode(&config, &picture))
        return Fail(problem, "the WebP file cannot be written", EncodeErrorText(picture.error_code));
    return 0;
}

}  // namespace

int WriteWebpFile(const char* path, const ImageDocument* doc, const std::uint8_t* alpha, int quality, bool lossless,
                  FileProblem* problem)
{
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    int result = Encode(doc, alpha, quality, lossless, &writer, problem);
    char temporary[kTempPathBytes];
    if (result == 0 && MakeTemporaryPath(path, temporary) != 0)
        result = Fail(problem, "the file name is too long");
    std::FILE* file = nullptr;
    if (result == 0) {
        file = std::fopen(temporary, "wb");
        if (!file)
            result = Fail(problem, "the file cannot be created");
    }
    if (file) {
        if (std::fwrite(writer.mem, 1, writer.size, file) != writer.size || std::fflush(file) != 0)
            result = Fail(problem, "the file could not be written to the end");
        if (std::fclose(file) != 0 && result == 0)
            result = Fail(problem, "the file could not be written to the end");
        if (result != 0)
            DiscardTemporary(temporary);
    }
    WebPMemoryWriterClear(&writer);
    if (result != 0)
        return -1;
    if (ReplaceWithTemporary(temporary, path) != 0)
        return Fail(problem, "the existing file cannot be replaced");
    return 0;
}

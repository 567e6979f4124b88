#include "files/png_file.h"

#include "platform/file_names.h"
#include "files/metadata_copy.h"
#include "files/safe_replace.h"

#include <spng.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Ancillary chunks (text, profiles) larger than this are refused rather
// than buffered; pictures are bounded by the program's picture limits.
constexpr std::size_t kMaxChunkBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxChunkCacheBytes = std::size_t{128} << 20;

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

Outcome Decode(spng_ctx* ctx, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    spng_set_image_limits(ctx, static_cast<std::uint32_t>(kMaxPictureSide),
                          static_cast<std::uint32_t>(kMaxPictureSide));
    spng_set_chunk_limits(ctx, kMaxChunkBytes, kMaxChunkCacheBytes);

    spng_ihdr ihdr = {};
    int error = spng_get_ihdr(ctx, &ihdr);
    if (error != 0)
        return LibraryFailure(Failure::PngUnreadable, spng_strerror(error));
    if (!PictureSizeAllowed(ihdr.width, ihdr.height))
        return Fail(Failure::TooLarge);

    spng_trns trns = {};
    const bool hasAlpha = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                          ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA || spng_get_trns(ctx, &trns) == 0;

    std::size_t bytes = 0;
    error = spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &bytes);
    if (error != 0)
        return LibraryFailure(Failure::PngUnreadable, spng_strerror(error));
    std::unique_ptr<std::uint8_t[]> rgba(new (std::nothrow) std::uint8_t[bytes]);
    if (!rgba)
        return Fail(Failure::PictureOutOfMemory);
    // RGBA8 expands every depth and colour type; 16-bit samples are cut to
    // their high byte and the transparency chunk becomes alpha.
    error = spng_decode_image(ctx, rgba.get(), bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    if (error != 0)
        return LibraryFailure(Failure::PngDamaged, spng_strerror(error));
    return AdoptRgbaRows(rgba.get(), static_cast<LONG>(ihdr.width), static_cast<LONG>(ihdr.height), hasAlpha, doc,
                         alpha);
}

}  // namespace

Outcome ReadPngFile(const char* path, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    File file(OpenFileUtf8(path, "rb"));
    if (!file)
        return Fail(Failure::OpenFailed);
    Context ctx(spng_ctx_new(0));
    if (!ctx)
        return Fail(Failure::PictureOutOfMemory);
    spng_set_png_file(ctx.get(), file.get());
    return Decode(ctx.get(), doc, alpha);
}

Outcome DecodePngMemory(const void* data, std::size_t size, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    Context ctx(spng_ctx_new(0));
    if (!ctx)
        return Fail(Failure::PictureOutOfMemory);
    spng_set_png_buffer(ctx.get(), data, size);
    return Decode(ctx.get(), doc, alpha);
}

namespace {

// The chunks for metadata: iCCP, eXIf, XMP in an iTXt chunk and IPTC as a
// "Raw profile type iptc" zTXt chunk.  The library writes them before the
// image data from these structures, which keep pointing into metadata and
// *iptcText until the picture is written.
struct PngMetadataChunks {
    spng_iccp iccp = {};
    spng_exif exif = {};
    spng_text text[2] = {};
    std::string iptcText;
};

int SetMetadataChunks(spng_ctx* ctx, const PhotoMetadata& metadata, PngMetadataChunks* chunks)
{
    int error = 0;
    if (!metadata.icc.empty()) {
        std::strcpy(chunks->iccp.profile_name, "ICC profile");
        chunks->iccp.profile_len = metadata.icc.size();
        chunks->iccp.profile = reinterpret_cast<char*>(const_cast<std::uint8_t*>(metadata.icc.data()));
        error = spng_set_iccp(ctx, &chunks->iccp);
    }
    if (error == 0 && !metadata.exif.empty()) {
        chunks->exif.length = metadata.exif.size();
        chunks->exif.data = reinterpret_cast<char*>(const_cast<std::uint8_t*>(metadata.exif.data()));
        error = spng_set_exif(ctx, &chunks->exif);
    }
    std::uint32_t count = 0;
    static char empty[] = "";
    if (!metadata.xmp.empty()) {
        spng_text& xmp = chunks->text[count++];
        std::strcpy(xmp.keyword, "XML:com.adobe.xmp");
        xmp.type = SPNG_ITXT;
        xmp.length = metadata.xmp.size();
        xmp.text = const_cast<char*>(metadata.xmp.data());
        xmp.language_tag = empty;
        xmp.translated_keyword = empty;
    }
    if (!metadata.iptc.empty()) {
        chunks->iptcText = IptcRawProfile(metadata.iptc);
        spng_text& iptc = chunks->text[count++];
        std::strcpy(iptc.keyword, "Raw profile type iptc");
        iptc.type = SPNG_ZTXT;
        iptc.length = chunks->iptcText.size();
        iptc.text = chunks->iptcText.data();
    }
    if (error == 0 && count > 0)
        error = spng_set_text(ctx, chunks->text, count);
    return error;
}

// Encodes into an open stream, one row at a time from the WorkDib.
Outcome Encode(std::FILE* file, const ImageDocument* doc, const std::uint8_t* alpha, const PhotoMetadata* metadata,
               int compression)
{
    Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx)
        return Fail(Failure::PictureOutOfMemory);
    spng_set_png_file(ctx.get(), file);
    spng_ihdr ihdr = {};
    ihdr.width = static_cast<std::uint32_t>(doc->width);
    ihdr.height = static_cast<std::uint32_t>(doc->height);
    ihdr.bit_depth = 8;
    ihdr.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    int error = spng_set_ihdr(ctx.get(), &ihdr);
    if (error == 0)
        error = spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, compression);
    PngMetadataChunks chunks;
    if (error == 0 && metadata) {
        if (const int refused = SetMetadataChunks(ctx.get(), *metadata, &chunks); refused != 0)
            return LibraryFailure(Failure::MetadataUnwritable, spng_strerror(refused));
    }
    if (error == 0)
        error = spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    if (error != 0)
        return LibraryFailure(Failure::PngWriteFailed, spng_strerror(error));

    const std::size_t rowBytes = static_cast<std::size_t>(doc->width) * (alpha ? 4 : 3);
    std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[rowBytes]);
    if (!row)
        return Fail(Failure::PictureOutOfMemory);
    for (LONG y = 0; y < doc->height; ++y) {
        WorkDibRowToRgba(doc, alpha, y, row.get());
        error = spng_encode_row(ctx.get(), row.get(), rowBytes);
        if (error == SPNG_EOI && y == doc->height - 1)
            error = 0;
        if (error != 0)
            return LibraryFailure(Failure::PngWriteFailed, spng_strerror(error));
    }
    return {};
}

}  // namespace

Outcome WritePngFile(const char* path, const ImageDocument* doc, const std::uint8_t* alpha,
                     const PhotoMetadata* metadata, const PngWriteSettings& settings)
{
    const bool inRange = settings.compression >= kPngCompressionMin && settings.compression <= kPngCompressionMax;
    const int compression = inRange ? settings.compression : kPngCompressionDefault;
    char temporary[kTempPathBytes];
    if (MakeTemporaryPath(path, temporary) != 0)
        return Fail(Failure::NameTooLong);
    std::FILE* file = OpenFileUtf8(temporary, "wb");
    if (!file)
        return Fail(Failure::CreateFailed);
    Outcome outcome = Encode(file, doc, alpha, metadata, compression);
    // libspng does not look at its writes: the stream's error flag and the
    // close tell whether everything reached the disk.
    if (outcome.ok() && (std::fflush(file) != 0 || std::ferror(file)))
        outcome = Fail(Failure::WriteIncomplete);
    if (std::fclose(file) != 0 && outcome.ok())
        outcome = Fail(Failure::WriteIncomplete);
    if (!outcome.ok()) {
        DiscardTemporary(temporary);
        return outcome;
    }
    if (ReplaceWithTemporary(temporary, path) != 0)
        return Fail(Failure::ReplaceFailed);
    return {};
}

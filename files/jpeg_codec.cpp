// libjpeg protocol for reading and writing.  Fatal library errors come back
// through a jump buffer: no object with a destructor lives in a function
// that sets a jump point.
#include "files/jpeg_codec.h"

#include "platform/file_names.h"

#include "image/picture_size.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// Progressive files may carry any number of scans; corrupt or hostile ones
// can claim thousands, each a full pass over the coefficients.
constexpr int kMaxScans = 500;

// What libjpeg may allocate for one picture besides our own block: enough
// for the coefficients of the largest picture the program accepts.
constexpr long kLibraryMemoryLimit = 1024L * 1024L * 1024L;

// The library's words are kept to this many bytes, terminator included.
constexpr std::size_t kJpegMessageBytes = 200;

// Why the library stopped, set before every jump back.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    Cause cause;
    char message[kJpegMessageBytes];  // the library's words for Cause::Library
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    char text[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, text);
    if (cinfo->err->msg_code == JERR_NO_BACKING_STORE) {
        // The picture needs more than kLibraryMemoryLimit of library memory
        // (a progressive file's coefficients); the library's own words
        // ("Backing store not supported") tell the user nothing.
        err->cause = Cause::PictureTooLargeForMemory;
    } else {
        err->cause = Cause::Library;
        std::snprintf(err->message, sizeof err->message, "%s", text);
    }
    std::longjmp(err->jump, 1);
}

// The failure the error manager's cause makes of a read or a write.
Outcome Stopped(Failure failure, const JpegErrorManager& err)
{
    return Fail(failure, err.cause, err.cause == Cause::Library ? err.message : "",
                err.cause == Cause::TooManyScans ? kMaxScans : 0);
}

// Warnings (a file that ends early, say) do not stop a read and the picture
// comes out as the library delivers it; they are not printed on a console
// the program does not have.  Fatal errors format their own text.
void IgnoreMessage(j_common_ptr) {}

void CheckScanCount(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
        err->cause = Cause::TooManyScans;
        std::longjmp(err->jump, 1);
    }
}

std::uint8_t Scale(unsigned a, unsigned b)
{
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

// The library's stdio source asks the file again after its end each time
// it looks for more data, and a cut-off or damaged file makes it look
// hundreds of times, each a system call.  This one remembers the end and
// from there on hands out the end-of-picture marker the library expects.
struct FileSource {
    jpeg_source_mgr pub;
    std::FILE* file;
    bool started;  // some bytes were read
    bool ended;
    JOCTET buffer[4096];
};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    std::size_t got = src->ended ? 0 : std::fread(src->buffer, 1, sizeof src->buffer, src->file);
    if (got < sizeof src->buffer)
        src->ended = true;
    if (got == 0) {
        if (!src->started)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        got = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = got;
    src->started = true;
    return TRUE;
}

// A segment longer than what is left of the file ends the data: nothing
// more to skip, and the next fill hands out the end marker.
void SkipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    if (count <= 0)
        return;
    while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
        count -= static_cast<long>(src->pub.bytes_in_buffer);
        if (src->ended) {
            src->pub.bytes_in_buffer = 0;
            return;
        }
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

}  // namespace

struct JpegDecoder {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
    FileSource source;
    std::FILE* file;
};

namespace {

int ReadHeader(JpegDecoder* d)
{
    // 1. Error manager with our exit, then the jump point.
    d->cinfo.err = jpeg_std_error(&d->err.pub);
    d->err.pub.output_message = IgnoreMessage;
    d->err.pub.error_exit = JpegErrorExit;
    if (setjmp(d->err.jump))
        return -1;
    // 2. Decompressor on the stdio source, memory and scan limits.
    jpeg_create_decompress(&d->cinfo);
    d->cinfo.mem->max_memory_to_use = kLibraryMemoryLimit;
    d->progress.progress_monitor = CheckScanCount;
    d->cinfo.progress = &d->progress;
    d->source.file = d->file;
    d->source.pub.init_source = InitSource;
    d->source.pub.fill_input_buffer = FillInputBuffer;
    d->source.pub.skip_input_data = SkipInputData;
    d->source.pub.resync_to_restart = jpeg_resync_to_restart;
    d->source.pub.term_source = TermSource;
    d->cinfo.src = &d->source.pub;
    // 3. The header: size and colour space.
    jpeg_read_header(&d->cinfo, TRUE);
    return 0;
}

}  // namespace

JpegDecoder* JpegDecoderOpen(const char* path, std::int32_t* width, std::int32_t* height, Outcome* why)
{
    auto* d = static_cast<JpegDecoder*>(std::calloc(1, sizeof(JpegDecoder)));
    if (!d) {
        *why = Fail(Failure::JpegUnreadable, Cause::OutOfMemory);
        return nullptr;
    }
    d->file = OpenFileUtf8(path, "rb");
    if (!d->file) {
        *why = Fail(Failure::JpegUnreadable, Cause::CannotOpen);
        std::free(d);
        return nullptr;
    }

    if (ReadHeader(d) != 0) {
        *why = Stopped(Failure::JpegUnreadable, d->err);
        JpegDecoderClose(d);
        return nullptr;
    }
    const std::int64_t w = d->cinfo.image_width;
    const std::int64_t h = d->cinfo.image_height;
    if (!PictureSizeAllowed(w, h)) {
        *why = Fail(Failure::JpegUnreadable, Cause::PictureTooLarge);
        JpegDecoderClose(d);
        return nullptr;
    }
    *width = static_cast<std::int32_t>(w);
    *height = static_cast<std::int32_t>(h);
    return d;
}

namespace {

// Steps 4 to 6 of the read; on a failure (-1) d->err.cause says why.
int Decode(JpegDecoder* d, std::uint8_t* pixels)
{
    if (setjmp(d->err.jump))
        return -1;
    // 4. Start with the library's defaults for the file: RGB for colour
    // files, gray for one component, CMYK for CMYK and YCCK.  Colour files
    // come out as blue-green-red-unused straight into the WorkDib where the
    // library can: the same arithmetic as its RGB, in the WorkDib's order.
#ifdef JCS_EXTENSIONS
    const bool direct = d->cinfo.out_color_space == JCS_RGB;
    if (direct)
        d->cinfo.out_color_space = JCS_EXT_BGRX;
#else
    const bool direct = false;
#endif
    jpeg_start_decompress(&d->cinfo);
    const int components = direct ? 3 : d->cinfo.output_components;
    const JDIMENSION width = d->cinfo.output_width;
    const JDIMENSION height = d->cinfo.output_height;
    if ((components != 1 && components != 3 && components != 4) || width != d->cinfo.image_width ||
        height != d->cinfo.image_height) {
        d->err.cause = Cause::ColourFormat;
        return -1;
    }
    // 5. Scan lines arrive top first; the WorkDib is bottom-up.
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    if (direct) {
        constexpr JDIMENSION kBatch = 16;
        JSAMPROW rows[kBatch];
        while (d->cinfo.output_scanline < height) {
            const JDIMENSION first = d->cinfo.output_scanline;
            const JDIMENSION count = std::min(kBatch, height - first);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = pixels + static_cast<std::size_t>(height - 1 - (first + i)) * stride;
            const JDIMENSION got = jpeg_read_scanlines(&d->cinfo, rows, count);
            // The library fills the unused byte; the WorkDib's is 0.
            for (JDIMENSION i = 0; i < got; ++i)
                for (std::size_t x = 3; x < stride; x += 4)
                    rows[i][x] = 0;
        }
        jpeg_finish_decompress(&d->cinfo);
        return 0;
    }
    // Adobe applications store CMYK inverted (255 = no ink).
    const bool inverted = d->cinfo.saw_Adobe_marker;
    JSAMPARRAY row = (*d->cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d->cinfo), JPOOL_IMAGE,
                                                    width * static_cast<JDIMENSION>(components), 1);
    while (d->cinfo.output_scanline < height) {
        std::uint8_t* out = pixels + static_cast<std::size_t>(height - 1 - d->cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&d->cinfo, row, 1);
        const JSAMPLE* s = row[0];
        if (components == 3) {
            for (JDIMENSION x = 0; x < width; ++x, s += 3, out += 4) {
                out[0] = s[2];
                out[1] = s[1];
                out[2] = s[0];
                out[3] = 0;
            }
        } else if (components == 1) {
            for (JDIMENSION x = 0; x < width; ++x, s += 1, out += 4) {
                out[0] = out[1] = out[2] = s[0];
                out[3] = 0;
            }
        } else {
            for (JDIMENSION x = 0; x < width; ++x, s += 4, out += 4) {
                // Light left by each ink, times the light left by black.
                const unsigned c = inverted ? s[0] : 255u - s[0];
                const unsigned m = inverted ? s[1] : 255u - s[1];
                const unsigned y = inverted ? s[2] : 255u - s[2];
                const unsigned k = inverted ? s[3] : 255u - s[3];
                out[0] = Scale(y, k);
                out[1] = Scale(m, k);
                out[2] = Scale(c, k);
                out[3] = 0;
            }
        }
    }
    // 6. Finish (reads to the end of the stream).
    jpeg_finish_decompress(&d->cinfo);
    return 0;
}

}  // namespace

Outcome JpegDecoderRead(JpegDecoder* d, std::uint8_t* pixels)
{
    if (Decode(d, pixels) != 0)
        return Stopped(Failure::JpegUnreadable, d->err);
    return {};
}

void JpegDecoderClose(JpegDecoder* d)
{
    if (!d)
        return;
    jpeg_destroy_decompress(&d->cinfo);
    if (d->file)
        std::fclose(d->file);
    std::free(d);
}

namespace {

// A destination that hands each full buffer, and the rest at the end, to
// the caller's sink; a refused write stops the compression.
struct SinkDestination {
    jpeg_destination_mgr pub;
    JpegSink sink;
    void* context;
    JOCTET buffer[16384];
};

void StartSink(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<SinkDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = sizeof dest->buffer;
}

boolean EmptySink(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<SinkDestination*>(cinfo->dest);
    if (!dest->sink(dest->context, dest->buffer, sizeof dest->buffer))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    StartSink(cinfo);
    return TRUE;
}

void FinishSink(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<SinkDestination*>(cinfo->dest);
    const std::size_t count = sizeof dest->buffer - dest->pub.free_in_buffer;
    if (count != 0 && !dest->sink(dest->context, dest->buffer, count))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

// The compression protocol proper; cinfo, err and dest belong to the caller
// so that nothing here needs cleaning up after a jump.
int Compress(jpeg_compress_struct* cinfo, JpegErrorManager* err, SinkDestination* dest, const std::uint8_t* pixels,
             std::int32_t width, std::int32_t height, int quality, bool progressive)
{
    if (setjmp(err->jump))
        return -1;
    // 1. Compressor on the sink.
    jpeg_create_compress(cinfo);
    dest->pub.init_destination = StartSink;
    dest->pub.empty_output_buffer = EmptySink;
    dest->pub.term_destination = FinishSink;
    cinfo->dest = &dest->pub;
    // 2. Parameters: RGB input, the library's defaults, progression, quality.
    // Where the library takes blue-green-red-unused pixels as they lie in
    // the WorkDib, it converts them with the very arithmetic of RGB input:
    // the file is the same, without a row copy.
    cinfo->image_width = static_cast<JDIMENSION>(width);
    cinfo->image_height = static_cast<JDIMENSION>(height);
#ifdef JCS_EXTENSIONS
    cinfo->input_components = 4;
    cinfo->in_color_space = JCS_EXT_BGRX;
#else
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
#endif
    jpeg_set_defaults(cinfo);
    if (progressive)
        jpeg_simple_progression(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    // 3. All tables, then the rows top first from the bottom-up WorkDib.
    jpeg_start_compress(cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
#ifdef JCS_EXTENSIONS
    constexpr JDIMENSION kBatch = 16;
    JSAMPROW rows[kBatch];
    while (cinfo->next_scanline < cinfo->image_height) {
        const JDIMENSION first = cinfo->next_scanline;
        const JDIMENSION count = std::min(kBatch, cinfo->image_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPLE*>(pixels + static_cast<std::size_t>(height - 1 - (first + i)) * stride);
        jpeg_write_scanlines(cinfo, rows, count);
    }
#else
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                  static_cast<JDIMENSION>(width) * 3, 1);
    while (cinfo->next_scanline < cinfo->image_height) {
        const std::uint8_t* s = pixels + static_cast<std::size_t>(height - 1 - cinfo->next_scanline) * stride;
        JSAMPLE* d = row[0];
        for (std::int32_t x = 0; x < width; ++x, s += 4, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
        jpeg_write_scanlines(cinfo, row, 1);
    }
#endif
    // 4. Trailer.
    jpeg_finish_compress(cinfo);
    return 0;
}

}  // namespace

Outcome JpegEncode(JpegSink sink, void* context, const std::uint8_t* pixels, std::int32_t width,
                   std::int32_t height, int quality, bool progressive)
{
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    SinkDestination dest;
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&err, 0, sizeof err);
    std::memset(&dest, 0, sizeof dest);
    dest.sink = sink;
    dest.context = context;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    const int result = Compress(&cinfo, &err, &dest, pixels, width, height, quality, progressive);
    jpeg_destroy_compress(&cinfo);
    if (result != 0)
        return Stopped(Failure::JpegWriteFailed, err);
    return {};
}

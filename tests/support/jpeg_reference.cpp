#include "support/jpeg_reference.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

namespace qvtest {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->text);
    std::longjmp(err->jump, 1);
}

void QuietMessage(j_common_ptr) {}

struct EncodeJob {
    const char* path;
    int width;
    int height;
    JpegInput input;
    const std::uint8_t* samples;
    int quality;
    bool progressive;
};

// No objects with destructors between setjmp and the jumps back to it.
int EncodeWithJump(const EncodeJob* job, ErrorManager* err)
{
    std::FILE* file = std::fopen(job->path, "wb");
    if (!file) {
        std::snprintf(err->text, sizeof err->text, "cannot create %s", job->path);
        return -1;
    }
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err->pub);
    err->pub.error_exit = ErrorExit;
    err->pub.output_message = QuietMessage;
    if (setjmp(err->jump)) {
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        return -1;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(job->width);
    cinfo.image_height = static_cast<JDIMENSION>(job->height);
    int components = 3;
    switch (job->input) {
    case JpegInput::Rgb:
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        break;
    case JpegInput::Gray:
        components = 1;
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
        break;
    case JpegInput::CmykAdobe:
    case JpegInput::CmykPlain:
    case JpegInput::Ycck:
        components = 4;
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_CMYK;
        break;
    }
    jpeg_set_defaults(&cinfo);
    if (job->input == JpegInput::Ycck)
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    if (job->input == JpegInput::CmykPlain)
        cinfo.write_Adobe_marker = FALSE;
    if (job->progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_set_quality(&cinfo, job->quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(job->width) * static_cast<std::size_t>(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(job->samples + stride * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0 ? 0 : -1;
}

struct DecodeResult {
    int width;
    int height;
    int components;
    bool adobe;
    bool progressive;
    std::uint8_t* samples;  // malloc'd by DecodeWithJump, freed by the caller
};

int DecodeWithJump(const char* path, DecodeResult* result, ErrorManager* err)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::snprintf(err->text, sizeof err->text, "cannot open %s", path);
        return -1;
    }
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err->pub);
    err->pub.error_exit = ErrorExit;
    err->pub.output_message = QuietMessage;
    result->samples = nullptr;
    if (setjmp(err->jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        std::free(result->samples);
        result->samples = nullptr;
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    result->adobe = cinfo.saw_Adobe_marker != 0;
    result->progressive = cinfo.progressive_mode != 0;
    jpeg_start_decompress(&cinfo);
    result->width = static_cast<int>(cinfo.output_width);
    result->height = static_cast<int>(cinfo.output_height);
    result->components = cinfo.output_components;
    const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components;
    result->samples = static_cast<std::uint8_t*>(std::malloc(stride * cinfo.output_height));
    if (!result->samples) {
        std::snprintf(err->text, sizeof err->text, "out of memory");
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return -1;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = result->samples + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return 0;
}

}  // namespace

bool WriteReferenceJpeg(const std::string& path, int width, int height, JpegInput input,
                        const std::vector<std::uint8_t>& samples, int quality, bool progressive,
                        std::string* error)
{
    const int components = input == JpegInput::Rgb ? 3 : input == JpegInput::Gray ? 1 : 4;
    if (samples.size() != static_cast<std::size_t>(width) * height * components) {
        if (error)
            *error = "sample count does not match the picture size";
        return false;
    }
    ErrorManager err{};
    const EncodeJob job{path.c_str(), width, height, input, samples.data(), quality, progressive};
    if (EncodeWithJump(&job, &err) != 0) {
        if (error)
            *error = err.text;
        return false;
    }
    return true;
}

bool DecodeReferenceJpeg(const std::string& path, ReferenceImage* out, std::string* error)
{
    ErrorManager err{};
    DecodeResult result{};
    if (DecodeWithJump(path.c_str(), &result, &err) != 0) {
        if (error)
            *error = err.text;
        return false;
    }
    out->width = result.width;
    out->height = result.height;
    out->components = result.components;
    out->adobeMarker = result.adobe;
    out->progressive = result.progressive;
    const std::size_t n = static_cast<std::size_t>(result.width) * result.height * result.components;
    out->samples.assign(result.samples, result.samples + n);
    std::free(result.samples);
    return true;
}

}  // namespace qvtest

// Direct libjpeg encoding and decoding for the tests, behind a plain C++
// interface: the tests that use it also see the platform header, which must
// never meet jpeglib.h in one translation unit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvtest {

// How the samples handed to WriteReferenceJpeg are laid out and stored.
enum class JpegInput {
    Rgb,        // 3 samples per pixel: red, green, blue
    Gray,       // 1 sample per pixel
    CmykAdobe,  // 4 samples (as stored: Adobe's inverted convention), with an Adobe marker
    CmykPlain,  // 4 samples (ink amounts), no Adobe marker
    Ycck,       // 4 samples (as stored, inverted) coded as YCCK, with an Adobe marker
};

// Writes a JPEG with the library's defaults, jpeg_set_quality(quality,
// TRUE) and, when asked, jpeg_simple_progression.  samples: top row first,
// interleaved.  Returns false (with the library's text in *error) on
// failure.
bool WriteReferenceJpeg(const std::string& path, int width, int height, JpegInput input,
                        const std::vector<std::uint8_t>& samples, int quality, bool progressive,
                        std::string* error = nullptr);

// A picture as the library decodes it with its default parameters.
struct ReferenceImage {
    int width = 0;
    int height = 0;
    int components = 0;               // output_components
    bool adobeMarker = false;         // saw_Adobe_marker
    bool progressive = false;         // progressive_mode
    std::vector<std::uint8_t> samples;  // top row first, interleaved
};

// Decodes path with no parameter changed after jpeg_read_header.
bool DecodeReferenceJpeg(const std::string& path, ReferenceImage* out, std::string* error = nullptr);

}  // namespace qvtest

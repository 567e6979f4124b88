// The libjpeg side of the JPEG reader and writer.  It is kept apart from
// everything that sees the platform header: jpeglib.h and <windows.h>
// disagree about `boolean` under mingw.
#pragma once

#include "image/failure.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

struct JpegDecoder;

// Opens path and reads its header.  On success returns the decoder and the
// picture's size; on failure returns null with *why set: JpegUnreadable
// with its cause (the library's own words for Cause::Library, at most 199
// bytes).
JpegDecoder* JpegDecoderOpen(const char* path, std::int32_t* width, std::int32_t* height, Outcome* why);

// Decodes every scan line into pixels, a bottom-up WorkDib pixel array of
// the size JpegDecoderOpen reported (blue, green, red, 0 per pixel).
// Fails with JpegUnreadable and its cause.
Outcome JpegDecoderRead(JpegDecoder* decoder, std::uint8_t* pixels);

// Releases the decoder and closes its file.
void JpegDecoderClose(JpegDecoder* decoder);

// Where the compressed bytes go: count bytes at a time, in order.  Returns
// false when they could not all be written; the compression then stops.
using JpegSink = bool (*)(void* context, const std::uint8_t* bytes, std::size_t count);

// A marker segment written into the file before the picture's tables:
// an application marker (0xE0..0xEF) and its payload, at most
// kJpegSegmentPayloadMax bytes (the two length bytes come on top).
struct JpegSegment {
    std::uint8_t marker = 0;
    std::vector<std::uint8_t> payload;
};
inline constexpr std::size_t kJpegSegmentPayloadMax = 65533;

// Compresses a bottom-up WorkDib pixel array (width x height, 4 bytes per
// pixel) into sink, with segments after the JFIF header in their order;
// the tables and scans are the same with or without them.  Fails with
// JpegWriteFailed and its cause (also when the sink refused its bytes).
Outcome JpegEncode(JpegSink sink, void* context, const std::uint8_t* pixels, std::int32_t width,
                   std::int32_t height, int quality, bool progressive, std::span<const JpegSegment> segments = {});

// The libjpeg side of the JPEG reader and writer.  It is kept apart from
// everything that sees the platform header: jpeglib.h and <windows.h>
// disagree about `boolean` under mingw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct JpegDecoder;

constexpr std::size_t kJpegMessageBytes = 200;

// Opens path and reads its header.  On success returns the decoder and the
// picture's size; on failure returns null with a readable reason in message.
JpegDecoder* JpegDecoderOpen(const char* path, std::int32_t* width, std::int32_t* height,
                             char (&message)[kJpegMessageBytes]);

// Decodes every scan line into pixels, a bottom-up WorkDib pixel array of
// the size JpegDecoderOpen reported (blue, green, red, 0 per pixel).
// Returns 0, or -1 with the reason in message.
int JpegDecoderRead(JpegDecoder* decoder, std::uint8_t* pixels, char (&message)[kJpegMessageBytes]);

// Releases the decoder and closes its file.
void JpegDecoderClose(JpegDecoder* decoder);

// Where the compressed bytes go: count bytes at a time, in order.  Returns
// false when they could not all be written; the compression then stops.
using JpegSink = bool (*)(void* context, const std::uint8_t* bytes, std::size_t count);

// Compresses a bottom-up WorkDib pixel array (width x height, 4 bytes per
// pixel) into sink.  Returns 0, or -1 with the reason in message (also when
// the sink refused its bytes).
int JpegEncode(JpegSink sink, void* context, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
               int quality, bool progressive, char (&message)[kJpegMessageBytes]);

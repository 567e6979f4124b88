// PNG files through libspng: every bit depth and colour type in, 8-bit RGB
// or RGBA out.
#pragma once

#include "files/rgba_rows.h"

struct PhotoMetadata;

// The zlib compression levels a PNG file is written at (0 none, 9 the
// smallest file), and the one a new setting starts at (zlib's own).
constexpr int kPngCompressionMin = 0;
constexpr int kPngCompressionMax = 9;
constexpr int kPngCompressionDefault = 6;

struct PngWriteSettings {
    int compression = kPngCompressionDefault;  // kPngCompressionMin..kPngCompressionMax; others take the default
};

// Reads path into a new WorkDib for doc: 1, 2, 4, 8 and 16 bits, grey,
// palette and colour, interlaced or not; 16-bit samples give their high
// byte.  A file with an alpha channel or a transparency chunk fills
// *alpha (bottom-up, one byte per pixel); others leave it empty.  A
// failure (OpenFailed, PngUnreadable, TooLarge, PngDamaged,
// PictureOutOfMemory) leaves doc and *alpha unchanged.
Outcome ReadPngFile(const char* path, ImageDocument* doc, std::vector<std::uint8_t>* alpha);

// Writes doc's picture to path as 8-bit RGB, or RGBA when alpha is not
// null, under a temporary name that replaces path only when complete.
// metadata, when not null, goes into chunks before the image data (which
// is the same with or without it); the image data is compressed at
// settings.compression.  A failure (NameTooLong, CreateFailed,
// PngWriteFailed, MetadataUnwritable, PictureOutOfMemory, WriteIncomplete,
// ReplaceFailed) leaves any existing file untouched.
Outcome WritePngFile(const char* path, const ImageDocument* doc, const std::uint8_t* alpha,
                     const PhotoMetadata* metadata = nullptr, const PngWriteSettings& settings = {});

// Decodes a PNG held in memory (the fuzz target's entry); the same checks
// and limits as ReadPngFile.
Outcome DecodePngMemory(const void* data, std::size_t size, ImageDocument* doc, std::vector<std::uint8_t>* alpha);

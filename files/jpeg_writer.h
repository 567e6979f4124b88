// Writing the picture as a JPEG file.
#pragma once

#include "files/jpeg_codec.h"
#include "image/failure.h"
#include "image/image_document.h"

// The qualities a JPEG file is written at, and the one a new setting
// starts at.
constexpr int kJpegQualityMin = 60;
constexpr int kJpegQualityMax = 100;
constexpr int kJpegQualityDefault = 80;

struct JpegWriteSettings {
    int quality = kJpegQualityDefault;  // kJpegQualityMin..kJpegQualityMax
    bool progressive = false;           // else baseline sequential
    // Marker segments for the file's head (metadata), after the JFIF
    // header; the caller keeps them alive during the write.
    std::span<const JpegSegment> segments = {};
};

// Writes doc's picture to doc->path, under a temporary name beside it that
// replaces the target only when the stream is complete.  A failure leaves
// any existing file untouched: NothingLoaded, or JpegWriteFailed with its
// cause (the library's words, NameTooLong, CannotCreate, WriteIncomplete,
// CannotReplace).
Outcome WriteJpegFile(ImageDocument* doc, const JpegWriteSettings& settings);

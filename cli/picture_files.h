// The command-line tool's side of picture files: which reader a file
// needs, the PNG and WebP readers and writers beside the core's BMP and
// JPEG ones, a photograph's transparency, its EXIF orientation and its
// metadata from input to output.
#pragma once

#include "cli/options.h"
#include "files/picture_io.h"
#include "image/failure.h"
#include "image/image_document.h"
#include "processing/transparency.h"

#include <cstdint>
#include <string>
#include <vector>


// What the picture in MainDocument carries besides its pixels.
struct PictureExtras {
    std::vector<std::uint8_t> alpha;  // bottom-up like the pixels; empty: none
    std::string source;               // the input file, for its metadata
    int sourceType = 0;
    bool oriented = false;            // the pixels were turned by --auto-orient
};

extern PictureExtras MainExtras;

// Sets doc->path; -1 (reported) when the path is longer than 255 UTF-16
// units (platform/file_names.h).
int CopyPathInto(ImageDocument* doc, const std::string& path);

// The output type a --format means (FromName: inputType).
int TypeForFormat(CliFormat format, int inputType);

// After MainDocument was read from input: remembers the input for its
// metadata and, with --auto-orient, turns the pixels (and alpha) as its
// EXIF orientation says.  Reports its problems.  Returns 0 or -1.
int PrepareInputPicture(const CliOptions& options, const std::string& input, int inputType);

// After PrepareInputPicture: with --crop, cuts MainDocument and its alpha
// to the rectangle (refused, with a message, unless it lies wholly inside
// the picture); then with --resize, resizes both to the size the rule
// gives, the heights becoming the new picture's luminance as after an
// open.  Reports its problems.  Returns 0 or -1.
int ShapeInputPicture(const CliOptions& options, const std::string& input);

// Writes MainDocument to output as type: transparency kept for PNG and
// WebP, put over --background for BMP and JPEG (refused without it), the
// input's metadata carried over as --metadata says (BMP carries none).  The
// file appears at output only when complete.  Reports its problems.
// Returns 0 or -1.
int WriteResultPicture(const CliOptions& options, const std::string& output, int type);

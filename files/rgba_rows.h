// Conversions between the top-down RGBA rows the PNG and WebP libraries
// read and write and a WorkDib with a separate alpha plane.
//
// The alpha plane, when a picture has one, holds one byte per pixel in the
// WorkDib's own order (rows bottom-up), so that pixel i of the block and
// byte i of the plane belong together whatever is done to the rows.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"

#include <cstdint>
#include <string>
#include <vector>

// A failure with a library's own words as its cause, or with no cause when
// the library said nothing.
Outcome LibraryFailure(Failure failure, std::string words);

// Makes a new WorkDib block from width x height top-down RGBA pixels and
// gives it to doc (AdoptWorkDib, which frees its old block); HeightBytes
// are 0.  When keepAlpha is true the alpha bytes go to *alpha, else *alpha
// is emptied.  Fails with PictureOutOfMemory when the block cannot be
// allocated (doc and *alpha are then unchanged).
Outcome AdoptRgbaRows(const std::uint8_t* rgba, LONG width, LONG height, bool keepAlpha, ImageDocument* doc,
                      std::vector<std::uint8_t>* alpha);

// Fills out with one top-down row (row 0 is the top) of doc's picture as
// RGB, or as RGBA with the plane's bytes when alpha is not null.
void WorkDibRowToRgba(const ImageDocument* doc, const std::uint8_t* alpha, LONG row, std::uint8_t* out);

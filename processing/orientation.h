// Turning and flipping a picture as an EXIF orientation value says, so that
// the stored pixels become the picture as it is meant to be seen.
#pragma once

#include "image/picture_block.h"
#include "platform/platform.h"

#include <cstdint>
#include <span>

// The seen size of a stored w x h picture: sides swapped for 5..8.
void OrientedSize(int orientation, LONG w, LONG h, LONG* seenWidth, LONG* seenHeight);

// Fills target (the seen size, rows bottom-up) from source (w x h, rows
// bottom-up), both bytesPerPixel (1 or 4) per pixel, as orientation 1..8
// says: 1 as stored, 2 mirrored left to right, 3 turned half round, 4
// mirrored top to bottom, 5 mirrored about the main diagonal, 6 turned a
// quarter clockwise, 7 mirrored about the other diagonal, 8 turned a
// quarter anticlockwise.  Values outside 1..8 copy as 1.
void OrientPixels(BYTE* target, const BYTE* source, LONG w, LONG h, int orientation, int bytesPerPixel);

// A new picture: width x height bottom-up pixels (4 bytes each) and their
// alpha plane (empty, or one byte per pixel) turned as orientation says.
// Fails with BadSize when the alpha plane has the wrong length, or with
// OutOfMemory; the source is never changed.
PictureBlock OrientPicture(int orientation, const BYTE* pixels, LONG width, LONG height,
                           std::span<const std::uint8_t> alpha);

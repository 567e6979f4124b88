// A photograph's metadata through Exiv2: the EXIF orientation, and EXIF,
// XMP, IPTC and the ICC profile carried from an input file into the file
// written from it.
#pragma once

#include "files/rgba_rows.h"

// Reads the EXIF orientation (1..8) of the JPEG, PNG or WebP file at path
// into *orientation: 1 when the file has none or a value outside 1..8.
// Fails with MetadataUnreadable (the library's words, if any, as the
// cause) when the metadata cannot be read.
Outcome ReadOrientation(const char* path, int* orientation);

// Copies the EXIF, XMP and IPTC data and the ICC profile of source into
// target, a JPEG, PNG or WebP file just written from it, rewriting target
// in place (target is a temporary file: a failure leaves it for the caller
// to discard).  The EXIF thumbnail (and an XMP one) is removed, since it
// would show the picture as it was; the dimension tags that exist are set
// to width x height; with orientationApplied the orientation tags that
// exist become 1.  IPTC goes into XMP for WebP, which has no IPTC block.
// Never throws: fails with MetadataUnreadable when the source's metadata
// cannot be read, MetadataUnwritable when the target's cannot be written
// (the library's words, if any, as the cause).
Outcome CopyMetadata(const char* source, const char* target, LONG width, LONG height, bool orientationApplied);

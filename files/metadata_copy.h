// A photograph's metadata through Exiv2: the EXIF orientation, and EXIF,
// XMP, IPTC and the ICC profile read once from an input file, filtered,
// and handed to the writers, which put them into the file as they write it.
#pragma once

#include "files/jpeg_codec.h"
#include "files/rgba_rows.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Exiv2 {
class Image;
}

// Reads the EXIF orientation (1..8) of the JPEG, PNG or WebP file at path
// into *orientation: 1 when the file has none or a value outside 1..8.
// Fails with MetadataUnreadable (the library's words, if any, as the
// cause) when the metadata cannot be read.
Outcome ReadOrientation(const char* path, int* orientation);

// How much of the input's metadata the written file keeps.
enum class MetadataKeep : unsigned char {
    All,             // EXIF, XMP, IPTC and the ICC profile
    AllButLocation,  // the same without the GPS tags and the place names
    None,            // nothing
};
inline constexpr MetadataKeep kMetadataKeepDefault = MetadataKeep::All;

struct MetadataSettings {
    MetadataKeep keep = kMetadataKeepDefault;
    LONG width = 0;   // the picture's size as written: the dimension
    LONG height = 0;  // tags that exist take it
    bool orientationApplied = false;  // the picture was turned upright
};

// The metadata a written file gets, in forms no container owns; each
// writer packs them its own way.  Empty members are left out.
struct PhotoMetadata {
    std::vector<std::uint8_t> exif;  // a TIFF structure, little-endian
    std::string xmp;                 // an XMP packet
    std::vector<std::uint8_t> iptc;  // IPTC IIM data sets
    std::vector<std::uint8_t> icc;   // an ICC profile

    bool empty() const { return exif.empty() && xmp.empty() && iptc.empty() && icc.empty(); }
};

// The EXIF orientation (1..8) of metadata as ReadPhotoMetadata left it
// (read without turning): as ReadOrientation gives it for the file, without
// reading the file again.  1 when there is none or it cannot be read.
int PhotoOrientation(const PhotoMetadata& metadata);

// Reads the EXIF, XMP and IPTC data and the ICC profile of the JPEG, PNG or
// WebP file at source into *metadata, keeping what settings.keep says.
// The EXIF thumbnail (and an XMP one) is removed, since it would show the
// picture as it was; the dimension tags that exist are set to the size
// written; with orientationApplied the orientation tags that exist become
// 1.  Never throws: fails with MetadataUnreadable when the source's
// metadata cannot be read, MetadataUnwritable when it cannot be encoded
// (the library's words, if any, as the cause); *metadata is then empty.
Outcome ReadPhotoMetadata(const char* source, const MetadataSettings& settings, PhotoMetadata* metadata);

// The same filtering for metadata already in memory: read, as
// ReadPhotoMetadata gave it (with MetadataKeep::All, when the file was
// opened), becomes in *metadata what settings keep, for the size and
// orientation written now.  Fails with MetadataUnwritable (the library's
// words, if any, as the cause) when it cannot be decoded or encoded again;
// *metadata is then empty.
Outcome FilterPhotoMetadata(const PhotoMetadata& read, const MetadataSettings& settings, PhotoMetadata* metadata);

// The JPEG marker segments for metadata: APP1 Exif, APP1 XMP, APP2
// ICC_PROFILE (split into as many as it needs) and APP13 Photoshop IPTC.
// Fails with MetadataUnwritable when a block does not fit its segment.
Outcome JpegMetadataSegments(const PhotoMetadata& metadata, std::vector<JpegSegment>* segments);

// The XMP packet for a file type without an IPTC block (WebP): the XMP with
// the IPTC data added in XMP's own terms.  Fails with MetadataUnwritable.
Outcome XmpWithIptc(const PhotoMetadata& metadata, std::string* packet);

// The IPTC data as the text of a PNG "Raw profile type iptc" chunk: a
// Photoshop resource block in hexadecimal, as Exiv2 and others read it.
std::string IptcRawProfile(const std::vector<std::uint8_t>& iptc);

// For the other readers of a photo's metadata in files/ (which include
// Exiv2's headers): the file at path (UTF-8) with its metadata read, as
// ReadOrientation reads it, from *bytes, which must outlive it.  Throws
// Exiv2's errors.
std::unique_ptr<Exiv2::Image> OpenPhotoMetadata(const char* path, std::vector<std::uint8_t>* bytes);

// What the open picture carries beside MainDocument's pixels: its alpha
// plane, which the commands (working on blue, green, red and height) leave
// alone, and what its file said of it.
#pragma once

#include "files/metadata_copy.h"

#include <cstdint>
#include <vector>

struct OpenPhoto {
    std::vector<std::uint8_t> alpha;  // bottom-up like the pixels, one byte each; empty: opaque
    // The EXIF, XMP, IPTC and ICC data of the file opened, all of it, read
    // when it was opened (the file may be gone by the save).
    PhotoMetadata metadata;
    int sourceType = 0;     // kTypeBmp..kTypeWebp of the file opened; 0 none
    bool oriented = false;  // the pixels were turned upright as its EXIF said
};

extern OpenPhoto MainPhoto;

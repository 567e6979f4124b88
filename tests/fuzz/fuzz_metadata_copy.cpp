// Metadata carried over from hostile files: the input is read as the source
// of a JPEG, PNG or WebP picture's metadata, which goes into a small picture
// of each type (chosen from the input) as it is written.  Exiv2's errors
// must come back as a failure with a reason, never as an exception, a crash
// or a leak; the orientation read is always 1..8; what was written can be
// read again.
#include "fuzz_support.h"

#include "files/metadata_copy.h"
#include "files/jpeg_writer.h"
#include "files/png_file.h"
#include "files/webp_file.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A 3 x 2 picture, made once.
ImageDocument& Picture()
{
    static ImageDocument doc = [] {
        ImageDocument made;
        ResetDocument(&made);
        HGLOBAL block = GlobalAlloc(GHND, WorkDibBytes(3, 2) + 4);
        made.hDib = block;
        made.dib = static_cast<BYTE*>(GlobalLock(block));
        WriteWorkDibHeader(made.dib, 3, 2);
        made.bmi = reinterpret_cast<BITMAPINFO*>(made.dib);
        made.width = 3;
        made.height = 2;
        made.isLoaded = 1;
        made.bitsOffset = kWorkDibHeaderBytes;
        return made;
    }();
    return doc;
}

// Writes the picture as type (0 JPEG, 1 PNG, 2 WebP) with metadata.
Outcome WriteWithMetadata(int type, const std::string& path, const PhotoMetadata& metadata)
{
    ImageDocument& doc = Picture();
    if (type == 1)
        return WritePngFile(path.c_str(), &doc, nullptr, &metadata);
    if (type == 2)
        return WriteWebpFile(path.c_str(), &doc, nullptr, 80, false, &metadata);
    std::vector<JpegSegment> segments;
    if (Outcome packed = JpegMetadataSegments(metadata, &segments); !packed.ok())
        return packed;
    std::snprintf(doc.path, sizeof doc.path, "%s", path.c_str());
    return WriteJpegFile(&doc, JpegWriteSettings{kJpegQualityDefault, false, segments});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qvfuzz::SetUpOnce();
    qvfuzz::BudgetPicture(size);
    qvfuzz::Choices choices(data, size);
    const std::string& source = qvfuzz::InputFile(data, size);

    int orientation = 0;
    const Outcome read = ReadOrientation(source.c_str(), &orientation);
    if (read.ok())
        qvfuzz::Check(orientation >= 1 && orientation <= 8, "orientation 1..8");
    else
        qvfuzz::Check(read.failure == Failure::MetadataUnreadable && orientation == 1,
                      "a failed read names its problem");

    const int type = static_cast<int>(choices.Next(3));
    MetadataSettings settings;
    settings.keep = choices.Next(2) == 1 ? MetadataKeep::AllButLocation : MetadataKeep::All;
    settings.width = 3;
    settings.height = 2;
    settings.orientationApplied = choices.Next(2) == 1;
    PhotoMetadata metadata;
    const Outcome taken = ReadPhotoMetadata(source.c_str(), settings, &metadata);
    if (!taken.ok()) {
        qvfuzz::Check(taken.failure == Failure::MetadataUnreadable || taken.failure == Failure::MetadataUnwritable,
                      "a failed read names its problem");
        qvfuzz::Check(metadata.empty(), "a failed read gives no metadata");
        return 0;
    }
    static const char* const extensions[] = {".jpg", ".png", ".webp"};
    const std::string written = qvfuzz::OutputFile(extensions[type]);
    const Outcome wrote = WriteWithMetadata(type, written, metadata);
    if (!wrote.ok()) {
        qvfuzz::Check(wrote.failure == Failure::MetadataUnwritable, "only the metadata can stop the write");
        return 0;
    }
    // A profile whose header does not give its own length is carried as it
    // is, but refused when read from a PNG file.
    const std::vector<std::uint8_t>& icc = metadata.icc;
    const bool soundProfile =
        icc.empty() || (icc.size() >= 4 && (std::size_t{icc[0]} << 24 | std::size_t{icc[1]} << 16 |
                                             std::size_t{icc[2]} << 8 | icc[3]) == icc.size());
    PhotoMetadata again;
    const Outcome reread = ReadPhotoMetadata(written.c_str(), settings, &again);
    qvfuzz::Check(reread.ok() || (type == 1 && !soundProfile), "the metadata written can be read again");
    std::remove(written.c_str());
    return 0;
}

#include "cli/picture_files.h"

#include "cli/report.h"
#include "files/bmp_writer.h"
#include "files/jpeg_writer.h"
#include "files/metadata_copy.h"
#include "files/png_file.h"
#include "files/webp_file.h"
#include "image/blocks.h"
#include "platform/file_names.h"
#include "processing/orientation.h"
#include "processing/resize.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

PictureExtras MainExtras;

namespace {

// Makes the engine's picture MainDocument's, with its alpha plane.
int AdoptPicture(PictureBlock* picture, const std::string& input)
{
    Outcome outcome;
    AdoptWorkDib(&MainDocument, picture->block, picture->width, picture->height, &outcome);
    MainExtras.alpha.swap(picture->alpha);
    return ReportOutcome(input, outcome);
}

int Crop(const CliOptions& options, const std::string& input)
{
    const PictureRect rect = {options.crop[0], options.crop[1], options.crop[2], options.crop[3]};
    const LONG width = MainDocument.width;
    const LONG height = MainDocument.height;
    if (!CropFits(rect, width, height)) {
        Report(input, Format(_("--crop %d,%d,%d,%d reaches outside the picture (%ld x %ld: columns 0..%ld, "
                               "rows 0..%ld)"),
                             options.crop[0], options.crop[1], options.crop[2], options.crop[3],
                             static_cast<long>(width), static_cast<long>(height), static_cast<long>(width - 1),
                             static_cast<long>(height - 1)));
        return -1;
    }
    PictureBlock cut = CropPicture(rect, WorkDibPixels(MainDocument.dib), width, height, MainExtras.alpha);
    if (cut.failure != Failure::None) {
        Report(input, _("not enough memory to crop the picture"));
        return -1;
    }
    return AdoptPicture(&cut, input);
}

int Resize(const CliOptions& options, const std::string& input)
{
    ResizeParams size;
    if (ResizedSize(options.resize, MainDocument.width, MainDocument.height, &size.width, &size.height) !=
        Failure::None) {
        Report(input, Format(_("--resize %s would make the picture larger than the largest one allowed (%lld "
                               "pixels, at most %lld a side)"),
                             options.resizeText.c_str(), static_cast<long long>(kMaxPicturePixels),
                             static_cast<long long>(kMaxPictureSide)));
        return -1;
    }
    PictureBlock resized =
        ResizePicture(size, WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height, MainExtras.alpha);
    if (resized.failure != Failure::None) {
        Report(input, _("not enough memory to resize the picture"));
        return -1;
    }
    if (AdoptPicture(&resized, input) != 0)
        return -1;
    ComputeLuminance(&MainDocument);
    return 0;
}

// The core writers, with the settings the options give and the JPEG
// metadata's segments.
int WriteWithCoreWriter(const CliOptions& options, const std::string& path, int type,
                        std::span<const JpegSegment> segments)
{
    if (CopyPathInto(&MainDocument, path) != 0)
        return -1;
    const Outcome outcome =
        type == kTypeBmp
            ? WriteBmpFile(&MainDocument, BmpWriteSettings{options.bmpDepth})
            : WriteJpegFile(&MainDocument, JpegWriteSettings{options.quality, options.progressive, segments});
    return ReportOutcome(path, outcome);
}

// The input's metadata for the file being written, and for a JPEG file
// its segments; a failure is reported, naming the input when its metadata
// cannot be read.
int PrepareMetadata(const CliOptions& options, const std::string& output, int type, PhotoMetadata* metadata,
                    std::vector<JpegSegment>* segments)
{
    const MetadataSettings settings{options.metadata, MainDocument.width, MainDocument.height, MainExtras.oriented};
    Outcome outcome = ReadPhotoMetadata(MainExtras.source.c_str(), settings, metadata);
    if (outcome.ok() && type == kTypeJpeg)
        outcome = JpegMetadataSegments(*metadata, segments);
    if (outcome.ok())
        return 0;
    ReportOutcome(outcome.failure == Failure::MetadataUnreadable ? MainExtras.source : output, outcome);
    return -1;
}

}  // namespace

int CopyPathInto(ImageDocument* doc, const std::string& path)
{
    if (!PathFits(path)) {
        Report(path, _("the path is too long (at most 255 characters)"));
        return -1;
    }
    std::memset(doc->path, 0, sizeof doc->path);
    std::memcpy(doc->path, path.data(), path.size());
    return 0;
}

int TypeForFormat(CliFormat format, int inputType)
{
    switch (format) {
    case CliFormat::Bmp: return kTypeBmp;
    case CliFormat::Jpeg: return kTypeJpeg;
    case CliFormat::Png: return kTypePng;
    case CliFormat::Webp: return kTypeWebp;
    default: return inputType;
    }
}

int PrepareInputPicture(const CliOptions& options, const std::string& input, int inputType)
{
    MainExtras.source = input;
    MainExtras.sourceType = inputType;
    MainExtras.oriented = false;
    if (!options.autoOrient || inputType == kTypeBmp)
        return 0;
    int orientation = 1;
    if (ReportOutcome(input, ReadOrientation(input.c_str(), &orientation)) != 0)
        return -1;
    if (orientation != 1) {
        PictureBlock turned = OrientPicture(orientation, WorkDibPixels(MainDocument.dib), MainDocument.width,
                                            MainDocument.height, MainExtras.alpha);
        if (turned.failure != Failure::None) {
            Report(input, _("not enough memory to turn the picture"));
            return -1;
        }
        if (AdoptPicture(&turned, input) != 0)
            return -1;
    }
    MainExtras.oriented = true;
    return 0;
}

int ShapeInputPicture(const CliOptions& options, const std::string& input)
{
    if (options.cropGiven && Crop(options, input) != 0)
        return -1;
    if (options.resizeGiven && Resize(options, input) != 0)
        return -1;
    return 0;
}

int WriteResultPicture(const CliOptions& options, const std::string& output, int type)
{
    const bool transparent = HasTransparency(MainExtras.alpha);
    const bool keepsAlpha = type == kTypePng || type == kTypeWebp;
    if (transparent && !keepsAlpha) {
        if (!options.backgroundGiven) {
            Report(MainExtras.source, Format(_("the picture has transparency, which %s files cannot hold: give "
                                               "--background COLOUR to put it over a colour"),
                                             type == kTypeBmp ? "BMP" : "JPEG"));
            return -1;
        }
        CompositeOverColour(WorkDibPixels(MainDocument.dib), MainExtras.alpha.data(), MainExtras.alpha.size(),
                            options.background);
    }

    // The metadata is read and encoded first and goes into the file as it
    // is written: metadata that cannot be carried stops the write.
    const bool withMetadata = options.metadata != MetadataKeep::None && type != kTypeBmp && MainExtras.sourceType != kTypeBmp &&
                              !MainExtras.source.empty();
    PhotoMetadata metadata;
    std::vector<JpegSegment> segments;
    if (withMetadata && PrepareMetadata(options, output, type, &metadata, &segments) != 0)
        return -1;

    const std::uint8_t* alpha = keepsAlpha && !MainExtras.alpha.empty() ? MainExtras.alpha.data() : nullptr;
    const PhotoMetadata* carried = withMetadata ? &metadata : nullptr;
    if (type == kTypeBmp || type == kTypeJpeg)
        return WriteWithCoreWriter(options, output, type, segments);
    return ReportOutcome(output, type == kTypePng ? WritePngFile(output.c_str(), &MainDocument, alpha, carried)
                                                  : WriteWebpFile(output.c_str(), &MainDocument, alpha,
                                                                  options.quality, options.lossless, carried));
}

#include "cli/batch.h"

#include "cli/batch_plan.h"
#include "cli/picture_files.h"
#include "cli/placement.h"
#include "cli/report.h"
#include "cli/text_mark_command.h"
#include "files/bmp_reader.h"
#include "files/jpeg_reader.h"
#include "image/blocks.h"
#include "image/command_sequence.h"
#include "image/image_document.h"
#include "processing/bump.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"

#include <cstring>

namespace {

// Reports text unless something was reported since mark.
void ReportUnlessReported(long mark, const std::string& name, const char* text)
{
    if (ReportedCount() == mark)
        Report(name, text);
}

// The open command's sequence on a fresh record: read, then luminance.
// *type receives the reader used; a PNG or WebP file's transparency goes
// to *alpha.
int ReadPicture(ImageDocument* doc, bool isMain, const std::string& path, int* type, std::vector<std::uint8_t>* alpha)
{
    ReleaseDocument(doc);
    ResetDocument(doc, isMain);
    alpha->clear();
    if (CopyPathInto(doc, path) != 0)
        return -1;
    *type = SniffPictureType(path);
    const long mark = ReportedCount();
    const Outcome outcome = *type == kTypeBmp    ? ReadBmpFile(doc)
                            : *type == kTypeJpeg ? ReadJpegFile(doc)
                                                 : ReadPortablePicture(doc, *type, alpha);
    if (ReportOutcome(path, outcome) != 0 || !doc->dib) {
        ReportUnlessReported(mark, path, _("the file cannot be read"));
        ReleaseDocument(doc);
        return -1;
    }
    doc->isModified = 0;
    doc->bitsOffset = kWorkDibHeaderBytes;
    ComputeLuminance(doc);
    return 0;
}

// What the bump dialog does at opening: the watermark becomes a private
// copy of the picture (or region), luminance bytes included.
int CopyPictureInto(ImageDocument* copy, const ImageDocument* source)
{
    ReleaseDocument(copy);
    *copy = *source;
    copy->hDib = nullptr;
    copy->dib = nullptr;
    copy->bmi = nullptr;
    const std::size_t bytes = WorkDibBytes(source->width, source->height);
    HGLOBAL block = AllocateBlock(bytes);
    if (!block) {
        ResetDocument(copy, false);
        return -1;
    }
    // The copy's own block and header: the record must not point into the
    // source.
    AdoptWorkDib(copy, block, source->width, source->height, nullptr);
    std::memcpy(copy->dib, source->dib, bytes);
    return 0;
}

// A command's run between the cut-out and the engine: the options, the
// input's name for messages, and the watermark the bump uses (the read
// one, the picture's own copy, or a resized copy held here).
struct CommandRun {
    const CliOptions* options;
    const std::string* input;
    ImageDocument* watermark;
    ImageDocument sized;
};

// The settings and checks of each command, between the cut-out and the
// engine: 1 to go on, -1 on a problem (reported).
int PrepareBump(CommandRun* run)
{
    const CliOptions& o = *run->options;
    const std::string& input = *run->input;
    ProcessingMode = 2;
    run->watermark = &WatermarkDocument;
    if (BumpsWithOwnPicture(o) && CopyPictureInto(run->watermark, &MainDocument) != 0) {
        Report(input, _("not enough memory for the watermark"));
        return -1;
    }
    // --size, --gravity, --margin: a resized watermark at its own size.
    SizedPlacement place = {};
    const bool sized = UsesSizedPlacement(o);
    if (sized) {
        std::string problem;
        if (PlaceSizedWatermark(o, MainDocument.width, MainDocument.height, run->watermark->width,
                                run->watermark->height, &place, &problem) != 0) {
            Report(input, problem);
            return -1;
        }
        if (ResizeWatermark(run->watermark, place.width, place.height, &run->sized) != 0) {
            Report(input, _("not enough memory for the watermark"));
            return -1;
        }
        run->watermark = &run->sized;
    }

    BumpSettings.lightX = o.light[0];
    BumpSettings.lightY = o.light[1];
    BumpSettings.lightZ = o.light[2];
    BumpSettings.strength = o.bumpStrength;
    BumpSettings.strengthValue = static_cast<double>(o.bumpStrength);
    BumpSettings.amplification = o.amplify;
    BumpSettings.ambient = o.ambient;
    BumpSettings.KeepAspect = o.keepAspect ? 1 : 0;
    BumpSettings.DontEnlarge = o.noEnlarge ? 1 : 0;
    BumpSettings.RepeatTile = o.tile ? 1 : 0;
    BumpSettings.OffsetX = o.offsetX;
    BumpSettings.OffsetY = o.offsetY;
    if (sized) {
        BumpSettings.DontEnlarge = o.tile ? 0 : 1;
        BumpSettings.OffsetX = o.tile ? 0 : place.x;
        BumpSettings.OffsetY = o.tile ? 0 : place.y;
    }

    // The offsets the dialog's position bars would allow; a bar that is not
    // shown allows only 0.
    const BumpPlacement placement =
        PlaceWatermark(MainDocument.width, MainDocument.height, run->watermark->width, run->watermark->height);
    const long maxX = placement.offsetBarX ? placement.offsetMaxX : 0;
    const long maxY = placement.offsetBarY ? placement.offsetMaxY : 0;
    if (BumpSettings.OffsetX > maxX || BumpSettings.OffsetY > maxY) {
        Report(input, Format(_("--offset %d,%d is outside the room the watermark leaves here (0..%ld, 0..%ld)"),
                             BumpSettings.OffsetX, BumpSettings.OffsetY, maxX, maxY));
        return -1;
    }
    return 1;
}

void PrepareFilter(const CliOptions& o)
{
    ProcessingMode = 1;
    FilterSettings.filterKind = o.filterKind;
    FilterSettings.sharpenStrength = 0;
    FilterSettings.softStrength = 0;
    FilterSettings.embossStrength = 0;
    FilterSettings.customStrength = 0;
    switch (o.filterKind) {
    case kFilterSharpen: FilterSettings.sharpenStrength = o.filterStrength; break;
    case kFilterSoft: FilterSettings.softStrength = o.filterStrength; break;
    case kFilterEmboss: FilterSettings.embossStrength = o.filterStrength; break;
    default: FilterSettings.customStrength = o.filterStrength; break;
    }
    // The user writes the kernel as seen on screen, top row first; the
    // engine's rows run bottom-up.
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            FilterSettings.customKernel[2 - row][col] = o.kernel[row * 3 + col];
}

void PrepareEffect(const CliOptions& o)
{
    BYTE* pixels = MainDocument.dib + kWorkDibHeaderBytes;
    MeasureChannelRanges(pixels, MainDocument.width, MainDocument.height);
    EffectSettings.effectKind = o.effectKind;
    EffectSettings.levelId = o.levelId;
    for (int c = 0; c < 3; ++c) {
        EffectSettings.lowerBound[c] = o.boundsGiven ? o.bounds[2 * c] : ChannelRange.minimum[c];
        EffectSettings.upperBound[c] = o.boundsGiven ? o.bounds[2 * c + 1] : ChannelRange.maximum[c];
    }
}

void PrepareColourAdjust(const CliOptions& o)
{
    ResetColourAdjust();
    YshSettings.luminance = o.luminance;
    YshSettings.saturation = o.saturation;
    YshSettings.hue = o.hue;
    ColourAdjustMode = o.cmyk ? kColourModeCmyk : kColourModeYsh;
}

int PrepareCommand(void* context)
{
    auto* run = static_cast<CommandRun*>(context);
    const CliOptions& o = *run->options;
    switch (o.command) {
    case CliCommand::Bump: return PrepareBump(run);
    case CliCommand::Filter: PrepareFilter(o); return 1;
    case CliCommand::Effect: PrepareEffect(o); return 1;
    case CliCommand::Ysh: PrepareColourAdjust(o); return 1;
    default: return 1;
    }
}

// The engine on the document as the cut-out left it: 0, or -1 without
// memory (the command sequence reports it).
int ApplyCommand(void* context)
{
    const auto* run = static_cast<const CommandRun*>(context);
    BYTE* pixels = WorkDibPixels(MainDocument.dib);
    switch (run->options->command) {
    case CliCommand::Bump: return ApplyBump(nullptr, run->watermark, &MainDocument);
    case CliCommand::Filter: return ApplyNeighbourhoodFilter(nullptr, MainDocument.hDib);
    case CliCommand::Effect:
        ApplyEffect(pixels, reinterpret_cast<const BITMAPINFOHEADER*>(MainDocument.dib), EffectSettings.effectKind,
                    EffectSettings.levelId);
        return 0;
    case CliCommand::Ysh: ApplyColourAdjust(pixels, MainDocument.width, MainDocument.height); return 0;
    default: return 0;
    }
}

int OutputType(int inputType, const BatchTarget& target)
{
    return TypeForFormat(target.format, inputType);
}

std::string OutputPathFor(const std::string& input, const BatchTarget& target, int type)
{
    if (target.outputFile)
        return target.outputFile;
    std::string path = target.outputDirectory;
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + StemOf(input) + target.suffix + TypeExtension(type);
}

int WritePicture(const CliOptions& o, const std::string& output, int type)
{
    if (WriteResultPicture(o, output, type) != 0)
        return -1;
    MainDocument.isModified = 0;
    return 0;
}

// Everything after a successful read; the caller releases the pictures.
int ProcessAndWrite(const CliOptions& o, const std::string& input, int inputType, const BatchTarget& target,
                    std::vector<std::string>* written)
{
    if (o.command != CliCommand::Convert) {
        SelectionRect selection = {};
        if (o.regionGiven) {
            selection.active = 1;
            selection.left = o.region[0];
            selection.top = o.region[1];
            selection.right = o.region[2];
            selection.bottom = o.region[3];
        }
        const LONG width = MainDocument.width;
        const LONG height = MainDocument.height;
        if (selection.active &&
            (selection.left >= width || selection.top >= height || selection.right < 0 || selection.bottom < 0)) {
            Report(input, Format(_("--region %ld,%ld,%ld,%ld lies wholly outside the picture (%ld x %ld)"),
                                 static_cast<long>(selection.left), static_cast<long>(selection.top),
                                 static_cast<long>(selection.right), static_cast<long>(selection.bottom),
                                 static_cast<long>(width), static_cast<long>(height)));
            return -1;
        }
        // The picture as shown unscrolled at the view's top-left corner:
        // client coordinates are picture coordinates.
        CommandRun run{&o, &input, nullptr, {}};
        SetReportName(input.c_str());
        const long mark = ReportedCount();
        const int result = RunProcessingCommand(nullptr, &MainDocument, &selection, RegionOrigin{},
                                                ProcessingSteps{PrepareCommand, ApplyCommand, &run});
        SetReportName(nullptr);
        ReleaseDocument(&run.sized);
        if (result != 0) {
            ReportUnlessReported(mark, input, _("not enough memory for the region"));
            return -1;
        }
    }

    const int type = OutputType(inputType, target);
    const std::string output = OutputPathFor(input, target, type);
    for (const std::string& earlier : *written)
        if (earlier == output) {
            Report(input, ClashText(output));
            return -1;
        }
    if (WritePicture(o, output, type) != 0)
        return -1;
    written->push_back(output);
    return 0;
}

}  // namespace

std::string ClashText(const std::string& output)
{
    return Format(_("its result %s would replace the result of an earlier input"), output.c_str());
}

int BeginBatch(const CliOptions& options, const TextField* textMark)
{
    RouteCoreMessages();
    ResetDocument(&MainDocument, true);
    ResetDocument(&WatermarkDocument, false);
    if (options.command != CliCommand::Bump)
        return 0;
    if (!options.watermark.empty()) {
        int type = 0;
        std::vector<std::uint8_t> alpha;
        if (ReadPicture(&WatermarkDocument, false, options.watermark, &type, &alpha) != 0)
            return -1;
        // A logo on a transparent ground rises where it is opaque.
        UseAlphaAsHeights(&WatermarkDocument, alpha);
    } else if (textMark && MakeTextMarkDocument(*textMark, options.text.soften, &WatermarkDocument) != 0) {
        return -1;
    }
    return 0;
}

int RunBatchFile(const CliOptions& options, const std::string& input, const BatchTarget& target,
                 std::vector<std::string>* written)
{
    int inputType = 0;
    int result = ReadPicture(&MainDocument, true, input, &inputType, &MainExtras.alpha);
    if (result == 0)
        result = PrepareInputPicture(options, input, inputType);
    if (result == 0)
        result = ProcessAndWrite(options, input, inputType, target, written);
    ReleaseDocument(&MainDocument);
    if (BumpsWithOwnPicture(options))
        ReleaseDocument(&WatermarkDocument);  // the per-picture copy
    return result;
}

void EndBatch()
{
    ReleaseDocument(&MainDocument);
    ReleaseDocument(&WatermarkDocument);
    ReleaseDocument(&DisplayCopy);
    StopRoutingCoreMessages();
    MainExtras = PictureExtras();
}

std::string BatchOutputPath(const std::string& input, const BatchTarget& target)
{
    return OutputPathFor(input, target, OutputType(SniffPictureType(input), target));
}

#include "cli/batch.h"

#include "cli/batch_plan.h"
#include "cli/picture_files.h"
#include "cli/placement.h"
#include "cli/report.h"
#include "cli/system.h"
#include "cli/text_mark_command.h"
#include "image/blocks.h"
#include "image/command_sequence.h"
#include "image/image_document.h"
#include "processing/bevel.h"
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
int ReadPicture(ImageDocument* doc, const std::string& path, int* type, std::vector<std::uint8_t>* alpha)
{
    ReleaseDocument(doc);
    ResetDocument(doc);
    alpha->clear();
    if (CopyPathInto(doc, path) != 0)
        return -1;
    *type = SniffPictureType(path.c_str());
    const long mark = ReportedCount();
    const Outcome outcome = ReadPictureFile(doc, *type, alpha);
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
        ResetDocument(copy);
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
    BumpParams bump;      // the options' bump with this picture's placement
    EffectParams effect;  // the options' effect with this picture's bounds
};

// The settings and checks of each command, between the cut-out and the
// engine: true to go on, false on a problem (reported).
bool PrepareBump(CommandRun* run)
{
    const CliOptions& o = *run->options;
    const std::string& input = *run->input;
    run->watermark = &WatermarkDocument;
    if (BumpsWithOwnPicture(o) && CopyPictureInto(run->watermark, &MainDocument) != 0) {
        Report(input, _("not enough memory for the watermark"));
        return false;
    }
    if (BumpsWithOwnPicture(o) && o.bevelGiven && ApplyBevel(o.bevel, run->watermark) != Failure::None) {
        Report(input, _("not enough memory for the watermark"));
        return false;
    }
    // --size, --gravity, --margin: a resized watermark at its own size.
    SizedPlacement place = {};
    const bool sized = UsesSizedPlacement(o);
    if (sized) {
        std::string problem;
        if (PlaceSizedWatermark(o, MainDocument.width, MainDocument.height, run->watermark->width,
                                run->watermark->height, &place, &problem) != 0) {
            Report(input, problem);
            return false;
        }
        if (ResizeWatermark(run->watermark, place.width, place.height, &run->sized) != 0) {
            Report(input, _("not enough memory for the watermark"));
            return false;
        }
        run->watermark = &run->sized;
    }

    run->bump = o.bump;
    WatermarkLayout& layout = run->bump.layout;
    if (sized) {
        const bool tile = layout.repeatTile;
        layout.dontEnlarge = !tile;
        layout.offsetX = tile ? 0 : place.x;
        layout.offsetY = tile ? 0 : place.y;
    }

    // The offsets the dialog's position bars would allow: the room the
    // watermark leaves (0 where a bar is not shown).
    const BumpPlacement placement = PlaceWatermark(layout, MainDocument.width, MainDocument.height,
                                                   run->watermark->width, run->watermark->height);
    const long maxX = placement.offsetMaxX;
    const long maxY = placement.offsetMaxY;
    if (layout.offsetX > maxX || layout.offsetY > maxY) {
        Report(input, Format(_("--offset %d,%d is outside the room the watermark leaves here (0..%ld, 0..%ld)"),
                             layout.offsetX, layout.offsetY, maxX, maxY));
        return false;
    }
    return true;
}

// The effect's settings for this picture (or region): the contrast
// bounds given, or else its measured ranges, as the dialog sets them.
void PrepareEffect(CommandRun* run)
{
    const CliOptions& o = *run->options;
    run->effect = o.effect;
    if (o.boundsGiven)
        return;
    const ChannelRanges ranges =
        MeasureChannelRanges(WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height);
    for (int c = 0; c < 3; ++c) {
        run->effect.lowerBound[c] = ranges.minimum[c];
        run->effect.upperBound[c] = ranges.maximum[c];
    }
}

bool PrepareCommand(void* context)
{
    auto* run = static_cast<CommandRun*>(context);
    switch (run->options->command) {
    case CliCommand::Bump: return PrepareBump(run);
    case CliCommand::Effect: PrepareEffect(run); return true;
    default: return true;
    }
}

// The engine on the document as the cut-out left it: Failure::None, or
// Failure::OutOfMemory.
Failure ApplyCommand(void* context)
{
    const auto* run = static_cast<const CommandRun*>(context);
    BYTE* pixels = WorkDibPixels(MainDocument.dib);
    switch (run->options->command) {
    case CliCommand::Bump: return ApplyBump(run->bump, run->watermark, &MainDocument);
    case CliCommand::Filter: return ApplyNeighbourhoodFilter(run->options->filter, MainDocument.hDib);
    case CliCommand::Effect:
        ApplyEffect(run->effect, pixels, reinterpret_cast<const BITMAPINFOHEADER*>(MainDocument.dib));
        return Failure::None;
    case CliCommand::Ysh:
        ApplyColourAdjust(run->options->ysh, pixels, MainDocument.width, MainDocument.height);
        return Failure::None;
    default: return Failure::None;
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
    if (!path.empty() && !IsPathSeparator(path.back()))
        path += SeparatorFor(path);
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
        const PictureRect region = {o.region[0], o.region[1], o.region[2], o.region[3]};
        const LONG width = MainDocument.width;
        const LONG height = MainDocument.height;
        if (o.regionGiven && (region.left >= width || region.top >= height || region.right < 0 || region.bottom < 0)) {
            Report(input, Format(_("--region %ld,%ld,%ld,%ld lies wholly outside the picture (%ld x %ld)"),
                                 static_cast<long>(region.left), static_cast<long>(region.top),
                                 static_cast<long>(region.right), static_cast<long>(region.bottom),
                                 static_cast<long>(width), static_cast<long>(height)));
            return -1;
        }
        CommandRun run{&o, &input, nullptr, {}, {}, {}};
        const long mark = ReportedCount();
        const CommandOutcome result = RunProcessingCommand(&MainDocument, o.regionGiven ? &region : nullptr,
                                                           ProcessingSteps{PrepareCommand, ApplyCommand, &run});
        ReleaseDocument(&run.sized);
        if (result.failure != Failure::None) {
            ReportOutcome(input, Fail(result.failure));
            return -1;
        }
        if (!result.applied) {
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
    ResetDocument(&MainDocument);
    ResetDocument(&WatermarkDocument);
    if (options.command != CliCommand::Bump)
        return 0;
    if (!options.watermark.empty()) {
        int type = 0;
        std::vector<std::uint8_t> alpha;
        if (ReadPicture(&WatermarkDocument, options.watermark, &type, &alpha) != 0)
            return -1;
        // A logo on a transparent ground rises where it is opaque.
        UseAlphaAsHeights(&WatermarkDocument, alpha);
        // --bevel: at the mark's own size, before any placement.
        if (options.bevelGiven && ApplyBevel(options.bevel, &WatermarkDocument) != Failure::None) {
            Report(options.watermark, _("not enough memory for the watermark"));
            return -1;
        }
    } else if (textMark && MakeTextMarkDocument(*textMark, options.text, &WatermarkDocument) != 0) {
        return -1;
    }
    return 0;
}

int RunBatchFile(const CliOptions& options, const std::string& input, const BatchTarget& target,
                 std::vector<std::string>* written)
{
    int inputType = 0;
    int result = ReadPicture(&MainDocument, input, &inputType, &MainExtras.alpha);
    if (result == 0 && options.textPerPhoto)
        result = MakePhotoTextMark(options, input);
    if (result == 0)
        result = PrepareInputPicture(options, input, inputType);
    if (result == 0)
        result = ShapeInputPicture(options, input);
    if (result == 0)
        result = ProcessAndWrite(options, input, inputType, target, written);
    ReleaseDocument(&MainDocument);
    if (BumpsWithOwnPicture(options) || options.textPerPhoto)
        ReleaseDocument(&WatermarkDocument);  // the per-picture copy, or its own text mark
    return result;
}

void EndBatch()
{
    ReleaseDocument(&MainDocument);
    ReleaseDocument(&WatermarkDocument);
    ReleaseDocument(&DisplayCopy);
    MainExtras = PictureExtras();
}

std::string BatchOutputPath(const std::string& input, const BatchTarget& target)
{
    return OutputPathFor(input, target, OutputType(SniffPictureType(input.c_str()), target));
}

// The command line of quillvane-cli, parsed into one plain record.
//
// Parsing touches nothing outside the record: no files, no output, no core
// state.  Everything that can be checked without opening a picture is
// checked here, so a bad command line never writes anything.
#pragma once

#include "files/bmp_writer.h"
#include "files/jpeg_writer.h"
#include "processing/bevel.h"
#include "files/metadata_copy.h"
#include "processing/bump.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "processing/filters.h"
#include "processing/placement.h"
#include "processing/resize.h"
#include "text/text_mark_params.h"

#include <cstddef>
#include <string>
#include <vector>

enum class CliCommand { None, Help, Version, Convert, Bump, Filter, Effect, Ysh, TextMark };

// The output's type when the user named one; FromName decides it later
// from the output file's extension or, for a directory, from each input.
enum class CliFormat { FromName, Bmp, Jpeg, Png, Webp };

// Where the watermark goes under --gravity: -1 west (north), 0 centre,
// 1 east (south), for each direction.
struct CliGravity {
    int x = 0;
    int y = 0;
};

// A length in pixels or in per cent of the processed area's side.
using CliLength = PlacementLength;

struct CliOptions {
    CliCommand command = CliCommand::None;
    std::vector<std::string> inputs;
    std::string output;
    bool outputGiven = false;

    // How many files run at once: 0 means one per core.  With several
    // inputs and more than one job, each input runs in a copy of the
    // program started with workerArguments, one input and the same -o.
    int jobs = 0;
    // The command and every option but -o and --jobs, as written.
    std::vector<std::string> workerArguments;

    // File settings.
    CliFormat format = CliFormat::FromName;
    int bmpDepth = kBmpDepthDefault;    // 16, 24 or 32
    int quality = kJpegQualityDefault;  // kJpegQualityMin..kJpegQualityMax (JPEG and lossy WebP)
    bool progressive = false;
    bool lossless = false;             // WebP
    bool backgroundGiven = false;      // a photo's transparency over this colour for BMP/JPEG
    unsigned char background[3] = {255, 255, 255};  // red, green, blue
    MetadataKeep metadata = kMetadataKeepDefault;  // --metadata (--strip: none)
    bool autoOrient = false;           // turn the pixels as the EXIF orientation says

    // The picture cut to a rectangle (left, top, right, bottom, both ends
    // inclusive) and resized, in that order, after --auto-orient and
    // before the command.
    bool cropGiven = false;
    int crop[4] = {0, 0, 0, 0};
    bool resizeGiven = false;
    ResizeRequest resize;
    std::string resizeText;            // --resize as written, for messages

    // Batches of files and folders.
    std::string preset;                // --preset FILE, as given
    bool recursive = false;
    std::string suffix;                // added to each output's stem in a directory
    bool skipExisting = false;
    bool inPlace = false;              // a result may replace its input

    // The selection, in picture pixels: left, top, right, bottom.
    bool regionGiven = false;
    int region[4] = {0, 0, 0, 0};

    // bump
    std::string watermark;  // empty: the picture (or region) itself
    bool lightGiven = false;
    bool azimuthGiven = false;
    bool elevationGiven = false;
    double azimuth = 135.0;    // degrees, counter-clockwise from the right
    double elevation = 45.0;   // degrees above the picture plane
    // The light (finally from --light or the azimuth and elevation), the
    // strengths, and the placement: --keep-aspect, --no-enlarge, --tile,
    // --offset.
    BumpParams bump;
    // --size, --gravity, --margin: the watermark resized and placed by the
    // processed area's size.
    bool sizeGiven = false;
    CliLength size;                    // width of the resized watermark
    bool gravityGiven = false;
    CliGravity gravity;
    bool marginGiven = false;
    CliLength margin[2];               // x, y
    // --bevel: the watermark (file, text or the picture's copy) bevelled at
    // its own size before it is placed; a text mark gets its default bevel
    // (text.bevel) when it is not given, any other watermark none.
    bool bevelGiven = false;
    BevelParams bevel;

    // filter (--kernel is written as seen on screen, top row first; the
    // kernel here is in the engine's order, bottom row first)
    FilterParams filter;
    bool filterKindGiven = false;
    bool kernelGiven = false;

    // effect: the contrast bounds when boundsGiven, else each picture's
    // measured ranges
    EffectParams effect;
    bool effectKindGiven = false;
    bool levelsGiven = false;
    bool boundsGiven = false;

    // ysh: the dialog's slider positions (the options give each less its
    // neutral position), or --cmyk
    YshParams ysh;

    // text-mark (TEXT is the one argument that is not an option), and bump
    // --text: a line (or lines) of text drawn as a relief.  The escape \n
    // (and a real line break) in what the user typed starts a new line.
    bool textGiven = false;  // bump: --text was given
    TextMarkParams text;
    // bump --text with placeholders ({filename}, {exif:Artist}...): the
    // mark is filled in and drawn for each photo.  Set by the tool once the
    // text is checked (cli/text_mark_command.h), not by an option.
    bool textPerPhoto = false;
};

// True when bump lights the picture (or region) with its own brightness:
// neither a watermark file nor a text is given.
inline bool BumpsWithOwnPicture(const CliOptions& options)
{
    return options.watermark.empty() && !options.textGiven;
}

// Parses argv[1..argc-1].  Returns 0 with *options filled, or -1 with a
// one-line description of the problem in *error (options is then partly
// filled and must not be used).  --help and --version anywhere before "--"
// win over every other argument and over any error.  --preset FILE reads
// options one per line ("--strength 60"; '#' comments and blank lines
// skipped) as if they came before the command line's, which overrides
// them; a problem in the file is named FILE:LINE.

int ParseCliOptions(int argc, const char* const* argv, CliOptions* options, std::string* error);

// Maps a file name's extension (.bmp, .jpg, .jpeg, .png, .webp, any case)
// to a format; FromName when it is none of these.
CliFormat FormatFromExtension(const std::string& name);

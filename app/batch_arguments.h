// What the batch window asks of the tool: its choices as one record, and
// for each photo the arguments of quillvane-cli that do it.  The window
// runs the tool once per photo, so every result is the tool's own.
// Portable (no window), so that native tests check it.
#pragma once

#include "processing/bump.h"
#include "processing/param_range.h"
#include "processing/resize.h"

#include <string>
#include <vector>

enum class BatchType { SameAsInput, Bmp, Jpeg, Png, Webp };
enum class BatchMetadata { All, NoLocation, None };
enum class BatchResize { None, LongEdge, Percent, Fit };
enum class BatchMark { File, Text };
// Own size, repeated, stretched over the picture, or sized in per cent of
// the picture's width and laid at an anchor with margins.
enum class BatchPlacement { OwnSize, Tiled, Stretched, Sized };
// The nine anchors, row by row from the top-left.
enum class BatchAnchor { NorthWest, North, NorthEast, West, Center, East, SouthWest, South, SouthEast };

// The ranges of the window's numbers, as the tool takes them.
inline constexpr ParamRange kBatchQuality{60, 100, 80};
inline constexpr ParamRange kBatchLongEdge{kResizeSide.min, kResizeSide.max, 2048};
inline constexpr ParamRange kBatchPercent{1, 1000, 50};
inline constexpr ParamRange kBatchFitWidth{kResizeSide.min, kResizeSide.max, 1920};
inline constexpr ParamRange kBatchFitHeight{kResizeSide.min, kResizeSide.max, 1080};
inline constexpr ParamRange kBatchTextHeight{8, 2048, 256};
inline constexpr ParamRange kBatchMarkSize{1, 100, 20};
inline constexpr ParamRange kBatchMargin{0, 100000, 0};

struct BatchSettings {
    // Inputs: files, or one folder (with its subfolders when recursive).
    std::vector<std::string> inputs;
    bool recursive = false;
    std::string outputFolder;
    std::string suffix;

    BatchType type = BatchType::SameAsInput;
    int quality = kBatchQuality.def;  // JPEG and lossy WebP
    bool lossless = false;            // WebP (and WebP inputs kept as such)
    BatchMetadata metadata = BatchMetadata::All;

    BatchResize resize = BatchResize::None;
    int longEdge = kBatchLongEdge.def;
    int percent = kBatchPercent.def;
    int fitWidth = kBatchFitWidth.def;
    int fitHeight = kBatchFitHeight.def;

    BatchMark mark = BatchMark::File;
    std::string watermarkFile;
    std::string text;  // one line, as typed
    std::string font;  // a family name or a font file; "" for the tool's default
    int textHeight = kBatchTextHeight.def;

    BatchPlacement placement = BatchPlacement::Sized;
    int markSize = kBatchMarkSize.def;  // per cent of the picture's width
    BatchAnchor anchor = BatchAnchor::SouthEast;
    int marginX = kBatchMargin.def;     // pixels
    int marginY = kBatchMargin.def;
};

// The tool's arguments (command first, the program's name left out) that
// stamp one photo into outputFolder, lit as bump says (the bump dialog's
// light, strength, amplification and ambient).
std::vector<std::string> BatchToolArguments(const BatchSettings& settings, const BumpParams& bump,
                                            const std::string& input, const std::string& outputFolder);

// The tool's value for a typed text: a backslash doubled (the tool reads
// "\n" as a line break and "\\" as one backslash).
std::string ToolMarkText(const std::string& typed);

// --size, --gravity and --margin: the watermark resized by the processed
// area's size and laid where the gravity and margins say.  Each run is the
// same as --no-enlarge --offset X,Y with the resized watermark.
#pragma once

#include "cli/options.h"
#include "image/image_document.h"
#include "processing/placement.h"

#include <string>

// True when the options ask for this placement.
bool UsesSizedPlacement(const CliOptions& options);

// The placement (processing/placement.h) for an areaWidth x areaHeight
// area and a markWidth x markHeight watermark.  Returns 0, or -1 with the
// reason in *problem when the watermark does not fit with its margins (a
// tiled one need not fit).
int PlaceSizedWatermark(const CliOptions& options, LONG areaWidth, LONG areaHeight, LONG markWidth,
                        LONG markHeight, SizedPlacement* placement, std::string* problem);

// Makes *resized a width x height copy of mark by the engine's ScaleDib
// (all four bytes of each pixel resampled), or an exact copy when the size
// is the mark's own.  The caller releases it.  Returns 0 or -1 (no memory).
int ResizeWatermark(const ImageDocument* mark, LONG width, LONG height, ImageDocument* resized);

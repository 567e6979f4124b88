// The sequence every processing command takes on the picture, whatever
// front end runs it (the main window with its dialogs, the command-line
// tool, the tests): cut the region out, let the front end prepare, run the
// engine, then paste the result back and mark the picture modified, or put
// the picture back as it was.  The sequence shows nothing: the front end
// says what its result means.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"
#include "image/region_swap.h"

// One command's own parts, called with context.
struct ProcessingSteps {
    // After the cut-out, before the engine: the command's dialog, or the
    // settings a batch gives.  Failure::None goes on; any other failure
    // ends the command with it (Failure::Declined: the user said no, or
    // the front end has already said why).  Null: go on.
    Failure (*prepare)(void* context);
    // The engine, on the document as the cut-out left it: Failure::None,
    // or Failure::OutOfMemory.
    Failure (*apply)(void* context);
    void* context;
};

// region: the rectangle the command is confined to, in picture pixels, or
// null for the whole picture.  Returns Failure::None when the command was
// applied: the region is back in the picture, doc->isModified is 1.  In
// every other case the picture is exactly as it was: Failure::RegionEmpty
// when the region holds none of the picture, Failure::OutOfMemory when
// there is no memory for the region or the engine ran out of it, or what
// prepare returned.
Failure RunProcessingCommand(ImageDocument* doc, const PictureRect* region, const ProcessingSteps& steps);

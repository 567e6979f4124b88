// The sequence every processing command takes on the picture, whatever
// front end runs it (the main window with its dialogs, the command-line
// tool, the tests): cut the region out, let the front end prepare, run the
// engine, then paste the result back and mark the picture modified, or put
// the picture back as it was.  The sequence shows nothing: the front end
// says what its outcome means.
#pragma once

#include "image/failure.h"
#include "image/history.h"
#include "image/image_document.h"
#include "image/region_swap.h"

// One command's own parts, called with context.
struct ProcessingSteps {
    // After the cut-out, before the engine: the command's dialog, or the
    // settings a batch gives.  true goes on; false ends the command (the
    // user said no, or the front end met a problem and has said so).
    // Null: go on.
    bool (*prepare)(void* context);
    // The engine, on the document as the cut-out left it: Failure::None,
    // or Failure::OutOfMemory.
    Failure (*apply)(void* context);
    void* context;
};

// How a command ended.  Applied: the region is back in the picture and
// doc->isModified is 1.  Otherwise the picture is exactly as it was, and
// failure says why when something failed: Failure::OutOfMemory when there
// was no memory for the region or the engine ran out of it; Failure::None
// when there was nothing to do (the region holds none of the picture) or
// prepare ended the command.
struct CommandOutcome {
    bool applied = false;
    Failure failure = Failure::None;
};

// region: the rectangle the command is confined to, in picture pixels, or
// null for the whole picture.  history, when given, keeps what the engine
// changes so that it can be undone (image/history.h): a copy of the region
// is taken after prepare, before the engine, and becomes a step when the
// region is pasted back.
CommandOutcome RunProcessingCommand(ImageDocument* doc, const PictureRect* region, const ProcessingSteps& steps,
                                    EditHistory* history = nullptr);

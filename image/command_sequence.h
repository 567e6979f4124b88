// The sequence every processing command takes on the picture, whatever
// front end runs it (the main window with its dialogs, the command-line
// tool, the tests): cut the selected rectangle out, let the front end
// prepare, run the engine, then paste the result back and mark the picture
// modified, or put the picture back as it was.
#pragma once

#include "image/image_document.h"
#include "image/region_swap.h"

// How the selection's client coordinates map to the picture: the view's
// scroll position and the picture's offset in the view (all 0 where client
// coordinates are picture coordinates).
struct RegionOrigin {
    LONG scrolledX;
    LONG scrolledY;
    LONG imageOffsetX;
    LONG imageOffsetY;
};

// One command's own parts, called with context.
struct ProcessingSteps {
    // After the cut-out, before the engine: the command's dialog, or the
    // settings a batch gives.  1: go on; 0: the user declined; -1: a
    // problem, already reported.  Null: go on.
    int (*prepare)(void* context);
    // The engine, on the document as the cut-out left it: 0, or -1 when it
    // ran out of memory (it reports nothing itself).
    int (*apply)(void* context);
    void* context;
};

// Returns 0 when the command was applied: the region is back in the
// picture, doc->isModified is 1.  Returns 1 when prepare declined, -1 when
// the selection could not be cut out (nothing to process, said nothing; or
// no memory for the region), when prepare failed, or when the engine ran
// out of memory (both "メモリーが足りません。" reported to owner).  In every
// case but 0 the picture is exactly as it was.
int RunProcessingCommand(HWND owner, ImageDocument* doc, const SelectionRect* sel, const RegionOrigin& origin,
                         const ProcessingSteps& steps);

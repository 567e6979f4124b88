#include "image/command_sequence.h"

#include "image/messages.h"

int RunProcessingCommand(HWND owner, ImageDocument* doc, const SelectionRect* sel, const RegionOrigin& origin,
                         const ProcessingSteps& steps)
{
    if (RegionSwapExtract(owner, doc, sel, origin.scrolledX, origin.scrolledY, origin.imageOffsetX,
                          origin.imageOffsetY) != 0)
        return -1;
    const int prepared = steps.prepare ? steps.prepare(steps.context) : 1;
    if (prepared != 1) {
        RegionSwapCancel(doc, sel);
        return prepared == 0 ? 1 : -1;
    }
    if (steps.apply(steps.context) != 0) {
        ReportError(owner, msg::kOutOfMemory);
        RegionSwapCancel(doc, sel);
        return -1;
    }
    RegionSwapCommit(doc, sel, origin.scrolledX, origin.scrolledY, origin.imageOffsetX, origin.imageOffsetY);
    doc->isModified = 1;
    return 0;
}

#include "image/command_sequence.h"

CommandOutcome RunProcessingCommand(ImageDocument* doc, const PictureRect* region, const ProcessingSteps& steps)
{
    RegionSwap swap;
    switch (RegionSwapExtract(&swap, doc, region)) {
    case RegionCut::Ready:
        break;
    case RegionCut::Empty:
        return {};
    case RegionCut::OutOfMemory:
        return {false, Failure::OutOfMemory};
    }
    if (steps.prepare && !steps.prepare(steps.context)) {
        RegionSwapCancel(&swap, doc);
        return {};
    }
    const Failure applied = steps.apply(steps.context);
    if (applied != Failure::None) {
        RegionSwapCancel(&swap, doc);
        return {false, applied};
    }
    RegionSwapCommit(&swap, doc);
    doc->isModified = 1;
    return {true, Failure::None};
}

#include "image/command_sequence.h"

Failure RunProcessingCommand(ImageDocument* doc, const PictureRect* region, const ProcessingSteps& steps)
{
    RegionSwap swap;
    const Failure extracted = RegionSwapExtract(&swap, doc, region);
    if (extracted != Failure::None)
        return extracted;
    const Failure prepared = steps.prepare ? steps.prepare(steps.context) : Failure::None;
    if (prepared != Failure::None) {
        RegionSwapCancel(&swap, doc);
        return prepared;
    }
    const Failure applied = steps.apply(steps.context);
    if (applied != Failure::None) {
        RegionSwapCancel(&swap, doc);
        return applied;
    }
    RegionSwapCommit(&swap, doc);
    doc->isModified = 1;
    return Failure::None;
}

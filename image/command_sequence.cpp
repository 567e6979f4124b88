#include "image/command_sequence.h"

CommandOutcome RunProcessingCommand(ImageDocument* doc, const PictureRect* region, const ProcessingSteps& steps,
                                    EditHistory* history)
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
    if (history) {
        const PictureRect whole = {0, 0, doc->width - 1, doc->height - 1};
        HistoryBeginChange(history, *doc, swap.regionOut ? swap.clipped : whole);
    }
    const Failure applied = steps.apply(steps.context);
    if (applied != Failure::None) {
        if (history)
            HistoryDropChange(history);
        RegionSwapCancel(&swap, doc);
        return {false, applied};
    }
    RegionSwapCommit(&swap, doc);
    doc->isModified = 1;
    if (history)
        HistoryCommitChange(history, doc);
    return {true, Failure::None};
}

// Which of the bump dialog's position bars a placement in its preview
// shows.  Plain arithmetic on the placement, so that the engine tests can
// check it against the reference too.
#pragma once

#include "processing/placement.h"

struct OffsetBars {
    bool x;
    bool y;
};

// p is the placement in a pw x ph preview (PlaceWatermarkInPreview).
inline OffsetBars OffsetBarsShown(const BumpPlacement& p, LONG pw, LONG ph)
{
    switch (p.placementCase) {
    case BumpCase::NoEnlarge:
        // At its own size: a bar for each way the watermark can move.
        return {p.offsetMaxX != 0, p.offsetMaxY != 0};
    case BumpCase::Stretch:
        // Stretched: a bar for each way the preview's region leaves room,
        // which it does only with the aspect kept.
        return {p.regionWidth < pw, p.regionHeight < ph};
    case BumpCase::Tile:
        break;
    }
    return {false, false};
}

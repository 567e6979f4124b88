// A picture an engine made beside the one it read from.
#pragma once

#include "image/failure.h"
#include "platform/platform.h"

#include <cstdint>
#include <vector>

// An unlocked WorkDib block (header written) to hand to AdoptWorkDib, and
// its alpha plane (empty when the source had none).  block is null when
// failure is not None.
struct PictureBlock {
    Failure failure = Failure::None;
    HGLOBAL block = nullptr;
    LONG width = 0;
    LONG height = 0;
    std::vector<std::uint8_t> alpha;
};

// What the program holds of the open picture beside its WorkDib.
#pragma once

#include <cstdint>
#include <vector>

struct OpenPhoto {
    // The picture's alpha plane: one byte per pixel, rows bottom-up like
    // the WorkDib's; empty when the picture has none.
    std::vector<std::uint8_t> alpha;
};

extern OpenPhoto MainPhoto;

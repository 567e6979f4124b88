#include "processing/transparency.h"

#include <algorithm>

bool HasTransparency(std::span<const std::uint8_t> alpha)
{
    return std::any_of(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a != 255; });
}

void UseAlphaAsHeights(ImageDocument* mark, std::span<const std::uint8_t> alpha)
{
    // An alpha channel that is opaque everywhere would be a flat relief:
    // such a watermark keeps its brightness as height.
    if (!HasTransparency(alpha) || !mark->dib)
        return;
    BYTE* p = WorkDibPixels(mark->dib);
    const std::size_t count = static_cast<std::size_t>(mark->width) * static_cast<std::size_t>(mark->height);
    for (std::size_t i = 0; i < count && i < alpha.size(); ++i, p += 4)
        p[0] = p[1] = p[2] = p[3] = alpha[i];
}

void CompositeOverColour(BYTE* pixels, const std::uint8_t* alpha, std::size_t count, const unsigned char* rgb)
{
    const unsigned bg[3] = {rgb[2], rgb[1], rgb[0]};  // blue, green, red as stored
    for (std::size_t i = 0; i < count; ++i, pixels += 4) {
        const unsigned a = alpha[i];
        for (int c = 0; c < 3; ++c)
            pixels[c] = static_cast<BYTE>((pixels[c] * a + bg[c] * (255 - a) + 127) / 255);
    }
}

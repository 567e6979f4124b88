// A picture's alpha plane where the engines work on blue, green, red and
// height only: a transparent logo as a height field, and a transparent
// picture put over a colour for the file types without alpha.
#pragma once

#include "image/image_document.h"

#include <cstddef>
#include <cstdint>
#include <span>

// True when the plane has a byte below 255 (an empty plane has none).
bool HasTransparency(std::span<const std::uint8_t> alpha);

// A watermark with transparency: every pixel becomes grey with its alpha,
// R = G = B = HeightByte = alpha.  Without transparency (no alpha, or alpha
// 255 everywhere) nothing changes: the brightness stays the height.
void UseAlphaAsHeights(ImageDocument* mark, std::span<const std::uint8_t> alpha);

// Composites count pixels (4 bytes: blue, green, red, height) over the
// colour rgb (red, green, blue) by alpha: c' = (c a + bg (255 - a) + 127)
// / 255.  The height bytes stay.
void CompositeOverColour(BYTE* pixels, const std::uint8_t* alpha, std::size_t count, const unsigned char* rgb);

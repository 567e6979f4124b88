// Writing large JPEG files row by row, without a picture in memory.
#pragma once

// Writes a width x height JPEG of a gentle gradient to path (ANSI).
// Returns false when the file cannot be written.
bool WriteGradientJpeg(const char* path, int width, int height);

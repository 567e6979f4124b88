// WebP files through libwebp: lossy or lossless, with or without alpha.
#pragma once

#include "files/rgba_rows.h"

// Reads path into a new WorkDib for doc; a file with alpha fills *alpha
// (bottom-up, one byte per pixel), others leave it empty.  Animated files
// are refused.  Returns 0, or -1 with *problem set (doc and *alpha are then
// unchanged).
int ReadWebpFile(const char* path, ImageDocument* doc, std::vector<std::uint8_t>* alpha, FileProblem* problem);

// Decodes a WebP file held in memory; ReadWebpFile reads the file and
// hands it here.
int DecodeWebpMemory(const std::uint8_t* data, std::size_t size, ImageDocument* doc,
                     std::vector<std::uint8_t>* alpha, FileProblem* problem);

// Writes doc's picture to path, lossy at quality (0..100) or lossless, with
// the alpha plane when alpha is not null; lossless files keep the colour
// under transparent pixels too.  A temporary file replaces path only when
// complete.  Returns 0, or -1 with *problem set (any existing file is then
// untouched).
int WriteWebpFile(const char* path, const ImageDocument* doc, const std::uint8_t* alpha, int quality, bool lossless,
                  FileProblem* problem);

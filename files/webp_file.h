// WebP files through libwebp: lossy or lossless, with or without alpha.
#pragma once

#include "files/rgba_rows.h"

struct PhotoMetadata;

// Reads path into a new WorkDib for doc; a file with alpha fills *alpha
// (bottom-up, one byte per pixel), others leave it empty.  Animated files
// are refused.  A failure (OpenFailed, ReadFailed, TooLarge,
// WebpUnreadable, WebpAnimated, WebpDamaged, PictureOutOfMemory) leaves doc
// and *alpha unchanged.
Outcome ReadWebpFile(const char* path, ImageDocument* doc, std::vector<std::uint8_t>* alpha);

// Decodes a WebP file held in memory; ReadWebpFile reads the file and
// hands it here.
Outcome DecodeWebpMemory(const std::uint8_t* data, std::size_t size, ImageDocument* doc,
                         std::vector<std::uint8_t>* alpha);

// Writes doc's picture to path, lossy at quality (0..100) or lossless, with
// the alpha plane when alpha is not null; lossless files keep the colour
// under transparent pixels too.  metadata, when not null, goes into its
// own chunks beside the picture's (which are the same with or without
// it).  A temporary file replaces path only when complete.  A failure
// (WebpTooLarge, WebpWriteFailed, MetadataUnwritable, PictureOutOfMemory,
// NameTooLong, CreateFailed, WriteIncomplete, ReplaceFailed) leaves any
// existing file untouched.
Outcome WriteWebpFile(const char* path, const ImageDocument* doc, const std::uint8_t* alpha, int quality,
                      bool lossless, const PhotoMetadata* metadata = nullptr);

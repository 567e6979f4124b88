// Picture files of every type the program and the tool read: which type a
// file is, and reading it into a document with its transparency.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// File types.  1 and 2 are also the first entries of the program's save
// dialog's list.
constexpr int kTypeBmp = 1;
constexpr int kTypeJpeg = 2;
constexpr int kTypePng = 3;
constexpr int kTypeWebp = 4;

// The type the first got bytes of a file show: "BM", FF D8, the PNG
// signature, "RIFF" .... "WEBP"; 0 when they show none of these.
int SignatureType(const unsigned char* head, std::size_t got);

// The type of the file at path (UTF-8) by its first bytes (BMP, JPEG, PNG,
// WebP), else by its extension, else JPEG (whose reader then says what is
// wrong).
int SniffPictureType(const char* path);

// ".bmp", ".jpg", ".png" or ".webp".
const char* TypeExtension(int type);

// True for the extensions a folder search takes: .bmp .jpg .jpeg .png .webp
// (any case).
bool HasPictureExtension(const char* name);

// Reads the file named by doc->path with type's reader into doc, a PNG or
// WebP file's transparency into *alpha (emptied for the others and for
// files without).  HeightBytes are not computed.  A failure leaves *alpha
// empty and is what the reader said.
Outcome ReadPictureFile(ImageDocument* doc, int type, std::vector<std::uint8_t>* alpha);

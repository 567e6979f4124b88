// Small helpers for the engine tests: WorkDib blocks and documents made
// from reference pictures, random pictures, and reading pixels back.
#pragma once

#include "image/image_document.h"
#include "platform/platform.h"
#include "support/reference_engines.h"
#include "support/stand_in_hooks.h"

#include <cstring>
#include <random>

namespace proc_test {

// A picture large enough for the engines to split into bands of rows or
// ranges of pixels (2^19 pixels and more: one per core, at most 16), with
// odd sides so that the boundaries fall anywhere in a row.
constexpr int kBandedWidth = 1031;
constexpr int kBandedHeight = 523;
static_assert(kBandedWidth * kBandedHeight >= 1 << 19);

// A random picture; every byte (the height byte too) uniformly 0..255.
inline ref::Picture RandomPicture(std::mt19937& rng, int w, int h)
{
    ref::Picture p(w, h);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : p.bytes)
        b = static_cast<std::uint8_t>(byte(rng));
    return p;
}

// A picture of one colour and height.
inline ref::Picture FlatPicture(int w, int h, int b, int g, int r, int height)
{
    ref::Picture p(w, h);
    for (std::size_t i = 0; i < p.bytes.size(); i += 4) {
        p.bytes[i] = static_cast<std::uint8_t>(b);
        p.bytes[i + 1] = static_cast<std::uint8_t>(g);
        p.bytes[i + 2] = static_cast<std::uint8_t>(r);
        p.bytes[i + 3] = static_cast<std::uint8_t>(height);
    }
    return p;
}

// A locked, zero-filled WorkDib block holding the picture.  The caller
// frees it with FreeBlock.
inline HGLOBAL MakeBlock(const ref::Picture& p)
{
    HGLOBAL block = GlobalAlloc(GHND, WorkDibBytes(p.width, p.height));
    if (!block)
        return nullptr;
    BYTE* dib = static_cast<BYTE*>(GlobalLock(block));
    WriteWorkDibHeader(dib, p.width, p.height);
    if (!p.bytes.empty())
        std::memcpy(WorkDibPixels(dib), p.bytes.data(), p.bytes.size());
    GlobalUnlock(block);
    return block;
}

inline void FreeBlock(HGLOBAL block)
{
    if (block)
        GlobalFree(block);
}

// The pixels of a WorkDib (pointer to its header) as a picture.
inline ref::Picture ReadDib(const BYTE* dib)
{
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    ref::Picture p(header.biWidth, header.biHeight);
    if (!p.bytes.empty())
        std::memcpy(p.bytes.data(), dib + kWorkDibHeaderBytes, p.bytes.size());
    return p;
}

inline ref::Picture ReadBlock(HGLOBAL block)
{
    const BYTE* dib = static_cast<const BYTE*>(GlobalLock(block));
    ref::Picture p = ReadDib(dib);
    GlobalUnlock(block);
    return p;
}

// A WorkDib in a plain vector of exactly 40 + w*h*4 bytes, so that the
// address sanitizer catches any read past its end.
inline std::vector<BYTE> DibBytes(const ref::Picture& p)
{
    std::vector<BYTE> bytes(WorkDibBytes(p.width, p.height));
    WriteWorkDibHeader(bytes.data(), p.width, p.height);
    if (!p.bytes.empty())
        std::memcpy(bytes.data() + kWorkDibHeaderBytes, p.bytes.data(), p.bytes.size());
    return bytes;
}

// A document record owning a locked block with the picture, as the open
// command leaves one (bmi pointing at the block's own header).
inline void MakeDocument(ImageDocument* doc, const ref::Picture& p)
{
    std::memset(doc, 0, sizeof *doc);
    doc->hDib = MakeBlock(p);
    doc->dib = static_cast<BYTE*>(GlobalLock(doc->hDib));
    doc->bmi = reinterpret_cast<BITMAPINFO*>(doc->dib);
    doc->width = p.width;
    doc->height = p.height;
    doc->bitsOffset = kWorkDibHeaderBytes;
    doc->isLoaded = 1;
}

inline ref::Picture ReadDocument(const ImageDocument& doc)
{
    ref::Picture p(doc.width, doc.height);
    if (!p.bytes.empty())
        std::memcpy(p.bytes.data(), doc.dib + doc.bitsOffset, p.bytes.size());
    return p;
}

inline void ReleaseDocument(ImageDocument* doc)
{
    if (doc->hDib) {
        GlobalUnlock(doc->hDib);
        GlobalFree(doc->hDib);
    }
    std::memset(doc, 0, sizeof *doc);
}

}  // namespace proc_test

#include "files/rgba_rows.h"

#include "image/blocks.h"

#include <algorithm>
#include <new>
#include <utility>

Outcome LibraryFailure(Failure failure, std::string words)
{
    const Cause cause = words.empty() ? Cause::None : Cause::Library;
    return Fail(failure, cause, std::move(words));
}

Outcome AdoptRgbaRows(const std::uint8_t* rgba, LONG width, LONG height, bool keepAlpha, ImageDocument* doc,
                      std::vector<std::uint8_t>* alpha)
{
    std::vector<std::uint8_t> plane;
    HGLOBAL block = AllocateBlock(WorkDibBytes(width, height) + 4);
    if (!block)
        return Fail(Failure::PictureOutOfMemory);
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    if (keepAlpha) {
        try {
            plane.resize(w * h);
        } catch (const std::bad_alloc&) {
            FreeBlock(block);
            return Fail(Failure::PictureOutOfMemory);
        }
    }
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    WriteWorkDibHeader(dib, width, height);
    BYTE* pixels = WorkDibPixels(dib);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* s = rgba + y * w * 4;
        const std::size_t stored = h - 1 - y;  // bottom-up
        BYTE* d = pixels + stored * w * 4;
        for (std::size_t x = 0; x < w; ++x, s += 4, d += 4) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
        if (keepAlpha) {
            std::uint8_t* a = plane.data() + stored * w;
            s = rgba + y * w * 4;
            for (std::size_t x = 0; x < w; ++x)
                a[x] = s[x * 4 + 3];
        }
    }
    GlobalUnlock(block);
    Outcome outcome;
    AdoptWorkDib(doc, block, width, height, &outcome);
    alpha->swap(plane);
    return outcome;
}

void WorkDibRowToRgba(const ImageDocument* doc, const std::uint8_t* alpha, LONG row, std::uint8_t* out)
{
    const std::size_t w = static_cast<std::size_t>(doc->width);
    const std::size_t stored = static_cast<std::size_t>(doc->height - 1 - row);
    const BYTE* s = WorkDibPixels(doc->dib) + stored * w * 4;
    if (alpha) {
        const std::uint8_t* a = alpha + stored * w;
        for (std::size_t x = 0; x < w; ++x, s += 4, out += 4) {
            out[0] = s[2];
            out[1] = s[1];
            out[2] = s[0];
            out[3] = a[x];
        }
    } else {
        for (std::size_t x = 0; x < w; ++x, s += 4, out += 3) {
            out[0] = s[2];
            out[1] = s[1];
            out[2] = s[0];
        }
    }
}

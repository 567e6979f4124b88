#include "processing/orientation.h"

#include "image/blocks.h"
#include "image/image_document.h"

#include <cstring>
#include <new>

void OrientedSize(int orientation, LONG w, LONG h, LONG* seenWidth, LONG* seenHeight)
{
    const bool swapped = orientation >= 5 && orientation <= 8;
    *seenWidth = swapped ? h : w;
    *seenHeight = swapped ? w : h;
}

void OrientPixels(BYTE* target, const BYTE* source, LONG w, LONG h, int orientation, int bytesPerPixel)
{
    LONG tw = 0;
    LONG th = 0;
    OrientedSize(orientation, w, h, &tw, &th);
    const std::size_t n = static_cast<std::size_t>(bytesPerPixel);
    // (X, Y) is a seen pixel, (x, y) the stored one, both counted from the
    // top-left corner; rows are stored bottom-up.
    for (LONG Y = 0; Y < th; ++Y) {
        BYTE* out = target + static_cast<std::size_t>(th - 1 - Y) * static_cast<std::size_t>(tw) * n;
        for (LONG X = 0; X < tw; ++X, out += n) {
            LONG x = X;
            LONG y = Y;
            switch (orientation) {
            case 2: x = w - 1 - X; y = Y; break;
            case 3: x = w - 1 - X; y = h - 1 - Y; break;
            case 4: x = X; y = h - 1 - Y; break;
            case 5: x = Y; y = X; break;
            case 6: x = Y; y = h - 1 - X; break;
            case 7: x = w - 1 - Y; y = h - 1 - X; break;
            case 8: x = w - 1 - Y; y = X; break;
            default: break;
            }
            const BYTE* in = source + (static_cast<std::size_t>(h - 1 - y) * static_cast<std::size_t>(w) +
                                       static_cast<std::size_t>(x)) * n;
            std::memcpy(out, in, n);
        }
    }
}

PictureBlock OrientPicture(int orientation, const BYTE* pixels, LONG width, LONG height,
                           std::span<const std::uint8_t> alpha)
{
    PictureBlock out;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (!alpha.empty() && alpha.size() != count) {
        out.failure = Failure::BadSize;
        return out;
    }
    OrientedSize(orientation, width, height, &out.width, &out.height);
    try {
        out.alpha.resize(alpha.size());
    } catch (const std::bad_alloc&) {
        out.failure = Failure::OutOfMemory;
        return out;
    }
    out.block = AllocateBlock(WorkDibBlockBytes(out.width, out.height));
    if (!out.block) {
        out.failure = Failure::OutOfMemory;
        out.alpha.clear();
        return out;
    }
    auto* dib = static_cast<BYTE*>(GlobalLock(out.block));
    WriteWorkDibHeader(dib, out.width, out.height);
    OrientPixels(WorkDibPixels(dib), pixels, width, height, orientation, kBytesPerPixel);
    if (!alpha.empty())
        OrientPixels(out.alpha.data(), alpha.data(), width, height, orientation, 1);
    GlobalUnlock(out.block);
    return out;
}

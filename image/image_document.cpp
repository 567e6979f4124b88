#include "image/image_document.h"

#include "image/blocks.h"
#include "image/failure.h"
#include "platform/parallel.h"

#include <cstring>

ImageDocument MainDocument = {};
ImageDocument WatermarkDocument = {};
ImageDocument DisplayCopy = {};
BITMAPINFO displayBmi = {};

#ifdef QUILLVANE_FUZZ_MAX_PIXELS
namespace {
std::int64_t fuzzPictureBudget = QUILLVANE_FUZZ_MAX_PIXELS;
}  // namespace

void SetFuzzPictureBudget(std::int64_t pixels)
{
    fuzzPictureBudget = pixels < QUILLVANE_FUZZ_MAX_PIXELS ? pixels : QUILLVANE_FUZZ_MAX_PIXELS;
}
#endif

bool PictureSizeAllowed(std::int64_t width, std::int64_t height)
{
    const bool allowed = width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
                         width * height <= kMaxPicturePixels;
#ifdef QUILLVANE_FUZZ_MAX_PIXELS
    return allowed && width * height <= fuzzPictureBudget;
#else
    return allowed;
#endif
}

void WriteWorkDibHeader(BYTE* dib, LONG width, LONG height)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::memcpy(dib, &header, sizeof header);
}

void ResetDocument(ImageDocument* doc)
{
    *doc = ImageDocument{};
}

void ReleaseDocument(ImageDocument* doc)
{
    if (doc->hDib) {
        GlobalUnlock(doc->hDib);
        FreeBlock(doc->hDib);
    }
    doc->hDib = nullptr;
    doc->dib = nullptr;
    doc->bmi = nullptr;
}

void AdoptWorkDib(ImageDocument* doc, HGLOBAL block, LONG width, LONG height, Outcome* warnings)
{
    if (doc->hDib) {
        GlobalUnlock(doc->hDib);
        if (FreeBlock(doc->hDib) != nullptr && warnings)
            warnings->warnings.push_back(Warning::FreeFailed);
    }
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    doc->hDib = block;
    doc->dib = dib;
    doc->bmi = reinterpret_cast<BITMAPINFO*>(dib);
    doc->width = width;
    doc->height = height;
    doc->bitsOffset = kWorkDibHeaderBytes;
    doc->isLoaded = 1;
}

namespace {

void LuminanceRange(void* context, int, std::int64_t begin, std::int64_t end)
{
    BYTE* p = static_cast<BYTE*>(context) + begin * kBytesPerPixel;
    for (std::int64_t i = begin; i < end; ++i, p += kBytesPerPixel)
        p[3] = static_cast<BYTE>((59 * p[1] + 30 * p[2] + 11 * p[0]) / 100);
}

}  // namespace

void ComputeLuminance(ImageDocument* doc)
{
    if (!doc->dib)
        return;
    ForEachRange(static_cast<std::int64_t>(doc->width) * doc->height, 2, doc->dib + doc->bitsOffset, LuminanceRange);
}

int BuildDisplayCopy(ImageDocument* display, const ImageDocument* doc)
{
    // The old copy goes first, so that the new one may take its memory.
    ReleaseDocument(display);
    *display = *doc;
    display->hDib = nullptr;
    display->dib = nullptr;
    display->bmi = &displayBmi;
    if (doc->bmi)
        std::memcpy(&displayBmi, doc->bmi, sizeof displayBmi);

    const std::size_t bytes = WorkDibBytes(doc->width, doc->height);
    HGLOBAL block = doc->dib ? AllocateBlock(bytes) : nullptr;
    if (!block) {
        // No room for a second copy: the display shows no picture rather
        // than sharing (and later double-freeing) the document's block.
        display->isLoaded = 0;
        return -1;
    }
    AdoptWorkDib(display, block, doc->width, doc->height, nullptr);
    display->bmi = &displayBmi;  // the display paints through its own header copy
    std::memcpy(display->dib, doc->dib, bytes);
    return 0;
}

void RefreshDisplayCopy(ImageDocument* display, const ImageDocument* doc)
{
    if (!display->dib || !doc->dib)
        return;
    std::memcpy(display->dib, doc->dib, WorkDibBytes(display->width, display->height));
}

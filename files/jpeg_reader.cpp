#include "files/jpeg_reader.h"

#include "image/blocks.h"
#include "image/messages.h"
#include "files/jpeg_codec.h"

#include <cstdio>

namespace {

void ReportUnreadable(HWND window, const char* reason)
{
    char text[kJpegMessageBytes + 64];
    std::snprintf(text, sizeof text, "%s\n(%s)", msg::kJpegUnreadable, reason);
    ReportError(window, text);
}

}  // namespace

int ReadJpegFile(HWND window, ImageDocument* doc)
{
    std::FILE* probe = std::fopen(doc->path, "rb");
    if (!probe) {
        ReportError(window, msg::kOpenFailed);
        return -1;
    }
    std::fclose(probe);

    char reason[kJpegMessageBytes] = {};
    std::int32_t width = 0;
    std::int32_t height = 0;
    JpegDecoder* decoder = JpegDecoderOpen(doc->path, &width, &height, reason);
    if (!decoder) {
        ReportUnreadable(window, reason);
        return -1;
    }

    // The block has 4 spare bytes at its end, as every WorkDib from this
    // reader has had.
    HGLOBAL block = AllocateBlock(WorkDibBlockBytes(width, height));
    if (!block) {
        JpegDecoderClose(decoder);
        ReportError(window, msg::kOutOfMemory);
        return -1;
    }
    ReleaseKeptBlocksForLibraries();
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const int result = JpegDecoderRead(decoder, WorkDibPixels(dib), reason);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    JpegDecoderClose(decoder);
    if (result != 0) {
        GlobalUnlock(block);
        FreeBlock(block);
        ReportUnreadable(window, reason);
        return -1;
    }
    WriteWorkDibHeader(dib, width, height);

    // Decoded: only now does the document give up its picture.
    if (doc->hDib) {
        GlobalUnlock(doc->hDib);
        if (FreeBlock(doc->hDib) != nullptr)
            ReportError(window, msg::kFreeFailed);
    }
    doc->hDib = block;
    doc->dib = dib;
    doc->bmi = reinterpret_cast<BITMAPINFO*>(dib);
    doc->width = width;
    doc->height = height;
    doc->isLoaded = 1;
    return 0;
}

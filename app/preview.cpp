#include "app/preview.h"

#include "app/gdi_guards.h"
#include "image/blocks.h"
#include "processing/placement.h"
#include "processing/scale.h"

#include <cstring>

RECT PreviewRect = {};
HGLOBAL PreviewImage = nullptr;

int CreatePreviewImage(HWND dialog, const ImageDocument* image)
{
    FreePreviewImage();
    RECT box = {140, 10, 260, 130};
    MapDialogRect(dialog, &box);
    const RECT source = {0, 0, image->width, image->height};
    FitRect(&box, &source, &PreviewRect);
    if (!image->dib)
        return -1;
    BITMAPINFO header;
    if (ScaleDib(&PreviewImage, image->dib, &PreviewRect, &header) != 0) {
        PreviewImage = nullptr;
        return -1;
    }
    return 0;
}

void FreePreviewImage()
{
    if (PreviewImage)
        FreeBlock(PreviewImage);
    PreviewImage = nullptr;
}

PreviewCopy::PreviewCopy()
{
    if (!PreviewImage)
        return;
    const auto* source = static_cast<const BYTE*>(GlobalLock(PreviewImage));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(source);
    const std::size_t bytes = WorkDibBlockBytes(header->biWidth, header->biHeight);
    block_ = AllocateBlock(bytes);
    if (block_) {
        dib_ = static_cast<BYTE*>(GlobalLock(block_));
        std::memcpy(dib_, source, bytes);
    }
    GlobalUnlock(PreviewImage);
}

PreviewCopy::~PreviewCopy()
{
    if (block_) {
        GlobalUnlock(block_);
        FreeBlock(block_);
    }
}

LONG PreviewCopy::width() const
{
    return dib_ ? reinterpret_cast<const BITMAPINFOHEADER*>(dib_)->biWidth : 0;
}

LONG PreviewCopy::height() const
{
    return dib_ ? reinterpret_cast<const BITMAPINFOHEADER*>(dib_)->biHeight : 0;
}

void DrawPreview(HWND dialog, const PreviewCopy& copy)
{
    if (!copy.dib())
        return;
    WindowDC dc(dialog);
    if (!dc)
        return;
    StretchDIBits(dc.get(), PreviewRect.left, PreviewRect.top, copy.width(), copy.height(), 0, 0, copy.width(),
                  copy.height(), copy.pixels(), reinterpret_cast<const BITMAPINFO*>(copy.dib()), DIB_RGB_COLORS,
                  SRCCOPY);
}

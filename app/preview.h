// The live preview every processing dialog shows: the current picture (or
// selection) scaled into the preview box once at opening, and drawn 1:1
// after each renderer has processed a fresh copy of it.
#pragma once

#include "image/image_document.h"

#include <windows.h>

extern RECT PreviewRect;       // dialog client pixels
extern HGLOBAL PreviewImage;   // WorkDib of PreviewRect's size, or null

// Builds PreviewRect and PreviewImage from the image.  Returns 0, or -1
// when the preview cannot be allocated (PreviewImage is then null and
// nothing is drawn).
int CreatePreviewImage(HWND dialog, const ImageDocument* image);
// Frees PreviewImage.
void FreePreviewImage();

// A scratch copy of PreviewImage (header and pixels) for a renderer.  Its
// destructor frees it; copy() is null when there is no preview or no memory.
class PreviewCopy {
public:
    PreviewCopy();
    ~PreviewCopy();
    PreviewCopy(const PreviewCopy&) = delete;
    PreviewCopy& operator=(const PreviewCopy&) = delete;
    HGLOBAL block() const { return block_; }
    BYTE* dib() const { return dib_; }
    BYTE* pixels() const { return dib_ ? WorkDibPixels(dib_) : nullptr; }
    LONG width() const;
    LONG height() const;

private:
    HGLOBAL block_ = nullptr;
    BYTE* dib_ = nullptr;
};

// Draws a processed copy 1:1 at PreviewRect's top-left corner.
void DrawPreview(HWND dialog, const PreviewCopy& copy);

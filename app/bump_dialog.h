// The bump dialog: watermark file, light direction, strength,
// amplification, ambient, placement, with a live preview.
#pragma once

#include "image/image_document.h"

#include <windows.h>

// Makes the watermark a private copy of the image and sets the placement
// controls.  Returns 0, or -1 when the copy cannot be allocated (reported:
// "メモリーが足りません。").
int InitWatermark(HWND dialog, ImageDocument* watermark, const ImageDocument* image);
// Sets the light from a point of the light circle and shows it.  The point
// is in the circle's 96-dpi units: the client pixel it would be on a 96-dpi
// screen (on one it is the client pixel itself).
void LightFromPoint(HWND dialog, POINT point);
// Re-reads the placement boxes, sets the position bars and draws the
// preview of the bump on a fresh copy of the preview image.
void RenderBumpPreview(HWND dialog, ImageDocument* watermark, const ImageDocument* image);

// The 選択 button: the open dialog with BMP, JPEG, PNG and WebP files
// (entries 1 to 4), then the file read into doc exactly as quillvane-cli
// bump --watermark reads it (files/picture_io.h, then HeightBytes from
// the luminance, then a PNG's or WebP's alpha as the heights,
// processing/transparency.h), so that both stamp the same pixels.  -1
// when the dialog is cancelled, otherwise 0 (also when the read fails:
// reported, doc kept).
int ChooseWatermarkFile(HWND dialog, ImageDocument* doc);

INT_PTR CALLBACK BumpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

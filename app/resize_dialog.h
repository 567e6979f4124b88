// The resize dialog: the new size by the long edge in pixels, by a width
// and height the picture is fitted inside (its aspect kept), or by per
// cent, with the size that comes out shown as it is typed.
#pragma once

#include "processing/resize.h"

#include <windows.h>

// Runs the dialog for a width x height picture.  True with the new size in
// *size when OK is pressed; the request is remembered for the next time.
bool AskResize(HWND window, LONG width, LONG height, ResizeParams* size);

INT_PTR CALLBACK ResizeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Per cent as typed ("50", "12.5", at most four decimals) in millionths of
// the whole (50 % = 500000); -1 when the text is not such a number or is
// beyond kResizeMillionths.
std::int64_t PercentMillionthsOf(const wchar_t* text);

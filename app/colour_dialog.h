// The colour adjustment dialog: luminance, saturation, hue or the CMYK
// round trip, with a live preview.
#pragma once

#include <windows.h>

INT_PTR CALLBACK YshDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

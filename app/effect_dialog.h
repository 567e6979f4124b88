// The effect dialog: negative, posterize, solarize, binarize and the
// per-channel contrast correction, with a live preview.
#pragma once

#include <windows.h>

// Sets the buttons, the measured ranges and the bound bars from the
// settings and ChannelRange.
void InitEffectControls(HWND dialog);

INT_PTR CALLBACK EffectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The effect dialog: negative, posterize, solarize, binarize and the
// per-channel contrast correction, with a live preview.
#pragma once

#include "processing/effects.h"

#include <windows.h>

// Sets the buttons from the settings, and shows the measured ranges and
// sets the bound bars to them.
void InitEffectControls(HWND dialog, const ChannelRanges& ranges);

INT_PTR CALLBACK EffectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Scrolling the 1:1 view and keeping the selection over the same picture
// pixels while the view moves or the window changes size.
#pragma once

#include <windows.h>

void SetScrollRanges(HWND window, LPARAM clientSize, int viewWidth, int viewHeight, int* hPos, int* vPos,
                     int* hMax, int* vMax);
// WM_SIZE.
void OnViewSize(HWND window, LPARAM clientSize);
// WM_HSCROLL / WM_VSCROLL on the window's own bars.
void ScrollView(HWND window, WPARAM wParam, int maximum, int* position, UINT message);
// The clamped step a scroll code makes from position within 0..maximum.
int ScrollDelta(int code, int thumb, int maximum, int position);

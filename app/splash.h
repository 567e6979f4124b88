// The splash window shown before the main window, until clicked away.
#pragma once

#include <windows.h>

int RunSplash(HINSTANCE instance, int showCommand);
LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The filter dialog: sharpen, soft, colour emboss or a custom kernel, with
// a live preview.
#pragma once

#include <windows.h>

// 1 while the program itself fills the kernel boxes (and while the dialog
// is closed): their change notifications are then not the user's typing.
extern int kernelEditsBlocked;

INT_PTR CALLBACK FilterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

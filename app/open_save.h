// The open and save commands with their file dialogs and the BMP and JPEG
// settings dialogs.
#pragma once

#include "image/image_document.h"

#include <windows.h>

// -1 when the open dialog is cancelled, otherwise 0: also when the
// unsaved-changes question is answered so that nothing is opened (Cancel,
// or Yes with a save that did not reach a file) and when the read fails.
// The picture is only replaced when the file is read; a failed read is
// reported by the reader.
int OpenImageCommand(HWND window, ImageDocument* doc);

// -1 when nothing is loaded or the save dialog is cancelled, otherwise 0
// (also when the settings dialog is cancelled or the writer fails).  When
// saved is given it tells whether the picture reached a file; only then
// does the picture take the chosen name.
int SaveImageCommand(HWND window, ImageDocument* doc, bool* saved = nullptr);

// Run the common dialogs on a 256-byte path buffer; the file-type index the
// user left selected (1 BMP, 2 JPEG), or -1 when cancelled.
int ChooseOpenFile(HWND window, char* path);
int ChooseSaveFile(HWND window, char* path);

UINT_PTR CALLBACK OpenDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR CALLBACK SaveDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ColorDepthDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK JpegDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The name in text with its extension switched to the file-type entry's
// (0 ".bmp", 1 ".jpg"); the last dot of the file name (not of a folder)
// starts the extension.  Returns false, leaving text alone, for another
// entry or when the result would not fit in capacity bytes.
bool SwitchExtension(char* text, std::size_t capacity, int entry);

// The open and save commands with their file dialogs and the BMP and JPEG
// settings dialogs.
#pragma once

#include "image/image_document.h"

#include <windows.h>

#include <string>

// -1 when the open dialog is cancelled, otherwise 0: also when the
// unsaved-changes question is answered so that nothing is opened (Cancel,
// or Yes with a save that did not reach a file) and when the read fails.
// The picture is only replaced when the file is read; a failed read is
// reported.  The reader is the one the file's first bytes call for (JPEG
// for FF D8 FF, otherwise BMP), whatever type the dialog shows, and
// FileTypeIndex becomes the type of the file read.  A name longer than
// kMaxPathUnits is refused as a file that cannot be opened.
int OpenImageCommand(HWND window, ImageDocument* doc);

// The open command for a file named by the shell (the command line, a
// drop): the unsaved-changes question, then the file read as if chosen in
// the open dialog.  Returns 0.
int OpenNamedFileCommand(HWND window, ImageDocument* doc, const std::wstring& name);

// -1 when nothing is loaded or the save dialog is cancelled, otherwise 0
// (also when the settings dialog is cancelled or the writer fails).  When
// saved is given it tells whether the picture reached a file; only then
// does the picture take the chosen name.  A name longer than
// kMaxPathUnits is refused as a file that cannot be created.
int SaveImageCommand(HWND window, ImageDocument* doc, bool* saved = nullptr);

// Run the common dialogs (the wide ones), proposing path (UTF-8); the
// file-type index the user left selected (1 BMP, 2 JPEG) with the chosen
// name in *chosen, or -1 when cancelled.  The titles and file-type lists
// are in the program's language.
int ChooseOpenFile(HWND window, const char* path, std::wstring* chosen);
int ChooseSaveFile(HWND window, const char* path, std::wstring* chosen);

UINT_PTR CALLBACK OpenDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR CALLBACK SaveDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ColorDepthDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK JpegDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The UTF-8 name in text with its extension switched to the file-type
// entry's (0 ".bmp", 1 ".jpg"); the last dot of the file name (not of a
// folder) starts the extension.  Returns false, leaving text alone, for another
// entry or when the result would not fit in capacity bytes.
bool SwitchExtension(char* text, std::size_t capacity, int entry);

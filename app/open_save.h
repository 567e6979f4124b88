// The open and save commands with their file dialogs and the BMP, JPEG,
// PNG and WebP settings dialogs.
#pragma once

#include "image/image_document.h"

#include <windows.h>

#include <string>

// -1 when the open dialog is cancelled, otherwise 0: also when the
// unsaved-changes question is answered so that nothing is opened (Cancel,
// or Yes with a save that did not reach a file) and when the read fails.
// The picture is only replaced when the file is read; a failed read is
// reported.  The reader is the one the file's first bytes call for (JPEG
// for FF D8 FF, PNG, WebP, otherwise BMP), whatever type the dialog shows,
// and FileTypeIndex becomes the type of the file read.  MainPhoto takes the
// picture's alpha plane and, from a JPEG, PNG or WebP file, its metadata;
// a picture whose EXIF orientation is 2..8 is turned upright (and stays
// unmodified).  A file whose metadata cannot be read opens without it,
// which ShowOpenNotice then says.  A name longer than kMaxPathUnits is
// refused as a file that cannot be opened.
int OpenImageCommand(HWND window, ImageDocument* doc);

// The open command for a file named by the shell (the command line, a
// drop): the unsaved-changes question, then the file read as if chosen in
// the open dialog.  Returns 0.
int OpenNamedFileCommand(HWND window, ImageDocument* doc, const std::wstring& name);

// Once the opened picture is shown: an information box when its file's
// metadata could not be read, the first time after that open only.
void ShowOpenNotice(HWND window);

// -1 when nothing is loaded or the save dialog is cancelled, otherwise 0
// (also when the settings dialog is cancelled or the writer fails).  When
// saved is given it tells whether the picture reached a file; only then
// does the picture take the chosen name.  A name longer than
// kMaxPathUnits is refused as a file that cannot be created.  JPEG, PNG and
// WebP files keep what the settings dialog's choice keeps of the opened
// file's metadata; when that cannot be written the file is written without
// it and an information box says so.  PNG and WebP files keep the alpha
// plane; a transparent picture saved as BMP or JPEG is put over the colour
// the colour dialog gives (the picture itself keeps its alpha).
int SaveImageCommand(HWND window, ImageDocument* doc, bool* saved = nullptr);

// Run the common dialogs (the wide ones), proposing path (UTF-8); the
// file-type entry the user left selected (1-based; kFileTypeEntries says
// which type each is) with the chosen name in *chosen, or -1 when
// cancelled.  The titles and file-type lists
// are in the program's language.
int ChooseOpenFile(HWND window, const char* path, std::wstring* chosen);
int ChooseSaveFile(HWND window, const char* path, std::wstring* chosen);

UINT_PTR CALLBACK OpenDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR CALLBACK SaveDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ColorDepthDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK JpegDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PngDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WebpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The UTF-8 name in text with its extension switched to the file-type
// entry's (0-based: 0 ".bmp", 1 ".jpg", 2 ".png", 3 ".webp"); the last dot of the file name (not of a
// folder) starts the extension.  Returns false, leaving text alone, for another
// entry or when the result would not fit in capacity bytes.
bool SwitchExtension(char* text, std::size_t capacity, int entry);

// Page setup and printing the picture on one page.
#pragma once

#include "image/image_document.h"

#include <windows.h>
#include <commdlg.h>

extern PAGESETUPDLGW PageSetupSettings;
extern PRINTDLGW PrintSettings;
extern HWND AbortDialog;
extern int PrintAborted;

void LoadPrintDefaults(HWND window);
void PageSetupCommand(HWND window);
// 0 when the job ran or the user declined at a question; -1 when the print
// dialog was cancelled or no printer is available.
int PrintCommand(HWND window, ImageDocument* doc);
// Frees the device handles and the printer DC the settings hold.
void ReleasePrintSettings();

BOOL CALLBACK PrintAbortProc(HDC printer, int error);
INT_PTR CALLBACK AbortDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

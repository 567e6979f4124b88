#include "app/print.h"

#include "app/main_window.h"
#include "app/messages.h"
#include "platform/utf16.h"
#include "processing/placement.h"
#include "resources/resource.h"

PAGESETUPDLGW PageSetupSettings = {};
PRINTDLGW PrintSettings = {};
HWND AbortDialog = nullptr;
int PrintAborted = 0;

namespace {

// Gives the page setup the printer the print settings hold, or else the
// default printer's, when it has none of its own.  -1 when no printer can
// be used: none is installed, or its driver cannot be loaded (the print
// dialog's defaults then fail with PDERR_RETDEFFAILURE).
int GivePageSetupAPrinter(HWND window)
{
    if (PageSetupSettings.hDevMode && PageSetupSettings.hDevNames)
        return 0;
    if (PrintSettings.hDevMode && PrintSettings.hDevNames) {
        PageSetupSettings.hDevMode = PrintSettings.hDevMode;
        PageSetupSettings.hDevNames = PrintSettings.hDevNames;
        return 0;
    }
    PRINTDLGW defaults{};
    defaults.lStructSize = sizeof defaults;
    defaults.hwndOwner = window;
    defaults.Flags = PD_RETURNDEFAULT | PD_NOWARNING;
    if (!PrintDlgW(&defaults) || !defaults.hDevMode || !defaults.hDevNames) {
        if (defaults.hDevMode)
            GlobalFree(defaults.hDevMode);
        if (defaults.hDevNames)
            GlobalFree(defaults.hDevNames);
        return -1;
    }
    PageSetupSettings.hDevMode = defaults.hDevMode;
    PageSetupSettings.hDevNames = defaults.hDevNames;
    return 0;
}

}  // namespace

void LoadPrintDefaults(HWND window)
{
    PrintSettings = PRINTDLGW{};
    PrintSettings.lStructSize = sizeof PrintSettings;
    PrintSettings.hwndOwner = window;
    PrintSettings.Flags = PD_RETURNDEFAULT | PD_NOWARNING;
    PrintSettings.nFromPage = PrintSettings.nToPage = 1;
    PrintSettings.nMinPage = PrintSettings.nMaxPage = 1;
    PrintSettings.nCopies = 1;
    PrintDlgW(&PrintSettings);

    PageSetupSettings = PAGESETUPDLGW{};
    PageSetupSettings.lStructSize = sizeof PageSetupSettings;
    PageSetupSettings.hwndOwner = window;
    // Quietly: a machine without a printer hears of it when it prints.
    PageSetupSettings.Flags = PSD_RETURNDEFAULT | PSD_NOWARNING;
    // The page setup's defaults are asked for only when the print dialog
    // found a default printer it can use.  A page setup asked about a
    // printer whose driver cannot be loaded reads a device mode that is not
    // there, and Wine's crashes on it: the program must start whatever
    // printer the system has.
    if (PrintSettings.hDevMode && PrintSettings.hDevNames)
        PageSetupDlgW(&PageSetupSettings);
}

void PageSetupCommand(HWND window)
{
    PageSetupSettings.hwndOwner = window;
    if (GivePageSetupAPrinter(window) != 0) {
        Ask(window, Text::NoPrinter, Text::NoPrinterCaption, MB_OK);
        return;
    }
    PageSetupSettings.Flags = PSD_DISABLEMARGINS;
    PageSetupDlgW(&PageSetupSettings);
    // The print dialog starts from the printer, paper and orientation
    // chosen here.  The handles the print settings held before are freed
    // unless the page setup still uses them.
    if (PrintSettings.hDevMode && PrintSettings.hDevMode != PageSetupSettings.hDevMode)
        GlobalFree(PrintSettings.hDevMode);
    if (PrintSettings.hDevNames && PrintSettings.hDevNames != PageSetupSettings.hDevNames)
        GlobalFree(PrintSettings.hDevNames);
    PrintSettings.hDevMode = PageSetupSettings.hDevMode;
    PrintSettings.hDevNames = PageSetupSettings.hDevNames;
}

void ReleasePrintSettings()
{
    if (PageSetupSettings.hDevMode)
        GlobalFree(PageSetupSettings.hDevMode);
    if (PageSetupSettings.hDevNames)
        GlobalFree(PageSetupSettings.hDevNames);
    if (PrintSettings.hDevMode && PrintSettings.hDevMode != PageSetupSettings.hDevMode)
        GlobalFree(PrintSettings.hDevMode);
    if (PrintSettings.hDevNames && PrintSettings.hDevNames != PageSetupSettings.hDevNames)
        GlobalFree(PrintSettings.hDevNames);
    if (PrintSettings.hDC)
        DeleteDC(PrintSettings.hDC);
    PageSetupSettings.hDevMode = PageSetupSettings.hDevNames = nullptr;
    PrintSettings.hDevMode = PrintSettings.hDevNames = nullptr;
    PrintSettings.hDC = nullptr;
}

BOOL CALLBACK PrintAbortProc(HDC, int)
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!AbortDialog || !IsDialogMessageA(AbortDialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return PrintAborted == 0;
}

INT_PTR CALLBACK AbortDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetFocus(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            PrintAborted = 1;
            DestroyWindow(AbortDialog);
            AbortDialog = nullptr;
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

namespace {

// Prints the picture as one page at the layout; the printer DC comes from
// the print dialog.
void PrintPage(HWND window, ImageDocument* doc, HDC printer, const PrintLayout& layout)
{
    // The job is named after the picture's file (the record keeps it as
    // UTF-8).
    const std::wstring name = WideFromUtf8(doc->path);
    DOCINFOW info = {};
    info.cbSize = sizeof info;
    info.lpszDocName = name.c_str();

    PrintAborted = 0;
    AbortDialog = CreateDialogParamW(AppInstance, WideFromUtf8(RES_DLG_PRINTABORT).c_str(), window, AbortDialogProc, 0);
    if (AbortDialog)
        ShowWindow(AbortDialog, SW_SHOW);
    EnableWindow(window, FALSE);
    SetAbortProc(printer, PrintAbortProc);
    const int rasterCaps = GetDeviceCaps(printer, RASTERCAPS);
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));

    StartDocW(printer, &info);
    StartPage(printer);
    if (rasterCaps & RC_STRETCHDIB)
        StretchDIBits(printer, layout.x, layout.y, layout.width, layout.height, 0, 0, doc->width, doc->height,
                      doc->dib + doc->bitsOffset, doc->bmi, DIB_RGB_COLORS, SRCCOPY);
    if (PrintAborted == 1) {
        AbortDoc(printer);
    } else if (AbortDialog) {
        DestroyWindow(AbortDialog);
        AbortDialog = nullptr;
    }
    EndPage(printer);
    EndDoc(printer);
    EnableWindow(window, TRUE);
    SetFocus(window);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

}  // namespace

int PrintCommand(HWND window, ImageDocument* doc)
{
    HDC previous = PrintSettings.hDC;
    PrintSettings.hwndOwner = window;
    PrintSettings.Flags =
        PD_HIDEPRINTTOFILE | PD_USEDEVMODECOPIESANDCOLLATE | PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION;
    if (!PrintDlgW(&PrintSettings))
        return -1;
    if (previous && previous != PrintSettings.hDC)
        DeleteDC(previous);
    if (!PrintSettings.hDevNames || !PrintSettings.hDC) {
        Ask(window, Text::NoPrinter, Text::NoPrinterCaption, MB_OK);
        return -1;
    }
    InvalidateRect(window, nullptr, TRUE);

    HDC screen = GetDC(window);
    const double sx = GetDeviceCaps(screen, LOGPIXELSX);
    const double sy = GetDeviceCaps(screen, LOGPIXELSY);
    HDC printer = PrintSettings.hDC;
    const double px = GetDeviceCaps(printer, LOGPIXELSX);
    const double py = GetDeviceCaps(printer, LOGPIXELSY);
    const double hres = GetDeviceCaps(printer, HORZRES);
    const double vres = GetDeviceCaps(printer, VERTRES);

    PrintLayout layout = ComputePrintLayout(doc->width, doc->height, sx, sy, px, py, hres, vres, false);
    bool go = true;
    if (layout.exceedsArea)
        go = Ask(window, Text::LargerThanPage, Text::CommandCaption, MB_YESNO | MB_ICONWARNING) != IDNO;
    if (go) {
        const bool centred =
            Ask(window, Text::CentreOnPage, Text::CommandCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
        layout = ComputePrintLayout(doc->width, doc->height, sx, sy, px, py, hres, vres, centred);
        PrintPage(window, doc, printer, layout);
    }
    ReleaseDC(window, screen);
    return 0;
}

// Helpers for the tests that drive real Win32 windows and dialogs under Wine.
//
// Modal dialogs block the test's thread, so they are driven from inside
// their own message loop: a DialogDriver installs a WH_CBT hook on the
// calling thread, sees each dialog ("#32770") become active, and a moment
// later (from a thread timer, once the dialog has finished initialising)
// either answers it as a message box from a queue of button ids, or runs the
// next queued action on it.  Every message box and dialog is recorded, so a
// test can check captions and texts afterwards.
//
// Texts: the program's strings are UTF-8 and reach Windows through the wide
// functions; the tests write their expectations as UTF-8 literals and
// read windows' texts wide.  Everything a DialogDriver records is UTF-8.
// Paths and the texts of the harness's own ...A calls are ANSI (CP932
// under the Japanese set-up): Utf8ToAnsi makes them from UTF-8 literals.
#pragma once

// The whole of <windows.h> (printing, common dialogs), before the core's
// headers include its lean part.
#include <windows.h>

#include "image/image_document.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace wintest {

// A picture size whose WorkDib block no process can be given: about 4 GB
// in a 32-bit process, 8 PiB (beyond the 47-bit address space) in a 64-bit
// one.  Its pixels are never read: the allocation fails first.
constexpr LONG kUnallocatableWidth = sizeof(void*) == 4 ? 32000 : 0x7FFFFFFF;
constexpr LONG kUnallocatableHeight = sizeof(void*) == 4 ? 32000 : 1 << 20;
static_assert(sizeof(void*) == 4 || WorkDibBytes(kUnallocatableWidth, kUnallocatableHeight) > (std::size_t{1} << 47));

// --- Text -------------------------------------------------------------------

// A u8"" literal as UTF-8 bytes.
inline std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// Converts between UTF-8 and the ANSI code page (932 under the test set-up).
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

// A window's text and class.  WindowText works for windows of this process
// (it sends WM_GETTEXT), so edit controls give their contents.
std::string WindowTextAnsi(HWND hwnd);
std::string WindowTextUtf8(HWND hwnd);
std::string ClassName(HWND hwnd);
std::string ControlTextUtf8(HWND dialog, int id);

// --- Message loop -----------------------------------------------------------

// Dispatches this thread's messages until done() holds or timeoutMs passes.
// Returns whether done() held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Dispatches this thread's messages for about ms milliseconds.
void PumpFor(DWORD ms);

// --- Files ------------------------------------------------------------------

// A fresh empty folder under the Windows temporary folder, removed with all
// its files when the object goes.  Paths are ANSI (CP932), as the program's
// ...A calls take them.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    // path_ + "\\" + name (name in ANSI).
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

// The Unix path of a Windows path (Wine's wine_get_unix_file_name), or ""
// outside Wine.
std::string UnixPath(const std::string& windowsPathAnsi);
bool ReadWholeFile(const std::string& pathAnsi, std::string& contents);
bool WriteWholeFile(const std::string& pathAnsi, const std::string& contents);
bool FileExists(const std::string& pathAnsi);

// --- Dialog driving ---------------------------------------------------------

struct DialogRecord {
    HWND hwnd = nullptr;
    std::string caption;   // UTF-8
    std::string text;      // UTF-8; a message box's text (static 65535), else ""
    bool messageBox = false;
    int answer = 0;        // button id sent to a message box, 0 for dialogs
};

class DialogDriver {
public:
    // Installs the hook for the calling thread; only one driver per thread.
    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Queues the button (IDOK, IDCANCEL, IDYES, IDNO, ...) that answers the
    // next message box.
    void AnswerMessageBox(int buttonId);
    // Queues an action for the next dialog whose caption contains
    // titleUtf8 ("" matches any caption).  The action runs inside the
    // dialog's own message loop with the dialog's window; it should finish
    // by posting a button press (PressButton) rather than sending one, so
    // that nested dialogs run in the dialog's loop, not inside the action.
    void OnDialog(const std::string& titleUtf8, std::function<void(HWND)> action);

    // Everything seen so far, in order.
    const std::vector<DialogRecord>& Seen() const { return seen_; }
    std::vector<DialogRecord> MessageBoxes() const;
    // "" when every queued answer and action was used and no dialog came
    // that nothing was queued for; otherwise a description for the failure
    // message.  Unexpected dialogs are closed with IDCANCEL so that a test
    // fails instead of hanging.
    std::string Problems() const;

    // A dialog still open (and not waiting on a nested one) this long after
    // it was answered or driven is reported and sent IDCANCEL, then
    // EndDialog: a test then fails instead of hanging.
    void SetStuckTimeout(DWORD ms) { stuckMs_ = ms; }

private:
    struct Handled {
        HWND hwnd;
        DWORD since;
        int nudges;
    };
    struct PendingAction {
        std::string title;
        std::function<void(HWND)> action;
    };
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
    void Activated(HWND hwnd);
    void HandlePending();
    void Handle(HWND hwnd);
    void CheckStuck();
    bool IsHandled(HWND hwnd) const;

    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
    std::deque<int> answers_;
    std::deque<PendingAction> actions_;
    std::vector<Handled> handled_;  // dialogs already answered or driven
    DWORD stuckMs_ = 15000;
    std::vector<HWND> pending_;   // activated, waiting for the timer
    std::vector<DialogRecord> seen_;
    std::vector<std::string> unexpected_;
};

// Whether a dialog is a message box: its text is the static 65535 and
// every other control is a static or a push button.
bool IsMessageBox(HWND dialog);

// Posts the WM_COMMAND a click on button id sends to its dialog.
void PressButton(HWND dialog, int id);
// Sets a control's text (ANSI).
void SetControlText(HWND dialog, int id, const std::string& textAnsi);
// Selects entry index of a combo box and sends the notifications a user's
// choice from its list sends to the owner: CBN_SELCHANGE, CBN_SELENDOK.
void SelectComboEntry(HWND dialog, int id, int index);

// The common file dialogs (explorer style).  These take the dialog's own
// window or the child of a hook template (they go to its parent).
constexpr int kFileNameEdit = 1152;   // edt1 (older dialogs)
constexpr int kFileNameCombo = 1148;  // cmb13, the name box of Wine 8's dialog
constexpr int kFileTypeCombo = 1136;  // cmb1
HWND FileDialogFrame(HWND dialogOrHookChild);
// The edit control holding the file name (1152, or the edit inside 1148).
HWND FileDialogNameEdit(HWND dialog);
void FileDialogSetName(HWND dialog, const std::string& nameAnsi);
// index is 0-based (nFilterIndex - 1).
void FileDialogSelectType(HWND dialog, int index);
std::string FileDialogTypeText(HWND dialog);
// Sets the name and presses OK, and again every 0.7 s while the dialog is
// still there and enabled (a dialog settling under load may lose the name).
void FileDialogAccept(HWND dialog, const std::string& nameAnsi);
// Sets the name and presses OK once.
void FileDialogAcceptOnce(HWND dialog, const std::string& nameAnsi);
void FileDialogCancel(HWND dialog);

// --- Windows ----------------------------------------------------------------

// A plain shown top-level window titled like the program's, 480 x 320 at
// (30, 30), to own the dialogs a test opens.  The caller destroys it.
HWND CreateOwnerWindow();

// --- Mouse and scrolling ----------------------------------------------------

// Client coordinates; the messages a user's mouse produces, sent in order.
void MouseMove(HWND hwnd, int x, int y, WPARAM keys = 0);
void MouseDown(HWND hwnd, int x, int y);
void MouseUp(HWND hwnd, int x, int y);
void Click(HWND hwnd, int x, int y);
// Button down at from, moves in steps, button up at to.
void Drag(HWND hwnd, POINT from, POINT to, int steps = 4);
// WM_HSCROLL / WM_VSCROLL from the window's own scroll bar.
void Scroll(HWND hwnd, UINT message, int code, int position = 0);

// --- Printing ---------------------------------------------------------------

// True in the prefix without any printer (QUILLVANE_WINE_PRINTER=0).
bool NoPrinterPrefix();

// While alive, the default printer's jobs go to a file of the caller's
// choosing instead of the prefix's printer-output.ps; tests in other
// processes of the same prefix wait for it (a named mutex), so parallel
// suites never mix their jobs.  Ok() is false when there is no default
// printer or its port cannot be redirected.
class PrinterCapture {
public:
    explicit PrinterCapture(const std::string& outputPathAnsi);
    ~PrinterCapture();
    PrinterCapture(const PrinterCapture&) = delete;
    PrinterCapture& operator=(const PrinterCapture&) = delete;
    bool Ok() const { return ok_; }
    const std::string& PrinterName() const { return printer_; }

private:
    HANDLE mutex_ = nullptr;
    std::string printer_;
    std::string port_;
    std::string previous_;
    bool hadPrevious_ = false;
    bool ok_ = false;
};

// The document title of a PostScript job as Wine's driver wrote it in
// "%%Title:", with its octal escapes undone: the DOCINFO name in ANSI.
// Returns false when the file has no title line.
bool PostScriptTitle(const std::string& postscript, std::string& titleAnsi);

}  // namespace wintest

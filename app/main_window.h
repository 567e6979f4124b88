// The main window: owner of the picture being edited, its 1:1 view, the
// selection and every menu command.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr char kMainWindowClass[] = "Graphic";
constexpr char kMainWindowTitle[] = "Quillvane185Rizo";
constexpr int kMinimumWindowWidth = 480;
constexpr int kMinimumWindowHeight = 320;

struct ViewStateRecord {
    int viewWidth;
    int viewHeight;
    int imageOffsetX;
    int imageOffsetY;
    int hScrollPos;
    int vScrollPos;
    int hScrollMax;
    int vScrollMax;
    int scrolledX;
    int scrolledY;
    int pendingScrollDX;
    int pendingScrollDY;
    int maxTrackWidth;
    int maxTrackHeight;
    RECT currentWindowRect;
    int modalBusy;
    // The window's outer rectangle for the picture shown (its largest
    // tracking size): the minimum canvas until a picture is shown.
    RECT pictureWindowRect = {0, 0, kMinimumWindowWidth, kMinimumWindowHeight};
};

extern ViewStateRecord ViewState;
extern HINSTANCE AppInstance;

// Registers the "Graphic" class.  Returns 0, or -1 when it fails.
int RegisterMainWindowClass(HINSTANCE instance);
// Creates, centres and shows the main window and loads the print
// defaults.  Returns the window, or null when it cannot be created.
HWND CreateMainWindow(HINSTANCE instance, int showCommand);

// After a picture was read into MainDocument: the display copy is built
// and the window takes the picture's size.  Returns 0, or -1 when the
// display copy cannot be allocated: the picture is then let go (the window
// has no picture) and "メモリーが足りません。" is reported.
int ShowNewPicture(HWND window);
// The same, except that a display copy that cannot be allocated leaves the
// picture as it is and only returns -1: the window shows no picture until
// the caller shows one.
int TryShowNewPicture(HWND window);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Files handed over by the shell (named on the command line, dropped on the
// window) open as if chosen in the open dialog: the unsaved-changes
// question, the read, the new picture shown.  Of several, only the first
// opens, after a notice that one picture is open at a time.
void OpenShellFiles(HWND window, const std::vector<std::wstring>& names);

// The file names on a command line (GetCommandLineW's form): every
// argument after the program's own name.
std::vector<std::wstring> CommandLineFiles(const wchar_t* commandLine);

// The program's entry sequence: documents reset, splash, class, window,
// the files given opened, message loop.  Returns the exit code.
int RunQuillvane(HINSTANCE instance, int showCommand, const std::vector<std::wstring>& files = {});

// Helpers every settings dialog uses: one shared value slot that keeps a
// scroll bar, its value and its "%3d" text in step, window centring, and
// the screen's resolution.
#pragma once

#include <windows.h>

#include <string_view>

// The value being edited and its bounds.  A dialog copies its own triple in
// before a helper call and copies it back afterwards.
extern int ScrollValue;
extern int ScrollMin;
extern int ScrollMax;

// Shows UTF-8 text in a dialog's control (SetDlgItemTextW).
void SetControlText(HWND dialog, int id, std::string_view text);

int ShowScrollValue(HWND dialog, int textId, int offset);
int ShowNumber(HWND dialog, int textId, int value);
// Clamps ScrollValue (the maximum wins when the bounds cross), moves the
// bar and, when textId is not 0, shows the value less offset.
int SetScrollValue(HWND dialog, int scrollId, int textId, int offset);
// Applies one scroll-bar notification (code, thumb position) to ScrollValue.
int ScrollValueFromCode(HWND dialog, int scrollId, int textId, int code, int position, int offset);
int CentreWindow(HWND window);

// Sets up a scroll bar from a (value, minimum, maximum) triple: range,
// position and value text.  The triple's value comes back clamped.
void InitScrollTriple(HWND dialog, int scrollId, int textId, int offset, int* value, int minimum, int maximum);
// Runs one WM_HSCROLL/WM_VSCROLL on a triple; returns the new value.
int ScrollTriple(HWND dialog, int scrollId, int textId, int offset, WPARAM wParam, int* value, int minimum,
                 int maximum);

// The screen's resolution in dots per inch (96 at 100 %).  The program is
// DPI-aware: client pixels are the screen's own pixels.
int ScreenDpi();
// A length given in pixels of a 96-dpi screen, in the screen's pixels.
int ScaledFrom96(int length);
// A rectangle in dialog units mapped to client pixels as the dialog maps it
// on a 96-dpi screen: with the base units of its font made at the font's
// 96-dpi size, measured as dialogs measure them.  On a 96-dpi screen it is
// MapDialogRect's own answer.
RECT MapDialogRectAt96(HWND dialog, RECT rect);

// Shared ground of the tests that open the processing dialogs for real:
// a picture in MainDocument built in memory, the dialog run modally and
// driven from inside its own loop, the messages a user's clicks, scroll
// bars and typing send, and the preview read back from the screen.
#pragma once

#include "support/win_test_support.h"

#include "image/image_document.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dlgtest {

struct Bgr {
    BYTE blue, green, red;
};
using ColourFn = std::function<Bgr(int x, int y)>;

// A varied picture: every channel changes across it, so any misplaced or
// wrongly processed preview pixel shows.
Bgr DefaultColour(int x, int y);

// Makes MainDocument a loaded width x height picture coloured by colour
// (x, y from the top-left), with its HeightBytes computed.
void LoadPicture(int width, int height, const ColourFn& colour = DefaultColour);

// The start-up values of every processing setting.
void ResetProcessingSettings();

// A WorkDib block copied out of a handle or an address (header, pixels).
std::vector<BYTE> CopyBlock(HGLOBAL block);
std::vector<BYTE> CopyDib(const BYTE* dib);
// PreviewImage as it is now (empty when there is none).
std::vector<BYTE> PreviewImageBytes();
LONG DibWidth(const std::vector<BYTE>& dib);
LONG DibHeight(const std::vector<BYTE>& dib);

// Runs a neighbourhood filter or a bump on a copy held in a fresh movable
// block, the way the program does: returns the processed block's bytes.
std::vector<BYTE> FilteredCopy(const std::vector<BYTE>& dib);

// The preview area (PreviewRect) as the screen shows it in the dialog:
// blue, green, red per pixel, rows top-down.
std::vector<BYTE> ReadPreviewFromScreen(HWND dialog);
// A WorkDib's pixels in the same form.
std::vector<BYTE> ScreenForm(const std::vector<BYTE>& dib);
// Whether the screen shows exactly dib at PreviewRect (first difference
// described otherwise).
::testing::AssertionResult PreviewShows(HWND dialog, const std::vector<BYTE>& dib);
// While alive, PreviewImage is a block whose header claims a picture too
// large for any scratch copy (the real one is put back afterwards), so a
// renderer's scratch allocation fails.
class UnallocatablePreview {
public:
    UnallocatablePreview();
    ~UnallocatablePreview();
    UnallocatablePreview(const UnallocatablePreview&) = delete;
    UnallocatablePreview& operator=(const UnallocatablePreview&) = delete;

private:
    HGLOBAL real_;
    HGLOBAL fake_;
};
// Repaints the dialog now (erase and WM_PAINT) before reading it back.
void Redraw(HWND dialog);

// --- What a user's hand sends ---------------------------------------------

// A click on a button or check box (BM_CLICK: the control sends BN_CLICKED).
void ClickButton(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool IsShown(HWND dialog, int id);
// A scroll-bar action on control id (WM_HSCROLL, or WM_VSCROLL for a
// vertical bar), the bar's window as lParam.
void ScrollBar(HWND dialog, int id, int code, int position = 0, UINT message = WM_HSCROLL);
int BarPos(HWND dialog, int id);
std::pair<int, int> BarRange(HWND dialog, int id);
// Replaces an edit box's text as typing does (the box sends EN_CHANGE).
void Type(HWND dialog, int id, const char* text);
std::string Text(HWND dialog, int id);
// Left button pressed and released at a client point of the dialog.
void ClickAt(HWND dialog, POINT p);
// A rectangle in dialog units mapped to the dialog's client pixels.
RECT DialogRect(HWND dialog, int left, int top, int right, int bottom);

// "%3d" of a value, as the value texts show it.
std::string Num(int value);

// Runs template with proc in a modal loop; action runs inside it once the
// dialog shows and must end the dialog (e.g. PressButton(dialog, IDOK)).
// With nested dialogs, queue every action on a driver of your own in the
// order the dialogs come, and pass that driver with no action.
INT_PTR RunDialog(const char* templateName, DLGPROC proc, const char8_t* caption,
                  const std::function<void(HWND)>& action, wintest::DialogDriver* driver = nullptr);

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace dlgtest

// A fixture for the tests of the application shell: the real main window
// of class "Graphic", pictures opened through its own open command, and the
// mouse driven the way a user's hand drives it.
//
// Program state is global (MainDocument, ViewState, Selection...), so every
// test starts from the start-up state and leaves nothing behind.
#pragma once

#include "support/win_test_support.h"

#include "image/image_document.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace apptest {

// The colour of pixel (x, y) of every test picture: distinct for every
// pixel of pictures up to 4096 x 4096, so a misplaced pixel shows.
struct Rgb {
    BYTE blue, green, red;
};
Rgb PictureColour(int x, int y);

// Writes a 24-bit bottom-up BMP of width x height pixels coloured with
// PictureColour.  Returns false when the file cannot be written.
bool WriteTestBmp(const std::string& pathAnsi, int width, int height);

// Pixel (x, y) (0 = top row) of a document's WorkDib: blue, green, red,
// HeightByte.
const BYTE* DocPixel(const ImageDocument& doc, int x, int y);
// The whole WorkDib block (header and pixels) of a document.
std::vector<BYTE> DocBytes(const ImageDocument& doc);

// Lets go of the picture, the watermark and the display copy, and clears
// the selection (part of ResetProgramState).
void ReleasePictures();

// Puts the program's globals back into their start-up state.
void ResetProgramState();

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a width x height picture and opens it with menu 1800 and the
    // open dialog.  Returns false (with a test failure) if it did not open.
    bool OpenPicture(int width, int height);
    // Paints everything pending now.
    void Paint();
    RECT Client() const;
    RECT WindowRect() const;

    // The mouse, in client coordinates.  The real cursor is moved first
    // because the window reads the position of a move from it.
    void MoveMouse(int x, int y);
    void Press(int x, int y);    // a move to the point, then the button
    void Release(int x, int y);
    // Press at from, steps moves, release at to.
    void DragMouse(POINT from, POINT to, int steps = 4);

    // Colours of the window's client pixels along a horizontal or vertical
    // run, read from the screen.
    std::vector<COLORREF> RowPixels(int y, int x0, int x1) const;
    std::vector<COLORREF> ColumnPixels(int x, int y0, int y1) const;

    HWND window_ = nullptr;
    std::unique_ptr<wintest::TempDir> dir_;
    int openedCount_ = 0;
};

// The main window with every processing setting at its start-up value
// before and after each test.
class ProcessingWindowFixture : public MainWindowFixture {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The open dialog's title as Wine shows it in the program's language:
// "開く" under the Japanese set-up, "Open" under the English one.
std::string OpenDialogTitle();

// Drops a WM_QUIT left in this thread's queue by a destroyed window, so
// that later modal loops do not end at once.  Returns whether there was one
// and its exit code.
bool TakeQuitMessage(WPARAM* exitCode = nullptr);

}  // namespace apptest

// The main window: its size for pictures of every shape, the largest size
// it allows, the menu items that need a picture, the processing command
// sequence around the selection, the question at exit, and the splash
// window that comes before it.
#include "support/app_fixture.h"

#include "app/file_settings.h"
#include "app/main_window.h"
#include "app/selection.h"
#include "app/settings.h"
#include "app/splash.h"
#include "image/region_swap.h"
#include "processing/effects.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace wintest;
using namespace apptest;

namespace {

// The smallest view: what is left of a 480 x 320 window without frame,
// caption, menu and scroll bars.
int CanvasWidth()
{
    return 480 - 2 * GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXVSCROLL);
}
int CanvasHeight()
{
    return 320 - 2 * GetSystemMetrics(SM_CYFRAME) - GetSystemMetrics(SM_CYHSCROLL) - GetSystemMetrics(SM_CYCAPTION) -
           GetSystemMetrics(SM_CYMENU);
}

// The outer rectangle of a window at before's top-left corner that shows a
// view of viewWidth x viewHeight with both scroll bars.
RECT WindowForView(RECT before, int viewWidth, int viewHeight)
{
    RECT r = {before.left, before.top, GetSystemMetrics(SM_CXVSCROLL) + viewWidth + before.left - 1,
              GetSystemMetrics(SM_CYHSCROLL) + viewHeight + before.top - 1};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, TRUE);
    return r;
}

::testing::AssertionResult SameRect(const RECT& actual, const RECT& expected)
{
    if (EqualRect(&actual, &expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.left << "," << actual.top << ")-(" << actual.right << ","
                                         << actual.bottom << ") instead of (" << expected.left << "," << expected.top
                                         << ")-(" << expected.right << "," << expected.bottom << ")";
}

COLORREF ScreenColour(int x, int y)
{
    const Rgb c = PictureColour(x, y);
    return RGB(c.red, c.green, c.blue);
}

MINMAXINFO AskMinMax(HWND window)
{
    MINMAXINFO info;
    std::memset(&info, 0x5A, sizeof info);
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

// Whether both arrows of a window scroll bar are enabled.  EnableScrollBar
// reports whether it changed anything, which tells the state the bar was
// in; the bar is then put back.  (Wine's GetScrollBarInfo does not report
// a bar disabled with EnableScrollBar.)
bool ScrollBarsEnabled(HWND window, LONG object)
{
    const UINT bar = object == OBJID_HSCROLL ? SB_HORZ : SB_VERT;
    if (!EnableScrollBar(window, bar, ESB_DISABLE_BOTH))
        return false;  // already disabled
    EnableScrollBar(window, bar, ESB_ENABLE_BOTH);
    return true;
}

// --- Start-up state and the largest window size ------------------------------

class MainWindowStart : public MainWindowFixture {};

TEST_F(MainWindowStart, WindowIsTitledCentredAndNoLargerThan480x320)
{
    char title[64] = {};
    GetWindowTextA(window_, title, sizeof title);
    EXPECT_STREQ(title, "Quillvane185Rizo");
    EXPECT_EQ(ClassName(window_), "Graphic");
    EXPECT_TRUE(IsWindowVisible(window_));
    const LONG style = GetWindowLongA(window_, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);

    // The default size is cut to the largest tracking size, 480 x 320,
    // and the window is then centred on the desktop.
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const RECT r = WindowRect();
    EXPECT_EQ(r.right - r.left, 480);
    EXPECT_EQ(r.bottom - r.top, 320);
    EXPECT_EQ(r.left, (desktop.right - 480) / 2);
    EXPECT_EQ(r.top, (desktop.bottom - 320) / 2);
}

TEST_F(MainWindowStart, MinMaxInfoBeforeAnyPictureIs480x320AndTouchesNothingElse)
{
    const MINMAXINFO info = AskMinMax(window_);
    EXPECT_EQ(info.ptMaxTrackSize.x, 480);
    EXPECT_EQ(info.ptMaxTrackSize.y, 320);
    EXPECT_EQ(ViewState.maxTrackWidth, 480);
    EXPECT_EQ(ViewState.maxTrackHeight, 320);
    MINMAXINFO untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    EXPECT_EQ(std::memcmp(&info.ptReserved, &untouched.ptReserved, sizeof info.ptReserved), 0);
    EXPECT_EQ(std::memcmp(&info.ptMaxSize, &untouched.ptMaxSize, sizeof info.ptMaxSize), 0);
    EXPECT_EQ(std::memcmp(&info.ptMaxPosition, &untouched.ptMaxPosition, sizeof info.ptMaxPosition), 0);
    EXPECT_EQ(std::memcmp(&info.ptMinTrackSize, &untouched.ptMinTrackSize, sizeof info.ptMinTrackSize), 0);
}

TEST_F(MainWindowStart, MenuItemsThatNeedAPictureAreGrayUntilOneIsOpen)
{
    HMENU menu = GetMenu(window_);
    ASSERT_NE(menu, nullptr);
    const UINT needPicture[] = {IDM_SAVE, IDM_PRINT, IDM_YSH, IDM_BUMP, IDM_FILTER, IDM_EFFECT};
    const UINT always[] = {IDM_OPEN, IDM_PAGESETUP, IDM_BATCH, IDM_EXIT};
    Paint();
    for (UINT id : needPicture)
        EXPECT_TRUE(GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) << id;
    for (UINT id : always) {
        EXPECT_NE(GetMenuState(menu, id, MF_BYCOMMAND), static_cast<UINT>(-1)) << id;
        EXPECT_FALSE(GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) << id;
    }

    ASSERT_TRUE(OpenPicture(64, 48));
    Paint();
    for (UINT id : needPicture)
        EXPECT_FALSE(GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) << id;
    for (UINT id : always)
        EXPECT_FALSE(GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) << id;
}

TEST_F(MainWindowStart, ProcessingCommandWithoutPictureShowsNoDialog)
{
    DialogDriver driver;
    for (UINT id : {IDM_BUMP, IDM_FILTER, IDM_EFFECT, IDM_YSH})
        SendMessageA(window_, WM_COMMAND, id, 0);
    EXPECT_TRUE(driver.Seen().empty());
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_EQ(MainDocument.isLoaded, 0);
    EXPECT_EQ(ViewState.modalBusy, 0);
}

// A picture whose display copy cannot be allocated is let go with a
// message: no picture, every command that needs one gray, the window as
// it was.
TEST_F(MainWindowStart, PictureWithoutMemoryForItsDisplayCopyIsLetGoWithAMessage)
{
    const RECT before = WindowRect();
    HGLOBAL block = GlobalAlloc(GHND, WorkDibBlockBytes(1, 1));
    ASSERT_NE(block, nullptr);
    MainDocument.hDib = block;
    MainDocument.dib = static_cast<BYTE*>(GlobalLock(block));
    WriteWorkDibHeader(MainDocument.dib, 1, 1);
    MainDocument.bmi = reinterpret_cast<BITMAPINFO*>(MainDocument.dib);
    MainDocument.bitsOffset = kWorkDibHeaderBytes;
    // The record claims a size no block can have; its pixels are never read.
    MainDocument.width = kUnallocatableWidth;
    MainDocument.height = kUnallocatableHeight;
    MainDocument.isLoaded = 1;
    MainDocument.isModified = 1;

    DialogDriver driver;
    driver.AnswerMessageBox(IDOK);
    EXPECT_EQ(ShowNewPicture(window_), -1);
    EXPECT_EQ(driver.Problems(), "");
    const std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, U8(u8"メモリーが足りません。"));
    EXPECT_EQ(MainDocument.hDib, nullptr);
    EXPECT_EQ(MainDocument.isLoaded, 0);
    EXPECT_EQ(MainDocument.isModified, 0);
    EXPECT_EQ(DisplayCopy.hDib, nullptr);
    const RECT after = WindowRect();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "the window kept its size";
    Paint();
    for (UINT id : {IDM_SAVE, IDM_PRINT, IDM_YSH, IDM_BUMP, IDM_FILTER, IDM_EFFECT})
        EXPECT_TRUE(GetMenuState(GetMenu(window_), id, MF_BYCOMMAND) & MF_GRAYED) << id;
}

// --- Window size for a new picture ------------------------------------------

class MainWindowSizing : public MainWindowFixture {};

TEST_F(MainWindowSizing, PictureLargerThanTheMinimumIsTheView)
{
    const RECT before = WindowRect();
    ASSERT_TRUE(OpenPicture(600, 400));
    EXPECT_EQ(ViewState.viewWidth, 600);
    EXPECT_EQ(ViewState.viewHeight, 400);
    EXPECT_EQ(ViewState.imageOffsetX, 0);
    EXPECT_EQ(ViewState.imageOffsetY, 0);

    const RECT expected = WindowForView(before, 600, 400);
    EXPECT_TRUE(SameRect(ViewState.pictureWindowRect, expected));
    EXPECT_TRUE(SameRect(WindowRect(), expected));

    // The new window rectangle is the largest size from now on.
    const MINMAXINFO info = AskMinMax(window_);
    EXPECT_EQ(info.ptMaxTrackSize.x, expected.right - expected.left);
    EXPECT_EQ(info.ptMaxTrackSize.y, expected.bottom - expected.top);
    EXPECT_EQ(ViewState.maxTrackWidth, expected.right - expected.left);
    EXPECT_EQ(ViewState.maxTrackHeight, expected.bottom - expected.top);

    // The scroll ranges follow the client area the window ended with.
    const RECT client = Client();
    EXPECT_EQ(ViewState.hScrollMax, 600 - client.right);
    EXPECT_EQ(ViewState.vScrollMax, 400 - client.bottom);
    EXPECT_EQ(ViewState.hScrollPos, 0);
    EXPECT_EQ(ViewState.vScrollPos, 0);

    // Painted 1:1 from the top-left corner.
    HDC dc = GetDC(window_);
    EXPECT_EQ(GetPixel(dc, 0, 0), ScreenColour(0, 0));
    EXPECT_EQ(GetPixel(dc, 123, 45), ScreenColour(123, 45));
    EXPECT_EQ(GetPixel(dc, client.right - 1, client.bottom - 1), ScreenColour(client.right - 1, client.bottom - 1));
    ReleaseDC(window_, dc);
}

TEST_F(MainWindowSizing, SmallPictureIsCentredInTheMinimumCanvas)
{
    const RECT before = WindowRect();
    ASSERT_TRUE(OpenPicture(200, 100));
    const int canvasWidth = CanvasWidth();
    const int canvasHeight = CanvasHeight();
    EXPECT_EQ(ViewState.viewWidth, canvasWidth);
    EXPECT_EQ(ViewState.viewHeight, canvasHeight);
    const int ox = (canvasWidth - 200) / 2;
    const int oy = (canvasHeight - 100) / 2;
    EXPECT_EQ(ViewState.imageOffsetX, ox);
    EXPECT_EQ(ViewState.imageOffsetY, oy);

    const RECT expected = WindowForView(before, canvasWidth, canvasHeight);
    EXPECT_TRUE(SameRect(ViewState.pictureWindowRect, expected));
    EXPECT_TRUE(SameRect(WindowRect(), expected));
    // A window made for the minimum canvas is the minimum window again.
    EXPECT_EQ(expected.right - expected.left, 479);
    EXPECT_EQ(expected.bottom - expected.top, 319);

    // The picture sits at the offset; around it the class background.
    const COLORREF background = RGB(192, 192, 192);
    HDC dc = GetDC(window_);
    EXPECT_EQ(GetPixel(dc, ox, oy), ScreenColour(0, 0));
    EXPECT_EQ(GetPixel(dc, ox + 199, oy + 99), ScreenColour(199, 99));
    EXPECT_EQ(GetPixel(dc, ox - 1, oy), background);
    EXPECT_EQ(GetPixel(dc, ox, oy - 1), background);
    EXPECT_EQ(GetPixel(dc, ox + 200, oy + 99), background);
    EXPECT_EQ(GetPixel(dc, ox + 199, oy + 100), background);
    ReleaseDC(window_, dc);
}

TEST_F(MainWindowSizing, PictureJustUnder480WideButWiderThanTheCanvasStartsAtZero)
{
    ASSERT_GT(479, CanvasWidth());
    ASSERT_TRUE(OpenPicture(479, 330));
    EXPECT_EQ(ViewState.viewWidth, CanvasWidth());
    EXPECT_EQ(ViewState.viewHeight, 330);
    EXPECT_EQ(ViewState.imageOffsetX, 0);
    EXPECT_EQ(ViewState.imageOffsetY, 0);
}

TEST_F(MainWindowSizing, WideShortPictureIsCentredVerticallyOnly)
{
    const RECT before = WindowRect();
    ASSERT_TRUE(OpenPicture(700, 50));
    EXPECT_EQ(ViewState.viewWidth, 700);
    EXPECT_EQ(ViewState.viewHeight, CanvasHeight());
    EXPECT_EQ(ViewState.imageOffsetX, 0);
    EXPECT_EQ(ViewState.imageOffsetY, (CanvasHeight() - 50) / 2);
    EXPECT_TRUE(SameRect(WindowRect(), WindowForView(before, 700, CanvasHeight())));
}

TEST_F(MainWindowSizing, SecondPictureIsSizedFromTheCurrentPositionAndResetsSelectionAndScrolling)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    SetWindowPos(window_, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(window_, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
    Paint();
    DragMouse({20, 20}, {120, 90});
    ASSERT_EQ(Selection.active, 1);
    SendMessageA(window_, WM_HSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    SendMessageA(window_, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    ASSERT_EQ(ViewState.scrolledX, 10);
    Paint();

    const RECT before = WindowRect();
    ASSERT_EQ(before.left, 30);
    ASSERT_TRUE(OpenPicture(200, 100));
    EXPECT_TRUE(SameRect(WindowRect(), WindowForView(before, CanvasWidth(), CanvasHeight())));
    EXPECT_EQ(Selection.active, 0);
    EXPECT_EQ(Selection.dragging, 0);
    EXPECT_TRUE(Selection.left == 0 && Selection.top == 0 && Selection.right == 0 && Selection.bottom == 0);
    EXPECT_EQ(ViewState.scrolledX, 0);
    EXPECT_EQ(ViewState.scrolledY, 0);
    EXPECT_EQ(ViewState.hScrollPos, 0);
    EXPECT_EQ(ViewState.vScrollPos, 0);
    EXPECT_EQ(GetScrollPos(window_, SB_HORZ), 0);
    EXPECT_EQ(GetScrollPos(window_, SB_VERT), 0);
    EXPECT_EQ(DisplayCopy.width, 200);
    EXPECT_EQ(DisplayCopy.height, 100);
}

TEST_F(MainWindowSizing, WindowCannotGrowPastItsPictureAndScrollBarsEnableOnlyWhenSmaller)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    const RECT full = ViewState.pictureWindowRect;
    const int fullWidth = full.right - full.left;
    const int fullHeight = full.bottom - full.top;

    SetWindowPos(window_, nullptr, 0, 0, fullWidth + 100, fullHeight + 80, SWP_NOMOVE | SWP_NOZORDER);
    Paint();
    RECT r = WindowRect();
    EXPECT_EQ(r.right - r.left, fullWidth);
    EXPECT_EQ(r.bottom - r.top, fullHeight);
    // At the full size both bars are shown but disabled.
    EXPECT_TRUE(GetWindowLongA(window_, GWL_STYLE) & WS_HSCROLL);
    EXPECT_TRUE(GetWindowLongA(window_, GWL_STYLE) & WS_VSCROLL);
    EXPECT_FALSE(ScrollBarsEnabled(window_, OBJID_HSCROLL));
    EXPECT_FALSE(ScrollBarsEnabled(window_, OBJID_VSCROLL));

    // Narrower only: both bars are enabled.
    SetWindowPos(window_, nullptr, 0, 0, fullWidth - 50, fullHeight, SWP_NOMOVE | SWP_NOZORDER);
    Paint();
    EXPECT_TRUE(ScrollBarsEnabled(window_, OBJID_HSCROLL));
    EXPECT_TRUE(ScrollBarsEnabled(window_, OBJID_VSCROLL));

    SetWindowPos(window_, nullptr, 0, 0, fullWidth, fullHeight, SWP_NOMOVE | SWP_NOZORDER);
    Paint();
    EXPECT_FALSE(ScrollBarsEnabled(window_, OBJID_HSCROLL));
    EXPECT_FALSE(ScrollBarsEnabled(window_, OBJID_VSCROLL));

    // Lower only.
    SetWindowPos(window_, nullptr, 0, 0, fullWidth, fullHeight - 30, SWP_NOMOVE | SWP_NOZORDER);
    Paint();
    EXPECT_TRUE(ScrollBarsEnabled(window_, OBJID_HSCROLL));
    EXPECT_TRUE(ScrollBarsEnabled(window_, OBJID_VSCROLL));
}

// --- The processing command sequence ----------------------------------------

class ProcessingCommand : public MainWindowFixture {
protected:
    struct Observed {
        int modalBusy = -1;
        LONG documentWidth = -1;
        LONG documentHeight = -1;
        LONG displayWidth = -1;
    };

    // Runs a processing command whose dialog is answered with button
    // (after a press of extraButton when it is not 0); records what the
    // program looked like while the dialog was open.
    Observed RunCommand(UINT id, const char8_t* caption, int button, int extraButton = 0)
    {
        Observed seen;
        DialogDriver driver;
        driver.OnDialog(U8(caption), [&](HWND dialog) {
            seen.modalBusy = ViewState.modalBusy;
            seen.documentWidth = MainDocument.width;
            seen.documentHeight = MainDocument.height;
            seen.displayWidth = DisplayCopy.width;
            if (extraButton)
                PressButton(dialog, extraButton);
            PressButton(dialog, button);
        });
        SendMessageA(window_, WM_COMMAND, id, 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_EQ(driver.Seen().size(), 1u);
        Paint();
        return seen;
    }

    // Runs a command and expects no dialog at all.
    void RunCommandExpectingNoDialog(UINT id)
    {
        DialogDriver driver;
        SendMessageA(window_, WM_COMMAND, id, 0);
        EXPECT_TRUE(driver.Seen().empty()) << driver.Problems();
        EXPECT_EQ(driver.Problems(), "");
        Paint();
    }

    // Expects the picture before with every pixel inside columns x0..x1 and
    // rows y0..y1 inverted (its HeightByte kept) and every other byte equal.
    void ExpectNegativeOnlyIn(const std::vector<BYTE>& before, int x0, int y0, int x1, int y1)
    {
        ASSERT_EQ(DocBytes(MainDocument).size(), before.size());
        ASSERT_EQ(std::memcmp(MainDocument.dib, before.data(), 40), 0) << "block header changed";
        const int W = MainDocument.width;
        const int H = MainDocument.height;
        int wrong = 0;
        for (int y = 0; y < H && wrong < 5; ++y)
            for (int x = 0; x < W && wrong < 5; ++x) {
                const BYTE* now = DocPixel(MainDocument, x, y);
                const BYTE* was = before.data() + 40 + (static_cast<std::size_t>(H - 1 - y) * W + x) * 4;
                const bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
                for (int b = 0; b < 4; ++b) {
                    const int expected = inside && b < 3 ? 255 - was[b] : was[b];
                    if (now[b] != expected) {
                        ADD_FAILURE() << "pixel (" << x << "," << y << ") byte " << b << " is " << int(now[b])
                                      << ", expected " << expected << (inside ? " (inside)" : " (outside)");
                        ++wrong;
                        break;
                    }
                }
            }
    }

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        Remembered.effect.kind = EffectKind::Negative;
        Remembered.effect.bandWidth = 64;
    }
};

TEST_F(ProcessingCommand, CancelInEveryDialogLeavesThePictureByteForByte)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    DragMouse({100, 60}, {180, 120});
    ASSERT_EQ(Selection.active, 1);
    const std::vector<BYTE> before = DocBytes(MainDocument);
    const BITMAPINFOHEADER header = MainDocument.bmi->bmiHeader;
    const HGLOBAL block = MainDocument.hDib;

    const struct {
        UINT id;
        const char8_t* caption;
    } commands[] = {{IDM_BUMP, u8"バンプ設定"}, {IDM_FILTER, u8"フィルター"}, {IDM_EFFECT, u8"画像効果"},
                    {IDM_YSH, u8"YSH色調整"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command.id);
        const Observed seen = RunCommand(command.id, command.caption, IDCANCEL);
        // While the dialog is open the document is the region (81 x 61,
        // right and bottom included) and the window paints the whole.
        EXPECT_EQ(seen.modalBusy, 1);
        EXPECT_EQ(seen.documentWidth, 81);
        EXPECT_EQ(seen.documentHeight, 61);
        EXPECT_EQ(seen.displayWidth, 600);

        EXPECT_EQ(ViewState.modalBusy, 0);
        EXPECT_EQ(MainDocument.hDib, block);
        EXPECT_EQ(MainDocument.width, 600);
        EXPECT_EQ(MainDocument.height, 400);
        EXPECT_EQ(std::memcmp(&MainDocument.bmi->bmiHeader, &header, sizeof header), 0);
        EXPECT_TRUE(DocBytes(MainDocument) == before);
        EXPECT_TRUE(DocBytes(DisplayCopy) == before);
        EXPECT_EQ(MainDocument.isModified, 0);
        EXPECT_EQ(Selection.active, 1);
    }
}

TEST_F(ProcessingCommand, NegativeOnASelectionChangesOnlyTheRegionAndMarksThePictureModified)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    DragMouse({100, 60}, {180, 120});
    ASSERT_EQ(Selection.active, 1);
    const std::vector<BYTE> before = DocBytes(MainDocument);

    RunCommand(IDM_EFFECT, u8"画像効果", IDOK, IDC_EFFECT_NEGATIVE);
    // The region reaches the selection's right and bottom edges.
    ExpectNegativeOnlyIn(before, 100, 60, 180, 120);
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_EQ(MainDocument.width, 600);
    EXPECT_EQ(MainDocument.bmi->bmiHeader.biWidth, 600);
    EXPECT_EQ(MainDocument.bmi->bmiHeader.biHeight, 400);
    EXPECT_TRUE(DocBytes(DisplayCopy) == DocBytes(MainDocument));

    // The window shows the processed pixels.
    HDC dc = GetDC(window_);
    const Rgb c = PictureColour(150, 90);
    EXPECT_EQ(GetPixel(dc, 150, 90), RGB(255 - c.red, 255 - c.green, 255 - c.blue));
    ReleaseDC(window_, dc);
}

TEST_F(ProcessingCommand, WithoutSelectionTheWholePictureIsProcessed)
{
    ASSERT_TRUE(OpenPicture(35, 21));
    const std::vector<BYTE> before = DocBytes(MainDocument);
    const Observed seen = RunCommand(IDM_EFFECT, u8"画像効果", IDOK, IDC_EFFECT_NEGATIVE);
    EXPECT_EQ(seen.documentWidth, 35);
    EXPECT_EQ(seen.documentHeight, 21);
    ExpectNegativeOnlyIn(before, 0, 0, 34, 20);
    EXPECT_EQ(MainDocument.isModified, 1);
}

TEST_F(ProcessingCommand, SelectionOverTheBackgroundIsClippedToThePicture)
{
    ASSERT_TRUE(OpenPicture(100, 60));
    const int ox = ViewState.imageOffsetX;
    const int oy = ViewState.imageOffsetY;
    ASSERT_GT(ox, 20);
    ASSERT_GT(oy, 20);
    DragMouse({ox - 10, oy - 10}, {ox + 20, oy + 30});
    const std::vector<BYTE> before = DocBytes(MainDocument);
    const Observed seen = RunCommand(IDM_EFFECT, u8"画像効果", IDOK, IDC_EFFECT_NEGATIVE);
    EXPECT_EQ(seen.documentWidth, 21);
    EXPECT_EQ(seen.documentHeight, 31);
    ExpectNegativeOnlyIn(before, 0, 0, 20, 30);
}

TEST_F(ProcessingCommand, SelectionPastTheBottomRightEndsAtTheLastColumnAndRow)
{
    ASSERT_TRUE(OpenPicture(100, 60));
    const int ox = ViewState.imageOffsetX;
    const int oy = ViewState.imageOffsetY;
    DragMouse({ox + 90, oy + 50}, {ox + 130, oy + 80});
    const std::vector<BYTE> before = DocBytes(MainDocument);
    const Observed seen = RunCommand(IDM_EFFECT, u8"画像効果", IDOK, IDC_EFFECT_NEGATIVE);
    EXPECT_EQ(seen.documentWidth, 10);
    EXPECT_EQ(seen.documentHeight, 10);
    ExpectNegativeOnlyIn(before, 90, 50, 99, 59);
}

TEST_F(ProcessingCommand, RightEdgeOnColumnZeroGivesOneColumn)
{
    ASSERT_TRUE(OpenPicture(100, 60));
    const int ox = ViewState.imageOffsetX;
    const int oy = ViewState.imageOffsetY;
    DragMouse({ox - 15, oy + 5}, {ox, oy + 25});
    const std::vector<BYTE> before = DocBytes(MainDocument);
    const Observed seen = RunCommand(IDM_EFFECT, u8"画像効果", IDOK, IDC_EFFECT_NEGATIVE);
    EXPECT_EQ(seen.documentWidth, 1);
    EXPECT_EQ(seen.documentHeight, 21);
    ExpectNegativeOnlyIn(before, 0, 5, 0, 25);
}

TEST_F(ProcessingCommand, SelectionWhollyOutsideThePictureRunsNoDialog)
{
    ASSERT_TRUE(OpenPicture(100, 60));
    const int ox = ViewState.imageOffsetX;
    const int oy = ViewState.imageOffsetY;
    const std::vector<BYTE> before = DocBytes(MainDocument);

    // Left of the picture (R < 0), then above it (B < 0).
    DragMouse({ox - 40, oy + 5}, {ox - 10, oy + 30});
    ASSERT_EQ(Selection.active, 1);
    RunCommandExpectingNoDialog(IDM_EFFECT);
    DragMouse({ox + 10, oy - 30}, {ox + 40, oy - 5});
    ASSERT_EQ(Selection.active, 1);
    RunCommandExpectingNoDialog(IDM_FILTER);

    EXPECT_TRUE(DocBytes(MainDocument) == before);
    EXPECT_EQ(MainDocument.width, 100);
    EXPECT_EQ(MainDocument.bmi->bmiHeader.biWidth, 100);
    EXPECT_EQ(MainDocument.isModified, 0);
    EXPECT_EQ(ViewState.modalBusy, 0);
}

TEST_F(ProcessingCommand, RegionWithoutColumnsOrRowsRunsNoDialog)
{
    ASSERT_TRUE(OpenPicture(100, 60));
    const int ox = ViewState.imageOffsetX;
    const int oy = ViewState.imageOffsetY;
    const std::vector<BYTE> before = DocBytes(MainDocument);

    // Left edge on column W: no columns.
    DragMouse({ox + 100, oy + 5}, {ox + 130, oy + 30});
    ASSERT_EQ(Selection.active, 1);
    RunCommandExpectingNoDialog(IDM_EFFECT);
    // Top edge on row H: no rows.
    DragMouse({ox + 5, oy + 60}, {ox + 30, oy + 90});
    ASSERT_EQ(Selection.active, 1);
    RunCommandExpectingNoDialog(IDM_YSH);
    EXPECT_TRUE(DocBytes(MainDocument) == before);
    EXPECT_EQ(MainDocument.isModified, 0);

    // One column further in there is a column to process.
    DragMouse({ox + 99, oy + 5}, {ox + 130, oy + 30});
    const Observed seen = RunCommand(IDM_EFFECT, u8"画像効果", IDOK, IDC_EFFECT_NEGATIVE);
    EXPECT_EQ(seen.documentWidth, 1);
    ExpectNegativeOnlyIn(before, 99, 5, 99, 30);
}

// --- Closing with unsaved changes -------------------------------------------

class MainWindowExit : public MainWindowFixture {
protected:
    void ModifyPicture()
    {
        ASSERT_TRUE(OpenPicture(40, 30));
        MainDocument.isModified = 1;
    }
    void ExpectOneQuestion(const DialogDriver& driver)
    {
        const std::vector<DialogRecord> boxes = driver.MessageBoxes();
        ASSERT_GE(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Quillvane");
        EXPECT_EQ(boxes[0].text, U8(u8"画像が保存されていません。保存しますか？"));
        EXPECT_EQ(boxes.size(), 1u);
    }
};

TEST_F(MainWindowExit, UnmodifiedPictureClosesWithoutAQuestion)
{
    ASSERT_TRUE(OpenPicture(40, 30));
    DialogDriver driver;
    SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(driver.Seen().empty());
    EXPECT_FALSE(IsWindow(window_));
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(MainDocument.hDib, nullptr);
    EXPECT_EQ(DisplayCopy.hDib, nullptr);
}

TEST_F(MainWindowExit, CancelKeepsTheWindowAndThePicture)
{
    ModifyPicture();
    DialogDriver driver;
    driver.AnswerMessageBox(IDCANCEL);
    SendMessageA(window_, WM_CLOSE, 0, 0);
    ExpectOneQuestion(driver);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_FALSE(TakeQuitMessage());
    EXPECT_EQ(MainDocument.isLoaded, 1);
    EXPECT_NE(MainDocument.hDib, nullptr);
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_EQ(ViewState.modalBusy, 0);
}

TEST_F(MainWindowExit, ExitCommandAsksTheSameQuestion)
{
    ModifyPicture();
    DialogDriver driver;
    driver.AnswerMessageBox(IDCANCEL);
    SendMessageA(window_, WM_COMMAND, IDM_EXIT, 0);
    ExpectOneQuestion(driver);
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(MainWindowExit, NoClosesWithoutSaving)
{
    ModifyPicture();
    const std::string path = MainDocument.path;
    std::string original;
    ASSERT_TRUE(ReadWholeFile(path, original));
    DialogDriver driver;
    driver.AnswerMessageBox(IDNO);
    SendMessageA(window_, WM_CLOSE, 0, 0);
    ExpectOneQuestion(driver);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_TRUE(TakeQuitMessage());
    EXPECT_EQ(MainDocument.hDib, nullptr);
    EXPECT_EQ(DisplayCopy.hDib, nullptr);
    std::string after;
    ASSERT_TRUE(ReadWholeFile(path, after));
    EXPECT_TRUE(after == original);
}

TEST_F(MainWindowExit, YesWithTheSaveDialogCancelledKeepsTheWindow)
{
    ModifyPicture();
    DialogDriver driver;
    driver.AnswerMessageBox(IDYES);
    driver.OnDialog(U8(u8"名前を付けて保存"), [](HWND dialog) { FileDialogCancel(dialog); });
    SendMessageA(window_, WM_CLOSE, 0, 0);
    ExpectOneQuestion(driver);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_FALSE(TakeQuitMessage());
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_NE(MainDocument.hDib, nullptr);
}

TEST_F(MainWindowExit, YesWithTheSettingsDialogCancelledKeepsTheWindowAndThePicture)
{
    ModifyPicture();
    const std::string target = dir_->File("kept.bmp");
    const std::vector<BYTE> before = DocBytes(MainDocument);
    DialogDriver driver;
    driver.AnswerMessageBox(IDYES);
    driver.OnDialog(U8(u8"名前を付けて保存"), [&](HWND dialog) { FileDialogAccept(dialog, target); });
    driver.OnDialog(U8(u8"BMP保存ファイル設定"), [](HWND dialog) { PressButton(dialog, IDCANCEL); });
    SendMessageA(window_, WM_CLOSE, 0, 0);
    ExpectOneQuestion(driver);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_FALSE(TakeQuitMessage());
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_EQ(MainDocument.isLoaded, 1);
    EXPECT_TRUE(DocBytes(MainDocument) == before);
    EXPECT_FALSE(FileExists(target));
}

TEST_F(MainWindowExit, YesWithAFailedWriteKeepsTheWindowAndThePicture)
{
    ModifyPicture();
    // A folder where the file's temporary copy must go: the write fails
    // and says so.
    const std::string target = dir_->File("blocked.bmp");
    ASSERT_TRUE(CreateDirectoryA((target + ".qv-tmp").c_str(), nullptr));
    const std::vector<BYTE> before = DocBytes(MainDocument);
    DialogDriver driver;
    driver.AnswerMessageBox(IDYES);
    driver.OnDialog(U8(u8"名前を付けて保存"), [&](HWND dialog) { FileDialogAccept(dialog, target); });
    driver.OnDialog(U8(u8"BMP保存ファイル設定"), [](HWND dialog) { PressButton(dialog, IDOK); });
    driver.AnswerMessageBox(IDOK);
    SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(driver.Problems(), "");
    const std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_FALSE(TakeQuitMessage());
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_TRUE(DocBytes(MainDocument) == before);
    EXPECT_FALSE(FileExists(target));
    RemoveDirectoryA((target + ".qv-tmp").c_str());
}

TEST_F(MainWindowExit, YesWithARealSaveWritesTheFileAndCloses)
{
    ModifyPicture();
    const std::string target = dir_->File("saved.bmp");
    DialogDriver driver;
    driver.AnswerMessageBox(IDYES);
    driver.OnDialog(U8(u8"名前を付けて保存"), [&](HWND dialog) { FileDialogAccept(dialog, target); });
    driver.OnDialog(U8(u8"BMP保存ファイル設定"), [](HWND dialog) { PressButton(dialog, IDOK); });
    SendMessageA(window_, WM_CLOSE, 0, 0);
    ExpectOneQuestion(driver);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_TRUE(TakeQuitMessage());

    std::string written;
    ASSERT_TRUE(ReadWholeFile(target, written));
    ASSERT_GE(written.size(), 54u);
    EXPECT_EQ(written.substr(0, 2), "BM");
    BITMAPINFOHEADER info;
    std::memcpy(&info, written.data() + 14, sizeof info);
    EXPECT_EQ(info.biWidth, 40);
    EXPECT_EQ(info.biHeight, 30);
    EXPECT_EQ(info.biBitCount, 24);
    // Bottom-left pixel of a 24-bit file: picture pixel (0, 29).
    BITMAPFILEHEADER file;
    std::memcpy(&file, written.data(), sizeof file);
    ASSERT_GE(written.size(), file.bfOffBits + 3);
    const Rgb c = PictureColour(0, 29);
    EXPECT_EQ(static_cast<BYTE>(written[file.bfOffBits]), c.blue);
    EXPECT_EQ(static_cast<BYTE>(written[file.bfOffBits + 1]), c.green);
    EXPECT_EQ(static_cast<BYTE>(written[file.bfOffBits + 2]), c.red);
}

// --- Splash -----------------------------------------------------------------

struct SplashSeen {
    bool found = false;
    RECT rect = {};
    RECT client = {};
    LONG style = 0;
    bool visible = false;
    int matchingPixels = 0;
    int checkedPixels = 0;
    int ticks = 0;
    UINT closeMessage = WM_LBUTTONDOWN;
    HWND hwnd = nullptr;
};
SplashSeen splashSeen;

void CALLBACK SplashTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    SplashSeen& seen = splashSeen;
    if (++seen.ticks > 100) {  // about 5 s: give up rather than hang
        KillTimer(nullptr, id);
        PostQuitMessage(99);
        return;
    }
    HWND splash = FindWindowA("Open", "Quillvane Openning");
    if (!splash || !IsWindowVisible(splash))
        return;
    KillTimer(nullptr, id);
    seen.found = true;
    seen.hwnd = splash;
    GetWindowRect(splash, &seen.rect);
    GetClientRect(splash, &seen.client);
    seen.style = GetWindowLongA(splash, GWL_STYLE);
    seen.visible = IsWindowVisible(splash) != FALSE;

    // The window shows the splash bitmap from its top-left corner.
    UpdateWindow(splash);
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), RES_BITMAP_SPLASH);
    HDC window = GetDC(splash);
    HDC memory = CreateCompatibleDC(window);
    HGDIOBJ old = SelectObject(memory, bitmap);
    for (int y = 3; y < seen.client.bottom; y += 37)
        for (int x = 5; x < seen.client.right; x += 41) {
            ++seen.checkedPixels;
            if (GetPixel(window, x, y) == GetPixel(memory, x, y))
                ++seen.matchingPixels;
        }
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(splash, window);
    DeleteObject(bitmap);

    if (seen.closeMessage == WM_SYSCOMMAND)
        PostMessageA(splash, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        PostMessageA(splash, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 120));
}

int RunSplashClosedBy(UINT closeMessage)
{
    splashSeen = SplashSeen{};
    splashSeen.closeMessage = closeMessage;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    UnregisterClassA("Open", instance);
    TakeQuitMessage();
    SetTimer(nullptr, 0, 50, SplashTimer);
    const int result = RunSplash(instance, SW_SHOW);
    UnregisterClassA("Open", instance);
    return result;
}

TEST(Splash, ClickEndsItsLoopAndItWasCentred283x335WithTheBitmap)
{
    const int result = RunSplashClosedBy(WM_LBUTTONDOWN);
    ASSERT_TRUE(splashSeen.found) << "no splash window appeared";
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(IsWindow(splashSeen.hwnd));
    EXPECT_TRUE(splashSeen.visible);

    const RECT& r = splashSeen.rect;
    EXPECT_EQ(r.right - r.left, 283);
    EXPECT_EQ(r.bottom - r.top, 335);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(r.left, (desktop.right - 283) / 2);
    EXPECT_EQ(r.top, (desktop.bottom - 335) / 2);
    EXPECT_EQ(splashSeen.style & (WS_POPUP | WS_BORDER | WS_CAPTION), WS_POPUP | WS_BORDER);
    EXPECT_GT(splashSeen.checkedPixels, 40);
    EXPECT_EQ(splashSeen.matchingPixels, splashSeen.checkedPixels);
}

TEST(Splash, CloseFromTheKeyboardEndsItLikeAClick)
{
    const int result = RunSplashClosedBy(WM_SYSCOMMAND);
    ASSERT_TRUE(splashSeen.found);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(IsWindow(splashSeen.hwnd));
}

}  // namespace

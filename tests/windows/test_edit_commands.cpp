// Undo, redo, resize and crop through the main window's own menu commands:
// the picture, its display copy, the window's size, the unsaved-changes
// state and the graying of the items after each, and the keys that undo
// and redo.
#include "support/app_fixture.h"

#include "app/edit_commands.h"
#include "app/main_window.h"
#include "app/selection.h"
#include "app/settings.h"
#include "image/blocks.h"
#include "platform/failure_hooks.h"
#include "processing/resize.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace wintest;
using namespace apptest;

namespace {

class EditCommands : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        Remembered.effect.kind = EffectKind::Negative;
    }

    // The negative, answered in its dialog; run is called while the dialog
    // is open, before OK.
    void RunNegative(const std::function<void()>& run = {})
    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"画像効果"), [&](HWND dialog) {
            PressButton(dialog, IDC_EFFECT_NEGATIVE);
            if (run)
                run();
            PressButton(dialog, IDOK);
        });
        SendMessageA(window_, WM_COMMAND, IDM_EFFECT, 0);
        EXPECT_EQ(driver.Problems(), "");
        Paint();
    }

    void Command(UINT id)
    {
        DialogDriver driver;
        SendMessageA(window_, WM_COMMAND, id, 0);
        EXPECT_TRUE(driver.Seen().empty()) << driver.Problems();
        Paint();
    }

    // Which of undo, redo, resize and crop are gray, as "urzc" with a dash
    // for each gray one.
    std::string Enabled()
    {
        std::string states;
        const std::pair<UINT, char> items[] = {{IDM_UNDO, 'u'}, {IDM_REDO, 'r'}, {IDM_RESIZE, 'z'}, {IDM_CROP, 'c'}};
        for (const auto& [id, letter] : items)
            states += GetMenuState(GetMenu(window_), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED) ? '-' : letter;
        return states;
    }

    std::string UndoText()
    {
        wchar_t text[64] = {};
        GetMenuStringW(GetMenu(window_), IDM_UNDO, text, 64, MF_BYCOMMAND);
        return WideToUtf8(text);
    }

    // The picture shown is the document, and the window is sized for it
    // as for a picture just opened.
    void ExpectShown(LONG width, LONG height)
    {
        EXPECT_EQ(MainDocument.width, width);
        EXPECT_EQ(MainDocument.height, height);
        EXPECT_EQ(MainDocument.bmi->bmiHeader.biWidth, width);
        EXPECT_EQ(MainDocument.bmi->bmiHeader.biHeight, height);
        EXPECT_TRUE(DocBytes(DisplayCopy) == DocBytes(MainDocument));
        const int canvas = kMinimumWindowWidth - 2 * GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXVSCROLL);
        EXPECT_EQ(ViewState.viewWidth, width >= kMinimumWindowWidth ? width : canvas);
        EXPECT_EQ(Selection.active, 0);
    }
};

// The pixels of columns x0..x1 and rows y0..y1 (row 0 at the top) of a
// WorkDib of width x height, as a new WorkDib's pixels.
std::vector<BYTE> CutPixels(const std::vector<BYTE>& dib, int width, int height, int x0, int y0, int x1, int y1)
{
    std::vector<BYTE> out;
    for (int y = y1; y >= y0; --y) {
        const BYTE* row = dib.data() + 40 + (static_cast<std::size_t>(height - 1 - y) * width + x0) * 4;
        out.insert(out.end(), row, row + (x1 - x0 + 1) * 4);
    }
    return out;
}

std::vector<BYTE> PixelsOf(const std::vector<BYTE>& dib)
{
    return {dib.begin() + 40, dib.end()};
}

TEST_F(EditCommands, CommandUndoRedoCropAndResizeThroughTheMenu)
{
    Paint();
    EXPECT_EQ(Enabled(), "----") << "no picture";
    ASSERT_TRUE(OpenPicture(600, 400));
    Paint();
    EXPECT_EQ(Enabled(), "--z-") << "a picture, no selection, no step";
    const std::vector<BYTE> opened = DocBytes(MainDocument);

    DragMouse({100, 60}, {180, 120});
    ASSERT_EQ(Selection.active, 1);
    RunNegative();
    const std::vector<BYTE> negated = DocBytes(MainDocument);
    ASSERT_FALSE(negated == opened);
    EXPECT_EQ(Enabled(), "u-zc");

    Command(IDM_UNDO);
    EXPECT_TRUE(DocBytes(MainDocument) == opened);
    EXPECT_TRUE(DocBytes(DisplayCopy) == opened);
    EXPECT_EQ(MainDocument.isModified, 0) << "back to the picture as opened";
    EXPECT_EQ(Selection.active, 1) << "a step of pixels keeps the selection";
    EXPECT_EQ(Enabled(), "-rzc");
    Command(IDM_UNDO);  // gray: nothing happens
    EXPECT_TRUE(DocBytes(MainDocument) == opened);
    Command(IDM_REDO);
    EXPECT_TRUE(DocBytes(MainDocument) == negated);
    EXPECT_TRUE(DocBytes(DisplayCopy) == negated);
    EXPECT_EQ(MainDocument.isModified, 1);

    // Crop to the selection (right and bottom included): a new picture.
    Command(IDM_CROP);
    ExpectShown(81, 61);
    EXPECT_TRUE(PixelsOf(DocBytes(MainDocument)) == CutPixels(negated, 600, 400, 100, 60, 180, 120));
    const RECT cropWindow = WindowRect();
    EXPECT_EQ(Enabled(), "u-z-") << "the selection went with the crop";

    // Resize by per cent; the dialog shows the size that comes out.
    LONG expectedWidth = 0;
    LONG expectedHeight = 0;
    ResizeRequest half;
    half.millionths = 500000;
    ASSERT_EQ(ResizedSize(half, 81, 61, &expectedWidth, &expectedHeight), Failure::None);
    const std::vector<BYTE> cropped = DocBytes(MainDocument);
    std::string shownNow;
    std::string shownResult;
    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"画像サイズ変更"), [&](HWND dialog) {
            PressButton(dialog, IDC_RESIZE_BY_PERCENT);
            SetDlgItemTextW(dialog, IDC_RESIZE_PERCENT, L"50");
            shownNow = WindowTextUtf8(GetDlgItem(dialog, IDC_RESIZE_NOW));
            shownResult = WindowTextUtf8(GetDlgItem(dialog, IDC_RESIZE_RESULT));
            PressButton(dialog, IDOK);
        });
        SendMessageA(window_, WM_COMMAND, IDM_RESIZE, 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_EQ(driver.Seen().size(), 1u);
        Paint();
    }
    EXPECT_EQ(shownNow, U8(u8"81 × 61"));
    EXPECT_EQ(shownResult, std::to_string(expectedWidth) + U8(u8" × ") + std::to_string(expectedHeight));
    ExpectShown(expectedWidth, expectedHeight);
    const PictureBlock reference = ResizePicture({expectedWidth, expectedHeight}, cropped.data() + 40, 81, 61, {});
    ASSERT_EQ(reference.failure, Failure::None);
    std::vector<BYTE> referenceDib(WorkDibBytes(expectedWidth, expectedHeight));
    std::memcpy(referenceDib.data(), GlobalLock(reference.block), referenceDib.size());
    GlobalUnlock(reference.block);
    GlobalFree(reference.block);
    EXPECT_TRUE(DocBytes(MainDocument) == referenceDib);
    const std::vector<BYTE> resized = DocBytes(MainDocument);

    // All the way back, then forward again: each size as it was.
    Command(IDM_UNDO);
    ExpectShown(81, 61);
    EXPECT_TRUE(DocBytes(MainDocument) == cropped);
    const RECT again = WindowRect();
    EXPECT_TRUE(EqualRect(&cropWindow, &again)) << "the window as the crop left it";
    Command(IDM_UNDO);
    ExpectShown(600, 400);
    EXPECT_TRUE(DocBytes(MainDocument) == negated);
    Command(IDM_UNDO);
    EXPECT_TRUE(DocBytes(MainDocument) == opened);
    EXPECT_EQ(MainDocument.isModified, 0);
    EXPECT_EQ(Enabled(), "-rz-");
    for (int i = 0; i < 3; ++i)
        Command(IDM_REDO);
    ExpectShown(expectedWidth, expectedHeight);
    EXPECT_TRUE(DocBytes(MainDocument) == resized);
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_EQ(Enabled(), "u-z-");

    // A new picture starts without steps.
    ASSERT_TRUE(OpenPicture(64, 48));
    Paint();
    EXPECT_EQ(Enabled(), "--z-");
}

// Without memory for a step the command still runs, and the undo item
// says that it cannot be undone until a later step is kept.
TEST_F(EditCommands, AChangeTheHistoryCannotKeepStillHappensAndUndoSaysSo)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    const std::string undoText = UndoText();
    EXPECT_EQ(undoText, U8(u8"元に戻す(&U)\tCtrl+Z"));
    // While the dialog is open the picture is whole (no selection): from
    // then on no picture-sized block can be had.
    RunNegative([] {
        ReleaseKeptBlocks();
        StandInSetAllocationLimit(4096);
    });
    StandInSetAllocationLimit(0);
    EXPECT_EQ(DocPixel(MainDocument, 3, 3)[0], 255 - PictureColour(3, 3).blue) << "the negative ran";
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_EQ(Enabled(), "--z-");
    EXPECT_EQ(UndoText(), U8(u8"元に戻せません"));

    DragMouse({10, 10}, {20, 20});
    RunNegative();
    EXPECT_EQ(Enabled(), "u-zc");
    EXPECT_EQ(UndoText(), undoText);
}

TEST(EditKeys, CtrlZUndoesAndCtrlYRedoes)
{
    HACCEL keys = LoadAcceleratorsA(GetModuleHandleA(nullptr), RES_ACCEL_MAIN);
    ASSERT_NE(keys, nullptr);
    ACCEL table[8] = {};
    const int count = CopyAcceleratorTableA(keys, table, 8);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(table[0].cmd, IDM_UNDO);
    EXPECT_EQ(table[0].key, 'Z');
    EXPECT_EQ(table[1].cmd, IDM_REDO);
    EXPECT_EQ(table[1].key, 'Y');
    for (const ACCEL& a : table)
        if (a.cmd)
            EXPECT_EQ(a.fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT), FVIRTKEY | FCONTROL);
    DestroyAcceleratorTable(keys);
}

}  // namespace

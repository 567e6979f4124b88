// The YSH colour adjustment dialog opened for real: the three sliders and
// their shifted value texts, the CMYK check box, the live preview read back
// from the screen, the reset at every opening, and OK / Cancel through the
// main window's command on a selection.
#include "support/app_fixture.h"
#include "support/dialog_fixture.h"

#include "app/selection.h"
#include "processing/colour_adjust.h"
#include "app/colour_dialog.h"
#include "app/preview.h"
#include "app/settings.h"
#include "resources/resource.h"

#include <cstring>

using namespace wintest;
using namespace dlgtest;

namespace {

std::vector<BYTE> ExpectedColourPreview()
{
    std::vector<BYTE> copy = PreviewImageBytes();
    if (copy.empty())
        return copy;
    ApplyColourAdjust(Remembered.ysh, copy.data() + kWorkDibHeaderBytes, DibWidth(copy), DibHeight(copy));
    return copy;
}

void ExpectNeutral(HWND dialog)
{
    EXPECT_EQ(BarRange(dialog, IDC_YSH_LUMINANCE), std::make_pair(0, 200));
    EXPECT_EQ(BarRange(dialog, IDC_YSH_SATURATION), std::make_pair(0, 200));
    EXPECT_EQ(BarRange(dialog, IDC_YSH_HUE), std::make_pair(0, 360));
    EXPECT_EQ(BarPos(dialog, IDC_YSH_LUMINANCE), 100);
    EXPECT_EQ(BarPos(dialog, IDC_YSH_SATURATION), 100);
    EXPECT_EQ(BarPos(dialog, IDC_YSH_HUE), 180);
    EXPECT_EQ(Text(dialog, IDC_YSH_LUMINANCE_TEXT), "  0");
    EXPECT_EQ(Text(dialog, IDC_YSH_SATURATION_TEXT), "  0");
    EXPECT_EQ(Text(dialog, IDC_YSH_HUE_TEXT), "  0");
    EXPECT_FALSE(IsChecked(dialog, IDC_YSH_CMYK));
    EXPECT_EQ(Remembered.ysh.mode, ColourMode::Ysh);
    EXPECT_EQ(Remembered.ysh.luminance, 100);
    EXPECT_EQ(Remembered.ysh.saturation, 100);
    EXPECT_EQ(Remembered.ysh.hue, 180);
}

class ColourDialog : public DialogTest {
protected:
    INT_PTR Run(const std::function<void(HWND)>& action)
    {
        return RunDialog(RES_DLG_YSH, YshDialogProc, u8"YSH色調整", action);
    }
};

TEST_F(ColourDialog, SlidersShowShiftedValuesCmykSwitchesModeAndEveryOpeningStartsNeutral)
{
    LoadPicture(100, 75);
    const INT_PTR result = Run([&](HWND dialog) {
        ExpectNeutral(dialog);
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedColourPreview()));

        ScrollBar(dialog, IDC_YSH_LUMINANCE, SB_PAGEDOWN);
        EXPECT_EQ(Remembered.ysh.luminance, 110);
        EXPECT_EQ(Text(dialog, IDC_YSH_LUMINANCE_TEXT), " 10");
        ScrollBar(dialog, IDC_YSH_SATURATION, SB_THUMBTRACK, 0);
        EXPECT_EQ(Remembered.ysh.saturation, 0);
        EXPECT_EQ(Text(dialog, IDC_YSH_SATURATION_TEXT), "-100");
        ScrollBar(dialog, IDC_YSH_SATURATION, SB_LINEUP);
        EXPECT_EQ(Remembered.ysh.saturation, 0);
        ScrollBar(dialog, IDC_YSH_HUE, SB_THUMBTRACK, 300);
        EXPECT_EQ(Remembered.ysh.hue, 300);
        EXPECT_EQ(BarPos(dialog, IDC_YSH_HUE), 300);
        EXPECT_EQ(Text(dialog, IDC_YSH_HUE_TEXT), "120");
        ScrollBar(dialog, IDC_YSH_HUE, SB_THUMBTRACK, 400);
        EXPECT_EQ(Remembered.ysh.hue, 360);
        EXPECT_EQ(Text(dialog, IDC_YSH_HUE_TEXT), "180");
        ScrollBar(dialog, IDC_YSH_HUE, SB_THUMBTRACK, 0);
        EXPECT_EQ(Text(dialog, IDC_YSH_HUE_TEXT), "-180");
        ScrollBar(dialog, IDC_YSH_HUE, SB_PAGEDOWN);
        EXPECT_EQ(Text(dialog, IDC_YSH_HUE_TEXT), "-170");
        const std::vector<BYTE> adjusted = ExpectedColourPreview();
        EXPECT_TRUE(PreviewShows(dialog, adjusted));
        EXPECT_FALSE(ScreenForm(adjusted) == ScreenForm(PreviewImageBytes()));

        // The CMYK box switches the operation.
        ClickButton(dialog, IDC_YSH_CMYK);
        EXPECT_TRUE(IsChecked(dialog, IDC_YSH_CMYK));
        EXPECT_EQ(Remembered.ysh.mode, ColourMode::Cmyk);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedColourPreview()));
        ClickButton(dialog, IDC_YSH_CMYK);
        EXPECT_FALSE(IsChecked(dialog, IDC_YSH_CMYK));
        EXPECT_EQ(Remembered.ysh.mode, ColourMode::Ysh);
        EXPECT_TRUE(PreviewShows(dialog, adjusted));

        // Moving any slider takes the CMYK box off again.
        ClickButton(dialog, IDC_YSH_CMYK);
        EXPECT_EQ(Remembered.ysh.mode, ColourMode::Cmyk);
        ScrollBar(dialog, IDC_YSH_SATURATION, SB_LINEDOWN);
        EXPECT_FALSE(IsChecked(dialog, IDC_YSH_CMYK));
        EXPECT_EQ(Remembered.ysh.mode, ColourMode::Ysh);
        EXPECT_EQ(Text(dialog, IDC_YSH_SATURATION_TEXT), "-99");
        EXPECT_TRUE(PreviewShows(dialog, ExpectedColourPreview()));
        ClickButton(dialog, IDC_YSH_CMYK);
        ScrollBar(dialog, IDC_YSH_HUE, SB_ENDSCROLL);
        EXPECT_FALSE(IsChecked(dialog, IDC_YSH_CMYK));
        EXPECT_EQ(Remembered.ysh.mode, ColourMode::Ysh);
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedColourPreview()));
        ClickButton(dialog, IDC_YSH_CMYK);
        PressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(PreviewImage, nullptr);

    // Nothing is remembered: neutral sliders, CMYK off.
    Run([&](HWND dialog) {
        ExpectNeutral(dialog);
        PressButton(dialog, IDCANCEL);
    });
}

// --- Through the main window's command --------------------------------------

class ColourCommand : public apptest::ProcessingWindowFixture {
protected:
    // Runs menu 5001 on the current selection; action drives the dialog.
    // Returns the region as it was while the dialog was open.
    std::vector<BYTE> RunCommand(const std::function<void(HWND)>& action)
    {
        std::vector<BYTE> region;
        DialogDriver driver;
        driver.OnDialog(U8(u8"YSH色調整"), [&](HWND dialog) {
            region = CopyDib(MainDocument.dib);
            action(dialog);
        });
        SendMessageA(window_, WM_COMMAND, IDM_YSH, 0);
        EXPECT_EQ(driver.Problems(), "");
        return region;
    }
    void ExpectOnlyRegion(const std::vector<BYTE>& before, const std::vector<BYTE>& processed)
    {
        ASSERT_EQ(processed.size(), WorkDibBytes(81, 61));
        int wrong = 0;
        for (int y = 0; y < 400 && wrong < 5; ++y)
            for (int x = 0; x < 600 && wrong < 5; ++x) {
                const BYTE* now = apptest::DocPixel(MainDocument, x, y);
                const bool inside = x >= 100 && x <= 180 && y >= 60 && y <= 120;
                const BYTE* want = inside ? processed.data() + 40 + ((120 - y) * 81 + (x - 100)) * 4
                                          : before.data() + 40 + ((399 - y) * 600 + x) * 4;
                if (std::memcmp(now, want, 4) != 0) {
                    ADD_FAILURE() << "pixel (" << x << "," << y << ") " << (inside ? "inside" : "outside");
                    ++wrong;
                }
            }
    }
};

TEST_F(ColourCommand, OkAdjustsOnlyTheSelectionCmykIncludedAndCancelChangesNothing)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    DragMouse({100, 60}, {180, 120});
    ASSERT_EQ(Selection.active, 1);
    const std::vector<BYTE> before = apptest::DocBytes(MainDocument);

    RunCommand([](HWND dialog) {
        ScrollBar(dialog, IDC_YSH_HUE, SB_THUMBTRACK, 40);
        PressButton(dialog, IDCANCEL);
    });
    EXPECT_TRUE(apptest::DocBytes(MainDocument) == before);
    EXPECT_EQ(MainDocument.isModified, 0);

    std::vector<BYTE> region = RunCommand([](HWND dialog) {
        ScrollBar(dialog, IDC_YSH_HUE, SB_THUMBTRACK, 300);
        ScrollBar(dialog, IDC_YSH_LUMINANCE, SB_PAGEUP);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedColourPreview()));
        PressButton(dialog, IDOK);
    });
    ASSERT_FALSE(region.empty());
    ASSERT_EQ(Remembered.ysh.hue, 300);
    ASSERT_EQ(Remembered.ysh.luminance, 90);
    ApplyColourAdjust(Remembered.ysh, region.data() + 40, 81, 61);
    ExpectOnlyRegion(before, region);
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_FALSE(apptest::DocBytes(MainDocument) == before);

    // The mode in force at OK decides: CMYK round trip.
    const std::vector<BYTE> afterYsh = apptest::DocBytes(MainDocument);
    region = RunCommand([](HWND dialog) {
        ScrollBar(dialog, IDC_YSH_SATURATION, SB_PAGEDOWN);
        ClickButton(dialog, IDC_YSH_CMYK);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedColourPreview()));
        PressButton(dialog, IDOK);
    });
    ASSERT_FALSE(region.empty());
    ASSERT_EQ(Remembered.ysh.mode, ColourMode::Cmyk);
    CmykConvertBack(region.data() + 40, 81, 61);
    ExpectOnlyRegion(afterYsh, region);
}

}  // namespace

// The effect dialog opened for real: effect and level buttons, the
// measured channel ranges and the contrast bound bars, the live preview
// read back from the screen, and OK / Cancel through the main window's
// command on a selection.
#include "support/app_fixture.h"
#include "support/dialog_fixture.h"

#include "app/selection.h"
#include "app/effect_dialog.h"
#include "processing/effects.h"
#include "app/preview.h"
#include "app/settings.h"
#include "resources/resource.h"

#include <cstring>

using namespace wintest;
using namespace dlgtest;

namespace {

constexpr int kKinds[] = {IDC_EFFECT_NEGATIVE, IDC_EFFECT_POSTERIZE, IDC_EFFECT_SOLARIZE, IDC_EFFECT_CONTRAST,
                          IDC_EFFECT_BINARIZE};

// Which kind and level buttons are checked, and nothing else.
void ExpectButtons(HWND dialog, int kind, int level)
{
    for (int id : kKinds)
        EXPECT_EQ(IsChecked(dialog, id), id == kind) << "effect button " << id;
    for (int id = IDC_EFFECT_LEVEL8; id <= IDC_EFFECT_LEVEL128; ++id)
        EXPECT_EQ(IsChecked(dialog, id), id == level) << "level button " << id;
}

std::vector<BYTE> ExpectedEffectPreview()
{
    std::vector<BYTE> copy = PreviewImageBytes();
    if (copy.empty())
        return copy;
    ApplyEffect(Remembered.effect, copy.data() + kWorkDibHeaderBytes,
                reinterpret_cast<const BITMAPINFOHEADER*>(copy.data()));
    return copy;
}

// Blue spans 20..200, green 5..90, red 50..150.
Bgr RangedColour(int x, int y)
{
    return Bgr{static_cast<BYTE>(20 + x * 180 / 99), static_cast<BYTE>(5 + y * 85 / 59),
               static_cast<BYTE>(50 + (x + y) * 100 / 158)};
}

class EffectDialog : public DialogTest {
protected:
    INT_PTR Run(const std::function<void(HWND)>& action)
    {
        return RunDialog(RES_DLG_EFFECT, EffectDialogProc, u8"画像効果", action);
    }
};

TEST_F(EffectDialog, RangesAreMeasuredAndTheBoundBarsSelectContrastWithinTheirRows)
{
    LoadPicture(100, 60, RangedColour);
    const INT_PTR result = Run([&](HWND dialog) {
        ExpectButtons(dialog, IDC_EFFECT_NEGATIVE, IDC_EFFECT_LEVEL64);
        // Row "R範囲" is byte 0 (blue), "B範囲" byte 2 (red).
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MIN_TEXT0), " 20");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MAX_TEXT0), "200");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MIN_TEXT1), "  5");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MAX_TEXT1), " 90");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MIN_TEXT2), " 50");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MAX_TEXT2), "150");
        const int lowerBars[] = {IDC_EFFECT_LOWER_BAR0, IDC_EFFECT_LOWER_BAR1, IDC_EFFECT_LOWER_BAR2};
        const int upperBars[] = {IDC_EFFECT_UPPER_BAR0, IDC_EFFECT_UPPER_BAR1, IDC_EFFECT_UPPER_BAR2};
        const int lowerTexts[] = {IDC_EFFECT_LOWER_TEXT0, IDC_EFFECT_LOWER_TEXT1, IDC_EFFECT_LOWER_TEXT2};
        const int upperTexts[] = {IDC_EFFECT_UPPER_TEXT0, IDC_EFFECT_UPPER_TEXT1, IDC_EFFECT_UPPER_TEXT2};
        const int lows[] = {20, 5, 50}, highs[] = {200, 90, 150};
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(BarRange(dialog, lowerBars[c]), std::make_pair(0, 255));
            EXPECT_EQ(BarRange(dialog, upperBars[c]), std::make_pair(0, 255));
            EXPECT_EQ(BarPos(dialog, lowerBars[c]), lows[c]);
            EXPECT_EQ(BarPos(dialog, upperBars[c]), highs[c]);
            EXPECT_EQ(Text(dialog, lowerTexts[c]), Num(lows[c]));
            EXPECT_EQ(Text(dialog, upperTexts[c]), Num(highs[c]));
            EXPECT_EQ(Remembered.effect.lowerBound[c], lows[c]);
            EXPECT_EQ(Remembered.effect.upperBound[c], highs[c]);
        }
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));

        // Touching a bound bar selects the contrast correction.
        ScrollBar(dialog, IDC_EFFECT_LOWER_BAR0, SB_PAGEDOWN);
        EXPECT_EQ(Remembered.effect.kind, EffectKind::Contrast);
        ExpectButtons(dialog, IDC_EFFECT_CONTRAST, 0);
        EXPECT_EQ(Remembered.effect.lowerBound[0], 30);
        EXPECT_EQ(BarPos(dialog, IDC_EFFECT_LOWER_BAR0), 30);
        EXPECT_EQ(Text(dialog, IDC_EFFECT_LOWER_TEXT0), " 30");
        const std::vector<BYTE> stretched = ExpectedEffectPreview();
        EXPECT_TRUE(PreviewShows(dialog, stretched));

        // The bars of a row stop at each other.
        ScrollBar(dialog, IDC_EFFECT_UPPER_BAR0, SB_THUMBTRACK, 10);
        EXPECT_EQ(Remembered.effect.upperBound[0], 30);
        EXPECT_EQ(Text(dialog, IDC_EFFECT_UPPER_TEXT0), " 30");
        ScrollBar(dialog, IDC_EFFECT_LOWER_BAR0, SB_THUMBTRACK, 100);
        EXPECT_EQ(Remembered.effect.lowerBound[0], 30);
        EXPECT_EQ(BarPos(dialog, IDC_EFFECT_LOWER_BAR0), 30);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));
        ScrollBar(dialog, IDC_EFFECT_UPPER_BAR2, SB_THUMBTRACK, 300);
        EXPECT_EQ(Remembered.effect.upperBound[2], 255);
        EXPECT_EQ(Text(dialog, IDC_EFFECT_UPPER_TEXT2), "255");
        ScrollBar(dialog, IDC_EFFECT_LOWER_BAR1, SB_THUMBTRACK, 0);
        ScrollBar(dialog, IDC_EFFECT_LOWER_BAR1, SB_LINEUP);
        EXPECT_EQ(Remembered.effect.lowerBound[1], 0);
        EXPECT_EQ(Text(dialog, IDC_EFFECT_LOWER_TEXT1), "  0");
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));

        // A level button while contrast is selected switches to negative.
        ClickButton(dialog, IDC_EFFECT_LEVEL16);
        EXPECT_EQ(Remembered.effect.kind, EffectKind::Negative);
        EXPECT_EQ(Remembered.effect.bandWidth, 16);
        ExpectButtons(dialog, IDC_EFFECT_NEGATIVE, IDC_EFFECT_LEVEL16);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));

        ClickButton(dialog, IDC_EFFECT_POSTERIZE);
        EXPECT_EQ(Remembered.effect.kind, EffectKind::Posterize);
        ExpectButtons(dialog, IDC_EFFECT_POSTERIZE, IDC_EFFECT_LEVEL16);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));

        ClickButton(dialog, IDC_EFFECT_CONTRAST);
        EXPECT_EQ(Remembered.effect.kind, EffectKind::Contrast);
        EXPECT_EQ(Remembered.effect.bandWidth, 16);
        ExpectButtons(dialog, IDC_EFFECT_CONTRAST, 0);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));

        ClickButton(dialog, IDC_EFFECT_SOLARIZE);
        ExpectButtons(dialog, IDC_EFFECT_SOLARIZE, IDC_EFFECT_LEVEL16);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));
        // A level button with an effect selected keeps the effect.
        ClickButton(dialog, IDC_EFFECT_LEVEL128);
        ExpectButtons(dialog, IDC_EFFECT_SOLARIZE, IDC_EFFECT_LEVEL128);
        EXPECT_EQ(Remembered.effect.bandWidth, 128);
        ClickButton(dialog, IDC_EFFECT_BINARIZE);
        ExpectButtons(dialog, IDC_EFFECT_BINARIZE, IDC_EFFECT_LEVEL128);
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));
        PressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(PreviewImage, nullptr);

    // Kind and level kept; the bounds measured afresh.
    Run([&](HWND dialog) {
        ExpectButtons(dialog, IDC_EFFECT_BINARIZE, IDC_EFFECT_LEVEL128);
        EXPECT_EQ(Remembered.effect.lowerBound[0], 20);
        EXPECT_EQ(Remembered.effect.upperBound[0], 200);
        EXPECT_EQ(Remembered.effect.lowerBound[1], 5);
        EXPECT_EQ(Remembered.effect.upperBound[2], 150);
        EXPECT_EQ(BarPos(dialog, IDC_EFFECT_UPPER_BAR0), 200);
        EXPECT_EQ(Text(dialog, IDC_EFFECT_LOWER_TEXT0), " 20");
        ScrollBar(dialog, IDC_EFFECT_UPPER_BAR1, SB_LINEDOWN);
        PressButton(dialog, IDCANCEL);
    });

    // Contrast left selected: its button alone, no level button.
    Run([&](HWND dialog) {
        ExpectButtons(dialog, IDC_EFFECT_CONTRAST, 0);
        EXPECT_EQ(Remembered.effect.bandWidth, 128);
        EXPECT_EQ(Remembered.effect.upperBound[1], 90);
        Redraw(dialog);
        // With the measured bounds, every channel is stretched to 0..255.
        const std::vector<BYTE> expected = ExpectedEffectPreview();
        EXPECT_TRUE(PreviewShows(dialog, expected));
        PressButton(dialog, IDCANCEL);
    });
}

TEST_F(EffectDialog, PreviewWithoutMemoryForItsCopyDrawsNothingButTheSettingsStillChange)
{
    LoadPicture(80, 80);
    Run([&](HWND dialog) {
        Redraw(dialog);
        const std::vector<BYTE> shown = ReadPreviewFromScreen(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));
        {
            UnallocatablePreview noMemory;
            ScrollBar(dialog, IDC_EFFECT_LOWER_BAR2, SB_PAGEDOWN);
            ClickButton(dialog, IDC_EFFECT_SOLARIZE);
            EXPECT_EQ(Remembered.effect.kind, EffectKind::Solarize);
            EXPECT_TRUE(IsChecked(dialog, IDC_EFFECT_SOLARIZE));
        }
        // The pane was left alone (its old picture shows through).
        EXPECT_TRUE(ReadPreviewFromScreen(dialog) == shown);
        ScrollBar(dialog, IDC_EFFECT_LOWER_BAR2, SB_ENDSCROLL);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));
        PressButton(dialog, IDCANCEL);
    });
}

// --- Through the main window's command --------------------------------------

class EffectCommand : public apptest::ProcessingWindowFixture {};

TEST_F(EffectCommand, RangesAreThoseOfTheSelectionAndOkStretchesOnlyIt)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    DragMouse({100, 60}, {180, 120});
    ASSERT_EQ(Selection.active, 1);
    const std::vector<BYTE> before = apptest::DocBytes(MainDocument);

    std::vector<BYTE> region;
    DialogDriver driver;
    driver.OnDialog(U8(u8"画像効果"), [&](HWND dialog) {
        // The selection's blue runs 100..180 and its green 60..120; red is
        // 0 throughout (the whole picture spans 0..255 in blue).
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MIN_TEXT0), "100");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MAX_TEXT0), "180");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MIN_TEXT1), " 60");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MAX_TEXT1), "120");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MIN_TEXT2), "  0");
        EXPECT_EQ(Text(dialog, IDC_EFFECT_MAX_TEXT2), "  0");
        EXPECT_EQ(BarPos(dialog, IDC_EFFECT_LOWER_BAR0), 100);
        region = CopyDib(MainDocument.dib);
        ScrollBar(dialog, IDC_EFFECT_LOWER_BAR1, SB_PAGEDOWN);
        ScrollBar(dialog, IDC_EFFECT_UPPER_BAR0, SB_PAGEUP);
        EXPECT_EQ(Remembered.effect.lowerBound[1], 70);
        EXPECT_EQ(Remembered.effect.upperBound[0], 170);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedEffectPreview()));
        PressButton(dialog, IDOK);
    });
    SendMessageA(window_, WM_COMMAND, IDM_EFFECT, 0);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(region.size(), WorkDibBytes(81, 61));
    EXPECT_EQ(Remembered.effect.kind, EffectKind::Contrast);

    std::vector<BYTE> expected = region;
    EffectParams contrast = Remembered.effect;
    contrast.kind = EffectKind::Contrast;
    ApplyEffect(contrast, expected.data() + 40, reinterpret_cast<const BITMAPINFOHEADER*>(expected.data()));
    int wrong = 0;
    for (int y = 0; y < 400 && wrong < 5; ++y)
        for (int x = 0; x < 600 && wrong < 5; ++x) {
            const BYTE* now = apptest::DocPixel(MainDocument, x, y);
            const bool inside = x >= 100 && x <= 180 && y >= 60 && y <= 120;
            const BYTE* want = inside ? expected.data() + 40 + ((120 - y) * 81 + (x - 100)) * 4
                                      : before.data() + 40 + ((399 - y) * 600 + x) * 4;
            if (std::memcmp(now, want, 4) != 0) {
                ADD_FAILURE() << "pixel (" << x << "," << y << ") " << (inside ? "inside" : "outside");
                ++wrong;
            }
        }
    // Blue 170 and above is white; green 70 and below is black.
    const BYTE* p = apptest::DocPixel(MainDocument, 175, 65);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(MainDocument.isModified, 1);
}

}  // namespace

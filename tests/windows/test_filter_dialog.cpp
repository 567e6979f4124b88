// The filter dialog opened for real: radio buttons and strength bars, the
// custom kernel boxes typed into, the live preview read back from the
// screen, and OK / Cancel through the main window's command.
#include "support/app_fixture.h"
#include "support/dialog_fixture.h"

#include "app/selection.h"
#include "app/filter_dialog.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"
#include "app/preview.h"
#include "app/settings.h"
#include "resources/resource.h"

#include <cstring>

using namespace wintest;
using namespace dlgtest;

namespace {

constexpr int kRadios[] = {IDC_FILTER_SHARPEN, IDC_FILTER_SOFT, IDC_FILTER_EMBOSS, IDC_FILTER_CUSTOM};
constexpr int kBars[] = {IDC_FILTER_SHARPEN_BAR, IDC_FILTER_SOFT_BAR, IDC_FILTER_EMBOSS_BAR, IDC_FILTER_CUSTOM_BAR};
constexpr int kTexts[] = {IDC_FILTER_SHARPEN_TEXT, IDC_FILTER_SOFT_TEXT, IDC_FILTER_EMBOSS_TEXT,
                          IDC_FILTER_CUSTOM_TEXT};

// Exactly one radio button on, radio, and its filter chosen (the radio
// buttons in the order of FilterKind).
void ExpectSelected(HWND dialog, int radio)
{
    for (int i = 0; i < 4; ++i) {
        if (kRadios[i] == radio) {
            EXPECT_EQ(Remembered.filter.kind, static_cast<FilterKind>(i));
        }
    }
    for (int id : kRadios)
        EXPECT_EQ(IsChecked(dialog, id), id == radio) << "radio " << id;
}

// The core's filter on a copy of the untouched preview image.
std::vector<BYTE> ExpectedFilterPreview()
{
    const std::vector<BYTE> preview = PreviewImageBytes();
    if (preview.empty())
        return preview;
    return FilteredCopy(preview);
}

class FilterDialog : public DialogTest {
protected:
    INT_PTR Run(const std::function<void(HWND)>& action)
    {
        return RunDialog(RES_DLG_FILTER, FilterDialogProc, u8"フィルター", action);
    }
};

TEST_F(FilterDialog, StrengthBarsSelectTheirFilterAndEverythingSurvivesCancel)
{
    LoadPicture(110, 80);
    const INT_PTR result = Run([&](HWND dialog) {
        EXPECT_EQ(kernelEditsBlocked, 0);
        // Filling the kernel boxes did not count as typing.
        ExpectSelected(dialog, IDC_FILTER_SHARPEN);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(BarRange(dialog, kBars[i]), std::make_pair(0, 10));
            EXPECT_EQ(BarPos(dialog, kBars[i]), 0);
            EXPECT_EQ(Text(dialog, kTexts[i]), "  0");
        }
        for (int id = IDC_FILTER_KERNEL_FIRST; id <= IDC_FILTER_KERNEL_LAST; ++id)
            EXPECT_EQ(Text(dialog, id), "1") << "box " << id;
        // Sharpen at 0 shows the picture unchanged.
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, PreviewImageBytes()));

        // Scrolling the soft bar while sharpen is selected selects soft.
        ScrollBar(dialog, IDC_FILTER_SOFT_BAR, SB_LINEDOWN);
        ExpectSelected(dialog, IDC_FILTER_SOFT);
        EXPECT_EQ(Remembered.filter.softStrength, 1);
        EXPECT_EQ(BarPos(dialog, IDC_FILTER_SOFT_BAR), 1);
        EXPECT_EQ(Text(dialog, IDC_FILTER_SOFT_TEXT), "  1");
        const std::vector<BYTE> soft1 = ExpectedFilterPreview();
        EXPECT_TRUE(PreviewShows(dialog, soft1));
        EXPECT_FALSE(ScreenForm(soft1) == ScreenForm(PreviewImageBytes())) << "soft 1 changed nothing";
        ScrollBar(dialog, IDC_FILTER_SOFT_BAR, SB_THUMBTRACK, 15);
        EXPECT_EQ(Remembered.filter.softStrength, 10);
        EXPECT_EQ(Text(dialog, IDC_FILTER_SOFT_TEXT), " 10");
        ScrollBar(dialog, IDC_FILTER_SOFT_BAR, SB_LINEUP);
        ScrollBar(dialog, IDC_FILTER_SOFT_BAR, SB_LINEUP);
        EXPECT_EQ(Remembered.filter.softStrength, 8);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));

        ScrollBar(dialog, IDC_FILTER_EMBOSS_BAR, SB_PAGEDOWN);
        ExpectSelected(dialog, IDC_FILTER_EMBOSS);
        EXPECT_EQ(Remembered.filter.embossStrength, 10);
        EXPECT_EQ(Text(dialog, IDC_FILTER_EMBOSS_TEXT), " 10");
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));
        // Even a code that moves nothing selects the bar's filter.
        ScrollBar(dialog, IDC_FILTER_SHARPEN_BAR, SB_ENDSCROLL);
        ExpectSelected(dialog, IDC_FILTER_SHARPEN);
        ScrollBar(dialog, IDC_FILTER_SHARPEN_BAR, SB_PAGEUP);
        EXPECT_EQ(Remembered.filter.sharpenStrength, 0);
        for (int i = 0; i < 3; ++i)
            ScrollBar(dialog, IDC_FILTER_SHARPEN_BAR, SB_LINEDOWN);
        EXPECT_EQ(Remembered.filter.sharpenStrength, 3);
        EXPECT_EQ(Text(dialog, IDC_FILTER_SHARPEN_TEXT), "  3");
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));

        // A radio click selects without touching the strengths.
        ClickButton(dialog, IDC_FILTER_SOFT);
        ExpectSelected(dialog, IDC_FILTER_SOFT);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));
        ClickButton(dialog, IDC_FILTER_EMBOSS);
        ExpectSelected(dialog, IDC_FILTER_EMBOSS);
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));
        PressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(kernelEditsBlocked, 1);
    EXPECT_EQ(PreviewImage, nullptr);

    Run([&](HWND dialog) {
        ExpectSelected(dialog, IDC_FILTER_EMBOSS);
        EXPECT_EQ(BarPos(dialog, IDC_FILTER_SHARPEN_BAR), 3);
        EXPECT_EQ(BarPos(dialog, IDC_FILTER_SOFT_BAR), 8);
        EXPECT_EQ(BarPos(dialog, IDC_FILTER_EMBOSS_BAR), 10);
        EXPECT_EQ(Text(dialog, IDC_FILTER_SHARPEN_TEXT), "  3");
        EXPECT_EQ(Text(dialog, IDC_FILTER_SOFT_TEXT), "  8");
        EXPECT_EQ(Text(dialog, IDC_FILTER_EMBOSS_TEXT), " 10");
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ(Remembered.filter.kind, FilterKind::Emboss);
}

TEST_F(FilterDialog, TypedKernelIsCorrectedStoredAndSelectsTheCustomFilter)
{
    LoadPicture(70, 90);
    Run([&](HWND dialog) {
        ExpectSelected(dialog, IDC_FILTER_SHARPEN);

        // Out of -9..9: the box is rewritten to "1" and 1 is stored.
        Type(dialog, IDC_FILTER_KERNEL_OWN_C, "12");
        EXPECT_EQ(Text(dialog, IDC_FILTER_KERNEL_OWN_C), "1");
        EXPECT_EQ(Remembered.filter.customKernel[1][1], 1);
        ExpectSelected(dialog, IDC_FILTER_CUSTOM);
        Type(dialog, IDC_FILTER_KERNEL_ABOVE_R, "-10");
        EXPECT_EQ(Text(dialog, IDC_FILTER_KERNEL_ABOVE_R), "1");
        EXPECT_EQ(Remembered.filter.customKernel[2][2], 1);

        // A lone minus sign counts as 0 and stays as typed.
        Type(dialog, IDC_FILTER_KERNEL_ABOVE_L, "-");
        EXPECT_EQ(Text(dialog, IDC_FILTER_KERNEL_ABOVE_L), "-");
        EXPECT_EQ(Remembered.filter.customKernel[2][0], 0);
        // The bottom row of boxes is the row below: the engine's first.
        Type(dialog, IDC_FILTER_KERNEL_BELOW_R, "-3");
        EXPECT_EQ(Remembered.filter.customKernel[0][2], -3);
        Type(dialog, IDC_FILTER_KERNEL_BELOW_L, "abc");
        EXPECT_EQ(Text(dialog, IDC_FILTER_KERNEL_BELOW_L), "abc");
        EXPECT_EQ(Remembered.filter.customKernel[0][0], 0);
        Type(dialog, IDC_FILTER_KERNEL_OWN_L, " 7");
        EXPECT_EQ(Remembered.filter.customKernel[1][0], 7);
        Type(dialog, IDC_FILTER_KERNEL_OWN_R, "9");
        Type(dialog, IDC_FILTER_KERNEL_BELOW_C, "-9");
        EXPECT_EQ(Remembered.filter.customKernel[1][2], 9);
        EXPECT_EQ(Remembered.filter.customKernel[0][1], -9);
        const int expected[3][3] = {{0, -9, -3}, {7, 1, 9}, {0, 1, 1}};
        EXPECT_EQ(std::memcmp(Remembered.filter.customKernel, expected, sizeof expected), 0);

        // Strength 0 shows the picture as it is; then the kernel at work.
        EXPECT_TRUE(PreviewShows(dialog, PreviewImageBytes()));
        ScrollBar(dialog, IDC_FILTER_CUSTOM_BAR, SB_THUMBTRACK, 1);
        EXPECT_EQ(Remembered.filter.customStrength, 1);
        EXPECT_EQ(Text(dialog, IDC_FILTER_CUSTOM_TEXT), "  1");
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));

        // Typing after another filter was picked selects custom again.
        ClickButton(dialog, IDC_FILTER_SOFT);
        ExpectSelected(dialog, IDC_FILTER_SOFT);
        Type(dialog, IDC_FILTER_KERNEL_ABOVE_C, "2");
        EXPECT_EQ(Remembered.filter.customKernel[2][1], 2);
        ExpectSelected(dialog, IDC_FILTER_CUSTOM);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));
        PressButton(dialog, IDCANCEL);
    });

    // Reopened: the kernel as stored (what was typed as "-" or "abc" is 0).
    Run([&](HWND dialog) {
        ExpectSelected(dialog, IDC_FILTER_CUSTOM);
        const char* shown[9] = {"0", "2", "1", "7", "1", "9", "0", "-9", "-3"};
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(Text(dialog, IDC_FILTER_KERNEL_FIRST + i), shown[i]) << "box " << IDC_FILTER_KERNEL_FIRST + i;
        EXPECT_EQ(BarPos(dialog, IDC_FILTER_CUSTOM_BAR), 1);
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));
        PressButton(dialog, IDCANCEL);
    });

    // While the dialog is closed, stray change notifications are ignored.
    EXPECT_EQ(kernelEditsBlocked, 1);
    Remembered.filter.kind = FilterKind::Soft;
    Run([&](HWND dialog) {
        ExpectSelected(dialog, IDC_FILTER_SOFT);
        PressButton(dialog, IDCANCEL);
    });
}

// --- Through the main window's command --------------------------------------

class FilterCommand : public apptest::ProcessingWindowFixture {};

TEST_F(FilterCommand, OkFiltersOnlyTheSelectionAndCancelChangesNothing)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    DragMouse({100, 60}, {180, 120});
    ASSERT_EQ(Selection.active, 1);
    const std::vector<BYTE> before = apptest::DocBytes(MainDocument);

    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"フィルター"), [&](HWND dialog) {
            ScrollBar(dialog, IDC_FILTER_SHARPEN_BAR, SB_PAGEDOWN);
            Type(dialog, IDC_FILTER_KERNEL_OWN_C, "-8");
            PressButton(dialog, IDCANCEL);
        });
        SendMessageA(window_, WM_COMMAND, IDM_FILTER, 0);
        EXPECT_EQ(driver.Problems(), "");
    }
    EXPECT_TRUE(apptest::DocBytes(MainDocument) == before);
    EXPECT_EQ(MainDocument.isModified, 0);
    EXPECT_EQ(Remembered.filter.customKernel[1][1], -8);

    std::vector<BYTE> region;
    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"フィルター"), [&](HWND dialog) {
            ExpectSelected(dialog, IDC_FILTER_CUSTOM);
            region = CopyDib(MainDocument.dib);
            ScrollBar(dialog, IDC_FILTER_EMBOSS_BAR, SB_THUMBTRACK, 6);
            EXPECT_TRUE(PreviewShows(dialog, ExpectedFilterPreview()));
            PressButton(dialog, IDOK);
        });
        SendMessageA(window_, WM_COMMAND, IDM_FILTER, 0);
        EXPECT_EQ(driver.Problems(), "");
    }
    ASSERT_EQ(region.size(), WorkDibBytes(81, 61));
    const std::vector<BYTE> filtered = FilteredCopy(region);

    int wrong = 0;
    for (int y = 0; y < 400 && wrong < 5; ++y)
        for (int x = 0; x < 600 && wrong < 5; ++x) {
            const BYTE* now = apptest::DocPixel(MainDocument, x, y);
            const bool inside = x >= 100 && x <= 180 && y >= 60 && y <= 120;
            const BYTE* want = inside ? filtered.data() + 40 + ((120 - y) * 81 + (x - 100)) * 4
                                      : before.data() + 40 + ((399 - y) * 600 + x) * 4;
            if (std::memcmp(now, want, 4) != 0) {
                ADD_FAILURE() << "pixel (" << x << "," << y << ") " << (inside ? "inside" : "outside");
                ++wrong;
            }
        }
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_FALSE(apptest::DocBytes(MainDocument) == before);
}

}  // namespace

// The bump dialog opened for real: the light circle, the sliders, the
// watermark choice with its check boxes and position bars, the live
// preview read back from the screen, and OK / Cancel through the main
// window's command.
#include "support/app_fixture.h"
#include "support/dialog_fixture.h"

#include "app/selection.h"
#include "processing/bump.h"
#include "app/bump_dialog.h"
#include "processing/neighbourhood.h"
#include "app/preview.h"
#include "app/settings.h"
#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/png_file.h"
#include "image/blocks.h"
#include "resources/resource.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace wintest;
using namespace dlgtest;

namespace {

std::string Fixed(double v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%8.4lf", v);
    return text;
}

struct Light {
    double x, y, z;
    std::string tx, ty, tz;
    POINT marker;
};

Light LightNow(HWND dialog)
{
    return Light{Remembered.bump.lightX,
                 Remembered.bump.lightY,
                 Remembered.bump.lightZ,
                 Text(dialog, IDC_BUMP_LIGHTX_TEXT),
                 Text(dialog, IDC_BUMP_LIGHTY_TEXT),
                 Text(dialog, IDC_BUMP_LIGHTZ_TEXT),
                 Remembered.lightMarker};
}

void ExpectSameLight(const Light& a, const Light& b, const char* where)
{
    SCOPED_TRACE(where);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
    EXPECT_EQ(a.tx, b.tx);
    EXPECT_EQ(a.ty, b.ty);
    EXPECT_EQ(a.tz, b.tz);
    EXPECT_EQ(a.marker.x, b.marker.x);
    EXPECT_EQ(a.marker.y, b.marker.y);
}

// The circle of the light pane in client pixels.
struct Pane {
    int l, t, r, b, cx, cy, rx, ry;
};
Pane LightPaneOf(HWND dialog)
{
    const RECT r = DialogRect(dialog, 25, 20, 115, 120);
    Pane p{r.left, r.top, r.right, r.bottom, 0, 0, (r.right - r.left) / 2, (r.bottom - r.top) / 2};
    p.cx = p.l + p.rx;
    p.cy = p.t + p.ry;
    return p;
}

// What the preview must show now: the bump of the core on a copy of the
// untouched preview image.
std::vector<BYTE> ExpectedBumpPreview()
{
    std::vector<BYTE> copy = PreviewImageBytes();
    if (copy.empty())
        return copy;
    EXPECT_EQ(RenderBumpPixels(Remembered.bump, copy.data(), DibWidth(copy), DibHeight(copy), MainDocument.width,
                               MainDocument.height, &WatermarkDocument),
              Failure::None);
    return copy;
}

class BumpDialog : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        dir_ = std::make_unique<TempDir>();
    }
    void TearDown() override
    {
        DialogTest::TearDown();
        dir_.reset();
    }
    // A watermark file of width x height; returns its path.
    std::string Watermark(int width, int height)
    {
        char name[64];
        std::snprintf(name, sizeof name, "watermark-%d-%dx%d.bmp", ++files_, width, height);
        const std::string path = dir_->File(name);
        EXPECT_TRUE(apptest::WriteTestBmp(path, width, height));
        return path;
    }
    // Queues the open dialog's answer: path, as a BMP (type entry 1).
    void QueueOpen(DialogDriver& driver, const std::string& path)
    {
        driver.OnDialog(U8(u8"開く"), [path](HWND dialog) {
            FileDialogSelectType(dialog, 0);
            FileDialogAccept(dialog, path);
        });
    }
    INT_PTR Run(const std::function<void(HWND)>& action)
    {
        return RunDialog(RES_DLG_BUMP, BumpDialogProc, u8"バンプ設定", action);
    }
    std::unique_ptr<TempDir> dir_;
    int files_ = 0;
};

// --- Light direction --------------------------------------------------------

TEST_F(BumpDialog, LightFromClicksInTheCircleAndNothingFromOutsideOrTheOutline)
{
    LoadPicture(100, 80);
    bool ran = false;
    const INT_PTR result = Run([&](HWND dialog) {
        ran = true;
        const Pane p = LightPaneOf(dialog);

        ClickAt(dialog, {p.cx, p.cy});
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTX_TEXT), "  0.0000");
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTY_TEXT), "  0.0000");
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTZ_TEXT), "  1.0000");
        EXPECT_EQ(Remembered.bump.lightX, 0.0);
        EXPECT_EQ(Remembered.bump.lightY, 0.0);
        EXPECT_EQ(Remembered.bump.lightZ, 1.0);
        EXPECT_EQ(Remembered.lightMarker.x, p.cx);
        EXPECT_EQ(Remembered.lightMarker.y, p.cy);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        // Near the top: the light comes from above (Y up on screen).
        ClickAt(dialog, {p.cx, p.t + p.ry / 4});
        EXPECT_GT(Remembered.bump.lightY, 0.5);
        EXPECT_NEAR(Remembered.bump.lightX, 0.0, 1e-12);
        EXPECT_GT(Remembered.bump.lightZ, 0.0);
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTY_TEXT), Fixed(Remembered.bump.lightY));
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTY_TEXT).find('-'), std::string::npos);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        // Near the right edge: from the right.
        ClickAt(dialog, {p.l + p.rx * 7 / 4, p.cy});
        EXPECT_GT(Remembered.bump.lightX, 0.5);
        EXPECT_NEAR(Remembered.bump.lightY, 0.0, 1e-12);
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTX_TEXT), Fixed(Remembered.bump.lightX));
        EXPECT_NEAR(std::hypot(std::hypot(Remembered.bump.lightX, Remembered.bump.lightY), Remembered.bump.lightZ), 1.0, 1e-12);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        // A drag follows the mouse while the button is down, not after.
        SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.cx, p.cy));
        SendMessageA(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.cx - p.rx / 2, p.cy));
        EXPECT_LT(Remembered.bump.lightX, -0.3);
        SendMessageA(dialog, WM_LBUTTONUP, 0, MAKELPARAM(p.cx - p.rx / 2, p.cy));
        const Light afterDrag = LightNow(dialog);
        SendMessageA(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(p.cx, p.cy + p.ry / 2));
        ExpectSameLight(LightNow(dialog), afterDrag, "move after release");

        // On the outline and outside the circle nothing moves.
        const Light before = LightNow(dialog);
        const POINT outside[] = {{p.l, p.cy}, {p.r - 1, p.cy}, {p.cx, p.t}, {p.cx, p.b - 1},
                                 {p.l + 2, p.t + 2}, {p.r - 3, p.b - 3}, {p.l - 5, p.cy}, {p.cx, p.b + 8}};
        for (const POINT& q : outside) {
            ClickAt(dialog, q);
            char where[48];
            std::snprintf(where, sizeof where, "click at (%ld,%ld)", q.x, q.y);
            ExpectSameLight(LightNow(dialog), before, where);
        }

        // A point beyond the circle given straight to LightFromPoint: a
        // light in the picture plane, a unit vector, never NaN.
        LightFromPoint(dialog, {p.l - 50, p.cy});
        EXPECT_EQ(Remembered.bump.lightX, -1.0);
        EXPECT_EQ(Remembered.bump.lightY, 0.0);
        EXPECT_EQ(Remembered.bump.lightZ, 0.0);
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTX_TEXT), " -1.0000");
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTY_TEXT), "  0.0000");
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTZ_TEXT), "  0.0000");
        LightFromPoint(dialog, {p.r + 40, p.t - 40});
        EXPECT_GT(Remembered.bump.lightX, 0.0);
        EXPECT_GT(Remembered.bump.lightY, 0.0);
        EXPECT_EQ(Remembered.bump.lightZ, 0.0);
        EXPECT_NEAR(std::hypot(Remembered.bump.lightX, Remembered.bump.lightY), 1.0, 1e-12);
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTZ_TEXT), "  0.0000");

        // The last click leaves the centre light for the next opening.
        ClickAt(dialog, {p.cx, p.cy});
        PressButton(dialog, IDCANCEL);
    });
    ASSERT_TRUE(ran);
    EXPECT_EQ(result, 2);

    // Reopened: light and marker are where the user left them.
    const POINT marker = Remembered.lightMarker;
    Run([&](HWND dialog) {
        EXPECT_EQ(Remembered.lightMarker.x, marker.x);
        EXPECT_EQ(Remembered.lightMarker.y, marker.y);
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTX_TEXT), "  0.0000");
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTY_TEXT), "  0.0000");
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTZ_TEXT), "  1.0000");
        EXPECT_EQ(Remembered.bump.lightZ, 1.0);
        PressButton(dialog, IDCANCEL);
    });
}

TEST_F(BumpDialog, InitialMarkerGivesAUnitLightShownInItsTexts)
{
    LoadPicture(60, 60);
    Run([&](HWND dialog) {
        EXPECT_EQ(Remembered.lightMarker.x, 75);
        EXPECT_EQ(Remembered.lightMarker.y, 65);
        EXPECT_FALSE(std::isnan(Remembered.bump.lightX) || std::isnan(Remembered.bump.lightY) ||
                     std::isnan(Remembered.bump.lightZ));
        EXPECT_NEAR(std::hypot(std::hypot(Remembered.bump.lightX, Remembered.bump.lightY), Remembered.bump.lightZ), 1.0, 1e-12);
        EXPECT_GE(Remembered.bump.lightZ, 0.0);
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTX_TEXT), Fixed(Remembered.bump.lightX));
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTY_TEXT), Fixed(Remembered.bump.lightY));
        EXPECT_EQ(Text(dialog, IDC_BUMP_LIGHTZ_TEXT), Fixed(Remembered.bump.lightZ));
        // The first paint already shows the relief of the picture on itself.
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        PressButton(dialog, IDCANCEL);
    });
}

// --- Sliders ----------------------------------------------------------------

TEST_F(BumpDialog, SlidersStepClampShowTheirValuesAndSurviveCancelAndReopening)
{
    LoadPicture(90, 70);
    Run([&](HWND dialog) {
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_STRENGTH), std::make_pair(1, 200));
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_AMPLIFY), std::make_pair(0, 800));
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_AMBIENT), std::make_pair(1, 100));
        EXPECT_EQ(BarPos(dialog, IDC_BUMP_STRENGTH), 20);
        EXPECT_EQ(Text(dialog, IDC_BUMP_STRENGTH_TEXT), " 20");
        EXPECT_EQ(Text(dialog, IDC_BUMP_AMPLIFY_TEXT), "200");
        EXPECT_EQ(Text(dialog, IDC_BUMP_AMBIENT_TEXT), " 60");

        ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_LINEDOWN);
        EXPECT_EQ(Remembered.bump.strength, 21);
        EXPECT_EQ(Text(dialog, IDC_BUMP_STRENGTH_TEXT), " 21");
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_PAGEUP);
        ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_PAGEUP);
        ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_PAGEUP);
        EXPECT_EQ(Remembered.bump.strength, 1);
        EXPECT_EQ(Text(dialog, IDC_BUMP_STRENGTH_TEXT), "  1");
        ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_THUMBTRACK, 250);
        EXPECT_EQ(Remembered.bump.strength, 200);
        EXPECT_EQ(BarPos(dialog, IDC_BUMP_STRENGTH), 200);
        EXPECT_EQ(Text(dialog, IDC_BUMP_STRENGTH_TEXT), "200");
        ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_THUMBTRACK, 137);
        EXPECT_EQ(Remembered.bump.strength, 137);

        ScrollBar(dialog, IDC_BUMP_AMPLIFY, SB_THUMBTRACK, 0);
        EXPECT_EQ(Remembered.bump.amplification, 0);
        EXPECT_EQ(Text(dialog, IDC_BUMP_AMPLIFY_TEXT), "  0");
        ScrollBar(dialog, IDC_BUMP_AMPLIFY, SB_PAGEDOWN);
        ScrollBar(dialog, IDC_BUMP_AMPLIFY, SB_LINEDOWN);
        EXPECT_EQ(Remembered.bump.amplification, 11);
        EXPECT_EQ(BarPos(dialog, IDC_BUMP_AMPLIFY), 11);

        ScrollBar(dialog, IDC_BUMP_AMBIENT, SB_THUMBTRACK, 100);
        ScrollBar(dialog, IDC_BUMP_AMBIENT, SB_LINEDOWN);
        EXPECT_EQ(Remembered.bump.ambient, 100);
        EXPECT_EQ(Text(dialog, IDC_BUMP_AMBIENT_TEXT), "100");
        ScrollBar(dialog, IDC_BUMP_AMBIENT, SB_LINEUP);
        // Thumb position and end-of-scroll codes change nothing.
        ScrollBar(dialog, IDC_BUMP_AMBIENT, SB_THUMBPOSITION, 5);
        ScrollBar(dialog, IDC_BUMP_AMBIENT, SB_ENDSCROLL);
        EXPECT_EQ(Remembered.bump.ambient, 99);
        EXPECT_EQ(Text(dialog, IDC_BUMP_AMBIENT_TEXT), " 99");
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        Redraw(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        PressButton(dialog, IDCANCEL);
    });

    Run([&](HWND dialog) {
        EXPECT_EQ(BarPos(dialog, IDC_BUMP_STRENGTH), 137);
        EXPECT_EQ(Text(dialog, IDC_BUMP_STRENGTH_TEXT), "137");
        EXPECT_EQ(BarPos(dialog, IDC_BUMP_AMPLIFY), 11);
        EXPECT_EQ(Text(dialog, IDC_BUMP_AMPLIFY_TEXT), " 11");
        EXPECT_EQ(BarPos(dialog, IDC_BUMP_AMBIENT), 99);
        EXPECT_EQ(Text(dialog, IDC_BUMP_AMBIENT_TEXT), " 99");
        EXPECT_EQ(Remembered.bump.strength, 137);
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ(Remembered.bump.strength, 137);
    EXPECT_EQ(Remembered.bump.amplification, 11);
    EXPECT_EQ(Remembered.bump.ambient, 99);
}

// --- Watermark, check boxes and position bars -------------------------------

TEST_F(BumpDialog, FittingWatermarkEnablesPlacementAndTheBoxesExcludeEachOther)
{
    LoadPicture(120, 90);
    const std::string small = Watermark(50, 30);
    DialogDriver driver;
    driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
        // The image is its own watermark; no placement yet.
        EXPECT_EQ(WatermarkDocument.width, 120);
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_REPEAT));
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_REPEAT));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_KEEPASPECT));

        ClickButton(dialog, IDC_BUMP_CHOOSE);
        EXPECT_EQ(WatermarkDocument.width, 50);
        EXPECT_EQ(WatermarkDocument.height, 30);
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_REPEAT));
        // Case C, no aspect: the whole picture, no position bars.
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETY));
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        // Case A: not enlarged, placed by the two bars.
        ClickButton(dialog, IDC_BUMP_DONTENLARGE);
        EXPECT_TRUE(IsChecked(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_EQ(Remembered.bump.layout.dontEnlarge, true);
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_KEEPASPECT));
        EXPECT_TRUE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_TRUE(IsShown(dialog, IDC_BUMP_OFFSETY));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_OFFSETX));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_OFFSETY));
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_OFFSETX), std::make_pair(0, 70));
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_OFFSETY), std::make_pair(0, 60));
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        ScrollBar(dialog, IDC_BUMP_OFFSETX, SB_PAGEDOWN);
        ScrollBar(dialog, IDC_BUMP_OFFSETX, SB_PAGEDOWN);
        ScrollBar(dialog, IDC_BUMP_OFFSETX, SB_LINEDOWN);
        EXPECT_EQ(Remembered.bump.layout.offsetX, 21);
        EXPECT_EQ(BarPos(dialog, IDC_BUMP_OFFSETX), 21);
        EXPECT_EQ(Text(dialog, IDC_BUMP_OFFSETX_TEXT), " 21");
        ScrollBar(dialog, IDC_BUMP_OFFSETY, SB_THUMBTRACK, 500, WM_VSCROLL);
        EXPECT_EQ(Remembered.bump.layout.offsetY, 60);
        EXPECT_EQ(Text(dialog, IDC_BUMP_OFFSETY_TEXT), " 60");
        ScrollBar(dialog, IDC_BUMP_OFFSETY, SB_PAGEUP, 0, WM_VSCROLL);
        EXPECT_EQ(Remembered.bump.layout.offsetY, 50);
        EXPECT_EQ(BarPos(dialog, IDC_BUMP_OFFSETY), 50);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        // Case B: repetition takes over, 7203 goes off, no bars.
        ClickButton(dialog, IDC_BUMP_REPEAT);
        EXPECT_TRUE(IsChecked(dialog, IDC_BUMP_REPEAT));
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_KEEPASPECT));
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETY));
        EXPECT_EQ(Remembered.bump.layout.offsetX, 0);
        EXPECT_EQ(Remembered.bump.layout.offsetY, 0);
        EXPECT_EQ(Remembered.bump.layout.repeatTile, true);
        EXPECT_EQ(Remembered.bump.layout.dontEnlarge, false);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        // And back: 7203 unchecks 7204.
        ClickButton(dialog, IDC_BUMP_DONTENLARGE);
        EXPECT_TRUE(IsChecked(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_REPEAT));
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_KEEPASPECT));
        EXPECT_TRUE(IsShown(dialog, IDC_BUMP_OFFSETX));

        // Neither checked: 7202 comes back, the bars go.
        ClickButton(dialog, IDC_BUMP_DONTENLARGE);
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_REPEAT));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_KEEPASPECT));
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETY));
        EXPECT_EQ(Remembered.bump.layout.offsetX, 0);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        // Left checked for the next opening.
        ClickButton(dialog, IDC_BUMP_DONTENLARGE);
        PressButton(dialog, IDCANCEL);
    });
    QueueOpen(driver, small);
    EXPECT_EQ(RunDialog(RES_DLG_BUMP, BumpDialogProc, u8"", nullptr, &driver), 2);
    EXPECT_EQ(Remembered.bump.layout.dontEnlarge, true);

    // Reopened after 7203 was left on: the image is the watermark again
    // (it fits), 7203 and 7204 are enabled but start unchecked.
    Run([&](HWND dialog) {
        EXPECT_EQ(WatermarkDocument.width, 120);
        EXPECT_EQ(WatermarkDocument.height, 90);
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_REPEAT));
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_REPEAT));
        EXPECT_EQ(Remembered.bump.layout.offsetX, 0);
        EXPECT_EQ(Remembered.bump.layout.offsetY, 0);
        PressButton(dialog, IDCANCEL);
    });
}

TEST_F(BumpDialog, WatermarkAsWideAsThePictureHidesTheHorizontalBarInCaseA)
{
    LoadPicture(120, 90);
    const std::string wide = Watermark(120, 40);
    DialogDriver driver;
    driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
        ClickButton(dialog, IDC_BUMP_CHOOSE);
        ClickButton(dialog, IDC_BUMP_DONTENLARGE);
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_OFFSETX));
        EXPECT_TRUE(IsShown(dialog, IDC_BUMP_OFFSETY));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_OFFSETY));
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_OFFSETY), std::make_pair(0, 50));
        ScrollBar(dialog, IDC_BUMP_OFFSETY, SB_THUMBTRACK, 33, WM_VSCROLL);
        EXPECT_EQ(Remembered.bump.layout.offsetY, 33);
        EXPECT_EQ(Text(dialog, IDC_BUMP_OFFSETY_TEXT), " 33");
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        PressButton(dialog, IDCANCEL);
    });
    QueueOpen(driver, wide);
    EXPECT_EQ(RunDialog(RES_DLG_BUMP, BumpDialogProc, u8"", nullptr, &driver), 2);
}

TEST_F(BumpDialog, LargerWatermarkTurnsThePlacementBoxesOffAndKeepAspectPlacesItVertically)
{
    LoadPicture(120, 90);
    const std::string small = Watermark(40, 30);
    const std::string large = Watermark(240, 60);
    DialogDriver driver;
    driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
        ClickButton(dialog, IDC_BUMP_CHOOSE);
        ClickButton(dialog, IDC_BUMP_REPEAT);
        EXPECT_TRUE(IsChecked(dialog, IDC_BUMP_REPEAT));
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_KEEPASPECT));

        ClickButton(dialog, IDC_BUMP_CHOOSE);
        EXPECT_EQ(WatermarkDocument.width, 240);
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_REPEAT));
        EXPECT_FALSE(IsChecked(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_REPEAT));
        EXPECT_FALSE(IsEnabled(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_KEEPASPECT));
        EXPECT_EQ(Remembered.bump.layout.repeatTile, false);
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETY));
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));

        // Case C keeping the aspect: 240 x 60 fitted into 120 x 90 is
        // 120 x 30, full width, placed vertically within 0..60.
        ClickButton(dialog, IDC_BUMP_KEEPASPECT);
        EXPECT_EQ(Remembered.bump.layout.keepAspect, true);
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_TRUE(IsShown(dialog, IDC_BUMP_OFFSETY));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_OFFSETY));
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_OFFSETY), std::make_pair(0, 60));
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        ScrollBar(dialog, IDC_BUMP_OFFSETY, SB_PAGEDOWN, 0, WM_VSCROLL);
        ScrollBar(dialog, IDC_BUMP_OFFSETY, SB_PAGEDOWN, 0, WM_VSCROLL);
        EXPECT_EQ(Remembered.bump.layout.offsetY, 20);
        EXPECT_EQ(Text(dialog, IDC_BUMP_OFFSETY_TEXT), " 20");
        EXPECT_EQ(Remembered.bump.layout.offsetX, 0);
        const std::vector<BYTE> placed = ExpectedBumpPreview();
        EXPECT_TRUE(PreviewShows(dialog, placed));
        // Moving it changes what the preview shows.
        ScrollBar(dialog, IDC_BUMP_OFFSETY, SB_THUMBTRACK, 60, WM_VSCROLL);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        EXPECT_FALSE(ScreenForm(placed) == ReadPreviewFromScreen(dialog));

        // Keep-aspect off again: offsets back to 0, no bars.
        ClickButton(dialog, IDC_BUMP_KEEPASPECT);
        EXPECT_EQ(Remembered.bump.layout.offsetY, 0);
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETY));
        PressButton(dialog, IDOK);
    });
    QueueOpen(driver, small);
    QueueOpen(driver, large);
    EXPECT_EQ(RunDialog(RES_DLG_BUMP, BumpDialogProc, u8"", nullptr, &driver), 1);
    EXPECT_EQ(Remembered.bump.layout.keepAspect, false);
    EXPECT_EQ(Remembered.bump.layout.dontEnlarge, false);
}

TEST_F(BumpDialog, CancelledOpenDialogLeavesWatermarkAndBoxes)
{
    LoadPicture(80, 60);
    const std::string small = Watermark(20, 20);
    DialogDriver driver;
    driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
        ClickButton(dialog, IDC_BUMP_CHOOSE);
        ClickButton(dialog, IDC_BUMP_DONTENLARGE);
        ScrollBar(dialog, IDC_BUMP_OFFSETX, SB_LINEDOWN);
        EXPECT_EQ(Remembered.bump.layout.offsetX, 1);
        ClickButton(dialog, IDC_BUMP_CHOOSE);  // cancelled
        EXPECT_EQ(WatermarkDocument.width, 20);
        EXPECT_TRUE(IsChecked(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_TRUE(IsEnabled(dialog, IDC_BUMP_DONTENLARGE));
        EXPECT_EQ(Remembered.bump.layout.offsetX, 1);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        PressButton(dialog, IDCANCEL);
    });
    QueueOpen(driver, small);
    driver.OnDialog(U8(u8"開く"), [](HWND dialog) { FileDialogCancel(dialog); });
    EXPECT_EQ(RunDialog(RES_DLG_BUMP, BumpDialogProc, u8"", nullptr, &driver), 2);
}

TEST_F(BumpDialog, TinyTileStillShowsAReliefOfAtLeastOnePixel)
{
    LoadPicture(400, 300);
    const std::string tiny = Watermark(1, 1);
    DialogDriver driver;
    driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
        ClickButton(dialog, IDC_BUMP_CHOOSE);
        ClickButton(dialog, IDC_BUMP_REPEAT);
        EXPECT_EQ(Remembered.bump.layout.repeatTile, true);
        const std::vector<BYTE> untouched = PreviewImageBytes();
        EXPECT_LT(DibWidth(untouched), 400) << "the tile must come out below one preview pixel";
        const std::vector<BYTE> expected = ExpectedBumpPreview();
        EXPECT_TRUE(PreviewShows(dialog, expected));
        EXPECT_FALSE(ScreenForm(untouched) == ReadPreviewFromScreen(dialog)) << "no relief drawn";
        PressButton(dialog, IDCANCEL);
    });
    QueueOpen(driver, tiny);
    EXPECT_EQ(RunDialog(RES_DLG_BUMP, BumpDialogProc, u8"", nullptr, &driver), 2);
}

TEST_F(BumpDialog, WatermarkCopyThatCannotBeAllocatedIsReportedAndEndsTheDialogAsCancelled)
{
    // A picture record whose block size cannot be had; its pixels must
    // never be read.
    BYTE small[64] = {};
    MainDocument.width = kUnallocatableWidth;
    MainDocument.height = kUnallocatableHeight;
    MainDocument.dib = small;
    MainDocument.isLoaded = 1;
    DialogDriver driver;
    driver.AnswerMessageBox(IDOK);
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), RES_DLG_BUMP, nullptr, BumpDialogProc, 0);
    PumpFor(100);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(driver.Problems(), "");
    const std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << "the lack of memory is said once";
    EXPECT_EQ(boxes[0].text, U8(u8"メモリーが足りません。"));
    EXPECT_EQ(WatermarkDocument.dib, nullptr);
    EXPECT_EQ(PreviewImage, nullptr);
    MainDocument.dib = nullptr;
    MainDocument.isLoaded = 0;
}

// The position bars follow the placement even when no preview copy can be
// allocated: at its own size the watermark gets both bars, tiled none.
TEST_F(BumpDialog, PositionBarsFollowThePlacementWithoutAPreviewCopy)
{
    LoadPicture(120, 90);
    const std::string small = Watermark(40, 30);
    DialogDriver driver;
    driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
        ClickButton(dialog, IDC_BUMP_CHOOSE);
        UnallocatablePreview noMemory;
        ClickButton(dialog, IDC_BUMP_DONTENLARGE);
        EXPECT_TRUE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_TRUE(IsShown(dialog, IDC_BUMP_OFFSETY));
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_OFFSETX), std::make_pair(0, 80));
        EXPECT_EQ(BarRange(dialog, IDC_BUMP_OFFSETY), std::make_pair(0, 60));
        ClickButton(dialog, IDC_BUMP_REPEAT);
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETX));
        EXPECT_FALSE(IsShown(dialog, IDC_BUMP_OFFSETY));
        PressButton(dialog, IDCANCEL);
    });
    QueueOpen(driver, small);
    EXPECT_EQ(RunDialog(RES_DLG_BUMP, BumpDialogProc, u8"", nullptr, &driver), 2);
}

// A repaint of part of the light marker redraws that part only: the
// marker looks the same afterwards.
TEST_F(BumpDialog, RepaintOverHalfTheMarkerKeepsAllOfIt)
{
    LoadPicture(80, 80);
    Run([&](HWND dialog) {
        const Pane p = LightPaneOf(dialog);
        ClickAt(dialog, {p.cx - 12, p.cy - 9});
        const POINT m = Remembered.lightMarker;
        const auto markerPixels = [&] {
            std::vector<COLORREF> pixels;
            HDC dc = GetDC(dialog);
            for (int y = m.y - 5; y <= m.y + 5; ++y)
                for (int x = m.x - 5; x <= m.x + 5; ++x)
                    pixels.push_back(GetPixel(dc, x, y));
            ReleaseDC(dialog, dc);
            return pixels;
        };
        const std::vector<COLORREF> before = markerPixels();
        const RECT leftHalf = {m.x - 6, m.y - 6, m.x, m.y + 6};
        InvalidateRect(dialog, &leftHalf, TRUE);
        UpdateWindow(dialog);
        EXPECT_TRUE(markerPixels() == before) << "the marker changed where the paint did not reach";
        PressButton(dialog, IDCANCEL);
    });
}

TEST_F(BumpDialog, PreviewWithoutMemoryForItsCopyDrawsNothingButTheSettingsStillChange)
{
    LoadPicture(80, 80);
    Run([&](HWND dialog) {
        const std::vector<BYTE> shown = ReadPreviewFromScreen(dialog);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        {
            UnallocatablePreview noMemory;
            ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_PAGEDOWN);
            const Pane p = LightPaneOf(dialog);
            ClickAt(dialog, {p.cx, p.cy});
            EXPECT_EQ(Remembered.bump.strength, 30);
            EXPECT_EQ(Remembered.bump.lightZ, 1.0);
        }
        EXPECT_TRUE(ReadPreviewFromScreen(dialog) == shown);
        ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_ENDSCROLL);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        PressButton(dialog, IDCANCEL);
    });
}

// --- Through the main window's command --------------------------------------

class BumpCommand : public apptest::ProcessingWindowFixture {};

TEST_F(BumpCommand, OkStampsOnlyTheSelectionAsTheEngineDoesAndCancelChangesNothing)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    DragMouse({100, 60}, {180, 120});
    ASSERT_EQ(Selection.active, 1);
    const std::vector<BYTE> before = apptest::DocBytes(MainDocument);

    // Cancel after changing everything: the picture is untouched.
    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
            const Pane p = LightPaneOf(dialog);
            ClickAt(dialog, {p.cx + p.rx / 2, p.cy - p.ry / 3});
            ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_THUMBTRACK, 150);
            PressButton(dialog, IDCANCEL);
        });
        SendMessageA(window_, WM_COMMAND, IDM_BUMP, 0);
        EXPECT_EQ(driver.Problems(), "");
    }
    EXPECT_TRUE(apptest::DocBytes(MainDocument) == before);
    EXPECT_EQ(MainDocument.isModified, 0);

    std::vector<BYTE> region;
    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
            EXPECT_EQ(MainDocument.width, 81);
            EXPECT_EQ(MainDocument.height, 61);
            region = CopyDib(MainDocument.dib);
            ScrollBar(dialog, IDC_BUMP_AMPLIFY, SB_THUMBTRACK, 400);
            ScrollBar(dialog, IDC_BUMP_AMBIENT, SB_PAGEDOWN);
            EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
            PressButton(dialog, IDOK);
        });
        SendMessageA(window_, WM_COMMAND, IDM_BUMP, 0);
        EXPECT_EQ(driver.Problems(), "");
    }
    ASSERT_EQ(region.size(), WorkDibBytes(81, 61));
    EXPECT_EQ(Remembered.bump.strength, 150);

    // The engine on the region with the watermark the dialog left (the
    // region itself).
    ImageDocument expected = {};
    expected.dib = region.data();
    expected.width = 81;
    expected.height = 61;
    ASSERT_EQ(ApplyBump(Remembered.bump, &WatermarkDocument, &expected), Failure::None);

    int wrong = 0;
    for (int y = 0; y < 400 && wrong < 5; ++y)
        for (int x = 0; x < 600 && wrong < 5; ++x) {
            const BYTE* now = apptest::DocPixel(MainDocument, x, y);
            const bool inside = x >= 100 && x <= 180 && y >= 60 && y <= 120;
            const BYTE* want = inside ? region.data() + 40 + ((60 - (y - 60)) * 81 + (x - 100)) * 4
                                      : before.data() + 40 + ((399 - y) * 600 + x) * 4;
            if (std::memcmp(now, want, 4) != 0) {
                ADD_FAILURE() << "pixel (" << x << "," << y << ") " << (inside ? "inside" : "outside");
                ++wrong;
            }
        }
    EXPECT_EQ(MainDocument.isModified, 1);
    // The relief really changed the region.
    EXPECT_FALSE(apptest::DocBytes(MainDocument) == before);
}

// --- A transparent logo, as the tool stamps it ------------------------------

// quillvane-cli.exe at the top of the build tree, three folders above this
// program's file (tests\windows\quillvane_win_tests.exe).
std::string ToolPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = path;
    for (int up = 0; up < 3; ++up)
        dir = dir.substr(0, dir.find_last_of('\\'));
    return dir + "\\quillvane-cli.exe";
}

// Runs the tool's command line to its end; its exit status (9999 when it
// could not start or did not end within a minute).
DWORD RunTool(const std::string& arguments)
{
    std::string line = "\"" + ToolPath() + "\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi))
        return 9999;
    DWORD code = 9999;
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// A 36 x 28 logo whose colours vary but whose alpha makes the shape: an
// opaque ring with soft edges on a clear ground, written as RGBA PNG.
// Its alpha (bottom-up) goes to *alpha.
bool WriteLogoPng(const std::string& path, std::vector<std::uint8_t>* alpha)
{
    constexpr LONG w = 36, h = 28;
    ImageDocument logo{};
    HGLOBAL block = AllocateBlock(WorkDibBytes(w, h));
    if (!block)
        return false;
    AdoptWorkDib(&logo, block, w, h, nullptr);
    WriteWorkDibHeader(logo.dib, w, h);
    alpha->assign(static_cast<std::size_t>(w * h), 0);
    BYTE* p = WorkDibPixels(logo.dib);
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x, p += 4) {
            const double edge = std::fabs(std::hypot(x - 17.5, y - 13.5) - 9.0) - 3.0;
            const double a = std::fmin(std::fmax(0.5 - edge / 1.5, 0.0), 1.0);
            (*alpha)[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint8_t>(a * 255.0 + 0.5);
            p[0] = static_cast<BYTE>(x * 7);
            p[1] = static_cast<BYTE>(200 - y * 5);
            p[2] = static_cast<BYTE>(x * y);
        }
    const bool written = WritePngFile(path.c_str(), &logo, alpha->data()).ok();
    ReleaseDocument(&logo);
    return written;
}

TEST_F(BumpDialog, TransparentPngLogoStampsWhatTheToolStampsBitForBit)
{
    LoadPicture(120, 90);
    const std::string logo = dir_->File("logo.png");
    const std::string picture = dir_->File("picture.bmp");
    const std::string stamped = dir_->File("stamped.bmp");
    std::vector<std::uint8_t> alpha;
    ASSERT_TRUE(WriteLogoPng(logo, &alpha));
    // The tool's input: the picture as a 24-bit BMP, the same pixels.
    char kept[sizeof MainDocument.path];
    std::memcpy(kept, MainDocument.path, sizeof kept);
    std::snprintf(MainDocument.path, sizeof MainDocument.path, "%s", picture.c_str());
    ASSERT_TRUE(WriteBmpFile(&MainDocument, BmpWriteSettings{24}).ok());
    std::memcpy(MainDocument.path, kept, sizeof kept);

    DialogDriver driver;
    driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
        ClickButton(dialog, IDC_BUMP_CHOOSE);
        // The alpha is the height, whatever the colours.
        ASSERT_EQ(WatermarkDocument.width, 36);
        ASSERT_EQ(WatermarkDocument.height, 28);
        const BYTE* p = WorkDibPixels(WatermarkDocument.dib);
        for (std::size_t i = 0; i < alpha.size(); ++i, p += 4)
            ASSERT_TRUE(p[0] == alpha[i] && p[1] == alpha[i] && p[2] == alpha[i] && p[3] == alpha[i]) << i;
        ClickButton(dialog, IDC_BUMP_DONTENLARGE);
        ScrollBar(dialog, IDC_BUMP_OFFSETX, SB_THUMBTRACK, 50);
        ScrollBar(dialog, IDC_BUMP_OFFSETY, SB_THUMBTRACK, 31, WM_VSCROLL);
        ScrollBar(dialog, IDC_BUMP_STRENGTH, SB_THUMBTRACK, 70);
        EXPECT_TRUE(PreviewShows(dialog, ExpectedBumpPreview()));
        PressButton(dialog, IDOK);
    });
    driver.OnDialog(U8(u8"開く"), [&](HWND dialog) {
        FileDialogSelectType(dialog, 2);  // PNG
        FileDialogAccept(dialog, logo);
    });
    ASSERT_EQ(RunDialog(RES_DLG_BUMP, BumpDialogProc, u8"", nullptr, &driver), 1);
    const BumpParams& b = Remembered.bump;
    ASSERT_EQ(b.layout.offsetX, 50);
    ASSERT_EQ(b.layout.offsetY, 31);
    // What the main window's OK does.
    const std::vector<BYTE> before = CopyDib(MainDocument.dib);
    ASSERT_EQ(ApplyBump(b, &WatermarkDocument, &MainDocument), Failure::None);

    char arguments[1024];
    std::snprintf(arguments, sizeof arguments,
                  "bump --watermark \"%s\" --light %.17g,%.17g,%.17g --strength %d --amplify %d --ambient %d "
                  "--no-enlarge%s --offset %d,%d \"%s\" -o \"%s\"",
                  logo.c_str(), b.lightX, b.lightY, b.lightZ, b.strength, b.amplification, b.ambient,
                  b.layout.keepAspect ? " --keep-aspect" : "", static_cast<int>(b.layout.offsetX),
                  static_cast<int>(b.layout.offsetY), picture.c_str(), stamped.c_str());
    ASSERT_EQ(RunTool(arguments), 0u) << arguments;
    ImageDocument tool{};
    std::snprintf(tool.path, sizeof tool.path, "%s", stamped.c_str());
    ASSERT_TRUE(ReadBmpFile(&tool).ok());
    ASSERT_EQ(tool.width, MainDocument.width);
    ASSERT_EQ(tool.height, MainDocument.height);
    const BYTE* ours = WorkDibPixels(MainDocument.dib);
    const BYTE* theirs = WorkDibPixels(tool.dib);
    int differing = 0;
    for (LONG i = 0; i < tool.width * tool.height; ++i)
        for (int c = 0; c < 3; ++c)
            differing += ours[4 * i + c] != theirs[4 * i + c];
    EXPECT_EQ(differing, 0);
    EXPECT_FALSE(CopyDib(MainDocument.dib) == before);  // the logo left its mark
    ReleaseDocument(&tool);
}

}  // namespace

#include "app/effect_dialog.h"

#include "app/dialog_helpers.h"
#include "app/gdi_guards.h"
#include "app/preview.h"
#include "image/image_document.h"
#include "processing/effects.h"
#include "resources/resource.h"

// The engine names each effect and level by its control's id.
static_assert(kEffectNegative == IDC_EFFECT_NEGATIVE && kEffectPosterize == IDC_EFFECT_POSTERIZE &&
              kEffectSolarize == IDC_EFFECT_SOLARIZE && kEffectContrast == IDC_EFFECT_CONTRAST &&
              kEffectBinarize == IDC_EFFECT_BINARIZE);
static_assert(kLevel8 == IDC_EFFECT_LEVEL8 && kLevel128 == IDC_EFFECT_LEVEL128);

namespace {

constexpr int kEffectButtons[] = {kEffectNegative, kEffectPosterize, kEffectSolarize, kEffectContrast,
                                  kEffectBinarize};

// The rows of the contrast correction, top to bottom, work on the pixel
// bytes in memory order: blue, green, red.
struct BoundRow {
    int lowerBar, upperBar, lowerText, upperText, minText, maxText;
};
constexpr BoundRow kRows[3] = {
    {IDC_EFFECT_LOWER_BAR0, IDC_EFFECT_UPPER_BAR0, IDC_EFFECT_LOWER_TEXT0, IDC_EFFECT_UPPER_TEXT0,
     IDC_EFFECT_MIN_TEXT0, IDC_EFFECT_MAX_TEXT0},
    {IDC_EFFECT_LOWER_BAR1, IDC_EFFECT_UPPER_BAR1, IDC_EFFECT_LOWER_TEXT1, IDC_EFFECT_UPPER_TEXT1,
     IDC_EFFECT_MIN_TEXT1, IDC_EFFECT_MAX_TEXT1},
    {IDC_EFFECT_LOWER_BAR2, IDC_EFFECT_UPPER_BAR2, IDC_EFFECT_LOWER_TEXT2, IDC_EFFECT_UPPER_TEXT2,
     IDC_EFFECT_MIN_TEXT2, IDC_EFFECT_MAX_TEXT2},
};

void DrawEffectPreview(HWND dialog)
{
    PreviewCopy copy;
    if (!copy.dib())
        return;
    ApplyEffect(copy.pixels(), reinterpret_cast<const BITMAPINFOHEADER*>(copy.dib()), EffectSettings.effectKind,
                EffectSettings.levelId);
    DrawPreview(dialog, copy);
}

void Check(HWND dialog, int id, bool on)
{
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace

void InitEffectControls(HWND dialog)
{
    for (int id : kEffectButtons)
        Check(dialog, id, false);
    for (int id = kLevel8; id <= kLevel128; ++id)
        Check(dialog, id, false);
    Check(dialog, EffectSettings.effectKind, true);
    if (EffectSettings.effectKind != kEffectContrast)
        Check(dialog, EffectSettings.levelId, true);
    for (int c = 0; c < 3; ++c) {
        const BoundRow& row = kRows[c];
        ShowNumber(dialog, row.minText, ChannelRange.minimum[c]);
        ShowNumber(dialog, row.maxText, ChannelRange.maximum[c]);
        EffectSettings.lowerBound[c] = ChannelRange.minimum[c];
        EffectSettings.upperBound[c] = ChannelRange.maximum[c];
        InitScrollTriple(dialog, row.lowerBar, row.lowerText, 0, &EffectSettings.lowerBound[c], 0, 255);
        InitScrollTriple(dialog, row.upperBar, row.upperText, 0, &EffectSettings.upperBound[c], 0, 255);
    }
}

namespace {

void OnEffectScroll(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    Check(dialog, EffectSettings.effectKind, false);
    Check(dialog, EffectSettings.levelId, false);
    Check(dialog, kEffectContrast, true);
    const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    for (int c = 0; c < 3; ++c) {
        const BoundRow& row = kRows[c];
        int& lower = EffectSettings.lowerBound[c];
        int& upper = EffectSettings.upperBound[c];
        // Each bar stops at the other bound of its row: the bounds never cross.
        if (id == row.lowerBar)
            ScrollTriple(dialog, row.lowerBar, row.lowerText, 0, wParam, &lower, 0, upper);
        else if (id == row.upperBar)
            ScrollTriple(dialog, row.upperBar, row.upperText, 0, wParam, &upper, lower, 255);
    }
    EffectSettings.effectKind = kEffectContrast;
    DrawEffectPreview(dialog);
}

void OnEffectCommand(HWND dialog, int id)
{
    if (id == kEffectNegative || id == kEffectPosterize || id == kEffectSolarize || id == kEffectBinarize) {
        Check(dialog, kEffectContrast, false);
        Check(dialog, EffectSettings.levelId, true);
        EffectSettings.effectKind = id;
    } else if (id == kEffectContrast) {
        if (EffectSettings.effectKind != kEffectContrast)
            Check(dialog, EffectSettings.effectKind, false);
        Check(dialog, EffectSettings.levelId, false);
        Check(dialog, kEffectContrast, true);
        EffectSettings.effectKind = kEffectContrast;
    } else {  // a level width
        Check(dialog, kEffectContrast, false);
        if (EffectSettings.effectKind == kEffectContrast) {
            Check(dialog, kEffectNegative, true);
            EffectSettings.effectKind = kEffectNegative;
        }
        EffectSettings.levelId = id;
    }
    DrawEffectPreview(dialog);
}

}  // namespace

INT_PTR CALLBACK EffectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreWindow(dialog);
        if (MainDocument.dib)
            MeasureChannelRanges(WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height);
        InitEffectControls(dialog);
        CreatePreviewImage(dialog, &MainDocument);
        return TRUE;
    case WM_PAINT: {
        PaintDC paint(dialog);
        DrawEffectPreview(dialog);
        return TRUE;
    }
    case WM_HSCROLL:
        OnEffectScroll(dialog, wParam, lParam);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            FreePreviewImage();
            EndDialog(dialog, id == IDOK ? 1 : 2);
            return TRUE;
        }
        if ((id >= kEffectNegative && id <= kEffectBinarize) || (id >= kLevel8 && id <= kLevel128)) {
            OnEffectCommand(dialog, id);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

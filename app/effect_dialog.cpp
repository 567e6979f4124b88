#include "app/effect_dialog.h"

#include "app/control_kinds.h"
#include "app/dialog_helpers.h"
#include "app/gdi_guards.h"
#include "app/preview.h"
#include "app/settings.h"
#include "image/image_document.h"
#include "processing/effects.h"
#include "resources/resource.h"

namespace {

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
    ApplyEffect(Remembered.effect, copy.pixels(), reinterpret_cast<const BITMAPINFOHEADER*>(copy.dib()));
    DrawPreview(dialog, copy);
}

void Check(HWND dialog, int id, bool on)
{
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// The buttons of the effect and the band width in force.
int KindButtonInForce()
{
    return EffectButtonOf(Remembered.effect.kind);
}
int LevelButtonInForce()
{
    return LevelButtonOf(Remembered.effect.bandWidth);
}

}  // namespace

void InitEffectControls(HWND dialog, const ChannelRanges& ranges)
{
    EffectParams& effect = Remembered.effect;
    for (const EffectButton& b : kEffectButtons)
        Check(dialog, b.id, false);
    for (const LevelButton& b : kLevelButtons)
        Check(dialog, b.id, false);
    Check(dialog, KindButtonInForce(), true);
    if (effect.kind != EffectKind::Contrast)
        Check(dialog, LevelButtonInForce(), true);
    for (int c = 0; c < 3; ++c) {
        const BoundRow& row = kRows[c];
        ShowNumber(dialog, row.minText, ranges.minimum[c]);
        ShowNumber(dialog, row.maxText, ranges.maximum[c]);
        effect.lowerBound[c] = ranges.minimum[c];
        effect.upperBound[c] = ranges.maximum[c];
        InitScrollTriple(dialog, row.lowerBar, row.lowerText, 0, &effect.lowerBound[c], kEffectLowerBound.min,
                         kEffectLowerBound.max);
        InitScrollTriple(dialog, row.upperBar, row.upperText, 0, &effect.upperBound[c], kEffectUpperBound.min,
                         kEffectUpperBound.max);
    }
}

namespace {

void OnEffectScroll(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    EffectParams& effect = Remembered.effect;
    Check(dialog, KindButtonInForce(), false);
    Check(dialog, LevelButtonInForce(), false);
    Check(dialog, EffectButtonOf(EffectKind::Contrast), true);
    const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    for (int c = 0; c < 3; ++c) {
        const BoundRow& row = kRows[c];
        int& lower = effect.lowerBound[c];
        int& upper = effect.upperBound[c];
        // Each bar stops at the other bound of its row: the bounds never cross.
        if (id == row.lowerBar)
            ScrollTriple(dialog, row.lowerBar, row.lowerText, 0, wParam, &lower, kEffectLowerBound.min, upper);
        else if (id == row.upperBar)
            ScrollTriple(dialog, row.upperBar, row.upperText, 0, wParam, &upper, lower, kEffectUpperBound.max);
    }
    effect.kind = EffectKind::Contrast;
    DrawEffectPreview(dialog);
}

// A click on an effect's button (kind) or on a band width's (bandWidth).
void OnEffectCommand(HWND dialog, const EffectKind* kind, const int* bandWidth)
{
    EffectParams& effect = Remembered.effect;
    const int contrast = EffectButtonOf(EffectKind::Contrast);
    if (kind && *kind != EffectKind::Contrast) {
        Check(dialog, contrast, false);
        Check(dialog, LevelButtonInForce(), true);
        effect.kind = *kind;
    } else if (kind) {
        if (effect.kind != EffectKind::Contrast)
            Check(dialog, KindButtonInForce(), false);
        Check(dialog, LevelButtonInForce(), false);
        Check(dialog, contrast, true);
        effect.kind = EffectKind::Contrast;
    } else {
        Check(dialog, contrast, false);
        if (effect.kind == EffectKind::Contrast) {
            Check(dialog, EffectButtonOf(EffectKind::Negative), true);
            effect.kind = EffectKind::Negative;
        }
        effect.bandWidth = *bandWidth;
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
            Remembered.channelRanges =
                MeasureChannelRanges(WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height);
        InitEffectControls(dialog, Remembered.channelRanges);
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
        EffectKind kind;
        int bandWidth;
        if (EffectOfButton(id, &kind)) {
            OnEffectCommand(dialog, &kind, nullptr);
            return TRUE;
        }
        if (BandWidthOfButton(id, &bandWidth)) {
            OnEffectCommand(dialog, nullptr, &bandWidth);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

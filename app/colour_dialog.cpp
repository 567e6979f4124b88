#include "app/colour_dialog.h"

#include "app/dialog_helpers.h"
#include "app/gdi_guards.h"
#include "app/preview.h"
#include "app/settings.h"
#include "image/image_document.h"
#include "processing/colour_adjust.h"
#include "resources/resource.h"

namespace {

// Each bar shows its position less the neutral one.
struct Slider {
    int barId;
    int textId;
    int YshParams::*value;
    ParamRange range;
};

constexpr Slider kSliders[] = {
    {IDC_YSH_LUMINANCE, IDC_YSH_LUMINANCE_TEXT, &YshParams::luminance, kYshLuminance},
    {IDC_YSH_SATURATION, IDC_YSH_SATURATION_TEXT, &YshParams::saturation, kYshSaturation},
    {IDC_YSH_HUE, IDC_YSH_HUE_TEXT, &YshParams::hue, kYshHue},
};

void RenderColourPreview(HWND dialog)
{
    PreviewCopy copy;
    if (!copy.dib())
        return;
    ApplyColourAdjust(Remembered.ysh, copy.pixels(), copy.width(), copy.height());
    DrawPreview(dialog, copy);
}

}  // namespace

INT_PTR CALLBACK YshDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        Remembered.ysh = YshParams{};
        for (const Slider& s : kSliders)
            InitScrollTriple(dialog, s.barId, s.textId, s.range.def, &(Remembered.ysh.*s.value), s.range.min,
                             s.range.max);
        CentreWindow(dialog);
        CreatePreviewImage(dialog, &MainDocument);
        CheckDlgButton(dialog, IDC_YSH_CMYK, BST_UNCHECKED);
        Remembered.ysh.mode = ColourMode::Ysh;
        return TRUE;
    case WM_PAINT: {
        PaintDC paint(dialog);
        RenderColourPreview(dialog);
        return TRUE;
    }
    case WM_HSCROLL: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        for (const Slider& s : kSliders)
            if (s.barId == id)
                ScrollTriple(dialog, s.barId, s.textId, s.range.def, wParam, &(Remembered.ysh.*s.value),
                             s.range.min, s.range.max);
        CheckDlgButton(dialog, IDC_YSH_CMYK, BST_UNCHECKED);
        Remembered.ysh.mode = ColourMode::Ysh;
        RenderColourPreview(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_YSH_CMYK:
            Remembered.ysh.mode =
                IsDlgButtonChecked(dialog, IDC_YSH_CMYK) == BST_CHECKED ? ColourMode::Cmyk : ColourMode::Ysh;
            RenderColourPreview(dialog);
            return TRUE;
        case IDOK:
            FreePreviewImage();
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            FreePreviewImage();
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

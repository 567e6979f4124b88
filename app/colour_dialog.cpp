#include "app/colour_dialog.h"

#include "app/dialog_helpers.h"
#include "app/gdi_guards.h"
#include "app/preview.h"
#include "image/image_document.h"
#include "processing/colour_adjust.h"
#include "resources/resource.h"

// The CMYK check box's id doubles as the engine's CMYK mode.
static_assert(kColourModeCmyk == IDC_YSH_CMYK);

namespace {

struct Slider {
    int barId;
    int textId;
    int* value;
    int maximum;
    int offset;  // the value shown is the position less this
};

Slider* Sliders()
{
    static Slider sliders[] = {
        {IDC_YSH_LUMINANCE, IDC_YSH_LUMINANCE_TEXT, &YshSettings.luminance, 200, 100},
        {IDC_YSH_SATURATION, IDC_YSH_SATURATION_TEXT, &YshSettings.saturation, 200, 100},
        {IDC_YSH_HUE, IDC_YSH_HUE_TEXT, &YshSettings.hue, 360, 180},
    };
    return sliders;
}

void RenderColourPreview(HWND dialog)
{
    PreviewCopy copy;
    if (!copy.dib())
        return;
    ApplyColourAdjust(copy.pixels(), copy.width(), copy.height());
    DrawPreview(dialog, copy);
}

}  // namespace

INT_PTR CALLBACK YshDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        ResetColourAdjust();
        for (int i = 0; i < 3; ++i) {
            const Slider& s = Sliders()[i];
            InitScrollTriple(dialog, s.barId, s.textId, s.offset, s.value, 0, s.maximum);
        }
        CentreWindow(dialog);
        CreatePreviewImage(dialog, &MainDocument);
        CheckDlgButton(dialog, IDC_YSH_CMYK, BST_UNCHECKED);
        ColourAdjustMode = kColourModeYsh;
        return TRUE;
    case WM_PAINT: {
        PaintDC paint(dialog);
        RenderColourPreview(dialog);
        return TRUE;
    }
    case WM_HSCROLL: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        for (int i = 0; i < 3; ++i) {
            const Slider& s = Sliders()[i];
            if (s.barId == id)
                ScrollTriple(dialog, s.barId, s.textId, s.offset, wParam, s.value, 0, s.maximum);
        }
        CheckDlgButton(dialog, IDC_YSH_CMYK, BST_UNCHECKED);
        ColourAdjustMode = kColourModeYsh;
        RenderColourPreview(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_YSH_CMYK:
            ColourAdjustMode =
                IsDlgButtonChecked(dialog, IDC_YSH_CMYK) == BST_CHECKED ? kColourModeCmyk : kColourModeYsh;
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

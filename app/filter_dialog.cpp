#include "app/filter_dialog.h"

#include "app/dialog_helpers.h"
#include "app/gdi_guards.h"
#include "app/preview.h"
#include "image/image_document.h"
#include "processing/filters.h"
#include "resources/resource.h"

#include <cstdio>
#include <cstdlib>

int kernelEditsBlocked = 1;

namespace {

struct StrengthBar {
    int radioId;
    int barId;
    int textId;
    int* strength;
};

StrengthBar* Bars()
{
    static StrengthBar bars[] = {
        {IDC_FILTER_SHARPEN, IDC_FILTER_SHARPEN_BAR, IDC_FILTER_SHARPEN_TEXT, &FilterSettings.sharpenStrength},
        {IDC_FILTER_SOFT, IDC_FILTER_SOFT_BAR, IDC_FILTER_SOFT_TEXT, &FilterSettings.softStrength},
        {IDC_FILTER_EMBOSS, IDC_FILTER_EMBOSS_BAR, IDC_FILTER_EMBOSS_TEXT, &FilterSettings.embossStrength},
        {IDC_FILTER_CUSTOM, IDC_FILTER_CUSTOM_BAR, IDC_FILTER_CUSTOM_TEXT, &FilterSettings.customStrength},
    };
    return bars;
}
constexpr int kBarCount = 4;

// Box (row, column) as laid out on screen: row 0 is the row above the
// pixel, which the engine's block keeps last.
int KernelBox(int screenRow, int column)
{
    return IDC_FILTER_KERNEL_FIRST + screenRow * 3 + column;
}
int& KernelEntry(int screenRow, int column)
{
    return FilterSettings.customKernel[2 - screenRow][column];
}

void SelectFilter(HWND dialog, int kind)
{
    FilterSettings.filterKind = kind;
    for (int i = 0; i < kBarCount; ++i)
        CheckDlgButton(dialog, Bars()[i].radioId, Bars()[i].radioId == kind ? BST_CHECKED : BST_UNCHECKED);
}

void DrawFilterPreview(HWND dialog)
{
    PreviewCopy copy;
    if (!copy.block())
        return;
    if (ApplyNeighbourhoodFilter(dialog, copy.block()) != 0)
        return;
    DrawPreview(dialog, copy);
}

void ReadKernelBoxes(HWND dialog)
{
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            char text[256] = {};
            GetDlgItemTextA(dialog, KernelBox(row, column), text, sizeof text);
            int value = std::atoi(text);
            if (value < kKernelValueMin || value > kKernelValueMax) {
                value = 1;
                kernelEditsBlocked = 1;  // our own rewrite is not the user's edit
                SetDlgItemTextA(dialog, KernelBox(row, column), "1");
                kernelEditsBlocked = 0;
            }
            KernelEntry(row, column) = value;
        }
}

void OnFilterInit(HWND dialog)
{
    ProcessingMode = 1;
    CentreWindow(dialog);
    CheckDlgButton(dialog, FilterSettings.filterKind, BST_CHECKED);
    for (int i = 0; i < kBarCount; ++i)
        InitScrollTriple(dialog, Bars()[i].barId, Bars()[i].textId, 0, Bars()[i].strength, kFilterStrengthMin,
                         kFilterStrengthMax);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            char text[16];
            std::snprintf(text, sizeof text, "%d", KernelEntry(row, column));
            SetDlgItemTextA(dialog, KernelBox(row, column), text);
        }
    CreatePreviewImage(dialog, &MainDocument);
    DrawFilterPreview(dialog);
    kernelEditsBlocked = 0;
}

void OnFilterScroll(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    const int barId = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    for (int i = 0; i < kBarCount; ++i) {
        const StrengthBar& bar = Bars()[i];
        if (bar.barId != barId)
            continue;
        SelectFilter(dialog, bar.radioId);
        ScrollTriple(dialog, bar.barId, bar.textId, 0, wParam, bar.strength, kFilterStrengthMin, kFilterStrengthMax);
    }
    DrawFilterPreview(dialog);
}

void EndFilterDialog(HWND dialog, int result)
{
    FreePreviewImage();
    kernelEditsBlocked = 1;
    EndDialog(dialog, result);
}

}  // namespace

INT_PTR CALLBACK FilterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnFilterInit(dialog);
        return TRUE;
    case WM_PAINT: {
        PaintDC paint(dialog);
        DrawFilterPreview(dialog);
        return TRUE;
    }
    case WM_HSCROLL:
        OnFilterScroll(dialog, wParam, lParam);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        switch (id) {
        case IDOK:
            EndFilterDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndFilterDialog(dialog, 2);
            return TRUE;
        case IDC_FILTER_SHARPEN:
        case IDC_FILTER_SOFT:
        case IDC_FILTER_EMBOSS:
        case IDC_FILTER_CUSTOM:
            FilterSettings.filterKind = id;
            DrawFilterPreview(dialog);
            return TRUE;
        default:
            if (id >= IDC_FILTER_KERNEL_FIRST && id <= IDC_FILTER_KERNEL_LAST && HIWORD(wParam) == EN_CHANGE) {
                if (kernelEditsBlocked)
                    return TRUE;
                ReadKernelBoxes(dialog);
                SelectFilter(dialog, kFilterCustom);
                DrawFilterPreview(dialog);
                return TRUE;
            }
            return FALSE;
        }
    }
    default:
        return FALSE;
    }
}

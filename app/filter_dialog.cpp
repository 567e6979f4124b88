#include "app/filter_dialog.h"

#include "app/control_kinds.h"
#include "app/dialog_helpers.h"
#include "app/gdi_guards.h"
#include "app/preview.h"
#include "app/settings.h"
#include "image/image_document.h"
#include "processing/filters.h"
#include "resources/resource.h"

#include <cstdio>
#include <cstdlib>

int kernelEditsBlocked = 1;

namespace {

// Box (row, column) as laid out on screen: row 0 is the row above the
// pixel, which the engine's block keeps last.
int KernelBox(int screenRow, int column)
{
    return IDC_FILTER_KERNEL_FIRST + screenRow * 3 + column;
}
int& KernelEntry(int screenRow, int column)
{
    return Remembered.filter.customKernel[2 - screenRow][column];
}

void SelectFilter(HWND dialog, FilterKind kind)
{
    Remembered.filter.kind = kind;
    for (const FilterButton& b : kFilterButtons)
        CheckDlgButton(dialog, b.radioId, b.kind == kind ? BST_CHECKED : BST_UNCHECKED);
}

void DrawFilterPreview(HWND dialog)
{
    PreviewCopy copy;
    if (!copy.block())
        return;
    if (ApplyNeighbourhoodFilter(FilterParamsOf(Remembered.filter), copy.block()) != Failure::None)
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
            if (!kKernelValue.Contains(value)) {
                // The default weight, as the box shows it.
                static_assert(kKernelValue.def == 1);
                value = kKernelValue.def;
                kernelEditsBlocked = 1;  // our own rewrite is not the user's edit
                SetControlText(dialog, KernelBox(row, column), "1");
                kernelEditsBlocked = 0;
            }
            KernelEntry(row, column) = value;
        }
}

void OnFilterInit(HWND dialog)
{
    CentreWindow(dialog);
    CheckDlgButton(dialog, FilterButtonOf(Remembered.filter.kind).radioId, BST_CHECKED);
    for (const FilterButton& b : kFilterButtons)
        InitScrollTriple(dialog, b.barId, b.textId, 0, &StrengthOf(Remembered.filter, b.kind), kFilterStrength.min,
                         kFilterStrength.max);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            char text[16];
            std::snprintf(text, sizeof text, "%d", KernelEntry(row, column));
            SetControlText(dialog, KernelBox(row, column), text);
        }
    CreatePreviewImage(dialog, &MainDocument);
    DrawFilterPreview(dialog);
    kernelEditsBlocked = 0;
}

void OnFilterScroll(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    const int barId = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    for (const FilterButton& b : kFilterButtons) {
        if (b.barId != barId)
            continue;
        SelectFilter(dialog, b.kind);
        ScrollTriple(dialog, b.barId, b.textId, 0, wParam, &StrengthOf(Remembered.filter, b.kind),
                     kFilterStrength.min, kFilterStrength.max);
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
        FilterKind kind;
        switch (id) {
        case IDOK:
            EndFilterDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndFilterDialog(dialog, 2);
            return TRUE;
        default:
            if (FilterOfButton(id, &kind)) {
                Remembered.filter.kind = kind;
                DrawFilterPreview(dialog);
                return TRUE;
            }
            if (id >= IDC_FILTER_KERNEL_FIRST && id <= IDC_FILTER_KERNEL_LAST && HIWORD(wParam) == EN_CHANGE) {
                if (kernelEditsBlocked)
                    return TRUE;
                ReadKernelBoxes(dialog);
                SelectFilter(dialog, FilterKind::Custom);
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

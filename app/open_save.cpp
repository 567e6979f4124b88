#include "app/open_save.h"

#include "app/dialog_helpers.h"
#include "app/file_settings.h"
#include "app/messages.h"
#include "app/wait_cursor.h"
#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>

namespace {

constexpr char kFileFilter[] = "ビットマップファイル(*.bmp)\0 *.bmp\0JPEGファイル(*.jpg)\0 *.jpg\0";
constexpr DWORD kPathBytes = sizeof(ImageDocument::path);
constexpr int kFileTypeCombo = 1136;  // cmb1 of the explorer dialog
constexpr int kFileNameEdit = 1152;   // edt1: the name box of older dialogs
constexpr int kFileNameCombo = 1148;  // cmb13: the name box of newer ones

void SetUpFileDialog(OPENFILENAMEA* ofn, HWND window, char* path, LPOFNHOOKPROC hook, DWORD flags)
{
    *ofn = OPENFILENAMEA{};
    ofn->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn->hwndOwner = window;
    ofn->lpstrFilter = kFileFilter;
    ofn->nFilterIndex = static_cast<DWORD>(FileTypeIndex);
    ofn->lpstrFile = path;
    ofn->nMaxFile = kPathBytes;
    ofn->lpstrDefExt = "bmp";
    ofn->lpfnHook = hook;
    ofn->Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK | OFN_HIDEREADONLY | flags;
}

// With an explorer-style hook the procedure runs in a child of the dialog
// the user sees.
HWND VisibleDialog(HWND hookDialog)
{
    HWND parent = GetParent(hookDialog);
    return parent ? parent : hookDialog;
}

// The edit control that holds the file name: edt1, or the edit inside the
// cmb13 combo box that newer dialogs use instead.
HWND FileNameEdit(HWND fileDialog)
{
    if (HWND edit = GetDlgItem(fileDialog, kFileNameEdit))
        return edit;
    HWND combo = GetDlgItem(fileDialog, kFileNameCombo);
    if (!combo)
        return nullptr;
    HWND inner = reinterpret_cast<HWND>(SendMessageA(combo, CBEM_GETEDITCONTROL, 0, 0));
    if (!inner)
        inner = FindWindowExA(combo, nullptr, "Edit", nullptr);
    if (!inner) {
        HWND box = FindWindowExA(combo, nullptr, "ComboBox", nullptr);
        inner = box ? FindWindowExA(box, nullptr, "Edit", nullptr) : nullptr;
    }
    return inner ? inner : combo;
}

// The reader of the file type (1 BMP, 2 JPEG), under the wait cursor.
Outcome ReadPicture(int type, ImageDocument* doc)
{
    WaitCursor wait;
    return type == 1 ? ReadBmpFile(doc) : ReadJpegFile(doc);
}

// The writer of the file type, with the remembered settings, under the
// wait cursor.
Outcome WritePicture(int type, ImageDocument* doc)
{
    WaitCursor wait;
    return type == 1 ? WriteBmpFile(doc, RememberedBmpSettings()) : WriteJpegFile(doc, RememberedJpegSettings());
}

}  // namespace

bool SwitchExtension(char* text, std::size_t capacity, int entry)
{
    const char* extension = entry == 0 ? ".bmp" : entry == 1 ? ".jpg" : nullptr;
    if (!extension)
        return false;
    // Walk the name a character at a time: the second byte of a double-byte
    // character may look like a backslash.
    const std::size_t length = std::strlen(text);
    std::size_t nameStart = 0;
    std::size_t end = length;
    for (std::size_t i = 0; i < length;) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < length) {
            i += 2;
            continue;
        }
        if (text[i] == '\\' || text[i] == '/') {
            nameStart = i + 1;
            end = length;
        } else if (text[i] == '.' && i >= nameStart) {
            end = i;
        }
        ++i;
    }
    if (end + std::strlen(extension) + 1 > capacity)
        return false;
    std::memcpy(text + end, extension, std::strlen(extension) + 1);
    return true;
}

UINT_PTR CALLBACK OpenDialogHook(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        CentreWindow(VisibleDialog(dialog));
    return 0;
}

UINT_PTR CALLBACK SaveDialogHook(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        CentreWindow(VisibleDialog(dialog));
    } else if (message == WM_NOTIFY) {
        const auto* notify = reinterpret_cast<const OFNOTIFYA*>(lParam);
        if (notify->hdr.code == CDN_TYPECHANGE) {
            HWND fileDialog = VisibleDialog(dialog);
            const int entry = static_cast<int>(SendDlgItemMessageA(fileDialog, kFileTypeCombo, CB_GETCURSEL, 0, 0));
            HWND nameEdit = FileNameEdit(fileDialog);
            char name[kPathBytes] = {};
            // A name longer than the buffer is left as the user typed it
            // rather than switched from a cut copy.
            if (nameEdit && GetWindowTextLengthA(nameEdit) < static_cast<int>(sizeof name)) {
                GetWindowTextA(nameEdit, name, sizeof name);
                if (SwitchExtension(name, sizeof name, entry))
                    SetWindowTextA(nameEdit, name);
            }
        }
    }
    return 0;
}

int ChooseOpenFile(HWND window, char* path)
{
    OPENFILENAMEA ofn;
    SetUpFileDialog(&ofn, window, path, OpenDialogHook, 0);
    if (!GetOpenFileNameA(&ofn))
        return -1;
    return static_cast<int>(ofn.nFilterIndex);
}

int ChooseSaveFile(HWND window, char* path)
{
    OPENFILENAMEA ofn;
    SetUpFileDialog(&ofn, window, path, SaveDialogHook, OFN_OVERWRITEPROMPT);
    if (!GetSaveFileNameA(&ofn))
        return -1;
    return static_cast<int>(ofn.nFilterIndex);
}

int OpenImageCommand(HWND window, ImageDocument* doc)
{
    if (doc->isModified) {
        const int answer = Ask(window, Text::UnsavedQuestion, Text::CommandCaption, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return 0;
        if (answer == IDYES) {
            // Only a picture that reached its file may be replaced.
            bool saved = false;
            SaveImageCommand(window, doc, &saved);
            if (!saved)
                return 0;
        }
    }

    // The dialog edits a copy: a cancelled or failed open keeps the name of
    // the picture that stays.
    char path[kPathBytes];
    std::memcpy(path, doc->path, kPathBytes);
    const int type = ChooseOpenFile(window, path);
    if (type != 1 && type != 2)
        return -1;
    FileTypeIndex = type;

    char previous[kPathBytes];
    std::memcpy(previous, doc->path, kPathBytes);
    std::memcpy(doc->path, path, kPathBytes);
    const Outcome outcome = ReadPicture(type, doc);
    ShowOutcome(window, outcome);
    if (!outcome.ok()) {
        std::memcpy(doc->path, previous, kPathBytes);
        return 0;
    }
    doc->isModified = 0;
    doc->bitsOffset = kWorkDibHeaderBytes;
    ComputeLuminance(doc);
    return 0;
}

int SaveImageCommand(HWND window, ImageDocument* doc, bool* saved)
{
    if (saved)
        *saved = false;
    if (!doc->isLoaded) {
        ReportError(window, Text::NothingLoaded);
        return -1;
    }
    if (doc->path[0] == '\0')
        std::strcpy(doc->path, "SampleImage");

    // The dialog edits a copy: the picture takes the new name only when it
    // reached that file.
    char path[kPathBytes];
    std::memcpy(path, doc->path, kPathBytes);
    const int type = ChooseSaveFile(window, path);
    if (type != 1 && type != 2)
        return -1;
    auto* instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    if (DialogBoxParamA(instance, type == 1 ? RES_DLG_COLORDEPTH : RES_DLG_JPEG, window,
                        type == 1 ? ColorDepthDialogProc : JpegDialogProc, 0) != 1)
        return 0;
    char previous[kPathBytes];
    std::memcpy(previous, doc->path, kPathBytes);
    std::memcpy(doc->path, path, kPathBytes);
    const Outcome outcome = WritePicture(type, doc);
    ShowOutcome(window, outcome);
    if (!outcome.ok())
        std::memcpy(doc->path, previous, kPathBytes);
    if (outcome.ok()) {
        doc->isModified = 0;
        if (saved)
            *saved = true;
    }
    return 0;
}

INT_PTR CALLBACK ColorDepthDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CheckDlgButton(dialog, IDC_DEPTH_16, BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_DEPTH_24, BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_DEPTH_32, BST_UNCHECKED);
        CheckDlgButton(dialog, BmpSaveDepth == 16 ? IDC_DEPTH_16 : BmpSaveDepth == 32 ? IDC_DEPTH_32 : IDC_DEPTH_24,
                       BST_CHECKED);
        CentreWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_DEPTH_16:
            BmpSaveDepth = 16;
            return TRUE;
        case IDC_DEPTH_24:
            BmpSaveDepth = 24;
            return TRUE;
        case IDC_DEPTH_32:
            BmpSaveDepth = 32;
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK JpegDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitScrollTriple(dialog, IDC_JPEG_QUALITY, IDC_JPEG_QUALITY_TEXT, 0, &JpegQualityStep, 0,
                         kJpegQualityStepMax);
        CentreWindow(dialog);
        return TRUE;
    case WM_HSCROLL:
        ScrollTriple(dialog, IDC_JPEG_QUALITY, IDC_JPEG_QUALITY_TEXT, 0, wParam, &JpegQualityStep, 0,
                     kJpegQualityStepMax);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            JpegProgressive = IsDlgButtonChecked(dialog, IDC_JPEG_PROGRESSIVE) == BST_CHECKED ? 1 : 0;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

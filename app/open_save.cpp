#include "app/open_save.h"

#include "app/dialog_helpers.h"
#include "app/edit_commands.h"
#include "app/file_settings.h"
#include "app/language.h"
#include "app/messages.h"
#include "app/wait_cursor.h"
#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "platform/utf16.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <string>

namespace {

constexpr DWORD kPathBytes = sizeof(ImageDocument::path);
constexpr int kFileTypeCombo = 1136;  // cmb1 of the explorer dialog
constexpr int kFileNameEdit = 1152;   // edt1: the name box of older dialogs
constexpr int kFileNameCombo = 1148;  // cmb13: the name box of newer ones

// The file dialogs' titles and file-type lists (entry 1 BMP, entry 2 JPEG),
// wide so that they read the same under every code page.
struct FileDialogTexts {
    const wchar_t* openTitle;
    const wchar_t* saveTitle;
    const wchar_t* filter;  // pairs of a shown name and its patterns
};

constexpr FileDialogTexts kJapaneseDialogs = {
    L"開く", L"名前を付けて保存", L"ビットマップファイル(*.bmp)\0 *.bmp\0JPEGファイル(*.jpg)\0 *.jpg\0"};
constexpr FileDialogTexts kEnglishDialogs = {
    L"Open", L"Save As", L"Bitmap (*.bmp)\0*.bmp\0JPEG (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0"};

const FileDialogTexts& DialogTexts()
{
    return ProgramLanguage() == UiLanguage::English ? kEnglishDialogs : kJapaneseDialogs;
}

// Room for far longer names than a picture may have: the dialog hands back
// what was chosen, and a name over kMaxPathUnits is refused with a message
// rather than cut.
constexpr DWORD kDialogNameChars = 4096;

void SetUpFileDialog(OPENFILENAMEW* ofn, HWND window, std::wstring* name, bool save)
{
    const FileDialogTexts& texts = DialogTexts();
    *ofn = OPENFILENAMEW{};
    ofn->lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn->hwndOwner = window;
    ofn->lpstrFilter = texts.filter;
    ofn->nFilterIndex = static_cast<DWORD>(FileTypeIndex);
    ofn->lpstrFile = name->data();
    ofn->nMaxFile = static_cast<DWORD>(name->size());
    ofn->lpstrTitle = save ? texts.saveTitle : texts.openTitle;
    ofn->lpstrDefExt = L"bmp";
    ofn->lpfnHook = save ? SaveDialogHook : OpenDialogHook;
    ofn->Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK | OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT : 0);
}

// The dialog's buffer, holding the proposed name (UTF-8 in the record).
std::wstring DialogBuffer(const char* proposed)
{
    std::wstring name = WideFromUtf8(proposed);
    if (name.size() >= kDialogNameChars)
        name.clear();
    name.resize(kDialogNameChars, L'\0');
    return name;
}

// The chosen name as the record keeps it; false when it is longer than
// kMaxPathUnits.
bool TakeChosenName(const std::wstring& buffer, char (&path)[kPathBytes])
{
    const std::string utf8 = Utf8FromWide(buffer.c_str());
    if (!PathFits(utf8))
        return false;
    std::memcpy(path, utf8.c_str(), utf8.size() + 1);
    return true;
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

// The type of a picture file by its first bytes: 2 for a JPEG (FF D8 FF),
// otherwise 1, whose reader takes a bitmap ("BM") and says of anything
// else that it is not one.
int PictureTypeOf(const char* path)
{
    unsigned char head[3] = {};
    std::size_t got = 0;
    if (std::FILE* file = OpenFileUtf8(path, "rb")) {
        got = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    return got == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF ? 2 : 1;
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
    // In UTF-8 every byte of a character beyond ASCII is 0x80 or more, so a
    // slash, backslash or dot byte is always that character.
    const std::size_t length = std::strlen(text);
    std::size_t nameStart = 0;
    std::size_t end = length;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\\' || text[i] == '/') {
            nameStart = i + 1;
            end = length;
        } else if (text[i] == '.' && i >= nameStart) {
            end = i;
        }
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
        const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
        if (notify->hdr.code == CDN_TYPECHANGE) {
            HWND fileDialog = VisibleDialog(dialog);
            const int entry = static_cast<int>(SendDlgItemMessageW(fileDialog, kFileTypeCombo, CB_GETCURSEL, 0, 0));
            HWND nameEdit = FileNameEdit(fileDialog);
            // A name longer than a picture's may be is left as the user
            // typed it rather than switched from a cut copy.
            if (nameEdit && GetWindowTextLengthW(nameEdit) <= static_cast<int>(kMaxPathUnits)) {
                wchar_t typed[kMaxPathUnits + 1] = {};
                GetWindowTextW(nameEdit, typed, kMaxPathUnits + 1);
                char name[kPathBytes] = {};
                const std::string utf8 = Utf8FromWide(typed);
                std::memcpy(name, utf8.c_str(), utf8.size() + 1);
                if (SwitchExtension(name, sizeof name, entry) && PathFits(name))
                    SetWindowTextW(nameEdit, WideFromUtf8(name).c_str());
            }
        }
    }
    return 0;
}

int ChooseOpenFile(HWND window, const char* path, std::wstring* chosen)
{
    std::wstring name = DialogBuffer(path);
    OPENFILENAMEW ofn;
    SetUpFileDialog(&ofn, window, &name, false);
    if (!GetOpenFileNameW(&ofn))
        return -1;
    *chosen = name.c_str();
    return static_cast<int>(ofn.nFilterIndex);
}

int ChooseSaveFile(HWND window, const char* path, std::wstring* chosen)
{
    std::wstring name = DialogBuffer(path);
    OPENFILENAMEW ofn;
    SetUpFileDialog(&ofn, window, &name, true);
    if (!GetSaveFileNameW(&ofn))
        return -1;
    *chosen = name.c_str();
    return static_cast<int>(ofn.nFilterIndex);
}

namespace {

// Unsaved work is never thrown away: true when the picture may be
// replaced (not modified, the user let it go, or it reached its file).
bool MayReplace(HWND window, ImageDocument* doc)
{
    if (!doc->isModified)
        return true;
    const int answer = Ask(window, Text::UnsavedQuestion, Text::CommandCaption, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return false;
    if (answer == IDYES) {
        bool saved = false;
        SaveImageCommand(window, doc, &saved);
        return saved;
    }
    return true;
}

// Reads the named file with the reader its first bytes call for.  A failed
// read is reported and keeps the picture and its name; a read picture
// takes the name, and FileTypeIndex becomes its type.
void ReadNamedFile(HWND window, ImageDocument* doc, const std::wstring& name)
{
    char path[kPathBytes];
    if (!TakeChosenName(name, path)) {
        ShowOutcome(window, Fail(Failure::OpenFailed));
        return;
    }
    char previous[kPathBytes];
    std::memcpy(previous, doc->path, kPathBytes);
    std::memcpy(doc->path, path, kPathBytes);
    const int type = PictureTypeOf(doc->path);
    // The old picture's history goes before the new picture takes memory.
    ForgetHistoryOf(doc);
    const Outcome outcome = ReadPicture(type, doc);
    ShowOutcome(window, outcome);
    if (!outcome.ok()) {
        std::memcpy(doc->path, previous, kPathBytes);
        return;
    }
    FileTypeIndex = type;
    doc->isModified = 0;
    ForgetHistoryOf(doc);
    doc->bitsOffset = kWorkDibHeaderBytes;
    ComputeLuminance(doc);
}

}  // namespace

int OpenImageCommand(HWND window, ImageDocument* doc)
{
    if (!MayReplace(window, doc))
        return 0;
    std::wstring chosen;
    const int type = ChooseOpenFile(window, doc->path, &chosen);
    if (type != 1 && type != 2)
        return -1;
    // The entry shown stays remembered when the read fails.
    FileTypeIndex = type;
    ReadNamedFile(window, doc, chosen);
    return 0;
}

int OpenNamedFileCommand(HWND window, ImageDocument* doc, const std::wstring& name)
{
    if (MayReplace(window, doc))
        ReadNamedFile(window, doc, name);
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

    // The picture takes the new name only when it reached that file.
    std::wstring chosen;
    const int type = ChooseSaveFile(window, doc->path, &chosen);
    if (type != 1 && type != 2)
        return -1;
    char path[kPathBytes];
    if (!TakeChosenName(chosen, path)) {
        ShowOutcome(window, Fail(Failure::CreateFailed));
        return 0;
    }
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
        MarkHistorySaved(doc);
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

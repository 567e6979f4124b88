#include "app/open_save.h"

#include "app/dialog_helpers.h"
#include "app/edit_commands.h"
#include "app/file_settings.h"
#include "app/language.h"
#include "app/messages.h"
#include "app/photo_state.h"
#include "app/wait_cursor.h"
#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "files/metadata_copy.h"
#include "files/picture_io.h"
#include "files/png_file.h"
#include "files/webp_file.h"
#include "image/blocks.h"
#include "platform/utf16.h"
#include "processing/orientation.h"
#include "processing/transparency.h"
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

// The file dialogs' titles and file-type lists (the entries of
// kFileTypeEntries), wide so that they read the same under every code page.
struct FileDialogTexts {
    const wchar_t* openTitle;
    const wchar_t* saveTitle;
    const wchar_t* openFilter;  // pairs of a shown name and its patterns
    const wchar_t* saveFilter;
};

#define QV_JA_TYPES                                                                                           \
    L"ビットマップファイル(*.bmp)\0 *.bmp\0JPEGファイル(*.jpg)\0 *.jpg\0PNGファイル(*.png)\0*.png\0" \
    L"WebPファイル(*.webp)\0*.webp\0"
#define QV_EN_TYPES                                                                                   \
    L"Bitmap (*.bmp)\0*.bmp\0JPEG (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0PNG (*.png)\0*.png\0WebP (*.webp)\0" \
    L"*.webp\0"

constexpr FileDialogTexts kJapaneseDialogs = {
    L"開く", L"名前を付けて保存",
    L"すべての画像(*.bmp;*.jpg;*.png;*.webp)\0*.bmp;*.jpg;*.jpeg;*.png;*.webp\0" QV_JA_TYPES, QV_JA_TYPES};
constexpr FileDialogTexts kEnglishDialogs = {
    L"Open", L"Save As",
    L"All pictures (*.bmp;*.jpg;*.jpeg;*.png;*.webp)\0*.bmp;*.jpg;*.jpeg;*.png;*.webp\0" QV_EN_TYPES, QV_EN_TYPES};
#undef QV_JA_TYPES
#undef QV_EN_TYPES

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
    ofn->lpstrFilter = save ? texts.saveFilter : texts.openFilter;
    ofn->nFilterIndex = static_cast<DWORD>(save ? SaveEntryOfType(FileTypeIndex) : OpenEntryOfType(FileTypeIndex));
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

// The reader a picture file needs, by its first bytes: BMP, JPEG (FF D8
// FF: the start of image and a marker), PNG or WebP.  Anything else goes to
// the BMP reader, which says that it is not a bitmap.
int PictureTypeOf(const char* path)
{
    unsigned char head[12] = {};
    std::size_t got = 0;
    if (std::FILE* file = OpenFileUtf8(path, "rb")) {
        got = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    const int type = SignatureType(head, got);
    if (type == kTypeJpeg && (got < 3 || head[2] != 0xFF))
        return kTypeBmp;
    return type != 0 ? type : kTypeBmp;
}

}  // namespace

bool SwitchExtension(char* text, std::size_t capacity, int entry)
{
    const int type = TypeOfSaveEntry(entry + 1);
    if (type == 0)
        return false;
    const char* extension = TypeExtension(type);
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

// What the last open left to say once its picture is shown: that the
// file's metadata could not be read.
bool MetadataNoticePending = false;

// Turns doc's picture and MainPhoto's alpha upright as the EXIF orientation
// says; false (reported) when there is no memory to do so.
bool TurnUpright(HWND window, ImageDocument* doc, int orientation)
{
    PictureBlock turned = OrientPicture(orientation, WorkDibPixels(doc->dib), doc->width, doc->height, MainPhoto.alpha);
    if (turned.failure != Failure::None) {
        ShowOutcome(window, Fail(turned.failure));
        return false;
    }
    Outcome outcome;
    AdoptWorkDib(doc, turned.block, turned.width, turned.height, &outcome);
    MainPhoto.alpha.swap(turned.alpha);
    ShowOutcome(window, outcome);
    return true;
}

// After a read of type into doc: MainPhoto takes the picture's alpha, and
// from a photograph's file its metadata, kept in memory, and the pixels are
// turned upright.  A file whose metadata cannot be read opens without it.
void TakePhoto(HWND window, ImageDocument* doc, int type, std::vector<std::uint8_t>* alpha)
{
    MainPhoto = OpenPhoto{};
    MainPhoto.alpha.swap(*alpha);
    MainPhoto.sourceType = type;
    if (type == kTypeBmp)
        return;
    const MetadataSettings everything{MetadataKeep::All, doc->width, doc->height, false};
    if (!ReadPhotoMetadata(doc->path, everything, &MainPhoto.metadata).ok()) {
        MainPhoto.metadata = {};
        MetadataNoticePending = true;
        return;
    }
    if (const int orientation = PhotoOrientation(MainPhoto.metadata); orientation != 1)
        MainPhoto.oriented = TurnUpright(window, doc, orientation);
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
    std::vector<std::uint8_t> alpha;
    Outcome outcome;
    {
        WaitCursor wait;
        outcome = ReadPictureFile(doc, type, &alpha);
    }
    ShowOutcome(window, outcome);
    if (!outcome.ok()) {
        std::memcpy(doc->path, previous, kPathBytes);
        return;
    }
    FileTypeIndex = type;
    doc->isModified = 0;
    ForgetHistoryOf(doc);
    doc->bitsOffset = kWorkDibHeaderBytes;
    TakePhoto(window, doc, type, &alpha);
    ComputeLuminance(doc);
}

// --- Saving ---------------------------------------------------------------------

// The settings dialog of each type, by type - 1.
struct SettingsDialog {
    const char* resource;
    DLGPROC procedure;
};
constexpr SettingsDialog kSettingsDialogs[] = {
    {RES_DLG_COLORDEPTH, ColorDepthDialogProc},
    {RES_DLG_JPEG, JpegDialogProc},
    {RES_DLG_PNG, PngDialogProc},
    {RES_DLG_WEBP, WebpDialogProc},
};

// MainPhoto's alpha when it belongs to doc's picture, else null.
const std::uint8_t* AlphaOf(const ImageDocument* doc)
{
    const std::size_t pixels = static_cast<std::size_t>(doc->width) * static_cast<std::size_t>(doc->height);
    return !MainPhoto.alpha.empty() && MainPhoto.alpha.size() == pixels ? MainPhoto.alpha.data() : nullptr;
}

bool NeedsBackground(const ImageDocument* doc, int type)
{
    const std::uint8_t* alpha = AlphaOf(doc);
    return (type == kTypeBmp || type == kTypeJpeg) && alpha &&
           HasTransparency({alpha, MainPhoto.alpha.size()});
}

UINT_PTR CALLBACK BackgroundHook(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SetWindowTextW(dialog, WideFromUtf8(ProgramText(Text::BackgroundTitle)).c_str());
        CentreWindow(dialog);
    }
    return 0;
}

// The colour dialog for the background of a transparent picture saved as
// BMP or JPEG; false when cancelled.
bool ChooseBackground(HWND window)
{
    CHOOSECOLORW choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = window;
    choice.rgbResult = TransparencyBackground;
    choice.lpCustColors = BackgroundCustomColours;
    choice.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
    choice.lpfnHook = BackgroundHook;
    if (!ChooseColorW(&choice))
        return false;
    TransparencyBackground = choice.rgbResult;
    return true;
}

// What the written file keeps of the opened file's metadata, for type and
// the settings; *dropped tells when there was some that cannot be carried.
PhotoMetadata MetadataToWrite(const ImageDocument* doc, int type, bool* dropped)
{
    PhotoMetadata kept;
    if (type == kTypeBmp || MainPhoto.metadata.empty())
        return kept;
    const MetadataSettings settings{SaveMetadata, doc->width, doc->height, MainPhoto.oriented};
    if (!FilterPhotoMetadata(MainPhoto.metadata, settings, &kept).ok())
        *dropped = true;
    return kept;
}

// The writer of the type with the remembered settings, alpha (PNG, WebP)
// and metadata (JPEG, PNG, WebP: none when empty).
Outcome WriteWithWriter(int type, ImageDocument* doc, const PhotoMetadata& metadata, bool* dropped)
{
    const std::uint8_t* alpha = AlphaOf(doc);
    const PhotoMetadata* carried = metadata.empty() ? nullptr : &metadata;
    switch (type) {
    case kTypeBmp: return WriteBmpFile(doc, RememberedBmpSettings());
    case kTypeJpeg: {
        std::vector<JpegSegment> segments;
        if (carried && !JpegMetadataSegments(metadata, &segments).ok()) {
            *dropped = true;
            segments.clear();
        }
        JpegWriteSettings settings = RememberedJpegSettings();
        settings.segments = segments;
        return WriteJpegFile(doc, settings);
    }
    case kTypePng: return WritePngFile(doc->path, doc, alpha, carried, RememberedPngSettings());
    default:
        return WriteWebpFile(doc->path, doc, alpha, RememberedWebpQuality(), WebpLossless != 0, carried);
    }
}

// Writes doc's picture, or for a BMP or JPEG file of a transparent picture
// a copy of it put over the chosen background, so that the picture itself
// keeps its alpha.
Outcome WriteOrComposite(int type, ImageDocument* doc, const PhotoMetadata& metadata, bool* dropped)
{
    if (!NeedsBackground(doc, type))
        return WriteWithWriter(type, doc, metadata, dropped);
    const std::size_t bytes = WorkDibBlockBytes(doc->width, doc->height);
    HGLOBAL block = AllocateBlockToFill(bytes);
    if (!block)
        return Fail(Failure::OutOfMemory);
    ImageDocument copy = *doc;
    copy.hDib = block;
    copy.dib = static_cast<BYTE*>(GlobalLock(block));
    copy.bmi = reinterpret_cast<BITMAPINFO*>(copy.dib);
    std::memcpy(copy.dib, doc->dib, WorkDibBytes(doc->width, doc->height));
    const unsigned char rgb[3] = {GetRValue(TransparencyBackground), GetGValue(TransparencyBackground),
                                  GetBValue(TransparencyBackground)};
    CompositeOverColour(WorkDibPixels(copy.dib), AlphaOf(doc), MainPhoto.alpha.size(), rgb);
    const Outcome outcome = WriteWithWriter(type, &copy, metadata, dropped);
    doc->fileHeader = copy.fileHeader;
    GlobalUnlock(block);
    FreeBlock(block);
    return outcome;
}

// Writes the picture as type under the wait cursor: with what is kept of
// the opened file's metadata, and when that cannot be written, without it
// (*dropped then says so).
Outcome WritePicture(int type, ImageDocument* doc, bool* dropped)
{
    WaitCursor wait;
    *dropped = false;
    PhotoMetadata metadata = MetadataToWrite(doc, type, dropped);
    Outcome outcome = WriteOrComposite(type, doc, metadata, dropped);
    if (outcome.failure == Failure::MetadataUnwritable && !metadata.empty()) {
        *dropped = true;
        outcome = WriteOrComposite(type, doc, PhotoMetadata{}, dropped);
    }
    return outcome;
}

// The metadata choice of a save settings dialog.
// The choice as remembered; gray while the picture has no metadata to keep.
void ShowMetadataChoice(HWND dialog)
{
    const int checked = SaveMetadata == MetadataKeep::None             ? IDC_METADATA_NONE
                        : SaveMetadata == MetadataKeep::AllButLocation ? IDC_METADATA_NO_LOCATION
                                                                       : IDC_METADATA_ALL;
    CheckRadioButton(dialog, IDC_METADATA_ALL, IDC_METADATA_NONE, checked);
    for (int id = IDC_METADATA_ALL; id <= IDC_METADATA_NONE; ++id)
        EnableWindow(GetDlgItem(dialog, id), !MainPhoto.metadata.empty());
}

void TakeMetadataChoice(HWND dialog)
{
    SaveMetadata = IsDlgButtonChecked(dialog, IDC_METADATA_NONE) == BST_CHECKED ? MetadataKeep::None
                   : IsDlgButtonChecked(dialog, IDC_METADATA_NO_LOCATION) == BST_CHECKED
                       ? MetadataKeep::AllButLocation
                       : MetadataKeep::All;
}

}  // namespace

int OpenImageCommand(HWND window, ImageDocument* doc)
{
    if (!MayReplace(window, doc))
        return 0;
    std::wstring chosen;
    const int entry = ChooseOpenFile(window, doc->path, &chosen);
    const int type = TypeOfOpenEntry(entry);
    if (type == 0 && entry != kOpenAllPicturesEntry)
        return -1;
    // The entry shown stays remembered when the read fails.
    if (type != 0)
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

void ShowOpenNotice(HWND window)
{
    if (!MetadataNoticePending)
        return;
    MetadataNoticePending = false;
    Ask(window, Text::MetadataNotRead, Text::NoticeCaption, MB_OK | MB_ICONINFORMATION);
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
    const int type = TypeOfSaveEntry(ChooseSaveFile(window, doc->path, &chosen));
    if (type == 0)
        return -1;
    char path[kPathBytes];
    if (!TakeChosenName(chosen, path)) {
        ShowOutcome(window, Fail(Failure::CreateFailed));
        return 0;
    }
    auto* instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    const SettingsDialog& settings = kSettingsDialogs[type - 1];
    if (DialogBoxParamA(instance, settings.resource, window, settings.procedure, 0) != 1)
        return 0;
    if (NeedsBackground(doc, type) && !ChooseBackground(window))
        return 0;
    char previous[kPathBytes];
    std::memcpy(previous, doc->path, kPathBytes);
    std::memcpy(doc->path, path, kPathBytes);
    bool dropped = false;
    const Outcome outcome = WritePicture(type, doc, &dropped);
    ShowOutcome(window, outcome);
    if (!outcome.ok())
        std::memcpy(doc->path, previous, kPathBytes);
    if (outcome.ok()) {
        doc->isModified = 0;
        MarkHistorySaved(doc);
        if (saved)
            *saved = true;
        if (dropped)
            Ask(window, Text::MetadataNotWritten, Text::NoticeCaption, MB_OK | MB_ICONINFORMATION);
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

namespace {

// A save settings dialog of JPEG, PNG or WebP: one bar with its value
// text, perhaps a check box, and the metadata choice.
struct SaveSettingsDialog {
    int bar;
    int barText;
    int shownOffset;  // the bar's text shows the value plus this
    int* value;
    int min;
    int max;
    int box;              // a check box read at OK, or 0
    int* boxValue;
    bool boxAsRemembered; // the box opens as remembered (else unchecked)
};

// JPEG: the quality's step and the progressive box, which opens unchecked.
constexpr SaveSettingsDialog kJpegSettings{
    IDC_JPEG_QUALITY, IDC_JPEG_QUALITY_TEXT, 0, &JpegQualityStep, 0, kJpegQualityStepMax,
    IDC_JPEG_PROGRESSIVE, &JpegProgressive, false};
constexpr SaveSettingsDialog kPngSettings{
    IDC_PNG_COMPRESSION, IDC_PNG_COMPRESSION_TEXT, 0, &PngCompression, kPngCompressionMin, kPngCompressionMax,
    0, nullptr, false};
// WebP: the bar shows the quality itself (60..100), not its step.
constexpr SaveSettingsDialog kWebpSettings{
    IDC_WEBP_QUALITY, IDC_WEBP_QUALITY_TEXT, -kJpegQualityMin, &WebpQualityStep, 0, kWebpQualityStepMax,
    IDC_WEBP_LOSSLESS, &WebpLossless, true};

INT_PTR SaveSettingsProc(const SaveSettingsDialog& d, HWND dialog, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitScrollTriple(dialog, d.bar, d.barText, d.shownOffset, d.value, d.min, d.max);
        if (d.box != 0 && d.boxAsRemembered)
            CheckDlgButton(dialog, d.box, *d.boxValue != 0 ? BST_CHECKED : BST_UNCHECKED);
        ShowMetadataChoice(dialog);
        CentreWindow(dialog);
        return TRUE;
    case WM_HSCROLL:
        ScrollTriple(dialog, d.bar, d.barText, d.shownOffset, wParam, d.value, d.min, d.max);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (d.box != 0)
                *d.boxValue = IsDlgButtonChecked(dialog, d.box) == BST_CHECKED ? 1 : 0;
            TakeMetadataChoice(dialog);
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

}  // namespace

INT_PTR CALLBACK JpegDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return SaveSettingsProc(kJpegSettings, dialog, message, wParam);
}

INT_PTR CALLBACK PngDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return SaveSettingsProc(kPngSettings, dialog, message, wParam);
}

INT_PTR CALLBACK WebpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return SaveSettingsProc(kWebpSettings, dialog, message, wParam);
}

// The open and save commands driven through the real common dialogs, the
// BMP and JPEG settings dialogs and the unsaved-changes question, with the
// files they read and write checked on disk.
#include "support/shown.h"
#include "support/win_test_support.h"

#include "app/file_settings.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "files/jpeg_writer.h"
#include "app/open_save.h"
#include "app/photo_state.h"
#include "image/image_document.h"
#include "resources/resource.h"

#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/png_file.h"
#include "files/webp_file.h"
#include "support/jpeg_generator.h"

#include <gtest/gtest.h>

#include <commdlg.h>
#include <exiv2/exiv2.hpp>
#include <spng.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace wintest;

namespace {

// --- Pictures and files -------------------------------------------------------

BYTE Luminance(BYTE blue, BYTE green, BYTE red) { return (BYTE)((59 * green + 30 * red + 11 * blue) / 100); }

// A w x h picture in doc with a pattern that differs from pixel to pixel.
void MakePicture(ImageDocument* doc, LONG width, LONG height)
{
    ReleaseDocument(doc);
    HGLOBAL block = GlobalAlloc(GHND, WorkDibBytes(width, height));
    ASSERT_NE(block, nullptr);
    BYTE* dib = (BYTE*)GlobalLock(block);
    WriteWorkDibHeader(dib, width, height);
    BYTE* p = dib + kWorkDibHeaderBytes;
    for (LONG y = 0; y < height; y++)
        for (LONG x = 0; x < width; x++, p += 4) {
            p[0] = (BYTE)(x * 40 + 7);
            p[1] = (BYTE)(y * 60 + 11);
            p[2] = (BYTE)((x + y) * 30);
            p[3] = 0;
        }
    doc->hDib = block;
    doc->dib = dib;
    doc->bmi = (BITMAPINFO*)dib;
    doc->width = width;
    doc->height = height;
    doc->isLoaded = 1;
    doc->bitsOffset = kWorkDibHeaderBytes;
}

std::string PixelBytes(const ImageDocument& doc)
{
    if (!doc.dib) return {};
    return std::string((const char*)doc.dib + kWorkDibHeaderBytes, (size_t)doc.width * doc.height * 4);
}

void PutU16(std::string& s, size_t at, unsigned v)
{
    s[at] = (char)(v & 0xFF);
    s[at + 1] = (char)((v >> 8) & 0xFF);
}
void PutU32(std::string& s, size_t at, unsigned v)
{
    for (int i = 0; i < 4; i++) s[at + i] = (char)((v >> (8 * i)) & 0xFF);
}
unsigned U16(const std::string& s, size_t at) { return (BYTE)s[at] | ((BYTE)s[at + 1] << 8); }
unsigned U32(const std::string& s, size_t at) { return U16(s, at) | (U16(s, at + 2) << 16); }

// A 24-bit BMP file; pixels blue, green, red, bottom row first.
std::string Bmp24(int width, int height, const std::vector<BYTE>& bgrBottomUp)
{
    int pad = (4 - (width * 3) % 4) % 4;
    int rowBytes = width * 3 + pad;
    std::string file(54 + rowBytes * height, '\0');
    file[0] = 'B';
    file[1] = 'M';
    PutU32(file, 2, (unsigned)file.size());
    PutU32(file, 10, 54);
    PutU32(file, 14, 40);
    PutU32(file, 18, (unsigned)width);
    PutU32(file, 22, (unsigned)height);
    PutU16(file, 26, 1);
    PutU16(file, 28, 24);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < 3; c++) file[54 + y * rowBytes + x * 3 + c] = (char)bgrBottomUp[(y * width + x) * 3 + c];
    return file;
}

// The first start-of-frame marker of a JPEG stream (0xC0 baseline, 0xC2
// progressive), or 0.
int JpegFrameMarker(const std::string& jpeg)
{
    if (jpeg.size() < 4 || (BYTE)jpeg[0] != 0xFF || (BYTE)jpeg[1] != 0xD8) return 0;
    size_t p = 2;
    while (p + 4 <= jpeg.size() && (BYTE)jpeg[p] == 0xFF) {
        int marker = (BYTE)jpeg[p + 1];
        if (marker >= 0xC0 && marker <= 0xC2) return marker;
        size_t length = ((BYTE)jpeg[p + 2] << 8) | (BYTE)jpeg[p + 3];
        p += 2 + length;
    }
    return 0;
}

// Every entry of every 8-bit quantisation table: all 1 at quality 100.
std::vector<int> JpegQuantisers(const std::string& jpeg)
{
    std::vector<int> values;
    size_t p = 2;
    while (p + 4 <= jpeg.size() && (BYTE)jpeg[p] == 0xFF) {
        int marker = (BYTE)jpeg[p + 1];
        size_t length = ((BYTE)jpeg[p + 2] << 8) | (BYTE)jpeg[p + 3];
        if (marker == 0xDA) break;
        if (marker == 0xDB)
            for (size_t q = p + 4; q + 65 <= p + 2 + length; q += 65)
                for (int i = 1; i <= 64; i++) values.push_back((BYTE)jpeg[q + i]);
        p += 2 + length;
    }
    return values;
}

// --- Driving the file dialogs -------------------------------------------------

// Under load the common dialogs may still be settling when the first
// attempt lands (a file list refreshed after a type change can clear the
// name again).  The attempt is repeated until the dialog is gone; never
// while a nested box (overwrite question) has it disabled.
struct RepeatSlot {
    HWND dialog = nullptr;
    std::function<void(HWND)> attempt;
    UINT_PTR timer = 0;
};
RepeatSlot repeatSlot;

void CALLBACK RepeatTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (id != repeatSlot.timer) {
        KillTimer(nullptr, id);
        return;
    }
    if (!IsWindow(repeatSlot.dialog)) {
        KillTimer(nullptr, id);
        repeatSlot = {};
        return;
    }
    if (IsWindowEnabled(repeatSlot.dialog)) repeatSlot.attempt(repeatSlot.dialog);
}

void StopRepeating()
{
    if (repeatSlot.timer) KillTimer(nullptr, repeatSlot.timer);
    repeatSlot = {};
}

void RepeatUntilClosed(HWND dialog, std::function<void(HWND)> attempt)
{
    StopRepeating();
    HWND frame = FileDialogFrame(dialog);
    attempt(frame);
    repeatSlot.dialog = frame;
    repeatSlot.attempt = std::move(attempt);
    repeatSlot.timer = SetTimer(nullptr, 0, 700, RepeatTimer);
}

// type: 0-based entry to pick first, -1 to leave the one the dialog starts on.
std::function<void(HWND)> AcceptFile(const std::string& pathAnsi, int type = -1)
{
    return [pathAnsi, type](HWND dialog) {
        RepeatUntilClosed(dialog, [pathAnsi, type](HWND frame) {
            if (type >= 0 && (int)SendDlgItemMessageA(frame, kFileTypeCombo, CB_GETCURSEL, 0, 0) != type)
                FileDialogSelectType(frame, type);
            FileDialogAcceptOnce(frame, pathAnsi);
        });
    };
}

std::function<void(HWND)> CancelFile()
{
    return [](HWND dialog) { RepeatUntilClosed(dialog, [](HWND frame) { FileDialogCancel(frame); }); };
}

std::string NameText(HWND dialog) { return WindowTextAnsi(GetDlgItem(FileDialogFrame(dialog), kFileNameEdit)); }

// The dialog the user sees is centred on the desktop.  Wine still adjusts
// the height of the file dialogs (for the hook's child) after the hook has
// centred them, so their vertical position may be off by half that change.
void ExpectCentred(const RECT& rect, int verticalSlack)
{
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(rect.left, (desktop.right - (rect.right - rect.left)) / 2);
    int centredTop = (desktop.bottom - (rect.bottom - rect.top)) / 2;
    EXPECT_GE(rect.top, centredTop - verticalSlack);
    EXPECT_LE(rect.top, centredTop + verticalSlack);
}

// A user's click on a radio button or check box of a dialog.
void ClickButton(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void QualityScroll(HWND dialog, int code, int position = 0)
{
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(code, position), (LPARAM)GetDlgItem(dialog, IDC_JPEG_QUALITY));
}

const std::string kOpenTitle = U8(u8"開く");
const std::string kSaveTitle = U8(u8"名前を付けて保存");
const std::string kDepthTitle = U8(u8"BMP保存ファイル設定");
const std::string kJpegTitle = U8(u8"Jpeg保存ファイル設定");
const std::string kUnsavedQuestion = U8(u8"画像が保存されていません。保存しますか？");

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppInstance = GetModuleHandleA(nullptr);
        window = CreateOwnerWindow();
        ASSERT_NE(window, nullptr);
        doc = ImageDocument{};
        FileTypeIndex = 1;
        BmpSaveDepth = 24;
        JpegQualityStep = 20;
        JpegProgressive = 0;
        MainPhoto = OpenPhoto{};
        SaveMetadata = MetadataKeep::All;
        TransparencyBackground = kTransparencyBackgroundDefault;
    }
    void TearDown() override
    {
        MainPhoto = OpenPhoto{};
        StopRepeating();
        ReleaseDocument(&doc);
        if (window) DestroyWindow(window);
        PumpFor(10);
    }

    // A modified picture with a path, as after some editing.
    void EditedPicture(const std::string& pathAnsi)
    {
        MakePicture(&doc, 5, 3);
        std::strcpy(doc.path, pathAnsi.c_str());
        doc.isModified = 1;
    }

    HWND window = nullptr;
    ImageDocument doc = {};
    TempDir dir;
};

// --- Open ---------------------------------------------------------------------

using OpenCommand = FileCommands;

TEST_F(OpenCommand, BmpThroughTheDialogGivesPixelsAndLuminance)
{
    // Bottom row: blue, white, green; top row: red, black, grey 100.
    std::vector<BYTE> pixels = {255, 0, 0, 255, 255, 255, 0, 255, 0, 0, 0, 255, 0, 0, 0, 100, 100, 100};
    std::string path = dir.File("写真 1.bmp");
    ASSERT_TRUE(WriteWholeFile(path, Bmp24(3, 2, pixels)));
    FileTypeIndex = 2;  // the dialog starts on the type of the last file opened

    DialogDriver driver;
    std::string typeShown;
    RECT frameRect = {};
    driver.OnDialog(kOpenTitle, [&](HWND dialog) {
        typeShown = FileDialogTypeText(dialog);
        GetWindowRect(FileDialogFrame(dialog), &frameRect);
        AcceptFile(path, 0)(dialog);
    });
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_EQ(typeShown, U8(u8"JPEGファイル(*.jpg)"));

    ExpectCentred(frameRect, 20);

    EXPECT_EQ(FileTypeIndex, 1);
    EXPECT_EQ(doc.isLoaded, 1);
    EXPECT_EQ(doc.isModified, 0);
    EXPECT_EQ(doc.bitsOffset, 40);
    EXPECT_EQ(std::string(doc.path), AnsiToUtf8(path));  // the record holds UTF-8
    ASSERT_EQ(doc.width, 3);
    ASSERT_EQ(doc.height, 2);
    const BYTE* p = doc.dib + 40;
    std::vector<BYTE> expected;
    for (size_t i = 0; i < pixels.size(); i += 3)
        expected.insert(expected.end(), {pixels[i], pixels[i + 1], pixels[i + 2],
                                         Luminance(pixels[i], pixels[i + 1], pixels[i + 2])});
    EXPECT_EQ(std::vector<BYTE>(p, p + 24), expected);
    EXPECT_EQ(p[3], 28);    // pure blue
    EXPECT_EQ(p[7], 255);   // white
    EXPECT_EQ(p[11], 150);  // pure green
}

TEST_F(OpenCommand, JpegThroughTheDialogGivesLuminance)
{
    ImageDocument source = {};
    MakePicture(&source, 16, 8);
    std::string path = dir.File("logo.jpg");
    std::strcpy(source.path, path.c_str());
    {
        DialogDriver quiet;
        ASSERT_EQ(Shown(WriteJpegFile(&source, RememberedJpegSettings()), window), 0);
    }
    ReleaseDocument(&source);

    DialogDriver driver;
    driver.OnDialog(kOpenTitle, AcceptFile(path, 1));
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_EQ(FileTypeIndex, 2);
    EXPECT_EQ(doc.isModified, 0);
    EXPECT_EQ(doc.bitsOffset, 40);
    ASSERT_EQ(doc.width, 16);
    ASSERT_EQ(doc.height, 8);
    int wrong = 0;
    const BYTE* p = doc.dib + 40;
    for (int i = 0; i < 16 * 8; i++, p += 4)
        if (p[3] != Luminance(p[0], p[1], p[2])) wrong++;
    EXPECT_EQ(wrong, 0);
}

TEST_F(OpenCommand, CancelledDialogChangesNothing)
{
    EditedPicture(dir.File("kept.bmp"));
    doc.isModified = 0;
    std::string before = PixelBytes(doc);
    HGLOBAL block = doc.hDib;
    FileTypeIndex = 2;

    DialogDriver driver;
    driver.OnDialog(kOpenTitle, CancelFile());
    EXPECT_EQ(OpenImageCommand(window, &doc), -1);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_TRUE(driver.MessageBoxes().empty());
    EXPECT_EQ(doc.hDib, block);
    EXPECT_EQ(PixelBytes(doc), before);
    EXPECT_EQ(std::string(doc.path), dir.File("kept.bmp"));
    EXPECT_EQ(FileTypeIndex, 2);
}

TEST_F(OpenCommand, FailedReadReportsAndKeepsThePicture)
{
    std::string notBitmap = dir.File("notes.bmp");
    ASSERT_TRUE(WriteWholeFile(notBitmap, "This is plain text, not a picture at all."));
    EditedPicture(dir.File("edited.bmp"));
    std::string before = PixelBytes(doc);
    HGLOBAL block = doc.hDib;

    DialogDriver driver;
    driver.AnswerMessageBox(IDNO);  // do not save first
    driver.OnDialog(kOpenTitle, AcceptFile(notBitmap, 0));
    driver.AnswerMessageBox(IDOK);
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].text, U8(u8"ビットマップではありません"));

    EXPECT_EQ(doc.hDib, block);
    EXPECT_EQ(doc.width, 5);
    EXPECT_EQ(doc.height, 3);
    EXPECT_EQ(PixelBytes(doc), before);
    EXPECT_EQ(std::string(doc.path), dir.File("edited.bmp"));
    EXPECT_EQ(doc.isModified, 1);
}

// --- Names and types the dialogs hand over -----------------------------------

// A name with characters no code page 932 holds: an ideograph beyond the
// basic plane (a surrogate pair), an accented letter and a check mark.
const std::wstring kWideName = L"\U00020BB7_caf\u00E9_\u2713";

std::wstring WideDir(const TempDir& dir) { return Utf8ToWide(AnsiToUtf8(dir.Path())); }

// Types the wide name into the file dialog (as a user's keyboard does) with
// the 0-based type entry selected, and presses OK.
std::function<void(HWND)> AcceptWide(const std::wstring& path, int type)
{
    return [path, type](HWND dialog) {
        RepeatUntilClosed(dialog, [path, type](HWND frame) {
            if ((int)SendDlgItemMessageW(frame, kFileTypeCombo, CB_GETCURSEL, 0, 0) != type)
                FileDialogSelectType(frame, type);
            SetWindowTextW(FileDialogNameEdit(frame), path.c_str());
            PressButton(frame, IDOK);
        });
    };
}

// A JPEG as a camera writes it: an EXIF APP1 segment straight after the
// start of image, no JFIF segment.
std::string CameraJpeg(HWND window, const std::string& scratchAnsi)
{
    ImageDocument source = {};
    MakePicture(&source, 8, 6);
    std::strcpy(source.path, scratchAnsi.c_str());
    {
        DialogDriver quiet;
        EXPECT_EQ(Shown(WriteJpegFile(&source, RememberedJpegSettings()), window), 0);
    }
    ReleaseDocument(&source);
    std::string jpeg;
    EXPECT_TRUE(ReadWholeFile(scratchAnsi, jpeg));
    if (jpeg.size() > 6 && (BYTE)jpeg[2] == 0xFF && (BYTE)jpeg[3] == 0xE0)
        jpeg.erase(2, 2 + (((BYTE)jpeg[4] << 8) | (BYTE)jpeg[5]));
    static const char kExif[] = "\xFF\xE1\x00\x16" "Exif\0\0" "II*\0\x08\0\0\0" "\0\0" "\0\0\0\0";
    jpeg.insert(2, kExif, sizeof kExif - 1);
    return jpeg;
}

TEST_F(OpenCommand, NameOutsideTheCodePageSavesAndOpens)
{
    const std::wstring path = WideDir(dir) + L"\\" + kWideName + L".bmp";
    MakePicture(&doc, 3, 2);
    doc.isModified = 1;
    {
        DialogDriver driver;
        driver.OnDialog(kSaveTitle, AcceptWide(path, 0));
        driver.OnDialog(kDepthTitle, [](HWND d) { PressButton(d, IDOK); });
        bool saved = false;
        EXPECT_EQ(SaveImageCommand(window, &doc, &saved), 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_TRUE(driver.MessageBoxes().empty());
        EXPECT_TRUE(saved);
    }
    EXPECT_EQ(std::string(doc.path), WideToUtf8(path));
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "the file has the name chosen";

    ImageDocument opened = {};
    {
        DialogDriver driver;
        driver.OnDialog(kOpenTitle, AcceptWide(path, 0));
        EXPECT_EQ(OpenImageCommand(window, &opened), 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_TRUE(driver.MessageBoxes().empty());
    }
    EXPECT_EQ(std::string(opened.path), WideToUtf8(path));
    ASSERT_EQ(opened.width, 3);
    ASSERT_EQ(opened.height, 2);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(std::memcmp(opened.dib + 40 + 4 * i, doc.dib + 40 + 4 * i, 3), 0) << "pixel " << i;
    ReleaseDocument(&opened);
}

// The file's first bytes choose the reader, whatever type the dialog shows;
// the remembered type becomes the file's.
TEST_F(OpenCommand, ReaderFollowsTheFileNotTheTypeShown)
{
    const std::string camera = CameraJpeg(window, dir.File("scratch.jpg"));
    const std::string bitmap = Bmp24(2, 2, std::vector<BYTE>(12, 90));
    struct Case {
        const char* name;
        std::string bytes;
        int entry;       // 0 BMP, 1 JPEG: the type whose entry is selected in the dialog
        int width;       // 0: not opened
        int typeAfter;
        const char* box; // the error shown, or null
    };
    const Case cases[] = {
        {"camera.jpg", camera, 0, 8, 2, nullptr},
        {"camera.bmp", camera, 0, 8, 2, nullptr},
        {"bitmap.jpg", bitmap, 1, 2, 1, nullptr},
        {"notes.jpg", "Plain text, not a picture.", 1, 0, 2, (const char*)u8"ビットマップではありません"},
        {"empty.jpg", "", 1, 0, 2, (const char*)u8"ビットマップではありません"},
        {"short.jpg", "\xFF\xD8", 1, 0, 2, (const char*)u8"ビットマップではありません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        ASSERT_TRUE(WriteWholeFile(path, c.bytes));
        MakePicture(&doc, 5, 3);
        std::strcpy(doc.path, "kept.bmp");
        FileTypeIndex = 2 - c.entry;  // the dialog starts on the other entry
        DialogDriver driver;
        driver.OnDialog(kOpenTitle, AcceptFile(path, c.entry + 1));  // after "all pictures"
        if (c.box) driver.AnswerMessageBox(IDOK);
        EXPECT_EQ(OpenImageCommand(window, &doc), 0);
        EXPECT_EQ(driver.Problems(), "");
        std::vector<DialogRecord> boxes = driver.MessageBoxes();
        ASSERT_EQ(boxes.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(boxes[0].text, c.box);
        }
        EXPECT_EQ(doc.width, c.width ? c.width : 5);
        EXPECT_EQ(std::string(doc.path), c.width ? path : "kept.bmp");
        EXPECT_EQ(FileTypeIndex, c.typeAfter);
        StopRepeating();
    }
}

// A name of 256 UTF-16 units is refused with the usual message, never cut
// to fit; 255 fit.  The picture and its name stay.
TEST_F(OpenCommand, NamesOverTheLimitAreRefused)
{
    const std::wstring folder = WideDir(dir) + L"\\";
    auto named = [&](size_t units) {  // a name ending in ".bmp" with the surrogate pair in it
        return folder + kWideName + std::wstring(units - folder.size() - kWideName.size() - 4, L'x') + L".bmp";
    };
    struct Case {
        bool save;
        size_t units;
        const char* box;  // null: it works
    };
    const Case cases[] = {
        {true, 255, nullptr},
        {false, 255, nullptr},  // the file the case before saved
        {true, 256, (const char*)u8"ファイル作成に失敗しました"},
        {false, 256, (const char*)u8" ファイルのオープンに失敗しました"},
    };
    for (const Case& c : cases) {
        const std::wstring path = named(c.units);
        ASSERT_EQ(path.size(), c.units);
        SCOPED_TRACE(std::string(c.save ? "save " : "open ") + std::to_string(c.units));
        MakePicture(&doc, 4, 2);
        std::strcpy(doc.path, "kept.bmp");
        doc.isModified = 0;
        DialogDriver driver;
        driver.OnDialog(c.save ? kSaveTitle : kOpenTitle, AcceptWide(path, 0));
        if (c.save && !c.box) driver.OnDialog(kDepthTitle, [](HWND d) { PressButton(d, IDOK); });
        if (c.box) driver.AnswerMessageBox(IDOK);
        EXPECT_EQ(c.save ? SaveImageCommand(window, &doc) : OpenImageCommand(window, &doc), 0);
        EXPECT_EQ(driver.Problems(), "");
        std::vector<DialogRecord> boxes = driver.MessageBoxes();
        ASSERT_EQ(boxes.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(boxes[0].text, c.box);
        }
        EXPECT_EQ(std::string(doc.path), c.box ? "kept.bmp" : WideToUtf8(path));
        EXPECT_EQ(doc.width, 4);
        if (c.save) {
            EXPECT_EQ(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES, !c.box);
        }
        StopRepeating();
    }
}

// The dialogs' titles and file types in the program's language.
TEST_F(OpenCommand, DialogTextsFollowTheLanguage)
{
    struct Case {
        const wchar_t* setting;
        const char* openTitle;
        const char* saveTitle;
        std::vector<std::string> types;
        const char* allPictures;  // the open dialog's first entry
    };
    const Case cases[] = {
        {L"ja", (const char*)u8"開く", (const char*)u8"名前を付けて保存",
         {(const char*)u8"ビットマップファイル(*.bmp)", (const char*)u8"JPEGファイル(*.jpg)",
          (const char*)u8"PNGファイル(*.png)", (const char*)u8"WebPファイル(*.webp)"},
         (const char*)u8"すべての画像(*.bmp;*.jpg;*.png;*.webp)"},
        {L"en", "Open", "Save As", {"Bitmap (*.bmp)", "JPEG (*.jpg;*.jpeg)", "PNG (*.png)", "WebP (*.webp)"},
         "All pictures (*.bmp;*.jpg;*.jpeg;*.png;*.webp)"},
    };
    auto typesOf = [](HWND dialog) {
        std::vector<std::string> types;
        HWND combo = GetDlgItem(FileDialogFrame(dialog), kFileTypeCombo);
        for (int i = 0; i < (int)SendMessageW(combo, CB_GETCOUNT, 0, 0); i++) {
            wchar_t text[128] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)text);
            types.push_back(WideToUtf8(text));
        }
        return types;
    };
    MakePicture(&doc, 2, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.setting));
        SetEnvironmentVariableW(L"QUILLVANE_LANG", c.setting);
        ForgetProgramLanguage();
        std::vector<std::string> openTypes, saveTypes;
        DialogDriver driver;
        driver.OnDialog(c.openTitle, [&](HWND d) { openTypes = typesOf(d); CancelFile()(d); });
        driver.OnDialog(c.saveTitle, [&](HWND d) { saveTypes = typesOf(d); CancelFile()(d); });
        EXPECT_EQ(OpenImageCommand(window, &doc), -1);
        EXPECT_EQ(SaveImageCommand(window, &doc), -1);
        EXPECT_EQ(driver.Problems(), "");
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(driver.Seen()[0].caption, c.openTitle);
        EXPECT_EQ(driver.Seen()[1].caption, c.saveTitle);
        std::vector<std::string> openExpected = {c.allPictures};
        openExpected.insert(openExpected.end(), c.types.begin(), c.types.end());
        EXPECT_EQ(openTypes, openExpected);
        EXPECT_EQ(saveTypes, c.types);
        StopRepeating();
    }
    SetEnvironmentVariableW(L"QUILLVANE_LANG", nullptr);
    ForgetProgramLanguage();
}

// --- Open with unsaved changes ------------------------------------------------

using OpenUnsaved = FileCommands;

TEST_F(OpenUnsaved, CancelDoesNothing)
{
    EditedPicture(dir.File("edited.bmp"));
    std::string before = PixelBytes(doc);
    DialogDriver driver;
    driver.AnswerMessageBox(IDCANCEL);
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].caption, "Quivane");
    EXPECT_EQ(driver.Seen()[0].text, kUnsavedQuestion);
    EXPECT_EQ(doc.isModified, 1);
    EXPECT_EQ(PixelBytes(doc), before);
}

TEST_F(OpenUnsaved, NoGoesStraightToTheOpenDialog)
{
    std::string next = dir.File("next.bmp");
    ASSERT_TRUE(WriteWholeFile(next, Bmp24(1, 1, {10, 20, 30})));
    EditedPicture(dir.File("edited.bmp"));

    DialogDriver driver;
    driver.AnswerMessageBox(IDNO);
    driver.OnDialog(kOpenTitle, AcceptFile(next));
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_TRUE(driver.Seen()[0].messageBox);
    EXPECT_EQ(driver.Seen()[1].caption, kOpenTitle);
    EXPECT_EQ(doc.width, 1);
    EXPECT_EQ(doc.isModified, 0);
    EXPECT_FALSE(FileExists(dir.File("edited.bmp")));
}

// Unsaved work is never thrown away: a save that did not reach a file keeps
// the picture and its modified flag, and the open dialog is not shown.
TEST_F(OpenUnsaved, YesThenSaveDialogCancelledKeepsThePicture)
{
    EditedPicture(dir.File("edited.bmp"));
    std::string before = PixelBytes(doc);
    DialogDriver driver;
    driver.AnswerMessageBox(IDYES);
    driver.OnDialog(kSaveTitle, CancelFile());
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].caption, kSaveTitle);
    EXPECT_EQ(doc.isModified, 1);
    EXPECT_EQ(PixelBytes(doc), before);
    EXPECT_EQ(std::string(doc.path), dir.File("edited.bmp"));
}

TEST_F(OpenUnsaved, YesThenSettingsCancelledKeepsThePicture)
{
    for (int type : {0, 1}) {
        SCOPED_TRACE(type == 0 ? "BMP" : "JPEG");
        std::string target = dir.File(type == 0 ? "out.bmp" : "out.jpg");
        EditedPicture(dir.File("edited.bmp"));
        std::string before = PixelBytes(doc);
        DialogDriver driver;
        driver.AnswerMessageBox(IDYES);
        driver.OnDialog(kSaveTitle, AcceptFile(target, type));
        driver.OnDialog(type == 0 ? kDepthTitle : kJpegTitle, [](HWND d) { PressButton(d, IDCANCEL); });
        EXPECT_EQ(OpenImageCommand(window, &doc), 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_EQ(driver.Seen().size(), 3u);
        EXPECT_EQ(doc.isModified, 1);
        EXPECT_EQ(PixelBytes(doc), before);
        EXPECT_FALSE(FileExists(target));
    }
}

TEST_F(OpenUnsaved, YesThenFailedWriteKeepsThePicture)
{
    CreateDirectoryA(dir.File("gone").c_str(), nullptr);
    std::string target = dir.File("gone\\out.bmp");
    EditedPicture(dir.File("edited.bmp"));
    std::string before = PixelBytes(doc);
    DialogDriver driver;
    driver.AnswerMessageBox(IDYES);
    driver.OnDialog(kSaveTitle, AcceptFile(target, 0));
    driver.OnDialog(kDepthTitle, [&](HWND d) {
        SetCurrentDirectoryA(dir.Path().c_str());
        RemoveDirectoryA(dir.File("gone").c_str());
        PressButton(d, IDOK);
    });
    driver.AnswerMessageBox(IDOK);
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(doc.isModified, 1);
    EXPECT_EQ(PixelBytes(doc), before);
}

TEST_F(OpenUnsaved, YesThenRealSaveWritesThenOpens)
{
    std::string target = dir.File("saved.bmp");
    std::string next = dir.File("next.bmp");
    ASSERT_TRUE(WriteWholeFile(next, Bmp24(2, 1, {1, 2, 3, 4, 5, 6})));
    EditedPicture(dir.File("edited.bmp"));

    DialogDriver driver;
    driver.AnswerMessageBox(IDYES);
    driver.OnDialog(kSaveTitle, AcceptFile(target, 0));
    bool savedBeforeOpen = false;
    driver.OnDialog(kDepthTitle, [](HWND d) { PressButton(d, IDOK); });
    driver.OnDialog(kOpenTitle, [&](HWND d) {
        savedBeforeOpen = FileExists(target);
        AcceptFile(next)(d);
    });
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_TRUE(savedBeforeOpen);
    std::string file;
    ASSERT_TRUE(ReadWholeFile(target, file));
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(U32(file, 18), 5u);
    EXPECT_EQ(U16(file, 28), 24u);
    EXPECT_EQ(std::string(doc.path), next);
    EXPECT_EQ(doc.width, 2);
    EXPECT_EQ(doc.isModified, 0);
}

// --- Save -----------------------------------------------------------------------

using SaveCommand = FileCommands;

TEST_F(SaveCommand, NothingLoadedIsReported)
{
    DialogDriver driver;
    driver.AnswerMessageBox(IDOK);
    bool saved = true;
    EXPECT_EQ(SaveImageCommand(window, &doc, &saved), -1);
    EXPECT_FALSE(saved);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].caption, "Error");
    EXPECT_EQ(driver.Seen()[0].text, U8(u8"画像が読み込まれていません。"));
}

TEST_F(SaveCommand, EmptyPathProposesSampleImageAndCancelGivesMinusOne)
{
    MakePicture(&doc, 2, 2);
    doc.isModified = 1;
    DialogDriver driver;
    std::string proposed;
    driver.OnDialog(kSaveTitle, [&](HWND dialog) {
        proposed = NameText(dialog);
        CancelFile()(dialog);
    });
    bool saved = true;
    EXPECT_EQ(SaveImageCommand(window, &doc, &saved), -1);
    EXPECT_FALSE(saved);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_EQ(proposed, "SampleImage");
    EXPECT_EQ(doc.isModified, 1);
}

TEST_F(SaveCommand, BmpAtEachDepth)
{
    struct Case {
        int radio, depth;
        unsigned offBits, infoSize, fileSize;
    };
    // 3 x 2 pixels: 16 bits rows of 6 + 2 bytes, 24 bits 9 + 3, 32 bits 12.
    for (Case c : {Case{IDC_DEPTH_16, 16, 54, 40, 70}, Case{IDC_DEPTH_24, 24, 54, 40, 78},
                   Case{IDC_DEPTH_32, 32, 70, 56, 94}}) {
        SCOPED_TRACE(c.depth);
        MakePicture(&doc, 3, 2);
        doc.isModified = 1;
        std::string target = dir.File("depth" + std::to_string(c.depth) + ".bmp");
        std::strcpy(doc.path, target.c_str());
        DialogDriver driver;
        driver.OnDialog(kSaveTitle, AcceptFile(target, 0));
        int depthAfterClick = 0, checked = 0;
        RECT rect = {};
        driver.OnDialog(kDepthTitle, [&](HWND d) {
            GetWindowRect(d, &rect);
            ClickButton(d, c.radio);
            depthAfterClick = BmpSaveDepth;
            checked = (IsDlgButtonChecked(d, IDC_DEPTH_16) ? 16 : 0) + (IsDlgButtonChecked(d, IDC_DEPTH_24) ? 24 : 0) +
                      (IsDlgButtonChecked(d, IDC_DEPTH_32) ? 32 : 0);
            PressButton(d, IDOK);
        });
        bool saved = false;
        EXPECT_EQ(SaveImageCommand(window, &doc, &saved), 0);
        EXPECT_TRUE(saved);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_EQ(depthAfterClick, c.depth);  // at once, before OK
        EXPECT_EQ(checked, c.depth);
        ExpectCentred(rect, 0);
        EXPECT_EQ(doc.isModified, 0);
        EXPECT_EQ(std::string(doc.path), target);
        std::string file;
        ASSERT_TRUE(ReadWholeFile(target, file));
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(file.size(), c.fileSize);
        EXPECT_EQ(U32(file, 10), c.offBits);
        EXPECT_EQ(U32(file, 14), c.infoSize);
        EXPECT_EQ(U16(file, 28), (unsigned)c.depth);
    }
}

TEST_F(SaveCommand, DepthClickSurvivesCancel)
{
    MakePicture(&doc, 2, 2);
    doc.isModified = 1;
    std::string target = dir.File("cancelled.bmp");
    DialogDriver driver;
    driver.OnDialog(kSaveTitle, AcceptFile(target, 0));
    bool initiallyChecked24 = false;
    driver.OnDialog(kDepthTitle, [&](HWND d) {
        initiallyChecked24 = IsDlgButtonChecked(d, IDC_DEPTH_24) && !IsDlgButtonChecked(d, IDC_DEPTH_16) &&
                             !IsDlgButtonChecked(d, IDC_DEPTH_32);
        ClickButton(d, IDC_DEPTH_16);
        PressButton(d, IDCANCEL);
    });
    bool saved = true;
    EXPECT_EQ(SaveImageCommand(window, &doc, &saved), 0);
    EXPECT_FALSE(saved);
    EXPECT_TRUE(initiallyChecked24);
    EXPECT_EQ(BmpSaveDepth, 16);
    EXPECT_EQ(doc.isModified, 1);
    EXPECT_FALSE(FileExists(target));

    // The next save starts from 16.
    DialogDriver again;
    again.OnDialog(kSaveTitle, AcceptFile(target, 0));
    bool checked16 = false;
    again.OnDialog(kDepthTitle, [&](HWND d) {
        checked16 = IsDlgButtonChecked(d, IDC_DEPTH_16) && !IsDlgButtonChecked(d, IDC_DEPTH_24);
        PressButton(d, IDOK);
    });
    EXPECT_EQ(SaveImageCommand(window, &doc), 0);
    EXPECT_EQ(again.Problems(), "");
    EXPECT_TRUE(checked16);
    std::string file;
    ASSERT_TRUE(ReadWholeFile(target, file));
    EXPECT_EQ(U16(file, 28), 16u);
    EXPECT_EQ(doc.isModified, 0);
}

TEST_F(SaveCommand, JpegQualityScrollAndCancel)
{
    MakePicture(&doc, 8, 8);
    doc.isModified = 1;
    std::string target = dir.File("photo.jpg");
    DialogDriver driver;
    driver.OnDialog(kSaveTitle, AcceptFile(target, 1));
    std::vector<std::string> texts;
    std::vector<int> positions, steps;
    auto note = [&](HWND d) {
        texts.push_back(ControlTextUtf8(d, IDC_JPEG_QUALITY_TEXT));
        positions.push_back(GetScrollPos(GetDlgItem(d, IDC_JPEG_QUALITY), SB_CTL));
        steps.push_back(JpegQualityStep);
    };
    int rangeMin = -1, rangeMax = -1;
    bool progressiveAtStart = true;
    driver.OnDialog(kJpegTitle, [&](HWND d) {
        GetScrollRange(GetDlgItem(d, IDC_JPEG_QUALITY), SB_CTL, &rangeMin, &rangeMax);
        progressiveAtStart = IsDlgButtonChecked(d, IDC_JPEG_PROGRESSIVE) == BST_CHECKED;
        note(d);
        QualityScroll(d, SB_LINEDOWN);
        note(d);
        QualityScroll(d, SB_PAGEUP);
        note(d);
        QualityScroll(d, SB_THUMBTRACK, 3);
        note(d);
        QualityScroll(d, SB_PAGEUP);  // clamped at 0
        note(d);
        QualityScroll(d, SB_THUMBTRACK, 40);
        note(d);
        QualityScroll(d, SB_LINEDOWN);  // clamped at 40
        note(d);
        QualityScroll(d, SB_ENDSCROLL);
        note(d);
        ClickButton(d, IDC_JPEG_PROGRESSIVE);  // read only on OK
        PressButton(d, IDCANCEL);
    });
    bool saved = true;
    EXPECT_EQ(SaveImageCommand(window, &doc, &saved), 0);
    EXPECT_FALSE(saved);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_EQ(rangeMin, 0);
    EXPECT_EQ(rangeMax, 40);
    EXPECT_FALSE(progressiveAtStart);
    EXPECT_EQ(texts, (std::vector<std::string>{" 20", " 21", " 11", "  3", "  0", " 40", " 40", " 40"}));
    EXPECT_EQ(positions, (std::vector<int>{20, 21, 11, 3, 0, 40, 40, 40}));
    EXPECT_EQ(steps, positions);  // every scroll takes effect at once
    EXPECT_EQ(JpegQualityStep, 40);
    EXPECT_EQ(JpegProgressive, 0);
    EXPECT_EQ(doc.isModified, 1);
    EXPECT_FALSE(FileExists(target));
}

TEST_F(SaveCommand, JpegKeepsStepFromCancelledDialogAndWritesProgressive)
{
    MakePicture(&doc, 8, 8);
    doc.isModified = 1;
    std::string baseline = dir.File("baseline.jpg");
    std::string progressive = dir.File("progressive.jpg");
    JpegQualityStep = 40;  // left there by an earlier, cancelled dialog

    DialogDriver driver;
    driver.OnDialog(kSaveTitle, AcceptFile(baseline, 1));
    std::string text;
    driver.OnDialog(kJpegTitle, [&](HWND d) {
        text = ControlTextUtf8(d, IDC_JPEG_QUALITY_TEXT);
        PressButton(d, IDOK);
    });
    EXPECT_EQ(SaveImageCommand(window, &doc), 0);
    EXPECT_EQ(text, " 40");
    EXPECT_EQ(JpegProgressive, 0);

    driver.OnDialog(kSaveTitle, AcceptFile(progressive, 1));
    bool uncheckedAgain = false;
    driver.OnDialog(kJpegTitle, [&](HWND d) {
        uncheckedAgain = IsDlgButtonChecked(d, IDC_JPEG_PROGRESSIVE) == BST_UNCHECKED;
        QualityScroll(d, SB_THUMBTRACK, 0);
        ClickButton(d, IDC_JPEG_PROGRESSIVE);
        PressButton(d, IDOK);
    });
    doc.isModified = 1;
    EXPECT_EQ(SaveImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_TRUE(uncheckedAgain);
    EXPECT_EQ(JpegProgressive, 1);
    EXPECT_EQ(JpegQualityStep, 0);
    EXPECT_EQ(doc.isModified, 0);

    std::string file;
    ASSERT_TRUE(ReadWholeFile(baseline, file));
    EXPECT_EQ(JpegFrameMarker(file), 0xC0);
    std::vector<int> q = JpegQuantisers(file);
    ASSERT_FALSE(q.empty());
    EXPECT_EQ(std::count(q.begin(), q.end(), 1), (long)q.size()) << "quality 100 quantises by 1";

    ASSERT_TRUE(ReadWholeFile(progressive, file));
    EXPECT_EQ(JpegFrameMarker(file), 0xC2);
    q = JpegQuantisers(file);
    ASSERT_FALSE(q.empty());
    EXPECT_GT(*std::max_element(q.begin(), q.end()), 1) << "quality 60";
}

TEST_F(SaveCommand, TypeComesFromTheListNotTheName)
{
    MakePicture(&doc, 4, 4);
    std::string target = dir.File("x.bmp");
    DialogDriver driver;
    driver.OnDialog(kSaveTitle, AcceptFile(target, 1));
    driver.OnDialog(kJpegTitle, [](HWND d) { PressButton(d, IDOK); });
    EXPECT_EQ(SaveImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    std::string file;
    ASSERT_TRUE(ReadWholeFile(target, file));
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ((BYTE)file[0], 0xFF);
    EXPECT_EQ((BYTE)file[1], 0xD8);
    EXPECT_EQ(std::string(doc.path), target);
}

TEST_F(SaveCommand, FailedWriteKeepsModified)
{
    for (int type : {0, 1}) {
        SCOPED_TRACE(type == 0 ? "BMP" : "JPEG");
        MakePicture(&doc, 4, 4);
        doc.isModified = 1;
        std::string folder = dir.File(type == 0 ? "vanishing-bmp" : "vanishing-jpg");
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        std::string target = folder + (type == 0 ? "\\out.bmp" : "\\out.jpg");
        DialogDriver driver;
        driver.OnDialog(kSaveTitle, AcceptFile(target, type));
        // The folder goes while the settings dialog is up.
        DWORD removeError = 0;
        driver.OnDialog(type == 0 ? kDepthTitle : kJpegTitle, [&](HWND d) {
            // The save dialog made the folder the current one.
            SetCurrentDirectoryA(dir.Path().c_str());
            if (!RemoveDirectoryA(folder.c_str())) removeError = GetLastError();
            PressButton(d, IDOK);
        });
        driver.AnswerMessageBox(IDOK);
        bool saved = true;
        EXPECT_EQ(SaveImageCommand(window, &doc, &saved), 0);
        ASSERT_EQ(removeError, 0u) << "the folder could not be removed";
        EXPECT_FALSE(saved);
        EXPECT_EQ(driver.Problems(), "");
        std::vector<DialogRecord> boxes = driver.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Error");
        if (type == 0) {
            EXPECT_EQ(boxes[0].text, U8(u8"ファイル作成に失敗しました"));
        }
        EXPECT_EQ(doc.isModified, 1);
        EXPECT_FALSE(FileExists(target));
    }
}

// --- The extension switch of the save dialog ------------------------------------

using SaveDialogType = FileCommands;

TEST_F(SaveDialogType, PickingATypeSwitchesTheExtension)
{
    MakePicture(&doc, 2, 2);
    DialogDriver driver;
    std::vector<std::string> names;
    RECT frameRect = {};
    driver.OnDialog(kSaveTitle, [&](HWND dialog) {
        HWND frame = FileDialogFrame(dialog);
        GetWindowRect(frame, &frameRect);
        auto pick = [&](const std::string& name, int type) {
            if (!name.empty()) FileDialogSetName(frame, name);
            FileDialogSelectType(frame, type);
            names.push_back(NameText(frame));
        };
        pick("photo.bmp", 1);
        pick("", 0);
        pick("photo", 1);
        pick("a.b.bmp", 1);
        pick("", 0);
        pick("C:\\v1.0\\photo", 1);
        pick("name.", 0);
        CancelFile()(dialog);
    });
    EXPECT_EQ(SaveImageCommand(window, &doc), -1);
    EXPECT_EQ(driver.Problems(), "");
    EXPECT_EQ(names, (std::vector<std::string>{"photo.jpg", "photo.bmp", "photo.jpg", "a.b.jpg", "a.b.bmp",
                                               "C:\\v1.0\\photo.jpg", "name.bmp"}));
    ExpectCentred(frameRect, 20);
}

TEST_F(SaveDialogType, VeryLongNamesStayWithinTheBuffer)
{
    MakePicture(&doc, 2, 2);
    const std::string fits = std::string(250, 'f') + ".bmp";              // 254: room for ".jpg"
    const std::string noRoom = std::string(253, 'n');                     // 253 + ".jpg" > 255
    const std::string huge = std::string(300, 'h');                       // longer than the buffer
    const std::string earlyDot = "a.b" + std::string(250, 'c') + ".bmp";  // 257, last dot past 255
    const std::string cutDot = "a.b" + std::string(256, 'c') + ".bmp";    // 263: its first 255 end in c
    const std::string full = std::string(251, 'e') + ".bmp";               // 255: the buffer's whole room
    DialogDriver driver;
    std::vector<std::string> names;
    driver.OnDialog(kSaveTitle, [&](HWND dialog) {
        HWND frame = FileDialogFrame(dialog);
        for (const std::string& name : {fits, noRoom, huge, earlyDot, cutDot, full}) {
            FileDialogSelectType(frame, 0);
            FileDialogSetName(frame, name);
            FileDialogSelectType(frame, 1);
            names.push_back(NameText(frame));
        }
        CancelFile()(dialog);
    });
    EXPECT_EQ(SaveImageCommand(window, &doc), -1);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0], std::string(250, 'f') + ".jpg");
    EXPECT_EQ(names[1], noRoom);
    EXPECT_EQ(names[2], huge);
    // The name's extension starts at its last dot: either the whole name is
    // switched or, as it cannot be within the buffer, it stays as typed; it
    // must not be cut back to "a.jpg".
    EXPECT_TRUE(names[3] == earlyDot || names[3] == earlyDot.substr(0, earlyDot.size() - 4) + ".jpg")
        << "name became \"" << names[3].substr(0, 40) << "...\" (" << names[3].size() << " characters)";
    EXPECT_TRUE(names[4] == cutDot || names[4] == cutDot.substr(0, cutDot.size() - 4) + ".jpg")
        << "name became \"" << names[4].substr(0, 40) << "...\" (" << names[4].size() << " characters)";
    EXPECT_EQ(names[5], std::string(251, 'e') + ".jpg") << "a name that fills the buffer exactly is switched too";
    EXPECT_EQ(std::string(doc.path), "SampleImage");
}

// --- SwitchExtension ------------------------------------------------------------

TEST(SwitchExtension, ReplacesOrAppendsWithinCapacity)
{
    struct Case {
        const char* before;
        int entry;
        const char* after;
        bool switched;
    };
    const Case cases[] = {
        {"photo.bmp", 1, "photo.jpg", true},
        {"photo.jpg", 0, "photo.bmp", true},
        {"photo", 1, "photo.jpg", true},
        {"a.b.bmp", 1, "a.b.jpg", true},
        {"name.", 0, "name.bmp", true},
        {".bmp", 1, ".jpg", true},
        {"C:\\my.dir\\photo", 0, "C:\\my.dir\\photo.bmp", true},
        {"C:/my.dir/photo.x", 1, "C:/my.dir/photo.jpg", true},
        {"C:\\my.dir\\", 1, "C:\\my.dir\\.jpg", true},
        {"photo.bmp", 2, "photo.png", true},
        {"photo.jpg", 3, "photo.webp", true},
        {"photo.bmp", 4, "photo.bmp", false},
        {"photo.bmp", -1, "photo.bmp", false},
        // Names beyond ASCII, in UTF-8 as the record holds them (表 is
        // 0x95 0x5C in code page 932, whose second byte is a backslash;
        // no byte of a UTF-8 character beyond ASCII is).
        {(const char*)u8"表示.bmp", 1, (const char*)u8"表示.jpg", true},
        {(const char*)u8"写真.表", 0, (const char*)u8"写真.bmp", true},
        {(const char*)u8"𠮷_café_✓.bmp", 1, (const char*)u8"𠮷_café_✓.jpg", true},
        {(const char*)u8"C:\\✓.d\\𠮷", 0, (const char*)u8"C:\\✓.d\\𠮷.bmp", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " entry " + std::to_string(c.entry));
        char text[64] = {};
        std::strcpy(text, c.before);
        EXPECT_EQ(SwitchExtension(text, sizeof text, c.entry), c.switched);
        EXPECT_EQ(std::string(text), std::string(c.after));
    }
}

TEST(SwitchExtension, NeverWritesPastCapacity)
{
    // Exactly full: "abc.jpg" and its terminator take 8 bytes.
    char text[16];
    std::memset(text, '#', sizeof text);
    std::strcpy(text, "abc");
    EXPECT_TRUE(SwitchExtension(text, 8, 1));
    EXPECT_STREQ(text, "abc.jpg");
    EXPECT_EQ(text[8], '#');

    std::memset(text, '#', sizeof text);
    std::strcpy(text, "abc");
    EXPECT_FALSE(SwitchExtension(text, 7, 1));
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(text[4], '#');

    // Every length up to and past a 256-byte buffer, with and without an
    // extension: the bytes after the buffer stay untouched.
    for (size_t length = 240; length < 256; length++)
        for (bool withDot : {false, true}) {
            std::vector<char> buffer(256 + 16, '#');
            std::string name(length, 'x');
            if (withDot && length > 4) name.replace(length - 4, 4, ".bmp");
            std::memcpy(buffer.data(), name.c_str(), length + 1);
            bool switched = SwitchExtension(buffer.data(), 256, 1);
            size_t stem = withDot ? length - 4 : length;
            EXPECT_EQ(switched, stem + 5 <= 256) << length;
            std::string result(buffer.data());
            EXPECT_EQ(result, switched ? name.substr(0, stem) + ".jpg" : name) << length;
            for (size_t i = 256; i < buffer.size(); i++) ASSERT_EQ(buffer[i], '#') << length;
        }
}

// --- Photo files: PNG and WebP, transparency, metadata, orientation ------------

const std::string kPngTitle = U8(u8"PNG保存ファイル設定");
const std::string kWebpTitle = U8(u8"WebP保存ファイル設定");
const std::string kBackgroundTitle = U8(u8"透明な部分の背景色");

// An 8-bit RGBA picture, rows top-down, as a file means it.
struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<BYTE> bytes;  // red, green, blue, alpha
    BYTE* At(int x, int y) { return &bytes[((size_t)y * width + x) * 4]; }
};

// The picture the program holds: doc's pixels and MainPhoto's alpha (255
// where it has none), top-down.
Rgba Held(const ImageDocument& doc, const std::vector<std::uint8_t>& alpha)
{
    Rgba out{doc.width, doc.height, std::vector<BYTE>((size_t)doc.width * doc.height * 4)};
    for (int y = 0; y < doc.height; y++)
        for (int x = 0; x < doc.width; x++) {
            const size_t stored = (size_t)(doc.height - 1 - y) * doc.width + x;
            const BYTE* p = doc.dib + 40 + stored * 4;
            BYTE* q = out.At(x, y);
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
            q[3] = alpha.empty() ? 255 : alpha[stored];
        }
    return out;
}

// A document and alpha plane holding picture (rows bottom-up).
void FromRgba(Rgba picture, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    MakePicture(doc, picture.width, picture.height);
    alpha->assign((size_t)picture.width * picture.height, 255);
    for (int y = 0; y < picture.height; y++)
        for (int x = 0; x < picture.width; x++) {
            const size_t stored = (size_t)(picture.height - 1 - y) * picture.width + x;
            BYTE* p = doc->dib + 40 + stored * 4;
            const BYTE* q = picture.At(x, y);
            p[0] = q[2];
            p[1] = q[1];
            p[2] = q[0];
            (*alpha)[stored] = q[3];
        }
}

int Luminances(const ImageDocument& doc)  // pixels whose height is not their luminance
{
    int wrong = 0;
    const BYTE* p = doc.dib + 40;
    for (int i = 0; i < doc.width * doc.height; i++, p += 4)
        if (p[3] != Luminance(p[0], p[1], p[2])) wrong++;
    return wrong;
}

// --- PNG files of every kind, made with libspng -------------------------------

struct PngKind {
    const char* name;
    int colourType;  // 0 grey, 2 colour, 3 palette, 4 grey + alpha, 6 colour + alpha
    int depth;
    bool trns;
    bool interlaced;
};

int Channels(int colourType) { return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1; }

// A sample of each depth's whole range; 16-bit ones differ in both bytes.
unsigned Sample(int x, int y, int channel, int depth)
{
    const unsigned v = (unsigned)(x * 37 + y * 101 + channel * 53);
    return depth == 16 ? (v * 263u) & 0xFFFF : v % (1u << depth);
}

BYTE To8(unsigned v, int depth)
{
    return (BYTE)(depth == 16 ? v >> 8 : depth < 8 ? v * 255 / ((1u << depth) - 1) : v);
}

// libspng takes 16-bit samples in the machine's byte order.
void PutSample(std::vector<BYTE>& row, int index, unsigned v, int depth)
{
    if (depth == 16) {
        row[index * 2] = (BYTE)v;
        row[index * 2 + 1] = (BYTE)(v >> 8);
    } else {
        const int bit = index * depth;
        row[bit / 8] |= (BYTE)(v << (8 - depth - bit % 8));
    }
}

// The PNG file of kind, w x h, and in *expected the RGBA it means.
std::string MakePng(const PngKind& kind, int w, int h, Rgba* expected)
{
    const int channels = Channels(kind.colourType);
    const size_t rowBytes = ((size_t)w * channels * kind.depth + 7) / 8;
    std::vector<BYTE> image;
    *expected = Rgba{w, h, std::vector<BYTE>((size_t)w * h * 4)};
    spng_plte plte = {};
    spng_trns trns = {};
    plte.n_entries = kind.colourType == 3 ? std::min(256u, 1u << kind.depth) : 0;
    for (unsigned i = 0; i < plte.n_entries; i++) {
        plte.entries[i] = {(uint8_t)(i * 37), (uint8_t)(i * 91 + 5), (uint8_t)(255 - i * 13), 255};
        trns.type3_alpha[i] = (uint8_t)(i * 71);
    }
    trns.n_type3_entries = plte.n_entries;
    trns.gray = (uint16_t)Sample(0, 0, 0, kind.depth);
    trns.red = (uint16_t)Sample(0, 0, 0, kind.depth);
    trns.green = (uint16_t)Sample(0, 0, 1, kind.depth);
    trns.blue = (uint16_t)Sample(0, 0, 2, kind.depth);
    for (int y = 0; y < h; y++) {
        std::vector<BYTE> row(rowBytes, 0);
        for (int x = 0; x < w; x++) {
            unsigned s[4];
            for (int c = 0; c < channels; c++) {
                s[c] = Sample(x, y, c, kind.depth);
                PutSample(row, x * channels + c, s[c], kind.depth);
            }
            BYTE* e = expected->At(x, y);
            if (kind.colourType == 3) {
                const spng_plte_entry& entry = plte.entries[s[0]];
                e[0] = entry.red, e[1] = entry.green, e[2] = entry.blue;
                e[3] = kind.trns ? trns.type3_alpha[s[0]] : 255;
            } else if (kind.colourType == 0 || kind.colourType == 4) {
                e[0] = e[1] = e[2] = To8(s[0], kind.depth);
                e[3] = kind.colourType == 4 ? To8(s[1], kind.depth) : kind.trns && s[0] == trns.gray ? 0 : 255;
            } else {
                for (int c = 0; c < 3; c++) e[c] = To8(s[c], kind.depth);
                const bool key = s[0] == trns.red && s[1] == trns.green && s[2] == trns.blue;
                e[3] = kind.colourType == 6 ? To8(s[3], kind.depth) : kind.trns && key ? 0 : 255;
            }
        }
        image.insert(image.end(), row.begin(), row.end());
    }
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr = {(uint32_t)w, (uint32_t)h, (uint8_t)kind.depth, (uint8_t)kind.colourType, 0, 0,
                      (uint8_t)(kind.interlaced ? 1 : 0)};
    int error = spng_set_ihdr(ctx, &ihdr);
    if (!error && plte.n_entries) error = spng_set_plte(ctx, &plte);
    if (!error && kind.trns) error = spng_set_trns(ctx, &trns);
    if (!error) error = spng_encode_image(ctx, image.data(), image.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t length = 0;
    void* png = error ? nullptr : spng_get_png_buffer(ctx, &length, &error);
    EXPECT_EQ(error, 0) << kind.name << ": " << spng_strerror(error);
    std::string file(png ? (const char*)png : "", png ? length : 0);
    free(png);
    spng_ctx_free(ctx);
    return file;
}

// A WebP file of picture through the core's writer.
std::string MakeWebp(const Rgba& picture, bool withAlpha, bool lossless, const std::string& path)
{
    ImageDocument doc = {};
    std::vector<std::uint8_t> alpha;
    FromRgba(picture, &doc, &alpha);
    EXPECT_TRUE(WriteWebpFile(path.c_str(), &doc, withAlpha ? alpha.data() : nullptr, 90, lossless).ok());
    ReleaseDocument(&doc);
    std::string file;
    EXPECT_TRUE(ReadWholeFile(path, file));
    return file;
}

Rgba Pattern(int w, int h)
{
    Rgba p{w, h, std::vector<BYTE>((size_t)w * h * 4)};
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            BYTE* q = p.At(x, y);
            q[0] = (BYTE)(10 + x * 60 + y * 7);
            q[1] = (BYTE)(20 + y * 90);
            q[2] = (BYTE)(200 - x * 30);
            q[3] = (BYTE)(255 - (x + 3 * y) * 20);
        }
    return p;
}

using PhotoOpen = FileCommands;

// Every PNG depth and colour type and the three kinds of WebP file open
// through the open command with their pixels, alpha and luminance; the
// remembered type becomes the file's.
TEST_F(PhotoOpen, EveryPngAndWebpKindOpensWithItsPixelsAndAlpha)
{
    const PngKind kinds[] = {
        {"grey1", 0, 1, false, false},      {"grey2", 0, 2, false, false},     {"grey4", 0, 4, false, false},
        {"grey8", 0, 8, false, false},      {"grey16", 0, 16, false, false},   {"grey8-key", 0, 8, true, false},
        {"palette1", 3, 1, false, false},   {"palette2", 3, 2, false, false},  {"palette4", 3, 4, false, false},
        {"palette8-trns", 3, 8, true, false}, {"rgb8", 2, 8, false, false},    {"rgb16", 2, 16, false, false},
        {"rgb8-key", 2, 8, true, false},    {"greyalpha8", 4, 8, false, false}, {"greyalpha16", 4, 16, false, false},
        {"rgba8", 6, 8, false, false},      {"rgba16-interlaced", 6, 16, false, true},
        {"rgb8-interlaced", 2, 8, false, true},
    };
    struct Case {
        std::string name, bytes;
        Rgba expected;
        bool hasAlpha;
        int type;
        bool exactColour;
    };
    std::vector<Case> cases;
    for (const PngKind& kind : kinds) {
        Case c{std::string(kind.name) + ".png", {}, {}, kind.trns || kind.colourType >= 4, kTypePng, true};
        c.bytes = MakePng(kind, 13, 7, &c.expected);
        cases.push_back(c);
    }
    const Rgba photo = Pattern(4, 3);
    Rgba opaque = photo;
    for (size_t i = 3; i < opaque.bytes.size(); i += 4) opaque.bytes[i] = 255;
    cases.push_back({"lossless-alpha.webp", MakeWebp(photo, true, true, dir.File("w1.webp")), photo, true, kTypeWebp, true});
    cases.push_back({"lossless.webp", MakeWebp(opaque, false, true, dir.File("w2.webp")), opaque, false, kTypeWebp, true});
    cases.push_back({"lossy-alpha.webp", MakeWebp(photo, true, false, dir.File("w3.webp")), photo, true, kTypeWebp, false});
    cases.push_back({"lossy.webp", MakeWebp(opaque, false, false, dir.File("w4.webp")), opaque, false, kTypeWebp, false});

    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        ASSERT_TRUE(WriteWholeFile(path, c.bytes));
        FileTypeIndex = kTypeBmp;
        DialogDriver driver;
        driver.OnDialog(kOpenTitle, AcceptFile(path, 0));  // all pictures
        EXPECT_EQ(OpenImageCommand(window, &doc), 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_TRUE(driver.MessageBoxes().empty());
        StopRepeating();
        EXPECT_EQ(FileTypeIndex, c.type);
        EXPECT_EQ(doc.isModified, 0);
        ASSERT_EQ(doc.width, c.expected.width);
        ASSERT_EQ(doc.height, c.expected.height);
        EXPECT_EQ(MainPhoto.alpha.empty(), !c.hasAlpha);
        EXPECT_EQ(Luminances(doc), 0);
        Rgba held = Held(doc, MainPhoto.alpha);
        if (c.exactColour) {
            EXPECT_EQ(held.bytes, c.expected.bytes);
        } else {  // lossy: the alpha plane is kept exactly
            for (size_t i = 3; i < held.bytes.size(); i += 4) EXPECT_EQ(held.bytes[i], c.expected.bytes[i]) << i / 4;
        }
    }
}

// An EXIF orientation of 2..8 turns the picture (and its alpha) upright
// when it opens, without marking it modified; saved again, it says 1.
TEST_F(PhotoOpen, EachExifOrientationOpensUpright)
{
    const int w = 3, h = 2;
    const Rgba stored = Pattern(w, h);
    // Where the seen pixel (x, y) of a W x H stored picture comes from.
    auto source = [&](int n, int x, int y) -> std::pair<int, int> {
        switch (n) {
        case 2: return {w - 1 - x, y};
        case 3: return {w - 1 - x, h - 1 - y};
        case 4: return {x, h - 1 - y};
        case 5: return {y, x};
        case 6: return {y, h - 1 - x};
        case 7: return {w - 1 - y, h - 1 - x};
        case 8: return {w - 1 - y, x};
        default: return {x, y};
        }
    };
    for (int n = 1; n <= 8; n++) {
        SCOPED_TRACE("orientation " + std::to_string(n));
        const std::string path = dir.File("turned" + std::to_string(n) + ".png");
        {
            ImageDocument file = {};
            std::vector<std::uint8_t> alpha;
            FromRgba(stored, &file, &alpha);
            ASSERT_TRUE(WritePngFile(path.c_str(), &file, alpha.data()).ok());
            ReleaseDocument(&file);
            auto image = Exiv2::ImageFactory::open(path);
            image->readMetadata();
            Exiv2::ExifData exif;
            exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(n);
            image->setExifData(exif);
            image->writeMetadata();
        }
        DialogDriver driver;
        driver.OnDialog(kOpenTitle, AcceptFile(path, 0));
        EXPECT_EQ(OpenImageCommand(window, &doc), 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_TRUE(driver.MessageBoxes().empty());
        StopRepeating();
        const bool sideways = n >= 5;
        ASSERT_EQ(doc.width, sideways ? h : w);
        ASSERT_EQ(doc.height, sideways ? w : h);
        EXPECT_EQ(doc.isModified, 0);
        EXPECT_EQ(MainPhoto.oriented, n != 1);
        EXPECT_EQ(Luminances(doc), 0);
        Rgba held = Held(doc, MainPhoto.alpha);
        Rgba copy = stored;
        for (int y = 0; y < doc.height; y++)
            for (int x = 0; x < doc.width; x++) {
                auto [sx, sy] = source(n, x, y);
                EXPECT_EQ(std::vector<BYTE>(held.At(x, y), held.At(x, y) + 4),
                          std::vector<BYTE>(copy.At(sx, sy), copy.At(sx, sy) + 4))
                    << "seen " << x << "," << y;
            }
        if (n == 6) {
            const std::string saved = dir.File("upright.png");
            DialogDriver saving;
            saving.OnDialog(kSaveTitle, AcceptFile(saved, 2));
            saving.OnDialog(kPngTitle, [](HWND d) { PressButton(d, IDOK); });
            EXPECT_EQ(SaveImageCommand(window, &doc), 0);
            EXPECT_EQ(saving.Problems(), "");
            EXPECT_TRUE(saving.MessageBoxes().empty());
            StopRepeating();
            auto image = Exiv2::ImageFactory::open(saved);
            image->readMetadata();
            auto found = image->exifData().findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
            ASSERT_NE(found, image->exifData().end());
            EXPECT_EQ(found->toLong(), 1);
        }
    }
}

// A photograph whose metadata cannot be read opens without it; one notice,
// after the picture is shown, says so.
TEST_F(PhotoOpen, UnreadableMetadataOpensWithoutItAndSaysSoOnce)
{
    ImageDocument source = {};
    MakePicture(&source, 8, 8);
    const std::string clean = dir.File("clean.jpg");
    std::strcpy(source.path, clean.c_str());
    ASSERT_TRUE(WriteJpegFile(&source, RememberedJpegSettings()).ok());
    ReleaseDocument(&source);
    std::string jpeg;
    ASSERT_TRUE(ReadWholeFile(clean, jpeg));
    // An EXIF block whose first directory lies far past its end.
    const std::string exif = std::string("Exif\0\0II*\0\xFF\xFF\xFF\x7F", 14) + std::string(20, '\0');
    jpeg.insert(2, std::string("\xFF\xE1", 2) + (char)0 + (char)(exif.size() + 2) + exif);
    const std::string path = dir.File("badexif.jpg");
    ASSERT_TRUE(WriteWholeFile(path, jpeg));

    DialogDriver driver;
    driver.OnDialog(kOpenTitle, AcceptFile(path, 0));
    EXPECT_EQ(OpenImageCommand(window, &doc), 0);
    EXPECT_TRUE(driver.MessageBoxes().empty()) << "nothing said before the picture is shown";
    EXPECT_EQ(doc.width, 8);
    EXPECT_TRUE(MainPhoto.metadata.empty());
    driver.AnswerMessageBox(IDOK);
    ShowOpenNotice(window);
    ShowOpenNotice(window);
    EXPECT_EQ(driver.Problems(), "");
    const std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Quillvane");
    EXPECT_EQ(boxes[0].text, ProgramText(Text::MetadataNotRead));
}

using PhotoSave = FileCommands;

const std::string& SettingsTitle(int type)
{
    static const std::string* titles[] = {&kDepthTitle, &kJpegTitle, &kPngTitle, &kWebpTitle};
    return *titles[type - 1];
}

// A JPEG photograph with EXIF (a place, a thumbnail), XMP (a place), IPTC
// (a place) and an ICC profile; the profile is returned.
std::vector<BYTE> WritePhotograph(HWND window, const TempDir& dir, const std::string& path)
{
    ImageDocument source = {};
    MakePicture(&source, 16, 8);
    std::strcpy(source.path, path.c_str());
    {
        DialogDriver quiet;
        EXPECT_EQ(Shown(WriteJpegFile(&source, RememberedJpegSettings()), window), 0);
    }
    ReleaseDocument(&source);
    const std::string thumbnail = dir.File("thumbnail.jpg");
    EXPECT_TRUE(qvtest::WriteFlatJpeg(thumbnail, 16, 12, 75, false));
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Quillvane Test";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(4000);
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail);
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.creator"] = "Tester";
    xmp["Xmp.photoshop.City"] = "Kyoto";
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Caption"] = "A caption";
    iptc["Iptc.Application2.City"] = "Kyoto";
    Exiv2::DataBuf profile(132);
    for (long i = 0; i < profile.size_; ++i) profile.pData_[i] = (Exiv2::byte)(i * 7);
    const Exiv2::byte head[] = {0, 0, 0, 132};
    std::copy(std::begin(head), std::end(head), profile.pData_);
    std::copy_n("acsp", 4, profile.pData_ + 36);
    std::vector<BYTE> bytes(profile.pData_, profile.pData_ + profile.size_);
    image->setExifData(exif);
    image->setXmpData(xmp);
    image->setIptcData(iptc);
    image->setIccProfile(profile, true);  // which takes the buffer
    image->writeMetadata();
    return bytes;
}

// Each metadata choice of the settings dialogs into each type of file,
// read back with Exiv2: all, all but the location, none; BMP carries none.
TEST_F(PhotoSave, MetadataChoiceIntoEachTypeOfFile)
{
    const std::string source = dir.File("photo.jpg");
    const std::vector<BYTE> profile = WritePhotograph(window, dir, source);
    {
        DialogDriver driver;
        driver.OnDialog(kOpenTitle, AcceptFile(source, 0));
        ASSERT_EQ(OpenImageCommand(window, &doc), 0);
        ASSERT_EQ(driver.Problems(), "");
        ASSERT_TRUE(driver.MessageBoxes().empty());
        StopRepeating();
    }
    ASSERT_FALSE(MainPhoto.metadata.empty());
    struct Choice {
        int radio;
        bool kept, place;
    };
    const Choice choices[] = {{IDC_METADATA_ALL, true, true}, {IDC_METADATA_NO_LOCATION, true, false},
                              {IDC_METADATA_NONE, false, false}};
    const char* extensions[] = {".bmp", ".jpg", ".png", ".webp"};
    for (const Choice& choice : choices)
        for (int type = kTypeBmp; type <= kTypeWebp; type++) {
            const std::string target = dir.File("out" + std::to_string(choice.radio) + extensions[type - 1]);
            SCOPED_TRACE(target);
            DialogDriver driver;
            driver.OnDialog(kSaveTitle, AcceptFile(target, type - 1));
            driver.OnDialog(SettingsTitle(type), [&](HWND d) {
                if (type != kTypeBmp) ClickButton(d, choice.radio);
                PressButton(d, IDOK);
            });
            bool saved = false;
            EXPECT_EQ(SaveImageCommand(window, &doc, &saved), 0);
            EXPECT_EQ(driver.Problems(), "");
            EXPECT_TRUE(driver.MessageBoxes().empty());
            StopRepeating();
            ASSERT_TRUE(saved);
            std::string file;
            ASSERT_TRUE(ReadWholeFile(target, file));
            if (type == kTypeBmp) {
                EXPECT_EQ(file.substr(0, 2), "BM");
                continue;
            }
            auto image = Exiv2::ImageFactory::open(target);
            image->readMetadata();
            const Exiv2::ExifData& exif = image->exifData();
            const Exiv2::XmpData& xmp = image->xmpData();
            auto has = [&](const char* key) { return exif.findKey(Exiv2::ExifKey(key)) != exif.end(); };
            auto hasXmp = [&](const char* key) { return xmp.findKey(Exiv2::XmpKey(key)) != xmp.end(); };
            EXPECT_EQ(has("Exif.Image.Make"), choice.kept);
            EXPECT_EQ(has("Exif.GPSInfo.GPSLatitudeRef"), choice.place);
            EXPECT_FALSE(has("Exif.Thumbnail.Compression")) << "the thumbnail is removed";
            EXPECT_EQ(hasXmp("Xmp.dc.creator"), choice.kept);
            EXPECT_EQ(hasXmp("Xmp.photoshop.City"), choice.place);
            if (choice.kept) {
                EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Photo.PixelXDimension"))->toLong(), 16);
            }
            if (type != kTypeWebp) {  // WebP has no IPTC block: the caption went into XMP
                auto caption = image->iptcData().findKey(Exiv2::IptcKey("Iptc.Application2.Caption"));
                EXPECT_EQ(caption != image->iptcData().end(), choice.kept);
            }
            EXPECT_EQ(image->iccProfileDefined(), choice.kept);
            if (choice.kept && image->iccProfileDefined()) {
                const Exiv2::DataBuf* icc = image->iccProfile();
                EXPECT_EQ(std::vector<BYTE>(icc->pData_, icc->pData_ + icc->size_), profile);
            }
        }
    EXPECT_EQ(SaveMetadata, MetadataKeep::None);  // the last choice is remembered

    // A picture without metadata: the choice is shown gray and stays.
    MainPhoto.metadata = {};
    DialogDriver driver;
    driver.OnDialog(kSaveTitle, AcceptFile(dir.File("plain.png"), kTypePng - 1));
    driver.OnDialog(SettingsTitle(kTypePng), [&](HWND d) {
        for (int id = IDC_METADATA_ALL; id <= IDC_METADATA_NONE; ++id)
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, id))) << id;
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_METADATA_NONE), BST_CHECKED);
        PressButton(d, IDOK);
    });
    EXPECT_EQ(SaveImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    StopRepeating();
    EXPECT_EQ(SaveMetadata, MetadataKeep::None);
}

// A transparent picture keeps its alpha through a PNG file; a JPEG file
// gets it over the colour the colour dialog gives, the picture in the
// window keeping its alpha; cancelling that dialog writes nothing.
TEST_F(PhotoSave, TransparencyThroughPngAndOverTheChosenColourIntoJpeg)
{
    Rgba picture{16, 16, std::vector<BYTE>(16 * 16 * 4)};
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            BYTE* p = picture.At(x, y);
            p[0] = x < 8 ? 0 : 255, p[1] = x < 8 ? 255 : 0, p[2] = (BYTE)(y * 9);
            p[3] = x < 8 ? 0 : y == 0 ? 128 : 255;
        }
    const std::string source = dir.File("logo.png");
    {
        ImageDocument file = {};
        std::vector<std::uint8_t> alpha;
        FromRgba(picture, &file, &alpha);
        ASSERT_TRUE(WritePngFile(source.c_str(), &file, alpha.data()).ok());
        ReleaseDocument(&file);
    }
    {
        DialogDriver driver;
        driver.OnDialog(kOpenTitle, AcceptFile(source, 0));
        ASSERT_EQ(OpenImageCommand(window, &doc), 0);
        StopRepeating();
    }
    const std::string pixelsBefore = PixelBytes(doc);
    const std::vector<std::uint8_t> alphaBefore = MainPhoto.alpha;
    ASSERT_EQ(alphaBefore.size(), 256u);

    // PNG: every byte back, the alpha too.
    const std::string png = dir.File("copy.png");
    {
        DialogDriver driver;
        driver.OnDialog(kSaveTitle, AcceptFile(png, 2));
        driver.OnDialog(kPngTitle, [](HWND d) { PressButton(d, IDOK); });
        EXPECT_EQ(SaveImageCommand(window, &doc), 0);
        EXPECT_EQ(driver.Problems(), "");
        StopRepeating();
    }
    ImageDocument back = {};
    std::vector<std::uint8_t> backAlpha;
    ASSERT_TRUE(ReadPngFile(png.c_str(), &back, &backAlpha).ok());
    EXPECT_EQ(Held(back, backAlpha).bytes, picture.bytes);
    ReleaseDocument(&back);

    // JPEG: the colour dialog (cancelled, then OK on the remembered blue).
    TransparencyBackground = RGB(0, 0, 255);
    const std::string jpeg = dir.File("flat.jpg");
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancelled" : "OK");
        doc.isModified = 1;
        DialogDriver driver;
        driver.OnDialog(kSaveTitle, AcceptFile(jpeg, 1));
        driver.OnDialog(kJpegTitle, [](HWND d) { PressButton(d, IDOK); });
        driver.OnDialog(kBackgroundTitle, [cancel](HWND d) { PressButton(d, cancel ? IDCANCEL : IDOK); });
        bool saved = !cancel;
        EXPECT_EQ(SaveImageCommand(window, &doc, &saved), 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_TRUE(driver.MessageBoxes().empty());
        StopRepeating();
        EXPECT_EQ(saved, !cancel);
        EXPECT_EQ(FileExists(jpeg), !cancel);
        EXPECT_EQ(doc.isModified, cancel ? 1 : 0);
    }
    EXPECT_EQ(PixelBytes(doc), pixelsBefore) << "the picture in the window is not composited";
    EXPECT_EQ(MainPhoto.alpha, alphaBefore);
    ImageDocument flat = {};
    std::strcpy(flat.path, jpeg.c_str());
    ASSERT_TRUE(ReadJpegFile(&flat).ok());
    Rgba seen = Held(flat, {});
    for (int y = 2; y < 14; y++) {
        const BYTE* over = seen.At(2, y);   // transparent: the background
        const BYTE* solid = seen.At(13, y);  // opaque: its own colour
        EXPECT_LT(over[0], 40) << y;
        EXPECT_LT(over[1], 40) << y;
        EXPECT_GT(over[2], 215) << y;
        EXPECT_GT(solid[0], 215) << y;
        EXPECT_LT(solid[1], 40) << y;
    }
    ReleaseDocument(&flat);
}

// What BMP and JPEG files always were: a BMP save at each depth, and the
// JPEG save of a picture opened from a JPEG without metadata, give the
// bytes the writers give on their own.
TEST_F(PhotoSave, BmpAndMetadataFreeJpegBytesStayAsTheyWere)
{
    for (int radio : {IDC_DEPTH_16, IDC_DEPTH_24, IDC_DEPTH_32}) {
        SCOPED_TRACE(radio);
        MakePicture(&doc, 5, 3);
        const std::string saved = dir.File("command" + std::to_string(radio) + ".bmp");
        const std::string direct = dir.File("direct" + std::to_string(radio) + ".bmp");
        std::strcpy(doc.path, direct.c_str());
        DialogDriver driver;
        driver.OnDialog(kSaveTitle, AcceptFile(saved, 0));
        driver.OnDialog(kDepthTitle, [radio](HWND d) {
            ClickButton(d, radio);
            PressButton(d, IDOK);
        });
        ImageDocument copy = {};
        MakePicture(&copy, 5, 3);
        std::strcpy(copy.path, direct.c_str());
        EXPECT_EQ(SaveImageCommand(window, &doc), 0);
        EXPECT_EQ(driver.Problems(), "");
        StopRepeating();
        ASSERT_TRUE(WriteBmpFile(&copy, RememberedBmpSettings()).ok());
        ReleaseDocument(&copy);
        std::string a, b;
        ASSERT_TRUE(ReadWholeFile(saved, a));
        ASSERT_TRUE(ReadWholeFile(direct, b));
        EXPECT_EQ(a, b);
    }

    ImageDocument source = {};
    MakePicture(&source, 16, 8);
    const std::string plain = dir.File("plain.jpg");
    std::strcpy(source.path, plain.c_str());
    ASSERT_TRUE(WriteJpegFile(&source, RememberedJpegSettings()).ok());
    ReleaseDocument(&source);
    DialogDriver driver;
    driver.OnDialog(kOpenTitle, AcceptFile(plain, 0));
    ASSERT_EQ(OpenImageCommand(window, &doc), 0);
    StopRepeating();
    EXPECT_TRUE(MainPhoto.metadata.empty());
    const std::string saved = dir.File("command.jpg"), direct = dir.File("direct.jpg");
    driver.OnDialog(kSaveTitle, AcceptFile(saved, 1));
    driver.OnDialog(kJpegTitle, [](HWND d) { PressButton(d, IDOK); });
    EXPECT_EQ(SaveImageCommand(window, &doc), 0);
    EXPECT_EQ(driver.Problems(), "");
    StopRepeating();
    std::strcpy(doc.path, direct.c_str());
    ASSERT_TRUE(WriteJpegFile(&doc, RememberedJpegSettings()).ok());
    std::string a, b;
    ASSERT_TRUE(ReadWholeFile(saved, a));
    ASSERT_TRUE(ReadWholeFile(direct, b));
    EXPECT_EQ(a, b);
}

}  // namespace

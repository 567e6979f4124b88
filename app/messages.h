// Every text the program shows in a message box, in one place, in Japanese
// and in English, and how it shows what the readers and writers report:
// each warning, then the failure, in a box with the caption "Error" and an
// OK button.  The texts are UTF-8; the boxes are the wide MessageBoxW, so
// they read the same under every Windows code page.
#pragma once

#include "app/ui_language.h"
#include "files/text_template.h"
#include "image/failure.h"
#include "platform/platform.h"
#include "platform/user_stand_in.h"  // the native test builds' message box
#include "text/text_failure.h"

#include <string>

// The Japanese texts, as the program has always shown them.
namespace msg {
inline constexpr const char kErrorCaption[] = "Error";
inline constexpr const char kOutOfMemory[] = "メモリーが足りません。";
inline constexpr const char kOpenFailed[] = " ファイルのオープンに失敗しました";
inline constexpr const char kNotBitmap[] = "ビットマップではありません";
inline constexpr const char kDepthUnsupported[] = " 16、24、32ビットカラーのみ対応です。";
inline constexpr const char kCompressionUnsupported[] = "この圧縮形式のビットマップには対応していません。";
inline constexpr const char kHeaderUnsupported[] = "この形式のビットマップには対応していません。";
inline constexpr const char kBitmapDamaged[] = "ビットマップファイルが壊れています。";
inline constexpr const char kBadSize[] = "画像の幅または高さが正しくありません。";
inline constexpr const char kTooLarge[] = "画像が大きすぎて読み込めません。";
inline constexpr const char kFreeFailed[] = "GlobalFree失敗";
inline constexpr const char kNothingLoaded[] = "画像が読み込まれていません。";
inline constexpr const char kCreateFailed[] = "ファイル作成に失敗しました";
inline constexpr const char kJpegUnreadable[] = "JPEGファイルを読み込めませんでした。";
inline constexpr const char kJpegWriteFailed[] = "JPEGファイルの書き込みに失敗しました。";

// Questions and notices of the main window's commands.
inline constexpr const char kUnsavedQuestion[] = "画像が保存されていません。保存しますか？";
inline constexpr const char kExitCaption[] = "Quillvane";
inline constexpr const char kCommandCaption[] = "Quivane";
inline constexpr const char kNoPrinter[] = "登録プリンターがありません。";
inline constexpr const char kNoPrinterCaption[] = "プリンター確認";
inline constexpr const char kLargerThanPage[] = "画像が印刷領域より大きいため、\n印刷できない部分がありますがよろしいですか？";
inline constexpr const char kCentreOnPage[] = "印刷領域の中央に印刷しますか？";

// The bump dialog's open dialog for the watermark: pairs of a shown type
// and its patterns, each ended by '|' (the dialog wants NULs there).
inline constexpr const char kWatermarkOpenTitle[] = "開く";
inline constexpr const char kWatermarkFileTypes[] =
    "ビットマップファイル(*.bmp)| *.bmp|JPEGファイル(*.jpg)| *.jpg|PNGファイル(*.png)|*.png|WebPファイル(*.webp)|*.webp|";

// The notice when the shell hands over several files at once (a drop, the
// command line): only the first opens.  Wide, in both languages, for
// MessageBoxW.
inline constexpr const wchar_t kOnePictureAtATime[] = L"画像は一度に1枚だけ開けます。最初のファイルを開きます。";
inline constexpr const wchar_t kOnePictureAtATimeEnglish[] =
    L"One picture is open at a time. The first file is opened.";
inline constexpr const wchar_t kNoticeCaption[] = L"Quillvane";
}  // namespace msg

// The texts the windows and commands show themselves (the failures',
// causes' and warnings' texts come through FailureBoxText and
// WarningBoxText).
enum class Text {
    ErrorCaption,
    ExitCaption,
    CommandCaption,
    UnsavedQuestion,
    OutOfMemory,
    NothingLoaded,
    NoPrinter,
    NoPrinterCaption,
    LargerThanPage,
    CentreOnPage,
    // The bump dialog's watermark file: the open dialog's title and types.
    WatermarkOpenTitle,
    WatermarkFileTypes,
    // Photo files: notices of metadata left behind, the transparency's background.
    NoticeCaption,
    MetadataNotRead,
    MetadataNotWritten,
    BackgroundTitle,
    // The edit menu's undo item when a change could not be kept.
    CantUndo,
    // The batch window (app/batch_window.cpp)
    BatchCaption,
    BatchNoInput,
    BatchNoOutput,
    BatchNoTool,
    BatchNoPictures,
    BatchBadNumber,
    BatchNoWatermark,
    BatchOutputFailed,
    BatchTimeLeft,
    BatchSummary,
    BatchCancelled,
    BatchStartFailed,
    BatchInputFolderTitle,
    BatchOutputFolderTitle,
    BatchPictureFilter,
    BatchWouldReplace,
    BatchResultTaken,
};
inline constexpr std::size_t kTextCount = 34;

// text in language, or in ProgramLanguage().  Never null.
const char* ProgramText(Text text, UiLanguage language);
const char* ProgramText(Text text);

// A message box with caption and type (MB_OK, MB_YESNOCANCEL | ...) that
// shows UTF-8 text; returns the button pressed.
int ShowMessageBox(HWND owner, const std::string& text, Text caption, UINT type);

// A question or notice of ours in its own box: the button pressed.
inline int Ask(HWND owner, Text question, Text caption, UINT type)
{
    return ShowMessageBox(owner, ProgramText(question), caption, type);
}

// A box with the caption "Error" and an OK button.
inline void ReportError(HWND window, Text text)
{
    ShowMessageBox(window, ProgramText(text), Text::ErrorCaption, MB_OK);
}

// The text of the box that shows outcome's failure: the failure's
// sentence, and when it has a cause, the cause in brackets on the next
// line ("%s\n(%s)").  Empty when nothing failed.  Without a language, in
// ProgramLanguage().
std::string FailureBoxText(const Outcome& outcome, UiLanguage language);
std::string FailureBoxText(const Outcome& outcome);

// The text of the box that shows a warning.
const char* WarningBoxText(Warning warning, UiLanguage language);
const char* WarningBoxText(Warning warning);

// Shows outcome's warnings, then its failure, each in its own box owned by
// owner.  Shows nothing for a clean success.
void ShowOutcome(HWND owner, const Outcome& outcome);

// Text watermark placeholders: the text of the box that shows why a text
// could not be filled in from a photo (files/text_placeholders.h): the
// failure's sentence, the placeholder as written on the next line, and the
// library's words in brackets where the outcome has them.  Empty when
// nothing failed.  Without a language, in ProgramLanguage().
std::string PlaceholderBoxText(const PlaceholderOutcome& outcome, UiLanguage language);
std::string PlaceholderBoxText(const PlaceholderOutcome& outcome);

// The text watermark dialog's texts.  What is wrong with the text or the
// font, as the dialog shows it under its preview: empty when nothing is.
std::string TextMarkProblemText(const TextOutcome& outcome, UiLanguage language);
std::string TextMarkProblemText(const TextOutcome& outcome);
// The size of the mark drawn ("640 × 72 ピクセル").
std::string TextMarkSizeText(long width, long height, UiLanguage language);
std::string TextMarkSizeText(long width, long height);
// The face shown when no font was chosen and none of Windows's Japanese
// fonts is installed.
const char* TextMarkNoFontText(UiLanguage language);
const char* TextMarkNoFontText();

#include "app/messages.h"

#include "platform/utf16.h"
#include "text/text_mark_params.h"

#include <cstdio>
#include <iterator>
#include <string_view>

namespace {

// Each table has one row per code, in the code's order, with a text in
// every language: the checks below hold them to it at compile time.
template <typename Entry, std::size_t N>
constexpr bool EveryLanguageHasAText(const Entry (&table)[N], std::size_t firstWithText)
{
    for (std::size_t i = firstWithText; i < N; ++i)
        for (const char* text : {table[i].japanese, table[i].english})
            if (*text == '\0')  // (a null text fails here too: no constant)
                return false;
    return true;
}

struct TextEntry {
    Text code;
    const char* japanese;
    const char* english;
};

constexpr TextEntry kTexts[] = {
    {Text::ErrorCaption, msg::kErrorCaption, "Error"},
    {Text::ExitCaption, msg::kExitCaption, "Quillvane"},
    {Text::CommandCaption, msg::kCommandCaption, "Quillvane"},
    {Text::UnsavedQuestion, msg::kUnsavedQuestion, "The picture has not been saved. Save it?"},
    {Text::OutOfMemory, msg::kOutOfMemory, "Not enough memory."},
    {Text::NothingLoaded, msg::kNothingLoaded, "No picture is open."},
    {Text::NoPrinter, msg::kNoPrinter, "No printer is installed."},
    {Text::NoPrinterCaption, msg::kNoPrinterCaption, "Printer"},
    {Text::LargerThanPage, msg::kLargerThanPage,
     "The picture is larger than the printable area,\nso part of it will not be printed. Print anyway?"},
    {Text::CentreOnPage, msg::kCentreOnPage, "Print the picture in the center of the printable area?"},
    // The bump dialog's watermark file.
    {Text::WatermarkOpenTitle, msg::kWatermarkOpenTitle, "Open"},
    {Text::WatermarkFileTypes, msg::kWatermarkFileTypes,
     "Bitmap (*.bmp)|*.bmp|JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png|WebP (*.webp)|*.webp|"},
    // Photo files: notices of metadata left behind, the transparency's background.
    {Text::NoticeCaption, "Quillvane", "Quillvane"},
    {Text::MetadataNotRead, "この画像のメタデータ（EXIF、XMP、IPTC、ICCプロファイル）を読み込めなかったため、メタデータなしで開きました。",
     "The picture's metadata (EXIF, XMP, IPTC, ICC profile) could not be read, so it was opened without it."},
    {Text::MetadataNotWritten, "メタデータを書き込めなかったため、メタデータなしで保存しました。",
     "The metadata could not be written, so the picture was saved without it."},
    {Text::BackgroundTitle, "透明な部分の背景色", "Background Color for Transparent Areas"},
    // The edit menu's undo item when a change could not be kept.
    {Text::CantUndo, "元に戻せません", "Can't Undo"},
    // The batch window
    {Text::BatchCaption, "一括処理", "Batch"},
    {Text::BatchNoInput, "処理するファイルまたはフォルダーを選んでください。", "Choose the files or the folder to process."},
    {Text::BatchNoOutput, "出力先のフォルダーを指定してください。", "Give the output folder."},
    {Text::BatchNoTool, "プログラムと同じフォルダーに quillvane-cli.exe がありません。", "The tool quillvane-cli.exe is not in the program's folder."},
    {Text::BatchNoPictures, "画像ファイルが見つかりません。", "No picture files were found."},
    {Text::BatchBadNumber, "数値が入力されていないか、範囲外です。", "A number is missing or out of range."},
    {Text::BatchNoWatermark, "透かしのファイルまたは文字を指定してください。", "Give a watermark file or a text."},
    {Text::BatchOutputFailed, "出力先のフォルダーを作成できません。", "The output folder cannot be made."},
    {Text::BatchTimeLeft, "残り 約%s", "Time left: about %s"},
    {Text::BatchSummary, "完了 %d 件、失敗 %d 件", "Done: %d, failed: %d"},
    {Text::BatchCancelled, "中止しました。", "Cancelled."},
    {Text::BatchStartFailed, "quillvane-cli.exe を起動できません (エラー %lu)", "Cannot start quillvane-cli.exe (error %lu)"},
    {Text::BatchInputFolderTitle, "処理するフォルダー", "Folder to process"},
    {Text::BatchOutputFolderTitle, "出力先のフォルダー", "Output folder"},
    {Text::BatchPictureFilter, "画像ファイル", "Pictures"},
    {Text::BatchWouldReplace, "処理しません: %s の結果が入力ファイル %s を上書きします", "Not processed: the result of %s would replace the input %s"},
    {Text::BatchResultTaken, "処理しません: %s の結果 %s が前の写真の結果を上書きします", "Not processed: the result of %s, %s, would replace the result of an earlier photo"},
};
static_assert(OneEntryPerCode(kTexts, kTextCount), "one entry for every text, in order");
static_assert(EveryLanguageHasAText(kTexts, 0), "every text in every language");

struct FailureText {
    Failure code;
    const char* japanese;
    const char* english;
};

// The failures only the command-line tool's formats meet have texts too,
// so that nothing the core reports can pass unshown.
constexpr FailureText kFailureTexts[] = {
    {Failure::None, "", ""},
    {Failure::OpenFailed, msg::kOpenFailed, "The file could not be opened."},
    {Failure::CreateFailed, msg::kCreateFailed, "The file could not be created."},
    {Failure::NothingLoaded, msg::kNothingLoaded, "No picture is open."},
    {Failure::OutOfMemory, msg::kOutOfMemory, "Not enough memory."},
    {Failure::NotBitmap, msg::kNotBitmap, "This is not a bitmap file."},
    {Failure::DepthUnsupported, msg::kDepthUnsupported, "Only 16-, 24- and 32-bit color bitmaps are supported."},
    {Failure::CompressionUnsupported, msg::kCompressionUnsupported, "Bitmaps with this compression are not supported."},
    {Failure::HeaderUnsupported, msg::kHeaderUnsupported, "Bitmaps of this kind are not supported."},
    {Failure::BitmapDamaged, msg::kBitmapDamaged, "The bitmap file is damaged."},
    {Failure::BadSize, msg::kBadSize, "The picture's width or height is not valid."},
    {Failure::TooLarge, msg::kTooLarge, "The picture is too large to open."},
    {Failure::JpegUnreadable, msg::kJpegUnreadable, "The JPEG file could not be read."},
    {Failure::JpegWriteFailed, msg::kJpegWriteFailed, "The JPEG file could not be written."},
    {Failure::ReadFailed, "ファイルを読み込めませんでした。", "The file could not be read."},
    {Failure::NameTooLong, "ファイル名が長すぎます。", "The file name is too long."},
    {Failure::WriteIncomplete, "ファイルを最後まで書き込めませんでした。", "The file could not be written to the end."},
    {Failure::ReplaceFailed, "元のファイルを置き換えられません。", "The original file cannot be replaced."},
    {Failure::PictureOutOfMemory, msg::kOutOfMemory, "Not enough memory."},
    {Failure::PngUnreadable, "PNGファイルを読み込めませんでした。", "The PNG file could not be read."},
    {Failure::PngDamaged, "PNGファイルが壊れています。", "The PNG file is damaged."},
    {Failure::PngWriteFailed, "PNGファイルの書き込みに失敗しました。", "The PNG file could not be written."},
    {Failure::WebpUnreadable, "WebPファイルを読み込めませんでした。", "The WebP file could not be read."},
    {Failure::WebpAnimated, "アニメーションのWebPファイルには対応していません。", "Animated WebP files are not supported."},
    {Failure::WebpDamaged, "WebPファイルが壊れています。", "The WebP file is damaged."},
    {Failure::WebpTooLarge, "画像が大きすぎてWebPファイルにできません。", "The picture is too large for a WebP file."},
    {Failure::WebpWriteFailed, "WebPファイルの書き込みに失敗しました。", "The WebP file could not be written."},
    {Failure::MetadataUnreadable, "メタデータを読み込めませんでした。", "The metadata could not be read."},
    {Failure::MetadataUnwritable, "メタデータを書き込めませんでした。", "The metadata could not be written."},
};
static_assert(OneEntryPerCode(kFailureTexts, kFailureCount), "one text for every failure, in order");
static_assert(EveryLanguageHasAText(kFailureTexts, 1), "every failure's text in every language");

struct CauseText {
    Cause code;
    const char* japanese;  // a printf format for Cause::TooManyScans (the count)
    const char* english;
};

constexpr CauseText kCauseTexts[] = {
    {Cause::None, "", ""},
    {Cause::Library, "", ""},  // the library's own words, from the outcome
    {Cause::OutOfMemory, "メモリーが足りません。", "Not enough memory."},
    {Cause::PictureTooLargeForMemory, "画像が大きすぎてメモリーが足りません。",
     "The picture is too large for the memory available."},
    {Cause::TooManyScans, "スキャンの数が多すぎます（%ld超）。", "Too many scans (more than %ld)."},
    {Cause::CannotOpen, "ファイルを開けません。", "The file cannot be opened."},
    {Cause::PictureTooLarge, "画像が大きすぎます。", "The picture is too large."},
    {Cause::ColourFormat, "対応していない色形式です。", "This color format is not supported."},
    {Cause::NameTooLong, "ファイル名が長すぎます。", "The file name is too long."},
    {Cause::CannotCreate, "ファイルを作成できません。", "The file cannot be created."},
    {Cause::WriteIncomplete, "ファイルを最後まで書き込めませんでした。", "The file could not be written to the end."},
    {Cause::CannotReplace, "元のファイルを置き換えられません。", "The original file cannot be replaced."},
};
static_assert(OneEntryPerCode(kCauseTexts, kCauseCount), "one text for every cause, in order");
static_assert(EveryLanguageHasAText(kCauseTexts, 2), "every cause's text in every language");

struct WarningText {
    Warning code;
    const char* japanese;
    const char* english;
};

constexpr WarningText kWarningTexts[] = {
    {Warning::FreeFailed, msg::kFreeFailed, "GlobalFree failed."},
};
static_assert(OneEntryPerCode(kWarningTexts, kWarningCount), "one text for every warning, in order");
static_assert(EveryLanguageHasAText(kWarningTexts, 0), "every warning's text in every language");

// Text watermark placeholders.
struct PlaceholderText {
    PlaceholderFailure code;
    const char* japanese;
    const char* english;
};

constexpr PlaceholderText kPlaceholderTexts[] = {
    {PlaceholderFailure::None, "", ""},
    {PlaceholderFailure::Unterminated, "プレースホルダーを閉じる「}」がありません。",
     "A placeholder has no closing '}'."},
    {PlaceholderFailure::StrayBrace, "対応する「{」のない「}」があります。波かっこそのものは「}}」と書きます。",
     "A '}' closes no placeholder. A brace itself is written '}}'."},
    {PlaceholderFailure::UnknownName, "不明なプレースホルダーです。", "Unknown placeholder."},
    {PlaceholderFailure::BadDateFormat, "日付の書式に使えない変換があります。",
     "The date format has a conversion that is not supported."},
    {PlaceholderFailure::UnknownTag, "Exiv2 の知らないタグです。", "Exiv2 knows no such tag."},
    {PlaceholderFailure::TagMissing, "写真にこのタグがありません。", "The photo does not have this tag."},
    {PlaceholderFailure::MetadataUnreadable, "写真のメタデータを読み込めませんでした。",
     "The photo's metadata could not be read."},
    {PlaceholderFailure::NoDate, "写真に撮影日時もファイルの日時もありません。",
     "The photo has neither a date taken nor a file time."},
};
static_assert(OneEntryPerCode(kPlaceholderTexts, kPlaceholderFailureCount), "one text for every placeholder failure");
static_assert(EveryLanguageHasAText(kPlaceholderTexts, 1), "every placeholder failure's text in every language");

template <typename Code>
std::size_t Index(Code code)
{
    return static_cast<std::size_t>(code);
}

template <typename Entry>
const char* InLanguage(const Entry& entry, UiLanguage language)
{
    return language == UiLanguage::English ? entry.english : entry.japanese;
}

std::string CauseBoxText(const Outcome& outcome, UiLanguage language)
{
    if (outcome.cause == Cause::Library)
        return outcome.detail;
    if (Index(outcome.cause) >= std::size(kCauseTexts))
        return "";
    const char* text = InLanguage(kCauseTexts[Index(outcome.cause)], language);
    if (outcome.cause == Cause::TooManyScans) {
        char formatted[64];
        std::snprintf(formatted, sizeof formatted, text, outcome.number);
        return formatted;
    }
    return text;
}

// The box's own wide strings: UTF-16 wchar_t on Windows, char16_t for the
// native builds' stand-in box.
#ifdef _WIN32
std::wstring BoxString(std::string_view utf8)
{
    return WideFromUtf8(utf8);
}
#else
std::u16string BoxString(std::string_view utf8)
{
    return Utf16FromUtf8(utf8);
}
#endif

}  // namespace

const char* ProgramText(Text text, UiLanguage language)
{
    return Index(text) < std::size(kTexts) ? InLanguage(kTexts[Index(text)], language) : "";
}

const char* ProgramText(Text text)
{
    return ProgramText(text, ProgramLanguage());
}

int ShowMessageBox(HWND owner, const std::string& text, Text caption, UINT type)
{
    return MessageBoxW(owner, BoxString(text).c_str(), BoxString(ProgramText(caption)).c_str(), type);
}

std::string FailureBoxText(const Outcome& outcome, UiLanguage language)
{
    if (outcome.ok() || Index(outcome.failure) >= std::size(kFailureTexts))
        return {};
    std::string text = InLanguage(kFailureTexts[Index(outcome.failure)], language);
    if (outcome.cause != Cause::None)
        text += "\n(" + CauseBoxText(outcome, language) + ")";
    return text;
}

std::string FailureBoxText(const Outcome& outcome)
{
    return FailureBoxText(outcome, ProgramLanguage());
}

const char* WarningBoxText(Warning warning, UiLanguage language)
{
    return Index(warning) < std::size(kWarningTexts) ? InLanguage(kWarningTexts[Index(warning)], language) : "";
}

const char* WarningBoxText(Warning warning)
{
    return WarningBoxText(warning, ProgramLanguage());
}

void ShowOutcome(HWND owner, const Outcome& outcome)
{
    for (Warning warning : outcome.warnings)
        ShowMessageBox(owner, WarningBoxText(warning), Text::ErrorCaption, MB_OK);
    if (!outcome.ok())
        ShowMessageBox(owner, FailureBoxText(outcome), Text::ErrorCaption, MB_OK);
}

std::string PlaceholderBoxText(const PlaceholderOutcome& outcome, UiLanguage language)
{
    if (outcome.ok() || Index(outcome.failure) >= std::size(kPlaceholderTexts))
        return {};
    std::string text = InLanguage(kPlaceholderTexts[Index(outcome.failure)], language);
    text += "\n" + outcome.placeholder;
    if (!outcome.detail.empty())
        text += "\n(" + outcome.detail + ")";
    return text;
}

std::string PlaceholderBoxText(const PlaceholderOutcome& outcome)
{
    return PlaceholderBoxText(outcome, ProgramLanguage());
}

// --- The text watermark dialog ---------------------------------------------

namespace {

// A text failure's words.  The fields in braces are filled from the
// outcome: {font} the file or family, {face} the face's name, {n} and {m}
// its numbers, {char} the character; {lo} and {hi} are the entry's own.
struct TextMarkProblem {
    TextFailure code;
    const char* japanese;
    const char* english;
    long long lo = 0;
    long long hi = 0;
};

constexpr TextMarkProblem kTextMarkProblems[] = {
    {TextFailure::None, "", ""},
    {TextFailure::TextHeightOutOfRange, "文字の高さは{lo}～{hi}ピクセルです。", "The height must be {lo} to {hi} pixels.",
     kTextHeightMin, kTextHeightMax},
    {TextFailure::SoftenOutOfRange, "ぼかしは{lo}～{hi}です。", "Softening must be {lo} to {hi}.", 0, kTextSoftenMax},
    {TextFailure::FontIndexOutOfRange, "フォントの番号{n}は範囲外です。", "The font number {n} is out of range."},
    {TextFailure::TextTooLong, "文字が長すぎます（UTF-8で{hi}バイトまで）。",
     "The text is too long (at most {hi} bytes of UTF-8).", 0, static_cast<long long>(kTextMaxBytes)},
    {TextFailure::TextEmpty, "透かしにする文字を入力してください。", "Type the text of the watermark."},
    {TextFailure::TextNotUtf8, "文字を読み取れません（{n}バイト目）。", "The text cannot be read (at byte {n})."},
    {TextFailure::ControlCharacter, "文字に制御文字{char}が含まれています。", "The text holds the control character {char}."},
    {TextFailure::FontconfigUnavailable, "フォントの設定を読み込めません。", "The font configuration cannot be loaded."},
    {TextFailure::FamilyNotUnderstood, "フォント名「{font}」を解釈できません。", "The font name '{font}' is not understood."},
    {TextFailure::NoFontAtAll, "日本語のフォント（Yu Gothic、Meiryo、MS Gothic）がありません。フォントを選んでください。",
     "No Japanese font (Yu Gothic, Meiryo or MS Gothic) is installed. Choose a font."},
    {TextFailure::NoSuchFamily, "フォント「{font}」のファイルが見つかりません。", "The file of the font '{font}' cannot be found."},
    {TextFailure::FamilyNotInstalled, "フォント「{font}」のファイルが見つかりません。",
     "The file of the font '{font}' cannot be found."},
    {TextFailure::FontIndexWithFamily, "フォントの番号はフォントファイルにだけ指定できます。",
     "A font number applies to a font file only."},
    {TextFailure::FreeTypeUnavailable, "フォントを描く部品（FreeType）を開始できません。", "FreeType cannot start."},
    {TextFailure::FontFileUnopenable, "フォントファイル{font}を開けません。", "The font file {font} cannot be opened."},
    {TextFailure::NotAFontFile, "{font}はフォントファイルではありません。", "The file {font} is not a font file."},
    {TextFailure::NoSuchFace, "フォントファイル{font}の書体は{n}個だけです。", "The font file {font} holds only {n} faces."},
    {TextFailure::NoOutlines, "フォント{font}は輪郭を持たないため、大きさを変えられません。",
     "The font {font} has no outlines and cannot be scaled."},
    {TextFailure::CannotScale, "フォント{font}を{n}ピクセルにできません。", "The font {font} cannot be scaled to {n} pixels."},
    {TextFailure::ShaperCannotRead, "フォント{font}を読み取れません（HarfBuzz）。", "HarfBuzz cannot read the font {font}."},
    {TextFailure::ShapingOutOfMemory, "文字を並べるメモリーが足りません。", "Not enough memory to lay out the text."},
    {TextFailure::NoGlyph, "フォント「{face}」には{char}の字形がありません。", "The font '{face}' has no glyph for {char}."},
    {TextFailure::BrokenGlyph, "フォント「{face}」の字形（番号{n}）が壊れています。",
     "The font '{face}' has a broken glyph (index {n})."},
    {TextFailure::GlyphTooLarge, "フォント「{face}」に行よりはるかに大きな字形があります。",
     "The font '{face}' has a glyph far larger than a line."},
    {TextFailure::FieldTooLarge, "透かしが約{n}×{m}ピクセルになり、大きすぎます。文字を小さくするか短くしてください。",
     "The mark would be about {n} x {m} pixels, too large: use a smaller height or a shorter text."},
    {TextFailure::GlyphNotDrawable, "フォント「{face}」に描けない字形があります。",
     "The font '{face}' has a glyph that cannot be drawn."},
    {TextFailure::GlyphsTooLarge, "{n}ピクセルの高さでは文字が大きすぎて描けません。",
     "The text is too large to draw at {n} pixels a line."},
    {TextFailure::NothingDrawn, "空白だけの文字では何も描かれません。", "The text draws nothing (only blanks)."},
    {TextFailure::InkTooLarge, "透かしが{n}×{m}ピクセルになり、大きすぎます。文字を小さくするか短くしてください。",
     "The mark would be {n} x {m} pixels, too large: use a smaller height or a shorter text."},
};
constexpr std::size_t kTextFailureCount = static_cast<std::size_t>(TextFailure::InkTooLarge) + 1;
static_assert(OneEntryPerCode(kTextMarkProblems, kTextFailureCount), "one text for every text failure, in order");
static_assert(EveryLanguageHasAText(kTextMarkProblems, 1), "every text failure's text in every language");

// "'A' (U+0041)", or the number alone for a character nothing shows.
std::string CharacterText(char32_t code)
{
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(code));
    if (code <= 0x20 || (code >= 0x7F && code <= 0xA0))
        return number;
    std::string text = "'";
    AppendUtf8(text, code);
    return text + "' (" + number + ")";
}

// pattern with each of its fields replaced by its value; names and files
// are put in as they are, never read as patterns themselves.
std::string FillFields(std::string_view pattern, const TextOutcome& o, long long lo, long long hi)
{
    const struct {
        std::string_view name;
        std::string value;
    } fields[] = {{"{font}", o.font},
                  {"{face}", o.face},
                  {"{n}", std::to_string(o.number)},
                  {"{m}", std::to_string(o.second)},
                  {"{char}", CharacterText(o.character)},
                  {"{lo}", std::to_string(lo)},
                  {"{hi}", std::to_string(hi)}};
    std::string text;
    std::size_t i = 0;
    while (i < pattern.size()) {
        bool replaced = false;
        for (const auto& field : fields)
            if (pattern.substr(i, field.name.size()) == field.name) {
                text += field.value;
                i += field.name.size();
                replaced = true;
                break;
            }
        if (!replaced)
            text += pattern[i++];
    }
    return text;
}

}  // namespace

std::string TextMarkProblemText(const TextOutcome& outcome, UiLanguage language)
{
    const std::size_t index = Index(outcome.failure);
    if (outcome.ok() || index >= std::size(kTextMarkProblems))
        return {};
    const TextMarkProblem& entry = kTextMarkProblems[index];
    return FillFields(InLanguage(entry, language), outcome, entry.lo, entry.hi);
}

std::string TextMarkProblemText(const TextOutcome& outcome)
{
    return TextMarkProblemText(outcome, ProgramLanguage());
}

std::string TextMarkSizeText(long width, long height, UiLanguage language)
{
    TextOutcome size;
    size.number = width;
    size.second = height;
    return FillFields(language == UiLanguage::English ? "{n} x {m} pixels" : "{n} × {m} ピクセル", size, 0, 0);
}

std::string TextMarkSizeText(long width, long height)
{
    return TextMarkSizeText(width, height, ProgramLanguage());
}

const char* TextMarkNoFontText(UiLanguage language)
{
    return language == UiLanguage::English ? "(no font)" : "（フォントなし）";
}

const char* TextMarkNoFontText()
{
    return TextMarkNoFontText(ProgramLanguage());
}

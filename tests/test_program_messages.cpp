// The Windows program's message table in both its languages: every text a
// box can show, Japanese as the program has always shown it, English in
// plain ASCII with nothing Japanese left in it.
#include "app/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Each of the program's own texts, as a user sees it in each language.
struct TextCase {
    Text text;
    const char8_t* japanese;
    const char* english;
};

const TextCase kTextCases[] = {
    {Text::ErrorCaption, u8"Error", "Error"},
    {Text::ExitCaption, u8"Quillvane", "Quillvane"},
    {Text::CommandCaption, u8"Quivane", "Quillvane"},
    {Text::UnsavedQuestion, u8"画像が保存されていません。保存しますか？", "The picture has not been saved. Save it?"},
    {Text::OutOfMemory, u8"メモリーが足りません。", "Not enough memory."},
    {Text::NothingLoaded, u8"画像が読み込まれていません。", "No picture is open."},
    {Text::NoPrinter, u8"登録プリンターがありません。", "No printer is installed."},
    {Text::NoPrinterCaption, u8"プリンター確認", "Printer"},
    {Text::LargerThanPage, u8"画像が印刷領域より大きいため、\n印刷できない部分がありますがよろしいですか？",
     "The picture is larger than the printable area,\nso part of it will not be printed. Print anyway?"},
    {Text::CentreOnPage, u8"印刷領域の中央に印刷しますか？", "Print the picture in the center of the printable area?"},
    // The bump dialog's watermark file.
    {Text::WatermarkOpenTitle, u8"開く", "Open"},
    {Text::WatermarkFileTypes, u8"ビットマップファイル(*.bmp)| *.bmp|JPEGファイル(*.jpg)| *.jpg|PNGファイル(*.png)|*.png|WebPファイル(*.webp)|*.webp|",
     "Bitmap (*.bmp)|*.bmp|JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png|WebP (*.webp)|*.webp|"},
    // Photo files.
    {Text::NoticeCaption, u8"Quillvane", "Quillvane"},
    {Text::MetadataNotRead, u8"この画像のメタデータ（EXIF、XMP、IPTC、ICCプロファイル）を読み込めなかったため、メタデータなしで開きました。",
     "The picture's metadata (EXIF, XMP, IPTC, ICC profile) could not be read, so it was opened without it."},
    {Text::MetadataNotWritten, u8"メタデータを書き込めなかったため、メタデータなしで保存しました。",
     "The metadata could not be written, so the picture was saved without it."},
    {Text::BackgroundTitle, u8"透明な部分の背景色", "Background Color for Transparent Areas"},
    // The edit menu's undo item when a change could not be kept.
    {Text::CantUndo, u8"元に戻せません", "Can't Undo"},
    // The batch window
    {Text::BatchCaption, u8"一括処理", "Batch"},
    {Text::BatchNoInput, u8"処理するファイルまたはフォルダーを選んでください。", "Choose the files or the folder to process."},
    {Text::BatchNoOutput, u8"出力先のフォルダーを指定してください。", "Give the output folder."},
    {Text::BatchNoTool, u8"プログラムと同じフォルダーに quillvane-cli.exe がありません。", "The tool quillvane-cli.exe is not in the program's folder."},
    {Text::BatchNoPictures, u8"画像ファイルが見つかりません。", "No picture files were found."},
    {Text::BatchBadNumber, u8"数値が入力されていないか、範囲外です。", "A number is missing or out of range."},
    {Text::BatchNoWatermark, u8"透かしのファイルまたは文字を指定してください。", "Give a watermark file or a text."},
    {Text::BatchOutputFailed, u8"出力先のフォルダーを作成できません。", "The output folder cannot be made."},
    {Text::BatchTimeLeft, u8"残り 約%s", "Time left: about %s"},
    {Text::BatchSummary, u8"完了 %d 件、失敗 %d 件", "Done: %d, failed: %d"},
    {Text::BatchCancelled, u8"中止しました。", "Cancelled."},
    {Text::BatchStartFailed, u8"quillvane-cli.exe を起動できません (エラー %lu)", "Cannot start quillvane-cli.exe (error %lu)"},
    {Text::BatchInputFolderTitle, u8"処理するフォルダー", "Folder to process"},
    {Text::BatchOutputFolderTitle, u8"出力先のフォルダー", "Output folder"},
    {Text::BatchPictureFilter, u8"画像ファイル", "Pictures"},
    {Text::BatchWouldReplace, u8"処理しません: %s の結果が入力ファイル %s を上書きします", "Not processed: the result of %s would replace the input %s"},
    {Text::BatchResultTaken, u8"処理しません: %s の結果 %s が前の写真の結果を上書きします", "Not processed: the result of %s, %s, would replace the result of an earlier photo"},
};

std::string Utf8(const char8_t* text)
{
    return reinterpret_cast<const char*>(text);
}

// English as a box shows it: printable ASCII and line breaks, a capital
// first, and no stray spaces at either end.
::testing::AssertionResult ReadableEnglish(const std::string& text)
{
    if (text.empty())
        return ::testing::AssertionFailure() << "empty";
    for (unsigned char c : text)
        if (c != '\n' && (c < 0x20 || c > 0x7E))
            return ::testing::AssertionFailure() << "\"" << text << "\" holds byte " << int(c);
    if (text.front() < 'A' || text.front() > 'Z' || text.back() == ' ')
        return ::testing::AssertionFailure() << "\"" << text << "\" is not a sentence";
    return ::testing::AssertionSuccess();
}

// Every text a box can show in language: the program's own texts, each
// failure alone and with each cause, and each warning.
std::vector<std::string> EveryText(UiLanguage language)
{
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < kTextCount; ++i)
        texts.push_back(ProgramText(static_cast<Text>(i), language));
    for (std::size_t f = 1; f < kFailureCount; ++f) {
        texts.push_back(FailureBoxText(Fail(static_cast<Failure>(f)), language));
        for (std::size_t c = 2; c < kCauseCount; ++c)
            texts.push_back(FailureBoxText(Fail(static_cast<Failure>(f), static_cast<Cause>(c), "", 500), language));
    }
    for (std::size_t w = 0; w < kWarningCount; ++w)
        texts.push_back(WarningBoxText(static_cast<Warning>(w), language));
    return texts;
}

TEST(ProgramMessageTable, EachTextReadsAsItShouldInBothLanguages)
{
    ASSERT_EQ(std::size(kTextCases), kTextCount) << "a case for every text";
    for (std::size_t i = 0; i < kTextCount; ++i) {
        const TextCase& c = kTextCases[i];
        SCOPED_TRACE("text " + std::to_string(i));
        EXPECT_EQ(static_cast<std::size_t>(c.text), i) << "cases in the enumeration's order";
        EXPECT_EQ(ProgramText(c.text, UiLanguage::Japanese), Utf8(c.japanese));
        EXPECT_EQ(ProgramText(c.text, UiLanguage::English), std::string(c.english));
    }
    // The builds without Windows speak Japanese, as the program always has.
    EXPECT_STREQ(ProgramText(Text::UnsavedQuestion), msg::kUnsavedQuestion);
    EXPECT_EQ(FailureBoxText(Fail(Failure::TooLarge)), msg::kTooLarge);
}

TEST(ProgramMessageTable, EveryMessageHasJapaneseAndPlainEnglish)
{
    const std::vector<std::string> japanese = EveryText(UiLanguage::Japanese);
    const std::vector<std::string> english = EveryText(UiLanguage::English);
    ASSERT_EQ(japanese.size(), english.size());
    for (std::size_t i = 0; i < english.size(); ++i) {
        SCOPED_TRACE(japanese[i]);
        EXPECT_FALSE(japanese[i].empty());
        EXPECT_TRUE(ReadableEnglish(english[i]));
        // Only the captions are the same words in both.
        if (english[i] != "Error" && english[i] != "Quillvane") {
            EXPECT_NE(english[i], japanese[i]);
        }
    }
    // The cause's count and the library's own words come through in both.
    for (UiLanguage language : {UiLanguage::Japanese, UiLanguage::English}) {
        EXPECT_NE(FailureBoxText(Fail(Failure::JpegUnreadable, Cause::TooManyScans, "", 500), language).find("500"),
                  std::string::npos);
        EXPECT_EQ(FailureBoxText(Fail(Failure::JpegUnreadable, Cause::Library, "Bogus marker"), language),
                  std::string(language == UiLanguage::English ? "The JPEG file could not be read."
                                                              : msg::kJpegUnreadable) +
                      "\n(Bogus marker)");
        EXPECT_EQ(FailureBoxText(Outcome{}, language), "");
    }
    EXPECT_EQ(FailureBoxText(Fail(Failure::BitmapDamaged), UiLanguage::English), "The bitmap file is damaged.");
}

// The text watermark dialog's words for every text failure: in both
// languages, every field filled from the outcome, and names put in as they
// are (a file called "{n}.ttf" stays "{n}.ttf").
TEST(ProgramMessageTable, TextMarkProblemsFillTheirFieldsInBothLanguages)
{
    constexpr std::size_t kTextFailures = static_cast<std::size_t>(TextFailure::InkTooLarge) + 1;
    for (std::size_t f = 1; f < kTextFailures; ++f) {
        TextOutcome outcome = FailText(static_cast<TextFailure>(f), "{n}.ttf", 4097, 70);
        outcome.face = "Face {m}";
        outcome.character = U'A';
        const std::string japanese = TextMarkProblemText(outcome, UiLanguage::Japanese);
        const std::string english = TextMarkProblemText(outcome, UiLanguage::English);
        SCOPED_TRACE(english);
        EXPECT_TRUE(ReadableEnglish(english));
        EXPECT_FALSE(japanese.empty());
        EXPECT_NE(japanese, english);
        for (const std::string& text : {japanese, english}) {
            // Whatever braces remain came from the names.
            std::string rest = text;
            for (const char* name : {"{n}.ttf", "Face {m}"})
                for (std::size_t at = rest.find(name); at != std::string::npos; at = rest.find(name))
                    rest.erase(at, std::string(name).size());
            EXPECT_EQ(rest.find('{'), std::string::npos) << text;
            EXPECT_EQ(rest.find('}'), std::string::npos) << text;
        }
    }
    const struct {
        TextOutcome outcome;
        const char8_t* japanese;
        const char* english;
    } cases[] = {
        {FailText(TextFailure::TextHeightOutOfRange, "", 4), u8"文字の高さは8～2048ピクセルです。",
         "The height must be 8 to 2048 pixels."},
        {FailText(TextFailure::NoSuchFamily, reinterpret_cast<const char*>(u8"ＭＳ 明朝")),
         u8"フォント「ＭＳ 明朝」のファイルが見つかりません。", "The file of the font 'ＭＳ 明朝' cannot be found."},
        {FailText(TextFailure::InkTooLarge, "", 9000, 8000),
         u8"透かしが9000×8000ピクセルになり、大きすぎます。文字を小さくするか短くしてください。",
         "The mark would be 9000 x 8000 pixels, too large: use a smaller height or a shorter text."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextMarkProblemText(c.outcome, UiLanguage::Japanese), Utf8(c.japanese));
        EXPECT_EQ(TextMarkProblemText(c.outcome, UiLanguage::English), Utf8(reinterpret_cast<const char8_t*>(c.english)));
    }
    TextOutcome noGlyph = FailText(TextFailure::NoGlyph);
    noGlyph.face = "DejaVu Sans Book";
    noGlyph.character = U'山';
    EXPECT_EQ(TextMarkProblemText(noGlyph, UiLanguage::English),
              Utf8(u8"The font 'DejaVu Sans Book' has no glyph for '山' (U+5C71)."));
    noGlyph.character = U'\t';
    EXPECT_EQ(TextMarkProblemText(noGlyph, UiLanguage::Japanese), Utf8(u8"フォント「DejaVu Sans Book」にはU+0009の字形がありません。"));
    EXPECT_EQ(TextMarkProblemText(TextOutcome{}, UiLanguage::Japanese), "");
    EXPECT_EQ(TextMarkSizeText(640, 72, UiLanguage::Japanese), Utf8(u8"640 × 72 ピクセル"));
    EXPECT_EQ(TextMarkSizeText(640, 72, UiLanguage::English), "640 x 72 pixels");
}

}  // namespace

// The program's words for what the readers and writers report: every
// failure, cause and warning has the text the program has always shown,
// and each comes in its own box with the caption "Error", the warnings
// before the failure.
#include "support/win_test_support.h"

#include "app/messages.h"

#include <gtest/gtest.h>

#include <vector>

using namespace wintest;

namespace {

struct FailureCase {
    Failure failure;
    const char8_t* text;
};

// The texts the program shows, as the user has always seen them (the
// leading spaces included); the last group only the tool's own formats
// meet, so the program never shows them.
const std::vector<FailureCase> kFailureCases = {
    {Failure::OpenFailed, u8" ファイルのオープンに失敗しました"},
    {Failure::CreateFailed, u8"ファイル作成に失敗しました"},
    {Failure::NothingLoaded, u8"画像が読み込まれていません。"},
    {Failure::OutOfMemory, u8"メモリーが足りません。"},
    {Failure::NotBitmap, u8"ビットマップではありません"},
    {Failure::DepthUnsupported, u8" 16、24、32ビットカラーのみ対応です。"},
    {Failure::CompressionUnsupported, u8"この圧縮形式のビットマップには対応していません。"},
    {Failure::HeaderUnsupported, u8"この形式のビットマップには対応していません。"},
    {Failure::BitmapDamaged, u8"ビットマップファイルが壊れています。"},
    {Failure::BadSize, u8"画像の幅または高さが正しくありません。"},
    {Failure::TooLarge, u8"画像が大きすぎて読み込めません。"},
    {Failure::JpegUnreadable, u8"JPEGファイルを読み込めませんでした。"},
    {Failure::JpegWriteFailed, u8"JPEGファイルの書き込みに失敗しました。"},
    {Failure::ReadFailed, u8"ファイルを読み込めませんでした。"},
    {Failure::NameTooLong, u8"ファイル名が長すぎます。"},
    {Failure::WriteIncomplete, u8"ファイルを最後まで書き込めませんでした。"},
    {Failure::ReplaceFailed, u8"元のファイルを置き換えられません。"},
    {Failure::PictureOutOfMemory, u8"メモリーが足りません。"},
    {Failure::PngUnreadable, u8"PNGファイルを読み込めませんでした。"},
    {Failure::PngDamaged, u8"PNGファイルが壊れています。"},
    {Failure::PngWriteFailed, u8"PNGファイルの書き込みに失敗しました。"},
    {Failure::WebpUnreadable, u8"WebPファイルを読み込めませんでした。"},
    {Failure::WebpAnimated, u8"アニメーションのWebPファイルには対応していません。"},
    {Failure::WebpDamaged, u8"WebPファイルが壊れています。"},
    {Failure::WebpTooLarge, u8"画像が大きすぎてWebPファイルにできません。"},
    {Failure::WebpWriteFailed, u8"WebPファイルの書き込みに失敗しました。"},
    {Failure::MetadataUnreadable, u8"メタデータを読み込めませんでした。"},
    {Failure::MetadataUnwritable, u8"メタデータを書き込めませんでした。"},
};

struct CauseCase {
    Outcome outcome;
    const char8_t* text;
};

// Each cause under the failure it comes with: "%s\n(%s)".
const std::vector<CauseCase> kCauseCases = {
    {Fail(Failure::JpegUnreadable, Cause::Library, "Not a JPEG file: starts with 0x6e 0x6f"),
     u8"JPEGファイルを読み込めませんでした。\n(Not a JPEG file: starts with 0x6e 0x6f)"},
    {Fail(Failure::JpegUnreadable, Cause::OutOfMemory), u8"JPEGファイルを読み込めませんでした。\n(メモリーが足りません。)"},
    {Fail(Failure::JpegUnreadable, Cause::PictureTooLargeForMemory),
     u8"JPEGファイルを読み込めませんでした。\n(画像が大きすぎてメモリーが足りません。)"},
    {Fail(Failure::JpegUnreadable, Cause::TooManyScans, "", 500),
     u8"JPEGファイルを読み込めませんでした。\n(スキャンの数が多すぎます（500超）。)"},
    {Fail(Failure::JpegUnreadable, Cause::CannotOpen), u8"JPEGファイルを読み込めませんでした。\n(ファイルを開けません。)"},
    {Fail(Failure::JpegUnreadable, Cause::PictureTooLarge), u8"JPEGファイルを読み込めませんでした。\n(画像が大きすぎます。)"},
    {Fail(Failure::JpegUnreadable, Cause::ColourFormat),
     u8"JPEGファイルを読み込めませんでした。\n(対応していない色形式です。)"},
    {Fail(Failure::JpegWriteFailed, Cause::NameTooLong),
     u8"JPEGファイルの書き込みに失敗しました。\n(ファイル名が長すぎます。)"},
    {Fail(Failure::JpegWriteFailed, Cause::CannotCreate),
     u8"JPEGファイルの書き込みに失敗しました。\n(ファイルを作成できません。)"},
    {Fail(Failure::JpegWriteFailed, Cause::WriteIncomplete),
     u8"JPEGファイルの書き込みに失敗しました。\n(ファイルを最後まで書き込めませんでした。)"},
    {Fail(Failure::JpegWriteFailed, Cause::CannotReplace),
     u8"JPEGファイルの書き込みに失敗しました。\n(元のファイルを置き換えられません。)"},
    {Fail(Failure::JpegWriteFailed, Cause::Library, "Output file write error --- out of disk space?"),
     u8"JPEGファイルの書き込みに失敗しました。\n(Output file write error --- out of disk space?)"},
};

TEST(ProgramMessages, EveryFailureCauseAndWarningHasTheProgramsText)
{
    ASSERT_EQ(kFailureCases.size(), kFailureCount - 1) << "every failure but None has a case";
    for (std::size_t i = 0; i < kFailureCases.size(); ++i) {
        const FailureCase& c = kFailureCases[i];
        SCOPED_TRACE("failure " + std::to_string(static_cast<int>(c.failure)));
        EXPECT_EQ(static_cast<std::size_t>(c.failure), i + 1) << "cases in the enumeration's order";
        EXPECT_EQ(FailureBoxText(Fail(c.failure), UiLanguage::Japanese), U8(c.text));
    }
    std::vector<bool> causeSeen(kCauseCount, false);
    for (const CauseCase& c : kCauseCases) {
        SCOPED_TRACE("cause " + std::to_string(static_cast<int>(c.outcome.cause)));
        causeSeen[static_cast<std::size_t>(c.outcome.cause)] = true;
        EXPECT_EQ(FailureBoxText(c.outcome, UiLanguage::Japanese), U8(c.text));
    }
    for (std::size_t i = 1; i < kCauseCount; ++i)
        EXPECT_TRUE(causeSeen[i]) << "no case for cause " << i;
    ASSERT_EQ(kWarningCount, 1u) << "a warning without a case";
    EXPECT_EQ(WarningBoxText(Warning::FreeFailed, UiLanguage::Japanese), "GlobalFree" + U8(u8"失敗"));
    EXPECT_EQ(FailureBoxText(Outcome{}), "") << "nothing failed, nothing to say";
}

// The boxes speak the program's language: Japanese under a Japanese
// Windows, English elsewhere (the ctest entries run both).
TEST(ProgramMessages, TheWarningsComeFirstThenTheFailureEachInAnErrorBox)
{
    const bool english = ProgramLanguage() == UiLanguage::English;
    const std::string freeFailed = english ? "GlobalFree failed." : "GlobalFree" + U8(u8"失敗");
    {
        DialogDriver driver;
        for (int i = 0; i < 3; ++i)
            driver.AnswerMessageBox(IDOK);
        Outcome outcome = Fail(Failure::JpegUnreadable, Cause::PictureTooLarge);
        outcome.warnings = {Warning::FreeFailed, Warning::FreeFailed};
        ShowOutcome(nullptr, outcome);
        EXPECT_EQ(driver.Problems(), "");
        const std::vector<DialogRecord> boxes = driver.MessageBoxes();
        ASSERT_EQ(boxes.size(), 3u);
        for (const DialogRecord& box : boxes)
            EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(boxes[0].text, freeFailed);
        EXPECT_EQ(boxes[1].text, freeFailed);
        EXPECT_EQ(boxes[2].text, english ? "The JPEG file could not be read.\n(The picture is too large.)"
                                         : U8(u8"JPEGファイルを読み込めませんでした。\n(画像が大きすぎます。)"));
    }

    // A clean success shows nothing; a success with a warning shows the
    // warning alone.
    DialogDriver driver;
    driver.AnswerMessageBox(IDOK);
    ShowOutcome(nullptr, Outcome{});
    Outcome warned;
    warned.warnings = {Warning::FreeFailed};
    ShowOutcome(nullptr, warned);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(driver.MessageBoxes().size(), 1u);
    EXPECT_EQ(driver.MessageBoxes()[0].caption, "Error");
    EXPECT_EQ(driver.MessageBoxes()[0].text, freeFailed);
}

}  // namespace

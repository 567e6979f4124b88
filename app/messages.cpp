#include "app/messages.h"

#include <cstdio>
#include <iterator>

namespace {

struct FailureText {
    Failure code;
    const char* text;
};

// The failures only the command-line tool's formats meet have texts too,
// so that nothing the core reports can pass unshown.
constexpr FailureText kFailureTexts[] = {
    {Failure::None, ""},
    {Failure::OpenFailed, msg::kOpenFailed},
    {Failure::CreateFailed, msg::kCreateFailed},
    {Failure::NothingLoaded, msg::kNothingLoaded},
    {Failure::OutOfMemory, msg::kOutOfMemory},
    {Failure::NotBitmap, msg::kNotBitmap},
    {Failure::DepthUnsupported, msg::kDepthUnsupported},
    {Failure::CompressionUnsupported, msg::kCompressionUnsupported},
    {Failure::HeaderUnsupported, msg::kHeaderUnsupported},
    {Failure::BitmapDamaged, msg::kBitmapDamaged},
    {Failure::BadSize, msg::kBadSize},
    {Failure::TooLarge, msg::kTooLarge},
    {Failure::JpegUnreadable, msg::kJpegUnreadable},
    {Failure::JpegWriteFailed, msg::kJpegWriteFailed},
    {Failure::ReadFailed, "ファイルを読み込めませんでした。"},
    {Failure::NameTooLong, "ファイル名が長すぎます。"},
    {Failure::WriteIncomplete, "ファイルを最後まで書き込めませんでした。"},
    {Failure::ReplaceFailed, "元のファイルを置き換えられません。"},
    {Failure::PictureOutOfMemory, msg::kOutOfMemory},
    {Failure::PngUnreadable, "PNGファイルを読み込めませんでした。"},
    {Failure::PngDamaged, "PNGファイルが壊れています。"},
    {Failure::PngWriteFailed, "PNGファイルの書き込みに失敗しました。"},
    {Failure::WebpUnreadable, "WebPファイルを読み込めませんでした。"},
    {Failure::WebpAnimated, "アニメーションのWebPファイルには対応していません。"},
    {Failure::WebpDamaged, "WebPファイルが壊れています。"},
    {Failure::WebpTooLarge, "画像が大きすぎてWebPファイルにできません。"},
    {Failure::WebpWriteFailed, "WebPファイルの書き込みに失敗しました。"},
    {Failure::MetadataUnreadable, "メタデータを読み込めませんでした。"},
    {Failure::MetadataUnwritable, "メタデータを書き込めませんでした。"},
};
static_assert(OneEntryPerCode(kFailureTexts, kFailureCount), "one text for every failure, in order");

struct CauseText {
    Cause code;
    const char* text;  // a printf format for Cause::TooManyScans (the count)
};

constexpr CauseText kCauseTexts[] = {
    {Cause::None, ""},
    {Cause::Library, ""},  // the library's own words, from the outcome
    {Cause::OutOfMemory, "メモリーが足りません。"},
    {Cause::PictureTooLargeForMemory, "画像が大きすぎてメモリーが足りません。"},
    {Cause::TooManyScans, "スキャンの数が多すぎます（%ld超）。"},
    {Cause::CannotOpen, "ファイルを開けません。"},
    {Cause::PictureTooLarge, "画像が大きすぎます。"},
    {Cause::ColourFormat, "対応していない色形式です。"},
    {Cause::NameTooLong, "ファイル名が長すぎます。"},
    {Cause::CannotCreate, "ファイルを作成できません。"},
    {Cause::WriteIncomplete, "ファイルを最後まで書き込めませんでした。"},
    {Cause::CannotReplace, "元のファイルを置き換えられません。"},
};
static_assert(OneEntryPerCode(kCauseTexts, kCauseCount), "one text for every cause, in order");

struct WarningText {
    Warning code;
    const char* text;
};

constexpr WarningText kWarningTexts[] = {
    {Warning::FreeFailed, msg::kFreeFailed},
};
static_assert(OneEntryPerCode(kWarningTexts, kWarningCount), "one text for every warning, in order");

template <typename Code>
std::size_t Index(Code code)
{
    return static_cast<std::size_t>(code);
}

std::string CauseBoxText(const Outcome& outcome)
{
    if (outcome.cause == Cause::Library)
        return outcome.detail;
    if (outcome.cause == Cause::TooManyScans) {
        char text[64];
        std::snprintf(text, sizeof text, kCauseTexts[Index(Cause::TooManyScans)].text, outcome.number);
        return text;
    }
    return Index(outcome.cause) < std::size(kCauseTexts) ? kCauseTexts[Index(outcome.cause)].text : "";
}

}  // namespace

std::string FailureBoxText(const Outcome& outcome)
{
    if (outcome.ok() || Index(outcome.failure) >= std::size(kFailureTexts))
        return {};
    std::string text = kFailureTexts[Index(outcome.failure)].text;
    if (outcome.cause != Cause::None)
        text += "\n(" + CauseBoxText(outcome) + ")";
    return text;
}

const char* WarningBoxText(Warning warning)
{
    return Index(warning) < std::size(kWarningTexts) ? kWarningTexts[Index(warning)].text : "";
}

void ShowOutcome(HWND owner, const Outcome& outcome)
{
    for (Warning warning : outcome.warnings)
        ReportError(owner, WarningBoxText(warning));
    if (!outcome.ok())
        ReportError(owner, FailureBoxText(outcome).c_str());
}

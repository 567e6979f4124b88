#include "cli/report.h"

#include "cli/system.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

long ReportCount = 0;
std::string ReportedText;  // what was shown since the last TakeReportedText

void Show(const std::string& line)
{
    WriteError(line);
    ReportedText += line;
    ++ReportCount;
}

// The catalogue's English for every code the core reports.
struct FailureWords {
    Failure code;
    const char* english;
};

constexpr FailureWords kFailureWords[] = {
    {Failure::None, N_("failed")},
    {Failure::OpenFailed, N_("the file cannot be opened")},
    {Failure::CreateFailed, N_("the file cannot be created")},
    {Failure::NothingLoaded, N_("no picture is loaded")},
    {Failure::OutOfMemory, N_("not enough memory")},
    {Failure::NotBitmap, N_("not a bitmap")},
    {Failure::DepthUnsupported, N_("only 16-, 24- and 32-bit colour bitmaps are supported")},
    {Failure::CompressionUnsupported, N_("bitmaps with this compression are not supported")},
    {Failure::HeaderUnsupported, N_("bitmaps of this kind are not supported")},
    {Failure::BitmapDamaged, N_("the bitmap file is damaged")},
    {Failure::BadSize, N_("the picture's width or height is wrong")},
    {Failure::TooLarge, N_("the picture is too large to read")},
    {Failure::JpegUnreadable, N_("the JPEG file could not be read")},
    {Failure::JpegWriteFailed, N_("the JPEG file could not be written")},
    {Failure::ReadFailed, N_("the file cannot be read")},
    {Failure::NameTooLong, N_("the file name is too long")},
    {Failure::WriteIncomplete, N_("the file could not be written to the end")},
    {Failure::ReplaceFailed, N_("the existing file cannot be replaced")},
    {Failure::PictureOutOfMemory, N_("not enough memory for the picture")},
    {Failure::PngUnreadable, N_("not a PNG file the program can read")},
    {Failure::PngDamaged, N_("the PNG file is damaged")},
    {Failure::PngWriteFailed, N_("the PNG file cannot be written")},
    {Failure::WebpUnreadable, N_("not a WebP file the program can read")},
    {Failure::WebpAnimated, N_("animated WebP files are not supported")},
    {Failure::WebpDamaged, N_("the WebP file is damaged")},
    {Failure::WebpTooLarge, N_("the picture is too large for a WebP file (at most 16383 pixels a side)")},
    {Failure::WebpWriteFailed, N_("the WebP file cannot be written")},
    {Failure::MetadataUnreadable, N_("its metadata cannot be read (--strip writes the picture without it)")},
    {Failure::MetadataUnwritable, N_("the metadata cannot be written")},
};
static_assert(OneEntryPerCode(kFailureWords, kFailureCount), "words for every failure, in order");

struct CauseWords {
    Cause code;
    const char* english;  // for Cause::TooManyScans a format of the count
};

constexpr CauseWords kCauseWords[] = {
    {Cause::None, ""},
    {Cause::Library, "%s"},  // the library's own words, as they are
    {Cause::OutOfMemory, N_("not enough memory")},
    {Cause::PictureTooLargeForMemory, N_("the picture is too large for the memory")},
    {Cause::TooManyScans, N_("too many scans (more than %s)")},
    {Cause::CannotOpen, N_("the file cannot be opened")},
    {Cause::PictureTooLarge, N_("the picture is too large")},
    {Cause::ColourFormat, N_("the colour format is not supported")},
    {Cause::NameTooLong, N_("the file name is too long")},
    {Cause::CannotCreate, N_("the file cannot be created")},
    {Cause::WriteIncomplete, N_("the file could not be written to the end")},
    {Cause::CannotReplace, N_("the existing file cannot be replaced")},
};
static_assert(OneEntryPerCode(kCauseWords, kCauseCount), "words for every cause, in order");

struct WarningWords {
    Warning code;
    const char* english;
};

constexpr WarningWords kWarningWords[] = {
    {Warning::FreeFailed, N_("a memory block could not be freed")},
};
static_assert(OneEntryPerCode(kWarningWords, kWarningCount), "words for every warning, in order");

template <typename Code>
std::size_t Index(Code code)
{
    return static_cast<std::size_t>(code);
}

std::string CauseMessage(const Outcome& outcome)
{
    if (outcome.cause == Cause::Library)
        return outcome.detail;
    if (Index(outcome.cause) >= std::size(kCauseWords))
        return {};
    const char* words = _(kCauseWords[Index(outcome.cause)].english);
    if (outcome.cause == Cause::TooManyScans)
        return Format(words, std::to_string(outcome.number).c_str());
    return words;
}

// The one box the core still shows: its shortage of memory.

}  // namespace

void Report(const std::string& name, const std::string& text)
{
    Show("quillvane-cli: " + name + ": " + text + "\n");
}

std::string TakeReportedText()
{
    std::string text;
    text.swap(ReportedText);
    return text;
}

long ReportedCount()
{
    return ReportCount;
}

std::string OutcomeMessage(const Outcome& outcome)
{
    if (outcome.ok() || Index(outcome.failure) >= std::size(kFailureWords))
        return {};
    std::string text = _(kFailureWords[Index(outcome.failure)].english);
    if (outcome.cause != Cause::None)
        text += " (" + CauseMessage(outcome) + ")";
    return text;
}

std::string WarningMessage(Warning warning)
{
    return Index(warning) < std::size(kWarningWords) ? _(kWarningWords[Index(warning)].english) : "";
}

int ReportOutcome(const std::string& name, const Outcome& outcome)
{
    for (Warning warning : outcome.warnings)
        Report(name, WarningMessage(warning));
    if (outcome.ok())
        return 0;
    Report(name, OutcomeMessage(outcome));
    return -1;
}

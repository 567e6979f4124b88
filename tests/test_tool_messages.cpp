// The command-line tool's words for what the readers and writers report:
// every failure, cause and warning has its sentence, and the lines read as
// the tool has always written them (the cause in brackets after the
// failure, the warnings first).
#include "cli/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ToolMessages, EveryFailureCauseAndWarningHasWords)
{
    for (std::size_t i = 1; i < kFailureCount; ++i) {
        SCOPED_TRACE("failure " + std::to_string(i));
        EXPECT_NE(OutcomeMessage(Fail(static_cast<Failure>(i))), "");
    }
    const std::string bare = OutcomeMessage(Fail(Failure::JpegUnreadable));
    for (std::size_t i = 1; i < kCauseCount; ++i) {
        SCOPED_TRACE("cause " + std::to_string(i));
        const std::string line = OutcomeMessage(Fail(Failure::JpegUnreadable, static_cast<Cause>(i), "words", 7));
        ASSERT_GT(line.size(), bare.size() + 3);
        EXPECT_EQ(line.substr(0, bare.size() + 2), bare + " (");
        EXPECT_EQ(line.back(), ')');
    }
    for (std::size_t i = 0; i < kWarningCount; ++i)
        EXPECT_NE(WarningMessage(static_cast<Warning>(i)), "") << "warning " << i;
    EXPECT_EQ(OutcomeMessage(Outcome{}), "") << "nothing failed, nothing to say";
}

TEST(ToolMessages, LinesReadAsTheToolHasAlwaysWrittenThem)
{
    struct Case {
        Outcome outcome;
        const char* line;
    };
    const std::vector<Case> cases = {
        {Fail(Failure::OpenFailed), "the file cannot be opened"},
        {Fail(Failure::DepthUnsupported), "only 16-, 24- and 32-bit colour bitmaps are supported"},
        {Fail(Failure::CreateFailed), "the file cannot be created"},
        {Fail(Failure::JpegUnreadable, Cause::Library, "Not a JPEG file: starts with 0x6e 0x6f"),
         "the JPEG file could not be read (Not a JPEG file: starts with 0x6e 0x6f)"},
        {Fail(Failure::JpegUnreadable, Cause::TooManyScans, "", 500),
         "the JPEG file could not be read (too many scans (more than 500))"},
        {Fail(Failure::JpegUnreadable, Cause::PictureTooLargeForMemory),
         "the JPEG file could not be read (the picture is too large for the memory)"},
        {Fail(Failure::JpegUnreadable, Cause::ColourFormat),
         "the JPEG file could not be read (the colour format is not supported)"},
        {Fail(Failure::JpegWriteFailed, Cause::WriteIncomplete),
         "the JPEG file could not be written (the file could not be written to the end)"},
        {Fail(Failure::PngDamaged, Cause::Library, "end of stream"), "the PNG file is damaged (end of stream)"},
        {Fail(Failure::WebpAnimated), "animated WebP files are not supported"},
        {Fail(Failure::MetadataUnreadable, Cause::Library, "This does not look like a TIFF image"),
         "its metadata cannot be read (--strip writes the picture without it) (This does not look like a TIFF image)"},
        {Fail(Failure::MetadataUnwritable), "the metadata cannot be written"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutcomeMessage(c.outcome), c.line);

    // Through the report: the warnings, then the failure, each naming the
    // file; a success says nothing.
    TakeReportedText();
    Outcome outcome = Fail(Failure::JpegUnreadable, Cause::TooManyScans, "", 500);
    outcome.warnings = {Warning::FreeFailed};
    EXPECT_EQ(ReportOutcome("in.jpg", outcome), -1);
    EXPECT_EQ(TakeReportedText(), "quillvane-cli: in.jpg: a memory block could not be freed\n"
                                  "quillvane-cli: in.jpg: the JPEG file could not be read (too many scans (more than 500))\n");
    EXPECT_EQ(ReportOutcome("in.jpg", Outcome{}), 0);
    EXPECT_EQ(TakeReportedText(), "");
}

}  // namespace

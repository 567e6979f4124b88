// The batch window's choices as the tool's command line: each table row's
// arguments are the expected ones, they parse with the tool's own option
// parser into the same settings, and the command line quotes every name so
// that Windows hands the tool the same words back.
#include "app/batch_arguments.h"
#include "cli/options.h"
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

std::string U8(const char8_t* text)
{
    return reinterpret_cast<const char*>(text);
}

BatchSettings Base()
{
    BatchSettings s;
    s.watermarkFile = "C:\\marks\\logo.png";
    return s;
}

struct ArgumentCase {
    const char* what;
    BatchSettings settings;
    Words expected;  // after "bump" and before the light, then the file options
};

// The light and strengths every case gets from the bump dialog's defaults.
const Words kDefaultLight = {"--light", "-0.5,0.5,0.70710678118654757", "--strength", "20", "--amplify", "200",
                             "--ambient", "60"};

std::vector<ArgumentCase> Cases()
{
    std::vector<ArgumentCase> cases;
    BatchSettings s = Base();
    cases.push_back({"defaults: sized 20% at the lower right, same type, everything kept", s,
                     {"--watermark", "C:\\marks\\logo.png", "--size", "20%", "--gravity", "se", "--margin", "0,0", "|",
                      "--quality", "80"}});
    s = Base();
    s.placement = BatchPlacement::OwnSize;
    s.type = BatchType::Png;
    s.metadata = BatchMetadata::None;
    s.resize = BatchResize::LongEdge;
    s.longEdge = 1600;
    cases.push_back({"own size, PNG, no metadata, long edge", s,
                     {"--watermark", "C:\\marks\\logo.png", "--no-enlarge", "|", "--format", "png", "--strip",
                      "--resize", "1600px"}});
    s = Base();
    s.placement = BatchPlacement::Tiled;
    s.type = BatchType::Webp;
    s.lossless = true;
    s.resize = BatchResize::Percent;
    s.percent = 50;
    s.suffix = U8(u8"_透かし");
    cases.push_back({"tiled, lossless WebP, per cent, Japanese suffix", s,
                     {"--watermark", "C:\\marks\\logo.png", "--tile", "|", "--format", "webp", "--lossless",
                      "--quality", "80", "--resize", "50%", "--suffix", U8(u8"_透かし")}});
    s = Base();
    s.placement = BatchPlacement::Stretched;
    s.type = BatchType::Jpeg;
    s.quality = 95;
    s.lossless = true;  // not for JPEG: left out
    s.resize = BatchResize::Fit;
    s.fitWidth = 1920;
    s.fitHeight = 1080;
    cases.push_back({"stretched, JPEG 95, fit", s,
                     {"--watermark", "C:\\marks\\logo.png", "|", "--format", "jpeg", "--quality", "95", "--resize",
                      "1920x1080"}});
    s = Base();
    s.mark = BatchMark::Text;
    s.text = U8(u8"© Studio \\ 北");
    s.font = "IPAGothic";
    s.textHeight = 96;
    s.markSize = 35;
    s.anchor = BatchAnchor::NorthWest;
    s.marginX = 12;
    s.marginY = 7;
    s.type = BatchType::Bmp;
    cases.push_back({"text with a backslash and a font, upper left with margins, BMP", s,
                     {"--text", U8(u8"© Studio \\\\ 北"), "--font", "IPAGothic", "--text-height", "96", "--size", "35%",
                      "--gravity", "nw", "--margin", "12,7", "|", "--format", "bmp"}});
    return cases;
}

// The expected row with the light in its place and -o ... -- input at the end.
Words Full(const Words& row, const std::string& input, const std::string& folder)
{
    Words words = {"bump"};
    bool fileOptions = false;
    for (const std::string& w : row) {
        if (w == "|") {
            words.insert(words.end(), kDefaultLight.begin(), kDefaultLight.end());
            fileOptions = true;
            continue;
        }
        words.push_back(w);
    }
    if (!fileOptions)
        words.insert(words.end(), kDefaultLight.begin(), kDefaultLight.end());
    words.insert(words.end(), {"-o", folder, "--", input});
    return words;
}

TEST(BatchArguments, EachChoiceBecomesTheToolsOptionsAndParsesBackTheSame)
{
    const std::string input = U8(u8"D:\\写真 2024\\-first shot.jpg");
    const std::string folder = "D:\\out put";
    for (const ArgumentCase& c : Cases()) {
        SCOPED_TRACE(c.what);
        const Words words = BatchToolArguments(c.settings, BumpParams{}, input, folder);
        ASSERT_EQ(words, Full(c.expected, input, folder));

        // The tool's parser reads them as the window meant.
        std::vector<const char*> argv = {"quillvane-cli"};
        for (const std::string& w : words)
            argv.push_back(w.c_str());
        CliOptions o;
        std::string error;
        ASSERT_EQ(ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &o, &error), 0) << error;
        EXPECT_EQ(o.inputs, Words{input});
        EXPECT_EQ(o.output, folder);
        EXPECT_EQ(o.suffix, c.settings.suffix);
        EXPECT_EQ(o.metadata == MetadataKeep::None, c.settings.metadata == BatchMetadata::None);
        EXPECT_EQ(o.metadata == MetadataKeep::AllButLocation, c.settings.metadata == BatchMetadata::NoLocation);
        const BumpParams lit;
        EXPECT_EQ(o.bump.lightX, lit.lightX);
        EXPECT_EQ(o.bump.lightY, lit.lightY);
        EXPECT_EQ(o.bump.lightZ, lit.lightZ);
        if (c.settings.mark == BatchMark::Text)
            EXPECT_EQ(o.text.text, c.settings.text);
        else
            EXPECT_EQ(o.watermark, c.settings.watermarkFile);
        EXPECT_EQ(o.sizeGiven, c.settings.placement == BatchPlacement::Sized);
    }
}

TEST(BatchArguments, TheBumpDialogsLightAndStrengthsGoAsTheyAre)
{
    BumpParams bump;
    bump.lightX = 0.1;
    bump.lightY = -1.0 / 3.0;
    bump.lightZ = 2e-17;
    bump.strength = 200;
    bump.amplification = 0;
    bump.ambient = 1;
    const Words words = BatchToolArguments(Base(), bump, "a.jpg", "out");
    std::vector<const char*> argv = {"quillvane-cli"};
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    CliOptions o;
    std::string error;
    ASSERT_EQ(ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &o, &error), 0) << error;
    EXPECT_EQ(o.bump.lightX, bump.lightX);
    EXPECT_EQ(o.bump.lightY, bump.lightY);
    EXPECT_EQ(o.bump.lightZ, bump.lightZ);
    EXPECT_EQ(o.bump.strength, 200);
    EXPECT_EQ(o.bump.amplification, 0);
    EXPECT_EQ(o.bump.ambient, 1);
}

// Keeping everything but the location is asked of the tool by name.
TEST(BatchArguments, MetadataWithoutLocationIsAskedByName)
{
    BatchSettings s = Base();
    s.metadata = BatchMetadata::NoLocation;
    const Words words = BatchToolArguments(s, BumpParams{}, "a.jpg", "out");
    const Words tail(words.end() - 8, words.end());
    EXPECT_EQ(tail, (Words{"--quality", "80", "--metadata", "no-location", "-o", "out", "--", "a.jpg"}));
}

TEST(BatchArguments, CommandLineQuotesNamesAsWindowsReadsThemBack)
{
    struct QuoteCase {
        std::wstring word;
        std::wstring quoted;
    } const cases[] = {
        {L"plain.jpg", L"plain.jpg"},
        {L"", L"\"\""},
        {L"C:\\My Photos\\a b.jpg", L"\"C:\\My Photos\\a b.jpg\""},
        {L"D:\\写真 2024\\北.jpg", L"\"D:\\写真 2024\\北.jpg\""},
        {L"D:\\写真\\北.jpg", L"D:\\写真\\北.jpg"},
        {L"C:\\out dir\\", L"\"C:\\out dir\\\\\""},         // a closing backslash doubled before the quote
        {L"say \"hi\"", L"\"say \\\"hi\\\"\""},             // quotes escaped
        {L"a\\\\\"b c", L"\"a\\\\\\\\\\\"b c\""},           // backslashes before a quote doubled, plus one
        {L"tab\there", L"\"tab\there\""},
    };
    for (const QuoteCase& c : cases)
        EXPECT_EQ(QuotedArgument(c.word), c.quoted);
    const std::wstring words[] = {L"C:\\Program Files\\Quillvane\\quillvane-cli.exe", L"bump", L"--suffix",
                                  L"_透かし 1", L"--", L"-a.jpg"};
    EXPECT_EQ(CommandLineOf(words),
              L"\"C:\\Program Files\\Quillvane\\quillvane-cli.exe\" bump --suffix \"_透かし 1\" -- -a.jpg");
}

}  // namespace

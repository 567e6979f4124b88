// The command-line parser of quillvane-cli: every accepted spelling, the
// conversions into the program's settings, and one case of every kind of
// refusal.

// The parser is the command-line tool's own source, not part of the core
// library this test binary links, so it is compiled in here.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

struct Parsed {
    int result;
    CliOptions options;
    std::string error;
};

Parsed Parse(std::initializer_list<const char*> args)
{
    std::vector<const char*> argv{"quillvane-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    Parsed p;
    p.result = ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &p.options, &p.error);
    return p;
}

// ---- Accepted forms ------------------------------------------------------------

TEST(CliOptions, ValuesFollowTheirOptionOrComeAfterEquals)
{
    const Parsed a = Parse({"bump", "in.jpg", "--strength", "150", "--amplify=0", "-o", "out.jpg"});
    ASSERT_EQ(a.result, 0) << a.error;
    EXPECT_EQ(a.options.bump.strength, 150);
    EXPECT_EQ(a.options.bump.amplification, 0);
    EXPECT_EQ(a.options.output, "out.jpg");

    const Parsed b = Parse({"convert", "--output=x.bmp", "in.jpg"});
    ASSERT_EQ(b.result, 0) << b.error;
    EXPECT_EQ(b.options.output, "x.bmp");
}

TEST(CliOptions, NegativeValuesAreValuesNotOptions)
{
    const Parsed p = Parse({"bump", "--light", "-0.6,0.3,0.74", "in.bmp", "-o", "o.bmp"});
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_DOUBLE_EQ(p.options.bump.lightX, -0.6);
    EXPECT_DOUBLE_EQ(p.options.bump.lightY, 0.3);
    EXPECT_DOUBLE_EQ(p.options.bump.lightZ, 0.74);  // used as given, not normalised

    const Parsed y = Parse({"ysh", "--hue", "-180", "--luminance=-100", "in.bmp", "-o", "o.bmp"});
    ASSERT_EQ(y.result, 0) << y.error;
    EXPECT_EQ(y.options.ysh.hue, 0);
    EXPECT_EQ(y.options.ysh.luminance, 0);
}

TEST(CliOptions, OptionsAndInputsInAnyOrderAndDoubleDashEndsOptions)
{
    const Parsed p = Parse({"filter", "a.jpg", "-o", "dir", "b.bmp", "--kind", "soft", "c.jpg", "--",
                            "--odd-name.jpg", "-"});
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_EQ(p.options.inputs, (std::vector<std::string>{"a.jpg", "b.bmp", "c.jpg", "--odd-name.jpg", "-"}));
    EXPECT_EQ(p.options.filter.kind, FilterKind::Soft);
}

TEST(CliOptions, DefaultsAreTheProgramsStartUpValues)
{
    const Parsed p = Parse({"bump", "in.jpg", "-o", "out.jpg"});
    ASSERT_EQ(p.result, 0) << p.error;
    const CliOptions& o = p.options;
    EXPECT_EQ(o.format, CliFormat::FromName);
    EXPECT_EQ(o.bmpDepth, 24);
    EXPECT_EQ(o.quality, 80);
    EXPECT_FALSE(o.progressive);
    EXPECT_FALSE(o.regionGiven);
    EXPECT_EQ(o.bump.strength, 20);
    EXPECT_EQ(o.bump.amplification, 200);
    EXPECT_EQ(o.bump.ambient, 60);
    EXPECT_EQ(o.bump.layout.offsetX, 0);
    EXPECT_EQ(o.bump.layout.offsetY, 0);
    // Azimuth 135, elevation 45: from the upper left, half-way up.
    EXPECT_NEAR(o.bump.lightX, -0.5, 1e-15);
    EXPECT_NEAR(o.bump.lightY, 0.5, 1e-15);
    EXPECT_NEAR(o.bump.lightZ, std::sqrt(0.5), 1e-15);

    const Parsed f = Parse({"filter", "in.jpg", "-o", "out.jpg"});
    ASSERT_EQ(f.result, 0);
    EXPECT_EQ(f.options.filter.kind, FilterKind::Sharpen);
    EXPECT_EQ(f.options.filter.strength, 0);

    const Parsed e = Parse({"effect", "in.jpg", "-o", "out.jpg"});
    ASSERT_EQ(e.result, 0);
    EXPECT_EQ(e.options.effect.kind, EffectKind::Negative);
    EXPECT_EQ(e.options.effect.bandWidth, 64);
    EXPECT_FALSE(e.options.boundsGiven);

    const Parsed y = Parse({"ysh", "in.jpg", "-o", "out.jpg"});
    ASSERT_EQ(y.result, 0);
    EXPECT_EQ(y.options.ysh.luminance, 100);
    EXPECT_EQ(y.options.ysh.saturation, 100);
    EXPECT_EQ(y.options.ysh.hue, 180);
    EXPECT_EQ(y.options.ysh.mode, ColourMode::Ysh);
}

TEST(CliOptions, SettingsMapToTheDialogsValues)
{
    const Parsed a = Parse({"bump", "--azimuth", "0", "--elevation", "0", "i", "-o", "o.bmp"});
    ASSERT_EQ(a.result, 0) << a.error;
    EXPECT_DOUBLE_EQ(a.options.bump.lightX, 1.0);
    EXPECT_DOUBLE_EQ(a.options.bump.lightY, 0.0);
    EXPECT_DOUBLE_EQ(a.options.bump.lightZ, 0.0);
    const Parsed up = Parse({"bump", "--azimuth=90", "i", "-o", "o.bmp"});
    ASSERT_EQ(up.result, 0);
    EXPECT_NEAR(up.options.bump.lightX, 0.0, 1e-15);
    EXPECT_GT(up.options.bump.lightY, 0.7);  // Y points up the picture

    const Parsed y = Parse({"ysh", "--luminance", "50", "--saturation", "-100", "--hue", "120", "i", "-o", "o.bmp"});
    ASSERT_EQ(y.result, 0) << y.error;
    EXPECT_EQ(y.options.ysh.luminance, 150);
    EXPECT_EQ(y.options.ysh.saturation, 0);
    EXPECT_EQ(y.options.ysh.hue, 300);

    static const struct {
        const char* levels;
        int bandWidth;
    } levels[] = {{"8", 8}, {"16", 16}, {"32", 32}, {"64", 64}, {"128", 128}};
    for (const auto& l : levels) {
        const Parsed e = Parse({"effect", "--kind", "posterize", "--levels", l.levels, "i", "-o", "o.bmp"});
        ASSERT_EQ(e.result, 0) << e.error;
        EXPECT_EQ(e.options.effect.kind, EffectKind::Posterize);
        EXPECT_EQ(e.options.effect.bandWidth, l.bandWidth) << l.levels;
    }
    static const struct {
        const char* kind;
        EffectKind id;
    } effects[] = {{"negative", EffectKind::Negative}, {"posterize", EffectKind::Posterize},
                   {"solarize", EffectKind::Solarize}, {"binarize", EffectKind::Binarize},
                   {"contrast", EffectKind::Contrast}};
    for (const auto& k : effects) {
        const Parsed e = Parse({"effect", "--kind", k.kind, "i", "-o", "o.bmp"});
        ASSERT_EQ(e.result, 0) << e.error;
        EXPECT_EQ(e.options.effect.kind, k.id) << k.kind;
    }
}

TEST(CliOptions, KernelAndBoundsKeepTheirWrittenOrderAndSelectTheirKind)
{
    const Parsed f = Parse({"filter", "--kernel", "-9,2,3,4,5,6,7,8,9", "--strength", "10", "i", "-o", "o.bmp"});
    ASSERT_EQ(f.result, 0) << f.error;
    EXPECT_EQ(f.options.filter.kind, FilterKind::Custom);
    EXPECT_EQ(f.options.filter.strength, 10);
    // Written top row first as seen on screen; the engine's rows run bottom-up.
    const int expected[9] = {-9, 2, 3, 4, 5, 6, 7, 8, 9};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(f.options.filter.kernel[2 - i / 3][i % 3], expected[i]) << i;

    const Parsed e = Parse({"effect", "--bounds", "0,255,10,10,50,150", "i", "-o", "o.bmp"});
    ASSERT_EQ(e.result, 0) << e.error;
    EXPECT_EQ(e.options.effect.kind, EffectKind::Contrast);
    const int bounds[6] = {0, 255, 10, 10, 50, 150};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(i % 2 ? e.options.effect.upperBound[i / 2] : e.options.effect.lowerBound[i / 2], bounds[i]) << i;
}

TEST(CliOptions, FileSettingsAndRegion)
{
    const Parsed p = Parse({"effect", "--format", "JPEG", "--bmp-depth", "16", "--quality", "100", "--progressive",
                            "--region", "-5,-7,10,20", "i", "-o", "o"});
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_EQ(p.options.format, CliFormat::Jpeg);
    EXPECT_EQ(p.options.bmpDepth, 16);
    EXPECT_EQ(p.options.quality, 100);
    EXPECT_TRUE(p.options.progressive);
    ASSERT_TRUE(p.options.regionGiven);
    EXPECT_EQ(p.options.region[0], -5);
    EXPECT_EQ(p.options.region[1], -7);
    EXPECT_EQ(p.options.region[2], 10);
    EXPECT_EQ(p.options.region[3], 20);

    EXPECT_EQ(FormatFromExtension("a/b.JPeG"), CliFormat::Jpeg);
    EXPECT_EQ(FormatFromExtension("b.jpg"), CliFormat::Jpeg);
    EXPECT_EQ(FormatFromExtension("x.y/b.Bmp"), CliFormat::Bmp);
    EXPECT_EQ(FormatFromExtension("x.bmp/b"), CliFormat::FromName);
    EXPECT_EQ(FormatFromExtension("b.PNG"), CliFormat::Png);
    EXPECT_EQ(FormatFromExtension("b.webp"), CliFormat::Webp);
    EXPECT_EQ(FormatFromExtension("b.tif"), CliFormat::FromName);
}

TEST(CliOptions, HelpAndVersionWinOverEverythingElse)
{
    EXPECT_EQ(Parse({"--help"}).options.command, CliCommand::Help);
    EXPECT_EQ(Parse({"-h"}).options.command, CliCommand::Help);
    EXPECT_EQ(Parse({"--version"}).options.command, CliCommand::Version);
    const Parsed p = Parse({"bump", "--strength", "999", "--help"});
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.options.command, CliCommand::Help);
    // After "--" it is a file name.
    EXPECT_NE(Parse({"convert", "-o", "o.bmp", "--", "--help"}).options.command, CliCommand::Help);
}

// ---- Parallel runs -----------------------------------------------------------------

TEST(CliOptions, JobsDefaultsToOnePerCoreAndTakesOneTo256)
{
    EXPECT_EQ(Parse({"convert", "a.jpg", "b.jpg", "-o", "d"}).options.jobs, 0);
    EXPECT_EQ(Parse({"bump", "--jobs", "1", "a.jpg", "-o", "d"}).options.jobs, 1);
    EXPECT_EQ(Parse({"ysh", "a.jpg", "--jobs=256", "-o", "d"}).options.jobs, 256);
}

// A worker gets these words, then -o, "--" and its one input: everything
// that changes a result must be in them, and nothing that names files.
TEST(CliOptions, WorkerArgumentsKeepEverySettingAsWrittenAndDropInputsOutputAndJobs)
{
    const Parsed p = Parse({"bump", "a.jpg", "--watermark", "logo.bmp", "-o", "dir", "--light=-0.6,0.3,0.74",
                            "--jobs", "3", "b.jpg", "--tile", "--quality", "95", "--", "--c.jpg"});
    ASSERT_EQ(p.result, 0) << p.error;
    EXPECT_EQ(p.options.workerArguments,
              (std::vector<std::string>{"bump", "--watermark", "logo.bmp", "--light=-0.6,0.3,0.74", "--tile",
                                        "--quality", "95"}));
    EXPECT_EQ(p.options.inputs, (std::vector<std::string>{"a.jpg", "b.jpg", "--c.jpg"}));

    const Parsed q = Parse({"filter", "--output=dir", "--jobs=2", "--kernel", "-1,-1,-1,-1,8,-1,-1,-1,-1", "x.bmp"});
    ASSERT_EQ(q.result, 0) << q.error;
    EXPECT_EQ(q.options.workerArguments,
              (std::vector<std::string>{"filter", "--kernel", "-1,-1,-1,-1,8,-1,-1,-1,-1"}));

    // Parsed again as a worker would be, the settings come out the same.
    std::vector<const char*> argv{"quillvane-cli"};
    for (const std::string& word : p.options.workerArguments)
        argv.push_back(word.c_str());
    for (const char* tail : {"-o", "dir", "--", "a.jpg"})
        argv.push_back(tail);
    CliOptions worker;
    std::string error;
    ASSERT_EQ(ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &worker, &error), 0) << error;
    EXPECT_EQ(worker.bump.lightX, p.options.bump.lightX);
    EXPECT_EQ(worker.bump.lightY, p.options.bump.lightY);
    EXPECT_EQ(worker.bump.lightZ, p.options.bump.lightZ);
    EXPECT_EQ(worker.watermark, "logo.bmp");
    EXPECT_TRUE(worker.bump.layout.repeatTile);
    EXPECT_EQ(worker.quality, 95);
    EXPECT_EQ(worker.workerArguments, p.options.workerArguments);
}

TEST(CliOptions, TextMarkTakesItsTextWithEscapesAndBumpTextPassesItToWorkers)
{
    const Parsed t = Parse({"text-mark", "--align", "right", "--font", "IPAGothic", "--text-height=64",
                            "--soften", "3", "-o", "m.bmp", "--", "-a\\nb\\\\n\\x"});
    ASSERT_EQ(t.result, 0) << t.error;
    EXPECT_EQ(t.options.command, CliCommand::TextMark);
    EXPECT_TRUE(t.options.inputs.empty());
    EXPECT_EQ(t.options.text.text, "-a\nb\\n\\x");  // \n a line break, \\ one backslash, other \ kept
    EXPECT_EQ(t.options.text.align, TextAlign::Right);
    EXPECT_EQ(t.options.text.font, "IPAGothic");
    EXPECT_EQ(t.options.text.textHeight, 64);
    EXPECT_EQ(t.options.text.soften, 3);

    const Parsed d = Parse({"text-mark", "x", "-o", "m.bmp"});
    ASSERT_EQ(d.result, 0) << d.error;
    EXPECT_EQ(d.options.text.textHeight, 256);
    EXPECT_EQ(d.options.text.soften, 0);
    EXPECT_EQ(d.options.text.align, TextAlign::Left);
    EXPECT_TRUE(d.options.text.font.empty());

    const Parsed b = Parse({"bump", "--text", "山田", "--font-index", "2", "a.jpg", "b.jpg", "-o", "out/"});
    ASSERT_EQ(b.result, 0) << b.error;
    EXPECT_TRUE(b.options.textGiven);
    EXPECT_FALSE(BumpsWithOwnPicture(b.options));
    EXPECT_EQ(b.options.inputs.size(), 2u);
    const std::vector<std::string> expected = {"bump", "--text", "山田", "--font-index", "2"};
    EXPECT_EQ(b.options.workerArguments, expected);
}

// ---- Refusals --------------------------------------------------------------------

struct Refusal {
    std::vector<const char*> args;
    const char* message;  // part of the error text
};

TEST(CliOptions, EveryKindOfBadCommandLineIsRefusedWithItsReason)
{
    const Refusal cases[] = {
        {{}, "no command"},
        {{"stamp", "i", "-o", "o.bmp"}, "unknown command 'stamp'"},
        {{"-o", "o.bmp", "bump", "i"}, "command must come first"},
        {{"bump", "--frobnicate", "i", "-o", "o.bmp"}, "unknown option '--frobnicate'"},
        {{"bump", "-x", "i", "-o", "o.bmp"}, "unknown option '-x'"},
        {{"filter", "--tile", "i", "-o", "o.bmp"}, "'--tile' does not apply to 'filter'"},
        {{"convert", "--region", "0,0,1,1", "i", "-o", "o.bmp"}, "'--region' does not apply"},
        {{"ysh", "--kind", "soft", "i", "-o", "o.bmp"}, "'--kind' does not apply"},
        {{"bump", "i", "-o"}, "'-o' needs a value"},
        {{"bump", "i", "-o", "o.bmp", "--strength"}, "'--strength' needs a value"},
        {{"bump", "--strength", "ten", "i", "-o", "o.bmp"}, "'ten' is not a whole number"},
        {{"bump", "--strength", "1.5", "i", "-o", "o.bmp"}, "not a whole number"},
        {{"bump", "--strength=", "i", "-o", "o.bmp"}, "not a whole number"},
        {{"bump", "--azimuth", "nan", "i", "-o", "o.bmp"}, "'nan' is not a number"},
        {{"bump", "--light", "1,inf,1", "i", "-o", "o.bmp"}, "'inf' is not a number"},
        {{"bump", "--strength", "0", "i", "-o", "o.bmp"}, "out of range (1..200)"},
        {{"bump", "--strength", "201", "i", "-o", "o.bmp"}, "out of range (1..200)"},
        {{"bump", "--strength", "99999999999999999999", "i", "-o", "o.bmp"}, "out of range"},
        {{"bump", "--amplify", "801", "i", "-o", "o.bmp"}, "out of range (0..800)"},
        {{"bump", "--ambient", "0", "i", "-o", "o.bmp"}, "out of range (1..100)"},
        {{"bump", "--elevation", "-1", "i", "-o", "o.bmp"}, "out of range (0..90)"},
        {{"bump", "--offset", "-1,0", "i", "-o", "o.bmp"}, "out of range"},
        {{"bump", "--offset", "3", "i", "-o", "o.bmp"}, "expected two whole numbers"},
        {{"bump", "--light", "0,0,0", "i", "-o", "o.bmp"}, "points nowhere"},
        {{"bump", "--light", "1,2", "i", "-o", "o.bmp"}, "expected three numbers"},
        {{"bump", "--light", "0,0,1", "--elevation", "30", "i", "-o", "o.bmp"}, "--light excludes"},
        {{"bump", "--no-enlarge", "--tile", "i", "-o", "o.bmp"}, "exclude each other"},
        {{"bump", "--tile=1", "i", "-o", "o.bmp"}, "'--tile' takes no value"},
        {{"convert", "--metadata", "gps", "i", "-o", "o.jpg"}, "'gps' is not all, no-location or none"},
        {{"convert", "--strip", "--metadata", "all", "i", "-o", "o.jpg"}, "--strip and --metadata exclude each other"},
        {{"bump", "--strength", "5", "--strength", "6", "i", "-o", "o.bmp"}, "given twice"},
        {{"bump", "-o", "a.bmp", "--output", "b.bmp", "i"}, "given twice"},
        {{"filter", "--strength", "11", "i", "-o", "o.bmp"}, "out of range (0..10)"},
        {{"filter", "--kind", "blur", "i", "-o", "o.bmp"}, "'blur' is not sharpen"},
        {{"filter", "--kernel", "1,1,1,1,10,1,1,1,1", "i", "-o", "o.bmp"}, "out of range (-9..9)"},
        {{"filter", "--kernel", "1,1,1,1,1,1,1,1", "i", "-o", "o.bmp"}, "expected nine"},
        {{"filter", "--kernel", "1,1,1,1,,1,1,1,1", "i", "-o", "o.bmp"}, "not a whole number"},
        {{"filter", "--kind", "emboss", "--kernel", "1,1,1,1,1,1,1,1,1", "i", "-o", "o.bmp"}, "needs --kind custom"},
        {{"effect", "--kind", "sepia", "i", "-o", "o.bmp"}, "'sepia' is not negative"},
        {{"effect", "--levels", "48", "i", "-o", "o.bmp"}, "not one of 8, 16"},
        {{"effect", "--bounds", "0,255,0,255,0", "i", "-o", "o.bmp"}, "expected six"},
        {{"effect", "--bounds", "0,256,0,255,0,255", "i", "-o", "o.bmp"}, "out of range (0..255)"},
        {{"effect", "--bounds", "0,255,200,100,0,255", "i", "-o", "o.bmp"}, "green lower bound 200"},
        {{"effect", "--kind", "solarize", "--bounds", "0,255,0,255,0,255", "i", "-o", "o.bmp"}, "needs --kind contrast"},
        {{"effect", "--kind", "contrast", "--levels", "8", "i", "-o", "o.bmp"}, "does not apply to --kind contrast"},
        {{"ysh", "--luminance", "101", "i", "-o", "o.bmp"}, "out of range (-100..100)"},
        {{"ysh", "--saturation", "-101", "i", "-o", "o.bmp"}, "out of range (-100..100)"},
        {{"ysh", "--hue", "181", "i", "-o", "o.bmp"}, "out of range (-180..180)"},
        {{"text-mark", "-o", "m.bmp"}, "no text given"},
        {{"text-mark", "a", "b", "-o", "m.bmp"}, "quote it"},
        {{"text-mark", "", "-o", "m.bmp"}, "the text is empty"},
        {{"text-mark", "\\n\\n", "-o", "m.bmp"}, "the text is empty"},
        {{"text-mark", "a\xff", "-o", "m.bmp"}, "not valid UTF-8 (at byte 2)"},
        {{"text-mark", "\xe0\x80\xaf", "-o", "m.bmp"}, "not valid UTF-8"},     // overlong
        {{"text-mark", "\xed\xa0\x80", "-o", "m.bmp"}, "not valid UTF-8"},     // a surrogate
        {{"text-mark", "a\tb", "-o", "m.bmp"}, "control character U+0009"},
        {{"text-mark", "a", "--text-height", "7", "-o", "m.bmp"}, "out of range (8..2048)"},
        {{"text-mark", "a", "--soften", "11", "-o", "m.bmp"}, "out of range (0..10)"},
        {{"text-mark", "a", "--align", "justify", "-o", "m.bmp"}, "not left, center or right"},
        {{"text-mark", "a", "--strength", "5", "-o", "m.bmp"}, "does not apply to 'text-mark'"},
        {{"bump", "--text", "a", "--watermark", "w.bmp", "i", "-o", "o.bmp"}, "--text and --watermark exclude"},
        {{"bump", "--font", "IPAGothic", "i", "-o", "o.bmp"}, "need --text"},
        {{"filter", "--text", "a", "i", "-o", "o.bmp"}, "does not apply to 'filter'"},
        {{"ysh", "--cmyk", "--hue", "0", "i", "-o", "o.bmp"}, "--cmyk excludes"},
        {{"convert", "--format", "tiff", "i", "-o", "o.bmp"}, "'tiff' is not bmp, jpeg, png or webp"},
        {{"convert", "--bmp-depth", "8", "i", "-o", "o.bmp"}, "out of range (16..32)"},
        {{"convert", "--bmp-depth", "20", "i", "-o", "o.bmp"}, "not 16, 24 or 32"},
        {{"convert", "--quality", "59", "i", "-o", "o.jpg"}, "out of range (60..100)"},
        {{"bump", "--region", "5,0,5,10", "i", "-o", "o.bmp"}, "needs L < R and T < B"},
        {{"bump", "--region", "0,9,5,3", "i", "-o", "o.bmp"}, "needs L < R and T < B"},
        {{"bump", "--region", "0,0,5", "i", "-o", "o.bmp"}, "expected four"},
        {{"bump", "-o", "", "i"}, "output path is empty"},
        {{"bump", "-o", "o.bmp"}, "no input file"},
        {{"bump", "i"}, "no output given"},
        {{"convert", "--jobs", "0", "i", "-o", "o.bmp"}, "out of range (1..256)"},
        {{"convert", "--jobs", "257", "i", "-o", "o.bmp"}, "out of range (1..256)"},
        {{"convert", "--jobs", "many", "i", "-o", "o.bmp"}, "'many' is not a whole number"},
        {{"convert", "--jobs", "2", "--jobs=3", "i", "-o", "o.bmp"}, "given twice"},
        {{"convert", "i", "-o", "o.bmp", "--jobs"}, "'--jobs' needs a value"},
    };
    for (const Refusal& c : cases) {
        std::vector<const char*> argv{"quillvane-cli"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        CliOptions options;
        std::string error;
        const int result = ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &options, &error);
        std::string line;
        for (const char* a : c.args)
            line += std::string(a) + " ";
        EXPECT_EQ(result, -1) << line;
        EXPECT_NE(error.find(c.message), std::string::npos) << line << "-> " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
    }
}

}  // namespace

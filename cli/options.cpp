#include "cli/options.h"

#include "cli/option_values.h"
#include "cli/presets.h"
#include "cli/system.h"
#include "cli/text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace {

// Which commands an option belongs to.
constexpr unsigned kConvert = 1u << 0;
constexpr unsigned kBump = 1u << 1;
constexpr unsigned kFilter = 1u << 2;
constexpr unsigned kEffect = 1u << 3;
constexpr unsigned kYsh = 1u << 4;
constexpr unsigned kTextMark = 1u << 5;
constexpr unsigned kTextOptions = kBump | kTextMark;
constexpr unsigned kProcessing = kBump | kFilter | kEffect | kYsh;
constexpr unsigned kEvery = kConvert | kProcessing;

// More workers than this would only compete for the same cores and memory.
constexpr long kMaxJobs = 256;

// Stores one option's value in the record (name as typed, for messages):
// 0, or -1 with a one-line *error.
using OptionHandler = int (*)(const std::string& name, const std::string& value, CliOptions* o, std::string* error);

// ---------------------------------------------------------------------------
// The handlers: one for each kind of value, and one for each option that
// checks more than a range.

// A switch: sets its flag.
template <bool CliOptions::*Flag>
int SetSwitch(const std::string&, const std::string&, CliOptions* o, std::string*)
{
    o->*Flag = true;
    return 0;
}

// A whole number in Low..High.
template <int CliOptions::*Field, long Low, long High>
int SetInteger(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    return IntegerValue(name, value, Low, High, &(o->*Field), error);
}

// A whole number of one of the engines' parameters (Params, a member of
// the record), in the range written beside them.
template <auto Params, auto Field, ParamRange Range>
int SetParam(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    return IntegerValue(name, value, Range.min, Range.max, &((o->*Params).*Field), error);
}

// A slider of the colour adjustment: given less its neutral position (the
// default), stored as the position.
template <int YshParams::*Field, ParamRange Range>
int SetSlider(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    int v = 0;
    if (IntegerValue(name, value, Range.min - Range.def, Range.max - Range.def, &v, error) != 0)
        return -1;
    o->ysh.*Field = v + Range.def;
    return 0;
}

// A switch of the watermark's placement.
template <bool WatermarkLayout::*Flag>
int SetLayoutSwitch(const std::string&, const std::string&, CliOptions* o, std::string*)
{
    o->bump.layout.*Flag = true;
    return 0;
}

// A real number in Low..High, marked given.
template <double CliOptions::*Field, bool CliOptions::*Given, int Low, int High>
int SetReal(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    o->*Given = true;
    return RealValue(name, value, Low, High, &(o->*Field), error);
}

// A whole number of the text mark in Low..High.
template <int TextMarkParams::*Field, long Low, long High>
int SetTextInteger(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    return IntegerValue(name, value, Low, High, &(o->text.*Field), error);
}

int SetOutput(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (value.empty()) {
        *error = Format(_("%s: the output path is empty"), name.c_str());
        return -1;
    }
    o->output = value;
    o->outputGiven = true;
    return 0;
}

int SetFormat(const std::string&, const std::string& value, CliOptions* o, std::string* error)
{
    return ParseFormat(value, &o->format, error);
}

// --metadata all|no-location|none; --strip is none.
int SetMetadata(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    static const struct {
        const char* name;
        MetadataKeep keep;
    } choices[] = {{"all", MetadataKeep::All}, {"no-location", MetadataKeep::AllButLocation}, {"none", MetadataKeep::None}};
    if (name == "--strip") {
        o->metadata = MetadataKeep::None;
        return 0;
    }
    for (const auto& choice : choices)
        if (EqualsNoCase(value, choice.name)) {
            o->metadata = choice.keep;
            return 0;
        }
    *error = Format(_("--metadata: '%s' is not all, no-location or none"), value.c_str());
    return -1;
}

int SetBmpDepth(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (IntegerValue(name, value, 16, 32, &o->bmpDepth, error) != 0)
        return -1;
    if (o->bmpDepth != 16 && o->bmpDepth != 24 && o->bmpDepth != 32) {
        *error = Format(_("%s: %s is not 16, 24 or 32"), name.c_str(), value.c_str());
        return -1;
    }
    return 0;
}

// A rectangle L,T,R,B in picture pixels (--region, --crop): L < R, T < B.
int ParseRectangle(const std::string& name, const std::string& value, int* ltrb, std::string* error)
{
    if (IntegerList(name, value, 4, N_("four whole numbers L,T,R,B"), INT_MIN, INT_MAX, ltrb, error) != 0)
        return -1;
    if (ltrb[0] >= ltrb[2] || ltrb[1] >= ltrb[3]) {
        *error = Format(_("%s: %s needs L < R and T < B"), name.c_str(), value.c_str());
        return -1;
    }
    return 0;
}

int SetRegion(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (ParseRectangle(name, value, o->region, error) != 0)
        return -1;
    o->regionGiven = true;
    return 0;
}

int SetCrop(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (ParseRectangle(name, value, o->crop, error) != 0)
        return -1;
    o->cropGiven = true;
    return 0;
}

int SetResize(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (ParseResize(name, value, &o->resize, error) != 0)
        return -1;
    o->resizeGiven = true;
    o->resizeText = value;
    return 0;
}

int SetWatermark(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (value.empty()) {
        *error = Format(_("%s: the watermark path is empty"), name.c_str());
        return -1;
    }
    o->watermark = value;
    return 0;
}

int SetLight(const std::string&, const std::string& value, CliOptions* o, std::string* error)
{
    return ParseLight(value, o, error);
}

// --strength: the relief's for bump, the filter's for filter.
int SetStrength(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (o->command == CliCommand::Bump)
        return SetParam<&CliOptions::bump, &BumpParams::strength, kBumpStrength>(name, value, o, error);
    return SetParam<&CliOptions::filter, &FilterParams::strength, kFilterStrength>(name, value, o, error);
}

int SetOffset(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    int xy[2] = {0, 0};
    if (IntegerList(name, value, 2, N_("two whole numbers X,Y"), 0, INT_MAX, xy, error) != 0)
        return -1;
    o->bump.layout.offsetX = xy[0];
    o->bump.layout.offsetY = xy[1];
    return 0;
}

int SetKind(const std::string&, const std::string& value, CliOptions* o, std::string* error)
{
    return ParseKind(o->command, value, o, error);
}

// Nine weights as seen on screen, top row first, into the engine's kernel,
// whose rows run bottom-up.
int SetKernel(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    int weights[9] = {};
    if (IntegerList(name, value, 9, N_("nine whole numbers a,b,c,d,e,f,g,h,i"), kKernelValue.min, kKernelValue.max,
                    weights, error) != 0)
        return -1;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            o->filter.kernel[2 - row][col] = weights[row * 3 + col];
    o->kernelGiven = true;
    return 0;
}

int SetLevels(const std::string&, const std::string& value, CliOptions* o, std::string* error)
{
    return ParseLevels(value, o, error);
}

int SetBounds(const std::string&, const std::string& value, CliOptions* o, std::string* error)
{
    return ParseBounds(value, o, error);
}

int SetCmyk(const std::string&, const std::string&, CliOptions* o, std::string*)
{
    o->ysh.mode = ColourMode::Cmyk;
    return 0;
}

int SetBackground(const std::string&, const std::string& value, CliOptions* o, std::string* error)
{
    o->backgroundGiven = true;
    return ParseColour(value, o->background, error);
}

int SetSize(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    o->sizeGiven = true;
    if (ParseLength(name, value, false, 0.0, &o->size, error) != 0)
        return -1;
    if (o->size.value > 0.0)
        return 0;
    *error = Format(_("%s: %s is out of range"), name.c_str(), value.c_str());
    return -1;
}

int SetGravity(const std::string&, const std::string& value, CliOptions* o, std::string* error)
{
    o->gravityGiven = true;
    return ParseGravity(value, &o->gravity, error);
}

int SetMargin(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    std::vector<std::string> fields;
    if (SplitList(value, 2, &fields) != 0) {
        *error = Format(_("%s: expected %s, got '%s'"), name.c_str(), _("two lengths X,Y"), value.c_str());
        return -1;
    }
    o->marginGiven = true;
    for (int i = 0; i < 2; ++i)
        if (ParseLength(name, fields[static_cast<std::size_t>(i)], true, 0.0, &o->margin[i], error) != 0)
            return -1;
    return 0;
}

int SetPreset(const std::string&, const std::string& value, CliOptions* o, std::string*)
{
    o->preset = value;
    return 0;
}

int SetSuffix(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (value.find('/') != std::string::npos) {
        *error = Format(_("%s: '%s' may not contain '/'"), name.c_str(), value.c_str());
        return -1;
    }
    o->suffix = value;
    return 0;
}

int SetText(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    o->textGiven = true;
    return ParseMarkText(name, value, &o->text.text, error);
}

int SetFont(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (value.empty()) {
        *error = Format(_("%s: the font name is empty"), name.c_str());
        return -1;
    }
    o->text.font = value;
    return 0;
}

int SetAlign(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (value == "left")
        o->text.align = TextAlign::Left;
    else if (value == "center" || value == "centre")
        o->text.align = TextAlign::Center;
    else if (value == "right")
        o->text.align = TextAlign::Right;
    else {
        *error = Format(_("%s: '%s' is not left, center or right"), name.c_str(), value.c_str());
        return -1;
    }
    return 0;
}

// --bevel: the watermark's, and the text mark's in place of its default.
int SetBevel(const std::string& name, const std::string& value, CliOptions* o, std::string* error)
{
    if (SetParam<&CliOptions::bevel, &BevelParams::width, kBevelWidth>(name, value, o, error) != 0)
        return -1;
    o->bevelGiven = true;
    o->text.bevel = o->bevel.width;
    return 0;
}

// ---------------------------------------------------------------------------
// The options: each one's spelling, whether a value follows, the commands
// it belongs to and what stores it.

struct OptionEntry {
    const char* name;
    bool takesValue;
    unsigned commands;
    OptionHandler apply;
};

using O = CliOptions;
constexpr OptionEntry kOptions[] = {
    {"--output", true, kEvery | kTextMark, SetOutput},
    {"--jobs", true, kEvery, SetInteger<&O::jobs, 1, kMaxJobs>},
    {"--format", true, kEvery | kTextMark, SetFormat},
    {"--bmp-depth", true, kEvery, SetBmpDepth},
    {"--quality", true, kEvery, SetInteger<&O::quality, kJpegQualityMin, kJpegQualityMax>},
    {"--progressive", false, kEvery, SetSwitch<&O::progressive>},
    {"--region", true, kProcessing, SetRegion},
    {"--watermark", true, kBump, SetWatermark},
    {"--light", true, kBump, SetLight},
    {"--azimuth", true, kBump, SetReal<&O::azimuth, &O::azimuthGiven, -360, 360>},
    {"--elevation", true, kBump, SetReal<&O::elevation, &O::elevationGiven, 0, 90>},
    {"--strength", true, kBump | kFilter, SetStrength},
    {"--amplify", true, kBump, SetParam<&O::bump, &BumpParams::amplification, kBumpAmplification>},
    {"--ambient", true, kBump, SetParam<&O::bump, &BumpParams::ambient, kBumpAmbient>},
    {"--keep-aspect", false, kBump, SetLayoutSwitch<&WatermarkLayout::keepAspect>},
    {"--no-enlarge", false, kBump, SetLayoutSwitch<&WatermarkLayout::dontEnlarge>},
    {"--tile", false, kBump, SetLayoutSwitch<&WatermarkLayout::repeatTile>},
    {"--offset", true, kBump, SetOffset},
    {"--kind", true, kFilter | kEffect, SetKind},
    {"--kernel", true, kFilter, SetKernel},
    {"--levels", true, kEffect, SetLevels},
    {"--bounds", true, kEffect, SetBounds},
    {"--luminance", true, kYsh, SetSlider<&YshParams::luminance, kYshLuminance>},
    {"--saturation", true, kYsh, SetSlider<&YshParams::saturation, kYshSaturation>},
    {"--hue", true, kYsh, SetSlider<&YshParams::hue, kYshHue>},
    {"--cmyk", false, kYsh, SetCmyk},
    {"--lossless", false, kEvery, SetSwitch<&O::lossless>},
    {"--background", true, kEvery, SetBackground},
    {"--strip", false, kEvery, SetMetadata},
    {"--auto-orient", false, kEvery, SetSwitch<&O::autoOrient>},
    {"--crop", true, kEvery, SetCrop},
    {"--resize", true, kEvery, SetResize},
    {"--size", true, kBump, SetSize},
    {"--gravity", true, kBump, SetGravity},
    {"--margin", true, kBump, SetMargin},
    {"--preset", true, kEvery, SetPreset},
    {"--recursive", false, kEvery, SetSwitch<&O::recursive>},
    {"--suffix", true, kEvery, SetSuffix},
    {"--skip-existing", false, kEvery, SetSwitch<&O::skipExisting>},
    {"--in-place", false, kEvery, SetSwitch<&O::inPlace>},
    {"--text", true, kBump, SetText},
    {"--font", true, kTextOptions, SetFont},
    {"--font-index", true, kTextOptions, SetTextInteger<&TextMarkParams::fontIndex, 0, kTextFontIndexMax>},
    {"--align", true, kTextOptions, SetAlign},
    {"--text-height", true, kTextOptions,
     SetTextInteger<&TextMarkParams::textHeight, kTextHeightMin, kTextHeightMax>},
    {"--soften", true, kTextOptions, SetTextInteger<&TextMarkParams::soften, 0, kTextSoftenMax>},
    {"--bevel", true, kTextOptions, SetBevel},
    // Photo files: how much metadata the output keeps.
    {"--metadata", true, kEvery, SetMetadata},
};
constexpr std::size_t kOptionCount = std::size(kOptions);

// An option's place in kOptions, for the checks that name it; a name that
// is not in the table does not compile.
consteval std::size_t OptionIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kOptionCount; ++i)
        if (name == kOptions[i].name)
            return i;
    throw "no such option";
}

struct CommandName {
    const char* name;
    CliCommand command;
    unsigned bit;
};

const CommandName kCommands[] = {
    {"convert", CliCommand::Convert, kConvert}, {"bump", CliCommand::Bump, kBump},
    {"filter", CliCommand::Filter, kFilter},    {"effect", CliCommand::Effect, kEffect},
    {"ysh", CliCommand::Ysh, kYsh},           {"text-mark", CliCommand::TextMark, kTextMark},
};

const OptionEntry* FindOption(const std::string& name)
{
    if (name == "-o")
        return &kOptions[OptionIndex("--output")];
    if (name == "-r")
        return &kOptions[OptionIndex("--recursive")];
    for (const OptionEntry& entry : kOptions)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

// ---------------------------------------------------------------------------
// The checks that concern several options at once.

// text-mark: its one argument is the text.
int CheckTextMark(CliOptions* o, std::string* error)
{
    if (o->inputs.empty()) {
        *error = _("no text given (text-mark TEXT -o MARK.png)");
        return -1;
    }
    if (o->inputs.size() > 1) {
        *error = Format(_("text-mark draws one text; quote it ('%s' and '%s' are two arguments)"),
                        o->inputs[0].c_str(), o->inputs[1].c_str());
        return -1;
    }
    if (!o->outputGiven) {
        *error = _("no output given (-o PATH)");
        return -1;
    }
    if (ParseMarkText("text-mark", o->inputs[0], &o->text.text, error) != 0)
        return -1;
    o->textGiven = true;
    o->inputs.clear();
    return 0;
}


int CheckBump(CliOptions* o, const bool* seen, std::string* error)
{
    if (o->lightGiven && (o->azimuthGiven || o->elevationGiven)) {
        *error = _("--light excludes --azimuth and --elevation");
        return -1;
    }
    const WatermarkLayout& layout = o->bump.layout;
    if (layout.dontEnlarge && layout.repeatTile) {
        *error = _("--no-enlarge and --tile exclude each other");
        return -1;
    }
    if ((o->sizeGiven || o->gravityGiven || o->marginGiven) &&
        (layout.dontEnlarge || layout.keepAspect || seen[OptionIndex("--offset")])) {
        *error = _("--size, --gravity and --margin place the watermark themselves: they exclude --no-enlarge, "
                   "--keep-aspect and --offset");
        return -1;
    }
    if (layout.repeatTile && (o->gravityGiven || o->marginGiven)) {
        *error = _("--gravity and --margin do not apply to --tile");
        return -1;
    }
    if (o->textGiven && !o->watermark.empty()) {
        *error = _("--text and --watermark exclude each other");
        return -1;
    }
    if (!o->textGiven) {
        for (std::size_t index : {OptionIndex("--font"), OptionIndex("--font-index"), OptionIndex("--align"),
                                  OptionIndex("--text-height"), OptionIndex("--soften")})
            if (seen[index]) {
                *error = _("the text options (--font, --font-index, --align, --text-height, --soften) "
                           "need --text");
                return -1;
            }
    }
    if (!o->lightGiven) {
        const double pi = 3.141592653589793;
        const double a = o->azimuth * pi / 180.0;
        const double e = o->elevation * pi / 180.0;
        o->bump.lightX = std::cos(e) * std::cos(a);
        o->bump.lightY = std::cos(e) * std::sin(a);
        o->bump.lightZ = std::sin(e);
    }
    return 0;
}

int CheckFilter(CliOptions* o, std::string* error)
{
    if (o->kernelGiven) {
        if (o->filterKindGiven && o->filter.kind != FilterKind::Custom) {
            *error = _("--kernel needs --kind custom");
            return -1;
        }
        o->filter.kind = FilterKind::Custom;
    }
    return 0;
}

int CheckEffect(CliOptions* o, std::string* error)
{
    if (o->boundsGiven) {
        if (o->effectKindGiven && o->effect.kind != EffectKind::Contrast) {
            *error = _("--bounds needs --kind contrast");
            return -1;
        }
        o->effect.kind = EffectKind::Contrast;
    }
    if (o->effect.kind == EffectKind::Contrast && o->levelsGiven) {
        *error = _("--levels does not apply to --kind contrast");
        return -1;
    }
    return 0;
}

int CheckYsh(const CliOptions* o, const bool* seen, std::string* error)
{
    const bool slidersGiven =
        seen[OptionIndex("--luminance")] || seen[OptionIndex("--saturation")] || seen[OptionIndex("--hue")];
    if (o->ysh.mode == ColourMode::Cmyk && slidersGiven) {
        *error = _("--cmyk excludes --luminance, --saturation and --hue");
        return -1;
    }
    return 0;
}

int CheckCombinations(CliOptions* o, const bool* seen, std::string* error)
{
    if (o->command == CliCommand::TextMark)
        return CheckTextMark(o, error);
    if (o->inputs.empty()) {
        *error = _("no input file given");
        return -1;
    }
    if (!o->outputGiven && !o->inPlace) {
        *error = _("no output given (-o PATH, or --in-place)");
        return -1;
    }
    if (seen[OptionIndex("--strip")] && seen[OptionIndex("--metadata")]) {
        *error = _("--strip and --metadata exclude each other");
        return -1;
    }
    if (o->lossless && o->format != CliFormat::Webp && o->format != CliFormat::FromName) {
        *error = _("--lossless applies to WebP output only");
        return -1;
    }
    switch (o->command) {
    case CliCommand::Bump: return CheckBump(o, seen, error);
    case CliCommand::Filter: return CheckFilter(o, error);
    case CliCommand::Effect: return CheckEffect(o, error);
    case CliCommand::Ysh: return CheckYsh(o, seen, error);
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// The parser.

// One parse's words, the preset's first, and what has been seen of them.
struct WordParse {
    std::vector<OptionWord> words;
    std::size_t presetWords = 0;
    std::string commandName;
    unsigned commandBit = 0;
    bool seen[kOptionCount] = {};
    bool seenInPreset[kOptionCount] = {};
    bool optionsEnded = false;
};

// --help and --version answer whatever else the line holds: Help, Version,
// or None.
CliCommand FindHelpOrVersion(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h")
            return CliCommand::Help;
        if (arg == "--version")
            return CliCommand::Version;
    }
    return CliCommand::None;
}

// The first argument names the command.
int FindCommand(int argc, const char* const* argv, CliOptions* options, WordParse* p, std::string* error)
{
    if (argc < 2) {
        *error = _("no command given");
        return -1;
    }
    p->commandName = argv[1];
    const std::string& commandName = p->commandName;
    for (const CommandName& c : kCommands)
        if (commandName == c.name) {
            options->command = c.command;
            p->commandBit = c.bit;
        }
    if (p->commandBit == 0) {
        if (!commandName.empty() && commandName[0] == '-')
            *error = Format(_("the command must come first (convert, bump, filter, effect, ysh or text-mark), not '%s'"),
                            commandName.c_str());
        else
            *error = Format(_("unknown command '%s' (convert, bump, filter, effect, ysh or text-mark)"),
                            commandName.c_str());
        return -1;
    }
    return 0;
}

// The preset's options come first, each as one word with its origin, then
// the command line's words.
int CollectWords(int argc, const char* const* argv, WordParse* p, std::string* error)
{
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        std::string file;
        if (arg == "--preset" && i + 1 < argc)
            file = argv[i + 1];
        else if (arg.compare(0, 9, "--preset=") == 0)
            file = arg.substr(9);
        else
            continue;
        if (ReadPreset(file, &p->words, error) != 0)
            return -1;
        break;
    }
    p->presetWords = p->words.size();
    for (int i = 2; i < argc; ++i)
        p->words.push_back({argv[i], std::string()});
    return 0;
}

// Takes words[*i]: an input, "--", or an option and its value (which may be
// the next word, *i then moves on to it).  Returns 0, or -1 with *error
// (without the preset's FILE:LINE).
int TakeWord(WordParse* p, std::size_t* i, CliOptions* options, std::string* error)
{
    const std::string& arg = p->words[*i].text;
    const bool fromPreset = *i < p->presetWords;
    if (p->optionsEnded || arg.size() < 2 || arg[0] != '-') {
        if (fromPreset) {
            *error = Format(_("'%s' is not an option"), arg.c_str());
            return -1;
        }
        options->inputs.push_back(arg);
        return 0;
    }
    if (arg == "--") {
        p->optionsEnded = true;
        return 0;
    }
    const std::size_t equals = arg.find('=');
    const bool hasInlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
    const std::string name = hasInlineValue ? arg.substr(0, equals) : arg;
    const OptionEntry* entry = FindOption(name);
    if (!entry) {
        *error = Format(_("unknown option '%s'"), name.c_str());
        return -1;
    }
    if ((entry->commands & p->commandBit) == 0) {
        *error = Format(_("option '%s' does not apply to '%s'"), name.c_str(), p->commandName.c_str());
        return -1;
    }
    const std::size_t index = static_cast<std::size_t>(entry - kOptions);
    if (fromPreset && index == OptionIndex("--preset")) {
        *error = _("a preset cannot name another preset");
        return -1;
    }
    // The command line overrides the preset; within either, once.
    if (p->seen[index] && (fromPreset || !p->seenInPreset[index])) {
        *error = Format(_("option '%s' is given twice"), entry->name);
        return -1;
    }
    p->seenInPreset[index] = fromPreset;
    p->seen[index] = true;

    std::string value;
    // -o and --jobs are the workers' own; the rest is passed on as written.
    const bool passedOn = !fromPreset && index != OptionIndex("--output") && index != OptionIndex("--jobs");
    if (passedOn)
        options->workerArguments.push_back(arg);
    if (entry->takesValue) {
        if (hasInlineValue) {
            value = arg.substr(equals + 1);
        } else {
            if (*i + 1 >= p->words.size() || (fromPreset && *i + 1 >= p->presetWords)) {
                *error = Format(_("option '%s' needs a value"), name.c_str());
                return -1;
            }
            value = p->words[++*i].text;
            if (passedOn)
                options->workerArguments.push_back(value);
        }
    } else if (hasInlineValue) {
        *error = Format(_("option '%s' takes no value"), name.c_str());
        return -1;
    }
    return entry->apply(name, value, options, error);
}

}  // namespace

CliFormat FormatFromExtension(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos ||
        std::any_of(name.begin() + static_cast<std::ptrdiff_t>(dot), name.end(), IsPathSeparator))
        return CliFormat::FromName;
    const std::string extension = name.substr(dot);
    if (EqualsNoCase(extension, ".bmp"))
        return CliFormat::Bmp;
    if (EqualsNoCase(extension, ".jpg") || EqualsNoCase(extension, ".jpeg"))
        return CliFormat::Jpeg;
    if (EqualsNoCase(extension, ".png"))
        return CliFormat::Png;
    if (EqualsNoCase(extension, ".webp"))
        return CliFormat::Webp;
    return CliFormat::FromName;
}

int ParseCliOptions(int argc, const char* const* argv, CliOptions* options, std::string* error)
{
    *options = CliOptions{};
    error->clear();
    options->command = FindHelpOrVersion(argc, argv);
    if (options->command != CliCommand::None)
        return 0;

    WordParse parse;
    if (FindCommand(argc, argv, options, &parse, error) != 0)
        return -1;
    if (CollectWords(argc, argv, &parse, error) != 0)
        return -1;
    options->workerArguments.push_back(parse.commandName);
    for (std::size_t i = 0; i < parse.words.size(); ++i) {
        const bool fromPreset = i < parse.presetWords;
        if (TakeWord(&parse, &i, options, error) != 0) {
            // A problem in the preset names its file and line.
            if (fromPreset)
                *error = parse.words[i].origin + ": " + *error;
            return -1;
        }
    }
    return CheckCombinations(options, parse.seen, error);
}

#include "cli/options.h"

#include "cli/text.h"
#include "cli/text_utf8.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace {

// xgettext:no-c-format
const char kUsage[] = N_(
    "Usage: quillvane-cli COMMAND [options] INPUT... -o OUTPUT\n"
    "  or:  quillvane-cli text-mark [options] TEXT -o MARK.png|MARK.bmp\n"
    "  or:  quillvane-cli --help | --version\n"
    "\n"
    "Stamps a relief watermark into photographs and retouches them, many files at\n"
    "a time.  Reads and writes BMP (16, 24, 32 bits per pixel), JPEG, PNG and WebP\n"
    "files, keeping their metadata (EXIF, XMP, IPTC, ICC profile) and transparency.\n"
    "\n"
    "Commands:\n"
    "  convert   read and write only (another file type or other file settings)\n"
    "  bump      stamp a watermark into the picture as a relief\n"
    "  filter    3x3 filter: sharpen, soft, colour emboss or a custom kernel\n"
    "  effect    negative, posterize, solarize, binarize or contrast stretch\n"
    "  ysh       luminance / saturation / hue adjustment, or the CMYK round trip\n"
    "  text-mark draw TEXT as a watermark: white letters on black (a height field)\n"
    "\n"
    "Output and file settings (every command):\n"
    "  -o, --output PATH      output file (one input) or existing directory (one or\n"
    "                         more inputs; each result is named after its input:\n"
    "                         stem + .bmp, .jpg, .png or .webp)\n"
    "  --format bmp|jpeg|png|webp\n"
    "                         output type; default: the output file's extension\n"
    "                         (.bmp, .jpg, .jpeg, .png, .webp), in a directory the\n"
    "                         input's type\n"
    "  --bmp-depth 16|24|32   BMP bits per pixel (24)\n"
    "  --quality 60..100      JPEG and lossy WebP quality (80)\n"
    "  --progressive          write progressive JPEG\n"
    "  --lossless             write lossless WebP\n"
    "  --background COLOUR    put a transparent picture over this colour when\n"
    "                         writing BMP or JPEG (#rrggbb, R,G,B, white, black);\n"
    "                         without it such a picture is refused for BMP/JPEG\n"
    "  --strip                write no metadata (by default EXIF, XMP, IPTC and the\n"
    "                         ICC profile are kept, without the EXIF thumbnail)\n"
    "  --auto-orient          turn the pixels as the EXIF orientation says first;\n"
    "                         the result's orientation is 1\n"
    "  --preset FILE          options one per line (--strength 60), '#' comments;\n"
    "                         the command line overrides them\n"
    "\n"
    "Folders and batches (every command):\n"
    "  -r, --recursive        an input folder means every BMP, JPEG, PNG and WebP\n"
    "                         below it; the tree is mirrored under -o DIR\n"
    "  --suffix TEXT          added to each output's name (photo.jpg -> photoTEXT.jpg)\n"
    "  --skip-existing        leave inputs whose output exists already\n"
    "  --in-place             let results replace their inputs (written beside them\n"
    "                         and moved over them only when complete); without -o\n"
    "                         each result replaces its own input\n"
    "  --jobs N               files processed at once, each in its own process,\n"
    "                         1..256 (default: one per processor core; 1: one\n"
    "                         file after another in this process)\n"
    "\n"
    "Selection (bump, filter, effect, ysh):\n"
    "  --region L,T,R,B       process only columns max(L,0)..min(R,W-1) and rows\n"
    "                         max(T,0)..min(B,H-1) of a W x H picture; L < R and\n"
    "                         T < B; a region wholly outside the picture is an error\n"
    "\n"
    "bump:\n"
    "  --watermark PATH       watermark picture (default: the picture or region itself)\n"
    "  --light X,Y,Z          direction towards the light: X right, Y up, Z towards\n"
    "                         the viewer; used as given\n"
    "  --azimuth DEG          light direction in the picture plane, counter-clockwise\n"
    "                         from the right, -360..360 (135: from the upper left)\n"
    "  --elevation DEG        light height above the picture plane, 0..90 (45)\n"
    "                         (--light excludes --azimuth and --elevation)\n"
    "  --strength 1..200      relief strength (20)\n"
    "  --amplify 0..800       amplification of the brightness change (200)\n"
    "  --ambient 1..100       ambient brightness (60)\n"
    "  --keep-aspect          stretch the watermark keeping its aspect ratio\n"
    "  --no-enlarge           lay the watermark at its own size, if it fits\n"
    "  --tile                 repeat the watermark over the picture, if it fits\n"
    "                         (--no-enlarge and --tile exclude each other)\n"
    "  --offset X,Y           the watermark's top-left corner in pixels from the\n"
    "                         top-left of the processed area (0,0); only within the\n"
    "                         room the placement leaves (--no-enlarge, or\n"
    "                         --keep-aspect); outside it: an error\n"
    "  --size P%|Wpx          resize the watermark to P per cent of the processed\n"
    "                         area's width (or W pixels wide), keeping its aspect,\n"
    "                         and lay it at that size (with --tile: tile it)\n"
    "  --gravity nw|n|ne|w|center|e|sw|s|se\n"
    "                         where the watermark goes (center)\n"
    "  --margin X,Y           distance from the edges named by --gravity, each in\n"
    "                         pixels or in per cent of the area's width / height\n"
    "                         (0,0); a watermark that does not fit is an error\n"
    "                         A watermark with transparency (PNG, WebP) rises where\n"
    "                         it is opaque: its alpha is its height.\n"
    "\n"
    "filter:\n"
    "  --kind sharpen|soft|emboss|custom   (sharpen)\n"
    "  --strength 0..10       (0, which changes nothing; soft: number of passes)\n"
    "  --kernel a,b,c,d,e,f,g,h,i\n"
    "                         custom kernel, top row first as seen on screen, each\n"
    "                         -9..9 (all 1); implies --kind custom\n"
    "\n"
    "effect:\n"
    "  --kind negative|posterize|solarize|binarize|contrast   (negative)\n"
    "  --levels 8|16|32|64|128   band width of posterize, solarize, binarize (64)\n"
    "  --bounds BL,BU,GL,GU,RL,RU\n"
    "                         contrast: lower and upper input bound of blue, green\n"
    "                         and red, 0 <= L <= U <= 255 (default: the measured\n"
    "                         range of the picture or region); implies --kind contrast\n"
    "\n"
    "ysh:\n"
    "  --luminance -100..100  per cent (0)\n"
    "  --saturation -100..100 per cent (0)\n"
    "  --hue -180..180        degrees (0)\n"
    "  --cmyk                 convert to CMYK and back instead (excludes the three above)\n"
    "\n"
    "text-mark (writes TEXT as a PNG or BMP picture; the escape \\n or a line break\n"
    "starts a new line, \\\\ is one backslash), and bump --text TEXT (stamps TEXT as\n"
    "text-mark draws it, placed like any watermark; excludes --watermark):\n"
    "  --font FAMILY|PATH     a font family fontconfig knows (DejaVu Sans, IPAGothic)\n"
    "                         or a .ttf/.otf/.ttc file (default: a sans-serif font\n"
    "                         with Japanese)\n"
    "  --font-index N         the face of a font collection, 0..65535 (0)\n"
    "  --align left|center|right   lines against each other (left)\n"
    "  --text-height 8..2048  pixels from one line's baseline to the next (256)\n"
    "  --soften 0..10         passes of the soft 3x3 filter over the mark (0)\n"
    "\n"
    "Option values follow their option as the next argument (--light -0.6,0.3,0.74)\n"
    "or after '=' (--quality=90).  Options and inputs may come in any order after\n"
    "the command; '--' ends the options.  Several inputs show progress on standard\n"
    "error, and each file's messages in the order the inputs were given.\n"
    "\n"
    "A summary follows: files done, skipped and failed, with each failure's reason.\n"
    "\n"
    "Exit status: 0 every file done; 1 a file could not be read, processed or\n"
    "written (no output is left for it, the other inputs still run); 2 bad usage\n"
    "(nothing is written).\n"
    "\n"
    "Examples:\n"
    "  quillvane-cli bump photo.jpg --watermark logo.bmp --no-enlarge --offset 20,20 -o out.jpg\n"
    "  quillvane-cli filter --kind sharpen --strength 5 a.jpg b.jpg -o sharpened/\n"
    "  quillvane-cli convert scan.bmp -o scan.jpg --quality 95 --progressive\n"
    "  quillvane-cli bump -r shoot/ --watermark logo.png --size 20% --gravity se \\\n"
    "                --margin 2%,2% -o marked/\n"
    "  quillvane-cli bump --preset studio.qv -r shoot/ -o marked/ --suffix _wm\n"
    "  quillvane-cli bump -r shoot/ --text 'Studio Quillvane' --size 30% --gravity se \\\n"
    "                --margin 2%,2% -o marked/\n");

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
// Lengths in pixels beyond any picture's side are all the same.
constexpr long kMaxLengthPixels = 1L << 21;

enum class OptionId {
    Output, Jobs, Format, BmpDepth, Quality, Progressive, Region,
    Watermark, Light, Azimuth, Elevation, Strength, Amplify, Ambient,
    KeepAspect, NoEnlarge, Tile, Offset,
    Kind, Kernel, Levels, Bounds,
    Luminance, Saturation, Hue, Cmyk,
    Lossless, Background, Strip, AutoOrient, Size, Gravity, Margin,
    Preset, Recursive, Suffix, SkipExisting, InPlace,
    Text, Font, FontIndex, Align, TextHeight, Soften,
};

struct OptionEntry {
    const char* name;
    OptionId id;
    bool takesValue;
    unsigned commands;
};

const OptionEntry kOptions[] = {
    {"--output", OptionId::Output, true, kEvery | kTextMark},
    {"--jobs", OptionId::Jobs, true, kEvery},
    {"--format", OptionId::Format, true, kEvery | kTextMark},
    {"--bmp-depth", OptionId::BmpDepth, true, kEvery},
    {"--quality", OptionId::Quality, true, kEvery},
    {"--progressive", OptionId::Progressive, false, kEvery},
    {"--region", OptionId::Region, true, kProcessing},
    {"--watermark", OptionId::Watermark, true, kBump},
    {"--light", OptionId::Light, true, kBump},
    {"--azimuth", OptionId::Azimuth, true, kBump},
    {"--elevation", OptionId::Elevation, true, kBump},
    {"--strength", OptionId::Strength, true, kBump | kFilter},
    {"--amplify", OptionId::Amplify, true, kBump},
    {"--ambient", OptionId::Ambient, true, kBump},
    {"--keep-aspect", OptionId::KeepAspect, false, kBump},
    {"--no-enlarge", OptionId::NoEnlarge, false, kBump},
    {"--tile", OptionId::Tile, false, kBump},
    {"--offset", OptionId::Offset, true, kBump},
    {"--kind", OptionId::Kind, true, kFilter | kEffect},
    {"--kernel", OptionId::Kernel, true, kFilter},
    {"--levels", OptionId::Levels, true, kEffect},
    {"--bounds", OptionId::Bounds, true, kEffect},
    {"--luminance", OptionId::Luminance, true, kYsh},
    {"--saturation", OptionId::Saturation, true, kYsh},
    {"--hue", OptionId::Hue, true, kYsh},
    {"--cmyk", OptionId::Cmyk, false, kYsh},
    {"--lossless", OptionId::Lossless, false, kEvery},
    {"--background", OptionId::Background, true, kEvery},
    {"--strip", OptionId::Strip, false, kEvery},
    {"--auto-orient", OptionId::AutoOrient, false, kEvery},
    {"--size", OptionId::Size, true, kBump},
    {"--gravity", OptionId::Gravity, true, kBump},
    {"--margin", OptionId::Margin, true, kBump},
    {"--preset", OptionId::Preset, true, kEvery},
    {"--recursive", OptionId::Recursive, false, kEvery},
    {"--suffix", OptionId::Suffix, true, kEvery},
    {"--skip-existing", OptionId::SkipExisting, false, kEvery},
    {"--in-place", OptionId::InPlace, false, kEvery},
    {"--text", OptionId::Text, true, kBump},
    {"--font", OptionId::Font, true, kTextOptions},
    {"--font-index", OptionId::FontIndex, true, kTextOptions},
    {"--align", OptionId::Align, true, kTextOptions},
    {"--text-height", OptionId::TextHeight, true, kTextOptions},
    {"--soften", OptionId::Soften, true, kTextOptions},
};
constexpr int kOptionCount = static_cast<int>(sizeof kOptions / sizeof kOptions[0]);

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
        return &kOptions[0];
    if (name == "-r")
        return FindOption("--recursive");
    for (const OptionEntry& entry : kOptions)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

bool EqualsNoCase(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i])
            return false;
    }
    return true;
}

// A whole decimal number with an optional sign and nothing else.
int ParseInteger(const std::string& text, long* value)
{
    if (text.empty())
        return -1;
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size())
        return -1;
    for (std::size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9')
            return -1;
    errno = 0;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v > INT_MAX || v < INT_MIN)
        *value = text[0] == '-' ? LONG_MIN : LONG_MAX;  // out of every range below
    else
        *value = v;
    return 0;
}

// A finite decimal real number and nothing else.
int ParseReal(const std::string& text, double* value)
{
    if (text.empty() || text[0] == ' ' || text[0] == '\t')
        return -1;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return -1;  // no hexadecimal, no nan or inf
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v))
        return -1;
    *value = v;
    return 0;
}

// Splits "a,b,c" into exactly count fields (empty fields are kept so that
// they are reported as not numbers).
int SplitList(const std::string& text, int count, std::vector<std::string>* fields)
{
    fields->clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields->push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return static_cast<int>(fields->size()) == count ? 0 : -1;
}

std::string RangeText(long low, long high)
{
    return std::to_string(low) + ".." + std::to_string(high);
}

// Parses one whole number of the option into low..high.
int IntegerValue(const std::string& option, const std::string& text, long low, long high, int* out,
                 std::string* error)
{
    long v = 0;
    if (ParseInteger(text, &v) != 0) {
        *error = Format(_("%s: '%s' is not a whole number"), option.c_str(), text.c_str());
        return -1;
    }
    if (v < low || v > high) {
        *error = Format(_("%s: %s is out of range (%s)"), option.c_str(), text.c_str(), RangeText(low, high).c_str());
        return -1;
    }
    *out = static_cast<int>(v);
    return 0;
}

// Parses one whole number of the option into the range.
int RangedValue(const std::string& option, const std::string& text, const ParamRange& range, int* out,
                std::string* error)
{
    return IntegerValue(option, text, range.min, range.max, out, error);
}

// A slider's position, given less its neutral position (the default).
int SliderValue(const std::string& option, const std::string& text, const ParamRange& range, int* position,
                std::string* error)
{
    int v = 0;
    if (IntegerValue(option, text, range.min - range.def, range.max - range.def, &v, error) != 0)
        return -1;
    *position = v + range.def;
    return 0;
}

// Parses a comma-separated list of count whole numbers, each in low..high.
int IntegerList(const std::string& option, const std::string& text, int count, const char* shape,
                long low, long high, int* out, std::string* error)
{
    std::vector<std::string> fields;
    if (SplitList(text, count, &fields) != 0) {
        *error = Format(_("%s: expected %s, got '%s'"), option.c_str(), _(shape), text.c_str());
        return -1;
    }
    for (int i = 0; i < count; ++i)
        if (IntegerValue(option, fields[static_cast<std::size_t>(i)], low, high, &out[i], error) != 0)
            return -1;
    return 0;
}

int RealValue(const std::string& option, const std::string& text, double low, double high, double* out,
              std::string* error)
{
    double v = 0.0;
    if (ParseReal(text, &v) != 0) {
        *error = Format(_("%s: '%s' is not a number"), option.c_str(), text.c_str());
        return -1;
    }
    if (v < low || v > high) {
        *error = Format(_("%s: %s is out of range (%s)"), option.c_str(), text.c_str(),
                        RangeText(static_cast<long>(low), static_cast<long>(high)).c_str());
        return -1;
    }
    *out = v;
    return 0;
}

int ParseFormat(const std::string& text, CliFormat* out, std::string* error)
{
    if (EqualsNoCase(text, "bmp"))
        *out = CliFormat::Bmp;
    else if (EqualsNoCase(text, "jpeg") || EqualsNoCase(text, "jpg"))
        *out = CliFormat::Jpeg;
    else if (EqualsNoCase(text, "png"))
        *out = CliFormat::Png;
    else if (EqualsNoCase(text, "webp"))
        *out = CliFormat::Webp;
    else {
        *error = Format(_("--format: '%s' is not bmp, jpeg, png or webp"), text.c_str());
        return -1;
    }
    return 0;
}

int ParseKind(CliCommand command, const std::string& text, CliOptions* o, std::string* error)
{
    struct FilterName {
        const char* name;
        FilterKind kind;
    };
    struct EffectName {
        const char* name;
        EffectKind kind;
    };
    static const FilterName filterKinds[] = {{"sharpen", FilterKind::Sharpen},
                                             {"soft", FilterKind::Soft},
                                             {"emboss", FilterKind::Emboss},
                                             {"custom", FilterKind::Custom}};
    static const EffectName effectKinds[] = {{"negative", EffectKind::Negative},
                                             {"posterize", EffectKind::Posterize},
                                             {"solarize", EffectKind::Solarize},
                                             {"binarize", EffectKind::Binarize},
                                             {"contrast", EffectKind::Contrast}};
    if (command == CliCommand::Filter) {
        for (const FilterName& k : filterKinds)
            if (text == k.name) {
                o->filter.kind = k.kind;
                o->filterKindGiven = true;
                return 0;
            }
        *error = Format(_("--kind: '%s' is not sharpen, soft, emboss or custom"), text.c_str());
        return -1;
    }
    for (const EffectName& k : effectKinds)
        if (text == k.name) {
            o->effect.kind = k.kind;
            o->effectKindGiven = true;
            return 0;
        }
    *error = Format(_("--kind: '%s' is not negative, posterize, solarize, binarize or contrast"), text.c_str());
    return -1;
}

int ParseLevels(const std::string& text, CliOptions* o, std::string* error)
{
    long v = 0;
    if (ParseInteger(text, &v) != 0) {
        *error = Format(_("%s: '%s' is not a whole number"), "--levels", text.c_str());
        return -1;
    }
    for (int width : kEffectBandWidths)
        if (v == width) {
            o->effect.bandWidth = width;
            o->levelsGiven = true;
            return 0;
        }
    *error = Format(_("--levels: %s is not one of 8, 16, 32, 64, 128"), text.c_str());
    return -1;
}

// Nine weights as seen on screen, top row first, into the engine's kernel,
// whose rows run bottom-up.
int ParseKernel(const std::string& option, const std::string& text, CliOptions* o, std::string* error)
{
    int weights[9] = {};
    if (IntegerList(option, text, 9, N_("nine whole numbers a,b,c,d,e,f,g,h,i"), kKernelValue.min, kKernelValue.max,
                    weights, error) != 0)
        return -1;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            o->filter.kernel[2 - row][col] = weights[row * 3 + col];
    o->kernelGiven = true;
    return 0;
}

int ParseLight(const std::string& text, CliOptions* o, std::string* error)
{
    std::vector<std::string> fields;
    if (SplitList(text, 3, &fields) != 0) {
        *error = Format(_("%s: expected %s, got '%s'"), "--light", _("three numbers X,Y,Z"), text.c_str());
        return -1;
    }
    double* light[3] = {&o->bump.lightX, &o->bump.lightY, &o->bump.lightZ};
    for (int i = 0; i < 3; ++i)
        if (ParseReal(fields[static_cast<std::size_t>(i)], light[i]) != 0) {
            *error = Format(_("%s: '%s' is not a number"), "--light", fields[static_cast<std::size_t>(i)].c_str());
            return -1;
        }
    if (o->bump.lightX == 0.0 && o->bump.lightY == 0.0 && o->bump.lightZ == 0.0) {
        *error = _("--light: the direction 0,0,0 points nowhere");
        return -1;
    }
    o->lightGiven = true;
    return 0;
}

int ParseBounds(const std::string& text, CliOptions* o, std::string* error)
{
    static_assert(kEffectLowerBound.min == kEffectUpperBound.min && kEffectLowerBound.max == kEffectUpperBound.max);
    int bounds[6] = {};
    if (IntegerList("--bounds", text, 6, N_("six numbers BL,BU,GL,GU,RL,RU"), kEffectLowerBound.min,
                    kEffectLowerBound.max, bounds, error) != 0)
        return -1;
    static const char* const channels[] = {N_("blue"), N_("green"), N_("red")};
    for (int c = 0; c < 3; ++c)
        if (bounds[2 * c] > bounds[2 * c + 1]) {
            *error = Format(_("--bounds: the %s lower bound %d is above its upper bound %d"), _(channels[c]),
                            bounds[2 * c], bounds[2 * c + 1]);
            return -1;
        }
    for (int c = 0; c < 3; ++c) {
        o->effect.lowerBound[c] = bounds[2 * c];
        o->effect.upperBound[c] = bounds[2 * c + 1];
    }
    o->boundsGiven = true;
    return 0;
}

// The text as typed: \n starts a new line and \\ is one backslash; any
// other backslash stays.  The result must be valid UTF-8 with no control
// character but line breaks, hold something besides line breaks, and be at
// most kTextMaxBytes long.
int ParseMarkText(const std::string& name, const std::string& typed, std::string* text, std::string* error)
{
    text->clear();
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] == '\\' && i + 1 < typed.size() && (typed[i + 1] == 'n' || typed[i + 1] == '\\')) {
            *text += typed[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            *text += typed[i];
        }
    }
    if (text->find_first_not_of('\n') == std::string::npos) {
        *error = Format(_("%s: the text is empty"), name.c_str());
        return -1;
    }
    if (text->size() > kTextMaxBytes) {
        *error = Format(_("%s: the text is too long (%zu bytes; at most %zu)"), name.c_str(), text->size(),
                        kTextMaxBytes);
        return -1;
    }
    std::vector<char32_t> codes;
    std::string problem;
    if (DecodeMarkText(*text, &codes, &problem) != 0) {
        *error = name + ": " + problem;
        return -1;
    }
    return 0;
}

// "#rrggbb", "rrggbb", "R,G,B" (each 0..255), "white" or "black".
int ParseColour(const std::string& text, unsigned char* rgb, std::string* error)
{
    if (EqualsNoCase(text, "white") || EqualsNoCase(text, "black")) {
        const unsigned char v = EqualsNoCase(text, "white") ? 255 : 0;
        rgb[0] = rgb[1] = rgb[2] = v;
        return 0;
    }
    if (text.find(',') != std::string::npos) {
        int v[3] = {0, 0, 0};
        if (IntegerList("--background", text, 3, N_("three whole numbers R,G,B"), 0, 255, v, error) != 0)
            return -1;
        for (int i = 0; i < 3; ++i)
            rgb[i] = static_cast<unsigned char>(v[i]);
        return 0;
    }
    const std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    bool ok = hex.size() == 6;
    for (char c : hex)
        ok = ok && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
    if (!ok) {
        *error = Format(_("--background: '%s' is not a colour (#rrggbb, R,G,B, white or black)"), text.c_str());
        return -1;
    }
    for (int i = 0; i < 3; ++i)
        rgb[i] = static_cast<unsigned char>(std::strtol(hex.substr(static_cast<std::size_t>(2 * i), 2).c_str(), nullptr, 16));
    return 0;
}

// "N%" (a real number of per cent), "Npx" or, when plainPixels, "N"
// (whole pixels); at least minimum.
int ParseLength(const std::string& option, const std::string& text, bool plainPixels, double minimum, CliLength* out,
                std::string* error)
{
    std::string number = text;
    out->percent = false;
    if (number.size() > 1 && number.back() == '%') {
        number.pop_back();
        out->percent = true;
    } else if (number.size() > 2 && number.compare(number.size() - 2, 2, "px") == 0) {
        number.resize(number.size() - 2);
    } else if (!plainPixels) {
        *error = Format(_("%s: '%s' is neither per cent (20%%) nor pixels (400px)"), option.c_str(), text.c_str());
        return -1;
    }
    long whole = 0;
    if (out->percent) {
        if (ParseReal(number, &out->value) != 0 || number[0] == '-' || number[0] == '+') {
            *error = Format(_("%s: '%s' is not a number"), option.c_str(), text.c_str());
            return -1;
        }
    } else {
        if (ParseInteger(number, &whole) != 0 || number[0] == '-' || number[0] == '+') {
            *error = Format(_("%s: '%s' is not a whole number"), option.c_str(), text.c_str());
            return -1;
        }
        if (whole > kMaxLengthPixels)
            whole = kMaxLengthPixels;
        out->value = static_cast<double>(whole);
    }
    if (out->value < minimum || (out->percent && out->value > 100.0)) {
        *error = Format(_("%s: %s is out of range"), option.c_str(), text.c_str());
        return -1;
    }
    return 0;
}

int ParseTextOption(OptionId id, const std::string& name, const std::string& value, TextMarkOptions* t,
                    std::string* error)
{
    switch (id) {
    case OptionId::Text:
        t->given = true;
        return ParseMarkText(name, value, &t->text, error);
    case OptionId::Font:
        if (value.empty()) {
            *error = Format(_("%s: the font name is empty"), name.c_str());
            return -1;
        }
        t->font = value;
        return 0;
    case OptionId::FontIndex:
        return IntegerValue(name, value, 0, kTextFontIndexMax, &t->fontIndex, error);
    case OptionId::Align:
        if (value == "left")
            t->align = TextAlign::Left;
        else if (value == "center" || value == "centre")
            t->align = TextAlign::Center;
        else if (value == "right")
            t->align = TextAlign::Right;
        else {
            *error = Format(_("%s: '%s' is not left, center or right"), name.c_str(), value.c_str());
            return -1;
        }
        return 0;
    case OptionId::TextHeight:
        return IntegerValue(name, value, kTextHeightMin, kTextHeightMax, &t->textHeight, error);
    case OptionId::Soften:
        return IntegerValue(name, value, 0, kTextSoftenMax, &t->soften, error);
    default:
        return 0;
    }
}

int ParseGravity(const std::string& text, CliGravity* out, std::string* error)
{
    struct GravityName {
        const char* name;
        int x;
        int y;
    };
    static const GravityName names[] = {{"nw", -1, -1}, {"n", 0, -1},      {"ne", 1, -1},
                                        {"w", -1, 0},   {"center", 0, 0},  {"centre", 0, 0},
                                        {"e", 1, 0},    {"sw", -1, 1},     {"s", 0, 1},
                                        {"se", 1, 1}};
    for (const GravityName& g : names)
        if (EqualsNoCase(text, g.name)) {
            out->x = g.x;
            out->y = g.y;
            return 0;
        }
    *error = Format(_("--gravity: '%s' is not nw, n, ne, w, center, e, sw, s or se"), text.c_str());
    return -1;
}

int ApplyOption(const OptionEntry& entry, const std::string& name, const std::string& value, CliOptions* o,
                std::string* error)
{
    switch (entry.id) {
    case OptionId::Output:
        if (value.empty()) {
            *error = Format(_("%s: the output path is empty"), name.c_str());
            return -1;
        }
        o->output = value;
        o->outputGiven = true;
        return 0;
    case OptionId::Jobs:
        return IntegerValue(name, value, 1, kMaxJobs, &o->jobs, error);
    case OptionId::Format:
        return ParseFormat(value, &o->format, error);
    case OptionId::BmpDepth:
        if (IntegerValue(name, value, 16, 32, &o->bmpDepth, error) != 0)
            return -1;
        if (o->bmpDepth != 16 && o->bmpDepth != 24 && o->bmpDepth != 32) {
            *error = Format(_("%s: %s is not 16, 24 or 32"), name.c_str(), value.c_str());
            return -1;
        }
        return 0;
    case OptionId::Quality:
        return IntegerValue(name, value, 60, 100, &o->quality, error);
    case OptionId::Progressive:
        o->progressive = true;
        return 0;
    case OptionId::Region:
        if (IntegerList(name, value, 4, N_("four whole numbers L,T,R,B"), INT_MIN, INT_MAX, o->region, error) != 0)
            return -1;
        if (o->region[0] >= o->region[2] || o->region[1] >= o->region[3]) {
            *error = Format(_("%s: %s needs L < R and T < B"), name.c_str(), value.c_str());
            return -1;
        }
        o->regionGiven = true;
        return 0;
    case OptionId::Watermark:
        if (value.empty()) {
            *error = Format(_("%s: the watermark path is empty"), name.c_str());
            return -1;
        }
        o->watermark = value;
        return 0;
    case OptionId::Light:
        return ParseLight(value, o, error);
    case OptionId::Azimuth:
        o->azimuthGiven = true;
        return RealValue(name, value, -360.0, 360.0, &o->azimuth, error);
    case OptionId::Elevation:
        o->elevationGiven = true;
        return RealValue(name, value, 0.0, 90.0, &o->elevation, error);
    case OptionId::Strength:
        if (o->command == CliCommand::Bump)
            return RangedValue(name, value, kBumpStrength, &o->bump.strength, error);
        return RangedValue(name, value, kFilterStrength, &o->filter.strength, error);
    case OptionId::Amplify:
        return RangedValue(name, value, kBumpAmplification, &o->bump.amplification, error);
    case OptionId::Ambient:
        return RangedValue(name, value, kBumpAmbient, &o->bump.ambient, error);
    case OptionId::KeepAspect:
        o->bump.layout.keepAspect = true;
        return 0;
    case OptionId::NoEnlarge:
        o->bump.layout.dontEnlarge = true;
        return 0;
    case OptionId::Tile:
        o->bump.layout.repeatTile = true;
        return 0;
    case OptionId::Offset: {
        int xy[2] = {0, 0};
        if (IntegerList(name, value, 2, N_("two whole numbers X,Y"), 0, INT_MAX, xy, error) != 0)
            return -1;
        o->bump.layout.offsetX = xy[0];
        o->bump.layout.offsetY = xy[1];
        return 0;
    }
    case OptionId::Kind:
        return ParseKind(o->command, value, o, error);
    case OptionId::Kernel:
        return ParseKernel(name, value, o, error);
    case OptionId::Levels:
        return ParseLevels(value, o, error);
    case OptionId::Bounds:
        return ParseBounds(value, o, error);
    case OptionId::Luminance:
        return SliderValue(name, value, kYshLuminance, &o->ysh.luminance, error);
    case OptionId::Saturation:
        return SliderValue(name, value, kYshSaturation, &o->ysh.saturation, error);
    case OptionId::Hue:
        return SliderValue(name, value, kYshHue, &o->ysh.hue, error);
    case OptionId::Cmyk:
        o->ysh.mode = ColourMode::Cmyk;
        return 0;
    case OptionId::Lossless:
        o->lossless = true;
        return 0;
    case OptionId::Background:
        o->backgroundGiven = true;
        return ParseColour(value, o->background, error);
    case OptionId::Strip:
        o->strip = true;
        return 0;
    case OptionId::AutoOrient:
        o->autoOrient = true;
        return 0;
    case OptionId::Size:
        o->sizeGiven = true;
        return ParseLength(name, value, false, 0.0, &o->size, error) != 0 ? -1
               : o->size.value > 0.0                                      ? 0
               : (*error = Format(_("%s: %s is out of range"), name.c_str(), value.c_str()), -1);
    case OptionId::Gravity:
        o->gravityGiven = true;
        return ParseGravity(value, &o->gravity, error);
    case OptionId::Margin: {
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
    case OptionId::Preset:
        o->preset = value;
        return 0;
    case OptionId::Recursive:
        o->recursive = true;
        return 0;
    case OptionId::Suffix:
        if (value.find('/') != std::string::npos) {
            *error = Format(_("%s: '%s' may not contain '/'"), name.c_str(), value.c_str());
            return -1;
        }
        o->suffix = value;
        return 0;
    case OptionId::SkipExisting:
        o->skipExisting = true;
        return 0;
    case OptionId::InPlace:
        o->inPlace = true;
        return 0;
    case OptionId::Text:
    case OptionId::Font:
    case OptionId::FontIndex:
    case OptionId::Align:
    case OptionId::TextHeight:
    case OptionId::Soften:
        return ParseTextOption(entry.id, name, value, &o->text, error);
    }
    return 0;
}

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
    o->text.given = true;
    o->inputs.clear();
    return 0;
}

// The checks that concern several options at once.
int CheckCombinations(CliOptions* o, const bool* seen, std::string* error)
{
    auto given = [seen](OptionId id) { return seen[static_cast<int>(id)]; };
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
    if (o->lossless && o->format != CliFormat::Webp && o->format != CliFormat::FromName) {
        *error = _("--lossless applies to WebP output only");
        return -1;
    }
    switch (o->command) {
    case CliCommand::Bump:
        if (o->lightGiven && (o->azimuthGiven || o->elevationGiven)) {
            *error = _("--light excludes --azimuth and --elevation");
            return -1;
        }
        if (o->bump.layout.dontEnlarge && o->bump.layout.repeatTile) {
            *error = _("--no-enlarge and --tile exclude each other");
            return -1;
        }
        if ((o->sizeGiven || o->gravityGiven || o->marginGiven) &&
            (o->bump.layout.dontEnlarge || o->bump.layout.keepAspect || given(OptionId::Offset))) {
            *error = _("--size, --gravity and --margin place the watermark themselves: they exclude --no-enlarge, "
                       "--keep-aspect and --offset");
            return -1;
        }
        if (o->bump.layout.repeatTile && (o->gravityGiven || o->marginGiven)) {
            *error = _("--gravity and --margin do not apply to --tile");
            return -1;
        }
        if (o->text.given && !o->watermark.empty()) {
            *error = _("--text and --watermark exclude each other");
            return -1;
        }
        if (!o->text.given) {
            for (OptionId id : {OptionId::Font, OptionId::FontIndex, OptionId::Align, OptionId::TextHeight,
                                OptionId::Soften})
                if (given(id)) {
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
        break;
    case CliCommand::Filter:
        if (o->kernelGiven) {
            if (o->filterKindGiven && o->filter.kind != FilterKind::Custom) {
                *error = _("--kernel needs --kind custom");
                return -1;
            }
            o->filter.kind = FilterKind::Custom;
        }
        break;
    case CliCommand::Effect:
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
        break;
    case CliCommand::Ysh:
        if (o->ysh.mode == ColourMode::Cmyk && (given(OptionId::Luminance) || given(OptionId::Saturation) || given(OptionId::Hue))) {
            *error = _("--cmyk excludes --luminance, --saturation and --hue");
            return -1;
        }
        break;
    default:
        break;
    }
    return 0;
}

struct Word {
    std::string text;
    std::string origin;  // "FILE:LINE" for a preset's words
};

// Reads a preset: one option a line, "--name value" or "--name=value" or a
// bare switch; '#' starts a comment line; blank lines are skipped.  Each
// option becomes one word "--name=value" (or "--name").
int ReadPreset(const std::string& path, std::vector<Word>* words, std::string* error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = Format(_("--preset: cannot read '%s': %s"), path.c_str(), std::strerror(errno));
        return -1;
    }
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    constexpr std::size_t kMaxPresetBytes = 1 << 20;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= kMaxPresetBytes)
        text.append(buffer, got);
    std::fclose(file);
    if (text.size() > kMaxPresetBytes) {
        *error = Format(_("--preset: '%s' is too large for a preset"), path.c_str());
        return -1;
    }
    std::size_t start = 0;
    for (int line = 1; start < text.size() || start == 0; ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string content = text.substr(start, end - start);
        start = end + 1;
        auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        while (!content.empty() && isBlank(content.back()))
            content.pop_back();
        std::size_t first = 0;
        while (first < content.size() && isBlank(content[first]))
            ++first;
        content.erase(0, first);
        if (content.empty() || content[0] == '#') {
            if (end == text.size())
                break;
            continue;
        }
        const std::string origin = path + ":" + std::to_string(line);
        std::size_t gap = 0;
        while (gap < content.size() && !isBlank(content[gap]))
            ++gap;
        std::string word = content.substr(0, gap);
        std::size_t valueStart = gap;
        while (valueStart < content.size() && isBlank(content[valueStart]))
            ++valueStart;
        if (valueStart < content.size()) {
            if (word.find('=') != std::string::npos || word.compare(0, 2, "--") != 0) {
                *error = origin + ": " + Format(_("expected one option and its value, got '%s'"), content.c_str());
                return -1;
            }
            std::string value = content.substr(valueStart);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            word += "=" + value;
        }
        words->push_back({word, origin});
        if (end == text.size())
            break;
    }
    return 0;
}

}  // namespace

const char* CliUsageText()
{
    return _(kUsage);
}

CliFormat FormatFromExtension(const std::string& name)
{
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
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

    // --help and --version answer whatever else the line holds.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            options->command = CliCommand::Help;
            return 0;
        }
        if (arg == "--version") {
            options->command = CliCommand::Version;
            return 0;
        }
    }

    if (argc < 2) {
        *error = _("no command given");
        return -1;
    }
    const std::string commandName = argv[1];
    unsigned commandBit = 0;
    for (const CommandName& c : kCommands)
        if (commandName == c.name) {
            options->command = c.command;
            commandBit = c.bit;
        }
    if (commandBit == 0) {
        if (!commandName.empty() && commandName[0] == '-')
            *error = Format(_("the command must come first (convert, bump, filter, effect, ysh or text-mark), not '%s'"),
                            commandName.c_str());
        else
            *error = Format(_("unknown command '%s' (convert, bump, filter, effect, ysh or text-mark)"),
                            commandName.c_str());
        return -1;
    }

    // The preset's options come first, each as one word with its origin.
    std::vector<Word> words;
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
        if (ReadPreset(file, &words, error) != 0)
            return -1;
        break;
    }
    const std::size_t presetWords = words.size();
    for (int i = 2; i < argc; ++i)
        words.push_back({argv[i], std::string()});

    options->workerArguments.push_back(commandName);
    bool seen[kOptionCount] = {};
    bool seenInPreset[kOptionCount] = {};
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& arg = words[i].text;
        const bool fromPreset = i < presetWords;
        // A problem in the preset names its file and line.
        auto fail = [&](std::string text) {
            *error = fromPreset ? words[i].origin + ": " + text : std::move(text);
            return -1;
        };
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (fromPreset)
                return fail(Format(_("'%s' is not an option"), arg.c_str()));
            options->inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const bool hasInlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
        const std::string name = hasInlineValue ? arg.substr(0, equals) : arg;
        const OptionEntry* entry = FindOption(name);
        if (!entry)
            return fail(Format(_("unknown option '%s'"), name.c_str()));
        if ((entry->commands & commandBit) == 0)
            return fail(Format(_("option '%s' does not apply to '%s'"), name.c_str(), commandName.c_str()));
        if (fromPreset && entry->id == OptionId::Preset)
            return fail(_("a preset cannot name another preset"));
        const int index = static_cast<int>(entry->id);
        // The command line overrides the preset; within either, once.
        if (seen[index] && (fromPreset || !seenInPreset[index]))
            return fail(Format(_("option '%s' is given twice"), entry->name));
        seenInPreset[index] = fromPreset;
        seen[index] = true;

        std::string value;
        const bool passedOn = !fromPreset && entry->id != OptionId::Output && entry->id != OptionId::Jobs;
        if (passedOn)
            options->workerArguments.push_back(arg);
        if (entry->takesValue) {
            if (hasInlineValue) {
                value = arg.substr(equals + 1);
            } else {
                if (i + 1 >= words.size() || (fromPreset && i + 1 >= presetWords))
                    return fail(Format(_("option '%s' needs a value"), name.c_str()));
                value = words[++i].text;
                if (passedOn)
                    options->workerArguments.push_back(value);
            }
        } else if (hasInlineValue) {
            return fail(Format(_("option '%s' takes no value"), name.c_str()));
        }
        if (ApplyOption(*entry, name, value, options, error) != 0)
            return fail(*error);
    }
    return CheckCombinations(options, seen, error);
}

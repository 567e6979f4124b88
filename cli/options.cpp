#include "cli/options.h"

#include "cli/text_utf8.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage: quillvane-cli COMMAND [options] INPUT... -o OUTPUT\n"
    "       quillvane-cli text-mark [options] TEXT -o MARK.bmp\n"
    "       quillvane-cli --help | --version\n"
    "\n"
    "Stamps a relief watermark into photographs and retouches them, many files at\n"
    "a time.  Reads and writes BMP (16, 24, 32 bits per pixel) and JPEG files.\n"
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
    "                         stem + .bmp or .jpg)\n"
    "  --format bmp|jpeg      output type; default: the output file's extension\n"
    "                         (.bmp, .jpg, .jpeg), in a directory the input's type\n"
    "  --bmp-depth 16|24|32   BMP bits per pixel (24)\n"
    "  --quality 60..100      JPEG quality (80)\n"
    "  --progressive          write progressive JPEG\n"
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
    "text-mark (TEXT is drawn; the escape \\n or a line break starts a new line,\n"
    "\\\\ is one backslash), and bump --text TEXT (stamps TEXT as text-mark draws it;\n"
    "excludes --watermark):\n"
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
    "Exit status: 0 every file done; 1 a file could not be read, processed or\n"
    "written (no output is left for it, the other inputs still run); 2 bad usage\n"
    "(nothing is written).\n"
    "\n"
    "Examples:\n"
    "  quillvane-cli bump photo.jpg --watermark logo.bmp --no-enlarge --offset 20,20 -o out.jpg\n"
    "  quillvane-cli filter --kind sharpen --strength 5 a.jpg b.jpg -o sharpened/\n"
    "  quillvane-cli convert scan.bmp -o scan.jpg --quality 95 --progressive\n";

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

enum class OptionId {
    Output, Jobs, Format, BmpDepth, Quality, Progressive, Region,
    Watermark, Light, Azimuth, Elevation, Strength, Amplify, Ambient,
    KeepAspect, NoEnlarge, Tile, Offset,
    Kind, Kernel, Levels, Bounds,
    Luminance, Saturation, Hue, Cmyk,
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
        *error = option + ": '" + text + "' is not a whole number";
        return -1;
    }
    if (v < low || v > high) {
        *error = option + ": " + text + " is out of range (" + RangeText(low, high) + ")";
        return -1;
    }
    *out = static_cast<int>(v);
    return 0;
}

// Parses a comma-separated list of count whole numbers, each in low..high.
int IntegerList(const std::string& option, const std::string& text, int count, const char* shape,
                long low, long high, int* out, std::string* error)
{
    std::vector<std::string> fields;
    if (SplitList(text, count, &fields) != 0) {
        *error = option + ": expected " + shape + ", got '" + text + "'";
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
        *error = option + ": '" + text + "' is not a number";
        return -1;
    }
    if (v < low || v > high) {
        *error = option + ": " + text + " is out of range (" + RangeText(static_cast<long>(low),
                                                                        static_cast<long>(high)) + ")";
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
    else {
        *error = "--format: '" + text + "' is not bmp or jpeg";
        return -1;
    }
    return 0;
}

int ParseKind(CliCommand command, const std::string& text, CliOptions* o, std::string* error)
{
    struct KindName {
        const char* name;
        int id;
    };
    static const KindName filterKinds[] = {
        {"sharpen", 8202}, {"soft", 8205}, {"emboss", 8208}, {"custom", 8211}};
    static const KindName effectKinds[] = {{"negative", 9201}, {"posterize", 9202}, {"solarize", 9203},
                                           {"binarize", 9205}, {"contrast", 9204}};
    if (command == CliCommand::Filter) {
        for (const KindName& k : filterKinds)
            if (text == k.name) {
                o->filterKind = k.id;
                o->filterKindGiven = true;
                return 0;
            }
        *error = "--kind: '" + text + "' is not sharpen, soft, emboss or custom";
        return -1;
    }
    for (const KindName& k : effectKinds)
        if (text == k.name) {
            o->effectKind = k.id;
            o->effectKindGiven = true;
            return 0;
        }
    *error = "--kind: '" + text + "' is not negative, posterize, solarize, binarize or contrast";
    return -1;
}

int ParseLevels(const std::string& text, CliOptions* o, std::string* error)
{
    static const int widths[] = {8, 16, 32, 64, 128};
    long v = 0;
    if (ParseInteger(text, &v) != 0) {
        *error = "--levels: '" + text + "' is not a whole number";
        return -1;
    }
    for (int i = 0; i < 5; ++i)
        if (v == widths[i]) {
            o->levelId = 9210 + i;
            o->levelsGiven = true;
            return 0;
        }
    *error = "--levels: " + text + " is not one of 8, 16, 32, 64, 128";
    return -1;
}

int ParseLight(const std::string& text, CliOptions* o, std::string* error)
{
    std::vector<std::string> fields;
    if (SplitList(text, 3, &fields) != 0) {
        *error = "--light: expected three numbers X,Y,Z, got '" + text + "'";
        return -1;
    }
    for (int i = 0; i < 3; ++i)
        if (ParseReal(fields[static_cast<std::size_t>(i)], &o->light[i]) != 0) {
            *error = "--light: '" + fields[static_cast<std::size_t>(i)] + "' is not a number";
            return -1;
        }
    if (o->light[0] == 0.0 && o->light[1] == 0.0 && o->light[2] == 0.0) {
        *error = "--light: the direction 0,0,0 points nowhere";
        return -1;
    }
    o->lightGiven = true;
    return 0;
}

int ParseBounds(const std::string& text, CliOptions* o, std::string* error)
{
    if (IntegerList("--bounds", text, 6, "six numbers BL,BU,GL,GU,RL,RU", 0, 255, o->bounds, error) != 0)
        return -1;
    static const char* const channels[] = {"blue", "green", "red"};
    for (int c = 0; c < 3; ++c)
        if (o->bounds[2 * c] > o->bounds[2 * c + 1]) {
            *error = std::string("--bounds: the ") + channels[c] + " lower bound " +
                     std::to_string(o->bounds[2 * c]) + " is above its upper bound " +
                     std::to_string(o->bounds[2 * c + 1]);
            return -1;
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
        *error = name + ": the text is empty";
        return -1;
    }
    if (text->size() > kTextMaxBytes) {
        *error = name + ": the text is too long (" + std::to_string(text->size()) + " bytes; at most " +
                 std::to_string(kTextMaxBytes) + ")";
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

int ParseTextOption(OptionId id, const std::string& name, const std::string& value, TextMarkOptions* t,
                    std::string* error)
{
    switch (id) {
    case OptionId::Text:
        t->given = true;
        return ParseMarkText(name, value, &t->text, error);
    case OptionId::Font:
        if (value.empty()) {
            *error = name + ": the font name is empty";
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
            *error = name + ": '" + value + "' is not left, center or right";
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

int ApplyOption(const OptionEntry& entry, const std::string& name, const std::string& value, CliOptions* o,
                std::string* error)
{
    switch (entry.id) {
    case OptionId::Output:
        if (value.empty()) {
            *error = name + ": the output path is empty";
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
            *error = name + ": " + value + " is not 16, 24 or 32";
            return -1;
        }
        return 0;
    case OptionId::Quality:
        return IntegerValue(name, value, 60, 100, &o->quality, error);
    case OptionId::Progressive:
        o->progressive = true;
        return 0;
    case OptionId::Region:
        if (IntegerList(name, value, 4, "four whole numbers L,T,R,B", INT_MIN, INT_MAX, o->region, error) != 0)
            return -1;
        if (o->region[0] >= o->region[2] || o->region[1] >= o->region[3]) {
            *error = name + ": " + value + " needs L < R and T < B";
            return -1;
        }
        o->regionGiven = true;
        return 0;
    case OptionId::Watermark:
        if (value.empty()) {
            *error = name + ": the watermark path is empty";
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
            return IntegerValue(name, value, 1, 200, &o->bumpStrength, error);
        return IntegerValue(name, value, 0, 10, &o->filterStrength, error);
    case OptionId::Amplify:
        return IntegerValue(name, value, 0, 800, &o->amplify, error);
    case OptionId::Ambient:
        return IntegerValue(name, value, 1, 100, &o->ambient, error);
    case OptionId::KeepAspect:
        o->keepAspect = true;
        return 0;
    case OptionId::NoEnlarge:
        o->noEnlarge = true;
        return 0;
    case OptionId::Tile:
        o->tile = true;
        return 0;
    case OptionId::Offset: {
        int xy[2] = {0, 0};
        if (IntegerList(name, value, 2, "two whole numbers X,Y", 0, INT_MAX, xy, error) != 0)
            return -1;
        o->offsetX = xy[0];
        o->offsetY = xy[1];
        return 0;
    }
    case OptionId::Kind:
        return ParseKind(o->command, value, o, error);
    case OptionId::Kernel:
        if (IntegerList(name, value, 9, "nine whole numbers a,b,c,d,e,f,g,h,i", -9, 9, o->kernel, error) != 0)
            return -1;
        o->kernelGiven = true;
        return 0;
    case OptionId::Levels:
        return ParseLevels(value, o, error);
    case OptionId::Bounds:
        return ParseBounds(value, o, error);
    case OptionId::Luminance: {
        int v = 0;
        if (IntegerValue(name, value, -100, 100, &v, error) != 0)
            return -1;
        o->luminance = v + 100;
        return 0;
    }
    case OptionId::Saturation: {
        int v = 0;
        if (IntegerValue(name, value, -100, 100, &v, error) != 0)
            return -1;
        o->saturation = v + 100;
        return 0;
    }
    case OptionId::Hue: {
        int v = 0;
        if (IntegerValue(name, value, -180, 180, &v, error) != 0)
            return -1;
        o->hue = v + 180;
        return 0;
    }
    case OptionId::Cmyk:
        o->cmyk = true;
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
        *error = "no text given (text-mark TEXT -o MARK.bmp)";
        return -1;
    }
    if (o->inputs.size() > 1) {
        *error = "text-mark draws one text; quote it ('" + o->inputs[0] + "' and '" + o->inputs[1] +
                 "' are two arguments)";
        return -1;
    }
    if (!o->outputGiven) {
        *error = "no output given (-o PATH)";
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
        *error = "no input file given";
        return -1;
    }
    if (!o->outputGiven) {
        *error = "no output given (-o PATH)";
        return -1;
    }
    switch (o->command) {
    case CliCommand::Bump:
        if (o->lightGiven && (o->azimuthGiven || o->elevationGiven)) {
            *error = "--light excludes --azimuth and --elevation";
            return -1;
        }
        if (o->noEnlarge && o->tile) {
            *error = "--no-enlarge and --tile exclude each other";
            return -1;
        }
        if (o->text.given && !o->watermark.empty()) {
            *error = "--text and --watermark exclude each other";
            return -1;
        }
        if (!o->text.given) {
            for (OptionId id : {OptionId::Font, OptionId::FontIndex, OptionId::Align, OptionId::TextHeight,
                                OptionId::Soften})
                if (given(id)) {
                    *error = "the text options (--font, --font-index, --align, --text-height, --soften) "
                             "need --text";
                    return -1;
                }
        }
        if (!o->lightGiven) {
            const double pi = 3.141592653589793;
            const double a = o->azimuth * pi / 180.0;
            const double e = o->elevation * pi / 180.0;
            o->light[0] = std::cos(e) * std::cos(a);
            o->light[1] = std::cos(e) * std::sin(a);
            o->light[2] = std::sin(e);
        }
        break;
    case CliCommand::Filter:
        if (o->kernelGiven) {
            if (o->filterKindGiven && o->filterKind != 8211) {
                *error = "--kernel needs --kind custom";
                return -1;
            }
            o->filterKind = 8211;
        }
        break;
    case CliCommand::Effect:
        if (o->boundsGiven) {
            if (o->effectKindGiven && o->effectKind != 9204) {
                *error = "--bounds needs --kind contrast";
                return -1;
            }
            o->effectKind = 9204;
        }
        if (o->effectKind == 9204 && o->levelsGiven) {
            *error = "--levels does not apply to --kind contrast";
            return -1;
        }
        break;
    case CliCommand::Ysh:
        if (o->cmyk && (given(OptionId::Luminance) || given(OptionId::Saturation) || given(OptionId::Hue))) {
            *error = "--cmyk excludes --luminance, --saturation and --hue";
            return -1;
        }
        break;
    default:
        break;
    }
    return 0;
}

}  // namespace

const char* CliUsageText()
{
    return kUsage;
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
        *error = "no command given";
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
            *error = "the command must come first (convert, bump, filter, effect, ysh or text-mark), not '" +
                     commandName + "'";
        else
            *error = "unknown command '" + commandName + "' (convert, bump, filter, effect, ysh or text-mark)";
        return -1;
    }

    options->workerArguments.push_back(commandName);
    bool seen[kOptionCount] = {};
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
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
        if (!entry) {
            *error = "unknown option '" + name + "'";
            return -1;
        }
        if ((entry->commands & commandBit) == 0) {
            *error = "option '" + name + "' does not apply to '" + commandName + "'";
            return -1;
        }
        const int index = static_cast<int>(entry->id);
        if (seen[index]) {
            *error = "option '" + std::string(entry->name) + "' is given twice";
            return -1;
        }
        seen[index] = true;

        std::string value;
        const bool passedOn = entry->id != OptionId::Output && entry->id != OptionId::Jobs;
        if (passedOn)
            options->workerArguments.push_back(arg);
        if (entry->takesValue) {
            if (hasInlineValue) {
                value = arg.substr(equals + 1);
            } else {
                if (i + 1 >= argc) {
                    *error = "option '" + name + "' needs a value";
                    return -1;
                }
                value = argv[++i];
                if (passedOn)
                    options->workerArguments.push_back(value);
            }
        } else if (hasInlineValue) {
            *error = "option '" + name + "' takes no value";
            return -1;
        }
        if (ApplyOption(*entry, name, value, options, error) != 0)
            return -1;
    }
    return CheckCombinations(options, seen, error);
}

#include "cli/option_values.h"

#include "cli/text.h"
#include "cli/text_messages.h"
#include "text/text_utf8.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Lengths in pixels beyond any picture's side are all the same.
constexpr long kMaxLengthPixels = 1L << 21;

std::string RangeText(long low, long high)
{
    return std::to_string(low) + ".." + std::to_string(high);
}

// Digits and nothing else (no sign, no space).
bool AllDigits(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The value of AllDigits text; beyond int's range, LONG_MAX.
long DigitsValue(const std::string& text)
{
    long value = 0;
    ParseInteger(text, &value);
    return value;
}

bool InResizeRange(long value, const ParamRange& range)
{
    return value >= range.min && value <= range.max;
}

// "P" or "P.F" (F at most four digits) per cent as millionths of the
// whole: 0 and more, LONG_MAX when P is beyond every range; -1 when the
// text is not such a number.
long PercentMillionths(const std::string& number)
{
    const std::size_t dot = number.find('.');
    const std::string whole = number.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : number.substr(dot + 1);
    if (!AllDigits(whole) || (dot != std::string::npos && (!AllDigits(fraction) || fraction.size() > 4)))
        return -1;
    const long percent = DigitsValue(whole);
    if (percent > kResizeMillionths.max / 10000)
        return LONG_MAX;
    fraction.resize(4, '0');
    return percent * 10000 + DigitsValue(fraction);
}

}  // namespace

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
    const TextOutcome decoded = DecodeMarkText(*text, &codes);
    if (!decoded.ok()) {
        *error = name + ": " + TextFailureText(decoded);
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

int ParseResize(const std::string& option, const std::string& text, ResizeRequest* out, std::string* error)
{
    ResizeRequest request;
    bool inRange = false;
    const std::size_t by = text.find_first_of("xX");
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "px") == 0 && AllDigits(text.substr(0, text.size() - 2))) {
        request.rule = ResizeRule::LongEdge;
        request.longEdge = DigitsValue(text.substr(0, text.size() - 2));
        inRange = InResizeRange(request.longEdge, kResizeSide);
    } else if (text.size() > 1 && text.back() == '%' && PercentMillionths(text.substr(0, text.size() - 1)) >= 0) {
        request.rule = ResizeRule::Percent;
        request.millionths = PercentMillionths(text.substr(0, text.size() - 1));
        inRange = InResizeRange(request.millionths, kResizeMillionths);
    } else if (by != std::string::npos && AllDigits(text.substr(0, by)) && AllDigits(text.substr(by + 1))) {
        request.rule = ResizeRule::Fit;
        request.boxWidth = DigitsValue(text.substr(0, by));
        request.boxHeight = DigitsValue(text.substr(by + 1));
        inRange = InResizeRange(request.boxWidth, kResizeSide) && InResizeRange(request.boxHeight, kResizeSide);
    } else {
        *error = Format(_("%s: '%s' is not a long edge (2048px), a per cent (50%%) or a box (1920x1080)"),
                        option.c_str(), text.c_str());
        return -1;
    }
    if (!inRange) {
        *error = Format(_("%s: %s is out of range"), option.c_str(), text.c_str());
        return -1;
    }
    *out = request;
    return 0;
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

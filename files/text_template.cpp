#include "files/text_template.h"

#include <cstdio>

namespace {

constexpr std::string_view kDefaultDateFormat = "%Y-%m-%d";

PlaceholderOutcome FailAt(PlaceholderFailure failure, std::string_view placeholder, std::size_t offset,
                          std::string detail = {})
{
    PlaceholderOutcome outcome;
    outcome.failure = failure;
    outcome.placeholder = std::string(placeholder);
    outcome.offset = offset;
    outcome.detail = std::move(detail);
    return outcome;
}

// The first conversion of format that the date does not know, or "" when
// it knows them all.
std::string UnknownConversion(std::string_view format)
{
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        if (i + 1 == format.size())
            return "%";
        if (kDateConversions.find(format[i + 1]) == std::string_view::npos)
            return std::string(format.substr(i, 2));
        ++i;
    }
    return {};
}

// Fills part from the placeholder's body (between its braces).
PlaceholderOutcome ParsePlaceholder(std::string_view body, TemplatePart* part)
{
    const std::size_t bar = body.find('|');
    part->hasDefault = bar != std::string_view::npos;
    if (part->hasDefault)
        part->fallback = std::string(body.substr(bar + 1));
    const std::string_view head = body.substr(0, bar);
    const std::size_t colon = head.find(':');
    const std::string_view name = head.substr(0, colon);
    const std::string_view argument = colon == std::string_view::npos ? std::string_view() : head.substr(colon + 1);
    const auto unknown = [&] { return FailAt(PlaceholderFailure::UnknownName, part->written, part->offset); };
    if (name == "filename") {
        if (colon != std::string_view::npos)
            return unknown();
        part->kind = PlaceholderKind::FileName;
    } else if (name == "date") {
        part->kind = PlaceholderKind::Date;
        part->text = std::string(argument.empty() ? kDefaultDateFormat : argument);
        std::string conversion = UnknownConversion(part->text);
        if (!conversion.empty())
            return FailAt(PlaceholderFailure::BadDateFormat, part->written, part->offset, std::move(conversion));
    } else if (name == "exif" || name == "xmp") {
        if (argument.empty())
            return unknown();
        part->kind = name == "exif" ? PlaceholderKind::Exif : PlaceholderKind::Xmp;
        part->text = std::string(argument);
    } else {
        return unknown();
    }
    return {};
}

void AddLiteral(std::string* literal, TextTemplate* parsed)
{
    if (literal->empty())
        return;
    TemplatePart part;
    part.text = std::move(*literal);
    parsed->parts.push_back(std::move(part));
    literal->clear();
}

void AppendTwoDigits(std::string* out, int value)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%02d", value);
    *out += digits;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long DaysFromCivil(int year, int month, int day)
{
    const long y = static_cast<long>(year) - (month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int Weekday(const PhotoDate& date)  // 0 Sunday .. 6 Saturday
{
    const long days = DaysFromCivil(date.year, date.month, date.day);
    return static_cast<int>(((days % 7) + 11) % 7);
}

constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

// One conversion (the letter after '%') of date onto *out.
void AppendConversion(std::string* out, const PhotoDate& date, char conversion)
{
    const char* month = kMonthNames[date.month >= 1 && date.month <= 12 ? date.month - 1 : 0];
    const char* day = kDayNames[Weekday(date)];
    const int hour12 = date.hour % 12 == 0 ? 12 : date.hour % 12;
    switch (conversion) {
    case 'Y': *out += std::to_string(date.year); break;
    case 'y': AppendTwoDigits(out, ((date.year % 100) + 100) % 100); break;
    case 'C': AppendTwoDigits(out, date.year / 100); break;
    case 'm': AppendTwoDigits(out, date.month); break;
    case 'd': AppendTwoDigits(out, date.day); break;
    case 'e': *out += (date.day < 10 ? " " : "") + std::to_string(date.day); break;
    case 'j': {
        const long yearDay = DaysFromCivil(date.year, date.month, date.day) - DaysFromCivil(date.year, 1, 1) + 1;
        char digits[32];
        std::snprintf(digits, sizeof digits, "%03ld", yearDay);
        *out += digits;
        break;
    }
    case 'H': AppendTwoDigits(out, date.hour); break;
    case 'I': AppendTwoDigits(out, hour12); break;
    case 'M': AppendTwoDigits(out, date.minute); break;
    case 'S': AppendTwoDigits(out, date.second); break;
    case 'p': *out += date.hour < 12 ? "AM" : "PM"; break;
    case 'a': out->append(day, 3); break;
    case 'A': *out += day; break;
    case 'b':
    case 'h': out->append(month, 3); break;
    case 'B': *out += month; break;
    case 'F': *out += FormatPhotoDate(date, "%Y-%m-%d"); break;
    case 'T': *out += FormatPhotoDate(date, "%H:%M:%S"); break;
    case 'D': *out += FormatPhotoDate(date, "%m/%d/%y"); break;
    case 'R': *out += FormatPhotoDate(date, "%H:%M"); break;
    case 'u': *out += std::to_string(Weekday(date) == 0 ? 7 : Weekday(date)); break;
    case 'w': *out += std::to_string(Weekday(date)); break;
    case 'n': *out += '\n'; break;
    case '%': *out += '%'; break;
    default: break;  // refused by ParseTextTemplate
    }
}

// The value of one placeholder, or false when the photo gives none (the
// caller then takes the default or fails).
bool PlaceholderValue(const TemplatePart& part, const PhotoFacts& facts, std::string* value)
{
    switch (part.kind) {
    case PlaceholderKind::FileName: *value = facts.fileName; return true;
    case PlaceholderKind::Date:
        if (!facts.hasDate)
            return false;
        *value = FormatPhotoDate(facts.date, part.text);
        return true;
    case PlaceholderKind::Exif:
    case PlaceholderKind::Xmp: {
        const auto found = facts.tags.find(part.text);
        if (!facts.metadataRead || found == facts.tags.end())
            return false;
        *value = found->second;
        return true;
    }
    case PlaceholderKind::Literal: *value = part.text; return true;
    }
    return false;
}

}  // namespace

bool TextTemplate::HasPlaceholders() const
{
    for (const TemplatePart& part : parts)
        if (part.kind != PlaceholderKind::Literal)
            return true;
    return false;
}

std::string TextTemplate::LiteralText() const
{
    std::string text;
    for (const TemplatePart& part : parts)
        if (part.kind == PlaceholderKind::Literal)
            text += part.text;
    return text;
}

PlaceholderOutcome ParseTextTemplate(std::string_view text, TextTemplate* parsed)
{
    parsed->parts.clear();
    std::string literal;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool doubled = i + 1 < text.size() && text[i + 1] == c;
        if ((c == '{' || c == '}') && doubled) {
            literal += c;
            ++i;
        } else if (c == '}') {
            return FailAt(PlaceholderFailure::StrayBrace, "}", i);
        } else if (c == '{') {
            const std::size_t close = text.find_first_of("{}", i + 1);
            if (close == std::string_view::npos || text[close] == '{')
                return FailAt(PlaceholderFailure::Unterminated, text.substr(i, close - i), i);
            AddLiteral(&literal, parsed);
            TemplatePart part;
            part.written = std::string(text.substr(i, close + 1 - i));
            part.offset = i;
            const PlaceholderOutcome outcome = ParsePlaceholder(text.substr(i + 1, close - i - 1), &part);
            if (!outcome.ok())
                return outcome;
            parsed->parts.push_back(std::move(part));
            i = close;
        } else {
            literal += c;
        }
    }
    AddLiteral(&literal, parsed);
    return {};
}

PlaceholderOutcome ExpandTextTemplate(const TextTemplate& parsed, const PhotoFacts& facts, std::string* filled)
{
    filled->clear();
    for (const TemplatePart& part : parsed.parts) {
        std::string value;
        if (PlaceholderValue(part, facts, &value)) {
            *filled += value;
        } else if (part.hasDefault) {
            *filled += part.fallback;
        } else if (part.kind == PlaceholderKind::Date) {
            return FailAt(PlaceholderFailure::NoDate, part.written, part.offset);
        } else if (!facts.metadataRead) {
            return FailAt(PlaceholderFailure::MetadataUnreadable, part.written, part.offset, facts.metadataProblem);
        } else {
            return FailAt(PlaceholderFailure::TagMissing, part.written, part.offset);
        }
    }
    return {};
}

std::string FormatPhotoDate(const PhotoDate& date, std::string_view format)
{
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size())
            AppendConversion(&out, date, format[++i]);
        else
            out += format[i];
    }
    return out;
}

std::string FileNameStem(std::string_view path)
{
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\:");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    return std::string(name);
}

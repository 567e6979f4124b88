#include "files/text_placeholders.h"

#include "files/metadata_copy.h"
#include <exiv2/exiv2.hpp>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <vector>

#ifdef _WIN32
#include "platform/utf16.h"
#endif

namespace {

constexpr const char* kExifGroups[] = {"Exif.Image.", "Exif.Photo."};

bool KnownExifKey(const std::string& key)
{
    try {
        Exiv2::ExifKey known(key);
        return true;
    } catch (...) {
        return false;
    }
}

bool KnownXmpKey(const std::string& key)
{
    try {
        Exiv2::XmpKey known(key);
        return true;
    } catch (...) {
        return false;
    }
}

// An {xmp:} key in full: Xmp.dc.creator for dc.creator.
std::string XmpKeyOf(const std::string& written)
{
    return written.compare(0, 4, "Xmp.") == 0 ? written : "Xmp." + written;
}

bool KnownTag(const TemplatePart& part)
{
    if (part.kind == PlaceholderKind::Xmp)
        return KnownXmpKey(XmpKeyOf(part.text));
    if (part.text.find('.') != std::string::npos)
        return part.text.compare(0, 5, "Exif.") == 0 && KnownExifKey(part.text);
    for (const char* group : kExifGroups)
        if (KnownExifKey(group + part.text))
            return true;
    return false;
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
}

// An EXIF tag's text as Exiv2 prints it: "" when the photo lacks it.  A
// short name is looked for in Exif.Image, then Exif.Photo.
std::string ExifText(const Exiv2::ExifData& exif, const std::string& written)
{
    std::vector<std::string> keys;
    if (written.find('.') != std::string::npos)
        keys.push_back(written);
    else
        for (const char* group : kExifGroups)
            keys.push_back(group + written);
    for (const std::string& key : keys) {
        if (!KnownExifKey(key))
            continue;
        const auto found = exif.findKey(Exiv2::ExifKey(key));
        if (found == exif.end())
            continue;
        const std::string text = Trimmed(found->print(&exif));
        if (!text.empty())
            return text;
    }
    return {};
}

// An XMP property's text: a language alternative's default (or first)
// text, an array's items joined with ", ".
std::string XmpText(const Exiv2::XmpData& xmp, const std::string& written)
{
    const auto found = xmp.findKey(Exiv2::XmpKey(XmpKeyOf(written)));
    if (found == xmp.end())
        return {};
    const Exiv2::Value& value = found->value();
    if (const auto* alternatives = dynamic_cast<const Exiv2::LangAltValue*>(&value)) {
        const auto preferred = alternatives->value_.find("x-default");
        if (preferred != alternatives->value_.end())
            return Trimmed(preferred->second);
        return alternatives->value_.empty() ? std::string() : Trimmed(alternatives->value_.begin()->second);
    }
    if (dynamic_cast<const Exiv2::XmpArrayValue*>(&value)) {
        std::string joined;
        for (long i = 0; i < value.count(); ++i) {
            const std::string item = Trimmed(value.toString(i));
            if (!item.empty())
                joined += (joined.empty() ? "" : ", ") + item;
        }
        return joined;
    }
    return Trimmed(value.toString());
}

// "YYYY:MM:DD HH:MM:SS", as EXIF writes a date; false for anything else
// (cameras write zeros or blanks when they do not know).
bool ParseExifDate(const std::string& text, PhotoDate* date)
{
    PhotoDate d;
    char end = 0;
    if (std::sscanf(text.c_str(), "%4d:%2d:%2d %2d:%2d:%2d%c", &d.year, &d.month, &d.day, &d.hour, &d.minute,
                    &d.second, &end) != 6)
        return false;
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour < 0 || d.hour > 23 ||
        d.minute < 0 || d.minute > 59 || d.second < 0 || d.second > 60)
        return false;
    *date = d;
    return true;
}

// The file's modification time in local time.
bool FileTime(const char* path, PhotoDate* date)
{
    std::tm local{};
#ifdef _WIN32
    struct _stat64 status;
    if (_wstat64(WideFromUtf8(path).c_str(), &status) != 0)
        return false;
    const std::tm* converted = _localtime64(&status.st_mtime);
    if (!converted)
        return false;
    local = *converted;
#else
    struct stat status;
    if (stat(path, &status) != 0 || !localtime_r(&status.st_mtime, &local))
        return false;
#endif
    *date = PhotoDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                      local.tm_hour,        local.tm_min,     local.tm_sec};
    return true;
}

// The date and tags parsed asks for, from the photo's metadata; throws
// Exiv2's errors.
void ReadMetadataFacts(const char* path, const TextTemplate& parsed, PhotoFacts* facts)
{
    std::vector<std::uint8_t> bytes;
    const std::unique_ptr<Exiv2::Image> image = OpenPhotoMetadata(path, &bytes);
    const Exiv2::ExifData& exif = image->exifData();
    const Exiv2::XmpData& xmp = image->xmpData();
    for (const TemplatePart& part : parsed.parts) {
        if (part.kind == PlaceholderKind::Date) {
            const auto taken = exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal"));
            if (taken != exif.end())
                facts->hasDate = ParseExifDate(Trimmed(taken->toString()), &facts->date);
        } else if (part.kind == PlaceholderKind::Exif || part.kind == PlaceholderKind::Xmp) {
            const std::string text =
                part.kind == PlaceholderKind::Exif ? ExifText(exif, part.text) : XmpText(xmp, part.text);
            if (!text.empty())
                facts->tags[part.text] = text;
        }
    }
}

}  // namespace

PlaceholderOutcome CheckTextTemplate(std::string_view text, TextTemplate* parsed)
{
    PlaceholderOutcome outcome = ParseTextTemplate(text, parsed);
    if (!outcome.ok())
        return outcome;
    for (const TemplatePart& part : parsed->parts) {
        if ((part.kind == PlaceholderKind::Exif || part.kind == PlaceholderKind::Xmp) && !KnownTag(part)) {
            outcome.failure = PlaceholderFailure::UnknownTag;
            outcome.placeholder = part.written;
            outcome.offset = part.offset;
            return outcome;
        }
    }
    return outcome;
}

PhotoFacts ReadPhotoFacts(const char* path, const TextTemplate& parsed)
{
    PhotoFacts facts;
    facts.fileName = FileNameStem(path);
    bool needsMetadata = false;
    bool needsDate = false;
    for (const TemplatePart& part : parsed.parts) {
        needsDate = needsDate || part.kind == PlaceholderKind::Date;
        needsMetadata = needsMetadata || needsDate || part.kind == PlaceholderKind::Exif ||
                        part.kind == PlaceholderKind::Xmp;
    }
    try {
        if (needsMetadata)
            ReadMetadataFacts(path, parsed, &facts);
    } catch (const std::exception& error) {
        facts.metadataRead = false;
        facts.metadataProblem = error.what();
    } catch (...) {
        facts.metadataRead = false;
    }
    // A photo whose metadata cannot be read still has the file's time.
    if (needsDate && !facts.hasDate)
        facts.hasDate = FileTime(path, &facts.date);
    return facts;
}

PlaceholderOutcome FillTextPlaceholders(std::string_view text, const char* path, std::string* filled)
{
    filled->clear();
    TextTemplate parsed;
    const PlaceholderOutcome checked = CheckTextTemplate(text, &parsed);
    if (!checked.ok())
        return checked;
    if (!parsed.HasPlaceholders()) {
        *filled = parsed.LiteralText();
        return checked;
    }
    return ExpandTextTemplate(parsed, ReadPhotoFacts(path, parsed), filled);
}

// A text mark's placeholders, filled from each photo: parsing the text and
// filling it in from what has been read of the photo.  Nothing here reads
// a file (files/text_placeholders.h does, through Exiv2, and is what the
// front ends call); nothing here has words for a person to read: a failure
// is a code naming the placeholder, and each front end words it.
//
// The placeholders:
//   {filename}       the photo's file name without its folder and extension
//   {date:FORMAT}    when it was taken (EXIF DateTimeOriginal), else the
//                    file's modification time in local time, written with
//                    FORMAT's conversions (kDateConversions); {date} is
//                    {date:%Y-%m-%d}
//   {exif:NAME}      an EXIF tag: a tag name Exiv2 knows (Artist, Model,
//                    Copyright, LensModel...), looked for in Exif.Image, then
//                    Exif.Photo; or a whole key, {exif:Exif.Photo.LensModel}
//   {xmp:KEY}        an XMP property: Xmp.dc.creator, or dc.creator
//   {{ and }}        a brace
// Any placeholder may end in |DEFAULT, the text used when the photo gives
// no value (the tag is missing or blank, or the metadata cannot be read):
// {exif:Artist|Quillvane}.  A default holds no braces.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Why a text could not be filled in.  The first four are faults of the
// text itself, the same for every photo; the rest are the photo's.
enum class PlaceholderFailure : unsigned char {
    None,
    Unterminated,        // a '{' with no '}' before the end or the next '{'
    StrayBrace,          // a '}' that closes nothing (a brace is written '}}')
    UnknownName,         // not filename, date, exif or xmp (or {filename:...})
    BadDateFormat,       // detail: the conversion the date does not know ("%Q", or "%" at the end)
    UnknownTag,          // Exiv2 knows no such tag or key (checked by CheckTextTemplate)
    TagMissing,          // the photo has no such tag, or a blank one
    MetadataUnreadable,  // detail: the library's words
    NoDate,              // neither the date taken nor the file's time can be read
    Count                // not a failure: how many there are
};
inline constexpr std::size_t kPlaceholderFailureCount = static_cast<std::size_t>(PlaceholderFailure::Count);

struct PlaceholderOutcome {
    PlaceholderFailure failure = PlaceholderFailure::None;
    std::string placeholder;  // as written, braces included ("{exif:Artist}"); for Unterminated
                              // the text from its '{' on, for StrayBrace "}"
    std::size_t offset = 0;   // where it starts in the text, in bytes
    std::string detail;

    bool ok() const { return failure == PlaceholderFailure::None; }
};

enum class PlaceholderKind : unsigned char { Literal, FileName, Date, Exif, Xmp };

// One piece of a parsed text: literal text or a placeholder.
struct TemplatePart {
    PlaceholderKind kind = PlaceholderKind::Literal;
    std::string text;      // Literal: the text (braces undoubled); Date: the format;
                           // Exif, Xmp: the name or key as written
    bool hasDefault = false;
    std::string fallback;  // the default after '|'
    std::string written;   // the placeholder as written, braces included
    std::size_t offset = 0;
};

struct TextTemplate {
    std::vector<TemplatePart> parts;

    // False when the text is literal only (perhaps with doubled braces).
    bool HasPlaceholders() const;
    // The literal parts, joined: the whole text when there are no
    // placeholders.
    std::string LiteralText() const;
};

// The conversions {date:FORMAT} knows, each as strftime writes it in the C
// locale: %Y %y %C %m %d %e %j %H %I %M %S %p %a %A %b %h %B %F %T %D %R
// %u %w %n and %%.
inline constexpr std::string_view kDateConversions = "YyCmdejHIMSpaAbhBFTDRuwn%";

// A date and time of day as the photo gives it: month 1..12, day 1..31,
// hour 0..23, minute 0..59, second 0..60.
struct PhotoDate {
    int year = 0;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// What a photo gives the placeholders of one text.
struct PhotoFacts {
    std::string fileName;  // without folder and extension
    bool hasDate = false;
    PhotoDate date;
    bool metadataRead = true;
    std::string metadataProblem;  // the library's words when it could not be read
    // The value of each {exif:} and {xmp:} name or key, as the parts write
    // it, that the photo has and that is not blank (spaces trimmed).
    std::map<std::string, std::string> tags;
};

// Splits text into parts.  Fails with Unterminated, StrayBrace,
// UnknownName or BadDateFormat; the names and keys of tags are checked by
// CheckTextTemplate (files/text_placeholders.h), which knows Exiv2's.
PlaceholderOutcome ParseTextTemplate(std::string_view text, TextTemplate* parsed);

// The text with every placeholder filled in from facts into *filled.
// Fails with TagMissing, MetadataUnreadable or NoDate for the first
// placeholder the photo gives no value and the text no default for.
PlaceholderOutcome ExpandTextTemplate(const TextTemplate& parsed, const PhotoFacts& facts, std::string* filled);

// date written with format (checked by ParseTextTemplate).
std::string FormatPhotoDate(const PhotoDate& date, std::string_view format);

// A file's name without its folder and its extension (the last '.' and
// what follows, unless the name starts there).
std::string FileNameStem(std::string_view path);

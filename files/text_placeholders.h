// A text mark's placeholders filled from a photo (see files/text_template.h
// for what a text may hold): what the command-line tool calls for each
// photo of bump --text, and what the program's text watermark dialog and
// batch window are to call.  Reads the photo's EXIF and XMP through Exiv2;
// shows nothing and never throws.  Each front end words the outcome: the
// failure and the placeholder as written (and, where the failure has one,
// the detail).
#pragma once

#include "files/text_template.h"

#include <string>
#include <string_view>

// Parses text and checks the names and keys of its {exif:} and {xmp:}
// placeholders against Exiv2's.  The failures (Unterminated, StrayBrace,
// UnknownName, BadDateFormat, UnknownTag) are the text's own, whatever the
// photo: a front end checks a text once, before any photo.
PlaceholderOutcome CheckTextTemplate(std::string_view text, TextTemplate* parsed);

// What parsed's placeholders need from the photo at path (UTF-8): its
// file name, and when asked for, its date and tags.  The date is EXIF
// DateTimeOriginal when the photo has a valid one, else the file's
// modification time in local time; a photo whose metadata cannot be read
// has metadataRead false (the library's words in metadataProblem).
PhotoFacts ReadPhotoFacts(const char* path, const TextTemplate& parsed);

// The text with every placeholder filled from the photo at path (UTF-8)
// into *filled: CheckTextTemplate, ReadPhotoFacts and ExpandTextTemplate
// in one call.  A text without placeholders comes back as it is, its
// doubled braces made single, without the photo being read.
PlaceholderOutcome FillTextPlaceholders(std::string_view text, const char* path, std::string* filled);

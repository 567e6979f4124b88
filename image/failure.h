// How the core says what went wrong: a code, an optional cause and detail,
// and any warnings met on the way.  The core never shows anything; each
// front end turns these into its own words (the program's message boxes,
// the command-line tool's messages), one table per front end.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

enum class Failure : unsigned char {
    None,
    // Files in general.
    OpenFailed,       // the file cannot be opened for reading
    CreateFailed,     // the file cannot be created
    NothingLoaded,    // a save or command without a picture
    OutOfMemory,
    // BMP files.
    NotBitmap,
    DepthUnsupported,
    CompressionUnsupported,
    HeaderUnsupported,
    BitmapDamaged,
    BadSize,
    TooLarge,
    // JPEG files: the cause says why.
    JpegUnreadable,
    JpegWriteFailed,
    // Files in general, as the command-line tool's PNG and WebP files and
    // their metadata meet them.
    ReadFailed,          // the file cannot be read to its end
    NameTooLong,         // no temporary name fits beside the file
    WriteIncomplete,     // the file could not be written to the end
    ReplaceFailed,       // the finished file cannot take the old one's place
    PictureOutOfMemory,  // no memory for the decoded picture
    // PNG files: the library's words, if any, in the detail.
    PngUnreadable,
    PngDamaged,
    PngWriteFailed,
    // WebP files.
    WebpUnreadable,
    WebpAnimated,
    WebpDamaged,
    WebpTooLarge,  // over the format's 16383 pixels a side
    WebpWriteFailed,
    // A photograph's metadata (EXIF, XMP, IPTC, ICC).
    MetadataUnreadable,
    MetadataUnwritable,
    Count  // not a failure: how many there are
};

// Why a JPEG could not be read or written, shown under the failure; the
// tool's PNG and WebP files and their metadata give only the library's
// own words.
enum class Cause : unsigned char {
    None,
    Library,                   // the library's own words, in detail
    OutOfMemory,
    PictureTooLargeForMemory,
    TooManyScans,              // more than number scans
    CannotOpen,
    PictureTooLarge,
    ColourFormat,
    NameTooLong,
    CannotCreate,
    WriteIncomplete,
    CannotReplace,
    Count  // not a cause: how many there are
};

// A problem met along the way that does not stop the work; the front end
// shows it before anything it shows of the outcome itself.
enum class Warning : unsigned char {
    FreeFailed,  // an old block could not be given back
    Count        // not a warning: how many there are
};

// The sizes of the front ends' tables, one entry per code.
inline constexpr std::size_t kFailureCount = static_cast<std::size_t>(Failure::Count);
inline constexpr std::size_t kCauseCount = static_cast<std::size_t>(Cause::Count);
inline constexpr std::size_t kWarningCount = static_cast<std::size_t>(Warning::Count);

// True when table, whose entries name their code first (`code`), holds one
// entry for each of count codes in the enumeration's order: what every
// front end's table asserts.
template <typename Entry, std::size_t N>
constexpr bool OneEntryPerCode(const Entry (&table)[N], std::size_t count)
{
    if (N != count)
        return false;
    for (std::size_t i = 0; i < N; ++i)
        if (static_cast<std::size_t>(table[i].code) != i)
            return false;
    return true;
}

struct Outcome {
    Failure failure = Failure::None;
    Cause cause = Cause::None;
    std::string detail;  // the library's words for Cause::Library
    long number = 0;     // the count Cause::TooManyScans names
    std::vector<Warning> warnings;

    bool ok() const { return failure == Failure::None; }
};

inline Outcome Fail(Failure failure, Cause cause = Cause::None, std::string detail = {}, long number = 0)
{
    Outcome outcome;
    outcome.failure = failure;
    outcome.cause = cause;
    outcome.detail = std::move(detail);
    outcome.number = number;
    return outcome;
}

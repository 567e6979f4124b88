// How the core says what went wrong: a code, an optional cause and detail,
// and any warnings met on the way.  The core never shows anything; each
// front end turns these into its own words (the program's message boxes,
// the command-line tool's messages), one table per front end.
#pragma once

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
    // Processing commands (image/command_sequence.h).
    RegionEmpty,      // the region holds none of the picture: nothing to do, nothing said
    Declined,         // the command's dialog was cancelled, or its front end stopped it and said why
};

// Why a JPEG could not be read or written, shown under the failure.
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
};

// A problem met along the way that does not stop the work; the front end
// shows it before anything it shows of the outcome itself.
enum class Warning : unsigned char {
    FreeFailed,  // an old block could not be given back
};

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

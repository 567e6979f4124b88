// Helpers shared by the unit tests: scratch directories, captured message
// boxes, small synthetic pictures built straight into WorkDib blocks, pixel
// access by screen coordinates, whole-file I/O and little-endian byte
// building for hand-made files.
#pragma once

#include "image/image_document.h"
#include "support/stand_in_hooks.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qvtest {

// ---- Scratch directory --------------------------------------------------

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path of name inside the directory (nothing is created).
    std::string File(const std::string& name) const;
    // Names of the entries in the directory, sorted (to spot leftovers).
    std::vector<std::string> Names() const;

private:
    std::string path_;
};

// ---- Message boxes --------------------------------------------------------

// Records every message box shown while it lives, as "caption|text", and
// puts the previous recorder (or standard error) back when it goes.
// Captures nest; only the innermost one records.  On Windows every message
// box of the test thread is closed with OK as soon as it shows (after it is
// recorded, or else written to standard error), as the stand-in answers.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const std::vector<std::string>& Entries() const { return entries_; }
    std::size_t Count() const { return entries_.size(); }
    bool Has(const std::string& caption, const std::string& text) const;
    std::size_t CountCaption(const std::string& caption) const;
    // Every entry on one line, for failure output.
    std::string Joined() const;
    void Clear() { entries_.clear(); }
    void Record(const char* caption, const char* text);

private:
    static void Sink(const char* caption, const char* text);
    std::vector<std::string> entries_;
    MessageCapture* previous_;
};

// ---- Pictures ----------------------------------------------------------------

// One WorkDib pixel in memory order.
struct Pixel {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t height = 0;  // the HeightByte
    bool operator==(const Pixel&) const = default;
};

// Spelled in the order people say colours, to keep red and blue apart.
inline Pixel Rgbh(int red, int green, int blue, int height = 0)
{
    return Pixel{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                 static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(height)};
}

std::string Describe(const Pixel& p);  // "r,g,b/h"

// x, y in screen coordinates: (0, 0) is the top-left pixel.
using PixelFunction = std::function<Pixel(int x, int y)>;

// A loaded document of w x h pixels from fn: a GHND block, locked, with the
// WorkDib header, bmi at the start of the block, bitsOffset 40, isLoaded 1.
// Free it with ReleaseDocument.
ImageDocument MakeDocument(int width, int height, const PixelFunction& fn);


// Sets doc->path (truncated to fit, always terminated).
void SetPath(ImageDocument* doc, const std::string& path);

// The four bytes of pixel (x, y) inside doc's block (rows bottom-up).
std::uint8_t* PixelAddress(const ImageDocument& doc, int x, int y);
Pixel GetPixel(const ImageDocument& doc, int x, int y);
void SetPixel(const ImageDocument& doc, int x, int y, const Pixel& p);

// The 40-byte header at the start of doc's block.
BITMAPINFOHEADER BlockHeader(const ImageDocument& doc);

// All bytes of doc's block (GlobalSize of hDib), empty without a block.
std::vector<std::uint8_t> BlockBytes(const ImageDocument& doc);

// Checks that doc is w x h and every pixel matches expected within
// tolerance per colour channel (the HeightByte only when compareHeight).
// On failure lists the first differing pixels with their coordinates.
::testing::AssertionResult PixelsMatch(const ImageDocument& doc, int width, int height,
                                       const PixelFunction& expected, bool compareHeight,
                                       int tolerance = 0);

// The same for two documents of the same size.
::testing::AssertionResult SamePixels(const ImageDocument& actual, const ImageDocument& expected,
                                      bool compareHeight);

// A record, its bmi header and its block, taken before an operation that
// must not change anything.
struct DocumentSnapshot {
    ImageDocument record{};
    std::vector<std::uint8_t> bmiBytes;  // 40 header bytes (44 when bmi is separate storage)
    std::vector<std::uint8_t> blockBytes;
};
DocumentSnapshot Snapshot(const ImageDocument& doc);

// Field by field (padding ignored), then the bmi header and block contents.
::testing::AssertionResult Unchanged(const ImageDocument& doc, const DocumentSnapshot& before);

// ---- Files --------------------------------------------------------------------

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const std::string& path);  // empty when unreadable
bool FileExists(const std::string& path);

// Shows the first differing byte offsets of two byte strings.
::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& actual,
                                     const std::vector<std::uint8_t>& expected);

// Little-endian bytes for hand-made files.
class ByteBuilder {
public:
    ByteBuilder& U8(unsigned v);
    ByteBuilder& U16(unsigned v);
    ByteBuilder& U32(std::uint32_t v);
    ByteBuilder& I32(std::int32_t v);
    ByteBuilder& Text(const char* s);  // without the terminating zero
    ByteBuilder& Fill(std::size_t count, unsigned v);
    ByteBuilder& Append(const std::vector<std::uint8_t>& bytes);
    std::size_t Size() const { return bytes_.size(); }
    // Overwrites a 32-bit value at offset (for sizes known only at the end).
    void PatchU32(std::size_t offset, std::uint32_t v);
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

std::uint16_t LoadU16(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint32_t LoadU32(const std::vector<std::uint8_t>& bytes, std::size_t offset);

#ifndef _WIN32
// Limits the size of files this process may write, so that a write fails
// part-way as on a full disk (with EFBIG, not SIGXFSZ) while alive.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Active() const { return active_; }
    static constexpr bool kSystemLimit = true;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool active_ = false;
};
#elif defined(QUILLVANE_FAILURE_HOOKS)
// Windows has no per-process file size limit: the failure hooks' full disk
// stands in for it (the same while one file is written).
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long bytes) { StandInFailWritesAfter(static_cast<long long>(bytes)); }
    ~FileSizeLimit() { StandInFailWritesAfter(-1); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Active() const { return true; }
    static constexpr bool kSystemLimit = false;
};
#else
// Without the failure hooks nothing can make a Windows write fail: never
// active.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long) {}
    bool Active() const { return false; }
    static constexpr bool kSystemLimit = false;
};
#endif

}  // namespace qvtest

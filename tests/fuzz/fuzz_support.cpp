#include "fuzz_support.h"

#include "image/region_swap.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qvfuzz {

namespace {

// Field by field: the padding inside a record is not part of it.
bool SameRecord(const ImageDocument& a, const ImageDocument& b)
{
    return a.hDib == b.hDib && std::memcmp(&a.fileHeader, &b.fileHeader, sizeof a.fileHeader) == 0 &&
           a.bmi == b.bmi && a.width == b.width && a.height == b.height &&
           std::memcmp(a.path, b.path, sizeof a.path) == 0 &&
           a.isLoaded == b.isLoaded && a.isModified == b.isModified && a.dib == b.dib &&
           a.bitsOffset == b.bitsOffset;
}

}  // namespace

const std::string& InputFile(const std::uint8_t* data, std::size_t size)
{
    static int fd = -1;
    static std::string path;
    if (fd < 0) {
        fd = memfd_create("quillvane-fuzz-input", 0);
        Check(fd >= 0, "memfd_create");
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    Check(ftruncate(fd, 0) == 0, "ftruncate");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        Check(n > 0, "pwrite");
        done += static_cast<std::size_t>(n);
    }
    return path;
}

const std::string& OutputFile(const char* extension)
{
    static std::string path;
    // /dev/shm keeps the writes in memory; the writers put a temporary file
    // beside the target, so the target must be in a real directory.
    path = "/dev/shm/quillvane-fuzz-" + std::to_string(getpid()) + extension;
    return path;
}

void SetUpOnce()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    StandInSetAllocationLimit(kFuzzAllocationLimit);
}

void BudgetPicture(std::size_t size)
{
    constexpr std::int64_t kFloorPixels = 1024;
    constexpr std::int64_t kPixelsPerByte = 8;
    SetFuzzPictureBudget(kFloorPixels + kPixelsPerByte * static_cast<std::int64_t>(size));
}

Choices::Choices(const std::uint8_t* data, std::size_t size) : state_(1469598103934665603ull)
{
    for (std::size_t i = 0; i < size; ++i)
        state_ = (state_ ^ data[i]) * 1099511628211ull;
}

unsigned Choices::Next(unsigned bound)
{
    state_ ^= state_ >> 33;
    state_ *= 0xff51afd7ed558ccdull;
    state_ ^= state_ >> 29;
    return bound ? static_cast<unsigned>(state_ % bound) : 0;
}

void SetPath(ImageDocument* doc, const std::string& path)
{
    std::memset(doc->path, 0, sizeof doc->path);
    std::snprintf(doc->path, sizeof doc->path, "%s", path.c_str());
}

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

void RegionRoundTrip(ImageDocument* doc, Choices* choices)
{
    const LONG w = doc->width;
    const LONG h = doc->height;
    PictureRect sel = {};
    // Anywhere from a little outside the picture to a little beyond it.
    sel.left = static_cast<LONG>(choices->Next(static_cast<unsigned>(w) + 4)) - 2;
    sel.top = static_cast<LONG>(choices->Next(static_cast<unsigned>(h) + 4)) - 2;
    sel.right = sel.left + static_cast<LONG>(choices->Next(static_cast<unsigned>(w) + 2));
    sel.bottom = sel.top + static_cast<LONG>(choices->Next(static_cast<unsigned>(h) + 2));

    const ImageDocument before = *doc;
    const std::size_t bytes = WorkDibBytes(w, h);
    std::vector<std::uint8_t> pixels(doc->dib, doc->dib + bytes);
    BITMAPINFOHEADER header;
    std::memcpy(&header, doc->bmi, sizeof header);

    RegionSwap swap;
    if (RegionSwapExtract(&swap, doc, &sel) != RegionCut::Ready) {
        Check(SameRecord(before, *doc), "failed extract changed the record");
    } else {
        Check(doc->width >= 1 && doc->width <= w && doc->height >= 1 && doc->height <= h, "region size");
        Check(doc->bmi->bmiHeader.biWidth == doc->width && doc->bmi->bmiHeader.biHeight == doc->height,
              "bmi reports the region");
        if (choices->Next(2))
            RegionSwapCommit(&swap, doc);
        else
            RegionSwapCancel(&swap, doc);
    }
    Check(SameRecord(before, *doc), "record restored");
    Check(std::memcmp(doc->bmi, &header, sizeof header) == 0, "header restored");
    Check(std::memcmp(doc->dib, pixels.data(), bytes) == 0, "pixels unchanged by an unprocessed round trip");
}

}  // namespace qvfuzz

// Every input frees what it allocates before the next one starts: a small
// quarantine still catches a use after free within one input, and the run
// no longer spends its time mapping fresh pages for a large one.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=16";
}

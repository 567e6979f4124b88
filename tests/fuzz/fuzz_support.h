// Shared pieces of the fuzz targets: the input bytes as a file the readers
// can open by name, a scratch output path, and a small stream of choices
// taken from the input's own bytes so that every run is reproducible.
#pragma once

#include "image/image_document.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvfuzz {

// Largest block a fuzz run may allocate: hostile headers that declare huge
// pictures then meet the out-of-memory path instead of slowing the run down
// with gigabytes of zeros.  4 MiB holds a 1-megapixel WorkDib.
constexpr std::size_t kFuzzAllocationLimit = std::size_t{4} << 20;

// Writes the input into a file in memory and returns its path; the same
// file is reused for every input of the process.
const std::string& InputFile(const std::uint8_t* data, std::size_t size);

// A path for written pictures, private to this process, in memory.
const std::string& OutputFile(const char* extension);

// Silences the core's message boxes and sets the allocation limit once.
void SetUpOnce();

// The largest picture the readers take for an input of `size` bytes: a
// floor for headers over a little data, then a few pixels per byte, never
// more than the build's cap.  Each run then costs in proportion to its
// input; the program's own limits are tested by the limits tests.
void BudgetPicture(std::size_t size);

// Choices drawn from the input bytes (a hash of them), not from a clock.
class Choices {
public:
    Choices(const std::uint8_t* data, std::size_t size);
    unsigned Next(unsigned bound);  // 0 .. bound - 1

private:
    std::uint64_t state_;
};

// Sets doc->path.
void SetPath(ImageDocument* doc, const std::string& path);

// Crashes (so that libFuzzer records the input) when condition is false.
void Check(bool condition, const char* what);

// Runs a selection round trip on a loaded document: extract a region
// chosen from the input, then cancel (nothing may change) or commit
// unprocessed (nothing may change either).
void RegionRoundTrip(ImageDocument* doc, Choices* choices);

}  // namespace qvfuzz

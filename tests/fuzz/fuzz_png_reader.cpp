// The PNG reader on arbitrary bytes: a failed read leaves the document and
// the alpha plane as they were; a picture that was read is written as PNG
// (with its alpha) and must read back with the same pixels and alpha.
#include "fuzz_support.h"

#include "files/png_file.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qvfuzz::SetUpOnce();
    qvfuzz::BudgetPicture(size);
    const long blocksBefore = StandInLiveBlocks();
    ImageDocument doc;
    ResetDocument(&doc);
    std::vector<std::uint8_t> alpha(3, 7);
    const Outcome decoded = DecodePngMemory(data, size, &doc, &alpha);
    if (!decoded.ok()) {
        qvfuzz::Check(doc.hDib == nullptr && alpha.size() == 3, "failed read kept the document and alpha");
        qvfuzz::Check(decoded.failure != Failure::None, "a failure names its problem");
        qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked by a failed read");
        return 0;
    }
    const std::size_t count = static_cast<std::size_t>(doc.width) * static_cast<std::size_t>(doc.height);
    qvfuzz::Check(PictureSizeAllowed(doc.width, doc.height), "picture within the limits");
    qvfuzz::Check(alpha.empty() || alpha.size() == count, "alpha plane of the picture's size");

    const std::string& out = qvfuzz::OutputFile(".png");
    qvfuzz::Check(WritePngFile(out.c_str(), &doc, alpha.empty() ? nullptr : alpha.data()).ok(),
                  "a picture that was read can be written");
    ImageDocument back;
    ResetDocument(&back);
    std::vector<std::uint8_t> backAlpha;
    qvfuzz::Check(ReadPngFile(out.c_str(), &back, &backAlpha).ok(), "own file reads back");
    qvfuzz::Check(back.width == doc.width && back.height == doc.height, "own file keeps the size");
    for (std::size_t i = 0; i < count; ++i)
        qvfuzz::Check(std::memcmp(WorkDibPixels(back.dib) + i * 4, WorkDibPixels(doc.dib) + i * 4, 3) == 0,
                      "own file keeps the pixels");
    qvfuzz::Check(backAlpha == alpha, "own file keeps the alpha");
    ReleaseDocument(&back);
    ReleaseDocument(&doc);
    qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked");
    return 0;
}

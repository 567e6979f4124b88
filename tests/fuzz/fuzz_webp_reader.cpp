// The WebP reader on arbitrary bytes: a failed read leaves the document and
// the alpha plane as they were; a small picture that was read is written
// as lossless WebP and must read back with the same pixels and alpha.
#include "fuzz_support.h"

#include "files/webp_file.h"

#include <webp/decode.h>

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qvfuzz::SetUpOnce();
    qvfuzz::BudgetPicture(size);
    const long blocksBefore = StandInLiveBlocks();
    ImageDocument doc;
    ResetDocument(&doc);
    std::vector<std::uint8_t> alpha(3, 7);
    const Outcome decoded = DecodeWebpMemory(data, size, &doc, &alpha);
    if (!decoded.ok()) {
        qvfuzz::Check(doc.hDib == nullptr && alpha.size() == 3, "failed read kept the document and alpha");
        qvfuzz::Check(decoded.failure != Failure::None, "a failure names its problem");
        qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked by a failed read");
        return 0;
    }
    const std::size_t count = static_cast<std::size_t>(doc.width) * static_cast<std::size_t>(doc.height);
    qvfuzz::Check(alpha.empty() || alpha.size() == count, "alpha plane of the picture's size");
    if (count <= 256 * 256) {
        const std::string& out = qvfuzz::OutputFile(".webp");
        qvfuzz::Check(WriteWebpFile(out.c_str(), &doc, alpha.empty() ? nullptr : alpha.data(), 80, true).ok(),
                      "a picture that was read can be written");
        ImageDocument back;
        ResetDocument(&back);
        std::vector<std::uint8_t> backAlpha;
        qvfuzz::Check(ReadWebpFile(out.c_str(), &back, &backAlpha).ok(), "own file reads back");
        qvfuzz::Check(back.width == doc.width && back.height == doc.height, "own file keeps the size");
        for (std::size_t i = 0; i < count; ++i)
            qvfuzz::Check(std::memcmp(WorkDibPixels(back.dib) + i * 4, WorkDibPixels(doc.dib) + i * 4, 3) == 0,
                          "lossless file keeps the pixels");
        qvfuzz::Check(backAlpha.empty() ? alpha.empty() || std::all_of(alpha.begin(), alpha.end(),
                                                                        [](std::uint8_t a) { return a == 255; })
                                        : backAlpha == alpha,
                      "lossless file keeps the alpha");
        ReleaseDocument(&back);
    }
    ReleaseDocument(&doc);
    qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked");
    return 0;
}

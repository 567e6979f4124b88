// The JPEG reader on arbitrary bytes, then luminance, a selection round
// trip and a JPEG save (quality and progression chosen from the input)
// that must read back at the same size.
#include "fuzz_support.h"

#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qvfuzz::SetUpOnce();
    qvfuzz::BudgetPicture(size);
    const long blocksBefore = StandInLiveBlocks();
    qvfuzz::Choices choices(data, size);

    // The document starts with a 1 x 1 picture that a failed read must keep.
    ImageDocument doc;
    ResetDocument(&doc);
    HGLOBAL block = GlobalAlloc(GHND, WorkDibBytes(1, 1) + 4);
    qvfuzz::Check(block != nullptr, "previous picture");
    doc.hDib = block;
    doc.dib = static_cast<BYTE*>(GlobalLock(block));
    WriteWorkDibHeader(doc.dib, 1, 1);
    doc.bmi = reinterpret_cast<BITMAPINFO*>(doc.dib);
    std::memcpy(WorkDibPixels(doc.dib), "\x11\x22\x33\x44", 4);
    doc.width = doc.height = 1;
    doc.isLoaded = 1;
    doc.bitsOffset = kWorkDibHeaderBytes;
    qvfuzz::SetPath(&doc, qvfuzz::InputFile(data, size));

    // Now and then the reader's first or second memory block is refused:
    // the read must fail as cleanly as on a damaged file.
    const bool starve = choices.Next(16) == 0;
    if (starve)
        StandInFailNthAllocation(1 + static_cast<long>(choices.Next(2)));
    const bool read = ReadJpegFile(&doc).ok();
    StandInFailNthAllocation(0);
    if (!read) {
        qvfuzz::Check(doc.hDib == block && doc.width == 1 && doc.height == 1, "failed read kept the picture");
        qvfuzz::Check(std::memcmp(WorkDibPixels(doc.dib), "\x11\x22\x33\x44", 4) == 0, "failed read kept the pixel");
        ReleaseDocument(&doc);
        qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked by a failed read");
        return 0;
    }
    qvfuzz::Check(PictureSizeAllowed(doc.width, doc.height), "picture within the limits");
    doc.bitsOffset = kWorkDibHeaderBytes;
    ComputeLuminance(&doc);
    qvfuzz::RegionRoundTrip(&doc, &choices);

    // Re-encoding costs far more than decoding: only small pictures.
    if (static_cast<long long>(doc.width) * doc.height <= 512 * 512) {
        JpegWriteSettings settings;
        settings.quality = kJpegQualityMin + static_cast<int>(choices.Next(kJpegQualityMax - kJpegQualityMin + 1));
        settings.progressive = choices.Next(2) == 1;
        const std::string& out = qvfuzz::OutputFile(".jpg");
        qvfuzz::SetPath(&doc, out);
        qvfuzz::Check(WriteJpegFile(&doc, settings).ok(), "a picture that was read can be written");
        ImageDocument back;
        ResetDocument(&back);
        qvfuzz::SetPath(&back, out);
        qvfuzz::Check(ReadJpegFile(&back).ok(), "own file reads back");
        qvfuzz::Check(back.width == doc.width && back.height == doc.height, "own file keeps the size");
        ReleaseDocument(&back);
        std::remove(out.c_str());
    }
    ReleaseDocument(&doc);
    qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked");
    return 0;
}

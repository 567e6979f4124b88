// The BMP reader on arbitrary bytes, then what the program does with a
// picture it has read: luminance, a selection round trip, and a save at a
// depth chosen from the input, read back and compared.
#include "fuzz_support.h"

#include "files/bmp_reader.h"
#include "files/bmp_writer.h"

#include <cstring>
#include <vector>

namespace {

// A 2 x 2 picture the document holds before the read: a failed read must
// leave it exactly as it was.
void LoadPrevious(ImageDocument* doc)
{
    ResetDocument(doc);
    HGLOBAL block = GlobalAlloc(GHND, WorkDibBytes(2, 2));
    qvfuzz::Check(block != nullptr, "previous picture");
    doc->hDib = block;
    doc->dib = static_cast<BYTE*>(GlobalLock(block));
    WriteWorkDibHeader(doc->dib, 2, 2);
    doc->bmi = reinterpret_cast<BITMAPINFO*>(doc->dib);
    for (int i = 0; i < 16; ++i)
        WorkDibPixels(doc->dib)[i] = static_cast<BYTE>(17 * i + 3);
    doc->width = 2;
    doc->height = 2;
    doc->isLoaded = 1;
    doc->bitsOffset = kWorkDibHeaderBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qvfuzz::SetUpOnce();
    qvfuzz::BudgetPicture(size);
    const long blocksBefore = StandInLiveBlocks();
    qvfuzz::Choices choices(data, size);

    ImageDocument doc;
    LoadPrevious(&doc);
    const std::vector<BYTE> previous(doc.dib, doc.dib + WorkDibBytes(2, 2));
    qvfuzz::SetPath(&doc, qvfuzz::InputFile(data, size));

    // Now and then the reader's first or second memory block is refused:
    // the read must fail as cleanly as on a damaged file.
    const bool starve = choices.Next(16) == 0;
    if (starve)
        StandInFailNthAllocation(1 + static_cast<long>(choices.Next(2)));
    const bool read = ReadBmpFile(&doc).ok();
    StandInFailNthAllocation(0);
    if (!read) {
        qvfuzz::Check(doc.width == 2 && doc.height == 2 && doc.dib != nullptr, "failed read kept the picture");
        qvfuzz::Check(std::memcmp(doc.dib, previous.data(), previous.size()) == 0, "failed read kept the pixels");
        ReleaseDocument(&doc);
        qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked by a failed read");
        return 0;
    }
    qvfuzz::Check(PictureSizeAllowed(doc.width, doc.height), "picture within the limits");
    doc.bitsOffset = kWorkDibHeaderBytes;
    doc.isModified = 0;
    ComputeLuminance(&doc);
    qvfuzz::RegionRoundTrip(&doc, &choices);

    static const int kDepths[3] = {16, 24, 32};
    const BmpWriteSettings settings{kDepths[choices.Next(3)]};
    const std::string& out = qvfuzz::OutputFile(".bmp");
    qvfuzz::SetPath(&doc, out);
    if (WriteBmpFile(&doc, settings).ok()) {
        ImageDocument back;
        ResetDocument(&back);
        qvfuzz::SetPath(&back, out);
        qvfuzz::Check(ReadBmpFile(&back).ok(), "own file reads back");
        qvfuzz::Check(back.width == doc.width && back.height == doc.height, "own file keeps the size");
        if (settings.depth != 16) {
            const BYTE* a = WorkDibPixels(doc.dib);
            const BYTE* b = WorkDibPixels(back.dib);
            const std::size_t count = static_cast<std::size_t>(doc.width) * static_cast<std::size_t>(doc.height);
            for (std::size_t i = 0; i < count; ++i, a += 4, b += 4)
                qvfuzz::Check(a[0] == b[0] && a[1] == b[1] && a[2] == b[2], "own file keeps the colours");
        }
        ReleaseDocument(&back);
        std::remove(out.c_str());
    }
    ReleaseDocument(&doc);
    qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked");
    return 0;
}

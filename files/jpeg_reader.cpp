#include "files/jpeg_reader.h"

#include "platform/file_names.h"
#include "image/blocks.h"
#include "files/jpeg_codec.h"

#include <cstdio>

Outcome ReadJpegFile(ImageDocument* doc)
{
    std::FILE* probe = OpenFileUtf8(doc->path, "rb");
    if (!probe)
        return Fail(Failure::OpenFailed);
    std::fclose(probe);

    Outcome refused;
    std::int32_t width = 0;
    std::int32_t height = 0;
    JpegDecoder* decoder = JpegDecoderOpen(doc->path, &width, &height, &refused);
    if (!decoder)
        return refused;

    // The block has 4 spare bytes at its end, as every WorkDib from this
    // reader has had.
    HGLOBAL block = AllocateBlock(WorkDibBlockBytes(width, height));
    if (!block) {
        JpegDecoderClose(decoder);
        return Fail(Failure::OutOfMemory);
    }
    ReleaseKeptBlocksForLibraries();
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    Outcome outcome = JpegDecoderRead(decoder, WorkDibPixels(dib));
    JpegDecoderClose(decoder);
    if (!outcome.ok()) {
        GlobalUnlock(block);
        FreeBlock(block);
        return outcome;
    }
    WriteWorkDibHeader(dib, width, height);
    GlobalUnlock(block);

    // Decoded: only now does the document give up its picture.
    AdoptWorkDib(doc, block, width, height, &outcome);
    return outcome;
}

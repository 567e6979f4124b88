#include "files/jpeg_writer.h"

#include "platform/file_names.h"
#include "image/blocks.h"
#include "files/jpeg_codec.h"
#include "files/safe_replace.h"

namespace {

// The encoder's bytes go straight to the temporary file, through the same
// file calls as every other write of the program.
struct FileSink {
    HANDLE file;
    bool failed;
};

bool WriteToFile(void* context, const std::uint8_t* bytes, std::size_t count)
{
    auto* sink = static_cast<FileSink*>(context);
    DWORD written = 0;
    if (!WriteFile(sink->file, bytes, static_cast<DWORD>(count), &written, nullptr) || written != count) {
        sink->failed = true;
        return false;
    }
    return true;
}

}  // namespace

Outcome WriteJpegFile(ImageDocument* doc, const JpegWriteSettings& settings)
{
    if (!doc->isLoaded || !doc->dib)
        return Fail(Failure::NothingLoaded);
    char temporary[kTempPathBytes];
    if (MakeTemporaryPath(doc->path, temporary) != 0)
        return Fail(Failure::JpegWriteFailed, Cause::NameTooLong);
    FileSink sink{CreateFileUtf8(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS),
                  false};
    if (sink.file == INVALID_HANDLE_VALUE)
        return Fail(Failure::JpegWriteFailed, Cause::CannotCreate);

    ReleaseKeptBlocksForLibraries();
    Outcome outcome = JpegEncode(WriteToFile, &sink, WorkDibPixels(doc->dib), doc->width, doc->height,
                                 settings.quality, settings.progressive);
    if (sink.failed)
        outcome = Fail(Failure::JpegWriteFailed, Cause::WriteIncomplete);
    // The close reports delayed write errors (a full disk on a network
    // share).
    if (!CloseHandle(sink.file) && outcome.ok())
        outcome = Fail(Failure::JpegWriteFailed, Cause::WriteIncomplete);
    if (!outcome.ok()) {
        DiscardTemporary(temporary);
        return outcome;
    }
    if (ReplaceWithTemporary(temporary, doc->path) != 0)
        return Fail(Failure::JpegWriteFailed, Cause::CannotReplace);
    return {};
}

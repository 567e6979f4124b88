#include "files/jpeg_writer.h"

#include "image/blocks.h"
#include "image/messages.h"
#include "files/file_settings.h"
#include "files/jpeg_codec.h"
#include "files/safe_replace.h"

#include <cstdio>

namespace {

void ReportWriteFailure(HWND window, const char* reason)
{
    char text[kJpegMessageBytes + 64];
    std::snprintf(text, sizeof text, "%s\n(%s)", msg::kJpegWriteFailed, reason);
    ReportError(window, text);
}

constexpr char kIncompleteWrite[] = "ファイルを最後まで書き込めませんでした。";

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

int WriteJpegFile(HWND window, ImageDocument* doc)
{
    if (!doc->isLoaded || !doc->dib) {
        ReportError(window, msg::kNothingLoaded);
        return -1;
    }
    char temporary[kTempPathBytes];
    if (MakeTemporaryPath(doc->path, temporary) != 0) {
        ReportWriteFailure(window, "ファイル名が長すぎます。");
        return -1;
    }
    FileSink sink{CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
                  false};
    if (sink.file == INVALID_HANDLE_VALUE) {
        ReportWriteFailure(window, "ファイルを作成できません。");
        return -1;
    }

    char reason[kJpegMessageBytes] = {};
    ReleaseKeptBlocksForLibraries();
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    int result = JpegEncode(WriteToFile, &sink, WorkDibPixels(doc->dib), doc->width, doc->height,
                            JpegQualityStep + kJpegQualityBase, JpegProgressive != 0, reason);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    if (sink.failed)
        std::snprintf(reason, sizeof reason, "%s", kIncompleteWrite);
    // The close reports delayed write errors (a full disk on a network
    // share).
    if (!CloseHandle(sink.file) && result == 0) {
        result = -1;
        std::snprintf(reason, sizeof reason, "%s", kIncompleteWrite);
    }
    if (result != 0) {
        DiscardTemporary(temporary);
        ReportWriteFailure(window, reason);
        return -1;
    }
    if (ReplaceWithTemporary(temporary, doc->path) != 0) {
        ReportWriteFailure(window, "元のファイルを置き換えられません。");
        return -1;
    }
    return 0;
}

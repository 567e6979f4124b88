#include "files/jpeg_writer.h"

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
    std::FILE* file = std::fopen(temporary, "wb");
    if (!file) {
        ReportWriteFailure(window, "ファイルを作成できません。");
        return -1;
    }

    char reason[kJpegMessageBytes] = {};
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    int result = JpegEncode(file, WorkDibPixels(doc->dib), doc->width, doc->height,
                            JpegQualityStep + kJpegQualityBase, JpegProgressive != 0, reason);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    // The stdio destination does not look at its writes: the stream's error
    // flag and the close tell whether everything reached the disk.
    if (result == 0 && (std::fflush(file) != 0 || std::ferror(file))) {
        result = -1;
        std::snprintf(reason, sizeof reason, "%s", "ファイルを最後まで書き込めませんでした。");
    }
    if (std::fclose(file) != 0 && result == 0) {
        result = -1;
        std::snprintf(reason, sizeof reason, "%s", "ファイルを最後まで書き込めませんでした。");
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

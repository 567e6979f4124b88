// The text-mark command of quillvane-cli.
#include "cli/batch.h"
#include "cli/text_mark.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFileFailed = 1;
constexpr int kExitUsage = 2;

int TextMarkProblem(const std::string& problem)
{
    std::fprintf(stderr, "quillvane-cli: %s\n", problem.c_str());
    return kExitUsage;
}

bool IsDirectory(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int RunTextMark(const CliOptions& options)
{
    if (IsDirectory(options.output))
        return TextMarkProblem("text-mark writes one file; '" + options.output + "' is a directory");
    const CliFormat format =
        options.format != CliFormat::FromName ? options.format : FormatFromExtension(options.output);
    if (format == CliFormat::Jpeg)
        return TextMarkProblem("a text mark is written as a BMP file: JPEG would blur its edges ('" +
                               options.output + "')");
    if (format != CliFormat::Bmp)
        return TextMarkProblem("cannot tell the output type from '" + options.output + "': name it .bmp");

    TextField field;
    std::string problem;
    if (RenderTextField(options.text, &field, &problem) != 0)
        return TextMarkProblem(problem);
    if (BeginBatch(options) != 0) {
        EndBatch();
        return kExitFileFailed;
    }
    int result = BuildTextMarkDocument(field, options.text.soften, &MainDocument);
    if (result == 0)
        result = WriteBatchPicture(options.output, CliFormat::Bmp);
    EndBatch();
    return result == 0 ? kExitOk : kExitFileFailed;
}

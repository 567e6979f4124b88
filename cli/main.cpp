// quillvane-cli: the batch front-end.  Parses the command line, decides
// where each result goes, and hands every input to the batch runner.
//
// Several inputs run in parallel, one copy of the program per file (see
// RunBatchInWorkers), unless --jobs 1.
//
// Exit status: 0 when every file was done, 1 when any file failed (the
// others still run), 2 for bad usage (then nothing is written).
#include "cli/batch.h"
#include "cli/options.h"
#include "cli/text_mark.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#ifndef QUILLVANE_VERSION
#define QUILLVANE_VERSION "unknown"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFileFailed = 1;
constexpr int kExitUsage = 2;

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "quillvane-cli: %s\nTry 'quillvane-cli --help' for more information.\n", problem.c_str());
    return kExitUsage;
}

bool IsDirectory(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Decides the target from -o and --format before anything is read, so
// that a usage problem is found while nothing has been written.
int ChooseTarget(const CliOptions& options, BatchTarget* target, std::string* problem)
{
    target->outputFile = nullptr;
    target->outputDirectory = nullptr;
    target->format = options.format;
    if (IsDirectory(options.output)) {
        target->outputDirectory = options.output.c_str();
        return 0;
    }
    if (options.inputs.size() > 1) {
        *problem = "with several inputs, -o must name an existing directory ('" + options.output + "' is none)";
        return -1;
    }
    if (options.output.back() == '/') {
        *problem = "the output directory '" + options.output + "' does not exist";
        return -1;
    }
    if (target->format == CliFormat::FromName)
        target->format = FormatFromExtension(options.output);
    if (target->format == CliFormat::FromName) {
        *problem = "cannot tell the output type from '" + options.output +
                   "': name it .bmp, .jpg or .jpeg, or give --format bmp|jpeg";
        return -1;
    }
    target->outputFile = options.output.c_str();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    CliOptions options;
    std::string problem;
    if (ParseCliOptions(argc, argv, &options, &problem) != 0)
        return UsageError(problem);
    if (options.command == CliCommand::Help) {
        std::fputs(CliUsageText(), stdout);
        return kExitOk;
    }
    if (options.command == CliCommand::Version) {
        std::puts("quillvane-cli " QUILLVANE_VERSION);
        return kExitOk;
    }

    if (options.command == CliCommand::TextMark)
        return RunTextMark(options);

    BatchTarget target = {};
    if (ChooseTarget(options, &target, &problem) != 0)
        return UsageError(problem);

    // bump --text: the text is drawn once, before anything is read, so that
    // a problem with the text or the font is a usage error.
    TextField textMark;
    const bool stampsText = options.command == CliCommand::Bump && options.text.given;
    if (stampsText && RenderTextField(options.text, &textMark, &problem) != 0) {
        std::fprintf(stderr, "quillvane-cli: %s\n", problem.c_str());
        return kExitUsage;
    }

    if (BeginBatch(options, stampsText ? &textMark : nullptr) != 0) {
        EndBatch();
        return kExitFileFailed;
    }
    const std::size_t count = options.inputs.size();
    const int jobs = options.jobs > 0 ? options.jobs : CountProcessorCores();
    long failed = -1;
    if (count > 1 && jobs > 1) {
        // The watermark was read above only to refuse a bad one before any
        // worker starts; each worker reads it again for itself.
        EndBatch();
        failed = RunBatchInWorkers(options, target, static_cast<int>(std::min<std::size_t>(count, jobs)));
        if (failed < 0 && BeginBatch(options, stampsText ? &textMark : nullptr) != 0) {
            EndBatch();
            return kExitFileFailed;
        }
    }
    if (failed < 0) {
        failed = 0;
        std::vector<std::string> written;
        for (std::size_t i = 0; i < count; ++i) {
            const std::string& input = options.inputs[i];
            if (count > 1) {
                std::fprintf(stderr, "[%zu/%zu] %s\n", i + 1, count, input.c_str());
                std::fflush(stderr);
            }
            if (RunBatchFile(options, input, target, &written) != 0)
                ++failed;
        }
        EndBatch();
    }
    if (failed > 0 && count > 1)
        std::fprintf(stderr, "quillvane-cli: %ld of %zu files failed\n", failed, count);
    return failed > 0 ? kExitFileFailed : kExitOk;
}

// quillvane-cli: the batch front-end.  Parses the command line, plans
// where each result goes, and hands every input to the batch runner.
//
// Several inputs run in parallel, one copy of the program per file (see
// RunBatchInWorkers), unless --jobs 1.
//
// Exit status: 0 when every file was done, 1 when any file failed (the
// others still run), 2 for bad usage (then nothing is written).
#include "cli/batch.h"
#include "cli/batch_plan.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/system.h"
#include "cli/text_mark_command.h"
#include "cli/usage.h"
#include "cli/worker_pool.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#ifndef QUILLVANE_VERSION
#define QUILLVANE_VERSION "unknown"
#endif

namespace {

int UsageError(const std::string& problem)
{
    WriteError("quillvane-cli: " + problem + "\n");
    WriteError(_("Try 'quillvane-cli --help' for more information.\n"));
    return kExitUsage;
}

// Runs the jobs one after another in this process.
void RunHere(const CliOptions& options, const BatchPlan& plan)
{
    std::vector<std::string> written;
    for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
        const BatchJob& job = plan.jobs[i];
        if (plan.isBatch)
            ProgressAnnounce(i, job.input);
        TakeReportedText();
        const BatchTarget target = {job.output.c_str(), nullptr, job.format, std::string()};
        const bool ok = RunBatchFile(options, job.input, target, &written) == 0;
        std::fflush(stderr);
        ProgressFinished(ok, TakeReportedText());
    }
}

}  // namespace

int RunTool(int argc, char** argv)
{
    StartLanguage();
    CliOptions options;
    std::string problem;
    if (ParseCliOptions(argc, argv, &options, &problem) != 0)
        return UsageError(problem);
    if (options.command == CliCommand::Help) {
        WriteOut(CliUsageText());
        return kExitOk;
    }
    if (options.command == CliCommand::Version) {
        WriteOut("quillvane-cli " QUILLVANE_VERSION "\n");
        return kExitOk;
    }

    if (options.command == CliCommand::TextMark)
        return RunTextMark(options);

    // bump --text: the text is drawn once, before anything is read or
    // planned, so that a problem with the text or the font is a usage
    // error.  A text with placeholders is checked here and drawn for each
    // photo; what the photo lacks is that photo's failure.
    TextField textMark;
    const bool stampsText = options.command == CliCommand::Bump && options.textGiven;
    if (stampsText && PrepareTextTemplate(&options, &problem) != 0) {
        WriteError("quillvane-cli: " + problem + "\n");
        return kExitUsage;
    }
    if (stampsText && !options.textPerPhoto && RenderTextMark(options.text, &textMark, &problem) != 0) {
        WriteError("quillvane-cli: " + problem + "\n");
        return kExitUsage;
    }

    BatchPlan plan;
    if (PlanBatch(options, &plan, &problem) != 0)
        return UsageError(problem);

    const TextField* onceMark = stampsText && !options.textPerPhoto ? &textMark : nullptr;
    if (BeginBatch(options, onceMark) != 0) {
        EndBatch();
        return kExitFileFailed;
    }
    for (const BatchJob& job : plan.skipped)
        WriteError(Format(_("quillvane-cli: %s: skipped, %s exists\n"), job.input.c_str(), job.output.c_str()));

    const std::size_t count = plan.jobs.size();
    const int jobs = options.jobs > 0 ? options.jobs : CountProcessorCores();
    ProgressBegin(count, plan.isBatch);
    bool ran = false;
    if (count > 1 && jobs > 1) {
        // The watermark was read above only to refuse a bad one before any
        // worker starts; each worker reads it again for itself.  A text
        // mark, too, is drawn again by each worker: drawing it costs about
        // what reading it back from a file would.
        EndBatch();
        ran = RunBatchInWorkers(options, plan.jobs, static_cast<int>(std::min<std::size_t>(count, jobs))) == 0;
        if (!ran && BeginBatch(options, onceMark) != 0) {
            EndBatch();
            return kExitFileFailed;
        }
    }
    if (!ran) {
        RunHere(options, plan);
        EndBatch();
    }
    ProgressEnd();
    if (plan.isBatch)
        ProgressSummary(plan.skipped.size());
    return ProgressFailedCount() > 0 ? kExitFileFailed : kExitOk;
}

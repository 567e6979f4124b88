#include "cli/batch.h"

#include "cli/batch_plan.h"
#include "cli/picture_files.h"
#include "cli/progress.h"
#include "cli/placement.h"
#include "cli/report.h"
#include "cli/text_mark.h"
#include "files/bmp_reader.h"
#include "files/file_settings.h"
#include "files/jpeg_reader.h"
#include "image/blocks.h"
#include "image/command_sequence.h"
#include "image/image_document.h"
#include "processing/bump.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace {

// Reports text unless something was reported since mark.
void ReportUnlessReported(long mark, const std::string& name, const char* text)
{
    if (ReportedCount() == mark)
        Report(name, text);
}

// The open command's sequence on a fresh record: read, then luminance.
// *type receives the reader used; a PNG or WebP file's transparency goes
// to *alpha.
int ReadPicture(ImageDocument* doc, const std::string& path, int* type, std::vector<std::uint8_t>* alpha)
{
    ReleaseDocument(doc);
    ResetDocument(doc);
    alpha->clear();
    if (CopyPathInto(doc, path) != 0)
        return -1;
    *type = SniffPictureType(path);
    if (*type == kTypeBmp || *type == kTypeJpeg)
        FileTypeIndex = *type;
    SetReportName(path.c_str());
    const long mark = ReportedCount();
    const int result = *type == kTypeBmp    ? ReadBmpFile(nullptr, doc)
                       : *type == kTypeJpeg ? ReadJpegFile(nullptr, doc)
                                            : ReadPortablePicture(doc, *type, alpha);
    SetReportName(nullptr);
    if (result != 0 || !doc->dib) {
        ReportUnlessReported(mark, path, _("the file cannot be read"));
        ReleaseDocument(doc);
        return -1;
    }
    doc->isModified = 0;
    doc->bitsOffset = kWorkDibHeaderBytes;
    ComputeLuminance(doc);
    return 0;
}

// What the bump dialog does at opening: the watermark becomes a private
// copy of the picture (or region), luminance bytes included.
int CopyPictureInto(ImageDocument* copy, const ImageDocument* source)
{
    ReleaseDocument(copy);
    *copy = *source;
    copy->hDib = nullptr;
    copy->dib = nullptr;
    copy->bmi = nullptr;
    const std::size_t bytes = WorkDibBytes(source->width, source->height);
    HGLOBAL block = AllocateBlock(bytes);
    if (!block) {
        ResetDocument(copy);
        return -1;
    }
    copy->hDib = block;
    copy->dib = static_cast<BYTE*>(GlobalLock(block));
    std::memcpy(copy->dib, source->dib, bytes);
    // The copy's own header: the record must not point into the source.
    copy->bmi = reinterpret_cast<BITMAPINFO*>(copy->dib);
    return 0;
}

// A command's run between the cut-out and the engine: the options, the
// input's name for messages, and the watermark the bump uses (the read
// one, the picture's own copy, or a resized copy held here).
struct CommandRun {
    const CliOptions* options;
    const std::string* input;
    ImageDocument* watermark;
    ImageDocument sized;
    BumpParams bump;      // the options' bump with this picture's placement
    EffectParams effect;  // the options' effect with this picture's bounds
};

// The settings and checks of each command, between the cut-out and the
// engine: Failure::None to go on, Failure::Declined on a problem (reported).
Failure PrepareBump(CommandRun* run)
{
    const CliOptions& o = *run->options;
    const std::string& input = *run->input;
    run->watermark = &WatermarkDocument;
    if (BumpsWithOwnPicture(o) && CopyPictureInto(run->watermark, &MainDocument) != 0) {
        Report(input, _("not enough memory for the watermark"));
        return Failure::Declined;
    }
    // --size, --gravity, --margin: a resized watermark at its own size.
    SizedPlacement place = {};
    const bool sized = UsesSizedPlacement(o);
    if (sized) {
        std::string problem;
        if (PlaceSizedWatermark(o, MainDocument.width, MainDocument.height, run->watermark->width,
                                run->watermark->height, &place, &problem) != 0) {
            Report(input, problem);
            return Failure::Declined;
        }
        if (ResizeWatermark(run->watermark, place.width, place.height, &run->sized) != 0) {
            Report(input, _("not enough memory for the watermark"));
            return Failure::Declined;
        }
        run->watermark = &run->sized;
    }

    run->bump = o.bump;
    WatermarkLayout& layout = run->bump.layout;
    if (sized) {
        const bool tile = layout.repeatTile;
        layout.dontEnlarge = !tile;
        layout.offsetX = tile ? 0 : place.x;
        layout.offsetY = tile ? 0 : place.y;
    }

    // The offsets the dialog's position bars would allow: the room the
    // watermark leaves (0 where a bar is not shown).
    const BumpPlacement placement = PlaceWatermark(layout, MainDocument.width, MainDocument.height,
                                                   run->watermark->width, run->watermark->height);
    const long maxX = placement.offsetMaxX;
    const long maxY = placement.offsetMaxY;
    if (layout.offsetX > maxX || layout.offsetY > maxY) {
        Report(input, Format(_("--offset %d,%d is outside the room the watermark leaves here (0..%ld, 0..%ld)"),
                             layout.offsetX, layout.offsetY, maxX, maxY));
        return Failure::Declined;
    }
    return Failure::None;
}

// The effect's settings for this picture (or region): the contrast
// bounds given, or else its measured ranges, as the dialog sets them.
void PrepareEffect(CommandRun* run)
{
    const CliOptions& o = *run->options;
    run->effect = o.effect;
    if (o.boundsGiven)
        return;
    const ChannelRanges ranges =
        MeasureChannelRanges(WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height);
    for (int c = 0; c < 3; ++c) {
        run->effect.lowerBound[c] = ranges.minimum[c];
        run->effect.upperBound[c] = ranges.maximum[c];
    }
}

Failure PrepareCommand(void* context)
{
    auto* run = static_cast<CommandRun*>(context);
    const CliOptions& o = *run->options;
    switch (o.command) {
    case CliCommand::Bump: return PrepareBump(run);
    case CliCommand::Effect: PrepareEffect(run); return Failure::None;
    default: return Failure::None;
    }
}

// The engine on the document as the cut-out left it: Failure::None, or
// Failure::OutOfMemory.
Failure ApplyCommand(void* context)
{
    const auto* run = static_cast<const CommandRun*>(context);
    BYTE* pixels = WorkDibPixels(MainDocument.dib);
    switch (run->options->command) {
    case CliCommand::Bump: return ApplyBump(run->bump, run->watermark, &MainDocument);
    case CliCommand::Filter: return ApplyNeighbourhoodFilter(run->options->filter, MainDocument.hDib);
    case CliCommand::Effect:
        ApplyEffect(run->effect, pixels, reinterpret_cast<const BITMAPINFOHEADER*>(MainDocument.dib));
        return Failure::None;
    case CliCommand::Ysh:
        ApplyColourAdjust(run->options->ysh, pixels, MainDocument.width, MainDocument.height);
        return Failure::None;
    default: return Failure::None;
    }
}

int OutputType(int inputType, const BatchTarget& target)
{
    return TypeForFormat(target.format, inputType);
}

std::string OutputPathFor(const std::string& input, const BatchTarget& target, int type)
{
    if (target.outputFile)
        return target.outputFile;
    std::string path = target.outputDirectory;
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + StemOf(input) + target.suffix + TypeExtension(type);
}

std::string ClashText(const std::string& output)
{
    return Format(_("its result %s would replace the result of an earlier input"), output.c_str());
}

int WritePicture(const CliOptions& o, const std::string& output, int type)
{
    if (WriteResultPicture(o, output, type) != 0)
        return -1;
    MainDocument.isModified = 0;
    return 0;
}

// Everything after a successful read; the caller releases the pictures.
int ProcessAndWrite(const CliOptions& o, const std::string& input, int inputType, const BatchTarget& target,
                    std::vector<std::string>* written)
{
    if (o.command != CliCommand::Convert) {
        const PictureRect region = {o.region[0], o.region[1], o.region[2], o.region[3]};
        const LONG width = MainDocument.width;
        const LONG height = MainDocument.height;
        if (o.regionGiven && (region.left >= width || region.top >= height || region.right < 0 || region.bottom < 0)) {
            Report(input, Format(_("--region %ld,%ld,%ld,%ld lies wholly outside the picture (%ld x %ld)"),
                                 static_cast<long>(region.left), static_cast<long>(region.top),
                                 static_cast<long>(region.right), static_cast<long>(region.bottom),
                                 static_cast<long>(width), static_cast<long>(height)));
            return -1;
        }
        CommandRun run{&o, &input, nullptr, {}, {}, {}};
        SetReportName(input.c_str());
        const long mark = ReportedCount();
        const Failure result = RunProcessingCommand(&MainDocument, o.regionGiven ? &region : nullptr,
                                                    ProcessingSteps{PrepareCommand, ApplyCommand, &run});
        SetReportName(nullptr);
        ReleaseDocument(&run.sized);
        if (result == Failure::OutOfMemory) {
            // The core's "メモリーが足りません。" as the tool says it.
            Report(input, _("not enough memory"));
            return -1;
        }
        if (result != Failure::None) {
            ReportUnlessReported(mark, input, _("not enough memory for the region"));
            return -1;
        }
    }

    const int type = OutputType(inputType, target);
    const std::string output = OutputPathFor(input, target, type);
    for (const std::string& earlier : *written)
        if (earlier == output) {
            Report(input, ClashText(output));
            return -1;
        }
    if (WritePicture(o, output, type) != 0)
        return -1;
    written->push_back(output);
    return 0;
}

}  // namespace

int BeginBatch(const CliOptions& options, const TextField* textMark)
{
    RouteCoreMessages();
    BmpSaveDepth = options.bmpDepth;
    JpegQualityStep = options.quality - kJpegQualityBase;
    JpegProgressive = options.progressive ? 1 : 0;
    ResetDocument(&MainDocument);
    ResetDocument(&WatermarkDocument);
    if (options.command != CliCommand::Bump)
        return 0;
    if (!options.watermark.empty()) {
        int type = 0;
        std::vector<std::uint8_t> alpha;
        if (ReadPicture(&WatermarkDocument, options.watermark, &type, &alpha) != 0)
            return -1;
        // A logo on a transparent ground rises where it is opaque.
        UseAlphaAsHeights(&WatermarkDocument, alpha);
    } else if (textMark && BuildTextMarkDocument(*textMark, options.text.soften, &WatermarkDocument) != 0) {
        return -1;
    }
    return 0;
}

int RunBatchFile(const CliOptions& options, const std::string& input, const BatchTarget& target,
                 std::vector<std::string>* written)
{
    int inputType = 0;
    int result = ReadPicture(&MainDocument, input, &inputType, &MainExtras.alpha);
    if (result == 0)
        result = PrepareInputPicture(options, input, inputType);
    if (result == 0)
        result = ProcessAndWrite(options, input, inputType, target, written);
    ReleaseDocument(&MainDocument);
    if (BumpsWithOwnPicture(options))
        ReleaseDocument(&WatermarkDocument);  // the per-picture copy
    return result;
}

void EndBatch()
{
    ReleaseDocument(&MainDocument);
    ReleaseDocument(&WatermarkDocument);
    ReleaseDocument(&DisplayCopy);
    StopRoutingCoreMessages();
    MainExtras = PictureExtras();
}

std::string BatchOutputPath(const std::string& input, const BatchTarget& target)
{
    return OutputPathFor(input, target, OutputType(SniffPictureType(input), target));
}

int CountProcessorCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

// ---------------------------------------------------------------------------
// Several files at once, each in its own process.

namespace {

const char kSelfExecutable[] = "/proc/self/exe";
// A worker writes a line or two; more than this is cut, not buffered.
constexpr std::size_t kMaxWorkerMessageBytes = 64 * 1024;

enum class WorkState { Waiting, Running, Finished };

struct WorkItem {
    std::string input;
    std::string output;
    long sameOutputBefore = -1;  // the latest earlier input with the same result path
    WorkState state = WorkState::Waiting;
    pid_t pid = -1;
    int pipe = -1;               // read end of the worker's standard error
    std::string messages;        // what the worker wrote, shown in input order
    bool ok = false;
    bool claimsOutput = false;   // later inputs may not replace its result path
};

void Write(const std::string& text)
{
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

// Called for each input in input order once it and all before it are done:
// the same lines a run in one process writes.
void ShowResult(std::size_t index, const WorkItem& item)
{
    if (!item.ok)
        ProgressNoteFailure(item.messages);
    if (ProgressOnTerminal() && item.messages.empty())
        return;
    ProgressAnnounce(index, item.input);
    Write(item.messages);
    ProgressRedraw();
}

void Finish(WorkItem* item)
{
    item->state = WorkState::Finished;
    if (item->ok)
        item->claimsOutput = true;
    ProgressCounted(item->ok);
}

// Starts the worker for one input with its standard error on a pipe.
// Returns 0, or an errno value.
int StartWorker(const CliOptions& options, WorkItem* item)
{
    std::vector<std::string> words;
    words.push_back("quillvane-cli");
    words.insert(words.end(), options.workerArguments.begin(), options.workerArguments.end());
    words.push_back("-o");
    words.push_back(item->output);
    words.push_back("--");
    words.push_back(item->input);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    posix_spawn_file_actions_t actions;
    int result = posix_spawn_file_actions_init(&actions);
    if (result == 0) {
        result = posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        if (result == 0)
            result = posix_spawn(&item->pid, kSelfExecutable, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    close(fds[1]);
    if (result != 0) {
        close(fds[0]);
        return result;
    }
    item->pipe = fds[0];
    item->state = WorkState::Running;
    return 0;
}

// Reads what the worker wrote; at end of file reaps it and records how it
// ended.  Returns true when the worker is finished.
bool ReadWorker(WorkItem* item)
{
    char buffer[4096];
    const ssize_t got = read(item->pipe, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return false;
    if (got > 0) {
        const std::size_t room = kMaxWorkerMessageBytes - std::min(kMaxWorkerMessageBytes, item->messages.size());
        item->messages.append(buffer, std::min(room, static_cast<std::size_t>(got)));
        return false;
    }
    close(item->pipe);
    item->pipe = -1;
    int status = 0;
    pid_t reaped = -1;
    do
        reaped = waitpid(item->pid, &status, 0);
    while (reaped < 0 && errno == EINTR);
    if (!item->messages.empty() && item->messages.back() != '\n')
        item->messages += '\n';
    if (reaped < 0) {
        item->messages += "quillvane-cli: " + item->input + ": " + _("the worker process was lost") + "\n";
    } else if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        item->messages += "quillvane-cli: " + item->input + ": " +
                          Format(_("the worker process was stopped by signal %d (%s)"), signal, strsignal(signal)) + "\n";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        item->ok = true;
    } else if (item->messages.empty()) {
        item->messages += "quillvane-cli: " + item->input + ": " +
                          Format(_("failed (exit status %d)"), WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "\n";
    }
    return true;
}

// Starts waiting inputs, first ones first, while fewer than jobs run.  An
// input that shares its result path with an earlier one waits for it.
void StartReadyWork(const CliOptions& options, int jobs, std::vector<WorkItem>* items, int* running)
{
    for (WorkItem& item : *items) {
        if (*running >= jobs)
            return;
        if (item.state != WorkState::Waiting)
            continue;
        if (item.sameOutputBefore >= 0) {
            const WorkItem& earlier = (*items)[static_cast<std::size_t>(item.sameOutputBefore)];
            if (earlier.state != WorkState::Finished)
                continue;
            if (earlier.claimsOutput) {
                item.messages = "quillvane-cli: " + item.input + ": " + ClashText(item.output) + "\n";
                Finish(&item);
                item.claimsOutput = true;
                continue;
            }
        }
        const int error = StartWorker(options, &item);
        if (error != 0) {
            item.messages = "quillvane-cli: " + item.input + ": " +
                            Format(_("cannot start a worker process: %s"), std::strerror(error)) + "\n";
            Finish(&item);
            continue;
        }
        ++*running;
    }
}

}  // namespace

int RunBatchInWorkers(const CliOptions& options, const std::vector<BatchJob>& batch, int jobs)
{
    if (access(kSelfExecutable, X_OK) != 0)
        return -1;
    const std::size_t count = batch.size();
    std::vector<WorkItem> items(count);
    for (std::size_t i = 0; i < count; ++i) {
        items[i].input = batch[i].input;
        items[i].output = batch[i].output;
        for (std::size_t j = i; j-- > 0;)
            if (items[j].output == items[i].output) {
                items[i].sameOutputBefore = static_cast<long>(j);
                break;
            }
    }

    int running = 0;
    std::size_t shown = 0;
    std::vector<pollfd> polls;
    std::vector<std::size_t> polled;
    while (shown < count) {
        StartReadyWork(options, jobs, &items, &running);
        for (; shown < count && items[shown].state == WorkState::Finished; ++shown)
            ShowResult(shown, items[shown]);
        if (shown == count)
            break;

        polls.clear();
        polled.clear();
        for (std::size_t i = 0; i < count; ++i)
            if (items[i].state == WorkState::Running) {
                polls.push_back({items[i].pipe, POLLIN, 0});
                polled.push_back(i);
            }
        if (polls.empty())
            continue;  // only inputs that were just refused or failed to start
        if (poll(polls.data(), polls.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            // Should not happen; read the first worker to its end rather than spin.
            polls[0].revents = POLLIN;
        }
        for (std::size_t k = 0; k < polls.size(); ++k) {
            if (polls[k].revents == 0)
                continue;
            WorkItem* item = &items[polled[k]];
            if (ReadWorker(item)) {
                --running;
                Finish(item);
            }
        }
    }
    return 0;
}

#include "cli/batch.h"

#include "cli/text_mark.h"

#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/file_settings.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "image/image_document.h"
#include "image/region_swap.h"
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

constexpr int kTypeBmp = 1;   // the values of FileTypeIndex
constexpr int kTypeJpeg = 2;

// The file the core's next message is about, and how many messages have
// been shown, so that a failure the core did not report still gets a line.
const char* ReportName = nullptr;
long ReportCount = 0;

void ReportToStandardError(const char* /*caption*/, const char* text)
{
    // A message box may start with a blank and hold several lines; the
    // command line gets one line per problem.
    while (*text == ' ')
        ++text;
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    if (ReportName)
        std::fprintf(stderr, "quillvane-cli: %s: %s\n", ReportName, line.c_str());
    else
        std::fprintf(stderr, "quillvane-cli: %s\n", line.c_str());
    ++ReportCount;
}

void Report(const std::string& name, const std::string& text)
{
    std::fprintf(stderr, "quillvane-cli: %s: %s\n", name.c_str(), text.c_str());
    ++ReportCount;
}

// Reports text unless the core already reported something since mark.
void ReportUnlessReported(long mark, const std::string& name, const char* text)
{
    if (ReportCount == mark)
        Report(name, text);
}

bool EndsWithNoCase(const std::string& name, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    if (name.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = name[name.size() - n + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

// The reader for a file: by its first two bytes when they say BMP or JPEG,
// else by its extension, so that a .bmp file that is no bitmap gets the
// bitmap reader's own complaint.
int SniffFileType(const std::string& path)
{
    unsigned char magic[2] = {0, 0};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file) {
        const std::size_t got = std::fread(magic, 1, 2, file);
        std::fclose(file);
        if (got == 2 && magic[0] == 'B' && magic[1] == 'M')
            return kTypeBmp;
        if (got == 2 && magic[0] == 0xFF && magic[1] == 0xD8)
            return kTypeJpeg;
    }
    return EndsWithNoCase(path, ".bmp") ? kTypeBmp : kTypeJpeg;
}

int CopyPath(ImageDocument* doc, const std::string& path)
{
    if (path.size() >= sizeof doc->path) {
        Report(path, "the path is too long (at most 255 bytes)");
        return -1;
    }
    std::memset(doc->path, 0, sizeof doc->path);
    std::memcpy(doc->path, path.data(), path.size());
    return 0;
}

// The open command's sequence on a fresh record: read, then luminance.
// *type receives the reader used.
int ReadPicture(ImageDocument* doc, bool isMain, const std::string& path, int* type)
{
    ReleaseDocument(doc);
    ResetDocument(doc, isMain);
    if (CopyPath(doc, path) != 0)
        return -1;
    *type = SniffFileType(path);
    FileTypeIndex = *type;
    ReportName = path.c_str();
    const long mark = ReportCount;
    const int result = *type == kTypeBmp ? ReadBmpFile(nullptr, doc) : ReadJpegFile(nullptr, doc);
    ReportName = nullptr;
    if (result != 0 || !doc->dib) {
        ReportUnlessReported(mark, path, "the file cannot be read");
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
    HGLOBAL block = GlobalAlloc(GHND, bytes);
    if (!block) {
        ResetDocument(copy, false);
        return -1;
    }
    copy->hDib = block;
    copy->dib = static_cast<BYTE*>(GlobalLock(block));
    std::memcpy(copy->dib, source->dib, bytes);
    // The copy's own header: the record must not point into the source.
    copy->bmi = reinterpret_cast<BITMAPINFO*>(copy->dib);
    return 0;
}

int RunBump(const CliOptions& o, const std::string& input)
{
    ProcessingMode = 2;
    ImageDocument* watermark = &WatermarkDocument;
    if (BumpsWithOwnPicture(o) && CopyPictureInto(watermark, &MainDocument) != 0) {
        Report(input, "not enough memory for the watermark");
        return -1;
    }

    BumpSettings.lightX = o.light[0];
    BumpSettings.lightY = o.light[1];
    BumpSettings.lightZ = o.light[2];
    BumpSettings.strength = o.bumpStrength;
    BumpSettings.strengthValue = static_cast<double>(o.bumpStrength);
    BumpSettings.amplification = o.amplify;
    BumpSettings.ambient = o.ambient;
    BumpSettings.KeepAspect = o.keepAspect ? 1 : 0;
    BumpSettings.DontEnlarge = o.noEnlarge ? 1 : 0;
    BumpSettings.RepeatTile = o.tile ? 1 : 0;
    BumpSettings.OffsetX = o.offsetX;
    BumpSettings.OffsetY = o.offsetY;

    // The offsets the dialog's position bars would allow; a bar that is not
    // shown allows only 0.
    const BumpPlacement placement =
        PlaceWatermark(MainDocument.width, MainDocument.height, watermark->width, watermark->height);
    const long maxX = placement.offsetBarX ? placement.offsetMaxX : 0;
    const long maxY = placement.offsetBarY ? placement.offsetMaxY : 0;
    if (o.offsetX > maxX || o.offsetY > maxY) {
        Report(input, "--offset " + std::to_string(o.offsetX) + "," + std::to_string(o.offsetY) +
                          " is outside the room the watermark leaves here (0.." + std::to_string(maxX) +
                          ", 0.." + std::to_string(maxY) + ")");
        return -1;
    }

    if (ApplyBump(nullptr, watermark, &MainDocument) != 0) {
        Report(input, "not enough memory to process the picture");
        return -1;
    }
    return 0;
}

int RunFilter(const CliOptions& o, const std::string& input)
{
    ProcessingMode = 1;
    FilterSettings.filterKind = o.filterKind;
    FilterSettings.sharpenStrength = 0;
    FilterSettings.softStrength = 0;
    FilterSettings.embossStrength = 0;
    FilterSettings.customStrength = 0;
    switch (o.filterKind) {
    case kFilterSharpen: FilterSettings.sharpenStrength = o.filterStrength; break;
    case kFilterSoft: FilterSettings.softStrength = o.filterStrength; break;
    case kFilterEmboss: FilterSettings.embossStrength = o.filterStrength; break;
    default: FilterSettings.customStrength = o.filterStrength; break;
    }
    // The user writes the kernel as seen on screen, top row first; the
    // engine's rows run bottom-up.
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            FilterSettings.customKernel[2 - row][col] = o.kernel[row * 3 + col];

    if (ApplyNeighbourhoodFilter(nullptr, MainDocument.hDib) != 0) {
        Report(input, "not enough memory to process the picture");
        return -1;
    }
    return 0;
}

void RunEffect(const CliOptions& o)
{
    BYTE* pixels = MainDocument.dib + kWorkDibHeaderBytes;
    MeasureChannelRanges(pixels, MainDocument.width, MainDocument.height);
    EffectSettings.effectKind = o.effectKind;
    EffectSettings.levelId = o.levelId;
    for (int c = 0; c < 3; ++c) {
        EffectSettings.lowerBound[c] = o.boundsGiven ? o.bounds[2 * c] : ChannelRange.minimum[c];
        EffectSettings.upperBound[c] = o.boundsGiven ? o.bounds[2 * c + 1] : ChannelRange.maximum[c];
    }
    ApplyEffect(pixels, reinterpret_cast<const BITMAPINFOHEADER*>(MainDocument.dib), EffectSettings.effectKind,
                EffectSettings.levelId);
}

void RunColourAdjust(const CliOptions& o)
{
    ResetColourAdjust();
    YshSettings.luminance = o.luminance;
    YshSettings.saturation = o.saturation;
    YshSettings.hue = o.hue;
    ColourAdjustMode = o.cmyk ? kColourModeCmyk : kColourModeYsh;
    ApplyColourAdjust(MainDocument.dib + kWorkDibHeaderBytes, MainDocument.width, MainDocument.height);
}

// The processing command between extract and commit.  Returns 0 or -1.
int RunCommand(const CliOptions& o, const std::string& input)
{
    switch (o.command) {
    case CliCommand::Bump: return RunBump(o, input);
    case CliCommand::Filter: return RunFilter(o, input);
    case CliCommand::Effect: RunEffect(o); return 0;
    case CliCommand::Ysh: RunColourAdjust(o); return 0;
    default: return 0;
    }
}

std::string StemOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

int OutputType(int inputType, const BatchTarget& target)
{
    if (target.format == CliFormat::Bmp)
        return kTypeBmp;
    if (target.format == CliFormat::Jpeg)
        return kTypeJpeg;
    return inputType;
}

std::string OutputPathFor(const std::string& input, const BatchTarget& target, int type)
{
    if (target.outputFile)
        return target.outputFile;
    std::string path = target.outputDirectory;
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + StemOf(input) + (type == kTypeBmp ? ".bmp" : ".jpg");
}

std::string ClashText(const std::string& output)
{
    return "its result " + output + " would replace the result of an earlier input";
}

int WritePicture(const std::string& output, int type)
{
    if (CopyPath(&MainDocument, output) != 0)
        return -1;
    ReportName = output.c_str();
    const long mark = ReportCount;
    const int result = type == kTypeBmp ? WriteBmpFile(nullptr, &MainDocument) : WriteJpegFile(nullptr, &MainDocument);
    ReportName = nullptr;
    if (result != 0) {
        ReportUnlessReported(mark, output, "the file cannot be written");
        return -1;
    }
    MainDocument.isModified = 0;
    return 0;
}

// Everything after a successful read; the caller releases the pictures.
int ProcessAndWrite(const CliOptions& o, const std::string& input, int inputType, const BatchTarget& target,
                    std::vector<std::string>* written)
{
    if (o.command != CliCommand::Convert) {
        SelectionRect selection = {};
        if (o.regionGiven) {
            selection.active = 1;
            selection.left = o.region[0];
            selection.top = o.region[1];
            selection.right = o.region[2];
            selection.bottom = o.region[3];
        }
        // The picture as shown unscrolled at the view's top-left corner:
        // client coordinates are picture coordinates.
        const LONG width = MainDocument.width;
        const LONG height = MainDocument.height;
        if (RegionSwapExtract(&MainDocument, &selection, 0, 0, 0, 0) != 0) {
            if (selection.left >= width || selection.top >= height || selection.right < 0 || selection.bottom < 0)
                Report(input, "--region " + std::to_string(selection.left) + "," + std::to_string(selection.top) +
                                  "," + std::to_string(selection.right) + "," + std::to_string(selection.bottom) +
                                  " lies wholly outside the picture (" + std::to_string(width) + " x " +
                                  std::to_string(height) + ")");
            else
                Report(input, "not enough memory for the region");
            return -1;
        }
        if (RunCommand(o, input) != 0) {
            RegionSwapCancel(&MainDocument, &selection);
            return -1;
        }
        RegionSwapCommit(&MainDocument, &selection, 0, 0, 0, 0);
        MainDocument.isModified = 1;
    }

    const int type = OutputType(inputType, target);
    const std::string output = OutputPathFor(input, target, type);
    for (const std::string& earlier : *written)
        if (earlier == output) {
            Report(input, ClashText(output));
            return -1;
        }
    if (WritePicture(output, type) != 0)
        return -1;
    written->push_back(output);
    return 0;
}

}  // namespace

int BeginBatch(const CliOptions& options, const TextField* textMark)
{
    SetMessageBoxSink(ReportToStandardError);
    BmpSaveDepth = options.bmpDepth;
    JpegQualityStep = options.quality - kJpegQualityBase;
    JpegProgressive = options.progressive ? 1 : 0;
    ResetDocument(&MainDocument, true);
    ResetDocument(&WatermarkDocument, false);
    if (options.command == CliCommand::Bump && !options.watermark.empty()) {
        int type = 0;
        if (ReadPicture(&WatermarkDocument, false, options.watermark, &type) != 0)
            return -1;
    }
    if (options.command == CliCommand::Bump && textMark &&
        BuildTextMarkDocument(*textMark, options.text.soften, &WatermarkDocument) != 0)
        return -1;
    return 0;
}

int RunBatchFile(const CliOptions& options, const std::string& input, const BatchTarget& target,
                 std::vector<std::string>* written)
{
    int inputType = 0;
    int result = ReadPicture(&MainDocument, true, input, &inputType);
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
    SetMessageBoxSink(nullptr);
}

int WriteBatchPicture(const std::string& output, CliFormat format)
{
    return WritePicture(output, format == CliFormat::Jpeg ? kTypeJpeg : kTypeBmp);
}

std::string BatchOutputPath(const std::string& input, const BatchTarget& target)
{
    return OutputPathFor(input, target, OutputType(SniffFileType(input), target));
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

struct ProgressDisplay {
    bool terminal;
    std::size_t count;
    std::size_t finished;  // in any order: the terminal line counts these
    std::string line;      // the terminal line as last drawn
};

void Write(const std::string& text)
{
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

// "[k/n] name", as a run in one process shows it.
std::string ProgressText(std::size_t k, std::size_t n, const std::string& name)
{
    std::string text = "[";
    text += std::to_string(k);
    text += '/';
    text += std::to_string(n);
    text += "] ";
    text += name;
    return text;
}

// Terminal only: the updating line names the file that finished last.
void ShowFinished(ProgressDisplay* display, const WorkItem& item)
{
    ++display->finished;
    if (!display->terminal)
        return;
    display->line = ProgressText(display->finished, display->count, item.input);
    std::string text = "\r";
    text += display->line;
    text += "\033[K";
    Write(text);
}

// Called for each input in input order once it and all before it are done:
// the same lines a run in one process writes, or on a terminal the
// messages above the progress line.
void ShowResult(ProgressDisplay* display, std::size_t index, const WorkItem& item)
{
    std::string text;
    if (!display->terminal) {
        text = ProgressText(index + 1, display->count, item.input);
        text += '\n';
        text += item.messages;
    } else if (!item.messages.empty()) {
        text = "\r\033[K";
        text += item.messages;
        text += display->line;
    }
    Write(text);
}

void Finish(WorkItem* item, ProgressDisplay* display)
{
    item->state = WorkState::Finished;
    if (item->ok)
        item->claimsOutput = true;
    ShowFinished(display, *item);
}

// Starts the worker for one input with its standard error on a pipe.
// Returns 0, or an errno value.
int StartWorker(const CliOptions& options, const BatchTarget& target, WorkItem* item)
{
    std::vector<std::string> words;
    words.push_back("quillvane-cli");
    words.insert(words.end(), options.workerArguments.begin(), options.workerArguments.end());
    // The worker chooses the result's name and type inside the directory
    // exactly as a run in one process does.
    words.push_back("-o");
    words.push_back(target.outputDirectory);
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
        item->messages += "quillvane-cli: " + item->input + ": the worker process was lost\n";
    } else if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        item->messages += "quillvane-cli: " + item->input + ": the worker process was stopped by signal " +
                          std::to_string(signal) + " (" + strsignal(signal) + ")\n";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        item->ok = true;
    } else if (item->messages.empty()) {
        item->messages += "quillvane-cli: " + item->input + ": failed (exit status " +
                          std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")\n";
    }
    return true;
}

// Starts waiting inputs, first ones first, while fewer than jobs run.  An
// input that shares its result path with an earlier one waits for it.
void StartReadyWork(const CliOptions& options, const BatchTarget& target, int jobs, std::vector<WorkItem>* items,
                    int* running, ProgressDisplay* display)
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
                Finish(&item, display);
                item.claimsOutput = true;
                continue;
            }
        }
        const int error = StartWorker(options, target, &item);
        if (error != 0) {
            item.messages = "quillvane-cli: " + item.input + ": cannot start a worker process: " +
                            std::strerror(error) + "\n";
            Finish(&item, display);
            continue;
        }
        ++*running;
    }
}

}  // namespace

long RunBatchInWorkers(const CliOptions& options, const BatchTarget& target, int jobs)
{
    if (!target.outputDirectory || access(kSelfExecutable, X_OK) != 0)
        return -1;
    const std::size_t count = options.inputs.size();
    std::vector<WorkItem> items(count);
    for (std::size_t i = 0; i < count; ++i) {
        items[i].input = options.inputs[i];
        items[i].output = BatchOutputPath(items[i].input, target);
        for (std::size_t j = i; j-- > 0;)
            if (items[j].output == items[i].output) {
                items[i].sameOutputBefore = static_cast<long>(j);
                break;
            }
    }

    ProgressDisplay display = {isatty(STDERR_FILENO) == 1, count, 0, std::string()};
    std::fflush(stderr);
    int running = 0;
    std::size_t shown = 0;
    std::vector<pollfd> polls;
    std::vector<std::size_t> polled;
    while (shown < count) {
        StartReadyWork(options, target, jobs, &items, &running, &display);
        for (; shown < count && items[shown].state == WorkState::Finished; ++shown)
            ShowResult(&display, shown, items[shown]);
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
                Finish(item, &display);
            }
        }
    }
    if (display.terminal)
        Write("\n");

    long failed = 0;
    for (const WorkItem& item : items)
        if (!item.ok)
            ++failed;
    return failed;
}

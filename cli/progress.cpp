#include "cli/progress.h"

#include "cli/system.h"
#include "cli/text.h"

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

struct ProgressState {
    bool terminal = false;
    bool shown = false;
    std::size_t count = 0;
    std::size_t done = 0;
    std::size_t failed = 0;
    Clock::time_point start;
    std::string failures;  // the failed files' messages, in input order
};

ProgressState State;

void Write(const std::string& text)
{
    WriteError(text);
}

double Seconds()
{
    return std::chrono::duration<double>(Clock::now() - State.start).count();
}

// "[=========>          ] 7/20  3.1 files/s  0:04 left"
std::string BarLine()
{
    constexpr std::size_t kBarWidth = 24;
    const std::size_t finished = State.done + State.failed;
    const std::size_t filled = State.count ? finished * kBarWidth / State.count : kBarWidth;
    std::string bar(filled, '=');
    if (filled < kBarWidth)
        bar += '>';
    bar.resize(kBarWidth, ' ');
    const double elapsed = Seconds();
    const double rate = elapsed > 0.0 ? static_cast<double>(finished) / elapsed : 0.0;
    const long left = rate > 0.0 ? static_cast<long>(static_cast<double>(State.count - finished) / rate + 0.5) : 0;
    return Format(_("[%s] %zu/%zu  %.1f files/s  %ld:%02ld left"), bar.c_str(), finished, State.count, rate,
                  left / 60, left % 60);
}

}  // namespace

void ProgressBegin(std::size_t count, bool shown)
{
    State = ProgressState();
    State.shown = shown;
    State.terminal = shown && ErrorIsTerminal();
    State.count = count;
    State.start = Clock::now();
    std::fflush(stderr);
}

bool ProgressOnTerminal()
{
    return State.terminal;
}

void ProgressAnnounce(std::size_t index, const std::string& name)
{
    if (!State.shown)
        return;
    if (State.terminal)
        Write("\r\033[K");  // the file's messages go above the bar
    else
        Write(Format("[%zu/%zu] %s\n", index + 1, State.count, name.c_str()));
}

void ProgressCounted(bool ok)
{
    if (ok)
        ++State.done;
    else
        ++State.failed;
    ProgressRedraw();
}

void ProgressNoteFailure(const std::string& messages)
{
    State.failures += messages;
}

void ProgressFinished(bool ok, const std::string& messages)
{
    if (!ok)
        ProgressNoteFailure(messages);
    ProgressCounted(ok);
}

void ProgressRedraw()
{
    if (State.terminal)
        Write("\r" + BarLine() + "\033[K");
}

std::size_t ProgressFailedCount()
{
    return State.failed;
}

void ProgressEnd()
{
    if (State.terminal && State.count > 0)
        Write("\n");
}

std::size_t ProgressSummary(std::size_t skipped)
{
    Write(Format(_("quillvane-cli: %zu done, %zu skipped, %zu failed in %.1f s\n"), State.done, skipped, State.failed,
                 Seconds()));
    if (State.failed > 0)
        Write(Format(_("quillvane-cli: failed:\n%s"), State.failures.c_str()));
    return State.failed;
}

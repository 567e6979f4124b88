// Workers on Windows: copies of this executable started with CreateProcessW
// (Windows has no fork), each one's standard error read to its end by a
// thread of its own.  The order of starting, waiting and showing is the
// one of cli/worker_pool_posix.cpp.
#include "cli/worker_pool.h"

#include "cli/progress.h"
#include "cli/system.h"
#include "cli/text.h"
#include "platform/child_process.h"
#include "platform/command_line.h"
#include "platform/platform.h"
#include "platform/utf16.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

int CountProcessorCores()
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    int count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        for (; process != 0; process &= process - 1)
            ++count;
    return count > 0 ? count : 1;
}

namespace {

// A worker writes a line or two; more than this is cut, not buffered.
constexpr std::size_t kMaxWorkerMessageBytes = 64 * 1024;

struct WorkItem : WorkItemBase {
    std::thread reader;
};

std::mutex Lock;                 // guards the items' state and messages
std::condition_variable Changed;

// Reads the worker's standard error to its end, then how it ended.
void ReadWorker(WorkItem* item, ChildProcess child)
{
    std::string text;
    DWORD status = 1;
    const bool known = FinishChildProcess(&child, kMaxWorkerMessageBytes, &text, &status);
    const std::lock_guard<std::mutex> guard(Lock);
    item->messages += text;
    if (!item->messages.empty() && item->messages.back() != '\n')
        item->messages += '\n';
    if (!known)
        item->messages += "quillvane-cli: " + item->input + ": " + _("the worker process was lost") + "\n";
    else if (status == 0)
        item->ok = true;
    else if (item->messages.empty())
        item->messages += "quillvane-cli: " + item->input + ": " +
                          Format(_("failed (exit status %d)"), static_cast<int>(status)) + "\n";
    item->state = WorkState::Ended;
    Changed.notify_one();
}

// Starts the worker for one input with its standard error on a pipe.
// Returns 0, or the system's error code.  Workers start one at a time
// from this thread, so no worker inherits another's pipe.
DWORD StartWorker(const CliOptions& options, const std::wstring& self, WorkItem* item)
{
    std::vector<std::wstring> words = {self};
    for (const std::string& word : options.workerArguments)
        words.push_back(WideFromUtf8(word));
    for (const std::string& word : {std::string("-o"), item->output, std::string("--"), item->input})
        words.push_back(WideFromUtf8(word));
    ChildProcess child;
    const DWORD error = StartChildProcess(self, CommandLineOf(words), &child);
    if (error != 0)
        return error;
    item->state = WorkState::Running;
    item->reader = std::thread(ReadWorker, item, child);
    return 0;
}

}  // namespace

int RunBatchInWorkers(const CliOptions& options, const std::vector<BatchJob>& batch, int jobs)
{
    const std::wstring self = ExecutablePath();
    if (self.empty())
        return -1;
    const std::size_t count = batch.size();
    std::vector<WorkItem> items;
    FillWorkItems(batch, &items);

    int running = 0;
    std::size_t shown = 0;
    std::unique_lock<std::mutex> guard(Lock);
    while (shown < count) {
        StartReadyWork(jobs, &items, &running, [&](WorkItem* item) {
            const DWORD error = StartWorker(options, self, item);
            return error == 0 ? std::string()
                              : Format(_("cannot start a worker process: %s"), ("error " + std::to_string(error)).c_str());
        });
        for (; shown < count && items[shown].state == WorkState::Finished; ++shown)
            ShowWorkResult(shown, items[shown]);
        if (shown == count)
            break;
        const auto ended = [&] {
            return std::any_of(items.begin(), items.end(), [](const WorkItem& w) { return w.state == WorkState::Ended; });
        };
        if (running > 0)
            Changed.wait(guard, ended);
        for (WorkItem& item : items)
            if (item.state == WorkState::Ended) {
                item.reader.join();
                --running;
                FinishWork(&item);
            }
    }
    return 0;
}

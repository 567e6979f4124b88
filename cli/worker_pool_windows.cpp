// Workers on Windows: copies of this executable started with CreateProcessW
// (Windows has no fork), each one's standard error read to its end by a
// thread of its own.  The order of starting, waiting and showing is the
// one of cli/worker_pool_posix.cpp.
#include "cli/worker_pool.h"

#include "cli/progress.h"
#include "cli/system.h"
#include "cli/text.h"
#include "platform/platform.h"
#include "platform/utf16.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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

enum class WorkState { Waiting, Running, Ended, Finished };

struct WorkItem {
    std::string input;
    std::string output;
    long sameOutputBefore = -1;  // the latest earlier input with the same result path
    WorkState state = WorkState::Waiting;
    std::thread reader;
    std::string messages;        // what the worker wrote, shown in input order
    bool ok = false;
    bool claimsOutput = false;   // later inputs may not replace its result path
};

std::mutex Lock;                 // guards the items' state and messages
std::condition_variable Changed;

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring Quoted(const std::wstring& word)
{
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return word;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// Reads the worker's standard error to its end, then how it ended.
void ReadWorker(WorkItem* item, HANDLE pipe, HANDLE process)
{
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        const std::lock_guard<std::mutex> guard(Lock);
        const std::size_t room = kMaxWorkerMessageBytes - std::min(kMaxWorkerMessageBytes, item->messages.size());
        item->messages.append(buffer, std::min<std::size_t>(room, got));
    }
    CloseHandle(pipe);
    WaitForSingleObject(process, INFINITE);
    DWORD status = 1;
    const bool known = GetExitCodeProcess(process, &status);
    CloseHandle(process);
    const std::lock_guard<std::mutex> guard(Lock);
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
// from this thread, and each pipe's writing end is closed as soon as its
// worker has it, so no worker inherits another's.
DWORD StartWorker(const CliOptions& options, const std::wstring& self, WorkItem* item)
{
    std::wstring line = Quoted(self);
    for (const std::string& word : options.workerArguments)
        line += L" " + Quoted(WideFromUtf8(word));
    line += L" -o " + Quoted(WideFromUtf8(item->output)) + L" -- " + Quoted(WideFromUtf8(item->input));

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return GetLastError();
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started = {};
    const BOOL ok = CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   nullptr, &startup, &started);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(writeEnd);
    if (!ok) {
        CloseHandle(readEnd);
        return error;
    }
    CloseHandle(started.hThread);
    item->state = WorkState::Running;
    item->reader = std::thread(ReadWorker, item, readEnd, started.hProcess);
    return 0;
}

void Finish(WorkItem* item)
{
    item->state = WorkState::Finished;
    if (item->ok)
        item->claimsOutput = true;
    ProgressCounted(item->ok);
}

void ShowResult(std::size_t index, const WorkItem& item)
{
    if (!item.ok)
        ProgressNoteFailure(item.messages);
    if (ProgressOnTerminal() && item.messages.empty())
        return;
    ProgressAnnounce(index, item.input);
    WriteError(item.messages);
    ProgressRedraw();
}

// Starts waiting inputs, first ones first, while fewer than jobs run.  An
// input that shares its result path with an earlier one waits for it.
// Called with Lock held.
void StartReadyWork(const CliOptions& options, const std::wstring& self, int jobs, std::vector<WorkItem>* items,
                    int* running)
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
        const DWORD error = StartWorker(options, self, &item);
        if (error != 0) {
            item.messages = "quillvane-cli: " + item.input + ": " +
                            Format(_("cannot start a worker process: %s"), ("error " + std::to_string(error)).c_str()) +
                            "\n";
            Finish(&item);
            continue;
        }
        ++*running;
    }
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
        StartReadyWork(options, self, jobs, &items, &running);
        for (; shown < count && items[shown].state == WorkState::Finished; ++shown)
            ShowResult(shown, items[shown]);
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
                Finish(&item);
            }
    }
    return 0;
}

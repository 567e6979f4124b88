// Workers on POSIX systems: posix_spawn of /proc/self/exe, their standard
// error read through pipes with poll.
#include "cli/worker_pool.h"

#include "cli/progress.h"
#include "cli/system.h"
#include "cli/text.h"

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
#include <string>

extern char** environ;

int CountProcessorCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

namespace {

const char kSelfExecutable[] = "/proc/self/exe";
// A worker writes a line or two; more than this is cut, not buffered.
constexpr std::size_t kMaxWorkerMessageBytes = 64 * 1024;

struct WorkItem : WorkItemBase {
    pid_t pid = -1;
    int pipe = -1;  // read end of the worker's standard error
};

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

}  // namespace

int RunBatchInWorkers(const CliOptions& options, const std::vector<BatchJob>& batch, int jobs)
{
    if (access(kSelfExecutable, X_OK) != 0)
        return -1;
    const std::size_t count = batch.size();
    std::vector<WorkItem> items;
    FillWorkItems(batch, &items);

    int running = 0;
    std::size_t shown = 0;
    std::vector<pollfd> polls;
    std::vector<std::size_t> polled;
    while (shown < count) {
        StartReadyWork(jobs, &items, &running, [&](WorkItem* item) {
            const int error = StartWorker(options, item);
            return error == 0 ? std::string() : Format(_("cannot start a worker process: %s"), std::strerror(error));
        });
        for (; shown < count && items[shown].state == WorkState::Finished; ++shown)
            ShowWorkResult(shown, items[shown]);
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
                FinishWork(item);
            }
        }
    }
    return 0;
}

// Several files of a batch at once, each in its own copy of quillvane-cli.
#pragma once

#include "cli/batch.h"
#include "cli/options.h"

#include <string>
#include <vector>

// The number of processor cores this process may run on (at least 1).
int CountProcessorCores();

// Runs every job in a copy of this program (/proc/self/exe), at most
// jobs at a time, each with options.workerArguments, its input and its
// output as -o.  The engines' settings are program-wide, so files never share
// a process.  Standard error shows one progress display and each file's
// messages in input order, the same lines a run in one process shows
// (on a terminal, a single updating progress line instead).  An input
// whose result would replace the result of an earlier one waits for it
// and is refused if that one succeeded.  Progress goes through
// cli/progress.h (begun by the caller).  Returns 0, or -1 when no copy of
// the program can be started at all (nothing has run; the caller may run
// the files itself).
int RunBatchInWorkers(const CliOptions& options, const std::vector<BatchJob>& batch, int jobs);

// ---- What both systems' pools share (cli/worker_pool.cpp) ---------------------

// Waiting to start, its worker running, its worker ended (read to its end
// on another thread, not yet counted: Windows), finished (counted).
enum class WorkState { Waiting, Running, Ended, Finished };

// One input of a pool; each system's item adds its handles to the worker.
struct WorkItemBase {
    std::string input;
    std::string output;
    long sameOutputBefore = -1;  // the latest earlier input with the same result path
    WorkState state = WorkState::Waiting;
    std::string messages;        // what the worker wrote, shown in input order
    bool ok = false;
    bool claimsOutput = false;   // later inputs may not replace its result path
};

// The item is done: counted in the progress; a success claims its output.
void FinishWork(WorkItemBase* item);

// Called for each input in input order once it and all before it are done:
// the same lines a run in one process writes.
void ShowWorkResult(std::size_t index, const WorkItemBase& item);

// Whether a waiting item may start: an input whose result path an earlier
// one shares waits for it, and is refused (finished, with the clash as its
// message) when that one succeeded.
bool MayStartWork(WorkItemBase* item, const WorkItemBase& earlier);

// Starts waiting inputs, first ones first, while fewer than jobs run:
// start(item) starts its worker and returns "" or why it could not (the
// item is then finished with that reason).
template <typename Item, typename Start>
void StartReadyWork(int jobs, std::vector<Item>* items, int* running, Start start)
{
    for (Item& item : *items) {
        if (*running >= jobs)
            return;
        if (item.state != WorkState::Waiting)
            continue;
        if (item.sameOutputBefore >= 0 &&
            !MayStartWork(&item, (*items)[static_cast<std::size_t>(item.sameOutputBefore)]))
            continue;
        const std::string problem = start(&item);
        if (!problem.empty()) {
            item.messages = "quillvane-cli: " + item.input + ": " + problem + "\n";
            FinishWork(&item);
            continue;
        }
        ++*running;
    }
}

// Fills items (one per job, with input, output and sameOutputBefore) for
// both systems' pools: each item names the latest earlier job writing the
// same output, or keeps -1.
template <typename Item>
void FillWorkItems(const std::vector<BatchJob>& batch, std::vector<Item>* items)
{
    items->resize(batch.size());
    for (std::size_t i = 0; i < batch.size(); ++i) {
        Item& item = (*items)[i];
        item.input = batch[i].input;
        item.output = batch[i].output;
        for (std::size_t j = i; j-- > 0;)
            if (batch[j].output == item.output) {
                item.sameOutputBefore = static_cast<long>(j);
                break;
            }
    }
}

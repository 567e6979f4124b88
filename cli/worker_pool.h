// Several files of a batch at once, each in its own copy of quillvane-cli.
#pragma once

#include "cli/batch.h"
#include "cli/options.h"

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

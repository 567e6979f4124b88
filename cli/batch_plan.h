// Turning the command line's inputs into a list of files and the path each
// result goes to: folders searched with -r and mirrored under -o DIR,
// --suffix, --skip-existing, and results that would replace inputs refused
// unless --in-place.
#pragma once

#include "cli/batch.h"
#include "cli/options.h"

#include <string>
#include <vector>

struct BatchPlan {
    std::vector<BatchJob> jobs;
    std::vector<BatchJob> skipped;  // --skip-existing: the output is there already
    bool isBatch = false;           // several files, or a folder: progress and a summary
};

// Plans the run before anything is read or written; creates the folders
// the mirrored results need.  Returns 0, or -1 with the problem (a usage
// error: nothing has been written) in *problem.
int PlanBatch(const CliOptions& options, BatchPlan* plan, std::string* problem);

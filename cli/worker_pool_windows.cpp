#include "cli/worker_pool.h"

#include "platform/platform.h"

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

int RunBatchInWorkers(const CliOptions&, const std::vector<BatchJob>&, int)
{
    return -1;
}

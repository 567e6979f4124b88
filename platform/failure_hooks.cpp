#include "platform/failure_hooks.h"

namespace {

long failCountdown = 0;
long liveBlocks = 0;
std::size_t allocationLimit = 0;
long long writeBudget = -1;
long allocationsMade = 0;

}  // namespace

void StandInFailNthAllocation(long n)
{
    failCountdown = n;
}

long StandInLiveBlocks()
{
    return liveBlocks;
}

void StandInSetAllocationLimit(std::size_t bytes)
{
    allocationLimit = bytes;
}

long StandInAllocationsMade()
{
    return allocationsMade;
}

void StandInFailWritesAfter(long long bytes)
{
    writeBudget = bytes;
}

namespace failure_hooks {

bool RefuseAllocation(std::size_t bytes)
{
    ++allocationsMade;
    if (failCountdown > 0 && --failCountdown == 0)
        return true;
    return allocationLimit != 0 && bytes > allocationLimit;
}

void BlockAllocated()
{
    ++liveBlocks;
}

void BlockFreed()
{
    --liveBlocks;
}

std::size_t WriteRoom(std::size_t count)
{
    if (writeBudget >= 0 && static_cast<unsigned long long>(writeBudget) < count)
        return static_cast<std::size_t>(writeBudget);
    return count;
}

void WritePassed(std::size_t count)
{
    if (writeBudget >= 0)
        writeBudget -= static_cast<long long>(count);
}

}  // namespace failure_hooks

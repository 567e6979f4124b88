#include "platform/failure_hooks.h"

#include <atomic>

namespace {

long failCountdown = 0;
std::atomic<long> liveBlocks = 0;
std::size_t allocationLimit = 0;
std::size_t memoryLimit = 0;
std::atomic<std::size_t> memoryInUse = 0;
long long writeBudget = -1;
long allocationsMade = 0;
thread_local int keeperDealings = 0;

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

void StandInSetMemoryLimit(std::size_t bytes)
{
    memoryLimit = bytes;
}

std::size_t StandInMemoryInUse()
{
    return memoryInUse;
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

bool RefuseRequest(std::size_t bytes)
{
    ++allocationsMade;
    if (failCountdown > 0 && --failCountdown == 0)
        return true;
    return allocationLimit != 0 && bytes > allocationLimit;
}

bool RefuseMemory(std::size_t bytes)
{
    return memoryLimit != 0 && (bytes > memoryLimit || memoryInUse > memoryLimit - bytes);
}

bool RefuseAllocation(std::size_t bytes)
{
    if (keeperDealings == 0 && RefuseRequest(bytes))
        return true;
    return RefuseMemory(bytes);
}

void BlockAllocated(std::size_t bytes)
{
    memoryInUse += bytes;
    if (keeperDealings == 0)
        ++liveBlocks;
}

void BlockFreed(std::size_t bytes)
{
    memoryInUse -= bytes;
    if (keeperDealings == 0)
        --liveBlocks;
}

void BlockResized(std::size_t from, std::size_t to)
{
    memoryInUse += to;
    memoryInUse -= from;
}

void RequestGranted()
{
    ++liveBlocks;
}

void RequestReturned()
{
    --liveBlocks;
}

KeeperDealings::KeeperDealings()
{
    ++keeperDealings;
}

KeeperDealings::~KeeperDealings()
{
    --keeperDealings;
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

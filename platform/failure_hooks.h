// Failures on purpose, for tests: the Nth allocation refused, a memory
// limit, a disk that fills up after so many bytes, and the counts that let
// a test walk every allocation and find leaked blocks.
//
// The Linux stand-in's memory and file calls always consult these hooks.
// On Windows only test builds (QUILLVANE_FAILURE_HOOKS, see platform.h)
// route GlobalAlloc, GlobalReAlloc, GlobalFree and WriteFile through them;
// the program that ships calls the system directly.
//
// The counts are the program's view: a block the block keeper
// (image/blocks.h) holds for reuse is freed as far as they are concerned,
// and a block it hands out again is one allocation, which a test can make
// fail like any other.  Only the memory in use counts the kept blocks too.
#pragma once

#include <cstddef>

// Fails the Nth allocation from now (1 = the next one; 0 = never).
void StandInFailNthAllocation(long n);
// Blocks allocated and not yet freed.
long StandInLiveBlocks();
// Fails every allocation larger than bytes, as a machine with less memory
// would (0 = no limit).
void StandInSetAllocationLimit(std::size_t bytes);
// Fails every fresh allocation that would take the memory in use (below)
// past bytes, as a machine with that much memory would (0 = no limit).
void StandInSetMemoryLimit(std::size_t bytes);
// Bytes of all blocks taken from the system and not given back, the ones
// the block keeper holds included.
std::size_t StandInMemoryInUse();
// How many allocations have been asked for since the program started
// (failed ones included), so that a test can walk every one of them.
long StandInAllocationsMade();
// A full disk: from now on writes let bytes through in total and no more;
// the write that would pass that point writes what still fits and fails,
// and so does every later one (a negative count: writes never fail).
void StandInFailWritesAfter(long long bytes);

// For the memory and file calls that the hooks watch.
namespace failure_hooks {

// The allocation calls: counts an allocation of bytes; true when it is to
// be refused (the Nth, over the allocation limit, or over the memory limit).
bool RefuseAllocation(std::size_t bytes);
// A block of bytes taken from the system, or given back, or resized.
void BlockAllocated(std::size_t bytes);
void BlockFreed(std::size_t bytes);
void BlockResized(std::size_t from, std::size_t to);
// True when growing a block by bytes would pass the memory limit.
bool RefuseMemory(std::size_t bytes);

// The block keeper's side.  A request it answers is one allocation:
// RefuseRequest counts it (true: refused, as RefuseAllocation would, the
// memory limit aside), RequestGranted and RequestReturned count the live
// block.  What it does with the system meanwhile happens inside a
// KeeperDealings on its thread: those calls count no allocation and no
// live block, and only the memory limit can refuse them.
bool RefuseRequest(std::size_t bytes);
void RequestGranted();
void RequestReturned();
class KeeperDealings {
public:
    KeeperDealings();
    ~KeeperDealings();
    KeeperDealings(const KeeperDealings&) = delete;
    KeeperDealings& operator=(const KeeperDealings&) = delete;
};

// How many of count bytes the next write may pass; WritePassed takes off
// the bytes it did pass.
std::size_t WriteRoom(std::size_t count);
void WritePassed(std::size_t count);

}  // namespace failure_hooks

// Failures on purpose, for tests: the Nth allocation refused, a memory
// limit, a disk that fills up after so many bytes, and the counts that let
// a test walk every allocation and find leaked blocks.
//
// The Linux stand-in's memory and file calls always consult these hooks.
// On Windows only test builds (QUILLVANE_FAILURE_HOOKS, see platform.h)
// route GlobalAlloc, GlobalFree and WriteFile through them; the program
// that ships calls the system directly.
#pragma once

#include <cstddef>

// Fails the Nth allocation from now (1 = the next one; 0 = never).
void StandInFailNthAllocation(long n);
// Blocks allocated and not yet freed.
long StandInLiveBlocks();
// Fails every allocation larger than bytes, as a machine with less memory
// would (0 = no limit).
void StandInSetAllocationLimit(std::size_t bytes);
// How many allocations have been asked for since the program started
// (failed ones included), so that a test can walk every one of them.
long StandInAllocationsMade();
// A full disk: from now on writes let bytes through in total and no more;
// the write that would pass that point writes what still fits and fails,
// and so does every later one (a negative count: writes never fail).
void StandInFailWritesAfter(long long bytes);

// For the memory and file calls that the hooks watch.
namespace failure_hooks {

// Counts an allocation of bytes; true when it is to be refused.
bool RefuseAllocation(std::size_t bytes);
void BlockAllocated();
void BlockFreed();
// How many of count bytes the next write may pass; WritePassed takes off
// the bytes it did pass.
std::size_t WriteRoom(std::size_t count);
void WritePassed(std::size_t count);

}  // namespace failure_hooks

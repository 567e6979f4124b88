// Running independent parts of a pixel loop on every core.
#pragma once

#include <cstddef>
#include <cstdint>

// At most this many ranges.
constexpr int kMaxRanges = 16;

// Calls work(context, range, begin, end) for consecutive ranges (numbered
// from 0) that together cover 0..count, the ranges spread over the cores
// when the work is large enough (count * costPerItem items' worth): on
// worker threads started once, or, while those serve another call, on
// threads of the call's own.  A thread that cannot be started runs its
// range on the calling thread; every range has run when the call returns.
void ForEachRange(std::int64_t count, std::int64_t costPerItem, void* context,
                  void (*work)(void* context, int range, std::int64_t begin, std::int64_t end));

// The number of ranges ForEachRange would use.
int RangeCountFor(std::int64_t count, std::int64_t costPerItem);

// memcpy over the cores.  A large copy into memory not yet touched is
// bound by the system's work on each fresh page rather than by the copy
// itself, and that work runs side by side on several cores.
void CopyOnCores(void* target, const void* source, std::size_t bytes);

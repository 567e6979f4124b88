// The Linux stand-in's test hooks, on every build of the tests.
#pragma once

#include "platform/platform.h"

#include <gtest/gtest.h>

// Allocation and write failures are injected through the Linux stand-in's
// hooks.  The engine tests also run as a Windows program, on the real
// GlobalAlloc and WriteFile: there the hooks count nothing and inject
// nothing, and a test that needs them says so and is skipped.
#ifdef _WIN32
void StandInFailNthAllocation(long n);
long StandInLiveBlocks();
void StandInSetAllocationLimit(SIZE_T bytes);
long StandInAllocationsMade();
void StandInFailWritesAfter(long long bytes);
#define QV_NEEDS_STAND_IN() GTEST_SKIP() << "failures are injected by the Linux stand-in only"
#else
#define QV_NEEDS_STAND_IN() static_cast<void>(0)
#endif

// The number of blocks still allocated, which only the stand-in counts:
// checked natively, accepted (with its message) on Windows.
#ifdef _WIN32
#define EXPECT_LIVE_BLOCKS(expected) \
    switch (0)                       \
    case 0:                          \
    default:                         \
        if (true) {                  \
            static_cast<void>(expected); \
        } else                       \
            ::testing::Message()
#else
#define EXPECT_LIVE_BLOCKS(expected) EXPECT_EQ(StandInLiveBlocks(), (expected))
#endif

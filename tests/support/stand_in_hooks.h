// The failure hooks (platform/failure_hooks.h) on every build of the tests:
// the Linux stand-in always has them, the Windows tests' copy of the
// program has them behind its GlobalAlloc, GlobalReAlloc, GlobalFree and WriteFile.
#pragma once

#include "platform/platform.h"

#include <gtest/gtest.h>

// A Windows build of the tests linked with the program that ships (no
// QUILLVANE_FAILURE_HOOKS) can inject nothing: a test that needs the hooks
// says so and is skipped there.
#if defined(_WIN32) && !defined(QUILLVANE_FAILURE_HOOKS)
#include "platform/failure_hooks.h"
#define QV_NEEDS_STAND_IN() GTEST_SKIP() << "failures are injected by the failure hooks only"
#define EXPECT_LIVE_BLOCKS(expected) \
    switch (0)                       \
    case 0:                          \
    default:                         \
        if (true) {                  \
            static_cast<void>(expected); \
        } else                       \
            ::testing::Message()
#else
#define QV_NEEDS_STAND_IN() static_cast<void>(0)
#define EXPECT_LIVE_BLOCKS(expected) EXPECT_EQ(StandInLiveBlocks(), (expected))
#endif

// Walking every allocation of a command: the command runs once with every
// allocation granted, to count them, then once with each of them failing.
// Used by the native tests on the core and by the Windows program's tests
// through its own windows and dialogs.
#pragma once

#include "support/stand_in_hooks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace qvtest {

// Failure points walked by this process, for the summary lines.
inline long FailurePointsWalked = 0;

// prepare builds the state before each run, outside the injection; then a
// Recorder is made (it records the message boxes: MessageCapture, or the
// Windows tests' dialog driver; it has Joined() for failure output) and
// lives through attempt and the verdict.  attempt returns 0 when the
// command did its work: it must with every allocation granted, and may
// when it could work around a failure; verifySuccess judges such a run,
// verifyFailure a run that returned non-zero.  cleanup releases the state.
// After every run as many blocks are live as before prepare.
template <typename Recorder>
void WalkAllocationFailures(const std::string& what, const std::function<void()>& prepare,
                            const std::function<int(Recorder&)>& attempt,
                            const std::function<void(const Recorder&)>& verifyFailure,
                            const std::function<void()>& verifySuccess, const std::function<void()>& cleanup)
{
    SCOPED_TRACE(what);
    long allocations = 0;
    {
        const long live = StandInLiveBlocks();
        prepare();
        const long made = StandInAllocationsMade();
        {
            Recorder messages;
            const int rc = attempt(messages);
            ASSERT_EQ(rc, 0) << "without injected failures: " << messages.Joined();
        }
        allocations = StandInAllocationsMade() - made;
        verifySuccess();
        cleanup();
        ASSERT_EQ(StandInLiveBlocks(), live) << "blocks leaked by a run that succeeded";
    }
    for (long n = 1; n <= allocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations) + " fails");
        const long live = StandInLiveBlocks();
        prepare();
        {
            Recorder messages;
            StandInFailNthAllocation(n);
            const int rc = attempt(messages);
            StandInFailNthAllocation(0);
            if (rc != 0)
                verifyFailure(messages);
            else
                verifySuccess();
        }
        cleanup();
        EXPECT_EQ(StandInLiveBlocks(), live) << "blocks leaked";
        ++FailurePointsWalked;
    }
}

}  // namespace qvtest

// The readers' and writers' outcome as the Windows program shows it: its
// message boxes (app/messages.h, caught by a MessageCapture), and the 0 or
// -1 a test compares.
#pragma once

#include "app/messages.h"

inline int Shown(const Outcome& outcome, HWND owner = nullptr)
{
    ShowOutcome(owner, outcome);
    return outcome.ok() ? 0 : -1;
}

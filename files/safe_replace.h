// Writing a file so that a failure never damages the file it replaces:
// the data goes to a temporary file beside the target, which takes the
// target's name only when it is complete.
#pragma once

#include "platform/file_names.h"

#include <cstddef>

// The longest document path and the suffix below.
constexpr std::size_t kTempPathBytes = kMaxPathBytes + 8;

// Makes the temporary name beside target ("<target>.qv-tmp").  Returns 0,
// or -1 when the name does not fit.
int MakeTemporaryPath(const char* target, char (&temporary)[kTempPathBytes]);

// Puts the finished temporary file in place of target.  Returns 0, or -1
// (the temporary file is then removed and target is untouched).
int ReplaceWithTemporary(const char* temporary, const char* target);

// Removes a temporary file after a failed write.
void DiscardTemporary(const char* temporary);

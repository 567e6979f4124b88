// File names at the seam to the system.
//
// Everything above platform/ holds a file name as UTF-8 (the document's
// path, the tool's arguments).  On Windows these functions convert it to
// UTF-16 and call the wide functions, so any name Windows allows works
// whatever the code page; elsewhere the name is passed on as it is.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdio>
#include <string_view>

// The longest file name a picture may have, in UTF-16 units (Windows'
// MAX_PATH less its terminator).  A UTF-16 unit takes at most three UTF-8
// bytes (a pair of surrogates takes four for two), so kMaxPathBytes holds
// every such name with its terminator.
constexpr std::size_t kMaxPathUnits = 255;
constexpr std::size_t kMaxPathBytes = 3 * kMaxPathUnits + 1;

// The length of a UTF-8 name in UTF-16 units, as Windows counts it.
std::size_t PathUnits(std::string_view utf8);

// True when the name is not empty and within kMaxPathUnits.
bool PathFits(std::string_view utf8);

HANDLE CreateFileUtf8(const char* path, DWORD access, DWORD shareMode, DWORD disposition);
BOOL MoveFileUtf8(const char* from, const char* to, DWORD flags);
BOOL DeleteFileUtf8(const char* path);
std::FILE* OpenFileUtf8(const char* path, const char* mode);

// Starting another program (Windows only): one of our own executables, its
// standard error on a pipe that is read to its end, no console window.
// The tool's worker pool and the program's batch window start the tool
// this way.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <string>

// This executable's full name (empty when it cannot be told).
std::wstring ExecutablePath();

struct ChildProcess {
    HANDLE process = nullptr;
    HANDLE errorPipe = nullptr;  // the reading end of the child's standard error
};

// Starts program with commandLine (platform/command_line.h), its standard
// error on a pipe and no window.  Returns 0, or the system's error code
// (nothing is left open then).  The pipe's writing end is closed as soon
// as the child has it, so a child started later from another thread may
// inherit it only while this call runs: callers that start children from
// several threads serialise the calls.
DWORD StartChildProcess(const std::wstring& program, const std::wstring& commandLine, ChildProcess* child);

// Reads the child's standard error to its end (more than maxBytes is
// dropped), waits for it and closes its handles.  Returns whether its exit
// status could be told, with the status in *status.
bool FinishChildProcess(ChildProcess* child, std::size_t maxBytes, std::string* errorText, DWORD* status);

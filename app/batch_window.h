// The batch window (File > Batch): many photos stamped with a watermark at
// once.  It runs quillvane-cli.exe (beside the program's own .exe) once per
// photo, up to one process per core at a time, from worker threads, and
// shows each photo's start and end as the workers post them: a progress
// bar, the current file, files done of all, the time left, and at the end
// the failures with the tool's own reasons.  Stop lets the running photos
// finish (the tool writes under a temporary name and renames) and starts
// no more.
#pragma once

#include <windows.h>

#include <string>

// quillvane-cli.exe in the folder of this executable.
std::wstring BatchToolPath();

// Opens the window modally over owner; returns when it is closed.
void RunBatchWindow(HWND owner);

INT_PTR CALLBACK BatchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

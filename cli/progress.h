// Progress of a batch on standard error and the summary at its end.
//
// On a terminal: one line redrawn in place with a bar, done/total, files
// per second and the time left; each file's messages appear above it.
// Otherwise: "[k/n] name" before each file's messages, in input order.
#pragma once

#include <cstddef>
#include <string>

// Starts the clock for count files to run; shown false keeps quiet (one
// file) but still counts.
void ProgressBegin(std::size_t count, bool shown);

bool ProgressOnTerminal();

// Before the messages of input number index (from 0), in input order.
void ProgressAnnounce(std::size_t index, const std::string& name);

// Draws the terminal line again (after messages above it).
void ProgressRedraw();

// A file is done: ok or failed, with the messages it wrote ("quillvane-cli:
// NAME: reason" lines), kept for the summary.  Files finished in input order.
void ProgressFinished(bool ok, const std::string& messages);
// The same in two steps, for files that finish in any order: counted as
// they finish, their failures noted in input order, so that the summary
// lists them as a run in one process does.
void ProgressCounted(bool ok);
void ProgressNoteFailure(const std::string& messages);

std::size_t ProgressFailedCount();

// Ends the terminal line.
void ProgressEnd();

// "quillvane-cli: D done, S skipped, F failed in T s" and each failure's
// messages again.  Returns the number of failed files.
std::size_t ProgressSummary(std::size_t skipped);

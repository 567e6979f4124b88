// What quillvane-cli says, and in which language: its own texts through
// gettext catalogues (English by default, the user's language where a
// catalogue exists), and the file readers' and writers' failures, which
// come as codes, in the same catalogue's sentences.
#pragma once

#include "cli/text.h"
#include "image/failure.h"

#include <string>

// "quillvane-cli: NAME: text" on standard error; counts the messages.
void Report(const std::string& name, const std::string& text);

// The messages shown since the last call, as shown.
std::string TakeReportedText();

// The number of messages shown so far (core messages included).
long ReportedCount();

// An outcome's failure in the user's language: the failure's sentence,
// then its cause in brackets ("the JPEG file could not be read (too many
// scans (more than 500))").  Empty when nothing failed.
std::string OutcomeMessage(const Outcome& outcome);

// A warning in the user's language.
std::string WarningMessage(Warning warning);

// Reports outcome's warnings, then its failure, each naming name.  Returns
// 0 when nothing failed, else -1.
int ReportOutcome(const std::string& name, const Outcome& outcome);

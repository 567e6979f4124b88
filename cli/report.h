// What quillvane-cli says, and in which language: its own texts through
// gettext catalogues (English by default, the user's language where a
// catalogue exists), and the file readers' and writers' messages, which the
// Windows program shows in Japanese, turned into the same catalogue's
// sentences before they reach the terminal.
#pragma once

#include "cli/text.h"

#include <string>

// "quillvane-cli: NAME: text" on standard error; counts the messages.
void Report(const std::string& name, const std::string& text);

// The messages shown since the last call, as shown.
std::string TakeReportedText();

// The number of messages shown so far (core messages included).
long ReportedCount();

// Routes the core's message boxes to standard error, each line naming the
// file set by SetReportName (or none), in the user's language.
void RouteCoreMessages();
void StopRoutingCoreMessages();
void SetReportName(const char* name);

// A core message (one or more lines, Japanese as the Windows program shows
// it) as the command line shows it: the lines joined by blanks, each known
// sentence in the user's language.
std::string TranslateCoreMessage(const char* text);

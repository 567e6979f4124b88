// Running pictures through one command of quillvane-cli, one file at a
// time, with the same calls the program's own commands make: read into
// MainDocument, luminance, region extract, the apply routine, commit, write.
#pragma once

// The tool's exit statuses: all done; a file failed (the others still ran);
// a usage error (nothing was read or written).
constexpr int kExitOk = 0;
constexpr int kExitFileFailed = 1;
constexpr int kExitUsage = 2;

#include "cli/options.h"

#include <string>
#include <vector>

struct TextField;

// Where a result goes: one named file of a fixed type, or a directory in
// which each result is named after its input.
struct BatchTarget {
    const char* outputFile;       // or null
    const char* outputDirectory;  // when outputFile is null
    CliFormat format;             // FromName: the input's type (directory only)
    std::string suffix;           // added to each stem in a directory
};

// One file of a batch and where its result goes.
struct BatchJob {
    std::string input;
    std::string output;
    CliFormat format;  // the output's type
};

// Routes the message boxes the core still shows to standard error, each
// naming the file it is about.  Loads the watermark file of a bump run into
// WatermarkDocument, or makes the text mark (drawn beforehand, for bump
// --text) the watermark.  Returns 0, or -1 when the watermark cannot be
// read or made (already reported).
int BeginBatch(const CliOptions& options, const TextField* textMark = nullptr);

// Reads input, runs the command and writes the result.  The output path
// actually used is appended to *written on success; a result that would
// replace one written earlier in the same run is refused.  Every problem is
// reported as "quillvane-cli: FILE: text" on standard error; nothing is
// left behind for a failed file.  Returns 0 or -1.
int RunBatchFile(const CliOptions& options, const std::string& input, const BatchTarget& target,
                 std::vector<std::string>* written);

// Frees every picture block and restores the message-box route.
void EndBatch();

// The path RunBatchFile writes input's result to (the input's type is
// taken from its first bytes, as the reader is chosen).
std::string BatchOutputPath(const std::string& input, const BatchTarget& target);

// What an input is told when its result would replace the result of an
// earlier input of the same run.
std::string ClashText(const std::string& output);

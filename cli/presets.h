// --preset FILE: options kept in a file, one a line, read before the
// command line's own.
#pragma once

#include <string>
#include <vector>

// One word of the command line, or one option of a preset.
struct OptionWord {
    std::string text;
    std::string origin;  // "FILE:LINE" for a preset's words
};

// Reads a preset: one option a line, "--name value" or "--name=value" or a
// bare switch; '#' starts a comment line; blank lines are skipped.  Each
// option becomes one word "--name=value" (or "--name").  Returns 0, or -1
// with a one-line *error (naming FILE:LINE for a bad line).
int ReadPreset(const std::string& path, std::vector<OptionWord>* words, std::string* error);

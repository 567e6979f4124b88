// A program's command line on Windows, built from separate arguments: each
// one quoted so that CommandLineToArgvW and the C runtime read it back as
// it was.  Portable (plain strings), so that native tests check it too.
#pragma once

#include <span>
#include <string>
#include <string_view>

// One argument as it goes into a command line: as it is when it holds no
// blank or quote, else in quotes with its backslashes and quotes escaped.
std::wstring QuotedArgument(std::wstring_view word);

// The words quoted and joined by single spaces (the program's own name
// first, as CreateProcessW wants it).
std::wstring CommandLineOf(std::span<const std::wstring> words);

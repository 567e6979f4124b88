// The command-line tool's texts: gettext catalogues, English by default.
#pragma once

#include <libintl.h>

#include <string>

// Marks a text for translation and translates it.
#define _(text) gettext(text)
// Marks a text for translation where it is only stored.
#define N_(text) text

// Sets the locale from the environment and opens the catalogue that lies
// beside the executable (locale/LANG/LC_MESSAGES/quillvane-cli.mo).
// Numbers keep the C form whatever the language.
void StartLanguage();

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

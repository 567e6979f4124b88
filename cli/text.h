// The command-line tool's texts: message catalogues, English by default.
// On Linux they are gettext's (cli/text_posix.cpp); on Windows, which has
// no libintl, the same .mo files are read by cli/catalogue.h
// (cli/text_windows.cpp).
#pragma once

#include <string>
#include <vector>

// Marks a text for translation and translates it.
#define _(text) Translate(text)
// Marks a text for translation where it is only stored.
#define N_(text) text

const char* Translate(const char* text) __attribute__((format_arg(1)));
// The form for n of a text with a plural.
const char* TranslatePlural(const char* singular, const char* plural, unsigned long n)
    __attribute__((format_arg(1), format_arg(2)));

// Picks the language from the environment (LANGUAGE, LC_ALL, LC_MESSAGES,
// LANG; on Windows, when none is set, the user's display language) and
// opens the catalogue, looked for in <exe>/../share/locale (a package),
// then <exe>/locale (the zip and the build tree), then the folder the build
// was configured to install into.  Numbers keep the C form whatever the
// language.
void StartLanguage();

// The folders where StartLanguage looks, in order, given the folder of the
// executable ("" when unknown) and the configured one.
std::vector<std::string> CatalogueFolders(const std::string& executableFolder, const std::string& configured);

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

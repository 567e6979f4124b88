// Finding the file of a font family: through fontconfig on Linux
// (font_lookup_fontconfig.cpp), in the system's list of installed fonts
// on Windows (font_lookup_windows.cpp), which chooses among them as
// ChooseFamily below does.
#pragma once

#include "text/text_failure.h"

#include <span>
#include <string>
#include <vector>

// The style a face is asked for in: bold, italic (or oblique), both, or
// neither (the family's plainest face).
struct FaceStyle {
    bool bold = false;
    bool italic = false;
};

// The file and face index of family; an empty family asks for the default,
// a sans-serif font that covers Japanese.  The face of style when the
// family has one, else its plainest.  Returns 0, or -1 with *problem
// set: NoSuchFamily or FamilyNotInstalled (a family nobody has),
// NoFontAtAll (no default font), FontconfigUnavailable or
// FamilyNotUnderstood (fontconfig only).
int FindFamily(const std::string& family, std::string* file, int* index, TextOutcome* problem, FaceStyle style = {});

// Family names compare as fontconfig compares them: ASCII case and blanks
// do not count.
bool SameFamily(const char* a, const std::string& b);

// The family names that ask for whatever the system prefers.
inline constexpr const char* kGenericFamilies[] = {"sans-serif", "serif", "monospace", "sans", "mono", "system-ui",
                                                   "cursive", "fantasy", "emoji", "math"};
bool IsGenericFamily(const std::string& family);

// Windows's fonts for Japanese text, the default first: sans-serif,
// serif (asked for by "serif") and fixed-width ("monospace", "mono").
inline constexpr const char* kWindowsSansFamilies[] = {"Yu Gothic", "Meiryo", "MS Gothic"};
inline constexpr const char* kWindowsSerifFamilies[] = {"Yu Mincho", "MS Mincho"};
inline constexpr const char* kWindowsMonospaceFamilies[] = {"MS Gothic"};

// One entry of a list of installed fonts: its name as listed ("MS Gothic &
// MS UI Gothic & MS PGothic (TrueType)") and the path of its file.
struct ListedFont {
    std::string name;
    std::string file;
};

// Finds a face of family among the fonts: the files whose listed names
// begin with the family are searched first, then every other file (a
// listed name may be in another language than the face's own).  Of the
// faces whose family is family (any of the family names in the font's
// name table, in any language: the font dialogs give a face name in the
// user's language), the one whose bold and italic are style's is taken
// when style asks for either and there is one; else the plainest (Regular
// before another upright face, before bold and italic ones); the first
// listed of equals.  Returns 0 with *file and *index set, or -1 when no
// face has that family.
int ChooseFamily(std::span<const ListedFont> fonts, const std::string& family, std::string* file, int* index,
                 FaceStyle style = {});

// The first of families that ChooseFamily finds.
int ChooseFirstFamily(std::span<const ListedFont> fonts, std::span<const char* const> families, std::string* file,
                      int* index, FaceStyle style = {});

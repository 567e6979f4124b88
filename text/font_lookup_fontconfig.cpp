#include "text/font_lookup.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>

// Asks fontconfig for the file of a family (empty: the default, a
// sans-serif font that covers Japanese).  A named family must be among
// the match's families: fontconfig always answers with some font, and a
// silent substitute would draw the mark in a font nobody asked for.
int FindFamily(const std::string& family, std::string* file, int* index, TextOutcome* problem, FaceStyle style)
{
    // fontconfig's process-wide configuration, loaded on the first call
    // (the expensive part: its configuration files and caches) and kept
    // until the process ends, when FcFini frees it.
    static bool finiRegistered = false;
    if (!finiRegistered) {
        finiRegistered = true;
        std::atexit(FcFini);
    }
    if (!FcInit()) {
        *problem = FailText(TextFailure::FontconfigUnavailable);
        return -1;
    }
    const std::string query = family.empty() ? "sans-serif:lang=ja" : family;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(query.c_str()));
    if (!pattern) {
        *problem = FailText(TextFailure::FamilyNotUnderstood, family);
        return -1;
    }
    FcChar8* asked = nullptr;
    std::string askedFamily;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &asked) == FcResultMatch)
        askedFamily = reinterpret_cast<const char*>(asked);
    bool generic = family.empty() || askedFamily.empty();
    for (const char* name : kGenericFamilies)
        if (FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(askedFamily.c_str()),
                               reinterpret_cast<const FcChar8*>(name)) == 0)
            generic = true;

    if (style.bold)
        FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
    if (style.italic)
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    int status = -1;
    FcChar8* path = nullptr;
    if (!match || FcPatternGetString(match, FC_FILE, 0, &path) != FcResultMatch) {
        *problem = family.empty() ? FailText(TextFailure::NoFontAtAll) : FailText(TextFailure::NoSuchFamily, family);
    } else {
        bool named = generic;
        FcChar8* each = nullptr;
        for (int k = 0; !named && FcPatternGetString(match, FC_FAMILY, k, &each) == FcResultMatch; ++k)
            named = SameFamily(reinterpret_cast<const char*>(each), askedFamily);
        if (!named) {
            *problem = FailText(TextFailure::FamilyNotInstalled, family);
        } else {
            *file = reinterpret_cast<const char*>(path);
            int faceIndex = 0;
            if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) != FcResultMatch)
                faceIndex = 0;
            *index = faceIndex & 0xFFFF;  // the upper bits select a variation instance
            status = 0;
        }
    }
    if (match)
        FcPatternDestroy(match);
    return status;
}

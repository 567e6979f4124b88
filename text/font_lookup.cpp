#include "text/font_lookup.h"

#include "platform/utf16.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <algorithm>

namespace {

std::string Folded(const char* text)
{
    std::string out;
    for (; *text; ++text) {
        char c = *text;
        if (c == ' ')
            continue;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        out += c;
    }
    return out;
}

// True when a listed name ("Yu Gothic Regular & Yu Gothic UI Regular
// (TrueType)") has a part that begins with the family.
bool ListedNameBegins(const std::string& listed, const std::string& family)
{
    const std::string wanted = Folded(family.c_str());
    std::size_t start = 0;
    while (start <= listed.size()) {
        std::size_t end = listed.find(" & ", start);
        if (end == std::string::npos)
            end = listed.size();
        if (Folded(listed.substr(start, end - start).c_str()).compare(0, wanted.size(), wanted) == 0)
            return true;
        start = end + 3;
    }
    return false;
}

struct FreeTypeLibrary {
    FT_Library library = nullptr;
    FreeTypeLibrary()
    {
        if (FT_Init_FreeType(&library) != 0)
            library = nullptr;
    }
    ~FreeTypeLibrary()
    {
        if (library)
            FT_Done_FreeType(library);
    }
    FreeTypeLibrary(const FreeTypeLibrary&) = delete;
    FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;
};

// How plainly a face is the family's everyday face: 2 for a face styled
// Regular (or Book, Normal, Roman), 1 for another upright face of normal
// weight, 0 for a bold or italic one.
int Plainness(FT_Face face)
{
    const char* style = face->style_name ? face->style_name : "";
    for (const char* plain : {"Regular", "Book", "Normal", "Roman"})
        if (SameFamily(style, plain))
            return 2;
    return (face->style_flags & (FT_STYLE_FLAG_BOLD | FT_STYLE_FLAG_ITALIC)) == 0 ? 1 : 0;
}

// A name record's text as UTF-8: UTF-16 (big-endian) in the Unicode and
// Microsoft records, the bytes themselves in the others when they are all
// ASCII; empty otherwise.
std::string NameRecordText(const FT_SfntName& name)
{
    if (name.platform_id == TT_PLATFORM_APPLE_UNICODE || name.platform_id == TT_PLATFORM_MICROSOFT) {
        std::u16string units;
        for (FT_UInt i = 0; i + 1 < name.string_len; i += 2)
            units += static_cast<char16_t>((name.string[i] << 8) | name.string[i + 1]);
        return Utf8FromUtf16(units);
    }
    std::string text(reinterpret_cast<const char*>(name.string), name.string_len);
    return std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; }) ? text : std::string();
}

// Whether family is one of the face's family names: the one FreeType
// reports, or any family or typographic family name of the font's name
// table in any language (Windows names a face in the user's language:
// "IPAゴシック", "ＭＳ ゴシック").
bool FaceHasFamily(FT_Face face, const std::string& family)
{
    if (face->family_name && SameFamily(face->family_name, family))
        return true;
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0)
            continue;
        if (name.name_id != TT_NAME_ID_FONT_FAMILY && name.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY)
            continue;
        const std::string text = NameRecordText(name);
        if (!text.empty() && SameFamily(text.c_str(), family))
            return true;
    }
    return false;
}

constexpr int kStyleMatches = 3;

// How well a face suits style: kStyleMatches when style asks for bold or
// italic and the face's are those, else its plainness.
int Fitness(FT_Face face, FaceStyle style)
{
    if (style.bold || style.italic) {
        const bool bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
        const bool italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
        if (bold == style.bold && italic == style.italic)
            return kStyleMatches;
    }
    return Plainness(face);
}

// The best fitness a face can have for style.
int BestFitness(FaceStyle style)
{
    return style.bold || style.italic ? kStyleMatches : 2;
}

struct FaceChoice {
    std::string file;
    int index = -1;
    int fitness = -1;
};

// Keeps in *best the face of family in file that suits style best (the
// first of equals).
void ConsiderFile(FT_Library library, const std::string& file, const std::string& family, FaceStyle style,
                  FaceChoice* best)
{
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.c_str(), -1, &face) != 0)
        return;
    const long faces = face->num_faces;
    FT_Done_Face(face);
    for (long i = 0; i < faces && i <= 0xFFFF && best->fitness < BestFitness(style); ++i) {
        if (FT_New_Face(library, file.c_str(), i, &face) != 0)
            continue;
        if (Fitness(face, style) > best->fitness && FaceHasFamily(face, family))
            *best = {file, static_cast<int>(i), Fitness(face, style)};
        FT_Done_Face(face);
    }
}

}  // namespace

bool SameFamily(const char* a, const std::string& b)
{
    return Folded(a) == Folded(b.c_str());
}

bool IsGenericFamily(const std::string& family)
{
    return std::any_of(std::begin(kGenericFamilies), std::end(kGenericFamilies),
                       [&](const char* name) { return SameFamily(name, family); });
}

int ChooseFamily(std::span<const ListedFont> fonts, const std::string& family, std::string* file, int* index,
                 FaceStyle style)
{
    FreeTypeLibrary freetype;
    if (!freetype.library || Folded(family.c_str()).empty())
        return -1;
    FaceChoice best;
    for (const bool listedAsFamily : {true, false}) {
        for (const ListedFont& font : fonts)
            if (best.fitness < BestFitness(style) && ListedNameBegins(font.name, family) == listedAsFamily)
                ConsiderFile(freetype.library, font.file, family, style, &best);
        if (best.index >= 0) {
            *file = best.file;
            *index = best.index;
            return 0;
        }
    }
    return -1;
}

int ChooseFirstFamily(std::span<const ListedFont> fonts, std::span<const char* const> families, std::string* file,
                      int* index, FaceStyle style)
{
    for (const char* family : families)
        if (ChooseFamily(fonts, family, file, index, style) == 0)
            return 0;
    return -1;
}

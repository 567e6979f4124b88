// Finding a font by family: the choice among a list of installed fonts that
// the Windows build makes from the system's font list, the lookup each
// build ships (fontconfig natively, the font list on Windows, under Wine
// the fonts it lists from the build machine), and a text mark drawn from a
// family as the native build draws it.  The fonts are Debian's
// fonts-dejavu-core and fonts-ipafont-gothic.
#include "support/test_support.h"
#include "text/font_lookup.h"
#include "text/text_render.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

#ifdef _WIN32
#define QV_FONTS "Z:/usr/share/fonts/"
#else
#define QV_FONTS "/usr/share/fonts/"
#endif
const char kDejaVuSans[] = QV_FONTS "truetype/dejavu/DejaVuSans.ttf";
const char kDejaVuSansBold[] = QV_FONTS "truetype/dejavu/DejaVuSans-Bold.ttf";
const char kIpaGothic[] = QV_FONTS "opentype/ipafont-gothic/ipag.ttf";
const char kDejaVuSansOblique[] = QV_FONTS "truetype/dejavu/DejaVuSans-Oblique.ttf";
const char kDejaVuSansBoldOblique[] = QV_FONTS "truetype/dejavu/DejaVuSans-BoldOblique.ttf";

// A list as Windows keeps it: names that need not be the faces' own (the
// Japanese font listed under its Japanese name), bold before regular.
std::vector<ListedFont> Listed()
{
    return {{"DejaVu Sans Bold (TrueType)", kDejaVuSansBold},
            {"No Such File (TrueType)", QV_FONTS "no-such-file.ttf"},
            {"DejaVu Sans (TrueType)", kDejaVuSans},
            {reinterpret_cast<const char*>(u8"IPAゴシック (TrueType)"), kIpaGothic}};
}

TEST(FontLookup, ChoosesThePlainestFaceOfTheFamilyNamedHoweverListed)
{
    const std::vector<ListedFont> fonts = Listed();
    struct Case {
        const char* family;
        const char* file;  // nullptr: not found
    };
    const Case cases[] = {
        {"DejaVu Sans", kDejaVuSans},   // the regular face, though the bold one is listed first
        {"dejavusans", kDejaVuSans},    // case and blanks do not count
        {"IPAGothic", kIpaGothic},      // listed under another name
        {reinterpret_cast<const char*>(u8"IPAゴシック"), kIpaGothic},  // the name a Japanese font dialog gives
        {reinterpret_cast<const char*>(u8"ipa ゴシック"), kIpaGothic},  // compared as the other names are
        {reinterpret_cast<const char*>(u8"IPAゴ"), nullptr},
        {"DejaVu", nullptr},            // the start of a family is not a family
        {"No Such File", nullptr},      // listed, but no face
        {"", nullptr},
    };
    for (const Case& c : cases) {
        std::string file = "unchanged";
        int index = -1;
        const int found = ChooseFamily(fonts, c.family, &file, &index);
        if (c.file) {
            EXPECT_EQ(found, 0) << c.family;
            EXPECT_EQ(file, c.file) << c.family;
            EXPECT_EQ(index, 0) << c.family;
        } else {
            EXPECT_EQ(found, -1) << c.family;
            EXPECT_EQ(file, "unchanged") << c.family;
        }
    }
    // The default families are tried in order: none of Windows's own
    // Japanese fonts are listed here, so the next family asked for is.
    const char* const families[] = {"Yu Gothic", "Meiryo", "MS Gothic", "IPAGothic", "DejaVu Sans"};
    std::string file;
    int index = -1;
    ASSERT_EQ(ChooseFirstFamily(fonts, families, &file, &index), 0);
    EXPECT_EQ(file, kIpaGothic);
    EXPECT_TRUE(IsGenericFamily("Sans-Serif"));
    EXPECT_FALSE(IsGenericFamily("IPAGothic"));
}

// A style asked for takes the face of that style, where the family has
// one; else the plainest face.
TEST(FontLookup, ChoosesTheFaceOfTheStyleAskedFor)
{
    const std::vector<ListedFont> fonts = {{"DejaVu Sans Bold Oblique (TrueType)", kDejaVuSansBoldOblique},
                                           {"DejaVu Sans Bold (TrueType)", kDejaVuSansBold},
                                           {"DejaVu Sans Oblique (TrueType)", kDejaVuSansOblique},
                                           {"DejaVu Sans (TrueType)", kDejaVuSans},
                                           {"IPAGothic (TrueType)", kIpaGothic}};
    struct Case {
        const char* family;
        FaceStyle style;
        const char* file;
    };
    const Case cases[] = {
        {"DejaVu Sans", {}, kDejaVuSans},
        {"DejaVu Sans", {true, false}, kDejaVuSansBold},
        {"DejaVu Sans", {false, true}, kDejaVuSansOblique},
        {"DejaVu Sans", {true, true}, kDejaVuSansBoldOblique},
        {"IPAGothic", {true, true}, kIpaGothic},  // no bold or italic face: the plain one
    };
    for (const Case& c : cases) {
        std::string file;
        int index = -1;
        EXPECT_EQ(ChooseFamily(fonts, c.family, &file, &index, c.style), 0);
        EXPECT_EQ(file, c.file) << c.family << " bold " << c.style.bold << " italic " << c.style.italic;
    }
}

TEST(FontLookup, FindsInstalledFamiliesAndRefusesOthers)
{
    // The file found may be another name of the same font (Debian links
    // fonts-japanese-gothic.ttf to the IPA font): the bytes must be its.
    for (const auto& [family, file] : {std::pair{"DejaVu Sans", kDejaVuSans}, std::pair{"IPAGothic", kIpaGothic}}) {
        std::string found;
        int index = -1;
        TextOutcome problem;
        ASSERT_EQ(FindFamily(family, &found, &index, &problem), 0) << family;
        EXPECT_TRUE(qvtest::ReadBytes(found) == qvtest::ReadBytes(file)) << family << ": " << found;
        EXPECT_EQ(index, 0) << family;
    }
    std::string found;
    int index = -1;
    TextOutcome problem;
    EXPECT_EQ(FindFamily("No Such Family Anywhere", &found, &index, &problem), -1);
    EXPECT_TRUE(problem.failure == TextFailure::NoSuchFamily || problem.failure == TextFailure::FamilyNotInstalled);
    EXPECT_EQ(problem.font, "No Such Family Anywhere");
}

std::uint64_t Fnv1a(const TextField& field)
{
    std::uint64_t h = 1469598103934665603ull;
    auto add = [&h](std::uint64_t byte) { h = (h ^ byte) * 1099511628211ull; };
    for (int shift = 0; shift < 32; shift += 8) {
        add(static_cast<std::uint64_t>(field.width >> shift) & 255);
        add(static_cast<std::uint64_t>(field.height >> shift) & 255);
    }
    for (unsigned char level : field.levels)
        add(level);
    return h;
}

// The Japanese line of the text mark tests, asked for by family: the same
// field, bit for bit, as the native build draws from the file (Debian 12's
// FreeType 2.12 and HarfBuzz 6, which the Windows build is built from).
TEST(FontLookup, FamilyDrawsAsTheNativeBuildDraws)
{
    TextMarkParams params;
    params.text = reinterpret_cast<const char*>(u8"© 2026 山田写真事務所");
    params.font = "IPAGothic";
    params.textHeight = 64;
    params.soften = 2;
    TextField field;
    const TextOutcome outcome = RenderTextField(params, &field);
    ASSERT_TRUE(outcome.ok()) << static_cast<int>(outcome.failure) << " " << outcome.font;
    EXPECT_EQ(field.width, 679);
    EXPECT_EQ(field.height, 70);
    EXPECT_EQ(Fnv1a(field), 0x7a7746c617ce60dfull) << std::hex << Fnv1a(field);
}

}  // namespace

// Text marks: shaping where it matters (kerning, ligatures, combining
// marks, right-to-left, a Japanese line), the drawn field's box and
// determinism, and every refusal.  The fonts are Debian's
// fonts-dejavu-core and fonts-ipafont-gothic (scripts/install-deps.sh).
#include "cli/text_messages.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"
#include "support/test_support.h"
#include "text/text_mark.h"
#include "text/text_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char kDejaVuSans[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char kIpaGothic[] = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";

TextMarkParams Options(const std::string& text, const std::string& font, int height = 64)
{
    TextMarkParams o;
    o.text = text;
    o.font = font;
    o.textHeight = height;
    return o;
}

TextLayout Layout(const TextMarkParams& params)
{
    TextLayout layout;
    const TextOutcome outcome = LayoutText(params, &layout);
    EXPECT_TRUE(outcome.ok()) << TextFailureText(outcome);
    return layout;
}

TextField Render(const TextMarkParams& params)
{
    TextField field;
    const TextOutcome outcome = RenderTextField(params, &field);
    EXPECT_TRUE(outcome.ok()) << TextFailureText(outcome);
    return field;
}

// The columns and rows holding ink: [left, right], [top, bottom].
struct InkBox {
    long left = -1, right = -1, top = -1, bottom = -1;
};

InkBox InkOf(const TextField& field)
{
    InkBox box;
    for (long y = 0; y < field.height; ++y)
        for (long x = 0; x < field.width; ++x)
            if (field.levels[static_cast<std::size_t>(y * field.width + x)] != 0) {
                if (box.left < 0 || x < box.left) box.left = x;
                if (x > box.right) box.right = x;
                if (box.top < 0) box.top = y;
                box.bottom = y;
            }
    return box;
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

TEST(TextMark, ShapingKernsLigatesPlacesMarksAndOrdersRightToLeft)
{
    // A kerned pair sits closer than the font's advance; an unkerned one
    // exactly at it, so the first check is about kerning and nothing else.
    const TextLayout av = Layout(Options("AV", kDejaVuSans));
    ASSERT_EQ(av.glyphs.size(), 2u);
    EXPECT_LT(av.glyphs[1].x - av.glyphs[0].x, av.glyphs[0].advance);
    EXPECT_LT(av.lineWidths[0], av.glyphs[0].advance + av.glyphs[1].advance);
    const TextLayout hh = Layout(Options("HH", kDejaVuSans));
    ASSERT_EQ(hh.glyphs.size(), 2u);
    EXPECT_EQ(hh.glyphs[1].x - hh.glyphs[0].x, hh.glyphs[0].advance);

    // "fi" becomes one ligature glyph.
    EXPECT_EQ(Layout(Options("fi", kDejaVuSans)).glyphs.size(), 1u);

    // A combining acute on x (no precomposed form exists): the accent sits
    // over the x's advance, adds no width, and the drawn mark is as wide as
    // the bare x but taller.
    const TextLayout xa = Layout(Options("x\u0301", kDejaVuSans));
    ASSERT_EQ(xa.glyphs.size(), 2u);
    EXPECT_GE(xa.glyphs[1].x, xa.glyphs[0].x);
    EXPECT_LT(xa.glyphs[1].x, xa.glyphs[0].x + xa.glyphs[0].advance);
    EXPECT_EQ(xa.lineWidths[0], xa.glyphs[0].advance);
    const InkBox bare = InkOf(Render(Options("x", kDejaVuSans)));
    const InkBox accented = InkOf(Render(Options("x\u0301", kDejaVuSans)));
    EXPECT_LE(accented.right - accented.left, bare.right - bare.left + 1);
    EXPECT_GT(accented.bottom - accented.top, bare.bottom - bare.top + 8);

    // Hebrew comes out right to left: the last letter is drawn leftmost.
    const TextLayout shalom = Layout(Options("שלום", kDejaVuSans));
    ASSERT_EQ(shalom.glyphs.size(), 4u);
    EXPECT_EQ(shalom.glyphs.front().cluster, 3u);
    EXPECT_EQ(shalom.glyphs.back().cluster, 0u);
    EXPECT_LT(shalom.glyphs.front().x, shalom.glyphs.back().x);

    // A Japanese line: one full-width glyph per character, side by side.
    const TextLayout japanese = Layout(Options("山田写真事務所", kIpaGothic));
    ASSERT_EQ(japanese.glyphs.size(), 7u);
    const long em = japanese.glyphs[0].advance;
    for (std::size_t i = 0; i < japanese.glyphs.size(); ++i) {
        EXPECT_EQ(japanese.glyphs[i].cluster, i);
        EXPECT_EQ(japanese.glyphs[i].advance, em);
        EXPECT_EQ(japanese.glyphs[i].x, static_cast<long>(i) * em);
    }
    EXPECT_EQ(japanese.fontName, "IPAGothic");
}

TEST(TextMark, LinesAreOneTextHeightApartAndAligned)
{
    TextMarkParams o = Options("A\nAAA", kDejaVuSans, 50);
    o.align = TextAlign::Center;
    const TextLayout centred = Layout(o);
    ASSERT_EQ(centred.lineWidths.size(), 2u);
    ASSERT_EQ(centred.glyphs.size(), 4u);
    EXPECT_EQ(centred.glyphs[1].y - centred.glyphs[0].y, 50 * 64);
    EXPECT_EQ(centred.glyphs[0].x, (centred.lineWidths[1] - centred.lineWidths[0]) / 2);
    o.align = TextAlign::Right;
    EXPECT_EQ(Layout(o).glyphs[0].x, centred.lineWidths[1] - centred.lineWidths[0]);

    // An empty line still takes its height.
    const TextField two = Render(Options("H\nH", kDejaVuSans, 50));
    const TextField gap = Render(Options("H\n\nH", kDejaVuSans, 50));
    EXPECT_EQ(gap.height - two.height, 50);
}

TEST(TextMark, FieldIsTheInkPlusPaddingAndTheSameBytesEveryTime)
{
    TextMarkParams o = Options("© 2026 山田写真事務所", kIpaGothic, 64);
    o.soften = 2;
    const TextField a = Render(o);
    const TextField b = Render(o);
    ASSERT_GT(a.width, 0);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.levels, b.levels);

    const long pad = TextPadding(o);
    EXPECT_EQ(pad, 64 / 32 + 1 + 2);
    const InkBox ink = InkOf(a);
    EXPECT_EQ(ink.left, pad);
    EXPECT_EQ(ink.top, pad);
    EXPECT_EQ(ink.right, a.width - 1 - pad);
    EXPECT_EQ(ink.bottom, a.height - 1 - pad);
    unsigned char brightest = 0;
    for (unsigned char level : a.levels)
        brightest = std::max(brightest, level);
    EXPECT_EQ(brightest, 255);

    // The drawing itself, for this font file (Debian 12's FreeType 2.12 and
    // HarfBuzz 6): a change here changes every text mark users have made.
    EXPECT_EQ(a.width, 679);
    EXPECT_EQ(a.height, 70);
    EXPECT_EQ(Fnv1a(a), 0x7a7746c617ce60dfull) << std::hex << Fnv1a(a);
}

TEST(TextMark, DocumentIsTheSoftenedGreyFieldWithItsHeights)
{
    TextMarkParams o = Options("Qv", kDejaVuSans, 40);
    o.soften = 3;
    const TextField field = Render(o);
    ImageDocument doc = {};
    ResetDocument(&doc);
    ASSERT_EQ(BuildTextMarkDocument(field, o.soften, &doc), TextMarkFailure::None);
    ASSERT_EQ(doc.width, field.width);
    ASSERT_EQ(doc.height, field.height);

    // The same field through the filter command's engine, by hand.
    ImageDocument expected = {};
    ResetDocument(&expected);
    ASSERT_EQ(BuildTextMarkDocument(field, 0, &expected), TextMarkFailure::None);
    FilterParams soft;
    soft.kind = FilterKind::Soft;
    soft.strength = 3;
    ASSERT_EQ(ApplyNeighbourhoodFilter(soft, expected.hDib), Failure::None);
    ComputeLuminance(&expected);

    const BYTE* got = WorkDibPixels(doc.dib);
    const BYTE* want = WorkDibPixels(expected.dib);
    std::size_t differing = 0;
    bool changedBySoften = false;
    for (long r = 0; r < doc.height; ++r)
        for (long c = 0; c < doc.width; ++c) {
            const std::size_t at = static_cast<std::size_t>(r * doc.width + c) * 4;
            differing += std::memcmp(got + at, want + at, 4) != 0;
            EXPECT_TRUE(got[at] == got[at + 1] && got[at] == got[at + 2] && got[at + 3] == got[at]);
            // bottom-up rows against the top-down field
            const unsigned char level = field.levels[static_cast<std::size_t>((doc.height - 1 - r) * doc.width + c)];
            changedBySoften |= got[at] != level;
        }
    EXPECT_EQ(differing, 0u);
    EXPECT_TRUE(changedBySoften);
    ReleaseDocument(&doc);
    ReleaseDocument(&expected);
}

TEST(TextMark, EveryProblemIsRefusedWithItsReasonAndNoField)
{
    qvtest::TempDir dir;
    const std::string notAFont = dir.File("notes.ttf");
    std::ofstream(notAFont) << "this is no font\n";

    struct Case {
        TextMarkParams options;
        const char* message;
    };
    TextMarkParams wrongIndex = Options("a", kDejaVuSans);
    wrongIndex.fontIndex = 3;
    TextMarkParams familyIndex = Options("a", "DejaVu Sans");
    familyIndex.fontIndex = 1;
    TextMarkParams tooHigh = Options("a", kDejaVuSans);
    tooHigh.textHeight = 5000;
    TextMarkParams tooSoft = Options("a", kDejaVuSans);
    tooSoft.soften = 11;
    const Case cases[] = {
        {Options("", kDejaVuSans), "the text is empty"},
        {Options("\n\n", kDejaVuSans), "the text is empty"},
        {Options("   \n \u3000", kIpaGothic), "draws nothing"},
        {Options("a\xff", kDejaVuSans), "not valid UTF-8"},
        {Options("a\x01", kDejaVuSans), "control character U+0001"},
        {Options("a", "No Such Family Anywhere"), "no installed font is named 'No Such Family Anywhere'"},
        {Options("a", dir.File("missing.ttf")), "cannot open the font file"},
        {Options("a", notAFont), "is not a font file"},
        {Options("a", dir.Path()), "is not a font file"},
        {wrongIndex, "holds 1 face (0..0), not 3"},
        {familyIndex, "--font-index applies to a font file"},
        {Options("ab山", kDejaVuSans), "DejaVu Sans' (/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf) has no glyph for '山' (U+5C71)"},
        {Options("ok\nשלוםx", kIpaGothic), "has no glyph for 'ש' (U+05E9)"},
        {tooHigh, "out of range (8..2048)"},
        {tooSoft, "out of range (0..10)"},
        {Options(std::string(4000, 'W'), kDejaVuSans, 2048), "too large"},
    };
    for (const Case& c : cases) {
        TextField field;
        field.width = 7;
        const TextOutcome outcome = RenderTextField(c.options, &field);
        const std::string problem = TextFailureText(outcome);
        EXPECT_FALSE(outcome.ok()) << c.message;
        EXPECT_NE(problem.find(c.message), std::string::npos) << "wanted '" << c.message << "', got '" << problem << "'";
        EXPECT_EQ(field.width, 0);
        EXPECT_TRUE(field.levels.empty());
    }
}

}  // namespace

// UTF-8 <-> UTF-16 conversion: every scalar value round-trips, and each
// malformed input becomes U+FFFD instead of vanishing.
#include "platform/utf16.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(Utf16, EveryScalarValueRoundTrips) {
    for (char32_t code = 1; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        std::string utf8;
        // The reference encoding: std::u8string from a char32_t literal is
        // not available at run time, so encode by the textbook table.
        if (code < 0x80) {
            utf8 = {char(code)};
        } else if (code < 0x800) {
            utf8 = {char(0xC0 | code >> 6), char(0x80 | (code & 0x3F))};
        } else if (code < 0x10000) {
            utf8 = {char(0xE0 | code >> 12), char(0x80 | (code >> 6 & 0x3F)), char(0x80 | (code & 0x3F))};
        } else {
            utf8 = {char(0xF0 | code >> 18), char(0x80 | (code >> 12 & 0x3F)), char(0x80 | (code >> 6 & 0x3F)),
                    char(0x80 | (code & 0x3F))};
        }
        const std::u16string utf16 = Utf16FromUtf8(utf8);
        ASSERT_EQ(utf16.size(), code < 0x10000 ? 1u : 2u) << std::hex << uint32_t(code);
        ASSERT_EQ(Utf8FromUtf16(utf16), utf8) << std::hex << uint32_t(code);
    }
}

TEST(Utf16, NamesOutsideAnyCodePage) {
    const std::string name = "\xF0\xA0\xAE\xB7_caf\xC3\xA9_\xE2\x9C\x93.bmp";  // 𠮷_café_✓.bmp
    EXPECT_EQ(Utf16FromUtf8(name), u"\U00020BB7_caf\u00E9_\u2713.bmp");
    EXPECT_EQ(Utf8FromUtf16(u"\U00020BB7_caf\u00E9_\u2713.bmp"), name);
}

TEST(Utf16, MalformedInputBecomesReplacementCharacters) {
    struct Case {
        const char* what;
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"stray continuation", "a\x80z", u"a\uFFFDz"},
        {"truncated at end", "a\xE2\x9C", u"a\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"lead then ASCII", "\xE3" "a", u"\uFFFDa"},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf16FromUtf8(c.utf8), c.utf16) << c.what;
    EXPECT_EQ(Utf8FromUtf16(u"x\xD800y"), "x\xEF\xBF\xBDy");
    EXPECT_EQ(Utf8FromUtf16(u"\xDC00"), "\xEF\xBF\xBD");
}

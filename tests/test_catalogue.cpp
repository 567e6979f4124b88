// The tool's own reader of message catalogues (cli/catalogue.h), which the
// Windows tool uses for want of libintl, against gettext on the catalogue
// the build makes: every entry, and the plural forms, must come out as the
// bytes Linux prints.  And a damaged catalogue is refused, never read past
// its end.
#include "cli/catalogue.h"

#include <gtest/gtest.h>
#include <libintl.h>

#include <clocale>
#include <fstream>
#include <iterator>
#include <string>

#ifndef QUILLVANE_TEST_CATALOGUES
#error "QUILLVANE_TEST_CATALOGUES must name the locale folder of the build"
#endif

namespace {

const std::string kJapanese = std::string(QUILLVANE_TEST_CATALOGUES) + "/ja/LC_MESSAGES/quillvane-cli.mo";

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs body with gettext reading the build's catalogues in Japanese.
template <typename Body>
void UnderGettextInJapanese(Body body)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "ja_JP.UTF-8"))
        GTEST_SKIP() << "the ja_JP.UTF-8 locale is not generated here";
    bindtextdomain("quillvane-cli", QUILLVANE_TEST_CATALOGUES);
    bind_textdomain_codeset("quillvane-cli", "UTF-8");
    body();
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Catalogue, EveryEntryAsGettextGivesIt)
{
    MessageCatalogue catalogue;
    ASSERT_TRUE(catalogue.LoadFile(kJapanese));
    ASSERT_GT(catalogue.Count(), 100u);
    UnderGettextInJapanese([&] {
        std::size_t plurals = 0;
        for (std::size_t i = 1; i < catalogue.Count(); ++i) {  // entry 0 is the header
            const std::string original(catalogue.Original(i));
            const std::size_t nul = original.find('\0');
            if (nul == std::string::npos) {
                EXPECT_STREQ(catalogue.Translate(original.c_str()), dgettext("quillvane-cli", original.c_str()))
                    << original;
                continue;
            }
            ++plurals;
            const std::string singular = original.substr(0, nul);
            const std::string plural = original.substr(nul + 1);
            for (unsigned long n : {0ul, 1ul, 2ul, 5ul, 11ul, 101ul})
                EXPECT_STREQ(catalogue.TranslatePlural(singular.c_str(), plural.c_str(), n),
                             dngettext("quillvane-cli", singular.c_str(), plural.c_str(), n))
                    << singular << " n=" << n;
        }
        EXPECT_GT(plurals, 0u) << "the catalogue has a text with plural forms";
    });
    // Texts the catalogue lacks stay English, with English plurals.
    EXPECT_STREQ(catalogue.Translate("no such text"), "no such text");
    EXPECT_STREQ(catalogue.TranslatePlural("%d file", "%d files", 1), "%d file");
    EXPECT_STREQ(catalogue.TranslatePlural("%d file", "%d files", 2), "%d files");
    EXPECT_STREQ(MessageCatalogue().Translate("failed"), "failed") << "no catalogue: English";
}

TEST(Catalogue, DamagedCataloguesAreRefused)
{
    const std::string good = ReadAll(kJapanese);
    ASSERT_GT(good.size(), 1000u);
    MessageCatalogue catalogue;
    // Every cut short of the whole file loses the end of the last string.
    for (std::size_t size = 0; size < good.size(); size += size < 200 ? 1 : 97)
        EXPECT_FALSE(catalogue.Load(good.substr(0, size))) << size << " bytes";
    EXPECT_FALSE(catalogue.Load(std::string(good.size(), 'x')));
    // Table entries pointing anywhere: refused or read within the file.
    for (std::size_t at = 8; at < 40; ++at)
        for (unsigned char value : {0x00, 0x7f, 0xff}) {
            std::string bad = good;
            bad[at] = static_cast<char>(value);
            if (catalogue.Load(bad)) {
                for (std::size_t i = 0; i < catalogue.Count(); ++i)
                    EXPECT_LE(catalogue.Original(i).size(), bad.size());
            }
        }
    EXPECT_TRUE(catalogue.Load(good));
    EXPECT_STRNE(catalogue.Translate("failed"), "failed") << "the good file reads again";
}

}  // namespace

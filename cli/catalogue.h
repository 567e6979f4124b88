// A reader of GNU message catalogues (.mo files, as msgfmt writes them),
// for systems without libintl: the tool's texts on Windows.
//
// A catalogue holds two tables of (length, offset) pairs, the originals
// sorted by their bytes and the translations in the same order; an entry
// with plural forms holds "singular\0plural" and its translations
// "form0\0form1...".  Lookups compare the original up to its first NUL, as
// gettext does.  Plural forms: the catalogue's "nplurals=1" (Japanese)
// takes its one form; any other takes form 0 for n == 1 and form 1
// otherwise, the rule of English and most languages of Europe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class MessageCatalogue {
public:
    // Takes a catalogue's bytes.  Returns false (and holds nothing) when
    // they are not a well-formed catalogue.
    bool Load(std::string bytes);
    // The whole file; false when it cannot be read or is no catalogue.
    bool LoadFile(const std::string& path);

    std::size_t Count() const { return originals_.size(); }
    // Entry i's original (both forms, NUL between, for a plural entry).
    std::string_view Original(std::size_t i) const { return originals_[i]; }

    // The translation of text, or text itself when the catalogue has none.
    const char* Translate(const char* text) const;
    // The form for n of a text with a plural, or singular/plural by the
    // English rule when the catalogue has none.
    const char* TranslatePlural(const char* singular, const char* plural, unsigned long n) const;

private:
    // The entry whose original begins with key up to the first NUL, or -1.
    long Find(const char* key) const;

    std::string bytes_;
    std::vector<std::string_view> originals_;
    std::vector<std::string_view> translations_;
    bool onePluralForm_ = false;
};

// The tool's texts on Linux: gettext, with the catalogue folder found
// relative to the executable.
#include "cli/system.h"
#include "cli/text.h"

#include <libintl.h>

#include <clocale>

#ifndef QUILLVANE_LOCALEDIR
#define QUILLVANE_LOCALEDIR "/usr/share/locale"
#endif

namespace {

constexpr char kDomain[] = "quillvane-cli";

// Whether folder holds this tool's catalogue for any language.
bool HoldsCatalogue(const std::string& folder)
{
    std::vector<std::string> languages;
    std::string reason;
    if (ListFolder(folder, &languages, &reason) != 0)
        return false;
    for (const std::string& language : languages)
        if (InspectPath(folder + "/" + language + "/LC_MESSAGES/" + kDomain + ".mo").regular)
            return true;
    return false;
}

}  // namespace

const char* Translate(const char* text)
{
    return gettext(text);
}

const char* TranslatePlural(const char* singular, const char* plural, unsigned long n)
{
    return ngettext(singular, plural, n);
}

void StartLanguage()
{
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    std::string catalogues = QUILLVANE_LOCALEDIR;
    for (const std::string& folder : CatalogueFolders(ExecutableFolder(), QUILLVANE_LOCALEDIR))
        if (HoldsCatalogue(folder)) {
            catalogues = folder;
            break;
        }
    bindtextdomain(kDomain, catalogues.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
    textdomain(kDomain);
}

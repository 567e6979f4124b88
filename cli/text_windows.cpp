// The tool's texts on Windows: the .mo catalogues that Linux uses, read by
// cli/catalogue.h (Windows has no libintl), in the language the
// environment asks for or else the user's display language.
#include "cli/catalogue.h"
#include "cli/system.h"
#include "cli/text.h"
#include "platform/platform.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>

namespace {

MessageCatalogue Catalogue;

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// "ja_JP.UTF-8@x" -> "ja_JP", "ja"; "ja" -> "ja".
void AddLanguage(std::string name, std::vector<std::string>* languages)
{
    name = name.substr(0, name.find_first_of(".@"));
    if (name.empty())
        return;
    languages->push_back(name);
    const std::size_t underscore = name.find('_');
    if (underscore != std::string::npos)
        languages->push_back(name.substr(0, underscore));
}

// The languages to look for, best first; none for English.  As gettext:
// the locale is LC_ALL, else LC_MESSAGES, else LANG; the C locale shows
// English; otherwise LANGUAGE (a list, ':' between) comes first.  With no
// locale set, Windows' display language stands for it.
std::vector<std::string> WantedLanguages()
{
    std::string locale = Environment("LC_ALL");
    if (locale.empty())
        locale = Environment("LC_MESSAGES");
    if (locale.empty())
        locale = Environment("LANG");
    if (locale == "C" || locale == "POSIX" || locale.starts_with("C."))
        return {};
    std::vector<std::string> languages;
    const std::string list = Environment("LANGUAGE");
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t colon = std::min(list.find(':', start), list.size());
        AddLanguage(list.substr(start, colon - start), &languages);
        start = colon + 1;
    }
    if (!locale.empty())
        AddLanguage(locale, &languages);
    else if (PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE)
        languages.push_back("ja");
    return languages;
}

}  // namespace

const char* Translate(const char* text)
{
    return Catalogue.Translate(text);
}

const char* TranslatePlural(const char* singular, const char* plural, unsigned long n)
{
    return Catalogue.TranslatePlural(singular, plural, n);
}

void StartLanguage()
{
    std::setlocale(LC_NUMERIC, "C");
    const std::vector<std::string> folders = CatalogueFolders(ExecutableFolder(), "");
    for (const std::string& language : WantedLanguages())
        for (const std::string& folder : folders)
            if (Catalogue.LoadFile(folder + "/" + language + "/LC_MESSAGES/quillvane-cli.mo"))
                return;
}

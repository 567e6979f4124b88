#include "app/language.h"

#include "resources/resource.h"

#include <optional>

namespace {

std::optional<UiLanguage> Decided;

// QUILLVANE_LANG, when it names a language ("ja" or "en", in any case).
std::optional<UiLanguage> LanguageFromEnvironment()
{
    wchar_t value[4] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUILLVANE_LANG", value, 4);
    if (length != 2)
        return std::nullopt;
    const wchar_t first = value[0] | 0x20;
    const wchar_t second = value[1] | 0x20;
    if (first == L'j' && second == L'a')
        return UiLanguage::Japanese;
    if (first == L'e' && second == L'n')
        return UiLanguage::English;
    return std::nullopt;
}

// Whether a lookup without a language finds the main menu in language.
bool LoaderFinds(HINSTANCE instance, LANGID language)
{
    const HRSRC found = FindResourceA(instance, RES_MENU_MAIN, RT_MENU);
    return found && found == FindResourceExA(instance, RT_MENU, RES_MENU_MAIN, language);
}

}  // namespace

UiLanguage ProgramLanguage()
{
    if (!Decided) {
        Decided = LanguageFromEnvironment();
        if (!Decided)
            Decided = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? UiLanguage::Japanese
                                                                                  : UiLanguage::English;
    }
    return *Decided;
}

LANGID ResourceLanguage(UiLanguage language)
{
    return language == UiLanguage::Japanese ? MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)
                                            : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

void UseProgramLanguage(HINSTANCE instance)
{
    const LANGID language = ResourceLanguage(ProgramLanguage());
    // Windows looks resources up in the thread's UI language.
    SetThreadUILanguage(language);
    if (LoaderFinds(instance, language))
        return;
    // Wine ignores the thread's UI language and looks them up in the
    // thread's locale instead.
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
}

void ForgetProgramLanguage()
{
    Decided.reset();
}

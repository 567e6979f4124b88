// The program's language in the builds that test the engines and the
// message table without the program's windows: Japanese, the language the
// program has always spoken, whatever the machine's locale, so that their
// expectations hold everywhere.  Tests of the English texts ask for them by
// language (ProgramText(text, UiLanguage::English) and the like).
#include "app/ui_language.h"

UiLanguage ProgramLanguage()
{
    return UiLanguage::Japanese;
}

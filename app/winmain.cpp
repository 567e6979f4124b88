// Entry point of the Windows program.  The command line is ignored.

#include "app/language.h"
#include "app/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    UseProgramLanguage(instance);
    return RunQuillvane(instance, showCommand);
}

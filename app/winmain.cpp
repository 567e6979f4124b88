// Entry point of the Windows program.  Files named on the command line
// ("Open with", "Send to", a picture dropped on the program's icon) open at
// start.

#include "app/language.h"
#include "app/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    UseProgramLanguage(instance);
    return RunQuillvane(instance, showCommand, CommandLineFiles(GetCommandLineW()));
}

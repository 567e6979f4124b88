// Entry point of the Windows program.  The command line is ignored.

#include "app/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    return RunQuillvane(instance, showCommand);
}

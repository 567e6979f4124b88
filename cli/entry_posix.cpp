// The tool's entry point on POSIX systems: the arguments are passed on as
// they are.
#include "cli/system.h"

int main(int argc, char** argv)
{
    return RunTool(argc, argv);
}

// The tool's entry point on Windows (linked with -municode): the arguments
// arrive as UTF-16 and are turned into UTF-8 once, here, so that any file
// name reaches the tool whatever the code page.
#include "cli/system.h"
#include "platform/utf16.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    // Text goes out as the bytes the tool wrote: "\n" stays "\n", as on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> words;
    for (int i = 0; i < argc; ++i)
        words.push_back(Utf8FromWide(argv[i]));
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    const int status = RunTool(argc, pointers.data());
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}

// What the tool needs from the system beyond platform/file_names.h: its
// console, folders and own location.  One implementation per system:
// cli/system_posix.cpp and cli/system_windows.cpp.  Every name and text
// here is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Standard output and standard error.  On a Windows console the text is
// shown as UTF-16; anywhere else its UTF-8 bytes are written as they are
// (line ends stay "\n").
void WriteOut(std::string_view text);
void WriteError(std::string_view text);

// Whether standard error is a terminal (a console on Windows), where the
// progress line is redrawn in place.
bool ErrorIsTerminal();

struct PathInfo {
    bool exists = false;
    bool directory = false;  // after following a link
    bool regular = false;    // after following a link
    bool link = false;       // the name itself is a symbolic link (or junction)
    std::uint64_t volume = 0;
    std::uint64_t index = 0;  // with volume, tells the same file under two names
};

PathInfo InspectPath(const std::string& path);
bool SameFile(const PathInfo& a, const PathInfo& b);

// The names in folder except "." and "..", in no order.  Returns 0, or -1
// with the system's reason in *reason.
int ListFolder(const std::string& folder, std::vector<std::string>* names, std::string* reason);

// Makes one folder; one that exists already is fine.  Returns 0, or -1
// with the system's reason in *reason.
int MakeFolder(const std::string& folder, std::string* reason);

// Whether c separates folders in a path ('/', and '\' on Windows).
bool IsPathSeparator(char c);

// Where a path's first folder that may be made starts: past "/" here,
// past "C:\" or "\\server\share\" on Windows.
std::size_t PathRootLength(const std::string& path);

// The separator to add after folder: '/' unless the folder is written
// with '\' (Windows only).
char SeparatorFor(const std::string& folder);

// The folder holding this executable, ending in a separator, or "" when
// it cannot be told.
std::string ExecutableFolder();

#ifdef _WIN32
#include "platform/child_process.h"  // ExecutablePath()
#endif

// The tool (cli/main.cpp), called with its arguments in UTF-8 by the entry
// point of each system (cli/entry_posix.cpp, cli/entry_windows.cpp).
int RunTool(int argc, char** argv);

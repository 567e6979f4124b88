// The tool's system seam on Linux and other POSIX systems: names are bytes
// passed on as they are.
#include "cli/system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

void WriteOut(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void WriteError(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stderr);
}

bool ErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

PathInfo InspectPath(const std::string& path)
{
    PathInfo result;
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0)
        return result;
    struct stat link = {};
    result.exists = true;
    result.directory = S_ISDIR(info.st_mode);
    result.regular = S_ISREG(info.st_mode);
    result.link = lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    result.volume = static_cast<std::uint64_t>(info.st_dev);
    result.index = static_cast<std::uint64_t>(info.st_ino);
    return result;
}

bool SameFile(const PathInfo& a, const PathInfo& b)
{
    return a.exists && b.exists && a.volume == b.volume && a.index == b.index;
}

int ListFolder(const std::string& folder, std::vector<std::string>* names, std::string* reason)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        *reason = std::strerror(errno);
        return -1;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(name);
    }
    closedir(dir);
    return 0;
}

int MakeFolder(const std::string& folder, std::string* reason)
{
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        *reason = std::strerror(errno);
        return -1;
    }
    return 0;
}

bool IsPathSeparator(char c)
{
    return c == '/';
}

std::size_t PathRootLength(const std::string& path)
{
    return path.empty() || path[0] != '/' ? 0 : 1;
}

char SeparatorFor(const std::string&)
{
    return '/';
}

std::string ExecutableFolder()
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return std::string();
    std::string folder(self, static_cast<std::size_t>(n));
    folder.resize(folder.find_last_of('/') + 1);
    return folder;
}

// The tool's system seam on Windows: wide calls on UTF-8 names, and a
// console written in UTF-16.
#include "cli/system.h"
#include "platform/platform.h"
#include "platform/utf16.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

// The words for a failed call: the C library's for the common cases (as
// on Linux), else the system's own.
std::string ReasonFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED: return std::strerror(EACCES);
    case ERROR_DIRECTORY: return std::strerror(ENOTDIR);
    case ERROR_DISK_FULL: return std::strerror(ENOSPC);
    case ERROR_WRITE_PROTECT: return std::strerror(EROFS);
    default: break;
    }
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n > 0 ? Utf8FromWide(std::wstring_view(text, n)) : "error " + std::to_string(error);
    if (text)
        LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

// A console shows UTF-16 (WriteConsoleW); a pipe or file gets the UTF-8
// bytes.  The progress line's "\033[K" needs the console's terminal
// sequences, switched on once; without them (before Windows 10) it is left
// out.
void WriteTo(DWORD which, std::FILE* stream, std::string_view text)
{
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
        return;
    }
    std::fflush(stream);
    std::string shown(text);
    if (!(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) &&
        !SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING))
        for (std::size_t at = shown.find("\033[K"); at != std::string::npos; at = shown.find("\033[K", at))
            shown.erase(at, 3);
    const std::wstring wide = WideFromUtf8(shown);
    const wchar_t* next = wide.data();
    std::size_t left = wide.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 8192));
        if (!WriteConsoleW(handle, next, chunk, &written, nullptr) || written == 0)
            return;
        next += written;
        left -= written;
    }
}

}  // namespace

void WriteOut(std::string_view text)
{
    WriteTo(STD_OUTPUT_HANDLE, stdout, text);
}

void WriteError(std::string_view text)
{
    WriteTo(STD_ERROR_HANDLE, stderr, text);
}

bool ErrorIsTerminal()
{
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

PathInfo InspectPath(const std::string& path)
{
    PathInfo result;
    const std::wstring wide = WideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return result;
    // Opened for no access, which a file in use allows; a folder needs
    // backup semantics to be opened at all.  The handle follows links.
    const HANDLE handle = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return result;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = GetFileInformationByHandle(handle, &info);
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    if (!known)
        return result;
    result.exists = true;
    result.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    result.regular = !result.directory && type == FILE_TYPE_DISK;
    result.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    result.volume = info.dwVolumeSerialNumber;
    result.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return result;
}

bool SameFile(const PathInfo& a, const PathInfo& b)
{
    return a.exists && b.exists && a.volume == b.volume && a.index == b.index;
}

int ListFolder(const std::string& folder, std::vector<std::string>* names, std::string* reason)
{
    std::wstring pattern = WideFromUtf8(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW entry = {};
    const HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        *reason = ReasonFor(GetLastError());
        return -1;
    }
    do {
        const std::string name = Utf8FromWide(entry.cFileName);
        if (name != "." && name != "..")
            names->push_back(name);
    } while (FindNextFileW(find, &entry));
    const DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
        *reason = ReasonFor(error);
        return -1;
    }
    return 0;
}

int MakeFolder(const std::string& folder, std::string* reason)
{
    const std::wstring wide = WideFromUtf8(folder);
    if (CreateDirectoryW(wide.c_str(), nullptr))
        return 0;
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    *reason = ReasonFor(error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error);
    return -1;
}

bool IsPathSeparator(char c)
{
    return c == '/' || c == '\\';
}

std::size_t PathRootLength(const std::string& path)
{
    const auto separatorAt = [&](std::size_t i) { return i < path.size() && IsPathSeparator(path[i]); };
    if (separatorAt(0) && separatorAt(1)) {
        // \\server\share\ (and \\?\ or \\.\ prefixes, taken the same way)
        std::size_t i = 2;
        for (int part = 0; part < 2 && i < path.size(); ++part) {
            while (i < path.size() && !IsPathSeparator(path[i]))
                ++i;
            if (i < path.size())
                ++i;
        }
        return i;
    }
    if (path.size() >= 2 && path[1] == ':')
        return separatorAt(2) ? 3 : 2;
    return separatorAt(0) ? 1 : 0;
}

char SeparatorFor(const std::string& folder)
{
    return folder.find('\\') != std::string::npos ? '\\' : '/';
}

std::string ExecutableFolder()
{
    const std::wstring self = ExecutablePath();
    if (self.empty())
        return std::string();
    std::string folder = Utf8FromWide(self);
    folder.resize(folder.find_last_of("\\/") + 1);
    return folder;
}

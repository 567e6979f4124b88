#include "platform/file_names.h"

#include "platform/utf16.h"

std::size_t PathUnits(std::string_view utf8)
{
    return Utf16FromUtf8(utf8).size();
}

bool PathFits(std::string_view utf8)
{
    return !utf8.empty() && utf8.size() < kMaxPathBytes && PathUnits(utf8) <= kMaxPathUnits;
}

#ifdef _WIN32

HANDLE CreateFileUtf8(const char* path, DWORD access, DWORD shareMode, DWORD disposition)
{
    return CreateFileW(WideFromUtf8(path).c_str(), access, shareMode, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL MoveFileUtf8(const char* from, const char* to, DWORD flags)
{
    return MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), flags);
}

BOOL DeleteFileUtf8(const char* path)
{
    return DeleteFileW(WideFromUtf8(path).c_str());
}

std::FILE* OpenFileUtf8(const char* path, const char* mode)
{
    return _wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}

#else

HANDLE CreateFileUtf8(const char* path, DWORD access, DWORD shareMode, DWORD disposition)
{
    return CreateFileA(path, access, shareMode, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL MoveFileUtf8(const char* from, const char* to, DWORD flags)
{
    return MoveFileExA(from, to, flags);
}

BOOL DeleteFileUtf8(const char* path)
{
    return DeleteFileA(path);
}

std::FILE* OpenFileUtf8(const char* path, const char* mode)
{
    return std::fopen(path, mode);
}

#endif

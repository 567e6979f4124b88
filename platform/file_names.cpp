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

bool HasPictureExtension(std::string_view name)
{
    const auto endsWith = [&](std::string_view suffix) {
        if (name.size() < suffix.size())
            return false;
        for (std::size_t i = 0; i < suffix.size(); ++i) {
            char c = name[name.size() - suffix.size() + i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != suffix[i])
                return false;
        }
        return true;
    };
    return endsWith(".bmp") || endsWith(".jpg") || endsWith(".jpeg") || endsWith(".png") || endsWith(".webp");
}

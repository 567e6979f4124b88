#include "text/font_lookup.h"

#include "platform/platform.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// The folder of the fonts listed by file name alone: the Windows folder's
// Fonts.
std::string FontsFolder()
{
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return "C:\\Windows\\Fonts\\";
    return std::string(windows, length) + "\\Fonts\\";
}

bool IsFullPath(const std::string& path)
{
    return path.size() > 2 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
}

// Appends the fonts listed under root's ...\Windows NT\CurrentVersion\Fonts:
// each value a font's name and its file, in the fonts folder unless the
// value is a full path (as fonts installed for one user are).
void AppendListedFonts(HKEY root, const std::string& folder, std::vector<ListedFont>* fonts)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    std::vector<char> name(16384);
    std::vector<char> data(32768);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size() - 1);
        DWORD type = 0;
        const LONG status = RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &dataLength);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ || dataLength == 0)
            continue;
        data[dataLength] = '\0';
        const std::string file(data.data(), strnlen(data.data(), dataLength));
        if (!file.empty())
            fonts->push_back({std::string(name.data(), nameLength), IsFullPath(file) ? file : folder + file});
    }
    RegCloseKey(key);
}

}  // namespace

// The fonts installed for every user, then those installed for this one;
// the default and the generic families are Windows's own fonts for
// Japanese (kWindowsSansFamilies and the others).
int FindFamily(const std::string& family, std::string* file, int* index, TextOutcome* problem, FaceStyle style)
{
    std::vector<ListedFont> fonts;
    const std::string folder = FontsFolder();
    AppendListedFonts(HKEY_LOCAL_MACHINE, folder, &fonts);
    AppendListedFonts(HKEY_CURRENT_USER, folder, &fonts);
    if (family.empty() || IsGenericFamily(family)) {
        std::span<const char* const> families = kWindowsSansFamilies;
        if (SameFamily("serif", family))
            families = kWindowsSerifFamilies;
        else if (SameFamily("monospace", family) || SameFamily("mono", family))
            families = kWindowsMonospaceFamilies;
        if (ChooseFirstFamily(fonts, families, file, index, style) == 0)
            return 0;
        *problem = family.empty() ? FailText(TextFailure::NoFontAtAll) : FailText(TextFailure::NoSuchFamily, family);
        return -1;
    }
    if (ChooseFamily(fonts, family, file, index, style) == 0)
        return 0;
    *problem = FailText(TextFailure::NoSuchFamily, family);
    return -1;
}

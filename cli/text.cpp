#include "cli/text.h"

#include <unistd.h>

#include <clocale>
#include <cstdarg>
#include <cstdio>

void StartLanguage()
{
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string directory;
    if (n > 0) {
        self[n] = '\0';
        directory = self;
        directory.resize(directory.find_last_of('/') + 1);
    }
    bindtextdomain("quillvane-cli", (directory + "locale").c_str());
    bind_textdomain_codeset("quillvane-cli", "UTF-8");
    textdomain("quillvane-cli");
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

#include "cli/presets.h"

#include "cli/text.h"
#include "platform/file_names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The whole file, refused when it is larger than any preset needs to be.
int ReadPresetText(const std::string& path, std::string* text, std::string* error)
{
    std::FILE* file = OpenFileUtf8(path.c_str(), "rb");
    if (!file) {
        *error = Format(_("--preset: cannot read '%s': %s"), path.c_str(), std::strerror(errno));
        return -1;
    }
    char buffer[4096];
    std::size_t got = 0;
    constexpr std::size_t kMaxPresetBytes = 1 << 20;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text->size() <= kMaxPresetBytes)
        text->append(buffer, got);
    std::fclose(file);
    if (text->size() > kMaxPresetBytes) {
        *error = Format(_("--preset: '%s' is too large for a preset"), path.c_str());
        return -1;
    }
    return 0;
}

// The line without the blanks around it.
std::string Trimmed(std::string content)
{
    while (!content.empty() && IsBlank(content.back()))
        content.pop_back();
    std::size_t first = 0;
    while (first < content.size() && IsBlank(content[first]))
        ++first;
    content.erase(0, first);
    return content;
}

// One option line (trimmed, not a comment) as one word: "--name", or
// "--name=value" from "--name value" (a value in double quotes loses them).
int PresetLineWord(const std::string& content, const std::string& origin, std::string* word, std::string* error)
{
    std::size_t gap = 0;
    while (gap < content.size() && !IsBlank(content[gap]))
        ++gap;
    *word = content.substr(0, gap);
    std::size_t valueStart = gap;
    while (valueStart < content.size() && IsBlank(content[valueStart]))
        ++valueStart;
    if (valueStart < content.size()) {
        if (word->find('=') != std::string::npos || word->compare(0, 2, "--") != 0) {
            *error = origin + ": " + Format(_("expected one option and its value, got '%s'"), content.c_str());
            return -1;
        }
        std::string value = content.substr(valueStart);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        *word += "=" + value;
    }
    return 0;
}

}  // namespace

int ReadPreset(const std::string& path, std::vector<OptionWord>* words, std::string* error)
{
    std::string text;
    if (ReadPresetText(path, &text, error) != 0)
        return -1;
    std::size_t start = 0;
    for (int line = 1; start < text.size() || start == 0; ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string content = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (content.empty() || content[0] == '#') {
            if (end == text.size())
                break;
            continue;
        }
        const std::string origin = path + ":" + std::to_string(line);
        std::string word;
        if (PresetLineWord(content, origin, &word, error) != 0)
            return -1;
        words->push_back({word, origin});
        if (end == text.size())
            break;
    }
    return 0;
}
